// A 10,000-row owner-data list view in a dialog (headless): the time to
// redraw one page of it (every visible row asks the owner for its texts,
// and its cells are drawn), and the time of one row request on its own
// (one LVN_GETDISPINFO sent to the owner and answered). Then the changes
// that must not grow with the rows already there: children inserted one at
// a time under an expanded tree item, and single deletes of the first
// selected row of a list with every row, or every other row, selected; and
// the edits and steps among the children of one expanded tree item: delete
// the last or the first child, insert after a child or at TVI_FIRST, step
// to the next sibling. No other program is a peer; each change is timed at
// two or three sizes, and the largest, per change, set against the smaller
// ones.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/ratio_table.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-treeview.h"

namespace {

constexpr int kRows = 10000;
long g_requests = 0;

HTREEITEM AddChild(HWND tree, HTREEITEM parent, HTREEITEM after, const char* text) {
    TVINSERTSTRUCT ins{parent, after, {}};
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>(text);
    return TreeView_InsertItem(tree, &ins);
}

// An expanded top-level item, to hold children.
HTREEITEM AddFolder(HWND tree) {
    TVINSERTSTRUCT ins{TVI_ROOT, TVI_LAST, {}};
    ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    ins.item.pszText = const_cast<char*>("Patches");
    ins.item.cChildren = 1;
    HTREEITEM folder = TreeView_InsertItem(tree, &ins);
    TreeView_Expand(tree, folder, TVE_EXPAND);
    return folder;
}

// A tree view whose one expanded item holds a number of children, and what
// the last timed call changed there, undone before the next call.
struct Folder {
    HWND tree = nullptr;
    HTREEITEM folder = nullptr;
    std::vector<HTREEITEM> kids;   // in order
    std::vector<HTREEITEM> added;  // by the last call
    int deletedFirst = 0, deletedLast = 0;

