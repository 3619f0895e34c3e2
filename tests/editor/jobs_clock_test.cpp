// ctest-labels: tsan
// MIDI clock output: Start and Stop on the host's transport, timing clock at
// the host's tempo or the arpeggiator's, and the ways the clock ends. Ticks
// are received on a JACK port in the instrument's place.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "core_component.h"
#include "core_fixture.h"
#include "src/ClockTickSchedule.h"
#include "src/MIDIMessageManager.h"
#include "src/UIConfigManager.h"
#include "support/WaitUntil.h"

namespace {

using coretest::Bytes;
using coretest::EditorInstance;
using coretest::Peer;
using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    return hvtest::waitUntil(done, static_cast<int>(limit.count()), 2);
}

bool clockThreadRunning(Halvoran* plug) {
    return plug->midiManager->isRunning(MIDIMessageManager::kContinuousClockThread);
}

// Mean seconds between consecutive ticks, by the port's own stamps, the
// first tick's left out. A clock held up for more than a few ticks (this
// process stopped, say) starts its grid again from the late tick; the gaps
// where it did are left out too, since what they hold is the hold-up.
double meanInterval(const std::vector<hvtest::TimedMidi>& ticks, double interval) {
    const double restart = (ClockTickSchedule::kMaxCatchUpTicks + 1) * interval;
    double sum = 0.0;
    int n = 0;
    for (size_t i = 1; i < ticks.size(); ++i) {
        if (ticks[i].delta > restart) continue;
        sum += ticks[i].delta;
        ++n;
    }
    return n > 0 ? sum / n : 0.0;
}

class ClockThroughTheHost : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hvtest::JackServer::shared().running()); }
    hvtest::TempDataDir dir;
};

TEST_F(ClockThroughTheHost, TransportStartAndStopSendStartAndStop) {
    Peer peer;
    EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    e.choosePorts(peer);
    e.setParameter(kSendMIDIClockPointer, 1);
    e.render();
    peer.drain(200ms);

    e.transport.setPlaying(true);
    e.render();
    EXPECT_EQ(peer.receive(1), (std::vector<Bytes>{{0xFA}}));
    e.render();
    e.transport.setPlaying(false);
    e.render();
    EXPECT_EQ(peer.receive(1), (std::vector<Bytes>{{0xFC}}));

    // With the setting off the transport sends nothing.
    e.setParameter(kSendMIDIClockPointer, 0);
    e.transport.setPlaying(true);
    e.render();
    e.transport.setPlaying(false);
    e.render();
    EXPECT_TRUE(peer.drain(400ms).empty());
}

TEST_F(ClockThroughTheHost, TicksFollowTheHostsTempoThenTheArpeggiatorsAndStop) {
    Peer peer;
    EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    e.plug->uiConfigManager->valueLists["tempoValues"] = {"20", "60", "140", "200"};
    e.setParameter(kOverrideTempo, 1);
    e.transport.setTempo(120.7);
    e.setParameter(kSendMIDIClockInfo, 1);
    e.choosePorts(peer);
    e.render();

    // 120.7 counts as 120: 24 ticks per beat, 20,833,333 ns apart.
    auto ticks = peer.receiveTimed(97, 180s, 0xF8);
    ASSERT_EQ(ticks.size(), 97u);
    EXPECT_EQ(MIDIMessageSender::clockInterval, 20833333u);
    // Two seconds of ticks, timed by the transport's own stamps: the mean
    // keeps the interval.
    const double mean = meanInterval(ticks, 0.020833);
    EXPECT_GT(mean, 0.0195) << mean;
    EXPECT_LT(mean, 0.0350) << mean;

    // Turning the setting off ends the clock at once.
    e.setParameter(kSendMIDIClockInfo, 0);
    ASSERT_TRUE(waitUntil([&] { return !clockThreadRunning(e.plug); }));
    peer.drain(200ms);
    EXPECT_TRUE(peer.drain(300ms).empty());

    // The arpeggiator's tempo from the list.
    e.setParameter(kOverrideTempo, 0);
    e.setParameter(kArpTempo, 2);
    e.setParameter(kSendMIDIClockInfo, 1);
    e.render();
    ticks = peer.receiveTimed(49, 180s, 0xF8);
    ASSERT_EQ(ticks.size(), 49u);
    EXPECT_EQ(MIDIMessageSender::clockInterval, 17857142u);
    EXPECT_GT(meanInterval(ticks, 0.017857), 0.0167);
    EXPECT_LT(meanInterval(ticks, 0.017857), 0.0300);
}

