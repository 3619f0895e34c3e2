// ctest-labels: tsan
// A changed parameter becomes its bound MIDI: the repeat filter, the port
// check, the value maps, the MSB/LSB order, the echo guard and the program
// send of SysEx-bound controls.
#include "core_fixture.h"
#include "src/ControlDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using coretest::BareEditor;
using coretest::Msg;

Msg cc(int controller, int data, int channel = 0) { return {0xB0 | channel, controller, data}; }

// Sets the plain value and runs the panel's change handler.
void turn(BareEditor& e, int paramIdx, double plain) {
    e.plug->GetParam(paramIdx)->Set(plain);
    e.plug->OnParamChange(paramIdx);
}

TEST(CoreDispatch, SendsEachNewWholeValueOnceOnTheGlobalChannel) {
    BareEditor e;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC);
    a->ccNumber = 74;
    e.plug->GetParam(kGlobalMIDICha)->Set(5);

    turn(e, kFilterCutoff, 3.2);
    turn(e, kFilterCutoff, 3.9);  // the same whole value: nothing
    turn(e, kFilterCutoff, 0.0);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(74, 3, 5), cc(74, 0, 5)}));
    EXPECT_EQ(e.midiText(), "CC|74");
    EXPECT_EQ(a->lastSentValue, 0.0);
}

TEST(CoreDispatch, ValueMapsOfControlChanges) {
    BareEditor e;
    struct Case {
        int param;
        double value;
        int data;
    } cases[] = {
        {kDelayFxSyncNote, 0, 8},  {kDelayFxSyncNote, 1, 10}, {kDelayFxSyncNote, 14, 121}, {kOsc1DWGSWave, 20, 40},
        {kOsc1DWGSWave + 1, 3, 6}, {kOsc1Waveform, 8, 8},     {kOsc1Waveform + 1, 7, 126}, {kOsc2Waveform, 1, 64},
        {kOsc2Waveform, 2, 127},   {kFilterType, 1, 43},      {kLfo2Waveform + 1, 3, 127}, {kFilterType, 0, 0},
    };
    for (const Case& c : cases) {
        ControlAction* a = e.bind(c.param, ControlAction::kCC);
        a->ccNumber = 20;
        a->lastSentValue = -1.0;
        turn(e, c.param, c.value);
        EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(20, c.data)})) << c.param << " at " << c.value;
    }
}

TEST(CoreDispatch, ButtonsSendTheirOffOrOnValue) {
    BareEditor e;
    ControlAction* a = e.bind(kAmpDistSw, ControlAction::kCCTwoState);
    a->ccNumber = 90;
    a->offValue = 10;
    a->onValue = 100;
    e.plug->GetParam(kAmpDistSw)->InitDouble("", 0, 0, 1, 0.5);
    turn(e, kAmpDistSw, 0.5);  // any value but exactly 0 is on
    turn(e, kAmpDistSw, 1.0);
    turn(e, kAmpDistSw, 0.0);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(90, 100), cc(90, 100), cc(90, 10)}));
}

TEST(CoreDispatch, MsbLsbSetLeavesInOrderWithItsMaps) {
    BareEditor e;
    ControlAction* a = e.bind(kArpType, ControlAction::kMsbLsb);
    a->ccNumber = 6;
    a->msbValue = 0;
    a->lsbValue = 7;
    turn(e, kArpType, 3);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(99, 0), cc(98, 7), cc(6, 77)}));
    EXPECT_EQ(e.midiText(), "MSB/LSB");

    ControlAction* src = e.bind(kVPatchSrc2 + 1, ControlAction::kMsbLsb);
    src->ccNumber = 6;
    src->msbValue = 4;
    src->lsbValue = 1;
    turn(e, kVPatchSrc2 + 1, 2);
    ControlAction* latch = e.bind(kArpLatch, ControlAction::kMsbLsb);
    latch->ccNumber = 6;
    latch->msbValue = 0;
    latch->lsbValue = 3;
    turn(e, kArpLatch, 1);
    EXPECT_EQ(e.plug->takeSent(),
              (std::vector<Msg>{cc(99, 4), cc(98, 1), cc(6, 36), cc(99, 0), cc(98, 3), cc(6, 127)}));
}

TEST(CoreDispatch, KindNoneOnlyMovesTheControls) {
    BareEditor e;
    IControl* shown = nullptr;
    e.bind(kPortamento, ControlAction::kNone, &shown);
    e.plug->setMIDIText("before");
    turn(e, kPortamento, 127);
    EXPECT_TRUE(e.plug->takeSent().empty());
    EXPECT_DOUBLE_EQ(shown->GetValue(), 1.0);
    EXPECT_EQ(e.midiText(), "before");
}

TEST(CoreDispatch, WithoutAPortSaysSoExceptForThePortSelectors) {
    BareEditor e;
    e.plug->midiOutReady = false;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC);
    a->ccNumber = 74;
    turn(e, kFilterCutoff, 10);
    EXPECT_EQ(e.status(), "Set MIDI I/O First!");
    EXPECT_EQ(a->lastSentValue, -1.0);  // tried again once a port is open

    e.plug->setStatusText("");
    e.bind(kDeviceOutSelection, ControlAction::kNone);
    e.plug->processControlAction(e.plug->GetParam(kDeviceOutSelection)->GetControlAction(), kDeviceOutSelection, 0);
    EXPECT_EQ(e.status(), "");

    e.plug->midiOutReady = true;
    turn(e, kFilterCutoff, 10);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(74, 10)}));
}

