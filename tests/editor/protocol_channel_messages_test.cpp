// ctest-labels: tsan
// Short messages from the instrument: control changes with their lookups
// and value maps, NRPN data entry, local control, timbre selection, program
// changes, note echo, the input filters and the activity lamp.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core_fixture.h"
#include "protocol_bindings.h"
#include "src/PatchLibrarian.h"

namespace {

using coretest::Msg;

class ChannelMessages : public coretest::BareEditorTest {
protected:
    // A control on the CC map under (key, cc, type), bound to paramIdx.
    IControl* ccControl(int paramIdx, int key, int cc, int type) {
        IControl* c = nullptr;
        ControlAction* a = e->bind(paramIdx, ControlAction::kCC, &c);
        hvproto::registerCC(*plug->uiConfigManager, a, c, key, cc, type);
        return c;
    }
    IControl* nrpnControl(int paramIdx, int key, int msb, int lsb, int type) {
        IControl* c = nullptr;
        ControlAction* a = e->bind(paramIdx, ControlAction::kMsbLsb, &c);
        hvproto::registerNRPN(*plug->uiConfigManager, a, c, key, msb, lsb, type);
        return c;
    }
    void cc(int controller, int value, int channel = 0) { device(0xB0 | channel, controller, value); }
    void device(int status, int d1, int d2 = 0) {
        IMidiMsg m(0, static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2));
        plug->ProcessMidiMsg(&m, true);
    }
    double value(int paramIdx) const { return plug->GetParam(paramIdx)->Value(); }
};

TEST_F(ChannelMessages, ControlChangeMovesTheControlOfItsChannelAndTimbreWithoutEcho) {
    IControl* t1 = ccControl(kFilterCutoff, 3, 74, 0);      // channel 2 (key 3), timbre 1
    IControl* t2 = ccControl(kFilterCutoff + 1, 4, 74, 0);  // one key up: timbre 2
    cc(74, 100, 2);
    EXPECT_EQ(value(kFilterCutoff), 100);
    EXPECT_DOUBLE_EQ(t1->GetValue(), 100 / 127.0);
    plug->selectedTimbre = 1;
    cc(74, 30, 2);
    EXPECT_EQ(value(kFilterCutoff + 1), 30);
    EXPECT_EQ(value(kFilterCutoff), 100);
    EXPECT_DOUBLE_EQ(t2->GetValue(), 30 / 127.0);
    EXPECT_EQ(mgr->fromHost, 0);
    // The bound controls moved, the MIDI text followed, nothing went back.
    EXPECT_EQ(e->midiText(), "CC|74");
    EXPECT_TRUE(plug->takeSent().empty());
}

TEST_F(ChannelMessages, LookupOrderFallsBackToOtherTypesAndKeys) {
    ccControl(kAmpLevel, 0, 7, 1);  // key 0, type 1: the last resort
    cc(7, 90, 5);
    EXPECT_EQ(value(kAmpLevel), 90);
    ccControl(kAmpPan, 6, 10, 2);  // the channel's key, type 2
    cc(10, 20, 5);
    EXPECT_EQ(value(kAmpPan), 20);
    cc(11, 20, 5);  // nothing bound: nothing happens
    EXPECT_TRUE(plug->takeSent().empty());
}

TEST_F(ChannelMessages, NrpnDataEntryMapsTheVirtualPatchAndArpeggiatorSteps) {
    plug->GetParam(kVPatchSrc1)->InitEnum("Source", 0, 8);
    plug->GetParam(kArpType)->InitEnum("Arp Type", 0, 6);
    IControl* src = nrpnControl(kVPatchSrc1, 1, 4, 2, 0);
    nrpnControl(kArpType, 0, 0, 7, 1);  // no channel key: found under key 0
    cc(99, 4);
    cc(98, 2);
    cc(6, 36);
    EXPECT_EQ(mgr->nrpnMsb, 4);
    EXPECT_EQ(mgr->nrpnLsb, 2);
    EXPECT_EQ(value(kVPatchSrc1), 2);
    EXPECT_DOUBLE_EQ(src->GetValue(), 2 / 7.0);
    cc(6, 126);
    EXPECT_EQ(value(kVPatchSrc1), 7);
    cc(6, 5);  // not one of the steps: taken as it is
    EXPECT_EQ(value(kVPatchSrc1), 5);

    cc(99, 0);
    cc(98, 7);
    for (auto [data, type] : std::vector<std::pair<int, int>>{{26, 1}, {51, 2}, {77, 3}, {102, 4}, {127, 5}}) {
        cc(6, data);
        EXPECT_EQ(value(kArpType), type) << data;
    }
    EXPECT_TRUE(plug->takeSent().empty());
}

