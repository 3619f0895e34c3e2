// The tab control and the progress bar headless: tab insertion places and
// its quiet selection, one notice per change of the selected tab, a
// notification window that went away, the display-area figures, creation
// by class name, and the progress bar's range, position and steps.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-tabs.h"
#include "controls_fixture.h"

using namespace platform::appkit;

namespace {

class TabsAndProgress : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        tabs_ = SHIM_MakeControl("", 5, "SysTabControl32", 0, 10, 20, 200, 100, 0);
    }
    int insert(int at, const char* text, UINT mask = TCIF_TEXT) {
        TCITEM t{};
        t.mask = mask;
        t.pszText = const_cast<char*>(text);
        return TabCtrl_InsertItem(tabs_, at, &t);
    }
    size_t notices() const { return codes(WM_NOTIFY).size(); }

    HWND tabs_ = nullptr;
};

}  // namespace

TEST_F(TabsAndProgress, TabControlsAreMadeByClassName) {
    auto* t = dynamic_cast<Shim_vHalvoran_tabview*>(tabs_);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->frame(), (Rect{10, 19, 200, 106}));
    EXPECT_EQ(t->tag(), 5);
    EXPECT_EQ(t->getNotificationWindow(), dlg);
    EXPECT_EQ(t->delegate(), static_cast<Responder*>(t));
    EXPECT_TRUE(t->allowsTruncatedLabels());
    HWND hidden = SHIM_MakeControl("", 6, "systabcontrol32", -1, 0, 0, 50, 50, 0);
    EXPECT_TRUE(dynamic_cast<View*>(hidden)->isHidden());
    auto* p = dynamic_cast<Shim_vHalvoran_progind*>(SHIM_MakeControl("", 8, "msctls_progress32", 0, 5, 5, 100, 10, 0));
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->isIndeterminate());
    EXPECT_EQ(p->style(), platform::controls::ProgressIndicator::kBar);
    EXPECT_EQ(p->frame(), (Rect{5, 5, 100, 10}));
}

TEST_F(TabsAndProgress, InsertionIsQuietAndEachChangeOfTheSelectionNotifiesOnce) {
    struct Insert {
        int at;
        const char* text;
        UINT mask;
        int result;
    } inserts[] = {
        {0, "One", TCIF_TEXT, 0},   {5, "Two", TCIF_TEXT, 1}, {99, "Three", TCIF_TEXT, 2},
        {-4, "Zero", TCIF_TEXT, 0}, {1, "x", 0, -1},          {1, nullptr, TCIF_TEXT, -1},
    };
    for (const auto& i : inserts) EXPECT_EQ(insert(i.at, i.text, i.mask), i.result) << i.at;
    EXPECT_EQ(TabCtrl_GetItemCount(tabs_), 4);
    EXPECT_EQ(notices(), 0u);
    auto* t = dynamic_cast<Shim_vHalvoran_tabview*>(tabs_);
    EXPECT_EQ(t->labelAt(0), "Zero");
    EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 1);  // "One" stays selected

    struct Select {
        int index;
        int result;
        int now;
        size_t notices;
    } selects[] = {{0, 1, 0, 1}, {0, 0, 0, 1}, {4, 0, 0, 1}, {-1, 0, 0, 1}, {3, 0, 3, 2}};
    for (const auto& s : selects) {
        EXPECT_EQ(TabCtrl_SetCurSel(tabs_, s.index), s.result) << s.index;
        EXPECT_EQ(TabCtrl_GetCurSel(tabs_), s.now) << s.index;
        EXPECT_EQ(notices(), s.notices) << s.index;
    }
    // Removing the selected tab selects another, and says so.
    EXPECT_TRUE(TabCtrl_DeleteItem(tabs_, 3));
    EXPECT_EQ(notices(), 3u);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 2);
    EXPECT_TRUE(TabCtrl_DeleteItem(tabs_, 0));
    EXPECT_EQ(notices(), 3u);
    EXPECT_FALSE(TabCtrl_DeleteItem(tabs_, 2));
    EXPECT_FALSE(TabCtrl_DeleteItem(tabs_, -1));
    for (int c : codes(WM_NOTIFY)) EXPECT_EQ(c, TCN_SELCHANGE);
    // A click on a tab selects it and notifies.
    FRect r = t->tabRect(0);
    Point at = t->convertToWindow({static_cast<int>(r.x + 5), static_cast<int>(r.y + 5)});
    window->sendEvent(Event::mouse(EventType::MouseDown, at));
    EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 0);
    EXPECT_EQ(notices(), 4u);
}

