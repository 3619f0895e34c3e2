// The anti-aliased figures cover about as much as cairo's for the same
// figure: the summed coverage of a line, a disc and a cubic curve lies
// within 5% of cairo's, pixel centres at cairo's half-pixel positions.
#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <numbers>

#include "raster/RAST_Bezier.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Line.h"

namespace {

constexpr int kW = 201, kH = 161;

// White drawn opaquely onto black: the red bytes are the coverage.
double ours(const std::function<void(RAST_IBitmap*)>& draw) {
    RAST_MemBitmap bm(kW, kH, 4);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) bm.getBits()[y * bm.getRowSpan() + x] = 0;
    draw(&bm);
    double sum = 0;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) sum += RAST_PixelRed(bm.getBits()[y * bm.getRowSpan() + x]) / 255.0;
    return sum;
}

double cairos(const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_line_width(cr, 1.0);
    draw(cr);
    cairo_surface_flush(s);
    const unsigned char* a = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    double sum = 0;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) sum += a[y * stride + x] / 255.0;
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return sum;
}

}  // namespace

TEST(RasterCoverage, AntiAliasedFiguresCoverWhatCairosDo) {
    const unsigned white = 0xFFFFFFFFu;
    const struct {
        const char* name;
        std::function<void(RAST_IBitmap*)> rast;
        std::function<void(cairo_t*)> cairo;
    } cases[] = {
        {"line", [&](RAST_IBitmap* b) { RAST_Line(b, 10, 20, 190, 60, white, 1.0f, 0, true); },
         [](cairo_t* cr) {
             cairo_move_to(cr, 10.5, 20.5);
             cairo_line_to(cr, 190.5, 60.5);
             cairo_stroke(cr);
         }},
        {"float line", [&](RAST_IBitmap* b) { RAST_FLine(b, 10.3f, 140.25f, 190.6f, 101.5f, white, 1.0f, 0, true); },
         [](cairo_t* cr) {
             cairo_move_to(cr, 10.8, 140.75);
             cairo_line_to(cr, 191.1, 102.0);
             cairo_stroke(cr);
         }},
        {"disc", [&](RAST_IBitmap* b) { RAST_FillCircle(b, 100, 80, 60.3f, white, 1.0f, 0, true); },
         [](cairo_t* cr) {
             cairo_arc(cr, 100.5, 80.5, 60.3, 0, 2 * std::numbers::pi);
             cairo_fill(cr);
         }},
        {"cubic",
         [&](RAST_IBitmap* b) { RAST_DrawCBezier(b, 10, 100, 70, 80, 130, 120, 190, 100, white, 1.0f, 0, true, 1); },
         [](cairo_t* cr) {
             cairo_move_to(cr, 10.5, 100.5);
             cairo_curve_to(cr, 70.5, 80.5, 130.5, 120.5, 190.5, 100.5);
             cairo_stroke(cr);
         }},
    };
    for (const auto& c : cases) {
        const double a = ours(c.rast), b = cairos(c.cairo);
        EXPECT_NEAR(a / b, 1.0, 0.05) << c.name << ": " << a << " against cairo's " << b;
    }
}
