// ctest-labels: x11
// The tree view, tab control and progress bar in a dialog on a real X
// server (a private Xvfb), used and read back from a second connection: a
// click on a tree item's expander shows its children; a click on a tab
// selects it and gives TCN_SELCHANGE; a progress bar at half its range
// fills half its track. A screenshot is written to the temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd-tabs.h"
#include "shim/shim-wnd-treeview.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include <X11/Xlib.h>

namespace ak = platform::appkit;

namespace {

enum { kTree = 201, kTabs, kBar };
constexpr uint32_t kAccent = 0x2F6FCF, kTrack = 0xC0C0C0;

std::vector<int> g_notices;
HTREEITEM g_bank = nullptr;

LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) g_notices.push_back(reinterpret_cast<const NMHDR*>(lp)->code);
    if (msg == WM_INITDIALOG) {
        HWND tree = GetDlgItem(h, kTree);
        TVINSERTSTRUCT ins{};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
        ins.item.cChildren = 1;
        ins.item.pszText = const_cast<char*>("Factory bank");
        g_bank = TreeView_InsertItem(tree, &ins);
        ins.hParent = g_bank;
        ins.item.mask = TVIF_TEXT;
        for (const char* name : {"Glass Pad", "Sub Bass", "Pluck"}) {
            ins.item.pszText = const_cast<char*>(name);
            TreeView_InsertItem(tree, &ins);
        }
        HWND tabs = GetDlgItem(h, kTabs);
        for (const char* label : {"Program", "Global"}) {
            TCITEM t{TCIF_TEXT, 0, 0, const_cast<char*>(label), 0, 0, 0};
            TabCtrl_InsertItem(tabs, TabCtrl_GetItemCount(tabs), &t);
        }
        HWND bar = GetDlgItem(h, kBar);
        SendMessage(bar, PBM_SETRANGE, 0, 0x00640000);
        SendMessage(bar, PBM_SETPOS, 50, 0);
    }
    return 0;
}

void Build(HWND dialog, int) {
    SHIM_MakeSetCurParms(1, 1, 0, 0, dialog, false, false);
    SHIM_MakeControl("", kTree, "SysTreeView32", 0, 10, 10, 200, 150, 0);
    SHIM_MakeControl("", kTabs, "SysTabControl32", 0, 220, 10, 180, 100, 0);
    SHIM_MakeControl("", kBar, "msctls_progress32", 0, 220, 140, 180, 16, 0);
}

SHIM_DialogResourceIndex g_dialog{"common", "Common controls", 0x10 | 4, Build, 420, 180, nullptr};

class CommonControlsX11 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start()) << hvtest::XvfbServer::shared().log();
        g_notices.clear();
        dlg_ = SHIM_CreateDialog(&g_dialog, "common", nullptr, Proc, 0);
        ASSERT_NE(dlg_, nullptr);
        window_ = shimwnd::AsView(dlg_)->window();
        ShowWindow(dlg_, SW_SHOW);
        window_->makeKeyAndOrderFront();
        ASSERT_TRUE(
            app_.pumpUntil([&] { return (x_ = probe().findWindow("Common controls")) && probe().viewable(x_); }));
    }
    void TearDown() override {
        if (window_ && ak::Responder::isLive(window_)) DestroyWindow(dlg_);
        app_.stop();
    }
    hvtest::XProbe& probe() { return app_.probe(); }
    ak::View* view(int id) { return shimwnd::AsView(GetDlgItem(dlg_, id)); }

    hvtest::AppOnXvfb app_;
    HWND dlg_ = nullptr;
    ak::Window* window_ = nullptr;
    XWindow x_ = 0;
};

}  // namespace

TEST_F(CommonControlsX11, ATreeItemExpandsOnItsExpander) {
    Shim_vHalvoran_treeview* tv = SHIM_TreeViewOf(GetDlgItem(dlg_, kTree));
    ASSERT_TRUE(tv);
    ASSERT_EQ(tv->numberOfRows(), 1);
    ak::FRect ex = tv->expanderRect(0);
    ak::Point at = tv->convertToWindow({static_cast<int>(ex.x + ex.width / 2), static_cast<int>(ex.y + ex.height / 2)});
    // The collapsed triangle shows before the click.
    ASSERT_TRUE(app_.pumpUntil([&] {
        auto img = probe().capture(x_, at.x - 5, at.y - 5, 10, 10);
        for (uint32_t p : img.pixels)
            if ((p & 0xFF) < 0x40) return true;
        return false;
    }));
    probe().clickAt(x_, at.x, at.y);
    EXPECT_TRUE(app_.pumpUntil([&] { return tv->numberOfRows() == 4; }));
    TVITEM t{};
    t.mask = TVIF_HANDLE;
    t.hItem = g_bank;
    EXPECT_TRUE(TreeView_GetItem(GetDlgItem(dlg_, kTree), &t));
    EXPECT_EQ(t.state & TVIS_EXPANDED, UINT(TVIS_EXPANDED));
    // The children's rows show text.
    ak::Point row3 = tv->convertToWindow({60, static_cast<int>(tv->rectOfRow(3).y + 8)});
    EXPECT_TRUE(app_.pumpUntil([&] {
        auto img = probe().capture(x_, row3.x - 30, row3.y - 6, 80, 12);
        int dark = 0;
        for (uint32_t p : img.pixels) dark += (p & 0xFF) < 0x60;
        return dark > 10;
    }));
    std::string shot = testing::TempDir() + "common-controls.png";
    EXPECT_TRUE(hvtest::XProbe::savePng(probe().capture(x_), shot));
    std::printf("screenshot: %s\n", shot.c_str());
}

TEST_F(CommonControlsX11, ATabClickSelectsItAndNotifies) {
    auto* tabs = dynamic_cast<Shim_vHalvoran_tabview*>(view(kTabs));
    ASSERT_TRUE(tabs);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0);
    EXPECT_TRUE(g_notices.empty());
    ak::FRect r = tabs->tabRect(1);
    ak::Point at = tabs->convertToWindow({static_cast<int>(r.x + r.width / 2), static_cast<int>(r.y + r.height / 2)});
    probe().clickAt(x_, at.x, at.y);
    EXPECT_TRUE(app_.pumpUntil([&] { return TabCtrl_GetCurSel(tabs) == 1; }));
    EXPECT_EQ(g_notices, std::vector<int>{TCN_SELCHANGE});
}

TEST_F(CommonControlsX11, AProgressBarAtHalfFillsHalfItsTrack) {
    ak::View* bar = view(kBar);
    ASSERT_TRUE(bar);
    ak::Point origin = bar->convertToWindow({0, 0});
    int w = bar->frame().width, y = origin.y + bar->frame().height / 2;
    ASSERT_TRUE(app_.pumpUntil([&] { return probe().pixel(x_, origin.x + 5, y) == kAccent; }));
    auto img = probe().capture(x_, origin.x + 1, y, w - 2, 1);
    int filled = 0, track = 0;
    for (uint32_t p : img.pixels) {
        filled += p == kAccent;
        track += p == kTrack;
    }
    EXPECT_NEAR(filled, (w - 2) / 2, 1);
    EXPECT_NEAR(track, (w - 2) / 2, 1);
}
