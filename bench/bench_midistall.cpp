// What a MIDI system that stops answering costs the editor: a private JACK
// server is stopped (SIGSTOP) with the editor's ports open, and the time is
// taken of what the user does meanwhile on the panel thread:
//   - quitting during a request-all (the editor's destructor, and the
//     closing of the ports it starts with; the request is cancelled and
//     its polls cut short meanwhile);
//   - a knob turned, then programs sent as dumps (the longest call, and all);
//   - choosing a port;
//   - the Cancel of a request-all with no MIDI system at all (the overlay
//     over "Set MIDI I/O First!"): from the press to the end of the request;
//   - with the host program: a "--seconds 3" run that requests the
//     instrument's global data, with the server stopped at 1.2 s, and one
//     with the server running (the whole run); and a run quit by SIGTERM
//     with the server stopped (from the signal to the host's end).
// The server goes on after 10 s at the latest. Prints figures; asserts
// nothing. Needs the tests configured too (it uses their JACK fixtures).
//
//   bench_midistall [--rounds N]   (3)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/appkit/RunLoop.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Lets the server go on after 10 s, whatever the panel thread is held in.
class Rescue {
public:
    explicit Rescue(hvtest::JackServer& server)
        : thread_([this, &server] {
              const auto until = Clock::now() + 10s;
              while (!done_ && Clock::now() < until) std::this_thread::sleep_for(10ms);
              server.resume();
          }) {}
    ~Rescue() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

int portIndex(Halvoran& plug, int paramIdx, const std::string& name) {
    IParam* p = plug.GetParam(paramIdx);
    for (int i = 1; i < p->GetNDisplayTexts(); ++i)
        if (name == p->GetDisplayText(i)) return i;
    return 0;
}

// The editor with its ports chosen on the panel and open.
std::unique_ptr<Halvoran> openEditor(hvtest::MidiPeer& peer) {
    auto plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
    for (auto [param, name] : {std::pair{kDeviceInSelection, peer.outName()}, {kDeviceOutSelection, peer.inName()}}) {
        const int i = portIndex(*plug, param, name);
        plug->SetParameterFromGUI(param, plug->GetParam(param)->ToNormalized(i));
    }
    platform::appkit::RunLoop::main().runUntil(
        [&] { return plug->isExternalMIDIInOpen() && plug->isExternalMIDIOutOpen(); }, 30000);
    if (!plug->isExternalMIDIInOpen() || !plug->isExternalMIDIOutOpen()) {
        std::fprintf(stderr, "the ports did not open\n");
        std::exit(1);
    }
    return plug;
}

// The editor with its ports open and `before` done, then the server
// stopped and `during` done on this thread; the server goes on after it.
template <class Before, class During>
void duringStop(hvtest::JackServer& server, Before before, During during) {
    hvtest::MidiPeer peer("hvbstall");
    std::unique_ptr<Halvoran> plug = openEditor(peer);
    before(*plug);
    server.pause();
    std::this_thread::sleep_for(200ms);
    {
        Rescue rescue(server);
        during(plug);
    }
    server.resume();
    plug.reset();
}

void quitDuringRequestAll(hvtest::JackServer& server) {
    auto requestAll = [](Halvoran& plug) {
        MIDIMessageManager* manager = plug.midiManager;
        manager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestAllPatches,
                          [manager](MIDIMessageSender&) {
                              manager->libraryPatchRequestAll.empty();
                              manager->libraryPatchRequestAll.active = true;
                          });
        std::this_thread::sleep_for(300ms);
    };
    duringStop(server, requestAll, [](std::unique_ptr<Halvoran>& plug) {
        const auto t = Clock::now();
        // What the editor's destructor does first.
        plug->closeExternalMIDIPorts();
        const double ports = secondsSince(t);
        plug.reset();
        std::printf("quit during a request-all            %6.2f s (closing the ports %.2f s)\n", secondsSince(t),
                    ports);
    });
}

void sendsDuringStop(hvtest::JackServer& server) {
    duringStop(
        server, [](Halvoran&) {},
        [](std::unique_ptr<Halvoran>& plug) {
            double longest = 0;
            const auto all = Clock::now();
            // A knob turned, then programs sent as dumps.
            std::vector<unsigned char> dump(300, 0x10);
            for (int i = 0; i < 256; ++i) {
                IMidiMsg cc(0, 0xB0, 74, static_cast<uint8_t>(i & 127));
                const auto t = Clock::now();
                if (i < 128)
                    plug->SendMidiMsg(&cc);
                else
                    plug->SendMidiSysex(dump.data(), static_cast<int>(dump.size()));
                longest = std::max(longest, secondsSince(t));
            }
            std::printf("128 CCs, 128 dumps on the panel thread %5.2f s (longest %.3f s)\n", secondsSince(all),
                        longest);
        });
}