TEST_F(ChannelMessages, ControllerValueMaps) {
    plug->GetParam(kOsc1Waveform)->InitEnum("Osc1", 0, 8);
    plug->GetParam(kOsc2Waveform)->InitEnum("Osc2", 0, 3);
    plug->GetParam(kFilterType)->InitEnum("Filter", 0, 4);
    ccControl(kOsc1Waveform, 1, 77, 0);
    ccControl(kOsc2Waveform, 1, 78, 0);
    ccControl(kFilterType, 1, 83, 0);
    struct Case {
        int cc, data, param;
        double want;
    } cases[] = {{77, 18, kOsc1Waveform, 1}, {77, 126, kOsc1Waveform, 7}, {77, 0, kOsc1Waveform, 0},
                 {78, 64, kOsc2Waveform, 1}, {78, 127, kOsc2Waveform, 2}, {83, 43, kFilterType, 1},
                 {83, 85, kFilterType, 2},   {83, 127, kFilterType, 3}};
    for (const Case& c : cases) {
        cc(c.cc, c.data);
        EXPECT_EQ(value(c.param), c.want) << c.cc << " " << c.data;
    }
}

TEST_F(ChannelMessages, DelaySyncNoteBandsWhileTempoSyncIsOn) {
    plug->GetParam(kDelayFxSyncNote)->InitEnum("Sync Note", 0, 15);
    ccControl(kDelayFxSyncNote, 0, 13, 0);
    ccControl(kDelayFxTime, 0, 13, 1);
    plug->GetParam(kDelayFxTempoSync)->Set(1);
    const std::vector<std::pair<int, int>> bands = {{119, 13}, {127, 14}, {8, 0},    {9, 1},    {17, 1},
                                                    {18, 2},   {60, 7},   {102, 11}, {103, 12}, {120, 14}};
    for (auto [data, index] : bands) {
        cc(13, data);
        EXPECT_EQ(value(kDelayFxSyncNote), index) << data;
    }
    plug->GetParam(kDelayFxTempoSync)->Set(0);
    cc(13, 99);  // without tempo sync: the delay time, as CC 12
    EXPECT_EQ(value(kDelayFxTime), 99);
    EXPECT_EQ(value(kDelayFxSyncNote), 14);
}

TEST_F(ChannelMessages, WaveSampleControllerHalvesWithTheWaveSampleWaveform) {
    ccControl(kOsc1Control1, 1, 15, 0);
    ccControl(kOsc1DWGSWave, 1, 15, 2);
    cc(15, 100);
    EXPECT_EQ(value(kOsc1Control1), 100);
    plug->GetParam(kOsc1Waveform)->Set(5);
    cc(15, 101);
    EXPECT_EQ(value(kOsc1DWGSWave), 50);
    EXPECT_EQ(value(kOsc1Control1), 100);
}

TEST_F(ChannelMessages, LocalControlDecidesTheNoteEcho) {
    ccControl(kGlobalLocalOn, 1, 86, 0);
    cc(86, 0);  // local control off: the editor plays the notes
    EXPECT_FALSE(plug->localControlOn);
    device(0x90, 60, 100);
    device(0xE0, 0, 64);
    device(0xD0, 30);
    EXPECT_EQ(plug->takeSent(), (std::vector<Msg>{{0x90, 60, 100}, {0xE0, 0, 64}, {0xD0, 30, 0}}));
    cc(86, 5);  // any value from 2 on counts as on
    EXPECT_TRUE(plug->localControlOn);
    EXPECT_EQ(value(kGlobalLocalOn), 1);
    device(0x90, 60, 100);
    device(0x80, 60, 0);
    EXPECT_TRUE(plug->takeSent().empty());
    EXPECT_FALSE(mgr->legacyDataEntry);
}

