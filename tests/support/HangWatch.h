#pragma once
#include <chrono>
#include <sys/types.h>

namespace hvtest {

// From the first call on, a test case that runs past the limit prints every
// thread's stack (when gdb is at hand) and ends the program, so a hang inside
// a client library fails early and shows where it stood instead of waiting
// out CTest's timeout.
void armHangWatch(std::chrono::seconds limit = std::chrono::seconds(180));

// Run before the stacks are printed, to tell what else the hang left behind
// (a server's log). Plain functions: the watch runs while other threads may
// hold any lock.
void onHang(void (*report)());

// Every thread's stack of a process of ours, through gdb.
void printStacks(pid_t pid);

}  // namespace hvtest
