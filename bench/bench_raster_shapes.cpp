// The raster figures against cairo (lines, circles, a curve and its fill) and
// pixman (a rotated bitmap), on the panel's 1100x700 surface. Each peer draws
// the same figures one call at a time, as the panel does, and is first
// checked against ours pixel by pixel, both drawn by the calls that are
// timed.
#include "bench/bench_raster_shapes.h"
#include "bench/wide_rows.h"

#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

unsigned circleColour(int r);

struct Canvas {
    RAST_MemBitmap bm{kW, kH, 4};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* none = make(CAIRO_ANTIALIAS_NONE);
    cairo_t* smooth = make(CAIRO_ANTIALIAS_DEFAULT);
    std::vector<int> lines;  // x1, y1, x2, y2 per line
    // The colours as cairo's sources, made once as a caller would keep them.
    cairo_pattern_t* lineSource = source(kColour);
    std::vector<cairo_pattern_t*> circleSources;

    Canvas() {
        std::mt19937 rng(21);
        for (int i = 0; i < kLines; i++)
            lines.insert(lines.end(), {(int)(rng() % kW), (int)(rng() % kH), (int)(rng() % kW), (int)(rng() % kH)});
        for (int r = 0; r <= 100; r++) circleSources.push_back(source(circleColour(r)));
        cairo_set_source(none, lineSource);
        cairo_set_source(smooth, lineSource);
    }
    static cairo_pattern_t* source(unsigned colour) {
        return cairo_pattern_create_rgb(RAST_PixelRed(colour) / 255.0, RAST_PixelGreen(colour) / 255.0,
                                        RAST_PixelBlue(colour) / 255.0);
    }
    cairo_t* make(cairo_antialias_t aa) {
        cairo_t* cr = cairo_create(surface);
        cairo_set_antialias(cr, aa);
        cairo_set_line_width(cr, 1.0);
        cairo_set_tolerance(cr, 1.0);
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

// Radii 100 down to 3 spread over the panel, each in its own colour: no
// circle hides under a larger one drawn later, so one left out or drawn
// elsewhere shows in the picture.
constexpr int kCircles = 98;
float circleX(int r) { return (float)(110 + (r * 37) % 880); }
float circleY(int r) { return (float)(110 + (r * 53) % 480); }
unsigned circleColour(int r) { return RAST_MakePixel(255, 0x40 + r * 67 % 0xC0, 0x40 + r * 29 % 0xC0, 0xFF); }
void rastCircles(bool filled, bool aa) {
    for (int r = 100; r >= 3; r--)
        (filled ? RAST_FillCircle : RAST_Circle)(&C().bm, circleX(r), circleY(r), (float)r, circleColour(r), 1.0f, 0,
                                                 aa);
}
void cairoCircles(cairo_t* cr, bool filled) {
    for (int r = 100; r >= 3; r--) {
        cairo_set_source(cr, C().circleSources[(size_t)r]);
        cairo_new_sub_path(cr);
        cairo_arc(cr, circleX(r) + 0.5, circleY(r) + 0.5, filled ? r + 0.5 : r, 0, 2 * std::numbers::pi);
        filled ? cairo_fill(cr) : cairo_stroke(cr);
    }
    cairo_set_source(cr, C().lineSource);
}

// A cubic across the panel, and the area between it and the row 650.
const float kCurve[8] = {50, 600, 350, 50, 750, 650, 1050, 100};
void cairoCurve(cairo_t* cr, bool fill) {
    cairo_move_to(cr, kCurve[0] + 0.5, kCurve[1] + 0.5);
    cairo_curve_to(cr, kCurve[2] + 0.5, kCurve[3] + 0.5, kCurve[4] + 0.5, kCurve[5] + 0.5, kCurve[6] + 0.5,
                   kCurve[7] + 0.5);
    if (!fill) return cairo_stroke(cr);
    cairo_line_to(cr, kCurve[6] + 0.5, 651);
    cairo_line_to(cr, kCurve[0] + 0.5, 651);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void rastCurve(bool fill) {
    const float* k = kCurve;
    if (fill)
        RAST_FillCBezier(&C().bm, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], 650, kColour, 1.0f, 0, 1);
    else
        RAST_DrawCBezier(&C().bm, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], kColour, 1.0f, 0, true, 1);
}

// The curve's fill as its pixels stored alone: as many as it covers
// (counted once), in whole rows across the curve's width standing on the
// fill's row, by the plain fill.
void curveFillPixelsAlone() {
    static const int rows = [] {
        RAST_Clear(&C().bm, 0);
        rastCurve(true);
        long n = 0;
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) n += C().bm.getBits()[(size_t)y * C().bm.getRowSpan() + x] == kColour;
        return (int)(n / (int)(kCurve[6] - kCurve[0] + 1));
    }();
    RAST_FillRect(&C().bm, (int)kCurve[0], 651 - rows, (int)(kCurve[6] - kCurve[0] + 1), rows, kColour, 1.0f, 0);
}