    Folder(HWND t, int n) : tree(t), folder(AddFolder(t)) {
        for (int i = 0; i < n; i++) kids.push_back(AddChild(tree, folder, TVI_LAST, "Bank.hvx"));
    }
    int size() const { return static_cast<int>(kids.size()); }
    void restore() {
        for (HTREEITEM h : added) TreeView_DeleteItem(tree, h);
        added.clear();
        for (int i = std::exchange(deletedFirst, 0) - 1; i >= 0; i--)
            kids[i] = AddChild(tree, folder, TVI_FIRST, "Bank.hvx");
        for (int i = size() - std::exchange(deletedLast, 0); i < size(); i++)
            kids[i] = AddChild(tree, folder, TVI_LAST, "Bank.hvx");
    }
    // Whether the rows show the folder and its children in order.
    bool intact() {
        Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(tree);
        if (tv->numberOfRows() != size() + 1 || SHIM_TreeItemOfRow(tv, 0) != folder) return false;
        for (int i = 0; i < size(); i++)
            if (SHIM_TreeItemOfRow(tv, i + 1) != kids[i]) return false;
        return true;
    }
};

LRESULT Owner(HWND, UINT msg, WPARAM, LPARAM lp) {
    if (msg != WM_NOTIFY) return 0;
    auto* di = reinterpret_cast<NMLVDISPINFO*>(lp);
    if (di->hdr.code != LVN_GETDISPINFO) return 0;
    ++g_requests;
    const LVITEM& it = di->item;
    if (it.iSubItem == 0)
        std::snprintf(it.pszText, static_cast<size_t>(it.cchTextMax), "Program %05d", it.iItem + 1);
    else
        std::snprintf(it.pszText, static_cast<size_t>(it.cchTextMax), "Bank %c / slot %d", 'A' + it.iItem / 128 % 26,
                      it.iItem % 128);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    platform::appkit::Application::setBackend(std::make_unique<platform::appkit::HeadlessBackend>());
    auto window = std::make_unique<platform::appkit::Window>(platform::appkit::Size{420, 560}, "bench");
    static SHIM_DialogResourceIndex r{"bench", "bench", 4 | 0x10, nullptr, 420, 560, nullptr};
    Shim_vHalvoran_hwnd* dlg = Shim_vHalvoran_hwnd::initChild(&r, window.get(), Owner, 0);
    dlg->setHidden(false);
    SHIM_MakeSetCurParms(1, 1, 0, 0, dlg->handle(), false, false);
    HWND h = SHIM_MakeControl("", 1, "SysListView32", LVS_REPORT | LVS_OWNERDATA, 10, 10, 400, 540, 0);
    for (const char* title : {"Program", "Location"}) {
        LVCOLUMN c{LVCF_WIDTH | LVCF_TEXT, 0, 180, const_cast<char*>(title)};
        ListView_InsertColumn(h, 1, &c);
    }
    ListView_SetItemCount(h, kRows);
    Shim_vHalvoran_listview* lv = SHIM_ListViewOf(h);
    lv->reloadData();
    window->show();
    window->display();

    const int page = ListView_GetCountPerPage(h);
    const int cells = (page + 1) * 2;  // a part-shown row at the bottom is drawn too
    long before = g_requests;
    lv->setNeedsDisplay();
    window->display();
    if (page <= 0 || g_requests - before < cells - 2) {
        std::fprintf(stderr, "the list drew %ld cells of a %d-row page\n", g_requests - before, page);
        return 1;
    }
    std::printf("%d rows, %d shown per page, %ld row requests per page\n", kRows, page, g_requests - before);

    HWND list = SHIM_MakeControl("", 2, "SysListView32", LVS_REPORT, 10, 10, 400, 540, 0);
    LVCOLUMN nameColumn{LVCF_WIDTH | LVCF_TEXT, 0, 180, const_cast<char*>("Program")};
    ListView_InsertColumn(list, 0, &nameColumn);
    // rows rows, every step-th of them selected.
    auto fill = [list](int rows, int step) {
        ListView_DeleteAllItems(list);
        char text[32];
        for (int i = 0; i < rows; i++) {
            std::snprintf(text, sizeof text, "Program %05d", i + 1);
            LVITEM it{};
            it.mask = LVIF_TEXT;
            it.iItem = i;
            it.pszText = text;
            ListView_InsertItem(list, &it);
        }
        if (step == 1)
            ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        else
            for (int i = 0; i < rows; i += step) ListView_SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
    };
    auto deleteSelected = [list](int deletes) {
        for (int k = 0; k < deletes; k++) ListView_DeleteItem(list, ListView_GetNextItem(list, -1, LVNI_SELECTED));
    };
    struct ListRun {
        int rows, step, deletes;
    };
    const ListRun listRuns[] = {{kRows, 1, 2000}, {4 * kRows, 1, 8000}, {kRows, 2, 2000}, {2 * kRows, 2, 4000}};
    for (const ListRun& r : listRuns) {
        fill(r.rows, r.step);
        deleteSelected(r.deletes);
        const int selected = (r.rows + r.step - 1) / r.step - r.deletes;
        if (ListView_GetItemCount(list) != r.rows - r.deletes || ListView_GetSelectedCount(list) != selected ||
            ListView_GetNextItem(list, -1, LVNI_SELECTED) != (r.step == 1 ? 0 : r.deletes)) {
            std::fprintf(stderr, "the list kept %d rows, %d selected, the first at %d\n", ListView_GetItemCount(list),
                         ListView_GetSelectedCount(list), ListView_GetNextItem(list, -1, LVNI_SELECTED));
            return 1;
        }
    }

    HWND tree = SHIM_MakeControl("", 3, "SysTreeView32", 0, 10, 10, 400, 540, 0);
    HTREEITEM folder = nullptr;
    auto freshFolder = [&] {
        if (folder) TreeView_DeleteItem(tree, folder);
        folder = AddFolder(tree);
    };
    auto insertChildren = [&](int children) {
        char text[32];
        TVINSERTSTRUCT ins{folder, TVI_LAST, {}};
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = text;
        for (int i = 0; i < children; i++) {
            std::snprintf(text, sizeof text, "Bank %05d.hvx", i + 1);
            TreeView_InsertItem(tree, &ins);
        }
    };
    const int treeRuns[] = {5000, 10000, 20000};
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(tree);
    for (int children : treeRuns) {
        freshFolder();
        insertChildren(children);
        if (tv->numberOfRows() != children + 1 ||
            SHIM_TreeItemOfRow(tv, children) != TreeView_GetNextSibling(tree, SHIM_TreeItemOfRow(tv, children - 1))) {
            std::fprintf(stderr, "the tree shows %d rows\n", tv->numberOfRows());
            return 1;
        }
    }

    // One tree per size, the folder its only top-level item.
    constexpr int kEdits = 500;  // per timed call
    const int folderSizes[] = {80000, 20000, 5000};
    std::vector<std::unique_ptr<Folder>> folders;
    for (int i = 0; i < 3; i++) {
        HWND t = SHIM_MakeControl("", 10 + i, "SysTreeView32", 0, 10, 10, 400, 540, 0);
        folders.push_back(std::make_unique<Folder>(t, folderSizes[i]));
    }
    HTREEITEM volatile stepped = nullptr;  // where the steps ended, kept
    const struct {
        const char* what;
        std::function<void(Folder&)> edit;  // kEdits times
    } treeEdits[] = {
        {"delete the last child",
         [](Folder& f) {
             for (int i = 1; i <= kEdits; i++) TreeView_DeleteItem(f.tree, f.kids[f.size() - i]);
             f.deletedLast = kEdits;
         }},
        {"delete the first child",
         [](Folder& f) {
             for (int i = 0; i < kEdits; i++) TreeView_DeleteItem(f.tree, TreeView_GetChild(f.tree, f.folder));
             f.deletedFirst = kEdits;
         }},
        {"insert after a child in the middle",
         [](Folder& f) {
             for (int i = 0; i < kEdits; i++)
                 f.added.push_back(AddChild(f.tree, f.folder, f.kids[f.size() / 2], "New"));
         }},
        {"insert at TVI_FIRST",
         [](Folder& f) {
             for (int i = 0; i < kEdits; i++) f.added.push_back(AddChild(f.tree, f.folder, TVI_FIRST, "New"));
         }},
        {"TreeView_GetNextSibling from the middle",
         [&stepped](Folder& f) {
             HTREEITEM h = f.kids[f.size() / 2];
             for (int i = 0; i < kEdits; i++) h = TreeView_GetNextSibling(f.tree, h);
             stepped = h;
         }},
    };

    int top = 0;
    platform::controls::TableColumn* first = lv->tableColumns()[0];
    int row = 0;
    std::vector<hvbench::Group> groups = {
        {"redraw one page of a 10,000-row owner-data list (moving down a page each time)",
         "row",
         {{"page redraw", static_cast<double>(page),
           [&] {
               top = (top + page) % (kRows - page);
               ListView_EnsureVisible(h, top + page - 1, FALSE);
               lv->setNeedsDisplay();
               window->display();
           }}}},
        {"one row request: LVN_GETDISPINFO to the owner and its answer",
         "request",
         {{"row request", 1, [&] { lv->tableViewObjectValue(lv, first, row = (row + 7919) % kRows); }}}},
    };
    // The same cost per change at every size is the goal: each group sets
    // its largest size against the smaller ones, per change. The times per
    // change are those of a run of the smallest size in 50 ms.
    hvbench::Group inserts{"children inserted one at a time under an expanded tree item", "insert", {}, true};
    for (int children : {20000, 10000, 5000})
        inserts.cases.push_back({std::to_string(children) + " children", static_cast<double>(children),
                                 [&, children] { insertChildren(children); }, children == 20000 ? 0 : 1.5, 10e-6,
                                 freshFolder});
    groups.push_back(std::move(inserts));
    for (int step : {1, 2}) {
        hvbench::Group deletes{step == 1 ? "single deletes of the first selected row, every row selected"
                                         : "single deletes of the first selected row, every other row selected",
                               "delete",
                               {},
                               true};
        for (const ListRun& r : listRuns)
            if (r.step == step)
                deletes.cases.insert(deletes.cases.begin(),
                                     {std::to_string(r.deletes) + " of " + std::to_string(r.rows) + " rows",
                                      static_cast<double>(r.deletes), [&, r] { deleteSelected(r.deletes); }, 0, 25e-6,
                                      [&, r] { fill(r.rows, r.step); }});
        deletes.cases.back().target = 1.5;
        groups.push_back(std::move(deletes));
    }
    // Each edit of the tree costs about the same among 4 and 16 times fewer
    // children.
    const double growthLimits[] = {0, 1.5, 2.0};
    for (const auto& e : treeEdits) {
        hvbench::Group g{std::string("tree: ") + e.what, "op", {}, true};
        for (size_t i = 0; i < folders.size(); i++) {
            Folder& f = *folders[i];
            g.cases.push_back({std::to_string(f.size()) + " children", static_cast<double>(kEdits),
                               [&f, &e] { e.edit(f); }, growthLimits[i], 0, [&f] { f.restore(); }});
        }
        groups.push_back(std::move(g));
    }
    const int misses = hvbench::runTable("owner-data list view", groups, opt);
    for (auto& f : folders) {
        f->restore();
        if (!f->intact()) {
            std::fprintf(stderr, "the tree of %d children lost its order\n", f->size());
            return 1;
        }
    }
    return misses ? 1 : 0;
}
