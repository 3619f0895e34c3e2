// ctest-labels: tsan x11
// Toolkit dialogs and input on a real X server (a private Xvfb), driven as a
// person would through XTest from a second connection: clicks, double and
// Control-clicks, a drag under capture, wheel turns and typed keys give
// their messages, and the click that activates a window gives its whole
// sequence of activation messages; focus changes X reported before the
// program's own focus request make no window active or inactive for a
// moment; a resource dialog run modally ends with the id of the
// button another thread clicks, and a close request ends it with IDCANCEL;
// a modal dialog takes the keyboard (typed text and Return reach it) and its
// owner refuses the window manager's close request meanwhile;
// moves and resizes from outside come back as WM_MOVE and WM_SIZE; cursors
// show in the server's cursor image and warp where X sees the pointer;
// files dropped by another client arrive as WM_DROPFILES, and files dragged
// out, listed or promised, reach another client; a drag that cannot start
// ends at once, and silent drop targets do not hold one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-dnd.h"
#include "shim/shim-input.h"
#include "shim/shim-kb.h"
#include "shim/shim-miscdlg.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"
#include "support/IconFiles.h"
#include "support/x11/AppOnXvfb.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XdndSource.h"
#include "support/x11/XdndTarget.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace platform::appkit;
using AppWindow = platform::appkit::Window;

namespace {

std::vector<std::string> g_log;
std::vector<std::string> g_dropped;
POINT g_dropAt{};
HCURSOR g_cursor = nullptr;  // what the window shows over itself
int g_moved = 0;             // pointer moves the panel heard

std::string entry(const char* name, WPARAM wp, LPARAM lp) {
    char buf[64];
    snprintf(buf, sizeof buf, "%s %lx %d,%d", name, (unsigned long)wp, (int)(int16_t)(lp & 0xFFFF),
             (int)(int16_t)((lp >> 16) & 0xFFFF));
    return buf;
}

// What views and the panel's content hear of activation, clicks and keys,
// in order; WM_ACTIVATE with the window it names as the one key before.
std::string g_heard;
HWND g_elsewhere = nullptr;  // the content of the other window
void hear(const char* who, UINT m, WPARAM wp, LPARAM lp) {
    const std::string at = std::string(" ") + who + ":";
    if (m == WM_ACTIVATE)
        g_heard += at + "ACTIVATE(" + std::to_string(wp) + "," +
                   (!lp                       ? "none"
                    : (HWND)lp == g_elsewhere ? "elsewhere"
                                              : "another") +
                   ")";
    if (m == WM_MOUSEACTIVATE) g_heard += at + "MOUSEACTIVATE";
    if (m == WM_LBUTTONDOWN) g_heard += at + "DOWN";
    if (m == WM_KEYDOWN) g_heard += at + "KEY" + char(wp);
}
LRESULT HearingProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    hear(GetWindowLong(h, GWL_ID) ? "disabled" : "view", m, wp, lp);
    return DefWindowProc(h, m, wp, lp);
}

LRESULT DialogProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ACTIVATE || m == WM_MOUSEACTIVATE) hear("content", m, wp, lp);
    switch (m) {
        case WM_LBUTTONDOWN:
            g_log.push_back(entry("LDOWN", wp, lp));
            break;
        case WM_LBUTTONUP:
            g_log.push_back(entry("LUP", wp, lp));
            break;
        case WM_LBUTTONDBLCLK:
            g_log.push_back(entry("LDBL", wp, lp));
            break;
        case WM_RBUTTONDOWN:
            g_log.push_back(entry("RDOWN", wp, lp));
            break;
        case WM_RBUTTONUP:
            g_log.push_back(entry("RUP", wp, lp));
            break;
        case WM_MOUSEMOVE:
            ++g_moved;
            if (GetCapture() == h) g_log.push_back(entry("MOVE", wp, lp));
            break;
        case WM_MOUSEWHEEL:
            g_log.push_back(entry("WHEEL", wp, 0));
            break;
        case WM_KEYDOWN:
            g_log.push_back(entry("KEY", wp, lp));
            return 0;
        case WM_CLOSE:
            g_log.push_back("CLOSE");
            break;
        case WM_COMMAND:
            g_log.push_back("COMMAND " + std::to_string(wp));
            if (wp == IDCANCEL) EndDialog(h, IDCANCEL);
            break;
        case WM_MOVE:
            g_log.push_back("MOVE-FRAME");
            break;
        case WM_SIZE:
            g_log.push_back("SIZE");
            break;
        case WM_SETCURSOR:
            if (!g_cursor) break;
            SHIM_SetCursor(g_cursor);
            return 1;
        case WM_DROPFILES: {
            auto drop = (HDROP)wp;
            g_dropped.clear();
            for (UINT i = 0, n = DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
                char name[1024];
                DragQueryFile(drop, i, name, sizeof name);
                g_dropped.push_back(name);
            }
            DragQueryPoint(drop, &g_dropAt);
            return 0;
        }
        default:
            break;
    }
    return 0;
}

