#include "framework/IMidiInputQueue.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace {

uint64_t powerOfTwoAtLeast(uint64_t n) {
    uint64_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

// The bytes a message that starts with this status has, 0 for one that is
// left out.
uint32_t lengthOf(uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0:
            return 2;
        case 0xF0:
            break;
        default:
            return 3;
    }
    switch (status) {
        case 0xF2:
            return 3;
        case 0xF3:
            return 2;
        case 0xF1:  // time code, as timing clock
            return 0;
        default:
            return 1;
    }
}

}  // namespace

IMidiInputQueue::IMidiInputQueue(size_t ringBytes, size_t longestMessage)
    : mSize(powerOfTwoAtLeast(std::max<uint64_t>(ringBytes, longestMessage + kHeader))),
      mMask(mSize - 1),
      mLongest(longestMessage),
      mRing(new uint8_t[mSize]()) {
    // Zeroed, so its pages are there before the real-time side first
    // writes to them.
    sem_init(&mWake, 0, 0);
}

IMidiInputQueue::~IMidiInputQueue() { sem_destroy(&mWake); }

uint64_t IMidiInputQueue::freeBytes() const { return mSize - (mStart - mTail.load(std::memory_order_acquire)); }

void IMidiInputQueue::writeWord(uint64_t at, uint32_t word) {
    for (int i = 0; i < 4; ++i) mRing[(at + i) & mMask] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t IMidiInputQueue::readWord(uint64_t at) const {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word |= uint32_t(mRing[(at + i) & mMask]) << (8 * i);
    return word;
}

void IMidiInputQueue::begin(Part part, uint8_t status, uint32_t tag) {
    mPart = part;
    mStart = mHead.load(std::memory_order_relaxed);
    mLength = 0;
    mExpected = part == Part::kShort ? lengthOf(status) : 0;
    mTag = tag;
    mFree = freeBytes();
    mRoom = mFree >= kHeader;
    put(status);
}

void IMidiInputQueue::put(uint8_t byte) {
    if (mPart == Part::kSysEx && mLength >= mLongest) {
        // Too long for anything the instrument sends: dropped whole, and
        // what follows it up to the next status byte.
        count(mTooLong);
        mPart = Part::kSkip;
        return;
    }
    const uint64_t at = mStart + kHeader + mLength;
    ++mLength;
    if (!mRoom) return;
    // The taker only ever frees more: mTail is read again only when the
    // room last seen is used up.
    if (at + 1 - mStart > mFree && at + 1 - mStart > (mFree = freeBytes())) {
        mRoom = false;
        return;
    }
    mRing[at & mMask] = byte;
}

void IMidiInputQueue::putRun(const uint8_t* bytes, size_t size) {
    if (mPart == Part::kSkip) return;
    if (mLength + size > mLongest) {
        count(mTooLong);
        mPart = Part::kSkip;
        return;
    }
    const uint64_t at = mStart + kHeader + mLength;
    mLength += static_cast<uint32_t>(size);
    if (!mRoom) return;
    const uint64_t end = kHeader + mLength;
    if (end > mFree && end > (mFree = freeBytes())) {
        mRoom = false;
        return;
    }
    const uint64_t from = at & mMask;
    const uint64_t first = std::min<uint64_t>(size, mSize - from);
    std::copy_n(bytes, first, &mRing[from]);
    std::copy_n(bytes + first, size - first, &mRing[0]);
}

void IMidiInputQueue::commit() {
    const bool sysex = mPart == Part::kSysEx;
    mPart = Part::kNone;
    // Time code is left out, as timing clock is.
    if (mExpected == 0 && !sysex) return;
    if (!mRoom) {
        if (sysex) ++mFullSysEx;
        count(mFull);
        return;
    }
    writeWord(mStart, mLength);
    writeWord(mStart + 4, mTag);
    // Sequentially consistent with mSleeping: either the taker sees the
    // message before it sleeps, or this sees it asleep and wakes it.
    mHead.store(mStart + kHeader + mLength, std::memory_order_seq_cst);
    mQueued = true;
}

void IMidiInputQueue::feed(const uint8_t* bytes, size_t size, uint32_t tag) {
    if (!bytes || size == 0) return;
    if (mFeeding.test_and_set(std::memory_order_acquire)) {
        ++mOverlap;
        return;
    }
    if (!mStreamStarted || tag != mTag) {
        // What the last port left unfinished is no message of this one.
        mPart = Part::kNone;
        mRunning = 0;
        mTag = tag;
        mStreamStarted = true;
    }
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 0xF8) {
            // Real-time bytes may fall inside another message; the editor
            // takes none of them (clock and sensing are not even wanted),
            // so those inside one are dropped rather than reordered.
            if (b == 0xF8 || b == 0xFE || mPart == Part::kShort || mPart == Part::kSysEx) continue;
            const Part was = mPart;
            begin(Part::kShort, b, tag);
            commit();
            mPart = was;
            continue;
        }
        if (b < 0x80) {
            if (mPart == Part::kSysEx || mPart == Part::kSkip) {
                // A SysEx message's data come in runs of thousands.
                size_t end = i + 1;
                while (end < size && bytes[end] < 0x80) ++end;
                putRun(bytes + i, end - i);
                i = end - 1;
                continue;
            }
            if (mPart == Part::kNone) {
                if (!mRunning) continue;  // no status to go with
                begin(Part::kShort, mRunning, tag);
            }
            put(b);
            if (mLength >= mExpected) commit();
            continue;
        }
        // A status byte ends whatever was under way.
        if (mPart == Part::kSysEx && b == 0xF7) {
            put(b);
            if (mPart == Part::kSysEx) commit();
            mPart = Part::kNone;
            mRunning = 0;
            continue;
        }
        if (mPart == Part::kSysEx) count(mCutShort);
        mPart = Part::kNone;
        mRunning = b < 0xF0 ? b : 0;
        if (b == 0xF7) continue;  // the end of a SysEx dropped, or of none
        if (b == 0xF0) {
            begin(Part::kSysEx, b, tag);
            continue;
        }
        begin(Part::kShort, b, tag);
        if (mLength >= mExpected) commit();
    }
    mFeeding.clear(std::memory_order_release);
}

