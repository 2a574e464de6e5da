// The step by islands: which bodies share an island, that the bits of a step
// depend neither on the order of its islands nor on the number of threads,
// that a body's motion depends only on what can reach it, and that the rules
// that count a step's events count them per island.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "prallwerk/collision/pair_separation.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/impact_walker.h"
#include "prallwerk/world/island_bounds.h"
#include "prallwerk/world/island_grouping.h"
#include "prallwerk/world/island_run.h"
#include "prallwerk/world/world.h"
#include "tests/support/body_geometry.h"
#include "tests/support/packed_crowd.h"
#include "tests/support/same_bodies.h"

using namespace prallwerk;

namespace {

constexpr float stepOf60 = 1.0f / 60.0f;

RigidBody sphere(Vec3 at, Vec3 velocity = {}, float radius = 1.0f) {
    RigidBody b(defaultBodyMass);
    b.kind = kindSphere;
    b.radius = radius;
    b.restitution = 1.0f;
    b.position = at;
    b.velocity = velocity;
    return b;
}

RigidBody box(Vec3 at, Vec3 velocity = {}, float edge = 2.0f) {
    RigidBody b(defaultBodyMass);
    b.kind = kindBox;
    b.box = cube(edge);
    b.restitution = 1.0f;
    b.position = at;
    b.velocity = velocity;
    return b;
}

// A world under gravity holding exactly the bodies given.
std::unique_ptr<FallingWorld> worldOf(const std::vector<RigidBody>& bodies) {
    auto w = std::make_unique<FallingWorld>(static_cast<int>(bodies.size()));
    for (size_t i = 0; i < bodies.size(); ++i) *w->bodies[i] = bodies[i];
    return w;
}

// The islands a step of dt groups the world's bodies into: each island its
// bodies' indices, ascending, the islands by their lowest body. The forces
// are applied first, as the step applies them.
std::vector<std::vector<int>> islandsOf(World& w, float dt) {
    w.clearForces();
    w.applyForces();
    std::vector<Bounds> bounds;
    for (int i = 0; i < w.bodyCount; ++i) bounds.push_back(islandBoundOf(*w.bodies[i], dt));
    IslandGrouping grouping;
    grouping.group(bounds.data(), w.bodyCount);
    std::vector<std::vector<int>> islands(static_cast<size_t>(grouping.islandCount()));
    for (int k = 0; k < grouping.islandCount(); ++k) {
        islands[k].assign(grouping.members(k), grouping.members(k) + grouping.size(k));
    }
    return islands;
}

// The islands of a set of bounds found pair by pair, the plain way.
std::vector<int> plainRoots(const std::vector<Bounds>& bounds) {
    const int n = static_cast<int>(bounds.size());
    std::vector<int> root(static_cast<size_t>(n));
    std::iota(root.begin(), root.end(), 0);
    // Join until nothing changes; a set is named by its lowest body.
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = 0; i < n; ++i) {
            for (int j = i + 1; j < n; ++j) {
                if (!bounds[i].overlaps(bounds[j])) continue;
                const int low = std::min(root[i], root[j]);
                if (root[i] != low || root[j] != low) {
                    root[i] = root[j] = low;
                    changed = true;
                }
            }
        }
        for (int i = 0; i < n; ++i) {
            if (root[root[i]] != root[i]) {
                root[i] = root[root[i]];
                changed = true;
            }
        }
    }
    return root;
}

// Runs the islands of every round in the order asked: their index order,
// reversed, or shuffled.
enum class Order { index, reversed, shuffled };

template <class Base>
class Ordered : public Base {
public:
    template <class... Arguments>
    explicit Ordered(Order order, Arguments... arguments) : Base(arguments...), order_(order) {}

    void runIslands(IslandBatch& batch) override {
        std::vector<int> ks(static_cast<size_t>(batch.size()));
        std::iota(ks.begin(), ks.end(), 0);
        if (order_ == Order::reversed) std::reverse(ks.begin(), ks.end());
        if (order_ == Order::shuffled) std::shuffle(ks.begin(), ks.end(), rng_);
        for (int k : ks) batch.run(k, 0);
    }

private:
    Order order_;
    std::mt19937 rng_{20261209};
};

