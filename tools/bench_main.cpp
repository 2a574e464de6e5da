// prallwerk-bench: how fast the engine simulates. Prints a table for people,
// then one line per figure, "name value unit", for scripts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "tools/number_text.h"

using namespace prallwerk;

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

// What the steps of a run did, added up from each step's statistics.
struct RunTotals {
    long steps = 0;
    long impacts = 0;
    long stepsAtRest = 0;
};

// Frames of ms as the program runs them (advanceFrame), step by step so that
// each step's statistics are read.
RunTotals runFrames(World& world, uint32_t ms, long frames) {
    const FrameSteps steps = frameSteps(ms, 1.0f);
    RunTotals totals;
    for (long f = 0; f < frames; ++f) {
        for (int s = 0; s < steps.count; ++s) {
            world.step(steps.sub);
            ++totals.steps;
            totals.impacts += world.lastStep.impacts();
            totals.stepsAtRest += world.lastStep.atRest ? 1 : 0;
        }
    }
    return totals;
}

// Wall microseconds per simulated second, impacts per simulated second and
// the share of steps at rest of one scene (-1: the default bodies) at 16 ms
// frames.
void benchScene(int scene, std::vector<Figure>& figures) {
    const long frames = static_cast<long>(simulatedSeconds * 1000.0 / frameMs);
    std::vector<double> times;
    RunTotals totals;
    for (int r = 0; r < runs; ++r) {
        GravityWorld world;
        if (scene >= 0) loadScene(world, scene);
        const auto start = Clock::now();
        totals = runFrames(world, frameMs, frames);
        times.push_back(secondsSince(start));
    }
    const double simulated = frames * frameMs / 1000.0;
    const std::string key = scene < 0 ? "default" : "scene" + std::to_string(scene);
    const std::string label = scene < 0 ? "default bodies" : "scene " + std::to_string(scene);
    figures.push_back({"sim." + key + ".us_per_simsec", median(times) * 1e6 / simulated, "us",
                       label + ": wall time per simulated second (16 ms frames, median of " +
                           std::to_string(runs) + ")"});
    figures.push_back({"sim." + key + ".impacts_per_simsec", totals.impacts / simulated, "impacts",
                       label + ": resolved impacts per simulated second"});
    figures.push_back({"sim." + key + ".steps_at_rest", 100.0 * totals.stepsAtRest / totals.steps, "%",
                       label + ": steps replayed because the world was at rest"});
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

// How far the lowest point of the body lies above its floor (negative: sunk
// into it). A box's lowest point is its lowest corner as it stands now.
double heightAboveFloor(const RigidBody& b) {
    const double bottom = b.kind == kindBox ? b.position.z + lowestCornerOffset(b.box)
                                            : b.position.z - static_cast<double>(b.radius);
    return bottom - static_cast<double>(b.floorHeight);
}

// What a long run of the drop world shows.
struct DropRun {
    double meanStepUs = 0.0;
    double maxStepUs = 0.0;
    long maxImpacts = 0;  // most impacts handled in one step
    double lowestZ = 0.0;  // lowest body bottom relative to its floor after any step
};

// n bodies dropped and left to come to rest: steps of 1/60 s over the given
// simulated seconds, each step timed on its own.
DropRun runDrop(int n, double seconds) {
    const long steps = static_cast<long>(seconds * 60.0 + 0.5);
    DropWorld world(n);
    DropRun run;
    double total = 0.0;
    for (int i = 0; i < n; ++i) run.lowestZ = std::min(run.lowestZ, heightAboveFloor(*world.bodies[i]));
    for (long s = 0; s < steps; ++s) {
        const auto start = Clock::now();
        world.step(1.0f / 60.0f);
        const double us = secondsSince(start) * 1e6;
        total += us;
        run.maxStepUs = std::max(run.maxStepUs, us);
        run.maxImpacts = std::max(run.maxImpacts, static_cast<long>(world.lastStep.impacts()));
        for (int i = 0; i < n; ++i) run.lowestZ = std::min(run.lowestZ, heightAboveFloor(*world.bodies[i]));
    }
    run.meanStepUs = steps > 0 ? total / steps : 0.0;
    return run;
}

constexpr int dropBodyCounts[] = {20, 50, 200};

// The drop world with 20, 50 and 200 bodies over a minute: the cost of a step
// once bodies lie on the ground and on each other, and whether any step
// stalls or any body sinks.
void benchDrop(int n, std::vector<Figure>& figures) {
    const DropRun run = runDrop(n, simulatedSeconds);
    const std::string key = "drop.bodies" + std::to_string(n) + ".";
    const std::string label = std::to_string(n) + " bodies dropped, 60 s of step(1/60): ";
    figures.push_back({key + "mean_step_us", run.meanStepUs, "us", label + "mean step"});
    figures.push_back({key + "max_step_us", run.maxStepUs, "us", label + "slowest step"});
    figures.push_back({key + "max_events_per_step", static_cast<double>(run.maxImpacts), "events",
                       label + "most impacts in one step"});
    figures.push_back({key + "lowest_z", run.lowestZ, "m", label + "lowest bottom above its floor"});
}

// Steps stay bounded and nothing falls through its floor, for the test
// command: no timing. A body that reaches its floor within the first
// hundredth of the time left is never taken as an impact and may end that
// step inside its floor by up to one step's fall (the prepared scenes do so
// by up to 0.09 m); deeper than a fall of 1/60 s at the drop's landing
// speeds (under 10 m/s) means it went through.
constexpr long quickMaxImpacts = 100;
constexpr double quickLowestZ = -0.2;

int runQuick() {
    bool ok = true;
    for (int n : dropBodyCounts) {
        const double seconds = n <= 50 ? simulatedSeconds : 10.0;
        const DropRun run = runDrop(n, seconds);
        const bool good = run.maxImpacts <= quickMaxImpacts && run.lowestZ >= quickLowestZ;
        std::printf("drop.bodies%d over %s s: max_events_per_step %ld, lowest_z %s m: %s\n", n,
                    fixedText(seconds, 0).c_str(), run.maxImpacts, fixedText(run.lowestZ, 6).c_str(),
                    good ? "ok" : "FAILED");
        ok = ok && good;
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts(
            "Usage: prallwerk-bench [PREFIX]\n"
            "\n"
            "Measures the engine: wall time per simulated second of the default bodies and\n"
            "of each scene at 16 ms frames over 60 simulated seconds, the impacts per\n"
            "simulated second and the share of steps replayed at rest, one catch-up frame\n"
            "of an hour on scene 2, and the cost of one step(1/60) with 7, 50 and 200\n"
            "bodies over the first second, and 60\n"
            "simulated seconds of the drop world with 20, 50 and 200 bodies (mean and\n"
            "slowest step, most impacts in a step, lowest body bottom above its floor).\n"
            "Prints a table, then one line per figure: name value unit. With PREFIX, only\n"
            "the figures whose names start with it are measured (for example:\n"
            "prallwerk-bench sim.scene2).\n"
            "\n"
            "prallwerk-bench --quick runs the drop world only to check that no step stalls\n"
            "(at most 100 impacts in a step) and no body falls through its floor (none ends\n"
            "a step more than 0.2 m inside it); it exits with status 1 if one does. It\n"
            "measures no time.");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0) return runQuick();
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
    for (int n : dropBodyCounts) {
        if (wanted("drop.bodies" + std::to_string(n) + ".")) benchDrop(n, figures);
    }

    // The figures through the engine's number formatter: the same text for the
    // same value on every platform.
    for (const Figure& f : figures) {
        std::printf("%-72s %12s %s\n", f.what.c_str(), fixedText(f.value, 2).c_str(), f.unit);
    }
    std::printf("\n");
    for (const Figure& f : figures) std::printf("%s %s %s\n", f.name.c_str(), fixedText(f.value, 3).c_str(), f.unit);
    return 0;
}
