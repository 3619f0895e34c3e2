// ctest-labels: tsan
#include "shim/shim-handles.h"
#include "shim/shim.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int bytesPending(HANDLE h) {
    auto s = static_cast<SHIM_SocketEventRecord*>(h);
    char buf[16];
    return int(recv(s->readFd, buf, sizeof buf, MSG_PEEK | MSG_DONTWAIT));
}

TEST(Event, WrongHandlesFail) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    SHIM_HandleRecord stranger{0x2000000, {1}};
    EXPECT_EQ(WaitForSingleObject(&stranger, 0), WAIT_FAILED);
    EXPECT_EQ(CloseHandle(&stranger), 0);
    EXPECT_EQ(SetEvent(&stranger), 0);
    EXPECT_EQ(ResetEvent(nullptr), 0);
    EXPECT_EQ(stranger.refs.load(), 1);

    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    HANDLE file = SHIM_MakeFileHandle(f);
    EXPECT_EQ(WaitForSingleObject(file, INFINITE), WAIT_FAILED);
    EXPECT_EQ(SetEvent(file), 0);
    EXPECT_EQ(CloseHandle(file), 1);
}

TEST(Event, AutoResetSignalsOneWait) {
    HANDLE e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_EQ(CloseHandle(e), 1);
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    HANDLE e = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    for (int i = 0; i < 5; i++) EXPECT_EQ(WaitForSingleObject(e, i ? 10 : 0), WAIT_OBJECT_0);
    EXPECT_EQ(ResetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(Event, TimedWaitTimesOut) {
    HANDLE e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    auto t0 = Clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 30), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(30));
    CloseHandle(e);
}

