#include "base/BASE_HeapBuf.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
std::atomic<base_testing::ReallocFn> g_realloc{nullptr};
std::atomic<base_testing::MallocFn> g_malloc{nullptr};

void* doRealloc(void* p, size_t n) {
    auto fn = g_realloc.load(std::memory_order_relaxed);
    return fn ? fn(p, n) : std::realloc(p, n);
}
void* doMalloc(size_t n) {
    auto fn = g_malloc.load(std::memory_order_relaxed);
    return fn ? fn(n) : std::malloc(n);
}
}  // namespace

void base_testing::SetHeapBufAllocator(ReallocFn reallocFn, MallocFn mallocFn) {
    g_realloc.store(reallocFn);
    g_malloc.store(mallocFn);
}

BASE_HeapBuf::BASE_HeapBuf(int granularity) : granul_(granularity < 0 ? 0 : granularity) {}

BASE_HeapBuf::BASE_HeapBuf(const BASE_HeapBuf& other) : granul_(other.granul_), minAlloc_(other.minAlloc_) {
    if (other.size_ && ResizeOK(other.size_, false)) std::memcpy(buf_, other.buf_, size_t(size_));
}

BASE_HeapBuf& BASE_HeapBuf::operator=(const BASE_HeapBuf& other) {
    if (this != &other) {
        BASE_HeapBuf copy(other);
        *this = std::move(copy);
    }
    return *this;
}

BASE_HeapBuf::BASE_HeapBuf(BASE_HeapBuf&& other) noexcept
    : buf_(other.buf_), granul_(other.granul_), alloc_(other.alloc_), size_(other.size_), minAlloc_(other.minAlloc_) {
    other.buf_ = nullptr;
    other.alloc_ = other.size_ = 0;
}

BASE_HeapBuf& BASE_HeapBuf::operator=(BASE_HeapBuf&& other) noexcept {
    if (this != &other) {
        std::free(buf_);
        buf_ = other.buf_;
        granul_ = other.granul_;
        alloc_ = other.alloc_;
        size_ = other.size_;
        minAlloc_ = other.minAlloc_;
        other.buf_ = nullptr;
        other.alloc_ = other.size_ = 0;
    }
    return *this;
}

BASE_HeapBuf::~BASE_HeapBuf() { std::free(buf_); }

int BASE_HeapBuf::AllocationFor(int newSize, int granularity, int minAlloc) {
    int64_t n = newSize, total;
    if (granularity < 4096) {
        total = n + std::max<int64_t>(n / 2, granularity);
    } else {
        int64_t extra = std::max<int64_t>(n / 2, granularity) & ~int64_t(4095);
        extra = std::clamp<int64_t>(extra, 4096, 4194304);
        total = ((n + extra + 96) & ~int64_t(4095)) - 96;
    }
    total = std::max<int64_t>(total, minAlloc);
    // Sizes are ints; near the top of the range take what still fits.
    return int(std::min<int64_t>(total, INT_MAX));
}

void* BASE_HeapBuf::Resize(int newSize, bool resizeDown) {
    if (newSize < 0) return Get();
    if (newSize == size_) return Get();

    bool grow = alloc_ < newSize;
    bool shrink = resizeDown && newSize < size_ && newSize < alloc_ / 2 &&
                  int64_t(newSize) < int64_t(alloc_) - 4 * int64_t(granul_);
    if (grow || shrink) {
        int newAlloc = AllocationFor(newSize, granul_, minAlloc_);
        void* nb = doRealloc(buf_, size_t(newAlloc));
        if (!nb) {
            nb = doMalloc(size_t(newAlloc));
            if (!nb) return Get();  // the old block and size stand
            if (buf_) std::memcpy(nb, buf_, size_t(std::min(size_, newSize)));
            std::free(buf_);
        }
        buf_ = nb;
        alloc_ = newAlloc;
    }
    size_ = newSize;
    return Get();
}

void* BASE_HeapBuf::ResizeOK(int newSize, bool resizeDown) {
    void* p = Resize(newSize, resizeDown);
    return size_ == newSize ? p : nullptr;
}
