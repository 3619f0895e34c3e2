#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RasterTestBitmaps.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_Rect.h"

namespace {

using rasttest::px;
using rasttest::VecBitmap;

const unsigned int kD = RAST_MakePixel(255, 0, 200, 100);  // the destination
const unsigned int kC = RAST_MakePixel(9, 255, 0, 100);    // the colour

// Fills a 6 x 2 bitmap of kD and returns one filled pixel, checking the rest agree.
unsigned int fillOne(unsigned int color, float alpha, int mode) {
    RAST_MemBitmap bm(6, 2, 4);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 6; x++) px(bm, x, y) = kD;
    RAST_FillRect(&bm, 0, 0, 6, 2, color, alpha, mode);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(px(bm, x, y), px(bm, 0, 0));
    return px(bm, 0, 0);
}

TEST(RastFillRect, ClipsToTheBitmap) {
    for (bool flipped : {false, true}) {
        VecBitmap bm(6, 6, flipped, 3, 0);
        RAST_FillRect(&bm, -2, -2, 5, 5, 0xFFFFFFFF, 1.0f, 0);
        RAST_FillRect(&bm, 4, 5, 100, 100, 0x12345678, 1.0f, 0);
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < 6; x++) {
                unsigned int want = x < 3 && y < 3 ? 0xFFFFFFFFu : x >= 4 && y == 5 ? 0x12345678u : 0u;
                EXPECT_EQ(bm.at(x, y), want) << x << "," << y;
            }
        EXPECT_TRUE(bm.paddingIntact(0));
        RAST_FillRect(&bm, 6, 0, 1, 1, 1, 1.0f, 0);
        RAST_FillRect(&bm, 0, -1, 6, 1, 1, 1.0f, 0);
        RAST_FillRect(&bm, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1, 1.0f, 0);
        RAST_FillRect(&bm, INT32_MAX, 0, INT32_MAX, 1, 1, 1.0f, 0);
        EXPECT_EQ(bm.at(0, 0), 0xFFFFFFFFu);
        EXPECT_TRUE(bm.paddingIntact(0));
    }
    RAST_FillRect(nullptr, 0, 0, 1, 1, 1, 1.0f, 0);
    RAST_MemBitmap empty(0, 0, 4);
    RAST_FillRect(&empty, 0, 0, 1, 1, 1, 1.0f, 0);
}

TEST(RastFillRect, CopyOpacities) {
    EXPECT_EQ(fillOne(kC, 1.0f, 0), kC);
    // floor(d/2) + floor(c/2): 127+4, 0+127, 100+0, 50+50.
    EXPECT_EQ(fillOne(kC, 0.5f, 0), RAST_MakePixel(131, 127, 100, 100));
    // A quarter of the colour: d/4 + d/2 + c/4.
    EXPECT_EQ(fillOne(kC, 0.25f, 0), RAST_MakePixel(63 + 127 + 2, 63, 50 + 100, 25 + 50 + 25));
    // Three quarters: d/4 + c/4 + c/2.
    EXPECT_EQ(fillOne(kC, 0.75f, 0), RAST_MakePixel(63 + 2 + 4, 63 + 127, 50, 25 + 25 + 50));
    // 0.3 (76) through the copy combiner with a = 76, keep 180:
    // alpha 76 + (179 * 180) / 256 = 201; red 255 - 179 = 76; green (200 * 180) / 256 = 140.
    EXPECT_EQ(fillOne(kC, 0.3f, 0), RAST_MakePixel(201, 76, 140, 100));
    EXPECT_EQ(fillOne(kC, 0.001f, 0), kD);
    EXPECT_EQ(fillOne(kC, 0.0f, 0), kD);
    EXPECT_EQ(fillOne(kC, -0.5f, 0), kD);
}

