// The panel walk over the test panel description: rectangles at the three
// scales, layers and timbre copies, parameter set-up, bindings, lookup keys,
// and what the walk skips.
#include "factories_fixture.h"
#include "src/ICustomRadioButtonsControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using hvtest::FactoryPanel;

// Indices without names of their own.
constexpr int kLfo1FrequencyCopy = kLfo1Frequency + 1;
constexpr int kMultiName = kCommonMode + 1;

// ---- Rectangles and text sizes at each scale --------------------------------

struct ScaleCase {
    double scale;
    IRECT background, display, toggle, radio, radioButton1, radioButton3, knob, mixerFader, cutoffKnob, nameField,
        arpMenu, missingImage, masterFader;
    int size15, size14, size16, size13;
};

const ScaleCase kScales[] = {
    {0.75, {2, 3, 152, 78}, {7, 7, 82, 22}, {37, 45, 52, 60}, {75, 152, 165, 182}, {97, 152, 119, 182},
     {141, 152, 163, 182}, {300, 75, 330, 105}, {15, 225, 90, 231}, {75, 300, 105, 330}, {225, 7, 337, 20},
     {450, 15, 510, 24}, {249, 57, 249, 57}, {525, 75, 537, 112}, 11, 10, 12, 9},
    {1.0, {3, 5, 203, 105}, {10, 10, 111, 31}, {50, 60, 70, 80}, {101, 203, 221, 243}, {131, 203, 161, 243},
     {191, 203, 221, 243}, {400, 100, 440, 140}, {20, 300, 120, 308}, {100, 400, 140, 440}, {300, 10, 450, 28},
     {600, 20, 680, 33}, {333, 77, 333, 77}, {700, 100, 716, 150}, 15, 14, 16, 13},
    {1.25, {3, 6, 253, 131}, {12, 12, 138, 38}, {62, 75, 87, 100}, {126, 253, 276, 303}, {163, 253, 200, 303},
     {237, 253, 274, 303}, {500, 125, 550, 175}, {25, 375, 150, 385}, {125, 500, 175, 550}, {375, 12, 562, 34},
     {750, 25, 850, 41}, {416, 96, 416, 96}, {875, 125, 895, 187}, 18, 17, 20, 16},
};

class PanelAtScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(PanelAtScale, RectanglesAndTextSizesAreScaledAndTruncated) {
    const ScaleCase& c = GetParam();
    FactoryPanel b(c.scale);

    // The background is the first control of the panel itself.
    ASSERT_GE(b.graphics->NControls(), 1);
    EXPECT_NE(dynamic_cast<IBitmapControl*>(b.graphics->GetControl(0)), nullptr);
    EXPECT_EQ(b.graphics->GetControl(0)->ParamIdx(), -1);
    EXPECT_EQ(b.graphics->GetControl(0)->GetRECTRef(), c.background);

    EXPECT_EQ(b.bound(kControlDisplayName)->GetRECTRef(), c.display);
    EXPECT_EQ(b.bound(kViewMIDIFilterSettings)->GetRECTRef(), c.toggle);
    EXPECT_EQ(FactoryPanel::controlIn(b.layer("mainLayer"), kAdjustDAWOffset)->GetRECTRef(), c.knob);
    EXPECT_EQ(b.bound(kOsc1Level)->GetRECTRef(), c.mixerFader);
    EXPECT_EQ(b.bound(kFilterCutoff)->GetRECTRef(), c.cutoffKnob);
    EXPECT_EQ(b.bound(kFilterCutoff + 1)->GetRECTRef(), c.cutoffKnob);  // the copy sits on its own layer
    EXPECT_EQ(b.bound(kPatchName)->GetRECTRef(), c.nameField);
    EXPECT_EQ(b.bound(kArpType)->GetRECTRef(), c.arpMenu);
    EXPECT_EQ(b.bound(kMasterTranspose)->GetRECTRef(), c.masterFader);
    // An image the table lacks leaves a control with no area at its place.
    EXPECT_EQ(b.bound(kVibratoInt)->GetRECTRef(), c.missingImage);

