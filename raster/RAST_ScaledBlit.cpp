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
// column). Positions move one way along a row, so the interior columns
// are one run, [interior, interiorEnd).
struct Columns {
    std::vector<int> index, frac;
    std::vector<uint8_t> kind;
    int interior = 0, interiorEnd = 0;

    Columns(int w, int sx, int dx, int lastUsable) : index((size_t)w), frac((size_t)w), kind((size_t)w) {
        int pos = sx;
        for (int i = 0; i < w; i++, pos += dx) {
            frac[(size_t)i] = pos & 0xFFFF;
            const int c = index[(size_t)i] = Index(pos);
            kind[(size_t)i] = pos < -65535 || c > lastUsable ? 0 : c < lastUsable ? 1 : 2;
        }
        while (interior < w && kind[(size_t)interior] != 1) interior++;
        interiorEnd = interior;
        while (interiorEnd < w && kind[(size_t)interiorEnd] == 1) interiorEnd++;
    }
};

#if RAST_SCALED_SSE2
// Interior pixels [i, end) of a row, four at a time (the last few left),
// each four from four(at, their down pairs): the pairs (w01 - 32768, w11 -
// 32768) from the fractions fx and fx ^ 0x8000 eight at a time.
template <class C, class Four>
void BilerpRun(unsigned char* d, const uint16_t* fx, const uint16_t* fxb, int i, int end, unsigned fy, int alpha,
               Four four) {
    const __m128i fy8 = _mm_set1_epi16((short)fy);
    auto put = [&](int at, __m128i px) {
        if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + (size_t)at * 4), px);
        } else {
            unsigned int words[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(words), px);
            for (int k = 0; k < 4; k++) Put<C>(d + (size_t)(at + k) * 4, words[k], alpha);
        }
    };
    for (; i + 4 <= end; i += 8) {
        const rast_bilinear::DownPairs8 down = rast_bilinear::ScaledDownPairs(fx + i, fxb + i, fy8);
        put(i, four(i, down.lo));
        if (i + 8 > end) break;
        put(i + 4, four(i + 4, down.hi));
    }
}
#endif

#if defined(RAST_BILINEAR_AVX2)
#define RAST_AVX2 __attribute__((target("avx2")))
// Lane pair K: pixels K (low half) and K + 4 (high half) of eight from
// column i, their taps paired by column as the 128-bit rows pair them, at
// a row fraction of at least 1 (acrossY: AcrossPairPast0, in every lane).
template <int K>
RAST_AVX2 inline __m256i BilerpLaneByColumn(const unsigned int* s0, const unsigned int* s1, const int* col,
                                            __m256i acrossY, __m256i downY) {
    long long t0, b0, t1, b1;
    std::memcpy(&t0, s0 + col[K], 8), std::memcpy(&b0, s1 + col[K], 8);
    std::memcpy(&t1, s0 + col[K + 4], 8), std::memcpy(&b1, s1 + col[K + 4], 8);
    // Each half: the pixel's top taps, then its bottom ones.
    const __m256i taps =
        _mm256_blend_epi32(_mm256_blend_epi32(_mm256_set1_epi64x(t0), _mm256_set1_epi64x(b0), 0x0C),
                           _mm256_blend_epi32(_mm256_set1_epi64x(t1), _mm256_set1_epi64x(b1), 0xC0), 0xF0);
    // (top, bottom) per channel of the column, zero-extended.
    const __m256i left =
        _mm256_shuffle_epi8(taps, _mm256_setr_epi8(0, -1, 8, -1, 1, -1, 9, -1, 2, -1, 10, -1, 3, -1, 11, -1, 0, -1, 8,
                                                   -1, 1, -1, 9, -1, 2, -1, 10, -1, 3, -1, 11, -1));
    const __m256i right =
        _mm256_shuffle_epi8(taps, _mm256_setr_epi8(4, -1, 12, -1, 5, -1, 13, -1, 6, -1, 14, -1, 7, -1, 15, -1, 4, -1,
                                                   12, -1, 5, -1, 13, -1, 6, -1, 14, -1, 7, -1, 15, -1));
    __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(left, acrossY),
                         _mm256_madd_epi16(_mm256_sub_epi16(right, left), _mm256_shuffle_epi32(downY, K * 0x55)));
    sum = _mm256_sub_epi32(sum, _mm256_madd_epi16(right, _mm256_set1_epi32((int)0x80008000u)));
    return _mm256_srli_epi32(sum, 16);
}

