#include "shim/shim-dlg-toplevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/appkit/Application.h"
#include "platform/appkit/Modal.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head = nullptr;
bool SHIM_owned_windows_levelincrease = false;

namespace {

HMENU g_defaultMenu = nullptr;
HMENU g_defaultModalMenu = nullptr;
// The window that last gave up the key status.
Window* g_lastKeyWindow = nullptr;

const SHIM_DialogResourceIndex* findResource(const SHIM_DialogResourceIndex* list, const char* id) {
    for (const SHIM_DialogResourceIndex* r = list; r; r = r->_next)
        if (r->resid == id) return r;
    return nullptr;
}

int levelFor(Window* owner, HWND owned) {
    auto* m = dynamic_cast<Shim_vHalvoran_modelesswindow*>(shimwnd::AsWindow(owned));
    return owner->level() + 1 + (m ? m->m_wantraiseamt : 0);
}

}  // namespace

HMENU SHIM_GetDefaultWindowMenu() { return g_defaultMenu; }
void SHIM_SetDefaultWindowMenu(HMENU m) { g_defaultMenu = m; }
HMENU SHIM_GetDefaultModalWindowMenu() { return g_defaultModalMenu; }
void SHIM_SetDefaultModalWindowMenu(HMENU m) { g_defaultModalMenu = m; }

// ---- the frames

Shim_vHalvoran_frame::Shim_vHalvoran_frame(const FRect& frame, unsigned style) : Window(frame, style) {
    setDelegate(this);
    lastFrameSize[0] = (float)frame.width;
    lastFrameSize[1] = (float)frame.height;
}

Shim_vHalvoran_frame::~Shim_vHalvoran_frame() {
    setDelegate(nullptr);
    // The content hears of its end while its window is still whole.
    if (Shim_vHalvoran_hwnd* content = SHIM_WindowObjectOf(contentView())) content->onShimMessage(WM_DESTROY, 0, 0);
    shimDoDestroyStuff();
}

uint64_t Shim_vHalvoran_frame::shimAnswers() const {
    return SHIM_SEL_OWNER | SHIM_SEL_OWNERHEAD | SHIM_SEL_DESTROYOWNED | SHIM_SEL_DESTROYSTUFF | SHIM_SEL_OWNEDLIST |
           SHIM_SEL_SETENABLED;
}

LRESULT Shim_vHalvoran_frame::toContent(UINT msg, WPARAM wp, LPARAM lp) {
    View* c = contentView();
    if (!SHIM_Answers(c, SHIM_SEL_MESSAGE)) return 0;
    return SHIM_ObjectOf(c)->onShimMessage(msg, wp, lp);
}

Shim_vHalvoran_hwnd* Shim_vHalvoran_frame::makeContent(const SHIM_DialogResourceIndex* r, DLGPROC d, LPARAM lp,
                                                       unsigned style) {
    Shim_vHalvoran_hwnd* content = Shim_vHalvoran_hwnd::initChild(r, this, d, lp);
    if (content && Responder::isLive(content)) content->m_create_windowflags = style;
    shimApplySizeLimits();
    return content;
}

void Shim_vHalvoran_frame::shimAddOwnedWindow(HWND w) {
    if (!w) return;
    for (OwnedWindowListRec* r = m_ownedwnds; r; r = r->_next)
        if (r->hwnd == w) return;
    m_ownedwnds = new OwnedWindowListRec{w, m_ownedwnds};
    if (SHIM_Answers(w, SHIM_SEL_OWNER)) SHIM_ObjectOf(w)->shimSetOwner(this);
    Window* ww = shimwnd::AsWindow(w);
    if (SHIM_owned_windows_levelincrease && ww && Application::isActive()) ww->setLevel(levelFor(this, w));
}

void Shim_vHalvoran_frame::shimRemoveOwnedWindow(HWND w) {
    for (OwnedWindowListRec** r = &m_ownedwnds; *r; r = &(*r)->_next)
        if ((*r)->hwnd == w) {
            OwnedWindowListRec* gone = *r;
            *r = gone->_next;
            delete gone;
            return;
        }
}

