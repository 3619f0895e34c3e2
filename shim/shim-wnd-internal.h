// How the toolkit's window functions tell handles apart: a live view or a
// live window (never a stale handle), a window's content view standing for
// the window and the other way round, and a scrolled view standing as its
// scroll view.
#pragma once

#include "platform/appkit/Controls.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "shim/shim-object.h"

namespace shimwnd {

using platform::appkit::View;
using platform::appkit::Window;

inline HWND H(View* v) { return v; }
inline HWND H(Window* w) { return w; }

// The live view or window behind a handle; null for anything else.
View* AsView(HWND h);
Window* AsWindow(HWND h);

// Whether v is its window's content view.
bool IsContentView(const View* v);
// A window gives its content view; a view itself.
View* ContentOf(HWND h);
// A content view gives its window (as a handle); anything else itself.
HWND WindowOf(HWND h);
// A view inside a clip view inside a scroll view gives the scroll view.
View* ScrollRedirect(View* v);
// The scroll view's document, or a clip view's, standing for it.
View* DocumentOf(View* v);

// The message rows of plain platform controls: true when a row applied,
// with its result.
bool ControlMessage(View* v, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

// UTF-8 text of at most max bytes ending on a character boundary.
size_t Utf8Cut(const char* text, size_t max);

}  // namespace shimwnd
