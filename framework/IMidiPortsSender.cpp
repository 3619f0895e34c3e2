#include "framework/IMidiPortsSender.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

struct IMidiPortsSender::Item {
    Message message;
    std::shared_ptr<Ticket> ticket;
};

namespace {

using Tickets = std::deque<std::shared_ptr<IMidiPortsSender::Ticket>>;

}  // namespace

struct IMidiPortsSender::Shared {
    // Guards everything below. A leaf: nothing else is locked, and the port
    // and the tickets' hooks are never called, while it is held.
    std::mutex lock;
    std::condition_variable wake, idle;
    std::deque<Item> queue;
    size_t bytes = 0;
    enum class State { kNone, kOpening, kOpen } state = State::kNone;
    unsigned choice = 0;
    Port port;
    bool sending = false;
    bool stop = false;
    std::thread thread;  // started with the first port

    // Empties the queue; the tickets of what it held are the caller's to
    // settle once the lock is let go.
    Tickets drop() {
        Tickets tickets;
        for (Item& item : queue)
            if (item.ticket) tickets.push_back(std::move(item.ticket));
        queue.clear();
        bytes = 0;
        return tickets;
    }
};

void IMidiPortsSender::settleAll(const std::deque<std::shared_ptr<Ticket>>& tickets) {
    for (const auto& ticket : tickets) ticket->settle();
}

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
        Item item = std::move(s->queue.front());
        s->queue.pop_front();
        s->bytes -= item.message.size();
        // Replaced or released meanwhile, the port stays valid until this
        // send ended: release() waits for it.
        Port port = s->port;
        s->sending = true;
        guard.unlock();
        if (!item.ticket || item.ticket->claim(item.message)) port(item.message);
        if (item.ticket) item.ticket->settle();
        guard.lock();
        s->sending = false;
        s->idle.notify_all();
    }
}

IMidiPortsSender::Sent IMidiPortsSender::send(const uint8_t* bytes, size_t size) {
    Ticket* ticket = Ticket::current();
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        Shared& s = *mShared;
        if (s.state == Shared::State::kNone) return Sent::kNoPort;
        // A clock tick that cannot leave now would only rush the beat later.
        if (s.state == Shared::State::kOpening && size == 1 && bytes[0] == 0xF8) return Sent::kNoPort;
        if (!s.queue.empty() && (s.queue.size() >= kMaxMessages || s.bytes + size > kMaxBytes)) return Sent::kFull;
        s.queue.push_back(Item{Message(bytes, bytes + size), ticket ? ticket->shared_from_this() : nullptr});
        s.bytes += size;
        if (ticket) ticket->queued();
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
    Tickets dropped;
    unsigned choice;
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        mShared->state = opening ? Shared::State::kOpening : Shared::State::kNone;
        mShared->port = nullptr;
        dropped = mShared->drop();
        choice = ++mShared->choice;
    }
    settleAll(dropped);
    return choice;
}

bool IMidiPortsSender::latest(unsigned choice) const {
    std::lock_guard<std::mutex> guard(mShared->lock);
    return choice == mShared->choice;
}

bool IMidiPortsSender::deliverTo(unsigned choice, Port port) {
    Tickets dropped;
    bool started = true;
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        Shared& s = *mShared;
        if (choice != s.choice || s.stop) return false;
        if (!s.thread.joinable()) {
            try {
                s.thread = std::thread(loop, mShared);
            } catch (const std::system_error&) {
                s.state = Shared::State::kNone;
                dropped = s.drop();
                started = false;
            }
        }
        if (started) {
            s.port = std::move(port);
            s.state = Shared::State::kOpen;
        }
    }
    settleAll(dropped);
    if (started) mShared->wake.notify_one();
    return started;
}

void IMidiPortsSender::failed(unsigned choice) {
    Tickets dropped;
    {
        std::lock_guard<std::mutex> guard(mShared->lock);
        if (choice != mShared->choice || mShared->state != Shared::State::kOpening) return;
        mShared->state = Shared::State::kNone;
        dropped = mShared->drop();
    }
    settleAll(dropped);
}

bool IMidiPortsSender::release(Clock::time_point deadline) {
    Tickets dropped;
    bool idle;
    {
        std::unique_lock<std::mutex> guard(mShared->lock);
        Shared& s = *mShared;
        s.port = nullptr;
        // A port being chosen meanwhile keeps its waiting messages.
        if (s.state == Shared::State::kOpen) {
            s.state = Shared::State::kNone;
            dropped = s.drop();
        }
        idle = s.idle.wait_until(guard, deadline, [&] { return !s.sending; });
    }
    settleAll(dropped);
    return idle;
}

// ---- Tickets

namespace {

// The ticket the calling thread's sends carry, held by a Hold.
thread_local IMidiPortsSender::Ticket* tTicket = nullptr;

}  // namespace

IMidiPortsSender::Ticket::Ticket(Hooks hooks) : mHooks(std::move(hooks)) {}

std::shared_ptr<IMidiPortsSender::Ticket> IMidiPortsSender::Ticket::make(Hooks hooks) {
    return std::make_shared<Ticket>(std::move(hooks));
}

IMidiPortsSender::Ticket* IMidiPortsSender::Ticket::current() { return tTicket; }

void IMidiPortsSender::Ticket::withdraw() {
    std::lock_guard<std::mutex> guard(mLock);
    mWithdrawn = true;
}

bool IMidiPortsSender::Ticket::settled() const { return mWaiting.load() == 0; }

void IMidiPortsSender::Ticket::queued() { ++mWaiting; }

bool IMidiPortsSender::Ticket::claim(const Message& message) {
    std::lock_guard<std::mutex> guard(mLock);
    if (mWithdrawn) return false;
    if (mHooks.leaving) mHooks.leaving(message);
    return true;
}

void IMidiPortsSender::Ticket::settle() {
    std::lock_guard<std::mutex> guard(mLock);
    --mWaiting;
    if (!mWithdrawn && mHooks.settled) mHooks.settled();
}

IMidiPortsSender::Ticket::Hold::Hold(std::shared_ptr<Ticket> ticket) : mTicket(std::move(ticket)), mOuter(tTicket) {
    tTicket = mTicket.get();
}

IMidiPortsSender::Ticket::Hold::~Hold() { tTicket = mOuter; }
