// ctest-labels: tsan
// The librarian's main menu and bank choosers on a headless librarian page:
// their items, what each choice does, the folder trees of the bank menus and
// their check marks, and the search results in the lower pane.
#include "libview_fixture.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using libviewtest::BankFile;
using libviewtest::LibrarianPage;
constexpr int kUpper = LibrarianViewControl::kUpperPane;
constexpr int kLower = LibrarianViewControl::kLowerPane;

// A click on the MENU button with a scripted answer.
void chooseMainMenu(LibrarianPage& p, std::vector<int> path, int x = 900, int y = 49) {
    if (path.empty())
        p.backend->queueMenuDismiss();
    else
        p.backend->queueMenuChoice(std::move(path));
    p.click(x, y);
}

// A click on a pane's bank name with a scripted answer.
void chooseBank(LibrarianPage& p, int pane, std::vector<int> path) {
    if (path.empty())
        p.backend->queueMenuDismiss();
    else
        p.backend->queueMenuChoice(std::move(path));
    p.click(600, pane == kUpper ? 47 : 350);
}

// Every check mark of a chooser's bank menus, as (folder, item text).
std::vector<std::pair<std::string, std::string>> checks(const PatchChooserPopupMenu* c) {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t m = 0; m < c->bankMenus.size(); ++m)
        for (int i = 0; i < c->bankMenus[m]->GetNItems(); ++i)
            if (c->bankMenus[m]->IsItemChecked(i))
                out.push_back({c->menuFolderNames[m], c->bankMenus[m]->GetItemText(i)});
    return out;
}

std::vector<std::string> titles(const IPopupMenu* m) {
    std::vector<std::string> out;
    for (int i = 0; i < m->GetNItems(); ++i) out.push_back(m->GetItemText(i));
    return out;
}

IPopupMenu* submenu(const IPopupMenu* m, int i) { return m->GetItem(i) ? m->GetItem(i)->GetSubmenu() : nullptr; }

// A transfer thread held busy until release(): every start is dropped.
struct BusyTransfers : Poco::Runnable {
    explicit BusyTransfers(MIDIMessageManager* m) : thread(m->thread(MIDIMessageManager::kTransferThread)) {
        thread.start(*this);
    }
    ~BusyTransfers() {
        release();
        thread.join();
    }
    void run() override {
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void release() { released = true; }
    Poco::Thread& thread;
    std::atomic<bool> released{false};
};

// ---- The main menu

TEST(LibViewMainMenu, ItsTreeOpensAtTheButtonWhereverItIsClicked) {
    LibrarianPage p;
    chooseMainMenu(p, {}, 935, 57);
    EXPECT_EQ(p.lastMenu(),
              (std::vector<std::string>{"Request Patch Data", "", "Store Patch Data", "", "Sync Current Data from HW",
                                        "Push Current Data to HW", "", "Save (Overwrite current bank)", "Save As...",
                                        "", "Import...", "Refresh Folders", "", "Open Data Folder", "About..."}));
    EXPECT_EQ(p.backend->shownMenus().back().at, (platform::appkit::Point{861, 59}));
    const BankEditPopupMenu* m = p.editor()->bankEditMenu;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(titles(&m->requestMenu),
              (std::vector<std::string>{"from Active Slot to Plug-in GUI", "from Active Slot to Librarian",
                                        "from Currently Selected Location", "", "All Patches from Memory"}));
    EXPECT_EQ(titles(&m->storeMenu),
              (std::vector<std::string>{"To Currently Selected Location", "", "All Current Patches to Hardware"}));
    EXPECT_EQ(titles(&m->saveAsMenu), (std::vector<std::string>{"Standard MIDI (*.mid)", "Halvoran Format (*.hvx)"}));
    EXPECT_EQ(titles(&m->importMenu),
              (std::vector<std::string>{"Standard MIDI (*.mid)", "SysEx (*.syx / *.hvx)", "Pellatine PRG (*.prg)"}));
    EXPECT_EQ(submenu(&m->mainMenu, 0), &m->requestMenu);
    // Dismissed, or a separator: nothing happens and nothing stays checked.
    EXPECT_EQ(p.jobCode(), 0u);
    chooseMainMenu(p, {1});
    EXPECT_EQ(p.jobCode(), 0u);
    for (const IPopupMenu* menu : {&m->mainMenu, &m->requestMenu, &m->storeMenu, &m->saveAsMenu, &m->importMenu})
        for (int i = 0; i < menu->GetNItems(); ++i) EXPECT_FALSE(menu->IsItemChecked(i));
    // The menu belongs to the librarian page.
    EXPECT_TRUE(p.editor()->getLayer(PanelLayers::kBankEditMenu)->IsVisible());
}

TEST(LibViewMainMenu, RequestsAndSyncStartTheirTransfers) {
    struct Case {
        std::vector<int> path;
        uint32_t job;
        bool toPanel;
    };
    for (const Case& c : {Case{{0, 0}, MIDIMessageSender::kJobRequestPart, true},
                          Case{{0, 1}, MIDIMessageSender::kJobRequestPart, false},
                          Case{{4}, MIDIMessageSender::kJobRequestArrangement, true}}) {
        LibrarianPage p;
        p.sender()->toPanel = !c.toPanel;
        chooseMainMenu(p, c.path);
        EXPECT_EQ(p.jobCode(), c.job) << c.path.size();
        EXPECT_EQ(p.sender()->toPanel, c.toPanel) << c.job;
    }
    LibrarianPage p;
    MIDIMessageManager* m = p.editor()->midiManager;
    // From the selected location: the single request is armed first.
    m->libraryPatchRequestAll.active = true;
    chooseMainMenu(p, {0, 2});
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobRequestSinglePatch));
    EXPECT_FALSE(p.sender()->tempProgram);
    EXPECT_FALSE(m->libraryPatchRequestAll.active);
    ASSERT_TRUE(p.transfersDone());
    chooseMainMenu(p, {0, 4});
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobRequestAllPatches));
}

