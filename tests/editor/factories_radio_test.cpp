// The custom radio group on a headless panel: its slices, what a click
// selects and pushes, and what it draws from which frame.
#include "framework/IGraphics.h"
#include "framework/IGraphicsMac.h"
#include "framework/IUnitBase.h"
#include "raster/RAST_Bitmap.h"
#include "src/ICustomRadioButtonsControl.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

enum { kTab, kSingle, kNParams };

class RadioPlug : public IUnitBase {
public:
    RadioPlug() : IUnitBase(IUnitConfig{}, kNParams) {
        GetParam(kTab)->InitEnum("Tab", 0, 4);
        GetParam(kSingle)->InitEnum("Single", 0, 1);
    }
    void OnParamChange(int i) override { changes.emplace_back(i, GetParam(i)->GetNormalized()); }
    std::vector<std::pair<int, double>> changes;
};

// The colour of slice `slice` of frame `frame` (1 or 2) in the test bitmaps.
unsigned int sliceColor(int frame, int slice) {
    return IColor(255, 40 * slice + 20, frame == 2 ? 200 : 50, 7).ToWord();
}

struct RadioPanel {
    RadioPlug plug;
    std::unique_ptr<IGraphics> graphics{MakeGraphics(&plug, 300, 200)};
    std::unique_ptr<RAST_MemBitmap> pixels;
    IBitmap bitmap;

    // A two-frame bitmap of n slices of w x h: frames stacked (a row of
    // buttons) or side by side (a column).
    void makeBitmap(int n, int w, int h, bool sideBySide) {
        const int W = sideBySide ? 2 * w : n * w, H = sideBySide ? n * h : 2 * h;
        pixels = std::make_unique<RAST_MemBitmap>(W, H, 4);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int frame = sideBySide ? 1 + x / w : 1 + y / h;
                const int slice = sideBySide ? y / h : x / w;
                pixels->getBits()[y * pixels->getRowSpan() + x] = sliceColor(frame, slice);
            }
        bitmap = IBitmap(pixels.get(), W, H, 2, sideBySide);
    }

    ICustomRadioButtonsControl* attach(IRECT rect, int paramIdx, int buttons, EDirection direction) {
        auto* radio = new ICustomRadioButtonsControl(&plug, rect, paramIdx, buttons, &bitmap, direction);
        graphics->AttachControl(radio);
        return radio;
    }

    unsigned int shown(int x, int y) const {
        RAST_IBitmap* surface = graphics->GetDrawBitmap();
        return surface->getBits()[y * surface->getRowSpan() + x];
    }
    void draw() {
        IRECT all(0, 0, 300, 200);
        graphics->Draw(&all);
    }
    void click(int x, int y, bool right = false) {
        IMouseMod mod(!right, right);
        graphics->OnMouseDown(x, y, &mod);
        graphics->OnMouseUp(x, y, &mod);
    }
};

TEST(CustomRadio, RowOfSlicesFromStackedFrames) {
    RadioPanel p;
    p.makeBitmap(4, 50, 30, false);  // 200 x 60
    ICustomRadioButtonsControl* radio = p.attach(IRECT(0, 0, 200, 30), kTab, 4, kHorizontal);
    ASSERT_EQ(radio->NButtons(), 4);
    EXPECT_EQ(radio->ButtonWidth(), 50);
    EXPECT_EQ(radio->ButtonHeight(), 30);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(radio->ButtonRECT(i), IRECT(50 * i, 0, 50 * (i + 1), 30));

    p.click(120, 10);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 2.0 / 3.0);
    ASSERT_FALSE(p.plug.changes.empty());
    EXPECT_EQ(p.plug.changes.back().first, kTab);
    EXPECT_EQ(p.plug.GetParam(kTab)->Int(), 2);

    // Button 2 shows its own slice of the selected frame, the rest theirs of
    // the plain frame.
    p.draw();
    EXPECT_EQ(p.shown(110, 15), sliceColor(2, 2));
    EXPECT_EQ(p.shown(149, 29), sliceColor(2, 2));
    EXPECT_EQ(p.shown(10, 15), sliceColor(1, 0));
    EXPECT_EQ(p.shown(60, 15), sliceColor(1, 1));
    EXPECT_EQ(p.shown(199, 0), sliceColor(1, 3));
}

