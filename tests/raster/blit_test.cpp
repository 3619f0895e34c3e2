#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RasterTestBitmaps.h"
#include "raster/RAST_Blit.h"

namespace {

using rasttest::fillPattern;
using rasttest::px;
using rasttest::VecBitmap;

constexpr unsigned int kBg = 0x01020304u;

void fillWith(RAST_MemBitmap& bm, unsigned int v) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) px(bm, x, y) = v;
}

// Which source column and row landed at each destination pixel (kBg: none).
struct Landing {
    int x0 = -1, x1 = -1, y0 = -1, y1 = -1;  // destination extent
    bool consistent = true;                  // every drawn pixel is source (x - dx, y - dy)
};
Landing landing(RAST_MemBitmap& dest, int dx, int dy) {
    Landing l;
    for (int y = 0; y < dest.getHeight(); y++)
        for (int x = 0; x < dest.getWidth(); x++) {
            unsigned int v = px(dest, x, y);
            if (v == kBg) continue;
            if (l.x0 < 0 || x < l.x0) l.x0 = x;
            if (x > l.x1) l.x1 = x;
            if (l.y0 < 0 || y < l.y0) l.y0 = y;
            if (y > l.y1) l.y1 = y;
            if ((int)RAST_PixelRed(v) != x - dx || (int)RAST_PixelGreen(v) != y - dy) l.consistent = false;
        }
    return l;
}

TEST(RastBlit, ClipsOnEverySide) {
    RAST_MemBitmap src(10, 10, 4);
    fillPattern(src);
    struct Case {
        int dstw, dsth, dstx, dsty;
        RECT r;
        int x0, x1, y0, y1;  // destination extent drawn
        int sdx, sdy;        // source = destination - (sdx, sdy)
    } cases[] = {
        // A negative source left moves the destination right: source columns 0..9 at x 5..14.
        {20, 20, 0, 0, {-5, 0, 10, 10}, 5, 14, 0, 9, 5, 0},
        {20, 20, 0, 0, {0, -4, 10, 10}, 0, 9, 4, 13, 0, 4},
        // A negative destination position drops the first source columns or rows.
        {20, 20, -3, 0, {0, 0, 10, 10}, 0, 6, 0, 9, -3, 0},
        {20, 20, 0, -7, {0, 0, 10, 10}, 0, 9, 0, 2, 0, -7},
        // The destination's right and bottom edges.
        {8, 20, 6, 0, {0, 0, 10, 10}, 6, 7, 0, 9, 6, 0},
        {20, 8, 0, 5, {0, 0, 10, 10}, 0, 9, 5, 7, 0, 5},
        // The source's right and bottom edges.
        {20, 20, 1, 2, {4, 6, 30, 40}, 1, 6, 2, 5, -3, -4},
        // All at once.
        {6, 5, -2, -3, {-1, -1, 12, 12}, 0, 5, 0, 4, -1, -2},
    };
    for (const Case& c : cases) {
        RAST_MemBitmap dest(c.dstw, c.dsth, 4);
        fillWith(dest, kBg);
        RECT r = c.r;
        RAST_Blit(&dest, &src, c.dstx, c.dsty, &r, 1.0f, 0);
        Landing l = landing(dest, c.sdx, c.sdy);
        EXPECT_EQ(l.x0, c.x0) << c.dstx << "," << c.dsty;
        EXPECT_EQ(l.x1, c.x1) << c.dstx << "," << c.dsty;
        EXPECT_EQ(l.y0, c.y0) << c.dstx << "," << c.dsty;
        EXPECT_EQ(l.y1, c.y1) << c.dstx << "," << c.dsty;
        EXPECT_TRUE(l.consistent) << c.dstx << "," << c.dsty;
        // The rectangle is untouched.
        EXPECT_EQ(r.left, c.r.left);
    }
}

