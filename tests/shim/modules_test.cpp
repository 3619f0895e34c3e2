// Loadable modules on real shared objects built for the tests (with and
// without the toolkit's entry points, one laid out as a bundle) and on the
// real Halvoran.bundle.
#include "shim/shim-module.h"

#include <gtest/gtest.h>

#include "support/ScopedEnv.h"
#include "support/TempDataDir.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string module(const std::string& name) { return std::string(HV_TEST_MODULES) + "/" + name + ".so"; }
const std::string kBundle = std::string(HV_TEST_MODULES) + "/ModBundle.bundle";

class Modules : public testing::Test {
protected:
    // The entry calls logged since the last look, with the record pointer
    // replaced by "h" when it is the given handle.
    std::vector<std::string> calls(HINSTANCE h = nullptr) {
        std::vector<std::string> out;
        std::string text = fs::exists(log_) ? dir_.read("calls.log") : "";
        fs::remove(log_);
        char mine[32];
        std::snprintf(mine, sizeof mine, "%p", static_cast<void*>(h));
        for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
            std::string line = text.substr(at, nl - at);
            if (h && line.size() > std::strlen(mine) && line.ends_with(mine))
                line = line.substr(0, line.size() - std::strlen(mine)) + "h";
            out.push_back(line);
        }
        return out;
    }
    using Calls = std::vector<std::string>;

    hvtest::TempDataDir dir_;
    std::string log_ = (dir_.path() / "calls.log").string();
    hvtest::ScopedEnv logEnv_{"HVMOD_LOG", log_};
};

