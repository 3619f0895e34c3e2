// ctest-labels: tsan
// The program randomizer on fixed random tables: the fold, the rows and
// their coded rules, the locks, and the panel button around them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "core_fixture.h"
#include "shim/shim.h"
#include "src/MIDIMessageManager.h"

namespace {

constexpr int kVoiceMode = 268;

class Randomizer : public ::testing::Test {
protected:
    Randomizer() : mgr(ed.plug->midiManager) {}
    Halvoran& plug() { return *ed.plug; }
    IParam* param(int i) { return plug().GetParam(i); }
    double value(int i) { return param(i)->Value(); }
    void range(int i, double lo, double hi, double def = 0.0) { param(i)->InitDouble("", def, lo, hi, 1); }
    void fill(int v) {
        for (int& e : plug().randomTable) e = v;
    }
    void lockAll(bool on) {
        for (int i = kSectionLockOsc1; i <= kSectionLockCommon; ++i) param(i)->Set(on ? 1.0 : 0.0);
    }
    std::vector<double> snapshot() {
        std::vector<double> v;
        for (int i = 0; i < kNumParams; ++i) v.push_back(value(i));
        return v;
    }

    coretest::BareEditor ed;
    MIDIMessageManager* mgr;
};

TEST_F(Randomizer, FoldSubtractsTheMaximumNotTheWidth) {
    range(kFilterCutoff, 0, 127);
    range(kAmpDistSw, 0, 1);
    struct Case {
        int param, entry, expected;
    } cases[] = {
        {kFilterCutoff, 200, 73}, {kFilterCutoff, 255, 1}, {kFilterCutoff, 128, 1}, {kFilterCutoff, 127, 127},
        {kFilterCutoff, 0, 0},    {kAmpDistSw, 6, 0},      {kAmpDistSw, 7, 1},      {kAmpDistSw, 255, 1},
    };
    for (const Case& c : cases) {
        plug().randomTable[5] = c.entry;
        EXPECT_EQ(mgr->randomizer(c.param, 5), c.expected) << c.param << " " << c.entry;
    }
    // The minimum is not added: a range that starts below 0 folds on its width.
    range(kEQHiGain, -12, 12);
    plug().randomTable[0] = 30;
    EXPECT_EQ(mgr->randomizer(kEQHiGain, 0), 18);
}

TEST_F(Randomizer, FoldEndsOnAMaximumOfZeroOrLess) {
    // Subtracting such a maximum would never bring the draw into range.
    range(kFilterCutoff, -12, 0);
    param(kFilterResonance)->InitDouble("", 0, 0, 0, 0);
    range(kAmpPan, -20, -5);
    for (int entry : {0, 7, 12, 13, 200, 255}) {
        plug().randomTable[3] = entry;
        int v = mgr->randomizer(kFilterCutoff, 3);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 12);
        EXPECT_EQ(mgr->randomizer(kFilterResonance, 3), 0);
        v = mgr->randomizer(kAmpPan, 3);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 15);
    }
    // And the whole pass ends with such ranges on its coded source.
    range(kAmpLevel, -1, 0);
    fill(255);
    mgr->randomizePatchSettings(0);
    mgr->randomizePatchSettings(1);
}

TEST_F(Randomizer, GeneratorSeedsWithTheTimeAndFillsBytes) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        time_t before = std::time(nullptr);
        mgr->randomGenerator();
        if (std::time(nullptr) != before) continue;  // a second ticked over: the seed is unknown
        std::srand(static_cast<unsigned>(before));
        for (int i = 0; i < Halvoran::kRandomTableSize; ++i) {
            ASSERT_EQ(plug().randomTable[i], std::rand() % 256) << i;
            ASSERT_LE(plug().randomTable[i], 255);
        }
        return;
    }
    FAIL() << "the clock kept ticking over";
}

