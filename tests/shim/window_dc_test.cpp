// Drawing contexts of windows and views: where their drawing lands in the
// window's pixels, how it is clipped, what ReleaseDC gives back, and the
// paint context of an object that paints through the toolkit.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-gdi-window.h"

using namespace platform::appkit;

namespace {

constexpr uint32_t kBackground = 0x303030;  // what the content view paints
constexpr int kRed = 0xFF0000;

// A window of w x h whose content view has painted its background.
struct Painted {
    Painted(int w, int h) : window({w, h}, "dc") { window.display(); }
    View* add(Rect frame, View* parent = nullptr) {
        auto* v = new View(frame);
        (parent ? parent : window.contentView())->addSubview(v);
        return v;
    }
    uint32_t at(int x, int y) const { return window.pixelAt(x, y); }
    Window window;
};

void fill(HDC hdc, RECT r, int colour) {
    HGDIOBJ brush = CreateSolidBrush(colour);
    SHIM_FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

// Window pixels inside box hold colour, those just outside it do not.
void expectBox(const Painted& p, Rect box, uint32_t colour) {
    for (int y = box.y; y < box.bottom(); ++y)
        for (int x = box.x; x < box.right(); ++x) ASSERT_EQ(p.at(x, y), colour) << x << "," << y;
    for (int x = box.x; x < box.right(); ++x) {
        EXPECT_NE(p.at(x, box.y - 1), colour) << x;
        EXPECT_NE(p.at(x, box.bottom()), colour) << x;
    }
    for (int y = box.y; y < box.bottom(); ++y) {
        EXPECT_NE(p.at(box.x - 1, y), colour) << y;
        EXPECT_NE(p.at(box.right(), y), colour) << y;
    }
}

}  // namespace

TEST(WindowDC, AViewsContextDrawsIntoItsWindowInTheViewsCoordinates) {
    Painted p(100, 80);
    View* outer = p.add({20, 10, 60, 60});
    View* inner = p.add({5, 7, 30, 30}, outer);
    HDC hdc = GetDC(inner);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(hdc->ownedmem, nullptr);
    fill(hdc, {0, 0, 4, 3}, kRed);  // y grows downward from the view's top-left
    fill(hdc, {10, 20, 12, 21}, 0x00FF00);
    ReleaseDC(inner, hdc);
    expectBox(p, {25, 17, 4, 3}, kRed);
    expectBox(p, {35, 37, 2, 1}, 0x00FF00);
    EXPECT_EQ(p.at(24, 17), kBackground);
    EXPECT_EQ(p.at(0, 0), kBackground);
    // The byte the backing store does not use stays clear.
    EXPECT_EQ(p.at(25, 17) >> 24, 0u);
}

TEST(WindowDC, DrawingIsClippedToWhatShowsOfTheViewAndToTheSetClip) {
    Painted p(100, 80);
    View* parent = p.add({10, 10, 30, 30});
    View* child = p.add({20, 20, 40, 40}, parent);  // only its first 10 x 10 show
    HDC hdc = GetDC(child);
    ASSERT_NE(hdc, nullptr);
    fill(hdc, {-5, -5, 50, 50}, kRed);
    expectBox(p, {30, 30, 10, 10}, kRed);

    // The toolkit's clip narrows it further, and pop undoes that.
    SHIM_PushClipRegion(hdc);
    RECT clip{2, 3, 5, 4};
    SHIM_SetClipRegion(hdc, &clip);
    fill(hdc, {0, 0, 40, 40}, 0x0000FF);
    SHIM_PopClipRegion(hdc);
    expectBox(p, {32, 33, 3, 1}, 0x0000FF);
    fill(hdc, {9, 9, 40, 40}, 0x00FF00);
    EXPECT_EQ(p.at(39, 39), 0x00FF00u);
    EXPECT_EQ(p.at(40, 40), kBackground);
    ReleaseDC(child, hdc);

    // A view wholly outside its superview draws nothing.
    View* away = p.add({50, 50, 10, 10}, parent);
    std::vector<uint32_t> before = p.window.pixels();
    hdc = GetDC(away);
    ASSERT_NE(hdc, nullptr);
    fill(hdc, {0, 0, 10, 10}, kRed);
    ReleaseDC(away, hdc);
    EXPECT_EQ(p.window.pixels(), before);
}

TEST(WindowDC, AWindowsContextIsItsContentViewsAndGetWindowDCMatchesGetDC) {
    Painted p(40, 30);
    HDC hdc = GetDC(&p.window);
    ASSERT_NE(hdc, nullptr);
    fill(hdc, {0, 0, 2, 2}, kRed);
    ReleaseDC(&p.window, hdc);
    EXPECT_EQ(p.at(0, 0), uint32_t(kRed));
    EXPECT_EQ(p.at(1, 1), uint32_t(kRed));
    EXPECT_EQ(p.at(2, 2), kBackground);

    View* v = p.add({10, 10, 10, 10});
    hdc = GetWindowDC(v);
    ASSERT_NE(hdc, nullptr);
    fill(hdc, {0, 0, 1, 1}, 0x00FF00);
    ReleaseDC(v, hdc);
    EXPECT_EQ(p.at(10, 10), 0x00FF00u);
}

TEST(WindowDC, NoContextForWhatCannotDraw) {
    EXPECT_EQ(GetDC(nullptr), nullptr);
    EXPECT_EQ(GetWindowDC(nullptr), nullptr);
    View loose({0, 0, 10, 10});
    EXPECT_EQ(GetDC(&loose), nullptr);

    Painted p(50, 50);
    View* parent = p.add({0, 0, 30, 30});
    View* child = p.add({0, 0, 10, 10}, parent);
    parent->setHidden(true);
    EXPECT_EQ(GetDC(child), nullptr);
    EXPECT_EQ(GetDC(parent), nullptr);
    parent->setHidden(false);
    HDC hdc = GetDC(child);
    EXPECT_NE(hdc, nullptr);
    ReleaseDC(child, hdc);

    p.window.close();
    EXPECT_EQ(GetDC(child), nullptr);
    EXPECT_EQ(GetDC(&p.window), nullptr);
}

TEST(WindowDC, ReleaseGivesTheRecordBackOnceAndBalancesTheState) {
    Painted p(30, 30);
    View* v = p.add({0, 0, 20, 20});
    HDC hdc = GetDC(v);
    ASSERT_NE(hdc, nullptr);
    platform::CGContextRef ctx = SHIM_GetCtxGC(hdc);
    EXPECT_EQ(platform::CGContextGetGStateDepth(ctx), 1);
    SetTextColor(hdc, 0x123456);
    SHIM_PushClipRegion(hdc);
    EXPECT_EQ(platform::CGContextGetGStateDepth(ctx), 2);
    SHIM_PopClipRegion(hdc);
    ReleaseDC(v, hdc);
    EXPECT_EQ(GetTextColor(hdc), -1);  // pooled
    EXPECT_EQ(SHIM_GetCtxGC(hdc), nullptr);
    ReleaseDC(v, hdc);  // a second release is ignored
    ReleaseDC(v, nullptr);

    // Released under another handle, the focus still goes with its context.
    HDC a = GetDC(v);
    ASSERT_NE(a, nullptr);
    ReleaseDC(nullptr, a);
    HDC b = GetDC(v);
    ASSERT_NE(b, nullptr);
    fill(b, {0, 0, 1, 1}, kRed);
    ReleaseDC(v, b);
    EXPECT_EQ(p.at(0, 0), uint32_t(kRed));
}

TEST(WindowDC, ContextsOfSeveralViewsMayBeOutAtOnce) {
    Painted p(60, 60);
    View* a = p.add({0, 0, 20, 20});
    View* b = p.add({30, 30, 20, 20});
    HDC da = GetDC(a);
    HDC db = GetDC(b);
    HDC da2 = GetDC(a);
    ASSERT_TRUE(da && db && da2);
    EXPECT_NE(da, db);
    EXPECT_NE(da, da2);
    ReleaseDC(a, da);  // the first one goes back first
    fill(db, {1, 1, 2, 2}, kRed);
    fill(da2, {1, 1, 2, 2}, 0x00FF00);
    ReleaseDC(b, db);
    ReleaseDC(a, da2);
    EXPECT_EQ(p.at(31, 31), uint32_t(kRed));
    EXPECT_EQ(p.at(1, 1), 0x00FF00u);
}

namespace {

// A view or window that paints through the toolkit into a memory context.
template <class Base>
struct Painter : Base, SHIM_PaintInfoSource {
    using Base::Base;
    void getShimPaintInfo(PAINTSTRUCT* ps) override {
        ++asked;
        ps->hdc = painting;
    }
    HDC painting = nullptr;
    int asked = 0;
};

}  // namespace

TEST(WindowDC, WhileAViewPaintsItsContextIsThePaintContext) {
    Painted p(40, 40);
    auto* v = new Painter<View>(Rect{5, 5, 20, 20});
    p.window.contentView()->addSubview(v);
    v->painting = SHIM_CreateMemContext(nullptr, 20, 20);
    platform::CGContextRef paintCtx = SHIM_GetCtxGC(v->painting);

    HDC hdc = GetDC(v);
    EXPECT_EQ(hdc, v->painting);
    EXPECT_EQ(platform::CGContextGetGStateDepth(paintCtx), 1);
    fill(hdc, {0, 0, 20, 20}, kRed);
    ReleaseDC(v, hdc);
    EXPECT_EQ(platform::CGContextGetGStateDepth(paintCtx), 0);
    EXPECT_EQ(GetTextColor(v->painting), 0) << "the painter still owns it";
    EXPECT_EQ(p.at(5, 5), kBackground) << "drawing went to the paint context";

    // A dead paint context is not handed out: the view's own focus is. (The
    // new context takes the dead record from the pool, so the stale handle
    // goes before the release looks for the paint context.)
    SHIM_DeleteGfxContext(v->painting);
    hdc = GetDC(v);
    ASSERT_NE(hdc, nullptr);
    EXPECT_NE(hdc->ctx, paintCtx);
    v->painting = nullptr;
    fill(hdc, {0, 0, 1, 1}, kRed);
    ReleaseDC(v, hdc);
    EXPECT_EQ(p.at(5, 5), uint32_t(kRed));

    // Outside a paint likewise.
    hdc = GetDC(v);
    ASSERT_NE(hdc, nullptr);
    ReleaseDC(v, hdc);
    EXPECT_GT(v->asked, 0);
}

TEST(WindowDC, AWindowBeingPaintedHandsOutItsPaintContext) {
    Painter<Window> w(Size{30, 30}, "painting");
    w.painting = SHIM_CreateMemContext(nullptr, 30, 30);
    HDC hdc = GetDC(&w);
    EXPECT_EQ(hdc, w.painting);
    ReleaseDC(&w, hdc);
    EXPECT_EQ(GetTextColor(w.painting), 0);
    SHIM_DeleteGfxContext(w.painting);
    w.painting = nullptr;
    hdc = GetDC(&w);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(hdc->ownedmem, nullptr);
    ReleaseDC(&w, hdc);
}

namespace {

// Records what each window hands on to the window system.
class RecordingBackend : public HeadlessBackend {
public:
    struct Peer : WindowPeer {
        explicit Peer(std::vector<Rect>* log) : log(log) {}
        void show() override {}
        void hide() override {}
        void present(const Rect& area) override { log->push_back(area); }
        std::vector<Rect>* log;
    };
    std::unique_ptr<WindowPeer> createPeer(Window&) override { return std::make_unique<Peer>(&presented); }
    std::vector<Rect> presented;
};

}  // namespace

TEST(WindowDC, ReleaseShowsWhatWasDrawnOnAShownWindow) {
    auto owned = std::make_unique<RecordingBackend>();
    RecordingBackend* backend = owned.get();
    Application::setBackend(std::move(owned));
    {
        Painted p(50, 50);
        View* parent = p.add({10, 10, 20, 20});
        View* v = p.add({5, 5, 30, 30}, parent);
        HDC hdc = GetDC(v);
        ASSERT_NE(hdc, nullptr);
        ReleaseDC(v, hdc);
        EXPECT_TRUE(backend->presented.empty()) << "not shown yet";

        p.window.show();
        backend->presented.clear();
        hdc = GetDC(v);
        ASSERT_NE(hdc, nullptr);
        ReleaseDC(v, hdc);
        ASSERT_EQ(backend->presented.size(), 1u);
        EXPECT_EQ(backend->presented[0], (Rect{15, 15, 15, 15}));
    }
    Application::setBackend(std::make_unique<HeadlessBackend>());
}
