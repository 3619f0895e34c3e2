// The glyph cache: rendering, masks, effects, records and drawing one glyph.
// Box engine at size 12 (see the CoreText stand-in): "A" measures 7 x 14 and
// is inked from 1.2 to 6.0 across and from row 1.6 to 10 down.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/coretext/CTFont.h"
#include "raster/RAST_CachedFont.h"
#include "raster/RAST_SysBitmap.h"

namespace {

class BoxEngine {
public:
    BoxEngine() { platform::CTSetBoxFontEngine(true); }
    ~BoxEngine() { platform::CTSetBoxFontEngine(false); }
};

HGDIOBJ boxFont(int size = 12, char italic = 0) {
    return CreateFont(-size, 0, 0, 0, 400, italic, 0, 0, 0, 0, 0, 0, 0, "Box");
}

// A cached font over a box font it owns.
std::unique_ptr<RAST_CachedFont> cached(int flags = 0, int size = 12, char italic = 0) {
    auto f = std::make_unique<RAST_CachedFont>();
    f->SetFromHFont(boxFont(size, italic), flags | RAST_FONT_OWNS_HFONT);
    return f;
}

std::vector<int> maskOf(RAST_CachedFont& f, unsigned short c) {
    const RAST_GlyphRecord* g = f.findChar(c);
    if (!g || g->pos < 1) return {};
    const unsigned char* m = f.GetCoverage() + g->pos - 1;
    return std::vector<int>(m, m + g->width * g->height);
}

// Coverage of the box "A" at size 12 (7 x 14).
int expectedA(int x, int y) {
    if (x < 1 || x > 5 || y < 1 || y > 9) return 0;
    const int col = x == 1 ? 204 : 255;
    if (y == 1) return x == 1 ? 82 : 102;
    return col;
}

void fill(RAST_IBitmap& bm, unsigned int v) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.getBits()[y * bm.getRowSpan() + x] = v;
}
unsigned int px(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[y * bm.getRowSpan() + x]; }

}  // namespace

TEST(RasterCachedFont, StartsEmptyAndReadsTheLineHeight) {
    BoxEngine box;
    RAST_CachedFont f;
    EXPECT_EQ(f.GetLineHeight(), 0);
    EXPECT_EQ(f.GetHFont(), nullptr);
    EXPECT_EQ(f.GetTextColor(), 0u);
    EXPECT_EQ(f.SetBkColor(5), 0xFFFFFFFFu);
    EXPECT_EQ(f.SetEffectColor(6), 0xFFFFFFFFu);
    EXPECT_EQ(f.SetBkMode(1), 0);
    EXPECT_EQ(f.SetTextColor(7), 0u);
    EXPECT_EQ(f.SetTextColor(8), 7u);
    HGDIOBJ font = boxFont();
    f.SetFromHFont(font, RAST_FONT_OWNS_HFONT);
    EXPECT_EQ(f.GetHFont(), font);
    EXPECT_EQ(f.GetLineHeight(), 12);  // 9 + 2 + 0, plus one
    // A null font keeps the line height.
    f.SetFromHFont(nullptr, 0);
    EXPECT_EQ(f.GetLineHeight(), 12);
}

TEST(RasterCachedFont, RendersWhiteOnBlackCoverageOfAGlyph) {
    BoxEngine box;
    auto f = cached();
    ASSERT_TRUE(f->RenderGlyph('A'));
    const RAST_GlyphRecord* g = f->findChar('A');
    EXPECT_EQ(g->advance, 7);
    EXPECT_EQ(g->width, 7);  // no ink beyond the advance: the two spare columns are cut
    EXPECT_EQ(g->height, 14);
    EXPECT_EQ(g->pos, 1);
    const auto m = maskOf(*f, 'A');
    for (int y = 0; y < 14; y++)
        for (int x = 0; x < 7; x++) EXPECT_EQ(m[y * 7 + x], expectedA(x, y)) << x << "," << y;
    EXPECT_EQ(f->GetCoverageSize(), 98);

    // A blank has a record, an empty mask and an advance.
    ASSERT_TRUE(f->RenderGlyph(' '));
    g = f->findChar(' ');
    EXPECT_GT(g->pos, 0);
    EXPECT_EQ(g->advance, 7);
    for (int v : maskOf(*f, ' ')) EXPECT_EQ(v, 0);
    // A character that measures nothing is marked as nothing to draw.
    ASSERT_TRUE(f->RenderGlyph(1));
    EXPECT_EQ(f->findChar(1)->pos, -1);
    EXPECT_EQ(f->findChar(1)->advance, 0);
}

