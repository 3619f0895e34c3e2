#pragma once
// A growable byte buffer. The allocation grows ahead of the used size by a
// granularity so that repeated appends rarely reallocate; the data pointer may
// move on any resize.
#include <cstddef>

class BASE_HeapBuf {
public:
    explicit BASE_HeapBuf(int granularity = 4096);
    BASE_HeapBuf(const BASE_HeapBuf& other);
    BASE_HeapBuf& operator=(const BASE_HeapBuf& other);
    BASE_HeapBuf(BASE_HeapBuf&& other) noexcept;
    BASE_HeapBuf& operator=(BASE_HeapBuf&& other) noexcept;
    ~BASE_HeapBuf();

    // The data, or null while the used size is 0.
    void* Get() const { return size_ ? buf_ : nullptr; }
    int GetSize() const { return size_; }
    int GetAllocSize() const { return alloc_; }
    int GetGranul() const { return granul_; }
    void SetGranul(int granularity) { granul_ = granularity < 0 ? 0 : granularity; }
    int GetMinAllocSize() const { return minAlloc_; }
    void SetMinAllocSize(int bytes) { minAlloc_ = bytes < 0 ? 0 : bytes; }

    // Sets the used size and returns the data (null for 0). When memory
    // cannot be had, the old block and used size stay and the old pointer
    // comes back (null when the old size was 0): compare GetSize() to know.
    // A negative size is refused the same way.
    void* Resize(int newSize, bool resizeDown = true);

    // As Resize, but null when the buffer could not take the new size.
    void* ResizeOK(int newSize, bool resizeDown = true);

    // The allocation Resize chooses when it must reallocate for newSize.
    static int AllocationFor(int newSize, int granularity, int minAlloc);

private:
    void* buf_ = nullptr;
    int granul_;
    int alloc_ = 0;
    int size_ = 0;
    int minAlloc_ = 0;
};

// Lets tests make the allocator fail. Null restores the C library's own.
namespace base_testing {
using ReallocFn = void* (*)(void*, size_t);
using MallocFn = void* (*)(size_t);
void SetHeapBufAllocator(ReallocFn reallocFn, MallocFn mallocFn);
}  // namespace base_testing
