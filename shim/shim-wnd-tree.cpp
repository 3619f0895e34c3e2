// Navigating the view tree: parents, dialog items, siblings, children,
// whether a handle is a window, re-parenting, and the searches and walks
// over children.
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/appkit/Application.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using namespace shimwnd;

namespace {

// The control id a view answers, if it answers one.
bool TagOf(View* v, int* tag) {
    if (SHIM_Answers(v, SHIM_SEL_TAG)) {
        *tag = SHIM_ObjectOf(v)->tag();
        return true;
    }
    if (auto* c = dynamic_cast<Control*>(v)) {
        *tag = c->tag();
        return true;
    }
    return false;
}

HWND OwnerOf(Window* w) { return SHIM_Answers(w, SHIM_SEL_OWNER) ? SHIM_ObjectOf(w)->shimGetOwner() : nullptr; }

// A window handle stands as its content view.
HWND AsContent(HWND h) {
    if (Window* w = AsWindow(h)) return w->contentView();
    return h;
}

bool InTree(View* root, View* target) {
    // Each level's direct subviews first, then their subtrees.
    for (View* s : root->subviews())
        if (s == target) return true;
    for (View* s : root->subviews())
        if (InTree(s, target)) return true;
    return false;
}

// A window made by the toolkit: it answers the toolkit itself, or holds a
// toolkit window object as its content.
bool IsToolkitWindow(Window* w) {
    return SHIM_ObjectOf(w) || SHIM_WindowObjectOf(w->contentView() ? static_cast<HWND>(w->contentView()) : nullptr);
}

}  // namespace

HWND GetParent(HWND h) {
    View* v = ScrollRedirect(AsView(h));
    Window* w = AsWindow(h);
    if (v && !IsContentView(v)) return v->superview();
    if (v) w = v->window();
    if (!w) return nullptr;
    if (Window* p = w->parentWindow()) return p->contentView();
    if (HWND owner = OwnerOf(w)) return AsContent(owner);
    return nullptr;
}

HWND GetDlgItem(HWND h, int id) {
    View* v = ContentOf(h);
    if (!v) return nullptr;
    if (id == 0) return v;
    for (View* s : v->subviews()) {
        View* candidate = DocumentOf(s) ? DocumentOf(s) : s;
        int tag = 0;
        if (TagOf(candidate, &tag) && tag == id) return candidate;
    }
    return nullptr;
}

