// ctest-labels: x11
// The X11 backend's windows as a desktop treats them, on a bare Xvfb and
// under a reparenting window manager: no X error ends the program, and a
// lost display ends it at once without writing anything on the way out;
// windows tell the desktop their UTF-8 titles, their program and the
// window they belong to, read back with the server's own property calls.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/X11Errors.h"
#include "support/TempDataDir.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#undef None

namespace ak = platform::appkit;

namespace {

class X11Desktop : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app_.start()) << hvtest::XvfbServer::shared().log(); }
    void TearDown() override {
        windows_.clear();
        app_.stop();
    }
    // A shown window and its X window.
    std::pair<ak::Window*, XWindow> show(const std::string& title, ak::FRect frame) {
        windows_.push_back(std::make_unique<ak::Window>(frame, ak::kStyleTitled | ak::kStyleClosable, title));
        ak::Window* w = windows_.back().get();
        w->show();
        XWindow x = 0;
        EXPECT_TRUE(app_.pumpUntil([&] { return (x = app_.probe().findWindow(title)) && app_.probe().viewable(x); }));
        return {w, x};
    }
    hvtest::AppOnXvfb app_;
    std::vector<std::unique_ptr<ak::Window>> windows_;
};

}  // namespace

TEST_F(X11Desktop, AFailedRequestIsReportedOnceAndTheProgramGoesOn) {
    Display* d = XOpenDisplay(hvtest::XvfbServer::shared().display().c_str());
    ASSERT_NE(d, nullptr);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) XMapWindow(d, 0x1FFFFFF0);  // no such window
    XSync(d, False);
    const std::string said = testing::internal::GetCapturedStderr();
    XCloseDisplay(d);
    EXPECT_NE(said.find("X_MapWindow"), std::string::npos) << said;
    EXPECT_NE(said.find("BadWindow"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// Under a window manager the windows stand in frames of their own, which it
// stacks; bringing one or the other to the front reorders them, however
// often, and nothing fails on the way.
TEST_F(X11Desktop, WindowsBroughtToTheFrontInTurnStandThere) {
    const double top = ak::Application::mainScreenHeight();
    testing::internal::CaptureStderr();
    auto [a, xa] = show("desktop front a", {100, top - 400, 300, 200});
    auto [b, xb] = show("desktop front b", {250, top - 450, 300, 200});
    for (int round = 0; round < 3; ++round)
        for (auto [w, x, other] : {std::tuple{a, xa, xb}, std::tuple{b, xb, xa}}) {
            w->makeKeyAndOrderFront();
            EXPECT_TRUE(app_.pumpUntil([&, x = x, other = other] { return app_.probe().above(x, other); }))
                << w->title() << " round " << round;
        }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(X11Desktop, WindowsTellTheirTitleProgramAndOwner) {
    hvtest::XProbe& p = app_.probe();
    const double top = ak::Application::mainScreenHeight();
    auto [doc, xdoc] = show("desktop document", {100, top - 400, 300, 200});
    windows_.push_back(
        std::make_unique<ak::Window>(ak::FRect{150, top - 350, 200, 100}, ak::kStyleTitled, "desktop dialog"));
    ak::Window* dialog = windows_.back().get();
    dialog->setOwnerWindow(doc);
    dialog->show();
    XWindow xdialog = 0;
    ASSERT_TRUE(app_.pumpUntil([&] { return (xdialog = p.findWindow("desktop dialog")) && p.viewable(xdialog); }));
    auto [child, xchild] = show("desktop child", {120, top - 150, 50, 30});
    doc->addChildWindow(child);

    doc->setTitle("Café ✓");
    EXPECT_TRUE(app_.pumpUntil([&, xdoc = xdoc] { return p.property(xdoc, "_NET_WM_NAME").bytes == "Café ✓"; }));
    EXPECT_EQ(p.property(xdoc, "_NET_WM_NAME").type, "UTF8_STRING");
    EXPECT_EQ(p.property(xdoc, "WM_CLASS").bytes, std::string("test_platform\0Test_platform\0", 28));
    EXPECT_EQ(p.property(xdoc, "_NET_WM_PID").items, std::vector<unsigned long>{static_cast<unsigned long>(getpid())});
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(p.property(xdoc, "WM_CLIENT_MACHINE").bytes, host);
    // One group leader for all of them, which names itself as leader.
    const auto leader = p.property(xdoc, "WM_CLIENT_LEADER").items;
    ASSERT_EQ(leader.size(), 1u);
    EXPECT_EQ(p.property(leader[0], "WM_CLIENT_LEADER").items, leader);
    struct {
        XWindow x;
        std::vector<unsigned long> transientFor;
        const char* type;
    } const cases[] = {{xdoc, {}, "_NET_WM_WINDOW_TYPE_NORMAL"},
                       {xdialog, {xdoc}, "_NET_WM_WINDOW_TYPE_DIALOG"},
                       {xchild, {xdoc}, "_NET_WM_WINDOW_TYPE_UTILITY"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(app_.pumpUntil([&] { return p.property(c.x, "WM_TRANSIENT_FOR").items == c.transientFor; }));
        EXPECT_EQ(p.property(c.x, "WM_CLIENT_LEADER").items, leader);
        XWMHints* hints = XGetWMHints(p.display(), c.x);
        ASSERT_NE(hints, nullptr);
        EXPECT_TRUE(hints->flags & WindowGroupHint);
        EXPECT_EQ(hints->window_group, leader[0]);
        XFree(hints);
        auto type = p.property(c.x, "_NET_WM_WINDOW_TYPE").items;
        ASSERT_EQ(type.size(), 1u);
        EXPECT_EQ(p.atomName(type[0]), c.type);
    }
    // A modal run makes it modal where a manager keeps the state.
    if (!p.hasWindowManager()) return;
    auto modal = [&] {
        for (unsigned long a : p.property(xdialog, "_NET_WM_STATE").items)
            if (p.atomName(a) == "_NET_WM_STATE_MODAL") return true;
        return false;
    };
    ak::ModalSession* s = ak::beginModalSession(dialog);
    EXPECT_TRUE(app_.pumpUntil(modal));
    ak::endModalSession(s);
    EXPECT_TRUE(app_.pumpUntil([&] { return !modal(); }));
}

// The alert's close button (a manager ends a client it cannot ask) answers
// as Cancel, or as the only button; an alert without either keeps asking.
// Alerts run modally, with the keyboard.
TEST_F(X11Desktop, AnAlertsCloseButtonAnswersAsCancel) {
    const std::string display = hvtest::XvfbServer::shared().display();
    const struct {
        std::vector<std::string> buttons;
        int answer;
        bool closes;
    } cases[] = {{{"Replace", "Cancel"}, 1, true}, {{"OK"}, 0, true}, {{"Yes", "No"}, 0, false}};
    int modal = 0;
    for (const auto& c : cases) {
        std::thread person([&] {
            hvtest::XProbe p(display);
            XWindow alert = 0;
            if (!hvtest::waitUntil([&] { return (alert = p.findWindow("Close me")) && p.viewable(alert); })) return;
            modal += hvtest::waitUntil([&] {
                auto state = p.property(alert, "_NET_WM_STATE").items;
                return state.size() == 1 && p.atomName(state[0]) == "_NET_WM_STATE_MODAL";
            });
            p.askToClose(alert);
            if (c.closes && hvtest::waitUntil([&] { return p.mapState(alert) == hvtest::XProbe::Gone; })) return;
            // Still there: the default button takes Return.
            EXPECT_TRUE(hvtest::waitUntil([&] {
                ::Window focus = 0;
                int revert = 0;
                XGetInputFocus(p.display(), &focus, &revert);
                return focus == alert;
            }));
            p.key(XK_Return);
        });
        EXPECT_EQ(ak::Application::backend().runAlert(nullptr, {"Close me", "?", c.buttons}), c.answer);
        person.join();
    }
    EXPECT_EQ(modal, 3);
}

TEST(X11Connection, ALostDisplayEndsTheProgramAtOnceWithoutItsExitHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    hvtest::TempDataDir dir;
    const std::string marker = dir.str() + "written on the way out";
    EXPECT_EXIT(
        {
            static std::string path = marker;
            std::atexit([] { std::ofstream(path) << "half a file"; });
            auto* server = new hvtest::XvfbServer(320, 240);
            Display* d = XOpenDisplay(server->display().c_str());
            ak::installX11ErrorHandlers();
            delete server;  // the display goes away under the program
            for (;;) XSync(d, False);
        },
        testing::ExitedWithCode(1), "connection to the display .* was lost");
    EXPECT_FALSE(std::ifstream(marker).good());
}
