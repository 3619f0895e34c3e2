#include "support/x11/XvfbServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace hvtest {

namespace {

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

}  // namespace

XvfbServer& XvfbServer::shared() {
    static std::unique_ptr<XvfbServer> server = std::make_unique<XvfbServer>(1280, 1024);
    if (!server->ok()) ADD_FAILURE() << "the private Xvfb did not start:\n" << server->log();
    return *server;
}

XvfbServer::XvfbServer(int width, int height) : width_(width), height_(height) {
    logPath_ =
        "/tmp/hv-xvfb-" + std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log";
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    // Everything the child needs is made before fork: it only calls
    // async-signal-safe functions until exec.
    const int childFd = fds[1] == 3 ? 4 : 3;
    std::vector<std::string> args = {
        "Xvfb",      "-displayfd", std::to_string(childFd),
        "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
        "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int logFd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
        dup2(fds[1], childFd);  // the copy is inherited; the original closes on exec
        execvp("Xvfb", argv.data());
        _exit(127);
    }
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
}

XvfbServer::~XvfbServer() {
    stop();
    unlink(logPath_.c_str());
}

void XvfbServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
}

std::string XvfbServer::log() const {
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace hvtest
