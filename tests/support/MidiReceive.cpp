#include "support/MidiReceive.h"

#include <thread>

namespace hvtest {

std::vector<std::vector<unsigned char>> receiveMidi(RtMidiIn& in, size_t count, std::chrono::milliseconds limit) {
    std::vector<std::vector<unsigned char>> got;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::vector<unsigned char> m;
        in.getMessage(&m);
        if (m.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        else
            got.push_back(std::move(m));
    }
    return got;
}

std::vector<TimedMidi> receiveMidiTimed(RtMidiIn& in, size_t count, std::chrono::milliseconds limit,
                                        unsigned char status) {
    std::vector<TimedMidi> got;
    auto deadline = std::chrono::steady_clock::now() + limit;
    double skipped = 0.0;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        TimedMidi m;
        m.delta = in.getMessage(&m.bytes);
        if (m.bytes.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if (status != 0 && m.bytes[0] != status) {
            skipped += m.delta;
        } else {
            m.delta += skipped;
            skipped = 0.0;
            got.push_back(std::move(m));
        }
    }
    return got;
}

}  // namespace hvtest
