// Glyph masks, the 2:1 downscale and the bitmap comparison.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "raster/RAST_Glyph.h"

namespace {

struct FlippedBitmap : RAST_MemBitmap {
    using RAST_MemBitmap::RAST_MemBitmap;
    bool isFlipped() override { return true; }
};

// A bitmap that reports a size but has no pixels.
struct NoPixels : RAST_IBitmap {
    unsigned int* getBits() override { return nullptr; }
    int getWidth() override { return 10; }
    int getHeight() override { return 10; }
    int getRowSpan() override { return 10; }
    bool resize(int, int) override { return false; }
};

void fill(RAST_IBitmap& bm, unsigned int v) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.getBits()[y * bm.getRowSpan() + x] = v;
}
unsigned int& px(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[y * bm.getRowSpan() + x]; }

constexpr unsigned int kWhite = 0xFFFFFFFFu;
constexpr unsigned int kBackground = 0x11223344u;

}  // namespace

TEST(RasterGlyph, MaskIsClippedAtTheTopLeftAndStartsInsideTheMask) {
    RAST_MemBitmap bm(6, 6, 4);
    fill(bm, 0);
    unsigned char mask[25];
    for (int i = 0; i < 25; i++) mask[i] = (unsigned char)(10 * i + 5);
    RAST_DrawGlyph(&bm, -2, -2, kWhite, mask, 5, 5, 1.0f, 0);
    // Copy toward white from black at coverage m: 255 + (-255 * (256 - m)) / 256.
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++) {
            if (x < 3 && y < 3) {
                const int m = mask[(y + 2) * 5 + (x + 2)];
                const int v = 255 + (-255 * (256 - m)) / 256;
                EXPECT_EQ(px(bm, x, y), (unsigned)(v | v << 8 | v << 16 | v << 24)) << x << "," << y;
            } else {
                EXPECT_EQ(px(bm, x, y), 0u);
            }
        }
}

TEST(RasterGlyph, FullCoverageGivesTheCombinerAlpha255) {
    RAST_MemBitmap bm(2, 1, 4);
    fill(bm, kBackground);
    const unsigned char mask[2] = {255, 0};
    RAST_DrawGlyph(&bm, 0, 0, 0xC0804020u, mask, 2, 1, 1.0f, 0);
    EXPECT_EQ(px(bm, 0, 0), 0xC0804020u);  // still the colour: (d - s) / 256 truncates to 0
    EXPECT_EQ(px(bm, 1, 0), kBackground);  // zero coverage is skipped

    fill(bm, 0);
    RAST_DrawGlyph(&bm, 0, 0, 0x000000FFu | 0xFF00u, mask, 1, 1, 1.0f, 1);
    EXPECT_EQ(px(bm, 0, 0) & 0xFFFF, 0xFEFEu);  // add: 255 x 255 / 256 = 254 into red and alpha
}

TEST(RasterGlyph, ModesOpacitiesAndFlags) {
    RAST_MemBitmap bm(1, 1, 4);
    const unsigned char mask[1] = {255};
    auto draw = [&](float alpha, int mode) {
        fill(bm, kBackground);
        RAST_DrawGlyph(&bm, 0, 0, kWhite, mask, 1, 1, alpha, mode);
        return px(bm, 0, 0);
    };
    EXPECT_EQ(draw(1.0f, 0x10000), kWhite);  // the source-alpha flag is not read
    EXPECT_EQ(draw(1.0f, 0x100), kWhite);    // nor the filter field
    EXPECT_EQ(draw(1.0f, 6), kBackground);
    EXPECT_EQ(draw(1.0f, 0xF4), kBackground);
    EXPECT_EQ(draw(0.001f, 0), kBackground);
    EXPECT_EQ(draw(-1.0f, 0), kBackground);
    EXPECT_NE(draw(0.5f, 3), kBackground);  // multiply darkens
}

