#include "base/BASE_String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
int boundedLength(const char* text, int maxlen) {
    if (!text) return 0;
    return int(maxlen > 0 ? strnlen(text, size_t(maxlen)) : strlen(text));
}
}  // namespace

BASE_String::BASE_String(const char* text) { Set(text); }

const char* BASE_String::Get() const {
    auto p = static_cast<const char*>(hb_.Get());
    return p ? p : "";
}

int BASE_String::GetLength() const {
    auto p = static_cast<const char*>(hb_.Get());
    return p ? int(strlen(p)) : 0;
}

bool BASE_String::insertBytes(int pos, const char* text, int n) {
    int len = GetLength();
    if (pos < 0) pos = 0;
    if (pos > len) pos = len;
    if (n <= 0) return true;
    // The text may lie inside this buffer, which the resize can move.
    std::string copy(text, size_t(n));
    auto p = static_cast<char*>(hb_.ResizeOK(len + n + 1, false));
    if (!p) return false;
    std::memmove(p + pos + n, p + pos, size_t(len - pos));
    std::memcpy(p + pos, copy.data(), size_t(n));
    p[len + n] = 0;
    return true;
}

bool BASE_String::Set(const char* text, int maxlen) {
    int n = boundedLength(text, maxlen);
    if (n == 0) {
        hb_.Resize(0);
        return true;
    }
    std::string copy(text, size_t(n));
    auto p = static_cast<char*>(hb_.ResizeOK(n + 1));
    if (!p) return false;
    std::memcpy(p, copy.data(), size_t(n));
    p[n] = 0;
    return true;
}

bool BASE_String::Append(const char* text, int maxlen) {
    return insertBytes(GetLength(), text, boundedLength(text, maxlen));
}

bool BASE_String::Insert(const char* text, int pos, int maxlen) {
    return insertBytes(pos, text, boundedLength(text, maxlen));
}

void BASE_String::DeleteSub(int pos, int len) {
    int total = GetLength();
    if (pos < 0) {
        len += pos;
        pos = 0;
    }
    if (pos >= total || len <= 0) return;
    if (len > total - pos) len = total - pos;
    char* p = GetWritable();
    std::memmove(p + pos, p + pos + len, size_t(total - pos - len + 1));
    if (total - len == 0)
        hb_.Resize(0);
    else
        hb_.Resize(total - len + 1);
}

bool BASE_String::SetLen(int len) {
    if (len <= 0) {
        hb_.Resize(0);
        return true;
    }
    int old = hb_.GetSize();
    auto p = static_cast<char*>(hb_.ResizeOK(len + 1));
    if (!p) return false;
    if (len + 1 > old) std::memset(p + old, 0, size_t(len + 1 - old));
    p[len] = 0;
    return true;
}

bool BASE_String::appendFormattedV(int maxlen, const char* fmt, va_list ap) {
    va_list ap2;
    va_copy(ap2, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap2);
    va_end(ap2);
    if (n < 0) return false;
    std::string out(size_t(n) + 1, '\0');
    vsnprintf(out.data(), out.size(), fmt, ap);
    if (maxlen > 0 && n > maxlen) n = maxlen;
    return insertBytes(GetLength(), out.data(), n);
}

bool BASE_String::SetFormatted(int maxlen, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    BASE_String fresh;
    bool ok = fresh.appendFormattedV(maxlen, fmt, ap);
    va_end(ap);
    return ok && Set(fresh.Get());
}

bool BASE_String::AppendFormatted(int maxlen, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    bool ok = appendFormattedV(maxlen, fmt, ap);
    va_end(ap);
    return ok;
}
