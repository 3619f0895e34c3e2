#pragma once
// The walk of a folder tree that the librarian's scan makes: every folder
// with the entries in it that are not folders, each looked at once, relative
// to the folder that holds it. The time it takes grows with the number of
// entries, however deep the tree is nested (a folder's whole path is never
// walked again for each of its entries).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct WalkedFolder {
    struct Entry {
        std::string name;
        bool regular = false;  // a regular file (a link is followed)
        bool link = false;     // the entry itself is a symbolic link
        int64_t size = 0;
        int error = 0;  // errno when the entry could not be looked at
    };
    std::string path;            // the root as given, then parent + "/" + name
    std::string realPath;        // the same folder with every link resolved
    int depth = 0;               // levels below the root
    std::vector<Entry> entries;  // in the order the folder gives them
};

// Every folder below root, each after its own subfolders and the folders of
// one level in the order their parent gives them, then root itself last. A
// folder reached again (through a link) is left out, so a link into itself
// ends; so are the folders named in leaveOut, wherever they are reached, and
// the kernel's pseudo file systems (/proc, /sys, /dev and their kind), which
// hold no banks and lead everywhere. A folder that cannot be read is listed
// without entries, after unreadable(path, errno) was called for it.
std::vector<WalkedFolder> walkFolderTree(const std::string& root,
                                         const std::function<void(const std::string&, int)>& unreadable,
                                         const std::vector<std::string>& leaveOut = {});