// A translucent 75 x 75 knob face turned by 30 degrees about its centre.
// Pixman's source and panel are memory bitmaps of the same sizes as ours,
// so that both draw rows of the same alignment and span.
struct Rotation {
    RAST_MemBitmap face{kSide, kSide, 4};
    RAST_MemBitmap premultiplied{kSide, kSide, 4};
    RAST_MemBitmap panel{kW, kH, 4};
    pixman_image_t* src = nullptr;
    pixman_image_t* dst = nullptr;
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
                premultiplied.getBits()[y * premultiplied.getRowSpan() + x] =
                    (uint32_t)a << 24 | m(v) << 16 | m(v / 2) << 8 | m(255 - v);
            }
        clearPanel();
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, premultiplied.getBits(),
                                       premultiplied.getRowSpan() * 4);
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, panel.getBits(), panel.getRowSpan() * 4);
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
    void clearPanel() { RAST_Clear(&panel, 0xFF303030u); }
};

Rotation& R() {
    static Rotation r;
    return r;
}

// A picture's colours, 0xRRGGBB row by row: ours, cairo's and pixman's
// panels as the figures left them.
using Colours = std::vector<uint32_t>;
Colours oursColours() {
    Colours v((size_t)kW * kH);
    RAST_MemBitmap& bm = C().bm;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            const unsigned p = bm.getBits()[(size_t)y * bm.getRowSpan() + x];
            v[(size_t)y * kW + x] = RAST_PixelRed(p) << 16 | RAST_PixelGreen(p) << 8 | RAST_PixelBlue(p);
        }
    return v;
}
Colours cairoColours() {
    cairo_surface_flush(C().surface);
    const unsigned char* data = cairo_image_surface_get_data(C().surface);
    const int stride = cairo_image_surface_get_stride(C().surface);
    Colours v((size_t)kW * kH);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            v[(size_t)y * kW + x] = reinterpret_cast<const uint32_t*>(data + (size_t)y * stride)[x] & 0xFFFFFFu;
    return v;
}
Colours pixmanColours() {
    RAST_MemBitmap& bm = R().panel;
    Colours v((size_t)kW * kH);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) v[(size_t)y * kW + x] = bm.getBits()[(size_t)y * bm.getRowSpan() + x] & 0xFFFFFFu;
    return v;
}

int colourDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs((int)(a >> shift & 255) - (int)(b >> shift & 255)));
    return worst;
}