// The register rows of the fill against the formula: c + ((d - c) * (256 - alpha)) / 256
// per byte, the alpha byte's c being the opacity itself; at 1.0 the colour word.
TEST(RastFillRect, RowsMatchTheFormula) {
    std::mt19937 rng(9);
    const unsigned int color = RAST_MakePixel(0x5A, 200, 3, 128);
    std::vector<int> widths;
    for (int w = 1; w <= 21; w++) widths.push_back(w);
    // Whole turns of four registers and their tails; rows long enough for the string store.
    for (int w : {39, 40, 41, 72, 79, 256, 263}) widths.push_back(w);
    for (bool wide : {true, false})
        for (float alpha : {1.0f, 0.3f, 0.01f, 0.9f, 0.62f})
            for (int w : widths) {
                rasttest::RegisterWidth width(wide);
                RAST_MemBitmap bm(w, 2, 4), orig(w, 2, 4);
                rasttest::fillRandom(bm, rng);
                RAST_Copy(&orig, &bm);
                RAST_FillRect(&bm, 0, 0, w, 2, color, alpha, 0);
                const int al = (int)(alpha * 256.0);
                const unsigned int c = (color & ~0xFFu) | (unsigned)al;
                for (int y = 0; y < 2; y++)
                    for (int x = 0; x < w; x++) {
                        unsigned int d = px(orig, x, y), want = 0;
                        if (al == 256) want = color;
                        for (int sh = 0; sh < 32 && al < 256; sh += 8) {
                            int db = (int)(d >> sh) & 255, cb = (int)(c >> sh) & 255;
                            want |= (unsigned)((cb + ((db - cb) * (256 - al)) / 256) & 255) << sh;
                        }
                        ASSERT_EQ(px(bm, x, y), want) << alpha << " w " << w << " x " << x << " wide " << wide;
                    }
            }
}

// A fill's rows start at every place against the register boundaries: the
// rectangle and nothing else changes, at each width and start column.
TEST(RastFillRect, RowsAtEveryAlignment) {
    for (bool wide : {true, false})
        for (int w : {3, 4, 7, 8, 9, 15, 16, 17, 60, 257})
            for (int x = 0; x < 9; x++) {
                rasttest::RegisterWidth width(wide);
                VecBitmap bm(280, 3, false, 5, 0);
                RAST_FillRect(&bm, x, 1, w, 2, kC, 1.0f, 0);
                for (int y = 0; y < 3; y++)
                    for (int i = 0; i < 280; i++)
                        ASSERT_EQ(bm.at(i, y), y >= 1 && i >= x && i < x + w ? kC : 0u)
                            << "w " << w << " x " << x << " at " << i << "," << y << " wide " << wide;
                EXPECT_TRUE(bm.paddingIntact(0));
            }
}

TEST(RastFillRect, SourceAlphaScalesTheOpacity) {
    // Colour alpha 128 at 1.0 is the half path: 127+64, 0+127, 100+0, 50+50.
    EXPECT_EQ(fillOne(RAST_MakePixel(128, 255, 0, 100), 1.0f, 0x10000), RAST_MakePixel(191, 127, 100, 100));
    EXPECT_EQ(fillOne(RAST_MakePixel(0, 255, 0, 100), 1.0f, 0x10000), kD);
    EXPECT_EQ(fillOne(RAST_MakePixel(255, 1, 2, 3), 1.0f, 0x10000), RAST_MakePixel(255, 1, 2, 3));
}