    auto* radio = dynamic_cast<ICustomRadioButtonsControl*>(b.bound(kMainTab));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->GetRECTRef(), c.radio);
    ASSERT_EQ(radio->NButtons(), 4);
    EXPECT_EQ(radio->ButtonRECT(0).L, c.radio.L);
    EXPECT_EQ(radio->ButtonRECT(1), c.radioButton1);
    EXPECT_EQ(radio->ButtonRECT(3), c.radioButton3);

    EXPECT_EQ(b.bound(kControlDisplayName)->GetText()->mSize, c.size15);
    EXPECT_EQ(b.bound(kControlDisplayValue)->GetText()->mSize, c.size14);  // an unknown size is size 0
    EXPECT_EQ(b.bound(kControlDisplayCC)->GetText()->mSize, c.size16);
    EXPECT_EQ(b.bound(kControlDisplayMIDIOutDelay)->GetText()->mSize, c.size16);
    EXPECT_EQ(b.bound(kCurrentBank)->GetText()->mSize, c.size15);
    EXPECT_EQ(b.bound(kPatchName)->GetText()->mSize, c.size14);
    EXPECT_EQ(b.bound(kArpType)->GetText()->mSize, c.size13);
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelAtScale, testing::ValuesIn(kScales),
                         [](const testing::TestParamInfo<ScaleCase>& info) {
                             return "Scale" + std::to_string(static_cast<int>(info.param.scale * 100));
                         });

// ---- The walk at scale 1 ------------------------------------------------------------

class PanelWalk : public testing::Test {
protected:
    void SetUp() override {
            b = std::make_unique<FactoryPanel>(1.0);
    }
    std::unique_ptr<FactoryPanel> b;

    IControl* cc(int key, int ccNumber, int type) const {
        return findCCControl(b->manager.ccControls, key, ccNumber, type);
    }
    IControl* nrpn(int key, int msb, int lsb, int lsbControl, int type) const {
        return b->manager.nrpnControls.findControl(key, msb, lsb, lsbControl, type);
    }
    IControl* sysex(int h1, int h2, int h3, int keyByte) const {
        return b->manager.sysExControls.findControl(h1, h2, h3, keyByte, 0);
    }
    std::string name(int i) const { return b->param(i)->GetNameForHost(); }
    std::string group(int i) const { return b->param(i)->GetParamGroupForHost(); }
};

TEST_F(PanelWalk, LayersAndTimbreCopiesArePlacedInDocumentOrder) {
    IGraphics& g = *b->graphics;
    ASSERT_EQ(g.NLayers(), 5);
    EXPECT_EQ(g.GetLayer(0)->GetName(), "mainLayer");
    EXPECT_EQ(g.GetLayer(0)->GetId(), 1);
    EXPECT_EQ(g.GetLayer(1)->GetName(), "outer");
    EXPECT_EQ(g.GetLayer(2)->GetName(), "miniMixer");
    EXPECT_EQ(g.GetLayer(2)->GetId(), 20);
    // A multilayer's copies are named and numbered by their index.
    EXPECT_EQ(g.GetLayer(3)->GetName(), "timbre0");
    EXPECT_EQ(g.GetLayer(3)->GetId(), 0);
    EXPECT_EQ(g.GetLayer(4)->GetName(), "timbre1");
    EXPECT_EQ(g.GetLayer(4)->GetId(), 1);
    for (int i = 0; i < g.NLayers(); ++i) EXPECT_FALSE(g.GetLayer(i)->IsVisible());

    // Layers by name: a later layer of the same name replaces the entry.
    EXPECT_EQ(b->layer("mainLayer"), g.GetLayer(0));
    EXPECT_EQ(b->layer("timbre1"), g.GetLayer(4));
    ASSERT_EQ(g.GetLayer(4)->GetSubLayers().size(), 1u);
    EXPECT_EQ(b->layer("miniMixer"), g.GetLayer(4)->GetSubLayers()[0]);
    EXPECT_EQ(b->layer("miniMixer")->GetId(), 21);
    EXPECT_EQ(b->layer("ghost"), nullptr);
    EXPECT_EQ(b->layer("none0"), nullptr);
    EXPECT_EQ(b->manager.layers.size(), 6u);  // mainLayer outer inner miniMixer timbre0 timbre1

    // Nested layer elements, and the outermost overlay setting wins.
    ControlLayer* outer = b->layer("outer");
    ControlLayer* inner = b->layer("inner");
    ASSERT_NE(outer, nullptr);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->GetId(), 3);
    ASSERT_EQ(outer->GetSubLayers().size(), 1u);
    EXPECT_EQ(outer->GetSubLayers()[0], inner);
    EXPECT_TRUE(g.GetLayer(0)->GetIgnoreHidden());
    EXPECT_TRUE(g.GetLayer(0)->GetControls().front()->GetIgnoreHidden());
    EXPECT_FALSE(outer->GetIgnoreHidden());
    EXPECT_FALSE(inner->GetIgnoreHidden());
    EXPECT_FALSE(inner->GetControls().front()->GetIgnoreHidden());
    EXPECT_FALSE(g.GetLayer(2)->GetIgnoreHidden());

    // Controls go into their enclosing layer; the port menus always onto the
    // panel; the top-level controls onto the panel.
    ASSERT_EQ(inner->GetControls().size(), 1u);
    EXPECT_EQ(b->bound(kControlDisplayTimbre), inner->GetControls()[0]);
    EXPECT_EQ(FactoryPanel::controlIn(g.GetLayer(0), kDeviceOutSelection), nullptr);
    bool portsOnPanel = false, knobOnPanel = false;
    for (int i = 0; i < g.NControls(); ++i) {
        portsOnPanel |= g.GetControl(i) == b->bound(kDeviceInSelection);
        knobOnPanel |= g.GetControl(i) == b->bound(kMasterTune);
    }
    EXPECT_TRUE(portsOnPanel);
    EXPECT_TRUE(knobOnPanel);
    EXPECT_EQ(b->bound(kFilterCutoff), FactoryPanel::controlIn(g.GetLayer(3), kFilterCutoff));
    EXPECT_EQ(b->bound(kFilterCutoff + 1), FactoryPanel::controlIn(g.GetLayer(4), kFilterCutoff + 1));
    EXPECT_EQ(FactoryPanel::controlIn(g.GetLayer(3), kFilterCutoff + 1), nullptr);
}

