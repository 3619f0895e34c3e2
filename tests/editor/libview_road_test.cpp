// ctest-labels: tsan
// The librarian as a musician meets it the first time: the real editor, as a
// host shows it, on a fresh data folder, with the simulated instrument on
// JACK; every step taken through the page's menus and buttons.
#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core_component.h"
#include "framework/ControlLayer.h"
#include "framework/IGraphicsMac.h"
#include "panel_model.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "src/LibrarianViewControl.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "support/ScopedEnv.h"
#include "support/SimInstrument.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"

#if defined(HV_BUNDLE_DIR)

namespace {

namespace fs = std::filesystem;
using platform::appkit::Event;
using platform::appkit::MouseButton;
using EV = platform::appkit::EventType;
using Bytes = hvtest::SimInstrument::Bytes;
constexpr int kUpper = LibrarianViewControl::kUpperPane;
constexpr int kLower = LibrarianViewControl::kLowerPane;

// The headless desktop, whose file manager is the real one when asked: the
// xdg-open that PATH finds, or none.
class Desktop : public platform::appkit::HeadlessBackend {
public:
    bool realFileManager = false;
    void openFileThen(const std::string& path, const std::string& app, int ms,
                      std::function<void(bool)> done) override {
        realFileManager ? Backend::openFileThen(path, app, ms, std::move(done))
                        : HeadlessBackend::openFileThen(path, app, ms, std::move(done));
    }
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file below the folder with its bytes.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = readFile(e.path());
    return out;
}

class LibrarianRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        MIDIMessageSender::pacingDivisor = 50;
        sim = std::make_unique<hvtest::SimInstrument>(0, "hvroad");
        desktop = new Desktop;
        platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(desktop));
        editor = std::make_unique<coretest::EditorInstance>();
        ASSERT_NE(editor->plug, nullptr);
        plug = editor->plug;
        window = std::make_unique<platform::appkit::Window>(
            platform::appkit::Size{plug->GetGUI()->Width(), plug->GetGUI()->Height()}, "editor");
        int w = 0, h = 0;
        ASSERT_NE(plug->OpenView(window->contentView(), &w, &h), nullptr);
        window->display();
        // A first start: the welcome window, then the ports, as it asks.
        clickOn(kFirstRunExit);
        ASSERT_FALSE(shown(PanelLayers::kFirstRun));
        editor->setParameter(kDeviceInSelection, editor->listedPortIndex(kDeviceInSelection, sim->outPort()));
        editor->setParameter(kDeviceOutSelection, editor->listedPortIndex(kDeviceOutSelection, sim->inPort()));
        ASSERT_TRUE(sim->waitConnected());
        ASSERT_TRUE(plug->midiOutReady);
    }
    void TearDown() override {
        if (editor) plug->CloseView(nullptr);
        editor.reset();
        window.reset();
        sim.reset();
        MIDIMessageSender::pacingDivisor = 1;
    }

    void click(int x, int y, MouseButton b = MouseButton::Left) {
        window->sendEvent(Event::mouse(EV::MouseDown, {x, y}, b));
        window->sendEvent(Event::mouse(EV::MouseUp, {x, y}, b));
    }
    void clickOn(int paramIdx) {
        IControl* c = plug->firstBoundControl(paramIdx);
        ASSERT_NE(c, nullptr) << paramIdx;
        click(c->GetRECTRef().MW(), c->GetRECTRef().MH());
    }
    void clickSlot(int pane, int slot, MouseButton b = MouseButton::Left) {
        const IRECT& r = plug->librarianView->slotRect(pane, slot);
        click(r.MW(), r.MH(), b);
    }
    // The page's MENU, with the item at path chosen.
    void menu(std::vector<int> path) {
        desktop->queueMenuChoice(std::move(path));
        click(900, 49);
    }
    // Waits for the transfer to end and lets the panel take what it asked.
    bool transferDone() {
        const bool ended = plug->midiManager->waitForEnd(MIDIMessageManager::kTransferThread, 60000);
        platform::appkit::RunLoop::main().runOnce();
        return ended;
    }
    bool shown(const char* layer) {
        ControlLayer* l = plug->getLayer(layer);
        return l && l->IsVisible();
    }
    std::string status() const { return plug->statusTextControl->GetTextString(); }
    std::string valueShown() const { return plug->valueTextControl->GetTextString(); }
    // Waits while the GUI thread takes what the other threads hand it.
    bool pumpUntil(const std::function<bool()>& done, int ms = 20000) {
        return hvtest::waitUntil(
            [&] {
                platform::appkit::RunLoop::main().runOnce();
                return done();
            },
            ms);
    }
    std::string slotName(int pane, int slot) const { return plug->librarianView->slot(pane, slot)->GetTextString(); }
    // Whether the bank is edited: the save row open in place of the edit
    // bank's chooser, kBankEditUnsaved 1.
    bool edited() {
        const bool row = shown(PanelLayers::kDiscardChangesRight);
        EXPECT_NE(row, shown(PanelLayers::kLeftPatchPopupMenu));
        EXPECT_EQ(row, plug->GetParam(kBankEditUnsaved)->Value() != 0.0);
        return row;
    }
    // A program as the instrument sends it.
    Bytes sent(int program) const {
        Bytes d = sim->program(program);
        d[2] = 0x30;
        return d;
    }
    std::string upperBankShown() const {
        IParam* p = plug->GetParam(kPatchSelectionListUpper);
        return p->GetDisplayText(p->Int());
    }

    hvtest::TempDataDir data;
    hvpanel::BuiltBundle bundle;
    std::unique_ptr<hvtest::SimInstrument> sim;
    Desktop* desktop = nullptr;
    std::unique_ptr<coretest::EditorInstance> editor;
    std::unique_ptr<platform::appkit::Window> window;
    Halvoran* plug = nullptr;
};

