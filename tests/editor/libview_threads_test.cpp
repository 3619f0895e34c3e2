// ctest-labels: tsan
// The librarian view while programs arrive on the MIDI thread.
#include "libview_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using libviewtest::LibrarianPage;
constexpr int kUpper = LibrarianViewControl::kUpperPane;

namespace {

// Programs arriving on another thread refill the pane while the panel draws.
TEST(LibViewThreads, ReceivedProgramsRefillThePaneWhileItDraws) {
    LibrarianPage p;
    Halvoran* e = p.editor();
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int i = 0; i < 16; ++i) {
            p.librarian->selectedSlotUpper = i;
            e->SetLibrarianRequestActive(true);
            libtest::Bytes dump = libviewtest::namedDump("Recv " + std::to_string(i));
            ISysEx sysex(0, dump.data(), static_cast<int>(dump.size()));
            e->ProcessSysEx(&sysex, true);
        }
        done = true;
    });
    // The GUI thread stores what the MIDI thread hands it, and draws.
    while (!done) {
        platform::appkit::RunLoop::main().runOnce();
        p.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    midi.join();
    platform::appkit::RunLoop::main().runOnce();
    p.tick();
    EXPECT_EQ(p.text(kUpper, 0), "Recv 0");
    EXPECT_EQ(p.text(kUpper, 15), "Recv 15");
    EXPECT_EQ(p.text(kUpper, 16), "Alpha 016");
    EXPECT_GT(p.inked(kUpper, 15), 10);
}

}  // namespace
