// Window longs, item text and numbers, and check states.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shim/shim-dlg.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using namespace shimwnd;

namespace {

constexpr LONG kTextObjectUserData = static_cast<LONG>(0xdeadf00b);

// The style a view has when it keeps none of its own.
LONG DerivedStyle(View* v) {
    LONG style = 0;
    if (auto* b = dynamic_cast<Button*>(v)) {
        if (b->allowsMixedState()) {
            style = BS_AUTO3STATE;
        } else {
            style = BS_AUTOCHECKBOX;
            int radio = SHIM_Answers(v, SHIM_SEL_RADIO) ? SHIM_ObjectOf(v)->shimGetRadioFlags() : 0;
            if (radio) style = BS_AUTORADIOBUTTON | ((radio & 2) ? WS_GROUP : 0);
        }
    }
    if (IsContentView(v)) {
        unsigned mask = v->window()->styleMask();
        if (mask & kStyleTitled) {
            style |= WS_CAPTION;
            if (mask & kStyleResizable) style |= WS_THICKFRAME;
        }
    } else {
        style |= WS_CHILD;
    }
    return style;
}

void SetButtonStyle(Button* b, LONG value) {
    SHIM_Object* o = SHIM_ObjectOf(b);
    auto setRadio = [&](int flags) {
        if (o && (o->shimAnswers() & SHIM_SEL_RADIO)) o->shimSetRadioFlags(flags);
    };
    switch (value & 0xF) {
        case BS_AUTOCHECKBOX:
            b->setButtonType(Button::kSwitch);
            b->setAllowsMixedState(false);
            setRadio(0);
            break;
        case BS_AUTO3STATE:
            b->setButtonType(Button::kSwitch);
            b->setAllowsMixedState(true);
            setRadio(0);
            break;
        case BS_AUTORADIOBUTTON:
            b->setButtonType(Button::kRadio);
            setRadio(1 | ((value & WS_GROUP) ? 2 : 0));
            break;
        default:
            break;
    }
}

// Rebuilds a content view's top-level frame with the frame bits of style.
void RebuildFrame(View* v, LONG value) {
    Window* old = v->window();
    unsigned mask = old->styleMask();
    LONG current = (mask & kStyleTitled) ? (WS_CAPTION | ((mask & kStyleResizable) ? WS_THICKFRAME : 0)) : 0;
    if (current == (value & (WS_CAPTION | WS_THICKFRAME))) return;

    bool visible = IsWindowVisible(old);
    Window* parent = old->parentWindow();
    char title[2048];
    GetDlgItemText(v, 0, title, sizeof title);
    FRect frame = old->frame();
    HWND owner = SHIM_Answers(old, SHIM_SEL_OWNER) ? SHIM_ObjectOf(old)->shimGetOwner() : nullptr;
    int level = old->level();

    old->setContentView(nullptr).release();  // the view stays; the window no longer holds it
    Shim_vHalvoran_hwnd::initChild(nullptr, old, nullptr, 0);
    int style = !(value & WS_CAPTION) ? 0 : (value & WS_THICKFRAME) ? 15 : 1;
    Window* fresh = AsWindow(SHIM_CreateModelessFrameForWindow(v, owner, style));
    if (!fresh) {
        std::unique_ptr<View> filler = old->setContentView(v);
        if (filler) SHIM_ReleaseView(filler.release());
        return;
    }
    if (SHIM_Answers(old, SHIM_SEL_OWNERHEAD) && SHIM_Answers(fresh, SHIM_SEL_OWNERHEAD)) {
        OwnedWindowListRec** from = SHIM_ObjectOf(old)->shimGetOwnerWindowHead();
        OwnedWindowListRec** to = SHIM_ObjectOf(fresh)->shimGetOwnerWindowHead();
        if (from && to) {
            *to = *from;
            *from = nullptr;
            for (OwnedWindowListRec* r = *to; r; r = r->_next)
                if (SHIM_Answers(r->hwnd, SHIM_SEL_OWNER)) SHIM_ObjectOf(r->hwnd)->shimSetOwner(fresh);
        }
    }
    for (Window* c : std::vector<Window*>(old->childWindows())) {
        old->removeChildWindow(c);
        fresh->addChildWindow(c);
    }
    if (parent) parent->addChildWindow(fresh);
    if (title[0]) SetDlgItemText(v, 0, title);
    fresh->setFrame(frame, visible);
    fresh->setLevel(level);
    if (visible) ShowWindow(v, SW_SHOW);
    DestroyWindow(old);
}

// The text of a platform object by kind; false when it has none.
bool TextOf(HWND h, std::string* out) {
    if (auto* b = dynamic_cast<Button*>(AsView(h))) return *out = b->title(), true;
    if (Window* w = AsWindow(h)) return *out = w->title(), true;
    if (auto* c = dynamic_cast<Control*>(AsView(h))) return *out = c->stringValue(), true;
    if (auto* t = dynamic_cast<Text*>(AsView(h))) return *out = t->string(), true;
    if (auto* box = dynamic_cast<Box*>(AsView(h))) return *out = box->title(), true;
    return false;
}

HWND Item(HWND h, int id) { return id == 0 ? h : GetDlgItem(h, id); }

}  // namespace

