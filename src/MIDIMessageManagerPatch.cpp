// A program dump from the instrument onto the panel.
#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/PatchManager.h"
#include "src/ProgramDump.h"

void MIDIMessageManager::sysexPartPatchParse(ISysEx* msg) {
    if (!msg || !plug || !isProgramDumpMessage(msg->mData, msg->mSize)) return;
    replySeen = false;
    plug->dataMismatch = false;

    const std::string name = programDumpName(msg->mData);
    if (IParam* patchName = plug->GetParam(kPatchName)) patchName->SetDisplayText(0, name.c_str());
    plug->keepProgramName(name);
    plug->setLibrarianViewDirty();

    UnitDumpParams params(*plug, graphics);
    parseProgramDump(msg->mData, msg->mSize, params);
    replySeen = true;
}

// Nothing calls it.
bool MIDIMessageManager::valueFlipper(int value) { return value != 1; }
