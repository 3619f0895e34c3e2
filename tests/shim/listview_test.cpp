// The list view: rows and sub-items, item state and its change notification,
// the stable sort, columns in logical and display order, hit tests,
// rectangles and scrolling, owner data, the mouse with its drag threshold,
// and the list-box messages.
#include "controls_fixture.h"

#include <cstring>
#include <random>

#include "shim/shim-gdi-image.h"
#include "shim/shim-gdi.h"
#include "shim/shim-kb.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

namespace ak = platform::appkit;
namespace ct = platform::controls;
using ak::EventType;

namespace {

class ListView : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        h = SHIM_MakeControl("", 7, "SysListView32", LVS_REPORT, 0, 0, 300, 200, 0);
        lv = SHIM_ListViewOf(h);
        for (int w : {100, 80, 60}) {
            LVCOLUMN c{LVCF_WIDTH | LVCF_TEXT, 0, w, const_cast<char*>("title")};
            ListView_InsertColumn(h, 0, &c);
        }
    }
    void addRows(int n) {
        for (int i = 0; i < n; ++i) {
            std::string t = "row" + std::to_string(i);
            LVITEM it{LVIF_TEXT | LVIF_PARAM, i, 0, 0, 0, t.data(), 0, 0, 100 + i};
            ListView_InsertItem(h, &it);
        }
    }
    std::string text(int row, int sub = 0) {
        char buf[64];
        ListView_GetItemText(h, row, sub, buf, sizeof buf);
        return buf;
    }
    // A window point on a row: the header is 17 high, rows 19 apart.
    static ak::Point at(int row, int x = 10) { return {x, 17 + row * 19 + 8}; }

    HWND h = nullptr;
    Shim_vHalvoran_listview* lv = nullptr;
};

int SameForAll(LPARAM, LPARAM, LPARAM) { return 0; }
int ByParity(LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(a % 2) - static_cast<int>(b % 2); }

}  // namespace

TEST_F(ListView, RowsInsertPadAndReadBack) {
    addRows(3);
    LVITEM first{LVIF_TEXT, -1, 0, 0, 0, const_cast<char*>("first"), 0, 0, 0};
    EXPECT_EQ(ListView_InsertItem(h, &first), 0);
    LVITEM bad{LVIF_TEXT, 0, 2, 0, 0, const_cast<char*>("x"), 0, 0, 0};
    EXPECT_EQ(ListView_InsertItem(h, &bad), 0);
    EXPECT_EQ(ListView_InsertItem(h, nullptr), 0);
    EXPECT_EQ(ListView_GetItemCount(h), 4);
    ListView_SetItemText(h, 1, 3, "three");
    EXPECT_EQ(text(1, 0), "row0");
    EXPECT_EQ(text(1, 1), "");
    EXPECT_EQ(text(1, 2), "");
    EXPECT_EQ(text(1, 3), "three");
    EXPECT_EQ(lv->row(1)->m_vals.GetSize(), 4);
    ListView_SetItemText(h, 1, 32, "ignored");
    EXPECT_EQ(lv->row(1)->m_vals.GetSize(), 4);
    char small[4];
    ListView_GetItemText(h, 1, 0, small, sizeof small);
    EXPECT_STREQ(small, "row");
    LVITEM got{LVIF_PARAM | LVIF_STATE, 2, 0, 0, LVIS_SELECTED, nullptr, 0, 0, 0};
    EXPECT_TRUE(ListView_GetItem(h, &got));
    EXPECT_EQ(got.lParam, 101);
    ListView_DeleteItem(h, 0);
    EXPECT_EQ(text(0), "row0");
}

