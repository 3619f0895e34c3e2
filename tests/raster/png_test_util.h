// Writes small PNG images of every shape for the loader tests, and edits
// their chunks (with fresh CRCs) to make damaged ones.
#pragma once

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "raster/RAST_PngWrite.h"

namespace pngtest {

struct PngShape {
    int width = 0, height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS for palette images
    bool hasTrnsColor = false;
    png_color_16 trnsColor{};
};

inline int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Packs one row of samples (one value per channel and pixel) at the depth,
// most significant bits first, 16-bit samples big-endian.
inline std::vector<uint8_t> PackRow(const std::vector<unsigned>& samples, int depth) {
    std::vector<uint8_t> out;
    if (depth == 16) {
        for (unsigned s : samples) out.push_back((uint8_t)(s >> 8)), out.push_back((uint8_t)s);
        return out;
    }
    if (depth == 8) {
        for (unsigned s : samples) out.push_back((uint8_t)s);
        return out;
    }
    int perByte = 8 / depth, bit = 0;
    uint8_t cur = 0;
    for (unsigned s : samples) {
        cur |= (uint8_t)((s & ((1u << depth) - 1)) << (8 - depth - bit * depth));
        if (++bit == perByte) out.push_back(cur), cur = 0, bit = 0;
    }
    if (bit) out.push_back(cur);
    return out;
}

// rows: samples per row (channels x width values).
inline std::vector<uint8_t> Encode(const PngShape& s, const std::vector<std::vector<unsigned>>& rows) {
    RAST_PngImage im;
    im.width = s.width;
    im.height = s.height;
    im.colorType = s.colorType;
    im.depth = s.depth;
    im.interlace = s.interlace;
    im.compressionLevel = -1;
    for (const auto& r : rows) im.rows.push_back(PackRow(r, s.depth));
    for (const png_color& c : s.palette) im.palette.insert(im.palette.end(), {c.red, c.green, c.blue});
    im.paletteAlpha = s.paletteAlpha;
    im.hasTransparentColour = s.hasTrnsColor;
    im.transparentColour[0] = s.colorType == PNG_COLOR_TYPE_GRAY ? s.trnsColor.gray : s.trnsColor.red;
    im.transparentColour[1] = s.trnsColor.green;
    im.transparentColour[2] = s.trnsColor.blue;
    std::vector<uint8_t> out;
    if (!RAST_EncodePng(im, &out)) throw std::runtime_error("png encode failed");
    return out;
}

struct Chunk {
    size_t offset;  // of the length field
    uint32_t length;
    std::string type;
};

inline uint32_t Be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | p[2] << 8 | p[3]; }
inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)(v >> 24), p[1] = (uint8_t)(v >> 16), p[2] = (uint8_t)(v >> 8), p[3] = (uint8_t)v;
}

inline std::vector<Chunk> Chunks(const std::vector<uint8_t>& png) {
    std::vector<Chunk> out;
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        uint32_t len = Be32(&png[pos]);
        out.push_back(Chunk{pos, len, std::string(reinterpret_cast<const char*>(&png[pos + 4]), 4)});
        pos += 12 + (size_t)len;
    }
    return out;
}

// Recomputes the CRC of the chunk at offset.
inline void FixCrc(std::vector<uint8_t>& png, const Chunk& c) {
    uint32_t crc = (uint32_t)crc32(0, &png[c.offset + 4], 4 + c.length);
    PutBe32(&png[c.offset + 8 + c.length], crc);
}

// A PNG made here, not by libpng's writer, so that each row's filter type
// and the cut of the image data into chunks are chosen.
struct Layout {
    int filter = 0;          // 0-4 for every row, 5 for each in turn
    size_t idatSize = 0;     // the largest image data chunk; 0 for one chunk
    bool emptyIdat = false;  // an empty image data chunk after the first
};

inline void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    uint8_t head[8];
    PutBe32(head, (uint32_t)data.size());
    memcpy(head + 4, type, 4);
    png.insert(png.end(), head, head + 8);
    png.insert(png.end(), data.begin(), data.end());
    uint8_t crc[4];
    uLong sum = crc32(0, head + 4, 4);
    if (!data.empty()) sum = crc32(sum, data.data(), (uInt)data.size());  // zlib restarts on a null block
    PutBe32(crc, (uint32_t)sum);
    png.insert(png.end(), crc, crc + 4);
}

