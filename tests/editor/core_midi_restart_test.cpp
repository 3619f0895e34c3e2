// The MIDI system under the editor goes away and comes back: a JACK server
// killed while the editor's ports are open, then started again. The panel
// says the port went away, and its port menus, asking the system afresh
// when they open, let the user choose the ports again.
// ctest-labels: tsan
#include "core_port_menus.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using coretest::Bytes;
using coretest::EditorInstance;
using coretest::Peer;
using namespace std::chrono_literals;

// Points this process's JACK clients at a server of its own while it lives,
// and back at the shared one afterwards.
struct OwnServer {
    std::string shared = hvtest::JackServer::shared().name();
    hvtest::JackServer server{"hvrestart"};
    ~OwnServer() {
        server.stop();
        setenv("JACK_DEFAULT_SERVER", shared.c_str(), 1);
    }
};

using MIDIRestart = coretest::PortMenuPanel;

TEST_F(MIDIRestart, AKilledServerIsToldAndThePortsAreChosenAgainWhenItIsBack) {
    OwnServer own;
    ASSERT_TRUE(own.server.start());
    auto first = std::make_unique<Peer>("hvrestart");
    openPanel();
    ASSERT_TRUE(choosePort(kDeviceOutSelection, first->inName())) << ::testing::PrintToString(shown);
    ASSERT_TRUE(choosePort(kDeviceInSelection, first->outName()));
    Halvoran* plug = editor->plug;
    ASSERT_TRUE(plug->midiOutReady);
    ASSERT_TRUE(plug->midiInOutSet);

    // The server goes while the host keeps running the editor.
    own.server.stop();
    ASSERT_TRUE(hvtest::waitUntil(
        [&] {
            editor->render();
            return status() == "MIDI port lost! Choose it again.";
        },
        30000));
    EXPECT_FALSE(plug->midiOutReady);
    EXPECT_FALSE(plug->midiInOutSet);
    EXPECT_EQ(plug->GetParam(kDeviceOutSelection)->Int(), 0);
    EXPECT_EQ(plug->GetParam(kDeviceInSelection)->Int(), 0);
    // The project still names the ports it had.
    platform::cf::PropertyDict state;
    ASSERT_EQ(editor->instance.getState(&state), platform::au::kNoErr);
    const Bytes& data = *state.getData("data");
    const std::string port = first->inName();
    EXPECT_NE(std::search(data.begin(), data.end(), port.begin(), port.end()), data.end());

    // Back again: the menus list the ports the server has now.
    ASSERT_TRUE(own.server.start());
    Peer again("hvrestart");
    ASSERT_TRUE(choosePort(kDeviceOutSelection, again.inName())) << ::testing::PrintToString(shown);
    ASSERT_TRUE(choosePort(kDeviceInSelection, again.outName())) << ::testing::PrintToString(shown);
    EXPECT_TRUE(plug->midiOutReady);
    EXPECT_TRUE(plug->isExternalMIDIOutOpen());
    EXPECT_TRUE(plug->isExternalMIDIInOpen());
    IMidiMsg probe(0, 0xB0, 7, 99);
    bool arrived = false;
    for (int i = 0; i < 100 && !arrived; ++i) {
        plug->SendMidiMsg(&probe);
        for (const Bytes& m : again.receive(1, 100ms)) arrived = arrived || m == Bytes{0xB0, 7, 99};
    }
    EXPECT_TRUE(arrived);
    // The peer's clients belong to the server that went: closed, they would
    // crash the JACK library, as the editor's would. Kept for good.
    static auto* gone = new std::vector<Peer*>;
    gone->push_back(first.release());
}

TEST_F(MIDIRestart, AnEditorWhoseServerWentAwayClosesWithoutTouchingIt) {
    OwnServer own;
    ASSERT_TRUE(own.server.start());
    auto peer = std::make_unique<Peer>("hvrestart");
    openPanel();
    ASSERT_TRUE(choosePort(kDeviceOutSelection, peer->inName()));
    ASSERT_TRUE(choosePort(kDeviceInSelection, peer->outName()));
    own.server.stop();
    ASSERT_TRUE(hvtest::waitUntil([&] { return editor->plug->externalMIDILost(); }, 30000));
    // The host closes the editor before anything was chosen again.
    shownEditor.reset();
    static auto* gone = new std::vector<Peer*>;
    gone->push_back(peer.release());
}

// A sequencer of another program, whose port the editor's input reads.
class Sequencer {
public:
    explicit Sequencer(const std::string& name) {
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ != 0) return;
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        execlp("jack_midiseq", "jack_midiseq", name.c_str(), "24000", "0", "60", "8000", static_cast<char*>(nullptr));
        _exit(127);
    }
    ~Sequencer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

// libjack frees every client of the process at the next open once any
// client's link broke, as a client the server turned away breaks it. The
// editor never touches its freed clients: it makes them again.
TEST_F(MIDIRestart, ALinkBrokenElsewhereInTheProcessLeavesTheEditorWhole) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    const std::string seq = hvtest::uniqueClientName("hvseq");
    Sequencer sequencer(seq);
    auto dropped = std::make_unique<hvtest::JackParty>(hvtest::uniqueClientName("hvdropped"));
    ASSERT_TRUE(dropped->opened());
    ASSERT_TRUE(hvtest::waitUntil([&] { return dropped->hasPort(seq + ":out"); }, 20000));
    openPanel();
    clickMenu(kDeviceInSelection);
    ASSERT_NE(std::find(shown.begin(), shown.end(), seq + ":out"), shown.end());

    dropped->breakLink();
    ASSERT_TRUE(hvtest::waitUntil([&] { return !dropped->linkSound(); }, 10000));
    hvtest::keepForGood(dropped);
    // Choosing the port opens a client, which sweeps the process's clients.
    ASSERT_TRUE(choosePort(kDeviceInSelection, seq + ":out"));
    EXPECT_TRUE(editor->plug->isExternalMIDIInOpen());
    EXPECT_EQ(editor->plug->GetParam(kDeviceInSelection)->Int(), editor->portIndex(kDeviceInSelection, seq + ":out"));
    clickMenu(kDeviceInSelection);
    EXPECT_NE(std::find(shown.begin(), shown.end(), seq + ":out"), shown.end());
    editor->render();
    EXPECT_NE(status(), "MIDI port lost! Choose it again.");
}

}  // namespace
