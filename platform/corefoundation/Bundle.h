#pragma once
// A bundle is a folder: the plug-in library sits in it, and its resources
// below it in "resources/". HALVORAN_BUNDLE names the folder outright.
#include <string>

namespace platform::cf {

class Bundle {
public:
    // The bundle of the library (or program) that holds `address`.
    static Bundle containing(const void* address);
    explicit Bundle(std::string root) : mRoot(std::move(root)) {}

    bool valid() const { return !mRoot.empty(); }
    // The folder, without a trailing separator.
    const std::string& root() const { return mRoot; }
    // The path of a resource found by the last component of `path` (name
    // and extension): first directly in resources/, then in its sub-folders
    // in name order. "" when there is none.
    std::string findResource(const std::string& path) const;

private:
    std::string mRoot;
};

}  // namespace platform::cf
