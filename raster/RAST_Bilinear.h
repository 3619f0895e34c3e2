// The bilinear sample shared by the scaled, rotated and warped blits: the
// four-tap blend and the rules at the last usable column and row.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
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

}  // namespace rast_bilinear
