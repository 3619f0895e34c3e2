// The toolkit's window object: creation and its first messages, destruction
// order, the window-word store, properties, title text, frame and visibility
// messages, dirty bits and painting (one view, and a whole window in one
// pass), with a recording window procedure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/appkit/Controls.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"
#include "window_recorder.h"

using namespace platform::appkit;

namespace {

constexpr uint32_t kDialogBackground = 0xECECEC;

Shim_vHalvoran_hwnd* Make(HWND parent, const char* name) {
    return Shim_vHalvoran_hwnd::initChild(nullptr, parent, WindowRecorder::Proc, reinterpret_cast<LPARAM>(name));
}

class WindowObject : public ::testing::Test {
protected:
    void SetUp() override { WindowRecorder::get().forgetAll(); }
    void TearDown() override { RunLoop::main().runOnce(); }  // lets destroyed views go
    WindowRecorder& rec = WindowRecorder::get();
};

// A dialog resource whose create function adds a label and then a text field.
void BuildTwoControls(HWND h, int) {
    View* v = dynamic_cast<View*>(h);
    auto* label = new TextField(Rect{0, 0, 50, 20});
    label->setEditable(false);
    auto* field = new TextField(Rect{0, 30, 50, 20});
    field->setTag(7);
    v->addSubview(label);
    v->addSubview(field);
    WindowRecorder::get().log.push_back("create-func");
}

LRESULT DialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return WindowRecorder::Proc(h, msg, wp, lp); }

// A plain platform view that draws nothing and counts its drawings.
struct Probe : View {
    using View::View;
    void drawRect(Canvas&, const Rect&) override { ++draws; }
    int draws = 0;
};

}  // namespace

TEST_F(WindowObject, WithoutAResourceItGetsCreateAndTheDefaultProcedureAnswersThroughDefWindowProc) {
    Window w({400, 300}, "t");
    auto* plain = Shim_vHalvoran_hwnd::initChild(nullptr, w.contentView(), nullptr, 0);
    EXPECT_EQ(GetWindowLongPtr(plain, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&ShimDialogDefaultWindowProc));
    EXPECT_EQ(SendMessage(plain, WM_KEYDOWN, 0, 0), 69);
    EXPECT_EQ(plain->frame(), (Rect{0, 0, 300, 200}));
    EXPECT_TRUE(plain->isHidden());
    EXPECT_TRUE(plain->isOpaque() && plain->isFlipped());

    auto* a = Make(w.contentView(), "a");
    EXPECT_EQ(rec.joined(), "a:CREATE");
    EXPECT_EQ(a->superview(), w.contentView());
    // A dialog procedure set during WM_CREATE brings WM_INITDIALOG after it.
    rec.reset();
    auto* late = Shim_vHalvoran_hwnd::initChild(
        nullptr, w.contentView(),
        [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_CREATE) SetWindowLongPtr(h, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
            return WindowRecorder::Proc(h, m, wp, lp);
        },
        reinterpret_cast<LPARAM>("late"));
    EXPECT_EQ(rec.joined(), "late:CREATE late:INITDIALOG");
    (void)late;
}

TEST_F(WindowObject, AResourceDialogBuildsItsControlsThenGetsInitDialogWithTheFirstFocusableOne) {
    Window w({400, 300}, "t");
    SHIM_DialogResourceIndex r{"dlg", "Dialog", 0x10 | 4, BuildTwoControls, 120, 90, nullptr};
    auto* d = Shim_vHalvoran_hwnd::initChild(&r, &w, DialogProc, reinterpret_cast<LPARAM>("d"));
    // The window procedure is the dialog default: it passes INITDIALOG on.
    EXPECT_EQ(rec.joined(), "create-func d:INITDIALOG");
    EXPECT_EQ(w.contentView(), d);
    EXPECT_EQ(d->frame(), (Rect{0, 0, 400, 300}));  // a content view fills its window
    View* field = d->subviews()[1];
    EXPECT_EQ(w.firstResponder(), field);  // answer 0: the focusable subview
    EXPECT_EQ(GetDlgItem(d, 7), static_cast<HWND>(field));

    // Flags choose opacity, flipping and drop support.
    SHIM_DialogResourceIndex r2{"dlg2", nullptr, 0x20, nullptr, 10, 10, nullptr};
    Window w2({100, 100}, "t2");
    auto* d2 = Shim_vHalvoran_hwnd::initChild(&r2, w2.contentView(), nullptr, 0);
    EXPECT_EQ(d2->frame(), (Rect{0, 0, 10, 10}));
    EXPECT_FALSE(d2->isOpaque());
    EXPECT_FALSE(d2->isFlipped());
    EXPECT_EQ(GetWindowLong(d2, GWL_EXSTYLE), WS_EX_ACCEPTFILES);
}

