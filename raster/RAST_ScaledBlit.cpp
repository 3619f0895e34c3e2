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
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define RAST_SCALED_AVX2 1
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
    // (see below), which depend on the column alone.
    static int AcrossWeights(int fx) {
        return (int)(((unsigned)(32767 - fx) & 0xFFFFu) | ((unsigned)(fx ^ 0x8000) << 16));
    }
};

// The register code computes a bilinear sum exactly with three 16-bit
// multiply-adds a row pair instead of four, and with weights that need no
// splitting. With the taps c00 c01 (row y) and c10 c11 (row y + 1) and
// w10 = fy - w11:
//   sum = c00 (65536 - fx - w10) + c01 (fx - w11) + c10 w10 + c11 w11
//       = [c00 (32767 - fx) + c01 (fx - 32768)]                   T . across
//       + [(c10 - c00)(w10 - 32768) + (c11 - c01)(w11 - 32768)]   (B - T) . down
//       + 32768 (c10 + c11) + c00,
// where every weight lies in -32768..32767, every tap difference in
// -255..255, and every partial sum far inside 32 bits. The down pair is
// (w10 | w11 << 16) ^ 0x80008000.

#if RAST_SCALED_SSE2
// Both taps of one row (columns c and c + 1) as a a r r g g b b.
inline __m128i RowTaps(const unsigned int* row, int c) {
    __m128i x = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + c)), _mm_setzero_si128());
    return _mm_unpacklo_epi16(x, _mm_srli_si128(x, 8));
}

template <int K>
inline __m128i Lane(__m128i v) {
    return _mm_shuffle_epi32(v, K * 0x55);
}

template <int K>
inline __m128i BilerpLane(const unsigned int* s0, const unsigned int* s1, int c, __m128i across, __m128i down) {
    const __m128i top = RowTaps(s0, c), bot = RowTaps(s1, c);
    __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(top, Lane<K>(across)), _mm_madd_epi16(_mm_sub_epi16(bot, top), Lane<K>(down)));
    sum = _mm_sub_epi32(sum, _mm_madd_epi16(bot, _mm_set1_epi32((int)0x80008000u)));
    sum = _mm_add_epi32(sum, _mm_and_si128(top, _mm_set1_epi32(0xFFFF)));
    return _mm_srli_epi32(sum, 16);
}

// Four interior pixels at once: the sum above, the weights of all four made
// together.
inline __m128i Bilerp4(const unsigned int* s0, const unsigned int* s1, const int* idx, const int* fxs,
                       const int* acrossW, unsigned fy) {
    const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fxs));
    const __m128i across = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acrossW));
    const __m128i vfy = _mm_set1_epi32((int)fy);
    const __m128i w11 = _mm_mulhi_epu16(fx, vfy);  // (fx fy) >> 16; the high halves are 0
    const __m128i w10 = _mm_sub_epi32(vfy, w11);
    const __m128i down = _mm_xor_si128(_mm_or_si128(w10, _mm_slli_epi32(w11, 16)), _mm_set1_epi32((int)0x80008000u));
    __m128i a = BilerpLane<0>(s0, s1, idx[0], across, down);
    __m128i b = BilerpLane<1>(s0, s1, idx[1], across, down);
    __m128i c = BilerpLane<2>(s0, s1, idx[2], across, down);
    __m128i d = BilerpLane<3>(s0, s1, idx[3], across, down);
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}
#endif

#if RAST_SCALED_AVX2
// The same arithmetic eight pixels at a time, where the processor has AVX2.
#define RAST_AVX2 __attribute__((target("avx2")))

// Both taps of one row for pixel k (low half) and k + 4 (high half).
RAST_AVX2 inline __m256i TapsAvx2(const unsigned int* row, const int* c, int k) {
    // Within each half: a a r r g g b b, zero-extended.
    const __m256i order = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1, 0, -1, 4, -1, 1, -1,
                                           5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    __m256i v = _mm256_set_m128i(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + c[k + 4])),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + c[k])));
    return _mm256_shuffle_epi8(v, order);
}

template <int K>
RAST_AVX2 inline __m256i BilerpLaneAvx2(const unsigned int* s0, const unsigned int* s1, const int* c, __m256i across,
                                        __m256i down) {
    const __m256i top = TapsAvx2(s0, c, K), bot = TapsAvx2(s1, c, K);
    __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(top, _mm256_shuffle_epi32(across, K * 0x55)),
                                   _mm256_madd_epi16(_mm256_sub_epi16(bot, top), _mm256_shuffle_epi32(down, K * 0x55)));
    sum = _mm256_sub_epi32(sum, _mm256_madd_epi16(bot, _mm256_set1_epi32((int)0x80008000u)));
    sum = _mm256_add_epi32(sum, _mm256_and_si256(top, _mm256_set1_epi32(0xFFFF)));
    return _mm256_srli_epi32(sum, 16);
}

// Writes whole words from column i on while eight columns in a row are
// interior, and returns where it stopped.
RAST_AVX2 int BilerpRunAvx2(unsigned int* d, const unsigned int* s0, const unsigned int* s1, const int* idx,
                            const int* fxs, const int* acrossW, const uint8_t* kind, int i, int w, unsigned fy) {
    const __m256i vfy = _mm256_set1_epi32((int)fy);
    const __m256i flip = _mm256_set1_epi32((int)0x80008000u);
    for (; i + 8 <= w; i += 8) {
        uint64_t k8;
        memcpy(&k8, kind + i, 8);
        if (k8 != 0x0101010101010101ull) break;
        const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fxs + i));
        const __m256i across = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acrossW + i));
        const __m256i w11 = _mm256_mulhi_epu16(fx, vfy);  // (fx fy) >> 16; the high halves are 0
        const __m256i w10 = _mm256_sub_epi32(vfy, w11);
        const __m256i down = _mm256_xor_si256(_mm256_or_si256(w10, _mm256_slli_epi32(w11, 16)), flip);
        const int* c = idx + i;
        const __m256i a = BilerpLaneAvx2<0>(s0, s1, c, across, down);
        const __m256i b = BilerpLaneAvx2<1>(s0, s1, c, across, down);
        const __m256i e = BilerpLaneAvx2<2>(s0, s1, c, across, down);
        const __m256i f = BilerpLaneAvx2<3>(s0, s1, c, across, down);
        // In-lane packing puts pixels 0-3 in the low half and 4-7 in the high.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(e, f)));
    }
    return i;
}
#undef RAST_AVX2
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
#if RAST_SCALED_AVX2
            const bool wide = std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp> && rast_rows::wideRegisters();
#endif
            while (i < w) {
#if RAST_SCALED_AVX2
                if (wide && i + 8 <= w) {
                    int next =
                        BilerpRunAvx2(reinterpret_cast<unsigned int*>(d), s0, s1, idx, fxs, across, kind, i, w, fy);
                    if (next != i) {
                        i = next;
                        continue;
                    }
                }
#endif
#if RAST_SCALED_SSE2
                if (i + 4 <= w && kind[i] == 1 && kind[i + 1] == 1 && kind[i + 2] == 1 && kind[i + 3] == 1) {
                    __m128i four = Bilerp4(s0, s1, idx + i, fxs + i, across + i, fy);
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
