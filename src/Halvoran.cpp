#include "src/Halvoran.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <unistd.h>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "framework/IGraphicsMac.h"
#include "framework/IUnitAU_ViewFactory.h"
#include "platform/appkit/RunLoop.h"
#include "src/ControlAction.h"
#include "src/LibrarianViewControl.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianWriteBank.h"
#include "src/PatchManager.h"
#include "src/TabSwitchFunctions.h"
#include "src/UIConfigManager.h"
#include "src/debugger.h"
#include "shim/shim.h"

namespace {

// The full-panel background of each skin: its id in the bitmap cache and file.
struct Background {
    int id;
    const char* path;
};
constexpr Background kBackgrounds[3] = {
    {505, "resources/img-v2/bg-main-leg.png"},
    {104, "resources/img-v2/bg-main.png"},
    {605, "resources/img-v2/bg-main-pla.png"},
};

}  // namespace

IUnitConfig Halvoran::unitConfig() {
    IUnitConfig c;
    c.effectName = "Halvoran";
    c.productName = "Brem Halvoran Editor";
    c.mfrName = "Tallowmere Audio";
    c.version = 0x00010000;
    c.type = 0x61756d66;          // 'aumf'
    c.subtype = 0x48766564;       // 'Hved'
    c.manufacturer = 0x546c6d72;  // 'Tlmr'
    return c;
}

Halvoran::Halvoran() : IUnitAU(IUnitInstanceInfo{}, unitConfig(), kNumParams) {
    addNonAutomateParamCount(kNumParams);
    sampleRate = GetSampleRate();
}

Halvoran::Halvoran(const IUnitInstanceInfo& info) : IUnitAU(info, unitConfig(), kNumParams) {
    // Every parameter is saved by the editor's own state, none automated.
    addNonAutomateParamCount(kNumParams);
    sampleRate = GetSampleRate();
    // The MIDI system answers while the panel is built.
    prefetchExternalMIDINames();
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    openDebugLog();
    readSettings();

    patchManager = new PatchManager(this);
    log("PATCH MANAGER INITIALIZED...");

    patchLibrarian = new PatchLibrarian(this);
    log("PATCH LIBRARIAN INITIALIZED...");
    patchLibrarian->selectedBankUpper = 0;
    patchLibrarian->selectedBankLower = 0;
    patchLibrarian->loadPatchesFromFilesystem(getPatchesFolderStr());
    patchLibrarian->addNewBankWhenEmpty(getPatchesFolderStr());
    log("PATCH LIBRARIAN COMPLETED LOADING SINGLES...");

    buildPanel();

    midiManager = new MIDIMessageManager(this, patchManager, patchLibrarian, graphics);
    patchManager->init();
    ResetPatchSelectionMenus();

    // The bank names each pane starts with.
    upperBankName = GetParam(kPatchSelectionListUpper)->GetDisplayText(0);
    lowerBankName = GetParam(kPatchSelectionListLower)->GetDisplayText(0);
    if (!patchLibrarian->bankFiles.empty()) {
        auto folderAt = [&](int paramIdx) -> std::string {
            int i = GetParam(paramIdx)->Int();
            if (i < 0 || i >= static_cast<int>(patchLibrarian->bankFiles.size())) return "";
            return patchLibrarian->bankFiles[i] ? patchLibrarian->bankFiles[i]->folderName : "";
        };
        upperBankFolder = folderAt(kPatchSelectionListUpper);
        lowerBankFolder = folderAt(kPatchSelectionListLower);
    }
    buildLibrarianMenus();

    applySettingsToParameters();
    deviceByte = deviceByteCopy = kDeviceByteBase + globalMIDIChannel();
    TabSwitchFunctions::mainTabSwitch(this, kMainTab, GetParam(kMainTab)->Int(), 0, 0);
    TabSwitchFunctions::quickTabSwitch(this, kTimbreSelect, selectedTimbre, 0);

    globalSent = true;
    constructionComplete = true;
}

