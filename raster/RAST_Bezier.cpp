#include "raster/RAST_Bezier.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

// The end of piece k of a walk: the whole part of the cubic c at
// t = t0 + k dt, plus half for the along coordinate, as truncToInt gives it.
constexpr int kBlock = 64;
int pieceEnd(const double c[4], double t0, double dt, int k, double plus) {
    const double t = t0 + k * dt;
    return truncToInt((((c[0] * t + c[1]) * t + c[2]) * t + c[3]) + plus);
}
// The ends of the pieces k0 + taken[i], i < count (count <= kBlock), into
// out[i]. The register forms make the same operations as one at a time,
// and convert directly while every end lies in the int range.
void takenEndsOneByOne(const double c[4], double t0, double dt, int k0, const int* taken, int count, double plus,
                       int* out) {
    for (int i = 0; i < count; i++) out[i] = pieceEnd(c, t0, dt, k0 + taken[i], plus);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void takenEndsWide(const double c[4], double t0, double dt, int k0, const int* taken,
                                                   int count, double plus, int* out) {
    const __m256d c0 = _mm256_set1_pd(c[0]), c1 = _mm256_set1_pd(c[1]), c2 = _mm256_set1_pd(c[2]);
    const __m256d c3 = _mm256_set1_pd(c[3]), vt0 = _mm256_set1_pd(t0), vdt = _mm256_set1_pd(dt);
    const __m256d vplus = _mm256_set1_pd(plus), lo = _mm256_set1_pd(INT_MIN), hi = _mm256_set1_pd(INT_MAX);
    const __m128i base = _mm_set1_epi32(k0);
    __m256d in = _mm256_castsi256_pd(_mm256_set1_epi32(-1));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        // Piece numbers below 2^31, exact as doubles.
        const __m256d k = _mm256_cvtepi32_pd(_mm_add_epi32(base, _mm_loadu_si128((const __m128i*)(taken + i))));
        const __m256d t = _mm256_add_pd(vt0, _mm256_mul_pd(k, vdt));
        __m256d x = _mm256_add_pd(_mm256_mul_pd(c0, t), c1);
        x = _mm256_add_pd(_mm256_mul_pd(x, t), c2);
        x = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(x, t), c3), vplus);
        in = _mm256_and_pd(in, _mm256_and_pd(_mm256_cmp_pd(x, lo, _CMP_GE_OQ), _mm256_cmp_pd(x, hi, _CMP_LE_OQ)));
        _mm_storeu_si128((__m128i*)(out + i), _mm256_cvttpd_epi32(x));
    }
    if (_mm256_movemask_pd(in) != 15) return takenEndsOneByOne(c, t0, dt, k0, taken, count, plus, out);
    takenEndsOneByOne(c, t0, dt, k0, taken + i, count - i, plus, out + i);
}
#endif

void takenEnds(const double c[4], double t0, double dt, int k0, const int* taken, int count, double plus, int* out) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (rast_rows::wideRegisters()) return takenEndsWide(c, t0, dt, k0, taken, count, plus, out);
#endif
#if defined(__SSE2__)
    const __m128d c0 = _mm_set1_pd(c[0]), c1 = _mm_set1_pd(c[1]), c2 = _mm_set1_pd(c[2]), c3 = _mm_set1_pd(c[3]);
    const __m128d vt0 = _mm_set1_pd(t0), vdt = _mm_set1_pd(dt), vplus = _mm_set1_pd(plus);
    const __m128d lo = _mm_set1_pd(INT_MIN), hi = _mm_set1_pd(INT_MAX);
    const __m128i base = _mm_set1_epi32(k0);
    __m128d in = _mm_castsi128_pd(_mm_set1_epi32(-1));
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d k = _mm_cvtepi32_pd(_mm_add_epi32(base, _mm_loadl_epi64((const __m128i*)(taken + i))));
        const __m128d t = _mm_add_pd(vt0, _mm_mul_pd(k, vdt));
        __m128d x = _mm_add_pd(_mm_mul_pd(c0, t), c1);
        x = _mm_add_pd(_mm_mul_pd(x, t), c2);
        x = _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, t), c3), vplus);
        in = _mm_and_pd(in, _mm_and_pd(_mm_cmpge_pd(x, lo), _mm_cmple_pd(x, hi)));
        _mm_storel_epi64((__m128i*)(out + i), _mm_cvttpd_epi32(x));
    }
    if (_mm_movemask_pd(in) != 3) return takenEndsOneByOne(c, t0, dt, k0, taken, count, plus, out);
    takenEndsOneByOne(c, t0, dt, k0, taken + i, count - i, plus, out + i);
