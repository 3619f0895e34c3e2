#include "support/JackServer.h"

#include "support/DeferredCancel.h"
#include "support/HangWatch.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <memory>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hvtest {

namespace {

enum class Probe { kAnswers, kAbsent, kSilent };

// Asks in a process of its own, so that a server that holds its clients
// (stopped, or stuck) costs a bounded wait and never this program's thread.
Probe probeServer(const std::string& name, std::chrono::milliseconds limit) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env = {"JACK_NO_START_SERVER=1"};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "JACK_NO_START_SERVER=", 21) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const char* argv[] = {"jack_lsp", "-s", name.c_str(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "jack_lsp", &files, nullptr, const_cast<char* const*>(argv), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (failed) return Probe::kAbsent;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int st = 0;
    while (waitpid(pid, &st, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return Probe::kSilent;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(st) && WEXITSTATUS(st) == 0 ? Probe::kAnswers : Probe::kAbsent;
}

constexpr std::chrono::seconds kProbeLimit{10};

std::atomic<unsigned> gSweeps{0};
std::atomic<void (*)(const char*)> gChainedErrors{nullptr};

// Silent, but counts libjack's sweeps of the process's clients and passes
// every message on to a function set before (the editor's).
void noteJackErrors(const char* text) {
    if (text && std::strstr(text, "clients are still allocated")) ++gSweeps;
    if (auto chained = gChainedErrors.load()) chained(text);
}

void silentJackInfo(const char*) {}

void hookJackErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        void (*before)(const char*) = jack_error_callback;
        jack_set_error_function(nullptr);
        if (before != jack_error_callback) gChainedErrors = before;
        jack_set_error_function(noteJackErrors);
        jack_set_info_function(silentJackInfo);
    });
}

// The log's path and how much of it earlier tests wrote, in plain storage:
// the hang watch prints it while other threads may hold any lock.
char gLogPath[512];
std::atomic<off_t> gLogShown{0};
std::atomic<pid_t> gServerPid{-1};
// A server a test stopped: one left stopped when the program aborts would
// never end, and would hold every later client that asks for its name.
std::atomic<pid_t> gPausedPid{-1};

void printLogFrom(off_t from) {
    int fd = open(gLogPath, O_RDONLY);
    if (fd < 0) return;
    const off_t end = lseek(fd, 0, SEEK_END);
    constexpr off_t kMost = 64 * 1024;
    from = std::max(from, end - kMost);
    if (end > from) {
        dprintf(2, "\n--- the JACK server's output (%s) during this test ---\n", gLogPath);
        char buf[4096];
        lseek(fd, from, SEEK_SET);
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
            if (write(2, buf, static_cast<size_t>(n)) < 0) break;
        dprintf(2, "--- end of the JACK server's output ---\n");
    }
    close(fd);
}

void reportHang() {
    if (const pid_t paused = gPausedPid; paused > 0) kill(paused, SIGCONT);
    printLogFrom(gLogShown);
    if (const pid_t server = gServerPid; server > 0) {
        dprintf(2, "\nThe JACK server's threads:\n");
        printStacks(server);
    }
}

class LogOnFailure : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { gLogShown = logSize(); }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.result() && test.result()->Failed()) printLogFrom(gLogShown);
    }
    static off_t logSize() {
        struct stat st {};
        return stat(gLogPath, &st) == 0 ? st.st_size : 0;
    }
};

}  // namespace

JackServer& JackServer::shared() {
    useDeferredCancel();
    armHangWatch();
    static std::unique_ptr<JackServer> server = [] {
        auto s = std::make_unique<JackServer>("hvtest");
        s->start();
        std::snprintf(gLogPath, sizeof gLogPath, "%s", s->logPath().c_str());
        ::testing::UnitTest::GetInstance()->listeners().Append(new LogOnFailure);
        onHang(reportHang);
        gServerPid = s->pid_;
        return s;
    }();
    if (!server->running()) ADD_FAILURE() << "the private JACK server did not start";
    return *server;
}

JackServer::JackServer(std::string stem) : stem_(std::move(stem)), name_(stem_ + "-0") {
    const char* dir = getenv("TMPDIR");
    logPath_ = std::string(dir && *dir ? dir : "/tmp") + "/" + stem_ + "-jackd-" + std::to_string(getpid()) + ".log";
}

