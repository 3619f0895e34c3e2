// Fonts by name: installed faces, the monospace fallback, the box engine.
#include <gtest/gtest.h>

#include <string>

#include "platform/coretext/CTFont.h"

using namespace platform;

namespace {

struct FontHolder {
    CTFontRef f;
    explicit FontHolder(CTFontRef font) : f(font) {}
    ~FontHolder() { CTFontRelease(f); }
    FontHolder(const FontHolder&) = delete;
    FontHolder& operator=(const FontHolder&) = delete;
};

class BoxEngine {
public:
    BoxEngine() { CTSetBoxFontEngine(true); }
    ~BoxEngine() { CTSetBoxFontEngine(false); }
};

}  // namespace

TEST(CoreTextFont, InstalledFacesAreFoundByFamilyFullAndPostScriptName) {
    FontHolder mono(CTFontCreateWithName("DejaVu Sans Mono", 12));
    ASSERT_TRUE(mono.f);
    EXPECT_EQ(CTFontCopyFamilyName(mono.f), "DejaVu Sans Mono");
    EXPECT_EQ(CTFontCopyPostScriptName(mono.f), "DejaVuSansMono");
    EXPECT_FALSE(CTFontIsBold(mono.f));
    EXPECT_DOUBLE_EQ(CTFontGetSize(mono.f), 12);

    FontHolder bold(CTFontCreateWithName("DejaVu Sans Bold", 12));
    ASSERT_TRUE(bold.f);
    EXPECT_EQ(CTFontCopyPostScriptName(bold.f), "DejaVuSans-Bold");
    EXPECT_TRUE(CTFontIsBold(bold.f));

    FontHolder byPs(CTFontCreateWithName("DejaVuSansMono-BoldOblique", 12));
    ASSERT_TRUE(byPs.f);
    EXPECT_TRUE(CTFontIsBold(byPs.f));
    EXPECT_TRUE(CTFontIsItalic(byPs.f));

    // Style words given as family + style resolve to the styled face.
    FontHolder styled(CTFontCreateWithName("DejaVu Sans Mono Bold Italic", 12));
    ASSERT_TRUE(styled.f);
    EXPECT_EQ(CTFontCopyPostScriptName(styled.f), "DejaVuSansMono-BoldOblique");
}

TEST(CoreTextFont, MetricsComeFromTheFaceScaledToTheSize) {
    // DejaVu Sans Mono: 2048 units per em, ascender 1901, descender -483, no
    // line gap; every character advances 1233 units.
    FontHolder f(CTFontCreateWithName("DejaVu Sans Mono", 20));
    ASSERT_TRUE(f.f);
    EXPECT_NEAR(CTFontGetAscent(f.f), 1901.0 * 20 / 2048, 1e-9);
    EXPECT_NEAR(CTFontGetDescent(f.f), 483.0 * 20 / 2048, 1e-9);
    EXPECT_NEAR(CTFontGetLeading(f.f), 0, 1e-9);
    EXPECT_NEAR(CTFontGetAdvanceForCharacter(f.f, 'i'), 1233.0 * 20 / 2048, 1e-4);
    EXPECT_NEAR(CTFontGetAdvanceForCharacter(f.f, 'W'), 1233.0 * 20 / 2048, 1e-4);
    EXPECT_EQ(CTFontGetAdvanceForCharacter(f.f, '\n'), 0);

    FontHolder big(CTFontCreateWithName("DejaVu Sans Mono", 40));
    EXPECT_NEAR(CTFontGetAscent(big.f), 2 * CTFontGetAscent(f.f), 1e-9);
}

TEST(CoreTextFont, MissingFaceFallsBackToMonospaceAndLogsOnce) {
    testing::internal::CaptureStderr();
    FontHolder a(CTFontCreateWithName("Halvoran Absent Face", 13));
    FontHolder b(CTFontCreateWithName("Halvoran Absent Face Bold", 13));
    FontHolder c(CTFontCreateWithName("Halvoran Absent Face", 9));
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(a.f && b.f && c.f);
    EXPECT_EQ(CTFontCopyFamilyName(a.f), kCTFallbackFamily);
    EXPECT_FALSE(CTFontIsBold(a.f));
    EXPECT_TRUE(CTFontIsBold(b.f));
    EXPECT_DOUBLE_EQ(CTFontGetSize(c.f), 9);

    size_t count = 0;
    for (size_t pos = log.find("Halvoran Absent Face"); pos != std::string::npos;
         pos = log.find("Halvoran Absent Face", pos + 1))
        ++count;
    EXPECT_EQ(count, 1u) << log;
    EXPECT_NE(log.find("DejaVu Sans Mono"), std::string::npos);
}

