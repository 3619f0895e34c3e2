// The audio callback as the editor's clock for timed MIDI work, and Reset.
// The plug-in makes no sound.
#include <cstdio>
#include <sstream>
#include <string>

#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/TabSwitchFunctions.h"

namespace {

// The timbre view is refreshed as a change of kTimbreSelect refreshes it,
// while the display keeps the name and value of the knob that was turned.
void refreshTimbreView(Halvoran& plug) {
    BASE_MutexLock lock(plug.GetMutex());
    const std::string status = plug.statusTextControl ? plug.statusTextControl->GetTextString() : "";
    const std::string value = plug.valueTextControl ? plug.valueTextControl->GetTextString() : "";
    plug.OnParamChange(kTimbreSelect);
    plug.setStatusText(status.c_str());
    plug.setValueText(value.c_str());
}

}  // namespace

void Halvoran::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    if (!midiManager) return;

    // A MIDI system that went away under an open port is told at once.
    if (externalMIDILost()) noticeLostMIDIPorts();

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

    // 5. Latency line.
    if (routeToDAWBuffer && graphics) {
        int d = queueDelay < 0 ? 1 : queueDelay.load();
        int ms = d == 0 ? 0 : static_cast<int>(1000.0 / (sampleRate / d));
        char text[64];
        std::snprintf(text, sizeof text, "%dms|%dbfr", ms, GetBlockSize());
        setLatencyText(text);
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

    // 9. Panel refreshes other work left for this thread.
    if (!processingIndicator && !transferBusy) {
        if (pendingTimbreLink && !allNotesOffPaused) {
            timbreViewMode = 2;
            setParameterFromPlug(kTimbreSelect, 1.0);
            setParameterFromPlug(kTimbreLinker, 1.0);
            refreshTimbreView(*this);
            pendingTimbreLink = false;
        } else if (postSendRefresh) {
            refreshTimbreView(*this);
            postSendRefresh = false;
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
