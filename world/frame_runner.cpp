#include "prallwerk/world/frame_runner.h"

#include "prallwerk/world/world.h"

namespace prallwerk {

void advanceFrame(World& world, FrameSteps steps) {
    for (int i = 0; i < steps.count; ++i) world.step(steps.sub);
}

}  // namespace prallwerk
