// Combiner arithmetic, checked against values worked out by hand from the
// formulas (the working is in the comments).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "raster/RAST_Combine.h"

namespace {

using Px = std::array<int, 4>;  // alpha, red, green, blue

// Runs C::doPix on a pixel given as bytes and returns its bytes.
template <class C>
Px pix(Px d, int r, int g, int b, int a, int alpha) {
    unsigned char p[4] = {(unsigned char)d[0], (unsigned char)d[1], (unsigned char)d[2], (unsigned char)d[3]};
    C::doPix(p, r, g, b, a, alpha);
    return {p[0], p[1], p[2], p[3]};
}

TEST(RastCombine, CopyMovesTowardTheSourceTruncatingTowardZero) {
    using C = _RAST_CombinePixelsCopyNoClamp;
    // 200 + (-100 * 128) / 256 = 150; 200 + (1 * 128) / 256 = 200.
    EXPECT_EQ(pix<C>({0, 100, 201, 0}, 200, 200, 0, 0, 128), (Px{0, 150, 200, 0}));
    // alpha 76: 200 + (-100 * 180) / 256 = 200 - 70 = 130; 255 + (-255 * 180) / 256 = 76;
    // 0 + (255 * 180) / 256 = 179; the alpha byte moves toward a = 76: 76 - 53 = 23.
    EXPECT_EQ(pix<C>({0, 100, 0, 255}, 200, 255, 0, 76, 76), (Px{23, 130, 76, 179}));
    // Above 1.0 the copy extrapolates: 200 + (-100 * -44) / 256 = 217;
    // 100 + (100 * -44) / 256 = 100 - 17 = 83; 250 + 42 = 292 keeps its low byte 36.
    EXPECT_EQ(pix<C>({0, 100, 200, 0}, 200, 100, 250, 0, 300), (Px{0, 217, 83, 36}));
    // 250 + 250 = 500 keeps its low byte 244, or clamps to 255.
    EXPECT_EQ(pix<C>({0, 0, 0, 0}, 250, 0, 0, 0, 512), (Px{0, 244, 0, 0}));
    EXPECT_EQ(pix<_RAST_CombinePixelsCopyClamp>({0, 0, 0, 0}, 250, 0, 0, 0, 512), (Px{0, 255, 0, 0}));
    // Clamped copy of out-of-range sources at 128: -50 + 150 / 2 = 25; 400 - 150 = 250; 600 - 250 -> 255.
    EXPECT_EQ(pix<_RAST_CombinePixelsCopyClamp>({0, 100, 100, 100}, -50, 400, 600, 0, 128), (Px{0, 25, 250, 255}));
}

TEST(RastCombine, ClobberAndHalfMix) {
    EXPECT_EQ(pix<_RAST_CombinePixelsClobberNoClamp>({9, 9, 9, 9}, 300, -5, 7, 1, 3), (Px{1, 44, 251, 7}));
    EXPECT_EQ(pix<_RAST_CombinePixelsClobberClamp>({9, 9, 9, 9}, 300, -5, 7, 1, 3), (Px{1, 255, 0, 7}));
    EXPECT_EQ(pix<_RAST_CombinePixelsClobberFAST>({9, 9, 9, 9}, 1, 2, 3, 4, 0), (Px{4, 1, 2, 3}));
    // (101 + 50) / 2 = 75.
    EXPECT_EQ(pix<_RAST_CombinePixelsHalfMixNoClamp>({1, 101, 0, 255}, 50, 0, 255, 2, 999), (Px{1, 75, 0, 255}));
}

TEST(RastCombine, WholeWordMixes) {
    // Bytes low to high: d = FE 80 00 FF, c = 03 7F FF 01.
    const unsigned int d = 0xFF0080FEu, c = 0x01FF7F03u;
    unsigned int w = d;
    // floor(d/2) + floor(c/2): 7F+01, 40+3F, 00+7F, 7F+00.
    _RAST_CombinePixelsHalfMixFAST::doPixWord(&w, c);
    EXPECT_EQ(w, 0x7F7F7F80u);
    w = d;
    _RAST_CombinePixelsHalfMix2FAST::doPixWord(&w, c);
    EXPECT_EQ(w, 0x7F7F7F80u);
    // d/4 + d/2 + c/4: 63+127+0, 32+64+31, 0+0+63, 63+127+0.
    w = d;
    _RAST_CombinePixelsQuarterMix2FAST::doPixWord(&w, c);
    EXPECT_EQ(w, 0xBE3F7FBEu);
    // d/4 + c/4 + c/2: 63+0+1, 32+31+63, 0+63+127, 63+0+0.
    w = d;
    _RAST_CombinePixelsThreeQuarterMix2FAST::doPixWord(&w, c);
    EXPECT_EQ(w, 0x3FBE7E40u);
}

TEST(RastCombine, AddClampsAndTruncates) {
    using C = _RAST_CombinePixelsAdd;
    // 100 + 200 -> 255; 100 + 200 * 128 / 256 = 200; 100 + (200 * 77) / 256 = 160.
    EXPECT_EQ(pix<C>({0, 100, 100, 100}, 200, 200, 200, 0, 256)[1], 255);
    EXPECT_EQ(pix<C>({0, 100, 100, 100}, 200, 200, 200, 0, 128)[1], 200);
    EXPECT_EQ(pix<C>({0, 100, 100, 100}, 200, 200, 200, 0, 77)[1], 160);
    // Alpha byte takes a: 10 + 100 * 128 / 256 = 60.
    EXPECT_EQ(pix<C>({10, 0, 0, 0}, 0, 0, 0, 100, 128)[0], 60);
    // Negative opacity subtracts: (201 * -128) / 256 = -100 (not -101).
    EXPECT_EQ(pix<C>({0, 150, 50, 0}, 201, 201, 0, 0, -128), (Px{0, 50, 0, 0}));
}

TEST(RastCombine, ColorDodge) {
    using C = _RAST_CombinePixelsColorDodge;
    // s = 255 at 256: t = 1, so 0 stays 0 and anything else becomes 255.
    EXPECT_EQ(pix<C>({0, 0, 1, 200}, 255, 255, 255, 0, 256), (Px{0, 0, 255, 255}));
    // s = 128 at 256: t = 128: 100 -> 200, 200 -> 400 -> 255.
    EXPECT_EQ(pix<C>({0, 100, 200, 0}, 128, 128, 0, 0, 256), (Px{0, 200, 255, 0}));
    // s = 100 at 128: t = 206: 25600 / 206 = 124. s = 0 leaves the byte.
    EXPECT_EQ(pix<C>({77, 100, 0, 0}, 100, 0, 0, 0, 128), (Px{77, 124, 0, 0}));
}

// Every divisor t = 256 - s (s = 0..255 at full opacity) against every byte.
TEST(RastCombine, ColorDodgeDividesExactly) {
    for (int s = 0; s < 256; s++)
        for (int d = 0; d < 256; d++) {
            int t = 256 - s;
            int want = t >= 2 ? std::min(255, d * 256 / t) : std::min(255, d * 256);
            ASSERT_EQ(pix<_RAST_CombinePixelsColorDodge>({0, d, 0, 0}, s, 0, 0, 0, 256)[1], want) << s << " " << d;
        }
    // Divisors above 256 (a negative source) and far below 2.
    EXPECT_EQ(pix<_RAST_CombinePixelsColorDodge>({0, 200, 0, 0}, -256, 0, 0, 0, 256)[1], 200 * 256 / 512);
    EXPECT_EQ(pix<_RAST_CombinePixelsColorDodge>({0, 3, 0, 0}, 1000, 0, 0, 0, 256)[1], 255);
}

TEST(RastCombine, Multiply) {
    // (128 * 256 + 0) * 200 / 65536 = 100.
    EXPECT_EQ(pix<_RAST_CombinePixelsMulNoClamp>({0, 200, 0, 0}, 128, 0, 0, 0, 256)[1], 100);
    // (0 + 128 * 256) * 200 / 65536 = 100; (12800 + 32768) * 200 / 65536 = 139.
    EXPECT_EQ(pix<_RAST_CombinePixelsMulNoClamp>({0, 200, 200, 0}, 0, 100, 0, 0, 128), (Px{0, 100, 139, 0}));
    // At 300: (-44 * 256) * 201 / 65536 = -34 (toward zero): low byte 222, or 0 clamped.
    EXPECT_EQ(pix<_RAST_CombinePixelsMulNoClamp>({0, 201, 0, 0}, 0, 0, 0, 0, 300)[1], 222);
    EXPECT_EQ(pix<_RAST_CombinePixelsMulClamp>({0, 201, 0, 0}, 0, 0, 0, 0, 300)[1], 0);
    // Clamped above: s = 1000 at 256: 1000 * 256 * 200 / 65536 = 781 -> 255.
    EXPECT_EQ(pix<_RAST_CombinePixelsMulClamp>({0, 200, 0, 0}, 1000, 0, 0, 0, 256)[1], 255);
}

TEST(RastCombine, Overlay) {
    using C = _RAST_CombinePixelsOverlay;
    // s = 128 at 256 leaves every byte.
    EXPECT_EQ(pix<C>({7, 100, 255, 3}, 128, 128, 128, 128, 256), (Px{7, 100, 255, 3}));
    // s = 255, d = 100: s' = 65280, (-32512 * 100) / 256 = -12700, (52580 * 100) / 32768 = 160.
    // s = 0, d = 100: s' = 0, 12800 * 100 / 32768 = 39.  s = 255, d = 255 -> 255.
    EXPECT_EQ(pix<C>({0, 100, 100, 255}, 255, 0, 255, 0, 256), (Px{0, 160, 39, 255}));
    // At 128, s = 0: s' = 16384, (16384 + 6400) * 100 / 32768 = 69.
    EXPECT_EQ(pix<C>({0, 100, 0, 0}, 0, 0, 0, 0, 128)[1], 69);
}

TEST(RastCombine, HSVAdjustRoundTripsAndShifts) {
    using C = _RAST_CombinePixelsHSVAdjust;
    // No shift: only the rounding of the two conversions; the alpha byte takes a.
    EXPECT_EQ(pix<C>({0, 200, 100, 50}, 128, 128, 128, 99, 256), (Px{99, 200, 99, 50}));
    EXPECT_EQ(pix<C>({255, 10, 200, 60}, 128, 128, 128, 0, 256), (Px{0, 11, 200, 58}));
    EXPECT_EQ(pix<C>({0, 100, 100, 100}, 128, 128, 128, 1, 256), (Px{1, 100, 100, 100}));
    // Red's hue sector with green below blue starts at 383: H = 383 - 21 = 362, blue = ramp(42) = 102.
    EXPECT_EQ(pix<C>({0, 200, 50, 100}, 128, 128, 128, 0, 256), (Px{0, 200, 50, 102}));
    // Pure red, hue shifted by 190 into the green sector: (0, 255, 247).
    EXPECT_EQ(pix<C>({0, 255, 0, 0}, 255, 128, 128, 255, 256), (Px{255, 0, 255, 247}));
    // At 128: H = 21 + 95 = 116, S = 191 - 128 = 63, V = 200 + 127 -> 255, p = 192, red = ramp(52) = 204.
    EXPECT_EQ(pix<C>({0, 200, 100, 50}, 255, 0, 255, 5, 128), (Px{5, 204, 255, 192}));
    // A shift below 0 wraps once: H = 21 - 192 + 384 = 213: (50, ramp(21) = 151, 200).
    EXPECT_EQ(pix<C>({0, 200, 100, 50}, 0, 128, 128, 0, 256), (Px{0, 50, 151, 200}));
}

TEST(RastCombine, HSVAdjustHueOutsideTheWheelStillHasASector) {
    using C = _RAST_CombinePixelsHSVAdjust;
    // At 1024, H = 21 + 760 - 384 = 397: last sector, blue = ramp(77) = 20.
    EXPECT_EQ(pix<C>({0, 200, 100, 50}, 255, 128, 128, 0, 1024), (Px{0, 200, 50, 20}));
    // H = 21 - 768 + 384 = -363: first sector, green = ramp(427) = -795, low byte 229.
    EXPECT_EQ(pix<C>({0, 200, 100, 50}, 0, 128, 128, 0, 1024), (Px{0, 200, 229, 50}));
    // Extreme channels and opacity stay defined.
    pix<C>({0, 1, 2, 3}, 32767, -32768, 32767, 0, RAST_ALPHA_LIMIT);
    pix<C>({0, 1, 2, 3}, -32768, 32767, -32768, 0, -RAST_ALPHA_LIMIT);
}

TEST(RastCombine, HSVTable) {
    EXPECT_EQ(_RAST_RGB2HSV_invtab[0], 0);
    EXPECT_EQ(_RAST_RGB2HSV_invtab[1], 65535);
    EXPECT_EQ(_RAST_RGB2HSV_invtab[2], 32767);
    EXPECT_EQ(_RAST_RGB2HSV_invtab[3], 21844);
    EXPECT_EQ(_RAST_RGB2HSV_invtab[200], 326);
    EXPECT_EQ(_RAST_RGB2HSV_invtab[255], 256);
}

TEST(RastCombine, SourceAlphaCopies) {
    // k = (101 * 153) / 256 = 60, keep 196: 200 - 76 = 124, 0 + 76, 50 + 38 = 88; alpha 50 + 60.
    EXPECT_EQ(pix<_RAST_CombinePixelsCopySourceAlphaNoClamp>({50, 100, 100, 100}, 200, 0, 50, 100, 153),
              (Px{110, 124, 76, 88}));
    EXPECT_EQ(pix<_RAST_CombinePixelsCopySourceAlphaNoClamp>({50, 100, 100, 100}, 200, 0, 50, 0, 153),
              (Px{50, 100, 100, 100}));
    using F = _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp;
    // keep 155: 200 - 60 = 140, 60, 50 + 30 = 80; alpha 200 + 100 -> 255. The opacity is not read.
    EXPECT_EQ(pix<F>({200, 100, 100, 100}, 200, 0, 50, 100, 7), (Px{255, 140, 60, 80}));
    EXPECT_EQ(pix<F>({0, 100, 100, 100}, 200, 0, 50, 255, 7), (Px{255, 200, 0, 50}));
    EXPECT_EQ(pix<F>({3, 100, 100, 100}, 200, 0, 50, 0, 7), (Px{3, 100, 100, 100}));
}

TEST(RastCombine, OtherSourceAlphaForms) {
    // a = 127 at 256: k = 128.
    // Add: alpha 10 + 63, red 100 + 100, green 200 + 50.
    EXPECT_EQ(pix<_RAST_CombinePixelsAddSourceAlpha>({10, 100, 200, 50}, 200, 100, 0, 127, 256),
              (Px{73, 200, 250, 50}));
    EXPECT_EQ(pix<_RAST_CombinePixelsAddSourceAlpha>({10, 100, 200, 50}, 200, 100, 0, 0, 1024), (Px{10, 100, 200, 50}));
    // Dodge: red t = 129: 25600 / 129 = 198; alpha t = 193: 2560 / 193 = 13.
    EXPECT_EQ(pix<_RAST_CombinePixelsColorDodgeSourceAlpha>({10, 100, 0, 0}, 255, 0, 0, 127, 256), (Px{13, 198, 0, 0}));
    // Dodge runs even for a = 0: at 1024, k = 4, t = 253: 25600 / 253 = 101.
    EXPECT_EQ(pix<_RAST_CombinePixelsColorDodgeSourceAlpha>({0, 100, 0, 0}, 255, 0, 0, 0, 1024)[1], 101);
    // Multiply: red (32768 * 200) / 65536 = 100; alpha (16256 + 32768) * 10 / 65536 = 7.
    EXPECT_EQ(pix<_RAST_CombinePixelsMulSourceAlphaNoClamp>({10, 200, 0, 0}, 0, 0, 0, 127, 256), (Px{7, 100, 0, 0}));
    EXPECT_EQ(pix<_RAST_CombinePixelsMulSourceAlphaNoClamp>({10, 200, 0, 0}, 0, 0, 0, 0, 256), (Px{10, 200, 0, 0}));
    // Overlay for a = 255 at 256 is plain overlay: s = 0, d = 100 -> 39.
    EXPECT_EQ(pix<_RAST_CombinePixelsOverlaySourceAlpha>({0, 100, 0, 0}, 0, 0, 0, 255, 256)[1], 39);
    // a = 0, k = 1: s' = 32895: (32895 - 99) * 200 / 32768 = 200.
    EXPECT_EQ(pix<_RAST_CombinePixelsOverlaySourceAlpha>({0, 200, 0, 0}, 255, 0, 0, 0, 256)[1], 200);
    // HSV at k = 128 as plain HSV at 128, alpha byte a.
    EXPECT_EQ(pix<_RAST_CombinePixelsHSVAdjustSourceAlpha>({0, 200, 100, 50}, 255, 0, 255, 127, 256),
              (Px{127, 204, 255, 192}));
}

TEST(RastCombine, CombinePixelsDispatch) {
    const unsigned int d = RAST_MakePixel(200, 100, 100, 100), s = RAST_MakePixel(100, 200, 0, 50);
    for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10005, 6, 0x10006, 0x80, 0xF5})
        EXPECT_EQ(RAST_CombinePixels(d, s, 0.001f, mode), d) << mode;
    for (int mode : {6, 0x10006, 0x80, 0xF5, 0x1F0}) EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, mode), d) << mode;
    EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0), s);
    EXPECT_EQ(RAST_CombinePixels(d, s, -1.0f, 0), d);
    // The filter field never changes the combiner.
    EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x100), s);
    // Copy at 0.5: 200 + (-100 * 128) / 256 = 150; 0 + 50; 50 + 25; alpha 100 + 50.
    EXPECT_EQ(RAST_CombinePixels(d, s, 0.5f, 0), RAST_MakePixel(150, 150, 50, 75));
    // Source-alpha copy at 1.0 (see SourceAlphaCopies).
    EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x10000), RAST_MakePixel(255, 140, 60, 80));
    EXPECT_EQ(RAST_CombinePixels(d, s | 0xFF, 1.0f, 0x10000), s | 0xFF);
    EXPECT_EQ(RAST_CombinePixels(d, s & ~0xFFu, 1.0f, 0x10000), d);
    EXPECT_EQ(RAST_CombinePixels(d, s & ~0xFFu, 0.6f, 0x10000), d);
    // Add at 1.0: colour saturates, alpha 200 + 100 -> 255.
    EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 1), RAST_MakePixel(255, 255, 100, 150));
    // Add with source alpha, k = 101: alpha 200 + 39, red 100 + 78, green 100, blue 100 + 19.
    EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x10001), RAST_MakePixel(239, 178, 100, 119));
}

