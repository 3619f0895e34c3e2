#include "shim/shim-gdi.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

using namespace platform;

void (*SHIM_ReleaseBitmapImage)(NSImage* image) = nullptr;

namespace {

// Both free pools share one recursive lock, made on first use.
std::recursive_mutex& PoolMutex() {
    static std::recursive_mutex* m_ctxpool_mutex = new std::recursive_mutex;
    return *m_ctxpool_mutex;
}

HDC__* m_ctxpool = nullptr;
int m_ctxpool_size = 0;
HGDIOBJ__* m_objpool = nullptr;
int m_objpool_size = 0;

HGDIOBJ__ global_objs[2];

bool IsStock(const HGDIOBJ__* o) { return o == &global_objs[0] || o == &global_objs[1]; }

// At process exit the pooled records go back to the heap; the lists are
// emptied too, so nothing made during later teardown gets a freed record.
struct ShimGdiUnloader {
    ~ShimGdiUnloader() {
        std::lock_guard<std::recursive_mutex> lock(PoolMutex());
        while (m_ctxpool) {
            HDC__* next = m_ctxpool->poolnext;
            free(m_ctxpool);
            m_ctxpool = next;
        }
        m_ctxpool_size = 0;
        while (m_objpool) {
            HGDIOBJ__* next = m_objpool->poolnext;
            free(m_objpool);
            m_objpool = next;
        }
        m_objpool_size = 0;
    }
} _shimGdiUnloader;

// A released record is never given back to the allocator: a stale handle
// may still be asked whether it is live, and must then read a dead record.
// Beyond the pool's size records are parked on the same list.
void ReleaseCtxRecord(HDC__* c) {
    memset(c, 0, sizeof(*c));
    std::lock_guard<std::recursive_mutex> lock(PoolMutex());
    c->inpool = 1;
    c->poolnext = m_ctxpool;
    m_ctxpool = c;
    ++m_ctxpool_size;
}

void ReleaseObjRecord(HGDIOBJ__* o) {
    memset(o, 0, sizeof(*o));
    std::lock_guard<std::recursive_mutex> lock(PoolMutex());
    o->inpool = 1;
    o->poolnext = m_objpool;
    m_objpool = o;
    ++m_objpool_size;
}

bool Usable(HGDIOBJ o, int kind) { return SHIM_IsValidObject(o, kind) && o->wid >= 0; }

CGFloat Channel(int colour, int shift) { return ((colour >> shift) & 255) / 255.0; }

// The stroke width of a pen: its own, or 1 for a width-0 pen.
int PenWidth(HGDIOBJ pen) { return pen->wid > 0 ? pen->wid : 1; }

HGDIOBJ MakeColourObject(int type, int wid, int colour, float alpha) {
    HGDIOBJ__* o = GDP_OBJECT_NEW();
    if (!o) return nullptr;
    o->type = type;
    o->wid = wid;
    o->color = SHIM_CreateColor(SHIM_GetObjectColorSpace(), colour, alpha);
    return o;
}

}  // namespace

HDC__* SHIM_GDP_CTX_NEW() {
    {
        std::lock_guard<std::recursive_mutex> lock(PoolMutex());
        if (HDC__* c = m_ctxpool) {
            m_ctxpool = c->poolnext;
            --m_ctxpool_size;
            memset(c, 0, sizeof(*c));
            return c;
        }
    }
    return static_cast<HDC__*>(calloc(1, sizeof(HDC__)));
}

HGDIOBJ__* GDP_OBJECT_NEW() {
    {
        std::lock_guard<std::recursive_mutex> lock(PoolMutex());
        if (HGDIOBJ__* o = m_objpool) {
            m_objpool = o->poolnext;
            --m_objpool_size;
            memset(o, 0, sizeof(*o));
            return o;
        }
    }
    return static_cast<HGDIOBJ__*>(calloc(1, sizeof(HGDIOBJ__)));
}

bool SHIM_IsValidContext(HDC hdc) { return hdc && !hdc->inpool; }

bool SHIM_IsValidObject(HGDIOBJ obj, int kind) {
    if ((uintptr_t)obj < 5 || obj->inpool) return false;
    return kind == 0 || obj->type == kind;
}

CGColorSpaceRef SHIM_GetObjectColorSpace() {
    static CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    return space;
}

CGColorSpaceRef SHIM_GetTextColorSpace() {
    static CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    return space;
}

