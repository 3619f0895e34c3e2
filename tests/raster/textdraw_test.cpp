// Drawing strings with a cached font: UTF-8 decoding, the glyph road's
// layout, and the choice and behaviour of the toolkit road. Box engine at
// size 12: glyph cells 7 x 14, line height 12; the toolkit measures "abc"
// 22 wide (21.6 rounded) and 14 high.
#include <gtest/gtest.h>

#include <memory>

#include "platform/coretext/CTFont.h"
#include "raster/RAST_CachedFont.h"
#include "raster/RAST_SysBitmap.h"

namespace {

class BoxEngine {
public:
    BoxEngine() { platform::CTSetBoxFontEngine(true); }
    ~BoxEngine() { platform::CTSetBoxFontEngine(false); }
};

std::unique_ptr<RAST_CachedFont> cached(int flags, int size = 12) {
    auto f = std::make_unique<RAST_CachedFont>();
    f->SetFromHFont(CreateFont(-size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Box"), flags | RAST_FONT_OWNS_HFONT);
    f->SetTextColor(0xFFFFFFFF);
    return f;
}

void fill(RAST_IBitmap& bm, unsigned int v) {
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) bm.getBits()[y * bm.getRowSpan() + x] = v;
}
unsigned int px(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[y * bm.getRowSpan() + x]; }
int red(RAST_IBitmap& bm, int x, int y) { return (px(bm, x, y) >> 8) & 255; }

// Leftmost column holding ink (red above the background's), or -1.
int firstInkColumn(RAST_IBitmap& bm, int background = 0) {
    for (int x = 0; x < bm.getWidth(); x++)
        for (int y = 0; y < bm.getHeight(); y++)
            if (red(bm, x, y) != background) return x;
    return -1;
}
int brightest(RAST_IBitmap& bm) {
    int m = 0;
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) m = std::max(m, red(bm, x, y));
    return m;
}

struct Measured {
    int result;
    RECT r;
};
Measured measure(RAST_IFont& f, const char* text, int len = -1, unsigned int flags = 0) {
    Measured m{0, {5, 6, 5, 6}};
    m.result = f.DrawText(nullptr, text, len, &m.r, flags | DT_CALCRECT);
    return m;
}

}  // namespace

TEST(RasterUtf8, DecodesAsTheGlyphCacheNeeds) {
    unsigned short c;
    EXPECT_EQ(utf8char("A", &c), 1);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(utf8char("\xE9"
                       "A",
                       &c),
              1);  // a lone Latin-1 byte stands for itself
    EXPECT_EQ(c, 0xE9);
    EXPECT_EQ(utf8char("\xE2\x82\xAC", &c), 3);
    EXPECT_EQ(c, 0x20AC);
    EXPECT_EQ(utf8char("\xC3\xA9", &c), 2);
    EXPECT_EQ(c, 0xE9);
    EXPECT_EQ(utf8char("\xF0\x9F\x8E\xB9", &c), 4);
    EXPECT_EQ(c, 0x20);
    EXPECT_EQ(utf8char("\xC1\x81", &c), 1);  // 0x80 to 0xC1 lead alone
    EXPECT_EQ(c, 0xC1);
    EXPECT_EQ(utf8char("\xF5\x80\x80\x80", &c), 1);
    EXPECT_EQ(c, 0xF5);
    EXPECT_EQ(utf8char("\xE2\x82", &c), 1);  // cut short by the terminator
    EXPECT_EQ(c, 0xE2);
    EXPECT_EQ(utf8char("\xC3\xC0", &c), 2);  // 0xC0 counts as a continuation byte
    EXPECT_EQ(utf8char("\xC3\xA9", nullptr), 2);
}

TEST(RasterUtf8, ATextIsNeverReadPastItsLength) {
    BoxEngine box;
    auto f = cached(0);
    // Heap copies without a terminator: ASan reports any read past them.
    auto bytes = std::make_unique<char[]>(2);
    bytes[0] = 'a';
    bytes[1] = '\xE2';
    Measured m = measure(*f, bytes.get(), 2);
    EXPECT_EQ(m.r.right - m.r.left, 14);  // 'a' and the lone byte 0xE2
    auto euro = std::make_unique<char[]>(3);
    memcpy(euro.get(), "\xE2\x82\xAC", 3);
    m = measure(*f, euro.get(), 3);
    EXPECT_EQ(m.r.right - m.r.left, 7);
    EXPECT_EQ(f->findChar(0x20AC)->advance, 7);
    m = measure(*f, euro.get(), 2);      // the cut sequence gives two stray bytes,
    EXPECT_EQ(m.r.right - m.r.left, 7);  // and 0x82 is a control character
}

