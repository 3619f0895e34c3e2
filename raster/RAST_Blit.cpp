#include "raster/RAST_Blit.h"

#include <cstdint>
#include <cstring>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_CombineRows.h"

using rast_detail::Surface;

namespace {

// Area of one blit after clipping, with its rows in the order they are
// drawn. When a bitmap is drawn onto itself and the two areas share rows,
// each row goes through a bounce buffer.
struct BlitArea {
    unsigned char* d;
    const unsigned char* s;
    int w, h;
    ptrdiff_t dstride, sstride;
    bool bounce = false;  // source and destination share memory rows
    bool rightward = false;
};

constexpr int kBounceChunk = 1024;

// Runs row(d, s, n) over the area, n pixels at a time.
template <class RowFn>
void drive(const BlitArea& a, RowFn row) {
    unsigned char* d = a.d;
    const unsigned char* s = a.s;
    if (!a.bounce) {
        for (int y = 0; y < a.h; y++, d += a.dstride, s += a.sstride) row(d, s, a.w);
        return;
    }
    // Chunks are taken in the direction that never overwrites a source pixel
    // before it has been read.
    alignas(16) unsigned char buf[kBounceChunk * 4];
    for (int y = 0; y < a.h; y++, d += a.dstride, s += a.sstride) {
        int nChunks = (a.w + kBounceChunk - 1) / kBounceChunk;
        for (int c = 0; c < nChunks; c++) {
            int ci = a.rightward ? nChunks - 1 - c : c;
            int x0 = ci * kBounceChunk;
            int n = a.w - x0 < kBounceChunk ? a.w - x0 : kBounceChunk;
            memcpy(buf, s + (size_t)x0 * 4, (size_t)n * 4);
            row(d + (size_t)x0 * 4, buf, n);
        }
    }
}

template <class C>
void drawArea(const BlitArea& a, int alpha) {
    if (!a.bounce) {
        _RAST_Template_Blit2<C>::blit(a.d, a.s, a.w, a.h, a.sstride, a.dstride, alpha);
        return;
    }
    drive(a, [alpha](unsigned char* d, const unsigned char* s, int n) {
        _RAST_Template_Blit2<C>::blit(d, s, n, 1, 0, 0, alpha);
    });
}

void chanCopyArea(const BlitArea& a, int mode) {
    const int db = (mode >> 2) & 3, sb = mode & 3;
    drive(a, [db, sb](unsigned char* d, const unsigned char* s, int n) {
        for (int i = 0; i < n; i++) d[4 * i + db] = s[4 * i + sb];
    });
}

}  // namespace

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, RECT* srcrect, float alpha, int mode) {
    if (!dest || !src || alpha == 0.0f) return;
    // An empty bitmap draws nothing wherever the clipping would put it.
    Surface ds(dest), ss(src);
    if (ds.empty() || ss.empty()) return;
    const int sw = ss.width, sh = ss.height, dw = ds.width, dh = ds.height;

    // 64-bit so that no position or size can overflow while clipping.
    int64_t left = 0, top = 0, right = sw, bottom = sh, dx = dstx, dy = dsty;
    if (srcrect) {
        left = srcrect->left, top = srcrect->top, right = srcrect->right, bottom = srcrect->bottom;
        if (left < 0) dx -= left, left = 0;
        if (top < 0) dy -= top, top = 0;
        if (right > sw) right = sw;
        if (bottom > sh) bottom = sh;
    }
    rast_detail::clipToDest(left, top, right, bottom, dx, dy, dw, dh);
    if (right - left < 1 || bottom - top < 1) return;

    BlitArea a;
    a.w = (int)(right - left);
    a.h = (int)(bottom - top);
    a.d = ds.at((int)dx, (int)dy);
    a.s = ss.at((int)left, (int)top);
    a.dstride = ds.stride();
    a.sstride = ss.stride();

    // Drawn onto itself: walk the rows away from the side the destination
    // moves to, or bounce rows that the two areas share.
    if (ds.bits == ss.bits && dx - left < a.w && left - dx < a.w && dy - top < a.h && top - dy < a.h) {
        if (dy > top) {
            a.d += a.dstride * (a.h - 1);
            a.s += a.sstride * (a.h - 1);
            a.dstride = -a.dstride;
            a.sstride = -a.sstride;
        } else if (dy == top) {
            a.bounce = true;
            a.rightward = dx > left;
        }
    }

    if ((mode & RAST_MODE_CHANCOPY) == RAST_MODE_CHANCOPY) {
        chanCopyArea(a, mode);
        return;
    }
    const int op = mode & RAST_MODE_DISPATCH_MASK;
    if (op == RAST_MODE_COPY) {
        if (alpha == 1.0f) {
            drawArea<_RAST_CombinePixelsClobberNoClamp>(a, 256);
            return;
        }
        if (alpha == 0.5f) {
            drawArea<_RAST_CombinePixelsHalfMixFAST>(a, 128);
            return;
        }
    }
    const int ia = RAST_AlphaToInt(alpha);
    if (!ia) return;
    RAST_DispatchCombiner(op, ia, [&]<class C>() { drawArea<C>(a, ia); });
}

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode) {
    // The far edges saturate rather than wrap.
    auto edge = [](int from, int len) {
        int64_t e = (int64_t)from + len;
        return (int32_t)(e > INT32_MAX ? INT32_MAX : e < INT32_MIN ? INT32_MIN : e);
    };
    RECT r = {srcx, srcy, edge(srcx, srcw), edge(srcy, srch)};
    RAST_Blit(dest, src, dstx, dsty, &r, alpha, mode);
}

void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src) {
    if (!dest || !src) return;
    dest->resize(src->getWidth(), src->getHeight());
    RAST_Blit(dest, src, 0, 0, nullptr, 1.0f, RAST_MODE_COPY);
}