TEST_F(WindowObject, InitDialogAnsweredWithBeefFocusesTheDialogItself) {
    Window w({400, 300}, "t");
    SHIM_DialogResourceIndex r{"dlg", nullptr, 0x10, BuildTwoControls, 120, 90, nullptr};
    auto proc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_INITDIALOG ? SHIM_INITDIALOG_FOCUS_SELF : 0;
    };
    auto* d = Shim_vHalvoran_hwnd::initChild(&r, &w, proc, 0);
    EXPECT_EQ(w.firstResponder(), d);
}

TEST_F(WindowObject, DestroyingAParentReachesItsProcedureBeforeTheChildrenAndOnlyOnce) {
    Window w({400, 300}, "t");
    auto* p = Make(w.contentView(), "p");
    auto* c1 = Make(p, "c1");
    auto* g = Make(c1, "g");
    auto* c2 = Make(p, "c2");
    SetTimer(p, 5, 1000, nullptr);
    SetTimer(g, 6, 1000, nullptr);
    SetCapture(c2);
    rec.reset();
    EXPECT_EQ(SendMessage(p, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(rec.joined(), "p:DESTROY c1:DESTROY g:DESTROY c2:DESTROY");
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(KillTimer(p, 5));
    EXPECT_FALSE(KillTimer(g, 6));
    // Destroyed: nothing reaches the procedures any more.
    rec.reset();
    for (UINT m : {UINT(WM_DESTROY), UINT(WM_PAINT), UINT(WM_KEYDOWN), UINT(WM_CAPTURECHANGED)})
        EXPECT_EQ(SendMessage(c1, m, 0, 0), 0);
    EXPECT_EQ(rec.joined(), "");
    EXPECT_TRUE(p->shimHasBeenDestroyed());
    EXPECT_FALSE(p->shimCanPostMessage());
}

TEST_F(WindowObject, WhileBeingDestroyedOnlyItsOwnDestroyAndCaptureNoticesAreRefused) {
    Window w({400, 300}, "t");
    auto* a = Make(w.contentView(), "a");
    LRESULT inside = -1, destroyAgain = -1;
    rec.entry(a).hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_DESTROY) {
            destroyAgain = SendMessage(h, WM_DESTROY, 0, 0);
            inside = SendMessage(h, WM_KEYDOWN, 0, 0);
            return 42;
        }
        return 0;
    };
    EXPECT_EQ(SendMessage(a, WM_DESTROY, 0, 0), 42);
    EXPECT_EQ(destroyAgain, 0);
    EXPECT_EQ(inside, 69);
}

TEST_F(WindowObject, ExtraWordsByByteOffset) {
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    struct Case {
        int setAt, readAt;
        LONG expect;
    } cases[] = {
        {4, 4, 11}, {6, 4, 11}, {7, 4, 11}, {124, 127, 11}, {127, 124, 11}, {128, 128, 0}, {-4, -4, 0}, {0, 1, 11},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 128; i += 4) SetWindowLong(a, i, 0);
        SetWindowLong(a, c.setAt, 11);
        EXPECT_EQ(GetWindowLong(a, c.readAt), c.expect) << c.setAt << "->" << c.readAt;
    }
    // A refused store leaves every word as it was and answers 0.
    SetWindowLong(a, 0, 5);
    EXPECT_EQ(SetWindowLong(a, 200, 9), 0);
    EXPECT_EQ(GetWindowLong(a, 0), 5);
}

