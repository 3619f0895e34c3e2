// ctest-labels: x11
// halvoran-host asked to quit while the editor shows a file panel, an
// alert, a menu or its text entry: by SIGTERM, as a session that ends or a
// host that closes the editor sends it, or by the window's close button.
// What is open ends as if cancelled, the host ends in order, and the banks
// stay byte for byte.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "editor_banks.h"
#include "editor_window.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

using namespace guitest;
using Clock = std::chrono::steady_clock;

// Every file below Patches, with its bytes.
std::map<std::string, Bytes> banks(const std::string& dir) {
    std::map<std::string, Bytes> all;
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir + "/Patches"))
        if (f.is_regular_file()) all[f.path().string()] = read(f.path().string());
    return all;
}

}  // namespace

TEST(EditorQuit, WhatIsOpenEndsAsCancelledAndTheBanksStay) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    auto importPanel = [&](EditorWindow& e) {
        chooseFromBankMenu(e, x, 6, 4, 1);
        return focusedWindow(x, "Open") != 0;
    };
    const struct {
        const char* what;
        const char* page;
        std::function<bool(EditorWindow&)> open;  // true once it shows
        bool byCloseButton;
    } cases[] = {
        {"Import's Open panel", "--set 467=0", importPanel, false},
        {"Import's Open panel, the window closed", "--set 467=0", importPanel, true},
        {"Save As's Replace alert", "--set 467=0",
         [&](EditorWindow& e) {
             chooseFromBankMenu(e, x, 5, 3, 1);
             if (!focusedWindow(x, "Save As")) return false;
             x.type("Old");
             x.key(XK_Return);
             return focusedWindow(x, "Replace") != 0;
         },
         false},
        {"the bank menu", "--set 467=0",
         [&](EditorWindow& e) {
             e.clickAt(900, 49);
             return hvtest::waitUntil([&] { return x.popups().size() == 1; });
         },
         false},
        {"the program name's text entry", "--set 467=2",
         [&](EditorWindow& e) {
             e.clickAt(590, 11);
             return hvtest::waitUntil([&] { return !x.popups().empty() && !e.menuOpen(); });
         },
         false},
    };
    for (const auto& c : cases) {
        EditorWindow e(
            x, "legacy", c.page,
            [](const std::string& dir) {
                std::filesystem::create_directories(dir + "/Patches");
                write(dir + "/Patches/Factory.syx", bankOf(128));
                write(dir + "/Patches/Old.hvx", bankOf(1));
                write(dir + "/Import Me.syx", bankOf(3));
            },
            true);
        ASSERT_TRUE(e.ready()) << c.what;
        const auto before = banks(e.dir());
        ASSERT_TRUE(c.open(e)) << c.what << "; " << e.diagnosis();
        const auto asked = Clock::now();
        EXPECT_TRUE(e.quit(c.byCloseButton, 10000)) << c.what << "; " << e.diagnosis();
        std::printf("%s: the host ended %.2f s after it was asked to quit\n", c.what,
                    std::chrono::duration<double>(Clock::now() - asked).count());
        EXPECT_FALSE(e.stop().empty()) << c.what << ": the host did not end in order";
        EXPECT_EQ(banks(e.dir()), before) << c.what;
    }
}