TEST_F(PanelWalk, TimbreCopiesGetNamesGroupsAndKeysOfTheirTimbre) {
    for (int copy = 0; copy < 2; ++copy) {
        const std::string n = "[" + std::to_string(copy + 1) + "] ";
        const std::string t = "Timbre " + std::to_string(copy + 1);
        SCOPED_TRACE(n);
        EXPECT_EQ(name(kFilterCutoff + copy), n + "Cutoff");
        EXPECT_EQ(group(kFilterCutoff + copy), t + ":Filter");
        EXPECT_EQ(group(kVPatchAmnt1 + copy), t);
        EXPECT_EQ(name(kTimbreTranspose + copy), n + "Transpose");
        EXPECT_EQ(name(kLfo2TempoSync + copy), n + "LFO2 Sync");
        EXPECT_EQ(name(kAmpPan + copy), n + "Pan");

        const int key = copy + 1;
        ControlAction* cutoff = b->action(kFilterCutoff + copy);
        EXPECT_EQ(cutoff->kind, ControlAction::kCC);
        EXPECT_EQ(cutoff->key, key);
        EXPECT_EQ(cutoff->type, 0);
        EXPECT_EQ(cutoff->ccNumber, 74);
        EXPECT_EQ(cc(key, 74, 0), b->bound(kFilterCutoff + copy));
        EXPECT_EQ(cc(key, 10, 0), b->bound(kAmpPan + copy));        // a slider outside the mixers
        EXPECT_EQ(cc(key, 82, 0), b->bound(kLfo1Waveform + copy));  // a CC menu
        EXPECT_EQ(cc(key, 12, 0), b->bound(kAmpGateSw + copy));     // a CC button
        EXPECT_EQ(b->action(kAmpGateSw + copy)->kind, ControlAction::kCCTwoState);
        EXPECT_EQ(b->action(kAmpGateSw + copy)->onValue, 100);
        EXPECT_EQ(nrpn(key, 4, 8, 38, 0), b->bound(kVPatchAmnt1 + copy));
        EXPECT_EQ(nrpn(key, 4, 30, 38, 0), b->bound(kEG1Reset + copy));
        EXPECT_EQ(b->action(kVPatchAmnt1 + copy)->kind, ControlAction::kMsbLsb);
        EXPECT_EQ(b->action(kVPatchAmnt1 + copy)->ccNumber, 6);
    }
    // The second timbre's SysEx messages are addressed to it.
    EXPECT_EQ(sysex(0x58, 0x41, 0x10, 0x00), b->bound(kSeq1Step1));
    EXPECT_EQ(sysex(0x58, 0x51, 0x11, 0x00), b->bound(kSeq1Step1 + 1));
    EXPECT_EQ(sysex(0x58, 0x41, 0x6B, 0x00), b->bound(kTimbreTune));
    EXPECT_EQ(sysex(0x58, 0x41, 0x7B, 0x01), b->bound(kTimbreTune + 1));
    EXPECT_EQ(sysex(0x58, 0x41, 0x20, 0x00), b->bound(kAmpVeloSense));
    EXPECT_EQ(sysex(0x58, 0x51, 0x21, 0x00), b->bound(kAmpVeloSense + 1));
    EXPECT_EQ(sysex(0x58, 0x51, 0x22, 0x00), b->bound(kFilterVeloSense + 1));
    EXPECT_EQ(sysex(0x58, 0x41, 0x6C, 0x00), b->bound(kTimbreTranspose));
    EXPECT_EQ(sysex(0x58, 0x41, 0x7C, 0x01), b->bound(kTimbreTranspose + 1));
    // The second LFO's tempo sync moves two addresses per timbre.
    EXPECT_EQ(sysex(0x58, 0x41, 0x30, 0x00), b->bound(kLfo2TempoSync));
    EXPECT_EQ(sysex(0x58, 0x51, 0x32, 0x00), b->bound(kLfo2TempoSync + 1));
    EXPECT_EQ(b->action(kLfo2TempoSync + 1)->kind, ControlAction::kSysExButton);

    // Names and groups longer than the parameter's fields are cut to them.
    const std::string longName = "[2] Detune with a name far too long for the parameter field of a host";
    const std::string longGroup = "Timbre 2:A group name that is also far too long for the field of a host";
    EXPECT_EQ(name(kDetune + 1), longName.substr(0, 54));
    EXPECT_EQ(group(kDetune + 1), longGroup.substr(0, 54));
}

