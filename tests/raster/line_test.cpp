// Lines between whole and sub-pixel positions, dashed lines, the segment
// clippers and rectangle outlines.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "FigureTestBitmaps.h"
#include "raster/RAST_Line.h"

using namespace figtest;

namespace {

// The two weights of an anti-aliased pair whose second pixel has f / 255.
std::pair<int, int> pairAt(int ia, int f) {
    return ia == 256 ? std::pair{255 - f, f} : std::pair{((255 - f) * ia) / 256, (f * ia) / 256};
}
// Adds the pairs {first pixel, second pixel, f}.
Weights pairs(int ia, std::vector<std::tuple<int, int, int, int, int>> list, Weights w = {}) {
    for (auto [x0, y0, x1, y1, f] : list) {
        auto [a, b] = pairAt(ia, f);
        w[{x0, y0}].push_back(a);
        w[{x1, y1}].push_back(b);
    }
    return w;
}
std::vector<std::pair<int, int>> row(int y, int x0, int x1, int step = 1) {
    std::vector<std::pair<int, int>> v;
    for (int x = x0; x <= x1; x += step) v.push_back({x, y});
    return v;
}

struct Case {
    const char* name;
    Draw draw;
    WeightsAt weights;
};

auto line(int x1, int y1, int x2, int y2, bool aa = false) {
    return [=](RAST_IBitmap* b, float a, int m) { RAST_Line(b, x1, y1, x2, y2, kInk, a, m, aa); };
}
auto fline(float x1, float y1, float x2, float y2, bool aa = true) {
    return [=](RAST_IBitmap* b, float a, int m) { RAST_FLine(b, x1, y1, x2, y2, kInk, a, m, aa); };
}
WeightsAt none = [](int, bool) { return Weights{}; };

}  // namespace

TEST(RasterLine, EveryShapeInEveryModePlainAndFlipped) {
    const Case cases[] = {
        {"point", line(3, 4, 3, 4),
         [](int ia, bool) {
             return at(ia, {{3, 4}});
         }},
        {"right to left", line(5, 2, 1, 2), [](int ia, bool) { return at(ia, row(2, 1, 5)); }},
        {"upward", line(2, 6, 2, 1),
         [](int ia, bool) {
             return at(ia, {{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}});
         }},
        {"clipped across", line(-10, 3, 22, 3), [](int ia, bool) { return at(ia, row(3, 0, 11)); }},
        {"left of the bitmap", line(-5, 1, -1, 7), none},
        {"45 degrees", line(6, 1, 2, 5),
         [](int ia, bool) {
             return at(ia, {{6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}});
         }},
        {"45 degrees aa", line(1, 1, 4, 4, true),
         [](int ia, bool) {
             return at(ia / 4, {{2, 1}, {1, 2}, {3, 2}, {2, 3}, {4, 3}, {3, 4}},
                       at(3 * ia / 4, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
         }},
        {"general", line(0, 0, 10, 3),
         [](int ia, bool) {
             return at(ia, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}});
         }},
        {"one in four", line(0, 0, 4, 1),
         [](int ia, bool) {
             return at(ia, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}});
         }},
        {"one in four aa", line(0, 0, 4, 1, true),
         [](int ia, bool) {
             return pairs(ia, {{1, 0, 1, 1, 64}, {3, 1, 3, 0, 64}, {2, 0, 2, 1, 128}}, at(ia, {{0, 0}, {4, 1}}));
         }},
        {"steep aa", line(0, 0, 1, 4, true),
         [](int ia, bool flipped) {
             // The middle pair is taken from the end the line is walked from,
             // the top in stored rows.
             const auto middle = flipped ? std::tuple{1, 2, 0, 2, 128} : std::tuple{0, 2, 1, 2, 128};
             return pairs(ia, {{0, 1, 1, 1, 64}, {1, 3, 0, 3, 64}, middle}, at(ia, {{0, 0}, {1, 4}}));
         }},
        {"two steps aa", line(0, 0, 2, 1, true),
         [](int ia, bool) {
             return pairs(ia, {{1, 0, 1, 1, 128}}, at(ia, {{0, 0}, {2, 1}}));
         }},
        {"float plain", fline(1.9f, 2.9f, 10.2f, 2.1f, false), [](int ia, bool) { return at(ia, row(2, 1, 10)); }},
        {"float point", fline(0.5f, 0.5f, 0.5f, 0.5f), none},
        {"float across", fline(2.0f, 3.5f, 6.0f, 3.5f),
         [](int ia, bool flipped) {
             Weights w;
             for (int x = 2; x <= 6; x++) w = pairs(ia, {{x, flipped ? 4 : 3, x, flipped ? 3 : 4, 128}}, w);
             return w;
         }},
        {"float sloped", fline(1.5f, 1.25f, 7.5f, 4.25f),
         [](int ia, bool flipped) {
             if (flipped)
                 return pairs(ia, {{2, 1, 2, 2, 127},
                                   {3, 1, 3, 2, 255},
                                   {4, 2, 4, 3, 127},
                                   {5, 2, 5, 3, 255},
                                   {6, 3, 6, 4, 127},
                                   {7, 3, 7, 4, 255}});
             return pairs(ia, {{2, 1, 2, 2, 128},
                               {3, 2, 3, 3, 0},
                               {4, 2, 4, 3, 128},
                               {5, 3, 5, 4, 0},
                               {6, 3, 6, 4, 128},
                               {7, 4, 7, 5, 0}});
         }},
        {"rectangle", [](RAST_IBitmap* b, float a, int m) { RAST_DrawRect(b, 3, 2, 5, 3, kInk, a, m); },
         [](int ia, bool) {
             // Each corner ends two of the four lines.
             return at(ia, {{3, 2}, {8, 2}, {8, 5}, {3, 5}},
                       at(ia, {{3, 2},
                               {4, 2},
                               {5, 2},
                               {6, 2},
                               {7, 2},
                               {8, 2},
                               {8, 3},
                               {8, 4},
                               {8, 5},
                               {7, 5},
                               {6, 5},
                               {5, 5},
                               {4, 5},
                               {3, 5},
                               {3, 4},
                               {3, 3}}));
         }},
    };
    for (const Case& c : cases) expectInAllModes(c.name, 12, 9, c.draw, c.weights);
}

