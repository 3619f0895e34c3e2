// ctest-labels: tsan x11
// Menus on a real X server (a private Xvfb), used as a person would from a
// second connection: a tracked popup answers a click on its third item and
// Escape; a window's menu shows in the menu bar, where a click on a title
// and then on an item, or the item's key equivalent, gives its command; and
// windows stack on the server as their levels say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "shim/shim-appearance.h"
#include "shim/shim-dlg.h"
#include "shim/shim-menu.h"
#include "shim/shim-wnd.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace platform::appkit;
using AppWindow = platform::appkit::Window;

namespace {

std::vector<int> g_commands;
LRESULT Proc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_COMMAND) g_commands.push_back(static_cast<int>(wp));
    return 0;
}

class MenusX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start());
        g_commands.clear();
        screenH_ = hvtest::XvfbServer::shared().height();
    }
    void TearDown() override {
        Application::setMainMenu(nullptr);
        for (HWND h : views_) DestroyWindow(h);
        windows_.clear();
        app_.stop();
    }
    // A shown window at root (x, y) whose content is a toolkit view.
    HWND open(const char* title, int x, int y) {
        windows_.push_back(
            std::make_unique<AppWindow>(FRect{double(x), double(screenH_ - y - 150), 240, 150}, kStyleTitled, title));
        AppWindow* w = windows_.back().get();
        HWND v = Shim_vHalvoran_hwnd::initChild(nullptr, w, Proc, 0)->handle();
        ShowWindow(v, SW_SHOW);
        w->makeKeyAndOrderFront();
        views_.push_back(v);
        XWindow xw = 0;
        EXPECT_TRUE(app_.pumpUntil([&] { return (xw = app_.probe().findWindow(title)) && app_.probe().viewable(xw); }));
        xwins_.push_back(xw);
        return v;
    }

    hvtest::AppOnXvfb app_;
    std::vector<std::unique_ptr<AppWindow>> windows_;
    std::vector<HWND> views_;
    std::vector<XWindow> xwins_;
    int screenH_ = 0;
};

// A person at the popup: waits for it, then clicks the third item or types Escape.
std::thread Person(const std::string& display, bool click) {
    return std::thread([display, click] {
        hvtest::XProbe person(display);
        std::vector<XWindow> popups;
        ASSERT_TRUE(hvtest::waitUntil([&] { return !(popups = person.popups()).empty(); }));
        if (click) {
            // Items stand 20 pixels apart below a 2-pixel edge.
            person.clickAt(popups[0], 30, 2 + 2 * 20 + 10);
        } else {
            person.key(XK_Escape);
        }
        ASSERT_TRUE(hvtest::waitUntil([&] { return person.popups().empty(); }));
    });
}

}  // namespace

TEST_F(MenusX11, ATrackedPopupAnswersAClickOnItsThirdItemAndEscape) {
    HWND v = open("menus popup", 60, 80);
    HMENU m = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(m, "First", 11, 0);
    SHIM_Menu_AddMenuItem(m, "Second", 12, 0);
    SHIM_Menu_AddMenuItem(m, "Third", 13, 0);
    const std::string display = hvtest::XvfbServer::shared().display();
    int x = 100, y = screenH_ - 120;  // screen coordinates, y upward

    std::thread person = Person(display, true);
    EXPECT_EQ(TrackPopupMenu(m, 0, x, y, 0, v, nullptr), 1);
    person.join();
    EXPECT_EQ(g_commands, std::vector<int>{13});

    person = Person(display, true);
    EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, x, y, 0, v, nullptr), 13);
    person.join();
    EXPECT_EQ(g_commands.size(), 1u);

    person = Person(display, false);
    EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, x, y, 0, v, nullptr), 0);
    person.join();
    DestroyMenu(m);
}

