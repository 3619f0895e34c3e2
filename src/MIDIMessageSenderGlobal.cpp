// Job 1: the panel's global data to the instrument.
#include "shim/shim.h"
#include "src/GlobalDump.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageSender.h"

void MIDIMessageSender::sendGlobalToDevice() {
    plug->DisplayProcessingIndicator(true);
    uint8_t dump[kGlobalDumpSize];
    buildGlobalDump(UnitDumpParams(*plug), plug->deviceByte, dump);
    plug->globalSent = true;
    plug->checksumCheckAndSend(dump, kGlobalDumpSize);
    Sleep(3000);
    plug->DisplayProcessingIndicator(false);
}
