// Combiners: how one destination pixel takes on a source colour at an
// opacity. Every drawing family is a template over a combiner class so the
// per-pixel step is inlined and the mode is decided once per call.
//
// doPix(dest, r, g, b, a, alpha): dest points at the pixel's bytes (alpha,
// red, green, blue); r, g, b, a are the source channel values, alpha the
// integer opacity (256 = full). The alpha byte is a fourth channel whose
// source value is a. Channels are expected within +-32768 and alpha within
// +-RAST_ALPHA_LIMIT; inside those bounds no arithmetic overflows.
//
// Division by 256, 32768 or 65536 truncates toward zero (C division); where
// no clamp is stated the stored byte is the low 8 bits of the result.
#pragma once

#include <cstdint>

#include "raster/RAST_Pixel.h"

// Reciprocal table of the HSV conversion: [0] = 0, [i] = 65536 / i - 1.
extern const unsigned short _RAST_RGB2HSV_invtab[256];

namespace rast_detail {

inline int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
inline int clamp255(int64_t v) { return v < 0 ? 0 : v > 255 ? 255 : (int)v; }

// Source-alpha strength.
inline int64_t srcAlphaK(int a, int alpha) { return ((int64_t)(a + 1) * alpha) / 256; }

template <bool CLAMP>
inline unsigned char store(int v) {
    return (unsigned char)(CLAMP ? clamp255(v) : v);
}
template <bool CLAMP>
inline unsigned char store(int64_t v) {
    return (unsigned char)(CLAMP ? clamp255(v) : v);
}

template <bool CLAMP>
inline unsigned char lerpCh(int d, int s, int keep) {
    return store<CLAMP>(s + ((d - s) * keep) / 256);
}
template <bool CLAMP>
inline unsigned char lerpCh(int d, int s, int64_t keep) {
    return store<CLAMP>(s + ((int64_t)(d - s) * keep) / 256);
}

template <bool CLAMP>
inline unsigned char mulCh(int d, int s, int64_t alpha) {
    return store<CLAMP>(((s * alpha + (256 - alpha) * 256) * d) / 65536);
}

// floor(2^32 / t) + 1 for t = 2..256: n * [t] >> 32 is n / t for every
// n below 65536, without a division.
extern const uint32_t dodgeRecip[257];

inline unsigned char dodgeCh(int d, int s, int64_t alpha) {
    int64_t t = 256 - (s * alpha) / 256;
    int64_t n = (int64_t)d * 256, v;
    if (t < 2)
        v = n;
    else if (t <= 256)
        v = (int64_t)(((uint64_t)n * dodgeRecip[t]) >> 32);
    else
        v = n / t;
    return (unsigned char)(v > 255 ? 255 : v);
}

inline unsigned char overlayCh(int d, int s, int64_t alpha) {
    int64_t sp = s * alpha + (256 - alpha) * 128;
    return (unsigned char)clamp255(((sp + ((32768 - sp) * d) / 256) * d) / 32768);
}

void hsvAdjust(unsigned char* dest, int r, int g, int b, int a, int64_t alpha);

// Applies fn(destination byte, source value) to the four bytes.
template <class Fn>
inline void perChannel(unsigned char* dest, int r, int g, int b, int a, Fn fn) {
    dest[0] = (unsigned char)fn(dest[0], a);
    dest[1] = (unsigned char)fn(dest[1], r);
    dest[2] = (unsigned char)fn(dest[2], g);
    dest[3] = (unsigned char)fn(dest[3], b);
}

}  // namespace rast_detail

// ---- copy ----

template <bool CLAMP>
struct _RAST_CombineCopyT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        const int keep = 256 - alpha;
        rast_detail::perChannel(dest, r, g, b, a,
                                [keep](int d, int s) { return rast_detail::lerpCh<CLAMP>(d, s, keep); });
    }
};
struct _RAST_CombinePixelsCopyNoClamp : _RAST_CombineCopyT<false> {};
struct _RAST_CombinePixelsCopyClamp : _RAST_CombineCopyT<true> {};

template <bool CLAMP>
struct _RAST_CombineClobberT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a, [](int, int s) { return rast_detail::store<CLAMP>(s); });
    }
};
struct _RAST_CombinePixelsClobberNoClamp : _RAST_CombineClobberT<false> {};
struct _RAST_CombinePixelsClobberClamp : _RAST_CombineClobberT<true> {};

struct _RAST_CombinePixelsHalfMixNoClamp {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a, [](int d, int s) { return (d + s) / 2; });
    }
};

// Whole-word combiners: doPixWord takes the source word; doPix builds it
// from the channels so the classes also fit the channel templates.
#define RAST_WORD_COMBINER_DOPIX                                                           \
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) { \
        doPixWord((unsigned int*)dest, RAST_MakePixel(a, r, g, b));                        \
    }