// Interior pixels from column i on in whole words, eight at a time, at a
// row fraction of at least 1; returns where it stopped.
RAST_AVX2 int BilerpRunAvx2(unsigned int* d, const unsigned int* s0, const unsigned int* s1, const Columns& c, int i,
                            unsigned fy) {
    const __m256i vfy = _mm256_set1_epi32((int)fy), acrossY = _mm256_set1_epi32(rast_bilinear::AcrossPairPast0(fy));
    // In locals: the stores could otherwise alias the table's fields.
    const int* const frac = c.frac.data();
    const int* const index = c.index.data();
    const int end = c.interiorEnd;
    for (; i + 8 <= end; i += 8) {
        const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frac + i));
        // Each pixel's (w01 - 32768) | (w11 - 32768) << 16.
        const __m256i w11 = _mm256_mulhi_epu16(fx, vfy);
        const __m256i downY = _mm256_xor_si256(_mm256_or_si256(_mm256_sub_epi32(fx, w11), _mm256_slli_epi32(w11, 16)),
                                               _mm256_set1_epi32((int)0x80008000u));
        const int* col = index + i;
        const __m256i a = BilerpLaneByColumn<0>(s0, s1, col, acrossY, downY);
        const __m256i b = BilerpLaneByColumn<1>(s0, s1, col, acrossY, downY);
        const __m256i e = BilerpLaneByColumn<2>(s0, s1, col, acrossY, downY);
        const __m256i f = BilerpLaneByColumn<3>(s0, s1, col, acrossY, downY);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(e, f)));
    }
    return i;
}
#undef RAST_AVX2
#endif

}  // namespace

namespace {

// Nearest columns a register at a time. On 256-bit rows, where the columns
// of a block of eight destination pixels lie within one register of source
// pixels from the block's first, and that many pixels from it may be read,
// one load and one lane permutation give the block. The 128-bit rows gather
// four pixels one by one, which measured faster than choosing one of eight
// shuffles per block by a branch.
struct NearestColumns {
    static constexpr int32_t kLoose = 255;  // a block gathered pixel by pixel
    std::vector<int> col;                   // source column of each destination pixel
    std::vector<int32_t> lanes;             // per block of 8: lane k's column less the first (kLoose: loose)

    NearestColumns(int w, int sx, int dx, int right) : col((size_t)w) {
        for (int i = 0, pos = sx; i < w; i++, pos += dx) col[(size_t)i] = Index(pos);
        lanes.assign((size_t)w / 8 * 8, kLoose);
        for (int b = 0; b < w / 8; b++) {
            const int* c = &col[(size_t)b * 8];
            if (c[0] + 8 > right) continue;
            bool fits = true;
            for (int k = 0; k < 8; k++) fits = fits && c[k] >= c[0] && c[k] - c[0] < 8;
            if (fits)
                for (int k = 0; k < 8; k++) lanes[(size_t)b * 8 + k] = c[k] - c[0];
        }
    }
};

#if RAST_SCALED_SSE2
// The fast routines' word rules on four pixels at once.
template <class C>
inline __m128i Words4(__m128i d, __m128i s) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberFAST>) {
        (void)d;
        return s;
    } else {
        const __m128i m = _mm_set1_epi32(0x7F7F7F7F);
        return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(d, 1), m), _mm_and_si128(_mm_srli_epi32(s, 1), m));
    }
}

template <class C>
void NearestRowNarrow(unsigned int* d, const unsigned int* s, const NearestColumns& nc, int w) {
    const int* c = nc.col.data();
    int i = 0;
    for (; i + 4 <= w; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(d + i);
        _mm_storeu_si128(p, Words4<C>(_mm_loadu_si128(p), _mm_setr_epi32((int)s[c[i]], (int)s[c[i + 1]],
                                                                         (int)s[c[i + 2]], (int)s[c[i + 3]])));
    }
    for (; i < w; i++) C::doPixWord(d + i, s[c[i]]);
}
#endif

#if defined(RAST_BILINEAR_AVX2)
template <class C>
__attribute__((target("avx2"))) void NearestRowWide(unsigned int* d, const unsigned int* s, const NearestColumns& nc,
                                                    int w) {
    const int* c = nc.col.data();
    const int32_t* lanes = nc.lanes.data();
    const __m256i m = _mm256_set1_epi32(0x7F7F7F7F);
    int i = 0;
    for (; i + 8 <= w; i += 8) {
        const __m256i perm = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + i));
        __m256i v;
        if (lanes[i] == 0)
            v = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + c[i])), perm);
        else
            v = _mm256_i32gather_epi32(reinterpret_cast<const int*>(s),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i)), 4);
        __m256i* p = reinterpret_cast<__m256i*>(d + i);
        if constexpr (!std::is_same_v<C, _RAST_CombinePixelsClobberFAST>)
            v = _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(_mm256_loadu_si256(p), 1), m),
                                 _mm256_and_si256(_mm256_srli_epi32(v, 1), m));
        _mm256_storeu_si256(p, v);
    }
    for (; i < w; i++) C::doPixWord(d + i, s[c[i]]);
}
#endif