TEST(RasterTextLayout, LinesCarriageReturnsAndLengths) {
    BoxEngine box;
    auto f = cached(0);
    Measured m = measure(*f, "a\r\nb");
    EXPECT_EQ(m.result, 26);  // second line 12 lower, 14 high
    EXPECT_EQ(m.r.right - m.r.left, 7);
    EXPECT_EQ(measure(*f, "a\nb").result, 26);
    m = measure(*f, "a\rb");
    EXPECT_EQ(m.result, 14);
    EXPECT_EQ(m.r.right - m.r.left, 14);
    m = measure(*f, "a\nb", -1, DT_SINGLELINE);
    EXPECT_EQ(m.result, 14);
    EXPECT_EQ(m.r.right - m.r.left, 21);  // a, blank, b
    EXPECT_EQ(measure(*f, "abcdef", 3).r.right, 5 + 21);
    EXPECT_EQ(measure(*f, "abcdef", -1).r.right, 5 + 42);
    EXPECT_EQ(measure(*f, "ab\0cd", 5).r.right, 5 + 14);  // a NUL ends it too
    m = measure(*f, "abcdef", 0);
    EXPECT_EQ(m.result, 0);
    EXPECT_EQ(m.r.left, 5);  // left and top stay, right and bottom are set
    EXPECT_EQ(m.r.top, 6);
    EXPECT_EQ(m.r.right, 5);
    EXPECT_EQ(m.r.bottom, 6);
    RECT r{0, 0, 0, 0};
    EXPECT_EQ(f->DrawText(nullptr, "a", -1, &r, 0), 0);  // no bitmap to draw into
    EXPECT_EQ(f->DrawText(nullptr, "a", -1, nullptr, DT_CALCRECT), 0);
}

TEST(RasterTextLayout, GlyphRoadDrawsAndReportsTheHeightDrawn) {
    BoxEngine box;
    auto f = cached(0);
    RAST_MemBitmap bm(60, 40, 4);
    fill(bm, 0);
    RECT r{10, 5, 60, 40};
    EXPECT_EQ(f->DrawText(&bm, "ab\nc", -1, &r, 0), 26);
    EXPECT_EQ(red(bm, 13, 10), 255);       // a
    EXPECT_EQ(red(bm, 13 + 7, 10), 255);   // b
    EXPECT_EQ(red(bm, 13, 10 + 12), 255);  // c, one line lower
    // Alignment from the glyphs' own measurement (21 wide, 14 high).
    fill(bm, 0);
    EXPECT_EQ(f->DrawText(&bm, "abc", -1, &r, DT_RIGHT | DT_BOTTOM), 14);
    EXPECT_EQ(firstInkColumn(bm), 60 - 21 + 1);
    // Centring wins over right alignment on this road.
    fill(bm, 0);
    f->DrawText(&bm, "abc", -1, &r, DT_CENTER | DT_RIGHT);
    EXPECT_EQ(firstInkColumn(bm), 10 + (50 - 21) / 2 + 1);
    // Text wholly outside the rectangle draws nothing and reports 0.
    fill(bm, 0);
    RECT off{-50, 0, -10, 20};
    EXPECT_EQ(f->DrawText(&bm, "abc", -1, &off, 0), 0);
    RECT out{0, 0, 60, 40};
    EXPECT_EQ(f->DrawText(&bm, "abc", -1, &out, 0), 14);
    RECT below{0, 50, 60, 90};
    EXPECT_EQ(f->DrawText(&bm, "abc", -1, &below, DT_NOCLIP), 0);
}

TEST(RasterTextLayout, VerticalFontsRunDownOrUp) {
    BoxEngine box;
    auto down = cached(RAST_FONT_VERTICAL);
    Measured m = measure(*down, "ab");
    EXPECT_EQ(m.result, 14);  // the width for vertical fonts
    EXPECT_EQ(m.r.right - m.r.left, 14);
    EXPECT_EQ(m.r.bottom - m.r.top, 14);  // two advances of 7
    RAST_MemBitmap bm(30, 40, 4);
    fill(bm, 0);
    RECT r{0, 0, 30, 40};
    EXPECT_EQ(down->DrawText(&bm, "ab", -1, &r, 0), 14);
    auto up = cached(RAST_FONT_VERTICAL | RAST_FONT_VERTICAL_UP);
    fill(bm, 0);
    up->DrawText(&bm, "ab", -1, &r, 0);
    // Running upward from the bottom of the measured text: nothing below it.
    for (int y = 14; y < 40; y++)
        for (int x = 0; x < 30; x++) EXPECT_EQ(red(bm, x, y), 0);
    EXPECT_GT(brightest(bm), 0);
}

