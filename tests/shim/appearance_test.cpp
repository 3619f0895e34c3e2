// Window appearance: levels and raise amounts, opacity, shadow, the
// represented file, the menu bar's presentation and the focus rectangle's
// one window per owner.
#include <gtest/gtest.h>

#include "platform/appkit/Application.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-appearance.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {
LRESULT Quiet(HWND, UINT, WPARAM, LPARAM) { return 0; }
HWND Modeless() {
    return SHIM_CreateDialog(nullptr, reinterpret_cast<const char*>(SHIM_DIALOG_PLAIN_WINDOW), nullptr, Quiet, 0);
}
}  // namespace

TEST(Appearance, LevelsAndRaiseAmounts) {
    HWND content = Modeless();
    ASSERT_TRUE(content);
    Window* w = dynamic_cast<View*>(content)->window();
    View plain;
    struct Case {
        HWND h;
        int level;
        int previous;
    } cases[] = {{content, 3, 0}, {w, 5, 3}, {&plain, 9, 0}, {nullptr, 9, 0}};
    for (const auto& c : cases) EXPECT_EQ(SHIM_SetWindowLevel(c.h, c.level), c.previous);
    EXPECT_EQ(w->level(), 5);

    struct Raise {
        int amt;
        bool active;
        int level;
    } raises[] = {{2, true, 7}, {2, true, 7}, {-1, true, 4}, {6, false, 4}, {6, true, 4}, {0, true, -2}};
    for (const auto& r : raises) {
        if (!r.active) Application::hide();
        SHIM_SetWindowWantRaiseAmt(content, r.amt);
        Application::unhide();
        EXPECT_EQ(SHIM_GetWindowWantRaiseAmt(w), r.amt);
        EXPECT_EQ(w->level(), r.level) << r.amt;
    }
    SHIM_SetWindowWantRaiseAmt(&plain, 4);
    EXPECT_EQ(SHIM_GetWindowWantRaiseAmt(&plain), 0);
    DestroyWindow(content);
    RunLoop::main().runOnce();
}

TEST(Appearance, OpacityShadowAndTheRepresentedFile) {
    Window w({100, 100}, "doc");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, &w, Quiet, 0);
    SetOpaque(v->handle(), false);
    EXPECT_FALSE(v->isOpaque());
    SetOpaque(&w, true);  // only the window object itself
    EXPECT_FALSE(v->isOpaque());
    SetTransparent(v->handle());
    EXPECT_FALSE(w.isOpaque());
    EXPECT_EQ(w.backgroundColor(), 0u);
    SHIM_SetWindowShadow(v->handle(), false);
    EXPECT_FALSE(w.hasShadow());

    SHIM_SetWindowRepre(v->handle(), "/tmp/a.hvx", true);
    EXPECT_EQ(w.representedFilename(), "/tmp/a.hvx");
    EXPECT_TRUE(w.isDocumentEdited());
    SHIM_SetWindowRepre(&w, nullptr, false);
    EXPECT_EQ(w.representedFilename(), "");
    EXPECT_FALSE(w.isDocumentEdited());
    SetProp(v->handle(), "SHIM_DisableWindowRepre", reinterpret_cast<void*>(1));
    SHIM_SetWindowRepre(v->handle(), "/tmp/b.hvx", true);
    EXPECT_EQ(w.representedFilename(), "");
    RemoveProp(v->handle(), "SHIM_DisableWindowRepre");
    DestroyWindow(v->handle());
    RunLoop::main().runOnce();
}

TEST(Appearance, MenuBarAndDockPresentationKeepTheFirstDefaults) {
    Application::setPresentationOptions(0x400);
    struct Case {
        int ah;
        uint32_t options;
    } cases[] = {{0, 0x400}, {1, 5}, {2, 6}, {7, 6}, {-3, 0x400}};
    for (const auto& c : cases) {
        EXPECT_TRUE(SHIM_SetAppAutoHideMenuAndDock(c.ah));
        EXPECT_EQ(Application::presentationOptions(), c.options) << c.ah;
    }
    Application::setPresentationOptions(0);
}

TEST(Appearance, TheFocusRectangleKeepsOneWindowPerOwner) {
    double screenH = Application::mainScreenHeight();
    Window a(FRect{100, screenH - 300, 200, 200}, kStyleTitled, "a");
    Window b(FRect{400, screenH - 300, 200, 200}, kStyleTitled, "b");
    a.show();
    b.show();
    void* cell = nullptr;
    RECT r{10, 20, 60, 40};
    SHIM_DrawFocusRect(a.contentView(), &r, &cell);
    auto* first = static_cast<Window*>(cell);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->parentWindow(), &a);
    // Directly above its owner, not above the window in front of that.
    std::vector<Window*> order;
    for (Window* w : Application::orderedWindows())
        if (w == &a || w == &b || w == first) order.push_back(w);
    EXPECT_EQ(order, (std::vector<Window*>{&b, first, &a}));
    EXPECT_TRUE(first->ignoresMouseEvents());
    EXPECT_DOUBLE_EQ(first->alphaValue(), 0.5);
    // Window coordinates (y downward) to screen (y upward).
    EXPECT_EQ(first->frame(), (FRect{110, screenH - 100 - 40, 50, 20}));
    first->display();
    EXPECT_EQ(first->pixelAt(5, 5), 0x808080u);

    RECT moved{0, 0, 30, 30};
    SHIM_DrawFocusRect(a.contentView(), &moved, &cell);
    EXPECT_EQ(cell, first);
    EXPECT_EQ(first->frame(), (FRect{100, screenH - 100 - 30, 30, 30}));

    SHIM_DrawFocusRect(b.contentView(), &moved, &cell);
    EXPECT_NE(cell, first);
    EXPECT_TRUE(first->isClosed());
    EXPECT_EQ(static_cast<Window*>(cell)->parentWindow(), &b);

    View loose;
    SHIM_DrawFocusRect(&loose, &moved, &cell);  // no window: a floating one
    EXPECT_EQ(static_cast<Window*>(cell)->level(), kPopUpMenuWindowLevel);
    SHIM_DrawFocusRect(nullptr, nullptr, &cell);
    EXPECT_EQ(cell, nullptr);
    SHIM_DrawFocusRect(a.contentView(), &moved, nullptr);
    RunLoop::main().runOnce();
}
