// ctest-labels: tsan x11
// The editor's file roads in a real window on a private Xvfb (bare and
// under a window manager), as a musician takes them: the librarian's bank
// menu and its submenus, the save panel with a name typed and Return, the
// confirmation before a bank is replaced, the import panel, the bank files
// on disk, and the bank chooser listing a bank by a name with an umlaut,
// drawn as the toolkit draws text.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor_banks.h"
#include "editor_window.h"
#include "platform/appkit/X11Text.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

using namespace guitest;

// Whether one of a popup's items reads `title`: its pixels there are the
// title as the toolkit draws it in dark text on the menu's grey.
bool listsTitle(hvtest::XProbe& x, XWindow popup, const std::string& title) {
    constexpr unsigned long kBg = 0xE8E8E8, kFg = 0x101010;
    constexpr int kPadX = 22, kItemH = 20;
    Display* d = x.display();
    platform::appkit::X11Text text(d, DefaultVisual(d, DefaultScreen(d)), DefaultDepth(d, DefaultScreen(d)));
    const int w = text.width(title), base = (kItemH + text.ascent()) / 2 - 1;
    Pixmap pm = XCreatePixmap(d, x.root(), static_cast<unsigned>(w), kItemH, DefaultDepth(d, DefaultScreen(d)));
    GC gc = XCreateGC(d, pm, 0, nullptr);
    XSetForeground(d, gc, kBg);
    XFillRectangle(d, pm, gc, 0, 0, static_cast<unsigned>(w), kItemH);
    text.draw(pm, gc, 0, base, title, kFg, kBg);
    XImage* want = XGetImage(d, pm, 0, 0, static_cast<unsigned>(w), kItemH, AllPlanes, ZPixmap);
    XFreeGC(d, gc);
    XFreePixmap(d, pm);
    if (!want) return false;
    bool found = false;
    auto g = x.geometry(popup);
    for (int top = 2; g && !found && top + kItemH <= g->height; top += kItemH) {
        auto shown = x.capture(popup, kPadX, top, w, kItemH);
        found = !shown.empty();
        for (int py = 0; found && py < kItemH; ++py)
            for (int px = 0; found && px < w; ++px) found = shown.at(px, py) == (XGetPixel(want, px, py) & 0xFFFFFF);
    }
    XDestroyImage(want);
    return found;
}

}  // namespace

TEST(EditorSaveAs, ABankSavedUnderATypedNameHoldsItsProgramsOnDisk) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    Bytes bank;
    for (int n = 0; n < 128; ++n) {
        Bytes d = programDump(n);
        bank.insert(bank.end(), d.begin(), d.end());
    }
    guitest::EditorWindow e(x, "legacy", "--set 467=0", [&](const std::string& dir) {
        std::filesystem::create_directories(dir + "/Patches");
        std::ofstream(dir + "/Patches/Factory.syx", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    });
    ASSERT_TRUE(e.ready());

    // "Save As..." follows five items and three separators; its submenu:
    // "Standard MIDI (*.mid)", then "Halvoran Format (*.hvx)".
    chooseFromBankMenu(e, x, 5, 3, 1);
    XWindow panel = focusedWindow(x, "Save As");
    ASSERT_TRUE(panel);
    EXPECT_TRUE(hvtest::XProbe::savePng(x.capture(panel), testing::TempDir() + "editor-save-as.png"));
    x.type("My B\xE4nk");  // Latin-1 "ä"
    x.key(XK_Return);

    const std::string saved = e.dir() + "/Patches/My Bänk.hvx";
    ASSERT_TRUE(hvtest::waitUntil(
        [&] {
            std::error_code ec;
            return std::filesystem::file_size(saved, ec) == 128 * kDump;
        },
        10000));

    // After REFRESH (at 14,106, 36 by 20) the upper bank chooser, at 414,39
    // (415 by 16), lists the new bank.
    e.clickAt(32, 116);
    e.clickAt(600, 47);
    std::vector<XWindow> menus;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 1; }));
    EXPECT_TRUE(hvtest::waitUntil([&] { return listsTitle(x, menus[0], "My Bänk.hvx"); }));
    e.screenshot(testing::TempDir() + "editor-bank-menu.png");
    x.key(XK_Escape);
    ASSERT_TRUE(hvtest::waitUntil([&] { return x.popups().empty(); }));
    e.stop();
    std::ifstream in(saved, std::ios::binary);
    Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(written.size(), 128 * kDump);
    // Every program in its slot, as it was loaded.
    for (int n = 0; n < 128; ++n)
        EXPECT_TRUE(std::equal(bank.begin() + n * kDump, bank.begin() + (n + 1) * kDump, written.begin() + n * kDump))
            << "program " << n;
}

// Saved under the name of a bank that is there, the bank is replaced only
// once the musician says so in the confirmation.
TEST(EditorSaveAs, ABankSavedOverAnotherReplacesItAfterTheConfirmation) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    guitest::EditorWindow e(x, "legacy", "--set 467=0", [&](const std::string& dir) {
        std::filesystem::create_directories(dir + "/Patches");
        write(dir + "/Patches/Factory.syx", bankOf(128));
        write(dir + "/Patches/Old.hvx", bankOf(1));
    });
    ASSERT_TRUE(e.ready());
    chooseFromBankMenu(e, x, 5, 3, 1);
    ASSERT_TRUE(focusedWindow(x, "Save As"));
    x.type("Old");
    x.key(XK_Return);
    // "Cancel" (the default) and "Replace": Tab moves to the second.
    ASSERT_TRUE(focusedWindow(x, "Replace"));
    x.key(XK_Tab);
    x.key(XK_Return);
    const std::string old = e.dir() + "/Patches/Old.hvx";
    EXPECT_TRUE(hvtest::waitUntil([&] { return read(old) == bankOf(128); }, 10000));
}

// A file of programs picked in the import panel joins the banks.
TEST(EditorImport, AFilePickedInTheImportPanelJoinsTheBanks) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    guitest::EditorWindow e(
        x, "legacy", "--set 467=0",
        [&](const std::string& dir) {
            std::filesystem::create_directories(dir + "/Patches");
            write(dir + "/Patches/Factory.syx", bankOf(128));
            write(dir + "/Import Me.syx", bankOf(3));
        },
        true);
    ASSERT_TRUE(e.ready());
    // "Import..." follows six items and four separators; its submenu:
    // "Standard MIDI (*.mid)", "SysEx (*.syx / *.hvx)", "Pellatine PRG (*.prg)".
    chooseFromBankMenu(e, x, 6, 4, 1);
    // The panel starts at home, the data folder: the file, after the
    // folders, is the last row.
    ASSERT_TRUE(focusedWindow(x, "Open"));
    x.key(XK_End);
    x.key(XK_Return);
    const std::string imported = e.dir() + "/Patches/Import Me.syx";
    // A bank of its own: the three programs first, in 128 slots.
    Bytes bank;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (bank = read(imported)).size() == 128 * kDump; }, 10000));
    const Bytes three = bankOf(3);
    EXPECT_TRUE(std::equal(three.begin(), three.end(), bank.begin()));
}