HWND GetWindow(HWND h, int cmd) {
    View* v = ScrollRedirect(ContentOf(h));
    if (!v) return nullptr;
    if (IsContentView(v)) {
        switch (cmd) {
            case GW_HWNDFIRST:
            case GW_HWNDLAST:
                return v;
            case GW_OWNER:
                return OwnerOf(v->window());
            case GW_CHILD:
                return v->subviews().empty() ? nullptr : v->subviews().front();
            default:
                return nullptr;
        }
    }
    View* sup = v->superview();
    switch (cmd) {
        case GW_HWNDFIRST:
        case GW_HWNDLAST:
            if (!sup || sup->subviews().empty()) return nullptr;
            return cmd == GW_HWNDFIRST ? sup->subviews().front() : sup->subviews().back();
        case GW_HWNDNEXT:
        case GW_HWNDPREV: {
            if (!sup) return nullptr;
            const auto& subs = sup->subviews();
            auto it = std::find(subs.begin(), subs.end(), v);
            if (it == subs.end()) return nullptr;
            if (cmd == GW_HWNDNEXT) return it + 1 == subs.end() ? nullptr : *(it + 1);
            return it == subs.begin() ? nullptr : *(it - 1);
        }
        case GW_OWNER:
            return sup;
        case GW_CHILD:
            return v->subviews().empty() ? nullptr : v->subviews().front();
        default:
            return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND child) {
    if (!parent || !child || parent == child) return FALSE;
    View* c = AsView(child);
    if (!c) return FALSE;
    if (Window* w = AsWindow(parent)) return c->window() == w;
    View* p = AsView(parent);
    return p && c != p && c->isDescendantOf(p);
}

BOOL IsWindow(HWND h) {
    if (!Responder::isLive(h)) return FALSE;
    std::vector<Window*> all = Application::windows();
    for (Window* w : all)
        if (h == static_cast<HWND>(w) || (w->contentView() && h == static_cast<HWND>(w->contentView()))) return TRUE;
    View* v = AsView(h);
    if (!v) return FALSE;
    for (Window* w : all)
        if (Responder::isLive(w) && IsToolkitWindow(w) && w->contentView() && InTree(w->contentView(), v)) return TRUE;
    return FALSE;
}

HWND SHIM_NavigateUpScrollClipViews(HWND h) { return ScrollRedirect(ContentOf(h)); }

BOOL IsEquivalentTextView(HWND a, HWND b) {
    if (!a || !b) return FALSE;
    if (a == b) return TRUE;
    auto fieldEditorOf = [](HWND field, HWND text) {
        auto* f = dynamic_cast<TextField*>(AsView(field));
        auto* t = dynamic_cast<TextView*>(AsView(text));
        if (!f || !t) return false;
        View* up = t->superview();
        for (int i = 0; i < 2 && up; ++i) up = up->superview();
        return up == f;
    };
    return fieldEditorOf(a, b) || fieldEditorOf(b, a) ? TRUE : FALSE;
}

HWND SetParent(HWND h, HWND newParent) {
    View* v = AsView(h);
    if (!v) return nullptr;
    char title[2048];
    if (IsContentView(v)) {
        if (!newParent) return nullptr;
        View* np = ContentOf(newParent);
        if (!np) return nullptr;
        Window* old = v->window();
        GetDlgItemText(v, 0, title, sizeof title);
        if (SHIM_Answers(v, SHIM_SEL_LASTOWNER)) SHIM_ObjectOf(v)->setLastTopLevelOwner(OwnerOf(old));
        old->setContentView(nullptr).release();  // the view stays; the window no longer holds it
        Shim_vHalvoran_hwnd::initChild(nullptr, old, nullptr, 0);
        np->addSubview(v);
        DestroyWindow(old);
        if (title[0]) SetDlgItemText(v, 0, title);
        return np;
    }
    v = ScrollRedirect(v);
    if (!newParent) {
        GetDlgItemText(v, 0, title, sizeof title);
        v->removeFromSuperview();
        unsigned flags = SHIM_Answers(v, SHIM_SEL_CREATEFLAGS) ? SHIM_ObjectOf(v)->shimCreateWindowFlags() : 15;
        HWND keep = SHIM_Answers(v, SHIM_SEL_LASTOWNER) ? SHIM_ObjectOf(v)->lastTopLevelOwner() : nullptr;
        HWND owner = nullptr;
        if (keep)
            for (Window* w : Application::windows())
                if (keep == static_cast<HWND>(w) || keep == static_cast<HWND>(w->contentView())) owner = w;
        if (Window* frame = AsWindow(SHIM_CreateModelessFrameForWindow(v, owner, static_cast<int>(flags)))) {
            frame->show();
            if (title[0]) SetDlgItemText(v, 0, title);
        } else {
            SHIM_ReleaseView(v);
        }
        return nullptr;
    }
    View* old = v->superview();
    if (old) v->removeFromSuperview();
    if (View* np = ContentOf(newParent))
        np->addSubview(v);
    else
        SHIM_ReleaseView(v);  // nobody holds it now
    return old;
}

HWND FindWindowEx(HWND parent, HWND after, const char* className, const char* title) {
    if (!parent) {
        if (!title) return nullptr;
        std::vector<Window*> all = Application::windows();
        auto it = all.begin();
        if (after) {
            it = std::find_if(all.begin(), all.end(), [&](Window* w) {
                return after == static_cast<HWND>(w) || after == static_cast<HWND>(w->contentView());
            });
            if (it == all.end()) return nullptr;
            ++it;
        }
        for (; it != all.end(); ++it)
            if ((*it)->title() == title) return (*it)->contentView();
        return nullptr;
    }
    HWND candidate;
    if (after) {
        candidate = GetWindow(after, GW_HWNDNEXT);
    } else {
        View* p = ContentOf(parent);
        candidate = p && !p->subviews().empty() ? p->subviews().front() : nullptr;
    }
    bool wantStatic = className && strcasecmp(className, "Static") == 0;
    for (; candidate; candidate = GetWindow(candidate, GW_HWNDNEXT)) {
        if (wantStatic && !dynamic_cast<TextField*>(AsView(candidate))) continue;
        if (!title) return candidate;
        char text[512];
        if (GetDlgItemText(candidate, 0, text, sizeof text) && std::strcmp(text, title) == 0) return candidate;
    }
    return nullptr;
}

namespace {
bool EnumChildren(View* v, WNDENUMPROC proc, LPARAM lp) {
    // The list is held while it is walked: a callback may change the tree.
    std::vector<View*> subs = v->subviews();
    for (View* c : subs) {
        if (!Responder::isLive(c)) continue;
        if (!proc(c, lp)) return false;
        if (Responder::isLive(c) && !EnumChildren(c, proc, lp)) return false;
    }
    return true;
}
}  // namespace

BOOL EnumChildWindows(HWND h, WNDENUMPROC proc, LPARAM lp) {
    View* v = AsView(h);
    if (!v || !proc) return TRUE;
    return EnumChildren(v, proc, lp) ? TRUE : FALSE;
}
