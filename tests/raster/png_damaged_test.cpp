// Damaged PNG files and memory blocks: truncated, bit-flipped, with broken
// or oversized headers, or a wrong signature. Every one gives null or a
// bitmap of the image's own size, never a crash or a leak (ASan checks the
// latter).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "raster/RAST_PNG.h"
#include "tests/raster/png_test_util.h"

namespace {

using pngtest::Chunk;

std::vector<uint8_t> Sample(bool interlace, int colorType) {
    pngtest::PngShape s;
    s.width = 23, s.height = 17, s.colorType = colorType, s.interlace = interlace;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 16; ++i) s.palette.push_back(png_color{(png_byte)(i * 16), (png_byte)(255 - i), 7});
        s.paletteAlpha = {0, 100, 200};
    }
    int ch = pngtest::Channels(colorType);
    std::vector<std::vector<unsigned>> rows(s.height);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            for (int c = 0; c < ch; ++c)
                rows[y].push_back(colorType == PNG_COLOR_TYPE_PALETTE ? (x + y) % 16 : (x * 11 + y * 5 + c * 70) & 255);
    return pngtest::Encode(s, rows);
}

// Null, or a whole bitmap of the image's size.
void ExpectSane(RAST_IBitmap* bm, const char* what, size_t at) {
    std::unique_ptr<RAST_IBitmap> own(bm);
    if (!bm) return;
    EXPECT_EQ(bm->getWidth(), 23) << what << " " << at;
    EXPECT_EQ(bm->getHeight(), 17) << what << " " << at;
    EXPECT_NE(bm->getBits(), nullptr);
}

// End of the last image-data chunk's data: a cut before it leaves rows
// undecoded, which must fail.
size_t ImageDataEnd(const std::vector<uint8_t>& png) {
    size_t end = 0;
    for (const Chunk& c : pngtest::Chunks(png))
        if (c.type == "IDAT") end = c.offset + 8 + c.length;
    return end;
}

struct TempFile {
    TempFile() {
        char tmpl[] = "/tmp/hv-pngd-XXXXXX";
        int fd = mkstemp(tmpl);
        close(fd);
        path = tmpl;
    }
    ~TempFile() { std::filesystem::remove(path); }
    void write(const std::vector<uint8_t>& bytes, size_t n) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)n);
    }
    std::string path;
};

std::vector<uint8_t> WithHeader(std::vector<uint8_t> png, uint32_t w, uint32_t h, int depth, int type, int interlace) {
    Chunk ihdr = pngtest::Chunks(png).at(0);
    uint8_t* d = &png[ihdr.offset + 8];
    pngtest::PutBe32(d, w);
    pngtest::PutBe32(d + 4, h);
    d[8] = (uint8_t)depth, d[9] = (uint8_t)type, d[12] = (uint8_t)interlace;
    pngtest::FixCrc(png, ihdr);
    return png;
}

}  // namespace

TEST(PngDamaged, EveryTruncationOfMemoryBlocksAndFiles) {
    for (bool interlace : {false, true})
        for (int type : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE}) {
            std::vector<uint8_t> png = Sample(interlace, type);
            size_t dataEnd = ImageDataEnd(png);
            for (size_t n = 0; n < png.size(); ++n) {
                RAST_IBitmap* bm = RAST_LoadPNGFromMemory(png.data(), (int)n, nullptr);
                if (n < dataEnd) {
                    EXPECT_EQ(bm, nullptr) << "cut at " << n;
                }
                ExpectSane(bm, "memory cut", n);
            }
            TempFile f;
            for (size_t n = 0; n < png.size(); n += 5) {
                f.write(png, n);
                RAST_IBitmap* bm = RAST_LoadPNG(f.path.c_str(), nullptr);
                if (n < dataEnd) {
                    EXPECT_EQ(bm, nullptr) << "file cut at " << n;
                }
                ExpectSane(bm, "file cut", n);
            }
        }
}

