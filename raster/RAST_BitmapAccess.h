// Row addressing shared by the operations of the raster library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/RAST_Bitmap.h"

namespace rast_detail {

// A bitmap's pixels as the drawing loops see them: an empty bitmap has
// null bits.
struct Surface {
    unsigned int* bits = nullptr;
    int width = 0;
    int height = 0;
    int span = 0;
    bool flipped = false;

    explicit Surface(RAST_IBitmap* bm) {
        if (!bm) return;
        unsigned int* b = bm->getBits();
        int w = bm->getWidth(), h = bm->getHeight(), s = bm->getRowSpan();
        if (!b || w < 1 || h < 1 || s < 1) return;
        bits = b, width = w, height = h, span = s, flipped = bm->isFlipped();
    }
    bool empty() const { return !bits; }

    // Byte stride from one picture row to the next.
    ptrdiff_t stride() const { return (ptrdiff_t)span * 4 * (flipped ? -1 : 1); }
    // First byte of pixel (x, y) in picture coordinates.
    unsigned char* at(int x, int y) const {
        ptrdiff_t row = flipped ? (ptrdiff_t)height - 1 - y : y;
        return (unsigned char*)(bits + row * span + x);
    }
};

// Clips a source area [left, right) x [top, bottom) drawn at (dx, dy) to a
// destination of dw x dh: a negative position drops source columns or rows,
// the destination's far edges cut the area. 64-bit so nothing overflows.
inline void clipToDest(int64_t& left, int64_t& top, int64_t& right, int64_t& bottom, int64_t& dx, int64_t& dy, int dw,
                       int dh) {
    if (dx < 0) left -= dx, dx = 0;
    if (dy < 0) top -= dy, dy = 0;
    if (dx + (right - left) > dw) right = left + dw - dx;
    if (dy + (bottom - top) > dh) bottom = top + dh - dy;
}

}  // namespace rast_detail
