#include <gtest/gtest.h>

#include "gui_fixture.h"

using namespace guitest;
using platform::appkit::Key;

namespace {
std::vector<std::unique_ptr<RAST_MemBitmap>> keep;
IBitmap strip(int w, int h, int n) {
    std::vector<unsigned int> colours;
    for (int i = 0; i < n; ++i) colours.push_back(rgb(i * 10, 0, 0));
    return makeStrip(keep, w, h, colours);
}
}  // namespace

TEST(GuiControls, SwitchStepsAFramePerClickWrapsAndTellsThePlugIn) {
    Panel p;
    IBitmap b = strip(10, 10, 3);
    auto* sw = new ISwitchControl(&p.plug, 5, 5, kSwitch, &b);
    EXPECT_EQ(*sw->GetRECT(), IRECT(5, 5, 15, 15));
    p.g->AttachControl(sw);
    p.open();
    p.click(6, 6);
    EXPECT_DOUBLE_EQ(sw->GetValue(), 0.5);
    p.click(6, 6);
    EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);
    p.click(6, 6);
    EXPECT_DOUBLE_EQ(sw->GetValue(), 0.0);
    EXPECT_EQ(p.plug.changes, (std::vector<int>{kSwitch, kSwitch, kSwitch}));
    sw->Hide(true);
    p.g->OnMouseDown(6, 6, nullptr);  // straight to the panel: the control ignores it while hidden
    EXPECT_DOUBLE_EQ(sw->GetValue(), 0.0);
}

TEST(GuiControls, OneFrameSwitchTogglesAndContactSpringsBack) {
    Panel p;
    IBitmap one = strip(10, 10, 1);
    auto* sw = new ISwitchControl(&p.plug, 0, 0, kSwitch, &one);
    auto* contact = new IContactControl(&p.plug, 20, 0, kSwitch, &one);
    p.g->AttachControl(sw);
    p.g->AttachControl(contact);
    p.open();
    p.click(1, 1);
    EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);
    p.click(1, 1);
    EXPECT_DOUBLE_EQ(sw->GetValue(), 0.0);
    p.press(21, 1);
    EXPECT_DOUBLE_EQ(contact->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kSwitch)->Value(), 1.0);
    p.release(40, 40);  // released elsewhere: still its own release
    EXPECT_DOUBLE_EQ(contact->GetValue(), 0.0);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kSwitch)->Value(), 0.0);
}

TEST(GuiControls, KnobDragFollowsItsGearingAndShiftMakesItFiner) {
    Panel p;
    IBitmap b = strip(20, 25, 8);
    auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
    EXPECT_EQ(*knob->GetRECT(), IRECT(0, 0, 20, 25));
    EXPECT_DOUBLE_EQ(knob->GetGearing(), 4.0);
    p.g->AttachControl(knob);
    p.open();
    // Height 25 x gearing 4: 100 pixels up sweep the whole range.
    p.press(10, 10);
    p.drag(10, -15);
    EXPECT_NEAR(knob->GetValue(), 0.25, 1e-9);
    EXPECT_NEAR(p.plug.GetParam(kKnob)->Value(), 25.0, 1e-9);
    p.drag(10, -15);  // no move: no drag
    p.drag(10, -115);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);  // clamped
    p.drag(10, -65, true);
    EXPECT_NEAR(knob->GetValue(), 0.95, 1e-9);
    p.release(10, -65);
    p.drag(10, 200);  // after the release no control follows the mouse
    EXPECT_NEAR(knob->GetValue(), 0.95, 1e-9);
}

TEST(GuiControls, WheelMovesAKnobByHundredthsAndAFaderToo) {
    Panel p;
    IBitmap b = strip(20, 20, 4);
    IBitmap handle = strip(10, 10, 1);
    auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
    auto* fader = new IFaderControl(&p.plug, 50, 0, 90, kFader, &handle, kVertical);
    p.g->AttachControl(knob);
    p.g->AttachControl(fader);
    p.open();
    p.wheel(5, 5, 1);
    p.wheel(5, 5, 1);
    EXPECT_NEAR(knob->GetValue(), 0.02, 1e-9);
    p.wheel(5, 5, -3);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.0);
    p.wheel(55, 50, 1);
    EXPECT_NEAR(fader->GetValue(), 0.01, 1e-9);
}

