// Short messages from the instrument: control changes (with NRPN data entry
// and a few special controllers) move their controls, program changes fetch
// the new program or send a librarian slot, and notes, pressure and pitch
// bend are echoed while the instrument's local control is off.
#include <algorithm>

#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/IUnitStructs.h"
#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

// A value map: the listed data values become 1, 2, 3 ...; others pass.
int mapSteps(int v, std::initializer_list<int> steps) {
    int i = 1;
    for (int s : steps) {
        if (v == s) return i;
        ++i;
    }
    return v;
}

// The delay's sync note as a step index, by bands of the data value.
int delayNoteBand(int v) {
    static const int kBandEnds[] = {8, 17, 25, 34, 42, 51, 59, 68, 76, 85, 93, 102, 110, 119};
    int band = 0;
    while (band < 14 && v > kBandEnds[band]) ++band;
    return band;
}

bool isVirtualPatchAddress(int msb, int lsb) { return msb == 4 && ((lsb >= 0 && lsb <= 3) || (lsb >= 8 && lsb <= 11)); }

}  // namespace

void MIDIMessageManager::ProcessMidiMsgFromDAW(IMidiMsg* msg, int) { fromHost = 1; }

void MIDIMessageManager::ProcessMidiMsgFromDevice(IMidiMsg* msg) {
    fromHost = 0;
    if (!msg || !plug) return;
    bool echo = false;
    switch (msg->StatusMsg()) {
        case IMidiMsg::kNoteOff:
        case IMidiMsg::kNoteOn:
            if (plug->hwInputFilter[Halvoran::kFilterNote]) return;
            echo = true;
            break;
        case IMidiMsg::kPolyAftertouch:
            if (plug->hwInputFilter[Halvoran::kFilterPP]) return;
            echo = true;
            break;
        case IMidiMsg::kChannelAftertouch:
            if (plug->hwInputFilter[Halvoran::kFilterCA]) return;
            echo = true;
            break;
        case IMidiMsg::kPitchWheel:
            if (plug->hwInputFilter[Halvoran::kFilterPA]) return;
            echo = true;
            break;
        case IMidiMsg::kControlChange:
            if (plug->hwInputFilter[Halvoran::kFilterCC]) return;
            if (!controlChangeFromDevice(msg)) return;
            break;
        case IMidiMsg::kProgramChange:
            if (plug->hwInputFilter[Halvoran::kFilterPC]) return;
            programChangeFromDevice(msg);
            return;
        default:
            break;
    }

    if (plug->trackIncoming && plug->NParams() > 0 && msg->Channel() == plug->globalMIDIChannel() &&
        plug->midiLampOn == 0) {
        plug->setParameterFromPlug(kMIDILed, 1.0);
        plug->midiLampOn = 1;
        plug->midiLampTick = GetTickCount();
    }
    if (echo && !plug->localControlOn) plug->MIDIOutRoutingSwitch(msg);
}

bool MIDIMessageManager::controlChangeFromDevice(IMidiMsg* msg) {
    const int cc = msg->mData1 & 0x7F;
    int v = msg->mData2 & 0x7F;
    const int key = msg->Channel() + 1 + std::clamp(plug->selectedTimbre.load(), 0, 1);
    if (cc == 99) nrpnMsb = v;
    if (cc == 98) nrpnLsb = v;

    switch (cc) {
        case 13:
            if (plug->GetParam(kDelayFxTempoSync)->Value() == 1.0) {
                valueToControl(plug->getCCControls(0, 13, 0), delayNoteBand(v));
                return true;
            }
            [[fallthrough]];
        case 12:
        case 93:
        case 94:
            valueToControl(plug->getCCControls(0, cc, 1), v);
            return true;
        case 86:
            getLegacyCCparam(86, key, v, true, true);
            return true;
        case 95:
            if (plug->GetParam(kCommonMode)->Value() > 0.0) {
                selectTimbreFromDevice(v);
                return false;
            }
            break;
        default:
            break;
    }

    const int msb = nrpnMsb, lsb = nrpnLsb;
    IControl* control = plug->getCCControls(key, cc, 0);
    if (!control && cc == 6) {
        for (int k : {key, 0})
            for (int type : {0, 1})
                if (!control) control = plug->getMsbLsbControl(k, msb, lsb, 0, type);
    }
    if (!control) control = plug->getCCControls(key, cc, 1);
    if (!control) control = plug->getCCControls(key, cc, 2);
    if (!control) control = plug->getCCControls(0, cc, 0);
    if (!control) control = plug->getCCControls(0, cc, 1);
    if (cc == 15 && plug->GetParam(kOsc1Waveform)->Value() == 5.0) {
        control = plug->getCCControls(key, 15, 2);
        v /= 2;
    }
    if (!control) return true;

    if (cc == 77 || (cc == 6 && isVirtualPatchAddress(msb, lsb))) {
        valueToControl(control, mapSteps(v, {18, 36, 54, 72, 90, 108, 126}));
        plug->OnParamChange2(kTimbreSelect);
    } else if (cc == 6 && lsb == 7) {
        valueToControl(control, mapSteps(v, {26, 51, 77, 102, 127}));
    } else if (cc == 78) {
        valueToControl(control, mapSteps(v, {64, 127}));
    } else if (cc == 82 || cc == 83 || cc == 87 || cc == 88) {
        valueToControl(control, mapSteps(v, {43, 85, 127}));
    } else {
        valueToControl(control, v);
    }
    return true;
}

