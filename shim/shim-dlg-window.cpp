#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/appkit/Controls.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-dlg.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-gdi.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using shimwnd::IsContentView;

SHIM_MenuHooks SHIM_menuHooks = {};

namespace {

bool IsIntegerKey(const char* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

bool SameKey(const char* a, const char* b) {
    if (IsIntegerKey(a) || IsIntegerKey(b)) return a == b;
    return std::strcmp(a, b) == 0;
}

void FreeProp(WindowPropRec* p) {
    if (!IsIntegerKey(p->name)) free(p->name);
    delete p;
}

// The first subview that takes keyboard focus; a scroll view's document is
// asked in its place.
View* FirstFocusable(View* v) {
    for (View* s : v->subviews()) {
        View* candidate = shimwnd::DocumentOf(s);
        if (!dynamic_cast<ScrollView*>(s)) candidate = s;
        if (candidate && candidate->acceptsFirstResponder()) return candidate;
    }
    return nullptr;
}

Color ColorOf(int colour) {
    return {((colour >> 16) & 255) / 255.0, ((colour >> 8) & 255) / 255.0, (colour & 255) / 255.0, 1.0};
}

// Asks the dialog procedure for a colour with a fresh context; none when it
// set no text colour on it.
std::optional<Color> AskColour(DLGPROC d, HWND h, UINT msg, HWND control) {
    HDC hdc = SHIM_GDP_CTX_NEW();
    if (!hdc) return std::nullopt;
    d(h, msg, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(control));
    std::optional<Color> c;
    if (hdc->curtextcolor) c = ColorOf(hdc->curtextcol);
    SHIM_DeleteGfxContext(hdc);
    return c;
}

}  // namespace

Shim_vHalvoran_hwnd* SHIM_WindowObjectOf(HWND h) {
    return Responder::isLive(h) ? dynamic_cast<Shim_vHalvoran_hwnd*>(h) : nullptr;
}

void SHIM_ReleaseView(View* v) {
    if (!v) return;
    RunLoop::main().post([v] {
        if (Responder::isLive(v) && !v->superview() && !v->window()) delete v;
    });
}

Shim_vHalvoran_hwnd::Shim_vHalvoran_hwnd(int w, int h) : View({0, 0, w, h}), m_wndproc(ShimDialogDefaultWindowProc) {}

Shim_vHalvoran_hwnd* Shim_vHalvoran_hwnd::initChild(const SHIM_DialogResourceIndex* r, HWND parent, DLGPROC d,
                                                    LPARAM lp) {
    auto* self = new Shim_vHalvoran_hwnd(r ? r->width : 300, r ? r->height : 200);
    if (r) {
        self->m_isopaque = (r->windowTypeFlags & 0x10) != 0;
        self->m_flip = (r->windowTypeFlags & 4) != 0;
        self->m_supports_ddrop = (r->windowTypeFlags & 0x20) != 0;
        self->registerForDraggedFiles(self->m_supports_ddrop);
    }
    self->setHidden(true);

    if (Window* pw = shimwnd::AsWindow(parent)) {
        if (pw->setAccessoryView(self))
            self->setHidden(false);
        else
            pw->setContentView(self);
    } else if (View* pv = shimwnd::AsView(parent)) {
        pv->addSubview(self);
    }

    HWND h = self->handle();
    if (r) {
        if (r->createFunc) r->createFunc(h, r->windowTypeFlags);
        self->m_dlgproc = d;
    } else {
        if (d) self->m_wndproc = d;
        if (self->m_wndproc) self->m_wndproc(h, WM_CREATE, 0, lp);
    }
    if (!self->m_dlgproc) return self;

    View* focus = FirstFocusable(self);
    LRESULT answer = self->m_dlgproc(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(static_cast<HWND>(focus)), lp);
    Window* own = self->window();
    if (answer) {
        if (answer == SHIM_INITDIALOG_FOCUS_SELF) focus = self;
        if (focus && own && own->firstResponder() != focus) own->makeFirstResponder(focus);
        Window* pw = shimwnd::AsWindow(parent);
        if (pw && pw == own && !pw->isVisible() && SHIM_Answers(parent, SHIM_SEL_INITIALKEY))
            SHIM_ObjectOf(parent)->setWantInitialKeyWindowOnShow(true);
    } else if (own && shimwnd::AsWindow(parent) == own && focus) {
        View* fr = own->firstResponder();
        if (!fr || fr == self) own->makeFirstResponder(focus);
    }
    SHIM_DoDialogColorUpdates(h, self->m_dlgproc, false);
    return self;
}

Shim_vHalvoran_hwnd::~Shim_vHalvoran_hwnd() {
    m_access_cacheptrs.fill(nullptr);
    KillTimer(handle(), SHIM_ALL_TIMERS);
    onShimMessage(WM_DESTROY, 0, 0);
    if (GetCapture() == handle()) ReleaseCapture();
    delete m_glctx;
    m_glctx = nullptr;
    while (WindowPropRec* p = m_props) {
        m_props = p->_next;
        FreeProp(p);
    }
    // Posting threads may be asking about this object: leave the registry
    // before the object stops being one.
    retire();
}

uint64_t Shim_vHalvoran_hwnd::shimAnswers() const {
    return SHIM_SEL_MESSAGE | SHIM_SEL_WNDPROC | SHIM_SEL_DLGPROC | SHIM_SEL_USERDATA | SHIM_SEL_EXTRADATA |
           SHIM_SEL_TAG | SHIM_SEL_SETTAG | SHIM_SEL_EXSTYLE | SHIM_SEL_GETTEXT | SHIM_SEL_SETTEXT | SHIM_SEL_PROPS |
           SHIM_SEL_TIMER | SHIM_SEL_CANPOST | SHIM_SEL_DESTROYED | SHIM_SEL_CAPCHANGENOTIFY | SHIM_SEL_CREATEFLAGS |
           SHIM_SEL_SETENABLED | SHIM_SEL_MENU | SHIM_SEL_PAINTINFO | SHIM_SEL_LASTOWNER;
}

LRESULT Shim_vHalvoran_hwnd::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (uint8_t state = m_hashaddestroy.load()) {
        if (state == 2 || msg == WM_DESTROY || msg == WM_CAPTURECHANGED) return 0;
    } else if (msg == WM_DESTROY) {
        return destroy(wp, lp);
    }
    return m_wndproc ? m_wndproc(handle(), msg, wp, lp) : 0;
}

