// The toolkit's functions on window handles, headless: navigation, window
// longs of platform controls, item text and numbers, check states, showing,
// destroying, focus, geometry, SetWindowPos, capture, DefWindowProc,
// dropped-file blocks, child search and enumeration, opening documents and
// SendMessage's forwarding, with the edge cases that matter.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/appkit/Application.h"
#include "platform/appkit/Controls.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"
#include "window_recorder.h"

using namespace platform::appkit;

namespace {

HeadlessBackend& Headless() { return dynamic_cast<HeadlessBackend&>(Application::backend()); }

Shim_vHalvoran_hwnd* Make(HWND parent, const char* name) {
    return Shim_vHalvoran_hwnd::initChild(nullptr, parent, WindowRecorder::Proc, reinterpret_cast<LPARAM>(name));
}

template <class T>
T* Add(View* parent, T* v) {
    parent->addSubview(v);
    return v;
}

// A toolkit button: a platform button that keeps radio flags.
struct RadioButton : Button, SHIM_Object {
    using Button::Button;
    uint64_t shimAnswers() const override { return SHIM_SEL_RADIO; }
    int shimGetRadioFlags() const override { return flags; }
    void shimSetRadioFlags(int f) override { flags = f; }
    int flags = 0;
};

class WindowFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        WindowRecorder::get().forgetAll();
        Headless().setScreens({{{0, 0, 1000, 800}, {0, 0, 1000, 760}}});
        w = std::make_unique<Window>(FRect{100, 200, 300, 200}, kStyleTitled | kStyleResizable, "main");
        top = Make(w.get(), "top");
    }
    void TearDown() override {
        ReleaseCapture();
        w.reset();
        RunLoop::main().runOnce();
        Headless().setScreens({{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}});
        Headless().clearRecords();
    }
    WindowRecorder& rec = WindowRecorder::get();
    std::unique_ptr<Window> w;
    Shim_vHalvoran_hwnd* top = nullptr;
};

}  // namespace

TEST_F(WindowFunctions, NavigationAndLookup) {
    auto* a = Make(top, "a");
    auto* b = Make(top, "b");
    auto* grand = Make(a, "grand");
    SetWindowLong(a, GWL_ID, 10);
    SetWindowLong(grand, GWL_ID, 11);
    auto* scroll = Add(static_cast<View*>(top), new ScrollView(Rect{0, 0, 50, 50}));
    auto* text = new TextView(Rect{0, 0, 50, 50});
    scroll->setDocumentView(text);
    SetWindowLong(text, GWL_ID, 12);  // a plain text view keeps no id
    auto* field = Add(static_cast<View*>(top), new TextField(Rect{}));
    field->setTag(13);

    EXPECT_EQ(GetParent(a), static_cast<HWND>(top));
    EXPECT_EQ(GetParent(top), nullptr);                  // a content view without a parent window or owner
    EXPECT_EQ(GetParent(text), static_cast<HWND>(top));  // through its scroll view
    Window child(FRect{0, 0, 10, 10}, kStyleTitled, "child");
    w->addChildWindow(&child);
    EXPECT_EQ(GetParent(child.contentView()), static_cast<HWND>(top));

    EXPECT_EQ(GetDlgItem(w.get(), 0), static_cast<HWND>(top));
    EXPECT_EQ(GetDlgItem(top, 10), static_cast<HWND>(a));
    EXPECT_EQ(GetDlgItem(top, 11), nullptr);  // two levels down
    EXPECT_EQ(GetDlgItem(top, 13), static_cast<HWND>(field));

    struct Case {
        HWND from;
        int cmd;
        HWND expect;
    } cases[] = {
        {a, GW_HWNDFIRST, a},     {a, GW_HWNDLAST, field},       {a, GW_HWNDNEXT, b},      {a, GW_HWNDPREV, nullptr},
        {b, GW_HWNDPREV, a},      {field, GW_HWNDNEXT, nullptr}, {a, GW_OWNER, top},       {a, GW_CHILD, grand},
        {top, GW_HWNDFIRST, top}, {top, GW_HWNDNEXT, nullptr},   {top, GW_OWNER, nullptr}, {a, 9, nullptr},
        {text, GW_HWNDPREV, b},
    };
    for (const Case& c : cases) EXPECT_EQ(GetWindow(c.from, c.cmd), c.expect) << c.cmd;

    EXPECT_TRUE(IsChild(top, grand));
    EXPECT_TRUE(IsChild(w.get(), grand));
    EXPECT_FALSE(IsChild(a, b));
    EXPECT_FALSE(IsChild(a, a));
    EXPECT_FALSE(IsChild(nullptr, a));
    EXPECT_EQ(SHIM_NavigateUpScrollClipViews(text), static_cast<HWND>(scroll));
    EXPECT_EQ(SHIM_NavigateUpScrollClipViews(w.get()), static_cast<HWND>(top));
}

