// The librarian page of the real editor, as a host shows it: the panel built
// from the shipped description and images, banks from the data folder, and
// the page used with the mouse in a headless window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core_component.h"
#include "framework/ControlLayer.h"
#include "framework/IGraphicsMac.h"
#include "libview_fixture.h"

#if defined(HV_BUNDLE_DIR)

namespace {

using libviewtest::EV;
using libviewtest::Event;
using libviewtest::MouseButton;
constexpr int kUpper = LibrarianViewControl::kUpperPane;
constexpr int kLower = LibrarianViewControl::kLowerPane;

class LibViewEditor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        data.write("Patches/Alpha.syx", libviewtest::bankBytes("Alpha "));
        data.write("Patches/Beta.syx", libviewtest::bankBytes("Beta "));
        data.write("Halvoran UI.txt", "normal\nlegacy\nfirst run: no\n");
        if (const char* old = std::getenv("HALVORAN_BUNDLE")) previous = old, hadPrevious = true;
        setenv("HALVORAN_BUNDLE", HV_BUNDLE_DIR, 1);
        backend = new platform::appkit::HeadlessBackend;
        platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));
        shownEditor = std::make_unique<coretest::ShownEditor>();
        ASSERT_TRUE(shownEditor->shown());
        plug = shownEditor->editor.plug;
        window = shownEditor->window.get();
        window->display();
    }
    void TearDown() override {
        shownEditor.reset();
        if (hadPrevious)
            setenv("HALVORAN_BUNDLE", previous.c_str(), 1);
        else
            unsetenv("HALVORAN_BUNDLE");
    }

    void click(int x, int y, MouseButton b = MouseButton::Left) {
        window->sendEvent(Event::mouse(EV::MouseDown, {x, y}, b));
        window->sendEvent(Event::mouse(EV::MouseUp, {x, y}, b));
    }
    void tick() { static_cast<IGraphicsMac*>(plug->GetGUI())->OnTimer(); }
    bool shown(const char* layer) {
        ControlLayer* l = plug->getLayer(layer);
        return l && l->IsVisible();
    }
    // Light pixels in a slot: the letters of its name.
    int letters(int pane, int slot) {
        const IRECT& r = plug->librarianView->slotRect(pane, slot);
        int n = 0;
        for (int y = r.T; y < r.B; ++y)
            for (int x = r.L; x < r.R; ++x) n += window->pixelAt(x, y) > 0xB0B0B0;
        return n;
    }

    hvtest::TempDataDir data;
    platform::appkit::HeadlessBackend* backend = nullptr;
    std::unique_ptr<coretest::ShownEditor> shownEditor;
    platform::appkit::Window* window = nullptr;
    Halvoran* plug = nullptr;
    std::string previous;
    bool hadPrevious = false;
};

TEST_F(LibViewEditor, ThePageShowsBothBanksAndItsMenusWork) {
    LibrarianViewControl* view = plug->librarianView;
    ASSERT_NE(view, nullptr) << "the panel description builds the view";
    EXPECT_EQ(view->GetRECTRef(), IRECT(100, 62, 1148, 626));
    EXPECT_EQ(view->slot(kUpper, 0)->GetTextString(), std::string("Alpha 000"));
    EXPECT_EQ(view->slot(kLower, 127)->GetTextString(), std::string("Alpha 127"));

    // The LIBRARIAN tab shows the page with its menus.
    click(175, 16);
    ASSERT_EQ(plug->GetParam(kMainTab)->Int(), 0);
    EXPECT_TRUE(shown("librarianPage"));
    EXPECT_TRUE(view->dragEnabled);
    for (const char* layer :
         {PanelLayers::kLeftPatchPopupMenu, PanelLayers::kRightPatchPopupMenu, PanelLayers::kBankEditMenu})
        EXPECT_TRUE(shown(layer)) << layer;
    EXPECT_FALSE(shown(PanelLayers::kRightSearchPopupMenu));
    tick();
    EXPECT_GT(letters(kUpper, 20), 5);
    EXPECT_GT(letters(kLower, 20), 5);
    EXPECT_EQ(letters(kUpper, 20), letters(kLower, 20)) << "the same names in the same bank";

    // The upper bank chosen from its menu.
    backend->queueMenuChoice({1});
    click(600, 47);
    EXPECT_EQ(plug->patchLibrarian->selectedBankUpper, 1);
    EXPECT_EQ(view->slot(kUpper, 0)->GetTextString(), std::string("Beta 000"));
    EXPECT_EQ(plug->upperBankName, "Beta.syx");

    // A right click on an upper slot edits it; the pasted program lands there.
    const IRECT& lower = view->slotRect(kLower, 3);
    backend->queueMenuChoice({0});
    click(lower.MW(), lower.MH(), MouseButton::Right);
    const IRECT& upper = view->slotRect(kUpper, 9);
    backend->queueMenuChoice({0});
    click(upper.MW(), upper.MH(), MouseButton::Right);
    EXPECT_EQ(backend->shownMenus().back().titles.front(), "Paste");
    EXPECT_EQ(plug->patchLibrarian->bankFiles[1]->patches[9].name, "Alpha 003");
    EXPECT_EQ(view->slot(kUpper, 9)->GetTextString(), std::string("Alpha 003"));
    EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_FALSE(shown(PanelLayers::kLeftPatchPopupMenu)) << "an edited bank keeps its place";
    tick();
    EXPECT_GT(letters(kUpper, 10), 5);

    // The main menu's About window; over the page it takes its own clicks,
    // the bank menus under it stay shut.
    backend->queueMenuChoice({14});
    click(900, 49);
    EXPECT_TRUE(shown(PanelLayers::kAboutWindow));
    const size_t menus = backend->shownMenus().size();
    click(600, 350);
    EXPECT_EQ(backend->shownMenus().size(), menus);
    // Another page: the librarian's menus go with it.
    click(320, 16);
    EXPECT_NE(plug->GetParam(kMainTab)->Int(), 0);
    click(900, 49);
    click(600, 47);
    EXPECT_EQ(backend->shownMenus().size(), menus);
}

}  // namespace

#endif