TEST_F(ChannelMessages, TimbreSelectionByController95SendsNothingBack) {
    plug->GetParam(kCommonMode)->Set(1);
    ccControl(kFilterCutoff, 1, 74, 0);
    cc(95, 127);
    EXPECT_EQ(value(kTimbreSelect), 1);
    EXPECT_EQ(plug->selectedTimbre, 1);
    EXPECT_EQ(plug->timbreViewMode, 1);
    EXPECT_EQ(value(kTimbreLinker), 0);
    EXPECT_FALSE(plug->sendSuppressed);
    cc(95, 1);
    EXPECT_EQ(value(kTimbreLinker), 1);
    cc(95, 0);
    EXPECT_EQ(value(kTimbreSelect), 0);
    EXPECT_EQ(plug->selectedTimbre, 0);
    EXPECT_EQ(value(kTimbreLinker), 0);
    EXPECT_TRUE(plug->takeSent().empty());

    // Without a common mode, CC 95 is an ordinary controller.
    plug->GetParam(kCommonMode)->Set(0);
    ccControl(kPortamento, 1, 95, 0);
    cc(95, 44);
    EXPECT_EQ(value(kPortamento), 44);
    EXPECT_EQ(value(kTimbreSelect), 0);
}

TEST_F(ChannelMessages, ProgramChangeFetchesTheProgramAndMovesTheSelection) {
    PatchLibrarian lib(plug);
    mgr->patchLibrarian = &lib;
    device(0xC0, 17);
    // kJobRequestPart was started for the panel; it asked the silent
    // instrument and gave up or is still waiting.
    EXPECT_EQ(mgr->sender->threadJobCode[MIDIMessageManager::kTransferThread], MIDIMessageSender::kJobRequestPart);
    EXPECT_TRUE(mgr->sender->toPanel);
    EXPECT_EQ(lib.selectedSlotUpper, 17);
    EXPECT_NE(mgr->lastProgramChangeTick, 0u);

    // While the request still runs, another program change moves the
    // selection; its start is dropped.
    ASSERT_TRUE(mgr->isRunning(MIDIMessageManager::kTransferThread));
    IMidiMsg again(0, 0xC0, 18, 0);
    mgr->ProcessMidiMsgFromDevice(&again);
    EXPECT_EQ(lib.selectedSlotUpper, 18);
    EXPECT_TRUE(mgr->isRunning(MIDIMessageManager::kTransferThread));
    // The request ends (and lets go of the librarian) before the librarian goes.
    plug->SetParameterFromGUI(kCancelDataRequest, 1.0);
    EXPECT_TRUE(mgr->waitForEnd(MIDIMessageManager::kTransferThread, 60000));
    mgr->patchLibrarian = nullptr;
}

TEST_F(ChannelMessages, ProgramChangeOnAnotherChannelIsIgnoredWhileThePartIsLocked) {
    PatchLibrarian lib(plug);
    mgr->patchLibrarian = &lib;
    plug->GetParam(kGlobalMIDICha)->Set(3);
    plug->GetParam(kPartLock)->Set(1);
    device(0xC5, 9);
    EXPECT_EQ(lib.selectedSlotUpper, 0);
    EXPECT_EQ(mgr->sender->threadJobCode[MIDIMessageManager::kTransferThread], MIDIMessageSender::kJobNone);
    device(0xC3, 9);  // the global channel passes
    EXPECT_EQ(lib.selectedSlotUpper, 9);
    // The request ends (and lets go of the librarian) before the librarian goes.
    plug->SetParameterFromGUI(kCancelDataRequest, 1.0);
    EXPECT_TRUE(mgr->waitForEnd(MIDIMessageManager::kTransferThread, 60000));
    mgr->patchLibrarian = nullptr;
}

TEST_F(ChannelMessages, FiltersDropTheirKindAndTheLampShowsIncomingActivity) {
    ccControl(kFilterCutoff, 1, 74, 0);
    plug->hwInputFilter[Halvoran::kFilterCC] = true;
    cc(74, 50);
    EXPECT_EQ(value(kFilterCutoff), 0);
    plug->hwInputFilter[Halvoran::kFilterCC] = false;
    plug->hwInputFilter[Halvoran::kFilterNote] = true;
    device(0x90, 60, 100);
    EXPECT_TRUE(plug->takeSent().empty());

    plug->trackIncoming = true;
    cc(74, 50, 4);  // not the global channel: no lamp
    EXPECT_EQ(plug->midiLampOn, 0);
    cc(74, 51, 0);
    EXPECT_EQ(plug->midiLampOn, 1);
    EXPECT_EQ(value(kMIDILed), 1);

    // While a panel dump is awaited every short message is dropped.
    mgr->awaitingPanelDump = true;
    cc(74, 52);
    EXPECT_EQ(value(kFilterCutoff), 51);
}

}  // namespace
