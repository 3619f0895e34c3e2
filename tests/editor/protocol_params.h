#pragma once
// A parameter table for the dump tests: values, ranges, and the order in
// which a parser set them.
#include <algorithm>
#include <array>
#include <vector>

#include "src/HalvoranParams.h"
#include "src/ProgramDump.h"

namespace hvproto {

class FakeParams : public DumpParams {
public:
    FakeParams() {
        lo.fill(0.0);
        hi.fill(127.0);
        v.fill(0.0);
    }
    double value(int i) const override { return inside(i) ? v[i] : 0.0; }
    void set(int i, double plain) override {
        if (!inside(i)) return;
        v[i] = std::clamp(plain, lo[i], hi[i]);
        order.push_back(i);
    }
    void bounds(int i, double& l, double& h) const override {
        l = inside(i) ? lo[i] : 0.0;
        h = inside(i) ? hi[i] : 0.0;
    }
    void range(int i, double l, double h) {
        lo[i] = l;
        hi[i] = h;
        v[i] = std::clamp(v[i], l, h);
    }
    // Both timbres' copies.
    void rangeT(int i, double l, double h) {
        range(i, l, h);
        range(i + 1, l, h);
    }
    bool wasSet(int i) const { return std::find(order.begin(), order.end(), i) != order.end(); }

    std::array<double, kNumParams> v, lo, hi;
    std::vector<int> order;

private:
    static bool inside(int i) { return i >= 0 && i < kNumParams; }
};

// The ranges a panel gives the program and global parameters (every
// minimum 0).
inline void programRanges(FakeParams& p) {
    p.range(kArpLength, 0, 7);
    for (int i = 0; i < 8; ++i) p.range(kArpStep1 + i, 0, 1);
    p.range(kCommonMode, 0, 3);
    p.range(kDelayFxSyncNote, 0, 14);
    p.range(kDelayFxTempoSync, 0, 1);
    p.range(kDelayFxType, 0, 2);
    p.range(kModFxType, 0, 2);
    p.range(kEQHiFreq, 0, 29);
    p.range(kEQLowFreq, 0, 29);
    p.range(kEQHiGain, 0, 24);
    p.range(kEQLowGain, 0, 24);
    p.range(kArpTempo, 0, 280);
    p.range(kArpKeySync, 0, 1);
    p.range(kArpTarget, 0, 2);
    p.range(kArpLatch, 0, 1);
    p.range(kArpOnOff, 0, 1);
    p.range(kArpType, 0, 5);
    p.range(kArpRange, 0, 3);
    p.range(kArpGate, 0, 127);
    p.range(kArpReso, 0, 5);
    p.range(kArpSwing, 0, 200);
    p.range(kOctaveShift, 0, 6);
    p.rangeT(kTimbreChannel, 0, 16);
    p.rangeT(268, 0, 5);
    p.rangeT(kVoiceTrigger, 0, 1);
    p.rangeT(kEG1Reset, 0, 1);
    p.rangeT(kEG2Reset, 0, 1);
    p.rangeT(kVoiceAssign, 0, 2);
    p.rangeT(kDetune, 0, 99);
    p.rangeT(kTimbreTune, 0, 100);
    p.rangeT(kTimbreBendRange, 0, 24);
    p.rangeT(kTimbreTranspose, 0, 48);
    p.rangeT(kOsc1Waveform, 0, 7);
    p.rangeT(kOsc1DWGSWave, 0, 63);
    p.rangeT(kOsc2Waveform, 0, 2);
    p.rangeT(kOsc2OscMod, 0, 3);
    p.rangeT(kFilterType, 0, 3);
    p.rangeT(kAmpDistSw, 0, 1);
    p.rangeT(kAmpGateSw, 0, 1);
    p.rangeT(kLfo1Waveform, 0, 3);
    p.rangeT(kLfo2Waveform, 0, 3);
    p.rangeT(kLfo1KeySync, 0, 2);
    p.rangeT(kLfo2KeySync, 0, 2);
    p.rangeT(kLfo1SyncNote, 0, 14);
    p.rangeT(kLfo2SyncNote, 0, 14);
    p.rangeT(kLfo1TempoSync, 0, 1);
    p.rangeT(kLfo2TempoSync, 0, 1);
    for (int i = 0; i < 4; ++i) {
        p.rangeT(kVPatchSrc1 + 2 * i, 0, 7);
        p.rangeT(kVPatchDest1 + 2 * i, 0, 7);
    }
    p.rangeT(kModSeqSwitch, 0, 1);
    p.rangeT(kModSeqResolution, 0, 14);
    p.rangeT(kModSeqRunMode, 0, 1);
    p.rangeT(kModSeqKeySync, 0, 2);
    p.rangeT(kModSeqType, 0, 3);
    p.rangeT(kModSeqLastStep, 0, 15);
    p.range(kOverrideTempo, 0, 1);
    for (int lock = kSectionLockOsc1; lock <= kSectionLockCommon; ++lock) p.range(lock, 0, 1);
    p.range(kGlobalMIDICha, 0, 15);
    p.range(kMasterTune, 0, 100);
    p.range(kMasterTranspose, 0, 24);
    p.range(kMasterPosition, 0, 1);
    p.range(kMasterVelocityArea, 0, 8);
    p.range(kMasterVelocityValue, 0, 127);
    p.range(kGlobalLocalOn, 0, 1);
    p.range(kGlobalClockSource, 0, 2);
    for (int i = kMIDIFilterProgramChange; i <= kMIDIFilterWriteProtect; ++i) p.range(i, 0, 1);
}

}  // namespace hvproto
