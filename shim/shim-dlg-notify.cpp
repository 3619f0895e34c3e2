// Control notifications: the window object as the target and delegate of the
// controls in it, turning their actions and callbacks into the messages of
// its window procedure, and colouring list cells before they are drawn.
#include <algorithm>

#include "platform/appkit/Event.h"
#include "platform/controls/Slider.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd-treeview.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {

constexpr const char* kCommand = "onShimCommand:";
constexpr const char* kDoubleClick = "shimOnControlDoubleClick:";

int TagOf(Responder* r) {
    if (SHIM_Answers(r, SHIM_SEL_TAG)) return SHIM_ObjectOf(r)->tag();
    if (auto* c = dynamic_cast<Control*>(r)) return c->tag();
    return 0;
}

WPARAM CommandParam(Responder* control, int code) {
    return static_cast<WPARAM>(static_cast<uint32_t>(TagOf(control)) | (static_cast<uint32_t>(code) << 16));
}

// Switches off the automatic radio buttons of b's group other than b.
void UpdateRadioGroup(Shim_vHalvoran_button* b) {
    View* parent = b->superview();
    if (!parent) return;
    const std::vector<View*>& subs = parent->subviews();
    auto at = std::find(subs.begin(), subs.end(), b);
    if (at == subs.end()) return;
    auto offIfRadio = [](Shim_vHalvoran_button* s) {
        if ((s->m_radioflags & 1) && s->state() != Button::kOff) s->setState(Button::kOff);
    };
    if (!(b->m_radioflags & 2))
        for (auto it = at; it != subs.begin();) {
            auto* s = dynamic_cast<Shim_vHalvoran_button*>(*--it);
            if (!s) break;
            offIfRadio(s);
            if (s->m_radioflags & 2) break;
        }
    for (auto it = at + 1; it != subs.end(); ++it) {
        auto* s = dynamic_cast<Shim_vHalvoran_button*>(*it);
        if (!s || (s->m_radioflags & 2)) break;
        offIfRadio(s);
    }
}

}  // namespace

bool Shim_vHalvoran_hwnd::respondsToAction(const std::string& selector) const {
    return selector == kCommand || selector == kDoubleClick;
}

void Shim_vHalvoran_hwnd::performAction(const std::string& selector, Responder* sender) {
    if (selector == kCommand)
        onShimCommand(sender);
    else if (selector == kDoubleClick)
        shimOnControlDoubleClick(sender);
}

void Shim_vHalvoran_hwnd::onShimCommand(Responder* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    HWND h = handle();
    auto lp = reinterpret_cast<LPARAM>(sender);
    if (dynamic_cast<ct::Slider*>(sender)) {
        m_wndproc(h, WM_HSCROLL, 0, lp);
        return;
    }
    if (dynamic_cast<ct::TableView*>(sender) || dynamic_cast<ct::ComboBox*>(sender)) return;
    if (dynamic_cast<ct::PopUpButton*>(sender)) {
        m_wndproc(h, WM_COMMAND, CommandParam(sender, CBN_SELCHANGE), lp);
        return;
    }
    if (auto* b = dynamic_cast<Shim_vHalvoran_button*>(sender)) {
        if (b->m_radioflags) UpdateRadioGroup(b);
        if (m_wndproc && !m_hashaddestroy.load()) m_wndproc(h, WM_COMMAND, CommandParam(sender, BN_CLICKED), lp);
        return;
    }
    int code = 0;
    if (dynamic_cast<Control*>(sender)) {
        const Event* e = currentEvent();
        bool leftPress =
            e && (e->type == EventType::MouseDown || e->type == EventType::MouseUp) && e->button == MouseButton::Left;
        if (leftPress && e->clickCount >= 2) code = 1;
    }
    m_wndproc(h, WM_COMMAND, CommandParam(sender, code), lp);
}

void Shim_vHalvoran_hwnd::shimOnControlDoubleClick(Responder* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    HWND h = handle();
    auto* list = dynamic_cast<Shim_vHalvoran_listview*>(sender);
    if (list && list->getShimNotificationMode()) {
        m_wndproc(h, WM_COMMAND, CommandParam(sender, LBN_DBLCLK), reinterpret_cast<LPARAM>(sender));
        return;
    }
    auto* table = dynamic_cast<ct::TableView*>(sender);
    if (table && !dynamic_cast<ct::OutlineView*>(sender)) {
        NMLISTVIEW nm{};
        nm.hdr = {sender, static_cast<UINT_PTR>(TagOf(sender)), NM_DBLCLK};
        nm.iItem = table->clickedRow();
        nm.iSubItem = list ? list->getColumnIdx(table->clickedColumn()) : table->clickedColumn();
        if (list)
            if (SHIM_ListView_Row* r = list->row(nm.iItem)) nm.lParam = r->m_param;
        m_wndproc(h, WM_NOTIFY, static_cast<WPARAM>(TagOf(sender)), reinterpret_cast<LPARAM>(&nm));
        return;
    }
    // An outline view, or anything else: the header followed by zeros.
    NMTREEVIEW nm{};
    nm.hdr = {sender, static_cast<UINT_PTR>(TagOf(sender)), NM_DBLCLK};
    m_wndproc(h, WM_NOTIFY, static_cast<WPARAM>(TagOf(sender)), reinterpret_cast<LPARAM>(&nm));
}

