#pragma once

#include <optional>

#include "prallwerk/core/value_error.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

// The checked operations of a world: each refuses what it cannot do
// soundly with a ValueError and then changes nothing. They check in every
// build, not only with the engine's checks on.

// The longest span advanceWorld takes (s, a little over three years): its
// steps are then still counted in an int (World::longestSplitSpan).
constexpr double longestAdvance = 1.0e8;

// Whether a world set up through its public fields can be stepped soundly,
// or the first thing wrong with it: bodyCount equal to the number of bodies
// (field "bodyCount"); a GravityWorld's gravity finite ("gravity.x" ...);
// then for each body in order (body = its index): present ("body"); kind
// 1 (sphere), 2 (box) or 0 (inert: it never moves); mass, radius,
// restitution, floorHeight, position, velocity, spin, angles, force and
// the box's three edges finite ("mass", "position.z", "box.width" ...);
// mass above 0; a sphere's radius above 0; a box's three edges above 0;
// restitution within [0, 1].
std::optional<ValueError> checkWorld(const World& world);

// Removes the body at index (World::eraseBody), or refuses an index outside
// the bodies (field "index", body -1).
std::optional<ValueError> removeBody(World& world, int index);

// Advances the world by seconds as the program advances it by a frame of
// that length: 1 + floor(10 * seconds) calls of world.step(seconds / n),
// the span taken in single precision and split by splitFrame
// (<prallwerk/world/frame_step.h>), through advanceFrame. Refuses, with
// field "span" and body -1, a span that is not finite, not above 0 in single
// precision or longer than longestAdvance; then a world that fails
// checkWorld. A program may call it with whatever time its frame took.
std::optional<ValueError> advanceWorld(World& world, double seconds);

}  // namespace prallwerk