TEST(RasterLine, DashesAreDrawnInStoredRows) {
    auto dashed = [](int x1, int y1, int x2, int y2, int on, int off) {
        return [=](RAST_IBitmap* b, float a, int m) { RAST_DashedLine(b, x1, y1, x2, y2, on, off, kInk, a, m, true); };
    };
    const Case cases[] = {
        {"two on two off", dashed(0, 5, 10, 5, 2, 2),
         [](int ia, bool) {
             return at(ia, {{0, 5}, {1, 5}, {4, 5}, {5, 5}, {8, 5}, {9, 5}});
         }},
        {"right to left", dashed(10, 5, 0, 5, 2, 2),
         [](int ia, bool) {
             return at(ia, {{0, 5}, {1, 5}, {4, 5}, {5, 5}, {8, 5}, {9, 5}});
         }},
        {"dotted down", dashed(3, 0, 3, 5, 1, 1),
         [](int ia, bool) {
             return at(ia, {{3, 0}, {3, 2}, {3, 4}});
         }},
        {"clipped", dashed(4, -3, 4, 20, 3, 1),
         [](int ia, bool) {
             return at(ia, {{4, 0}, {4, 1}, {4, 2}, {4, 4}, {4, 5}, {4, 6}});
         }},
        {"sloped", dashed(0, 0, 5, 5, 1, 1), none},
        {"single point", dashed(4, 4, 4, 4, 1, 1), none},
        // Patterns that stand still or go backwards: nothing, not a pattern
        // drawn over itself (or, at on + off 0, for ever).
        {"no dash", dashed(0, 2, 10, 2, 0, 3), none},
        {"negative gap", dashed(0, 2, 10, 2, 3, -1), none},
    };
    for (const Case& c : cases) expectInAllModes(c.name, 12, 9, c.draw, c.weights, true);
}

TEST(RasterLine, CopyShortcutsAndOpacities) {
    GuardedBitmap bm(12, 9);
    const unsigned d = bm.at(1, 2), c = kInk;
    auto half = [](unsigned d, unsigned c) { return ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu); };
    auto q = [](unsigned v) { return (v >> 2) & 0x3F3F3F3Fu; };
    struct Row {
        float alpha;
        int mode;
        unsigned want;
    } rows[] = {
        {1.0f, 0, c},
        {1.0f, 0x10000, c},  // the source-alpha flag is not read
        {1.001f, 0, c},
        {0.5f, 0, half(d, c)},
        {0.25f, 0, q(d) + q(c) + ((d >> 1) & 0x7F7F7F7Fu)},
        {0.75f, 0, q(d) + q(c) + ((c >> 1) & 0x7F7F7F7Fu)},
        {0.003f, 0, d},
        {-0.5f, 0, d},
        {1.0f, 6, d},
        {1.0f, 0xFF, d},
    };
    for (const Row& r : rows) {
        bm.paint();
        RAST_Line(&bm, 1, 2, 6, 2, c, r.alpha, r.mode, false);
        EXPECT_EQ(bm.at(1, 2), r.want) << r.alpha << " " << r.mode;
    }
    // At 0.5 a general line averages byte by byte ((1 + 1) >> 1 = 1), a
    // straight one halves each byte first (0 + 0).
    bm.at(0, 0) = bm.at(0, 8) = 0x01010101u;
    RAST_Line(&bm, 0, 0, 5, 2, 0x01010101u, 0.5f, 0, false);
    RAST_Line(&bm, 0, 8, 5, 8, 0x01010101u, 0.5f, 0, false);
    EXPECT_EQ(bm.at(0, 0), 0x01010101u);
    EXPECT_EQ(bm.at(0, 8), 0u);
    // Opaque 45-degree anti-aliasing mixes whole words: 3/4 on the run, 1/4 beside it.
    bm.paint();
    const unsigned run = bm.at(1, 1), side = bm.at(2, 1);
    RAST_Line(&bm, 1, 1, 3, 3, c, 1.0f, 0, true);
    EXPECT_EQ(bm.at(1, 1), q(run) + q(c) + ((c >> 1) & 0x7F7F7F7Fu));
    EXPECT_EQ(bm.at(2, 1), q(side) + q(c) + ((side >> 1) & 0x7F7F7F7Fu));
    // The opaque dotted line stores the colour.
    bm.paint();
    RAST_DashedLine(&bm, 7, 0, 7, 5, 1, 1, c, 1.0f, 0, false);
    EXPECT_EQ(bm.at(7, 4), c);
    EXPECT_NE(bm.at(7, 5), c);
    EXPECT_TRUE(bm.guardIntact());
}

