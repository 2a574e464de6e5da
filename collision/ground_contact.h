#pragma once

#include "core/rigid_body.h"

// Time after now at which the body first reaches its floor within limit, found
// by sampling its predicted motion at hundredths of the limit: the last sample
// before contact, so in [0, 0.99 * limit], or -1 when it rests on the floor or
// does not reach it within the limit. For a box it first writes the z offset of
// its lowest corner into radius, whatever it returns.
float groundTimeOfImpact(RigidBody& body, float limit);
