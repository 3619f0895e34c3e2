// Row loops of the combiners. Every combiner has a per-pixel row; the ones
// the panel draws with all the time (copy at an opacity, the source-alpha
// copies, add, colour dodge) also have a whole-register row that gives the
// same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "raster/RAST_Combine.h"

namespace rast_rows {

template <class C>
inline void pixelRow(unsigned char* d, const unsigned char* s, int w, int alpha) {
    for (int i = 0; i < w; i++, d += 4, s += 4) C::doPix(d, s[1], s[2], s[3], s[0], alpha);
}

template <class C>
inline void pixelSolidRow(unsigned char* d, int w, int r, int g, int b, int a, int alpha) {
    for (int i = 0; i < w; i++, d += 4) C::doPix(d, r, g, b, a, alpha);
}

// Rows of an area: first pixels and byte strides (negative for flipped
// bitmaps). Fills leave the source null.
struct Area {
    unsigned char* d;
    const unsigned char* s;
    int w, h;
    ptrdiff_t dstride, sstride;
};

// Register forms of the combiners' loops, giving the same bytes. They run on
// 256-bit registers where the processor has them (AVX2), else on 128-bit.
void copyArea(const Area& a);
void fillArea(const Area& a, unsigned int c);
// Copy at 0 < alpha < 256, from a source and from a colour (r, g, b; a = alpha).
void lerpArea(const Area& a, int alpha);
void lerpSolidArea(const Area& a, int r, int g, int b, int alpha);
// Source-alpha copy at full opacity and at 0 <= alpha < 256.
void srcAlphaFullArea(const Area& a);
void srcAlphaArea(const Area& a, int alpha);
// Add and add with source alpha at 0 <= alpha <= 256.
void addArea(const Area& a, int alpha);
void addSrcAlphaArea(const Area& a, int alpha);
// Colour dodge and colour dodge with source alpha at 0 <= alpha <= 256.
void dodgeArea(const Area& a, int alpha);
void dodgeSrcAlphaArea(const Area& a, int alpha);

// Whether the 256-bit forms run; tests and benchmarks turn them off to
// reach the 128-bit ones. Turning them on does nothing without AVX2.
bool wideRegisters();
void useWideRegisters(bool on);

// Combiners that work on whole words.
template <class C>
concept WordCombiner = requires(unsigned int* d, unsigned int c) {
    C::doPixWord(d, c);
};

// The blit's loop for combiner C: its register form where the opacity
// allows it, else the combiner pixel by pixel.
template <class C>
inline void combineArea(const Area& a, int alpha) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>) {
        return copyArea(a);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopyNoClamp>) {
        if (alpha > 0 && alpha < 256) return lerpArea(a, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>) {
        return srcAlphaFullArea(a);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopySourceAlphaNoClamp>) {
        if (alpha >= 0 && alpha < 256) return srcAlphaArea(a, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsAdd>) {
        if (alpha >= 0 && alpha <= 256) return addArea(a, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsAddSourceAlpha>) {
        if (alpha >= 0 && alpha <= 256) return addSrcAlphaArea(a, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsColorDodge>) {
        if (alpha >= 0 && alpha <= 256) return dodgeArea(a, alpha);
    } else if constexpr (std::is_same_v<C, _RAST_CombinePixelsColorDodgeSourceAlpha>) {
        if (alpha >= 0 && alpha <= 256) return dodgeSrcAlphaArea(a, alpha);
    }
    unsigned char* d = a.d;
    const unsigned char* s = a.s;
    for (int y = 0; y < a.h; y++, d += a.dstride, s += a.sstride) {
        if constexpr (WordCombiner<C>) {
            unsigned int* dw = (unsigned int*)d;
            const unsigned int* sw = (const unsigned int*)s;
            for (int i = 0; i < a.w; i++) C::doPixWord(dw + i, sw[i]);
        } else {
            pixelRow<C>(d, s, a.w, alpha);
        }
    }
}

// A fill's loop for combiner C: colour (r, g, b) and a = alpha.
template <class C>
inline void solidArea(const Area& a, int r, int g, int b, int alpha) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopyNoClamp>) {
        if (alpha > 0 && alpha < 256) return lerpSolidArea(a, r, g, b, alpha);
    }
    unsigned char* d = a.d;
    for (int y = 0; y < a.h; y++, d += a.dstride) pixelSolidRow<C>(d, a.w, r, g, b, alpha, alpha);
}

}  // namespace rast_rows

// The blit's inner loop, one instance per combiner. Strides are in bytes
// and negative for flipped bitmaps.
template <class C>
struct _RAST_Template_Blit2 {
    static void blit(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t srcspan, ptrdiff_t dstspan,
                     int alpha) {
        rast_rows::combineArea<C>({dest, src, w, h, dstspan, srcspan}, alpha);
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
        rast_rows::solidArea<C>({dest, nullptr, w, h, stride, 0}, r, g, b, alpha);
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
