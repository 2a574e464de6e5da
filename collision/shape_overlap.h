#pragma once

#include "prallwerk/core/box_shape.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// How two shapes overlap, for the pair search (do they touch?) and for the
// separation of bodies that overlap (how far, which way?).

// A box as the pair tests see it turned: its x, y and z edges as unit
// vectors in world axes, and half its length, width and height (m).
struct PosedFrame {
    Vec3 axis[3];
    double half[3] = {0.0, 0.0, 0.0};
};

// The frame of a box whose corners are posed.
PosedFrame frameOf(const BoxShape& box);

// How far two shapes overlap, and along which direction.
struct Overlap {
    double depth = 0.0;  // m; at most 0 when they only touch or are apart
    Vec3 normal;         // unit, pointing from the second shape toward the first; zero when apart
};

// A ball (centre p, radius r) against a box centred at c: the normal points
// from the box's point nearest p toward p, and depth is r less their
// distance (negative when apart). A centre inside the box goes out through
// the face it is nearest to: depth is r plus the way to that face.
Overlap ballAgainstBox(const Vec3& p, double r, const Vec3& c, const PosedFrame& box);

// Two boxes (a's centre less b's centre is ab) by their separating axes: the
// three face axes of each and the nine cross products of an edge of each.
// The axes are numbered in the order they are tried: 0 to 5 the face axes
// (a's x, b's x, a's y, b's y, a's z, b's z), 6 + 3 i + j the cross product
// of a's edge i with b's edge j.
constexpr int boxAxisCount = 15;

struct AxesOverlap {
    Overlap least;           // along the axis chosen as the one of least overlap
    int leastAxis = -1;      // its number
    bool gap = false;        // some axis shows a gap: they are apart
    bool anyTouch = false;   // some axis shows no overlap at all (a gap, or touching only)
};

// Edge axes count edgeWeight times their overlap when the least one is
// chosen: a weight above 1 keeps the choice on a face unless an edge axis
// overlaps clearly less.
AxesOverlap boxAgainstBox(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, double edgeWeight);

// The overlap along axis number `axis` alone, bit for bit as boxAgainstBox
// finds it there: a search that knows which axis parted two boxes a moment
// ago can show them apart by that one axis instead of trying all fifteen.
// False where the axis says nothing (the cross product of nearly parallel
// edges, which boxAgainstBox passes over too) or is no axis's number.
bool overlapAlongAxis(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, int axis, Overlap& along);

}  // namespace prallwerk
