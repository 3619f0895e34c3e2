// ctest-labels: tsan
// Drawing contexts and GDI objects: records, pools, selection rules and the
// pixels the drawing calls leave in a memory context.
#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <set>
#include <thread>

#include "shim/shim-gdi.h"
#include "support/TestCanvas.h"

namespace {

// A memory context whose pixels start black.
struct MemDC : hvtest::TestCanvas {
    MemDC(int w, int h) : MemDC(SHIM_CreateMemContext(nullptr, w, h), w, h) {}
    MemDC(HDC hdc, int w, int h) : TestCanvas(static_cast<uint8_t*>(SHIM_GetCtxFrameBuffer(hdc)), w, h), hdc(hdc) {}
    ~MemDC() { SHIM_DeleteGfxContext(hdc); }
    HDC hdc;
};

// Selects objects and deselects them again before deleting them.
struct Selected {
    Selected(HDC hdc, HGDIOBJ obj) : hdc(hdc), obj(obj) { prev = SelectObject(hdc, obj); }
    ~Selected() {
        SelectObject(hdc, prev);
        DeleteObject(obj);
    }
    HDC hdc;
    HGDIOBJ obj, prev;
};

}  // namespace

TEST(GdiMemContext, LayoutIsAlignedTopDownAndRedGreenBlueAfterASkippedByte) {
    MemDC m(3, 2);
    ASSERT_NE(m.hdc, nullptr);
    ASSERT_NE(m.px, nullptr);
    EXPECT_EQ((uintptr_t)m.px % 64, 0u);
    EXPECT_EQ(static_cast<void*>(m.hdc->ctx), static_cast<void*>(SHIM_GetCtxGC(m.hdc)));
    for (int i = 0; i < 24; ++i) EXPECT_EQ(m.px[i], 0);
    HGDIOBJ brush = CreateSolidBrush(0xFF8040);
    RECT r{1, 1, 2, 2};
    SHIM_FillRect(m.hdc, &r, brush);
    const uint8_t* p = m.px + (1 * 3 + 1) * 4;
    EXPECT_EQ(p[1], 0xFF);
    EXPECT_EQ(p[2], 0x80);
    EXPECT_EQ(p[3], 0x40);
    EXPECT_EQ(m.red(1, 0), 0);
    EXPECT_EQ(m.red(0, 1), 0);
    DeleteObject(brush);
}

TEST(GdiMemContext, BadSizesGiveNull) {
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, 0, 5), nullptr);
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, 5, -1), nullptr);
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, 0x7FFFFFFF, 0x7FFFFFFF), nullptr);
}

TEST(GdiMemContext, DeletedContextIsPooledDeadAndReusedCleared) {
    HDC a = SHIM_CreateMemContext(nullptr, 2, 2);
    SetTextColor(a, 0x123456);
    SetBkMode(a, 1);
    EXPECT_EQ(GetTextColor(a), 0x123456);
    SHIM_DeleteGfxContext(a);
    EXPECT_EQ(GetTextColor(a), -1);
    EXPECT_EQ(SHIM_GetCtxGC(a), nullptr);
    EXPECT_EQ(SHIM_GetCtxFrameBuffer(a), nullptr);
    SHIM_DeleteGfxContext(a);  // a second delete is ignored
    HDC b = SHIM_CreateMemContext(nullptr, 2, 2);
    EXPECT_EQ(b, a) << "the pooled record is used again";
    EXPECT_EQ(GetTextColor(b), 0);
    EXPECT_EQ(b->curbkmode, 0);
    EXPECT_NE(b->curtextcolor, nullptr);
    SHIM_DeleteGfxContext(b);
    EXPECT_EQ(GetTextColor(nullptr), -1);
}

TEST(GdiMemContext, PoolsNeverHandOutALiveRecordTwice) {
    std::set<HDC> live;
    std::vector<HDC> all;
    for (int i = 0; i < 150; ++i) {
        HDC h = SHIM_CreateMemContext(nullptr, 1, 1);
        ASSERT_TRUE(live.insert(h).second);
        all.push_back(h);
    }
    for (HDC h : all) SHIM_DeleteGfxContext(h);
    live.clear();
    std::vector<HDC> again;
    for (int i = 0; i < 150; ++i) {
        HDC h = SHIM_CreateMemContext(nullptr, 1, 1);
        ASSERT_TRUE(live.insert(h).second);
        again.push_back(h);
    }
    for (HDC h : again) SHIM_DeleteGfxContext(h);

    std::set<HGDIOBJ> objs;
    std::vector<HGDIOBJ> made;
    for (int i = 0; i < 250; ++i) made.push_back(CreatePen(0, 1, i));
    for (HGDIOBJ o : made) DeleteObject(o);
    for (int i = 0; i < 250; ++i) {
        HGDIOBJ o = CreateSolidBrush(i);
        ASSERT_TRUE(objs.insert(o).second);
        EXPECT_EQ(o->additional_refs, 0);
        EXPECT_EQ(o->type, SHIM_GDIOBJ_BRUSH);
    }
    for (HGDIOBJ o : objs) DeleteObject(o);
}

