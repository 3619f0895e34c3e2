#pragma once
// Program dumps and whole-bank dumps built as the instrument builds them,
// packed here independently of the code under test.
#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "support/SysExFrame.h"

namespace libtest {

using Bytes = std::vector<uint8_t>;
using ProgramData = std::array<uint8_t, 254>;

// Random data bytes, top bits included, named "Prog <i>" in blanks; d12 and
// d13 keep their top bits clear, as the instrument sends them.
inline std::vector<ProgramData> randomPrograms(int count, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::vector<ProgramData> out(count);
    for (int i = 0; i < count; ++i) {
        for (auto& b : out[i]) b = static_cast<uint8_t>(rng());
        std::string name = "Prog " + std::to_string(i);
        for (int k = 0; k < 12; ++k) out[i][k] = k < static_cast<int>(name.size()) ? name[k] : ' ';
        out[i][12] &= 0x7F, out[i][13] &= 0x7F;
    }
    return out;
}

// Groups of seven: a byte with their top bits, then their low seven bits.
inline Bytes packStream(const uint8_t* data, int count) {
    Bytes out;
    for (int g = 0; g * 7 < count; ++g) {
        const size_t group = out.size();
        out.push_back(0);
        for (int k = 0; k < 7 && g * 7 + k < count; ++k) {
            if (data[g * 7 + k] & 0x80) out[group] |= static_cast<uint8_t>(1 << k);
            out.push_back(data[g * 7 + k] & 0x7F);
        }
    }
    return out;
}

inline Bytes frame(uint8_t channel, uint8_t function, const Bytes& body) {
    return hvtest::SysExFrame({0xF0, 0x42, static_cast<uint8_t>(0x30 + channel), 0x58, function}, body);
}

inline Bytes programDump(const ProgramData& d, int channel = 0) {
    return frame(channel, 0x40, packStream(d.data(), 254));
}

// The whole-bank dump (37163 bytes), or its long form with further data.
inline Bytes packedBank(const std::vector<ProgramData>& programs, int channel = 0, uint8_t function = 0x4C,
                        bool longForm = false) {
    Bytes stream;
    for (const auto& p : programs) stream.insert(stream.end(), p.begin(), p.end());
    Bytes body = packStream(stream.data(), static_cast<int>(stream.size()));
    while (longForm && body.size() < 37392 - 6) body.push_back(static_cast<uint8_t>(body.size() & 0x7F));
    return frame(channel, function, body);
}

inline Bytes rawBank(const std::vector<ProgramData>& programs, int channel = 0) {
    Bytes out;
    for (const auto& p : programs) {
        Bytes d = programDump(p, channel);
        out.insert(out.end(), d.begin(), d.end());
    }
    return out;
}

inline const Bytes& initProgram() {
    static const Bytes init(hvInitPatchData, hvInitPatchData + kProgramDumpSize);
    return init;
}

inline ByteChunk chunkOf(const Bytes& bytes) {
    ByteChunk c;
    c.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    return c;
}

inline PatchFile loadBytes(PatchLibrarian& lib, const Bytes& bytes) {
    ByteChunk c = chunkOf(bytes);
    PatchFile bank;
    lib.loadFromChunk(&c, c.Size(), &bank);
    return bank;
}

// The one message of every program of a bank.
inline std::vector<Bytes> dumpsOf(const PatchFile& bank) {
    std::vector<Bytes> out;
    for (const LibrarianPatch& p : bank.patches)
        out.push_back(p.sysexMessages.size() == 1 ? p.sysexMessages[0].data : Bytes());
    return out;
}

inline Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& p, const Bytes& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace libtest
