// A global dump from the instrument onto the panel.
#include "framework/IUnitStructs.h"
#include "src/GlobalDump.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"

void MIDIMessageManager::sysexSettingsParse(ISysEx* msg) {
    if (msg && plug && isGlobalDumpMessage(msg->mData, msg->mSize)) {
        plug->dataMismatch = false;
        replySeen = false;
        UnitDumpParams params(*plug, graphics);
        parseGlobalDump(msg->mData, msg->mSize, params);
        if (plug->initialization) {
            plug->initialization = false;
            plug->constructionComplete = true;
        }
        plug->localControlOn = plug->GetParam(kGlobalLocalOn)->Value() == 1.0;
        plug->globalValuesKnown = true;
        replySeen = true;
    }
    awaitingPanelDump = false;
}
