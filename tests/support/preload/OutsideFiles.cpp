// Preloaded into a program under test (LD_PRELOAD), it plays the world
// outside the program when it opens the file of the name given:
// - HV_SWAP_FOR_FIFO: the file is first replaced by a FIFO that nobody
//   writes to, as another program could swap it after the program looked;
// - HV_HANG_ON_OPEN: the open never returns, as on a file system that
//   stopped answering; the file NAME.opened beside it says it was reached.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool named(const char* variable, const char* path) {
    const char* name = std::getenv(variable);
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    return name && path && std::strcmp(slash ? slash + 1 : path, name) == 0;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    // O_TMPFILE holds O_DIRECTORY's bit: only the whole of it takes a mode.
    const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    struct stat st {};
    if (named("HV_HANG_ON_OPEN", path)) {
        ::close(::creat((std::string(path) + ".opened").c_str(), 0600));
        for (;;) ::pause();
    }
    if (named("HV_SWAP_FOR_FIFO", path) && ::lstat(path, &st) == 0 && S_ISREG(st.st_mode)) {
        ::unlink(path);
        ::mkfifo(path, 0600);
    }
    return reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"))(path, flags, mode);
}
