// The one PNG writer: what it writes reads back through the loader as the
// same pixels, an opaque bitmap without its alpha; a wrong image is refused
// and leaves no file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_PNG.h"
#include "raster/RAST_Pixel.h"
#include "raster/RAST_PngWrite.h"

namespace {

constexpr unsigned int rgba(int r, int g, int b, int a) { return RAST_MakePixel(a, r, g, b); }

std::unique_ptr<RAST_IBitmap> roundTrip(const RAST_PngImage& im, int* colourType) {
    std::vector<unsigned char> png;
    if (!RAST_EncodePng(im, &png)) return nullptr;
    *colourType = png[25];  // IHDR's colour type
    return std::unique_ptr<RAST_IBitmap>(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr));
}

}  // namespace

TEST(PngWrite, BitmapsAndWindowPixelsReadBackTheSame) {
    RAST_MemBitmap bm(3, 2, 4);
    const unsigned int px[6] = {rgba(255, 0, 0, 255), rgba(0, 255, 0, 255), rgba(0, 0, 255, 255),
                                rgba(1, 2, 3, 255),   rgba(9, 8, 7, 255),   rgba(200, 100, 50, 255)};
    for (int i = 0; i < 6; i++) bm.getBits()[(i / 3) * bm.getRowSpan() + i % 3] = px[i];
    struct Case {
        RAST_PngAlpha alpha;
        bool translucent;
        int colourType;
    } cases[] = {{RAST_PngAlpha::kWhenTranslucent, false, 2},
                 {RAST_PngAlpha::kWhenTranslucent, true, 6},
                 {RAST_PngAlpha::kKeep, false, 6},
                 {RAST_PngAlpha::kDrop, true, 2}};
    for (const Case& c : cases) {
        bm.getBits()[0] = c.translucent ? rgba(255, 0, 0, 128) : px[0];
        int type = -1;
        auto back = roundTrip(RAST_PngFromBitmap(bm, c.alpha), &type);
        ASSERT_TRUE(back);
        EXPECT_EQ(type, c.colourType);
        const bool alphaKept = c.colourType == 6;
        for (int i = 0; i < 6; i++) {
            unsigned int want = bm.getBits()[(i / 3) * bm.getRowSpan() + i % 3];
            if (!alphaKept) want |= 255;
            EXPECT_EQ(back->getBits()[(i / 3) * back->getRowSpan() + i % 3], want) << i;
        }
    }

    const unsigned int xrgb[2] = {0x00102030, 0x00FFEE01};
    int type = -1;
    auto back = roundTrip(RAST_PngFromXRGB(xrgb, 2, 1), &type);
    ASSERT_TRUE(back);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(back->getBits()[0], rgba(0x10, 0x20, 0x30, 255));
    EXPECT_EQ(back->getBits()[1], rgba(0xFF, 0xEE, 0x01, 255));
}

TEST(PngWrite, RefusesWhatItCannotWriteAndLeavesNoFile) {
    RAST_PngImage empty;
    std::vector<unsigned char> out;
    EXPECT_FALSE(RAST_EncodePng(empty, &out));
    const unsigned int one = 0;
    RAST_PngImage shortRows = RAST_PngFromXRGB(&one, 1, 1);
    shortRows.width = 2;  // rows hold one pixel
    EXPECT_FALSE(RAST_EncodePng(shortRows, &out));
    RAST_PngImage badDepth = RAST_PngFromXRGB(&one, 1, 1);
    badDepth.depth = 3;
    EXPECT_FALSE(RAST_EncodePng(badDepth, &out));

    const std::string path = testing::TempDir() + "png-write-refused.png";
    EXPECT_FALSE(RAST_WritePng(path, shortRows));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_FALSE(RAST_WritePng("/nonexistent-dir/x.png", RAST_PngFromXRGB(&one, 1, 1)));
}
