// The two handlers of a changed parameter: the editor's own settings, then
// the parameter's MIDI binding.
#include <algorithm>

#include "src/ControlAction.h"
#include "src/ControlDisplay.h"
#include "src/Halvoran.h"
#include "src/LinkManager.h"
#include "src/MIDIMessageManager.h"
#include "src/PanelLayers.h"
#include "src/TabSwitchFunctions.h"

void Halvoran::selectMIDIPort(int paramIdx) {
    IParam* p = GetParam(paramIdx);
    const int index = p->Int();
    const std::string name = p->GetDisplayText(index);
    const bool input = paramIdx == kDeviceInSelection;
    const unsigned choice = ++mPortChoices[input];
    // The panel goes on at once; what the MIDI system makes of the choice
    // comes back on the GUI thread, maybe after the editor has gone.
    std::weak_ptr<GuiThreadQueue> gui = mGuiCalls;
    auto opened = [this, gui, paramIdx, choice](bool done) {
        if (done) return;
        if (std::shared_ptr<GuiThreadQueue> calls = gui.lock())
            calls->call([this, paramIdx, choice] { portNotOpened(paramIdx, choice); });
    };
    const int found =
        input ? chooseExternalMIDIIn(index, name.c_str(), opened) : chooseExternalMIDIOut(index, name.c_str(), opened);
    // Messages sent meanwhile wait for the port.
    if (!input) midiOutReady = found > 0;
    (input ? mUnopenedInName : mUnopenedOutName).clear();
    // A name no longer listed leaves the selector at "Select MIDI Device".
    if (found != index) setParameterFromPlug(paramIdx, found);
    midiInOutSet = GetParam(kDeviceInSelection)->Int() > 0 && GetParam(kDeviceOutSelection)->Int() > 0;
}

void Halvoran::portNotOpened(int paramIdx, unsigned choice) {
    BASE_MutexLock lock(GetMutex());
    const bool input = paramIdx == kDeviceInSelection;
    if (choice != mPortChoices[input] || (input ? isExternalMIDIInOpen() : isExternalMIDIOutOpen())) return;
    if (paramIdx == kDeviceOutSelection) midiOutReady = false;
    setParameterFromPlug(paramIdx, 0);
    midiInOutSet = false;
    setStatusText("MIDI port not opened! Choose it again.");
}

void Halvoran::noticeLostMIDIPorts() {
    if (!externalMIDILost() || mPortLossTold) return;
    // The audio callback leaves it for the GUI thread, which may wait.
    BASE_MutexLock lock(GetMutex());
    const bool wasOpen = isExternalMIDIOutOpen() || isExternalMIDIInOpen();
    mPortLossTold = true;
    if (wasOpen) {
        midiOutReady = false;
        midiInOutSet = false;
        for (int paramIdx : {kDeviceInSelection, kDeviceOutSelection}) {
            IParam* p = GetParam(paramIdx);
            if (p->Int() == 0) continue;
            std::string& unopened = paramIdx == kDeviceInSelection ? mUnopenedInName : mUnopenedOutName;
            double& value = paramIdx == kDeviceInSelection ? mUnopenedInValue : mUnopenedOutValue;
            unopened = p->GetDisplayText(p->Int());
            value = p->GetNormalized();
            setParameterFromPlug(paramIdx, 0);
        }
        setStatusText("MIDI port lost! Choose it again.");
        log("MIDI: the MIDI system went away; the ports are closed");
    }
}

void Halvoran::refreshMIDIPortMenu(int paramIdx) {
    if (paramIdx != kDeviceInSelection && paramIdx != kDeviceOutSelection) return;
    const bool input = paramIdx == kDeviceInSelection;
    {
        BASE_MutexLock lock(GetMutex());
        noticeLostMIDIPorts();
    }
    // Asked with the plug-in unlocked: the other threads that take the lock
    // need not wait for the MIDI system too.
    const std::vector<std::string> names = input ? refreshExternalMIDIInNames() : refreshExternalMIDIOutNames();
    BASE_MutexLock lock(GetMutex());
    IParam* p = GetParam(paramIdx);
    const std::string chosen = p->Int() > 0 ? p->GetDisplayText(p->Int()) : "";
    mPortLossTold = false;
    p->ReplaceDisplayTexts(names);
    int index = 0;
    if (!chosen.empty() && (input ? isExternalMIDIInOpen() : isExternalMIDIOutOpen()))
        for (size_t i = 1; i < names.size(); ++i)
            if (names[i] == chosen) index = static_cast<int>(i);
    setParameterFromPlug(paramIdx, index);
}

