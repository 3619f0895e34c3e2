// Control creation in dialog units: the creation state, the conversion of a
// control's rectangle with its automatic right-shift, the SHIM_Make*
// functions, creation by class name and the custom creators.
#include <strings.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/controls/ScrollView.h"
#include "platform/controls/Slider.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd-tabs.h"
#include "shim/shim-wnd-treeview.h"

using namespace platform::appkit;
namespace ct = platform::controls;

int32_t g_shim_want_nice_style = 1;

namespace {

constexpr const char* kCommand = "onShimCommand:";
constexpr const char* kDoubleClick = "shimOnControlDoubleClick:";

struct CreationState {
    float m_transform[4] = {};  // origin x, origin y, x scale, y scale
    View* m_make_owner = nullptr;
    float m_parent_h = 0;
    bool m_doautoright = false;
    bool m_sizetofits = false;
    float m_lastdoauto[3] = {};  // right edge, vertical centre, growth
};
CreationState g_make;

struct CreatorRec {
    SHIM_ControlCreator proc;
    int count;
    CreatorRec* next;
};
CreatorRec* m_ccprocs = nullptr;

// The owner while it lives; controls made without one stay unattached.
View* Owner() { return Responder::isLive(g_make.m_make_owner) ? g_make.m_make_owner : nullptr; }

FRect MakeCoords(int x, int y, int w, int h, bool auto_shift, bool unscaled_height) {
    if (w < 0 && h < 0)
        return {static_cast<double>(-x), static_cast<double>(-y), static_cast<double>(-w), static_cast<double>(-h)};
    const float xt = g_make.m_transform[0], yt = g_make.m_transform[1];
    const float xs = g_make.m_transform[2], ys = g_make.m_transform[3];
    const float ys2 = unscaled_height ? 1.0f : ys;
    auto trunc = [](double v) { return static_cast<float>(static_cast<long long>(v)); };
    float X = trunc((static_cast<float>(x) + xt) * xs + 0.5);
    float F = ys >= 0 ? g_make.m_parent_h - ys * (static_cast<float>(y) + yt) + static_cast<float>(h) * ys2
                      : -ys * (static_cast<float>(y) + yt);
    float Y = trunc(F + 0.5);
    float W = trunc(static_cast<float>(w) * xs + 0.5);
    float H = trunc(std::fabs(ys2) * static_cast<float>(h) + 0.5);
    float shownX = X;
    if (g_make.m_doautoright && auto_shift) {
        float* last = g_make.m_lastdoauto;
        if (std::fabs(X - last[0]) < 32 && Y <= last[1] && last[1] < Y + H) shownX = X + trunc(last[2]);
        last[0] = X + W;
        last[1] = Y + H / 2;
        last[2] = 0;
    }
    return {shownX, Y, W, H};
}

// After a control made with auto_shift is placed: the growth the next
// control of its row is shifted by.
void RecordGrowth(View* v) {
    if (!g_make.m_doautoright || !v) return;
    FRect f = v->frameF();
    g_make.m_lastdoauto[2] = static_cast<float>(f.x + f.width) - g_make.m_lastdoauto[0];
}

void ApplyFontRule(Control* c) {
    double xs = g_make.m_transform[2];
    if (xs < 1.81) c->setFont(Font::system(xs < 1.0 ? 8 : 10));
}

void ApplyFontRule(ct::TextView* t) {
    double xs = g_make.m_transform[2];
    if (xs < 1.81) t->setFont(Font::system(xs < 1.0 ? 8 : 10));
}

// The title without its mnemonic '&' characters.
std::string Title(const char* text) {
    if (!text) return std::string();
    size_t len = std::strlen(text);
    const void* amp = std::memchr(text, '&', std::min<size_t>(len, 1024));
    if (!amp || len >= 1024) return SHIM_CStringToCFString(text);
    std::string out;
    for (size_t i = 0; i < len; ++i) {
        if (text[i] == '&') {
            if (++i >= len) break;
        }
        out += text[i];
    }
    return SHIM_CStringToCFString(out.c_str());
}

void Target(Control* c, View* owner) {
    c->setTarget(owner);
    c->setAction(kCommand);
}

// Adds a made control to the owner; one made without an owner goes at the
// main run loop's next pass unless it was put somewhere by then.
void Attach(View* v, bool hidden, bool atBack = false) {
    if (hidden) v->setHidden(true);
    if (View* owner = Owner()) {
        if (atBack)
            owner->insertSubview(v, 0);
        else
            owner->addSubview(v);
    } else {
        SHIM_ReleaseView(v);
    }
}

void SetStringFromTitle(TextField* f, const char* text) { f->setStringValue(Title(text)); }

Shim_vHalvoran_textfield* MakeStaticField() {
    auto* f = new Shim_vHalvoran_textfield();
    f->setEditable(false);
    f->setSelectable(false);
    f->setBordered(false);
    f->setBezeled(false);
    f->setDrawsBackground(false);
    ApplyFontRule(f);
    return f;
}

HWND MakeList(const char* class_name, int id, int style, int x, int y, int w, int h) {
    bool listBox = strcasecmp(class_name, "SysListView32_LB") == 0;
    View* owner = Owner();
    FRect frame = MakeCoords(x, y, w, h, false, false);
    auto* scroll = new ct::ScrollView();
    scroll->setFrameF(frame);
    auto* list = new Shim_vHalvoran_listview();
    list->setColumnAutoresizingStyle(0);
    list->setShowsFocusRing(false);
    list->setDataSource(list);
    list->setShimStyle(style);
    list->setShimNotificationMode(listBox ? 1 : 0);
    if (listBox) {
        list->setHasHeaderView(false);
        list->setAllowsMultipleSelection((style & LBS_EXTENDEDSEL) != 0);
    } else {
        list->setHasHeaderView((style & (LVS_NOCOLUMNHEADER | LVS_REPORT)) == LVS_REPORT);
        list->setAllowsMultipleSelection(!(style & LVS_SINGLESEL));
    }
    list->setAllowsColumnReordering(false);
    list->setAllowsEmptySelection(true);
    list->setTag(id);
    list->setDelegate(owner);
    list->setTarget(owner);
    list->setAction(kCommand);
    auto* answers = dynamic_cast<ActionTarget*>(owner);
    list->setDoubleAction(answers && answers->respondsToAction(kDoubleClick) ? kDoubleClick : kCommand);
    scroll->setHasVerticalScroller(true);
    scroll->setHasHorizontalScroller(!listBox);
    scroll->setAutohidesScrollers(true);
    scroll->setDrawsBackground(false);
    scroll->setDocumentView(list);
    HWND handle = list;
    if (listBox || !(style & LVS_REPORT)) {
        LVCOLUMN c{};
        c.mask = LVCF_WIDTH | LVCF_TEXT;
        c.cx = static_cast<int>(std::ceil(std::max(300.0, frame.width)));
        c.pszText = const_cast<char*>("");
        ListView_InsertColumn(handle, 0, &c);
    }
    if (listBox && (style & LBS_OWNERDRAWFIXED) && list->numberOfColumns() > 0) {
        auto cell = std::make_unique<Shim_vHalvoran_ODlistviewcell>();
        cell->setOwnerControl(list);
        list->tableColumns()[0]->setDataCell(std::move(cell));
    }
    list->reloadData();
    Attach(scroll, style < 0);
    return handle;
}

HWND MakeButtonClass(const char* text, int id, int style, int x, int y, int w, int h) {
    if (style & SHIM_BS_GROUPBOX) return SHIM_MakeGroupBox(text, id, x, y, w, h, style & ~SHIM_BS_GROUPBOX);
    if (style & SHIM_BS_DEFPUSHBUTTON) return SHIM_MakeButton(1, text, id, x, y, w, h, style & ~SHIM_BS_DEFPUSHBUTTON);
    if (style & SHIM_BS_PUSHBUTTON) return SHIM_MakeButton(0, text, id, x, y, w, h, style & ~SHIM_BS_PUSHBUTTON);
    auto* b = new Shim_vHalvoran_button();
    b->setTag(id);
    FRect frame = MakeCoords(x, y, w, h, true, false);
    int kind = style & 0xF;
    switch (kind) {
        case BS_AUTOCHECKBOX:
            b->setButtonType(Button::kSwitch);
            b->setAllowsMixedState(false);
            break;
        case BS_AUTO3STATE:
            b->setButtonType(Button::kSwitch);
            b->setAllowsMixedState(true);
            break;
        case BS_AUTORADIOBUTTON:
            b->setButtonType(Button::kRadio);
            b->shimSetRadioFlags((style & WS_GROUP) ? 3 : 1);
            break;
        case BS_OWNERDRAW:
            b->setCell(std::make_unique<Shim_vHalvoran_ODbuttoncell>());
            break;
        default:
            break;
    }
    ApplyFontRule(b);
    b->setFrameF(frame);
    b->setTitle(Title(text));
    Target(b, Owner());
    if (style & BS_LEFTTEXT) b->setImagePosition(ct::Button::kImageRight);
    Attach(b, style < 0);
    if (kind != BS_OWNERDRAW && g_make.m_sizetofits) b->sizeToFit();
    RecordGrowth(b);
    return b;
}

HWND MakeStatic(const char* text, int id, int style, int x, int y, int w, int h) {
    Shim_vHalvoran_textfield* f = MakeStaticField();
    if (text && *text) SetStringFromTitle(f, text);
    switch (style & 0x1F) {
        case SS_CENTER:
            f->setAlignment(TextAlignment::Center);
            break;
        case SS_RIGHT:
            f->setAlignment(TextAlignment::Right);
            break;
        case SS_LEFTNOWORDWRAP:
            f->setWraps(false);
            break;
        default:
            f->setWraps(true);
            break;
    }
    f->setTag(id);
    f->setFrameF(MakeCoords(x, y, w, h, true, false));
    Attach(f, style < 0);
    if ((style & 0x1F) == SS_BLACKRECT) f->setHidden(true);
    return f;
}

HWND MakeSlider(int id, int style, int x, int y, int w, int h, bool mini) {
    auto* s = new ct::Slider();
    s->setTag(id);
    s->setMinValue(0);
    s->setMaxValue(1000);
    Target(s, Owner());
    if (mini) s->setControlSize(ControlSize::Mini);
    s->setFrameF(MakeCoords(x, y, w, h, false, false));
    Attach(s, style < 0);
    return s;
}

HWND MakeTabs(int id, int style, int x, int y, int w, int h) {
    auto* t = new Shim_vHalvoran_tabview();
    t->setTag(id);
    t->setAllowsTruncatedLabels(true);
    t->setNotificationWindow(Owner());
    t->setFrameF(MakeCoords(x, y - 1, w, h + 6, false, false));
    Attach(t, style < 0);
    return t;
}

HWND MakeTree(int id, int style, int x, int y, int w, int h) {
    FRect frame = MakeCoords(x, y, w, h, false, false);
    auto* scroll = new ct::ScrollView();
    scroll->setFrameF(frame);
    auto* tree = new Shim_vHalvoran_treeview();
    tree->setShowsFocusRing(false);
    tree->setShimStyle(style);
    tree->setHasHeaderView(false);
    View* owner = Owner();
    tree->setDelegate(owner);
    tree->setAllowsColumnReordering(false);
    tree->setAllowsMultipleSelection(false);
    tree->setAllowsEmptySelection(true);
    tree->setTag(id);
    tree->setTarget(owner);
    tree->setAction(kCommand);
    auto* answers = dynamic_cast<ActionTarget*>(owner);
    tree->setDoubleAction(answers && answers->respondsToAction(kDoubleClick) ? kDoubleClick : kCommand);
    scroll->setHasVerticalScroller(true);
    scroll->setAutohidesScrollers(true);
    scroll->setDrawsBackground(false);
    scroll->setDocumentView(tree);
    auto column = std::make_unique<ct::TableColumn>();
    auto cell = std::make_unique<Shim_vHalvoran_listviewcell>();
    cell->setWraps(false);
    column->setDataCell(std::move(cell));
    column->setWidth(std::ceil(std::max(300.0, frame.width)));
    column->setEditable(false);
    ct::TableColumn* outline = column.get();
    tree->addTableColumn(std::move(column));
    tree->setOutlineTableColumn(outline);
    tree->reloadData();
    Attach(scroll, style < 0);
    return tree;
}

HWND MakeProgress(int id, int style, int x, int y, int w, int h) {
    auto* p = new Shim_vHalvoran_progind();
    p->setStyle(ct::ProgressIndicator::kBar);
    p->setIndeterminate(false);
    p->setTag(id);
    p->setFrameF(MakeCoords(x, y, w, h, false, false));
    Attach(p, style < 0);
    return p;
}

}  // namespace

