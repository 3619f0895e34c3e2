#pragma once
// Keyed arrays: (key, value) pairs kept sorted by key in one flat buffer and
// found by binary search. Comparison, key copying and the disposal of keys
// and values are given at construction. No locking: the owner guards each
// array. Keys and values are moved as bytes, so both must be trivially
// copyable (pointers, handles, numbers).
#include "base/BASE_HeapBuf.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <type_traits>

template <class K, class V>
class BASE_AssocArrayImpl {
    static_assert(std::is_trivially_copyable_v<K> && std::is_trivially_copyable_v<V>,
                  "keyed arrays hold plain keys and values");

public:
    using KeyCompareFn = int (*)(const K* a, const K* b);
    using KeyDupFn = K (*)(K key);
    using KeyDisposeFn = void (*)(K key);
    using ValueDisposeFn = void (*)(V value);

    struct Pair {
        K key;
        V value;
    };

    explicit BASE_AssocArrayImpl(KeyCompareFn compare, KeyDupFn dupKey = nullptr, KeyDisposeFn disposeKey = nullptr,
                                 ValueDisposeFn disposeValue = nullptr)
        : data_(4096), compare_(compare), dupKey_(dupKey), disposeKey_(disposeKey), disposeValue_(disposeValue) {}
    BASE_AssocArrayImpl(const BASE_AssocArrayImpl&) = delete;
    BASE_AssocArrayImpl& operator=(const BASE_AssocArrayImpl&) = delete;
    virtual ~BASE_AssocArrayImpl() { DeleteAll(); }

    int GetSize() const { return data_.GetSize() / int(sizeof(Pair)); }

    // The stored value for key, or null.
    V* GetPtr(const K& key, const K** storedKey = nullptr) const {
        int i = find(key);
        if (storedKey) *storedKey = i >= 0 ? &pairs()[i].key : nullptr;
        return i >= 0 ? &pairs()[i].value : nullptr;
    }
    V Get(const K& key, V notFound = V()) const {
        V* p = GetPtr(key);
        return p ? *p : notFound;
    }
    bool Exists(const K& key) const { return find(key) >= 0; }
    // Index of key, or -1.
    int GetIdx(const K& key) const { return find(key); }

    // Adds the pair, or replaces the value of a present key (the old value is
    // disposed of; the stored key stays). storedKey receives the stored key.
    // Returns false, storing nothing and keeping the value the caller's, when
    // the storage cannot grow.
    bool Insert(const K& key, V value, const K** storedKey = nullptr) {
        int at;
        int i = find(key, &at);
        if (i >= 0) {
            Pair* p = pairs();
            if (disposeValue_) disposeValue_(p[i].value);
            p[i].value = value;
            if (storedKey) *storedKey = &p[i].key;
            return true;
        }
        int n = GetSize();
        auto p = static_cast<Pair*>(data_.ResizeOK((n + 1) * int(sizeof(Pair)), false));
        if (!p) {
            if (storedKey) *storedKey = nullptr;
            return false;
        }
        std::memmove(p + at + 1, p + at, size_t(n - at) * sizeof(Pair));
        p[at].key = dupKey_ ? dupKey_(key) : key;
        p[at].value = value;
        if (storedKey) *storedKey = &p[at].key;
        return true;
    }

    // Removes key with its value, disposing of both; an absent key does nothing.
    void Delete(const K& key) {
        int i = find(key);
        if (i >= 0) DeleteByIndex(i);
    }
    void DeleteByIndex(int index) {
        int n = GetSize();
        if (index < 0 || index >= n) return;
        Pair* p = pairs();
        disposePair(p[index]);
        std::memmove(p + index, p + index + 1, size_t(n - index - 1) * sizeof(Pair));
        data_.Resize((n - 1) * int(sizeof(Pair)), false);
    }

