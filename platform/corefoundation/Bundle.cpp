#include "platform/corefoundation/Bundle.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace platform::cf {

Bundle Bundle::containing(const void* address) {
    if (const char* env = getenv("HALVORAN_BUNDLE"); env && *env) return Bundle(fs::path(env).lexically_normal());
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname) return Bundle("");
    std::error_code ec;
    fs::path lib = fs::canonical(info.dli_fname, ec);
    if (ec) return Bundle("");
    return Bundle(lib.parent_path().string());
}

std::string Bundle::findResource(const std::string& path) const {
    if (!valid() || path.empty()) return "";
    std::string name = fs::path(path).filename().string();
    if (name.empty() || name == "." || name == "..") return "";
    fs::path base = fs::path(mRoot) / "resources";
    std::error_code ec;
    if (fs::is_regular_file(base / name, ec)) return (base / name).string();
    std::vector<fs::path> dirs;
    for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec)) dirs.push_back(it->path());
    std::sort(dirs.begin(), dirs.end());
    for (const fs::path& d : dirs)
        if (fs::is_regular_file(d / name, ec)) return (d / name).string();
    return "";
}

}  // namespace platform::cf
