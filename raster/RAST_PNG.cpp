#include "raster/RAST_PNG.h"

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>

#include <string>
#include <vector>

#include "base/BASE_RegularFile.h"
#include "platform/corefoundation/Bundle.h"
#include "raster/RAST_PNGRows.h"

// The decoder accepts and refuses what libpng, set up as this loader always
// set it up, accepts and refuses, and writes the same pixels; a damaged
// block leaves in a given bitmap the rows libpng would have written before
// giving up. A whole image's data is inflated at once (libdeflate checks its
// Adler-32) when every chunk of it is sound; anything less is read again
// row by row through zlib the way libpng reads it, which also decides
// whatever libpng lets pass after the last row.

namespace {

using rast_png::kRowSlack;

// libpng's limits: a side, the pieces image data is handed to inflate in;
// and the deflate format's best ratio.
constexpr uint32_t kMaxSide = 1000000;
constexpr uint32_t kMaxInt31 = 0x7FFFFFFF;
constexpr size_t kReadPiece = 8192;
constexpr size_t kInflateCheckPiece = 1024;
constexpr size_t kBestRatio = 1032;
// Images whose rows take more are inflated a row at a time, so that a huge
// image does not hold its inflated rows beside its pixels.
constexpr size_t kMostWhole = (size_t)512 << 20;

constexpr uint32_t Tag(const char (&s)[5]) {
    return (uint32_t)(uint8_t)s[0] << 24 | (uint32_t)(uint8_t)s[1] << 16 | (uint32_t)(uint8_t)s[2] << 8 |
           (uint32_t)(uint8_t)s[3];
}
constexpr uint32_t kIHDR = Tag("IHDR"), kPLTE = Tag("PLTE"), kIDAT = Tag("IDAT"), kIEND = Tag("IEND"),
                   ktRNS = Tag("tRNS");
// Ancillary chunks libpng knows: each needs the header before it.
constexpr uint32_t kKnownAncillary[] = {Tag("bKGD"), Tag("cHRM"), Tag("eXIf"), Tag("gAMA"), Tag("hIST"), Tag("iCCP"),
                                        Tag("iTXt"), Tag("oFFs"), Tag("pCAL"), Tag("pHYs"), Tag("sBIT"), Tag("sCAL"),
                                        Tag("sPLT"), Tag("sRGB"), Tag("tEXt"), Tag("tIME"), Tag("tRNS"), Tag("zTXt")};

inline uint32_t Be32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

uint32_t Crc(uint32_t crc, const void* p, size_t n) { return libdeflate_crc32(crc, p, n); }

uint32_t TagCrc(uint32_t tag) {
    const uint8_t b[4] = {(uint8_t)(tag >> 24), (uint8_t)(tag >> 16), (uint8_t)(tag >> 8), (uint8_t)tag};
    return Crc(0, b, 4);
}

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
using Bytes = std::unique_ptr<uint8_t[], FreeDeleter>;

Bytes Allocate(size_t n) { return Bytes(static_cast<uint8_t*>(malloc(n))); }

// Where the bytes come from.
class Source {
public:
    virtual ~Source() = default;
    // n bytes; false when a file ends or fails first. A memory block reads
    // zeros past its end, as libpng's memory reader gives them.
    virtual bool read(uint8_t* dst, size_t n) = 0;
    virtual void skip(size_t n) = 0;
    virtual size_t tell() = 0;
    virtual bool seek(size_t pos) = 0;
    // The next n bytes in place (read past), or null when the source cannot
    // lend them.
    virtual const uint8_t* view(size_t) { return nullptr; }
    // At most how many bytes are left.
    virtual size_t left() = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool read(uint8_t* dst, size_t n) override {
        const size_t have = pos_ < size_ ? size_ - pos_ : 0, take = n < have ? n : have;
        if (take) memcpy(dst, data_ + pos_, take);
        memset(dst + take, 0, n - take);
        pos_ += n;
        return true;
    }
    void skip(size_t n) override { pos_ += n; }
    size_t tell() override { return pos_; }
    bool seek(size_t pos) override { return pos_ = pos, true; }
    const uint8_t* view(size_t n) override {
        if (pos_ > size_ || n > size_ - pos_) return nullptr;
        pos_ += n;
        return data_ + pos_ - n;
    }
    size_t left() override { return pos_ < size_ ? size_ - pos_ : 0; }

private:
    const uint8_t* data_;
    size_t size_, pos_ = 0;
};

class FileSource : public Source {
public:
    explicit FileSource(FILE* f) : f_(f) {
        struct stat st;
        size_ = fstat(fileno(f), &st) == 0 && st.st_size > 0 ? (size_t)st.st_size : 0;
    }
    bool read(uint8_t* dst, size_t n) override { return fread(dst, 1, n, f_) == n; }
    void skip(size_t n) override { fseeko(f_, (off_t)n, SEEK_CUR); }
    size_t tell() override {
        const off_t at = ftello(f_);
        return at < 0 ? 0 : (size_t)at;
    }
    bool seek(size_t pos) override { return fseeko(f_, (off_t)pos, SEEK_SET) == 0; }
    size_t left() override {
        const size_t at = tell();
        return at < size_ ? size_ - at : 0;
    }

private:
    FILE* f_;
    size_t size_;
};

// What the header and the chunks before the image data say.
struct Image {
    uint32_t width = 0, height = 0;
    int depth = 0, colorType = 0;
    bool interlaced = false;
    rast_png::PixelFormat format;

