// Program requests: the current program onto the panel or into the
// librarian's slot, one program by slot, and all 128 programs into the
// upper bank.
#include <string>

#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

void MIDIMessageSender::selectUpperSlot(int slot) {
    if (plug->patchLibrarian) plug->patchLibrarian->selectedSlotUpper = slot;
    Halvoran* editor = plug;
    editor->onGuiThread([editor, slot] {
        editor->selectLibrarianViewSlot(0, slot, false);
        editor->updatePatchLibrarianView(0);
    });
}

int MIDIMessageSender::activeLibrarianSlot() const { return plug->librarianKeyCursor(); }

void MIDIMessageSender::endLibrarianRequest(bool single) {
    if (manager) manager->disarmLibrarianRequests();
    plug->librarianRequestEnds(cancelRequested ? Halvoran::RequestEnd::kCancelled
                               : failed        ? Halvoran::RequestEnd::kTimedOut
                                               : Halvoran::RequestEnd::kCompleted,
                               single);
}

void MIDIMessageSender::sendPartRequestSysex(bool toPanel) {
    if (!toPanel) plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = leaving.load();
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
    if (!toPanel) {
        endLibrarianRequest(true);
        return;
    }
    if (manager) manager->disarmLibrarianRequests();
    if (cancelRequested) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
    }
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool tempProgram) {
    plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = leaving.load();
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

    plug->DisplayProcessingIndicator(false);
    endLibrarianRequest(true);
}

void MIDIMessageSender::sendAllPatchRequestSysex() {
    plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = leaving.load();
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
        // The slot first: a program is stored where the slot is when it comes.
        selectUpperSlot(program);
        plug->SetLibrarianRequestActive(true);
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

    plug->DisplayProcessingIndicator(false);
    endLibrarianRequest(false);
    selectUpperSlot(0);
}
