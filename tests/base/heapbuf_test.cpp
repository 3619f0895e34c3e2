// Allocation figures below are worked out by hand from the growth rules:
//   granularity < 4096:  n + max(n/2, g)
//   granularity >= 4096: extra = max(n/2, g) floored to 4096, held in
//                        4096..4194304; ((n + extra + 96) floored to 4096) - 96
#include "base/BASE_HeapBuf.h"
#include "base/BASE_TypedBuf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST(HeapBuf, SmallGranularityGrowth) {
    BASE_HeapBuf hb(64);
    EXPECT_EQ(hb.Get(), nullptr);
    EXPECT_EQ(hb.Resize(0), nullptr);
    EXPECT_EQ(hb.GetAllocSize(), 0);

    ASSERT_NE(hb.Resize(10), nullptr);
    EXPECT_EQ(hb.GetSize(), 10);
    EXPECT_EQ(hb.GetAllocSize(), 10 + 64);

    hb.Resize(74);  // fits the allocation exactly: no reallocation
    EXPECT_EQ(hb.GetAllocSize(), 74);

    hb.Resize(100);  // 100 + max(50, 64)
    EXPECT_EQ(hb.GetAllocSize(), 164);

    hb.Resize(1000);  // 1000 + 500
    EXPECT_EQ(hb.GetAllocSize(), 1500);
    EXPECT_EQ(hb.GetSize(), 1000);
}

TEST(HeapBuf, PageGranularityGrowth) {
    BASE_HeapBuf hb(4096);
    hb.Resize(1);  // extra 4096; (1 + 4096 + 96) -> 4096; - 96
    EXPECT_EQ(hb.GetAllocSize(), 4000);
    hb.Resize(4000);
    EXPECT_EQ(hb.GetAllocSize(), 4000);
    hb.Resize(10000);  // extra max(5000, 4096) -> 4096; 14192 -> 12288; - 96
    EXPECT_EQ(hb.GetAllocSize(), 12192);
    hb.Resize(100000);  // extra 50000 -> 49152; 149248 -> 147456; - 96
    EXPECT_EQ(hb.GetAllocSize(), 147360);
    hb.Resize(20000000);  // extra 10000000 held at 4194304; 24194400 -> 24190976; - 96
    EXPECT_EQ(hb.GetAllocSize(), 24190880);
}

TEST(HeapBuf, LargeGranularityGrowth) {
    BASE_HeapBuf hb(65536);
    hb.Resize(1);  // extra 65536; 65633 -> 65536; - 96
    EXPECT_EQ(hb.GetAllocSize(), 65440);
    hb.Resize(200000);  // extra max(100000, 65536) -> 98304; 298400 -> 294912; - 96
    EXPECT_EQ(hb.GetAllocSize(), 294816);
}

TEST(HeapBuf, MinimumAllocation) {
    BASE_HeapBuf hb(64);
    hb.SetMinAllocSize(5000);
    hb.Resize(10);
    EXPECT_EQ(hb.GetAllocSize(), 5000);
    EXPECT_EQ(BASE_HeapBuf::AllocationFor(10, 4096, 100000), 100000);
}

TEST(HeapBuf, ShrinkRule) {
    BASE_HeapBuf hb(64);
    hb.Resize(1000);  // alloc 1500
    // Not below half the allocation (750): memory kept.
    hb.Resize(800, true);
    EXPECT_EQ(hb.GetAllocSize(), 1500);
    EXPECT_EQ(hb.GetSize(), 800);
    // Below half and below alloc - 4 granules: reallocated to 10 + 64.
    hb.Resize(10, true);
    EXPECT_EQ(hb.GetAllocSize(), 74);
    EXPECT_EQ(hb.GetSize(), 10);

    // Without resizeDown nothing is given back.
    hb.Resize(1000);
    EXPECT_EQ(hb.GetAllocSize(), 1500);
    hb.Resize(10, false);
    EXPECT_EQ(hb.GetAllocSize(), 1500);
    EXPECT_EQ(hb.GetSize(), 10);
    // Growing back inside the allocation is no reallocation either; and a
    // shrink must be below the used size, not only below the allocation.
    hb.Resize(20, true);
    EXPECT_EQ(hb.GetAllocSize(), 1500);
}

TEST(HeapBuf, ShrinkNeedsFourGranulesOfSlack) {
    BASE_HeapBuf hb(65536);
    hb.Resize(200000);       // alloc 294816; alloc - 4 granules = 32672
    hb.Resize(40000, true);  // below half but not below 32672
    EXPECT_EQ(hb.GetAllocSize(), 294816);
    hb.Resize(30000, true);  // below both: 30000 + 65536 + 96 -> 94208; - 96
    EXPECT_EQ(hb.GetAllocSize(), 94112);

    BASE_HeapBuf page(4096);
    page.Resize(100000);      // alloc 147360
    page.Resize(1000, true);  // extra 4096; 5192 -> 4096; - 96
    EXPECT_EQ(page.GetAllocSize(), 4000);
}