LONG_PTR GetWindowLongPtr(HWND h, int index) {
    SHIM_Object* o = SHIM_ObjectOf(h);
    uint64_t answers = o ? o->shimAnswers() : 0;
    switch (index) {
        case GWL_USERDATA:
            if (answers & SHIM_SEL_USERDATA) return o->getShimUserData();
            if (dynamic_cast<Text*>(AsView(h))) return kTextObjectUserData;
            break;
        case GWL_EXSTYLE:
            if (answers & SHIM_SEL_EXSTYLE) return o->shimGetExtendedStyle();
            break;
        case GWL_STYLE:
            if (answers & SHIM_SEL_STYLE) return o->getShimStyle();
            if (View* v = AsView(h)) return DerivedStyle(v);
            break;
        case GWL_ID:
            if (answers & SHIM_SEL_TAG) return o->tag();
            if (auto* c = dynamic_cast<Control*>(AsView(h))) return c->tag();
            break;
        case DWL_DLGPROC:
            if (answers & SHIM_SEL_DLGPROC) return reinterpret_cast<LONG_PTR>(o->getShimDialogProc());
            break;
        case GWL_WNDPROC:
            if (answers & SHIM_SEL_WNDPROC) return reinterpret_cast<LONG_PTR>(o->getShimWindowProc());
            break;
        default:
            break;
    }
    return (answers & SHIM_SEL_EXTRADATA) ? o->getShimExtraData(index) : 0;
}

LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value) {
    SHIM_Object* o = SHIM_ObjectOf(h);
    uint64_t answers = o ? o->shimAnswers() : 0;
    LONG_PTR old = 0;
    switch (index) {
        case GWL_USERDATA:
            if (!(answers & SHIM_SEL_USERDATA)) break;
            old = o->getShimUserData();
            o->setShimUserData(value);
            return old;
        case GWL_EXSTYLE:
            if (!(answers & SHIM_SEL_EXSTYLE)) break;
            old = o->shimGetExtendedStyle();
            o->shimSetExtendedStyle(static_cast<LONG>(value));
            return old;
        case GWL_STYLE:
            if (answers & SHIM_SEL_STYLE) {
                old = o->getShimStyle();
                o->setShimStyle(static_cast<LONG>(value));
                return old;
            }
            if (auto* b = dynamic_cast<Button*>(AsView(h))) {
                old = DerivedStyle(b);
                SetButtonStyle(b, static_cast<LONG>(value));
                return old;
            }
            if (View* v = AsView(h)) {
                if (IsContentView(v)) RebuildFrame(v, static_cast<LONG>(value));
                return 0;
            }
            break;
        case GWL_ID:
            if ((answers & SHIM_SEL_TAG) && (answers & SHIM_SEL_SETTAG)) {
                old = o->tag();
                o->setTag(static_cast<int>(value));
                return old;
            }
            if (auto* c = dynamic_cast<Control*>(AsView(h))) {
                old = c->tag();
                c->setTag(static_cast<int>(value));
                return old;
            }
            break;
        case DWL_DLGPROC:
            if (!(answers & SHIM_SEL_DLGPROC)) break;
            old = reinterpret_cast<LONG_PTR>(o->getShimDialogProc());
            o->setShimDialogProc(reinterpret_cast<DLGPROC>(value));
            return old;
        case GWL_WNDPROC:
            if (!(answers & SHIM_SEL_WNDPROC)) break;
            old = reinterpret_cast<LONG_PTR>(o->getShimWindowProc());
            o->setShimWindowProc(reinterpret_cast<WNDPROC>(value));
            return old;
        default:
            break;
    }
    if (!(answers & SHIM_SEL_EXTRADATA)) return 0;
    old = o->getShimExtraData(index);
    o->setShimExtraData(index, static_cast<LONG>(value));
    return old;
}

