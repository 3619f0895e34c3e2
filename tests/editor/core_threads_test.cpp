// ctest-labels: tsan
// The threads that must never wait for the panel: the host's render thread
// goes on while the GUI thread holds a Save As panel open, or writes the
// settings file to a disk that does not answer; and the MIDI input, the
// render thread, transfer jobs and the GUI thread all work at once.
#include "core_component.h"
#include "libview_fixture.h"
#include "librarian_testbanks.h"
#include "panel_model.h"
#include "platform/appkit/Modal.h"
#include "src/MIDIMessageManager.h"
#include "src/PanelLayers.h"
#include "support/SimInstrument.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

// What the writers do at each step (librarian_disk_test.cpp).
extern void (*onWriterStep)(const char*);

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The host's render thread: a block every millisecond, each asking for the
// panel refresh that a SysEx-bound control leaves for it.
class Renderer {
public:
    explicit Renderer(std::function<void()> block) : block_(std::move(block)), thread_([this] { run(); }) {}
    ~Renderer() {
        stop_ = true;
        thread_.join();
    }
    // Waits until n more blocks have ended, a minute at most: false when
    // the render thread waits on something.
    bool rendersOn(uint64_t n) const {
        const uint64_t from = calls_;
        return hvtest::waitUntil([&] { return calls_ >= from + n; }, 60000, 1);
    }
    // The longest block since the last call.
    double takeLongestMs() {
        return std::chrono::duration<double, std::milli>(Clock::duration(longest_.exchange(0))).count();
    }

private:
    void run() {
        while (!stop_) {
            const auto t = Clock::now();
            block_();
            const Clock::rep took = (Clock::now() - t).count();
            Clock::rep longest = longest_;
            while (took > longest && !longest_.compare_exchange_weak(longest, took)) {}
            ++calls_;
            std::this_thread::sleep_for(1ms);
        }
    }
    std::function<void()> block_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> calls_{0};
    std::atomic<Clock::rep> longest_{0};
    std::thread thread_;
};

std::function<void()> refreshingBlocks(Halvoran* plug) {
    return [plug] {
        plug->postSendRefresh = true;
        plug->ProcessDoubleReplacing(nullptr, nullptr, 64);
    };
}

// OVERWRITE on a bank that has no file yet asks for a name: the panel stays
// open five seconds, and meanwhile the render thread goes on and the plug-in
// mutex is free.
TEST(RenderThread, GoesOnWhileASaveAsPanelIsOpen) {
    libviewtest::LibrarianPage p;
    p.backend->setAnswersFilePanels(false);
    Halvoran* plug = p.editor();
    p.librarian->upperBank()->newBank = true;
    Renderer render(refreshingBlocks(plug));
    bool shown = false, mutexHeld = true, renderedOn = false;
    double longestMs = 0;
    platform::appkit::setModalIterationHook([&](platform::appkit::Window*) {
        if (shown) return;
        shown = true;
        mutexHeld = plug->GetMutex().GetNestCount() > 0;
        render.takeLongestMs();
        const auto until = Clock::now() + 5s;
        renderedOn = render.rendersOn(100) && hvtest::waitUntil([&] { return Clock::now() >= until; }, 10000, 10);
        longestMs = render.takeLongestMs();
        platform::appkit::abortModal();
    });
    plug->SetParameterFromGUI(kOverwriteBank, plug->GetParam(kOverwriteBank)->ToNormalized(1.0));
    platform::appkit::setModalIterationHook(nullptr);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(mutexHeld);
    EXPECT_TRUE(renderedOn);
    std::printf("longest render block while the panel was open: %.3f ms\n", longestMs);
    // What the render thread left for the panel is done once it runs again.
    platform::appkit::RunLoop::main().runOnce();
    EXPECT_FALSE(plug->postSendRefresh && plug->GetMutex().GetNestCount() > 0);
}

// A skin chosen on the panel is written to the settings file; the disk
// holds the write until the render thread has gone on.
Halvoran* gWriter = nullptr;
Renderer* gRender = nullptr;
std::atomic<bool> gHeld{false}, gMutexHeld{true}, gRenderedOn{false};

