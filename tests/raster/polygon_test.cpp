// Trapezoid, convex polygon and triangle fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "raster/RAST_Polygon.h"

namespace {

struct FlippedBitmap : RAST_MemBitmap {
    using RAST_MemBitmap::RAST_MemBitmap;
    bool isFlipped() override { return true; }
};

constexpr unsigned int kInk = 0xF0A05010u;
constexpr unsigned int kPaper = 0x10203040u;

void fill(RAST_IBitmap& bm, unsigned int v) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.getBits()[y * bm.getRowSpan() + x] = v;
}
unsigned int px(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[y * bm.getRowSpan() + x]; }

using PixelSet = std::set<std::pair<int, int>>;
// Pixels (in memory rows) that are no longer paper.
PixelSet inked(RAST_IBitmap& bm) {
    PixelSet s;
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++)
            if (px(bm, x, y) != kPaper) s.insert({x, y});
    return s;
}

// Fill a fresh 20 x 20 bitmap and report what changed.
template <class Draw>
PixelSet drawn(Draw draw, int w = 20, int h = 20) {
    RAST_MemBitmap bm(w, h, 4);
    fill(bm, kPaper);
    draw(&bm);
    return inked(bm);
}

PixelSet rowsOf(std::vector<std::pair<int, int>> spans, int firstRow) {
    PixelSet s;
    for (size_t i = 0; i < spans.size(); i++)
        for (int x = spans[i].first; x <= spans[i].second; x++) s.insert({x, firstRow + (int)i});
    return s;
}

}  // namespace

TEST(RasterTrapezoid, RowsFollowStraightEdgesInclusiveAtBothEnds) {
    // From 2..5 on row 1 to 2..11 on row 4: the right edge moves 2 a row.
    auto s = drawn([](RAST_IBitmap* b) { RAST_FillTrapezoid(b, 2, 5, 1, 2, 11, 4, kInk, 1.0f, 0); });
    EXPECT_EQ(s, rowsOf({{2, 5}, {2, 7}, {2, 9}, {2, 11}}, 1));
    // Spans given right to left, and the rows in either order, fill the same.
    EXPECT_EQ(s, drawn([](RAST_IBitmap* b) { RAST_FillTrapezoid(b, 5, 2, 1, 11, 2, 4, kInk, 1.0f, 0); }));
    EXPECT_EQ(s, drawn([](RAST_IBitmap* b) { RAST_FillTrapezoid(b, 2, 11, 4, 5, 2, 1, kInk, 1.0f, 0); }));
}

TEST(RasterTrapezoid, OneRowTakesTheFirstSpan) {
    auto s = drawn([](RAST_IBitmap* b) { RAST_FillTrapezoid(b, 3, 6, 7, 0, 19, 7, kInk, 1.0f, 0); });
    EXPECT_EQ(s, rowsOf({{3, 6}}, 7));
    // Cut to the bitmap on both sides.
    s = drawn([](RAST_IBitmap* b) { RAST_FillTrapezoid(b, -5, 40, 0, -5, 40, 0, kInk, 1.0f, 0); });
    EXPECT_EQ(s, rowsOf({{0, 19}}, 0));
}

TEST(RasterTrapezoid, NothingOutsideTheBitmap) {
    auto none = [](int x1a, int x1b, int y1, int x2a, int x2b, int y2) {
        return drawn([&](RAST_IBitmap* b) { RAST_FillTrapezoid(b, x1a, x1b, y1, x2a, x2b, y2, kInk, 1.0f, 0); })
            .empty();
    };
    EXPECT_TRUE(none(-10, -1, 0, -8, -2, 10));  // left
    EXPECT_TRUE(none(20, 30, 0, 25, 26, 10));   // right
    EXPECT_TRUE(none(0, 10, -9, 0, 10, -1));    // above
    EXPECT_TRUE(none(0, 10, 20, 0, 10, 29));    // below
    RAST_FillTrapezoid(nullptr, 0, 1, 0, 0, 1, 1, kInk, 1.0f, 0);
    RAST_MemBitmap empty(0, 0, 4);
    RAST_FillTrapezoid(&empty, 0, 1, 0, 0, 1, 1, kInk, 1.0f, 0);
}

TEST(RasterTrapezoid, CrossingTheTopDrawsWhatAnUnclippedFillWould) {
    // The same trapezoid, 7 rows higher in a bitmap 7 rows shorter.
    RAST_MemBitmap tall(20, 27, 4), cut(20, 20, 4);
    fill(tall, kPaper);
    fill(cut, kPaper);
    RAST_FillTrapezoid(&tall, 3, 4, 0, 1, 17, 26, kInk, 1.0f, 0);
    RAST_FillTrapezoid(&cut, 3, 4, -7, 1, 17, 19, kInk, 1.0f, 0);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) EXPECT_EQ(px(cut, x, y), px(tall, x, y + 7)) << x << "," << y;
}