void Halvoran::pushCurrentDataToHardware() {
    globalSent = false;
    pushGlobal = true;
    if (midiOutReady && midiManager && !midiManager->isRunning(MIDIMessageManager::kTransferThread)) {
        transferBusy = true;
        sendPartDataBackToHardware(0);
    }
}

void Halvoran::applyMIDIFilterSwitches() {
    for (int i = 0; i < kNumFilters; ++i) {
        dawInputFilter[i] = GetParam(kMIDIFilterDAWCCPassThrough + i)->Value() != 1.0;
        hwInputFilter[i] = GetParam(kMIDIFilterHWCCPassThrough + i)->Value() != 1.0;
    }
    trackIncoming = GetParam(kMIDIFilterTrackIncomingMIDI)->Value() == 1.0;
    routeToDAWBuffer = GetParam(kMIDIFilterToDAWBuffer)->Value() == 1.0;
    clockStartStopEnabled = GetParam(kSendMIDIClockPointer)->Value() == 1.0;
    continuousClockEnabled = GetParam(kSendMIDIClockInfo)->Value() == 1.0;
}

void Halvoran::OnParamChange(int paramIdx) {
    BASE_MutexLock lock(GetMutex());
    IParam* param = GetParam(paramIdx);
    if (!param) return;
    const double value = param->Value();
    const bool on = value == 1.0;
    // The name and value first, so that what the change itself reports
    // stays on the display.
    ControlAction* action = param->GetControlAction();
    const bool global = paramIdx >= kMasterTune && paramIdx <= kMIDIFilterWriteProtect;
    // The save row's buttons and REFRESH say on the display what they did
    // instead. A bank arrow names itself as it is pressed; its release
    // leaves what the press said (a refusal among others) standing, and so
    // does CANCEL's, which the request it ended may already have answered.
    const bool saveRow = paramIdx == kOverwriteBank || paramIdx == kDiscardBankData || paramIdx == kKeepSelectedBank ||
                         paramIdx == kRefreshFolders;
    const bool releaseKeeps =
        ((paramIdx >= kLibUpperPreviousBank && paramIdx <= kLibLowerNextBank) || paramIdx == kCancelDataRequest) && !on;
    // The global page's knobs send nothing themselves, yet their values
    // are the instrument's and are read from the display.
    if ((action || global) && !saveRow && !releaseKeeps) ControlDisplay::controlDisplay(this, paramIdx, value);

    if (global) {
        // The instrument no longer holds the panel's global data, and what
        // the panel holds is the user's.
        globalSent = false;
        globalValuesKnown = true;
    }

    switch (paramIdx) {
        case kDeviceOutSelection:
        case kDeviceInSelection:
            selectMIDIPort(paramIdx);
            break;
        case kGlobalLocalOn:
            localControlOn = param->Int() == 1;
            break;
        case kMasterKeyboard:
            masterKeyboard = on;
            break;
        case kMIDIFilterToDAWBuffer:
        case kMIDIFilterDirectToHardware: {
            // The two are one choice: turning one on turns the other off.
            const bool toBuffer = (paramIdx == kMIDIFilterToDAWBuffer) == on;
            routeToDAWBuffer = toBuffer;
            setParameterFromPlug(
                paramIdx == kMIDIFilterToDAWBuffer ? kMIDIFilterDirectToHardware : kMIDIFilterToDAWBuffer,
                on ? 0.0 : 1.0);
            break;
        }
        case kAdjustDAWOffset:
            queueDelay = static_cast<int>(2 * value + GetBlockSize());
            break;
        case kSendMIDIClockInfo:
            continuousClockStarted = false;
            continuousClockEnabled = on;
            if (!on) MIDIMessageSender::resetContinuousClock(true);
            break;
        case kSendMIDIClockPointer:
            clockStartStopEnabled = on;
            break;
        case kMIDIFilterTrackIncomingMIDI:
            trackIncoming = on;
            break;
        case kTimbreLinker:
            if (on) {
                pendingTimbreLink = true;
                timbreViewMode = 2;
            } else {
                timbreViewMode = 0;
            }
            break;
        case kPushArrangement:
            if (on) pushCurrentDataToHardware();
            break;
        case kGlobalSettings:
            hideLayer(PanelLayers::kGlobalSettingsPage, value == 0.0);
            // Incoming parameter changes would fight the page while it is open.
            if (midiManager) midiManager->controlDataBlocked = value != 0.0;
            if (midiOutReady && midiManager && globalValuesKnown)
                midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendGlobal);
            break;
        case kCancelDataRequest:
            if (on && midiManager) midiManager->cancelTransfer();
            break;
        case kRequestTempData:
            if (on && midiManager)
                midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                                      [this](MIDIMessageSender& s) {
                                          midiManager->awaitingPanelDump = true;
                                          s.toPanel = true;
                                      });
            break;
        case kRequestGlobal:
            if (on && midiManager)
                midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestArrangement,
                                      [this](MIDIMessageSender& s) {
                                          midiManager->awaitingPanelDump = true;
                                          s.toPanel = true;
                                      });
            break;
        case kRequestDebug:
            if (on) sendSysExInitialization();
            break;
        case kRandomize:
            randomizeProgram();
            break;
        case kMainTab:
            TabSwitchFunctions::mainTabSwitch(this, kMainTab, param->Int(), 0, 0);
            break;
        case kTimbreSelect:
            selectedTimbre = std::clamp(param->Int(), 0, 1);
            TabSwitchFunctions::quickTabSwitch(this, kTimbreSelect, selectedTimbre, 0);
            break;
        case kUserInterfaceSkin:
        case kUserInterfaceSize: {
            // Shown at the next start.
            int choice = std::clamp(param->Int(), 0, 2);
            int& setting = paramIdx == kUserInterfaceSkin ? mSettings.skin : mSettings.size;
            if (setting != choice) {
                setting = choice;
                // The panel is built once: say when the change shows.
                if (!writeSettings())
                    setStatusText("Settings file not saved!");
                else
                    setStatusText(paramIdx == kUserInterfaceSkin ? "Skin changes at next start"
                                                                 : "Size changes at next start");
            }
            break;
        }
        case kFirstRunExit:
            if (on && mSettings.firstRun) {
                mSettings.firstRun = false;
                writeSettings();
            }
            hideLayer(PanelLayers::kFirstRun, on || !mSettings.firstRun);
            break;
        case kDisplayAboutWindow:
            if (on) hideLayer(PanelLayers::kAboutWindow, false);
            break;
        case kExitAboutWindow:
            if (on) hideLayer(PanelLayers::kAboutWindow, true);
            break;
        case kViewMIDIFilterSettings:
            hideLayer(PanelLayers::kMIDIFilterSettings, !on);
            break;
        case kPatchRename:
        case kRefreshFolders:
        case kPatchSearchString:
        case kLibUpperPreviousBank:
        case kLibUpperNextBank:
        case kLibLowerPreviousBank:
        case kLibLowerNextBank:
        case kOverwriteBank:
        case kDiscardBankData:
        case kKeepSelectedBank: {
            // The librarian's banks are the GUI thread's alone; its saves,
            // reads and file panels run with the plug-in unlocked.
            Unlocked unlocked(GetMutex());
            onGuiThread([this, paramIdx] { onLibrarianParamChange(paramIdx); });
            break;
        }
        default:
            if (paramIdx >= kMIDIFilterDAWCCPassThrough && paramIdx <= kMIDIFilterHWSEPassThrough) {
                // A pass-through switch that is on opens its filter.
                int i = paramIdx - kMIDIFilterDAWCCPassThrough;
                (i < kNumFilters ? dawInputFilter[i] : hwInputFilter[i - kNumFilters]) = !on;
            }
            break;
    }

    if (!action) return;
    if (GetParam(kTimbreLinker)->Value() == 1.0) LinkManager::controlLinker(this, action->link, paramIdx, 0, value);
    echoGuard = false;
    processControlAction(action, paramIdx, value);
}

void Halvoran::OnParamChange2(int paramIdx) {
    BASE_MutexLock lock(GetMutex());
    IParam* param = GetParam(paramIdx);
    if (!param) return;
    echoGuard = true;
    const double value = param->Value();
    ControlDisplay::controlDisplay(this, paramIdx, value);
    if (ControlAction* action = param->GetControlAction()) {
        if (GetParam(kTimbreLinker)->Value() == 1.0) LinkManager::controlLinker(this, action->link, paramIdx, 0, value);
        processControlAction(action, paramIdx, value);
    }
    if (midiManager) midiManager->awaitingPanelDump = false;
    echoGuard = false;
}
