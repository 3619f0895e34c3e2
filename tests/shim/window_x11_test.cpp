// ctest-labels: tsan x11
// Toolkit windows on a real X server (a private Xvfb), read back from a
// second connection: child views paint the toolkit's brushes at the right
// screen pixels, an invalidated area alone repaints, SetWindowPos and
// ShowWindow move, size, map and unmap the X window, GetWindowRect and
// WindowFromPoint agree with where X puts things, moves made from outside,
// close requests and focus come back into the model, and a worker's
// PostMessage shows on screen within two queue ticks.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include <X11/Xlib.h>

using namespace platform::appkit;
using AppWindow = platform::appkit::Window;

namespace {

constexpr uint32_t kGrey = 0x404040, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;
constexpr UINT kSetColour = 0x400;

// Each child paints its colour; kSetColour changes it and asks for a repaint.
std::atomic<int> g_sizes{0};
LRESULT ChildProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(h, &ps);
            HGDIOBJ brush = CreateSolidBrush(static_cast<int>(GetWindowLongPtr(h, GWL_USERDATA)));
            SHIM_FillRect(hdc, &ps.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(h, &ps);
            return 0;
        }
        case kSetColour:
            SetWindowLongPtr(h, GWL_USERDATA, static_cast<LONG_PTR>(wp));
            InvalidateRect(h, nullptr, FALSE);
            return 0;
        default:
            return DefWindowProc(h, msg, wp, lp);
    }
}

LRESULT DialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    static HGDIOBJ grey = CreateSolidBrush(static_cast<int>(kGrey));
    if (msg == WM_CTLCOLORDLG) return reinterpret_cast<LRESULT>(grey);
    if (msg == WM_SIZE) ++g_sizes;
    return 0;
}

// The toolkit's posting delegate, counting the queue's ticks.
struct CountingDelegate : PostingDelegate {
    int shimPostMessage(Responder* h, unsigned m, uintptr_t wp, intptr_t lp) override {
        return SHIM_GetPostingDelegate()->shimPostMessage(h, m, wp, lp);
    }
    void shimPostMessageClearQ(Responder* h) override { SHIM_GetPostingDelegate()->shimPostMessageClearQ(h); }
    void shimPostMessageTick() override {
        ++ticks;
        SHIM_GetPostingDelegate()->shimPostMessageTick();
    }
    std::atomic<int> ticks{0};
};
CountingDelegate g_delegate;

struct Refusing : WindowDelegate {
    bool windowShouldClose(AppWindow&) override {
        ++asked;
        return allow;
    }
    int asked = 0;
    bool allow = false;
};

class WindowX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application::setDelegate(&g_delegate);
        SHIM_Internal_PostMessage_Init();
    }
    static void TearDownTestSuite() { Application::setDelegate(SHIM_GetPostingDelegate()); }

    void SetUp() override {
        auto& server = hvtest::XvfbServer::shared();
        ASSERT_TRUE(server.ok()) << server.log();
        env_ = std::make_unique<hvtest::ScopedEnv>("DISPLAY", server.display());
        ASSERT_TRUE(Application::useDisplayIfAvailable());
        probe_ = std::make_unique<hvtest::XProbe>(server.display());
        ASSERT_TRUE(probe_->ok());
        screenH_ = server.height();
    }
    void TearDown() override {
        window_.reset();
        RunLoop::main().runOnce();
        Application::setBackend(std::make_unique<HeadlessBackend>());
    }

    // A 300 x 200 dialog at root (x, y) with a red and a green child, shown.
    void open(const char* title, int x, int y) {
        window_ = std::make_unique<AppWindow>(FRect{double(x), double(screenH_ - y - 200), 300, 200},
                                              kStyleTitled | kStyleResizable, title);
        SHIM_DialogResourceIndex r{"x11", title, 0x10 | 4, nullptr, 300, 200, nullptr};
        content_ = Shim_vHalvoran_hwnd::initChild(&r, window_.get(), DialogProc, 0);
        red_ = child(10, 10, kRed);
        green_ = child(100, 10, kGreen);
        ShowWindow(content_, SW_SHOW);
        ASSERT_TRUE(pumpUntil([&] { return (x_ = probe_->findWindow(title)) && probe_->viewable(x_); }));
    }
    HWND child(int x, int y, uint32_t colour) {
        HWND c = Shim_vHalvoran_hwnd::initChild(nullptr, content_, ChildProc, 0);
        SetWindowLongPtr(c, GWL_USERDATA, colour);
        SetWindowPos(c, nullptr, x, y, 80, 60, SWP_NOZORDER);
        ShowWindow(c, SW_SHOW);
        return c;
    }
    bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
        return hvtest::waitUntil(
            [&] {
                RunLoop::main().runOnce();
                return done();
            },
            ms);
    }
    bool shows(int x, int y, uint32_t colour) {
        return pumpUntil([&] { return probe_->pixel(x_, x, y) == colour; });
    }

    std::unique_ptr<hvtest::ScopedEnv> env_;
    std::unique_ptr<hvtest::XProbe> probe_;
    std::unique_ptr<AppWindow> window_;
    HWND content_ = nullptr, red_ = nullptr, green_ = nullptr;
    XWindow x_ = 0;
    int screenH_ = 0;
};

}  // namespace

