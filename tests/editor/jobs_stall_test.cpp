// ctest-labels: tsan
// A JACK server that stops while a request-all runs, as one stuck on a
// stale lock does: what the editor had sent meanwhile reaches the instrument
// late, or never, and its answers come late. Each program still lands in
// the slot it was asked for, or none, and the last word names the slots
// that stayed empty.
#include <gtest/gtest.h>

#include <cstdio>

#include "jobs_fixture.h"

namespace {

using namespace jobstest;

bool isProgramRequest(const Bytes& m) { return isRequest(m, 0x10); }

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
    char name[13];
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

}  // namespace
