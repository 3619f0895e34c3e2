// Lines in one colour at an opacity: between whole pixels (RAST_Line), between
// sub-pixel positions (RAST_FLine), dashed across or down (RAST_DashedLine),
// the segment clippers and the rectangle outlines made of lines.
//
// The colour is a raster pixel whose four channels, alpha included, are all
// combined. The mode word's low byte picks the combine mode (0 copy, 1 add,
// 2 colour dodge, 3 multiply, 4 overlay, 5 HSV adjust); above 5 nothing is
// drawn, and no other bit is read. A flipped bitmap is addressed in picture
// rows, except by RAST_DashedLine, which takes stored rows.
#pragma once

#include <cstdint>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Combine.h"

// Both endpoints are drawn; clipped to the bitmap. Endpoints whose
// differences do not fit in 32 bits draw nothing.
void RAST_Line(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, unsigned int colour, float alpha, int mode, bool aa);
// Without aa, RAST_Line of the truncated positions. With aa, each whole
// position along the major axis gets a pair of pixels weighted by where the
// line passes between them. Coordinates that are not finite or lie beyond
// +-2^30 draw nothing.
void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, unsigned int colour, float alpha, int mode,
                bool aa);
// A horizontal or vertical line drawn pxon pixels on, pxoff off, from its
// lower end; the higher end itself is not drawn. Sloped lines, pxon below 1
// or pxoff below 0 draw nothing. aa is not read.
void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, unsigned int colour,
                     float alpha, int mode, bool aa);

// Cuts a segment to columns 0..w-1 and rows 0..h-1: true with the endpoints
// replaced, false when nothing of it is inside (the coordinates may then
// hold partly clipped values).
bool ClipLine(int& x1, int& y1, int& x2, int& y2, int w, int h);
// The same in floats for the window 0 <= x < w - 1, 0 <= y < h - 1, where
// both pixels of an anti-aliased pair stay inside. Non-finite input gives
// false.
bool ClipFLine(float& x1, float& y1, float& x2, float& y2, int w, int h);
// The clippers moved to the rectangle [xlo, xhi) x [ylo, yhi).
bool RAST_ClipLine(int& x1, int& y1, int& x2, int& y2, int xlo, int ylo, int xhi, int yhi);
bool RAST_ClipFLine(float& x1, float& y1, float& x2, float& y2, float xlo, float ylo, float xhi, float yhi);

// Outline on columns x and x + w and rows y and y + h, without anti-aliasing.
void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int colour, float alpha, int mode);
// The outline's inside filled with fillColour, then the outline.
void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int fillColour,
                       unsigned int borderColour, float alpha, int mode);

// The per-combiner loops; p points at a pixel, steps and spans are in pixels,
// ia is the integer opacity (256 full).
template <class C>
struct __RAST_LineClassSimple {
    // n pixels from p along a row, or down a column span pixels apart.
    static void RAST_HorizLine(unsigned int* p, int n, unsigned int colour, int ia);
    static void RAST_VertLine(unsigned int* p, int span, int n, unsigned int colour, int ia);
    // The n + 1 pixels p + k (xstep + ystep), k = 0..n.
    static void RAST_DiagLine(unsigned int* p, int n, int xstep, int ystep, unsigned int colour, int ia);
    // The same run at 3/4 of ia, each of its first n pixels with the two
    // pixels beside it toward the next one at 1/4.
    static void RAST_DiagLineAA(unsigned int* p, int n, int xstep, int ystep, unsigned int colour, int ia);
};

template <class C>
struct __RAST_LineClass {
    // From p1 to p2, da > 0 steps of astep along the major axis; bstep the
    // signed minor step, derr the slope in 16-bit fixed point.
    static void RAST_LineImpl(unsigned int* p1, unsigned int* p2, int derr, int astep, int da, int bstep,
                              unsigned int colour, int ia, bool aa);
    // n + 1 pairs (p, p + minorstep), stepping majorstep per pair and
    // minorstep when the 16-bit fraction frac, grown by dfrac, carries.
    static void RAST_FLineImpl(unsigned int* p, int n, int frac, int dfrac, int majorstep, int minorstep,
                               unsigned int colour, int ia);
    // x1 <= x2 and y1 <= y2, both inside the bitmap (stored rows).
    static void DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, unsigned int colour,
                           int ia);
};

namespace rast_detail {

// The outcode loop of both clippers: cross(code, x, y) gives the point where
// the segment meets the side that code names (false: give up); each pass
// moves the first endpoint that lies outside.
template <class T, class Outcode, class Cross>
bool clipByOutcodes(T& x1, T& y1, T& x2, T& y2, Outcode outcode, Cross cross) {
    int c1 = outcode(x1, y1), c2 = outcode(x2, y2);
    // Each pass settles one side of one endpoint for good, so eight passes
    // suffice; the bound only guards against the unforeseen.
    for (int pass = 0; c1 | c2; pass++) {
        if ((c1 & c2) || pass == 32) return false;
        const int c = c1 ? c1 : c2;
        T x, y;
        if (!cross(c, x, y)) return false;
        if (c == c1) {
            x1 = x, y1 = y;
            c1 = outcode(x1, y1);
        } else {
            x2 = x, y2 = y;
            c2 = outcode(x2, y2);
        }
    }
    return true;
}

// RAST_Line and RAST_FLine on a bitmap's pixels already read, for figures
// that draw many lines.
void drawLine(const Surface& s, int x1, int y1, int x2, int y2, unsigned int colour, float alpha, int mode, bool aa);
void drawFLine(const Surface& s, float x1, float y1, float x2, float y2, unsigned int colour, float alpha, int mode,
               bool aa);

// ClipLine on 64-bit positions, so that flipped rows and far endpoints
// cannot overflow; false also when the differences do not fit in 32 bits.
bool clipSegment(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t w, int64_t h);

// Calls f.template operator()<C>() with the combiner of a figure's colour
// operation at the integer opacity ia; false when nothing is drawn. A copy
// at 128 is the half mix and at 256 the clobber only where those forms are
// allowed; a copy below 1 draws nothing.
template <class F>
inline bool figureCombiner(int mode, int ia, bool halfMix, bool clobber, F&& f) {
    const int op = mode & RAST_MODE_MASK;
    if (ia == 0 || op > RAST_MODE_HSVADJUST) return false;
    if (op == RAST_MODE_COPY) {
        if (halfMix && ia == 128)
            f.template operator()<_RAST_CombinePixelsHalfMixNoClamp>();
        else if (clobber && ia == 256)
            f.template operator()<_RAST_CombinePixelsClobberNoClamp>();
        else if (ia < 1)
            return false;
        else
            f.template operator()<_RAST_CombinePixelsCopyNoClamp>();
        return true;
    }
    return RAST_DispatchCombiner(op, ia, f);
}

}  // namespace rast_detail
