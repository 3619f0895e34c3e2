// Program requests: the current program onto the panel or into the
// librarian's slot, one program by slot, and all 128 programs into the
// upper bank.
#include <mutex>
#include <string>

#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

int placedSoFar(MIDIMessageManager* manager) { return manager ? manager->programsPlaced.load() : 0; }

}  // namespace

void MIDIMessageSender::selectUpperSlot(int slot) {
    if (plug->patchLibrarian) plug->patchLibrarian->selectedSlotUpper = slot;
    plug->selectLibrarianViewSlot(0, slot, false);
    plug->updatePatchLibrarianView(0);
}

int MIDIMessageSender::activeLibrarianSlot() const { return plug->librarianKeyCursor(); }

void MIDIMessageSender::reportProgramStored(int placedBefore, bool activeProgram) {
    if (placedSoFar(manager) == placedBefore) {
        plug->setStatusText("Program NOT stored: choose an edit slot!");
        return;
    }
    plug->SetLibrarianStatusUnsaved(true);
    PatchLibrarian* librarian = plug->patchLibrarian;
    PatchFile* bank = librarian ? librarian->upperBank() : nullptr;
    const int slot = librarian ? librarian->selectedSlotUpper.load() : -1;
    if (!activeProgram || !bank || slot < 0 || slot >= kBankSlots) return;
    // The instrument's active program has no number here: its name tells it.
    std::string name;
    {
        std::lock_guard<std::mutex> lock(librarian->slotsLock);
        if (slot < static_cast<int>(bank->patches.size())) name = bank->patches[slot].name;
    }
    name.erase(name.find_last_not_of(' ') + 1);
    const std::string text = "Active program \"" + name + "\" to slot " + std::to_string(slot + 1);
    plug->setStatusText(text.c_str());
}

void MIDIMessageSender::sendPartRequestSysex(bool toPanel) {
    const int placedBefore = placedSoFar(manager);
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = false;
    // With toPanel the answer goes to the panel, otherwise to the librarian's
    // active slot.
    plug->SetLibrarianRequestActive(!toPanel);

    const int t = plug->getTimerValue();
    sendRequest(plug->deviceByte, kFuncProgramRequest);
    pause(t);
    plug->setStatusText("Data processing, please wait...");
    pollProgramRequest(t);

    if (!toPanel || failed) pause(t);
    plug->DisplayProcessingIndicator(false);
    if (cancelRequested) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
        if (!toPanel) reportProgramStored(placedBefore, true);
    }
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool tempProgram) {
    const int placedBefore = placedSoFar(manager);
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = false;
    plug->SetLibrarianRequestActive(true);

    const int t = plug->getTimerValue();
    // A temporary program is the instrument's current one, asked for without
    // a program change.
    if (!tempProgram) {
        plug->SendProgramChangeCommand(activeLibrarianSlot());
        pause(t / 2);
    }
    sendRequest(plug->deviceByte, kFuncProgramRequest);
    plug->setStatusText("Data processing, please wait...");
    pollProgramRequest(t);

    if (cancelRequested) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
        reportProgramStored(placedBefore, tempProgram);
    }
    plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::sendAllPatchRequestSysex() {
    const int placedBefore = placedSoFar(manager);
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = false;
    plug->SetLibrarianRequestActive(true);

    const int t = plug->getTimerValue();
    // Bank select LSB 0 on MIDI channel 1, whatever the global channel.
    IMidiMsg bank;
    bank.MakeControlChangeMsg(IMidiMsg::kBankSelectLSB, 0.0, 0);
    plug->SendMidiMsg(&bank);
    pause(t);
    plug->setStatusText("Data processing, please wait...");

    bool cancelInSweep = false;
    for (int program = 0; program < 128 && !cancelInSweep; ++program) {
        plug->DisplayProcessingIndicator(true);
        plug->SetLibrarianRequestActive(true);
        selectUpperSlot(program);
        // The overlay says the editor is talking to the instrument again, so
        // the status line must no longer say the last program timed out.
        plug->setStatusText("Data processing, please wait...");
        plug->SendProgramChangeCommand(program);
        pause(50);
        if (cancelRequested) break;

        sendRequest(plug->deviceByte, kFuncProgramRequest);
        // Outside the sweep these polls do not look at the cancel.
        for (int k = 1; k <= 35; ++k) {
            pause(t);
            if (k == 30) cancelInSweep = sweepChannels(kFuncProgramRequest, t, false);
            if (k == 35) {
                plug->setStatusText("CONNECTION TIMED OUT!");
                failed = true;
                break;
            }
            if (plug->answered) break;
        }
        plug->DisplayProcessingIndicator(false);
    }

    // The bank is marked edited only when a program reached it; the last
    // text says how the request ended.
    const int received = placedSoFar(manager) - placedBefore;
    const char* outcome = cancelRequested ? "Data request CANCELLED!"
                          : failed        ? "CONNECTION TIMED OUT!"
                                          : "Data request completed!";
    if (received > 0 && !cancelRequested && !failed) {
        plug->setStatusText(outcome);
        plug->SetLibrarianStatusUnsaved(true);
    } else {
        if (received > 0) plug->SetLibrarianStatusUnsaved(true);
        plug->setStatusText(outcome);
    }
    // The menu armed the all-programs record before this job, and each
    // program the single one; left armed, either would take the next dump
    // the panel asks for into the bank.
    if (manager) {
        manager->libraryPatchRequestAll.active = false;
        manager->armLibraryPatchRequest(false);
    }
    plug->DisplayProcessingIndicator(false);
    selectUpperSlot(0);
}
