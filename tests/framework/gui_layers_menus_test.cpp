#include <gtest/gtest.h>

#include "base/BASE_String.h"
#include "framework/IPopupMenu.h"
#include "gui_fixture.h"

using namespace guitest;

TEST(GuiLayers, ANewLayerIsHiddenAndNeitherHitNorDrawnUntilShown) {
    Panel p;
    auto* layer = new ControlLayer(3, "page");
    auto* c = new Recorder(&p.plug, IRECT(0, 0, 20, 20));
    layer->AddControl(c);
    EXPECT_EQ(p.g->AttachLayer(layer), 0);
    EXPECT_FALSE(layer->IsVisible());
    p.open();
    EXPECT_EQ(c->draws, 0);
    p.click(5, 5);
    EXPECT_EQ(c->log, "");
    layer->Hide(false);
    p.tick();
    EXPECT_EQ(c->draws, 1);
    p.click(5, 5);
    EXPECT_EQ(c->log, "down up ");
    layer->GrayOut(true);
    p.click(5, 5);
    EXPECT_EQ(c->log, "down up ");  // grayed controls are not hit
    EXPECT_TRUE(c->IsGrayed());
    EXPECT_FLOAT_EQ(c->DrawBlend().mWeight, 0.25f);
}

TEST(GuiLayers, HitTestingTriesLayersLastAttachedFirstThenOwnControls) {
    Panel p;
    auto* own = new Recorder(&p.plug, IRECT(0, 0, 50, 50));
    auto* first = new ControlLayer(1, "first");
    auto* second = new ControlLayer(2, "second");
    auto* inFirst = new Recorder(&p.plug, IRECT(0, 0, 50, 50));
    auto* inSecond = new Recorder(&p.plug, IRECT(0, 0, 50, 50));
    auto* sub = new ControlLayer(20, "sub");
    auto* inSub = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    first->AddControl(inFirst);
    second->AddControl(inSecond);
    second->AddSubLayer(sub);
    sub->AddControl(inSub);
    p.g->AttachControl(own);
    p.g->AttachLayer(first);
    p.g->AttachLayer(second);
    first->Hide(false);
    second->Hide(false);
    EXPECT_EQ(p.g->GetMouseControl(20, 20), inSecond);
    EXPECT_EQ(p.g->GetMouseControl(5, 5), inSub);  // a sub-layer lies over its layer
    second->Hide(true);
    EXPECT_TRUE(inSub->IsHidden());
    EXPECT_EQ(p.g->GetMouseControl(5, 5), inFirst);
    first->Hide(true);
    EXPECT_EQ(p.g->GetMouseControl(5, 5), own);
    inFirst->Hide(false);  // shown alone, its layer stays hidden
    EXPECT_EQ(p.g->GetMouseControl(5, 5), own);
}

TEST(GuiLayers, ValuesReachControlsInsideNestedLayers) {
    Panel p;
    auto* outer = new ControlLayer(0, "outer");
    auto* inner = new ControlLayer(1, "inner");
    auto* c = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    auto* aux = new Recorder(&p.plug, IRECT(0, 0, 10, 10));
    struct Bound : Recorder {
        Bound(IUnitBase* pl, int idx) : Recorder(pl, IRECT(0, 0, 5, 5)) { mParamIdx = idx; }
    };
    auto* bound = new Bound(&p.plug, kKnob);
    aux->AddAuxParam(kKnob);
    inner->AddControl(bound);
    inner->AddControl(aux);
    outer->AddControl(c);
    outer->AddSubLayer(inner);
    p.g->AttachLayer(outer);
    p.g->SetParameterFromPlug(kKnob, 40.0, false);
    p.g->SetParameterFromPlug(kKnob, 60.0, false);
    EXPECT_DOUBLE_EQ(bound->GetValue(), 0.6);
    EXPECT_DOUBLE_EQ(aux->GetAuxParam(0)->mValue, 0.6);
    EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
    EXPECT_DOUBLE_EQ(p.plug.GetParam(kKnob)->Value(), 60.0);
    EXPECT_TRUE(p.plug.changes.empty());
    p.g->SetParameterFromPlug(kKnob, 500.0, false);  // clamped in the parameter
    EXPECT_DOUBLE_EQ(bound->GetValue(), 1.0);
}

