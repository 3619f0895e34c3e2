// Panel text in real fonts at the three panel sizes, written as a PNG next to
// the test program for a person to look at; every text's ink must lie inside
// the rectangle its font measured for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "raster/RAST_CachedFont.h"
#include "raster/RAST_PngWrite.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_SysBitmap.h"

namespace {

std::string besideThisProgram(const char* name) {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string dir = n > 0 ? std::string(buf, (size_t)n) : std::string("./x");
    return dir.substr(0, dir.find_last_of('/') + 1) + name;
}

std::vector<unsigned int> snapshot(RAST_IBitmap& bm) {
    std::vector<unsigned int> v;
    for (int y = 0; y < bm.getHeight(); y++)
        for (int x = 0; x < bm.getWidth(); x++) v.push_back(bm.getBits()[y * bm.getRowSpan() + x]);
    return v;
}

}  // namespace

TEST(RasterTextSample, PanelTextInThreeSizesStaysInsideItsMeasuredRectangles) {
    RAST_SysBitmap panel(880, 240);
    const unsigned int background = RAST_MakePixel(255, 0x24, 0x26, 0x2B);
    RAST_FillRect(&panel, 0, 0, 880, 240, background, 1.0f, 0);

    struct Style {
        unsigned int colour;
        int weight;
    };
    const Style styles[] = {
        {RAST_MakePixel(255, 0xF2, 0xF2, 0xF2), 400},  // opaque: the toolkit draws it
        {RAST_MakePixel(255, 0xFF, 0xA0, 0x30), 700},
        {RAST_MakePixel(150, 0x80, 0xD0, 0xFF), 400},  // translucent: the glyph cache draws it
    };
    // The plus-minus sign in octal, whose escape ends after three digits.
    const char* texts[] = {"CUTOFF 127  RESONANCE 64", "Filter EG Attack: 0.75 s",
                           "A-01 Init Program \xE2\x80\xA2 D\xC3\xA9tune \302\26112"};
    const int sizes[] = {9, 13, 16};  // the panel's text at scales 0.75, 1.0 and 1.25

    int y = 8, checked = 0;
    for (int size : sizes) {
        for (const Style& style : styles) {
            RAST_CachedFont font;
            font.SetFromHFont(CreateFont(size, 0, 0, 0, style.weight, 0, 0, 0, 0, 0, 0, 0, 0, "NK57 Monospace"),
                              RAST_FONT_OWNS_HFONT | RAST_FONT_NATIVE);
            ASSERT_GT(font.GetLineHeight(), 0);
            font.SetTextColor(style.colour);
            const unsigned int alphaFlag = RAST_PixelAlpha(style.colour) < 255 ? RAST_DT_TEXTALPHA : 0;
            int x = 10;
            for (const char* text : texts) {
                RECT r{x, y, x, y};
                const int h = font.DrawText(&panel, text, -1, &r, DT_CALCRECT | alphaFlag);
                EXPECT_GT(h, size / 2);
                EXPECT_GT(r.right - r.left, 4 * size);

                const auto before = snapshot(panel);
                RECT at = r;
                font.DrawText(&panel, text, -1, &at, DT_NOCLIP | alphaFlag);
                const auto after = snapshot(panel);
                int inked = 0;
                for (int py = 0; py < panel.getHeight(); py++)
                    for (int px = 0; px < panel.getWidth(); px++) {
                        if (before[(size_t)py * panel.getWidth() + px] == after[(size_t)py * panel.getWidth() + px])
                            continue;
                        inked++;
                        EXPECT_TRUE(px >= r.left && px < r.right && py >= r.top && py < r.bottom)
                            << "\"" << text << "\" size " << size << ": ink at " << px << "," << py << " outside "
                            << r.left << "," << r.top << " - " << r.right << "," << r.bottom;
                    }
                EXPECT_GT(inked, 20 * size) << text;
                checked++;
                x = r.right + 14;
            }
            y += font.GetLineHeight() + 6;
        }
        y += 8;
    }
    EXPECT_EQ(checked, 27);
    ASSERT_LT(y, panel.getHeight());

    const std::string path = besideThisProgram("sample_panel_text.png");
    ASSERT_TRUE(RAST_WritePng(path, RAST_PngFromBitmap(panel, RAST_PngAlpha::kDrop))) << path;
    RecordProperty("png", path);
}
