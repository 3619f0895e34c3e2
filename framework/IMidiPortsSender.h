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
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IMidiPortsSender {
public:
    using Clock = std::chrono::steady_clock;
    using Message = std::vector<uint8_t>;
    // One message into the port; may block while the system does not answer.
    using Port = std::function<void(const Message&)>;
    enum class Sent { kQueued, kNoPort, kFull };

    // The bound: messages, and bytes (one larger message still goes alone).
    static constexpr size_t kMaxMessages = 4096;
    static constexpr size_t kMaxBytes = 1 << 20;

    IMidiPortsSender();
    // Joins the thread, or leaves it to end by itself while a send holds it.
    ~IMidiPortsSender();
    IMidiPortsSender(const IMidiPortsSender&) = delete;
    IMidiPortsSender& operator=(const IMidiPortsSender&) = delete;

    // Any thread; never waits on the port.
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
    static void loop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> mShared;
};
