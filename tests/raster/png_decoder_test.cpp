// The decoder held to libpng set up as the loader once set it up, on images
// made here: every colour type and bit depth, plain and interlaced, each
// filter type, the image data in one chunk or many; and damaged ones, whose
// verdict, and the rows written before a failure, are libpng's too.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "raster/RAST_PNG.h"
#include "tests/raster/png_test_util.h"

namespace {

using pngtest::Chunk;
using pngtest::PngShape;

void Fill(RAST_IBitmap& bm) {
    for (int y = 0; y < bm.getHeight(); ++y)
        memset(bm.getBits() + (size_t)y * bm.getRowSpan(), 0xA5, (size_t)bm.getWidth() * 4);
}

// Both decode into bitmaps of the image's size filled alike: the same
// verdict and the same bytes. Returns our verdict.
bool SameAsLibpng(const std::vector<uint8_t>& png, const std::string& what) {
    int w = 0, h = 0;
    std::vector<uint8_t> want;
    const bool ok = pngtest::LibpngDecode(png.data(), png.size()).run(&want, &w, &h, 0xA5);
    RAST_MemBitmap bm(std::max(w, 1), std::max(h, 1), 4);
    Fill(bm);
    const bool ours = RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &bm) != nullptr;
    EXPECT_EQ(ours, ok) << what;
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            differ += memcmp(bm.getBits() + (size_t)y * bm.getRowSpan() + x, &want[((size_t)y * w + x) * 4], 4) != 0;
    EXPECT_EQ(differ, 0) << what;
    return ours;
}

// Samples that change from pixel to pixel and row to row in no simple way,
// with a flat stretch, over the depth's whole range.
std::vector<std::vector<unsigned>> Samples(int w, int h, int channels, int depth) {
    std::vector<std::vector<unsigned>> rows(h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * channels; ++x) {
            seed = seed * 1103515245u + 12345u;
            rows[y].push_back(x < 6 ? 7u * (unsigned)y : seed >> 8);
            rows[y].back() &= (1u << depth) - 1;
        }
    return rows;
}

PngShape Shape(int type, int depth, bool interlace, bool transparency) {
    PngShape s;
    s.width = 37, s.height = 19, s.colorType = type, s.depth = depth, s.interlace = interlace;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        // Fewer entries than 8-bit indexes reach: those past the end too.
        for (int i = 0; i < std::min(1 << depth, 200); ++i)
            s.palette.push_back(png_color{(png_byte)(i * 5), (png_byte)(255 - i), (png_byte)(i ^ 0x5A)});
        if (transparency) s.paletteAlpha = {0, 60, 255, 7};
    } else if (transparency) {
        s.hasTrnsColor = true;
        s.trnsColor.gray = s.trnsColor.red = 0;  // the flat stretch's first row
        s.trnsColor.green = s.trnsColor.blue = 0;
    }
    return s;
}

}  // namespace

