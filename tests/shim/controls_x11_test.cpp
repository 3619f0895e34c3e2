// ctest-labels: tsan x11
// A dialog built with the control-creation calls, shown on a real X server
// (a private Xvfb) and used as a person would through XTest: its push
// button, radio buttons, edit field, drop-down list (through its real
// pop-up menu), slider and a 200-row report list view give the dialog
// procedure their messages, and read back from a second connection the
// list shows its selected row in the colours set for it and text in every
// visible row. A screenshot of the dialog is written to the temporary
// folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-menu.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ak = platform::appkit;

namespace {

enum { kApply = 101, kOne, kTwo, kEdit, kChoice, kSlider, kList };
constexpr int kRows = 200;
constexpr int kSelBack = 0x2060C0, kSelText = 0xFFFFFF;

struct Heard {
    UINT msg;
    int id, code;
    int item;
};
std::vector<Heard> g_heard;

LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) g_heard.push_back({msg, int(wp & 0xFFFF), int((wp >> 16) & 0xFFFF), -1});
    if (msg == WM_HSCROLL) g_heard.push_back({msg, kSlider, 0, -1});
    if (msg == 0x202) g_heard.push_back({msg, 0, 0, -1});  // WM_LBUTTONUP
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<const NMLISTVIEW*>(lp);
        g_heard.push_back({msg, int(wp), nm->hdr.code, nm->iItem});
    }
    if (msg == WM_INITDIALOG) {
        for (const char* t : {"First", "Second", "Third"}) SHIM_CB_AddString(h, kChoice, t);
        SHIM_CB_SetCurSel(h, kChoice, 0);
        CheckDlgButton(h, kOne, BST_CHECKED);
        HWND list = GetDlgItem(h, kList);
        for (const char* title : {"Program", "Bank"}) {
            LVCOLUMN c{LVCF_WIDTH | LVCF_TEXT, 0, 130, const_cast<char*>(title)};
            ListView_InsertColumn(list, 1, &c);
        }
        for (int i = 0; i < kRows; ++i) {
            std::string name = "Program " + std::to_string(i + 1);
            LVITEM it{LVIF_TEXT | LVIF_PARAM, i, 0, 0, 0, name.data(), 0, 0, 1000 + i};
            ListView_InsertItem(list, &it);
            ListView_SetItemText(list, i, 1, i % 2 ? "Bank B" : "Bank A");
        }
        const int colours[4] = {kSelBack, kSelText, kSelBack, kSelText};
        ListView_SetSelColors(list, colours, 4);
    }
    return 0;
}

void Build(HWND dialog, int) {
    SHIM_MakeSetCurParms(1, 1, 0, 0, dialog, false, false);
    SHIM_MakeButton(0, "&Apply", kApply, 10, 10, 80, 24, 0);
    SHIM_MakeControl("One", kOne, "Button", BS_AUTORADIOBUTTON | WS_GROUP, 100, 12, 70, 20, 0);
    SHIM_MakeControl("Two", kTwo, "Button", BS_AUTORADIOBUTTON, 180, 12, 70, 20, 0);
    SHIM_MakeEditField(kEdit, 10, 44, 160, 20, 0);
    SHIM_MakeCombo(kChoice, 180, 44, 120, 18, CBS_DROPDOWNLIST);
    SHIM_MakeControl("", kSlider, "msctls_trackbar32", 0, 10, 74, 290, 20, 0);
    SHIM_MakeControl("", kList, "SysListView32", LVS_REPORT, 10, 104, 300, 200, 0);
}

SHIM_DialogResourceIndex g_dialog{"controls", "Controls", 0x10 | 4, Build, 320, 320, nullptr};

// A window the X server maps on its own (a pop-up menu), containing the
// root point; 0 when there is none.
XWindow PopupAt(Display* d) {
    ::Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned n = 0;
    XWindow found = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.override_redirect && a.map_state == IsViewable)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