Halvoran::~Halvoran() {
    // What the workers still ask of the panel is dropped from here on.
    mGuiCalls->close();
    // A job polling an instrument that does not answer ends now, not after
    // its polls, while the ports close.
    if (midiManager) midiManager->stopJobs();
    // Nothing may arrive from the MIDI input while the objects it reaches go.
    closeExternalMIDIPorts();
    if (graphics && graphics->WindowIsOpen()) graphics->CloseWindow();
    // The workers are stopped and joined here, before what they use goes.
    delete midiManager;
    midiManager = nullptr;
    if (uiConfigManager) uiConfigManager->ClearImageCache();
    delete uiConfigManager;
    uiConfigManager = nullptr;
    delete patchLibrarian;
    patchLibrarian = nullptr;
    delete patchManager;
    patchManager = nullptr;
}

// ---- Start-up steps

void Halvoran::openDebugLog() {
    // The log is on when the user made the file; it starts empty each time.
    const std::string name = GetEffectName() + std::string(" LOG.txt");
    debugLogPath = halvoranDataFolder() + name;
    removeStaleTemporaries(halvoranDataFolder(), name);
    bool shared = false;
    const int fd = BASE_OpenRegularFile(debugLogPath.c_str(), nullptr, BASE_FileUse::Append, &shared);
    debugLogOn = fd >= 0;
    if (!debugLogOn) return;
    // As the settings file: a link is followed only to a log. One that
    // leads anywhere else (the user's notes, a bank) leaves its target as it
    // is, and a log of the editor's own takes the link's place.
    if (shared && !holdsDebugLog(fd)) {
        ::close(fd);
        debugLogOn = writeFileReplacing(debugLogPath, ByteChunk(), AtLink::ReplaceLink);
        log("DEBUG LOG: " + debugLogPath + " led to a file that holds no log; a log of its own took its place");
        return;
    }
    (void)!::ftruncate(fd, 0);
    ::close(fd);
}

std::string Halvoran::settingsPath() const { return settingsFilePath(halvoranDataFolder(), GetEffectName()); }

void Halvoran::readSettings() {
    // A missing file is written with the defaults. One that is there but not
    // understood may not be the editor's at all: it is left as it is, and
    // written only when the user changes a setting.
    bool found = false;
    if (readSettingsFile(settingsPath(), &mSettings, &found)) return;
    if (found)
        log("SETTINGS: " + settingsPath() + " is not understood; it is left as it is until a setting changes");
    else
        writeSettings();
}

bool Halvoran::writeSettings() {
    HalvoranSettings settings;
    {
        BASE_MutexLock lock(GetMutex());
        settings = mSettings;
    }
    std::string link;
    bool written;
    {
        // Not under the plug-in mutex: a slow disk holds up no other thread
        // but writers of this file, one at a time.
        Unlocked unlocked(GetMutex());
        std::lock_guard<std::mutex> writing(mSettingsWriting);
        written = writeSettingsFile(settingsPath(), settings, &link);
    }
    if (!written) {
        log("SETTINGS: could not write " + settingsPath());
        return false;
    }
    if (!link.empty())
        log("SETTINGS: " + settingsPath() + " was a link to " + link +
            ", which holds no settings; a settings file of its own took the link's place");
    return true;
}

