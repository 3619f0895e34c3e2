// The scaled blit's paths on small known bitmaps: the same-size shortcut,
// nearest pixel, bilinear, the box average, mirroring, clipping, source
// limits and the fast copies.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "raster/RAST_CombineRows.h"
#include "raster/RAST_ScaledBlit.h"
#include "tests/raster/RasterTestBitmaps.h"

using rasttest::VecBitmap;

namespace {

const unsigned int kBlank = 0xA5A5A5A5u;

int Red(unsigned int p) { return (int)RAST_PixelRed(p); }

// Red carries the value given; the other channels a constant tag.
void FillRed(VecBitmap& bm, int (*f)(int x, int y)) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.at(x, y) = RAST_MakePixel(255, f(x, y), 7, 9);
}

bool Untouched(VecBitmap& bm) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++)
            if (bm.at(x, y) != kBlank) return false;
    return bm.paddingIntact();
}

}  // namespace

TEST(ScaledBlit, SameSizeShortcutTakesWholeSourcePixelsUnlessBilinearIsOffGrid) {
    VecBitmap src(20, 1, false);
    FillRed(src, [](int x, int) { return x % 2 ? 250 : 0; });
    VecBitmap a(5, 1, false), b(5, 1, false), c(5, 1, false);
    RAST_ScaledBlit(&a, &src, 0, 0, 5, 1, 10.02f, 0, 5, 1, 1.0f, 0x100);
    for (int x = 0; x < 5; x++) EXPECT_EQ(a.at(x, 0), src.at(10 + x, 0)) << x;
    RAST_ScaledBlit(&b, &src, 0, 0, 5, 1, 10.05f, 0, 5, 1, 1.0f, 0x100);
    // Bilinear, every column at fraction 3276.
    EXPECT_EQ(Red(b.at(0, 0)), (250 * 3276) >> 16);
    EXPECT_EQ(Red(b.at(1, 0)), (250 * (65536 - 3276)) >> 16);
    // Nearest: always the shortcut, from the rounded column.
    RAST_ScaledBlit(&c, &src, 0, 0, 5, 1, 10.6f, 0, 5, 1, 1.0f, 0);
    EXPECT_EQ(c.at(0, 0), src.at(11, 0));
    EXPECT_TRUE(c.paddingIntact());
}

TEST(ScaledBlit, HalfOpacityCopyIsTheWholeWordHalfMixOnlyWithoutFilter) {
    VecBitmap src(2, 1, false);
    src.at(0, 0) = RAST_MakePixel(201, 101, 51, 3);
    src.at(1, 0) = src.at(0, 0);
    VecBitmap d1(4, 1, false, 3, RAST_MakePixel(99, 255, 1, 200)), d2(4, 1, false, 3, RAST_MakePixel(99, 255, 1, 200));
    RAST_ScaledBlit(&d1, &src, 0, 0, 4, 1, 0, 0, 2, 1, 0.5f, 0);
    EXPECT_EQ(d1.at(3, 0), RAST_MakePixel(100 + 49, 50 + 127, 25 + 0, 1 + 100));
    RAST_ScaledBlit(&d2, &src, 0, 0, 4, 1, 0, 0, 2, 1, 0.5f, 0x100);
    // The copy combiner at 128: s + ((d - s) * 128) / 256 per channel.
    EXPECT_EQ(d2.at(0, 0), RAST_MakePixel(201 - 51, 101 + 77, 51 - 25, 3 + 98));
}

