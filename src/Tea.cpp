#include "src/Tea.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr int kCycles = 32;

void encipher(uint32_t& y, uint32_t& z, const unsigned int* k) {
    uint32_t sum = 0;
    for (int n = 0; n < kCycles; ++n) {
        sum += kDelta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
}

void decipher(uint32_t& y, uint32_t& z, const unsigned int* k) {
    uint32_t sum = kDelta * kCycles;  // 0xC6EF3720
    for (int n = 0; n < kCycles; ++n) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= kDelta;
    }
}

uint32_t loadBE(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void storeBE(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// Native-order words through memcpy: the caller's bytes need no alignment.
template <void (*Fn)(uint32_t&, uint32_t&, const unsigned int*)>
void nativeBlock(unsigned char* p, const unsigned int* key) {
    uint32_t w[2];
    std::memcpy(w, p, 8);
    Fn(w[0], w[1], key);
    std::memcpy(p, w, 8);
}

}  // namespace

void Tea::simpledecrypt(unsigned char* block, const unsigned int* key) const {
    uint32_t y = loadBE(block), z = loadBE(block + 4);
    decipher(y, z, key);
    storeBE(block, y);
    storeBE(block + 4, z);
}

void Tea::simpleencrypt(unsigned char* block, const unsigned int* key) const {
    uint32_t y = loadBE(block), z = loadBE(block + 4);
    encipher(y, z, key);
    storeBE(block, y);
    storeBE(block + 4, z);
}

void Tea::decryptTea(unsigned int* block, const unsigned int* key) const { decipher(block[0], block[1], key); }

void Tea::encryptTea(unsigned int* block, const unsigned int* key) const { encipher(block[0], block[1], key); }

void Tea::encryptBlock(unsigned char* data, unsigned int* length, const unsigned int* key) const {
    const uint32_t blocks = (*length + 7) / 8;
    const uint32_t stored = *length;
    std::memcpy(data + 8 * blocks + 4, &stored, 4);
    *length = 8 * blocks + 8;
    for (uint32_t b = 0; b <= blocks; ++b) nativeBlock<encipher>(data + 8 * b, key);
}

void Tea::decryptBlock(unsigned char* data, unsigned int* length, const unsigned int* key) const {
    const uint32_t blocks = *length / 8;
    // With no whole block there is no stored length to read back.
    if (blocks == 0) return;
    for (uint32_t b = 0; b < blocks; ++b) nativeBlock<decipher>(data + 8 * b, key);
    uint32_t stored;
    std::memcpy(&stored, data + 8 * blocks - 4, 4);
    // Under a wrong key the stored word is noise: never report more bytes
    // than lie before the length block.
    const uint32_t payload = 8 * (blocks - 1);
    *length = stored <= payload ? stored : payload;
}

void Tea::printBuffer(const unsigned char* buffer, int count) const {
    for (int i = 0; i < count; ++i) std::putchar(buffer[i]);
    std::putchar('\n');
}