struct _RAST_CombinePixelsClobberFAST {
    static inline void doPixWord(unsigned int* dest, unsigned int c) { *dest = c; }
    RAST_WORD_COMBINER_DOPIX
};
struct _RAST_CombinePixelsHalfMixFAST {
    static inline void doPixWord(unsigned int* dest, unsigned int c) {
        *dest = ((*dest >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu);
    }
    RAST_WORD_COMBINER_DOPIX
};
struct _RAST_CombinePixelsHalfMix2FAST : _RAST_CombinePixelsHalfMixFAST {};
struct _RAST_CombinePixelsQuarterMix2FAST {
    static inline void doPixWord(unsigned int* dest, unsigned int c) {
        unsigned int d = *dest;
        *dest = ((d >> 2) & 0x3F3F3F3Fu) + ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 2) & 0x3F3F3F3Fu);
    }
    RAST_WORD_COMBINER_DOPIX
};
struct _RAST_CombinePixelsThreeQuarterMix2FAST {
    static inline void doPixWord(unsigned int* dest, unsigned int c) {
        unsigned int d = *dest;
        *dest = ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu) + ((c >> 1) & 0x7F7F7F7Fu);
    }
    RAST_WORD_COMBINER_DOPIX
};
#undef RAST_WORD_COMBINER_DOPIX

// ---- arithmetic modes ----

struct _RAST_CombinePixelsAdd {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a,
                                [alpha](int d, int s) { return rast_detail::clamp255(d + (s * alpha) / 256); });
    }
};

struct _RAST_CombinePixelsColorDodge {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a, [alpha](int d, int s) { return rast_detail::dodgeCh(d, s, alpha); });
    }
};

template <bool CLAMP>
struct _RAST_CombineMulT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a,
                                [alpha](int d, int s) { return rast_detail::mulCh<CLAMP>(d, s, alpha); });
    }
};
struct _RAST_CombinePixelsMulNoClamp : _RAST_CombineMulT<false> {};
struct _RAST_CombinePixelsMulClamp : _RAST_CombineMulT<true> {};

struct _RAST_CombinePixelsOverlay {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::perChannel(dest, r, g, b, a,
                                [alpha](int d, int s) { return rast_detail::overlayCh(d, s, alpha); });
    }
};

// Shifts the destination's hue, saturation and value by the source's red,
// green and blue (128 = no change); the alpha byte becomes a.
struct _RAST_CombinePixelsHSVAdjust {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::hsvAdjust(dest, r, g, b, a, alpha);
    }
};

// ---- source-alpha forms: strength k = ((a + 1) * alpha) / 256 ----

namespace rast_detail {
// Colour bytes move toward the source, keeping keep / 256 of the distance;
// the alpha byte adds add, up to 255.
template <bool CLAMP>
inline void srcAlphaCopy(unsigned char* dest, int r, int g, int b, int64_t keep, int64_t add) {
    dest[1] = lerpCh<CLAMP>(dest[1], r, keep);
    dest[2] = lerpCh<CLAMP>(dest[2], g, keep);
    dest[3] = lerpCh<CLAMP>(dest[3], b, keep);
    int64_t na = dest[0] + add;
    dest[0] = store<CLAMP>(na > 255 ? 255 : na);
}
}  // namespace rast_detail

template <bool CLAMP>
struct _RAST_CombineCopySourceAlphaT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        if (!a) return;
        int64_t k = rast_detail::srcAlphaK(a, alpha);
        rast_detail::srcAlphaCopy<CLAMP>(dest, r, g, b, 256 - k, k);
    }
};
struct _RAST_CombinePixelsCopySourceAlphaNoClamp : _RAST_CombineCopySourceAlphaT<false> {};

// Full-opacity source-alpha copy: the opacity argument is not read. An
// opaque source (keep 0) replaces the colour and makes the pixel opaque.
template <bool CLAMP>
struct _RAST_CombineCopySourceAlphaIgnoreAlphaParmT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        if (!a) return;
        rast_detail::srcAlphaCopy<CLAMP>(dest, r, g, b, 255 - a, a);
    }
};
struct _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp : _RAST_CombineCopySourceAlphaIgnoreAlphaParmT<false> {
};

struct _RAST_CombinePixelsAddSourceAlpha {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        if (!a) return;
        int64_t k = rast_detail::srcAlphaK(a, alpha);
        rast_detail::perChannel(dest, r, g, b, a,
                                [k](int d, int s) { return rast_detail::clamp255(d + (s * k) / 256); });
    }
};

struct _RAST_CombinePixelsColorDodgeSourceAlpha {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        int64_t k = rast_detail::srcAlphaK(a, alpha);
        rast_detail::perChannel(dest, r, g, b, a, [k](int d, int s) { return rast_detail::dodgeCh(d, s, k); });
    }
};

