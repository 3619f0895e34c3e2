// ctest-labels: x11
// The editor's panel keeps following the instrument while one of its menus
// or its text entry is open: the instrument turns the Cutoff knob through a
// JACK port, and the knob on the screen turns before the menu or the entry
// is closed. On a bare Xvfb and under Openbox, in halvoran-host.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "editor_window.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

constexpr int kDeadline = 30000;
constexpr unsigned char kCutoffCC = 74;

using guitest::EditorWindow;
using Clock = std::chrono::steady_clock;

}  // namespace

TEST(EditorModalMidi, TheKnobFollowsTheInstrumentWithAMenuOrTheTextEntryOpen) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    hvtest::MidiPeer instrument;
    const int in = instrument.inMenuIndex();
    ASSERT_GT(in, 0);

    struct Case {
        const char* what;
        int x, y;  // where a click opens it
        std::function<bool(hvtest::XProbe&, EditorWindow&)> open;
    } cases[] = {
        {"the Filter Type menu", 76, 500, [](hvtest::XProbe&, EditorWindow& e) { return e.menuOpen(); }},
        {"the program name's text entry", 590, 11,
         [](hvtest::XProbe& x, EditorWindow& e) { return !x.popups().empty() && !e.menuOpen(); }},
    };
    for (auto wm : {hvtest::XvfbServer::WindowManager::Bare, hvtest::XvfbServer::WindowManager::Openbox}) {
        hvtest::XvfbServer server(1280, 1024, wm);
        ASSERT_TRUE(server.ok()) << server.log();
        hvtest::XProbe x(server.display());
        const char* desktop = wm == hvtest::XvfbServer::WindowManager::Bare ? "bare" : "Openbox";
        for (const Case& c : cases) {
            EditorWindow e(x, "legacy", "--set 467=2 --set 428=" + std::to_string(in), nullptr, false,
                           server.display());
            ASSERT_TRUE(e.ready()) << desktop;
            auto knob = [&] { return e.capture(148, 444, 48, 48).pixels; };
            // The knob as drawn and settled: the window can show before the
            // panel has drawn it, and an undrawn knob would pass for a turned
            // one below.
            std::vector<uint32_t> atRest;
            ASSERT_TRUE(hvtest::waitUntil(
                [&] {
                    atRest = knob();
                    return std::adjacent_find(atRest.begin(), atRest.end(), std::not_equal_to<>()) != atRest.end() &&
                           knob() == atRest;
                },
                kDeadline))
                << desktop << "; " << e.diagnosis();
            // The port is open once the knob answers.
            ASSERT_TRUE(hvtest::waitUntil(
                [&] {
                    instrument.send({0xB0, kCutoffCC, 0});
                    return knob() != atRest;
                },
                kDeadline))
                << desktop << ", the instrument as input " << in << "; " << e.diagnosis();
            ASSERT_TRUE(hvtest::waitUntil([&] { return knob() == knob(); }, kDeadline));

            e.clickAt(c.x, c.y);
            ASSERT_TRUE(hvtest::waitUntil([&] { return c.open(x, e); }, kDeadline)) << c.what << ", " << desktop;
            const auto before = knob();
            std::atomic<bool> turning{true};
            const auto turned = Clock::now();
            std::thread turn([&] {
                // All the way round in about two seconds.
                for (unsigned char v = 1; v <= 127; ++v) {
                    instrument.send({0xB0, kCutoffCC, v});
                    std::this_thread::sleep_for(std::chrono::milliseconds(16));
                }
                turning = false;
            });
            std::set<std::vector<uint32_t>> seen{before};
            std::vector<uint32_t> last = before;
            double firstMs = -1;
            const bool followed = hvtest::waitUntil(
                [&] {
                    const auto now = knob();
                    if (!c.open(x, e)) return false;
                    last = now;
                    if (seen.insert(now).second && firstMs < 0)
                        firstMs = std::chrono::duration<double, std::milli>(Clock::now() - turned).count();
                    return !turning && now != before;
                },
                kDeadline);
            turn.join();
            size_t moved = 0;
            for (size_t i = 0; i < last.size() && i < before.size(); ++i) moved += last[i] != before[i];
            std::printf("%s, %s: %zu knob images, %zu px changed while it was open; the first after %.0f ms\n", c.what,
                        desktop, seen.size() - 1, moved, firstMs);
            EXPECT_TRUE(followed) << c.what << ", " << desktop;
            EXPECT_TRUE(c.open(x, e)) << c.what << ", " << desktop;
            x.key(XK_Escape);
            EXPECT_TRUE(hvtest::waitUntil([&] { return x.popups().empty(); }, kDeadline)) << c.what << ", " << desktop;
        }
    }
}