TEST(GuiLayers, AHiddenOverlayStillReportsItsFirstControlsAreaWithTheFlagOn) {
    Panel p;
    auto* outer = new ControlLayer(0, "outer");
    auto* overlay = new ControlLayer(5, "overlay");
    auto* cover = new Recorder(&p.plug, IRECT(10, 10, 90, 60));
    auto* other = new Recorder(&p.plug, IRECT(0, 0, 5, 5));
    overlay->AddControl(cover);
    overlay->AddControl(other);
    outer->AddSubLayer(overlay);
    p.g->AttachLayer(outer);
    outer->Hide(false);
    p.open();
    overlay->Hide(true);
    IRECT r;
    EXPECT_FALSE(p.g->IsDirty(&r));  // hidden and not flagged: nothing to repaint
    outer->setIgnoreHiddenWhenUpdatingScreen(true);
    EXPECT_TRUE(overlay->GetIgnoreHidden());
    EXPECT_TRUE(cover->GetIgnoreHidden());
    EXPECT_FALSE(other->GetIgnoreHidden());
    EXPECT_TRUE(p.g->IsDirty(&r));
    EXPECT_EQ(r, IRECT(10, 10, 90, 60));
    p.tick();
    EXPECT_TRUE(cover->IsDirty());  // hiding asks for one more frame
    p.tick();
    EXPECT_FALSE(cover->IsDirty());
}

TEST(GuiLayers, IdRangesSwitchSubLayers) {
    ControlLayer page(0, "page");
    for (int id : {10, 11, 12, 20}) page.AddSubLayer(new ControlLayer(id, "l" + std::to_string(id)));
    page.showSubLayersInIdRange(10, 19, true);
    EXPECT_TRUE(page.FindSubLayer(11)->IsVisible());
    EXPECT_FALSE(page.FindSubLayer(20)->IsVisible());
    page.showOnlySubLayerId(10, 19, 12);
    EXPECT_FALSE(page.FindSubLayer(10)->IsVisible());
    EXPECT_TRUE(page.FindSubLayer("l12")->IsVisible());
    EXPECT_EQ(page.FindSubLayer(99), nullptr);
}

TEST(GuiMenus, ItemsKeepTheirOwnTextsAndIndexesAreClamped) {
    IPopupMenu m;
    std::string t = "first";
    m.AddItem(t.c_str());
    t = "changed";
    m.AddItem("zero", 0);
    m.AddItem("end", 99);
    m.AddSeparator(1);
    ASSERT_EQ(m.GetNItems(), 4);
    EXPECT_STREQ(m.GetItemText(0), "zero");
    EXPECT_STREQ(m.GetItemText(1), "");
    EXPECT_TRUE(m.GetItem(1)->GetIsSeparator());
    EXPECT_STREQ(m.GetItemText(2), "first");
    EXPECT_STREQ(m.GetItemText(3), "end");
    EXPECT_STREQ(m.GetItemText(9), "");
    m.CheckItemAlone(2);
    EXPECT_TRUE(m.IsItemChecked(2));
    m.CheckItemAlone(3);
    EXPECT_FALSE(m.IsItemChecked(2));
    m.CheckItemAlone(-1);
    EXPECT_FALSE(m.IsItemChecked(3));
    EXPECT_EQ(m.GetChosenItemIdx(), -1);
}

