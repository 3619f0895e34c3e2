// Menus and window levels on a real X server (a private Xvfb), read back and
// driven from a second connection: windows stack on the server as their
// levels say.
#include <gtest/gtest.h>

#include <algorithm>
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

// The root's children bottom to top, as far as they are in `of`.
std::vector<::Window> Stacking(Display* d, const std::vector<::Window>& of) {
    std::vector<::Window> out;
    ::Window root = DefaultRootWindow(d), r, p, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, root, &r, &p, &kids, &n)) return out;
    for (unsigned i = 0; i < n; ++i)
        if (std::find(of.begin(), of.end(), kids[i]) != of.end()) out.push_back(kids[i]);
    if (kids) XFree(kids);
    return out;
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

}  // namespace

TEST_F(MenusX11, WindowsStackAsTheirLevelsSay) {
    HWND a = open("menus low", 40, 300);
    HWND b = open("menus high", 80, 340);
    Display* d = app_.probe().display();
    std::vector<::Window> both{xwins_[0], xwins_[1]};
    // b was shown last: on top.
    EXPECT_TRUE(app_.pumpUntil([&] { return Stacking(d, both) == std::vector<::Window>{xwins_[0], xwins_[1]}; }));
    EXPECT_EQ(SHIM_SetWindowLevel(a, 3), 0);
    EXPECT_TRUE(app_.pumpUntil([&] { return Stacking(d, both) == std::vector<::Window>{xwins_[1], xwins_[0]}; }));
    // Shown again, the normal window stays below the raised one.
    ShowWindow(b, SW_SHOW);
    windows_[1]->orderFront();
    EXPECT_EQ(Application::orderedWindows().front(), windows_[0].get());
    EXPECT_EQ(SHIM_SetWindowLevel(b, 5), 0);
    EXPECT_TRUE(app_.pumpUntil([&] { return Stacking(d, both) == std::vector<::Window>{xwins_[0], xwins_[1]}; }));

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
