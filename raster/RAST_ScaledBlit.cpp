#include "raster/RAST_ScaledBlit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "raster/RAST_Bilinear.h"
#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_CombineRows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define RAST_SCALED_SSE2 1
#endif

namespace {

// Source column or row of a 16.16 position of at least -65535: the division
// rounds toward zero, so -65535..-1 address index 0.
inline int Index(int pos) { return pos < 0 ? 0 : pos >> 16; }

inline const unsigned int* SrcRow(const unsigned char* src, int row, int span) {
    return reinterpret_cast<const unsigned int*>(src + (ptrdiff_t)row * span);
}

template <class C>
inline void Put(unsigned char* d, unsigned int p, int alpha) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>)
        memcpy(d, &p, 4);
    else
        C::doPix(d, (int)RAST_PixelRed(p), (int)RAST_PixelGreen(p), (int)RAST_PixelBlue(p), (int)RAST_PixelAlpha(p),
                 alpha);
}

// Where each destination column samples: its source column, fraction and
// kind (0 untouched, 1 interior with its right neighbour, 2 the last usable
// column).
struct Columns {
    std::vector<int> index, frac, across;
    std::vector<uint8_t> kind;

    Columns(int w, int sx, int dx, int lastUsable)
        : index((size_t)w), frac((size_t)w), across((size_t)w), kind((size_t)w) {
        int pos = sx;
        for (int i = 0; i < w; i++, pos += dx) {
            const int fx = frac[(size_t)i] = pos & 0xFFFF;
            const int c = index[(size_t)i] = Index(pos);
            kind[(size_t)i] = pos < -65535 || c > lastUsable ? 0 : c < lastUsable ? 1 : 2;
            across[(size_t)i] = AcrossWeights(fx);
        }
    }

    // The 16-bit weight pairs of the register code for the two taps of a row
    // (RAST_Bilinear.h), which depend on the column alone.
    static int AcrossWeights(int fx) {
        return (int)(((unsigned)(32767 - fx) & 0xFFFFu) | ((unsigned)(fx ^ 0x8000) << 16));
    }
};

#if RAST_SCALED_SSE2
// Four interior pixels from column i on (see RAST_Bilinear.h).
inline __m128i Bilerp4(const unsigned int* s0, ptrdiff_t span, const int* idx, const int* fxs, const int* acrossW,
                       unsigned fy) {
    const unsigned int* p[4] = {s0 + idx[0], s0 + idx[1], s0 + idx[2], s0 + idx[3]};
    const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fxs));
    const __m128i across = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acrossW));
    return rast_bilinear::Bilerp4(p, span, across, rast_bilinear::DownPairs(fx, _mm_set1_epi32((int)fy)));
}
#endif

#if defined(RAST_BILINEAR_AVX2)
// Writes whole words from column i on while eight columns in a row are
// interior, and returns where it stopped.
__attribute__((target("avx2"))) int BilerpRunAvx2(unsigned int* d, const unsigned int* s0, ptrdiff_t span,
                                                  const int* idx, const int* fxs, const int* acrossW,
                                                  const uint8_t* kind, int i, int w, unsigned fy) {
    const __m256i vfy = _mm256_set1_epi32((int)fy);
    for (; i + 8 <= w; i += 8) {
        uint64_t k8;
        memcpy(&k8, kind + i, 8);
        if (k8 != 0x0101010101010101ull) break;
        const unsigned int* p[8];
        for (int k = 0; k < 8; k++) p[k] = s0 + idx[i + k];
        const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fxs + i));
        const __m256i across = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acrossW + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            rast_bilinear::Bilerp8Avx2(p, span, across, rast_bilinear::DownPairsAvx2(fx, vfy)));
    }
    return i;
}
#endif

}  // namespace

