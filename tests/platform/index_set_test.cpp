// The index set behind a table's selection: runs joined and split, and
// indices moved past a row as rows are inserted or removed.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "platform/controls/IndexSet.h"

using platform::controls::IndexSet;

namespace {

std::vector<int> indices(const IndexSet& s) { return std::vector<int>(s.begin(), s.end()); }

IndexSet range(int from, int to) {
    IndexSet s;
    s.addRange(from, to);
    return s;
}

}  // namespace

TEST(IndexSet, ChangesKeepRunsJoinedAndCounted) {
    const struct {
        const char* what;
        IndexSet start;
        std::function<void(IndexSet&)> change;
        std::vector<IndexSet::Run> runs;
    } cases[] = {
        {"neighbours join", {1, 3}, [](IndexSet& s) { s.add(2); }, {{1, 4}}},
        {"a range over runs", {1, 5, 9}, [](IndexSet& s) { s.addRange(2, 9); }, {{1, 10}}},
        {"negative and last indices left out",
         {},
         [](IndexSet& s) { s.add(-1), s.add(INT_MAX), s.addRange(-3, 2); },
         {{0, 2}}},
        {"a hole split", range(0, 10), [](IndexSet& s) { s.removeRange(3, 5); }, {{0, 3}, {5, 10}}},
        {"rows inserted inside a run", range(0, 10), [](IndexSet& s) { s.shift(4, 2); }, {{0, 4}, {6, 12}}},
        {"rows removed inside a run", range(0, 10), [](IndexSet& s) { s.shift(5, -3); }, {{0, 7}}},
        {"a run moved onto the one before", {0, 1, 5, 6}, [](IndexSet& s) { s.shift(5, -3); }, {{0, 4}}},
        {"moved below 0", {2, 3, 8}, [](IndexSet& s) { s.shift(3, -5); }, {{3, 4}}},
        {"moved past the last index",
         {1, INT_MAX - 2},
         [](IndexSet& s) { s.shift(1, INT_MAX - 2); },
         {{INT_MAX - 1, INT_MAX}}},
        {"below the shift stays", {1, 7}, [](IndexSet& s) { s.shift(2, 3); }, {{1, 2}, {10, 11}}},
    };
    for (const auto& c : cases) {
        IndexSet s = c.start;
        c.change(s);
        EXPECT_EQ(s.runs(), c.runs) << c.what;
        int count = 0;
        for (const IndexSet::Run& r : c.runs) count += r.end - r.first;
        EXPECT_EQ(s.size(), count) << c.what;
    }
}

TEST(IndexSet, LookupsAndWalk) {
    IndexSet s{4, 2, 3, 9};
    EXPECT_EQ(indices(s), (std::vector<int>{2, 3, 4, 9}));
    EXPECT_EQ(s.first(), 2);
    EXPECT_EQ(s.last(), 9);
    EXPECT_TRUE(s.contains(3));
    EXPECT_FALSE(s.contains(5));
    EXPECT_EQ(s.indexAtOrAfter(0), 2);
    EXPECT_EQ(s.indexAtOrAfter(5), 9);
    EXPECT_EQ(s.indexAtOrAfter(10), -1);
    EXPECT_TRUE(s.remove(9));
    EXPECT_FALSE(s.remove(9));
    EXPECT_EQ(s, (IndexSet{2, 3, 4}));
    s.clear();
    EXPECT_EQ(s.begin(), s.end());
    EXPECT_EQ(s.first(), -1);
}

TEST(IndexSet, LongRunsOfChangesAgreeWithAPlainSet) {
    // Changes drawn from a fixed seed over a few dozen rows, so that runs
    // meet, split and join all the time; after each, every reading against
    // a plain set, and the set against one built afresh from its indices.
    std::mt19937 rng(7);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    IndexSet s;
    std::set<int> model;
    for (int step = 0; step < 3000; ++step) {
        const int a = pick(48), b = a + pick(9), by = pick(13) - 6;
        switch (pick(4)) {
            case 0:
                s.addRange(a, b);
                for (int i = a; i < b; ++i) model.insert(i);
                break;
            case 1: {
                int removed = 0;
                for (int i = a; i < b; ++i) removed += static_cast<int>(model.erase(i));
                ASSERT_EQ(s.removeRange(a, b), removed) << step;
                break;
            }
            default: {  // rows inserted (by > 0) or removed (by < 0) at a
                s.shift(a, by);
                std::set<int> moved;
                for (int i : model)
                    if (i < a + std::min(by, 0) || (i >= a && i + by >= 0)) moved.insert(i < a ? i : i + by);
                model.swap(moved);
            }
        }
        ASSERT_EQ(indices(s), std::vector<int>(model.begin(), model.end())) << step;
        ASSERT_EQ(s.size(), static_cast<int>(model.size())) << step;
        const int probe = pick(60);
        const auto after = model.lower_bound(probe);
        ASSERT_EQ(s.contains(probe), model.count(probe) != 0) << step;
        ASSERT_EQ(s.indexAtOrAfter(probe), after == model.end() ? -1 : *after) << step;
        ASSERT_EQ(s.first(), model.empty() ? -1 : *model.begin()) << step;
        ASSERT_EQ(s.last(), model.empty() ? -1 : *model.rbegin()) << step;
        IndexSet afresh;
        for (int i : model) afresh.add(i);
        ASSERT_EQ(s, afresh) << step;
        ASSERT_EQ(s.runs(), afresh.runs()) << step;
    }
}
