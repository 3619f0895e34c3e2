// PNG decoding of every colour type and bit depth into alpha, red, green,
// blue bytes, the given-bitmap rules, flipped bitmaps and the loader record.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "raster/RAST_PNG.h"
#include "tests/raster/png_test_util.h"

namespace fs = std::filesystem;
using pngtest::PngShape;

namespace {

struct Argb {
    int a, r, g, b;
    bool operator==(const Argb& o) const { return a == o.a && r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Argb& p) {
    return os << "(a " << p.a << ", r " << p.r << ", g " << p.g << ", b " << p.b << ")";
}

Argb At(RAST_IBitmap* bm, int x, int y) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bm->getBits() + (size_t)y * bm->getRowSpan() + x);
    return Argb{p[0], p[1], p[2], p[3]};
}

std::unique_ptr<RAST_IBitmap> Load(const std::vector<uint8_t>& png) {
    return std::unique_ptr<RAST_IBitmap>(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr));
}

// One row of gray samples.
std::vector<std::vector<unsigned>> Row(std::vector<unsigned> v) { return {std::move(v)}; }

struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/hv-png-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        fs::path p = fs::path(path) / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        return p.string();
    }
    std::string path;
};

// A bitmap that reports itself flipped (memory row 0 is the picture's bottom).
class FlippedBitmap : public RAST_MemBitmap {
public:
    using RAST_MemBitmap::RAST_MemBitmap;
    bool isFlipped() override { return true; }
};

// A bitmap whose resize never reaches the size asked for.
class StuckBitmap : public RAST_MemBitmap {
public:
    StuckBitmap() : RAST_MemBitmap(3, 3, 4) {}
    bool resize(int, int) override { return false; }
};

std::vector<uint8_t> TwoRowRgb() {
    PngShape s;
    s.width = 2, s.height = 2, s.colorType = PNG_COLOR_TYPE_RGB;
    return pngtest::Encode(s, {{10, 20, 30, 40, 50, 60}, {70, 80, 90, 100, 110, 120}});
}

}  // namespace

TEST(PngDecode, TrueColourWithAndWithoutAlphaAtBothDepths) {
    PngShape rgb;
    rgb.width = 2, rgb.height = 1, rgb.colorType = PNG_COLOR_TYPE_RGB;
    auto bm = Load(pngtest::Encode(rgb, Row({1, 2, 3, 250, 251, 252})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->getWidth(), 2);
    EXPECT_EQ(At(bm.get(), 0, 0), (Argb{255, 1, 2, 3}));
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 250, 251, 252}));

    PngShape rgba = rgb;
    rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    bm = Load(pngtest::Encode(rgba, Row({200, 100, 50, 0, 200, 100, 50, 77})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0), (Argb{0, 200, 100, 50})) << "straight alpha: colour kept under alpha 0";
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{77, 200, 100, 50}));

    PngShape rgb16 = rgb;
    rgb16.depth = 16;
    bm = Load(pngtest::Encode(rgb16, Row({0x1234, 0xABCD, 0xFFFF, 0, 0x00FF, 0x8000})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0), (Argb{255, 0x12, 0xAB, 0xFF}));
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 0, 0, 0x80}));

    PngShape rgba16 = rgba;
    rgba16.depth = 16;
    bm = Load(pngtest::Encode(rgba16, Row({0xFF00, 0x8000, 0x0100, 0x4000, 0, 0, 0, 0xFFFF})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0), (Argb{0x40, 0xFF, 0x80, 0x01}));
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 0, 0, 0}));
}

TEST(PngDecode, GrayAtEveryDepthBecomesGrayRgb) {
    struct Case {
        int depth;
        std::vector<unsigned> in;
        std::vector<int> out;
    };
    const Case cases[] = {
        {1, {0, 1, 1, 0, 1}, {0, 255, 255, 0, 255}},
        {2, {0, 1, 2, 3, 1}, {0, 85, 170, 255, 85}},
        {4, {0, 5, 15, 8, 1}, {0, 85, 255, 136, 17}},
        {8, {0, 7, 128, 254, 255}, {0, 7, 128, 254, 255}},
        {16, {0, 0x0700, 0x80FF, 0xFE00, 0xFFFF}, {0, 7, 128, 254, 255}},
    };
    for (const Case& c : cases) {
        PngShape s;
        s.width = 5, s.height = 1, s.colorType = PNG_COLOR_TYPE_GRAY, s.depth = c.depth;
        auto bm = Load(pngtest::Encode(s, Row(c.in)));
        ASSERT_TRUE(bm) << c.depth;
        for (int x = 0; x < 5; ++x) EXPECT_EQ(At(bm.get(), x, 0), (Argb{255, c.out[x], c.out[x], c.out[x]})) << c.depth;
    }
    for (int depth : {8, 16}) {
        PngShape ga;
        ga.width = 2, ga.height = 1, ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, ga.depth = depth;
        unsigned k = depth == 16 ? 257 : 1;
        auto bm = Load(pngtest::Encode(ga, Row({60 * k, 0, 200 * k, 255 * k})));
        ASSERT_TRUE(bm);
        EXPECT_EQ(At(bm.get(), 0, 0), (Argb{0, 60, 60, 60}));
        EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 200, 200, 200}));
    }
}

