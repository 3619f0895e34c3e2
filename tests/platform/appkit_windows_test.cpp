// ctest-labels: tsan
// The AppKit stand-in's window model: the registry of live objects, window
// order by level, key status, screen coordinates, frames with child windows,
// the delegate, content views, per-thread run loops and queued events, all on the headless backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"

using namespace platform::appkit;

namespace {

HeadlessBackend& Headless() { return dynamic_cast<HeadlessBackend&>(Application::backend()); }

struct RecordingDelegate : WindowDelegate {
    bool windowShouldClose(Window&) override {
        log += "should-close ";
        return allowClose;
    }
    void windowDidResize(Window&) override { log += "resize "; }
    void windowDidMove(Window&) override { log += "move "; }
    void windowDidBecomeKey(Window&) override { log += "key "; }
    void windowDidResignKey(Window&) override { log += "resign "; }
    void windowWillClose(Window&) override { log += "close "; }
    std::string log;
    bool allowClose = false;
};

}  // namespace

TEST(AppKitRegistry, ObjectsAreLiveFromConstructionUntilTheirDestructionBegins) {
    auto* v = new View(Rect{0, 0, 5, 5});
    auto* child = new View(Rect{0, 0, 1, 1});
    v->addSubview(child);
    EXPECT_TRUE(Responder::isLive(v));
    EXPECT_TRUE(Responder::isLive(child));
    EXPECT_FALSE(Responder::isLive(nullptr));
    int local = 0;
    EXPECT_FALSE(Responder::isLive(&local));
    delete v;
    EXPECT_FALSE(Responder::isLive(v));
    EXPECT_FALSE(Responder::isLive(child));
    auto* w = new Window({10, 10}, "w");
    View* content = w->contentView();
    EXPECT_TRUE(Responder::isLive(w) && Responder::isLive(content));
    delete w;
    EXPECT_FALSE(Responder::isLive(w) || Responder::isLive(content));
}

TEST(AppKitWindows, OrderFollowsLevelsThenRecencyAndHiddenWindowsComeLast) {
    Window a({10, 10}, "a"), b({10, 10}, "b"), c({10, 10}, "c");
    c.setLevel(3);
    a.show();
    c.show();
    b.show();
    auto ordered = Application::orderedWindows();
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_EQ(ordered[0], &c);  // a higher level stays in front
    EXPECT_EQ(ordered[1], &b);
    EXPECT_EQ(ordered[2], &a);
    a.orderFront();
    EXPECT_EQ(Application::orderedWindows()[1], &a);
    b.orderOut();
    EXPECT_EQ(Application::orderedWindows().size(), 2u);
    EXPECT_EQ(Application::windows().back(), &b);
}

TEST(AppKitWindows, KeyStatusMovesBetweenShownWindowsAndLeavesWithThem) {
    Window a({10, 10}, "a"), b({10, 10}, "b");
    RecordingDelegate da, db;
    a.setDelegate(&da);
    b.setDelegate(&db);
    a.makeKeyWindow();  // not shown: cannot be key
    EXPECT_EQ(Application::keyWindow(), nullptr);
    a.makeKeyAndOrderFront();
    EXPECT_TRUE(a.isKeyWindow() && a.isMainWindow());
    b.makeKeyAndOrderFront();
    EXPECT_EQ(Application::keyWindow(), &b);
    EXPECT_EQ(da.log, "key resign ");
    b.windowSystemDidFocus(false);
    EXPECT_EQ(Application::keyWindow(), nullptr);
    a.windowSystemDidFocus(true);
    EXPECT_EQ(Application::keyWindow(), &a);
    a.orderOut();
    EXPECT_EQ(Application::keyWindow(), nullptr);
    b.setDelegate(nullptr);
    a.setDelegate(nullptr);
}

TEST(AppKitWindows, ScreenCoordinatesRunUpFromTheMainScreensLowerLeft) {
    Headless().setScreens({{{0, 0, 800, 600}, {0, 0, 800, 576}}, {{800, 0, 1024, 768}, {800, 0, 1024, 768}}});
    Window w({100, 50}, "w");
    EXPECT_EQ(w.frame(), (FRect{0, 550, 100, 50}));  // at the top left
    w.setFrameOrigin({200, 300});
    EXPECT_EQ(w.convertToScreen({0, 0}), (FPoint{200, 350}));
    EXPECT_EQ(w.convertToScreen({10, 50}), (FPoint{210, 300}));
    EXPECT_EQ(w.convertFromScreen({210, 300}), (FPoint{10, 50}));
    w.center();
    EXPECT_EQ(w.frame().x, 350);
    EXPECT_EQ(Application::mainScreen()->frame.width, 800);
    Headless().setScreens({});
    EXPECT_FALSE(Application::mainScreen());
    Window none({10, 10}, "none");
    EXPECT_EQ(none.frame().y, -10);
    Headless().setScreens({{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}});
}

