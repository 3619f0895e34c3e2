// The raster pixel and colour word, the mode word and the integer opacity.
//
// A pixel is one 32-bit word: alpha in bits 0-7, red 8-15, green 16-23,
// blue 24-31, so in memory (little-endian) the bytes are alpha, red, green,
// blue. Alpha is straight, 255 is opaque.
#pragma once

#include <cstdint>

// Byte indexes of the channels within a pixel in memory.
enum {
    RAST_BYTE_ALPHA = 0,
    RAST_BYTE_RED = 1,
    RAST_BYTE_GREEN = 2,
    RAST_BYTE_BLUE = 3,
};

constexpr unsigned int RAST_PixelAlpha(unsigned int p) { return p & 255u; }
constexpr unsigned int RAST_PixelRed(unsigned int p) { return (p >> 8) & 255u; }
constexpr unsigned int RAST_PixelGreen(unsigned int p) { return (p >> 16) & 255u; }
constexpr unsigned int RAST_PixelBlue(unsigned int p) { return p >> 24; }

// Builds a pixel from channels (each masked to 8 bits).
constexpr unsigned int RAST_MakePixel(int a, int r, int g, int b) {
    return (unsigned int)(a & 255) | ((unsigned int)(r & 255) << 8) | ((unsigned int)(g & 255) << 16) |
           ((unsigned int)(b & 255) << 24);
}

// The toolkit's colour value (0x00RRGGBB) of a raster pixel.
constexpr int RAST_PixelToShimColor(unsigned int p) {
    return (int)((p >> 24) | ((p >> 8) & 0xFF00u) | ((p << 8) & 0xFF0000u));
}

// Mode word.
enum {
    RAST_MODE_COPY = 0,
    RAST_MODE_ADD = 1,
    RAST_MODE_COLORDODGE = 2,
    RAST_MODE_MUL = 3,
    RAST_MODE_OVERLAY = 4,
    RAST_MODE_HSVADJUST = 5,
    RAST_MODE_MASK = 0xFF,              // the operation
    RAST_MODE_CHANCOPY = 0xF0,          // (mode & 0xF0) == 0xF0: channel copy, plain blit only
    RAST_MODE_FILTER_MASK = 0xFF00,     // scaled and rotated blits only
    RAST_MODE_FILTER_BILINEAR = 0x100,  // any other filter value: nearest pixel
    RAST_MODE_USE_SOURCE_ALPHA = 0x10000,
    RAST_MODE_DISPATCH_MASK = 0x100FF,  // what picks the combiner of a blit
};

// Channel copy: destination byte dstByte receives source byte srcByte
// (byte indexes as RAST_BYTE_*).
constexpr int RAST_ModeChanCopy(int srcByte, int dstByte) {
    return RAST_MODE_CHANCOPY | ((dstByte & 3) << 2) | (srcByte & 3);
}

// Integer opacities stay within this bound, so that no combiner's
// arithmetic can overflow even with extrapolating opacities or channels.
constexpr int RAST_ALPHA_LIMIT = 32768;

// Opacity 1.0 = 256, truncated toward zero. Opacities far outside 0..1 are
// held at +-RAST_ALPHA_LIMIT; NaN draws nothing.
inline int RAST_AlphaToInt(double alpha) {
    double v = alpha * 256.0;
    if (!(v == v)) return 0;
    if (v >= RAST_ALPHA_LIMIT) return RAST_ALPHA_LIMIT;
    if (v <= -RAST_ALPHA_LIMIT) return -RAST_ALPHA_LIMIT;
    return (int)v;
}
