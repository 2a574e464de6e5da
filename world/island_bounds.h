#pragma once

#include "prallwerk/collision/bounds_grid.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// Where a body can be within a step: the grouping of a step's bodies into
// islands compares these, and the step checks each body against its own
// after every event of its island.

// Each body's bound reaches this far beyond the region it can occupy, on
// every side (m): two bodies whose regions come within twice this of each
// other share an island. It covers what a body stands on: a body resting on
// another, its lowest point within the 0.01 m that free flight counts as
// standing, is grouped with it; and the floor clamp's lift of 0.01 m stays
// within a body's bound.
constexpr double islandMargin = 0.01;

// The region a body can occupy over the next span seconds of free flight
// from its state now, for any span up to span: its centre's sweep under its
// velocity and force, the rise of a bounce off its floor, the turn of a
// box's corners under its spin (and the shift of its centre when it turns
// about a corner), a rolling sphere's roll, and the extent of its shape
// (a sphere's radius, a box's corners as they stand), padded beyond the
// rounding. Not finite when the state is not.
Bounds occupiedOver(const RigidBody& body, float span);

// occupiedOver grown by islandMargin on every side: the bound by which a
// step groups its bodies.
Bounds islandBoundOf(const RigidBody& body, float span);

// b grown by islandMargin on every side.
Bounds withIslandMargin(const Bounds& b);

}  // namespace prallwerk