TEST(LibViewMainMenu, ChoicesWhileATransferRunsAreDropped) {
    LibrarianPage p;
    MIDIMessageManager* m = p.editor()->midiManager;
    p.editor()->midiInOutSet = true;
    p.editor()->midiOutReady = true;
    {
        BusyTransfers busy(m);
        for (std::vector<int> path : {std::vector<int>{0, 0}, {0, 1}, {0, 4}, {4}, {5}}) chooseMainMenu(p, path);
        EXPECT_EQ(p.jobCode(), 0u);
        // The programs the instrument sends meanwhile are not collected.
        EXPECT_FALSE(m->libraryPatchRequestAll.active);
        EXPECT_FALSE(m->libraryPatchRequest.active);
        EXPECT_FALSE(p.editor()->transferBusy) << "no push runs, so incoming MIDI stays open";
    }
    // Idle again: a push runs, holding incoming MIDI back.
    chooseMainMenu(p, {5});
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobSendArrangement));
    EXPECT_FALSE(p.sender()->applyLocally);
    ASSERT_TRUE(p.transfersDone());
    // Without both ports chosen a push does nothing.
    LibrarianPage q;
    chooseMainMenu(q, {5});
    EXPECT_EQ(q.jobCode(), 0u);
}

TEST(LibViewMainMenu, StoreSendsTheSelectedSlotOfEitherPane) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    e->midiInOutSet = true;
    e->midiOutReady = true;
    p.librarian->selectedBankLower = 1;
    p.clickSlot(kUpper, 7);
    chooseMainMenu(p, {2, 0});
    EXPECT_TRUE(e->storeAfterSend);
    EXPECT_EQ(p.programChanges(), (std::vector<coretest::Msg>{{0xC0, 7, 0}}));
    ASSERT_TRUE(p.transfersDone());
    // With a lower slot selected, that program is the one stored.
    p.bank(0)->patches[9] = LibrarianPatch();
    p.clickSlot(kLower, 9);
    chooseMainMenu(p, {2, 0});
    EXPECT_EQ(p.programChanges(), (std::vector<coretest::Msg>{{0xC0, 9, 0}}));
    ASSERT_TRUE(p.transfersDone());
    // All programs: from the first slot on, whichever was selected. The
    // first program change is waited for, the rest cancelled.
    p.librarian->selectedSlotUpper = 50;
    chooseMainMenu(p, {2, 2});
    EXPECT_EQ(p.jobCode(), uint32_t(MIDIMessageSender::kJobStoreAllPatches));
    std::vector<coretest::Msg> sent;
    ASSERT_TRUE(hvtest::waitUntil(
        [&] {
            for (const coretest::Msg& m : p.plug->takeSent())
                if ((m[0] & 0xF0) == 0xC0) sent.push_back(m);
            return !sent.empty();
        },
        60000));
    p.editor()->SetParameterFromGUI(kCancelDataRequest, 1.0);
    ASSERT_TRUE(p.transfersDone());
    EXPECT_EQ(sent.front(), (coretest::Msg{0xC0, 0, 0}));
    EXPECT_EQ(p.librarian->selectedSlotUpper, 0);
}

