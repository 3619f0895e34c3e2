// ctest-labels: tsan
#include "framework/IMidiQueue.h"
#include "framework/IUnitStructs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(IMidiMsg, ControlChangeValueRoundTripsEveryDataByte) {
    for (int d = 0; d < 128; ++d) {
        IMidiMsg m(55, 1, 2, 3);
        m.MakeControlChangeMsg(IMidiMsg::EControlChangeMsg(74), d / 127.0, 3);
        EXPECT_EQ(m.mOffset, 0);
        EXPECT_EQ(m.mStatus, 0xB3);
        EXPECT_EQ(m.mData1, 74);
        EXPECT_EQ(m.mData2, d);
    }
}

TEST(IMidiMsg, OutOfRangeInputsNeverMakeAStatusByte) {
    IMidiMsg m;
    m.MakeControlChangeMsg(IMidiMsg::EControlChangeMsg(200), 1.7, 17);
    EXPECT_EQ(m.mStatus, 0xB1);  // channel 17 keeps its low nibble
    EXPECT_EQ(m.mData1, 127);
    EXPECT_EQ(m.mData2, 127);
    m.MakeControlChangeMsg(IMidiMsg::kModWheel, -0.5, 0);
    EXPECT_EQ(m.mData2, 0);
    m.MakeProgramChangeMsg(2.0, 15);
    EXPECT_EQ(m.mStatus, 0xCF);
    EXPECT_EQ(m.mData1, 127);
    m.MakeProgramChangeMsg(64 / 127.0, 0);
    EXPECT_EQ(m.mData1, 64);
    EXPECT_EQ(m.mData2, 0);
}

TEST(IMidiMsg, KindsChannelsAndSizes) {
    EXPECT_EQ(IMidiMsg(0, 0x93, 60, 100).StatusMsg(), IMidiMsg::kNoteOn);
    EXPECT_EQ(IMidiMsg(0, 0xE0).StatusMsg(), IMidiMsg::kPitchWheel);
    EXPECT_EQ(IMidiMsg(0, 0xF8).StatusMsg(), IMidiMsg::kNone);
    EXPECT_EQ(IMidiMsg(0, 0x40).StatusMsg(), IMidiMsg::kNone);
    EXPECT_EQ(IMidiMsg(0, 0x9A).Channel(), 10);
    IMidiMsg cc(0, 0xB2, 7, 127);
    EXPECT_EQ(cc.ControlChangeIdx(), 7);
    EXPECT_DOUBLE_EQ(cc.ControlChange(IMidiMsg::EControlChangeMsg(7)), 1.0);
    EXPECT_EQ(cc.ControlChange(IMidiMsg::kModWheel), -1.0);
    EXPECT_EQ(IMidiMsg(0, 0x90, 7).ControlChangeIdx(), -1);
    EXPECT_EQ(IMidiMsg(0, 0xC0).Size(), 2);
    EXPECT_EQ(IMidiMsg(0, 0xD5).Size(), 2);
    EXPECT_EQ(IMidiMsg(0, 0xB0).Size(), 3);
    EXPECT_EQ(IMidiMsg(0, 0xF8).Size(), 1);
    EXPECT_EQ(IMidiMsg(0, 0xF2).Size(), 3);
}

IMidiMsg at(int offset, uint8_t tag) { return IMidiMsg(offset, 0xB0, tag, 0); }

std::vector<int> drainTags(IMidiQueue& q) {
    std::vector<int> tags;
    IMidiMsg m;
    while (q.Peek(&m)) {
        tags.push_back(m.mData1);
        q.Remove();
    }
    return tags;
}

TEST(IMidiQueue, KeepsOffsetOrderAndArrivalOrderForEqualOffsets) {
    IMidiQueue q;
    for (auto [off, tag] : std::vector<std::pair<int, int>>{{10, 1}, {5, 2}, {10, 3}, {0, 4}, {5, 5}}) {
        IMidiMsg m = at(off, static_cast<uint8_t>(tag));
        q.Add(&m);
    }
    EXPECT_EQ(q.ToDo(), 5);
    EXPECT_EQ(drainTags(q), (std::vector<int>{4, 2, 5, 1, 3}));
    EXPECT_TRUE(q.Empty());
}

TEST(IMidiQueue, HasAGrowthStepBeforeAnyResizeAndGrowsWhenFull) {
    IMidiQueue q;
    EXPECT_EQ(q.GetGrowthStep(), 512);
    EXPECT_EQ(q.GetSize(), 512);
    for (int i = 0; i < 1500; ++i) {
        IMidiMsg m = at(i, static_cast<uint8_t>(i & 0x7F));
        ASSERT_TRUE(q.Add(&m));
    }
    EXPECT_EQ(q.ToDo(), 1500);
    EXPECT_EQ(q.GetSize(), 1536);
    IMidiMsg m;
    for (int i = 0; i < 1500; ++i) {
        ASSERT_TRUE(q.PopDue(i, &m));
        ASSERT_EQ(m.mOffset, i);
    }
}

