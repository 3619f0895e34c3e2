#pragma once
// A growable NUL-terminated string over a BASE_HeapBuf. Get() never returns
// null: an empty string reads as "". Operations that need memory return false
// and leave the text as it was when none can be had.
#include "base/BASE_HeapBuf.h"

class BASE_String {
public:
    BASE_String(const char* text = nullptr);
    BASE_String(const BASE_String& other) = default;
    BASE_String& operator=(const BASE_String& other) = default;
    BASE_String(BASE_String&& other) noexcept = default;
    BASE_String& operator=(BASE_String&& other) noexcept = default;

    const char* Get() const;
    int GetLength() const;

    // maxlen > 0 takes at most that many bytes of text (stopping at its NUL).
    bool Set(const char* text, int maxlen = 0);
    bool Append(const char* text, int maxlen = 0);
    // Inserts before byte pos (clamped into 0..length).
    bool Insert(const char* text, int pos, int maxlen = 0);
    // Removes up to len bytes from pos; out-of-range parts are ignored.
    void DeleteSub(int pos, int len);
    // Truncates, or extends with NUL bytes (the text then reads shorter).
    bool SetLen(int len);
    // printf-style; maxlen > 0 limits the formatted bytes taken.
    bool SetFormatted(int maxlen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    bool AppendFormatted(int maxlen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

    // Room to write into: GetLength() + 1 bytes, or null while empty.
    char* GetWritable() { return static_cast<char*>(hb_.Get()); }

private:
    bool insertBytes(int pos, const char* text, int n);
    bool appendFormattedV(int maxlen, const char* fmt, __builtin_va_list ap);

    BASE_HeapBuf hb_{128};
};