TEST(LibViewMainMenu, SaveWritesTheEditedBankBackAndSaveAsWhereTheUserSays) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    // An edited program, saved over the bank's own file.
    p.librarian->selectedBankLower = 1;
    p.dropLowerOnUpper(4, 0);
    ASSERT_EQ(p.bank(0)->patches[0].name, "Beta 004");
    chooseMainMenu(p, {7});
    PatchFile reread;
    ByteChunk chunk;
    const std::string bytes = p.data.read("Patches/Alpha.syx");
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    p.librarian->loadFromChunk(&chunk, chunk.Size(), &reread);
    ASSERT_EQ(reread.patches.size(), 128u);
    EXPECT_EQ(reread.patches[0].name, "Beta 004");
    EXPECT_EQ(reread.patches[1].name, "Alpha 001");
    EXPECT_EQ(e->upperBankName, "Alpha.syx") << "the pane still names the bank by its file";

    // Save As, as a Standard MIDI File: proposed next to the bank.
    const std::string target = (p.data.path() / "Patches" / "Copy.mid").string();
    p.backend->queueFileChoice(target);
    chooseMainMenu(p, {8, 0});
    ASSERT_EQ(p.backend->fileRequests().size(), 1u);
    EXPECT_EQ(p.backend->fileRequests()[0].kind, platform::appkit::FilePanelKind::Save);
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(e->upperBankName, "Copy.mid");
    EXPECT_EQ(e->upperBankFolder, "Patches");
    // Cancelled: nothing written.
    p.backend->queueFileChoice(std::nullopt);
    chooseMainMenu(p, {8, 1});
    EXPECT_EQ(e->upperBankName, "Copy.mid");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(p.data.path() / "Patches"), {}), 3);
}

TEST(LibViewMainMenu, ASaveThatCannotBeWrittenSaysSoAndKeepsTheName) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    IText style;
    ITextControl status(e, IRECT(0, 0, 200, 12), &style, "");
    e->statusTextControl = &status;
    const std::string name = e->upperBankName, folder = e->upperBankFolder;
    // The bank's file has become a folder: nothing can be written over it.
    const std::filesystem::path own = p.data.path() / "Patches" / "Alpha.syx";
    std::filesystem::remove(own);
    std::filesystem::create_directory(own);
    chooseMainMenu(p, {7});
    EXPECT_EQ(status.GetTextString(), "Bank NOT saved: write failed!");
    EXPECT_EQ(e->upperBankName, name);
    EXPECT_TRUE(std::filesystem::is_directory(own));

    // Save As into a folder that is not there.
    status.SetTextFromPlug("");
    p.backend->queueFileChoice((p.data.path() / "Gone" / "Copy.mid").string());
    chooseMainMenu(p, {8, 0});
    EXPECT_EQ(status.GetTextString(), "Bank NOT saved: write failed!");
    EXPECT_EQ(e->upperBankName, name);
    EXPECT_EQ(e->upperBankFolder, folder);
    // A cancel is no failure, and says so.
    status.SetTextFromPlug("");
    p.backend->queueFileChoice(std::nullopt);
    chooseMainMenu(p, {8, 1});
    EXPECT_EQ(status.GetTextString(), "Bank not saved: cancelled");
    e->statusTextControl = nullptr;
}