// A button of the test's own: a release over it ends the dialog with its id.
LRESULT ButtonProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_LBUTTONUP) EndDialog(GetParent(h), GetWindowLong(h, GWL_ID));
    return DefWindowProc(h, m, wp, lp);
}

void MakeButton(HWND dialog, int) {
    HWND b = Shim_vHalvoran_hwnd::initChild(nullptr, dialog, ButtonProc, 0);
    SetWindowLong(b, GWL_ID, 1234);
    SetWindowPos(b, nullptr, 40, 60, 90, 30, SWP_NOZORDER);
    ShowWindow(b, SW_SHOW);
}

SHIM_DialogResourceIndex g_pick{"pick", "Pick a bank", 0x10 | 4, MakeButton, 240, 140, nullptr};

// A name field and a default button: Return ends the dialog with the name.
constexpr int kName = 77;
std::string g_named;
LRESULT NameProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ACTIVATE && (wp & 0xFFFF)) g_log.push_back("ACTIVE");
    if (m == WM_COMMAND && (wp & 0xFFFF) == IDOK) {
        char text[64] = {};
        GetDlgItemText(h, kName, text, sizeof text);
        g_named = text;
        EndDialog(h, IDOK);
    }
    if (m == WM_COMMAND && (wp & 0xFFFF) == IDCANCEL) EndDialog(h, IDCANCEL);
    return 0;
}

void MakeNameField(HWND dialog, int) {
    SHIM_MakeSetCurParms(1, 1, 0, 0, dialog, false, false);
    SHIM_MakeEditField(kName, 10, 10, 200, 22, 0);
    SHIM_MakeButton(1, "OK", IDOK, 130, 60, 80, 24, 0);
}

SHIM_DialogResourceIndex g_name{"name", "Name the bank", 0x10 | 4, MakeNameField, 240, 100, nullptr};

bool focused(hvtest::XProbe& p, XWindow w) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(p.display(), &focus, &revert);
    return focus == w;
}
SHIM_DialogResourceIndex g_panel{"panel", "Input panel", 0x10 | 4 | 2 | 0x20, nullptr, 260, 180, &g_pick};
SHIM_DialogResourceIndex g_other{"other", "Elsewhere", 0x10 | 4, nullptr, 100, 100, nullptr};

class DialogsX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start()) << hvtest::XvfbServer::shared().log();
        probe_ = &app_.probe();
        g_log.clear();
        SHIM_EnableRightClickEmulate(false);
    }
    void TearDown() override {
        if (panel_ && Responder::isLive(panel_)) DestroyWindow(panel_);
        if (g_elsewhere) DestroyWindow(std::exchange(g_elsewhere, nullptr));
        SHIM_EnableRightClickEmulate(false);
        app_.stop();
    }
    // The modeless panel, shown and focused; its X window.
    XWindow openPanel() {
        HWND content = SHIM_CreateDialog(&g_panel, "panel", nullptr, DialogProc, 0);
        panel_ = shimwnd::AsView(content)->window();
        ShowWindow(content, SW_SHOW);
        panel_->makeKeyAndOrderFront();
        panel_->makeFirstResponder(shimwnd::AsView(content));
        XWindow x = 0;
        EXPECT_TRUE(pumpUntil([&] { return (x = probe_->findWindow("Input panel")) && probe_->viewable(x); }));
        XSetInputFocus(probe_->display(), x, RevertToParent, CurrentTime);
        XSync(probe_->display(), False);
        return x;
    }
    // Another window of the program, shown before the panel (which would
    // keep the focus from a later map); its X window.
    XWindow openElsewhere(DLGPROC proc) {
        g_elsewhere = SHIM_CreateDialog(&g_other, "other", nullptr, proc, 0);
        other_ = shimwnd::AsView(g_elsewhere)->window();
        other_->setFrame(FRect{700, 100, 100, 100});
        other_->show();
        XWindow x = 0;
        EXPECT_TRUE(pumpUntil([&] { return (x = probe_->findWindow("Elsewhere")) && probe_->viewable(x); }));
        return x;
    }
    bool pumpUntil(const std::function<bool()>& done) { return app_.pumpUntil(done); }
    bool logged(size_t n) {
        return pumpUntil([&] { return g_log.size() >= n; });
    }
    hvtest::AppOnXvfb app_;
    hvtest::XProbe* probe_ = nullptr;
    AppWindow* panel_ = nullptr;
    AppWindow* other_ = nullptr;
};

