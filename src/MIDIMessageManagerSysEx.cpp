// SysEx from the instrument: the librarian's requests, program dumps for the
// panel, global dumps during initialization, and the parameter and mode
// changes that move single controls.
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "framework/ByteChunk.h"
#include "framework/IControl.h"
#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/InstrumentFrame.h"
#include "src/MIDIMessageManager.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/ProgramDump.h"

namespace {

// Parameter ids after which the panel refreshes a view: the common mode's
// own, and five that refresh the timbre view.
bool isCommonModeId(int lo, int hi) { return lo == 16 && hi == 0; }
bool isTimbreRefreshId(int lo, int hi) {
    return (lo == 0 && hi == 2) || (lo == 41 && hi == 0) || (lo == 107 && hi == 0) || (lo == 112 && hi == 0) ||
           (lo == 123 && hi == 1);
}

// A parameter change's value for the parameter its control is bound to: v
// and the high bits h as the instrument sends them.
int parameterChangeValue(int paramIdx, int v, int h) {
    if (paramIdx == kEQLowGain || paramIdx == kEQHiGain) return h == 0 ? v + 12 : v - 116;
    if ((paramIdx >= kSeq1Step1 && paramIdx <= kSeq3Step16 + 1) ||
        (paramIdx >= kFilterVeloSense && paramIdx <= kAmpVeloSense + 1))
        return h == 0 ? v + 64 : v - 64;
    if (paramIdx == kArpTempo) return h == 2 ? v + 236 : h == 1 ? v + 108 : v - 20;
    if (paramIdx == kArpSwing) return h == 0 ? v + 100 : v - 28;
    return v;
}

// A whole parameter or mode change.
bool isControlDataMessage(const uint8_t* data, int size) {
    return (size == kParameterChangeSize && isInstrumentFrame(data, size, kFuncParameterChange)) ||
           (size == kModeChangeSize && isInstrumentFrame(data, size, kFuncModeChange));
}

}  // namespace

void MIDIMessageManager::ProcessSysEx(ISysEx* msg, bool fromDevice) {
    if (!fromDevice || !msg || !msg->mData || !plug) return;
    const uint8_t* data = msg->mData;
    const int size = msg->mSize;
    // Not the instrument's, or a bare request echoed back.
    if (size < 0 || size == kRequestSize) return;
    if (!isInstrumentFrame(data, size, kAnyFunction, FrameExtent::kHeader)) return;

    switch (routeToLibrarianRequest(data, size)) {
        case kLibrarianTookIt:
            return;
        case kLibrarianTookBank:
            break;
        case kNotForTheLibrarian: {
            if (size >= 290 && awaitingPanelDump) {
                if (data[2] != plug->deviceByte) {
                    plug->setStatusText("Global Channel Mismatch while patch request is on!");
                    return;
                }
                sysexPartPatchParse(msg);
                if (size >= 298) raiseDataMismatch();
                timbreRefreshPending = true;
            } else if (size >= 230) {
                if (plug->initialization) {
                    if (data[2] != plug->deviceByte) {
                        plug->setStatusText("Global Channel Mismatch while initialization is on!");
                        takeOverChannel(data[2]);
                    }
                    sysexSettingsParse(msg);
                    if (size >= 238 && size <= 289) raiseDataMismatch();
                }
            } else if (size <= 24 && !awaitingPanelDump) {
                if (controlDataBlocked) return;
                // Only a whole parameter or mode change may move the channel.
                if (!isControlDataMessage(data, size)) return;
                if (data[2] != plug->deviceByte) {
                    plug->setStatusText("Global Channel Mismatch when receiving control data!");
                    takeOverChannel(data[2]);
                }
                timbreRefreshPending = false;
                if (data[4] == kFuncParameterChange) applyParameterChange(data[5], data[6], data[7], data[8]);
                return;
            }
            break;
        }
    }
    if (timbreRefreshPending) plug->OnParamChange(kTimbreSelect);
}

MIDIMessageManager::LibrarianRoute MIDIMessageManager::routeToLibrarianRequest(const uint8_t* data, int size) {
    std::function<void()> work;
    LibrarianRoute route;
    bool handedOver = false;
    bool fenceAnswered = false;
    {
        std::lock_guard<std::mutex> lock(mRequestLock);
        route = takeForLibrarian(data, size, work);
        fenceAnswered = std::exchange(mFenceWake, false);
        // Queued while the request is known armed: its end, posted once it is
        // disarmed under this lock, comes after.
        if (work && !Halvoran::isGuiThread()) {
            plug->onGuiThread(std::move(work));
            handedOver = true;
        }
    }
    // On the GUI thread the work runs at once, and a bank dump's programs
    // come back through here.
    if (work && !handedOver) plug->onGuiThread(std::move(work));
    if (fenceAnswered && sender) sender->wakePauses();
    return route;
}

