#include "raster/RAST_Bezier.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>
#include <utility>

#include "raster/RAST_CombineRows.h"
#include "raster/RAST_Geometry.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Polygon.h"

using rast_detail::truncToInt;

namespace {

bool finite(std::initializer_list<float> v) {
    for (float f : v)
        if (!std::isfinite(f)) return false;
    return true;
}

double dist(double x0, double y0, double x1, double y1) { return std::hypot(x1 - x0, y1 - y0); }

// Pieces of about tolerance pixels over a length, at least 1 and never so
// many that far coordinates could hang the walk.
int pieces(double length, float tolerance) {
    if (!(tolerance > 0)) tolerance = 1;
    const double n = std::trunc(length / tolerance);
    return !(n >= 1) ? 1 : n > kRastMaxCurvePieces ? kRastMaxCurvePieces : (int)n;
}

// A row or column one past f toward the curve, held in the int range.
int beyond(int f) { return f == INT_MAX ? f : f + 1; }

}  // namespace

float RAST_Bezier_GetY(float x0, float xctl, float x1, float y0, float yctl, float y1, float x, double* t) {
    double tt;
    float y;
    if (x <= x0) {
        tt = 0, y = y0;
    } else if (x >= x1) {
        tt = 1, y = y1;
    } else {
        const double A = (double)x1 + (-2.0 * xctl + x0);
        if (A == 0) {
            // The control point midway: x runs straight, and so does y.
            tt = x0 == x1 ? 0 : ((double)x - x0) / ((double)x1 - x0);
            y = (float)(y0 + (y1 - y0) * tt);
        } else {
            const double B = 2.0 * ((double)xctl - x0);
            tt = (std::sqrt(B * B - 4 * A * ((double)x0 - x)) - B) / (2 * A);
            y = (float)(y1 * tt * tt + yctl * 2 * (1 - tt) * tt + y0 * (1 - tt) * (1 - tt));
        }
    }
    if (t) *t = tt;
    return y;
}

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      unsigned int colour, float alpha, int mode, bool antialias, float tolerance) {
    if (!dest || !finite({xstart, ystart, xctl, yctl, xend, yend})) return;
    if (xstart > xend) std::swap(xstart, xend), std::swap(ystart, yend);
    const float W = (float)dest->getWidth();
    double tlo = 0, thi = 1;
    float x0 = xstart, y0 = ystart, x1 = xend, y1 = yend;
    if (x0 < 0) x0 = 0, y0 = RAST_Bezier_GetY(xstart, xctl, xend, ystart, yctl, yend, 0, &tlo);
    if (x1 >= W) x1 = W - 1, y1 = RAST_Bezier_GetY(xstart, xctl, xend, ystart, yctl, yend, W - 1, &thi);
    if (x0 > x1) return;
    const int n = pieces((dist(xend, yend, xctl, yctl) + dist(xctl, yctl, xstart, ystart)) * (thi - tlo), tolerance);
    const rast_detail::Surface s(dest);
    if (s.empty()) return;
    float px = x0, py = y0;
    for (int k = 1; k < n; k++) {
        const double t = tlo + k * (thi - tlo) / n, u = 1 - t;
        const float x = (float)(u * u * xstart + 2 * u * t * xctl + t * t * xend);
        const float y = (float)(u * u * ystart + 2 * u * t * yctl + t * t * yend);
        rast_detail::drawFLine(s, px, py, x, y, colour, alpha, mode, antialias);
        px = x, py = y;
    }
    rast_detail::drawFLine(s, px, py, x1, y1, colour, alpha, mode, antialias);
}

namespace {

struct Cubic {
    double a, b, c, d;
    Cubic(double p0, double p1, double p2, double p3) {
        c = 3 * (p1 - p0);
        b = 3 * (p2 - p1) - c;
        a = (p3 - p0) - c - b;
        d = p0;
    }
    double at(double t) const { return ((a * t + b) * t + c) * t + d; }
};

}  // namespace