TEST(PngDecode, PaletteAtEveryDepthWithAndWithoutTransparency) {
    std::vector<png_color> pal = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    for (int depth : {1, 2, 4, 8}) {
        int n = depth == 1 ? 2 : 4;
        PngShape s;
        s.width = 4, s.height = 1, s.colorType = PNG_COLOR_TYPE_PALETTE, s.depth = depth;
        s.palette.assign(pal.begin(), pal.begin() + n);
        std::vector<unsigned> idx = {0, 1, (unsigned)(n - 1), 0};
        auto bm = Load(pngtest::Encode(s, Row(idx)));
        ASSERT_TRUE(bm) << depth;
        for (int x = 0; x < 4; ++x) {
            const png_color& c = pal[idx[x]];
            EXPECT_EQ(At(bm.get(), x, 0), (Argb{255, c.red, c.green, c.blue})) << depth << " " << x;
        }
        s.paletteAlpha = {0, 128};  // entries past these stay opaque
        bm = Load(pngtest::Encode(s, Row(idx)));
        ASSERT_TRUE(bm);
        EXPECT_EQ(At(bm.get(), 0, 0), (Argb{0, 255, 0, 0}));
        EXPECT_EQ(At(bm.get(), 1, 0), (Argb{128, 0, 255, 0}));
        if (n == 4) {
            EXPECT_EQ(At(bm.get(), 2, 0), (Argb{255, 9, 8, 7}));
        }
    }
}

TEST(PngDecode, ColourKeyTransparencyForGrayAndRgb) {
    PngShape g;
    g.width = 3, g.height = 1, g.colorType = PNG_COLOR_TYPE_GRAY;
    g.hasTrnsColor = true;
    g.trnsColor.gray = 40;
    auto bm = Load(pngtest::Encode(g, Row({40, 41, 200})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0).a, 0);
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 41, 41, 41}));
    EXPECT_EQ(At(bm.get(), 2, 0), (Argb{255, 200, 200, 200}));

    PngShape g2 = g;
    g2.depth = 2;
    g2.trnsColor.gray = 2;
    bm = Load(pngtest::Encode(g2, Row({2, 3, 0})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0).a, 0);
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 255, 255, 255}));

    PngShape c;
    c.width = 2, c.height = 1, c.colorType = PNG_COLOR_TYPE_RGB;
    c.hasTrnsColor = true;
    c.trnsColor.red = 1, c.trnsColor.green = 2, c.trnsColor.blue = 3;
    bm = Load(pngtest::Encode(c, Row({1, 2, 3, 1, 2, 4})));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0).a, 0);
    EXPECT_EQ(At(bm.get(), 1, 0), (Argb{255, 1, 2, 4}));
}

TEST(PngDecode, InterlacedImageMatchesTheSameImagePlain) {
    PngShape s;
    s.width = 13, s.height = 9, s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    std::vector<std::vector<unsigned>> rows(9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            for (unsigned v : {unsigned(x * 19), unsigned(y * 27), unsigned(x * y), unsigned(255 - x)})
                rows[y].push_back(v);
    auto plain = Load(pngtest::Encode(s, rows));
    s.interlace = true;
    auto laced = Load(pngtest::Encode(s, rows));
    ASSERT_TRUE(plain);
    ASSERT_TRUE(laced);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) {
            EXPECT_EQ(At(laced.get(), x, y), At(plain.get(), x, y));
            EXPECT_EQ(At(plain.get(), x, y), (Argb{255 - x, x * 19, y * 27, x * y}));
        }
}

TEST(PngLoad, GivenBitmapIsResizedAndReturnedOrRefused) {
    auto png = TwoRowRgb();
    RAST_MemBitmap given(7, 1, 4);
    EXPECT_EQ(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &given), &given);
    EXPECT_EQ(given.getWidth(), 2);
    EXPECT_EQ(given.getHeight(), 2);
    EXPECT_EQ(At(&given, 1, 1), (Argb{255, 100, 110, 120}));

    StuckBitmap stuck;
    const unsigned int before = stuck.getBits()[0] = 0xDEADBEEF;
    EXPECT_EQ(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &stuck), nullptr);
    EXPECT_EQ(stuck.getBits()[0], before) << "nothing written into a bitmap of the wrong size";
}