TEST(ScaledBlit, ShrinkPathsChooseBoxBilinearOrNearest) {
    // Shrink by 2 with the filter: a 3 x 3 box around each sampled pixel.
    VecBitmap src(8, 8, false);
    FillRed(src, [](int x, int y) { return 10 * x + y; });
    VecBitmap d(4, 4, false);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 8, 8, 1.0f, 0x100);
    EXPECT_EQ(Red(d.at(1, 1)), 22);
    EXPECT_EQ(Red(d.at(2, 1)), 42);
    // At the source's top-left corner only the four taps at 0 and 1 count.
    EXPECT_EQ(Red(d.at(0, 0)), (0 + 10 + 1 + 11) / 4);

    // Shrinks by 3 and 4: a 3 x 3 and a 5 x 5 box. Red = x^2 tells them apart.
    VecBitmap sq(16, 16, false);
    FillRed(sq, [](int x, int) { return x * x; });
    VecBitmap by3(5, 5, false), by4(4, 4, false);
    RAST_ScaledBlit(&by3, &sq, 0, 0, 5, 5, 0, 0, 15, 15, 1.0f, 0x100);
    RAST_ScaledBlit(&by4, &sq, 0, 0, 4, 4, 0, 0, 16, 16, 1.0f, 0x100);
    EXPECT_EQ(Red(by3.at(1, 2)), (4 + 9 + 16) / 3);
    EXPECT_EQ(Red(by4.at(1, 2)), (4 + 9 + 16 + 25 + 36) / 5);

    // Shrink by 2 without the filter: nearest pixels.
    VecBitmap n(4, 4, false);
    RAST_ScaledBlit(&n, &src, 0, 0, 4, 4, 0, 0, 8, 8, 1.0f, 0);
    EXPECT_EQ(Red(n.at(1, 1)), 22);
    EXPECT_EQ(Red(n.at(3, 2)), 64);
    EXPECT_EQ(n.at(3, 2), src.at(6, 4));

    // By 1.6, or by 2 across and 1 down: bilinear. Column 1 samples x = 1.6
    // (3.2 with 2 across), fraction 0x9999 (0x3333).
    VecBitmap b16(5, 8, false), b21(4, 8, false);
    RAST_ScaledBlit(&b16, &src, 0, 0, 5, 8, 0, 0, 8, 8, 1.0f, 0x100);
    RAST_ScaledBlit(&b21, &src, 0, 0, 4, 8, 0, 0, 8, 8, 1.0f, 0x100);
    EXPECT_EQ(Red(b16.at(1, 0)), 10 + (10 * 0x9999) / 65536);
    EXPECT_EQ(Red(b21.at(1, 3)), 20 + 3);
}

TEST(ScaledBlit, BilinearWeightsTruncateAndTheLastRowAndColumnInterpolateOneWay) {
    // fx = 32768, fy = 16384: weights 24576, 24576, 8192, 8192.
    VecBitmap src(3, 3, false, 3, RAST_MakePixel(255, 0, 0, 0));
    src.at(0, 0) = RAST_MakePixel(255, 100, 0, 0);
    src.at(1, 0) = RAST_MakePixel(255, 200, 0, 0);
    src.at(0, 1) = RAST_MakePixel(255, 40, 0, 0);
    VecBitmap d(1, 1, false);
    RAST_ScaledBlit(&d, &src, 0, 0, 1, 1, 0.5f, 0.25f, 1.5f, 1.5f, 1.0f, 0x100);
    EXPECT_EQ(Red(d.at(0, 0)), (100 * 24576 + 200 * 24576 + 40 * 8192) >> 16);
    // One tap of 255 at the centre of four: 63, not 64.
    VecBitmap one(3, 3, false, 3, RAST_MakePixel(255, 0, 0, 0));
    one.at(1, 1) = RAST_MakePixel(255, 255, 0, 0);
    RAST_ScaledBlit(&d, &one, 0, 0, 1, 1, 0.5f, 0.5f, 1.5f, 1.5f, 1.0f, 0x100);
    EXPECT_EQ(Red(d.at(0, 0)), 63);

    // 2 x 2 up to 4 x 4.
    VecBitmap s2(2, 2, false);
    s2.at(0, 0) = RAST_MakePixel(255, 0, 0, 0);
    s2.at(1, 0) = RAST_MakePixel(255, 100, 0, 0);
    s2.at(0, 1) = RAST_MakePixel(255, 40, 0, 0);
    s2.at(1, 1) = RAST_MakePixel(255, 200, 0, 0);
    VecBitmap up(4, 4, false);
    RAST_ScaledBlit(&up, &s2, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0x100);
    EXPECT_EQ(Red(up.at(1, 1)), (0 + 100 + 40 + 200) * 16384 >> 16);
    EXPECT_EQ(Red(up.at(2, 0)), 100);
    EXPECT_EQ(Red(up.at(3, 1)), (100 + 200) / 2) << "last column: vertical only";
    EXPECT_EQ(Red(up.at(1, 3)), (40 + 200) / 2) << "last row: horizontal only";
    EXPECT_EQ(up.at(3, 3), s2.at(1, 1));
    EXPECT_EQ(up.at(2, 2), s2.at(1, 1));
    EXPECT_TRUE(up.paddingIntact());
}