TEST(GuiControls, FaderHandleFollowsTheMouseAlongItsTravel) {
    Panel p;
    IBitmap handle = strip(10, 10, 1);
    auto* v = new IFaderControl(&p.plug, 0, 0, 90, kFader, &handle, kVertical);
    auto* h = new IFaderControl(&p.plug, 20, 0, 110, kFader, &handle, kHorizontal, true);
    EXPECT_EQ(*v->GetRECT(), IRECT(0, 0, 10, 90));
    EXPECT_EQ(*h->GetRECT(), IRECT(20, 0, 130, 10));
    p.g->AttachControl(v);
    p.g->AttachControl(h);
    p.open();
    p.press(5, 45);  // the middle of an 80-pixel travel
    EXPECT_NEAR(v->GetValue(), 0.5, 1e-9);
    EXPECT_EQ(v->GetHandleRECT(0.5), IRECT(0, 40, 10, 50));
    p.drag(5, 0);
    EXPECT_DOUBLE_EQ(v->GetValue(), 1.0);
    EXPECT_EQ(v->GetHandleRECT(1.0), IRECT(0, 0, 10, 10));
    p.release(5, 0);
    // Only its handle is hit: a press on the track elsewhere does nothing.
    EXPECT_FALSE(h->IsHit(100, 5));
    EXPECT_TRUE(h->IsHit(25, 5));
    EXPECT_EQ(h->GetHandleRECT(1.0), IRECT(120, 0, 130, 10));
}

TEST(GuiControls, DoubleClickRestoresTheDefaultUnlessHidden) {
    Panel p;
    IBitmap b = strip(20, 20, 4);
    auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
    p.g->AttachControl(knob);
    p.open();
    p.g->SetParameterFromPlug(kKnob, 0.25, true);  // the first value becomes the default
    p.g->SetParameterFromPlug(kKnob, 0.75, true);
    EXPECT_DOUBLE_EQ(knob->GetDefaultValue(), 0.25);
    p.doubleClick(5, 5);
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.25);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kKnob)->Value(), 25.0);
}

TEST(GuiControls, RadioButtonsSpreadEvenlyAndSelectTheButtonHit) {
    Panel p;
    IBitmap b = strip(10, 10, 2);
    auto* radio = new IRadioButtonsControl(&p.plug, IRECT(0, 0, 100, 10), kRadio, 4, &b, kHorizontal);
    ASSERT_EQ(radio->NButtons(), 4);
    EXPECT_EQ(radio->ButtonRECT(1), IRECT(30, 0, 40, 10));  // gaps of 20
    EXPECT_EQ(radio->ButtonRECT(3), IRECT(90, 0, 100, 10));
    p.g->AttachControl(radio);
    p.open();
    p.click(35, 5);
    EXPECT_NEAR(radio->GetValue(), 1.0 / 3.0, 1e-12);
    EXPECT_EQ(radio->SelectedButton(), 1);
    p.click(20, 5);  // in a gap: value kept, still sent
    EXPECT_EQ(radio->SelectedButton(), 1);
    EXPECT_EQ(p.plug.changes.size(), 2u);
    auto* reversed = new IRadioButtonsControl(&p.plug, IRECT(0, 20, 10, 60), kRadio, 4, &b, kVertical, true);
    EXPECT_EQ(reversed->ButtonRECT(0), IRECT(0, 50, 10, 60));
    delete reversed;
}

TEST(GuiControls, RadioGroupsOfNoneOrOneButtonHaveOneButtonAtValueZero) {
    Panel p;
    IBitmap b = strip(10, 10, 2);
    auto* none = new IRadioButtonsControl(&p.plug, IRECT(0, 0, 10, 10), kRadio, 0, &b);
    auto* one = new IRadioButtonsControl(&p.plug, IRECT(20, 0, 30, 10), kRadio, 1, &b);
    p.g->AttachControl(none);
    p.g->AttachControl(one);
    p.open();
    EXPECT_EQ(none->NButtons(), 1);
    p.click(5, 5);
    p.click(25, 5);
    EXPECT_DOUBLE_EQ(none->GetValue(), 0.0);
    EXPECT_DOUBLE_EQ(one->GetValue(), 0.0);
    EXPECT_EQ(one->SelectedButton(), 0);
}

