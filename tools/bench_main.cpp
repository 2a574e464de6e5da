// prallwerk-bench: how fast the engine simulates. Prints a table for people,
// then one line per figure, "name value unit", for scripts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/math/number_text.h"

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
    long maxImpacts = 0;  // most impacts one island handled in one step
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
        run.maxImpacts = std::max(run.maxImpacts, static_cast<long>(world.lastStep.busiestIslandEvents));
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
                       label + "most impacts one island handled in a step"});
    figures.push_back({key + "lowest_z", run.lowestZ, "m", label + "lowest bottom above its floor"});
}

// One step of a drop world at scale: how long it took and what it did.
struct TimedStep {
    double ms = 0.0;
    long index = 0;  // 0 for the first step
    int events = 0;
    int passes = 0;
    int pairSearches = 0;
    int islands = 0;
    int largestIsland = 0;
    int largestIslandEvents = 0;
    int busiestIslandEvents = 0;
    int merges = 0;
};

// The simulated seconds at which the scale figures split the run: the fall and
// first landings, the landings and bounces, and the rest.
constexpr double scaleFallEnds = 2.0;
constexpr double scaleLandingEnds = 10.0;
constexpr double scaleSeconds = 30.0;
constexpr double realTimeStepMs = 1000.0 / 60.0;
constexpr int scaleSlowestShown = 3;
constexpr int scaleBodyCounts[] = {200, 1000, 2000, 10000};

double meanMs(const std::vector<TimedStep>& steps, long from, long to) {
    double total = 0.0;
    long n = 0;
    for (long i = from; i < to && i < static_cast<long>(steps.size()); ++i, ++n) total += steps[i].ms;
    return n > 0 ? total / n : 0.0;
}