// How a picture is held to its peer's, pixel by pixel: a pixel of either
// is off when no pixel of the other within reach (0: the same place; 1:
// the 3 x 3 square around it) has a colour within level / 255 of it in
// every channel. Fills are held at their own places; 1-pixel strokes,
// which each library places by its own rule (ours a pixel a step, cairo
// what the path covers), within a pixel of each other.
//
// A count of pixels cannot see a small figure left out where the two
// libraries differ by more pixels than it has, so figures that come many
// to a picture are also looked for one by one: each has a few probes,
// points on it in either picture. A probe finds a figure where its colour
// (within probeLevel / 255) lies within a pixel; a figure drawn in one
// picture, where most of its probes find it, must be found by two of them
// in the other (the figures drawn over it may hide the rest). Probes on a
// stroke meet its rim, whose colours the two libraries weigh by their own
// rules; probes inside a disc meet its own colour in both.
struct Probe {
    int x, y;
    uint32_t colour;  // 0xRRGGBB
};
using Figures = std::vector<std::vector<Probe>>;
struct PixelRule {
    int reach, level, pixels;  // pixels: how many may be off
    Figures (*figures)() = nullptr;
    int probeLevel = -1;  // -1: level
};

int pixelsOff(const Colours& a, const Colours& b, int reach, int level) {
    int off = 0;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            bool nearA = false, nearB = false;
            const uint32_t ca = a[(size_t)y * kW + x], cb = b[(size_t)y * kW + x];
            for (int v = std::max(y - reach, 0); v <= std::min(y + reach, kH - 1); v++)
                for (int u = std::max(x - reach, 0); u <= std::min(x + reach, kW - 1); u++) {
                    nearA = nearA || colourDistance(ca, b[(size_t)v * kW + u]) <= level;
                    nearB = nearB || colourDistance(cb, a[(size_t)v * kW + u]) <= level;
                }
            off += !nearA || !nearB;
        }
    return off;
}

uint32_t rgb(unsigned colour) {
    return RAST_PixelRed(colour) << 16 | RAST_PixelGreen(colour) << 8 | RAST_PixelBlue(colour);
}

// Each line at a quarter, half and three quarters of its length.
Figures lineFigures() {
    const std::vector<int>& l = C().lines;
    Figures f;
    for (size_t i = 0; i < l.size(); i += 4) {
        std::vector<Probe> probes;
        for (int q = 1; q <= 3; q++)
            probes.push_back({(int)std::lround(l[i] + (l[i + 2] - l[i]) * q / 4.0),
                              (int)std::lround(l[i + 1] + (l[i + 3] - l[i + 1]) * q / 4.0), rgb(kColour)});
        f.push_back(probes);
    }
    return f;
}
// Each circle at its four outermost points; each disc at its centre and at
// eight points on each of two rings inside its rim.
Figures circleFigures(bool filled) {
    Figures f;
    for (int r = 100; r >= 3; r--) {
        const int x = (int)circleX(r), y = (int)circleY(r);
        std::vector<Probe> probes;
        if (!filled) {
            probes = {{x + r, y, 0}, {x - r, y, 0}, {x, y + r, 0}, {x, y - r, 0}};
        } else {
            probes.push_back({x, y, 0});
            for (const int d : {r / 2, std::max(r - 2, 1)})
                for (int k = 0; k < 8; k++) {
                    const double a = k * std::numbers::pi / 4;
                    probes.push_back(
                        {x + (int)std::lround(d * std::cos(a) * 0.9), y + (int)std::lround(d * std::sin(a) * 0.9), 0});
                }
        }
        for (Probe& p : probes) p.colour = rgb(circleColour(r));
        f.push_back(probes);
    }
    return f;
}
Figures outlineFigures() { return circleFigures(false); }
Figures discFigures() { return circleFigures(true); }

