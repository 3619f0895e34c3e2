// A private JACK server for the benchmarks: jackd on the dummy driver,
// started by the benchmark and asked, before it is used, whether it takes
// clients yet.
#pragma once

#include <sys/types.h>

#include <string>

namespace hvbench {

// Whether a JACK server of that name takes a client; never starts one.
// libjack's messages are silenced first: a probe that finds no server
// would print them.
bool jackServerAnswers(const std::string& name);

// Replaces the calling (child) process with jackd serving that name on the
// dummy driver, without real-time scheduling; exits 127 when jackd cannot
// run.
[[noreturn]] void execDummyJackd(const std::string& name, int period, int rate);

// Waits until the server of that name, run by our child `pid`, answers:
// true. False when the child ended first or 10 s passed; the child is then
// stopped and reaped.
bool awaitJackServer(const std::string& name, pid_t pid);

}  // namespace hvbench
