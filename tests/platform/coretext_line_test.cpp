// ctest-labels: tsan
// Lines, frames and drawing into pixel memory.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/coretext/CTLine.h"

using namespace platform;

namespace {

class BoxEngine {
public:
    BoxEngine() { CTSetBoxFontEngine(true); }
    ~BoxEngine() { CTSetBoxFontEngine(false); }
};

struct Font {
    CTFontRef f;
    Font(const char* name, double size) : f(CTFontCreateWithName(name, size)) {}
    ~Font() { CTFontRelease(f); }
};

struct Line {
    CTLineRef l;
    Line(CTFontRef f, const std::u32string& s, CGColorRef c = nullptr) : l(CTLineCreate(f, s, c)) {}
    ~Line() { CTLineRelease(l); }
};

// Pixel memory in the drawing-context layout (first byte skipped, then red,
// green, blue), drawn through a flipped context as the toolkit makes them.
struct Pixels {
    int w, h;
    std::vector<unsigned char> mem;
    CGContextRef ctx;
    Pixels(int w_, int h_, unsigned char first = 0x11, unsigned char r = 0, unsigned char g = 0, unsigned char b = 0)
        : w(w_), h(h_), mem(size_t(w_) * h_ * 4) {
        for (size_t i = 0; i < mem.size(); i += 4) {
            mem[i] = first;
            mem[i + 1] = r;
            mem[i + 2] = g;
            mem[i + 3] = b;
        }
        CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
        ctx =
            CGBitmapContextCreate(mem.data(), size_t(w), size_t(h), 8, size_t(w) * 4, rgb, kCGImageAlphaNoneSkipFirst);
        CGColorSpaceRelease(rgb);
        CGContextTranslateCTM(ctx, 0, h);
        CGContextScaleCTM(ctx, 1, -1);
        CGContextSetTextMatrix(ctx, CGAffineTransformMake(1, 0, 0, -1, 0, 0));
    }
    Pixels(const Pixels&) = delete;
    ~Pixels() { CGContextRelease(ctx); }
    void draw(CTLineRef line, double x, double baseline) {
        CGContextSetTextPosition(ctx, x, baseline);
        CTLineDraw(line, ctx);
    }
    unsigned char at(int x, int y, int byte) const { return mem[(size_t(y) * w + x) * 4 + byte]; }
};

struct Colour {
    CGColorRef c;
    Colour(double r, double g, double b, double a) : c(CGColorCreateGenericRGB(r, g, b, a)) {}
    ~Colour() { CGColorRelease(c); }
};

}  // namespace

TEST(CoreTextLine, DecodesOnlyWellFormedUtf8) {
    std::u32string out;
    EXPECT_TRUE(
        CTDecodeUTF8("a\xE2\x82\xAC"
                     "b",
                     5, &out));
    EXPECT_EQ(out, (std::u32string{U'a', 0x20AC, U'b'}));
    EXPECT_TRUE(CTDecodeUTF8("\xF0\x9F\x8E\xB9", 4, &out));
    EXPECT_EQ(out, std::u32string(1, char32_t(0x1F3B9)));
    EXPECT_FALSE(
        CTDecodeUTF8("\xE9"
                     "A",
                     2, nullptr));                               // lone Latin-1 byte
    EXPECT_FALSE(CTDecodeUTF8("\xC0\x80", 2, nullptr));          // overlong
    EXPECT_FALSE(CTDecodeUTF8("\xE0\x80\xAF", 3, nullptr));      // overlong
    EXPECT_FALSE(CTDecodeUTF8("\xED\xA0\x80", 3, nullptr));      // surrogate
    EXPECT_FALSE(CTDecodeUTF8("\xF4\x90\x80\x80", 4, nullptr));  // above U+10FFFF
    // A sequence cut by the length is not read past the length.
    EXPECT_FALSE(CTDecodeUTF8("\xE2\x82\xAC", 2, nullptr));
    EXPECT_TRUE(CTDecodeUTF8("", 0, &out));
    EXPECT_TRUE(out.empty());
}

TEST(CoreTextLine, BoxLineBoundsAreExact) {
    BoxEngine box;
    Font f("Any", 12);
    Line l(f.f, U"abc");
    double a, d, lead;
    EXPECT_DOUBLE_EQ(CTLineGetTypographicBounds(l.l, &a, &d, &lead), 3 * 7.2);
    EXPECT_DOUBLE_EQ(a, 9.6);
    EXPECT_DOUBLE_EQ(d, 2.4);
    EXPECT_DOUBLE_EQ(lead, 0);

    // Trailing blanks count; line feeds and carriage returns do not.
    Line blanks(f.f, U"ab  \r\n");
    EXPECT_DOUBLE_EQ(CTLineGetTypographicBounds(blanks.l, nullptr, nullptr, nullptr), 4 * 7.2);
    // Tabs move to the next stop 28 pixels apart.
    Line tab(f.f, U"a\tb");
    EXPECT_DOUBLE_EQ(CTLineGetTypographicBounds(tab.l, nullptr, nullptr, nullptr), 28 + 7.2);
    EXPECT_EQ(CTLineGetTypographicBounds(nullptr, &a, nullptr, nullptr), 0);
    EXPECT_EQ(a, 0);
}

