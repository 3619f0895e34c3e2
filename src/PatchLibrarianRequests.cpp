#include "src/PatchLibrarianRequests.h"

#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

bool LibraryPatchRequest::addMessageData(unsigned char* data, int length, LibrarianPatch* collected) {
    PatchSysexMessage message;
    if (data && length > 0) message.data.assign(data, data + length);
    std::lock_guard<std::mutex> lock(mLock);
    patch.sysexMessages.push_back(std::move(message));
    const bool completes = length == kProgramDumpSize;
    if (completes) {
        complete = 1;
        const std::vector<uint8_t>& first = patch.sysexMessages.front().data;
        patch.name += patchNameFromDump(first.data(), first.size());
        active = false;
    }
    if (collected) *collected = patch;
    return completes;
}

void LibraryPatchRequest::empty() {
    LibrarianPatch gone;
    {
        std::lock_guard<std::mutex> lock(mLock);
        std::swap(gone, patch);
    }
}

bool PatchLibrarian::storeInUpperSlot(const LibrarianPatch& patch, int slot) {
    PatchFile* bank = upperBank();
    if (!bank || slot < 0 || slot >= kBankSlots) return false;
    // A copy first: the program may be one of the slots the resize moves.
    LibrarianPatch copy(patch);
    resizeToBankSlots(bank->patches);
    bank->patches[slot] = std::move(copy);
    return true;
}

bool PatchLibrarian::setSysexDatatoSelectedSlot(LibrarianPatch* patch) {
    return patch && storeInUpperSlot(*patch, selectedSlotUpper);
}
