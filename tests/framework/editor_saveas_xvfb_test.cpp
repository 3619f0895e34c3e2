// ctest-labels: tsan x11
// The editor's "Save As..." in a real window on a private Xvfb, as a
// musician saves a bank under a new name: the librarian's bank menu, the
// "Save As..." submenu, the save panel with a name typed and Return, and
// the bank file on disk with its 128 programs.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor_window.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kDump = 297;

// A program dump as the instrument sends it: its 254 data bytes packed in
// groups of seven behind a byte of their top bits, named "Test <n>".
Bytes programDump(int n) {
    uint8_t data[254];
    for (int i = 0; i < 254; ++i) data[i] = static_cast<uint8_t>((i * 7 + n) & 0x7F);
    std::string name = "Test " + std::to_string(n);
    for (int i = 0; i < 12; ++i) data[i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
    Bytes out = {0xF0, 0x42, 0x30, 0x58, 0x40};
    for (int g = 0; g * 7 < 254; ++g) {
        out.push_back(0);
        for (int k = 0; k < 7 && g * 7 + k < 254; ++k) out.push_back(data[g * 7 + k]);
    }
    out.push_back(0xF7);
    return out;
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

    // The bank menu, at 861,39 (79 by 20) on the librarian page.
    e.clickAt(900, 49);
    std::vector<XWindow> menus;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 1; }));
    // "Save As..." follows five items and three separators.
    x.moveTo(menus[0], 40, 2 + 5 * 20 + 3 * 7 + 10);
    ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 2; }));
    // Its submenu: "Standard MIDI (*.mid)", then "Halvoran Format (*.hvx)".
    x.moveTo(menus[1], 40, 2 + 20 + 10);
    x.click();

    XWindow panel = 0;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (panel = x.findWindow("Save As")) && x.viewable(panel); }, 10000));
    ASSERT_TRUE(hvtest::waitUntil([&] {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(x.display(), &focus, &revert);
        return focus == panel;
    }));
    EXPECT_TRUE(hvtest::XProbe::savePng(x.capture(panel), testing::TempDir() + "editor-save-as.png"));
    x.type("My Saved Bank");
    x.key(XK_Return);

    const std::string saved = e.dir() + "/Patches/My Saved Bank.hvx";
    ASSERT_TRUE(hvtest::waitUntil(
        [&] {
            std::error_code ec;
            return std::filesystem::file_size(saved, ec) == 128 * kDump;
        },
        10000));
    e.stop();
    std::ifstream in(saved, std::ios::binary);
    Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(written.size(), 128 * kDump);
    // Every program in its slot, as it was loaded.
    for (int n = 0; n < 128; ++n)
        EXPECT_TRUE(std::equal(bank.begin() + n * kDump, bank.begin() + (n + 1) * kDump, written.begin() + n * kDump))
            << "program " << n;
}
