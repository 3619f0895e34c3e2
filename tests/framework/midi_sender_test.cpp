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

// A port that holds the first message it is given until let go.
struct HeldPort {
    std::mutex lock;
    std::condition_variable wake;
    bool held = true;
    std::vector<Message> sent;
    void operator()(const Message& m) {
        std::unique_lock<std::mutex> guard(lock);
        sent.push_back(m);
        wake.wait(guard, [&] { return !held; });
    }
    void letGo() {
        {
            std::lock_guard<std::mutex> guard(lock);
            held = false;
        }
        wake.notify_all();
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock);
        return sent.size();
    }
};

TEST(MidiSender, AWithdrawnTicketLetsOnlyWhatWasLeavingGo) {
    IMidiPortsSender sender;
    HeldPort port;
    const unsigned choice = sender.choose(true);
    ASSERT_TRUE(sender.deliverTo(choice, [&](const Message& m) { port(m); }));

    std::mutex lock;
    std::vector<Message> leaving;
    int settled = 0;
    Ticket::Hooks hooks;
    hooks.leaving = [&](const Message& m) {
        std::lock_guard<std::mutex> guard(lock);
        leaving.push_back(m);
    };
    hooks.settled = [&] {
        std::lock_guard<std::mutex> guard(lock);
        ++settled;
    };
    std::shared_ptr<Ticket> ticket = Ticket::make(hooks);
    const uint8_t a[] = {0xC0, 1}, b[] = {0xC0, 2}, c[] = {0xC0, 3}, untied[] = {0xB0, 7, 1};
    {
        Ticket::Hold hold(ticket);
        sender.send(a, sizeof a);
        ASSERT_TRUE(hvtest::waitUntil([&] { return port.count() == 1; }, 60000));
        sender.send(b, sizeof b);
        sender.send(c, sizeof c);
    }
    // Not the ticket's: sent after it was let go.
    sender.send(untied, sizeof untied);
    EXPECT_FALSE(ticket->settled());

    ticket->withdraw();
    port.letGo();
    ASSERT_TRUE(hvtest::waitUntil([&] { return port.count() == 2; }, 60000));
    EXPECT_TRUE(hvtest::waitUntil([&] { return ticket->settled(); }, 60000));
    EXPECT_EQ(port.sent, (std::vector<Message>{{0xC0, 1}, {0xB0, 7, 1}}));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(leaving, (std::vector<Message>{{0xC0, 1}}));
    // None runs once withdrawn, though the held message settled after.
    EXPECT_EQ(settled, 0);
}

TEST(MidiSender, ATicketsMessagesDroppedWithTheirPortSettle) {
    IMidiPortsSender sender;
    sender.choose(true);  // a port being opened: messages wait for it
    int settled = 0;
    std::shared_ptr<Ticket> ticket = Ticket::make({nullptr, [&] { ++settled; }});
    {
        Ticket::Hold hold(ticket);
        const uint8_t pc[] = {0xC0, 1};
        ASSERT_EQ(sender.send(pc, sizeof pc), IMidiPortsSender::Sent::kQueued);
    }
    EXPECT_FALSE(ticket->settled());
    sender.choose(false);  // none chosen: what waited is dropped
    EXPECT_TRUE(ticket->settled());
    EXPECT_EQ(settled, 1);
}

}  // namespace
