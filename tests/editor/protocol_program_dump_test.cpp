// The program dump in both directions: byte examples, the name rule, the
// section locks, the spare parameters, bad sizes, and round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "protocol_params.h"
#include "src/ProgramDump.h"

using hvproto::FakeParams;

namespace {

using Dump = std::vector<uint8_t>;

// Every parameter a dump carries and reads back, timbre 1's index for the
// per-timbre ones.
const std::vector<int> kCommonFields = {
    kArpLength,   kArpStep1,   kArpStep2,   kArpStep3,        kArpStep4,         kArpStep5,    kArpStep6,
    kArpStep7,    kArpStep8,   kCommonMode, kDelayFxSyncNote, kDelayFxTempoSync, kDelayFxTime, kDelayFxDepth,
    kDelayFxType, kModFxSpeed, kModFxDepth, kModFxType,       kEQHiFreq,         kEQHiGain,    kEQLowFreq,
    kEQLowGain,   kArpTempo,   kArpKeySync, kArpTarget,       kArpLatch,         kArpOnOff,    kArpType,
    kArpRange,    kArpGate,    kArpReso,    kArpSwing,        kOctaveShift};
const std::vector<int> kTimbreFields = {268,
                                        kVoiceTrigger,
                                        kEG1Reset,
                                        kEG2Reset,
                                        kVoiceAssign,
                                        kDetune,
                                        kTimbreTune,
                                        kTimbreBendRange,
                                        kTimbreTranspose,
                                        kVibratoInt,
                                        kOsc1Waveform,
                                        kOsc1Control1,
                                        kOsc1Control2,
                                        kOsc1DWGSWave,
                                        kOsc2Waveform,
                                        kOsc2OscMod,
                                        kOsc2Semitone,
                                        kOsc2Tune,
                                        kPortamento,
                                        kOsc1Level,
                                        kOsc2Level,
                                        kNoiseLevel,
                                        kFilterType,
                                        kFilterCutoff,
                                        kFilterResonance,
                                        kFilterEGIntensity,
                                        kFilterVeloSense,
                                        kFilterKBDTrack,
                                        kAmpLevel,
                                        kAmpPan,
                                        kAmpDistSw,
                                        kAmpGateSw,
                                        kAmpVeloSense,
                                        kAmpKBDTrack,
                                        kEG1Attack,
                                        kEG1Decay,
                                        kEG1Sustain,
                                        kEG1Release,
                                        kEG2Attack,
                                        kEG2Decay,
                                        kEG2Sustain,
                                        kEG2Release,
                                        kLfo1Waveform,
                                        kLfo1KeySync,
                                        kLfo1Frequency,
                                        kLfo1SyncNote,
                                        kLfo1TempoSync,
                                        kLfo2Waveform,
                                        kLfo2KeySync,
                                        kLfo2Frequency,
                                        kLfo2SyncNote,
                                        kLfo2TempoSync,
                                        kVPatchSrc1,
                                        kVPatchDest1,
                                        kVPatchAmnt1,
                                        kVPatchSrc2,
                                        kVPatchDest2,
                                        kVPatchAmnt2,
                                        kVPatchSrc3,
                                        kVPatchDest3,
                                        kVPatchAmnt3,
                                        kVPatchSrc4,
                                        kVPatchDest4,
                                        kVPatchAmnt4,
                                        kModSeqSwitch,
                                        kModSeqResolution,
                                        kModSeqRunMode,
                                        kModSeqKeySync,
                                        kModSeqType,
                                        kModSeqLastStep,
                                        kSeq1Knob,
                                        kSeq1Motion,
                                        kSeq2Knob,
                                        kSeq2Motion,
                                        kSeq3Knob,
                                        kSeq3Motion};

std::vector<int> allFields() {
    std::vector<int> all = kCommonFields;
    for (int t = 0; t < 2; ++t) {
        for (int p : kTimbreFields) all.push_back(p + t);
        for (int s = 0; s < 48; ++s) all.push_back(kSeq1Step1 + 2 * s + t);
    }
    return all;
}

// The 49 values an oscillator 2 semitone takes, as the parser reads them.
const int kSemitones[49] = {0,  3,  6,  8,  11,  14,  16,  19,  21,  24,  27,  29,  32,  34,  37, 40, 42,
                            45, 48, 50, 53, 55,  58,  61,  64,  66,  68,  71,  74,  76,  79,  81, 84, 87,
                            89, 92, 95, 97, 100, 102, 105, 108, 110, 113, 115, 118, 121, 123, 127};

bool isSemitone(int p) { return p == kOsc2Semitone || p == kOsc2Semitone + 1; }
bool isGate(int p) { return p == kArpGate; }

// A random value that a parser could have produced for p.
double randomValue(std::mt19937& rng, const FakeParams& params, int p) {
    if (isSemitone(p)) return kSemitones[rng() % 49];
    if (isGate(p)) return static_cast<int>(rng() % 101) * 1.27;
    const int max = static_cast<int>(params.hi[p]);
    return static_cast<int>(rng() % (max + 1));
}

FakeParams randomProgram(unsigned seed) {
    std::mt19937 rng(seed);
    FakeParams p;
    hvproto::programRanges(p);
    for (int f : allFields()) p.v[f] = randomValue(rng, p, f);
    // Wave samples travel only with the wave-sample waveform.
    p.v[kOsc1Waveform] = p.v[kOsc1Waveform + 1] = 5;
    return p;
}

Dump build(const FakeParams& p, const std::string& name = "", int device = 0x30) {
    Dump d(kProgramDumpSize);
    buildProgramDump(p, device, name, d.data());
    return d;
}

FakeParams freshParams() {
    FakeParams p;
    hvproto::programRanges(p);
    return p;
}

bool bit(const Dump& d, int pos, int b) { return (d[pos] >> b) & 1; }

// Sets one data byte of a dump (with its top bit in its packing byte).
void putData(Dump& d, int n, int value) {
    d[packedDataOffset(n)] = value & 0x7F;
    const int group = packedGroupOffset(n), b = n % 7;
    d[group] = static_cast<uint8_t>((d[group] & ~(1 << b)) | (((value >> 7) & 1) << b));
}

TEST(ProgramDumpBytes, ArpeggiatorStepsTempoSwingAndOctave) {
    FakeParams p = freshParams();
    for (int i = 0; i < 8; ++i) p.v[kArpStep1 + i] = 1;
    Dump d = build(p);
    EXPECT_EQ(d[23], 0x00);
    EXPECT_FALSE(bit(d, 21, 1));
    for (int i = 0; i < 8; ++i) p.v[kArpStep1 + i] = 0;
    d = build(p);
    EXPECT_EQ(d[23], 0x7F);
    EXPECT_TRUE(bit(d, 21, 1));
    p.v[kArpStep3] = 1;  // step 3 on clears bit 2
    EXPECT_EQ(build(p)[23], 0x7B);

    p.v[kArpTempo] = 100;
    d = build(p);
    EXPECT_EQ(d[40], 0x00);
    EXPECT_EQ(d[41], 0x78);
    EXPECT_FALSE(bit(d, 37, 3));
    p.v[kArpTempo] = 200;
    d = build(p);
    EXPECT_EQ(d[40], 0x00);
    EXPECT_EQ(d[41], 0x5C);
    EXPECT_TRUE(bit(d, 37, 3));
    p.v[kArpTempo] = 280;
    d = build(p);
    EXPECT_EQ(d[40], 0x01);
    EXPECT_EQ(d[41], 0x2C);

    p.v[kArpSwing] = 0;
    d = build(p);
    EXPECT_EQ(d[47], 0x1C);
    EXPECT_TRUE(bit(d, 45, 1));
    p.v[kArpSwing] = 200;
    d = build(p);
    EXPECT_EQ(d[47], 0x64);
    EXPECT_FALSE(bit(d, 45, 1));

    p.v[kOctaveShift] = 0;
    d = build(p);
    EXPECT_EQ(d[48], 0x7D);
    EXPECT_TRUE(bit(d, 45, 2));
    p.v[kOctaveShift] = 3;
    d = build(p);
    EXPECT_EQ(d[48], 0x00);
    EXPECT_FALSE(bit(d, 45, 2));
}

TEST(ProgramDumpBytes, ChannelVoiceAssignGateAndCommonMode) {
    FakeParams p = freshParams();
    p.v[kTimbreChannel] = 16;
    Dump d = build(p);
    EXPECT_EQ(d[49], 0x7F);
    EXPECT_TRUE(bit(d, 45, 3));
    p.v[kTimbreChannel] = 9;
    d = build(p);
    EXPECT_EQ(d[49], 9);
    EXPECT_FALSE(bit(d, 45, 3));
    p.v[kTimbreChannel + 1] = 16;  // timbre 2's channel at 172, its flag in 165 bit 6
    d = build(p);
    EXPECT_EQ(d[172], 0x7F);
    EXPECT_TRUE(bit(d, 165, 6));

    p.v[kVoiceAssign] = 2;
    d = build(p);
    EXPECT_TRUE(bit(d, 45, 4));
    EXPECT_EQ(d[50] & 0x40, 0);
    p.v[kVoiceAssign] = 1;
    d = build(p);
    EXPECT_FALSE(bit(d, 45, 4));
    EXPECT_EQ(d[50], 0x40);
    p.v[kVoiceAssign + 1] = 2;
    d = build(p);
    EXPECT_TRUE(bit(d, 173, 0));

    p.v[kArpGate] = 127;
    EXPECT_EQ(build(p)[44], 100);
    p.v[kArpGate] = 50;  // 39.37 truncated
    EXPECT_EQ(build(p)[44], 39);

    for (int mode = 0; mode < 4; ++mode) {
        p.v[kCommonMode] = mode;
        EXPECT_EQ(build(p)[24], mode << 4);
    }
    p.range(kCommonMode, 0, 7);
    p.v[kCommonMode] = 5;  // not a mode: the template's byte stays
    EXPECT_EQ(build(p)[24], 0x40);
}

TEST(ProgramDumpBytes, ModulationSequencerSwitchSitsInDifferentPlacesPerTimbre) {
    FakeParams p = freshParams();
    p.v[kModSeqSwitch] = 1;
    Dump d = build(p);
    EXPECT_EQ(d[101], 0x01);  // the packing byte is the switch itself
    EXPECT_FALSE(bit(d, 229, 2));
    p.v[kModSeqSwitch] = 0;
    p.v[kModSeqSwitch + 1] = 1;
    d = build(p);
    EXPECT_EQ(d[101], 0x00);
    EXPECT_TRUE(bit(d, 229, 2));
    EXPECT_EQ(d[225] & 0x80, 0);  // timbre 2's offset 46 carries no switch
}

TEST(ProgramDumpBytes, NameRule) {
    FakeParams p = freshParams();
    Dump d = build(p, "Piano");
    const int pos[12] = {6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18};
    EXPECT_EQ(std::string(d.begin() + 6, d.begin() + 11), "Piano");
    EXPECT_EQ(d[11], 0x00);
    for (int i = 6; i < 12; ++i) EXPECT_EQ(d[pos[i]], 0x20) << i;

    d = build(p, "Strings");
    EXPECT_EQ(std::string(d.begin() + 6, d.begin() + 13), "Strings");
    for (int i = 7; i < 12; ++i) EXPECT_EQ(d[pos[i]], 0x20) << i;

    d = build(p, "A very long program name");
    std::string got;
    for (int i : pos) got += static_cast<char>(d[i]);
    EXPECT_EQ(got, "A very long ");

    d = build(p, "");
    for (int i : pos) EXPECT_EQ(d[i], 0x20);

    // A name from anywhere (a project, a file) is folded as the name entries
    // fold it and counted after that: no byte is masked into another letter.
    const std::pair<std::string, std::string> folds[] = {
        {"caf\xC3\xA9", std::string("cafe\0       ", 12)},
        {"Stra\xC3\x9F"
         "e Bass!",
         "Strasse Bass"},
        {"\xE2\x82\xACuro\x01\x7F\xFF", std::string("uro\0        ", 12)},
        {"\xC3\x86\xC3\x98\xC3\x85 \xC5\x92uvre", "AEOA OEuvre "},
    };
    for (const auto& [name, want] : folds) {
        d = build(p, name);
        got.clear();
        for (int i : pos) got += static_cast<char>(d[i]);
        EXPECT_EQ(got, want) << name;
    }
}

TEST(ProgramDumpBytes, SemitoneStepsAndTheByteTheParserReadsBack) {
    EXPECT_EQ(semitoneToByte(0), 40);
    EXPECT_EQ(semitoneToByte(64), 0x40);
    EXPECT_EQ(semitoneToByte(127), 88);
    EXPECT_EQ(semitoneToByte(44), 57);
    EXPECT_EQ(semitoneToByte(1), 1);  // not a step: the value itself
    EXPECT_EQ(semitoneFromByte(0x58), 127);
    EXPECT_EQ(semitoneFromByte(40), 0);
    EXPECT_EQ(semitoneFromByte(57), 45);
    EXPECT_EQ(semitoneFromByte(20), 20);
    EXPECT_EQ(semitoneFromByte(100), 100);
    // The value read from byte 57 goes back as byte 57.
    EXPECT_EQ(semitoneToByte(semitoneFromByte(57)), 57);
    for (int b = 40; b <= 88; ++b) EXPECT_EQ(semitoneToByte(semitoneFromByte(b)), b) << b;

    FakeParams p = freshParams();
    p.v[kOsc2Semitone] = 64;
    EXPECT_EQ(build(p)[64], 0x40);
}

TEST(ProgramDumpBytes, WriterKeepsTheFixedBytesOfTheInitProgram) {
    FakeParams p = randomProgram(7);
    Dump d = build(p, "Fixed", 0x3A);
    EXPECT_EQ(d[2], 0x3A);
    for (int pos : {0, 1, 3, 4, 296, 19, 20, 25, 26, 62, 185}) EXPECT_EQ(d[pos], initProgramDump[pos]) << pos;
    for (int pos : {5,   13,  29,  53,  61,  69,  77,  85,  117, 125, 133, 141, 149,
                    157, 181, 189, 197, 205, 237, 245, 253, 261, 269, 277, 285, 293})
        EXPECT_EQ(d[pos], initProgramDump[pos]) << pos;
    for (int i = 1; i < 296; ++i) EXPECT_LT(d[i], 0x80) << i;
}

TEST(ProgramDumpParse, NameRuleOfTheParser) {
    Dump d(initProgramDump, initProgramDump + kProgramDumpSize);
    EXPECT_EQ(programDumpName(d.data()), "Request");
    d[12] = 'X';  // the seventh name position
    EXPECT_EQ(programDumpName(d.data()), "      X     ");
    d = build(freshParams(), "Bass");
    EXPECT_EQ(programDumpName(d.data()), "Bass       ");  // the 0 after the name drops out
    d[6] = 0x7F;                                          // DEL counts as visible
    EXPECT_EQ(programDumpName(d.data())[0], '\x7F');
}

TEST(ProgramDumpParse, RefusesWrongSizesAndHeadersWithoutTouchingAnything) {
    Dump good = build(randomProgram(3));
    for (int size : {0, 5, 296, 298, 600}) {
        Dump d = good;
        d.resize(std::max(size, 1));
        FakeParams p = freshParams();
        EXPECT_FALSE(parseProgramDump(d.data(), size, p)) << size;
        EXPECT_TRUE(p.order.empty()) << size;
    }
    for (int pos : {1, 3, 4}) {
        Dump d = good;
        d[pos] ^= 0x01;
        FakeParams p = freshParams();
        EXPECT_FALSE(parseProgramDump(d.data(), kProgramDumpSize, p)) << pos;
        EXPECT_TRUE(p.order.empty());
    }
    FakeParams p = freshParams();
    EXPECT_FALSE(parseProgramDump(nullptr, kProgramDumpSize, p));
}

TEST(ProgramDumpParse, ByteExamples) {
    FakeParams src = freshParams();
    Dump d = build(src);
    putData(d, 37, 0xFF);  // octave shift -1
    putData(d, 36, static_cast<uint8_t>(-50));
    putData(d, 16, 0x30);
    d[2] = 0x37;
    FakeParams p = freshParams();
    ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, p));
    EXPECT_EQ(p.v[kOctaveShift], 2);
    EXPECT_EQ(p.v[kArpSwing], 50);
    EXPECT_EQ(p.v[kCommonMode], 3);
    EXPECT_EQ(p.v[kGlobalMIDICha], 7);
    EXPECT_EQ(p.order.front(), kGlobalMIDICha);  // position 2 comes first

    // Bit 6 of the common mode byte does not count; other stray bits spoil it.
    for (auto [byte, mode] : std::vector<std::pair<int, int>>{{0x40, 0}, {0x50, 1}, {0x60, 2}, {0x70, 3}}) {
        putData(d, 16, byte);
        p.v[kCommonMode] = 2;
        parseProgramDump(d.data(), kProgramDumpSize, p);
        EXPECT_EQ(p.v[kCommonMode], mode) << byte;
    }
    putData(d, 16, 0x31);
    p.v[kCommonMode] = 2;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kCommonMode], 2);

    // The gate is multiplied back, not rounded.
    putData(d, 34, 39);
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_DOUBLE_EQ(p.v[kArpGate], 39 * 1.27);

    // Tempo: 16 bits minus 20, unless the tempo is overridden.
    putData(d, 30, 0x00);
    putData(d, 31, 0xDC);
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kArpTempo], 200);
    p.v[kOverrideTempo] = 1;
    p.v[kArpTempo] = 17;
    putData(d, 31, 0x78);
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kArpTempo], 17);
}