TEST(PngLoad, FlippedBitmapUprightFromFileUpsideDownFromMemory) {
    TempDir dir;
    auto png = TwoRowRgb();
    std::string path = dir.write("two.png", png);
    FlippedBitmap fromFile(1, 1, 4), fromMemory(1, 1, 4);
    ASSERT_EQ(RAST_LoadPNG(path.c_str(), &fromFile), &fromFile);
    ASSERT_EQ(RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &fromMemory), &fromMemory);
    // Memory row 1 is the picture's top row of a flipped bitmap.
    EXPECT_EQ(At(&fromFile, 0, 1), (Argb{255, 10, 20, 30}));
    EXPECT_EQ(At(&fromFile, 0, 0), (Argb{255, 70, 80, 90}));
    EXPECT_EQ(At(&fromMemory, 0, 0), (Argb{255, 10, 20, 30}));
}

TEST(PngLoad, FilesAndTheLoaderRecord) {
    TempDir dir;
    auto png = TwoRowRgb();
    std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNG(dir.write("x.png", png).c_str(), nullptr));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 0, 0), (Argb{255, 10, 20, 30}));
    EXPECT_EQ(RAST_LoadPNG((dir.path + "/missing.png").c_str(), nullptr), nullptr);
    EXPECT_EQ(RAST_LoadPNG(nullptr, nullptr), nullptr);
    EXPECT_EQ(RAST_LoadPNG(dir.path.c_str(), nullptr), nullptr) << "a folder";

    for (const char* ok : {"a.PNG", "x/b.png"}) {
        std::string p = dir.write(ok, png);
        std::unique_ptr<RAST_IBitmap> got(RAST_PNGLoader::loadfunc(p.c_str(), true, nullptr));
        EXPECT_TRUE(got) << ok;
    }
    for (const char* refused : {"a.png.txt", "dir.png/file"}) {
        std::string p = dir.write(refused, png);
        EXPECT_EQ(RAST_PNGLoader::loadfunc(p.c_str(), true, nullptr), nullptr) << refused;
        std::unique_ptr<RAST_IBitmap> unchecked(RAST_PNGLoader::loadfunc(p.c_str(), false, nullptr));
        EXPECT_TRUE(unchecked) << "without the name check the content decides: " << refused;
    }

    const char* ext = RAST_PNGLoader::get_extlist();
    EXPECT_STREQ(ext, "PNG files (*.PNG)");
    EXPECT_STREQ(ext + strlen(ext) + 1, "*.PNG");
    EXPECT_EQ(ext[strlen(ext) + 1 + 6], '\0');
    bool found = false;
    for (RAST_ImageLoader_rec* r = RAST_ImageLoader_list; r; r = r->_next)
        if (r->loadfunc == RAST_PNGLoader::loadfunc && r->get_extlist() == ext) found = true;
    EXPECT_TRUE(found);

    EXPECT_EQ(RAST_LoadPNGFromResource(nullptr, 1, nullptr), nullptr);
}

TEST(PngLoad, ShortOrForeignMemoryBlocksAreRefusedUpFront) {
    auto png = TwoRowRgb();
    EXPECT_EQ(RAST_LoadPNGFromMemory(png.data(), 7, nullptr), nullptr);
    EXPECT_EQ(RAST_LoadPNGFromMemory(png.data(), -5, nullptr), nullptr);
    EXPECT_EQ(RAST_LoadPNGFromMemory(nullptr, 100, nullptr), nullptr);
    const char gif[] = "GIF89a\0\0\0\0\0\0";
    EXPECT_EQ(RAST_LoadPNGFromMemory(gif, sizeof gif, nullptr), nullptr);
}

TEST(PngLoad, NamedResourcesComeFromTheBundlesResourceFolder) {
    TempDir bundle;
    bundle.write("resources/img/knob.png", TwoRowRgb());
    const char* old = getenv("HALVORAN_BUNDLE");
    std::string saved = old ? old : "";
    setenv("HALVORAN_BUNDLE", bundle.path.c_str(), 1);
    std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromNamedResource("img/knob.png", nullptr));
    ASSERT_TRUE(bm);
    EXPECT_EQ(At(bm.get(), 1, 1), (Argb{255, 100, 110, 120}));
    EXPECT_EQ(RAST_LoadPNGFromNamedResource("img/none.png", nullptr), nullptr);
    EXPECT_EQ(RAST_LoadPNGFromNamedResource(nullptr, nullptr), nullptr);
    // Names of 400 bytes load; of 401, not, though the file is there.
    std::string name400 = std::string(200, 'a') + "/" + std::string(195, 'b') + ".png";
    std::string name401 = std::string(200, 'a') + "/" + std::string(196, 'b') + ".png";
    ASSERT_EQ(name400.size(), 400u);
    ASSERT_EQ(name401.size(), 401u);
    bundle.write("resources/" + name400, TwoRowRgb());
    bundle.write("resources/" + name401, TwoRowRgb());
    std::unique_ptr<RAST_IBitmap> at400(RAST_LoadPNGFromNamedResource(name400.c_str(), nullptr));
    EXPECT_TRUE(at400);
    EXPECT_EQ(RAST_LoadPNGFromNamedResource(name401.c_str(), nullptr), nullptr);
    if (old)
        setenv("HALVORAN_BUNDLE", saved.c_str(), 1);
    else
        unsetenv("HALVORAN_BUNDLE");
}