// Nearest pixel on whole words: no opacity.
template <class C>
struct _RAST_Template_Blit0 {
    static void scaleBlitFAST(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy, int dx,
                              int dy, int right, int bottom, int srcspan, int dstspan) {
        std::vector<int> cols((size_t)w);
        int pos = sx;
        bool allIn = true;
        for (int i = 0; i < w; i++, pos += dx) {
            cols[(size_t)i] = pos < -65535 || Index(pos) >= right ? -1 : Index(pos);
            allIn = allIn && cols[(size_t)i] >= 0;
        }
        const int* c = cols.data();
        for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
            if (ypos < -65535 || Index(ypos) >= bottom) continue;
            const unsigned int* s = SrcRow(src, Index(ypos), srcspan);
            unsigned int* d = reinterpret_cast<unsigned int*>(dest);
            if (allIn) {
                for (int i = 0; i < w; i++) C::doPixWord(d + i, s[c[i]]);
            } else {
                for (int i = 0; i < w; i++)
                    if (c[i] >= 0) C::doPixWord(d + i, s[c[i]]);
            }
        }
    }
};

template <class C>
void _RAST_Template_Blit2<C>::scaleBlit(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy,
                                        int dx, int dy, int right, int bottom, int srcspan, int dstspan, int alpha,
                                        int filter) {
    if (filter != RAST_MODE_FILTER_BILINEAR) {
        std::vector<int> cols((size_t)w);
        int pos = sx;
        for (int i = 0; i < w; i++, pos += dx) cols[(size_t)i] = pos < -65535 || Index(pos) >= right ? -1 : Index(pos);
        for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
            if (ypos < -65535 || Index(ypos) >= bottom) continue;
            const unsigned char* s = src + (ptrdiff_t)Index(ypos) * srcspan;
            unsigned char* d = dest;
            for (int i = 0; i < w; i++, d += 4) {
                if (cols[(size_t)i] < 0) continue;
                const unsigned char* p = s + (size_t)cols[(size_t)i] * 4;
                C::doPix(d, p[1], p[2], p[3], p[0], alpha);
            }
        }
        return;
    }

    const int R = right - 1, B = bottom - 1;
    const Columns cols(w, sx, dx, R);
    const int* idx = cols.index.data();
    const int* fxs = cols.frac.data();
    const int* across = cols.across.data();
    const uint8_t* kind = cols.kind.data();
    for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
        if (ypos < -65535) continue;
        const int row = Index(ypos);
        if (row > B) continue;
        const unsigned fy = (unsigned)ypos & 0xFFFFu;
        const unsigned int* s0 = SrcRow(src, row, srcspan);
        unsigned char* d = dest;
        if (row < B) {
            const unsigned int* s1 = SrcRow(src, row + 1, srcspan);
            int i = 0;
#if defined(RAST_BILINEAR_AVX2)
            const bool wide = std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp> && rast_rows::wideRegisters();
#endif
            while (i < w) {
#if defined(RAST_BILINEAR_AVX2)
                if (wide && i + 8 <= w) {
                    int next = BilerpRunAvx2(reinterpret_cast<unsigned int*>(d), s0, srcspan, idx, fxs, across, kind, i,
                                             w, fy);
                    if (next != i) {
                        i = next;
                        continue;
                    }
                }
#endif
#if RAST_SCALED_SSE2
                if (i + 4 <= w && kind[i] == 1 && kind[i + 1] == 1 && kind[i + 2] == 1 && kind[i + 3] == 1) {
                    __m128i four = Bilerp4(s0, srcspan, idx + i, fxs + i, across + i, fy);
                    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>) {
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + (size_t)i * 4), four);
                    } else {
                        unsigned int words[4];
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(words), four);
                        for (int k = 0; k < 4; k++) Put<C>(d + (size_t)(i + k) * 4, words[k], alpha);
                    }
                    i += 4;
                    continue;
                }
#endif
                if (kind[i])
                    Put<C>(d + (size_t)i * 4,
                           rast_bilinear::Sample(s0, s1, idx[i], (unsigned)fxs[i], fy, kind[i] == 2, false), alpha);
                i++;
            }
        } else {
            for (int i = 0; i < w; i++, d += 4)
                if (kind[i])
                    Put<C>(d, rast_bilinear::Sample(s0, s0, idx[i], (unsigned)fxs[i], 0, kind[i] == 2, true), alpha);
        }
    }
}

