// The raster figures against cairo (lines, circles, a curve and its fill) and
// pixman (a rotated bitmap), on the panel's 1100x700 surface. Each peer draws
// the same figures one call at a time, as the panel does, and is first
// checked against ours: the summed coverage of the figures, or the turned
// picture's colours.
#include "bench/bench_raster_shapes.h"

#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "raster/RAST_Bezier.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_RotatedBlit.h"

namespace {

constexpr int kW = 1100, kH = 700, kLines = 1000, kSide = 75;
constexpr unsigned kColour = 0xFF4080C0u;  // opaque: red 0x80, green 0x40, blue 0xFF

struct Canvas {
    RAST_MemBitmap bm{kW, kH, 4};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* none = make(CAIRO_ANTIALIAS_NONE);
    cairo_t* smooth = make(CAIRO_ANTIALIAS_DEFAULT);
    std::vector<int> lines;  // x1, y1, x2, y2 per line

    Canvas() {
        std::mt19937 rng(21);
        for (int i = 0; i < kLines; i++)
            lines.insert(lines.end(), {(int)(rng() % kW), (int)(rng() % kH), (int)(rng() % kW), (int)(rng() % kH)});
    }
    cairo_t* make(cairo_antialias_t aa) {
        cairo_t* cr = cairo_create(surface);
        cairo_set_antialias(cr, aa);
        cairo_set_line_width(cr, 1.0);
        cairo_set_tolerance(cr, 1.0);
        cairo_set_source_rgb(cr, 0x80 / 255.0, 0x40 / 255.0, 1.0);
        return cr;
    }
};

Canvas& C() {
    static Canvas c;
    return c;
}

// Pixel centres lie on cairo's half-pixel positions.
void cairoLines(cairo_t* cr) {
    const std::vector<int>& l = C().lines;
    for (size_t i = 0; i < l.size(); i += 4) {
        cairo_move_to(cr, l[i] + 0.5, l[i + 1] + 0.5);
        cairo_line_to(cr, l[i + 2] + 0.5, l[i + 3] + 0.5);
        cairo_stroke(cr);
    }
}
void rastLines(bool aa) {
    const std::vector<int>& l = C().lines;
    for (size_t i = 0; i < l.size(); i += 4)
        RAST_Line(&C().bm, l[i], l[i + 1], l[i + 2], l[i + 3], kColour, 1.0f, 0, aa);
}

// Radii 3 to 100 spread over the panel.
constexpr int kCircles = 98;
float circleX(int r) { return (float)(110 + (r * 37) % 880); }
float circleY(int r) { return (float)(110 + (r * 53) % 480); }
void rastCircles(bool filled, bool aa) {
    for (int r = 3; r <= 100; r++)
        (filled ? RAST_FillCircle : RAST_Circle)(&C().bm, circleX(r), circleY(r), (float)r, kColour, 1.0f, 0, aa);
}
void cairoCircles(cairo_t* cr, bool filled) {
    for (int r = 3; r <= 100; r++) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, circleX(r) + 0.5, circleY(r) + 0.5, r, 0, 2 * std::numbers::pi);
        filled ? cairo_fill(cr) : cairo_stroke(cr);
    }
}

