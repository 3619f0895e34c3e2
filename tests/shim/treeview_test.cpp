// The tree view headless: insertion places, expanders and expansion, item
// reads into short buffers, walking, hit tests, deletion of subtrees and
// stale handles, the re-entrant select, clicks, right clicks and their
// context menu, double clicks, the colours of a selected row, and rows that
// follow long runs of changes.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-kb.h"
#include "shim/shim-wnd-treeview.h"
#include "controls_fixture.h"

using namespace platform::appkit;

namespace {

class TreeViews : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        tree_ = SHIM_MakeControl("", 7, "SysTreeView32", 0, 0, 0, 200, 200, 0);
        tv_ = SHIM_TreeViewOf(tree_);
        ASSERT_TRUE(tv_);
    }
    // Answers NM_RCLICK; the notice is recorded all the same.
    void answerRightClick(LRESULT answer) {
        hook() = [answer](HWND, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (msg != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lp)->code != NM_RCLICK || !answer) return 0;
            notes().push_back({msg, static_cast<int>(wp), NM_RCLICK, lp, {}});
            return answer;
        };
    }
    HTREEITEM add(HTREEITEM parent, const char* text, HTREEITEM after = TVI_LAST, int children = -1) {
        TVINSERTSTRUCT ins{};
        ins.hParent = parent;
        ins.hInsertAfter = after;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM | (children >= 0 ? UINT(TVIF_CHILDREN) : 0u);
        ins.item.pszText = const_cast<char*>(text);
        ins.item.lParam = text[0];
        ins.item.cChildren = children;
        return TreeView_InsertItem(tree_, &ins);
    }
    std::string text(HTREEITEM it) {
        char buf[64] = {};
        TVITEM t{};
        t.mask = TVIF_HANDLE | TVIF_TEXT;
        t.hItem = it;
        t.pszText = buf;
        t.cchTextMax = sizeof buf;
        return TreeView_GetItem(tree_, &t) ? buf : "(none)";
    }
    // The texts of the list the item starts, in order.
    std::vector<std::string> walk(HTREEITEM first) {
        std::vector<std::string> out;
        for (HTREEITEM it = first; it; it = TreeView_GetNextSibling(tree_, it)) out.push_back(text(it));
        return out;
    }
    // The rows shown: each item's text indented by its level, with * for a
    // selected row.
    std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (int row = 0; row < tv_->numberOfRows(); ++row)
            out.push_back(std::string(tv_->levelForRow(row), ' ') + text(SHIM_TreeItemOfRow(tv_, row)) +
                          (tv_->isRowSelected(row) ? "*" : ""));
        return out;
    }
    // WM_NOTIFY codes, with 0 for WM_CONTEXTMENU.
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const ControlNote& n : notes())
            if (n.msg == WM_NOTIFY || n.msg == WM_CONTEXTMENU) out.push_back(n.msg == WM_CONTEXTMENU ? 0 : n.code);
        return out;
    }
    // A point inside a row, in window coordinates.
    Point rowPoint(int row, double x = 60) {
        FRect r = tv_->rectOfRow(row);
        return tv_->convertToWindow({static_cast<int>(x), static_cast<int>(r.y + r.height / 2)});
    }
    void press(Point at, MouseButton b = MouseButton::Left, bool control = false, int clicks = 1) {
        for (EventType t : {EventType::MouseDown, EventType::MouseUp}) {
            Event e = Event::mouse(t, at, b, clicks);
            e.modifiers.control = control;
            window->sendEvent(e);
        }
    }

    HWND tree_ = nullptr;
    Shim_vHalvoran_treeview* tv_ = nullptr;
};

}  // namespace

