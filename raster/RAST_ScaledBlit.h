// Scaled blit: a rectangle of the source (fractional source pixels) drawn
// into a rectangle of the destination (whole pixels; a negative width or
// height mirrors), sampled by nearest pixel, bilinear filtering (mode field
// 0x100) or, when shrinking by 1.7 or more with 0x100, a box average, and
// combined at the opacity in the mode word's combine mode. A same-size
// request goes to RAST_Blit.
#pragma once

#include "raster/RAST_Bitmap.h"

void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode);
