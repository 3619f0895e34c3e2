// ctest-labels: tsan x11
// The X11 backend's input services on a private Xvfb, driven through XTest
// and read back from a second connection: key codes and texts of typed keys,
// the layout from the server's keymap, cursors, warping, the pointer state,
// dissociated mouse moves, files dropped over XDND, and the alert window.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Keyboard.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "support/x11/AppOnXvfb.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XdndSource.h"
#include "support/x11/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#undef None

namespace ak = platform::appkit;
using ak::AlertRequest;
using ak::Application;
using ak::CursorImage;
using ak::DragInfo;
using ak::Event;
using ak::HeadlessBackend;
using ak::kDragOperationCopy;
using ak::kDragOperationNone;
using ak::kShiftKeyMask;
using ak::Point;
using ak::PointF;
using ak::Rect;
using ak::RunLoop;
using ak::Size;
using ak::View;
namespace keycode = ak::keycode;

namespace {

class Recorder : public View {
public:
    using View::View;
    bool acceptsFirstResponder() const override { return true; }
    bool keyDown(const Event& e) override {
        keys.push_back(e);
        return true;
    }
    void mouseMoved(const Event& e) override { moves.push_back(e); }
    void mouseDown(const Event& e) override {
        if (onMouseDown) onMouseDown(e);
    }
    int draggingEntered(const DragInfo& d) override { return takeDrops ? kDragOperationCopy : kDragOperationNone; }
    bool performDragOperation(const DragInfo& d) override {
        drops.push_back(d);
        return takeDrops;
    }
    std::vector<Event> keys, moves;
    std::vector<DragInfo> drops;
    std::function<void(const Event&)> onMouseDown;
    bool takeDrops = true;
};

class X11Input : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start()) << hvtest::XvfbServer::shared().log();
        probe_ = &app_.probe();
    }
    void TearDown() override {
        window_.reset();
        app_.stop();
    }
    // A shown window whose left half is a recording view; its X window.
    XWindow show(const std::string& title) {
        window_ = std::make_unique<ak::Window>(Size{200, 150}, title);
        view_ = new Recorder(Rect{0, 0, 100, 150});
        window_->contentView()->addSubview(view_);
        window_->makeFirstResponder(view_);
        window_->show();
        XWindow x = 0;
        EXPECT_TRUE(pumpUntil([&] { return (x = probe_->findWindow(title)) && probe_->viewable(x); }));
        return x;
    }
    bool pumpUntil(const std::function<bool()>& done) { return app_.pumpUntil(done); }
    hvtest::AppOnXvfb app_;
    hvtest::XProbe* probe_ = nullptr;
    std::unique_ptr<ak::Window> window_;
    Recorder* view_ = nullptr;
};

int layoutChar(int keyCode, uint32_t& dead) {
    char16_t out[4];
    int n = Application::backend().keyboardLayout()->translate(keyCode, dead, out, 4);
    return n ? out[0] : 0;
}

}  // namespace

TEST_F(X11Input, TypedKeysCarryTheirCodesAndTexts) {
    XWindow x = show("x11 keys");
    XSetInputFocus(probe_->display(), x, RevertToParent, CurrentTime);
    XSync(probe_->display(), False);
    ASSERT_TRUE(probe_->type("aA1!"));
    for (auto [sym, mods] : std::vector<std::pair<unsigned long, unsigned>>{
             {XK_Return, 0}, {XK_Tab, 0}, {XK_Tab, ShiftMask}, {XK_Left, 0}, {XK_F1, 0}, {XK_KP_Enter, 0}})
        ASSERT_TRUE(probe_->key(sym, mods));
    const struct {
        int code;
        std::u32string typed, plain;
        bool shift;
    } want[] = {
        {0, U"a", U"a", false},
        {0, U"A", U"A", true},
        {18, U"1", U"1", false},
        {18, U"!", U"!", true},
        {36, U"\r", U"\r", false},
        {48, U"\t", U"\t", false},
        {48, U"\x19", U"\x19", true},
        {123, U"\uF702", U"\uF702", false},
        {122, U"\uF704", U"\uF704", false},
        {76, U"\x03", U"\x03", false},
    };
    ASSERT_TRUE(pumpUntil([&] { return view_->keys.size() >= std::size(want); })) << view_->keys.size();
    for (size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(i);
        const Event& e = view_->keys[i];
        EXPECT_EQ(e.keyCode, want[i].code);
        EXPECT_EQ(e.characters, want[i].typed);
        EXPECT_EQ(e.charactersIgnoringModifiers, want[i].plain);
        EXPECT_EQ(e.modifiers.shift, want[i].shift);
        EXPECT_GT(e.timestamp, 0);
    }
}

