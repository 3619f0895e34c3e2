// ctest-labels: tsan
// Work for the panel from worker threads runs on the GUI thread, in the
// order it was asked for, and never after its queue has closed.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "framework/GuiThreadQueue.h"
#include "platform/appkit/RunLoop.h"

using platform::appkit::RunLoop;

namespace {

TEST(GuiThreadQueue, WorkersCallsRunOnTheGuiThreadInOrder) {
    GuiThreadQueue queue;
    std::vector<int> done;
    std::vector<bool> onGui;
    auto work = [&](int n) {
        return [&, n] {
            done.push_back(n);
            onGui.push_back(RunLoop::isMainThread());
        };
    };
    std::thread([&] {
        queue.call(work(1));
        queue.call(work(2));
    }).join();
    EXPECT_TRUE(done.empty());
    // A call on the GUI thread runs at once, after those still waiting.
    queue.call(work(3));
    EXPECT_EQ(done, (std::vector<int>{1, 2, 3}));
    std::thread([&] { queue.call(work(4)); }).join();
    RunLoop::main().runOnce();
    EXPECT_EQ(done, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(onGui, std::vector<bool>(4, true));
}

TEST(GuiThreadQueue, NothingRunsOnceTheQueueHasClosedOrGone) {
    int runs = 0;
    auto queue = std::make_unique<GuiThreadQueue>();
    std::thread([&] { queue->call([&] { ++runs; }); }).join();
    queue->close();
    queue->call([&] { ++runs; });
    std::thread([&] { queue->call([&] { ++runs; }); }).join();
    RunLoop::main().runOnce();
    EXPECT_EQ(runs, 0);
    // Posted for a queue that is gone by the time the loop runs.
    queue = std::make_unique<GuiThreadQueue>();
    std::thread([&] { queue->call([&] { ++runs; }); }).join();
    queue.reset();
    RunLoop::main().runOnce();
    EXPECT_EQ(runs, 0);
}

}  // namespace