// A person at the display, on a thread of its own while the main thread
// runs a modal dialog: waits for the dialog's window, then acts on it.
std::thread person(const std::string& title, std::function<void(hvtest::XProbe&, XWindow)> act) {
    const std::string display = hvtest::XvfbServer::shared().display();
    return std::thread([=] {
        hvtest::XProbe p(display);
        XWindow w = 0;
        if (hvtest::waitUntil([&] { return (w = p.findWindow(title)) && p.viewable(w); })) act(p, w);
    });
}

// Writes a promised bank where the drop asks for it.
void WritePromisedBank(const char* path) { std::ofstream(path) << "a bank"; }

}  // namespace

TEST_F(DialogsX11, MouseMessagesWithViewCoordinates) {
    XWindow x = openPanel();
    probe_->clickAt(x, 30, 40);
    ASSERT_TRUE(logged(2));
    probe_->click();  // the second press of a double click
    ASSERT_TRUE(logged(4));
    SHIM_EnableRightClickEmulate(true);
    probe_->moveTo(x, 50, 20);
    probe_->keyDown(XK_Control_L);
    probe_->click();
    probe_->keyUp(XK_Control_L);
    ASSERT_TRUE(logged(6));
    SHIM_EnableRightClickEmulate(false);
    const std::vector<std::string> want = {"LDOWN 0 30,40", "LUP 0 30,40",   "LDBL 0 30,40",
                                           "LUP 0 30,40",   "RDOWN 0 50,20", "RUP 0 50,20"};
    EXPECT_EQ(g_log, want);

    // A drag under capture, reaching past the window's edge.
    g_log.clear();
    probe_->moveTo(x, 100, 100);
    probe_->press();
    ASSERT_TRUE(logged(1));
    SetCapture(shimwnd::AsView(panel_->contentView()));
    probe_->moveTo(x, 300, 150);
    ASSERT_TRUE(pumpUntil([&] { return g_log.back() == "MOVE 0 300,150"; }));
    probe_->release();
    ASSERT_TRUE(pumpUntil([&] { return g_log.back() == "LUP 0 300,150"; }));
    ReleaseCapture();

    g_log.clear();
    probe_->moveTo(x, 60, 60);
    probe_->wheel(1);
    probe_->wheel(-2);
    ASSERT_TRUE(logged(3));
    EXPECT_EQ(g_log, (std::vector<std::string>{"WHEEL 3c0000 0,0", "WHEEL ffc40000 0,0", "WHEEL ffc40000 0,0"}));
}

TEST_F(DialogsX11, TypedKeys) {
    openPanel();
    ASSERT_TRUE(probe_->type("aA1!"));
    for (unsigned long k : {XK_Return, XK_Tab, XK_Left, XK_Up, XK_F1}) ASSERT_TRUE(probe_->key(k));
    ASSERT_TRUE(logged(9));
    const std::vector<std::string> want = {"KEY 41 1,0", "KEY 41 5,0", "KEY 31 1,0", "KEY 21 0,0", "KEY d 1,0",
                                           "KEY 9 1,0",  "KEY 25 1,0", "KEY 26 1,0", "KEY 70 1,0"};
    EXPECT_EQ(g_log, want);
}