JackServer::~JackServer() {
    stop();
    unlink(logPath_.c_str());
}

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
    hookJackErrors();
    // A name that answers, or a server that holds its clients, is another
    // test program's.
    if (probeServer(name_, kProbeLimit) != Probe::kAbsent) return false;
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
        int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        std::string period = std::to_string(periodFrames()), rate = std::to_string(sampleRate());
        // Synchronous mode: the server waits for slow clients (up to the
        // timeout) instead of dropping what they send in a late cycle. In
        // jackd's default asynchronous mode a late reader loses or garbles
        // events by chance, the simulated instrument's as well: tests that
        // need such losses inject them.
        std::vector<const char*> argv = {"jackd", "--no-realtime", "-S", "-t", "10000", "-n", name_.c_str()};
        if (getenv("HALVORAN_JACK_VERBOSE")) argv.push_back("-v");
        for (const char* a : {"-d", "dummy", "-r", rate.c_str(), "-p", period.c_str()}) argv.push_back(a);
        argv.push_back(nullptr);
        execvp("jackd", const_cast<char* const*>(argv.data()));
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
        if (probeServer(name_, kProbeLimit) == Probe::kAnswers) {
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
    if (gPausedPid == pid_) gPausedPid = -1;
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

void JackServer::endAtOnce() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    if (gPausedPid == pid_) gPausedPid = -1;
    pid_ = -1;
}

void JackServer::pause() {
    if (pid_ <= 0) return;
    gPausedPid = pid_;
    kill(pid_, SIGSTOP);
}

void JackServer::resume() {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);
    gPausedPid = -1;
}

void closeMidiPorts(std::initializer_list<RtMidi*> parties) {
    for (RtMidi* p : parties) {
        if (!p) continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        p->closePort();
    }
}

std::string jackPortName(const std::string& client, const std::string& port) { return client + ":" + port; }

std::string uniqueClientName(const std::string& stem) {
    static std::atomic<int> n{0};
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++n);
}

namespace {

std::vector<int> openSockets() {
    std::vector<int> fds;
    for (int fd = 0; fd < 4096; ++fd) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode)) fds.push_back(fd);
    }
    return fds;
}

}  // namespace

JackParty::JackParty(const std::string& name) {
    hookJackErrors();
    const std::vector<int> before = openSockets();
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
    // A sweep this open made did not reach this client.
    sweeps_ = jackSweeps();
    for (int fd : openSockets())
        if (std::find(before.begin(), before.end(), fd) == before.end()) sockets_.push_back(fd);
}

void JackParty::breakLink() {
    for (int fd : sockets_) shutdown(fd, SHUT_RDWR);
}

JackParty::~JackParty() {
    if (client_ && linkSound()) jack_client_close(client_);
}

bool JackParty::linkSound() const {
    if (!client_ || jackSweeps() != sweeps_) return false;
    char* uuid = jack_get_uuid_for_client_name(client_, jack_get_client_name(client_));
    if (!uuid) return false;
    jack_free(uuid);
    return true;
}

bool JackParty::hasPort(const std::string& name) const {
    return linkSound() && jack_port_by_name(client_, name.c_str()) != nullptr;
}

void JackParty::countCycles() {
    if (!client_) return;
    jack_set_process_callback(
        client_,
        [](jack_nframes_t, void* arg) -> int {
            ++*static_cast<std::atomic<uint64_t>*>(arg);
            return 0;
        },
        &cycles_);
    jack_activate(client_);
}

unsigned jackSweeps() { return gSweeps; }

void letGo(std::unique_ptr<JackParty>& party, std::unique_ptr<RtMidiIn>& in, std::unique_ptr<RtMidiOut>& out) {
    if (in) in->cancelCallback();
    if (party && party->linkSound()) {
        closeMidiPorts({in.get(), out.get()});
        in.reset();
        out.reset();
        party.reset();
        return;
    }
    keepForGood(in);
    keepForGood(out);
    keepForGood(party);
}

void keepPointer(void* given) {
    static std::mutex lock;
    static auto* kept = new std::vector<void*>;
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(given);
}

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
