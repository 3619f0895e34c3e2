// The list-view operations: rows, item state with its change notification,
// columns and the header, styles and colours, hit tests, rectangles,
// scrolling and the stable sort.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shim/shim-dlg.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-treeview.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {

using LV = Shim_vHalvoran_listview;

// Calls under way for all rows, and a notification being sent: no nested
// single-row call notifies.
int g_allRowsCalls = 0;
bool g_notifying = false;

void Reload(LV* lv) { lv->reloadData(); }

// Whether a new selection of one row extends the current one.
bool Extends(const LV* lv) { return lv->m_lbMode ? (lv->style & LBS_EXTENDEDSEL) != 0 : !(lv->style & LVS_SINGLESEL); }

char* CopyText(const char* s) { return strdup(s ? s : ""); }

ScrollView* EnclosingScroll(View* v) { return enclosingScrollView(v); }

FRect VisibleRectOf(View* v) {
    ScrollView* sv = EnclosingScroll(v);
    return sv ? sv->documentVisibleRect() : FRect();
}

void ApplyAlignment(ct::TableColumn* c, int fmt) {
    if (fmt == LVCFMT_RIGHT)
        c->headerCell().setAlignment(TextAlignment::Right);
    else if (fmt == LVCFMT_CENTER)
        c->headerCell().setAlignment(TextAlignment::Center);
    else if (fmt == LVCFMT_LEFT)
        c->headerCell().setAlignment(TextAlignment::Left);
}

// Merge sort of n rows by compare; keeps the order of rows it finds equal.
void MergeSort(SHIM_ListView_Row** rows, int n, SHIM_ListView_Row** scratch, PFNLVCOMPARE compare, LPARAM sort) {
    if (n < 2) return;
    int left = n / 2, right = n - left;
    if (n > 2) {
        MergeSort(rows, left, scratch, compare, sort);
        MergeSort(rows + left, right, scratch, compare, sort);
    }
    int i = 0, j = 0, k = 0;
    while (i < left && j < right) {
        if (compare(rows[i]->m_param, rows[left + j]->m_param, sort) <= 0)
            scratch[k++] = rows[i++];
        else
            scratch[k++] = rows[left + j++];
    }
    while (i < left) scratch[k++] = rows[i++];
    // What is left of the right run already stands in its place.
    std::memcpy(rows, scratch, static_cast<size_t>(k) * sizeof(*rows));
}

}  // namespace

// --- rows ---------------------------------------------------------------------------

int ListView_GetItemCount(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    return lv ? lv->rowCount() : 0;
}

int ListView_InsertItem(HWND h, const LVITEM* item) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !item || item->iSubItem != 0) return 0;
    if (lv->isOwnerData()) return -1;
    int n = lv->m_items->GetSize();
    int index = std::clamp(item->iItem, 0, n);
    if (!lv->m_lbMode && (item->mask & LVIF_TEXT)) {
        const char* text = item->pszText ? item->pszText : "";
        if (lv->style & LVS_SORTASCENDING)
            index = lv->sortedPlace(text, false);
        else if (lv->style & LVS_SORTDESCENDING)
            index = lv->sortedPlace(text, true);
    }
    auto* row = new SHIM_ListView_Row();
    char* text = CopyText((item->mask & LVIF_TEXT) ? item->pszText : "");
    if (!row->m_vals.Add(text)) free(text);
    if (item->mask & LVIF_PARAM) row->m_param = item->lParam;
    if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK))
        row->m_imageidx = static_cast<int>((item->state >> 16) & 0xFF);
    lv->m_items->Insert(index, row);
    lv->insertRows(index, 1);  // the selected rows after it move down with it
    if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_SELECTED) && (item->state & LVIS_SELECTED))
        lv->selectRowIndexes({index}, Extends(lv));
    return index;
}

void ListView_DeleteItem(HWND h, int i) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || i < 0 || i >= lv->m_items->GetSize()) return;
    lv->m_items->Delete(i);
    lv->removeRows(i, 1);  // and from the selection; the selected rows after it move up
}

