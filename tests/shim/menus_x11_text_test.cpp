// ctest-labels: tsan x11
// Menus on a private Xvfb as a person meets them: UTF-8 titles measured in
// characters and drawn smooth in the toolkit's font, an overlong title kept
// on the screen, and a window that changes the menu while its submenu
// opens, from a popup and from the menu bar.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/X11Text.h"
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

std::string times(int n, const std::string& s) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

// What the window does when a submenu is about to open, and what it heard.
std::function<void(HMENU opening)> g_change;
std::atomic<bool> g_changed{false};
std::vector<int> g_commands;
LRESULT Proc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_COMMAND) g_commands.push_back(static_cast<int>(wp));
    if (msg == WM_INITMENUPOPUP && g_change) g_change(reinterpret_cast<HMENU>(wp));
    return 0;
}

class MenusX11Text : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start());
        g_commands.clear();
        screenW_ = hvtest::XvfbServer::shared().width();
        screenH_ = hvtest::XvfbServer::shared().height();
        window_ = std::make_unique<AppWindow>(FRect{60, double(screenH_ - 300), 240, 150}, kStyleTitled, "menus text");
        view_ = Shim_vHalvoran_hwnd::initChild(nullptr, window_.get(), Proc, 0)->handle();
        ShowWindow(view_, SW_SHOW);
        window_->makeKeyAndOrderFront();
        XWindow xw = 0;
        ASSERT_TRUE(
            app_.pumpUntil([&] { return (xw = app_.probe().findWindow("menus text")) && app_.probe().viewable(xw); }));
    }
    void TearDown() override {
        g_change = nullptr;
        Application::setMainMenu(nullptr);
        DestroyWindow(view_);
        window_.reset();
        app_.stop();
    }
    // Tracks the menu while a person on a second connection acts on it.
    int track(HMENU m, const std::function<void(hvtest::XProbe&)>& person) {
        std::string display = hvtest::XvfbServer::shared().display();
        std::thread t([display, person] {
            hvtest::XProbe p(display);
            ASSERT_TRUE(hvtest::waitUntil([&] { return !p.popups().empty(); }));
            person(p);
            ASSERT_TRUE(hvtest::waitUntil([&] { return p.popups().empty(); }));
        });
        int result = TrackPopupMenu(m, TPM_RETURNCMD, 100, screenH_ - 200, 0, view_, nullptr);
        t.join();
        return result;
    }

    hvtest::AppOnXvfb app_;
    std::unique_ptr<AppWindow> window_;
    HWND view_ = nullptr;
    int screenW_ = 0, screenH_ = 0;
};

}  // namespace

TEST_F(MenusX11Text, TitlesAreMeasuredInCharactersAndDrawnSmooth) {
    struct Shown {
        int width = 0;
        int greys = 0;  // pixels between the background and the text colour
    };
    auto show = [&](const std::string& title) {
        HMENU m = CreatePopupMenu();
        SHIM_Menu_AddMenuItem(m, title.c_str(), 1, 0);
        Shown s;
        track(m, [&s](hvtest::XProbe& p) {
            XWindow popup = p.popups()[0];
            auto g = p.geometry(popup);
            ASSERT_TRUE(g);
            s.width = g->width;
            // The item, once drawn: ink in more shades than two.
            ASSERT_TRUE(hvtest::waitUntil([&] {
                auto img = p.capture(popup, 0, 2, std::min(g->width, 400), 20);
                s.greys = 0;
                for (uint32_t px : img.pixels) s.greys += (px & 0xFF) > 0x20 && (px & 0xFF) < 0xD0;
                return s.greys > 10;
            }));
            p.key(XK_Escape);
        });
        DestroyMenu(m);
        return s;
    };
    platform::appkit::X11Text font(app_.probe().display(), DefaultVisual(app_.probe().display(), 0), 24);
    const Shown a30 = show(times(30, "a")), a60 = show(times(60, "a")), umlaut30 = show(times(30, "ä"));
    EXPECT_EQ(umlaut30.width, a30.width);
    EXPECT_NEAR(a60.width - a30.width, font.width(times(30, "a")), 1);
    EXPECT_GT(umlaut30.greys, 10);
    // 600 Cyrillic letters (cut to 511 by the menu) stay on the screen.
    EXPECT_LE(show(times(600, "Д")).width, screenW_);
}

TEST_F(MenusX11Text, AWindowMayChangeTheMenuWhileItsSubmenuOpens) {
    struct Case {
        const char* what;
        std::function<void(HMENU top, HMENU opening)> change;
        int result;
    } cases[] = {
        {"deletes the submenu", [](HMENU top, HMENU) { DeleteMenu(top, 1, MF_BYPOSITION); }, 0},
        {"grows the parent",
         [](HMENU top, HMENU) {
             for (int i = 0; i < 30; ++i) SHIM_Menu_AddMenuItem(top, "More", 500 + i, 0);
         },
         200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HMENU top = CreatePopupMenu();
        SHIM_Menu_AddMenuItem(top, "First", 100, 0);
        HMENU sub = CreatePopupMenu();
        SHIM_Menu_AddMenuItem(sub, "Deep", 200, 0);
        SHIM_InsertMenu(top, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Sub");
        g_changed = false;
        g_change = [&](HMENU opening) {
            if (opening == top) return;
            c.change(top, opening);
            g_changed = true;
        };
        const bool opens = c.result != 0;
        int result = track(top, [opens](hvtest::XProbe& p) {
            XWindow popup = p.popups()[0];
            p.moveTo(popup, 30, 2 + 20 + 10);  // over "Sub"
            ASSERT_TRUE(hvtest::waitUntil([&] { return g_changed.load(); }));
            if (!opens) {
                p.key(XK_Escape);
                return;
            }
            std::vector<XWindow> shown;
            ASSERT_TRUE(hvtest::waitUntil([&] { return (shown = p.popups()).size() == 2; }));
            // The parent shows its 32 items now.
            auto g = p.geometry(popup);
            ASSERT_TRUE(g);
            EXPECT_GE(g->height, 32 * 20);
            p.clickAt(shown[1], 30, 2 + 10);
        });
        EXPECT_EQ(result, c.result);
        g_change = nullptr;
        DestroyMenu(top);
    }

    // From the menu bar: the window deletes the submenu its title opens.
    HMENU bar = CreatePopupMenu();
    HMENU file = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(file, "Open", 300, 0);
    SHIM_InsertMenu(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");
    ASSERT_TRUE(SetMenu(view_, bar));
    g_changed = false;
    g_change = [bar](HMENU opening) {
        if (opening == bar) return;
        DeleteMenu(bar, 0, MF_BYPOSITION);
        g_changed = true;
    };
    hvtest::XProbe& probe = app_.probe();
    XWindow strip = 0;
    ASSERT_TRUE(app_.pumpUntil([&] { return (strip = probe.findWindow("Menu Bar")) && probe.viewable(strip); }));
    probe.clickAt(strip, 20, 11);
    EXPECT_TRUE(app_.pumpUntil([&] { return g_changed && GetMenuItemCount(bar) == 0; }));
    EXPECT_TRUE(probe.popups().empty());
    EXPECT_TRUE(g_commands.empty());
}
