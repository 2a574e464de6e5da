#pragma once

#include "prallwerk/collision/contact_manifold.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// The physical rules' impact searches. Like the classic ones they sample
// the flight at hundredths of the time limit (and finer where a sample's
// travel is more than half of how thin the bodies are, so that nothing
// passes through anything) and return the last time looked at before the
// bodies touch. They report only impacts: the bodies meet approaching
// faster than bounceSpeed (collision/contact_solver.h). Bodies touching at
// the start are the resting contacts' to hold, and bodies that meet more
// slowly the next step's contacts: both give -1, as does no meeting at all.

// The pose after t of free flight under the physical rules
// (predictPhysicalPose), as the contact tests see it.
ShapePose poseAfter(const RigidBody& body, float t);

// The z of the pose's lowest point (m).
double lowestPointOf(const ShapePose& pose);

// The first impact of body with the ground plane z = 0 within limit (s).
float physicalGroundImpact(const RigidBody& body, float limit);

// The first impact of a with b within limit (s).
float physicalPairImpact(const RigidBody& a, const RigidBody& b, float limit);

// How thin a body is: no straight path through it is shorter (m).
double thinnestPathOf(const RigidBody& body);

}  // namespace prallwerk