// Random crowded worlds: bodies thrown at each other and dropped on each
// other, in clusters far apart.
void scatteredCrowd(World& w, uint32_t seed) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    for (int i = 0; i < w.bodyCount; ++i) {
        const double cluster = 40.0 * (i % 4);
        RigidBody b = i % 2 == 0 ? sphere({}, {}, static_cast<float>(uniform(0.3, 1.2)))
                                 : box({}, {}, static_cast<float>(uniform(0.5, 2.0)));
        if (b.kind == kindBox) {
            b.angles = {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
            b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
        }
        b.position = {cluster + uniform(0, 6), uniform(0, 6), uniform(1.5, 8)};
        b.velocity = {uniform(-12, 12), uniform(-12, 12), uniform(-8, 8)};
        b.spin = {uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)};
        b.restitution = static_cast<float>(uniform(0.2, 1.0));
        *w.bodies[i] = b;
    }
}

}  // namespace

// Which bodies a step groups together, for bodies that stand, touch, rest
// on each other, head for each other or away, and chain.
TEST(IslandGrouping, BodiesThatCanMeetWithinTheStepShareAnIsland) {
    struct Case {
        const char* what;
        std::vector<RigidBody> bodies;
        std::vector<std::vector<int>> islands;
    };
    const double touching = 2.0 + 2.0 * islandMargin;  // centres of two cubes of edge 2 that just share one
    const Case cases[] = {
        {"one body", {sphere({0, 0, 5})}, {{0}}},
        {"far apart at rest", {box({0, 0, 1}), box({10, 0, 1})}, {{0}, {1}}},
        {"side by side, touching", {box({0, 0, 1}), box({2.0, 0, 1})}, {{0, 1}}},
        {"side by side within both margins", {box({0, 0, 1}), box({touching - 1e-3, 0, 1})}, {{0, 1}}},
        {"side by side beyond both margins", {box({0, 0, 1}), box({touching + 1e-3, 0, 1})}, {{0}, {1}}},
        // A box standing on another, or just above within the 0.01 m that
        // free flight counts as standing, reads it as its floor.
        {"a box on a box", {box({0, 0, 1}), box({0.3, 0, 3})}, {{0, 1}}},
        {"a box a hair above a box", {box({0, 0, 1}), box({0.3, 0, 3.009})}, {{0, 1}}},
        {"a ball high above a box", {box({0, 0, 1}), sphere({0, 0, 30})}, {{0}, {1}}},
        // Within one step of 1/60 s a body at 60 m/s covers 1 m.
        {"heading for each other", {sphere({0, 0, 5}, {60, 0, 0}), sphere({2.9, 0, 5})}, {{0, 1}}},
        {"heading away", {sphere({0, 0, 5}, {-60, 0, 0}), sphere({2.9, 0, 5})}, {{0}, {1}}},
        {"a chain joins its ends",
         {box({0, 0, 1}), box({20, 0, 1}), box({2, 0, 1}), box({4, 0, 1})},
         {{0, 2, 3}, {1}}},
        // A turning box sweeps its corners out: 30 rad/s turns a cube's
        // corners a quarter turn in the step, but its centre stays.
        {"a box turning into its neighbour",
         [] {
             RigidBody spun = box({0, 0, 5});
             spun.spin = {0, 0, 30};
             return std::vector<RigidBody>{spun, box({2.2, 0, 5})};
         }(),
         {{0, 1}}},
        {"the same box not turning", {box({0, 0, 5}), box({2.2, 0, 5})}, {{0}, {1}}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<FallingWorld> w = worldOf(c.bodies);
        EXPECT_EQ(islandsOf(*w, stepOf60), c.islands) << c.what;
    }
}

// The grid groups exactly as the plain comparison of every pair does, for
// crowds of every density, bodies far out and bodies not finite among them.
TEST(IslandGrouping, TheGridGroupsAsEveryPairComparedDoes) {
    std::mt19937 rng(5);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    long joined = 0;
    for (int n = 0; n < 300; ++n) {
        const int count = 1 + static_cast<int>(uniform(0, 120));
        const double side = uniform(2.0, 3.0) * std::sqrt(static_cast<double>(count));
        std::vector<Bounds> bounds(static_cast<size_t>(count));
        for (Bounds& b : bounds) {
            const double half = uniform(0.2, 1.5) * (uniform(0, 1) < 0.05 ? 20.0 : 1.0);
            const double at[3] = {uniform(0, side), uniform(0, side), uniform(0, 4)};
            for (int k = 0; k < 3; ++k) {
                b.lo[k] = at[k] - half;
                b.hi[k] = at[k] + half * uniform(0.5, 1.5);
            }
            if (uniform(0, 1) < 0.02) b.hi[0] = INFINITY;
            if (uniform(0, 1) < 0.02) b.lo[1] = -1e300;
        }
        IslandGrouping grouping;
        grouping.group(bounds.data(), count);
        const std::vector<int> roots = plainRoots(bounds);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(grouping.members(grouping.islandOf(i))[0], roots[i]) << "world " << n << ", body " << i;
            joined += roots[i] != i ? 1 : 0;
        }
        for (int k = 0; k < grouping.islandCount(); ++k) {
            ASSERT_TRUE(std::is_sorted(grouping.members(k), grouping.members(k) + grouping.size(k)));
            if (k > 0) {
                ASSERT_LT(grouping.members(k - 1)[0], grouping.members(k)[0]);
            }
        }
    }
    EXPECT_GT(joined, 2000);
}