TEST(RastFillRect, OtherModes) {
    const unsigned int c = RAST_MakePixel(9, 200, 10, 255);
    // Add at 128, the fourth channel is the opacity: alpha 255 + 64, red 0 + 100, green 200 + 5, blue 100 + 127.
    EXPECT_EQ(fillOne(c, 0.5f, 1), RAST_MakePixel(255, 100, 205, 227));
    // Multiply at 256: alpha (256 * 256) * 255 / 65536 = 255; green 10 * 256 * 200 / 65536 = 7; blue 99.
    EXPECT_EQ(fillOne(c, 1.0f, 3), RAST_MakePixel(255, 0, 7, 99));
    // Colour dodge at 256 with red 200: t = 56, 0 stays 0; green t = 246: 200 * 256 / 246 = 208.
    EXPECT_EQ(RAST_PixelGreen(fillOne(c, 1.0f, 2)), 208u);
    // Overlay with 128s at 256 keeps the colour; the alpha byte (a = 256) goes to 255 by the formula.
    EXPECT_EQ(fillOne(RAST_MakePixel(0, 128, 128, 128), 1.0f, 4), RAST_MakePixel(255, 0, 200, 100));
    // HSV adjust with no shift: (0, 200, 100) has H = 159, S = 254, V = 200 and comes back as
    // (p = 1, 200, ramp(33) = 97); the alpha byte takes a = 256, whose low byte is 0.
    EXPECT_EQ(fillOne(RAST_MakePixel(0, 128, 128, 128), 1.0f, 5), RAST_MakePixel(0, 1, 200, 97));
    // Modes beyond 5, channel copies and the source-alpha flag on a beyond-5 mode draw nothing.
    for (int mode : {6, 0xF5, 0x80, 0x10006}) EXPECT_EQ(fillOne(kC, 1.0f, mode), kD) << mode;
    for (int mode : {6, 0xF5}) EXPECT_EQ(fillOne(kC, 0.3f, mode), kD) << mode;
}

TEST(RastPixels, GetAndPut) {
    for (bool flipped : {false, true}) {
        VecBitmap bm(4, 3, flipped, 3, kD);
        RAST_PutPixel(&bm, 1, 0, kC, 1.0f, 0);
        EXPECT_EQ(bm.at(1, 0), kC);
        EXPECT_EQ(RAST_GetPixel(&bm, 1, 0), kC);
        EXPECT_EQ(RAST_GetPixel(&bm, 1, 2), kD);
        // Outside: nothing written, 0 read.
        RAST_PutPixel(&bm, 4, 0, kC, 1.0f, 0);
        RAST_PutPixel(&bm, 0, 3, kC, 1.0f, 0);
        RAST_PutPixel(&bm, -1, 0, kC, 1.0f, 0);
        EXPECT_TRUE(bm.paddingIntact(kD));
        EXPECT_EQ(RAST_GetPixel(&bm, -1, 0), 0u);
        EXPECT_EQ(RAST_GetPixel(&bm, 4, 0), 0u);
        EXPECT_EQ(RAST_GetPixel(&bm, 0, 3), 0u);
    }
    EXPECT_EQ(RAST_GetPixel(nullptr, 0, 0), 0u);
    RAST_MemBitmap empty(0, 0, 4);
    EXPECT_EQ(RAST_GetPixel(&empty, 0, 0), 0u);
    RAST_PutPixel(&empty, 0, 0, 1, 1.0f, 0);
}

TEST(RastPixels, PutCombinesWithTheColoursAlpha) {
    auto put = [](unsigned int d, unsigned int c, float alpha, int mode) {
        RAST_MemBitmap bm(1, 1, 4);
        px(bm, 0, 0) = d;
        RAST_PutPixel(&bm, 0, 0, c, alpha, mode);
        return px(bm, 0, 0);
    };
    // Add at 0.5 adds half the colour's alpha byte: 100 + 50; colour 0 + 5, 10, 15.
    EXPECT_EQ(put(RAST_MakePixel(100, 0, 0, 0), RAST_MakePixel(100, 10, 20, 30), 0.5f, 1),
              RAST_MakePixel(150, 5, 10, 15));
    // Copy at 0.3: the alpha byte moves toward the colour's 9: 9 + (246 * 180) / 256 = 181.
    EXPECT_EQ(RAST_PixelAlpha(put(kD, kC, 0.3f, 0)), 181u);
    // Whole-word paths, alpha byte included.
    EXPECT_EQ(put(kD, kC, 0.5f, 0), RAST_MakePixel(131, 127, 100, 100));
    EXPECT_EQ(put(kD, kC, 0.25f, 0), RAST_MakePixel(192, 63, 150, 100));
    // The source-alpha flag is not read: a transparent colour is still written.
    EXPECT_EQ(put(kD, 0x11223300, 1.0f, 0x10000), 0x11223300u);
    EXPECT_EQ(put(kD, kC, 0.001f, 0), kD);
    EXPECT_EQ(put(kD, kC, 1.0f, 6), kD);
    EXPECT_EQ(put(kD, kC, -0.5f, 0), kD);
}