TEST(ProgramDumpParse, TimbreChannelsTakeOnlyTimbre1sFollowFlag) {
    FakeParams src = freshParams();
    src.v[kTimbreChannel] = 16;
    src.v[kTimbreChannel + 1] = 16;
    Dump d = build(src);
    FakeParams p = freshParams();
    p.v[kTimbreChannel] = 4;
    p.v[kTimbreChannel + 1] = 6;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kTimbreChannel], 16);
    EXPECT_EQ(p.v[kTimbreChannel + 1], 6);
    EXPECT_EQ(p.v[kDummyParam08], 0x7F);

    src.v[kTimbreChannel] = 9;
    d = build(src);
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kTimbreChannel], 16);  // kept
    EXPECT_EQ(p.v[kDummyParam08], 9);

    // With the common section locked even the flag is not taken.
    src.v[kTimbreChannel] = 16;
    d = build(src);
    p.v[kTimbreChannel] = 3;
    p.v[kSectionLockCommon] = 1;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kTimbreChannel], 3);
}

TEST(ProgramDumpParse, WaveSampleOnlyWithTheWaveSampleWaveformOfThisDump) {
    FakeParams src = freshParams();
    src.v[kOsc1Waveform] = 4;
    src.v[kOsc1DWGSWave] = 33;
    src.v[kOsc1Waveform + 1] = 5;
    src.v[kOsc1DWGSWave + 1] = 44;
    Dump d = build(src);
    FakeParams p = freshParams();
    p.v[kOsc1Waveform] = 5;  // the panel's waveform does not count
    p.v[kOsc1DWGSWave] = 1;
    p.v[kOsc1DWGSWave + 1] = 1;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kOsc1Waveform], 4);
    EXPECT_EQ(p.v[kOsc1DWGSWave], 1);
    EXPECT_EQ(p.v[kOsc1DWGSWave + 1], 44);
}