TEST_F(TreeViews, InsertionPlaces) {
    HTREEITEM a = add(TVI_ROOT, "a");
    HTREEITEM b = add(nullptr, "b");
    add(TVI_ROOT, "0", TVI_FIRST);
    add(TVI_ROOT, "z", TVI_SORT);  // at the end, not sorted
    add(TVI_ROOT, "a2", a);
    HTREEITEM c1 = add(b, "c1");
    add(b, "c0", a);  // after another parent's item: first
    add(b, "c2", c1);
    EXPECT_EQ(walk(TreeView_GetRoot(tree_)), (std::vector<std::string>{"0", "a", "a2", "b", "z"}));
    EXPECT_EQ(walk(TreeView_GetChild(tree_, nullptr)), walk(TreeView_GetRoot(tree_)));
    EXPECT_EQ(walk(TreeView_GetChild(tree_, b)), (std::vector<std::string>{"c0", "c1", "c2"}));
    EXPECT_EQ(TreeView_GetChild(tree_, a), nullptr);

    HTREEITEM stray = reinterpret_cast<HTREEITEM>(&notes());
    EXPECT_EQ(add(stray, "x"), nullptr);
    EXPECT_EQ(TreeView_InsertItem(tree_, nullptr), nullptr);
    EXPECT_EQ(TreeView_InsertItem(dlg, nullptr), nullptr);
    EXPECT_EQ(tv_->numberOfRows(), 5);  // b is collapsed
    EXPECT_EQ(TreeView_GetRoot(dlg), nullptr);
    EXPECT_EQ(TreeView_SetIndent(dlg, 4), 0);
    EXPECT_EQ(TreeView_SetIndent(tree_, 4), 1);
}

TEST_F(TreeViews, ExpandersFollowTheChildrenFlagAndExpansionAnswers) {
    HTREEITEM flagged = add(TVI_ROOT, "flagged", TVI_LAST, 1);
    HTREEITEM parent = add(TVI_ROOT, "parent", TVI_LAST, 0);
    add(parent, "child");
    EXPECT_FALSE(tv_->expanderRect(0).isEmpty());
    EXPECT_TRUE(tv_->expanderRect(1).isEmpty());

    TreeView_SetItem(tree_, [&] {
        static TVITEM t{};
        t = {};
        t.mask = TVIF_HANDLE | TVIF_CHILDREN;
        t.hItem = parent;
        t.cChildren = 1;
        return &t;
    }());
    struct Case {
        UINT flag;
        BOOL result;
        int rows;
    } cases[] = {
        {TVE_EXPAND, 1, 3},
        {TVE_EXPAND, 0, 3},
        {TVE_COLLAPSE, 1, 2},
        {TVE_COLLAPSE, 0, 2},
        {TVE_TOGGLE, 1, 3},
        {TVE_TOGGLE, 1, 2},
        {0, 0, 2},
        {7, 0, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TreeView_Expand(tree_, parent, c.flag), c.result) << c.flag;
        EXPECT_EQ(tv_->numberOfRows(), c.rows) << c.flag;
    }
    EXPECT_EQ(TreeView_Expand(tree_, nullptr, TVE_EXPAND), 0);
    // Flagged, with no children yet: it expands to nothing.
    EXPECT_EQ(TreeView_Expand(tree_, flagged, TVE_EXPAND), 1);
    EXPECT_EQ(tv_->numberOfRows(), 2);
}

TEST_F(TreeViews, ItemsReadIntoShortBuffersWithTheirState) {
    HTREEITEM it = add(TVI_ROOT, "hello", TVI_LAST, 1);
    add(it, "kid");
    TreeView_Expand(tree_, it, TVE_EXPAND);
    TreeView_SelectItem(tree_, it);
    struct Case {
        UINT mask;
        int cch;
        const char* buf;  // what the 8-byte buffer starts with
        BOOL result;
    } cases[] = {
        {TVIF_HANDLE | TVIF_TEXT, 8, "hello", 1}, {TVIF_HANDLE | TVIF_TEXT, 3, "he", 1},
        {TVIF_HANDLE | TVIF_TEXT, 1, "", 1},      {TVIF_HANDLE | TVIF_TEXT, 0, "xxxxxxx", 1},
        {TVIF_HANDLE, 8, "xxxxxxx", 1},           {TVIF_TEXT, 8, "xxxxxxx", 0},
    };
    for (const auto& c : cases) {
        char buf[8] = "xxxxxxx";
        TVITEM t{};
        t.mask = c.mask;
        t.hItem = it;
        t.pszText = buf;
        t.cchTextMax = c.cch;
        EXPECT_EQ(TreeView_GetItem(tree_, &t), c.result);
        EXPECT_STREQ(buf, c.buf) << c.cch;
        if (!c.result) continue;
        EXPECT_EQ(t.cChildren, 1);
        EXPECT_EQ(t.lParam, 'h');
        EXPECT_EQ(t.state, UINT(TVIS_SELECTED | TVIS_EXPANDED));
    }
}

