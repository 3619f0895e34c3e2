// Rotated and warped blits: a destination rectangle whose source position
// steps by fixed per-column and per-row deltas (and, for the delta blit,
// deltas that change from row to row), sampled by nearest pixel or, with
// the mode word's filter field 0x100, bilinearly as the scaled blit does,
// and combined by the mode word's combiner (mode & 0x100FF, the scaled
// blit's family) at the opacity. Samples outside the clip rectangle leave
// their pixels alone.
#pragma once

#include "raster/RAST_Bitmap.h"

// The source rectangle drawn into the destination rectangle, turned by angle
// (radians, clockwise on screen) about the source point at the rectangle's
// centre moved by (xoff, yoff), scaled by the ratio of the rectangles; a
// negative destination width or height mirrors. With clipToSrc only the
// source rectangle shows, else all of the source bitmap.
void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSrc, float alpha, int mode,
                      float xoff, float yoff);

// Destination pixel (i, j) samples source (srcx + j dsdy + i (dsdx + j
// d2s), srcy + j dtdy + i (dtdx + j d2t)); srcw and srch give the clip
// rectangle and the mirroring.
void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy, double d2s,
                    double d2t, bool clipToSrc, float alpha, int mode);

// The destination rectangle warped through a mesh of meshw x meshh source
// points (x then y, row by row) laid evenly over it; each cell is a delta
// blit interpolating its four corners. A null mesh, or fewer than two
// columns or rows, draws nothing.
void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int meshw, int meshh, float alpha, int mode);
void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int meshw, int meshh, float alpha, int mode);

template <class T>
struct RAST_TransformBlit_class {
    static void blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, const T* srcpoints,
                     int meshw, int meshh, float alpha, int mode);
};

// A combiner's per-pixel operation (doPix).
using RAST_CombineFn = void (*)(unsigned char* dest, int r, int g, int b, int a, int alpha);

// The stepping routine: 16.16 positions and deltas, clip rectangle in
// source pixels (right and bottom exclusive, inside the source), spans in
// bytes (negative for flipped bitmaps), src at source pixel (0, 0). An
// empty clip rectangle draws nothing.
struct _RAST_Template_Blit3 {
    static void deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int srcx, int srcy, int dsdx,
                          int dtdx, int dsdy, int dtdy, int d2s, int d2t, int clipLeft, int clipTop, int clipRight,
                          int clipBottom, int srcspan, int destspan, int alpha, int filter, RAST_CombineFn combiner);
};
