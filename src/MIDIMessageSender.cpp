#include "src/MIDIMessageSender.h"

#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "shim/shim.h"

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
        case kJobSendGlobal:
            sendGlobalToDevice();
            break;
        case kJobRequestPart:
            sendPartRequestSysex(toPanel);
            break;
        // Each job below is started by its starter already; the jobs
        // themselves come with the protocol's request, store, global and
        // clock work. Until one is here, a transfer start ends at once the
        // way every transfer job ends, so no flag stays set behind it.
        case kJobSendLibrarianPatch:
        case kJobStoreAllPatches:
        case kJobRequestArrangement:
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

// ---- Requests

void MIDIMessageSender::sendRequest(int deviceByte, EFunction code) {
    std::vector<unsigned char> body = requestBody(deviceByte, code);
    plug->checksumCheckAndSend(body.data(), static_cast<int>(body.size()));
}

bool MIDIMessageSender::channelSweep(EFunction code, int waitMs, bool showChannel) {
    for (int device = 0x30; device <= 0x3F; ++device) {
        if (plug->answered || cancelRequested) break;
        sendRequest(device, code);
        if (showChannel) plug->setStatusText(("Please wait, checking DeviceID " + std::to_string(device - 0x2F)).c_str());
        Sleep(waitMs);
    }
    return cancelRequested;
}

void MIDIMessageSender::sendPartRequestSysex(bool panel) {
    plug->DisplayProcessingIndicator(true);
    failed = false;
    cancelRequested = false;
    plug->SetLibrarianRequestActive(!panel);

    const int t = plug->getTimerValue();
    sendRequest(plug->deviceByte, kFuncProgramRequest);
    Sleep(t);
    plug->setStatusText("Data processing, please wait...");
    for (int k = 1; k <= 35; ++k) {
        Sleep(t);
        if (cancelRequested) {
            failed = true;
            break;
        }
        if (k == 30 && channelSweep(kFuncProgramRequest, t, false)) failed = true;
        if (k == 35) {
            plug->setStatusText("CONNECTION TIMED OUT!");
            failed = true;
            break;
        }
        if (plug->answered) break;
    }
    if (!panel || failed) Sleep(t);
    plug->DisplayProcessingIndicator(false);
    if (cancelRequested) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
        if (!panel) plug->SetLibrarianStatusUnsaved(true);
    }
}