TEST(PngDecoder, EveryColourTypeDepthLayoutAndFilterAsLibpng) {
    struct Case {
        int type, depth;
    };
    const Case cases[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                          {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    char dir[] = "/tmp/hv-pngdec-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string path = std::string(dir) + "/image.png";
    for (const Case& c : cases)
        for (bool interlace : {false, true})
            for (bool transparency : {false, true}) {
                if (transparency && (c.type & PNG_COLOR_MASK_ALPHA)) continue;
                const PngShape s = Shape(c.type, c.depth, interlace, transparency);
                const auto rows = Samples(s.width, s.height, pngtest::Channels(c.type), c.depth);
                // Types 0-4 on every row, then each in turn over image data
                // cut into small chunks with an empty one among them.
                for (int filter = 0; filter <= 5; ++filter) {
                    const pngtest::Layout layout{filter, filter == 5 ? 50u : 0u, filter == 5};
                    const std::vector<uint8_t> png = pngtest::Build(s, rows, layout);
                    const std::string what = "type " + std::to_string(c.type) + " depth " + std::to_string(c.depth) +
                                             (interlace ? " interlaced" : "") + (transparency ? " tRNS" : "") +
                                             " filter " + std::to_string(filter);
                    EXPECT_TRUE(SameAsLibpng(png, what));
                    if (filter != 5) continue;
                    // From a file: the same pixels.
                    std::ofstream(path, std::ios::binary | std::ios::trunc)
                        .write(reinterpret_cast<const char*>(png.data()), (std::streamsize)png.size());
                    std::unique_ptr<RAST_IBitmap> file(RAST_LoadPNG(path.c_str(), nullptr)),
                        memory(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr));
                    ASSERT_TRUE(file && memory) << what;
                    for (int y = 0; y < s.height; ++y)
                        ASSERT_EQ(memcmp(file->getBits() + y * file->getRowSpan(),
                                         memory->getBits() + y * memory->getRowSpan(), s.width * 4),
                                  0)
                            << what << " row " << y;
                }
            }
    std::filesystem::remove_all(dir);
}

TEST(PngDecoder, DamagedImagesGetLibpngsVerdict) {
    // libpng's writer: image data in chunks of 8 KiB, its own filter choice.
    PngShape s = Shape(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false);
    s.width = 300, s.height = 200;
    const std::vector<uint8_t> good = pngtest::Encode(s, Samples(s.width, s.height, 4, 8));
    PngShape p = Shape(PNG_COLOR_TYPE_PALETTE, 4, false, true);
    const std::vector<uint8_t> palette = pngtest::Encode(p, Samples(p.width, p.height, 1, 4));
    ASSERT_TRUE(SameAsLibpng(good, "good"));

    auto chunk = [](const std::vector<uint8_t>& png, const char* type, int nth) {
        std::vector<Chunk> found;
        for (const Chunk& c : pngtest::Chunks(png))
            if (c.type == type) found.push_back(c);
        return found.at(nth < 0 ? found.size() + nth : nth);
    };
    auto breakCrc = [&](std::vector<uint8_t> png, const char* type, int nth) {
        const Chunk c = chunk(png, type, nth);
        png[c.offset + 8 + c.length] ^= 0x10;
        return png;
    };
    // A byte of the last image data chunk, its CRC made good again.
    auto editLast = [&](std::vector<uint8_t> png, size_t fromEnd, int cut) {
        const Chunk c = chunk(png, "IDAT", -1);
        if (cut) {
            png.erase(png.begin() + c.offset + 8 + c.length - cut, png.begin() + c.offset + 8 + c.length);
            pngtest::PutBe32(&png[c.offset], c.length - cut);
            pngtest::FixCrc(png, Chunk{c.offset, c.length - cut, "IDAT"});
        } else {
            png[c.offset + 8 + c.length - fromEnd] ^= 0x01;
            pngtest::FixCrc(png, c);
        }
        return png;
    };
    auto withText = [](std::vector<uint8_t> png, bool badCrc) {
        std::vector<uint8_t> text;
        pngtest::PutChunk(text, "tEXt", {'k', 0, 'v'});
        if (badCrc) text.back() ^= 1;
        png.insert(png.begin() + 33, text.begin(), text.end());
        return png;
    };
    ASSERT_GE(chunk(good, "IDAT", -1).offset, chunk(good, "IDAT", 3).offset) << "image data in many chunks";
    // Rows that repeat, reached back for across more than a 256-byte window
    // that the stream's header then declares.
    auto smallWindow = [&] {
        std::vector<std::vector<unsigned>> rows(40, Samples(s.width, 1, 4, 8)[0]);
        PngShape r = s;
        r.height = 40;
        std::vector<uint8_t> png = pngtest::Build(r, rows, pngtest::Layout{});
        const Chunk c = chunk(png, "IDAT", 0);
        uint8_t* z = &png[c.offset + 8];
        z[0] = 0x08, z[1] &= 0xE0;
        z[1] = (uint8_t)(z[1] + (31 - (z[0] * 256 + z[1]) % 31) % 31);
        pngtest::FixCrc(png, c);
        return png;
    };
    struct Damage {
        const char* what;
        std::vector<uint8_t> png;
        bool loads;
    };
    const Damage damages[] = {
        {"header CRC", breakCrc(good, "IHDR", 0), false},
        {"first image data CRC", breakCrc(good, "IDAT", 0), false},
        {"middle image data CRC", breakCrc(good, "IDAT", 2), false},
        {"last image data CRC", breakCrc(good, "IDAT", -1), false},
        {"palette CRC", breakCrc(palette, "PLTE", 0), false},
        {"transparency CRC: opaque", breakCrc(palette, "tRNS", 0), true},
        {"text CRC: ignored", withText(good, true), true},
        {"text", withText(good, false), true},
        {"Adler-32", editLast(good, 1, 0), false},
        {"deflate data before the Adler-32", editLast(good, 6, 0), false},
        {"stream cut short", editLast(good, 0, 9), false},
        {"end of stream cut", editLast(good, 0, 1), false},
        {"a window smaller than the stream reaches", smallWindow(), false},
    };
    for (const Damage& d : damages) EXPECT_EQ(SameAsLibpng(d.png, d.what), d.loads) << d.what;

    // A header too large is refused before the given bitmap is touched.
    for (uint32_t side : {1000001u, 0x80000000u}) {
        std::vector<uint8_t> big = good;
        const Chunk ihdr = chunk(big, "IHDR", 0);
        pngtest::PutBe32(&big[ihdr.offset + 8], side);
        pngtest::FixCrc(big, ihdr);
        RAST_MemBitmap given(3, 3, 4);
        EXPECT_EQ(RAST_LoadPNGFromMemory(big.data(), (int)big.size(), &given), nullptr) << side;
        EXPECT_EQ(given.getWidth(), 3);
        EXPECT_TRUE(SameAsLibpng(big, "oversize") == false);
    }
}