TEST(RastCombine, CombinePixels2AndClamp) {
    unsigned int p = 0x11223344;
    RAST_CombinePixels2(&p, 1, 2, 3, 4, 0, 0);
    EXPECT_EQ(p, 0x11223344u);
    RAST_CombinePixels2(&p, 1, 2, 3, 4, 256, 0);
    EXPECT_EQ(p, RAST_MakePixel(4, 1, 2, 3));
    RAST_CombinePixels2(&p, 300, -5, 3, 4, 256, 0);
    EXPECT_EQ(p, RAST_MakePixel(4, 44, 251, 3));
    RAST_CombinePixels2Clamp(&p, 300, -5, 3, 4, 256, 0);
    EXPECT_EQ(p, RAST_MakePixel(4, 255, 0, 3));

    // Multiply at 300 of s = 0 into 201: -34 wraps plain, clamps to 0.
    p = RAST_MakePixel(0, 201, 0, 0);
    RAST_CombinePixels2(&p, 0, 0, 0, 0, 300, 3);
    EXPECT_EQ(RAST_PixelRed(p), 222u);
    p = RAST_MakePixel(0, 201, 0, 0);
    RAST_CombinePixels2Clamp(&p, 0, 0, 0, 0, 300, 3);
    EXPECT_EQ(RAST_PixelRed(p), 0u);

    // Source-alpha copy, clamped: at 256 and a = 255 colour 400 -> 255; at 128 with
    // a = 255 (k = 128) red 400 + (-400 * 128) / 256 = 200 over 0, and -300 -> 0.
    p = 0;
    RAST_CombinePixels2Clamp(&p, 400, -20, 0, 255, 256, 0x10000);
    EXPECT_EQ(p, RAST_MakePixel(255, 255, 0, 0));
    p = 0;
    RAST_CombinePixels2Clamp(&p, 400, -300, 0, 255, 128, 0x10000);
    EXPECT_EQ(p, RAST_MakePixel(128, 200, 0, 0));
    // Wild arguments stay defined.
    p = 0x01020304;
    RAST_CombinePixels2Clamp(&p, INT32_MAX, INT32_MIN, 5, INT32_MAX, INT32_MAX, 0x10003);
    RAST_CombinePixels2(&p, INT32_MIN, INT32_MAX, 5, INT32_MIN, INT32_MIN, 0x10005);
    RAST_CombinePixels2(nullptr, 1, 2, 3, 4, 256, 0);
}

}  // namespace