void SHIM_MakeSetCurParms(float x_scale, float y_scale, float x_offset, float y_offset, HWND parent, bool auto_shift,
                          bool size_to_fit) {
    g_make.m_sizetofits = size_to_fit;
    g_make.m_lastdoauto[0] = 0;
    g_make.m_lastdoauto[1] = -100;
    g_make.m_lastdoauto[2] = 0;
    g_make.m_doautoright = auto_shift;
    g_make.m_transform[0] = x_offset;
    g_make.m_transform[1] = y_offset;
    g_make.m_transform[2] = x_scale;
    g_make.m_transform[3] = y_scale;
    g_make.m_make_owner = shimwnd::ContentOf(parent);
    g_make.m_parent_h = 100;
    if (View* owner = g_make.m_make_owner) {
        g_make.m_parent_h = static_cast<float>(owner->boundsF().height);
        if (y_scale > 0 && owner->isFlipped()) g_make.m_transform[3] = -y_scale;
    }
}

HWND SHIM_MakeButton(int is_default, const char* label, int id, int x, int y, int w, int h, int flags) {
    if (reinterpret_cast<uintptr_t>(label) < 0x10000) label = "ICONTEMP";
    auto* b = new Shim_vHalvoran_button();
    ApplyFontRule(b);
    b->setTag(id);
    b->setBezelStyle(g_shim_want_nice_style == 1 ? ct::Button::kBezelShadowlessSquare : ct::Button::kBezelRounded);
    FRect frame = MakeCoords(x, y, w, h, true, false);
    if (g_shim_want_nice_style != 1 && frame.height >= 18 && frame.height < 24) frame.height = 24;
    b->setFrameF(frame);
    b->setTitle(Title(label));
    Target(b, Owner());
    Attach(b, flags < 0);
    RecordGrowth(b);
    if (is_default && b->window()) b->window()->setDefaultButton(b);
    return b;
}