// Procedures do not fit 32 bits here: the 32-bit pair refuses them rather
// than hand out or store half a pointer.
LONG GetWindowLong(HWND h, int index) {
    if (index == GWL_WNDPROC || index == DWL_DLGPROC) return 0;
    return static_cast<LONG>(GetWindowLongPtr(h, index));
}

LONG SetWindowLong(HWND h, int index, LONG value) {
    if (index == GWL_WNDPROC || index == DWL_DLGPROC) return 0;
    return static_cast<LONG>(SetWindowLongPtr(h, index, value));
}

BOOL GetDlgItemText(HWND h, int id, char* buf, int size) {
    if (!buf || size < 1) return FALSE;
    buf[0] = 0;
    HWND item = Item(h, id);
    if (!item || !Responder::isLive(item)) return FALSE;
    if (View* v = AsView(item); IsContentView(v)) item = v->window();
    if (SHIM_Answers(item, SHIM_SEL_GETTEXT)) {
        const char* text = SHIM_ObjectOf(item)->onShimGetText();
        if (!text) text = "";
        size_t n = Utf8Cut(text, static_cast<size_t>(size - 1));
        std::memcpy(buf, text, n);
        buf[n] = 0;
        return TRUE;
    }
    std::string text;
    if (!TextOf(item, &text)) return FALSE;
    SHIM_CFStringToCString(text, buf, size);
    return TRUE;
}

BOOL SetDlgItemText(HWND h, int id, const char* text) {
    HWND item = Item(h, id);
    if (!item || !Responder::isLive(item)) return FALSE;
    if (!text) text = "";
    BOOL done = FALSE;
    if (View* v = AsView(item); IsContentView(v)) {
        v->window()->setTitle(text);
        done = TRUE;
    }
    if (SHIM_Answers(item, SHIM_SEL_SETTEXT)) {
        SHIM_ObjectOf(item)->onShimSetText(text);
        return TRUE;
    }
    if (Window* w = AsWindow(item)) {
        w->setTitle(text);
        return TRUE;
    }
    if (auto* b = dynamic_cast<Button*>(AsView(item))) {
        b->setTitle(text);
        return TRUE;
    }
    if (auto* c = dynamic_cast<Control*>(AsView(item))) {
        c->setStringValue(text);
        auto* field = dynamic_cast<TextField*>(c);
        if (field && field->isEditable())
            SendMessage(GetParent(field), WM_COMMAND, static_cast<WPARAM>(field->tag()) | (WPARAM(EN_CHANGE) << 16),
                        reinterpret_cast<LPARAM>(static_cast<HWND>(field)));
        return TRUE;
    }
    if (auto* t = dynamic_cast<Text*>(AsView(item))) {
        t->setString(text);
        return TRUE;
    }
    if (auto* box = dynamic_cast<Box*>(AsView(item))) {
        box->setTitle(text);
        return TRUE;
    }
    return done;
}

BOOL SetDlgItemInt(HWND h, int id, int value, BOOL isSigned) {
    char buf[32];
    if (isSigned)
        std::snprintf(buf, sizeof buf, "%d", value);
    else
        std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(value));
    return SetDlgItemText(h, id, buf);
}

int GetDlgItemInt(HWND h, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char buf[128];
    if (!GetDlgItemText(h, id, buf, sizeof buf)) return 0;
    const char* p = buf;
    while (*p == ' ' || *p == '\t') ++p;
    int value = std::atoi(p);
    if (!isSigned && value < 0) return 0;
    if (value == 0 && *p != '0') return 0;
    if (translated) *translated = TRUE;
    return value;
}

void CheckDlgButton(HWND h, int id, int check) {
    auto* b = dynamic_cast<Button*>(AsView(Item(h, id)));
    if (!b) return;
    if (check & BST_INDETERMINATE)
        b->setState(Button::kMixed);
    else
        b->setState((check & BST_CHECKED) ? Button::kOn : Button::kOff);
}

int IsDlgButtonChecked(HWND h, int id) {
    auto* b = dynamic_cast<Button*>(AsView(Item(h, id)));
    if (!b) return 0;
    int s = b->state();
    return s < 0 ? BST_INDETERMINATE : s ? BST_CHECKED : BST_UNCHECKED;
}