TEST(ScaledBlit, ZeroWidthSourceRepeatsAColumnOnlyInsideTheLimit) {
    VecBitmap src(10, 1, false);
    FillRed(src, [](int x, int) { return x + 1; });
    VecBitmap d(4, 1, false), none(4, 1, false);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 1, 5.5f, 0, 0, 1, 1.0f, 0);
    for (int x = 0; x < 4; x++) EXPECT_EQ(d.at(x, 0), src.at(5, 0));
    RAST_ScaledBlit(&none, &src, 0, 0, 4, 1, 5.0f, 0, 0, 1, 1.0f, 0);
    EXPECT_TRUE(Untouched(none));
}

TEST(ScaledBlit, MirroringNeverReadsPastTheRightLimit) {
    VecBitmap src(100, 1, false);
    FillRed(src, [](int x, int) { return x + 1; });
    src.at(0, 0) = RAST_MakePixel(255, 0, 0xEE, 0);  // must never be read
    VecBitmap d(100, 1, false);
    RAST_ScaledBlit(&d, &src, 100, 0, -100, 1, 0, 0, 100, 1, 1.0f, RAST_MODE_USE_SOURCE_ALPHA);
    EXPECT_EQ(d.at(0, 0), kBlank) << "the first column falls on the right limit";
    for (int x = 1; x < 100; x++) ASSERT_EQ(Red(d.at(x, 0)), (100 - x) + 1) << x;
    for (int x = 0; x < 100; x++) ASSERT_NE((d.at(x, 0) >> 16) & 255, 0xEEu) << x;

    // Upside down, flipped bitmaps on both sides.
    VecBitmap fs(1, 2, true), fd(1, 4, true);
    fs.at(0, 0) = RAST_MakePixel(255, 1, 0, 0);
    fs.at(0, 1) = RAST_MakePixel(255, 2, 0, 0);
    RAST_ScaledBlit(&fd, &fs, 0, 4, 1, -4, 0, 0, 1, 2, 1.0f, 0);
    EXPECT_EQ(Red(fd.at(0, 0)), 0xA5) << "position 2.0 is past the bottom limit";
    EXPECT_EQ(Red(fd.at(0, 1)), 2);
    EXPECT_EQ(Red(fd.at(0, 3)), 1);
    EXPECT_TRUE(fd.paddingIntact());
}

