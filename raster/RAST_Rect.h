// Operations on a rectangle, a single pixel or a whole bitmap with a
// colour instead of a source bitmap. Rectangles are x, y, width, height in
// picture coordinates, clipped to the bitmap.
#pragma once

#include "raster/RAST_Bitmap.h"

void RAST_FillRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int color, float alpha, int mode);
// Every pixel becomes (pixel & mask) | orbits.
void RAST_ClearRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int mask, unsigned int orbits);
// Every pixel of width x height becomes color.
void RAST_Clear(RAST_IBitmap* dest, unsigned int color);
// The pixel, or 0 where there is none.
unsigned int RAST_GetPixel(RAST_IBitmap* bm, int x, int y);
void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, unsigned int color, float alpha, int mode);
// Each channel becomes channel * scale + addend (addends in channel units
// 0..255), clamped.
void RAST_MultiplyAddRect(RAST_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd);
// Calls procFunc for every pixel of the rectangle, in memory order.
void RAST_ProcessRect(RAST_IBitmap* dest, int x, int y, int w, int h, void (*procFunc)(unsigned int* p, void* parm),
                      void* parm);
// Pixels whose colour (pixel & 0xFFFFFF00) equals color get alpha 0, all
// others alpha 255.
void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, unsigned int color);
// Fills the run of matching pixels around column x on row y and on the
// rows above and below that match at column x. Memory coordinates.
void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, unsigned int newcolor, unsigned int comparemask,
                     unsigned int keepmask);
// Linear gradient: start values (red, green, blue 0..1, alpha 0..1) at the
// rectangle's top-left, with per-pixel increments along x and y.
void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib, float ia,
                   float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy, float dady,
                   int mode);
