// Drawing contexts for windows and views (GetDC, GetWindowDC, ReleaseDC).
// While such a context is out, the view's focus is locked: drawing lands in
// its window's backing store, in the view's own coordinates (origin at its
// top-left, y downward), clipped to the part of the view that shows.
#pragma once

#include "platform/appkit/Geometry.h"
#include "shim/shim-gdi.h"

struct PAINTSTRUCT {
    HDC hdc;
    int fErase;
    RECT rcPaint;
};

// A window object that paints through the toolkit answers this; while it
// paints, ps->hdc is the context of that paint, otherwise null. Window
// contexts asked for meanwhile are that paint context.
class SHIM_PaintInfoSource {
public:
    virtual ~SHIM_PaintInfoSource() = default;
    virtual void getShimPaintInfo(PAINTSTRUCT* ps) = 0;
};

// A graphics context over a window's backing store (width x height words
// 0x00RRGGBB) whose user space is a view's: origin at the view's origin
// (window coordinates), y downward; clipped to clip (window coordinates).
platform::CGContextRef SHIM_CreateBackingContext(uint32_t* pixels, int width, int height,
                                                 platform::appkit::Point origin, const platform::appkit::Rect& clip);

// Null for a null handle, for what is neither a view nor a window, and for a
// view that cannot draw (outside a window, hidden, or its window closed).
HDC GetDC(HWND h);
HDC GetWindowDC(HWND h);
// Restores the context's state; gives it back and unlocks the focus unless it
// is a paint context, which its painter owns.
void ReleaseDC(HWND h, HDC hdc);
