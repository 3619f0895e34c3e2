// The editor's port menus whatever the MIDI system does: there is none, it
// stops answering (a JACK server stopped by SIGSTOP holds every call of its
// clients, as one stuck on a stale lock does), or it answers. The panel
// starts and closes all the same, the menus say what is wrong, and the
// editor's own ports are never offered.
// ctest-labels: tsan
#include "core_port_menus.h"
#include "framework/IMidiPorts.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using coretest::Bytes;
using coretest::Peer;
using namespace std::chrono_literals;
using Titles = std::vector<std::string>;

// The ports of every client, as the peer sees them.
Titles everyonesPorts(Peer& peer) { return peer.allPorts(); }

long editorsPorts(const Titles& ports) {
    return std::count_if(ports.begin(), ports.end(),
                         [](const std::string& s) { return s.rfind("Brem Halvoran Editor", 0) == 0; });
}

// A JACK server of the test's own, paused and resumed at will, with this
// process's clients pointed at it while it lives. Editors made meanwhile
// keep the editor's own time limit.
struct OwnServer {
    std::string shared = hvtest::JackServer::shared().name();
    hvtest::JackServer server{"hvstall"};
    hvtest::ScopedEnv patience;
    explicit OwnServer(const char* limitMs = "3000") : patience("HALVORAN_MIDI_CALL_LIMIT_MS", limitMs) {
        server.start();
    }
    ~OwnServer() {
        server.resume();
        server.stop();
        setenv("JACK_DEFAULT_SERVER", shared.c_str(), 1);
    }
};

using MIDIPortMenus = coretest::PortMenuPanel;

TEST_F(MIDIPortMenus, NeverOfferTheEditorsOwnPortsNorAnythingWithoutAMIDISystem) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    {
        Peer peer;
        openPanel();
        ASSERT_TRUE(choosePort(kDeviceOutSelection, peer.inName()));
        ASSERT_TRUE(choosePort(kDeviceInSelection, peer.outName()));
        ASSERT_TRUE(editor->plug->isExternalMIDIOutOpen() && editor->plug->isExternalMIDIInOpen());
        // The editor's ports are there for everyone else to see...
        EXPECT_EQ(editorsPorts(everyonesPorts(peer)), 2) << ::testing::PrintToString(everyonesPorts(peer));
        // ...but never in its own menus.
        for (int paramIdx : {kDeviceInSelection, kDeviceOutSelection}) {
            const Titles& listed = clickMenu(paramIdx);
            EXPECT_GE(listed.size(), 2u);
            EXPECT_EQ(editorsPorts(listed), 0) << ::testing::PrintToString(listed);
        }
        closePanel();
    }

    hvtest::ScopedEnv nobody("JACK_DEFAULT_SERVER", "hv-nobody-answers");
    openPanel();
    for (int paramIdx : {kDeviceInSelection, kDeviceOutSelection}) {
        EXPECT_EQ(clickMenu(paramIdx, 1), (Titles{"Select MIDI Device", "No MIDI system found"}));
        EXPECT_EQ(editor->plug->GetParam(paramIdx)->Int(), 0);
    }
    EXPECT_FALSE(editor->plug->isExternalMIDIOutOpen() || editor->plug->isExternalMIDIInOpen());
}

TEST_F(MIDIPortMenus, ThePanelStartsAndClosesAndItsMenusFillWhateverTheServerDoes) {
    OwnServer own;
    ASSERT_TRUE(own.server.running());
    Peer peer("hvstall");
    own.server.pause();
    openPanel();
    const Titles notAnswering{"Select MIDI Device", "MIDI system not answering"};
    EXPECT_EQ(clickMenu(kDeviceOutSelection), notAnswering);
    EXPECT_EQ(editor->plug->externalMIDISystem(), MidiSystem::kNotAnswering);

    own.server.resume();
    ASSERT_TRUE(hvtest::waitUntil([&] { return editor->plug->externalMIDISystem() == MidiSystem::kAnswering; }, 60000));
    ASSERT_TRUE(choosePort(kDeviceOutSelection, peer.inName()));
    ASSERT_TRUE(choosePort(kDeviceInSelection, peer.outName()));
    EXPECT_TRUE(editor->plug->midiOutReady);

    // Stopped again with its ports open: the user quits. The ports go once
    // the server goes on.
    own.server.pause();
    closePanel();
    own.server.resume();
    EXPECT_TRUE(hvtest::waitUntil([&] { return editorsPorts(everyonesPorts(peer)) == 0; }, 60000));
}