TEST_F(PanelWalk, TopLevelControlsAreKeyedByTheirChannel) {
    EXPECT_EQ(name(kMasterTune), "Master Tune");
    EXPECT_EQ(group(kMasterTune), "Global");
    EXPECT_EQ(group(kOsc1DWGSWave), "");
    EXPECT_EQ(cc(3, 30, 1), b->bound(kMasterTune));
    // The wave sample choice has its own type.
    EXPECT_EQ(cc(1, 15, 2), b->bound(kOsc1DWGSWave));
    EXPECT_EQ(b->action(kOsc1DWGSWave)->type, 2);
    // Knob built through a buttoncontrol element.
    EXPECT_NE(dynamic_cast<IKnobMultiControl*>(b->bound(kModFxSpeed)), nullptr);
    EXPECT_EQ(cc(1, 22, 1), b->bound(kModFxSpeed));
    // A mixer slider is keyed by its channel; a slider outside any layer by 0.
    EXPECT_EQ(cc(5, 39, 0), b->bound(kOsc1Level));
    EXPECT_EQ(cc(0, 31, 0), b->bound(kMasterTranspose));
    EXPECT_EQ(b->action(kMasterTranspose)->key, 0);
    // An MSB/LSB menu outside the mixers is keyed 0, type 0.
    EXPECT_EQ(nrpn(0, 4, 7, 38, 0), b->bound(kArpType));
    ControlAction* arpOn = b->action(kArpOnOff);
    EXPECT_EQ(arpOn->kind, ControlAction::kMsbLsb);
    EXPECT_EQ(arpOn->offValue, 0);
    EXPECT_EQ(arpOn->onValue, 127);
    EXPECT_EQ(nrpn(1, 4, 20, 38, 1), b->bound(kArpOnOff));
    ControlAction* dist = b->action(kAmpDistSw);
    EXPECT_EQ(dist->kind, ControlAction::kCCTwoState);
    EXPECT_EQ(cc(4, 11, 1), b->bound(kAmpDistSw));
}