class ControlsX11 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start()) << hvtest::XvfbServer::shared().log();
        g_heard.clear();
        dlg_ = SHIM_CreateDialog(&g_dialog, "controls", nullptr, Proc, 0);
        ASSERT_NE(dlg_, nullptr);
        window_ = shimwnd::AsView(dlg_)->window();
        ShowWindow(dlg_, SW_SHOW);
        window_->makeKeyAndOrderFront();
        ASSERT_TRUE(pump([&] { return (x_ = probe().findWindow("Controls")) && probe().viewable(x_); }));
        XSetInputFocus(probe().display(), x_, RevertToParent, CurrentTime);
        XSync(probe().display(), False);
        list_ = SHIM_ListViewOf(GetDlgItem(dlg_, kList));
        ASSERT_NE(list_, nullptr);
    }
    void TearDown() override {
        if (window_ && ak::Responder::isLive(window_)) DestroyWindow(dlg_);
        app_.stop();
    }
    hvtest::XProbe& probe() { return app_.probe(); }
    bool pump(const std::function<bool()>& done) { return app_.pumpUntil(done); }
    // The window point of a control's point.
    ak::Point at(int id, int x, int y) {
        ak::View* v = shimwnd::ScrollRedirect(shimwnd::AsView(GetDlgItem(dlg_, id)));
        return v->convertToWindow({x, y});
    }
    ak::Point rowPoint(int row, int x = 20) {
        RECT r;
        ListView_GetItemRect(list_, row, &r, 0);
        return list_->convertToWindow({x, (r.top + r.bottom) / 2});
    }
    void clickAt(ak::Point p) { probe().clickAt(x_, p.x, p.y); }
    bool heard(UINT msg, int code, int id) {
        return pump([&] {
            for (const Heard& h : g_heard)
                if (h.msg == msg && h.code == code && h.id == id) return true;
            return false;
        });
    }

    hvtest::AppOnXvfb app_;
    HWND dlg_ = nullptr;
    ak::Window* window_ = nullptr;
    XWindow x_ = 0;
    Shim_vHalvoran_listview* list_ = nullptr;
};

}  // namespace

TEST_F(ControlsX11, ButtonsAndRadioButtonsAnswerClicks) {
    clickAt(at(kApply, 20, 12));
    EXPECT_TRUE(heard(WM_COMMAND, BN_CLICKED, kApply));
    clickAt(at(kTwo, 6, 10));
    EXPECT_TRUE(heard(WM_COMMAND, BN_CLICKED, kTwo));
    EXPECT_EQ(IsDlgButtonChecked(dlg_, kTwo), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg_, kOne), BST_UNCHECKED);
}

TEST_F(ControlsX11, TypingIntoTheEditFieldChangesItsText) {
    clickAt(at(kEdit, 20, 10));
    ASSERT_TRUE(probe().type("Pads 7"));
    char text[64] = {};
    EXPECT_TRUE(pump([&] {
        GetDlgItemText(dlg_, kEdit, text, sizeof text);
        return std::string(text) == "Pads 7";
    }));
    int changes = 0;
    for (const Heard& h : g_heard) changes += h.id == kEdit && h.code == EN_CHANGE;
    EXPECT_EQ(changes, 6);
}

TEST_F(ControlsX11, TheDropDownListChoosesFromItsPopUpMenu) {
    const std::string display = hvtest::XvfbServer::shared().display();
    // The menu runs on this thread: a person on another picks its third item.
    std::thread person([display] {
        hvtest::XProbe p(display);
        XWindow menu = 0;
        // Shown, and its items drawn: the menu then follows the pointer.
        auto drawn = [&] {
            if (!(menu = PopupAt(p.display()))) return false;
            auto row = p.capture(menu, 0, 2 + 2 * 20, 60, 20);
            for (uint32_t px : row.pixels)
                if (!row.empty() && px != row.pixels[0]) return true;
            return false;
        };
        if (hvtest::waitUntil(drawn)) p.clickAt(menu, 20, 2 + 2 * 20 + 10);
    });
    clickAt(at(kChoice, 30, 9));
    EXPECT_TRUE(heard(WM_COMMAND, CBN_SELCHANGE, kChoice));
    person.join();
    EXPECT_EQ(SHIM_CB_GetCurSel(dlg_, kChoice), 2);
    char text[16];
    GetDlgItemText(dlg_, kChoice, text, sizeof text);
    EXPECT_STREQ(text, "Third");
}

TEST_F(ControlsX11, DraggingTheSliderScrollsWithinItsRange) {
    ak::Point from = at(kSlider, 4, 10), to = at(kSlider, 150, 10);
    probe().moveTo(x_, from.x, from.y);
    probe().press();
    probe().moveTo(x_, (from.x + to.x) / 2, to.y);
    probe().moveTo(x_, to.x, to.y);
    probe().release();
    EXPECT_TRUE(pump([&] { return SHIM_TB_GetPos(dlg_, kSlider) > 400; }));
    int pos = SHIM_TB_GetPos(dlg_, kSlider);
    EXPECT_GE(pos, 0);
    EXPECT_LE(pos, 1000);
    EXPECT_TRUE(heard(WM_HSCROLL, 0, kSlider));
}