    int channels() const {
        static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        return kChannels[colorType];
    }
    size_t rowBytes(uint32_t w) const { return ((size_t)w * (size_t)(channels() * depth) + 7) / 8; }
    int filterBpp() const { return channels() * depth >= 8 ? channels() * depth / 8 : 1; }
};

struct ChunkHead {
    uint32_t length = 0, tag = 0;
};

// Reads a chunk's length and type, refusing what libpng refuses there: a
// length over 2^31 - 1 or a type of other than letters. (Past its chunk
// size limits libpng only warns.)
bool ReadChunkHead(Source& s, ChunkHead* c) {
    uint8_t b[8];
    if (!s.read(b, 8)) return false;
    c->length = Be32(b);
    c->tag = Be32(b + 4);
    if (c->length > kMaxInt31) return false;
    for (int i = 4; i < 8; ++i)
        if (!((b[i] >= 'A' && b[i] <= 'Z') || (b[i] >= 'a' && b[i] <= 'z'))) return false;
    return true;
}

// The four CRC bytes after a chunk's data against the running CRC.
bool CrcHolds(Source& s, uint32_t crc) {
    uint8_t b[4];
    return s.read(b, 4) && Be32(b) == crc;
}

bool HeaderValid(const Image& im, int compression, int filter, int interlace) {
    if (im.width < 1 || im.height < 1 || im.width > kMaxSide || im.height > kMaxSide) return false;
    if (compression != 0 || filter != 0 || interlace > 1) return false;
    const int d = im.depth;
    switch (im.colorType) {
        case 0:
            return d == 1 || d == 2 || d == 4 || d == 8 || d == 16;
        case 3:
            return d == 1 || d == 2 || d == 4 || d == 8;
        case 2:
        case 4:
        case 6:
            return d == 8 || d == 16;
        default:
            return false;
    }
}

// The chunks up to the first image data; on success that chunk's head has
// been read.
bool ReadInfo(Source& s, Image* im, ChunkHead* idat) {
    bool haveHeader = false, havePalette = false, haveTrns = false;
    uint8_t palette[256 * 3] = {}, alpha[256];
    memset(alpha, 255, sizeof alpha);
    int numPalette = 0;
    for (;;) {
        ChunkHead c;
        if (!ReadChunkHead(s, &c)) return false;
        if (c.tag == kIDAT) {
            if (!haveHeader || (im->colorType == 3 && !havePalette)) return false;
            *idat = c;
            break;
        }
        const uint32_t crc = TagCrc(c.tag);
        if (c.tag == kIHDR) {
            uint8_t b[13];
            if (haveHeader || c.length != 13 || !s.read(b, 13) || !CrcHolds(s, Crc(crc, b, 13))) return false;
            if (Be32(b) > kMaxInt31 || Be32(b + 4) > kMaxInt31) return false;
            im->width = Be32(b);
            im->height = Be32(b + 4);
            im->depth = b[8];
            im->colorType = b[9];
            im->interlaced = b[12] == 1;
            if (!HeaderValid(*im, b[10], b[11], b[12])) return false;
            haveHeader = true;
        } else if (c.tag == kPLTE) {
            // Sound or refused, whichever the colour type: a grey image
            // ignores a sound one, an RGB image one of a wrong length.
            if (!haveHeader || havePalette) return false;
            havePalette = true;
            const bool needed = im->colorType == 3;
            const bool shapely = c.length <= 768 && c.length % 3 == 0;
            if (needed && !shapely) return false;
            uint8_t b[768];
            const size_t n = shapely ? c.length : 0;
            if (!s.read(b, n)) return false;
            uint32_t sum = Crc(crc, b, n);
            if (!shapely) {
                std::vector<uint8_t> rest(c.length);
                if (!s.read(rest.data(), rest.size())) return false;
                sum = Crc(sum, rest.data(), rest.size());
            }
            if (!CrcHolds(s, sum)) return false;
            if (!(im->colorType & 2) || !shapely) continue;
            numPalette = (int)c.length / 3;
            if (numPalette == 0) return false;
            if (needed && numPalette > (1 << im->depth)) numPalette = 1 << im->depth;
            memcpy(palette, b, (size_t)numPalette * 3);
        } else if (c.tag == ktRNS) {
            if (!haveHeader) return false;
            size_t want = 0;
            if (im->colorType == 0) want = 2;
            if (im->colorType == 2) want = 6;
            if (im->colorType == 3 && havePalette && c.length >= 1 && (int)c.length <= numPalette) want = c.length;
            // Out of place, a second one, or the wrong size: skipped, as is
            // one whose CRC fails.
            uint8_t b[256];
            if (haveTrns || want == 0 || c.length != want) {
                s.skip((size_t)c.length + 4);
                continue;
            }
            if (!s.read(b, want)) return false;
            if (!CrcHolds(s, Crc(crc, b, want))) continue;
            haveTrns = true;
            if (im->colorType == 3) {
                memcpy(alpha, b, want);
            } else {
                im->format.keyed = true;
                for (size_t i = 0; i < want / 2; ++i) im->format.key[i] = (uint16_t)(b[2 * i] << 8 | b[2 * i + 1]);
            }
        } else if (c.tag == kIEND) {
            return false;
        } else {
            // A chunk whose type starts in upper case must be understood.
            if (!(c.tag & 0x20000000u)) return false;
            if (!haveHeader)
                for (uint32_t known : kKnownAncillary)
                    if (c.tag == known) return false;
            s.skip((size_t)c.length + 4);
        }
    }

    rast_png::PixelFormat& f = im->format;
    f.colorType = im->colorType;
    f.depth = im->depth;
    if (im->colorType == 3) {
        for (int i = 0; i < 256; ++i) {
            // Indexes past the palette are black, as libpng leaves them.
            const uint8_t* p = palette + 3 * i;
            f.table[i] = (uint32_t)p[0] << 8 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 24 | alpha[i];
        }
    } else if (im->colorType == 0 && im->depth <= 8) {
        const unsigned top = (1u << im->depth) - 1, key = f.key[0] & top;
        for (unsigned v = 0; v <= top; ++v) {
            const uint32_t g = v * 255 / top;
            f.table[v] = g * 0x01010100u | (f.keyed && v == key ? 0u : 0xFFu);
        }
    }
    return true;
}

// Interlacing's seven passes: first column and row, and steps.
struct Pass {
    uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWhole = {0, 0, 1, 1};

uint32_t Count(uint32_t size, uint32_t first, uint32_t step) {
    return size > first ? (size - first + step - 1) / step : 0;
}

// Unfilters rows and writes their pixels into the bitmap.
class RowWriter {
public:
    RowWriter(const Image& im, unsigned int* bits, int span, bool flip)
        : im_(im), bits_(bits), span_(span), flip_(flip), convert_(rast_png::converterFor(im.format)) {}

