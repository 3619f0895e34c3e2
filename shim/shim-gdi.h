// Drawing contexts (HDC) and drawing objects (HGDIOBJ: pens, brushes, fonts,
// bitmaps) over CoreGraphics, with the Win32-style calls that make, select,
// delete and draw with them.
//
// Colour values are ints laid out 0x00RRGGBB (red in bits 16-23), not the
// Win32 COLORREF order. Handle values below 5 are never objects; a record
// sitting in its free pool is dead, and every call refuses it.
#pragma once

#include <cstdint>

#include "platform/coregraphics/CoreGraphics.h"
#include "platform/coretext/CTFont.h"
#include "shim/SHIM_Types.h"

namespace platform {
struct NSImage;
}  // namespace platform

struct HDC__ {
    // First field: the panel's screen copy reads the context from here.
    platform::CGContextRef ctx;
    void* ownedmem;  // the raw block of a memory context; null when wrapping
    HGDIOBJ curpen;
    HGDIOBJ curbrush;
    HGDIOBJ curfont;
    int curtextcol;  // colour value
    int curbkcol;    // colour value
    int curbkmode;   // 1: opaque (text gets its background filled)
    float lastpos_x, lastpos_y;
    uint8_t inpool;
    HDC__* poolnext;
    platform::CGColorRef curtextcolor;  // owned; made from curtextcol
};

enum {
    SHIM_GDIOBJ_PEN = 1,
    SHIM_GDIOBJ_BRUSH = 2,
    SHIM_GDIOBJ_FONT = 3,
    SHIM_GDIOBJ_BITMAP = 4,
};

struct HGDIOBJ__ {
    int32_t type;                // SHIM_GDIOBJ_*
    int32_t additional_refs;     // SHIM_CloneGDIObject adds one, DeleteObject takes one
    platform::CGColorRef color;  // owned, pens and brushes
    // Pens: the width (0 or more); brushes: 0; the null pen and brush: -1;
    // bitmaps: 1 when the record owns its image.
    int32_t wid;
    platform::NSImage* bitmapptr;
    uint8_t inpool;
    HGDIOBJ__* poolnext;
    platform::CTFont* fontobj;  // owned, fonts
    uint8_t fontsmoothing;      // fonts: 0 follows the context, 3 off, 4 on
};

// How DeleteObject lets go of a bitmap record's image; set by the code that
// makes bitmap objects. (Fonts are released with CTFontRelease.)
extern void (*SHIM_ReleaseBitmapImage)(platform::NSImage* image);

// Record allocators: from the free pool (cleared) or fresh (zero-filled).
HDC__* SHIM_GDP_CTX_NEW();
HGDIOBJ__* GDP_OBJECT_NEW();

// A live context: not null and not pooled.
bool SHIM_IsValidContext(HDC hdc);
// A live object (value 5 or more, not pooled) of the kind given (0: any).
bool SHIM_IsValidObject(HGDIOBJ obj, int kind = 0);

// Shared device-RGB spaces: one for object colours, one for text colours.
platform::CGColorSpaceRef SHIM_GetObjectColorSpace();
platform::CGColorSpaceRef SHIM_GetTextColorSpace();
// A CoreGraphics colour of a colour value, in the given space.
platform::CGColorRef SHIM_CreateColor(platform::CGColorSpaceRef space, int colour, float alpha);

// Contexts.
// A record wrapping a CoreGraphics context it neither owns nor releases (the
// graphics port of an AppKit context).
HDC SHIM_CreateGfxContextForCG(platform::CGContextRef ctx);
HDC SHIM_CreateMemContext(HDC reference, int w, int h);
void* SHIM_GetCtxFrameBuffer(HDC hdc);
void SHIM_DeleteGfxContext(HDC hdc);
platform::CGContextRef SHIM_GetCtxGC(HDC hdc);
void SetTextColor(HDC hdc, int colour);
int GetTextColor(HDC hdc);
void SetBkColor(HDC hdc, int colour);
void SetBkMode(HDC hdc, int mode);

// Objects.
HGDIOBJ CreatePen(int style, int width, int colour);
HGDIOBJ CreatePenAlpha(int style, int width, int colour, float alpha);
HGDIOBJ CreateSolidBrush(int colour);
HGDIOBJ CreateSolidBrushAlpha(int colour, float alpha);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
void DeleteObject(HGDIOBJ obj);
HGDIOBJ SHIM_CloneGDIObject(HGDIOBJ obj);

// Drawing, in the context's user space (y downward in memory contexts).
void SHIM_FillRect(HDC hdc, const RECT* r, HGDIOBJ brush);
void Rectangle(HDC hdc, int l, int t, int r, int b);
void Ellipse(HDC hdc, int l, int t, int r, int b);
void RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h);
void SHIM_Polygon(HDC hdc, const POINT* pts, int n);
void MoveToEx(HDC hdc, int x, int y, POINT* old);
void SHIM_LineTo(HDC hdc, int x, int y);
void PolyBezierTo(HDC hdc, const POINT* pts, int n);
void PolyPolyline(HDC hdc, const POINT* pts, const int* counts, int nlines);
void SHIM_SetPixel(HDC hdc, int x, int y, int colour);
