#include "src/sha1.h"

#include <cstdint>
#include <cstring>

namespace sha1 {
namespace {

inline uint32_t rol(uint32_t value, int steps) { return (value << steps) | (value >> (32 - steps)); }

// The 16-word schedule w is extended in place, a word at a time.
void innerHash(uint32_t* result, uint32_t* w) {
    uint32_t a = result[0], b = result[1], c = result[2], d = result[3], e = result[4];
    for (int round = 0; round < 80; ++round) {
        if (round >= 16) {
            const int i = round & 15;
            w[i] = rol(w[(round + 13) & 15] ^ w[(round + 8) & 15] ^ w[(round + 2) & 15] ^ w[i], 1);
        }
        uint32_t f, k;
        if (round < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (round < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (round < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t t = rol(a, 5) + f + e + k + w[round & 15];
        e = d;
        d = c;
        c = rol(b, 30);
        b = a;
        a = t;
    }
    result[0] += a;
    result[1] += b;
    result[2] += c;
    result[3] += d;
    result[4] += e;
}

}  // namespace

void calc(const void* src, const int bytelength, unsigned char* hash) {
    uint32_t result[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    const unsigned char* bytes = static_cast<const unsigned char*>(src);
    const int length = bytelength > 0 ? bytelength : 0;
    uint32_t w[80];

    const int whole = length - length % 64;
    for (int start = 0; start < whole; start += 64) {
        for (int i = 0; i < 16; ++i) {
            const unsigned char* p = bytes + start + 4 * i;
            w[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        innerHash(result, w);
    }

    std::memset(w, 0, sizeof w);
    const int rest = length - whole;
    for (int i = 0; i < rest; ++i) w[i >> 2] |= uint32_t(bytes[whole + i]) << ((3 - (i & 3)) << 3);
    w[rest >> 2] |= uint32_t(0x80) << ((3 - (rest & 3)) << 3);
    if (rest >= 56) {
        innerHash(result, w);
        std::memset(w, 0, sizeof w);
    }
    w[15] = uint32_t(length) << 3;
    innerHash(result, w);

    for (int i = 0; i < 20; ++i) hash[i] = static_cast<unsigned char>(result[i >> 2] >> ((3 - (i & 3)) << 3));
}

void toHexString(const unsigned char* hash, char* hexstring) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 20; ++i) {
        hexstring[2 * i] = digits[hash[i] >> 4];
        hexstring[2 * i + 1] = digits[hash[i] & 15];
    }
    hexstring[40] = 0;
}

}  // namespace sha1
