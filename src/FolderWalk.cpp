#include "src/FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

namespace {

// Folders held open at once while the walk is inside them; a deeper one
// that is needed again is opened by its path.
constexpr int kMaxOpenFolders = 64;

struct FolderId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FolderId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct Child {
    std::string name;
    bool link = false;
};

struct Level {
    WalkedFolder folder;
    int fd = -1;
    std::vector<Child> children;
    size_t next = 0;
};

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string resolved(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// The devices of /proc, /sys and /dev where each is a file system of its own.
const std::set<dev_t>& kernelDevices() {
    static const std::set<dev_t> devices = [] {
        std::set<dev_t> out;
        struct stat root {
        }, st{};
        if (::stat("/", &root) != 0) return out;
        for (const char* path : {"/proc", "/sys", "/dev"})
            if (::stat(path, &st) == 0 && st.st_dev != root.st_dev) out.insert(st.st_dev);
        return out;
    }();
    return devices;
}

// Where the kernel shows processes, devices and its own state: following
// /proc/*/cwd alone reaches every folder of the machine. /dev/shm and other
// real file systems mounted below /dev are not of them.
bool pseudoFileSystem(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && kernelDevices().count(st.st_dev)) return true;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    static constexpr long kinds[] = {PROC_SUPER_MAGIC,
                                     SYSFS_MAGIC,
                                     DEVPTS_SUPER_MAGIC,
                                     CGROUP_SUPER_MAGIC,
                                     CGROUP2_SUPER_MAGIC,
                                     DEBUGFS_MAGIC,
                                     TRACEFS_MAGIC,
                                     SECURITYFS_MAGIC,
                                     PSTOREFS_MAGIC,
                                     BPF_FS_MAGIC,
                                     SELINUX_MAGIC,
                                     EFIVARFS_MAGIC,
                                     BINFMTFS_MAGIC,
                                     NSFS_MAGIC,
                                     0x62656570 /* configfs */,
                                     0x65735543 /* fusectl */,
                                     0x19800202 /* mqueue */};
    return std::find(std::begin(kinds), std::end(kinds), static_cast<long>(fs.f_type)) != std::end(kinds);
}

bool isLink(int fd, const dirent* d) {
    if (d->d_type != DT_UNKNOWN) return d->d_type == DT_LNK;
    struct stat st {};
    return ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Reads the folder open at fd: its folders that were not seen yet become
// children, everything else an entry.
void readFolder(int fd, Level& level, std::set<FolderId>& seen) {
    const int own = ::dup(fd);
    DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!dir) {
        if (own >= 0) ::close(own);
        return;
    }
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        struct stat st {};
        WalkedFolder::Entry entry;
        entry.name = d->d_name;
        entry.link = isLink(fd, d);
        if (::fstatat(fd, d->d_name, &st, 0) != 0) {
            entry.error = errno;
        } else if (S_ISDIR(st.st_mode)) {
            if (seen.insert(FolderId{st.st_dev, st.st_ino}).second) level.children.push_back({entry.name, entry.link});
            continue;
        } else {
            entry.regular = S_ISREG(st.st_mode);
            entry.size = st.st_size;
        }
        level.folder.entries.push_back(std::move(entry));
    }
    ::closedir(dir);
}

}  // namespace

std::vector<WalkedFolder> walkFolderTree(const std::string& root,
                                         const std::function<void(const std::string&, int)>& unreadable,
                                         const std::vector<std::string>& leaveOut) {
    std::vector<WalkedFolder> out;
    std::set<FolderId> seen;
    for (const std::string& folder : leaveOut) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) seen.insert(FolderId{st.st_dev, st.st_ino});
    }
    std::vector<Level> stack;
    int openCount = 0;
    auto closeFd = [&](Level& l) {
        if (l.fd < 0) return;
        ::close(l.fd);
        l.fd = -1;
        --openCount;
    };
    // Opens a folder relative to the one above it (by path when that one was
    // closed meanwhile), keeping the number held open bounded. A pseudo file
    // system below the root is not entered at all.
    auto enter = [&](std::string path, int depth, const Child& child) {
        if (openCount >= kMaxOpenFolders)
            for (Level& l : stack)
                if (l.fd >= 0) {
                    closeFd(l);
                    break;
                }
        Level level;
        level.folder.path = std::move(path);
        level.folder.depth = depth;
        if (stack.empty()) {
            level.folder.realPath = resolved(level.folder.path);
            level.fd = ::open(level.folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else {
            Level& parent = stack.back();
            const std::string real = joined(parent.folder.realPath, child.name);
            level.folder.realPath = child.link ? resolved(real) : real;
            if (parent.fd < 0 &&
                (parent.fd = ::open(parent.folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0)
                ++openCount;
            level.fd = parent.fd < 0 ? -1 : ::openat(parent.fd, child.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (level.fd < 0) {
            unreadable(level.folder.path, errno);
        } else {
            ++openCount;
            struct stat st {};
            if (stack.empty() && ::fstat(level.fd, &st) == 0) seen.insert(FolderId{st.st_dev, st.st_ino});
            if (pseudoFileSystem(level.fd)) {
                closeFd(level);
                if (!stack.empty()) return;
            } else {
                readFolder(level.fd, level, seen);
            }
        }
        stack.push_back(std::move(level));
    };

    enter(root, 0, Child{root, false});
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.children.size()) {
            const Child child = top.children[top.next++];
            const int depth = top.folder.depth + 1;
            std::string path = joined(top.folder.path, child.name);
            const size_t below = stack.size();
            enter(std::move(path), depth, child);
            // The folder above is not needed again once its last child is open.
            Level& parent = stack[below - 1];
            if (stack.size() > below && parent.next == parent.children.size()) closeFd(parent);
            continue;
        }
        closeFd(top);
        out.push_back(std::move(top.folder));
        stack.pop_back();
    }
    return out;
}
