#include "raster/RAST_Geometry.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Rect.h"

void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int colour, float alpha, int mode) {
    // Far edges beyond the int range are held at its end, as a line there
    // lies outside every bitmap anyway.
    const int r = rast_detail::clampToInt((int64_t)x + w), b = rast_detail::clampToInt((int64_t)y + h);
    RAST_Line(dest, x, y, r, y, colour, alpha, mode, false);
    RAST_Line(dest, r, y, r, b, colour, alpha, mode, false);
    RAST_Line(dest, r, b, x, b, colour, alpha, mode, false);
    RAST_Line(dest, x, b, x, y, colour, alpha, mode, false);
}

void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int fillColour,
                       unsigned int borderColour, float alpha, int mode) {
    using rast_detail::clampToInt;
    RAST_FillRect(dest, clampToInt((int64_t)x + 1), clampToInt((int64_t)y + 1), clampToInt((int64_t)w - 1),
                  clampToInt((int64_t)h - 1), fillColour, alpha, mode);
    RAST_DrawRect(dest, x, y, w, h, borderColour, alpha, mode);
}
