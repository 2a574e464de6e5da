#pragma once

#include <vector>

#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// Which pairs of bodies the pair search need not look at: a pair is passed
// over only where its search provably finds nothing within the limit.
//
// The pair search reports an impact only when the two bodies touch at the
// limit itself (its probe), and later pairs are searched within the shorter
// limit of the best impact so far, so a pair can only be found touching at
// some time in (0, limit]. Each body gets a box in world axes that encloses
// its predicted centre at every such time, grown by the distance at which the
// contact test can still see contact (the half diagonal of its box, for a
// sphere at least its radius) and padded far beyond the rounding of the
// prediction. Bodies whose boxes are apart cannot touch; pairs of bodies that
// both hold exactly zero velocity and spin are never searched at all. In
// larger worlds the boxes are kept in a grid of square cells over x and y, so
// that a body is compared only with the bodies in the cells its box covers.
//
// Every buffer is sized at construction; preparing and asking allocate
// nothing.
class PairBroadPhase {
public:
    // Indices of the bodies after i that may touch it, ascending.
    struct Partners {
        const int* first = nullptr;
        const int* last = nullptr;
        const int* begin() const { return first; }
        const int* end() const { return last; }
    };

    // Buffers for a world of bodyCount bodies.
    explicit PairBroadPhase(int bodyCount);

    // Bounds the reach of the first count bodies over (0, limit] and puts
    // them in the grid. A count above the size given at construction makes the buffers
    // grow (the one case that allocates).
    // restingPairs keeps the pairs of two resting bodies too, which the
    // searches of impacts leave out.
    void prepare(const BodyList& bodies, int count, float limit, bool restingPairs = false);

    // The bodies j > i whose reach overlaps body i's, leaving out pairs of
    // resting bodies unless prepare was asked for them, in ascending order.
    // Valid until the next call.
    Partners partnersAfter(int i);

private:
    bool restingPairs_ = false;

    struct Reach {
        double lo[3] = {0, 0, 0};
        double hi[3] = {0, 0, 0};
        bool resting = false;
        bool inGrid = false;          // in the cells below; if not, compared with every body
        long long cell[2][2] = {{0, 0}, {0, 0}};  // first and last cell it covers, along x and y
    };

    // A body in the list of a cell: cells share lists by a hash.
    struct CellEntry {
        long long cx = 0, cy = 0;
        int body = 0;
    };

    void buildGrid(double meanExtent);
    int listOf(long long cx, long long cy) const;
    bool meets(int i, int j) const;

    int count_ = 0;
    std::vector<Reach> reach_;
    std::vector<int> partners_;
    // The grid: entries_[listStart_[l] .. listStart_[l + 1]) are the bodies
    // in list l; outside_ the bodies not in the grid.
    std::vector<CellEntry> entries_;
    std::vector<int> listStart_;
    std::vector<int> outside_;
    int outsideCount_ = 0;
    double inverseCell_ = 0.0;
    unsigned mask_ = 0;
};

}  // namespace prallwerk
