#include "src/UIConfigManager.h"

#include "framework/IGraphics.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

struct ParamName {
    const char* name;
    int index;
};

// Every symbolic parameter name of the panel description with its index. An
// index without a name (the second timbre's copy of a parameter, and a few
// spares) is reached as an offset from a named one.
const ParamName kParamNames[] = {
    {"kLfo1Frequency", 0},
    {"kLfo2Frequency", 2},
    {"kOsc1Control1", 4},
    {"kOsc1Control2", 6},
    {"kOsc2Semitone", 8},
    {"kOsc2Tune", 10},
    {"kOsc1Level", 12},
    {"kOsc2Level", 14},
    {"kNoiseLevel", 16},
    {"kPortamento", 18},
    {"kFilterCutoff", 20},
    {"kFilterResonance", 22},
    {"kFilterType", 24},
    {"kFilterEGIntensity", 26},
    {"kFilterKBDTrack", 28},
    {"kEG1Attack", 30},
    {"kEG1Decay", 32},
    {"kEG1Sustain", 34},
    {"kEG1Release", 36},
    {"kAmpLevel", 38},
    {"kAmpPan", 40},
    {"kAmpGateSw", 42},
    {"kAmpDistSw", 44},
    {"kAmpKBDTrack", 46},
    {"kEG2Attack", 48},
    {"kEG2Decay", 50},
    {"kEG2Sustain", 52},
    {"kEG2Release", 54},
    {"kModFxSpeed", 56},
    {"kModFxDepth", 57},
    {"kDelayFxTime", 58},
    {"kDelayFxDepth", 59},
    {"kOsc1DWGSWave", 60},
    {"kVPatchAmnt1", 62},
    {"kVPatchAmnt2", 64},
    {"kVPatchAmnt3", 66},
    {"kVPatchAmnt4", 68},
    {"kArpGate", 70},
    {"kArpOnOff", 71},
    {"kArpLatch", 72},
    {"kVPatchSrc1", 73},
    {"kVPatchSrc2", 75},
    {"kVPatchSrc3", 77},
    {"kVPatchSrc4", 79},
    {"kVPatchDest1", 81},
    {"kVPatchDest2", 83},
    {"kVPatchDest3", 85},
    {"kVPatchDest4", 87},
    {"kArpRange", 89},
    {"kArpType", 90},
    {"kNumAutomatedParams", 91},
    {"kPatchFileDialog", 91},
    {"kLfo1Waveform", 92},
    {"kLfo1KeySync", 94},
    {"kOsc2OscMod", 96},
    {"kDetune", 98},
    {"kVibratoInt", 100},
    {"kModFxType", 102},
    {"kDelayFxType", 103},
    {"kDelayFxTempoSync", 104},
    {"kDelayFxSyncNote", 105},
    {"kEQLowFreq", 106},
    {"kEQLowGain", 107},
    {"kEQHiFreq", 108},
    {"kEQHiGain", 109},
    {"kSeq1Step1", 110},
    {"kSeq1Step2", 112},
    {"kSeq1Step3", 114},
    {"kSeq1Step4", 116},
    {"kSeq1Step5", 118},
    {"kSeq1Step6", 120},
    {"kSeq1Step7", 122},
    {"kSeq1Step8", 124},
    {"kSeq1Step9", 126},
    {"kSeq1Step10", 128},
    {"kSeq1Step11", 130},
    {"kSeq1Step12", 132},
    {"kSeq1Step13", 134},
    {"kSeq1Step14", 136},
    {"kSeq1Step15", 138},
    {"kSeq1Step16", 140},
    {"kSeq2Step1", 142},
    {"kSeq2Step2", 144},
    {"kSeq2Step3", 146},
    {"kSeq2Step4", 148},
    {"kSeq2Step5", 150},
    {"kSeq2Step6", 152},
    {"kSeq2Step7", 154},
    {"kSeq2Step8", 156},
    {"kSeq2Step9", 158},
    {"kSeq2Step10", 160},
    {"kSeq2Step11", 162},
    {"kSeq2Step12", 164},
    {"kSeq2Step13", 166},
    {"kSeq2Step14", 168},
    {"kSeq2Step15", 170},
    {"kSeq2Step16", 172},
    {"kSeq3Step1", 174},
    {"kSeq3Step2", 176},
    {"kSeq3Step3", 178},
    {"kSeq3Step4", 180},
    {"kSeq3Step5", 182},
    {"kSeq3Step6", 184},
    {"kSeq3Step7", 186},
    {"kSeq3Step8", 188},
    {"kSeq3Step9", 190},
    {"kSeq3Step10", 192},
    {"kSeq3Step11", 194},
    {"kSeq3Step12", 196},
    {"kSeq3Step13", 198},
    {"kSeq3Step14", 200},
    {"kSeq3Step15", 202},
    {"kSeq3Step16", 204},
    {"kModSeqSwitch", 206},
    {"kModSeqType", 208},
    {"kModSeqLastStep", 210},
    {"kModSeqKeySync", 212},
    {"kModSeqRunMode", 214},
    {"kModSeqResolution", 216},
    {"kSeq1Knob", 218},
    {"kSeq1Motion", 220},
    {"kSeq2Knob", 222},
    {"kSeq2Motion", 224},
    {"kSeq3Knob", 226},
    {"kSeq3Motion", 228},
    {"kFilterVeloSense", 230},
    {"kAmpVeloSense", 232},
    {"kArpTempo", 234},
    {"kArpSwing", 235},
    {"kArpReso", 236},
    {"kArpKeySync", 237},
    {"kArpTarget", 238},
    {"kArpStep1", 239},
    {"kArpStep2", 240},
    {"kArpStep3", 241},
    {"kArpStep4", 242},
    {"kArpStep5", 243},
    {"kArpStep6", 244},
    {"kArpStep7", 245},
    {"kArpStep8", 246},
    {"kArpLength", 247},
    {"kLfo1TempoSync", 248},
    {"kLfo1SyncNote", 250},
    {"kLfo2Waveform", 252},
    {"kLfo2KeySync", 254},
    {"kLfo2TempoSync", 256},
    {"kLfo2SyncNote", 258},
    {"kOsc1Waveform", 260},
    {"kOsc2Waveform", 262},
    {"kVoiceAssign", 264},
    {"kTimbreChannel", 266},
    {"kVoiceTrigger", 270},
    {"kEG1Reset", 272},
    {"kEG2Reset", 274},
    {"kTimbreTune", 276},
    {"kTimbreBendRange", 278},
    {"kTimbreTranspose", 280},
    {"kOverrideTempo", 282},
    {"kMasterTune", 283},
    {"kMasterTranspose", 284},
    {"kMasterVelocityArea", 285},
    {"kMasterVelocityValue", 286},
    {"kMasterPosition", 287},
    {"kGlobalMIDICha", 288},
    {"kGlobalLocalOn", 289},
    {"kGlobalClockSource", 290},
    {"kGlobalMIDI1Ctrl", 291},
    {"kGlobalMIDI2Ctrl", 292},
    {"kMIDIFilterProgramChange", 293},
    {"kMIDIFilterControlChange", 294},
    {"kMIDIFilterPitchBend", 295},
    {"kMIDIFilterSysEx", 296},
    {"kMIDIFilterWriteProtect", 297},
    {"kPluginMidiIn", 298},
    {"kBankSelection", 299},
    {"kPatchSelection", 300},
    {"kPatchName", 301},
    {"kPatchNameView", 303},
    {"kCommonMode", 304},
    {"kPatchRename", 306},
    {"kPartLock", 307},
    {"kSectionLockOsc1", 309},
    {"kSectionLockOsc2", 311},
    {"kSectionLockVoice", 313},
    {"kSectionLockMixer", 315},
    {"kSectionLockPitchMod", 317},
    {"kSectionLockUnisono", 319},
    {"kSectionLockFilter", 321},
    {"kSectionLockAmp", 323},
    {"kSectionLockFilterEnv", 325},
    {"kSectionLockAmpEnv", 327},
    {"kSectionLockArp", 329},
    {"kSectionLockLFO1", 330},
    {"kSectionLockLFO2", 332},
    {"kSectionLockVP1", 334},
    {"kSectionLockVP2", 336},
    {"kSectionLockVP3", 338},
    {"kSectionLockVP4", 340},
    {"kSectionLockFX1", 342},
    {"kSectionLockFX2", 343},
    {"kSectionLockEQ", 344},
    {"kSectionLockCommon", 345},
    {"kOctaveShift", 346},
    {"kMIDILed", 347},
    {"kMasterKeyboard", 348},
    {"kMIDIFilterDAWCCPassThrough", 349},
    {"kMIDIFilterDAWPCPassThrough", 350},
    {"kMIDIFilterDAWNotePassThrough", 351},
    {"kMIDIFilterDAWPPPassThrough", 352},
    {"kMIDIFilterDAWPAPassThrough", 353},
    {"kMIDIFilterDAWCAPassThrough", 354},
    {"kMIDIFilterDAWSEPassThrough", 355},
    {"kMIDIFilterHWCCPassThrough", 356},
    {"kMIDIFilterHWPCPassThrough", 357},
    {"kMIDIFilterHWNotePassThrough", 358},
    {"kMIDIFilterHWPPPassThrough", 359},
    {"kMIDIFilterHWPAPassThrough", 360},
    {"kMIDIFilterHWCAPassThrough", 361},
    {"kMIDIFilterHWSEPassThrough", 362},
    {"kMIDIFilterTrackIncomingMIDI", 363},
    {"kMIDIFilterDirectToHardware", 364},
    {"kMIDIFilterToDAWBuffer", 365},
    {"kAdjustDAWOffset", 366},
    {"kDummyParam01", 367},
    {"kDummyParam02", 368},
    {"kDummyParam03", 369},
    {"kDummyParam04", 370},
    {"kDummyParam05", 371},
    {"kDummyParam06", 372},
    {"kDummyParam07", 373},
    {"kDummyParam08", 374},
    {"kDummyParam09", 375},
    {"kDummyParam10", 376},
    {"kDummyParam11", 377},
    {"kDummyParam12", 378},
    {"kDummyParam13", 379},
    {"kDummyParam14", 380},
    {"kDummyParam15", 381},
    {"kDummyParam16", 382},
    {"kDummyParam17", 383},
    {"kDummyParam18", 384},
    {"kDummyParam19", 385},
    {"kDummyParam20", 386},
    {"kDummyParam21", 387},
    {"kDummyParam22", 388},
    {"kDummyParam23", 389},
    {"kDummyParam24", 390},
    {"kDummyParam25", 391},
    {"kDummyParam26", 392},
    {"kDummyParam27", 393},
    {"kDummyParam28", 394},
    {"kDummyParam29", 395},
    {"kDummyParam30", 396},
    {"kDummyParam31", 397},
    {"kDummyParam32", 398},
    {"kDummyParam33", 399},
    {"kDummyParam34", 400},
    {"kDummyParam35", 401},
    {"kDummyParam36", 402},
    {"kDummyParam37", 403},
    {"kDummyParam38", 404},
    {"kDummyParam39", 405},
    {"kDummyParam40", 406},
    {"kCurrentOpenPatchBankL", 407},
    {"kCurrentOpenPatchBankR", 408},
    {"kCurrentOpenPerfBankL", 409},
    {"kCurrentOpenPerfBankR", 410},
    {"kCurrentBank", 411},
    {"kCurrentPatch", 412},
    {"kOverwriteBank", 413},
    {"kPatchSearchString", 414},
    {"kPatchSearch", 415},
    {"kUserInterfaceSkin", 416},
    {"kUserInterfaceSize", 417},
    {"kFirstRunExit", 418},
    {"kDisplayAboutWindow", 419},
    {"kExitAboutWindow", 420},
    {"kViewMIDIFilterSettings", 421},
    {"kControlDisplayMIDIOutDelay", 422},
    {"kSendMIDIClockInfo", 423},
    {"kSendMIDIClockPointer", 424},
    {"kControlDisplayBuild", 425},
    {"kDeviceOutSelection", 427},
    {"kDeviceInSelection", 428},
    {"kRequestDebug", 429},
    {"kRequestGlobal", 430},
    {"kRandomize", 431},
    {"kRandomizeCancel", 432},
    {"kRandomizeLower", 433},
    {"kRandomizeUpper", 434},
    {"kBankEditUnsaved", 435},
    {"kPatchUp", 436},
    {"kPatchDown", 437},
    {"kControlLibrary", 438},
    {"kControlDisplayName", 439},
    {"kControlDisplayValue", 440},
    {"kControlDisplayCC", 441},
    {"kShowModSequence", 443},
    {"kShowLibrarian", 444},
    {"kReadFromTimbre1", 445},
    {"kReadFromTimbre2", 446},
    {"kLoadToTimbre1", 447},
    {"kLoadToTimbre2", 448},
    {"kControlDisplayTimbre", 449},
    {"kControlDisplayPatch", 450},
    {"kPushArrangement", 451},
    {"kLibSyncTimer", 452},
    {"kTimbreLinker", 453},
    {"kCurrentPatchBank", 454},
    {"kDiscardBankData", 455},
    {"kLibUpperPreviousBank", 456},
    {"kLibUpperNextBank", 457},
    {"kLibLowerPreviousBank", 458},
    {"kLibLowerNextBank", 459},
    {"kKeepSelectedBank", 460},
    {"kCancelDataRequest", 461},
    {"kPatchSelectionListUpper", 462},
    {"kPatchSelectionListLower", 463},
    {"kTimbreSelectTrigger", 464},
    {"kRequestTempData", 465},
    {"kRefreshFolders", 466},
    {"kMainTab", 467},
    {"kTimbreSelect", 468},
    {"kGlobalSettings", 469},
    {"kLibrarianArea", 470},
    {"kDataType", 471},
};

}  // namespace