void ListView_DeleteAllItems(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv) return;
    lv->ownermode_cnt = 0;
    lv->m_items->Empty();
    Reload(lv);
}

void ListView_SetItemCount(HWND h, int n) {
    LV* lv = SHIM_ListViewOf(h);
    if (lv && lv->isOwnerData()) lv->ownermode_cnt = n;
}

void ListView_SetItemText(HWND h, int i, int sub, const char* text) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || sub < 0 || sub >= 32 || lv->isOwnerData()) return;
    SHIM_ListView_Row* row = lv->row(i);
    if (!row) return;
    while (row->m_vals.GetSize() < sub) {
        char* empty = CopyText("");
        if (!row->m_vals.Add(empty)) {
            free(empty);
            return;
        }
    }
    char* copy = CopyText(text);
    if (char* old = row->m_vals.Get(sub)) {
        row->m_vals.Set(sub, copy);
        free(old);
    } else if (!row->m_vals.Add(copy)) {
        free(copy);
        return;
    }
    Reload(lv);
}

BOOL ListView_GetItemText(HWND h, int i, int sub, char* buf, int size) {
    LVITEM it{};
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = size;
    return ListView_GetItem(h, &it);
}

BOOL ListView_GetItem(HWND h, LVITEM* item) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !item) return 0;
    if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1) item->pszText[0] = 0;
    item->state = 0;
    int i = item->iItem;
    if (!lv->isOwnerData()) {
        SHIM_ListView_Row* row = lv->row(i);
        if (!row) return 0;
        if (item->mask & LVIF_PARAM) item->lParam = row->m_param;
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1)
            lstrcpyn(item->pszText, row->text(item->iSubItem), item->cchTextMax);
        if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK))
            item->state |= static_cast<UINT>(row->m_imageidx) << 16;
    } else if (i < 0 || i >= lv->ownermode_cnt) {
        return 0;
    }
    if (item->mask & LVIF_STATE) {
        if ((item->stateMask & LVIS_SELECTED) && lv->isRowSelected(i)) item->state |= LVIS_SELECTED;
        if ((item->stateMask & LVIS_FOCUSED) && lv->selectedRow() == i) item->state |= LVIS_FOCUSED;
    }
    return TRUE;
}

BOOL ListView_SetItem(HWND h, LVITEM* item) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !item) return 0;
    if (!lv->isOwnerData()) {
        SHIM_ListView_Row* row = lv->row(item->iItem);
        if (!row) return 0;
        if (item->mask & LVIF_PARAM) row->m_param = item->lParam;
        if ((item->mask & LVIF_TEXT) && item->pszText)
            ListView_SetItemText(h, item->iItem, item->iSubItem, item->pszText);
        if ((item->mask & LVIF_IMAGE) && item->iImage >= 0) {
            row->m_imageidx = item->iImage + 1;
            Reload(lv);
        }
    }
    if ((item->mask & LVIF_STATE) && item->stateMask)
        ListView_SetItemState(h, item->iItem, item->state, item->stateMask);
    return TRUE;
}

BOOL ListView_SetItemState(HWND h, int i, UINT state, UINT mask) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv) return 0;
    if (i == -1) {
        ++g_allRowsCalls;
        for (int r = 0, n = lv->rowCount(); r < n && Responder::isLive(lv); ++r)
            ListView_SetItemState(h, r, state, mask);
        --g_allRowsCalls;
        if (Responder::isLive(lv)) Reload(lv);
        return TRUE;
    }
    SHIM_ListView_Row* row = lv->isOwnerData() ? nullptr : lv->row(i);
    if (!row && !(lv->isOwnerData() && i >= 0 && i < lv->ownermode_cnt)) return 0;
    bool redraw = false, changed = false;
    if (row && (mask & LVIS_STATEIMAGEMASK)) {
        int image = static_cast<int>((state >> 16) & 0xFF);
        redraw = image != row->m_imageidx;
        row->m_imageidx = image;
    }
    if (mask & LVIS_SELECTED) {
        bool selected = lv->isRowSelected(i);
        if ((state & LVIS_SELECTED) && !selected) {
            lv->selectRowIndexes({i}, Extends(lv));
            changed = true;
        } else if (!(state & LVIS_SELECTED) && selected) {
            lv->deselectRow(i);
            changed = true;
        }
    }
    if (changed && g_allRowsCalls == 0 && !g_notifying) {
        g_notifying = true;
        NMLISTVIEW nm{};
        nm.hdr = {lv, static_cast<UINT_PTR>(lv->tag()), LVN_ITEMCHANGED};
        nm.iItem = i;
        nm.uNewState = state;
        SendMessage(GetParent(h), WM_NOTIFY, static_cast<WPARAM>(lv->tag()), reinterpret_cast<LPARAM>(&nm));
        g_notifying = false;
    }
    if (redraw && Responder::isLive(lv)) Reload(lv);
    return TRUE;
}