TEST_F(LibrarianRoad, FromAnEmptyDataFolderToASavedBank) {
    const fs::path bankPath = data.path() / "Patches" / "My Pads.hvx";
    click(175, 16);  // LIBRARIAN
    ASSERT_EQ(plug->GetParam(kMainTab)->Int(), PanelLayers::kTabLibrarian);
    EXPECT_EQ(upperBankShown(), "New Bank");
    EXPECT_EQ(slotName(kUpper, 0), "");
    // The arrows step round the one bank there is.
    for (int arrow : {kLibUpperNextBank, kLibUpperPreviousBank}) {
        clickOn(arrow);
        EXPECT_EQ(upperBankShown(), "New Bank");
    }

    // All the instrument's programs into the new bank; the status says how
    // many went where, and the value of the last control goes from its row.
    ASSERT_NE(valueShown(), "");
    menu({0, 4});
    ASSERT_TRUE(transferDone());
    EXPECT_EQ(sim->programRequestsAnswered(), 128);
    for (int i = 0; i < 128; ++i) {
        const Bytes d = sent(i);
        ASSERT_EQ(slotName(kUpper, i), patchNameFromDump(d.data(), d.size())) << i;
    }
    EXPECT_EQ(status(), "128 programs received into New Bank");
    EXPECT_EQ(valueShown(), "");
    EXPECT_TRUE(edited());
    // Kept, the programs outlive a REFRESH, in a bank that has no file yet.
    clickOn(kKeepSelectedBank);
    clickOn(kRefreshFolders);
    EXPECT_EQ(status(), "Refresh Folders: kept changes stay");
    EXPECT_EQ(upperBankShown(), "New Bank");
    EXPECT_EQ(slotName(kUpper, 127), patchNameFromDump(sent(127).data(), sent(127).size()));

    // Saved as "My Pads": the file holds the programs as they came, byte for
    // byte; the pane shows the bank under its name, its chooser is back and
    // lists it.
    desktop->queueFileChoice(bankPath.string());
    menu({8, 1});
    ASSERT_EQ(desktop->fileRequests().size(), 1u);
    EXPECT_EQ(desktop->fileRequests()[0].directory, (data.path() / "Patches").string());
    EXPECT_EQ(status(), "Bank saved to Patches/My Pads.hvx");
    std::string expected;
    for (int i = 0; i < 128; ++i) {
        const Bytes d = sent(i);
        expected.append(d.begin(), d.end());
    }
    EXPECT_TRUE(readFile(bankPath) == expected);
    EXPECT_FALSE(edited());
    EXPECT_EQ(upperBankShown(), "My Pads.hvx");
    EXPECT_EQ(plug->GetParam(kPatchSelectionListUpper)->GetNDisplayTexts(), 1) << "the new bank went to its file";
    desktop->queueMenuDismiss();
    click(600, 47);
    const std::vector<std::string> listed = desktop->shownMenus().back().titles;
    EXPECT_EQ(listed, std::vector<std::string>{"My Pads.hvx"});

    // One more program, asked for by slot: the row opens again.
    Bytes fresh = sim->program(5);
    MIDIMessageSender::putProgramName(fresh.data(), "Fresh Pads 5");
    sim->setProgram(5, fresh);
    auto fetchSlot5 = [&] {
        clickSlot(kUpper, 5);
        desktop->queueMenuChoice({5, 1});  // Request > Program by Slot
        clickSlot(kUpper, 5, MouseButton::Right);
        ASSERT_TRUE(transferDone());
        EXPECT_EQ(slotName(kUpper, 5), "Fresh Pads 5");
        EXPECT_EQ(status(), "Program \"Fresh Pads 5\" received to slot 6");
        EXPECT_TRUE(edited());
    };
    fetchSlot5();
    EXPECT_EQ(slotName(kLower, 5), "Fresh Pads 5") << "the source pane shows the same bank";

    // REFRESH, the page's or the MENU's, would read the bank again, and the
    // arrows would leave it: while the row is open they are refused, and the
    // way out stays on the display once the button is let go.
    for (int button : {-1, int{kRefreshFolders}, int{kLibUpperNextBank}, int{kLibUpperPreviousBank}}) {
        plug->setStatusText("");
        button < 0 ? menu({11}) : clickOn(button);
        EXPECT_EQ(status(), "OVERWRITE, DISCARD or KEEP the bank first") << button;
        EXPECT_EQ(slotName(kUpper, 5), "Fresh Pads 5");
        EXPECT_TRUE(edited());
    }

    // DISCARD: the file's program again, in both panes.
    clickOn(kDiscardBankData);
    EXPECT_EQ(slotName(kUpper, 5), "Sim Prog 005");
    EXPECT_EQ(slotName(kLower, 5), "Sim Prog 005");
    EXPECT_FALSE(edited());
    EXPECT_EQ(status(), "Changes discarded: My Pads.hvx");

    // KEEP: the row closes, the program stays, the file is as it was.
    fetchSlot5();
    clickOn(kKeepSelectedBank);
    EXPECT_FALSE(edited());
    EXPECT_EQ(slotName(kUpper, 5), "Fresh Pads 5");
    EXPECT_EQ(status(), "Changes kept, bank not saved");
    EXPECT_TRUE(readFile(bankPath) == expected);
    // A REFRESH reads the folders again and leaves the kept program there.
    clickOn(kRefreshFolders);
    EXPECT_EQ(status(), "Refresh Folders: kept changes stay");
    EXPECT_EQ(slotName(kUpper, 5), "Fresh Pads 5");
    EXPECT_EQ(upperBankShown(), "My Pads.hvx");
    EXPECT_FALSE(edited());

    // OVERWRITE: the bank's file takes the kept program; nothing else in
    // the data folder changes.
    std::map<std::string, std::string> before = filesBelow(data.path());
    clickOn(kOverwriteBank);
    EXPECT_EQ(status(), "Bank saved to Patches/My Pads.hvx");
    std::map<std::string, std::string> after = filesBelow(data.path());
    fresh[2] = 0x30;
    expected.replace(5 * 297, 297, std::string(fresh.begin(), fresh.end()));
    EXPECT_TRUE(after["Patches/My Pads.hvx"] == expected);
    before.erase("Patches/My Pads.hvx");
    after.erase("Patches/My Pads.hvx");
    EXPECT_EQ(after, before);
}

