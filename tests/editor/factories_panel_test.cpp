// The panel walk over the test panel description: rectangles at the three
// scales, layers and timbre copies, parameter set-up, bindings, lookup keys,
// and what the walk skips.
#include "factories_fixture.h"
#include "src/ICustomRadioButtonsControl.h"
#include "src/LibrarianViewControl.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using hvtest::FactoryPanel;

constexpr int kLfo1FrequencyCopy = kLfo1Frequency + 1;
constexpr int kMultiName = kCommonMode + 1;

// ---- Rectangles and text sizes at each scale ---------------------------------

struct ScaleCase {
    double scale;
    IRECT background, display, toggle, radio, radioButton1, radioButton3, knob, mixerFader, cutoffKnob, nameField,
        arpMenu, missingImage, masterFader;
    int size15, size14, size16, size13;
};

const ScaleCase kScales[] = {
    {0.75,
     {2, 3, 152, 78},
     {7, 7, 82, 22},
     {37, 45, 52, 60},
     {75, 152, 165, 182},
     {97, 152, 119, 182},
     {141, 152, 163, 182},
     {300, 75, 330, 105},
     {15, 225, 90, 231},
     {75, 300, 105, 330},
     {225, 7, 337, 20},
     {450, 15, 510, 24},
     {249, 57, 249, 57},
     {525, 75, 537, 112},
     11,
     10,
     12,
     9},
    {1.0,
     {3, 5, 203, 105},
     {10, 10, 111, 31},
     {50, 60, 70, 80},
     {101, 203, 221, 243},
     {131, 203, 161, 243},
     {191, 203, 221, 243},
     {400, 100, 440, 140},
     {20, 300, 120, 308},
     {100, 400, 140, 440},
     {300, 10, 450, 28},
     {600, 20, 680, 33},
     {333, 77, 333, 77},
     {700, 100, 716, 150},
     15,
     14,
     16,
     13},
    {1.25,
     {3, 6, 253, 131},
     {12, 12, 138, 38},
     {62, 75, 87, 100},
     {126, 253, 276, 303},
     {163, 253, 200, 303},
     {237, 253, 274, 303},
     {500, 125, 550, 175},
     {25, 375, 150, 385},
     {125, 500, 175, 550},
     {375, 12, 562, 34},
     {750, 25, 850, 41},
     {416, 96, 416, 96},
     {875, 125, 895, 187},
     18,
     17,
     20,
     16},
};

class PanelAtScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(PanelAtScale, RectanglesAndTextSizesAreScaledAndTruncated) {
    const ScaleCase& c = GetParam();
    FactoryPanel b(c.scale);
    // The background is the panel's first control, bound to nothing.
    ASSERT_NE(dynamic_cast<IBitmapControl*>(b.graphics->GetControl(0)), nullptr);
    EXPECT_EQ(b.graphics->GetControl(0)->ParamIdx(), -1);
    EXPECT_EQ(b.graphics->GetControl(0)->GetRECTRef(), c.background);

    const std::pair<IControl*, IRECT> rects[] = {
        {b.bound(kControlDisplayName), c.display},
        {b.bound(kViewMIDIFilterSettings), c.toggle},
        {FactoryPanel::controlIn(b.layer("mainLayer"), kAdjustDAWOffset), c.knob},
        {b.bound(kOsc1Level), c.mixerFader},
        {b.bound(kFilterCutoff), c.cutoffKnob},
        {b.bound(kFilterCutoff + 1), c.cutoffKnob},  // the copy sits on its own layer
        {b.bound(kPatchName), c.nameField},
        {b.bound(kArpType), c.arpMenu},
        {b.bound(kMasterTranspose), c.masterFader},
        {b.bound(kVibratoInt), c.missingImage},  // no image: no area, at its place
    };
    for (const auto& [control, rect] : rects) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->GetRECTRef(), rect);
    }
    auto* radio = dynamic_cast<ICustomRadioButtonsControl*>(b.bound(kMainTab));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->GetRECTRef(), c.radio);
    ASSERT_EQ(radio->NButtons(), 4);
    EXPECT_EQ(radio->ButtonRECT(1), c.radioButton1);
    EXPECT_EQ(radio->ButtonRECT(3), c.radioButton3);

    const std::pair<int, int> sizes[] = {{kControlDisplayName, c.size15},
                                         {kControlDisplayValue, c.size14},  // size 7 is size 0
                                         {kControlDisplayCC, c.size16},
                                         {kControlDisplayMIDIOutDelay, c.size16},
                                         {kCurrentBank, c.size15},
                                         {kPatchName, c.size14},
                                         {kArpType, c.size13}};
    for (const auto& [param, size] : sizes) EXPECT_EQ(b.bound(param)->GetText()->mSize, size) << param;
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelAtScale, testing::ValuesIn(kScales),
                         [](const testing::TestParamInfo<ScaleCase>& info) {
                             return "Scale" + std::to_string(static_cast<int>(info.param.scale * 100));
                         });

