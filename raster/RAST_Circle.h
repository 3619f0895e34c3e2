// Circle outlines, discs, arcs and rounded-rectangle outlines in one colour
// at an opacity, with or without anti-aliasing. Colour and mode word as for
// lines (RAST_Line.h): all four channels are combined, the low byte picks
// the mode (0 to 5), nothing else is read. Angles are radians, 0 at the top
// of the circle, growing clockwise on screen: the point at angle t is
// (cx + r sin t, cy - r cos t). A figure with a coordinate that is not
// finite or lies beyond +-2^30 draws nothing.
#pragma once

#include <cstdint>

#include "raster/RAST_Bitmap.h"
#include "shim/SHIM_Types.h"

void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, float alpha, int mode, bool aa);
void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, float alpha, int mode,
                     bool aa);
// The outline between two angles, in either order and from any range; a
// span of 2 pi or more is the whole circle. A negative radius draws nothing.
void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, unsigned int colour,
              float alpha, int mode, bool aa);
// Edges on x, x + w, y and y + h, corners quarter circles of cornerradius
// (held to half the smaller side); below 2 a square outline.
void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int cornerradius, unsigned int colour,
                    float alpha, int mode, bool aa);

// Runs the drawer that the mode, the integer opacity ia and aa choose, for
// pixels inside clip (left, top, right and bottom, the last two exclusive;
// stored rows). Without doclip the caller guarantees that the figure, its
// anti-aliased ring included, lies inside the bitmap.
void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, int ia, bool aa,
                         bool filled, int mode, const RECT* clip, bool doclip);

// The drawers, one instance per combiner. Pixels are addressed in stored
// rows of bits, span pixels apart; the clip as above.
template <class C>
struct _RAST_CircleDrawer {
    struct Target {
        unsigned int* bits;
        int span;
        RECT clip;
        bool doclip;
        int r, g, b, a;
        unsigned int word;  // the colour
    };
    // Midpoint circle in whole pixels.
    static void DrawClippedCircle(const Target& t, float cx, float cy, float r, int ia, bool filled);
    // Two rings weighted by the exact distance along each column and row.
    static void DrawClippedCircleAA(const Target& t, float cx, float cy, float r, int ia, bool filled);
    static void DrawClippedPt(const Target& t, int64_t x, int64_t y, int ia);
    // Pixels x1..x2 of row y, or y1..y2 of column x, both ends included.
    static void DrawClippedHorzLine(const Target& t, int64_t y, int64_t x1, int64_t x2, int ia);
    static void DrawClippedVertLine(const Target& t, int64_t x, int64_t y1, int64_t y2, int ia);
};
