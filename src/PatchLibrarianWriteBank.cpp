#include "src/PatchLibrarianWriteBank.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "src/PatchLibrarianDump.h"

bool buildBankImage(const std::vector<LibrarianPatch>& patches, bool smf, ByteChunk* out) {
    if (!out) return false;
    out->Clear();
    if (smf) out->PutBytes(hvPatchStart, sizeof hvPatchStart);
    const PatchSysexMessage init{std::vector<uint8_t>(hvInitPatchData, hvInitPatchData + kProgramDumpSize)};
    for (int slot = 0; slot < kBankSlots; ++slot) {
        LibrarianPatch one;
        if (slot < static_cast<int>(patches.size())) {
            for (const PatchSysexMessage& m : patches[slot].sysexMessages) {
                if (isSlotProgram(m.data.data(), m.data.size())) {
                    one.sysexMessages.push_back(m);
                    break;
                }
            }
        }
        if (one.sysexMessages.empty()) one.sysexMessages.push_back(init);
        one.save(out, smf, slot);
    }
    if (smf) out->PutBytes(hvPatchEnd, sizeof hvPatchEnd);
    return out->Size() == (smf ? kSmfBankFileSize : kRawBankFileSize);
}

namespace {

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

// A new temporary for `base` in folder, locked for as long as it is open:
// a lock that nobody holds tells a cleaner that its writer is gone.
int makeTemporary(const std::string& folder, const std::string& base, std::string* temp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        *temp = folder + "/." + base + ".XXXXXX";
        const int fd = ::mkostemp(temp->data(), O_CLOEXEC);
        if (fd < 0) return -1;
        ::flock(fd, LOCK_EX);
        // A cleaner that took it before the lock has removed it.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// Drops the temporary after a failure, keeping the errno of the failure.
bool giveUp(int fd, const std::string& temp) {
    const int error = errno;
    ::unlink(temp.c_str());
    ::close(fd);
    errno = error;
    return false;
}

// The mode a new file of ours is made with.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A new temporary for `base` in folder holding the bytes, on disk; the
// result is its descriptor, still open and locked, or -1.
int writeTemporary(const std::string& folder, const std::string& base, const ByteChunk& bytes, mode_t mode,
                   std::string* temp) {
    const int fd = makeTemporary(folder, base, temp);
    if (fd < 0) return -1;
    fileWriterStep("temporary made");
    const bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes.GetBytes(), static_cast<size_t>(bytes.Size())) &&
                    ::fsync(fd) == 0;
    if (!ok) return giveUp(fd, *temp), -1;
    fileWriterStep("on disk");
    return fd;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that rename: a second name, then the first goes.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool sameBytes(const std::string& a, const std::string& b) {
    int64_t sizeA = 0, sizeB = 0;
    const int fa = BASE_OpenRegularFile(a.c_str(), &sizeA), fb = BASE_OpenRegularFile(b.c_str(), &sizeB);
    bool same = fa >= 0 && fb >= 0 && sizeA == sizeB;
    std::vector<char> ba(1 << 15), bb(1 << 15);
    while (same) {
        const ssize_t na = ::read(fa, ba.data(), ba.size()), nb = na > 0 ? ::read(fb, bb.data(), na) : 0;
        if (na == 0) break;
        same = na > 0 && nb == na && std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) == 0;
    }
    if (fa >= 0) ::close(fa);
    if (fb >= 0) ::close(fb);
    return same;
}

// "NAME (k).EXT", or "NAME (k)" for a name without an extension.
std::string numberedName(const std::string& base, int k) {
    const size_t dot = base.find_last_of('.');
    const std::string number = " (" + std::to_string(k) + ")";
    return dot == std::string::npos || dot == 0 ? base + number : base.substr(0, dot) + number + base.substr(dot);
}

// Gives `moving` the first name in folder among base, "NAME (2).EXT" ...
// "NAME (999).EXT" that no file holds, by a rename that never replaces one.
// With `alike`, a file there with the same bytes is `moving` placed before
// (the search ends at it); with `mayVanish`, a `moving` gone meanwhile was
// placed by another editor. placedName receives the name, renamed whether
// `moving` took it. False, with errno set, when it could not be placed.
bool placeUnderFreeName(const std::string& moving, const std::string& folder, const std::string& base, bool alike,
                        bool mayVanish, std::string* placedName, bool* renamed) {
    *renamed = false;
    for (int copy = 1; copy <= 999; ++copy) {
        const std::string name = copy == 1 ? base : numberedName(base, copy);
        const std::string target = folder + "/" + name;
        if (renameNoReplace(moving, target)) {
            *renamed = true;
        } else if (errno == EEXIST) {
            if (!alike || !sameBytes(target, moving)) continue;
        } else if (errno != ENOENT || !mayVanish) {
            return false;
        }
        if (placedName) *placedName = name;
        return true;
    }
    errno = ENOSPC;
    return false;
}

// Copies `from` into a temporary in folder and puts it on disk; the result
// is its descriptor, still open and locked, or -1.
int copyToTemporary(const std::string& from, const std::string& folder, mode_t mode, std::string* temp) {
    const int in = BASE_OpenRegularFile(from.c_str());
    if (in < 0) return -1;
    const int fd = makeTemporary(folder, baseOf(from), temp);
    if (fd < 0) {
        ::close(in);
        return -1;
    }
    fileWriterStep("temporary made");
    bool ok = ::fchmod(fd, mode & 07777) == 0;
    std::vector<uint8_t> block(1 << 15);
    for (bool first = true; ok; first = false) {
        const ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(fd, block.data(), static_cast<size_t>(n));
        if (first) fileWriterStep("half written");
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    ::close(in);
    errno = error;
    if (!ok) return giveUp(fd, *temp), -1;
    fileWriterStep("on disk");
    return fd;
}

bool isBankName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "mid" || ext == "syx" || ext == "hvx" || ext == "qzx";
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The name of the file that a writer's temporary of this name stands for,
// or "" when the name is not one that the writers make.
std::string temporaryFor(const std::string& name) {
    constexpr size_t kSuffix = 7;  // "." and six letters or digits
    if (name.size() < 2 + kSuffix || name[0] != '.' || name[name.size() - kSuffix] != '.') return "";
    for (size_t i = name.size() - kSuffix + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return "";
    const std::string inner = name.substr(1, name.size() - 1 - kSuffix);
    return isBankName(inner) || endsWith(inner, " UI.txt") || endsWith(inner, " LOG.txt") ? inner : "";
}

}  // namespace

__attribute__((weak)) void fileWriterStep(const char*) {}

bool writeFileReplacing(const std::string& requested, const ByteChunk& bytes, AtLink atLink) {
    if (requested.empty() || requested.back() == '/') return false;
    std::string path = requested;
    struct stat old {};
    bool existed = ::lstat(path.c_str(), &old) == 0;
    if (existed && S_ISLNK(old.st_mode) && atLink == AtLink::ReplaceTarget) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) return false;
        path = resolved;
        existed = ::stat(path.c_str(), &old) == 0;
    }
    // A link replaced itself hands on only its place, not its target's mode.
    if (existed && S_ISLNK(old.st_mode)) {
        existed = false;
    } else if (existed && !S_ISREG(old.st_mode)) {
        return false;
    }