TEST_F(TreeViews, HitTestsAndDeletionOfSubtrees) {
    HTREEITEM a = add(TVI_ROOT, "a", TVI_LAST, 1);
    HTREEITEM kid = add(a, "kid", TVI_LAST, 1);
    HTREEITEM grandkid = add(kid, "grandkid");
    HTREEITEM b = add(TVI_ROOT, "b");
    TreeView_Expand(tree_, a, TVE_EXPAND);
    TreeView_Expand(tree_, kid, TVE_EXPAND);
    ASSERT_EQ(tv_->numberOfRows(), 4);
    FRect last = tv_->rectOfRow(3);
    struct Hit {
        int x, y;
        HTREEITEM item;
    } hits[] = {
        {5, static_cast<int>(tv_->rectOfRow(0).y), a},
        {5, static_cast<int>(tv_->rectOfRow(2).y + 3), grandkid},
        {5, static_cast<int>(last.bottom()), nullptr},
        {5, static_cast<int>(last.bottom()) + 40, nullptr},
    };
    for (const auto& h : hits) {
        TVHITTESTINFO info{{h.x, h.y}, 0, nullptr};
        EXPECT_EQ(TreeView_HitTest(tree_, &info), h.item) << h.y;
    }
    TreeView_SelectItem(tree_, grandkid);
    TreeView_DeleteItem(tree_, a);
    EXPECT_EQ(tv_->numberOfRows(), 1);
    EXPECT_EQ(TreeView_GetSelection(tree_), nullptr);
    // The subtree's handles are gone: reading them gives nothing.
    for (HTREEITEM gone : {a, kid, grandkid}) {
        EXPECT_EQ(text(gone), "(none)");
        EXPECT_EQ(TreeView_GetNextSibling(tree_, gone), nullptr);
        EXPECT_EQ(TreeView_GetChild(tree_, gone), nullptr);
        EXPECT_EQ(TreeView_Expand(tree_, gone, TVE_TOGGLE), 0);
        notes().clear();
        TreeView_SelectItem(tree_, gone);
        EXPECT_EQ(TreeView_GetSelection(tree_), nullptr);
        EXPECT_EQ(codes(), std::vector<int>{TVN_SELCHANGED});
    }
    TreeView_DeleteItem(tree_, a);  // twice: nothing
    EXPECT_EQ(walk(TreeView_GetRoot(tree_)), std::vector<std::string>{"b"});
    EXPECT_EQ(TreeView_GetNextSibling(tree_, b), nullptr);
}

TEST_F(TreeViews, SelectingFromTheSelectionNoticeSendsNoSecondNotice) {
    HTREEITEM a = add(TVI_ROOT, "a");
    HTREEITEM b = add(TVI_ROOT, "b");
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == TVN_SELCHANGED)
            TreeView_SelectItem(tree_, b);
        return 0;
    };
    TreeView_SelectItem(tree_, a);
    EXPECT_EQ(codes(), std::vector<int>{TVN_SELCHANGED});
    EXPECT_EQ(TreeView_GetSelection(tree_), b);

    // SetItem selects through a guard of its own.
    notes().clear();
    hook() = nullptr;
    TVITEM t{};
    t.mask = TVIF_HANDLE | TVIF_TEXT;
    t.hItem = a;
    t.stateMask = TVIS_SELECTED;
    t.state = TVIS_SELECTED;
    t.pszText = const_cast<char*>("renamed");
    EXPECT_EQ(TreeView_SetItem(tree_, &t), 1);
    EXPECT_EQ(codes(), std::vector<int>{TVN_SELCHANGED});
    EXPECT_EQ(TreeView_GetSelection(tree_), a);
    EXPECT_EQ(text(a), "renamed");
    // Clearing the selection bit does nothing.
    t.state = 0;
    notes().clear();
    EXPECT_EQ(TreeView_SetItem(tree_, &t), 1);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(TreeView_GetSelection(tree_), a);
}