void Shim_vHalvoran_frame::shimResetOwnedWindowLevels() {
    if (!SHIM_owned_windows_levelincrease) return;
    for (OwnedWindowListRec* r = m_ownedwnds; r; r = r->_next) {
        Window* w = shimwnd::AsWindow(r->hwnd);
        if (!w) continue;
        w->setLevel(Application::isActive() ? levelFor(this, r->hwnd) : level());
        if (auto* f = dynamic_cast<Shim_vHalvoran_frame*>(w)) f->shimResetOwnedWindowLevels();
    }
}

void Shim_vHalvoran_frame::shimDestroyAllOwnedWindows() {
    OwnedWindowListRec* list = m_ownedwnds;
    m_ownedwnds = nullptr;
    while (list) {
        OwnedWindowListRec* next = list->_next;
        if (Responder::isLive(list->hwnd)) DestroyWindow(list->hwnd);
        delete list;
        list = next;
    }
}

void Shim_vHalvoran_frame::shimDoDestroyStuff() {
    if (g_lastKeyWindow == this) g_lastKeyWindow = nullptr;
    shimDestroyAllOwnedWindows();
    HWND owner = m_owner;
    m_owner = nullptr;
    if (!Responder::isLive(owner)) return;
    if (SHIM_Answers(owner, SHIM_SEL_OWNEDLIST)) SHIM_ObjectOf(owner)->shimRemoveOwnedWindow(this);
    if (isKeyWindow())
        if (Window* ow = shimwnd::AsWindow(owner)) ow->makeKeyWindow();
}

bool Shim_vHalvoran_frame::windowShouldClose(Window&) {
    // The window is never closed from here: its content decides.
    if (!toContent(WM_CLOSE, 0, 0)) toContent(WM_COMMAND, IDCANCEL, 0);
    return false;
}

void Shim_vHalvoran_frame::windowDidResize(Window&) {
    // Every resize asks the content for its limits first; a size outside
    // them is brought within (and that resize reports itself).
    shimApplySizeLimits();
    const FSize lo = minSize(), hi = maxSize();
    FRect f = frame();
    const double w = std::clamp(f.width, lo.width, std::max(lo.width, hi.width));
    const double h = std::clamp(f.height, lo.height, std::max(lo.height, hi.height));
    if (w != f.width || h != f.height) {
        setFrame({f.x, f.y + f.height - h, w, h});
        return;
    }
    if ((int)f.width != (int)lastFrameSize[0] || (int)f.height != (int)lastFrameSize[1]) {
        toContent(WM_SIZE, 0, 0);
        if (contentView() && contentView()->isOpaque()) InvalidateRect(contentView(), nullptr, FALSE);
    }
    lastFrameSize[0] = (float)f.width;
    lastFrameSize[1] = (float)f.height;
}

void Shim_vHalvoran_frame::windowDidMove(Window&) {
    const FRect f = frame();
    toContent(WM_MOVE, 0, (LPARAM)(uint32_t)(((uint32_t)(int)f.y << 16) | ((uint32_t)(int)f.x & 0xFFFF)));
}

void Shim_vHalvoran_frame::windowDidResignKey(Window&) {
    if (Application::isTerminating()) return;
    toContent(WM_ACTIVATE, 0, 0);
    g_lastKeyWindow = this;
}

void Shim_vHalvoran_frame::windowDidBecomeKey(Window&) {
    if (Application::isTerminating()) return;
    HWND previous = nullptr;
    if (g_lastKeyWindow && Responder::isLive(g_lastKeyWindow)) {
        View* pc = g_lastKeyWindow->contentView();
        if (pc && !(SHIM_Answers(pc, SHIM_SEL_DESTROYED) && SHIM_ObjectOf(pc)->shimHasBeenDestroyed())) previous = pc;
    }
    View* content = contentView();
    if (SHIM_Answers(content, SHIM_SEL_DESTROYED) && SHIM_ObjectOf(content)->shimHasBeenDestroyed()) return;
    HMENU menu = SHIM_Answers(content, SHIM_SEL_MENU) ? SHIM_ObjectOf(content)->shimGetMenu() : nullptr;
    if (!menu && isDialogBox()) menu = g_defaultModalMenu;
    if (!menu) menu = g_defaultMenu;
    if (menu && SHIM_menuHooks.setMainMenu && (!SHIM_menuHooks.getMainMenu || SHIM_menuHooks.getMainMenu() != menu))
        SHIM_menuHooks.setMainMenu(menu);
    toContent(WM_ACTIVATE, 1, (LPARAM)previous);
    toContent(WM_MOUSEACTIVATE, 0, 0);
}