TEST(GdiObjects, SelectObjectByNumberAndByObject) {
    MemDC m(2, 2);
    EXPECT_EQ(SelectObject(m.hdc, (HGDIOBJ)1), (HGDIOBJ)1) << "no pen selected: the number comes back";
    EXPECT_EQ(SelectObject(m.hdc, (HGDIOBJ)1), (HGDIOBJ)1);
    EXPECT_EQ(m.hdc->curpen, nullptr);

    HGDIOBJ p1 = CreatePen(0, 1, 0xFF0000), p2 = CreatePen(0, 2, 0x00FF00);
    EXPECT_EQ(SelectObject(m.hdc, p1), (HGDIOBJ)1);
    EXPECT_EQ(SelectObject(m.hdc, p2), p1);
    EXPECT_EQ(SelectObject(m.hdc, p2), p2);
    EXPECT_EQ(SelectObject(m.hdc, (HGDIOBJ)1), p2) << "emptying the slot returns its pen";
    EXPECT_EQ(m.hdc->curpen, nullptr);

    HGDIOBJ brush = CreateSolidBrush(0x0000FF);
    EXPECT_EQ(SelectObject(m.hdc, brush), (HGDIOBJ)2);
    EXPECT_EQ(m.hdc->curbrush, brush);
    EXPECT_EQ(SelectObject(m.hdc, (HGDIOBJ)2), brush);

    HGDIOBJ bitmap = GDP_OBJECT_NEW();
    bitmap->type = SHIM_GDIOBJ_BITMAP;
    EXPECT_EQ(SelectObject(m.hdc, bitmap), nullptr);
    EXPECT_EQ(SelectObject(m.hdc, (HGDIOBJ)4), nullptr);
    DeleteObject(p1);
    EXPECT_EQ(SelectObject(m.hdc, p1), nullptr) << "a deleted object";
    EXPECT_EQ(SelectObject(nullptr, p2), nullptr);
    DeleteObject(p2);
    DeleteObject(brush);
    DeleteObject(bitmap);
}

TEST(GdiObjects, StockObjectsAndReferenceCounts) {
    HGDIOBJ nullPen = GetStockObject(1), nullBrush = GetStockObject(2);
    ASSERT_NE(nullPen, nullptr);
    EXPECT_EQ(nullPen->type, SHIM_GDIOBJ_PEN);
    EXPECT_EQ(nullPen->wid, -1);
    EXPECT_EQ(nullBrush->type, SHIM_GDIOBJ_BRUSH);
    EXPECT_EQ(GetStockObject(3), nullptr);
    EXPECT_EQ(GetStockObject(0), nullptr);
    DeleteObject(nullPen);
    DeleteObject(nullBrush);
    EXPECT_TRUE(SHIM_IsValidObject(nullPen, SHIM_GDIOBJ_PEN));
    EXPECT_TRUE(SHIM_IsValidObject(nullBrush, SHIM_GDIOBJ_BRUSH));

    HGDIOBJ pen = CreatePen(0, 1, 0);
    EXPECT_EQ(SHIM_CloneGDIObject(pen), pen);
    DeleteObject(pen);
    EXPECT_TRUE(SHIM_IsValidObject(pen)) << "the clone's reference keeps it";
    DeleteObject(pen);
    EXPECT_FALSE(SHIM_IsValidObject(pen));
    EXPECT_EQ(SHIM_CloneGDIObject(pen), nullptr);
    EXPECT_EQ(SHIM_CloneGDIObject((HGDIOBJ)3), nullptr);
    HGDIOBJ negative = CreatePen(0, -3, 0);
    EXPECT_EQ(negative->wid, 0);
    DeleteObject(negative);
}

