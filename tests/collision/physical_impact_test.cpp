#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
        // A turn about the vertical moves no corner down: the searches'
        // bound on the descent counts it, the touch and its approach do not.
        {"an upright box spinning about the vertical", 2.005, {0, 0, -4}, {0, 0, 3}, 0.25125, true},
        {"spinning about the vertical at the bounce speed", 1.1, {0, 0, -bounceSpeed}, {0, 0, 3}, -1, true},
        {"falling", 1.5, {0, 0, -4}, {}, 0.25},
        // A sphere's spin moves none of its points nearer the ground.
        {"spinning", 1.5, {0, 0, -4}, {0, 0, 1000}, 0.25},
        {"in the last hundredth", 4.48, {0, 0, -4}, {}, 0.995},
        // Touching at the start: what presses in fast is met at once; what
        // parts, or presses in slowly, is the contacts' to hold.
        {"touching, pressing in", 0.5, {0, 0, -3}, {}, 0},
        {"touching, pressing in slowly", 0.5, {0, 0, -0.4}, {}, -1},
        {"touching, parting", 0.5, {0, 0, 3}, {}, -1},
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

// A box 2 m long tilted by 0.3 rad about y, its lower edge 1 mm in the
// ground, turns back at 3 rad/s about its centre: that edge rises, and the
// other end comes down through the level of the first (by the symmetry of
// the turn) at 2 * 0.3 / 3 = 0.2 s and the slop below it about 2 ms later,
// at 2.4 m/s. The search that starts touching looks past its touch for that.
TEST(PhysicalImpact, AFarEndTurningDownIsFoundWhereTheBodyTouchesAlready) {
    const double tilt = 0.3, turn = 3.0;
    const double z = 0.5 * std::cos(tilt) + std::sin(tilt) - 0.001;
    RigidBody box = physicalBox(2, 1, 1, 1.0f, {0, 0, z}, {}, unitQuat({std::cos(tilt / 2), 0, std::sin(tilt / 2), 0}));
    box.spin = {0, -turn, 0};
    EXPECT_EQ(physicalGroundImpact(box, 1.0f), lastSampleBefore(0.2025, 1.0f));
}

