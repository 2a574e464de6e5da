#pragma once

#include <vector>

#include "prallwerk/collision/bounds_grid.h"

namespace prallwerk {

// The islands of a step: bodies whose bounds overlap, directly or through
// others, share one. Found by joining every overlapping pair (BoundsGrid)
// into sets, each named by its lowest index. Islands are numbered by their
// lowest body, and each lists its bodies in ascending order, so the islands
// of a set of bounds are the same whatever order the pairs are met in.
// Buffers grow to the most bodies grouped; grouping allocates nothing after
// that.
class IslandGrouping {
public:
    // Room for count bodies, so that grouping that many allocates nothing.
    void reserve(int count);

    // Groups count bodies by their bounds (bounds[i] for body i), which must
    // stay as they are while the grouping is used.
    void group(const Bounds* bounds, int count);

    // Joins the islands of bodies a and b; regroup() then numbers the islands
    // anew.
    void join(int a, int b);
    void regroup();

    int islandCount() const { return islandCount_; }
    // The bodies of island k, ascending.
    const int* members(int k) const { return members_.data() + start_[k]; }
    int size(int k) const { return start_[k + 1] - start_[k]; }
    // The island of a body.
    int islandOf(int body) const { return islandOf_[body]; }

    // The bounds grouped, in a grid for questions about them.
    BoundsGrid& grid() { return grid_; }

private:
    int find(int i);

    int count_ = 0;
    int islandCount_ = 0;
    std::vector<int> parent_;    // per body: a body of its set, the set's lowest at the root
    std::vector<int> islandOf_;  // per body: its island
    std::vector<int> start_;     // per island: where its bodies begin in members_; one more at the end
    std::vector<int> members_;   // the bodies, island by island
    BoundsGrid grid_;
};

}  // namespace prallwerk