// A cubic across the panel, and the area between it and the row 650.
const float kCurve[8] = {50, 600, 350, 50, 750, 650, 1050, 100};
void cairoCurve(cairo_t* cr, bool fill) {
    cairo_move_to(cr, kCurve[0] + 0.5, kCurve[1] + 0.5);
    cairo_curve_to(cr, kCurve[2] + 0.5, kCurve[3] + 0.5, kCurve[4] + 0.5, kCurve[5] + 0.5, kCurve[6] + 0.5,
                   kCurve[7] + 0.5);
    if (!fill) return cairo_stroke(cr);
    cairo_line_to(cr, kCurve[6] + 0.5, 650.5);
    cairo_line_to(cr, kCurve[0] + 0.5, 650.5);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// A translucent 75 x 75 knob face turned by 30 degrees about its centre.
struct Rotation {
    RAST_MemBitmap face{kSide, kSide, 4};
    std::vector<uint32_t> premultiplied = std::vector<uint32_t>(kSide * kSide);
    pixman_image_t* src = nullptr;
    pixman_image_t* dst = nullptr;
    std::vector<uint32_t> panel = std::vector<uint32_t>((size_t)kW * kH, 0xFF303030u);
    const float angle = (float)(30 * std::numbers::pi / 180);

    Rotation() {
        const double c = (kSide - 1) / 2.0;
        for (int y = 0; y < kSide; y++)
            for (int x = 0; x < kSide; x++) {
                const double d = std::hypot(x - c, y - c);
                const int a = d < 30 ? 255 : d < 36 ? (int)(255 * (36 - d) / 6) : 0;
                const int v = 60 + (x * 2 + y) % 150;
                face.getBits()[y * face.getRowSpan() + x] = RAST_MakePixel(a, v, v / 2, 255 - v);
                auto m = [a](int ch) { return (uint32_t)((ch * a + 127) / 255); };
                premultiplied[(size_t)y * kSide + x] = (uint32_t)a << 24 | m(v) << 16 | m(v / 2) << 8 | m(255 - v);
            }
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, premultiplied.data(), kSide * 4);
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, panel.data(), kW * 4);
        // Destination to source: about the centre, the other way round.
        pixman_f_transform_t f;
        pixman_f_transform_init_translate(&f, -kSide / 2.0, -kSide / 2.0);
        pixman_f_transform_rotate(&f, nullptr, std::cos(-angle), std::sin(-angle));
        pixman_f_transform_translate(&f, nullptr, kSide / 2.0, kSide / 2.0);
        pixman_transform_t t;
        pixman_transform_from_pixman_f_transform(&t, &f);
        pixman_image_set_transform(src, &t);
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
};

Rotation& R() {
    static Rotation r;
    return r;
}

// Both canvases cleared, the figure drawn once on each: how far our summed
// coverage (the blue bytes, drawn opaquely on black) lies from cairo's, in
// per cent of cairo's. Pixels are placed by other rules (cairo fills what a
// 1-pixel path covers), so the sums, not single pixels, must agree.
hvbench::Agreement coverage(const std::function<void()>& ours, const std::function<void()>& peer, double tolerance) {
    Canvas& c = C();
    RAST_Clear(&c.bm, 0);
    cairo_t* cr = cairo_create(c.surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_destroy(cr);
    ours();
    peer();
    cairo_surface_flush(c.surface);
    const unsigned char* data = cairo_image_surface_get_data(c.surface);
    const int stride = cairo_image_surface_get_stride(c.surface);
    double a = 0, b = 0;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            a += RAST_PixelBlue(c.bm.getBits()[(size_t)y * c.bm.getRowSpan() + x]);
            b += reinterpret_cast<const uint32_t*>(data + (size_t)y * stride)[x] & 255;
        }
    return {b > 0 ? std::fabs(a / b - 1) * 100 : 100, tolerance, "%: how far our summed coverage lies from cairo's"};
}

// The turned face on the same grey, ours and pixman's: the mean difference
// of a colour channel over the 75 x 75 square. Single pixels differ more
// (up to about 33/255) where the face has sharp steps and at its
// translucent rim: pixman interpolates premultiplied colours, we straight
// ones, and the two place samples a little apart.
hvbench::Agreement rotationAgrees(const std::function<void()>& ours, const std::function<void()>& peer,
                                  double tolerance) {
    Canvas& c = C();
    Rotation& r = R();
    RAST_Clear(&c.bm, RAST_MakePixel(255, 0x30, 0x30, 0x30));
    std::fill(r.panel.begin(), r.panel.end(), 0xFF303030u);
    ours();
    peer();
    double sum = 0;
    for (int y = 300; y < 300 + kSide; y++)
        for (int x = 500; x < 500 + kSide; x++) {
            const unsigned p = c.bm.getBits()[(size_t)y * c.bm.getRowSpan() + x];
            const uint32_t q = r.panel[(size_t)y * kW + x];
            sum += std::abs((int)RAST_PixelRed(p) - (int)(q >> 16 & 255)) +
                   std::abs((int)RAST_PixelGreen(p) - (int)(q >> 8 & 255)) +
                   std::abs((int)RAST_PixelBlue(p) - (int)(q & 255));
        }
    return {sum / (3.0 * kSide * kSide), tolerance, "/255: the mean difference of a colour channel"};
}