TEST_F(Modules, SecondLoadSharesTheRecordAndTheLastFreeDetaches) {
    for (const std::string& path : {module("mod_entries"), kBundle}) {
        std::string name = path == kBundle ? "ModBundle" : "mod_entries";
        HINSTANCE h = LoadLibrary(path.c_str());
        ASSERT_NE(h, nullptr) << path;
        EXPECT_EQ(calls(h), (Calls{name + " SHIM_dllMain 1 h", name + " DllMain 1 h"}));
        // Another spelling of the same folder is the same bundle.
        std::string again = path == kBundle ? std::string(HV_TEST_MODULES) + "/./ModBundle.bundle/" : path;
        EXPECT_EQ(LoadLibrary(again.c_str()), h);
        EXPECT_EQ(FreeLibrary(h), TRUE);
        EXPECT_EQ(calls(), Calls{});
        auto probe = reinterpret_cast<const char* (*)()>(
            GetProcAddress(h, path == kBundle ? "mod_bundle_probe" : "mod_entries_probe"));
        ASSERT_NE(probe, nullptr);
        EXPECT_EQ(std::string(probe()), name);
        EXPECT_EQ(FreeLibrary(h), TRUE);
        EXPECT_EQ(calls(h), (Calls{name + " SHIM_dllMain 0 h", name + " DllMain 0 h"}));
        // The record is gone: freeing it again is refused, not a double free.
        EXPECT_EQ(FreeLibrary(h), FALSE);
    }
    int notARecord = 0;
    EXPECT_EQ(FreeLibrary(reinterpret_cast<HINSTANCE>(&notARecord)), FALSE);
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

TEST_F(Modules, AttachEntriesDecideTheLoad) {
    struct Case {
        const char* module;
        const char* failing;  // the entry that answers false on attach
        bool loads;
        Calls onLoad, onFree;
    } cases[] = {
        {"mod_shimonly", "", true, {"mod_shimonly SHIM_dllMain 1"}, {"mod_shimonly SHIM_dllMain 0"}},
        {"mod_dllonly", "", true, {}, {}},  // no SHIM_dllMain: DllMain is never called
        {"mod_none", "", true, {}, {}},
        {"mod_failing", "SHIM_dllMain", false, {"mod_failing SHIM_dllMain 1"}, {}},
        {"mod_failing",
         "DllMain",
         false,
         {"mod_failing SHIM_dllMain 1", "mod_failing DllMain 1", "mod_failing SHIM_dllMain 0"},
         {}},
    };
    for (const Case& c : cases) {
        hvtest::ScopedEnv fail("HVMOD_FAIL", c.failing);
        HINSTANCE h = LoadLibrary(module(c.module).c_str());
        EXPECT_EQ(h != nullptr, c.loads) << c.module << " " << c.failing;
        auto strip = [](Calls v) {
            for (auto& s : v) s = s.substr(0, s.rfind(' '));
            return v;
        };
        EXPECT_EQ(strip(calls()), c.onLoad) << c.module << " " << c.failing;
        if (h) {
            EXPECT_EQ(FreeLibrary(h), TRUE);
            EXPECT_EQ(strip(calls()), c.onFree) << c.module;
        }
        // Nothing is left loaded.
        EXPECT_EQ(dlopen(module(c.module).c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << c.module;
    }
}

TEST_F(Modules, GlobalSymbolsOnlyWhenAsked) {
    HINSTANCE local = LoadLibrary(module("mod_none").c_str());
    HINSTANCE global = LoadLibraryGlobals(module("mod_global").c_str(), true);
    ASSERT_NE(local, nullptr);
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "mod_none_probe"), nullptr);
    EXPECT_NE(dlsym(RTLD_DEFAULT, "mod_global_probe"), nullptr);
    EXPECT_NE(GetProcAddress(local, "mod_none_probe"), nullptr);
    EXPECT_EQ(GetProcAddress(local, "no_such_symbol"), nullptr);
    FreeLibrary(local);
    FreeLibrary(global);
}

TEST_F(Modules, ModuleFileNames) {
    char buf[4096];
    std::string self = fs::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(GetModuleFileName(nullptr, buf, sizeof buf), int(self.size()));
    EXPECT_EQ(buf, self);

    // A plain object with an attach entry is found by that entry; one with
    // neither entry only once a symbol of it was looked up.
    HINSTANCE withEntry = LoadLibrary(module("mod_shimonly").c_str());
    HINSTANCE bare = LoadLibrary(module("mod_none").c_str());
    EXPECT_EQ(GetModuleFileName(withEntry, buf, sizeof buf), int(module("mod_shimonly").size()));
    EXPECT_EQ(buf, module("mod_shimonly"));
    EXPECT_EQ(GetModuleFileName(bare, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    GetProcAddress(bare, "mod_none_probe");
    EXPECT_EQ(GetModuleFileName(bare, buf, sizeof buf), int(module("mod_none").size()));
    EXPECT_EQ(GetModuleFileName(bare, buf, 4), 3);
    EXPECT_EQ(std::string(buf), module("mod_none").substr(0, 3));
    buf[0] = 'X';
    EXPECT_EQ(GetModuleFileName(bare, buf, 0), 0);
    EXPECT_EQ(buf[0], 'X');
    FreeLibrary(withEntry);
    FreeLibrary(bare);
}

TEST_F(Modules, WhatIsNoModuleGivesNull) {
    std::string empty = (dir_.path() / "Empty.bundle").string(), text = dir_.write("not-code.so", "text").string();
    fs::create_directory(empty);
    for (const char* path : {static_cast<const char*>(nullptr), "", "/no/such/file.so", empty.c_str(), text.c_str()})
        EXPECT_EQ(LoadLibrary(path), nullptr) << (path ? path : "null");
}

TEST_F(Modules, LoadsTheRealPluginBundle) {
#ifndef HV_HALVORAN_BUNDLE
    GTEST_SKIP() << "the plug-in is not part of this build";
#else
    HINSTANCE h = LoadLibrary(HV_HALVORAN_BUNDLE);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(GetProcAddress(h, "Halvoran_Entry"), nullptr);
    char buf[4096];
    GetModuleFileName(h, buf, sizeof buf);
    EXPECT_EQ(buf, fs::canonical(HV_HALVORAN_BUNDLE).string());
    EXPECT_EQ(FreeLibrary(h), TRUE);
#endif
}

}  // namespace
