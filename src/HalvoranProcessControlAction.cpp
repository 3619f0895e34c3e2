// A changed synth parameter becomes MIDI for the instrument: one control
// change, an MSB/LSB set of three, or the whole current program.
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "src/ControlAction.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"

namespace {

// The seven-step spread used by several selectors: 1..7 -> 18, 36, ... 126.
int sevenStep(int v) { return v >= 1 && v <= 7 ? 18 * v : v; }
// Three-way selectors: 1..3 -> 43, 85, 127.
int threeStep(int v) {
    switch (v) {
        case 1:
            return 43;
        case 2:
            return 85;
        case 3:
            return 127;
        default:
            return v;
    }
}

constexpr int kDelaySyncNoteData[15] = {8, 10, 19, 27, 36, 44, 53, 61, 70, 78, 87, 95, 104, 112, 121};

// The data byte of a kCC change; value is compared exactly.
int ccData(int paramIdx, double value, int v) {
    auto is = [value](double x) { return value == x; };
    switch (paramIdx) {
        case kOsc1Waveform:
        case kOsc1Waveform + 1:
            for (int i = 1; i <= 7; ++i)
                if (is(i)) return sevenStep(i);
            return v;
        case kOsc2Waveform:
        case kOsc2Waveform + 1:
            if (is(1)) return 64;
            if (is(2)) return 127;
            return v;
        case kFilterType:
        case kFilterType + 1:
        case kLfo1Waveform:
        case kLfo1Waveform + 1:
        case kOsc2OscMod:
        case kOsc2OscMod + 1:
        case kLfo2Waveform:
        case kLfo2Waveform + 1:
            for (int i = 1; i <= 3; ++i)
                if (is(i)) return threeStep(i);
            return v;
        case kOsc1DWGSWave:
        case kOsc1DWGSWave + 1:
            return 2 * v;
        case kDelayFxSyncNote:
            for (int i = 0; i < 15; ++i)
                if (is(i)) return kDelaySyncNoteData[i];
            return v;
        default:
            return v;
    }
}

// The data-entry byte of a kMsbLsb set.
int msbLsbData(int paramIdx, int v) {
    if (paramIdx == kArpOnOff || paramIdx == kArpLatch) return v == 1 ? 127 : v;
    if (paramIdx == kArpType) {
        constexpr int map[6] = {0, 26, 51, 77, 102, 127};
        return v >= 1 && v <= 5 ? map[v] : v;
    }
    if (paramIdx >= kVPatchSrc1 && paramIdx <= kVPatchDest4 + 1) return sevenStep(v);
    return v;
}

}  // namespace

void Halvoran::processControlAction(ControlAction* action, int paramIdx, double value) {
    IParam* param = GetParam(paramIdx);
    if (!action || !param) return;

    // 1. Nothing new: the same whole value as last sent.
    const int v = static_cast<int>(value);
    if (action->lastSentValue == v) return;

    // 2. Without an output port there is nothing to send to.
    if (!midiOutReady) {
        // Only a control that would send says so; the others keep showing
        // their own name and value.
        if (action->kind != ControlAction::kNone) setStatusText("Set MIDI I/O First!");
        return;
    }
    if (!constructionComplete) return;
    action->lastSentValue = v;

    // 5. The controls follow; a copy, since a control may change the list.
    const std::vector<IControl*> controls = action->boundControls;
    for (IControl* control : controls) {
        if (linking) param->Set(value);
        control->SetValueFromPlug(param->GetNormalized());
    }

    // The gate of each control change: nothing goes back to the instrument
    // while the change came from it.
    auto send = [this](int controller, int data) {
        IMidiMsg msg;
        msg.MakeControlChangeMsg(static_cast<IMidiMsg::EControlChangeMsg>(controller), data / 127.0,
                                 globalMIDIChannel());
        bool gateOpen = !echoGuard && (!midiManager || !midiManager->legacyDataEntry || !localControlOn ||
                                       midiManager->fromHost != 0);
        if (gateOpen) MIDIOutRoutingSwitch(&msg);
    };

    switch (action->kind) {
        case ControlAction::kCC: {
            int data = ccData(paramIdx, value, v);
            setMIDIText(("CC|" + std::to_string(action->ccNumber)).c_str());
            send(action->ccNumber, data);
            break;
        }
        case ControlAction::kCCTwoState: {
            int data = value == 0.0 ? action->offValue : action->onValue;
            setMIDIText(("CC|" + std::to_string(action->ccNumber)).c_str());
            send(action->ccNumber, data);
            break;
        }
        case ControlAction::kMsbLsb: {
            int data = msbLsbData(paramIdx, v);
            send(IMidiMsg::kNRPNMSB, action->msbValue);
            send(IMidiMsg::kNRPNLSB, action->lsbValue);
            setMIDIText("MSB/LSB");
            send(action->ccNumber, data);
            break;
        }
        case ControlAction::kSysExButton:
        case ControlAction::kSysEx:
            globalSent = true;
            // A value that came from the instrument is not sent back to it
            // inside a whole program.
            if (midiManager && !echoGuard)
                midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement,
                                      [](MIDIMessageSender& s) { s.applyLocally = false; });
            postSendRefresh = true;
            break;
        default:
            break;
    }

    sendSuppressed = false;
}