TEST(RastBlit, NothingOutsideOrEmpty) {
    RAST_MemBitmap src(10, 10, 4), dest(10, 10, 4), empty(0, 0, 4);
    fillPattern(src);
    fillWith(dest, kBg);
    RAST_Blit(&dest, &src, 10, 0, nullptr, 1.0f, 0);
    RAST_Blit(&dest, &src, 0, -10, nullptr, 1.0f, 0);
    RAST_Blit(&dest, &src, 0, 0, 10, 0, 5, 5, 1.0f, 0);  // starts at the source's right edge
    RAST_Blit(&dest, &src, 0, 0, 3, 3, 0, 5, 1.0f, 0);
    RAST_Blit(&dest, &src, 0, 0, 3, 3, 2, -1, 1.0f, 0);
    RAST_Blit(&dest, &src, INT32_MAX, INT32_MAX, 0, 0, INT32_MAX, INT32_MAX, 1.0f, 0);
    RAST_Blit(&dest, &src, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1.0f, 0);
    RAST_Blit(&dest, &empty, 0, 0, nullptr, 1.0f, 0);
    RAST_Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
    RAST_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
    RAST_Blit(&dest, nullptr, 0, 0, nullptr, 1.0f, 0);
    RAST_Blit(&dest, &src, 0, 0, nullptr, 0.0f, 0);
    RAST_Blit(&dest, &src, 0, 0, nullptr, 0.001f, 0);  // opacity 0 after truncation
    RAST_Blit(&dest, &src, 0, 0, nullptr, -0.5f, 0);   // the copy needs at least 1
    for (int mode : {6, 0x10006, 0x80, 0xEF}) RAST_Blit(&dest, &src, 0, 0, nullptr, 1.0f, mode);
    EXPECT_EQ(landing(dest, 0, 0).x0, -1);
}

TEST(RastBlit, CopyHalfAndOpacities) {
    RAST_MemBitmap src(5, 1, 4), dest(5, 1, 4);
    const unsigned int s = RAST_MakePixel(101, 200, 7, 255), d = RAST_MakePixel(51, 100, 201, 0);
    auto run = [&](float alpha, int mode) {
        for (int x = 0; x < 5; x++) px(src, x, 0) = s, px(dest, x, 0) = d;
        RAST_Blit(&dest, &src, 0, 0, nullptr, alpha, mode);
        for (int x = 1; x < 5; x++) EXPECT_EQ(px(dest, x, 0), px(dest, 0, 0));
        return px(dest, 0, 0);
    };
    // 1.0 copies every byte, alpha included; so does 1.001 (256 after truncation).
    EXPECT_EQ(run(1.0f, 0), s);
    EXPECT_EQ(run(1.001f, 0), s);
    // 0.5: floor(s/2) + floor(d/2) per byte: 50+25, 100+50, 3+100, 127+0.
    EXPECT_EQ(run(0.5f, 0), RAST_MakePixel(75, 150, 103, 127));
    // 0.5 with source alpha: k = (102 * 128) / 256 = 51, keep 205:
    // 200 + (-100 * 205) / 256 = 120; 7 + (194 * 205) / 256 = 162; 255 + (-255 * 205) / 256 = 51; alpha 51 + 51.
    EXPECT_EQ(run(0.5f, 0x10000), RAST_MakePixel(102, 120, 162, 51));
    // 0.75 through the copy combiner, keep 64: 200 - 25; 7 + 48; 255 - 63; alpha 101 - 12.
    EXPECT_EQ(run(0.75f, 0), RAST_MakePixel(89, 175, 55, 192));
    // Add at 1.0 saturates per byte, alpha too.
    EXPECT_EQ(run(1.0f, 1), RAST_MakePixel(152, 255, 208, 255));
}

TEST(RastBlit, ChannelCopy) {
    RAST_MemBitmap src(3, 2, 4), dest(3, 2, 4);
    fillWith(src, RAST_MakePixel(0x11, 0x22, 0x33, 0x44));
    fillWith(dest, RAST_MakePixel(0xA1, 0xA2, 0xA3, 0xA4));
    // 0xF4: source alpha into destination red; the opacity plays no part.
    RAST_Blit(&dest, &src, 0, 0, nullptr, 0.3f, 0xF4);
    EXPECT_EQ(px(dest, 2, 1), RAST_MakePixel(0xA1, 0x11, 0xA3, 0xA4));
    // 0xF5: red into red; 0xFB: blue (3) into green (2 << 2).
    RAST_Blit(&dest, &src, 1, 0, nullptr, 1.0f, 0xF5);
    RAST_Blit(&dest, &src, 0, 0, nullptr, 1.0f, 0xFB);
    EXPECT_EQ(px(dest, 0, 0), RAST_MakePixel(0xA1, 0x11, 0x44, 0xA4));
    EXPECT_EQ(px(dest, 1, 0), RAST_MakePixel(0xA1, 0x22, 0x44, 0xA4));
    // Only the zero test of the opacity applies.
    RAST_Blit(&dest, &src, 0, 0, nullptr, 0.0f, 0xF0);
    EXPECT_EQ(RAST_PixelAlpha(px(dest, 0, 0)), 0xA1u);
}

