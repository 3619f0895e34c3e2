// Rotated, delta and mesh blits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "FigureTestBitmaps.h"
#include "RasterTestBitmaps.h"
#include "raster/RAST_RotatedBlit.h"
#include "raster/RAST_ScaledBlit.h"

using namespace figtest;

namespace {

// The whole picture of a bitmap, in picture rows.
std::vector<unsigned> picture(GuardedBitmap& b) {
    std::vector<unsigned> v;
    for (int y = 0; y < b.getHeight(); y++)
        for (int x = 0; x < b.getWidth(); x++) v.push_back(b.at(x, y));
    return v;
}

}  // namespace

TEST(RasterRotatedBlit, EveryModePlainAndFlipped) {
    // Angle 0, equal rectangles: destination (1 + i, 2 + j) takes source
    // (1 + i, 1 + j), combined at the source's own alpha.
    for (int mode = 0; mode <= 5; mode++)
        for (int flips = 0; flips < 4; flips++) {
            GuardedBitmap src(5, 4, flips & 1), dst(7, 6, flips & 2), want(7, 6, flips & 2);
            src.paint(99);
            RAST_RotatedBlit(&dst, &src, 1, 2, 3, 2, 1, 1, 3, 2, 0, false, kAlpha, mode, 0, 0);
            for (int j = 0; j < 2; j++)
                for (int i = 0; i < 3; i++) combine(want.at(1 + i, 2 + j), mode, src.at(1 + i, 1 + j), 230);
            EXPECT_EQ(picture(dst), picture(want)) << mode << " " << flips;
            EXPECT_TRUE(dst.guardIntact());
        }
}

TEST(RasterRotatedBlit, QuarterTurnAndOffsets) {
    GuardedBitmap src(4, 4), dst(4, 4), paper(4, 4);
    src.paint(7);
    // The quarter turn's deltas truncate to 65535: column 0 samples row 4 and
    // stays, column i shows row 4 - i, row j column j - 1 (row 0 column 0).
    RAST_RotatedBlit(&dst, &src, 0, 0, 4, 4, 0, 0, 4, 4, 1.5707964f, false, 1.0f, 0, 0, 0);
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(dst.at(i, j), i ? src.at(std::max(j - 1, 0), 4 - i) : paper.at(i, j)) << i << "," << j;

    // An offset of -1 samples one column left: column 0 of the bitmap lies
    // outside the source rectangle (1, 1, 2, 2), so it shows only without
    // the clip to the source.
    for (bool clip : {false, true}) {
        GuardedBitmap d(4, 4);
        RAST_RotatedBlit(&d, &src, 0, 0, 2, 2, 1, 1, 2, 2, 0, clip, 1.0f, 0, -1, 0);
        EXPECT_EQ(d.at(0, 0), clip ? paper.at(0, 0) : src.at(0, 1));
        EXPECT_EQ(d.at(1, 1), src.at(1, 2));
    }
    // Half a pixel left of the source (s = -0.5) still samples column 0.
    GuardedBitmap d(4, 4);
    RAST_RotatedBlit(&d, &src, 0, 0, 2, 1, 0, 0, 2, 1, 0, false, 1.0f, 0, -0.5f, 0);
    EXPECT_EQ(d.at(0, 0), src.at(0, 0));
    EXPECT_EQ(d.at(1, 0), src.at(0, 0));
    EXPECT_TRUE(dst.guardIntact() && d.guardIntact());
}