TEST(ProgramDumpParse, SpareParametersTakeTheRawBytes) {
    Dump d(initProgramDump, initProgramDump + kProgramDumpSize);
    d[21] = 0x10;
    d[29] = 0x55;
    d[45] = 0x20;
    d[109] = 0x04;
    d[49] = 0x0B;
    d[53] = 0x11;
    d[61] = 0x12;
    d[62] = 0x13;
    d[165] = 0x41;
    d[185] = 0x14;
    d[293] = 0x15;
    FakeParams p = freshParams();
    ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, p));
    EXPECT_EQ(p.v[kDummyParam01], 16);
    EXPECT_EQ(p.v[kDummyParam02], 0x55);
    EXPECT_EQ(p.v[kDummyParam03], 1);
    EXPECT_EQ(p.v[kDummyParam05], 4);
    EXPECT_EQ(p.v[kDummyParam08], 0x0B);
    EXPECT_EQ(p.v[kDummyParam09], 0x11);
    EXPECT_EQ(p.v[kDummyParam10], 0x12);
    EXPECT_EQ(p.v[kDummyParam11], 0x13);
    EXPECT_EQ(p.v[kDummyParam21], 0x41);
    EXPECT_EQ(p.v[kDummyParam23], 0x14);
    EXPECT_EQ(p.v[kDummyParam34], 0x15);
    d[21] = 0x00;
    d[45] = 0x00;
    d[109] = 0x00;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kDummyParam01], 0);
    EXPECT_EQ(p.v[kDummyParam03], 0);
    EXPECT_EQ(p.v[kDummyParam05], 0);
}

