#pragma once

#include "prallwerk/core/box_shape.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// A pair is not searched when all four of its speeds (both velocities and both
// spins) are at or below this (m/s and rad/s).
constexpr double pairRestSpeed = 0.0001;

// What the search of one pair found.
struct PairImpact {
    float time = -1.0f;    // last sample before contact, in [0, 0.99 * limit]; -1 for none
    bool sampled = false;  // the samples were searched, so the contact vectors are this pair's
    Vec3 normalA;          // contact vector for a: from b's side toward a's; zero if no sample touched
    Vec3 normalB;          // for b: the same vector when a is a box; when a is a sphere, its
                           // predicted velocity at the last sample searched, made unit length
};

// Whether the body's velocity and spin are both at or below pairRestSpeed.
bool atPairRest(const RigidBody& body);

// Time of the first contact of a and b within limit (a being the body with
// the lower index), found by sampling. The pair is tested once at the limit
// itself; only if it touches there are the samples searched, and the result
// is the sample before the first one in contact. A sphere in a's place is
// represented by the point of its surface nearest b's centre, anything else
// by its box corners; the only volume test is a point in a box, so two
// spheres never touch. A pair at rest, or apart at the limit, gives -1 and is
// not sampled.
PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b);

// For a point (x, y, z) relative to the centre of a posed box (corners reset
// and rotated): the unit box axis along which the point lies farthest out,
// pointing from the point's side back toward the centre; the zero vector when
// the point is outside the box. Points on the boundary count as inside.
Vec3 boxContactNormal(const BoxShape& box, double x, double y, double z);

}  // namespace prallwerk
