// The bank reader and the packed whole-bank import.
#include <gtest/gtest.h>

#include "framework/IUnitStructs.h"
#include "librarian_testbanks.h"
#include "src/Halvoran.h"
#include "src/Patch.h"

namespace {

using namespace libtest;

std::vector<Bytes> dumps(const std::vector<ProgramData>& programs, int channel = 0) {
    std::vector<Bytes> out;
    for (const auto& p : programs) out.push_back(programDump(p, channel));
    return out;
}

std::vector<Bytes> padded(std::vector<Bytes> v) {
    v.resize(std::max<size_t>(v.size(), 128), initProgram());
    return v;
}

TEST(LibrarianReader, RawBanksOnAnyChannelWithInitOrShortSlots) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(128);
    PatchFile bank = loadBytes(lib, rawBank(programs));
    EXPECT_EQ(dumpsOf(bank), dumps(programs));
    EXPECT_EQ(bank.patches[12].name, "Prog 12     ");
    EXPECT_EQ(dumpsOf(loadBytes(lib, rawBank(programs, 1))), dumps(programs, 1));

    // 100 programs are padded with named init programs; 300 are kept whole.
    programs.resize(100);
    bank = loadBytes(lib, rawBank(programs));
    EXPECT_EQ(dumpsOf(bank), padded(dumps(programs)));
    EXPECT_EQ(bank.patches[127].name, "\x0F\x02\x05Init Prog");
    EXPECT_EQ(loadBytes(lib, rawBank(randomPrograms(300))).patches.size(), 300u);

    // The init program in slot 0; a dump that lost its F7 costs only itself.
    Bytes file = initProgram();
    Bytes rest = rawBank(programs);
    file.insert(file.end(), rest.begin(), rest.end());
    file.erase(file.begin() + 6 * 297 + 296);
    auto expected = dumps(programs);
    expected.insert(expected.begin(), initProgram());
    expected.erase(expected.begin() + 6);
    EXPECT_EQ(dumpsOf(loadBytes(lib, file)), padded(expected));
}

TEST(LibrarianReader, NothingLoadsWithoutARealProgram) {
    PatchLibrarian lib(nullptr);
    std::mt19937 rng(3);
    Bytes one = programDump(randomPrograms(1)[0], 5);
    EXPECT_TRUE(loadBytes(lib, Bytes(one.begin(), one.begin() + 14)).patches.empty());
    for (size_t n : {15u, 20000u, 37163u, 37392u, 38016u, 38580u}) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(rng());
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        b[0] = 0xF0, b[1] = 0x42, b[2] = 0x31, b[3] = 0x58, b[4] = 0x4C, b[5] = 0x01;  // not 00 after the function
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        std::copy_n("MThd\0\0\0\6", 8, b.begin());
        EXPECT_TRUE(loadBytes(lib, b).patches.empty()) << n;
        if (n < 1000) continue;
        // One real dump among 7-bit garbage is all that loads.
        for (auto& x : b) x &= 0x7F;
        b[0] = 0;
        std::copy(one.begin(), one.end(), b.begin() + n / 3);
        EXPECT_EQ(dumpsOf(loadBytes(lib, b)), padded({one})) << n;
    }
    Bytes foreign = rawBank(randomPrograms(128));
    for (size_t i = 1; i < foreign.size(); i += 297) foreign[i] = 0x41;
    EXPECT_TRUE(loadBytes(lib, foreign).patches.empty());
}

// Dumps whose bytes fall at every offset after 7-bit filler all load, cut at
// their own F7; a status byte anywhere in a body makes no program dump.
TEST(LibrarianReader, DumpsAtEveryOffsetAndStatusBytesInTheBody) {
    PatchLibrarian lib(nullptr);
    const auto expected = dumps(randomPrograms(16));
    Bytes file;
    for (size_t k = 0; k < expected.size(); ++k) {
        file.insert(file.end(), k, 0x11);
        file.insert(file.end(), expected[k].begin(), expected[k].end());
    }
    EXPECT_EQ(dumpsOf(loadBytes(lib, file)), padded(expected));
    for (size_t at = 5; at + 1 < expected[0].size(); ++at) {
        Bytes bad = expected[0];
        bad[at] |= 0x80;
        EXPECT_FALSE(isProgramDump(bad.data(), bad.size())) << at;
    }
}

