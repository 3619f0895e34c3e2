#include "raster/RAST_Rect.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_CombineRows.h"

using rast_detail::Surface;

namespace {

// A rectangle clipped to its bitmap, in picture coordinates.
struct ClipRect {
    int x = 0, y = 0, w = 0, h = 0;  // picture coordinates
};

bool clipRect(const Surface& s, int x, int y, int w, int h, ClipRect& out) {
    if (s.empty()) return false;
    int64_t cx = x, cy = y, cw = w, ch = h;
    if (cx < 0) cw += cx, cx = 0;
    if (cy < 0) ch += cy, cy = 0;
    if (cw > s.width - cx) cw = s.width - cx;
    if (ch > s.height - cy) ch = s.height - cy;
    if (cw < 1 || ch < 1) return false;
    out.x = (int)cx, out.y = (int)cy, out.w = (int)cw, out.h = (int)ch;
    return true;
}

// The clipped rectangle's rows in memory order.
template <class Fn>
void forMemoryRows(const Surface& s, const ClipRect& c, Fn fn) {
    int first = s.flipped ? s.height - c.y - c.h : c.y;
    for (int r = 0; r < c.h; r++) fn(s.bits + (ptrdiff_t)(first + r) * s.span + c.x);
}

// The copy's whole-word opacities: none, a quarter, a half, three quarters
// and all of the colour. Calls f.template operator()<word combiner>() for
// them; false for any other opacity.
template <class F>
bool wordCopy(int alpha, F&& f) {
    switch (alpha) {
        case 0:
            return true;
        case 64:
            f.template operator()<_RAST_CombinePixelsQuarterMix2FAST>();
            return true;
        case 128:
            f.template operator()<_RAST_CombinePixelsHalfMixFAST>();
            return true;
        case 192:
            f.template operator()<_RAST_CombinePixelsThreeQuarterMix2FAST>();
            return true;
        case 256:
            f.template operator()<_RAST_CombinePixelsClobberFAST>();
            return true;
        default:
            return false;
    }
}

template <class W>
void wordFill(const Surface& s, const ClipRect& c, unsigned int color) {
    if constexpr (std::is_same_v<W, _RAST_CombinePixelsClobberFAST>) {
        rast_rows::fillArea({s.at(c.x, c.y), nullptr, c.w, c.h, s.stride(), 0}, color);
    } else {
        forMemoryRows(s, c, [&](unsigned int* p) {
            for (int i = 0; i < c.w; i++) W::doPixWord(p + i, color);
        });
    }
}

// Truncation of v * 256 into a 32-bit int, saturating.
int64_t fixed8(float v) {
    double f = (double)v * 256.0;
    if (!(f == f)) return 0;
    return (int64_t)std::clamp(f, (double)INT32_MIN, (double)INT32_MAX);
}

}  // namespace

void RAST_FillRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int color, float alpha, int mode) {
    if (!dest) return;
    if (mode & RAST_MODE_USE_SOURCE_ALPHA) alpha *= (float)RAST_PixelAlpha(color) / 255.0f;
    Surface s(dest);
    ClipRect c;
    if (!clipRect(s, x, y, w, h, c) || alpha == 0.0f) return;
    const int ia = RAST_AlphaToInt(alpha);
    const int op = mode & RAST_MODE_MASK;

    if (op == RAST_MODE_COPY && wordCopy(ia, [&]<class W>() { wordFill<W>(s, c, color); })) return;
    if (!ia || op > RAST_MODE_HSVADJUST) return;
    RAST_DispatchCombiner(op, ia, [&]<class C>() {
        _RAST_Template_Blit1<C>::solidBlit(s.at(c.x, c.y), c.w, c.h, (int)RAST_PixelRed(color),
                                           (int)RAST_PixelGreen(color), (int)RAST_PixelBlue(color), ia, s.stride());
    });
}

void RAST_ClearRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int mask, unsigned int orbits) {
    Surface s(dest);
    ClipRect c;
    if (!clipRect(s, x, y, w, h, c)) return;
    forMemoryRows(s, c, [&](unsigned int* p) {
        for (int i = 0; i < c.w; i++) p[i] = (p[i] & mask) | orbits;
    });
}

void RAST_Clear(RAST_IBitmap* dest, unsigned int color) {
    Surface s(dest);
    if (s.empty()) return;
    rast_rows::fillArea({(unsigned char*)s.bits, nullptr, s.width, s.height, (ptrdiff_t)s.span * 4, 0}, color);
}

