// A bitmap whose pixels are those of a toolkit memory context, so toolkit
// text, raster drawing and the screen copy share one set of pixels.
#pragma once

#include "raster/RAST_Bitmap.h"

// Not flipped: memory row 0 is the top row. The drawing context is only
// ever replaced by a larger one, so shrinking keeps the pixels and the row
// span (the allocated width); growing starts again from transparent black.
class RAST_SysBitmap : public RAST_IBitmap {
public:
    RAST_SysBitmap(int w = 0, int h = 0);
    ~RAST_SysBitmap() override;
    RAST_SysBitmap(const RAST_SysBitmap&) = delete;
    RAST_SysBitmap& operator=(const RAST_SysBitmap&) = delete;

    unsigned int* getBits() override { return m_bits; }
    int getWidth() override { return m_width; }
    int getHeight() override { return m_height; }
    int getRowSpan() override { return m_allocw; }
    bool resize(int w, int h) override;
    HDC getDC() override { return m_dc; }

private:
    int m_width = 0;
    int m_height = 0;
    HDC m_dc = nullptr;
    unsigned int* m_bits = nullptr;
    int m_allocw = 0;
    int m_alloch = 0;
};