// How many figures are drawn in one picture and not found in the other.
// A probe finds its figure within reach pixels of it. A figure whose
// probes meet its own colour in both pictures (exact) is missing where a
// probe finds it at its very place in one picture and not within two
// pixels in the other; elsewhere, where most of its probes find it within
// a pixel in one picture and fewer than two do in the other.
int figuresMissing(const Colours& a, const Colours& b, const Figures& figures, int level, bool exact) {
    auto found = [&](const Colours& pic, const Probe& p, int reach) {
        for (int y = std::max(p.y - reach, 0); y <= std::min(p.y + reach, kH - 1); y++)
            for (int x = std::max(p.x - reach, 0); x <= std::min(p.x + reach, kW - 1); x++)
                if (colourDistance(pic[(size_t)y * kW + x], p.colour) <= level) return true;
        return false;
    };
    int missing = 0;
    for (const std::vector<Probe>& probes : figures) {
        size_t inA = 0, inB = 0, alone = 0;
        for (const Probe& p : probes) {
            inA += found(a, p, 1), inB += found(b, p, 1);
            alone += (found(a, p, 0) && !found(b, p, 2)) || (found(b, p, 0) && !found(a, p, 2));
        }
        missing += exact ? alone > 0 : (2 * inA > probes.size() && inB < 2) || (2 * inB > probes.size() && inA < 2);
    }
    return missing;
}

// Both canvases cleared to transparent black, the figures drawn once on
// each by the very calls that are timed.
hvbench::Agreement figuresAgree(const std::function<void()>& ours, const std::function<void()>& peer,
                                const PixelRule& rule) {
    Canvas& c = C();
    RAST_Clear(&c.bm, 0);
    cairo_t* cr = cairo_create(c.surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_destroy(cr);
    ours();
    peer();
    const Colours a = oursColours(), b = cairoColours();
    const int off = pixelsOff(a, b, rule.reach, rule.level);
    char measure[160];
    std::snprintf(measure, sizeof measure, "pixels of either more than %d/255 from every colour of the other's %s",
                  rule.level, rule.reach ? "within 1 px" : "at the same place");
    if (off > rule.pixels || !rule.figures) return {(double)off, (double)rule.pixels, measure};
    const Figures figures = rule.figures();
    const int missing =
        figuresMissing(a, b, figures, rule.probeLevel < 0 ? rule.level : rule.probeLevel, rule.probeLevel >= 0);
    char both[320];
    std::snprintf(both, sizeof both,
                  "of %zu figures drawn in one picture and not found in the other (%s: %d, tolerance %d)",
                  figures.size(), measure, off, rule.pixels);
    return {(double)missing, 0, both};
}

// The turned face on the same grey, ours and pixman's, over the whole
// panel: the largest difference of a colour channel. Single pixels differ
// where the face has sharp steps and at its translucent rim: pixman
// interpolates premultiplied colours, we straight ones, and the two place
// samples a little apart.
hvbench::Agreement rotationAgrees(const std::function<void()>& ours, const std::function<void()>& peer,
                                  const PixelRule& rule) {
    Canvas& c = C();
    Rotation& r = R();
    RAST_Clear(&c.bm, RAST_MakePixel(255, 0x30, 0x30, 0x30));
    r.clearPanel();
    ours();
    peer();
    const Colours a = oursColours(), b = pixmanColours();
    int worst = 0;
    for (size_t i = 0; i < a.size(); i++) worst = std::max(worst, colourDistance(a[i], b[i]));
    return {(double)worst, (double)rule.level, "/255: the largest difference of a colour channel"};
}

// Ours and one peer, the peer checked by check(ours, peer, rule).
using Check = hvbench::Agreement (*)(const std::function<void()>&, const std::function<void()>&, const PixelRule&);
hvbench::Group versus(const char* title, const char* unit, double units, std::function<void()> ours,
                      const char* peerName, std::function<void()> peer, double target, Check check, PixelRule rule) {
    hvbench::Case p{peerName, units, peer, target};
    p.check = [=] { return check(ours, peer, rule); };
    return {title, unit, {{"rast", units, ours}, p}};
}

}  // namespace

