#pragma once
// Typeset lines of text in one font, their typographic bounds, a frame
// layout that breaks text into lines, and drawing a line into pixel memory.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/coregraphics/CoreGraphics.h"
#include "platform/coretext/CTFont.h"

namespace platform {

struct CTLine;
using CTLineRef = CTLine*;

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF); the code points go to out when given.
bool CTDecodeUTF8(const char* text, size_t length, std::u32string* out);
// The code points of text that may be malformed: a byte that starts no
// well-formed sequence stands for U+FFFD.
std::u32string CTDecodeUTF8Lenient(const std::string& text);
// Code points as UTF-8.
std::string CTEncodeUTF8(const std::u32string& text);

// A line of the given characters laid out with the font's advances, drawn in
// the foreground colour (null: black). The line keeps its own references to
// the font and the colour. Release with CTLineRelease.
CTLineRef CTLineCreate(CTFontRef font, const std::u32string& text, CGColorRef foreground = nullptr);
CTLineRef CTLineRetain(CTLineRef line);
void CTLineRelease(CTLineRef line);

// Width of the line (advances, trailing blanks included; line feeds add
// nothing); ascent, descent and leading of its font.
double CTLineGetTypographicBounds(CTLineRef line, double* ascent, double* descent, double* leading);
const std::u32string& CTLineGetText(CTLineRef line);

// The lines that a frame of the given size holds: a line ends after each
// line feed (which stays with its line) and where the next character would
// pass the frame width (after the last blank when there is one). A line feed
// at the very end opens no new line. Lines that would reach below the
// frame height are left out. Each line must be released.
std::vector<CTLineRef> CTFrameCreateLines(CTFontRef font, const std::u32string& text, double frameWidth,
                                          double frameHeight, CGColorRef foreground = nullptr);

// Draws the line into the context with its origin at the context's text
// position: glyphs stand upright when the text matrix and the transform
// together keep device y upward (the text matrix undoes a flipped view), and
// hang mirrored otherwise. The origin is placed on quarter pixels across and
// on whole rows (rounded); the ink is painted in the line's colour through
// the context's clip, alpha and blend, antialiased when the context says so.
void CTLineDraw(CTLineRef line, CGContextRef context);

// The line's ink as a coverage mask: origin at device pixel x (quarter
// pixels) on a baseline on row baselineY (rounded; rows grow downward), cut
// to within when given (right and bottom exclusive).
struct CTPixelRect {
    int left, top, right, bottom;
};
struct CTCoverage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<unsigned char> values;  // width x height, rows top first
};
CTCoverage CTLineRenderCoverage(CTLineRef line, double x, double baselineY, bool antialias,
                                const CTPixelRect* within = nullptr);

}  // namespace platform
