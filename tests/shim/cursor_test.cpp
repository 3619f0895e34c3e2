#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/HeadlessBackend.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-kb.h"
#include "support/IconFiles.h"
#include "support/TempDataDir.h"

using namespace platform::appkit;
using namespace icontest;

namespace {

HeadlessCursorSystem& pointer() { return dynamic_cast<HeadlessBackend&>(Application::backend()).pointer(); }

const std::vector<uint32_t> kPixels = {0xFFFF0000, 0x00000000, 0xFF00FF00, 0xFF0000FF};

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes with32(Bytes b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
    return b;
}

Bytes pngOf(int w, int h, const std::vector<uint32_t>& argb) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = w;
    img.height = h;
    img.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&img, nullptr, &size, 0, argb.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&img, out.data(), &size, 0, argb.data(), 0, nullptr);
    out.resize(size);
    return out;
}

}  // namespace

TEST(Cursors, StandardAndBuiltInCursors) {
    const struct {
        int id;
        Cursor* platform;
    } standard[] = {{IDC_ARROW, Cursor::arrow()},         {IDC_SIZEWE, Cursor::resizeLeftRight()},
                    {IDC_SIZENS, Cursor::resizeUpDown()}, {IDC_UPARROW, Cursor::resizeUp()},
                    {IDC_IBEAM, Cursor::iBeam()},         {IDC_HAND, Cursor::openHand()}};
    for (const auto& s : standard) EXPECT_EQ(SHIM_LoadCursor(s.id), s.platform) << s.id;
    for (int id : {IDC_SIZEALL, IDC_NO, IDC_SIZENWSE, IDC_SIZENESW}) {
        HCURSOR c = SHIM_LoadCursor(id);
        ASSERT_TRUE(c) << id;
        EXPECT_EQ(SHIM_LoadCursor(id), c) << "cached";
        EXPECT_EQ(c->image().width, 16);
        EXPECT_EQ(c->hotSpot(), (Point{8, 8}));
        EXPECT_EQ(c->image().argb[8 * 16 + 8] >> 24, 0xFFu) << "the hot spot is drawn";
    }
    // The other diagonal is the mirror image, and the first stays as it was.
    const auto& a = SHIM_LoadCursor(IDC_SIZENWSE)->image().argb;
    const auto& b = SHIM_LoadCursor(IDC_SIZENESW)->image().argb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(a[y * 16 + x], b[y * 16 + 15 - x]);
    EXPECT_EQ(a[1 * 16 + 1], 0xFF000000u);
    EXPECT_EQ(b[1 * 16 + 1], 0u);
    EXPECT_EQ(SHIM_LoadCursor(12345), nullptr);
}

TEST(Cursors, SetGetAndLastSet) {
    HCURSOR no = SHIM_LoadCursor(IDC_NO);
    SHIM_SetCursor(no);
    EXPECT_EQ(SHIM_GetCursor(), no);
    EXPECT_EQ(SHIM_GetLastSetCursor(), no);
    EXPECT_EQ(pointer().shown, no);
    SHIM_SetCursor(reinterpret_cast<HCURSOR>(&pointer()));  // not a cursor
    EXPECT_EQ(SHIM_GetCursor(), Cursor::arrow());
    EXPECT_EQ(SHIM_GetLastSetCursor(), nullptr);
    SHIM_SetCursor(nullptr);
    EXPECT_EQ(pointer().shown, Cursor::arrow());
}

TEST(Cursors, HideCountingAndRelativeMode) {
    auto& p = pointer();
    p.pointer = {100.4, 200.2};
    EXPECT_EQ(GetMessagePos(), 0x00C90064u);  // x rounded down, y up
    EXPECT_EQ(SHIM_ShowCursor(false), -1);
    EXPECT_TRUE(p.hidden);
    EXPECT_FALSE(p.associated);
    EXPECT_EQ(SHIM_ShowCursor(false), -2);
    POINT at{};
    GetCursorPos(&at);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 201);
    EXPECT_TRUE(SHIM_SetCursorPos(300, 400));  // moves the virtual position only
    EXPECT_EQ(p.pointer.x, 100.4);
    EXPECT_EQ(GetMessagePos(), (400u << 16) | 300u);
    EXPECT_EQ(SHIM_ShowCursor(true), -1);
    EXPECT_FALSE(SHIM_IsCursorVisible());
    EXPECT_TRUE(p.hidden);
    EXPECT_EQ(SHIM_ShowCursor(true), 0);
    EXPECT_TRUE(SHIM_IsCursorVisible());
    EXPECT_FALSE(p.hidden);
    EXPECT_TRUE(p.associated);
    EXPECT_EQ(p.pointer.x, 300);  // warped to the virtual position
    EXPECT_EQ(p.pointer.y, 400);
    EXPECT_TRUE(SHIM_SetCursorPos(5, 6));
    EXPECT_EQ(p.pointer.y, 6);
}