TEST(RasterGlyph, ClipsAtTheRightAndBottomAndSkipsMasksOutside) {
    RAST_MemBitmap bm(4, 4, 4);
    unsigned char mask[9];
    memset(mask, 255, sizeof mask);
    auto count = [&] {
        int n = 0;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 4; x++) n += px(bm, x, y) == kWhite;
        return n;
    };
    fill(bm, 0);
    RAST_DrawGlyph(&bm, 2, 3, kWhite, mask, 3, 3, 1.0f, 0);
    EXPECT_EQ(count(), 2);
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {-3, 0}, {0, -3}, {4, 0}, {0, 4}, {2147483647, 0}, {-2147483647, -2147483647}}) {
        fill(bm, 0);
        RAST_DrawGlyph(&bm, x, y, kWhite, mask, 3, 3, 1.0f, 0);
        EXPECT_EQ(count(), 0) << x << "," << y;
    }
    // Nothing to draw from: no mask, no size, a span shorter than a row.
    fill(bm, 0);
    RAST_DrawGlyph(&bm, 0, 0, kWhite, nullptr, 3, 3, 1.0f, 0);
    RAST_DrawGlyph(&bm, 0, 0, kWhite, mask, 0, 3, 1.0f, 0);
    RAST_DrawGlyphEx(&bm, 0, 0, kWhite, mask, 3, 2, 3, 1.0f, 0);
    RAST_DrawGlyph(nullptr, 0, 0, kWhite, mask, 3, 3, 1.0f, 0);
    NoPixels none;
    RAST_DrawGlyph(&none, 0, 0, kWhite, mask, 3, 3, 1.0f, 0);
    EXPECT_EQ(count(), 0);
}

TEST(RasterGlyph, SpanSkipsPaddingAndFlippedBitmapsDrawUpsideDownInMemory) {
    // Two rows of two bytes, four bytes apart; the padding must not be drawn.
    const unsigned char mask[8] = {255, 0, 9, 9, 0, 255, 9, 9};
    FlippedBitmap fb(3, 3, 4);
    fill(fb, 0);
    RAST_DrawGlyphEx(&fb, 0, 0, kWhite, mask, 2, 4, 2, 1.0f, 0);
    // Picture row 0 is memory row 2.
    EXPECT_EQ(px(fb, 0, 2), kWhite);
    EXPECT_EQ(px(fb, 1, 2), 0u);
    EXPECT_EQ(px(fb, 1, 1), kWhite);
    EXPECT_EQ(px(fb, 0, 1), 0u);
    EXPECT_EQ(px(fb, 2, 2), 0u);
    for (int x = 0; x < 3; x++) EXPECT_EQ(px(fb, x, 0), 0u);
}

TEST(RasterHalve, AveragesBlocksOfFourIntoTheTopLeft) {
    RAST_MemBitmap src(5, 5, 4), dst(10, 10, 4);
    fill(dst, kBackground);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 5; x++) px(src, x, y) = 0x04040404u * (unsigned)(x + 4 * y + 1);
    RAST_HalveBlitAA(&dst, &src);
    auto quarterSum = [&](int c, int r) {
        unsigned int s = 0;
        for (int dy = 0; dy < 2; dy++)
            for (int dx = 0; dx < 2; dx++) s += (px(src, 2 * c + dx, 2 * r + dy) >> 2) & 0x3F3F3F3Fu;
        return s;
    };
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            EXPECT_EQ(px(dst, x, y), x < 2 && y < 2 ? quarterSum(x, y) : kBackground) << x << "," << y;

    // Each quarter is rounded down before adding: four 3s give 0.
    RAST_MemBitmap threes(2, 2, 4), one(1, 1, 4);
    fill(threes, 0x03030303u);
    RAST_HalveBlitAA(&one, &threes);
    EXPECT_EQ(px(one, 0, 0), 0u);
}

TEST(RasterHalve, OddWidthsAndEmptyBitmaps) {
    RAST_MemBitmap src(6, 2, 4), dst(3, 1, 4);
    for (int x = 0; x < 6; x++) {
        px(src, x, 0) = 0x40u * (unsigned)(x + 1);
        px(src, x, 1) = 0x40u * (unsigned)(x + 1);
    }
    fill(dst, kBackground);
    RAST_HalveBlitAA(&dst, &src);
    EXPECT_EQ(px(dst, 0, 0), (0x40u + 0x80u) / 2);
    EXPECT_EQ(px(dst, 2, 0), (0x140u / 4 & 0x3F3F3F3Fu) * 2 + (0x180u / 4 & 0x3F3F3F3Fu) * 2);

    RAST_MemBitmap empty(0, 0, 4), tiny(1, 5, 4);
    NoPixels none;
    fill(dst, kBackground);
    RAST_HalveBlitAA(&dst, &empty);
    RAST_HalveBlitAA(&dst, &none);
    RAST_HalveBlitAA(&none, &src);
    RAST_HalveBlitAA(&dst, &tiny);  // half of one column is none
    RAST_HalveBlitAA(nullptr, &src);
    EXPECT_EQ(px(dst, 0, 0), kBackground);
}

