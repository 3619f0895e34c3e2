#include "framework/IMidiPortsWorker.h"

#include <system_error>
#include <utility>

struct IMidiPortsWorker::Shared {
    // Never held while a call runs; Call::commit publishes under it, so it
    // comes before the MIDI ports' own locks.
    std::mutex lock;
    std::condition_variable queued, ended;
    std::deque<std::shared_ptr<Call>> queue;
    bool running = false;
    bool heldUp = false;
    bool stop = false;
    std::function<void()> onHeldUp, onFreed;
};

IMidiPortsWorker::IMidiPortsWorker(std::function<void()> onHeldUp, std::function<void()> onFreed)
    : mShared(std::make_shared<Shared>()) {
    mShared->onHeldUp = std::move(onHeldUp);
    mShared->onFreed = std::move(onFreed);
}

IMidiPortsWorker::~IMidiPortsWorker() {
    bool idle;
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        mShared->stop = true;
        mShared->onHeldUp = nullptr;
        mShared->onFreed = nullptr;
        idle = !mShared->running && mShared->queue.empty();
    }
    mShared->queued.notify_all();
    // Started under the lock taken above.
    if (!mThread.joinable()) return;
    // The last owner may let go on the worker's own thread, at the end of
    // its last call.
    if (idle && mThread.get_id() != std::this_thread::get_id())
        mThread.join();
    else
        mThread.detach();
}

void IMidiPortsWorker::loop(std::shared_ptr<Shared> s) {
    std::unique_lock<std::mutex> guard(s->lock);
    for (;;) {
        s->queued.wait(guard, [&] { return s->stop || !s->queue.empty(); });
        if (s->queue.empty()) return;
        runNext(*s, guard);
    }
}

void IMidiPortsWorker::runNext(Shared& s, std::unique_lock<std::mutex>& guard) {
    std::shared_ptr<Call> call = std::move(s.queue.front());
    s.queue.pop_front();
    s.running = true;
    Work work = std::move(call->mWork);
    guard.unlock();
    work(*call);
    guard.lock();
    call->mDone = true;
    const bool freed = std::exchange(s.heldUp, false);
    std::function<void()> onFreed = freed ? s.onFreed : nullptr;
    guard.unlock();
    s.ended.notify_all();
    if (onFreed) onFreed();
    // The work may hold the last reference to what owns this worker, which
    // then lets go of it here: the worker counts as running until then.
    work = nullptr;
    call.reset();
    guard.lock();
    s.running = false;
    s.ended.notify_all();  // for waitIdle
}

std::shared_ptr<IMidiPortsWorker::Call> IMidiPortsWorker::post(Work work) {
    auto call = std::make_shared<Call>();
    call->mWork = std::move(work);
    call->mShared = mShared;
    std::unique_lock<std::mutex> guard(mShared->lock);
    mShared->queue.push_back(call);
    // The thread starts with the first call.
    if (!mThread.joinable()) {
        try {
            mThread = std::thread(loop, mShared);
        } catch (const std::system_error&) {
            // No thread to spare: the caller runs what is queued itself.
            while (!mShared->queue.empty() && !mShared->running) runNext(*mShared, guard);
            return call;
        }
    }
    guard.unlock();
    mShared->queued.notify_one();
    return call;
}

bool IMidiPortsWorker::wait(const std::shared_ptr<Call>& call, Clock::time_point deadline) {
    std::function<void()> onHeldUp;
    {
        std::unique_lock<std::mutex> guard(mShared->lock);
        if (!mShared->heldUp) mShared->ended.wait_until(guard, deadline, [&] { return call->mDone; });
        if (call->mDone) return true;
        call->mGivenUp = true;
        if (!std::exchange(mShared->heldUp, true)) onHeldUp = mShared->onHeldUp;
    }
    if (onHeldUp) onHeldUp();
    return false;
}

bool IMidiPortsWorker::heldUp() const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return mShared->heldUp;
}

bool IMidiPortsWorker::busy() const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return mShared->running || !mShared->queue.empty();
}

bool IMidiPortsWorker::waitIdle(Clock::time_point deadline) const {
    std::unique_lock<std::mutex> guard(mShared->lock);
    return mShared->ended.wait_until(guard, deadline, [&] { return !mShared->running && mShared->queue.empty(); });
}

bool IMidiPortsWorker::Call::abandoned() const {
    std::shared_ptr<Shared> s = mShared.lock();
    if (!s) return true;
    std::lock_guard<std::mutex> guard(s->lock);
    return mGivenUp;
}

bool IMidiPortsWorker::Call::commit(const std::function<void()>& publish) {
    std::shared_ptr<Shared> s = mShared.lock();
    if (!s) return false;
    std::lock_guard<std::mutex> guard(s->lock);
    if (mGivenUp) return false;
    publish();
    return true;
}