TEST(CoreTextLine, FrameBreaksAtLineFeedsAndWrapsAtTheWidth) {
    BoxEngine box;
    Font f("Any", 10);  // advance 6, line height 10
    auto texts = [](const std::vector<CTLineRef>& lines) {
        std::vector<std::u32string> t;
        for (auto* l : lines) {
            t.push_back(CTLineGetText(l));
            CTLineRelease(l);
        }
        return t;
    };
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"a\nb", 1000, 1000)), (std::vector<std::u32string>{U"a\n", U"b"}));
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"a\n", 1000, 1000)), (std::vector<std::u32string>{U"a\n"}));
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"\n\nx", 1000, 1000)), (std::vector<std::u32string>{U"\n", U"\n", U"x"}));
    EXPECT_TRUE(texts(CTFrameCreateLines(f.f, U"", 1000, 1000)).empty());
    // 30 pixels hold five characters: wrap after the blank, or inside a word.
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"abc defg", 30, 1000)), (std::vector<std::u32string>{U"abc ", U"defg"}));
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"abcdefgh", 30, 1000)), (std::vector<std::u32string>{U"abcde", U"fgh"}));
    // Only whole lines that fit the frame's height.
    EXPECT_EQ(texts(CTFrameCreateLines(f.f, U"1\n2\n3", 1000, 25)), (std::vector<std::u32string>{U"1\n", U"2\n"}));
}

TEST(CoreTextLine, BoxInkIsExactAndRespectsQuarterPixels) {
    BoxEngine box;
    Font f("Any", 10);  // ink 1..5 across, rows 3..9 above a baseline at 10
    Colour white(1, 1, 1, 1);
    Line l(f.f, U"A", white.c);
    Pixels px(12, 12);
    px.draw(l.l, 0, 10);
    int full = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool in = x >= 1 && x < 5 && y >= 3 && y < 10;
            EXPECT_EQ(px.at(x, y, 1), in ? 255 : 0) << x << "," << y;
            full += in;
        }
    EXPECT_EQ(full, 28);

    // A quarter pixel right: partial first and last columns.
    CTCoverage c = CTLineRenderCoverage(l.l, 0.25, 10, true);
    EXPECT_EQ(c.left, 1);
    EXPECT_EQ(c.top, 3);
    EXPECT_EQ(c.width, 5);
    EXPECT_EQ(c.height, 7);
    EXPECT_EQ(c.values[0], 191);
    EXPECT_EQ(c.values[1], 255);
    EXPECT_EQ(c.values[4], 64);
    // Without antialiasing the same placement is all or nothing.
    c = CTLineRenderCoverage(l.l, 0.25, 10, false);
    for (unsigned char v : c.values) EXPECT_TRUE(v == 0 || v == 255);
    // The baseline is rounded to a row.
    c = CTLineRenderCoverage(l.l, 0, 9.6, true);
    EXPECT_EQ(c.top, 3);
}

TEST(CoreTextLine, BoldIsWiderAndItalicInkPassesTheAdvance) {
    BoxEngine box;
    Font regular("Any", 20), bold("Any Bold", 20), italic("Any Italic", 20);
    Line r(regular.f, U"M"), b(bold.f, U"M"), i(italic.f, U"M");
    CTCoverage cr = CTLineRenderCoverage(r.l, 0, 20, true);
    CTCoverage cb = CTLineRenderCoverage(b.l, 0, 20, true);
    CTCoverage ci = CTLineRenderCoverage(i.l, 0, 20, true);
    EXPECT_EQ(cr.width, 8);
    EXPECT_EQ(cb.width, 10);
    EXPECT_EQ(ci.left + ci.width, 16);  // advance is 12
    Line space(regular.f, U" ");
    EXPECT_TRUE(CTLineRenderCoverage(space.l, 0, 20, true).values.empty());
}

