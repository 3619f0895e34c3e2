// Glyph masks drawn in one colour, the 2:1 box downscale and the bitmap
// comparison.
#pragma once

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_Combine.h"

// Draws a mask of coverage bytes (0 skips the pixel, 255 is full) with its
// top-left pixel at (x, y): each covered pixel is combined with the colour
// at opacity (coverage x alpha) in the mode's operation (0 to 5; the source-
// alpha flag is not read). Rows of the mask are glyph_span bytes apart.
void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode);
void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode);

// Writes src reduced to half its size (each pixel the mean of a 2 x 2 block,
// each quarter rounded down) into dest's top-left corner, in memory order.
void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src);

// 0 when a and b hold the same picture. Null or empty bitmaps count as 0 x 0.
// Different sizes give b's width - a's width, else b's height - a's height.
// Without coordsOut: the first non-zero row comparison (as memcmp), top row
// first. With coordsOut: 1 and the smallest rectangle (x, y, width, height)
// that holds every differing pixel, or 0 and four zeros.
int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coordsOut);

// The per-combiner loop of RAST_DrawGlyphEx. Strides are in pixels for the
// destination (negative for flipped bitmaps) and in bytes for the mask.
template <class C>
struct GlyphDrawImpl {
    static void DrawGlyph(const unsigned char* mask, unsigned int* dest, int w, int h, unsigned int color,
                          int deststride, int maskspan, int alpha) {
        const int r = (color >> 8) & 255, g = (color >> 16) & 255, b = color >> 24, a = color & 255;
        for (; h > 0; h--, mask += maskspan, dest += deststride)
            for (int i = 0; i < w; i++)
                if (mask[i]) C::doPix((unsigned char*)(dest + i), r, g, b, a, (mask[i] * alpha) / 256);
    }
};

// Calls f.template operator()<C>() with the combiner of a colour operation
// (mode & 0xFF, 0 to 5) whose opacity varies from pixel to pixel, so a copy
// always blends; false when the mode draws nothing.
template <class F>
inline bool RAST_DispatchColourCombiner(int mode, int alpha, F&& f) {
    return RAST_DispatchCombiner(mode & RAST_MODE_MASK, alpha > 255 ? 255 : alpha, f);
}
