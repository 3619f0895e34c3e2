#include "platform/appkit/RunLoop.h"

#include <algorithm>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

RunLoop& RunLoop::main() {
    static RunLoop loop;
    return loop;
}

void RunLoop::add(RepeatingTimer* t) {
    timers_.push_back(t);
    ++generation_;
}

void RunLoop::remove(RepeatingTimer* t) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
    ++generation_;
}

RunLoop::Clock::time_point RunLoop::fireDueTimers(Clock::time_point now) {
    // A timer's action may create or destroy timers, so walk a snapshot and
    // touch only those still registered.
    std::vector<RepeatingTimer*> snapshot = timers_;
    for (RepeatingTimer* t : snapshot) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (t->next_ > now) continue;
        t->next_ += std::chrono::milliseconds(t->intervalMs_);
        if (t->next_ <= now) t->next_ = now + std::chrono::milliseconds(t->intervalMs_);
        t->fire();
    }
    Clock::time_point next = now + std::chrono::milliseconds(50);
    for (RepeatingTimer* t : timers_) next = std::min(next, t->next_);
    return next;
}

void RunLoop::post(std::function<void()> work) {
    std::lock_guard<std::mutex> g(postedLock_);
    posted_.push_back(std::move(work));
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

void RunLoop::runOnce() {
    Application::backend().processEvents(0);
    runPosted();
    fireDueTimers(Clock::now());
    Window::displayAll();
}

void RunLoop::stop() { stopped_ = true; }

bool RunLoop::runFor(int milliseconds) {
    return runUntil([] { return false; }, milliseconds);
}

bool RunLoop::runUntil(const std::function<bool()>& done, int timeoutMs) {
    stopped_ = false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Application::backend().processEvents(0);
        runPosted();
        auto next = fireDueTimers(Clock::now());
        Window::displayAll();
        if (stopped_) return false;
        if (done()) return true;
        auto now = Clock::now();
        if (now >= deadline) return true;
        auto wait = std::min(next, deadline) - now;
        // Rounded up: a timer due in less than a millisecond must not make
        // the loop spin until it is.
        int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        // Posted work has no wake-up of its own, so never sleep long.
        Application::backend().processEvents(std::clamp(ms, 0, 10));
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
