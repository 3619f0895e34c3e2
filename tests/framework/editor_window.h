#pragma once
// The editor in halvoran-host on the shared private Xvfb, for the window
// tests that use it as a musician would.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/RunProgram.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace guitest {

// A program dump as the instrument sends it: its 254 data bytes packed in
// groups of seven behind a byte of their top bits, named "Test <n>" unless
// a name is given.
using Bytes = std::vector<uint8_t>;
constexpr size_t kDump = 297;

inline Bytes programDump(int n, const std::string& named = "") {
    uint8_t data[254];
    for (int i = 0; i < 254; ++i) data[i] = static_cast<uint8_t>((i * 7 + n) & 0x7F);
    const std::string name = named.empty() ? "Test " + std::to_string(n) : named;
    for (int i = 0; i < 12; ++i) data[i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
    Bytes out = {0xF0, 0x42, 0x30, 0x58, 0x40};
    for (int g = 0; g * 7 < 254; ++g) {
        out.push_back(0);
        for (int k = 0; k < 7 && g * 7 + k < 254; ++k) out.push_back(data[g * 7 + k]);
    }
    out.push_back(0xF7);
    return out;
}

inline Bytes bankOf(int programs) {
    Bytes bank;
    for (int n = 0; n < programs; ++n) {
        Bytes d = programDump(n);
        bank.insert(bank.end(), d.begin(), d.end());
    }
    return bank;
}

inline void write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// halvoran-host showing the editor at the normal size in a skin, in a data
// folder of its own: the program page unless other arguments are given,
// with files the caller puts into the folder first. The Filter TYPE box of
// the program page is at 38,494 (76 wide); its menu opens below it, items
// 20 high from 2 down.
class EditorWindow {
public:
    // With home, the host's HOME is the data folder (where file panels start).
    // On the shared server unless the probe's display is named.
    EditorWindow(hvtest::XProbe& x, const std::string& skin, const std::string& args = "--set 467=2",
                 const std::function<void(const std::string& dir)>& prepare = nullptr, bool home = false,
                 const std::string& display = hvtest::XvfbServer::shared().display())
        : x_(x) {
        dir_ = testing::TempDir() + "hv-editor-x11-" + skin + "-" + std::to_string(::getpid());
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
        std::ofstream(dir_ + "/Halvoran UI.txt") << "normal\n" << skin << "\nfirst run: no\n";
        if (prepare) prepare(dir_);
        const std::string cmd = "cd '" + dir_ + "' && DISPLAY=" + display + " HALVORAN_DATA_DIR=. " +
                                (home ? "HOME=\"$PWD\" " : "") +
                                "sh -c 'echo $$ > pid; exec " HV_HOST_EXE " --view --print-params " + args +
                                " --seconds 120' 2>'" + dir_ + ".log'";
        runner_ = std::thread([this, cmd] {
            run_ = hvtest::runProgram(cmd);
            ended_ = true;
        });
        hvtest::waitUntil([&] { return std::ifstream(dir_ + "/pid") >> pid_ && pid_ > 0; }, 10000);
        hvtest::waitUntil([&] { return (w_ = x_.findWindow("Halvoran")) != 0 && x_.viewable(w_); }, 20000);
        if (auto g = w_ ? x_.geometry(w_) : std::nullopt) ox_ = g->x, oy_ = g->y;
        ready_ = w_ && hvtest::waitUntil([&] { return x_.pixel(w_, 700, 26) != 0; }, 20000);
    }
    ~EditorWindow() {
        stop();
        std::system(("rm -rf '" + dir_ + "' '" + dir_ + ".log'").c_str());
    }
    bool ready() const { return ready_; }
    // What the host has written to its standard error, and where its
    // window is now against where the probe found it: for a failed step.
    std::string diagnosis() {
        std::ostringstream out;
        const auto g = w_ ? x_.geometry(w_) : std::nullopt;
        out << "window found at " << ox_ << "," << oy_ << ", now ";
        if (g)
            out << g->x << "," << g->y;
        else
            out << "gone";
        out << "; the host's standard error:\n" << std::ifstream(dir_ + ".log").rdbuf();
        return out.str();
    }
    const std::string& dir() const { return dir_; }
    XWindow window() const { return w_; }
    void moveTo(int x, int y) { x_.moveTo(ox_ + x, oy_ + y); }
    void clickAt(int x, int y) { moveTo(x, y), x_.click(); }
    static int item(int i) { return 509 + 20 * i + 10; }
    bool menuOpen() {
        const uint32_t c = x_.pixel(x_.root(), ox_ + 60, oy_ + item(0));
        return c == 0xE8E8E8 || c == 0x2F6FCF;
    }
    // Asks the host to quit as a session manager does (SIGTERM) or as the
    // window manager's close button does, and waits until it has ended:
    // false when it still runs after timeoutMs.
    bool quit(bool byCloseButton, int timeoutMs) {
        if (byCloseButton)
            x_.askToClose(w_);
        else
            ::kill(pid_, SIGTERM);
        return hvtest::waitUntil([&] { return ended_.load(); }, timeoutMs, 1);
    }
    // Quits by SIGTERM unless it has ended; what it printed.
    std::map<int, double> stop() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGTERM);
            // A host that hears no signal is ended without its printout.
            if (!hvtest::waitUntil([&] { return ended_.load(); }, 60000)) ::kill(pid_, SIGKILL);
        }
        pid_ = 0;
        if (runner_.joinable()) runner_.join();
        // The next host's window is told apart from this one only once this
        // one has gone.
        if (w_) hvtest::waitUntil([&] { return x_.mapState(w_) == hvtest::XProbe::Gone; }, 20000);
        w_ = 0;
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
    // Part of the window as it shows.
    hvtest::XProbe::Image capture(int x, int y, int width, int height) {
        return x_.capture(x_.root(), ox_ + x, oy_ + y, width, height);
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
    std::atomic<bool> ended_{false};
    int pid_ = 0, ox_ = 0, oy_ = 0;
    XWindow w_ = 0;
    bool ready_ = false;
};

}  // namespace guitest