// ---- The walk at scale 1 ------------------------------------------------------

class PanelWalk : public testing::Test {
protected:
    FactoryPanel b{1.0};

    std::string name(int i) const { return b.param(i)->GetNameForHost(); }
    std::string group(int i) const { return b.param(i)->GetParamGroupForHost(); }
    int kind(int i) const { return b.action(i) ? b.action(i)->kind : -1; }
};

TEST_F(PanelWalk, LayersAndTimbreCopiesArePlacedInDocumentOrder) {
    IGraphics& g = *b.graphics;
    const std::pair<const char*, int> top[] = {
        {"mainLayer", 1}, {"outer", 2}, {"miniMixer", 20}, {"timbre0", 0}, {"timbre1", 1}};
    ASSERT_EQ(g.NLayers(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(g.GetLayer(i)->GetName(), top[i].first);
        EXPECT_EQ(g.GetLayer(i)->GetId(), top[i].second);
        EXPECT_FALSE(g.GetLayer(i)->IsVisible());
    }
    // By name, a later layer of the same name replaces the entry.
    EXPECT_EQ(b.manager.layers.size(), 6u);
    EXPECT_EQ(b.layer("timbre1"), g.GetLayer(4));
    ASSERT_EQ(g.GetLayer(4)->GetSubLayers().size(), 1u);
    EXPECT_EQ(b.layer("miniMixer"), g.GetLayer(4)->GetSubLayers()[0]);
    EXPECT_EQ(b.layer("miniMixer")->GetId(), 21);

    // The outermost layer's overlay setting is the one that holds.
    ControlLayer* inner = b.layer("inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(b.layer("outer")->GetSubLayers().at(0), inner);
    EXPECT_TRUE(g.GetLayer(0)->GetIgnoreHidden());
    EXPECT_TRUE(g.GetLayer(0)->GetControls().front()->GetIgnoreHidden());
    EXPECT_FALSE(inner->GetIgnoreHidden());
    EXPECT_FALSE(inner->GetControls().at(0)->GetIgnoreHidden());
    EXPECT_EQ(b.bound(kControlDisplayTimbre), inner->GetControls()[0]);

    // The port menus always go onto the panel itself, as the top-level knobs.
    EXPECT_EQ(FactoryPanel::controlIn(g.GetLayer(0), kDeviceOutSelection), nullptr);
    int onPanel = 0;
    for (int i = 0; i < g.NControls(); ++i)
        onPanel += g.GetControl(i) == b.bound(kDeviceInSelection) || g.GetControl(i) == b.bound(kMasterTune);
    EXPECT_EQ(onPanel, 2);
    EXPECT_EQ(b.bound(kFilterCutoff), FactoryPanel::controlIn(g.GetLayer(3), kFilterCutoff));
    EXPECT_EQ(b.bound(kFilterCutoff + 1), FactoryPanel::controlIn(g.GetLayer(4), kFilterCutoff + 1));
    EXPECT_EQ(FactoryPanel::controlIn(g.GetLayer(3), kFilterCutoff + 1), nullptr);
}

// Which lookup a control is registered in, under which keys.
struct Registration {
    char map;  // 'c' CC, 'n' NRPN, 's' SysEx (fifth key 0)
    int keys[5];
    int param;
    std::size_t bound;
};

TEST_F(PanelWalk, ControlsAreRegisteredUnderTheirTimbreOrChannel) {
    const Registration all[] = {
        // Timbre copies: key copy + 1, type 0.
        {'c', {1, 74, 0}, kFilterCutoff, 0},
        {'c', {2, 74, 0}, kFilterCutoff + 1, 0},
        {'c', {2, 10, 0}, kAmpPan + 1, 0},
        {'c', {2, 82, 0}, kLfo1Waveform + 1, 0},
        {'c', {1, 12, 0}, kAmpGateSw, 0},
        {'n', {2, 4, 8, 38, 0}, kVPatchAmnt1 + 1, 0},
        {'n', {1, 4, 30, 38, 0}, kEG1Reset, 0},
        // The second timbre's SysEx messages are addressed to it.
        {'s', {0x58, 0x41, 0x10, 0x00}, kSeq1Step1, 0},
        {'s', {0x58, 0x51, 0x11, 0x00}, kSeq1Step1 + 1, 0},
        {'s', {0x58, 0x41, 0x6B, 0x00}, kTimbreTune, 0},
        {'s', {0x58, 0x41, 0x7B, 0x01}, kTimbreTune + 1, 0},
        {'s', {0x58, 0x51, 0x21, 0x00}, kAmpVeloSense + 1, 0},
        {'s', {0x58, 0x51, 0x22, 0x00}, kFilterVeloSense + 1, 0},
        {'s', {0x58, 0x41, 0x7C, 0x01}, kTimbreTranspose + 1, 0},
        {'s', {0x58, 0x41, 0x70, 0x00}, kEQLowGain, 0},
        {'s', {0x58, 0x41, 0x30, 0x00}, kLfo2TempoSync, 0},
        {'s', {0x58, 0x51, 0x32, 0x00}, kLfo2TempoSync + 1, 0},  // two addresses per timbre
        // Top level: the channel, type 1; the wave sample choice type 2.
        {'c', {3, 30, 1}, kMasterTune, 0},
        {'c', {1, 15, 2}, kOsc1DWGSWave, 0},
        {'c', {1, 22, 1}, kModFxSpeed, 0},
        {'c', {4, 11, 1}, kAmpDistSw, 0},
        {'n', {1, 4, 20, 38, 1}, kArpOnOff, 0},
        {'c', {1, 27, 1}, kVibratoInt, 0},
        // Sliders: the channel in a mixer, else the copy + 1 (0 outside any layer).
        {'c', {5, 39, 0}, kOsc1Level, 0},
        {'c', {0, 31, 0}, kMasterTranspose, 0},
        {'n', {0, 4, 7, 38, 0}, kArpType, 0},
        // A parameter with a CC knob, then an MSB/LSB knob: both registered.
        {'c', {1, 20, 1}, kDelayFxTime, 0},
        {'n', {1, 5, 1, 38, 1}, kDelayFxTime, 1},
        // Both copies register under the same mixer keys: the later holds them.
        {'n', {6, 4, 12, 38, 1}, kFilterType + 1, 1},
        {'c', {5, 40, 0}, kOsc2Level + 1, 0},
    };
    const UIConfigManager& m = b.manager;
    for (const Registration& r : all) {
        const int* k = r.keys;
        IControl* found = r.map == 'c'   ? findCCControl(m.ccControls, k[0], k[1], k[2])
                          : r.map == 'n' ? m.nrpnControls.findControl(k[0], k[1], k[2], k[3], k[4])
                                         : m.sysExControls.findControl(k[0], k[1], k[2], k[3], 0);
        ASSERT_NE(found, nullptr) << r.param;
        EXPECT_EQ(found, b.bound(r.param, r.bound)) << r.param;
    }
    EXPECT_EQ(b.action(kFilterCutoff + 1)->ccNumber, 74);
    EXPECT_EQ(b.action(kOsc2Level)->key, 5);
    EXPECT_EQ(b.action(kAmpGateSw + 1)->onValue, 100);
    EXPECT_EQ(b.action(kArpOnOff)->onValue, 127);
}

TEST_F(PanelWalk, NamesGroupsAndKindsFollowTheCopyAndTheLastElement) {
    const std::pair<int, const char*> names[] = {{kFilterCutoff, "[1] Cutoff"},
                                                 {kFilterCutoff + 1, "[2] Cutoff"},
                                                 {kTimbreTranspose + 1, "[2] Transpose"},
                                                 {kLfo2TempoSync + 1, "[2] LFO2 Sync"},
                                                 {kMasterTune, "Master Tune"},
                                                 {kRandomize, "Randomize"},
                                                 {kDeviceOutSelection, "Device Selection"}};
    for (const auto& [param, text] : names) EXPECT_EQ(name(param), text);
    const std::pair<int, const char*> groups[] = {{kFilterCutoff + 1, "Timbre 2:Filter"},
                                                  {kVPatchAmnt1, "Timbre 1"},
                                                  {kMasterTune, "Global"},
                                                  {kOsc1DWGSWave, ""},
                                                  {kDeviceOutSelection, ""}};
    for (const auto& [param, text] : groups) EXPECT_EQ(group(param), text);
    // Cut to the parameter's fields.
    EXPECT_EQ(name(kDetune + 1),
              std::string("[2] Detune with a name far too long for the parameter field of a host").substr(0, 54));
    EXPECT_EQ(group(kDetune + 1),
              std::string("Timbre 2:A group name that is also far too long for the field of a host").substr(0, 54));

    const std::pair<int, int> kinds[] = {
        {kFilterCutoff + 1, ControlAction::kCC},
        {kAmpGateSw, ControlAction::kCCTwoState},
        {kVPatchAmnt1, ControlAction::kMsbLsb},
        {kSeq1Step1, ControlAction::kSysEx},
        {kLfo2TempoSync, ControlAction::kSysExButton},
        {kMainTab, ControlAction::kNone},
        {kPatchName, ControlAction::kNone},
        {kViewMIDIFilterSettings, ControlAction::kNone},
        // Shared: CC then MSB/LSB knob; CC knob then display; display then MSB/LSB menu.
        {kDelayFxTime, ControlAction::kMsbLsb},
        {kModFxDepth, ControlAction::kNone},
        {kFilterType + 1, ControlAction::kMsbLsb},
        // Settings of the editor itself bind nothing.
        {kAdjustDAWOffset, -1},
        {kLibSyncTimer, -1},
        {kSendMIDIClockInfo, -1}};
    for (const auto& [param, k] : kinds) EXPECT_EQ(kind(param), k) << param;
    for (int shared : {int(kDelayFxTime), int(kModFxDepth), int(kFilterType), kFilterType + 1})
        EXPECT_EQ(b.action(shared)->boundControls.size(), 2u) << shared;
}

TEST_F(PanelWalk, LinksAddTheCopyOnceAndRefuseMissingPartners) {
    // Top level: the named parameters, with the third number; the partner
    // gets a kind-6 binding that links back.
    const LinkInfo& tune = b.action(kOsc2Tune)->link;
    EXPECT_EQ(tune.partner(), kLfo2Frequency);
    EXPECT_EQ(tune.second(), kOsc1Control1);
    EXPECT_EQ(tune.number(), 5);
    ControlAction* partner = b.action(kLfo2Frequency);
    EXPECT_EQ(partner->kind, ControlAction::kSysEx);
    EXPECT_TRUE(partner->boundControls.empty());
    EXPECT_EQ(partner->link.partner(), kOsc2Tune);
    EXPECT_EQ(partner->link.number(), -1);
    // Inside copy i both ends sit in timbre i.
    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(b.action(kFilterCutoff + copy)->link.partner(), kFilterResonance + copy);
        EXPECT_EQ(b.action(kFilterCutoff + copy)->link.second(), kFilterEGIntensity + copy);
        EXPECT_EQ(b.action(kFilterResonance + copy)->link.partner(), kFilterCutoff + copy);
        EXPECT_EQ(b.action(kFilterResonance + copy)->link.second(), kFilterEGIntensity + copy);
    }
    // A partner past the last parameter makes no link; a CC button takes none.
    EXPECT_EQ(b.action(kDataType)->link.partner(), kVPatchAmnt1);
    EXPECT_FALSE(b.action(kVPatchAmnt1 + 1)->link.present());
    EXPECT_EQ(b.count("CONFIG READER: link partner 472 of parameter 63 NOT FOUND! No link made."), 1);
    EXPECT_FALSE(b.action(kAmpDistSw)->link.present());
}

TEST_F(PanelWalk, ParametersAndTextsAreSetUpByTheirElements) {
    EXPECT_EQ(b.param(kFilterCutoff)->GetStep(), 2.0);
    EXPECT_EQ(b.param(kFilterCutoff)->GetDefault(), 64.0);
    EXPECT_EQ(b.param(kDelayFxTime)->GetStep(), 1.0);  // an MSB/LSB knob ignores its fourth bound
    EXPECT_EQ(b.param(kViewMIDIFilterSettings)->GetDefault(), 1.0);
    EXPECT_NE(dynamic_cast<IContactControl*>(b.bound(kRandomize)), nullptr);
    EXPECT_EQ(b.param(kMainTab)->GetMax(), 3.0);
    EXPECT_TRUE(b.param(kMainTab)->IsMeta());
    EXPECT_EQ(b.param(kAdjustDAWOffset)->GetMax(), 50.0);
    EXPECT_EQ(b.param(kSendMIDIClockInfo)->GetDefault(), 1.0);

    // Value texts: a list, numbers from valueDisplay, the port names.
    const std::tuple<int, int, int, const char*> texts[] = {
        {kCurrentBank, 1, 0, "----"},
        {kUserInterfaceSkin, 3, 2, "platinum"},
        {kLibSyncTimer, 4, 3, "4"},
        {kKeepSelectedBank, 3, 1, "B"},
        {kLfo1Waveform + 1, 3, 2, "C"},
        {kArpType, 6, 5, "6"},
        {kTimbreTranspose + 1, 48, 0, "-24"},
        {kTimbreTranspose + 1, 48, 47, "23"},
        {kDeviceOutSelection, static_cast<int>(b.plug.getExternalMIDIOutNames().size()), 0, "Select MIDI Device"},
        {kDeviceInSelection, static_cast<int>(b.plug.getExternalMIDIInNames().size()), 0, "Select MIDI Device"}};
    for (const auto& [param, count, value, text] : texts) {
        EXPECT_EQ(b.param(param)->GetNDisplayTexts(), count) << param;
        EXPECT_STREQ(b.param(param)->GetDisplayText(value), text) << param;
    }
    // Lists of the wrong length, no number range: set up, but no control.
    EXPECT_EQ(b.action(kUserInterfaceSize), nullptr);
    EXPECT_EQ(b.param(kUserInterfaceSize)->Type(), IParam::kTypeEnum);
    EXPECT_TRUE(b.manager.valueLists.at("noSuchList").empty());
    EXPECT_EQ(FactoryPanel::controlIn(b.layer("mainLayer"), kOverwriteBank), nullptr);

    // Name fields: text parameter, first text, colour, entry length, prompt.
    const IColor dark(255, 50, 60, 70), orange(255, 255, 140, 26);
    const std::tuple<int, const char*, IColor, int> fields[] = {{kPatchName, "-- INIT --", dark, 12},
                                                                {kPatchRename, "New Name", orange, 16},
                                                                {kPatchSearchString, "search...", orange, 20},
                                                                {kMultiName, "Init Multi", dark, 12},
                                                                {kPatchNameView, "INIT", dark, 12}};
    for (const auto& [param, text, color, length] : fields) {
        EXPECT_EQ(b.param(param)->Type(), IParam::kTypeText);
        EXPECT_STREQ(b.param(param)->GetDisplayText(0), text);
        EXPECT_EQ(b.bound(param)->GetText()->mColor, color) << param;
        EXPECT_EQ(b.bound(param)->GetTextEntryLength(), length);
        EXPECT_FALSE(b.bound(param)->IsPromptDisabled());
    }
    // Text colours of the menus and displays, and the prompt of a text menu.
    ControlLayer* main = b.layer("mainLayer");
    const std::pair<IControl*, IColor> colors[] = {
        {b.bound(kCurrentBank), IColor(255, 255, 173, 0)},
        {b.bound(kUserInterfaceSkin), orange},
        {b.bound(kDeviceOutSelection), orange},
        {b.bound(kLfo1Waveform), IColor(254, 255, 173, 0)},
        {b.bound(kControlDisplayName), IColor(200, 0, 0, 0)},
        {b.bound(kControlDisplayCC), IColor(100, 0, 0, 0)},
        {FactoryPanel::controlIn(main, kLibSyncTimer), IColor(255, 255, 173, 0)},
        {FactoryPanel::controlIn(main, kKeepSelectedBank), IColor(0, 255, 173, 0)},  // invisible
        {FactoryPanel::controlIn(main, kDataType), IColor(255, 255, 255, 255)}};     // white
    for (const auto& [control, color] : colors) EXPECT_EQ(control->GetText()->mColor, color);
    EXPECT_STREQ(b.bound(kUserInterfaceSkin)->GetText()->mFont, "NK57 Monospace");
    EXPECT_TRUE(b.bound(kCurrentBank)->IsPromptDisabled());
    EXPECT_FALSE(b.bound(kArpType)->IsPromptDisabled());
}

TEST_F(PanelWalk, SysExControlsCarryOneMessagePerValue) {
    // {parameter, messages, message, byte, value}
    const int checks[][5] = {{kSeq1Step1, 128, 127, 7, 127},
                             {kAmpVeloSense, 64, 0, 7, 64},
                             {kAmpVeloSense, 64, 63, 7, 127},  // minimum + shift first
                             {kFilterVeloSense + 1, 11, 10, 7, 15},
                             {kFilterVeloSense + 1, 11, 0, 4, 0x51},
                             {kEQLowGain, 25, 0, 6, 116},
                             {kEQLowGain, 25, 12, 6, 0},
                             {kEQLowGain, 25, 12, 7, 0},
                             {kArpTempo, 281, 280, 6, 44},
                             {kArpTempo, 281, 280, 7, 2},
                             {kArpSwing, 201, 0, 6, 28},
                             {kArpSwing, 201, 200, 6, 100},
                             {kSeq3Step1, 128, 0, 6, 64},
                             {kSeq3Step1, 128, 0, 7, 1},
                             {kSeq3Step1, 128, 64, 7, 0},
                             {kTimbreTune + 1, 101, 0, 6, 78},
                             {kTimbreTune + 1, 101, 100, 6, 50},
                             {kTimbreTranspose, 49, 0, 6, 104},
                             {kTimbreTranspose, 49, 48, 6, 24},  // a menu: entries + 1
                             {kLfo2TempoSync + 1, 2, 1, 7, 1},
                             {kLfo2TempoSync + 1, 2, 1, 5, 0x32},
                             // Templates refused or missing: bound, without messages.
                             {kSeq2Step1, 0, -1, 0, 0},
                             {kSeq2Step2, 0, -1, 0, 0}};
    for (const auto& c : checks) {
        const auto& messages = b.action(c[0])->sysEx.messages;
        ASSERT_EQ(messages.size(), static_cast<std::size_t>(c[1])) << c[0];
        if (c[2] >= 0) {
            EXPECT_EQ(messages[c[2]][c[3]], c[4]) << c[0] << " message " << c[2];
        }
    }
    EXPECT_EQ(b.action(kSeq2Step1)->kind, ControlAction::kSysEx);
    EXPECT_EQ(b.count("CONFIG READER: SysEx list 42 MISSING!"), 1);
}

TEST_F(PanelWalk, UnknownElementsTypesParametersAndImagesAreSkippedAndLogged) {
    for (const char* line :
         {"CONFIG READER: knobcontrol type ccknob UNKNOWN!", "CONFIG READER: dropMenu type fancySelection UNKNOWN!",
          "CONFIG READER: multiFx type Slider UNKNOWN!", "CONFIG READER: parameter kNoSuchParam NOT FOUND!",
          "CONFIG READER: knobcontrol of parameter kNoSuchParam+1 skipped!",
          "CONFIG READER: parameter index 476 NOT FOUND! Control not built.",
          "CONFIG READER: display without paramId skipped!", "CONFIG READER: element Layer UNKNOWN!",
          "CONFIG READER: Image NO_SUCH_IMAGE MISSING!"})
        EXPECT_EQ(b.count(line), 1) << line;
    EXPECT_EQ(b.count("CONFIG READER: element valueLists UNKNOWN!"), 0);
    // Nothing of them was built: no parameter set up, nothing bound. The
    // unknown name plus one never reaches parameter 1.
    for (int untouched : {int(kNoiseLevel), kLfo1FrequencyCopy, int(kControlDisplayPatch), int(kLibrarianArea)}) {
        EXPECT_EQ(b.action(untouched), nullptr) << untouched;
        EXPECT_EQ(b.param(untouched)->Type(), IParam::kTypeNone) << untouched;
    }
    EXPECT_EQ(findCCControl(b.manager.ccControls, 1, 25, 1), nullptr);
    EXPECT_EQ(findCCControl(b.manager.ccControls, 1, 26, 1), nullptr);
    // The librarian view stands at its bounds, on its parameter, bound to no
    // action.
    ASSERT_NE(b.manager.librarianView, nullptr);
    EXPECT_EQ(b.manager.librarianView->GetRECTRef().L, 10);
    EXPECT_EQ(b.manager.librarianView->GetRECTRef().T, 20);
    EXPECT_EQ(b.manager.librarianView->ParamIdx(), int(kLibrarianArea));
    // Everything else was built: 23 controls on the panel itself (the view
    // among them), 19 in the main layer, one each in "inner" and the mixer,
    // 16 in each timbre copy.
    EXPECT_EQ(b.countControls(), 76);
}

}  // namespace