// OVERWRITE on a bank that has no file yet asks for a name; a write that
// fails leaves the save row open and says so.
TEST_F(LibrarianRoad, OverwriteAsksANewBankForANameAndAFailedWriteKeepsTheRow) {
    click(175, 16);  // LIBRARIAN
    const fs::path first = data.path() / "Patches" / "First.hvx";
    desktop->queueFileChoice(std::nullopt);
    clickOn(kOverwriteBank);
    ASSERT_EQ(desktop->fileRequests().size(), 1u);
    EXPECT_EQ(desktop->fileRequests()[0].fileName, "New Bank.hvx");
    EXPECT_EQ(status(), "Bank not saved: cancelled");
    EXPECT_FALSE(fs::exists(first));

    desktop->queueFileChoice(first.string());
    clickOn(kOverwriteBank);
    EXPECT_EQ(status(), "Bank saved to Patches/First.hvx");
    EXPECT_EQ(fs::file_size(first), static_cast<uintmax_t>(kRawBankFileSize));
    EXPECT_EQ(upperBankShown(), "First.hvx");
    // The pane shows the empty slots as the file holds them, padded, as
    // the next start reads them.
    PatchLibrarian nextStart(nullptr);
    nextStart.loadPatchesFromFilesystem((data.path() / "Patches").string());
    ASSERT_EQ(nextStart.bankFiles.size(), 1u);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(slotName(kUpper, i), nextStart.bankFiles[0]->patches.at(i).name) << i;

    // A program received, and the bank's file gone to a folder of its name.
    plug->SetLibrarianStatusUnsaved(true);
    platform::appkit::RunLoop::main().runOnce();
    ASSERT_TRUE(edited());
    fs::remove(first);
    fs::create_directory(first);
    clickOn(kOverwriteBank);
    EXPECT_EQ(status(), "Bank NOT saved: write failed!");
    EXPECT_TRUE(edited());
}

