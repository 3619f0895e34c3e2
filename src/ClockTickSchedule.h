#pragma once
// When the MIDI clock's ticks are due. Tick n falls at start + n x interval,
// so time spent sending one tick is made up before the next and the clock
// keeps the tempo over any length of run. A thread held up for longer than a
// few ticks (a machine waking from sleep) would owe a burst; the grid then
// starts again from the late tick instead.
#include <cstdint>

class ClockTickSchedule {
public:
    // Ticks owed at most before the grid starts again.
    static constexpr int64_t kMaxCatchUpTicks = 4;

    // The first tick went out at startNs.
    ClockTickSchedule(int64_t startNs, int64_t intervalNs) : mStart(startNs), mInterval(intervalNs) {}

    // Nanoseconds until the next tick is due; 0 or less means it is due.
    int64_t untilNext(int64_t nowNs) const { return nextDeadline() - nowNs; }

    // The next tick was sent at nowNs.
    void sent(int64_t nowNs) {
        ++mTicks;
        if (nowNs - nextDeadline() > kMaxCatchUpTicks * mInterval) {
            mStart = nowNs;
            mTicks = 0;
        }
    }

    int64_t nextDeadline() const { return mStart + (mTicks + 1) * mInterval; }

private:
    int64_t mStart;
    int64_t mInterval;
    int64_t mTicks = 0;  // sent since mStart, the tick at mStart not counted
};