// Parameters → dump → parameters, for every field but the one-way ones
// (the timbre channels, and a wave sample without its waveform).
TEST(ProgramDumpRoundTrip, ParametersDumpParameters) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        FakeParams src = randomProgram(seed);
        Dump d = build(src, "Round " + std::to_string(seed), 0x30 + seed % 16);
        FakeParams dst = freshParams();
        for (int f : allFields()) dst.v[f] = dst.hi[f];  // far from most sources
        ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, dst));
        for (int f : allFields()) EXPECT_EQ(dst.v[f], src.v[f]) << "seed " << seed << " parameter " << f;
        EXPECT_EQ(dst.v[kGlobalMIDICha], seed % 16);
        EXPECT_EQ(programDumpName(d.data()), "Round " + std::to_string(seed) + (seed < 10 ? "     " : "    "));
    }
}

// Dump → parameters → dump, byte for byte.
TEST(ProgramDumpRoundTrip, DumpParametersDump) {
    for (unsigned seed = 100; seed < 120; ++seed) {
        Dump d = build(randomProgram(seed), "Twelve chars");
        FakeParams p = freshParams();
        ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, p));
        p.v[kTimbreChannel + 1] = randomProgram(seed).v[kTimbreChannel + 1];  // one way
        p.v[kTimbreChannel] = randomProgram(seed).v[kTimbreChannel];
        Dump again = build(p, programDumpName(d.data()));
        EXPECT_EQ(again, d) << seed;
    }
}

