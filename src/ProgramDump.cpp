#include "src/ProgramDump.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/IGraphics.h"
#include "framework/IUnitBase.h"
#include "platform/coretext/CTLine.h"
#include "src/HalvoranParams.h"

// clang-format off
const uint8_t initProgramDump[kProgramDumpSize] = {
    kSysExStart, kManufacturerId, kDeviceByteBase, kModelId, kFuncProgramDump,  // the frame
    0x00, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x3C, 0x05, 0x28, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x14, 0x40, 0x00,
    0x0F, 0x40, 0x00, 0x78, 0x00, 0x00, 0x50, 0x08, 0x01, 0x00, 0x00, 0x7F, 0x70, 0x0A, 0x40, 0x00, 0x42, 0x40, 0x45,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x01, 0x7F, 0x14, 0x40, 0x40,
    0x40, 0x00, 0x7F, 0x40, 0x00, 0x40, 0x40, 0x00, 0x40, 0x00, 0x7F, 0x00, 0x00, 0x40, 0x7F, 0x00, 0x02, 0x00, 0x0A,
    0x03, 0x02, 0x46, 0x0C, 0x02, 0x40, 0x00, 0x03, 0x40, 0x42, 0x40, 0x43, 0x40, 0x43, 0x01, 0x71, 0x01, 0x01, 0x40,
    0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x01,
    0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40,
    0x00, 0x01, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
    0x40, 0x7F, 0x00, 0x70, 0x0A, 0x40, 0x42, 0x40, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00,
    0x00, 0x7F, 0x00, 0x00, 0x01, 0x7F, 0x14, 0x00, 0x40, 0x40, 0x40, 0x7F, 0x40, 0x00, 0x40, 0x00, 0x40, 0x00, 0x40,
    0x7F, 0x00, 0x00, 0x40, 0x00, 0x7F, 0x00, 0x02, 0x0A, 0x03, 0x02, 0x46, 0x00, 0x0C, 0x02, 0x40, 0x03, 0x40, 0x42,
    0x40, 0x08, 0x43, 0x40, 0x43, 0x71, 0x01, 0x01, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40,
    0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x00, 0x01, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40,
    0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x01, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
    0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x40, 0xF7,
};
// clang-format on

namespace {

// ---- The field table

enum class Kind {
    kBits,        // one data byte of one or more bit fields, each value (+ offset)
    kCommonMode,  // 0x00..0x30 for modes 0..3; bit 6 ignored when read
    kTempo,       // two data bytes, big-endian BPM = value + 20
    kGate,        // value / 1.27 truncated; read back times 1.27
    kSemitone,    // through the semitone steps
    kWaveSample,  // a plain value, read only when the timbre's oscillator 1 waveform byte is 5
    kChannel,     // 0..15, 16 (follow the global channel) as 0xFF; read back as the flag only
    kDeviceByte,  // position 2: the global channel, read only
    kRawByte,     // a whole message byte into a spare parameter, read only
    kRawBit,      // one bit of a message byte as 0 or a fixed number, read only
};

enum : unsigned { kSigned = 1u << 0, kInverted = 1u << 1 };

// One parameter inside a data byte.
struct Sub {
    int param;
    int shift = 0;
    int width = 8;
    int offset = 0;  // byte = value + offset
    unsigned flags = 0;
    int lock = -1;  // section lock parameter, -1 for none
};

struct Field {
    Field(Kind k, int d, int b = 0, int n = 0) : kind(k), data(d), bit(b), number(n) {}

