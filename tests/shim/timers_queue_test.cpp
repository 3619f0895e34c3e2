// ctest-labels: tsan
// Timers and the posted-message queue on the real run loop: the timer
// callback and WM_TIMER, replacing and killing timers, the queue's cap and
// recovery, FIFO delivery from worker threads, timer requests from workers
// collapsing, and what a destroyed or stale window is (not) given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"
#include "support/WaitUntil.h"

using namespace platform::appkit;

namespace {

// What a window procedure got: (window, message, wParam), in order.
struct Got {
    HWND h;
    UINT msg;
    WPARAM wp;
};
std::vector<Got> g_got;

LRESULT Recording(HWND h, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_TIMER || msg >= 0x400) g_got.push_back({h, msg, wp});
    return 0;
}

struct TimerCall {
    HWND h;
    UINT msg;
    UINT_PTR id;
    DWORD ticks;
};
std::vector<TimerCall> g_calls;
void Callback(HWND h, UINT msg, UINT_PTR id, DWORD ticks) { g_calls.push_back({h, msg, id, ticks}); }

bool PumpUntil(const std::function<bool()>& done) {
    return hvtest::waitUntil([&] {
        RunLoop::main().runOnce();
        return done();
    });
}

int Count(HWND h, UINT msg) {
    int n = 0;
    for (const Got& g : g_got) n += g.h == h && g.msg == msg;
    return n;
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        g_got.clear();
        g_calls.clear();
        window = std::make_unique<Window>(Size{100, 100}, "timers");
        a = Shim_vHalvoran_hwnd::initChild(nullptr, window->contentView(), Recording, 0);
        b = Shim_vHalvoran_hwnd::initChild(nullptr, window->contentView(), Recording, 0);
    }
    void TearDown() override {
        window.reset();
        RunLoop::main().runOnce();
    }
    std::unique_ptr<Window> window;
    Shim_vHalvoran_hwnd *a = nullptr, *b = nullptr;
};

// The queue, started once for the program with the toolkit's posting delegate.
class Queue : public Timers {
protected:
    static void SetUpTestSuite() {
        Application::setDelegate(SHIM_GetPostingDelegate());
        SHIM_Internal_PostMessage_Init();
    }
    void SetUp() override {
        Timers::SetUp();
        SHIM_Internal_PMQ_ClearAllMessages(nullptr);
    }
};

}  // namespace

TEST_F(Timers, ACallbackTimerWithoutAWindowTakesItsRecordAsItsId) {
    UINT_PTR id = SetTimer(nullptr, 0, 5, Callback);
    ASSERT_NE(id, 0u);
    DWORD before = GetTickCount();
    ASSERT_TRUE(PumpUntil([] { return g_calls.size() >= 2; }));
    EXPECT_EQ(g_calls[0].h, nullptr);
    EXPECT_EQ(g_calls[0].msg, WM_TIMER);
    EXPECT_EQ(g_calls[0].id, id);
    EXPECT_GE(g_calls[0].ticks - before, 0u);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_FALSE(KillTimer(nullptr, id));
    // Setting the same id again replaces that timer.
    UINT_PTR again = SetTimer(nullptr, 0, 5, Callback);
    EXPECT_EQ(SetTimer(nullptr, again, 7, Callback), again);
    EXPECT_TRUE(KillTimer(nullptr, again));
    EXPECT_FALSE(KillTimer(nullptr, again));
}

TEST_F(Timers, RefusedAndNeutralCalls) {
    EXPECT_EQ(SetTimer(nullptr, 3, 10, nullptr), 0u);
    EXPECT_EQ(SetTimer(a, 0, 10, nullptr), 0u);
    View plain(Rect{0, 0, 5, 5});
    EXPECT_EQ(SetTimer(&plain, 1, 10, nullptr), 0u);  // takes no ticks
    EXPECT_FALSE(KillTimer(nullptr, 0));
    EXPECT_FALSE(KillTimer(nullptr, SHIM_ALL_TIMERS));
    EXPECT_FALSE(KillTimer(a, 99));
}