// Filters packed rows of one pass, the type of each row chosen by the layout.
inline void FilterRows(const std::vector<std::vector<uint8_t>>& rows, int bpp, int filter, std::vector<uint8_t>* out) {
    std::vector<uint8_t> zero(rows.empty() ? 0 : rows[0].size());
    for (size_t y = 0; y < rows.size(); ++y) {
        const std::vector<uint8_t>& r = rows[y];
        const std::vector<uint8_t>& p = y ? rows[y - 1] : zero;
        const int type = filter == 5 ? (int)(y % 5) : filter;
        out->push_back((uint8_t)type);
        for (size_t i = 0; i < r.size(); ++i) {
            const int a = i >= (size_t)bpp ? r[i - bpp] : 0, b = p[i], c = i >= (size_t)bpp ? p[i - bpp] : 0;
            int pred = 0;
            if (type == 1) pred = a;
            if (type == 2) pred = b;
            if (type == 3) pred = (a + b) / 2;
            if (type == 4) {
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            out->push_back((uint8_t)(r[i] - pred));
        }
    }
}

inline std::vector<uint8_t> Build(const PngShape& s, const std::vector<std::vector<unsigned>>& rows, const Layout& l) {
    static const int kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    const int ch = Channels(s.colorType), bpp = std::max(1, ch * s.depth / 8);
    std::vector<uint8_t> raw;
    for (int p = 0; p < (s.interlace ? 7 : 1); ++p) {
        const int x0 = s.interlace ? kPass[p][0] : 0, y0 = s.interlace ? kPass[p][1] : 0;
        const int dx = s.interlace ? kPass[p][2] : 1, dy = s.interlace ? kPass[p][3] : 1;
        std::vector<std::vector<uint8_t>> packed;
        for (int y = y0; y < s.height; y += dy) {
            std::vector<unsigned> samples;
            for (int x = x0; x < s.width; x += dx)
                samples.insert(samples.end(), rows[y].begin() + x * ch, rows[y].begin() + (x + 1) * ch);
            if (!samples.empty()) packed.push_back(PackRow(samples, s.depth));
        }
        FilterRows(packed, bpp, l.filter, &raw);
    }
    uLongf size = compressBound((uLong)raw.size());
    std::vector<uint8_t> z(size);
    if (compress2(z.data(), &size, raw.data(), (uLong)raw.size(), 9) != Z_OK) throw std::runtime_error("deflate");
    z.resize(size);

    std::vector<uint8_t> png = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> ihdr(13);
    PutBe32(&ihdr[0], (uint32_t)s.width);
    PutBe32(&ihdr[4], (uint32_t)s.height);
    ihdr[8] = (uint8_t)s.depth, ihdr[9] = (uint8_t)s.colorType, ihdr[12] = s.interlace ? 1 : 0;
    PutChunk(png, "IHDR", ihdr);
    std::vector<uint8_t> plte, trns;
    for (const png_color& c : s.palette) plte.insert(plte.end(), {c.red, c.green, c.blue});
    if (!plte.empty()) PutChunk(png, "PLTE", plte);
    if (!s.paletteAlpha.empty()) PutChunk(png, "tRNS", s.paletteAlpha);
    if (s.hasTrnsColor) {
        // Byte by byte: GCC 12 at -O3 takes a two-byte insert into the empty
        // vector for a write past its end.
        for (unsigned v : {s.trnsColor.red, s.trnsColor.green, s.trnsColor.blue}) {
            trns.push_back((uint8_t)(v >> 8));
            trns.push_back((uint8_t)v);
        }
        if (s.colorType == PNG_COLOR_TYPE_GRAY) trns = {(uint8_t)(s.trnsColor.gray >> 8), (uint8_t)s.trnsColor.gray};
        PutChunk(png, "tRNS", trns);
    }
    const size_t piece = l.idatSize ? l.idatSize : z.size();
    for (size_t at = 0; at < z.size(); at += piece) {
        PutChunk(png, "IDAT", std::vector<uint8_t>(z.begin() + at, z.begin() + std::min(z.size(), at + piece)));
        if (l.emptyIdat && at == 0) PutChunk(png, "IDAT", {});
    }
    PutChunk(png, "IEND", {});
    return png;
}

// libpng decoding as the loader once did it, the decoder's reference: the
// same transforms to alpha, red, green, blue bytes, and the same rows written
// before a failure.
class LibpngDecode {
public:
    // Once the header is read, pixels(width, height) gives where the rows go
    // (width x 4 bytes each, top row first), or null to refuse.
    using Pixels = std::function<uint8_t*(int width, int height)>;

    LibpngDecode(const uint8_t* data, size_t size) : data_(data), left_(size) {}
    bool run(const Pixels& pixels) {
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        std::vector<png_bytep> rows;
        bool ok = false;
        if (info && left_ >= 8 && !png_sig_cmp(data_, 0, 8)) ok = decode(png, info, pixels, &rows);
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return ok;
    }
    // Into out, filled with fill first; width and height stay 0 when the
    // header is refused.
    bool run(std::vector<uint8_t>* out, int* width, int* height, uint8_t fill = 0) {
        *width = *height = 0;
        return run([&](int w, int h) {
            *width = w, *height = h;
            out->assign((size_t)w * h * 4, fill);
            return out->data();
        });
    }

private:
    static void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void OnWarning(png_structp, png_const_charp) {}
    static void Read(png_structp png, png_bytep out, png_size_t n) {
        auto* self = static_cast<LibpngDecode*>(png_get_io_ptr(png));
        const size_t take = n < self->left_ ? n : self->left_;
        memset(out, 0, n);
        if (take) memcpy(out, self->data_, take);
        self->data_ += take;
        self->left_ -= take;
    }
    // Apart, so that nothing here lives across the setjmp.
    bool decode(png_structp png, png_infop info, const Pixels& pixels, std::vector<png_bytep>* rows) {
        png_set_read_fn(png, this, Read);
        if (setjmp(png_jmpbuf(png))) return false;
        png_read_info(png, info);
        png_uint_32 w = 0, h = 0;
        int depth = 0, type = 0, interlace = 0;
        png_get_IHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
        if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) {
            png_set_tRNS_to_alpha(png);
            type |= PNG_COLOR_MASK_ALPHA;
        }
        if (depth == 16)
            png_set_strip_16(png);
        else if (depth < 8)
            png_set_packing(png);
        if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        if (type & PNG_COLOR_MASK_ALPHA)
            png_set_swap_alpha(png);
        else
            png_set_filler(png, 255, PNG_FILLER_BEFORE);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        uint8_t* base = pixels((int)w, (int)h);
        if (!base) return false;
        rows->resize(h);
        for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = base + (size_t)y * w * 4;
        png_read_image(png, rows->data());
        return true;
    }

    const uint8_t* data_;
    size_t left_;
};

}  // namespace pngtest
