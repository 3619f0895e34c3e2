// Quadratic and cubic curves, their fills and the curve solvers.
#include <gtest/gtest.h>

#include <cmath>

#include "FigureTestBitmaps.h"
#include "RasterTestBitmaps.h"
#include "raster/RAST_Bezier.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Polygon.h"

using namespace figtest;

namespace {

std::vector<std::pair<int, int>> box(int x0, int x1, int y0, int y1) {
    std::vector<std::pair<int, int>> v;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) v.push_back({x, y});
    return v;
}

}  // namespace

TEST(RasterBezier, PiecesJoinedAndFillsInEveryMode) {
    // A straight quadratic at tolerance 2: four pieces whose joints are drawn
    // twice. A straight cubic at tolerance 3: n = 3 pieces give n - 2 = 1
    // inner point.
    expectInAllModes(
        "quadratic pieces", 12, 9,
        [](RAST_IBitmap* b, float a, int m) { RAST_DrawQBezier(b, 0, 2, 4, 2, 8, 2, kInk, a, m, false, 2); },
        [](int ia, bool) {
            return at(ia, {{2, 2}, {4, 2}, {6, 2}}, at(ia, box(0, 8, 2, 2)));
        });
    expectInAllModes(
        "cubic pieces", 12, 9,
        [](RAST_IBitmap* b, float a, int m) { RAST_DrawCBezier(b, 0, 3, 3, 3, 6, 3, 9, 3, kInk, a, m, false, 3); },
        [](int ia, bool) {
            return at(ia, {{3, 3}}, at(ia, box(0, 9, 3, 3)));
        });
    // x(t) = -4t^3 + 6t^2 + 6t over eight pieces reaches columns 0, 1, 2, 4,
    // 5, 6: one-column pieces fill to the fill row, the two-column piece
    // (polygon) one row past it.
    expectInAllModes(
        "fill to a row", 12, 9,
        [](RAST_IBitmap* b, float a, int m) { RAST_FillCBezier(b, 0, 2, 2, 2, 6, 2, 8, 2, 6, kInk, a, m, 1); },
        [](int ia, bool) { return at(ia, box(3, 4, 2, 7), at(ia, box(0, 2, 2, 6), at(ia, box(5, 7, 2, 6)))); });
    expectInAllModes(
        "fill to a column", 12, 9,
        [](RAST_IBitmap* b, float a, int m) { RAST_FillCBezierX(b, 2, 0, 2, 2, 2, 6, 2, 8, 6, kInk, a, m, 1); },
        [](int ia, bool) { return at(ia, box(2, 7, 3, 4), at(ia, box(2, 6, 0, 2), at(ia, box(2, 6, 5, 7)))); });
    // Starting right of the bitmap: the cut at x = W finds no bracket, so
    // the walk keeps the whole parameter range and fills the rows it meets.
    expectInAllModes(
        "fill to a column from beyond the bitmap", 40, 42,
        [](RAST_IBitmap* b, float a, int m) {
            RAST_FillCBezierX(b, 51, 39, 20, 54, 50, 54, 62, 57, 15, kInk, a, m, 1);
        },
        [](int ia, bool) { return at(ia, box(15, 39, 39, 41)); });
}