LRESULT Shim_vHalvoran_hwnd::destroy(WPARAM wp, LPARAM lp) {
    HWND h = handle();
    m_hashaddestroy = 1;
    if (GetCapture() == h) ReleaseCapture();
    SHIM_MessageQueue_Clear(h);

    LRESULT result = m_wndproc ? m_wndproc(h, WM_DESTROY, wp, lp) : 0;

    if (IsContentView(this) && SHIM_Answers(window(), SHIM_SEL_DESTROYOWNED))
        SHIM_ObjectOf(window())->shimDestroyAllOwnedWindows();

    if (GetCapture() == h) ReleaseCapture();
    SHIM_MessageQueue_Clear(h);

    if (HMENU menu = m_menu) {
        if (SHIM_menuHooks.getMainMenu && SHIM_menuHooks.getMainMenu() == menu && !Application::isTerminating() &&
            SHIM_menuHooks.setMainMenu)
            SHIM_menuHooks.setMainMenu(nullptr);
        if (SHIM_menuHooks.setMenuDestination) SHIM_menuHooks.setMenuDestination(menu, nullptr);
        if (SHIM_menuHooks.releaseMenu) SHIM_menuHooks.releaseMenu(menu);
        m_menu = nullptr;
    }

    // A child's handler may change the list: walk a copy, skip what left.
    std::vector<View*> subs = subviews();
    for (View* s : subs) {
        auto& now = subviews();
        if (std::find(now.begin(), now.end(), s) == now.end()) continue;
        if (SHIM_Answers(s, SHIM_SEL_MESSAGE)) SHIM_ObjectOf(s)->onShimMessage(WM_DESTROY, 0, 0);
    }

    KillTimer(h, SHIM_ALL_TIMERS);
    m_hashaddestroy = 2;
    return result;
}