// MENU > Request Patch Data > "from Active Slot to Librarian" fetches the
// instrument's active program, whichever it is, into the edit slot chosen,
// and the status line names it; without an edit slot nothing is stored and
// the status line says so.
TEST_F(LibrarianRoad, TheActiveProgramFetchedIntoASlotIsNamed) {
    click(175, 16);  // LIBRARIAN
    Bytes active = sim->editBuffer();
    MIDIMessageSender::putProgramName(active.data(), "Played Now");
    sim->setEditBuffer(active);

    clickSlot(kUpper, 9);
    menu({0, 1});
    ASSERT_TRUE(transferDone());
    EXPECT_EQ(slotName(kUpper, 9), "Played Now  ");
    EXPECT_EQ(status(), "Program \"Played Now\" received to slot 10");
    EXPECT_TRUE(edited());
    clickOn(kKeepSelectedBank);

    clickSlot(kLower, 3);  // no edit slot chosen
    menu({0, 1});
    ASSERT_TRUE(transferDone());
    EXPECT_EQ(status(), "Program NOT stored: choose an edit slot!");
    EXPECT_FALSE(edited());
}

// MENU > Open Data Folder hands the folder to the desktop's xdg-open; on a
// desktop without one, or whose xdg-open finds no file manager, the status
// line says so and names the folder.
TEST_F(LibrarianRoad, OpenDataFolderSaysWhenTheFolderCannotBeOpened) {
    click(175, 16);  // LIBRARIAN
    desktop->realFileManager = true;
    const fs::path tools = data.path() / "tools", opened = data.path() / "opened.txt";
    for (const char* dir : {"empty", "no file manager"}) fs::create_directories(tools / dir);
    std::ofstream(tools / "xdg-open") << "#!/bin/sh\necho \"$1\" > '" << opened.string() << "'\n";
    std::ofstream(tools / "no file manager" / "xdg-open") << "#!/bin/sh\nexit 3\n";
    for (const char* script : {"xdg-open", "no file manager/xdg-open"})
        fs::permissions(tools / script, fs::perms::owner_all);
    struct Case {
        fs::path path;
        bool opens;
    } cases[] = {{tools, true}, {tools / "empty", false}, {tools / "no file manager", false}};
    for (const Case& c : cases) {
        hvtest::ScopedEnv path("PATH", c.path.string());
        plug->setStatusText("");
        menu({13});
        if (c.opens) {
            ASSERT_TRUE(hvtest::waitUntil([&] { return fs::exists(opened) && !readFile(opened).empty(); }, 20000));
            EXPECT_EQ(readFile(opened), data.str() + "\n");
            EXPECT_EQ(status(), "");
        } else {
            EXPECT_TRUE(pumpUntil([&] { return status() == "Could not open " + data.path().string(); })) << c.path;
        }
    }
}

