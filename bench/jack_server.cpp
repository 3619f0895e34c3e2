#include "bench/jack_server.h"

#include <jack/jack.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace hvbench {

namespace {
void quiet(const char*) {}
}  // namespace

bool jackServerAnswers(const std::string& name) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    jack_client_t* c =
        jack_client_open("hv-bench-probe", jack_options_t(JackNoStartServer | JackServerName), &status, name.c_str());
    if (!c) return false;
    jack_client_close(c);
    return true;
}

void execDummyJackd(const std::string& name, int period, int rate) {
    const std::string p = std::to_string(period), r = std::to_string(rate);
    execlp("jackd", "jackd", "--no-realtime", "-n", name.c_str(), "-d", "dummy", "-r", r.c_str(), "-p", p.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
}

bool awaitJackServer(const std::string& name, pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (jackServerAnswers(name)) return true;
        if (waitpid(pid, nullptr, WNOHANG) != 0) return false;  // ended, and reaped
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return false;
}

}  // namespace hvbench
