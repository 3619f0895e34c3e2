#pragma once
// A set of row indices (0 to INT_MAX - 1) kept as sorted runs, as a table's
// selection is: thousands of rows selected together are one run, and moving
// every index past a row (rows inserted or removed above them) is one pass
// over the runs, not over the indices.

#include <initializer_list>
#include <iterator>
#include <vector>

namespace platform::controls {

class IndexSet {
public:
    IndexSet() = default;
    IndexSet(std::initializer_list<int> indices);

    bool empty() const { return runs_.empty(); }
    int size() const { return count_; }
    bool contains(int i) const;
    int first() const { return runs_.empty() ? -1 : runs_.front().first; }
    int last() const { return runs_.empty() ? -1 : runs_.back().end - 1; }
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

    friend bool operator==(const IndexSet& a, const IndexSet& b) { return a.runs_ == b.runs_; }
    friend bool operator!=(const IndexSet& a, const IndexSet& b) { return !(a == b); }

    struct Run {
        int first, end;  // first to end - 1
        bool operator==(const Run& o) const { return first == o.first && end == o.end; }
    };
    const std::vector<Run>& runs() const { return runs_; }

    // The indices in order.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        using pointer = const int*;
        using reference = int;
        const_iterator(const std::vector<Run>* runs, size_t run, int at) : runs_(runs), run_(run), at_(at) {}
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
        const std::vector<Run>* runs_;
        size_t run_;
        int at_;
    };
    using iterator = const_iterator;
    const_iterator begin() const { return {&runs_, 0, first()}; }
    const_iterator end() const { return {&runs_, runs_.size(), -1}; }

private:
    // The first run that ends after i.
    std::vector<Run>::iterator runEndingAfter(int i);
    std::vector<Run>::const_iterator runEndingAfter(int i) const;

    std::vector<Run> runs_;  // disjoint, not touching, in order
    int count_ = 0;
};

}  // namespace platform::controls
