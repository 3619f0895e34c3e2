#include "framework/IMidiQueue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int roundUpToGranule(int n) {
    if (n <= 0) return IMidiQueue::kGranule;
    return ((n + IMidiQueue::kGranule - 1) / IMidiQueue::kGranule) * IMidiQueue::kGranule;
}

}  // namespace

IMidiQueue::IMidiQueue(int capacity) { Reallocate(roundUpToGranule(capacity)); }

IMidiQueue::~IMidiQueue() { std::free(mBuf); }

bool IMidiQueue::Reallocate(int capacity) {
    void* p = std::realloc(mBuf, sizeof(IMidiMsg) * static_cast<size_t>(capacity));
    if (!p) return false;
    mBuf = static_cast<IMidiMsg*>(p);
    mSize = capacity;
    return true;
}

void IMidiQueue::CompactLocked() {
    if (mFront <= 0) return;
    int n = mBack - mFront;
    if (n > 0) memmove(mBuf, mBuf + mFront, sizeof(IMidiMsg) * static_cast<size_t>(n));
    mFront = 0;
    mBack = n;
}

bool IMidiQueue::Add(const IMidiMsg* m) {
    if (!m) return false;
    std::lock_guard<std::mutex> lock(mMutex);
    if (mBack >= mSize) {
        if (mFront > 0)
            CompactLocked();
        else if (!Reallocate(mSize + mGrow))
            return false;
    }
    int i = mBack;
    while (i > mFront && mBuf[i - 1].mOffset > m->mOffset) --i;
    if (i < mBack) memmove(mBuf + i + 1, mBuf + i, sizeof(IMidiMsg) * static_cast<size_t>(mBack - i));
    mBuf[i] = *m;
    ++mBack;
    return true;
}

int IMidiQueue::ToDo() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mBack - mFront;
}

bool IMidiQueue::Peek(IMidiMsg* out) const {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mFront >= mBack) return false;
    if (out) *out = mBuf[mFront];
    return true;
}

void IMidiQueue::Remove() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mFront < mBack) ++mFront;
}

bool IMidiQueue::PopDue(int sample, IMidiMsg* out) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mFront >= mBack || mBuf[mFront].mOffset > sample) return false;
    if (out) *out = mBuf[mFront];
    ++mFront;
    return true;
}

void IMidiQueue::Compact() {
    std::lock_guard<std::mutex> lock(mMutex);
    CompactLocked();
}

void IMidiQueue::Flush(int nFrames) {
    std::lock_guard<std::mutex> lock(mMutex);
    CompactLocked();
    for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= nFrames;
}

void IMidiQueue::Resize(int nFrames) {
    std::lock_guard<std::mutex> lock(mMutex);
    CompactLocked();
    mGrow = roundUpToGranule(nFrames);
    int wanted = mGrow;
    if (mBack > wanted) wanted = roundUpToGranule(mBack);
    if (wanted != mSize) Reallocate(wanted);
}

void IMidiQueue::Clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    mFront = mBack = 0;
}

int IMidiQueue::GetSize() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mSize;
}

int IMidiQueue::GetGrowthStep() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mGrow;
}

int IMidiQueue::GetFront() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFront;
}