float RAST_CBezier_GetY(float x0, float x1, float x2, float x3, float y0, float y1, float y2, float y3, float x,
                        float* nextx, float* slope, double* tlo, double* thi) {
    auto out = [&](float nx, float sl) {
        if (nextx) *nextx = nx;
        if (slope) *slope = sl;
    };
    // Outside the curve's columns no bracket is found: the caller's stays.
    if (x < x0) return out(x0, 0), y0;
    if (x >= x3) return out(x3, 0), y3;
    const Cubic cx(x0, x1, x2, x3), cy(y0, y1, y2, y3);
    double lo = 0, hi = 1;
    for (int round = 0; round < 8; round++) {
        const double m = (lo + hi) / 2, xm = cx.at(m);
        if (xm < x) {
            lo = m;
        } else if (xm > x) {
            hi = m;
        } else {
            lo = m, hi = std::min(m + 1.0 / 256, 1.0);
            break;
        }
    }
    const double xl = lo == 0 ? x0 : cx.at(lo), xh = cx.at(hi), yl = cy.at(lo);
    const double s = xh == xl ? 0 : (cy.at(hi) - yl) / (xh - xl);
    out((float)xh, (float)s);
    if (tlo) *tlo = lo;
    if (thi) *thi = hi;
    return (float)(yl + (x - xl) * s);
}

