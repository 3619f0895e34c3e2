// ctest-labels: tsan
// A piece of work's messages on their way out, marked by its ticket: while
// the port holds one (as a stopped MIDI system does), the ones behind it
// wait; a withdraw takes back what still waits, never what is leaving, and
// the ticket says when nothing of it waits any more.
#include "framework/IMidiPortsSender.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using Message = IMidiPortsSender::Message;
using Ticket = IMidiPortsSender::Ticket;

TEST(MidiSender, AWithdrawnTicketLetsOnlyWhatWasLeavingGo) {
    // The port holds the first message it is given until let go.
    std::mutex lock;
    std::condition_variable wake;
    bool held = true;
    std::vector<Message> sent, leaving;
    int settled = 0;
    auto sentCount = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return sent.size();
    };
    IMidiPortsSender sender;
    ASSERT_TRUE(sender.deliverTo(sender.choose(true), [&](const Message& m) {
        std::unique_lock<std::mutex> guard(lock);
        sent.push_back(m);
        wake.wait(guard, [&] { return !held; });
    }));
    std::shared_ptr<Ticket> ticket =
        Ticket::make({[&](const Message& m) { leaving.push_back(m); }, [&] { ++settled; }});
    const uint8_t a[] = {0xC0, 1}, b[] = {0xC0, 2}, c[] = {0xC0, 3}, untied[] = {0xB0, 7, 1};
    {
        Ticket::Hold hold(ticket);
        sender.send(a, sizeof a);
        ASSERT_TRUE(hvtest::waitUntil([&] { return sentCount() == 1; }, 60000));
        sender.send(b, sizeof b);
        sender.send(c, sizeof c);
    }
    sender.send(untied, sizeof untied);  // sent once the ticket was let go: not its
    EXPECT_FALSE(ticket->settled());

    ticket->withdraw();
    {
        std::lock_guard<std::mutex> guard(lock);
        held = false;
    }
    wake.notify_all();
    ASSERT_TRUE(hvtest::waitUntil([&] { return sentCount() == 2; }, 60000));
    EXPECT_TRUE(hvtest::waitUntil([&] { return ticket->settled(); }, 60000));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(sent, (std::vector<Message>{{0xC0, 1}, {0xB0, 7, 1}}));
    EXPECT_EQ(leaving, (std::vector<Message>{{0xC0, 1}}));
    // No hook runs once withdrawn, though the held message settled after.
    EXPECT_EQ(settled, 0);
}

}  // namespace