TEST_F(PanelWalk, SharedParametersTakeTheLastElementsKind) {
    // A CC knob, then an MSB/LSB knob: both bound, both registered, kind 3.
    ControlAction* time = b->action(kDelayFxTime);
    ASSERT_EQ(time->boundControls.size(), 2u);
    EXPECT_EQ(time->kind, ControlAction::kMsbLsb);
    EXPECT_EQ(cc(1, 20, 1), time->boundControls[0]);
    EXPECT_EQ(nrpn(1, 5, 1, 38, 1), time->boundControls[1]);
    EXPECT_EQ(time->ccNumber, 6);
    // An MSB/LSB knob takes step 1 whatever its fourth bound says.
    EXPECT_EQ(b->param(kDelayFxTime)->GetStep(), 1.0);

    // A CC knob, then a value display: the parameter sends nothing any more.
    ControlAction* depth = b->action(kModFxDepth);
    ASSERT_EQ(depth->boundControls.size(), 2u);
    EXPECT_EQ(depth->kind, ControlAction::kNone);
    EXPECT_NE(dynamic_cast<ITextControl*>(depth->boundControls[1]), nullptr);

    // A display, then an MSB/LSB menu in a mixer layer, in each copy.
    for (int copy = 0; copy < 2; ++copy) {
        ControlAction* type = b->action(kFilterType + copy);
        ASSERT_EQ(type->boundControls.size(), 2u);
        EXPECT_EQ(type->kind, ControlAction::kMsbLsb);
        EXPECT_EQ(type->key, 6);
        EXPECT_EQ(type->type, 1);
    }
    // Both copies register under the same mixer keys: the later one holds them.
    EXPECT_EQ(nrpn(6, 4, 12, 38, 1), b->bound(kFilterType + 1, 1));
    EXPECT_EQ(cc(5, 40, 0), b->bound(kOsc2Level + 1));
    EXPECT_EQ(b->action(kOsc2Level)->key, 5);
}

TEST_F(PanelWalk, LinksAddTheCopyOnceAndRefuseMissingPartners) {
    // Top level: the named parameters themselves, with the third number.
    ControlAction* tune = b->action(kOsc2Tune);
    EXPECT_EQ(tune->link.partner(), kLfo2Frequency);
    EXPECT_EQ(tune->link.second(), kOsc1Control1);
    EXPECT_EQ(tune->link.number(), 5);
    ControlAction* partner = b->action(kLfo2Frequency);
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->kind, ControlAction::kSysEx);
    EXPECT_TRUE(partner->boundControls.empty());
    EXPECT_EQ(partner->link.partner(), kOsc2Tune);
    EXPECT_EQ(partner->link.second(), kOsc1Control1);
    EXPECT_EQ(partner->link.number(), -1);

    // Inside copy i both ends sit in timbre i.
    for (int copy = 0; copy < 2; ++copy) {
        ControlAction* cutoff = b->action(kFilterCutoff + copy);
        EXPECT_EQ(cutoff->link.partner(), kFilterResonance + copy);
        EXPECT_EQ(cutoff->link.second(), kFilterEGIntensity + copy);
        ControlAction* resonance = b->action(kFilterResonance + copy);
        ASSERT_NE(resonance, nullptr);
        EXPECT_EQ(resonance->kind, ControlAction::kSysEx);
        EXPECT_EQ(resonance->link.partner(), kFilterCutoff + copy);
        EXPECT_EQ(resonance->link.second(), kFilterEGIntensity + copy);
    }
    // A partner past the last parameter makes no link.
    EXPECT_EQ(b->action(kVPatchAmnt1)->link.partner(), kDataType);
    EXPECT_EQ(b->action(kDataType)->link.partner(), kVPatchAmnt1);
    EXPECT_FALSE(b->action(kVPatchAmnt1 + 1)->link.present());
    EXPECT_EQ(b->action(kVPatchAmnt1 + 1)->link.partner(), -1);
    EXPECT_EQ(b->count("CONFIG READER: link partner 472 of parameter 63 NOT FOUND! No link made."), 1);
    // A two-state CC button takes no link.
    EXPECT_FALSE(b->action(kAmpDistSw)->link.present());
}

