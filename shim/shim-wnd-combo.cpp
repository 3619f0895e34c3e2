// The combo-box functions over both kinds (the editable combo box and the
// drop-down list), and the trackbar functions over sliders and custom
// trackbar controls.
#include <strings.h>

#include <cstring>

#include "platform/controls/Slider.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {

// The two kinds behind an item of a dialog.
struct Combo {
    ct::ComboBox* edit = nullptr;
    ct::PopUpButton* list = nullptr;
    BASE_PtrList<void>* ids = nullptr;  // the editable kind's item data
    LONG style = 0;

    explicit Combo(HWND dlg, int id) {
        HWND h = GetDlgItem(dlg, id);
        View* v = shimwnd::AsView(h);
        edit = dynamic_cast<ct::ComboBox*>(v);
        list = edit ? nullptr : dynamic_cast<ct::PopUpButton*>(v);
        if (auto* c = dynamic_cast<Shim_vHalvoran_cbox*>(v)) ids = &c->m_ids;
        if (SHIM_Answers(h, SHIM_SEL_STYLE)) style = SHIM_ObjectOf(h)->getShimStyle();
    }
    bool ok() const { return edit || list; }
    int count() const { return edit ? edit->numberOfItems() : list ? list->numberOfItems() : 0; }
    std::string text(int i) const {
        if (edit) return edit->itemAtIndex(i);
        const ct::PopUpButton::Item* it = list ? list->itemAtIndex(i) : nullptr;
        return it ? it->title : std::string();
    }
};

// Where a text goes in a sorted combo box: a halving search over the items.
int SortedPosition(const Combo& c, const char* text) {
    int n = c.count(), low = 0, length = n;
    while (length > 0) {
        int mid = low + length / 2;
        int cmp = std::strcmp(text, c.text(mid).c_str());
        if (cmp == 0) return mid;
        if (cmp > 0) {
            if (mid + 1 == n || std::strcmp(text, c.text(mid + 1).c_str()) <= 0) return mid + 1;
            low = mid + 1;
            --length;
        }
        length /= 2;
    }
    return 0;
}

ct::Slider* SliderOf(HWND dlg, int id) { return dynamic_cast<ct::Slider*>(shimwnd::AsView(GetDlgItem(dlg, id))); }

}  // namespace

int SHIM_CB_AddString(HWND h, int id, const char* text) {
    return SHIM_CB_InsertString(h, id, SHIM_CB_ADD_POSITION, text);
}

int SHIM_CB_InsertString(HWND h, int id, int pos, const char* text) {
    Combo c(h, id);
    if (!c.ok()) return 0;
    if (!text) text = "";
    int n = c.count();
    if (pos == SHIM_CB_ADD_POSITION)
        pos = (c.style & CBS_SORT) ? SortedPosition(c, text) : n;
    else if (pos < 0)
        pos = 0;
    else if (pos > n)
        pos = n;
    std::string value = SHIM_CStringToCFString(text);
    if (c.list) {
        ct::PopUpButton::Item item;
        item.title = value;
        c.list->insertItem(std::move(item), pos);
        return pos;
    }
    // The data list keeps one entry per item; without room for it the
    // item is not added either.
    if (c.ids) {
        int before = c.ids->GetSize();
        c.ids->Insert(pos, nullptr);
        if (c.ids->GetSize() == before) return pos;
    }
    c.edit->insertItem(value, pos);
    c.edit->setNumberOfVisibleItems(n + 1);
    return pos;
}

void SHIM_CB_DeleteString(HWND h, int id, int index) {
    Combo c(h, id);
    if (!c.ok() || index < 0 || index >= c.count()) return;
    if (c.list) {
        c.list->removeItemAtIndex(index);
        return;
    }
    c.edit->removeItemAtIndex(index);
    if (c.ids) c.ids->Delete(index);
}

int SHIM_CB_GetNumItems(HWND h, int id) { return Combo(h, id).count(); }

int SHIM_CB_GetCurSel(HWND h, int id) {
    Combo c(h, id);
    if (!c.ok()) return -1;
    return c.edit ? c.edit->indexOfSelectedItem() : c.list->indexOfSelectedItem();
}