TEST(ProgramDumpRoundTrip, InitProgramComesBackButForItsCommonModeByte) {
    FakeParams p = freshParams();
    p.range(kArpGate, 0, 200);
    ASSERT_TRUE(parseProgramDump(initProgramDump, kProgramDumpSize, p));
    p.v[kTimbreChannel + 1] = 16;
    Dump d = build(p, "");
    for (int i = 0; i < kProgramDumpSize; ++i) {
        if (i == 24) continue;  // 0x40 reads as mode 0 and is written as 0x00
        EXPECT_EQ(d[i], initProgramDump[i]) << i;
    }
    EXPECT_EQ(d[24], 0x00);
}

// Which parameters each lock keeps (timbre 1's index for the per-timbre
// locks; timbre 2's lock is the next index and keeps the next indices).
struct LockCase {
    int lock;
    bool perTimbre;
    std::vector<int> keeps;  // in the lock's own timbre (or both for shared locks)
};

std::vector<LockCase> lockCases() {
    return {
        {kSectionLockCommon, false, {kCommonMode, kOctaveShift, kPortamento, kPortamento + 1}},
        {kSectionLockArp,
         false,
         {kArpLength,
          kArpStep1,
          kArpStep2,
          kArpStep3,
          kArpStep4,
          kArpStep5,
          kArpStep6,
          kArpStep7,
          kArpStep8,
          kArpTempo,
          kArpOnOff,
          kArpLatch,
          kArpKeySync,
          kArpTarget,
          kArpRange,
          kArpType,
          kArpGate,
          kArpReso,
          kArpSwing,
          kModSeqSwitch,
          kModSeqSwitch + 1,
          kModSeqResolution,
          kModSeqResolution + 1,
          kModSeqRunMode,
          kModSeqRunMode + 1}},
        {kSectionLockFX1, false, {kModFxSpeed, kModFxDepth, kModFxType}},
        {kSectionLockFX2, false, {kDelayFxSyncNote, kDelayFxTempoSync, kDelayFxTime, kDelayFxDepth, kDelayFxType}},
        {kSectionLockEQ, false, {kEQHiFreq, kEQHiGain, kEQLowFreq, kEQLowGain}},
        {kSectionLockVoice, true, {268, kVoiceTrigger, kVoiceAssign, kTimbreTune, kTimbreBendRange, kTimbreTranspose}},
        {kSectionLockUnisono, true, {kDetune}},
        {kSectionLockPitchMod, true, {kVibratoInt}},
        {kSectionLockOsc1, true, {kOsc1Waveform, kOsc1Control1, kOsc1Control2, kOsc1DWGSWave}},
        {kSectionLockOsc2, true, {kOsc2Waveform, kOsc2OscMod, kOsc2Semitone, kOsc2Tune}},
        {kSectionLockMixer, true, {kOsc1Level, kOsc2Level, kNoiseLevel}},
        {kSectionLockFilter,
         true,
         {kFilterType, kFilterCutoff, kFilterResonance, kFilterEGIntensity, kFilterVeloSense, kFilterKBDTrack}},
        {kSectionLockAmp, true, {kAmpLevel, kAmpPan, kAmpDistSw, kAmpVeloSense, kAmpKBDTrack}},
        {kSectionLockFilterEnv, true, {kEG1Attack, kEG1Decay, kEG1Sustain, kEG1Release}},
        {kSectionLockAmpEnv, true, {kEG2Attack, kEG2Decay, kEG2Sustain, kEG2Release, kEG2Reset, kAmpGateSw}},
        {kSectionLockLFO1, true, {kLfo1Waveform, kLfo1KeySync, kLfo1Frequency, kLfo1SyncNote, kLfo1TempoSync}},
        {kSectionLockLFO2, true, {kLfo2Waveform, kLfo2KeySync, kLfo2Frequency, kLfo2SyncNote, kLfo2TempoSync}},
        {kSectionLockVP1, true, {kVPatchSrc1, kVPatchDest1, kVPatchAmnt1}},
        {kSectionLockVP2, true, {kVPatchSrc2, kVPatchDest2, kVPatchAmnt2}},
        {kSectionLockVP3, true, {kVPatchSrc3, kVPatchDest3, kVPatchAmnt3}},
        {kSectionLockVP4, true, {kVPatchSrc4, kVPatchDest4, kVPatchAmnt4}},
    };
}