TEST(RenderThread, GoesOnWhileTheSettingsFileWaitsForTheDisk) {
    libviewtest::LibrarianPage p;
    Halvoran* plug = p.editor();
    Renderer render(refreshingBlocks(plug));
    gWriter = plug;
    gRender = &render;
    onWriterStep = [](const char* step) {
        if (std::strcmp(step, "temporary made") != 0 || gHeld.exchange(true)) return;
        gMutexHeld = gWriter->GetMutex().GetNestCount() > 0;
        gRenderedOn = gRender->rendersOn(100);
    };
    const int skin = (plug->settings().skin + 1) % 3;
    plug->SetParameterFromGUI(kUserInterfaceSkin, plug->GetParam(kUserInterfaceSkin)->ToNormalized(skin));
    onWriterStep = nullptr;
    ASSERT_TRUE(gHeld);
    EXPECT_FALSE(gMutexHeld);
    EXPECT_TRUE(gRenderedOn);
    EXPECT_EQ(plug->settings().skin, skin);
    std::printf("longest render block: %.3f ms\n", render.takeLongestMs());
}

// The instrument floods the editor while its transfer jobs run, the host
// renders and the user works on the panel: the GUI thread draws, switches
// pages, saves the state and requests programs. ThreadSanitizer watches;
// afterwards the panel shows what the instrument chose last.
TEST(EditorThreads, TheMidiInputRenderThreadJobsAndPanelWorkAtOnce) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    hvtest::TempDataDir dir;
    libtest::writeFile(dir.path() / "Patches" / "Threads.syx", libtest::rawBank(libtest::randomPrograms(128, 9)));
    hvpanel::BuiltBundle bundle;
    hvtest::SimInstrument sim(0, "hvthreads");
    MIDIMessageSender::pacingDivisor = 20;
    coretest::EditorInstance editor;
    Halvoran* plug = editor.plug;
    ASSERT_NE(plug, nullptr);
    editor.setParameter(kDeviceInSelection, static_cast<float>(editor.portIndex(kDeviceInSelection, sim.outPort())));
    editor.setParameter(kDeviceOutSelection, static_cast<float>(editor.portIndex(kDeviceOutSelection, sim.inPort())));
    editor.awaitPorts();
    ASSERT_TRUE(plug->isExternalMIDIInOpen() && plug->midiOutReady);
    ASSERT_TRUE(sim.waitConnected());

    std::atomic<bool> stop{false};
    std::thread flood([&] {
        for (int n = 0; !stop; ++n) {
            switch (n % 6) {
                case 0:
                    sim.sendControlChange(n % 120, n % 128);
                    break;
                case 1:
                    sim.sendNRPN(4, n % 4, (n * 18) % 128);
                    break;
                case 2:
                    sim.sendParameterChange(n % 128, n % 2, n % 128, 0);
                    break;
                case 3:
                    sim.sendControlChange(95, n % 12 == 3 ? 127 : 0);  // the timbre
                    break;
                case 4:
                    sim.sendProgramDump();
                    break;
                default:
                    sim.sendParameterChange(16, 0, n % 3, 0);  // the common mode
                    break;
            }
            if (n % 8 == 0) std::this_thread::sleep_for(1ms);
        }
    });
    Renderer render([&] {
        plug->postSendRefresh = true;
        editor.render(64);
    });
    IGraphics* g = plug->GetGUI();
    const auto until = Clock::now() + 3s;
    for (int n = 0; Clock::now() < until; ++n) {
        platform::appkit::RunLoop::main().runOnce();
        IRECT dirty;
        if (g && g->IsDirty(&dirty)) g->Draw(&dirty);
        if (n % 50 == 0) plug->SetParameterFromGUI(kMainTab, plug->GetParam(kMainTab)->ToNormalized(n / 50 % 3));
        if (n % 40 == 0) {
            platform::cf::PropertyDict state;
            editor.instance.getState(&state);
        }
        if (n % 100 == 0) plug->sendPatchToDeviceFromLibrarian(n / 100 % 128, 0);
        if (n % 100 == 50)
            plug->midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                                        [plug](MIDIMessageSender& s) {
                                            plug->midiManager->awaitingPanelDump = true;
                                            s.toPanel = true;
                                        });
        std::this_thread::sleep_for(2ms);
    }
    stop = true;
    flood.join();
    EXPECT_TRUE(plug->midiManager->waitForEnd(MIDIMessageManager::kTransferThread, 120000));
    // Once the GUI thread has taken what was left for it, the timbre layers
    // show the timbre the instrument chose last.
    auto layer = [&](int copy) { return plug->getLayer(PanelLayers::kTimbreLayerBases[0] + std::to_string(copy)); };
    ASSERT_TRUE(layer(0) && layer(1));
    const bool follows = hvtest::waitUntil(
        [&] {
            platform::appkit::RunLoop::main().runOnce();
            const int timbre = plug->selectedTimbre;
            return layer(timbre)->IsVisible() && !layer(1 - timbre)->IsVisible();
        },
        60000);
    EXPECT_TRUE(follows);
    MIDIMessageSender::pacingDivisor = 1;
}

}  // namespace