int CBezPrep(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2, float yctl2,
             float xend, float yend, float tolerance, bool sortByX, RAST_CubicWalk& o) {
    if (!dest || !finite({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return 0;
    if (sortByX ? xstart > xend : ystart > yend) {
        std::swap(xstart, xend), std::swap(ystart, yend);
        std::swap(xctl1, xctl2), std::swap(yctl1, yctl2);
    }
    const Cubic cx(xstart, xctl1, xctl2, xend), cy(ystart, yctl1, yctl2, yend);
    o.ax = cx.a, o.bx = cx.b, o.cx = cx.c, o.dx = cx.d;
    o.ay = cy.a, o.by = cy.b, o.cy = cy.c, o.dy = cy.d;
    o.xlo = xstart, o.ylo = ystart, o.xhi = xend, o.yhi = yend;
    o.tlo = 0, o.thi = 1;
    const float W = (float)dest->getWidth();
    auto getY = [&](float x, double* lo, double* hi) {
        return RAST_CBezier_GetY(xstart, xctl1, xctl2, xend, ystart, yctl1, yctl2, yend, x, nullptr, nullptr, lo, hi);
    };
    if (o.xlo < 0) o.xlo = 0, o.ylo = getY(0, nullptr, &o.tlo);
    if (o.xhi > W) o.xhi = W, o.yhi = getY(W, &o.thi, nullptr);
    if (sortByX ? o.xlo > o.xhi : o.ylo > o.yhi) return 0;
    const double polygon =
        dist(xstart, ystart, xctl1, yctl1) + dist(xctl1, yctl1, xctl2, yctl2) + dist(xctl2, yctl2, xend, yend);
    return pieces((o.thi - o.tlo) * polygon, tolerance);
}

void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, unsigned int colour, float alpha, int mode, bool antialias,
                      float tolerance) {
    RAST_CubicWalk w;
    const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tolerance, true, w);
    if (!n) return;
    const rast_detail::Surface s(dest);
    if (s.empty()) return;
    const double dt = (w.thi - w.tlo) / n;
    float px = w.xlo, py = w.ylo;
    for (int k = 1; k <= n - 2; k++) {
        const double t = w.tlo + k * dt;
        const float x = (float)w.x(t), y = (float)w.y(t);
        rast_detail::drawFLine(s, px, py, x, y, colour, alpha, mode, antialias);
        px = x, py = y;
    }
    rast_detail::drawFLine(s, px, py, w.xhi, w.yhi, colour, alpha, mode, antialias);
}

namespace {

// The walk of both fills, with across the curve's coordinate that the walk
// steps over (x for a fill to a row) and along the other: each time the
// walk reaches a new column (or row), the piece from the last one is filled.
template <class Piece>
void fillWalk(const RAST_CubicWalk& w, int n, bool byX, Piece piece) {
    const double dt = (w.thi - w.tlo) / n;
    auto across = [&](double t) { return byX ? w.x(t) : w.y(t); };
    auto along = [&](double t) { return byX ? w.y(t) : w.x(t); };
    int next = truncToInt(byX ? w.xlo : w.ylo), prev = truncToInt((byX ? w.ylo : w.xlo) + 0.5);
    for (int k = 1; k <= n - 2; k++) {
        const double t = w.tlo + k * dt;
        const int a = truncToInt(across(t));
        if (a < next) continue;
        const int b = truncToInt(along(t) + 0.5);
        piece(next, prev, a, b);
        next = a == INT_MAX ? a : a + 1, prev = b;
    }
    const int last = truncToInt((byX ? w.xhi : w.yhi) - 1.0);
    if (last >= next) piece(next, prev, last, truncToInt((byX ? w.yhi : w.xhi) + 0.5));
}

}  // namespace

namespace {

// The one-column pieces of a fill to a row, kept while they follow each
// other column by column. An opaque copy then stores them row by row: a row
// of the union of their vertical lines changes between covered and not only
// where two neighbouring lines differ, so the runs of each row come from
// those changes and are stored whole. The pixels are those of the lines,
// each stored once. Other modes draw the lines.
class ColumnPieces {
public:
    ColumnPieces(RAST_IBitmap* dest, unsigned int colour, float alpha, int mode)
        : m_s(dest), m_dest(dest), m_colour(colour), m_alpha(alpha), m_mode(mode) {
        m_stores = (mode & RAST_MODE_MASK) == RAST_MODE_COPY && (alpha == 1.0f || RAST_AlphaToInt(alpha) == 256);
    }
    ~ColumnPieces() { flush(); }
    // The line of column x from row y1 to y2, as RAST_Line draws it.
    void add(int x, int y1, int y2) {
        if (!m_stores || m_s.empty()) return RAST_Line(m_dest, x, y1, x, y2, m_colour, m_alpha, m_mode, false);
        if (!m_spans.empty() && x != m_first + (int64_t)m_spans.size()) flush();
        if (m_spans.empty()) m_first = x;
        int64_t a = y1, b = y2;
        if (m_s.flipped) a = (int64_t)m_s.height - 1 - a, b = (int64_t)m_s.height - 1 - b;
        const bool drawn = x >= 0 && x < m_s.width && std::abs(b - a) <= INT32_MAX;  // as the line's clip
        m_spans.push_back(
            drawn ? Span{std::max<int64_t>(std::min(a, b), 0), std::min<int64_t>(std::max(a, b), m_s.height - 1)}
                  : Span{1, 0});
    }
    void flush() {
        const int64_t n = (int64_t)m_spans.size();
        int64_t lo = m_s.height, hi = -1;
        for (const Span& sp : m_spans)
            if (sp.first <= sp.second) lo = std::min(lo, sp.first), hi = std::max(hi, sp.second);
        if (lo > hi) return m_spans.clear();
        auto span = [&](int64_t k) { return k < 0 || k >= n ? Span{1, 0} : m_spans[(size_t)k]; };
        // Where the lines of k - 1 and k differ, row by row: a change at
        // column first + k. Counted per row first, then placed.
        m_count.assign((size_t)(hi - lo + 2), 0);
        auto changes = [&](auto emit) {
            for (int64_t k = 0; k <= n; k++) {
                const Span a = span(k - 1), b = span(k);
                auto rows = [&](int64_t from, int64_t to) {
                    for (int64_t r = from; r <= to; r++) emit(r, m_first + k);
                };
                if (a.first > a.second || b.first > b.second || a.second < b.first || b.second < a.first) {
                    rows(a.first, a.second), rows(b.first, b.second);
                } else {
                    rows(std::min(a.first, b.first), std::max(a.first, b.first) - 1);
                    rows(std::min(a.second, b.second) + 1, std::max(a.second, b.second));
                }
            }
        };
        changes([&](int64_t r, int64_t) { m_count[(size_t)(r - lo) + 1]++; });
        for (size_t r = 1; r < m_count.size(); r++) m_count[r] += m_count[r - 1];
        m_at.assign(m_count.begin(), m_count.end() - 1);
        m_changes.resize((size_t)m_count.back());
        changes([&](int64_t r, int64_t c) { m_changes[(size_t)m_at[(size_t)(r - lo)]++] = c; });
        for (int64_t r = lo; r <= hi; r++) {
            unsigned int* row = m_s.bits + r * m_s.span;
            for (int64_t i = m_count[(size_t)(r - lo)]; i + 1 < m_count[(size_t)(r - lo) + 1]; i += 2)
                rast_rows::fillArea({(unsigned char*)(row + m_changes[(size_t)i]), nullptr,
                                     (int)(m_changes[(size_t)i + 1] - m_changes[(size_t)i]), 1, 0, 0},
                                    m_colour);
        }
        m_spans.clear();
    }

private:
    using Span = std::pair<int64_t, int64_t>;  // rows, stored and clipped; empty when first > second
    const rast_detail::Surface m_s;
    RAST_IBitmap* m_dest;
    unsigned int m_colour;
    float m_alpha;
    int m_mode;
    bool m_stores;
    int64_t m_first = 0;
    std::vector<Span> m_spans;
    std::vector<int64_t> m_count, m_at, m_changes;
};

}  // namespace

void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, unsigned int colour, float alpha, int mode,
                      float tolerance) {
    RAST_CubicWalk w;
    const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tolerance, true, w);
    if (!n) return;
    ColumnPieces columns(dest, colour, alpha, mode);
    fillWalk(w, n, true, [&](int x1, int y1, int x2, int y2) {
        if (x1 != x2) return DoBezierFillSegment(dest, x1, y1, x2, y2, yfill, colour, alpha, mode);
        // The one-column piece of DoBezierFillSegment.
        const int e = std::max(y2, yfill);
        columns.add(x2, std::min(y1, yfill), e == yfill ? e : e - 1);
    });
}