TEST(RasterBezier, FillPiecesAreTheNamedPolygons) {
    auto poly = [](std::vector<int> xy) {
        return [xy](RAST_IBitmap* b, float a, int m) {
            std::vector<int> x, y;
            for (size_t i = 0; i < xy.size(); i += 2) x.push_back(xy[i]), y.push_back(xy[i + 1]);
            RAST_FillConvexPolygon(b, x.data(), y.data(), (int)x.size(), kInk, a, m);
        };
    };
    auto piece = [](int x1, int y1, int x2, int y2, int f) {
        return [=](RAST_IBitmap* b, float a, int m) { DoBezierFillSegment(b, x1, y1, x2, y2, f, kInk, a, m); };
    };
    auto line = [](int x1, int y1, int x2, int y2) {
        return [=](RAST_IBitmap* b, float a, int m) { RAST_Line(b, x1, y1, x2, y2, kInk, a, m, false); };
    };
    expectSame("column to the fill row", piece(2, 3, 2, 5, 7), line(2, 3, 2, 7));
    expectSame("column past the fill row", piece(2, 3, 2, 8, 6), line(2, 3, 2, 7));
    expectSame("above the fill row", piece(1, 2, 4, 3, 6), poly({1, 2, 1, 7, 4, 3, 4, 7}));
    expectSame("below the fill row", piece(1, 7, 4, 8, 6), poly({1, 7, 1, 6, 4, 8, 4, 6}));
    expectSame("crossing", piece(0, 2, 8, 8, 5), [](RAST_IBitmap* b, float a, int m) {
        RAST_FillTriangle(b, 0, 2, 0, 6, 4, 6, kInk, a, m);
        RAST_FillTriangle(b, 4, 5, 8, 5, 8, 8, kInk, a, m);
    });
    expectSame("backwards", piece(5, 2, 4, 3, 6), [](RAST_IBitmap*, float, int) {});
    // The transposed piece.
    expectSame(
        "row", [](RAST_IBitmap* b, float a, int m) { DoBezierFillSegmentX(b, 3, 2, 5, 2, 7, kInk, a, m); },
        line(3, 2, 7, 2));
}

TEST(RasterBezier, CurvesCutAtTheEdgesAndInEitherDirection) {
    auto quad = [](float x0, float y0, float xc, float yc, float x1, float y1, bool aa) {
        return [=](RAST_IBitmap* b, float a, int m) { RAST_DrawQBezier(b, x0, y0, xc, yc, x1, y1, kInk, a, m, aa, 1); };
    };
    expectSame("right to left", quad(1, 1, 9, 2, 10, 8, true), quad(10, 8, 9, 2, 1, 1, true));
    // Control midway: x runs straight, y is interpolated straight between the
    // ends; cut at column 0 (t = 0.2, y = 2) and column W - 1 = 11 (t = 0.75).
    expectSame(
        "straight chord",
        [](RAST_IBitmap* b, float a, int m) { RAST_DrawQBezier(b, -4, 0, 6, 5, 16, 10, kInk, a, m, false, 100); },
        [](RAST_IBitmap* b, float a, int m) { RAST_Line(b, 0, 2, 11, 7, kInk, a, m, false); }, 12, 9);
    double t = -1;
    EXPECT_FLOAT_EQ(RAST_Bezier_GetY(0, 5, 10, 0, 5, 10, 2.5f, &t), 2.5f);
    EXPECT_DOUBLE_EQ(t, 0.25);
    EXPECT_FLOAT_EQ(RAST_Bezier_GetY(0, 0, 10, 0, 10, 10, 2.5f, &t), 7.5f);  // t = 0.5
    EXPECT_EQ(RAST_Bezier_GetY(0, 0, 10, 3, 10, 4, -1, &t), 3.0f);
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(RAST_Bezier_GetY(0, 0, 10, 3, 10, 4, 10, &t), 4.0f);
    EXPECT_EQ(t, 1.0);

    // x(t) = 9t: x = 4.5 is met at once by the first bisection.
    float next = 0, slope = 0;
    double lo = 0, hi = 0;
    EXPECT_FLOAT_EQ(RAST_CBezier_GetY(0, 3, 6, 9, 0, 6, 12, 18, 4.5f, &next, &slope, &lo, &hi), 9.0f);
    EXPECT_EQ(lo, 0.5);
    EXPECT_EQ(hi, 0.5 + 1.0 / 256);
    EXPECT_FLOAT_EQ(slope, 2.0f);
    EXPECT_FLOAT_EQ(next, (float)(9 * hi));
    // Outside the curve's columns: an end, and the bracket left as it was.
    for (float x : {-1.0f, 9.0f}) {
        lo = hi = 0.25;
        EXPECT_EQ(RAST_CBezier_GetY(0, 3, 6, 9, 0, 6, 12, 18, x, &next, &slope, &lo, &hi), x < 0 ? 0.0f : 18.0f);
        EXPECT_EQ(next, x < 0 ? 0.0f : 9.0f);
        EXPECT_EQ(slope, 0.0f);
        EXPECT_EQ(lo, 0.25);
        EXPECT_EQ(hi, 0.25);
    }

    // A cubic is cut at x = 0 and x = W, inside the parameter brackets found there.
    GuardedBitmap bm(12, 9);
    RAST_CubicWalk w;
    // Reversed to run left to right, x(t) = 36t - 12: x = 0 at t = 1/3 in
    // [85, 86] / 256, x = 12 at 2/3 in [170, 171] / 256; 84/256 of the
    // polygon's 36 pixels at tolerance 0 (counted as 1) make 11 pieces.
    EXPECT_EQ(CBezPrep(&bm, 24, 4, 12, 4, 0, 4, -12, 4, 0, true, w), 11);
    EXPECT_EQ(w.xlo, 0.0f);
    EXPECT_EQ(w.xhi, 12.0f);
    EXPECT_EQ(w.tlo, 86.0 / 256);
    EXPECT_EQ(w.thi, 170.0 / 256);
    EXPECT_EQ(CBezPrep(&bm, 0, 4, 4, 4, 8, 4, 12, 4, 4, true, w), 3);  // longer pieces, fewer
    EXPECT_EQ(CBezPrep(&bm, 0, 4, 0.1f, 4, 0.2f, 4, 0.3f, 4, 1, true, w), 1);
    EXPECT_EQ(CBezPrep(&bm, 20, 4, 21, 4, 22, 4, 23, 4, 1, true, w), 0);  // right of the bitmap
    EXPECT_EQ(CBezPrep(nullptr, 0, 4, 4, 4, 8, 4, 12, 4, 1, true, w), 0);
}