TEST(RasterTrapezoid, FarAwayEdgesNeitherOverflowNorDrawWrongly) {
    // A very steep and a very long edge clipped from far above: the steps
    // and the skipped rows are worked in 64 bits.
    auto s = drawn(
        [](RAST_IBitmap* b) { RAST_FillTrapezoid(b, -2000000000, 2000000000, -2000000000, 5, 6, 10, kInk, 1.0f, 0); });
    ASSERT_FALSE(s.empty());
    for (auto [x, y] : s) EXPECT_LE(y, 10);
    EXPECT_TRUE(s.count({5, 10}) && s.count({6, 10}));
    s = drawn([](RAST_IBitmap* b) {
        RAST_FillTrapezoid(b, -2147483647 - 1, 2147483647, -2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647,
                           kInk, 1.0f, 0);
    });
    EXPECT_EQ(s.size(), 400u);
}

TEST(RasterTrapezoid, CopyOpacitiesAndModes) {
    RAST_MemBitmap bm(1, 1, 4);
    auto one = [&](float alpha, int mode) {
        fill(bm, kPaper);
        RAST_FillTrapezoid(&bm, 0, 0, 0, 0, 0, 0, kInk, alpha, mode);
        return px(bm, 0, 0);
    };
    auto half = [](unsigned d, unsigned c) { return ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu); };
    auto quarter = [](unsigned d, unsigned c) { return (d >> 2 & 0x3F3F3F3Fu) + (c >> 2 & 0x3F3F3F3Fu); };
    EXPECT_EQ(one(1.0f, 0), kInk);
    EXPECT_EQ(one(1.0f, 0x10000), kInk);  // only the low byte is read
    EXPECT_EQ(one(0.5f, 0), half(kPaper, kInk));
    EXPECT_EQ(one(0.25f, 0), quarter(kPaper, 0) + (kPaper >> 1 & 0x7F7F7F7Fu) + (kInk >> 2 & 0x3F3F3F3Fu));
    EXPECT_EQ(one(0.75f, 0), quarter(kPaper, kInk) + (kInk >> 1 & 0x7F7F7F7Fu));
    // 0.3 = 76/256 through the copy combiner; the alpha byte is a channel too.
    const unsigned v = one(0.3f, 0);
    auto lerp = [](int d, int s) { return s + ((d - s) * (256 - 76)) / 256; };
    EXPECT_EQ(v & 255, (unsigned)lerp(0x40, 0x10));
    EXPECT_EQ(v >> 8 & 255, (unsigned)lerp(0x30, 0x50));
    EXPECT_EQ(v >> 24, (unsigned)lerp(0x10, 0xF0));
    EXPECT_EQ(one(0.0f, 0), kPaper);
    EXPECT_EQ(one(-0.5f, 0), kPaper);
    EXPECT_EQ(one(1.0f, 6), kPaper);
    EXPECT_EQ(one(0.0f, 1), kPaper);
    // Add: red 0x30 + 0x50 = 0x80.
    EXPECT_EQ(one(1.0f, 1) >> 8 & 255, 0x80u);
}

TEST(RasterPolygon, SquaresAndTrianglesFillInclusiveVertices) {
    auto square = drawn([](RAST_IBitmap* b) {
        const int x[4] = {2, 7, 7, 2}, y[4] = {2, 2, 7, 7};
        RAST_FillConvexPolygon(b, x, y, 4, kInk, 1.0f, 0);
    });
    PixelSet expect;
    for (int y = 2; y <= 7; y++)
        for (int x = 2; x <= 7; x++) expect.insert({x, y});
    EXPECT_EQ(square, expect);

    // Right triangle: row y holds columns 0 to 10 - y.
    auto tri = drawn([](RAST_IBitmap* b) { RAST_FillTriangle(b, 0, 0, 10, 0, 0, 10, kInk, 1.0f, 0); });
    std::vector<std::pair<int, int>> spans;
    for (int y = 0; y <= 10; y++) spans.push_back({0, 10 - y});
    EXPECT_EQ(tri, rowsOf(spans, 0));
}