TEST(GdiObjects, DeleteReleasesFontAndOwnedImage) {
    static int images = 0;
    auto oldImage = SHIM_ReleaseBitmapImage;
    SHIM_ReleaseBitmapImage = [](platform::NSImage*) { ++images; };
    platform::CTSetBoxFontEngine(true);
    HGDIOBJ font = GDP_OBJECT_NEW();
    font->type = SHIM_GDIOBJ_FONT;
    font->fontobj = platform::CTFontCreateWithName("Anything", 12);  // released by DeleteObject (ASan checks)
    platform::CTSetBoxFontEngine(false);
    HGDIOBJ owned = GDP_OBJECT_NEW(), borrowed = GDP_OBJECT_NEW();
    owned->type = borrowed->type = SHIM_GDIOBJ_BITMAP;
    owned->bitmapptr = borrowed->bitmapptr = reinterpret_cast<platform::NSImage*>(0x2000);
    owned->wid = 1;
    DeleteObject(font);
    DeleteObject(owned);
    DeleteObject(borrowed);
    EXPECT_EQ(images, 1);
    SHIM_ReleaseBitmapImage = oldImage;
}

TEST(GdiDrawing, RectangleFillsThenStrokesCentredOnTheEdges) {
    MemDC m(8, 8);
    Selected brush(m.hdc, CreateSolidBrush(0x0000FF));
    Selected pen(m.hdc, CreatePen(0, 0, 0xFF0000));
    Rectangle(m.hdc, 2, 2, 6, 6);
    EXPECT_EQ(m.blue(4, 4), 255);
    EXPECT_EQ(m.red(4, 4), 0);
    // The 1-wide pen straddles x = 2: half on pixel 1, half over the brush on 2.
    EXPECT_EQ(m.red(1, 4), 128);
    EXPECT_EQ(m.blue(1, 4), 0);
    EXPECT_EQ(m.red(2, 4), 128);
    EXPECT_EQ(m.blue(2, 4), 127);
    EXPECT_EQ(m.red(0, 4), 0);
}

TEST(GdiDrawing, NullPenAndBrushDrawNothing) {
    MemDC m(4, 4);
    HGDIOBJ oldPen = SelectObject(m.hdc, GetStockObject(1));
    HGDIOBJ oldBrush = SelectObject(m.hdc, GetStockObject(2));
    Rectangle(m.hdc, 0, 0, 4, 4);
    Ellipse(m.hdc, 0, 0, 4, 4);
    POINT pts[3] = {{0, 0}, {3, 0}, {3, 3}};
    SHIM_Polygon(m.hdc, pts, 3);
    MoveToEx(m.hdc, 0, 0, nullptr);
    SHIM_LineTo(m.hdc, 3, 3);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(m.px[i], 0);
    POINT old;
    MoveToEx(m.hdc, 1, 1, &old);
    EXPECT_EQ(old.x, 0) << "without a usable pen the position stays";
    EXPECT_EQ(old.y, 0);
    SelectObject(m.hdc, oldPen);
    SelectObject(m.hdc, oldBrush);
    RECT r{0, 0, 4, 4};
    SHIM_FillRect(m.hdc, &r, GetStockObject(2));
    SHIM_FillRect(m.hdc, &r, nullptr);
    EXPECT_EQ(m.red(1, 1), 0);
}

TEST(GdiDrawing, WidthZeroPenLineRunsThroughPixelCentres) {
    MemDC m(6, 3);
    Selected pen(m.hdc, CreatePen(0, -3, 0x00FF00));
    MoveToEx(m.hdc, 1, 1, nullptr);
    SHIM_LineTo(m.hdc, 4, 1);
    // From (1.5, 1.5) to (4.5, 1.5), one unit wide: row 1 only.
    EXPECT_EQ(m.green(0, 1), 0);
    EXPECT_EQ(m.green(1, 1), 128);
    EXPECT_EQ(m.green(2, 1), 255);
    EXPECT_EQ(m.green(3, 1), 255);
    EXPECT_EQ(m.green(4, 1), 128);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(m.green(x, 0), 0);
        EXPECT_EQ(m.green(x, 2), 0);
    }
    POINT old;
    MoveToEx(m.hdc, 0, 0, &old);
    EXPECT_EQ(old.x, 4);
    EXPECT_EQ(old.y, 1);
}

TEST(GdiDrawing, RoundRectCutsItsCornersByAThird) {
    MemDC m(10, 10);
    Selected brush(m.hdc, CreateSolidBrush(0xFFFFFF));
    RoundRect(m.hdc, 0, 0, 9, 9, 4, 5);  // dx = 1, dy = 1
    EXPECT_EQ(m.red(0, 0), 128) << "the corner triangle is cut off";
    EXPECT_EQ(m.red(8, 8), 128);
    EXPECT_EQ(m.red(1, 0), 255);
    EXPECT_EQ(m.red(4, 4), 255);
    EXPECT_EQ(m.red(9, 4), 0);
}