TEST_F(WindowX11, ChildViewsShowTheirBrushesAndAnInvalidatedAreaAloneRepaints) {
    open("shim paint", 40, 60);
    EXPECT_TRUE(shows(20, 20, kRed));
    EXPECT_TRUE(shows(89, 69, kRed));
    EXPECT_TRUE(shows(120, 30, kGreen));
    EXPECT_TRUE(shows(5, 5, kGrey));
    EXPECT_TRUE(shows(95, 30, kGrey));
    // Both change colour; only the left half of the red child is invalidated.
    SetWindowLongPtr(red_, GWL_USERDATA, kBlue);
    SetWindowLongPtr(green_, GWL_USERDATA, kYellow);
    RECT half{0, 0, 40, 60};
    InvalidateRect(red_, &half, FALSE);
    EXPECT_TRUE(shows(15, 20, kBlue));
    EXPECT_EQ(probe_->pixel(x_, 70, 20), kRed);
    EXPECT_EQ(probe_->pixel(x_, 120, 30), kGreen);
}

TEST_F(WindowX11, PlacingShowingAndPointsAgreeWithTheServer) {
    open("shim geometry", 30, 40);
    SetWindowPos(content_, nullptr, 200, screenH_ - 150 - 260, 320, 260, SWP_NOZORDER);
    hvtest::XProbe::Geometry want{200, 150, 320, 260};
    EXPECT_TRUE(pumpUntil([&] { return probe_->geometry(x_) == want; }));
    RECT r;
    GetWindowRect(content_, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.right, 520);
    EXPECT_EQ(r.top, screenH_ - 410);
    EXPECT_EQ(r.bottom, screenH_ - 150);
    // The view X shows at a root point is the one WindowFromPoint gives.
    EXPECT_TRUE(shows(120, 30, kGreen));
    EXPECT_EQ(WindowFromPoint({200 + 120, screenH_ - (150 + 30)}), green_);
    EXPECT_EQ(WindowFromPoint({200 + 20, screenH_ - (150 + 30)}), red_);
    EXPECT_EQ(WindowFromPoint({200 + 5, screenH_ - (150 + 5)}), content_);

    ShowWindow(content_, SW_HIDE);
    EXPECT_TRUE(pumpUntil([&] { return probe_->mapState(x_) == hvtest::XProbe::Unmapped; }));
    ShowWindow(content_, SW_SHOW);
    EXPECT_TRUE(pumpUntil([&] { return probe_->viewable(x_); }));
    EXPECT_TRUE(shows(120, 30, kGreen));

    // A child view moved by SetWindowPos shows where it now stands.
    SetWindowPos(green_, nullptr, 200, 100, 50, 50, SWP_NOZORDER);
    EXPECT_TRUE(shows(220, 120, kGreen));
    EXPECT_TRUE(shows(120, 30, kGrey));
}

