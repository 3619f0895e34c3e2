// The state the host keeps in its project, and the recall that reopens the
// MIDI ports by name, restores every value and sends the program back to the
// instrument.
#include <algorithm>
#include <string>

#include "framework/IControl.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/PanelLayers.h"
#include "src/PatchManager.h"
#include "src/ProgramDump.h"
#include "src/TabSwitchFunctions.h"

namespace {

// Reads an f64 at pos; 0.0 when it does not fit (pos then -1).
double readDouble(ByteChunk* chunk, int& pos) {
    double v = 0.0;
    pos = chunk->Get(&v, pos);
    return pos < 0 ? 0.0 : v;
}

}  // namespace

bool Halvoran::SerializeState(ByteChunk* chunk) { return SerializeState2(chunk, true); }

int Halvoran::UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeState2(chunk, startPos, true); }

bool Halvoran::SerializeState2(ByteChunk* chunk, bool withPatches) {
    if (!chunk) return false;
    BASE_MutexLock lock(GetMutex());
    uint32_t version = PatchManager::kVersionWord;
    chunk->Put(&version);
    double v = GetParam(kTimbreSelect)->Value();
    chunk->Put(&v);
    v = GetParam(kTimbreLinker)->Value();
    chunk->Put(&v);
    SerializeParams(chunk);

    if (withPatches && patchManager) {
        // The ports by name; a name that could not be opened at the last
        // recall stays until the user chooses another port.
        auto portName = [this](int paramIdx, const std::string& unopened) -> std::string {
            IParam* p = GetParam(paramIdx);
            if (p->Int() == 0 && !unopened.empty()) return unopened;
            std::string name = p->GetDisplayText(p->Int());
            return name.empty() ? "Set Name" : name;
        };
        patchManager->names[PatchManager::kMIDIInNameIdx] = portName(kDeviceInSelection, mUnopenedInName);
        setLibrarianViewDirty();
        patchManager->names[PatchManager::kMIDIOutNameIdx] = portName(kDeviceOutSelection, mUnopenedOutName);
        setLibrarianViewDirty();
        patchManager->saveAllToChunk(chunk);
        auto selector = [this](int paramIdx, const std::string& unopened, double stored) {
            IParam* p = GetParam(paramIdx);
            return p->Int() == 0 && !unopened.empty() ? stored : p->GetNormalized();
        };
        double values[4] = {selector(kDeviceInSelection, mUnopenedInName, mUnopenedInValue),
                            selector(kDeviceOutSelection, mUnopenedOutName, mUnopenedOutValue),
                            GetParam(kBankSelection)->GetNormalized(), GetParam(kPatchSelection)->GetNormalized()};
        for (double& value : values) chunk->Put(&value);
    }

    SerializeNonAutomatedParams(chunk, kNumStateParams);
    return true;
}

int Halvoran::stateEnd(const ByteChunk* chunk, int startPos, bool withPatches) const {
    if (!chunk || startPos < 0) return -1;
    int64_t end = int64_t(startPos) + 4 + 2 * 8 + int64_t(NAutomatedParams()) * 8;
    if (withPatches) {
        if (end > chunk->Size()) return -1;
        end = PatchManager::blockEnd(chunk, static_cast<int>(end));
        if (end < 0) return -1;
        end += 4 * 8;
    }
    end += int64_t(kNumStateParams) * 8;
    return end <= chunk->Size() ? static_cast<int>(end) : -1;
}

