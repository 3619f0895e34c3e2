// The bilinear sample shared by the scaled, rotated and warped blits: the
// four-tap blend, the rules at the last usable column and row, and the
// register forms for interior pixels, which give the same bytes.
#pragma once

#include <cstdint>

#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace rast_bilinear {

// One bilinear result: each channel (sum of channel x weight) >> 16, the four
// weights summing to 65536. Exact: the sums stay below 2^24.
#if defined(__SSE2__)
// The channels of two taps side by side in 16-bit lanes: a a r r g g b b.
inline __m128i Taps(unsigned int p, unsigned int q) {
    __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)p), _mm_cvtsi32_si128((int)q));
    return _mm_unpacklo_epi8(x, _mm_setzero_si128());
}
inline __m128i WeightPair(unsigned a, unsigned b) { return _mm_set1_epi32((int)(a | (b << 16))); }

inline unsigned int Bilerp(unsigned int p00, unsigned int p01, unsigned int p10, unsigned int p11, unsigned w00,
                           unsigned w01, unsigned w10, unsigned w11) {
    // Weights split as 256 h + l so that every product fits a 16-bit multiply.
    const __m128i top = Taps(p00, p01), bot = Taps(p10, p11);
    __m128i hi = _mm_add_epi32(_mm_madd_epi16(top, WeightPair(w00 >> 8, w01 >> 8)),
                               _mm_madd_epi16(bot, WeightPair(w10 >> 8, w11 >> 8)));
    __m128i lo = _mm_add_epi32(_mm_madd_epi16(top, WeightPair(w00 & 255, w01 & 255)),
                               _mm_madd_epi16(bot, WeightPair(w10 & 255, w11 & 255)));
    __m128i sum = _mm_srli_epi32(_mm_add_epi32(_mm_slli_epi32(hi, 8), lo), 16);
    sum = _mm_packs_epi32(sum, sum);
    return (unsigned int)_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum));
}
#else
// Alpha and green in the two 32-bit halves, red and blue likewise.
inline uint64_t LanesAG(unsigned int p) { return (p & 0xFFu) | ((uint64_t)(p & 0xFF0000u) << 16); }
inline uint64_t LanesRB(unsigned int p) { return ((p >> 8) & 0xFFu) | ((uint64_t)(p >> 24) << 32); }

inline unsigned int Bilerp(unsigned int p00, unsigned int p01, unsigned int p10, unsigned int p11, unsigned w00,
                           unsigned w01, unsigned w10, unsigned w11) {
    uint64_t ag = (LanesAG(p00) * w00 + LanesAG(p01) * w01 + LanesAG(p10) * w10 + LanesAG(p11) * w11) >> 16;
    uint64_t rb = (LanesRB(p00) * w00 + LanesRB(p01) * w01 + LanesRB(p10) * w10 + LanesRB(p11) * w11) >> 16;
    return (unsigned int)((ag & 0xFF) | ((rb & 0xFF) << 8) | (((ag >> 32) & 0xFF) << 16) | (((rb >> 32) & 0xFF) << 24));
}
#endif

// The sample at column c of row s0 (s1 the row below) for the fractions fx
// and fy: the four taps inside; down only on the last usable column, across
// only on the last usable row (s1 not read), the pixel itself at the corner.
inline unsigned int Sample(const unsigned int* s0, const unsigned int* s1, int c, unsigned fx, unsigned fy,
                           bool lastColumn, bool lastRow) {
    if (lastRow) return lastColumn ? s0[c] : Bilerp(s0[c], s0[c + 1], 0, 0, 65536 - fx, fx, 0, 0);
    if (lastColumn) return Bilerp(s0[c], 0, s1[c], 0, 65536 - fy, 0, fy, 0);
    const unsigned w11 = (fx * fy) >> 16, w01 = fx - w11, w00 = 65536 - fy - w01, w10 = fy - w11;
    return Bilerp(s0[c], s0[c + 1], s1[c], s1[c + 1], w00, w01, w10, w11);
}

