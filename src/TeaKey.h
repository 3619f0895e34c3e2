#pragma once
// The key of the bundle's enciphered resources. The build-time encipher tool and
// the resource reader both include this, so the two can never disagree. The key
// is assembled on each call rather than kept as one constant in the binary.

inline void buildResourceKey(unsigned int key[4]) {
    static const unsigned int a[4] = {0x3B9AC9FFu, 0x5EB1D4C2u, 0x0F1E2D3Cu, 0x7A6B5C4Du};
    static const unsigned int b[4] = {0x6C0FFEE5u, 0x1D2A7E93u, 0xA4C3B2E1u, 0x29E8D7F6u};
    for (int i = 0; i < 4; ++i) {
        const unsigned int mixed = a[i] ^ ((b[3 - i] << 7) | (b[3 - i] >> 25));
        key[i] = mixed + 0x9E3779B9u * static_cast<unsigned int>(i + 1);
    }
}