TEST(HeapBuf, ContentsSurviveReallocation) {
    BASE_HeapBuf hb(64);
    auto p = static_cast<unsigned char*>(hb.Resize(100));
    for (int i = 0; i < 100; i++) p[i] = (unsigned char)i;
    p = static_cast<unsigned char*>(hb.Resize(100000));
    for (int i = 0; i < 100; i++) ASSERT_EQ(p[i], i);
    p = static_cast<unsigned char*>(hb.Resize(50, true));
    for (int i = 0; i < 50; i++) ASSERT_EQ(p[i], i);
    EXPECT_EQ(hb.Resize(0), nullptr);
    EXPECT_EQ(hb.GetSize(), 0);
}

TEST(HeapBuf, CopyAndMove) {
    BASE_HeapBuf a(64);
    std::memcpy(a.Resize(5), "hello", 5);
    BASE_HeapBuf b(a);
    EXPECT_EQ(b.GetSize(), 5);
    EXPECT_NE(b.Get(), a.Get());
    EXPECT_EQ(std::memcmp(b.Get(), "hello", 5), 0);
    BASE_HeapBuf c(4096);
    c = std::move(a);
    EXPECT_EQ(c.GetSize(), 5);
    EXPECT_EQ(c.GetGranul(), 64);
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.Get(), nullptr);
}

int g_failReallocs = 0;
int g_failMallocs = 0;
void* flakyRealloc(void* p, size_t n) {
    if (g_failReallocs > 0) {
        g_failReallocs--;
        return nullptr;
    }
    return std::realloc(p, n);
}
void* flakyMalloc(size_t n) {
    if (g_failMallocs > 0) {
        g_failMallocs--;
        return nullptr;
    }
    return std::malloc(n);
}

struct HeapBufFailure : ::testing::Test {
    void SetUp() override { base_testing::SetHeapBufAllocator(flakyRealloc, flakyMalloc); }
    void TearDown() override {
        base_testing::SetHeapBufAllocator(nullptr, nullptr);
        g_failReallocs = g_failMallocs = 0;
    }
};

TEST_F(HeapBufFailure, FreshBlockWhenReallocFails) {
    BASE_HeapBuf hb(64);
    std::memcpy(hb.Resize(4), "abcd", 4);
    g_failReallocs = 1;
    auto p = static_cast<char*>(hb.Resize(1000));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hb.GetSize(), 1000);
    EXPECT_EQ(hb.GetAllocSize(), 1500);
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
}

TEST_F(HeapBufFailure, NoMemoryKeepsOldBlockAndSize) {
    BASE_HeapBuf hb(64);
    auto old = static_cast<char*>(hb.Resize(4));
    std::memcpy(old, "abcd", 4);
    g_failReallocs = g_failMallocs = 1;
    EXPECT_EQ(hb.Resize(1000), old);
    EXPECT_EQ(hb.GetSize(), 4);
    EXPECT_EQ(hb.GetAllocSize(), 68);
    EXPECT_EQ(std::memcmp(old, "abcd", 4), 0);

    BASE_HeapBuf empty(64);
    g_failReallocs = g_failMallocs = 1;
    EXPECT_EQ(empty.Resize(10), nullptr);
    EXPECT_EQ(empty.GetSize(), 0);

    g_failReallocs = g_failMallocs = 1;
    EXPECT_EQ(hb.ResizeOK(1000), nullptr);
    void* now = hb.ResizeOK(1000);
    EXPECT_NE(now, nullptr);
    EXPECT_EQ(now, hb.Get());
}

TEST(HeapBuf, NegativeSizeRefused) {
    BASE_HeapBuf hb(64);
    void* p = hb.Resize(8);
    EXPECT_EQ(hb.Resize(-1), p);
    EXPECT_EQ(hb.GetSize(), 8);
}

TEST(TypedBuf, AddInsertDelete) {
    BASE_TypedBuf<int> tb(64);
    for (int i = 0; i < 5; i++) ASSERT_NE(tb.Add(i * 10), nullptr);
    ASSERT_NE(tb.Insert(-1, 0), nullptr);
    ASSERT_NE(tb.Insert(99, 100), nullptr);  // clamped to the end
    tb.Delete(3);
    tb.Delete(7);  // outside: nothing
    tb.Delete(-1);
    const int want[] = {-1, 0, 10, 30, 40, 99};
    ASSERT_EQ(tb.GetSize(), 6);
    for (int i = 0; i < 6; i++) EXPECT_EQ(tb.Get()[i], want[i]);
    // Inserting a copy of an element of the buffer itself survives a move.
    for (int i = 0; i < 100; i++) tb.Add(tb.Get()[0]);
    EXPECT_EQ(tb.Get()[105], -1);
    EXPECT_EQ(tb.GetHeapBuf().GetSize(), 106 * int(sizeof(int)));
}

TEST(TypedBuf, ResizeCountsElements) {
    BASE_TypedBuf<double> tb;
    ASSERT_NE(tb.ResizeOK(3), nullptr);
    EXPECT_EQ(tb.GetHeapBuf().GetSize(), 24);
    EXPECT_EQ(tb.ResizeOK(0x7fffffff), nullptr);  // overflowing byte count refused
    EXPECT_EQ(tb.GetSize(), 3);
}

}  // namespace
