// The bank reader: raw and Standard MIDI File banks, and what it refuses.
#include <gtest/gtest.h>

#include "framework/IUnitStructs.h"
#include "librarian_testbanks.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

using namespace libtest;

Bytes dumpOf(const LibrarianPatch& p) {
    return p.sysexMessages.size() == 1 ? p.sysexMessages[0].data : Bytes();
}

TEST(LibrarianReader, RawBankLoadsEveryDumpUnchanged) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(128);
    Bytes file = rawBank(programs);
    ASSERT_EQ(file.size(), 38016u);
    PatchFile bank = loadBytes(lib, file);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_FALSE(lib.headerMissing);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(dumpOf(bank.patches[i]), programDump(programs[i])) << i;
        EXPECT_EQ(bank.patches[i].name, "Prog " + std::to_string(i) + std::string(7 - std::to_string(i).size(), ' '));
    }
    EXPECT_EQ(bank.patches[0].sysexMessages[0].data[2], 0x30);
    EXPECT_EQ(bank.patches[0].sysexMessages[0].data[4], 0x40);

    // A bank on another channel is split at its end bytes just the same.
    PatchFile other = loadBytes(lib, rawBank(programs, 1));
    ASSERT_EQ(other.patches.size(), 128u);
    EXPECT_EQ(dumpOf(other.patches[77]), programDump(programs[77], 1));
}

TEST(LibrarianReader, ShortBanksArePaddedWithInitPrograms) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(100);
    PatchFile bank = loadBytes(lib, rawBank(programs));
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_EQ(dumpOf(bank.patches[99]), programDump(programs[99]));
    for (int i = 100; i < 128; ++i) {
        EXPECT_EQ(dumpOf(bank.patches[i]), Bytes(hvInitPatchData, hvInitPatchData + 297));
        EXPECT_EQ(bank.patches[i].name, "\x0F\x02\x05Init Prog");
    }
    // A bank of more than 128 is kept whole, for splitting.
    EXPECT_EQ(loadBytes(lib, rawBank(randomPrograms(300))).patches.size(), 300u);
}

TEST(LibrarianReader, InitProgramInTheFirstSlotStillReadsAsARawBank) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(128);
    Bytes file(hvInitPatchData, hvInitPatchData + 297);
    Bytes rest = rawBank(std::vector<ProgramData>(programs.begin() + 1, programs.end()));
    file.insert(file.end(), rest.begin(), rest.end());
    PatchFile bank = loadBytes(lib, file);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_TRUE(isInitProgram(bank.patches[0].sysexMessages[0].data.data(), 297));
    EXPECT_EQ(dumpOf(bank.patches[1]), programDump(programs[1]));
}

TEST(LibrarianReader, DumpWithoutEndByteDoesNotSwallowTheNext) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(128);
    Bytes file = rawBank(programs);
    file.erase(file.begin() + 5 * 297 + 296);  // dump 5 loses its F7
    PatchFile bank = loadBytes(lib, file);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_EQ(dumpOf(bank.patches[4]), programDump(programs[4]));
    EXPECT_EQ(dumpOf(bank.patches[5]), programDump(programs[6]));
    EXPECT_EQ(dumpOf(bank.patches[126]), programDump(programs[127]));
    EXPECT_TRUE(isInitProgram(bank.patches[127].sysexMessages[0].data.data(), 297));
}

TEST(LibrarianReader, NothingLoadsFromChunksWithoutARealProgram) {
    PatchLibrarian lib(nullptr);
    std::mt19937 rng(3);
    auto randomBytes = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(rng());
        return b;
    };
    // 14 bytes load nothing, even a valid-looking head.
    Bytes tiny = {0xF0, 0x42, 0x30, 0x58, 0x40, 0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 0xF7};
    EXPECT_TRUE(loadBytes(lib, tiny).patches.empty());

    for (size_t n : {15u, 20000u, 37163u, 37392u, 38016u, 38580u, 60000u}) {
        Bytes b = randomBytes(n);
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        b[0] = 0xF0, b[1] = 0x42, b[2] = 0x31, b[3] = 0x58, b[4] = 0x4C, b[5] = 0x01;  // header fails at 00
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        b[4] = 0x41, b[5] = 0x00;
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        std::memcpy(b.data(), "MThd\0\0\0\6", 8);
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
    }
    EXPECT_TRUE(lib.headerMissing);

    // Another maker's dumps of the right size are not programs.
    Bytes foreign = rawBank(randomPrograms(128));
    for (size_t i = 0; i < foreign.size(); i += 297) foreign[i + 1] = 0x41;
    EXPECT_TRUE(loadBytes(lib, foreign).patches.empty());
    // One program among garbage is the only thing that loads.
    Bytes mixed = randomBytes(30000);
    for (auto& x : mixed) x &= 0x7F;
    Bytes one = programDump(randomPrograms(1)[0], 5);
    std::copy(one.begin(), one.end(), mixed.begin() + 1000);
    PatchFile bank = loadBytes(lib, mixed);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_EQ(dumpOf(bank.patches[0]), one);
    EXPECT_TRUE(isInitProgram(bank.patches[1].sysexMessages[0].data.data(), 297));
}