HWND SHIM_MakeEditField(int id, int x, int y, int w, int h, int flags) {
    View* owner = Owner();
    if (!(flags & (WS_HSCROLL | WS_VSCROLL))) {
        ct::TextField* f = (flags & ES_PASSWORD) ? static_cast<ct::TextField*>(new ct::SecureTextField())
                                                 : new Shim_vHalvoran_textfield();
        f->setEditable(!(flags & ES_READONLY));
        f->setSelectable(true);
        ApplyFontRule(f);
        if (flags & ES_CENTER)
            f->setAlignment(TextAlignment::Center);
        else if (flags & ES_RIGHT)
            f->setAlignment(TextAlignment::Right);
        bool oneLine = std::abs(h) < 20;
        f->setWraps(!oneLine);
        f->setScrollable(oneLine);
        f->setTag(id);
        Target(f, owner);
        f->setDelegate(owner);
        f->setFrameF(MakeCoords(x, y, w, h, true, false));
        Attach(f, flags < 0);
        RecordGrowth(f);
        return f;
    }
    auto* t = new Shim_vHalvoran_textview();
    t->setEditable(!(flags & ES_READONLY));
    ApplyFontRule(t);
    t->setTag(id);
    t->setDelegate(owner);
    t->setHorizontallyResizable(false);
    FRect frame = MakeCoords(x, y, w, h, true, false);
    if (!(flags & WS_VSCROLL)) {
        t->setVerticallyResizable(false);
        t->setFrameF(frame);
        Attach(t, flags < 0);
        RecordGrowth(t);
        return t;
    }
    auto* scroll = new ct::ScrollView();
    scroll->setFrameF(frame);
    scroll->setHasVerticalScroller(true);
    scroll->setHasHorizontalScroller((flags & WS_HSCROLL) != 0);
    scroll->setAutohidesScrollers(true);
    scroll->setDrawsBackground(false);
    Size cs = scroll->contentSize();
    t->setFrame({0, 0, cs.width, cs.height});
    scroll->setDocumentView(t);
    t->setVerticallyResizable(true);
    Attach(scroll, flags < 0);
    RecordGrowth(scroll);
    return scroll;
}

