#pragma once
// A growable byte buffer with typed put and get, for state chunks and
// presets. Values go in the machine's native byte order.
#include <cstdint>
#include <cstring>
#include <string>

#include "base/BASE_HeapBuf.h"

class ByteChunk {
public:
    static constexpr int kGranularity = 4096;

    ByteChunk() : mBytes(kGranularity) {}

    // Appends the value's bytes; returns the new size, or -1 when no memory
    // could be had (the chunk is then unchanged).
    template <class T>
    int Put(const T* pVal) {
        return PutBytes(pVal, static_cast<int>(sizeof(T)));
    }
    int PutBytes(const void* pSrc, int nBytes);
    // An int32 length, then the bytes without a terminator.
    int PutStr(const char* str);

    // Reads a value at startPos; returns the position after it, or -1 when
    // the value does not lie inside the chunk (also for startPos < 0).
    template <class T>
    int Get(T* pVal, int startPos) const {
        return GetBytes(pVal, static_cast<int>(sizeof(T)), startPos);
    }
    int GetBytes(void* pDst, int nBytes, int startPos) const;
    // Reads what PutStr wrote; -1 when it does not fit or the length is
    // negative.
    int GetStr(std::string* str, int startPos) const;

    // Appends another chunk whole.
    int PutChunk(const ByteChunk* pRHS) { return PutBytes(pRHS->GetBytes(), pRHS->Size()); }

    int Size() const { return mBytes.GetSize(); }
    // Sets the size, keeping the bytes that stay; new bytes are zero. Returns
    // the size reached (the old one when memory could not be had).
    int Resize(int newSize);
    void Clear() { mBytes.Resize(0, false); }
    // The first byte, or null for an empty chunk.
    uint8_t* GetBytes() { return static_cast<uint8_t*>(mBytes.Get()); }
    const uint8_t* GetBytes() const { return static_cast<const uint8_t*>(mBytes.Get()); }
    // Byte i for 0 <= i < Size(); 0 outside.
    uint8_t At(int i) const { return (i >= 0 && i < Size()) ? GetBytes()[i] : 0; }
    bool IsEqual(const ByteChunk& other) const {
        return Size() == other.Size() && (Size() == 0 || memcmp(GetBytes(), other.GetBytes(), Size()) == 0);
    }

    // The storage, for callers that grow it themselves.
    BASE_HeapBuf& HeapBuf() { return mBytes; }

private:
    BASE_HeapBuf mBytes;
};
