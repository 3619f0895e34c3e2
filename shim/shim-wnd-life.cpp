// Visibility, focus, enabling, destruction, modal sessions and flushing of
// windows and views.
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/appkit/Application.h"
#include "platform/appkit/Modal.h"
#include "shim/shim-dlg.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using namespace shimwnd;

namespace {

// Whether the key window's first responder is v or inside it.
bool HoldsKeyFocus(View* v) {
    Window* w = v->window();
    if (!w || !w->isKeyWindow()) return false;
    View* fr = w->firstResponder();
    return fr && fr->isDescendantOf(v);
}

void MoveFocusToParent(View* v) {
    if (!HoldsKeyFocus(v)) return;
    if (HWND p = GetParent(v)) SetFocus(p);
}

// Takes a view out of its tree and lets it go.
void RemoveAndRelease(View* v) {
    v->removeFromSuperview();
    SHIM_ReleaseView(v);
}

void DestroyTopLevel(Window* w) {
    KillTimer(w, SHIM_ALL_TIMERS);
    if (View* c = w->contentView())
        if (SHIM_Answers(c, SHIM_SEL_MESSAGE)) SHIM_ObjectOf(c)->onShimMessage(WM_DESTROY, 0, 0);
    if (!Responder::isLive(w)) return;
    if (SHIM_Answers(w, SHIM_SEL_MESSAGE)) SHIM_ObjectOf(w)->onShimMessage(WM_DESTROY, 0, 0);
    if (SHIM_Answers(w, SHIM_SEL_DESTROYSTUFF)) SHIM_ObjectOf(w)->shimDoDestroyStuff();
    if (Window* p = w->parentWindow()) p->removeChildWindow(w);
    w->close();
}

}  // namespace

BOOL IsWindowVisible(HWND h) {
    if (Window* w = AsWindow(h)) return w->isVisible();
    View* v = AsView(h);
    if (!v) return FALSE;
    if (v->window() && !v->window()->isVisible()) return FALSE;
    return v->isHiddenOrHasHiddenAncestor() ? FALSE : TRUE;
}

void ShowWindow(HWND h, int cmd) {
    if (Window* w = AsWindow(h)) {
        switch (cmd) {
            case SW_HIDE:
                w->orderOut();
                break;
            case SW_SHOWNA:
                if (SHIM_Answers(w, SHIM_SEL_INITIALKEY) && SHIM_ObjectOf(w)->wantInitialKeyWindowOnShow()) {
                    SHIM_ObjectOf(w)->setWantInitialKeyWindowOnShow(false);
                    w->makeKeyAndOrderFront();
                } else {
                    w->show();
                }
                break;
            case SW_SHOW:
                w->makeKeyAndOrderFront();
                break;
            case SW_SHOWMINIMIZED:
                w->miniaturize();
                break;
            default:
                break;
        }
        return;
    }
    View* v = ScrollRedirect(AsView(h));
    if (!v) return;
    if (cmd == SW_SHOWNA || cmd == SW_SHOW) {
        v->setHidden(false);
    } else if (cmd == SW_HIDE) {
        MoveFocusToParent(v);
        if (!v->isHidden()) {
            View* sup = v->superview();
            if (sup && !IsContentView(v)) {
                RECT r;
                GetWindowRect(v, &r);
                POINT a{r.left, r.top}, b{r.right, r.bottom};
                ScreenToClient(sup, &a);
                ScreenToClient(sup, &b);
                RECT area{a.x, a.y, b.x, b.y};
                InvalidateRect(sup, &area, FALSE);
            }
            v->setHidden(true);
        }
    }
    if (IsContentView(v)) ShowWindow(v->window(), cmd);
}

void DestroyWindow(HWND h) {
    if (Window* w = AsWindow(h)) {
        DestroyTopLevel(w);
        return;
    }
    View* v = AsView(h);
    if (!v) return;
    KillTimer(v, SHIM_ALL_TIMERS);
    if (SHIM_Answers(v, SHIM_SEL_MESSAGE)) SHIM_ObjectOf(v)->onShimMessage(WM_DESTROY, 0, 0);
    if (!Responder::isLive(v)) return;
    if (!v->window()) {
        RemoveAndRelease(v);
        return;
    }
    if (IsContentView(v)) {
        DestroyTopLevel(v->window());
        return;
    }
    MoveFocusToParent(v);
    RemoveAndRelease(v);
}

