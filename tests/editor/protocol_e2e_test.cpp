// ctest-labels: tsan
// The editor, as a host runs it, against the simulated instrument on real
// JACK ports: dumps that reach the panel and its status line, control
// changes, NRPN and parameter changes that move controls without echo, and a
// program chosen on the instrument that the editor fetches.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "core_component.h"
#include "protocol_bindings.h"
#include "framework/IControl.h"
#include "src/GlobalDump.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/ProgramDump.h"
#include "src/UIConfigManager.h"
#include "support/SimInstrument.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"

namespace {

using coretest::EditorInstance;
using hvtest::SimInstrument;
using namespace std::chrono_literals;

// Polls until done holds; a loaded machine gets all the time it needs.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    return hvtest::waitUntil(done, static_cast<int>(limit.count()), 5);
}

// A control that takes part in lookups and remembers its value.
class Probe : public IControl {
public:
    Probe(IUnitBase* plug, int paramIdx) : IControl(plug, IRECT(0, 0, 10, 10), paramIdx) {}
};

class ProtocolEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        sim = std::make_unique<SimInstrument>(0, "hvproto");
        editor = std::make_unique<EditorInstance>();
        ASSERT_NE(editor->plug, nullptr);
        plug = editor->plug;
        IText style;
        status = new ITextControl(plug, IRECT(0, 0, 200, 12), &style, "");
        plug->GetGUI()->AttachControl(status);
        plug->uiConfigManager->bindControl(kControlDisplayName, ControlAction::kNone, status);
        plug->statusTextControl = status;

        const int in = editor->listedPortIndex(kDeviceInSelection, sim->outPort());
        const int out = editor->listedPortIndex(kDeviceOutSelection, sim->inPort());
        ASSERT_GT(in, 0);
        ASSERT_GT(out, 0);
        editor->setParameter(kDeviceInSelection, static_cast<float>(in));
        editor->setParameter(kDeviceOutSelection, static_cast<float>(out));
        ASSERT_TRUE(sim->waitConnected());
        ASSERT_TRUE(plug->midiOutReady);
    }
    void TearDown() override {
        editor.reset();
        sim.reset();
    }

    // A control on the panel for paramIdx, bound with that kind.
    ControlAction* bind(int paramIdx, int kind, IControl** made = nullptr) {
        auto* c = new Probe(plug, paramIdx);
        plug->GetGUI()->AttachControl(c);
        if (made) *made = c;
        return plug->uiConfigManager->bindControl(paramIdx, kind, c);
    }
    double value(int paramIdx) const { return plug->GetParam(paramIdx)->Value(); }
    std::string statusText() const { return status->GetTextString(); }
    // Nothing reaches the instrument for a while.
    bool instrumentHearsNothing(std::chrono::milliseconds quiet = 600ms) {
        return !sim->waitFor([](const std::vector<SimInstrument::Message>& r) { return !r.empty(); }, quiet);
    }
    void requestProgram() {
        plug->midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                                    [this](MIDIMessageSender& s) {
                                        plug->midiManager->awaitingPanelDump = true;
                                        s.toPanel = true;
                                    });
    }

    hvtest::TempDataDir dir;
    std::unique_ptr<SimInstrument> sim;
    std::unique_ptr<EditorInstance> editor;
    Halvoran* plug = nullptr;
    ITextControl* status = nullptr;
};

TEST_F(ProtocolEndToEnd, ARequestedDumpReachesThePanelAndTheStatusLine) {
    sim->setName("Warm Pad");
    sim->setDataByte(kTimbre1Data + 20, 101);  // timbre 1's cutoff
    sim->setDataByte(kTimbre2Data + 25, 33);   // timbre 2's amp level
    sim->setDataByte(30, 0);                   // arpeggiator tempo 160 BPM
    sim->setDataByte(31, 160);
    requestProgram();
    ASSERT_TRUE(eventually([&] { return statusText() == "Data request completed!"; })) << statusText();
    EXPECT_EQ(value(kFilterCutoff), 101);
    EXPECT_EQ(value(kAmpLevel + 1), 33);
    EXPECT_EQ(value(kArpTempo), 140);
    EXPECT_STREQ(plug->GetParam(kPatchName)->GetDisplayText(0), "Warm Pad   ");  // the 0 after the name drops out
    EXPECT_EQ(sim->programRequestsAnswered(), 1);
    auto got = sim->received();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].bytes, (SimInstrument::Bytes{0xF0, 0x42, 0x30, 0x58, 0x10, 0xF7}));
}