TEST_F(X11Input, LayoutFollowsTheServersKeymap) {
    show("x11 layout");
    uint32_t dead = 0;
    EXPECT_EQ(layoutChar(0, dead), 'a');
    EXPECT_EQ(layoutChar(18, dead), '1');
    EXPECT_EQ(layoutChar(keycode::Space, dead), ' ');
    Display* d = probe_->display();
    const KeyCode aKey = XKeysymToKeycode(d, XK_a);
    auto bind = [&](KeySym lower, KeySym upper) {
        KeySym syms[2] = {lower, upper};
        XChangeKeyboardMapping(d, aKey, 2, syms, 1);
        XSync(d, False);
    };
    bind(XK_q, XK_Q);
    EXPECT_TRUE(pumpUntil([&] { return layoutChar(0, dead) == 'q'; }));
    bind(XK_dead_acute, XK_dead_acute);
    EXPECT_TRUE(pumpUntil([&] {
        dead = 0;
        return layoutChar(0, dead) == 0 && dead != 0;
    }));
    EXPECT_EQ(layoutChar(keycode::Space, dead), 0xB4);  // the accent itself
    EXPECT_EQ(dead, 0u);
    bind(XK_a, XK_A);
    EXPECT_TRUE(pumpUntil([&] { return layoutChar(0, dead) == 'a'; }));
}

TEST_F(X11Input, CursorImageWarpAndPointerState) {
    XWindow x = show("x11 cursor");
    CursorImage img{8, 8, std::vector<uint32_t>(64, 0xFF336699)};
    img.argb[3 * 8 + 2] = 0xFFFF0000;
    img.argb[0] = 0;
    ak::Cursor custom(img, {2, 3});
    custom.set();
    probe_->moveTo(x, 50, 50);
    hvtest::XProbe::Cursor seen;
    ASSERT_TRUE(pumpUntil([&] {
        seen = probe_->cursor();
        return seen.width == 8 && seen.height == 8;
    }));
    EXPECT_EQ(seen.xhot, 2);
    EXPECT_EQ(seen.yhot, 3);
    EXPECT_EQ(seen.argb, img.argb);  // opaque or clear: premultiplying changes nothing
    ak::Cursor::iBeam()->set();
    EXPECT_TRUE(pumpUntil([&] { return probe_->cursor().width != 8; }));

    ASSERT_TRUE(ak::Cursor::warp(123, 45));
    EXPECT_EQ(probe_->pointer(), std::make_pair(123, 45));
    PointF at = ak::Cursor::mouseLocation();
    EXPECT_EQ(at.x, 123);
    EXPECT_EQ(at.y, ak::Cursor::mainDisplayHeight() - 45);

    probe_->press(3);
    EXPECT_EQ(ak::Cursor::pressedMouseButtons(), 2u);
    probe_->release(3);
    ASSERT_TRUE(probe_->keyDown(XK_Shift_L));
    EXPECT_EQ(ak::Cursor::modifierFlags(), kShiftKeyMask);
    ASSERT_TRUE(probe_->keyUp(XK_Shift_L));
    EXPECT_EQ(ak::Cursor::modifierFlags(), 0u);
}

TEST_F(X11Input, DissociatedMovesReportDeltasAndLeaveThePointer) {
    XWindow x = show("x11 relative");
    probe_->moveTo(x, 40, 40);
    ASSERT_TRUE(pumpUntil([&] { return !view_->moves.empty(); }));
    const auto anchor = probe_->pointer();
    ak::Cursor::associateMouse(false);
    view_->moves.clear();
    probe_->moveTo(x, 47, 35);
    ASSERT_TRUE(pumpUntil([&] { return !view_->moves.empty(); }));
    EXPECT_EQ(view_->moves[0].deltaX, 7);
    EXPECT_EQ(view_->moves[0].deltaY, -5);
    EXPECT_TRUE(pumpUntil([&] { return probe_->pointer() == anchor; }));
    ak::Cursor::associateMouse(true);
}

