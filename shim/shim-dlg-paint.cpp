// Painting of the window object: the platform's drawing pass, painting one
// view (non-client pass, then WM_PAINT), the paint record BeginPaint reads,
// and the one-pass painting of a whole window's view tree into one context.
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/appkit/Controls.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform;
using namespace platform::appkit;

namespace {

// Views that draw themselves after the toolkit's painting: (force, view).
using Collected = std::vector<std::pair<bool, View*>>;

FRect UnionOf(const std::vector<FRect>& rects) {
    FRect u;
    for (const FRect& r : rects) u = u.united(r);
    return u;
}

struct BackingPaint {
    BackingPaint(const Canvas& canvas, Point origin, const Rect& clip)
        : cg(SHIM_CreateBackingContext(canvas.pixels(), canvas.width(), canvas.height(), origin, clip)),
          hdc(cg ? SHIM_CreateGfxContextForCG(cg) : nullptr) {}
    ~BackingPaint() {
        SHIM_DeleteGfxContext(hdc);
        if (cg) CGContextRelease(cg);
    }
    CGContextRef cg;
    HDC hdc;
};

// Fills what shows of a plain view's frame (frame in v's coordinates) behind
// it, within each drawn rectangle grown by one pixel.
void FillBehind(HDC c, const FRect& frameInTop, const std::vector<FRect>& rects, int ox, int oy, LRESULT brush) {
    for (const FRect& r : rects) {
        FRect part = frameInTop.intersection(r.insetBy(-1, -1));
        if (part.isEmpty()) continue;
        RECT pr{static_cast<int>(part.x) + ox, static_cast<int>(part.y) + oy, static_cast<int>(part.right()) + ox,
                static_cast<int>(part.bottom()) + oy};
        if (static_cast<uintptr_t>(brush) >= 2)
            SHIM_FillRect(c, &pr, reinterpret_cast<HGDIOBJ>(brush));
        else
            SHIM_FillDialogBackground(c, &pr, 3);
    }
}

void Render(Shim_vHalvoran_hwnd* v, const std::vector<FRect>& rects, int ox, int oy, bool force, bool isTop, HDC c,
            Collected& out) {
    force = force || (v->m_isdirty & 1);
    if (force && !rects.empty()) {
        FRect b = v->boundsF();
        if (!isTop) b = b.offset(-ox, -oy);
        FRect p = UnionOf(rects).intersection(b);
        if (!isTop) p = p.offset(ox, oy);
        if (!p.isEmpty()) v->paintOneView(p, c);
    }
    LRESULT brush = 0;
    bool asked = false;
    std::vector<View*> subs = v->subviews();
    for (View* s : subs) {
        if (!Responder::isLive(s) || s->superview() != v || s->isHidden()) continue;
        if (auto* t = dynamic_cast<Shim_vHalvoran_hwnd*>(s)) {
            if (force || t->m_isdirty || t->needsDisplay()) {
                FRect f = t->frameF();
                CGContextSaveGState(c->ctx);
                CGContextClipToRect(c->ctx, CGRectMake(f.x, f.y, f.width, f.height));
                CGContextTranslateCTM(c->ctx, f.x, f.y);
                Render(t, rects, ox - static_cast<int>(f.x), oy - static_cast<int>(f.y), force, false, c, out);
                CGContextRestoreGState(c->ctx);
                t->clearNeedsDisplay();
            }
            asked = false;
            continue;
        }
        if (!force && !s->needsDisplay()) continue;
        // A scroll view is drawn whole (its scrollers and header too); its
        // content view stands for it in the background fill.
        View* inner = s;
        FRect frame = s->frameF();
        if (auto* scroll = dynamic_cast<ScrollView*>(s)) {
            inner = scroll->contentView();
            FRect cf = inner->frameF();
            frame = {frame.x + cf.x, frame.y + cf.y, cf.width, cf.height};
        }
        if (!force && !inner->isOpaque()) {
            if (!asked) {
                brush = SendMessage(v->handle(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(c),
                                    reinterpret_cast<LPARAM>(v->handle()));
                asked = true;
            }
            FillBehind(c, isTop ? frame : frame.offset(-ox, -oy), rects, ox, oy, brush);
        }
        out.emplace_back(force, s);
    }
    v->m_isdirty = 0;
}

}  // namespace

void Shim_vHalvoran_hwnd::paintOneView(const FRect& r, HDC c) {
    if (m_hashaddestroy.load()) return;
    HWND h = handle();
    m_paintctx_hdc = c;
    if (m_glctx) {
        m_glctx->bindToView(this);
        m_glctx->makeCurrent();
        m_glctx->update();
    }
    m_paintctx_rect = r;
    m_paintctx_used = false;

    RECT wr;
    GetWindowRect(h, &wr);
    if (wr.top > wr.bottom) std::swap(wr.top, wr.bottom);
    NCCALCSIZE_PARAMS nc{};
    nc.rgrc[0] = wr;
    if (m_wndproc) {
        m_wndproc(h, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
        m_wndproc(h, WM_NCPAINT, 1, 0);
    }
    const RECT& client = nc.rgrc[0];
    m_paintctx_rect.x += client.left - wr.left;
    m_paintctx_rect.y += client.top - wr.top;

    if (m_paintctx_rect.width >= 1 && m_paintctx_rect.height >= 1 && m_wndproc && !m_hashaddestroy.load()) {
        bool clipped = std::memcmp(&client, &wr, sizeof wr) != 0;
        if (clipped) {
            SHIM_PushClipRegion(c);
            RECT cr;
            GetClientRect(h, &cr);
            SHIM_SetClipRegion(c, &cr);
        }
        m_wndproc(h, WM_PAINT, reinterpret_cast<WPARAM>(c), 0);
        if (clipped) SHIM_PopClipRegion(c);
    }
    if (m_glctx && m_glctx->isCurrent()) m_glctx->clearCurrent();
    m_paintctx_hdc = nullptr;
}

void Shim_vHalvoran_hwnd::getShimPaintInfo(PAINTSTRUCT* ps) {
    if (!ps || !m_paintctx_hdc) return;
    m_paintctx_used = true;
    const FRect& r = m_paintctx_rect;
    ps->hdc = m_paintctx_hdc;
    ps->fErase = 0;
    ps->rcPaint = {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(std::ceil(r.x + r.width)),
                   static_cast<int>(std::ceil(r.y + r.height))};
}

void Shim_vHalvoran_hwnd::drawRect(Canvas& canvas, const Rect& dirty) {
    if (m_hashaddestroy.load()) return;
    Point origin = convertToWindow({0, 0});
    BackingPaint paint(canvas, origin, canvas.clip());
    if (paint.hdc) paintOneView(FRect(dirty).intersection(boundsF()), paint.hdc);
    m_isdirty = 0;
}

void Shim_vHalvoran_hwnd::displayTree(Canvas& canvas, const Rect& dirtyInWindow) {
    if (m_isopaque && shimwnd::IsContentView(this) && !isHidden())
        onePassDisplay(canvas, dirtyInWindow);
    else
        View::displayTree(canvas, dirtyInWindow);
}

void Shim_vHalvoran_hwnd::onePassDisplay(Canvas& canvas, const Rect& dirtyInWindow) {
    if (m_isdirty == 0 && !needsDisplay()) return;
    // The content view stands at the window's origin: its coordinates are
    // the window's.
    Rect area = dirtyInWindow.intersection(bounds());
    std::vector<FRect> rects;
    if (!area.isEmpty()) rects.push_back(FRect(area));
    Collected collected;
    {
        BackingPaint paint(canvas, {0, 0}, area);
        if (!paint.hdc) return;
        Render(this, rects, 0, 0, false, true, paint.hdc, collected);
    }
    for (auto it = collected.rbegin(); it != collected.rend(); ++it) {
        auto [force, v] = *it;
        if (!Responder::isLive(v) || !v->window()) continue;
        Rect whole = v->convertRectToWindow(v->bounds());
        if (force || rects.empty()) {
            displayTreeOf(v, canvas, whole.intersection(canvas.clip()));
        } else {
            for (const FRect& r : rects) {
                Rect part = toPixels(r.insetBy(-1, -1)).intersection(whole).intersection(canvas.clip());
                if (!part.isEmpty()) displayTreeOf(v, canvas, part);
            }
        }
        v->clearNeedsDisplay();
    }
    clearNeedsDisplay();
}