TEST(RastBlit, FlippedBitmapsMapRows) {
    for (bool sflip : {false, true})
        for (bool dflip : {false, true}) {
            VecBitmap src(4, 3, sflip), dest(6, 5, dflip);
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < 4; x++) src.at(x, y) = RAST_MakePixel(255, x, y, 9);
            RAST_Blit(&dest, &src, 2, 1, 1, 0, 3, 3, 1.0f, 0);
            RAST_Blit(&dest, &src, -1, 3, nullptr, 0.5f, 0);
            for (int y = 1; y < 4; y++)
                for (int x = 2; x < 5; x++)
                    if (y < 3) {
                        EXPECT_EQ(dest.at(x, y), RAST_MakePixel(255, x - 1, y - 1, 9)) << sflip << dflip;
                    }
            // Rows 3 and 4 got source rows 0 and 1 at half strength over the background.
            unsigned int half =
                ((RAST_MakePixel(255, 1, 0, 9) >> 1) & 0x7F7F7F7Fu) + ((0xA5A5A5A5u >> 1) & 0x7F7F7F7Fu);
            EXPECT_EQ(dest.at(0, 3), half) << sflip << dflip;
            EXPECT_TRUE(dest.paddingIntact());
        }
}

TEST(RastCopy, GrowsTheDestination) {
    RAST_MemBitmap src(7, 3, 4), dest(0, 0, 4);
    fillPattern(src);
    RAST_Copy(&dest, &src);
    ASSERT_EQ(dest.getWidth(), 7);
    ASSERT_EQ(dest.getHeight(), 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 7; x++) EXPECT_EQ(px(dest, x, y), px(src, x, y));
    RAST_Copy(&dest, nullptr);
    RAST_Copy(nullptr, &src);
    EXPECT_EQ(dest.getWidth(), 7);
}

// The register rows against the formulas, over widths that leave every tail
// length, rows that start off a register boundary, rows apart and rows that
// make one block, and sources with runs of opaque, clear and mixed alpha.
unsigned int refByteBlit(unsigned int d, unsigned int s, int al, int mode) {
    const unsigned char* db = (const unsigned char*)&d;
    const unsigned char* sb = (const unsigned char*)&s;
    int sa = sb[0];
    unsigned char o[4];
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    int k = ((sa + 1) * al) / 256;
    for (int c = 0; c < 4; c++) {
        switch (mode) {
            case 0:
                o[c] = (unsigned char)(sb[c] + ((db[c] - sb[c]) * (256 - al)) / 256);
                break;
            case 1:
                o[c] = (unsigned char)clamp(db[c] + (sb[c] * al) / 256);
                break;
            case 0x10001:
                o[c] = sa ? (unsigned char)clamp(db[c] + (sb[c] * k) / 256) : db[c];
                break;
            case 2:
            case 0x10002: {
                int t = 256 - (sb[c] * (mode == 2 ? al : k)) / 256;
                o[c] = (unsigned char)std::min(255, t >= 2 ? db[c] * 256 / t : db[c] * 256);
                break;
            }
            case 0x10000:
                if (!sa) {
                    o[c] = db[c];
                } else if (al == 256) {
                    if (c == 0)
                        o[c] = (unsigned char)std::min(255, db[0] + sa);
                    else
                        o[c] = (unsigned char)(sb[c] + ((db[c] - sb[c]) * (255 - sa)) / 256);
                } else {
                    if (c == 0)
                        o[c] = (unsigned char)std::min(255, db[0] + k);
                    else
                        o[c] = (unsigned char)(sb[c] + ((db[c] - sb[c]) * (256 - k)) / 256);
                }
                break;
        }
    }
    unsigned int r;
    memcpy(&r, o, 4);
    return r;
}

