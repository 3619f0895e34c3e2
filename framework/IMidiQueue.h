#pragma once
// Timed outgoing short messages that the audio callback sends at their
// sample offsets. Threads that change parameters fill it while the render
// thread empties it, so every operation takes the queue's own lock; the
// order and offsets are those of an unlocked queue.
#include <mutex>

#include "framework/IUnitStructs.h"

class IMidiQueue {
public:
    // Capacity and growth step move in whole pages of 512 entries
    // (4096 bytes of 8-byte entries).
    static constexpr int kGranule = 512;

    explicit IMidiQueue(int capacity = kGranule);
    ~IMidiQueue();
    IMidiQueue(const IMidiQueue&) = delete;
    IMidiQueue& operator=(const IMidiQueue&) = delete;

    // Inserts m after the waiting entries whose offset is the same or
    // smaller. When the buffer is full, the waiting entries move to the
    // front first, or, when none was sent, the buffer grows by the step.
    // False only when no memory could be had (the message is dropped).
    bool Add(const IMidiMsg* m);

    // Entries waiting (not yet sent).
    int ToDo() const;
    bool Empty() const { return ToDo() == 0; }
    // Copies the first waiting entry; false when none waits.
    bool Peek(IMidiMsg* out) const;
    // Marks the first waiting entry as sent.
    void Remove();
    // Peek and Remove in one step, only when the first waiting entry's
    // offset is at most `sample`. The render flush calls this per sample.
    bool PopDue(int sample, IMidiMsg* out);

    // Moves the waiting entries to the start of the buffer.
    void Compact();
    // End of a block: Compact, then make the offsets relative to the next
    // block by subtracting nFrames.
    void Flush(int nFrames);
    // Sizes the queue for a block of nFrames: the step becomes nFrames
    // rounded up to 512 and the capacity that step, or more when more
    // entries wait. On allocation failure the old buffer stays.
    void Resize(int nFrames);
    void Clear();

    int GetSize() const;        // capacity in entries
    int GetGrowthStep() const;  // entries
    int GetFront() const;

private:
    void CompactLocked();
    bool Reallocate(int capacity);

    mutable std::mutex mMutex;
    IMidiMsg* mBuf = nullptr;
    int mSize = 0;
    int mGrow = kGranule;
    int mFront = 0;
    int mBack = 0;
};
