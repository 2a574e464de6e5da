#pragma once

#include <vector>

#include "prallwerk/collision/bounds_grid.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// Which pairs of bodies the pair search need not look at: a pair is passed
// over only where its search provably finds nothing within the limit.
//
// The pair search looks for contact at times in (0, limit] (later pairs are
// searched within the shorter limit of the best impact so far). Each body gets a box in world axes that encloses
// its predicted centre at every such time, grown along each axis by the
// distance at which the contact test can still see contact (a sphere's
// radius; a box's corners as they stand, turned as far as its spin turns
// them within the limit, at most its half diagonal) and padded far beyond
// the rounding of the prediction. The searches pose a box by its angles:
// its corners must stand as its angles turn it, as every move leaves them. Bodies whose boxes are apart cannot touch; pairs of bodies that
// both hold exactly zero velocity and spin are never searched at all. The
// boxes are compared in a BoundsGrid.
//
// Buffers grow to the most bodies prepared; preparing and asking allocate
// nothing after that.
class PairBroadPhase {
public:
    // Indices of the bodies after i that may touch it, ascending.
    using Partners = BoundsGrid::Items;

    PairBroadPhase() = default;
    // Buffers for up to bodyCount bodies (more make them grow).
    explicit PairBroadPhase(int bodyCount);

    // Bounds the reach of the count bodies over (0, limit] and puts them in
    // the grid. restingPairs keeps the pairs of two resting bodies too, which
    // the searches of impacts leave out. The bodies must stay where they are
    // until the pairs have been asked for.
    void prepare(const RigidBody* const* bodies, int count, float limit, bool restingPairs = false);

    // The bodies j > i whose reach overlaps body i's, leaving out pairs of
    // resting bodies unless prepare was asked for them, in ascending order.
    // Valid until the next call.
    Partners partnersAfter(int i);

    // A pair of bodies, first < second.
    struct Pair {
        int first = 0;
        int second = 0;
    };

    // Every pair partnersAfter gives, each once, in ascending order of the
    // first body and then of the second: the same pairs in the same order as
    // asking partnersAfter(i) for every i in turn. Found from the bodies that
    // move alone, so that a crowd mostly at rest costs little; prepared for
    // resting pairs too, it asks partnersAfter. Valid until the next prepare.
    const std::vector<Pair>& pairs();

private:
    bool restingPairs_ = false;
    int count_ = 0;
    std::vector<Bounds> reach_;
    std::vector<unsigned char> resting_;
    std::vector<int> partners_;
    std::vector<Pair> pairs_;
    BoundsGrid grid_;
};

}  // namespace prallwerk