TEST(RastBlit, RowsMatchTheFormulas) {
    std::mt19937 rng(42);
    struct Run {
        float alpha;
        int mode;
    } runs[] = {{1.0f, 0},       {0.5f, 0},        {0.3f, 0},       {0.99f, 0},      {0.01f, 0},
                {1.5f, 0},       {1.0f, 0x10000},  {0.6f, 0x10000}, {0.2f, 0x10000}, {0.999f, 0x10000},
                {1.7f, 0x10000}, {-0.4f, 0x10000}, {1.0f, 1},       {0.6f, 1},       {-0.3f, 1},
                {1.0f, 0x10001}, {0.6f, 0x10001},  {2.0f, 0x10001}, {1.0f, 2},       {0.3f, 2},
                {1.4f, 2},       {-0.2f, 2},       {1.0f, 0x10002}, {0.7f, 0x10002}, {0.0039f, 0x10002}};
    std::vector<int> widths;
    for (int w = 1; w <= 19; w++) widths.push_back(w);
    for (int w : {37, 255, 256, 300, 301}) widths.push_back(w);
    // Pad 1 or 2: a destination or a source one pixel wider than the area
    // keeps its rows apart; pad 0: both areas' rows make one block.
    for (bool wide : {true, false})
        for (const Run& run : runs)
            for (int w : widths)
                for (int pad : {0, 1, 2}) {
                    rasttest::RegisterWidth width(wide);
                    const int dw = w + (pad == 1);
                    RAST_MemBitmap src(w + (pad == 2), 3, 4), dest(dw, 3, 4), orig(dw, 3, 4);
                    for (int y = 0; y < 3; y++)
                        for (int x = 0; x < dw; x++) {
                            unsigned int v = (unsigned int)rng();
                            int kind = (int)((x / 4 + y + w) % 4);  // runs of one alpha kind
                            v = (v & ~0xFFu) | (kind == 0   ? 0u
                                                : kind == 1 ? 255u
                                                : kind == 2 ? (v & 0xFF)
                                                            : (unsigned)rng() & 0xFF);
                            if (x < w) px(src, x, y) = v;
                            px(dest, x, y) = px(orig, x, y) = (unsigned int)rng();
                        }
                    RAST_Blit(&dest, &src, 0, 0, 0, 0, w, 3, run.alpha, run.mode);
                    int al = (int)(run.alpha * 256.0);
                    for (int y = 0; y < 3; y++)
                        for (int x = 0; x < dw; x++) {
                            unsigned int d = px(orig, x, y), sp = x < w ? px(src, x, y) : 0;
                            unsigned int want = x >= w                               ? d
                                                : run.mode == 0 && run.alpha == 1.0f ? sp
                                                : run.mode == 0 && run.alpha == 0.5f
                                                    ? ((d >> 1) & 0x7F7F7F7Fu) + ((sp >> 1) & 0x7F7F7F7Fu)
                                                : run.mode == 0 && al < 1 ? d
                                                                          : refByteBlit(d, sp, al, run.mode);
                            ASSERT_EQ(px(dest, x, y), want) << "mode " << run.mode << " alpha " << run.alpha << " w "
                                                            << w << " pad " << pad << " x " << x << " wide " << wide;
                        }
                }
}

// The colour dodge rows divide in floating point: every source byte against
// every destination byte, at opacities that give every divisor from 1 to 256.
TEST(RastBlit, ColourDodgeRowsAreExactForEveryByte) {
    RAST_MemBitmap src(256, 256, 4), orig(256, 256, 4);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            px(src, x, y) = RAST_MakePixel(y, y, y, y);
            px(orig, x, y) = RAST_MakePixel(x, x, 255 - x, x);
        }
    for (bool wide : {true, false})
        for (int mode : {2, 0x10002})
            for (float alpha : {1.0f, 0.999f, 0.5f, 0.004f}) {
                rasttest::RegisterWidth width(wide);
                RAST_MemBitmap dest(256, 256, 4);
                RAST_Copy(&dest, &orig);
                RAST_Blit(&dest, &src, 0, 0, nullptr, alpha, mode);
                const int al = (int)(alpha * 256.0);
                for (int y = 0; y < 256; y++)
                    for (int x = 0; x < 256; x++)
                        ASSERT_EQ(px(dest, x, y), refByteBlit(px(orig, x, y), px(src, x, y), al, mode))
                            << "mode " << mode << " alpha " << alpha << " s " << y << " d " << x << " wide " << wide;
            }
}