// Two programs that differ in every field.
void differentPrograms(FakeParams& a, FakeParams& b) {
    a = randomProgram(11);
    b = a;
    for (int f : allFields()) {
        if (isSemitone(f)) {
            int i = 0;
            while (kSemitones[i] != static_cast<int>(a.v[f])) ++i;
            b.v[f] = kSemitones[(i + 1) % 49];
        } else if (isGate(f)) {
            b.v[f] = (static_cast<int>(a.v[f] / 1.27 + 1e-9) + 1) % 101 * 1.27;
        } else {
            b.v[f] = static_cast<int>(a.v[f] + 1) % static_cast<int>(a.hi[f] + 1);
        }
    }
    a.v[kOsc1Waveform] = a.v[kOsc1Waveform + 1] = 4;
    b.v[kOsc1Waveform] = b.v[kOsc1Waveform + 1] = 5;
}

TEST(ProgramDumpLocks, EachLockKeepsExactlyItsFields) {
    FakeParams panel, incoming;
    differentPrograms(panel, incoming);
    const Dump d = build(incoming);
    for (const LockCase& c : lockCases()) {
        for (int t = 0; t < (c.perTimbre ? 2 : 1); ++t) {
            std::set<int> kept;
            for (int k : c.keeps) kept.insert(k + t);
            // The EG1 reset is kept by the filter envelope lock in timbre 1
            // and by the filter lock in timbre 2.
            if (c.lock == kSectionLockFilterEnv && t == 0) kept.insert(kEG1Reset);
            if (c.lock == kSectionLockFilter && t == 1) kept.insert(kEG1Reset + 1);
            FakeParams p = panel;
            p.v[c.lock + t] = 1;
            ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, p));
            for (int f : allFields()) {
                const double want = kept.count(f) ? panel.v[f] : incoming.v[f];
                EXPECT_EQ(p.v[f], want) << "lock " << c.lock + t << " parameter " << f;
            }
        }
    }
}

