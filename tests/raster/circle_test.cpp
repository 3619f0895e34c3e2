// Circle outlines, discs, arcs and rounded rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "FigureTestBitmaps.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Glyph.h"
#include "raster/RAST_Line.h"

using namespace figtest;

namespace {

using Pixels = std::vector<std::pair<int, int>>;

// The points (cx + dx, cy + dy).
Pixels around(int cx, int cy, Pixels d) {
    for (auto& p : d) p = {cx + p.first, cy + p.second};
    return d;
}
// The eight symmetric points of (a, b) (fewer where they coincide).
Pixels octants(int a, int b) {
    Pixels v;
    for (auto [x, y] : {std::pair{a, b}, {b, a}})
        for (int sx : {1, -1})
            for (int sy : {1, -1})
                if (std::find(v.begin(), v.end(), std::pair{sx * x, sy * y}) == v.end()) v.push_back({sx * x, sy * y});
    return v;
}
Pixels join(std::initializer_list<Pixels> parts) {
    Pixels v;
    for (const Pixels& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

template <class F>
Draw figure(F f) {
    return [f](RAST_IBitmap* b, float a, int m) { f(b, a, m); };
}

// The radius 4 circle: the axis points and the steps (1, 4), (2, 4), (3, 3).
const Pixels kRing4 = join({octants(0, 4), octants(1, 4), octants(2, 4), octants(3, 3)});

}  // namespace

TEST(RasterCircle, OutlinesDiscsAndArcsInEveryMode) {
    const struct {
        const char* name;
        Draw draw;
        WeightsAt weights;
    } cases[] = {
        // Rounded radius 0: the centre four times; radius 1: a plus.
        {"radius 0", figure([](auto b, float a, int m) { RAST_Circle(b, 4.2f, 3.9f, 0.3f, kInk, a, m, false); }),
         [](int ia, bool) {
             return at(ia, {{4, 4}, {4, 4}, {4, 4}, {4, 4}});
         }},
        {"radius 1", figure([](auto b, float a, int m) { RAST_Circle(b, 4, 4, 1, kInk, a, m, false); }),
         [](int ia, bool) { return at(ia, around(4, 4, octants(0, 1))); }},
        {"disc of 1", figure([](auto b, float a, int m) { RAST_FillCircle(b, 4, 4, 1, kInk, a, m, false); }),
         [](int ia, bool) {
             return at(ia, around(4, 4, join({octants(0, 1), {{0, 0}}})));
         }},
        {"disc of 2", figure([](auto b, float a, int m) { RAST_FillCircle(b, 5, 4, 2, kInk, a, m, false); }),
         [](int ia, bool) {
             Pixels d;
             for (int y = -2; y <= 2; y++)
                 for (int x = -2; x <= 2; x++)
                     if (std::abs(x) + std::abs(y) < 4) d.push_back({x, y});
             return at(ia, around(5, 4, d));  // 21 pixels
         }},
        // Radius 3 is stamped from its mask, 3.01 (rounded to 3) computed.
        {"radius 3.01", figure([](auto b, float a, int m) { RAST_Circle(b, 6, 5, 3.01f, kInk, a, m, false); }),
         [](int ia, bool) {
             return at(ia, around(6, 5, join({octants(0, 3), octants(1, 3), octants(2, 2)})));
         }},
        {"disc of 3", figure([](auto b, float a, int m) { RAST_FillCircle(b, 6, 5, 3, kInk, a, m, false); }),
         [](int ia, bool) {
             Pixels d;
             for (int y = -3; y <= 3; y++)
                 for (int x = -3; x <= 3; x++)
                     if (x * x + y * y <= 10) d.push_back({x, y});
             return at(ia, around(6, 5, d));  // 37 pixels
         }},
        {"radius 4 clipped", figure([](auto b, float a, int m) { RAST_Circle(b, 11, 2, 4.2f, kInk, a, m, false); }),
         [](int ia, bool) {
             Weights w;
             for (auto [x, y] : around(11, 2, kRing4))
                 if (x >= 0 && x < 14 && y >= 0 && y < 11) w[{x, y}].push_back(ia);
             return w;
         }},
        // Anti-aliased up to radius 1: the axis rings only.
        {"aa 0.75", figure([](auto b, float a, int m) { RAST_Circle(b, 4, 4, 0.75f, kInk, a, m, true); }),
         [](int ia, bool) {
             const int fa = (int)(0.75 * ia);
             return at(ia - fa, {{4, 4}, {4, 4}, {4, 4}, {4, 4}}, at(fa, around(4, 4, octants(0, 1))));
         }},
        {"aa disc 0.75", figure([](auto b, float a, int m) { RAST_FillCircle(b, 4, 4, 0.75f, kInk, a, m, true); }),
         [](int ia, bool) {
             return at(ia, {{4, 4}}, at((int)(0.75 * ia), around(4, 4, octants(0, 1))));
         }},
        // A quarter of the radius 4 circle: its chord's box keeps the pixel on
        // the centre's row for the next quarter, in stored rows.
        {"arc 0 to pi/2",
         figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 4.2f, 0, 1.5707964f, kInk, a, m, false); }),
         [](int ia, bool flipped) {
             return at(ia, around(6, 5,
                                  join({{{0, -4}, {1, -4}, {2, -4}, {3, -3}, {4, -2}, {4, -1}},
                                        flipped ? Pixels{{4, 0}} : Pixels{}})));
         }},
        {"arc -pi/2 to 0",
         figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 4.2f, -1.5707964f, 0, kInk, a, m, false); }),
         [](int ia, bool flipped) {
             return at(ia, around(6, 5,
                                  join({{{-1, -4}, {-2, -4}, {-3, -3}, {-4, -2}, {-4, -1}},
                                        flipped ? Pixels{{-4, 0}} : Pixels{}})));
         }},
        {"empty arc", figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 4.2f, 1, 1, kInk, a, m, false); }),
         [](int, bool) { return Weights{}; }},
        {"negative radius arc", figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, -3, 0, 3, kInk, a, m, false); }),
         [](int, bool) { return Weights{}; }},
        // Edges and corners of radius 2; the bottom edge starts a pixel further
        // left, the left edge a pixel higher. The corners' shared pixels
        // follow the stored rows: on a flipped bitmap the upper corners take
        // the pixels level with their centres, the lower ones give them up.
        {"rounded rectangle",
         figure([](auto b, float a, int m) { RAST_RoundRect(b, 1, 1, 9, 6, 2, kInk, a, m, false); }),
         [](int ia, bool flipped) {
             const Pixels edges = {{3, 1}, {4, 1}, {5, 1}, {6, 1},  {7, 1},  {8, 1},  {2, 7}, {3, 7}, {4, 7}, {5, 7},
                                   {6, 7}, {7, 7}, {8, 7}, {10, 3}, {10, 4}, {10, 5}, {1, 2}, {1, 3}, {1, 4}, {1, 5},
                                   {2, 1}, {1, 2}, {8, 1}, {9, 1},  {10, 2}, {10, 6}, {9, 7}, {8, 7}, {1, 6}, {2, 7}};
             return at(ia, join({edges, flipped ? Pixels{{1, 3}, {10, 3}} : Pixels{{1, 5}, {10, 5}}}));
         }},
    };
    for (const auto& c : cases) expectInAllModes(c.name, 14, 11, c.draw, c.weights);
}

