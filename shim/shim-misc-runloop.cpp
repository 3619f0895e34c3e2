// The run-loop services: pumping events, running the loop for a while, the
// quit flag and keeping the system from idling the
// process.
#include <atomic>

#include "platform/appkit/Application.h"
#include "platform/appkit/RunLoop.h"
#include "shim/shim-misc.h"

using namespace platform::appkit;

HWND g_shim_only_timerhwnd = nullptr;
std::atomic<bool> g_shim_terminating{false};

namespace {

// Foundation's version number the toolkit behaves as: newer than 945, where
// activities exist.
constexpr double kFoundationVersion = 1000.0;
constexpr uint64_t kAppNapOptions = 0xFF00100000ull;

struct AppNap {
    int cnt = 0;
    Activity* obj = nullptr;
};
AppNap& AppNapState() {
    static AppNap s;
    return s;
}

}  // namespace

void SHIM_RunEvents() {
    for (int i = 0; i < 100; ++i)
        if (!Application::dispatchNextEvent(1)) break;
}

void SHIM_RunRunLoop(int ms) { RunLoop::current().runFor(ms); }

void SHIM_RunRunLoopEx(int ms, HWND onlyTimersOf) {
    HWND previous = g_shim_only_timerhwnd;
    g_shim_only_timerhwnd = onlyTimersOf;
    RunLoop::current().runFor(ms);
    if (g_shim_only_timerhwnd == onlyTimersOf) g_shim_only_timerhwnd = previous;
}

void SHIM_PostQuitMessage(void* sender) {
    g_shim_terminating = true;
    Application::terminate();
}

void SHIM_DisableAppNap(int delta) {
    if (g_shim_terminating || static_cast<int>(kFoundationVersion) <= 945) return;
    AppNap& s = AppNapState();
    s.cnt += delta;
    if (s.cnt < 1) {
        if (s.obj) Application::endActivity(s.obj);
        s.obj = nullptr;
    } else if (!s.obj) {
        s.obj = Application::beginActivity(kAppNapOptions, "SHIM_DisableAppNap");
    }
}

int SHIM_DisableAppNapCount() { return AppNapState().cnt; }
