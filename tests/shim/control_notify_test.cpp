// Control notifications: what a click, a drag, a typed key or a chosen item
// on each kind of control sends to the dialog procedure, radio groups, and
// the colours a list gives its cells.
#include "controls_fixture.h"

#include "platform/controls/TextField.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

namespace ak = platform::appkit;
namespace ct = platform::controls;
using ak::EventType;

using Notify = DialogFixture;

TEST_F(Notify, RadioGroupsEndAtTheNextGroupAndAtOtherControls) {
    // Buttons 1-3 form a group, 4 starts the next, a label stands before 6.
    struct Spec {
        int id, style;
    } specs[] = {{1, BS_AUTORADIOBUTTON | WS_GROUP},
                 {2, BS_AUTORADIOBUTTON},
                 {3, BS_AUTORADIOBUTTON},
                 {4, BS_AUTORADIOBUTTON | WS_GROUP},
                 {5, BS_AUTORADIOBUTTON},
                 {0, -1},
                 {6, BS_AUTORADIOBUTTON}};
    int y = 0;
    for (const Spec& s : specs) {
        if (s.style < 0)
            SHIM_MakeLabel(-1, "between", 99, 0, y, 80, 12, 0);
        else
            SHIM_MakeControl("r", s.id, "Button", s.style, 0, y, 80, 16, 0);
        y += 20;
    }
    for (int id = 1; id <= 6; ++id) CheckDlgButton(dlg, id, BST_CHECKED);
    auto on = [&] {
        std::string s;
        for (int id = 1; id <= 6; ++id) s += IsDlgButtonChecked(dlg, id) ? '1' : '0';
        return s;
    };
    click({10, 8});  // the first of its group: only the ones after it go off
    EXPECT_EQ(on(), "100111");
    for (int id = 1; id <= 6; ++id) CheckDlgButton(dlg, id, BST_CHECKED);
    click({10, 48});  // the third: the group before it, none after
    EXPECT_EQ(on(), "001111");
    click({10, 128});  // after the label: a group of its own
    EXPECT_EQ(on(), "001111");
    click({10, 88});
    EXPECT_EQ(on(), "001011");
    EXPECT_EQ(codes(WM_COMMAND), (std::vector<int>{BN_CLICKED, BN_CLICKED, BN_CLICKED, BN_CLICKED}));
}