// The whole sequence of an activating click: the window becomes key first
// (WM_ACTIVATE naming the window key before, then WM_MOUSEACTIVATE to its
// content), whether a manager focuses it before it passes the press on,
// after, or not at all; a view that had not the focus becomes the first
// responder (WM_MOUSEACTIVATE); the first click tells the view and then
// its superview; then the press. A window made key by the program or
// another program hears of it alone; a disabled view sends nothing, and
// takes no keys.
TEST_F(DialogsX11, TheClickThatActivatesAWindowGivesItsWholeSequence) {
    const XWindow elsewhere = openElsewhere(nullptr);
    ASSERT_TRUE(elsewhere);
    const XWindow x = openPanel();
    HWND content = panel_->contentView();
    HWND view = Shim_vHalvoran_hwnd::initChild(nullptr, content, HearingProc, 0);
    SetWindowPos(view, nullptr, 20, 20, 120, 60, SWP_NOZORDER);
    ShowWindow(view, SW_SHOW);
    HWND disabled = Shim_vHalvoran_hwnd::initChild(nullptr, content, HearingProc, 0);
    SetWindowLong(disabled, GWL_ID, 1);
    SetWindowPos(disabled, nullptr, 160, 20, 80, 60, SWP_NOZORDER);
    ShowWindow(disabled, SW_SHOW);
    EnableWindow(disabled, FALSE);
    Display* d = probe_->display();
    const ::Window clock = XCreateSimpleWindow(d, probe_->root(), -1, -1, 1, 1, 0, 0, 0);
    XSelectInput(d, clock, PropertyChangeMask);
    auto serverTime = [&] {
        XChangeProperty(d, clock, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent ev{};
        EXPECT_TRUE(hvtest::waitUntil([&] { return XCheckTypedWindowEvent(d, clock, PropertyNotify, &ev); }));
        return ev.xproperty.time;
    };
    auto fromOutside = [&] {  // another program's focus request
        XSetInputFocus(d, x, RevertToParent, CurrentTime);
        XSync(d, False);
    };
    const std::string becomesKey = " content:ACTIVATE(1,elsewhere) content:MOUSEACTIVATE";
    const struct {
        const char* by;
        HWND focus;                           // the panel's first responder before
        std::function<void()> before, after;  // activations around the click
        int clickX;                           // at y 40; the view spans 20 to 140, the disabled one 160 to 240
        std::string heard;                    // ending with the key typed after the click
    } cases[] = {
        {"the click, on a view without the focus", content, nullptr, nullptr, 30,
         becomesKey + " view:MOUSEACTIVATE view:MOUSEACTIVATE content:MOUSEACTIVATE view:DOWN view:KEYX"},
        {"the click, on the view with the focus", view, nullptr, nullptr, 50,
         becomesKey + " view:MOUSEACTIVATE content:MOUSEACTIVATE view:DOWN view:KEYX"},
        {"the click, focused from outside after it", view, nullptr, fromOutside, 70,
         becomesKey + " view:MOUSEACTIVATE content:MOUSEACTIVATE view:DOWN view:KEYX"},
        {"the click, on a disabled view", view, nullptr, nullptr, 200, becomesKey + " view:KEYX"},
        {"the program, then a click on a view without the focus", content, [&] { panel_->makeKeyWindow(); }, nullptr,
         90, becomesKey + " view:MOUSEACTIVATE view:DOWN view:KEYX"},
        {"another program, then a click on the view with the focus", view, fromOutside, nullptr, 110,
         becomesKey + " view:DOWN view:KEYX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.by);
        panel_->makeFirstResponder(shimwnd::AsView(c.focus));
        // From outside, so that the key window changes only once the focus
        // events before it have been handled.
        XSetInputFocus(d, elsewhere, RevertToParent, CurrentTime);
        XSync(d, False);
        ASSERT_TRUE(pumpUntil([&] { return focused(*probe_, elsewhere) && Application::keyWindow() == other_; }));
        g_heard.clear();
        if (c.before) {
            c.before();
            EXPECT_TRUE(pumpUntil([&] { return Application::keyWindow() == panel_; }));
            // Not in the millisecond it became key: that press could have made it key.
            const Time keyed = serverTime();
            ASSERT_TRUE(hvtest::waitUntil([&] { return serverTime() != keyed; }));
        }
        probe_->clickAt(x, c.clickX, 40);  // never a double click
        if (c.after) {
            EXPECT_TRUE(pumpUntil([&] { return g_heard.find("view:DOWN") != std::string::npos; }));
            c.after();
        }
        EXPECT_TRUE(pumpUntil([&] { return Application::keyWindow() == panel_ && focused(*probe_, x); }));
        probe_->key(XK_x);  // handled after the click
        EXPECT_TRUE(pumpUntil([&] { return g_heard.find("KEYX") != std::string::npos; }));
        EXPECT_EQ(g_heard, c.heard);
    }
    // A disabled view that still has the focus takes keys in silence.
    g_heard.clear();
    EnableWindow(view, FALSE);
    g_log.clear();
    probe_->key(XK_b);
    probe_->clickAt(x, 200, 120);  // on the content, handled after the key
    EXPECT_TRUE(logged(1));
    EXPECT_EQ(g_heard, " content:MOUSEACTIVATE");
    EXPECT_EQ(g_log.front(), "LDOWN 0 200,120");
    XDestroyWindow(d, clock);
}

LRESULT OtherProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    hear("other", m, wp, lp);
    return 0;
}
LRESULT BriefProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    hear("brief", m, wp, lp);
    return 0;
}
SHIM_DialogResourceIndex g_brief{"brief", "Brief", 0x10 | 4, nullptr, 120, 80, nullptr};