// An infinite wait on another thread returns 0 once the event is set, and
// consumes an auto-reset signal.
void expectWakesWaiter(HANDLE e) {
    std::atomic<DWORD> got{12345};
    std::thread t([&] { got = WaitForSingleObject(e, INFINITE); });
    Sleep(10);
    EXPECT_EQ(got.load(), 12345u);
    SetEvent(e);
    t.join();
    EXPECT_EQ(got.load(), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(Event, WakesAWaiterOnAnotherThread) { expectWakesWaiter(CreateEvent(nullptr, FALSE, FALSE, nullptr)); }

TEST(Event, AutoResetReleasesOneWaiterPerSignal) {
    HANDLE e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    std::vector<std::thread> ts;
    for (int i = 0; i < 3; i++)
        ts.emplace_back([&] {
            if (WaitForSingleObject(e, 5000) == WAIT_OBJECT_0) woken++;
        });
    for (int i = 1; i <= 3; i++) {
        SetEvent(e);
        auto deadline = Clock::now() + std::chrono::seconds(5);
        while (woken < i && Clock::now() < deadline) Sleep(1);
        Sleep(5);
        EXPECT_EQ(woken.load(), i);
    }
    for (auto& t : ts) t.join();
    CloseHandle(e);
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    HANDLE e = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> woken{0};
    std::vector<std::thread> ts;
    for (int i = 0; i < 3; i++)
        ts.emplace_back([&] {
            if (WaitForSingleObject(e, 5000) == WAIT_OBJECT_0) woken++;
        });
    Sleep(10);
    SetEvent(e);
    for (auto& t : ts) t.join();
    EXPECT_EQ(woken.load(), 3);
    CloseHandle(e);
}

TEST(SocketEvent, AutoResetConsumesTheSignal) {
    HANDLE e = CreateEventAsSocket(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(bytesPending(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(bytesPending(e), 1);  // the second set wrote nothing
    EXPECT_EQ(WaitForSingleObject(e, 10), WAIT_OBJECT_0);
    auto t0 = Clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 20), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(20));
    EXPECT_EQ(CloseHandle(e), 1);
}

TEST(SocketEvent, ManualResetUntilReset) {
    HANDLE e = CreateEventAsSocket(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ResetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(SocketEvent, WakesAWaiterOnAnotherThread) {
    expectWakesWaiter(CreateEventAsSocket(nullptr, FALSE, FALSE, nullptr));
}

TEST(SocketEvent, WaitForAnyGivesTheLowestSignalledIndex) {
    HANDLE a = CreateEventAsSocket(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventAsSocket(nullptr, FALSE, TRUE, nullptr);
    HANDLE c = CreateEventAsSocket(nullptr, TRUE, TRUE, nullptr);
    HANDLE plain = CreateEvent(nullptr, TRUE, TRUE, nullptr);  // not a socket: skipped
    HANDLE hs[] = {plain, a, b, c};
    EXPECT_EQ(WaitForAnySocketObject(4, hs, 0), 2u);
    // b's signal was consumed; c is manual-reset and stays signalled.
    EXPECT_EQ(WaitForAnySocketObject(4, hs, 0), 3u);
    EXPECT_EQ(WaitForAnySocketObject(4, hs, 0), 3u);
    ResetEvent(c);
    EXPECT_EQ(WaitForAnySocketObject(4, hs, 20), WAIT_TIMEOUT);
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ(WaitForAnySocketObject(4, hs, INFINITE), 1u);
    EXPECT_EQ(WaitForAnySocketObject(0, hs, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForAnySocketObject(1, hs, 0), WAIT_TIMEOUT);  // no descriptor at all
    for (HANDLE h : hs) CloseHandle(h);
}

TEST(SocketEvent, PlainSocketHandle) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    SHIM_SocketRecord s;
    s.kind = SHIM_HANDLE_SOCKET;
    s.refs = 1;
    s.fd = fds[0];
    EXPECT_EQ(WaitForSingleObject(&s, 0), WAIT_TIMEOUT);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_EQ(WaitForSingleObject(&s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(&s, 0), WAIT_OBJECT_0);  // a plain socket is not drained
    EXPECT_EQ(SetEvent(&s), 0);
    EXPECT_EQ(CloseHandle(&s), 0);  // not freed: the record is ours
    s.fd = -1;
    auto t0 = Clock::now();
    EXPECT_EQ(WaitForSingleObject(&s, 5), WAIT_FAILED);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(5));
    close(fds[0]);
    close(fds[1]);
}

DWORD returnArgument(void* arg) { return DWORD(reinterpret_cast<uintptr_t>(arg)); }

DWORD waitForRelease(void* arg) {
    WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE);
    return 7;
}

TEST(Thread, WaitResultsAndTimeouts) {
    HANDLE gate = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    SHIM_THREADID id = 0;
    HANDLE t = CreateThread(nullptr, 0, waitForRelease, gate, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_EQ(static_cast<SHIM_HandleRecord*>(t)->kind, SHIM_HANDLE_THREAD);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);
    auto t0 = Clock::now();
    EXPECT_EQ(WaitForSingleObject(t, 25), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(24));
    EXPECT_EQ(SetThreadPriority(t, 0), 1);
    SetEvent(gate);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(static_cast<SHIM_ThreadRecord*>(t)->result, 7);
    // Waiting again on a finished thread does not join it a second time.
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(SetThreadPriority(t, 0), 0);  // finished
    EXPECT_EQ(CloseHandle(t), 1);
    CloseHandle(gate);
}

TEST(Thread, InfiniteWaitJoins) {
    HANDLE t = CreateThread(nullptr, 0, returnArgument, reinterpret_cast<void*>(42), 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(static_cast<SHIM_ThreadRecord*>(t)->result, 42);
    EXPECT_TRUE(static_cast<SHIM_ThreadRecord*>(t)->done.load());
    CloseHandle(t);
}

std::atomic<bool> g_release{false};
DWORD spinUntilReleased(void*) {
    while (!g_release.load()) Sleep(1);
    return 0;
}

TEST(Thread, CreatorMayCloseFirstOrLast) {
    // Closed while running: the thread drops the last reference itself.
    g_release = false;
    HANDLE t = CreateThread(nullptr, 0, spinUntilReleased, nullptr, 0, nullptr);
    EXPECT_EQ(static_cast<SHIM_HandleRecord*>(t)->refs.load(), 2);
    EXPECT_EQ(CloseHandle(t), 1);
    g_release = true;
    // Closed after the function returned, never waited on.
    HANDLE quick = CreateThread(nullptr, 0, returnArgument, nullptr, 0, nullptr);
    while (!static_cast<SHIM_ThreadRecord*>(quick)->done.load()) Sleep(1);
    EXPECT_EQ(CloseHandle(quick), 1);
}

TEST(Thread, DetachedPlatformThreadRuns) {
    HANDLE done = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    SHIM_THREADID id = 99;
    EXPECT_EQ(CreateThreadNS(
                  nullptr, 0,
                  [](void* e) -> DWORD {
                      SetEvent(e);
                      return 0;
                  },
                  done, 0, &id),
              nullptr);
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    CloseHandle(done);
    void* pool = SHIM_InitAutoRelease();
    EXPECT_NE(pool, nullptr);
    SHIM_QuitAutoRelease(pool);
    SHIM_QuitAutoRelease(nullptr);
}

TEST(File, PositionsSizesAndTransfers) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    HANDLE h = SHIM_MakeFileHandle(f);
    DWORD done = 0;
    EXPECT_EQ(WriteFile(h, "0123456789", 10, &done, nullptr), 1);
    EXPECT_EQ(done, 10u);
    DWORD high = 5;
    EXPECT_EQ(GetFileSize(h, &high), 10u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(GetFilePointer(h, &high), 10u);  // measuring kept the position
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 4, &high), 4u);
    char buf[8] = {};
    EXPECT_EQ(ReadFile(h, buf, 3, &done, nullptr), 1);
    EXPECT_EQ(done, 3u);
    EXPECT_STREQ(buf, "456");
    high = 1;  // positions are 32-bit
    EXPECT_EQ(SetFilePointer(h, 0, &high), 0xFFFFFFFFu);
    EXPECT_EQ(high, 0xFFFFFFFFu);
    EXPECT_EQ(SetFilePointer(h, -3, nullptr), 0xFFFFFFFFu);
    SetFilePointer(h, 10, nullptr);
    EXPECT_EQ(ReadFile(h, buf, 3, &done, nullptr), 0);  // at the end
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(ReadFile(h, nullptr, 3, &done, nullptr), 0);
    EXPECT_EQ(WriteFile(h, "x", 0, &done, nullptr), 0);
    EXPECT_EQ(CloseHandle(h), 1);

    HANDLE ev = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WriteFile(ev, "x", 1, &done, nullptr), 0);
    EXPECT_EQ(GetFileSize(ev, &high), 0xFFFFFFFFu);
    EXPECT_EQ(high, 0xFFFFFFFFu);
    CloseHandle(ev);
    EXPECT_EQ(CreateFile("/tmp/x", 0, 0, nullptr, 0, 0, nullptr), nullptr);
}

TEST(Process, LaunchAndWait) {
    const char* args[] = {"-c", "sleep 0.3"};
    HANDLE p = SHIM_CreateProcess("/bin/sh", 2, args);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<SHIM_HandleRecord*>(p)->kind, SHIM_HANDLE_PROCESS);
    EXPECT_EQ(WaitForSingleObject(p, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(p, 20), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(p, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(p, 0), WAIT_OBJECT_0);
    SHIM_Task* task = static_cast<SHIM_ProcessRecord*>(p)->task;
    EXPECT_EQ(SHIM_WaitForNSTask(task, 0), WAIT_OBJECT_0);
    EXPECT_EQ(CloseHandle(p), 1);
    EXPECT_EQ(SHIM_WaitForNSTask(nullptr, 0), WAIT_FAILED);
}

TEST(Process, ArgumentsReachTheChild) {
    char path[] = "/tmp/hv-proc-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string script = std::string("printf '%s|%s' \"$0\" \"$1\" > ") + path;
    const char* args[] = {"-c", script.c_str(), nullptr, "second"};
    HANDLE p = SHIM_CreateProcess("/bin/sh", 4, args);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(WaitForSingleObject(p, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(SHIM_MakeProcessFront(p), 0);  // ended: nothing to find
    CloseHandle(p);
    char buf[64] = {};
    FILE* f = fopen(path, "r");
    ASSERT_NE(f, nullptr);
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    unlink(path);
    EXPECT_EQ(std::string(buf, n), "|second");  // the null argument came through empty
}

TEST(Process, FailedLaunchGivesNull) {
    EXPECT_EQ(SHIM_CreateProcess("/nonexistent/program", 0, nullptr), nullptr);
    EXPECT_EQ(SHIM_CreateProcess(nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(SHIM_MakeProcessFront(nullptr), 0);
}

TEST(Process, ReleasedWhileRunning) {
    const char* args[] = {"0.1"};
    HANDLE p = SHIM_CreateProcess("/bin/sleep", 1, args);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CloseHandle(p), 1);  // the child is reaped when it ends
}

}  // namespace
