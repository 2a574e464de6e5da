#pragma once

#include "prallwerk/collision/bounds_grid.h"
#include "prallwerk/collision/contact_manifold.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// The physical rules' impact searches. Like the classic ones they sample
// the flight at hundredths of the time limit (and finer where a sample's
// travel is more than half of how thin the bodies are, so that nothing
// passes through anything) and return the last time looked at before the
// bodies touch. They report only impacts: the bodies meet approaching
// faster than bounceSpeed (collision/contact_solver.h); bodies that meet
// more slowly are the next step's contacts' (-1, as for no meeting at all).
// Bodies that touch at the start (or come to touch slowly) rest on what
// touches; the search goes on for their going into each other by more than
// the slop beyond that touch, fast: a box's far end turning down onto the
// ground, or the touching feature itself pressed in by a blow (at once: 0).

// The pose after t of free flight under the physical rules
// (predictPhysicalPose), as the contact tests see it.
ShapePose poseAfter(const RigidBody& body, float t);

// The z of the pose's lowest point (m).
double lowestPointOf(const ShapePose& pose);

// The first impact of body with the ground plane z = 0 within limit (s).
float physicalGroundImpact(const RigidBody& body, float limit);

// The first impact of a with b within limit (s).
float physicalPairImpact(const RigidBody& a, const RigidBody& b, float limit);

// The same from a time lead (s) after the state a body holds: a body's
// state stays as its last impact left it while others meet (the world's
// island step by impacts keeps a clock per body), and each is posed at its
// own lead plus the look's time.
float physicalGroundImpact(const RigidBody& body, double lead, float limit);
float physicalPairImpact(const RigidBody& a, double leadA, const RigidBody& b, double leadB, float limit);

// A box in world axes that holds every point of the body within limit (s)
// of free flight under the physical rules: its centre's straight path,
// grown by how far its points can be from the centre and padded beyond the
// prediction's rounding. Bodies whose boxes are apart cannot meet within
// the limit.
Bounds physicalReachOver(const RigidBody& body, float limit);

// The searches answer with the last time they looked at before the touch:
// 0 when the bodies touch within the first look, which the island's loop
// takes for no impact (the classic searches' 0), so that a body would fly
// on into what it meets for the rest of the part. An impact there, as
// after another impact that sent a body back at what it had just left,
// stands at firstLookImpact instead: the least time that shrinks any part
// of a step's time left (the spacing of single precision at the longest
// step, 7.5e-9 s), so that the island goes on searching after it. Other
// answers stay as they are; -1 where even that is not within the limit.
constexpr float firstLookImpact = 0x1p-27f;
float impactTimeOf(float searched, float limit);

// How thin a body is: no straight path through it is shorter (m).
double thinnestPathOf(const RigidBody& body);

// How far any point of the body can be from its centre (m).
double reachOf(const RigidBody& body);

// The fastest approach among a manifold's points (m/s; negative: parting;
// b null: the ground), as the bodies move now.
double approachOf(const RigidBody& a, const RigidBody* b, const ContactManifold& m);

}  // namespace prallwerk
