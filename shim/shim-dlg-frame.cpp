#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

HWND SHIM_CreateModelessFrameForWindow(HWND child, HWND owner, int styleMask) {
    return Shim_vHalvoran_modelesswindow::initModelessForChild(child, owner, static_cast<unsigned>(styleMask));
}