// However a request ends, nothing it armed stays armed: the status says what
// was stored, and what the instrument sends later reaches the panel again.
TEST_F(LibrarianRoad, EveryEndOfARequestLeavesThePanelFollowingTheInstrument) {
    // Polls long enough for a loaded machine's replies: one that comes after
    // the poll gave up would be counted against the next program.
    MIDIMessageSender::pacingDivisor = 10;
    click(175, 16);  // LIBRARIAN
    enum How { kCompletes, kCancelled, kTimesOut, kServerStops };
    const std::pair<How, const char*> cases[] = {
        {kCompletes, "128 programs received into New Bank"},
        {kCancelled, "Data request CANCELLED! [0-9]+ programs? received"},
        {kTimesOut, "CONNECTION TIMED OUT! No program stored"},
        {kServerStops, "CONNECTION TIMED OUT! [0-9]+ programs? received|[0-9]+ programs? received into New Bank"},
    };
    IControl* cancel = plug->firstBoundControl(kCancelDataRequest);
    ASSERT_NE(cancel, nullptr);
    const int cx = cancel->GetRECTRef().MW(), cy = cancel->GetRECTRef().MH();
    for (auto [how, expected] : cases) {
        sim->setAnswering(how != kTimesOut);
        const int answered = sim->programRequestsAnswered();
        if (how == kTimesOut) {
            clickSlot(kUpper, 3);
            desktop->queueMenuChoice({5, 1});  // Request > Program by Slot
            clickSlot(kUpper, 3, MouseButton::Right);
        } else {
            menu({0, 4});  // Request > All Patches from Memory
            if (how != kCompletes) {
                ASSERT_TRUE(pumpUntil([&] { return sim->programRequestsAnswered() >= answered + 5; }, 60000));
            }
        }
        if (how == kCancelled) {
            // Silent from here, the instrument holds the request until the
            // cancel lands, however slow the machine.
            sim->setAnswering(false);
            // The overlay goes between two programs, and a press in that gap
            // falls on the page beneath: CANCEL is pressed again once it is
            // back, as a user would. The press that cancels is held until the
            // request has ended, and its release leaves the answer standing.
            MIDIMessageSender& sender = *plug->midiManager->sender;
            ASSERT_TRUE(pumpUntil(
                [&] {
                    if (!shown(PanelLayers::kCancelRequestLayer)) return false;
                    window->sendEvent(Event::mouse(EV::MouseDown, {cx, cy}, MouseButton::Left));
                    if (sender.isCancelled(sender.latestRequest())) return true;
                    window->sendEvent(Event::mouse(EV::MouseUp, {cx, cy}, MouseButton::Left));
                    return false;
                },
                60000));
            ASSERT_TRUE(transferDone());
            window->sendEvent(Event::mouse(EV::MouseUp, {cx, cy}, MouseButton::Left));
        }
        if (how == kServerStops) {
            hvtest::JackServer::shared().pause();
            std::this_thread::sleep_for(std::chrono::seconds(1));
            hvtest::JackServer::shared().resume();
        }
        ASSERT_TRUE(transferDone()) << how;
        EXPECT_THAT(status(), ::testing::MatchesRegex(expected)) << how;
        sim->sendControlChange(74, 20 + how);
        EXPECT_TRUE(hvtest::waitUntil([&, how = how] { return plug->GetParam(kFilterCutoff)->Int() == 20 + how; }))
            << how;
        if (edited()) clickOn(kKeepSelectedBank);
    }
}

