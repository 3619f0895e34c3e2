#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "shim/shim-dnd.h"
#include "shim/shim-input.h"
#include "shim/shim-wnd.h"
#include "support/TempDataDir.h"

using platform::appkit::Application;
using platform::appkit::HeadlessBackend;

namespace {

HeadlessBackend& headless() { return dynamic_cast<HeadlessBackend&>(Application::backend()); }

std::string g_written;
void writeDrop(const char* path) {
    g_written = path;
    FILE* f = fopen(path, "w");
    if (f) fclose(f);
}
void writeNothing(const char* path) { g_written = path; }

}  // namespace

TEST(DropFilesBlock, LayoutAndNames) {
    HGLOBAL b = SHIM_MakeDropFilesBlock({"a", "bb"}, 3, -4);
    ASSERT_EQ(GlobalSize(b), 16 + 2 + 3 + 1);
    const char* p = static_cast<const char*>(GlobalLock(b));
    const int32_t head[4] = {16, 3, -4, 0};
    EXPECT_EQ(memcmp(p, head, 16), 0);
    EXPECT_EQ(memcmp(p + 16, "a\0bb\0\0", 6), 0);
    GlobalUnlock(b);
    GlobalFree(b);
}

TEST(DropFilesBlock, NamesThatCannotBePathsAreLeftOut) {
    const std::string longest(4095, 'x'), tooLong(4096, 'x');
    // One block after another of the same size (often where the last one
    // was): what was read of the first is not taken for the second.
    const struct {
        const char* prefix;
        std::vector<std::string> names, want;
    } cases[] = {
        {"", {"a", longest, tooLong, "", std::string("b\0c", 3), "d"}, {"a", longest, "d"}},
        {"tmp.", {"wav", longest.substr(4), longest.substr(3)}, {"tmp.wav", "tmp." + longest.substr(4)}},
        {"", {"one", "two"}, {"one", "two"}},
        {"", {"six", "ten"}, {"six", "ten"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.want.front());
        HGLOBAL b = SHIM_MakeDropFilesBlock(c.names, 0, 0, c.prefix);
        size_t size = 16 + 1;
        for (const auto& n : c.want) size += n.size() + 1;
        EXPECT_EQ(GlobalSize(b), int(size));
        std::vector<std::string> read;
        for (UINT i = 0, n = DragQueryFile(b, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
            std::string name(DragQueryFile(b, i, nullptr, 0), '\0');
            EXPECT_EQ(DragQueryFile(b, i, name.data(), UINT(name.size() + 1)), name.size());
            read.push_back(name);
        }
        EXPECT_EQ(read, c.want);
        GlobalFree(b);
    }
}

TEST(KeepBothFiles, NumberedNames) {
    hvtest::TempDataDir dir;
    const struct {
        const char* name;
        std::vector<const char*> taken;
        const char* want;  // "" when every name is taken
    } cases[] = {
        {"song 12.txt", {"song 013.txt"}, "song 014.txt"},
        {"song.txt", {}, "song 001.txt"},
        {"take_7", {}, "take_008"},
        {"mix-2.wav", {"mix-003.wav", "mix-004.wav"}, "mix-005.wav"},
        {"mix-999.wav", {}, ""},
        {"a 1234.txt", {}, "a 1234 001.txt"},
        {"123.syx", {}, "123 001.syx"},
        {"bank.v2/patch", {}, "bank.v2/patch 001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* t : c.taken) dir.write(t, "");
        const std::string base = dir.path().string() + "/";
        EXPECT_EQ(SHIM_KeepBothName(base + c.name), *c.want ? base + c.want : "");
    }
}

TEST(PromisedFileDrop, WritesAsksAndForgets) {
    hvtest::TempDataDir dir;
    const std::string folder = dir.path().string();
    const struct {
        const char* what;
        bool existing;
        int answer;  // -1: no alert
        SHIM_DragWriteCallback write;
        const char* written;  // "" when the writer must not run
        std::vector<std::string> names;
    } cases[] = {
        {"new file", false, -1, writeDrop, "patch.prg", {"patch.prg"}},
        {"keep both", true, 0, writeDrop, "patch 001.prg", {"patch 001.prg"}},
        {"stop", true, 1, writeDrop, "", {}},
        {"replace", true, 2, writeDrop, "patch.prg", {"patch.prg"}},
        {"writer left no file", false, -1, writeNothing, "patch.prg", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(dir.path());
        if (c.existing) dir.write("patch.prg", "");
        headless().clearRecords();
        if (c.answer >= 0) headless().queueAlertChoice(c.answer);
        g_written.clear();
        SHIM_SetDragSourceState("/somewhere/patch.prg", c.write);
        EXPECT_EQ(SHIM_DoDragDrop(folder.c_str()), c.names);
        EXPECT_EQ(g_written, *c.written ? folder + "/" + c.written : "");
        EXPECT_FALSE(SHIM_HasDragSourceState());
        ASSERT_EQ(headless().alerts().size(), c.answer >= 0 ? 1u : 0u);
        if (c.answer >= 0) {
            const auto& a = headless().alerts()[0];
            EXPECT_EQ(a.title, "Copy");
            EXPECT_EQ(a.message,
                      "An item named \"patch.prg\" already exists in this location. Do you want to replace it with "
                      "the one you're moving?");
            EXPECT_EQ(a.buttons, (std::vector<std::string>{"Keep Both Files", "Stop", "Replace"}));
        }
    }
    EXPECT_TRUE(SHIM_DoDragDrop(folder.c_str()).empty()) << "without a source";
}

TEST(InputArguments, WheelAndGestures) {
    const struct {
        double d;
        uint32_t want;
    } wheel[] = {{1.0, 60u << 16}, {-0.5, 0xFFE2u << 16}, {0.01, 0}, {NAN, 0}, {1e9, 0x7FFFu << 16}};
    for (const auto& w : wheel) EXPECT_EQ(SHIM_WheelParam(w.d), w.want) << w.d;
    const struct {
        double z;
        uint64_t want;
    } zoom[] = {{0.0001, 1025}, {-0.0001, 1023}, {0.5, 1536}, {2, 2048}, {-1, 512}};
    for (const auto& z : zoom) EXPECT_EQ(SHIM_ZoomGestureArgument(z.z), z.want) << z.z;
    const struct {
        double r;
        uint64_t want;
    } rotate[] = {{1, 33313}, {0.001, 32768}, {-0.001, 32766}, {-100, 0}, {100, 65535}};
    for (const auto& r : rotate) EXPECT_EQ(SHIM_RotateGestureArgument(r.r), r.want) << r.r;
}