TEST(CoreTextFont, PanelFontIsNotInstalledAndDrawsInDejaVuSansMono) {
    std::string ps;
    EXPECT_FALSE(CTFontFindInstalled("NK57 Monospace", &ps));
    EXPECT_FALSE(CTFontFindInstalled("NK57 Monospace Bold", &ps));
    FontHolder f(CTFontCreateWithName("NK57 Monospace Bold", 16));
    ASSERT_TRUE(f.f);
    EXPECT_EQ(CTFontCopyPostScriptName(f.f), "DejaVuSansMono-Bold");

    EXPECT_TRUE(CTFontFindInstalled("DejaVu Sans Mono", &ps));
    EXPECT_EQ(ps, "DejaVuSansMono");
    EXPECT_TRUE(CTFontFindInstalled("DejaVuSans-Bold", &ps));
    EXPECT_EQ(ps, "DejaVuSans-Bold");
    EXPECT_FALSE(CTFontFindInstalled("", &ps));
    EXPECT_FALSE(CTFontFindInstalled(nullptr, &ps));
}

TEST(CoreTextFont, EmptyNamesAndUnusableSizesGiveNoFont) {
    EXPECT_EQ(CTFontCreateWithName("", 12), nullptr);
    EXPECT_EQ(CTFontCreateWithName(nullptr, 12), nullptr);
    EXPECT_EQ(CTFontCreateWithName("DejaVu Sans", 0), nullptr);
    EXPECT_EQ(CTFontCreateWithName("DejaVu Sans", -3), nullptr);
    EXPECT_EQ(CTFontCreateWithName("DejaVu Sans", 0.0 / 0.0), nullptr);
    FontHolder label(CTFontCreateLabelFont(10));
    ASSERT_TRUE(label.f);
    EXPECT_EQ(CTFontCopyFamilyName(label.f), kCTLabelFamily);
    // Null fonts answer zeros instead of failing.
    EXPECT_EQ(CTFontGetAscent(nullptr), 0);
    EXPECT_EQ(CTFontCopyPostScriptName(nullptr), "");
    CTFontRelease(nullptr);
}

TEST(CoreTextFont, RetainKeepsTheFontAliveUntilTheLastRelease) {
    CTFontRef f = CTFontCreateWithName("DejaVu Sans", 11);
    ASSERT_TRUE(f);
    EXPECT_EQ(CTFontRetain(f), f);
    CTFontRelease(f);
    EXPECT_DOUBLE_EQ(CTFontGetSize(f), 11);  // still alive (ASan would object otherwise)
    CTFontRelease(f);
}

TEST(CoreTextFont, BoxEngineHasExactMetricsForAnyName) {
    BoxEngine box;
    FontHolder f(CTFontCreateWithName("NK57 Monospace Italic", 12));
    ASSERT_TRUE(f.f);
    EXPECT_TRUE(CTFontIsItalic(f.f));
    EXPECT_FALSE(CTFontIsBold(f.f));
    EXPECT_DOUBLE_EQ(CTFontGetAscent(f.f), 0.8 * 12);
    EXPECT_DOUBLE_EQ(CTFontGetDescent(f.f), 0.2 * 12);
    EXPECT_DOUBLE_EQ(CTFontGetLeading(f.f), 0);
    EXPECT_DOUBLE_EQ(CTFontGetAdvanceForCharacter(f.f, 'x'), 0.6 * 12);
    EXPECT_DOUBLE_EQ(CTFontGetAdvanceForCharacter(f.f, ' '), 0.6 * 12);
    EXPECT_DOUBLE_EQ(CTFontGetAdvanceForCharacter(f.f, 0x20AC), 0.6 * 12);
    EXPECT_DOUBLE_EQ(CTFontGetAdvanceForCharacter(f.f, '\r'), 0);

    FontHolder label(CTFontCreateLabelFont(10));
    EXPECT_DOUBLE_EQ(CTFontGetAscent(label.f), 8);
}

TEST(CoreTextFont, FontsKeepTheEngineTheyWereMadeWith) {
    CTFontRef box;
    {
        BoxEngine on;
        box = CTFontCreateWithName("DejaVu Sans", 10);
    }
    FontHolder real(CTFontCreateWithName("DejaVu Sans", 10));
    EXPECT_DOUBLE_EQ(CTFontGetAscent(box), 8);
    EXPECT_NE(CTFontGetAscent(real.f), 8);
    EXPECT_FALSE(CTBoxFontEngineIsOn());
    CTFontRelease(box);
}
