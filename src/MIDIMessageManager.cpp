#include "src/MIDIMessageManager.h"

#include <chrono>

#include "framework/Log.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"

MIDIMessageManager::MIDIMessageManager(Halvoran* plugIn, PatchManager* manager, PatchLibrarian* librarian,
                                       IGraphics* panel)
    : sender(nullptr),
      plug(plugIn),
      patchManager(manager),
      graphics(panel),
      patchLibrarian(librarian),
      transferThread("MIDI transfers"),
      clockControlThread("MIDI clock control"),
      continuousClockThread("MIDI clock") {
    sender = new MIDIMessageSender(this, patchManager, plug);
}

MIDIMessageManager::~MIDIMessageManager() {
    stopJobs();
    for (int i = 0; i < kNumThreads; ++i)
        if (mJoinOwed[i]) thread(static_cast<EThread>(i)).join();
    delete sender;
    sender = nullptr;
}

void MIDIMessageManager::stopJobs() {
    MIDIMessageSender::resetContinuousClock(true);
    sender->leave();
    // No start from now on; a job that tries one is refused, not blocked.
    for (std::mutex& m : mStartMutex) {
        std::lock_guard<std::mutex> lock(m);
        mStopping = true;
    }
}

Poco::Thread& MIDIMessageManager::thread(EThread which) {
    switch (which) {
        case kClockControlThread:
            return clockControlThread;
        case kContinuousClockThread:
            return continuousClockThread;
        default:
            return transferThread;
    }
}

bool MIDIMessageManager::isRunning(EThread which) const {
    return const_cast<MIDIMessageManager*>(this)->thread(which).isRunning();
}

bool MIDIMessageManager::waitForEnd(EThread which, int timeoutMs) {
    if (which < 0 || which >= kNumThreads) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            // In short steps: a start the job itself tries is refused, not held.
            std::lock_guard<std::mutex> lock(mStartMutex[which]);
            if (!mJoinOwed[which]) return true;
            if (thread(which).tryJoin(10)) {
                mJoinOwed[which] = false;
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
}

int MIDIMessageManager::currentWorker() const {
    const Poco::Thread* current = Poco::Thread::current();
    if (current == &transferThread) return kTransferThread;
    if (current == &clockControlThread) return kClockControlThread;
    if (current == &continuousClockThread) return kContinuousClockThread;
    return -1;
}

bool MIDIMessageManager::startJob(EThread which, uint32_t code,
                                  const std::function<void(MIDIMessageSender&)>& setArgs) {
    if (which < 0 || which >= kNumThreads) return false;
    std::lock_guard<std::mutex> lock(mStartMutex[which]);
    Poco::Thread& t = thread(which);
    if (mStopping || t.isRunning()) return false;
    if (mJoinOwed[which]) {
        t.join();
        mJoinOwed[which] = false;
    }
    // Its own request: a cancel of an earlier one does not reach it.
    if (which == kTransferThread) sender->openRequest();
    if (setArgs) setArgs(*sender);
    sender->threadJobCode[which] = code;
    sender->jobCode = code;
    try {
        t.start(*sender);
    } catch (const Poco::Exception& e) {
        LogLine("MIDI: job %u could not start: %s", code, e.displayText().c_str());
        return false;
    }
    mJoinOwed[which] = true;
    return true;
}

void MIDIMessageManager::armLibraryPatchRequest(bool on) {
    std::lock_guard<std::mutex> lock(mRequestLock);
    if (on) libraryPatchRequest.empty();
    libraryPatchRequest.active = on;
}

void MIDIMessageManager::armAllPatchesRequest() {
    std::lock_guard<std::mutex> lock(mRequestLock);
    libraryPatchRequest.active = false;
    libraryPatchRequestAll.empty();
    libraryPatchRequestAll.active = true;
    replySeen = false;
}

void MIDIMessageManager::disarmLibrarianRequests() {
    std::lock_guard<std::mutex> lock(mRequestLock);
    libraryPatchRequest.active = false;
    libraryPatchRequestAll.active = false;
    if (patchLibrarian) patchLibrarian->requestMode = false;
    if (plug) plug->bankDumpSeen = false;
}

void MIDIMessageManager::sendSinglePatchRequestSysexFromLibrarian(bool tempProgram) {
    {
        std::lock_guard<std::mutex> lock(mRequestLock);
        libraryPatchRequestAll.active = false;
    }
    armLibraryPatchRequest(true);
    replySeen = false;
    startJob(kTransferThread, MIDIMessageSender::kJobRequestSinglePatch,
             [tempProgram](MIDIMessageSender& s) { s.tempProgram = tempProgram; });
}

void MIDIMessageManager::cancelTransfer() {
    const uint64_t shown = overlayRequest.load();
    sender->cancel(shown ? shown : sender->latestRequest());
}
