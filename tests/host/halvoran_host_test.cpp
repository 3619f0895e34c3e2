// halvoran-host itself: its command line, its transport, and whole runs of
// the program against the test unit.
#include "host/HostOptions.h"
#include "host/HostTransport.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using hvhost::HostOptions;
using hvhost::TimedEvent;

bool parse(std::vector<const char*> args, HostOptions* o, std::string* error = nullptr) {
    args.insert(args.begin(), "halvoran-host");
    return hvhost::parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(HostOptions, ReadsEveryOptionAndOrdersEvents) {
    HostOptions o;
    ASSERT_TRUE(parse({"--plugin", "x.so",      "--rate", "44100",         "--block",        "256",           "--tempo",
                       "98.5",     "--play",    "--at",   "2:stop",        "--at",           "0.5:tempo=140", "--at",
                       "1:play",   "--seconds", "3",      "--fast",        "--load",         "a.proj",        "--save",
                       "b.proj",   "--set",     "3=0.25", "--list-params", "--print-params", "--view"},
                      &o));
    EXPECT_EQ(o.plugin, "x.so");
    EXPECT_EQ(o.sampleRate, 44100.0);
    EXPECT_EQ(o.blockSize, 256);
    EXPECT_EQ(o.tempo, 98.5);
    EXPECT_TRUE(o.playing);
    ASSERT_EQ(o.events.size(), 3u);
    EXPECT_EQ(o.events[0].kind, TimedEvent::kTempo);
    EXPECT_EQ(o.events[0].tempo, 140.0);
    EXPECT_EQ(o.events[1].kind, TimedEvent::kPlay);
    EXPECT_EQ(o.events[2].at, 2.0);
    EXPECT_EQ(o.seconds, 3.0);
    EXPECT_FALSE(o.realTime);
    EXPECT_EQ(o.loadProject, "a.proj");
    EXPECT_EQ(o.saveProject, "b.proj");
    ASSERT_EQ(o.setParams.size(), 1u);
    EXPECT_EQ(o.setParams[0], (std::pair<int, float>{3, 0.25f}));
    EXPECT_TRUE(o.listParams && o.printParams && o.view);

    HostOptions d;
    ASSERT_TRUE(parse({}, &d));
    EXPECT_EQ(d.sampleRate, 48000.0);
    EXPECT_EQ(d.blockSize, 512);
    EXPECT_LT(d.seconds, 0.0);
    EXPECT_TRUE(d.realTime);
}

TEST(HostOptions, RefusesWhatItCannotFollow) {
    const std::vector<std::vector<const char*>> bad = {
        {"--rate"},          {"--rate", "fast"},  {"--rate", "10"},   {"--block", "0"},    {"--block", "12x"},
        {"--tempo", "-1"},   {"--at", "1"},       {"--at", "x:play"}, {"--at", "1:pause"}, {"--at", "1:tempo=0"},
        {"--at", "-1:play"}, {"--seconds", "-2"}, {"--set", "3"},     {"--set", "a=1"},    {"--set", "-1=2"},
        {"--bogus"},         {"stray"},           {"--tempo", "nan"},
    };
    for (const auto& args : bad) {
        HostOptions o;
        o.plugin = "unchanged";
        std::string error;
        EXPECT_FALSE(parse(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(o.plugin, "unchanged");
    }
}

TEST(HostTransport, ReportsAStartOnceAndMovesOnlyWhilePlaying) {
    hvhost::HostTransport t(48000, 120, false);
    auto cb = t.callbacks();
    bool playing = true, changed = true, cyc = true;
    double pos = -1, cs, ce, beat = -1, tempo = 0;
    cb.transportStateProc(cb.hostUserData, &playing, &changed, &pos, &cyc, &cs, &ce);
    EXPECT_FALSE(playing);
    EXPECT_FALSE(changed);
    t.advance(512);
    EXPECT_EQ(t.samplePosition(), 0.0);
    t.setPlaying(true);
    cb.transportStateProc(cb.hostUserData, &playing, &changed, &pos, &cyc, &cs, &ce);
    EXPECT_TRUE(playing && changed);
    t.advance(24000);
    cb.transportStateProc(cb.hostUserData, &playing, &changed, &pos, &cyc, &cs, &ce);
    EXPECT_FALSE(changed);
    EXPECT_EQ(pos, 24000.0);
    cb.beatAndTempoProc(cb.hostUserData, &beat, &tempo);
    EXPECT_DOUBLE_EQ(beat, 1.0);  // half a second at 120 BPM
    EXPECT_EQ(tempo, 120.0);
    t.setPlaying(true);  // no change, no report
    cb.transportStateProc(cb.hostUserData, &playing, &changed, &pos, &cyc, &cs, &ce);
    EXPECT_FALSE(changed);
    t.setTempo(-5);
    EXPECT_EQ(t.tempo(), 120.0);
}

using HostRun = hvtest::ProgramRun;

HostRun runHost(const std::string& args) {
    return hvtest::runProgram(std::string("LSAN_OPTIONS=suppressions='") + HV_LSAN_SUPP + "' timeout 120 '" +
                              HV_HOST_PATH + "' --plugin '" + HV_TESTUNIT_PATH + "' " + args + " 2>/dev/null");
}

// "ID<TAB>NAME<TAB>VALUE" lines by name.
std::map<std::string, double> values(const std::string& out) {
    std::map<std::string, double> m;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        m[line.substr(a + 1, b - a - 1)] = std::stod(line.substr(b + 1));
    }
    return m;
}

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        dir = fs::temp_directory_path() / ("hv-host-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(HostProgram, RendersWithTheTransportAndTempoTheCommandLineSets) {
    HostRun r = runHost(
        "--fast --rate 48000 --block 512 --tempo 120.7 --seconds 1 --at 0.25:play --at 0.5:stop "
        "--at 0.6:tempo=99.5 --at 0.75:play --print-params");
    ASSERT_EQ(r.status, 0) << r.out;
    auto v = values(r.out);
    EXPECT_EQ(v["Blocks"], 94.0);  // ceil(48000 / 512)
    EXPECT_EQ(v["Transport Edges"], 3.0);
    EXPECT_NEAR(v["Tempo Seen"], 99.5, 1e-3);
    EXPECT_EQ(v["Resets"], 1.0);
}

TEST_F(HostProgram, SavesAProjectAndRestoresItInAFreshRun) {
    std::string proj = (dir / "song.hvproj").string();
    HostRun first = runHost("--fast --seconds 0.1 --set 0=0.125 --set 2=2 --save '" + proj + "'");
    ASSERT_EQ(first.status, 0) << first.out;
    ASSERT_TRUE(fs::exists(proj));
    HostRun second = runHost("--fast --seconds 0 --load '" + proj + "' --print-params");
    ASSERT_EQ(second.status, 0) << second.out;
    auto v = values(second.out);
    EXPECT_EQ(v["Gain"], 0.125);
    EXPECT_EQ(v["Radio"], 2.0);
    EXPECT_EQ(v["Blocks"], 10.0);  // as saved: the second run rendered nothing

    std::ofstream(proj) << "<plist><dict><key>name</key><string>x</string></dict></plist>";
    HostRun refused = runHost("--fast --seconds 0 --load '" + proj + "'");
    EXPECT_EQ(refused.status, 1);
    HostRun missing = runHost("--fast --seconds 0 --load '" + (dir / "nope").string() + "'");
    EXPECT_EQ(missing.status, 1);
    HostRun badArgs = runHost("--block 0");
    EXPECT_EQ(badArgs.status, 2);
}

TEST_F(HostProgram, ListsTheParametersWithTheirInfo) {
    HostRun r = runHost("--fast --seconds 0 --list-params");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("2\tRadio\t0\tmin 0\tmax 2\tdefault 0\tgroup Main\tmeta"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1\tMode\t1\tmin 0\tmax 3"), std::string::npos);
}

TEST_F(HostProgram, AListingQuitsByItselfAndNamesThePorts) {
    hvtest::MidiPeer peer("hvlist");
    // No duration given: the listing is all that is asked.
    HostRun r = runHost("--list-params");
    ASSERT_EQ(r.status, 0);
    // Under the output selector, each entry by its index and port name.
    const size_t out = r.out.find("\tMIDI Out\t");
    ASSERT_NE(out, std::string::npos) << r.out;
    const std::string below = r.out.substr(r.out.find('\n', out) + 1);
    EXPECT_EQ(below.rfind("\t0\tSelect MIDI Device\n", 0), 0u) << below;
    const size_t port = below.find("\t" + peer.inName() + "\n");
    ASSERT_NE(port, std::string::npos) << below;
    EXPECT_GT(std::atoi(below.substr(below.rfind('\n', port) + 2).c_str()), 0);
}

// A start that waits for ever (here on a project whose file system does not
// answer) is ended by the signal a user or a session manager sends.
TEST_F(HostProgram, ASignalEndsAStartThatWaits) {
    const std::string project = (dir / "song.proj").string();
    std::ofstream(project) << "<plist/>";
    // Everything the child needs is made before the fork: a child of a
    // threaded program may only call what is safe after one.
    std::vector<std::string> env = {std::string("LD_PRELOAD=") + HV_OUTSIDE_FILES, "HV_HANG_ON_OPEN=song.proj",
                                    "ASAN_OPTIONS=verify_asan_link_order=0"};
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("LD_PRELOAD=", 0) && v.rfind("HV_HANG_ON_OPEN=", 0) && v.rfind("ASAN_OPTIONS=", 0))
            env.push_back(v);
    }
    std::vector<char*> envp, argv;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string host = HV_HOST_PATH, plugin = HV_TESTUNIT_PATH, pluginFlag = "--plugin", loadFlag = "--load";
    argv = {host.data(), pluginFlag.data(), plugin.data(), loadFlag.data(), const_cast<char*>(project.c_str()),
            nullptr};
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    // The host is opening the project once the mark is there; the open
    // never returns.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(project + ".opened") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(std::filesystem::exists(project + ".opened"));
    kill(pid, SIGTERM);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_EQ(done, pid) << "the host did not end";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

}  // namespace