TEST(Cursors, CursorFilesAreReadInMemory) {
    hvtest::TempDataDir dir;
    const std::filesystem::path temp = dir.path() / "temp";
    std::filesystem::create_directories(temp);
    setenv("TEMP", temp.c_str(), 1);
    const Bytes one = iconFile(2, {{2, bitmapImage(2, 2, 32, kPixels, false)}}, {1, 1});
    const std::vector<uint32_t> big(32 * 32, 0xFF00FF00);
    const Bytes image = bitmapImage(2, 2, 32, kPixels, false);
    const struct {
        const char* name;
        Bytes bytes;
        int width;  // 0: no cursor
        Point hot;
    } files[] = {
        {"one.cur", one, 2, {1, 1}},
        {"upper.CUR", one, 2, {1, 1}},
        // Not converted; the platform's reader reads the file, without a hot spot.
        {"two.cur", iconFile(2, {{2, image}, {32, bitmapImage(32, 32, 24, big)}}, {1, 1}), 32, {0, 0}},
        {"reserved.cur",
         [&] {
             Bytes b = one;
             b[6 + 3] = 1;
             return b;
         }(),
         2,
         {0, 0}},
        {"icon.cur", iconFile(1, {{2, image}}), 2, {0, 0}},
        // Pointing past the end: no conversion, and the reader refuses it too.
        {"offset.cur", with32(one, 6 + 12, uint32_t(one.size())), 0, {}},
        {"length.cur", with32(one, 6 + 8, uint32_t(one.size())), 0, {}},
        {"short.cur", Bytes(one.begin(), one.begin() + 20), 0, {}},
        {"png.cur", iconFile(2, {{2, pngOf(2, 2, kPixels)}}, {1, 0}), 2, {1, 0}},
        {"image.png", pngOf(2, 2, kPixels), 2, {0, 0}},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        HCURSOR c = SHIM_LoadCursorFromFile(dir.write(f.name, text(f.bytes)).c_str());
        if (!f.width) {
            EXPECT_EQ(c, nullptr);
            continue;
        }
        ASSERT_TRUE(c);
        EXPECT_EQ(c->image().width, f.width);
        EXPECT_EQ(c->hotSpot(), f.hot);
        if (f.width == 2) {
            EXPECT_EQ(c->image().argb, kPixels);
        }
        SHIM_DestroyCursor(c);
    }
    EXPECT_EQ(SHIM_LoadCursorFromFile((dir.path() / "missing.cur").c_str()), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(temp)) << "nothing is written to the temporary folder";
    unsetenv("TEMP");
}

TEST(Cursors, ResourceCursorsAreCachedAndFailuresPassedOver) {
    hvtest::TempDataDir dir;
    const std::string good =
        dir.write("good.cur", text(iconFile(2, {{2, bitmapImage(2, 2, 32, kPixels, false)}}, {0, 1})));
    SHIM_CursorResourceIndex second{700, good.c_str(), 0, 0, nullptr, nullptr};
    SHIM_CursorResourceIndex broken{700, "/nowhere/broken.cur", 0, 0, nullptr, &second};
    SHIM_curmodule_cursorresource_head = &broken;
    HCURSOR c = SHIM_LoadCursor(700);
    ASSERT_TRUE(c);
    EXPECT_EQ(second.cachedCursor, c);
    EXPECT_EQ(second.hsy, 1);
    EXPECT_EQ(SHIM_LoadCursor(700), c);
    SHIM_DestroyCursor(c);  // kept: the resource list owns it
    EXPECT_TRUE(Cursor::isLive(c));
    SHIM_curmodule_cursorresource_head = nullptr;
    delete c;
}

TEST(Cursors, BareNamesAreTheApplicationsResources) {
    // The program's folder: resources/<name>.cur, or the image of that name.
    const auto folder = std::filesystem::canonical("/proc/self/exe").parent_path() / "resources";
    std::filesystem::create_directories(folder);
    const std::string name = "hv-test-cursor-" + std::to_string(getpid());
    const auto cur = folder / (name + ".cur"), png = folder / (name + "-image.png");
    std::ofstream(cur, std::ios::binary) << text(iconFile(2, {{2, bitmapImage(2, 2, 32, kPixels, false)}}, {1, 0}));
    std::ofstream(png, std::ios::binary) << text(pngOf(2, 2, kPixels));
    POINT hot{};
    platform::NSImage* image = shim_imageFromCursorString(name.c_str(), &hot);
    EXPECT_TRUE(image);
    EXPECT_EQ(hot.x, 1);
    platform::NSImageRelease(image);
    image = shim_imageFromCursorString((name + "-image").c_str(), nullptr);
    EXPECT_TRUE(image);
    platform::NSImageRelease(image);
    EXPECT_FALSE(shim_imageFromCursorString("hv-no-such-cursor", nullptr));
    std::filesystem::remove(cur);
    std::filesystem::remove(png);
}