TEST(RasterCachedFont, ItalicInkPastTheAdvanceIsKept) {
    BoxEngine box;
    auto f = cached(0, 12, 1);
    f->RenderGlyph('A');
    const RAST_GlyphRecord* g = f->findChar('A');
    EXPECT_EQ(g->advance, 7);
    EXPECT_EQ(g->width, 9);  // ink from 4.8 to 9.6, cut at the widened edge 7 + 2
    const auto m = maskOf(*f, 'A');
    EXPECT_EQ(m[5 * 9 + 8], 255);
}

TEST(RasterCachedFont, PrerenderingCoversOnlyTheFirst128) {
    BoxEngine box;
    auto f = cached(RAST_FONT_PRERENDER);
    for (int c = 0; c < 128; c++) EXPECT_NE(f->findChar((unsigned short)c)->pos, 0) << c;
    EXPECT_EQ(f->findChar(0)->pos, -1);
    EXPECT_FALSE(f->RenderGlyph(0xE9));
    RAST_MemBitmap bm(40, 20, 4);
    fill(bm, 0);
    RECT r{0, 0, 40, 20};
    f->SetTextColor(0xFFFFFFFF);
    EXPECT_EQ(f->DrawText(&bm, "\xC3\xA9", -1, &r, 0), 0);
    EXPECT_EQ(f->GetExtraGlyphCount(), 0);
    EXPECT_EQ(px(bm, 3, 5), 0u);
}

TEST(RasterCachedFont, ExtraGlyphsStaySortedAndRenderOnce) {
    BoxEngine box;
    auto f = cached();
    RAST_MemBitmap bm(200, 20, 4);
    RECT r{0, 0, 200, 20};
    // U+20AC, U+00E9, U+0101, U+00E9 again, U+4E2D
    f->DrawText(&bm, "\xE2\x82\xAC\xC3\xA9\xC4\x81\xC3\xA9\xE4\xB8\xAD", -1, &r, 0);
    ASSERT_EQ(f->GetExtraGlyphCount(), 4);
    const int expect[4] = {0xE9, 0x101, 0x20AC, 0x4E2D};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(f->GetExtraGlyph(i)->code, expect[i]);
        EXPECT_EQ(f->findChar((unsigned short)expect[i]), f->GetExtraGlyph(i));
    }
    EXPECT_EQ(f->findChar(0x100), nullptr);
    const int size = f->GetCoverageSize();
    f->DrawText(&bm, "\xE2\x82\xAC\xC3\xA9", -1, &r, 0);
    EXPECT_EQ(f->GetCoverageSize(), size);
    // Rebinding drops every glyph.
    f->SetFromHFont(f->GetHFont(), RAST_FONT_OWNS_HFONT);
    EXPECT_EQ(f->GetExtraGlyphCount(), 0);
    EXPECT_EQ(f->GetCoverageSize(), 0);
    EXPECT_EQ(f->findChar('A')->pos, 0);
}

TEST(RasterCachedFont, OwnedToolkitFontsAreDeletedOnlyWhenLetGo) {
    BoxEngine box;
    HGDIOBJ a = boxFont(), b = boxFont();
    {
        RAST_CachedFont f;
        f.SetFromHFont(a, RAST_FONT_OWNS_HFONT);
        f.SetFromHFont(a, RAST_FONT_OWNS_HFONT);
        EXPECT_TRUE(SHIM_IsValidObject(a, SHIM_GDIOBJ_FONT));
        f.SetFromHFont(b, RAST_FONT_OWNS_HFONT);
        EXPECT_FALSE(SHIM_IsValidObject(a, SHIM_GDIOBJ_FONT));
        EXPECT_TRUE(SHIM_IsValidObject(b, SHIM_GDIOBJ_FONT));
    }
    EXPECT_FALSE(SHIM_IsValidObject(b, SHIM_GDIOBJ_FONT));
    HGDIOBJ c = boxFont();
    {
        RAST_CachedFont f;
        f.SetFromHFont(c, 0);
    }
    EXPECT_TRUE(SHIM_IsValidObject(c, SHIM_GDIOBJ_FONT));
    DeleteObject(c);
}

