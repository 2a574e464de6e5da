#include "core/frame_runner.h"

#include "core/world.h"

void advanceFrame(World& world, FrameSteps steps) {
    for (int i = 0; i < steps.count; ++i) world.step(steps.sub);
}