TEST(RastRectOps, ClearRectAndClear) {
    VecBitmap bm(5, 4, true, 3, 0x11223344);
    RAST_ClearRect(&bm, -1, 1, 3, 10, 0xFFFFFF00u, 0);
    RAST_ClearRect(&bm, 4, 0, 1, 1, 0, 0xCAFEBABE);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) {
            unsigned int want = x < 2 && y >= 1 ? 0x11223300u : x == 4 && y == 0 ? 0xCAFEBABEu : 0x11223344u;
            EXPECT_EQ(bm.at(x, y), want) << x << "," << y;
        }
    RAST_Clear(&bm, 0x55);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) EXPECT_EQ(bm.at(x, y), 0x55u);
    EXPECT_TRUE(bm.paddingIntact(0x11223344));
    RAST_Clear(nullptr, 1);
}

TEST(RastRectOps, MultiplyAdd) {
    RAST_MemBitmap bm(3, 1, 4);
    auto run = [&](unsigned int v, float sc, float add) {
        for (int x = 0; x < 3; x++) px(bm, x, 0) = v;
        RAST_MultiplyAddRect(&bm, 1, 0, 5, 5, sc, sc, sc, sc, add, add, add, add);
        EXPECT_EQ(px(bm, 0, 0), v);  // outside the rectangle
        return px(bm, 1, 0);
    };
    const unsigned int v = RAST_MakePixel(0, 1, 201, 255);
    EXPECT_EQ(run(v, 1.0f, 0.0f), v);
    EXPECT_EQ(run(v, 0.0f, 128.0f), RAST_MakePixel(128, 128, 128, 128));
    EXPECT_EQ(run(v, 1.0f, -1.0f), RAST_MakePixel(0, 0, 200, 254));
    // (201 * 128 + 2560) >> 8 = 110; 255 -> 137; 0 -> 10; 1 -> 10.
    EXPECT_EQ(run(v, 0.5f, 10.0f), RAST_MakePixel(10, 10, 110, 137));
    // Each channel with its own scale and addend.
    px(bm, 0, 0) = RAST_MakePixel(100, 100, 100, 100);
    RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 2.0f, 0.5f, 0.0f, 1.0f, 0.0f, 0.0f, 7.0f, -200.0f);
    EXPECT_EQ(px(bm, 0, 0), RAST_MakePixel(0, 200, 50, 7));
    // Absurd factors clamp rather than overflow.
    px(bm, 0, 0) = v;
    RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1e30f, -1e30f, 1e30f, 0.0f, -1e30f, 0.0f, 1e30f, 1e30f);
    EXPECT_EQ(px(bm, 0, 0), RAST_MakePixel(255, 0, 0, 255));
}

TEST(RastRectOps, ProcessRectWalksMemoryOrder) {
    VecBitmap bm(4, 4, true, 3, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) bm.at(x, y) = (unsigned)(10 * y + x);
    std::vector<unsigned int> seen;
    auto fn = [](unsigned int* p, void* parm) {
        ((std::vector<unsigned int>*)parm)->push_back(*p);
        *p = 0;
    };
    RAST_ProcessRect(&bm, 1, 0, 2, 2, fn, &seen);
    // Picture rows 0 and 1 sit in memory rows 3 and 2: row 1 comes first.
    EXPECT_EQ(seen, (std::vector<unsigned int>{11, 12, 1, 2}));
    EXPECT_EQ(bm.at(1, 0), 0u);
    EXPECT_EQ(bm.at(0, 1), 10u);
    EXPECT_EQ(bm.at(3, 1), 13u);
    RAST_ProcessRect(&bm, 0, 0, 4, 4, nullptr, nullptr);
}

