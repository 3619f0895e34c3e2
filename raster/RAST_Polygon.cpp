#include "raster/RAST_Polygon.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Glyph.h"

namespace {

constexpr double kMaxStep = 536870912.0;  // 2^29 in 16.16: 8192 pixels a row

int clampToInt(int64_t v) { return (int)std::clamp<int64_t>(v, INT_MIN, INT_MAX); }

// Walks the rows of a trapezoid, handing each row's visible run to fill.
template <class RowFn>
inline void walkRows(int width, int span, unsigned int* row, int rows, _RAST_TrapezoidEdges e, RowFn fill) {
    const bool stepping = e.lstep || e.rstep;
    for (; rows > 0; rows--, row += span) {
        const int64_t l = std::max<int64_t>(e.left, 0), r = std::min<int64_t>(e.right, width);
        if (l < r) fill(row + l, (int)(r - l));
        if (!stepping) continue;
        e.lacc += e.lstep;
        if (e.lacc >= 65536) {
            e.left += (int64_t)e.lsign * (e.lacc >> 16);
            e.lacc &= 0xFFFF;
        }
        e.racc += e.rstep;
        if (e.racc >= 65536) {
            e.right += (int64_t)e.rsign * (e.racc >> 16);
            e.racc &= 0xFFFF;
        }
    }
}

}  // namespace

template <class C>
void _RAST_Fill<C>::FillClippedTrapezoid(int width, int span, unsigned int* row, int rows, _RAST_TrapezoidEdges e,
                                         int r, int g, int b, int a, int alpha) {
    walkRows(width, span, row, rows, e, [&](unsigned int* p, int n) {
        for (int i = 0; i < n; i++) C::doPix((unsigned char*)(p + i), r, g, b, a, alpha);
    });
}

template <class C>
void _RAST_FillFast<C>::FillClippedTrapezoidFAST(int width, int span, unsigned int* row, int rows,
                                                 _RAST_TrapezoidEdges e, unsigned int colour) {
    walkRows(width, span, row, rows, e, [&](unsigned int* p, int n) {
        for (int i = 0; i < n; i++) C::doPixWord(p + i, colour);
    });
}

void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, unsigned int colour,
                        float alpha, int mode) {
    rast_detail::Surface s(dest);
    if (s.empty()) return;
    if (y2 < y1) {
        std::swap(y1, y2);
        std::swap(x1a, x2a);
        std::swap(x1b, x2b);
    }
    const int tl = std::min(x1a, x1b), tr = std::max(x1a, x1b);
    const int bl = std::min(x2a, x2b), br = std::max(x2a, x2b);
    const int W = s.width, H = s.height;
    if (tr < 0 && br < 0) return;
    if (tl >= W && bl >= W) return;
    const bool lvert = tl <= 0 && bl <= 0, rvert = tr >= W - 1 && br >= W - 1;
    if (y2 < 0 || y1 >= H) return;

    // Steps in double precision from 64-bit differences: no int overflow for
    // any edge, however far it reaches.
    const double k = y2 == y1 ? 0.0 : 65536.0 / ((double)y2 - (double)y1);
    auto step = [&](bool vert, int from, int to) {
        if (vert) return 0;
        return (int)std::clamp(((double)to - (double)from) * k, -kMaxStep, kMaxStep);
    };
    const int ls = step(lvert, tl, bl), rs = step(rvert, tr, br);
    _RAST_TrapezoidEdges e;
    e.left = lvert ? 0 : tl;
    e.right = rvert ? W - 1 : tr;
    e.lsign = ls < 0 ? -1 : 1;
    e.rsign = rs < 0 ? -1 : 1;
    e.lstep = std::abs(ls);
    e.rstep = std::abs(rs);
    e.lacc = e.racc = 0;
    int top = y1;
    if (top < 0) {
        const int64_t skipped = -(int64_t)top;
        const int64_t lt = (int64_t)e.lstep * skipped, rt = (int64_t)e.rstep * skipped;
        e.left += e.lsign * (lt >> 16);
        e.lacc = (int)(lt & 0xFFFF);
        e.right += e.rsign * (rt >> 16);
        e.racc = (int)(rt & 0xFFFF);
        top = 0;
    }
    const int last = std::min(y2, H - 1);
    const int rows = last - top + 1;
    e.right += 1;

    const int a = RAST_AlphaToInt(alpha);
    const int op = mode & RAST_MODE_MASK;
    unsigned int* row = s.bits + (ptrdiff_t)top * s.span;
    const int r = (colour >> 8) & 255, g = (colour >> 16) & 255, b = colour >> 24, ca = colour & 255;
    auto fast = [&]<class M>() { _RAST_FillFast<M>::FillClippedTrapezoidFAST(W, s.span, row, rows, e, colour); };
    if (op == RAST_MODE_COPY) {
        // Whole-word mixes for the opacities that have one.
        switch (a) {
            case 256:
                return fast.template operator()<_RAST_CombinePixelsClobberFAST>();
            case 128:
                return fast.template operator()<_RAST_CombinePixelsHalfMix2FAST>();
            case 64:
                return fast.template operator()<_RAST_CombinePixelsQuarterMix2FAST>();
            case 192:
                return fast.template operator()<_RAST_CombinePixelsThreeQuarterMix2FAST>();
            default:
                break;
        }
    }
    if (a == 0) return;
    RAST_DispatchColourCombiner(
        op, a, [&]<class C>() { _RAST_Fill<C>::FillClippedTrapezoid(W, s.span, row, rows, e, r, g, b, ca, a); });
}