TEST_F(WindowFunctions, IsWindowKnowsTheApplicationsWindowsAndToolkitTrees) {
    auto* a = Make(top, "a");
    EXPECT_TRUE(IsWindow(w.get()));
    EXPECT_TRUE(IsWindow(top));
    EXPECT_TRUE(IsWindow(a));
    Window plainWindow({10, 10}, "plain");
    View* inPlain = Add(plainWindow.contentView(), new View(Rect{}));
    EXPECT_FALSE(IsWindow(inPlain));
    EXPECT_FALSE(IsWindow(nullptr));
    HWND stale = Make(nullptr, "loose");
    DestroyWindow(stale);
    RunLoop::main().runOnce();
    EXPECT_FALSE(IsWindow(stale));
}

TEST_F(WindowFunctions, SetParentMovesChildrenMakesThemTopLevelAndEmbedsTopLevels) {
    auto* a = Make(top, "a");
    auto* b = Make(top, "b");
    EXPECT_EQ(SetParent(b, a), static_cast<HWND>(top));
    EXPECT_EQ(b->superview(), a);
    // A child made top-level gets a frame of its own, with its title.
    SetDlgItemText(b, 0, "floating");
    b->m_create_windowflags = 15;  // as a dialog made as a child has
    EXPECT_EQ(SetParent(b, nullptr), nullptr);
    ASSERT_NE(b->window(), nullptr);
    Window* frame = b->window();
    EXPECT_EQ(frame->contentView(), b);
    EXPECT_EQ(frame->title(), "floating");
    EXPECT_EQ(frame->styleMask(), 15u);
    EXPECT_TRUE(frame->isVisible());
    // And embedded again: the frame goes, the view and its title stay.
    EXPECT_EQ(SetParent(b, a), static_cast<HWND>(a));
    EXPECT_EQ(b->superview(), a);
    EXPECT_TRUE(frame->isClosed());
    char title[64];
    GetDlgItemText(b, 0, title, sizeof title);
    EXPECT_STREQ(title, "floating");
    EXPECT_EQ(SetParent(top, nullptr), nullptr);  // a content view needs a new parent
    RunLoop::main().runOnce();
}

TEST_F(WindowFunctions, StylesOfButtonsAndContentViews) {
    auto* push = Add(static_cast<View*>(top), new Button(Rect{}));
    auto* radio = Add(static_cast<View*>(top), new RadioButton(Rect{}));
    auto* mixed = Add(static_cast<View*>(top), new Button(Rect{}));
    mixed->setAllowsMixedState(true);
    radio->flags = 3;
    EXPECT_EQ(GetWindowLong(push, GWL_STYLE), 0x40000003);
    EXPECT_EQ(GetWindowLong(radio, GWL_STYLE), 0x40020009);
    EXPECT_EQ(GetWindowLong(mixed, GWL_STYLE), 0x40000006);
    EXPECT_EQ(GetWindowLong(top, GWL_STYLE), WS_CAPTION | WS_THICKFRAME);
    // Setting a button's style picks its kind by the low four bits.
    EXPECT_EQ(SetWindowLong(radio, GWL_STYLE, BS_AUTOCHECKBOX), 0x40020009);
    EXPECT_EQ(radio->flags, 0);
    SetWindowLong(radio, GWL_STYLE, BS_AUTORADIOBUTTON);
    EXPECT_EQ(radio->flags, 1);
    SetWindowLong(push, GWL_STYLE, BS_AUTO3STATE);
    EXPECT_TRUE(push->allowsMixedState());
    // The same frame bits change nothing; others rebuild the frame around the view.
    EXPECT_EQ(SetWindowLong(top, GWL_STYLE, WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(top->window(), w.get());
    w->show();
    SetDlgItemText(top, 0, "retitled");
    EXPECT_EQ(SetWindowLong(top, GWL_STYLE, WS_CAPTION), 0);
    Window* rebuilt = top->window();
    ASSERT_NE(rebuilt, w.get());
    EXPECT_EQ(rebuilt->styleMask(), 1u);
    EXPECT_EQ(rebuilt->title(), "retitled");
    EXPECT_EQ(rebuilt->frame(), (FRect{100, 200, 300, 200}));
    EXPECT_TRUE(rebuilt->isVisible());
    EXPECT_TRUE(w->isClosed());
    DestroyWindow(rebuilt);
    RunLoop::main().runOnce();
    // Text objects answer a marker for user data they do not keep.
    Text t(Rect{});
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLong(&t, GWL_USERDATA)), 0xdeadf00bu);
}

