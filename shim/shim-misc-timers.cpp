// SetTimer and KillTimer on repeating run-loop timers.
#include <climits>
#include <memory>
#include <mutex>

#include "platform/appkit/RunLoop.h"
#include "shim/shim-misc-internal.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;

namespace {

struct TimerRec {
    UINT_PTR id;
    HWND view;
    std::unique_ptr<RepeatingTimer> timer;
    TimerRec* next;
};

std::recursive_mutex& TimerMutex() {
    static auto* m_timermutex = new std::recursive_mutex;
    return *m_timermutex;
}
TimerRec* m_timer_list = nullptr;

// The object a window's timers are kept under: the handle itself when it
// takes timer ticks, else a window's content view that does; null for none.
HWND TargetOf(HWND h) {
    if (SHIM_Answers(h, SHIM_SEL_TIMER)) return h;
    if (Window* w = shimwnd::AsWindow(h))
        if (View* c = w->contentView(); c && SHIM_Answers(c, SHIM_SEL_TIMER)) return c;
    return nullptr;
}

void Tick(HWND view, UINT_PTR id, TIMERPROC callback) {
    if (callback) {
        if (g_shim_only_timerhwnd && g_shim_only_timerhwnd != view) return;
        callback(view, WM_TIMER, id, GetTickCount());
        return;
    }
    if (SHIM_Answers(view, SHIM_SEL_TIMER)) SHIM_ObjectOf(view)->SHIM_Timer(id);
}

// Whether the call must go through the queue: it runs and this is not its thread.
bool OffMainThread(UINT_PTR id) {
    return id != SHIM_ALL_TIMERS && shimmisc::QueueStarted() && !shimmisc::OnQueueThread();
}

}  // namespace

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT ms, TIMERPROC callback) {
    if (!h && !callback) return 0;
    if (h && id == 0) return 0;
    if (OffMainThread(id)) {
        // A request the queue does not take is no timer: say so.
        return SHIM_pmq_settimer(h, id, ms > 0xFFFFFFFEu ? 0xFFFFFFFEu : ms, callback) ? id : 0;
    }
    HWND view = nullptr;
    if (h) {
        view = TargetOf(h);
        if (!view) return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(TimerMutex());
    TimerRec* rec = nullptr;
    if (id || view)
        for (TimerRec* r = m_timer_list; r; r = r->next)
            if (r->id == id && r->view == view) {
                rec = r;
                break;
            }
    bool fresh = !rec;
    if (rec)
        rec->timer.reset();
    else
        rec = new TimerRec{id, view, nullptr, nullptr};
    if (callback || !view) {
        if (!view) rec->id = reinterpret_cast<UINT_PTR>(rec);
    }
    int interval = ms == 0 ? 1 : (ms > static_cast<UINT>(INT_MAX) ? INT_MAX : static_cast<int>(ms));
    UINT_PTR tid = rec->id;
    rec->timer = std::make_unique<RepeatingTimer>(
        interval, [view, tid, callback] { Tick(view, tid, callback); }, RunLoop::current());
    if (fresh) {
        rec->next = m_timer_list;
        m_timer_list = rec;
    }
    return rec->id;
}

BOOL KillTimer(HWND h, UINT_PTR id) {
    if (!h && !id) return 0;
    if (OffMainThread(id)) return SHIM_pmq_settimer(h, id, 0xFFFFFFFFu, nullptr) ? 1 : 0;
    if (!h && id == SHIM_ALL_TIMERS) return 0;
    // The same handle SetTimer kept the timer under: a window's content view.
    HWND view = h ? TargetOf(h) : nullptr;
    if (h && !view) view = h;
    std::lock_guard<std::recursive_mutex> lock(TimerMutex());
    BOOL removed = 0;
    for (TimerRec** link = &m_timer_list; *link;) {
        TimerRec* r = *link;
        bool match = r->view == view && (id == SHIM_ALL_TIMERS || r->id == id);
        if (!match) {
            link = &r->next;
            continue;
        }
        *link = r->next;
        r->timer.reset();
        delete r;
        removed = 1;
        if (id != SHIM_ALL_TIMERS) break;
    }
    return removed;
}

int shimmisc::TimerCount() {
    std::lock_guard<std::recursive_mutex> lock(TimerMutex());
    int n = 0;
    for (TimerRec* r = m_timer_list; r; r = r->next) ++n;
    return n;
}
