#include "platform/appkit/RunLoop.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

namespace {

// Set from signal handlers: lock-free.
std::atomic<bool> gQuitRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

RunLoop& RunLoop::main() {
    static auto* loop = [] {
        auto* l = new RunLoop;
        l->wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        return l;
    }();
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
    {
        std::lock_guard<std::recursive_mutex> g(timersLock_);
        timers_.push_back(t);
    }
    // A timer added from another thread may be due before the loop's wait ends.
    wake();
}

void RunLoop::remove(RepeatingTimer* t) {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

bool RunLoop::isRegistered(RepeatingTimer* t) const {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    return std::find(timers_.begin(), timers_.end(), t) != timers_.end();
}

std::optional<RunLoop::Clock::time_point> RunLoop::fireDueTimers(Clock::time_point now, int* fired) {
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
        if (fired) ++*fired;
        t->fire();
    }
    return nextTimer();
}

std::optional<RunLoop::Clock::time_point> RunLoop::nextTimer() const {
    std::lock_guard<std::recursive_mutex> g(timersLock_);
    std::optional<Clock::time_point> next;
    for (RepeatingTimer* t : timers_)
        if (!next || t->next_ < *next) next = t->next_;
    return next;
}

void RunLoop::post(std::function<void()> work) {
    // Told while the lock is held: the loop's thread may end, and its loop
    // with it, as soon as it sees the work.
    std::lock_guard<std::mutex> g(postedLock_);
    posted_.push_back(std::move(work));
    postedCond_.notify_all();
    wake();
}

void RunLoop::wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    ssize_t written = write(wakeFd_, &one, sizeof one);
    (void)written;  // a full counter wakes the loop all the same
}

void RunLoop::requestQuit() {
    gQuitRequested = true;
    main().wake();
}

bool RunLoop::quitRequested() { return gQuitRequested; }

bool RunLoop::runPosted() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> g(postedLock_);
        work.swap(posted_);
    }
    for (auto& w : work) w();
    return !work.empty();
}

void RunLoop::waitUntil(std::optional<Clock::time_point> until) {
    int ms = -1;
    if (until) {
        // Rounded up: a timer due in less than a millisecond must not make
        // the loop spin until it is.
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
        ms = static_cast<int>(std::clamp<decltype(wait)>(wait, 0, 24 * 3600 * 1000));
    }
    if (isMain()) {
        // Asleep until the window system, posted work or the next timer.
        Application::backend().waitForEvents(ms, wakeFd_);
        uint64_t count = 0;
        ssize_t got = read(wakeFd_, &count, sizeof count);
        (void)got;
        return;
    }
    // Another thread's loop hears of posts alone: a timer added to it from
    // elsewhere is seen within the cap.
    constexpr int kThreadCap = 50;
    std::unique_lock<std::mutex> g(postedLock_);
    postedCond_.wait_for(g, std::chrono::milliseconds(ms < 0 ? kThreadCap : std::min(ms, kThreadCap)),
                         [&] { return !posted_.empty(); });
}

void RunLoop::waitForWork(int maxMs) {
    std::optional<Clock::time_point> until = nextTimer();
    if (maxMs >= 0) {
        auto cap = Clock::now() + std::chrono::milliseconds(maxMs);
        if (!until || cap < *until) until = cap;
    }
    waitUntil(until);
}

void RunLoop::runOnce() {
    if (isMain()) Application::backend().processEvents(0);
    runPosted();
    fireDueTimers(Clock::now());
    if (isMain()) Window::displayAll();
}

void RunLoop::stop() {
    stopped_ = true;
    wake();
}

bool RunLoop::runFor(int milliseconds) {
    return runUntil([] { return false; }, milliseconds, false);
}

bool RunLoop::runUntil(const std::function<bool()>& done, int timeoutMs) { return runUntil(done, timeoutMs, true); }

bool RunLoop::runUntil(const std::function<bool()>& done, int timeoutMs, bool poll) {
    stopped_ = false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // A predicate may turn on what no event announces (a flag another thread
    // sets without waking the loop): it is looked at now and then as well.
    constexpr auto kPredicatePoll = std::chrono::milliseconds(250);
    for (;;) {
        if (isMain()) Application::backend().processEvents(0);
        runPosted();
        auto next = fireDueTimers(Clock::now());
        if (isMain()) Window::displayAll();
        if (stopped_) return false;
        if (done()) return true;
        auto now = Clock::now();
        if (now >= deadline) return true;
        auto until = std::min(next.value_or(deadline), deadline);
        if (poll) until = std::min(until, now + kPredicatePoll);
        waitUntil(until);
    }
}

bool RunLoop::track(const std::function<bool()>& done, std::optional<Clock::time_point> until, int pollMs,
                    const std::function<void()>& afterWork) {
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(d) { ++n; }
        ~Depth() { --n; }
    } tracking(tracking_);
    for (;;) {
        if (isMain()) Application::backend().processEvents(0);
        if (done()) return true;
        if (quitRequested()) return false;
        int fired = 0;
        bool posted = false;
        {
            Depth work(trackingWork_);
            posted = runPosted();
            fireDueTimers(Clock::now(), &fired);
        }
        if (isMain()) Window::displayAll();
        if ((posted || fired) && afterWork) afterWork();
        if (done()) return true;
        auto now = Clock::now();
        if ((until && now >= *until) || quitRequested()) return false;
        std::optional<Clock::time_point> wake = nextTimer();
        if (until && (!wake || *until < *wake)) wake = until;
        if (pollMs >= 0 && (!wake || now + std::chrono::milliseconds(pollMs) < *wake))
            wake = now + std::chrono::milliseconds(pollMs);
        waitUntil(wake);
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
