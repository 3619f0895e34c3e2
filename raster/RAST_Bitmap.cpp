#include "raster/RAST_Bitmap.h"

#include <climits>
#include <cstdlib>

namespace {
// Spare bytes that let getBits() start on a 64-byte boundary.
constexpr int kAlignSlack = 63;
}  // namespace

RAST_MemBitmap::RAST_MemBitmap(int w, int h, unsigned int linealign) {
    if (linealign >= 2) {
        unsigned int lowest = linealign & (~linealign + 1);
        if (lowest > 16) lowest = 16;
        m_linealign = (int)lowest - 1;
    }
    if (w || h) resize(w, h);
}

RAST_MemBitmap::~RAST_MemBitmap() { free(m_fb); }

unsigned int* RAST_MemBitmap::getBits() {
    if (!m_fb) return nullptr;
    uintptr_t p = ((uintptr_t)m_fb + kAlignSlack) & ~(uintptr_t)kAlignSlack;
    return (unsigned int*)p;
}

bool RAST_MemBitmap::resize(int w, int h) {
    if (w == m_width && h == m_height) return false;

    // A side below 1, or a size whose bytes do not fit the block's int size,
    // leaves an empty bitmap rather than a short block.
    int64_t needed = 0;
    if (w >= 1 && h >= 1) {
        int64_t span = ((int64_t)w + m_linealign) & ~(int64_t)m_linealign;
        if (span > (INT_MAX - kAlignSlack) / 4 / h)
            needed = -1;
        else
            needed = span * h * 4;
    }
    if (needed <= 0) {
        free(m_fb);
        m_fb = nullptr;
        m_allocsize = 0;
        m_width = m_height = 0;
        return true;
    }

    m_width = w;
    m_height = h;
    if (m_fb && needed <= m_allocsize) return true;

    if (m_fb) {
        int64_t grown = needed + needed / 4;
        if (grown > INT_MAX - kAlignSlack) grown = needed;
        void* nb = realloc(m_fb, (size_t)grown + kAlignSlack);
        if (nb) {
            m_fb = nb;
            m_allocsize = (int)grown;
        } else {
            free(m_fb);
            m_fb = nullptr;
        }
    }
    if (!m_fb) {
        m_fb = malloc((size_t)needed + kAlignSlack);
        m_allocsize = m_fb ? (int)needed : 0;
    }
    if (!m_fb) m_width = m_height = 0;
    return true;
}