TEST(RasterTextRoad, ToolkitFlagsTakeTheToolkitUnlessAlphaOrEffectsAsk) {
    BoxEngine box;
    // The toolkit ignores the font's alpha; the glyph road applies it.
    auto drawnStrength = [](int fontFlags, unsigned int flags, int size = 12) {
        auto f = cached(fontFlags, size);
        f->SetCombineMode(0, 0.5f);
        RAST_SysBitmap bm(400, 400);
        RECT r{0, 0, 400, 400};
        f->DrawText(&bm, "A", -1, &r, flags);
        return brightest(bm);
    };
    const int native = RAST_FONT_NATIVE | RAST_FONT_OWNS_HFONT;
    EXPECT_EQ(drawnStrength(native, DT_CENTER), 255);
    EXPECT_EQ(drawnStrength(native, DT_VCENTER), 255);
    EXPECT_LT(drawnStrength(native, DT_CENTER | RAST_DT_TEXTALPHA), 200);
    EXPECT_LT(drawnStrength(native, RAST_DT_NOTOOLKIT), 200);
    EXPECT_LT(drawnStrength(native | RAST_FONT_MONO, 0), 200);
    EXPECT_LT(drawnStrength(0, 0), 200);
    // A font 256 or more high always takes the toolkit, effects or not.
    EXPECT_EQ(drawnStrength(RAST_FONT_SHADOW, RAST_DT_TEXTALPHA, 300), 255);
}

TEST(RasterTextRoad, GlyphsArePlacedByTheToolkitsMeasurement) {
    BoxEngine box;
    auto f = cached(RAST_FONT_NATIVE);
    RAST_MemBitmap bm(101, 30, 4);
    fill(bm, 0);
    RECT r{0, 0, 101, 30};
    // The nested measurement takes the toolkit road (22 wide), not the
    // glyphs' (21 wide): x = (101 - 22) / 2 = 39.
    f->DrawText(&bm, "abc", -1, &r, DT_CENTER | RAST_DT_TEXTALPHA);
    EXPECT_EQ(firstInkColumn(bm), 39 + 1);
    // Centre and right together: the toolkit right-aligns.
    RAST_SysBitmap sys(101, 30);
    f->DrawText(&sys, "abc", -1, &r, DT_CENTER | DT_RIGHT);
    EXPECT_EQ(firstInkColumn(sys), 101 - 22 + 1);
}

TEST(RasterTextRoad, ToolkitIntoAMemoryBitmapBlendsBackOnlyItsArea) {
    BoxEngine box;
    auto f = cached(RAST_FONT_NATIVE);
    RAST_MemBitmap bm(40, 30, 4);
    fill(bm, 0x80402010);
    // Right-aligned in a rectangle narrower than the text: it starts at
    // x = 15 - 22 = -7 and is cut at the rectangle's left edge.
    RECT r{5, 5, 15, 25};
    EXPECT_EQ(f->DrawText(&bm, "abc", -1, &r, DT_RIGHT), 14);
    // "abc" at x = -7: b inked at columns 1-6, c at 8-13 (full 9-12).
    EXPECT_EQ(red(bm, 5, 10), 255);
    EXPECT_EQ(red(bm, 12, 10), 255);
    EXPECT_NE(red(bm, 7, 10), 255);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            if (x < 5 || x >= 15 || y < 5 || y >= 25) {
                EXPECT_EQ(px(bm, x, y), 0x80402010u) << x << "," << y;
            }
    // The pixels around the glyphs keep their old values, alpha included.
    EXPECT_EQ(px(bm, 7, 7), 0x80402010u);

    // With DT_NOCLIP the cut is at the bitmap's edge instead.
    fill(bm, 0x80402010);
    f->DrawText(&bm, "abc", -1, &r, DT_RIGHT | DT_NOCLIP);
    EXPECT_EQ(red(bm, 3, 10), 255);
    // Measuring through the scratch leaves left and top alone.
    RECT m{3, 4, 0, 0};
    EXPECT_EQ(f->DrawText(nullptr, "abc", -1, &m, DT_CALCRECT), 14);
    EXPECT_EQ(m.left, 3);
    EXPECT_EQ(m.right, 3 + 22);
    EXPECT_EQ(m.bottom, 4 + 14);
}

TEST(RasterTextRoad, TranslucentTextTakesTheTextColoursAlpha) {
    BoxEngine box;
    auto f = cached(RAST_FONT_NATIVE);
    RAST_MemBitmap bm(30, 20, 4);
    fill(bm, 0);
    f->SetTextColor(RAST_MakePixel(128, 255, 255, 255));
    RECT r{0, 0, 30, 20};
    f->DrawText(&bm, "A", -1, &r, RAST_DT_TEXTALPHA);
    // 128 / 255 of full strength: per-pixel weight 255 x 128 / 256 = 127.
    EXPECT_EQ(red(bm, 3, 5), 127);
    f->SetTextColor(RAST_MakePixel(0, 255, 255, 255));  // alpha 0 draws nothing
    fill(bm, 0);
    EXPECT_EQ(f->DrawText(&bm, "A", -1, &r, RAST_DT_TEXTALPHA), 0);
    EXPECT_EQ(brightest(bm), 0);
}