#else
    takenEndsOneByOne(c, t0, dt, k0, taken, count, plus, out);
#endif
}

// Pieces k0 .. k0 + kBlock - 1.
constexpr std::array<int, kBlock> kEvery = [] {
    std::array<int, kBlock> j{};
    for (int i = 0; i < kBlock; i++) j[(size_t)i] = i;
    return j;
}();
void blockEnds(const double c[4], double t0, double dt, int k0, double plus, int out[kBlock]) {
    takenEnds(c, t0, dt, k0, kEvery.data(), kBlock, plus, out);
}

// The walk of both fills, with across the curve's coordinate that the walk
// steps over (x for a fill to a row) and along the other: each time the
// walk reaches a new column (or row), the piece from the last one is filled.
// The pieces' across ends are worked out a block at a time, their along
// ends then only for the pieces that reach a new column, in registers too.
template <class Piece>
void fillWalk(const RAST_CubicWalk& w, int n, bool byX, Piece piece) {
    const double dt = (w.thi - w.tlo) / n;
    const double ca[4] = {byX ? w.ax : w.ay, byX ? w.bx : w.by, byX ? w.cx : w.cy, byX ? w.dx : w.dy};
    const double cb[4] = {byX ? w.ay : w.ax, byX ? w.by : w.bx, byX ? w.cy : w.cx, byX ? w.dy : w.dx};
    int next = truncToInt(byX ? w.xlo : w.ylo), prev = truncToInt((byX ? w.ylo : w.xlo) + 0.5);
    int a[kBlock], taken[kBlock], along[kBlock];
    for (int k0 = 1; k0 <= n - 2; k0 += kBlock) {
        blockEnds(ca, w.tlo, dt, k0, 0, a);
        // The pieces that reach a new column, picked without a branch; then
        // each of them filled.
        const int m = std::min(kBlock, n - 1 - k0);
        int count = 0;
        for (int j = 0, reach = next; j < m; j++) {
            const bool at = a[j] >= reach;
            taken[count] = j;
            count += at;
            reach = at ? beyond(a[j]) : reach;
        }
        takenEnds(cb, w.tlo, dt, k0, taken, count, 0.5, along);
        for (int i = 0; i < count; i++) {
            const int j = taken[i], b = along[i];
            piece(next, prev, a[j], b);
            next = beyond(a[j]), prev = b;
        }
    }
    const int last = truncToInt((byX ? w.xhi : w.yhi) - 1.0);
    if (last >= next) piece(next, prev, last, truncToInt((byX ? w.yhi : w.xhi) + 0.5));
}

}  // namespace