TEST_F(TabsAndProgress, AGoneNotificationWindowGetsNothing) {
    auto* t = dynamic_cast<Shim_vHalvoran_tabview*>(tabs_);
    insert(0, "A");
    insert(1, "B");
    auto* other = new View(Rect{0, 0, 10, 10});
    t->setNotificationWindow(other);
    delete other;
    EXPECT_EQ(TabCtrl_SetCurSel(tabs_, 1), 0);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 1);
    EXPECT_EQ(notices(), 0u);
}

TEST_F(TabsAndProgress, EmptyControlsAndOtherHandles) {
    EXPECT_EQ(TabCtrl_GetCurSel(tabs_), 0);
    EXPECT_EQ(TabCtrl_SetCurSel(tabs_, 0), 0);
    View plain;
    struct Case {
        HWND h;
        int count, insert, set, get;
        BOOL del;
    } cases[] = {{&plain, 0, -1, -1, 0, 0}, {nullptr, 0, -1, -1, 0, 0}};
    for (const auto& c : cases) {
        TCITEM item{TCIF_TEXT, 0, 0, const_cast<char*>("x"), 0, 0, 0};
        EXPECT_EQ(TabCtrl_GetItemCount(c.h), c.count);
        EXPECT_EQ(TabCtrl_InsertItem(c.h, 0, &item), c.insert);
        EXPECT_EQ(TabCtrl_SetCurSel(c.h, 0), c.set);
        EXPECT_EQ(TabCtrl_GetCurSel(c.h), c.get);
        EXPECT_EQ(TabCtrl_DeleteItem(c.h, 0), c.del);
        RECT r{};
        EXPECT_FALSE(TabCtrl_AdjustRect(c.h, FALSE, &r));
    }
}

TEST_F(TabsAndProgress, TheDisplayAreaFigures) {
    struct Case {
        BOOL larger;
        RECT in, out;
    } cases[] = {
        {FALSE, {0, 0, 200, 100}, {7, 26, 193, 97}},
        {TRUE, {0, 0, 200, 100}, {-7, -26, 207, 103}},
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        EXPECT_TRUE(TabCtrl_AdjustRect(tabs_, c.larger, &r));
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
    }
    EXPECT_FALSE(TabCtrl_AdjustRect(tabs_, FALSE, nullptr));
}

TEST_F(TabsAndProgress, ProgressRangesPositionsAndSteps) {
    HWND bar = SHIM_MakeControl("", 9, "msctls_progress32", 0, 0, 0, 100, 12, 0);
    auto* p = dynamic_cast<Shim_vHalvoran_progind*>(bar);
    ASSERT_TRUE(p);
    p->startAnimation();
    struct Case {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
        double min, max, value;
    } cases[] = {
        {PBM_SETRANGE, 0, 0x00640000, 0, 100, 0},
        {PBM_SETPOS, 50, 0, 0, 100, 50},
        {PBM_DELTAPOS, 5, 0, 0, 100, 55},
        {PBM_SETRANGE, 0, static_cast<LPARAM>(0xFFFF0010u), 16, 65535, 55},
        {PBM_SETPOS, 0xFFFFFFFFu, 0, 16, 65535, 4294967295.0},
        {PBM_SETPOS, 1, 0, 16, 65535, 1},
        {PBM_DELTAPOS, 0xFFFFFFFFu, 0, 16, 65535, 4294967296.0},
        {0x0410, 7, 7, 16, 65535, 4294967296.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SendMessage(bar, c.msg, c.wp, c.lp), 0);
        EXPECT_EQ(p->minValue(), c.min) << std::hex << c.msg;
        EXPECT_EQ(p->maxValue(), c.max) << std::hex << c.msg;
        EXPECT_EQ(p->doubleValue(), c.value) << std::hex << c.msg;
    }
    EXPECT_FALSE(p->isAnimating());
    // Half the range fills half the track.
    SendMessage(bar, PBM_SETRANGE, 0, 0x00640000);
    SendMessage(bar, PBM_SETPOS, 50, 0);
    FRect fill = p->filledRect();
    EXPECT_DOUBLE_EQ(fill.width, (p->boundsF().width - 2) / 2);
}
