// Geometry of windows and views: window and client rectangles, conversions
// between view and screen coordinates, the screen's viewport, placing and
// sizing (SetWindowPos), invalidation, scrolling children, the window under
// a point and the screen metrics.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/appkit/Application.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using namespace shimwnd;

namespace {

int Round(double v) { return static_cast<int>(v + 0.5); }

// A floating-point rectangle as left, top, right, bottom by the toolkit's rule.
RECT RectOf(const FRect& f) {
    Rect p = toPixels(f);
    return {p.x, p.y, p.x + p.width, p.y + p.height};
}

// The view a handle's geometry is read from, after scroll redirection.
View* GeometryView(HWND h) { return ScrollRedirect(ContentOf(h)); }

}  // namespace

void ClientToScreen(HWND h, POINT* p) {
    View* v = ContentOf(h);
    if (!p || !v || !v->window()) return;
    FPoint w = v->convertToWindowF({static_cast<double>(p->x), static_cast<double>(p->y)});
    FPoint s = v->window()->convertToScreen({static_cast<double>(Round(w.x)), static_cast<double>(Round(w.y))});
    *p = {Round(s.x), Round(s.y)};
}

void ScreenToClient(HWND h, POINT* p) {
    View* v = ContentOf(h);
    if (!p || !v || !v->window()) return;
    FPoint w = v->window()->convertFromScreen({static_cast<double>(p->x), static_cast<double>(p->y)});
    FPoint l = v->convertFromWindowF({static_cast<double>(Round(w.x)), static_cast<double>(Round(w.y))});
    *p = {Round(l.x), Round(l.y)};
}

BOOL GetWindowRect(HWND h, RECT* r) {
    if (!r) return FALSE;
    *r = {0, 0, 0, 0};
    if (Window* w = AsWindow(WindowOf(h))) {
        *r = RectOf(w->frame());
        return TRUE;
    }
    View* v = ScrollRedirect(AsView(h));
    if (!v) return FALSE;
    RECT b = RectOf(v->boundsF());
    POINT tl{b.left, b.top}, br{b.right, b.bottom};
    ClientToScreen(v, &tl);
    ClientToScreen(v, &br);
    *r = {tl.x, tl.y, br.x, br.y};
    return TRUE;
}

void GetWindowContentViewRect(HWND h, RECT* r) {
    if (!r) return;
    Window* w = AsWindow(WindowOf(h));
    if (!w || !w->contentView()) {
        GetWindowRect(h, r);
        return;
    }
    View* c = w->contentView();
    RECT b = RectOf(c->boundsF());
    POINT tl{b.left, b.top}, br{b.right, b.bottom};
    ClientToScreen(c, &tl);
    ClientToScreen(c, &br);
    *r = {tl.x, std::min(tl.y, br.y), br.x, std::max(tl.y, br.y)};
}