TEST(RasterBezier, AnOpaqueFillStoresTheSamePixelsRowByRow) {
    // The opaque copy stores its one-column pieces row by row; any other
    // opacity draws them as lines. Both change the same pixels.
    const struct {
        float pts[8];
        int fill;
        float tolerance;
    } cases[] = {{{-5, 25, 10, -20, 25, 45, 45, 5}, 15, 1},
                 {{-5, 25, 10, -20, 25, 45, 45, 5}, 15, 6},
                 {{2, 2, 12, 40, 30, -9, 38, 20}, -3, 1},
                 {{2, 2, 12, 40, 30, -9, 38, 20}, 40, 0.5f},
                 // Fill rows far beyond either edge; x running back and forth.
                 {{-5, 25, 10, -20, 25, 45, 45, 5}, -100000, 1},
                 {{2, 2, 12, 40, 30, -9, 38, 20}, 100000, 0.5f},
                 {{1, 3, 60, 28, -30, 2, 36, 26}, 9, 0.5f}};
    for (const auto& c : cases)
        for (bool flipped : {false, true})
            for (bool wide : {true, false}) {
                rasttest::RegisterWidth width(wide);
                GuardedBitmap fast(40, 30, flipped), slow(40, 30, flipped), paper(40, 30, flipped);
                const float* p = c.pts;
                RAST_FillCBezier(&fast, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], c.fill, kInk, 1.0f, 0,
                                 c.tolerance);
                RAST_FillCBezier(&slow, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], c.fill, kInk, 0.9f, 0,
                                 c.tolerance);
                int covered = 0;
                for (int y = 0; y < 30; y++)
                    for (int x = 0; x < 40; x++) {
                        const bool drawn = slow.at(x, y) != paper.at(x, y);
                        covered += drawn;
                        ASSERT_EQ(fast.at(x, y), drawn ? kInk : paper.at(x, y)) << c.fill << " at " << x << "," << y;
                    }
                EXPECT_GT(covered, 100) << c.fill;
                EXPECT_TRUE(fast.guardIntact());
            }
}

