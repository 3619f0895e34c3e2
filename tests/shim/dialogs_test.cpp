// Dialogs and top-level windows, headless: resource dialogs, the modal run
// and EndDialog, frame events as messages, size limits, owned windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/appkit/Application.h"
#include "platform/appkit/Modal.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

std::string g_log;
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> g_answer;

LRESULT DialogProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case WM_INITDIALOG:
            g_log += " INIT";
            break;
        case WM_DESTROY:
            g_log += " DESTROY";
            break;
        case WM_CLOSE:
            g_log += " CLOSE";
            break;
        case WM_COMMAND:
            g_log += " COMMAND(" + std::to_string(wp) + ")";
            break;
        case WM_SIZE:
            g_log += " SIZE";
            break;
        case WM_MOVE:
            g_log +=
                " MOVE(" + std::to_string((int16_t)(lp & 0xFFFF)) + "," + std::to_string((int16_t)(lp >> 16)) + ")";
            break;
        case WM_ACTIVATE:
            g_log += " ACTIVATE(" + std::to_string(wp) + ")";
            break;
        default:
            break;
    }
    return g_answer ? g_answer(h, m, wp, lp) : 0;
}

int g_childrenMade = 0;
void MakeControls(HWND, int) { ++g_childrenMade; }

const char* const kModal = "modal";
const char* const kChild = "child";
SHIM_DialogResourceIndex g_child{kChild, "Child", 1, MakeControls, 120, 80, nullptr};
SHIM_DialogResourceIndex g_modal{kModal, "Settings", 0x10 | 2, MakeControls, 240, 160, &g_child};

struct Reset {
    Reset() {
        g_log.clear();
        g_answer = nullptr;
    }
    ~Reset() {
        g_answer = nullptr;
        setModalIterationHook(nullptr);
    }
};

}  // namespace

TEST(Dialogs, EndedFromInitDialogWithoutAModalRun) {
    Reset reset;
    g_answer = [](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_INITDIALOG) EndDialog(h, 17);
        return 0;
    };
    bool ran = false;
    setModalIterationHook([&](Window*) { ran = true; });
    EXPECT_EQ(SHIM_DialogBox(&g_modal, kModal, nullptr, DialogProc, 0), 17);
    EXPECT_FALSE(ran);
    EXPECT_EQ(g_log, " INIT DESTROY");
}

TEST(Dialogs, RefusedDialogBoxes) {
    Reset reset;
    EXPECT_EQ(SHIM_DialogBox(nullptr, kModal, nullptr, DialogProc, 0), -1);
    EXPECT_EQ(SHIM_DialogBox(&g_modal, "nope", nullptr, DialogProc, 0), -1);
    EXPECT_EQ(SHIM_DialogBox(&g_modal, kChild, nullptr, DialogProc, 0), -1);
    EXPECT_EQ(SHIM_CreateDialog(&g_modal, "nope", nullptr, DialogProc, 0), nullptr);
    EXPECT_EQ(g_log, "");
}

TEST(Dialogs, ModalRunEndsWithTheResultAndTheWindowGoes) {
    Reset reset;
    Window* seen = nullptr;
    int passes = 0;
    setModalIterationHook([&](Window* w) {
        seen = w;
        if (++passes == 2) EndDialog(w->contentView(), 42);
    });
    g_childrenMade = 0;
    EXPECT_EQ(SHIM_DialogBox(&g_modal, kModal, nullptr, DialogProc, 0), 42);
    EXPECT_EQ(g_childrenMade, 1);
    EXPECT_EQ(passes, 2);
    ASSERT_TRUE(seen);
    EXPECT_FALSE(Responder::isLive(seen));
    EXPECT_EQ(g_log.substr(0, 5), " INIT");
    EXPECT_NE(g_log.find(" DESTROY"), std::string::npos);
}

TEST(Dialogs, CloseButtonAsksThenCancels) {
    Reset reset;
    // A dialog box: the procedure ends it on IDCANCEL.
    g_answer = [](HWND h, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_COMMAND && wp == IDCANCEL) EndDialog(h, IDCANCEL);
        return 0;
    };
    setModalIterationHook([](Window* w) { w->userClosed(); });
    EXPECT_EQ(SHIM_DialogBox(&g_modal, kModal, nullptr, DialogProc, 0), IDCANCEL);
    EXPECT_NE(g_log.find(" CLOSE COMMAND(2)"), std::string::npos) << g_log;
    // A modeless window: a close answered 0 cancels and the window stays.
    g_log.clear();
    g_answer = nullptr;
    HWND h = SHIM_CreateDialog(&g_modal, kModal, nullptr, DialogProc, 0);
    ASSERT_TRUE(h);
    Window* w = shimwnd::AsView(h)->window();
    w->userClosed();
    EXPECT_EQ(g_log, " INIT CLOSE COMMAND(2)");
    EXPECT_FALSE(w->isClosed());
    // Answered non-zero: nothing more.
    g_log.clear();
    g_answer = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CLOSE; };
    w->userClosed();
    EXPECT_EQ(g_log, " CLOSE");
    DestroyWindow(w);
}