TEST(IMidiQueue, FullBufferWithSentEntriesCompactsInsteadOfGrowing) {
    IMidiQueue q;
    for (int i = 0; i < 512; ++i) {
        IMidiMsg m = at(i, 1);
        q.Add(&m);
    }
    IMidiMsg m;
    ASSERT_TRUE(q.PopDue(0, &m));
    ASSERT_TRUE(q.PopDue(1, &m));
    IMidiMsg extra = at(3, 99);
    ASSERT_TRUE(q.Add(&extra));
    EXPECT_EQ(q.GetSize(), 512);
    EXPECT_EQ(q.GetFront(), 0);
    EXPECT_EQ(q.ToDo(), 511);
    ASSERT_TRUE(q.PopDue(2, &m));
    ASSERT_TRUE(q.PopDue(3, &m));
    ASSERT_TRUE(q.PopDue(3, &m));
    EXPECT_EQ(m.mData1, 99);  // after the entry that already had offset 3
}

TEST(IMidiQueue, FlushMakesOffsetsRelativeToTheNextBlock) {
    // A message at 600 in 512-frame blocks leaves at sample 88 of the next.
    IMidiQueue q;
    IMidiMsg a = at(0, 1), b = at(600, 2);
    q.Add(&a);
    q.Add(&b);
    IMidiMsg m;
    std::vector<int> sentAt;
    for (int block = 0; block < 2; ++block) {
        for (int s = 0; s < 512; ++s)
            while (q.PopDue(s, &m)) sentAt.push_back(block * 1000 + s);
        q.Flush(512);
    }
    EXPECT_EQ(sentAt, (std::vector<int>{0, 1088}));
    EXPECT_EQ(q.GetFront(), 0);
}

TEST(IMidiQueue, ResizeRoundsTheStepAndKeepsWaitingEntries) {
    IMidiQueue q;
    q.Resize(100);
    EXPECT_EQ(q.GetGrowthStep(), 512);
    EXPECT_EQ(q.GetSize(), 512);
    q.Resize(513);
    EXPECT_EQ(q.GetGrowthStep(), 1024);
    EXPECT_EQ(q.GetSize(), 1024);
    for (int i = 0; i < 700; ++i) {
        IMidiMsg m = at(i, 1);
        q.Add(&m);
    }
    IMidiMsg m;
    ASSERT_TRUE(q.PopDue(0, &m));
    q.Resize(64);  // 699 entries wait: capacity stays above them
    EXPECT_EQ(q.GetGrowthStep(), 512);
    EXPECT_EQ(q.GetSize(), 1024);
    EXPECT_EQ(q.GetFront(), 0);
    EXPECT_EQ(q.ToDo(), 699);
    ASSERT_TRUE(q.Peek(&m));
    EXPECT_EQ(m.mOffset, 1);
    q.Resize(0);
    EXPECT_EQ(q.GetGrowthStep(), 512);
}

// Threads that change parameters fill the queue while the render thread
// flushes it; nothing may be lost, duplicated or reordered per producer.
TEST(IMidiQueueThreads, ProducersAndRenderFlushLoseNothing) {
    IMidiQueue q;
    q.Resize(64);
    constexpr int kProducers = 4, kPerProducer = 3000;
    std::atomic<int> producersDone{0};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&q, &producersDone, p] {
            for (int i = 0; i < kPerProducer; ++i) {
                IMidiMsg m(i % 97, static_cast<uint8_t>(0xB0 | p), static_cast<uint8_t>(i & 0x7F),
                           static_cast<uint8_t>((i >> 7) & 0x7F));
                q.Add(&m);
            }
            producersDone.fetch_add(1);
        });
    std::vector<int> next(kProducers, 0);
    int received = 0;
    bool ordered = true;
    while (received < kProducers * kPerProducer) {
        IMidiMsg m;
        for (int s = 0; s < 64; ++s)
            while (q.PopDue(s, &m)) {
                int p = m.mStatus & 0x0F, i = m.mData1 | (m.mData2 << 7);
                // Per producer the sequence number must be new; with the
                // sort by offset, equal offsets keep arrival order.
                if (i < 0 || i >= kPerProducer) ordered = false;
                next[p]++;
                ++received;
            }
        q.Flush(64);
        if (producersDone.load() == kProducers && q.Empty()) break;
    }
    for (auto& t : producers) t.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received, kProducers * kPerProducer);
    for (int p = 0; p < kProducers; ++p) EXPECT_EQ(next[p], kPerProducer);
}

}  // namespace