TEST(LibrarianReader, MidiFileDumpsAreTheSysExEventsOfAnyTrack) {
    PatchLibrarian lib(nullptr);
    auto programs = randomPrograms(3);
    // Format 0: a note, running status, a meta event, then the dumps.
    Bytes track = {0x00, 0x90, 0x40, 0x7F, 0x10, 0x40, 0x00, 0x00, 0xFF, 0x03, 0x02, 'h', 'i'};
    for (const Bytes& d : dumps(programs)) {
        track.insert(track.end(), {0x00, 0xF0, 0x82, 0x28});
        track.insert(track.end(), d.begin() + 1, d.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0};
    file.insert(file.end(), {uint8_t(track.size() >> 8), uint8_t(track.size())});
    file.insert(file.end(), track.begin(), track.end());
    EXPECT_EQ(dumpsOf(loadBytes(lib, file)), padded(dumps(programs)));
    // A track cut short still gives its whole dumps.
    file.erase(file.end() - 100, file.end());
    EXPECT_EQ(dumpsOf(loadBytes(lib, file)), padded({dumps(programs)[0], dumps(programs)[1]}));
}

TEST(LibrarianPackedImport, EveryProgramOfBothSizesWithItsTopBitsInPlace) {
    auto programs = randomPrograms(128, 21);
    for (bool longForm : {false, true}) {
        for (uint8_t function : {0x4C, 0x50, 0x40}) {
            Bytes dump = packedBank(programs, 2, function, longForm);
            ASSERT_EQ(dump.size(), longForm ? 37392u : 37163u);
            PatchLibrarian lib(nullptr);
            EXPECT_EQ(dumpsOf(loadBytes(lib, dump)), dumps(programs)) << longForm << int(function);
        }
    }
}

TEST(LibrarianPackedImport, BlankNameBecomesUnnamedOnlyWithAClearGroupByte) {
    auto programs = randomPrograms(128, 9);
    for (int p : {3, 4}) std::fill_n(programs[p].begin(), 14, ' '), programs[p][12] = programs[p][13] = 0;
    programs[4][13] = 0x80;  // its top bit goes into the group byte at 13
    PatchLibrarian lib(nullptr);
    PatchFile bank = loadBytes(lib, packedBank(programs));
    const Bytes& unnamed = bank.patches[3].sysexMessages[0].data;
    EXPECT_EQ(bank.patches[3].name, "unnamed prog");
    EXPECT_EQ(std::string(unnamed.begin() + 6, unnamed.begin() + 19), std::string("unnamed\0 prog", 13));
    EXPECT_EQ(bank.patches[4].name, "       \x40     ");
    EXPECT_EQ(bank.patches[4].sysexMessages[0].data, programDump(programs[4]));
}

TEST(LibrarianPackedImport, CallsCountersAndCutDumps) {
    auto programs = randomPrograms(128, 2);
    ByteChunk c = chunkOf(packedBank(programs));
    PatchLibrarian lib(nullptr);
    PatchFile bank;
    int pos = 6, result = 0;
    for (int call = 1; call <= 128; ++call) result = lib.importSysExFile(&c, pos, &bank);
    EXPECT_EQ(result, 37162);
    EXPECT_EQ(lib.importSysExFile(&c, pos, &bank), 0);
    EXPECT_EQ(lib.importSlotCounter, 0);
    EXPECT_EQ(lib.importSysExFile(&c, pos, &bank), 6);  // the next dump: only its start
    while (lib.importSysExFile(&c, pos, &bank) > 0) {}
    ASSERT_EQ(bank.patches.size(), 256u);
    EXPECT_EQ(dumpsOf(bank)[255], dumpsOf(bank)[127]);

    // A dump cut at 20000 bytes gives the programs wholly inside it.
    c.Resize(20000);
    int whole = 0;
    while (packedDataOffset(254 * whole + 253) < 20000) ++whole;
    programs.resize(whole);
    EXPECT_EQ(dumpsOf(loadBytes(lib, Bytes(c.GetBytes(), c.GetBytes() + c.Size()))), padded(dumps(programs)));

    ByteChunk three = chunkOf({0x10, 0x20, 0x30});
    pos = 0;
    EXPECT_TRUE(findByte(&three, pos, 0x20) && pos == 2);
    EXPECT_FALSE(findByte(&three, pos, 0x40) || pos != -1);
}

struct RecordingPlug : Halvoran {
    std::vector<Bytes> received;
    void ProcessSysEx(ISysEx* m, bool fromDevice) override {
        if (fromDevice) received.emplace_back(m->mData, m->mData + m->mSize);
    }
};

TEST(LibrarianPackedImport, RequestedDumpIsHandedOnAndEndsRequestModeOnAnyChannel) {
    for (int channel : {0, 3}) {
        RecordingPlug plug;
        PatchLibrarian lib(&plug);
        auto programs = randomPrograms(128, 11);
        plug.bankDumpSeen = lib.requestMode = true;
        PatchFile bank = loadBytes(lib, packedBank(programs, channel));
        EXPECT_FALSE(lib.requestMode || plug.bankDumpSeen) << channel;
        EXPECT_EQ(lib.requestSlot, 0);
        EXPECT_EQ(plug.received, dumps(programs));
        EXPECT_TRUE(bank.patches[5].name.empty());
    }
}

TEST(LibrarianRecords, CloneSquaresTheSourceAndTreesNeverOwnBanks) {
    PatchFile source;
    source.fileName = "Pads.syx";
    source.patches.resize(100);
    std::unique_ptr<PatchFile> copy(source.clone());
    EXPECT_EQ(copy->patches.size(), 100u);
    EXPECT_EQ(copy->fileName, "Pads.syx");
    EXPECT_EQ(source.patches.size(), 128u);

    PatchLibrarian lib(nullptr);
    lib.bankFiles.push_back(new PatchFile);
    lib.folderTree.push_back(new FolderFiles{"Patches", {}, {lib.bankFiles[0]}});
    lib.clearDataStructures(2);
    EXPECT_EQ(lib.folderTree.size(), 1u);
    lib.clearDataStructures(0);
    EXPECT_TRUE(lib.folderTree.empty());
    EXPECT_EQ(lib.bankFiles.size(), 1u);
    EXPECT_EQ(Patch().names, std::vector<std::string>(5, "- INIT -"));
}

}  // namespace
