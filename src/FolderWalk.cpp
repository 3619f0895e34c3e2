#include "src/FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

struct Level {
    WalkedFolder folder;
    int fd = -1;
    std::vector<std::string> children;
    size_t next = 0;
};

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
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
        if (::fstatat(fd, d->d_name, &st, 0) != 0) {
            entry.error = errno;
        } else if (S_ISDIR(st.st_mode)) {
            if (seen.insert(FolderId{st.st_dev, st.st_ino}).second) level.children.push_back(entry.name);
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
                                         const std::function<void(const std::string&, int)>& unreadable) {
    std::vector<WalkedFolder> out;
    std::set<FolderId> seen;
    std::vector<Level> stack;
    int openCount = 0;
    auto closeFd = [&](Level& l) {
        if (l.fd < 0) return;
        ::close(l.fd);
        l.fd = -1;
        --openCount;
    };
    // Opens a folder relative to the one above it (by path when that one was
    // closed meanwhile), keeping the number held open bounded.
    auto enter = [&](std::string path, int depth, const std::string& name) {
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
            level.fd = ::open(level.folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else {
            Level& parent = stack.back();
            if (parent.fd < 0 &&
                (parent.fd = ::open(parent.folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0)
                ++openCount;
            level.fd = parent.fd < 0 ? -1 : ::openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (level.fd < 0) {
            unreadable(level.folder.path, errno);
        } else {
            ++openCount;
            struct stat st {};
            if (stack.empty() && ::fstat(level.fd, &st) == 0) seen.insert(FolderId{st.st_dev, st.st_ino});
            readFolder(level.fd, level, seen);
        }
        stack.push_back(std::move(level));
    };

    enter(root, 0, root);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.children.size()) {
            const std::string name = top.children[top.next++];
            const int depth = top.folder.depth + 1;
            std::string path = joined(top.folder.path, name);
            enter(std::move(path), depth, name);
            // The folder above is not needed again once its last child is open.
            Level& parent = stack[stack.size() - 2];
            if (parent.next == parent.children.size()) closeFd(parent);
            continue;
        }
        closeFd(top);
        out.push_back(std::move(top.folder));
        stack.pop_back();
    }
    return out;
}
