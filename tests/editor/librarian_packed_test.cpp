// Cutting programs out of the instrument's whole-bank dumps.
#include <gtest/gtest.h>

#include "librarian_testbanks.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

using namespace libtest;

TEST(LibrarianPackedImport, BothSizesGiveEveryProgramWithItsTopBits) {
    auto programs = randomPrograms(128, 21);
    for (bool longForm : {false, true}) {
        for (uint8_t function : {0x4C, 0x50, 0x40}) {
            Bytes dump = packedBank(programs, 2, function, longForm);
            ASSERT_EQ(dump.size(), longForm ? 37392u : 37163u);
            PatchLibrarian lib(nullptr);
            PatchFile bank = loadBytes(lib, dump);
            ASSERT_EQ(bank.patches.size(), 128u) << longForm << function;
            for (int i = 0; i < 128; ++i) {
                ASSERT_EQ(bank.patches[i].sysexMessages.size(), 1u);
                EXPECT_EQ(bank.patches[i].sysexMessages[0].data, programDump(programs[i])) << "program " << i;
            }
            EXPECT_EQ(lib.importSlotCounter, 0);
        }
    }
}

TEST(LibrarianPackedImport, ProgramsOnAGroupBoundaryEqualTheBankBytes) {
    auto programs = randomPrograms(128, 5);
    Bytes dump = packedBank(programs);
    PatchLibrarian lib(nullptr);
    PatchFile bank = loadBytes(lib, dump);
    ASSERT_EQ(bank.patches.size(), 128u);
    for (int i = 0; i < 128; i += 7) {
        const Bytes& d = bank.patches[i].sysexMessages[0].data;
        const int first = 6 + 290 * i + 2 * (i / 7) - 1;  // the group byte before program i
        EXPECT_TRUE(std::equal(d.begin() + 5, d.begin() + 296, dump.begin() + first)) << i;
    }
    // Program 1 begins at 296; the group byte at 301 is passed over.
    const Bytes& one = bank.patches[1].sysexMessages[0].data;
    EXPECT_EQ(one[6], dump[296]);
    EXPECT_EQ(one[11], dump[302]);
}

TEST(LibrarianPackedImport, BlankNamesBecomeUnnamedOnlyWhenTheGroupByteIsClear) {
    auto programs = randomPrograms(128, 9);
    for (int k = 0; k < 12; ++k) programs[3][k] = ' ';
    programs[3][12] = programs[3][13] = 0;
    for (int k = 0; k < 12; ++k) programs[4][k] = ' ';
    programs[4][12] = 0;
    programs[4][13] = 0x80;  // sets a top bit in the group byte at 13
    Bytes dump = packedBank(programs);
    PatchLibrarian lib(nullptr);
    PatchFile bank = loadBytes(lib, dump);
    ASSERT_EQ(bank.patches.size(), 128u);

    const Bytes& unnamed = bank.patches[3].sysexMessages[0].data;
    EXPECT_EQ(bank.patches[3].name, "unnamed prog");
    EXPECT_EQ(std::string(unnamed.begin() + 6, unnamed.begin() + 13), "unnamed");
    EXPECT_EQ(std::string(unnamed.begin() + 14, unnamed.begin() + 19), " prog");
    EXPECT_EQ(unnamed[13], 0);

    EXPECT_EQ(bank.patches[4].name, "       \x40     ");
    EXPECT_EQ(bank.patches[4].sysexMessages[0].data, programDump(programs[4]));
}

TEST(LibrarianPackedImport, CallByCallProtocolAndRepeatedDumps) {
    auto programs = randomPrograms(128, 2);
    ByteChunk c = chunkOf(packedBank(programs));
    PatchLibrarian lib(nullptr);
    PatchFile bank;
    int pos = 6;
    int result = 0;
    for (int call = 1; call <= 128; ++call) result = lib.importSysExFile(&c, pos, &bank);
    EXPECT_EQ(result, 37162);
    EXPECT_EQ(bank.patches.size(), 128u);
    EXPECT_EQ(lib.importSysExFile(&c, pos, &bank), 0);
    EXPECT_EQ(lib.importSlotCounter, 0);
    EXPECT_EQ(pos, 0);

    // The next dump: the first call only finds its start.
    EXPECT_EQ(lib.importSysExFile(&c, pos, &bank), 6);
    EXPECT_EQ(bank.patches.size(), 128u);
    while (lib.importSysExFile(&c, pos, &bank) > 0) {
    }
    ASSERT_EQ(bank.patches.size(), 256u);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(bank.patches[128 + i].sysexMessages[0].data, bank.patches[i].sysexMessages[0].data);
}

TEST(LibrarianPackedImport, TruncatedDumpYieldsOnlyWholePrograms) {
    auto programs = randomPrograms(128, 4);
    Bytes dump = packedBank(programs);
    dump.resize(20000);
    int whole = 0;
    while (packedDataOffset(254 * whole + 253) < 20000) ++whole;
    PatchLibrarian lib(nullptr);
    ByteChunk c = chunkOf(dump);
    PatchFile bank;
    int pos = 6;
    while (lib.importSysExFile(&c, pos, &bank) > 0) {
    }
    ASSERT_EQ(static_cast<int>(bank.patches.size()), whole);
    EXPECT_EQ(bank.patches.back().sysexMessages[0].data, programDump(programs[whole - 1]));
    // Through the reader: the same programs, padded.
    PatchFile viaReader;
    lib.loadFromChunk(&c, c.Size(), &viaReader);
    ASSERT_EQ(viaReader.patches.size(), 128u);
    EXPECT_EQ(viaReader.patches[whole - 1].sysexMessages[0].data, programDump(programs[whole - 1]));
    EXPECT_TRUE(isInitProgram(viaReader.patches[whole].sysexMessages[0].data.data(), 297));
}

TEST(LibrarianPackedImport, FindByte) {
    ByteChunk c = chunkOf({0x10, 0x20, 0x30});
    int pos = 0;
    EXPECT_TRUE(findByte(&c, pos, 0x20));
    EXPECT_EQ(pos, 2);
    pos = 0;
    EXPECT_FALSE(findByte(&c, pos, 0x40));
    EXPECT_EQ(pos, -1);
    EXPECT_FALSE(findByte(&c, pos, 0x10));
    EXPECT_EQ(pos, -1);
}

}  // namespace