TEST_F(WindowObject, WindowWordIndices) {
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    EXPECT_EQ(SetWindowLongPtr(a, GWL_USERDATA, 0x123456789), 0);
    EXPECT_EQ(GetWindowLongPtr(a, GWL_USERDATA), 0x123456789);
    EXPECT_EQ(SetWindowLong(a, GWL_ID, 33), 0);
    EXPECT_EQ(GetWindowLong(a, GWL_ID), 33);
    EXPECT_EQ(a->tag(), 33);
    SetWindowLong(a, GWL_EXSTYLE, 0x10 | 0x8);
    EXPECT_EQ(GetWindowLong(a, GWL_EXSTYLE), 0x10);
    SetWindowLong(a, GWL_EXSTYLE, 0x8);
    EXPECT_EQ(GetWindowLong(a, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetWindowLongPtr(a, DWL_DLGPROC), 0);
    EXPECT_EQ(SetWindowLongPtr(a, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc)), 0);
    EXPECT_EQ(GetWindowLongPtr(a, DWL_DLGPROC), reinterpret_cast<LONG_PTR>(&DialogProc));
    // A procedure does not fit the 32-bit pair: refused both ways.
    EXPECT_EQ(GetWindowLong(a, GWL_WNDPROC), 0);
    EXPECT_EQ(SetWindowLong(a, GWL_WNDPROC, 1), 0);
    EXPECT_EQ(GetWindowLongPtr(a, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&WindowRecorder::Proc));
    EXPECT_EQ(GetWindowLong(a, GWL_STYLE), WS_CHILD);
}

TEST_F(WindowObject, PropertiesKeepIntegerAndStringKeysApart) {
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    const char* five = reinterpret_cast<const char*>(5);
    EXPECT_EQ(EnumPropsEx(a, nullptr, 0), -1);
    EXPECT_TRUE(SetProp(a, five, reinterpret_cast<void*>(1)));
    EXPECT_TRUE(SetProp(a, "5", reinterpret_cast<void*>(2)));
    EXPECT_TRUE(SetProp(a, "name", reinterpret_cast<void*>(3)));
    EXPECT_TRUE(SetProp(a, "name", reinterpret_cast<void*>(4)));  // replaces
    EXPECT_EQ(GetProp(a, five), reinterpret_cast<void*>(1));
    EXPECT_EQ(GetProp(a, "5"), reinterpret_cast<void*>(2));
    EXPECT_EQ(GetProp(a, "name"), reinterpret_cast<void*>(4));
    EXPECT_EQ(GetProp(a, "other"), nullptr);
    EXPECT_EQ(RemoveProp(a, "5"), reinterpret_cast<void*>(2));
    EXPECT_EQ(GetProp(a, "5"), nullptr);
    EXPECT_EQ(GetProp(a, five), reinterpret_cast<void*>(1));
    // Newest first; 0 stops the walk.
    static std::string seen;
    seen.clear();
    auto collect = [](HWND, const char* n, void* v, LPARAM stopAt) -> BOOL {
        seen += std::to_string(reinterpret_cast<intptr_t>(v));
        return reinterpret_cast<intptr_t>(v) != stopAt;
    };
    EXPECT_EQ(EnumPropsEx(a, collect, 0), 1);
    EXPECT_EQ(seen, "41");
    seen.clear();
    EXPECT_EQ(EnumPropsEx(a, collect, 4), 0);
    EXPECT_EQ(seen, "4");
    // Plain platform views keep no properties.
    View plain(Rect{0, 0, 5, 5});
    EXPECT_FALSE(SetProp(&plain, "x", nullptr));
    EXPECT_EQ(EnumPropsEx(&plain, collect, 0), -1);
}

