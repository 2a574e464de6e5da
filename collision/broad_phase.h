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
// larger worlds bodies are swept in the order of their boxes' lower x bounds,
// kept from call to call, so sorting costs little while bodies move little.
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

    // Bounds the reach of the first count bodies over (0, limit] and sorts
    // them. A count above the size given at construction makes the buffers
    // grow (the one case that allocates).
    void prepare(const BodyList& bodies, int count, float limit);

    // The bodies j > i whose reach overlaps body i's, leaving out pairs of
    // resting bodies, in ascending order. Valid until the next call.
    Partners partnersAfter(int i);

private:
    struct Reach {
        double lo[3] = {0, 0, 0};
        double hi[3] = {0, 0, 0};
        bool resting = false;
    };

    void sortByLowerX();

    int count_ = 0;
    double widest_ = 0.0;    // largest x extent of any reach
    std::vector<Reach> reach_;
    std::vector<int> order_;  // body indices by ascending lo[0]
    std::vector<int> rank_;   // position of each body in order_
    std::vector<int> partners_;
};

}  // namespace prallwerk