void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, unsigned int colour, float alpha, int mode,
                       float tolerance) {
    RAST_CubicWalk w;
    const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tolerance, false, w);
    if (!n) return;
    fillWalk(w, n, false, [&](int y1, int x1, int y2, int x2) {
        DoBezierFillSegmentX(dest, x1, y1, x2, y2, xfill, colour, alpha, mode);
    });
}

namespace {

// DoBezierFillSegment with the axes named for the walk: a and b along and
// across the fill line f. point(a, b) gives the bitmap coordinates.
template <class Point>
void fillPiece(RAST_IBitmap* dest, int a1, int b1, int a2, int b2, int f, unsigned int colour, float alpha, int mode,
               Point point) {
    if (a2 < a1) return;
    auto poly = [&](std::initializer_list<std::pair<int, int>> ab) {
        int x[4], y[4], n = 0;
        for (auto [a, b] : ab) {
            auto [px, py] = point(a, b);
            x[n] = px, y[n] = py, n++;
        }
        RAST_FillConvexPolygon(dest, x, y, n, colour, alpha, mode);
    };
    if (a1 == a2) {
        // One column: from the nearer of the start and the fill line to the
        // farther of the end and the fill line, short of the end.
        const int e = std::max(b2, f);
        auto [x1, y1] = point(a2, std::min(b1, f));
        auto [x2, y2] = point(a2, e == f ? e : e - 1);
        RAST_Line(dest, x1, y1, x2, y2, colour, alpha, mode, false);
    } else if ((b1 < f) == (b2 < f)) {
        const int g = b1 < f ? beyond(f) : f;
        poly({{a1, b1}, {a1, g}, {a2, b2}, {a2, g}});
    } else {
        // The piece crosses the fill line: a triangle on each side.
        const int ac = truncToInt((double)(a2 - (double)a1) * ((double)f - b1) / ((double)b2 - b1)) + a1;
        const int g1 = b1 < f ? beyond(f) : f, g2 = b2 < f ? beyond(f) : f;
        poly({{a1, b1}, {a1, g1}, {ac, g1}});
        poly({{ac, g2}, {a2, g2}, {a2, b2}});
    }
}

}  // namespace

void DoBezierFillSegment(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int f, unsigned int colour, float alpha,
                         int mode) {
    fillPiece(dest, x1, y1, x2, y2, f, colour, alpha, mode, [](int a, int b) { return std::pair{a, b}; });
}

void DoBezierFillSegmentX(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int f, unsigned int colour, float alpha,
                          int mode) {
    fillPiece(dest, y1, x1, y2, x2, f, colour, alpha, mode, [](int a, int b) { return std::pair{b, a}; });
}