TEST_F(ProtocolEndToEnd, ADumpOnAnotherChannelIsRefusedWithItsText) {
    const double before = value(kFilterCutoff);
    sim->setDataByte(kTimbre1Data + 20, 77);
    sim->setChannel(4);
    plug->midiManager->awaitingPanelDump = true;
    sim->sendProgramDump();
    ASSERT_TRUE(eventually([&] { return statusText() == "Global Channel Mismatch while patch request is on!"; }));
    EXPECT_EQ(value(kFilterCutoff), before);
    EXPECT_FALSE(plug->answered);
}

TEST_F(ProtocolEndToEnd, ControlChangesNrpnAndParameterChangesMoveControlsWithoutEcho) {
    IControl* cutoff = nullptr;
    ControlAction* a = bind(kFilterCutoff, ControlAction::kCC, &cutoff);
    hvproto::registerCC(*plug->uiConfigManager, a, cutoff, 1, 74, 0);

    IControl* source = nullptr;
    plug->GetParam(kVPatchSrc1)->InitEnum("Source", 0, 8);
    ControlAction* n = bind(kVPatchSrc1, ControlAction::kMsbLsb, &source);
    hvproto::registerNRPN(*plug->uiConfigManager, n, source, 1, 4, 0, 0);

    IControl* step = nullptr;
    bind(kSeq1Step2, ControlAction::kSysEx, &step);
    hvproto::registerParameterChange(*plug->uiConfigManager, step, 0x2A, 0x00);
    sim->clearReceived();

    sim->sendControlChange(74, 88);
    ASSERT_TRUE(eventually([&] { return value(kFilterCutoff) == 88; }));
    sim->sendNRPN(4, 0, 54);
    ASSERT_TRUE(eventually([&] { return value(kVPatchSrc1) == 3; }));
    sim->sendParameterChange(0x2A, 0x00, 127, 1);  // a step: 127 - 64
    ASSERT_TRUE(eventually([&] { return value(kSeq1Step2) == 63; }));
    sim->sendParameterChange(0x2A, 0x00, 10, 0);  // 10 + 64
    ASSERT_TRUE(eventually([&] { return value(kSeq1Step2) == 74; }));
    EXPECT_DOUBLE_EQ(cutoff->GetValue(), 88 / 127.0);
    EXPECT_DOUBLE_EQ(source->GetValue(), 3 / 7.0);
    EXPECT_TRUE(instrumentHearsNothing());
}

TEST_F(ProtocolEndToEnd, AProgramChosenOnTheInstrumentIsFetched) {
    sim->sendProgramChange(5);
    ASSERT_TRUE(eventually([&] { return statusText() == "Data request completed!"; })) << statusText();
    EXPECT_STREQ(plug->GetParam(kPatchName)->GetDisplayText(0), "Sim Prog 005");
    EXPECT_EQ(value(kFilterCutoff), sim->dataByte(kTimbre1Data + 20));
    EXPECT_EQ(sim->programRequestsAnswered(), 1);
    EXPECT_EQ(plug->patchLibrarian->selectedSlotUpper, 5);
}

}  // namespace

namespace {

TEST_F(ProtocolEndToEnd, GlobalDataAndTheCurrentProgramGoToTheInstrument) {
    editor->setParameter(kMasterTranspose, 14);
    editor->setParameter(kGlobalLocalOn, 1);
    plug->GetParam(kFilterCutoff)->Set(55);
    plug->GetParam(kPatchName)->SetDisplayText(0, "To The Synth");

    plug->globalSent = false;
    plug->midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendGlobal);
    ASSERT_TRUE(eventually([&] { return sim->globalDumpsTaken() == 1; }));
    EXPECT_TRUE(plug->globalSent);
    EXPECT_EQ(sim->globalDump()[2], 0x30);
    EXPECT_EQ(sim->globalDump()[11], 0x04);  // local control on, no write protection
    // The transposition travels as its signed distance from the middle of
    // its range.
    const int offset = 14 - globalZeroPoint(UnitDumpParams(*plug), kMasterTranspose);
    EXPECT_EQ(sim->globalDump()[7], offset & 0x7F);
    EXPECT_EQ((sim->globalDump()[5] >> 1) & 1, offset < 0 ? 1 : 0);

    ASSERT_TRUE(eventually([&] { return !plug->midiManager->isRunning(MIDIMessageManager::kTransferThread); }));
    plug->midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement,
                                [](MIDIMessageSender& s) { s.applyLocally = false; });
    ASSERT_TRUE(eventually([&] { return sim->programDumpsTaken() == 1; }));
    EXPECT_EQ(sim->name(), "To The Synth");
    EXPECT_EQ(sim->dataByte(kTimbre1Data + 20), 55);
}

}  // namespace