void UIConfigManager::initParams() {
    log("CONFIG READER: Started to initialize parameters...");
    for (const ParamName& p : kParamNames) mapParamToString(p.name, p.index);
    log("CONFIG READER: Completed!");
}

void UIConfigManager::mapParamToString(std::string name, int index) {
    // The first registration of a name stays.
    if (paramNames.emplace(name, index).second) return;
    if (debugLogOn()) {
        std::ostringstream line;
        line << "CONFIG READER: parameter " << name << " ALREADY EXISTS!";
        log(line.str());
    }
}

int UIConfigManager::getParamByName(std::string name) {
    auto it = paramNames.find(name);
    if (it != paramNames.end()) return it->second;
    if (debugLogOn()) {
        std::ostringstream line;
        line << "CONFIG READER: parameter " << name << " NOT FOUND!";
        log(line.str());
    }
    return -1;
}

namespace {

struct ImageRow {
    const char* name;
    int id;
    int frames;
    bool horizontal;
    const char* path;
};

// Images of every skin, in load order. Knob strips are stacked vertically.
const ImageRow kCommonImages[] = {
    {"MANAGER_BG_ID2", 102, 1, true, "resources/img-v2/manager_bg.png"},
    {"BG_ID_BROWSER", 106, 1, true, "resources/img-v2/browser-layer.png"},
    {"IKNOBROTATERCONTROL_ID2", 113, 127, false, "resources/img-v2/Halvoran1.png"},
    {"IKNOBROTATERCONTROL_ID25", 114, 25, false, "resources/img-v2/Halvoran25.png"},
    {"IKNOBROTATERCONTROL_ID201", 115, 201, false, "resources/img-v2/Halvoran201.png"},
    {"IKNOBROTATERCONTROL_ID3", 169, 127, false, "resources/img-v2/Halvoran3.png"},
    {"IKNOBROTATERCONTROL_IDARP", 312, 280, false, "resources/img-v2/Halvoran-arp.png"},
    {"IKNOBROTATERCONTROL_ID49", 323, 49, false, "resources/img-v2/Halvoran49.png"},
    {"IKNOBROTATERCONTROL_ID64", 324, 64, false, "resources/img-v2/Halvoran64.png"},
    {"IKNOBROTATERCONTROL_ID101", 325, 101, false, "resources/img-v2/Halvoran101.png"},
    {"PROGRESS_INDICATOR_ID", 122, 1, true, "resources/img-v2/overlayer.png"},
    {"BUTTON_PINK_ID", 300, 2, false, "resources/img-v2/button-pink.png"},
    {"LAYER_LED_SET_ID", 301, 3, false, "resources/img-v2/layer-led-set.png"},
    {"LAYER_LED_SET_0_ID", 333, 1, true, "resources/img-v2/layer-led-set-OFF.png"},
    {"BUTTON_BLCK_ID", 302, 2, false, "resources/img-v2/button-black-woled.png"},
    {"BUTTON_BLCK_10_ID", 303, 2, false, "resources/img-v2/button-black.png"},
    {"BUTTON_SYNC_ID", 304, 2, false, "resources/img/btn-tempo-sync.png"},
    {"BUTTON_SYNC_SML_ID", 305, 2, false, "resources/img/btn-tempo-sync-sml.png"},
    {"LED_MIXER_MIDI_ID", 330, 2, false, "resources/img-v2/led-pink.png"},
    {"BG_ID_SINGLE_PROTECTOR", 331, 1, true, "resources/img-v2/hvrn-single-led-protect.png"},
    {"BG_ID_TIMBRE_PROTECTOR", 334, 1, true, "resources/img-v2/layer-select-protector.png"},
    {"BTN_ID_TIMBRE_LINKER", 335, 2, false, "resources/img-v2/layer-linker.png"},
    {"BG_ID_LINKER_OFF", 336, 1, true, "resources/img-v2/linker-off.png"},
    {"BTN_18x18_ID", 332, 1, true, "resources/img-v2/btn-18x18.png"},
    {"BTN_ID_ARP_LAST_STEP", 337, 2, false, "resources/img-v2/big-button-last-step.png"},
    {"BUTTON_ID_SETTING_LOCK", 316, 2, false, "resources/img/setting-lock.png"},
    {"BG_RENAME_ID", 257, 1, true, "resources/img/newNameBG.png"},
    {"BUTTON_LIB_DISCARD_ID", 117, 1, true, "resources/img-v2/btn-lib-discard-edit.png"},
    {"BUTTON_LIB_DATATYPE_ID", 119, 2, false, "resources/img-v2/btn-lib-display-multis.png"},
    {"BUTTON_BANK_RECALL_ID", 161, 2, false, "resources/img-v2/btn-lib-bank-memory.png"},
    {"BTN_127x18_ID", 258, 1, true, "resources/img-v2/btn-127x18.png"},
    {"BUTTON_LIB_CANCEL_ID", 118, 1, true, "resources/img-v2/btn-cancel-request.png"},
    {"BUTTON_LIB_LOAD_TO_ID", 327, 2, false, "resources/img/big-button-brem.png"},
    {"ID_TRIGGER", 200, 1, true, "resources/img-v2/buttontrigger.png"},
    {"BG_ID_RANDOM", 201, 1, true, "resources/img-v2/randombg.png"},
    {"BG_ABOUT_ID", 400, 1, true, "resources/img-v2/about-Halvoran.png"},
    {"BTN_EXIT_ABOUT_ID", 401, 1, true, "resources/img-v2/about-exit.png"},
    {"BTN_SEE_ABOUT_ID", 402, 1, true, "resources/img-v2/about-trigger.png"},
    {"BG_FIRST_RUN_ID", 403, 1, true, "resources/img-v2/first-run-Halvoran.png"},
    {"BTN_EXIT_FIRST_RUN_ID", 404, 1, true, "resources/img-v2/first-run-exit.png"},
    {"BG_ID_MIDI_FILTERS", 418, 1, true, "resources/img-v2/advanced-midi-filters.png"},
    {"BTN_CHECKBOX_ID", 419, 2, false, "resources/img-v2/checkbox-button.png"},
    {"BUTTON_BANK_SEARCH_ID", 999, 2, false, "resources/img-v2/btn-search.png"},
    {"BG_SEARCH_FIELD_ID", 998, 1, true, "resources/img-v2/bg-librarian-search-field.png"},
};

// Each skin's backgrounds: the file is "resources/img-v2/" + base + the skin's suffix + ".png".
struct Background {
    const char* name;
    const char* base;
    int ids[3];  // skins 0, 1, 2
};

const Background kBackgrounds[] = {
    {"BG_ID_PLAIN", "bg-main", {505, 104, 605}},
    {"BG_ID_MAIN", "layer-main", {502, 107, 602}},
    {"BG_ID_ARP", "arp-edit-area", {503, 108, 603}},
    {"BG_ID_VPA", "vp-area", {504, 109, 604}},
    {"BG_ID_GLOBAL", "layer-global-settings", {506, 313, 606}},
    {"BG_ID_FUNC1", "midi-routing-1-hv", {500, 314, 600}},
    {"BG_ID_FUNC2", "midi-routing-2-hv", {501, 315, 601}},
};

const char* const kSkinSuffix[3] = {"-leg", "", "-pla"};

}  // namespace