void GetClientRect(HWND h, RECT* r) {
    if (!r) return;
    *r = {0, 0, 0, 0};
    View* v = GeometryView(h);
    if (!v) return;
    RECT b = RectOf(v->boundsF());
    NCCALCSIZE_PARAMS nc{};
    nc.rgrc[0] = b;
    SendMessage(h, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
    *r = {b.left, b.top, b.left + (nc.rgrc[0].right - nc.rgrc[0].left), b.top + (nc.rgrc[0].bottom - nc.rgrc[0].top)};
}

void SHIM_GetViewPort(RECT* out, const RECT* src, bool workArea) {
    if (!out) return;
    std::vector<Screen> screens = Application::screens();
    if (screens.empty()) {
        *out = {0, 0, 1600, 1200};
        return;
    }
    double x = src ? (src->left + src->right) / 2 : 0, y = src ? (src->top + src->bottom) / 2 : 0;
    FRect chosen;
    for (size_t i = 0; i < screens.size(); ++i) {
        const FRect& f = workArea ? screens[i].visibleFrame : screens[i].frame;
        if (i == 0 || (x >= f.x && x < f.x + f.width && y >= f.y && y < f.y + f.height)) chosen = f;
    }
    *out = RectOf(chosen);
}

void InvalidateRect(HWND h, const RECT* r, BOOL erase) {
    View* v = ContentOf(h);
    if (!v) return;
    if (auto* t = dynamic_cast<Shim_vHalvoran_hwnd*>(v)) {
        if (!(t->m_isdirty & 1)) t->markDirty();
    } else {
        Shim_vHalvoran_hwnd::markDescendantDirty(v->superview());
    }
    if (!r) {
        v->setNeedsDisplay();
        return;
    }
    v->setNeedsDisplayInRect({r->left, std::min(r->top, r->bottom), r->right - r->left, std::abs(r->bottom - r->top)});
}

void SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, int flags) {
    Window* w = AsWindow(WindowOf(h));
    View* v = w ? nullptr : ScrollRedirect(AsView(h));
    if (!w && !v) return;

    if (v && !(flags & SWP_NOZORDER) && v->superview()) {
        View* sup = v->superview();
        const auto& subs = sup->subviews();
        HWND self = v;
        bool ignored = insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST || insertAfter == self;
        if (!ignored && subs.size() >= 2) {
            auto at = std::find(subs.begin(), subs.end(), v);
            size_t index = static_cast<size_t>(at - subs.begin());
            std::optional<size_t> place;  // the index in the list without v
            if (insertAfter == HWND_TOP) {
                if (index != subs.size() - 1) place = subs.size() - 1;
            } else if (insertAfter == HWND_BOTTOM) {
                if (index != 0) place = 0;
            } else if (View* sib = AsView(insertAfter)) {
                auto s = std::find(subs.begin(), subs.end(), sib);
                if (s != subs.end() && !(s + 1 == at)) {
                    size_t si = static_cast<size_t>(s - subs.begin());
                    place = si < index ? si + 1 : si;
                }
            }
            View* cap = AsView(GetCapture());
            if (place && !(cap && cap->isDescendantOf(v))) {
                Window* win = v->window();
                View* fr = win ? win->firstResponder() : nullptr;
                bool keepFocus = fr && fr->isDescendantOf(v);
                v->removeFromSuperviewWithoutNeedingDisplay();
                sup->insertSubview(v, *place);
                if (keepFocus && win) win->makeFirstResponder(fr);
            }
        }
    }

    if ((flags & SWP_NOMOVE) && (flags & SWP_NOSIZE)) return;
    FRect f = w ? w->frame() : v->frameF();
    if (!(flags & SWP_NOMOVE)) {
        f.x = x;
        f.y = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        f.width = cx;
        f.height = std::abs(cy);
    }
    if (v) {
        v->setFrameF(f);
        if (auto* scroll = dynamic_cast<ScrollView*>(v)) {
            if (auto* text = dynamic_cast<TextView*>(scroll->documentView())) {
                bool h = scroll->hasHorizontalScroller(), vert = scroll->hasVerticalScroller();
                if (!(h && vert)) {
                    FRect tf = text->frameF();
                    Size cs = scroll->contentSize();
                    if (!h) tf.width = cs.width;
                    if (!vert) tf.height = cs.height;
                    text->setFrameF(tf);
                }
            }
        }
        return;
    }
    auto clamp = [](double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); };
    f.width = clamp(f.width, w->minSize().width, w->maxSize().width);
    f.height = clamp(f.height, w->minSize().height, w->maxSize().height);
    w->setFrame(f, false);
    if (w->isVisible()) {
        w->invalidate({0, 0, w->size().width, w->size().height});
        w->display();
    }
}

BOOL ScrollWindow(HWND h, int dx, int dy, const RECT* scrollRect, const RECT* clipRect) {
    View* v = ContentOf(h);
    if (!v || (dx == 0 && dy == 0)) return 0;
    for (View* c : std::vector<View*>(v->subviews())) {
        FRect f = c->frameF();
        c->setFrameF(f.offset(dx, dy));
    }
    v->setNeedsDisplay();
    return 1;
}

HWND WindowFromPoint(POINT p) {
    std::vector<Window*> candidates = Application::orderedWindows();
    Window* key = Application::keyWindow();
    if (key && std::find(candidates.begin(), candidates.end(), key) == candidates.end())
        candidates.insert(candidates.begin(), key);
    for (Window* w : candidates) {
        FRect f = w->frame();
        if (!w->isVisible() || !(p.x >= f.x && p.x < f.x + f.width && p.y >= f.y && p.y < f.y + f.height)) continue;
        View* c = w->contentView();
        if (!c) return nullptr;
        FPoint at = w->convertFromScreen({static_cast<double>(p.x), static_cast<double>(p.y)});
        View* hit = c->hitTest({static_cast<int>(std::floor(at.x)), static_cast<int>(std::floor(at.y))});
        return hit ? hit : c;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CYSCREEN: {
            auto s = Application::mainScreen();
            if (!s) return 1024;
            return static_cast<int>(index == SM_CXSCREEN ? s->frame.width : s->frame.height);
        }
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
            return 16;
        default:
            return 0;
    }
}

void CenterWindow(HWND h) {
    Window* w = AsWindow(h);
    if (!w)
        if (View* v = AsView(h)) w = v->window();
    if (w) w->center();
}
