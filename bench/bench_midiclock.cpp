// The MIDI clock against a receiver on JACK: the interval between received
// ticks at 120 and 140 BPM over 500 ticks and more, the mean interval error,
// the 99th-percentile jitter (|interval - nominal|) beside the JACK period
// (the transport delivers in whole periods, so that is its limit), and the
// CPU time the clock thread uses per second of running clock. Each tempo
// runs twice: as built (sleeping until each tick) and as a
// pure busy wait on the clock.
//
// Runs its own JACK server on the dummy driver. Options: --ticks N (500),
// --period FRAMES (256), --rate HZ (48000).
#include <rtmidi/RtMidi.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/jack_server.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/UIConfigManager.h"

namespace {

using namespace std::chrono_literals;

pid_t startJack(const std::string& name, int period, int rate) {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("HALVORAN_MIDI_API", "jack", 1);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        hvbench::execDummyJackd(name, period, rate);
    }
    return hvbench::awaitJackServer(name, pid) ? pid : -1;
}

double cpuSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

struct Result {
    const char* mode;
    int bpm;
    size_t ticks;
    double nominalMs, meanMs, meanErrorUs, p99JitterMs, maxJitterMs, cpuMsPerS;
};

// One run of the clock job at a tempo from the list, receiving `ticks` + 1
// ticks.
bool run(Halvoran& plug, RtMidiIn& in, int listIndex, size_t ticks, bool busyWait, Result& out) {
    MIDIMessageManager& mgr = *plug.midiManager;
    static const int64_t asBuilt = MIDIMessageSender::clockSpinWindowNs;
    MIDIMessageSender::clockSpinWindowNs = busyWait ? (int64_t{1} << 40) : asBuilt;
    plug.GetParam(kArpTempo)->Set(listIndex);
    std::vector<unsigned char> m;
    while (in.getMessage(&m), !m.empty()) {}

    MIDIMessageSender::clockInterval = 0;
    MIDIMessageSender::resetContinuousClock(false);
    if (!mgr.startJob(MIDIMessageManager::kContinuousClockThread, MIDIMessageSender::kJobContinuousClock,
                      [](MIDIMessageSender& s) { s.clockArgument = 120; }))
        return false;
    clockid_t cpuClock{};
    if (pthread_getcpuclockid(mgr.continuousClockThread.tid(), &cpuClock) != 0) return false;

    std::vector<double> deltas;
    double cpuStart = -1.0;
    auto wallStart = std::chrono::steady_clock::now();
    auto deadline = wallStart + std::chrono::seconds(20 + ticks / 10);
    while (deltas.size() < ticks + 1 && std::chrono::steady_clock::now() < deadline) {
        double delta = in.getMessage(&m);
        if (m.empty()) {
            std::this_thread::sleep_for(200us);
            continue;
        }
        if (m[0] != 0xF8) continue;
        if (cpuStart < 0.0) {
            cpuStart = cpuSeconds(cpuClock);
            wallStart = std::chrono::steady_clock::now();
        }
        deltas.push_back(delta);
    }
    const double cpu = cpuSeconds(cpuClock) - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    MIDIMessageSender::resetContinuousClock(true);
    while (mgr.isRunning(MIDIMessageManager::kContinuousClockThread)) std::this_thread::sleep_for(1ms);
    if (deltas.size() < ticks + 1) return false;

    // The first stamp counts from before the run.
    std::vector<double> intervals(deltas.begin() + 1, deltas.end());
    const double nominal = MIDIMessageSender::clockInterval * 1e-9;
    double sum = 0.0;
    std::vector<double> jitter;
    for (double d : intervals) {
        sum += d;
        jitter.push_back(std::fabs(d - nominal));
    }
    std::sort(jitter.begin(), jitter.end());
    const double mean = sum / intervals.size();
    out.mode = busyWait ? "busy wait" : "as built";
    out.ticks = intervals.size();
    out.nominalMs = nominal * 1e3;
    out.meanMs = mean * 1e3;
    out.meanErrorUs = (mean - nominal) * 1e6;
    out.p99JitterMs = jitter[static_cast<size_t>(std::ceil(0.99 * jitter.size())) - 1] * 1e3;
    out.maxJitterMs = jitter.back() * 1e3;
    out.cpuMsPerS = wall > 0 ? cpu / wall * 1e3 : 0.0;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    size_t ticks = 500;
    int period = 256, rate = 48000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--ticks")) ticks = std::max(2, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--period")) period = std::max(16, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--rate")) rate = std::max(8000, std::atoi(argv[i + 1]));
    }
    const std::string server = "hvbench-" + std::to_string(getpid());
    pid_t jack = startJack(server, period, rate);
    if (jack < 0) {
        std::fprintf(stderr, "jackd did not start\n");
        return 1;
    }

    int status = 0;
    {
        RtMidiIn in(RtMidi::UNIX_JACK, "hvbench-receiver", 8192);
        in.ignoreTypes(false, false, false);
        in.openVirtualPort("in");
        const std::string port = "hvbench-receiver:in";

        Halvoran plug;
        plug.initParameterDefaults();
        plug.uiConfigManager = new UIConfigManager();
        plug.uiConfigManager->plug = &plug;
        plug.uiConfigManager->valueLists["tempoValues"] = {"120", "140"};
        plug.midiManager = new MIDIMessageManager(&plug, nullptr, nullptr, nullptr);
        int index = 0;
        const auto& names = plug.getExternalMIDIOutNames();
        for (size_t i = 1; i < names.size(); ++i)
            if (names[i].find(port) != std::string::npos) index = static_cast<int>(i);
        plug.setExternalMIDIOut(index, names.empty() || index == 0 ? "" : names[index].c_str());
        plug.midiOutReady = index > 0 && plug.isExternalMIDIOutOpen();
        plug.continuousClockEnabled = true;
        plug.GetParam(kOverrideTempo)->Set(0);
        if (!plug.midiOutReady) {
            std::fprintf(stderr, "could not open %s\n", port.c_str());
            status = 1;
        }
        std::this_thread::sleep_for(300ms);

        std::vector<Result> results;
        for (int listIndex : {0, 1})
            for (bool busy : {false, true}) {
                Result r{};
                r.bpm = listIndex == 0 ? 120 : 140;
                if (status == 0 && run(plug, in, listIndex, ticks, busy, r))
                    results.push_back(r);
                else
                    status = 1;
            }

        const double periodMs = 1e3 * period / rate;
        std::printf("MIDI clock over JACK (dummy driver, %d frames at %d Hz: period %.2f ms)\n", period, rate,
                    periodMs);
        std::printf("%-12s %4s %6s %10s %10s %12s %12s %12s %10s %12s\n", "mode", "BPM", "ticks", "nominal ms",
                    "mean ms", "mean err us", "p99 jit ms", "max jit ms", "period ms", "CPU ms/s");
        for (const Result& r : results)
            std::printf("%-12s %4d %6zu %10.3f %10.3f %12.1f %12.3f %12.3f %10.2f %12.1f\n", r.mode, r.bpm, r.ticks,
                        r.nominalMs, r.meanMs, r.meanErrorUs, r.p99JitterMs, r.maxJitterMs, periodMs, r.cpuMsPerS);
        for (const Result& r : results)
            if (r.p99JitterMs > periodMs)
                std::printf("note: %s at %d BPM: p99 jitter above one JACK period\n", r.mode, r.bpm);

        delete plug.midiManager;
        plug.midiManager = nullptr;
        delete plug.uiConfigManager;
        plug.uiConfigManager = nullptr;
    }
    kill(jack, SIGTERM);
    waitpid(jack, nullptr, 0);
    return status;
}
