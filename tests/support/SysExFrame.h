// A SysEx message of the instrument: its five-byte head, the body and the
// end byte.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace hvtest {

// Byte by byte: GCC 12 at -O2 and above takes a copy into a vector sized
// from the body, or an insert after an initialised head, for a copy past
// the end, which stops a build whose warnings are errors.
inline std::vector<uint8_t> SysExFrame(const std::array<uint8_t, 5>& head, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> m;
    m.reserve(head.size() + body.size() + 1);
    for (uint8_t b : head) m.push_back(b);
    for (uint8_t b : body) m.push_back(b);
    m.push_back(0xF7);
    return m;
}

// Whether m is a request of the instrument's, of that function byte.
inline bool isRequest(const std::vector<uint8_t>& m, int function) {
    return m.size() == 6 && m[0] == 0xF0 && m[1] == 0x42 && m[3] == 0x58 && m[4] == function && m[5] == 0xF7;
}

}  // namespace hvtest
