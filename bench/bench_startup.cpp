// Start-up of the full editor as a host sees it: the plug-in library opened
// through its component entry, which reads the settings file, scans the bank
// folder, deciphers the panel description and builds every layer and control
// with its images, for each panel size and skin. Reports the time per open
// and the share of it that a bare library load and close take.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/audiounit/AUHost.h"
#include "src/Settings.h"

namespace {

namespace fs = std::filesystem;

struct DataFolder {
    fs::path path;
    DataFolder() {
        path = fs::temp_directory_path() / ("halvoran-bench-" + std::to_string(::getpid()));
        fs::create_directories(path / "Patches");
        setenv("HALVORAN_DATA_DIR", path.c_str(), 1);
    }
    ~DataFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

platform::au::Component& plugin() {
    static std::unique_ptr<platform::au::Component> c = [] {
        std::string error;
        auto loaded = platform::au::Component::load(HV_PLUGIN_PATH, &error);
        if (!loaded) {
            fprintf(stderr, "cannot load %s: %s\n", HV_PLUGIN_PATH, error.c_str());
            std::exit(1);
        }
        return loaded;
    }();
    return *c;
}

void OpenEditor(benchmark::State& state) {
    DataFolder data;
    HalvoranSettings settings;
    settings.size = static_cast<int>(state.range(0));
    settings.skin = static_cast<int>(state.range(1));
    settings.firstRun = false;
    writeSettingsFile(settingsFilePath(data.path.string() + "/", "Halvoran"), settings);
    for (auto _ : state) {
        platform::au::Instance editor(plugin().entry());
        if (editor.open() != 0) {
            state.SkipWithError("the editor did not open");
            break;
        }
        editor.initialize();
        editor.close();
    }
    state.SetLabel(std::string(HalvoranSettings::sizeWord(settings.size)) + "/" +
                   HalvoranSettings::skinWord(settings.skin));
}

}  // namespace

BENCHMARK(OpenEditor)
    ->ArgsProduct({{HalvoranSettings::kSizeSmall, HalvoranSettings::kSizeNormal, HalvoranSettings::kSizeLarge},
                   {HalvoranSettings::kSkinLegacy, HalvoranSettings::kSkinSModel, HalvoranSettings::kSkinPlatinum}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

BENCHMARK_MAIN();
