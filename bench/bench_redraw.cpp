// What the panel costs to draw: a full redraw of the program page at each
// size and skin, and one timer tick of the idle panel (nothing changed), each
// beside a plain copy of the panel's pixels, the least a redraw can cost.
// Goals: a full redraw at the large size within 2 ms; the idle panel, at 25
// ticks a second, within 0.5% of a core (200 us a tick).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "framework/IGraphics.h"
#include "raster/RAST_Bitmap.h"
#include "src/Halvoran.h"
#include "src/Settings.h"

namespace {

namespace fs = std::filesystem;

const char* const kSizes[] = {"small", "normal", "large"};
const char* const kSkins[] = {"legacy", "s-model", "platinum"};

// One editor with its own data folder, on the program page.
struct Editor {
    fs::path data;
    std::unique_ptr<Halvoran> plug;
    IGraphics* g = nullptr;
    std::vector<unsigned int> copy;

    Editor(int size, int skin) {
        data = fs::temp_directory_path() /
               ("halvoran-bench-redraw-" + std::to_string(::getpid()) + "-" + std::to_string(size * 3 + skin));
        fs::create_directories(data / "Patches");
        setenv("HALVORAN_DATA_DIR", data.c_str(), 1);
        HalvoranSettings settings;
        settings.size = size;
        settings.skin = skin;
        settings.firstRun = false;
        writeSettingsFile(settingsFilePath(data.string() + "/", "Halvoran"), settings);
        plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
        g = plug->GetGUI();
        plug->GetParam(kMainTab)->Set(2);
        plug->OnParamChange(kMainTab);
        // Twice: a control flagged to redraw stays dirty for one more frame.
        redraw();
        redraw();
        copy.resize(static_cast<size_t>(g->Width()) * g->Height());
    }
    ~Editor() {
        plug.reset();
        std::error_code ec;
        fs::remove_all(data, ec);
    }
    void redraw() {
        IRECT all(0, 0, g->Width(), g->Height());
        g->SetAllControlsDirty();
        g->Draw(&all);
    }
    // What the timer does when nothing changed.
    void idleTick() {
        g->OnGUIIdle();
        IRECT r;
        if (g->IsDirty(&r)) g->Draw(&r);
    }
    void copyPixels() {
        RAST_IBitmap* s = g->GetDrawBitmap();
        const int w = g->Width();
        for (int y = 0; y < g->Height(); ++y)
            std::memcpy(copy.data() + static_cast<size_t>(y) * w,
                        s->getBits() + static_cast<size_t>(y) * s->getRowSpan(), static_cast<size_t>(w) * 4);
    }
};

}  // namespace

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
#ifdef HV_BUNDLE_DIR
    setenv("HALVORAN_BUNDLE", HV_BUNDLE_DIR, 0);
#endif
    std::vector<std::unique_ptr<Editor>> editors;
    std::vector<hvbench::Group> groups;
    for (int size = 0; size < 3; ++size)
        for (int skin = 0; skin < 3; ++skin) {
            editors.push_back(std::make_unique<Editor>(size, skin));
            Editor* e = editors.back().get();
            const std::string at = std::string(kSizes[size]) + " " + kSkins[skin];
            groups.push_back({"full redraw, " + at,
                              "redraw",
                              {{"full redraw", 1, [e] { e->redraw(); }, 0, size == 2 ? 2e-3 : 0},
                               {"pixel copy", 1, [e] { e->copyPixels(); }}}});
            // The idle panel's share of a core is 25 ticks a second of this.
            groups.push_back(
                {"idle tick, " + at,
                 "tick",
                 {{"idle tick", 1, [e] { e->idleTick(); }, 0, 200e-6}, {"pixel copy", 1, [e] { e->copyPixels(); }}}});
        }
    return hvbench::runTable("the panel's redraw against a plain copy of its pixels", groups, opt) > 0 ? 1 : 0;
}
