#pragma once

#include "prallwerk/world/world.h"

namespace prallwerk {

// A world of any number of bodies, each pulled down by its own weight under
// gravity gz along z (the program's gravity unless told otherwise).
class FallingWorld : public World {
public:
    explicit FallingWorld(int n, double gz = defaultGravity.z);

    double gravityZ;

    void applyForces() override;
};

// n bodies dropped on a square grid 3 m apart around the origin, 4 to 6 m up:
// spheres of radius 1 and cubes of edge 2 alternating, each with its own
// spin, so that they land, bounce, tip and come to rest on the ground and on
// each other. The bench measures the engine at scale on it and the tests
// crowd the engine with it.
class DropWorld : public FallingWorld {
public:
    explicit DropWorld(int n);
};

}  // namespace prallwerk