// The bits of a step do not depend on the order the islands run in: the
// prepared scenes, a packed crowd, the drop world and random crowds, run in
// index order, reversed and shuffled, the last impact's bodies and contact
// vectors too. (On several threads: tests/world/island_threads_test.cpp.)
TEST(Islands, TheBitsDoNotDependOnTheOrderOfTheIslands) {
    buildSceneTable();
    struct Make {
        std::string what;
        std::function<void(World&)> fill;
        int bodies;
        int steps;
    };
    const std::unique_ptr<DropWorld> packed = packedCrowd();
    std::vector<Make> makes;
    for (int scene = 0; scene < sceneCount; ++scene) {
        makes.push_back({"scene " + std::to_string(scene), [scene](World& w) { loadScene(w, scene); },
                         defaultBodyCount, 600});
    }
    makes.push_back({"packed crowd", [&](World& w) {
                         for (int i = 0; i < w.bodyCount; ++i) *w.bodies[i] = *packed->bodies[i];
                     },
                     40, 300});
    makes.push_back({"drop world", [](World& w) {
                         DropWorld d(120);
                         for (int i = 0; i < w.bodyCount; ++i) *w.bodies[i] = *d.bodies[i];
                     },
                     120, 240});
    for (uint32_t seed : {1u, 2u, 3u}) {
        makes.push_back({"crowd " + std::to_string(seed), [seed](World& w) { scatteredCrowd(w, seed); }, 48, 180});
    }
    long merges = 0, impacts = 0;
    for (const Make& m : makes) {
        SCOPED_TRACE(m.what);
        Ordered<GravityWorld> inOrder(Order::index, defaultGravity, m.bodies);
        Ordered<GravityWorld> reversed(Order::reversed, defaultGravity, m.bodies);
        Ordered<GravityWorld> shuffled(Order::shuffled, defaultGravity, m.bodies);
        World* others[] = {&reversed, &shuffled};
        m.fill(inOrder);
        for (World* w : others) m.fill(*w);
        for (int s = 0; s < m.steps; ++s) {
            const float dt = s % 7 == 3 ? 0.05f : stepOf60;
            inOrder.step(dt);
            merges += inOrder.lastStep.islandMerges;
            impacts += inOrder.lastStep.impacts();
            for (World* w : others) {
                w->step(dt);
                ASSERT_TRUE(sameBodies(inOrder, *w)) << "step " << s;
                ASSERT_EQ(inOrder.indexOf(inOrder.hitA), w->indexOf(w->hitA)) << "step " << s;
                ASSERT_EQ(inOrder.indexOf(inOrder.hitB), w->indexOf(w->hitB)) << "step " << s;
                ASSERT_TRUE(sameBits(inOrder.normalA, w->normalA) && sameBits(inOrder.normalB, w->normalB));
                ASSERT_EQ(inOrder.lastStep.impacts(), w->lastStep.impacts());
                ASSERT_EQ(inOrder.lastStep.islands, w->lastStep.islands);
            }
        }
    }
    // The worlds must have joined islands where a body left its bound, and
    // met many impacts.
    EXPECT_GT(merges, 0);
    EXPECT_GT(impacts, 2000);
}