// Changes the user kept without saving them outlive a REFRESH, whatever
// became of the bank's file meanwhile; OVERWRITE then writes them.
TEST(LibViewMainMenu, RefreshLeavesKeptChangesInTheirBank) {
    for (bool fileGone : {false, true}) {
        LibrarianPage p;
        Halvoran* e = p.editor();
        IText style;
        ITextControl status(e, IRECT(0, 0, 200, 12), &style, "");
        e->statusTextControl = &status;
        p.librarian->selectedBankLower = 1;
        p.dropLowerOnUpper(4, 9);
        e->GetParam(kKeepSelectedBank)->Set(1.0);
        e->OnParamChange(kKeepSelectedBank);
        const std::string file = (p.data.path() / "Patches" / "Alpha.syx").string(),
                          kept = p.data.read("Patches/Alpha.syx");
        if (fileGone)
            std::filesystem::remove(file);
        else
            p.data.write("Patches/Alpha.syx", libviewtest::bankBytes("New "));

        chooseMainMenu(p, {11});
        EXPECT_EQ(status.GetTextString(), "Refresh Folders: kept changes stay");
        EXPECT_EQ(p.text(kUpper, 9), "Beta 004");
        EXPECT_EQ(p.text(kUpper, 10), "Alpha 010");
        // A bank whose file went is saved under a name the user gives.
        if (fileGone) p.backend->queueFileChoice(file);
        chooseMainMenu(p, {7});
        const libtest::Bytes beta = libviewtest::namedDump("Beta 004");
        const std::string saved = p.data.read("Patches/Alpha.syx");
        EXPECT_EQ(saved.substr(9 * 297, 297), std::string(beta.begin(), beta.end())) << fileGone;
        EXPECT_EQ(saved.substr(10 * 297, 297), kept.substr(10 * 297, 297)) << fileGone;
        // Saved, they are the file's: nothing is kept any more.
        chooseMainMenu(p, {11});
        EXPECT_EQ(status.GetTextString(), "Refresh Folders");
        EXPECT_EQ(p.librarian->bankFiles.size(), 2u);
        e->statusTextControl = nullptr;
    }
}

TEST(LibViewMainMenu, ImportRefreshFolderAndAbout) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    // Import: a file dialog for the program files, cancelled here.
    p.backend->queueFileChoice(std::nullopt);
    chooseMainMenu(p, {10, 2});
    ASSERT_EQ(p.backend->fileRequests().size(), 1u);
    EXPECT_EQ(p.backend->fileRequests()[0].kind, platform::appkit::FilePanelKind::Open);
    EXPECT_EQ(p.librarian->bankFiles.size(), 2u);
    // A file larger than any bank is refused unread.
    IText style;
    ITextControl status(e, IRECT(0, 0, 200, 12), &style, "");
    e->statusTextControl = &status;
    const std::filesystem::path huge = p.data.path() / "Huge.syx";
    std::ofstream(huge).put('\xF0');
    std::filesystem::resize_file(huge, std::uintmax_t{3} << 30);
    p.backend->queueFileChoice(huge.string());
    chooseMainMenu(p, {10, 1});
    EXPECT_EQ(status.GetTextString(), "File too large to hold a bank.");
    EXPECT_EQ(p.librarian->bankFiles.size(), 2u);
    e->statusTextControl = nullptr;

    // Refresh finds a bank written meanwhile and keeps the pane's bank.
    chooseBank(p, kUpper, {1});
    ASSERT_EQ(p.librarian->selectedBankUpper, 1);
    p.data.write("Patches/Aardvark.syx", libviewtest::bankBytes("Aard "));
    chooseMainMenu(p, {11});
    ASSERT_EQ(p.librarian->bankFiles.size(), 3u);
    EXPECT_EQ(p.librarian->selectedBankUpper, 2) << "Beta.syx moved down the list";
    EXPECT_EQ(p.text(kUpper, 0), "Beta 000");
    EXPECT_EQ(titles(p.editor()->upperChooser->mainMenu),
              (std::vector<std::string>{"Aardvark.syx", "Alpha.syx", "Beta.syx"}));
    // The last bank's name display stands at its top value; choosing the
    // middle bank, whose plain index is that value, still shows its name.
    p.tick();
    EXPECT_EQ(p.upperDisplay->GetTextString(), "Beta.syx");
    chooseBank(p, kUpper, {1});
    p.tick();
    EXPECT_EQ(p.upperDisplay->GetTextString(), "Alpha.syx");

    chooseMainMenu(p, {13});
    ASSERT_EQ(p.backend->workspaceRecords().size(), 1u);
    EXPECT_EQ(p.backend->workspaceRecords()[0].target, p.data.str());

    EXPECT_FALSE(p.about->IsVisible());
    chooseMainMenu(p, {14});
    EXPECT_TRUE(p.about->IsVisible());
    (void)e;
}

// ---- Bank choosers