    Kind kind;
    int data;  // first data byte; message position for the raw kinds
    int bit;   // kRawBit: the bit; its value when set is in number
    int number;
    int timbre = 0;   // 0 common, 1 or 2
    int walkPos = 0;  // the message position at which the parser applies it
    std::vector<Sub> subs;
};

// A timbre field's parameter and its lock in each timbre (the second copy of
// a per-timbre parameter sits at the next index).
struct TSub {
    int param;
    int shift = 0;
    int width = 8;
    int offset = 0;
    unsigned flags = 0;
    int lock1 = -1;
    int lock2 = -1;
    int onlyTimbre = 0;  // 1 or 2 when the bit belongs to one timbre's byte only
};

// Per-timbre locks: timbre 2's lock is the next index.
constexpr int kNoLock = -1;
// The voice byte's low three bits belong to a parameter without a name.
constexpr int kVoiceLowBits = 268;
struct TLock {
    int t1, t2;
};
constexpr TLock perTimbre(int lock) { return {lock, lock + 1}; }
constexpr TLock shared(int lock) { return {lock, lock}; }

TSub tsub(int param, TLock lock, int shift = 0, int width = 8, int offset = 0) {
    return TSub{param, shift, width, offset, 0, lock.t1, lock.t2, 0};
}

class TableBuilder {
public:
    std::vector<Field> fields;

