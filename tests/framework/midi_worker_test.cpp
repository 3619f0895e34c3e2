// ctest-labels: tsan
// The MIDI system's calls run on a worker that nobody waits on for ever: a
// call that blocks (as one into a stopped JACK server does) is given up at
// its deadline, later calls wait for nothing while it blocks, and they run,
// in order, once it ends.
#include "framework/IMidiPortsWorker.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>

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

}  // namespace