TEST(LibViewChooser, BanksInPatchesAloneMakeAFlatListAndAChoiceShowsTheBank) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    LeftPatchPopupMenu* upper = e->upperChooser;
    EXPECT_EQ(titles(upper->mainMenu), (std::vector<std::string>{"Alpha.syx", "Beta.syx"}));
    EXPECT_EQ(checks(upper), (std::vector<std::pair<std::string, std::string>>{{"Patches", "Alpha.syx"}}));
    chooseBank(p, kUpper, {1});
    EXPECT_EQ(p.backend->shownMenus().back().at, (platform::appkit::Point{414, 55}));
    EXPECT_EQ(p.librarian->selectedBankUpper, 1);
    EXPECT_EQ(e->GetParam(kPatchSelectionListUpper)->Int(), 1);
    EXPECT_EQ(e->upperBankName, "Beta.syx");
    EXPECT_EQ(e->upperBankFolder, "Patches");
    EXPECT_EQ(p.text(kUpper, 5), "Beta 005");
    EXPECT_EQ(p.text(kLower, 5), "Alpha 005") << "the other pane stays";
    EXPECT_EQ(checks(upper), (std::vector<std::pair<std::string, std::string>>{{"Patches", "Beta.syx"}}));
    p.tick();
    EXPECT_EQ(p.upperDisplay->GetTextString(), "Beta.syx");

    // The lower chooser selects the lower pane's bank.
    chooseBank(p, kLower, {1});
    EXPECT_EQ(p.librarian->selectedBankLower, 1);
    EXPECT_EQ(e->lowerBankName, "Beta.syx");
    EXPECT_EQ(p.text(kLower, 5), "Beta 005");

    // Dismissed: the bank, its parameter and the names stay; the pane is
    // filled again all the same.
    p.bank(1)->patches[5].name = "Renamed";
    chooseBank(p, kUpper, {});
    EXPECT_EQ(p.librarian->selectedBankUpper, 1);
    EXPECT_EQ(e->GetParam(kPatchSelectionListUpper)->Int(), 1);
    EXPECT_EQ(e->upperBankName, "Beta.syx");
    EXPECT_EQ(p.text(kUpper, 5), "Renamed");

    // Back to the first bank: the name display follows although the plain
    // index equals the display's last value.
    chooseBank(p, kUpper, {0});
    p.tick();
    EXPECT_EQ(p.upperDisplay->GetTextString(), "Alpha.syx");
}

TEST(LibViewChooser, FoldersBecomeSubmenusTwoLevelsDeep) {
    LibrarianPage p({{"Alpha.syx", "Alpha "},
                     {"Drums/Kit.syx", "Kit "},
                     {"Drums/Acoustic/Room.syx", "Room "},
                     {"Synth/Leads/Lead.syx", "Lead "}});
    LeftPatchPopupMenu* upper = p.editor()->upperChooser;
    const IPopupMenu* main = upper->mainMenu;
    // One submenu per folder (in the scan's order), then the banks of Patches.
    ASSERT_EQ(main->GetNItems(), 3);
    EXPECT_STREQ(main->GetItemText(2), "Alpha.syx");
    int drums = std::string(main->GetItemText(0)) == "Drums" ? 0 : 1;
    EXPECT_STREQ(main->GetItemText(1 - drums), "Synth");
    // A folder's subfolders come before its own banks.
    const IPopupMenu* drumsMenu = submenu(main, drums);
    ASSERT_NE(drumsMenu, nullptr);
    EXPECT_EQ(titles(drumsMenu), (std::vector<std::string>{"Acoustic", "Kit.syx"}));
    EXPECT_EQ(titles(submenu(drumsMenu, 0)), std::vector<std::string>{"Room.syx"});
    // A folder holding only a folder.
    const IPopupMenu* synth = submenu(main, 1 - drums);
    EXPECT_EQ(titles(synth), std::vector<std::string>{"Leads"});
    EXPECT_EQ(titles(submenu(synth, 0)), std::vector<std::string>{"Lead.syx"});
    EXPECT_EQ(upper->bankMenus.size(), upper->menuFolderNames.size());

    // Choosing down the tree selects that bank, one check mark in all.
    chooseBank(p, kUpper, {1 - drums, 0, 0});
    EXPECT_EQ(p.librarian->selectedBankUpper, p.bankIndex("Leads", "Lead.syx"));
    EXPECT_EQ(p.text(kUpper, 1), "Lead 001");
    EXPECT_EQ(p.editor()->upperBankFolder, "Leads");
    EXPECT_EQ(checks(upper), (std::vector<std::pair<std::string, std::string>>{{"Leads", "Lead.syx"}}));
    chooseBank(p, kUpper, {drums, 1});
    EXPECT_EQ(p.librarian->selectedBankUpper, p.bankIndex("Drums", "Kit.syx"));
    EXPECT_EQ(checks(upper), (std::vector<std::pair<std::string, std::string>>{{"Drums", "Kit.syx"}}));

    // Stepping to the next bank moves the check mark.
    Halvoran* e = p.editor();
    const int next = (p.librarian->selectedBankUpper + 1) % 4;
    e->GetParam(kLibUpperNextBank)->Set(1);
    e->OnParamChange(kLibUpperNextBank);
    EXPECT_EQ(p.librarian->selectedBankUpper, next);
    ASSERT_EQ(checks(upper).size(), 1u);
    EXPECT_EQ(checks(upper)[0].second, p.bank(next)->fileName);
    EXPECT_EQ(p.text(kUpper, 0), p.bank(next)->patches[0].name);
}

