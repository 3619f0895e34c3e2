#pragma once
// Program dumps and whole-bank dumps built the way the instrument builds
// them, packed here independently of the code under test.
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"

namespace libtest {

using Bytes = std::vector<uint8_t>;
using ProgramData = std::array<uint8_t, 254>;

// Random data bytes, top bits included, with a readable name in d0..d11.
inline ProgramData randomProgram(std::mt19937& rng, const std::string& name) {
    ProgramData d{};
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    for (int i = 0; i < 12; ++i) d[i] = i < static_cast<int>(name.size()) ? static_cast<uint8_t>(name[i]) : ' ';
    d[12] &= 0x7F;  // as the instrument sends them, so the group byte
    d[13] &= 0x7F;  // between the name halves stays clear
    return d;
}

// Packs a stream of data bytes: a group byte holding the top bits of the
// seven bytes after it, then their low seven bits.
inline Bytes packStream(const uint8_t* data, int count) {
    Bytes out;
    for (int g = 0; g * 7 < count; ++g) {
        uint8_t top = 0;
        Bytes low;
        for (int k = 0; k < 7 && g * 7 + k < count; ++k) {
            uint8_t v = data[g * 7 + k];
            if (v & 0x80) top |= static_cast<uint8_t>(1 << k);
            low.push_back(v & 0x7F);
        }
        out.push_back(top);
        out.insert(out.end(), low.begin(), low.end());
    }
    return out;
}

inline Bytes programDump(const ProgramData& d, int channel = 0) {
    Bytes out = {0xF0, 0x42, static_cast<uint8_t>(0x30 + channel), 0x58, 0x40};
    Bytes body = packStream(d.data(), 254);
    out.insert(out.end(), body.begin(), body.end());
    out.push_back(0xF7);
    return out;
}

// The instrument's whole-bank dump of 128 programs (37163 bytes), or the
// long form with `extra` bytes of further data (37392 bytes).
inline Bytes packedBank(const std::vector<ProgramData>& programs, int channel = 0, uint8_t function = 0x4C,
                        bool longForm = false) {
    std::vector<uint8_t> stream;
    for (const auto& p : programs) stream.insert(stream.end(), p.begin(), p.end());
    Bytes out = {0xF0, 0x42, static_cast<uint8_t>(0x30 + channel), 0x58, function};
    Bytes body = packStream(stream.data(), static_cast<int>(stream.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (longForm)
        for (int i = 0; out.size() < 37391; ++i) out.push_back(static_cast<uint8_t>(i & 0x7F));
    out.push_back(0xF7);
    return out;
}

inline std::vector<ProgramData> randomPrograms(int count, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::vector<ProgramData> out;
    for (int i = 0; i < count; ++i) out.push_back(randomProgram(rng, "Prog " + std::to_string(i)));
    return out;
}

inline Bytes rawBank(const std::vector<ProgramData>& programs, int channel = 0) {
    Bytes out;
    for (const auto& p : programs) {
        Bytes d = programDump(p, channel);
        out.insert(out.end(), d.begin(), d.end());
    }
    return out;
}

inline ByteChunk chunkOf(const Bytes& bytes) {
    ByteChunk c;
    c.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    return c;
}

// What the bank reader makes of the bytes.
inline PatchFile loadBytes(PatchLibrarian& lib, const Bytes& bytes) {
    ByteChunk c = chunkOf(bytes);
    PatchFile bank;
    lib.loadFromChunk(&c, c.Size(), &bank);
    return bank;
}

inline Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace libtest