TEST(RasterRotatedBlit, BilinearEdgesAndEmptyClips) {
    // A 2 x 2 source doubled: the last column interpolates down only, the
    // last row across only, the corner is copied.
    GuardedBitmap src(2, 2), dst(4, 4);
    const unsigned v[4] = {0, 200, 100, 40};
    for (int i = 0; i < 4; i++) src.at(i % 2, i / 2) = v[i] * 0x01010101u;
    RAST_DeltaBlit(&dst, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.5, 0, 0, 0.5, 0, 0, false, 1.0f, 0x100);
    const unsigned want[16] = {0, 100, 200, 200, 50, 85, 120, 120, 100, 70, 40, 40, 100, 70, 40, 40};
    for (int i = 0; i < 16; i++) EXPECT_EQ(dst.at(i % 4, i / 4), want[i] * 0x01010101u) << i;

    // A source rectangle wholly left of the bitmap clips to nothing: the edge
    // rules would otherwise read column -1 for positions just left of 0.
    for (int filter : {0, 0x100}) {
        GuardedBitmap d(4, 4), paper(4, 4);
        RAST_DeltaBlit(&d, &src, 0, 0, 4, 2, -3, 0, 3, 2, 1, 0, 0, 1, 0, 0, true, 1.0f, filter);
        RAST_DeltaBlit(&d, &src, 0, 0, 4, 2, 0, -3, 2, 3, 0, 1, 1, 0, 0, 0, true, 1.0f, filter);
        RAST_RotatedBlit(&d, &src, 0, 0, 4, 4, 3, 0, -1, 2, 0.3f, true, 1.0f, filter, 0, 0);
        GuardedBitmap none(0, 0);
        RAST_RotatedBlit(&d, &none, 0, 0, 4, 4, 0, 0, 2, 2, 0.3f, false, 1.0f, filter, 0, 0);
        EXPECT_EQ(picture(d), picture(paper));
    }
}

TEST(RasterRotatedBlit, MeshCells) {
    GuardedBitmap src(4, 4);
    src.paint(3);
    // Four corners of the source: one cell, a plain scaling.
    for (int filter : {0, 0x100}) {
        GuardedBitmap a(8, 8), b(8, 8);
        const float mesh[8] = {0, 0, 4, 0, 0, 4, 4, 4};
        RAST_TransformBlit(&a, &src, 0, 0, 8, 8, mesh, 2, 2, 1.0f, filter);
        RAST_ScaledBlit(&b, &src, 0, 0, 8, 8, 0, 0, 4, 4, 1.0f, filter);
        EXPECT_EQ(picture(a), picture(b)) << filter;
    }
    // An identity mesh of 4 x 4 points over 5 rows: cell tops 0, 1, 3 and 4
    // (the float step falls short of 5), so row 4 is never drawn; over 2 rows
    // the first cell row is empty and the others cover both.
    for (int h : {5, 2}) {
        GuardedBitmap d(5, 5), paper(5, 5);
        double mesh[32];
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) mesh[(r * 4 + c) * 2] = c * 5 / 3.0, mesh[(r * 4 + c) * 2 + 1] = r * h / 3.0;
        RAST_TransformBlit2(&d, &src, 0, 0, 5, h, mesh, 4, 4, 1.0f, 0);
        for (int y = 0; y < 5; y++) EXPECT_EQ(d.at(2, y) == paper.at(2, y), y >= std::min(h, 4)) << h << " row " << y;
    }
    // A null mesh, or a mesh of one column, draws nothing.
    GuardedBitmap d(5, 5), paper(5, 5);
    RAST_TransformBlit(&d, &src, 0, 0, 5, 5, nullptr, 2, 2, 1.0f, 0);
    const float line[4] = {0, 0, 0, 4};
    RAST_TransformBlit(&d, &src, 0, 0, 5, 5, line, 1, 2, 1.0f, 0);
    EXPECT_EQ(picture(d), picture(paper));
}

