// The owner-drawn button cell: the dialog draws the button on WM_DRAWITEM.
#include "shim/shim-gdi-window.h"
#include "shim/shim-wnd-classes.h"

using namespace platform::appkit;

void Shim_vHalvoran_ODbuttoncell::drawWithFrame(platform::controls::Painter&, const FRect& frame,
                                                platform::controls::Button* control) {
    HDC hdc = GetDC(control);
    if (!hdc) return;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(control->tag());
    dis.hwndItem = control;
    dis.hDC = hdc;
    int left = static_cast<int>(frame.x + 0.5), top = static_cast<int>(frame.y + 0.5);
    dis.rcItem = {left, top, left + static_cast<int>(frame.width + 0.5), top + static_cast<int>(frame.height + 0.5)};
    SendMessage(GetParent(control), WM_DRAWITEM, static_cast<WPARAM>(control->tag()), reinterpret_cast<LPARAM>(&dis));
    ReleaseDC(control, hdc);
}
