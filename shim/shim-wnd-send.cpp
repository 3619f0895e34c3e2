// SendMessage: a toolkit object's own handler, else the forwarding between a
// window and its content view.
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace shimwnd;

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!h) return 0;
    if (SHIM_Answers(h, SHIM_SEL_MESSAGE)) return SHIM_ObjectOf(h)->onShimMessage(msg, wp, lp);
    if (View* v = AsView(h)) {
        // The rows of plain platform controls (buttons, combo boxes, sliders,
        // text fields) translate their messages.
        LRESULT result = 0;
        if (ControlMessage(v, msg, wp, lp, &result)) return result;
        if (IsContentView(v) && SHIM_Answers(v->window(), SHIM_SEL_MESSAGE))
            return SHIM_ObjectOf(v->window())->onShimMessage(msg, wp, lp);
        return 0;
    }
    if (Window* w = AsWindow(h)) {
        View* c = w->contentView();
        if (c && SHIM_Answers(c, SHIM_SEL_MESSAGE)) return SHIM_ObjectOf(c)->onShimMessage(msg, wp, lp);
    }
    return 0;
}