TEST(CoreDispatch, ChangesFromTheInstrumentMoveControlsButSendNothing) {
    BareEditor e;
    IControl* knob = nullptr;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC, &knob);
    a->ccNumber = 74;
    e.plug->midiManager->awaitingPanelDump = true;
    e.plug->GetParam(kFilterCutoff)->Set(127);
    e.plug->OnParamChange2(kFilterCutoff);
    EXPECT_TRUE(e.plug->takeSent().empty());
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
    EXPECT_EQ(e.midiText(), "CC|74");
    EXPECT_FALSE(e.plug->echoGuard);
    EXPECT_FALSE(e.plug->midiManager->awaitingPanelDump);
}

TEST(CoreDispatch, LegacyMappedChangeWithLocalControlOnIsNotEchoed) {
    BareEditor e;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC);
    a->ccNumber = 74;
    e.plug->midiManager->legacyDataEntry = true;
    e.plug->localControlOn = true;
    e.plug->midiManager->fromHost = 1;  // nothing from the instrument yet: the gate is open
    turn(e, kFilterCutoff, 1);
    e.plug->midiManager->fromHost = 0;
    turn(e, kFilterCutoff, 2);
    e.plug->localControlOn = false;
    turn(e, kFilterCutoff, 3);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(74, 1), cc(74, 3)}));
}

TEST(CoreDispatch, TimbreLinkerMovesThePartnerAndSendsItsBinding) {
    BareEditor e;
    IControl* partnerKnob = nullptr;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC);
    a->ccNumber = 74;
    a->link = LinkInfo{{kFilterCutoff + 1, kFilterCutoff + 1, -1}};
    ControlAction* b = e.bind(kFilterCutoff + 1, ControlAction::kCC, &partnerKnob);
    b->ccNumber = 75;
    e.plug->GetParam(kTimbreLinker)->Set(1);
    turn(e, kFilterCutoff, 64);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(75, 64), cc(74, 64)}));
    EXPECT_EQ(e.plug->GetParam(kFilterCutoff + 1)->Value(), 64);
    EXPECT_NEAR(partnerKnob->GetValue(), 64 / 127.0, 1e-9);
    EXPECT_FALSE(e.plug->linking);

    // A link that names no second parameter moves nothing.
    a->link = LinkInfo{{kFilterCutoff + 1, -1, -1}};
    turn(e, kFilterCutoff, 65);
    EXPECT_EQ(e.plug->takeSent(), (std::vector<Msg>{cc(74, 65)}));
}

TEST(CoreDispatch, QueuedForTheHostBufferWhileThatRoutingIsOn) {
    BareEditor e;
    ControlAction* a = e.bind(kFilterCutoff, ControlAction::kCC);
    a->ccNumber = 74;
    e.plug->GetParam(kMIDIFilterToDAWBuffer)->Set(1);
    e.plug->OnParamChange(kMIDIFilterToDAWBuffer);
    EXPECT_TRUE(e.plug->routeToDAWBuffer);
    EXPECT_EQ(e.plug->GetParam(kMIDIFilterDirectToHardware)->Value(), 0.0);
    turn(e, kFilterCutoff, 9);
    EXPECT_TRUE(e.plug->takeSent().empty());
    EXPECT_EQ(e.plug->midiQueue.ToDo(), 1);

    e.plug->GetParam(kMIDIFilterDirectToHardware)->Set(1);
    e.plug->OnParamChange(kMIDIFilterDirectToHardware);
    EXPECT_FALSE(e.plug->routeToDAWBuffer);
    EXPECT_EQ(e.plug->GetParam(kMIDIFilterToDAWBuffer)->Value(), 0.0);
}

TEST(CoreDispatch, SysExBoundControlStartsTheProgramJobUnlessOneRuns) {
    BareEditor e;
    ControlAction* a = e.bind(kSeq1Step1, ControlAction::kSysEx);
    e.plug->globalSent = false;
    turn(e, kSeq1Step1, 5);
    EXPECT_TRUE(e.plug->globalSent);
    EXPECT_TRUE(e.plug->postSendRefresh);
    EXPECT_TRUE(e.plug->midiManager->isRunning(MIDIMessageManager::kTransferThread));
    EXPECT_EQ(e.plug->midiManager->sender->jobCode, MIDIMessageSender::kJobSendArrangement);
    EXPECT_TRUE(e.plug->takeSent().empty());

    // While the job runs a second program send is dropped; the refresh flag
    // is set all the same.
    e.plug->postSendRefresh = false;
    turn(e, kSeq1Step1, 6);
    EXPECT_TRUE(e.plug->postSendRefresh);
    EXPECT_EQ(a->lastSentValue, 6.0);
}

// The value line names a listed value by its text, the arpeggiator tempo in
// beats per minute, and anything else (or a value past its list) as a number.
TEST(CoreDispatch, ValueLineShowsListTextsTempoAndPlainNumbers) {
    BareEditor e;
    auto& lists = e.plug->uiConfigManager->valueLists;
    lists["filterType"] = {"24LPF", "12LPF", "12BPF", "12HPF"};
    for (int i = 0; i <= 280; ++i) lists["tempoValues"].push_back(std::to_string(20 + i));
    auto shown = [&] { return std::string(e.plug->valueTextControl->GetTextString()); };

    ControlDisplay::controlDisplay(e.plug.get(), kFilterType + 1, 2);  // the second timbre's copy
    EXPECT_EQ(shown(), "12BPF");
    ControlDisplay::controlDisplay(e.plug.get(), kArpTempo, 100);
    EXPECT_EQ(shown(), "120");
    ControlDisplay::controlDisplay(e.plug.get(), kArpTempo, 280);
    EXPECT_EQ(shown(), "300");
    lists["filterType"].resize(2);
    ControlDisplay::controlDisplay(e.plug.get(), kFilterType, 3);
    EXPECT_EQ(shown(), e.plug->GetParam(kFilterType)->GetDisplayForHost(3));
    EXPECT_FALSE(shown().empty());
}

}  // namespace