UINT ListView_GetItemState(HWND h, int i, UINT mask) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv) return 0;
    UINT state = 0;
    if ((mask & LVIS_STATEIMAGEMASK) && !lv->isOwnerData())
        if (SHIM_ListView_Row* row = lv->row(i)) state = static_cast<UINT>(row->m_imageidx) << 16;
    if ((mask & LVIS_SELECTED) && lv->isRowSelected(i)) state |= LVIS_SELECTED;
    if ((mask & LVIS_FOCUSED) && i >= 0 && lv->selectedRow() == i) state |= LVIS_FOCUSED;
    return state;
}

void ListView_RedrawItems(HWND h, int, int) {
    if (LV* lv = SHIM_ListViewOf(h); lv && lv->m_items) Reload(lv);
}

int ListView_GetNextItem(HWND h, int start, int flags) {
    LV* lv = SHIM_ListViewOf(h);
    if (flags == LVNI_SELECTED) {
        if (!lv) return 0;
        return start == INT_MAX ? -1 : lv->selectedRowIndexes().indexAtOrAfter(start < 0 ? 0 : start + 1);
    }
    if (flags == LVNI_FOCUSED) return lv ? lv->selectedRow() : 0;
    return -1;
}

int ListView_GetSelectedCount(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    return lv ? lv->numberOfSelectedRows() : 0;
}

int ListView_GetSelectionMark(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    return lv ? lv->selectedRow() : 0;
}

void ListView_SortItems(HWND h, PFNLVCOMPARE compare, LPARAM sort) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !compare || lv->m_lbMode || lv->isOwnerData() || !lv->m_items) return;
    std::vector<SHIM_ListView_Row*> rows = lv->m_items->All();
    const int n = static_cast<int>(rows.size());
    for (int i = 0; i < n; ++i) rows[static_cast<size_t>(i)]->m_tmp = lv->isRowSelected(i) ? 1 : 0;
    std::vector<SHIM_ListView_Row*> scratch(rows.size());
    MergeSort(rows.data(), n, scratch.data(), compare, sort);
    lv->m_items->Reorder(rows);
    if (n > 0) {
        ct::IndexSet selected;
        for (int i = 0; i < n; ++i)
            if (rows[static_cast<size_t>(i)]->m_tmp == 1) selected.add(i);
        lv->selectRowIndexes(selected, false);
    }
    Reload(lv);
}

// --- columns and header ---------------------------------------------------------------------------

void ListView_InsertColumn(HWND h, int pos, const LVCOLUMN* col) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !col) return;
    auto column = std::make_unique<ct::TableColumn>();
    column->setEditable(false);
    if (col->cx)
        column->setWidth(col->cx);
    else
        column->setHidden(true);
    if (col->fmt == LVCFMT_RIGHT || col->fmt == LVCFMT_CENTER) ApplyAlignment(column.get(), col->fmt);
    if (!lv->m_lbMode && !(lv->style & LVS_NOCOLUMNHEADER))
        column->headerCell().setStringValue(col->pszText ? col->pszText : "");
    std::unique_ptr<ct::Cell> cell;
    if (pos == 0 && lv->m_status_imagelist)
        cell = std::make_unique<Shim_vHalvoran_statuscell>();
    else
        cell = std::make_unique<Shim_vHalvoran_listviewcell>();
    cell->setAlignment(column->headerCell().alignment());
    cell->setWraps(false);
    column->setDataCell(std::move(cell));
    ct::TableColumn* raw = column.get();
    if (!lv->m_cols->Add(raw)) return;
    lv->addTableColumn(std::move(column));
}

void ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv && lvc ? lv->m_cols->Get(col) : nullptr;
    if (!c) return;
    if ((lvc->mask & LVCF_FMT) && lvc->fmt >= 0 && lvc->fmt <= 2) ApplyAlignment(c, lvc->fmt);
    if (lvc->mask & LVCF_WIDTH) {
        if (lvc->cx) {
            c->setHidden(false);
            c->setWidth(lvc->cx);
        } else {
            c->setHidden(true);
        }
    }
    if ((lvc->mask & LVCF_TEXT) && !lv->m_lbMode && !(lv->style & LVS_NOCOLUMNHEADER))
        c->headerCell().setStringValue(lvc->pszText ? lvc->pszText : "");
    lv->setNeedsDisplay();
    if (lv->headerView()) lv->headerView()->setNeedsDisplay();
}

BOOL ListView_DeleteColumn(HWND h, int col) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv ? lv->m_cols->Get(col) : nullptr;
    if (!c) return 0;
    lv->m_cols->Delete(col);
    lv->removeTableColumn(c);
    return TRUE;
}

int ListView_GetColumnWidth(HWND h, int col) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv ? lv->m_cols->Get(col) : nullptr;
    if (!c || c->isHidden()) return 0;
    return static_cast<int>(std::floor(c->width() + 0.5));
}

void ListView_SetColumnWidth(HWND h, int col, int w) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv ? lv->m_cols->Get(col) : nullptr;
    if (!c) return;
    if (w) {
        c->setHidden(false);
        c->setWidth(w);
    } else {
        c->setHidden(true);
    }
}

BOOL ListView_GetColumnOrderArray(HWND h, int n, int* out) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !out || n != lv->m_cols->GetSize()) return 0;
    for (int i = 0; i < n; ++i) out[i] = lv->getColumnPos(i);
    return 1;
}

BOOL ListView_SetColumnOrderArray(HWND h, int n, const int* order) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !order || n != lv->m_cols->GetSize()) return 0;
    // Only a permutation of the columns can be applied whole.
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int i = 0; i < n; ++i) {
        if (order[i] < 0 || order[i] >= n || seen[static_cast<size_t>(order[i])]) return 0;
        seen[static_cast<size_t>(order[i])] = true;
    }
    for (int i = 0; i < n; ++i) lv->moveColumn(lv->getColumnPos(i), order[i]);
    return 1;
}

HWND ListView_GetHeader(HWND h) { return SHIM_ListViewOf(h) ? h : nullptr; }

int Header_GetItemCount(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    return lv ? lv->m_cols->GetSize() : 0;
}

BOOL Header_GetItem(HWND h, int col, HDITEM* item) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv ? lv->m_cols->Get(col) : nullptr;
    if (!c) return 0;
    if (item && (item->mask & HDI_FORMAT)) {
        item->fmt = 0;
        if (c->indicatorImageName() == "NSAscendingSortIndicator")
            item->fmt |= HDF_SORTUP;
        else if (c->indicatorImageName() == "NSDescendingSortIndicator")
            item->fmt |= HDF_SORTDOWN;
    }
    return TRUE;
}

BOOL Header_SetItem(HWND h, int col, const HDITEM* item) {
    LV* lv = SHIM_ListViewOf(h);
    ct::TableColumn* c = lv ? lv->m_cols->Get(col) : nullptr;
    if (!c) return 0;
    if (item && (item->mask & HDI_FORMAT)) {
        if (item->fmt & HDF_SORTUP)
            lv->setIndicatorImage("NSAscendingSortIndicator", c);
        else if (item->fmt & HDF_SORTDOWN)
            lv->setIndicatorImage("NSDescendingSortIndicator", c);
        else
            lv->setIndicatorImage("", c);
    }
    return TRUE;
}

int SHIM_GetListViewHeaderHeight(HWND h) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !lv->headerView()) return 0;
    return static_cast<int>(lv->headerView()->frameF().height + 0.5);
}

