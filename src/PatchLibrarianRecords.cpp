#include "src/PatchLibrarianRecords.h"

#include "framework/ByteChunk.h"
#include "src/PatchLibrarianDump.h"

void LibrarianPatch::save(ByteChunk* out, bool smf, int slot) const {
    if (!out) return;
    bool first = true;
    for (const PatchSysexMessage& m : sysexMessages) {
        if (m.data.empty()) continue;
        int n = static_cast<int>(m.data.size());
        if (!smf) {
            out->PutBytes(m.data.data(), n);
        } else {
            if (slot > 0 || !first) out->PutBytes(hvPatchInBetween, sizeof hvPatchInBetween);
            out->PutBytes(m.data.data() + 1, n - 1);
        }
        first = false;
    }
}

void resizeToBankSlots(std::vector<LibrarianPatch>& patches) { patches.resize(kBankSlots); }

PatchFile* PatchFile::clone() {
    auto* copy = new PatchFile;
    copy->status = 0;
    copy->patches = patches;
    copy->fileName = fileName;
    if (patches.size() != static_cast<size_t>(kBankSlots)) resizeToBankSlots(patches);
    return copy;
}