// The register code computes a bilinear sum exactly with three 16-bit
// multiply-adds a row pair instead of four, and with weights that need no
// splitting. With the taps c00 c01 (row y) and c10 c11 (row y + 1) and
// w10 = fy - w11:
//   sum = c00 (65536 - fx - w10) + c01 (fx - w11) + c10 w10 + c11 w11
//       = [c00 (32767 - fx) + c01 (fx - 32768)]                   T . across
//       + [(c10 - c00)(w10 - 32768) + (c11 - c01)(w11 - 32768)]   (B - T) . down
//       + 32768 (c10 + c11) + c00,
// where every weight lies in -32768..32767, every tap difference in
// -255..255, and every partial sum far inside 32 bits. The across pair of
// a pixel is (32767 - fx) | (fx ^ 0x8000) << 16, its down pair
// (w10 | w11 << 16) ^ 0x80008000; both sit in the pixel's 32-bit lane.
// Interior pixels read their taps at p and p + 1 of one row and the same
// two span bytes further on.
//
// The 128-bit form pairs the taps by column instead, L = (c00, c10) and
// R = (c01, c11), which one byte interleave of the two rows gives: the same
// sum with x and y swapped,
//   sum = L . acrossY + (R - L) . downY + 32768 (c01 + c11) + c00,
// acrossY = (32767 - fy) | (fy ^ 0x8000) << 16, the same for a whole
// scaled row, and downY = (w01 | w11 << 16) ^ 0x80008000.
#if defined(__SSE2__)
inline const unsigned int* Below(const unsigned int* p, ptrdiff_t span) {
    return reinterpret_cast<const unsigned int*>(reinterpret_cast<const unsigned char*>(p) + span);
}

// Where the register forms find the taps of pixel k: top(k) the upper
// pair, bottom(k) the lower. A scaled row has one pair of source rows and
// a column per pixel; a turned one an offset per pixel.
struct ColumnTaps {
    const unsigned int *s0, *s1;
    const int* col;
    const unsigned int* top(int k) const { return s0 + col[k]; }
    const unsigned int* bottom(int k) const { return s1 + col[k]; }
};
struct OffsetTaps {
    const unsigned char* base;
    const int32_t* off;  // bytes from base
    ptrdiff_t span;
    const unsigned int* top(int k) const { return reinterpret_cast<const unsigned int*>(base + off[k]); }
    const unsigned int* bottom(int k) const { return Below(top(k), span); }
};

// Per 32-bit lane, from fractions in 0..65535: 32767 - f is f ^ 0x7FFF in
// 16 bits, f ^ 0x8000 is f - 32768.
inline __m128i AcrossPairs(__m128i f) {
    return _mm_xor_si128(_mm_or_si128(f, _mm_slli_epi32(f, 16)), _mm_set1_epi32((int)0x80007FFFu));
}
inline __m128i DownPairsY(__m128i fx, __m128i fy) {
    const __m128i w11 = _mm_mulhi_epu16(fx, fy);  // (fx fy) >> 16; the high halves are 0
    const __m128i w01 = _mm_sub_epi32(fx, w11);
    return _mm_xor_si128(_mm_or_si128(w01, _mm_slli_epi32(w11, 16)), _mm_set1_epi32((int)0x80008000u));
}

// The down pairs of eight pixels of one scaled row, pixels 0-3 in lo and
// 4-7 in hi, from their column fractions fx and fx ^ 0x8000 (16 bits each)
// and the row's fraction in every 16-bit lane of fy16.
struct DownPairs8 {
    __m128i lo, hi;
};
inline DownPairs8 ScaledDownPairs(const uint16_t* fx, const uint16_t* fxb, __m128i fy16) {
    const __m128i w11 = _mm_mulhi_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(fx)), fy16);
    const __m128i w01 = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(fxb)), w11);
    const __m128i w11b = _mm_xor_si128(w11, _mm_set1_epi16((short)0x8000));
    return {_mm_unpacklo_epi16(w01, w11b), _mm_unpackhi_epi16(w01, w11b)};
}

// A row fraction of at least 1 allows acrossY = (32768 - fy) | (fy ^
// 0x8000) << 16, and then the sum takes no c00.
inline int AcrossPairPast0(unsigned fy) { return (int)(((32768 - fy) & 0xFFFFu) | ((fy ^ 0x8000u) << 16)); }

// One interior pixel from its taps and its pairs in every lane (past0: a
// row fraction of at least 1, with AcrossPairPast0).
template <bool past0>
inline __m128i BilerpPixel(const unsigned int* top, const unsigned int* bottom, __m128i acrossY, __m128i downY) {
    const __m128i z = _mm_setzero_si128();
    const __m128i x = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom)));
    const __m128i l = _mm_unpacklo_epi8(x, z), r = _mm_unpackhi_epi8(x, z);
    __m128i sum = _mm_add_epi32(_mm_madd_epi16(l, acrossY), _mm_madd_epi16(_mm_sub_epi16(r, l), downY));
    sum = _mm_sub_epi32(sum, _mm_madd_epi16(r, _mm_set1_epi32((int)0x80008000u)));
    if constexpr (!past0) sum = _mm_add_epi32(sum, _mm_and_si128(l, _mm_set1_epi32(0xFFFF)));
    return _mm_srli_epi32(sum, 16);
}

