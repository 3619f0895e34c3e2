#include "framework/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

void LogLine(const char* fmt, ...) {
    static std::mutex m;
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    std::lock_guard<std::mutex> lock(m);
    fprintf(stderr, "%s\n", buf);
    fflush(stderr);
}
