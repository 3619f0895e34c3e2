// Name search, and programs collected by the request records into a slot.
#include <gtest/gtest.h>

#include "librarian_testbanks.h"
#include "src/PatchLibrarianRequests.h"

namespace {

using namespace libtest;

LibrarianPatch programNamed(const std::string& name) {
    ProgramData d{};
    for (int i = 0; i < 12; ++i) d[i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
    LibrarianPatch p;
    p.sysexMessages.push_back(PatchSysexMessage{programDump(d)});
    p.name = patchNameFromDump(p.sysexMessages[0].data.data(), 297);
    return p;
}

TEST(LibrarianSearch, BanksOf128InBankThenSlotOrder) {
    for (int matches : {127, 128, 129, 300}) {
        PatchLibrarian lib(nullptr);
        int made = 0;
        for (int b = 0; b < 4; ++b) {
            lib.bankFiles.push_back(new PatchFile);
            for (int i = 0; i < 128; ++i)
                lib.bankFiles[b]->patches.push_back(
                    programNamed(i % 3 == 0 || made >= matches ? "Bass" : "Lead " + std::to_string(made++)));
        }
        lib.createNewSearchPatchFiles("Lead");
        const size_t banks = (matches + 127) / 128;
        ASSERT_EQ(lib.searchBankFiles.size(), banks) << matches;
        int seen = 0;
        for (size_t k = 0; k < banks; ++k) {
            const PatchFile* r = lib.searchBankFiles[k];
            EXPECT_EQ(r->fileName, "Search Results " + std::to_string(k + 1));
            EXPECT_EQ(r->folderName, "Patches");
            EXPECT_EQ(r->sourceIndex, static_cast<int>(k));
            EXPECT_EQ(r->patches.size(), k + 1 < banks ? 128u : matches - 128 * k);
            for (const LibrarianPatch& p : r->patches)
                EXPECT_EQ(p.name, programNamed("Lead " + std::to_string(seen++)).name);
        }
        ASSERT_EQ(lib.searchFolderTree.size(), 1u);
        EXPECT_EQ(lib.searchFolderTree[0]->name, "Patches");
        EXPECT_EQ(lib.searchFolderTree[0]->files, lib.searchBankFiles);
    }
}

TEST(LibrarianSearch, CaseMattersAndOnlyTheLastSearchStays) {
    PatchLibrarian lib(nullptr);
    lib.bankFiles.push_back(new PatchFile);
    for (const char* n : {"Brass Stab", "BRASS Pad", "Strings"}) lib.bankFiles[0]->patches.push_back(programNamed(n));
    for (int n : {30, 40}) lib.bankFiles[0]->patches[2].sysexMessages.push_back(PatchSysexMessage{Bytes(n, 2)});
    lib.bankFiles[0]->patches.emplace_back();  // a slot without a program
    lib.createNewSearchPatchFiles("brass");
    EXPECT_TRUE(lib.searchBankFiles.empty());
    lib.createNewSearchPatchFiles("Strings and more");
    EXPECT_TRUE(lib.searchBankFiles.empty() && lib.searchFolderTree.empty());
    lib.createNewSearchPatchFiles("Str");
    EXPECT_EQ(lib.searchBankFiles.at(0)->patches.at(0).sysexMessages.size(), 2u);  // the dump and one more
    lib.createNewSearchPatchFiles("");
    EXPECT_EQ(lib.searchBankFiles.at(0)->patches.size(), 3u);
}

TEST(LibrarianRequests, A297ByteMessageCompletesAndNamesTheRecord) {
    LibraryPatchRequest r;
    r.active = true;
    Bytes part(100, 5);
    EXPECT_FALSE(r.addMessageData(part.data(), 100));
    EXPECT_TRUE(r.active);
    Bytes dump = programDump(ProgramData{});
    std::copy_n("ABCDEFG", 7, dump.begin() + 6);
    std::copy_n("HIJKL", 5, dump.begin() + 14);
    EXPECT_TRUE(r.addMessageData(dump.data(), 297));
    EXPECT_FALSE(r.active);
    EXPECT_EQ(r.patch.name, std::string(13, 5));  // from the first message
    EXPECT_EQ(r.patch.sysexMessages.size(), 2u);

    LibraryPatchRequestAll all;
    all.addMessageData(dump.data(), 297);
    EXPECT_EQ(all.patch.name, "ABCDEFGHIJKL");
    dump[13] = 0x20;
    all.empty();
    all.addMessageData(dump.data(), 297);
    all.addMessageData(dump.data(), 297);  // appended, not replaced
    EXPECT_EQ(all.patch.name, "ABCDEFG HIJKLABCDEFG HIJKL");
    LibraryPatchRequest shortFirst;
    Bytes tiny = {0xF0, 0x42, 0x30, 0x58, 0x40, 0x00, 'X', 0xF7};
    shortFirst.addMessageData(tiny.data(), 8);
    shortFirst.addMessageData(dump.data(), 297);
    EXPECT_EQ(shortFirst.patch.name, "X\xF7");
}

TEST(LibrarianRequests, SelectedSlotTakesACopyInA128SlotBank) {
    PatchLibrarian lib(nullptr);
    LibrarianPatch p = programNamed("New");
    lib.setSysexDatatoSelectedSlot(&p);  // no bank
    lib.bankFiles.push_back(new PatchFile);
    lib.bankFiles[0]->patches.assign(100, programNamed("Old"));
    lib.selectedSlotUpper = 120;
    lib.setSysexDatatoSelectedSlot(&p);
    auto& slots = lib.bankFiles[0]->patches;
    ASSERT_EQ(slots.size(), 128u);
    EXPECT_EQ(slots[120].name, p.name);
    EXPECT_TRUE(slots[127].sysexMessages.empty());
    slots.resize(130);
    lib.selectedSlotUpper = 0;
    lib.setSysexDatatoSelectedSlot(&p);
    EXPECT_EQ(slots.size(), 128u);
    EXPECT_EQ(slots[0].name, p.name);
    lib.selectedSlotUpper = 128;
    lib.setSysexDatatoSelectedSlot(&p);
    lib.selectedSlotUpper = 1;
    lib.selectedBankUpper = 1;
    lib.bankFiles.push_back(nullptr);
    lib.setSysexDatatoSelectedSlot(&p);
    EXPECT_EQ(slots.size(), 128u);
    EXPECT_EQ(slots[1].name, programNamed("Old").name);
}

}  // namespace