namespace {
void BuildBar(HMENU bar) {
    HMENU file = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(file, "&Open...", 100, 0);
    SHIM_Menu_AddMenuItem(file, "Save", 101, 0);
    SetMenuItemModifier(file, 100, MF_BYCOMMAND, 'O', FCONTROL);
    CheckMenuItem(file, 101, MF_CHECKED);
    SHIM_InsertMenu(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    HMENU edit = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(edit, "Undo", 200, 0);
    SHIM_InsertMenu(bar, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "Edit");
}
SHIM_MenuResourceIndex g_barResource{"BAR", BuildBar, nullptr};
}  // namespace

TEST_F(MenusX11, TheMenuBarShowsTheWindowsMenuAndItsItemsAndKeysGiveCommands) {
    HWND v = open("menus bar", 80, 120);
    ASSERT_TRUE(SetMenu(v, SHIM_LoadMenu(&g_barResource, "BAR")));
    hvtest::XProbe& probe = app_.probe();
    XWindow bar = 0;
    ASSERT_TRUE(app_.pumpUntil([&] { return (bar = probe.findWindow("Menu Bar")) && probe.viewable(bar); }));
    // "File" is the first title, from the strip's left edge.
    std::string shot = testing::TempDir() + "menu-bar.png";
    const std::string display = hvtest::XvfbServer::shared().display();
    std::thread person([display, bar, shot] {
        hvtest::XProbe p(display);
        p.clickAt(bar, 25, 11);
        std::vector<XWindow> popups;
        ASSERT_TRUE(hvtest::waitUntil([&] { return !(popups = p.popups()).empty(); }));
        auto g = p.geometry(popups[0]);
        ASSERT_TRUE(g);
        EXPECT_GE(g->y, 22);  // below the strip
        hvtest::XProbe::savePng(p.captureRoot(), shot);
        p.clickAt(popups[0], 30, 2 + 10);  // Open
    });
    EXPECT_TRUE(app_.pumpUntil([&] { return !g_commands.empty(); }));
    person.join();
    EXPECT_EQ(g_commands, std::vector<int>{100});

    // Control-O typed in the window picks the same item.
    g_commands.clear();
    EXPECT_TRUE(app_.pumpUntil([&] {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(probe.display(), &focus, &revert);
        return focus == xwins_[0];
    }));
    probe.key(XK_o, ControlMask);
    EXPECT_TRUE(app_.pumpUntil([&] { return !g_commands.empty(); }));
    EXPECT_EQ(g_commands, std::vector<int>{100});
    std::printf("screenshot: %s\n", shot.c_str());
}

TEST_F(MenusX11, WindowsStackAsTheirLevelsSay) {
    HWND a = open("menus low", 40, 300);
    HWND b = open("menus high", 80, 340);
    hvtest::XProbe& p = app_.probe();
    Display* d = p.display();
    // b was shown last: on top.
    EXPECT_TRUE(app_.pumpUntil([&] { return p.above(xwins_[1], xwins_[0]); }));
    EXPECT_EQ(SHIM_SetWindowLevel(a, 3), 0);
    EXPECT_TRUE(app_.pumpUntil([&] { return p.above(xwins_[0], xwins_[1]); }));
    // Shown again, the normal window stays below the raised one.
    ShowWindow(b, SW_SHOW);
    windows_[1]->orderFront();
    EXPECT_EQ(Application::orderedWindows().front(), windows_[0].get());
    EXPECT_EQ(SHIM_SetWindowLevel(b, 5), 0);
    EXPECT_TRUE(app_.pumpUntil([&] { return p.above(xwins_[1], xwins_[0]); }));

    // Opacity reaches the server as the property compositors read.
    windows_[0]->setAlphaValue(0.5);
    Atom opacity = XInternAtom(d, "_NET_WM_WINDOW_OPACITY", False);
    auto property = [&] {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(d, xwins_[0], opacity, 0, 1, False, AnyPropertyType, &type, &format, &n, &after,
                               &data) == Success &&
            data) {
            if (n == 1) value = *reinterpret_cast<unsigned long*>(data);
            XFree(data);
        }
        return value;
    };
    EXPECT_TRUE(hvtest::waitUntil([&] { return property() == 0x7FFFFFFFul; }));
}