// A body's motion depends only on what can reach it: a ball bouncing alone
// in a corner follows the same bits whether or not two boxes meet 60 m away
// (before or after it in the bodies' order), and whatever else the world
// holds far off.
TEST(Islands, ABodysTraceDoesNotDependOnAnImpactFarAway) {
    const RigidBody ball = sphere({0, 0, 4}, {1.5, 0.5, 3});
    const RigidBody left = box({60, 0, 4}, {8, 0, 0}), right = box({66, 0, 4}, {-8, 0, 0});
    // The boxes thrown apart instead meet nothing.
    RigidBody leftAway = left, rightAway = right;
    leftAway.velocity.x = -8;
    rightAway.velocity.x = 8;
    const std::vector<std::vector<RigidBody>> worlds = {
        {ball},
        {ball, left, right},
        {left, right, ball},
        {left, ball, right},
        {ball, leftAway, rightAway},
        {box({-60, 0, 1}), ball, sphere({0, 80, 30}), left, right},
    };
    const std::vector<int> ballAt = {0, 0, 2, 1, 0, 1};
    std::vector<std::unique_ptr<FallingWorld>> w;
    for (const auto& bodies : worlds) w.push_back(worldOf(bodies));
    long farImpacts = 0;
    for (int s = 0; s < 300; ++s) {
        for (size_t k = 0; k < w.size(); ++k) {
            w[k]->step(stepOf60);
            if (k == 1) farImpacts += w[k]->lastStep.pairImpacts;
            const RigidBody& alone = *w[0]->bodies[0];
            const RigidBody& here = *w[k]->bodies[static_cast<size_t>(ballAt[k])];
            ASSERT_TRUE(sameBitsButFloor(alone, here)) << "world " << k << ", step " << s;
        }
    }
    EXPECT_GT(farImpacts, 0) << "the boxes far off no longer meet";
}

// A world of one body: one island, which flies each step without an impact
// in one move of the whole span, as free flight alone moves it.
TEST(Islands, ABodyAloneFliesTheStepInOneMove) {
    class Moves : public FallingWorld {
    public:
        Moves() : FallingWorld(1) {}
        std::vector<float> spans;
        void advanceAll(Island& island, RigidBody* a, RigidBody* b, float dt) override {
            spans.push_back(dt);
            FallingWorld::advanceAll(island, a, b, dt);
        }
    } w;
    *w.bodies[0] = box({0, 0, 30}, {3, 1, 0});
    w.bodies[0]->spin = {1, 2, 3};
    for (int s = 0; s < 30; ++s) {
        RigidBody alone = *w.bodies[0];
        w.spans.clear();
        w.step(stepOf60);
        alone.force = w.bodies[0]->force;
        // The ground search leaves a box its lowest corner in its radius.
        alone.radius = static_cast<float>(lowestCornerOffset(alone.box));
        alone.advanceFree(stepOf60);
        ASSERT_EQ(w.spans, std::vector<float>{stepOf60}) << s;
        ASSERT_EQ(w.lastStep.islands, 1);
        ASSERT_EQ(w.lastStep.largestIsland, 1);
        ASSERT_TRUE(sameBitsButFloor(alone, *w.bodies[0])) << s;
    }
}