TEST(RasterRotatedBlit, RunsGiveWhatEachPixelGivesAlone) {
    // A whole warp against each of its pixels drawn as a 1 x 1 warp from the
    // position the walk reaches there: the runs, the register form of the
    // interior and the combiners' rows against the single pixel's path.
    // Positions and steps are whole 1/256ths, so both reach the same 16.16
    // values; the warps run over the source's edges.
    const struct {
        double sx, sy, dsdx, dtdx, dsdy, dtdy, d2s;
    } warps[] = {
        {-3.5, 2.25, 0.8671875, -0.5, 0.5, 0.8671875, 0},   // turned about 30 degrees
        {20.75, -4.5, -0.25, 0.96875, -0.96875, -0.25, 0},  // nearly a quarter turn back
        {1.5, 1.5, 1.3125, 0.0625, -0.0625, 1.3125, 0},     // turned a little, scaled down
        {-6.0, 0.5, 0.5, 0.3125, 0.125, 0.625, 0.015625},   // steps that change row by row
        {4.00390625, 3.00390625, 0.75, 0, 0, 0.75, 0},      // last column and row inside
    };
    // A warp of a bitmap into itself reads the pixels it has already
    // written, as one pixel at a time does (the last flips).
    std::mt19937 rng(11);
    for (bool wide : {true, false})
        for (const auto& w : warps)
            for (int mode : {0, 0x100, 0x10100, 0x10000, 0x101, 0x10103, 0x104})
                for (float alpha : {1.0f, 0.6f})
                    for (int flips = 0; flips < 6; flips++) {
                        rasttest::RegisterWidth width(wide);
                        rasttest::VecBitmap source(24, 20, flips & 1);
                        rasttest::fillRandom(source, rng);
                        for (int y = 0; y < 20; y++)  // clear, opaque and translucent pixels
                            for (int x = 0; x < 24; x++) source.at(x, y) &= (x + y) % 3 ? ~0u : 0xFFFFFF00u;
                        rasttest::VecBitmap whole(30, 26, flips & 2), each(30, 26, flips & 2);
                        rasttest::fillRandom(whole, rng);
                        for (int y = 0; y < 26; y++)
                            for (int x = 0; x < 30; x++) each.at(x, y) = whole.at(x, y);
                        const bool inPlace = flips >= 4;
                        RAST_DeltaBlit(&whole, inPlace ? &whole : &source, 2, 1, 27, 24, (float)w.sx, (float)w.sy, 24,
                                       20, w.dsdx, w.dtdx, w.dsdy, w.dtdy, w.d2s, 0, false, alpha, mode);
                        for (int j = 0; j < 24; j++)
                            for (int i = 0; i < 27; i++)
                                RAST_DeltaBlit(&each, inPlace ? &each : &source, 2 + i, 1 + j, 1, 1,
                                               (float)(w.sx + j * w.dsdy + i * (w.dsdx + j * w.d2s)),
                                               (float)(w.sy + j * w.dtdy + i * w.dtdx), 24, 20, w.dsdx, w.dtdx, w.dsdy,
                                               w.dtdy, 0, 0, false, alpha, mode);
                        int wrong = 0;
                        for (int y = 0; y < 26; y++)
                            for (int x = 0; x < 30; x++)
                                if (whole.at(x, y) != each.at(x, y) && wrong++ < 3)
                                    ADD_FAILURE() << "warp " << &w - warps << " mode " << std::hex << mode << " alpha "
                                                  << alpha << " flips " << flips << (wide ? " wide" : " narrow")
                                                  << " at " << std::dec << x << "," << y;
                        EXPECT_TRUE(whole.paddingIntact());
                    }
}

TEST(RasterRotatedBlit, SourcesAboutTheWidestRegisterSpan) {
    // Rows 32764, 32768 and 32800 bytes apart, upright and flipped: the
    // register form takes the spans that fit 16 bits, the others go one by
    // one; both give what each pixel gives alone.
    std::mt19937 rng(5);
    for (bool wide : {true, false})
        for (int sw : {8191, 8192, 8200})
            for (bool flipped : {false, true}) {
                rasttest::RegisterWidth width(wide);
                rasttest::VecBitmap source(sw, 6, flipped, 0);
                rasttest::fillRandom(source, rng);
                rasttest::VecBitmap whole(20, 4, false), each(20, 4, false);
                const double sx = sw - 19.25, sy = 0.5, ds = 0.9375, dt = 0.25;
                RAST_DeltaBlit(&whole, &source, 0, 0, 20, 4, (float)sx, (float)sy, sw, 6, ds, dt, -dt, ds, 0, 0, false,
                               1.0f, 0x100);
                for (int j = 0; j < 4; j++)
                    for (int i = 0; i < 20; i++)
                        RAST_DeltaBlit(&each, &source, i, j, 1, 1, (float)(sx + i * ds - j * dt),
                                       (float)(sy + i * dt + j * ds), sw, 6, ds, dt, -dt, ds, 0, 0, false, 1.0f, 0x100);
                for (int j = 0; j < 4; j++)
                    for (int i = 0; i < 20; i++)
                        ASSERT_EQ(whole.at(i, j), each.at(i, j))
                            << sw << (flipped ? " flipped" : "") << (wide ? " wide" : " narrow") << " at " << i << ","
                            << j;
            }
}