// The server stops with the editor's ports open, and the editor's time limit
// is longer than any test runs: whatever waited on the server would hold
// the test for good. A port chosen and a knob turned meanwhile return at
// once; the port opens, and what the knob sent follows in order, once the
// server goes on. Stopped again during a request, the editor quits.
TEST_F(MIDIPortMenus, AStoppedServerHoldsNeitherAPortChoiceNorTheKnobsNorQuitting) {
    OwnServer own("600000");
    ASSERT_TRUE(own.server.running());
    Peer peer("hvstall"), other("hvstall");
    openPanel();
    ASSERT_TRUE(choosePort(kDeviceOutSelection, peer.inName()));
    ASSERT_TRUE(choosePort(kDeviceInSelection, peer.outName()));
    Halvoran* plug = editor->plug;
    const int otherIndex = editor->portIndex(kDeviceOutSelection, other.inName());
    ASSERT_GT(otherIndex, 0);

    own.server.pause();
    plug->SetParameterFromGUI(kDeviceOutSelection, plug->GetParam(kDeviceOutSelection)->ToNormalized(otherIndex));
    for (int v : {10, 20, 30}) plug->SetParameterFromGUI(kFilterCutoff, v / 127.0);
    EXPECT_EQ(plug->GetParam(kDeviceOutSelection)->Int(), otherIndex);
    own.server.resume();
    std::vector<Bytes> knob;
    for (const hvtest::TimedMidi& m : other.receiveTimed(3, 30s, 0xB0)) knob.push_back(m.bytes);
    EXPECT_EQ(knob, (std::vector<Bytes>{{0xB0, 74, 10}, {0xB0, 74, 20}, {0xB0, 74, 30}}));

    plug->SetParameterFromGUI(kRequestTempData, 1.0);
    ASSERT_FALSE(other.receive(1, 30s).empty());
    own.server.pause();
    closePanel();
    own.server.resume();
    EXPECT_TRUE(hvtest::waitUntil([&] { return editorsPorts(everyonesPorts(peer)) == 0; }, 60000));
}

// A port listed when the menu opened but gone when it is chosen: the panel
// says so and shows no port, and nothing is sent.
TEST_F(MIDIPortMenus, APortThatWillNotOpenIsToldOnThePanel) {
    auto gone = std::make_unique<Peer>();
    openPanel();
    clickMenu(kDeviceOutSelection);
    const int index = editor->portIndex(kDeviceOutSelection, gone->inName());
    ASSERT_GT(index, 0);
    gone.reset();
    Halvoran* plug = editor->plug;
    plug->SetParameterFromGUI(kDeviceOutSelection, plug->GetParam(kDeviceOutSelection)->ToNormalized(index));
    editor->awaitPorts();
    EXPECT_EQ(plug->GetParam(kDeviceOutSelection)->Int(), 0);
    EXPECT_EQ(status(), "MIDI port not opened! Choose it again.");
    EXPECT_FALSE(plug->midiOutReady);
    EXPECT_FALSE(plug->isExternalMIDIOutOpen());
}

#if defined(HV_EDITOR_HOST) && defined(HV_EDITOR_PLUGIN)
TEST_F(MIDIPortMenus, ListingTheParametersReturnsWhileTheServerIsStopped) {
    OwnServer own;
    ASSERT_TRUE(own.server.running());
    own.server.pause();
    hvtest::ProgramRun run =
        hvtest::runProgram(std::string("LSAN_OPTIONS=suppressions='") + HV_EDITOR_LSAN_SUPP + "' timeout 120 '" +
                           HV_EDITOR_HOST + "' --plugin '" + HV_EDITOR_PLUGIN + "' --list-params 2>&1");
    own.server.resume();
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\n427\tDevice Selection\t0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("MIDI: the MIDI system is not answering (the JACK server)"), std::string::npos) << run.out;
}
#endif

}  // namespace