// --- styles, images and colours ---------------------------------------------------------------------------

void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv) return;
    if (mask & LVS_EX_GRIDLINES)
        lv->setGridStyleMask((style & LVS_EX_GRIDLINES) ? ct::TableView::kGridVertical | ct::TableView::kGridHorizontal
                                                        : ct::TableView::kGridNone);
    if (mask & LVS_EX_HEADERDRAGDROP) lv->setAllowsColumnReordering((style & LVS_EX_HEADERDRAGDROP) != 0);
}

void SHIM_SetListViewFastClickMask(HWND h, int mask) {
    if (LV* lv = SHIM_ListViewOf(h)) lv->m_fastClickMask = mask;
}

void ListView_SetImageList(HWND h, SHIM_ImageList* list, int which) {
    // Not checked to be a list view, as the toolkit has it; only one can
    // take the list.
    LV* lv = SHIM_ListViewOf(h);
    if (!lv) return;
    lv->m_status_imagelist_type = which;
    lv->m_status_imagelist = list;
    if (lv->numberOfColumns() > 0) {
        ct::TableColumn* first = lv->tableColumns()[0];
        if (!dynamic_cast<Shim_vHalvoran_statuscell*>(first->dataCell())) {
            auto cell = std::make_unique<Shim_vHalvoran_statuscell>();
            cell->setWraps(false);
            first->setDataCell(std::move(cell));
        }
    }
}

void ListView_SetBkColor(HWND h, int colour) {
    if (LV* lv = SHIM_ListViewOf(h)) lv->setBackgroundColor(SHIM_ColorOfValue(colour));
}

void ListView_SetGridColor(HWND h, int colour) {
    if (LV* lv = SHIM_ListViewOf(h)) lv->setGridColor(SHIM_ColorOfValue(colour));
}

void ListView_SetTextColor(HWND h, int colour) {
    if (LV* lv = SHIM_ListViewOf(h)) {
        lv->m_fgColor = SHIM_ColorOfValue(colour);
        lv->setNeedsDisplay();
    }
}

void ListView_SetTextBkColor(HWND, int) {}

void ListView_SetSelColors(HWND h, const int* colours, int n) {
    LV* lv = SHIM_ListViewOf(h);
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!lv && !tv) return;
    auto* list = new std::vector<Color>();
    for (int i = 0; i < std::max(n, 0); ++i) list->push_back(SHIM_ColorOfValue(colours ? colours[i] : 0));
    // A tree view takes them as well.
    std::vector<Color>*& held = lv ? lv->m_selColors : tv->m_selColors;
    delete held;
    held = list;
    if (lv)
        lv->setNeedsDisplay();
    else
        tv->setNeedsDisplay();
}

// --- hit tests, rectangles and scrolling ---------------------------------------------------------------------------

int ListView_HitTest(HWND h, LVHITTESTINFO* info) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !info) return -1;
    info->flags = 0;
    info->iItem = -1;
    FRect vis = VisibleRectOf(lv);
    int x = info->pt.x - static_cast<int>(vis.x), y = info->pt.y - static_cast<int>(vis.y);
    if (x < 0) info->flags |= LVHT_TOLEFT;
    if (x >= vis.width) info->flags |= LVHT_TORIGHT;
    if (y < 0) info->flags |= LVHT_ABOVE;
    if (y >= vis.height) info->flags |= LVHT_BELOW;
    if (info->flags) return info->iItem;
    FPoint p{static_cast<double>(info->pt.x), static_cast<double>(info->pt.y)};
    info->iItem = lv->rowAtPoint(p);
    if (info->iItem < 0)
        info->flags = LVHT_NOWHERE;
    else if (lv->m_status_imagelist && info->pt.x <= lv->rowHeight())
        info->flags = LVHT_ONITEMSTATEICON;
    else
        info->flags = LVHT_ONITEMLABEL;
    return info->iItem;
}

int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || !info) return -1;
    int item = ListView_HitTest(h, info);
    FPoint p{static_cast<double>(info->pt.x), static_cast<double>(info->pt.y)};
    if (p.y < 0 && item < 0) p.y = 0;
    info->iSubItem = lv->logicalColumnAtPoint(p);
    return item;
}