void SHIM_CloseWindow(HWND h) {
    Window* w = AsWindow(WindowOf(h));
    if (!w)
        if (View* v = AsView(h)) w = v->window();
    if (w) w->close();
}

void EnableWindow(HWND h, BOOL enable) {
    View* v = ContentOf(h);
    if (!v) return;
    bool on = enable != 0;
    if (SHIM_Answers(v, SHIM_SEL_SETENABLED)) {
        SHIM_ObjectOf(v)->setEnabled(on);
    } else if (auto* c = dynamic_cast<Control*>(v)) {
        c->setEnabled(on);
    }
    auto* field = dynamic_cast<TextField*>(v);
    if (field && SHIM_ObjectOf(field) && !field->isEditable() && !field->isBordered() && !field->drawsBackground()) {
        Color c = field->textColor();
        c.alpha = on ? 1.0 : 0.5;
        field->setTextColor(c);
    }
}

void SetFocus(HWND h) {
    Window* w = AsWindow(h);
    View* v = w ? w->contentView() : AsView(h);
    if (!v || !v->window()) return;
    w = v->window();
    w->makeFirstResponder(v);
    if (w->isVisible()) w->makeKeyAndOrderFront();
}

void SetForegroundWindow(HWND h) { SetFocus(h); }

HWND GetForegroundWindow() {
    Window* key = Application::keyWindow();
    if (!key) return nullptr;
    if (View* fr = key->firstResponder()) return fr;
    return key;
}

HWND GetFocus() {
    Window* key = Application::keyWindow();
    View* fr = key ? key->firstResponder() : nullptr;
    if (!fr) return nullptr;
    if (dynamic_cast<TextView*>(fr) && fr->superview())
        if (auto* field = dynamic_cast<TextField*>(fr->superview()->superview())) return field;
    return fr;
}

void SHIM_HideApp() { Application::hide(); }

void* SHIM_ModalWindowStart(HWND h) {
    Window* w = AsWindow(WindowOf(h));
    if (!w)
        if (View* v = AsView(h)) w = v->window();
    if (!w) return nullptr;
    return beginModalSession(w);
}

BOOL SHIM_ModalWindowRun(void* session, int* ret) {
    if (!session) return FALSE;
    int r = runModalSession(static_cast<ModalSession*>(session));
    if (r == kModalResponseContinue) return TRUE;
    if (ret) *ret = r;
    return FALSE;
}

void SHIM_ModalWindowEnd(void* session) {
    if (!session) return;
    auto* s = static_cast<ModalSession*>(session);
    if (runModalSession(s) == kModalResponseContinue) {
        stopModal();
        while (runModalSession(s) == kModalResponseContinue) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    endModalSession(s);
}

BOOL SHIM_GetGestureInfo(LPARAM lp, GESTUREINFO* out) {
    if (!lp || !out) return FALSE;
    // The size comes first in every record; one shorter than ours would be
    // read past its end.
    uint32_t size = 0;
    std::memcpy(&size, reinterpret_cast<const void*>(lp), sizeof size);
    if (size < sizeof *out) return FALSE;
    std::memcpy(out, reinterpret_cast<const void*>(lp), sizeof *out);
    return TRUE;
}

void UpdateWindow(HWND h) {
    View* v = AsView(h);
    if (v && v->needsDisplay() && v->window()) v->window()->display();
}

void SHIM_FlushWindow(HWND h) {
    Window* w = AsWindow(h);
    if (View* v = AsView(h)) {
        if (v->needsDisplay()) return;
        w = v->window();
    }
    if (!w || (w->contentView() && w->contentView()->needsDisplay())) return;
    w->flushRect({0, 0, w->size().width, w->size().height});
}
