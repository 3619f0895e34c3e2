#include "base/BASE_RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int BASE_OpenRegularFile(const char* path, int64_t* size, BASE_FileUse use, bool* shared) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    const int access = use == BASE_FileUse::Read     ? O_RDONLY
                       : use == BASE_FileUse::Append ? O_RDWR | O_APPEND
                                                     : O_RDWR | O_APPEND | O_CREAT;
    const int flags = access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path, shared ? flags | O_NOFOLLOW : flags, 0666);
    if (shared) *shared = fd < 0 && errno == ELOOP;
    // Through a link only to a file that is there: a dangling one makes none.
    if (fd < 0 && shared && *shared) fd = ::open(path, flags & ~O_CREAT);
    if (fd < 0) return -1;
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        const int error = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    // A regular file never blocks; the flag would only surprise a stream.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size) *size = st.st_size;
    if (shared && st.st_nlink > 1) *shared = true;
    return fd;
}

FILE* BASE_OpenRegularFileStream(const char* path, BASE_FileUse use) {
    const int fd = BASE_OpenRegularFile(path, nullptr, use);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, use == BASE_FileUse::Read ? "rb" : "ab");
    if (!f) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return f;
}

namespace {

template <class Bytes>
bool readWhole(const char* path, size_t limit, Bytes& out) {
    out.clear();
    int64_t size = 0;
    const int fd = BASE_OpenRegularFile(path, &size);
    if (fd < 0) return false;
    // Too large already: refused before a byte is read. Otherwise the size
    // is a hint only, as the file may grow while it is read.
    if (size > 0 && uint64_t(size) > limit) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    if (size > 0) out.reserve(size_t(size));
    char block[1 << 15];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) error = errno;
            break;
        }
        if (size_t(n) > limit - out.size()) {
            error = EFBIG;
            break;
        }
        out.insert(out.end(), block, block + n);
    }
    ::close(fd);
    if (error) {
        out.clear();
        errno = error;
    }
    return !error;
}

}  // namespace

bool BASE_ReadRegularFile(const char* path, size_t limit, std::string& out) { return readWhole(path, limit, out); }

bool BASE_ReadRegularFile(const char* path, size_t limit, std::vector<uint8_t>& out) {
    return readWhole(path, limit, out);
}
