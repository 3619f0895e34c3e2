// ctest-labels: tsan
#include "base/BASE_Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(Mutex, NestsOnTheOwnerThread) {
    BASE_Mutex m;
    EXPECT_EQ(m.GetNestCount(), 0);
    EXPECT_FALSE(m.IsOwnedByCurrentThread());
    m.Enter();
    m.Enter();
    EXPECT_TRUE(m.TryEnter());
    EXPECT_EQ(m.GetNestCount(), 3);
    EXPECT_TRUE(m.IsOwnedByCurrentThread());
    m.Leave();
    m.Leave();
    EXPECT_TRUE(m.IsOwnedByCurrentThread());
    m.Leave();
    EXPECT_FALSE(m.IsOwnedByCurrentThread());
    EXPECT_EQ(m.GetNestCount(), 0);
    m.Leave();  // not held: ignored
    EXPECT_EQ(m.GetNestCount(), 0);
}

TEST(Mutex, OtherThreadWaitsUntilTheLastLeave) {
    BASE_Mutex m;
    std::atomic<bool> otherIn{false}, otherTried{false};
    m.Enter();
    m.Enter();
    std::thread t([&] {
        EXPECT_FALSE(m.TryEnter());
        EXPECT_FALSE(m.IsOwnedByCurrentThread());
        m.Leave();  // a stranger's leave must not release it
        otherTried = true;
        m.Enter();
        otherIn = true;
        EXPECT_EQ(m.GetNestCount(), 1);
        m.Leave();
    });
    while (!otherTried) std::this_thread::yield();
    EXPECT_TRUE(m.IsOwnedByCurrentThread());
    m.Leave();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherIn);  // still nested once here
    m.Leave();
    t.join();
    EXPECT_TRUE(otherIn);
}

TEST(Mutex, GuardsACounterAcrossThreads) {
    BASE_Mutex m;
    long counter = 0;  // plain on purpose: the mutex is the only guard
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; t++)
        ts.emplace_back([&] {
            for (int i = 0; i < 2000; i++) {
                BASE_MutexLock outer(m);
                std::lock_guard<BASE_Mutex> inner(m);
                counter++;
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(counter, 8000);
    EXPECT_EQ(m.GetNestCount(), 0);
}

}  // namespace
