// The program randomizer: a table of random bytes, folded into each
// parameter's range, written section by section in the program dump's order.
#include <cstdlib>
#include <ctime>

#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"

namespace {

// How a row turns its draw into values.
enum ERule {
    kPlain,          // v
    kMinus52,        // v - 52
    kMinus40,        // v - 40
    kMinus14,        // v - 14
    kTimes127,       // v * 1.27, not rounded
    kArpSteps,       // steps 1..7 on, bit k-1 of v turns step k off
    kArpRangeBand,   // 32..63 -> 1, 64..95 -> 2, 96..127 -> 3
    kVoiceGroup,     // assign, voice mode, trigger and both resets from one draw
    kOscModBand,     // 0..15 -> 0, 16..31 -> 1, 32..47 -> 2, above -> 3
    kSemitoneList,   // the semitone table
    kKeySyncBand,    // 16..31 -> 1, 32..47 -> 2
    kVirtualPatch,   // source v mod 16, destination v div 16
    kGateSwitch,     // 1 for 64 or 65
    kTempoSyncOn16,  // 1 for exactly 16
    kDWGSWave,       // v, only while the oscillator's waveform is 5
};

// No lock: the row is never skipped.
constexpr int kNoLock = -1;

struct Row {
    int lock;         // lock parameter for timbre 1; per-timbre locks add the timbre
    bool sharedLock;  // one lock for both timbres
    int param;        // timbre 1 index; the range is always read here
    int slot1;        // table slot for timbre 1, -1: no such row in that pass
    int slot2;        // table slot for timbre 2, -1: no such row in that pass
    ERule rule;
    int param2 = -1;  // second parameter of a virtual patch (destination)
};

// The dump's order, which matters once: the DWGS wave reads the waveform
// drawn just before it.
const Row kRows[] = {
    {kSectionLockArp, true, kArpLength, 251, -1, kPlain},
    {kSectionLockArp, true, kArpStep1, 250, -1, kArpSteps},
    {kSectionLockFX2, true, kDelayFxSyncNote, 0, -1, kPlain},
    {kSectionLockFX2, true, kDelayFxTime, 1, -1, kPlain},
    {kSectionLockFX2, true, kDelayFxDepth, 2, -1, kPlain},
    {kSectionLockFX2, true, kDelayFxType, 3, -1, kPlain},
    {kSectionLockFX1, true, kModFxSpeed, 4, -1, kPlain},
    {kSectionLockFX1, true, kModFxDepth, 5, -1, kPlain},
    {kSectionLockFX1, true, kModFxType, 6, -1, kPlain},
    {kSectionLockEQ, true, kEQHiFreq, 7, -1, kPlain},
    {kSectionLockEQ, true, kEQHiGain, 8, -1, kMinus52},
    {kSectionLockEQ, true, kEQLowFreq, 9, -1, kPlain},
    {kSectionLockEQ, true, kEQLowGain, 10, -1, kMinus52},
    {kSectionLockArp, true, kArpRange, 11, -1, kArpRangeBand},
    {kSectionLockArp, true, kArpType, 53, -1, kPlain},
    {kSectionLockArp, true, kArpGate, 12, -1, kTimes127},
    {kSectionLockArp, true, kArpReso, 13, -1, kPlain},
    {kNoLock, false, kVoiceAssign, 14, 69, kVoiceGroup},
    {kSectionLockUnisono, false, kDetune, 15, 70, kPlain},
    {kSectionLockVoice, false, kTimbreTune, 16, 71, kMinus14},
    {kSectionLockVoice, false, kTimbreBendRange, 17, 72, kMinus52},
    {kSectionLockVoice, false, kTimbreTranspose, 18, 73, kMinus40},
    {kSectionLockPitchMod, false, kVibratoInt, 19, 74, kPlain},
    {kSectionLockOsc1, false, kOsc1Waveform, 20, 75, kPlain},
    {kSectionLockOsc1, false, kOsc1Control1, 21, 76, kPlain},
    {kSectionLockOsc1, false, kOsc1Control2, 22, 77, kPlain},
    {kSectionLockOsc1, false, kOsc1DWGSWave, 23, 78, kDWGSWave},
    {kSectionLockOsc2, false, kOsc2OscMod, 24, 79, kOscModBand},
    {kSectionLockOsc2, false, kOsc2Waveform, 52, 80, kPlain},
    {kSectionLockOsc2, false, kOsc2Semitone, 25, 81, kSemitoneList},
    {kSectionLockOsc2, false, kOsc2Tune, 26, 82, kPlain},
    {kSectionLockCommon, true, kPortamento, 27, 83, kPlain},
    {kSectionLockMixer, false, kOsc1Level, 28, 84, kPlain},
    {kSectionLockMixer, false, kOsc2Level, 29, 85, kPlain},
    {kSectionLockMixer, false, kNoiseLevel, 30, 86, kPlain},
    {kSectionLockFilter, false, kFilterType, 31, 87, kPlain},
    {kSectionLockFilter, false, kFilterCutoff, 32, 88, kPlain},
    {kSectionLockFilter, false, kFilterResonance, 33, 89, kPlain},
    {kSectionLockFilter, false, kFilterEGIntensity, 34, 90, kPlain},
    {kSectionLockFilter, false, kFilterVeloSense, 35, 91, kPlain},
    {kSectionLockFilter, false, kFilterKBDTrack, 36, 92, kPlain},
    {kSectionLockAmp, false, kAmpLevel, 37, 93, kPlain},
    {kSectionLockAmp, false, kAmpPan, 38, 94, kPlain},
    {kSectionLockAmpEnv, false, kAmpGateSw, 39, 95, kGateSwitch},
    {kSectionLockAmp, false, kAmpDistSw, 51, 96, kPlain},
    {kSectionLockAmp, false, kAmpVeloSense, 40, 97, kPlain},
    {kSectionLockAmp, false, kAmpKBDTrack, 41, 98, kPlain},
    {kSectionLockFilterEnv, false, kEG1Attack, 42, 99, kPlain},
    {kSectionLockFilterEnv, false, kEG1Decay, 43, 100, kPlain},
    {kSectionLockFilterEnv, false, kEG1Sustain, 44, 101, kPlain},
    {kSectionLockFilterEnv, false, kEG1Release, 45, 102, kPlain},
    {kSectionLockAmpEnv, false, kEG2Attack, 46, 103, kPlain},
    {kSectionLockAmpEnv, false, kEG2Decay, 47, 104, kPlain},
    {kSectionLockLFO1, false, kLfo1TempoSync, -1, 105, kTempoSyncOn16},
    {kSectionLockAmpEnv, false, kEG2Sustain, 48, 106, kPlain},
    {kSectionLockAmpEnv, false, kEG2Release, 49, 107, kPlain},
    {kSectionLockLFO1, false, kLfo1KeySync, 50, 108, kKeySyncBand},
    {kSectionLockLFO1, false, kLfo1Waveform, 54, 109, kPlain},
    {kSectionLockLFO1, false, kLfo1Frequency, 55, 110, kPlain},
    {kSectionLockLFO1, false, kLfo1SyncNote, 56, 111, kPlain},
    {kSectionLockLFO2, false, kLfo2KeySync, 57, 112, kKeySyncBand},
    {kSectionLockLFO2, false, kLfo2Waveform, 54, 113, kPlain},
    {kSectionLockLFO2, false, kLfo2Frequency, 58, 114, kPlain},
    {kSectionLockLFO2, false, kLfo2TempoSync, -1, 115, kPlain},
    {kSectionLockLFO2, false, kLfo2SyncNote, 59, 116, kPlain},
    {kSectionLockVP1, false, kVPatchSrc1, 60, 117, kVirtualPatch, kVPatchDest1},
    {kSectionLockVP1, false, kVPatchAmnt1, 61, 118, kPlain},
    {kSectionLockArp, true, kModSeqSwitch, 62, -1, kPlain},
    {kSectionLockVP2, false, kVPatchSrc2, 63, 119, kVirtualPatch, kVPatchDest2},
    {kSectionLockVP2, false, kVPatchAmnt2, 64, 120, kPlain},
    {kSectionLockVP3, false, kVPatchSrc3, 65, 121, kVirtualPatch, kVPatchDest3},
    {kSectionLockVP3, false, kVPatchAmnt3, 66, 122, kPlain},
    {kSectionLockVP4, false, kVPatchSrc4, 67, 123, kVirtualPatch, kVPatchDest4},
    {kSectionLockVP4, false, kVPatchAmnt4, 68, 124, kPlain},
};

// kOsc2Semitone for draws 41..87.
const int kSemitones[47] = {3,  6,  8,  11, 14, 16,  19,  21,  24,  27,  29,  32,  34,  37,  40, 42,
                            45, 48, 50, 53, 55, 58,  61,  64,  66,  68,  71,  74,  76,  79,  81, 84,
                            87, 89, 92, 95, 97, 100, 102, 105, 108, 110, 113, 115, 118, 121, 123};

// The voice parameter between the voice assignment and the trigger.
constexpr int kVoiceMode = 268;

int band(int v, int lo, int width, int count) {
    if (v < lo) return 0;
    int b = (v - lo) / width + 1;
    return b > count ? 0 : b;
}

}  // namespace

