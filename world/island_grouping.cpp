#include "prallwerk/world/island_grouping.h"

#include <algorithm>

namespace prallwerk {

void IslandGrouping::reserve(int count) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    if (parent_.size() < n) {
        parent_.resize(n);
        islandOf_.resize(n);
        start_.resize(n + 1);
        members_.resize(n);
    }
    grid_.reserve(count);
}

void IslandGrouping::group(const Bounds* bounds, int count) {
    count_ = std::max(count, 0);
    reserve(count_);
    for (int i = 0; i < count_; ++i) parent_[i] = i;
    grid_.build(bounds, count_);
    for (int i = 0; i < count_; ++i) {
        for (int j : grid_.partnersAfter(i)) join(i, j);
    }
    regroup();
}

int IslandGrouping::find(int i) {
    // Path halving: every other body on the way points on to its grandparent.
    while (parent_[i] != i) {
        parent_[i] = parent_[parent_[i]];
        i = parent_[i];
    }
    return i;
}

void IslandGrouping::join(int a, int b) {
    const int ra = find(a), rb = find(b);
    // The lower root stays the root: a set's root is its lowest body.
    if (ra < rb) {
        parent_[rb] = ra;
    } else if (rb < ra) {
        parent_[ra] = rb;
    }
}

void IslandGrouping::regroup() {
    // A set's lowest body is its root and comes first in index order, so the
    // islands are numbered as their lowest bodies come.
    islandCount_ = 0;
    for (int i = 0; i < count_; ++i) {
        const int root = find(i);
        if (root == i) {
            islandOf_[i] = islandCount_;
            start_[islandCount_] = 0;
            ++islandCount_;
        } else {
            islandOf_[i] = islandOf_[root];
        }
        ++start_[islandOf_[i]];
    }
    // Sizes into starts, then the bodies in index order into their islands.
    int at = 0;
    for (int k = 0; k < islandCount_; ++k) {
        const int size = start_[k];
        start_[k] = at;
        at += size;
    }
    start_[islandCount_] = at;
    for (int i = 0; i < count_; ++i) members_[start_[islandOf_[i]]++] = i;
    for (int k = islandCount_; k > 0; --k) start_[k] = start_[k - 1];
    start_[0] = 0;
}

}  // namespace prallwerk