void MIDIMessageManager::selectTimbreFromDevice(int v) {
    plug->sendSuppressed = true;
    if (v == 1) {
        plug->setParameterFromPlug(kTimbreLinker, 1.0);
        plug->OnParamChange(kTimbreLinker);
    } else {
        const int timbre = v == 127 ? 1 : 0;
        plug->timbreViewMode = timbre;
        plug->setParameterFromPlug(kTimbreLinker, 0.0);
        plug->GetParam(kTimbreSelect)->Set(timbre);
        plug->OnParamChange(kTimbreSelect);
        // The parameter stays at the timbre chosen; its controls show it.
        plug->setParameterFromPlug(kTimbreSelect, timbre);
    }
    plug->sendSuppressed = false;
}

void MIDIMessageManager::getLegacyCCparam(int cc, int key, int value, bool refresh, bool mapped) {
    if (value >= 2) value = 1;
    IControl* control = plug->getMsbLsbControl(key, nrpnMsb, nrpnLsb, 0, 1);
    if (!control) control = plug->getCCControls(key, cc, 0);
    if (!control) control = plug->getCCControls(key, cc, 1);
    if (!control) control = plug->getCCControls(key, cc, 2);
    if (!control) return;
    legacyDataEntry = true;
    if (control->ParamIdx() == kGlobalLocalOn) plug->localControlOn = value != 0;
    valueToControl(control, value);
    plug->OnParamChange2(kTimbreSelect);
    legacyDataEntry = false;
}

void MIDIMessageManager::programChangeFromDevice(IMidiMsg* msg) {
    const int p = msg->mData1 & 0x7F;
    const int timbre = std::clamp(plug->selectedTimbre.load(), 0, 1);
    if (msg->Channel() != plug->globalMIDIChannel() && plug->GetParam(kPartLock + timbre)->Value() == 1.0) return;
    lastProgramChangeTick = GetTickCount();

    if (plug->GetParam(kControlLibrary)->Value() == 1.0) {
        selectLibrarianSlot(p);
        Sleep(200);
        // The send job arms the panel for the program itself: armed here,
        // a slot with nothing to send would leave the panel deaf.
        armLibraryPatchRequest(false);
        Halvoran* editor = plug;
        plug->onGuiThread([editor, p] { editor->sendPatchToDeviceFromLibrarian(p, 0); });
        return;
    }

    const int q = std::min(p, 127);
    plug->SetLibrarianRequestActive(false);
    startJob(kTransferThread, MIDIMessageSender::kJobRequestPart, [this](MIDIMessageSender& s) {
        awaitingPanelDump = true;
        s.toPanel = true;
    });
    selectLibrarianSlot(q);
}

void MIDIMessageManager::selectLibrarianSlot(int slot) {
    if (slot < 0 || slot >= kBankSlots) return;
    if (patchLibrarian) patchLibrarian->selectedSlotUpper = slot;
    plug->selectLibrarianViewSlot(0, slot, true);
    plug->setLibrarianViewDirty();
}