void Halvoran::buildPanel() {
    const double scale = mSettings.scale();
    graphics = MakeGraphics(this, static_cast<int>(kGUIWidth * scale), static_cast<int>(kGUIHeight * scale),
                            kGUIFrameRate, scale);
    AttachGraphics(graphics);

    uiConfigManager = new UIConfigManager();
    uiConfigManager->readUIConfig(graphics, this, patchLibrarian, mSettings.skin, scale);
    librarianView = uiConfigManager->librarianView;

    // Whatever the panel description left untouched gets a usable default.
    initParameterDefaults();
    // Every control starts showing its parameter's value.
    for (int i = 0; i < NParams(); ++i) graphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);

    // Every layer starts hidden; the main layer shows, the tab switches then
    // choose its pages.
    hideLayer(PanelLayers::kMainLayer, false);
    hideLayer(PanelLayers::kFirstRun, !mSettings.firstRun);
    const Background& bg = kBackgrounds[std::clamp(mSettings.skin, 0, 2)];
    graphics->AttachBackground(bg.id, bg.path, scale);

    // The progress overlay and the second cancel button sit above the panel.
    progressLayer = new ControlLayer(PanelLayers::kProgressOverlayId, PanelLayers::kProgressOverlay);
    auto* cancelLayer = new ControlLayer(PanelLayers::kCancelRequestLayerId, PanelLayers::kCancelRequestLayer);
    graphics->AttachLayer(progressLayer);
    graphics->AttachLayer(cancelLayer);
    uiConfigManager->layers[PanelLayers::kProgressOverlay] = progressLayer;
    uiConfigManager->layers[PanelLayers::kCancelRequestLayer] = cancelLayer;
    // The veil spans the panel: while a transfer runs only the cancel button
    // above it takes clicks, and hiding it repaints all it covered.
    IBitmap veil = uiConfigManager->getImageByName(graphics, "PROGRESS_INDICATOR_ID");
    progressLayer->AddControl(new IBitmapControl(this, 0, 0, -1, &veil));
    progressLayer->setIgnoreHiddenWhenUpdatingScreen(true);
    uiConfigManager->createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 860, 340,
                                                "BUTTON_LIB_CANCEL_ID", 0, progressLayer, "Global");
    uiConfigManager->createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 1150, 122,
                                                "BUTTON_LIB_CANCEL_ID", 0, cancelLayer, "Global");

    takePanelControls();
}

void Halvoran::takePanelControls() {
    auto text = [this](int paramIdx) { return dynamic_cast<ITextControl*>(firstBoundControl(paramIdx)); };
    statusTextControl = text(kControlDisplayName);
    valueTextControl = text(kControlDisplayValue);
    midiTextControl = text(kControlDisplayCC);
    latencyTextControl = text(kControlDisplayMIDIOutDelay);
    timbreTextControl = text(kControlDisplayTimbre);
    // The status and the value share the display's second line: the message
    // or name from the left, the value from the right.
    if (statusTextControl && valueTextControl) {
        statusTextControl->GetText()->mAlign = IText::kAlignNear;
        valueTextControl->GetText()->mAlign = IText::kAlignFar;
        statusTextControl->ShareRowWith(valueTextControl);
        valueTextControl->ShareRowWith(statusTextControl);
    }
    deviceInControl = firstBoundControl(kDeviceInSelection);
    deviceOutControl = firstBoundControl(kDeviceOutSelection);
    upperBankListControl = firstBoundControl(kPatchSelectionListUpper);
    lowerBankListControl = firstBoundControl(kPatchSelectionListLower);
}

void Halvoran::applySettingsToParameters() {
    setParameterFromPlug(kUserInterfaceSkin, mSettings.skin);
    setParameterFromPlug(kUserInterfaceSize, mSettings.size);
    setParameterFromPlug(kFirstRunExit, mSettings.firstRun ? 0.0 : 1.0);
    selectedTimbre = std::clamp(GetParam(kTimbreSelect)->Int(), 0, 1);
}