CGColorRef SHIM_CreateColor(CGColorSpaceRef space, int colour, float alpha) {
    CGFloat comps[4] = {Channel(colour, 16), Channel(colour, 8), Channel(colour, 0), alpha};
    return CGColorCreate(space, comps);
}

HDC SHIM_CreateGfxContextForCG(CGContextRef ctx) {
    HDC__* c = SHIM_GDP_CTX_NEW();
    if (!c) return nullptr;
    c->ctx = ctx;
    c->curtextcolor = SHIM_CreateColor(SHIM_GetTextColorSpace(), 0, 1);
    return c;
}

HDC SHIM_CreateMemContext(HDC reference, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    size_t rowBytes = (size_t)w * 4;
    // The raster library's memory bitmap refuses the same sizes: the block
    // with its alignment slack must fit an int.
    if ((uint64_t)rowBytes * (uint64_t)h > (uint64_t)(INT_MAX - 63)) return nullptr;
    void* block = calloc(1, rowBytes * h + 63);
    if (!block) return nullptr;
    void* pixels = (void*)(((uintptr_t)block + 63) & ~(uintptr_t)63);
    CGContextRef ctx = CGBitmapContextCreate(pixels, (size_t)w, (size_t)h, 8, rowBytes, SHIM_GetObjectColorSpace(),
                                             kCGImageAlphaNoneSkipFirst);
    if (!ctx) {
        free(block);
        return nullptr;
    }
    // User y = 0 is the top row, the first row in memory.
    CGContextTranslateCTM(ctx, 0, h);
    CGContextScaleCTM(ctx, 1, -1);
    HDC__* c = SHIM_GDP_CTX_NEW();
    if (!c) {
        CGContextRelease(ctx);
        free(block);
        return nullptr;
    }
    c->ctx = ctx;
    c->ownedmem = block;
    c->curtextcolor = SHIM_CreateColor(SHIM_GetTextColorSpace(), 0, 1);
    return c;
}

void* SHIM_GetCtxFrameBuffer(HDC hdc) {
    if (!SHIM_IsValidContext(hdc)) return nullptr;
    return (void*)(((uintptr_t)hdc->ownedmem + 63) & ~(uintptr_t)63);
}

void SHIM_DeleteGfxContext(HDC hdc) {
    if (!SHIM_IsValidContext(hdc)) return;
    if (hdc->ownedmem) {
        CGContextRelease(hdc->ctx);
        free(hdc->ownedmem);
    }
    CGColorRelease(hdc->curtextcolor);
    ReleaseCtxRecord(hdc);
}

CGContextRef SHIM_GetCtxGC(HDC hdc) { return SHIM_IsValidContext(hdc) ? hdc->ctx : nullptr; }

void SetTextColor(HDC hdc, int colour) {
    if (!SHIM_IsValidContext(hdc)) return;
    hdc->curtextcol = colour;
    CGColorRelease(hdc->curtextcolor);
    hdc->curtextcolor = SHIM_CreateColor(SHIM_GetTextColorSpace(), colour, 1);
}

int GetTextColor(HDC hdc) { return SHIM_IsValidContext(hdc) ? hdc->curtextcol : -1; }

void SetBkColor(HDC hdc, int colour) {
    if (SHIM_IsValidContext(hdc)) hdc->curbkcol = colour;
}

void SetBkMode(HDC hdc, int mode) {
    if (SHIM_IsValidContext(hdc)) hdc->curbkmode = mode;
}

HGDIOBJ CreatePen(int style, int width, int colour) { return CreatePenAlpha(style, width, colour, 1.0f); }

HGDIOBJ CreatePenAlpha(int style, int width, int colour, float alpha) {
    return MakeColourObject(SHIM_GDIOBJ_PEN, width < 0 ? 0 : width, colour, alpha);
}

HGDIOBJ CreateSolidBrush(int colour) { return CreateSolidBrushAlpha(colour, 1.0f); }

HGDIOBJ CreateSolidBrushAlpha(int colour, float alpha) { return MakeColourObject(SHIM_GDIOBJ_BRUSH, 0, colour, alpha); }

