// The librarian's records, the name rule and the program packing.
#include <gtest/gtest.h>

#include "librarian_testbanks.h"
#include "src/Patch.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

using libtest::Bytes;

LibrarianPatch programNamed(const std::string& name, uint8_t fill) {
    LibrarianPatch p;
    p.name = name;
    p.sysexMessages.push_back(PatchSysexMessage{Bytes(297, fill)});
    return p;
}

TEST(LibrarianRecords, CloneCopiesProgramsAndSquaresTheSourceTo128) {
    PatchFile source;
    source.fileName = "Pads.syx";
    source.folderName = "Patches";
    source.folderChain = {"Patches"};
    source.sourceIndex = 4;
    source.status = 3;
    for (int i = 0; i < 100; ++i) source.patches.push_back(programNamed("P" + std::to_string(i), uint8_t(i)));

    std::unique_ptr<PatchFile> copy(source.clone());
    ASSERT_EQ(copy->patches.size(), 100u);
    EXPECT_EQ(copy->status, 0);
    EXPECT_EQ(copy->fileName, "Pads.syx");
    EXPECT_TRUE(copy->folderName.empty() && copy->folderChain.empty() && copy->folderPath.empty());
    EXPECT_EQ(copy->sourceIndex, 0);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(copy->patches[i].name, source.patches[i].name);
        EXPECT_EQ(copy->patches[i].sysexMessages[0].data, source.patches[i].sysexMessages[0].data);
    }
    ASSERT_EQ(source.patches.size(), 128u);
    for (int i = 100; i < 128; ++i) EXPECT_TRUE(source.patches[i].name.empty() && source.patches[i].sysexMessages.empty());

    // A full bank is left as it is; an oversized one is cut after slot 127.
    std::unique_ptr<PatchFile> again(source.clone());
    EXPECT_EQ(again->patches.size(), 128u);
    EXPECT_EQ(source.patches.size(), 128u);
    source.patches.resize(130, programNamed("x", 1));
    std::unique_ptr<PatchFile> big(source.clone());
    EXPECT_EQ(big->patches.size(), 130u);
    EXPECT_EQ(source.patches.size(), 128u);

    // Copies share nothing.
    LibrarianPatch a = programNamed("A", 5);
    LibrarianPatch b(a);
    b.name = "B";
    b.sysexMessages[0].data[3] = 9;
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(a.sysexMessages[0].data[3], 5);
}

TEST(LibrarianRecords, ClearDataStructuresEmptiesOnlyTheNamedTree) {
    PatchLibrarian lib(nullptr);
    EXPECT_EQ(lib.selectedBankLower, -1);
    EXPECT_TRUE(lib.headerMissing);
    EXPECT_EQ(lib.importSlotCounter, 1);
    auto* bank = new PatchFile;
    bank->fileName = "A.syx";
    lib.bankFiles.push_back(bank);
    auto* node = new FolderFiles;
    node->name = "Patches";
    node->files.push_back(bank);
    SubFolderFiles sub;
    sub.name = "Leads";
    sub.files.push_back(bank);
    node->subFolders.push_back(sub);
    lib.folderTree.push_back(node);
    lib.searchFolderTree.push_back(new FolderFiles);

    lib.clearDataStructures(1);
    lib.clearDataStructures(2);
    EXPECT_EQ(lib.folderTree.size(), 1u);
    EXPECT_EQ(lib.searchFolderTree.size(), 1u);
    lib.clearDataStructures(0);
    EXPECT_TRUE(lib.folderTree.empty());
    ASSERT_EQ(lib.bankFiles.size(), 1u);
    EXPECT_EQ(lib.bankFiles[0]->fileName, "A.syx");
    lib.clearDataStructures(3);
    EXPECT_TRUE(lib.searchFolderTree.empty());
}

TEST(LibrarianRecords, NewPatchSnapshotIsEmptyWithFiveInitNames) {
    Patch p;
    EXPECT_EQ(p.snapshot.Size(), 0);
    EXPECT_EQ(p.names, std::vector<std::string>(5, "- INIT -"));
}

TEST(LibrarianDump, NameRuleKeepsNonZeroBytesSixToEighteen) {
    Bytes d(297, 0);
    const char* twelve = "ABCDEFGHIJKL";
    for (int i = 0; i < 7; ++i) d[6 + i] = twelve[i];
    for (int i = 0; i < 5; ++i) d[14 + i] = twelve[7 + i];
    EXPECT_EQ(patchNameFromDump(d.data(), d.size()), "ABCDEFGHIJKL");
    d[13] = 0x20;
    EXPECT_EQ(patchNameFromDump(d.data(), d.size()), "ABCDEFG HIJKL");

    Bytes four(297, 0);
    four[6] = 'L', four[7] = 'e', four[8] = 'a', four[9] = 'd';
    EXPECT_EQ(patchNameFromDump(four.data(), four.size()), "Lead");
    EXPECT_EQ(patchNameFromDump(Bytes(297, 0).data(), 297), "");
    // A short message yields what it holds and is never read past.
    Bytes shortMsg = {0xF0, 0x42, 0x30, 0x58, 0x40, 0x00, 'A', 'B'};
    EXPECT_EQ(patchNameFromDump(shortMsg.data(), shortMsg.size()), "AB");
    EXPECT_EQ(patchNameFromDump(hvInitPatchData, kProgramDumpSize), "\x0F\x02\x05Init Prog");
}

TEST(LibrarianDump, PackingPutsTopBitsInTheGroupByte) {
    uint8_t data[kProgramDataSize];
    for (int i = 0; i < kProgramDataSize; ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    data[15] = 0xFF;  // travels at 23, top bit in bit 1 of 21
    data[252] = 0x80;  // the last group holds only two bytes
    data[253] = 0x01;
    Bytes dump(297, 0);
    packProgramData(data, dump.data());
    EXPECT_EQ(dump[23], 0x7F);
    EXPECT_EQ(dump[21] & 0x02, 0x02);
    EXPECT_EQ(dump[294], 0x00);
    EXPECT_EQ(dump[293], 0x01);

    libtest::ProgramData pd;
    std::copy(data, data + kProgramDataSize, pd.begin());
    Bytes reference = libtest::programDump(pd);
    EXPECT_TRUE(std::equal(dump.begin() + 5, dump.begin() + 296, reference.begin() + 5));
    uint8_t back[kProgramDataSize];
    unpackProgramData(dump.data(), back);
    EXPECT_TRUE(std::equal(back, back + kProgramDataSize, data));
    EXPECT_TRUE(isProgramDump(reference.data(), reference.size()));
}

}  // namespace
