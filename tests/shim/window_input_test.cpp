// Platform input on a toolkit window, headless: the messages, their order
// and their arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-dnd.h"
#include "shim/shim-input.h"
#include "shim/shim-kb.h"
#include "shim/shim-wnd.h"
#include "support/TempDataDir.h"

using namespace platform::appkit;

namespace {

std::string g_log;
LRESULT g_setCursorAnswer = 0;
std::vector<std::string> g_dropped;
POINT g_dropAt{};

const char* nameOf(UINT m) {
    switch (m) {
        case WM_MOUSEMOVE:
            return "MOVE";
        case WM_LBUTTONDOWN:
            return "LDOWN";
        case WM_LBUTTONUP:
            return "LUP";
        case WM_LBUTTONDBLCLK:
            return "LDBL";
        case WM_RBUTTONDOWN:
            return "RDOWN";
        case WM_RBUTTONUP:
            return "RUP";
        case WM_RBUTTONDBLCLK:
            return "RDBL";
        case WM_MBUTTONDOWN:
            return "MDOWN";
        case WM_MBUTTONUP:
            return "MUP";
        case WM_MBUTTONDBLCLK:
            return "MDBL";
        case WM_MOUSEWHEEL:
            return "WHEEL";
        case WM_MOUSEHWHEEL:
            return "HWHEEL";
        case WM_NCHITTEST:
            return "HIT";
        case WM_SETCURSOR:
            return "SETCURSOR";
        case WM_KEYDOWN:
            return "KEYDOWN";
        case WM_KEYUP:
            return "KEYUP";
        case WM_DROPFILES:
            return "DROPFILES";
        case WM_NCMOUSEMOVE + 1:
            return "NCLDOWN";
        default:
            return nullptr;
    }
}

LRESULT Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    const char* n = nameOf(m);
    if (n && m != WM_NCHITTEST) {
        char buf[96];
        if (m == WM_SETCURSOR)
            snprintf(buf, sizeof buf, " %s(%lx)", n, (unsigned long)lp);
        else
            snprintf(buf, sizeof buf, " %s(%lx,%d,%d)", n, (unsigned long)wp, (int)(int16_t)(lp & 0xFFFF),
                     (int)(int16_t)((lp >> 16) & 0xFFFF));
        g_log += buf;
    }
    if (m == WM_NCHITTEST) g_log += " HIT";
    if (m == WM_SETCURSOR) return g_setCursorAnswer;
    if (m == WM_GESTURE) {
        GESTUREINFO gi{};
        char buf[64];
        if (SHIM_GetGestureInfo(lp, &gi))
            snprintf(buf, sizeof buf, " GESTURE(%u,%u,%llu)", gi.dwFlags, gi.dwID, (unsigned long long)gi.ullArguments);
        else
            snprintf(buf, sizeof buf, " GESTURE(refused)");
        g_log += buf;
        return 0;
    }
    if (m == WM_DROPFILES) {
        g_dropped.clear();
        auto drop = (HDROP)wp;
        UINT count = DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            char name[512];
            DragQueryFile(drop, i, name, sizeof name);
            g_dropped.push_back(name);
        }
        DragQueryPoint(drop, &g_dropAt);
        DragFinish(drop);
        return 0;
    }
    return DefWindowProc(h, m, wp, lp);
}

// What a second view hears: activations, presses and moves with their points.
std::string g_heard;
LRESULT HearingProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    const int x = (int16_t)(lp & 0xFFFF), y = (int16_t)((lp >> 16) & 0xFFFF);
    if (m == WM_MOUSEACTIVATE) g_heard += " ACTIVATE";
    if (m == WM_LBUTTONDOWN) g_heard += " LDOWN";
    if (m == WM_MOUSEMOVE) g_heard += " MOVE(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return DefWindowProc(h, m, wp, lp);
}

HeadlessBackend& headless() { return dynamic_cast<HeadlessBackend&>(Application::backend()); }

