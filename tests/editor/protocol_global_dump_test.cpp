// The global dump in both directions: the byte map, the out-of-pattern
// bytes, the signed tune and transposition, and bad sizes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "protocol_params.h"
#include "src/GlobalDump.h"

using hvproto::FakeParams;

namespace {

using Dump = std::vector<uint8_t>;

const int kGlobalParams[] = {kMasterTune,
                             kMasterTranspose,
                             kMasterPosition,
                             kMasterVelocityValue,
                             kMasterVelocityArea,
                             kGlobalLocalOn,
                             kMIDIFilterWriteProtect,
                             kGlobalClockSource,
                             kGlobalMIDICha,
                             kMIDIFilterSysEx,
                             kGlobalMIDI1Ctrl,
                             kGlobalMIDI2Ctrl,
                             kMIDIFilterProgramChange,
                             kMIDIFilterControlChange,
                             kMIDIFilterPitchBend};

FakeParams fresh() {
    FakeParams p;
    hvproto::programRanges(p);
    return p;
}

Dump build(const FakeParams& p, int device = 0x30) {
    Dump d(kGlobalDumpSize);
    buildGlobalDump(p, device, d.data());
    return d;
}

Dump templ() { return Dump(globalDumpTemplate, globalDumpTemplate + kGlobalDumpSize); }

TEST(GlobalDumpWriter, AllSwitchesOffKeepsTheTemplateAroundTheMappedBytes) {
    FakeParams p = fresh();
    p.v[kMasterTune] = 50;
    p.v[kMasterTranspose] = 12;
    Dump d = build(p, 0x3C);
    EXPECT_EQ(d[2], 0x3C);
    EXPECT_EQ(d[11], 0);
    EXPECT_EQ(d[21], 0);
    EXPECT_EQ(d[25], 0);
    EXPECT_EQ(d[5], 0);
    EXPECT_EQ(d[6], 0);
    EXPECT_EQ(d[7], 0);
    const std::vector<int> mapped = {2, 5, 6, 7, 8, 9, 10, 11, 15, 16, 21, 22, 23, 25};
    for (int i = 0; i < kGlobalDumpSize; ++i) {
        if (std::find(mapped.begin(), mapped.end(), i) != mapped.end()) continue;
        EXPECT_EQ(d[i], globalDumpTemplate[i]) << i;
    }
}

TEST(GlobalDumpWriter, SwitchesAndSignedValues) {
    FakeParams p = fresh();
    p.v[kGlobalLocalOn] = 1;
    p.v[kMIDIFilterWriteProtect] = 1;
    p.v[kMIDIFilterSysEx] = 1;
    p.v[kMIDIFilterProgramChange] = 1;
    p.v[kMIDIFilterPitchBend] = 1;
    p.v[kMasterTune] = 0;        // 50 below the zero point
    p.v[kMasterTranspose] = 24;  // 12 above
    p.v[kGlobalMIDICha] = 9;
    Dump d = build(p);
    EXPECT_EQ(d[11], 0x05);
    EXPECT_EQ(d[21], 0x04);
    EXPECT_EQ(d[25], 0x41);
    EXPECT_EQ(d[5], 0x01);
    EXPECT_EQ(d[6], static_cast<uint8_t>(-50) & 0x7F);
    EXPECT_EQ(d[7], 12);
    EXPECT_EQ(d[16], 9);
    p.v[kMasterTranspose] = 0;
    EXPECT_EQ(build(p)[5], 0x03);
    for (int i = 1; i < kGlobalDumpSize - 1; ++i) EXPECT_LT(build(p)[i], 0x80) << i;
}

TEST(GlobalDumpWriter, DataBytesStayBelow128WhateverTheRanges) {
    FakeParams p = fresh();
    for (int i : kGlobalParams) p.range(i, -1000, 1000);
    for (int i : kGlobalParams) p.v[i] = 900;
    Dump d = build(p);
    for (int i = 1; i < kGlobalDumpSize - 1; ++i) EXPECT_LT(d[i], 0x80) << i;
    for (int i : kGlobalParams) p.v[i] = -900;
    d = build(p);
    for (int i = 1; i < kGlobalDumpSize - 1; ++i) EXPECT_LT(d[i], 0x80) << i;
}

TEST(GlobalDumpWriter, ZeroPointIsTheMiddleOfTheRange) {
    FakeParams p = fresh();
    EXPECT_EQ(globalZeroPoint(p, kMasterTranspose), 12);
    EXPECT_EQ(globalZeroPoint(p, kMasterTune), 50);
    p.range(kMasterTune, -50, 50);
    EXPECT_EQ(globalZeroPoint(p, kMasterTune), 0);
    p.v[kMasterTune] = -7;
    Dump d = build(p);
    EXPECT_EQ(d[5] & 1, 1);
    EXPECT_EQ(d[6], static_cast<uint8_t>(-7) & 0x7F);
}

TEST(GlobalDumpParser, ByteMapAndOrder) {
    Dump d = templ();
    d[2] = 0x35;
    d[16] = 7;
    d[11] = 0x06;
    d[25] = 0x44;
    d[21] = 0x00;
    d[8] = 1;
    d[9] = 100;
    d[10] = 3;
    d[15] = 2;
    d[22] = 17;
    d[23] = 64;
    FakeParams p = fresh();
    p.v[kMIDIFilterWriteProtect] = 1;
    p.v[kMIDIFilterProgramChange] = 1;
    p.v[kMIDIFilterSysEx] = 1;
    ASSERT_TRUE(parseGlobalDump(d.data(), kGlobalDumpSize, p));
    EXPECT_EQ(p.v[kGlobalMIDICha], 7);  // byte 16 comes after byte 2
    EXPECT_EQ(p.v[kGlobalLocalOn], 1);
    EXPECT_EQ(p.v[kMIDIFilterWriteProtect], 0);
    EXPECT_EQ(p.v[kMIDIFilterControlChange], 1);
    EXPECT_EQ(p.v[kMIDIFilterPitchBend], 1);
    EXPECT_EQ(p.v[kMIDIFilterProgramChange], 0);
    EXPECT_EQ(p.v[kMIDIFilterSysEx], 0);
    EXPECT_EQ(p.v[kMasterPosition], 1);
    EXPECT_EQ(p.v[kMasterVelocityValue], 100);
    EXPECT_EQ(p.v[kMasterVelocityArea], 3);
    EXPECT_EQ(p.v[kGlobalClockSource], 2);
    EXPECT_EQ(p.v[kGlobalMIDI1Ctrl], 17);
    EXPECT_EQ(p.v[kGlobalMIDI2Ctrl], 64);
    const std::vector<int> order = {kGlobalMIDICha,           kMasterTune,
                                    kMasterTranspose,         kMasterPosition,
                                    kMasterVelocityValue,     kMasterVelocityArea,
                                    kGlobalLocalOn,           kMIDIFilterWriteProtect,
                                    kGlobalClockSource,       kGlobalMIDICha,
                                    kMIDIFilterSysEx,         kGlobalMIDI1Ctrl,
                                    kGlobalMIDI2Ctrl,         kMIDIFilterProgramChange,
                                    kMIDIFilterControlChange, kMIDIFilterPitchBend};
    EXPECT_EQ(p.order, order);
}

TEST(GlobalDumpParser, OutOfPatternBytesLeaveTheirParameters) {
    Dump d = templ();
    d[11] = 0x15;
    d[25] = 0x03;
    d[21] = 0x05;
    FakeParams p = fresh();
    p.v[kGlobalLocalOn] = 1;
    p.v[kMIDIFilterWriteProtect] = 1;
    p.v[kMIDIFilterProgramChange] = 1;
    p.v[kMIDIFilterSysEx] = 1;
    ASSERT_TRUE(parseGlobalDump(d.data(), kGlobalDumpSize, p));
    EXPECT_EQ(p.v[kGlobalLocalOn], 1);
    EXPECT_EQ(p.v[kMIDIFilterWriteProtect], 1);
    EXPECT_EQ(p.v[kMIDIFilterProgramChange], 1);
    EXPECT_EQ(p.v[kMIDIFilterControlChange], 0);
    EXPECT_EQ(p.v[kMIDIFilterSysEx], 1);
    // Every one of the eight filter patterns is taken.
    for (int v : {0, 1, 4, 5, 64, 65, 68, 69}) {
        d[25] = static_cast<uint8_t>(v);
        parseGlobalDump(d.data(), kGlobalDumpSize, p);
        EXPECT_EQ(p.v[kMIDIFilterProgramChange], v & 1) << v;
        EXPECT_EQ(p.v[kMIDIFilterControlChange], (v >> 2) & 1) << v;
        EXPECT_EQ(p.v[kMIDIFilterPitchBend], (v >> 6) & 1) << v;
    }
}

TEST(GlobalDumpParser, SignBitsOnlyInTheirThreePatterns) {
    Dump d = templ();
    d[6] = 0x7F;
    d[7] = 0x7E;
    for (auto [packing, tune, transpose] : std::vector<std::tuple<int, int, int>>{
             {0, 50 + 127, 12 + 126}, {1, 49, 12 + 126}, {2, 50 + 127, 10}, {3, 49, 10}, {7, 50 + 127, 12 + 126}}) {
        d[5] = static_cast<uint8_t>(packing);
        // Unclamped, to see the raw readings; the zero points still come
        // from the ranges 0..100 and 0..24.
        struct Wide : FakeParams {
            void set(int i, double plain) override { v[i] = plain; }
        } w;
        static_cast<FakeParams&>(w) = fresh();
        parseGlobalDump(d.data(), kGlobalDumpSize, w);
        EXPECT_EQ(w.v[kMasterTune], tune) << packing;
        EXPECT_EQ(w.v[kMasterTranspose], transpose) << packing;
    }
}

TEST(GlobalDumpParser, RefusesWrongSizesAndHeaders) {
    for (int size : {0, 6, 234, 236, 297}) {
        Dump d = templ();
        d.resize(std::max(size, 1));
        FakeParams p = fresh();
        EXPECT_FALSE(parseGlobalDump(d.data(), size, p)) << size;
        EXPECT_TRUE(p.order.empty());
    }
    Dump d = templ();
    d[2] = 0x45;
    FakeParams p = fresh();
    EXPECT_FALSE(parseGlobalDump(d.data(), kGlobalDumpSize, p));
    d = templ();
    d[3] = 0x57;
    EXPECT_FALSE(parseGlobalDump(d.data(), kGlobalDumpSize, p));
    EXPECT_TRUE(p.order.empty());
}

TEST(GlobalDumpRoundTrip, ParametersDumpParameters) {
    std::mt19937 rng(42);
    for (int round = 0; round < 50; ++round) {
        FakeParams src = fresh();
        for (int i : kGlobalParams) src.v[i] = static_cast<int>(rng() % static_cast<unsigned>(src.hi[i] + 1));
        Dump d = build(src, 0x30 + static_cast<int>(src.v[kGlobalMIDICha]));
        FakeParams dst = fresh();
        for (int i : kGlobalParams) dst.v[i] = dst.hi[i] - src.v[i];
        ASSERT_TRUE(parseGlobalDump(d.data(), kGlobalDumpSize, dst));
        for (int i : kGlobalParams) EXPECT_EQ(dst.v[i], src.v[i]) << "round " << round << " parameter " << i;
        EXPECT_EQ(build(dst, d[2]), d);
    }
}

}  // namespace
