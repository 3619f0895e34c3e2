// The images the build paints into the bundle: every name of the image table
// loads through the panel's PNG loader in every skin and panel size with
// whole frames; knobs turn the right way; the painter is deterministic and
// refuses bad drawing data.
#include "framework/IGraphics.h"
#include "framework/IGraphicsMac.h"
#include "raster/RAST_PNG.h"
#include "uiconfig_log_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#if defined(HV_DRAW_IMAGES) && defined(HV_BUNDLE_DIR)

namespace {

namespace fs = std::filesystem;

const fs::path kBundle = HV_BUNDLE_DIR;

// A manager whose panel reads the images the build put into the bundle.
struct BuiltBundle : hvtest::LoggedManager {
    std::unique_ptr<IGraphics> graphics;
    std::string previous;
    bool hadPrevious = false;

    BuiltBundle(int skin, double scale) {
        if (const char* old = std::getenv("HALVORAN_BUNDLE")) previous = old, hadPrevious = true;
        setenv("HALVORAN_BUNDLE", kBundle.c_str(), 1);
        graphics.reset(MakeGraphics(&plug, int(1200 * scale), int(720 * scale), 25, scale));
        manager.graphics = graphics.get();
        manager.scale = scale;
        manager.skin = skin;
        manager.initImages(graphics.get());
    }
    ~BuiltBundle() {
        manager.ClearImageCache();
        graphics.reset();
        if (hadPrevious)
            setenv("HALVORAN_BUNDLE", previous.c_str(), 1);
        else
            unsetenv("HALVORAN_BUNDLE");
    }
};

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int runPainter(const std::string& args) {
    const std::string cmd = std::string("\"") + HV_DRAW_IMAGES + "\" " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str());
}

TEST(BundleImages, EveryTableNameLoadsWithWholeFramesInEverySkinAndSize) {
    for (int skin = 0; skin < 3; skin++) {
        std::map<std::string, std::pair<int, int>> full;  // name -> size at scale 1.0
        for (double scale : {1.0, 0.75, 1.25}) {
            BuiltBundle b(skin, scale);
            ASSERT_EQ(b.manager.images.size(), 54u) << "skin " << skin << " scale " << scale;
            for (const auto& [name, info] : b.manager.images) {
                const IBitmap bm = b.manager.getImageByName(b.graphics.get(), name);
                const std::string where = name + " skin " + std::to_string(skin) + " scale " + std::to_string(scale);
                ASSERT_NE(bm.mData, nullptr) << where;
                // Strips stack their frames; every frame keeps the same whole size.
                EXPECT_FALSE(info.horizontal && info.frames > 1) << where;
                EXPECT_EQ(bm.H % info.frames, 0) << where << ": " << bm.H << " rows for " << info.frames << " frames";
                if (name.rfind("IKNOBROTATERCONTROL", 0) == 0) {
                    EXPECT_EQ(bm.W, bm.H / info.frames) << where;
                }
                if (scale == 1.0) {
                    full[name] = {bm.W, bm.H};
                } else {
                    EXPECT_EQ(bm.W, full[name].first * scale) << where;
                    EXPECT_EQ(bm.H, full[name].second * scale) << where;
                }
            }
        }
        // The backgrounds cover the panel or a part of it.
        EXPECT_EQ(full["BG_ID_PLAIN"], std::make_pair(1200, 720));
        EXPECT_GE(full["BG_ID_BROWSER"].first, 1048);  // the librarian's slot grid reaches x + 1016
        EXPECT_GE(full["BG_ID_BROWSER"].second, 564);
    }
}

