#pragma once
// What the MIDI input port receives, on its way from the MIDI system's
// real-time thread to the thread that handles it. The real-time side feeds
// the bytes as they came, cut anywhere; they are put together into whole
// messages straight in a ring of fixed size, with no lock, no allocation and
// no wait, and the handling side is woken. Nothing grows with the input:
//   - a message that finds the ring full is dropped whole and counted;
//   - a SysEx message longer than the longest kept is dropped whole and
//     counted, and the bytes up to the next status byte with it;
//   - a SysEx message that another status byte cuts short is dropped whole;
//   - where the feeder could not read an event, the message under way is
//     dropped whole, and the data bytes up to the next status byte.
// Timing clock (F8), MIDI time code (F1) and active sensing (FE) are left
// out; running status is understood.
//
// One thread feeds at a time (a second one that comes meanwhile has its
// bytes dropped and counted) and one thread takes.
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IMidiInputQueue {
public:
    using Clock = std::chrono::steady_clock;
    // The longest message kept: the instrument's longest (a whole bank with
    // its extra data) with room to spare.
    static constexpr size_t kLongestMessage = 64 * 1024;
    // Bytes the ring holds: a few of the longest messages, or tens of
    // thousands of short ones.
    static constexpr size_t kRingBytes = 256 * 1024;

    // ringBytes is rounded up to a power of two.
    explicit IMidiInputQueue(size_t ringBytes = kRingBytes, size_t longestMessage = kLongestMessage);
    ~IMidiInputQueue();
    IMidiInputQueue(const IMidiInputQueue&) = delete;
    IMidiInputQueue& operator=(const IMidiInputQueue&) = delete;

    // ---- The feeding side: real-time safe.
    // Bytes of the input stream, the messages they complete queued under
    // `tag`. A new tag starts a new stream: a message under way is dropped
    // (the port it came from is gone).
    void feed(const uint8_t* bytes, size_t size, uint32_t tag);
    // Events of the stream that could not be read, counted: the message
    // they cut into is dropped whole, and the data bytes up to the next
    // status byte.
    void lose(uint32_t tag, uint64_t events);
    // Wakes the taking side when it sleeps and something was queued or
    // dropped: once, at the end of a batch of feeds (a process cycle's
    // events), as the thread it wakes may run at once on this one's
    // processor.
    void wakeTaker();

    // ---- The taking side.
    // The next whole message and its tag; false when none waits. `message`
    // keeps its capacity, so taking allocates only for the first long one.
    bool take(std::vector<uint8_t>& message, uint32_t& tag);
    // Waits until a message is queued or a drop counted, wake() is called
    // or the deadline passes.
    void wait(Clock::time_point deadline);
    // Ends a wait, from any thread.
    void wake();

    // What was dropped since the last call.
    struct Dropped {
        uint64_t full = 0;       // messages that found the ring full
        uint64_t fullSysEx = 0;  // of those, SysEx
        uint64_t tooLong = 0;    // SysEx longer than the longest kept
        uint64_t cutShort = 0;   // SysEx cut short by another status byte
        uint64_t overlap = 0;    // feeds that came while another fed
        uint64_t lost = 0;       // events the feeder could not read
        bool any() const { return full || tooLong || cutShort || overlap || lost; }
    };
    Dropped takeDropped();
    size_t longestMessage() const { return mLongest; }

    // How long the feeding side's calls (a process cycle's events, one
    // callback's message) took, counted by the feeders themselves.
    void noteFeedCall(uint64_t nanoseconds);
    struct Figures {
        uint64_t calls = 0;
        uint64_t longestNs = 0;
        // Calls by how long they took: [i] counts those under 2^i ns.
        uint64_t underPowerOfTwoNs[32] = {};
    };
    Figures figures() const;

private:
    static constexpr uint32_t kHeader = 8;  // length, tag
    // The message under way and where it goes.
    enum class Part { kNone, kShort, kSysEx, kSkip };
    void begin(Part part, uint8_t status, uint32_t tag);
    void put(uint8_t byte);
    // A run of a SysEx message's data bytes at once.
    void putRun(const uint8_t* bytes, size_t size);
    void commit();
    void drop();
    // Counts a drop for the taker to tell.
    void count(std::atomic<uint64_t>& counter, uint64_t n = 1);
    bool dropsUntold() const;
    void writeWord(uint64_t at, uint32_t word);
    uint32_t readWord(uint64_t at) const;
    uint64_t freeBytes() const;

    const uint64_t mSize, mMask;
    const size_t mLongest;
    std::unique_ptr<uint8_t[]> mRing;
    // mHead: the end of what the feeder published; mTail: the end of what
    // the taker took. Each is written by its side alone.
    std::atomic<uint64_t> mHead{0}, mTail{0};
    std::atomic_flag mFeeding = ATOMIC_FLAG_INIT;

    // ---- The feeder's own.
    Part mPart = Part::kNone;
    uint64_t mStart = 0;  // where the message under way starts (its header)
    uint32_t mLength = 0, mExpected = 0, mTag = 0;
    bool mRoom = true;     // the message under way fits so far
    uint64_t mFree = 0;    // bytes free from mStart, as last read of mTail
    uint8_t mRunning = 0;  // running status, 0 for none
    bool mStreamStarted = false;
    bool mQueued = false;  // or a drop counted, since the last wakeTaker

    // ---- Counts, fed side to taking side.
    std::atomic<uint64_t> mFull{0}, mFullSysEx{0}, mTooLong{0}, mCutShort{0}, mOverlap{0}, mLost{0};
    std::atomic<uint64_t> mCalls{0}, mLongestCallNs{0};
    std::atomic<uint64_t> mCallsUnder[32] = {};

    // The taker sleeps on mWake after saying so in mSleeping; the feeder
    // posts only then (sem_post is safe from a real-time thread).
    sem_t mWake;
    std::atomic<bool> mSleeping{false};
};