TEST(ProgramDumpLocks, OnlyALockValueOfExactlyOneLocks) {
    FakeParams panel, incoming;
    differentPrograms(panel, incoming);
    const Dump d = build(incoming);
    FakeParams p = panel;
    p.range(kSectionLockFilter, 0, 2);
    p.v[kSectionLockFilter] = 2;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kFilterCutoff], incoming.v[kFilterCutoff]);
}

TEST(ProgramDumpLocks, EveryLockOnLeavesTheUnlockedFieldsToTheDump) {
    FakeParams panel, incoming;
    differentPrograms(panel, incoming);
    const Dump d = build(incoming);
    FakeParams p = panel;
    for (int lock = kSectionLockOsc1; lock <= kSectionLockCommon; ++lock) p.v[lock] = 1;
    ASSERT_TRUE(parseProgramDump(d.data(), kProgramDumpSize, p));
    std::set<int> free = {kModSeqKeySync, kModSeqType, kModSeqLastStep, kSeq1Knob,  kSeq1Motion,
                          kSeq2Knob,      kSeq2Motion, kSeq3Knob,       kSeq3Motion};
    for (int f : allFields()) {
        bool isFree = free.count(f) || free.count(f - 1) || (f >= kSeq1Step1 && f <= kSeq3Step16 + 1);
        EXPECT_EQ(p.v[f], isFree ? incoming.v[f] : panel.v[f]) << f;
    }
}

