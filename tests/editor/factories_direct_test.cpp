// The factories called directly, as the plug-in's constructor and the walk
// call them: the cancel buttons, parameters that do not exist, missing
// layers and panels, and the rules the walk's test panel does not reach.
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "src/ICustomRadioButtonsControl.h"
#include "uiconfig_bundle_fixture.h"

#include <gtest/gtest.h>

namespace {

struct Factories : hvtest::BundleManager {
    explicit Factories(double scale = 1.0) : BundleManager(scale) {
        putPng("btn-cancel-request.png", 36, 16);
        putPng("button-pink.png", 80, 24);
        manager.initImages(graphics.get());
        SysExContainer step;
        step.lists.push_back(Values{"F0 42 30 58 41 10 00 00 F7"});
        manager.sysExContainers.push_back(step);
    }
    ControlAction* action(int i) const { return plug.GetParam(i)->GetControlAction(); }
};

TEST(DirectFactories, CancelButtonsAsTheConstructorMakesThem) {
    Factories f(1.25);
    ControlLayer overlay(90, "progress"), second(91, "cancel");
    f.manager.createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 860, 340, "BUTTON_LIB_CANCEL_ID", 0,
                                         &overlay, "Global");
    f.manager.createAutoOffSwitchControl("Cancel Data Request", kCancelDataRequest, 1150, 122, "BUTTON_LIB_CANCEL_ID",
                                         0, &second, "Global");
    ASSERT_EQ(overlay.GetControls().size(), 1u);
    ASSERT_EQ(second.GetControls().size(), 1u);
    IControl* button = overlay.GetControls()[0];
    EXPECT_NE(dynamic_cast<IContactControl*>(button), nullptr);
    EXPECT_EQ(button->GetRECTRef(), IRECT(1075, 425, 1120, 445));
    EXPECT_EQ(second.GetControls()[0]->GetRECTRef(), IRECT(1437, 152, 1482, 172));

    IParam* p = f.plug.GetParam(kCancelDataRequest);
    EXPECT_EQ(p->Type(), IParam::kTypeBool);
    EXPECT_EQ(p->GetDefault(), 0.0);
    EXPECT_STREQ(p->GetNameForHost(), "Cancel Data Request");
    EXPECT_STREQ(p->GetParamGroupForHost(), "Timbre 1:Global");
    ControlAction* a = f.action(kCancelDataRequest);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, ControlAction::kNone);
    ASSERT_EQ(a->boundControls.size(), 2u);
    EXPECT_EQ(a->boundControls[1], second.GetControls()[0]);
}

TEST(DirectFactories, MissingParametersOrPanelBuildNothing) {
    Factories f;
    ControlLayer layer(1, "l");
    for (int bad : {-1, 472}) {
        f.manager.createCCKnobControl(7, 1, "Knob", bad, 0, 0, "X", 0, 0, 127, 1, LinkInfo{}, -1, &layer, "");
        f.manager.createNameDisplay("Name", bad, 0, 0, 10, 10, 12, -1, &layer, "");
        f.manager.createRadioControl("Radio", bad, 0, 0, "BUTTON_PINK_ID", 3, -1, &layer, "");
        f.manager.createMultiSelectionSysExControl("Menu", bad, 0, 0, 10, 13, 0, 0, 2, 1, 2, {}, 0, 0, 0, 8, -1, &layer,
                                                   "");
    }
    EXPECT_TRUE(layer.GetControls().empty());
    EXPECT_TRUE(f.manager.ccControls.empty());
    EXPECT_EQ(f.count("CONFIG READER: parameter index 472 NOT FOUND! Control not built."), 4);
    EXPECT_EQ(f.count("CONFIG READER: parameter index -1 NOT FOUND! Control not built."), 4);

    f.manager.graphics = nullptr;
    f.manager.createControlDisplay("", kFilterCutoff, 0, 0, 10, 10, -1, nullptr, "", 0);
    EXPECT_EQ(f.action(kFilterCutoff), nullptr);
    EXPECT_EQ(f.count("CONFIG READER: no panel for parameter index 20! Control not built."), 1);
}

