// A world that runs its islands on several threads gives the bits it gives on
// one: the same bodies, statistics, last impact and impacts told, in the same
// order, for 1, 2 and 4 threads, and when the count changes between steps.
// Its own program, so that the test command can run it under
// ThreadSanitizer as well (scripts/check-threads).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/world/world.h"
#include "tests/support/same_bodies.h"

using namespace prallwerk;

namespace {

// Bodies in clusters far apart, thrown at and dropped on each other: many
// islands, some of them busy.
void clusters(World& w, uint32_t seed) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    for (int i = 0; i < w.bodyCount; ++i) {
        RigidBody& b = *w.bodies[i];
        b = RigidBody(static_cast<float>(uniform(0.5, 5.0)));
        b.restitution = static_cast<float>(uniform(0.3, 1.0));
        if (i % 2 == 0) {
            b.kind = kindSphere;
            b.radius = static_cast<float>(uniform(0.3, 1.0));
        } else {
            b.kind = kindBox;
            b.box.width = static_cast<float>(uniform(0.5, 2.0));
            b.box.length = static_cast<float>(uniform(0.5, 2.0));
            b.box.height = static_cast<float>(uniform(0.5, 2.0));
            b.box.resetCorners();
            b.angles = {uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
            b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
        }
        b.position = {25.0 * (i % 6) + uniform(0, 5), 25.0 * (i % 5) + uniform(0, 5), uniform(1.5, 7)};
        b.velocity = {uniform(-8, 8), uniform(-8, 8), uniform(-4, 4)};
        b.spin = {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
    }
}

// What a world tells its listener, one line per impact.
struct Heard {
    std::vector<std::string> lines;
    void listen(World& w) {
        w.impactListener = [this](const ImpactRecord& r) {
            lines.push_back(std::to_string(r.a.index) + "," + std::to_string(r.b.index) + "," +
                            std::to_string(r.stepTime));
        };
    }
};

}  // namespace

TEST(IslandThreads, AnyNumberOfThreadsGivesTheBitsOfOne) {
    struct Case {
        const char* what;
        int bodies;
        int steps;
        bool dropped;
    };
    const Case cases[] = {{"clusters", 90, 240, false}, {"the drop world", 150, 180, true}};
    long impacts = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<FallingWorld>> w;
        std::vector<Heard> heard(4);
        for (int k = 0; k < 4; ++k) {
            w.push_back(c.dropped ? std::make_unique<DropWorld>(c.bodies) : std::make_unique<FallingWorld>(c.bodies));
            if (!c.dropped) clusters(*w.back(), 11);
            heard[k].listen(*w.back());
        }
        w[1]->setThreadCount(2);
        w[2]->setThreadCount(4);
        EXPECT_EQ(w[2]->threadCount(), 4);
        for (int s = 0; s < c.steps; ++s) {
            // The fourth changes its threads as it goes.
            w[3]->setThreadCount(1 + s % 3);
            const float dt = s % 5 == 2 ? 0.1f : 1.0f / 60.0f;
            for (auto& world : w) world->step(dt);
            impacts += w[0]->lastStep.impacts();
            for (int k = 1; k < 4; ++k) {
                ASSERT_TRUE(sameBodies(*w[0], *w[k])) << k << " threads, step " << s;
                const StepStatistics &one = w[0]->lastStep, &more = w[k]->lastStep;
                ASSERT_EQ(one.impacts(), more.impacts());
                ASSERT_EQ(one.passes, more.passes);
                ASSERT_EQ(one.pairSearches, more.pairSearches);
                ASSERT_EQ(one.islands, more.islands);
                ASSERT_EQ(one.islandsAtRest, more.islandsAtRest);
                ASSERT_EQ(one.islandMerges, more.islandMerges);
                ASSERT_EQ(one.separations, more.separations);
                ASSERT_EQ(w[0]->indexOf(w[0]->hitA), w[k]->indexOf(w[k]->hitA));
                ASSERT_EQ(w[0]->indexOf(w[0]->hitB), w[k]->indexOf(w[k]->hitB));
            }
        }
        for (int k = 1; k < 4; ++k) EXPECT_EQ(heard[0].lines, heard[k].lines) << k;
    }
    EXPECT_GT(impacts, 500);
}