template <class C>
void _RAST_Template_Blit2<C>::scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h, int sx,
                                                  int sy, int dx, int dy, int right, int bottom, int srcspan,
                                                  int dstspan, int alpha, const int* weights, int offset, int side) {
    std::vector<int> cols((size_t)w);
    int pos = sx;
    for (int i = 0; i < w; i++, pos += dx) cols[(size_t)i] = pos < -65535 || Index(pos) >= right ? -1 : Index(pos);
    for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
        if (ypos < -65535 || Index(ypos) >= bottom) continue;
        const int top = Index(ypos) + offset;
        unsigned char* d = dest;
        for (int i = 0; i < w; i++, d += 4) {
            if (cols[(size_t)i] < 0) continue;
            const int left = cols[(size_t)i] + offset;
            int64_t total = 0, sa = 0, sr = 0, sg = 0, sb = 0;
            for (int wy = 0; wy < side; wy++) {
                const int row = top + wy;
                if (row < 0) continue;
                if (row >= bottom) break;
                const unsigned char* s = src + (ptrdiff_t)row * srcspan;
                const int* wrow = weights + wy * side;
                for (int wx = 0; wx < side; wx++) {
                    const int col = left + wx;
                    if (col < 0 || col >= right) continue;
                    const unsigned char* p = s + (size_t)col * 4;
                    const int64_t k = wrow[wx];
                    total += k;
                    sa += p[0] * k, sr += p[1] * k, sg += p[2] * k, sb += p[3] * k;
                }
            }
            if (total > 0)
                C::doPix(d, (int)(sr / total), (int)(sg / total), (int)(sb / total), (int)(sa / total), alpha);
        }
    }
}

namespace {

bool FitsInt(double v) { return v >= (double)INT_MIN && v <= (double)INT_MAX; }

}  // namespace

