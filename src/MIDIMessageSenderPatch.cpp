// Program send jobs: job 0 sends the panel's current program as one dump.
#include <string>

#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchManager.h"
#include "src/ProgramDump.h"

void MIDIMessageSender::putProgramName(unsigned char* dump, const std::string& name) {
    uint8_t data[kProgramDataSize];
    unpackProgramData(dump, data);
    writeProgramName(name, data);
    packProgramData(data, dump);
}

void MIDIMessageSender::buildArrangementDump(unsigned char* dump) {
    buildProgramDump(UnitDumpParams(*plug), plug->deviceByte, plug->GetParam(kPatchName)->GetDisplayText(0), dump);
}

void MIDIMessageSender::sendArrangementToDevice(bool toLibrarian) {
    plug->DisplayProcessingIndicator(true);

    const int t = plug->getTimerValue();
    unsigned char dump[kProgramDumpSize];
    buildArrangementDump(dump);

    // The program's name is kept for the saved state.
    const char* name = plug->GetParam(kPatchName)->GetDisplayText(0);
    if (patchManager) patchManager->names[PatchManager::kPatchNameIdx] = *name ? name : "Set Name";
    plug->setLibrarianViewDirty();
    Sleep(t);

    if (toLibrarian) {
        plug->SetLibrarianRequestActive(true);
        ISysEx sysex(0, dump, kProgramDumpSize);
        plug->ProcessSysEx(&sysex, true);
        Sleep(t);
        plug->SetLibrarianRequestActive(false);
        plug->SetLibrarianStatusUnsaved(true);
    } else {
        plug->checksumCheckAndSend(dump, kProgramDumpSize);
        Sleep(t);
        if (plug->GetParam(kTimbreLinker)->Value() == 1.0) {
            plug->pendingTimbreLink = true;
            plug->allNotesOffPaused = false;
        }
    }

    plug->transferBusy = false;
    plug->DisplayProcessingIndicator(false);
}
