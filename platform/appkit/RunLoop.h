#pragma once
// Run loops: repeating timers, work posted from any thread, and (on the main
// thread's loop) the window system's events and redraws, all handled on the
// thread that runs the loop. Each thread has its own loop; the main loop is
// the process's initial thread's.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform::appkit {

class RepeatingTimer;

class RunLoop {
public:
    using Clock = std::chrono::steady_clock;

    // The one main loop of the process (shared by a host and the plug-ins it loads).
    static RunLoop& main();
    // The calling thread's loop: main() on the main thread.
    static RunLoop& current();
    // Whether the caller is the process's initial thread.
    static bool isMainThread();
    // A thread's loop ends with the thread: its timers stop for good.
    ~RunLoop();

    // Runs timers, posted work and (main loop) window events until the time
    // is up or stop() is called. Returns false when it was stopped.
    bool runFor(int milliseconds);
    // Runs until the predicate holds (checked after each pass) or the time is up.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);
    void stop();

    // Thread-safe: the work runs on the loop's thread during its next pass.
    void post(std::function<void()> work);
    // Ends the loop's wait at once, so that its next pass (and a predicate
    // it runs until) looks again. Safe from any thread and from a signal
    // handler.
    void wake();
    // The program was asked to quit (a signal, the window manager's close of
    // a window that quits it): every modal loop (menus, the text entry,
    // alerts, drags, modal runs of panels and dialogs) ends at once as if
    // cancelled, and one opened after it ends as it starts. For good: the
    // program is ending. Safe from any thread and from a signal handler
    // once main() was made.
    static void requestQuit();
    static bool quitRequested();

    // Waits (main loop: on the window system too) until there is work: an
    // event, posted work, a due timer, or maxMs (negative: no limit).
    void waitForWork(int maxMs);

    // One pass without waiting: due timers, posted work, pending events.
    void runOnce();

    // Event tracking, for the window system's own modal loops (a menu, a
    // text entry, an alert, a drag) on the main loop: passes as runUntil
    // makes them, whose window events the backend hands to the tracking
    // loop, while timers and posted work go on as a platform's tracking mode
    // runs them. Ends when done() holds (looked at after the events of a
    // pass, after its work, and every pollMs when that is not negative), or
    // when `until` has passed or the program was asked to quit: false then.
    // afterWork runs after a pass that ran timers or posted work, for the
    // loop to show what they changed.
    bool track(const std::function<bool()>& done, std::optional<Clock::time_point> until = std::nullopt,
               int pollMs = -1, const std::function<void()>& afterWork = nullptr);
    // Whether a timer or posted work that a tracking pass runs is running
    // now. It may not open another modal loop: the one tracking holds the
    // pointer and the keyboard, and is in the middle of its own work.
    bool inTrackingWork() const { return trackingWork_ > 0; }

    size_t timerCount() const;

private:
    friend class RepeatingTimer;
    RunLoop() = default;
    bool isMain() const { return this == &main(); }
    void add(RepeatingTimer* t);
    void remove(RepeatingTimer* t);
    bool isRegistered(RepeatingTimer* t) const;
    // Fires the due timers; the next timer's time, or none. Counts the
    // timers fired into `fired` when given.
    std::optional<Clock::time_point> fireDueTimers(Clock::time_point now, int* fired = nullptr);
    std::optional<Clock::time_point> nextTimer() const;
    bool runPosted();
    void waitUntil(std::optional<Clock::time_point> until);
    bool runUntil(const std::function<bool()>& done, int timeoutMs, bool poll);

    // Timers are added and invalidated from their own thread, but may be
    // counted from others.
    mutable std::recursive_mutex timersLock_;
    std::vector<RepeatingTimer*> timers_;
    std::mutex postedLock_;
    std::condition_variable postedCond_;
    std::vector<std::function<void()>> posted_;
    bool stopped_ = false;
    // Main thread only: tracking passes, and the work they run, as deep as
    // they nest.
    int tracking_ = 0;
    int trackingWork_ = 0;
    // The main loop waits on the window system and on this (an eventfd).
    int wakeFd_ = -1;
};

// A timer that fires every interval on a run loop (the main one unless given)
// until invalidated or destroyed. fire() runs the action at once (tests drive
// timers with it).
class RepeatingTimer {
public:
    RepeatingTimer(int intervalMs, std::function<void()> action, RunLoop& loop = RunLoop::main());
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    void invalidate();
    bool isValid() const { return valid_; }
    int intervalMs() const { return intervalMs_; }
    void fire();
    uint64_t fireCount() const { return fires_; }

private:
    friend class RunLoop;
    RunLoop& loop_;
    int intervalMs_;
    std::function<void()> action_;
    RunLoop::Clock::time_point next_;
    bool valid_ = true;
    uint64_t fires_ = 0;
};

}  // namespace platform::appkit