    void common(int d, Kind kind, std::vector<Sub> subs) {
        Field f(kind, d);
        f.subs = std::move(subs);
        f.walkPos = packedDataOffset(kind == Kind::kTempo ? d + 1 : d);
        fields.push_back(std::move(f));
    }
    void timbre(int k, Kind kind, const std::vector<TSub>& subs) {
        for (int t = 1; t <= 2; ++t) {
            Field f(kind, (t == 1 ? kTimbre1Data : kTimbre2Data) + k);
            f.timbre = t;
            for (const TSub& s : subs) {
                if (s.onlyTimbre && s.onlyTimbre != t) continue;
                const int param = s.onlyTimbre ? s.param : s.param + (t - 1);
                f.subs.push_back(Sub{param, s.shift, s.width, s.offset, s.flags, t == 1 ? s.lock1 : s.lock2});
            }
            f.walkPos = packedDataOffset(f.data);
            fields.push_back(std::move(f));
        }
    }
    void raw(int param, int pos) {
        Field f(Kind::kRawByte, pos);
        f.subs.push_back(Sub{param});
        f.walkPos = pos;
        fields.push_back(std::move(f));
    }
    void rawBit(int param, int pos, int bit, int number) {
        Field f(Kind::kRawBit, pos, bit, number);
        f.subs.push_back(Sub{param});
        f.walkPos = pos;
        fields.push_back(std::move(f));
    }
};

std::vector<Field> makeTable() {
    TableBuilder b;
    const int arp = kSectionLockArp, fx1 = kSectionLockFX1, fx2 = kSectionLockFX2, eq = kSectionLockEQ,
              common = kSectionLockCommon;

    // Position 2.
    {
        Field f(Kind::kDeviceByte, 2);
        f.subs.push_back(Sub{kGlobalMIDICha});
        f.walkPos = 2;
        b.fields.push_back(std::move(f));
    }

    // Common block (data bytes 12..37).
    b.common(14, Kind::kBits, {Sub{kArpLength, 0, 8, 0, 0, arp}});
    {
        std::vector<Sub> steps;
        for (int n = 0; n < 8; ++n) steps.push_back(Sub{kArpStep1 + n, n, 1, 0, kInverted, arp});
        b.common(15, Kind::kBits, steps);
    }
    b.common(16, Kind::kCommonMode, {Sub{kCommonMode, 0, 8, 0, 0, common}});
    b.common(19, Kind::kBits, {Sub{kDelayFxSyncNote, 0, 7, 0, 0, fx2}, Sub{kDelayFxTempoSync, 7, 1, 0, 0, fx2}});
    b.common(20, Kind::kBits, {Sub{kDelayFxTime, 0, 8, 0, 0, fx2}});
    b.common(21, Kind::kBits, {Sub{kDelayFxDepth, 0, 8, 0, 0, fx2}});
    b.common(22, Kind::kBits, {Sub{kDelayFxType, 0, 8, 0, 0, fx2}});
    b.common(23, Kind::kBits, {Sub{kModFxSpeed, 0, 8, 0, 0, fx1}});
    b.common(24, Kind::kBits, {Sub{kModFxDepth, 0, 8, 0, 0, fx1}});
    b.common(25, Kind::kBits, {Sub{kModFxType, 0, 8, 0, 0, fx1}});
    b.common(26, Kind::kBits, {Sub{kEQHiFreq, 0, 8, 0, 0, eq}});
    b.common(27, Kind::kBits, {Sub{kEQHiGain, 0, 8, 52, 0, eq}});
    b.common(28, Kind::kBits, {Sub{kEQLowFreq, 0, 8, 0, 0, eq}});
    b.common(29, Kind::kBits, {Sub{kEQLowGain, 0, 8, 52, 0, eq}});
    b.common(30, Kind::kTempo, {Sub{kArpTempo, 0, 16, 20, 0, arp}});
    b.common(32, Kind::kBits,
             {Sub{kArpKeySync, 0, 4, 0, 0, arp}, Sub{kArpTarget, 4, 2, 0, 0, arp}, Sub{kArpLatch, 6, 1, 0, 0, arp},
              Sub{kArpOnOff, 7, 1, 0, 0, arp}});
    b.common(33, Kind::kBits, {Sub{kArpType, 0, 4, 0, 0, arp}, Sub{kArpRange, 4, 4, 0, 0, arp}});
    b.common(34, Kind::kGate, {Sub{kArpGate, 0, 8, 0, 0, arp}});
    b.common(35, Kind::kBits, {Sub{kArpReso, 0, 8, 0, 0, arp}});
    b.common(36, Kind::kBits, {Sub{kArpSwing, 0, 8, -100, kSigned, arp}});
    b.common(37, Kind::kBits, {Sub{kOctaveShift, 0, 8, -3, kSigned, common}});

    // Timbre blocks (offset k from data byte 38 and 146).
    const TLock voice = perTimbre(kSectionLockVoice), osc1 = perTimbre(kSectionLockOsc1),
                osc2 = perTimbre(kSectionLockOsc2), mixer = perTimbre(kSectionLockMixer),
                filter = perTimbre(kSectionLockFilter), amp = perTimbre(kSectionLockAmp),
                filterEnv = perTimbre(kSectionLockFilterEnv), ampEnv = perTimbre(kSectionLockAmpEnv),
                lfo1 = perTimbre(kSectionLockLFO1), lfo2 = perTimbre(kSectionLockLFO2),
                vp1 = perTimbre(kSectionLockVP1), vp2 = perTimbre(kSectionLockVP2), vp3 = perTimbre(kSectionLockVP3),
                vp4 = perTimbre(kSectionLockVP4), arpBoth = shared(arp), commonBoth = shared(common),
                none = shared(kNoLock);
    auto value = [&b](int k, int param, TLock lock, int offset = 0) {
        b.timbre(k, Kind::kBits, {tsub(param, lock, 0, 8, offset)});
    };

    b.timbre(0, Kind::kChannel, {tsub(kTimbreChannel, commonBoth)});
    b.timbre(1, Kind::kBits,
             {tsub(kVoiceLowBits, voice, 0, 3), tsub(kVoiceTrigger, voice, 3, 1),
              // The oscillator reset of EG1 sits in the filter envelope section of
              // timbre 1 and in the filter section of timbre 2.
              TSub{kEG1Reset, 4, 1, 0, 0, kSectionLockFilterEnv, kSectionLockFilter + 1, 0},
              tsub(kEG2Reset, ampEnv, 5, 1), tsub(kVoiceAssign, voice, 6, 2)});
    b.timbre(2, Kind::kBits, {tsub(kDetune, perTimbre(kSectionLockUnisono), 0, 7)});
    value(3, kTimbreTune, voice, 14);
    value(4, kTimbreBendRange, voice, 52);
    value(5, kTimbreTranspose, voice, 40);
    value(6, kVibratoInt, perTimbre(kSectionLockPitchMod));
    value(7, kOsc1Waveform, osc1);
    value(8, kOsc1Control1, osc1);
    value(9, kOsc1Control2, osc1);
    b.timbre(10, Kind::kWaveSample, {tsub(kOsc1DWGSWave, osc1)});
    b.timbre(12, Kind::kBits, {tsub(kOsc2Waveform, osc2, 0, 4), tsub(kOsc2OscMod, osc2, 4, 4)});
    b.timbre(13, Kind::kSemitone, {tsub(kOsc2Semitone, osc2)});
    value(14, kOsc2Tune, osc2);
    value(15, kPortamento, commonBoth);
    value(16, kOsc1Level, mixer);
    value(17, kOsc2Level, mixer);
    value(18, kNoiseLevel, mixer);
    value(19, kFilterType, filter);
    value(20, kFilterCutoff, filter);
    value(21, kFilterResonance, filter);
    value(22, kFilterEGIntensity, filter);
    value(23, kFilterVeloSense, filter);
    value(24, kFilterKBDTrack, filter);
    value(25, kAmpLevel, amp);
    value(26, kAmpPan, amp);
    b.timbre(27, Kind::kBits, {tsub(kAmpDistSw, amp, 0, 1), tsub(kAmpGateSw, ampEnv, 6, 1)});
    value(28, kAmpVeloSense, amp);
    value(29, kAmpKBDTrack, amp);
    value(30, kEG1Attack, filterEnv);
    value(31, kEG1Decay, filterEnv);
    value(32, kEG1Sustain, filterEnv);
    value(33, kEG1Release, filterEnv);
    value(34, kEG2Attack, ampEnv);
    value(35, kEG2Decay, ampEnv);
    value(36, kEG2Sustain, ampEnv);
    value(37, kEG2Release, ampEnv);
    b.timbre(38, Kind::kBits, {tsub(kLfo1Waveform, lfo1, 0, 4), tsub(kLfo1KeySync, lfo1, 4, 4)});
    value(39, kLfo1Frequency, lfo1);
    b.timbre(40, Kind::kBits, {tsub(kLfo1SyncNote, lfo1, 0, 7), tsub(kLfo1TempoSync, lfo1, 7, 1)});
    b.timbre(41, Kind::kBits, {tsub(kLfo2Waveform, lfo2, 0, 4), tsub(kLfo2KeySync, lfo2, 4, 4)});
    value(42, kLfo2Frequency, lfo2);
    b.timbre(43, Kind::kBits, {tsub(kLfo2SyncNote, lfo2, 0, 7), tsub(kLfo2TempoSync, lfo2, 7, 1)});
    b.timbre(44, Kind::kBits, {tsub(kVPatchSrc1, vp1, 0, 4), tsub(kVPatchDest1, vp1, 4, 4)});
    value(45, kVPatchAmnt1, vp1);
    // The modulation sequencer switch rides on bit 7 of this byte in timbre 1
    // and of offset 52 in timbre 2.
    b.timbre(
        46, Kind::kBits,
        {tsub(kVPatchSrc2, vp2, 0, 4), tsub(kVPatchDest2, vp2, 4, 3), TSub{kModSeqSwitch, 7, 1, 0, 0, arp, arp, 1}});
    value(47, kVPatchAmnt2, vp2);
    b.timbre(48, Kind::kBits, {tsub(kVPatchSrc3, vp3, 0, 4), tsub(kVPatchDest3, vp3, 4, 4)});
    value(49, kVPatchAmnt3, vp3);
    b.timbre(50, Kind::kBits, {tsub(kVPatchSrc4, vp4, 0, 4), tsub(kVPatchDest4, vp4, 4, 4)});
    value(51, kVPatchAmnt4, vp4);
    b.timbre(52, Kind::kBits,
             {tsub(kModSeqResolution, arpBoth, 0, 6), tsub(kModSeqRunMode, arpBoth, 6, 1),
              TSub{kModSeqSwitch + 1, 7, 1, 0, 0, arp, arp, 2}});
    b.timbre(53, Kind::kBits,
             {tsub(kModSeqKeySync, none, 0, 2), tsub(kModSeqType, none, 2, 2), tsub(kModSeqLastStep, none, 4, 4)});
    const int seqKnob[3] = {kSeq1Knob, kSeq2Knob, kSeq3Knob};
    const int seqMotion[3] = {kSeq1Motion, kSeq2Motion, kSeq3Motion};
    const int seqStep[3] = {kSeq1Step1, kSeq2Step1, kSeq3Step1};
    for (int s = 0; s < 3; ++s) {
        const int k = 54 + 18 * s;
        value(k, seqKnob[s], none);
        value(k + 1, seqMotion[s], none);
        for (int i = 0; i < 16; ++i) value(k + 2 + i, seqStep[s] + 2 * i, none);
    }

    // Bytes the panel shows nothing of, kept in spare parameters.
    b.rawBit(kDummyParam01, 21, 4, 16);
    b.raw(kDummyParam02, 29);
    b.rawBit(kDummyParam03, 45, 5, 1);
    b.rawBit(kDummyParam05, 109, 2, 4);
    {
        Field f(Kind::kRawByte, packedDataOffset(kTimbre1Data));  // timbre 1's channel byte
        f.subs.push_back(Sub{kDummyParam08});
        f.walkPos = f.data;
        b.fields.push_back(std::move(f));
    }
    b.raw(kDummyParam09, 53);
    b.raw(kDummyParam10, 61);
    b.raw(kDummyParam11, 62);
    const int packing1[] = {69, 77, 85, 117, 125, 133, 141, 149, 157, 165, 181};
    for (int i = 0; i < 11; ++i) b.raw(kDummyParam12 + i, packing1[i]);
    b.raw(kDummyParam23, 185);
    const int packing2[] = {189, 197, 205, 237, 245, 253, 261, 269, 277, 285, 293};
    for (int i = 0; i < 11; ++i) b.raw(kDummyParam24 + i, packing2[i]);

    std::stable_sort(b.fields.begin(), b.fields.end(),
                     [](const Field& a, const Field& c) { return a.walkPos < c.walkPos; });
    return b.fields;
}

const std::vector<Field>& table() {
    static const std::vector<Field> fields = makeTable();
    return fields;
}

// The packing bytes the writer rebuilds: those of the groups that carry a
// field's top bit. Every other packing byte stays as the dump holds it.
constexpr int kWrittenPacking[] = {21, 37, 45, 93, 101, 109, 165, 173, 213, 221, 229};

const int kSemitoneSteps[49] = {0,  3,  6,  8,  11,  14,  16,  19,  21,  24,  27,  29,  32,  34,  37, 40, 42,
                                44, 48, 50, 53, 55,  58,  61,  64,  66,  68,  71,  74,  76,  79,  81, 84, 87,
                                89, 92, 95, 97, 100, 102, 105, 108, 110, 113, 115, 118, 121, 123, 127};
// The parser's copy of the steps differs in one place: byte 57 reads as 45.
constexpr int kParsedSemitoneAt57 = 45;

bool lockedOn(const DumpParams& params, int lock) { return lock >= 0 && params.value(lock) == 1.0; }

unsigned sectionOf(const Field& f) {
    if (f.timbre == 1) return kSectionTimbre1;
    if (f.timbre == 2) return kSectionTimbre2;
    return kSectionCommon;
}

int encodeSub(const Sub& s, int v) {
    int x = (s.flags & kInverted) ? (v == 0 ? 1 : 0) : v + s.offset;
    return (x & ((1 << s.width) - 1)) << s.shift;
}

int decodeSub(const Sub& s, int byte) {
    int x = (byte >> s.shift) & ((1 << s.width) - 1);
    if ((s.flags & kSigned) && s.width == 8) x = static_cast<int8_t>(static_cast<uint8_t>(x));
    if (s.flags & kInverted) return x ? 0 : 1;
    return x - s.offset;
}

void writeField(const Field& f, const DumpParams& params, uint8_t* data) {
    const Sub& s = f.subs.front();
    const int v = dumpWhole(params.value(s.param));
    switch (f.kind) {
        case Kind::kBits: {
            int byte = 0;
            for (const Sub& sub : f.subs) byte |= encodeSub(sub, dumpWhole(params.value(sub.param)));
            data[f.data] = static_cast<uint8_t>(byte);
            break;
        }
        case Kind::kWaveSample:
            data[f.data] = static_cast<uint8_t>(v);
            break;
        case Kind::kCommonMode:
            if (v >= 0 && v <= 3) data[f.data] = static_cast<uint8_t>(v << 4);
            break;
        case Kind::kTempo: {
            const int bpm = std::clamp(v + s.offset, 0, 0xFFFF);
            data[f.data] = static_cast<uint8_t>(bpm >> 8);
            data[f.data + 1] = static_cast<uint8_t>(bpm);
            break;
        }
        case Kind::kGate:
            // The tiny addition keeps an exact quotient (127 / 1.27) from
            // falling just below its whole number.
            data[f.data] = static_cast<uint8_t>(dumpWhole(params.value(s.param) / 1.27 + 1e-9));
            break;
        case Kind::kSemitone:
            data[f.data] = static_cast<uint8_t>(semitoneToByte(v));
            break;
        case Kind::kChannel:
            data[f.data] = v >= 16 ? 0xFF : static_cast<uint8_t>(std::max(v, 0));
            break;
        case Kind::kDeviceByte:
        case Kind::kRawByte:
        case Kind::kRawBit:
            break;  // read only
    }
}

void parseField(const Field& f, const uint8_t* msg, const uint8_t* data, bool tempoOverridden, DumpParams& params) {
    const Sub& s = f.subs.front();
    switch (f.kind) {
        case Kind::kBits:
            for (const Sub& sub : f.subs)
                if (!lockedOn(params, sub.lock)) params.set(sub.param, decodeSub(sub, data[f.data]));
            return;
        case Kind::kDeviceByte:
            params.set(s.param, msg[2] - kDeviceByteBase);
            return;
        case Kind::kRawByte:
            params.set(s.param, msg[f.data] & 0x7F);
            return;
        case Kind::kRawBit:
            params.set(s.param, (msg[f.data] >> f.bit) & 1 ? f.number : 0);
            return;
        default:
            break;
    }
    if (lockedOn(params, s.lock)) return;
    const int byte = data[f.data];
    switch (f.kind) {
        case Kind::kCommonMode:
            // Bit 6 does not count; any other stray bit makes the byte unreadable.
            if ((byte & 0x8F) == 0) params.set(s.param, (byte >> 4) & 3);
            break;
        case Kind::kTempo:
            if (!tempoOverridden) params.set(s.param, ((byte << 8) | data[f.data + 1]) - s.offset);
            break;
        case Kind::kGate:
            params.set(s.param, byte * 1.27);
            break;
        case Kind::kSemitone:
            params.set(s.param, semitoneFromByte(byte));
            break;
        case Kind::kWaveSample:
            // Only with the wave-sample waveform, as this dump sets it (offset 7).
            if (data[f.data - 3] == 5) params.set(s.param, byte);
            break;
        case Kind::kChannel:
            // Only timbre 1's follow-the-global-channel flag is taken.
            if (f.timbre == 1 && (byte & 0x80)) params.set(s.param, 16);
            break;
        default:
            break;
    }
}

}  // namespace

