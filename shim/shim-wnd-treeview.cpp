#include "shim/shim-wnd-treeview.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "shim/shim-kb.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {

// Set while the select and set functions send their notification: a call
// from its handler selects without sending another.
bool g_selectNotifying = false;
bool g_setItemNotifying = false;

bool IsSpecial(HTREEITEM h) {
    auto v = reinterpret_cast<intptr_t>(h);
    return v >= -0x10000 && v <= -0xFFFD;
}

char* CopyText(const char* s) {
    if (!s) return nullptr;
    size_t n = std::strlen(s) + 1;
    auto* out = static_cast<char*>(std::malloc(n));
    if (out) std::memcpy(out, s, n);
    return out;
}

HTREEITEM ItemOf(void* wrapper) {
    return wrapper ? reinterpret_cast<HTREEITEM>(static_cast<Shim_vHalvoran_sdh*>(wrapper)->getValue()) : nullptr;
}

void SendSelChanged(Shim_vHalvoran_treeview* tv, bool& guard) {
    guard = true;
    NMTREEVIEW nm{};
    nm.hdr = {tv, static_cast<UINT_PTR>(tv->tag()), TVN_SELCHANGED};
    SendMessage(GetParent(tv), WM_NOTIFY, static_cast<WPARAM>(tv->tag()), reinterpret_cast<LPARAM>(&nm));
    guard = false;
}

// The item at an element of a list; null for none.
HTREEITEM At(const HTREEITEM__::Children& list, HTREEITEM__::Children::Handle h) {
    return h == HTREEITEM__::Children::kNone ? nullptr : list[h];
}

// Frees every item of a list with its subtree, the last first.
void DestroyAll(HTREEITEM__::Children& list) {
    for (auto h = list.last(); h != HTREEITEM__::Children::kNone; h = list.prev(h)) delete list[h];
    list.clear();
}

}  // namespace

// ---- items

HTREEITEM__::HTREEITEM__() : m_dh(new Shim_vHalvoran_sdh(reinterpret_cast<LPARAM>(this))) {}

HTREEITEM__::~HTREEITEM__() {
    std::free(m_value);
    DestroyAll(m_children);
    delete m_dh;
}

// ---- the view

Shim_vHalvoran_treeview::Shim_vHalvoran_treeview(Rect frame) : OutlineView(frame) { setOutlineDataSource(this); }

Shim_vHalvoran_treeview::~Shim_vHalvoran_treeview() {
    DestroyAll(m_items);
    delete m_selColors;
}

Shim_vHalvoran_treeview* SHIM_TreeViewOf(HWND h) {
    return Responder::isLive(h) ? dynamic_cast<Shim_vHalvoran_treeview*>(h) : nullptr;
}

HTREEITEM SHIM_TreeItemOfRow(Shim_vHalvoran_treeview* tv, int row) { return tv ? ItemOf(tv->itemAtRow(row)) : nullptr; }

bool Shim_vHalvoran_treeview::findItem(HTREEITEM item, HTREEITEM* parentOut, int* indexOut) {
    if (!item || !m_live.count(item)) return false;
    if (parentOut) *parentOut = item->m_parent;
    if (indexOut) *indexOut = static_cast<int>(siblingsOf(item).weightBefore(item->m_at));
    return true;
}

int Shim_vHalvoran_treeview::outlineNumberOfChildren(OutlineView*, void* item) {
    return item ? ItemOf(item)->m_children.size() : m_items.size();
}

bool Shim_vHalvoran_treeview::outlineIsItemExpandable(OutlineView*, void* item) {
    return !item || ItemOf(item)->m_haschildren;
}

void* Shim_vHalvoran_treeview::outlineChild(OutlineView*, int index, void* item) {
    const HTREEITEM__::Children& list = item ? ItemOf(item)->m_children : m_items;
    HTREEITEM child = At(list, list.find(index));
    return child ? child->m_dh : nullptr;
}

std::string Shim_vHalvoran_treeview::outlineObjectValue(OutlineView*, ct::TableColumn*, void* item) {
    HTREEITEM it = ItemOf(item);
    return it && it->m_value ? SHIM_CStringToCFString(it->m_value) : std::string();
}

LRESULT Shim_vHalvoran_treeview::notifyClick(int code) {
    // The header and zeros after it; as long as a tree notice, so that a
    // reader taking it for one reads zeros.
    NMTREEVIEW rec{};
    rec.hdr = {this, static_cast<UINT_PTR>(tag()), code};
    return SendMessage(target(), WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&rec));
}

