#pragma once

#include "prallwerk/math/vec3.h"

namespace prallwerk {

// How an impact was resolved.
enum class ImpactKind {
    ground,   // a body bounced off its floor (RigidBody::groundResponse)
    landing,  // a body landed on its floor instead (the rule against stalls, World::landingAfterEvents)
    pair,     // two bodies met (World::resolvePair)
};

// One body of an impact as the response found and left it.
struct ImpactBody {
    int index = -1;         // in the world's bodies; -1 for the ground
    Vec3 velocityBefore;    // m/s: the velocity free flight gives the body at the impact's instant,
                            // which the response starts from (the ground: zero)
    Vec3 velocityAfter;     // m/s: the velocity the response left it (the ground: zero)

    double speedBefore() const { return velocityBefore.length(); }
    double speedAfter() const { return velocityAfter.length(); }
};

// What a world's impact listener (World::impactListener) is told of each
// impact the step resolves, once every body has been moved to its instant.
struct ImpactRecord {
    ImpactKind kind = ImpactKind::ground;
    ImpactBody a;             // the body meeting its floor, or the first (lower-index) body of a pair
    ImpactBody b;             // the ground (index -1), or the second body of a pair
    float span = 0.0f;        // s after the previous event of the step (or its start): the impact
                              // time the search found, as the bodies were moved by it
    double stepTime = 0.0;    // s since the call of World::step (or beginStep) that resolved it
                              // began, over every part of a long step, summed in double precision
    double time = 0.0;        // the world's elapsedTime at the impact: s since the world was made
    Vec3 normalA;             // contact vector for a: the ground's (0, 0, 1), or the pair's normalA
                              // as resolvePair used it
    Vec3 normalB;             // contact vector for b: zero for the ground, or the pair's normalB
};

}  // namespace prallwerk
