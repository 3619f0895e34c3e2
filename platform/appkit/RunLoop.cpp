#include "platform/appkit/RunLoop.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

RunLoop& RunLoop::main() {
    static auto* loop = new RunLoop;
    return *loop;
}

bool RunLoop::isMainThread() { return static_cast<pid_t>(syscall(SYS_gettid)) == getpid(); }

RunLoop& RunLoop::current() {
    if (isMainThread()) return main();
    thread_local std::unique_ptr<RunLoop> mine(new RunLoop);
    return *mine;
}

RunLoop::~RunLoop() {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    for (RepeatingTimer* t : timers_) t->valid_ = false;
}

size_t RunLoop::timerCount() const {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    return timers_.size();
}

void RunLoop::add(RepeatingTimer* t) {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    timers_.push_back(t);
}

void RunLoop::remove(RepeatingTimer* t) {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

bool RunLoop::isRegistered(RepeatingTimer* t) const {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    return std::find(timers_.begin(), timers_.end(), t) != timers_.end();
}

RunLoop::Clock::time_point RunLoop::fireDueTimers(Clock::time_point now) {
    // A timer's action may create or destroy timers, so walk a snapshot and
    // touch only those still registered.
    std::vector<RepeatingTimer*> snapshot;
    {
        std::lock_guard<std::recursive_mutex> g(timersLock_);
        snapshot = timers_;
    }
    for (RepeatingTimer* t : snapshot) {
        if (!isRegistered(t)) continue;
        if (t->next_ > now) continue;
        t->next_ += std::chrono::milliseconds(t->intervalMs_);
        if (t->next_ <= now) t->next_ = now + std::chrono::milliseconds(t->intervalMs_);
        t->fire();
    }
    Clock::time_point next = now + std::chrono::milliseconds(50);
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    for (RepeatingTimer* t : timers_) next = std::min(next, t->next_);
    return next;
}

void RunLoop::post(std::function<void()> work) {
    // Told while the lock is held: the loop's thread may end, and its loop
    // with it, as soon as it sees the work.
    std::lock_guard<std::mutex> g(postedLock_);
    posted_.push_back(std::move(work));
    postedCond_.notify_all();
}

bool RunLoop::runPosted() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> g(postedLock_);
        work.swap(posted_);
    }
    for (auto& w : work) w();
    return !work.empty();
}

void RunLoop::waitForWork(int ms) {
    if (isMain()) {
        // Posted work has no wake-up on the window system's connection, so
        // never wait there long.
        Application::backend().processEvents(std::clamp(ms, 0, 10));
        return;
    }
    std::unique_lock<std::mutex> g(postedLock_);
    postedCond_.wait_for(g, std::chrono::milliseconds(std::max(ms, 0)), [&] { return !posted_.empty(); });
}

void RunLoop::runOnce() {
    if (isMain()) Application::backend().processEvents(0);
    runPosted();
    fireDueTimers(Clock::now());
    if (isMain()) Window::displayAll();
}

void RunLoop::stop() { stopped_ = true; }

bool RunLoop::runFor(int milliseconds) {
    return runUntil([] { return false; }, milliseconds);
}

bool RunLoop::runUntil(const std::function<bool()>& done, int timeoutMs) {
    stopped_ = false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (isMain()) Application::backend().processEvents(0);
        runPosted();
        auto next = fireDueTimers(Clock::now());
        if (isMain()) Window::displayAll();
        if (stopped_) return false;
        if (done()) return true;
        auto now = Clock::now();
        if (now >= deadline) return true;
        auto wait = std::min(next, deadline) - now;
        // Rounded up: a timer due in less than a millisecond must not make
        // the loop spin until it is.
        waitForWork(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
    }
}

RepeatingTimer::RepeatingTimer(int intervalMs, std::function<void()> action, RunLoop& loop)
    : loop_(loop),
      intervalMs_(std::max(intervalMs, 1)),
      action_(std::move(action)),
      next_(RunLoop::Clock::now() + std::chrono::milliseconds(intervalMs_)) {
    loop_.add(this);
}

RepeatingTimer::~RepeatingTimer() { invalidate(); }

void RepeatingTimer::invalidate() {
    if (!valid_) return;
    valid_ = false;
    loop_.remove(this);
}

void RepeatingTimer::fire() {
    if (!valid_) return;
    ++fires_;
    // The action may destroy this timer; run a copy and touch nothing after it.
    auto action = action_;
    action();
}

}  // namespace platform::appkit
