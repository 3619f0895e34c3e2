#include "platform/controls/IndexSet.h"

#include <algorithm>
#include <climits>

namespace platform::controls {

IndexSet::IndexSet(std::initializer_list<int> indices) {
    for (int i : indices) add(i);
}

std::vector<IndexSet::Run>::iterator IndexSet::runEndingAfter(int i) {
    return std::upper_bound(runs_.begin(), runs_.end(), i, [](int v, const Run& r) { return v < r.end; });
}

std::vector<IndexSet::Run>::const_iterator IndexSet::runEndingAfter(int i) const {
    return std::upper_bound(runs_.begin(), runs_.end(), i, [](int v, const Run& r) { return v < r.end; });
}

bool IndexSet::contains(int i) const {
    auto r = runEndingAfter(i);
    return r != runs_.end() && r->first <= i;
}

int IndexSet::indexAtOrAfter(int i) const {
    auto r = runEndingAfter(i);
    return r == runs_.end() ? -1 : std::max(r->first, i);
}

void IndexSet::add(int i) {
    if (i >= 0 && i < INT_MAX) addRange(i, i + 1);
}

bool IndexSet::remove(int i) { return i >= 0 && i < INT_MAX && removeRange(i, i + 1) != 0; }

void IndexSet::addRange(int from, int to) {
    from = std::max(from, 0);
    if (from >= to) return;
    // The runs that overlap or touch from..to - 1 become one.
    auto lo = runEndingAfter(from - 1);
    auto hi = std::upper_bound(lo, runs_.end(), to, [](int v, const Run& r) { return v < r.first; });
    Run merged{from, to};
    for (auto r = lo; r != hi; ++r) {
        merged.first = std::min(merged.first, r->first), merged.end = std::max(merged.end, r->end);
        count_ -= r->end - r->first;
    }
    count_ += merged.end - merged.first;
    if (lo == hi) {
        runs_.insert(lo, merged);
    } else {
        *lo = merged;
        runs_.erase(lo + 1, hi);
    }
}

int IndexSet::removeRange(int from, int to) {
    from = std::max(from, 0);
    if (from >= to) return 0;
    auto lo = runEndingAfter(from);
    auto hi = std::lower_bound(lo, runs_.end(), to, [](const Run& r, int v) { return r.first < v; });
    if (lo == hi) return 0;
    // What is left of the first and last of them outside from..to - 1.
    const Run head{lo->first, from}, tail{to, (hi - 1)->end};
    int removed = 0;
    for (auto r = lo; r != hi; ++r) removed += r->end - r->first;
    std::vector<Run> keep;
    if (head.first < head.end) keep.push_back(head), removed -= head.end - head.first;
    if (tail.first < tail.end) keep.push_back(tail), removed -= tail.end - tail.first;
    const auto at = runs_.erase(lo, hi) - runs_.begin();
    runs_.insert(runs_.begin() + at, keep.begin(), keep.end());
    count_ -= removed;
    return removed;
}

void IndexSet::shift(int from, int by) {
    from = std::max(from, 0);
    if (by == 0 || runs_.empty()) return;
    if (by < 0) removeRange(from + std::max(by, -from), from);
    auto r = runEndingAfter(from);
    if (r != runs_.end() && r->first < from) {
        // A run across from: its part at and above from moves.
        const Run upper{from, r->end};
        r->end = from;
        r = runs_.insert(r + 1, upper);
    }
    const auto seam = r - runs_.begin();
    for (; r != runs_.end(); ++r) {
        count_ -= r->end - r->first;
        r->first = (int)std::clamp((long long)r->first + by, 0LL, (long long)INT_MAX);
        r->end = (int)std::clamp((long long)r->end + by, 0LL, (long long)INT_MAX);
        count_ += r->end - r->first;
    }
    // Indices moved below 0 or past the last one are gone; a run moved down
    // onto the run before it joins it.
    runs_.erase(std::remove_if(runs_.begin() + seam, runs_.end(), [](const Run& x) { return x.first >= x.end; }),
                runs_.end());
    if (seam > 0 && seam < (long)runs_.size() && runs_[seam - 1].end >= runs_[seam].first) {
        runs_[seam - 1].end = runs_[seam].end;
        runs_.erase(runs_.begin() + seam);
    }
}

IndexSet::const_iterator& IndexSet::const_iterator::operator++() {
    if (++at_ < (*runs_)[run_].end) return *this;
    if (++run_ < runs_->size())
        at_ = (*runs_)[run_].first;
    else
        at_ = -1;
    return *this;
}

}  // namespace platform::controls