TEST_F(PanelWalk, ParametersAreSetUpByTheirElements) {
    IParam* cutoff = b->param(kFilterCutoff);
    EXPECT_EQ(cutoff->Type(), IParam::kTypeDouble);
    EXPECT_EQ(cutoff->GetDefault(), 64.0);
    EXPECT_EQ(cutoff->GetMax(), 127.0);
    EXPECT_EQ(cutoff->GetStep(), 2.0);

    // On/off switches and momentary buttons.
    IParam* filters = b->param(kViewMIDIFilterSettings);
    EXPECT_EQ(filters->Type(), IParam::kTypeBool);
    EXPECT_EQ(filters->GetDefault(), 1.0);
    EXPECT_EQ(b->action(kViewMIDIFilterSettings)->kind, ControlAction::kNone);
    EXPECT_NE(dynamic_cast<IContactControl*>(b->bound(kRandomize)), nullptr);
    EXPECT_EQ(b->param(kRandomize)->GetDefault(), 0.0);
    EXPECT_EQ(name(kRandomize), "Randomize");

    // The radio group: an enum of its buttons, a meta parameter.
    IParam* tab = b->param(kMainTab);
    EXPECT_EQ(tab->Type(), IParam::kTypeEnum);
    EXPECT_EQ(tab->GetMax(), 3.0);
    EXPECT_TRUE(tab->IsMeta());
    EXPECT_EQ(b->action(kMainTab)->kind, ControlAction::kNone);

    // Menus without MIDI.
    EXPECT_STREQ(b->param(kCurrentBank)->GetDisplayText(0), "----");
    EXPECT_TRUE(b->bound(kCurrentBank)->IsPromptDisabled());
    EXPECT_EQ(b->bound(kCurrentBank)->GetText()->mColor, IColor(255, 255, 173, 0));
    IParam* skin = b->param(kUserInterfaceSkin);
    EXPECT_EQ(skin->GetNDisplayTexts(), 3);
    EXPECT_STREQ(skin->GetDisplayText(2), "platinum");
    EXPECT_EQ(skin->GetDefault(), 1.0);
    EXPECT_FALSE(b->bound(kUserInterfaceSkin)->IsPromptDisabled());
    EXPECT_EQ(b->bound(kUserInterfaceSkin)->GetText()->mColor, IColor(255, 200, 69, 0));
    EXPECT_STREQ(b->bound(kUserInterfaceSkin)->GetText()->mFont, "NK57 Monospace");
    // A list of the wrong length: the parameter is set up, no control built,
    // and the unknown list is now known, empty.
    EXPECT_EQ(b->param(kUserInterfaceSize)->Type(), IParam::kTypeEnum);
    EXPECT_EQ(b->action(kUserInterfaceSize), nullptr);
    ASSERT_EQ(b->manager.valueLists.count("noSuchList"), 1u);
    EXPECT_TRUE(b->manager.valueLists["noSuchList"].empty());

    // The port menus list the ports, "Select MIDI Device" first.
    IParam* out = b->param(kDeviceOutSelection);
    EXPECT_EQ(name(kDeviceOutSelection), "Device Selection");
    EXPECT_EQ(group(kDeviceOutSelection), "");
    const auto& outs = b->plug.getExternalMIDIOutNames();
    EXPECT_EQ(out->GetNDisplayTexts(), static_cast<int>(outs.size()));
    EXPECT_STREQ(out->GetDisplayText(0), "Select MIDI Device");
    EXPECT_EQ(b->param(kDeviceInSelection)->GetNDisplayTexts(),
              static_cast<int>(b->plug.getExternalMIDIInNames().size()));
    EXPECT_EQ(b->bound(kDeviceOutSelection)->GetText()->mColor, IColor(255, 200, 69, 0));

    // Name fields.
    struct Field { int param; const char* text; IColor color; int length; };
    const IColor dark(255, 50, 60, 70), orange(255, 200, 69, 0);
    for (const Field& f : {Field{kPatchName, "-- INIT --", dark, 12}, Field{kPatchRename, "New Name", orange, 16},
                           Field{kPatchSearchString, "search...", orange, 20}, Field{kMultiName, "Init Multi", dark, 12},
                           Field{kPatchNameView, "INIT", dark, 12}}) {
        SCOPED_TRACE(f.param);
        EXPECT_EQ(b->param(f.param)->Type(), IParam::kTypeText);
        EXPECT_STREQ(b->param(f.param)->GetDisplayText(0), f.text);
        IControl* field = b->bound(f.param);
        ASSERT_NE(dynamic_cast<ICaptionControl*>(field), nullptr);
        EXPECT_EQ(field->GetText()->mColor, f.color);
        EXPECT_EQ(field->GetTextEntryLength(), f.length);
        EXPECT_FALSE(field->IsPromptDisabled());
        EXPECT_EQ(b->action(f.param)->kind, ControlAction::kNone);
    }

    // Value displays start empty and show their parameter.
    auto* display = dynamic_cast<ITextControl*>(b->bound(kControlDisplayName));
    ASSERT_NE(display, nullptr);
    EXPECT_STREQ(display->GetTextString(), "");
    EXPECT_EQ(display->GetText()->mColor, IColor(200, 0, 0, 0));
    EXPECT_EQ(b->bound(kControlDisplayCC)->GetText()->mColor, IColor(100, 0, 0, 0));

    // Settings of the editor: knob, menus and switch without any binding.
    ControlLayer* main = b->layer("mainLayer");
    IParam* offset = b->param(kAdjustDAWOffset);
    EXPECT_EQ(offset->GetDefault(), 10.0);
    EXPECT_EQ(offset->GetMax(), 50.0);
    EXPECT_EQ(b->action(kAdjustDAWOffset), nullptr);
    EXPECT_NE(FactoryPanel::controlIn(main, kAdjustDAWOffset), nullptr);
    IParam* timer = b->param(kLibSyncTimer);
    ASSERT_EQ(timer->GetNDisplayTexts(), 4);
    EXPECT_STREQ(timer->GetDisplayText(0), "1");
    EXPECT_STREQ(timer->GetDisplayText(3), "4");
    EXPECT_EQ(FactoryPanel::controlIn(main, kLibSyncTimer)->GetText()->mColor, IColor(255, 255, 173, 0));
    EXPECT_STREQ(b->param(kKeepSelectedBank)->GetDisplayText(1), "B");
    EXPECT_EQ(FactoryPanel::controlIn(main, kKeepSelectedBank)->GetText()->mColor.A, 0);
    EXPECT_EQ(FactoryPanel::controlIn(main, kDataType)->GetText()->mColor, IColor(255, 255, 255, 255));
    EXPECT_EQ(FactoryPanel::controlIn(main, kOverwriteBank), nullptr);  // neither list nor number range
    EXPECT_EQ(b->param(kSendMIDIClockInfo)->Type(), IParam::kTypeBool);
    EXPECT_EQ(b->param(kSendMIDIClockInfo)->GetDefault(), 1.0);
    EXPECT_EQ(b->action(kSendMIDIClockInfo), nullptr);
    EXPECT_NE(FactoryPanel::controlIn(main, kSendMIDIClockInfo), nullptr);

    // MIDI menus: texts from the list, or numbers from valueDisplay.
    EXPECT_STREQ(b->param(kLfo1Waveform + 1)->GetDisplayText(2), "C");
    EXPECT_EQ(b->bound(kLfo1Waveform)->GetText()->mColor, IColor(254, 255, 173, 0));
    IParam* transpose = b->param(kTimbreTranspose + 1);
    ASSERT_EQ(transpose->GetNDisplayTexts(), 48);
    EXPECT_STREQ(transpose->GetDisplayText(0), "-24");
    EXPECT_STREQ(transpose->GetDisplayText(47), "23");
    EXPECT_EQ(transpose->GetDefault(), 24.0);
    IParam* arpType = b->param(kArpType);
    ASSERT_EQ(arpType->GetNDisplayTexts(), 6);
    EXPECT_STREQ(arpType->GetDisplayText(5), "6");
}