TEST_F(Randomizer, EveryLockOnChangesNothing) {
    lockAll(true);
    for (int i = 0; i < kSectionLockOsc1; ++i) param(i)->Set(3);
    const std::vector<double> before = snapshot();
    for (int entry : {0, 16, 64, 120, 255}) {
        fill(entry);
        mgr->randomizePatchSettings(0);
        mgr->randomizePatchSettings(1);
        EXPECT_EQ(snapshot(), before) << entry;
    }
}

TEST_F(Randomizer, PlainRowsDrawTheirOwnSlotIntoTheirOwnRange) {
    // Timbre 1 slots; each entry its slot number plus 60, folded by 0..127.
    for (int i = 0; i < Halvoran::kRandomTableSize; ++i) plug().randomTable[i] = (i + 60) % 256;
    range(kEQHiGain, -64, 64);
    range(kEQLowGain, -64, 64);
    range(kTimbreTune, -64, 64);
    range(kTimbreBendRange, -64, 64);
    range(kTimbreTranspose, -64, 64);
    range(kArpGate, 0, 127);
    mgr->randomizePatchSettings(0);
    EXPECT_EQ(value(kDelayFxSyncNote), 60);
    EXPECT_EQ(value(kDelayFxType), 63);
    EXPECT_EQ(value(kModFxType), 66);
    EXPECT_EQ(value(kEQHiFreq), 67);
    EXPECT_EQ(value(kEQHiGain), 68 - 52);
    EXPECT_EQ(value(kEQLowGain), 70 - 52);
    EXPECT_DOUBLE_EQ(value(kArpGate), 72 * 1.27);  // not rounded
    EXPECT_EQ(value(kArpType), 113);
    EXPECT_EQ(value(kTimbreTune), 76 - 14);
    EXPECT_EQ(value(kTimbreBendRange), 77 - 52);
    EXPECT_EQ(value(kTimbreTranspose), 78 - 40);
    EXPECT_EQ(value(kFilterCutoff), 92);
    EXPECT_EQ(value(kAmpDistSw), 111);
    EXPECT_EQ(value(kArpLength), (251 + 60) % 256);
    EXPECT_EQ(value(kModSeqSwitch), 122);
    // Timbre 1 draws both LFO waveforms from one entry.
    EXPECT_EQ(value(kLfo1Waveform), 114);
    EXPECT_EQ(value(kLfo2Waveform), 114);
    // Timbre 2 and the shared rows are untouched by timbre 1's pass.
    EXPECT_EQ(value(kFilterCutoff + 1), 0);
    EXPECT_EQ(value(kLfo1TempoSync + 1), 0);

    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kFilterCutoff + 1), 88 + 60 - 127);
    EXPECT_EQ(value(kLfo1Waveform + 1), 109 + 60 - 127);
    EXPECT_EQ(value(kLfo2Waveform + 1), 113 + 60 - 127);
    EXPECT_EQ(value(kEG2Sustain + 1), 106 + 60 - 127);
    EXPECT_EQ(value(kLfo2TempoSync + 1), 115 + 60 - 127);
    // The shared rows stay as timbre 1 left them.
    EXPECT_EQ(value(kDelayFxType), 63);
    EXPECT_EQ(value(kArpLength), (251 + 60) % 256);
}

TEST_F(Randomizer, TimbreTwoFoldsByTheFirstTimbresRangeAndWritesItsCopy) {
    range(kFilterCutoff, 0, 63);
    range(kFilterCutoff + 1, 0, 127);
    plug().randomTable[88] = 100;
    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kFilterCutoff + 1), 37);
    EXPECT_EQ(value(kFilterCutoff), 0);
}