TEST_F(WindowFunctions, ItemTextByKindAndEditChangeNotices) {
    auto* button = Add(static_cast<View*>(top), new Button(Rect{}));
    button->setTag(1);
    auto* field = Add(static_cast<View*>(top), new TextField(Rect{}));
    field->setTag(2);
    auto* box = Add(static_cast<View*>(top), new Box(Rect{}));
    auto* plain = Add(static_cast<View*>(top), new View(Rect{}));
    rec.entry(top).answers[WM_COMMAND] = 0;
    rec.reset();
    EXPECT_TRUE(SetDlgItemText(top, 1, "Press"));
    EXPECT_EQ(button->title(), "Press");
    EXPECT_TRUE(SetDlgItemText(top, 2, "typed"));
    EXPECT_EQ(rec.joined(), "top:COMMAND");  // an editable field tells its parent
    EXPECT_TRUE(SetDlgItemText(box, 0, "Group"));
    EXPECT_FALSE(SetDlgItemText(plain, 0, "x"));
    EXPECT_FALSE(SetDlgItemText(top, 99, "x"));
    EXPECT_TRUE(SetDlgItemText(top, 0, "Title"));
    EXPECT_EQ(w->title(), "Title");
    char buf[8];
    EXPECT_TRUE(GetDlgItemText(top, 2, buf, sizeof buf));
    EXPECT_STREQ(buf, "typed");
    EXPECT_TRUE(GetDlgItemText(box, 0, buf, 4));
    EXPECT_STREQ(buf, "Gro");
    EXPECT_FALSE(GetDlgItemText(plain, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(GetDlgItemText(top, 1, buf, 0));
}

TEST_F(WindowFunctions, ItemNumbers) {
    auto* field = Add(static_cast<View*>(top), new TextField(Rect{}));
    field->setTag(5);
    struct Case {
        const char* text;
        BOOL isSigned;
        int value;
        BOOL ok;
    } cases[] = {{"  0", 0, 0, 1}, {"\t42x", 0, 42, 1}, {"abc", 1, 0, 0}, {"-5", 0, 0, 0},
                 {"-5", 1, -5, 1}, {"", 1, 0, 0},       {" -0", 1, 0, 0}, {"007", 0, 7, 1}};
    for (const Case& c : cases) {
        SetDlgItemText(top, 5, c.text);
        BOOL ok = 2;
        EXPECT_EQ(GetDlgItemInt(top, 5, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    EXPECT_EQ(GetDlgItemInt(top, 77, nullptr, 1), 0);
    SetDlgItemInt(top, 5, -1, FALSE);
    EXPECT_EQ(field->stringValue(), "4294967295");
    SetDlgItemInt(top, 5, -1, TRUE);
    EXPECT_EQ(field->stringValue(), "-1");
}

TEST_F(WindowFunctions, CheckStates) {
    auto* box = Add(static_cast<View*>(top), new Button(Rect{}));
    box->setTag(3);
    box->setAllowsMixedState(true);
    struct Case {
        int set, expect;
    } cases[] = {{BST_CHECKED, 1}, {BST_UNCHECKED, 0}, {BST_INDETERMINATE, 2}, {3, 2}, {4, 0}};
    for (const Case& c : cases) {
        CheckDlgButton(top, 3, c.set);
        EXPECT_EQ(IsDlgButtonChecked(top, 3), c.expect) << c.set;
    }
    EXPECT_EQ(IsDlgButtonChecked(top, 4), 0);
}

TEST_F(WindowFunctions, ShowingHidingAndFocus) {
    auto* a = Make(top, "a");
    auto* field = Add(static_cast<View*>(a), new TextField(Rect{}));
    ShowWindow(top, SW_SHOW);  // the content view shows its window, key
    EXPECT_TRUE(w->isVisible() && w->isKeyWindow());
    EXPECT_FALSE(IsWindowVisible(a));
    ShowWindow(a, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(a) && IsWindowVisible(field));
    SetFocus(field);
    EXPECT_EQ(GetFocus(), static_cast<HWND>(field));
    EXPECT_EQ(GetForegroundWindow(), static_cast<HWND>(field));
    // Hiding the view that holds the focus hands it to the view's parent.
    ShowWindow(a, SW_HIDE);
    EXPECT_EQ(GetFocus(), static_cast<HWND>(top));
    EXPECT_FALSE(IsWindowVisible(field));
    ShowWindow(w.get(), SW_SHOWMINIMIZED);
    EXPECT_TRUE(w->isMiniaturized());
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    ShowWindow(w.get(), SW_SHOWNA);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isKeyWindow());
    ShowWindow(w.get(), SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(top));
    EnableWindow(w.get(), FALSE);
    EXPECT_FALSE(top->isEnabled());
    EnableWindow(field, FALSE);
    EXPECT_FALSE(field->isEnabled());
}

TEST_F(WindowFunctions, DestroyingAContentViewDestroysItsWindowOnce) {
    Make(top, "a");
    rec.reset();
    DestroyWindow(top);
    EXPECT_EQ(rec.joined(), "top:DESTROY a:DESTROY");
    EXPECT_TRUE(w->isClosed());
    // A child view leaves its tree; a stale handle afterwards does nothing.
    auto* b = Make(w->contentView(), "b");
    HWND stale = b;
    DestroyWindow(b);
    RunLoop::main().runOnce();
    DestroyWindow(stale);
    ShowWindow(stale, SW_SHOW);
    EXPECT_EQ(GetParent(stale), nullptr);
}

TEST_F(WindowFunctions, RectanglesAndConversions) {
    auto* a = Make(top, "a");
    a->setFrame({10, 20, 30, 40});
    RECT r;
    EXPECT_TRUE(GetWindowRect(w.get(), &r));
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 200);  // screen y runs upward: top is the lower edge
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 400);
    EXPECT_TRUE(GetWindowRect(a, &r));
    EXPECT_EQ(r.left, 110);
    EXPECT_EQ(r.top, 380);  // a flipped child: top (its upper edge) is the greater
    EXPECT_EQ(r.bottom, 340);
    EXPECT_FALSE(GetWindowRect(nullptr, &r));
    RECT c;
    GetClientRect(w.get(), &c);
    EXPECT_EQ(c.right, 300);
    EXPECT_EQ(c.bottom, 200);
    POINT p{5, 5};
    ClientToScreen(a, &p);
    EXPECT_EQ(p.x, 115);
    EXPECT_EQ(p.y, 375);
    ScreenToClient(a, &p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 5);
    GetWindowContentViewRect(top, &r);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.bottom, 400);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1000);
    EXPECT_EQ(GetSystemMetrics(SM_CYVSCROLL), 16);
    EXPECT_EQ(GetSystemMetrics(22), 0);
}

