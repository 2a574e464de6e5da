#pragma once

#include "prallwerk/collision/shape_overlap.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// Two bodies found overlapping at the end of a step are pushed apart this far
// beyond touching (m).
constexpr double pairSeparationMargin = 0.001;

// The overlap of a and b from their shapes as they stand: two balls along
// the line of their centres; a ball and a box from the box's point nearest
// the ball's centre; two boxes along the separating axis on which they
// overlap least. Inert kinds overlap nothing.
Overlap overlapOf(const RigidBody& a, const RigidBody& b);

// Pushes two overlapping bodies apart along the overlap's normal until they
// are pairSeparationMargin apart, and takes from each the part of its
// velocity that points into the other. The sampled pair search passes over
// bodies that already touch when a step begins, so without this a slow body
// would sink into another a little every step. A body that moves is pushed
// and a body at rest is not, so a heap rests on what is under it; when both
// move, or neither, they share the push in inverse proportion to their
// masses. Returns whether either body changed.
bool separatePair(RigidBody& a, RigidBody& b, const Overlap& overlap);

}  // namespace prallwerk
