#pragma once
// A growable array of plain values over a BASE_HeapBuf. Elements are moved
// as bytes, so T must be trivially copyable.
#include "base/BASE_HeapBuf.h"

#include <climits>
#include <cstring>
#include <type_traits>

template <class T>
class BASE_TypedBuf {
    static_assert(std::is_trivially_copyable_v<T>, "BASE_TypedBuf holds plain values");

public:
    explicit BASE_TypedBuf(int granularity = 4096) : hb_(granularity) {}

    T* Get() const { return static_cast<T*>(hb_.Get()); }
    int GetSize() const { return hb_.GetSize() / int(sizeof(T)); }

    // Returns the elements; on failure the old ones stay (compare GetSize()).
    T* Resize(int count, bool resizeDown = true) {
        if (count < 0 || count > INT_MAX / int(sizeof(T))) return Get();
        return static_cast<T*>(hb_.Resize(count * int(sizeof(T)), resizeDown));
    }
    // Null when the new count could not be had (or is 0).
    T* ResizeOK(int count, bool resizeDown = true) {
        T* p = Resize(count, resizeDown);
        return GetSize() == count ? p : nullptr;
    }

    // Appends and returns the new element, or null when out of memory.
    T* Add(const T& value) { return Insert(value, GetSize()); }

    // Inserts before index (clamped into 0..count); null when out of memory.
    T* Insert(const T& value, int index) {
        int n = GetSize();
        if (index < 0) index = 0;
        if (index > n) index = n;
        T copy = value;  // value may live inside this buffer
        T* p = ResizeOK(n + 1, false);
        if (!p) return nullptr;
        std::memmove(p + index + 1, p + index, size_t(n - index) * sizeof(T));
        p[index] = copy;
        return p + index;
    }

    // Removes the element at index; an index outside the array does nothing.
    void Delete(int index) {
        int n = GetSize();
        if (index < 0 || index >= n) return;
        T* p = Get();
        std::memmove(p + index, p + index + 1, size_t(n - index - 1) * sizeof(T));
        Resize(n - 1, false);
    }

    BASE_HeapBuf& GetHeapBuf() { return hb_; }
    const BASE_HeapBuf& GetHeapBuf() const { return hb_; }

private:
    BASE_HeapBuf hb_;
};