std::vector<hvbench::Group> rasterShapeGroups(bool wide) {
    const double circles = kCircles;
    // Plain figures are held to the same colour, anti-aliased ones to
    // within 96/255, where the two weigh a rim pixel's coverage by their
    // own rules. Plain strokes are held within a pixel: lines, which each
    // library places by its own rule, and outlines, which cairo flattens at
    // tolerance 1 into chords up to a pixel inside the arc. How many pixels
    // may be off: about one and a half times what the two differ by now,
    // where a figure 1 px off or left out is off by twice that or more;
    // lines and circles are also looked for one by one, the shortest line
    // being 4 px and the smallest circle of radius 3.
    const PixelRule lines{1, 0, 2000, lineFigures}, smoothLines{0, 96, 1500, lineFigures},
        outlines{1, 0, 150, outlineFigures}, smoothOutlines{1, 96, 150, outlineFigures},
        discs{0, 0, 6000, discFigures, 0}, smoothDiscs{0, 96, 1500, discFigures, 0}, stroke{0, 96, 800},
        fill{0, 0, 700}, turned{0, 40, 0};
    // On 256-bit rows the fill is held to its pixels stored alone, as
    // cairo's time swings from run to run.
    auto fillFloor = [wide](hvbench::Group g) {
        if (!wide) return g;
        g.cases[1].target = 0;
        g.cases.push_back({"its pixels stored alone", 1, curveFillPixelsAlone, 1.65});
        g.note = "held to as many pixels stored in whole rows alone, as cairo's time swings from run to run";
        return g;
    };
    // Lines and circles draw their spans through the same rows at either
    // width: their 128-bit rows are held to their 256-bit ones, which a
    // quarter's slowdown of the narrow rows misses.
    auto figures = [wide](hvbench::Group g) {
        return hvbench::heldToWideRows(std::move(g), wide, 1.12, "128-bit: held to its own 256-bit rows");
    };
    return {
        figures(versus(
            "1000 random 1-px lines, 1100x700", "line", kLines, [] { rastLines(false); },
            "cairo stroke, antialias NONE", [] { cairoLines(C().none); }, 1.0, figuresAgree, lines)),
        figures(versus(
            "1000 random lines, anti-aliased", "line", kLines, [] { rastLines(true); },
            "cairo stroke, antialias DEFAULT", [] { cairoLines(C().smooth); }, 1.0, figuresAgree, smoothLines)),
        figures(versus(
            "circles r = 3..100, outlined", "circle", circles, [] { rastCircles(false, false); },
            "cairo_arc stroke, NONE", [] { cairoCircles(C().none, false); }, 1.0, figuresAgree, outlines)),
        figures(versus(
            "circles r = 3..100, outlined, anti-aliased", "circle", circles, [] { rastCircles(false, true); },
            "cairo_arc stroke, DEFAULT", [] { cairoCircles(C().smooth, false); }, 1.0, figuresAgree, smoothOutlines)),
        figures(versus(
            "circles r = 3..100, filled", "circle", circles, [] { rastCircles(true, false); }, "cairo_arc fill, NONE",
            [] { cairoCircles(C().none, true); }, 1.0, figuresAgree, discs)),
        figures(versus(
            "circles r = 3..100, filled, anti-aliased", "circle", circles, [] { rastCircles(true, true); },
            "cairo_arc fill, DEFAULT", [] { cairoCircles(C().smooth, true); }, 1.0, figuresAgree, smoothDiscs)),
        hvbench::heldToWideRows(
            versus(
                "cubic curve across the panel, tolerance 1", "curve", 1, [] { rastCurve(false); },
                "cairo curve_to stroke, DEFAULT", [] { cairoCurve(C().smooth, false); }, 1.0, figuresAgree, stroke),
            wide, 1.12),
        fillFloor(hvbench::heldToWideRows(
            versus(
                "its fill down to a row", "curve", 1, [] { rastCurve(true); }, "cairo curve_to fill, NONE",
                [] { cairoCurve(C().none, true); }, 1.0, figuresAgree, fill),
            wide, 1.27)),
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
            hvbench::Width{wide}(0.35, 0.46), rotationAgrees, turned),
    };
}