template <bool CLAMP>
struct _RAST_CombineMulSourceAlphaT {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        if (!a) return;
        int64_t k = rast_detail::srcAlphaK(a, alpha);
        rast_detail::perChannel(dest, r, g, b, a, [k](int d, int s) { return rast_detail::mulCh<CLAMP>(d, s, k); });
    }
};
struct _RAST_CombinePixelsMulSourceAlphaNoClamp : _RAST_CombineMulSourceAlphaT<false> {};

struct _RAST_CombinePixelsOverlaySourceAlpha {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        int64_t k = rast_detail::srcAlphaK(a, alpha);
        rast_detail::perChannel(dest, r, g, b, a, [k](int d, int s) { return rast_detail::overlayCh(d, s, k); });
    }
};

struct _RAST_CombinePixelsHSVAdjustSourceAlpha {
    static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
        rast_detail::hsvAdjust(dest, r, g, b, a, rast_detail::srcAlphaK(a, alpha));
    }
};

// ---- the standard dispatch ----

// The combiners whose plain and clamping forms differ.
template <bool CLAMP>
struct _RAST_CombinerSet {
    using Clobber = _RAST_CombinePixelsClobberNoClamp;
    using Copy = _RAST_CombinePixelsCopyNoClamp;
    using Mul = _RAST_CombinePixelsMulNoClamp;
    using CopySourceAlpha = _RAST_CombinePixelsCopySourceAlphaNoClamp;
    using CopySourceAlphaFull = _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp;
    using MulSourceAlpha = _RAST_CombinePixelsMulSourceAlphaNoClamp;
};
template <>
struct _RAST_CombinerSet<true> {
    using Clobber = _RAST_CombinePixelsClobberClamp;
    using Copy = _RAST_CombinePixelsCopyClamp;
    using Mul = _RAST_CombinePixelsMulClamp;
    using CopySourceAlpha = _RAST_CombineCopySourceAlphaT<true>;
    using CopySourceAlphaFull = _RAST_CombineCopySourceAlphaIgnoreAlphaParmT<true>;
    using MulSourceAlpha = _RAST_CombineMulSourceAlphaT<true>;
};

// Picks the combiner for (mode & 0x100FF) at the integer opacity alpha and
// calls f.template operator()<Combiner>() once; false when the mode draws
// nothing. A copy at full opacity is the clobber; a copy below 1 draws
// nothing. Operations that take a colour pass mode & 0xFF.
template <bool CLAMP = false, class F>
inline bool RAST_DispatchCombiner(int mode, int alpha, F&& f) {
    using S = _RAST_CombinerSet<CLAMP>;
    switch (mode & RAST_MODE_DISPATCH_MASK) {
        case RAST_MODE_COPY:
            if (alpha < 1) return false;
            if (alpha == 256)
                f.template operator()<typename S::Clobber>();
            else
                f.template operator()<typename S::Copy>();
            return true;
        case RAST_MODE_ADD:
            f.template operator()<_RAST_CombinePixelsAdd>();
            return true;
        case RAST_MODE_COLORDODGE:
            f.template operator()<_RAST_CombinePixelsColorDodge>();
            return true;
        case RAST_MODE_MUL:
            f.template operator()<typename S::Mul>();
            return true;
        case RAST_MODE_OVERLAY:
            f.template operator()<_RAST_CombinePixelsOverlay>();
            return true;
        case RAST_MODE_HSVADJUST:
            f.template operator()<_RAST_CombinePixelsHSVAdjust>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA:
            if (alpha == 256)
                f.template operator()<typename S::CopySourceAlphaFull>();
            else
                f.template operator()<typename S::CopySourceAlpha>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_ADD:
            f.template operator()<_RAST_CombinePixelsAddSourceAlpha>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_COLORDODGE:
            f.template operator()<_RAST_CombinePixelsColorDodgeSourceAlpha>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_MUL:
            f.template operator()<typename S::MulSourceAlpha>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_OVERLAY:
            f.template operator()<_RAST_CombinePixelsOverlaySourceAlpha>();
            return true;
        case RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_HSVADJUST:
            f.template operator()<_RAST_CombinePixelsHSVAdjustSourceAlpha>();
            return true;
        default:
            return false;
    }
}

// ---- single pixels ----

// dest combined with the source pixel src (dest itself is a value).
unsigned int RAST_CombinePixels(unsigned int dest, unsigned int src, float alpha, int mode);
// Combines in place; alpha is the integer opacity.
void RAST_CombinePixels2(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode);
// As RAST_CombinePixels2, for source channels that may lie outside 0..255:
// copy, multiply and their source-alpha forms clamp every result byte.
void RAST_CombinePixels2Clamp(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode);