void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx_, int dsty_, int dstw_, int dsth_, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode) {
    if (!dest || !src || dstw_ == 0 || dsth_ == 0 || alpha == 0.0f) return;

    // Same size: the plain blit, from whole source pixels.
    if (std::fabs((double)(srcw - (float)dstw_)) < 0.001 && std::fabs((double)(srch - (float)dsth_)) < 0.001) {
        bool take = true;
        if ((mode & RAST_MODE_FILTER_MASK) == RAST_MODE_FILTER_BILINEAR)
            take = std::fabs((double)(srcx - std::floor(srcx + 0.5f))) < 0.03 &&
                   std::fabs((double)(srcy - std::floor(srcy + 0.5f))) < 0.03;
        if (take) {
            float l = srcx + 0.5f, t = srcy + 0.5f;
            if (!FitsInt(l) || !FitsInt(t)) return;
            int64_t left = (int64_t)l, top = (int64_t)t;
            int64_t r = left + dstw_, b = top + dsth_;
            if (!FitsInt((double)r) || !FitsInt((double)b)) return;
            RECT rect{(int32_t)left, (int32_t)top, (int32_t)r, (int32_t)b};
            RAST_Blit(dest, src, dstx_, dsty_, &rect, alpha, mode);
            return;
        }
    }

    // Mirroring, and all destination arithmetic in 64 bits.
    int64_t dstx = dstx_, dsty = dsty_, dstw = dstw_, dsth = dsth_;
    if (dstw < 0) {
        dstx += dstw;
        dstw = -dstw;
        srcx = srcx + srcw;
        srcw = -srcw;
    }
    if (dsth < 0) {
        dsty += dsth;
        dsth = -dsth;
        srcy = srcy + srch;
        srch = -srch;
    }
    const double xadv = (double)(float)(srcw / (float)dstw);
    const double yadv = (double)(float)(srch / (float)dsth);

    rast_detail::Surface d(dest), s(src);
    if (d.empty() || s.empty()) return;

    if (dstx < 0) {
        srcx -= (float)((double)dstx * xadv);
        dstw += dstx;
        dstx = 0;
    }
    if (dsty < 0) {
        srcy -= (float)((double)dsty * yadv);
        dsth += dsty;
        dsty = 0;
    }
    dstw = std::min<int64_t>(dstw, d.width - dstx);
    dsth = std::min<int64_t>(dsth, d.height - dsty);
    if (dstw < 1 || dsth < 1) return;

    // 16.16 positions and steps; a request whose positions leave the 32-bit
    // range draws nothing.
    const double fx = xadv * 65536.0, fy = yadv * 65536.0, fsx = (double)srcx * 65536.0, fsy = (double)srcy * 65536.0;
    if (!FitsInt(fx) || !FitsInt(fy) || !FitsInt(fsx) || !FitsInt(fsy)) return;
    const int64_t xstep = (int64_t)fx, ystep = (int64_t)fy;
    int64_t startx = (int64_t)fsx, starty = (int64_t)fsy;

    // Whole columns and rows left of or beyond the source leave the loop.
    auto preclip = [](int64_t& start, int64_t step, int64_t& len, int64_t& dpos, int srcLen) {
        if (step <= 0) return;
        if (start < 0) {
            int64_t n = (step - 1 - start) / step;
            len -= n;
            dpos += n;
            start += n * step;
        }
        if (((len - 1) * step + start) / 65536 >= srcLen)
            len = std::min(len, ((int64_t)srcLen * 65536 - 65536 - start) / step);
    };
    preclip(startx, xstep, dstw, dstx, s.width);
    preclip(starty, ystep, dsth, dsty, s.height);
    if (dstw < 1 || dsth < 1) return;
    auto spanFits = [](int64_t start, int64_t step, int64_t len) {
        int64_t end = start + (len - 1) * step;
        return start >= INT_MIN && start <= INT_MAX && end >= INT_MIN && end <= INT_MAX;
    };
    // The row loops step once past the last pixel too.
    if (!spanFits(startx, xstep, dstw + 1) || !spanFits(starty, ystep, dsth + 1)) return;

    // Source limits: the first column and row that may not be read.
    const double rl = (double)(std::max(srcw, 0.0f) + srcx) + 0.999999;
    const double bl = (double)(std::max(srch, 0.0f) + srcy) + 0.999999;
    if (!(rl >= 1) || !(bl >= 1)) return;
    const int right = (int)std::min(rl, (double)s.width);
    const int bottom = (int)std::min(bl, (double)s.height);
    if (right < 1 || bottom < 1) return;

    const unsigned char* sp = s.at(0, 0);
    const int sspan = (int)s.stride();
    unsigned char* dp = d.at((int)dstx, (int)dsty);
    const int dspan = (int)d.stride();
    const int w = (int)dstw, h = (int)dsth;
    const int sx = (int)startx, sy = (int)starty, dx = (int)xstep, dy = (int)ystep;
    const int ia = RAST_AlphaToInt(alpha);

    if ((mode & 0x1FFFF) == 0 && (ia == 256 || ia == 128)) {
        if (ia == 256)
            _RAST_Template_Blit0<_RAST_CombinePixelsClobberFAST>::scaleBlitFAST(dp, sp, w, h, sx, sy, dx, dy, right,
                                                                                bottom, sspan, dspan);
        else
            _RAST_Template_Blit0<_RAST_CombinePixelsHalfMixFAST>::scaleBlitFAST(dp, sp, w, h, sx, sy, dx, dy, right,
                                                                                bottom, sspan, dspan);
        return;
    }
    if (ia == 0) return;

    const int filter = mode & RAST_MODE_FILTER_MASK;
    if (filter == RAST_MODE_FILTER_BILINEAR && xadv >= 1.7 && yadv >= 1.7) {
        const int side = std::max(xstep, ystep) >= 0x30001 ? 5 : 3;
        int weights[25];
        std::fill(weights, weights + side * side, 65536);
        const int offset = side == 5 ? -2 : -1;
        RAST_DispatchCombiner(mode, ia, [&]<class C>() {
            _RAST_Template_Blit2<C>::scaleBlitFilterDown(dp, sp, w, h, sx, sy, dx, dy, right, bottom, sspan, dspan, ia,
                                                         weights, offset, side);
        });
        return;
    }
    RAST_DispatchCombiner(mode, ia, [&]<class C>() {
        _RAST_Template_Blit2<C>::scaleBlit(dp, sp, w, h, sx, sy, dx, dy, right, bottom, sspan, dspan, ia, filter);
    });
}
