// ctest-labels: tsan
// Hosting on Linux: the calls for windows of the older Mac toolkit and for
// plug-in views fail cleanly; GL contexts of toolkit views are records that
// follow the view's wish, bind to it while it paints and are current per
// thread.
#include <gtest/gtest.h>

#include <thread>

#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-hosting.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

SHIM_GLRecord* g_seenInPaint = nullptr;
View* g_boundInPaint = nullptr;
LRESULT PaintProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        g_seenInPaint = SHIM_GLRecord::current();
        g_boundInPaint = g_seenInPaint ? g_seenInPaint->m_view : nullptr;
    }
    return 0;
}

}  // namespace

TEST(Hosting, OlderToolkitWindowsAndPluginViewsFailCleanly) {
    Window w({200, 100}, "host");
    HWND parent = w.contentView();
    RECT r{0, 0, 50, 50};
    void* carbon = reinterpret_cast<void*>(1);
    EXPECT_EQ(SHIM_CreateCarbonWindowView(parent, &carbon, &r, true), nullptr);
    EXPECT_EQ(carbon, nullptr);
    EXPECT_EQ(SHIM_CreateCarbonWindowView(nullptr, nullptr, nullptr, false), nullptr);
    EXPECT_EQ(SHIM_GetWindowFromCarbonWindowView(parent), nullptr);
    EXPECT_EQ(SHIM_GetWindowFromCarbonWindowView(nullptr), nullptr);
    SHIM_AddCarbonPaneToView(parent, nullptr);
    SHIM_CarbonWndHost_SetWantAllKeys(nullptr, true);
    SHIM_CarbonWndHost_SetWantAllKeys(parent, true);
    EXPECT_TRUE(w.contentView()->subviews().empty());

    AudioUnitCocoaViewInfo noClass{"/tmp/none.component", {nullptr}};
    AudioUnitCocoaViewInfo named{"/tmp/none.component", {"SomeView"}};
    RECT size{0, 0, 300, 200};
    EXPECT_EQ(SHIM_GetAudioUnitCocoaView(parent, nullptr, &noClass, &size), nullptr);
    EXPECT_EQ(SHIM_GetAudioUnitCocoaView(parent, nullptr, &named, &size), nullptr);
    EXPECT_EQ(SHIM_GetAudioUnitCocoaView(parent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(size.right, 300);
    EXPECT_TRUE(w.contentView()->subviews().empty());
}

TEST(Hosting, GLContextsFollowTheWishAndAreCurrentPerThread) {
    Window w({200, 100}, "gl");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, &w, PaintProc, 0);
    HWND h = v->handle();
    View plain;
    struct Case {
        HWND h;
        bool want;
        bool has;
    } cases[] = {{h, false, false}, {h, true, true}, {h, true, true}, {&plain, true, false}, {nullptr, true, false}};
    SHIM_GLContext* first = nullptr;
    for (const auto& c : cases) {
        SHIM_SetViewGL(c.h, c.want);
        EXPECT_EQ(SHIM_GetViewGL(c.h), c.has);
        if (c.h == h && c.has) {
            if (!first) first = v->glContext();
            EXPECT_EQ(v->glContext(), first);  // the same wish changes nothing
        }
    }
    auto* rec = dynamic_cast<SHIM_GLRecord*>(v->glContext());
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->m_pixelformat, std::vector<int>{96});

    EXPECT_FALSE(SHIM_SetGLContextToView(&plain));
    EXPECT_TRUE(SHIM_SetGLContextToView(h));
    EXPECT_EQ(SHIM_GLRecord::current(), rec);
    SHIM_GLRecord* otherThread = rec;
    std::thread([&] { otherThread = SHIM_GLRecord::current(); }).join();
    EXPECT_EQ(otherThread, nullptr);
    EXPECT_FALSE(SHIM_SetGLContextToView(nullptr));
    EXPECT_EQ(SHIM_GLRecord::current(), nullptr);

    // While the view paints its context is bound to it and current.
    w.show();
    ShowWindow(h, SW_SHOW);
    InvalidateRect(h, nullptr, FALSE);
    w.display();
    EXPECT_EQ(g_seenInPaint, rec);
    EXPECT_EQ(g_boundInPaint, v);
    EXPECT_EQ(SHIM_GLRecord::current(), nullptr);
    EXPECT_GE(rec->m_updates, 1);

    EXPECT_TRUE(SHIM_SetGLContextToView(h));
    SHIM_SetViewGL(h, false);
    EXPECT_FALSE(SHIM_GetViewGL(h));
    EXPECT_EQ(SHIM_GLRecord::current(), nullptr);
    DestroyWindow(h);
    RunLoop::main().runOnce();
}

TEST(Hosting, ButtonTextColours) {
    Button b;
    EXPECT_EQ(SHIM_ButtonTextColor(&b), Color::controlText());
    b.setTitle("OK");
    EXPECT_FALSE(SHIM_ButtonTextColor(&b).has_value());
    SHIM_ButtonSetTextColor(&b, {1, 0, 0, 1});
    EXPECT_EQ(SHIM_ButtonTextColor(&b), (Color{1, 0, 0, 1}));
    EXPECT_FALSE(SHIM_ButtonTextColor(nullptr).has_value());
}
