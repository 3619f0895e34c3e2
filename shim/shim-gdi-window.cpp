#include "shim/shim-gdi-window.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

using namespace platform;
using platform::appkit::View;
using platform::appkit::Window;

namespace {

// One locked focus: the graphics context over the backing store of the
// focused view's window. Newest last.
struct Focus {
    Window* window;
    CGContextRef ctx;
    appkit::Rect area;  // what may have been drawn, in window coordinates
};

std::mutex& FocusMutex() {
    static std::mutex m;
    return m;
}

std::vector<Focus>& FocusStack() {
    static auto* stack = new std::vector<Focus>;
    return *stack;
}

CGContextRef LockFocus(View* view) {
    if (!view->canDraw()) return nullptr;
    Window* w = view->window();
    const appkit::Point origin = view->convertToWindow({0, 0});
    const appkit::Rect visible = view->visibleRect();
    CGContextRef ctx = SHIM_CreateBackingContext(w->backingStore(), w->size().width, w->size().height, origin,
                                                 view->convertRectToWindow(visible));
    if (!ctx) return nullptr;
    std::lock_guard<std::mutex> lock(FocusMutex());
    FocusStack().push_back(Focus{w, ctx, view->convertRectToWindow(visible)});
    return ctx;
}

// Ends the focus that ctx belongs to and shows what was drawn.
void UnlockFocus(CGContextRef ctx) {
    Focus focus{};
    {
        std::lock_guard<std::mutex> lock(FocusMutex());
        auto& stack = FocusStack();
        auto it = std::find_if(stack.rbegin(), stack.rend(), [&](const Focus& f) { return f.ctx == ctx; });
        if (it == stack.rend()) return;
        focus = *it;
        stack.erase(std::next(it).base());
    }
    CGContextRelease(focus.ctx);
    focus.window->flushRect(focus.area);
}

// The context of the paint in progress of an object that paints through the
// toolkit, or null.
HDC PaintContextOf(appkit::Responder* r) {
    auto* source = dynamic_cast<SHIM_PaintInfoSource*>(r);
    if (!source) return nullptr;
    PAINTSTRUCT ps{};
    source->getShimPaintInfo(&ps);
    return SHIM_IsValidContext(ps.hdc) ? ps.hdc : nullptr;
}

HDC SavedPaintContext(HDC hdc) {
    if (hdc->ctx) CGContextSaveGState(hdc->ctx);
    return hdc;
}

// The view a handle draws into: the view itself, or a window's content view.
View* ViewOf(HWND h) {
    if (auto* w = dynamic_cast<Window*>(h)) return w->contentView();
    return dynamic_cast<View*>(h);
}

}  // namespace

CGContextRef SHIM_CreateBackingContext(uint32_t* pixels, int width, int height, appkit::Point origin,
                                       const appkit::Rect& clip) {
    // The backing store's words are 0x00RRGGBB in the machine's order.
    CGContextRef ctx =
        CGBitmapContextCreate(pixels, (size_t)width, (size_t)height, 8, (size_t)width * 4, SHIM_GetObjectColorSpace(),
                              (CGBitmapInfo)kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little);
    if (!ctx) return nullptr;
    CGContextTranslateCTM(ctx, 0, height);
    CGContextScaleCTM(ctx, 1, -1);
    CGContextTranslateCTM(ctx, origin.x, origin.y);
    CGContextClipToRect(ctx, CGRectMake(clip.x - origin.x, clip.y - origin.y, clip.width, clip.height));
    return ctx;
}

HDC GetDC(HWND h) {
    if (!appkit::Responder::isLive(h)) return nullptr;
    if (dynamic_cast<Window*>(h))
        if (HDC paint = PaintContextOf(h)) return SavedPaintContext(paint);
    View* view = ViewOf(h);
    if (!view) return nullptr;
    if (HDC paint = PaintContextOf(view)) return SavedPaintContext(paint);
    CGContextRef ctx = LockFocus(view);
    if (!ctx) return nullptr;
    HDC hdc = SHIM_CreateGfxContextForCG(ctx);
    if (!hdc) {
        UnlockFocus(ctx);
        return nullptr;
    }
    CGContextSaveGState(ctx);
    return hdc;
}

// Our views' bounds always start at (0, 0), so the context GetDC gives is
// already in the coordinates of the view's frame.
HDC GetWindowDC(HWND h) { return GetDC(h); }

void ReleaseDC(HWND h, HDC hdc) {
    if (!SHIM_IsValidContext(hdc)) return;
    CGContextRef ctx = hdc->ctx;
    if (ctx) CGContextRestoreGState(ctx);
    if (!appkit::Responder::isLive(h)) h = nullptr;
    if (h && (hdc == PaintContextOf(h) || hdc == PaintContextOf(ViewOf(h)))) return;
    SHIM_DeleteGfxContext(hdc);
    // The focus goes with the context it was locked for, whichever handle
    // the caller names.
    if (ctx) UnlockFocus(ctx);
}
