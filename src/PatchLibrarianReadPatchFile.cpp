// Cutting single programs out of the instrument's whole-bank dump. The dump
// packs all programs into one 7-bit stream, so a program's bytes rarely start
// on a packing group; each program is unpacked to its 254 data bytes and
// packed again in its own groups, which puts every top bit where a single
// program dump carries it.
#include <cstring>

#include "framework/ByteChunk.h"
#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

constexpr char kBlankName[] = "            ";
constexpr char kUnnamed[] = "unnamed prog";

// Program i's data bytes, when every one of them lies inside the dump.
bool cutProgram(const ByteChunk& dump, int i, uint8_t data[kProgramDataSize]) {
    const int n = dump.Size();
    const uint8_t* d = dump.GetBytes();
    for (int b = 0; b < kProgramDataSize; ++b) {
        const int j = kProgramDataSize * i + b;
        const int at = packedDataOffset(j);
        const int group = packedGroupOffset(j);
        if (at >= n) return false;
        if ((d[at] | d[group]) & 0x80) return false;  // the dump ended here
        data[b] = static_cast<uint8_t>(d[at] | (((d[group] >> (j % 7)) & 1) << 7));
    }
    return true;
}

}  // namespace

int PatchLibrarian::importSysExFile(ByteChunk* chunk, int& pos, PatchFile* bank) {
    const int counter = importSlotCounter;
    bool added = false;
    uint8_t data[kProgramDataSize];
    if (chunk && bank && pos >= 1 && counter >= 1 && counter <= kBankSlots && cutProgram(*chunk, counter - 1, data)) {
        PatchSysexMessage message;
        message.data.assign(kProgramDumpSize, 0);
        uint8_t* dump = message.data.data();
        putFrameHeader(dump, kDeviceByteBase, kFuncProgramDump);
        packProgramData(data, dump);
        dump[kProgramDumpSize - 1] = kSysExEnd;

        LibrarianPatch program;
        if (!requestMode) {
            program.name = patchNameFromDump(dump, kProgramDumpSize);
            if (program.name == kBlankName) {
                program.name = kUnnamed;
                std::memcpy(dump + 6, kUnnamed, 7);
                std::memcpy(dump + 14, kUnnamed + 7, 5);
            }
        }
        program.sysexMessages.push_back(std::move(message));
        bank->status = 0;
        bank->patches.push_back(std::move(program));
        added = true;

        if (requestMode && requestSlot < kBankSlots) {
            // A copy: the plug-in's entry may change the banks.
            const std::vector<uint8_t> bytes = bank->patches.back().sysexMessages.front().data;
            ISysEx sysex(0, bytes.data(), static_cast<int>(bytes.size()));
            ++requestSlot;
            if (plug) plug->ProcessSysEx(&sysex, true);
        }
    }

    if ((!added && counter >= kBankSlots) || counter < 0) {
        pos = 0;
        importSlotCounter = 0;
        return 0;
    }
    pos = 6 + 290 * counter + 2 * (counter / 7);
    importSlotCounter = counter + 1;
    return pos;
}

bool findByte(ByteChunk* chunk, int& pos, int value) {
    if (pos == -1 || !chunk) return false;
    const int n = chunk->Size();
    for (int i = pos < 0 ? 0 : pos; i < n; ++i) {
        if (chunk->GetBytes()[i] == value) {
            pos = i + 1;
            return true;
        }
    }
    pos = -1;
    return false;
}