// Ours and one peer, the peer checked by check(ours, peer, tolerance).
using Check = hvbench::Agreement (*)(const std::function<void()>&, const std::function<void()>&, double);
hvbench::Group versus(const char* title, const char* unit, double units, std::function<void()> ours,
                      const char* peerName, std::function<void()> peer, double target, Check check, double tolerance) {
    hvbench::Case p{peerName, units, peer, target};
    p.check = [=] { return check(ours, peer, tolerance); };
    return {title, unit, {{"rast", units, ours}, p}};
}

}  // namespace

std::vector<hvbench::Group> rasterShapeGroups() {
    const double circles = kCircles;
    // A filled area is the same area by either rule; a 1-pixel stroke is
    // placed by other rules (ours a pixel a step, cairo what the path
    // covers; our curve's short pieces overlap at their joints).
    constexpr double kFills = 2, kStrokes = 12;
    auto curve = [](bool fill) {
        const float* k = kCurve;
        if (fill)
            RAST_FillCBezier(&C().bm, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], 650, kColour, 1.0f, 0, 1);
        else
            RAST_DrawCBezier(&C().bm, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], kColour, 1.0f, 0, true, 1);
    };
    return {
        versus(
            "1000 random 1-px lines, 1100x700", "line", kLines, [] { rastLines(false); },
            "cairo stroke, antialias NONE", [] { cairoLines(C().none); }, 1.0, coverage, kStrokes),
        versus(
            "1000 random lines, anti-aliased", "line", kLines, [] { rastLines(true); },
            "cairo stroke, antialias DEFAULT", [] { cairoLines(C().smooth); }, 1.0, coverage, kStrokes),
        versus(
            "circles r = 3..100, outlined", "circle", circles, [] { rastCircles(false, false); },
            "cairo_arc stroke, NONE", [] { cairoCircles(C().none, false); }, 1.0, coverage, kStrokes),
        versus(
            "circles r = 3..100, outlined, anti-aliased", "circle", circles, [] { rastCircles(false, true); },
            "cairo_arc stroke, DEFAULT", [] { cairoCircles(C().smooth, false); }, 1.0, coverage, kStrokes),
        versus(
            "circles r = 3..100, filled", "circle", circles, [] { rastCircles(true, false); }, "cairo_arc fill, NONE",
            [] { cairoCircles(C().none, true); }, 1.0, coverage, kFills),
        versus(
            "circles r = 3..100, filled, anti-aliased", "circle", circles, [] { rastCircles(true, true); },
            "cairo_arc fill, DEFAULT", [] { cairoCircles(C().smooth, true); }, 1.0, coverage, kFills),
        versus(
            "cubic curve across the panel, tolerance 1", "curve", 1, [=] { curve(false); },
            "cairo curve_to stroke, DEFAULT", [] { cairoCurve(C().smooth, false); }, 1.0, coverage, kStrokes),
        versus(
            "its fill down to a row", "curve", 1, [=] { curve(true); }, "cairo curve_to fill, NONE",
            [] { cairoCurve(C().none, true); }, 1.5, coverage, kFills),
        versus(
            "75x75 rotated 30 deg, bilinear, source alpha", "px", kSide * kSide,
            [] {
                RAST_RotatedBlit(&C().bm, &R().face, 500, 300, kSide, kSide, 0, 0, kSide, kSide, R().angle, false, 1.0f,
                                 0x10100, 0, 0);
            },
            "pixman OVER, rotation transform",
            [] {
                pixman_image_composite32(PIXMAN_OP_OVER, R().src, nullptr, R().dst, 0, 0, 0, 0, 500, 300, kSide, kSide);
            },
            2.0, rotationAgrees, 2),
    };
}