TEST(RastRectOps, SetAlphaFromColorMask) {
    RAST_MemBitmap bm(2, 2, 4);
    px(bm, 0, 0) = 0x112233AA, px(bm, 1, 0) = 0x11223300, px(bm, 0, 1) = 0x11223401, px(bm, 1, 1) = 0x00000007;
    RAST_SetAlphaFromColorMask(&bm, 0x11223300);
    EXPECT_EQ(px(bm, 0, 0), 0x11223300u);
    EXPECT_EQ(px(bm, 1, 0), 0x11223300u);
    EXPECT_EQ(px(bm, 0, 1), 0x112234FFu);
    EXPECT_EQ(px(bm, 1, 1), 0x000000FFu);
    // A colour with an alpha byte matches nothing.
    px(bm, 1, 0) = 0x11223300;
    RAST_SetAlphaFromColorMask(&bm, 0x11223301);
    EXPECT_EQ(px(bm, 1, 0), 0x112233FFu);
}

TEST(RastRectOps, SimpleFill) {
    RAST_MemBitmap bm(6, 5, 4);
    auto reset = [&](int wallX, int gapRow) {
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++) px(bm, x, y) = x == wallX && y != gapRow ? 0x100u : 0x200u;
    };
    // Uniform: everything; the keep mask keeps the low byte.
    reset(-1, -1);
    px(bm, 5, 4) = 0x2AA;
    RAST_SimpleFill(&bm, 2, 3, 0x7000, 0xFFFFFF00u, 0xFF);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(px(bm, x, y), x == 5 && y == 4 ? 0x70AAu : 0x7000u);
    // A wall through column 3 stops every row there.
    reset(3, -1);
    RAST_SimpleFill(&bm, 2, 1, 0x7000, 0xFFFFFFFFu, 0);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(px(bm, x, y), x < 3 ? 0x7000u : x == 3 ? 0x100u : 0x200u);
    // A wall across column x stops the rows beyond it, even where they could be reached around it.
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) px(bm, x, y) = y == 3 && x < 3 ? 0x100u : 0x200u;
    RAST_SimpleFill(&bm, 1, 1, 0x7000, 0xFFFFFFFFu, 0);
    EXPECT_EQ(px(bm, 5, 2), 0x7000u);
    EXPECT_EQ(px(bm, 1, 0), 0x7000u);
    EXPECT_EQ(px(bm, 5, 3), 0x200u);
    EXPECT_EQ(px(bm, 1, 4), 0x200u);
    RAST_SimpleFill(&bm, 6, 0, 1, 1, 1);
    RAST_SimpleFill(&bm, 0, -1, 1, 1, 1);
    RAST_SimpleFill(nullptr, 0, 0, 1, 1, 1);
}

TEST(RastGradRect, FlatAndClipped) {
    RAST_MemBitmap bm(5, 3, 4);
    RAST_GradRect(&bm, 0, 0, 5, 3, 1.0f, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) EXPECT_EQ(px(bm, x, y), RAST_MakePixel(255, 255, 0, 0));

    // Red rising by one per column, green by two per row: starting 10 columns
    // left of the bitmap shows gradient column 10 first.
    RAST_MemBitmap wide(20, 4, 4), clipped(5, 4, 4);
    const float one = 1.0f / 255.0f;
    RAST_GradRect(&wide, 0, 0, 20, 4, 0, 0.2f, 0, 1.0f, one, 0, 0, 0, 0, 2 * one, 0, 0, 0);
    RAST_GradRect(&clipped, -10, -1, 20, 4, 0, 0.2f, 0, 1.0f, one, 0, 0, 0, 0, 2 * one, 0, 0, 0);
    EXPECT_EQ(px(wide, 10, 1), RAST_MakePixel(255, 10, 53, 0));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) EXPECT_EQ(px(clipped, x, y), px(wide, x + 10, y + 1)) << x << "," << y;
}

