#include "framework/ByteChunk.h"

#include <limits>

int ByteChunk::PutBytes(const void* pSrc, int nBytes) {
    int n = Size();
    if (nBytes <= 0) return n;
    if (!pSrc || nBytes > std::numeric_limits<int>::max() - n) return -1;
    mBytes.Resize(n + nBytes, false);
    if (Size() != n + nBytes) return -1;
    memcpy(GetBytes() + n, pSrc, static_cast<size_t>(nBytes));
    return Size();
}

int ByteChunk::PutStr(const char* str) {
    if (!str) str = "";
    int32_t len = static_cast<int32_t>(strlen(str));
    int before = Size();
    if (Put(&len) < 0 || PutBytes(str, len) < 0) {
        Resize(before);
        return -1;
    }
    return Size();
}

int ByteChunk::GetBytes(void* pDst, int nBytes, int startPos) const {
    if (startPos < 0 || nBytes < 0 || startPos > Size() || nBytes > Size() - startPos) return -1;
    if (nBytes > 0) memcpy(pDst, GetBytes() + startPos, static_cast<size_t>(nBytes));
    return startPos + nBytes;
}

int ByteChunk::GetStr(std::string* str, int startPos) const {
    int32_t len = 0;
    int pos = Get(&len, startPos);
    if (pos < 0 || len < 0 || len > Size() - pos) return -1;
    if (str) str->assign(reinterpret_cast<const char*>(GetBytes()) + pos, static_cast<size_t>(len));
    return pos + len;
}

int ByteChunk::Resize(int newSize) {
    if (newSize < 0) newSize = 0;
    int old = Size();
    mBytes.Resize(newSize, false);
    if (Size() > old) memset(GetBytes() + old, 0, static_cast<size_t>(Size() - old));
    return Size();
}
