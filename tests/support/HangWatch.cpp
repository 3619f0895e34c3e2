#include "support/HangWatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace hvtest {

namespace {

using Clock = std::chrono::steady_clock;

// Written by the test thread, read by the watch: atomics only, since the
// watch outlives everything else at exit.
std::atomic<const ::testing::TestInfo*> gRunning{nullptr};
std::atomic<Clock::rep> gStarted{0};
std::atomic<void (*)()> gReport{nullptr};

void noteStart(const ::testing::TestInfo* test) {
    gStarted = Clock::now().time_since_epoch().count();
    gRunning = test;
}

class Listener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override { noteStart(&test); }
    void OnTestEnd(const ::testing::TestInfo&) override { gRunning = nullptr; }
};

void watch(std::chrono::seconds limit) {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const ::testing::TestInfo* test = gRunning;
        const auto started = Clock::time_point(Clock::duration(gStarted.load()));
        if (!test || Clock::now() - started < limit) continue;
        std::fprintf(stderr, "\n%s.%s has run for %lld s and seems to hang; the threads' stacks:\n",
                     test->test_suite_name(), test->name(), static_cast<long long>(limit.count()));
        std::fflush(stderr);
        if (auto report = gReport.load()) report();
        // Let a debugger of ours attach where ptrace is limited to ancestors.
        prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
        printStacks(getpid());
        std::fflush(stdout);
        std::abort();
    }
}

}  // namespace

void armHangWatch(std::chrono::seconds limit) {
    static std::once_flag once;
    std::call_once(once, [limit] {
        ::testing::UnitTest::GetInstance()->listeners().Append(new Listener);
        noteStart(::testing::UnitTest::GetInstance()->current_test_info());
        std::thread(watch, limit).detach();
    });
}

void onHang(void (*report)()) { gReport = report; }

void printStacks(pid_t pid) {
    const std::string id = std::to_string(pid);
    const char* argv[] = {"gdb", "-nx", "-batch", "-p", id.c_str(), "-ex", "thread apply all bt 25", nullptr};
    pid_t child = -1;
    if (posix_spawnp(&child, "gdb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "(no gdb to print the threads' stacks)\n");
        return;
    }
    waitpid(child, nullptr, 0);
}

}  // namespace hvtest
