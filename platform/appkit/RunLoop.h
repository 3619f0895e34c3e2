#pragma once
// The main thread's run loop: repeating timers, work posted from any thread,
// and the window system's events, all handled on the thread that runs it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::appkit {

class RepeatingTimer;

class RunLoop {
public:
    using Clock = std::chrono::steady_clock;

    // The one loop of the process (shared by a host and the plug-ins it loads).
    static RunLoop& main();

    // Runs timers, posted work and window events until the time is up or stop()
    // is called. Returns false when it was stopped.
    bool runFor(int milliseconds);
    // Runs until the predicate holds (checked after each pass) or the time is up.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);
    void stop();

    // Thread-safe: the work runs on the loop's thread during its next pass.
    void post(std::function<void()> work);

    // One pass without waiting: due timers, posted work, pending events.
    void runOnce();

    size_t timerCount() const { return timers_.size(); }

private:
    friend class RepeatingTimer;
    void add(RepeatingTimer* t);
    void remove(RepeatingTimer* t);
    Clock::time_point fireDueTimers(Clock::time_point now);
    bool runPosted();

    std::vector<RepeatingTimer*> timers_;
    uint64_t generation_ = 0;  // bumps when the timer list changes
    std::mutex postedLock_;
    std::vector<std::function<void()>> posted_;
    bool stopped_ = false;
};

// A timer that fires every interval on the main run loop until invalidated or
// destroyed. fire() runs the action at once (tests drive timers with it).
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
