#pragma once
// A bundle folder for the UI configuration tests: HALVORAN_BUNDLE names a
// fresh folder whose resources/ the test fills with enciphered resources and
// PNG images, and a headless panel loads them.
#include "framework/IGraphics.h"
#include "framework/IGraphicsMac.h"
#include "src/TeaKey.h"
#include "src/TeaResource.h"
#include "uiconfig_log_fixture.h"

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace hvtest {

// HALVORAN_BUNDLE names root while this lives; what it named before comes back.
struct BundleFolder {
    std::filesystem::path root;
    std::string previousBundle;
    bool hadBundle = false;

    explicit BundleFolder(std::filesystem::path folder) : root(std::move(folder)) {
        if (const char* old = std::getenv("HALVORAN_BUNDLE")) {
            previousBundle = old;
            hadBundle = true;
        }
        setenv("HALVORAN_BUNDLE", root.c_str(), 1);
        std::filesystem::create_directories(root / "resources");
    }
    ~BundleFolder() {
        if (hadBundle)
            setenv("HALVORAN_BUNDLE", previousBundle.c_str(), 1);
        else
            unsetenv("HALVORAN_BUNDLE");
    }
    BundleFolder(const BundleFolder&) = delete;
    BundleFolder& operator=(const BundleFolder&) = delete;

    std::filesystem::path resource(const std::string& name) const { return root / "resources" / name; }

    // Writes bytes as the bundle resource name.
    void putResource(const std::string& name, const std::string& bytes) const {
        std::ofstream(resource(name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Enciphers text under the resource key (or another key) into the bundle.
    void putEnciphered(const std::string& name, const std::string& text, const unsigned int* key = nullptr) const {
        unsigned int own[4];
        buildResourceKey(own);
        putResource(name, teaEncipherResource(text, key ? key : own));
    }

    static std::string sourceData(const std::string& name) {
        std::ifstream in(std::string(HV_SOURCE_DIR) + "/tests/editor/data/" + name, std::ios::binary);
        if (!in) throw std::runtime_error("missing test data " + name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // A w x h opaque PNG as the bundle resource name.
    void putPng(const std::string& name, int w, int h) const {
        std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 4, 0xFF);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = w;
        image.height = h;
        image.format = PNG_FORMAT_RGBA;
        if (!png_image_write_to_file(&image, resource(name).c_str(), 0, pixels.data(), 0, nullptr))
            throw std::runtime_error("cannot write " + name);
    }
};

struct BundleManager : LoggedManager, BundleFolder {
    std::unique_ptr<IGraphics> graphics;

    explicit BundleManager(double scale = 1.0) : BundleFolder(dir.path()) {
        graphics.reset(MakeGraphics(&plug, 1200, 800, 25, scale));
        manager.graphics = graphics.get();
        manager.scale = scale;
    }

    ~BundleManager() {
        // The bitmap cache outlives the panel: take out what this test put in.
        manager.ClearImageCache();
        graphics.reset();
    }
};

}  // namespace hvtest
