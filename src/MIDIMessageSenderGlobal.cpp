// kJobSendGlobal: the panel's global data to the instrument.
#include "src/GlobalDump.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageSender.h"

void MIDIMessageSender::sendGlobalToDevice() {
    plug->DisplayProcessingIndicator(true);
    writeGlobalDump();
    plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::writeGlobalDump() {
    uint8_t dump[kGlobalDumpSize];
    buildGlobalDump(UnitDumpParams(*plug), plug->deviceByte, dump);
    plug->globalSent = true;
    plug->checksumCheckAndSend(dump, kGlobalDumpSize);
    pause(3000);
}