HGDIOBJ GetStockObject(int index) {
    if (index != 1 && index != 2) return nullptr;
    HGDIOBJ__* o = &global_objs[index - 1];
    o->type = index == 1 ? SHIM_GDIOBJ_PEN : SHIM_GDIOBJ_BRUSH;
    o->wid = -1;
    return o;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    if (!SHIM_IsValidContext(hdc)) return nullptr;
    auto slotFor = [hdc](int kind) -> HGDIOBJ* {
        return kind == SHIM_GDIOBJ_PEN ? &hdc->curpen : kind == SHIM_GDIOBJ_BRUSH ? &hdc->curbrush : &hdc->curfont;
    };
    uintptr_t v = (uintptr_t)obj;
    if (v >= 1 && v <= 3) {
        HGDIOBJ* slot = slotFor((int)v);
        HGDIOBJ old = *slot;
        *slot = nullptr;
        return SHIM_IsValidObject(old, (int)v) ? old : obj;
    }
    if (!SHIM_IsValidObject(obj) || obj->type < SHIM_GDIOBJ_PEN || obj->type > SHIM_GDIOBJ_FONT) return nullptr;
    HGDIOBJ* slot = slotFor(obj->type);
    HGDIOBJ old = *slot;
    *slot = obj;
    if (SHIM_IsValidObject(old, obj->type)) return old;
    return (HGDIOBJ)(uintptr_t)obj->type;
}

void DeleteObject(HGDIOBJ obj) {
    if (!SHIM_IsValidObject(obj) || IsStock(obj)) return;
    if (obj->additional_refs-- > 0) return;
    if (obj->type < SHIM_GDIOBJ_PEN || obj->type > SHIM_GDIOBJ_BITMAP) return;
    if ((obj->type == SHIM_GDIOBJ_PEN || obj->type == SHIM_GDIOBJ_BRUSH) && obj->wid < 0) return;
    CGColorRelease(obj->color);
    CTFontRelease(obj->fontobj);
    if (obj->wid && obj->bitmapptr && SHIM_ReleaseBitmapImage) SHIM_ReleaseBitmapImage(obj->bitmapptr);
    ReleaseObjRecord(obj);
}

HGDIOBJ SHIM_CloneGDIObject(HGDIOBJ obj) {
    if (!SHIM_IsValidObject(obj)) return nullptr;
    ++obj->additional_refs;
    return obj;
}

void SHIM_FillRect(HDC hdc, const RECT* r, HGDIOBJ brush) {
    if (!SHIM_IsValidContext(hdc) || !r || !Usable(brush, SHIM_GDIOBJ_BRUSH)) return;
    CGContextSetFillColorWithColor(hdc->ctx, brush->color);
    CGContextFillRect(hdc->ctx, CGRectMake(r->left, r->top, r->right - r->left, r->bottom - r->top));
}

void Rectangle(HDC hdc, int l, int t, int r, int b) {
    if (!SHIM_IsValidContext(hdc)) return;
    CGRect rect = CGRectMake(l, t, r - l, b - t);
    if (Usable(hdc->curbrush, SHIM_GDIOBJ_BRUSH)) {
        CGContextSetFillColorWithColor(hdc->ctx, hdc->curbrush->color);
        CGContextFillRect(hdc->ctx, rect);
    }
    if (Usable(hdc->curpen, SHIM_GDIOBJ_PEN)) {
        CGContextSetStrokeColorWithColor(hdc->ctx, hdc->curpen->color);
        CGContextSetLineWidth(hdc->ctx, hdc->curpen->wid >= 2 ? hdc->curpen->wid : 1);
        CGContextStrokeRect(hdc->ctx, rect);
    }
}

void Ellipse(HDC hdc, int l, int t, int r, int b) {
    if (!SHIM_IsValidContext(hdc)) return;
    CGRect rect = CGRectMake(l, t, r - l, b - t);
    if (Usable(hdc->curbrush, SHIM_GDIOBJ_BRUSH)) {
        CGContextSetFillColorWithColor(hdc->ctx, hdc->curbrush->color);
        CGContextFillEllipseInRect(hdc->ctx, rect);
    }
    // The context's own line width applies here.
    if (Usable(hdc->curpen, SHIM_GDIOBJ_PEN)) {
        CGContextSetStrokeColorWithColor(hdc->ctx, hdc->curpen->color);
        CGContextStrokeEllipseInRect(hdc->ctx, rect);
    }
}

void SHIM_Polygon(HDC hdc, const POINT* pts, int n) {
    if (!SHIM_IsValidContext(hdc) || !pts || n < 2) return;
    bool fill = Usable(hdc->curbrush, SHIM_GDIOBJ_BRUSH), stroke = Usable(hdc->curpen, SHIM_GDIOBJ_PEN);
    if (!fill && !stroke) return;
    CGContextRef ctx = hdc->ctx;
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, pts[0].x, pts[0].y);
    for (int i = 1; i < n; ++i) CGContextAddLineToPoint(ctx, pts[i].x, pts[i].y);
    if (fill) CGContextSetFillColorWithColor(ctx, hdc->curbrush->color);
    if (stroke) {
        CGContextSetStrokeColorWithColor(ctx, hdc->curpen->color);
        CGContextSetLineWidth(ctx, PenWidth(hdc->curpen));
    }
    CGContextDrawPath(ctx, fill && stroke ? kCGPathFillStroke : stroke ? kCGPathStroke : kCGPathFill);
}

void RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h) {
    if (!SHIM_IsValidContext(hdc)) return;
    int dx = w / 3, dy = h / 3;
    POINT pts[10] = {{l, t + dy}, {l + dx, t}, {r - dx, t}, {r, t + dy}, {r, b - dy},
                     {r - dx, b}, {l + dx, b}, {l, b - dy}, {l, t + dy}, {l + dx, t}};
    SHIM_Polygon(hdc, pts, 10);
}

void MoveToEx(HDC hdc, int x, int y, POINT* old) {
    if (!SHIM_IsValidContext(hdc)) return;
    if (old) {
        old->x = (int32_t)hdc->lastpos_x;
        old->y = (int32_t)hdc->lastpos_y;
    }
    hdc->lastpos_x = (float)x;
    hdc->lastpos_y = (float)y;
}

void SHIM_LineTo(HDC hdc, int x, int y) {
    if (!SHIM_IsValidContext(hdc) || !Usable(hdc->curpen, SHIM_GDIOBJ_PEN)) return;
    CGContextRef ctx = hdc->ctx;
    int w = PenWidth(hdc->curpen);
    // Half a line width over, so a 1-pixel line runs through pixel centres.
    CGFloat half = w / 2.0;
    CGContextSetStrokeColorWithColor(ctx, hdc->curpen->color);
    CGContextSetLineWidth(ctx, w);
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, hdc->lastpos_x + half, hdc->lastpos_y + half);
    CGContextAddLineToPoint(ctx, x + half, y + half);
    CGContextStrokePath(ctx);
    hdc->lastpos_x = (float)x;
    hdc->lastpos_y = (float)y;
}

void PolyPolyline(HDC hdc, const POINT* pts, const int* counts, int nlines) {
    if (!SHIM_IsValidContext(hdc) || !pts || !counts || nlines < 1 || !Usable(hdc->curpen, SHIM_GDIOBJ_PEN)) return;
    CGContextRef ctx = hdc->ctx;
    int w = PenWidth(hdc->curpen);
    CGFloat half = w / 2.0;
    CGContextBeginPath(ctx);
    for (int i = 0; i < nlines; ++i) {
        int n = counts[i];
        if (n <= 0) continue;
        if (n >= 2) {
            CGContextMoveToPoint(ctx, pts[0].x + half, pts[0].y + half);
            for (int j = 1; j < n; ++j) CGContextAddLineToPoint(ctx, pts[j].x + half, pts[j].y + half);
        }
        pts += n;
    }
    CGContextSetStrokeColorWithColor(ctx, hdc->curpen->color);
    CGContextSetLineWidth(ctx, w);
    CGContextStrokePath(ctx);
}

void PolyBezierTo(HDC hdc, const POINT* pts, int n) {
    if (!SHIM_IsValidContext(hdc) || !pts || n < 3 || !Usable(hdc->curpen, SHIM_GDIOBJ_PEN)) return;
    CGContextRef ctx = hdc->ctx;
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, hdc->lastpos_x, hdc->lastpos_y);
    int curves = n / 3;
    for (int i = 0; i < curves; ++i) {
        const POINT* p = pts + i * 3;
        CGContextAddCurveToPoint(ctx, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
    }
    CGContextSetStrokeColorWithColor(ctx, hdc->curpen->color);
    CGContextSetLineWidth(ctx, PenWidth(hdc->curpen));
    CGContextStrokePath(ctx);
    const POINT& end = pts[curves * 3 - 1];
    hdc->lastpos_x = (float)end.x;
    hdc->lastpos_y = (float)end.y;
}

void SHIM_SetPixel(HDC hdc, int x, int y, int colour) {
    if (!SHIM_IsValidContext(hdc)) return;
    CGContextRef ctx = hdc->ctx;
    CGContextSetRGBStrokeColor(ctx, Channel(colour, 16), Channel(colour, 8), Channel(colour, 0), 1.0);
    CGContextSetLineWidth(ctx, 1);
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, x - 0.5, y - 0.5);
    CGContextAddLineToPoint(ctx, x + 0.5, y + 0.5);
    CGContextStrokePath(ctx);
}