LONG Shim_vHalvoran_hwnd::getShimExtraData(int offset) const {
    auto u = static_cast<unsigned>(offset);
    return u <= 127 ? m_extradata[u / 4] : 0;
}

void Shim_vHalvoran_hwnd::setShimExtraData(int offset, LONG value) {
    auto u = static_cast<unsigned>(offset);
    if (u < 128) m_extradata[(u & ~3u) / 4] = value;
}

void Shim_vHalvoran_hwnd::onShimSetText(const char* text) {
    if (!text) text = "";
    // Cut on a character boundary: half a character would not be text.
    size_t n = shimwnd::Utf8Cut(text, sizeof m_titlestr - 1);
    std::memcpy(m_titlestr, text, n);
    m_titlestr[n] = 0;
}

BOOL Shim_vHalvoran_hwnd::shimSetProp(const char* name, void* value) {
    for (WindowPropRec* p = m_props; p; p = p->_next)
        if (SameKey(p->name, name)) {
            p->data = value;
            return TRUE;
        }
    auto* p = new WindowPropRec{const_cast<char*>(name), value, m_props};
    if (!IsIntegerKey(name)) p->name = strdup(name);
    m_props = p;
    return TRUE;
}

void* Shim_vHalvoran_hwnd::shimGetProp(const char* name, bool wantRemove) {
    for (WindowPropRec** link = &m_props; *link; link = &(*link)->_next) {
        WindowPropRec* p = *link;
        if (!SameKey(p->name, name)) continue;
        void* data = p->data;
        if (wantRemove) {
            *link = p->_next;
            FreeProp(p);
        }
        return data;
    }
    return nullptr;
}

int Shim_vHalvoran_hwnd::shimEnumProps(PROPENUMPROCEX proc, LPARAM lp) {
    if (!m_props) return -1;
    if (!proc) return 0;
    for (WindowPropRec* p = m_props; p;) {
        // The callback may remove the record it is given.
        WindowPropRec* next = p->_next;
        if (!proc(handle(), p->name, p->data, lp)) return 0;
        p = next;
    }
    return 1;
}

void Shim_vHalvoran_hwnd::SHIM_Timer(UINT_PTR id) {
    if (g_shim_only_timerhwnd && g_shim_only_timerhwnd != handle()) return;
    if (m_wndproc && !m_hashaddestroy.load()) m_wndproc(handle(), WM_TIMER, id, 0);
}

void Shim_vHalvoran_hwnd::shimSetMenu(HMENU menu) {
    if (m_menu && SHIM_menuHooks.setMenuDestination) SHIM_menuHooks.setMenuDestination(m_menu, nullptr);
    m_menu = menu;
    if (menu && SHIM_menuHooks.setMenuDestination) SHIM_menuHooks.setMenuDestination(menu, handle());
}

void Shim_vHalvoran_hwnd::setEnabled(bool e) {
    m_enabled = e;
    if (IsContentView(this))
        if (auto* frame = dynamic_cast<Shim_vHalvoran_frame*>(window())) frame->setEnabled(e);
}

void Shim_vHalvoran_hwnd::setGLContext(SHIM_GLContext* c) {
    if (c == m_glctx) return;
    delete m_glctx;
    m_glctx = c;
}

void Shim_vHalvoran_hwnd::frameDidChange(const FRect&) {
    // A toolkit frame tells its content of a new size itself, once per whole-point change.
    const bool frameTells = IsContentView(this) && dynamic_cast<Shim_vHalvoran_frame*>(window());
    if (m_wndproc && !m_hashaddestroy.load() && !frameTells) m_wndproc(handle(), WM_SIZE, 0, 0);
    InvalidateRect(GetParent(handle()), nullptr, FALSE);
    // A content view's window made a new backing store: paint it all.
    if (IsContentView(this)) InvalidateRect(handle(), nullptr, FALSE);
}