TEST(RasterCachedFont, ScratchBitmapsLiveWhileAnyFontDoes) {
    BoxEngine box;
    ASSERT_EQ(RAST_CachedFont::s_tempbitmap_refcnt, 0);
    {
        auto a = cached();
        auto b = cached();
        ASSERT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
        EXPECT_GE(RAST_CachedFont::s_tempbitmap->getWidth(), 256);
        RECT r{0, 0, 0, 0};
        a->SetFromHFont(a->GetHFont(), RAST_FONT_OWNS_HFONT | RAST_FONT_NATIVE);
        a->DrawText(nullptr, "x", -1, &r, DT_CALCRECT);
        EXPECT_NE(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
        a.reset();
        EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
    }
    EXPECT_EQ(RAST_CachedFont::s_tempbitmap, nullptr);
    EXPECT_EQ(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
    auto again = cached();
    EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
    EXPECT_TRUE(again->RenderGlyph('A'));
    EXPECT_EQ(maskOf(*again, 'A')[3 * 7 + 3], 255);
}

TEST(RasterCachedFont, RefusesVeryTallFonts) {
    BoxEngine box;
    auto f = cached(0, 1500);
    EXPECT_GT(f->GetLineHeight(), 1023);
    EXPECT_FALSE(f->RenderGlyph('A'));
    EXPECT_EQ(f->findChar('A')->pos, 0);
}

TEST(RasterCachedFont, EffectsShapeTheMask) {
    BoxEngine box;
    auto maskWith = [](int flags) {
        auto f = cached(flags);
        f->RenderGlyph('A');
        const RAST_GlyphRecord* g = f->findChar('A');
        return std::make_tuple(maskOf(*f, 'A'), g->width, g->height);
    };
    auto [plain, w, h] = maskWith(0);
    auto [mono, mw, mh] = maskWith(RAST_FONT_MONO);
    for (size_t i = 0; i < plain.size(); i++) EXPECT_EQ(mono[i], plain[i] >= 131 ? 255 : 0);
    auto [inv, iw, ih] = maskWith(RAST_FONT_INVERT);
    EXPECT_EQ(inv[0], 255);  // inverted coverage: the empty corner is full
    EXPECT_EQ(iw, 7);
    auto [blur, bw, bh] = maskWith(RAST_FONT_BLUR);
    EXPECT_GT(blur[10 * 7 + 3], 0);   // ink spreads one row down
    EXPECT_LT(blur[5 * 7 + 2], 255);  // and softens next to the edge
    EXPECT_EQ(blur[12 * 7 + 3], 0);

    // Shadow: right of, below and below-right of full pixels. Full pixels
    // after the cut: columns 1-5 (204 and 255), rows 2-9.
    auto [shadow, sw, sh] = maskWith(RAST_FONT_SHADOW);
    for (int y = 0; y < sh; y++)
        for (int x = 0; x < sw; x++) {
            const bool full = x >= 1 && x <= 5 && y >= 2 && y <= 9;
            const bool shade = !full && x >= 1 && x <= 6 && y >= 2 && y <= 10;
            EXPECT_EQ(shadow[y * sw + x], full ? 255 : shade ? 128 : 0) << x << "," << y;
        }
    // Outline takes precedence below shadow: four neighbours only.
    auto [outline, ow, oh] = maskWith(RAST_FONT_OUTLINE);
    EXPECT_EQ(outline[1 * ow + 3], 128);
    EXPECT_EQ(outline[10 * ow + 3], 128);
    EXPECT_EQ(outline[5 * ow + 0], 128);
    EXPECT_EQ(outline[5 * ow + 6], 128);
    EXPECT_EQ(outline[1 * ow + 0], 0);  // corners are not neighbours
    EXPECT_EQ(outline[10 * ow + 6], 0);
    auto [both, bw2, bh2] = maskWith(RAST_FONT_SHADOW | RAST_FONT_OUTLINE);
    EXPECT_EQ(both, shadow);
}

TEST(RasterCachedFont, VerticalMasksTurnAQuarter) {
    BoxEngine box;
    auto plain = cached();
    plain->RenderGlyph('A');
    const auto m = maskOf(*plain, 'A');  // 7 wide, 14 high
    auto down = cached(RAST_FONT_VERTICAL);
    down->RenderGlyph('A');
    auto up = cached(RAST_FONT_VERTICAL | RAST_FONT_VERTICAL_UP);
    up->RenderGlyph('A');
    for (auto* f : {down.get(), up.get()}) {
        EXPECT_EQ(f->findChar('A')->width, 14);
        EXPECT_EQ(f->findChar('A')->height, 7);
    }
    const auto d = maskOf(*down, 'A'), u = maskOf(*up, 'A');
    for (int y = 0; y < 14; y++)
        for (int x = 0; x < 7; x++) {
            EXPECT_EQ(d[x * 14 + (13 - y)], m[y * 7 + x]);  // clockwise
            EXPECT_EQ(u[(6 - x) * 14 + y], m[y * 7 + x]);   // counter-clockwise
        }
}

TEST(RasterCachedFont, NormalRendererWeightsCoverageByTheAlpha) {
    BoxEngine box;
    auto f = cached();
    f->RenderGlyph('A');
    f->SetTextColor(0xFFFFFFFF);
    RAST_MemBitmap bm(10, 16, 4);
    RECT clip{0, 0, 10, 16};
    fill(bm, 0);
    EXPECT_TRUE(f->DrawGlyph(&bm, 'A', 0, 0, &clip));
    // At full strength coverage v weighs v + 1: 255 gives the colour,
    // 204 gives 255 + (-255 x 51) / 256.
    EXPECT_EQ(px(bm, 3, 5), 0xFFFFFFFFu);
    EXPECT_EQ(px(bm, 1, 5), 0xCDCDCDCDu);
    EXPECT_EQ(px(bm, 0, 5), 0u);
    // At half strength v weighs v x 128 / 256.
    f->SetCombineMode(0, 0.5f);
    fill(bm, 0);
    f->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 3, 5), 0x7F7F7F7Fu);
    // Add mode, and modes that draw nothing.
    f->SetCombineMode(1, 1.0f);
    fill(bm, 0x01010101);
    f->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 3, 5), 0xFFFFFFFFu);
    for (int mode : {6, 0xF4}) {
        f->SetCombineMode(mode, 1.0f);
        fill(bm, 0);
        f->DrawGlyph(&bm, 'A', 0, 0, &clip);
        EXPECT_EQ(px(bm, 3, 5), 0u);
    }
    f->SetCombineMode(0, 0.0f);
    f->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 3, 5), 0u);
}