TEST(GdiDrawing, PolygonIsNotClosedWhenStroked) {
    MemDC m(8, 8);
    Selected pen(m.hdc, CreatePen(0, 1, 0xFFFFFF));
    POINT pts[3] = {{1, 1}, {6, 1}, {6, 6}};
    SHIM_Polygon(m.hdc, pts, 3);
    EXPECT_GT(m.red(3, 1), 0);
    EXPECT_GT(m.red(6, 3), 0);
    EXPECT_EQ(m.red(3, 3), 0) << "no closing edge from (6,6) back to (1,1)";
    SHIM_Polygon(m.hdc, pts, 1);  // too few points: nothing
}

TEST(GdiDrawing, PolyBezierToDrawsWholeCurvesAndMovesToTheLastEnd) {
    MemDC m(20, 20);
    Selected pen(m.hdc, CreatePen(0, 2, 0xFFFFFF));
    MoveToEx(m.hdc, 2, 10, nullptr);
    POINT pts[5] = {{2, 2}, {17, 2}, {17, 10}, {10, 18}, {2, 18}};
    PolyBezierTo(m.hdc, pts, 5);
    POINT old;
    MoveToEx(m.hdc, 0, 0, &old);
    EXPECT_EQ(old.x, 17);
    EXPECT_EQ(old.y, 10);
    EXPECT_GT(m.red(9, 4), 0) << "the curve's top";
    EXPECT_EQ(m.red(6, 17), 0) << "the leftover points draw nothing";
    MoveToEx(m.hdc, 5, 5, nullptr);
    PolyBezierTo(m.hdc, pts, 2);
    MoveToEx(m.hdc, 0, 0, &old);
    EXPECT_EQ(old.x, 5) << "fewer than 3 points: nothing moves";
}

TEST(GdiDrawing, PolyPolylineSkipsShortRunsAndKeepsThePosition) {
    MemDC m(8, 8);
    Selected pen(m.hdc, CreatePen(0, 1, 0xFFFFFF));
    MoveToEx(m.hdc, 7, 7, nullptr);
    POINT pts[4] = {{0, 0}, {1, 3}, {5, 3}, {6, 6}};  // point 0 alone, then 1-2, then 3 alone
    int counts[4] = {1, 2, 0, 1};
    PolyPolyline(m.hdc, pts, counts, 4);
    EXPECT_EQ(m.red(3, 3), 255);
    EXPECT_EQ(m.red(0, 0), 0);
    EXPECT_EQ(m.red(6, 6), 0);
    POINT old;
    MoveToEx(m.hdc, 0, 0, &old);
    EXPECT_EQ(old.x, 7);
}

TEST(GdiDrawing, EllipseKeepsTheContextsLineWidth) {
    MemDC thin(12, 12), thick(12, 12);
    for (MemDC* m : {&thin, &thick}) {
        HGDIOBJ pen = CreatePen(0, 5, 0xFFFFFF);
        HGDIOBJ old = SelectObject(m->hdc, pen);
        if (m == &thick) platform::CGContextSetLineWidth(SHIM_GetCtxGC(m->hdc), 3);
        Ellipse(m->hdc, 1, 1, 11, 11);
        SelectObject(m->hdc, old);
        DeleteObject(pen);
    }
    // Near the left edge (x = 1 at y = 6) a 1-wide stroke covers about x
    // 0.5..1.6, a 3-wide one -0.5..2.6.
    EXPECT_EQ(thick.red(0, 6), 255);
    EXPECT_GT(thin.red(0, 6), 60);
    EXPECT_LT(thin.red(0, 6), 190);
    EXPECT_GT(thick.red(2, 6), 100);
    EXPECT_LT(thick.red(2, 6), 200);
    EXPECT_EQ(thin.red(2, 6), 0);
    EXPECT_EQ(thin.red(6, 6), 0);
}

TEST(GdiDrawing, SetPixelStrokesAUnitDiagonalAroundTheCorner) {
    MemDC m(6, 6);
    SHIM_SetPixel(m.hdc, 3, 3, 0xFF0000);
    // The unit segment centred on the corner point (3, 3) covers the two
    // pixels on its diagonal most.
    EXPECT_NEAR(m.red(3, 3), 117, 4);
    EXPECT_NEAR(m.red(2, 2), 117, 4);
    EXPECT_NEAR(m.red(2, 3), 64, 4);
    EXPECT_EQ(m.red(4, 4), 0);
    EXPECT_EQ(m.green(3, 3), 0);
}

