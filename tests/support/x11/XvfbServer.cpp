#include "support/x11/XvfbServer.h"

#include "support/HangWatch.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib's macros (None) would break its headers.
#include "platform/appkit/X11Frames.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

extern char** environ;

namespace hvtest {

namespace {

// What a desktop's manager does with the mouse, as Debian's configuration
// has it: a press in a window focuses and raises it (and reaches the
// window), the title bar (or Alt and the window) moves it, the edges resize
// it, the close button asks it to close. No keys, no menus, one desktop.
constexpr const char* kOpenboxRc = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
  <theme><name>Clearlooks</name></theme>
  <menu><file>@MENU@</file></menu>
  <mouse>
    <dragThreshold>1</dragThreshold>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Middle" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Right" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Drag"><action name="Move"/></mousebind>
    </context>
    <context name="Frame">
      <mousebind button="A-Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="A-Left" action="Drag"><action name="Move"/></mousebind>
    </context>
    <context name="Top"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="Bottom"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="Left"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="Right"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="BLCorner"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="BRCorner"><mousebind button="Left" action="Drag"><action name="Resize"/></mousebind></context>
    <context name="Close">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Click"><action name="Close"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// Reads the display number the server writes once it accepts connections.
// Empty when the server exits first or the time is up.
std::string readDisplayNumber(int fd, pid_t pid, std::chrono::seconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r > 0) {
            char buf[32];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) return "";  // the server closed its end without a number
            text.append(buf, size_t(n));
            if (text.find('\n') != std::string::npos) return text.substr(0, text.find('\n'));
        }
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) return "";
    }
    return "";
}

// Starts a program with its output going to logFd, its input from nowhere,
// and passFd (when given) as descriptor passAs; with env empty it keeps
// ours. It ends with the thread that started it. The child only calls
// async-signal-safe functions until exec.
pid_t startLogged(const std::vector<std::string>& args, const std::vector<std::string>& env, int logFd, int passFd = -1,
                  int passAs = -1) {
    std::vector<std::string> a = args, e = env;
    std::vector<char*> argv, envp;
    for (auto& x : a) argv.push_back(x.data());
    argv.push_back(nullptr);
    for (auto& x : e) envp.push_back(x.data());
    envp.push_back(nullptr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        if (logFd >= 0) {
            dup2(logFd, 1);
            dup2(logFd, 2);
        }
        if (passFd >= 0) dup2(passFd, passAs);  // the copy is inherited; the original closes on exec
        if (e.empty())
            execvp(argv[0], argv.data());
        else
            execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

void stopChild(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace

XvfbServer::WindowManager XvfbServer::requested() {
    const char* wm = std::getenv("HV_TEST_WM");
    return wm && std::string(wm) == "openbox" ? WindowManager::Openbox : WindowManager::Bare;
}

XvfbServer& XvfbServer::shared() {
    // A window road that hangs (a modal run nobody ends) prints its stacks
    // and ends, rather than holding the whole run until CTest's limit.
    armHangWatch();
    static std::unique_ptr<XvfbServer> server = std::make_unique<XvfbServer>(1280, 1024, requested());
    if (!server->ok())
        ADD_FAILURE() << "the private Xvfb" << (server->windowManager() != WindowManager::Bare ? " or Openbox" : "")
                      << " did not start:\n"
                      << server->log();
    return *server;
}

XvfbServer::XvfbServer(int width, int height, WindowManager wm) : width_(width), height_(height), wm_(wm) {
    logPath_ =
        "/tmp/hv-xvfb-" + std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log";
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const int childFd = fds[1] == 3 ? 4 : 3;
    int logFd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid =
        startLogged({"Xvfb", "-displayfd", std::to_string(childFd), "-screen", "0",
                     std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
                    {}, logFd, fds[1], childFd);
    close(fds[1]);
    if (logFd >= 0) close(logFd);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    pid_ = pid;
    std::string number = readDisplayNumber(fds[0], pid_, std::chrono::seconds(30));
    close(fds[0]);
    if (number.empty()) {
        stop();
        return;
    }
    display_ = ":" + number;
    if (wm_ != WindowManager::Bare) startWindowManager();
}

void XvfbServer::startWindowManager() {
    char dirTemplate[] = "/tmp/hv-openbox-XXXXXX";
    if (!mkdtemp(dirTemplate)) return;
    wmDir_ = dirTemplate;
    std::string rc = kOpenboxRc;
    rc.replace(rc.find("@MENU@"), 6, wmDir_ + "/menu.xml");
    std::ofstream(wmDir_ + "/rc.xml") << rc;
    std::ofstream(wmDir_ + "/menu.xml") << "<openbox_menu xmlns=\"http://openbox.org/3.4/menu\"/>\n";
    // Nothing of the user's: configuration and cache in the private folder.
    std::vector<std::string> env = {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + wmDir_, "XDG_CACHE_HOME=" + wmDir_,
                                    "XDG_CONFIG_DIRS=" + wmDir_};
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("DISPLAY=", 0) != 0 && v.rfind("XDG_CONFIG_", 0) != 0 && v.rfind("XDG_CACHE_HOME=", 0) != 0)
            env.push_back(v);
    }
    int logFd = open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    pid_t pid = startLogged({"openbox", "--sm-disable", "--config-file", wmDir_ + "/rc.xml"}, env, logFd);
    if (logFd >= 0) close(logFd);
    if (pid < 0) return;
    Display* d = XOpenDisplay(display_.c_str());
    if (!d) {
        stopChild(pid);
        return;
    }
    // The manager's window may be gone between two reads.
    XErrorHandler old = XSetErrorHandler(ignoreErrors);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool ready = false;
    while (!ready && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) break;
        ready = platform::appkit::x11WindowManagerRunning(d);
        if (!ready) poll(nullptr, 0, 10);
    }
    // A window mapped while the manager still starts up can wait unseen in
    // its queue until something else wakes it: ready means a window of ours
    // was framed, with the root's properties touched now and then meanwhile.
    if (ready) {
        ready = false;
        ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(d, w);
        Atom poke = XInternAtom(d, "HV_TEST_WAKE", False);
        while (!ready && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) break;
            ::Window rootWin = 0, parent = 0, *kids = nullptr;
            unsigned n = 0;
            if (XQueryTree(d, w, &rootWin, &parent, &kids, &n)) ready = parent != rootWin;
            if (kids) XFree(kids);
            if (ready) break;
            long tick = 0;
            XChangeProperty(d, DefaultRootWindow(d), poke, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&tick), 1);
            XSync(d, False);
            poll(nullptr, 0, 20);
        }
        XDeleteProperty(d, DefaultRootWindow(d), poke);
        XDestroyWindow(d, w);
        settleWindowManager(d);
    }
    XSync(d, False);
    XSetErrorHandler(old);
    XCloseDisplay(d);
    if (ready)
        wmPid_ = pid;
    else
        stopChild(pid);
}

void XvfbServer::settleWindowManager(Display* d) {
    // The manager answers a frame-extents request in turn with its other
    // events; a window never mapped costs it nothing to answer for.
    ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    platform::appkit::x11FrameExtents(d, w, std::chrono::seconds(10));
    XDestroyWindow(d, w);
    XSync(d, False);
}

XvfbServer::~XvfbServer() {
    stop();
    unlink(logPath_.c_str());
}

void XvfbServer::stop() {
    stopChild(wmPid_);
    if (!wmDir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(wmDir_, ec);
        wmDir_.clear();
    }
    stopChild(pid_);
}

std::string XvfbServer::log() const {
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace hvtest
