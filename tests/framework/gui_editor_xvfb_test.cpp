// ctest-labels: tsan
// The editor's panel in a real window on a private Xvfb server, used as a
// musician uses it: a click opens a menu that stays until an item is clicked,
// Escape is pressed or a click goes elsewhere, and press, drag, release
// chooses too; two quick presses on a knob reset it only when the first was
// a click; one wheel notch is one step. Parameters are read from what the
// host prints when it is stopped.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "src/HalvoranParams.h"
#include "support/RunProgram.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace {

// halvoran-host showing the program page at the normal size in a skin, in a
// data folder of its own. The Filter TYPE box is at 38,494 (76 wide); its
// menu opens below it, items 20 high from 2 down.
class EditorWindow {
public:
    EditorWindow(hvtest::XProbe& x, const std::string& skin) : x_(x) {
        dir_ = testing::TempDir() + "hv-editor-x11-" + skin + "-" + std::to_string(::getpid());
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
        std::ofstream(dir_ + "/Halvoran UI.txt") << "normal\n" << skin << "\nfirst run: no\n";
        const std::string cmd = "cd '" + dir_ + "' && DISPLAY=" + hvtest::XvfbServer::shared().display() +
                                " HALVORAN_DATA_DIR=. sh -c 'echo $$ > pid; exec " HV_HOST_EXE
                                " --view --print-params --set 467=2 --seconds 120' 2>/dev/null";
        runner_ = std::thread([this, cmd] { run_ = hvtest::runProgram(cmd); });
        hvtest::waitUntil([&] { return std::ifstream(dir_ + "/pid") >> pid_ && pid_ > 0; }, 10000);
        hvtest::waitUntil([&] { return (w_ = x_.findWindow("Halvoran")) != 0 && x_.viewable(w_); }, 20000);
        if (auto g = w_ ? x_.geometry(w_) : std::nullopt) ox_ = g->x, oy_ = g->y;
        ready_ = w_ && hvtest::waitUntil([&] { return x_.pixel(w_, 700, 26) != 0; }, 20000);
    }
    ~EditorWindow() {
        stop();
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    bool ready() const { return ready_; }
    void moveTo(int x, int y) { x_.moveTo(ox_ + x, oy_ + y); }
    void clickAt(int x, int y) { moveTo(x, y), x_.click(); }
    static int item(int i) { return 509 + 20 * i + 10; }
    bool menuOpen() {
        const uint32_t c = x_.pixel(x_.root(), ox_ + 60, oy_ + item(0));
        return c == 0xE8E8E8 || c == 0x2F6FCF;
    }
    std::map<int, double> stop() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
        pid_ = 0;
        if (runner_.joinable()) runner_.join();
        std::map<int, double> params;
        std::istringstream lines(run_.out);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream f(line);
            int id = 0;
            std::string name;
            double value = 0;
            if (f >> id && std::getline(f >> std::ws, name, '\t') && f >> value) params[id] = value;
        }
        return params;
    }
    void screenshot(const std::string& path) {
        EXPECT_TRUE(hvtest::XProbe::savePng(x_.capture(x_.root(), ox_, oy_, 1200, 720), path));
        std::printf("screenshot: %s\n", path.c_str());
    }

private:
    hvtest::XProbe& x_;
    std::string dir_;
    std::thread runner_;
    hvtest::ProgramRun run_;
    int pid_ = 0, ox_ = 0, oy_ = 0;
    XWindow w_ = 0;
    bool ready_ = false;
};

hvtest::XProbe& probe() {
    static hvtest::XProbe x(hvtest::XvfbServer::shared().display());
    return x;
}

}  // namespace

TEST(EditorXvfb, AClickOpensAMenuThatStaysUntilAChoiceEscapeOrAClickElsewhere) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe& x = probe();
    for (const char* skin : {"legacy", "s-model", "platinum"}) {
        EditorWindow e(x, skin);
        ASSERT_TRUE(e.ready()) << skin;
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); })) << skin;
        // Still open after the release: the pointer lights the fourth item.
        e.moveTo(60, EditorWindow::item(3));
        EXPECT_TRUE(
            hvtest::waitUntil([&] { return x.pixel(x.root(), x.pointer().first, x.pointer().second) == 0x2F6FCF; }));
        e.screenshot(testing::TempDir() + "halvoran-normal-" + skin + "-menu-open.png");
        x.click();
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); })) << skin;
        // Escape, and a click elsewhere, close it without a choice.
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); })) << skin;
        x.key(XK_Escape);
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); })) << skin;
        e.clickAt(76, 500);
        ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); })) << skin;
        e.clickAt(700, 300);
        ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); })) << skin;
        EXPECT_EQ(e.stop().at(kFilterType), 3) << skin;
    }
    // Press, drag to the third item, release: it is chosen.
    EditorWindow e(x, "legacy");
    ASSERT_TRUE(e.ready());
    e.moveTo(76, 500);
    x.press();
    ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }));
    e.moveTo(60, EditorWindow::item(2));
    x.release();
    ASSERT_TRUE(hvtest::waitUntil([&] { return !e.menuOpen(); }));
    EXPECT_EQ(e.stop().at(kFilterType), 2);
}

TEST(EditorXvfb, OnlyAClickStartsADoubleClickAndAWheelNotchIsOneStep) {
    ASSERT_TRUE(hvtest::XvfbServer::shared().ok());
    hvtest::XProbe& x = probe();
    EditorWindow e(x, "legacy");
    ASSERT_TRUE(e.ready());
    // Each knob dragged 40 down, then clicked at once where the drag began:
    // Cutoff (default 127) once, a nudge that keeps it; Resonance (default
    // 20) twice, a double click that resets it.
    for (auto [kx, ky, clicks] : {std::tuple{172, 468, 1}, std::tuple{172, 534, 2}}) {
        e.moveTo(kx, ky);
        x.press();
        for (int dy = 4; dy <= 40; dy += 4) e.moveTo(kx, ky + dy);
        x.release();
        e.moveTo(kx, ky);
        for (int i = 0; i < clicks; ++i) x.click();
    }
    // Pan (0..127, at 64): three notches up. EQ low gain (0..24, at 12): one.
    e.moveTo(456, 534);
    x.wheel(3);
    e.moveTo(993, 155);
    x.wheel(1);
    // Input is handled in order: once a menu opened, all of the above was seen.
    e.clickAt(76, 500);
    ASSERT_TRUE(hvtest::waitUntil([&] { return e.menuOpen(); }));
    x.key(XK_Escape);
    const auto params = e.stop();
    EXPECT_LT(params.at(kFilterCutoff), 127);
    EXPECT_EQ(params.at(kFilterResonance), 20);
    EXPECT_EQ(params.at(kAmpPan), 67);
    EXPECT_EQ(params.at(kEQLowGain), 13);
}