void Halvoran::initParameterDefaults() {
    auto untyped = [this](int i) {
        IParam* p = GetParam(i);
        return p && p->Type() == IParam::kTypeNone ? p : nullptr;
    };
    auto initBool = [&](int i, const char* name, bool def = false) {
        if (IParam* p = untyped(i)) p->InitBool(name, def, "", "Settings");
    };
    auto initEnum = [&](int i, const char* name, int def, int n) {
        if (IParam* p = untyped(i)) p->InitEnum(name, def, n, "", "Settings");
    };
    auto initPorts = [&](int i, const std::vector<std::string>& names) {
        IParam* p = untyped(i);
        if (!p) return;
        p->InitEnum("Device Selection", 0, static_cast<int>(names.size()));
        for (size_t n = 0; n < names.size(); ++n) p->SetDisplayText(static_cast<int>(n), names[n].c_str());
    };

    initPorts(kDeviceInSelection, getExternalMIDIInNames());
    initPorts(kDeviceOutSelection, getExternalMIDIOutNames());
    if (IParam* p = untyped(kPatchName)) {
        p->InitEnum("Patch Name", 0, 1);
        p->InitText();
        p->SetDisplayText(0, "-- INIT --");
    }
    initEnum(kTimbreSelect, "Timbre Select", 0, 2);
    initEnum(kPatchSelectionListUpper, "Upper Bank", 0, 1);
    initEnum(kPatchSelectionListLower, "Lower Bank", 0, 1);
    initBool(kTimbreLinker, "Timbre Linker");
    initEnum(kMainTab, "Main Tab", PanelLayers::kTabProgram, PanelLayers::kNumTabs);
    initEnum(kGlobalMIDICha, "Global MIDI Channel", 0, 16);
    initEnum(kLibSyncTimer, "Transfer Pause", 0, 4);
    initEnum(kUserInterfaceSkin, "Skin", HalvoranSettings::kSkinLegacy, 3);
    initEnum(kUserInterfaceSize, "Panel Size", HalvoranSettings::kSizeNormal, 3);
    if (IParam* p = untyped(kArpTempo)) p->InitDouble("Arp Tempo", 100, 0, 280, 1, "", "Arpeggiator");
    if (IParam* p = untyped(kAdjustDAWOffset)) p->InitDouble("DAW Offset", 0, 0, 4096, 1, "", "Settings");
    for (int i = kMIDIFilterDAWCCPassThrough; i <= kMIDIFilterToDAWBuffer; ++i) initBool(i, "MIDI Filter");
    for (int i : {kGlobalLocalOn, kOverrideTempo, kMasterKeyboard, kMIDILed, kSendMIDIClockInfo, kSendMIDIClockPointer,
                  kCancelDataRequest, kGlobalSettings, kFirstRunExit, kPushArrangement, kRandomize, kRequestTempData,
                  kViewMIDIFilterSettings, kDisplayAboutWindow, kExitAboutWindow, kRefreshFolders})
        initBool(i, "Setting");
    for (int i = 0; i < kNumParams; ++i)
        if (IParam* p = untyped(i)) p->InitDouble("", 0, 0, 127, 1);
}

// ---- The view

void* Halvoran::OpenView(void* parentView, int* width, int* height) {
    return IUnitAU_ViewFactory::uiViewForAudioUnit(this, parentView, width, height);
}

void Halvoran::CloseView(void* view) { IUnitAU_ViewFactory::closeView(this, view); }

// ---- Panel helpers

ControlLayer* Halvoran::getLayer(const std::string& name) const {
    if (!uiConfigManager) return nullptr;
    auto it = uiConfigManager->layers.find(name);
    return it == uiConfigManager->layers.end() ? nullptr : it->second;
}

void Halvoran::hideLayer(const std::string& name, bool hide) {
    // Layers are switched where they are drawn.
    if (!isGuiThread()) {
        onGuiThread([this, name, hide] { hideLayer(name, hide); });
        return;
    }
    if (ControlLayer* layer = getLayer(name)) layer->Hide(hide);
}

IControl* Halvoran::firstBoundControl(int paramIdx) const {
    IParam* p = GetParam(paramIdx);
    ControlAction* action = p ? p->GetControlAction() : nullptr;
    return action && !action->boundControls.empty() ? action->boundControls.front() : nullptr;
}

void Halvoran::setText(ITextControl* control, const char* text) {
    if (!control) return;
    if (onRenderThread()) {
        onGuiThread([control, t = std::string(text ? text : "")] { control->SetTextFromPlug(t.c_str()); });
        return;
    }
    control->SetTextFromPlug(text);
}

void Halvoran::setStatusText(const char* text) {
    setText(statusTextControl, text);
    // A message stands alone on the row it shares with a control's value.
    setText(valueTextControl, "");
}
void Halvoran::setValueText(const char* text) { setText(valueTextControl, text); }
void Halvoran::setMIDIText(const char* text) { setText(midiTextControl, text); }
void Halvoran::setLatencyText(const char* text) { setText(latencyTextControl, text); }
void Halvoran::setTimbreText(const char* text) { setText(timbreTextControl, text); }