TEST(AppKitWindows, FramesResizeTheBackingStoreMoveChildWindowsAndTellTheDelegate) {
    Window parent(FRect{100, 100, 40, 30}, kStyleTitled | kStyleResizable, "p");
    Window child(FRect{150, 100, 10, 10}, kStyleTitled, "c");
    RecordingDelegate d;
    parent.setDelegate(&d);
    parent.addChildWindow(&child);
    child.addChildWindow(&parent);  // no cycles
    EXPECT_EQ(child.parentWindow(), &parent);
    EXPECT_EQ(parent.parentWindow(), nullptr);
    parent.setFrame({110, 90, 60, 20});
    EXPECT_EQ(d.log, "resize move ");
    EXPECT_EQ(parent.size(), (Size{60, 20}));
    EXPECT_EQ(parent.pixels().size(), 60u * 20u);
    EXPECT_EQ(parent.contentView()->frame(), (Rect{0, 0, 60, 20}));
    EXPECT_EQ(child.frame(), (FRect{160, 90, 10, 10}));
    d.log.clear();
    parent.windowSystemDidSetFrame({110, 90, 60, 20});  // the window system confirming changes nothing
    EXPECT_EQ(d.log, "");
    parent.setFrame({0, 0, 0, -5});
    EXPECT_EQ(parent.size(), (Size{1, 1}));
    parent.setDelegate(nullptr);
}

TEST(AppKitWindows, TheDelegateMayRefuseAUserCloseAndAClosedWindowIsOutOfTheOrder) {
    Window w({10, 10}, "w");
    RecordingDelegate d;
    w.setDelegate(&d);
    bool told = false;
    w.setOnClose([&] { told = true; });
    w.show();
    w.userClosed();
    EXPECT_FALSE(w.isClosed());
    EXPECT_FALSE(told);
    d.allowClose = true;
    w.userClosed();
    EXPECT_TRUE(w.isClosed() && told);
    EXPECT_EQ(d.log, "should-close should-close close ");
    auto ordered = Application::orderedWindows();
    EXPECT_EQ(std::find(ordered.begin(), ordered.end(), &w), ordered.end());
    w.setDelegate(nullptr);
}

TEST(AppKitWindows, AContentViewCanBeReplacedAndHandedBack) {
    Window w({30, 20}, "w");
    auto* mine = new View(Rect{5, 5, 1, 1});
    std::unique_ptr<View> old = w.setContentView(mine);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->window(), nullptr);
    EXPECT_EQ(mine->window(), &w);
    EXPECT_EQ(mine->frame(), (Rect{0, 0, 30, 20}));
    std::unique_ptr<View> back = w.setContentView(nullptr);
    EXPECT_EQ(back.get(), mine);
    EXPECT_EQ(w.contentView(), nullptr);
    w.display();  // nothing to draw, nothing breaks
}

TEST(AppKitRunLoop, EachThreadRunsItsOwnTimersAndPostedWork) {
    EXPECT_TRUE(RunLoop::isMainThread());
    EXPECT_EQ(&RunLoop::current(), &RunLoop::main());
    std::atomic<int> fires{0}, posted{0};
    std::atomic<RunLoop*> workerLoop{nullptr};
    std::thread worker([&] {
        RunLoop& mine = RunLoop::current();
        EXPECT_FALSE(RunLoop::isMainThread());
        EXPECT_NE(&mine, &RunLoop::main());
        RepeatingTimer t(
            1, [&] { ++fires; }, mine);
        workerLoop = &mine;
        mine.runUntil([&] { return fires >= 3 && posted == 1; }, 10000);
    });
    while (!workerLoop) std::this_thread::yield();
    workerLoop.load()->post([&] { ++posted; });
    worker.join();
    EXPECT_GE(fires.load(), 3);
    EXPECT_EQ(posted.load(), 1);
}

TEST(AppKitHeadless, QueuedEventsAreDispatchedOneAtATime) {
    Window w({20, 20}, "e");
    struct Clicks : View {
        using View::View;
        void mouseDown(const Event&) override { ++downs; }
        int downs = 0;
    };
    auto* v = new Clicks(Rect{0, 0, 20, 20});
    w.contentView()->addSubview(v);
    Headless().queueEvent(&w, Event::mouse(EventType::MouseDown, {5, 5}));
    Headless().queueEvent(&w, Event::mouse(EventType::MouseDown, {6, 6}));
    EXPECT_TRUE(Application::dispatchNextEvent(0));
    EXPECT_EQ(v->downs, 1);
    EXPECT_TRUE(Application::dispatchNextEvent(0));
    EXPECT_FALSE(Application::dispatchNextEvent(0));
    EXPECT_EQ(v->downs, 2);
}
