// The audio callback as the editor's clock for timed MIDI work, and Reset.
// The plug-in makes no sound.
//
// The callback runs on the host's render thread: it takes no lock that the
// GUI thread may hold for long (the plug-in mutex least of all) and touches
// no control. It sets parameters and flags; what the panel shows of them,
// and the panel's refreshes, are left for the GUI thread (HalvoranPanelWork).
#include <sstream>
#include <string>

#include "framework/IGraphics.h"
#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"

void Halvoran::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    if (!midiManager) return;
    struct Rendering {
        Rendering() { markRendering(true); }
        ~Rendering() { markRendering(false); }
    } rendering;

    // A MIDI system that went away under an open port is told at once.
    if (externalMIDILost() && !mPortLossTold) panelWorkLater(kWorkPortLoss);

    // 1. Time.
    GetTime(&timeInfo);
    const bool running = timeInfo.mTransportIsRunning;

    // 2. Transport edges start and stop the clock (not while messages go
    // through the host's buffer).
    if (running && !wasRunning) {
        wasRunning = true;
        if (!routeToDAWBuffer && !clockStartSent) {
            midiManager->startJob(MIDIMessageManager::kClockControlThread, MIDIMessageSender::kJobStartClock);
            clockStartSent = true;
        }
    } else if (!running && wasRunning) {
        wasRunning = false;
        if (!routeToDAWBuffer && clockStartSent) {
            midiManager->startJob(MIDIMessageManager::kClockControlThread, MIDIMessageSender::kJobStopClock);
            clockStartSent = false;
        }
    }

    // 3. The continuous clock, once per port and setting.
    if (midiOutReady && !continuousClockStarted) {
        MIDIMessageSender::resetContinuousClock(false);
        midiManager->startJob(MIDIMessageManager::kContinuousClockThread, MIDIMessageSender::kJobContinuousClock,
                              [](MIDIMessageSender& s) { s.clockArgument = 120; });
        continuousClockStarted = true;
    }

    // 4. The host's tempo into the arpeggiator's.
    if (GetParam(kOverrideTempo)->Value() == 1.0) {
        const int t = static_cast<int>(GetTempo());
        const int i = t - 20;
        if (i != syncedTempoIndex) {
            syncedTempoIndex = i;
            tempoSynced = false;
            log("PROCESSOR: Host tempo is out of sync!");
        }
        if (!tempoSynced && midiOutReady) {
            tempoSynced = true;
            log("PROCESSOR: Host tempo synced to " + std::to_string(t) + "BPM");
            setParameterFromPlug(kArpTempo, i);
        }
    }

    // 5. Latency line, when what it says changed.
    if (routeToDAWBuffer && graphics) {
        int d = queueDelay < 0 ? 1 : queueDelay.load();
        int ms = d == 0 ? 0 : static_cast<int>(1000.0 / (sampleRate / d));
        const bool msChanged = mLatencyMs.exchange(ms) != ms;
        const bool blockChanged = mLatencyBlock.exchange(GetBlockSize()) != GetBlockSize();
        if (msChanged || blockChanged) panelWorkLater(kWorkLatency);
    }

    // 6. Each sample: queued messages that are due, the one All Notes Off
    // after a reset, the lamp.
    IMidiMsg msg;
    for (int s = 0; s < nFrames; ++s) {
        while (midiQueue.PopDue(s, &msg))
            if (routeToDAWBuffer) sendMidiMsgAndLog(&msg);
        if (!running && allNotesOffPending && midiOutReady) {
            allNotesOffPending = false;
            AllSoundsOff();
            if (midiLampOn == 1) {
                setParameterFromPlug(kMIDILed, 0.0);
                midiLampOn = 0;
            }
        }
        if (graphics && midiLampOn == 1 && midiLampTick < GetTickCount() - 100) {
            midiLampOn = 0;
            setParameterFromPlug(kMIDILed, 0.0);
        }
    }

    // 7. What waits moves to the front, its offsets into the next block.
    midiQueue.Flush(nFrames);

    // 8. The instrument's program back onto the panel after a randomize.
    if (readBackPending && !midiManager->isRunning(MIDIMessageManager::kTransferThread)) {
        midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                              [this](MIDIMessageSender& s) {
                                  midiManager->awaitingPanelDump = true;
                                  s.toPanel = true;
                              });
        readBackPending = false;
    }

    // 9. Panel refreshes other work left for this thread, done on the GUI
    // thread.
    if (!processingIndicator && !transferBusy) {
        if (pendingTimbreLink && !allNotesOffPaused) {
            timbreViewMode = 2;
            GetParam(kTimbreSelect)->Set(1.0);
            GetParam(kTimbreLinker)->Set(1.0);
            pendingTimbreLink = false;
            panelWorkLater(kWorkTimbreLink);
        } else if (postSendRefresh) {
            postSendRefresh = false;
            panelWorkLater(kWorkTimbreRefresh);
        }
    }
}

void Halvoran::Reset() {
    BASE_MutexLock lock(GetMutex());
    if (GetSampleRate() != sampleRate) sampleRate = GetSampleRate();

    const int n = GetBlockSize();
    midiQueue.Resize(n);
    if (queueDelay == 0) queueDelay = n;
    allNotesOffPending = true;

    if (!transferBusy) {
        std::ostringstream rate;
        rate << "RESET: Host sample rate " << sampleRate.load() << "Hz";
        log(rate.str());
    }
    char version[kMaxVersionStrLen];
    GetEffectVersionStr(version);
    if (!transferBusy) log(std::string("RESET: plug-in ") + version);

    if (!transferBusy) {
        setStatusText("Brem Halvoran Plug-in");
        if (debugLogOn) {
            setValueText(" 04-Feb-2020");
            setMIDIText(version);
        } else {
            setValueText(version);
            setMIDIText("---");
        }
        setTimbreText("SINGLE");
    }
}