TEST(RasterCircle, SmallRadiiAreStampedFromTheirMasks) {
    // clang-format off
    const unsigned char plain3[49] = {
        0, 0, 255, 255, 255, 0, 0,  0, 255, 0, 0, 0, 255, 0,  255, 0, 0, 0, 0, 0, 255,  255, 0, 0, 0, 0, 0, 255,
        255, 0, 0, 0, 0, 0, 255,  0, 255, 0, 0, 0, 255, 0,  0, 0, 255, 255, 255, 0, 0};
    const unsigned char aa15[16] = {0x4F, 0xFF, 0xFF, 0x4F, 0xFF, 0x0F, 0x0F, 0xFF,
                                    0xFF, 0x0F, 0x0F, 0xFF, 0x4F, 0xFF, 0xFF, 0x4F};
    // clang-format on
    expectSame("plain 3", figure([](auto b, float a, int m) { RAST_Circle(b, 5.6f, 4.2f, 3.0f, kInk, a, m, false); }),
               figure([&](auto b, float a, int m) { RAST_DrawGlyph(b, 2, 1, kInk, plain3, 7, 7, a, m); }));
    expectSame("aa 1.5", figure([](auto b, float a, int m) { RAST_Circle(b, -0.5f, 7, 1.5f, kInk, a, m, true); }),
               figure([&](auto b, float a, int m) { RAST_DrawGlyph(b, -2, 5, kInk, aa15, 4, 4, a, m); }));
    // A whole turn or more of arc is the circle, masks included; the angles
    // come in either order.
    expectSame("whole turn", figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 3, -1, 7, kInk, a, m, true); }),
               figure([](auto b, float a, int m) { RAST_Circle(b, 6, 5, 3, kInk, a, m, true); }));
    expectSame("reversed",
               figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 4.5f, 1.5707964f, 0, kInk, a, m, true); }),
               figure([](auto b, float a, int m) { RAST_Arc(b, 6, 5, 4.5f, 0, 1.5707964f, kInk, a, m, true); }));
    // Radii held to half the smaller side; below 2 a square outline.
    expectSame("corner 1", figure([](auto b, float a, int m) { RAST_RoundRect(b, 1, 1, 9, 6, 1, kInk, a, m, true); }),
               figure([](auto b, float a, int m) { RAST_DrawRect(b, 1, 1, 9, 6, kInk, a, m); }));
    expectSame("corner 10 of 12 wide",
               figure([](auto b, float a, int m) { RAST_RoundRect(b, 1, -15, 12, 40, 10, kInk, a, m, true); }),
               figure([](auto b, float a, int m) { RAST_RoundRect(b, 1, -15, 12, 40, 6, kInk, a, m, true); }));
    expectSame("corner 3 of 3 high",
               figure([](auto b, float a, int m) { RAST_RoundRect(b, -3, 2, 20, 3, 3, kInk, a, m, true); }),
               figure([](auto b, float a, int m) { RAST_DrawRect(b, -3, 2, 20, 3, kInk, a, m); }));
}

