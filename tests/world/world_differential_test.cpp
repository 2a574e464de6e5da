// The world's searches skip pairs and copy floors only where that provably
// changes nothing: here they run side by side with the plain loops over every
// pair and every floor, on the prepared scenes and on random worlds, and must
// give the same bits after every step.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "prallwerk/math/assertion.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "tests/support/reference_world.h"

using namespace prallwerk;

namespace {

constexpr double gravityZ = defaultGravity.z;

// Records each resolved impact: the bodies and the time.
template <class Base>
class Recording : public Base {
public:
    using Base::Base;
    std::vector<std::string> events;
    void advanceAll(Island& island, RigidBody* a, RigidBody* b, float dt) override {
        if (a != nullptr) events.push_back(std::to_string(island.indexOf(a)) + "," + std::to_string(island.indexOf(b)) +
                                           "," + std::to_string(static_cast<double>(dt)));
        Base::advanceAll(island, a, b, dt);
    }
};

// Both worlds agree on every body, on the last impact's bodies and on the
// contact vectors.
::testing::AssertionResult sameWorld(const World& fast, const World& plain) {
    if (fast.bodyCount != plain.bodyCount) return ::testing::AssertionFailure() << "body counts differ";
    for (int i = 0; i < fast.bodyCount; ++i) {
        if (!sameBits(*fast.bodies[i], *plain.bodies[i])) return ::testing::AssertionFailure() << "body " << i;
        if ((fast.hitA == fast.bodies[i].get()) != (plain.hitA == plain.bodies[i].get()) ||
            (fast.hitB == fast.bodies[i].get()) != (plain.hitB == plain.bodies[i].get())) {
            return ::testing::AssertionFailure() << "impact bodies differ at " << i;
        }
    }
    if (!sameBits(fast.normalA, plain.normalA) || !sameBits(fast.normalB, plain.normalB)) {
        return ::testing::AssertionFailure() << "contact vectors differ";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// Every prepared scene (and the default bodies) for a minute at 16, 25 and
// 100 ms frames: the same states after every frame and the same impacts. All
// come to rest within the minute (Simulation.StepStatisticsAgreeWithTheEventTrace),
// so the replayed steps of a world at rest are compared with full ones too.
TEST(WorldDifferential, ScenesMatchThePlainSearches) {
    buildSceneTable();
    for (uint32_t ms : {16u, 25u, 100u}) {
        for (int scene = -1; scene < sceneCount; ++scene) {
            Recording<GravityWorld> fast(0.0, 0.0, gravityZ);
            Recording<Unculled<GravityWorld>> plain(0.0, 0.0, gravityZ);
            if (scene >= 0) {
                loadScene(fast, scene);
                loadScene(plain, scene);
            }
            const FrameSteps f = frameSteps(ms, 1.0f);
            for (uint32_t frame = 0; frame < 60000 / ms; ++frame) {
                for (int s = 0; s < f.count; ++s) {
                    fast.step(f.sub);
                    plain.step(f.sub);
                }
                ASSERT_TRUE(sameWorld(fast, plain)) << "scene " << scene << ", " << ms << " ms, frame " << frame;
            }
            EXPECT_EQ(fast.events, plain.events) << "scene " << scene << ", " << ms << " ms";
            EXPECT_GT(fast.events.size(), 100u);
        }
    }
}

// A world at rest replays its last step only while nothing touches it. Scene
// 1 at rest (a tower of three boxes on a fourth, a sphere beside it, two
// boxes apart), and the same with the sphere (body 0) resting on top of the
// tower, so that the first body's floor is another body's top; then one
// thing changed between two steps: any field of a body, by as little as one
// bit, or the span. The next step must search again, and the world must go
// on exactly as the plain one. The world's contact vectors are what the last
// pair impact left, read by nothing: writing them changes no step.
TEST(WorldDifferential, AWorldAtRestSearchesAgainWhenAnythingChanges) {
    buildSceneTable();
    constexpr float span = 0.016f;
    for (const bool sphereOnTower : {false, true}) {
        SCOPED_TRACE(sphereOnTower ? "the sphere on the tower" : "scene 1");
        Recording<GravityWorld> fast(0.0, 0.0, gravityZ);
        Recording<Unculled<GravityWorld>> plain(0.0, 0.0, gravityZ);
        for (World* w : {static_cast<World*>(&fast), static_cast<World*>(&plain)}) {
            loadScene(*w, 1);
            for (int s = 0; s < 1000; ++s) w->step(span);
            if (!sphereOnTower) continue;
            const RigidBody* top = w->bodies[1].get();
            for (int i = 2; i < w->bodyCount; ++i) {
                if (w->bodies[i]->position.z > top->position.z) top = w->bodies[i].get();
            }
            RigidBody& sphere = *w->bodies[0];
            sphere.position = {top->position.x, top->position.y,
                               top->position.z + 0.5 * static_cast<double>(top->box.height) + sphere.radius + 0.05};
            sphere.velocity = {};
            sphere.spin = {};
            for (int s = 0; s < 1000; ++s) w->step(span);
        }
        ASSERT_TRUE(fast.lastStep.atRest);
        ASSERT_TRUE(sameWorld(fast, plain));
        if (sphereOnTower) {
            ASSERT_GT(fast.bodies[0]->floorHeight, 1.0f);
        }
        std::vector<RigidBody> rest;
        for (int i = 0; i < fast.bodyCount; ++i) rest.push_back(*fast.bodies[i]);
        const Vec3 restA = fast.normalA, restB = fast.normalB;

        auto nextUp = [](double& v) { v = std::nextafter(v, HUGE_VAL); };
        struct Touch {
            const char* what;
            std::function<void(World&)> apply;
            float span;
            bool staysAtRest = false;
        };
        const Touch touches[] = {
            {"nothing", [](World&) {}, span, true},
            {"another span", [](World&) {}, 0.02f},
            {"a position, by one bit", [&](World& w) { nextUp(w.bodies[4]->position.x); }, span},
            {"a velocity", [](World& w) { w.bodies[5]->velocity.x = 1e-3; }, span},
            {"a spin that rolls the sphere", [](World& w) { w.bodies[0]->spin.y = 0.5; }, span},
            {"an angle, by one bit", [&](World& w) { nextUp(w.bodies[2]->angles.y); }, span},
            {"a corner, by one bit", [&](World& w) { nextUp(w.bodies[1]->box.corners[0].z); }, span},
            {"an edge", [](World& w) { w.bodies[3]->box.width = 1.5f; }, span},
            {"the sphere's radius", [](World& w) { w.bodies[0]->radius = 0.5f; }, span},
            {"a box's radius", [](World& w) { w.bodies[6]->radius = -2.0f; }, span},
            {"a mass", [](World& w) { w.bodies[5]->mass = 1.0f; }, span},
            {"a kind", [](World& w) { w.bodies[4]->kind = 0; }, span},
            {"the contact vectors", [](World& w) { w.normalA = {0.0, 0.0, 1.0}; }, span, true},
            {"the second body's contact vector", [](World& w) { w.normalB = {0.0, 0.0, -1.0}; }, span, true},
        };
        for (const Touch& touch : touches) {
            for (World* w : {static_cast<World*>(&fast), static_cast<World*>(&plain)}) {
                for (int i = 0; i < w->bodyCount; ++i) *w->bodies[i] = rest[static_cast<size_t>(i)];
                w->normalA = restA;
                w->normalB = restB;
                w->step(span);
                w->step(span);
            }
            ASSERT_TRUE(fast.lastStep.atRest) << touch.what;
            ASSERT_TRUE(sameWorld(fast, plain)) << touch.what;
            touch.apply(fast);
            touch.apply(plain);
            fast.events.clear();
            plain.events.clear();
            for (int s = 0; s < 120; ++s) {
                const float dt = s == 0 ? touch.span : span;
                fast.step(dt);
                plain.step(dt);
                if (s == 0) {
                    EXPECT_EQ(fast.lastStep.atRest, touch.staysAtRest) << touch.what;
                }
                ASSERT_TRUE(sameWorld(fast, plain)) << touch.what << ", step " << s;
            }
            EXPECT_EQ(fast.events, plain.events) << touch.what;
        }
    }
}

// A thousand random worlds of 2 to 32 bodies, crowded so that they meet:
// spheres and boxes of assorted sizes, some at rest, some stacked, thrown
// and spun, stepped with assorted spans.
TEST(WorldDifferential, RandomWorldsMatchThePlainSearches) {
    std::mt19937_64 rng(4242);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // The sanitizer build runs a quarter of them: it is ten times slower.
#ifdef __SANITIZE_ADDRESS__
    constexpr int worlds = 250;
#else
    constexpr int worlds = 1000;
#endif
    long events = 0;
    for (int n = 0; n < worlds; ++n) {
        const int count = 2 + pick(31);
        Recording<FallingWorld> fast(count);
        Recording<Unculled<FallingWorld>> plain(count);
        const double side = 2.5 * std::cbrt(static_cast<double>(count));
        for (int i = 0; i < count; ++i) {
            RigidBody& b = *fast.bodies[i];
            b.restitution = static_cast<float>(uniform(0.2, 1.0));
            if (pick(2) == 0) {
                b.kind = kindSphere;
                b.radius = static_cast<float>(uniform(0.3, 1.5));
            } else {
                b.kind = kindBox;
                b.box.width = static_cast<float>(uniform(0.5, 3.0));
                b.box.length = static_cast<float>(uniform(0.5, 3.0));
                b.box.height = static_cast<float>(uniform(0.5, 3.0));
                b.box.resetCorners();
                if (pick(2) == 0) b.angles = {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
                b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
            }
            b.position = {uniform(0, side), uniform(0, side), uniform(0.5, 6.0)};
            if (pick(4) != 0) b.velocity = {uniform(-15, 15), uniform(-15, 15), uniform(-15, 15)};
            if (pick(3) != 0) b.spin = {uniform(-10, 10), uniform(-10, 10), uniform(-10, 10)};
            *plain.bodies[i] = b;
        }
        for (int s = 0; s < 3; ++s) {
            const float dt = pick(3) == 0 ? 0.05f : pick(2) == 0 ? 1.0f / 60.0f : static_cast<float>(uniform(1e-4, 0.05));
            fast.step(dt);
            plain.step(dt);
            ASSERT_TRUE(sameWorld(fast, plain)) << "world " << n << " (" << count << " bodies), step " << s;
        }
        ASSERT_EQ(fast.events, plain.events) << "world " << n;
        events += static_cast<long>(fast.events.size());
    }
    // The worlds must have kept the searches busy.
    EXPECT_GT(events, worlds * 2);
}

// Crowded drop worlds, large enough for the grids of the floors and of the
// broad phase to hold many bodies in many cells, through the fall, the
// landings on the ground and on each other and the first bounces: the drop
// world as it is, and one whose bodies have assorted sizes, some far larger
// than the rest (kept out of the cells) and some thrown sideways across them.
TEST(WorldDifferential, CrowdedDropWorldsMatchThePlainSearches) {
#ifdef __SANITIZE_ADDRESS__
    constexpr int steps = 90;
#else
    constexpr int steps = 180;
#endif
    for (int variant = 0; variant < 2; ++variant) {
        constexpr int count = 160;
        Recording<DropWorld> fast(count);
        Recording<Unculled<DropWorld>> plain(count);
        if (variant == 1) {
            std::mt19937_64 rng(7);
            auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
            for (int i = 0; i < count; ++i) {
                RigidBody& b = *fast.bodies[i];
                const double scale = i % 23 == 0 ? 4.0 : uniform(0.4, 1.3);
                if (b.kind == kindSphere) {
                    b.radius = static_cast<float>(scale);
                } else {
                    b.box.width = static_cast<float>(2.0 * scale);
                    b.box.length = static_cast<float>(2.0 * uniform(0.4, 1.3));
                    b.box.height = static_cast<float>(2.0 * scale);
                    b.box.resetCorners();
                }
                if (i % 7 == 0) b.velocity = {uniform(-12, 12), uniform(-12, 12), 0.0};
                *plain.bodies[i] = b;
            }
        }
        for (int s = 0; s < steps; ++s) {
            fast.step(1.0f / 60.0f);
            plain.step(1.0f / 60.0f);
            ASSERT_TRUE(sameWorld(fast, plain)) << "variant " << variant << ", step " << s;
        }
        EXPECT_EQ(fast.events, plain.events) << "variant " << variant;
        EXPECT_GT(fast.events.size(), 200u) << "variant " << variant;
    }
}

// Bodies pushed into the list after the world was built (bodies is a public
// field) are searched and floored as every other: the step fits its buffers
// to the list it finds.
TEST(WorldDifferential, BodiesAddedAfterConstructionAreStillSearched) {
    Recording<FallingWorld> fast(2);
    Recording<Unculled<FallingWorld>> plain(2);
    for (World* w : {static_cast<World*>(&fast), static_cast<World*>(&plain)}) {
        while (static_cast<int>(w->bodies.size()) < 30) w->bodies.push_back(std::make_unique<RigidBody>(defaultBodyMass));
        w->bodyCount = 30;
        for (int i = 0; i < 30; ++i) {
            RigidBody& b = *w->bodies[i];
            b.kind = i % 2 == 0 ? kindSphere : kindBox;
            b.radius = b.kind == kindSphere ? 1.0f : 0.0f;
            if (b.kind == kindBox) {
                b.box.width = b.box.length = b.box.height = 2.0f;
                b.box.resetCorners();
            }
            b.restitution = 1.0f;
            b.position = {2.1 * (i % 6), 2.1 * (i / 6), 2.0 + (i % 4)};
            b.velocity = {i % 3 == 0 ? 4.0 : -3.0, 0.0, 0.0};
        }
    }
    for (int s = 0; s < 120; ++s) {
        fast.step(1.0f / 60.0f);
        plain.step(1.0f / 60.0f);
        ASSERT_TRUE(sameWorld(fast, plain)) << "step " << s;
    }
    EXPECT_EQ(fast.events, plain.events);
    EXPECT_GT(fast.events.size(), 30u);
}
