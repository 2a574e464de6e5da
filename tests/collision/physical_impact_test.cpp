#include <gtest/gtest.h>

#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/collision/physical_impact.h"
#include "prallwerk/collision/sampling.h"
#include "tests/support/physical_bodies.h"

using namespace prallwerk;

namespace {

// What the searches return for a touch at `touch` s: the last sample before
// it (a touch exactly at a sample is the next sample's).
float lastSampleBefore(double touch, float limit) {
    float before = 0.0f;
    for (int k = 1; k < sampleCount && static_cast<double>(sampleTime(k, limit)) < touch; ++k) {
        before = sampleTime(k, limit);
    }
    return before;
}

}  // namespace

// Spheres of radius 0.5 coming down onto z = 0, the touch at (z - 0.5) /
// speed; and a 2 m long box stood on its end, (z - 1) / speed.
TEST(PhysicalImpact, GroundImpactsAreFoundTheSampleBeforeTheTouch) {
    struct Row {
        const char* what;
        double z;
        Vec3 velocity, spin;
        double touch;  // s, or < 0: no impact
        bool upright = false;
    };
    const Row rows[] = {
        {"an upright box", 2.005, {0, 0, -4}, {}, 0.25125, true},
        {"falling", 1.5, {0, 0, -4}, {}, 0.25},
        // A sphere's spin moves none of its points nearer the ground.
        {"spinning", 1.5, {0, 0, -4}, {0, 0, 1000}, 0.25},
        {"in the last hundredth", 4.48, {0, 0, -4}, {}, 0.995},
        {"touching already", 0.5, {0, 0, -3}, {}, -1},
        {"grazing at the bounce speed", 0.75, {3, 0, -bounceSpeed}, {}, -1},
        {"slower than the bounce speed", 0.6, {0, 0, -0.4}, {}, -1},
        {"rising", 1.5, {0, 0, 4}, {}, -1},
    };
    for (const Row& r : rows) {
        // A quarter turn about y stands the box's length up.
        RigidBody ball = r.upright ? physicalBox(2, 1, 1, 1.0f, {0, 0, r.z}, r.velocity, unitQuat({1, 0, 1, 0}))
                                   : physicalSphere(0.5, 1.0f, {0, 0, r.z}, r.velocity);
        ball.spin = r.spin;
        const float want = r.touch < 0.0 ? -1.0f : lastSampleBefore(r.touch, 1.0f);
        EXPECT_EQ(physicalGroundImpact(ball, 1.0f), want) << r.what;
    }
}

// A ball of 10 cm at 100 m/s travels its size ten times in a sample: the
// search looks often enough to find it within half its thickness of the
// ground, never through it.
TEST(PhysicalImpact, AFastThinBodyIsFoundBeforeItPassesThrough) {
    const double radius = 0.05, speed = 100.0;
    const RigidBody ball = physicalSphere(radius, 1.0f, {0, 0, 10}, {0, 0, -speed});
    const double touch = (10.0 - radius) / speed;
    const float t = physicalGroundImpact(ball, 1.0f);
    EXPECT_LT(t, touch);
    EXPECT_GT(t, touch - 0.5 * (2.0 * radius) / speed);
}

// Bodies along x, b at the origin and a coming at it at 4 m/s (limit 1 s):
// they touch when a's face or surface, 2 m off, has closed the gap.
TEST(PhysicalImpact, PairImpactsAreFoundTheSampleBeforeTheTouch) {
    struct Row {
        const char* what;
        bool boxA, boxB;
        double xA;
        Vec3 velocityA, velocityB;
        double touch;  // s, or < 0: no impact
    };
    const Row rows[] = {
        {"ball on a resting ball", false, false, -2, {4, 0, 0}, {}, 0.25},
        {"box on a resting ball", true, false, -2, {4, 0, 0}, {}, 0.25},
        {"ball on a resting box", false, true, -2, {4, 0, 0}, {}, 0.25},
        {"box on a resting box", true, true, -2, {4, 0, 0}, {}, 0.25},
        {"both moving", false, false, -2, {3, 0, 0}, {-1, 0, 0}, 0.25},
        {"in the last hundredth", false, false, -4.98, {4, 0, 0}, {}, 0.995},
        {"touching already", false, false, -1, {4, 0, 0}, {}, -1},
        // Both slide sideways at 3 m/s and close at exactly the bounce speed.
        {"closing at the bounce speed", false, false, -1.25, {bounceSpeed, 3, 0}, {0, 3, 0}, -1},
        {"parting", false, false, -2, {-4, 0, 0}, {}, -1},
    };
    for (const Row& r : rows) {
        RigidBody a = r.boxA ? physicalBox(1, 1, 1, 1.0f, {r.xA, 0, 5}, r.velocityA)
                             : physicalSphere(0.5, 1.0f, {r.xA, 0, 5}, r.velocityA);
        RigidBody b = r.boxB ? physicalBox(1, 1, 1, 1.0f, {0, 0, 5}, r.velocityB)
                             : physicalSphere(0.5, 1.0f, {0, 0, 5}, r.velocityB);
        const float want = r.touch < 0.0 ? -1.0f : lastSampleBefore(r.touch, 1.0f);
        EXPECT_EQ(physicalPairImpact(a, b, 1.0f), want) << r.what;
        EXPECT_EQ(physicalPairImpact(b, a, 1.0f), want) << r.what << ", b first";
    }
}