    bool init() {
        const size_t size = im_.rowBytes(im_.width) + 1 + kRowSlack;
        store_.reset(static_cast<uint8_t*>(calloc(5, size)));
        if (!store_) return false;
        for (int i = 0; i < 4; ++i) (i < 2 ? inputs_[i] : outputs_[i - 2]) = store_.get() + i * size;
        zeros_ = store_.get() + 4 * size;
        if (im_.interlaced) {
            line_.reset(static_cast<uint32_t*>(malloc(sizeof(uint32_t) * im_.width)));
            if (!line_) return false;
        }
        return true;
    }

    // Starts a pass: its pixels per row, or 0 for an empty pass.
    uint32_t beginPass(const Pass& p) {
        pass_ = p;
        row_ = 0;
        prev_ = zeros_;
        const uint32_t w = Count(im_.width, p.x0, p.dx), h = Count(im_.height, p.y0, p.dy);
        width_ = h ? w : 0;
        return width_;
    }

    // A buffer for a filtered row that the next row() does not need.
    uint8_t* spare() const { return inputs_[0] + 1 != prev_ ? inputs_[0] : inputs_[1]; }

    // One filtered row (its filter type first), readable kRowSlack bytes
    // past its end. False for an unknown filter type.
    bool row(const uint8_t* filtered) {
        if (filtered[0] > 4) return false;
        uint8_t* out = outputs_[0] != prev_ ? outputs_[0] : outputs_[1];
        const size_t len = im_.rowBytes(width_);
        const uint8_t* cur = rast_png::unfilterRow(filtered[0], out, filtered + 1, prev_, len, im_.filterBpp());
        const uint32_t y = pass_.y0 + row_ * pass_.dy;
        unsigned int* dest = bits_ + (size_t)(flip_ ? im_.height - 1 - y : y) * (size_t)span_;
        if (!im_.interlaced) {
            convert_(im_.format, cur, dest, (int)width_);
        } else {
            convert_(im_.format, cur, line_.get(), (int)width_);
            for (uint32_t i = 0; i < width_; ++i) dest[pass_.x0 + i * pass_.dx] = line_[i];
        }
        prev_ = cur;
        ++row_;
        return true;
    }

private:
    const Image& im_;
    unsigned int* bits_;
    int span_;
    bool flip_;
    rast_png::RowConverter convert_;
    Bytes store_;
    std::unique_ptr<uint32_t[], FreeDeleter> line_;
    // Filtered rows read a row at a time, and unfiltered rows: the row
    // above is kept in one while the next is made in the other.
    uint8_t* inputs_[2] = {};
    uint8_t* outputs_[2] = {};
    const uint8_t* zeros_ = nullptr;
    const uint8_t* prev_ = nullptr;
    Pass pass_ = kWhole;
    uint32_t row_ = 0, width_ = 0;
};

int PassCount(const Image& im) { return im.interlaced ? 7 : 1; }
const Pass& PassOf(const Image& im, int i) { return im.interlaced ? kAdam7[i] : kWhole; }

// The image data inflated at once. True when every row is written; false
// with nothing written when anything is amiss.
bool DecodeWhole(Source& s, ChunkHead first, const Image& im, RowWriter& out) {
    // The bytes of all rows with their filter types.
    size_t raw = 0;
    for (int i = 0; i < PassCount(im); ++i) {
        const Pass& p = PassOf(im, i);
        const uint32_t w = Count(im.width, p.x0, p.dx), h = Count(im.height, p.y0, p.dy);
        if (w && h) raw += (size_t)h * (im.rowBytes(w) + 1);
    }
    if (raw > kMostWhole) return false;
    // Consecutive image data chunks, held in place when the source can lend
    // them, up to what could still belong to the stream.
    struct Piece {
        const uint8_t* data;
        size_t end;  // in the joined stream
        bool sound;
    };
    std::vector<Piece> pieces;
    const size_t most = raw + raw / 8 + (1u << 20);
    Bytes joined;
    size_t total = 0, room = 0;
    for (ChunkHead c = first;;) {
        const uint8_t* data = s.view(c.length);
        if (!data) {
            // A block cut short: libpng's way decides.
            if (!pieces.empty() && pieces[0].data) return false;
            if (!joined) {
                room = s.left() < most + (16u << 20) ? s.left() : most + (16u << 20);
                joined = Allocate(room);
                if (!joined) return false;
            }
            if (room - total < c.length || !s.read(joined.get() + total, c.length)) return false;
        }
        const uint32_t crc = Crc(TagCrc(kIDAT), data ? data : joined.get() + total, c.length);
        total += c.length;
        uint8_t b[4];
        if (!s.read(b, 4)) break;
        pieces.push_back(Piece{data, total, Be32(b) == crc});
        if (total > most || !s.left() || !ReadChunkHead(s, &c) || c.tag != kIDAT) break;
    }
    if (pieces.empty()) return false;
    // Lent pieces are joined unless there is one.
    const uint8_t* in = pieces[0].data;
    if (in && pieces.size() > 1) {
        joined = Allocate(total);
        if (!joined) return false;
        size_t at = 0;
        for (const Piece& p : pieces) memcpy(joined.get() + at, p.data, p.end - at), at = p.end;
        in = joined.get();
    } else if (!in) {
        in = joined.get();
    }
    total = pieces.back().end;
    // A stream that declares a window below 32 KiB is held to it by zlib
    // as libpng feeds it, a row at a time; libdeflate knows no window.
    if (raw / kBestRatio > total || total < 2 || (in[0] >> 4) != 7) return false;

    Bytes rows = Allocate(raw + kRowSlack);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    if (!rows || !d) {
        libdeflate_free_decompressor(d);
        return false;
    }
    size_t used = 0;
    const libdeflate_result r = libdeflate_zlib_decompress_ex(d, in, total, rows.get(), raw, &used, nullptr);
    libdeflate_free_decompressor(d);
    if (r != LIBDEFLATE_SUCCESS) return false;
    // libpng reads, and checks, every chunk up to the one the stream ends in.
    for (const Piece& p : pieces) {
        if (!p.sound) return false;
        if (p.end >= used) break;
    }
    // Every filter type is known before a row is written.
    size_t at = 0;
    for (int i = 0; i < PassCount(im); ++i) {
        const Pass& p = PassOf(im, i);
        const uint32_t w = Count(im.width, p.x0, p.dx), h = Count(im.height, p.y0, p.dy);
        if (!w || !h) continue;
        for (uint32_t y = 0; y < h; ++y, at += im.rowBytes(w) + 1)
            if (rows[at] > 4) return false;
    }
    at = 0;
    for (int i = 0; i < PassCount(im); ++i) {
        const Pass& p = PassOf(im, i);
        const uint32_t w = out.beginPass(p);
        if (!w) continue;
        const uint32_t h = Count(im.height, p.y0, p.dy);
        for (uint32_t y = 0; y < h; ++y, at += im.rowBytes(w) + 1) out.row(rows.get() + at);
    }
    return true;
}

// libpng's way through the image data: chunk by chunk, each CRC checked
// when its data is used up, inflated a row at a time from pieces of at most
// kReadPiece bytes.
class Inflater {
public:
    Inflater(Source& s, ChunkHead first) : s_(s), left_(first.length) {
        crc_ = TagCrc(kIDAT);
        memset(&z_, 0, sizeof z_);
    }
    ~Inflater() {
        if (ready_) inflateEnd(&z_);
    }
    // Zero: the stream's own header gives the window.
    bool init() { return ready_ = inflateInit2(&z_, 0) == Z_OK; }

