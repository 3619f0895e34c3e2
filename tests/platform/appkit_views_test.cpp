// ctest-labels: tsan
#include <gtest/gtest.h>

#include <thread>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"

using namespace platform::appkit;

namespace {

// A view that records what reaches it and paints one colour.
class Probe : public View {
public:
    Probe(Rect f, uint32_t colour) : View(f), colour_(colour) {}
    void drawRect(Canvas& c, const Rect& dirty) override {
        ++draws;
        lastDirty = dirty;
        c.fillRect(bounds(), colour_);
    }
    void mouseDown(const Event& e) override { log += "down(" + pos(e) + ")"; }
    void mouseUp(const Event& e) override { log += "up(" + pos(e) + ")"; }
    void mouseDragged(const Event& e) override { log += "drag(" + pos(e) + ")"; }
    void mouseExited(const Event&) override { log += "exit"; }
    void scrollWheel(const Event& e) override { log += "wheel" + std::to_string(int(e.deltaY)); }
    bool keyDown(const Event& e) override {
        log += "key";
        return handlesKeys;
    }
    std::string pos(const Event& e) const {
        Point p = convertFromWindow(e.location);
        return std::to_string(p.x) + "," + std::to_string(p.y);
    }
    std::string log;
    int draws = 0;
    Rect lastDirty;
    bool handlesKeys = true;

private:
    uint32_t colour_;
};

}  // namespace

TEST(AppKitViews, HitTestPrefersTheLastShownSubviewAndSkipsHidden) {
    Window w({100, 100}, "t");
    auto* a = new Probe({10, 10, 50, 50}, 1);
    auto* b = new Probe({30, 30, 50, 50}, 2);
    auto* inner = new Probe({5, 5, 10, 10}, 3);
    w.contentView()->addSubview(a);
    w.contentView()->addSubview(b);
    b->addSubview(inner);
    EXPECT_EQ(w.contentView()->hitTest({40, 40}), inner);
    EXPECT_EQ(w.contentView()->hitTest({31, 31}), b);
    EXPECT_EQ(w.contentView()->hitTest({15, 15}), a);
    b->setHidden(true);
    EXPECT_EQ(w.contentView()->hitTest({40, 40}), a);
    EXPECT_EQ(w.contentView()->hitTest({70, 70}), w.contentView());
    EXPECT_EQ(w.contentView()->hitTest({100, 5}), nullptr);  // right edge is outside
    EXPECT_EQ(inner->convertToWindow({1, 2}), (Point{36, 37}));
}

TEST(AppKitViews, PressCapturesDragsAndReleaseAndMovesReportExit) {
    Window w({100, 100}, "t");
    auto* a = new Probe({0, 0, 50, 50}, 1);
    auto* b = new Probe({50, 0, 50, 50}, 2);
    w.contentView()->addSubview(a);
    w.contentView()->addSubview(b);
    w.sendEvent(Event::mouse(EventType::MouseDown, {10, 10}));
    w.sendEvent(Event::mouse(EventType::MouseDragged, {70, 10}));
    w.sendEvent(Event::mouse(EventType::MouseUp, {80, 10}));
    EXPECT_EQ(a->log, "down(10,10)drag(70,10)up(80,10)");
    EXPECT_EQ(b->log, "");
    w.sendEvent(Event::mouse(EventType::MouseMoved, {10, 10}, MouseButton::None));
    w.sendEvent(Event::mouse(EventType::MouseMoved, {60, 10}, MouseButton::None));
    EXPECT_EQ(a->log, "down(10,10)drag(70,10)up(80,10)exit");
    w.sendEvent(Event::wheel({60, 10}, -1));
    EXPECT_EQ(b->log, "wheel-1");
}

TEST(AppKitViews, KeysClimbToTheSuperviewUntilHandled) {
    Window w({100, 100}, "t");
    auto* outer = new Probe({0, 0, 80, 80}, 1);
    auto* inner = new Probe({0, 0, 20, 20}, 2);
    outer->addSubview(inner);
    w.contentView()->addSubview(outer);
    inner->handlesKeys = false;
    w.sendEvent(Event::keyDown({5, 5}, Key::Up));
    EXPECT_EQ(inner->log, "key");
    EXPECT_EQ(outer->log, "key");
}

TEST(AppKitViews, DestroyedViewIsForgottenByTheWindow) {
    Window w({100, 100}, "t");
    auto* a = new Probe({0, 0, 50, 50}, 1);
    w.contentView()->addSubview(a);
    w.sendEvent(Event::mouse(EventType::MouseDown, {10, 10}));
    delete a;  // while it holds the capture
    w.sendEvent(Event::mouse(EventType::MouseUp, {10, 10}));
    EXPECT_TRUE(w.contentView()->subviews().empty());
}

TEST(AppKitViews, DisplayRedrawsOnlyTheMarkedAreaIntoTheBackingStore) {
    Window w({40, 30}, "t");
    auto* a = new Probe({0, 0, 40, 30}, 0x112233);
    w.contentView()->addSubview(a);
    w.display();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(w.pixelAt(39, 29), 0x112233u);
    EXPECT_TRUE(w.dirtyRect().isEmpty());
    w.display();  // nothing marked: nothing drawn
    EXPECT_EQ(a->draws, 1);
    a->setNeedsDisplayInRect({5, 6, 7, 8});
    EXPECT_EQ(w.dirtyRect(), (Rect{5, 6, 7, 8}));
    w.display();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(a->lastDirty, (Rect{5, 6, 7, 8}));
}