TEST_F(TreeViews, ClicksRightClicksAndDoubleClicksNotifyTheDialog) {
    HTREEITEM a = add(TVI_ROOT, "a", TVI_LAST, 1);
    add(a, "kid");
    add(TVI_ROOT, "b");
    press(rowPoint(1));
    EXPECT_EQ(codes(), (std::vector<int>{NM_CLICK, TVN_SELCHANGED}));
    // A click on the expander expands without selecting.
    notes().clear();
    FRect ex = tv_->expanderRect(0);
    press(tv_->convertToWindow({static_cast<int>(ex.x + ex.width / 2), static_cast<int>(ex.y + ex.height / 2)}));
    EXPECT_EQ(tv_->numberOfRows(), 3);
    EXPECT_EQ(codes(), std::vector<int>{NM_CLICK});
    EXPECT_EQ(text(TreeView_GetSelection(tree_)), "b");

    struct Case {
        bool emulate;
        bool control;
        MouseButton button;
        LRESULT rclickAnswer;
        std::vector<int> codes;  // 0: WM_CONTEXTMENU
    } cases[] = {
        {true, true, MouseButton::Left, 0, {NM_RCLICK, 0}},
        {true, true, MouseButton::Left, 1, {NM_RCLICK}},
        {false, false, MouseButton::Right, 0, {NM_RCLICK, 0}},
        {false, true, MouseButton::Left, 0, {NM_CLICK, NM_RCLICK, 0}},
    };
    for (const auto& c : cases) {
        SHIM_EnableRightClickEmulate(c.emulate);
        notes().clear();
        answerRightClick(c.rclickAnswer);
        press(rowPoint(2), c.button, c.control);
        EXPECT_EQ(codes(), c.codes) << c.emulate << c.control;
    }
    SHIM_EnableRightClickEmulate(false);
    hook() = nullptr;
    notes().clear();
    press(rowPoint(2), MouseButton::Left, false, 2);
    ASSERT_FALSE(codes().empty());
    EXPECT_EQ(codes().back(), NM_DBLCLK);
}

TEST_F(TreeViews, ExpansionAndSelectionFollowTheItemsThemselves) {
    HTREEITEM a = add(TVI_ROOT, "a", TVI_LAST, 1);
    add(a, "a1");
    HTREEITEM b = add(TVI_ROOT, "b", TVI_LAST, 1);
    add(b, "b1");
    TreeView_Expand(tree_, b, TVE_EXPAND);
    TreeView_SelectItem(tree_, b);
    // Items added before them move their rows, not their state.
    add(TVI_ROOT, "first", TVI_FIRST);
    EXPECT_EQ(TreeView_GetSelection(tree_), b);
    EXPECT_EQ(tv_->rowForItem(b->m_dh), 2);
    TVITEM t{};
    t.mask = TVIF_HANDLE;
    t.hItem = b;
    TreeView_GetItem(tree_, &t);
    EXPECT_EQ(t.state, UINT(TVIS_SELECTED | TVIS_EXPANDED));
    t.hItem = a;
    TreeView_GetItem(tree_, &t);
    EXPECT_EQ(t.state, 0u);
    // An item made where a deleted one stood starts collapsed.
    TreeView_DeleteItem(tree_, b);
    HTREEITEM again = add(TVI_ROOT, "again", TVI_LAST, 1);
    add(again, "x");
    t.hItem = again;
    TreeView_GetItem(tree_, &t);
    EXPECT_EQ(t.state & TVIS_EXPANDED, 0u);
}

