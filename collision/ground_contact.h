#pragma once

#include "prallwerk/core/box_shape.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// A sphere touching its floor and slower than this rests on it: the ground
// search passes it by (m/s).
constexpr double groundSphereRestSpeed = 0.1;
// A box slower than this is not searched for a ground impact at all (m/s).
constexpr double groundBoxRestSpeed = 0.01;

// What the ground search of one body found.
struct GroundImpact {
    float time = -1.0f;         // last sample before contact, in [0, 0.99 * limit]; -1 for none
    float lowestCorner = 0.0f;  // box: lowestCornerOffset of its box now, in single precision,
                                // which the box keeps in its radius field for free flight
};

// Time after now at which the body first reaches its floor within limit,
// found by sampling its predicted motion at hundredths of the limit: the last
// sample before contact, so in [0, 0.99 * limit], or -1 when it rests on the
// floor or does not reach it within limit. A sphere's centre touches at
// floorHeight + radius; a box touches with its lowest corner, measured from
// its corners as they stand now and at each sample. Inert kinds: -1.
GroundImpact groundTimeOfImpact(const RigidBody& body, float limit);

// Whether the body, moved over t, meets its floor slower than the speed below
// which the ground search lets a touching body of its kind rest.
bool arrivesAtRest(const RigidBody& body, float t);

}  // namespace prallwerk
