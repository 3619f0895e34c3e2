// Row loops of the combiners. Every combiner has a per-pixel row; the ones
// the panel draws with all the time (copy at an opacity, the source-alpha
// copies, add) also have a whole-register row that gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "raster/RAST_Combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define RAST_HAVE_SSE2 1
#endif

namespace rast_rows {

template <class C>
inline void pixelRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
  for (int i = 0; i < w; i++, d += 4, s += 4) C::doPix(d, s[1], s[2], s[3], s[0], alpha);
}

template <class C>
inline void pixelSolidRow(unsigned char* d, int w, int r, int g, int b, int a, int alpha) {
  for (int i = 0; i < w; i++, d += 4) C::doPix(d, r, g, b, a, alpha);
}

#if RAST_HAVE_SSE2

inline __m128i load4(const unsigned char* p) { return _mm_loadu_si128((const __m128i*)p); }
inline void store4(unsigned char* p, __m128i v) { _mm_storeu_si128((__m128i*)p, v); }

// Per byte s + (d - s) * keep / 256, truncated toward zero, with keep
// (0..256) given per 16-bit lane for the low and the high two pixels.
inline __m128i lerp(__m128i d, __m128i s, __m128i keepLo, __m128i keepHi) {
  const __m128i z = _mm_setzero_si128();
  __m128i up = _mm_subs_epu8(d, s);
  __m128i diff = _mm_or_si128(up, _mm_subs_epu8(s, d));
  // (diff << 8) * keep >> 16 is diff * keep / 256, exact in 16 bits.
  __m128i qlo = _mm_mulhi_epu16(_mm_unpacklo_epi8(z, diff), keepLo);
  __m128i qhi = _mm_mulhi_epu16(_mm_unpackhi_epi8(z, diff), keepHi);
  __m128i q = _mm_packus_epi16(qlo, qhi);
  __m128i down = _mm_cmpeq_epi8(up, z);  // d <= s: move down from s
  return _mm_or_si128(_mm_and_si128(down, _mm_sub_epi8(s, q)), _mm_andnot_si128(down, _mm_add_epi8(s, q)));
}

// Each pixel's alpha byte spread over its four 16-bit lanes.
inline __m128i alphaLanes(__m128i v16) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v16, 0x00), 0x00);
}

inline __m128i alphaByteMask() { return _mm_set1_epi32(0xFF); }

// Per byte v * factor / 256 (factor 0..256 per 16-bit lane, low and high
// two pixels).
inline __m128i scaleBytes(__m128i v, __m128i fLo, __m128i fHi) {
  const __m128i z = _mm_setzero_si128();
  return _mm_packus_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(z, v), fLo), _mm_mulhi_epu16(_mm_unpackhi_epi8(z, v), fHi));
}

// Source-alpha strength k = (a + 1) * alpha / 256 per lane, for 0 <= alpha <= 256.
struct Strength {
  __m128i lo, hi;
};
inline Strength srcAlphaStrength(__m128i sv, __m128i al, bool full) {
  const __m128i z = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  __m128i aLo = _mm_add_epi16(alphaLanes(_mm_unpacklo_epi8(sv, z)), one);
  __m128i aHi = _mm_add_epi16(alphaLanes(_mm_unpackhi_epi8(sv, z)), one);
  if (full) return {aLo, aHi};
  return {_mm_srli_epi16(_mm_mullo_epi16(aLo, al), 8), _mm_srli_epi16(_mm_mullo_epi16(aHi, al), 8)};
}

// Colour bytes from c, alpha bytes from a.
inline __m128i withAlpha(__m128i c, __m128i a) {
  const __m128i m = alphaByteMask();
  return _mm_or_si128(_mm_andnot_si128(m, c), _mm_and_si128(m, a));
}

#endif

#if RAST_HAVE_SSE2
#define RAST_KERNEL(body) [&](__m128i dv, __m128i sv) -> __m128i { body }
#else
#define RAST_KERNEL(body) 0
#endif

// Four pixels at a time through kernel(destination, source), the rest
// through the combiner C.
template <class C, class K>
inline void registerRow(unsigned char* d, const unsigned char* s, int w, int alpha, K kernel) {
  int i = 0;
#if RAST_HAVE_SSE2
  for (; i + 4 <= w; i += 4) store4(d + 4 * i, kernel(load4(d + 4 * i), load4(s + 4 * i)));
#endif
  pixelRow<C>(d + 4 * i, s + 4 * i, w - i, alpha);
}