int dumpWhole(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), -1.0e6, 1.0e6));
}

int semitoneToByte(int value) {
    for (int i = 0; i < 49; ++i)
        if (kSemitoneSteps[i] == value) return 40 + i;
    // What the parser reads from byte 57 goes back as byte 57.
    if (value == kParsedSemitoneAt57) return 57;
    return value & 0xFF;
}

int semitoneFromByte(int byte) {
    if (byte == 57) return kParsedSemitoneAt57;
    if (byte >= 40 && byte <= 88) return kSemitoneSteps[byte - 40];
    return byte;
}

void writeProgramFields(const DumpParams& params, uint8_t data[kProgramDataSize], unsigned sections) {
    for (const Field& f : table())
        if (sections & sectionOf(f)) writeField(f, params, data);
}

void putProgramData(const uint8_t data[kProgramDataSize], uint8_t* dump) {
    for (int n = 0; n < kProgramDataSize; ++n) dump[packedDataOffset(n)] = data[n] & 0x7F;
    for (int pos : kWrittenPacking) {
        const int first = 7 * ((pos - 5) / 8);
        uint8_t packing = 0;
        for (int j = 0; j < 7 && first + j < kProgramDataSize; ++j)
            if (data[first + j] & 0x80) packing |= static_cast<uint8_t>(1u << j);
        dump[pos] = packing;
    }
}

