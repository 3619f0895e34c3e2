// What an idle panel costs: the editor in halvoran-host, its window shown on
// a private Xvfb and nothing happening, for a stretch of wall time (20 s),
// as the share of one core it used: its GUI thread, the panel's own threads
// (every thread of the process but the host's render thread, which a
// workstation runs whether a panel shows or not), and the whole process,
// that render thread included; beside it the same for the peer, a bare Xlib
// program that shows a window of the panel's size and waits in its event
// loop. The panel runs twice: without a MIDI system, and with its JACK ports
// open on a private JACK server (dummy driver), to a peer client's ports.
// Every process is pinned to one core. Exits non-zero when a case fails or
// the panel's own threads miss the target.
//
// Options: --seconds S (20), --cpu N (the core; default the last one
// allowed), --host PATH (halvoran-host of this build).
#include <X11/Xlib.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/jack_server.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int g_cpu = -1;

// A child that ends with us, on the chosen core, its output to /dev/null
// unless `out` names a file; `run` replaces it (exec) or is its whole life.
pid_t startChild(const std::function<void()>& run, const std::string& out = "") {
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    if (g_cpu >= 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(g_cpu, &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    int sink = open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (sink >= 0) {
        dup2(sink, 1);
        dup2(sink, 2);
    }
    run();
    _exit(127);
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// A private Xvfb; its display, or empty.
std::string startXvfb(pid_t& pid) {
    int fds[2];
    if (pipe(fds) != 0) return "";
    pid = startChild([&] {
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
    });
    close(fds[1]);
    std::string number;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    return number.empty() ? "" : ":" + number;
}

pid_t startJack(const std::string& name) {
    pid_t pid = startChild([&] { hvbench::execDummyJackd(name, 256, 48000); });
    return hvbench::awaitJackServer(name, pid) ? pid : -1;
}

// A quiet peer on the JACK server: one MIDI port each way, nothing sent.
pid_t startJackPeer(const std::string& server) {
    return startChild([&] {
        jack_status_t status{};
        jack_client_t* c = jack_client_open("hv-idle-peer", jack_options_t(JackNoStartServer | JackServerName), &status,
                                            server.c_str());
        if (!c) _exit(1);
        jack_port_register(c, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_port_register(c, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_activate(c);
        pause();
        _exit(0);
    });
}

// The peer: a window of the panel's size in a blocking event loop.
pid_t startBareLoop() {
    return startChild([] {
        Display* d = XOpenDisplay(nullptr);
        if (!d) _exit(1);
        ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1200, 720, 0, 0, 0x303030);
        XSelectInput(d, w, ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask);
        XStoreName(d, w, "Halvoran");
        XMapWindow(d, w);
        for (;;) {
            XEvent ev;
            XNextEvent(d, &ev);
        }
    });
}

pid_t startPanel(const std::string& host, const std::string& dataDir, const std::vector<std::string>& extra,
                 const std::string& out = "") {
    return startChild(
        [&] {
            setenv("HALVORAN_DATA_DIR", dataDir.c_str(), 1);
            std::vector<std::string> args = {host, "--view", "--seconds", "3600"};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(host.c_str(), argv.data());
        },
        out);
}

// CPU time in seconds from a /proc stat line.
double statSeconds(const std::string& path) {
    std::ifstream in(path);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = all.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(all.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoull(f);
        if (i == 15) stime = std::stoull(f);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// A process's CPU time: its GUI (first) thread, the host's render thread,
// and all its threads together (those that ended too).
struct Cpu {
    double gui = 0, render = 0, total = 0;
};

Cpu cpuOf(pid_t pid) {
    Cpu c;
    const std::string proc = "/proc/" + std::to_string(pid);
    c.total = statSeconds(proc + "/stat");
    c.gui = statSeconds(proc + "/task/" + std::to_string(pid) + "/stat");
    std::error_code ec;
    for (const auto& t : fs::directory_iterator(proc + "/task", ec)) {
        std::ifstream name(t.path() / "comm");
        std::string comm;
        std::getline(name, comm);
        if (comm == "host render") c.render += statSeconds((t.path() / "stat").string());
    }
    return c;
}

// Waits until a window of that title shows (the program is up and idle).
bool windowShows(const std::string& title) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    auto found = [&] {
        std::vector<::Window> todo = {DefaultRootWindow(d)};
        while (!todo.empty()) {
            ::Window w = todo.back();
            todo.pop_back();
            char* name = nullptr;
            if (XFetchName(d, w, &name) && name) {
                bool match = title == name;
                XFree(name);
                XWindowAttributes a{};
                if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return true;
            }
            ::Window root, parent, *kids = nullptr;
            unsigned n = 0;
            if (XQueryTree(d, w, &root, &parent, &kids, &n))
                for (unsigned i = 0; i < n; ++i) todo.push_back(kids[i]);
            if (kids) XFree(kids);
        }
        return false;
    };
    bool shown = false;
    for (int i = 0; i < 600 && !shown; ++i) {
        shown = found();
        if (!shown) std::this_thread::sleep_for(50ms);
    }
    XCloseDisplay(d);
    return shown;
}

// The shares of one core used over the stretch, in percent: the GUI
// thread's, the panel's own (all but the host's render thread), the render
// thread's and the whole process's.
struct Share {
    double gui = -1, panel = -1, render = -1, whole = -1;
};

Share idleShare(pid_t pid, double seconds) {
    std::this_thread::sleep_for(2s);  // start-up's last work done
    Cpu before = cpuOf(pid);
    auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    Cpu after = cpuOf(pid);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Share s;
    if (before.total < 0 || after.total < 0) return s;
    s.gui = 100.0 * (after.gui - before.gui) / wall;
    s.render = 100.0 * (after.render - before.render) / wall;
    s.panel = 100.0 * ((after.total - after.render) - (before.total - before.render)) / wall;
    s.whole = 100.0 * (after.total - before.total) / wall;
    return s;
}

// The number halvoran-host lists for a port under a port selector.
std::string portNumber(const std::string& listing, const std::string& selector, const std::string& port) {
    std::istringstream lines(listing);
    bool under = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(selector) != std::string::npos) under = true;
        if (under && line.find(port) != std::string::npos) {
            std::istringstream f(line);
            std::string n;
            f >> n;
            return n;
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    std::string host = HV_HOST_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--seconds") seconds = std::atof(argv[i + 1]);
        if (a == "--cpu") g_cpu = std::atoi(argv[i + 1]);
        if (a == "--host") host = argv[i + 1];
    }
    if (g_cpu < 0) {
        cpu_set_t allowed;
        if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
            for (int c = 0; c < CPU_SETSIZE; ++c)
                if (CPU_ISSET(c, &allowed)) g_cpu = c;
    }
    pid_t xvfb = -1;
    std::string display = startXvfb(xvfb);
    if (display.empty()) {
        std::fprintf(stderr, "bench_idle: Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", display.c_str(), 1);
    fs::path data = fs::temp_directory_path() / ("halvoran-idle-" + std::to_string(getpid()));
    fs::create_directories(data / "Patches");
    std::ofstream(data / "Halvoran UI.txt") << "normal\nlegacy\nfirst run: no\n";
    const std::string jackName = "hv-idle-" + std::to_string(getpid());
    setenv("HALVORAN_MIDI_API", "jack", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);

    struct Row {
        std::string what;
        Share share;
    };
    std::vector<Row> rows;
    auto measure = [&](const std::string& what, pid_t pid, const std::string& title) {
        Share share = pid > 0 && windowShows(title) ? idleShare(pid, seconds) : Share{};
        stop(pid);
        rows.push_back({what, share});
    };

    std::printf("Idle CPU share of one core over %.0f s, pinned to core %d (display %s)\n", seconds, g_cpu,
                display.c_str());
    std::fflush(stdout);
    measure("bare X event loop (peer)", startBareLoop(), "Halvoran");
    // No MIDI system: JACK is asked for and no server of that name runs.
    setenv("JACK_DEFAULT_SERVER", (jackName + "-none").c_str(), 1);
    measure("idle panel, no MIDI system", startPanel(host, data.string(), {}), "Halvoran");

    setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
    pid_t jack = startJack(jackName);
    pid_t peer = jack > 0 ? startJackPeer(jackName) : -1;
    std::string listing;
    if (peer > 0) {
        std::this_thread::sleep_for(500ms);
        fs::path out = data / "params.txt";
        pid_t lister = startChild(
            [&] { execl(host.c_str(), host.c_str(), "--list-params", static_cast<char*>(nullptr)); }, out.string());
        waitpid(lister, nullptr, 0);
        std::ifstream in(out);
        listing.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string outPort = portNumber(listing, "427", "hv-idle-peer:in");
    std::string inPort = portNumber(listing, "428", "hv-idle-peer:out");
    if (outPort.empty() || inPort.empty()) {
        std::fprintf(stderr, "bench_idle: the peer's JACK ports are not listed\n%s", listing.c_str());
        rows.push_back({"idle panel, JACK ports open", Share{}});
    } else {
        measure("idle panel, JACK ports open",
                startPanel(host, data.string(), {"--set", "427=" + outPort, "--set", "428=" + inPort}), "Halvoran");
    }
    stop(peer);
    stop(jack);
    stop(xvfb);
    std::error_code ec;
    fs::remove_all(data, ec);

    constexpr double kTarget = 0.5;  // percent of a core: the panel's own threads with JACK ports open
    const double bare = rows.front().share.panel;
    int status = 0;
    std::printf("%-30s %10s %12s %14s %14s %14s\n", "case", "GUI thread", "own threads", "vs bare loop", "host render",
                "whole process");
    for (const Row& r : rows) {
        if (r.share.whole < 0) {
            std::printf("%-30s %10s\n", r.what.c_str(), "failed");
            status = 1;
            continue;
        }
        std::printf("%-30s %9.3f%% %11.3f%% %+11.3f pt %13.3f%% %13.3f%%\n", r.what.c_str(), r.share.gui, r.share.panel,
                    r.share.panel - bare, r.share.render, r.share.whole);
    }
    const bool met = rows.back().share.panel >= 0 && rows.back().share.panel <= kTarget;
    std::printf("target: the idle panel with JACK ports open, its own threads within %.1f%% of a core: %s\n", kTarget,
                met ? "met" : "MISSED");
    return met ? status : 1;
}
