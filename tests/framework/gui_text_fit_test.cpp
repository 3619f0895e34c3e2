// Panel texts as a musician reads them: whole, with their descenders, inside
// their box; two texts sharing one line keep clear of each other. And one
// wheel notch is one of the parameter's own steps.
#include <gtest/gtest.h>

#include <string>

#include "gui_fixture.h"

using namespace guitest;

namespace {

constexpr uint32_t kInk = 0xFFFFFF;

struct InkBox {
    int l = 1 << 20, t = 1 << 20, r = -1, b = -1;
    bool empty() const { return r < 0; }
};

// Where white ink landed on the black panel.
InkBox inkOf(const Panel& p, int w, int h) {
    InkBox box;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((p.pixel(x, y) & 0xFF) > 0x60) {
                box.l = std::min(box.l, x);
                box.t = std::min(box.t, y);
                box.r = std::max(box.r, x);
                box.b = std::max(box.b, y);
            }
    return box;
}

}  // namespace

TEST(GuiTextFit, TextsStayWholeInsideTheirBoxWithTheirDescenders) {
    struct Case {
        const char* text;
        IRECT box;
        int size;
        bool descends;
    } cases[] = {
        {"Single", IRECT(20, 20, 84, 33), 13, true},     // a value box of the panel
        {"Triangle", IRECT(20, 20, 84, 33), 13, true},   // wider than the box at 13
        {"Legacy gyp", IRECT(20, 20, 84, 29), 9, true},  // small size
        {"Osc1 Ctrl 1", IRECT(20, 20, 84, 33), 13, false},
        {"Ring+Sync", IRECT(20, 20, 84, 33), 13, false},
        {"Program received to slot(s)", IRECT(10, 40, 224, 56), 15, false},
        {"TIMBRE 1", IRECT(10, 40, 100, 56), 15, false},  // fits as it is
    };
    for (const Case& c : cases) {
        Panel p(240, 80);
        IText style(c.size, &COLOR_WHITE, "NK57 Monospace");
        p.g->AttachControl(new ITextControl(&p.plug, c.box, &style, c.text));
        p.open();
        const InkBox ink = inkOf(p, 240, 80);
        ASSERT_FALSE(ink.empty()) << c.text;
        EXPECT_GE(ink.l, c.box.L) << c.text;
        EXPECT_LT(ink.r, c.box.R) << c.text;
        EXPECT_GE(ink.t, c.box.T) << c.text;
        EXPECT_LT(ink.b, c.box.B) << c.text;
        // Nothing of the text is cut at either end: it fits at its size.
        int width = 0;
        const int size = p.g->FitText(&style, c.text, c.box.W(), c.box.H(), &width);
        EXPECT_LE(width, c.box.W()) << c.text;
        EXPECT_GE(size, 6) << c.text;
        if (c.descends) {
            // The descenders reach below the baseline into the box's lowest rows.
            EXPECT_GE(ink.b, c.box.B - 3) << c.text;
        }
        if (std::string(c.text) == "TIMBRE 1") {
            EXPECT_EQ(size, c.size);
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
    const InkBox ink = inkOf(p, 330, 40);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.l, row.L);
    EXPECT_LT(ink.r, row.R);
    // A gap of ink-free columns parts the two texts.
    int longestGap = 0, gap = 0;
    for (int x = ink.l; x <= ink.r; ++x) {
        bool any = false;
        for (int y = row.T; y < row.B; ++y) any = any || (p.pixel(x, y) & 0xFF) > 0x60;
        gap = any ? 0 : gap + 1;
        longestGap = std::max(longestGap, gap);
    }
    EXPECT_GE(longestGap, 6);

    // With the value gone the message has the whole line at its own size.
    value->SetTextFromPlug("");
    EXPECT_TRUE(status->IsDirty());
    p.tick();
    int width = 0;
    EXPECT_EQ(p.g->FitText(&left, "No results - Try another keyword!", row.W(), row.H(), &width), 15);
}

TEST(GuiTextFit, OneWheelNotchIsOneStepOfTheParameter) {
    struct Case {
        double min, max, step;
        double start;  // plain
        int notches;
        bool fine;
        double expected;  // plain, read as the panel reads it (truncated)
    } cases[] = {
        {0, 127, 1, 118, 1, false, 119}, {0, 127, 1, 119, 1, false, 120}, {0, 127, 1, 126, 1, false, 127},
        {0, 127, 1, 127, 1, false, 127}, {0, 127, 1, 0, -1, false, 0},    {0, 24, 1, 12, 1, false, 13},
        {0, 24, 1, 12, -2, false, 10},   {0, 24, 1, 12, 1, true, 13},     {0, 127, 2, 64, 1, false, 66},
        {0, 127, 1, 64.6, 1, false, 65}, {0, 100, 1, 50, 1, true, 51},
    };
    for (const Case& c : cases) {
        Panel p;
        p.plug.GetParam(kKnob)->InitDouble("Knob", c.start, c.min, c.max, c.step);
        IBitmap b(nullptr, 20, 20, 1, false);
        auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
        p.g->AttachControl(knob);
        knob->SetValue(p.plug.GetParam(kKnob)->ToNormalized(c.start));
        IMouseMod mod(false, false, c.fine, false, false);
        knob->OnMouseWheel(5, 5, &mod, c.notches);
        EXPECT_EQ(static_cast<int>(p.plug.GetParam(kKnob)->Value()), static_cast<int>(c.expected))
            << c.start << " + " << c.notches << " of " << c.max;
    }
    // Every notch of a 0..127 knob shows the next value: none is skipped.
    Panel p;
    p.plug.GetParam(kKnob)->InitDouble("Knob", 0, 0, 127, 1);
    IBitmap b(nullptr, 20, 20, 1, false);
    auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &b);
    p.g->AttachControl(knob);
    p.open();
    for (int v = 1; v <= 127; ++v) {
        p.wheel(5, 5, 1);
        ASSERT_EQ(static_cast<int>(p.plug.GetParam(kKnob)->Value()), v);
    }
}
