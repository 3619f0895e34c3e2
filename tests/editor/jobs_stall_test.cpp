// ctest-labels: tsan
// A JACK server that stops while a request-all runs, as one stuck on a
// stale lock does: what the editor had sent meanwhile reaches the instrument
// late, or never, and its answers come late. Each program still lands in
// the slot it was asked for, or none, and the last word names the slots
// that stayed empty.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "jobs_fixture.h"

namespace {

using namespace jobstest;

bool isProgramChange(const Bytes& m, int program) { return m.size() == 2 && m[0] == 0xC0 && m[1] == program; }

// A JACK server of the test's own, stopped and let go on at will; this
// process's clients made meanwhile are pointed at it.
struct OwnServer {
    std::string shared = hvtest::JackServer::shared().name();
    hvtest::JackServer server{"hvjstall"};
    OwnServer() { server.start(); }
    ~OwnServer() {
        server.resume();
        server.stop();
        setenv("JACK_DEFAULT_SERVER", shared.c_str(), 1);
    }
};

std::string simName(int slot) {
    char name[24];
    std::snprintf(name, sizeof name, "Sim Prog %03d", slot);
    return name;
}

TEST(JobsStall, AServerStoppedDuringARequestAllPutsNoProgramInAnotherSlot) {
    OwnServer own;
    ASSERT_TRUE(own.server.running());
    JobsEditor e(20);
    e.manager().armAllPatchesRequest();
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    // A few programs come, then the server stops until the editor has given
    // one up and asked for the next: their requests and answers go on after.
    ASSERT_TRUE(
        e.sim->waitFor([](const std::vector<Message>& all) { return only(all, isProgramRequest).size() >= 6; }));
    own.server.pause();
    EXPECT_TRUE(waitUntil(
        [&] { return shownInOrder(e.statusHistory(), "CONNECTION TIMED OUT!", "Data processing, please wait..."); }));
    own.server.resume();
    ASSERT_TRUE(e.waitIdle());

    // Each program is in its own slot or none; the last word names the
    // empty ones, as the view numbers them.
    std::vector<int> empty;
    for (int slot = 0; slot < kBankSlots; ++slot) {
        const LibrarianPatch& p = e.bank->patches[slot];
        if (p.sysexMessages.empty())
            empty.push_back(slot + 1);
        else
            EXPECT_EQ(p.name, simName(slot)) << "slot " << slot;
    }
    ASSERT_FALSE(empty.empty());
    const std::string last = "CONNECTION TIMED OUT! Empty: " + std::to_string(empty.front());
    EXPECT_EQ(e.status().rfind(last, 0), 0u) << e.status();
}

// Where in a program's round the server stops: the message the instrument
// gets last, and whether it answers the program at all. The server goes on
// once the editor has given the program up and asked for the next; the burst
// that follows may lose answers on the way back.
struct StallPoint {
    const char* where;
    bool silent;  // the instrument answers none of the program's requests
    std::function<bool(const Bytes&)> at;
    int lostDumps, lostGlobals;
    int round = 0;  // 1: the stall falls in the next program's round
};

TEST(JobsStall, AfterAStallAnywhereInAProgramsRoundTheNextProgramsAreTakenAtOnce) {
    constexpr int kStalled = 3;
    auto sweep = [](int device) { return [device](const Bytes& m) { return isProgramRequest(m) && m[2] == device; }; };
    const StallPoint points[] = {
        {"at its program change", false, [](const Bytes& m) { return isProgramChange(m, kStalled); }, 0, 0},
        {"at its program change, the burst losing", false, [](const Bytes& m) { return isProgramChange(m, kStalled); },
         1, 1},
        {"at its request, its answer held", false, isProgramRequest, 1, 1},
        {"at its request, unanswered", true, isProgramRequest, 1, 1},
        {"in its sweep", true, sweep(0x33), 1, 1},
        {"at its sweep's end", true, sweep(0x3F), 1, 1},
        {"at the next program's fence", true, [](const Bytes& m) { return isRequest(m, 0x0E); }, 1, 1, 1},
    };
    OwnServer own;
    ASSERT_TRUE(own.server.running());
    for (const StallPoint& point : points) {
        SCOPED_TRACE(point.where);
        // The programs asked once the server went on, up to the end.
        const int after = kStalled + point.round + 2, end = after + 3;
        JobsEditor e(10);
        std::atomic<bool> stalled{false};
        int program = -1;  // the instrument's thread's
        // On the instrument's thread: the server stops before it handles the
        // message, so any answer to it waits too.
        e.sim->setBeforeHandling([&](const Bytes& m) {
            for (int p = 0; p < kBankSlots; ++p)
                if (isProgramChange(m, p)) program = p;
            if (stalled) return;
            e.sim->setAnswering(!point.silent || program != kStalled);
            if (program < kStalled || !point.at(m)) return;
            e.statusLine->clear();
            own.server.pause();
            e.sim->setAnswering(true);
            stalled = true;
        });
        e.manager().armAllPatchesRequest();
        ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
        ASSERT_TRUE(waitUntil([&] { return stalled.load(); }));
        EXPECT_TRUE(waitUntil([&] {
            return shownInOrder(e.statusHistory(), "CONNECTION TIMED OUT!", "Data processing, please wait...");
        }));
        e.sim->loseAnswers(point.lostDumps, point.lostGlobals);
        own.server.resume();
        ASSERT_TRUE(e.sim->waitFor([&](const std::vector<Message>& all) {
            return !only(all, [&](const Bytes& m) { return isProgramChange(m, end); }).empty();
        }));
        e.cancel();
        ASSERT_TRUE(e.waitIdle());

        // Those asked after the stall came at the first request: no sweep.
        const std::vector<Message> all = e.sim->received();
        auto from =
            std::find_if(all.begin(), all.end(), [&](const Message& m) { return isProgramChange(m.bytes, after); });
        EXPECT_EQ(std::count_if(from, all.end(),
                                [](const Message& m) { return isProgramRequest(m.bytes) && m.bytes[2] != 0x30; }),
                  0);
        for (int slot = 0; slot < end; ++slot) {
            const LibrarianPatch& p = e.bank->patches[slot];
            if (!p.sysexMessages.empty()) {
                EXPECT_EQ(p.name, simName(slot)) << "slot " << slot;
            } else {
                EXPECT_TRUE(slot >= kStalled && slot < after) << "slot " << slot;
            }
        }
    }
}

}  // namespace