class WindowInput : public testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<Window>(FRect{100, 100, 200, 150}, kStyleTitled);
        view_ = Shim_vHalvoran_hwnd::initChild(nullptr, window_->contentView(), Proc, 0);
        view_->setFrameF({20, 10, 150, 100});
        view_->setHidden(false);
        window_->show();
        g_log.clear();
        g_setCursorAnswer = 0;
        SHIM_EnableRightClickEmulate(false);
    }
    void TearDown() override {
        SHIM_EnableRightClickEmulate(false);
        window_.reset();
    }
    // A mouse event at a window point, the pointer put there too.
    void send(EventType t, int x, int y, MouseButton b = MouseButton::Left, int clicks = 1, uint32_t mods = 0) {
        Event e = Event::mouse(t, {x, y}, b, clicks);
        e.modifiers = Modifiers::fromFlags(mods);
        FPoint s = window_->convertToScreen({(double)x, (double)y});
        headless().pointer().pointer = {s.x, s.y};
        window_->sendEvent(e);
    }
    std::unique_ptr<Window> window_;
    Shim_vHalvoran_hwnd* view_ = nullptr;
};

}  // namespace

TEST_F(WindowInput, ClicksInTheirOrderAndViewCoordinates) {
    const uint32_t ctrl = kControlKeyMask;
    const struct {
        const char* what;
        bool emulate;
        std::vector<std::tuple<EventType, MouseButton, int, uint32_t>> events;
        std::string want;
    } cases[] = {
        {"click",
         false,
         {{EventType::MouseDown, MouseButton::Left, 1, 0}, {EventType::MouseUp, MouseButton::Left, 1, 0}},
         " HIT LDOWN(0,5,6) HIT LUP(0,5,6) SETCURSOR(2020001)"},
        {"double click", false, {{EventType::MouseDown, MouseButton::Left, 2, 0}}, " HIT LDBL(0,5,6)"},
        {"Control-click emulated",
         true,
         {{EventType::MouseDown, MouseButton::Left, 1, ctrl}, {EventType::MouseUp, MouseButton::Left, 1, ctrl}},
         " HIT RDOWN(0,5,6) HIT RUP(0,5,6) SETCURSOR(2050001)"},
        {"double Control-click",
         true,
         {{EventType::MouseDown, MouseButton::Left, 2, ctrl}, {EventType::MouseUp, MouseButton::Left, 2, ctrl}},
         " HIT RDBL(0,5,6) HIT LUP(0,5,6) SETCURSOR(2020001)"},
        {"Control-click without emulation",
         false,
         {{EventType::MouseDown, MouseButton::Left, 1, ctrl}},
         " HIT LDOWN(0,5,6)"},
        {"right and middle",
         false,
         {{EventType::MouseDown, MouseButton::Right, 1, 0},
          {EventType::MouseUp, MouseButton::Right, 1, 0},
          {EventType::MouseDown, MouseButton::Middle, 2, 0}},
         " HIT RDOWN(0,5,6) HIT RUP(0,5,6) SETCURSOR(2050001) HIT MDBL(0,5,6)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SHIM_EnableRightClickEmulate(c.emulate);
        g_log.clear();
        for (auto [type, button, clicks, mods] : c.events) send(type, 25, 16, button, clicks, mods);
        EXPECT_EQ(g_log, c.want);
        EXPECT_EQ(view_->m_isfakerightmouse, 0);
    }
}

TEST_F(WindowInput, CaptureTakesEverythingWithoutHitTests) {
    Shim_vHalvoran_hwnd* other = Shim_vHalvoran_hwnd::initChild(nullptr, window_->contentView(), Proc, 0);
    other->setFrameF({0, 120, 50, 30});
    other->setHidden(false);
    SetCapture(view_->handle());
    g_log.clear();
    send(EventType::MouseDown, 10, 130);  // over the other view
    send(EventType::MouseDragged, 12, 133);
    send(EventType::MouseUp, 12, 133);
    // In the capturing view's coordinates, and no cursor asked while captured.
    EXPECT_EQ(g_log, " LDOWN(0,-10,120) MOVE(0,-8,123) LUP(0,-8,123)");
    ReleaseCapture();
}

TEST_F(WindowInput, AViewClickedWithoutTheFocusIsActivatedFirst) {
    window_->makeKeyWindow();
    Shim_vHalvoran_hwnd* other = Shim_vHalvoran_hwnd::initChild(nullptr, window_->contentView(), HearingProc, 0);
    other->setFrameF({0, 120, 50, 30});
    other->setHidden(false);
    g_heard.clear();
    send(EventType::MouseDown, 10, 130);
    send(EventType::MouseUp, 10, 130);
    send(EventType::MouseDown, 10, 130);  // it has the focus now
    EXPECT_EQ(g_heard, " ACTIVATE LDOWN LDOWN");
}

TEST_F(WindowInput, AViewInAnotherWindowHoldingTheCaptureTakesTheMovesAlone) {
    Window second(FRect{400, 100, 100, 100}, kStyleTitled);
    Shim_vHalvoran_hwnd* holder = Shim_vHalvoran_hwnd::initChild(nullptr, second.contentView(), HearingProc, 0);
    holder->setFrameF({10, 10, 80, 80});
    holder->setHidden(false);
    second.show();
    SetCapture(holder->handle());
    g_heard.clear();
    send(EventType::MouseMoved, 25, 16);  // over view_, far from the holder
    EXPECT_EQ(g_heard, " MOVE(-285,-44)");
    EXPECT_EQ(g_log.find("MOVE"), std::string::npos) << g_log;
    ReleaseCapture();
}

TEST_F(WindowInput, HitTestOutsideTheClientGivesNonClientMessages) {
    headless().pointer().pointer = {0, 0};  // nowhere near the view
    Event e = Event::mouse(EventType::MouseDown, {25, 16});
    window_->sendEvent(e);
    EXPECT_EQ(g_log.substr(0, 12), " HIT NCLDOWN");
}

TEST_F(WindowInput, CursorIsAskedAfterMovesAndUps) {
    SHIM_SetCursor(SHIM_LoadCursor(IDC_IBEAM));
    send(EventType::MouseMoved, 25, 16);
    EXPECT_EQ(SHIM_GetCursor(), SHIM_LoadCursor(IDC_ARROW)) << "unanswered: the arrow";
    SHIM_SetCursor(SHIM_LoadCursor(IDC_IBEAM));
    g_setCursorAnswer = 1;
    send(EventType::MouseMoved, 26, 16);
    EXPECT_EQ(SHIM_GetCursor(), SHIM_LoadCursor(IDC_IBEAM)) << "the procedure set it";
}

TEST_F(WindowInput, WheelScaling) {
    const struct {
        float dy, dx;
        std::string want;
    } cases[] = {
        {1.0f, 0, " WHEEL(3c0000"},
        {-2.5f, 0, " WHEEL(ff6a0000"},
        {0, 1.0f, " HWHEEL(3c0000"},
        {NAN, 0, " WHEEL(0,"},
    };
    for (const auto& c : cases) {
        g_log.clear();
        Event e = Event::wheel({25, 16}, c.dy);
        e.deltaX = c.dx;
        window_->sendEvent(e);
        EXPECT_EQ(g_log.substr(0, c.want.size()), c.want) << c.dy << " " << c.dx;
    }
}

TEST_F(WindowInput, GesturesReachTheProcedureAsWholeRecords) {
    const struct {
        EventType type;
        std::string want;
    } cases[] = {
        {EventType::Magnify, " GESTURE(1,3,1024) GESTURE(4,3,1536)"},
        {EventType::Rotate, " GESTURE(1,5,0) GESTURE(4,5,33313)"},
        {EventType::Swipe, " GESTURE(1,4,0) GESTURE(4,4,0)"},
    };
    for (const auto& c : cases) {
        g_log.clear();
        Event e = Event::mouse(c.type, {25, 16});
        e.magnification = 0.5f;
        e.rotation = 1;
        window_->sendEvent(e);
        EXPECT_EQ(g_log, c.want) << static_cast<int>(c.type);
    }
}

TEST_F(WindowInput, KeysAndTheirAnswer) {
    window_->makeFirstResponder(view_);
    Event e;
    e.type = EventType::KeyDown;
    e.keyCode = 36;
    e.characters = e.charactersIgnoringModifiers = U"\r";
    window_->sendEvent(e);
    e.type = EventType::KeyUp;
    window_->sendEvent(e);
    EXPECT_EQ(g_log, " KEYDOWN(d,1,0) KEYUP(d,1,0)");
    // DefWindowProc answers 69: the key goes on to the next responder.
    EXPECT_FALSE(view_->keyDown(e));
}

TEST_F(WindowInput, DroppedFilesReachTheWindowAndTheBlockIsFreed) {
    view_->shimSetExtendedStyle(WS_EX_ACCEPTFILES);
    DragInfo d;
    d.fileNames = {"/tmp/a.syx", "/tmp/b c.hvx", "/tmp/d.mid"};
    d.location = {60, 40};
    EXPECT_NE(window_->dragEvent(DragPhase::Entered, d), kDragOperationNone);
    EXPECT_NE(window_->dragEvent(DragPhase::Drop, d), kDragOperationNone);
    EXPECT_EQ(g_dropped, d.fileNames);
    EXPECT_EQ(g_dropAt.x, 40);
    EXPECT_EQ(g_dropAt.y, 30);
    // Promised files without a target folder callback: nothing is dropped.
    DragInfo promised;
    promised.promisedTypes = {"syx"};
    promised.location = {60, 40};
    g_dropped.clear();
    EXPECT_EQ(window_->dragEvent(DragPhase::Drop, promised), kDragOperationNone);
    EXPECT_TRUE(g_dropped.empty());
    // A window that takes no drops refuses them.
    view_->shimSetExtendedStyle(0);
    EXPECT_EQ(window_->dragEvent(DragPhase::Entered, d), kDragOperationNone);
}

namespace {
std::string g_folder;
const char* TargetFolder(const char*) { return g_folder.c_str(); }
void WriteBank(const char* path) {
    if (FILE* f = fopen(path, "w")) fclose(f);
}
}  // namespace

TEST_F(WindowInput, PromisedFileDraggedFromOneWindowIntoAnother) {
    hvtest::TempDataDir dir;
    g_folder = dir.path().string();
    SHIM_DDrop_getDroppedFileTargetPath = TargetFolder;
    headless().clearRecords();
    const RECT from{1, 2, 11, 12};
    SHIM_InitiateDragDrop(view_->handle(), &from, "/data/bank 2.hvx", WriteBank);
    ASSERT_EQ(headless().drags().size(), 1u);
    EXPECT_EQ(headless().drags()[0].promisedTypes, std::vector<std::string>{"hvx"});
    EXPECT_EQ(headless().drags()[0].from, (Rect{21, 12, 10, 10}));
    // A left press forgets the drag.
    send(EventType::MouseDown, 25, 16);
    EXPECT_FALSE(SHIM_HasDragSourceState());

    Window target(FRect{400, 100, 200, 150}, kStyleTitled);
    Shim_vHalvoran_hwnd* drop = Shim_vHalvoran_hwnd::initChild(nullptr, target.contentView(), Proc, 0);
    drop->setHidden(false);
    drop->shimSetExtendedStyle(WS_EX_ACCEPTFILES);
    for (const char* want : {"bank 2.hvx", "bank 003.hvx"}) {
        SHIM_InitiateDragDrop(view_->handle(), &from, "/data/bank 2.hvx", WriteBank);
        const DragSourceRequest& r = headless().drags().back();
        DragInfo d;
        d.promisedTypes = r.promisedTypes;
        d.writePromisedFiles = r.writePromisedFiles;
        d.source = r.source;
        d.location = {30, 20};
        headless().queueAlertChoice(0);  // keep both, when asked
        EXPECT_NE(target.dragEvent(DragPhase::Drop, d), kDragOperationNone);
        EXPECT_EQ(g_dropped, std::vector<std::string>{g_folder + "/" + want});
    }
    SHIM_DDrop_getDroppedFileTargetPath = nullptr;

    const char* paths[] = {"/data/a.syx", "/data/b.syx"};
    SHIM_InitiateDragDropOfFileList(view_->handle(), &from, paths, 2, nullptr);
    EXPECT_EQ(headless().drags().back().fileNames, (std::vector<std::string>{paths[0], paths[1]}));
    EXPECT_EQ(headless().drags().back().from, (Rect{21, 12, 0, 0}));
}
