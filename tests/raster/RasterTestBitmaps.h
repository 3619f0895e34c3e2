// Small bitmaps for the raster tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_CombineRows.h"

namespace rasttest {

// A bitmap over a plain vector, optionally flipped (memory row 0 is the
// bottom of the picture), with a span wider than the width so that
// operations that run past a row show up.
class VecBitmap : public RAST_IBitmap {
public:
    VecBitmap(int w, int h, bool flipped, int extraSpan = 3, unsigned int fill = 0xA5A5A5A5u)
        : m_w(w), m_h(h), m_span(w + extraSpan), m_flipped(flipped), m_px((size_t)m_span * h, fill) {}
    unsigned int* getBits() override { return m_px.empty() ? nullptr : m_px.data(); }
    int getWidth() override { return m_w; }
    int getHeight() override { return m_h; }
    int getRowSpan() override { return m_span; }
    bool isFlipped() override { return m_flipped; }
    bool resize(int w, int h) override { return false; }

    // Picture coordinates.
    unsigned int& at(int x, int y) { return m_px[(size_t)(m_flipped ? m_h - 1 - y : y) * m_span + x]; }
    // The padding words past each row's width.
    bool paddingIntact(unsigned int fill = 0xA5A5A5A5u) const {
        for (int y = 0; y < m_h; y++)
            for (int x = m_w; x < m_span; x++)
                if (m_px[(size_t)y * m_span + x] != fill) return false;
        return true;
    }

private:
    int m_w, m_h, m_span;
    bool m_flipped;
    std::vector<unsigned int> m_px;
};

inline unsigned int& px(RAST_MemBitmap& bm, int x, int y) { return bm.getBits()[(size_t)y * bm.getRowSpan() + x]; }

// Each pixel a distinct word: x in the red byte, y in green, a tag in blue
// and alpha.
inline void fillPattern(RAST_MemBitmap& bm, int tag = 1) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) px(bm, x, y) = RAST_MakePixel(tag, x, y, tag);
}

inline void fillRandom(RAST_IBitmap& bm, std::mt19937& rng) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.getBits()[(size_t)y * bm.getRowSpan() + x] = (unsigned int)rng();
}

// Runs the register rows at one width for the life of the object.
class RegisterWidth {
public:
    explicit RegisterWidth(bool wide) : m_prev(rast_rows::wideRegisters()) { rast_rows::useWideRegisters(wide); }
    ~RegisterWidth() { rast_rows::useWideRegisters(m_prev); }

private:
    bool m_prev;
};

}  // namespace rasttest