TEST(RastGradRect, StaysInsideTheBitmapFromItsPosition) {
    // Span 8 = width: a width limited only to the bitmap's would spill
    // into the next row.
    RAST_MemBitmap bm(8, 2, 4);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 8; x++) px(bm, x, y) = 0;
    RAST_GradRect(&bm, 5, 0, 8, 1, 1.0f, 1.0f, 1.0f, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    RAST_GradRect(&bm, 0, 1, 1, 100, 1.0f, 1.0f, 1.0f, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(px(bm, x, y), (y == 0 && x >= 5) || (y == 1 && x == 0) ? 0xFFFFFFFFu : 0u) << x << "," << y;
}

TEST(RastGradRect, ModesAndExtrapolation) {
    auto grad = [](unsigned int d, float r, float a, float dadx, int mode) {
        RAST_MemBitmap bm(1, 1, 4);
        px(bm, 0, 0) = d;
        RAST_GradRect(&bm, 0, 0, 1, 1, r, 0, 0, a, 0, 0, 0, dadx, 0, 0, 0, 0, mode);
        return px(bm, 0, 0);
    };
    const unsigned int d = RAST_MakePixel(10, 100, 100, 100);
    // Add at 0.5: red 0.4 -> 102: 100 + 51; alpha 10 + (128 * 128) / 256.
    EXPECT_EQ(grad(d, 0.4f, 0.5f, 0, 1), RAST_MakePixel(74, 151, 100, 100));
    // Copy beyond the channel range clamps: red 510, alpha 256 (with an alpha slope, so the clamped copy).
    EXPECT_EQ(grad(d, 2.0f, 1.0f, 0.001f, 0), RAST_MakePixel(255, 255, 0, 0));
    // Negative red clamps to 0 in the copy and in multiply: (-255 * 256) * 100 / 65536 -> 0.
    EXPECT_EQ(RAST_PixelRed(grad(d, -1.0f, 1.0f, 0, 0)), 0u);
    EXPECT_EQ(RAST_PixelRed(grad(d, -1.0f, 1.0f, 0, 3)), 0u);
    EXPECT_EQ(grad(d, 1.0f, 1.0f, 0, 7), d);
    EXPECT_EQ(grad(d, 1.0f, 1.0f, 0, 0xF5), d);
}

TEST(RastGradRect, HugeValuesStayDefined) {
    RAST_MemBitmap bm(64, 64, 4);
    for (int mode = 0; mode <= 5; mode++) {
        RAST_GradRect(&bm, -1000000, -5, 2000000, 100, 1e30f, -1e30f, 0.5f, 2.0f, 1e9f, -1e9f, 3e38f, 1e9f, -1e9f, 1e9f,
                      -3e38f, -1e9f, mode);
        RAST_GradRect(&bm, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 0, 1.0f, 1e6f, 1e6f, 1e6f, 1e6f, 1e6f,
                      1e6f, 1e6f, 1e6f, mode);
    }
    // Red far above the range: every pixel's red clamps to 255 in the copy.
    RAST_GradRect(&bm, 0, 0, 64, 64, 1e30f, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(px(bm, 63, 63), RAST_MakePixel(255, 255, 0, 0));
}

TEST(RastGradRect, FlippedStartsAtTheBottomMemoryRow) {
    VecBitmap bm(2, 3, true, 3, 0);
    const float one = 1.0f / 255.0f;
    RAST_GradRect(&bm, 0, 1, 2, 2, 0, 0, 0, 1.0f, 0, 0, 0, 0, one, 0, 0, 0, 0);
    EXPECT_EQ(bm.at(0, 0), 0u);
    EXPECT_EQ(bm.at(1, 1), RAST_MakePixel(255, 0, 0, 0));
    EXPECT_EQ(bm.at(1, 2), RAST_MakePixel(255, 1, 0, 0));
    EXPECT_TRUE(bm.paddingIntact(0));
}

}  // namespace
