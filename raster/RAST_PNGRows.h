// The PNG decoder's row work: undoing a row's filter, and turning an
// unfiltered row of any colour type and bit depth into raster pixels (alpha,
// red, green, blue bytes, straight alpha; 16-bit samples keep their high
// byte, samples below 8 bits are scaled up).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rast_png {

// Bytes a caller leaves readable past a row handed to unfilterRow, and
// writable past its output.
constexpr size_t kRowSlack = 16;

// Undoes filter type 0-4 of one row of len bytes, from in into out (which
// differ). prev is the row above, unfiltered (zeros for a pass's first row);
// bpp the bytes per pixel, rounded up to 1. Returns the unfiltered row:
// in itself for type 0, else out.
const uint8_t* unfilterRow(int filter, uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len, int bpp);

// How an image's samples become pixels.
struct PixelFormat {
    int colorType = 2;  // PNG's: 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int depth = 8;
    // Palette images, and grey images of 8 bits or less: the pixel of each
    // sample value, transparency applied.
    uint32_t table[256] = {};
    // Grey and RGB: samples equal to the key are transparent.
    bool keyed = false;
    uint16_t key[3] = {};  // grey in [0], else red, green, blue
};

// Converts n pixels of an unfiltered row. The row may be read up to
// kRowSlack bytes past its end.
typedef void (*RowConverter)(const PixelFormat& format, const uint8_t* row, uint32_t* out, int n);
RowConverter converterFor(const PixelFormat& format);

}  // namespace rast_png