// A lock switched while a dump is being parsed takes effect from the next
// field on: the parser reads every lock afresh.
TEST(ProgramDumpLocks, LocksAreReadForEveryField) {
    FakeParams panel, incoming;
    differentPrograms(panel, incoming);
    const Dump d = build(incoming);

    struct Switching : FakeParams {
        void set(int i, double plain) override {
            FakeParams::set(i, plain);
            if (i == kOsc1Level) v[kSectionLockMixer] = 1;
        }
    } p;
    static_cast<FakeParams&>(p) = panel;
    parseProgramDump(d.data(), kProgramDumpSize, p);
    EXPECT_EQ(p.v[kOsc1Level], incoming.v[kOsc1Level]);
    EXPECT_EQ(p.v[kOsc2Level], panel.v[kOsc2Level]);
    EXPECT_EQ(p.v[kNoiseLevel], panel.v[kNoiseLevel]);
}

TEST(ProgramDumpSections, WritingOneSectionLeavesTheOthers) {
    FakeParams p = randomProgram(5);
    uint8_t data[kProgramDataSize];
    std::memset(data, 0xAA, sizeof data);
    writeProgramFields(p, data, kSectionTimbre2);
    for (int n = 0; n < kTimbre2Data; ++n) EXPECT_EQ(data[n], 0xAA) << n;
    Dump full = build(p);
    uint8_t fullData[kProgramDataSize];
    unpackProgramData(full.data(), fullData);
    for (int n = kTimbre2Data; n < kProgramDataSize; ++n) {
        if (n == kTimbre2Data + 11) continue;  // offset 11 is no field
        EXPECT_EQ(data[n], fullData[n]) << n;
    }
    EXPECT_EQ(data[kTimbre2Data + 11], 0xAA);
}

}  // namespace
