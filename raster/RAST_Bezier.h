// Bezier curves: quadratic and cubic curves drawn as chains of line pieces
// about tolerance pixels long (0 or less counts as 1), and cubic curves
// filled down to a row or across to a column. Curves are cut to the
// bitmap's columns by solving them for x. Colour, opacity and mode word as
// for lines (RAST_Line.h); the fills go through the polygon fill. A curve
// with a coordinate that is not finite draws nothing, and no curve is cut
// into more than kRastMaxCurvePieces pieces.
#pragma once

#include "raster/RAST_Bitmap.h"

constexpr int kRastMaxCurvePieces = 4096;

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      unsigned int colour, float alpha, int mode, bool antialias, float tolerance);
// y of the quadratic curve at column x (its x taken to grow from x0 to x1),
// the curve's parameter there in *t when t is not null.
float RAST_Bezier_GetY(float x0, float xctl, float x1, float y0, float yctl, float y1, float x, double* t);

void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, unsigned int colour, float alpha, int mode, bool antialias,
                      float tolerance);
// Fills between the curve and the row yfill, or the column xfill.
void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, unsigned int colour, float alpha, int mode,
                      float tolerance);
void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, unsigned int colour, float alpha, int mode,
                       float tolerance);
// y of the cubic curve at column x, found by bisecting its parameter for
// eight rounds and interpolating in the bracket [*tlo, *thi]; *nextx is
// the curve's x at the bracket's end and *slope its slope within it. Left
// of x0 or at or right of x3 the result is y0 or y3, *nextx that end's x,
// *slope 0, and the bracket is left as it was. Each output is written only
// when its pointer is not null.
float RAST_CBezier_GetY(float x0, float x1, float x2, float x3, float y0, float y1, float y2, float y3, float x,
                        float* nextx, float* slope, double* tlo, double* thi);

// A cubic curve ready to walk: power-form coefficients, x(t) = ((a t + b) t
// + c) t + d, the ends cut to the bitmap's columns, and the parameter range
// they bound.
struct RAST_CubicWalk {
    double ax, bx, cx, dx, ay, by, cy, dy;
    float xlo, xhi, ylo, yhi;
    double tlo, thi;
    double x(double t) const { return ((ax * t + bx) * t + cx) * t + dx; }
    double y(double t) const { return ((ay * t + by) * t + cy) * t + dy; }
};
// Orders the curve by x (or by y), cuts it to columns 0..width and gives
// the number of pieces, 0 when nothing is to be drawn.
int CBezPrep(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2, float yctl2,
             float xend, float yend, float tolerance, bool sortByX, RAST_CubicWalk& out);

// One piece of a fill: the area between the piece from (x1, y1) to (x2, y2)
// and the row f (or, for the X form, the column f).
void DoBezierFillSegment(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int f, unsigned int colour, float alpha,
                         int mode);
void DoBezierFillSegmentX(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int f, unsigned int colour, float alpha,
                          int mode);
