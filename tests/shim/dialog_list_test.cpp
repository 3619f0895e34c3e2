// Dialogs generated from lists of records, the control queries layout code
// uses, the default button's id, and the small control classes' styles and
// paint flags.
#include <gtest/gtest.h>

#include <memory>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-appearance.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-classes.h"

using namespace platform::appkit;

namespace {

LRESULT Quiet(HWND, UINT, WPARAM, LPARAM) { return 0; }
const void* N(intptr_t v) { return reinterpret_cast<const void*>(v); }

class DialogLists : public ::testing::Test {
protected:
    void SetUp() override {
        Application::setBackend(std::make_unique<HeadlessBackend>());
        window_ = std::make_unique<Window>(Size{400, 300}, "list");
        static SHIM_DialogResourceIndex r{"list", "list", 4 | 0x10, nullptr, 400, 300, nullptr};
        auto* v = Shim_vHalvoran_hwnd::initChild(&r, window_.get(), Quiet, 0);
        v->setHidden(false);
        dlg_ = v;
        SHIM_MakeSetCurParms(1, 1, 0, 0, dlg_->handle(), false, false);
    }
    void TearDown() override {
        window_.reset();
        RunLoop::main().runOnce();
    }
    HWND item(int id) { return GetDlgItem(dlg_->handle(), id); }

    std::unique_ptr<Window> window_;
    Shim_vHalvoran_hwnd* dlg_ = nullptr;
};

}  // namespace

TEST_F(DialogLists, RecordsMakeTheirControlsAndSkipNamelessClasses) {
    const SHIM_DialogListRec list[] = {
        {{"__SHIM_BUTTON", N(1), "&OK", N(1), N(300), N(260), N(80), N(24), N(0)}},
        {{"__SHIM_EDIT", nullptr, nullptr, N(2), N(10), N(10), N(120), N(18), N(0)}},
        {{"__SHIM_COMBO", nullptr, nullptr, N(3), N(10), N(40), N(120), N(50), N(3)}},
        {{"__SHIM_LISTBOX", nullptr, nullptr, N(4), N(10), N(70), N(120), N(60), N(0)}},
        {{"__SHIM_GROUP", nullptr, "Options", N(5), N(200), N(10), N(150), N(100), N(0)}},
        {{"__SHIM_CHECKBOX", nullptr, "Loop", N(6), N(210), N(30), N(100), N(18), N(0)}},
        {{"__SHIM_LABEL", N(-1), "Name", N(7), N(10), N(140), N(60), N(14), N(0)}},
        {{"ignored", N(8), "", N(0), N(0), N(0), N(10), N(10), N(0)}},
        {{"Bar", N(9), "msctls_progress32", N(0), N(10), N(160), N(100), N(10), N(0)}},
    };
    SHIM_GenerateDialogFromList(list, 9);
    struct Case {
        int id;
        bool made, button, group, text;
    } cases[] = {
        {1, true, true, false, false},   {2, true, false, false, true},  {3, true, false, false, false},
        {5, true, false, true, false},   {6, true, true, false, false},  {7, true, false, false, true},
        {8, false, false, false, false}, {9, true, false, false, false},
    };
    for (const auto& c : cases) {
        HWND h = item(c.id);
        EXPECT_EQ(h != nullptr, c.made) << c.id;
        EXPECT_EQ(SHIM_IsButton(h), c.button) << c.id;
        EXPECT_EQ(SHIM_IsGroupBox(h), c.group) << c.id;
        EXPECT_EQ(SHIM_IsStaticText(h), c.text) << c.id;
    }
    auto* check = dynamic_cast<Shim_vHalvoran_button*>(item(6));
    ASSERT_TRUE(check);
    EXPECT_EQ(check->buttonType(), Button::kSwitch);
    EXPECT_EQ(dynamic_cast<Shim_vHalvoran_pub*>(item(3))->getShimStyle(), 3);
    // The default button made from the list.
    EXPECT_EQ(SHIM_GetDefaultButtonID(dlg_->handle(), true), 1);
    dynamic_cast<Control*>(item(1))->setEnabled(false);
    EXPECT_EQ(SHIM_GetDefaultButtonID(dlg_->handle(), true), 0);
    EXPECT_EQ(SHIM_GetDefaultButtonID(dlg_->handle(), false), 1);
    EXPECT_EQ(SHIM_GetDefaultButtonID(window_.get(), false), 0);
    SHIM_GenerateDialogFromList(nullptr, 3);
}

TEST_F(DialogLists, DesiredSizesAndPaintFlags) {
    HWND label = SHIM_MakeLabel(-1, "A fairly long label text", 1, 10, 10, 20, 14, 0);
    Rect before = dynamic_cast<View*>(label)->frame();
    RECT r{-1, -1, -1, -1};
    SHIM_GetDesiredControlSize(label, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_GT(r.right, 20);
    EXPECT_EQ(dynamic_cast<View*>(label)->frame(), before);
    RECT untouched{1, 2, 3, 4};
    SHIM_GetDesiredControlSize(dlg_->handle(), &untouched);
    EXPECT_EQ(untouched.right, 3);

    // A combo box flags the window objects above it when it needs painting.
    HWND combo = SHIM_MakeCombo(2, 10, 40, 100, 20, 0);
    auto* cb = dynamic_cast<Shim_vHalvoran_cbox*>(combo);
    ASSERT_TRUE(cb);
    cb->setShimStyle(0x42);
    EXPECT_EQ(GetWindowLong(combo, GWL_STYLE), 0x42);
    dlg_->m_isdirty = 0;
    cb->setNeedsDisplay();
    EXPECT_EQ(dlg_->m_isdirty & 2, 2);
}