// A block cut inside its image data fails, and the given bitmap keeps the
// rows decoded before the cut, alpha first like any decoded row.
TEST(PngDamaged, RowsDecodedBeforeACutAreKept) {
    for (int type : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY_ALPHA}) {
        std::vector<uint8_t> png = Sample(false, type);
        RAST_MemBitmap good(1, 1, 4), cut(1, 1, 4);
        ASSERT_EQ(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &good), &good);
        size_t n = 0;
        for (const Chunk& c : pngtest::Chunks(png))
            if (c.type == "IDAT") n = c.offset + 8 + c.length * 3 / 4;
        EXPECT_EQ(RAST_LoadPNGFromMemory(png.data(), (int)n, &cut), nullptr);
        ASSERT_EQ(cut.getWidth(), 23);
        for (int x = 0; x < 23; ++x) ASSERT_EQ(cut.getBits()[x], good.getBits()[x]) << "type " << type << " x " << x;
    }
}

TEST(PngDamaged, FlippedBitsAnywhere) {
    std::vector<uint8_t> png = Sample(false, PNG_COLOR_TYPE_RGB_ALPHA);
    for (size_t i = 0; i < png.size(); ++i)
        for (int bit : {0, 3, 7}) {
            std::vector<uint8_t> bad = png;
            bad[i] ^= (uint8_t)(1 << bit);
            ExpectSane(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), nullptr), "flip", i);
            if (i < 8) {
                EXPECT_EQ(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), nullptr), nullptr) << "signature";
            }
        }
}

TEST(PngDamaged, CorruptDataWithValidChecksums) {
    std::vector<uint8_t> png = Sample(false, PNG_COLOR_TYPE_RGB);
    for (const Chunk& c : pngtest::Chunks(png)) {
        if (c.type != "IDAT") continue;
        for (size_t k = 0; k < c.length; k += 3) {
            std::vector<uint8_t> bad = png;
            bad[c.offset + 8 + k] ^= 0x5A;
            pngtest::FixCrc(bad, c);
            ExpectSane(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), nullptr), "idat", k);
        }
        // A chunk length pointing far past the end.
        std::vector<uint8_t> bad = png;
        pngtest::PutBe32(&bad[c.offset], 0x7FFFFFF0);
        EXPECT_EQ(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), nullptr), nullptr);
    }
}

TEST(PngDamaged, BrokenAndOversizedHeaders) {
    std::vector<uint8_t> png = Sample(false, PNG_COLOR_TYPE_RGB_ALPHA);
    struct Header {
        uint32_t w, h;
        int depth, type, interlace;
    };
    const Header headers[] = {
        {0, 17, 8, 6, 0},        {23, 0, 8, 6, 0},      {0x80000000u, 17, 8, 6, 0}, {23, 17, 3, 6, 0},
        {23, 17, 8, 5, 0},       {23, 17, 8, 6, 2},     {23, 17, 1, 6, 0},          {100000, 100000, 8, 6, 0},
        {40000, 40000, 8, 6, 0}, {2000000, 1, 8, 6, 0}, {23, 170000, 8, 6, 0},
    };
    for (const Header& h : headers) {
        std::vector<uint8_t> bad = WithHeader(png, h.w, h.h, h.depth, h.type, h.interlace);
        EXPECT_EQ(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), nullptr), nullptr)
            << h.w << "x" << h.h << " depth " << h.depth << " type " << h.type;
        // Into a given bitmap too: it may take the new size, but null comes back.
        RAST_MemBitmap given(4, 4, 4);
        EXPECT_EQ(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size(), &given), nullptr);
    }
    // A wrong signature on an otherwise good file.
    std::vector<uint8_t> bad = png;
    bad[1] = 'X';
    TempFile f;
    f.write(bad, bad.size());
    EXPECT_EQ(RAST_LoadPNG(f.path.c_str(), nullptr), nullptr);
    f.write(png, png.size());
    ExpectSane(RAST_LoadPNG(f.path.c_str(), nullptr), "good file", 0);
}