TEST_F(TreeViews, SelectedRowsTakeTheSelectionColoursWhileFocused) {
    HTREEITEM a = add(TVI_ROOT, "a");
    add(TVI_ROOT, "b");
    const int colours[] = {0x000080, 0xFFFF00, 0x808080, 0x00FF00};
    ListView_SetSelColors(tree_, colours, 4);
    TreeView_SetTextColor(tree_, 0xFF0000);
    TreeView_SelectItem(tree_, a);
    window->makeKeyAndOrderFront();
    auto textColourOf = [&](int row) {
        auto* cell = dynamic_cast<platform::controls::TextFieldCell*>(tv_->tableColumns()[0]->dataCell());
        static_cast<Shim_vHalvoran_hwnd*>(dynamic_cast<View*>(dlg))->tableViewWillDisplayCell(tv_, cell, nullptr, row);
        return cell->textColor();
    };
    struct Case {
        bool focused;
        int row;
        Color want;
    } cases[] = {
        {true, 0, SHIM_ColorOfValue(0xFFFF00)},
        {false, 0, SHIM_ColorOfValue(0x00FF00)},
        {true, 1, SHIM_ColorOfValue(0xFF0000)},
    };
    for (const auto& c : cases) {
        window->makeFirstResponder(c.focused ? static_cast<View*>(tv_) : nullptr);
        EXPECT_EQ(textColourOf(c.row), c.want) << c.focused << c.row;
    }
    // The selected row's background: entry 0 with the focus, entry 2 without.
    for (bool focused : {true, false}) {
        window->makeFirstResponder(focused ? static_cast<View*>(tv_) : nullptr);
        tv_->setNeedsDisplay();
        window->display();
        Point p = rowPoint(0, 150);
        EXPECT_EQ(window->pixelAt(p.x, p.y), focused ? 0x000080u : 0x808080u) << focused;
    }
    // One pair only: without the focus the foreground colour serves.
    ListView_SetSelColors(tree_, colours, 2);
    window->makeFirstResponder(nullptr);
    EXPECT_EQ(textColourOf(0), SHIM_ColorOfValue(0xFF0000));
    TreeView_SetBkColor(tree_, 0x102030);
    EXPECT_EQ(tv_->backgroundColor(), SHIM_ColorOfValue(0x102030));
}

TEST_F(TreeViews, RowsToldOneChangeAtATimeMatchAFullReload) {
    // Rows, levels and selection after each change, against the view asked
    // for the whole tree again.
    HTREEITEM a = add(TVI_ROOT, "a", TVI_LAST, 1);
    HTREEITEM a1 = add(a, "a1", TVI_LAST, 1);
    add(a1, "a1x");
    HTREEITEM b = add(TVI_ROOT, "b", TVI_LAST, 1);
    HTREEITEM b1 = add(b, "b1");
    TreeView_Expand(tree_, a, TVE_EXPAND);
    TreeView_Expand(tree_, a1, TVE_EXPAND);
    HTREEITEM a2 = add(a, "a2");
    TreeView_SelectItem(tree_, a2);
    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> want;
    } steps[] = {
        {"first child", [&] { add(a, "a0", TVI_FIRST); }, {"a", " a0", " a1", "  a1x", " a2*", "b"}},
        {"after a shown subtree", [&] { add(a, "a1+", a1); }, {"a", " a0", " a1", "  a1x", " a1+", " a2*", "b"}},
        {"under a collapsed item", [&] { add(b, "b2"); }, {"a", " a0", " a1", "  a1x", " a1+", " a2*", "b"}},
        {"top level first",
         [&] { add(TVI_ROOT, "0", TVI_FIRST); },
         {"0", "a", " a0", " a1", "  a1x", " a1+", " a2*", "b"}},
        {"a shown subtree deleted", [&] { TreeView_DeleteItem(tree_, a1); }, {"0", "a", " a0", " a1+", " a2*", "b"}},
        {"a hidden item deleted", [&] { TreeView_DeleteItem(tree_, b1); }, {"0", "a", " a0", " a1+", " a2*", "b"}},
        {"the selected item deleted", [&] { TreeView_DeleteItem(tree_, a2); }, {"0", "a", " a0", " a1+", "b"}},
        {"an expanded parent deleted", [&] { TreeView_DeleteItem(tree_, a); }, {"0", "b"}},
        {"b opened", [&] { TreeView_Expand(tree_, b, TVE_EXPAND); }, {"0", "b", " b2"}},
    };
    for (const auto& s : steps) {
        s.change();
        EXPECT_EQ(shown(), s.want) << s.what;
        tv_->reloadData();
        EXPECT_EQ(shown(), s.want) << s.what << ", reloaded";
    }
}

