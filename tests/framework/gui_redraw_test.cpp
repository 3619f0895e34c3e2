#include <gtest/gtest.h>

#include "gui_fixture.h"

using namespace guitest;

TEST(GuiRedraw, OpeningTheWindowStartsATwentyFivePerSecondTimerAndClosingStopsIt) {
    Panel p;
    EXPECT_FALSE(p.g->WindowIsOpen());
    p.open();
    ASSERT_NE(p.g->GetTimer(), nullptr);
    EXPECT_EQ(p.g->GetTimer()->intervalMs(), 40);
    EXPECT_EQ(p.g->GetView()->superview(), p.window->contentView());
    p.g->CloseWindow();
    EXPECT_EQ(p.g->GetTimer(), nullptr);
    EXPECT_TRUE(p.window->contentView()->subviews().empty());
}

TEST(GuiRedraw, TheHostDeletingItsWindowFirstLeavesNoDanglingView) {
    Panel p;
    p.open();
    p.window.reset();  // deletes the content view and ours with it
    EXPECT_FALSE(p.g->WindowIsOpen());
    EXPECT_EQ(p.g->GetTimer(), nullptr);
    p.tick();  // nothing to draw into, nothing breaks
}

TEST(GuiRedraw, OnlyControlsMeetingTheDirtyAreaAreDrawnAndTheRestIsCleanedToo) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 20, 20));
    auto* b = new Recorder(&p.plug, IRECT(50, 0, 70, 20));
    auto* c = new Recorder(&p.plug, IRECT(60, 10, 90, 30));  // overlaps b
    p.g->AttachControl(a);
    p.g->AttachControl(b);
    p.g->AttachControl(c);
    p.open();  // the first display draws everything
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(c->draws, 1);
    p.tick();
    EXPECT_EQ(a->draws + b->draws + c->draws, 3);  // all clean after the first draw
    b->SetDirty(false);
    p.tick();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 2);
    EXPECT_EQ(c->draws, 2);  // meets b's area
    EXPECT_EQ(p.g->LastDrawCount(), 2);
    EXPECT_FALSE(b->IsDirty());
}

TEST(GuiRedraw, OnlyTheDirtyAreaReachesTheWindow) {
    Panel p(40, 20);
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    p.g->AttachControl(a);
    p.open();
    // Mark the whole surface; only the dirty control's area may be copied out.
    RAST_IBitmap* s = p.g->GetDrawBitmap();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) s->getBits()[y * s->getRowSpan() + x] = rgb(1, 2, 3);
    a->SetDirty(false);
    p.tick();
    EXPECT_EQ(p.pixel(5, 5), screen(1, 2, 3));
    EXPECT_EQ(p.pixel(9, 9), screen(1, 2, 3));
    EXPECT_NE(p.pixel(10, 5), screen(1, 2, 3));
    EXPECT_NE(p.pixel(30, 15), screen(1, 2, 3));
}

TEST(GuiRedraw, AValueFromThePlugInIsDrawnOneExtraFrame) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    p.g->AttachControl(a);
    p.open();
    a->SetValueFromPlug(0.3);  // the first value sets the default only
    p.tick();
    EXPECT_EQ(a->draws, 1);
    a->SetValueFromPlug(0.6);
    p.tick();
    p.tick();
    p.tick();
    EXPECT_EQ(a->draws, 3);  // this tick and the one after
    EXPECT_TRUE(p.plug.changes.empty());
    EXPECT_TRUE(p.plug.changes2.empty());
}

TEST(GuiRedraw, HiddenControlsReportNoAreaUnlessTheyIgnoreHiding) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    p.g->AttachControl(a);
    p.open();
    a->Hide(true);
    IRECT r;
    EXPECT_FALSE(p.g->IsDirty(&r));
    a->SetIgnoreHidden(true);
    EXPECT_TRUE(p.g->IsDirty(&r));
    EXPECT_EQ(r, IRECT(0, 0, 10, 10));
    p.tick();
    EXPECT_EQ(a->draws, 1);  // its area is redrawn, the hidden control is not
}

TEST(GuiRedraw, BitmapsDrawTheFrameOfTheValueClampedToTheStrip) {
    Panel p(40, 20);
    std::vector<std::unique_ptr<RAST_MemBitmap>> keep;
    IBitmap strip = makeStrip(keep, 10, 10, {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255)});
    auto* knob = new IKnobMultiControl(&p.plug, 0, 0, kKnob, &strip);
    p.g->AttachControl(knob);
    p.open();
    EXPECT_EQ(p.pixel(5, 5), screen(255, 0, 0));
    p.g->SetParameterFromPlug(kKnob, 0.5, true);  // first value: the default
    p.g->SetParameterFromPlug(kKnob, 1.0, true);
    p.tick();
    EXPECT_EQ(p.pixel(5, 5), screen(0, 0, 255));
    p.g->SetParameterFromPlug(kKnob, 50.0, false);  // plain: half way
    p.tick();
    EXPECT_EQ(p.pixel(5, 5), screen(0, 255, 0));
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kKnob)->Value(), 50.0);
    // A frame past the last shows the last; horizontal strips step along x.
    IBitmap across = makeStrip(keep, 10, 10, {rgb(9, 9, 9), rgb(200, 100, 50)}, true);
    IRECT r(20, 0, 30, 10);
    struct Frame : IControl {
        Frame(IUnitBase* pl, IBitmap b) : IControl(pl, IRECT(20, 0, 30, 10)), bmp(b) {}
        bool Draw(IGraphics* g) override { return g->DrawBitmap(&bmp, &mRECT, 99); }
        IBitmap bmp;
    };
    p.g->AttachControl(new Frame(&p.plug, across));
    p.g->SetAllControlsDirty();
    p.tick();
    EXPECT_EQ(p.pixel(25, 5), screen(200, 100, 50));
}

TEST(GuiRedraw, FillsUseTheColoursAlphaSoTransparentDrawsNothing) {
    Panel p(20, 10);
    struct Filler : IControl {
        Filler(IUnitBase* pl, IRECT r, IColor c) : IControl(pl, r), col(c) {}
        bool Draw(IGraphics* g) override { return g->FillIRect(&col, &mRECT); }
        IColor col;
    };
    p.g->AttachControl(new Filler(&p.plug, IRECT(0, 0, 20, 10), IColor(255, 10, 20, 30)));
    p.g->AttachControl(new Filler(&p.plug, IRECT(0, 0, 10, 10), COLOR_TRANSPARENT));
    p.open();
    EXPECT_EQ(p.pixel(5, 5), screen(10, 20, 30));
    EXPECT_EQ(p.pixel(15, 5), screen(10, 20, 30));
}

TEST(GuiRedraw, AReleasedBitmapStopsThePanelsDrawingFirst) {
    Panel p;
    auto* a = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    p.g->AttachControl(a);
    p.open();
    RAST_MemBitmap notCached(4, 4, 4);
    IBitmap b(&notCached, 4, 4);
    p.g->ReleaseBitmap(&b);  // not in the cache: left alone, but drawing ends
    EXPECT_TRUE(p.g->IsDrawingStopped());
    a->SetDirty(false);
    p.tick();
    EXPECT_EQ(a->draws, 1);
}
