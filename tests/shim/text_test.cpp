// Toolkit fonts and text: CreateFont, GetTextMetrics, SHIM_DrawText under the
// DT_* flags. Measurements use the box engine (size 12: ascent 9.6, descent
// 2.4, advance 7.2; ink from 0.1 to 0.5 of the size after the pen, 0.7 of
// the size high on the baseline).
#include <gtest/gtest.h>

#include <string>

#include "platform/coretext/CTFont.h"
#include "shim/shim-gdi-text.h"

// Found by argument lookup from gtest, so at global scope (file-local).
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
static std::ostream& operator<<(std::ostream& o, const RECT& r) {
    return o << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace {

class BoxEngine {
public:
    BoxEngine() { platform::CTSetBoxFontEngine(true); }
    ~BoxEngine() { platform::CTSetBoxFontEngine(false); }
};

HGDIOBJ makeFont(int height, const char* face = "Box", int weight = 400, char italic = 0, char quality = 0) {
    return CreateFont(height, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, quality, 0, face);
}

// A memory context with a font selected and white text on black.
struct Context {
    HDC hdc;
    int w, h;
    HGDIOBJ font = nullptr;
    Context(int w_, int h_, HGDIOBJ f = nullptr) : hdc(SHIM_CreateMemContext(nullptr, w_, h_)), w(w_), h(h_), font(f) {
        SetTextColor(hdc, 0xFFFFFF);
        if (font) SelectObject(hdc, font);
    }
    ~Context() {
        SHIM_DeleteGfxContext(hdc);
        if (font) DeleteObject(font);
    }
    const unsigned char* px(int x, int y) const {
        return (const unsigned char*)SHIM_GetCtxFrameBuffer(hdc) + ((size_t)y * w + x) * 4;
    }
    // Box around pixels whose red differs from the background's.
    RECT ink(unsigned char background = 0) const {
        RECT r{w, h, -1, -1};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (px(x, y)[1] != background) {
                    r.left = std::min<int>(r.left, x);
                    r.top = std::min<int>(r.top, y);
                    r.right = std::max<int>(r.right, x);
                    r.bottom = std::max<int>(r.bottom, y);
                }
        return r;
    }
    bool blank() const { return ink().right < 0; }
};

// Ink of "abc" in the size-12 box font drawn at (x, y): columns x + 1 to
// x + 20, rows y + 1 to y + 9 (inclusive).
RECT abcInk(int x, int y) { return RECT{x + 1, y + 1, x + 20, y + 9}; }

int measure(HDC hdc, const char* text, int flags, RECT* out = nullptr, int len = -1) {
    RECT r{3, 4, 3, 4};
    int h = SHIM_DrawText(hdc, text, len, &r, flags | DT_CALCRECT);
    if (out) *out = r;
    return h;
}

}  // namespace

TEST(ShimFont, SizesComeFromTheHeightOrTheWidth) {
    auto sizeOf = [](int height, int width) {
        HGDIOBJ f = CreateFont(height, width, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
        const double s = platform::CTFontGetSize(f->fontobj);
        DeleteObject(f);
        return s;
    };
    EXPECT_EQ(sizeOf(0, 0), 10);
    EXPECT_EQ(sizeOf(-1, 0), 10);
    EXPECT_EQ(sizeOf(-20, 0), 20);
    EXPECT_EQ(sizeOf(20, 0), 20);
    EXPECT_EQ(sizeOf(0, -14), 14);
    EXPECT_EQ(sizeOf(9000, 0), 10);
    EXPECT_EQ(sizeOf(8192, 0), 8192);
    EXPECT_EQ(sizeOf(-2147483647 - 1, 0), 10);
}

TEST(ShimFont, WeightItalicQualityAndFaces) {
    HGDIOBJ regular = makeFont(-12, "DejaVu Sans", 699);
    HGDIOBJ bold = makeFont(-12, "DejaVu Sans", 700);
    HGDIOBJ italic = makeFont(-12, "DejaVu Sans", 400, 1, 4);
    HGDIOBJ missing = makeFont(-12, "NK57 Monospace", 700, 0, 3);
    ASSERT_TRUE(regular && bold && italic && missing);
    EXPECT_EQ(regular->type, SHIM_GDIOBJ_FONT);
    EXPECT_FALSE(platform::CTFontIsBold(regular->fontobj));
    EXPECT_EQ(platform::CTFontCopyPostScriptName(bold->fontobj), "DejaVuSans-Bold");
    EXPECT_TRUE(platform::CTFontIsItalic(italic->fontobj));
    EXPECT_EQ(platform::CTFontCopyPostScriptName(missing->fontobj), "DejaVuSansMono-Bold");
    EXPECT_EQ(regular->fontsmoothing, 0);
    EXPECT_EQ(italic->fontsmoothing, 4);
    EXPECT_EQ(missing->fontsmoothing, 3);
    // No face at all still gives a usable font: the label font.
    HGDIOBJ none = CreateFont(-11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
    ASSERT_TRUE(none && none->fontobj);
    EXPECT_EQ(platform::CTFontCopyFamilyName(none->fontobj), platform::kCTLabelFamily);
    EXPECT_EQ(platform::CTFontGetSize(none->fontobj), 11);
    for (HGDIOBJ f : {regular, bold, italic, missing, none}) DeleteObject(f);
}

TEST(ShimFont, NameCacheHoldsOneEntryPerCompositeName) {
    const int before = SHIM_FontNameCacheSize();
    DeleteObject(makeFont(-12, "Halvoran Cache Face"));
    DeleteObject(makeFont(-16, "Halvoran Cache Face"));
    EXPECT_EQ(SHIM_FontNameCacheSize(), before + 1);
    DeleteObject(makeFont(-12, "halvoran cache face"));
    EXPECT_EQ(SHIM_FontNameCacheSize(), before + 2);
    DeleteObject(makeFont(-12, "Halvoran Cache Face", 700));
    DeleteObject(makeFont(-12, "Halvoran Cache Face", 700, 1));
    EXPECT_EQ(SHIM_FontNameCacheSize(), before + 4);
    // Names that are not text are not cached.
    DeleteObject(makeFont(-12, "\xFF\xFE"));
    EXPECT_EQ(SHIM_FontNameCacheSize(), before + 4);
}

TEST(ShimFont, IndirectCreationPassesTheRecordOn) {
    LOGFONT lf{};
    lf.lfHeight = -18;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfQuality = 4;
    snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "DejaVu Sans Mono");
    HGDIOBJ f = CreateFontIndirect(&lf);
    ASSERT_TRUE(f);
    EXPECT_EQ(platform::CTFontCopyPostScriptName(f->fontobj), "DejaVuSansMono-BoldOblique");
    EXPECT_EQ(platform::CTFontGetSize(f->fontobj), 18);
    EXPECT_EQ(f->fontsmoothing, 4);
    DeleteObject(f);
    // A face name filling the whole field is still read safely.
    memset(lf.lfFaceName, 'A', sizeof lf.lfFaceName);
    f = CreateFontIndirect(&lf);
    EXPECT_TRUE(f && f->fontobj);
    DeleteObject(f);
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST(ShimTextMetrics, TruncatedMetricsAndTheDefaults) {
    BoxEngine box;
    TEXTMETRIC tm;
    EXPECT_EQ(GetTextMetrics(nullptr, &tm), 0);
    EXPECT_EQ(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmAscent, 12);
    EXPECT_EQ(tm.tmDescent, 4);
    EXPECT_EQ(tm.tmInternalLeading, 3);
    EXPECT_EQ(tm.tmAveCharWidth, 10);

    Context c(4, 4, makeFont(-12));
    EXPECT_EQ(GetTextMetrics(c.hdc, nullptr), 0);
    EXPECT_EQ(GetTextMetrics(c.hdc, &tm), 1);
    EXPECT_EQ(tm.tmAscent, 9);   // 9.6
    EXPECT_EQ(tm.tmDescent, 2);  // 2.4
    EXPECT_EQ(tm.tmInternalLeading, 0);
    EXPECT_EQ(tm.tmAveCharWidth, 7);  // 2 x 11 / 3
    EXPECT_EQ(tm.tmHeight, 12);

    HDC dead = SHIM_CreateMemContext(nullptr, 2, 2);
    SHIM_DeleteGfxContext(dead);
    EXPECT_EQ(GetTextMetrics(dead, &tm), 0);
    EXPECT_EQ(tm.tmHeight, 16);
}

TEST(ShimDrawText, MeasuresSingleAndMultipleLines) {
    BoxEngine box;
    Context c(4, 4, makeFont(-12));
    RECT r;
    // floor(9.6 + 2.4 + 1.5) = 13, plus one.
    EXPECT_EQ(measure(c.hdc, "abc", DT_SINGLELINE, &r), 14);
    EXPECT_EQ(r, (RECT{3, 4, 3 + 22, 4 + 14}));  // floor(21.6 + 0.5)
    EXPECT_EQ(measure(c.hdc, "abc", 0, &r), 14);
    EXPECT_EQ(r.right, 25);
    EXPECT_EQ(measure(c.hdc, "ab\ncdef", 0, &r), 27);
    EXPECT_EQ(r.right, 3 + 29);  // the longer line
    EXPECT_EQ(measure(c.hdc, "a\r\nb", 0, &r), 27);
    EXPECT_EQ(measure(c.hdc, "a\r\nb", DT_SINGLELINE, &r), 14);
    EXPECT_EQ(r.right, 3 + 22);  // a, blank, b
    EXPECT_EQ(measure(c.hdc, "a\rb", 0, &r), 14);
    EXPECT_EQ(r.right, 3 + 14);
    // Nothing drawn while measuring.
    EXPECT_TRUE(c.blank());
}

TEST(ShimDrawText, PrefixesLengthsAndTheWorkBuffer) {
    BoxEngine box;
    Context c(4, 4, makeFont(-12));
    RECT r;
    measure(c.hdc, "a&&b", 0, &r);
    EXPECT_EQ(r.right - r.left, 22);  // a&b
    measure(c.hdc, "a&&b", DT_NOPREFIX, &r);
    EXPECT_EQ(r.right - r.left, 29);
    measure(c.hdc, "&File", 0, &r);
    EXPECT_EQ(r.right - r.left, 29);
    measure(c.hdc, "ab&", 0, &r);  // a final & ends the text
    EXPECT_EQ(r.right - r.left, 14);
    EXPECT_EQ(measure(c.hdc, "&", 0), 0);
    measure(c.hdc, "abcdef", 0, &r, 3);
    EXPECT_EQ(r.right - r.left, 22);
    measure(c.hdc, "ab&&cd", 0, &r, 3);  // "ab&" then cut: the & ends it
    EXPECT_EQ(r.right - r.left, 14);
    EXPECT_EQ(measure(c.hdc, "abc", 0, nullptr, 0), 0);
    EXPECT_EQ(measure(c.hdc, "", 0), 0);
    const std::string longText(5000, 'x');
    measure(c.hdc, longText.c_str(), DT_SINGLELINE, &r);
    EXPECT_EQ(r.right - r.left, 29484);  // 4095 characters
    // Bytes that are not UTF-8 give nothing.
    EXPECT_EQ(measure(c.hdc, "\xE9t\xE9", 0), 0);
    EXPECT_EQ(measure(c.hdc, "\xE2\x82\xAC", 0), 14);
}

TEST(ShimDrawText, RefusesDeadContextsAndMissingArguments) {
    BoxEngine box;
    RECT r{0, 0, 10, 10};
    EXPECT_EQ(SHIM_DrawText(nullptr, "a", -1, &r, 0), 0);
    HDC dead = SHIM_CreateMemContext(nullptr, 2, 2);
    SHIM_DeleteGfxContext(dead);
    EXPECT_EQ(SHIM_DrawText(dead, "a", -1, &r, 0), 0);
    Context c(4, 4);
    EXPECT_EQ(SHIM_DrawText(c.hdc, nullptr, -1, &r, 0), 0);
    EXPECT_EQ(SHIM_DrawText(c.hdc, "a", -1, nullptr, 0), 0);
    // Without a selected font the default font measures.
    EXPECT_GT(SHIM_DrawText(c.hdc, "a", -1, &r, DT_CALCRECT), 0);
}

TEST(ShimDrawText, AlignsUnderTheFlags) {
    BoxEngine box;
    struct Case {
        int flags;
        int x, y;
    } cases[] = {
        {0, 10, 5},
        {DT_RIGHT, 88, 5},              // 10 + 110 - (10 + 22)
        {DT_CENTER, 49, 5},             // 10 + 100 / 2 - 22 / 2
        {DT_RIGHT | DT_CENTER, 88, 5},  // right wins
        {DT_BOTTOM, 10, 31},            // 5 + 45 - 14 - 5
        {DT_VCENTER, 10, 18},           // 5 + 40 / 2 - 14 / 2
        {DT_BOTTOM | DT_VCENTER, 10, 31},
        {DT_CENTER | DT_VCENTER | DT_SINGLELINE, 49, 18},
    };
    for (const Case& k : cases) {
        Context c(130, 60, makeFont(-12));
        RECT r{10, 5, 110, 45};
        EXPECT_EQ(SHIM_DrawText(c.hdc, "abc", -1, &r, k.flags), 14);
        EXPECT_EQ(c.ink(), abcInk(k.x, k.y)) << "flags " << k.flags;
        EXPECT_EQ(r, (RECT{10, 5, 110, 45}));  // drawing leaves the rectangle alone
    }
}

TEST(ShimDrawText, LinesFollowEachOtherByTheirRoundedHeight) {
    BoxEngine box;
    Context c(60, 60, makeFont(-12));
    RECT r{0, 0, 60, 60};
    EXPECT_EQ(SHIM_DrawText(c.hdc, "abc\nabc", -1, &r, 0), 27);
    // Second line at y + floor(12 + 0.5): its ink starts on row 13.
    EXPECT_EQ(c.px(5, 9)[1], 255);
    EXPECT_EQ(c.px(5, 10)[1], 0);
    EXPECT_EQ(c.px(5, 12)[1], 0);
    EXPECT_NE(c.px(5, 13)[1], 0);
    EXPECT_EQ(c.px(5, 21)[1], 255);
    EXPECT_EQ(c.px(5, 22)[1], 0);
}

TEST(ShimDrawText, ClipsToTheRectangleUnlessAskedNotTo) {
    BoxEngine box;
    Context clipped(40, 20, makeFont(-12)), free(40, 20, makeFont(-12));
    RECT r{0, 0, 10, 20};
    SHIM_DrawText(clipped.hdc, "abc", -1, &r, 0);
    SHIM_DrawText(free.hdc, "abc", -1, &r, DT_NOCLIP);
    EXPECT_EQ(clipped.ink().right, 9);
    EXPECT_EQ(free.ink(), abcInk(0, 0));
    // The clip ends with the call.
    RECT all{0, 0, 40, 20};
    SHIM_DrawText(clipped.hdc, "abc", -1, &all, 0);
    EXPECT_EQ(clipped.ink(), abcInk(0, 0));
}

TEST(ShimDrawText, ColoursBackgroundsAndAntialiasing) {
    BoxEngine box;
    {
        Context c(40, 20, makeFont(-12));
        SetTextColor(c.hdc, 0xFF0000);
        SetBkMode(c.hdc, 1);
        SetBkColor(c.hdc, 0x0000FF);
        RECT r{2, 3, 40, 20};
        SHIM_DrawText(c.hdc, "abc", -1, &r, DT_SINGLELINE);
        const unsigned char* ink = c.px(5, 8);
        EXPECT_EQ(ink[1], 255);
        EXPECT_EQ(ink[2], 0);
        EXPECT_EQ(ink[3], 0);
        // The background fills (x, y, W, H) = (2, 3, 22, 14) only.
        EXPECT_EQ(c.px(2, 3)[3], 255);
        EXPECT_EQ(c.px(23, 16)[3], 255);
        EXPECT_EQ(c.px(24, 16)[3], 0);
        EXPECT_EQ(c.px(23, 17)[3], 0);
        EXPECT_EQ(c.px(1, 3)[3], 0);
    }
    auto partialPixels = [](char quality) {
        Context c(40, 20, makeFont(-12, "Box", 400, 0, quality));
        RECT r{0, 0, 40, 20};
        SHIM_DrawText(c.hdc, "abc", -1, &r, 0);
        int partial = 0;
        for (int y = 0; y < 20; y++)
            for (int x = 0; x < 40; x++) partial += c.px(x, y)[1] != 0 && c.px(x, y)[1] != 255;
        return partial;
    };
    EXPECT_GT(partialPixels(0), 0);
    EXPECT_GT(partialPixels(4), 0);
    EXPECT_EQ(partialPixels(3), 0);
}

TEST(ShimDrawText, TheWorkBufferEndsOnAWholeCharacter) {
    BoxEngine box;
    Context c(4, 4, makeFont(-12));
    RECT whole, cut;
    // 4,094 letters and then a two-byte character: the buffer's last byte
    // would be the first half of it; the letters alone are drawn.
    const std::string letters(4094, 'a');
    measure(c.hdc, letters.c_str(), DT_SINGLELINE, &whole);
    EXPECT_GT(measure(c.hdc, (letters + "\xC3\xA9").c_str(), DT_SINGLELINE, &cut), 0);
    EXPECT_EQ(cut, whole);
    // A three-byte character two bytes from the end, and one that fits.
    const std::string fewer(4093, 'a');
    EXPECT_GT(measure(c.hdc, (fewer + "\xE2\x82\xAC").c_str(), DT_SINGLELINE, &cut), 0);
    RECT lettersOnly;
    measure(c.hdc, fewer.c_str(), DT_SINGLELINE, &lettersOnly);
    EXPECT_EQ(cut, lettersOnly);
    RECT shorter;
    measure(c.hdc, std::string(4092, 'a').c_str(), DT_SINGLELINE, &shorter);
    EXPECT_GT(measure(c.hdc, (std::string(4092, 'a') + "\xE2\x82\xAC").c_str(), DT_SINGLELINE, &cut), 0);
    EXPECT_GT(cut.right - cut.left, shorter.right - shorter.left);
}