    // Disposes of every pair, in order, and frees the storage.
    void DeleteAll() {
        int n = GetSize();
        Pair* p = pairs();
        for (int i = 0; i < n; i++) disposePair(p[i]);
        data_ = BASE_HeapBuf(4096);
    }

    // Pairs in key order: the value at index with its key, or null outside.
    V* Enumerate(int index, K* key = nullptr) const {
        if (index < 0 || index >= GetSize()) return nullptr;
        Pair* p = pairs();
        if (key) *key = p[index].key;
        return &p[index].value;
    }

    // Appends without sorting (the key is copied). Resort must follow before
    // any lookup or Insert. False when the storage cannot grow.
    bool AddUnsorted(const K& key, V value) {
        int n = GetSize();
        auto p = static_cast<Pair*>(data_.ResizeOK((n + 1) * int(sizeof(Pair)), false));
        if (!p) return false;
        p[n].key = dupKey_ ? dupKey_(key) : key;
        p[n].value = value;
        return true;
    }

    // Sorts pairs appended unsorted and drops duplicate keys (which of two
    // equal keys survives is not fixed).
    void Resort() {
        int n = GetSize();
        if (n < 2 || !compare_) return;
        qsort_r(pairs(), size_t(n), sizeof(Pair), &BASE_AssocArrayImpl::comparePairs,
                reinterpret_cast<void*>(compare_));
        for (int i = 0; i < GetSize() - 1;) {
            Pair* p = pairs();
            if (compare_(&p[i].key, &p[i + 1].key) == 0)
                DeleteByIndex(i);
            else
                i++;
        }
    }

private:
    Pair* pairs() const { return static_cast<Pair*>(data_.Get()); }

    // Binary search: the index of key, or -1 with *insertAt its place.
    int find(const K& key, int* insertAt = nullptr) const {
        int lo = 0, hi = GetSize();
        const Pair* p = pairs();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            int c = compare_(&key, &p[mid].key);
            if (c > 0)
                lo = mid + 1;
            else if (c < 0)
                hi = mid;
            else
                return mid;
        }
        if (insertAt) *insertAt = lo;
        return -1;
    }

    void disposePair(Pair& pair) {
        if (disposeKey_) disposeKey_(pair.key);
        if (disposeValue_) disposeValue_(pair.value);
    }

    static int comparePairs(const void* a, const void* b, void* ctx) {
        auto compare = reinterpret_cast<KeyCompareFn>(ctx);
        return compare(&static_cast<const Pair*>(a)->key, &static_cast<const Pair*>(b)->key);
    }

    BASE_HeapBuf data_;
    KeyCompareFn compare_;
    KeyDupFn dupKey_;
    KeyDisposeFn disposeKey_;
    ValueDisposeFn disposeValue_;
};

template <class K, class V>
using BASE_AssocArray = BASE_AssocArrayImpl<K, V>;

// String keys, copied on insert and freed with their pair. The case rule is
// fixed at construction.
template <class V>
class BASE_StringKeyedArray : public BASE_AssocArrayImpl<const char*, V> {
public:
    using Base = BASE_AssocArrayImpl<const char*, V>;

    explicit BASE_StringKeyedArray(bool caseSensitive = true, typename Base::ValueDisposeFn disposeValue = nullptr)
        : Base(caseSensitive ? cmpstr : cmpistr, dupstr, freestr, disposeValue) {}

    // A null key reads as "".
    static int cmpstr(const char* const* a, const char* const* b) { return strcmp(*a ? *a : "", *b ? *b : ""); }
    static int cmpistr(const char* const* a, const char* const* b) { return strcasecmp(*a ? *a : "", *b ? *b : ""); }
    static const char* dupstr(const char* s) { return strdup(s ? s : ""); }
    static void freestr(const char* s) { free(const_cast<char*>(s)); }
    static void freecharptr(V p) { free(const_cast<void*>(static_cast<const void*>(p))); }
    static void deleteStringKeyedArray(BASE_StringKeyedArray* p) { delete p; }
};
