// Bitmaps: the abstract interface every drawing operation works on, and the
// heap-backed memory bitmap.
#pragma once

#include <cstdint>

#include "raster/RAST_Pixel.h"
#include "shim/SHIM_Types.h"

// A bitmap is getWidth() x getHeight() pixels, rows getRowSpan() pixels
// apart. getBits() is memory row 0; when isFlipped() is true that is the
// bottom row of the picture. Null bits, or a side or span below 1, make an
// empty bitmap: drawing into it does nothing and reads give 0.
class RAST_IBitmap {
public:
    virtual ~RAST_IBitmap() {}
    virtual unsigned int* getBits() = 0;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual int getRowSpan() = 0;
    virtual bool isFlipped() { return false; }
    // True when the size changed, even if no storage could be had.
    virtual bool resize(int w, int h) = 0;
    virtual HDC getDC() { return nullptr; }
    virtual intptr_t Extended(int id, void* data) { return 0; }
};

// Pixels in a malloc'd block: rows start 64-byte aligned and are padded to
// the line alignment. The block only grows (by a quarter over the need) and
// is never cleared.
class RAST_MemBitmap : public RAST_IBitmap {
public:
    explicit RAST_MemBitmap(int w = 0, int h = 0, unsigned int linealign = 4);
    ~RAST_MemBitmap() override;
    RAST_MemBitmap(const RAST_MemBitmap&) = delete;
    RAST_MemBitmap& operator=(const RAST_MemBitmap&) = delete;

    unsigned int* getBits() override;
    int getWidth() override { return m_width; }
    int getHeight() override { return m_height; }
    int getRowSpan() override { return (m_width + m_linealign) & ~m_linealign; }
    bool resize(int w, int h) override;

    // Bytes usable in the block (the alignment slack not counted).
    int getAllocatedSize() const { return m_allocsize; }

private:
    void* m_fb = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_allocsize = 0;
    int m_linealign = 0;
};