// The same box 0.1 mm above the ground, falling at 2.7 m/s while it turns
// back at 3 rad/s: its low corner comes down at 0.28 m/s, touches within a
// millisecond and sinks less than a centimetre, slowly, while the far end
// comes down at 6 m/s to touch at 0.1 s. The search goes past the slow
// touch and stops a look before the far end's (found here by posing the
// box every 10 us).
TEST(PhysicalImpact, ASlowTouchDoesNotEndTheSearchForAFastOneAfterIt) {
    const double tilt = 0.3;
    const double z = 0.5 * std::cos(tilt) + std::sin(tilt) + 1e-4;
    RigidBody box =
        physicalBox(2, 1, 1, 1.0f, {0, 0, z}, {0, 0, -2.7}, unitQuat({std::cos(tilt / 2), 0, std::sin(tilt / 2), 0}));
    box.spin = {0, -3, 0};
    double farTouch = -1.0;
    for (int k = 1; k < 100000 && farTouch < 0.0; ++k) {
        const ShapePose pose = poseAfter(box, static_cast<float>(k * 1e-5));
        const Vec3 far = pose.centre - pose.frame.half[0] * pose.frame.axis[0] - pose.frame.half[2] * pose.frame.axis[2];
        if (far.z <= 0.0) farTouch = k * 1e-5;
    }
    ASSERT_GT(farTouch, 0.01);
    const float t = physicalGroundImpact(box, 1.0f);
    EXPECT_LE(t, farTouch);
    EXPECT_GT(t, farTouch - 0.011);  // within the look before it (a sample: 0.01 s)
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
        {"touching, pressing in", false, false, -1, {4, 0, 0}, {}, 0},
        {"touching, parting", false, false, -1, {-4, 0, 0}, {}, -1},
        {"boxes touching, pressing in", true, true, -1, {4, 0, 0}, {}, 0},
        {"boxes 1 mm in each other, pressing in", true, true, -0.999, {4, 0, 0}, {}, 0},
        {"a ball 1 mm in a box, pressing in", false, true, -0.999, {4, 0, 0}, {}, 0},
        {"boxes touching, parting", true, true, -1, {-4, 0, 0}, {}, -1},
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

// A body whose state is a lead behind the search's start is searched where
// its flight by the lead takes it: the searches find what they find of the
// body flown by the lead first, at the same sample (a spinning box within
// one: a turn in two flights is not one turn's bits).
TEST(PhysicalImpact, ASearchFromALeadFindsWhatItFindsOfTheBodyFlownFirst) {
    struct Row {
        const char* what;
        bool box;
        Vec3 spin;
        double leadA, leadB;
    };
    const Row rows[] = {
        {"a ball behind", false, {}, 0.3, 0.0},
        {"both behind", false, {}, 0.3, 0.1},
        {"a box behind", true, {}, 0.3, 0.1},
        {"a spinning box behind", true, {0.2, 0.5, 0.1}, 0.25, 0.05},
    };
    constexpr float limit = 0.5f;
    for (const Row& r : rows) {
        const Vec3 va{4, 0, -6};
        RigidBody a = r.box ? physicalBox(1, 1, 1, 1.0f, {-3, 0, 3}, va) : physicalSphere(0.5, 1.0f, {-3, 0, 3}, va);
        a.spin = r.spin;
        const RigidBody b = physicalSphere(0.5, 1.0f, {0.037, 0, 1.8 - 6 * r.leadA}, {-1, 0, 0});
        RigidBody flownA = a, flownB = b;
        flyPhysical(flownA, static_cast<float>(r.leadA));
        flyPhysical(flownB, static_cast<float>(r.leadB));
        const double within = isZero(r.spin) ? 0.0 : 0.01 * limit;
        const float pair = physicalPairImpact(flownA, flownB, limit);
        EXPECT_GT(pair, 0.0f) << r.what;
        EXPECT_NEAR(physicalPairImpact(a, r.leadA, b, r.leadB, limit), pair, within) << r.what;
        EXPECT_NEAR(physicalPairImpact(b, r.leadB, a, r.leadA, limit), pair, within) << r.what << ", b first";
        const float ground = physicalGroundImpact(flownA, limit);
        EXPECT_GT(ground, 0.0f) << r.what;
        EXPECT_NEAR(physicalGroundImpact(a, r.leadA, limit), ground, within) << r.what;
    }
}

// The reach box holds every corner of a box along its flight, turning or
// not; a box that does not turn fills it: its extent as it stands, l/2 cos
// theta + w/2 sin theta along x for a turn theta about z, swept along its
// path.
TEST(PhysicalImpact, AReachBoxHoldsTheFlightAndNoMore) {
    const double theta = 0.4, l = 2.0, w = 1.0, h = 0.5;
    const Vec3 v{3, -2, 1};
    constexpr float limit = 0.25f;
    for (const Vec3& spin : {Vec3{}, Vec3{4, -3, 6}}) {
        RigidBody turning = physicalBox(2, 1, 0.5f, 1.0f, {1, 2, 3}, v, quatFromAngles({0, 0, theta}));
        turning.spin = spin;
        const Bounds reach = physicalReachOver(turning, limit);
        for (int k = 0; k <= 100; ++k) {
            const PhysicalPose pose = predictPhysicalPose(turning, 0.01f * static_cast<float>(k) * limit);
            for (int c = 0; c < 8; ++c) {
                const Vec3 corner = pose.position + rotated(pose.orientation, {(c & 1 ? 0.5 : -0.5) * l, (c & 2 ? 0.5 : -0.5) * w,
                                                                               (c & 4 ? 0.5 : -0.5) * h});
                const double p[3] = {corner.x, corner.y, corner.z};
                for (int axis = 0; axis < 3; ++axis) {
                    EXPECT_GE(p[axis], reach.lo[axis]) << k << " " << c;
                    EXPECT_LE(p[axis], reach.hi[axis]) << k << " " << c;
                }
            }
        }
        if (!isZero(spin)) continue;
        const double half[3] = {0.5 * (l * std::cos(theta) + w * std::sin(theta)),
                                0.5 * (l * std::sin(theta) + w * std::cos(theta)), 0.5 * h};
        const double from[3] = {1, 2, 3}, to[3] = {1 + limit * v.x, 2 + limit * v.y, 3 + limit * v.z};
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(reach.lo[axis], std::min(from[axis], to[axis]) - half[axis], 1e-6) << axis;
            EXPECT_NEAR(reach.hi[axis], std::max(from[axis], to[axis]) + half[axis], 1e-6) << axis;
        }
    }
}

