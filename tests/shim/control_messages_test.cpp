// The message rows of plain controls, the combo-box and trackbar functions
// over both kinds, and the edit-selection messages with their limits.
#include "controls_fixture.h"

#include <cstring>

#include "platform/controls/Slider.h"
#include "platform/controls/TextField.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-gdi-text.h"
#include "shim/shim-gdi.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd-classes.h"

namespace ak = platform::appkit;
namespace ct = platform::controls;

namespace {

std::vector<std::string> Items(HWND dlg, int id) {
    std::vector<std::string> out;
    char buf[64];
    for (int i = 0; i < SHIM_CB_GetNumItems(dlg, id); ++i) {
        SHIM_CB_GetItemText(dlg, id, i, buf, sizeof buf);
        out.emplace_back(buf);
    }
    return out;
}

// A custom trackbar: answers messages itself and records them.
class Knob : public ak::View, public SHIM_Object {
public:
    uint64_t shimAnswers() const override { return SHIM_SEL_MESSAGE; }
    LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        got.push_back({msg, wp, lp});
        return msg == TBM_GETPOS ? 77 : 0;
    }
    struct Msg {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    std::vector<Msg> got;
};

}  // namespace

using Messages = DialogFixture;

TEST_F(Messages, NullHandlesAnswerNothingAndToolkitObjectsTakeEveryMessage) {
    for (UINT msg : {BM_GETCHECK, CB_GETCOUNT, TBM_GETPOS, EM_GETSEL, LB_GETCOUNT})
        EXPECT_EQ(SendMessage(nullptr, msg, 1, 1), 0);
    hook() = [](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT { return msg == BM_GETCHECK ? 42 : 0; };
    EXPECT_EQ(SendMessage(dlg, BM_GETCHECK, 0, 0), 42);
    // A plain view without a row for the message answers 0.
    auto* plain = new ak::View({0, 0, 10, 10});
    shimwnd::AsView(dlg)->addSubview(plain);
    EXPECT_EQ(SendMessage(plain, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(Messages, CheckStatesGoThroughBitValuesWithMixedWinning) {
    HWND b = SHIM_MakeControl("three", 10, "Button", BS_AUTO3STATE, 0, 0, 80, 16, 0);
    struct Case {
        WPARAM set;
        LRESULT get;
    } cases[] = {
        {1, BST_CHECKED}, {2, BST_INDETERMINATE}, {3, BST_INDETERMINATE}, {0, BST_UNCHECKED}, {4, BST_UNCHECKED}};
    for (const Case& c : cases) {
        EXPECT_EQ(SendMessage(b, BM_SETCHECK, c.set, 0), 0);
        EXPECT_EQ(SendMessage(b, BM_GETCHECK, 0, 0), c.get) << c.set;
        EXPECT_EQ(IsDlgButtonChecked(dlg, 10), c.get);
    }
}

TEST_F(Messages, ButtonImagesAreKeptOnlyWhenABitmapGaveOne) {
    HWND b = SHIM_MakeButton(0, "pic", 11, 0, 0, 60, 20, 0);
    unsigned char px[16] = {255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0};
    HGDIOBJ bmp = CreateBitmap(2, 2, 1, 32, px);
    auto* tb = dynamic_cast<Shim_vHalvoran_button*>(b);
    EXPECT_EQ(SendMessage(b, BM_SETIMAGE, 2, reinterpret_cast<LPARAM>(bmp)), 0);
    EXPECT_EQ(tb->imageRef(), nullptr);
    EXPECT_EQ(SendMessage(b, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp)), 0);
    EXPECT_NE(tb->imageRef(), nullptr);
    EXPECT_EQ(SendMessage(b, BM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(bmp));
    HGDIOBJ brush = CreateSolidBrush(0xFF0000);
    EXPECT_EQ(SendMessage(b, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(brush)),
              reinterpret_cast<LRESULT>(bmp));
    EXPECT_EQ(tb->imageRef(), nullptr);
    EXPECT_EQ(SendMessage(b, BM_GETIMAGE, IMAGE_ICON, 0), 0);
    DeleteObject(brush);
    DeleteObject(bmp);
}

TEST_F(Messages, BothComboKindsAnswerTheComboMessagesAlike) {
    for (int flags : {0, static_cast<int>(CBS_DROPDOWNLIST)}) {
        HWND c = SHIM_MakeCombo(20, 0, 0, 100, 20, flags);
        for (const char* t : {"alpha", "Beta", "beta2"}) SendMessage(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
        EXPECT_EQ(SendMessage(c, CB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("mid")), 1);
        EXPECT_EQ(SendMessage(c, CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(SendMessage(c, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("BE")), 2);
        EXPECT_EQ(SendMessage(c, CB_FINDSTRING, 2, reinterpret_cast<LPARAM>("be")), 3);
        EXPECT_EQ(SendMessage(c, CB_FINDSTRING, 3, reinterpret_cast<LPARAM>("be")), -1);  // no wrap
        EXPECT_EQ(SendMessage(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("BETA")), 2);
        EXPECT_EQ(SendMessage(c, CB_FINDSTRING, 0, 0), -1);
        EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), -1);
        SendMessage(c, CB_SETCURSEL, 2, 0);
        SendMessage(c, CB_SETCURSEL, 4, 0);
        SendMessage(c, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 2);
        char buf[1024];
        EXPECT_TRUE(SendMessage(c, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)));
        EXPECT_STREQ(buf, "mid");
        SendMessage(c, CB_SETITEMDATA, 3, 99);
        EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 3, 0), 99);
        EXPECT_EQ(SendMessage(c, CB_DELETESTRING, 17, 0), 1);
        EXPECT_EQ(SendMessage(c, CB_DELETESTRING, 0, 0), 1);
        EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 2, 0), 99);
        EXPECT_EQ(SendMessage(c, CB_SHOWDROPDOWN, 1, 0), 0);
        SendMessage(c, CB_RESETCONTENT, 0, 0);
        EXPECT_EQ(SendMessage(c, CB_GETCOUNT, 0, 0), 0);
        DestroyWindow(c);
    }
}

