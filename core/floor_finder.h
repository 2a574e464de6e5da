#pragma once

#include <vector>

#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// The floor rule: what a body offers the bodies above it as a floor, and
// which centres lie over it. computeFloorHeight and FloorFinder both use
// these three and nothing else of the rule.

// What a body offers the bodies above it as their floor: its top, and the
// horizontal region over which a body's centre stands on that top. A sphere
// offers the height of its top point over the disc of its radius; a box the
// height of its highest corner over its outline seen from above (the convex
// hull of its corners, up to six of them). A body on its way up offers
// nothing: whatever lay on it would be lifted by the floor clamp for
// nothing, without either body feeling an impact; instead it falls onto the
// rising body and the pair search finds them meeting.
struct FloorOffer {
    double x = 0.0;      // its centre, m
    double y = 0.0;
    double top = NAN;    // height of its top (m); NaN when it offers no floor, never below anything
    double bound = 0.0;  // no centre farther than this from (x, y) along x or along y lies over it (m)
    double reach = 0.0;  // no centre farther than this from (x, y) lies over it (m)
    int corners = 0;     // box: corners of its outline, counter-clockwise; 0 for a sphere (a disc)
    double cx[6] = {}, cy[6] = {};  // box: the outline's corners relative to (x, y), m
};

// A body rising faster than this offers no floor (m/s).
constexpr double risingFloorSpeed = 0.1;

// The body's offer, from its position, velocity and, for a box, its corners
// as they stand.
FloorOffer floorOfferOf(const RigidBody& body);

// Whether a centre at (x, y) lies over the body that made offer, the
// region's boundary excluded. Only ever true within offer.bound of (offer.x,
// offer.y) along both axes. (The offer holds all it needs; the body is the
// one that made it.)
bool centreOverFloor(const RigidBody& body, const FloorOffer& offer, double x, double y);

// Sets the floor height of body k: the highest top of another body that lies
// below k's centre and over which k's centre lies (centreOverFloor), in single
// precision, or 0 for the ground. k's own size plays no part.
//
// The result is single precision of the highest such top (0 if it is not
// above 0), whatever order the bodies are looked at in: rounding to single
// precision is monotone, so a top that loses to a floor already found rounds
// to that same floor. The floor searches below rely on it.
void computeFloorHeight(RigidBody* const* bodies, int count, int k);

// The same over a world's list of bodies.
void computeFloorHeight(const BodyList& bodies, int k);

// computeFloorHeight for every body of a list in turn while the bodies move
// one by one, as the world's advanceAll does: a copy of each body's offer,
// refreshed for a body when it has moved, and for more than a few bodies in a
// grid of square cells over the ground, so that a body looks only at the few
// bodies whose offers can reach its centre. The floor heights are the same
// bits as computeFloorHeight's. Buffers grow to the most bodies loaded;
// nothing is allocated after that.
class FloorFinder {
public:
    FloorFinder() = default;
    // Buffers for up to bodyCount bodies (more make them grow).
    explicit FloorFinder(int bodyCount);

    // Copies the offers of the count bodies, which must stay where they are
    // (the array and the bodies) until the next load.
    void load(RigidBody* const* bodies, int count);

    // Refreshes the copy of body i after it moved.
    void refresh(const RigidBody& body, int i);

    // computeFloorHeight(bodies, k) from the copy: sets body k's floorHeight.
    void setFloorHeight(RigidBody& body, int k) const;

private:
    // Where a body's offer is kept: in no list (it offers no floor), in the
    // list of one cell, or in the list of those every search looks at.
    static constexpr int noCell = -1;

    // The list body i's offer belongs in.
    int listOf(const FloorOffer& offer) const;
    // The list of the cell (cx, cy): cells share lists by a hash.
    int bucketOf(long long cx, long long cy) const;
    // Moves body i into list (unlinking it from its old one).
    void place(int i, int list);
    // Chooses the cell size for the offers and puts every body in its list.
    void rebuild();

    // Grows the buffers for count bodies.
    void reserve(int count);

    int count_ = 0;
    bool gridded_ = false;               // the offers are in the grid; else every search looks at all
    RigidBody* const* bodies_ = nullptr;  // the bodies loaded, for the exact test
    // The offers; a box's outline is filled in when first needed (outlined_
    // 0 until then: bound and reach are those of all its corners).
    mutable std::vector<FloorOffer> offers_;
    mutable std::vector<unsigned char> outlined_;
    std::vector<int> bucket_;    // per body: its list, noCell, or everywhere_
    std::vector<int> next_, previous_;  // per body: its neighbours in its list (-1 at the ends)
    std::vector<int> head_;      // per list: its first body, -1 when empty
    std::vector<double> scratch_;  // the bounds while the cell size is chosen
    int everywhere_ = 0;         // the list every search looks at: the one after the cells' lists
    double cell_ = 0.0;          // edge of a cell (m); 0: no grid, every offer is everywhere
    double inverseCell_ = 0.0;
    unsigned mask_ = 0;          // cells are hashed into head_[0 .. mask_], for the bodies loaded
};

}  // namespace prallwerk
