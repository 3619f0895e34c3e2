#include "raster/RAST_Glyph.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "raster/RAST_BitmapAccess.h"

using rast_detail::Surface;

void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode) {
    Surface s(dest);
    if (s.empty() || !alphas || glyph_w < 1 || glyph_h < 1 || glyph_span < glyph_w) return;
    if (x <= -glyph_w || y <= -glyph_h) return;
    const int dx = std::max(x, 0), dy = std::max(y, 0);
    if (dx >= s.width || dy >= s.height) return;

    int w = glyph_w + std::min(x, 0), h = glyph_h + std::min(y, 0);
    w = std::min(w, s.width - dx);
    h = std::min(h, s.height - dy);
    if (w < 1 || h < 1) return;
    alphas += (ptrdiff_t)(-std::min(y, 0)) * glyph_span + (-std::min(x, 0));

    const int a = RAST_AlphaToInt((float)alpha);
    const int op = mode & RAST_MODE_MASK;
    if (a == 0 || op > RAST_MODE_HSVADJUST || (op == RAST_MODE_COPY && a < 1)) return;

    unsigned int* d = (unsigned int*)s.at(dx, dy);
    const int stride = s.flipped ? -s.span : s.span;
    RAST_DispatchColourCombiner(
        op, a, [&]<class C>() { GlyphDrawImpl<C>::DrawGlyph(alphas, d, w, h, color, stride, glyph_span, a); });
}

void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode) {
    RAST_DrawGlyphEx(dest, x, y, color, alphas, glyph_w, glyph_w, glyph_h, alpha, mode);
}

void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src) {
    Surface d(dest), s(src);
    if (d.empty() || s.empty()) return;
    const int w = std::min(d.width, s.width / 2), h = std::min(d.height, s.height / 2);
    if (h < 1 || w < 1) return;
    auto q = [](unsigned int p) { return (p >> 2) & 0x3F3F3F3Fu; };
    for (int r = 0; r < h; r++) {
        const unsigned int* s0 = s.bits + (ptrdiff_t)(2 * r) * s.span;
        const unsigned int* s1 = s0 + s.span;
        unsigned int* o = d.bits + (ptrdiff_t)r * d.span;
        int c = 0;
        for (; c + 2 <= w; c += 2, s0 += 4, s1 += 4) {
            o[c] = q(s0[0]) + q(s0[1]) + q(s1[0]) + q(s1[1]);
            o[c + 1] = q(s0[2]) + q(s0[3]) + q(s1[2]) + q(s1[3]);
        }
        if (c < w) o[c] = q(s0[0]) + q(s0[1]) + q(s1[0]) + q(s1[1]);
    }
}

int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coordsOut) {
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    Surface sa(a), sb(b);
    if (sa.width != sb.width) return sb.width - sa.width;
    if (sa.height != sb.height) return sb.height - sa.height;
    const int w = sa.width, h = sa.height;
    const size_t rowBytes = (size_t)w * 4;

    if (!coordsOut) {
        for (int y = 0; y < h; y++) {
            int c = memcmp(sa.at(0, y), sb.at(0, y), rowBytes);
            if (c) return c;
        }
        return 0;
    }

    auto rowA = [&](int y) { return (const unsigned int*)sa.at(0, y); };
    auto rowB = [&](int y) { return (const unsigned int*)sb.at(0, y); };
    int top = 0;
    while (top < h && !memcmp(rowA(top), rowB(top), rowBytes)) top++;
    if (top >= h) {
        coordsOut[0] = coordsOut[1] = coordsOut[2] = coordsOut[3] = 0;
        return 0;
    }
    int left = 0, right = w - 1;
    {
        const unsigned int *pa = rowA(top), *pb = rowB(top);
        while (pa[left] == pb[left]) left++;
        while (pa[right] == pb[right]) right--;
    }
    int bottom = h - 1;
    while (bottom > top && !memcmp(rowA(bottom), rowB(bottom), rowBytes)) bottom--;
    // Widens [left, right] to the differences of row y outside it.
    auto widen = [&](int y) {
        const unsigned int *pa = rowA(y), *pb = rowB(y);
        for (int x = 0; x < left; x++)
            if (pa[x] != pb[x]) {
                left = x;
                break;
            }
        for (int x = w - 1; x > right; x--)
            if (pa[x] != pb[x]) {
                right = x;
                break;
            }
    };
    if (bottom > top) widen(bottom);
    // Rows between only need looking at outside the columns found so far.
    for (int y = top + 1; y < bottom && (left > 0 || right < w - 1); y++) widen(y);
    coordsOut[0] = left;
    coordsOut[1] = top;
    coordsOut[2] = right - left + 1;
    coordsOut[3] = bottom - top + 1;
    return 1;
}
