#include "raster/RAST_SysBitmap.h"

#include <climits>

#include "shim/shim-gdi.h"

RAST_SysBitmap::RAST_SysBitmap(int w, int h) { resize(w, h); }

RAST_SysBitmap::~RAST_SysBitmap() { SHIM_DeleteGfxContext(m_dc); }

bool RAST_SysBitmap::resize(int w, int h) {
    if (w == m_width && h == m_height) return false;
    m_width = w;
    m_height = h;
    // A smaller size keeps the context (and its row span).
    if (w >= 1 && h >= 1 && m_allocw >= w && m_alloch >= h && m_bits) return true;

    SHIM_DeleteGfxContext(m_dc);
    m_dc = nullptr;
    m_bits = nullptr;
    // A side below 1 leaves no context and null bits.
    if (w < 1 || h < 1) {
        m_allocw = m_alloch = 0;
        return false;
    }
    int64_t allocw = ((int64_t)w + 3) & ~(int64_t)3;  // a multiple of 4 pixels
    m_allocw = allocw <= INT_MAX ? (int)allocw : 0;
    m_alloch = h;
    if (m_allocw) m_dc = SHIM_CreateMemContext(nullptr, m_allocw, h);
    if (m_dc) {
        m_bits = static_cast<unsigned int*>(SHIM_GetCtxFrameBuffer(m_dc));
    } else {
        m_width = m_height = 0;
        m_allocw = m_alloch = 0;
    }
    return true;
}