TEST(Dialogs, CreateDialogChildOrTopLevel) {
    Reset reset;
    Window parent(FRect{0, 0, 300, 300}, kStyleTitled);
    HWND pv = parent.contentView();
    HWND child = SHIM_CreateDialog(&g_modal, kChild, pv, DialogProc, 0);
    ASSERT_TRUE(SHIM_WindowObjectOf(child));
    EXPECT_EQ(SHIM_WindowObjectOf(child)->superview(), parent.contentView());
    EXPECT_EQ(SHIM_WindowObjectOf(child)->m_create_windowflags, 15u);
    HWND plain = SHIM_CreateDialog(nullptr, (const char*)SHIM_DIALOG_PLAIN_WINDOW, pv, DialogProc, 0);
    ASSERT_TRUE(SHIM_WindowObjectOf(plain));
    EXPECT_EQ(SHIM_WindowObjectOf(plain)->superview(), parent.contentView());
    HWND top = SHIM_CreateDialog(nullptr, (const char*)(SHIM_DIALOG_PLAIN_WINDOW | 8), pv, DialogProc, 0);
    ASSERT_TRUE(SHIM_WindowObjectOf(top));
    Window* w = SHIM_WindowObjectOf(top)->window();
    ASSERT_TRUE(dynamic_cast<Shim_vHalvoran_modelesswindow*>(w));
    EXPECT_EQ(w->styleMask(), unsigned(kStyleTitled | kStyleClosable | kStyleMiniaturizable));
    EXPECT_EQ(w->frame().width, 10);
    EXPECT_EQ(w->frame().height, 10);
    DestroyWindow(w);
}

TEST(Dialogs, FrameEventsAndSizeLimits) {
    Reset reset;
    g_answer = [](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
        if (m == WM_GETMINMAXINFO) {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
            mmi->ptMinTrackSize = {120, 80};  // the maximum is left alone
        }
        return 0;
    };
    HWND h = SHIM_CreateDialog(&g_modal, kModal, nullptr, DialogProc, 0);
    Window* w = shimwnd::AsView(h)->window();
    EXPECT_EQ(w->minSize(), (FSize{120, 80}));
    EXPECT_EQ(w->maxSize(), (FSize{1e6, 1e6}));
    g_log.clear();
    w->windowSystemDidSetFrame({30, 40, 300, 200});
    EXPECT_EQ(g_log, " SIZE MOVE(30,40)");
    g_log.clear();
    w->windowSystemDidSetFrame({30, 40, 300.4, 200});  // the same size in whole points
    EXPECT_EQ(g_log, "");
    // Each resize by the user asks again; the answer holds the window.
    int asked = 0;
    g_answer = [&](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
        if (m == WM_GETMINMAXINFO) {
            ++asked;
            reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {150, 100};
        }
        return 0;
    };
    w->windowSystemDidSetFrame({30, 40, 100, 60});
    EXPECT_GE(asked, 1);
    EXPECT_EQ(w->frame(), (FRect{30, 0, 150, 100}));  // the top edge stays
    DestroyWindow(w);
}

TEST(Dialogs, ADisabledTopLevelWindowTakesNoClickKeyOrKeyStatus) {
    Reset reset;
    int downs = 0;
    g_answer = [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        downs += m == WM_LBUTTONDOWN || m == WM_NCMOUSEMOVE + 1;
        return 0;
    };
    HWND h = SHIM_CreateDialog(&g_modal, kModal, nullptr, DialogProc, 0);
    Window* w = shimwnd::AsView(h)->window();
    ShowWindow(h, SW_SHOW);
    for (bool enabled : {false, true}) {
        SCOPED_TRACE(enabled);
        EnableWindow(h, enabled);
        downs = 0;
        w->sendEvent(Event::mouse(EventType::MouseDown, {20, 20}));
        w->sendEvent(Event::mouse(EventType::MouseUp, {20, 20}));
        EXPECT_EQ(downs, enabled ? 1 : 0);
        EXPECT_EQ(w->canBecomeKey(), enabled);
    }
    DestroyWindow(w);
}

TEST(Dialogs, OwnedWindowsAndActivation) {
    Reset reset;
    HWND a = SHIM_CreateDialog(&g_modal, kModal, nullptr, DialogProc, 0);
    auto* owner = dynamic_cast<Shim_vHalvoran_frame*>(shimwnd::AsView(a)->window());
    HWND b = SHIM_CreateDialog(&g_modal, kModal, owner, DialogProc, 0);
    Window* owned = shimwnd::AsView(b)->window();
    owner->shimAddOwnedWindow(owned);  // a second time: still one record
    ASSERT_TRUE(owner->m_ownedwnds);
    EXPECT_EQ(owner->m_ownedwnds->hwnd, owned);
    EXPECT_EQ(owner->m_ownedwnds->_next, nullptr);
    EXPECT_EQ(SHIM_ObjectOf(owned)->shimGetOwner(), owner);

    g_log.clear();
    owner->show();
    owner->makeKeyWindow();
    owned->show();
    owned->makeKeyWindow();
    EXPECT_EQ(g_log, " ACTIVATE(1) ACTIVATE(0) ACTIVATE(1)");
    // Destroying the owner takes the owned window with it.
    DestroyWindow(owner);
    EXPECT_TRUE(!Responder::isLive(owned) || owned->isClosed());
}