// The source-alpha rows weigh each pixel by its alpha byte, which the
// 128-bit rows look their factors up by: every alpha against random
// colours, in rows that end on a whole register and that do not, at the
// full and the scaled opacities, one after the other. Then alphas drawn at
// random from the edges of the opaque and the clear tests, which take whole
// registers at once.
TEST(RastBlit, SourceAlphaRowsTakeEveryAlpha) {
    std::mt19937 rng(3);
    // Each four pixels draw from one set: pairs of registers then fall on
    // either side of each test.
    const std::vector<unsigned> edges[] = {{0, 1}, {254, 255}, {0, 255}, {0, 1, 254, 255}};
    std::vector<unsigned> groupSet;
    for (bool atEdges : {false, true})
        for (bool wide : {true, false})
            for (float alpha : {1.0f, 0.6f, 0.01f, 0.6f})
                for (int w : {256, 263}) {
                    rasttest::RegisterWidth width(wide);
                    RAST_MemBitmap src(w, 2, 4), dest(w, 2, 4), orig(w, 2, 4);
                    for (int y = 0; y < 2; y++)
                        for (int x = 0; x < w; x++) {
                            if (x % 4 == 0) groupSet = edges[rng() % 4];
                            const unsigned a =
                                atEdges ? groupSet[rng() % groupSet.size()] : (unsigned)((x + 128 * y) & 255);
                            px(src, x, y) = ((unsigned int)rng() & ~0xFFu) | a;
                            px(dest, x, y) = px(orig, x, y) = (unsigned int)rng();
                        }
                    RAST_Blit(&dest, &src, 0, 0, nullptr, alpha, 0x10000);
                    const int al = (int)(alpha * 256.0);
                    for (int y = 0; y < 2; y++)
                        for (int x = 0; x < w; x++)
                            ASSERT_EQ(px(dest, x, y), refByteBlit(px(orig, x, y), px(src, x, y), al, 0x10000))
                                << "alpha " << alpha << " w " << w << " at " << x << "," << y << " wide " << wide
                                << (atEdges ? " edges" : "");
                }
}

// Drawing a bitmap onto itself gives what drawing from a copy gives, whole
// rows (one block in memory) among them.
TEST(RastBlit, OverlappingSelfBlitActsAsFromACopy) {
    struct Run {
        float alpha;
        int mode;
    } runs[] = {{1.0f, 0}, {0.5f, 0}, {0.3f, 0}, {1.0f, 0x10000}, {0.6f, 0x10000}, {1.0f, 1}, {1.0f, 3}, {1.0f, 0xF6}};
    std::mt19937 rng(7);
    for (bool wide : {true, false})
        for (int width : {23, 2100})
            for (const Run& run : runs)
                for (int oy = -2; oy <= 2; oy += 2)
                    for (int ox : {-5, 0, 3, 99}) {
                        const bool whole = ox == 99;
                        rasttest::RegisterWidth registers(wide);
                        RAST_MemBitmap bm(width, 9, 4), copy(width, 9, 4), want(width, 9, 4);
                        rasttest::fillRandom(bm, rng);
                        RAST_Copy(&copy, &bm);
                        RAST_Copy(&want, &bm);
                        const int dx = whole ? 0 : 3 + ox, sx = whole ? 0 : 3, w = whole ? width : width - 9;
                        RAST_Blit(&want, &copy, dx, 3 + oy, sx, 3, w, 4, run.alpha, run.mode);
                        RAST_Blit(&bm, &bm, dx, 3 + oy, sx, 3, w, 4, run.alpha, run.mode);
                        for (int y = 0; y < 9; y++)
                            for (int x = 0; x < width; x++)
                                ASSERT_EQ(px(bm, x, y), px(want, x, y))
                                    << "mode " << run.mode << " alpha " << run.alpha << " offset " << ox << "," << oy
                                    << " at " << x << "," << y;
                    }
}

// Rows as wide as their span make one block; shifted onto itself they must not.
TEST(RastBlit, WholeBlockCopy) {
    RAST_MemBitmap src(8, 5, 4), dest(8, 5, 4);
    fillPattern(src);
    RAST_Blit(&dest, &src, 0, 0, nullptr, 1.0f, 0);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 8; x++) EXPECT_EQ(px(dest, x, y), px(src, x, y));
    for (int dy : {-1, 1}) {
        RAST_MemBitmap bm(8, 5, 4);
        fillPattern(bm);
        RAST_Blit(&bm, &bm, 0, dy, nullptr, 1.0f, 0);
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 8; x++) {
                int sy = y - dy < 0 || y - dy > 4 ? y : y - dy;  // rows not drawn keep their own
                EXPECT_EQ(px(bm, x, y), RAST_MakePixel(1, x, sy, 1)) << dy << " " << x << "," << y;
            }
    }
}