TEST(RasterCachedFont, MonoAndEffectDrawingWriteColourWordsAtFullStrength) {
    BoxEngine box;
    RAST_MemBitmap bm(10, 16, 4);
    RECT clip{0, 0, 10, 16};
    auto mono = cached(RAST_FONT_MONO);
    mono->RenderGlyph('A');
    mono->SetTextColor(0x11223344);
    fill(bm, 0x99999999);
    mono->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 1, 5), 0x11223344u);  // 204 is cut to full
    EXPECT_EQ(px(bm, 1, 1), 0x99999999u);  // 82 is cut to nothing

    auto shadow = cached(RAST_FONT_SHADOW);
    shadow->RenderGlyph('A');
    shadow->SetTextColor(0x11223344);
    shadow->SetEffectColor(0x55667788);
    fill(bm, 0x99999999);
    shadow->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 3, 5), 0x11223344u);
    EXPECT_EQ(px(bm, 6, 5), 0x55667788u);
    EXPECT_EQ(px(bm, 0, 5), 0x99999999u);
    // Below full strength the effect renderer blends; mode 6 draws nothing.
    shadow->SetCombineMode(0, 0.5f);
    fill(bm, 0);
    shadow->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_NE(px(bm, 6, 5), 0u);
    EXPECT_NE(px(bm, 6, 5), 0x55667788u);
    shadow->SetCombineMode(6, 0.5f);
    fill(bm, 0);
    shadow->DrawGlyph(&bm, 'A', 0, 0, &clip);
    EXPECT_EQ(px(bm, 6, 5), 0u);
}