void Shim_vHalvoran_treeview::mouseDown(const Event& e) {
    if (e.button != MouseButton::Left) return;
    if (e.modifiers.control && IsRightClickEmulateEnabled()) {
        m_fakerightmouse = true;
        return;
    }
    notifyClick(NM_CLICK);
    if (!Responder::isLive(this)) return;
    m_fakerightmouse = false;
    OutlineView::mouseDown(e);
}

void Shim_vHalvoran_treeview::mouseUp(const Event& e) {
    if (e.button == MouseButton::Right || m_fakerightmouse || e.modifiers.control) {
        rightMouseUp(e);
        return;
    }
    OutlineView::mouseUp(e);
}

void Shim_vHalvoran_treeview::rightMouseUp(const Event&) {
    if (!notifyClick(NM_RCLICK) && Responder::isLive(this)) {
        POINT p{};
        GetCursorPos(&p);
        LPARAM lp = static_cast<LPARAM>((static_cast<uint32_t>(p.x) & 0xFFFF) | (static_cast<uint32_t>(p.y) << 16));
        SendMessage(target(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(static_cast<HWND>(this)), lp);
    }
    if (Responder::isLive(this)) m_fakerightmouse = false;
}

void Shim_vHalvoran_treeview::highlightSelectionInClipRect(ct::Painter& p, const FRect& clip) {
    if (m_selColors) {
        size_t i = GetFocus() == static_cast<HWND>(this) ? 0 : 2;
        if (m_selColors->size() > i) {
            int row = selectedRow();
            if (row < 0) return;
            FRect r = rectOfRow(row).intersection(clip);
            if (r.width > 0 && r.height > 0) p.fill(r, (*m_selColors)[i]);
            return;
        }
    }
    OutlineView::highlightSelectionInClipRect(p, clip);
}

// ---- the functions

HTREEITEM TreeView_InsertItem(HWND h, TVINSERTSTRUCT* ins) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv || !ins) return nullptr;
    HTREEITEM parent = ins->hParent;
    if (parent && IsSpecial(parent)) parent = nullptr;
    if (parent && !tv->findItem(parent, nullptr, nullptr)) return nullptr;
    HTREEITEM__::Children& list = parent ? parent->m_children : tv->m_items;

    // The element the item goes before; none: the end.
    HTREEITEM after = ins->hInsertAfter;
    HTREEITEM__::Children::Handle before;
    if (!after || after == TVI_LAST || after == TVI_SORT)
        before = HTREEITEM__::Children::kNone;
    else if (after != TVI_FIRST && tv->findItem(after, nullptr, nullptr) && after->m_parent == parent)
        before = list.next(after->m_at);
    else
        before = list.first();  // TVI_FIRST, or an item not in this list

    auto* item = new HTREEITEM__;
    const TVITEM& src = ins->item;
    if (src.mask & TVIF_CHILDREN) item->m_haschildren = src.cChildren != 0;
    if (src.mask & TVIF_PARAM) item->m_param = src.lParam;
    if (src.mask & TVIF_TEXT) item->m_value = CopyText(src.pszText);
    item->m_parent = parent;
    item->m_at = list.insert(before, item, 1);
    tv->m_live.insert(item);
    tv->insertItem(parent ? parent->m_dh : nullptr, static_cast<int>(list.weightBefore(item->m_at)));
    return item;
}

void TreeView_DeleteItem(HWND h, HTREEITEM item) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv || !tv->findItem(item, nullptr, nullptr)) return;
    tv->removeItem(item->m_dh);
    // The item and its descendants leave the index before they are freed.
    std::vector<HTREEITEM> gone{item};
    while (!gone.empty()) {
        HTREEITEM it = gone.back();
        gone.pop_back();
        tv->m_live.erase(it);
        for (auto c = it->m_children.first(); c != HTREEITEM__::Children::kNone; c = it->m_children.next(c))
            gone.push_back(it->m_children[c]);
    }
    tv->siblingsOf(item).erase(item->m_at);
    delete item;
}

BOOL TreeView_Expand(HWND h, HTREEITEM item, UINT flag) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    // A gone item would be read after it was freed: it is looked up first.
    if (!tv || !tv->findItem(item, nullptr, nullptr)) return 0;
    bool expanded = tv->isItemExpanded(item->m_dh);
    switch (flag) {
        case TVE_EXPAND:
            if (expanded) return 0;
            tv->expandItem(item->m_dh);
            return 1;
        case TVE_COLLAPSE:
            if (!expanded) return 0;
            tv->collapseItem(item->m_dh);
            return 1;
        case TVE_TOGGLE:
            if (expanded)
                tv->collapseItem(item->m_dh);
            else
                tv->expandItem(item->m_dh);
            return 1;
        default:
            return 0;
    }
}