void Halvoran::setParameterFromPlug(int paramIdx, double plainValue) {
    if (onRenderThread()) {
        setParameterLater(paramIdx, plainValue);
        return;
    }
    if (graphics) {
        graphics->SetParameterFromPlug(paramIdx, plainValue, false);
    } else if (IParam* p = GetParam(paramIdx)) {
        p->Set(plainValue);
    }
}

std::string Halvoran::programName() const {
    const IParam* p = GetParam(kPatchName);
    return p ? p->GetDisplayTextCopy(0) : std::string();
}

void Halvoran::keepProgramName(const std::string& name) {
    BASE_MutexLock lock(GetMutex());
    if (patchManager) patchManager->names[PatchManager::kPatchNameIdx] = name;
}

void Halvoran::log(const std::string& message) const {
    if (debugLogOn) DebuggerOutput().printDebugInfo(debugLogPath, message);
}

// ---- Lookups

IControl* Halvoran::getCCControls(int key, int ccNumber, int type) {
    return uiConfigManager ? findCCControl(uiConfigManager->ccControls, key, ccNumber, type) : nullptr;
}

IControl* Halvoran::getMsbLsbControl(int key, int msbValue, int lsbValue, int lsbControl, int type) {
    return uiConfigManager ? uiConfigManager->nrpnControls.findControl(key, msbValue, lsbValue, lsbControl, type)
                           : nullptr;
}

IControl* Halvoran::getSysexControl(int header1, int header2, int header3, int keyByte, int fifthKey) {
    return uiConfigManager ? uiConfigManager->sysExControls.findControl(header1, header2, header3, keyByte, fifthKey)
                           : nullptr;
}

// ---- Sending

int Halvoran::globalMIDIChannel() const { return std::clamp(GetParam(kGlobalMIDICha)->Int(), 0, 15); }

int Halvoran::getTimerValue() {
    switch (GetParam(kLibSyncTimer)->Int()) {
        case 1:
            return 300;
        case 2:
            return 400;
        case 3:
            return 500;
        default:
            return 200;
    }
}

void Halvoran::MIDIOutRoutingSwitch(IMidiMsg* msg) {
    if (!msg || !midiOutReady) return;
    if (routeToDAWBuffer)
        midiQueue.Add(msg);
    else
        sendMidiMsgAndLog(msg);
}

void Halvoran::sendMidiMsgAndLog(IMidiMsg* msg) {
    if (!msg) return;
    if (!midiOutReady || sendSuppressed) {
        setStatusText("Set MIDI I/O First!");
        return;
    }
    if (!trackIncoming && msg->Channel() == globalMIDIChannel() && midiLampOn == 0 && graphics) {
        setParameterFromPlug(kMIDILed, 1.0);
        midiLampOn = 1;
        midiLampTick = GetTickCount();
    }
    SendMidiMsg(msg);
    if (debugLogOn) {
        char line[64];
        std::snprintf(line, sizeof line, "MIDI OUT: %02X %02X %02X", msg->mStatus, msg->mData1, msg->mData2);
        log(line);
    }
}

void Halvoran::AllSoundsOff() {
    if (!midiOutReady) return;
    IMidiMsg msg;
    msg.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 0.0, globalMIDIChannel());
    MIDIOutRoutingSwitch(&msg);
    if (!allNotesOffPaused) {
        Sleep(500);
        allNotesOffPaused = true;
    }
}

void Halvoran::checksumCheckAndSend(unsigned char* bytes, int length) {
    if (!midiOutReady) {
        setStatusText("Set MIDI I/O First!");
        return;
    }
    SendMidiSysex(bytes, length);
    DebuggerOutput(debugLogOn ? debugLogPath : "").logSysExOutMessageByte(bytes, length);
}

void Halvoran::SendProgramChangeCommand(int program) {
    if (!midiOutReady) return;
    IMidiMsg msg;
    msg.MakeProgramChangeMsg(program / 127.0, globalMIDIChannel());
    sendMidiMsgAndLog(&msg);
    if (midiManager) midiManager->sender->pause(getTimerValue() / 2);
}

