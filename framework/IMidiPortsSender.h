#pragma once
// Messages for the output port leave whoever sends them (the panel, the
// clock, the render thread, transfer jobs) through a bounded queue, which a
// thread of its own drains into the port in order. A MIDI system that stops
// answering holds that thread alone: the queue fills up to its bound, and
// later messages are refused until it drains.
//
// The port belongs to the MIDI worker, which hands it over once it is open
// and takes it back before closing it. While a port is being chosen,
// messages wait for it; they are dropped when it does not open.
//
// A thread that holds a Ticket marks the messages it queues: a request that
// is given up takes back what of it still waits, and learns what left.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class IMidiPortsSender {
public:
    using Clock = std::chrono::steady_clock;
    using Message = std::vector<uint8_t>;
    // One message into the port; may block while the system does not answer.
    using Port = std::function<void(const Message&)>;
    enum class Sent { kQueued, kNoPort, kFull };
    class Ticket;

    // The bound: messages, and bytes (one larger message still goes alone).
    static constexpr size_t kMaxMessages = 4096;
    static constexpr size_t kMaxBytes = 1 << 20;

    IMidiPortsSender();
    // Joins the thread, or leaves it to end by itself while a send holds it.
    ~IMidiPortsSender();
    IMidiPortsSender(const IMidiPortsSender&) = delete;
    IMidiPortsSender& operator=(const IMidiPortsSender&) = delete;

    // Any thread; never waits on the port. The message carries the calling
    // thread's ticket, if it holds one.
    Sent send(const uint8_t* bytes, size_t size);
    bool open() const;
    // A send into the port is under way.
    bool sending() const;

    // ---- The MIDI side.
    // A new choice: a port is being opened (messages wait for it) or none
    // is (messages are refused). What waited is dropped. Returns the
    // choice's number.
    unsigned choose(bool opening);
    bool latest(unsigned choice) const;
    // The port that choice opened; false when a later choice came first.
    bool deliverTo(unsigned choice, Port port);
    // That choice opened nothing: what waited for it is dropped.
    void failed(unsigned choice);
    // Nothing more goes into the port. True once no send into it is under
    // way; false when one still was at the deadline.
    bool release(Clock::time_point deadline);

private:
    struct Shared;
    struct Item;
    static void loop(std::shared_ptr<Shared> shared);
    // Tells the tickets of dropped messages, once no lock is held.
    static void settleAll(const std::deque<std::shared_ptr<Ticket>>& tickets);

    std::shared_ptr<Shared> mShared;
};

// Marks the messages of one piece of work, whichever sender queues them.
class IMidiPortsSender::Ticket : public std::enable_shared_from_this<Ticket> {
public:
    // Both run on the sender's thread (or the MIDI side's, for a drop) with
    // none of the sender's locks held but the ticket's own: `leaving` just
    // before a message of the ticket goes into the port (from then on it
    // cannot be taken back), `settled` once one has left or was dropped.
    struct Hooks {
        std::function<void(const Message&)> leaving;
        std::function<void()> settled;
    };
    static std::shared_ptr<Ticket> make(Hooks hooks);

    // What of the ticket still waits is dropped instead of sent; no hook
    // runs once this returned.
    void withdraw();
    // None of its messages waits or is being sent.
    bool settled() const;

    // Marks the calling thread's sends with the ticket while it lives.
    class Hold {
    public:
        explicit Hold(std::shared_ptr<Ticket> ticket);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        std::shared_ptr<Ticket> mTicket;
        Ticket* mOuter;
    };

    explicit Ticket(Hooks hooks);

private:
    friend class IMidiPortsSender;
    static Ticket* current();
    void queued();
    // False when the ticket was withdrawn; else `leaving` has run.
    bool claim(const Message& message);
    void settle();

    const Hooks mHooks;
    // Guards mWithdrawn and orders each `leaving` before a withdraw returns.
    std::mutex mLock;
    bool mWithdrawn = false;
    // Messages queued and not yet left or dropped.
    std::atomic<int> mWaiting{0};
};