TEST(GdiDrawing, CallsOnDeadContextsDoNothing) {
    HDC dead = SHIM_CreateMemContext(nullptr, 2, 2);
    SHIM_DeleteGfxContext(dead);
    HGDIOBJ pen = CreatePen(0, 1, 0xFFFFFF);
    EXPECT_EQ(SelectObject(dead, pen), nullptr);
    Rectangle(dead, 0, 0, 2, 2);
    SHIM_SetPixel(dead, 1, 1, 0);
    MoveToEx(dead, 1, 1, nullptr);
    SHIM_LineTo(nullptr, 1, 1);
    SetTextColor(dead, 5);
    EXPECT_EQ(GetTextColor(dead), -1);
    DeleteObject(pen);
}

TEST(GdiContexts, WrappingContextLeavesTheCoreGraphicsContextAlone) {
    platform::CGColorSpaceRef s = platform::CGColorSpaceCreateDeviceRGB();
    platform::CGContextRef cg =
        platform::CGBitmapContextCreate(nullptr, 2, 2, 8, 0, s, platform::kCGImageAlphaNoneSkipFirst);
    platform::CGColorSpaceRelease(s);
    HDC wrap = SHIM_CreateGfxContextForCG(cg);
    EXPECT_EQ(SHIM_GetCtxGC(wrap), cg);
    EXPECT_EQ(SHIM_GetCtxFrameBuffer(wrap), nullptr);
    SHIM_DeleteGfxContext(wrap);
    // Still ours to draw into and release.
    platform::CGContextFillRect(cg, platform::CGRectMake(0, 0, 1, 1));
    platform::CGContextRelease(cg);
}

TEST(GdiPoolThreads, ContextsAndObjectsMadeAndFreedFromManyThreads) {
    // Each thread draws into its own contexts; the pools are shared.
    std::vector<std::thread> threads;
    std::atomic<int> bad{0};
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([t, &bad] {
            for (int i = 0; i < 300; ++i) {
                HDC hdc = SHIM_CreateMemContext(nullptr, 4, 4);
                HGDIOBJ brush = CreateSolidBrush(0x010101 * (t + 1));
                HGDIOBJ old = SelectObject(hdc, brush);
                RECT r{0, 0, 4, 4};
                SHIM_FillRect(hdc, &r, brush);
                const uint8_t* px = static_cast<const uint8_t*>(SHIM_GetCtxFrameBuffer(hdc));
                if (px[1] != t + 1 || hdc->curbrush != brush) bad++;
                SelectObject(hdc, old);
                DeleteObject(brush);
                SHIM_DeleteGfxContext(hdc);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0) << "a record was handed to two threads at once";
}

TEST(GdiMemContext, StaleHandlesOfManyDeletedRecordsReadAsDead) {
    // More records than the pools keep: every one is still a dead record.
    std::vector<HGDIOBJ> brushes;
    for (int i = 0; i < 300; ++i) brushes.push_back(CreateSolidBrush(i));
    for (HGDIOBJ b : brushes) DeleteObject(b);
    for (HGDIOBJ b : brushes) {
        EXPECT_FALSE(SHIM_IsValidObject(b));
        EXPECT_EQ(SHIM_CloneGDIObject(b), nullptr);
    }
    std::vector<HDC> contexts;
    for (int i = 0; i < 150; ++i) contexts.push_back(SHIM_CreateMemContext(nullptr, 1, 1));
    for (HDC c : contexts) SHIM_DeleteGfxContext(c);
    for (HDC c : contexts) {
        EXPECT_FALSE(SHIM_IsValidContext(c));
        EXPECT_EQ(GetTextColor(c), -1);
    }
}

TEST(GdiMemContext, SizesWhoseBlockDoesNotFitAnIntAreRefused) {
    // The raster library's memory bitmap refuses the same: 16384 x 32768 x 4
    // bytes is 2 GiB.
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, 16384, 32768), nullptr);
    EXPECT_EQ(SHIM_CreateMemContext(nullptr, 32768, 16384), nullptr);
    HDC fits = SHIM_CreateMemContext(nullptr, 1024, 1024);
    EXPECT_NE(fits, nullptr);
    SHIM_DeleteGfxContext(fits);
}