TEST(RasterCircle, CopyShortcutsAndRingWeights) {
    auto copied = [](unsigned p, unsigned c, int w) { return combine(p, 0, c, w), p; };
    auto average = [](unsigned d, unsigned c) {
        unsigned v = 0;
        for (int s = 0; s < 32; s += 8) v |= (((d >> s & 255) + (c >> s & 255)) >> 1) << s;
        return v;
    };
    GuardedBitmap bm(14, 11), half(14, 11), paper(14, 11);
    RAST_Circle(&bm, 6, 5, 4.2f, kInk, 1.0f, 0x10000, false);  // the source-alpha flag is not read
    RAST_Circle(&half, 6, 5, 4.2f, kInk, 0.5f, 0, false);      // byte by byte (d + c) >> 1
    EXPECT_EQ(bm.at(6, 1), kInk);
    EXPECT_EQ(half.at(6, 9), average(paper.at(6, 9), kInk));
    // r = 5.25 at full weight: the outer axis pixel at 6 takes 64, the inner at 5 takes 192.
    GuardedBitmap ring(14, 13), blank(14, 13);
    RAST_Circle(&ring, 6, 6, 5.25f, 0xFFFFFFFFu, 1.0f, 0, true);
    EXPECT_EQ(ring.at(6, 0), copied(blank.at(6, 0), 0xFFFFFFFFu, 64));
    EXPECT_EQ(ring.at(6, 1), copied(blank.at(6, 1), 0xFFFFFFFFu, 192));
    EXPECT_EQ(ring.at(12, 6), copied(blank.at(12, 6), 0xFFFFFFFFu, 64));
    EXPECT_TRUE(bm.guardIntact() && half.guardIntact() && ring.guardIntact());
}

TEST(RasterCircle, AHugeCircleIsWalkedOnlyWhereItShows) {
    // A window onto a radius 700 circle and disc, drawn whole on a big bitmap
    // and through small bitmaps placed over its top, side, diagonal and centre.
    for (bool aa : {false, true})
        for (bool filled : {false, true}) {
            auto draw = [&](RAST_IBitmap* b, float cx, float cy) {
                (filled ? RAST_FillCircle : RAST_Circle)(b, cx, cy, 700.4f, kInk, 0.7f, 1, aa);
            };
            auto whole = std::make_unique<RAST_MemBitmap>(1402, 1402, 4);
            for (int y = 0; y < 1402; y++)
                for (int x = 0; x < whole->getRowSpan(); x++) whole->getBits()[y * whole->getRowSpan() + x] = 0;
            draw(whole.get(), 700.5f, 700.5f);
            for (auto [ox, oy] : {std::pair{680, 0}, {1370, 690}, {1180, 190}, {690, 690}, {0, 1378}}) {
                GuardedBitmap window(31, 23);
                for (int y = 0; y < 23; y++)
                    for (int x = 0; x < 31; x++) window.at(x, y) = 0;
                draw(&window, 700.5f - ox, 700.5f - oy);
                for (int y = 0; y < 23; y++)
                    for (int x = 0; x < 31; x++)
                        ASSERT_EQ(window.at(x, y), whole->getBits()[(oy + y) * whole->getRowSpan() + ox + x])
                            << aa << filled << " window " << ox << "," << oy << " at " << x << "," << y;
                EXPECT_TRUE(window.guardIntact());
            }
        }
    // A radius of 2^30 through a small bitmap returns at once; so do
    // coordinates that are not numbers or lie beyond 2^30.
    GuardedBitmap bm(14, 11);
    RAST_Circle(&bm, 7, 1073741820.0f, 1073741800.0f, kInk, 1.0f, 1, true);
    RAST_FillCircle(&bm, -1073741800.0f, 5, 1073741800.0f, kInk, 1.0f, 1, false);
    RAST_Arc(&bm, 7, 1073741820.0f, 1073741800.0f, -1, 1, kInk, 1.0f, 1, false);
    EXPECT_TRUE(bm.guardIntact());
    GuardedBitmap still(14, 11), paper(14, 11);
    RAST_Circle(&still, std::nanf(""), 5, 3.3f, kInk, 1.0f, 0, true);
    RAST_FillCircle(&still, 5, 5, 3e9f, kInk, 1.0f, 0, true);
    RAST_Arc(&still, 5, 5, 3.3f, std::nanf(""), 1, kInk, 1.0f, 0, true);
    RAST_RoundRect(&still, 1, 1, INFINITY, 5, 3, kInk, 1.0f, 0, true);
    for (int y = 0; y < 11; y++)
        for (int x = 0; x < 14; x++) ASSERT_EQ(still.at(x, y), paper.at(x, y));
}
