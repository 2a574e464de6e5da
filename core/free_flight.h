#pragma once

// Free flight is RigidBody::advanceFree (rigid_body.h), defined in
// free_flight.cpp; the floors it stands on are found by floor_finder.h.
#include "prallwerk/core/floor_finder.h"
#include "prallwerk/core/rigid_body.h"
