// Drops 100 bodies (spheres and cubes on a grid, 4 to 6 m up) and prints,
// for each of the first ten seconds, what the world's steps did in it, from
// the statistics each step leaves in World::lastStep:
//   second steps groundImpacts landings pairImpacts pairSearches pairsSkipped capReached
#include <prallwerk/scenes/drop_world.h>
#include <prallwerk/world/frame_runner.h>

#include <cstdio>

int main() {
    prallwerk::DropWorld world(100);

    // Frames of 20 ms, 50 a second, each split into steps as the program does.
    const prallwerk::FrameSteps frame = prallwerk::frameSteps(20, 1.0f);
    std::printf("second steps groundImpacts landings pairImpacts pairSearches pairsSkipped capReached\n");
    for (int second = 1; second <= 10; ++second) {
        prallwerk::StepStatistics sum;
        int steps = 0, capped = 0;
        for (int i = 0; i < 50; ++i) {
            for (int k = 0; k < frame.count; ++k) {
                world.step(frame.sub);
                const prallwerk::StepStatistics& last = world.lastStep;
                sum.groundImpacts += last.groundImpacts;
                sum.landings += last.landings;
                sum.pairImpacts += last.pairImpacts;
                sum.pairSearches += last.pairSearches;
                sum.pairsSkipped += last.pairsSkipped;
                capped += last.eventCapReached;
                ++steps;
            }
        }
        std::printf("%d %d %d %d %d %d %d %d\n", second, steps, sum.groundImpacts, sum.landings, sum.pairImpacts,
                    sum.pairSearches, sum.pairsSkipped, capped);
    }
    return 0;
}
