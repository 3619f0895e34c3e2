// ctest-labels: tsan
// The MIDI system's calls run on a worker that nobody waits on for ever: a
// call that blocks (as one into a stopped JACK server does) is given up at
// its deadline, later calls wait for nothing while it blocks, and they run,
// in order, once it ends.
#include "framework/IMidiJackClient.h"
#include "framework/IMidiPortsWorker.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = IMidiPortsWorker::Clock;
using namespace std::chrono_literals;

struct Seam {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> heldUp{0}, freed{0};
    std::string ran;  // the calls that ran, in order; read once they ended
    std::atomic<int> committed{0};
};

TEST(MidiWorker, ABlockedCallIsGivenUpAndWhatCameMeanwhileRunsOnceItEnds) {
    auto seam = std::make_shared<Seam>();
    auto worker = std::make_unique<IMidiPortsWorker>([seam] { ++seam->heldUp; }, [seam] { ++seam->freed; });
    auto blocked = worker->post([seam](IMidiPortsWorker::Call& call) {
        seam->released.wait();
        seam->ran += "a";
        if (call.commit([&] { ++seam->committed; })) seam->ran += "!";
    });
    EXPECT_FALSE(worker->wait(blocked, Clock::now() + 50ms));
    EXPECT_TRUE(worker->heldUp());
    // Held up: a later call is queued and not waited for.
    auto later = worker->post([seam](IMidiPortsWorker::Call& call) { seam->ran += call.abandoned() ? "B" : "b"; });
    EXPECT_FALSE(worker->wait(later, Clock::now() + 3600s));
    EXPECT_EQ(seam->heldUp, 1);

    seam->release.set_value();
    ASSERT_TRUE(hvtest::waitUntil([&] { return !worker->heldUp(); }, 60000));
    auto last = worker->post([seam](IMidiPortsWorker::Call&) { seam->ran += "c"; });
    EXPECT_TRUE(worker->wait(last, Clock::now() + 3600s));
    // The given-up call committed nothing; the later one knew nobody waited.
    EXPECT_EQ(seam->ran, "aBc");
    EXPECT_EQ(seam->committed, 0);
    EXPECT_EQ(seam->freed, 1);
    EXPECT_FALSE(worker->heldUp());
}

// libjack may call a client's process callback after the client was closed.
// The callback's state may go only once no callback is inside it; one that
// comes later finds no state.
struct SlowState {
    std::promise<void> entered, leave;
    std::atomic<int> calls{0};
    void process(jack_nframes_t) {
        if (calls++ == 0) {
            entered.set_value();
            leave.get_future().wait();
        }
    }
};

TEST(JackCallbackSlot, TheStateGoesOnlyOnceNoCallbackIsInside) {
    SlowState state;
    auto* slot = JackCallbackSlot<SlowState>::make(&state);
    std::thread cycle([slot] { JackCallbackSlot<SlowState>::process(64, slot); });
    state.entered.get_future().wait();
    EXPECT_FALSE(slot->detach(20ms));
    EXPECT_EQ(slot->state(), nullptr);
    state.leave.set_value();
    cycle.join();
    EXPECT_TRUE(slot->detach(0ms));
    JackCallbackSlot<SlowState>::process(64, slot);
    EXPECT_EQ(state.calls, 1);
}

}  // namespace