    bool readRow(uint8_t* out, size_t n) {
        if (ended_) return false;
        size_t want = n;
        do {
            if (z_.avail_in == 0 && !refill()) return false;
            z_.next_out = out + (n - want);
            z_.avail_out = (uInt)want;
            const int ret = inflate(&z_, Z_NO_FLUSH);
            want = z_.avail_out;
            if (ret == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (ret != Z_OK) return false;
        } while (want > 0);
        return want == 0;
    }

    // After the last row: libpng inflates on while that gives bytes,
    // letting a broken or overlong end pass, and then checks the chunk it
    // is in.
    bool finish() {
        if (!ended_) {
            uint8_t scrap[kInflateCheckPiece];
            size_t made = 0;
            do {
                if (z_.avail_in == 0 && !refill()) return false;
                z_.next_out = scrap;
                z_.avail_out = sizeof scrap;
                const int ret = inflate(&z_, Z_NO_FLUSH);
                made = sizeof scrap - z_.avail_out;
                if (ret != Z_OK) break;
            } while (made > 0);
        }
        uint8_t b[4096];
        while (left_ > 0) {
            const size_t n = left_ < sizeof b ? left_ : sizeof b;
            if (!s_.read(b, n)) return false;
            crc_ = Crc(crc_, b, n);
            left_ -= (uint32_t)n;
        }
        return CrcHolds(s_, crc_);
    }

private:
    bool refill() {
        while (left_ == 0) {
            ChunkHead c;
            if (!CrcHolds(s_, crc_) || !ReadChunkHead(s_, &c) || c.tag != kIDAT) return false;
            left_ = c.length;
            crc_ = TagCrc(kIDAT);
        }
        const size_t n = left_ < kReadPiece ? left_ : kReadPiece;
        if (!s_.read(piece_, n)) return false;
        crc_ = Crc(crc_, piece_, n);
        left_ -= (uint32_t)n;
        z_.next_in = piece_;
        z_.avail_in = (uInt)n;
        return true;
    }

    Source& s_;
    z_stream z_;
    bool ready_ = false, ended_ = false;
    uint32_t left_, crc_;
    uint8_t piece_[kReadPiece];
};

bool DecodeRows(Source& s, ChunkHead first, const Image& im, RowWriter& out) {
    std::unique_ptr<Inflater> z(new (std::nothrow) Inflater(s, first));
    if (!z || !z->init()) return false;
    for (int i = 0; i < PassCount(im); ++i) {
        const Pass& p = PassOf(im, i);
        const uint32_t w = out.beginPass(p);
        if (!w) continue;
        const uint32_t h = Count(im.height, p.y0, p.dy);
        for (uint32_t y = 0; y < h; ++y) {
            uint8_t* row = out.spare();
            if (!z->readRow(row, im.rowBytes(w) + 1) || !out.row(row)) return false;
        }
    }
    return z->finish();
}

const uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

// Decodes into the given bitmap, or into a new one that the caller owns.
// With followFlip, rows follow a flipped bitmap's picture order.
RAST_IBitmap* Decode(Source& s, RAST_IBitmap* given, bool followFlip) {
    uint8_t sig[8];
    if (!s.read(sig, 8) || memcmp(sig, kSignature, 8) != 0) return nullptr;
    Image im;
    ChunkHead idat;
    if (!ReadInfo(s, &im, &idat)) return nullptr;
    const size_t dataStart = s.tell();

    const int w = (int)im.width, h = (int)im.height;
    std::unique_ptr<RAST_IBitmap> created;
    RAST_IBitmap* bm = given;
    if (bm) {
        bm->resize(w, h);
    } else {
        created.reset(new (std::nothrow) RAST_MemBitmap(w, h, 4));
        bm = created.get();
        if (!bm) return nullptr;
    }
    // Never write through a short or missing block.
    unsigned int* bits = bm->getBits();
    const int span = bm->getRowSpan();
    if (bm->getWidth() != w || bm->getHeight() != h || !bits || span < w) return nullptr;

    RowWriter out(im, bits, span, followFlip && bm->isFlipped());
    if (!out.init()) return nullptr;
    if (!DecodeWhole(s, idat, im, out) && !(s.seek(dataStart) && DecodeRows(s, idat, im, out))) return nullptr;
    created.release();
    return bm;
}

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    struct MemReader {
        const unsigned char* ptr;
        int left;
    };
    MemReader* r = static_cast<MemReader*>(png_get_io_ptr(png));
    size_t n = count < (size_t)r->left ? count : (size_t)r->left;
    memset(out, 0, count);
    if (n) memcpy(out, r->ptr, n);
    r->ptr += n;
    r->left -= (int)n;
}

const char kExtList[] = "PNG files (*.PNG)\0*.PNG\0";

const char* PngExtList() { return kExtList; }

RAST_ImageLoader_rec g_pngLoaderRec = {RAST_PNGLoader::loadfunc, PngExtList, nullptr};

// Linked in at start-up, at the head of the list.
struct PngLoaderRegistration {
    PngLoaderRegistration() {
        g_pngLoaderRec._next = RAST_ImageLoader_list;
        RAST_ImageLoader_list = &g_pngLoaderRec;
    }
} g_pngLoaderRegistration;

}  // namespace

// Constant-initialised, so registrations from any file may run first.
RAST_ImageLoader_rec* RAST_ImageLoader_list = nullptr;

// libpng's memory read callback.
void staticPngReadFunc(png_structp png, png_bytep out, png_size_t count) { ReadFromMemory(png, out, count); }

RAST_IBitmap* RAST_LoadPNG(const char* path, RAST_IBitmap* bitmap) {
    if (!path) return nullptr;
    FILE* fp = BASE_OpenRegularFileStream(path);
    if (!fp) return nullptr;
    RAST_IBitmap* result = nullptr;
    {
        FileSource source(fp);
        result = Decode(source, bitmap, true);
    }
    fclose(fp);
    return result;
}

RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int size, RAST_IBitmap* bitmap) {
    if (!data || size < 8 || memcmp(data, kSignature, 8) != 0) return nullptr;
    MemorySource source(static_cast<const uint8_t*>(data), (size_t)size);
    return Decode(source, bitmap, false);
}

RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bitmap) {
    if (!name || strlen(name) > 400) return nullptr;
    // The bundle is the folder of the library (or program) this code is in;
    // its resource folder is "resources".
    const platform::cf::Bundle bundle =
        platform::cf::Bundle::containing(reinterpret_cast<const void*>(&RAST_LoadPNGFromNamedResource));
    const std::string& root = bundle.root();
    if (!bundle.valid() || root.size() > 1536) return nullptr;
    return RAST_LoadPNG((root + "/resources/" + name).c_str(), bitmap);
}

RAST_IBitmap* RAST_LoadPNGFromResource(void* module, int id, RAST_IBitmap* bitmap) { return nullptr; }

RAST_IBitmap* RAST_PNGLoader::loadfunc(const char* path, bool checkFileName, RAST_IBitmap* bitmap) {
    if (!path) return nullptr;
    if (checkFileName) {
        const char* ext = path;
        for (const char* p = path; *p; ++p)
            if (*p == '.' || *p == '/' || *p == '\\') ext = p;
        if (strcasecmp(ext, ".png") != 0) return nullptr;
    }
    return RAST_LoadPNG(path, bitmap);
}

const char* RAST_PNGLoader::get_extlist() { return kExtList; }
