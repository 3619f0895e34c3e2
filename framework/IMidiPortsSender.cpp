#include "framework/IMidiPortsSender.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

struct IMidiPortsSender::Shared {
    // Guards everything below. A leaf: nothing else is locked, and the port
    // is never called, while it is held.
    std::mutex lock;
    std::condition_variable wake, idle;
    std::deque<Message> queue;
    size_t bytes = 0;
    enum class State { kNone, kOpening, kOpen } state = State::kNone;
    unsigned choice = 0;
    Port port;
    bool sending = false;
    bool stop = false;
    std::thread thread;  // started with the first port

    void drop() {
        queue.clear();
        bytes = 0;
    }
};

IMidiPortsSender::IMidiPortsSender() : mShared(std::make_shared<Shared>()) {}

IMidiPortsSender::~IMidiPortsSender() {
    std::thread thread;
    bool inside;
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        mShared->stop = true;
        inside = mShared->sending;
        thread = std::move(mShared->thread);
    }
    mShared->wake.notify_all();
    if (!thread.joinable()) return;
    if (inside)
        thread.detach();
    else
        thread.join();
}

void IMidiPortsSender::loop(std::shared_ptr<Shared> s) {
    std::unique_lock<std::mutex> guard(s->lock);
    for (;;) {
        s->wake.wait(guard, [&] { return s->stop || (s->state == Shared::State::kOpen && !s->queue.empty()); });
        if (s->stop) return;
        Message message = std::move(s->queue.front());
        s->queue.pop_front();
        s->bytes -= message.size();
        // Replaced or released meanwhile, the port stays valid until this
        // send ended: release() waits for it.
        Port port = s->port;
        s->sending = true;
        guard.unlock();
        port(message);
        guard.lock();
        s->sending = false;
        s->idle.notify_all();
    }
}

IMidiPortsSender::Sent IMidiPortsSender::send(const uint8_t* bytes, size_t size) {
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        Shared& s = *mShared;
        if (s.state == Shared::State::kNone) return Sent::kNoPort;
        // A clock tick that cannot leave now would only rush the beat later.
        if (s.state == Shared::State::kOpening && size == 1 && bytes[0] == 0xF8) return Sent::kNoPort;
        if (!s.queue.empty() && (s.queue.size() >= kMaxMessages || s.bytes + size > kMaxBytes)) return Sent::kFull;
        s.queue.emplace_back(bytes, bytes + size);
        s.bytes += size;
    }
    mShared->wake.notify_one();
    return Sent::kQueued;
}

bool IMidiPortsSender::open() const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return mShared->state == Shared::State::kOpen;
}

bool IMidiPortsSender::sending() const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return mShared->sending;
}

unsigned IMidiPortsSender::choose(bool opening) {
    std::lock_guard<std::mutex> guard(mShared->lock);
    mShared->state = opening ? Shared::State::kOpening : Shared::State::kNone;
    mShared->port = nullptr;
    mShared->drop();
    return ++mShared->choice;
}

bool IMidiPortsSender::latest(unsigned choice) const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return choice == mShared->choice;
}

bool IMidiPortsSender::deliverTo(unsigned choice, Port port) {
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        Shared& s = *mShared;
        if (choice != s.choice || s.stop) return false;
        if (!s.thread.joinable()) {
            try {
                s.thread = std::thread(loop, mShared);
            } catch (const std::system_error&) {
                s.state = Shared::State::kNone;
                s.drop();
                return false;
            }
        }
        s.port = std::move(port);
        s.state = Shared::State::kOpen;
    }
    mShared->wake.notify_one();
    return true;
}

void IMidiPortsSender::failed(unsigned choice) {
    std::lock_guard<std::mutex> guard(mShared->lock);
    if (choice != mShared->choice || mShared->state != Shared::State::kOpening) return;
    mShared->state = Shared::State::kNone;
    mShared->drop();
}

bool IMidiPortsSender::release(Clock::time_point deadline) {
    std::unique_lock<std::mutex> guard(mShared->lock);
    Shared& s = *mShared;
    s.port = nullptr;
    // A port being chosen meanwhile keeps its waiting messages.
    if (s.state == Shared::State::kOpen) {
        s.state = Shared::State::kNone;
        s.drop();
    }
    return s.idle.wait_until(guard, deadline, [&] { return !s.sending; });
}
