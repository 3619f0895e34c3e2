#include "support/JackServer.h"

#include "support/DeferredCancel.h"
#include "support/HangWatch.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hvtest {

namespace {

bool serverAnswers(const std::string& name) {
    jack_status_t status{};
    jack_client_t* c =
        jack_client_open("hv-probe", jack_options_t(JackNoStartServer | JackServerName), &status, name.c_str());
    if (!c) return false;
    jack_client_close(c);
    return true;
}

void silentJackErrors(const char*) {}

}  // namespace

JackServer& JackServer::shared() {
    useDeferredCancel();
    armHangWatch();
    static std::unique_ptr<JackServer> server = [] {
        auto s = std::make_unique<JackServer>("hvtest");
        s->start();
        return s;
    }();
    if (!server->running()) ADD_FAILURE() << "the private JACK server did not start";
    return *server;
}

JackServer::JackServer(std::string stem) : stem_(std::move(stem)), name_(stem_ + "-0") {}

JackServer::~JackServer() { stop(); }

bool JackServer::start() {
    // A loaded machine running several test programs at once can turn the
    // first tries away: the server exits (JACK allows only a few servers per
    // user, and other test programs may hold every place) or is slow to
    // answer. Try again until a place frees up.
    //
    // JACK keeps a machine-wide table of a few server names and frees the
    // place of a server that died without leaving (killed, crashed) only when
    // a server of the same name starts. So the names come from a small fixed
    // set: a name taken by a live server fails at once and the next is tried,
    // and a place that a dead server held is taken back.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int attempt = 0; std::chrono::steady_clock::now() < deadline; ++attempt) {
        for (int slot = 0; slot < kNameSlots; ++slot) {
            name_ = stem_ + "-" + std::to_string(slot);
            if (startOnce(std::chrono::seconds(20))) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500 * std::min(attempt + 1, 4)));
    }
    return false;
}

bool JackServer::startOnce(std::chrono::seconds patience) {
    if (running()) return true;
    jack_set_error_function(silentJackErrors);
    jack_set_info_function(silentJackErrors);
    if (serverAnswers(name_)) return false;  // another test program's server
    // Our clients must reach this server and never start one of their own.
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("HALVORAN_MIDI_API", "jack", 1);

    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // The server must not outlive a test that crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0 && !getenv("HALVORAN_JACK_VERBOSE")) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::string period = std::to_string(periodFrames()), rate = std::to_string(sampleRate());
        // Synchronous mode: the server waits for slow clients (up to the
        // timeout) instead of dropping what they send in a late cycle.
        execlp("jackd", "jackd", "--no-realtime", "-S", "-t", "10000", "-n", name_.c_str(), "-d", "dummy", "-r",
               rate.c_str(), "-p", period.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_ = pid;
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (serverAnswers(name_)) {
            // Ours, unless ours has gone meanwhile: then another program's
            // server took the name first and is the one answering.
            if (waitpid(pid_, &st, WNOHANG) != pid_) return true;
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    return false;
}

void JackServer::stop() {
    if (pid_ <= 0) return;
    // A server killed outright keeps its place in JACK's table of servers:
    // give it time to leave by itself (a paused one, once it goes on).
    kill(pid_, SIGTERM);
    kill(pid_, SIGCONT);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void JackServer::pause() {
    if (pid_ > 0) kill(pid_, SIGSTOP);
}

void JackServer::resume() {
    if (pid_ > 0) kill(pid_, SIGCONT);
}

void closeMidiPorts(std::initializer_list<RtMidi*> parties) {
    for (RtMidi* p : parties) {
        if (!p) continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        p->closePort();
    }
}

std::string jackPortName(const std::string& client, const std::string& port) { return client + ":" + port; }

}  // namespace hvtest

// libjack's ring buffers and RtMidi's input queue pass MIDI lock-free
// between a client thread and the JACK process thread; ThreadSanitizer cannot
// see the barriers inside these uninstrumented libraries and reports the
// hand-over as a race. The clients of a server that went away are left
// open on purpose (closing one crashes libjack), so their threads outlive
// the program.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libjack.so\nrace:librtmidi.so\nthread:libjack.so\n";
}