// ---- Incoming messages

void Halvoran::ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) {
    if (!msg || !midiManager) return;
    if (transferBusy || processingIndicator || bankDumpSeen || midiManager->awaitingPanelDump) return;
    if (fromDevice && deviceInputSwitch) return;
    if (msg->StatusMsg() == IMidiMsg::kNone) return;
    midiManager->ProcessMidiMsgFromDevice(msg);
}

void Halvoran::ProcessSysEx(ISysEx* msg, bool fromDevice) {
    if (!msg || !midiManager) return;
    if (transferBusy) return;
    if ((fromDevice ? hwInputFilter : dawInputFilter)[kFilterSysEx]) return;
    midiManager->ProcessSysEx(msg, fromDevice);
    if (ControlLayer* main = getLayer(PanelLayers::kMainLayer)) main->setControlsDirty();
    if (midiManager->replySeen) answered = true;
}

// ---- Job starters

void Halvoran::sendSysExInitialization() {
    initialization = true;
    if (midiOutReady && !transferBusy && midiManager) {
        midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobDeviceIdEnquiry,
                              [this](MIDIMessageSender&) {
                                  midiManager->awaitingPanelDump = true;
                                  midiManager->replySeen = false;
                              });
    }
    Sleep(100);
}

void Halvoran::sendPatchToDeviceFromLibrarian(int slot, int pane) {
    if (!patchLibrarian || !midiManager) return;
    if (GetParam(kPartLock + std::clamp(selectedTimbre.load(), 0, 1))->Value() == 1.0) return;
    PatchFile* bank = paneBank(pane);
    if (!bank) return;
    resizeToBankSlots(bank->patches);
    if (slot < 0 || slot >= static_cast<int>(bank->patches.size()) || bank->patches[slot].sysexMessages.empty()) return;
    if (librarianView) librarianView->keyCursor = slot;
    if (!midiInOutSet || !midiOutReady) return;
    SendProgramChangeCommand(slot);
    Sleep(50);
    // The job sends its own copy: the bank may be refreshed or saved away
    // while it runs.
    const LibrarianPatch& patch = bank->patches[slot];
    midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendLibrarianPatch,
                          [&patch, slot](MIDIMessageSender& s) {
                              s.patchToSend = patch;
                              s.libraryPatch = &s.patchToSend;
                              s.intArg3 = 0;
                              s.intArg2 = slot;
                          });
}

PatchFile* Halvoran::paneBank(int pane) const {
    if (!patchLibrarian) return nullptr;
    const std::vector<PatchFile*>& banks =
        pane != 0 && searchResultsShown ? patchLibrarian->searchBankFiles : patchLibrarian->bankFiles;
    const int index = pane == 0 ? patchLibrarian->selectedBankUpper : patchLibrarian->selectedBankLower;
    return index >= 0 && index < static_cast<int>(banks.size()) ? banks[index] : nullptr;
}

int Halvoran::selectedPane() const {
    if (librarianView && librarianView->selectedUpper < 0) return 1;
    return 0;
}

void Halvoran::SendSingleProgramFromLibrarian(bool store) {
    storeAfterSend = store;
    if (!patchLibrarian) return;
    // A click on a lower slot leaves no upper slot selected: the lower pane's
    // selected program is the one to store then.
    const int pane = selectedPane();
    sendPatchToDeviceFromLibrarian(pane == 0 ? patchLibrarian->selectedSlotUpper : patchLibrarian->selectedSlotLower,
                                   pane);
}

void Halvoran::SendAllProgramsFromLibrarian() {
    if (!patchLibrarian || !midiManager) return;
    patchLibrarian->selectedSlotUpper = 0;
    if (!midiInOutSet || !midiOutReady) return;
    storeAllPatchesToDeviceFromLibrarian(selectedPane(), 0);
}

