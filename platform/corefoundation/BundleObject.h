#pragma once
// A loadable bundle: a folder D holding its code as D/<name of D without
// extension>.so, the layout Halvoran.bundle has. There is one object per real
// path, as the platform keeps one bundle per location: creating it again,
// through any spelling of the path, gives the same object with one more
// reference. Thread-safe.
#include <string>

namespace platform::cf {

class BundleObject {
public:
    // The bundle of a folder; null when the path is not a folder.
    static BundleObject* create(const std::string& path);
    // Drops one reference; the last unloads what the bundle loaded and frees it.
    void release();

    // The real path of the folder.
    const std::string& path() const { return path_; }
    // Where the bundle's code is; "" when the folder holds none.
    std::string executablePath() const;
    // Loads the code on first use and finds name in it; null when either fails.
    void* functionPointerForName(const char* name);

    // The folder of the running program.
    static std::string mainBundlePath();

private:
    explicit BundleObject(std::string path) : path_(std::move(path)) {}
    ~BundleObject();

    std::string path_;
    int refs_ = 1;
    void* code_ = nullptr;  // the bundle's own hold on its loaded code
};

}  // namespace platform::cf