TEST_F(WindowFunctions, ViewPortByScreenAndPoint) {
    Headless().setScreens({{{0, 0, 1000, 800}, {0, 40, 1000, 760}}, {{1000, 0, 800, 600}, {1000, 0, 800, 580}}});
    RECT out, src{1200, 100, 1300, 200};
    SHIM_GetViewPort(&out, &src, false);
    EXPECT_EQ(out.left, 1000);
    EXPECT_EQ(out.right, 1800);
    SHIM_GetViewPort(&out, nullptr, true);
    EXPECT_EQ(out.top, 40);
    EXPECT_EQ(out.bottom, 800);
    Headless().setScreens({});
    SHIM_GetViewPort(&out, &src, true);
    EXPECT_EQ(out.right, 1600);
    EXPECT_EQ(out.bottom, 1200);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
}

TEST_F(WindowFunctions, SetWindowPosFlagsOrderAndLimits) {
    auto* a = Make(top, "a");
    auto* b = Make(top, "b");
    auto* c = Make(top, "c");
    a->setFrame({1, 2, 3, 4});
    auto order = [&] {
        std::string s;
        for (View* v : top->subviews()) s += rec.entry(v).name;
        return s;
    };
    SetWindowPos(a, HWND_TOP, 50, 50, 60, 60, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(order(), "bca");
    EXPECT_EQ(a->frame(), (Rect{1, 2, 3, 4}));  // only reordered
    SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(order(), "abc");
    SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(order(), "bac");
    SetWindowPos(c, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(order(), "bac");
    SetCapture(c);
    SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(order(), "bac");  // the captured view stays put
    ReleaseCapture();
    SetWindowPos(b, nullptr, 5, 6, 70, -50, SWP_NOZORDER);
    EXPECT_EQ(b->frame(), (Rect{5, 6, 70, 50}));
    SetWindowPos(b, nullptr, 9, 9, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    EXPECT_EQ(b->frame(), (Rect{9, 9, 70, 50}));
    // A window: its lower-left corner, within its size limits.
    w->setMinSize({50, 50});
    w->setMaxSize({500, 400});
    SetWindowPos(top, nullptr, 10, 20, 10, 1000, SWP_NOZORDER);
    EXPECT_EQ(w->frame(), (FRect{10, 20, 50, 400}));
}

TEST_F(WindowFunctions, InvalidateAndScrollMarkTheRightAreas) {
    auto* a = Make(top, "a");
    a->setFrame({0, 0, 100, 100});
    w->display();
    RECT r{10, 40, 30, 20};  // top and bottom either way round
    InvalidateRect(a, &r, FALSE);
    EXPECT_EQ(w->dirtyRect(), (Rect{10, 20, 20, 20}));
    EXPECT_EQ(a->m_isdirty & 1, 1);
    auto* child = Make(a, "child");
    child->setFrame({5, 5, 10, 10});
    EXPECT_TRUE(ScrollWindow(a, 3, -2, nullptr, nullptr));
    EXPECT_EQ(child->frame(), (Rect{8, 3, 10, 10}));
    EXPECT_FALSE(ScrollWindow(a, 0, 0, nullptr, nullptr));
    EXPECT_FALSE(ScrollWindow(nullptr, 1, 1, nullptr, nullptr));
}

TEST_F(WindowFunctions, WindowFromPointFindsTheDeepestViewOfTheFrontWindow) {
    auto* a = Make(top, "a");
    a->setFrame({10, 10, 50, 50});
    ShowWindow(a, SW_SHOW);
    ShowWindow(top, SW_SHOW);
    Window front(FRect{350, 350, 100, 100}, kStyleTitled, "front");
    front.show();
    EXPECT_EQ(WindowFromPoint({120, 370}), static_cast<HWND>(a));    // 10 below the top, 20 in
    EXPECT_EQ(WindowFromPoint({300, 250}), static_cast<HWND>(top));  // in the window, on no child
    EXPECT_EQ(WindowFromPoint({360, 390}), static_cast<HWND>(front.contentView()));
    EXPECT_EQ(WindowFromPoint({5, 5}), nullptr);
}

TEST_F(WindowFunctions, CaptureChangesAreToldToHoldersThatAsk) {
    auto* a = Make(top, "a");
    auto* b = Make(top, "b");
    rec.reset();
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(a), static_cast<HWND>(a));
    EXPECT_EQ(rec.joined(), "");  // the same holder again: no notice
    EXPECT_EQ(SetCapture(b), static_cast<HWND>(a));
    EXPECT_EQ(rec.joined(), "a:CAPTURECHANGED");
    ReleaseCapture();
    EXPECT_EQ(rec.joined(), "a:CAPTURECHANGED b:CAPTURECHANGED");
    EXPECT_EQ(GetCapture(), nullptr);
    View plain(Rect{});
    SetCapture(&plain);
    rec.reset();
    SetCapture(a);  // a plain view asked for no notice
    EXPECT_EQ(rec.joined(), "");
}

TEST_F(WindowFunctions, DefWindowProcAnswers) {
    auto* a = Make(top, "a");
    a->setFrame({0, 0, 100, 100});
    ShowWindow(a, SW_SHOW);
    w->show();
    rec.reset();
    EXPECT_EQ(DefWindowProc(a, WM_KEYDOWN, 0, 0), 69);
    EXPECT_EQ(DefWindowProc(a, WM_KEYUP, 0, 0), 69);
    EXPECT_EQ(DefWindowProc(top, WM_MOUSEWHEEL, 0, 0), 0);
    EXPECT_EQ(rec.joined(), "");
    rec.entry(top).answers[WM_CONTEXTMENU] = 5;
    EXPECT_EQ(DefWindowProc(a, WM_CONTEXTMENU, 0, 0), 5);  // passed up to the toolkit parent
    EXPECT_EQ(DefWindowProc(a, WM_NCRBUTTONUP, 0, 7), 1);
    // A right release finds the view under it: a itself.
    rec.entry(a).answers[WM_CONTEXTMENU] = 0;
    HWND target = nullptr;
    rec.entry(a).hook = [&](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_CONTEXTMENU) target = reinterpret_cast<HWND>(wp);
        return 0;
    };
    EXPECT_EQ(DefWindowProc(a, WM_RBUTTONUP, 0, (20 << 16) | 10), 1);
    EXPECT_EQ(target, static_cast<HWND>(a));
    // Hit tests: inside the client area only.
    LPARAM inside = (375 << 16) | 110, outside = (100 << 16) | 110;
    EXPECT_EQ(DefWindowProc(a, WM_NCHITTEST, 0, inside), HTCLIENT);
    EXPECT_EQ(DefWindowProc(a, WM_NCHITTEST, 0, outside), 0);
    rec.reset();
    DefWindowProc(top, WM_DISPLAYCHANGE, 0, 0);
    EXPECT_EQ(rec.joined(), "a:DISPLAYCHANGE");
    EXPECT_EQ(DefWindowProc(a, 0x7777, 0, 0), 0);
}

TEST_F(WindowFunctions, DroppedFileNames) {
    const char names[] = "/a/one\0/b/two\0/c/three\0";
    HGLOBAL h = GlobalAlloc(0, sizeof(DROPFILES) + sizeof names);
    auto* d = static_cast<DROPFILES*>(GlobalLock(h));
    *d = DROPFILES{sizeof(DROPFILES), {3, 4}, 0, 0};
    std::memcpy(d + 1, names, sizeof names);
    GlobalUnlock(h);
    char buf[16];
    EXPECT_EQ(DragQueryFile(h, 0xFFFFFFFF, nullptr, 0), 3u);
    EXPECT_EQ(DragQueryFile(h, 3, buf, sizeof buf), 0u);
    EXPECT_EQ(DragQueryFile(h, 2, nullptr, 0), 8u);
    EXPECT_EQ(DragQueryFile(h, 1, buf, sizeof buf), 6u);
    EXPECT_STREQ(buf, "/b/two");
    EXPECT_EQ(DragQueryFile(h, 2, buf, 5), 4u);
    EXPECT_STREQ(buf, "/c/t");
    EXPECT_EQ(DragQueryFile(h, 0, buf, 0), 0u);
    POINT p;
    EXPECT_TRUE(DragQueryPoint(h, &p));
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(DragQueryFile(nullptr, 0, buf, sizeof buf), 0u);
    // A block whose list runs past its end gives nothing from there.
    d = static_cast<DROPFILES*>(GlobalLock(h));
    d->pFiles = 100000;
    GlobalUnlock(h);
    EXPECT_EQ(DragQueryFile(h, 0xFFFFFFFF, nullptr, 0), 0u);
    DragFinish(h);
    GlobalFree(h);
}

TEST_F(WindowFunctions, FindWindowExAndEnumChildWindows) {
    auto* button = Add(static_cast<View*>(top), new Button(Rect{}));
    button->setTitle("OK");
    auto* label = Add(static_cast<View*>(top), new TextField(Rect{}));
    label->setStringValue("Name");
    auto* a = Make(top, "a");
    auto* grand = Make(a, "grand");
    auto* b = Make(top, "b");
    EXPECT_EQ(FindWindowEx(top, nullptr, "static", nullptr), static_cast<HWND>(label));
    EXPECT_EQ(FindWindowEx(top, nullptr, "Button", nullptr), static_cast<HWND>(button));
    EXPECT_EQ(FindWindowEx(top, nullptr, nullptr, "Name"), static_cast<HWND>(label));
    EXPECT_EQ(FindWindowEx(top, label, nullptr, nullptr), static_cast<HWND>(a));
    EXPECT_EQ(FindWindowEx(top, nullptr, "Static", "OK"), nullptr);
    w->setTitle("main window");
    EXPECT_EQ(FindWindowEx(nullptr, nullptr, nullptr, "main window"), static_cast<HWND>(top));
    EXPECT_EQ(FindWindowEx(nullptr, top, nullptr, "main window"), nullptr);
    EXPECT_EQ(FindWindowEx(nullptr, nullptr, nullptr, nullptr), nullptr);

    static std::vector<HWND> seen;
    seen.clear();
    auto collect = [](HWND h, LPARAM stop) -> BOOL {
        seen.push_back(h);
        return h != reinterpret_cast<HWND>(stop);
    };
    EXPECT_TRUE(EnumChildWindows(top, collect, 0));
    std::vector<HWND> expect{button, label, a, grand, b};
    EXPECT_EQ(seen, expect);
    seen.clear();
    EXPECT_FALSE(EnumChildWindows(top, collect, reinterpret_cast<LPARAM>(static_cast<HWND>(grand))));
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_TRUE(EnumChildWindows(nullptr, collect, 0));
}

TEST_F(WindowFunctions, ShellExecuteChoosesWhatToOpen) {
    struct Case {
        const char *file, *parms;
        BOOL result;
        std::vector<HeadlessBackend::WorkspaceRecord> records;
        size_t urls;
    } cases[] = {
        {"HTTP://example.org", nullptr, TRUE, {}, 1},
        {"notepad", "/tmp/a.txt", TRUE, {{"open", "/tmp/a.txt", "TextEdit.app"}}, 0},
        {"explorer.exe", "/home/x", TRUE, {{"open", "/home/x", ""}}, 0},
        {"Calc.APP", nullptr, TRUE, {{"launch", "Calc.APP", ""}}, 0},
        {"", "explorer.exe", 0, {}, 0},
        {"/tmp/doc.pdf", "", TRUE, {{"open", "/tmp/doc.pdf", ""}}, 0},
    };
    for (const Case& c : cases) {
        Headless().clearRecords();
        EXPECT_EQ(ShellExecute(nullptr, "open", c.file, c.parms, nullptr, 0), c.result) << c.file;
        EXPECT_EQ(Headless().workspaceRecords(), c.records) << c.file;
        EXPECT_EQ(Headless().openedURLs().size(), c.urls) << c.file;
    }
}

TEST_F(WindowFunctions, SendMessageForwardsBetweenAWindowAndItsContent) {
    rec.entry(top).answers[0x500] = 17;
    EXPECT_EQ(SendMessage(nullptr, 0x500, 0, 0), 0);
    EXPECT_EQ(SendMessage(w.get(), 0x500, 0, 0), 17);
    EXPECT_EQ(SendMessage(top, 0x00F0, 0, 0), 0);  // a toolkit object gets even a button's message
    rec.reset();
    SendMessage(top, 0x00F0, 0, 0);
    Window plainWindow({10, 10}, "plain");
    EXPECT_EQ(SendMessage(plainWindow.contentView(), 0x500, 0, 0), 0);
    EXPECT_EQ(SendMessage(&plainWindow, 0x500, 0, 0), 0);
}

TEST_F(WindowFunctions, BroadcastReachesEveryToolkitContentView) {
    Window other({10, 10}, "other");
    auto* second = Make(&other, "second");
    other.show();
    w->show();
    rec.reset();
    second->m_isdirty = 0;
    SHIM_BroadcastMessage(WM_DISPLAYCHANGE, 0, 0);
    EXPECT_EQ(rec.joined(), "top:DISPLAYCHANGE second:DISPLAYCHANGE");
    EXPECT_EQ(second->m_isdirty & 1, 1);
}

TEST_F(WindowFunctions, RawMouseEventsGoToAViewClaimingANonClientPart) {
    auto* a = Make(top, "a");
    a->setFrame({0, 0, 100, 100});
    ShowWindow(a, SW_SHOW);
    ShowWindow(top, SW_SHOW);
    struct Presses : View {
        using View::View;
        void mouseDown(const Event&) override { ++n; }
        int n = 0;
    };
    auto* inner = Add(static_cast<View*>(a), new Presses(Rect{0, 0, 50, 50}));
    Event down = Event::mouse(EventType::MouseDown, {10, 10});
    EXPECT_FALSE(SHIM_HandleMouseEvent(w.get(), down));  // nobody claims it
    rec.entry(a).hook = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_NCHITTEST ? 2 : 0; };
    EXPECT_TRUE(SHIM_HandleMouseEvent(w.get(), down));
    EXPECT_EQ(inner->n, 0);  // it went to a, not to the view under it
    SetCapture(a);
    EXPECT_FALSE(SHIM_HandleMouseEvent(w.get(), down));
    ReleaseCapture();
    EXPECT_FALSE(SHIM_HandleMouseEvent(w.get(), Event::wheel({1, 1}, 1)));
}