void Shim_vHalvoran_frame::shimApplySizeLimits() {
    MINMAXINFO mmi{};
    const FSize min = minSize(), max = maxSize();
    mmi.ptMinTrackSize = {(int32_t)min.width, (int32_t)min.height};
    auto clampDim = [](double v) { return (int32_t)std::clamp(v, 1.0, 1000000.0); };
    mmi.ptMaxTrackSize = {clampDim(max.width), clampDim(max.height)};
    toContent(WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
    setMinSize({(double)std::max(mmi.ptMinTrackSize.x, 1), (double)std::max(mmi.ptMinTrackSize.y, 1)});
    // A limit left at a million or more keeps the platform's own.
    FSize keep = max;
    if (mmi.ptMaxTrackSize.x < 1000000) keep.width = std::max(mmi.ptMaxTrackSize.x, 1);
    if (mmi.ptMaxTrackSize.y < 1000000) keep.height = std::max(mmi.ptMaxTrackSize.y, 1);
    setMaxSize(keep);
}

// ---- modeless windows

namespace {

// The common settings of both frames: an owner that keeps it, a title.
void adopt(Shim_vHalvoran_frame* f, HWND owner, const char* title) {
    HWND ownerWindow = owner;
    if (View* ov = shimwnd::AsView(owner)) ownerWindow = ov->window();
    if (SHIM_Answers(ownerWindow, SHIM_SEL_OWNEDLIST)) SHIM_ObjectOf(ownerWindow)->shimAddOwnedWindow(f);
    f->setOwnerWindow(shimwnd::AsWindow(ownerWindow));
    if (title) f->setTitle(title);
}

FRect belowReference(HWND owner, double w, double h) {
    HWND ownerWindow = owner;
    if (View* ov = shimwnd::AsView(owner)) ownerWindow = ov->window();
    RECT ref;
    if (!ownerWindow || !GetWindowRect(ownerWindow, &ref)) SHIM_GetViewPort(&ref, nullptr, true);
    return {(double)ref.left + 50, ref.bottom - 100 - h, w, h};
}

}  // namespace

Shim_vHalvoran_modelesswindow* Shim_vHalvoran_modelesswindow::initModeless(const SHIM_DialogResourceIndex* r,
                                                                           HWND owner, DLGPROC d, LPARAM lp, HWND* out,
                                                                           unsigned forceStyles) {
    const double w = r ? r->width : 10, h = r ? r->height : 10;
    unsigned style = forceStyles;
    if (r) style |= 7 | ((r->windowTypeFlags & 2) ? 8 : 0);
    auto* f = new Shim_vHalvoran_modelesswindow(belowReference(owner, w, h), style);
    f->setReleasedWhenClosed(true);
    adopt(f, owner, r ? r->title : nullptr);
    Shim_vHalvoran_hwnd* content = f->makeContent(r, d, lp, style);
    if (out) *out = content && Responder::isLive(content) ? content->handle() : nullptr;
    f->display();
    return f;
}

Shim_vHalvoran_modelesswindow* Shim_vHalvoran_modelesswindow::initModelessForChild(HWND child, HWND owner,
                                                                                   unsigned style) {
    View* v = shimwnd::AsView(child);
    if (!v) return nullptr;
    const FRect b = v->boundsF();
    auto* f = new Shim_vHalvoran_modelesswindow(belowReference(owner, b.width, b.height), style);
    f->setReleasedWhenClosed(true);
    if (v->superview()) v->removeFromSuperview();
    f->setContentView(v);
    adopt(f, owner, nullptr);
    f->shimApplySizeLimits();
    f->display();
    return f;
}

// ---- dialog boxes

Shim_vHalvoran_dialogbox* Shim_vHalvoran_dialogbox::initDialogBox(const SHIM_DialogResourceIndex* r, HWND owner,
                                                                  DLGPROC d, LPARAM lp) {
    if (!r) return nullptr;
    const unsigned style = kStyleTitled | kStyleClosable | ((r->windowTypeFlags & 2) ? unsigned(kStyleResizable) : 0u);
    auto* f = new Shim_vHalvoran_dialogbox(FRect{0, 0, (double)r->width, (double)r->height}, style);
    f->center();
    adopt(f, owner, r->title);
    Shim_vHalvoran_hwnd* content = f->makeContent(r, d, lp, style);
    if (content && Responder::isLive(content)) content->setHidden(false);
    f->display();
    return f;
}

// ---- creation and the modal run

HWND SHIM_CreateDialog(SHIM_DialogResourceIndex* list, const char* resid, HWND parent, DLGPROC proc, LPARAM lp) {
    unsigned forced = 0;
    bool forceTopLevel = false;
    if (((uintptr_t)resid & ~(uintptr_t)0xF) == SHIM_DIALOG_PLAIN_WINDOW) {
        const unsigned bits = (unsigned)((uintptr_t)resid & 0xF);
        forced = kStyleTitled | ((bits & 1) ? unsigned(kStyleResizable) : 0u) |
                 ((bits & 2) ? 0u : unsigned(kStyleMiniaturizable)) | ((bits & 4) ? 0u : unsigned(kStyleClosable));
        forceTopLevel = bits != 0;
        resid = nullptr;
    }
    const SHIM_DialogResourceIndex* r = findResource(list, resid);
    if (resid && !r) return nullptr;
    HWND parentView = nullptr;
    if (shimwnd::AsView(parent))
        parentView = parent;
    else if (Window* pw = shimwnd::AsWindow(parent))
        parentView = pw->takesAccessoryViews() ? parent : pw->contentView();
    if (parentView && ((r && (r->windowTypeFlags & 1)) || (!r && !forceTopLevel))) {
        Shim_vHalvoran_hwnd* child = Shim_vHalvoran_hwnd::initChild(r, parentView, proc, lp);
        if (!child || !Responder::isLive(child)) return nullptr;
        child->m_create_windowflags = 15;
        return child->handle();
    }
    HWND out = nullptr;
    Shim_vHalvoran_modelesswindow::initModeless(r, parent, proc, lp, &out, forced);
    return out;
}

int SHIM_DialogBox(SHIM_DialogResourceIndex* list, const char* resid, HWND parent, DLGPROC proc, LPARAM lp) {
    if (!list) return -1;
    const SHIM_DialogResourceIndex* r = findResource(list, resid);
    if (!r || (r->windowTypeFlags & 1)) return -1;
    Shim_vHalvoran_dialogbox* box = Shim_vHalvoran_dialogbox::initDialogBox(r, parent, proc, lp);
    if (!box) return -1;
    int result;
    if (box->shimHasModalRetVal()) {
        // Ended while it was being made: no modal run.
        if (Shim_vHalvoran_hwnd* c = SHIM_WindowObjectOf(box->contentView())) c->onShimMessage(WM_DESTROY, 0, 0);
        result = box->shimGetModalRetVal();
    } else {
        const int code = runModalForWindow(box);
        // Aborted without an answer (the program is quitting): cancelled.
        result = code == kModalResponseAbort && !box->shimHasModalRetVal() ? IDCANCEL : box->shimGetModalRetVal();
    }
    box->close();
    delete box;
    return result;
}

void EndDialog(HWND h, int result) {
    Window* w = shimwnd::AsWindow(h);
    if (!w)
        if (View* v = shimwnd::AsView(h)) w = v->window();
    if (!w) return;
    if (auto* box = dynamic_cast<Shim_vHalvoran_dialogbox*>(w)) box->shimSetModalRetVal(result);
    if (modalWindow() != w) return;  // the result waits for the modal run
    if (Shim_vHalvoran_hwnd* c = SHIM_WindowObjectOf(w->contentView())) c->onShimMessage(WM_DESTROY, 0, 0);
    abortModal();
    w->close();
}
