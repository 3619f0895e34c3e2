// The host closes the editor while the instrument floods it: control
// changes, NRPN, parameter changes and program changes keep arriving on the
// MIDI input thread, the jobs they start run on the workers, and a librarian
// request the user started collects what comes in, until and after the
// editor is gone. Many rounds, under AddressSanitizer and ThreadSanitizer.
// ctest-labels: tsan
#include "core_component.h"
#include "librarian_testbanks.h"
#include "panel_model.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "support/SimInstrument.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

using coretest::EditorInstance;
using hvtest::SimInstrument;
using namespace std::chrono_literals;

constexpr int kRounds = 12;

// Sends a mixed burst until told to stop.
void flood(SimInstrument& sim, std::atomic<bool>& stop, unsigned seed) {
    std::mt19937 rng(seed);
    for (int n = 0; !stop; ++n) {
        switch (rng() % 8) {
            case 0:
            case 1:
                sim.sendControlChange(static_cast<int>(rng() % 120), static_cast<int>(rng() % 128));
                break;
            case 2:
            case 3:
                sim.sendNRPN(static_cast<int>(rng() % 8), static_cast<int>(rng() % 16), static_cast<int>(rng() % 128));
                break;
            case 4:
            case 5:
            case 6:
                sim.sendParameterChange(static_cast<int>(rng() % 128), static_cast<int>(rng() % 3),
                                        static_cast<int>(rng() % 128), static_cast<int>(rng() % 2));
                break;
            default:
                if (n % 16 == 0) sim.sendProgramChange(static_cast<int>(rng() % 128));
                break;
        }
        if (n % 32 == 0) std::this_thread::sleep_for(1ms);
    }
}

TEST(QuitUnderTraffic, TheHostClosesTheEditorWhileTheInstrumentFloodsIt) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    hvtest::TempDataDir dir;
    libtest::writeFile(dir.path() / "Patches" / "Stress.syx", libtest::rawBank(libtest::randomPrograms(128, 5)));
    hvpanel::BuiltBundle bundle;  // the shipped panel, every binding of it
    SimInstrument sim(0, "hvquit");
    // The jobs that program changes start wait a tenth of their pauses.
    MIDIMessageSender::pacingDivisor = 10;
    for (int round = 0; round < kRounds; ++round) {
        auto editor = std::make_unique<EditorInstance>();
        ASSERT_NE(editor->plug, nullptr);
        Halvoran* plug = editor->plug;
        editor->setParameter(kDeviceInSelection,
                             static_cast<float>(editor->listedPortIndex(kDeviceInSelection, sim.outPort())));
        editor->setParameter(kDeviceOutSelection,
                             static_cast<float>(editor->listedPortIndex(kDeviceOutSelection, sim.inPort())));
        ASSERT_TRUE(plug->midiOutReady);
        ASSERT_TRUE(sim.waitConnected());
        // Linked timbres and a tracked input move more of the panel per message.
        editor->setParameter(kTimbreLinker, round % 2);
        editor->setParameter(kMIDIFilterTrackIncomingMIDI, 1);
        editor->render();
        ASSERT_TRUE(sim.waitIdle());
        sim.clearReceived();

        std::atomic<bool> stop{false};
        std::thread burst([&] { flood(sim, stop, static_cast<unsigned>(round)); });
        // The user asks the librarian for programs meanwhile: one into the
        // selected slot, or all of them, each request re-armed per program.
        MIDIMessageManager* manager = plug->midiManager;
        if (round % 2 == 0) {
            manager->sendSinglePatchRequestSysexFromLibrarian(round % 4 == 0);
        } else {
            manager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestAllPatches,
                              [manager](MIDIMessageSender&) {
                                  manager->libraryPatchRequest.active = false;
                                  manager->libraryPatchRequestAll.empty();
                                  manager->libraryPatchRequestAll.active = true;
                                  manager->replySeen = false;
                              });
        }
        // Close in the middle of the flood, once the request has gone some
        // way (for all programs, further each round).
        const size_t asked = static_cast<size_t>(round % 2 == 0 ? 1 : 2 + round % 5);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && sim.receivedCount() < asked) editor->render();
        editor.reset();
        stop = true;
        burst.join();
    }
    MIDIMessageSender::pacingDivisor = 1;
}

}  // namespace
