#pragma once
// X clients that misuse the selection protocol, each on a connection of its
// own: an owner whose answer never ends, comes a byte at a time, lists
// targets without end, or floods the requestor; and a requestor that asks
// for a large selection many times and reads none of it.
//
//   hvtest::HostileSelectionOwner owner(display, {.kind = HostileSelectionOwner::Kind::Drip});
//   ASSERT_TRUE(owner.owns());
//   ... paste, then look at owner.bytesSent() ...
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

typedef struct _XDisplay Display;

namespace hvtest {

class HostileSelectionOwner {
public:
    enum class Kind {
        EndlessIncr,  // data by INCR: a full piece after each piece taken, never the empty end
        Drip,         // data by INCR: one byte a piece, each dripMs after the last was taken
        JunkTargets,  // TARGETS: junkTargets atoms that name nothing
        IncrFlood,    // data by INCR: one-byte pieces sent again and again, taken or not
        EventFlood,   // no answer; ClientMessages to the requestor's window without end
    };
    struct Options {
        Kind kind = Kind::EndlessIncr;
        std::string selection = "CLIPBOARD";
        size_t pieceBytes = 1 << 20;
        int dripMs = 900;
        size_t junkTargets = 1500000;
        // Then it goes silent (still the owner); 0: hostile for its whole life.
        int hostileForMs = 0;
    };
    // Takes the selection from a thread of its own, which serves until the
    // owner is destroyed.
    HostileSelectionOwner(const std::string& display, const Options& options);
    ~HostileSelectionOwner();
    HostileSelectionOwner(const HostileSelectionOwner&) = delete;
    HostileSelectionOwner& operator=(const HostileSelectionOwner&) = delete;

    // True once it holds the selection (waits up to 10 s for that).
    bool owns();
    // Bytes of data written into requestors' properties so far.
    uint64_t bytesSent() const { return sent_; }
    // Still as hostile as it was made (its hostileForMs not over).
    bool stillHostile() const;

private:
    void serve(const std::string& display);

    Options options_;
    std::chrono::steady_clock::time_point silentFrom_;
    std::atomic<int> state_{0};  // 0 starting, 1 owner, -1 failed
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread thread_;
};

// Asks `count` times for a selection as UTF8_STRING, each answer into a
// property of its own, and takes none of the answers (an INCR transfer waits
// for the requestor to delete the property). Works on the caller's thread.
class AbandoningRequestor {
public:
    AbandoningRequestor(const std::string& display, const std::string& selection, int count);
    ~AbandoningRequestor();
    AbandoningRequestor(const AbandoningRequestor&) = delete;
    AbandoningRequestor& operator=(const AbandoningRequestor&) = delete;

    // Waits until every request is answered; the answers that began INCR.
    int incrAnswers(int timeoutMs = 10000);
    // Takes up the given requests' transfers again, in order (each deletes
    // its property), and waits until the last one's next piece comes. For
    // each, whether its owner sent a next piece: the owner answers in order,
    // so one that sent none by then has let the transfer go.
    std::vector<bool> resume(const std::vector<int>& requests, int timeoutMs = 10000);

private:
    Display* dpy_ = nullptr;
    unsigned long window_ = 0;
    std::vector<unsigned long> properties_;
    std::vector<int> answered_;  // 0 not yet, 1 data or refusal, 2 INCR
};

}  // namespace hvtest