TEST(RasterLine, FarCoordinatesDrawNothingOrTheirVisiblePart) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    // Differences beyond 32 bits, non-finite or beyond +-2^30 floats: nothing,
    // on the plain and the anti-aliased road alike.
    expectInAllModes("ends 2^32 apart", 12, 9, line(INT_MIN, 5, INT_MAX, 5), none);
    expectInAllModes("ends 2^32 apart, sloped", 12, 9, line(INT_MIN + 10, 0, INT_MAX - 10, 8), none);
    for (bool aa : {false, true}) {
        expectInAllModes("NaN", 12, 9, fline(nan, 1, 5, 1, aa), none);
        expectInAllModes("infinity", 12, 9, fline(-inf, 1, 5, 1, aa), none);
        expectInAllModes("beyond 2^30", 12, 9, fline(-3e9f, 1, 3e9f, 1, aa), none);
    }
    // A far end whose flipped row leaves the int range still clips.
    expectInAllModes("far upward", 12, 9, line(2, -2147483000, 2, 3), [](int ia, bool) {
        return at(ia, {{2, 0}, {2, 1}, {2, 2}, {2, 3}});
    });
}

TEST(RasterLine, Clippers) {
    int x1 = 105, y1 = 105, x2 = 50, y2 = 50;
    EXPECT_TRUE(ClipLine(x1, y1, x2, y2, 100, 100));
    EXPECT_EQ((std::vector{x1, y1, x2, y2}), (std::vector{99, 99, 50, 50}));
    x1 = 0, y1 = 15, x2 = 30, y2 = 15;
    EXPECT_TRUE(RAST_ClipLine(x1, y1, x2, y2, 10, 10, 20, 20));
    EXPECT_EQ((std::vector{x1, y1, x2, y2}), (std::vector{10, 15, 19, 15}));
    x1 = -5, y1 = 0, x2 = -1, y2 = 50;
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 100, 100));
    x1 = INT_MIN, y1 = 5, x2 = INT_MAX, y2 = 5;
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 100, 100));
    x1 = INT_MAX, y1 = 0, x2 = INT_MAX, y2 = 9;  // the rectangle's move stays in 64 bits
    EXPECT_FALSE(RAST_ClipLine(x1, y1, x2, y2, -5, 0, 10, 10));

    float a = 50, b = 10, c = 150, d = 60;
    EXPECT_TRUE(ClipFLine(a, b, c, d, 100, 100));
    EXPECT_EQ(c, 98.0f);
    EXPECT_FLOAT_EQ(d, 34.5f);  // where the segment crosses x = 99
    a = 10, b = 99, c = 50, d = 99;
    EXPECT_FALSE(ClipFLine(a, b, c, d, 100, 100));
    a = std::nanf(""), b = 1, c = 5, d = 1;
    EXPECT_FALSE(ClipFLine(a, b, c, d, 100, 100));
    a = 0, b = 15.5f, c = 30, d = 15.5f;
    EXPECT_TRUE(RAST_ClipFLine(a, b, c, d, 10, 10, 20, 20));
    EXPECT_EQ(a, 10.0f);
    EXPECT_EQ(c, 18.0f);  // one inside the float window's far edge, x < 19
}

TEST(RasterLine, BorderedRectFillsExactlyTheInside) {
    GuardedBitmap bm(12, 9), paper(12, 9);
    RAST_BorderedRect(&bm, 2, 1, 5, 4, 0x11111111u, 0x22222222u, 1.0f, 0);
    for (int y = 0; y < 9; y++)
        for (int x = 0; x < 12; x++) {
            const bool inX = x >= 2 && x <= 7, inY = y >= 1 && y <= 5;
            const bool border = inX && inY && (x == 2 || x == 7 || y == 1 || y == 5);
            const unsigned want = border ? 0x22222222u : inX && inY ? 0x11111111u : paper.at(x, y);
            EXPECT_EQ(bm.at(x, y), want) << x << "," << y;
        }
    EXPECT_TRUE(bm.guardIntact());
}