TEST(LibViewChooser, SameFileNamesInSameFolderNamesAndRescans) {
    LibrarianPage p({{"A/Same/X.syx", "First "}, {"B/Same/X.syx", "Second "}, {"Solo.syx", "Solo "}});
    const int first = p.bankIndex("Same", "X.syx");
    ASSERT_GE(first, 0);
    const int last = first == 0 ? 1 : 0;
    ASSERT_EQ(p.bank(last)->fileName, "X.syx");
    LeftPatchPopupMenu* upper = p.editor()->upperChooser;
    // Both are filed under the one "Same" folder met first.
    const IPopupMenu* folder = submenu(upper->mainMenu, 0);
    ASSERT_NE(folder, nullptr);
    const IPopupMenu* same = submenu(folder, 0);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(titles(same), (std::vector<std::string>{"X.syx", "X.syx"}));
    // A choice takes the first of that name in the bank list...
    chooseBank(p, kUpper, {0, 0, 1});
    EXPECT_EQ(p.librarian->selectedBankUpper, first);
    // ...and a rebuild the last.
    p.editor()->refreshPopUpMenus();
    EXPECT_EQ(p.librarian->selectedBankUpper, last);
    EXPECT_EQ(checks(upper).size(), 1u);

    // A rebuild whose bank is gone checks the first bank item and leaves the
    // pane's bank alone.
    p.editor()->upperBankName = "Gone.syx";
    p.librarian->selectedBankUpper = 2;
    upper->refreshFolderStructure(p.librarian, p.editor(), 0, "Gone.syx", "Patches");
    EXPECT_EQ(p.librarian->selectedBankUpper, 2);
    ASSERT_EQ(checks(upper).size(), 1u);
    EXPECT_EQ(checks(upper)[0], (std::pair<std::string, std::string>{"Same", "X.syx"}));
}

TEST(LibViewChooser, NoBanksMakeAnEmptyMenuAndAClickOnlyRefills) {
    LibrarianPage p(std::vector<BankFile>{});
    EXPECT_EQ(p.editor()->upperChooser->mainMenu->GetNItems(), 0);
    EXPECT_TRUE(p.editor()->upperChooser->bankMenus.empty());
    chooseBank(p, kUpper, {});
    EXPECT_EQ(p.librarian->selectedBankUpper, 0);
    EXPECT_EQ(p.text(kUpper, 0), "");
    // The view's operations find no bank and do nothing.
    p.clickSlot(kUpper, 3);
    auto [x, y] = p.at(kUpper, 3);
    p.backend->queueMenuChoice({2});
    p.rightClick(x, y);
    EXPECT_FALSE(p.rename->IsVisible());
    p.editor()->upperChooser->checkMenuItemAlone(p.librarian, p.editor(), 0);
    EXPECT_TRUE(checks(p.editor()->upperChooser).empty());
}

// ---- Search results in the lower pane

