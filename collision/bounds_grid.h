#pragma once

#include <vector>

namespace prallwerk {

// A box in world axes (m): closed intervals along x, y and z. Infinite ends
// are allowed (a body about which nothing is known reaches everywhere).
struct Bounds {
    double lo[3] = {0.0, 0.0, 0.0};
    double hi[3] = {0.0, 0.0, 0.0};

    // Whether the two boxes share a point (touching counts). False when
    // either holds a NaN.
    bool overlaps(const Bounds& o) const {
        for (int k = 0; k < 3; ++k) {
            if (!(lo[k] <= o.hi[k] && o.lo[k] <= hi[k])) return false;
        }
        return true;
    }

    // Grows this box to hold o as well.
    void include(const Bounds& o) {
        for (int k = 0; k < 3; ++k) {
            if (o.lo[k] < lo[k]) lo[k] = o.lo[k];
            if (o.hi[k] > hi[k]) hi[k] = o.hi[k];
        }
    }

    // Whether o lies within this box.
    bool holds(const Bounds& o) const {
        for (int k = 0; k < 3; ++k) {
            if (!(lo[k] <= o.lo[k] && o.hi[k] <= hi[k])) return false;
        }
        return true;
    }
};

// Which of a set of boxes overlap: the boxes are kept in a grid of cubic
// cells, so that a box is compared only with the boxes in the cells it
// covers (a column of bodies one above another fills as many cells); boxes too wide for the grid, too far out or not finite
// are compared with every box. Up to pairwiseUpTo boxes they are compared
// pair by pair. The answers are exact (Bounds::overlaps), whatever the grid.
//
// Buffers grow to the most boxes built; building and asking allocate nothing
// after that.
class BoundsGrid {
public:
    // Up to this many boxes they are compared pair by pair: a grid costs
    // more than it saves. (At 16, building the grid and asking it took 16 %
    // of the instructions of small worlds of 1 to 50 bodies; pair by pair up
    // to 64 the same worlds take 13 % fewer instructions in all, and the
    // peer scene of 200 bodies, whose islands reach 53, 5 % fewer.)
    static constexpr int pairwiseUpTo = 64;

    // Indices of boxes, ascending.
    struct Items {
        const int* first = nullptr;
        const int* last = nullptr;
        const int* begin() const { return first; }
        const int* end() const { return last; }
        int size() const { return static_cast<int>(last - first); }
    };

    // Room for count boxes, so that building that many allocates nothing.
    void reserve(int count);

    // Puts count boxes in the grid; bounds must stay as they are until the
    // next build.
    void build(const Bounds* bounds, int count);

    // The boxes j > i that overlap box i. Valid until the next call.
    Items partnersAfter(int i);

    // Every box of the grid that overlaps b. Valid until the next call.
    Items overlapping(const Bounds& b);

    int size() const { return count_; }

private:
    // A box in the list of a cell: cells share lists by a hash.
    struct CellEntry {
        long long cell[3] = {0, 0, 0};
        int item = 0;
    };
    struct Place {
        bool inGrid = false;                                // in the cells below; if not, compared with every box
        long long cell[3][2] = {{0, 0}, {0, 0}, {0, 0}};    // first and last cell it covers, along x, y and z
    };

    int listOf(long long cx, long long cy, long long cz) const;
    // The boxes of cell (cx, cy, cz) that overlap b, each the first time it
    // is seen in this question.
    void collect(long long cx, long long cy, long long cz, const Bounds& b, int& n);

    const Bounds* bounds_ = nullptr;
    int count_ = 0;
    bool gridded_ = false;
    std::vector<Place> places_;
    std::vector<int> found_;
    std::vector<unsigned long long> seen_;  // per box: the question it was last found in
    unsigned long long question_ = 0;
    // The grid: entries_[listStart_[l] .. listStart_[l + 1]) are the boxes in
    // list l; outside_ the boxes not in the grid.
    std::vector<CellEntry> entries_;
    std::vector<int> listStart_;
    std::vector<int> outside_;
    int outsideCount_ = 0;
    double inverseCell_ = 0.0;
    unsigned mask_ = 0;
};

}  // namespace prallwerk