TEST_F(TreeViews, RowsFollowLongRunsOfChangesAsTheTreeHasThem) {
    // Items inserted first, last or after a sibling under parents at every
    // depth, deleted with their subtrees, expanded, collapsed and selected,
    // drawn from a fixed seed. After each change the rows, told one change
    // at a time, against the tree walked through its items; each row's item
    // found at its row; and the selection never on another item.
    std::mt19937 rng(5);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    std::vector<HTREEITEM> items;
    HTREEITEM chosen = nullptr;
    std::function<void(HTREEITEM, int, std::vector<std::string>&)> walkShown = [&](HTREEITEM first, int level,
                                                                                   std::vector<std::string>& out) {
        for (HTREEITEM it = first; it; it = TreeView_GetNextSibling(tree_, it)) {
            out.push_back(std::string(level, ' ') + text(it) + (it == TreeView_GetSelection(tree_) ? "*" : ""));
            TVITEM t{};
            t.mask = TVIF_HANDLE;
            t.hItem = it;
            if (TreeView_GetItem(tree_, &t) && (t.state & TVIS_EXPANDED))
                walkShown(TreeView_GetChild(tree_, it), level + 1, out);
        }
    };
    for (int step = 0; step < 300; ++step) {
        const size_t action = items.empty() ? 0 : pick(10);
        HTREEITEM some = items.empty() ? nullptr : items[pick(items.size())];
        if (action < 5) {
            HTREEITEM parent = !some || pick(4) == 0 ? TVI_ROOT : some;
            HTREEITEM after = pick(2) ? TVI_LAST : TVI_FIRST;
            for (HTREEITEM c = TreeView_GetChild(tree_, parent == TVI_ROOT ? nullptr : parent); c && pick(3);
                 c = TreeView_GetNextSibling(tree_, c))
                after = c;
            items.push_back(add(parent, ("i" + std::to_string(step)).c_str(), after, 1));
        } else if (action < 7) {
            TreeView_DeleteItem(tree_, some);
            std::erase_if(items, [&](HTREEITEM it) { return !tv_->findItem(it, nullptr, nullptr); });
            if (chosen && !tv_->findItem(chosen, nullptr, nullptr)) chosen = nullptr;
        } else if (action < 9) {
            TreeView_Expand(tree_, some, TVE_TOGGLE);
        } else {
            // An item not shown has no row to select: the selection stays.
            if (tv_->rowForItem(some->m_dh) >= 0) chosen = some;
            TreeView_SelectItem(tree_, some);
        }
        std::vector<std::string> want;
        walkShown(TreeView_GetRoot(tree_), 0, want);
        ASSERT_EQ(shown(), want) << step;
        for (int row = 0; row < tv_->numberOfRows(); ++row)
            ASSERT_EQ(tv_->rowForItem(SHIM_TreeItemOfRow(tv_, row)->m_dh), row) << step;
        HTREEITEM selected = TreeView_GetSelection(tree_);
        ASSERT_TRUE(!selected || selected == chosen) << step;
        if (step % 50 == 49) {
            tv_->reloadData();
            ASSERT_EQ(shown(), want) << step << ", reloaded";
        }
    }
}