TEST(AppKitViews, CanvasConvertsSkipFirstBytePixelsAndClips) {
    std::vector<uint32_t> fb(4 * 4, 0);
    Canvas c(fb.data(), 4, 4, {1, 1}, {0, 0, 3, 3});
    // Two source pixels in bitmap-context layout: ignored, red, green, blue.
    uint8_t src[8] = {0x99, 0x10, 0x20, 0x30, 0x99, 0x40, 0x50, 0x60};
    c.drawPixels(src, 8, PixelLayout::SkipFirstByte, {0, 0, 2, 1}, {0, 0});
    EXPECT_EQ(fb[1 * 4 + 1], 0x102030u);
    EXPECT_EQ(fb[1 * 4 + 2], 0x405060u);
    c.drawPixels(src, 8, PixelLayout::SkipFirstByte, {0, 0, 2, 1}, {2, 0});  // lands at x 3, clipped away
    EXPECT_EQ(fb[1 * 4 + 3], 0u);
    c.drawPixels(src, 8, PixelLayout::SkipFirstByte, {1, 0, 1, 1}, {-1, 1});  // left of the origin: (0,2)
    EXPECT_EQ(fb[2 * 4 + 0], 0x405060u);
}

TEST(AppKitRunLoop, TimersFireRepeatedlyAndStopWhenDestroyedEvenFromTheirOwnAction) {
    RunLoop& loop = RunLoop::main();
    int a = 0;
    auto* self = new RepeatingTimer(5, [] {});
    RepeatingTimer* doomed = self;
    RepeatingTimer t(5, [&] {
        ++a;
        if (doomed) {
            delete doomed;
            doomed = nullptr;
        }
    });
    size_t before = loop.timerCount();
    loop.runUntil([&] { return a >= 3; }, 2000);
    EXPECT_GE(a, 3);
    EXPECT_EQ(loop.timerCount(), before - 1);
    t.invalidate();
    int seen = a;
    loop.runFor(30);
    EXPECT_EQ(a, seen);
    t.fire();  // an invalid timer does nothing
    EXPECT_EQ(a, seen);
}

TEST(AppKitRunLoop, WorkPostedFromAnotherThreadRunsOnTheLoop) {
    RunLoop& loop = RunLoop::main();
    std::thread::id ranOn;
    bool ran = false;
    std::thread t([&] {
        loop.post([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    });
    t.join();
    loop.runUntil([&] { return ran; }, 1000);
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(AppKitHeadless, MenusFollowScriptedPathsAndDismissWhenTheQueueIsEmpty) {
    auto* hb = new HeadlessBackend;
    Application::setBackend(std::unique_ptr<Backend>(hb));
    Menu sub;
    sub.items = {{"x"}, {"", false, true}, {"y"}};
    Menu top;
    top.items = {{"a"}, {"more", false, false, true, &sub}, {"c", true}};
    hb->queueMenuChoice({1, 2});
    MenuChoice c = hb->popUpMenu(nullptr, top, {3, 4});
    EXPECT_EQ(c.menu, &sub);
    EXPECT_EQ(c.index, 2);
    hb->queueMenuChoice({1, 1});  // a separator cannot be chosen
    EXPECT_FALSE(hb->popUpMenu(nullptr, top, {}));
    hb->queueMenuChoice({1});  // nor a submenu entry
    EXPECT_FALSE(hb->popUpMenu(nullptr, top, {}));
    hb->queueMenuChoice({7});
    EXPECT_FALSE(hb->popUpMenu(nullptr, top, {}));
    EXPECT_FALSE(hb->popUpMenu(nullptr, top, {}));  // empty queue: dismissed
    ASSERT_EQ(hb->shownMenus().size(), 5u);
    EXPECT_EQ(hb->shownMenus()[0].at, (Point{3, 4}));
    EXPECT_EQ(hb->shownMenus()[0].titles, (std::vector<std::string>{"a", "more", "c"}));
    EXPECT_EQ(hb->shownMenus()[0].checked, (std::vector<bool>{false, false, true}));
    Application::setBackend(std::make_unique<HeadlessBackend>());
}

TEST(AppKitHeadless, TextEntryKeepsTheLengthLimitInCharacters) {
    HeadlessBackend hb;
    hb.queueTextEntry(std::string("abcdefgh"));
    hb.queueTextEntry(std::string("\xC3\xA9\xC3\xA9\xC3\xA9"));  // three two-byte characters
    TextEntryRequest r;
    r.maxLength = 5;
    EXPECT_EQ(hb.runTextEntry(nullptr, r), std::optional<std::string>("abcde"));
    r.maxLength = 2;
    EXPECT_EQ(hb.runTextEntry(nullptr, r), std::optional<std::string>("\xC3\xA9\xC3\xA9"));
    EXPECT_EQ(hb.runTextEntry(nullptr, r), std::nullopt);
    EXPECT_EQ(limitText("abc", 0), "abc");
}

TEST(AppKitHeadless, FileExtensionsAreMatchedWithoutCase) {
    EXPECT_TRUE(pathHasExtension("/a/b.MID", {"mid", "syx"}));
    EXPECT_TRUE(pathHasExtension("/a/b.syx", {"mid", "syx"}));
    EXPECT_FALSE(pathHasExtension("/a.mid/b", {"mid"}));
    EXPECT_FALSE(pathHasExtension("/a/b.midi", {"mid"}));
    EXPECT_TRUE(pathHasExtension("/a/b", {}));
}
