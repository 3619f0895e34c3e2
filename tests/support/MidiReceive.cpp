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

}  // namespace hvtest