TEST(LibViewSearch, ResultBanksFillTheLowerPaneAndItsOwnChooser) {
    std::vector<BankFile> files;
    for (const char* name : {"A.syx", "B.syx", "C.syx", "D.syx", "E.syx"}) files.push_back({name, "Pad "});
    files.push_back({"F.syx", "Bass "});
    LibrarianPage p(files);
    Halvoran* e = p.editor();
    IParam* search = e->GetParam(kPatchSearchString);
    search->SetDisplayText(0, "Pad");
    e->OnParamChange(kPatchSearchString);
    ASSERT_TRUE(e->searchResultsShown);
    ASSERT_EQ(p.librarian->searchBankFiles.size(), 5u);
    EXPECT_FALSE(e->getLayer(PanelLayers::kRightPatchPopupMenu)->IsVisible());
    EXPECT_TRUE(e->getLayer(PanelLayers::kRightSearchPopupMenu)->IsVisible());
    // The lower pane and its name show the first result bank.
    EXPECT_EQ(p.librarian->selectedBankLower, 0);
    EXPECT_EQ(p.text(kLower, 0), "Pad 000");
    p.tick();
    EXPECT_EQ(p.lowerDisplay->GetTextString(), "Search Results 1");
    RightSearchPopupMenu* results = e->searchChooser;
    EXPECT_EQ(titles(results->mainMenu),
              (std::vector<std::string>{"Search Results 1", "Search Results 2", "Search Results 3", "Search Results 4",
                                        "Search Results 5"}));
    // Stepping to the fourth: its item checked, its bank shown.
    for (int i = 0; i < 3; ++i) {
        e->GetParam(kLibLowerNextBank)->Set(1);
        e->OnParamChange(kLibLowerNextBank);
    }
    EXPECT_EQ(p.librarian->selectedBankLower, 3);
    EXPECT_EQ(checks(results), (std::vector<std::pair<std::string, std::string>>{{"Patches", "Search Results 4"}}));
    EXPECT_EQ(p.text(kLower, 0), p.librarian->searchBankFiles[3]->patches[0].name);
    p.tick();
    EXPECT_EQ(p.lowerDisplay->GetTextString(), "Search Results 4");
    // The result chooser picks among the results.
    chooseBank(p, kLower, {1});
    EXPECT_EQ(p.librarian->selectedBankLower, 1);
    EXPECT_EQ(e->lowerBankName, "Search Results 2");
    EXPECT_EQ(p.text(kLower, 0), p.librarian->searchBankFiles[1]->patches[0].name);

    // A result is dropped into the edited bank like any lower slot.
    p.dropLowerOnUpper(2, 3);
    EXPECT_EQ(p.bank(0)->patches[3].name, p.librarian->searchBankFiles[1]->patches[2].name);
}

TEST(LibViewSearch, AFailedSearchOrARescanGivesTheLowerPaneItsBanksBack) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    IParam* search = e->GetParam(kPatchSearchString);
    search->SetDisplayText(0, "Beta 01");
    e->OnParamChange(kPatchSearchString);
    ASSERT_TRUE(e->searchResultsShown);
    EXPECT_EQ(p.text(kLower, 0), "Beta 010");
    p.tick();
    EXPECT_EQ(p.lowerDisplay->GetTextString(), "Search Results 1");
    // A rescan takes the results: the banks and their chooser come back.
    chooseMainMenu(p, {11});
    EXPECT_FALSE(e->searchResultsShown);
    EXPECT_TRUE(e->getLayer(PanelLayers::kRightPatchPopupMenu)->IsVisible());
    EXPECT_FALSE(e->getLayer(PanelLayers::kRightSearchPopupMenu)->IsVisible());
    EXPECT_EQ(p.text(kLower, 0), "Alpha 000");

    search->SetDisplayText(0, "Beta");
    e->OnParamChange(kPatchSearchString);
    ASSERT_TRUE(e->searchResultsShown);
    p.tick();
    EXPECT_EQ(p.lowerDisplay->GetTextString(), "Search Results 1");
    // Nothing found: the old results went, the banks come back.
    search->SetDisplayText(0, "beta");
    e->OnParamChange(kPatchSearchString);
    EXPECT_FALSE(e->searchResultsShown);
    EXPECT_STREQ(search->GetDisplayText(0), "search...");
    EXPECT_TRUE(e->getLayer(PanelLayers::kRightPatchPopupMenu)->IsVisible());
    EXPECT_EQ(p.text(kLower, 0), "Alpha 000");
    p.tick();
    EXPECT_EQ(p.lowerDisplay->GetTextString(), "Alpha.syx");
}

}  // namespace
