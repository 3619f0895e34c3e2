// Unscaled blits, whole-bitmap copy and the blur.
#pragma once

#include "raster/RAST_Bitmap.h"

// Draws the source rectangle (null: the whole source; right and bottom
// exclusive) with its top-left at (dstx, dsty), in the given opacity and
// mode word, clipped to both bitmaps.
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, RECT* srcrect, float alpha, int mode);
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode);

// Resizes dest to the source's size and copies every pixel.
void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src);

// Writes a softened copy of the source rectangle at (dstx, dsty); source
// and destination may be the same bitmap.
void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch);