// Copy at a constant opacity, 0 < alpha < 256.
inline void lerpRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
#if RAST_HAVE_SSE2
  const __m128i keep = _mm_set1_epi16((short)(256 - alpha));
#endif
  registerRow<_RAST_CombinePixelsCopyNoClamp>(d, s, w, alpha, RAST_KERNEL(return lerp(dv, sv, keep, keep);));
}

// The fill's copy: colour bytes from the colour, alpha byte a = alpha.
inline void lerpSolidRow(unsigned char* d, int w, int r, int g, int b, int alpha) {
  int i = 0;
#if RAST_HAVE_SSE2
  const __m128i keep = _mm_set1_epi16((short)(256 - alpha));
  const __m128i c = _mm_set1_epi32((int)RAST_MakePixel(alpha, r, g, b));
  for (; i + 4 <= w; i += 4) store4(d + 4 * i, lerp(load4(d + 4 * i), c, keep, keep));
#endif
  pixelSolidRow<_RAST_CombinePixelsCopyNoClamp>(d + 4 * i, w - i, r, g, b, alpha, alpha);
}

// Source-alpha copy at full opacity: transparent sources leave the pixel,
// opaque ones replace it; in between colour moves by (255 - a) / 256 and
// the alpha bytes add.
inline void srcAlphaFullRow(unsigned char* d, const unsigned char* s, int w) {
  int i = 0;
#if RAST_HAVE_SSE2
  const __m128i z = _mm_setzero_si128();
  const __m128i amask = alphaByteMask();
  const __m128i k255 = _mm_set1_epi16(255);
  for (; i + 4 <= w; i += 4) {
    __m128i sv = load4(s + 4 * i);
    __m128i sa = _mm_and_si128(sv, amask);
    int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, amask));
    if (opaque == 0xFFFF) {
      store4(d + 4 * i, sv);
      continue;
    }
    __m128i clear = _mm_cmpeq_epi32(sa, z);
    if (_mm_movemask_epi8(clear) == 0xFFFF) continue;
    __m128i dv = load4(d + 4 * i);
    __m128i keepLo = _mm_sub_epi16(k255, alphaLanes(_mm_unpacklo_epi8(sv, z)));
    __m128i keepHi = _mm_sub_epi16(k255, alphaLanes(_mm_unpackhi_epi8(sv, z)));
    __m128i out = withAlpha(lerp(dv, sv, keepLo, keepHi), _mm_adds_epu8(dv, sa));
    out = _mm_or_si128(_mm_and_si128(clear, dv), _mm_andnot_si128(clear, out));
    store4(d + 4 * i, out);
  }
#endif
  pixelRow<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(d + 4 * i, s + 4 * i, w - i, 256);
}

// Source-alpha copy at 0 <= alpha < 256, where k = (a + 1) * alpha / 256
// stays below 256 and a transparent source gives k = 0, keeping the pixel.
inline void srcAlphaRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
#if RAST_HAVE_SSE2
  const __m128i k256 = _mm_set1_epi16(256);
  const __m128i al = _mm_set1_epi16((short)alpha);
#endif
  registerRow<_RAST_CombinePixelsCopySourceAlphaNoClamp>(d, s, w, alpha, RAST_KERNEL({
    Strength k = srcAlphaStrength(sv, al, false);
    __m128i out = lerp(dv, sv, _mm_sub_epi16(k256, k.lo), _mm_sub_epi16(k256, k.hi));
    return withAlpha(out, _mm_adds_epu8(dv, _mm_packus_epi16(k.lo, k.hi)));
  }));
}

// Add at 0 <= alpha <= 256: saturating add of s * alpha / 256.
inline void addRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
#if RAST_HAVE_SSE2
  const __m128i al = _mm_set1_epi16((short)alpha);
#endif
  if (alpha == 256)
    registerRow<_RAST_CombinePixelsAdd>(d, s, w, alpha, RAST_KERNEL(return _mm_adds_epu8(dv, sv);));
  else
    registerRow<_RAST_CombinePixelsAdd>(d, s, w, alpha, RAST_KERNEL(return _mm_adds_epu8(dv, scaleBytes(sv, al, al));));
}

// Add with source alpha at 0 <= alpha <= 256; a transparent source has
// k <= 1, which adds nothing.
inline void addSrcAlphaRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
#if RAST_HAVE_SSE2
  const __m128i al = _mm_set1_epi16((short)alpha);
  const bool full = alpha == 256;
