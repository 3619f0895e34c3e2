// ctest-labels: tsan
// The audio callback as the editor's MIDI clock: queued messages at their
// sample offsets, the one All Notes Off after a reset, the host's tempo and
// transport; and Reset with its texts on the lines of a panel built from a
// test panel description.
#include "core_component.h"
#include "core_fixture.h"

#include <gtest/gtest.h>

namespace {

using coretest::BareEditor;
using coretest::EditorInstance;
using coretest::Msg;
using namespace std::chrono_literals;

void callback(BareEditor& e, int frames) { e.plug->ProcessDoubleReplacing(nullptr, nullptr, frames); }

void queue(BareEditor& e, int offset, int data) {
    IMidiMsg m(offset, 0xB0, 1, data);
    e.plug->MIDIOutRoutingSwitch(&m);
}

void routeToHostBuffer(BareEditor& e) {
    e.plug->GetParam(kMIDIFilterToDAWBuffer)->Set(1);
    e.plug->OnParamChange(kMIDIFilterToDAWBuffer);
}

TEST(CoreAudio, QueuedMessagesLeaveAtTheirSampleOffsets) {
    BareEditor e;
    routeToHostBuffer(e);
    queue(e, 600, 2);
    queue(e, 0, 1);
    queue(e, 601, 3);

    callback(e, 512);  // offset 0 leaves at sample 0
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{{0xB0, 1, 1}}));
    callback(e, 88);  // 600 is sample 88 of this block: not yet
    EXPECT_TRUE(e.plug->takeSent().empty());
    callback(e, 1);  // now at sample 0; 601 follows at the next
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{{0xB0, 1, 2}}));
    callback(e, 1);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{{0xB0, 1, 3}}));
    EXPECT_EQ(e.plug->midiQueue.ToDo(), 0);
}

TEST(CoreAudio, MessagesLeftWaitingWhenTheRoutingIsTurnedOffAreDropped) {
    BareEditor e;
    routeToHostBuffer(e);
    queue(e, 10, 1);
    e.plug->GetParam(kMIDIFilterDirectToHardware)->Set(1);
    e.plug->OnParamChange(kMIDIFilterDirectToHardware);
    callback(e, 64);
    EXPECT_TRUE(e.plug->takeSent().empty());
    EXPECT_EQ(e.plug->midiQueue.ToDo(), 0);
}

TEST(CoreAudio, TwoResetsSendAllNotesOffOnceWhileTheTransportStands) {
    BareEditor e;
    e.plug->Reset();
    e.plug->Reset();
    callback(e, 64);
    callback(e, 64);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{{0xB0, 123, 0}}));
    // Without a port it waits for one.
    e.plug->Reset();
    e.plug->midiOutReady = false;
    callback(e, 64);
    EXPECT_TRUE(e.plug->allNotesOffPending);
    e.plug->midiOutReady = true;
    callback(e, 64);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{{0xB0, 123, 0}}));
}

TEST(CoreAudio, ResetSizesTheQueueForTheBlock) {
    BareEditor e;
    e.plug->setBlock(100);
    e.plug->Reset();
    EXPECT_EQ(e.plug->midiQueue.GetGrowthStep(), 512);
    EXPECT_EQ(e.plug->queueDelay, 100);
    e.plug->setBlock(513);
    e.plug->Reset();
    EXPECT_EQ(e.plug->midiQueue.GetGrowthStep(), 1024);
    EXPECT_EQ(e.plug->midiQueue.GetSize(), 1024);
    EXPECT_EQ(e.plug->queueDelay, 100);  // set once
}

TEST(CoreAudio, PendingPanelRefreshesWaitForTheTransfer) {
    BareEditor e;
    e.plug->postSendRefresh = true;
    e.plug->transferBusy = true;
    callback(e, 64);
    EXPECT_TRUE(e.plug->postSendRefresh);
    e.plug->transferBusy = false;
    callback(e, 64);
    EXPECT_FALSE(e.plug->postSendRefresh);

    e.plug->pendingTimbreLink = true;
    e.plug->allNotesOffPaused = false;
    callback(e, 64);
    EXPECT_FALSE(e.plug->pendingTimbreLink);
    EXPECT_EQ(e.plug->timbreViewMode, 2);
    EXPECT_EQ(e.plug->GetParam(kTimbreSelect)->Value(), 1.0);
    EXPECT_EQ(e.plug->GetParam(kTimbreLinker)->Value(), 1.0);
    EXPECT_EQ(e.plug->selectedTimbre, 1);
}

// ---- Through the host, with its transport and tempo.

class CoreHostTime : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hvtest::JackServer::shared().running()); }
    hvtest::TempDataDir dir;
    coretest::PanelBundle bundle{dir.path()};
};

std::string textOf(const ITextControl* c) { return c ? c->GetTextString() : "(no control)"; }