TEST(RasterBezier, LongFillsWalkEveryPieceInOrder) {
    // The walk worked out a block of pieces at a time, against the walk one
    // piece at a time: each piece that reaches a new column (a new row for
    // the fill to a column) filled from the last one. Curves of hundreds of
    // pieces, over the bitmap's edges, on both register widths; opaque fills
    // store their lines row by row, the others draw them.
    const struct {
        float pts[8];
        int fill;
        float tolerance;
        bool byX;
    } cases[] = {{{-20, 50, 90, -40, 200, 110, 320, 10}, 30, 0.5f, true},
                 {{5, 5, 250, 70, 40, -30, 290, 55}, 58, 0.3f, true},
                 {{3, -10, 400, 20, -200, 40, 250, 75}, 120, 0.5f, false}};
    for (const auto& c : cases)
        for (bool wide : {true, false})
            for (float alpha : {1.0f, 0.9f}) {
                rasttest::RegisterWidth width(wide);
                GuardedBitmap got(300, 60), want(300, 60);
                const float* p = c.pts;
                (c.byX ? RAST_FillCBezier : RAST_FillCBezierX)(&got, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7],
                                                               c.fill, kInk, alpha, 0, c.tolerance);
                RAST_CubicWalk w;
                const int n = CBezPrep(&want, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], c.tolerance, c.byX, w);
                ASSERT_GT(n, 200);
                int next = (int)(c.byX ? w.xlo : w.ylo), prev = (int)((c.byX ? w.ylo : w.xlo) + 0.5);
                auto piece = [&](int a, int b) {
                    if (c.byX)
                        DoBezierFillSegment(&want, next, prev, a, b, c.fill, kInk, alpha, 0);
                    else
                        DoBezierFillSegmentX(&want, prev, next, b, a, c.fill, kInk, alpha, 0);
                    next = a + 1, prev = b;
                };
                for (int k = 1; k <= n - 2; k++) {
                    const double t = w.tlo + k * ((w.thi - w.tlo) / n);
                    const int a = (int)(c.byX ? w.x(t) : w.y(t));
                    if (a >= next) piece(a, (int)((c.byX ? w.y(t) : w.x(t)) + 0.5));
                }
                if ((int)((c.byX ? w.xhi : w.yhi) - 1.0) >= next)
                    piece((int)((c.byX ? w.xhi : w.yhi) - 1.0), (int)((c.byX ? w.yhi : w.xhi) + 0.5));
                int wrong = 0;
                for (int y = 0; y < 60; y++)
                    for (int x = 0; x < 300; x++)
                        if (got.at(x, y) != want.at(x, y) && wrong++ < 3)
                            ADD_FAILURE() << "curve " << &c - cases << (wide ? " wide" : " narrow") << " alpha "
                                          << alpha << " at " << x << "," << y;
                EXPECT_TRUE(got.guardIntact());
            }
}

TEST(RasterBezier, FarCoordinatesNeitherHangNorOverflow) {
    // Without a cap on the pieces these ask for about 1e60 of them.
    for (float far : {1e30f, -1e30f, 3e38f}) {
        GuardedBitmap bm(12, 9);
        RAST_DrawQBezier(&bm, 0, 0, far, far, 11, 8, kInk, 1.0f, 0, true, 1e-30f);
        RAST_DrawCBezier(&bm, 0, 0, far, -far, -far, far, 11, 8, kInk, 1.0f, 0, true, 1e-30f);
        RAST_FillCBezier(&bm, 0, 0, far, -far, -far, far, 11, 8, 4, kInk, 1.0f, 0, 1e-30f);
        RAST_FillCBezierX(&bm, 0, 0, far, -far, -far, far, 11, 8, 4, kInk, 1.0f, 0, 1e-30f);
        RAST_FillCBezier(&bm, 0, 0, 3, 3, 6, 6, 11, 8, INT_MAX, kInk, 1.0f, 0, 1);
        EXPECT_TRUE(bm.guardIntact());
    }
    RAST_CubicWalk w;
    GuardedBitmap bm(12, 9);
    EXPECT_EQ(CBezPrep(&bm, 0, 0, 1e30f, 1e30f, -1e30f, 1e30f, 11, 8, 1e-30f, true, w), kRastMaxCurvePieces);
    EXPECT_EQ(CBezPrep(&bm, 0, 0, std::nanf(""), 0, 0, 0, 11, 8, 1, true, w), 0);
}
