// Reading bank files and received bank dumps. A chunk is taken as a series
// of SysEx messages, bare or as the SysEx events of a Standard MIDI File;
// each message is judged on its own, so a damaged program costs only itself
// and a file without one real program loads nothing.
#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/ByteChunk.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

constexpr uint8_t kSmfMagic[8] = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06};

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A variable-length quantity of at most four bytes; false when it runs past
// end or does not stop.
bool readVarLen(const uint8_t* d, int& p, int end, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        uint8_t b = d[p++];
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

}  // namespace

void PatchLibrarian::loadFromChunk(ByteChunk* chunk, int size, PatchFile* bank, int midiFileMode) {
    if (!chunk || !bank) return;
    if (size > chunk->Size()) size = chunk->Size();
    if (size < 15) return;

    headerMissing = true;
    bankImported_ = false;
    const size_t before = bank->patches.size();
    const uint8_t* d = chunk->GetBytes();

    if (std::memcmp(d, kSmfMagic, sizeof kSmfMagic) == 0) {
        readMidiFile(d, size, bank);
    } else {
        ByteChunk head;
        ByteChunk* source = chunk;
        if (size < chunk->Size()) {
            if (head.PutBytes(d, size) != size) return;
            source = &head;
        }
        int pos = 0;
        while (processSysExFile(source, pos, bank) > 0) {}
    }

    if (bank->patches.size() > before) fillUncompletedBankFiles(bank);

    if (requestMode && bankImported_) {
        if (plug) plug->bankDumpSeen = false;
        requestSlot = 0;
        requestMode = false;
    }
}

int PatchLibrarian::processSysExFile(ByteChunk* chunk, int& pos, PatchFile* bank) {
    const int n = chunk ? chunk->Size() : 0;
    if (pos < 0 || pos >= n) return pos = -1;
    const uint8_t* d = chunk->GetBytes();
    const void* f0 = std::memchr(d + pos, 0xF0, static_cast<size_t>(n - pos));
    if (!f0) return pos = -1;

    // A message ends at its F7, or unterminated before the next status byte,
    // so a dump that lost its end byte never swallows the one after it.
    const int start = static_cast<int>(static_cast<const uint8_t*>(f0) - d);
    pos = static_cast<int>(findStatusByte(d + start + 1, d + n) - d);
    if (pos < n && d[pos] == 0xF7) ++pos;
    takeMessage(d + start, pos - start, bank);
    if (pos >= n) pos = -1;
    return pos;
}

void PatchLibrarian::takeMessage(const uint8_t* bytes, int size, PatchFile* bank) {
    if (!bank) return;
    const bool fromInstrument = isProgramDump(bytes, size);
    if (fromInstrument || isInitProgram(bytes, size)) {
        if (fromInstrument) headerMissing = false;
        LibrarianPatch program;
        program.sysexMessages.push_back(PatchSysexMessage{std::vector<uint8_t>(bytes, bytes + size)});
        program.name = patchNameFromDump(bytes, size);
        bank->status = 0;
        bank->patches.push_back(std::move(program));
    } else if (isBankDumpHeader(bytes, size)) {
        headerMissing = false;
        importWholeBank(bytes, size, bank);
    }
}

void PatchLibrarian::importWholeBank(const uint8_t* bytes, int size, PatchFile* bank) {
    ByteChunk dump;
    if (dump.PutBytes(bytes, size) != size) return;
    importSlotCounter = 1;
    int pos = 6;
    while (importSysExFile(&dump, pos, bank) > 0) {}
    bankImported_ = true;
}

void PatchLibrarian::readMidiFile(const uint8_t* d, int size, PatchFile* bank) {
    auto takeEvent = [&](const std::vector<uint8_t>& m) { takeMessage(m.data(), static_cast<int>(m.size()), bank); };

    int64_t pos = 8 + int64_t{bigEndian32(d + 4)};
    while (pos + 8 <= size) {
        const uint8_t* head = d + pos;
        const int64_t body = pos + 8;
        const int64_t length = bigEndian32(head + 4);
        const int end = static_cast<int>(std::min<int64_t>(body + length, size));
        pos = body + length;
        if (std::memcmp(head, "MTrk", 4) != 0) continue;

        std::vector<uint8_t> pending;  // a SysEx event still waiting for its F7
        uint8_t running = 0;
        int p = static_cast<int>(body);
        while (p < end) {
            uint32_t delta, len;
            if (!readVarLen(d, p, end, delta) || p >= end) break;
            const uint8_t status = d[p];
            if (status == 0xFF) {
                if (p + 1 >= end) break;
                const uint8_t type = d[p + 1];
                p += 2;
                if (!readVarLen(d, p, end, len) || type == 0x2F || len > static_cast<uint32_t>(end - p)) break;
                p += static_cast<int>(len);
            } else if (status == 0xF0 || status == 0xF7) {
                ++p;
                if (!readVarLen(d, p, end, len)) break;
                const int take = static_cast<int>(std::min<uint32_t>(len, static_cast<uint32_t>(end - p)));
                if (status == 0xF0) {
                    pending.assign(1, 0xF0);
                } else if (pending.empty()) {
                    p += take;  // an escaped run of bytes, no SysEx of ours
                    continue;
                }
                pending.insert(pending.end(), d + p, d + p + take);
                p += take;
                if (pending.back() == 0xF7) {
                    takeEvent(pending);
                    pending.clear();
                }
            } else if (status & 0x80) {
                if (status > 0xEF) break;
                running = status;
                ++p;
                p += (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
            } else {
                if (!running) break;
                p += (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
            }
        }
        // A track cut short may still hold whole programs of a bank dump.
        if (!pending.empty()) takeEvent(pending);
    }
}

void PatchLibrarian::fillUncompletedBankFiles(PatchFile* bank) {
    if (!bank) return;
    while (bank->patches.size() < static_cast<size_t>(kBankSlots)) {
        LibrarianPatch init;
        init.sysexMessages.push_back(
            PatchSysexMessage{std::vector<uint8_t>(hvInitPatchData, hvInitPatchData + kProgramDumpSize)});
        init.name = patchNameFromDump(hvInitPatchData, kProgramDumpSize);
        bank->patches.push_back(std::move(init));
    }
}