TEST_F(PanelWalk, SysExControlsCarryOneMessagePerValue) {
    const auto& step = b->action(kSeq1Step1)->sysEx.messages;
    ASSERT_EQ(step.size(), 128u);
    EXPECT_EQ(step[127][7], 127);
    EXPECT_EQ(b->action(kSeq1Step1)->kind, ControlAction::kSysEx);

    // The slider's first message carries minimum + shift.
    const auto& velo = b->action(kAmpVeloSense)->sysEx.messages;
    ASSERT_EQ(velo.size(), 64u);
    EXPECT_EQ(velo.front()[7], 64);
    EXPECT_EQ(velo.back()[7], 127);
    const auto& filterVelo = b->action(kFilterVeloSense + 1)->sysEx.messages;
    ASSERT_EQ(filterVelo.size(), 11u);
    EXPECT_EQ(filterVelo.front()[7], 5);
    EXPECT_EQ(filterVelo.back()[7], 15);
    EXPECT_EQ(filterVelo.front()[4], 0x51);

    // seKnob2 picks the encoding by parameter.
    const auto& eq = b->action(kEQLowGain)->sysEx.messages;
    ASSERT_EQ(eq.size(), 25u);
    EXPECT_EQ(eq[0][6], 116);
    EXPECT_EQ(eq[12][6], 0);
    EXPECT_EQ(eq[12][7], 0);
    EXPECT_EQ(sysex(0x58, 0x41, 0x70, 0x00), b->bound(kEQLowGain));
    const auto& tempo = b->action(kArpTempo)->sysEx.messages;
    ASSERT_EQ(tempo.size(), 281u);
    EXPECT_EQ(tempo[280][6], 44);
    EXPECT_EQ(tempo[280][7], 2);
    const auto& swing = b->action(kArpSwing)->sysEx.messages;
    ASSERT_EQ(swing.size(), 201u);
    EXPECT_EQ(swing[0][6], 28);
    EXPECT_EQ(swing[200][6], 100);
    const auto& seq = b->action(kSeq3Step1)->sysEx.messages;
    ASSERT_EQ(seq.size(), 128u);
    EXPECT_EQ(seq[0][6], 64);
    EXPECT_EQ(seq[0][7], 1);
    EXPECT_EQ(seq[64][6], 0);
    EXPECT_EQ(seq[64][7], 0);
    const auto& tune = b->action(kTimbreTune + 1)->sysEx.messages;
    ASSERT_EQ(tune.size(), 101u);
    EXPECT_EQ(tune[0][6], 78);
    EXPECT_EQ(tune[100][6], 50);
    EXPECT_EQ(tune[0][5], 1);

    // A SysEx menu: its entries plus one, with the encoding of its parameter.
    const auto& menu = b->action(kTimbreTranspose)->sysEx.messages;
    ASSERT_EQ(menu.size(), 49u);
    EXPECT_EQ(menu[0][6], 104);
    EXPECT_EQ(menu[24][6], 0);
    EXPECT_EQ(menu[48][6], 24);

    // Buttons: off and on.
    const auto& sync = b->action(kLfo2TempoSync + 1)->sysEx.messages;
    ASSERT_EQ(sync.size(), 2u);
    EXPECT_EQ(sync[0][7], 0);
    EXPECT_EQ(sync[1][7], 1);
    EXPECT_EQ(sync[1][5], 0x32);

    // A template the expansion refuses, or none at all: bound, not registered.
    EXPECT_EQ(b->action(kSeq2Step1)->kind, ControlAction::kSysEx);
    EXPECT_TRUE(b->action(kSeq2Step1)->sysEx.messages.empty());
    EXPECT_TRUE(b->action(kSeq2Step2)->sysEx.messages.empty());
    EXPECT_EQ(b->count("CONFIG READER: SysEx list 42 MISSING!"), 1);
}

