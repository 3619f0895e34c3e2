// Bitmap objects, named images, blits between contexts, clip regions, system
// colours and image lists.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/RAST_PngWrite.h"
#include "shim/shim-gdi-image.h"
#include "support/TestCanvas.h"

namespace {

// A memory context whose pixels tests read and write directly.
struct Mem : hvtest::TestCanvas {
    Mem(int w, int h) : Mem(SHIM_CreateMemContext(nullptr, w, h), w, h) {}
    Mem(HDC hdc, int w, int h) : TestCanvas(static_cast<unsigned char*>(SHIM_GetCtxFrameBuffer(hdc)), w, h), hdc(hdc) {}
    ~Mem() { SHIM_DeleteGfxContext(hdc); }
    HDC hdc;
};

// Opaque premultiplied ARGB bytes for a list of 0xRRGGBB colours.
std::vector<unsigned char> argb(std::initializer_list<int> colours) {
    std::vector<unsigned char> v;
    for (int c : colours) {
        v.push_back(255);
        v.push_back((unsigned char)(c >> 16));
        v.push_back((unsigned char)(c >> 8));
        v.push_back((unsigned char)c);
    }
    return v;
}

std::string writePNG(const std::filesystem::path& path, int w, int h, const std::vector<unsigned char>& rgba) {
    RAST_PngImage img;
    img.width = w;
    img.height = h;
    img.colorType = 6;  // RGBA
    for (int y = 0; y < h; y++) img.rows.emplace_back(rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
    EXPECT_TRUE(RAST_WritePng(path.string(), img));
    return path.string();
}

// A PNG file of a header declaring w x h RGBA pixels and a scrap of data:
// 74 bytes, whatever the size it declares.
std::string pngHeaderOnly(const std::filesystem::path& path, uint32_t w, uint32_t h) {
    std::string file = "\x89PNG\r\n\x1A\n";
    auto chunk = [&](const char* type, const std::string& data) {
        const uint32_t n = htonl(uint32_t(data.size()));
        file.append(reinterpret_cast<const char*>(&n), 4);
        const std::string body = type + data;
        file += body;
        const uint32_t crc = htonl(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
        file.append(reinterpret_cast<const char*>(&crc), 4);
    };
    std::string header(13, '\0');
    const uint32_t size[2] = {htonl(w), htonl(h)};
    memcpy(header.data(), size, 8);
    header[8] = 8;  // bits per channel
    header[9] = 6;  // RGBA
    chunk("IHDR", header);
    Bytef scrap[32];
    uLongf n = sizeof scrap;
    compress2(scrap, &n, reinterpret_cast<const Bytef*>("\0\0\0\0\0\0"), 6, 0);
    chunk("IDAT", std::string(reinterpret_cast<const char*>(scrap), n));
    chunk("IEND", "");
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
    return path.string();
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        char tmpl[] = "/tmp/halvoran-images-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

}  // namespace

TEST(ShimBitmap, CreationSizeAndRefusals) {
    const auto bits = argb({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0});
    HGDIOBJ bm = CreateBitmap(3, 2, 1, 32, bits.data());
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->type, SHIM_GDIOBJ_BITMAP);
    int32_t wh[2] = {-1, -1};
    EXPECT_EQ(GetObject(bm, 8, wh), 1);
    EXPECT_EQ(wh[0], 3);
    EXPECT_EQ(wh[1], 2);
    char buf[12];
    memset(buf, 0x55, sizeof buf);
    EXPECT_EQ(GetObject(bm, 12, buf), 0);
    for (char c : buf) EXPECT_EQ(c, 0);
    HGDIOBJ brush = CreateSolidBrush(0);
    EXPECT_EQ(GetObject(brush, 8, wh), 0);
    EXPECT_EQ(wh[0], 0);
    DeleteObject(brush);
    EXPECT_EQ(GetNSImageFromHICON(bm)->width, 3);
    EXPECT_EQ(GetNSImageFromHICON(nullptr), nullptr);

    EXPECT_EQ(CreateBitmap(3, 2, 1, 24, bits.data()), nullptr);
    EXPECT_EQ(CreateBitmap(3, 2, 2, 32, bits.data()), nullptr);
    EXPECT_EQ(CreateBitmap(0, 2, 1, 32, bits.data()), nullptr);
    EXPECT_EQ(CreateBitmap(65536, 65536, 1, 32, nullptr), nullptr);
    // Without pixels the bitmap starts transparent.
    HGDIOBJ blank = CreateBitmap(2, 2, 1, 32, nullptr);
    ASSERT_TRUE(blank);
    for (unsigned char b : GetNSImageFromHICON(blank)->pixels) EXPECT_EQ(b, 0);
    DeleteObject(blank);
    DeleteObject(bm);
}

TEST(ShimBitmap, DrawsUprightIntoItsRectangle) {
    const auto bits = argb({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    HGDIOBJ bm = CreateBitmap(2, 2, 1, 32, bits.data());
    Mem m(5, 5);
    m.fill(0x101010);
    RECT r{1, 2, 3, 4};
    DrawImageInRect(m.hdc, bm, &r);
    EXPECT_EQ(m.rgb(1, 2), 0xFF0000);
    EXPECT_EQ(m.rgb(2, 2), 0x00FF00);
    EXPECT_EQ(m.rgb(1, 3), 0x0000FF);
    EXPECT_EQ(m.rgb(2, 3), 0xFFFFFF);
    EXPECT_EQ(m.rgb(0, 2), 0x101010);
    EXPECT_EQ(m.rgb(1, 4), 0x101010);
    // Translucent pixels go over what is there.
    const unsigned char half[4] = {128, 128, 0, 0};  // premultiplied half red
    HGDIOBJ t = CreateBitmap(1, 1, 1, 32, half);
    RECT one{0, 0, 1, 1};
    DrawImageInRect(m.hdc, t, &one);
    EXPECT_NEAR(m.at(0, 0)[1], 128 + 8, 1);
    EXPECT_NEAR(m.at(0, 0)[2], 8, 1);
    HGDIOBJ brush = CreateSolidBrush(0);
    DrawImageInRect(m.hdc, brush, &one);  // not a bitmap: nothing
    DeleteObject(brush);
    DrawImageInRect(nullptr, t, &one);
    DeleteObject(t);
    DeleteObject(bm);
}

TEST(ShimBitmap, IconsShareTheColourBitmapsImage) {
    const auto bits = argb({0x123456});
    HGDIOBJ colour = CreateBitmap(1, 1, 1, 32, bits.data());
    ICONINFO info{1, 0, 0, nullptr, colour};
    HGDIOBJ icon = CreateIconIndirect(&info);
    ASSERT_TRUE(icon);
    EXPECT_NE(icon, colour);
    EXPECT_EQ(GetNSImageFromHICON(icon), GetNSImageFromHICON(colour));
    DeleteObject(colour);
    EXPECT_EQ(GetNSImageFromHICON(icon)->pixels[1], 0x12);  // still alive
    info.fIcon = 0;
    EXPECT_EQ(CreateIconIndirect(&info), nullptr);
    info.fIcon = 1;
    info.hbmColor = CreatePen(0, 1, 0);
    EXPECT_EQ(CreateIconIndirect(&info), nullptr);
    DeleteObject(info.hbmColor);
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
    DeleteObject(icon);
}

TEST(ShimNamedImage, FilesBundleResourcesAndMagenta) {
    TempDir dir;
    std::filesystem::create_directories(dir.path / "resources" / "img");
    // Two pixels: magenta and half-transparent green.
    const std::vector<unsigned char> rgba = {255, 0, 255, 255, 0, 255, 0, 128};
    const std::string file = writePNG(dir.path / "pic.png", 2, 1, rgba);
    writePNG(dir.path / "resources" / "img" / "knob.png", 2, 1, rgba);

    HGDIOBJ plain = LoadNamedImage(file.c_str(), false);
    ASSERT_TRUE(plain);
    platform::NSImage* img = GetNSImageFromHICON(plain);
    EXPECT_TRUE(img->flipped);
    EXPECT_EQ(std::vector<unsigned char>(img->pixels.begin(), img->pixels.end()),
              (std::vector<unsigned char>{255, 255, 0, 255, 128, 0, 128, 0}));  // premultiplied ARGB
    HGDIOBJ keyed = LoadNamedImage(file.c_str(), true);
    ASSERT_TRUE(keyed);
    img = GetNSImageFromHICON(keyed);
    EXPECT_EQ(std::vector<unsigned char>(img->pixels.begin(), img->pixels.end()),
              (std::vector<unsigned char>{0, 0, 0, 0, 128, 0, 128, 0}));
    DeleteObject(plain);
    DeleteObject(keyed);

    // Without magenta the image stays as it was.
    const std::string green = writePNG(dir.path / "green.png", 1, 1, {0, 255, 0, 255});
    HGDIOBJ g = LoadNamedImage(green.c_str(), true);
    ASSERT_TRUE(g);
    EXPECT_EQ(GetNSImageFromHICON(g)->pixels, (std::vector<uint8_t>{255, 0, 255, 0}));
    DeleteObject(g);

    // Names without a slash are the bundle's images, found with or without
    // their extension.
    setenv("HALVORAN_BUNDLE", dir.path.c_str(), 1);
    HGDIOBJ knob = LoadNamedImage("knob", false);
    HGDIOBJ knobPng = LoadNamedImage("knob.png", false);
    HGDIOBJ missing = LoadNamedImage("nothing", false);
    unsetenv("HALVORAN_BUNDLE");
    EXPECT_TRUE(knob && knobPng);
    EXPECT_EQ(missing, nullptr);
    DeleteObject(knob);
    DeleteObject(knobPng);

    EXPECT_EQ(LoadNamedImage((dir.path / "absent.png").c_str(), false), nullptr);
    EXPECT_EQ(LoadNamedImage(nullptr, false), nullptr);
    EXPECT_EQ(LoadNamedImage("\xFF/x.png", false), nullptr);
    // A file that is not a PNG is refused.
    FILE* f = fopen((dir.path / "bad.png").c_str(), "wb");
    fputs("not an image", f);
    fclose(f);
    EXPECT_EQ(LoadNamedImage((dir.path / "bad.png").c_str(), false), nullptr);
}

TEST(ShimImageFile, SizesBeyondTheLimitAreRefusedFromTheHeader) {
    TempDir dir;
    auto pixels = [](int w, int h) { return std::vector<unsigned char>(size_t(w) * size_t(h) * 4, 200); };
    const int most = SHIM_MAX_IMAGE_SIDE;
    const struct {
        const char* what;
        std::string path;
        int width;  // 0: refused
    } cases[] = {
        {"74 bytes declaring 23000 x 23000", pngHeaderOnly(dir.path / "huge.png", 23000, 23000), 0},
        {"as wide as allowed", writePNG(dir.path / "wide.png", most, 1, pixels(most, 1)), most},
        {"as tall as allowed", writePNG(dir.path / "tall.png", 1, most, pixels(1, most)), 1},
        {"a pixel too wide", writePNG(dir.path / "wider.png", most + 1, 1, pixels(most + 1, 1)), 0},
        {"a pixel too tall", writePNG(dir.path / "taller.png", 1, most + 1, pixels(1, most + 1)), 0},
    };
    EXPECT_EQ(std::filesystem::file_size(cases[0].path), 74u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::NSImage* img = SHIM_LoadImageFile(c.path.c_str());
        EXPECT_EQ(img ? int(img->width) : 0, c.width);
        platform::NSImageRelease(img);
        HGDIOBJ named = LoadNamedImage(c.path.c_str(), true);
        EXPECT_EQ(named != nullptr, c.width > 0);
        DeleteObject(named);
    }
}

TEST(ShimBlit, NegativeSourceOriginsMoveTheDestination) {
    // Source columns in stripes of ten: colour 0x0A0A0A x stripe number.
    Mem src(100, 4), dst(300, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 100; x++) src.set(x, y, 255, 0x0A0A0A * (x / 10 + 1));
    dst.fill(0xEEEEEE);
    StretchBlt(dst.hdc, 0, 0, 200, 4, src.hdc, -10, 0, 100, 4, 0);
    // x moves right by 10 x 200 / 100 = 20; 90 source columns fill 180.
    for (int x = 0; x < 20; x++) EXPECT_EQ(dst.rgb(x, 1), 0xEEEEEE) << x;
    for (int x = 200; x < 300; x++) EXPECT_EQ(dst.rgb(x, 1), 0xEEEEEE) << x;
    EXPECT_EQ(dst.rgb(30, 1), 0x0A0A0A);   // source column 5
    EXPECT_EQ(dst.rgb(190, 1), 0x5A5A5A);  // source column 85
}

TEST(ShimBlit, OneToOneCopiesAndSourceAlpha) {
    Mem src(4, 4), dst(6, 6);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) src.set(x, y, 0, 0x102030 + x * 0x10000 + y);
    dst.fill(0x808080);
    // Any mode but the source-alpha one copies opaquely, whatever byte 0 says.
    BitBlt(dst.hdc, 1, 2, 3, 2, src.hdc, 1, 1, 0);
    EXPECT_EQ(dst.rgb(1, 2), 0x112031);
    EXPECT_EQ(dst.rgb(3, 3), 0x132032);
    EXPECT_EQ(dst.rgb(0, 2), 0x808080);
    EXPECT_EQ(dst.rgb(4, 2), 0x808080);
    EXPECT_EQ(dst.rgb(1, 4), 0x808080);
    // With the source-alpha mode, byte 0 is straight alpha: 0 leaves the
    // destination, 255 replaces it.
    dst.fill(0x808080);
    src.set(0, 0, 0, 0xFF0000);
    src.set(1, 0, 255, 0x00FF00);
    src.set(2, 0, 128, 0x0000FF);
    BitBlt(dst.hdc, 0, 0, 3, 1, src.hdc, 0, 0, SHIM_BLIT_SOURCE_ALPHA);
    EXPECT_EQ(dst.rgb(0, 0), 0x808080);
    EXPECT_EQ(dst.rgb(1, 0), 0x00FF00);
    EXPECT_NEAR(dst.at(2, 0)[3], 128 + 64, 1);
    // Sources wholly outside, empty sizes and dead contexts draw nothing.
    dst.fill(0x808080);
    BitBlt(dst.hdc, 0, 0, 3, 3, src.hdc, 4, 0, 0);
    BitBlt(dst.hdc, 0, 0, 3, 3, src.hdc, 0, -5, 0);
    BitBlt(dst.hdc, 0, 0, 0, 3, src.hdc, 0, 0, 0);
    BitBlt(dst.hdc, 0, 0, 3, 3, nullptr, 0, 0, 0);
    HDC wrapper = SHIM_CreateGfxContextForCG(SHIM_GetCtxGC(src.hdc));
    BitBlt(dst.hdc, 0, 0, 3, 3, wrapper, 0, 0, 0);  // owns no pixels
    SHIM_DeleteGfxContext(wrapper);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(dst.rgb(x, y), 0x808080);
}

TEST(ShimClip, PushSetPopLimitsAndRestoresDrawing) {
    Mem m(6, 6);
    HGDIOBJ brush = CreateSolidBrush(0xFF0000);
    RECT all{0, 0, 6, 6}, inner{2, 2, 4, 4};
    SHIM_PushClipRegion(m.hdc);
    SHIM_SetClipRegion(m.hdc, &inner);
    SHIM_FillRect(m.hdc, &all, brush);
    EXPECT_EQ(m.rgb(2, 2), 0xFF0000);
    EXPECT_EQ(m.rgb(3, 3), 0xFF0000);
    EXPECT_EQ(m.rgb(1, 2), 0);
    EXPECT_EQ(m.rgb(4, 4), 0);
    SHIM_PopClipRegion(m.hdc);
    SHIM_FillRect(m.hdc, &all, brush);
    EXPECT_EQ(m.rgb(0, 0), 0xFF0000);
    SHIM_PushClipRegion(nullptr);
    SHIM_SetClipRegion(m.hdc, nullptr);
    SHIM_PopClipRegion(nullptr);
    DeleteObject(brush);
}

TEST(ShimColours, SystemColoursAndTheDialogBackground) {
    EXPECT_EQ(GetSysColor(0), 0x606060);
    EXPECT_EQ(GetSysColor(8), 0xFFF0C8);
    EXPECT_EQ(GetSysColor(9), 0);
    EXPECT_EQ(GetSysColor(10), 0);
    EXPECT_EQ(GetSysColor(-1), 0);
    Mem m(4, 4);
    RECT r{1, 1, 3, 3};
    SHIM_FillDialogBackground(m.hdc, &r, 0);
    EXPECT_EQ(m.rgb(1, 1), 0xECECEC);
    EXPECT_EQ(m.rgb(0, 0), 0);
}

TEST(ShimImageList, ReplaceRemoveAndDestroy) {
    const auto bits = argb({0xABCDEF});
    HGDIOBJ icon = CreateBitmap(1, 1, 1, 32, bits.data());
    HIMAGELIST list = ImageList_CreateEx();
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, icon), 0);
    EXPECT_EQ(ImageList_ReplaceIcon(list, 7, icon), 1);
    EXPECT_EQ(ImageList_ReplaceIcon(list, 5, icon), 2);  // beyond the end: appended
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    HGDIOBJ first = SHIM_ImageListGet(list, 0);
    EXPECT_NE(first, icon);
    EXPECT_EQ(GetNSImageFromHICON(first), GetNSImageFromHICON(icon));
    // Replacing deletes the old entry's object (its record goes back to
    // the pool, where it reads as dead until reused).
    EXPECT_EQ(ImageList_ReplaceIcon(list, 0, icon), 0);
    EXPECT_NE(SHIM_ImageListGet(list, 0), first);
    EXPECT_FALSE(SHIM_IsValidObject(first));
    // Removing keeps the slot, empty.
    EXPECT_EQ(ImageList_Remove(list, 1), 1);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    EXPECT_EQ(SHIM_ImageListGet(list, 1), nullptr);
    EXPECT_EQ(ImageList_Remove(list, 3), 0);
    EXPECT_EQ(ImageList_Remove(nullptr, 0), 0);
    HGDIOBJ brush = CreateSolidBrush(0);
    EXPECT_EQ(ImageList_ReplaceIcon(list, 0, brush), -1);
    DeleteObject(brush);
    EXPECT_EQ(ImageList_ReplaceIcon(nullptr, 0, icon), -1);
    EXPECT_EQ(ImageList_Remove(list, -1), 1);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    ImageList_ReplaceIcon(list, 0, icon);
    ImageList_Destroy(list);
    ImageList_Destroy(nullptr);
    // The caller's icon is its own to delete.
    EXPECT_TRUE(SHIM_IsValidObject(icon, SHIM_GDIOBJ_BITMAP));
    DeleteObject(icon);
}

TEST(ShimImageList, ARemovedEntryLeavesTheCount) {
    const auto bits = argb({0x010203});
    HGDIOBJ icon = CreateBitmap(1, 1, 1, 32, bits.data());
    HIMAGELIST list = ImageList_CreateEx();
    ImageList_ReplaceIcon(list, 0, icon);
    EXPECT_EQ(ImageList_Remove(list, 0), 1);
    EXPECT_EQ(ImageList_GetImageCount(list), 1);
    EXPECT_EQ(SHIM_ImageListGet(list, 0), nullptr);
    ImageList_Destroy(list);
    DeleteObject(icon);
}