void Halvoran::storeAllPatchesToDeviceFromLibrarian(int lowerPane, int second) {
    if (!midiOutReady || !midiManager) return;
    const PatchFile* bank = paneBank(lowerPane);
    if (!bank) return;
    midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobStoreAllPatches,
                          [bank, lowerPane, second](MIDIMessageSender& s) {
                              s.programsToStore = bank->patches;
                              s.intArg1 = lowerPane;
                              s.intArg2 = second;
                          });
}

void Halvoran::sendPartDataBackToHardware(int) {
    if (!midiManager) return;
    midiManager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement,
                          [](MIDIMessageSender& s) { s.applyLocally = false; });
}

// ---- Librarian and progress

void Halvoran::DisplayProcessingIndicator(bool show) {
    // The flags gate incoming MIDI at once; the veil and the page it covered
    // are the GUI thread's to change, where the panel is hit-tested and drawn
    // and where the user edits the banks the librarian page shows.
    transferBusy = false;
    processingIndicator = show;
    if (!show && midiManager) midiManager->awaitingPanelDump = false;
    // The overlay's Cancel is for the request that showed it, not for one
    // that starts after it went.
    const uint64_t request = show && midiManager ? midiManager->sender->latestRequest() : 0;
    onGuiThread([this, show, request] {
        if (midiManager) midiManager->overlayRequest = request;
        showProcessingIndicator(show);
    });
}

void Halvoran::showProcessingIndicator(bool show) {
    // A host call (a project recall) may be setting the same controls.
    BASE_MutexLock lock(GetMutex());
    hideLayer(PanelLayers::kProgressOverlay, !show);
    hideLayer(PanelLayers::kCancelRequestLayer, !show);
    if (show) return;
    TabSwitchFunctions::mainTabSwitch(this, kMainTab, GetParam(kMainTab)->Int(), 0, 0);
    TabSwitchFunctions::quickTabSwitch(this, kTimbreSelect, selectedTimbre, 0);
}

void Halvoran::SetLibrarianRequestActive(bool active) {
    if (midiManager) {
        midiManager->awaitingPanelDump = !active;
        midiManager->armLibraryPatchRequest(active);
        midiManager->replySeen = false;
    }
    answered = false;
}

void Halvoran::SetLibrarianStatusUnsaved(bool unsaved) {
    if (!unsaved) return;
    if (midiManager) {
        midiManager->awaitingPanelDump = false;
        midiManager->armLibraryPatchRequest(false);
    }
    // Straight into the parameters, as the host needs no word of it; the
    // transfers call this from their threads, the panel follows on its own.
    GetParam(kBankEditUnsaved)->Set(1.0);
    GetParam(kDiscardBankData)->Set(0.0);
    onGuiThread([this] {
        if (graphics) {
            graphics->SetParameterFromPlug(kBankEditUnsaved, GetParam(kBankEditUnsaved)->GetNormalized(), true);
            graphics->SetParameterFromPlug(kDiscardBankData, GetParam(kDiscardBankData)->GetNormalized(), true);
        }
        hideLayer(PanelLayers::kDiscardChangesRight, false);
        hideLayer(PanelLayers::kKeepBankOpen, true);
        hideLayer(PanelLayers::kLeftPatchPopupMenu, true);
    });
    setStatusText("Program received to slot(s)");
}

void Halvoran::onGuiThread(std::function<void()> work) { mGuiCalls->call(std::move(work)); }

bool Halvoran::isGuiThread() { return platform::appkit::RunLoop::isMainThread(); }

void Halvoran::updatePatchLibrarianView(int which) {
    if (which < 0 || which > 2 || !librarianView) return;
    if (which == 2) setLibrarianViewDirty();
    if (which != 1) librarianView->patchSelectionUpperChanged();
    // The source pane showing the edited bank shows its changes too.
    const bool sameBank = librarianView->lowerBank() && librarianView->lowerBank() == librarianView->upperBank();
    if (which != 0 || sameBank) librarianView->patchSelectionLowerChanged();
}

void Halvoran::setLibrarianViewDirty() {
    if (librarianView) librarianView->SetDirty(false);
}