namespace {
BOOL RectOf(LV* lv, int i, int sub, RECT* r) {
    if (!lv || !r || i < 0 || i >= lv->rowCount()) return 0;
    FRect f;
    if (sub < 0) {
        f = lv->rectOfRow(i);
    } else {
        if (sub >= lv->m_cols->GetSize()) return 0;
        int pos = lv->getColumnPos(sub);
        f = pos < 0 ? lv->rectOfRow(i) : lv->frameOfCellAtColumn(pos, i);
    }
    FSize s = lv->intercellSpacing();
    *r = {static_cast<int>(f.x), static_cast<int>(f.y), static_cast<int>(f.x + f.width + s.width),
          static_cast<int>(f.y + f.height + s.height)};
    return TRUE;
}
}  // namespace

BOOL ListView_GetItemRect(HWND h, int i, RECT* r, int) { return RectOf(SHIM_ListViewOf(h), i, -1, r); }

BOOL ListView_GetSubItemRect(HWND h, int i, int sub, int, RECT* r) {
    if (sub < 0) return 0;
    return RectOf(SHIM_ListViewOf(h), i, sub, r);
}

void ListView_EnsureVisible(HWND h, int i, BOOL) {
    LV* lv = SHIM_ListViewOf(h);
    if (!lv || lv->rowCount() == 0) return;
    lv->scrollRowToVisible(std::clamp(i, 0, lv->rowCount() - 1));
}

int ListView_GetTopIndex(HWND h) {
    auto* table = dynamic_cast<ct::TableView*>(shimwnd::AsView(h));
    ScrollView* sv = table ? EnclosingScroll(table) : nullptr;
    if (!sv) return -1;
    return table->rowAtPoint({0, sv->documentVisibleRect().y});
}

int ListView_GetCountPerPage(HWND h) {
    auto* table = dynamic_cast<ct::TableView*>(shimwnd::AsView(h));
    ScrollView* sv = table ? EnclosingScroll(table) : nullptr;
    if (!sv) return 0;
    auto pitch = static_cast<int>(table->rowHeight() + table->intercellSpacing().height);
    return pitch > 0 ? static_cast<int>(sv->documentVisibleRect().height / pitch) : 0;
}

BOOL ListView_Scroll(HWND h, int dx, int dy) {
    auto* table = dynamic_cast<ct::TableView*>(shimwnd::AsView(h));
    ScrollView* sv = table ? EnclosingScroll(table) : nullptr;
    if (!sv) return 0;
    FRect vis = sv->documentVisibleRect();
    FPoint at{vis.x, vis.y};
    if (dx > 0) at.x = vis.right() - 1;
    if (dy > 0) at.y = vis.bottom() - 1;
    int rows = table->numberOfRows(), cols = table->numberOfColumns();
    int row = std::clamp(std::max(table->rowAtPoint(at), 0), 0, std::max(rows - 1, 0));
    int col = std::clamp(std::max(table->columnAtPoint(at), 0), 0, std::max(cols - 1, 0));
    FRect cell = table->frameOfCellAtColumn(col, row);
    int colSteps = cell.width > 0 ? static_cast<int>(dx / cell.width) : 0;
    int rowSteps = cell.height > 0 ? static_cast<int>(dy / cell.height) : 0;
    if (rows > 0) table->scrollRowToVisible(std::clamp(row + rowSteps, 0, rows - 1));
    if (cols > 0) table->scrollColumnToVisible(std::clamp(col + colSteps, 0, cols - 1));
    return TRUE;
}

BOOL ListView_GetScroll(HWND h, POINT* p) {
    auto* table = dynamic_cast<ct::TableView*>(shimwnd::AsView(h));
    ScrollView* sv = table ? EnclosingScroll(table) : nullptr;
    if (p) *p = {0, 0};
    if (!sv) return 0;
    FRect vis = sv->documentVisibleRect();
    if (p) *p = {static_cast<int>(vis.x), static_cast<int>(vis.y)};
    return TRUE;
}
