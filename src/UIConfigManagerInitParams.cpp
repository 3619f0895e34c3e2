#include "src/UIConfigManager.h"

#include <sstream>

namespace {

struct ParamName {
    const char* name;
    int index;
};

// Every symbolic parameter name of the panel description with its index. An
// index without a name (the second timbre's copy of a parameter, and a few
// spares) is reached as an offset from a named one.
const ParamName kParamNames[] = {
    {"kLfo1Frequency", 0}, {"kLfo2Frequency", 2}, {"kOsc1Control1", 4}, {"kOsc1Control2", 6},
    {"kOsc2Semitone", 8}, {"kOsc2Tune", 10}, {"kOsc1Level", 12}, {"kOsc2Level", 14}, {"kNoiseLevel", 16},
    {"kPortamento", 18}, {"kFilterCutoff", 20}, {"kFilterResonance", 22}, {"kFilterType", 24},
    {"kFilterEGIntensity", 26}, {"kFilterKBDTrack", 28}, {"kEG1Attack", 30}, {"kEG1Decay", 32},
    {"kEG1Sustain", 34}, {"kEG1Release", 36}, {"kAmpLevel", 38}, {"kAmpPan", 40}, {"kAmpGateSw", 42},
    {"kAmpDistSw", 44}, {"kAmpKBDTrack", 46}, {"kEG2Attack", 48}, {"kEG2Decay", 50}, {"kEG2Sustain", 52},
    {"kEG2Release", 54}, {"kModFxSpeed", 56}, {"kModFxDepth", 57}, {"kDelayFxTime", 58},
    {"kDelayFxDepth", 59}, {"kOsc1DWGSWave", 60}, {"kVPatchAmnt1", 62}, {"kVPatchAmnt2", 64},
    {"kVPatchAmnt3", 66}, {"kVPatchAmnt4", 68}, {"kArpGate", 70}, {"kArpOnOff", 71}, {"kArpLatch", 72},
    {"kVPatchSrc1", 73}, {"kVPatchSrc2", 75}, {"kVPatchSrc3", 77}, {"kVPatchSrc4", 79}, {"kVPatchDest1", 81},
    {"kVPatchDest2", 83}, {"kVPatchDest3", 85}, {"kVPatchDest4", 87}, {"kArpRange", 89}, {"kArpType", 90},
    {"kNumAutomatedParams", 91}, {"kPatchFileDialog", 91}, {"kLfo1Waveform", 92}, {"kLfo1KeySync", 94},
    {"kOsc2OscMod", 96}, {"kDetune", 98}, {"kVibratoInt", 100}, {"kModFxType", 102}, {"kDelayFxType", 103},
    {"kDelayFxTempoSync", 104}, {"kDelayFxSyncNote", 105}, {"kEQLowFreq", 106}, {"kEQLowGain", 107},
    {"kEQHiFreq", 108}, {"kEQHiGain", 109}, {"kSeq1Step1", 110}, {"kSeq1Step2", 112}, {"kSeq1Step3", 114},
    {"kSeq1Step4", 116}, {"kSeq1Step5", 118}, {"kSeq1Step6", 120}, {"kSeq1Step7", 122}, {"kSeq1Step8", 124},
    {"kSeq1Step9", 126}, {"kSeq1Step10", 128}, {"kSeq1Step11", 130}, {"kSeq1Step12", 132},
    {"kSeq1Step13", 134}, {"kSeq1Step14", 136}, {"kSeq1Step15", 138}, {"kSeq1Step16", 140},
    {"kSeq2Step1", 142}, {"kSeq2Step2", 144}, {"kSeq2Step3", 146}, {"kSeq2Step4", 148}, {"kSeq2Step5", 150},
    {"kSeq2Step6", 152}, {"kSeq2Step7", 154}, {"kSeq2Step8", 156}, {"kSeq2Step9", 158}, {"kSeq2Step10", 160},
    {"kSeq2Step11", 162}, {"kSeq2Step12", 164}, {"kSeq2Step13", 166}, {"kSeq2Step14", 168},
    {"kSeq2Step15", 170}, {"kSeq2Step16", 172}, {"kSeq3Step1", 174}, {"kSeq3Step2", 176},
    {"kSeq3Step3", 178}, {"kSeq3Step4", 180}, {"kSeq3Step5", 182}, {"kSeq3Step6", 184}, {"kSeq3Step7", 186},
    {"kSeq3Step8", 188}, {"kSeq3Step9", 190}, {"kSeq3Step10", 192}, {"kSeq3Step11", 194},
    {"kSeq3Step12", 196}, {"kSeq3Step13", 198}, {"kSeq3Step14", 200}, {"kSeq3Step15", 202},
    {"kSeq3Step16", 204}, {"kModSeqSwitch", 206}, {"kModSeqType", 208}, {"kModSeqLastStep", 210},
    {"kModSeqKeySync", 212}, {"kModSeqRunMode", 214}, {"kModSeqResolution", 216}, {"kSeq1Knob", 218},
    {"kSeq1Motion", 220}, {"kSeq2Knob", 222}, {"kSeq2Motion", 224}, {"kSeq3Knob", 226}, {"kSeq3Motion", 228},
    {"kFilterVeloSense", 230}, {"kAmpVeloSense", 232}, {"kArpTempo", 234}, {"kArpSwing", 235},
    {"kArpReso", 236}, {"kArpKeySync", 237}, {"kArpTarget", 238}, {"kArpStep1", 239}, {"kArpStep2", 240},
    {"kArpStep3", 241}, {"kArpStep4", 242}, {"kArpStep5", 243}, {"kArpStep6", 244}, {"kArpStep7", 245},
    {"kArpStep8", 246}, {"kArpLength", 247}, {"kLfo1TempoSync", 248}, {"kLfo1SyncNote", 250},
    {"kLfo2Waveform", 252}, {"kLfo2KeySync", 254}, {"kLfo2TempoSync", 256}, {"kLfo2SyncNote", 258},
    {"kOsc1Waveform", 260}, {"kOsc2Waveform", 262}, {"kVoiceAssign", 264}, {"kTimbreChannel", 266},
    {"kVoiceTrigger", 270}, {"kEG1Reset", 272}, {"kEG2Reset", 274}, {"kTimbreTune", 276},
    {"kTimbreBendRange", 278}, {"kTimbreTranspose", 280}, {"kOverrideTempo", 282}, {"kMasterTune", 283},
    {"kMasterTranspose", 284}, {"kMasterVelocityArea", 285}, {"kMasterVelocityValue", 286},
    {"kMasterPosition", 287}, {"kGlobalMIDICha", 288}, {"kGlobalLocalOn", 289}, {"kGlobalClockSource", 290},
    {"kGlobalMIDI1Ctrl", 291}, {"kGlobalMIDI2Ctrl", 292}, {"kMIDIFilterProgramChange", 293},
    {"kMIDIFilterControlChange", 294}, {"kMIDIFilterPitchBend", 295}, {"kMIDIFilterSysEx", 296},
    {"kMIDIFilterWriteProtect", 297}, {"kPluginMidiIn", 298}, {"kBankSelection", 299},
    {"kPatchSelection", 300}, {"kPatchName", 301}, {"kPatchNameView", 303}, {"kCommonMode", 304},
    {"kPatchRename", 306}, {"kPartLock", 307}, {"kSectionLockOsc1", 309}, {"kSectionLockOsc2", 311},
    {"kSectionLockVoice", 313}, {"kSectionLockMixer", 315}, {"kSectionLockPitchMod", 317},
    {"kSectionLockUnisono", 319}, {"kSectionLockFilter", 321}, {"kSectionLockAmp", 323},
    {"kSectionLockFilterEnv", 325}, {"kSectionLockAmpEnv", 327}, {"kSectionLockArp", 329},
    {"kSectionLockLFO1", 330}, {"kSectionLockLFO2", 332}, {"kSectionLockVP1", 334}, {"kSectionLockVP2", 336},
    {"kSectionLockVP3", 338}, {"kSectionLockVP4", 340}, {"kSectionLockFX1", 342}, {"kSectionLockFX2", 343},
    {"kSectionLockEQ", 344}, {"kSectionLockCommon", 345}, {"kOctaveShift", 346}, {"kMIDILed", 347},
    {"kMasterKeyboard", 348}, {"kMIDIFilterDAWCCPassThrough", 349}, {"kMIDIFilterDAWPCPassThrough", 350},
    {"kMIDIFilterDAWNotePassThrough", 351}, {"kMIDIFilterDAWPPPassThrough", 352},
    {"kMIDIFilterDAWPAPassThrough", 353}, {"kMIDIFilterDAWCAPassThrough", 354},
    {"kMIDIFilterDAWSEPassThrough", 355}, {"kMIDIFilterHWCCPassThrough", 356},
    {"kMIDIFilterHWPCPassThrough", 357}, {"kMIDIFilterHWNotePassThrough", 358},
    {"kMIDIFilterHWPPPassThrough", 359}, {"kMIDIFilterHWPAPassThrough", 360},
    {"kMIDIFilterHWCAPassThrough", 361}, {"kMIDIFilterHWSEPassThrough", 362},
    {"kMIDIFilterTrackIncomingMIDI", 363}, {"kMIDIFilterDirectToHardware", 364},
    {"kMIDIFilterToDAWBuffer", 365}, {"kAdjustDAWOffset", 366}, {"kDummyParam01", 367},
    {"kDummyParam02", 368}, {"kDummyParam03", 369}, {"kDummyParam04", 370}, {"kDummyParam05", 371},
    {"kDummyParam06", 372}, {"kDummyParam07", 373}, {"kDummyParam08", 374}, {"kDummyParam09", 375},
    {"kDummyParam10", 376}, {"kDummyParam11", 377}, {"kDummyParam12", 378}, {"kDummyParam13", 379},
    {"kDummyParam14", 380}, {"kDummyParam15", 381}, {"kDummyParam16", 382}, {"kDummyParam17", 383},
    {"kDummyParam18", 384}, {"kDummyParam19", 385}, {"kDummyParam20", 386}, {"kDummyParam21", 387},
    {"kDummyParam22", 388}, {"kDummyParam23", 389}, {"kDummyParam24", 390}, {"kDummyParam25", 391},
    {"kDummyParam26", 392}, {"kDummyParam27", 393}, {"kDummyParam28", 394}, {"kDummyParam29", 395},
    {"kDummyParam30", 396}, {"kDummyParam31", 397}, {"kDummyParam32", 398}, {"kDummyParam33", 399},
    {"kDummyParam34", 400}, {"kDummyParam35", 401}, {"kDummyParam36", 402}, {"kDummyParam37", 403},
    {"kDummyParam38", 404}, {"kDummyParam39", 405}, {"kDummyParam40", 406}, {"kCurrentOpenPatchBankL", 407},
    {"kCurrentOpenPatchBankR", 408}, {"kCurrentOpenPerfBankL", 409}, {"kCurrentOpenPerfBankR", 410},
    {"kCurrentBank", 411}, {"kCurrentPatch", 412}, {"kOverwriteBank", 413}, {"kPatchSearchString", 414},
    {"kPatchSearch", 415}, {"kUserInterfaceSkin", 416}, {"kUserInterfaceSize", 417}, {"kFirstRunExit", 418},
    {"kDisplayAboutWindow", 419}, {"kExitAboutWindow", 420}, {"kViewMIDIFilterSettings", 421},
    {"kControlDisplayMIDIOutDelay", 422}, {"kSendMIDIClockInfo", 423}, {"kSendMIDIClockPointer", 424},
    {"kControlDisplayBuild", 425}, {"kDeviceOutSelection", 427}, {"kDeviceInSelection", 428},
    {"kRequestDebug", 429}, {"kRequestGlobal", 430}, {"kRandomize", 431}, {"kRandomizeCancel", 432},
    {"kRandomizeLower", 433}, {"kRandomizeUpper", 434}, {"kBankEditUnsaved", 435}, {"kPatchUp", 436},
    {"kPatchDown", 437}, {"kControlLibrary", 438}, {"kControlDisplayName", 439},
    {"kControlDisplayValue", 440}, {"kControlDisplayCC", 441}, {"kShowModSequence", 443},
    {"kShowLibrarian", 444}, {"kReadFromTimbre1", 445}, {"kReadFromTimbre2", 446}, {"kLoadToTimbre1", 447},
    {"kLoadToTimbre2", 448}, {"kControlDisplayTimbre", 449}, {"kControlDisplayPatch", 450},
    {"kPushArrangement", 451}, {"kLibSyncTimer", 452}, {"kTimbreLinker", 453}, {"kCurrentPatchBank", 454},
    {"kDiscardBankData", 455}, {"kLibUpperPreviousBank", 456}, {"kLibUpperNextBank", 457},
    {"kLibLowerPreviousBank", 458}, {"kLibLowerNextBank", 459}, {"kKeepSelectedBank", 460},
    {"kCancelDataRequest", 461}, {"kPatchSelectionListUpper", 462}, {"kPatchSelectionListLower", 463},
    {"kTimbreSelectTrigger", 464}, {"kRequestTempData", 465}, {"kRefreshFolders", 466}, {"kMainTab", 467},
    {"kTimbreSelect", 468}, {"kGlobalSettings", 469}, {"kLibrarianArea", 470}, {"kDataType", 471},
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