// The event cap counts each island's events: an island whose impact times
// stop shrinking the time left stops at the cap, and a body of another
// island moves as if it were alone.
TEST(Islands, TheEventCapStopsOneIslandAndLeavesTheOthers) {
    class Stalling : public FallingWorld {
    public:
        Stalling() : FallingWorld(2) {}
        float earliestGroundHit(Island& island, float dt) override {
            if (island.indices[0] != 0) return FallingWorld::earliestGroundHit(island, dt);
            // Body 0's island is found meeting its floor at a small share of
            // the time left, again and again.
            island.hitA = island.bodies[0];
            return dt * 1e-5f;
        }
    } w;
    *w.bodies[0] = sphere({0, 0, 20});
    *w.bodies[1] = sphere({50, 0, 1.5}, {0, 0, -20});
    std::unique_ptr<FallingWorld> alone = worldOf({*w.bodies[1]});
    for (int s = 0; s < 20; ++s) {
        w.step(stepOf60);
        alone->step(stepOf60);
        ASSERT_TRUE(w.lastStep.eventCapReached);
        ASSERT_EQ(w.lastStep.largestIslandEvents, World::maxEventsPerStep);
        ASSERT_TRUE(sameBitsButFloor(*w.bodies[1], *alone->bodies[0])) << s;
    }
}

// An island at rest that replays in the place of a capped island of the
// step before does not report its cap: the runs are kept from step to step
// by the islands' numbers, which a join shifts.
TEST(Islands, AnIslandThatReplaysReportsNoCapOfAnother) {
    class StallingOnce : public FallingWorld {
    public:
        StallingOnce() : FallingWorld(3) {}
        bool stall = true;
        float earliestGroundHit(Island& island, float dt) override {
            if (!stall || island.indices[0] != 1) return FallingWorld::earliestGroundHit(island, dt);
            island.hitA = island.bodies[0];
            return dt * 1e-5f;
        }
    } w;
    // Body 0 falls onto body 1 within the second step, not the first; body 2
    // rests on the ground far away.
    *w.bodies[0] = sphere({0, 0, 3.8}, {0, 0, -30});
    *w.bodies[1] = sphere({0, 0, 1});
    *w.bodies[2] = sphere({50, 0, 1});
    w.step(stepOf60);
    ASSERT_EQ(w.lastStep.islands, 3);
    ASSERT_TRUE(w.lastStep.eventCapReached);
    w.stall = false;
    w.step(stepOf60);
    ASSERT_EQ(w.lastStep.islands, 2);
    ASSERT_EQ(w.lastStep.islandsAtRest, 1);
    EXPECT_FALSE(w.lastStep.eventCapReached);
}

// Each search of an island looks at every pair of the island or passes it
// over, and at no other pair.
TEST(Islands, EveryPassOfAnIslandAccountsForItsOwnPairs) {
    class Counting : public DropWorld {
    public:
        Counting() : DropWorld(60) {}
        long calls = 0;
        float earliestPairHit(Island& island, float limit) override {
            const StepStatistics before = island.statistics;
            const float t = DropWorld::earliestPairHit(island, limit);
            const int searched = island.statistics.pairSearches - before.pairSearches;
            const int skipped = island.statistics.pairsSkipped - before.pairsSkipped;
            EXPECT_EQ(searched + skipped, island.count * (island.count - 1) / 2);
            ++calls;
            return t;
        }
    } w;
    for (int s = 0; s < 240; ++s) w.step(stepOf60);
    EXPECT_GT(w.calls, 1000);
}

// An impact that sends a body beyond its bound towards another island joins
// the two islands and runs them again from the step's start: a light ball
// knocked by a heavy box is thrown faster than either moved, into a third
// body it could not reach before, and meets it within the same step.
TEST(Islands, ABodySentBeyondItsBoundMeetsWhatItReaches) {
    RigidBody heavy = box({0, 0, 5}, {30, 0, 0});
    heavy.mass = 1000.0f;
    // The ball comes slowly towards the box (a body at rest would stay at
    // rest), is knocked back at one and a half times the box's speed and
    // reaches the wall 2.45 m beyond it, which it could not have reached
    // before. The ball is the world's second body, then its first.
    RigidBody light = sphere({2.05, 0, 5}, {-1, 0, 0}, 0.5f);
    light.mass = 0.01f;
    const RigidBody wall = box({6.0, 0, 5}, {}, 2.0f);
    for (const bool ballFirst : {false, true}) {
        SCOPED_TRACE(ballFirst ? "the ball first" : "the box first");
        const int ball = ballFirst ? 0 : 1;
        std::unique_ptr<FallingWorld> w = ballFirst ? worldOf({light, heavy, wall}) : worldOf({heavy, light, wall});
        std::vector<ImpactRecord> heard;
        w->impactListener = [&](const ImpactRecord& r) { heard.push_back(r); };
        // With a span of a tenth of a second, the ball and the wall start in
        // different islands.
        ASSERT_EQ(islandsOf(*w, 0.1f).size(), 2u);
        w->step(0.1f);
        EXPECT_GE(w->lastStep.islandMerges, 1);
        EXPECT_EQ(w->lastStep.islands, 1);
        bool ballMetWall = false;
        for (const ImpactRecord& r : heard) ballMetWall = ballMetWall || (r.a.index == ball && r.b.index == 2);
        EXPECT_TRUE(ballMetWall);
        EXPECT_FALSE(pointInsideBody(w->bodies[ball]->position, *w->bodies[2]));
        EXPECT_LT(w->bodies[ball]->position.x, w->bodies[2]->position.x);
    }
}