TEST_F(Timers, AWindowGetsTimerMessagesAndOneTimerPerId) {
    EXPECT_EQ(SetTimer(a, 7, 1000, nullptr), 7u);
    EXPECT_EQ(SetTimer(a, 7, 0, nullptr), 7u);  // replaces: one timer, now at about a millisecond
    EXPECT_EQ(SetTimer(b, 7, 1000, nullptr), 7u);
    ASSERT_TRUE(PumpUntil([&] { return Count(a, WM_TIMER) >= 3; }));
    EXPECT_EQ(Count(b, WM_TIMER), 0);
    EXPECT_EQ(g_got.front().wp, 7u);
    EXPECT_TRUE(KillTimer(a, 7));
    EXPECT_FALSE(KillTimer(a, 7));
    EXPECT_TRUE(KillTimer(b, SHIM_ALL_TIMERS));
}

TEST_F(Timers, ATimerSetThroughTheWindowIsKilledThroughIt) {
    Window top({50, 50}, "top");
    auto* content = Shim_vHalvoran_hwnd::initChild(nullptr, &top, Recording, 0);
    EXPECT_EQ(SetTimer(&top, 4, 0, nullptr), 4u);
    ASSERT_TRUE(PumpUntil([&] { return Count(content, WM_TIMER) >= 1; }));
    EXPECT_TRUE(KillTimer(&top, 4));
    EXPECT_FALSE(KillTimer(content, 4));
}

TEST_F(Timers, OnlyTheChosenWindowsTimersFireWhileTheLoopRunsForIt) {
    SetTimer(a, 1, 0, nullptr);
    SetTimer(b, 1, 0, nullptr);
    SHIM_RunRunLoopEx(30, a);
    EXPECT_GT(Count(a, WM_TIMER), 0);
    EXPECT_EQ(Count(b, WM_TIMER), 0);
    EXPECT_EQ(g_shim_only_timerhwnd, nullptr);
    KillTimer(a, 1);
    KillTimer(b, 1);
}

TEST_F(Timers, ADestroyedWindowsTimersAreGone) {
    SetTimer(a, 2, 0, nullptr);
    DestroyWindow(a);
    EXPECT_FALSE(KillTimer(a, 2));
}

TEST_F(Queue, PostsAreRefusedWithoutTheDelegatesPostingMethods) {
    Application::setDelegate(nullptr);
    EXPECT_EQ(PostMessage(a, 0x400, 0, 0), 0);
    Application::setDelegate(SHIM_GetPostingDelegate());
    EXPECT_EQ(PostMessage(a, 0x400, 0, 0), 1);
}

TEST_F(Queue, TheCapRefusesThe1025thPostUntilAFlush) {
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(PostMessage(a, 0x400, i, 0), 1) << i;
    EXPECT_EQ(PostMessage(a, 0x400, 1024, 0), 0);
    EXPECT_EQ(SHIM_MessageQueue_Size(), 1024);
    SHIM_MessageQueue_Flush();
    EXPECT_EQ(Count(a, 0x400), 1024);
    for (int i = 0; i < 1024; ++i) EXPECT_EQ(g_got[i].wp, WPARAM(i));
    EXPECT_EQ(SHIM_MessageQueue_Size(), 0);
    EXPECT_GE(SHIM_MessageQueue_FreeCount(), 1024);
    EXPECT_EQ(PostMessage(a, 0x401, 0, 0), 1);
    SHIM_MessageQueue_Flush();
    EXPECT_EQ(Count(a, 0x401), 1);
}

TEST_F(Queue, ClearingOneWindowKeepsTheOthersInOrder) {
    PostMessage(a, 0x400, 1, 0);
    PostMessage(b, 0x400, 2, 0);
    PostMessage(a, 0x400, 3, 0);
    PostMessage(b, 0x400, 4, 0);
    SHIM_Internal_PMQ_ClearAllMessages(a);
    PostMessage(b, 0x400, 5, 0);  // the tail is right after the clear
    SHIM_MessageQueue_Flush();
    ASSERT_EQ(g_got.size(), 3u);
    EXPECT_EQ(g_got[0].wp, 2u);
    EXPECT_EQ(g_got[1].wp, 4u);
    EXPECT_EQ(g_got[2].wp, 5u);
}

TEST_F(Queue, DestroyedAndStaleWindowsGetNothing) {
    PostMessage(a, 0x400, 1, 0);
    SendMessage(a, WM_DESTROY, 0, 0);  // drops what was queued for it
    EXPECT_EQ(PostMessage(a, 0x400, 2, 0), 0);
    SHIM_MessageQueue_Flush();
    EXPECT_EQ(Count(a, 0x400), 0);
    auto* gone = Shim_vHalvoran_hwnd::initChild(nullptr, nullptr, Recording, 0);
    HWND stale = gone;
    DestroyWindow(gone);
    RunLoop::main().runOnce();  // released now
    EXPECT_EQ(PostMessage(stale, 0x400, 3, 0), 0);
    EXPECT_EQ(SendMessage(stale, 0x400, 3, 0), 0);
    EXPECT_FALSE(IsWindow(stale));
}

