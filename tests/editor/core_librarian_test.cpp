// ctest-labels: tsan
// The editor's side of the librarian: the pane selectors' bank texts, bank
// stepping, name search, renames written into the program, importing files,
// and the librarian program send's gates.
#include "core_fixture.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

#include <gtest/gtest.h>

namespace {

using coretest::BareEditor;

std::vector<uint8_t> programDump(const std::string& name) {
    std::vector<uint8_t> d(kProgramDumpSize, 0);
    MIDIMessageSender::putFrameHeader(d.data(), 0x30, MIDIMessageSender::kFuncProgramDump);
    d.back() = 0xF7;
    MIDIMessageSender::putProgramName(d.data(), name);
    return d;
}

PatchFile* bank(const std::string& fileName, std::vector<std::string> names) {
    auto* b = new PatchFile;
    b->fileName = fileName;
    b->folderName = "Patches";
    for (const std::string& n : names) {
        LibrarianPatch p;
        p.name = n;
        p.sysexMessages.push_back({programDump(n)});
        b->patches.push_back(p);
    }
    return b;
}

class CoreLibrarian : public ::testing::Test {
protected:
    void SetUp() override {
        e.plug->patchLibrarian = new PatchLibrarian(e.plug.get());
        lib = e.plug->patchLibrarian;
        lib->bankFiles = {bank("First.syx", {"Alpha", "Beta"}), bank("Second.hvx", {"Gamma"}),
                          bank(std::string(52, 'L') + ".SYX", {"Delta"})};
        e.plug->ResetPatchSelectionMenus();
    }
    BareEditor e;
    PatchLibrarian* lib = nullptr;
};

TEST(CoreProgramName, NameBytesFollowTheNameRule) {
    auto d = programDump("Strings");  // 7 characters: blanks after
    EXPECT_EQ(patchNameFromDump(d.data(), d.size()), "Strings     ");
    EXPECT_EQ(d[13], 0);          // the packing byte between the name's two parts
    auto s = programDump("Pad");  // 6 or fewer: a 0 after the last one
    EXPECT_EQ(std::vector<uint8_t>(s.begin() + 6, s.begin() + 13),
              (std::vector<uint8_t>{'P', 'a', 'd', 0, ' ', ' ', ' '}));
    auto l = programDump("A much longer name");
    EXPECT_EQ(patchNameFromDump(l.data(), l.size()), "A much longe");
    EXPECT_TRUE(isProgramDump(l.data(), l.size()));
}

TEST_F(CoreLibrarian, SelectorsNameTheBanksAndShortenLongNames) {
    IParam* upper = e.plug->GetParam(kPatchSelectionListUpper);
    EXPECT_EQ(upper->GetMax(), 2);
    EXPECT_STREQ(upper->GetDisplayText(0), "First.syx");
    EXPECT_STREQ(upper->GetDisplayText(2), (std::string(44, 'L') + "~.syx").c_str());
    EXPECT_STREQ(e.plug->GetParam(kPatchSelectionListLower)->GetDisplayText(1), "Second.hvx");
    EXPECT_EQ(Halvoran::bankListText(std::string(47, 'x') + ".s"), std::string(47, 'x') + ".s");     // 49 long
    EXPECT_EQ(Halvoran::bankListText(std::string(47, 'x') + ".HV"), std::string(44, 'x') + "~.hv");  // 50

    e.plug->debugLogOn = true;
    e.plug->debugLogPath = e.dataDir.str() + "log.txt";
    e.plug->ResetPatchSelectionMenus();
    const std::string full = std::string(52, 'L') + ".SYX";
    EXPECT_NE(
        e.dataDir.read("log.txt").find("\t PATCH LIBRARIAN: Filename " + full + " RENAMED TO " + std::string(44, 'L') +
                                       "~.syx Because the filename was too long to fit in plug-in display!\n"),
        std::string::npos);
}

TEST_F(CoreLibrarian, BankSteppingWrapsAndFollowsTheBank) {
    auto press = [&](int idx) {
        e.plug->GetParam(idx)->Set(1);
        e.plug->OnParamChange(idx);
        e.plug->GetParam(idx)->Set(0);
        e.plug->OnParamChange(idx);
    };
    press(kLibUpperPreviousBank);
    EXPECT_EQ(e.plug->GetParam(kPatchSelectionListUpper)->Int(), 2);
    EXPECT_EQ(lib->selectedBankUpper, 2);
    press(kLibUpperNextBank);
    EXPECT_EQ(lib->selectedBankUpper, 0);
    EXPECT_EQ(e.plug->upperBankName, "First.syx");
    EXPECT_EQ(e.plug->upperBankFolder, "Patches");
    press(kLibLowerNextBank);
    EXPECT_EQ(lib->selectedBankLower, 1);
    EXPECT_EQ(e.plug->lowerBankName, "Second.hvx");
}

TEST_F(CoreLibrarian, SearchWithAndWithoutResults) {
    IParam* search = e.plug->GetParam(kPatchSearchString);
    search->InitEnum("search", 0, 1);
    search->InitText();
    search->SetDisplayText(0, "nothing like it");
    e.plug->OnParamChange(kPatchSearchString);
    EXPECT_EQ(e.status(), "No results - Try another keyword!");
    EXPECT_EQ(std::string(e.plug->valueTextControl->GetTextString()), "Tip: Note that letter size matters..");
    EXPECT_STREQ(search->GetDisplayText(0), "search...");

    search->SetDisplayText(0, "ta");
    e.plug->OnParamChange(kPatchSearchString);
    ASSERT_EQ(lib->searchBankFiles.size(), 1u);
    EXPECT_EQ(lib->searchBankFiles[0]->patches.size(), 2u);  // Beta, Delta
    EXPECT_TRUE(e.plug->searchResultsShown);
}

TEST_F(CoreLibrarian, ARenameWritesTheNameIntoTheProgramOnlyWhilePending) {
    IParam* rename = e.plug->GetParam(kPatchRename);
    rename->InitEnum("rename", 0, 1);
    rename->InitText();
    rename->SetDisplayText(0, "Renamed");
    lib->selectedSlotUpper = 1;
    e.plug->OnParamChange(kPatchRename);  // no rename pending: nothing
    EXPECT_EQ(lib->bankFiles[0]->patches[1].name, "Beta");

    e.plug->renameIdle = false;
    e.plug->OnParamChange(kPatchRename);
    const LibrarianPatch& p = lib->bankFiles[0]->patches[1];
    EXPECT_EQ(p.name, "Renamed     ");
    EXPECT_EQ(patchNameFromDump(p.sysexMessages[0].data.data(), p.sysexMessages[0].data.size()), p.name);
    EXPECT_TRUE(e.plug->renameIdle);
}

TEST_F(CoreLibrarian, ImportTakesOnlyFilesWithProgramsAndNeverReplacesOne) {
    e.plug->GetParam(kRefreshFolders)->InitBool("refresh", false);
    EXPECT_FALSE(e.plug->saveImportedFile(e.dataDir.str() + "notes.syx", "just some text"));
    EXPECT_EQ(e.status(), "File does not contain Bank info.");

    std::vector<uint8_t> d = programDump("Imported");
    const std::string bytes(d.begin(), d.end());
    const std::string source = e.dataDir.write("elsewhere/one.syx", bytes).string();
    ASSERT_TRUE(e.plug->saveImportedFile(source, bytes));
    ASSERT_TRUE(e.plug->saveImportedFile(source, bytes));
    const std::string first = e.dataDir.read("Patches/one.syx");
    EXPECT_EQ(first.size(), static_cast<size_t>(kRawBankFileSize));
    EXPECT_EQ(first.substr(0, kProgramDumpSize), bytes);
    EXPECT_EQ(e.dataDir.read("Patches/one (2).syx"), first);
    // Both are listed at once, the program in slot 0, after the banks there
    // were, which keep what they hold.
    ASSERT_EQ(lib->bankFiles.size(), 5u);
    EXPECT_EQ(lib->bankFiles[3]->fileName, "one.syx");
    EXPECT_EQ(lib->bankFiles[4]->fileName, "one (2).syx");
    EXPECT_EQ(lib->bankFiles[3]->patches[0].name, "Imported    ");
    EXPECT_EQ(lib->bankFiles[0]->patches[1].name, "Beta");
}

TEST_F(CoreLibrarian, ALibrarianSendNeedsBothPortsAndAnUnlockedTimbre) {
    e.plug->GetParam(kPartLock)->InitBool("lock", false);
    e.plug->midiInOutSet = false;
    e.plug->sendPatchToDeviceFromLibrarian(0, 0);
    EXPECT_TRUE(e.plug->takeSent().empty());
    EXPECT_FALSE(e.plug->midiManager->isRunning(MIDIMessageManager::kTransferThread));
    // A short bank is padded to 128 slots on the way.
    EXPECT_EQ(lib->bankFiles[0]->patches.size(), 128u);

    e.plug->midiInOutSet = true;
    e.plug->GetParam(kPartLock)->Set(1);
    e.plug->sendPatchToDeviceFromLibrarian(0, 0);
    EXPECT_TRUE(e.plug->takeSent().empty());

    e.plug->GetParam(kPartLock)->Set(0);
    e.plug->sendPatchToDeviceFromLibrarian(5, 0);  // an empty slot
    EXPECT_TRUE(e.plug->takeSent().empty());
    e.plug->sendPatchToDeviceFromLibrarian(1, 0);
    EXPECT_EQ(e.plug->midiManager->sender->jobCode, MIDIMessageSender::kJobSendLibrarianPatch);
    // The program change, then the job's own sends: read once it has ended.
    ASSERT_TRUE(e.plug->midiManager->waitForEnd(MIDIMessageManager::kTransferThread, 60000));
    const std::vector<coretest::Msg> sent = e.plug->takeSent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], (coretest::Msg{0xC0, 1, 0}));
    EXPECT_EQ(sent[1], (coretest::Msg{0xB0, IMidiMsg::kAllNotesOff, 0}));
}

}  // namespace
