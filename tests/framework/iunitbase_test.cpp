// ctest-labels: tsan
#include "framework/IUnitBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

IUnitConfig testConfig() {
    IUnitConfig c;
    c.effectName = "Test Unit";
    c.productName = "HvTestUnit";
    c.version = 0x00010203;
    return c;
}

class RecordingUnit : public IUnitBase {
public:
    explicit RecordingUnit(int n) : IUnitBase(testConfig(), n) {
        for (int i = 0; i < n; ++i) GetParam(i)->InitDouble("p", 0, -10, 10, 0.5, "", "", -1, -1);
    }
    void OnParamChange(int idx) override {
        calls.push_back(idx);
        heldDepth.push_back(GetMutex().GetNestCount());
    }
    void OnParamChange2(int idx) override { calls2.push_back(idx); }
    void InformHostOfParamChange(int idx, double normalized) override { informed.push_back({idx, normalized}); }

    std::vector<int> calls, calls2, heldDepth;
    std::vector<std::pair<int, double>> informed;
};

TEST(IUnitBase, ParameterListAndNonAutomatedCount) {
    RecordingUnit u(472);
    EXPECT_EQ(u.NParams(), 472);
    EXPECT_NE(u.GetParam(0), nullptr);
    EXPECT_NE(u.GetParam(471), nullptr);
    EXPECT_EQ(u.GetParam(472), nullptr);
    EXPECT_EQ(u.GetParam(-1), nullptr);
    EXPECT_EQ(u.NAutomatedParams(), 472);
    u.addNonAutomateParamCount(472);
    EXPECT_EQ(u.NAutomatedParams(), 0);
    EXPECT_FALSE(u.IsParamAutomated(0));
    u.addNonAutomateParamCount(1000);
    EXPECT_EQ(u.NNonAutomatedParams(), 472);
    u.addNonAutomateParamCount(-4);
    EXPECT_EQ(u.NNonAutomatedParams(), 0);
    char version[IUnitBase::kMaxVersionStrLen];
    u.GetEffectVersionStr(version);
    EXPECT_STREQ(version, "1.2.3");
    EXPECT_STREQ(u.GetEffectName(), "Test Unit");
    EXPECT_EQ(u.GetHost(), kHostUnknown);
    EXPECT_EQ(u.GetGUI(), nullptr);
    EXPECT_DOUBLE_EQ(u.GetTempo(), 120.0);
}

TEST(IUnitBase, TheTwoChangeRoadsSetInformAndCallTheirHandlerUnderTheMutex) {
    RecordingUnit u(4);
    u.SetParameterFromGUI(2, 0.75);
    EXPECT_DOUBLE_EQ(u.GetParam(2)->Value(), 5.0);
    ASSERT_EQ(u.calls, std::vector<int>{2});
    EXPECT_TRUE(u.calls2.empty());
    EXPECT_EQ(u.heldDepth, std::vector<int>{1});
    ASSERT_EQ(u.informed.size(), 1u);
    EXPECT_EQ(u.informed[0].first, 2);
    EXPECT_DOUBLE_EQ(u.informed[0].second, 0.75);

    u.SetParameterFromGUI2(1, 2.0);  // clamped
    EXPECT_DOUBLE_EQ(u.GetParam(1)->Value(), 10.0);
    EXPECT_EQ(u.calls2, std::vector<int>{1});
    EXPECT_DOUBLE_EQ(u.informed.back().second, 1.0);

    u.SetParameterFromGUI(9, 0.5);  // outside the list: nothing happens
    u.SetParameterFromGUI(-1, 0.5);
    EXPECT_EQ(u.calls.size(), 1u);
    EXPECT_EQ(u.informed.size(), 2u);

    // The mutex is recursive: a handler may change another parameter.
    u.Lock();
    u.SetParameterFromGUI(0, 1.0);
    EXPECT_EQ(u.heldDepth.back(), 2);
    u.Unlock();
    EXPECT_EQ(u.GetMutex().GetNestCount(), 0);
}

TEST(IUnitBase, NonAutomatedBlockRoundTripsFromTheFirstNonAutomatedParameter) {
    RecordingUnit a(10), b(10);
    a.addNonAutomateParamCount(6);  // 4 automated, then 6
    b.addNonAutomateParamCount(6);
    for (int i = 0; i < 10; ++i) a.GetParam(i)->Set(i - 5);
    ByteChunk c;
    ASSERT_TRUE(a.SerializeParams(&c));
    EXPECT_EQ(c.Size(), 4 * 8);
    ASSERT_TRUE(a.SerializeNonAutomatedParams(&c, 5));
    EXPECT_EQ(c.Size(), 9 * 8);
    double first = 0;
    c.Get(&first, 32);
    EXPECT_EQ(first, -1.0);  // parameter 4

    EXPECT_EQ(b.UnserializeParams(&c, 0), 32);
    EXPECT_EQ(b.UnserializeNonAutomatedParams(&c, 32, 5), 72);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(b.GetParam(i)->Value(), i - 5) << i;
    EXPECT_EQ(b.GetParam(9)->Value(), 0.0);  // not in the block

    // A count above the non-automated parameters stops at the last one.
    ByteChunk all;
    a.SerializeNonAutomatedParams(&all, 100);
    EXPECT_EQ(all.Size(), 6 * 8);
}

TEST(IUnitBase, UnserializeClampsAndChangesNothingWhenTheChunkRunsOut) {
    RecordingUnit u(5);
    u.addNonAutomateParamCount(5);
    for (int i = 0; i < 5; ++i) u.GetParam(i)->Set(3);
    ByteChunk c;
    double big = 99, small = -99;
    c.Put(&big);
    c.Put(&small);
    EXPECT_EQ(u.UnserializeNonAutomatedParams(&c, 0, 2), 16);
    EXPECT_EQ(u.GetParam(0)->Value(), 10.0);
    EXPECT_EQ(u.GetParam(1)->Value(), -10.0);

    // A partial third value: the read is refused whole.
    c.PutBytes("abc", 3);
    for (int i = 0; i < 5; ++i) u.GetParam(i)->Set(3);
    EXPECT_EQ(u.UnserializeNonAutomatedParams(&c, 0, 5), -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(u.GetParam(i)->Value(), 3.0) << i;

    // From a failed position every read fails and changes nothing.
    RecordingUnit v(2);
    v.addNonAutomateParamCount(2);
    v.GetParam(0)->InitDouble("x", 5, 1, 9, 1, "", "", -1, -1);
    EXPECT_EQ(v.UnserializeNonAutomatedParams(&c, -1, 2), -1);
    EXPECT_EQ(v.GetParam(0)->Value(), 5.0);
    EXPECT_EQ(v.UnserializeParams(&c, -1), -1);
}

TEST(IUnitBaseThreads, ChangeRoadsFromSeveralThreadsAreSerialised) {
    struct Counting : IUnitBase {
        Counting() : IUnitBase(testConfig(), 8) {}
        void OnParamChange(int) override {
            int now = ++inside;
            if (now > 1) overlap = true;
            ++count;
            --inside;
        }
        void OnParamChange2(int idx) override { OnParamChange(idx); }
        std::atomic<int> inside{0};
        int count = 0;  // only touched under the plug-in mutex
        std::atomic<bool> overlap{false};
    } u;
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&u, t] {
            for (int i = 0; i < 500; ++i) {
                if (t % 2)
                    u.SetParameterFromGUI(i % 8, (i % 10) / 10.0);
                else
                    u.SetParameterFromGUI2(i % 8, (i % 10) / 10.0);
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_FALSE(u.overlap.load());
    EXPECT_EQ(u.count, 2000);
}

}  // namespace