// Four interior pixels, pixel k's taps at taps.top(k) and taps.bottom(k)
// and its pairs in lane k (acrossY in every lane when sameRow: one scaled
// row).
template <bool sameRow, bool past0 = false, class Taps>
__attribute__((always_inline)) inline __m128i Bilerp4(const Taps& taps, __m128i acrossY, __m128i downY) {
    auto lane = [&](auto k) {
        constexpr int K = decltype(k)::value;
        return BilerpPixel<past0>(taps.top(K), taps.bottom(K), sameRow ? acrossY : _mm_shuffle_epi32(acrossY, K * 0x55),
                                  _mm_shuffle_epi32(downY, K * 0x55));
    };
    const __m128i a = lane(std::integral_constant<int, 0>()), b = lane(std::integral_constant<int, 1>());
    const __m128i c = lane(std::integral_constant<int, 2>()), d = lane(std::integral_constant<int, 3>());
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// The same arithmetic eight pixels at a time, where the processor has AVX2;
// pixel k sits in lane k.
#define RAST_BILINEAR_AVX2 1
#define RAST_AVX2 __attribute__((target("avx2")))

RAST_AVX2 inline __m256i AcrossPairsAvx2(__m256i fx) {
    return _mm256_xor_si256(_mm256_or_si256(fx, _mm256_slli_epi32(fx, 16)), _mm256_set1_epi32((int)0x80007FFFu));
}
RAST_AVX2 inline __m256i DownPairsAvx2(__m256i fx, __m256i fy) {
    const __m256i w11 = _mm256_mulhi_epu16(fx, fy);
    const __m256i w10 = _mm256_sub_epi32(fy, w11);
    return _mm256_xor_si256(_mm256_or_si256(w10, _mm256_slli_epi32(w11, 16)), _mm256_set1_epi32((int)0x80008000u));
}

// Both taps of one row for pixel k (low half, at lo) and k + 4 (high half, at hi).
RAST_AVX2 inline __m256i TapsAvx2(const unsigned int* lo, const unsigned int* hi) {
    // Within each half: a a r r g g b b, zero-extended.
    const __m256i order = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1, 0, -1, 4, -1, 1, -1,
                                           5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    // Broadcast loads and a blend leave the shuffle unit to the one shuffle.
    long long x, y;
    std::memcpy(&x, lo, 8);
    std::memcpy(&y, hi, 8);
    const __m256i a = _mm256_set1_epi64x(x), b = _mm256_set1_epi64x(y);
    return _mm256_shuffle_epi8(_mm256_blend_epi32(a, b, 0xF0), order);
}

template <int K, class Taps>
RAST_AVX2 inline __m256i BilerpLaneAvx2(const Taps& taps, __m256i across, __m256i down) {
    const __m256i top = TapsAvx2(taps.top(K), taps.top(K + 4)), bot = TapsAvx2(taps.bottom(K), taps.bottom(K + 4));
    __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(top, _mm256_shuffle_epi32(across, K * 0x55)),
                                   _mm256_madd_epi16(_mm256_sub_epi16(bot, top), _mm256_shuffle_epi32(down, K * 0x55)));
    sum = _mm256_sub_epi32(sum, _mm256_madd_epi16(bot, _mm256_set1_epi32((int)0x80008000u)));
    sum = _mm256_add_epi32(sum, _mm256_and_si256(top, _mm256_set1_epi32(0xFFFF)));
    return _mm256_srli_epi32(sum, 16);
}

// Eight interior pixels in order, pixel k's taps as for Bilerp4.
template <class Taps>
RAST_AVX2 inline __m256i Bilerp8Avx2(const Taps& taps, __m256i across, __m256i down) {
    const __m256i a = BilerpLaneAvx2<0>(taps, across, down), b = BilerpLaneAvx2<1>(taps, across, down);
    const __m256i e = BilerpLaneAvx2<2>(taps, across, down), f = BilerpLaneAvx2<3>(taps, across, down);
    // In-lane packing puts pixels 0-3 in the low half and 4-7 in the high.
    return _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(e, f));
}
#undef RAST_AVX2
#endif

}  // namespace rast_bilinear