TEST_F(ListView, SelectionFollowsInsertsAndDeletes) {
    addRows(5);
    ListView_SetItemState(h, 1, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(h, 3, LVIS_SELECTED, LVIS_SELECTED);
    LVITEM it{LVIF_TEXT, 2, 0, 0, 0, const_cast<char*>("new"), 0, 0, 0};
    ListView_InsertItem(h, &it);
    EXPECT_EQ(lv->selectedRowIndexes(), (ct::IndexSet{1, 4}));
    ListView_DeleteItem(h, 0);
    EXPECT_EQ(lv->selectedRowIndexes(), (ct::IndexSet{0, 3}));
    EXPECT_EQ(ListView_GetNextItem(h, -1, LVNI_SELECTED), 0);
    EXPECT_EQ(ListView_GetNextItem(h, 0, LVNI_SELECTED), 3);
    EXPECT_EQ(ListView_GetNextItem(h, 3, LVNI_SELECTED), -1);
    EXPECT_EQ(ListView_GetNextItem(h, -1, 0), -1);
    EXPECT_EQ(ListView_GetNextItem(h, -1, LVNI_FOCUSED), 3);
    EXPECT_EQ(ListView_GetItemState(h, 3, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(ListView_GetSelectedCount(h), 2);
    ListView_DeleteItem(h, 3);  // the focused row itself
    EXPECT_EQ(lv->selectedRowIndexes(), (ct::IndexSet{0}));
    EXPECT_EQ(ListView_GetNextItem(h, -1, LVNI_FOCUSED), 0);
    EXPECT_EQ(ListView_GetItemCount(h), 4);
    EXPECT_EQ(lv->numberOfRows(), 4);
}

TEST_F(ListView, RowsAndSelectionKeepPlaceThroughLongRunsOfChanges) {
    // Inserts, deletes and selections at rows drawn from a fixed seed; after
    // each, the whole list read back against a plain one.
    std::mt19937 rng(11);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<std::pair<std::string, bool>> model;  // text, selected
    for (int step = 0; step < 400; ++step) {
        const int n = static_cast<int>(model.size()), at = pick(n + 1);
        if (n == 0 || pick(5) < 2) {
            std::string t = "r" + std::to_string(step);
            const bool selected = pick(2) == 0;
            LVITEM it{LVIF_TEXT | LVIF_STATE, at, 0, selected ? LVIS_SELECTED : 0u, LVIS_SELECTED, t.data(), 0, 0, 0};
            ASSERT_EQ(ListView_InsertItem(h, &it), at);
            model.insert(model.begin() + at, {t, selected});
        } else if (pick(2) == 0) {
            ListView_DeleteItem(h, at % n);
            model.erase(model.begin() + at % n);
        } else {
            auto& row = model[static_cast<size_t>(at % n)];
            row.second = !row.second;
            ListView_SetItemState(h, at % n, row.second ? LVIS_SELECTED : 0u, LVIS_SELECTED);
        }
        ASSERT_EQ(ListView_GetItemCount(h), static_cast<int>(model.size())) << step;
        std::vector<int> selected;
        for (int i = 0; i < static_cast<int>(model.size()); ++i) {
            ASSERT_EQ(text(i), model[static_cast<size_t>(i)].first) << step;
            if (model[static_cast<size_t>(i)].second) selected.push_back(i);
        }
        std::vector<int> walked;
        for (int i = ListView_GetNextItem(h, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(h, i, LVNI_SELECTED))
            walked.push_back(i);
        ASSERT_EQ(walked, selected) << step;
        ASSERT_EQ(ListView_GetSelectedCount(h), static_cast<int>(selected.size())) << step;
    }
}

TEST_F(ListView, StateChangesNotifyOnceAndNeverForAllRows) {
    addRows(4);
    notes().clear();
    ListView_SetItemState(h, -1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(ListView_GetSelectedCount(h), 4);
    EXPECT_TRUE(notes().empty());
    ListView_SetItemState(h, -1, 0, LVIS_SELECTED);
    // A handler that changes another row's selection hears of its own change only.
    hook() = [this](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == LVN_ITEMCHANGED)
            ListView_SetItemState(h, 3, LVIS_SELECTED, LVIS_SELECTED);
        return 0;
    };
    int heard = 0;
    auto inner = hook();
    hook() = [&](HWND w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == LVN_ITEMCHANGED) ++heard;
        return inner(w, msg, wp, lp);
    };
    EXPECT_TRUE(ListView_SetItemState(h, 1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(lv->selectedRowIndexes(), (ct::IndexSet{1, 3}));
    EXPECT_FALSE(ListView_SetItemState(h, 9, LVIS_SELECTED, LVIS_SELECTED));
    // State images live in bits 16 to 23.
    ListView_SetItemState(h, 0, 3 << 16, LVIS_STATEIMAGEMASK);
    EXPECT_EQ(ListView_GetItemState(h, 0, LVIS_STATEIMAGEMASK), 3u << 16);
}

TEST_F(ListView, SortingIsStableAndKeepsTheSelectedRows) {
    addRows(6);
    ListView_SetItemState(h, 4, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SortItems(h, SameForAll, 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(text(i), "row" + std::to_string(i));
    ListView_SortItems(h, ByParity, 0);
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i) order.push_back(text(i));
    EXPECT_EQ(order, (std::vector<std::string>{"row0", "row2", "row4", "row1", "row3", "row5"}));
    EXPECT_EQ(lv->selectedRowIndexes(), ct::IndexSet{2});
}

TEST_F(ListView, SortedStylesAndListBoxesPlaceTextsInOrder) {
    lv->style |= LVS_SORTDESCENDING;
    for (const char* t : {"b", "c", "a"}) {
        LVITEM it{LVIF_TEXT, 0, 0, 0, 0, const_cast<char*>(t), 0, 0, 0};
        ListView_InsertItem(h, &it);
    }
    EXPECT_EQ(text(0) + text(1) + text(2), "cba");
    HWND box = SHIM_MakeListBox(8, 0, 210, 100, 80, LBS_SORT);
    for (const char* t : {"a", "c"}) SendMessage(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    EXPECT_EQ(SendMessage(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b")), 1);
    HWND plain = SHIM_MakeListBox(9, 110, 210, 100, 80, 0);
    for (const char* t : {"z", "y"}) SendMessage(plain, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    EXPECT_EQ(SendMessage(plain, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("end")), 2);
    char buf[8];
    SendMessage(plain, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(buf, "z");
    SendMessage(plain, LB_SETITEMDATA, 1, 55);
    EXPECT_EQ(SendMessage(plain, LB_GETITEMDATA, 1, 0), 55);
    EXPECT_EQ(SendMessage(plain, LB_GETITEMDATA, 9, 0), 0);
    SendMessage(plain, LB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessage(plain, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessage(plain, LB_GETSEL, 1, 0), 1);
    SendMessage(plain, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(SendMessage(plain, LB_GETSELCOUNT, 0, 0), 0);
    SendMessage(plain, LB_SETSEL, 1, 2);
    EXPECT_EQ(SendMessage(plain, LB_GETCURSEL, 0, 0), 2);
    SendMessage(plain, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessage(plain, LB_GETCOUNT, 0, 0), 2);
    SendMessage(plain, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessage(plain, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessage(plain, 393, 0, 0), 0);
}

TEST_F(ListView, ColumnsKeepLogicalNumbersThroughReordering) {
    LVCOLUMN c{LVCF_WIDTH, 0, 40, nullptr};
    ListView_InsertColumn(h, 0, &c);  // appended, whatever the position
    EXPECT_EQ(ListView_GetColumnWidth(h, 3), 40);
    int order[4];
    ASSERT_TRUE(ListView_GetColumnOrderArray(h, 4, order));
    EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{0, 1, 2, 3}));
    const int want[4] = {3, 0, 1, 2};
    ASSERT_TRUE(ListView_SetColumnOrderArray(h, 4, want));
    ListView_GetColumnOrderArray(h, 4, order);
    EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{3, 0, 1, 2}));
    // Orders that are not a permutation are refused and change nothing.
    const int repeated[4] = {0, 0, 1, 2}, outside[4] = {0, 1, 2, 4};
    for (const int* bad : {repeated, outside, static_cast<const int*>(nullptr)})
        EXPECT_FALSE(ListView_SetColumnOrderArray(h, 4, bad));
    EXPECT_FALSE(ListView_SetColumnOrderArray(h, 3, want));
    ListView_GetColumnOrderArray(h, 4, order);
    EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{3, 0, 1, 2}));
    ListView_SetColumnWidth(h, 1, 0);
    EXPECT_EQ(ListView_GetColumnWidth(h, 1), 0);
    EXPECT_TRUE(ListView_DeleteColumn(h, 0));
    EXPECT_FALSE(ListView_DeleteColumn(h, 3));
    EXPECT_EQ(Header_GetItemCount(h), 3);
    HDITEM hd{HDI_FORMAT, HDF_SORTDOWN};
    EXPECT_TRUE(Header_SetItem(h, 2, &hd));
    HDITEM back{HDI_FORMAT, 0};
    EXPECT_TRUE(Header_GetItem(h, 2, &back));
    EXPECT_EQ(back.fmt, HDF_SORTDOWN);
    EXPECT_FALSE(Header_GetItem(h, 5, &back));
    EXPECT_EQ(ListView_GetHeader(h), h);
    EXPECT_EQ(SHIM_GetListViewHeaderHeight(h), 17);
}

TEST_F(ListView, HitTestsRectanglesAndScrolling) {
    addRows(200);
    struct Case {
        POINT pt;
        UINT flags;
        int item;
    } cases[] = {{{-1, -1}, LVHT_TOLEFT | LVHT_ABOVE, -1},
                 {{10, 5}, LVHT_ONITEMLABEL, 0},
                 {{10, 19 * 199 + 1}, LVHT_BELOW, -1},
                 {{5000, 5}, LVHT_TORIGHT, -1}};
    for (const Case& c : cases) {
        LVHITTESTINFO hit{c.pt, 0, 0, 0};
        EXPECT_EQ(ListView_HitTest(h, &hit), c.item);
        EXPECT_EQ(hit.flags, c.flags) << c.pt.x << "," << c.pt.y;
    }
    LVHITTESTINFO sub{{150, 20}, 0, 0, 0};
    EXPECT_EQ(ListView_SubItemHitTest(h, &sub), 1);
    EXPECT_EQ(sub.iSubItem, 1);
    EXPECT_EQ(ListView_HitTest(h, nullptr), -1);
    RECT r;
    ASSERT_TRUE(ListView_GetSubItemRect(h, 2, 1, 0, &r));
    EXPECT_EQ(r.left, 104);
    EXPECT_EQ(r.top, 39);
    EXPECT_EQ(r.right, 104 + 80 + 3);
    EXPECT_EQ(r.bottom, 39 + 17 + 2);
    EXPECT_FALSE(ListView_GetItemRect(h, 200, &r, 0));
    EXPECT_FALSE(ListView_GetSubItemRect(h, 0, 3, 0, &r));
    int page = ListView_GetCountPerPage(h);
    EXPECT_EQ(page, (200 - 17) / 19);
    ListView_EnsureVisible(h, 500, FALSE);
    EXPECT_EQ(ListView_GetTopIndex(h), 200 - page - 1);
    ListView_EnsureVisible(h, -3, FALSE);
    EXPECT_EQ(ListView_GetTopIndex(h), 0);
    ListView_Scroll(h, 0, 19 * 10);
    POINT p;
    ASSERT_TRUE(ListView_GetScroll(h, &p));
    EXPECT_GT(p.y, 0);
    EXPECT_EQ(ListView_GetTopIndex(nullptr), -1);
}

TEST_F(ListView, PressesBelowTheDragThresholdSelectAndClick) {
    addRows(10);
    mouse(EventType::MouseDown, at(2));
    for (int i = 0; i < 3; ++i) mouse(EventType::MouseDragged, at(2, 12 + i));
    mouse(EventType::MouseUp, at(2, 15));
    EXPECT_EQ(codes(WM_NOTIFY), (std::vector<int>{LVN_ITEMCHANGED, NM_CLICK}));
    EXPECT_EQ(notes().back().nm.iItem, 2);
    EXPECT_EQ(notes().back().nm.lParam, 102);
    notes().clear();
    mouse(EventType::MouseDown, at(5));
    for (int i = 0; i < 6; ++i) mouse(EventType::MouseDragged, at(5, 20 + i));
    mouse(EventType::MouseUp, at(5, 30));
    // The fourth drag begins a drag; later ones move; the release clicks nothing.
    EXPECT_EQ(codes(WM_NOTIFY), (std::vector<int>{LVN_BEGINDRAG}));
    EXPECT_EQ(notes()[0].nm.iItem, 5);
    std::vector<UINT> msgs;
    for (const ControlNote& n : notes()) msgs.push_back(n.msg);
    EXPECT_EQ(msgs, (std::vector<UINT>{WM_NOTIFY, 0x200, 0x200, 0x202}));
    EXPECT_TRUE(lv->isRowSelected(5));
}

TEST_F(ListView, FastClickColumnsClickOnThePressAndKeepTheSelection) {
    addRows(4);
    SHIM_SetListViewFastClickMask(h, 1 << 1);
    mouse(EventType::MouseDown, at(1, 150));
    EXPECT_EQ(codes(WM_NOTIFY), std::vector<int>{NM_CLICK});
    mouse(EventType::MouseUp, at(1, 150));
    EXPECT_EQ(codes(WM_NOTIFY), std::vector<int>{NM_CLICK});
    EXPECT_EQ(ListView_GetSelectedCount(h), 0);
}

TEST_F(ListView, ControlClicksEmulateTheRightButton) {
    addRows(4);
    ListView_SetItemState(h, 0, LVIS_SELECTED, LVIS_SELECTED);
    notes().clear();
    SHIM_EnableRightClickEmulate(true);
    ak::Modifiers ctrl;
    ctrl.control = true;
    mouse(EventType::MouseDown, at(2), 1, ak::MouseButton::Left, ctrl);
    mouse(EventType::MouseUp, at(2), 1, ak::MouseButton::Left, ctrl);
    SHIM_EnableRightClickEmulate(false);
    EXPECT_EQ(lv->selectedRowIndexes(), ct::IndexSet{2});
    std::vector<std::pair<UINT, int>> got;
    for (const ControlNote& n : notes()) got.push_back({n.msg, n.msg == WM_NOTIFY ? n.code : 0});
    // The owner answered 0 to the right click: the context menu follows, then
    // the click that the last press's mode allows.
    EXPECT_EQ(got,
              (std::vector<std::pair<UINT, int>>{{WM_NOTIFY, NM_RCLICK}, {WM_CONTEXTMENU, 0}, {WM_NOTIFY, NM_CLICK}}));
    notes().clear();
    hook() = [](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        return msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == NM_RCLICK;
    };
    mouse(EventType::MouseDown, at(3), 1, ak::MouseButton::Right);
    mouse(EventType::MouseUp, at(3), 1, ak::MouseButton::Right);
    EXPECT_TRUE(notes().empty());  // the hook took the right click
}

TEST_F(ListView, OwnerDataRowsComeFromTheOwner) {
    HWND od = SHIM_MakeControl("", 9, "SysListView32", LVS_OWNERDATA, 0, 0, 200, 100, 0);
    Shim_vHalvoran_listview* o = SHIM_ListViewOf(od);
    ListView_SetItemCount(od, 10000);
    o->reloadData();
    EXPECT_EQ(ListView_GetItemCount(od), 10000);
    LVITEM it{LVIF_TEXT, 0, 0, 0, 0, const_cast<char*>("x"), 0, 0, 0};
    EXPECT_EQ(ListView_InsertItem(od, &it), -1);
    ListView_SetItemText(od, 0, 0, "ignored");
    int asked = 0;
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        auto* di = reinterpret_cast<NMLVDISPINFO*>(lp);
        if (msg != WM_NOTIFY || di->hdr.code != LVN_GETDISPINFO) return 0;
        ++asked;
        EXPECT_EQ(di->item.cchTextMax, 1023);
        EXPECT_EQ(di->item.iImage, -1);
        snprintf(di->item.pszText, static_cast<size_t>(di->item.cchTextMax), "#%d", di->item.iItem);
        return 0;
    };
    EXPECT_EQ(o->tableViewObjectValue(o, o->tableColumns()[0], 9999), "#9999");
    EXPECT_EQ(asked, 1);
    LVITEM st{LVIF_STATE, 9999, 0, 0, LVIS_SELECTED, nullptr, 0, 0, 0};
    ListView_SetItemState(od, 9999, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(ListView_GetItem(od, &st));
    EXPECT_EQ(st.state, LVIS_SELECTED);
    st.iItem = 10000;
    EXPECT_FALSE(ListView_GetItem(od, &st));
}

TEST_F(ListView, OwnerDrawnRowsAskTheDialogWithTheirData) {
    HWND box = SHIM_MakeListBox(4, 0, 210, 100, 60, LBS_OWNERDRAWFIXED);
    Shim_vHalvoran_listview* b = SHIM_ListViewOf(box);
    SendMessage(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
    SendMessage(box, LB_SETITEMDATA, 0, 0x5A);
    auto* cell = dynamic_cast<Shim_vHalvoran_ODlistviewcell*>(b->tableColumns()[0]->dataCell());
    ASSERT_NE(cell, nullptr);
    std::vector<DRAWITEMSTRUCT> drawn;
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        if (msg == WM_DRAWITEM) drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return 0;
    };
    window->show();
    window->display();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn[0].CtlType, static_cast<UINT>(ODT_LISTBOX));
    EXPECT_EQ(drawn[0].CtlID, 4u);
    EXPECT_EQ(drawn[0].itemData, 0x5Au);
    // A cell told of a row past the list draws with no data.
    drawn.clear();
    cell->setItemIdx(7);
    uint32_t pixel = 0;
    ak::Canvas canvas(&pixel, 1, 1, {0, 0}, {0, 0, 1, 1});
    platform::controls::Painter painter(canvas);
    cell->drawInteriorWithFrame(painter, {0, 0, 50, 17}, b);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].itemData, 0u);
}

TEST_F(ListView, StylesImagesColoursAndItemsSetWhole) {
    for (HWND bad : {static_cast<HWND>(nullptr), dlg}) {
        EXPECT_EQ(ListView_GetItemCount(bad), 0);
        EXPECT_FALSE(ListView_DeleteColumn(bad, 0));
        EXPECT_EQ(ListView_GetSelectionMark(bad), 0);
        EXPECT_EQ(ListView_GetHeader(bad), nullptr);
    }
    addRows(3);
    ListView_SetExtendedListViewStyleEx(h, LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP, LVS_EX_GRIDLINES);
    EXPECT_EQ(lv->gridStyleMask(), 3);
    EXPECT_FALSE(lv->allowsColumnReordering());
    ListView_SetBkColor(h, 0x102030);
    ListView_SetGridColor(h, 0x405060);
    EXPECT_EQ(lv->backgroundColor(), SHIM_ColorOfValue(0x102030));
    EXPECT_EQ(lv->gridColor(), SHIM_ColorOfValue(0x405060));
    LVCOLUMN right{LVCF_FMT, LVCFMT_RIGHT, 0, nullptr};
    ListView_SetColumn(h, 1, &right);
    EXPECT_EQ(lv->tableColumns()[1]->headerCell().alignment(), platform::appkit::TextAlignment::Right);
    // An image list puts a status cell in the first column; rows name their image.
    unsigned char px[4] = {255, 255, 0, 0};
    HIMAGELIST images = ImageList_CreateEx();
    HGDIOBJ bmp = CreateBitmap(1, 1, 1, 32, px);
    ImageList_ReplaceIcon(images, -1, bmp);
    ListView_SetImageList(h, images, LVSIL_SMALL);
    auto* status = dynamic_cast<Shim_vHalvoran_statuscell*>(lv->tableColumns()[0]->dataCell());
    ASSERT_NE(status, nullptr);
    LVITEM set{LVIF_IMAGE | LVIF_PARAM | LVIF_TEXT | LVIF_STATE,
               1,
               0,
               LVIS_SELECTED,
               LVIS_SELECTED,
               const_cast<char*>("set"),
               0,
               0,
               9};
    EXPECT_TRUE(ListView_SetItem(h, &set));
    EXPECT_EQ(lv->tableViewObjectValue(lv, lv->tableColumns()[0], 1), "set");
    EXPECT_NE(status->status, nullptr);
    lv->tableViewObjectValue(lv, lv->tableColumns()[0], 0);
    EXPECT_EQ(status->status, nullptr);
    EXPECT_EQ(ListView_GetSelectionMark(h), 1);
    LVHITTESTINFO icon{{5, 19 + 5}, 0, 0, 0};
    ListView_HitTest(h, &icon);
    EXPECT_EQ(icon.flags, LVHT_ONITEMSTATEICON);
    // The status cell's text starts height + 2 in, with or without an image.
    window->show();
    window->display();
    platform::appkit::Point row0 = at(0, 0);
    int firstInk = -1;
    for (int x = 0; x < 60 && firstInk < 0; ++x)
        for (int y = row0.y - 6; y < row0.y + 6; ++y)
            if (window->pixelAt(x, y) != 0x102030) firstInk = x;
    EXPECT_GE(firstInk, 17 + 2);
    ListView_RedrawItems(h, 0, 2);
    ListView_DeleteAllItems(h);
    EXPECT_EQ(ListView_GetItemCount(h), 0);
    ImageList_Destroy(images);
    DeleteObject(bmp);
}

TEST_F(ListView, OwnerDrawnButtonsAskTheDialog) {
    SHIM_MakeControl("od", 12, "Button", BS_OWNERDRAW, 10, 230, 60, 20, 0);
    std::vector<DRAWITEMSTRUCT> drawn;
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM lp) -> LRESULT {
        if (msg == WM_DRAWITEM) drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return 0;
    };
    window->show();
    window->display();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(drawn[0].CtlID, 12u);
    EXPECT_EQ(drawn[0].rcItem.right - drawn[0].rcItem.left, 60);
}