TEST(DirectFactories, KeysAndTypesOutsideTheTestPanel) {
    Factories f;
    // A CC slider without a layer is keyed by its copy; in a mixer by its channel.
    ControlLayer mixer(1, "multiModeMixer"), mixer2(2, "miniMixer2"), other(3, "osc");
    f.manager.createCCSliderControl(10, 5, "Pan", kFilterCutoff + 1, 0, 0, 80, "X", 0, 0, 127, LinkInfo{}, 1, nullptr,
                                    "", kVertical, false);
    EXPECT_NE(findCCControl(f.manager.ccControls, 2, 10, 0), nullptr);
    f.manager.createCCSliderControl(11, 5, "Level", kFilterCutoff, 0, 0, 80, "X", 0, 0, 127, LinkInfo{}, 1, &mixer, "",
                                    kHorizontal, false);
    EXPECT_EQ(f.action(kFilterCutoff)->key, 5);
    // The wave sample choice keeps type 2 inside a copy.
    f.manager.createCCKnobControl(15, 1, "DWGS", kOsc1DWGSWave + 1, 0, 0, "X", 0, 0, 63, 1, LinkInfo{}, 1, nullptr, "");
    EXPECT_NE(findCCControl(f.manager.ccControls, 2, 15, 2), nullptr);
    // The delay's sync note menu is type 0 at the top level, other menus 1.
    const Values two{"1/4", "1/8"};
    f.manager.createMultiSelectionCCControl(13, 1, "Sync", kDelayFxSyncNote, 0, 0, 40, 13, 0, 0, 2, -1, -1, two, -1,
                                            nullptr, "");
    f.manager.createMultiSelectionCCControl(14, 1, "Type", kDelayFxType, 0, 0, 40, 13, 0, 0, 2, -1, -1, two, -1,
                                            nullptr, "");
    EXPECT_EQ(f.action(kDelayFxSyncNote)->type, 0);
    EXPECT_EQ(f.action(kDelayFxType)->type, 1);
    // MSB/LSB menus: the channel and type 1 only in the mixer layers.
    const Values four{"a", "b", "c", "d"};
    f.manager.createMsbLsbSelectionCCControl(6, 4, 1, 38, 7, "A", 24, 0, 0, 40, 13, 0, 0, 4, -1, -1, four, 1, &mixer2,
                                             "");
    f.manager.createMsbLsbSelectionCCControl(6, 4, 2, 38, 7, "B", 26, 0, 0, 40, 13, 0, 0, 4, -1, -1, four, -1, &other,
                                             "");
    EXPECT_EQ(f.manager.nrpnControls.findControl(7, 4, 1, 38, 1), mixer2.GetControls().at(0));
    EXPECT_EQ(f.manager.nrpnControls.findControl(0, 4, 2, 38, 0), other.GetControls().at(0));

    // A SysEx knob whose range is empty is bound but not registered; a later
    // element with a good range fills and registers the same binding.
    f.manager.createSysExKnobControl("Step", kSeq1Step1, 0, 0, "X", 0, 10, 5, 1, 0, 0, 8, -1, LinkInfo{}, nullptr, "");
    EXPECT_EQ(f.action(kSeq1Step1)->kind, ControlAction::kSysEx);
    EXPECT_TRUE(f.manager.sysExControls.empty());
    f.manager.createSysExKnobControl("Step", kSeq1Step1, 0, 0, "X", 0, 0, 127, 1, 0, 0, 8, 1, LinkInfo{}, nullptr, "");
    EXPECT_EQ(f.action(kSeq1Step1)->sysEx.messages.size(), 128u);
    EXPECT_NE(f.manager.sysExControls.findControl(0x58, 0x51, 0x11, 0x00, 0), nullptr);
}

TEST(DirectFactories, MenuRectanglesAndColoursFollowScaleAndSkin) {
    Factories f(0.75);
    ControlLayer layer(1, "l");
    f.manager.skin = 0;
    f.manager.createNoValDropDown("M", 400, 10, 20, 10, 13, 0, 0, 2, 1, 2, 1, {}, -1, &layer, "", false);
    f.manager.skin = 2;
    f.manager.createNoValDropDown("M", 401, 10, 20, 10, 13, 0, 0, 2, 1, 2, 1, {}, -1, &layer, "", false);
    f.manager.createDropDownMenu2("S", 402, 10, 20, 10, 13, 0, 0, 2, {"x", "y"}, -1, &layer, "");
    ASSERT_EQ(layer.GetControls().size(), 3u);
    // Each product truncated on its own: 7 + 7, not 15.
    EXPECT_EQ(layer.GetControls()[0]->GetRECTRef(), IRECT(7, 15, 14, 24));
    EXPECT_EQ(layer.GetControls()[0]->GetText()->mColor, IColor(255, 200, 180, 80));
    EXPECT_EQ(layer.GetControls()[1]->GetText()->mColor, IColor(255, 180, 30, 50));
    EXPECT_EQ(layer.GetControls()[2]->GetText()->mColor, IColor(255, 180, 30, 50));
    EXPECT_EQ(layer.GetControls()[2]->GetText()->mSize, 9);
}

TEST(DirectFactories, RadioGroupOfNoButtonsIsOneButton) {
    Factories f;
    ControlLayer layer(1, "l");
    f.manager.createRadioControl("Tab", kMainTab, 10, 20, "BUTTON_PINK_ID", 0, -1, &layer, "");
    auto* radio = dynamic_cast<ICustomRadioButtonsControl*>(layer.GetControls().at(0));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->GetRECTRef(), IRECT(10, 20, 90, 32));
    ASSERT_EQ(radio->NButtons(), 1);
    EXPECT_EQ(radio->ButtonRECT(0), IRECT(10, 20, 90, 32));
}

}  // namespace