TEST_F(ControlsX11, TheListViewReportsClicksDragsTitlesAndScrolls) {
    clickAt(rowPoint(3));
    ASSERT_TRUE(heard(WM_NOTIFY, NM_CLICK, kList));
    EXPECT_TRUE(heard(WM_NOTIFY, LVN_ITEMCHANGED, kList));
    EXPECT_EQ(ListView_GetNextItem(list_, -1, LVNI_SELECTED), 3);

    g_heard.clear();
    probe().click();  // the second press of a double click
    EXPECT_TRUE(heard(WM_NOTIFY, NM_DBLCLK, kList));

    g_heard.clear();
    ak::Point p = rowPoint(5);
    probe().moveTo(x_, p.x, p.y);
    probe().press();
    for (int i = 1; i <= 6; ++i) probe().moveTo(x_, p.x + 4 * i, p.y + 2 * i);
    probe().release();
    EXPECT_TRUE(heard(WM_NOTIFY, LVN_BEGINDRAG, kList));
    // The list hands the release on; a click would have followed it at once.
    EXPECT_TRUE(heard(0x202, 0, 0));
    for (const Heard& h : g_heard) EXPECT_NE(h.code, NM_CLICK) << "a drag past the threshold clicks nothing";

    g_heard.clear();
    clickAt(at(kList, 160, 8));  // the second column's title
    EXPECT_TRUE(heard(WM_NOTIFY, LVN_COLUMNCLICK, kList));

    EXPECT_EQ(ListView_GetTopIndex(list_), 0);
    probe().moveTo(x_, rowPoint(2).x, rowPoint(2).y);
    probe().wheel(-3);
    EXPECT_TRUE(pump([&] { return ListView_GetTopIndex(list_) > 0; }));
}

TEST_F(ControlsX11, TheListShowsItsSelectionAndTextInEveryVisibleRow) {
    clickAt(rowPoint(1));
    ASSERT_TRUE(heard(WM_NOTIFY, NM_CLICK, kList));
    // The selected row's background, right of its text.
    ak::Point sel = rowPoint(1, 120);
    EXPECT_TRUE(pump([&] { return probe().pixel(x_, sel.x, sel.y) == uint32_t(kSelBack); }));
    int first = ListView_GetTopIndex(list_), page = ListView_GetCountPerPage(list_);
    ASSERT_GT(page, 5);
    auto shot = probe().capture(x_);
    ASSERT_FALSE(shot.empty());
    for (int row = first; row < first + page; ++row) {
        RECT r;
        ASSERT_TRUE(ListView_GetSubItemRect(list_, row, 0, 0, &r));
        ak::Point tl = list_->convertToWindow({r.left, r.top});
        std::map<uint32_t, int> counts;
        for (int y = tl.y; y < tl.y + (r.bottom - r.top); ++y)
            for (int x = tl.x; x < tl.x + (r.right - r.left); ++x) ++counts[shot.at(x, y)];
        int background = 0, total = 0;
        for (auto& [colour, n] : counts) {
            background = std::max(background, n);
            total += n;
        }
        EXPECT_GE(total - background, 20) << "row " << row << " shows no text";
        if (row == 1) {
            EXPECT_GT(counts[kSelText], 0) << "the selected row's text colour";
        }
    }
    std::string path = testing::TempDir() + "halvoran-controls-dialog.png";
    EXPECT_TRUE(hvtest::XProbe::savePng(shot, path));
    std::printf("screenshot: %s\n", path.c_str());
}

// A menu item chosen over the list, and a release whose press was on the
// desktop, click no row: the list hears of neither.
TEST_F(ControlsX11, AReleaseWithoutItsPressClicksNoRow) {
    HMENU m = CreatePopupMenu();
    for (UINT id : {11u, 12u, 13u}) SHIM_Menu_AddMenuItem(m, "Item", id, 0);
    const ak::FPoint over = window_->convertToScreen({double(rowPoint(2).x), double(rowPoint(2).y)});
    const std::string display = hvtest::XvfbServer::shared().display();
    std::thread person([display] {
        hvtest::XProbe p(display);
        std::vector<XWindow> menus;
        if (!hvtest::waitUntil([&] { return !(menus = p.popups()).empty(); })) return;
        p.moveTo(menus[0], 20, 2 + 10);  // the first item, over a row
        p.press();
        // Held a moment, as a hand does: long enough for a menu that let go
        // of the pointer on the press to have closed.
        hvtest::waitUntil([&] { return p.popups().empty(); }, 500);
        p.release();
    });
    EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, int(over.x), int(over.y), 0, dlg_, nullptr), 11);
    person.join();
    DestroyMenu(m);

    const ak::Point row = rowPoint(3);
    probe().moveTo(5, 5);  // the desktop
    probe().press();
    probe().moveTo(x_, row.x, row.y);
    probe().release();
    // Input is handled in order: once the button is heard, so is the release.
    clickAt(at(kApply, 20, 12));
    ASSERT_TRUE(heard(WM_COMMAND, BN_CLICKED, kApply));
    for (const Heard& h : g_heard) EXPECT_NE(h.id, kList) << "code " << h.code << " item " << h.item;
}
