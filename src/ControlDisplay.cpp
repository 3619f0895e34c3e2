#include "src/ControlDisplay.h"

#include <string>
#include <vector>

#include "framework/IControl.h"
#include "src/ControlAction.h"
#include "src/Halvoran.h"
#include "src/UIConfigManager.h"

namespace {

struct ListOf {
    int param;  // the first timbre's index where the parameter has two
    bool perTimbre;
    const char* list;
};

// Which value list names the values of which parameter.
constexpr ListOf kLists[] = {
    {kFilterType, true, "filterType"},
    {kArpRange, false, "arpRange"},
    {kArpReso, false, "arpResolution"},
    {kArpTarget, false, "arpTarget"},
    {kVoiceAssign, true, "voiceAssign"},
    {kTimbreChannel + 2, true, "voicePriority"},
    {kOctaveShift, false, "octaveShift"},
    {kDelayFxType, false, "delayFxType"},
    {kDelayFxSyncNote, false, "delaySyncNote"},
    {kModFxType, false, "modFxType"},
    {kLfo1Waveform, true, "lfoWaveform"},
    {kLfo2Waveform, true, "lfoWaveform2"},
    {kLfo1KeySync, true, "lfoKeySync"},
    {kLfo2KeySync, true, "lfoKeySync"},
    {kLfo1SyncNote, true, "lfoSyncNote"},
    {kLfo2SyncNote, true, "lfoSyncNote"},
    {kOsc1Waveform, true, "osc1Waveform"},
    {kOsc2Waveform, true, "osc2Waveform"},
    {kOsc2OscMod, true, "osc2OscMod"},
    {kVPatchSrc1, true, "patchSource"},
    {kVPatchSrc2, true, "patchSource"},
    {kVPatchSrc3, true, "patchSource"},
    {kVPatchSrc4, true, "patchSource"},
    {kVPatchDest1, true, "patchDestination"},
    {kVPatchDest2, true, "patchDestination"},
    {kVPatchDest3, true, "patchDestination"},
    {kVPatchDest4, true, "patchDestination"},
    {kSeq1Knob, true, "modSeqKnob"},
    {kSeq2Knob, true, "modSeqKnob"},
    {kSeq3Knob, true, "modSeqKnob"},
    {kSeq1Motion, true, "modSeqMotion"},
    {kSeq2Motion, true, "modSeqMotion"},
    {kSeq3Motion, true, "modSeqMotion"},
    {kModSeqType, true, "modSeqType"},
    {kModSeqKeySync, true, "modKeySync"},
    {kModSeqRunMode, true, "modRunMode"},
    {kModSeqResolution, true, "modSeqSyncNote"},
    {kEQLowFreq, false, "eqLowFrequency"},
    {kEQHiFreq, false, "eqHiFrequency"},
    {kCommonMode, false, "commonModeList"},
    {kOsc1DWGSWave, true, "osc1DWGSWave"},
    // The knob's value is the tempo less 20: the tempo itself is what the
    // instrument's own display shows.
    {kArpTempo, false, "tempoValues"},
    // Centre-zero values, signed as on the instrument's display.
    {kAmpPan, true, "pan"},
    {kOsc2Semitone, true, "signed64"},
    {kOsc2Tune, true, "signed64"},
    {kFilterEGIntensity, true, "signed64"},
    {kFilterKBDTrack, true, "signed64"},
    {kFilterVeloSense, true, "signed64"},
    {kAmpKBDTrack, true, "signed64"},
    {kAmpVeloSense, true, "signed64"},
    {kVPatchAmnt1, true, "signed64"},
    {kVPatchAmnt2, true, "signed64"},
    {kVPatchAmnt3, true, "signed64"},
    {kVPatchAmnt4, true, "signed64"},
    {kTimbreTune, true, "signed50"},
    {kTimbreTranspose, true, "signed24"},
    {kTimbreBendRange, true, "signed12"},
    {kEQLowGain, false, "signed12"},
    {kEQHiGain, false, "signed12"},
    {kArpSwing, false, "signed100"},
    {kMasterTune, false, "signed50"},
    {kMasterTranspose, false, "signed12"},
};

}  // namespace

const char* ControlDisplay::valueListFor(int paramIdx) {
    // Every step of the three sequences, both timbres' copies.
    if (paramIdx >= kSeq1Step1 && paramIdx <= kSeq3Step16 + 1) return "signed64";
    for (const ListOf& l : kLists)
        if (paramIdx == l.param || (l.perTimbre && paramIdx == l.param + 1)) return l.list;
    return nullptr;
}

void ControlDisplay::controlDisplay(Halvoran* plug, int paramIdx, double value) {
    IParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
    if (!param || !plug->constructionComplete) return;

    std::string text;
    const char* list = valueListFor(paramIdx);
    const int index = static_cast<int>(value);
    if (list && plug->uiConfigManager) {
        // A reader, never an insert: other threads show values too.
        const auto& lists = plug->uiConfigManager->valueLists;
        auto it = lists.find(list);
        if (it != lists.end() && index >= 0 && index < static_cast<int>(it->second.size())) text = it->second[index];
    }
    if (text.empty()) text = param->GetDisplayForHost(value);

    plug->setStatusText(param->GetNameForHost());
    plug->setValueText(text.c_str());

    // Plain text displays bound to the parameter show the same text; a
    // caption draws the parameter itself.
    if (ControlAction* action = param->GetControlAction())
        for (IControl* control : action->boundControls)
            if (auto* display = dynamic_cast<ITextControl*>(control);
                display && !dynamic_cast<ICaptionControl*>(control))
                display->SetTextFromPlug(text.c_str());
}
