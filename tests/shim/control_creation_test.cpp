// Control creation: coordinates in dialog units for flipped and unflipped
// owners, the automatic right-shift, the font rule's thresholds, titles
// without mnemonics, creation by class name in any case, and custom
// creators.
#include "controls_fixture.h"

#include "platform/controls/Slider.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

namespace ak = platform::appkit;
namespace ct = platform::controls;

namespace {

ak::FRect FrameOf(HWND h) { return shimwnd::AsView(h)->frameF(); }

HWND g_made = nullptr;
int g_calls = 0;
HWND EditCreator(HWND parent, const char*, int id, const char* cls, int, int x, int y, int w, int h) {
    ++g_calls;
    if (std::string(cls) != "Edit") return nullptr;
    auto* v = new ak::View({x, y, w, h});
    shimwnd::AsView(parent)->addSubview(v);
    return g_made = v;
}
HWND NothingCreator(HWND, const char*, int, const char*, int, int, int, int, int) {
    ++g_calls;
    return nullptr;
}

}  // namespace

using Creation = DialogFixture;

TEST_F(Creation, CoordinatesFollowTheOwnersOrientation) {
    SHIM_MakeSetCurParms(1.5f, 1.5f, 0, 0, dlg, false, false);
    EXPECT_EQ(FrameOf(SHIM_MakeControl("t", 1, "static", 0, 10, 20, 40, 14, 0)), (ak::FRect{15, 30, 60, 21}));
    // Negative width and height: pixels, whatever the scale.
    EXPECT_EQ(FrameOf(SHIM_MakeControl("t", 2, "static", 0, -5, -6, -50, -20, 0)), (ak::FRect{5, 6, 50, 20}));
    // An owner that is not flipped: its height, less the scaled y, plus the height term.
    auto* up = Shim_vHalvoran_hwnd::initChild(nullptr, dlg, nullptr, 0);
    up->m_flip = false;
    up->setFrame({0, 0, 200, 300});
    SHIM_MakeSetCurParms(1.5f, 1.5f, 0, 0, up->handle(), false, false);
    EXPECT_EQ(FrameOf(SHIM_MakeControl("t", 3, "static", 0, 10, 20, 40, 14, 0)), (ak::FRect{15, 291, 60, 21}));
    // Offsets are in units, before the scale.
    SHIM_MakeSetCurParms(2, 2, 3, 4, dlg, false, false);
    EXPECT_EQ(FrameOf(SHIM_MakeControl("t", 4, "static", 0, 1, 1, 5, 5, 0)), (ak::FRect{8, 10, 10, 10}));
}

TEST_F(Creation, CombosIgnoreTheHeightTheyAreGiven) {
    SHIM_MakeSetCurParms(2, 2, 0, 0, dlg, false, false);
    EXPECT_EQ(FrameOf(SHIM_MakeCombo(1, 10, 10, 50, 99, 0)), (ak::FRect{20, 18, 100, 22}));
    EXPECT_EQ(FrameOf(SHIM_MakeCombo(2, 10, 10, 50, 99, CBS_DROPDOWNLIST)), (ak::FRect{20, 20, 100, 18}));
    EXPECT_EQ(FrameOf(SHIM_MakeGroupBox("g", 3, 10, 10, 50, 20, 0)), (ak::FRect{20, 18, 100, 46}));
}

TEST_F(Creation, SmallScalesGetSmallSystemText) {
    struct Case {
        float scale;
        double size;
    } cases[] = {{1.82f, 13}, {1.81f, 10}, {1.0f, 10}, {0.99f, 8}};
    for (const Case& c : cases) {
        SHIM_MakeSetCurParms(c.scale, c.scale, 0, 0, dlg, false, false);
        auto* b = dynamic_cast<ak::Control*>(shimwnd::AsView(SHIM_MakeButton(0, "b", 1, 0, 0, 10, 10, 0)));
        EXPECT_EQ(b->font().size, c.size) << c.scale;
    }
}

