#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Blit.h"

using rast_detail::Surface;

namespace {

inline unsigned int half(unsigned int x) { return (x >> 1) & 0x7F7F7F7Fu; }
inline unsigned int quarter(unsigned int x) { return (x >> 2) & 0x3F3F3F3Fu; }
inline unsigned int eighth(unsigned int x) { return (x >> 3) & 0x1F1F1F1Fu; }

constexpr int kStackRow = 1024;

// One destination row. The current row is read one pixel ahead of the
// write, so out may be the current row itself. With one neighbour row
// (first and last rows) it weighs a quarter, with two an eighth each.
void blurRow(unsigned int* out, const unsigned int* cur, const unsigned int* above, const unsigned int* below, int w) {
    const unsigned int* n = above ? above : below;
    const bool both = above && below;
    auto vert = [&](int j) { return both ? eighth(above[j]) + eighth(below[j]) : quarter(n[j]); };

    unsigned int cl, cc = cur[0], cr = cur[1];
    out[0] = half(cc) + quarter(cr) + vert(0);
    for (int j = 1; j < w - 1; j++) {
        cl = cc, cc = cr, cr = cur[j + 1];
        out[j] = half(cc) + eighth(cl) + eighth(cr) + vert(j);
    }
    cl = cc, cc = cr;
    out[w - 1] = half(cc) + quarter(cl) + vert(w - 1);
}

}  // namespace

void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch) {
    if (!dest || !src) return;
    const int sw = src->getWidth(), sh = src->getHeight();
    const int dw = dest->getWidth(), dh = dest->getHeight();

    int64_t right = (int64_t)srcx + srcw, bottom = (int64_t)srcy + srch;
    if (right > sw) right = sw;
    if (bottom > sh) bottom = sh;
    int64_t left = srcx < 0 ? 0 : srcx, top = srcy < 0 ? 0 : srcy, dx = dstx, dy = dsty;
    rast_detail::clipToDest(left, top, right, bottom, dx, dy, dw, dh);
    if (right - left < 2 || bottom - top < 2) return;

    Surface ds(dest), ss(src);
    if (ds.empty() || ss.empty()) return;
    const int w = (int)(right - left), h = (int)(bottom - top);

    // Blurring in place overwrites rows still needed as neighbours: keep the
    // current and the previous source row aside.
    unsigned int stackRows[2 * kStackRow];
    unsigned int* saved = nullptr;
    bool heap = false;
    if (ds.bits == ss.bits) {
        if (w <= kStackRow) {
            saved = stackRows;
        } else {
            saved = (unsigned int*)malloc((size_t)w * 2 * sizeof(unsigned int));
            heap = saved != nullptr;
        }
    }

    const ptrdiff_t sstride = ss.stride(), dstride = ds.stride();
    const unsigned char* srow = ss.at((int)left, (int)top);
    unsigned char* drow = ds.at((int)dx, (int)dy);
    const unsigned int* prevSaved = nullptr;
    for (int y = 0; y < h; y++, srow += sstride, drow += dstride) {
        const unsigned int* cur = (const unsigned int*)srow;
        if (saved) {
            unsigned int* keep = saved + (size_t)(y & 1) * w;
            memcpy(keep, cur, (size_t)w * 4);
            cur = keep;
        }
        const unsigned int* above = nullptr;
        if (y > 0) above = prevSaved ? prevSaved : (const unsigned int*)(srow - sstride);
        const unsigned int* below = y < h - 1 ? (const unsigned int*)(srow + sstride) : nullptr;
        blurRow((unsigned int*)drow, cur, above, below, w);
        if (saved) prevSaved = cur;
    }
    if (heap) free(saved);
}