TEST(LibrarianReader, SizeArgumentLimitsTheRead) {
    PatchLibrarian lib(nullptr);
    Bytes file = rawBank(randomPrograms(128));
    ByteChunk c = chunkOf(file);
    PatchFile bank;
    lib.loadFromChunk(&c, 3 * 297 + 100, &bank);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_FALSE(isInitProgram(bank.patches[2].sysexMessages[0].data.data(), 297));
    EXPECT_TRUE(isInitProgram(bank.patches[3].sysexMessages[0].data.data(), 297));
    PatchFile none;
    lib.loadFromChunk(&c, 14, &none);
    lib.loadFromChunk(nullptr, 500, &none);
    lib.loadFromChunk(&c, 500, nullptr);
    EXPECT_TRUE(none.patches.empty());
}

TEST(LibrarianReader, MidiFileDumpsAreTheSysExEventsOfAnyTrack) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(3);
    // Format 0, one track: a note, running status, a meta event, three dumps.
    Bytes track = {0x00, 0x90, 0x40, 0x7F, 0x10, 0x40, 0x00, 0x00, 0xFF, 0x03, 0x02, 'h', 'i'};
    for (const auto& p : programs) {
        Bytes d = programDump(p);
        track.push_back(0x00);
        track.push_back(0xF0);
        track.push_back(0x82);
        track.push_back(0x28);
        track.insert(track.end(), d.begin() + 1, d.end());
    }
    Bytes tail = {0x00, 0xFF, 0x2F, 0x00};
    track.insert(track.end(), tail.begin(), tail.end());
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    uint32_t n = static_cast<uint32_t>(track.size());
    file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), track.begin(), track.end());

    PatchFile bank = loadBytes(lib, file);
    ASSERT_EQ(bank.patches.size(), 128u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dumpOf(bank.patches[i]), programDump(programs[i]));

    // A track length beyond the file still gives the dumps that are whole.
    file[18] = 0x7F;
    file.resize(file.size() - 100);
    PatchFile cut = loadBytes(lib, file);
    ASSERT_EQ(cut.patches.size(), 128u);
    EXPECT_EQ(dumpOf(cut.patches[1]), programDump(programs[1]));
    EXPECT_TRUE(isInitProgram(cut.patches[2].sysexMessages[0].data.data(), 297));
}

struct RecordingPlug : Halvoran {
    std::vector<Bytes> received;
    void ProcessSysEx(ISysEx* m, bool fromDevice) override {
        if (fromDevice) received.emplace_back(m->mData, m->mData + m->mSize);
    }
};

TEST(LibrarianReader, RequestedBankDumpIsHandedOnAndEndsRequestMode) {
    for (int channel : {0, 3}) {
        RecordingPlug plug;
        PatchLibrarian lib(&plug);
        auto programs = randomPrograms(128, 11);
        plug.bankDumpSeen = true;
        lib.requestMode = true;
        PatchFile bank = loadBytes(lib, packedBank(programs, channel));
        EXPECT_FALSE(lib.requestMode) << channel;
        EXPECT_FALSE(plug.bankDumpSeen);
        EXPECT_EQ(lib.requestSlot, 0);
        ASSERT_EQ(plug.received.size(), 128u);
        for (int i = 0; i < 128; ++i) {
            EXPECT_EQ(plug.received[i], programDump(programs[i])) << i;
            EXPECT_TRUE(bank.patches[i].name.empty());
        }
    }
}

}  // namespace