// Walked impact by impact, a stop shows every body at the impact's instant:
// a body of another island, flying free all step, stands where free flight
// over that time puts it, and the walk ends the step with the bits of a
// whole step.
TEST(Islands, AStopOfAWalkShowsEveryIslandAtTheInstant) {
    const RigidBody falling = sphere({0, 0, 1.2}, {0, 0, -4});
    const RigidBody flying = box({40, 0, 30}, {5, 1, 2});
    std::unique_ptr<FallingWorld> walked = worldOf({falling, flying}), whole = worldOf({falling, flying});
    ImpactWalker walker(*walked);
    int stops = 0;
    for (int frame = 0; frame < 120; ++frame) {
        walker.beginFrame(frameSteps(16, 1.0f));
        const RigidBody before = *walked->bodies[1];
        double frameStart = walker.clock();
        while (walker.toNextImpact()) {
            ++stops;
            RigidBody expected = before;
            expected.force = walked->bodies[1]->force;
            expected.advanceFree(static_cast<float>(walker.clock() - frameStart));
            EXPECT_TRUE(sameBitsButFloor(expected, *walked->bodies[1])) << "frame " << frame;
        }
        advanceFrame(*whole, frameSteps(16, 1.0f));
        ASSERT_TRUE(sameBodies(*walked, *whole)) << "frame " << frame;
    }
    EXPECT_GT(stops, 1);
}

// An island that the last step left as it found it replays: its bodies keep
// their bits and it searches nothing, while the islands around it run. Two
// towers far apart come to rest; a bit changed in one makes that one run
// again and leaves the other at rest, and every step gives the bits of a
// world that has never stepped before (a fresh copy, which replays nothing).
TEST(Islands, AnIslandAtRestReplaysOnlyWhileNothingTouchesIt) {
    std::vector<RigidBody> towers;
    for (double x : {0.0, 30.0}) {
        for (int level = 0; level < 3; ++level) towers.push_back(box({x + 0.1 * level, 0, 1.0 + 2.05 * level}));
    }
    std::unique_ptr<FallingWorld> w = worldOf(towers);
    // Each step against a fresh world of the same bodies.
    auto stepChecked = [&](const char* what) {
        std::vector<RigidBody> now;
        for (const auto& b : w->bodies) now.push_back(*b);
        std::unique_ptr<FallingWorld> fresh = worldOf(now);
        w->step(stepOf60);
        fresh->step(stepOf60);
        EXPECT_EQ(fresh->lastStep.islandsAtRest, 0) << what;
        return sameBodies(*w, *fresh);
    };
    int atRest = 0;
    for (int s = 0; s < 600 && atRest < 3; ++s) {
        ASSERT_TRUE(stepChecked("settling")) << s;
        atRest = w->lastStep.atRest ? atRest + 1 : 0;
    }
    ASSERT_EQ(atRest, 3) << "the towers do not come to rest";
    for (int tower = 0; tower < 2; ++tower) {
        double& x = w->bodies[static_cast<size_t>(3 * tower + 2)]->position.x;
        x = std::nextafter(x, 100.0);
        ASSERT_TRUE(stepChecked("one bit changed"));
        EXPECT_FALSE(w->lastStep.atRest);
        EXPECT_EQ(w->lastStep.islands, 2);
        EXPECT_EQ(w->lastStep.islandsAtRest, 1) << "tower " << tower;
        EXPECT_EQ(w->lastStep.passes, 1);
        for (int s = 0; s < 200; ++s) ASSERT_TRUE(stepChecked("settling again")) << s;
        EXPECT_TRUE(w->lastStep.atRest);
    }
}