// Programs and program changes come in on the MIDI input thread while the
// user saves, refreshes, steps, imports and renames on the GUI thread (the
// buttons through the host, the menus' actions as they call them: a running
// transfer's veil takes the clicks).
TEST_F(LibrarianRoad, TheInstrumentTalksWhileTheUserEditsTheBanks) {
    click(175, 16);  // LIBRARIAN
    clickOn(kControlLibrary);
    std::atomic<bool> changes{true}, stop{false};
    std::thread instrument([&] {
        for (int i = 0; !stop; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(40)))
            changes ? sim->sendProgramChange(i % 128) : sim->sendProgramDump();
    });
    MIDIMessageManager* m = plug->midiManager;
    for (int n = 0; n < 12; ++n) {
        changes = n % 4 != 3;
        for (int button : {kKeepSelectedBank, kRefreshFolders, kLibUpperNextBank, kLibUpperPreviousBank})
            for (float v : {1.0f, 0.0f}) editor->setParameter(button, v);
        const fs::path saved = data.path() / "Patches" / ("Saved " + std::to_string(n) + ".hvx");
        desktop->queueFileChoice(saved.string());
        plug->saveUpperBankAs(false);
        plug->saveImportedFile("Imported.syx", readFile(saved));
        plug->renameIdle = false;
        plug->GetParam(kPatchRename)->SetDisplayText(0, "Renamed");
        plug->OnParamChange(kPatchRename);
        // Request > All Patches from Memory, once no transfer runs.
        auto arm = [m](MIDIMessageSender&) { m->armAllPatchesRequest(); };
        if (!changes) {
            ASSERT_TRUE(pumpUntil(
                [&] { return m->startJob(m->kTransferThread, MIDIMessageSender::kJobRequestAllPatches, arm); }, 60000));
        }
        pumpUntil([] { return false; }, 10);
    }
    stop = true;
    instrument.join();
    ASSERT_TRUE(transferDone());
    EXPECT_GE(sim->programRequestsAnswered(), 3 * 128);
    for (PatchFile* bank : plug->patchLibrarian->bankFiles) EXPECT_EQ(bank->patches.size(), 128u) << bank->fileName;
    sim->sendControlChange(74, 33);
    EXPECT_TRUE(hvtest::waitUntil([&] { return plug->GetParam(kFilterCutoff)->Int() == 33; }));
}

// A SysEx-bound knob sends the whole program; the timbre view refreshed
// after the send leaves the knob's name and value on the display.
TEST_F(LibrarianRoad, ASysExBoundKnobKeepsItsValueOnTheDisplay) {
    click(320, 16);  // PROGRAM
    for (int param : {kEQLowGain, kArpSwing, kTimbreTranspose}) {
        IControl* knob = plug->firstBoundControl(param);
        ASSERT_NE(knob, nullptr) << param;
        ASSERT_EQ(plug->GetParam(param)->GetControlAction()->kind, ControlAction::kSysEx) << param;
        const int before = sim->programDumpsTaken();
        const IRECT& r = knob->GetRECTRef();
        window->sendEvent(Event::mouse(EV::MouseDown, {r.MW(), r.MH()}));
        window->sendEvent(Event::mouse(EV::MouseDragged, {r.MW(), r.MH() - 24}));
        window->sendEvent(Event::mouse(EV::MouseUp, {r.MW(), r.MH() - 24}));
        const std::string name = status(), value = plug->valueTextControl->GetTextString();
        EXPECT_EQ(name, plug->GetParam(param)->GetNameForHost());
        ASSERT_TRUE(hvtest::waitUntil([&] { return sim->programDumpsTaken() > before; }, 20000)) << param;
        ASSERT_TRUE(transferDone());
        for (int i = 0; i < 100 && plug->postSendRefresh; ++i) editor->render();
        EXPECT_FALSE(plug->postSendRefresh);
        EXPECT_EQ(status(), name);
        EXPECT_EQ(plug->valueTextControl->GetTextString(), value);
    }
}

}  // namespace

#endif
