// Name search, and programs collected by the request records into slots.
#include <gtest/gtest.h>

#include "librarian_testbanks.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianRequests.h"

namespace {

using namespace libtest;

Bytes dumpNamed(const std::string& name, uint8_t fill = 0x11) {
    ProgramData d{};
    d.fill(fill);
    for (int i = 0; i < 12; ++i) d[i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
    d[12] = d[13] = 0;
    return programDump(d);
}

PatchFile* bankOf(const std::vector<std::string>& names) {
    auto* bank = new PatchFile;
    for (const std::string& n : names) {
        LibrarianPatch p;
        p.sysexMessages.push_back(PatchSysexMessage{dumpNamed(n)});
        p.name = patchNameFromDump(p.sysexMessages[0].data.data(), 297);
        bank->patches.push_back(p);
    }
    return bank;
}

TEST(LibrarianSearch, ResultBanksHoldAtMost128InBankThenSlotOrder) {
    for (int matches : {127, 128, 129, 300}) {
        PatchLibrarian lib(nullptr);
        // Matches spread over four banks, between programs that do not match.
        int made = 0;
        for (int b = 0; b < 4; ++b) {
            std::vector<std::string> names;
            for (int i = 0; i < 128; ++i)
                names.push_back(i % 3 == 0 || made >= matches ? "Bass" : "Lead " + std::to_string(made++));
            lib.bankFiles.push_back(bankOf(names));
        }
        ASSERT_EQ(made, matches);
        lib.createNewSearchPatchFiles("Lead");
        const size_t banks = (matches + 127) / 128;
        ASSERT_EQ(lib.searchBankFiles.size(), banks) << matches;
        int seen = 0;
        for (size_t k = 0; k < banks; ++k) {
            const PatchFile* r = lib.searchBankFiles[k];
            EXPECT_EQ(r->fileName, "Search Results " + std::to_string(k + 1));
            EXPECT_EQ(r->folderName, "Patches");
            EXPECT_EQ(r->sourceIndex, static_cast<int>(k));
            EXPECT_TRUE(r->folderChain.empty() && r->folderPath.empty());
            EXPECT_EQ(r->patches.size(), k + 1 < banks ? 128u : matches - 128 * k);
            for (const LibrarianPatch& p : r->patches) {
                std::string name = "Lead " + std::to_string(seen++);
                EXPECT_EQ(p.name, name + std::string(12 - name.size(), ' '));
            }
        }
        ASSERT_EQ(lib.searchFolderTree.size(), 1u);
        EXPECT_EQ(lib.searchFolderTree[0]->name, "Patches");
        EXPECT_EQ(lib.searchFolderTree[0]->files, lib.searchBankFiles);
        EXPECT_EQ(lib.bankFiles[0]->patches.size(), 128u);
    }
}

TEST(LibrarianSearch, CaseLengthRepeatsAndCopies) {
    PatchLibrarian lib(nullptr);
    lib.bankFiles.push_back(bankOf({"Brass Stab", "BRASS Pad", "Strings"}));
    lib.bankFiles[0]->patches[2].sysexMessages.push_back(PatchSysexMessage{Bytes(30, 2)});
    lib.bankFiles[0]->patches[2].sysexMessages.push_back(PatchSysexMessage{Bytes(40, 3)});
    lib.bankFiles[0]->patches.push_back(LibrarianPatch());  // empty slot

    lib.createNewSearchPatchFiles("brass");
    EXPECT_TRUE(lib.searchBankFiles.empty());
    lib.createNewSearchPatchFiles("BRASS");
    ASSERT_EQ(lib.searchBankFiles.size(), 1u);
    EXPECT_EQ(lib.searchBankFiles[0]->patches.size(), 1u);
    lib.createNewSearchPatchFiles("Strings and more text");
    EXPECT_TRUE(lib.searchBankFiles.empty());
    EXPECT_TRUE(lib.searchFolderTree.empty());

    lib.createNewSearchPatchFiles("Str");
    ASSERT_EQ(lib.searchBankFiles.size(), 1u);
    const LibrarianPatch& copy = lib.searchBankFiles[0]->patches[0];
    ASSERT_EQ(copy.sysexMessages.size(), 2u);  // the dump and one message after it
    EXPECT_EQ(copy.sysexMessages[1].data, Bytes(30, 2));
    EXPECT_EQ(copy.name, "Strings     ");

    // An empty text finds every program that holds a dump.
    lib.createNewSearchPatchFiles("");
    ASSERT_EQ(lib.searchBankFiles.size(), 1u);
    EXPECT_EQ(lib.searchBankFiles[0]->patches.size(), 3u);
    EXPECT_EQ(lib.searchFolderTree.size(), 1u);
}

TEST(LibrarianRequests, DumpsCompleteTheRecordAndNameIt) {
    LibraryPatchRequest r;
    EXPECT_EQ(r.complete, 1);
    EXPECT_FALSE(r.active);
    r.active = true;
    Bytes part(100, 5);
    EXPECT_FALSE(r.addMessageData(part.data(), 100));
    EXPECT_TRUE(r.active);
    EXPECT_EQ(r.patch.sysexMessages.size(), 1u);

    LibraryPatchRequestAll all;
    all.active = true;
    Bytes dump = dumpNamed("ABCDEFGHIJKL");
    EXPECT_TRUE(all.addMessageData(dump.data(), 297));
    EXPECT_FALSE(all.active);
    EXPECT_EQ(all.patch.name, "ABCDEFGHIJKL");
    dump[13] = 0x20;
    all.empty();
    all.addMessageData(dump.data(), 297);
    EXPECT_EQ(all.patch.name, "ABCDEFG HIJKL");
    all.addMessageData(dump.data(), 297);  // appended to, not replaced
    EXPECT_EQ(all.patch.name, "ABCDEFG HIJKLABCDEFG HIJKL");
    all.empty();
    Bytes zero(297, 0);
    all.addMessageData(zero.data(), 297);
    EXPECT_EQ(all.patch.name, "");

    // The name comes from the first message, never read past its end.
    EXPECT_TRUE(r.addMessageData(dump.data(), 297));
    EXPECT_EQ(r.patch.name, std::string(13, 5));
    LibraryPatchRequest shortFirst;
    Bytes tiny = {0xF0, 0x42, 0x30, 0x58, 0x40, 0x00, 'X', 0xF7};
    shortFirst.addMessageData(tiny.data(), 8);
    EXPECT_TRUE(shortFirst.addMessageData(dump.data(), 297));
    EXPECT_EQ(shortFirst.patch.name, "X\xF7");
}

TEST(LibrarianRequests, SelectedSlotTakesACopyInA128SlotBank) {
    PatchLibrarian lib(nullptr);
    LibrarianPatch p;
    p.name = "New";
    p.sysexMessages.push_back(PatchSysexMessage{dumpNamed("New")});
    lib.setSysexDatatoSelectedSlot(&p);  // no bank yet

    lib.bankFiles.push_back(bankOf(std::vector<std::string>(100, "Old")));
    lib.selectedSlotUpper = 120;
    lib.setSysexDatatoSelectedSlot(&p);
    ASSERT_EQ(lib.bankFiles[0]->patches.size(), 128u);
    EXPECT_EQ(lib.bankFiles[0]->patches[120].name, "New");
    EXPECT_TRUE(lib.bankFiles[0]->patches[127].sysexMessages.empty());
    p.name = "Changed";
    EXPECT_EQ(lib.bankFiles[0]->patches[120].name, "New");

    lib.bankFiles[0]->patches.resize(130);
    lib.selectedSlotUpper = 0;
    lib.setSysexDatatoSelectedSlot(&p);
    EXPECT_EQ(lib.bankFiles[0]->patches.size(), 128u);
    EXPECT_EQ(lib.bankFiles[0]->patches[0].name, "Changed");

    for (int slot : {-1, 128}) {
        lib.selectedSlotUpper = slot;
        lib.setSysexDatatoSelectedSlot(&p);
    }
    lib.selectedSlotUpper = 1;
    lib.selectedBankUpper = 1;
    lib.setSysexDatatoSelectedSlot(&p);
    lib.bankFiles.push_back(nullptr);
    lib.setSysexDatatoSelectedSlot(&p);
    EXPECT_EQ(lib.bankFiles[0]->patches[1].name, "Old         ");
}

}  // namespace