namespace {

// The one-column pieces of a fill to a row. An opaque copy stores the union
// of their vertical lines as rectangles of whole rows; other modes draw the
// lines. Every line of a fill reaches the fill row, so the lines of
// neighbouring columns share that row (once clipped, the nearest row of the
// bitmap), the anchor: above it their union is a histogram of the lines'
// tops standing on it, below it one of their bottoms hanging from it. A
// histogram is cut into rectangles column by column as the lines come, on a
// stack of the levels still open. A line that missed the anchor would be
// stored on its own: one colour stored twice over is the same picture.
class ColumnPieces {
public:
    ColumnPieces(RAST_IBitmap* dest, int fillRow, unsigned int colour, float alpha, int mode)
        : m_s(dest), m_dest(dest), m_colour(colour), m_alpha(alpha), m_mode(mode) {
        m_stores = (mode & RAST_MODE_MASK) == RAST_MODE_COPY && (alpha == 1.0f || RAST_AlphaToInt(alpha) == 256) &&
                   !m_s.empty() && m_s.height > 0;
        // Only a store has an anchor, in rows the bitmap has.
        if (!m_stores) return;
        const int64_t f = m_s.flipped ? (int64_t)m_s.height - 1 - fillRow : fillRow;
        m_anchor = std::clamp<int64_t>(f, 0, m_s.height - 1);
        // Bars stand on distinct levels and columns: no more of them than
        // the smaller side, and no reallocation on the way.
        const size_t most = (size_t)std::min(m_s.width, m_s.height) + 1;
        m_up.reserve(most), m_down.reserve(most);
    }
    ~ColumnPieces() { end(); }
    // The line of column x from row y1 to y2, as RAST_Line draws it. Kept
    // out of the walk's loop, whose registers it would otherwise crowd.
    __attribute__((noinline)) void add(int x, int y1, int y2) {
        if (!m_stores) return RAST_Line(m_dest, x, y1, x, y2, m_colour, m_alpha, m_mode, false);
        if (x != m_next) end(), m_next = x;
        int64_t a = std::min(y1, y2), b = std::max(y1, y2);
        if (m_s.flipped) std::swap(a, b), a = (int64_t)m_s.height - 1 - a, b = (int64_t)m_s.height - 1 - b;
        // As the line's clip.
        if ((unsigned)x >= (unsigned)m_s.width || b - a > INT32_MAX) return end();
        const int64_t top = std::max<int64_t>(a, 0), bottom = std::min<int64_t>(b, m_s.height - 1);
        if (top > m_anchor || bottom < m_anchor) {
            if (top <= bottom) store(x, x, top, bottom);
            return end();
        }
        above(x, m_anchor - top + 1);
        below(x, bottom - m_anchor);
        m_next = (int64_t)x + 1;
    }

private:
    using Bar = std::pair<int64_t, int64_t>;  // first column, level

    // Columns first..last of stored rows r1..r2.
    void store(int64_t first, int64_t last, int64_t r1, int64_t r2) {
        rast_rows::fillArea({(unsigned char*)(m_s.bits + r1 * m_s.span + first), nullptr, (int)(last - first + 1),
                             (int)(r2 - r1 + 1), (ptrdiff_t)m_s.span * 4, 0},
                            m_colour);
    }
    // Column x of a histogram at level h: the bars above h end at x - 1 and
    // go out as emit(first, last, from, to), for the levels above from up to
    // to; a level above the last bar's opens a bar at x.
    template <class Emit>
    void step(std::vector<Bar>& bars, int64_t x, int64_t h, Emit emit) {
        int64_t start = x;
        while (!bars.empty() && bars.back().second > h) {
            const Bar bar = bars.back();
            bars.pop_back();
            emit(bar.first, x - 1, std::max(h, bars.empty() ? 0 : bars.back().second), bar.second);
            start = bar.first;
        }
        if (h > 0 && (bars.empty() || bars.back().second < h)) bars.push_back({start, h});
    }
    // Level h of column x above the anchor (the anchor row being level 1)
    // and below it.
    void above(int64_t x, int64_t h) {
        step(m_up, x, h, [&](int64_t first, int64_t last, int64_t from, int64_t to) {
            store(first, last, m_anchor - to + 1, m_anchor - from);
        });
    }
    void below(int64_t x, int64_t h) {
        step(m_down, x, h, [&](int64_t first, int64_t last, int64_t from, int64_t to) {
            store(first, last, m_anchor + from + 1, m_anchor + to);
        });
    }
    // Closes both histograms at the column after the last.
    void end() { above(m_next, 0), below(m_next, 0); }

    const rast_detail::Surface m_s;
    RAST_IBitmap* m_dest;
    unsigned int m_colour;
    float m_alpha;
    int m_mode;
    bool m_stores;
    int64_t m_anchor = 0, m_next = INT64_MIN;
    std::vector<Bar> m_up, m_down;
};

}  // namespace

void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, unsigned int colour, float alpha, int mode,
                      float tolerance) {
    RAST_CubicWalk w;
    const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tolerance, true, w);
    if (!n) return;
    ColumnPieces columns(dest, yfill, colour, alpha, mode);
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