unsigned int RAST_GetPixel(RAST_IBitmap* bm, int x, int y) {
    Surface s(bm);
    if (s.empty() || x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    return *(const unsigned int*)s.at(x, y);
}

void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, unsigned int color, float alpha, int mode) {
    Surface s(bm);
    if (s.empty() || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
    unsigned int* p = (unsigned int*)s.at(x, y);
    const int ia = RAST_AlphaToInt(alpha);
    const int op = mode & RAST_MODE_MASK;
    if (op == RAST_MODE_COPY && wordCopy(ia, [&]<class W>() { W::doPixWord(p, color); })) return;
    if (!ia || op > RAST_MODE_HSVADJUST) return;
    // Unlike the fill, the colour's own alpha byte is the fourth channel.
    RAST_CombinePixels2(p, (int)RAST_PixelRed(color), (int)RAST_PixelGreen(color), (int)RAST_PixelBlue(color),
                        (int)RAST_PixelAlpha(color), ia, op);
}

void RAST_MultiplyAddRect(RAST_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd) {
    Surface s(dest);
    ClipRect c;
    if (!clipRect(s, x, y, w, h, c)) return;
    // Byte order of a pixel: alpha, red, green, blue.
    const int64_t scale[4] = {fixed8(asc), fixed8(rsc), fixed8(gsc), fixed8(bsc)};
    const int64_t add[4] = {fixed8(aadd), fixed8(radd), fixed8(gadd), fixed8(badd)};
    forMemoryRows(s, c, [&](unsigned int* p) {
        unsigned char* b = (unsigned char*)p;
        for (int i = 0; i < c.w * 4; i++)
            b[i] = (unsigned char)rast_detail::clamp255((b[i] * scale[i & 3] + add[i & 3]) >> 8);
    });
}

void RAST_ProcessRect(RAST_IBitmap* dest, int x, int y, int w, int h, void (*procFunc)(unsigned int* p, void* parm),
                      void* parm) {
    if (!procFunc) return;
    Surface s(dest);
    ClipRect c;
    if (!clipRect(s, x, y, w, h, c)) return;
    forMemoryRows(s, c, [&](unsigned int* p) {
        for (int i = 0; i < c.w; i++) procFunc(p + i, parm);
    });
}

void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, unsigned int color) {
    Surface s(dest);
    if (s.empty()) return;
    for (int y = 0; y < s.height; y++) {
        unsigned int* p = s.bits + (ptrdiff_t)y * s.span;
        for (int i = 0; i < s.width; i++) p[i] = (p[i] & 0xFFFFFF00u) == color ? p[i] & 0xFFFFFF00u : p[i] | 0xFFu;
    }
}

void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, unsigned int newcolor, unsigned int comparemask,
                     unsigned int keepmask) {
    Surface s(dest);
    if (s.empty() || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
    auto row = [&](int r) { return s.bits + (ptrdiff_t)r * s.span; };
    const unsigned int target = row(y)[x] & comparemask;
    auto matches = [&](unsigned int p) { return (p & comparemask) == target; };
    auto fill = [&](unsigned int& p) { p = (p & keepmask) | newcolor; };
    auto fillRun = [&](unsigned int* p) {
        fill(p[x]);
        for (int i = x + 1; i < s.width && matches(p[i]); i++) fill(p[i]);
        for (int i = x - 1; i >= 0 && matches(p[i]); i--) fill(p[i]);
    };
    for (int r = y; r < s.height && matches(row(r)[x]); r++) fillRun(row(r));
    for (int r = y - 1; r >= 0 && matches(row(r)[x]); r--) fillRun(row(r));
}

void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib, float ia,
                   float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy, float dady,
                   int mode) {
    if (!dest) return;
    // Red, green, blue and alpha, in channel units.
    double start[4] = {ir * 255.0, ig * 255.0, ib * 255.0, ia * 256.0};
    double dx[4] = {drdx * 255.0, dgdx * 255.0, dbdx * 255.0, dadx * 256.0};
    double dy[4] = {drdy * 255.0, dgdy * 255.0, dbdy * 255.0, dady * 256.0};

    int64_t x = dstx, y = dsty, w = dstw, h = dsth;
    if (x < 0) {
        for (int i = 0; i < 4; i++) start[i] += (double)-x * dx[i];
        w += x, x = 0;
    }
    if (y < 0) {
        for (int i = 0; i < 4; i++) start[i] += (double)-y * dy[i];
        h += y, y = 0;
    }
    Surface s(dest);
    if (s.empty()) return;
    // What remains of the bitmap from the rectangle's position.
    if (w > s.width - x) w = s.width - x;
    if (h > s.height - y) h = s.height - y;
    if (w < 1 || h < 1) return;

    // 16.16 values held to 32 bits, so that a whole row or column of sums
    // stays far inside 64 bits.
    auto fix = [](double v) {
        double f = v * 65536.0;
        if (!(f == f)) return (int64_t)0;
        return (int64_t)std::clamp(f, (double)INT32_MIN, (double)INT32_MAX);
    };
    int64_t fs[4], fdx[4], fdy[4];
    for (int i = 0; i < 4; i++) fs[i] = fix(start[i]), fdx[i] = fix(dx[i]), fdy[i] = fix(dy[i]);

    const int op = mode & RAST_MODE_MASK;
    if (op > RAST_MODE_HSVADJUST) return;
    // The gradient's copy is the clamped copy, or the clamped clobber when its
    // alpha is a constant 256.
    const int copyAlpha = fs[3] == 256 * 65536 && !fdx[3] && !fdy[3] ? 256 : 1;
    RAST_DispatchCombiner<true>(op, copyAlpha, [&]<class C>() {
        _RAST_Template_Blit1<C>::gradBlit(s.at((int)x, (int)y), (int)w, (int)h, fs, fdx, fdy, s.stride());
    });
}