TEST_F(WindowFunctions, ModalSessionsPaintingEntryPointsAndTheRest) {
    void* session = SHIM_ModalWindowStart(top);
    ASSERT_NE(session, nullptr);
    int ret = 0;
    EXPECT_TRUE(SHIM_ModalWindowRun(session, &ret));
    stopModalWithCode(3);
    EXPECT_FALSE(SHIM_ModalWindowRun(session, &ret));
    EXPECT_EQ(ret, 3);
    SHIM_ModalWindowEnd(session);
    EXPECT_EQ(modalWindow(), nullptr);
    void* again = SHIM_ModalWindowStart(w.get());
    SHIM_ModalWindowEnd(again);  // still running: stopped, then ended
    EXPECT_EQ(modalWindow(), nullptr);
    EXPECT_EQ(SHIM_ModalWindowStart(nullptr), nullptr);
    EXPECT_FALSE(SHIM_ModalWindowRun(nullptr, &ret));

    GESTUREINFO g{}, out{};
    g.cbSize = sizeof g;
    g.dwID = 4;
    g.ullArguments = 99;
    EXPECT_TRUE(SHIM_GetGestureInfo(reinterpret_cast<LPARAM>(&g), &out));
    EXPECT_EQ(out.ullArguments, 99u);
    EXPECT_FALSE(SHIM_GetGestureInfo(0, &out));
    // A caller's 40-byte record: refused, not read past its end.
    auto shortRecord = std::make_unique<uint32_t[]>(10);
    shortRecord[0] = 40;
    out = {};
    EXPECT_FALSE(SHIM_GetGestureInfo(reinterpret_cast<LPARAM>(shortRecord.get()), &out));
    EXPECT_EQ(out.cbSize, 0u);

    int before = w->displayCount();
    InvalidateRect(top, nullptr, FALSE);
    UpdateWindow(top);
    EXPECT_EQ(w->displayCount(), before + 1);
    SHIM_FlushWindow(top);
    EXPECT_TRUE(EndPaint(top, nullptr));
    w->setFrameOrigin({0, 0});
    CenterWindow(top);
    EXPECT_EQ(w->frame().x, 350);
    SHIM_HideApp();
    EXPECT_TRUE(Application::isHidden());
    Application::unhide();
    SHIM_CloseWindow(top);
    EXPECT_TRUE(w->isClosed());
}