TEST_F(X11Input, FilesDroppedOverXdnd) {
    XWindow x = show("x11 drop");
    view_->registerForDraggedFiles(true);
    hvtest::TempDataDir dir;
    std::vector<std::string> files;
    for (const char* name : {"one.syx", "two banks.hvx", "caf\xC3\xA9 #3.mid"})
        files.push_back(dir.write(name, "data").string());
    auto pump = [] { RunLoop::main().runOnce(); };
    auto out = hvtest::dragFilesOnto(*probe_, x, 40, 30, files, pump);
    EXPECT_TRUE(out.accepted);
    EXPECT_TRUE(out.dropTaken);
    ASSERT_EQ(view_->drops.size(), 1u);
    EXPECT_EQ(view_->drops[0].fileNames, files);
    EXPECT_EQ(view_->drops[0].location, (Point{40, 30}));
    // Over the part of the window that takes no drops: refused, but answered.
    out = hvtest::dragFilesOnto(*probe_, x, 150, 30, files, pump);
    EXPECT_TRUE(out.statusSeen);
    EXPECT_FALSE(out.accepted);
    EXPECT_TRUE(out.finished);
    EXPECT_FALSE(out.dropTaken);
    EXPECT_EQ(view_->drops.size(), 1u);
}

TEST_F(X11Input, AlertAnswersTheKeyboardAndTheMouse) {
    show("x11 alert owner");
    const AlertRequest request{
        "Copy", "An item named \"a.txt\" already exists in this location.", {"Keep Both Files", "Stop", "Replace"}};
    const std::string display = hvtest::XvfbServer::shared().display();
    // A person at the alert: waits for it, then answers.
    auto answer = [&](bool byKeys) {
        return std::thread([display, byKeys] {
            hvtest::XProbe person(display);
            XWindow alert = 0;
            ASSERT_TRUE(
                hvtest::waitUntil([&] { return (alert = person.findWindow("Copy")) && person.viewable(alert); }));
            if (byKeys) {
                ASSERT_TRUE(hvtest::waitUntil([&] {
                    ::Window focus = 0;
                    int revert = 0;
                    XGetInputFocus(person.display(), &focus, &revert);
                    return focus == alert;
                }));
                person.key(XK_Tab);
                person.key(XK_Tab);
                person.key(XK_Return);
            } else {
                auto g = person.geometry(alert);
                ASSERT_TRUE(g);
                person.clickAt(alert, g->width - 26, g->height - 28);  // in the rightmost button
            }
        });
    };
    std::thread byKeys = answer(true);
    EXPECT_EQ(Application::backend().runAlert(window_.get(), request), 2);
    byKeys.join();
    std::thread byMouse = answer(false);
    EXPECT_EQ(Application::backend().runAlert(window_.get(), request), 0);
    byMouse.join();
}

// A pop-up menu opened by a press measures moves from that press, however
// far the pointer went before the menu showed (a slow program): a release
// after a move onto an item chooses it; a release where the press was keeps
// the menu open for a click on an item. Escape closes a menu that took
// neither (typed only then: a window manager that holds presses a moment
// would let it overtake them).
TEST_F(X11Input, AMenuOpenedByAPressMeasuresMovesFromThatPress) {
    struct Case {
        bool releaseAtThePress;
        int item;
    };
    for (const Case c : {Case{false, 2}, Case{true, 1}}) {
        const XWindow x = show(c.releaseAtThePress ? "x11 menu click" : "x11 menu drag");
        const auto g = probe_->geometry(x);
        ASSERT_TRUE(g);
        ak::Menu menu;
        for (const char* title : {"One", "Two", "Three", "Four"}) menu.addItem(ak::MenuItem{title});
        const Point at{20, 20};
        ak::MenuChoice choice;
        bool shown = false;
        std::atomic<bool> closed{false};
        std::thread escape;
        view_->onMouseDown = [&](const Event&) {
            if (shown) return;  // a press the menu left
            if (c.releaseAtThePress) probe_->release();
            probe_->moveTo(g->x + at.x + 10, g->y + at.y + 2 + 20 * c.item + 10);
            if (c.releaseAtThePress) probe_->press();
            probe_->release();
            escape = std::thread([&, display = hvtest::XvfbServer::shared().display()] {
                hvtest::XProbe person(display);
                if (!hvtest::waitUntil([&] { return closed.load(); })) person.key(XK_Escape);
            });
            choice = Application::backend().popUpMenu(window_.get(), menu, at);
            closed = true;
            shown = true;
        };
        probe_->moveTo(x, 50, 130);
        probe_->press();
        ASSERT_TRUE(pumpUntil([&] { return shown; }));
        escape.join();
        EXPECT_EQ(choice.menu, &menu);
        EXPECT_EQ(choice.index, c.item) << c.releaseAtThePress;
        view_->onMouseDown = nullptr;
    }
}
