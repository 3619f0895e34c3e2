#include "platform/corefoundation/BundleObject.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace platform::cf {

namespace {

std::mutex& registryLock() {
    static std::mutex m;
    return m;
}

std::map<std::string, BundleObject*>& registry() {
    static std::map<std::string, BundleObject*> bundles;
    return bundles;
}

}  // namespace

BundleObject* BundleObject::create(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !fs::is_directory(path, ec)) return nullptr;
    std::string real = fs::canonical(path, ec).string();
    if (ec) return nullptr;
    std::lock_guard<std::mutex> hold(registryLock());
    auto& all = registry();
    auto it = all.find(real);
    if (it != all.end()) {
        ++it->second->refs_;
        return it->second;
    }
    auto* b = new BundleObject(real);
    all[real] = b;
    return b;
}

void BundleObject::release() {
    {
        std::lock_guard<std::mutex> hold(registryLock());
        if (--refs_ > 0) return;
        registry().erase(path_);
    }
    delete this;
}

BundleObject::~BundleObject() {
    if (code_) dlclose(code_);
}

std::string BundleObject::executablePath() const {
    fs::path dir(path_);
    fs::path exe = dir / (dir.stem().string() + ".so");
    std::error_code ec;
    return fs::is_regular_file(exe, ec) ? exe.string() : std::string();
}

void* BundleObject::functionPointerForName(const char* name) {
    if (!name) return nullptr;
    void* code = nullptr;
    {
        std::lock_guard<std::mutex> hold(registryLock());
        if (!code_) {
            std::string exe = executablePath();
            if (!exe.empty()) code_ = dlopen(exe.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        code = code_;
    }
    return code ? dlsym(code, name) : nullptr;
}

std::string BundleObject::mainBundlePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

}  // namespace platform::cf
