// ctest-labels: x11
// The two program-name entries of the editor in a real window, typed into
// as a musician types, dead keys and the clipboard included: the PROGRAM
// page's name and the librarian's Rename. They take only what the
// instrument shows (an accented letter as its plain letter, anything else
// refused, at most twelve characters after that), and what the field took
// is what the slot, the bank file and the dumps sent to the instrument hold.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor_window.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

using guitest::Bytes;
using guitest::kDump;
constexpr int kDeadline = 30000;

// The twelve name bytes of a program dump, blanks and a 0 as they stand.
std::string nameBytes(const Bytes& dump, size_t at = 0) {
    std::string name;
    for (size_t pos : {6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18}) name += static_cast<char>(dump.at(at + pos));
    return name;
}

}  // namespace

TEST(EditorNames, WhatTheNameEntriesShowIsWhatTheSlotTheFileAndTheInstrumentGet) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    const std::string display = hvtest::XvfbServer::shared().display();
    // Dead keys compose under a UTF-8 locale; xclip fills the clipboard there.
    hvtest::ScopedEnv locale("LC_ALL", "C.UTF-8"), screen("DISPLAY", display);
    hvtest::MidiPeer instrument("hvnames");
    const int in = instrument.inMenuIndex(), out = instrument.outMenuIndex();
    ASSERT_TRUE(in > 0 && out > 0);
    hvtest::XProbe x(display);
    guitest::EditorWindow e(x, "legacy",
                            "--set 467=2 --set 427=" + std::to_string(out) + " --set 428=" + std::to_string(in),
                            [](const std::string& dir) {
                                std::filesystem::create_directories(dir + "/Patches");
                                Bytes bank = guitest::bankOf(128);
                                const Bytes acid = guitest::programDump(0, "Acid Bass");
                                std::copy(acid.begin(), acid.end(), bank.begin());
                                guitest::write(dir + "/Patches/Factory.syx", bank);
                            });
    ASSERT_TRUE(e.ready()) << e.diagnosis();

    // What another program put on the clipboard, for the paste below.
    hvtest::runProgram(
        "printf '\\303\\206r\\303\\270\\342\\230\\203Bass' | xclip -selection clipboard -i >/dev/null 2>&1");
    ASSERT_TRUE(hvtest::waitUntil([] {
        return hvtest::runProgram("xclip -o -selection clipboard").out ==
               "\xC3\x86r\xC3\xB8\xE2\x98\x83"
               "Bass";
    }));

    auto slotAt = [](int slot) { return std::pair{178, 71 + 16 * slot}; };
    constexpr XKeySym kCtrl = 1u << 30;  // with Control held
    struct Row {
        const char* what;
        int slot;  // -1: the PROGRAM page's name
        std::vector<XKeySym> keys;
        std::string want;  // the name bytes of the dump
    } rows[] = {
        {"Crème brûlée, the euro refused, the ! past twelve",
         -1,
         {kCtrl | XK_a, XK_C, XK_r, XK_EuroSign, XK_dead_grave, XK_e, XK_m, XK_e, XK_space, XK_b, XK_r,
          XK_dead_circumflex, XK_u, XK_l, XK_dead_acute, XK_e, XK_e, XK_exclam},
         "Creme brulee"},
        {"End, X, Home, Y", 0, {XK_End, XK_X, XK_Home, XK_Y}, "YAcid BassX "},
        {"café with a dead key, a Cyrillic letter refused",
         1,
         {kCtrl | XK_a, XK_c, XK_a, XK_f, XK_dead_acute, XK_e, XK_Cyrillic_DE},
         std::string("cafe\0       ", 12)},
        {"Straße Bass: the sharp s counts as two",
         2,
         {kCtrl | XK_a, XK_S, XK_t, XK_r, XK_a, XK_ssharp, XK_e, XK_space, XK_B, XK_a, XK_s, XK_s, XK_exclam},
         "Strasse Bass"},
        {"a paste of \"Ærø☃Bass\"", 3, {kCtrl | XK_a, kCtrl | XK_v}, "AEroBass    "},
    };
    for (const Row& r : rows) {
        if (r.slot >= 0) {
            // A right click on the slot, then "Rename" after "Paste" and a
            // separator; the name field shows below the panes.
            auto [sx, sy] = slotAt(r.slot);
            e.moveTo(sx, sy);
            x.click(3);
            std::vector<XWindow> menus;
            ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 1; }, kDeadline)) << r.what;
            x.clickAt(menus[0], 40, 2 + 20 + 7 + 10);
            ASSERT_TRUE(hvtest::waitUntil([&] { return x.popups().empty(); }, kDeadline)) << r.what;
            e.clickAt(640, 672);
        } else {
            e.clickAt(590, 11);
        }
        ASSERT_TRUE(hvtest::waitUntil([&] { return x.popups().size() == 1; }, kDeadline)) << r.what;
        for (XKeySym k : r.keys) ASSERT_TRUE(x.key(k & ~kCtrl, k & kCtrl ? ControlMask : 0)) << r.what;
        x.key(XK_Return);
        ASSERT_TRUE(hvtest::waitUntil([&] { return x.popups().empty(); }, kDeadline)) << r.what;
        if (r.slot < 0) e.clickAt(175, 16);  // on to the LIBRARIAN page
    }

    // A top-level item of the librarian's MENU, after `items` items and
    // `separators` separators. The button takes no click while a transfer
    // shows its veil.
    auto menu = [&](int items, int separators) {
        std::vector<XWindow> menus;
        ASSERT_TRUE(hvtest::waitUntil(
            [&] {
                e.clickAt(900, 49);
                return hvtest::waitUntil([&] { return (menus = x.popups()).size() == 1; }, 3000);
            },
            kDeadline));
        x.clickAt(menus[0], 40, 2 + items * 20 + separators * 7 + 10);
    };
    // The next program dump the instrument receives, past the global data;
    // sent again while the editor's output is not open yet.
    auto dumpSent = [&](const std::function<void()>& send) {
        std::optional<Bytes> got;
        hvtest::waitUntil(
            [&] {
                send();
                for (std::vector<Bytes> m; !got && !(m = instrument.receive(1, std::chrono::seconds(5))).empty();)
                    if (m[0].size() == kDump && m[0][4] == 0x40) got = m[0];
                return got.has_value();
            },
            kDeadline);
        return got ? nameBytes(*got) : "nothing sent";
    };
    // "Push Current Data to HW" sends the panel's program under its name.
    EXPECT_EQ(dumpSent([&] { menu(3, 2); }), rows[0].want);

    menu(4, 3);  // "Save (Overwrite current bank)"
    const std::string bank = e.dir() + "/Patches/Factory.syx";
    EXPECT_TRUE(hvtest::waitUntil(
        [&] {
            const Bytes b = guitest::read(bank);
            return b.size() == 128 * kDump && nameBytes(b, 3 * kDump) == rows[4].want;
        },
        kDeadline));
    const Bytes saved = guitest::read(bank);
    for (const Row& r : rows) {
        if (r.slot < 0) continue;
        EXPECT_EQ(nameBytes(saved, static_cast<size_t>(r.slot) * kDump), r.want) << r.what;
    }
    // A double click sends the slot to the instrument.
    auto [sx, sy] = slotAt(1);
    EXPECT_EQ(dumpSent([&] {
                  e.moveTo(sx, sy);
                  x.click();
                  x.click();
              }),
              rows[2].want);
}
