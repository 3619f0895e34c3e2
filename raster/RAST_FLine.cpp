#include <algorithm>
#include <cmath>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Geometry.h"
#include "raster/RAST_Line.h"

template <class C>
void __RAST_LineClass<C>::RAST_FLineImpl(unsigned int* p, int n, int frac, int dfrac, int majorstep, int minorstep,
                                         unsigned int colour, int ia) {
    const int r = (int)RAST_PixelRed(colour), g = (int)RAST_PixelGreen(colour), b = (int)RAST_PixelBlue(colour),
              a = (int)RAST_PixelAlpha(colour);
    for (int i = 0; i <= n; i++, p += majorstep) {
        const int f = frac >> 8;
        int w0 = 255 - f, w1 = f;
        if (ia != 256) w0 = (w0 * ia) / 256, w1 = (f * ia) / 256;
        C::doPix((unsigned char*)p, r, g, b, a, w0);
        C::doPix((unsigned char*)(p + minorstep), r, g, b, a, w1);
        frac += dfrac;
        if (frac >= 0x10000) {
            frac -= 0x10000;
            p += minorstep;
        }
    }
}

template <class C>
void __RAST_LineClass<C>::DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff,
                                     unsigned int colour, int ia) {
    if (x1 != x2 && y1 != y2) return;  // sloped dashes are not drawn
    const int r = (int)RAST_PixelRed(colour), g = (int)RAST_PixelGreen(colour), b = (int)RAST_PixelBlue(colour),
              a = (int)RAST_PixelAlpha(colour);
    const int span = dest->getRowSpan();
    unsigned int* base = dest->getBits() + (ptrdiff_t)y1 * span + x1;
    const bool across = x1 != x2;
    const ptrdiff_t step = across ? 1 : span;
    const int64_t s = across ? x1 : y1, e = across ? x2 : y2;
    // Positions are counted from the start, in 64 bits: a long pattern may
    // step far past the end without the pointer ever going there.
    auto dash = [&](int64_t from, int64_t count) {
        for (int64_t i = 0; i < count; i++) C::doPix((unsigned char*)(base + (from + i) * step), r, g, b, a, ia);
    };
    int64_t pos = s;
    while (pos < e - pxon) {
        dash(pos - s, pxon);
        pos += (int64_t)pxon + pxoff;
    }
    const int64_t k = std::min<int64_t>(e - pos, pxon);
    if (k >= 1) dash(pos - s, k);
}

bool ClipFLine(float& x1, float& y1, float& x2, float& y2, int w, int h) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    const float W = (float)((int64_t)w - 1), H = (float)((int64_t)h - 1);
    auto outcode = [W, H](float x, float y) { return (x < 0 ? 1 : x >= W ? 2 : 0) | (y < 0 ? 4 : y >= H ? 8 : 0); };
    // Below and right cross the lines y = H and x = W, then step one unit in.
    return rast_detail::clipByOutcodes(x1, y1, x2, y2, outcode, [&](int c, float& x, float& y) {
        if (c & 8) {
            x = x1 + (x2 - x1) * (H - y1) / (y2 - y1), y = H - 1;
        } else if (c & 4) {
            x = x1 + (x2 - x1) * y1 / (y1 - y2), y = 0;
        } else if (c & 2) {
            y = y1 + (y2 - y1) * (W - x1) / (x2 - x1), x = W - 1;
        } else {
            y = y1 + (y2 - y1) * x1 / (x1 - x2), x = 0;
        }
        // Far endpoints can overflow the products to infinity.
        return std::isfinite(x) && std::isfinite(y);
    });
}

bool RAST_ClipFLine(float& x1, float& y1, float& x2, float& y2, float xlo, float ylo, float xhi, float yhi) {
    if (!rast_detail::coordsOK(xlo, ylo, xhi, yhi)) return false;
    x1 -= xlo, x2 -= xlo, y1 -= ylo, y2 -= ylo;
    const bool in = ClipFLine(x1, y1, x2, y2, rast_detail::truncToInt(xhi - xlo), rast_detail::truncToInt(yhi - ylo));
    x1 += xlo, x2 += xlo, y1 += ylo, y2 += ylo;
    return in;
}

void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, unsigned int colour, float alpha, int mode,
                bool aa) {
    rast_detail::Surface s(dest);
    if (!s.empty()) rast_detail::drawFLine(s, x1, y1, x2, y2, colour, alpha, mode, aa);
}

