#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

#include "platform/appkit/Backend.h"

extern char** environ;

namespace platform::appkit {

bool spawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
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
}  // namespace

bool Backend::openFile(const std::string& path, const std::string& app) {
    std::string program = programFor(app);
    if (program.empty()) return spawnDetached({"xdg-open", path});
    return spawnDetached({program, path});
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
