// Solid fills of trapezoids, convex polygons and triangles, without
// anti-aliasing, in one colour, opacity and combine mode.
#pragma once

#include <cstdint>

#include "raster/RAST_Bitmap.h"

// Fills rows y1 to y2 inclusive: the span x1a..x1b on row y1 and x2a..x2b on
// row y2 (each inclusive, in either order), straight edges between.
void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, unsigned int colour,
                        float alpha, int mode);
// Fills the convex hull of the points in any order; a flipped bitmap is
// drawn mirrored top to bottom.
void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int n, unsigned int colour, float alpha,
                            int mode);
void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, unsigned int colour,
                       float alpha, int mode);

// Orders (x, y) pairs by y, then by x.
int _ysort(const void* a, const void* b);
// In points sorted by _ysort: the next vertex of the left (direction < 0) or
// right (direction > 0) chain below points[start], or start at the bottom.
int FindNextEdgeVertex(int* points, int start, int n, int direction);

// Edge walk of one trapezoid already cut to the bitmap's rows: the edges'
// x positions (64-bit, they may lie far outside), their absolute steps per
// row and fraction accumulators (16.16) and signs. right is exclusive.
struct _RAST_TrapezoidEdges {
    int64_t left, right;
    int lstep, rstep;
    int lacc, racc;
    int lsign, rsign;
};

// Row fillers: the per-channel combiner form and the whole-word form.
template <class C>
struct _RAST_Fill {
    static void FillClippedTrapezoid(int width, int span, unsigned int* row, int rows, _RAST_TrapezoidEdges e, int r,
                                     int g, int b, int a, int alpha);
};
template <class C>
struct _RAST_FillFast {
    static void FillClippedTrapezoidFAST(int width, int span, unsigned int* row, int rows, _RAST_TrapezoidEdges e,
                                         unsigned int colour);
};
