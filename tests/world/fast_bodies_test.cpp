// Nothing passes through anything at any speed: small fast balls thrown at
// thin slabs, the slab standing, coming the other way or turned, do not come
// out behind them, and the pair search finds such a ball just before it
// touches, within one of the times it looks at.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

// A slab of the given thickness along x, 2 m wide and 2 m high, its centre at
// x = 0, 1 m up; turned about z by the angle given.
RigidBody slab(float thickness, double turn = 0.0) {
    RigidBody b(10.0f);
    b.kind = kindBox;
    b.box.length = thickness;
    b.box.width = 2.0f;
    b.box.height = 2.0f;
    b.box.resetCorners();
    b.angles = {0.0, 0.0, turn};
    b.box.reorient(0.0, 0.0, turn, pivotCentre);
    b.position = {0.0, 0.0, 1.0};
    b.restitution = 1.0f;
    return b;
}

RigidBody ball(float radius, double speed, double startX) {
    RigidBody b(0.1f);
    b.kind = kindSphere;
    b.radius = radius;
    b.position = {startX, 0.0, 1.2};
    b.velocity = {speed, 0.0, 0.0};
    b.restitution = 1.0f;
    return b;
}

}  // namespace

TEST(FastBodies, SmallFastBallsDoNotComeOutBehindThinSlabs) {
    struct Throw {
        const char* what;
        double slabSpeed;  // the slab comes the other way (m/s)
        double turn;       // the slab turned about z (rad)
    };
    const Throw throws[] = {{"at a standing slab", 0.0, 0.0},
                            {"at a slab coming the other way", -30.0, 0.0},
                            {"at a slab turned 30 degrees", 0.0, 0.5235987755982988}};
    int cases = 0, met = 0;
    for (const Throw& th : throws) {
        for (float radius : {0.02f, 0.05f, 0.25f}) {
            for (double speed : {40.0, 200.0, 1000.0}) {
                for (float thickness : {0.01f, 0.03f, 0.1f}) {
                    const std::string what = std::string(th.what) + ", r " + std::to_string(radius) + " m at " +
                                             std::to_string(speed) + " m/s, slab " + std::to_string(thickness) + " m";
                    FallingWorld w(2);
                    *w.bodies[0] = ball(radius, speed, -0.6 - speed / 60.0 * 0.37);
                    *w.bodies[1] = slab(thickness, th.turn);
                    w.bodies[1]->velocity.x = th.slabSpeed;
                    bool hit = false;
                    for (int s = 0; s < 30; ++s) {
                        w.step(1.0f / 60.0f);
                        hit = hit || w.lastStep.pairImpacts > 0;
                        // The ball's centre stays on its side of the slab's
                        // middle plane (through the slab's centre, along its
                        // turned x axis).
                        const RigidBody& b = *w.bodies[0];
                        const RigidBody& s2 = *w.bodies[1];
                        const Vec3 across{std::cos(th.turn), std::sin(th.turn), 0.0};
                        ASSERT_LT(dot(b.position - s2.position, across), 0.0) << what << ", step " << s;
                    }
                    EXPECT_TRUE(hit) << what;
                    ++cases;
                    met += hit ? 1 : 0;
                }
            }
        }
    }
    EXPECT_EQ(met, cases);
}

// The pair search looks closer where a sample's travel is more than half the
// pair's thickness: the time it finds is before the ball touches, and no
// more than one of its looks before it. The ball's surface reaches the slab's
// face at d / v.
TEST(FastBodies, ThePairSearchFindsAFastBallWithinOneLookOfTouching) {
    const float limit = 1.0f / 60.0f;
    for (float radius : {0.02f, 0.25f}) {
        for (double speed : {40.0, 1000.0}) {
            for (float thickness : {0.01f, 0.1f}) {
                const RigidBody s = slab(thickness);
                const double gap = 0.37 * speed * limit;  // from the ball's surface to the face
                RigidBody b = ball(radius, speed, -0.5 * thickness - radius - gap);
                b.position.z = 1.0;
                // No force: the ball flies straight, its touch is d / v.
                const PairImpact impact = pairImpact(limit, b, s);
                const double touch = gap / speed;
                const double sample = static_cast<double>(limit) * 0.01;
                const double thin = 0.5 * (2.0 * radius + thickness);
                const double look = sample / std::ceil(speed * sample / thin);
                ASSERT_GT(impact.time, 0.0f);
                EXPECT_LT(impact.time, touch) << radius << " " << speed << " " << thickness;
                EXPECT_GE(static_cast<double>(impact.time), touch - look - 1e-9) << radius << " " << speed << " " << thickness;
                EXPECT_NEAR(impact.normalA.x, -1.0, 1e-12);
            }
        }
    }
}