void Shim_vHalvoran_hwnd::hiddenDidChange() { SendMessage(handle(), WM_SHOWWINDOW, isHidden() ? 0 : 1, 0); }

void Shim_vHalvoran_hwnd::didAddSubview(View*) { markDescendantDirty(this); }

void Shim_vHalvoran_hwnd::willRemoveSubview(View*) {
    m_isdirty |= 3;
    setNeedsDisplay();
    for (View* v = superview(); v; v = v->superview()) {
        v->setNeedsDisplay();
        auto* t = dynamic_cast<Shim_vHalvoran_hwnd*>(v);
        if (!t) continue;
        if ((t->m_isdirty & 3) == 3) break;
        t->m_isdirty |= 3;
    }
}

void Shim_vHalvoran_hwnd::markDirty() {
    m_isdirty |= 1;
    markDescendantDirty(superview());
}

void Shim_vHalvoran_hwnd::markDescendantDirty(View* from) {
    for (View* v = from; v; v = v->superview()) {
        auto* t = dynamic_cast<Shim_vHalvoran_hwnd*>(v);
        if (!t) continue;
        if (t->m_isdirty & 2) break;
        t->m_isdirty |= 2;
    }
}

LRESULT ShimDialogDefaultWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto d = reinterpret_cast<DLGPROC>(GetWindowLongPtr(h, DWL_DLGPROC));
    if (!d) return DefWindowProc(h, msg, wp, lp);
    if (msg == WM_PAINT && !d(h, WM_ERASEBKGND, 0, 0)) {
        View* v = shimwnd::AsView(h);
        bool fill = v && v->isOpaque();
        if (!fill && v && v->window() && v->window()->contentView())
            fill = v->window()->contentView()->isOpaque();  // 10.5 and later
        if (v && (IsContentView(v) || fill)) {
            PAINTSTRUCT ps;
            if (HDC hdc = BeginPaint(h, &ps)) {
                RECT r = ps.rcPaint;
                if (r.right > r.left && r.bottom > r.top) {
                    LRESULT brush = d(h, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(h));
                    if (brush != 0 && brush != 1)
                        SHIM_FillRect(hdc, &r, reinterpret_cast<HGDIOBJ>(brush));
                    else if (fill)
                        SHIM_FillDialogBackground(hdc, &r, 3);
                }
                EndPaint(h, &ps);
            }
        }
    }
    if (LRESULT r = d(h, msg, wp, lp)) return r;
    return DefWindowProc(h, msg, wp, lp);
}

void SHIM_DoDialogColorUpdates(HWND h, DLGPROC d, bool isUpdate) {
    View* v = shimwnd::AsView(h);
    if (!d || !v || v->subviews().empty()) return;
    bool askedButton = false, askedStatic = false;
    std::optional<Color> buttonColour, staticColour;
    for (View* s : std::vector<View*>(v->subviews())) {
        if (!Responder::isLive(s)) continue;
        if (auto* b = dynamic_cast<Button*>(s); b && b->image()) {
            if (!askedButton) {
                askedButton = true;
                buttonColour = AskColour(d, h, WM_CTLCOLORBTN, s);
                if (!buttonColour && isUpdate) buttonColour = Color::controlText();
            }
            if (buttonColour) b->setTitleColor(buttonColour);
            continue;
        }
        auto* field = dynamic_cast<TextField*>(s);
        auto* box = dynamic_cast<Box*>(s);
        if ((field && !field->isEditable()) || box) {
            if (!askedStatic) {
                askedStatic = true;
                staticColour = AskColour(d, h, WM_CTLCOLORSTATIC, s);
                if (!staticColour && isUpdate) staticColour = Color::controlText();
            }
            if (!staticColour) continue;
            if (box)
                box->setTitleColor(staticColour);
            else
                field->setTextColor(*staticColour);
        }
    }
}
