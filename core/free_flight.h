#pragma once

#include "core/world.h"

// Sets the floor height of body k: the highest top of another body that lies
// below k's centre and within whose extent k's centre lies horizontally
// (spheres reach up by their radius, boxes by halfLength), or 0 for the
// ground. k's own size plays no part.
void computeFloorHeight(const BodyList& bodies, int k);