TEST_F(WindowFunctions, FieldEditorsStandForTheirFields) {
    auto* field = Add(static_cast<View*>(top), new TextField(Rect{0, 0, 50, 20}));
    auto* holder = Add(static_cast<View*>(field), new View(Rect{}));
    auto* clip = Add(holder, new View(Rect{}));
    auto* editor = Add(clip, new TextView(Rect{}));
    EXPECT_TRUE(IsEquivalentTextView(field, editor));
    EXPECT_TRUE(IsEquivalentTextView(editor, field));
    EXPECT_TRUE(IsEquivalentTextView(field, field));
    EXPECT_FALSE(IsEquivalentTextView(field, nullptr));
    EXPECT_FALSE(IsEquivalentTextView(top, editor));
    // The focus in a field's editor reads as the field when it sits two up.
    auto* direct = Add(static_cast<View*>(field), new View(Rect{}));
    auto* shallow = Add(direct, new TextView(Rect{}));
    w->show();
    SetForegroundWindow(shallow);
    EXPECT_TRUE(w->isKeyWindow());
    EXPECT_EQ(GetFocus(), static_cast<HWND>(field));
    SetFocus(editor);
    EXPECT_EQ(GetFocus(), static_cast<HWND>(editor));
    SHIM_RunRunLoop(1);
}
