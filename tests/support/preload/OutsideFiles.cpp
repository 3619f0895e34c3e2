// Preloaded into a program under test (LD_PRELOAD), it plays the world
// outside the program when the program opens a file of a name listed (names
// separated by '|'):
// - HV_SWAP_FOR_FIFO: the first time, the file is replaced by a FIFO that
//   nobody writes to, as another program could swap it after the program
//   looked at it;
// - HV_HANG_ON_OPEN: the open never returns, as on a file system that
//   stopped answering; the file NAME.opened beside it says it was reached.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool listed(const char* variable, const char* path) {
    const char* names = std::getenv(variable);
    if (!path || !names) return false;
    const char* slash = std::strrchr(path, '/');
    const std::string base = slash ? slash + 1 : path, list = std::string("|") + names + "|";
    return !base.empty() && list.find("|" + base + "|") != std::string::npos;
}

void swapIfListed(const char* path) {
    struct stat st {};
    if (listed("HV_HANG_ON_OPEN", path)) {
        ::close(::creat((std::string(path) + ".opened").c_str(), 0600));
        for (;;) ::pause();
    }
    if (!listed("HV_SWAP_FOR_FIFO", path) || ::lstat(path, &st) != 0 || !S_ISREG(st.st_mode)) return;
    ::unlink(path);
    ::mkfifo(path, 0600);
}

template <class Fn>
Fn next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list args) { return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0; }

}  // namespace

#define HV_OPEN(NAME)                                                         \
    extern "C" int NAME(const char* path, int flags, ...) {                   \
        va_list args;                                                         \
        va_start(args, flags);                                                \
        const mode_t mode = modeOf(flags, args);                              \
        va_end(args);                                                         \
        swapIfListed(path);                                                   \
        static const auto real = next<int (*)(const char*, int, ...)>(#NAME); \
        return real(path, flags, mode);                                       \
    }
#define HV_OPENAT(NAME)                                                            \
    extern "C" int NAME(int dir, const char* path, int flags, ...) {               \
        va_list args;                                                              \
        va_start(args, flags);                                                     \
        const mode_t mode = modeOf(flags, args);                                   \
        va_end(args);                                                              \
        swapIfListed(path);                                                        \
        static const auto real = next<int (*)(int, const char*, int, ...)>(#NAME); \
        return real(dir, path, flags, mode);                                       \
    }
#define HV_FOPEN(NAME)                                                             \
    extern "C" FILE* NAME(const char* path, const char* how) {                     \
        swapIfListed(path);                                                        \
        static const auto real = next<FILE* (*)(const char*, const char*)>(#NAME); \
        return real(path, how);                                                    \
    }

HV_OPEN(open)
HV_OPEN(open64)
HV_OPENAT(openat)
HV_OPENAT(openat64)
HV_FOPEN(fopen)
HV_FOPEN(fopen64)