TEST_F(Notify, EachKindReportsItsOwnWay) {
    SHIM_MakeButton(0, "push", 1, 0, 0, 60, 20, 0);
    HWND slider = SHIM_MakeControl("", 2, "msctls_trackbar32", 0, 0, 30, 100, 16, 0);
    SHIM_MakeCombo(3, 0, 60, 100, 18, CBS_DROPDOWNLIST);
    SHIM_MakeCombo(4, 0, 90, 100, 18, 0);
    for (int id : {3, 4})
        for (const char* t : {"a", "b", "c"}) SHIM_CB_AddString(dlg, id, t);
    click({10, 10});
    mouse(EventType::MouseDown, {10, 38});
    mouse(EventType::MouseDragged, {60, 38});
    mouse(EventType::MouseUp, {60, 38});
    backend->queueMenuChoice({2});
    click({10, 65});
    backend->queueMenuChoice({1});
    click({95, 100});
    click({10, 100});
    type(U"x");
    std::vector<std::pair<UINT, int>> got;
    for (const ControlNote& n : notes()) got.push_back({n.msg, n.msg == WM_COMMAND ? n.id * 100 + n.code : 0});
    std::vector<std::pair<UINT, int>> want = {{WM_COMMAND, 100 + BN_CLICKED},
                                              {WM_HSCROLL, 0},
                                              {WM_HSCROLL, 0},
                                              {WM_COMMAND, 300 + CBN_SELCHANGE},
                                              {WM_COMMAND, 400 + CBN_DROPDOWN},
                                              {WM_COMMAND, 400 + CBN_SELCHANGE},
                                              {WM_COMMAND, 400 + CBN_EDITCHANGE}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(notes()[1].lp, reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(SHIM_CB_GetCurSel(dlg, 3), 2);
}

TEST_F(Notify, TypingAndEndingEditsSendEditChanges) {
    HWND field = SHIM_MakeEditField(1, 0, 0, 100, 18, 0);
    HWND area = SHIM_MakeEditField(2, 0, 30, 100, 60, WS_VSCROLL);
    click({10, 8});
    type(U"ab");
    char buf[16];
    GetDlgItemText(dlg, 1, buf, sizeof buf);
    EXPECT_STREQ(buf, "ab");
    window->makeFirstResponder(shimwnd::DocumentOf(shimwnd::AsView(area)));
    type(U"z");
    window->makeFirstResponder(shimwnd::AsView(field));
    std::vector<int> ids;
    for (const ControlNote& n : notes()) ids.push_back(n.id * 1000 + n.code);
    EXPECT_EQ(ids, (std::vector<int>{1000 + EN_CHANGE, 1000 + EN_CHANGE, 2000 + EN_CHANGE, 2000 + EN_CHANGE}));
}

TEST_F(Notify, ListBoxesSpeakInCommandsAndListsInNotifications) {
    HWND box = SHIM_MakeListBox(1, 0, 0, 150, 100, 0);
    HWND list = SHIM_MakeControl("", 2, "SysListView32", 0, 160, 0, 150, 100, 0);
    for (HWND h : {box, list})
        for (const char* t : {"one", "two"}) SendMessage(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    click({10, 25});
    click({10, 25}, 2);
    click({170, 25});
    click({170, 25}, 2);
    click({170, 80}, 2);
    std::vector<std::pair<UINT, int>> got;
    for (const ControlNote& n : notes())
        if (n.code != NM_CLICK) got.push_back({n.msg, n.code});
    // A list box of single selection clears it before each press.
    std::vector<std::pair<UINT, int>> want = {{WM_COMMAND, LBN_SELCHANGE}, {WM_COMMAND, LBN_SELCHANGE},
                                              {WM_COMMAND, LBN_DBLCLK},    {WM_NOTIFY, LVN_ITEMCHANGED},
                                              {WM_NOTIFY, NM_DBLCLK},      {WM_NOTIFY, LVN_ITEMCHANGED},
                                              {WM_NOTIFY, NM_DBLCLK}};
    EXPECT_EQ(got, want);
    // A double click on no row: no item and no parameter.
    const ControlNote& last = notes().back().code == NM_CLICK ? notes()[notes().size() - 2] : notes().back();
    EXPECT_EQ(last.nm.iItem, -1);
    EXPECT_EQ(last.nm.lParam, 0);
}

TEST_F(Notify, SelectedRowsTakeTheirTextColourByFocus) {
    HWND h = SHIM_MakeControl("", 1, "SysListView32", LVS_REPORT, 0, 0, 150, 100, 0);
    auto* lv = SHIM_ListViewOf(h);
    LVCOLUMN c{LVCF_WIDTH, 0, 100, nullptr};
    ListView_InsertColumn(h, 0, &c);
    SendMessage(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("row"));
    lv->selectRowIndexes({0}, false);
    auto* cell = dynamic_cast<ct::TextFieldCell*>(lv->tableColumns()[0]->dataCell());
    auto* owner = dynamic_cast<Shim_vHalvoran_hwnd*>(dlg);
    const int pair[2] = {0x000080, 0xFF0000};
    ListView_SetSelColors(h, pair, 2);
    ListView_SetTextColor(h, 0x00FF00);
    window->makeKeyAndOrderFront();
    struct Case {
        bool focused;
        int row;
        int want;
    } cases[] = {{true, 0, 0xFF0000}, {false, 0, 0x00FF00}};
    for (const Case& k : cases) {
        window->makeFirstResponder(k.focused ? static_cast<ak::View*>(lv) : nullptr);
        owner->tableViewWillDisplayCell(lv, cell, nullptr, k.row);
        ASSERT_TRUE(cell->textColor());
        EXPECT_EQ(*cell->textColor(), SHIM_ColorOfValue(k.want)) << k.focused;
    }
    // No colour of its own: the cell goes back to the standard one.
    lv->m_fgColor.reset();
    owner->tableViewWillDisplayCell(lv, cell, nullptr, 0);
    EXPECT_FALSE(cell->textColor());
}

TEST_F(Notify, ColumnClicksReachTheProcedureUnlessTheyDoNotSort) {
    HWND h = SHIM_MakeControl("", 1, "SysListView32", LVS_REPORT, 0, 0, 200, 100, 0);
    for (int w : {80, 80}) {
        LVCOLUMN c{LVCF_WIDTH, 0, w, nullptr};
        ListView_InsertColumn(h, 1, &c);
    }
    click({100, 5});
    SHIM_ListViewOf(h)->style |= LVS_NOSORTHEADER;
    click({100, 5});
    ASSERT_EQ(codes(WM_NOTIFY), std::vector<int>{LVN_COLUMNCLICK});
    EXPECT_EQ(notes()[0].nm.iSubItem, 1);
    EXPECT_EQ(notes()[0].nm.iItem, -1);
}
