#include "shim/shim-appearance.h"

#include <algorithm>

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using platform::appkit::Application;
using platform::appkit::FRect;
using platform::appkit::View;
using platform::appkit::Window;

namespace {

// The window of h: h itself, or a view's window.
Window* WindowOfHandle(HWND h) {
    if (Window* w = shimwnd::AsWindow(h)) return w;
    View* v = shimwnd::AsView(h);
    return v ? v->window() : nullptr;
}

Shim_vHalvoran_modelesswindow* ModelessOf(HWND h) {
    return dynamic_cast<Shim_vHalvoran_modelesswindow*>(WindowOfHandle(h));
}

// Presentation options as the Mac numbers them.
constexpr uint32_t kAutoHideDock = 1, kHideDock = 2, kAutoHideMenuBar = 4;

void CloseFocusWindow(Window* w) {
    if (!platform::appkit::Responder::isLive(w)) return;
    if (Window* p = w->parentWindow()) p->removeChildWindow(w);
    w->close();
}

}  // namespace

int SHIM_SetWindowLevel(HWND h, int level) {
    Window* w = WindowOfHandle(h);
    if (!w) return 0;
    int old = w->level();
    w->setLevel(level);
    return old;
}

int SHIM_GetWindowWantRaiseAmt(HWND h) {
    auto* w = ModelessOf(h);
    return w ? w->m_wantraiseamt : 0;
}

void SHIM_SetWindowWantRaiseAmt(HWND h, int amt) {
    auto* w = ModelessOf(h);
    if (!w) return;
    int old = w->m_wantraiseamt;
    w->m_wantraiseamt = amt;
    if (amt != old && Application::isActive()) w->setLevel(w->level() + (amt - old));
}

void SetOpaque(HWND h, bool opaque) {
    if (Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h)) v->setOpaque(opaque);
}

void SetTransparent(HWND h) {
    Window* w = WindowOfHandle(h);
    if (!w) return;
    w->setBackgroundColor(0);
    w->setOpaque(false);
}

void SHIM_SetWindowShadow(HWND h, bool shadow) {
    if (Window* w = WindowOfHandle(h)) w->setHasShadow(shadow);
}

void SHIM_SetWindowRepre(HWND h, const char* filename, bool edited) {
    Window* w = WindowOfHandle(h);
    if (!w) return;
    if (View* c = w->contentView(); c && SHIM_Answers(c, SHIM_SEL_PROPS) && GetProp(c, "SHIM_DisableWindowRepre"))
        return;
    w->setDocumentEdited(edited);
    w->setRepresentedFilename(filename ? filename : "");
}

BOOL SHIM_SetAppAutoHideMenuAndDock(int ah) {
    static bool asked = false, available = false;
    static uint32_t defaults = 0;
    if (!asked) {
        asked = true;
        available = SHIM_PlatformVersion() >= 0x1060;
        if (available) defaults = Application::presentationOptions();
    }
    if (!available) return FALSE;
    if (ah < 1)
        Application::setPresentationOptions(defaults);
    else
        Application::setPresentationOptions(ah == 1 ? kAutoHideDock | kAutoHideMenuBar : kHideDock | kAutoHideMenuBar);
    return TRUE;
}

void Shim_vHalvoran_drawfocusrectwnd::drawRect(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirty) {
    canvas.fillRect(dirty, 0x808080);
}

void SHIM_DrawFocusRect(HWND hwndPar, const RECT* rect, void** handle) {
    if (!handle) return;
    auto* existing = static_cast<Window*>(*handle);
    if (existing && !platform::appkit::Responder::isLive(existing)) {
        existing = nullptr;
        *handle = nullptr;
    }
    if (!rect) {
        CloseFocusWindow(existing);
        *handle = nullptr;
        return;
    }
    POINT tl{rect->left, rect->top}, br{rect->right, rect->bottom};
    if (hwndPar) {
        ClientToScreen(hwndPar, &tl);
        ClientToScreen(hwndPar, &br);
    }
    if (!shimwnd::AsWindow(hwndPar) && !shimwnd::AsView(hwndPar)) return;
    Window* owner = WindowOfHandle(hwndPar);
    int y0 = std::min(tl.y, br.y), y1 = std::max(tl.y, br.y);
    FRect frame(tl.x, y0, br.x - tl.x, y1 - y0);

    if (existing && existing->parentWindow() != owner) {
        CloseFocusWindow(existing);
        existing = nullptr;
    }
    if (!existing) {
        existing = new Window(frame, platform::appkit::kStyleBorderless);
        existing->setReleasedWhenClosed(true);
        existing->setOpaque(true);
        existing->setAlphaValue(0.5);
        existing->setExcludedFromWindowsMenu(true);
        existing->setIgnoresMouseEvents(true);
        existing->setContentView(new Shim_vHalvoran_drawfocusrectwnd);
        if (owner) {
            owner->addChildWindow(existing);
            existing->orderFront();
        } else {
            existing->setLevel(platform::appkit::kPopUpMenuWindowLevel);
            existing->orderFront();
        }
    }
    *handle = existing;
    existing->setFrame(frame, true);
}
