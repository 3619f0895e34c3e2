#include "platform/controls/IndexSet.h"

#include <algorithm>
#include <climits>

namespace platform::controls {

IndexSet::IndexSet(std::initializer_list<int> indices) {
    for (int i : indices) add(i);
}

bool operator==(const IndexSet& a, const IndexSet& b) {
    if (a.count_ != b.count_ || a.runs_.size() != b.runs_.size()) return false;
    // Gaps and lengths alike: the same runs.
    for (auto x = a.runs_.first(), y = b.runs_.first(); x != IndexSet::Runs::kNone;
         x = a.runs_.next(x), y = b.runs_.next(y))
        if (a.runs_.weight(x) != b.runs_.weight(y) || a.runs_[x] != b.runs_[y]) return false;
    return true;
}

std::vector<IndexSet::Run> IndexSet::runs() const {
    std::vector<Run> out;
    long long end = 0;
    for (Handle h = runs_.first(); h != Runs::kNone; h = runs_.next(h)) {
        end += runs_.weight(h);
        out.push_back({static_cast<int>(end - runs_[h]), static_cast<int>(end)});
    }
    return out;
}

bool IndexSet::contains(int i) const {
    long long before = 0;
    const Handle h = runs_.find(i, &before);
    return h != Runs::kNone && i >= startOf(h, before);
}

int IndexSet::first() const {
    const Handle h = runs_.first();
    return h == Runs::kNone ? -1 : static_cast<int>(startOf(h, 0));
}

int IndexSet::indexAtOrAfter(int i) const {
    i = std::max(i, 0);
    long long before = 0;
    const Handle h = runs_.find(i, &before);
    return h == Runs::kNone ? -1 : static_cast<int>(std::max<long long>(startOf(h, before), i));
}

void IndexSet::add(int i) {
    if (i >= 0 && i < INT_MAX) addRange(i, i + 1);
}

bool IndexSet::remove(int i) { return i >= 0 && i < INT_MAX && removeRange(i, i + 1) != 0; }

void IndexSet::insertRun(Handle h, long long first, long long end, long long prevEnd) {
    runs_.insert(h, static_cast<int>(end - first), end - prevEnd);
    if (h != Runs::kNone) runs_.setWeight(h, runs_.weight(h) - (end - prevEnd));
    count_ += static_cast<int>(end - first);
}

void IndexSet::eraseRun(Handle h) {
    const Handle after = runs_.next(h);
    if (after != Runs::kNone) runs_.setWeight(after, runs_.weight(after) + runs_.weight(h));
    count_ -= runs_[h];
    runs_.erase(h);
}

void IndexSet::addRange(int from, int to) {
    from = std::max(from, 0);
    if (from >= to) return;
    // The runs that overlap or touch from..to - 1 become one. Erasing a run
    // leaves the weight before the next one as it was.
    long long first = from, end = to, before = 0;
    Handle h = runs_.find(std::max(from - 1, 0), &before);
    while (h != Runs::kNone && startOf(h, before) <= to) {
        first = std::min(first, startOf(h, before));
        end = std::max(end, before + runs_.weight(h));
        const Handle after = runs_.next(h);
        eraseRun(h);
        h = after;
    }
    insertRun(h, first, end, h == Runs::kNone ? runs_.totalWeight() : before);
}

int IndexSet::removeRange(int from, int to) { return static_cast<int>(removeSpan(from, to)); }

long long IndexSet::removeSpan(long long from, long long to) {
    from = std::max(from, 0LL);
    if (from >= to) return 0;
    long long before = 0, head = -1, tail = -1, headStart = 0, tailEnd = 0;
    const int had = count_;
    Handle h = runs_.find(from, &before);
    while (h != Runs::kNone && startOf(h, before) < to) {
        const long long s = startOf(h, before), e = before + runs_.weight(h);
        if (s < from) head = from, headStart = s;
        if (e > to) tail = to, tailEnd = e;
        const Handle after = runs_.next(h);
        eraseRun(h);
        h = after;
    }
    // What is left of the first and last of them outside from..to - 1; the
    // run before them still ends at `before`.
    if (head >= 0) insertRun(h, headStart, head, before);
    if (tail >= 0) insertRun(h, tail, tailEnd, head >= 0 ? head : before);
    return had - count_;
}

void IndexSet::shift(int from, int by) {
    if (by == 0 || runs_.empty()) return;
    const long long at = std::max(from, 0);
    // Moving down drops the rows removed and the indices that would land
    // below 0.
    if (by < 0) removeSpan(std::max(at + by, 0LL), std::max(at, -static_cast<long long>(by)));
    long long before = 0;
    Handle h = runs_.find(at, &before);
    if (h == Runs::kNone) return;
    if (const long long s = startOf(h, before), e = before + runs_.weight(h); s < at) {
        // A run across at: its part at and above at becomes a run of its own.
        runs_[h] = static_cast<int>(at - s);
        runs_.setWeight(h, at - before);
        h = runs_.insert(runs_.next(h), static_cast<int>(e - at), e - at);
    }
    // Only the gap before the first run at or above at changes.
    runs_.setWeight(h, runs_.weight(h) + by);
    if (const Handle p = runs_.prev(h); p != Runs::kNone && runs_.weight(h) == runs_[h]) {
        // Moved down onto the run before it: one run.
        runs_[p] += runs_[h];
        runs_.setWeight(p, runs_.weight(p) + runs_[h]);
        runs_.erase(h);
    }
    if (runs_.totalWeight() > INT_MAX) removeSpan(INT_MAX, runs_.totalWeight());
}

IndexSet::const_iterator::const_iterator(const IndexSet* set, int run) : set_(set), run_(run) {
    if (run_ == Runs::kNone) return;
    end_ = static_cast<int>(set_->runs_.weightBefore(run_) + set_->runs_.weight(run_));
    at_ = end_ - set_->runs_[run_];
}

IndexSet::const_iterator& IndexSet::const_iterator::operator++() {
    if (++at_ < end_) return *this;
    run_ = set_->runs_.next(run_);
    if (run_ == Runs::kNone) {
        at_ = end_ = -1;
    } else {
        end_ += static_cast<int>(set_->runs_.weight(run_));
        at_ = end_ - set_->runs_[run_];
    }
    return *this;
}

}  // namespace platform::controls
