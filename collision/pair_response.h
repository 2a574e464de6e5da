#pragma once

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// Moves a and b over t to their impact and applies the collision response:
// the two speeds are exchanged as in a one-dimensional elastic impact of the
// two masses and damped, each body keeps its own direction of motion mirrored
// about its contact vector (normalA for a, normalB for b; a zero vector
// mirrors nothing), and each spin gets a kick from its new velocity and is
// damped. A body at rest stays at rest. Restitution plays no part.
void resolvePairImpact(RigidBody& a, RigidBody& b, float t, const Vec3& normalA, const Vec3& normalB);

}  // namespace prallwerk
