#pragma once
// A list kept as a balanced tree (a treap, its priorities drawn from a fixed
// seed), every element weighing a whole number: inserting or erasing
// anywhere, finding the element over a running weight and the running
// weight before an element each take O(log n), however long the list. A
// list of rows weighs each row 1, so that running weight is row number.
// Handles name elements until they are erased; nothing recurses, so a
// degenerate shape costs time, never the stack.

#include <cstdint>
#include <utility>
#include <vector>

template <class T>
class BASE_WeightedList {
public:
    using Handle = int;
    static constexpr Handle kNone = -1;

    int size() const { return size_; }
    bool empty() const { return size_ == 0; }
    long long totalWeight() const { return sumOf(root_); }
    void clear() {
        nodes_.clear();
        root_ = free_ = kNone;
        size_ = 0;
    }

    T& operator[](Handle h) { return nodes_[h].value; }
    const T& operator[](Handle h) const { return nodes_[h].value; }
    long long weight(Handle h) const { return nodes_[h].weight; }

    // Before `before` (kNone: at the end).
    Handle insert(Handle before, T value, long long weight) {
        const Handle h = allocate(std::move(value), weight);
        if (root_ == kNone) {
            root_ = h;
        } else if (before == kNone) {
            link(h, rightmost(root_), false);
        } else if (nodes_[before].left == kNone) {
            link(h, before, true);
        } else {
            link(h, rightmost(nodes_[before].left), false);
        }
        addUp(nodes_[h].parent, weight);
        while (nodes_[h].parent != kNone && nodes_[h].priority > nodes_[nodes_[h].parent].priority) rotateUp(h);
        ++size_;
        return h;
    }

    void erase(Handle h) {
        // Down to a node with one child at most, which then takes its place.
        for (;;) {
            const Handle l = nodes_[h].left, r = nodes_[h].right;
            if (l == kNone || r == kNone) break;
            rotateUp(nodes_[l].priority > nodes_[r].priority ? l : r);
        }
        const Handle child = nodes_[h].left != kNone ? nodes_[h].left : nodes_[h].right;
        const Handle parent = nodes_[h].parent;
        if (child != kNone) nodes_[child].parent = parent;
        replaceChild(parent, h, child);
        addUp(parent, -nodes_[h].weight);
        nodes_[h] = Node{};
        nodes_[h].left = free_;
        free_ = h;
        --size_;
    }

    void setWeight(Handle h, long long w) {
        const long long by = w - nodes_[h].weight;
        nodes_[h].weight = w;
        addUp(h, by);
    }

    // The element whose span holds running weight w, and the weight before
    // it; kNone for w outside 0 to totalWeight() - 1.
    Handle find(long long w, long long* before = nullptr) const {
        if (w < 0 || w >= totalWeight()) return kNone;
        long long base = 0;
        Handle x = root_;
        for (;;) {
            const Node& n = nodes_[x];
            const long long left = sumOf(n.left);
            if (w < left) {
                x = n.left;
            } else if (w < left + n.weight) {
                if (before) *before = base + left;
                return x;
            } else {
                w -= left + n.weight, base += left + n.weight;
                x = n.right;
            }
        }
    }

    long long weightBefore(Handle h) const {
        long long w = sumOf(nodes_[h].left);
        for (Handle p = nodes_[h].parent; p != kNone; h = p, p = nodes_[p].parent)
            if (nodes_[p].right == h) w += sumOf(nodes_[p].left) + nodes_[p].weight;
        return w;
    }

    Handle first() const { return root_ == kNone ? kNone : leftmost(root_); }
    Handle last() const { return root_ == kNone ? kNone : rightmost(root_); }
    Handle next(Handle h) const {
        if (nodes_[h].right != kNone) return leftmost(nodes_[h].right);
        Handle p = nodes_[h].parent;
        while (p != kNone && nodes_[p].right == h) h = p, p = nodes_[p].parent;
        return p;
    }
    Handle prev(Handle h) const {
        if (nodes_[h].left != kNone) return rightmost(nodes_[h].left);
        Handle p = nodes_[h].parent;
        while (p != kNone && nodes_[p].left == h) h = p, p = nodes_[p].parent;
        return p;
    }

private:
    struct Node {
        T value{};
        long long weight = 0, sum = 0;  // sum: of the node's subtree
        Handle left = kNone, right = kNone, parent = kNone;
        uint32_t priority = 0;
    };

    long long sumOf(Handle h) const { return h == kNone ? 0 : nodes_[h].sum; }
    void resum(Handle h) { nodes_[h].sum = sumOf(nodes_[h].left) + nodes_[h].weight + sumOf(nodes_[h].right); }
    void addUp(Handle h, long long by) {
        for (; h != kNone; h = nodes_[h].parent) nodes_[h].sum += by;
    }
    Handle leftmost(Handle h) const {
        while (nodes_[h].left != kNone) h = nodes_[h].left;
        return h;
    }
    Handle rightmost(Handle h) const {
        while (nodes_[h].right != kNone) h = nodes_[h].right;
        return h;
    }

    Handle allocate(T value, long long weight) {
        Handle h = free_;
        if (h != kNone) {
            free_ = nodes_[h].left;
            nodes_[h] = Node{};
        } else {
            h = static_cast<Handle>(nodes_.size());
            nodes_.emplace_back();
        }
        // xorshift32: the same shapes from run to run.
        seed_ ^= seed_ << 13, seed_ ^= seed_ >> 17, seed_ ^= seed_ << 5;
        Node& n = nodes_[h];
        n.value = std::move(value);
        n.weight = n.sum = weight;
        n.priority = seed_;
        return h;
    }

    void link(Handle h, Handle parent, bool asLeft) {
        (asLeft ? nodes_[parent].left : nodes_[parent].right) = h;
        nodes_[h].parent = parent;
    }

    void replaceChild(Handle parent, Handle was, Handle now) {
        if (parent == kNone)
            root_ = now;
        else if (nodes_[parent].left == was)
            nodes_[parent].left = now;
        else
            nodes_[parent].right = now;
    }

    // h takes its parent's place; the order of the list stays.
    void rotateUp(Handle h) {
        const Handle p = nodes_[h].parent, g = nodes_[p].parent;
        if (nodes_[p].left == h) {
            nodes_[p].left = nodes_[h].right;
            if (nodes_[h].right != kNone) nodes_[nodes_[h].right].parent = p;
            nodes_[h].right = p;
        } else {
            nodes_[p].right = nodes_[h].left;
            if (nodes_[h].left != kNone) nodes_[nodes_[h].left].parent = p;
            nodes_[h].left = p;
        }
        nodes_[p].parent = h;
        nodes_[h].parent = g;
        replaceChild(g, p, h);
        resum(p);
        resum(h);
    }

    std::vector<Node> nodes_;  // erased ones chained through left from free_
    Handle root_ = kNone, free_ = kNone;
    int size_ = 0;
    uint32_t seed_ = 2463534242u;
};