TEST_F(PanelWalk, UnknownElementsTypesParametersAndImagesAreSkippedAndLogged) {
    // Unknown types build nothing, not even the parameter.
    EXPECT_EQ(b->action(kNoiseLevel), nullptr);
    EXPECT_EQ(b->param(kNoiseLevel)->Type(), IParam::kTypeNone);
    EXPECT_EQ(b->count("CONFIG READER: knobcontrol type ccknob UNKNOWN!"), 1);
    EXPECT_EQ(b->count("CONFIG READER: dropMenu type fancySelection UNKNOWN!"), 1);
    EXPECT_EQ(b->count("CONFIG READER: multiFx type Slider UNKNOWN!"), 1);

    // An unknown parameter name never lands on another index (here 0 + 1).
    EXPECT_EQ(b->count("CONFIG READER: parameter kNoSuchParam NOT FOUND!"), 1);
    EXPECT_EQ(b->count("CONFIG READER: knobcontrol of parameter kNoSuchParam+1 skipped!"), 1);
    EXPECT_EQ(b->action(kLfo1FrequencyCopy), nullptr);
    EXPECT_EQ(b->param(kLfo1FrequencyCopy)->Type(), IParam::kTypeNone);
    EXPECT_EQ(cc(1, 25, 1), nullptr);
    // An index past the last parameter.
    EXPECT_EQ(b->count("CONFIG READER: parameter index 476 NOT FOUND! Control not built."), 1);
    EXPECT_EQ(cc(1, 26, 1), nullptr);
    EXPECT_EQ(b->count("CONFIG READER: display without paramId skipped!"), 1);

    // Unknown element names, case included; their children are not walked.
    EXPECT_EQ(b->count("CONFIG READER: element Layer UNKNOWN!"), 1);
    EXPECT_EQ(b->action(kControlDisplayPatch), nullptr);
    EXPECT_EQ(b->count("CONFIG READER: element valueLists UNKNOWN!"), 0);

    // A missing image: logged, the control still built and bound.
    EXPECT_EQ(b->count("CONFIG READER: Image NO_SUCH_IMAGE MISSING!"), 1);
    EXPECT_EQ(cc(1, 27, 1), b->bound(kVibratoInt));

    // The librarian view has no place here yet.
    EXPECT_EQ(b->manager.librarianView, nullptr);
    EXPECT_EQ(b->action(kLibrarianArea), nullptr);
    EXPECT_EQ(b->count("CONFIG READER: patchBrowser skipped, no librarian view!"), 1);

    // Everything else the document names was built: 22 controls on the
    // panel itself, 19 in the main layer, one each in "inner" and the mixer,
    // 16 in each timbre copy.
    EXPECT_EQ(b->countControls(), 75);
}

}  // namespace