TEST(CoreTextLine, DrawingBlendsTheColourAndStaysInTheClip) {
    BoxEngine box;
    Font f("Any", 10);
    Colour colour(1, 0, 0.5, 0.5);
    Line l(f.f, U"AAA", colour.c);  // ink columns 1-4, 7-10, 13-16
    Pixels px(20, 12, 0x42, 100, 100, 100);
    CGContextClipToRect(px.ctx, CGRectMake(3, 5, 11, 7));
    px.draw(l.l, 0, 10);
    // Half strength red, no green, half blue, over grey 100.
    EXPECT_EQ(px.at(3, 5, 1), 178);
    EXPECT_EQ(px.at(3, 5, 2), 50);
    EXPECT_EQ(px.at(3, 5, 3), 114);
    EXPECT_EQ(px.at(2, 5, 1), 100);   // left of the clip
    EXPECT_EQ(px.at(3, 4, 1), 100);   // above the clip
    EXPECT_EQ(px.at(13, 5, 1), 178);  // last clipped column
    EXPECT_EQ(px.at(14, 5, 1), 100);

    // Without a colour the ink is black; far-off origins draw nothing.
    Line black(f.f, U"A");
    Pixels other(4, 4, 0, 200, 200, 200);
    other.draw(black.l, 1e300, 3);
    other.draw(black.l, -1e12, 3);
    other.draw(black.l, 0, 1e12);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(other.at(x, y, 1), 200);
    other.draw(black.l, 0, 3);
    EXPECT_EQ(other.at(1, 2, 1), 0);
    CTLineDraw(nullptr, other.ctx);
    CTLineDraw(black.l, nullptr);
}

TEST(CoreTextLine, GlyphsHangMirroredWithoutTheTextMatrix) {
    BoxEngine box;
    Font f("Any", 10);
    Line l(f.f, U"A");
    Pixels px(12, 20, 0, 255, 255, 255);
    CGContextSetTextMatrix(px.ctx, CGAffineTransformIdentity);
    px.draw(l.l, 0, 10);
    // Ink rows 3-9 above the baseline become rows 10-16 below it.
    EXPECT_EQ(px.at(2, 9, 1), 255);
    EXPECT_EQ(px.at(2, 10, 1), 0);
    EXPECT_EQ(px.at(2, 16, 1), 0);
    EXPECT_EQ(px.at(2, 17, 1), 255);
}

TEST(CoreTextLine, FreeTypeTextIsAntialiasedWhiteOnBlackWithinItsBounds) {
    Font f("DejaVu Sans", 20);
    ASSERT_TRUE(f.f);
    Colour white(1, 1, 1, 1);
    Line l(f.f, U"Halvoran", white.c);
    double a, d;
    const double w = CTLineGetTypographicBounds(l.l, &a, &d, nullptr);
    Pixels px(160, 40);
    const double x0 = 5, base = 25;
    px.draw(l.l, x0, base);
    int full = 0, partial = 0;
    for (int y = 0; y < px.h; ++y)
        for (int x = 0; x < px.w; ++x) {
            const unsigned char v = px.at(x, y, 1);
            if (!v) continue;
            EXPECT_EQ(px.at(x, y, 2), v);  // white: every component carries the coverage
            EXPECT_EQ(px.at(x, y, 3), v);
            EXPECT_GE(x, int(x0) - 1);
            EXPECT_LE(x, int(x0 + w) + 1);
            EXPECT_GE(y, int(base - a) - 1);
            EXPECT_LE(y, int(base + d) + 1);
            (v == 255 ? full : partial)++;
        }
    EXPECT_GT(full, 40);
    EXPECT_GT(partial, 40);

    Pixels mono(160, 40);
    CGContextSetShouldAntialias(mono.ctx, false);
    mono.draw(l.l, x0, base);
    int inked = 0;
    for (int y = 0; y < mono.h; ++y)
        for (int x = 0; x < mono.w; ++x) {
            EXPECT_TRUE(mono.at(x, y, 1) == 0 || mono.at(x, y, 1) == 255);
            inked += mono.at(x, y, 1) == 255;
        }
    EXPECT_GT(inked, full);
}

TEST(CoreTextLine, HugeTextDrawsOnlyItsVisiblePart) {
    Font f("DejaVu Sans Mono", 6000);
    ASSERT_TRUE(f.f);
    Colour white(1, 1, 1, 1);
    Line l(f.f, U"I", white.c);
    Pixels px(8, 8);
    // The stem of a 6000-pixel "I" covers this small window completely.
    const double adv = CTLineGetTypographicBounds(l.l, nullptr, nullptr, nullptr);
    px.draw(l.l, 4 - adv / 2, 2000);
    EXPECT_EQ(px.at(0, 0, 1), 255);
    EXPECT_EQ(px.at(7, 7, 1), 255);
}

TEST(CoreTextThreads, OneFontDrawsFromSeveralThreads) {
    Font f("DejaVu Sans", 14);
    ASSERT_TRUE(f.f);
    std::vector<std::thread> threads;
    std::vector<std::unique_ptr<Pixels>> results;
    for (int i = 0; i < 4; ++i) results.push_back(std::make_unique<Pixels>(120, 24));
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int k = 0; k < 20; ++k) {
                Line l(f.f, U"Cutoff 127");
                results[i]->draw(l.l, 2, 18);
            }
        });
    for (auto& t : threads) t.join();
    for (int i = 1; i < 4; ++i) EXPECT_EQ(results[i]->mem, results[0]->mem);
}