TEST(RasterCompare, EqualAndDifferingPictures) {
    RAST_MemBitmap a(6, 5, 4), b(6, 5, 4);
    fill(a, 0x01010101u);
    fill(b, 0x01010101u);
    int rect[4] = {9, 9, 9, 9};
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, nullptr), 0);
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, rect), 0);
    EXPECT_EQ(rect[0] | rect[1] | rect[2] | rect[3], 0);

    px(b, 1, 1) = 0x02010101u;
    px(b, 4, 3) = 0x01010100u;
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, rect), 1);
    EXPECT_EQ(rect[0], 1);
    EXPECT_EQ(rect[1], 1);
    EXPECT_EQ(rect[2], 4);
    EXPECT_EQ(rect[3], 3);
    EXPECT_LT(RAST_BitmapCmp(&a, &b, nullptr), 0);  // first differing byte: 0x01 < 0x02
    EXPECT_GT(RAST_BitmapCmp(&b, &a, nullptr), 0);
}

TEST(RasterCompare, RectangleWidensThroughTheMiddleRows) {
    RAST_MemBitmap a(10, 9, 4), b(10, 9, 4);
    fill(a, 0);
    fill(b, 0);
    px(b, 5, 0) = 1;
    px(b, 0, 4) = 1;
    px(b, 9, 2) = 1;
    px(b, 6, 8) = 1;
    int rect[4];
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, rect), 1);
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{0, 0, 10, 9}));

    fill(b, 0);
    px(b, 3, 2) = 7;
    px(b, 2, 5) = 7;
    px(b, 6, 4) = 7;
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, rect), 1);
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{2, 2, 5, 4}));
}

TEST(RasterCompare, SizesNullsFlippedAndEmptyBitmaps) {
    RAST_MemBitmap a(10, 4, 4), b(12, 4, 4), c(10, 7, 4);
    fill(a, 0);
    fill(b, 0);
    int rect[4] = {5, 5, 5, 5};
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, rect), 2);
    EXPECT_EQ(rect[0], 5);  // not written
    EXPECT_EQ(RAST_BitmapCmp(&a, &c, nullptr), 3);
    EXPECT_EQ(RAST_BitmapCmp(nullptr, nullptr, rect), 0);
    EXPECT_EQ(RAST_BitmapCmp(nullptr, &a, rect), -1);
    EXPECT_EQ(RAST_BitmapCmp(&a, nullptr, rect), 1);

    // A flipped bitmap holding the same picture compares equal.
    FlippedBitmap f(10, 4, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 10; x++) {
            px(a, x, y) = (unsigned)(x + 16 * y);
            px(f, x, 3 - y) = (unsigned)(x + 16 * y);
        }
    EXPECT_EQ(RAST_BitmapCmp(&a, &f, nullptr), 0);
    EXPECT_EQ(RAST_BitmapCmp(&a, &f, rect), 0);
    px(f, 2, 0) ^= 1;  // picture row 3
    EXPECT_EQ(RAST_BitmapCmp(&a, &f, rect), 1);
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{2, 3, 1, 1}));

    // Bitmaps without pixels are empty, whatever size they report.
    NoPixels none1, none2;
    RAST_MemBitmap empty(0, 0, 4);
    EXPECT_EQ(RAST_BitmapCmp(&none1, &none2, rect), 0);
    EXPECT_EQ(rect[2], 0);
    EXPECT_EQ(RAST_BitmapCmp(&none1, &empty, nullptr), 0);
    EXPECT_EQ(RAST_BitmapCmp(&none1, &a, nullptr), 10);
}