TEST_F(Messages, ComboInsertionPlacesSortsAndShiftsItemData) {
    SHIM_MakeCombo(30, 0, 0, 100, 20, CBS_SORT);
    for (const char* t : {"b", "a", "c"}) SHIM_CB_AddString(dlg, 30, t);
    EXPECT_EQ(Items(dlg, 30), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SHIM_CB_AddString(dlg, 30, "b"), 1);
    SHIM_MakeCombo(31, 0, 30, 100, 20, 0);
    SHIM_CB_AddString(dlg, 31, "x");
    SHIM_CB_AddString(dlg, 31, "y");
    SHIM_CB_SetItemData(dlg, 31, 0, 7);
    SHIM_CB_SetItemData(dlg, 31, 1, 8);
    EXPECT_EQ(SHIM_CB_InsertString(dlg, 31, 1, "new"), 1);
    EXPECT_EQ(SHIM_CB_GetItemData(dlg, 31, 0), 7);
    EXPECT_EQ(SHIM_CB_GetItemData(dlg, 31, 1), 0);
    EXPECT_EQ(SHIM_CB_GetItemData(dlg, 31, 2), 8);
    EXPECT_EQ(SHIM_CB_GetItemData(dlg, 31, 3), 0);
    EXPECT_EQ(SHIM_CB_InsertString(dlg, 31, -5, "first"), 0);
    EXPECT_EQ(SHIM_CB_InsertString(dlg, 31, 99, "last"), 4);
    SHIM_CB_SetCurSel(dlg, 31, 1);
    SHIM_CB_SetCurSel(dlg, 31, -1);
    EXPECT_EQ(SHIM_CB_GetCurSel(dlg, 31), 1);
    // A missing control: 0 from the finder (as the toolkit has it), -1 from the selection.
    EXPECT_EQ(SHIM_CB_FindString(dlg, 999, -1, "x", false), 0);
    EXPECT_EQ(SHIM_CB_GetCurSel(dlg, 999), -1);
    char buf[8] = "junk";
    EXPECT_FALSE(SHIM_CB_GetItemText(dlg, 999, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "");
}

TEST_F(Messages, SlidersRoundAndTakeRangesFromTheirMessages) {
    HWND s = SHIM_MakeControl("", 40, "msctls_trackbar32", 0, 0, 0, 100, 20, 0);
    auto* slider = dynamic_cast<ct::Slider*>(s);
    slider->setMinValue(-10);
    struct Case {
        double value;
        LRESULT pos;
    } cases[] = {{12.5, 13}, {-2.7, -2}, {2.49, 2}, {2.5, 3}};
    for (const Case& c : cases) {
        slider->setDoubleValue(c.value);
        EXPECT_EQ(SendMessage(s, TBM_GETPOS, 0, 0), c.pos) << c.value;
        EXPECT_EQ(SHIM_TB_GetPos(dlg, 40), c.pos);
    }
    EXPECT_EQ(SendMessage(s, TBM_SETRANGE, 1, 0x03E80000), 1);
    EXPECT_EQ(slider->minValue(), 0);
    EXPECT_EQ(slider->maxValue(), 1000);
    EXPECT_EQ(SendMessage(s, TBM_SETPOS, 1, 640), 1);
    EXPECT_EQ(SHIM_TB_GetPos(dlg, 40), 640);
    EXPECT_EQ(SendMessage(s, TBM_GETRANGEMAX, 0, 0), 0);
    EXPECT_EQ(SendMessage(s, TBM_SETTIC, 0, 5), 1);
}

TEST_F(Messages, CustomTrackbarsGetTheTrackbarMessages) {
    auto* knob = new Knob();
    knob->setTag(41);
    shimwnd::AsView(dlg)->addSubview(knob);
    // Found through its tag only when it answers one: give it one.
    EXPECT_EQ(SHIM_TB_GetPos(dlg, 0), 0);
    HWND k = knob;
    SHIM_TB_SetRange(k, 0, -1, 10);
    SHIM_TB_SetPos(k, 0, 5);
    SHIM_TB_SetTic(k, 0, 3);
    EXPECT_EQ(SHIM_TB_GetPos(k, 0), 77);
    ASSERT_EQ(knob->got.size(), 4u);
    EXPECT_EQ(knob->got[0].msg, TBM_SETRANGE);
    EXPECT_EQ(knob->got[0].lp, 0x000AFFFF);
    EXPECT_EQ(knob->got[1].msg, TBM_SETPOS);
    EXPECT_EQ(knob->got[1].wp, 1u);
    EXPECT_EQ(knob->got[2].msg, TBM_SETTIC);
    EXPECT_EQ(knob->got[3].msg, TBM_GETPOS);
}

TEST_F(Messages, EditSelectionsAreLimitedAndNeverNegative) {
    HWND f = SHIM_MakeEditField(50, 0, 0, 150, 18, 0);
    SetDlgItemText(dlg, 50, "hello world");
    int32_t s = -9, e = -9;
    SendMessage(f, EM_SETSEL, 0, 3);  // not being edited: nothing
    SendMessage(f, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 0);
    window->makeFirstResponder(shimwnd::AsView(f));
    HWND tv = SHIM_MakeEditField(51, 0, 40, 150, 60, WS_VSCROLL);
    auto* text = dynamic_cast<ct::TextView*>(shimwnd::DocumentOf(shimwnd::AsView(tv)));
    ASSERT_NE(text, nullptr);
    text->setString("hello world");
    struct Case {
        WPARAM start;
        LPARAM end;
        int s, e;
    } cases[] = {
        {0, -1, 0, 11}, {static_cast<WPARAM>(-1), 5, 0, 0},
        {3, 99, 3, 11}, {50, 60, 11, 11},
        {5, 2, 2, 5},   {8, -5, 0, 8},
        {4, 4, 4, 4},
    };
    for (const Case& c : cases) {
        for (HWND target : {f, static_cast<HWND>(text)}) {
            SendMessage(target, EM_SETSEL, c.start, c.end);
            SendMessage(target, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
            EXPECT_EQ(s, c.s) << c.start << "," << c.end;
            EXPECT_EQ(e, c.e) << c.start << "," << c.end;
        }
    }
    // The view's own handler: fonts and scrolling.
    HGDIOBJ font = CreateFont(-20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
    EXPECT_EQ(SendMessage(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0), 0);
    EXPECT_EQ(text->font().size, 20);
    DeleteObject(font);
    text->setString(std::string(40, '\n'));
    SendMessage(text, EM_SCROLL, SB_BOTTOM, 0);
    EXPECT_GT(ak::enclosingScrollView(text)->documentVisibleRect().y, 0);
    SendMessage(text, EM_SCROLL, SB_TOP, 0);
    EXPECT_EQ(ak::enclosingScrollView(text)->documentVisibleRect().y, 0);
}