TEST(RasterPolygon, VertexOrderDoesNotMatter) {
    int pts[3][2] = {{3, 1}, {17, 6}, {6, 18}};
    PixelSet first;
    std::vector<int> order = {0, 1, 2};
    do {
        auto s = drawn([&](RAST_IBitmap* b) {
            const auto& p = pts;
            RAST_FillTriangle(b, p[order[0]][0], p[order[0]][1], p[order[1]][0], p[order[1]][1], p[order[2]][0],
                              p[order[2]][1], kInk, 1.0f, 0);
        });
        if (first.empty()) first = s;
        EXPECT_EQ(s, first);
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_GT(first.size(), 60u);
    // Edges step in truncated 16.16, so a lone vertex pixel may stay empty;
    // everything drawn lies within the vertices' box.
    EXPECT_TRUE(first.count({8, 8}));
    for (auto [x, y] : first) EXPECT_TRUE(x >= 3 && x <= 17 && y >= 1 && y <= 18) << x << "," << y;

    // A pentagon given clockwise, counter-clockwise and shuffled.
    const std::vector<std::pair<int, int>> penta = {{10, 1}, {18, 7}, {15, 17}, {5, 17}, {2, 7}};
    auto fillOrder = [&](std::vector<int> idx) {
        return drawn([&](RAST_IBitmap* b) {
            std::vector<int> x, y;
            for (int i : idx) {
                x.push_back(penta[i].first);
                y.push_back(penta[i].second);
            }
            RAST_FillConvexPolygon(b, x.data(), y.data(), 5, kInk, 1.0f, 0);
        });
    };
    const auto p = fillOrder({0, 1, 2, 3, 4});
    EXPECT_EQ(fillOrder({4, 3, 2, 1, 0}), p);
    EXPECT_EQ(fillOrder({2, 0, 4, 1, 3}), p);
    // Symmetric about x = 10.
    for (auto [x, y] : p) EXPECT_TRUE(p.count({20 - x, y})) << x << "," << y;
}

TEST(RasterPolygon, DegenerateInputFillsAtMostOneRow) {
    const int x[3] = {4, 9, 6}, y[3] = {5, 5, 5};
    EXPECT_EQ(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, x, y, 3, kInk, 1.0f, 0); }), rowsOf({{4, 9}}, 5));
    EXPECT_TRUE(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, x, y, 2, kInk, 1.0f, 0); }).empty());
    EXPECT_TRUE(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, nullptr, y, 3, kInk, 1.0f, 0); }).empty());
    // A row wholly left of the bitmap paints nothing, not the first column.
    const int lx[3] = {-9, -3, -5}, ly[3] = {2, 2, 2};
    EXPECT_TRUE(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, lx, ly, 3, kInk, 1.0f, 0); }).empty());
    const int rx[3] = {25, 30, 40};
    EXPECT_TRUE(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, rx, ly, 3, kInk, 1.0f, 0); }).empty());
    // Above or below the bitmap.
    const int ay[3] = {-1, -1, -1};
    EXPECT_TRUE(drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, x, ay, 3, kInk, 1.0f, 0); }).empty());
}

TEST(RasterPolygon, FlippedBitmapsAreMirroredTopToBottom) {
    const int x[3] = {2, 15, 4}, y[3] = {1, 5, 16}, mirroredY[3] = {18, 14, 3};
    RAST_MemBitmap plain(20, 20, 4);
    FlippedBitmap flipped(20, 20, 4);
    fill(plain, kPaper);
    fill(flipped, kPaper);
    // Picture row y of the flipped bitmap is memory row 19 - y.
    RAST_FillConvexPolygon(&plain, x, mirroredY, 3, kInk, 1.0f, 0);
    RAST_FillConvexPolygon(&flipped, x, y, 3, kInk, 1.0f, 0);
    EXPECT_EQ(inked(flipped), inked(plain));
    EXPECT_GT(inked(flipped).size(), 50u);
}

TEST(RasterPolygon, ManyVerticesUseTheHeapAndStillFill) {
    // A 600-gon approximating a circle of radius 8 about (10, 10).
    std::vector<int> x, y;
    for (int i = 0; i < 600; i++) {
        const double t = 2 * M_PI * i / 600;
        x.push_back((int)std::lround(10 + 8 * std::cos(t)));
        y.push_back((int)std::lround(10 + 8 * std::sin(t)));
    }
    auto s = drawn([&](RAST_IBitmap* b) { RAST_FillConvexPolygon(b, x.data(), y.data(), 600, kInk, 1.0f, 0); });
    EXPECT_TRUE(s.count({10, 10}) && s.count({2, 10}) && s.count({18, 10}) && s.count({10, 2}) && s.count({10, 18}));
    for (auto [px_, py] : s) EXPECT_LE((px_ - 10) * (px_ - 10) + (py - 10) * (py - 10), 64 + 16);
    EXPECT_GT(s.size(), 180u);  // about pi x 64
    EXPECT_LT(s.size(), 300u);
}