TEST_F(Creation, TitlesLoseTheirMnemonics) {
    std::string longTitle = "&" + std::string(1099, 'x');
    struct Case {
        std::string in, out;
    } cases[] = {{"&Open", "Open"}, {"Save && Quit", "Save & Quit"}, {"End&", "End"}, {longTitle, longTitle}};
    for (const Case& c : cases) {
        char buf[2048];
        HWND b = SHIM_MakeButton(0, c.in.c_str(), 1, 0, 0, 10, 10, 0);
        GetDlgItemText(b, 0, buf, sizeof buf);
        EXPECT_EQ(buf, c.out);
        DestroyWindow(b);
    }
}

TEST_F(Creation, ARowShiftsByItsLabelsGrowthOnly) {
    SHIM_MakeSetCurParms(1, 1, 0, 0, dlg, true, true);
    HWND label = SHIM_MakeLabel(-1, "A rather long label", 1, 10, 10, 20, 12, 0);
    double growth = FrameOf(label).right() - 30;
    ASSERT_GT(growth, 0);
    // On the row, right after the label: shifted by exactly its growth.
    EXPECT_EQ(FrameOf(SHIM_MakeEditField(2, 30, 8, 50, 16, 0)).x, 30 + growth);
    SHIM_MakeSetCurParms(1, 1, 0, 0, dlg, true, true);
    SHIM_MakeLabel(-1, "A rather long label", 3, 10, 10, 20, 12, 0);
    EXPECT_EQ(FrameOf(SHIM_MakeEditField(4, 62, 8, 50, 16, 0)).x, 62);  // 32 or more away
    SHIM_MakeSetCurParms(1, 1, 0, 0, dlg, true, true);
    SHIM_MakeLabel(-1, "A rather long label", 5, 10, 10, 20, 12, 0);
    EXPECT_EQ(FrameOf(SHIM_MakeEditField(6, 30, 40, 50, 16, 0)).x, 30);  // below the label's centre
}

TEST_F(Creation, ClassNamesMatchInAnyCaseAndMakeTheirKinds) {
    for (const char* name : {"BUTTON", "button", "Button"})
        EXPECT_NE(dynamic_cast<Shim_vHalvoran_button*>(SHIM_MakeControl("x", 1, name, 0, 0, 0, 10, 10, 0)), nullptr);
    EXPECT_EQ(SHIM_MakeControl("x", 1, "NoSuchClass", 0, 0, 0, 10, 10, 0), nullptr);
    struct Case {
        int style;
        ak::Button::Type type;
        bool mixed;
        int radio;
    } cases[] = {
        {BS_AUTOCHECKBOX, ak::Button::kSwitch, false, 0},
        {BS_AUTO3STATE, ak::Button::kSwitch, true, 0},
        {BS_AUTORADIOBUTTON, ak::Button::kRadio, false, 1},
        {BS_AUTORADIOBUTTON | WS_GROUP, ak::Button::kRadio, false, 3},
        {BS_OWNERDRAW, ak::Button::kPush, false, 0},
    };
    for (const Case& c : cases) {
        auto* b = dynamic_cast<Shim_vHalvoran_button*>(SHIM_MakeControl("x", 1, "Button", c.style, 0, 0, 10, 10, 0));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->buttonType(), c.type) << c.style;
        EXPECT_EQ(b->allowsMixedState(), c.mixed);
        EXPECT_EQ(b->m_radioflags, c.radio);
        EXPECT_EQ(b->cell() != nullptr, c.style == BS_OWNERDRAW);
    }
    EXPECT_NE(dynamic_cast<Shim_vHalvoran_box*>(
                  SHIM_MakeControl("g", 2, "Button", SHIM_BS_GROUPBOX | 0x80000000, 0, 0, 10, 10, 0)),
              nullptr);
    EXPECT_FALSE(shimwnd::AsView(GetDlgItem(dlg, 2))->isHidden());  // a group box is never made hidden
    HWND def = SHIM_MakeControl("OK", 3, "Button", SHIM_BS_DEFPUSHBUTTON, 0, 0, 10, 10, 0);
    EXPECT_EQ(window->defaultButton(), shimwnd::AsView(def));
    HWND hidden = SHIM_MakeControl("x", 4, "static", static_cast<int>(0x80000000), 0, 0, 10, 10, 0);
    EXPECT_TRUE(shimwnd::AsView(hidden)->isHidden());
    auto* fader = dynamic_cast<ct::Slider*>(SHIM_MakeControl("", 5, SHIM_FADER_CLASS, 0, 0, 0, 100, 10, 0));
    auto* track = dynamic_cast<ct::Slider*>(SHIM_MakeControl("", 6, "MSCTLS_TRACKBAR32", 0, 0, 0, 100, 10, 0));
    ASSERT_TRUE(fader && track);
    EXPECT_EQ(fader->maxValue(), 1000);
    EXPECT_EQ(fader->controlSize(), ak::ControlSize::Regular);
    EXPECT_EQ(track->controlSize(), ak::ControlSize::Mini);
    EXPECT_NE(dynamic_cast<ct::SecureTextField*>(SHIM_MakeEditField(7, 0, 0, 50, 16, ES_PASSWORD)), nullptr);
}