HWND SHIM_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int flags) {
    Shim_vHalvoran_textfield* f = MakeStaticField();
    if (flags & SS_NOTIFY) Target(f, Owner());
    SetStringFromTitle(f, label);
    f->setAlignment(align < 0 ? TextAlignment::Left : align == 0 ? TextAlignment::Center : TextAlignment::Right);
    f->setWraps(h >= 13);
    f->setTag(id);
    f->setFrameF(MakeCoords(x, y, w, h, true, false));
    Attach(f, flags < 0);
    if (g_make.m_sizetofits && label && std::strlen(label) >= 2) f->sizeToFit();
    RecordGrowth(f);
    return f;
}

HWND SHIM_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int flags) {
    return SHIM_MakeControl(text, id, "Button", flags | BS_AUTOCHECKBOX, x, y, w, h, 0);
}

HWND SHIM_MakeListBox(int id, int x, int y, int w, int h, int style) {
    return SHIM_MakeControl("", id, "SysListView32_LB", style, x, y, w, h, 0);
}

HWND SHIM_MakeCombo(int id, int x, int y, int w, int h, int flags) {
    View* owner = Owner();
    Control* made;
    if ((flags & 3) != CBS_DROPDOWNLIST) {
        auto* c = new Shim_vHalvoran_cbox();
        c->setShowsFocusRing(false);
        c->setFont(Font::system(10));
        c->setEditable(true);
        c->setShimStyle(flags);
        c->setTag(id);
        c->setFrameF(MakeCoords(x, y - 1, w, 22, true, true));
        Target(c, owner);
        c->setDelegate(owner);
        made = c;
    } else {
        auto* p = new Shim_vHalvoran_pub();
        p->setTag(id);
        p->setFont(Font::system(10));
        p->setFrameF(MakeCoords(x, y, w, 18, true, true));
        p->setShimStyle(flags);
        p->setAutoenablesItems(false);
        Target(p, owner);
        if (g_shim_want_nice_style == 1) {
            p->setBezelStyle(ct::Button::kBezelShadowlessSquare);
            p->setArrowPosition(ct::PopUpButton::kArrowAtBottom);
        }
        made = p;
    }
    Attach(made, flags < 0);
    RecordGrowth(made);
    return made;
}