void MIDIMessageManager::randomGenerator() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (int i = 0; i < Halvoran::kRandomTableSize; ++i) plug->randomTable[i] = std::rand() % 256;
}

int MIDIMessageManager::randomizer(int paramIdx, int slot) {
    IParam* p = plug->GetParam(paramIdx);
    if (!p || slot < 0 || slot >= Halvoran::kRandomTableSize) return 0;
    int v = plug->randomTable[slot];
    const int max = static_cast<int>(p->GetMax());
    const int span = static_cast<int>(p->GetMax() - p->GetMin());
    const int step = max == 1 ? 2 : max;
    if (step < 1) {
        // Subtracting a maximum of 0 or less would never end the fold: such
        // a range takes the draw modulo its width instead.
        return span >= 0 && v > span ? v % (span + 1) : v;
    }
    if (v > span) v -= ((v - span + step - 1) / step) * step;
    return v;
}

void MIDIMessageManager::randomizePatchSettings(int timbre) {
    if (!plug || timbre < 0 || timbre > 1) return;
    // All locks are read once, before anything moves.
    bool locked[kSectionLockCommon + 2] = {};
    for (int i = kSectionLockOsc1; i <= kSectionLockCommon; ++i) locked[i] = plug->GetParam(i)->Value() == 1.0;
    auto isLocked = [&](int lock, bool shared) { return lock != kNoLock && locked[shared ? lock : lock + timbre]; };
    auto set = [&](int paramIdx, double value) { plug->setParameterFromPlug(paramIdx, value); };
    auto level = [&](int slot) { return randomizer(kAmpLevel, slot); };

    for (const Row& row : kRows) {
        const int slot = timbre == 0 ? row.slot1 : row.slot2;
        if (slot < 0) continue;
        // Written to the timbre's copy, with the range of the first.
        const int target = row.param + timbre;
        if (row.rule == kVoiceGroup) {
            const bool voice = !isLocked(kSectionLockVoice, false);
            const bool eg1 = !isLocked(kSectionLockFilterEnv, false);
            const bool eg2 = !isLocked(kSectionLockAmpEnv, false);
            if (voice) {
                set(kVoiceMode + timbre, 0);
                set(kVoiceTrigger + timbre, 0);
                if (timbre == 1) set(kVoiceAssign + 1, 0);
            }
            if (eg1) set(kEG1Reset + timbre, 0);
            if (eg2) set(kEG2Reset + timbre, 0);
            const int v = level(slot);
            const int a = (v >> 6) & 1, e = (v >> 4) & 3, c = v & 7;
            int t = (v >> 3) & 1;
            bool taken;
            if (timbre == 1) {
                taken = v >= 0 && v <= 122 && c <= 2;
            } else {
                taken = (v >= 16 && v <= 63 && c <= 2) || (v >= 64 && v <= 127 && (v & 0x0F) <= 2) || v == 120;
                if (v == 120) t = 0;
            }
            if (taken) {
                if (voice && a == 1) set(kVoiceAssign + timbre, 1);
                if (eg1 && (e & 1)) set(kEG1Reset + timbre, 1);
                if (eg2 && (e & 2)) set(kEG2Reset + timbre, 1);
                if (voice && t == 1) set(kVoiceTrigger + timbre, 1);
                if (voice) set(kVoiceMode + timbre, c);
            }
            if (timbre == 0 && voice) set(kVoiceAssign, v >= 64 && v <= 127 ? 1 : 0);
            continue;
        }
        if (isLocked(row.lock, row.sharedLock)) continue;
        switch (row.rule) {
            case kPlain:
                set(target, randomizer(row.param, slot));
                break;
            case kMinus52:
                set(target, randomizer(row.param, slot) - 52);
                break;
            case kMinus40:
                set(target, randomizer(row.param, slot) - 40);
                break;
            case kMinus14:
                set(target, randomizer(row.param, slot) - 14);
                break;
            case kTimes127:
                set(target, randomizer(row.param, slot) * 1.27);
                break;
            case kArpSteps: {
                const int v = level(slot);
                for (int k = 1; k <= 7; ++k) set(kArpStep1 + k - 1, 1);
                if (v < 128)
                    for (int k = 1; k <= 7; ++k)
                        if (v & (1 << (k - 1))) set(kArpStep1 + k - 1, 0);
                break;
            }
            case kArpRangeBand: {
                const int v = level(slot);
                set(target, band(v, 32, 32, 3));
                break;
            }
            case kOscModBand: {
                const int v = level(slot);
                set(target, v < 16 ? 0 : v < 32 ? 1 : v < 48 ? 2 : 3);
                break;
            }
            case kSemitoneList: {
                const int v = level(slot);
                set(target, v < 41 ? 0 : v > 87 ? 127 : kSemitones[v - 41]);
                break;
            }
            case kKeySyncBand:
                set(target, band(level(slot), 16, 16, 2));
                break;
            case kVirtualPatch: {
                const int v = level(slot);
                set(target, v >= 128 ? v - 112 : v % 16);
                set(row.param2 + timbre, v >= 128 ? 7 : v / 16);
                break;
            }
            case kGateSwitch: {
                const int v = level(slot);
                set(target, v == 64 || v == 65 ? 1 : 0);
                break;
            }
            case kTempoSyncOn16:
                set(target, level(slot) == 16 ? 1 : 0);
                break;
            case kDWGSWave:
                if (plug->GetParam(kOsc1Waveform + timbre)->Int() == 5) set(target, randomizer(row.param, slot));
                break;
            case kVoiceGroup:
                break;
        }
    }
}

void Halvoran::randomizeProgram() {
    if (GetParam(kRandomize)->Int() != 1 || !(GetParam(kMainTab)->Value() > 0) || !midiManager) return;
    midiManager->randomGenerator();
    midiManager->randomizePatchSettings(selectedTimbre);
    // The audio callback asks the instrument for the program once the send
    // below is done.
    readBackPending = true;
    midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement,
                          [](MIDIMessageSender& s) { s.applyLocally = false; });
    Sleep(200);
    setStatusText("Patch Randomized");
    setParameterFromPlug(kRandomize, 0.0);
    OnParamChange(kRequestTempData);
}