TEST_F(ClockThroughTheHost, AHostTempoBelowOneBeatPerMinuteSendsNoTick) {
    Peer peer;
    EditorInstance e;
    ASSERT_NE(e.plug, nullptr);
    e.setParameter(kOverrideTempo, 1);
    e.transport.setTempo(0.5);
    e.setParameter(kSendMIDIClockInfo, 1);
    e.choosePorts(peer);
    e.render();
    ASSERT_TRUE(e.plug->continuousClockStarted);
    ASSERT_TRUE(waitUntil([&] { return !clockThreadRunning(e.plug); }));
    for (const Bytes& m : peer.drain(400ms)) EXPECT_NE(m, Bytes{0xF8});
}

// The clock job on its own, on an editor without ports.
class ClockJob : public ::testing::Test {
protected:
    ClockJob() {
        plug = ed.plug.get();
        plug->continuousClockEnabled = true;
        plug->GetParam(kOverrideTempo)->Set(0);
        plug->uiConfigManager->valueLists["tempoValues"] = {"0", "x", "-5", "90", "1"};
    }
    ~ClockJob() override {
        MIDIMessageSender::resetContinuousClock(true);
        waitUntil([&] { return !clockThreadRunning(plug); });
    }
    bool start(int arpTempo) {
        plug->GetParam(kArpTempo)->Set(arpTempo);
        MIDIMessageSender::clockInterval = 0;
        MIDIMessageSender::resetContinuousClock(false);
        return plug->midiManager->startJob(MIDIMessageManager::kContinuousClockThread,
                                           MIDIMessageSender::kJobContinuousClock,
                                           [](MIDIMessageSender& s) { s.clockArgument = 120; });
    }

    coretest::BareEditor ed;
    Halvoran* plug;
};

TEST_F(ClockJob, RefusesAnEntryThatIsNoTempoAndAShortList) {
    for (int index : {0, 1, 2, 5, 200}) {
        ASSERT_TRUE(start(index));
        ASSERT_TRUE(waitUntil([&] { return !clockThreadRunning(plug); })) << index;
        EXPECT_EQ(MIDIMessageSender::clockInterval, 0u) << index;
    }
}

TEST_F(ClockJob, RefusesAMissingList) {
    plug->uiConfigManager->valueLists.erase("tempoValues");
    ASSERT_TRUE(start(3));
    ASSERT_TRUE(waitUntil([&] { return !clockThreadRunning(plug); }));
    EXPECT_EQ(MIDIMessageSender::clockInterval, 0u);
}

TEST_F(ClockJob, OneBeatPerMinuteStillRunsAndStopsAtOnce) {
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(start(4));
    ASSERT_TRUE(waitUntil([&] { return MIDIMessageSender::clockInterval != 0u; }));
    EXPECT_EQ(MIDIMessageSender::clockInterval, 2500000000u);
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(clockThreadRunning(plug));
    // A stop is seen before the next tick is due: the sleep up to it ends.
    MIDIMessageSender::resetContinuousClock(true);
    const auto tickDue = started + 2500ms;
    EXPECT_TRUE(
        waitUntil([&] { return !clockThreadRunning(plug); },
                  std::chrono::duration_cast<std::chrono::milliseconds>(tickDue - std::chrono::steady_clock::now())));
}

TEST_F(ClockJob, EndsWhenTheOutputGoesOrTheSettingIsOff) {
    ASSERT_TRUE(start(3));
    ASSERT_TRUE(waitUntil([&] { return MIDIMessageSender::clockInterval != 0u; }));
    EXPECT_EQ(MIDIMessageSender::clockInterval, 27777777u);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(clockThreadRunning(plug));
    plug->midiOutReady = false;
    EXPECT_TRUE(waitUntil([&] { return !clockThreadRunning(plug); }));
    EXPECT_FALSE(MIDIMessageSender::_clockRunning);

    plug->midiOutReady = true;
    plug->continuousClockEnabled = false;
    ASSERT_TRUE(start(3));
    ASSERT_TRUE(waitUntil([&] { return !clockThreadRunning(plug); }));
    EXPECT_EQ(MIDIMessageSender::clockInterval, 0u);
}

}  // namespace