TEST(RastBlur, NeedsTwoByTwo) {
    RAST_MemBitmap src(5, 5, 4), dest(5, 5, 4);
    fillPattern(src);
    fillWith(dest, kBg);
    RAST_Blur(&dest, &src, 0, 0, 2, 0, 1, 5);
    RAST_Blur(&dest, &src, 0, 0, 0, 2, 5, 1);
    RAST_Blur(&dest, &src, 4, 0, 0, 0, 5, 5);  // one column left in the destination
    RAST_Blur(&dest, &src, 0, 0, 4, 4, 9, 9);  // one pixel left in the source
    RAST_Blur(nullptr, &src, 0, 0, 0, 0, 5, 5);
    EXPECT_EQ(landing(dest, 0, 0).x0, -1);
}

unsigned int all4(int v) { return (unsigned int)v * 0x01010101u; }

TEST(RastBlur, EdgeAndInnerWeights) {
    // 2 x 2: first and last row rules only, every byte alike.
    RAST_MemBitmap s2(2, 2, 4), d2(2, 2, 4);
    px(s2, 0, 0) = all4(101), px(s2, 1, 0) = all4(23), px(s2, 0, 1) = all4(61), px(s2, 1, 1) = all4(203);
    RAST_Blur(&d2, &s2, 0, 0, 0, 0, 2, 2);
    EXPECT_EQ(px(d2, 0, 0), all4(50 + 5 + 15));   // half, quarter right, quarter below
    EXPECT_EQ(px(d2, 1, 0), all4(11 + 25 + 50));  // half, quarter left, quarter below
    EXPECT_EQ(px(d2, 0, 1), all4(30 + 50 + 25));  // half, quarter right, quarter above
    EXPECT_EQ(px(d2, 1, 1), all4(101 + 15 + 5));

    // 3 x 3: 10 20 30 / 40 50 60 / 70 80 90.
    RAST_MemBitmap s3(3, 3, 4), d3(3, 3, 4);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) px(s3, x, y) = all4(10 + 10 * x + 30 * y);
    RAST_Blur(&d3, &s3, 0, 0, 0, 0, 3, 3);
    const int want[3][3] = {{5 + 5 + 10, 10 + 1 + 3 + 12, 15 + 5 + 15},
                            {20 + 12 + 1 + 8, 25 + 5 + 7 + 2 + 10, 30 + 12 + 3 + 11},
                            {35 + 20 + 10, 40 + 8 + 11 + 12, 45 + 20 + 15}};
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(px(d3, x, y), all4(want[y][x])) << x << "," << y;

    // In place gives the same.
    RAST_Blur(&s3, &s3, 0, 0, 0, 0, 3, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(px(s3, x, y), px(d3, x, y));
}

TEST(RastBlur, InPlaceMatchesACopyAtAnyWidth) {
    std::mt19937 rng(3);
    for (int width : {7, 1024, 1500}) {
        RAST_MemBitmap bm(width, 6, 4), copy(width, 6, 4), want(width, 6, 4);
        rasttest::fillRandom(bm, rng);
        RAST_Copy(&copy, &bm);
        RAST_Copy(&want, &bm);
        RAST_Blur(&want, &copy, 1, 1, 1, 1, width - 2, 4);
        RAST_Blur(&bm, &bm, 1, 1, 1, 1, width - 2, 4);
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < width; x++) ASSERT_EQ(px(bm, x, y), px(want, x, y)) << width << " " << x << "," << y;
    }
}

TEST(RastBlur, ClipsAndFlips) {
    // A negative destination position drops source columns and rows; a
    // flipped destination gets the same picture.
    RAST_MemBitmap src(6, 6, 4), plain(6, 6, 4);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++) px(src, x, y) = all4(8 * x + 40 * y);
    VecBitmap flipped(6, 6, true);
    fillWith(plain, kBg);
    RAST_Blur(&plain, &src, -2, -1, 0, 0, 6, 6);
    RAST_Blur(&flipped, &src, -2, -1, 0, 0, 6, 6);
    // Destination (0, 0) is source (2, 1), the area's first pixel of its first
    // row: half of 56, a quarter of 64 (right) and of 96 (below).
    EXPECT_EQ(px(plain, 0, 0), all4(28 + 16 + 24));
    EXPECT_EQ(px(plain, 4, 0), kBg);
    EXPECT_EQ(px(plain, 0, 5), kBg);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++)
            if (px(plain, x, y) != kBg) {
                EXPECT_EQ(flipped.at(x, y), px(plain, x, y));
            }
    EXPECT_TRUE(flipped.paddingIntact());
}

}  // namespace
