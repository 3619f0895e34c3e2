#include "src/MIDIMessageSender.h"

#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"

std::atomic<bool> MIDIMessageSender::_clockRunning{false};
std::atomic<uint32_t> MIDIMessageSender::clockInterval{0};

// ---- The frame

std::vector<unsigned char> MIDIMessageSender::requestBody(int deviceByte, EFunction code) {
    return {kManufacturerId, static_cast<unsigned char>(deviceByte & 0x7F), kModelId, code};
}

std::vector<unsigned char> MIDIMessageSender::writeRequestBody(int deviceByte, int program) {
    return {kManufacturerId,
            static_cast<unsigned char>(deviceByte & 0x7F),
            kModelId,
            kFuncWriteRequest,
            0x00,
            static_cast<unsigned char>(program & 0x7F)};
}

void MIDIMessageSender::putFrameHeader(unsigned char* msg, int deviceByte, EFunction code) {
    msg[0] = kSysExStart;
    msg[1] = kManufacturerId;
    msg[2] = static_cast<unsigned char>(deviceByte & 0x7F);
    msg[3] = kModelId;
    msg[4] = code;
}

int MIDIMessageSender::frameFunction(const unsigned char* msg, int size) {
    if (!msg || size < 6) return -1;
    if (msg[0] != kSysExStart || msg[1] != kManufacturerId || (msg[2] & 0xF0) != 0x30 || msg[3] != kModelId ||
        msg[size - 1] != kSysExEnd)
        return -1;
    return msg[4];
}

// ---- The runner

MIDIMessageSender::MIDIMessageSender(MIDIMessageManager* mgr, PatchManager* patches, Halvoran* plugIn)
    : patchManager(patches), plug(plugIn), manager(mgr) {}

MIDIMessageSender::~MIDIMessageSender() = default;

void MIDIMessageSender::resetContinuousClock(bool stop) { _clockRunning = !stop; }

void MIDIMessageSender::run() {
    int worker = manager ? manager->currentWorker() : -1;
    runJob(worker >= 0 ? threadJobCode[worker] : jobCode.load());
}

void MIDIMessageSender::runJob(uint32_t code) {
    switch (code) {
        case kJobSendArrangement:
            sendArrangementToDevice(applyLocally);
            break;
        // Each job below is started by its starter already; the jobs
        // themselves come with the protocol's request, store, global and
        // clock work. Until one is here, a transfer start ends at once the
        // way every transfer job ends, so no flag stays set behind it.
        case kJobSendGlobal:
        case kJobSendLibrarianPatch:
        case kJobStoreAllPatches:
        case kJobRequestArrangement:
        case kJobRequestPart:
        case kJobRequestSinglePatch:
        case kJobRequestAllPatches:
        case kJobInitClassicPatch:
        case kJobDeviceIdEnquiry:
            failed = true;
            if (plug) plug->DisplayProcessingIndicator(false);
            break;
        case kJobStartClock:
            startMIDIClockOutput();
            break;
        case kJobContinuousClock:
            sendContinuousMIDIClock(clockArgument);
            break;
        case kJobStopClock:
            stopMIDIClockOutput();
            break;
        default:
            break;
    }
}