#endif
  registerRow<_RAST_CombinePixelsAddSourceAlpha>(d, s, w, alpha, RAST_KERNEL({
    Strength k = srcAlphaStrength(sv, al, full);
    return _mm_adds_epu8(dv, scaleBytes(sv, k.lo, k.hi));
  }));
}

#undef RAST_KERNEL

// Combiners that work on whole words.
template <class C>
concept WordCombiner = requires(unsigned int* d, unsigned int c) { C::doPixWord(d, c); };

// One row of the blit: the combiner's per-pixel loop, or its register form
// where the opacity allows it.
template <class C>
struct Row {
  static inline void run(unsigned char* d, const unsigned char* s, int w, int alpha) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>) {
      memcpy(d, s, (size_t)w * 4);
      return;
    } else if constexpr (WordCombiner<C>) {
      unsigned int* dw = (unsigned int*)d;
      const unsigned int* sw = (const unsigned int*)s;
      for (int i = 0; i < w; i++) C::doPixWord(dw + i, sw[i]);
      return;
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopyNoClamp>) {
      if (alpha > 0 && alpha < 256) return lerpRow(d, s, w, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>) {
      return srcAlphaFullRow(d, s, w);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopySourceAlphaNoClamp>) {
      if (alpha >= 0 && alpha < 256) return srcAlphaRow(d, s, w, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsAdd>) {
      if (alpha >= 0 && alpha <= 256) return addRow(d, s, w, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsAddSourceAlpha>) {
      if (alpha >= 0 && alpha <= 256) return addSrcAlphaRow(d, s, w, alpha);
    }
    pixelRow<C>(d, s, w, alpha);
  }
};

// One row of a solid fill (colour channels r, g, b; a = alpha).
template <class C>
struct SolidRow {
  static inline void run(unsigned char* d, int w, int r, int g, int b, int alpha) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopyNoClamp>) {
      if (alpha > 0 && alpha < 256) return lerpSolidRow(d, w, r, g, b, alpha);
    }
    pixelSolidRow<C>(d, w, r, g, b, alpha, alpha);
  }
};

}  // namespace rast_rows

// The blit's inner loop, one instance per combiner. Strides are in bytes
// and negative for flipped bitmaps.
template <class C>
struct _RAST_Template_Blit2 {
  static void blit(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t srcspan, ptrdiff_t dstspan,
                   int alpha) {
    for (; h > 0; h--, dest += dstspan, src += srcspan) rast_rows::Row<C>::run(dest, src, w, alpha);
  }

  // Scaled rows (RAST_ScaledBlit.cpp): positions and steps in 16.16, spans
  // in bytes; src is source pixel (0, 0). Nearest pixel, or bilinear when
  // filter is 0x100.
  static void scaleBlit(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy, int dx, int dy,
                        int right, int bottom, int srcspan, int dstspan, int alpha, int filter);
  // Box average over a side x side window of weights starting offset pixels
  // up and left of each sampled pixel.
  static void scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy, int dx,
                                  int dy, int right, int bottom, int srcspan, int dstspan, int alpha,
                                  const int* weights, int offset, int side);
};

// Colour fills, one instance per combiner. Strides are in bytes.
template <class C>
struct _RAST_Template_Blit1 {
  // Every pixel with the colour (r, g, b) and a = alpha.
  static void solidBlit(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, ptrdiff_t stride) {
    for (; h > 0; h--, dest += stride) rast_rows::SolidRow<C>::run(dest, w, r, g, b, alpha);
  }

  // start, dx and dy hold red, green, blue and alpha in 16.16 fixed point;
  // the caller keeps them small enough that no sum can overflow. Channel
  // values outside 0..255 reach the combiner as they are (within +-32768).
  static void gradBlit(unsigned char* dest, int w, int h, const int64_t start[4], const int64_t dx[4],
                       const int64_t dy[4], ptrdiff_t stride) {
    auto ch = [](int64_t v) {
      int64_t c = v / 65536;
      return (int)(c < -32768 ? -32768 : c > 32767 ? 32767 : c);
    };
    int64_t row[4] = {start[0], start[1], start[2], start[3]};
    for (; h > 0; h--, dest += stride) {
      int64_t v[4] = {row[0], row[1], row[2], row[3]};
      unsigned char* d = dest;
      for (int x = 0; x < w; x++, d += 4) {
        int al = ch(v[3]);
        C::doPix(d, ch(v[0]), ch(v[1]), ch(v[2]), al, al);
        for (int i = 0; i < 4; i++) v[i] += dx[i];
      }
      for (int i = 0; i < 4; i++) row[i] += dy[i];
    }
  }
};
