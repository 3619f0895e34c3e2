// The index set behind a table's selection: runs joined and split, and
// indices moved past a row as rows are inserted or removed.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
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