// Focus changes X reported before the program's own request for the focus
// are taken back by it: no window hears of an activation or deactivation
// that did not last. The changes queue on purpose, from another client,
// before the program asks and reads. A change after the request (the user
// going to another program) counts.
TEST_F(DialogsX11, FocusChangesOlderThanTheProgramsRequestDoNotCount) {
    const XWindow elsewhere = openElsewhere(OtherProc);
    ASSERT_TRUE(elsewhere);
    const XWindow x = openPanel();
    Display* d = probe_->display();
    const ::Window foreign = XCreateSimpleWindow(d, probe_->root(), 300, 700, 120, 80, 0, 0, 0);
    XMapWindow(d, foreign);
    XSync(d, False);
    ASSERT_TRUE(hvtest::waitUntil([&] { return probe_->viewable(foreign); }));
    auto focusTo = [&](XWindow w) {
        XSetInputFocus(d, w, RevertToParent, CurrentTime);
        XSync(d, False);
    };
    auto activatePanel = [&] { SetForegroundWindow(panel_->contentView()); };
    // Once the server has moved the focus as the program asked (the program
    // reads nothing meanwhile), the user goes to another program.
    auto userLeaves = [&] {
        ASSERT_TRUE(hvtest::waitUntil([&] { return focused(*probe_, x); }));
        focusTo(foreign);
    };
    const std::string panelKey = " content:ACTIVATE(1,elsewhere) content:MOUSEACTIVATE";
    const struct {
        const char* what;
        AppWindow* keyBefore;
        std::function<void()> queued, program, after;
        AppWindow* keyAfter;
        XWindow focusAfter;
        std::string heard;
    } cases[] = {
        {"a move to another of its windows waits", panel_, [&] { focusTo(elsewhere); }, activatePanel, nullptr, panel_,
         x, ""},
        {"a move to another program waits", panel_, [&] { focusTo(foreign); }, activatePanel, nullptr, panel_, x, ""},
        {"the user leaves after the request", other_, nullptr, activatePanel, userLeaves, nullptr, foreign,
         " other:ACTIVATE(0,none)" + panelKey + " content:ACTIVATE(0,none)"},
        {"a move waits, and the user leaves after", panel_, [&] { focusTo(elsewhere); }, activatePanel, userLeaves,
         nullptr, foreign, " content:ACTIVATE(0,none)"},
        {"a dialog ends with moves of the focus to it unread", panel_, nullptr,
         [&] {
             const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             setModalIterationHook([&, deadline](AppWindow* w) {
                 const XWindow shown = probe_->findWindow("Brief");
                 const bool shows = shown && probe_->viewable(shown);
                 if (!shows && std::chrono::steady_clock::now() < deadline) return;
                 if (shows) {
                     // The user clicks the panel; a manager hands the focus
                     // back to the modal dialog.
                     focusTo(x);
                     focusTo(shown);
                 }
                 setModalIterationHook(nullptr);
                 EndDialog(w->contentView(), shows ? int(IDOK) : int(IDCANCEL));
             });
             EXPECT_EQ(SHIM_DialogBox(&g_brief, "brief", panel_->contentView(), BriefProc, 0), IDOK);
         },
         nullptr, panel_, x,
         " content:ACTIVATE(0,none) brief:ACTIVATE(1,another) brief:MOUSEACTIVATE content:ACTIVATE(1,none) "
         "content:MOUSEACTIVATE"},
        {"the user moves before a new window's map is read", panel_, nullptr,
         [&] {
             other_->orderOut();
             other_->makeKeyAndOrderFront();  // the focus waits for the map
         },
         [&] {
             ASSERT_TRUE(hvtest::waitUntil([&] { return probe_->viewable(elsewhere); }));
             probe_->settleWindowManager();
             focusTo(foreign);
             focusTo(x);
         },
         panel_, x,
         " content:ACTIVATE(0,none) other:ACTIVATE(1,another) other:MOUSEACTIVATE other:ACTIVATE(0,none)" + panelKey},
    };
    int moves = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const XWindow from = c.keyBefore == panel_ ? x : elsewhere;
        focusTo(from);
        ASSERT_TRUE(pumpUntil([&] { return focused(*probe_, from) && Application::keyWindow() == c.keyBefore; }));
        g_heard.clear();
        if (c.queued) c.queued();
        c.program();
        if (c.after) c.after();
        ASSERT_TRUE(
            pumpUntil([&] { return focused(*probe_, c.focusAfter) && Application::keyWindow() == c.keyAfter; }));
        // A pointer move the panel hears comes after every focus event before it.
        const int seen = g_moved;
        probe_->moveTo(x, 200, 100 + ++moves);
        ASSERT_TRUE(pumpUntil([&] { return g_moved > seen; }));
        EXPECT_EQ(g_heard, c.heard);
        EXPECT_EQ(Application::keyWindow(), c.keyAfter);
    }
    XDestroyWindow(d, foreign);
    XSync(d, False);
}