TEST(ScaledBlit, ClippedDestinationKeepsTheSourcePositions) {
    VecBitmap src(8, 8, false);
    FillRed(src, [](int x, int y) { return 10 * x + y; });
    VecBitmap d(6, 6, false);
    // 16 x 16 destination pixels from 8 x 8 source, placed at (-4, -2).
    RAST_ScaledBlit(&d, &src, -4, -2, 16, 16, 0, 0, 8, 8, 1.0f, 0);
    EXPECT_EQ(d.at(0, 0), src.at(2, 1));
    EXPECT_EQ(d.at(5, 5), src.at(4, 3));
    EXPECT_TRUE(d.paddingIntact());
    // Past the right and bottom edges nothing is written.
    VecBitmap e(6, 6, false);
    RAST_ScaledBlit(&e, &src, 4, 5, 16, 16, 0, 0, 8, 8, 1.0f, 0);
    EXPECT_EQ(e.at(3, 5), kBlank);
    EXPECT_EQ(e.at(4, 5), src.at(0, 0));
    EXPECT_EQ(e.at(5, 5), src.at(0, 0));
    EXPECT_TRUE(e.paddingIntact());
}

TEST(ScaledBlit, ModesAndEmptyRequests) {
    VecBitmap src(2, 2, false, 3, RAST_MakePixel(255, 100, 100, 100));
    VecBitmap add(4, 4, false, 3, RAST_MakePixel(255, 50, 50, 50));
    RAST_ScaledBlit(&add, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.5f, RAST_MODE_ADD);
    EXPECT_EQ(add.at(2, 2), RAST_MakePixel(255, 100, 100, 100));

    VecBitmap d(4, 4, false);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0xF5);  // channel copy: scaled draws nothing
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 6);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.0f, 0);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.003f, 0x100);  // integer opacity 0
    RAST_ScaledBlit(&d, &src, 0, 0, 0, 4, 0, 0, 2, 2, 1.0f, 0);
    RAST_ScaledBlit(&d, nullptr, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
    RAST_ScaledBlit(nullptr, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, -1.0f, 0x100);
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, -9, 0, 2, 2, 1.0f, 0);  // source left of the bitmap
    EXPECT_TRUE(Untouched(d));
    // A same-size request with a channel copy goes to the plain blit:
    // source red into destination green.
    RAST_ScaledBlit(&d, &src, 0, 0, 2, 2, 0, 0, 2, 2, 1.0f, RAST_ModeChanCopy(RAST_BYTE_RED, RAST_BYTE_GREEN));
    EXPECT_EQ(d.at(1, 1), (kBlank & ~0xFF0000u) | (100u << 16));
}

TEST(ScaledBlit, PositionsBeyondTheFixedPointRangeDrawNothing) {
    VecBitmap src(40000, 1, false);
    FillRed(src, [](int x, int) { return x & 255; });
    VecBitmap d(10, 1, false);
    // Start fits 16.16 but ten steps of 2 source pixels run past 2^31.
    RAST_ScaledBlit(&d, &src, 0, 0, 10, 1, 32760, 0, 20, 1, 0.7f, 0);
    RAST_ScaledBlit(&d, &src, 0, 0, 10, 1, 1e9f, 0, 20, 1, 0.7f, 0);
    RAST_ScaledBlit(&d, &src, 0, 0, 10, 1, 0, 0, 1e10f, 1, 0.7f, 0);
    RAST_ScaledBlit(&d, &src, INT_MIN + 1, 0, -5, 1, 0, 0, 20, 1, 0.7f, 0);
    RAST_ScaledBlit(&d, &src, INT_MAX, 0, INT_MAX, 1, 0, 0, 20, 1, 0.7f, 0);
    EXPECT_TRUE(Untouched(d));
    // Just inside the range it draws.
    RAST_ScaledBlit(&d, &src, 0, 0, 10, 1, 32000, 0, 20, 1, 1.0f, 0);
    EXPECT_EQ(d.at(1, 0), src.at(32002, 0));
}