TEST(GuiMenus, DeletingAMenuLeavesItsSubmenusAlone) {
    auto* sub = new IPopupMenu;
    sub->AddItem("inner");
    {
        IPopupMenu top;
        top.AddItem("more", sub);
        EXPECT_EQ(top.GetItem(0)->GetSubmenu(), sub);
    }
    EXPECT_STREQ(sub->GetItemText(0), "inner");
    delete sub;
}

TEST(GuiMenus, PopUpReturnsTheMenuHoldingTheScriptedChoice) {
    Panel p;
    IPopupMenu sub, top;
    sub.AddItem("a");
    sub.AddItem("b");
    sub.AddItem("c");
    top.AddItem("plain");
    top.AddItem("More", &sub);
    top.AddSeparator();
    top.AddItem("last");
    IRECT r(10, 20, 60, 30);
    EXPECT_EQ(p.g->CreateIPopupMenu(&top, &r), nullptr);  // no window yet
    p.open();
    p.backend->queueMenuChoice({1, 2});
    IPopupMenu* chosen = p.g->CreateIPopupMenu(&top, &r);
    EXPECT_EQ(chosen, &sub);
    EXPECT_EQ(sub.GetChosenItemIdx(), 2);
    p.backend->queueMenuChoice({3});
    EXPECT_EQ(p.g->CreateIPopupMenu(&top, &r), &top);
    EXPECT_EQ(top.GetChosenItemIdx(), 3);
    EXPECT_EQ(p.g->CreateIPopupMenu(&top, &r), nullptr);  // dismissed
    EXPECT_EQ(p.backend->shownMenus().back().at, (platform::appkit::Point{10, 30}));
    top.SetPrefix(2);
    p.g->CreateIPopupMenu(&top, &r);
    EXPECT_EQ(p.backend->shownMenus().back().titles, (std::vector<std::string>{"1. plain", "2. More", "", "3. last"}));
}

TEST(GuiMenus, APopUpEndsTheMouseCapture) {
    Panel p;
    struct Opener : Recorder {
        Opener(IUnitBase* pl, IPopupMenu* m) : Recorder(pl, IRECT(0, 0, 20, 20)), menu(m) {}
        void OnMouseDown(int x, int y, IMouseMod* mod) override { chosen = GetGUI()->CreateIPopupMenu(menu, &mRECT); }
        IPopupMenu* menu;
        IPopupMenu* chosen = nullptr;
    };
    IPopupMenu m;
    m.AddItem("x");
    auto* o = new Opener(&p.plug, &m);
    p.g->AttachControl(o);
    p.open();
    p.backend->queueMenuChoice({0});
    p.press(5, 5);
    EXPECT_EQ(o->chosen, &m);
    EXPECT_EQ(p.g->GetMouseCapture(), nullptr);
}

TEST(GuiPrompts, FilePromptCarriesProposalsAndAnswersWithThePathOrNothing) {
    Panel p;
    p.open();
    BASE_String file("bank.mid"), dir("/tmp/banks");
    p.backend->queueFileChoice(std::string("/tmp/banks/new.mid"));
    p.g->PromptForFile(&file, kFileSave, &dir, "mid");
    EXPECT_STREQ(file.Get(), "/tmp/banks/new.mid");
    ASSERT_EQ(p.backend->fileRequests().size(), 1u);
    EXPECT_EQ(p.backend->fileRequests()[0].kind, platform::appkit::FilePanelKind::Save);
    EXPECT_EQ(p.backend->fileRequests()[0].directory, "/tmp/banks");
    EXPECT_EQ(p.backend->fileRequests()[0].fileName, "bank.mid");
    p.g->PromptForFile(&file, kFileOpen, nullptr, "mid syx prg");
    EXPECT_STREQ(file.Get(), "");
    EXPECT_EQ(p.backend->fileRequests()[1].extensions, (std::vector<std::string>{"mid", "syx", "prg"}));
    EXPECT_TRUE(p.g->OpenURL("/tmp/banks"));
    EXPECT_EQ(p.backend->openedURLs(), (std::vector<std::string>{"/tmp/banks"}));
}