TEST(CustomRadio, ColumnOfSlicesFromFramesSideBySide) {
    RadioPanel p;
    p.makeBitmap(3, 50, 40, true);  // 100 x 120
    ICustomRadioButtonsControl* radio = p.attach(IRECT(20, 10, 70, 130), kTab, 3, kVertical);
    EXPECT_EQ(radio->ButtonWidth(), 50);
    EXPECT_EQ(radio->ButtonHeight(), 40);
    EXPECT_EQ(radio->ButtonRECT(0), IRECT(20, 10, 70, 50));
    EXPECT_EQ(radio->ButtonRECT(2), IRECT(20, 90, 70, 130));

    p.click(30, 95);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 1.0);
    p.draw();
    EXPECT_EQ(p.shown(25, 100), sliceColor(2, 2));
    EXPECT_EQ(p.shown(25, 60), sliceColor(1, 1));
    EXPECT_EQ(p.shown(69, 11), sliceColor(1, 0));
}

TEST(CustomRadio, MouseRules) {
    RadioPanel p;
    p.makeBitmap(4, 50, 30, false);
    ICustomRadioButtonsControl* radio = p.attach(IRECT(0, 0, 200, 30), kTab, 4, kHorizontal);
    IMouseMod left(true, false);

    // The right edge of a button belongs to the next one.
    p.click(50, 0);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 1.0 / 3.0);
    p.click(49, 29);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 0.0);

    // Outside every button the value stays, and still goes to the plug-in.
    p.click(150, 10);
    p.plug.changes.clear();
    radio->OnMouseDown(250, 10, &left);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 1.0);
    ASSERT_FALSE(p.plug.changes.empty());
    EXPECT_DOUBLE_EQ(p.plug.changes.back().second, 1.0);

    // A right click selects nothing, but pushes the value once and redraws.
    p.draw();
    p.plug.changes.clear();
    p.click(10, 10, true);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 1.0);
    EXPECT_TRUE(radio->IsDirty());
    ASSERT_EQ(p.plug.changes.size(), 1u);

    // A double click keeps the choice although there is a default to go back to.
    radio->SetDefaultValue(0.0);
    p.graphics->OnMouseDblClick(170, 10, &left);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 1.0);

    // Leaving the group redraws it without a change; passing over does nothing.
    p.draw();
    p.plug.changes.clear();
    p.graphics->OnMouseOver(10, 10, &left);
    EXPECT_FALSE(radio->IsDirty());
    p.graphics->OnMouseOut();
    EXPECT_TRUE(radio->IsDirty());
    EXPECT_TRUE(p.plug.changes.empty());

    // A value between two buttons selects the nearest one.
    radio->SetValueFromPlug(0.5);
    EXPECT_EQ(radio->SelectedButton(), 2);

    // Hidden or grayed-out groups take no clicks.
    radio->Hide(true);
    p.click(10, 10);
    radio->Hide(false);
    radio->GrayOut(true);
    p.click(10, 10);
    EXPECT_DOUBLE_EQ(radio->GetValue(), 0.5);
    EXPECT_TRUE(p.plug.changes.empty());
}

TEST(CustomRadio, GroupsOfNoneOrOneButtonStayWhole) {
    for (int buttons : {0, 1}) {
        SCOPED_TRACE(buttons);
        RadioPanel p;
        p.makeBitmap(1, 60, 20, false);  // 60 x 40
        ICustomRadioButtonsControl* radio = p.attach(IRECT(10, 10, 70, 30), kSingle, buttons, kHorizontal);
        ASSERT_EQ(radio->NButtons(), 1);
        EXPECT_EQ(radio->ButtonRECT(0), IRECT(10, 10, 70, 30));
        radio->SetValueFromPlug(1.0);
        p.click(40, 20);
        EXPECT_EQ(radio->GetValue(), 0.0);
        ASSERT_FALSE(p.plug.changes.empty());
        EXPECT_EQ(p.plug.changes.back().second, 0.0);
        p.draw();
        EXPECT_EQ(p.shown(40, 20), sliceColor(2, 0));
    }
}

}  // namespace
