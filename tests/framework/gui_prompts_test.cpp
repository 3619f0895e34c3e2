// What a musician sees when a click opens a menu or a text entry: what the
// click changed is already on the panel, and a field's hint is not text to
// be deleted first.
#include <gtest/gtest.h>

#include "framework/IPopupMenu.h"
#include "gui_fixture.h"

using namespace guitest;

namespace {

// Remembers what the panel showed at the moment a menu came up.
class PeekingBackend : public platform::appkit::HeadlessBackend {
public:
    platform::appkit::MenuChoice popUpMenu(platform::appkit::Window* w, const platform::appkit::Menu& menu,
                                           platform::appkit::Point at) override {
        seen = w ? w->pixelAt(5, 5) : 0;
        return HeadlessBackend::popUpMenu(w, menu, at);
    }
    uint32_t seen = 0;
};

// A slot that lights when pressed and then offers its menu, as the
// librarian's slots do on a right click.
class Slot : public IControl {
public:
    using IControl::IControl;
    void OnMouseDown(int, int, IMouseMod*) override {
        lit = true;
        SetDirty(false);
        IPopupMenu menu;
        menu.AddItem("Copy");
        GetGUI()->CreateIPopupMenu(&menu, &mRECT);
    }
    bool Draw(IGraphics* g) override {
        const IColor c = lit ? IColor(255, 255, 140, 26) : IColor(255, 20, 20, 20);
        return g->FillIRect(&c, &mRECT);
    }
    bool lit = false;
};

}  // namespace

TEST(GuiPrompts, AMenuOpensOverThePanelAsTheClickLeftIt) {
    auto* peek = new PeekingBackend;
    platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(peek));
    TestPlug plug;
    auto* g = new IGraphicsMac(&plug, 100, 50);
    plug.AttachGraphics(g);
    platform::appkit::Window window({100, 50}, "panel");
    g->AttachControl(new Slot(&plug, IRECT(0, 0, 40, 20)));
    g->OpenWindow(window.contentView());
    window.display();
    EXPECT_EQ(window.pixelAt(5, 5), screen(20, 20, 20));
    window.sendEvent(platform::appkit::Event::mouse(platform::appkit::EventType::MouseDown, {5, 5},
                                                    platform::appkit::MouseButton::Right, 1));
    EXPECT_EQ(peek->seen, screen(255, 140, 26));
    g->CloseWindow();
}

TEST(GuiPrompts, APlaceholderIsNoTextToEdit) {
    Panel p;
    IText style(14);
    p.plug.GetParam(kText)->SetDisplayText(0, "search...");
    auto* field = new ICaptionControl(&p.plug, IRECT(0, 0, 80, 16), kText, &style, true);
    field->DisablePrompt(false);
    field->SetPlaceholder("search...");
    p.g->AttachControl(field);
    p.open();
    // Return on the empty entry: nothing is searched for.
    p.backend->queueTextEntry(std::string());
    p.click(5, 5);
    ASSERT_EQ(p.backend->textRequests().size(), 1u);
    EXPECT_EQ(p.backend->textRequests()[0].initialText, "");
    EXPECT_TRUE(p.plug.changes.empty());
    p.backend->queueTextEntry(std::string("Pad"));
    p.click(5, 5);
    EXPECT_STREQ(p.plug.GetParam(kText)->GetDisplayText(0), "Pad");
    EXPECT_EQ(p.plug.changes, (std::vector<int>{kText}));
    // A text that is not the hint is offered for editing as it is.
    p.backend->queueTextEntry(std::nullopt);
    p.click(5, 5);
    EXPECT_EQ(p.backend->textRequests()[2].initialText, "Pad");
    // The blanks that pad a name to its places are not.
    p.plug.GetParam(kText)->SetDisplayText(0, "Acid Bass   ");
    p.click(5, 5);
    EXPECT_EQ(p.backend->textRequests()[3].initialText, "Acid Bass");
}