void portChoiceDuringStop(hvtest::JackServer& server) {
    duringStop(
        server, [](Halvoran&) {},
        [](std::unique_ptr<Halvoran>& plug) {
            const auto t = Clock::now();
            plug->SetParameterFromGUI(kDeviceOutSelection, 0.0);
            std::printf("a port choice on the panel thread    %6.2f s\n", secondsSince(t));
        });
}

// With no server to reach, the editor has no MIDI system. Run before any
// client of this process is open, so that none meets the failed opens.
void cancelWithoutMIDISystem() {
    const std::string server = getenv("JACK_DEFAULT_SERVER") ? getenv("JACK_DEFAULT_SERVER") : "";
    setenv("JACK_DEFAULT_SERVER", "hvbnoserver", 1);
    {
        auto plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
        MIDIMessageManager* manager = plug->midiManager;
        manager->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestAllPatches,
                          [manager](MIDIMessageSender&) { manager->armAllPatchesRequest(); });
        // Its first request has said "Set MIDI I/O First!" by then.
        std::this_thread::sleep_for(500ms);
        const auto t = Clock::now();
        plug->SetParameterFromGUI(kCancelDataRequest, 1.0);
        const bool ended = manager->waitForEnd(MIDIMessageManager::kTransferThread, 120000);
        std::printf("cancel a request-all, no MIDI system %6.2f s%s\n", secondsSince(t), ended ? "" : " (not ended)");
    }
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
}

#ifdef HV_HOST_PATH
// The host runs 3 s, its ports chosen by number and data requested at
// once; the server stops at 1.2 s (or not at all). With `signal`, the host
// runs on until SIGTERM comes just after the stop, and the time is taken
// from the signal. A server of its own each time: one that went on after
// the host left during the stop may answer no more, and is ended outright.
void hostRun(bool stop, bool signal = false) {
    hvtest::JackServer server("hvbquit");
    if (!server.start()) {
        std::fprintf(stderr, "jackd did not start\n");
        return;
    }
    // Its clients may have lost their link in the stop: kept, never closed.
    auto& peer = *new hvtest::MidiPeer("hvbquit");
    std::string in, out;
    {
        auto plug = std::make_unique<Halvoran>(IUnitInstanceInfo{});
        in = std::to_string(portIndex(*plug, kDeviceInSelection, peer.outName()));
        out = std::to_string(portIndex(*plug, kDeviceOutSelection, peer.inName()));
    }
    std::fflush(stdout);
    const auto t = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        const std::string setIn = std::to_string(kDeviceInSelection) + "=" + in;
        const std::string setOut = std::to_string(kDeviceOutSelection) + "=" + out;
        const std::string request = std::to_string(kRequestGlobal) + "=1";
        execl(HV_HOST_PATH, HV_HOST_PATH, "--seconds", signal ? "60" : "3", "--set", setIn.c_str(), "--set",
              setOut.c_str(), "--set", request.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_until(t + 1200ms);
    if (stop) server.pause();
    std::this_thread::sleep_for(signal ? 200ms : 0ms);
    const auto signalled = Clock::now();
    if (signal) kill(pid, SIGTERM);
    int status = 0;
    {
        Rescue rescue(server);
        waitpid(pid, &status, 0);
    }
    if (stop) server.endAtOnce();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (signal)
        std::printf("host SIGTERM, server stopped          %6.2f s (exit %d)\n", secondsSince(signalled), code);
    else
        std::printf("host --seconds 3, %s %6.2f s (exit %d)\n", stop ? "stopped at 1.2 s  " : "server running    ",
                    secondsSince(t), code);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(1, std::atoi(argv[i + 1]));
#ifdef HV_BUNDLE_DIR
    setenv("HALVORAN_BUNDLE", HV_BUNDLE_DIR, 0);
#endif
    const fs::path data = fs::temp_directory_path() / ("halvoran-bench-stall-" + std::to_string(::getpid()));
    fs::create_directories(data / "Patches");
    setenv("HALVORAN_DATA_DIR", data.c_str(), 1);
    {
        hvtest::JackServer server("hvbstall");
        if (!server.start()) {
            std::fprintf(stderr, "jackd did not start\n");
            return 1;
        }
        for (int r = 0; r < rounds; ++r) cancelWithoutMIDISystem();
        for (int r = 0; r < rounds; ++r) {
            quitDuringRequestAll(server);
            sendsDuringStop(server);
            portChoiceDuringStop(server);
        }
#ifdef HV_HOST_PATH
        for (int r = 0; r < rounds; ++r) hostRun(false);
        for (int r = 0; r < rounds; ++r) hostRun(true);
        for (int r = 0; r < rounds; ++r) hostRun(true, true);
        // One that ends by itself gives the servers' place back for good.
        hvtest::JackServer("hvbquit").start();
#endif
    }
    std::error_code ec;
    fs::remove_all(data, ec);
    return 0;
}