TEST(GuiControls, RightClickOnARadioOpensTheValueMenuAnsweredByScript) {
    Panel p;
    IBitmap b = strip(10, 10, 2);
    auto* radio = new IRadioButtonsControl(&p.plug, IRECT(0, 0, 100, 10), kRadio, 4, &b, kHorizontal);
    radio->DisablePrompt(false);
    p.g->AttachControl(radio);
    p.open();
    p.backend->queueMenuChoice({2});
    p.click(5, 5, true);
    ASSERT_EQ(p.backend->shownMenus().size(), 1u);
    EXPECT_EQ(p.backend->shownMenus()[0].titles, (std::vector<std::string>{"r0", "r1", "r2", "r3"}));
    EXPECT_EQ(p.backend->shownMenus()[0].checked, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(p.backend->shownMenus()[0].at, (platform::appkit::Point{0, 10}));
    EXPECT_NEAR(radio->GetValue(), 2.0 / 3.0, 1e-12);
    EXPECT_EQ(p.plug.GetParam(kRadio)->Int(), 2);
    radio->DisablePrompt(true);
    p.click(5, 5, true);  // prompting off: no menu
    EXPECT_EQ(p.backend->shownMenus().size(), 1u);
}

TEST(GuiControls, CaptionPromptsForTextWithinTheEntryLength) {
    Panel p;
    IText style(14);
    auto* name = new ICaptionControl(&p.plug, IRECT(0, 0, 80, 16), kText, &style, true);
    name->SetTextEntryLength(4);
    p.g->AttachControl(name);
    p.open();
    p.click(5, 5);  // prompting is off by default
    EXPECT_TRUE(p.backend->textRequests().empty());
    name->DisablePrompt(false);
    p.backend->queueTextEntry(std::string("Bright Pad"));
    p.click(5, 5);
    ASSERT_EQ(p.backend->textRequests().size(), 1u);
    EXPECT_EQ(p.backend->textRequests()[0].initialText, "INIT");
    EXPECT_EQ(p.backend->textRequests()[0].maxLength, 4);
    EXPECT_STREQ(p.plug.GetParam(kText)->GetDisplayText(0), "Brig");
    EXPECT_EQ(p.plug.changes, (std::vector<int>{kText}));
    p.click(5, 5);  // cancelled: nothing changes
    EXPECT_STREQ(p.plug.GetParam(kText)->GetDisplayText(0), "Brig");
    EXPECT_EQ(p.plug.changes.size(), 1u);
}

TEST(GuiControls, NumericEntryOnACaptionSetsThePlainValueClamped) {
    Panel p;
    IText style;
    auto* cap = new ICaptionControl(&p.plug, IRECT(0, 0, 80, 16), kCaption, &style, true);
    cap->DisablePrompt(false);
    p.g->AttachControl(cap);
    p.open();
    p.backend->queueTextEntry(std::string("7"));
    p.backend->queueTextEntry(std::string("250"));
    p.backend->queueTextEntry(std::string("loud"));
    p.click(5, 5);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kCaption)->Value(), 7.0);
    p.click(5, 5);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kCaption)->Value(), 10.0);
    p.click(5, 5);  // not a number: ignored
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kCaption)->Value(), 10.0);
}

TEST(GuiControls, ValuesFromTheInstrumentGoTheSecondRoadOnlyWhenChanged) {
    Panel p;
    IBitmap b = strip(10, 10, 2);
    auto* sw = new ISwitchControl(&p.plug, 0, 0, kSwitch, &b);
    p.g->AttachControl(sw);
    sw->SetValueFromHardware(1.0);
    sw->SetValueFromHardware(1.0);
    EXPECT_EQ(p.plug.changes2, (std::vector<int>{kSwitch}));
    EXPECT_TRUE(p.plug.changes.empty());
    EXPECT_TRUE(sw->IsDirty());
}

TEST(GuiControls, TextControlsRedrawOnlyForADifferentText) {
    Panel p;
    IText style;
    ITextControl t(&p.plug, IRECT(0, 0, 10, 10), &style, "a");
    t.SetClean();
    t.SetTextFromPlug("a");
    EXPECT_FALSE(t.IsDirty());
    t.SetTextFromPlug("b");
    EXPECT_TRUE(t.IsDirty());
    EXPECT_EQ(t.GetTextString(), "b");
    EXPECT_STREQ(t.GetText()->mFont, "Consolas");
    EXPECT_EQ(t.GetText()->mSize, 12);
}

TEST(GuiControls, MouseEventsReachTheControlWithDragDeltasOverAndOut) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 50, 50));
    auto* b = new Recorder(&p.plug, IRECT(60, 0, 100, 50));
    p.g->AttachControl(a);
    p.g->AttachControl(b);
    p.open();
    p.press(10, 10);
    p.drag(13, 8);
    p.drag(80, 8);  // captured: still a's
    p.release(80, 8);
    p.doubleClick(20, 20);
    p.wheel(20, 20, -1);
    EXPECT_EQ(a->log, "down drag3,-2 drag67,0 up down up dbl up wheel-1 ");
    EXPECT_EQ(b->log, "");
    p.window->sendEvent(platform::appkit::Event::mouse(platform::appkit::EventType::MouseMoved, {10, 10},
                                                       platform::appkit::MouseButton::None));
    p.window->sendEvent(platform::appkit::Event::mouse(platform::appkit::EventType::MouseMoved, {70, 10},
                                                       platform::appkit::MouseButton::None));
    EXPECT_EQ(a->overs, 1);
    EXPECT_EQ(b->overs, 1);
    EXPECT_EQ(a->log.substr(a->log.size() - 4), "out ");
}

TEST(GuiControls, KeysGoToTheControlUnderThePointerWithTheirCodes) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 50, 50));
    auto* b = new Recorder(&p.plug, IRECT(60, 0, 100, 50));
    p.g->AttachControl(a);
    p.g->AttachControl(b);
    p.open();
    p.key(70, 10, Key::Up);
    p.key(70, 10, Key::Right);
    p.key(10, 10, Key::Space);
    p.key(10, 10, Key::Character, U'7');
    p.key(10, 10, Key::Character, U'C');
    p.key(10, 10, Key::Escape);  // no code of ours: not delivered
    EXPECT_EQ(b->log, "key1 key4 ");
    EXPECT_EQ(a->log, "key0 key12 key17 ");
    EXPECT_FALSE(p.g->OnKeyDown(150, 90, KEY_UPARROW));  // nothing there
}