// A step walked impact by impact says when it is over and stays over: once
// resolveNextImpact has returned false, asking again returns false and
// changes nothing, and so does a step begun and then left for a whole
// step() (which leaves the bodies where the stop put them).
TEST(Islands, AWalkedStepThatIsOverStaysOver) {
    std::unique_ptr<FallingWorld> w = worldOf({sphere({0, 0, 1.2}, {0, 0, -4}), box({30, 0, 3}, {2, 0, 0})});
    StepInProgress s = w->beginStep(stepOf60);
    while (w->resolveNextImpact(s)) {
    }
    EXPECT_TRUE(s.over());
    const double clock = w->elapsedTime;
    std::vector<RigidBody> after;
    for (const auto& b : w->bodies) after.push_back(*b);
    EXPECT_FALSE(w->resolveNextImpact(s));
    EXPECT_TRUE(s.over());
    EXPECT_EQ(w->elapsedTime, clock);
    for (size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(sameBits(after[i], *w->bodies[i])) << i;

    // Left after its first impact for a step of its own.
    StepInProgress left = w->beginStep(stepOf60);
    int impacts = 0;
    for (int tries = 0; tries < 200 && impacts == 0; ++tries) {
        if (!w->resolveNextImpact(left)) left = w->beginStep(stepOf60);
        else ++impacts;
    }
    ASSERT_EQ(impacts, 1);
    w->step(stepOf60);
    const double stepped = w->elapsedTime;
    after.clear();
    for (const auto& b : w->bodies) after.push_back(*b);
    EXPECT_FALSE(w->resolveNextImpact(left));
    EXPECT_TRUE(left.over());
    EXPECT_EQ(w->elapsedTime, stepped);
    for (size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(sameBits(after[i], *w->bodies[i])) << i;

    // A world at rest replays its step in beginStep: one call ends the walk.
    std::unique_ptr<FallingWorld> still = worldOf({box({0, 0, 1})});
    for (int k = 0; k < 3; ++k) still->step(stepOf60);
    StepInProgress replayed = still->beginStep(stepOf60);
    ASSERT_TRUE(replayed.replaying);
    EXPECT_FALSE(still->resolveNextImpact(replayed));
    EXPECT_TRUE(replayed.over());
}

// A body removed where a walk stopped ends the islands: the rest of the step
// is a step of the time left from the stop's instant, with the bodies as
// they are, the bits a world of those bodies gives stepping that time.
TEST(Islands, ABodyRemovedAtAStopLeavesAStepOfTheTimeLeft) {
    // The sphere lands after about 1.7 ms, the box after about 8 ms: both
    // within the first step, in islands of their own.
    const std::vector<RigidBody> bodies = {sphere({0, 0, 1.01}, {0, 0, -6}), box({30, 0, 1.05}, {0, 0, -6}),
                                           box({60, 0, 8}, {3, 0, 0}), sphere({-40, 0, 5}, {0, 2, 0})};
    std::unique_ptr<FallingWorld> w = worldOf(bodies);
    StepInProgress s = w->beginStep(stepOf60);
    ASSERT_TRUE(w->resolveNextImpact(s));
    ASSERT_EQ(w->indexOf(w->hitA), 0);
    w->eraseBody(3);
    const float rest = static_cast<float>(static_cast<double>(stepOf60) - s.time);
    ASSERT_GT(rest, 0.0f);
    std::vector<RigidBody> now;
    for (const auto& b : w->bodies) now.push_back(*b);
    std::unique_ptr<FallingWorld> fresh = worldOf(now);
    // The walk goes on from the stop and still stops at the box's landing.
    int stops = 0;
    while (w->resolveNextImpact(s)) {
        ++stops;
        EXPECT_EQ(w->indexOf(w->hitA), 1);
    }
    fresh->step(rest);
    EXPECT_EQ(fresh->lastStep.impacts(), 1);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(sameBodies(*w, *fresh));
}

TEST(Islands, TheWorldsLastImpactAndItsNormalsAreOfOneIsland) {
    // Two pairs, the same but for x and y swapped, meet at the same instant
    // in two islands: the last told is the second island's, and the normals
    // the world keeps are that pair's, not the first one's.
    const std::vector<RigidBody> bodies = {sphere({100, 0, 5}, {5, 0, 0}), sphere({102.1, 0, 5}, {-5, 0, 0}),
                                           sphere({0, 100, 5}, {0, 5, 0}), sphere({0, 102.1, 5}, {0, -5, 0})};
    std::unique_ptr<FallingWorld> w = worldOf(bodies);
    std::vector<double> instants;
    w->impactListener = [&instants](const ImpactRecord& r) { instants.push_back(r.stepTime); };
    w->step(stepOf60);
    ASSERT_EQ(instants.size(), 2u);
    ASSERT_EQ(instants[0], instants[1]);
    EXPECT_EQ(w->lastStep.islands, 2);
    EXPECT_EQ(w->indexOf(w->hitA), 2);
    EXPECT_EQ(w->indexOf(w->hitB), 3);
    EXPECT_EQ(w->normalA.x, 0.0);
    EXPECT_NE(w->normalA.y, 0.0);
    EXPECT_EQ(w->normalB.x, 0.0);
    EXPECT_NE(w->normalB.y, 0.0);
}

TEST(Islands, AWorldReplaysAStepOnlyWhenNoBodyMoved) {
    // The first body flies, the second rests on the ground: the world is
    // never at rest, whichever of them moves, also when the caller puts the
    // flyer back where the last step started it, as it may between steps.
    for (const bool flyerFirst : {true, false}) {
        SCOPED_TRACE(flyerFirst ? "the flyer first" : "the flyer second");
        const RigidBody flyer = sphere({0, 0, 30}, {1, 0, 0});
        const RigidBody resting = box({40, 0, 1});
        std::unique_ptr<FallingWorld> w = flyerFirst ? worldOf({flyer, resting}) : worldOf({resting, flyer});
        RigidBody& moving = *w->bodies[flyerFirst ? 0 : 1];
        RigidBody started = moving;
        for (int s = 0; s < 30; ++s) {
            if (s % 2 == 1) moving = started;
            started = moving;
            w->step(stepOf60);
            ASSERT_GT(moving.position.x, started.position.x) << "step " << s;
            ASSERT_LT(moving.position.z, started.position.z) << "step " << s;
        }
    }
}

TEST(Islands, APushBeyondABoundPartsWhatItReachesInAnotherIsland) {
    // Two spheres placed 1.5 m deep in each other are pushed apart: the
    // light one the whole way, 0.3 m into a third, far lighter, that began
    // in an island of its own; it is parted from that one as well, in the
    // same step. The light one is either of the pair.
    for (const bool secondPushed : {true, false}) {
        SCOPED_TRACE(secondPushed ? "the second pushed" : "the first pushed");
        RigidBody first = sphere({0, 0, 10}), second = sphere({0.5, 0, 10});
        (secondPushed ? first : second).mass = 1000.0f;
        RigidBody third = sphere({secondPushed ? 3.7 : -3.2, 0, 10});
        third.mass = 0.001f;
        std::unique_ptr<FallingWorld> w = worldOf({first, second, third});
        ASSERT_EQ(islandsOf(*w, stepOf60).size(), 2u);
        w->step(stepOf60);
        EXPECT_GE(w->lastStep.separations, 2);
        const int pushed = secondPushed ? 1 : 0;
        EXPECT_NEAR(w->bodies[pushed]->position.x, secondPushed ? 2.0 : -1.5, 0.05);
        for (int a = 0; a < 3; ++a) {
            for (int b = a + 1; b < 3; ++b) {
                EXPECT_LE(overlapOf(*w->bodies[a], *w->bodies[b]).depth, 0.0) << a << " and " << b;
            }
        }
    }
}
