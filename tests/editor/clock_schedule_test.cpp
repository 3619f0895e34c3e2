// When the MIDI clock's ticks fall, on a simulated clock: time spent sending
// and waking late is made up, a short hold-up is caught up, a long one does
// not end in a burst.
#include <gtest/gtest.h>

#include <vector>

#include "src/ClockTickSchedule.h"

namespace {

constexpr int64_t kInterval140 = 17857142;  // 140 BPM

// Runs the schedule as the clock thread does: each tick goes out `lateNs`
// after it fell due and its send takes `sendNs`; before tick `stallAt` the
// thread is held up for `stallNs`. Returns the send times.
std::vector<int64_t> run(int ticks, int64_t lateNs, int64_t sendNs, int stallAt = -1, int64_t stallNs = 0) {
    ClockTickSchedule schedule(0, kInterval140);
    std::vector<int64_t> times;
    int64_t now = sendNs;  // after the first tick, sent at 0
    for (int n = 1; n <= ticks; ++n) {
        if (n == stallAt) now += stallNs;
        const int64_t left = schedule.untilNext(now);
        if (left > 0) now += left + lateNs;
        times.push_back(now);
        schedule.sent(now);
        now += sendNs;
    }
    return times;
}

TEST(ClockTickSchedule, SendingAndWakingLateNeverAddUp) {
    struct Case {
        int64_t late, send;
    } cases[] = {{0, 0}, {50000, 0}, {0, 3000000}, {200000, 1500000}};
    for (const Case& c : cases) {
        std::vector<int64_t> t = run(2000, c.late, c.send);
        // Tick n goes out at its own deadline plus the wake-up lateness.
        EXPECT_EQ(t.back(), 2000 * kInterval140 + c.late) << c.late << " " << c.send;
        EXPECT_EQ(t[999] - t[0], 999 * kInterval140);
    }
}

TEST(ClockTickSchedule, AShortHoldUpIsCaughtUpALongOneStartsAgain) {
    // Held up for two and a half ticks: the two owed ticks go out at once
    // and the grid goes on where it was.
    std::vector<int64_t> t = run(20, 0, 0, 10, kInterval140 * 5 / 2);
    EXPECT_EQ(t[9], 10 * kInterval140 + kInterval140 * 3 / 2);
    EXPECT_EQ(t[10], t[9]);
    EXPECT_EQ(t[11], 12 * kInterval140);
    EXPECT_EQ(t.back(), 20 * kInterval140);

    // Held up for ten ticks: one late tick, then the grid starts from it.
    t = run(20, 0, 0, 10, kInterval140 * 10);
    EXPECT_EQ(t[9], 19 * kInterval140);
    EXPECT_EQ(t[10], t[9] + kInterval140);
    EXPECT_EQ(t.back(), t[9] + 10 * kInterval140);
}

}  // namespace
