// The tree view: the window class "SysTreeView32" and the TreeView_*
// functions. The toolkit keeps the items as a tree of HTREEITEM__ records;
// an outline view shows them through a data source that reads the records,
// and selection, clicks and the context menu reach the dialog as Win32
// notifications.
#pragma once

#include <optional>
#include <unordered_set>
#include <vector>

#include "base/BASE_WeightedList.h"
#include "platform/controls/OutlineView.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-controls.h"

// One tree item; HTREEITEM is its address.
struct HTREEITEM__ {
    // Owned items in display order, each weighing 1 (its running weight is
    // its index): an edit anywhere, a step to a neighbour and the index of
    // an item cost O(log n), however many siblings there are.
    using Children = BASE_WeightedList<HTREEITEM__*>;

    HTREEITEM__();
    ~HTREEITEM__();  // with its children, the last first
    HTREEITEM__(const HTREEITEM__&) = delete;
    HTREEITEM__& operator=(const HTREEITEM__&) = delete;

    Shim_vHalvoran_sdh* m_dh;  // the row's object for the outline view; its value is this item
    bool m_haschildren = false;
    char* m_value = nullptr;  // owned UTF-8 text, or null
    Children m_children;
    LPARAM m_param = 0;
    // Where it stands: its parent (null at the top level) and its element
    // in that parent's children (or the top level).
    HTREEITEM__* m_parent = nullptr;
    Children::Handle m_at = Children::kNone;
};
typedef HTREEITEM__* HTREEITEM;

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0xFFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0xFFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0xFFFD)))

enum : UINT { TVIF_TEXT = 1, TVIF_PARAM = 4, TVIF_STATE = 8, TVIF_HANDLE = 0x10, TVIF_CHILDREN = 0x40 };
enum : UINT { TVIS_SELECTED = 2, TVIS_EXPANDED = 0x20 };
enum : UINT { TVE_COLLAPSE = 1, TVE_EXPAND = 2, TVE_TOGGLE = 3 };

struct TVITEM {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    char* pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};

struct TVINSERTSTRUCT {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEM item;
};

struct TVHITTESTINFO {
    POINT pt;
    UINT flags;
    HTREEITEM hItem;
};

struct NMTREEVIEW {
    NMHDR hdr;
    UINT action;
    TVITEM itemOld;
    TVITEM itemNew;
    POINT ptDrag;
};

class Shim_vHalvoran_treeview : public platform::controls::OutlineView,
                                public platform::controls::OutlineViewDataSource,
                                public SHIM_Object {
public:
    explicit Shim_vHalvoran_treeview(platform::appkit::Rect frame = {});
    ~Shim_vHalvoran_treeview() override;

    uint64_t shimAnswers() const override { return SHIM_SEL_TAG | SHIM_SEL_SETTAG | SHIM_SEL_STYLE; }
    int tag() const override { return platform::appkit::Control::tag(); }
    void setTag(int t) override { platform::appkit::Control::setTag(t); }
    LONG getShimStyle() const override { return static_cast<LONG>(style); }
    void setShimStyle(LONG s) override { style = s; }

    // findItem:parOut:idxOut: the item anywhere in this tree, with its
    // parent (null at the top) and its index there. Found at once, however
    // large the tree, without reading a handle that may be gone; the index
    // costs O(log n) in its siblings.
    bool findItem(HTREEITEM item, HTREEITEM* parentOut, int* indexOut);
    // The list an item of this tree stands in: its parent's children, or
    // the top level.
    HTREEITEM__::Children& siblingsOf(HTREEITEM item) { return item->m_parent ? item->m_parent->m_children : m_items; }

    // OutlineViewDataSource
    int outlineNumberOfChildren(OutlineView*, void* item) override;
    bool outlineIsItemExpandable(OutlineView*, void* item) override;
    void* outlineChild(OutlineView*, int index, void* item) override;
    std::string outlineObjectValue(OutlineView*, platform::controls::TableColumn*, void* item) override;

    void mouseDown(const platform::appkit::Event& e) override;
    void mouseDragged(const platform::appkit::Event&) override {}
    void mouseUp(const platform::appkit::Event& e) override;
    void rightMouseUp(const platform::appkit::Event& e);
    void highlightSelectionInClipRect(platform::controls::Painter& p, const platform::appkit::FRect& clip) override;
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    bool m_fakerightmouse = false;
    long style = 0;
    HTREEITEM__::Children m_items;         // the top level
    std::unordered_set<HTREEITEM> m_live;  // every item of the tree
    std::optional<platform::appkit::Color> m_fgColor;
    std::vector<platform::appkit::Color>* m_selColors = nullptr;

private:
    // Sends a click notification (the 32-byte record) to the target.
    LRESULT notifyClick(int code);
};

// The live toolkit tree view behind a handle, or null.
Shim_vHalvoran_treeview* SHIM_TreeViewOf(HWND h);
// The item a row of a tree view shows, or null.
HTREEITEM SHIM_TreeItemOfRow(Shim_vHalvoran_treeview* tv, int row);

HTREEITEM TreeView_InsertItem(HWND h, TVINSERTSTRUCT* ins);
void TreeView_DeleteItem(HWND h, HTREEITEM item);
BOOL TreeView_Expand(HWND h, HTREEITEM item, UINT flag);
HTREEITEM TreeView_GetSelection(HWND h);
void TreeView_SelectItem(HWND h, HTREEITEM item);
BOOL TreeView_GetItem(HWND h, TVITEM* item);
BOOL TreeView_SetItem(HWND h, TVITEM* item);
HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info);
HTREEITEM TreeView_GetRoot(HWND h);
HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item);
HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item);
BOOL TreeView_SetIndent(HWND h, int indent);
void TreeView_SetBkColor(HWND h, int colour);
void TreeView_SetTextColor(HWND h, int colour);