void rast_detail::drawFLine(const Surface& s, float x1, float y1, float x2, float y2, unsigned int colour, float alpha,
                            int mode, bool aa) {
    if (!rast_detail::coordsOK(x1, y1, x2, y2)) return;
    if (!aa) return drawLine(s, (int)x1, (int)y1, (int)x2, (int)y2, colour, alpha, mode, false);
    if (s.flipped) y1 = (float)(s.height - 1) - y1, y2 = (float)(s.height - 1) - y2;
    // Most pieces of a curve lie inside already.
    const float W = (float)(s.width - 1), H = (float)(s.height - 1);
    const bool inside = x1 >= 0 && x1 < W && x2 >= 0 && x2 < W && y1 >= 0 && y1 < H && y2 >= 0 && y2 < H;
    if (!inside && !ClipFLine(x1, y1, x2, y2, s.width, s.height)) return;
    if (x1 == x2 && y1 == y2) return;

    // Everything from here is inside the float window, in stored rows.
    const float dx = x2 - x1, dy = y2 - y1;
    const bool xmajor = std::fabs(dx) > std::fabs(dy);
    const int majorstep = xmajor ? 1 : s.span, minorunit = xmajor ? s.span : 1;
    const int majorLimit = xmajor ? s.width : s.height, minorLimit = xmajor ? s.height : s.width;
    float a1 = xmajor ? x1 : y1, a2 = xmajor ? x2 : y2, b1 = xmajor ? y1 : x1;
    float da = xmajor ? dx : dy, db = xmajor ? dy : dx;
    if (da < 0) {
        std::swap(a1, a2);
        b1 = xmajor ? y2 : x2;
        da = -da, db = -db;
    }
    const float slope = db / da;
    const int minorstep = db < 0 ? -minorunit : minorunit;
    // Inside the window every coordinate is at least 0, so truncation floors.
    auto floorOf = [](float v) { return (float)(int)v; };
    auto ceilOf = [&](float v) { return floorOf(v) < v ? floorOf(v) + 1 : floorOf(v); };
    const float first = ceilOf(a1);
    int n = (int)((double)floorOf(a2) - (double)first);
    if (n < 0) return;

    // The exact minor position at the first whole major position. Rounding
    // can carry it onto the window's far edge; it is held inside, so the
    // pair's second pixel stays in the bitmap.
    float bm = b1 + (first - a1) * slope;
    if (!(bm < (float)(minorLimit - 1))) bm = std::nextafter((float)(minorLimit - 1), 0.0f);
    if (bm < 0) bm = 0;
    const int frac16 = (int)((double)(bm - floorOf(bm)) * 65536.0);
    int major0 = (int)first, minor0 = (int)bm, frac = frac16;
    if (minorstep < 0) minor0 += 1, frac = 65535 - frac16;
    const int dfrac = (int)((double)std::fabs(slope) * 65536.0);

    // The last pair's pixels, worked out exactly: positions rounded at the
    // window's edges could otherwise step one pixel out.
    auto lastInside = [&](int count) {
        const int64_t moves = ((int64_t)frac + (int64_t)count * dfrac) >> 16;
        const int64_t m = minor0 + (minorstep < 0 ? -moves : moves), m2 = m + (minorstep < 0 ? -1 : 1);
        return major0 + count < majorLimit && std::min(m, m2) >= 0 && std::max(m, m2) < minorLimit;
    };
    while (n >= 0 && !lastInside(n)) n--;
    if (n < 0) return;

    unsigned int* p = s.bits + (ptrdiff_t)major0 * majorstep + (ptrdiff_t)minor0 * minorunit;
    const int ia = RAST_AlphaToInt(alpha);
    rast_detail::figureCombiner(mode, ia, false, false, [&]<class C>() {
        __RAST_LineClass<C>::RAST_FLineImpl(p, n, frac, dfrac, majorstep, minorstep, colour, ia);
    });
}

void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, unsigned int colour,
                     float alpha, int mode, bool aa) {
    // A pattern that never advances would never end.
    if (!dest || pxon < 1 || pxoff < 0) return;
    rast_detail::Surface s(dest);
    if (s.empty() || !ClipLine(x1, y1, x2, y2, s.width, s.height)) return;
    if (y1 > y2) std::swap(y1, y2);
    const bool dotted = pxon == 1 && pxoff == 1 && x1 == x2;
    if (dotted && alpha == 1.0f && (mode & RAST_MODE_MASK) == RAST_MODE_COPY) {
        unsigned int* p = s.bits + (ptrdiff_t)y1 * s.span + x1;
        for (int i = 0; i < (y2 - y1 + 1) / 2; i++) p[(ptrdiff_t)2 * i * s.span] = colour;
        return;
    }
    const int ia = RAST_AlphaToInt(alpha);
    if (!dotted && x1 > x2) std::swap(x1, x2);
    rast_detail::figureCombiner(mode, ia, true, true, [&]<class C>() {
        __RAST_LineClass<C>::DashedLine(dest, x1, y1, x2, y2, pxon, pxoff, colour, ia);
    });
}
