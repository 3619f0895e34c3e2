#pragma once
// Typeset lines of text in one font, their typographic bounds, a frame
// layout that breaks text into lines, and drawing a line into pixel memory.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/coretext/CTFont.h"

namespace platform {

struct CTLine;
using CTLineRef = CTLine*;

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF); the code points go to out when given.
bool CTDecodeUTF8(const char* text, size_t length, std::u32string* out);

// A line of the given characters laid out with the font's advances. The line
// keeps its own reference to the font. Release with CTLineRelease.
CTLineRef CTLineCreate(CTFontRef font, const std::u32string& text);
CTLineRef CTLineRetain(CTLineRef line);
void CTLineRelease(CTLineRef line);

// Width of the line (advances, trailing blanks included; line feeds add
// nothing); ascent, descent and leading of its font.
double CTLineGetTypographicBounds(CTLineRef line, double* ascent, double* descent,
                                  double* leading);
const std::u32string& CTLineGetText(CTLineRef line);

// The lines that a frame of the given size holds: a line ends after each
// line feed (which stays with its line) and where the next character would
// pass the frame width (after the last blank when there is one). A line feed
// at the very end opens no new line. Lines that would reach below the
// frame height are left out. Each line must be released.
std::vector<CTLineRef> CTFrameCreateLines(CTFontRef font, const std::u32string& text,
                                          double frameWidth, double frameHeight);

// Pixel memory to draw into: 32-bit pixels whose first byte is left alone
// and whose next three bytes are red, green and blue; row 0 is the top row.
// Drawing is limited to the clip rectangle (device pixels, right and bottom
// exclusive), which is cut to the pixel memory.
struct CTDrawTarget {
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    long rowBytes = 0;
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

struct CTColor {
    double red = 0, green = 0, blue = 0, alpha = 1;  // 0 to 1
};

// Draws the line with its origin at device position x (may be fractional;
// glyphs are placed on quarter pixels) and its baseline on row baselineY
// (rounded to the nearest row). Each pixel moves toward the colour by its
// coverage times the colour's alpha. Without antialiasing, coverage is all or
// nothing.
void CTLineDraw(CTLineRef line, const CTDrawTarget& target, double x, double baselineY,
                const CTColor& colour, bool antialias);

// The line's ink as a coverage mask of bytes, for tests and callers that
// composite it themselves: the box (left, top, width, height) in device
// pixels for the same placement rules as CTLineDraw.
struct CTCoverage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<unsigned char> values;  // width x height, rows top first
};
CTCoverage CTLineRenderCoverage(CTLineRef line, double x, double baselineY, bool antialias);

}  // namespace platform
