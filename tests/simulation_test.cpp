// Whole-simulation properties: determinism pinned to the exact traces of the
// prepared scenes, robustness over random states, no sinking through the
// ground, bounded work per step and no allocation while stepping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <sstream>
#include <string>

#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "tests/support/reference_world.h"
#include "tests/support/trace_text.h"
#include "tools/trace.h"

using namespace prallwerk;

namespace {

// 64-bit FNV-1a: the standard offset basis and prime.
uint64_t fnv1a(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

TraceOptions sixtySeconds(int scene, uint32_t frameMs, bool events) {
    TraceOptions o;
    o.scene = scene;
    o.frameMs = frameMs;
    o.frames = 60000 / frameMs;
    o.events = events;
    return o;
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

// The exact traces of 60 simulated seconds of every scene (and the default
// bodies, -1), state and event traces at 16 ms and 100 ms frames. Any change
// to a single rounding of the engine changes these.
TEST(Determinism, TracesArePinned) {
    // The hash itself, on its published test values.
    ASSERT_EQ(fnv1a(""), 0xcbf29ce484222325ull);
    ASSERT_EQ(fnv1a("a"), 0xaf63dc4c8601ec8cull);
    ASSERT_EQ(fnv1a("foobar"), 0x85944171f73967e8ull);
    struct Pin {
        int scene;
        uint32_t frameMs;
        bool events;
        uint64_t hash;
    };
    const Pin pins[] = {
#include "tests/trace_pins.inc"
    };
    for (const Pin& pin : pins) {
        const std::string text = traceText(sixtySeconds(pin.scene, pin.frameMs, pin.events));
        EXPECT_EQ(fnv1a(text), pin.hash) << "scene " << pin.scene << " at " << pin.frameMs << " ms"
                                         << (pin.events ? " (events)" : "");
    }
}

TEST(Determinism, TwoRunsAreByteIdentical) {
    for (int scene = -1; scene < sceneCount; ++scene) {
        const TraceOptions o = sixtySeconds(scene, 16, false);
        EXPECT_EQ(traceText(o), traceText(o)) << scene;
    }
}

// What every step of every scene did, as its statistics say, against the event
// trace of the same run: as many ground and pair impacts as the trace has
// lines for that step. Each island searches once more than it has impacts
// (an island at rest not at all),
// no pass looks at more than the n(n-1)/2 pairs of the world, and a step
// replayed at rest searches no pair at all.
TEST(Simulation, StepStatisticsAgreeWithTheEventTrace) {
    buildSceneTable();
    constexpr int pairs = defaultBodyCount * (defaultBodyCount - 1) / 2;
    for (uint32_t ms : {16u, 100u}) {
        for (int scene = -1; scene < sceneCount; ++scene) {
            const TraceOptions o = sixtySeconds(scene, ms, true);
            // The trace's lines in time order: frame, sub-step, pair or ground.
            std::istringstream text(traceText(o));
            std::string line;
            std::getline(text, line);
            GravityWorld w;
            if (scene >= 0) loadScene(w, scene);
            const FrameSteps f = frameSteps(o.frameMs, o.timeScale);
            long impacts = 0, lines = 0, stepsAtRest = 0;
            bool pending = static_cast<bool>(std::getline(text, line));
            for (long frame = 1; frame <= o.frames; ++frame) {
                for (int s = 0; s < f.count; ++s) {
                    w.step(f.sub);
                    const StepStatistics& st = w.lastStep;
                    int want[2] = {0, 0};  // ground, pair lines of this step
                    const std::string key = std::to_string(frame) + "," + std::to_string(s) + ",";
                    while (pending && line.compare(0, key.size(), key) == 0) {
                        ++want[line.find(",pair,") != std::string::npos ? 1 : 0];
                        ++lines;
                        pending = static_cast<bool>(std::getline(text, line));
                    }
                    const std::string where = "scene " + std::to_string(scene) + ", " + std::to_string(ms) +
                                              " ms, frame " + std::to_string(frame) + "." + std::to_string(s);
                    ASSERT_EQ(st.groundImpacts + st.landings, want[0]) << where;
                    ASSERT_EQ(st.pairImpacts, want[1]) << where;
                    ASSERT_FALSE(st.eventCapReached) << where;
                    ASSERT_EQ(st.passes, st.impacts() + st.islands - st.islandsAtRest) << where;
                    ASSERT_LE(st.pairSearches + st.pairsSkipped, st.passes * pairs) << where;
                    if (st.atRest) {
                        ASSERT_EQ(st.pairSearches + st.impacts() + st.passes, 0) << where;
                    } else {
                        ASSERT_GE(st.islands, 1) << where;
                        ASSERT_LE(st.islands, defaultBodyCount) << where;
                    }
                    impacts += st.impacts();
                    stepsAtRest += st.atRest ? 1 : 0;
                }
            }
            EXPECT_FALSE(pending) << "scene " << scene << ", " << ms << " ms: lines left over: " << line;
            EXPECT_EQ(impacts, lines) << "scene " << scene << ", " << ms << " ms";
            // Every scene comes to rest within the minute and stays there.
            EXPECT_GT(stepsAtRest * f.sub, 30.0) << "scene " << scene << ", " << ms << " ms";
        }
    }
}

TEST(Simulation, NoBodyEndsAFrameBelowTheGround) {
    buildSceneTable();
    for (uint32_t ms : {16u, 100u}) {
        for (int scene = 0; scene < sceneCount; ++scene) {
            GravityWorld w;
            loadScene(w, scene);
            const FrameSteps f = frameSteps(ms, 1.0f);
            int mostImpacts = 0;
            for (uint32_t frame = 0; frame < 60000 / ms; ++frame) {
                for (int s = 0; s < f.count; ++s) {
                    w.step(f.sub);
                    mostImpacts = std::max(mostImpacts, w.lastStep.impacts());
                }
                for (int i = 0; i < w.bodyCount; ++i) {
                    ASSERT_GE(w.bodies[i]->position.z, 0.0)
                        << "scene " << scene << ", " << ms << " ms, frame " << frame << ", body " << i;
                }
            }
            // Work per step stays far below the cap that keeps step() bounded.
            EXPECT_LT(mostImpacts, World::maxEventsPerStep / 10) << "scene " << scene;
        }
    }
}

TEST(Simulation, RandomStatesStayFiniteAndEveryStepReturns) {
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> kind(1, 2), frameMs(0, 2000);
    constexpr int states = 2000;
    for (int n = 0; n < states; ++n) {
        GravityWorld w;
        for (int i = 0; i < w.bodyCount; ++i) {
            RigidBody& b = *w.bodies[i];
            b.kind = kind(rng);
            b.radius = b.kind == kindSphere ? 1.0f : 0.0f;
            b.box = BoxShape{};
            if (b.kind == kindBox) {
                b.box.width = b.box.length = b.box.height = 2.0f;
                b.box.resetCorners();
            }
            b.position = {15 * unit(rng), 15 * unit(rng), 10 + 10 * unit(rng)};
            b.angles = {2 * M_PI * unit(rng), 2 * M_PI * unit(rng), 2 * M_PI * unit(rng)};
            b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
            b.velocity = {50 * unit(rng), 50 * unit(rng), 50 * unit(rng)};
            b.spin = {50 * unit(rng), 50 * unit(rng), 50 * unit(rng)};
        }
        for (int frame = 0; frame < 3; ++frame) {
            const FrameSteps f = frameSteps(static_cast<uint32_t>(frameMs(rng)), 1.0f);
            advanceFrame(w, f);
        }
        for (int i = 0; i < w.bodyCount; ++i) {
            const RigidBody& b = *w.bodies[i];
            ASSERT_TRUE(finite(b.position) && finite(b.velocity) && finite(b.spin) && finite(b.angles) &&
                        finite(b.force) && std::isfinite(b.radius) && std::isfinite(b.floorHeight))
                << "state " << n << ", body " << i;
            ASSERT_LE(std::fabs(b.angles.x), twoPi);
            ASSERT_LE(std::fabs(b.angles.y), twoPi);
            ASSERT_LE(std::fabs(b.angles.z), twoPi);
            for (const Vec3& c : b.box.corners) ASSERT_TRUE(finite(c));
        }
    }
}

// Counts every allocation of the process while armed.
namespace {
bool countAllocations = false;
long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (countAllocations) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The library's buffers (stable_sort's, for one) come from here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (countAllocations) ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
// GCC 12 inlines these into code that calls operator new and then takes the
// free() for a mismatch (at -O1 on i686, for one), although operator new
// above is malloc().
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11
#pragma GCC diagnostic pop
#endif

TEST(Simulation, SteppingAllocatesNothing) {
    buildSceneTable();
    for (int scene = 0; scene < sceneCount; ++scene) {
        GravityWorld w;
        loadScene(w, scene);
        allocations = 0;
        countAllocations = true;
        for (int frame = 0; frame < 1000; ++frame) w.step(0.016f);
        w.step(0.1f);
        countAllocations = false;
        EXPECT_EQ(allocations, 0) << scene;
    }
    // A crowded world, large enough for the pair bounds and the floors to be
    // kept in grids: bodies dropped on a grid land, bounce, tip and come to
    // rest.
    constexpr int crowd = 50;
    DropWorld w(crowd);
    allocations = 0;
    countAllocations = true;
    for (int s = 0; s < 600; ++s) w.step(1.0f / 60.0f);
    countAllocations = false;
    EXPECT_EQ(allocations, 0);
    // Heard impacts are sorted by their instant each step, in place: the
    // lists of records grow now and then, by doubling, but no step takes a
    // buffer of its own.
    DropWorld heard(crowd);
    long impacts = 0;
    heard.impactListener = [&impacts](const ImpactRecord&) { ++impacts; };
    for (int s = 0; s < 300; ++s) heard.step(1.0f / 60.0f);
    long sortedSteps = 0;
    allocations = 0;
    for (int s = 0; s < 300; ++s) {
        const long before = impacts;
        countAllocations = true;
        heard.step(1.0f / 60.0f);
        countAllocations = false;
        if (impacts - before >= 2) ++sortedSteps;
    }
    EXPECT_GT(sortedSteps, 100);
    EXPECT_LT(allocations, sortedSteps / 2);
}
