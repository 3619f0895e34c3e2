#include "src/PatchLibrarianRequests.h"

#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

bool LibraryPatchRequest::addMessageData(unsigned char* data, int length) {
    PatchSysexMessage message;
    if (data && length > 0) message.data.assign(data, data + length);
    patch.sysexMessages.push_back(std::move(message));
    if (length != kProgramDumpSize) return false;
    complete = 1;
    const std::vector<uint8_t>& first = patch.sysexMessages.front().data;
    patch.name += patchNameFromDump(first.data(), first.size());
    active = false;
    return true;
}

void PatchLibrarian::setSysexDatatoSelectedSlot(LibrarianPatch* patch) {
    PatchFile* bank = upperBank();
    if (!patch || !bank || selectedSlotUpper < 0 || selectedSlotUpper >= kBankSlots) return;
    LibrarianPatch copy(*patch);
    resizeToBankSlots(bank->patches);
    bank->patches[selectedSlotUpper] = std::move(copy);
}