void Shim_vHalvoran_hwnd::tableViewSelectionDidChange(ct::TableView* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    Responder* r = sender;
    if (dynamic_cast<ct::OutlineView*>(sender)) {
        NMTREEVIEW nm{};
        nm.hdr = {r, static_cast<UINT_PTR>(TagOf(r)), TVN_SELCHANGED};
        m_wndproc(handle(), WM_NOTIFY, static_cast<WPARAM>(TagOf(r)), reinterpret_cast<LPARAM>(&nm));
        return;
    }
    auto* list = dynamic_cast<Shim_vHalvoran_listview*>(sender);
    if (list && list->getShimNotificationMode()) {
        m_wndproc(handle(), WM_COMMAND, CommandParam(r, LBN_SELCHANGE), reinterpret_cast<LPARAM>(r));
        return;
    }
    NMLISTVIEW nm{};
    nm.hdr = {r, static_cast<UINT_PTR>(TagOf(r)), LVN_ITEMCHANGED};
    nm.iItem = sender->selectedRow();
    m_wndproc(handle(), WM_NOTIFY, static_cast<WPARAM>(TagOf(r)), reinterpret_cast<LPARAM>(&nm));
}

void Shim_vHalvoran_hwnd::tableViewDidClickTableColumn(ct::TableView* sender, ct::TableColumn* column) {
    auto* list = dynamic_cast<Shim_vHalvoran_listview*>(sender);
    if (!list || !list->m_cols || list->m_lbMode || (list->style & LVS_NOSORTHEADER)) return;
    if (!m_wndproc || m_hashaddestroy.load()) return;
    Responder* r = sender;
    NMLISTVIEW nm{};
    nm.hdr = {r, static_cast<UINT_PTR>(TagOf(r)), LVN_COLUMNCLICK};
    nm.iItem = -1;
    nm.iSubItem = list->m_cols->Find(column);
    m_wndproc(handle(), WM_NOTIFY, static_cast<WPARAM>(TagOf(r)), reinterpret_cast<LPARAM>(&nm));
}

void Shim_vHalvoran_hwnd::comboBoxWillPopUp(ct::ComboBox* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    m_wndproc(handle(), WM_COMMAND, CommandParam(sender, CBN_DROPDOWN), reinterpret_cast<LPARAM>(sender));
}

void Shim_vHalvoran_hwnd::comboBoxSelectionDidChange(ct::ComboBox* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    m_wndproc(handle(), WM_COMMAND, CommandParam(sender, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sender));
}

void Shim_vHalvoran_hwnd::controlTextDidChange(Responder* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    int code = dynamic_cast<ct::ComboBox*>(sender) ? CBN_EDITCHANGE : static_cast<int>(EN_CHANGE);
    m_wndproc(handle(), WM_COMMAND, CommandParam(sender, code), reinterpret_cast<LPARAM>(sender));
}

void Shim_vHalvoran_hwnd::textDidChange(ct::TextView* sender) { controlTextDidChange(sender); }

void Shim_vHalvoran_hwnd::textDidEndEditing(ct::TextView* sender) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    Responder* r = sender;
    m_wndproc(handle(), WM_COMMAND, CommandParam(r, EN_CHANGE), reinterpret_cast<LPARAM>(r));
}

void Shim_vHalvoran_hwnd::tableViewWillDisplayCell(ct::TableView* sender, ct::Cell* cell, ct::TableColumn*, int row) {
    auto* list = dynamic_cast<Shim_vHalvoran_listview*>(sender);
    auto* tree = dynamic_cast<Shim_vHalvoran_treeview*>(sender);
    auto* text = dynamic_cast<ct::TextFieldCell*>(cell);
    if ((!list && !tree) || !text) return;
    std::vector<Color>* selColors = list ? list->m_selColors : tree->m_selColors;
    const std::optional<Color>& fg = list ? list->m_fgColor : tree->m_fgColor;
    // A tree's selected item is the one TreeView_GetSelection gives.
    bool selected = list
                        ? sender->isRowSelected(row)
                        : SHIM_TreeItemOfRow(tree, row) && SHIM_TreeItemOfRow(tree, row) == TreeView_GetSelection(tree);
    if (selColors && selected) {
        size_t k = GetFocus() == static_cast<HWND>(sender) ? 0 : 1;
        if (selColors->size() >= 2 * k + 2) {
            text->setTextColor((*selColors)[2 * k + 1]);
            return;
        }
    }
    // The cell serves every row: without a colour of its own, a row must
    // not keep the one a selected row before it was given.
    text->setTextColor(fg);
}