namespace {

// The plain letter of each of U+00C0..U+017F (Latin-1 letters, then Latin
// Extended-A), a stroke dropped as an accent is (Ø is O): '-' for a sign,
// '*' for a letter written with two.
constexpr char kLatinFold[] =
    "AAAAAA*CEEEEIIIIDNOOOOO-OUUUUY**aaaaaa*ceeeeiiiidnooooo-ouuuuy*y"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo**RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUu"
    "WwYyYZzZzZzs";
static_assert(sizeof kLatinFold - 1 == 0x180 - 0xC0);

struct TwoLetters {
    char32_t letter;
    const char32_t* plain;
};
constexpr TwoLetters kTwoLetters[] = {{U'Æ', U"AE"}, {U'Þ', U"TH"}, {U'ß', U"ss"}, {U'æ', U"ae"}, {U'þ', U"th"},
                                      {U'Ĳ', U"IJ"}, {U'ĳ', U"ij"}, {U'Œ', U"OE"}, {U'œ', U"oe"}};

}  // namespace

std::u32string programNameCharacter(char32_t c) {
    if (c >= 0x20 && c <= 0x7E) return std::u32string(1, c);
    if (c < 0xC0 || c >= 0x180) return {};
    const char plain = kLatinFold[c - 0xC0];
    if (plain == '-') return {};
    for (const TwoLetters& two : kTwoLetters)
        if (plain == '*' && two.letter == c) return two.plain;
    return std::u32string(1, static_cast<char32_t>(plain));
}

