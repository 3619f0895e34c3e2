#pragma once
// A set of row indices (0 to INT_MAX - 1) kept as sorted runs, as a table's
// selection is: thousands of rows selected together are one run. Each run
// is held as the gap before it and its length, in a balanced list, so that
// moving every index past a row (rows inserted or removed above them)
// changes one gap: every change and lookup costs O(log runs).

#include <initializer_list>
#include <iterator>
#include <vector>

#include "base/BASE_WeightedList.h"

namespace platform::controls {

class IndexSet {
public:
    IndexSet() = default;
    IndexSet(std::initializer_list<int> indices);

    bool empty() const { return runs_.empty(); }
    int size() const { return count_; }
    bool contains(int i) const;
    int first() const;
    int last() const { return runs_.empty() ? -1 : static_cast<int>(runs_.totalWeight() - 1); }
    // The smallest index at or above i; -1 for none.
    int indexAtOrAfter(int i) const;

    // Indices below 0 or at INT_MAX are not kept.
    void add(int i);
    void addRange(int from, int to);  // from to to - 1
    // Whether it was there.
    bool remove(int i);
    int removeRange(int from, int to);  // the number removed
    void clear() { runs_.clear(), count_ = 0; }
    // Every index at or above from moves by `by`. Moving down drops the
    // indices from from + by to from - 1 first, as removing those rows
    // does; indices moved past INT_MAX - 1 are dropped.
    void shift(int from, int by);

    friend bool operator==(const IndexSet& a, const IndexSet& b);
    friend bool operator!=(const IndexSet& a, const IndexSet& b) { return !(a == b); }

    struct Run {
        int first, end;  // first to end - 1
        bool operator==(const Run& o) const { return first == o.first && end == o.end; }
    };
    std::vector<Run> runs() const;

    // The indices in order.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        using pointer = const int*;
        using reference = int;
        const_iterator(const IndexSet* set, int run);
        int operator*() const { return at_; }
        const_iterator& operator++();
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++*this;
            return was;
        }
        bool operator==(const const_iterator& o) const { return run_ == o.run_ && at_ == o.at_; }
        bool operator!=(const const_iterator& o) const { return !(*this == o); }

    private:
        const IndexSet* set_;
        int run_;
        int at_ = -1, end_ = -1;
    };
    using iterator = const_iterator;
    const_iterator begin() const { return {this, runs_.first()}; }
    const_iterator end() const { return {this, Runs::kNone}; }

private:
    // A run's length; its weight is the gap before it (from the end of the
    // run before, or from 0) and its length, so a run ends at the running
    // weight after it.
    using Runs = BASE_WeightedList<int>;
    using Handle = Runs::Handle;

    long long startOf(Handle h, long long before) const { return before + runs_.weight(h) - runs_[h]; }
    // A new run from first to end - 1 before h (kNone: last), where the run
    // before ends at prevEnd, out of h's gap.
    void insertRun(Handle h, long long first, long long end, long long prevEnd);
    // h's place goes to the gap of the run after it.
    void eraseRun(Handle h);
    long long removeSpan(long long from, long long to);

    Runs runs_;  // disjoint, not touching, in order
    int count_ = 0;
};

}  // namespace platform::controls
