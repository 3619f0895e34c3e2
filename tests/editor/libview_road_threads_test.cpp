// ctest-labels: tsan
// The librarian while the instrument talks: programs and program changes
// come in on the MIDI input thread while the user saves, refreshes, steps,
// imports and renames on the GUI thread.
#include "libview_road.h"

#include <atomic>
#include <chrono>
#include <thread>

#if defined(HV_BUNDLE_DIR)

namespace {

using namespace libroad;
using platform::appkit::RunLoop;

class LibrarianRoadThreads : public LibrarianRoad {
protected:
    // What a user may do on the page: the buttons through the host as the
    // panel sets them, the menus' actions as the menus call them (a running
    // transfer's veil takes the clicks meanwhile).
    void edit(int n) {
        auto press = [&](int paramIdx) {
            editor->setParameter(paramIdx, 1);
            editor->setParameter(paramIdx, 0);
        };
        press(kKeepSelectedBank);
        press(kRefreshFolders);
        press(kLibUpperNextBank);
        press(kLibUpperPreviousBank);
        const fs::path saved = data.path() / "Patches" / ("Saved " + std::to_string(n) + ".hvx");
        desktop->queueFileChoice(saved.string());
        plug->saveUpperBankAs(false);
        plug->saveImportedFile("Imported.syx", readFile(saved));
        plug->renameIdle = false;
        plug->GetParam(kPatchRename)->SetDisplayText(0, ("Renamed " + std::to_string(n)).c_str());
        plug->OnParamChange(kPatchRename);
        RunLoop::main().runOnce();
    }
    // MENU > Request Patch Data > All Patches from Memory, once no transfer
    // runs.
    bool requestAll() {
        MIDIMessageManager* m = plug->midiManager;
        return hvtest::waitUntil(
            [&] {
                RunLoop::main().runOnce();
                return m->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestAllPatches,
                                   [m](MIDIMessageSender&) { m->armAllPatchesRequest(); });
            },
            60000);
    }
};

TEST_F(LibrarianRoadThreads, ProgramsAndProgramChangesArriveWhileTheUserEditsTheBanks) {
    click(175, 16);  // LIBRARIAN
    clickOn(kControlLibrary);
    ASSERT_EQ(plug->GetParam(kControlLibrary)->Value(), 1.0);
    // The instrument chooses a few programs (each sent back from its slot),
    // then sends programs unasked while they are also asked for.
    std::atomic<int> round{0};
    std::atomic<bool> stop{false};
    std::thread instrument([&] {
        for (int seen = 0; !stop; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            if (seen < round) {
                for (int i = 0; i < 8; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
                    sim->sendProgramChange((round * 8 + i) % 128);
                seen = round;
            }
            sim->sendProgramDump();
        }
    });
    for (int r = 1; r <= 3; ++r) {
        round = r;
        for (int i = 0; i < 4; ++i) edit(r * 10 + i);
        ASSERT_TRUE(requestAll());
        while (plug->midiManager->isRunning(MIDIMessageManager::kTransferThread)) edit(r * 10 + 5);
        ASSERT_TRUE(transferDone());
    }
    stop = true;
    instrument.join();
    ASSERT_TRUE(transferDone());

    // Nothing stays armed, every bank is whole, and the panel follows the
    // instrument again.
    EXPECT_GE(sim->programRequestsAnswered(), 3 * 128);
    EXPECT_FALSE(plug->midiManager->libraryPatchRequest.active || plug->midiManager->libraryPatchRequestAll.active);
    EXPECT_FALSE(plug->bankDumpSeen);
    for (PatchFile* bank : plug->patchLibrarian->bankFiles) {
        ASSERT_NE(bank, nullptr);
        EXPECT_EQ(bank->patches.size(), 128u) << bank->fileName;
    }
    click(320, 16);  // PROGRAM
    sim->sendControlChange(74, 33);
    EXPECT_TRUE(hvtest::waitUntil([&] { return plug->GetParam(kFilterCutoff)->Int() == 33; }, 20000));
}

}  // namespace

#endif