std::string programNameText(const std::string& name) {
    std::u32string shown;
    for (char32_t c : platform::CTDecodeUTF8Lenient(name)) shown += programNameCharacter(c);
    return platform::CTEncodeUTF8(shown);
}

void writeProgramName(const std::string& name, uint8_t data[kProgramDataSize]) {
    // Never a byte masked into another letter: the name is folded first, and
    // then counts one byte a character.
    const std::string shown = programNameText(name);
    const int n = static_cast<int>(std::min<size_t>(shown.size(), kProgramNameLength));
    for (int i = 0; i < kProgramNameLength; ++i) data[i] = 0x20;
    for (int i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(shown[i]);
    if (n > 0 && n <= 6) data[n] = 0;
}

void buildProgramDump(const DumpParams& params, int deviceByte, const std::string& name,
                      uint8_t dump[kProgramDumpSize]) {
    std::memcpy(dump, initProgramDump, kProgramDumpSize);
    dump[2] = static_cast<uint8_t>(deviceByte & 0x7F);
    uint8_t data[kProgramDataSize];
    unpackProgramData(dump, data);
    writeProgramFields(params, data, kSectionAll);
    writeProgramName(name, data);
    putProgramData(data, dump);
}

bool isProgramDumpMessage(const uint8_t* msg, int size) {
    return size == kProgramDumpSize && isInstrumentFrame(msg, size, kFuncProgramDump);
}

std::string programDumpName(const uint8_t* dump) {
    static const int kNamePositions[kProgramNameLength] = {6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18};
    bool allBlank = true;
    for (int pos : kNamePositions)
        if (dump[pos] >= 0x21 && dump[pos] <= 0xF0) allBlank = false;
    if (allBlank) return "Request";
    std::string name;
    for (int pos : kNamePositions)
        if (dump[pos] != 0) name += static_cast<char>(dump[pos]);
    return name;
}

bool parseProgramDump(const uint8_t* msg, int size, DumpParams& params) {
    if (!isProgramDumpMessage(msg, size)) return false;
    uint8_t data[kProgramDataSize];
    unpackProgramData(msg, data);
    const bool tempoOverridden = dumpWhole(params.value(kOverrideTempo)) == 1;
    for (const Field& f : table()) parseField(f, msg, data, tempoOverridden, params);
    return true;
}

double UnitDumpParams::value(int paramIdx) const {
    IParam* p = unit_.GetParam(paramIdx);
    return p ? p->Value() : 0.0;
}

void UnitDumpParams::set(int paramIdx, double plain) {
    IParam* p = unit_.GetParam(paramIdx);
    if (!p) return;
    if (panel_)
        panel_->SetParameterFromPlug(paramIdx, plain, false);
    else
        p->Set(plain);
}

void UnitDumpParams::bounds(int paramIdx, double& lo, double& hi) const {
    lo = hi = 0.0;
    if (IParam* p = unit_.GetParam(paramIdx)) p->GetBounds(lo, hi);
}
