#pragma once
// An ordered list of pointers held in a BASE_HeapBuf. The list owns nothing
// by itself: Delete and Empty dispose of items only when asked, through a
// given function or the item type's own destruction (a list of void
// pointers needs the function).
#include "base/BASE_HeapBuf.h"

#include <cstring>
#include <type_traits>

template <class T>
class BASE_PtrList {
public:
    using DisposeFn = void (*)(T*);

    explicit BASE_PtrList(int granularity = 4096) : hb_(granularity) {}

    T* const* GetList() const { return static_cast<T* const*>(hb_.Get()); }
    int GetSize() const { return hb_.GetSize() / int(sizeof(T*)); }

    // The item at index, or null outside the list.
    T* Get(int index) const { return index >= 0 && index < GetSize() ? GetList()[index] : nullptr; }

    // Appends; returns the item, or null when the list could not grow.
    T* Add(T* item) { return Insert(GetSize(), item); }

    // Inserts before index (clamped into 0..count); null when out of memory.
    T* Insert(int index, T* item) {
        int n = GetSize();
        if (index < 0) index = 0;
        if (index > n) index = n;
        auto p = static_cast<T**>(hb_.ResizeOK((n + 1) * int(sizeof(T*)), false));
        if (!p) return nullptr;
        std::memmove(p + index + 1, p + index, size_t(n - index) * sizeof(T*));
        p[index] = item;
        return item;
    }

    // Replaces the item at index; returns false outside the list.
    bool Set(int index, T* item) {
        if (index < 0 || index >= GetSize()) return false;
        static_cast<T**>(hb_.Get())[index] = item;
        return true;
    }

    // Index of the first occurrence of item, or -1.
    int Find(const T* item) const {
        int n = GetSize();
        T* const* p = GetList();
        for (int i = 0; i < n; i++)
            if (p[i] == item) return i;
        return -1;
    }

    // Removes the item at index (outside the list: nothing), disposing of it
    // first when asked. Memory is not given back.
    void Delete(int index, bool wantDispose = false, DisposeFn dispose = nullptr) {
        int n = GetSize();
        if (index < 0 || index >= n) return;
        auto p = static_cast<T**>(hb_.Get());
        if (wantDispose) disposeOf(p[index], dispose);
        std::memmove(p + index, p + index + 1, size_t(n - index - 1) * sizeof(T*));
        hb_.Resize((n - 1) * int(sizeof(T*)), false);
    }

    // Removes the first occurrence of item; false when it is not listed.
    bool DeletePtr(const T* item, bool wantDispose = false, DisposeFn dispose = nullptr) {
        int i = Find(item);
        if (i < 0) return false;
        Delete(i, wantDispose, dispose);
        return true;
    }

    // Empties the list. Disposal runs from the last item to the first, the
    // list shrinking by one after each. Memory is not given back.
    void Empty(bool wantDispose = false, DisposeFn dispose = nullptr) {
        if (wantDispose) {
            for (int n = GetSize(); n > 0; n--) {
                disposeOf(GetList()[n - 1], dispose);
                hb_.Resize((n - 1) * int(sizeof(T*)), false);
            }
        }
        hb_.Resize(0, false);
    }

    BASE_HeapBuf& GetHeapBuf() { return hb_; }

private:
    static void disposeOf(T* item, DisposeFn dispose) {
        if (dispose)
            dispose(item);
        else if constexpr (!std::is_void_v<T>)
            delete item;
    }

    BASE_HeapBuf hb_;
};
