// Font objects and text: CreateFont, GetTextMetrics and SHIM_DrawText, on the
// drawing contexts and object records of shim-gdi.h.
#pragma once

#include <cstdint>

#include "shim/shim-gdi.h"

// Text flags in the toolkit's own numbering (not Win32's).
enum {
    DT_CALCRECT = 0x1,  // measure only: set right and bottom, draw nothing
    DT_VCENTER = 0x2,   // centre vertically (not with DT_BOTTOM)
    DT_CENTER = 0x4,    // centre horizontally (not with DT_RIGHT)
    DT_BOTTOM = 0x10,
    DT_RIGHT = 0x20,
    DT_SINGLELINE = 0x40,  // line feeds become blanks
    DT_NOPREFIX = 0x80,    // "&" is ordinary text
    DT_NOCLIP = 0x100,
};

// Only the first five fields are ever written; the fifth is the average
// character width.
struct TEXTMETRIC {
    int32_t tmHeight;
    int32_t tmAscent;
    int32_t tmDescent;
    int32_t tmInternalLeading;
    int32_t tmAveCharWidth;
};

struct LOGFONT {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    char lfItalic;
    char lfUnderline;
    char lfStrikeOut;
    char lfCharSet;
    char lfOutPrecision;
    char lfClipPrecision;
    char lfQuality;
    char lfPitchAndFamily;
    char lfFaceName[32];
};

// Font quality values that set the font's antialias mode.
enum { SHIM_FONTQUALITY_NONANTIALIASED = 3, SHIM_FONTQUALITY_ANTIALIASED = 4 };

// A font object of the given height in pixels (or width when the height is
// 0; sizes outside 2 to 8192 become 10), bold at weight 700 or more, italic
// when lfItalic is set. A face that is not installed gives a stand-in face;
// the result is null only when no record can be had.
HGDIOBJ CreateFont(int lfHeight, int lfWidth, int lfEscapement, int lfOrientation, int lfWeight, char lfItalic,
                   char lfUnderline, char lfStrikeOut, char lfCharSet, char lfOutPrecision, char lfClipPrecision,
                   char lfQuality, char lfPitchAndFamily, const char* lfFaceName);
HGDIOBJ CreateFontIndirect(const LOGFONT* lf);

// Metrics of the selected font (or the default font); 1 on success, 0 for a
// dead context or a null record (a given record still gets the defaults).
int GetTextMetrics(HDC hdc, TEXTMETRIC* tm);

// Draws or measures text in r under the DT_* flags; the text's height in
// pixels, or 0 when nothing could be drawn.
int SHIM_DrawText(HDC hdc, const char* text, int len, RECT* r, int flags);

// The system label font of size 10, made once.
platform::CTFont* GetCoreTextDefaultFont();

// Entries of the font-name cache (composite name to face name), for tests.
int SHIM_FontNameCacheSize();