    const std::string folder = folderOf(path);
    // Hidden and without a bank extension, so a scan never takes a leftover.
    std::string temp;
    const int fd = writeTemporary(folder, baseOf(path), bytes, existed ? old.st_mode & 07777 : newFileMode(), &temp);
    if (fd < 0) return false;
    // The temporary stays open, and so locked, until it has its real name.
    if (::rename(temp.c_str(), path.c_str()) != 0) return giveUp(fd, temp);
    ::close(fd);
    fileWriterStep("renamed");
    syncFolder(folder);
    return true;
}

bool writeNewFile(const std::string& folder, const std::string& name, const ByteChunk& bytes, std::string* placedName) {
    std::string temp;
    const int fd = writeTemporary(folder, name, bytes, newFileMode(), &temp);
    if (fd < 0) return false;
    bool renamed = false;
    if (!placeUnderFreeName(temp, folder, name, false, false, placedName, &renamed)) return giveUp(fd, temp);
    ::close(fd);
    fileWriterStep("placed");
    syncFolder(folder);
    return true;
}

bool moveIntoFolder(const std::string& from, const std::string& folder, std::string* placedName) {
    struct stat src {
    }, dst{};
    if (::stat(from.c_str(), &src) != 0 || ::stat(folder.c_str(), &dst) != 0) return false;
    if (!S_ISREG(src.st_mode) || !S_ISDIR(dst.st_mode)) {
        errno = S_ISDIR(dst.st_mode) ? EINVAL : ENOTDIR;
        return false;
    }
    // Across file systems the copy is whole and on disk before it is named.
    std::string temp;
    const int fd = src.st_dev == dst.st_dev ? -1 : copyToTemporary(from, folder, src.st_mode, &temp);
    if (src.st_dev != dst.st_dev && fd < 0) return false;
    const std::string& moving = fd < 0 ? from : temp;

    bool renamed = false;
    if (!placeUnderFreeName(moving, folder, baseOf(from), true, fd < 0, placedName, &renamed)) {
        if (fd >= 0) return giveUp(fd, temp);
        return false;
    }
    // Placed before, by this editor or another: the source only goes.
    const bool dropSource = fd >= 0 || !renamed;
    if (fd >= 0) {
        if (!renamed) ::unlink(temp.c_str());
        ::close(fd);
    }
    syncFolder(folder);
    fileWriterStep("placed");
    if (dropSource && ::unlink(from.c_str()) != 0 && errno != ENOENT) return false;
    syncFolder(folderOf(from));
    return true;
}

bool isWriterTemporary(const std::string& name) { return !temporaryFor(name).empty(); }

bool removeStaleTemporary(const std::string& folder, const std::string& name) {
    if (!isWriterTemporary(name)) return false;
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {
    }, now{};
    // Ours, not held by a living writer, and still the file of that name.
    const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &now) == 0 &&
                       now.st_dev == st.st_dev && now.st_ino == st.st_ino;
    const bool removed = stale && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

int removeStaleTemporaries(const std::string& folder, const std::string& of) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> names;
    while (const dirent* d = ::readdir(dir)) {
        const std::string inner = temporaryFor(d->d_name);
        if (!inner.empty() && (of.empty() || inner == of)) names.emplace_back(d->d_name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& name : names) removed += removeStaleTemporary(folder, name) ? 1 : 0;
    return removed;
}