// Under a window manager too: where SetWindowPos puts a window is where
// GetWindowRect and X find its content, however often the rectangle read is
// set again; a window placed at the top of the screen keeps its title bar
// on the screen.
TEST_F(WindowX11, APositionSetIsThePositionReadBack) {
    open("shim round trip", 30, 40);
    SetWindowPos(content_, nullptr, 100, 200, 300, 150, SWP_NOZORDER);
    const hvtest::XProbe::Geometry want{100, screenH_ - 200 - 150, 300, 150};
    for (int round = 0; round < 5; ++round) {
        EXPECT_TRUE(pumpUntil([&] { return probe_->geometry(x_) == want; })) << "round " << round;
        RECT r;
        GetWindowRect(content_, &r);
        EXPECT_EQ(r.left, 100) << "round " << round;
        EXPECT_EQ(r.top, 200) << "round " << round;
        SetWindowPos(content_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    }
    AppWindow top(FRect{0, double(screenH_ - 100), 200, 100}, kStyleTitled, "shim at the top");
    top.show();
    XWindow x = 0;
    ASSERT_TRUE(pumpUntil([&] { return (x = probe_->findWindow("shim at the top")) && probe_->viewable(x); }));
    auto frame = probe_->geometry(probe_->topLevelOf(x));
    ASSERT_TRUE(frame);
    EXPECT_GE(frame->x, 0);
    EXPECT_GE(frame->y, 0);
    EXPECT_TRUE(pumpUntil([&] {
        auto g = probe_->geometry(x);
        return g && top.frame().x == g->x && top.frame().y + 100 == screenH_ - g->y;
    }));
}

TEST_F(WindowX11, MovesCloseRequestsAndFocusFromOutsideReachTheModel) {
    open("shim outside", 50, 50);
    Display* d = probe_->display();
    int sizes = g_sizes;
    XMoveResizeWindow(d, x_, 300, 220, 280, 180);
    XSync(d, False);
    RECT r{};
    EXPECT_TRUE(pumpUntil([&] {
        GetWindowRect(content_, &r);
        return r.left == 300 && r.right == 580 && r.bottom == screenH_ - 220;
    }));
    EXPECT_EQ(r.top, screenH_ - 400);
    EXPECT_GT(g_sizes.load(), sizes);
    RECT client;
    GetClientRect(content_, &client);
    EXPECT_EQ(client.right, 280);
    EXPECT_EQ(client.bottom, 180);

    Refusing refusing;
    window_->setDelegate(&refusing);
    probe_->askToClose(x_);
    EXPECT_TRUE(pumpUntil([&] { return refusing.asked == 1; }));
    EXPECT_TRUE(probe_->viewable(x_));

    AppWindow other(FRect{700, 100, 100, 100}, kStyleTitled, "shim other");
    other.makeKeyAndOrderFront();
    XWindow ox = 0;
    EXPECT_TRUE(pumpUntil([&] { return (ox = probe_->findWindow("shim other")) && probe_->viewable(ox); }));
    EXPECT_TRUE(pumpUntil([&] {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        return focus == ox && Application::keyWindow() == &other;
    }));
    // From outside: a click where a window manager gives the focus, else
    // another program's focus request.
    if (probe_->hasWindowManager()) {
        probe_->clickAt(x_, 5, 5);
    } else {
        XSetInputFocus(d, x_, RevertToParent, CurrentTime);
        XSync(d, False);
    }
    EXPECT_TRUE(pumpUntil([&] { return Application::keyWindow() == window_.get(); }));
    // The window, or the view the click made its first responder.
    const HWND foreground = GetForegroundWindow();
    EXPECT_TRUE(foreground == static_cast<HWND>(window_.get()) || foreground == content_);

    refusing.allow = true;
    probe_->askToClose(x_);
    EXPECT_TRUE(pumpUntil([&] { return probe_->mapState(x_) == hvtest::XProbe::Unmapped; }));
    EXPECT_TRUE(window_->isClosed());
    window_->setDelegate(nullptr);
}

TEST_F(WindowX11, AWorkersPostShowsWithinTwoQueueTicks) {
    open("shim post", 60, 80);
    EXPECT_TRUE(shows(20, 20, kRed));
    int before = 0;
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        before = g_delegate.ticks;
        posted = PostMessage(red_, kSetColour, kBlue, 0) == 1;
    });
    worker.join();
    ASSERT_TRUE(posted);
    EXPECT_TRUE(shows(20, 20, kBlue));
    EXPECT_LE(g_delegate.ticks - before, 2);
}