TEST_F(CoreHostTime, ResetPutsItsTextsOnThePanelsLinesAndLogsUnlessARecallRuns) {
    {
        EditorInstance e;
        Halvoran* p = e.plug;
        ASSERT_NE(p, nullptr);
        // The lines are the panel's own.
        EXPECT_EQ(p->statusTextControl, p->firstBoundControl(kControlDisplayName));
        EXPECT_EQ(p->valueTextControl, p->firstBoundControl(kControlDisplayValue));
        EXPECT_EQ(p->midiTextControl, p->firstBoundControl(kControlDisplayCC));
        EXPECT_EQ(p->timbreTextControl, p->firstBoundControl(kControlDisplayTimbre));
        p->setStatusText("anything");
        ASSERT_EQ(e.instance.reset(), platform::au::kNoErr);
        EXPECT_EQ(textOf(p->statusTextControl), "Brem Halvoran Plug-in");
        EXPECT_EQ(textOf(p->valueTextControl), "1.0.0");
        EXPECT_EQ(textOf(p->midiTextControl), "---");
        EXPECT_EQ(textOf(p->timbreTextControl), "SINGLE");
    }

    dir.write("Halvoran LOG.txt", "");
    EditorInstance e(512, 44100.5);
    Halvoran* p = e.plug;
    ASSERT_TRUE(p->debugLogOn);
    EXPECT_EQ(textOf(p->valueTextControl), " 04-Feb-2020");
    EXPECT_EQ(textOf(p->midiTextControl), "1.0.0");
    ASSERT_TRUE(p->flushLog());
    const std::string log = dir.read("Halvoran LOG.txt");
    EXPECT_NE(log.find("\t RESET: Host sample rate 44100.5Hz\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\t RESET: plug-in 1.0.0\n"), std::string::npos) << log;

    // During a recall: no text, no line.
    p->setStatusText("busy");
    p->transferBusy = true;
    e.instance.reset();
    EXPECT_EQ(textOf(p->statusTextControl), "busy");
    ASSERT_TRUE(p->flushLog());
    EXPECT_EQ(dir.read("Halvoran LOG.txt"), log);
    p->transferBusy = false;
}

TEST_F(CoreHostTime, HostTempoGoesToTheArpeggiatorOnceAPortIsOpen) {
    dir.write("Halvoran LOG.txt", "");
    coretest::Peer peer;
    EditorInstance e;
    e.setParameter(kOverrideTempo, 1);
    e.setParameter(kArpTempo, 50);
    e.transport.setTempo(120.7);
    e.render();
    EXPECT_EQ(e.plug->GetParam(kArpTempo)->Value(), 50);  // no port yet
    e.choosePorts(peer);
    e.render();
    EXPECT_EQ(e.plug->GetParam(kArpTempo)->Value(), 100);
    e.transport.setTempo(140.2);
    e.render();
    EXPECT_EQ(e.plug->GetParam(kArpTempo)->Value(), 120);
    e.transport.setTempo(140.9);  // the same whole tempo: nothing new
    e.render();
    ASSERT_TRUE(e.plug->flushLog());
    const std::string log = dir.read("Halvoran LOG.txt");
    EXPECT_NE(log.find("\t PROCESSOR: Host tempo synced to 120BPM\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\t PROCESSOR: Host tempo synced to 140BPM\n"), std::string::npos) << log;
    size_t first = log.find("out of sync");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("out of sync", first + 1), std::string::npos);
    EXPECT_EQ(log.find("synced to 140BPM", log.find("synced to 140BPM") + 1), std::string::npos);
}

TEST_F(CoreHostTime, TransportEdgesStartTheClockJobsButNotThroughTheHostBuffer) {
    EditorInstance e;
    e.setParameter(kMIDIFilterToDAWBuffer, 1);
    e.transport.setPlaying(true);
    e.render();
    EXPECT_TRUE(e.plug->wasRunning);
    EXPECT_FALSE(e.plug->clockStartSent);
    // Turning the routing off during the run starts nothing until the next run.
    e.setParameter(kMIDIFilterDirectToHardware, 1);
    e.render();
    EXPECT_FALSE(e.plug->clockStartSent);
    e.transport.setPlaying(false);
    e.render();
    e.transport.setPlaying(true);
    e.render();
    EXPECT_TRUE(e.plug->clockStartSent);
    e.transport.setPlaying(false);
    e.render();
    EXPECT_FALSE(e.plug->clockStartSent);
    EXPECT_FALSE(e.plug->wasRunning);
}

TEST_F(CoreHostTime, LatencyLineWhileMessagesGoThroughTheHostBuffer) {
    EditorInstance e(1024);
    ITextControl* line = e.plug->latencyTextControl;
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line, e.plug->firstBoundControl(kControlDisplayMIDIOutDelay));
    e.setParameter(kMIDIFilterToDAWBuffer, 1);
    e.setParameter(kAdjustDAWOffset, 0);
    e.render();
    EXPECT_EQ(line->GetTextString(), "21ms|1024bfr");  // 1024 samples at 48 kHz
    e.plug->queueDelay = 0;
    e.render();
    EXPECT_EQ(line->GetTextString(), "0ms|1024bfr");
}

}  // namespace