HTREEITEM TreeView_GetSelection(HWND h) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    return tv ? SHIM_TreeItemOfRow(tv, tv->selectedRow()) : nullptr;
}

void TreeView_SelectItem(HWND h, HTREEITEM item) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv) return;
    // Looked up as TreeView_SetItem does: a gone item has no row.
    if (tv->findItem(item, nullptr, nullptr))
        if (int row = tv->rowForItem(item->m_dh); row >= 0) tv->selectRowIndexes({row}, false);
    if (!g_selectNotifying) SendSelChanged(tv, g_selectNotifying);
}

BOOL TreeView_GetItem(HWND h, TVITEM* out) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv || !out || !(out->mask & TVIF_HANDLE) || !out->hItem) return 0;
    // Looked up as TreeView_SetItem does: a gone item gives 0.
    HTREEITEM it = out->hItem;
    if (!tv->findItem(it, nullptr, nullptr)) return 0;
    out->cChildren = it->m_haschildren ? 1 : 0;
    out->lParam = it->m_param;
    if ((out->mask & TVIF_TEXT) && out->pszText && out->cchTextMax > 0) {
        const char* text = it->m_value ? it->m_value : "";
        size_t n = std::min(std::strlen(text), static_cast<size_t>(out->cchTextMax) - 1);
        std::memcpy(out->pszText, text, n);
        out->pszText[n] = 0;
    }
    out->state = 0;
    int row = tv->rowForItem(it->m_dh);
    if (row >= 0 && tv->isRowSelected(row)) out->state |= TVIS_SELECTED;
    if (tv->isItemExpanded(it->m_dh)) out->state |= TVIS_EXPANDED;
    return 1;
}

BOOL TreeView_SetItem(HWND h, TVITEM* in) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv || !in || !(in->mask & TVIF_HANDLE) || !in->hItem) return 0;
    HTREEITEM it = in->hItem;
    if (!tv->findItem(it, nullptr, nullptr)) return 0;
    if (in->mask & TVIF_CHILDREN) it->m_haschildren = in->cChildren != 0;
    if (in->mask & TVIF_PARAM) it->m_param = in->lParam;
    if ((in->mask & TVIF_TEXT) && in->pszText) {
        std::free(it->m_value);
        it->m_value = CopyText(in->pszText);
        InvalidateRect(tv, nullptr, FALSE);
    }
    if ((in->stateMask & TVIS_SELECTED) && (in->state & TVIS_SELECTED)) {
        int row = tv->rowForItem(it->m_dh);
        if (row >= 0) {
            tv->selectRowIndexes({row}, false);
            if (!g_setItemNotifying) SendSelChanged(tv, g_setItemNotifying);
        }
    }
    if (in->stateMask & TVIS_EXPANDED) {
        if (!Responder::isLive(tv) || !tv->findItem(it, nullptr, nullptr)) return 1;
        bool expanded = tv->isItemExpanded(it->m_dh);
        if ((in->state & TVIS_EXPANDED) && !expanded)
            tv->expandItem(it->m_dh);
        else if (!(in->state & TVIS_EXPANDED) && expanded)
            tv->collapseItem(it->m_dh);
    }
    return 1;
}

HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv || !info) return nullptr;
    FPoint p{static_cast<double>(info->pt.x), static_cast<double>(info->pt.y)};
    for (int row = 0; row < tv->numberOfRows(); ++row)
        if (tv->rectOfRow(row).contains(p)) return SHIM_TreeItemOfRow(tv, row);
    return nullptr;
}

HTREEITEM TreeView_GetRoot(HWND h) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    return tv ? At(tv->m_items, tv->m_items.first()) : nullptr;
}

HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv) return nullptr;
    if (!item) return TreeView_GetRoot(h);
    // A gone item would be read after it was freed: it is looked up first.
    return tv->findItem(item, nullptr, nullptr) ? At(item->m_children, item->m_children.first()) : nullptr;
}

HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv) return nullptr;
    if (!item) return TreeView_GetRoot(h);
    if (!tv->findItem(item, nullptr, nullptr)) return nullptr;
    const HTREEITEM__::Children& list = tv->siblingsOf(item);
    return At(list, list.next(item->m_at));
}

BOOL TreeView_SetIndent(HWND h, int indent) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv) return 0;
    tv->setIndentationPerLevel(indent);
    return 1;
}

void TreeView_SetBkColor(HWND h, int colour) {
    if (Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h)) tv->setBackgroundColor(SHIM_ColorOfValue(colour));
}

void TreeView_SetTextColor(HWND h, int colour) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(h);
    if (!tv) return;
    tv->m_fgColor = SHIM_ColorOfValue(colour);
    tv->setNeedsDisplay();
}
