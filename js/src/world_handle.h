#pragma once

#include <memory>
#include <vector>

#include "prallwerk/scenes/body_def.h"
#include "prallwerk/world/world.h"

namespace prallwerk::js {

// A world as the module holds it: the engine's world, and what the module's
// views and listeners read, kept in the module's memory in packed arrays
// because the engine keeps each body as a record of its own.
struct WorldHandle {
    std::unique_ptr<GravityWorld> world;
    // Three numbers a body (orientations: four, w x y z), in index order,
    // written after every call that changes the bodies.
    std::vector<double> positions, orientations, velocities, spins, angles;
    // The impacts of the last step or advance, impactNumbers each, while
    // anyone listens.
    std::vector<double> impacts;

    // Writes the packed arrays from the bodies, from body `from` on (a body
    // appended needs only its own).
    void mirror(size_t from = 0);
    // Has the world record its impacts in `impacts`, or stop.
    void listen(bool on);
};

// A handle of the world built, its arrays written; or null, with the
// refusal's message set (setError).
WorldHandle* adoptWorld(BuiltWorld built);

// Numbers per impact in WorldHandle::impacts: kind (0 ground, 1 landing,
// 2 pair), a, b, time, span, stepTime, then normalA, normalB and the
// velocities of a before and after and of b before and after, three each.
constexpr int impactNumbers = 24;

}  // namespace prallwerk::js