TEST(RasterCachedFont, GlyphsAreCutToTheClipAndOpaqueBackgroundsFillOnlyTheBox) {
    BoxEngine box;
    auto f = cached();
    f->RenderGlyph('A');
    f->SetTextColor(0xFFFFFFFF);
    RAST_MemBitmap bm(20, 20, 4);
    fill(bm, 0);
    RECT clip{3, 4, 20, 20};
    EXPECT_TRUE(f->DrawGlyph(&bm, 'A', 0, 0, &clip));
    EXPECT_EQ(px(bm, 2, 5), 0u);
    EXPECT_EQ(px(bm, 3, 3), 0u);
    EXPECT_EQ(px(bm, 3, 4), 0xFFFFFFFFu);
    RECT away{15, 0, 20, 20};
    EXPECT_FALSE(f->DrawGlyph(&bm, 'A', 0, 0, &away));
    EXPECT_FALSE(f->DrawGlyph(&bm, 'Q', 0, 0, &clip));  // not rendered
    // A clip reaching past the bitmap is held to it.
    RECT huge{-100, -100, 1000, 1000};
    EXPECT_TRUE(f->DrawGlyph(&bm, 'A', 16, 16, &huge));

    f->SetBkMode(1);
    f->SetBkColor(0x000000FF);
    fill(bm, 0x10101010);
    RECT r{0, 0, 20, 20};
    f->DrawText(&bm, "AA", -1, &r, 0);
    EXPECT_EQ(px(bm, 0, 0), 0x000000FFu);    // inside the first box
    EXPECT_EQ(px(bm, 13, 13), 0x000000FFu);  // the second box ends at 14 x 14
    EXPECT_EQ(px(bm, 14, 0), 0x10101010u);
    EXPECT_EQ(px(bm, 0, 14), 0x10101010u);
}

TEST(RasterCachedFont, FreeTypeCoverageIsWhatTheToolkitDrawsWhiteOnBlack) {
    HGDIOBJ font = CreateFont(-20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
    RAST_CachedFont f;
    f.SetFromHFont(font, RAST_FONT_OWNS_HFONT);
    ASSERT_TRUE(f.RenderGlyph('g'));
    const RAST_GlyphRecord* g = f.findChar('g');
    ASSERT_GT(g->pos, 0);
    const unsigned char* mask = f.GetCoverage() + g->pos - 1;

    // The same character drawn white on black by the toolkit.
    HDC dc = SHIM_CreateMemContext(nullptr, 64, 64);
    SelectObject(dc, font);
    SetTextColor(dc, 0xFFFFFF);
    RECT m{0, 0, 0, 0};
    SHIM_DrawText(dc, "g", -1, &m, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(m.right, g->advance);
    EXPECT_EQ(m.bottom, g->height);
    RECT r{0, 0, m.right + 3, m.bottom};  // line height 23: 23 / 16 + 2 spare columns
    SHIM_DrawText(dc, "g", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    const unsigned char* pixels = (const unsigned char*)SHIM_GetCtxFrameBuffer(dc);
    int full = 0, partial = 0;
    for (int y = 0; y < g->height; y++)
        for (int x = 0; x < r.right; x++) {
            const int drawn = pixels[(y * 64 + x) * 4 + 1];
            if (x < g->width)
                EXPECT_EQ(mask[y * g->width + x], drawn) << x << "," << y;
            else
                EXPECT_EQ(drawn, 0);
            full += drawn == 255;
            partial += drawn > 0 && drawn < 255;
        }
    EXPECT_GT(full, 10);
    EXPECT_GT(partial, 10);
    SelectObject(dc, (HGDIOBJ)3);
    SHIM_DeleteGfxContext(dc);
}
