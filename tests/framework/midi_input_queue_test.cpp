// ctest-labels: tsan
// The MIDI input's queue: bytes as the MIDI system cuts them become whole
// messages, in order, within a fixed ring; what does not fit, or is longer
// than any message kept, is dropped whole and counted.
#include "framework/IMidiInputQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Feeds = std::vector<Bytes>;

std::vector<Bytes> takeAll(IMidiInputQueue& q, std::vector<uint32_t>* tags = nullptr) {
    std::vector<Bytes> out;
    Bytes m;
    uint32_t tag = 0;
    while (q.take(m, tag)) {
        out.push_back(m);
        if (tags) tags->push_back(tag);
    }
    return out;
}

Bytes sysex(size_t dataBytes) {
    Bytes b{0xF0};
    for (size_t i = 0; i < dataBytes; ++i) b.push_back(static_cast<uint8_t>(i & 0x7F));
    b.push_back(0xF7);
    return b;
}

struct Case {
    const char* what;
    Feeds feeds;
    std::vector<Bytes> messages;
    uint64_t tooLong = 0, cutShort = 0;
};

TEST(MidiInputQueue, BytesAsTheyComeBecomeWholeMessages) {
    const Bytes longest = sysex(30);  // 32 bytes: the longest kept below
    Bytes tooLong = sysex(31);
    const std::vector<Case> cases = {
        {"one control change", {{0xB0, 7, 100}}, {{0xB0, 7, 100}}},
        {"running status", {{0x90, 60, 64, 62, 64}}, {{0x90, 60, 64}, {0x90, 62, 64}}},
        {"two-byte messages", {{0xC1, 5, 0xD2, 9}}, {{0xC1, 5}, {0xD2, 9}}},
        {"a message over two feeds", {{0xB0}, {7, 100}}, {{0xB0, 7, 100}}},
        {"a SysEx in chunks",
         {{0xF0, 0x42, 0x30}, {0x58, 0x40}, {0x01, 0xF7}},
         {{0xF0, 0x42, 0x30, 0x58, 0x40, 0x01, 0xF7}}},
        {"clock, sensing and time code left out", {{0xF8, 0xFE, 0xF1, 0x10, 0xFA}}, {{0xFA}}},
        {"real-time bytes inside a SysEx", {{0xF0, 1, 0xF8, 2, 0xFC, 0xF7}}, {{0xF0, 1, 2, 0xF7}}},
        {"data bytes with no status before them", {{5, 6, 0xB0, 1, 2}}, {{0xB0, 1, 2}}},
        {"a SysEx cut short by a status byte", {{0xF0, 1, 2, 0xB0, 7, 100}}, {{0xB0, 7, 100}}, 0, 1},
        {"a SysEx as long as the longest kept", {longest}, {longest}},
        {"one byte longer: dropped, and its bytes up to the next status",
         {tooLong, {1, 2, 3, 0xC0, 4}},
         {{0xC0, 4}},
         1},
        {"a SysEx that never ends, then a status byte",
         {{0xF0}, Bytes(100, 0x11), Bytes(100, 0x22), {0x90, 60, 1}},
         {{0x90, 60, 1}},
         1},
        {"a stray end of SysEx", {{0xF7, 0xB0, 1, 2}}, {{0xB0, 1, 2}}},
        // An empty feed stands for an event lost.
        {"an event lost inside a SysEx", {{0xF0, 1, 2}, {}, {3, 0xF7, 0xB0, 1, 2}}, {{0xB0, 1, 2}}},
        {"an event lost after running status", {{0xB0, 1, 2}, {}, {3, 4, 0xB0, 5, 6}}, {{0xB0, 1, 2}, {0xB0, 5, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IMidiInputQueue q(256, 32);
        for (const Bytes& f : c.feeds)
            if (f.empty())
                q.lose(1, 1);
            else
                q.feed(f.data(), f.size(), 1);
        EXPECT_EQ(takeAll(q), c.messages);
        const IMidiInputQueue::Dropped d = q.takeDropped();
        EXPECT_EQ(d.lost, uint64_t(std::count(c.feeds.begin(), c.feeds.end(), Bytes{})));
        EXPECT_EQ(d.tooLong, c.tooLong);
        EXPECT_EQ(d.cutShort, c.cutShort);
        EXPECT_EQ(d.full, 0u);
    }
}

// A full ring drops what comes whole, a SysEx too, and takes messages again
// once there is room.
TEST(MidiInputQueue, AFullRingDropsWholeMessagesAndCountsThem) {
    IMidiInputQueue q(64, 32);  // 64 bytes: five short messages with their headers
    for (int i = 0; i < 8; ++i) {
        const Bytes cc{0xB0, 1, static_cast<uint8_t>(i)};
        q.feed(cc.data(), cc.size(), 1);
    }
    const Bytes dump = sysex(10);
    q.feed(dump.data(), dump.size(), 1);
    IMidiInputQueue::Dropped d = q.takeDropped();
    EXPECT_EQ(d.full, 4u);
    EXPECT_EQ(d.fullSysEx, 1u);
    std::vector<Bytes> kept = takeAll(q);
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_EQ(kept.back(), (Bytes{0xB0, 1, 4}));
    // Room again: wrapped around the ring's end, whole.
    q.feed(dump.data(), dump.size(), 1);
    q.feed(dump.data(), dump.size(), 1);
    EXPECT_EQ(takeAll(q), (std::vector<Bytes>{dump, dump}));
    EXPECT_FALSE(q.takeDropped().any());
}

// A new port's bytes never finish the last port's message.
TEST(MidiInputQueue, ANewTagStartsANewStream) {
    IMidiInputQueue q;
    const Bytes start{0xF0, 1, 2}, rest{3, 0xF7}, cc{0xB0, 1, 2};
    q.feed(start.data(), start.size(), 1);
    q.feed(rest.data(), rest.size(), 2);
    q.feed(cc.data(), cc.size(), 2);
    std::vector<uint32_t> tags;
    EXPECT_EQ(takeAll(q, &tags), (std::vector<Bytes>{cc}));
    EXPECT_EQ(tags, (std::vector<uint32_t>{2}));
}

// One thread feeds as fast as it can while another takes and sleeps: every
// message is taken in order or counted as dropped, none is torn.
TEST(MidiInputQueue, AFeederAndATakerOnTwoThreadsLoseNothingUncounted) {
    IMidiInputQueue q(4096, 1024);
    constexpr int kMessages = 200000;
    // Each message carries its number; a tenth are short, the rest SysEx of
    // lengths that vary.
    auto message = [](int i) {
        const uint8_t a = static_cast<uint8_t>(i >> 14), b = static_cast<uint8_t>((i >> 7) & 0x7F),
                      c = static_cast<uint8_t>(i & 0x7F);
        if (i % 10 == 0) return Bytes{static_cast<uint8_t>(0xB0 | a), b, c};
        Bytes m{0xF0, a, b, c};
        m.resize(4 + i % 40, 0x55);
        m.push_back(0xF7);
        return m;
    };
    auto number = [](const Bytes& m) {
        return m[0] == 0xF0 ? (m[1] << 14 | m[2] << 7 | m[3]) : ((m[0] & 0x0F) << 14 | m[1] << 7 | m[2]);
    };
    std::thread feeder([&] {
        for (int i = 0; i < kMessages; ++i) {
            const Bytes m = message(i);
            q.feed(m.data(), m.size(), 7);
            q.wakeTaker();
        }
    });
    uint64_t taken = 0, dropped = 0;
    int last = -1;
    bool intact = true;
    Bytes m;
    uint32_t tag = 0;
    const auto deadline = IMidiInputQueue::Clock::now() + std::chrono::minutes(2);
    while (taken + dropped < uint64_t(kMessages) && IMidiInputQueue::Clock::now() < deadline) {
        while (q.take(m, tag)) {
            const int i = number(m);
            intact = intact && i > last && m == message(i) && tag == 7;
            last = i;
            if (++taken % 1000 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        dropped += q.takeDropped().full;
        q.wait(IMidiInputQueue::Clock::now() + std::chrono::milliseconds(50));
    }
    feeder.join();
    EXPECT_EQ(taken + dropped, uint64_t(kMessages));
    EXPECT_TRUE(intact);
    EXPECT_GT(taken, 0u);
}

}  // namespace