// The drop world of n bodies stepped with step(1/60) over the given simulated
// seconds, each step timed alone: mean, median and slowest step, the mean of
// each phase, the steps slower than real time, and the slowest steps with what
// they did (impacts, passes of the search, pair searches).
void benchScale(int n, double seconds, int threads, std::vector<Figure>& figures) {
    const long count = static_cast<long>(seconds * 60.0 + 0.5);
    DropWorld world(n);
    world.setThreadCount(threads);
    std::vector<TimedStep> steps;
    steps.reserve(static_cast<size_t>(count));
    for (long s = 0; s < count; ++s) {
        const auto start = Clock::now();
        world.step(1.0f / 60.0f);
        TimedStep t;
        t.ms = secondsSince(start) * 1e3;
        t.index = s;
        t.events = world.lastStep.impacts();
        t.passes = world.lastStep.passes;
        t.pairSearches = world.lastStep.pairSearches;
        t.islands = world.lastStep.islands;
        t.largestIsland = world.lastStep.largestIsland;
        t.largestIslandEvents = world.lastStep.largestIslandEvents;
        t.busiestIslandEvents = world.lastStep.busiestIslandEvents;
        t.merges = world.lastStep.islandMerges;
        steps.push_back(t);
    }
    const std::string key = "scale.bodies" + std::to_string(n) + (threads > 1 ? ".threads" + std::to_string(threads) : "") + ".";
    const std::string label = std::to_string(n) + " bodies dropped, " + fixedText(seconds, 0) + " s of step(1/60)" +
                              (threads > 1 ? " on " + std::to_string(threads) + " threads" : "") + ": ";
    std::vector<double> ms;
    long slow = 0, events = 0, islands = 0, merges = 0;
    int largest = 0, largestEvents = 0, busiest = 0;
    for (const TimedStep& t : steps) {
        ms.push_back(t.ms);
        slow += t.ms > realTimeStepMs ? 1 : 0;
        events += t.events;
        islands += t.islands;
        merges += t.merges;
        if (t.largestIsland > largest) {
            largest = t.largestIsland;
            largestEvents = t.largestIslandEvents;
        }
        busiest = std::max(busiest, t.busiestIslandEvents);
    }
    auto push = [&](const std::string& name, double value, const char* unit, const std::string& what) {
        figures.push_back({key + name, value, unit, label + what});
    };
    push("mean_step_ms", meanMs(steps, 0, count), "ms", "mean step");
    push("median_step_ms", ms.empty() ? 0.0 : median(ms), "ms", "median step");
    push("max_step_ms", ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), "ms", "slowest step");
    push("steps_over_16.7ms", static_cast<double>(slow), "steps", "steps slower than real time");
    push("impacts_per_step", count > 0 ? static_cast<double>(events) / count : 0.0, "events", "impacts per step");
    push("islands_per_step", count > 0 ? static_cast<double>(islands) / count : 0.0, "islands", "islands per step");
    push("largest_island", largest, "bodies", "largest island");
    push("largest_island_events", largestEvents, "events", "impacts of the largest island in its step");
    push("busiest_island_events", busiest, "events", "most impacts one island handled in a step");
    push("island_merges", static_cast<double>(merges), "merges", "islands run again joined with another");
    const long fallEnds = static_cast<long>(scaleFallEnds * 60.0), landingEnds = static_cast<long>(scaleLandingEnds * 60.0);
    push("fall_mean_step_ms", meanMs(steps, 0, fallEnds), "ms", "mean step, 0 to 2 s");
    push("landing_mean_step_ms", meanMs(steps, fallEnds, landingEnds), "ms", "mean step, 2 to 10 s");
    push("rest_mean_step_ms", meanMs(steps, landingEnds, count), "ms", "mean step after 10 s");
    std::vector<TimedStep> slowest = steps;
    std::sort(slowest.begin(), slowest.end(), [](const TimedStep& a, const TimedStep& b) { return a.ms > b.ms; });
    for (int k = 0; k < scaleSlowestShown && k < static_cast<int>(slowest.size()); ++k) {
        const TimedStep& t = slowest[static_cast<size_t>(k)];
        const std::string which = "slowest" + std::to_string(k + 1) + ".";
        const std::string says = "slowest step no. " + std::to_string(k + 1) + ": ";
        push(which + "ms", t.ms, "ms", says + "wall time");
        push(which + "at_s", t.index / 60.0, "s", says + "simulated time at its start");
        push(which + "events", t.events, "events", says + "impacts");
        push(which + "passes", t.passes, "passes", says + "passes of the search");
        push(which + "pair_searches", t.pairSearches, "pairs", says + "pair searches");
        push(which + "islands", t.islands, "islands", says + "islands");
        push(which + "largest_island", t.largestIsland, "bodies", says + "bodies of its largest island");
    }
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
            "Usage: prallwerk-bench [PREFIX] [--seconds S] [--threads N]\n"
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
            "The scale figures (scale.bodiesN.*) step the drop world of 200, 1000, 2000 and\n"
            "10000 bodies with step(1/60) over 30 simulated seconds, each step timed alone:\n"
            "mean, median and slowest step, the mean of the fall (0 to 2 s), the landings\n"
            "(2 to 10 s) and the rest, the steps slower than real time (16.7 ms), the\n"
            "impacts and islands per step, the largest island and its impacts, the most\n"
            "impacts of one island in a step, the islands run again joined, and the three\n"
            "slowest steps with their time, impacts, passes, pair searches and islands.\n"
            "prallwerk-bench scale.bodies1000 --seconds 5 runs one of them over 5 s;\n"
            "--threads N runs the world's islands on N threads (the figures are then\n"
            "named scale.bodiesN.threadsN.*)."
            "\n"
            "prallwerk-bench --quick runs the drop world only to check that no step stalls\n"
            "(at most 100 impacts of one island in a step) and no body falls through its\n"
            "floor (none ends\n"
            "a step more than 0.2 m inside it); it exits with status 1 if one does. It\n"
            "measures no time.");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0) return runQuick();
    // An optional prefix runs only the figures whose names start with it;
    // --seconds shortens (or lengthens) the scale runs.
    std::string only;
    double scaleRunSeconds = scaleSeconds;
    int threads = 1;
    bool haveOnly = false;
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--threads") == 0 && a + 1 < argc) {
            char* end = nullptr;
            const long t = std::strtol(argv[++a], &end, 10);
            if (*end != '\0' || t < 1 || t > 64) {
                std::fprintf(stderr, "prallwerk-bench: --threads takes a number of threads from 1 to 64\n");
                return 2;
            }
            threads = static_cast<int>(t);
        } else if (std::strcmp(argv[a], "--seconds") == 0 && a + 1 < argc) {
            char* end = nullptr;
            scaleRunSeconds = std::strtod(argv[++a], &end);
            if (*end != '\0' || !(scaleRunSeconds > 0.0 && scaleRunSeconds <= 3600.0)) {
                std::fprintf(stderr, "prallwerk-bench: --seconds takes a number of seconds up to 3600\n");
                return 2;
            }
        } else if (!haveOnly && argv[a][0] != '-') {
            only = argv[a];
            haveOnly = true;
        } else {
            std::fprintf(stderr, "prallwerk-bench: unexpected argument %s (see --help)\n", argv[a]);
            return 2;
        }
    }
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
    for (int n : scaleBodyCounts) {
        const std::string key = "scale.bodies" + std::to_string(n) + (threads > 1 ? ".threads" + std::to_string(threads) : "") + ".";
        if (wanted(key)) benchScale(n, scaleRunSeconds, threads, figures);
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