int Halvoran::UnserializeState2(ByteChunk* chunk, int startPos, bool withPatches) {
    if (!chunk) return -1;
    BASE_MutexLock lock(GetMutex());
    // A state cut short or damaged is refused before anything changes: no
    // value, port, text or transfer, so that a project that cannot be read
    // whole never sends the instrument half of it.
    if (stateEnd(chunk, startPos, withPatches && patchManager) < 0) {
        log("PROJECT RECALL: the saved state is damaged or incomplete; nothing was changed");
        return -1;
    }
    int pos = startPos;
    uint32_t version = 0;
    pos = chunk->Get(&version, pos);  // any version reads the same

    GetParam(kTimbreSelect)->Set(readDouble(chunk, pos));
    GetParam(kTimbreLinker)->Set(readDouble(chunk, pos));
    selectedTimbre = std::clamp(GetParam(kTimbreSelect)->Int(), 0, 1);

    // Ready means a port is really open, not merely chosen.
    midiOutReady = GetParam(kDeviceOutSelection)->Int() > 0 && isExternalMIDIOutOpen();

    pos = UnserializeParams(chunk, pos);

    if (withPatches && patchManager) {
        pos = patchManager->loadAllFromChunk(chunk, pos);
        // The ports are found by name; the two values only go back into the
        // state while their port cannot be opened.
        const double storedIn = readDouble(chunk, pos);
        const double storedOut = readDouble(chunk, pos);
        const std::string inName = patchManager->names[PatchManager::kMIDIInNameIdx];
        const std::string outName = patchManager->names[PatchManager::kMIDIOutNameIdx];
        // A port opens on the MIDI system's time: not under the plug-in mutex.
        auto openPortUnlocked = [this](bool input, int& index, const std::string& name) {
            Unlocked unlocked(GetMutex());
            input ? setExternalMIDIIn(index, name.c_str()) : setExternalMIDIOut(index, name.c_str());
        };

        log("PROJECT RECALL: MIDI In device stored " + inName);
        int index = 1;
        openPortUnlocked(true, index, inName);
        GetParam(kDeviceInSelection)->Set(index);
        mUnopenedInName = index == 0 && inName != "Set Name" ? inName : "";
        mUnopenedInValue = storedIn;
        if (deviceInControl) deviceInControl->SetValueFromPlug(GetParam(kDeviceInSelection)->GetNormalized());

        log("PROJECT RECALL: MIDI Out device stored " + outName);
        index = 1;
        openPortUnlocked(false, index, outName);
        GetParam(kDeviceOutSelection)->Set(index);
        mUnopenedOutName = index == 0 && outName != "Set Name" ? outName : "";
        mUnopenedOutValue = storedOut;
        midiOutReady = index > 0 && isExternalMIDIOutOpen();
        setParameterFromPlug(kDeviceInSelection, GetParam(kDeviceInSelection)->Value());
        setParameterFromPlug(kDeviceOutSelection, GetParam(kDeviceOutSelection)->Value());
        midiInOutSet = GetParam(kDeviceInSelection)->Int() > 0 && GetParam(kDeviceOutSelection)->Int() > 0;

        log(std::string("PROJECT RECALL: MIDI In device after checking devices ") +
            GetParam(kDeviceInSelection)->GetDisplayText(GetParam(kDeviceInSelection)->Int()));
        log(std::string("PROJECT RECALL: MIDI Out device after checking devices ") +
            GetParam(kDeviceOutSelection)->GetDisplayText(GetParam(kDeviceOutSelection)->Int()));

        int at = pos;
        double bank = readDouble(chunk, at);
        double program = readDouble(chunk, at);
        if (at >= 0) {
            GetParam(kBankSelection)->SetNormalized(bank);
            GetParam(kPatchSelection)->SetNormalized(program);
            pos = at;
        } else {
            pos = -1;
        }
        patchManager->bankIndex = GetParam(kBankSelection)->Int();
        patchManager->programIndex = GetParam(kPatchSelection)->Int();
    }

    // The values are restored whether or not a port is open; only the send
    // to the instrument needs one.
    pos = UnserializeNonAutomatedParams(chunk, pos, kNumStateParams);
    const int result = pos;

    OnParamChange2(kTimbreSelect);

    for (std::atomic<bool>& f : dawInputFilter) f = true;
    for (std::atomic<bool>& f : hwInputFilter) f = true;
    applyMIDIFilterSwitches();

    deviceByte = deviceByteCopy = kDeviceByteBase + globalMIDIChannel();
    log("PROJECT RECALL: hardware DeviceID " + std::to_string(deviceByte.load()));

    // A project from before names were kept to what the instrument shows may
    // hold other letters: the field shows what the instrument will get.
    const std::string& patchName = patchManager ? patchManager->names[PatchManager::kPatchNameIdx] : "";
    GetParam(kPatchName)->SetDisplayText(0, programNameText(patchName).c_str());
    log("PROJECT RECALL: Patch name " + std::string(patchName.c_str()));

    globalSent = false;
    pushGlobal = true;
    if (midiOutReady && midiManager && !midiManager->isRunning(MIDIMessageManager::kTransferThread)) {
        transferBusy = true;
        midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement,
                              [](MIDIMessageSender& s) { s.applyLocally = false; });
    }

    queueDelay = static_cast<int>(2 * GetParam(kAdjustDAWOffset)->Value() + GetBlockSize());

    log(std::string("PROJECT RECALL: MIDI In device after nonautomated params ") +
        GetParam(kDeviceInSelection)->GetDisplayText(GetParam(kDeviceInSelection)->Int()));
    log(std::string("PROJECT RECALL: MIDI Out device after nonautomated params ") +
        GetParam(kDeviceOutSelection)->GetDisplayText(GetParam(kDeviceOutSelection)->Int()));

    localControlOn = GetParam(kGlobalLocalOn)->Value() != 0.0;
    masterKeyboard = GetParam(kMasterKeyboard)->Value() == 1.0;
    if (GetParam(kTimbreLinker)->Value() == 1.0) OnParamChange(kTimbreLinker);

    setStatusText("Project Data Recalled");
    setParameterFromPlug(kMainTab, PanelLayers::kTabProgram);
    TabSwitchFunctions::mainTabSwitch(this, kMainTab, PanelLayers::kTabProgram, 0, 0);
    TabSwitchFunctions::quickTabSwitch(this, kTimbreSelect, selectedTimbre, 0);
    return result;
}