void SHIM_CB_SetCurSel(HWND h, int id, int index) {
    Combo c(h, id);
    if (!c.ok() || index < 0 || index >= c.count()) return;
    if (c.edit)
        c.edit->selectItemAtIndex(index);
    else
        c.list->selectItemAtIndex(index);
}

BOOL SHIM_CB_GetItemText(HWND h, int id, int index, char* buf, int size) {
    if (buf && size > 0) buf[0] = 0;
    Combo c(h, id);
    if (!c.ok() || index < 0 || index >= c.count() || !buf || size < 1) return FALSE;
    std::string text = c.text(index);
    size_t n = shimwnd::Utf8Cut(text.c_str(), static_cast<size_t>(size - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = 0;
    return TRUE;
}

void SHIM_CB_Empty(HWND h, int id) {
    Combo c(h, id);
    if (c.list) c.list->removeAllItems();
    if (c.edit) c.edit->removeAllItems();
    if (c.ids) c.ids->Empty();
}

LPARAM SHIM_CB_GetItemData(HWND h, int id, int index) {
    Combo c(h, id);
    if (c.edit) return c.ids ? reinterpret_cast<LPARAM>(c.ids->Get(index)) : 0;
    const ct::PopUpButton::Item* it = c.list ? c.list->itemAtIndex(index) : nullptr;
    auto* data = it ? std::any_cast<std::shared_ptr<Shim_vHalvoran_sdh>>(&it->representedObject) : nullptr;
    return data && *data ? (*data)->getValue() : 0;
}

void SHIM_CB_SetItemData(HWND h, int id, int index, LPARAM value) {
    Combo c(h, id);
    if (c.edit && c.ids) c.ids->Set(index, reinterpret_cast<void*>(value));
    if (ct::PopUpButton::Item* it = c.list ? c.list->itemAtIndex(index) : nullptr)
        it->representedObject = std::make_shared<Shim_vHalvoran_sdh>(value);
}

int SHIM_CB_FindString(HWND h, int id, int startAfter, const char* text, bool exact) {
    Combo c(h, id);
    if (!c.ok()) return 0;
    if (!text) return -1;
    size_t len = std::strlen(text);
    for (int i = startAfter < 0 ? 0 : startAfter + 1, n = c.count(); i < n; ++i) {
        char item[4096];
        std::string t = c.text(i);
        size_t k = shimwnd::Utf8Cut(t.c_str(), sizeof item - 1);
        std::memcpy(item, t.data(), k);
        item[k] = 0;
        if (exact ? strcasecmp(item, text) == 0 : strncasecmp(item, text, len) == 0) return i;
    }
    return -1;
}

// --- trackbars ---------------------------------------------------------------------------

int SHIM_TB_GetPos(HWND h, int id) {
    if (ct::Slider* s = SliderOf(h, id)) return static_cast<int>(s->doubleValue() + 0.5);
    HWND t = GetDlgItem(h, id);
    return SHIM_Answers(t, SHIM_SEL_MESSAGE) ? static_cast<int>(SendMessage(t, TBM_GETPOS, 0, 0)) : 0;
}

void SHIM_TB_SetPos(HWND h, int id, int pos) {
    if (ct::Slider* s = SliderOf(h, id)) {
        s->setDoubleValue(pos);
        return;
    }
    HWND t = GetDlgItem(h, id);
    if (SHIM_Answers(t, SHIM_SEL_MESSAGE)) SendMessage(t, TBM_SETPOS, 1, pos);
}

void SHIM_TB_SetRange(HWND h, int id, int low, int high) {
    if (ct::Slider* s = SliderOf(h, id)) {
        s->setMinValue(low);
        s->setMaxValue(high);
        return;
    }
    HWND t = GetDlgItem(h, id);
    auto packed = static_cast<LPARAM>((static_cast<uint32_t>(low) & 0xFFFF) | (static_cast<uint32_t>(high) << 16));
    if (SHIM_Answers(t, SHIM_SEL_MESSAGE)) SendMessage(t, TBM_SETRANGE, 1, packed);
}

void SHIM_TB_SetTic(HWND h, int id, int pos) {
    HWND t = GetDlgItem(h, id);
    if (!SliderOf(h, id) && SHIM_Answers(t, SHIM_SEL_MESSAGE)) SendMessage(t, TBM_SETTIC, 0, pos);
}