TEST_F(Randomizer, CodedRules) {
    struct Case {
        int entry;
        int param;
        double expected;
    } cases[] = {
        // A: steps 1 and 3 off for 5.
        {5, kArpStep1, 0},
        {5, kArpStep2, 1},
        {5, kArpStep3, 0},
        {5, kArpStep4, 1},
        {5, kArpStep7, 1},
        {127, kArpStep7, 0},
        {64, kArpStep7, 0},
        {64, kArpStep6, 1},
        // B
        {31, kArpRange, 0},
        {32, kArpRange, 1},
        {63, kArpRange, 1},
        {64, kArpRange, 2},
        {127, kArpRange, 3},
        // D
        {15, kOsc2OscMod, 0},
        {16, kOsc2OscMod, 1},
        {47, kOsc2OscMod, 2},
        {48, kOsc2OscMod, 3},
        {127, kOsc2OscMod, 3},
        // E
        {40, kOsc2Semitone, 0},
        {41, kOsc2Semitone, 3},
        {64, kOsc2Semitone, 64},
        {87, kOsc2Semitone, 123},
        {88, kOsc2Semitone, 127},
        // F
        {15, kLfo1KeySync, 0},
        {16, kLfo1KeySync, 1},
        {32, kLfo1KeySync, 2},
        {48, kLfo2KeySync, 0},
        {31, kLfo2KeySync, 1},
        // G
        {0x35, kVPatchSrc1, 5},
        {0x35, kVPatchDest1, 3},
        {127, kVPatchSrc4, 15},
        {127, kVPatchDest4, 7},
        // Gate switch
        {63, kAmpGateSw, 0},
        {64, kAmpGateSw, 1},
        {65, kAmpGateSw, 1},
        {66, kAmpGateSw, 0},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < kSectionLockOsc1; ++i) param(i)->Set(9);
        fill(c.entry);
        mgr->randomizePatchSettings(0);
        EXPECT_EQ(value(c.param), c.expected) << "entry " << c.entry << " param " << c.param;
    }
}

TEST_F(Randomizer, VirtualPatchAboveTheSourceRangeGoesToDestinationSeven) {
    range(kAmpLevel, 0, 200);
    plug().randomTable[117] = 130;
    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kVPatchSrc1 + 1), 18);
    EXPECT_EQ(value(kVPatchDest1 + 1), 7);
}

TEST_F(Randomizer, LfoOneTempoSyncOnlyInTheSecondTimbre) {
    plug().randomTable[105] = 16;
    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kLfo1TempoSync + 1), 1);
    plug().randomTable[105] = 17;
    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kLfo1TempoSync + 1), 0);
}

TEST_F(Randomizer, VoiceGroup) {
    auto group = [&](int t) {
        return std::vector<double>{value(kVoiceAssign + t), value(kVoiceMode + t), value(kVoiceTrigger + t),
                                   value(kEG1Reset + t), value(kEG2Reset + t)};
    };
    auto run = [&](int t, int v) {
        for (int i : {int(kVoiceAssign), kVoiceMode, int(kVoiceTrigger), int(kEG1Reset), int(kEG2Reset)})
            param(i + t)->Set(9);
        plug().randomTable[t == 0 ? 14 : 69] = v;
        mgr->randomizePatchSettings(t);
        return group(t);
    };
    using V = std::vector<double>;
    // assign, mode, trigger, eg1 reset, eg2 reset
    EXPECT_EQ(run(0, 120), (V{1, 0, 0, 1, 1}));
    EXPECT_EQ(run(1, 120), (V{1, 0, 1, 1, 1}));
    EXPECT_EQ(run(0, 26), (V{0, 2, 1, 1, 0}));  // 16 + 8 + 2: taken by both
    EXPECT_EQ(run(1, 26), (V{0, 2, 1, 1, 0}));
    EXPECT_EQ(run(0, 3), (V{0, 0, 0, 0, 0}));   // C above 2: zeros only
    EXPECT_EQ(run(0, 2), (V{0, 0, 0, 0, 0}));   // below 16: not taken by timbre 1
    EXPECT_EQ(run(1, 2), (V{0, 2, 0, 0, 0}));   // taken by timbre 2
    EXPECT_EQ(run(0, 98), (V{1, 2, 0, 0, 1}));  // 64 + 32 + 2
    EXPECT_EQ(run(0, 72), (V{1, 0, 0, 0, 0}));  // not taken; assign still follows 64..127
    EXPECT_EQ(run(1, 72), (V{1, 0, 1, 0, 0}));
    EXPECT_EQ(run(1, 123), (V{0, 0, 0, 0, 0}));  // above 122: zeros
    // Timbre 1's assignment is not zeroed first; 9 only moves through the
    // "set last" rule.
    param(kSectionLockFilterEnv)->Set(1.0);
    EXPECT_EQ(run(0, 120), (V{1, 0, 0, 9, 1}));
    param(kSectionLockVoice)->Set(1.0);
    EXPECT_EQ(run(0, 120), (V{9, 9, 9, 9, 1}));
    param(kSectionLockAmpEnv + 1)->Set(1.0);
    EXPECT_EQ(run(1, 120), (V{1, 0, 1, 1, 9}));
}