TEST_F(Creation, ListViewsGetAFirstColumnUnlessTheyReport) {
    struct Case {
        const char* cls;
        int style;
        int columns;
        bool header, multiple;
    } cases[] = {
        {"SysListView32", 0, 1, false, true},
        {"SysListView32", LVS_REPORT, 0, true, true},
        {"SysListView32", LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL, 0, false, false},
        {"SysListView32_LB", LBS_EXTENDEDSEL, 1, false, true},
        {"SysListView32_LB", 0, 1, false, false},
    };
    for (const Case& c : cases) {
        HWND h = SHIM_MakeControl("", 1, c.cls, c.style, 0, 0, 100, 50, 0);
        auto* lv = SHIM_ListViewOf(h);
        ASSERT_NE(lv, nullptr);
        EXPECT_EQ(lv->numberOfColumns(), c.columns) << c.cls << c.style;
        EXPECT_EQ(lv->headerView() != nullptr, c.header) << c.cls << c.style;
        EXPECT_EQ(lv->allowsMultipleSelection(), c.multiple) << c.cls << c.style;
        if (c.columns) {
            EXPECT_EQ(ListView_GetColumnWidth(h, 0), 300);
        }
        EXPECT_EQ(GetParent(h), dlg);  // placed as its scroll view
    }
}

TEST_F(Creation, CustomCreatorsComeFirstAndCountRegistrations) {
    SHIM_RegisterCustomControlCreator(NothingCreator);
    SHIM_RegisterCustomControlCreator(EditCreator);
    SHIM_RegisterCustomControlCreator(NothingCreator);
    SHIM_UnregisterCustomControlCreator(NothingCreator);
    g_calls = 0;
    EXPECT_EQ(SHIM_MakeControl("", 1, "Edit", 0, 1, 2, 30, 40, 0), g_made);
    EXPECT_EQ(g_calls, 2);  // the first registration is asked first
    EXPECT_EQ(FrameOf(g_made), (ak::FRect{1, 2, 30, 40}));
    // Nothing answers for "static": the built-in kind is made.
    EXPECT_NE(dynamic_cast<Shim_vHalvoran_textfield*>(SHIM_MakeControl("s", 2, "static", 0, 0, 0, 9, 9, 0)), nullptr);
    SHIM_UnregisterCustomControlCreator(NothingCreator);
    SHIM_UnregisterCustomControlCreator(EditCreator);
    g_calls = 0;
    SHIM_MakeControl("", 3, "Edit", 0, 0, 0, 30, 16, 0);
    EXPECT_EQ(g_calls, 0);
}

TEST_F(Creation, ControlsWithoutAnOwnerAreLetGoLater) {
    SHIM_MakeSetCurParms(1, 1, 0, 0, nullptr, false, false);
    HWND b = SHIM_MakeButton(0, "loose", 1, 0, 0, 10, 10, 0);
    EXPECT_TRUE(IsWindow(b) || ak::Responder::isLive(b));
    EXPECT_EQ(shimwnd::AsView(b)->superview(), nullptr);
}