namespace {

// The bilinear sample of a 16.16 position, written straight from the
// weights' definitions: the wide and the narrow row code must agree with it.
unsigned int ReferenceBilinear(VecBitmap& s, int xpos, int ypos, int right, int bottom, bool* drawn) {
    const int R = right - 1, B = bottom - 1;
    const int x = xpos < 0 ? 0 : xpos >> 16, y = ypos < 0 ? 0 : ypos >> 16;
    const unsigned fx = (unsigned)xpos & 0xFFFF, fy = (unsigned)ypos & 0xFFFF;
    *drawn = !(xpos < -65535 || ypos < -65535 || x > R || y > B);
    if (!*drawn) return 0;
    unsigned w00, w01, w10, w11;
    if (y < B && x < R) {
        w11 = (fx * fy) >> 16, w01 = fx - w11, w00 = 65536 - fy - w01, w10 = fy - w11;
    } else if (y < B) {
        w00 = 65536 - fy, w10 = fy, w01 = w11 = 0;
    } else if (x < R) {
        w00 = 65536 - fx, w01 = fx, w10 = w11 = 0;
    } else {
        w00 = 65536, w01 = w10 = w11 = 0;
    }
    auto px = [&](int cx, int cy) { return s.at(std::min(cx, s.getWidth() - 1), std::min(cy, s.getHeight() - 1)); };
    unsigned int out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        auto ch = [&](unsigned int p) { return (uint64_t)((p >> shift) & 255); };
        uint64_t v =
            (ch(px(x, y)) * w00 + ch(px(x + 1, y)) * w01 + ch(px(x, y + 1)) * w10 + ch(px(x + 1, y + 1)) * w11) >> 16;
        out |= (unsigned int)v << shift;
    }
    return out;
}

}  // namespace

TEST(ScaledBlit, WideRowsMatchTheWeightsExactly) {
    std::mt19937 rng(7);
    struct Case {
        int sw, sh, dw, dh;
        float sx, sy, srcw, srch;
    };
    const Case cases[] = {
        {37, 23, 61, 41, 0, 0, 37, 23},           // 1.65 up
        {44, 28, 55, 35, 0, 0, 44, 28},           // 1.25 up
        {55, 35, 41, 26, 0, 0, 55, 35},           // 0.75 down
        {30, 20, 50, 33, 2.3f, 1.7f, 20, 13.5f},  // an inner source rectangle
        {16, 64, 20, 80, 0, 0, 16, 64},           // a strip
        {16, 20, 32, 40, 0, 0, 16, 20},           // 2 up: last-column pixels inside a row block
    };
    const bool wasWide = rast_rows::wideRegisters();
    for (bool wide : {false, true}) {
        rast_rows::useWideRegisters(wide);
        for (const Case& c : cases)
            for (int run = 0; run < 3; run++) {
                const int mode = run == 1 ? 0x10100 : 0x100;
                VecBitmap src(c.sw, c.sh, false);
                rasttest::fillRandom(src, rng);
                for (int y = 0; y < c.sh; y++)
                    for (int x = 0; x < c.sw; x++) {
                        // The last run: only 0 and 255 in every byte, the widest tap differences.
                        if (run == 2) src.at(x, y) = (src.at(x, y) & 0x01010101u) * 255;
                        src.at(x, y) |= 0xFF;  // opaque, so both modes give the plain sample
                    }
                VecBitmap dst(c.dw, c.dh, false);
                RAST_ScaledBlit(&dst, &src, 0, 0, c.dw, c.dh, c.sx, c.sy, c.srcw, c.srch, 1.0f, mode);
                const int dx = (int)((double)(float)(c.srcw / c.dw) * 65536.0),
                          dy = (int)((double)(float)(c.srch / c.dh) * 65536.0);
                const int sx = (int)(c.sx * 65536.0), sy = (int)(c.sy * 65536.0);
                const int right = std::min((int)((double)(c.srcw + c.sx) + 0.999999), c.sw);
                const int bottom = std::min((int)((double)(c.srch + c.sy) + 0.999999), c.sh);
                int mismatches = 0;
                for (int j = 0; j < c.dh; j++)
                    for (int i = 0; i < c.dw; i++) {
                        bool drawn;
                        unsigned int want = ReferenceBilinear(src, sx + i * dx, sy + j * dy, right, bottom, &drawn);
                        if (!drawn) want = 0xA5A5A5A5u;
                        if (dst.at(i, j) != want && ++mismatches < 5)
                            ADD_FAILURE()
                                << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << " mode " << mode << " at "
                                << i << "," << j << ": " << std::hex << dst.at(i, j) << " want " << want;
                    }
                EXPECT_EQ(mismatches, 0) << (wide ? "wide" : "narrow");
                EXPECT_TRUE(dst.paddingIntact());
            }
    }
    rast_rows::useWideRegisters(wasWide);
}