void UIConfigManager::initImages(IGraphics* graphics) {
    log("CONFIG READER: Started to read image resources...");
    struct Load {
        int id;
        const char* name;
        std::string path;
        int frames;
        bool horizontal;
    };
    std::vector<Load> loads;
    for (const ImageRow& r : kCommonImages) loads.push_back({r.id, r.name, r.path, r.frames, r.horizontal});
    if (skin >= 0 && skin <= 2) {
        // The legacy skin shows the lock images the other way round.
        const bool swapped = skin == 0;
        loads.push_back({128, swapped ? "BUTTON_LOCK_BLACK_ID" : "BUTTON_LOCK_WHITE_ID",
                         "resources/img-v2/btn-lock-white.png", 2, false});
        loads.push_back({129, swapped ? "BUTTON_LOCK_WHITE_ID" : "BUTTON_LOCK_BLACK_ID",
                         "resources/img-v2/btn-lock-black.png", 2, false});
        for (const Background& b : kBackgrounds)
            loads.push_back(
                {b.ids[skin], b.name, std::string("resources/img-v2/") + b.base + kSkinSuffix[skin] + ".png", 1, true});
    }
    loads.push_back({996, "BUTTON_BANK_OVERWRITE_ID", "resources/img-v2/btn-overwrite-slot.png", 1, true});

    // Decoded all at once, on several threads; the table is then filled in
    // its order from the cache.
    if (graphics && !releaseImages) {
        std::vector<IGraphics::BitmapRequest> requests;
        for (const Load& l : loads) requests.push_back({l.id, l.path.c_str()});
        graphics->PreloadBitmaps(requests, scale);
    }
    for (const Load& l : loads) preloadImage(graphics, l.id, l.name, l.path.c_str(), l.frames, l.horizontal);
    log("CONFIG READER: Completed!");
}

void UIConfigManager::preloadImage(IGraphics* graphics, int id, const char* name, const char* path, int frames,
                                   bool horizontal) {
    if (!graphics) return;
    IBitmap bitmap = graphics->LoadIBitmap(id, path, scale, frames, false);
    if (releaseImages) {
        graphics->ReleaseBitmap(&bitmap);
        return;
    }
    // An image that could not be loaded stays out of the table: asking for it
    // then gives the empty bitmap and says so in the log.
    if (!bitmap.mData) return;
    images[name] = ImageInfo{id, frames, horizontal};
}

void UIConfigManager::ClearImageCache() {
    releaseImages = true;
    initImages(graphics);
    releaseImages = false;
}

IBitmap UIConfigManager::getImageByName(IGraphics* graphics, std::string name) {
    auto it = images.find(name);
    if (it != images.end() && graphics)
        return graphics->getImageById(it->second.id, it->second.frames, it->second.horizontal);
    if (debugLogOn()) {
        std::ostringstream line;
        line << "CONFIG READER: Image " << name << " MISSING!";
        log(line.str());
    }
    return IBitmap();
}
