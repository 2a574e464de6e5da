#pragma once

#include <cstdint>
#include <vector>

#include "prallwerk/core/box_shape.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/collision/shape_overlap.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// A pair is not searched when all four of its speeds (both velocities and both
// spins) are at or below this (m/s and rad/s).
constexpr double pairRestSpeed = 0.0001;

// What the search of one pair found.
struct PairImpact {
    float time = -1.0f;    // last time looked at before contact, in [0, limit); -1 for none
    bool sampled = false;  // a time looked at touched: the contact vectors are this pair's
    Vec3 normalA;          // contact vector for a: from b's side toward a's; zero if no sample touched
    Vec3 normalB;          // for b: the same vector when a is a box; when a is a sphere, its
                           // predicted velocity at the last sample searched, made unit length
};

// The frame of a box with box's edge lengths, rebuilt and turned to angles
// (BoxShape::reorient about its centre): a function of those six numbers
// alone.
PosedFrame posedFrameOf(const BoxShape& box, const Vec3& angles);

// posedFrameOf, remembered for the pair searches of one world. A pass of the
// search probes many pairs at one limit, and a box near several others is
// turned to the same angles for each of them; the memo hands back what was
// computed for the exact bits of the edges and angles, so no result depends
// on whether it holds them. Sized for a number of bodies; asking allocates
// nothing.
class PosedFrames {
public:
    explicit PosedFrames(int bodyCount);

    // posedFrameOf(box, angles), computed or remembered.
    const PosedFrame& frameOf(const BoxShape& box, const Vec3& angles);

private:
    struct Entry {
        float edges[3] = {0.0f, 0.0f, 0.0f};  // width, length, height
        uint64_t angles[3] = {0, 0, 0};       // the bits of the angles
        bool valid = false;
        PosedFrame frame;
    };
    std::vector<Entry> entries_;
    unsigned mask_ = 0;
};

// Whether the body's velocity and spin are both at or below pairRestSpeed.
bool atPairRest(const RigidBody& body);

// Time of the first contact of a and b within limit (a being the body with
// the lower index), found by sampling: the pair is tested at the samples
// k = 1..99 of the limit and at the limit itself, and where a point of one
// body can move against the other by more than half their thickness
// together (a sphere's diameter, a box's shortest edge) between two samples,
// at as many times between them as keep it to that (up to 1024), so that
// nothing passes through anything between two times looked at. The result
// is the time looked at before the first one in contact (0 when the first
// already touches). A sphere in a's place is tested by its shape: two balls
// touch when their centres are no farther apart than their radii reach, a
// ball and a box when the box's nearest point lies within the ball, two
// boxes when no separating axis parts them. A pair at rest, or apart at
// every time looked at, gives -1. Times at which the centres are provably
// too far apart to touch, by their gap and how fast they can close, are
// passed over: their tests would find them apart.
PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b);

// The same search, its boxes' frames taken from frames: the same result.
PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b, PosedFrames& frames);

// The same search testing every time it looks at, none passed over for a
// gap: the same result, slower. For tests of the passing over.
PairImpact pairImpactLookingEverywhere(float limit, const RigidBody& a, const RigidBody& b);

// For a point (x, y, z) relative to the centre of a posed box (corners reset
// and rotated): the unit box axis along which the point lies farthest out,
// pointing from the point's side back toward the centre; the zero vector when
// the point is outside the box. Points on the boundary count as inside.
Vec3 boxContactNormal(const BoxShape& box, double x, double y, double z);

}  // namespace prallwerk
