#include "raster/RAST_Line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Geometry.h"

namespace {

struct Channels {
    int r, g, b, a;
    explicit Channels(unsigned int c)
        : r((int)RAST_PixelRed(c)), g((int)RAST_PixelGreen(c)), b((int)RAST_PixelBlue(c)), a((int)RAST_PixelAlpha(c)) {}
};

template <class C>
inline void put(unsigned int* p, const Channels& c, int w) {
    C::doPix((unsigned char*)p, c.r, c.g, c.b, c.a, w);
}

// n pixels step apart through a whole-word combiner.
template <class W>
void wordRun(unsigned int* p, ptrdiff_t step, int n, unsigned int colour) {
    for (int i = 0; i < n; i++, p += step) W::doPixWord(p, colour);
}

}  // namespace

template <class C>
void __RAST_LineClassSimple<C>::RAST_HorizLine(unsigned int* p, int n, unsigned int colour, int ia) {
    const Channels c(colour);
    for (int i = 0; i < n; i++) put<C>(p + i, c, ia);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_VertLine(unsigned int* p, int span, int n, unsigned int colour, int ia) {
    const Channels c(colour);
    for (int i = 0; i < n; i++, p += span) put<C>(p, c, ia);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_DiagLine(unsigned int* p, int n, int xstep, int ystep, unsigned int colour,
                                              int ia) {
    const Channels c(colour);
    for (int k = 0; k <= n; k++, p += xstep + ystep) put<C>(p, c, ia);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_DiagLineAA(unsigned int* p, int n, int xstep, int ystep, unsigned int colour,
                                                int ia) {
    const Channels c(colour);
    const int run = (3 * ia) / 4, side = ia / 4;
    put<C>(p, c, run);
    for (int k = 0; k < n; k++, p += xstep + ystep) {
        put<C>(p + xstep, c, side);
        put<C>(p + ystep, c, side);
        put<C>(p + xstep + ystep, c, run);
    }
}

template <class C>
void __RAST_LineClass<C>::RAST_LineImpl(unsigned int* p1, unsigned int* p2, int derr, int astep, int da, int bstep,
                                        unsigned int colour, int ia, bool aa) {
    const Channels c(colour);
    const int m = (da + 1) / 2;
    if (!aa) {
        // From both ends toward the middle: both endpoints exact, the halves
        // mirror images.
        int e = 0;
        for (int i = 0; i < m; i++) {
            put<C>(p1, c, ia);
            put<C>(p2, c, ia);
            e += derr;
            if (e >= 0x8000) {
                p1 += bstep;
                p2 -= bstep;
                e -= 0x10000;
            }
            p1 += astep;
            p2 -= astep;
        }
        if (!(da & 1)) put<C>(p1, c, ia);
        return;
    }
    // The endpoints are single pixels; between them each position shares
    // 255 between the pixel on the floor side of the line and the next.
    put<C>(p1, c, ia);
    put<C>(p2, c, ia);
    unsigned int* q1 = p1 + astep;
    unsigned int* q2 = p2 - astep;
    int e = derr;
    auto weights = [ia](int f, int& w0, int& w1) {
        w0 = 255 - f, w1 = f;
        if (ia != 256) w0 = (w0 * ia) / 256, w1 = (f * ia) / 256;
    };
    int w0, w1;
    if (da >= 3) {
        for (int i = 1; i < m; i++) {
            weights(e >> 8, w0, w1);
            put<C>(q1, c, w0);
            put<C>(q1 + bstep, c, w1);
            put<C>(q2, c, w0);
            put<C>(q2 - bstep, c, w1);
            e += derr;
            if (e >= 0x10000) {
                q1 += bstep;
                q2 -= bstep;
                e -= 0x10000;
            }
            q1 += astep;
            q2 -= astep;
        }
    }
    if (!(da & 1)) {
        weights(e >> 8, w0, w1);
        put<C>(q1, c, w0);
        put<C>(q1 + bstep, c, w1);
    }
}

namespace rast_detail {

bool clipSegment(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t w, int64_t h) {
    auto fits = [](int64_t d) { return d >= INT32_MIN && d <= INT32_MAX; };
    if (!fits(x2 - x1) || !fits(y2 - y1)) return false;
    auto outcode = [w, h](int64_t x, int64_t y) { return (x < 0 ? 1 : x >= w ? 2 : 0) | (y < 0 ? 4 : y >= h ? 8 : 0); };
    // Below and right cross the lines y = h and x = w, then step onto the
    // last row or column.
    return clipByOutcodes(x1, y1, x2, y2, outcode, [&](int c, int64_t& x, int64_t& y) {
        const double dx = (double)(x2 - x1), dy = (double)(y2 - y1);
        if (c & 8) {
            x = x1 + (int64_t)std::trunc((double)(h - y1) * dx / dy), y = h - 1;
        } else if (c & 4) {
            x = x1 + (int64_t)std::trunc((double)(0 - y1) * dx / dy), y = 0;
        } else if (c & 2) {
            y = y1 + (int64_t)std::trunc((double)(w - x1) * dy / dx), x = w - 1;
        } else {
            y = y1 + (int64_t)std::trunc((double)(0 - x1) * dy / dx), x = 0;
        }
        return true;
    });
}

}  // namespace rast_detail

bool ClipLine(int& x1, int& y1, int& x2, int& y2, int w, int h) {
    int64_t a = x1, b = y1, c = x2, d = y2;
    const bool in = rast_detail::clipSegment(a, b, c, d, w, h);
    x1 = rast_detail::clampToInt(a), y1 = rast_detail::clampToInt(b);
    x2 = rast_detail::clampToInt(c), y2 = rast_detail::clampToInt(d);
    return in;
}

bool RAST_ClipLine(int& x1, int& y1, int& x2, int& y2, int xlo, int ylo, int xhi, int yhi) {
    int64_t a = (int64_t)x1 - xlo, b = (int64_t)y1 - ylo, c = (int64_t)x2 - xlo, d = (int64_t)y2 - ylo;
    const bool in = rast_detail::clipSegment(a, b, c, d, (int64_t)xhi - xlo, (int64_t)yhi - ylo);
    x1 = rast_detail::clampToInt(a + xlo), y1 = rast_detail::clampToInt(b + ylo);
    x2 = rast_detail::clampToInt(c + xlo), y2 = rast_detail::clampToInt(d + ylo);
    return in;
}

namespace {

using rast_detail::figureCombiner;

// A horizontal or vertical run of n pixels step apart.
void straightRun(unsigned int* p, ptrdiff_t step, int n, unsigned int colour, float alpha, int mode) {
    const int op = mode & RAST_MODE_MASK;
    if (op == RAST_MODE_COPY) {
        // Whole-word stores and mixes for the opacities that have them.
        if (alpha == 1.0f) return wordRun<_RAST_CombinePixelsClobberFAST>(p, step, n, colour);
        if (alpha == 0.5f) return wordRun<_RAST_CombinePixelsHalfMixFAST>(p, step, n, colour);
        if (alpha == 0.25f) return wordRun<_RAST_CombinePixelsQuarterMix2FAST>(p, step, n, colour);
        if (alpha == 0.75f) return wordRun<_RAST_CombinePixelsThreeQuarterMix2FAST>(p, step, n, colour);
    }
    const int ia = RAST_AlphaToInt(alpha);
    if (op == RAST_MODE_COPY && ia == 256) return wordRun<_RAST_CombinePixelsClobberFAST>(p, step, n, colour);
    figureCombiner(mode, ia, true, false, [&]<class C>() {
        if (step == 1)
            __RAST_LineClassSimple<C>::RAST_HorizLine(p, n, colour, ia);
        else
            __RAST_LineClassSimple<C>::RAST_VertLine(p, (int)step, n, colour, ia);
    });
}

void diagonal(unsigned int* p, int n, int xstep, int ystep, unsigned int colour, float alpha, int mode, bool aa) {
    const int op = mode & RAST_MODE_MASK;
    const int ia = RAST_AlphaToInt(alpha);
    if (!aa) {
        if (op == RAST_MODE_COPY && (alpha == 1.0f || ia == 256))
            return wordRun<_RAST_CombinePixelsClobberFAST>(p, xstep + ystep, n + 1, colour);
        figureCombiner(mode, ia, true, false,
                       [&]<class C>() { __RAST_LineClassSimple<C>::RAST_DiagLine(p, n, xstep, ystep, colour, ia); });
        return;
    }
    if (op == RAST_MODE_COPY && alpha == 1.0f) {
        using Run = _RAST_CombinePixelsThreeQuarterMix2FAST;
        using Side = _RAST_CombinePixelsQuarterMix2FAST;
        Run::doPixWord(p, colour);
        for (int k = 0; k < n; k++, p += xstep + ystep) {
            Side::doPixWord(p + xstep, colour);
            Side::doPixWord(p + ystep, colour);
            Run::doPixWord(p + xstep + ystep, colour);
        }
        return;
    }
    figureCombiner(mode, ia, false, false,
                   [&]<class C>() { __RAST_LineClassSimple<C>::RAST_DiagLineAA(p, n, xstep, ystep, colour, ia); });
}

}  // namespace

void RAST_Line(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, unsigned int colour, float alpha, int mode,
               bool aa) {
    rast_detail::Surface s(dest);
    if (!s.empty()) rast_detail::drawLine(s, x1, y1, x2, y2, colour, alpha, mode, aa);
}

void rast_detail::drawLine(const Surface& s, int x1_, int y1_, int x2_, int y2_, unsigned int colour, float alpha,
                           int mode, bool aa) {
    int64_t X1 = x1_, Y1 = y1_, X2 = x2_, Y2 = y2_;
    if (s.flipped) Y1 = (int64_t)s.height - 1 - Y1, Y2 = (int64_t)s.height - 1 - Y2;
    if (!rast_detail::clipSegment(X1, Y1, X2, Y2, s.width, s.height)) return;
    // Everything from here is inside the bitmap, in stored rows.
    const int x1 = (int)X1, y1 = (int)Y1, x2 = (int)X2, y2 = (int)Y2;
    const int span = s.span;
    auto pixel = [&](int x, int y) { return s.bits + (ptrdiff_t)y * span + x; };

    if (y1 == y2) return straightRun(pixel(std::min(x1, x2), y1), 1, std::abs(x2 - x1) + 1, colour, alpha, mode);
    if (x1 == x2) return straightRun(pixel(x1, std::min(y1, y2)), span, std::abs(y2 - y1) + 1, colour, alpha, mode);
    const int dx = x2 - x1, dy = y2 - y1;
    if (std::abs(dx) == std::abs(dy))
        return diagonal(pixel(x1, y1), std::abs(dx), dx > 0 ? 1 : -1, dy > 0 ? span : -span, colour, alpha, mode, aa);

    const bool xmajor = std::abs(dx) > std::abs(dy);
    int da = xmajor ? dx : dy, db = xmajor ? dy : dx;
    const int astep = xmajor ? 1 : span, bunit = xmajor ? span : 1;
    unsigned int *start = pixel(x1, y1), *end = pixel(x2, y2);
    if (da < 0) {
        std::swap(start, end);
        da = -da, db = -db;
    }
    const int bstep = db < 0 ? -bunit : bunit;
    const int derr = (int)((double)std::abs(db) / (double)da * 65536.0);
    const int ia = RAST_AlphaToInt(alpha);
    figureCombiner(mode, ia, !aa, !aa, [&]<class C>() {
        __RAST_LineClass<C>::RAST_LineImpl(start, end, derr, astep, da, bstep, colour, ia, aa);
    });
}
