// ctest-labels: tsan x11
// The editor's panel in a real window on a private Xvfb server, used as a
// musician uses it: a click opens a menu that stays until an item is clicked,
// Escape is pressed or a click goes elsewhere, and press, drag, release
// chooses too; two quick presses on a knob reset it only when the first was
// a click; one wheel notch is one step. Parameters are read from what the
// host prints when it is stopped.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "src/HalvoranParams.h"
#include "editor_window.h"
#include "support/RunProgram.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

// Long enough for a host built with a sanitizer on a busy machine.
constexpr int kDeadline = 30000;

using guitest::EditorWindow;

hvtest::XProbe& probe() {
    static hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    return x;
}

}  // namespace

TEST(EditorXvfb, AClickOpensAMenuThatStaysUntilAChoiceEscapeOrAClickElsewhere) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe& x = probe();
    for (const char* skin : {"legacy", "s-model", "platinum"}) {
        EditorWindow e(x, skin);
        ASSERT_TRUE(e.ready()) << skin;
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }, kDeadline)) << skin;
        // Still open after the release: the pointer lights the fourth item.
        e.moveTo(60, EditorWindow::item(3));
        EXPECT_TRUE(hvtest::waitUntil(
            [&] { return x.pixel(x.root(), x.pointer().first, x.pointer().second) == 0x2F6FCF; }, kDeadline));
        e.screenshot(testing::TempDir() + "halvoran-normal-" + skin + "-menu-open.png");
        x.click();
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); }, kDeadline)) << skin;
        // Escape, and a click elsewhere, close it without a choice.
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }, kDeadline)) << skin;
        x.key(XK_Escape);
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); }, kDeadline)) << skin;
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }, kDeadline)) << skin;
        e.clickAt(700, 300);
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); }, kDeadline)) << skin;
        EXPECT_EQ(e.stop().at(kFilterType), 3) << skin;
    }
    // Press, drag to the third item, release: it is chosen.
    EditorWindow e(x, "legacy");
    ASSERT_TRUE(e.ready());
    e.moveTo(76, 500);
    x.press();
    ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }, kDeadline));
    e.moveTo(60, EditorWindow::item(2));
    x.release();
    ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); }, kDeadline));
    EXPECT_EQ(e.stop().at(kFilterType), 2);
}

TEST(EditorXvfb, OnlyAClickStartsADoubleClickAndAWheelNotchIsOneStep) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe& x = probe();
    EditorWindow e(x, "legacy");
    ASSERT_TRUE(e.ready());
    // Each knob dragged 40 down, then clicked at once where the drag began:
    // Cutoff (default 127) once, a nudge that keeps it; Resonance (default
    // 20) twice, a double click that resets it.
    for (auto [kx, ky, clicks] : {std::tuple{172, 468, 1}, std::tuple{172, 534, 2}}) {
        e.moveTo(kx, ky);
        x.press();
        for (int dy = 4; dy <= 40; dy += 4) e.moveTo(kx, ky + dy);
        x.release();
        e.moveTo(kx, ky);
        for (int i = 0; i < clicks; ++i) x.click();
    }
    // Pan (0..127, at 64): three notches up. EQ low gain (0..24, at 12): one.
    e.moveTo(456, 534);
    x.wheel(3);
    e.moveTo(993, 155);
    x.wheel(1);
    // Input is handled in order: once a menu opened, all of the above was seen.
    e.clickAt(76, 500);
    ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }, kDeadline));
    x.key(XK_Escape);
    const auto params = e.stop();
    EXPECT_LT(params.at(kFilterCutoff), 127);
    EXPECT_EQ(params.at(kFilterResonance), 20);
    EXPECT_EQ(params.at(kAmpPan), 67);
    EXPECT_EQ(params.at(kEQLowGain), 13);
}
