#include "shim/shim.h"
#include "shim/shim-dnd.h"
#include "shim/shim-handles.h"

#include <Poco/UUIDGenerator.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <thread>

// ---- time

void Sleep(int ms) {
    // Negative counts are a caller's slip; they sleep as 0 does.
    int64_t us = ms > 0 ? int64_t(ms) * 1000 : 100;
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

DWORD SHIM_TickCountAt(int64_t seconds, int64_t microseconds) {
    return DWORD(uint64_t(seconds) * 1000u + uint64_t(microseconds / 1000));
}

DWORD GetTickCount() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return SHIM_TickCountAt(tv.tv_sec, tv.tv_usec);
}

namespace {
void putFileTime(FILETIME* ft, time_t seconds) {
    if (!ft) return;
    uint64_t v = uint64_t(int64_t(seconds)) * 10000000u + 116447544000000000ull;
    ft->dwLowDateTime = DWORD(v);
    ft->dwHighDateTime = DWORD(v >> 32);
}
}  // namespace

BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return FALSE;
    putFileTime(creation, st.st_ctime);
    putFileTime(lastAccess, st.st_atime);
    putFileTime(lastWrite, st.st_mtime);
    return TRUE;
}

// ---- rectangles

BOOL WinSetRect(RECT* r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL WinOffsetRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

namespace {
bool isEmpty(const RECT* r) { return r->right <= r->left || r->bottom <= r->top; }
}  // namespace

BOOL WinIntersectRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst) return FALSE;
    *dst = RECT{0, 0, 0, 0};
    if (!a || !b || isEmpty(a) || isEmpty(b)) return FALSE;
    dst->left = std::max(a->left, b->left);
    dst->top = std::max(a->top, b->top);
    dst->right = std::min(a->right, b->right);
    dst->bottom = std::min(a->bottom, b->bottom);
    return isEmpty(dst) ? FALSE : TRUE;
}

BOOL WinUnionRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    RECT u{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
           std::max(a->bottom, b->bottom)};
    *dst = u;
    return isEmpty(dst) ? FALSE : TRUE;
}

bool SHIM_PtInRect(const RECT* r, POINT p) {
    if (!r) return false;
    int top = std::min(r->top, r->bottom), bottom = std::max(r->top, r->bottom);
    return p.x >= r->left && p.x < r->right && p.y >= top && p.y < bottom;
}

// ---- numbers

int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    double r = std::trunc(double(a) * double(b) / double(c));
    // A result that does not fit an int is reported as -1, as Win32 does.
    if (r > double(INT_MAX) || r < double(INT_MIN)) return -1;
    return int(r);
}

unsigned int _controlfp(unsigned int value, unsigned int mask) {
#if defined(__x86_64__) || defined(__i386__)
    unsigned short cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    // Only the rounding-control field may change, whatever value holds.
    unsigned int word = (cw & ~((mask & 0x300u) << 2)) | ((value & 0x300u) << 2);
    if (mask & 0x300u) {
        unsigned short w = (unsigned short)word;
        __asm__ volatile("fldcw %0" : : "m"(w));
    }
    return word >> 2;
#else
    return value & mask & 0x300u;
#endif
}

// ---- errors

namespace {
thread_local DWORD t_lastError = 0;
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

// ---- global memory blocks

namespace {
struct GlobalHeader {
    int32_t size;
    int32_t locks;
};
GlobalHeader* headerOf(HGLOBAL h) { return reinterpret_cast<GlobalHeader*>(static_cast<char*>(h) - 8); }
}  // namespace

HGLOBAL GlobalAlloc(int flags, int size) {
    if (size < 0) size = 0;
    auto p = static_cast<char*>(std::malloc(size_t(size) + 8));
    if (!p) return nullptr;
    auto hdr = reinterpret_cast<GlobalHeader*>(p);
    hdr->size = size;
    hdr->locks = 0;
    return p + 8;
}

void* GlobalLock(HGLOBAL h) {
    if (!h) return nullptr;
    headerOf(h)->locks++;
    return h;
}

BOOL GlobalUnlock(HGLOBAL h) {
    if (!h) return FALSE;
    GlobalHeader* hdr = headerOf(h);
    if (hdr->locks > 0) hdr->locks--;
    return hdr->locks > 0 ? TRUE : FALSE;
}

int GlobalSize(HGLOBAL h) { return h ? headerOf(h)->size : 0; }

HGLOBAL GlobalFree(HGLOBAL h) {
    SHIM_ForgetDropFilesBlock(h);
    if (h) std::free(headerOf(h));
    return nullptr;
}

// ---- strings

char* lstrcpyn(char* dst, const char* src, int n) {
    if (!dst || n < 1) return dst;
    int i = 0;
    if (src)
        for (; i < n - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

void SHIM_GenerateGUID(GUID* g) {
    if (!g) return;
    Poco::UUID id = Poco::UUIDGenerator::defaultGenerator().createRandom();
    unsigned char bytes[16];
    id.copyTo(reinterpret_cast<char*>(bytes));
    std::memcpy(g, bytes, sizeof(bytes));
}

namespace {
// Length of the valid UTF-8 sequence at s (at most avail bytes), or 0.
int utf8SequenceLength(const unsigned char* s, size_t avail) {
    unsigned char c = s[0];
    int n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else
        return 0;
    if (size_t(n) > avail) return 0;
    for (int i = 1; i < n; i++) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}
}  // namespace

std::string SHIM_CStringToCFString(const char* text) {
    if (!text) return std::string();
    auto s = reinterpret_cast<const unsigned char*>(text);
    size_t len = strlen(text);
    bool valid = true;
    for (size_t i = 0; i < len;) {
        int n = utf8SequenceLength(s + i, len - i);
        if (!n) {
            valid = false;
            break;
        }
        i += size_t(n);
    }
    if (valid) return std::string(text, len);
    // Not UTF-8: keep the ASCII and mark what cannot be read.
    std::string out;
    out.reserve(len);
    for (size_t i = 0; i < len; i++) out += s[i] < 0x80 ? char(s[i]) : '?';
    return out;
}

bool SHIM_CFStringToCString(const std::string& s, char* buf, int size) {
    if (!buf || size < 1) return false;
    buf[0] = 0;
    if (size == 1) return s.empty();
    if (s.size() < size_t(size)) {
        std::memcpy(buf, s.c_str(), s.size() + 1);
        return true;
    }
    // Too long: as many whole characters as fit.
    auto p = reinterpret_cast<const unsigned char*>(s.data());
    size_t used = 0;
    while (used < s.size()) {
        int n = utf8SequenceLength(p + used, s.size() - used);
        if (n == 0) n = 1;
        if (used + size_t(n) > size_t(size - 1)) break;
        used += size_t(n);
    }
    std::memcpy(buf, s.data(), used);
    buf[used] = 0;
    return false;
}