TEST(BundleImages, KnobPointerTurnsClockwiseFromLeftStopToRightStop) {
    std::unique_ptr<RAST_IBitmap> strip(RAST_LoadPNG((kBundle / "resources/img-v2/Halvoran25.png").c_str(), nullptr));
    ASSERT_TRUE(strip);
    const int size = strip->getWidth(), frames = 25;
    ASSERT_EQ(strip->getHeight(), size * frames);
    double last = -1000;
    for (int f = 0; f < frames; f++) {
        // The pointer is the only near-white ink of a frame.
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) {
                const unsigned p = strip->getBits()[(size_t)(f * size + y) * strip->getRowSpan() + x];
                if (RAST_PixelAlpha(p) > 200 && RAST_PixelRed(p) > 220 && RAST_PixelGreen(p) > 220 &&
                    RAST_PixelBlue(p) > 200)
                    sx += x + 0.5 - size / 2.0, sy += y + 0.5 - size / 2.0, n++;
            }
        ASSERT_GT(n, 4) << "frame " << f;
        const double angle = std::atan2(sx / n, -sy / n) * 180 / M_PI;  // 0 up, clockwise positive
        const double expected = -135 + 270.0 * f / (frames - 1);
        EXPECT_NEAR(angle, expected, 8) << "frame " << f;
        EXPECT_GT(angle, last) << "frame " << f;
        last = angle;
    }
}

TEST(BundleImages, PainterIsDeterministicAndRefusesBadData) {
    hvtest::TempDataDir a, b;
    const std::string only = "--only Halvoran25.png,bg-main-pla.png,button-black.png,browser-layer.png ";
    const std::string src = std::string("\"") + HV_SOURCE_DIR + "/resources\" ";
    ASSERT_EQ(runPainter(only + src + "\"" + a.path().string() + "\""), 0);
    ASSERT_EQ(runPainter(only + src + "\"" + b.path().string() + "\""), 0);
    for (const char* f :
         {"img-v2/Halvoran25.png", "img-v2/bg-main-pla.png", "img-v2/button-black.png", "img-v2/browser-layer.png"}) {
        const std::string first = bytesOf(a.path() / f);
        ASSERT_FALSE(first.empty()) << f;
        EXPECT_EQ(first, bytesOf(b.path() / f)) << f;
        EXPECT_EQ(first, bytesOf(kBundle / "resources" / f)) << f << ": the bundle's copy is stale";
    }
    EXPECT_FALSE(fs::exists(a.path() / "img-v2/Halvoran1.png"));  // --only paints nothing else

    // A size that would break frames at the small or large panel size, and a
    // layout entry without a rectangle, stop the painter before it writes.
    hvtest::TempDataDir bad;
    fs::create_directories(bad.path() / "src/images");
    const fs::path out = bad.path() / "out";
    const std::string badSrc = "\"" + (bad.path() / "src").string() + "\" \"" + out.string() + "\"";
    std::ofstream(bad.path() / "src/images/images.xml")
        << "<images><image file=\"img-v2/k.png\" kind=\"knob\" frames=\"3\" size=\"30,30\"/></images>";
    std::ofstream(bad.path() / "src/images/default-sections.xml") << "<panelSections/>";
    EXPECT_NE(runPainter(badSrc), 0);
    std::ofstream(bad.path() / "src/images/images.xml")
        << "<images><image file=\"img-v2/k.png\" kind=\"knob\" frames=\"3\" size=\"32,32\"/></images>";
    std::ofstream(bad.path() / "src/panel-sections.xml") << "<panelSections><section label=\"X\"/></panelSections>";
    EXPECT_NE(runPainter(badSrc), 0);
    EXPECT_FALSE(fs::exists(out / "img-v2/k.png"));
    // The panel's own frame size is honoured, rounded up to whole frames.
    std::ofstream(bad.path() / "src/panel-sections.xml")
        << "<panelSections><images><image name=\"KNOB\" w=\"38\" h=\"38\" frames=\"3\" kind=\"knob\"/>"
           "</images></panelSections>";
    std::ofstream(bad.path() / "src/images/images.xml")
        << "<images><image file=\"img-v2/k.png\" name=\"KNOB\" kind=\"knob\" frames=\"3\" size=\"32,32\"/></images>";
    EXPECT_EQ(runPainter(badSrc), 0);
    std::unique_ptr<RAST_IBitmap> knob(RAST_LoadPNG((out / "img-v2/k.png").c_str(), nullptr));
    ASSERT_TRUE(knob);
    EXPECT_EQ(knob->getWidth(), 40);
    EXPECT_EQ(knob->getHeight(), 3 * 40);
}

}  // namespace

#endif
