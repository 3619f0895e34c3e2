// halvoran-host quits with its JACK server stopped, as one stuck on a stale
// lock is: idle, and while a request for all programs runs, by SIGTERM and
// by the window's close button. Quitting waits on the MIDI system for a
// second at most in all.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "editor_banks.h"
#include "editor_window.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/ScopedEnv.h"
#include "support/SysExFrame.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

using namespace guitest;
using Clock = std::chrono::steady_clock;

}  // namespace

TEST(EditorQuitStalled, QuittingWaitsASecondAtMostForAStoppedServer) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    // The server's name and the MIDI call limit as a user has them, for the
    // host and this process's clients; put back for the suites after.
    hvtest::ScopedEnv serverName("JACK_DEFAULT_SERVER", ""), limit("HALVORAN_MIDI_CALL_LIMIT_MS", "3000");
    for (bool requesting : {false, true}) {
        for (bool byCloseButton : {false, true}) {
            const std::string what = std::string(requesting ? "during a request-all" : "idle") +
                                     (byCloseButton ? ", the window closed" : ", SIGTERM");
            // A server of its own each time, which goes before these
            // clients: they find it gone and are kept.
            std::unique_ptr<hvtest::MidiPeer> peer;
            std::unique_ptr<hvtest::JackParty> watch;
            hvtest::JackServer jack("hvqstall");
            ASSERT_TRUE(jack.start()) << what;
            peer = std::make_unique<hvtest::MidiPeer>("hvqstall");
            watch = std::make_unique<hvtest::JackParty>(hvtest::uniqueClientName("hvqwatch"));
            const int in = peer->inMenuIndex(), out = peer->outMenuIndex();
            ASSERT_GT(in, 0) << what;
            ASSERT_GT(out, 0) << what;
            auto connected = [&](const std::string& port) {
                jack_port_t* p = jack_port_by_name(watch->client(), port.c_str());
                return p && jack_port_connected(p) > 0;
            };
            EditorWindow e(x, "legacy",
                           "--set 467=0 --set 428=" + std::to_string(in) + " --set 427=" + std::to_string(out));
            ASSERT_TRUE(e.ready()) << what;
            ASSERT_TRUE(
                hvtest::waitUntil([&] { return connected(peer->inName()) && connected(peer->outName()); }, 30000))
                << what;
            if (requesting) {
                // MENU › Request Patch Data › All Patches from Memory.
                chooseFromBankMenu(e, x, 0, 0, 3, 1);
                ASSERT_TRUE(hvtest::waitUntil(
                    [&] {
                        for (const auto& m : peer->receive(1, std::chrono::milliseconds(50)))
                            if (hvtest::isRequest(m, 0x10)) return true;
                        return false;
                    },
                    30000))
                    << what << "; " << e.diagnosis();
            }
            jack.pause();
            const auto asked = Clock::now();
            // A second for the MIDI system, and the rest of quitting.
            EXPECT_TRUE(e.quit(byCloseButton, 3000)) << what << "; " << e.diagnosis();
            std::printf("%s: the host ended %.2f s after it was asked to quit\n", what.c_str(),
                        std::chrono::duration<double>(Clock::now() - asked).count());
            EXPECT_FALSE(e.stop().empty()) << what << ": the host did not end in order";
            // A server that went on after a client left during the stop
            // answered no more in these runs: the next one takes its place.
            jack.endAtOnce();
        }
    }
    // One that ends by itself gives the place back for good.
    hvtest::JackServer last("hvqstall");
    EXPECT_TRUE(last.start());
}
