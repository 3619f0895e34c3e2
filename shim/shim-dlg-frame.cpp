#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

HWND SHIM_CreateModelessFrameForWindow(HWND child, HWND owner, int styleMask) {
    View* v = shimwnd::AsView(child);
    if (!v) return nullptr;
    HWND ownerWindow = owner;
    if (View* ov = shimwnd::AsView(owner)) ownerWindow = ov->window();
    RECT ref;
    if (!ownerWindow || !GetWindowRect(ownerWindow, &ref)) SHIM_GetViewPort(&ref, nullptr, true);
    FRect b = v->boundsF();
    FRect at{static_cast<double>(ref.left + 50), ref.bottom - 100 - b.height, b.width, b.height};
    auto* w = new Window(at, static_cast<unsigned>(styleMask));
    w->setReleasedWhenClosed(true);
    if (v->superview()) v->removeFromSuperview();
    w->setContentView(v);
    if (SHIM_Answers(ownerWindow, SHIM_SEL_OWNEDLIST)) SHIM_ObjectOf(ownerWindow)->shimAddOwnedWindow(w);
    w->display();
    return w;
}
