#include "shim/shim-module.h"

#include "base/BASE_AssocArray.h"
#include "base/BASE_Mutex.h"
#include "platform/corefoundation/BundleObject.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

using platform::cf::BundleObject;

struct SHIM_HINSTANCE {
    void* dl = nullptr;
    BundleObject* bundle = nullptr;
    int refs = 1;
    SHIM_DllEntry shimMain = nullptr;
    SHIM_DllEntry dllMain = nullptr;
    // GetModuleFileName asks the loader which image holds it.
    std::atomic<void*> lastSymbol{nullptr};
};

namespace {

// Whole pointers are compared: a difference cut to 32 bits could call two
// modules the same, or one module two.
int libkeycomp(void* const* a, void* const* b) { return *a < *b ? -1 : *a > *b ? 1 : 0; }

BASE_Mutex s_libraryMutex;
BASE_AssocArray<void*, SHIM_HINSTANCE*> s_loadedLibs(libkeycomp);

void* keyOf(const SHIM_HINSTANCE* h) { return h->bundle ? static_cast<void*>(h->bundle) : h->dl; }

bool isLoaded(const SHIM_HINSTANCE* h) {
    for (int i = 0; SHIM_HINSTANCE** rec = s_loadedLibs.Enumerate(i); ++i)
        if (*rec == h) return true;
    return false;
}

void* resolve(SHIM_HINSTANCE* h, const char* name) {
    void* p = h->bundle ? h->bundle->functionPointerForName(name) : dlsym(h->dl, name);
    if (p) h->lastSymbol = p;
    return p;
}

SHIM_DllEntry entryOf(SHIM_HINSTANCE* h, const char* name) { return reinterpret_cast<SHIM_DllEntry>(resolve(h, name)); }

}  // namespace

HINSTANCE LoadLibrary(const char* path) { return LoadLibraryGlobals(path, false); }

HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal) {
    if (!path || !*path) return nullptr;
    const int flags = RTLD_NOW | (symbolsGlobal ? RTLD_GLOBAL : RTLD_LOCAL);
    void* dl = nullptr;
    BundleObject* bundle = nullptr;
    struct stat st;
    if (stat(path, &st) == 0 && !S_ISDIR(st.st_mode)) {
        dl = dlopen(path, flags);
        if (!dl) return nullptr;
    } else if ((bundle = BundleObject::create(path))) {
        // A folder without code is no module: nothing could be called in it.
        std::string exe = bundle->executablePath();
        if (!exe.empty()) dl = dlopen(exe.c_str(), flags);
        if (!dl) {
            bundle->release();
            return nullptr;
        }
    } else if (!(dl = dlopen(path, flags))) {
        return nullptr;  // neither a file, a folder nor a name the loader finds
    }

    BASE_MutexLock hold(s_libraryMutex);
    void* key = bundle ? static_cast<void*>(bundle) : dl;
    if (SHIM_HINSTANCE** found = s_loadedLibs.GetPtr(key)) {
        // This load's own loader and bundle references stay with the record;
        // each free gives back one of each.
        (*found)->refs++;
        return *found;
    }
    auto* h = new SHIM_HINSTANCE;
    h->dl = dl;
    h->bundle = bundle;
    if (!s_loadedLibs.Insert(key, h)) {
        delete h;
        if (bundle) bundle->release();
        dlclose(dl);
        return nullptr;
    }
    SHIM_DllEntry shimMain = entryOf(h, "SHIM_dllMain");
    if (!shimMain) return h;
    if (!shimMain(h, DLL_PROCESS_ATTACH, nullptr)) {
        FreeLibrary(h);
        return nullptr;
    }
    SHIM_DllEntry dllMain = entryOf(h, "DllMain");
    if (dllMain && !dllMain(h, DLL_PROCESS_ATTACH, nullptr)) {
        shimMain(h, DLL_PROCESS_DETACH, nullptr);
        FreeLibrary(h);
        return nullptr;
    }
    h->shimMain = shimMain;
    h->dllMain = dllMain;
    return h;
}

void* GetProcAddress(HINSTANCE h, const char* name) { return h && name ? resolve(h, name) : nullptr; }

BOOL FreeLibrary(HINSTANCE h) {
    if (!h) return FALSE;
    BASE_MutexLock hold(s_libraryMutex);
    if (!isLoaded(h)) return FALSE;
    const bool last = --h->refs <= 0;
    if (last) {
        s_loadedLibs.Delete(keyOf(h));
        if (h->shimMain) {
            h->shimMain(h, DLL_PROCESS_DETACH, nullptr);
            if (h->dllMain) h->dllMain(h, DLL_PROCESS_DETACH, nullptr);
        }
    }
    if (h->bundle) h->bundle->release();
    if (h->dl) dlclose(h->dl);
    if (last) delete h;
    return TRUE;
}

int GetModuleFileName(HINSTANCE h, char* buf, int size) {
    if (!buf || size < 1) return 0;
    buf[0] = 0;
    std::string path;
    if (h && h->bundle) {
        path = h->bundle->path();
    } else if (h && h->dl) {
        Dl_info info{};
        void* symbol = h->lastSymbol;
        if (!symbol || !dladdr(symbol, &info) || !info.dli_fname) return 0;
        path = info.dli_fname;
    } else {
        path = BundleObject::mainBundlePath();
    }
    size_t n = std::min(path.size(), size_t(size - 1));
    std::memcpy(buf, path.data(), n);
    buf[n] = 0;
    return int(n);
}
