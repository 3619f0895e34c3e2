#include "src/MIDIMessageSender.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "shim/shim.h"

#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"

std::atomic<bool> MIDIMessageSender::_clockRunning{false};
std::atomic<uint32_t> MIDIMessageSender::clockInterval{0};

// ---- The runner

MIDIMessageSender::MIDIMessageSender(MIDIMessageManager* mgr, PatchManager* patches, Halvoran* plugIn)
    : patchManager(patches), plug(plugIn), manager(mgr) {}

MIDIMessageSender::~MIDIMessageSender() = default;

void MIDIMessageSender::run() {
    int worker = manager ? manager->currentWorker() : -1;
    runJob(worker >= 0 ? threadJobCode[worker] : jobCode.load());
}

void MIDIMessageSender::runJob(uint32_t code) {
    switch (code) {
        case kJobSendArrangement:
            sendArrangementToDevice(applyLocally);
            break;
        case kJobSendLibrarianPatch:
            sendPatchToDeviceFromLibrarian(libraryPatch, intArg3, intArg2);
            break;
        case kJobStoreAllPatches:
            storeAllPatchesToDeviceFromLibrarian(intArg1, intArg2);
            break;
        case kJobRequestArrangement:
            sendActiveArrangementRequestSysex(toPanel);
            break;
        case kJobRequestPart:
            sendPartRequestSysex(toPanel);
            break;
        case kJobRequestSinglePatch:
            sendSinglePatchRequestSysex(tempProgram);
            break;
        case kJobRequestAllPatches:
            sendAllPatchRequestSysex();
            break;
        case kJobInitClassicPatch:
            initClassicPatch(initArg);
            break;
        case kJobDeviceIdEnquiry:
            sendDeviceIdEnquiry();
            break;
        case kJobSendGlobal:
            sendGlobalToDevice();
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

// ---- Pacing and the channel sweep of the request jobs

std::atomic<int> MIDIMessageSender::pacingDivisor{1};

namespace {

int shortened(int ms) { return ms / std::max(1, MIDIMessageSender::pacingDivisor.load()); }

}  // namespace

bool MIDIMessageSender::pause(int ms) { return waitFor(shortened(ms), nullptr); }

bool MIDIMessageSender::rest(int ms) { return waitFor(ms, nullptr); }

bool MIDIMessageSender::waitUntil(int ms, const std::function<bool()>& done) { return waitFor(shortened(ms), done); }

void MIDIMessageSender::pace(int ms) {
    std::unique_lock<std::mutex> lock(mPauseLock);
    mPauseWake.wait_for(lock, std::chrono::milliseconds(std::max(0, shortened(ms))), [this] { return leaving.load(); });
}

bool MIDIMessageSender::waitFor(int ms, const std::function<bool()>& done) {
    // Only the transfer job's waits are its request's: a cancel must not cut
    // short a pause another thread takes.
    const bool job = manager && manager->currentWorker() == MIDIMessageManager::kTransferThread;
    const uint64_t request = mLatestRequest.load();
    bool held = false;
    auto over = [&] {
        if (leaving || (job && isCancelled(request))) return true;
        held = done && done();
        return held;
    };
    std::unique_lock<std::mutex> lock(mPauseLock);
    const bool ended = mPauseWake.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)), over);
    return done ? held : ended;
}

void MIDIMessageSender::wakePauses() {
    { std::lock_guard<std::mutex> lock(mPauseLock); }
    mPauseWake.notify_all();
}

void MIDIMessageSender::leave() {
    {
        std::lock_guard<std::mutex> lock(mPauseLock);
        leaving = true;
    }
    mPauseWake.notify_all();
}

uint64_t MIDIMessageSender::openRequest() {
    std::lock_guard<std::mutex> lock(mPauseLock);
    return ++mLatestRequest;
}

void MIDIMessageSender::cancel(uint64_t request) {
    {
        std::lock_guard<std::mutex> lock(mPauseLock);
        if (request > mCancelledUpTo) mCancelledUpTo = request;
    }
    mPauseWake.notify_all();
}

bool MIDIMessageSender::isCancelled(uint64_t request) const { return request != 0 && request <= mCancelledUpTo.load(); }

bool MIDIMessageSender::cancelRequested() const { return leaving || isCancelled(mLatestRequest.load()); }

void MIDIMessageSender::sendRequest(int deviceByte, EFunction code) {
    std::vector<unsigned char> body = requestBody(deviceByte, code);
    plug->checksumCheckAndSend(body.data(), static_cast<int>(body.size()));
}

bool MIDIMessageSender::sweepChannels(EFunction code, int waitMs, bool statusPerChannel) {
    for (int channel = 0; channel < 16; ++channel) {
        if (plug->answered || cancelRequested()) break;
        sendRequest(deviceByteFor(channel), code);
        if (statusPerChannel) {
            const std::string text = "Please wait, checking DeviceID " + std::to_string(channel + 1);
            plug->setStatusText(text.c_str());
        }
        pause(waitMs);
    }
    return cancelRequested();
}

void MIDIMessageSender::pollProgramRequest(int t) {
    for (int k = 1; k <= 35; ++k) {
        pause(t);
        if (cancelRequested()) {
            failed = true;
            return;
        }
        if (k == 30 && sweepChannels(kFuncProgramRequest, t, false)) failed = true;
        if (k == 35) {
            plug->setStatusText("CONNECTION TIMED OUT!");
            failed = true;
            return;
        }
        if (plug->answered) return;
    }
}