TEST_F(Queue, AWindowFreedByAnEarlierRecordOfABatchGetsNoLaterOnes) {
    // b's procedure deletes the top-level window that holds c.
    static Window* holder;
    holder = new Window({40, 40}, "holder");
    auto* c = Shim_vHalvoran_hwnd::initChild(nullptr, holder->contentView(), Recording, 0);
    SetWindowLongPtr(b, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                         if (m == 0x402) delete holder;
                         return Recording(h, m, wp, lp);
                     }));
    HWND stale = c;
    PostMessage(c, 0x400, 1, 0);
    PostMessage(b, 0x402, 0, 0);
    PostMessage(c, 0x400, 2, 0);
    SHIM_MessageQueue_Flush();
    EXPECT_EQ(Count(stale, 0x400), 1);
    EXPECT_EQ(Count(b, 0x402), 1);
}

TEST_F(Queue, FourWorkersPostInOrderAndAllArriveThroughTheTick) {
    constexpr int kEach = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i)
                while (!PostMessage(a, 0x400 + t, i, 0)) std::this_thread::yield();  // the cap: wait for a tick
        });
    EXPECT_TRUE(PumpUntil([&] { return g_got.size() == 4u * kEach; }));
    for (auto& w : workers) w.join();
    std::map<UINT, WPARAM> next;
    for (const Got& g : g_got) {
        EXPECT_EQ(g.wp, next[g.msg]) << g.msg;
        next[g.msg] = g.wp + 1;
    }
}

TEST_F(Queue, AWorkersSetThenKillCollapseIntoTheKill) {
    UINT_PTR set = 0, dropped = 1;
    BOOL killed = 0;
    std::thread worker([&] {
        set = SetTimer(a, 9, 0, nullptr);
        killed = KillTimer(a, 9);
        dropped = SetTimer(nullptr, 9, 10, Callback);  // no window: the queue takes no request
    });
    worker.join();
    EXPECT_EQ(set, 9u);
    EXPECT_EQ(killed, 1);
    EXPECT_EQ(dropped, 0u);
    EXPECT_EQ(SHIM_MessageQueue_Size(), 1);
    SHIM_MessageQueue_Flush();
    EXPECT_FALSE(KillTimer(a, 9));  // no timer was ever made
    // A set alone from a worker makes the timer on the main thread.
    std::thread([&] { SetTimer(a, 10, 0, nullptr); }).join();
    EXPECT_TRUE(PumpUntil([&] { return Count(a, WM_TIMER) > 0; }));
    EXPECT_TRUE(KillTimer(a, 10));
}

TEST(RunLoopServices, AppNapActivityFollowsTheCount) {
    int base = Application::activityCount();
    SHIM_DisableAppNap(1);
    SHIM_DisableAppNap(1);
    EXPECT_EQ(Application::activityCount(), base + 1);
    SHIM_DisableAppNap(-1);
    EXPECT_EQ(Application::activityCount(), base + 1);
    SHIM_DisableAppNap(-1);
    EXPECT_EQ(Application::activityCount(), base);
    EXPECT_EQ(SHIM_DisableAppNapCount(), 0);
}

TEST(RunLoopServices, RunEventsDispatchesWhatIsQueued) {
    auto& headless = dynamic_cast<HeadlessBackend&>(Application::backend());
    Window w({20, 20}, "events");
    struct Presses : View {
        using View::View;
        void mouseDown(const Event&) override { ++n; }
        int n = 0;
    };
    auto* v = new Presses(Rect{0, 0, 20, 20});
    w.contentView()->addSubview(v);
    for (int i = 0; i < 3; ++i) headless.queueEvent(&w, Event::mouse(EventType::MouseDown, {1, 1}));
    SHIM_RunEvents();
    EXPECT_EQ(v->n, 3);
    EXPECT_EQ(headless.queuedEvents(), 0u);
}

TEST(RunLoopServices, QuitSetsTheFlagAndTerminates) {
    EXPECT_EXIT(
        {
            SHIM_PostQuitMessage(nullptr);
            // _exit: the child must not run the program's exit handlers (they
            // would stop servers the parent still uses).
            _exit(g_shim_terminating && Application::isTerminating() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