int _ysort(const void* a, const void* b) {
    const int* p = (const int*)a;
    const int* q = (const int*)b;
    if (p[1] != q[1]) return p[1] < q[1] ? -1 : 1;
    if (p[0] != q[0]) return p[0] < q[0] ? -1 : 1;
    return 0;
}

int FindNextEdgeVertex(int* points, int start, int n, int direction) {
    const int sx = points[2 * start], sy = points[2 * start + 1];
    int taken = -1;
    float takenSlope = 0;
    for (int i = start + 1; i < n; i++) {
        const int y = points[2 * i + 1];
        if (y == sy) continue;
        const float slope = (float)((int64_t)points[2 * i] - sx) / (float)((int64_t)y - sy);
        if (taken < 0 || slope == takenSlope || (direction < 0 ? slope < takenSlope : slope > takenSlope)) {
            taken = i;
            takenSlope = slope;
        }
    }
    return taken < 0 ? start : taken;
}

namespace {

// x of the edge from upper to lower on a row, in single precision.
int edgeX(const int* upper, const int* lower, int64_t row) {
    const int xa = upper[0], ya = upper[1], xe = lower[0], ye = lower[1];
    if (row <= ya) return xa;
    if (row >= ye) return xe;
    const float slope = (float)((int64_t)xe - xa) / (float)((int64_t)ye - ya);
    const float dx = (float)(row - ya) * slope;
    return clampToInt(xa + (int64_t)std::clamp(dx, -4e18f, 4e18f));
}

}  // namespace

void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int n, unsigned int colour, float alpha,
                            int mode) {
    if (!dest || !x || !y || n < 3) return;
    int local[2 * 512];
    int* pts = n <= 512 ? local : (int*)malloc(sizeof(int) * 2 * (size_t)n);
    if (!pts) return;
    const bool flipped = dest->isFlipped();
    const int H = dest->getHeight();
    int minx = INT_MAX, maxx = INT_MIN;
    for (int i = 0; i < n; i++) {
        pts[2 * i] = x[i];
        pts[2 * i + 1] = flipped ? clampToInt((int64_t)H - 1 - y[i]) : y[i];
        minx = std::min(minx, x[i]);
        maxx = std::max(maxx, x[i]);
    }
    qsort(pts, (size_t)n, sizeof(int) * 2, _ysort);
    auto P = [&](int i) { return pts + 2 * i; };

    if (P(0)[1] == P(n - 1)[1]) {
        // Every vertex on one row: the row from the least to the greatest x,
        // which the trapezoid clips (a row wholly left of the bitmap draws
        // nothing).
        const int row = P(0)[1];
        if (row >= 0 && row < H) RAST_FillTrapezoid(dest, minx, maxx, row, minx, maxx, row, colour, alpha, mode);
    } else {
        int L0 = 0, R0 = 0;
        for (int i = 0; i < n && P(i)[1] == P(0)[1]; i++) {
            if (P(i)[0] == P(0)[0]) L0 = i;
            R0 = i;
        }
        int L1 = FindNextEdgeVertex(pts, L0, n, -1), R1 = FindNextEdgeVertex(pts, R0, n, 1);
        int64_t cy = P(0)[1];
        while (L0 != L1 || R0 != R1) {
            const int yb = std::min(P(L1)[1], P(R1)[1]);
            RAST_FillTrapezoid(dest, edgeX(P(L0), P(L1), cy), edgeX(P(R0), P(R1), cy), clampToInt(cy),
                               edgeX(P(L0), P(L1), yb), edgeX(P(R0), P(R1), yb), yb, colour, alpha, mode);
            if (P(L1)[1] == yb) {
                L0 = L1;
                L1 = FindNextEdgeVertex(pts, L1, n, -1);
            }
            if (P(R1)[1] == yb) {
                R0 = R1;
                R1 = FindNextEdgeVertex(pts, R1, n, 1);
            }
            cy = yb >= cy ? (int64_t)yb + 1 : (int64_t)yb - 1;
        }
    }
    if (pts != local) free(pts);
}

void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour,
                       float alpha, int mode) {
    const int x[3] = {x1, x2, x3}, y[3] = {y1, y2, y3};
    RAST_FillConvexPolygon(dest, x, y, 3, colour, alpha, mode);
}
