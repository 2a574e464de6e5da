#pragma once

#include "prallwerk/world/frame_step.h"

namespace prallwerk {

class World;

// Runs one frame: steps.count calls of world.step(steps.sub), in order. The
// program, the trace tool and the bench all advance their worlds through
// this, so that a trace shows exactly what the program shows.
void advanceFrame(World& world, FrameSteps steps);

}  // namespace prallwerk
