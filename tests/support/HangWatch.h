#pragma once
#include <chrono>

namespace hvtest {

// From the first call on, a test case that runs past the limit prints every
// thread's stack (when gdb is at hand) and ends the program, so a hang inside
// a client library fails early and shows where it stood instead of waiting
// out CTest's timeout.
void armHangWatch(std::chrono::seconds limit = std::chrono::seconds(180));

}  // namespace hvtest
