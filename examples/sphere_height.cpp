// Steps scene 3 (index 2) as the program runs it, in frames of 20 ms, and
// prints the sphere's height every 0.1 s of simulated time for ten seconds:
// "time height", the height being the z of its centre in metres.
#include <prallwerk/scenes/scenes.h>
#include <prallwerk/world/frame_runner.h>
#include <prallwerk/world/world.h>

#include <cstdio>

int main() {
    prallwerk::GravityWorld world;  // seven bodies under the program's gravity
    prallwerk::buildSceneTable();
    prallwerk::loadScene(world, 2);

    // A frame of 20 ms at time scale 1: the steps the program takes for it.
    const prallwerk::FrameSteps frame = prallwerk::frameSteps(20, 1.0f);
    for (int i = 1; i <= 500; ++i) {
        prallwerk::advanceFrame(world, frame);
        if (i % 5 == 0) std::printf("%.1f %.17g\n", i * 0.02, world.bodies[0]->position.z);
    }
    return 0;
}
