// Panel texts as a musician reads them: whole, descenders and all, inside
// their box; two texts sharing a line keep clear of each other. And one
// wheel notch is one of the parameter's own steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_fixture.h"

using namespace guitest;

namespace {

// The box around the white ink on the black panel (right and bottom inclusive).
IRECT inkOf(const Panel& p, int w, int h) {
    IRECT box(w, h, -1, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((p.pixel(x, y) & 0xFF) > 0x60)
                box = IRECT(std::min(box.L, x), std::min(box.T, y), std::max(box.R, x), std::max(box.B, y));
    return box;
}

}  // namespace

TEST(GuiTextFit, TextsStayWholeInsideTheirBoxWithTheirDescenders) {
    const std::tuple<const char*, IRECT, int> cases[] = {
        {"Single", IRECT(20, 20, 84, 33), 13},     // a value box of the panel
        {"Triangle", IRECT(20, 20, 84, 33), 13},   // wider than the box at 13
        {"Legacy gyp", IRECT(20, 20, 84, 29), 9},  // the small size
        {"Ring+Sync", IRECT(20, 20, 84, 33), 13},  // no descenders
        {"Program received to slot(s)", IRECT(10, 40, 224, 56), 15},
    };
    for (const auto& [text, box, size] : cases) {
        Panel p(240, 80);
        IText style(size, &COLOR_WHITE, "NK57 Monospace");
        p.g->AttachControl(new ITextControl(&p.plug, box, &style, text));
        p.open();
        const IRECT ink = inkOf(p, 240, 80);
        EXPECT_TRUE(ink.L >= box.L && ink.R < box.R && ink.T >= box.T && ink.B < box.B) << text;
        int width = 0;
        p.g->FitText(&style, text, box.W(), box.H(), &width);
        EXPECT_LE(width, box.W()) << text;
        // Descenders reach into the box's lowest rows.
        if (std::string(text).find_first_of("gyp") != std::string::npos) {
            EXPECT_GE(ink.B, box.B - 3) << text;
        }
    }
}

TEST(GuiTextFit, TwoTextsOnOneLineKeepClearAndShrinkTogether) {
    Panel p(330, 40);
    IText left(15, &COLOR_WHITE, "NK57 Monospace", IText::kStyleNormal, IText::kAlignNear);
    IText right(15, &COLOR_WHITE, "NK57 Monospace", IText::kStyleNormal, IText::kAlignFar);
    const IRECT row(4, 10, 324, 26);
    auto* status = new ITextControl(&p.plug, row, &left, "No results - Try another keyword!");
    auto* value = new ITextControl(&p.plug, row, &right, "Tip: Note that letter size matters..");
    status->ShareRowWith(value);
    value->ShareRowWith(status);
    p.g->AttachControl(status);
    p.g->AttachControl(value);
    p.open();
    const IRECT ink = inkOf(p, 330, 40);
    EXPECT_TRUE(ink.L >= row.L && ink.R < row.R);
    // A run of ink-free columns parts the two texts.
    int longestGap = 0;
    for (int x = ink.L, gap = 0; x <= ink.R; ++x) {
        bool any = false;
        for (int y = row.T; y < row.B; ++y) any = any || (p.pixel(x, y) & 0xFF) > 0x60;
        longestGap = std::max(longestGap, gap = any ? 0 : gap + 1);
    }
    EXPECT_GE(longestGap, 6);
    // With the value gone the message has the line to itself, at full size.
    value->SetTextFromPlug("");
    EXPECT_TRUE(status->IsDirty());
    EXPECT_EQ(p.g->FitText(&left, "No results - Try another keyword!", row.W(), row.H()), 15);

    // The small panel's row holds both at no size: the message shows as it
    // does alone, and no letters of the two run into each other.
    IText smallLeft = left, smallRight = right;
    smallLeft.mSize = smallRight.mSize = 11;
    auto drawRow = [&](const char* tip) {
        Panel q(250, 30);
        const IRECT narrow(4, 10, 242, 20);
        auto* message = new ITextControl(&q.plug, narrow, &smallLeft, "No results - Try another keyword!");
        auto* hint = new ITextControl(&q.plug, narrow, &smallRight, tip);
        message->ShareRowWith(hint);
        hint->ShareRowWith(message);
        q.g->AttachControl(message);
        q.g->AttachControl(hint);
        q.open();
        std::vector<uint32_t> shown;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 250; ++x) shown.push_back(q.pixel(x, y));
        return shown;
    };
    EXPECT_EQ(drawRow("Tip: Note that letter size matters.."), drawRow(""));
}

TEST(GuiTextFit, OneWheelNotchIsOneStepOfTheParameter) {
    // {max, step, start, notches, fine, shown after}, all from 0.
    const std::tuple<double, double, double, int, bool, int> cases[] = {
        {127, 1, 118, 1, false, 119}, {127, 1, 126, 1, false, 127}, {127, 1, 127, 1, false, 127},
        {127, 1, 0, -1, false, 0},    {24, 1, 12, 1, false, 13},    {24, 1, 12, -2, false, 10},
        {24, 1, 12, 1, true, 13},     {127, 2, 64, 1, false, 66},   {127, 1, 64.6, 1, false, 65},
        {127, 0, 64, 3, false, 67},  // no step of its own, whole numbers shown
    };
    for (const auto& [max, step, start, notches, fine, shown] : cases) {
        Panel p;
        p.plug.GetParam(kKnob)->InitDouble("Knob", start, 0, max, step);
        IBitmap b(nullptr, 20, 20, 1, false);
        auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
        p.g->AttachControl(knob);
        knob->SetValue(p.plug.GetParam(kKnob)->ToNormalized(start));
        IMouseMod mod(false, false, fine);
        knob->OnMouseWheel(5, 5, &mod, notches);
        EXPECT_EQ(static_cast<int>(p.plug.GetParam(kKnob)->Value()), shown)
            << start << " + " << notches << " of " << max;
    }
    // No value of a 0..127 knob is skipped, notch after notch.
    Panel p;
    p.plug.GetParam(kKnob)->InitDouble("Knob", 0, 0, 127, 1);
    IBitmap b(nullptr, 20, 20, 1, false);
    p.g->AttachControl(new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b));
    p.open();
    for (int v = 1; v <= 127; ++v) {
        p.wheel(5, 5, 1);
        ASSERT_EQ(static_cast<int>(p.plug.GetParam(kKnob)->Value()), v);
    }
}