TEST_F(DialogsX11, ModalDialogEndsWithTheClickedButton) {
    std::thread clicker = person("Pick a bank", [](hvtest::XProbe& p, XWindow w) { p.clickAt(w, 80, 75); });
    EXPECT_EQ(SHIM_DialogBox(&g_pick, "pick", nullptr, DialogProc, 0), 1234);
    clicker.join();
    // Its window is gone.
    EXPECT_TRUE(pumpUntil([&] { return probe_->findWindow("Pick a bank") == 0; }));
}

TEST_F(DialogsX11, CloseRequestGivesCloseThenCancel) {
    std::thread closer = person("Pick a bank", [](hvtest::XProbe& p, XWindow w) { p.askToClose(w); });
    EXPECT_EQ(SHIM_DialogBox(&g_pick, "pick", nullptr, DialogProc, 0), IDCANCEL);
    closer.join();
    EXPECT_EQ(g_log, (std::vector<std::string>{"CLOSE", "COMMAND 2"}));
}

TEST_F(DialogsX11, AModalDialogTakesTheKeyboardForItsRun) {
    openPanel();
    HWND owner = panel_->contentView();
    std::thread typist = person("Name the bank", [](hvtest::XProbe& p, XWindow w) {
        if (!hvtest::waitUntil([&] { return focused(p, w); })) return p.askToClose(w);
        p.clickAt(w, 100, 20);  // into the field
        p.type("Pad 7");
        p.key(XK_Return);
    });
    g_log.clear();
    EXPECT_EQ(SHIM_DialogBox(&g_name, "name", owner, NameProc, 0), IDOK);
    typist.join();
    EXPECT_EQ(g_named, "Pad 7");
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "ACTIVE"), 1);
    // The owner has the keyboard back.
    EXPECT_TRUE(pumpUntil([&] { return Application::keyWindow() == panel_; }));
}

TEST_F(DialogsX11, TheOwnerRefusesACloseRequestDuringAModalRun) {
    XWindow owner = openPanel();
    std::thread person1 = person("Pick a bank", [owner](hvtest::XProbe& p, XWindow w) {
        p.askToClose(owner);
        p.clickAt(w, 80, 75);
    });
    g_log.clear();
    EXPECT_EQ(SHIM_DialogBox(&g_pick, "pick", panel_->contentView(), DialogProc, 0), 1234);
    person1.join();
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "CLOSE"), 0);
    EXPECT_TRUE(panel_->isVisible());
}

TEST_F(DialogsX11, MovesAndResizesFromOutside) {
    XWindow x = openPanel();
    g_log.clear();
    XMoveResizeWindow(probe_->display(), x, 310, 220, 300, 210);
    XSync(probe_->display(), False);
    ASSERT_TRUE(pumpUntil([&] {
        return std::count(g_log.begin(), g_log.end(), "SIZE") && std::count(g_log.begin(), g_log.end(), "MOVE-FRAME");
    }));
    EXPECT_EQ(panel_->frame().width, 300);
    EXPECT_EQ(panel_->frame().height, 210);
}