HWND SHIM_MakeGroupBox(const char* text, int id, int x, int y, int w, int h, int style) {
    auto* b = new Shim_vHalvoran_box();
    b->setTitle(Title(text));
    b->setTag(id);
    if (style & BS_CENTER) b->setTitleCentered(true);
    b->setFrameF(MakeCoords(x, y - 1, w, h + 3, false, false));
    Attach(b, false, true);
    return b;
}

HWND SHIM_MakeControl(const char* text, int id, const char* class_name, int style, int x, int y, int w, int h,
                      int ex_style) {
    if (m_ccprocs) {
        FRect r = MakeCoords(x, y, w, h, false, false);
        auto round = [](double v) { return static_cast<int>(v + 0.5); };
        for (CreatorRec* c = m_ccprocs; c; c = c->next) {
            HWND made =
                c->proc(Owner(), text, id, class_name, style, round(r.x), round(r.y), round(r.width), round(r.height));
            if (!made) continue;
            if (ex_style != 0) {
                if (SHIM_Answers(made, SHIM_SEL_EXSTYLE)) {
                    SHIM_ObjectOf(made)->shimGetExtendedStyle();
                    SHIM_ObjectOf(made)->shimSetExtendedStyle(ex_style);
                } else if (SHIM_Answers(made, SHIM_SEL_EXTRADATA)) {
                    SHIM_ObjectOf(made)->getShimExtraData(GWL_EXSTYLE);
                    SHIM_ObjectOf(made)->setShimExtraData(GWL_EXSTYLE, ex_style);
                }
            }
            return made;
        }
    }
    if (!class_name) return nullptr;
    auto is = [&](const char* name) { return strcasecmp(class_name, name) == 0; };
    if (is("SysTabControl32")) return MakeTabs(id, style, x, y, w, h);
    if (is("SysListView32") || is("SysListView32_LB")) return MakeList(class_name, id, style, x, y, w, h);
    if (is("SysTreeView32")) return MakeTree(id, style, x, y, w, h);
    if (is("msctls_progress32")) return MakeProgress(id, style, x, y, w, h);
    if (is("Edit")) return SHIM_MakeEditField(id, x, y, w, h, style);
    if (is("static")) return MakeStatic(text, id, style, x, y, w, h);
    if (is("Button")) return MakeButtonClass(text, id, style, x, y, w, h);
    if (is(SHIM_FADER_CLASS)) return MakeSlider(id, style, x, y, w, h, false);
    if (is("msctls_trackbar32")) return MakeSlider(id, style, x, y, w, h, true);
    return nullptr;
}

void SHIM_RegisterCustomControlCreator(SHIM_ControlCreator proc) {
    if (!proc) return;
    CreatorRec** link = &m_ccprocs;
    for (; *link; link = &(*link)->next)
        if ((*link)->proc == proc) {
            ++(*link)->count;
            return;
        }
    *link = new CreatorRec{proc, 1, nullptr};
}

void SHIM_UnregisterCustomControlCreator(SHIM_ControlCreator proc) {
    if (!proc) return;
    for (CreatorRec** link = &m_ccprocs; *link; link = &(*link)->next) {
        CreatorRec* r = *link;
        if (r->proc != proc) continue;
        if (r->count-- <= 1) {
            *link = r->next;
            delete r;
        }
        return;
    }
}
