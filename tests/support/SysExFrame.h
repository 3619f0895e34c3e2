// A SysEx message of the instrument: its five-byte head, the body and the
// end byte.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace hvtest {

// Sized once and filled: GCC 12 at -O2 and above takes an insert after an
// initialised head for a copy past the head's end, which stops a build
// whose warnings are errors.
inline std::vector<uint8_t> SysExFrame(const std::array<uint8_t, 5>& head, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> m(head.size() + body.size() + 1);
    std::copy(head.begin(), head.end(), m.begin());
    std::copy(body.begin(), body.end(), m.begin() + head.size());
    m.back() = 0xF7;
    return m;
}

}  // namespace hvtest