TEST_F(DialogsX11, CursorImageAndPosition) {
    XWindow x = openPanel();
    hvtest::TempDataDir dir;
    std::vector<uint32_t> pixels(12 * 12, 0xFF2080C0);
    pixels[5 * 12 + 4] = 0xFFFFFF00;
    const auto bytes = icontest::iconFile(2, {{12, icontest::bitmapImage(12, 12, 32, pixels, false)}}, {4, 5});
    HCURSOR c = SHIM_LoadCursorFromFile(dir.write("hand.cur", std::string(bytes.begin(), bytes.end())).c_str());
    ASSERT_TRUE(c);
    g_cursor = c;
    probe_->moveTo(x, 40, 40);
    hvtest::XProbe::Cursor seen;
    ASSERT_TRUE(pumpUntil([&] { return (seen = probe_->cursor()).width == 12; }));
    EXPECT_EQ(seen.xhot, 4);
    EXPECT_EQ(seen.yhot, 5);
    EXPECT_EQ(seen.argb, pixels);
    g_cursor = nullptr;
    SHIM_SetCursor(nullptr);
    SHIM_DestroyCursor(c);

    // Toolkit screen coordinates count y from the bottom.
    const int h = hvtest::XvfbServer::shared().height();
    ASSERT_TRUE(SHIM_SetCursorPos(200, h - 150));
    EXPECT_EQ(probe_->pointer(), std::make_pair(200, 150));
    POINT at;
    GetCursorPos(&at);
    EXPECT_EQ(at.x, 200);
    EXPECT_EQ(at.y, h - 150);
}

TEST_F(DialogsX11, FilesDroppedByAnotherClient) {
    XWindow x = openPanel();
    hvtest::TempDataDir dir;
    std::vector<std::string> files;
    for (const char* name : {"A bank.hvx", "programs.syx", "song 2.mid"}) files.push_back(dir.write(name, "x"));
    for (int i = 0; i < 2000; ++i) files.push_back(dir.path().string() + "/bank " + std::to_string(i) + ".syx");
    // A name longer than any path is left out, not cut into another path.
    std::vector<std::string> sent = files;
    sent.insert(sent.begin() + 1, dir.path().string() + "/" + std::string(4096, 'x'));
    auto out = hvtest::dragFilesOnto(*probe_, x, 70, 50, sent, [] { RunLoop::main().runOnce(); });
    EXPECT_TRUE(out.accepted);
    EXPECT_TRUE(out.dropTaken);
    EXPECT_EQ(g_dropped, files);
    EXPECT_EQ(g_dropAt.x, 70);
    EXPECT_EQ(g_dropAt.y, 50);
}

// Dragged out of the panel onto a file manager's window: a list of files,
// then a promised file the manager asks to have written into its folder.
TEST_F(DialogsX11, FilesDraggedOutReachAnotherClient) {
    XWindow x = openPanel();
    HWND content = panel_->contentView();
    hvtest::TempDataDir dir;
    const std::string a = dir.write("Bank A.hvx", "x"), b = dir.write("My banks/B.syx", "y");
    std::filesystem::create_directories(dir.str() + "saved");
    const std::string display = hvtest::XvfbServer::shared().display();
    for (bool promised : {false, true}) {
        SCOPED_TRACE(promised);
        hvtest::XdndTarget target(display, 800, 300, 200, 150, dir.str() + "saved");
        ASSERT_TRUE(target.ok());
        probe_->moveTo(x, 40, 40);
        probe_->press();  // the drag starts from a press on the panel
        std::thread person([&] {
            hvtest::XProbe p(display);
            p.moveTo(target.window(), 100, 75);
            EXPECT_TRUE(target.serveUntil([&] { return target.positions > 0; }));
            p.release();
            EXPECT_TRUE(target.serveUntil([&] { return target.dropped; }));
        });
        if (promised) {
            RECT from{10, 10, 42, 42};
            SHIM_InitiateDragDrop(content, &from, "Bank A.hvx", WritePromisedBank);
        } else {
            const char* paths[] = {a.c_str(), b.c_str()};
            SHIM_InitiateDragDropOfFileList(content, nullptr, paths, 2, nullptr);
        }
        person.join();
        EXPECT_TRUE(target.dropped);
        if (promised) {
            EXPECT_EQ(target.saveAnswer, "S");
            std::ifstream saved(dir.str() + "saved/Bank A.hvx");
            std::string text;
            EXPECT_TRUE(std::getline(saved, text));
            EXPECT_EQ(text, "a bank");
        } else {
            EXPECT_EQ(target.files, (std::vector<std::string>{"file://" + dir.str() + "Bank%20A.hvx",
                                                              "file://" + dir.str() + "My%20banks/B.syx"}));
        }
    }
}