TEST_F(Randomizer, DWGSWaveOnlyWhenTheWaveformNowHoldsFive) {
    range(kOsc1Waveform, 0, 5);
    range(kOsc1DWGSWave, 0, 63);
    param(kOsc1DWGSWave)->Set(11);
    plug().randomTable[20] = 3;
    plug().randomTable[23] = 40;
    mgr->randomizePatchSettings(0);
    EXPECT_EQ(value(kOsc1Waveform), 3);
    EXPECT_EQ(value(kOsc1DWGSWave), 11);
    plug().randomTable[20] = 5;
    mgr->randomizePatchSettings(0);
    EXPECT_EQ(value(kOsc1Waveform), 5);
    EXPECT_EQ(value(kOsc1DWGSWave), 40);
}

TEST_F(Randomizer, LocksGateTheirSections) {
    fill(100);
    for (int i = 0; i < kSectionLockOsc1; ++i) param(i)->Set(9);
    param(kSectionLockCommon)->Set(1.0);
    param(kSectionLockFilter)->Set(1.0);    // timbre 1 only
    param(kSectionLockLFO2 + 1)->Set(1.0);  // timbre 2 only
    param(kSectionLockEQ)->Set(1.0);
    param(kSectionLockMixer)->Set(0.99);  // only exactly 1.0 locks
    mgr->randomizePatchSettings(0);
    mgr->randomizePatchSettings(1);
    EXPECT_EQ(value(kPortamento), 9);
    EXPECT_EQ(value(kPortamento + 1), 9);
    EXPECT_EQ(value(kFilterCutoff), 9);
    EXPECT_EQ(value(kFilterCutoff + 1), 100);
    EXPECT_EQ(value(kLfo2Frequency), 100);
    EXPECT_EQ(value(kLfo2Frequency + 1), 9);
    EXPECT_EQ(value(kEQHiFreq), 9);
    EXPECT_EQ(value(kOsc1Level), 100);
    EXPECT_EQ(value(kLfo1Frequency + 1), 100);
}

TEST_F(Randomizer, ButtonActsOnlyOnTheProgramTabs) {
    param(kMainTab)->Set(0);
    param(kRandomize)->Set(1);
    param(kFilterCutoff)->Set(9);
    plug().OnParamChange(kRandomize);
    EXPECT_EQ(value(kFilterCutoff), 9);
    EXPECT_NE(ed.status(), "Patch Randomized");

    // Every lock on: nothing moves, but the program is still sent and the
    // read-back armed.
    lockAll(true);
    param(kMainTab)->Set(1);
    param(kRandomize)->Set(1);
    const std::vector<double> before = snapshot();
    plug().OnParamChange(kRandomize);
    EXPECT_EQ(ed.status(), "Patch Randomized");
    EXPECT_EQ(value(kRandomize), 0);
    EXPECT_TRUE(plug().readBackPending);
    std::vector<double> after = snapshot();
    after[kRandomize] = 1;
    EXPECT_EQ(after, before);
    for (int i = 0; i < 100 && mgr->isRunning(MIDIMessageManager::kTransferThread); ++i) Sleep(20);
}

}  // namespace
