// Any bytes through the bank reader, as a file and as a dump received in
// request mode: no crash, and only whole programs come out.
#include <cstdlib>

#include "framework/ByteChunk.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

struct CheckingPlug : Halvoran {
    int handed = 0;
    void ProcessSysEx(ISysEx* m, bool fromDevice) override {
        require(fromDevice && isProgramDump(m->mData, static_cast<size_t>(m->mSize)));
        ++handed;
    }
};

void requireWholePrograms(const PatchFile& bank) {
    require(bank.patches.empty() || bank.patches.size() >= static_cast<size_t>(kBankSlots));
    for (const LibrarianPatch& p : bank.patches) {
        require(p.sysexMessages.size() == 1);
        const auto& d = p.sysexMessages[0].data;
        require(isSlotProgram(d.data(), d.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CheckingPlug plug;
    ByteChunk chunk;
    if (size > 0 && chunk.PutBytes(data, static_cast<int>(size)) < 0) return 0;

    PatchLibrarian lib(&plug);
    PatchFile file;
    lib.loadFromChunk(&chunk, chunk.Size(), &file, size > 0 && data[0] & 1);
    requireWholePrograms(file);

    plug.handed = 0;
    plug.bankDumpSeen = true;
    lib.requestMode = true;
    PatchFile received;
    lib.loadFromChunk(&chunk, chunk.Size(), &received);
    requireWholePrograms(received);
    require(plug.handed <= kBankSlots);
    require(plug.handed == 0 || !lib.requestMode);

    // The importer alone, on the bytes as if they were one whole-bank dump.
    lib.requestMode = false;
    lib.importSlotCounter = 1;
    PatchFile cut;
    int pos = 6;
    int calls = 0;
    while (lib.importSysExFile(&chunk, pos, &cut) > 0) require(++calls <= kBankSlots + 1);
    require(cut.patches.size() <= static_cast<size_t>(kBankSlots));
    for (const LibrarianPatch& p : cut.patches) require(isProgramDump(p.sysexMessages[0].data.data(), 297));
    return 0;
}