// A window the drag passed over may ask for the list late, after the drop;
// the drag still waits for the window it was dropped on.
TEST_F(DialogsX11, ALateAskFromAPassedWindowIsNotTheDrops) {
    XWindow x = openPanel();
    hvtest::TempDataDir dir;
    const std::string a = dir.write("Bank A.hvx", "x");
    const std::string display = hvtest::XvfbServer::shared().display();
    hvtest::XdndTarget passed(display, 500, 300, 200, 150);
    hvtest::XdndTarget target(display, 800, 300, 200, 150, "", hvtest::XdndTarget::Manner::AsksWhenTold);
    probe_->moveTo(x, 40, 40);
    probe_->press();
    std::thread person([&] {
        hvtest::XProbe p(display);
        p.moveTo(passed.window(), 100, 75);
        EXPECT_TRUE(passed.serveUntil([&] { return passed.positions > 0; }));
        p.moveTo(target.window(), 100, 75);
        EXPECT_TRUE(target.serveUntil([&] { return target.positions > 0; }));
        p.release();
        EXPECT_TRUE(target.serveUntil([&] { return target.dropSeen; }));
        passed.ask();
        EXPECT_TRUE(passed.serveUntil([&] { return passed.dropped; }));
        target.ask();
        EXPECT_TRUE(target.serveUntil([&] { return target.dropped; }));
    });
    const char* paths[] = {a.c_str()};
    SHIM_InitiateDragDropOfFileList(panel_->contentView(), nullptr, paths, 1, nullptr);
    person.join();
    EXPECT_EQ(target.files, std::vector<std::string>{"file://" + dir.str() + "Bank%20A.hvx"});
}

// A drag that cannot start (another client holds the pointer or the
// keyboard, or its list is too large for one property) ends at once and
// sends nothing; a target that answers nothing is left, one silent from the
// drop on is given the drop. Every drag ends and lets the selection go.
TEST_F(DialogsX11, DragsThatCannotStartOrMeetSilenceEnd) {
    XWindow x = openPanel();
    HWND content = panel_->contentView();
    const std::string display = hvtest::XvfbServer::shared().display();
    using Manner = hvtest::XdndTarget::Manner;
    const std::vector<std::string> one = {"/tmp/a bank.syx"}, huge(70000, "/" + std::string(250, 'b'));
    const struct {
        const char* what;
        bool pointerHeld, keyboardHeld;
        const std::vector<std::string>& files;
        Manner manner;
        std::string last;  // the last XDND message the target saw
    } rows[] = {
        {"pointer held by another client", true, false, one, Manner::Answers, ""},
        {"keyboard held by another client", false, true, one, Manner::Answers, ""},
        {"a list of 18 MB", false, false, huge, Manner::Answers, ""},
        {"a target that answers nothing", false, false, one, Manner::Silent, "XdndLeave"},
        {"a target silent from the drop on", false, false, one, Manner::SilentOnDrop, "XdndDrop"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        hvtest::XdndTarget target(display, 800, 300, 200, 150, "", row.manner);
        hvtest::XProbe other(display);
        Display* d = other.display();
        if (row.pointerHeld) XGrabPointer(d, other.root(), False, 0, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
        if (row.keyboardHeld) XGrabKeyboard(d, other.root(), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        XSync(d, False);
        probe_->moveTo(x, 40, 40);
        probe_->press();
        std::atomic<bool> ended{false};
        std::thread person([&] {
            hvtest::XProbe p(display);
            p.moveTo(target.window(), 100, 75);
            target.serveUntil([&] { return target.positions > 0 || ended; });
            p.release();
            target.serveUntil([&] { return ended.load(); }, 60000);
        });
        std::vector<const char*> paths;
        for (const std::string& f : row.files) paths.push_back(f.c_str());
        SHIM_InitiateDragDropOfFileList(content, nullptr, paths.data(), int(paths.size()), nullptr);
        ended = true;
        person.join();
        // What the drag sent last; where it sent nothing, nothing comes.
        if (row.last.empty())
            target.serveUntil([] { return false; }, 300);
        else
            EXPECT_TRUE(target.serveUntil([&] { return target.last == row.last; }, 30000));
        EXPECT_EQ(target.last, row.last);
        EXPECT_EQ(XGetSelectionOwner(d, XInternAtom(d, "XdndSelection", False)), 0u);
        XUngrabPointer(d, CurrentTime);
        XUngrabKeyboard(d, CurrentTime);
        XSync(d, False);
    }
}