TEST_F(WindowObject, ACallbackMayRemoveThePropertyItIsGiven) {
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    for (const char* n : {"one", "two", "three"}) SetProp(a, n, const_cast<char*>(n));
    static int calls;
    calls = 0;
    auto removeEach = [](HWND h, const char* n, void*, LPARAM) -> BOOL {
        ++calls;
        RemoveProp(h, n);
        return TRUE;
    };
    EXPECT_EQ(EnumPropsEx(a, removeEach, 0), 1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(EnumPropsEx(a, removeEach, 0), -1);
}

TEST_F(WindowObject, TitleIsCutToWholeCharacters) {
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    struct Case {
        size_t ascii;
        const char* tail;
        size_t expect;
    } cases[] = {{1023, "", 1023},
                 {1030, "", 1023},
                 {1022, "\xC3\xA9", 1022},
                 {1021, "\xE2\x82\xAC", 1021},
                 {1020, "\xE2\x82\xAC", 1023},
                 {0, "caf\xC3\xA9", 5}};
    for (const Case& c : cases) {
        std::string t(c.ascii, 'a');
        t += c.tail;
        SetDlgItemText(a, 0, t.c_str());
        char buf[2048];
        ASSERT_TRUE(GetDlgItemText(a, 0, buf, sizeof buf));
        EXPECT_EQ(std::strlen(buf), c.expect) << c.ascii;
        EXPECT_EQ(std::string(buf), t.substr(0, c.expect));
    }
}

TEST_F(WindowObject, FrameChangesSendSizeAndVisibilityChangesSendShowWindow) {
    Window w({400, 300}, "t");
    auto* p = Make(w.contentView(), "p");
    auto* a = Make(p, "a");
    rec.reset();
    a->setFrame({5, 5, 50, 40});
    ShowWindow(a, SW_SHOW);
    ShowWindow(a, SW_HIDE);
    ShowWindow(a, 5);  // Win32's show command means nothing here
    EXPECT_EQ(rec.joined(), "a:SIZE a:SHOWWINDOW a:SHOWWINDOW");
    EXPECT_TRUE(a->isHidden());
    EXPECT_NE(p->m_isdirty & 1, 0);  // the parent was invalidated
}

TEST_F(WindowObject, DirtyBitsFollowAddingRemovingAndInvalidating) {
    Window w({400, 300}, "t");
    auto* top = Make(w.contentView(), "top");
    auto* mid = Make(top, "mid");
    auto* leaf = Make(mid, "leaf");
    for (auto* v : {top, mid, leaf}) v->m_isdirty = 0;
    mid->addSubview(new View(Rect{0, 0, 5, 5}));
    EXPECT_EQ(mid->m_isdirty, 2);
    EXPECT_EQ(top->m_isdirty, 2);
    for (auto* v : {top, mid, leaf}) v->m_isdirty = 0;
    InvalidateRect(leaf, nullptr, FALSE);
    EXPECT_EQ(leaf->m_isdirty, 1);
    EXPECT_EQ(mid->m_isdirty, 2);
    EXPECT_EQ(top->m_isdirty, 2);
    for (auto* v : {top, mid, leaf}) v->m_isdirty = 0;
    View* extra = mid->subviews().back();
    extra->removeFromSuperview();
    delete extra;
    EXPECT_EQ(mid->m_isdirty, 3);
    EXPECT_EQ(top->m_isdirty, 3);
    EXPECT_EQ(leaf->m_isdirty, 0);
}

TEST_F(WindowObject, PaintingOneViewRunsTheNonClientPassThenPaintWithTheClippedRectangle) {
    Window w({200, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    a->setOpaque(false);
    ShowWindow(a, SW_SHOW);
    a->setFrame({10, 20, 60, 30});
    rec.entry(a).paintColour = 0xFF0000;
    w.display();
    rec.reset();
    InvalidateRect(a, nullptr, FALSE);
    w.display();
    EXPECT_EQ(rec.joined(), "a:NCCALCSIZE a:NCPAINT a:PAINT");
    ASSERT_FALSE(rec.entry(a).paints.empty());
    RECT pr = rec.entry(a).paints.back();
    EXPECT_EQ(pr.left, 0);
    EXPECT_EQ(pr.top, 0);
    EXPECT_EQ(pr.right, 60);
    EXPECT_EQ(pr.bottom, 30);
    EXPECT_EQ(w.pixelAt(10, 20), 0xFF0000u);
    EXPECT_EQ(w.pixelAt(69, 49), 0xFF0000u);
    EXPECT_NE(w.pixelAt(70, 50), 0xFF0000u);
    // A client area smaller than the window moves the paint and clips it.
    rec.entry(a).hook = [](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
        if (m != WM_NCCALCSIZE) return 0;
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0];
        r.left += 5;
        r.top += 5;
        r.right -= 5;
        r.bottom -= 5;
        return 1;
    };
    RECT client;
    GetClientRect(a, &client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.right, 50);
    EXPECT_EQ(client.bottom, 20);
    // Outside a paint BeginPaint hands out nothing.
    PAINTSTRUCT ps;
    EXPECT_EQ(BeginPaint(a, &ps), nullptr);
    EXPECT_EQ(ps.rcPaint.right, 0);
}

TEST_F(WindowObject, AViewHalfAPixelHighGetsNoPaint) {
    Window w({200, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    a->setOpaque(false);
    ShowWindow(a, SW_SHOW);
    a->setFrameF({0, 0, 40, 0.5});
    w.display();
    EXPECT_EQ(rec.without({"SIZE", "SHOWWINDOW", "CREATE"}), "a:NCCALCSIZE a:NCPAINT");
}

TEST_F(WindowObject, TheDialogDefaultFillsTheBackgroundWithTheAnsweredBrushOrTheStandardOne) {
    struct Case {
        LRESULT answer;  // 0, 1 or a brush
        uint32_t expect;
    };
    HGDIOBJ brush = CreateSolidBrush(0x00FF00);
    for (Case c :
         {Case{0, kDialogBackground}, Case{1, kDialogBackground}, Case{reinterpret_cast<LRESULT>(brush), 0x00FF00u}}) {
        rec.forgetAll();
        Window w({100, 100}, "t");
        SHIM_DialogResourceIndex r{"dlg", nullptr, 0x10 | 4, nullptr, 100, 100, nullptr};
        auto* d = Shim_vHalvoran_hwnd::initChild(&r, &w, DialogProc, reinterpret_cast<LPARAM>("d"));
        rec.entry(d).answers[WM_CTLCOLORDLG] = c.answer;
        ShowWindow(d, SW_SHOW);
        w.display();
        EXPECT_EQ(w.pixelAt(50, 50), c.expect);
        EXPECT_EQ(rec.without({"NCCALCSIZE", "NCPAINT", "SHOWWINDOW"}),
                  "d:INITDIALOG d:ERASEBKGND d:CTLCOLORDLG d:PAINT");
    }
    DeleteObject(brush);
}

TEST_F(WindowObject, OnePassPaintingPaintsOnlyWhatIsDirtyAndFillsBehindPlainViews) {
    Window w({200, 100}, "t");
    SHIM_DialogResourceIndex r{"dlg", nullptr, 0x10 | 4, nullptr, 200, 100, nullptr};
    auto* top = Shim_vHalvoran_hwnd::initChild(&r, &w, DialogProc, reinterpret_cast<LPARAM>("top"));
    HGDIOBJ blue = CreateSolidBrush(0x0000FF);
    rec.entry(top).answers[WM_CTLCOLORDLG] = reinterpret_cast<LRESULT>(blue);
    auto* left = Make(top, "left");
    auto* right = Make(top, "right");
    left->setFrame({0, 0, 50, 50});
    right->setFrame({100, 0, 50, 50});
    rec.entry(left).paintColour = 0xFF0000;
    rec.entry(right).paintColour = 0x00FF00;
    auto* plain = new Probe(Rect{60, 60, 20, 20});
    top->addSubview(plain);
    for (auto* v : {top, left, right}) ShowWindow(v, SW_SHOW);
    w.display();
    EXPECT_EQ(w.pixelAt(10, 10), 0xFF0000u);
    EXPECT_EQ(w.pixelAt(110, 10), 0x00FF00u);
    EXPECT_EQ(w.pixelAt(90, 90), 0x0000FFu);
    EXPECT_EQ(plain->draws, 1);

    // Only the invalidated child paints again; its sibling keeps its pixels.
    rec.reset();
    rec.entry(left).paintColour = 0xFFFF00;
    rec.entry(right).paintColour = 0xFF00FF;
    InvalidateRect(left, nullptr, FALSE);
    w.display();
    EXPECT_EQ(rec.without({"NCCALCSIZE", "NCPAINT"}), "left:PAINT");
    EXPECT_EQ(w.pixelAt(10, 10), 0xFFFF00u);
    EXPECT_EQ(w.pixelAt(110, 10), 0x00FF00u);

    // A plain view that asks for a redraw gets the background behind it first.
    rec.reset();
    HGDIOBJ red = CreateSolidBrush(0xFF0000);
    rec.entry(top).answers[WM_CTLCOLORDLG] = reinterpret_cast<LRESULT>(red);
    plain->setNeedsDisplay();
    w.display();
    EXPECT_EQ(rec.without({"NCCALCSIZE", "NCPAINT"}), "top:CTLCOLORDLG");
    EXPECT_EQ(plain->draws, 2);
    EXPECT_EQ(w.pixelAt(70, 70), 0xFF0000u);
    EXPECT_EQ(w.pixelAt(90, 90), 0x0000FFu);
    DeleteObject(blue);
    DeleteObject(red);
}

TEST_F(WindowObject, DialogColoursReachImageButtonsStaticTextsAndBoxes) {
    Window w({200, 100}, "t");
    auto* d = Make(w.contentView(), "d");
    static int asked;
    asked = 0;
    auto proc = [](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_CTLCOLORBTN || m == WM_CTLCOLORSTATIC) ++asked;
        if (m == WM_CTLCOLORSTATIC) SetTextColor(reinterpret_cast<HDC>(wp), 0xFF8000);
        return 0;
    };
    static const int image = 0;
    auto* plainButton = new Button(Rect{});
    auto* imageButton = new Button(Rect{});
    imageButton->setImage(&image);
    auto* secondImage = new Button(Rect{});
    secondImage->setImage(&image);
    auto* label = new TextField(Rect{});
    label->setEditable(false);
    auto* editable = new TextField(Rect{});
    auto* box = new Box(Rect{});
    for (View* v : std::initializer_list<View*>{plainButton, imageButton, secondImage, label, editable, box})
        d->addSubview(v);
    SHIM_DoDialogColorUpdates(d, proc, false);
    EXPECT_EQ(asked, 2);  // once per kind
    Color orange{1.0, 128 / 255.0, 0, 1};
    EXPECT_FALSE(imageButton->titleColor());  // no colour set, not an update
    EXPECT_EQ(label->textColor(), orange);
    EXPECT_EQ(box->titleColor(), orange);
    EXPECT_EQ(editable->textColor(), Color::controlText());
    EXPECT_FALSE(plainButton->titleColor());
    SHIM_DoDialogColorUpdates(d, proc, true);  // an update gives the standard colour
    EXPECT_EQ(imageButton->titleColor(), Color::controlText());
    EXPECT_EQ(secondImage->titleColor(), Color::controlText());
    asked = 0;
    SHIM_DoDialogColorUpdates(d, nullptr, true);
    EXPECT_EQ(asked, 0);
}

TEST_F(WindowObject, AMenuIsReleasedAndAGLContextBoundAroundEachPaint) {
    static std::string menuLog;
    static HMENU mainMenu;
    menuLog.clear();
    auto* menu = reinterpret_cast<HMENU>(0x1234);
    mainMenu = menu;
    SHIM_menuHooks = {
        [](HMENU m, HWND h) { menuLog += h ? "attach " : "detach "; },
        [](HMENU) { menuLog += "release "; },
        []() { return mainMenu; },
        [](HMENU m) {
            menuLog += "main ";
            mainMenu = m;
        },
    };
    struct GL : SHIM_GLContext {
        void bindToView(View*) override { log += "bind "; }
        void makeCurrent() override {
            log += "current ";
            current = true;
        }
        void update() override { log += "update "; }
        bool isCurrent() const override { return current; }
        void clearCurrent() override {
            log += "clear ";
            current = false;
        }
        std::string log;
        bool current = false;
    };
    Window w({100, 100}, "t");
    auto* a = Make(w.contentView(), "a");
    a->shimSetMenu(menu);
    EXPECT_EQ(a->shimGetMenu(), menu);
    auto* gl = new GL;
    a->setGLContext(gl);
    ShowWindow(a, SW_SHOW);
    w.display();
    EXPECT_EQ(gl->log, "bind current update clear ");
    SendMessage(a, WM_DESTROY, 0, 0);
    EXPECT_EQ(menuLog, "attach main detach release ");
    EXPECT_EQ(a->shimGetMenu(), nullptr);
    EXPECT_EQ(mainMenu, nullptr);
    SHIM_menuHooks = {};
}
