#pragma once
// The calls into the MIDI system, one after another on a thread of their
// own. A MIDI system can stop answering (a JACK server stopped, or stuck on
// a stale lock), and a call into it then never returns: whoever asked waits
// for it only until a deadline. Once a caller gave up, the worker is held
// up: no caller waits at all until the call that held it ends, and what was
// queued meanwhile runs then, in order. While idle the thread waits on its
// queue alone.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class IMidiPortsWorker {
public:
    using Clock = std::chrono::steady_clock;
    class Call;
    using Work = std::function<void(Call&)>;

    // onHeldUp runs when a caller first gives up on a call (on the caller's
    // thread), onFreed when a call ends while the worker was held up (on the
    // worker's thread).
    IMidiPortsWorker(std::function<void()> onHeldUp, std::function<void()> onFreed);
    // Joins the thread when it is idle; a thread still busy is left to end
    // by itself once its calls have ended, and neither callback runs again.
    ~IMidiPortsWorker();
    IMidiPortsWorker(const IMidiPortsWorker&) = delete;
    IMidiPortsWorker& operator=(const IMidiPortsWorker&) = delete;

    std::shared_ptr<Call> post(Work work);
    // Waits until the call ended or the deadline passed; not at all while
    // held up. True when the call ended.
    bool wait(const std::shared_ptr<Call>& call, Clock::time_point deadline);
    bool heldUp() const;
    // A call runs or waits to run.
    bool busy() const;
    // Waits until no call runs or waits, or the deadline passed: true when
    // idle.
    bool waitIdle(Clock::time_point deadline) const;

private:
    struct Shared;
    static void loop(std::shared_ptr<Shared> shared);
    // Runs the first queued call; the lock is held on entry and on return.
    static void runNext(Shared& shared, std::unique_lock<std::mutex>& guard);

    std::shared_ptr<Shared> mShared;
    std::thread mThread;
};

// One call, shared by its caller and the worker.
class IMidiPortsWorker::Call {
public:
    // The caller no longer waits: work not yet done may be left out.
    bool abandoned() const;
    // Runs publish, which makes the work's outcome visible, unless the
    // caller gave up; then nothing is published, false comes back, and the
    // work undoes what it did.
    bool commit(const std::function<void()>& publish);

private:
    friend class IMidiPortsWorker;
    Work mWork;
    std::weak_ptr<Shared> mShared;
    bool mDone = false, mGivenUp = false;  // under the worker's lock
};