TEST(ScaledBlit, FastNearestRowsGiveThePixelByPixelResult) {
    // The fast copies at 1.0 and 0.5 (mode 0) against the general nearest
    // routine, which takes one pixel at a time: mode 0x200 is nearest too
    // and writes every channel at 1.0. Steps up and down around one pixel,
    // mirrored, partly off the source, flipped, and into the source itself.
    struct Case {
        int sw, sh, dx, dy, dw, dh;
        float sx, sy, srcw, srch;
        int flips;  // 1: source flipped, 2: destination flipped, 4: drawn into the source
    };
    const Case cases[] = {
        {44, 28, 0, 0, 55, 35, 0, 0, 44, 28, 0},         // 1.25 up: four source pixels in five
        {25, 20, 1, 2, 40, 32, 0.5f, 0.25f, 24, 19, 1},  // 1.6 up, from inside the source
        {55, 35, 0, 0, 41, 26, 0, 0, 55, 35, 2},         // 0.75 down: blocks wider than a register
        {60, 9, 0, 0, 57, 9, 0, 0, 60, 9, 3},            // 0.95 down: steps of one and two
        {40, 6, 40, 0, -40, 6, 0, 0, 40, 6, 0},          // mirrored: the first column on the limit
        {30, 8, 0, 0, 48, 8, 20, 0, 20, 8, 0},           // the right half off the source
        {64, 40, 0, 8, 50, 30, 0, 0, 40, 24, 4},         // into the source, over what it reads
    };
    std::mt19937 rng(5);
    for (bool wide : {false, true})
        for (const Case& c : cases)
            for (float alpha : {1.0f, 0.5f}) {
                rasttest::RegisterWidth width(wide);
                const bool inPlace = c.flips & 4;
                if (inPlace && alpha == 0.5f) continue;  // the half mix reads what it wrote: no reference
                VecBitmap src(c.sw, c.sh, c.flips & 1), ref(c.sw, c.sh, c.flips & 2);
                rasttest::fillRandom(src, rng);
                VecBitmap got = inPlace ? src : VecBitmap(c.sw, c.sh, c.flips & 2);
                if (!inPlace) rasttest::fillRandom(got, rng);
                for (int y = 0; y < c.sh; y++)
                    for (int x = 0; x < c.sw; x++) ref.at(x, y) = got.at(x, y);
                VecBitmap before = got;
                auto draw = [&](VecBitmap& d, float a, int mode) {
                    RAST_ScaledBlit(&d, inPlace ? &d : &src, c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.srcw, c.srch, a,
                                    mode);
                };
                draw(ref, 1.0f, 0x200);
                draw(got, alpha, 0);
                int wrong = 0;
                for (int y = 0; y < c.sh; y++)
                    for (int x = 0; x < c.sw; x++) {
                        const unsigned int was = before.at(x, y);
                        unsigned int want = ref.at(x, y);
                        if (alpha == 0.5f && want != was)
                            want = ((was >> 1) & 0x7F7F7F7Fu) + ((want >> 1) & 0x7F7F7F7Fu);
                        if (got.at(x, y) != want && wrong++ < 3)
                            ADD_FAILURE() << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << " alpha " << alpha
                                          << (wide ? " wide" : " narrow") << " at " << x << "," << y;
                    }
                EXPECT_TRUE(got.paddingIntact());
            }
}