MIDIMessageManager::LibrarianRoute MIDIMessageManager::takeForLibrarian(const uint8_t* data, int size,
                                                                        std::function<void()>& work) {
    if (patchLibrarian && patchLibrarian->requestMode) libraryPatchRequestAll.active = true;
    // A request-all's answers go to the slots they were asked for.
    else if (takeAskedProgram(data, size, work))
        return kLibrarianTookIt;
    auto* bytes = const_cast<unsigned char*>(data);
    Halvoran* editor = plug;
    // The slot is the one selected now: a job moves it on once it sees the
    // reply, before the GUI thread stores it.
    auto storeInSlot = [&](LibrarianPatch&& program, bool whole) {
        const int slot = patchLibrarian ? patchLibrarian->selectedSlotUpper.load() : -1;
        work = [editor, program = std::move(program), slot, whole] {
            editor->storeReceivedProgram(program, slot, whole);
        };
    };

    if (libraryPatchRequest.active) {
        LibrarianPatch collected;
        const bool whole = libraryPatchRequest.addMessageData(bytes, size, &collected);
        storeInSlot(std::move(collected), whole);
        replySeen = true;
        return kLibrarianTookIt;
    }
    if (!libraryPatchRequestAll.active) return kNotForTheLibrarian;

    // One dump per program.
    libraryPatchRequestAll.empty();
    // A whole bank's dump is read into the slots program by program; any
    // other message is no bank, and must not leave the reader's mode set.
    if (!plug->bankDumpSeen && isBankDumpHeader(data, size)) {
        plug->bankDumpSeen = true;
        if (patchLibrarian) {
            patchLibrarian->selectedSlotUpper = 0;
            work = [editor, dump = std::vector<uint8_t>(data, data + size)] { editor->readRequestedBankDump(dump); };
        }
        return kLibrarianTookBank;
    }
    LibrarianPatch collected;
    if (libraryPatchRequestAll.addMessageData(bytes, size, &collected)) storeInSlot(std::move(collected), true);
    // The slot moves on after every message, but never past the last one:
    // with the last slot filled the transfer is over, and a dump after it
    // overwrites nothing.
    if (patchLibrarian) {
        if (patchLibrarian->selectedSlotUpper >= kBankSlots - 1) {
            libraryPatchRequestAll.active = false;
            patchLibrarian->requestMode = false;
        } else {
            ++patchLibrarian->selectedSlotUpper;
        }
    }
    return kLibrarianTookIt;
}

void MIDIMessageManager::takeOverChannel(int deviceByte) {
    if (IParam* channel = plug->GetParam(kGlobalMIDICha)) channel->Set(deviceByte - kDeviceByteBase);
    plug->deviceByte = deviceByte;
    plug->deviceByteCopy = deviceByte;
}

void MIDIMessageManager::raiseDataMismatch() {
    plug->dataMismatch = true;
    plug->setParameterFromPlug(kGlobalClockSource, 1.0);
}

void MIDIMessageManager::valueToControl(IControl* control, double value, bool fromMinimum) {
    if (!control) return;
    IParam* param = plug->GetParam(control->ParamIdx());
    if (!param) return;
    const double range = param->GetMax() - param->GetMin();
    if (fromMinimum) value -= param->GetMin();
    control->SetValueFromHardware(range > 0.0 ? value / range : 0.0);
}

void MIDIMessageManager::applyParameterChange(int lo, int hi, int v, int h) {
    IControl* control = plug->getSysexControl(kModelId, kFuncParameterChange, lo, hi, 0);
    if (!control) return;
    if (isCommonModeId(lo, hi) || isTimbreRefreshId(lo, hi)) {
        processSysExToUI(control, v, !isCommonModeId(lo, hi), isCommonModeId(lo, hi));
        return;
    }
    processSysExToUI(control, parameterChangeValue(control->ParamIdx(), v, h), false, false);
}

void MIDIMessageManager::processSysExToUI(IControl* control, int value, bool refreshTimbre, bool refreshCommonMode) {
    awaitingPanelDump = false;
    valueToControl(control, value, true);
    if (refreshTimbre) plug->OnParamChange2(kTimbreSelect);
    if (refreshCommonMode) plug->OnParamChange2(kCommonMode);
}

void MIDIMessageManager::getNormalControl(int b3, int b4, int b5, int b6, int value, bool) {
    IControl* control = plug->getSysexControl(b3, b4, b5, b6, 0);
    if (!control) return;
    awaitingPanelDump = false;
    valueToControl(control, value, true);
}
