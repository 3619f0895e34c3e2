// MIDI clock output: Start and Stop on the host's transport, and timing
// clock at 24 ticks per quarter note on its own thread.
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <semaphore>

#include "src/ClockTickSchedule.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageSender.h"
#include "src/UIConfigManager.h"

namespace {

bool readClock(timespec& t) { return clock_gettime(CLOCK_MONOTONIC, &t) == 0; }

int64_t nanosBetween(const timespec& from, const timespec& to) {
    return (static_cast<int64_t>(to.tv_sec) - from.tv_sec) * 1000000000LL + (to.tv_nsec - from.tv_nsec);
}

// The clock thread sleeps until its next tick; a stop wakes it at once. A
// count, so that stops while no clock runs leave at most a spurious wake.
std::counting_semaphore<> g_clockWake{0};

}  // namespace

std::atomic<int64_t> MIDIMessageSender::clockSpinWindowNs{0};

void MIDIMessageSender::resetContinuousClock(bool stop) {
    _clockRunning = !stop;
    if (stop) g_clockWake.release();
}

void MIDIMessageSender::startMIDIClockOutput() {
    if (plug->clockStartStopEnabled) plug->SendMidiSysex2({0xFA});
}

void MIDIMessageSender::stopMIDIClockOutput() {
    if (plug->clockStartStopEnabled) plug->SendMidiSysex2({0xFC});
}

int MIDIMessageSender::clockTempo() {
    if (plug->GetParam(kOverrideTempo)->Value() == 1.0) {
        const double tempo = plug->GetTempo();
        // Below 1 BPM there is no interval to divide out.
        return tempo >= 1.0 && tempo < 1e6 ? static_cast<int>(tempo) : 0;
    }
    if (!plug->uiConfigManager) return 0;
    auto list = plug->uiConfigManager->valueLists.find("tempoValues");
    const int index = plug->GetParam(kArpTempo)->Int();
    // A missing or short list gives no tempo rather than a read past its end.
    if (list == plug->uiConfigManager->valueLists.end() || index < 0 || index >= static_cast<int>(list->second.size()))
        return 0;
    const char* text = list->second[index].c_str();
    char* end = nullptr;
    errno = 0;
    const long bpm = std::strtol(text, &end, 10);
    return end != text && errno == 0 && bpm >= 1 && bpm < 1000000 ? static_cast<int>(bpm) : 0;
}

void MIDIMessageSender::sendContinuousMIDIClock(int) {
    if (!plug->continuousClockEnabled) return;
    const int bpm = clockTempo();
    if (bpm < 1) return;
    const int64_t interval = 60000000000LL / (static_cast<int64_t>(bpm) * 24);
    clockInterval = static_cast<uint32_t>(interval);

    timespec start{}, now{};
    readClock(start);
    plug->SendMidiSysex2({0xF8});
    ClockTickSchedule schedule(0, interval);
    now = start;
    while (_clockRunning) {
        readClock(now);  // an unreadable clock keeps the last reading
        const int64_t elapsed = nanosBetween(start, now);
        const int64_t left = schedule.untilNext(elapsed);
        if (left > 0) {
            // One sleep up to the tick (less the window, if any, in which the
            // clock is watched instead): a wake a tick rather than one a
            // millisecond, and a stop still ends it at once.
            const int64_t nap = left - clockSpinWindowNs.load();
            if (nap > 0) g_clockWake.try_acquire_for(std::chrono::nanoseconds(nap));
            continue;
        }
        if (plug->midiOutReady)
            plug->SendMidiSysex2({0xF8});
        else
            _clockRunning = false;
        schedule.sent(elapsed);
    }
}