// The same box over a slab, fixed or free: the pair search, too, goes past
// the near corner's slow touch and stops a look before the far end's.
TEST(PhysicalImpact, ASlowTouchDoesNotEndThePairSearchForAFastOneAfterIt) {
    const double tilt = 0.3, top = 5.0;
    const double z = top + 0.5 * std::cos(tilt) + std::sin(tilt) + 1e-4;
    for (const bool fixedSlab : {true, false}) {
        RigidBody box = physicalBox(2, 1, 1, 1.0f, {0, 0, z}, {0, 0, -2.7},
                                    unitQuat({std::cos(tilt / 2), 0, std::sin(tilt / 2), 0}));
        box.spin = {0, -3, 0};
        RigidBody slab = physicalBox(6, 6, 1, 10.0f, {0, 0, top - 0.5});
        slab.fixed = fixedSlab;
        double farTouch = -1.0;
        for (int k = 1; k < 100000 && farTouch < 0.0; ++k) {
            const ShapePose pose = poseAfter(box, static_cast<float>(k * 1e-5));
            const Vec3 far =
                pose.centre - pose.frame.half[0] * pose.frame.axis[0] - pose.frame.half[2] * pose.frame.axis[2];
            if (far.z <= top) farTouch = k * 1e-5;
        }
        ASSERT_GT(farTouch, 0.01);
        const float t = physicalPairImpact(box, slab, 1.0f);
        EXPECT_LE(t, farTouch) << fixedSlab;
        EXPECT_GT(t, farTouch - 0.011) << fixedSlab;
    }
}

// Touching exactly (a gap of exactly 0) is touching: the searches look for
// the bodies going the slop beyond the touch, as for bodies that overlap a
// little, not for the touch itself, which is there at once. A ball on the
// ground and two balls side by side, closing at 2.9 m/s, in a step's limit
// of 1/60 s: a look before 5 mm in.
TEST(PhysicalImpact, BodiesTouchingExactlyAreMetTheSlopBeyondTheTouch) {
    const float limit = 1.0f / 60.0f;
    const double speed = 2.9;
    const float want = lastSampleBefore(contactSlop / speed, limit);
    ASSERT_GT(want, 0.0f);
    const RigidBody ball = physicalSphere(0.5, 1.0f, {0, 0, 0.5}, {0, 0, -speed});
    EXPECT_EQ(physicalGroundImpact(ball, limit), want);
    const RigidBody left = physicalSphere(0.5, 1.0f, {-0.5, 0, 3}, {speed, 0, 0});
    const RigidBody right = physicalSphere(0.5, 1.0f, {0.5, 0, 3});
    EXPECT_EQ(physicalPairImpact(left, right, limit), want);
}

// A cube passing beside another on a slant: the gap along x closes first
// (at 0.25 s) and the cubes stay apart along y until 0.905 s, where they
// meet face to face with the x extents overlapping by 1.38 m, after the
// centres have passed each other along x. The axis that showed the gap at
// the start stops showing one long before the touch; the search must then
// find the axis that still does, and not read the first axis's overlap as
// the bodies' clearance.
TEST(PhysicalImpact, BoxesApartOnAnotherAxisThanAtTheStartAreFoundWhereTheyTouch) {
    const RigidBody still = physicalBox(2, 2, 2, 1.0f, {0, 0, 1});
    for (const double side : {1.0, -1.0}) {
        const RigidBody passing = physicalBox(2, 2, 2, 1.0f, {3, side * 5.62, 1}, {-4, -side * 4, 0});
        const float limit = 1.0f;
        EXPECT_EQ(physicalPairImpact(passing, still, limit), lastSampleBefore(0.905, limit)) << side;
        EXPECT_EQ(physicalPairImpact(still, passing, limit), lastSampleBefore(0.905, limit)) << side;
    }
}