// Whether two areas meet: rows 0..h-1 of n bytes each from p, span bytes
// apart.
struct Rows {
    const unsigned char* p;
    ptrdiff_t span;
    int h;
    size_t n;
};
bool Meet(Rows a, Rows b) {
    auto range = [](Rows r) {
        const ptrdiff_t last = (ptrdiff_t)(r.h - 1) * r.span;
        return std::pair<uintptr_t, uintptr_t>((uintptr_t)(r.p + std::min<ptrdiff_t>(0, last)),
                                               (uintptr_t)(r.p + std::max<ptrdiff_t>(0, last)) + r.n);
    };
    const auto x = range(a), y = range(b);
    return x.first < y.second && y.first < x.second;
}

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
        if (!allIn) {
            for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
                if (ypos < -65535 || Index(ypos) >= bottom) continue;
                const unsigned int* s = SrcRow(src, Index(ypos), srcspan);
                unsigned int* d = reinterpret_cast<unsigned int*>(dest);
                for (int i = 0; i < w; i++)
                    if (c[i] >= 0) C::doPixWord(d + i, s[c[i]]);
            }
            return;
        }
        const NearestColumns nc(w, sx, dx, right);
        // A source row taken again copies the row it gave last time, unless
        // the two bitmaps share memory, where that row may have changed.
        const bool again = std::is_same_v<C, _RAST_CombinePixelsClobberFAST> &&
                           !Meet({dest, dstspan, h, (size_t)w * 4}, {src, srcspan, bottom, (size_t)right * 4});
        int lastRow = -1;
        const unsigned char* last = nullptr;
#if defined(RAST_BILINEAR_AVX2)
        const bool wide = rast_rows::wideRegisters();
#endif
        for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
            if (ypos < -65535 || Index(ypos) >= bottom) continue;
            const int row = Index(ypos);
            unsigned int* d = reinterpret_cast<unsigned int*>(dest);
            if (again && row == lastRow) {
                memcpy(d, last, (size_t)w * 4);
                continue;
            }
            const unsigned int* s = SrcRow(src, row, srcspan);
            lastRow = row, last = dest;
#if defined(RAST_BILINEAR_AVX2)
            if (wide) {
                NearestRowWide<C>(d, s, nc, w);
                continue;
            }
#endif
#if RAST_SCALED_SSE2
            NearestRowNarrow<C>(d, s, nc, w);
#else
            for (int i = 0; i < w; i++) C::doPixWord(d + i, s[c[i]]);
#endif
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
    const uint8_t* kind = cols.kind.data();
#if defined(RAST_BILINEAR_AVX2)
    const bool wide = std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp> && rast_rows::wideRegisters();
#endif
#if RAST_SCALED_SSE2
    // The fractions as 16-bit lanes, the second set less 32768, eight more
    // than there are for the last turn.
    std::vector<uint16_t> fx16((size_t)w + 8), fxb16((size_t)w + 8);
    for (int i = 0; i < w; i++) fx16[(size_t)i] = (uint16_t)fxs[i], fxb16[(size_t)i] = (uint16_t)(fxs[i] ^ 0x8000);
#endif
    for (int y = 0, ypos = sy; y < h; y++, ypos += dy, dest += dstspan) {
        if (ypos < -65535) continue;
        const int row = Index(ypos);
        if (row > B) continue;
        // The last usable row, and a row on a whole source row, blend across
        // it alone: both taps' rows are that row, which makes the weights'
        // split between them of no account, and the row's split is taken as
        // a quarter, which the register forms take without a correction.
        const bool alone = row == B || (ypos & 0xFFFF) == 0;
        const unsigned fy = alone ? 16384u : (unsigned)ypos & 0xFFFFu;
        const unsigned int* s0 = SrcRow(src, row, srcspan);
        const unsigned int* s1 = alone ? s0 : SrcRow(src, row + 1, srcspan);
        unsigned char* d = dest;
        auto one = [&](int i) {
            if (kind[i])
                Put<C>(d + (size_t)i * 4,
                       rast_bilinear::Sample(s0, s1, idx[i], (unsigned)fxs[i], fy, kind[i] == 2, false), alpha);
        };
        int i = 0;
        for (; i < cols.interior; i++) one(i);
#if defined(RAST_BILINEAR_AVX2)
        if (wide) i = BilerpRunAvx2(reinterpret_cast<unsigned int*>(d), s0, s1, cols, i, fy);
#endif
#if RAST_SCALED_SSE2
        if (i + 4 <= cols.interiorEnd) {
            const __m128i acrossY = _mm_set1_epi32(rast_bilinear::AcrossPairPast0(fy));
            auto run = [&](int from) {
                BilerpRun<C>(d, fx16.data(), fxb16.data(), from, cols.interiorEnd, fy, alpha,
                             [&](int at, __m128i down) {
                                 return rast_bilinear::Bilerp4<true, true>(rast_bilinear::ColumnTaps{s0, s1, idx + at},
                                                                           acrossY, down);
                             });
            };
            run(i);
            i += (cols.interiorEnd - i) & ~3;
            // A copy stores the last few interior pixels again with the four
            // that end the run, rather than one by one.
            if (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp> && i < cols.interiorEnd) {
                run(cols.interiorEnd - 4);
                i = cols.interiorEnd;
            }
        }
#endif
        for (; i < w; i++) one(i);
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
