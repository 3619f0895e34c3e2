#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/appkit/Backend.h"

extern char** environ;

namespace platform::appkit {

namespace {

// Starts the program; its process id, or -1 when it could not start.
pid_t spawn(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return -1;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

// On a thread of its own: the verdict on the program within patienceMs, then
// the wait that reaps it whenever it ends (that thread holds nothing).
void watch(pid_t pid, int patienceMs, std::function<void(bool)> ended) {
    std::thread([pid, patienceMs, ended = std::move(ended)] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
        for (;;) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                if (ended) ended(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                return;
            }
            // Reaped elsewhere (children ignored): nothing says it failed.
            if (done < 0 && errno != EINTR) break;
            if (done == 0 && std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (ended) ended(true);
        waitpid(pid, nullptr, 0);
    }).detach();
}

}  // namespace

bool spawnDetached(const std::vector<std::string>& argv) {
    const pid_t pid = spawn(argv);
    if (pid < 0) return false;
    watch(pid, 0, {});
    return true;
}

namespace {
bool endsWithApp(const std::string& s) {
    if (s.size() < 5) return false;
    std::string tail = s.substr(s.size() - 4);
    for (auto& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".app";
}

// A Mac application bundle name stands for the program of that name, except
// the system's text editor, for which the desktop's own choice serves.
std::string programFor(const std::string& app) {
    if (app == "TextEdit.app") return std::string();
    return endsWithApp(app) ? app.substr(0, app.size() - 4) : app;
}

// The program that opens the document, with its arguments.
std::vector<std::string> openerFor(const std::string& path, const std::string& app) {
    std::string program = programFor(app);
    return {program.empty() ? std::string("xdg-open") : program, path};
}
}  // namespace

bool Backend::openFile(const std::string& path, const std::string& app) { return spawnDetached(openerFor(path, app)); }

void Backend::openFileThen(const std::string& path, const std::string& app, int patienceMs,
                           std::function<void(bool)> opened) {
    const pid_t pid = spawn(openerFor(path, app));
    if (pid < 0) {
        if (opened) opened(false);
        return;
    }
    watch(pid, patienceMs, std::move(opened));
}

bool Backend::launchApplication(const std::string& app) { return spawnDetached({programFor(app)}); }

void Backend::waitForEvents(int timeoutMs, int wakeFd) {
    pollfd p{wakeFd, POLLIN, 0};
    poll(wakeFd >= 0 ? &p : nullptr, wakeFd >= 0 ? 1 : 0, timeoutMs);
}

bool Backend::dispatchNextEvent(int timeoutMs) {
    processEvents(timeoutMs);
    return false;
}

}  // namespace platform::appkit
