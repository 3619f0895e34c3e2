#pragma once
// Collects what arrives on an RtMidi input polled by the test.
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <vector>

namespace hvtest {

// Up to `count` messages, waiting at most `limit` for them.
std::vector<std::vector<unsigned char>> receiveMidi(RtMidiIn& in, size_t count, std::chrono::milliseconds limit);

}  // namespace hvtest