void IMidiInputQueue::lose(uint32_t tag, uint64_t events) {
    if (mFeeding.test_and_set(std::memory_order_acquire)) {
        mLost += events;
        return;
    }
    count(mLost, events);
    // The data bytes that come next may be those of a status byte lost.
    mPart = Part::kSkip;
    mRunning = 0;
    mTag = tag;
    mStreamStarted = true;
    mFeeding.clear(std::memory_order_release);
}

void IMidiInputQueue::count(std::atomic<uint64_t>& counter, uint64_t n) {
    counter += n;
    // Told within a second, however long the stream goes on without a
    // message (a SysEx that never ends).
    mQueued = true;
}

bool IMidiInputQueue::dropsUntold() const { return mFull || mTooLong || mCutShort || mOverlap || mLost; }

bool IMidiInputQueue::take(std::vector<uint8_t>& message, uint32_t& tag) {
    const uint64_t tail = mTail.load(std::memory_order_relaxed);
    if (tail == mHead.load(std::memory_order_acquire)) return false;
    const uint32_t length = readWord(tail);
    tag = readWord(tail + 4);
    message.resize(length);
    const uint64_t from = (tail + kHeader) & mMask;
    const uint64_t first = std::min<uint64_t>(length, mSize - from);
    std::copy_n(&mRing[from], first, message.data());
    std::copy_n(&mRing[0], length - first, message.data() + first);
    mTail.store(tail + kHeader + length, std::memory_order_release);
    return true;
}

void IMidiInputQueue::wait(Clock::time_point deadline) {
    mSleeping.store(true, std::memory_order_seq_cst);
    if (mHead.load(std::memory_order_seq_cst) != mTail.load(std::memory_order_relaxed) || dropsUntold()) {
        mSleeping.store(false);
        return;
    }
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() + until.tv_nsec;
    until.tv_sec += static_cast<time_t>(ns / 1000000000);
    until.tv_nsec = static_cast<long>(ns % 1000000000);
    while (sem_clockwait(&mWake, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {}
    mSleeping.store(false);
}

void IMidiInputQueue::wakeTaker() {
    if (!mQueued) return;
    mQueued = false;
    if (mSleeping.load(std::memory_order_seq_cst) && mSleeping.exchange(false)) sem_post(&mWake);
}

void IMidiInputQueue::wake() { sem_post(&mWake); }

IMidiInputQueue::Dropped IMidiInputQueue::takeDropped() {
    Dropped d;
    d.full = mFull.exchange(0);
    d.fullSysEx = mFullSysEx.exchange(0);
    d.tooLong = mTooLong.exchange(0);
    d.cutShort = mCutShort.exchange(0);
    d.overlap = mOverlap.exchange(0);
    d.lost = mLost.exchange(0);
    return d;
}

void IMidiInputQueue::noteFeedCall(uint64_t nanoseconds) {
    mCalls.fetch_add(1, std::memory_order_relaxed);
    int bucket = 0;
    while (bucket < 31 && (uint64_t(1) << bucket) <= nanoseconds) ++bucket;
    mCallsUnder[bucket].fetch_add(1, std::memory_order_relaxed);
    uint64_t longest = mLongestCallNs.load(std::memory_order_relaxed);
    while (nanoseconds > longest && !mLongestCallNs.compare_exchange_weak(longest, nanoseconds)) {}
}

IMidiInputQueue::Figures IMidiInputQueue::figures() const {
    Figures f;
    f.calls = mCalls.load();
    f.longestNs = mLongestCallNs.load();
    for (int i = 0; i < 32; ++i) f.underPowerOfTwoNs[i] = mCallsUnder[i].load();
    return f;
}
