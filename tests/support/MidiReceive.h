#pragma once
// Collects what arrives on an RtMidi input polled by the test.
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <vector>

namespace hvtest {

// Up to `count` messages, waiting at most `limit` for them.
std::vector<std::vector<unsigned char>> receiveMidi(RtMidiIn& in, size_t count, std::chrono::milliseconds limit);

// A message with the seconds since the one before it, as RtMidi stamps it.
struct TimedMidi {
    std::vector<unsigned char> bytes;
    double delta = 0.0;
};

// As receiveMidi, keeping the stamps; only messages whose first byte is
// `status` count and are kept (0: all).
std::vector<TimedMidi> receiveMidiTimed(RtMidiIn& in, size_t count, std::chrono::milliseconds limit,
                                        unsigned char status = 0);

}  // namespace hvtest
