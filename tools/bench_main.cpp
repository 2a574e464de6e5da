// prallwerk-bench: how fast the engine simulates. Prints a table for people,
// then one line per figure, "name value unit", for scripts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_runner.h"
#include "core/world.h"
#include "scenes/scenes.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t frameMs = 16;
constexpr double simulatedSeconds = 60.0;
constexpr int runs = 7;

struct Figure {
    std::string name;
    double value;
    const char* unit;
    std::string what;
};

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Counts the resolved impacts: advanceAll skips the bodies of an impact and
// skips nobody at the end of a step.
class CountingWorld : public GravityWorld {
public:
    long impacts = 0;
    void advanceAll(RigidBody* skipA, RigidBody* skipB, float dt) override {
        if (skipA != nullptr) ++impacts;
        GravityWorld::advanceAll(skipA, skipB, dt);
    }
};

void runFrames(World& world, uint32_t ms, long frames) {
    const FrameSteps steps = frameSteps(ms, 1.0f);
    for (long f = 0; f < frames; ++f) {
        advanceFrame(world, steps);
    }
}

// Wall microseconds per simulated second and impacts per simulated second of
// one scene (-1: the default bodies) at 16 ms frames.
void benchScene(int scene, std::vector<Figure>& figures) {
    const long frames = static_cast<long>(simulatedSeconds * 1000.0 / frameMs);
    std::vector<double> times;
    long impacts = 0;
    for (int r = 0; r < runs; ++r) {
        CountingWorld world;
        if (scene >= 0) loadScene(world, scene);
        const auto start = Clock::now();
        runFrames(world, frameMs, frames);
        times.push_back(secondsSince(start));
        impacts = world.impacts;
    }
    const double simulated = frames * frameMs / 1000.0;
    const std::string key = scene < 0 ? "default" : "scene" + std::to_string(scene);
    const std::string label = scene < 0 ? "default bodies" : "scene " + std::to_string(scene);
    figures.push_back({"sim." + key + ".us_per_simsec", median(times) * 1e6 / simulated, "us",
                       label + ": wall time per simulated second (16 ms frames, median of " +
                           std::to_string(runs) + ")"});
    figures.push_back({"sim." + key + ".impacts_per_simsec", impacts / simulated, "impacts",
                       label + ": resolved impacts per simulated second"});
}

// One frame that spans an hour, as after a window was minimised that long.
void benchCatchUp(std::vector<Figure>& figures) {
    std::vector<double> times;
    for (int r = 0; r < 3; ++r) {
        GravityWorld world;
        loadScene(world, 2);
        const auto start = Clock::now();
        runFrames(world, 3600000u, 1);
        times.push_back(secondsSince(start));
    }
    figures.push_back({"sim.scene2.catchup_3600s_ms", median(times) * 1e3, "ms",
                       "scene 2: one catch-up frame of 3,600,000 ms (median of 3)"});
}

// A world of n bodies under gravity: spheres and cubes alternating, dropped
// from a grid with a little spin so that they land, bounce and tip.
class DropWorld : public World {
public:
    explicit DropWorld(int n) : World(n, defaultBodyMass) {
        int columns = 1;
        while (columns * columns < n) ++columns;
        for (int i = 0; i < n; ++i) {
            RigidBody& b = *bodies[i];
            const int row = i / columns, column = i % columns;
            b.position = {3.0 * column - 1.5 * columns, 3.0 * row - 1.5 * columns, 4.0 + (i % 3)};
            b.spin = {0.5 * (i % 5), -0.3 * (i % 7), 0.2};
            b.restitution = 1.0f;
            if (i % 2 == 0) {
                b.kind = kindSphere;
                b.radius = 1.0f;
            } else {
                b.kind = kindBox;
                b.box.width = b.box.length = b.box.height = 2.0f;
                b.box.resetCorners();
            }
        }
    }
    void applyForces() override {
        for (int i = 0; i < bodyCount; ++i) {
            RigidBody& b = *bodies[i];
            b.force.add(0.0, 0.0, static_cast<double>(b.mass) * defaultGravity.z);
        }
    }
};

// Mean wall time of one step(1/60) over the first second after the drop: the
// fall and the first landings. Later, once many bodies touch, the impact
// times keep shrinking and a step can take seconds; the first second shows
// how the cost of the searches grows with the number of bodies. The run is
// deterministic, so large worlds are measured once.
void benchBodies(int n, std::vector<Figure>& figures) {
    constexpr int steps = 60;
    const int repeats = n <= 50 ? runs : 1;
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        DropWorld world(n);
        const auto start = Clock::now();
        for (int s = 0; s < steps; ++s) world.step(1.0f / 60.0f);
        times.push_back(secondsSince(start) / steps);
    }
    figures.push_back({"step.bodies" + std::to_string(n) + ".us", median(times) * 1e6, "us",
                       std::to_string(n) + " bodies dropped in a grid: one step(1/60), mean over 1 s"});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts(
            "Usage: prallwerk-bench [PREFIX]\n"
            "\n"
            "Measures the engine: wall time per simulated second of the default bodies and\n"
            "of each scene at 16 ms frames over 60 simulated seconds, the impacts per\n"
            "simulated second, one catch-up frame of an hour on scene 2, and the cost of\n"
            "one step(1/60) with 7, 50 and 200 bodies. Prints a table, then one line per\n"
            "figure: name value unit. With PREFIX, only the figures whose names start\n"
            "with it are measured (for example: prallwerk-bench sim.scene2).");
        return 0;
    }
    if (argc > 2) {
        std::fprintf(stderr, "prallwerk-bench: takes at most one argument (see --help)\n");
        return 2;
    }
    // An optional prefix runs only the figures whose names start with it.
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&](const std::string& name) { return name.compare(0, only.size(), only) == 0; };
    buildSceneTable();
    std::vector<Figure> figures;
    for (int scene = -1; scene < sceneCount; ++scene) {
        const std::string key = scene < 0 ? "default" : "scene" + std::to_string(scene);
        if (wanted("sim." + key + ".")) benchScene(scene, figures);
    }
    if (wanted("sim.scene2.catchup_3600s_ms")) benchCatchUp(figures);
    for (int n : {7, 50, 200}) {
        if (wanted("step.bodies" + std::to_string(n) + ".us")) benchBodies(n, figures);
    }

    for (const Figure& f : figures) std::printf("%-72s %12.2f %s\n", f.what.c_str(), f.value, f.unit);
    std::printf("\n");
    for (const Figure& f : figures) std::printf("%s %.3f %s\n", f.name.c_str(), f.value, f.unit);
    return 0;
}
