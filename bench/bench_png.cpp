// PNG decoding beside libpng set up as the loader once set it up (the same
// alpha, red, green, blue bytes): the bundle's own images, and three
// generated 4k images (RGB noise, a flat RGB panel, a panel with alpha).
// Each side decodes from memory into pixels made ready once. The check
// compares every byte both wrote; a ratio over its target, or one differing
// byte, makes the run exit 1. Options as ratio_table.h.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "raster/RAST_PNG.h"
#include "raster/RAST_PngWrite.h"
#include "tests/raster/png_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 3840, kHeight = 2160;
constexpr double kTarget = 0.6;

// One encoded image and where each side decodes it.
struct Image {
    std::string name;
    std::vector<uint8_t> png;
    int width = 0, height = 0;
    std::unique_ptr<RAST_MemBitmap> ours;
    std::vector<uint8_t> theirs;

    void decodeOurs() {
        if (!RAST_LoadPNGFromMemory(png.data(), (int)png.size(), ours.get())) {
            std::fprintf(stderr, "%s: our decoder refused it\n", name.c_str());
            std::exit(1);
        }
    }
    void decodeTheirs() {
        auto into = [this](int w, int h) { return w == width && h == height ? theirs.data() : nullptr; };
        if (!pngtest::LibpngDecode(png.data(), png.size()).run(into)) {
            std::fprintf(stderr, "%s: libpng refused it\n", name.c_str());
            std::exit(1);
        }
    }
    // Both from outputs filled unlike: the number of pixels that differ.
    long compare() {
        for (int y = 0; y < height; ++y)
            std::fill_n(ours->getBits() + (size_t)y * ours->getRowSpan(), width, 0xA5A5A5A5u);
        std::fill(theirs.begin(), theirs.end(), 0x5A);
        decodeOurs();
        decodeTheirs();
        long differ = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                differ += memcmp(ours->getBits() + (size_t)y * ours->getRowSpan() + x,
                                 &theirs[((size_t)y * width + x) * 4], 4) != 0;
        return differ;
    }
};

std::unique_ptr<Image> Prepare(std::string name, std::vector<uint8_t> png) {
    auto im = std::make_unique<Image>();
    im->name = std::move(name);
    im->png = std::move(png);
    std::vector<uint8_t> probe;
    if (!pngtest::LibpngDecode(im->png.data(), im->png.size()).run(&probe, &im->width, &im->height)) return nullptr;
    im->ours = std::make_unique<RAST_MemBitmap>(im->width, im->height, 4);
    im->theirs.resize(probe.size());
    return im;
}

std::vector<uint8_t> Encode(RAST_PngImage image) {
    image.compressionLevel = -1;  // zlib's default
    std::vector<uint8_t> out;
    if (!RAST_EncodePng(image, &out)) std::abort();
    return out;
}

RAST_PngImage Rgb(int w, int h, int channels) {
    RAST_PngImage im;
    im.width = w, im.height = h, im.colorType = channels == 4 ? 6 : 2;
    im.rows.assign(h, std::vector<unsigned char>((size_t)w * channels));
    return im;
}

std::vector<uint8_t> Noise() {
    RAST_PngImage im = Rgb(kWidth, kHeight, 3);
    std::mt19937 rng(7);
    for (auto& row : im.rows)
        for (auto& b : row) b = (unsigned char)rng();
    return Encode(std::move(im));
}

// A panel as the editor draws one: flat sections, framed boxes with a
// shaded strip, and a few hundred small marks (labels, ticks). With alpha,
// the boxes cast soft shadows and the marks are translucent.
std::vector<uint8_t> Panel(bool alpha) {
    const int ch = alpha ? 4 : 3;
    RAST_PngImage im = Rgb(kWidth, kHeight, ch);
    auto put = [&](int x, int y, int r, int g, int b, int a) {
        unsigned char* p = &im.rows[y][(size_t)x * ch];
        p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b;
        if (alpha) p[3] = (unsigned char)a;
    };
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) put(x, y, 38 + (y / 540) * 6, 40, 46, 255);
    std::mt19937 rng(3);
    for (int bx = 40; bx + 300 < kWidth; bx += 360)
        for (int by = 60; by + 220 < kHeight; by += 270) {
            for (int y = by - 8; y < by + 228; ++y)
                for (int x = bx - 8; x < bx + 308; ++x) {
                    const bool inside = x >= bx && x < bx + 300 && y >= by && y < by + 220;
                    const bool frame = inside && (x == bx || x == bx + 299 || y == by || y == by + 219);
                    if (frame)
                        put(x, y, 150, 152, 160, 255);
                    else if (inside)
                        put(x, y, 60 + (y - by) / 8, 64 + (y - by) / 8, 72, 255);
                    else if (alpha)
                        put(x, y, 0, 0, 0,
                            120 - 12 * std::max(std::abs(x - bx - 150) - 150, std::abs(y - by - 110) - 110));
                }
            for (int m = 0; m < 12; ++m) {
                const int mx = bx + 10 + (int)(rng() % 270), my = by + 10 + (int)(rng() % 190);
                for (int y = my; y < my + 9; ++y)
                    for (int x = mx; x < mx + 18; ++x)
                        if (rng() & 1) put(x, y, 230, 220, 120, alpha ? 160 + (int)(rng() % 96) : 255);
            }
        }
    return Encode(std::move(im));
}

hvbench::Group Decode(std::vector<Image*> images, const std::string& title) {
    double px = 0;
    for (const Image* im : images) px += (double)im->width * im->height;
    hvbench::Case ours{"ours", px, [images] {
                           for (Image* im : images) im->decodeOurs();
                       }};
    hvbench::Case theirs{"libpng", px,
                         [images] {
                             for (Image* im : images) im->decodeTheirs();
                         },
                         kTarget};
    theirs.check = [images]() -> hvbench::Agreement {
        long differ = 0;
        for (Image* im : images) differ += im->compare();
        return {(double)differ, 0, " pixels that differ, of " + std::to_string(images.size()) + " images"};
    };
    return {title, "px", {ours, theirs}};
}

}  // namespace

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    std::vector<std::unique_ptr<Image>> store;
    std::vector<Image*> bundle;
#ifdef HV_BUNDLE_DIR
    const fs::path resources = fs::path(HV_BUNDLE_DIR) / "resources";
    std::vector<fs::path> files;
    if (fs::is_directory(resources))
        for (const auto& e : fs::recursive_directory_iterator(resources))
            if (e.is_regular_file() && e.path().extension() == ".png") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (auto im = Prepare(f.string(), std::move(bytes))) bundle.push_back(im.get()), store.push_back(std::move(im));
    }
#endif
    if (bundle.empty()) {
        std::fprintf(stderr, "no images in the bundle's resources: build halvoran-images first\n");
        return 1;
    }
    auto generated = [&](const char* name, std::vector<uint8_t> png) {
        store.push_back(Prepare(name, std::move(png)));
        if (!store.back()) std::abort();
        return std::vector<Image*>{store.back().get()};
    };
    const std::vector<hvbench::Group> groups = {
        Decode(bundle, "the bundle's " + std::to_string(bundle.size()) + " images"),
        Decode(generated("noise", Noise()), "4k RGB noise 3840x2160"),
        Decode(generated("panel", Panel(false)), "4k flat RGB panel 3840x2160"),
        Decode(generated("panel with alpha", Panel(true)), "4k RGBA panel with alpha 3840x2160"),
    };
    return hvbench::runTable("PNG decoding against libpng", groups, opt) ? 1 : 0;
}
