#include "prallwerk/collision/pair_separation.h"

#include <gtest/gtest.h>

#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

RigidBody ball(float radius, Vec3 at, float mass) {
    RigidBody b(mass);
    b.kind = kindSphere;
    b.radius = radius;
    b.position = at;
    return b;
}

RigidBody cube(float edge, Vec3 at, float mass) {
    RigidBody b(mass);
    b.kind = kindBox;
    b.box.length = b.box.width = b.box.height = edge;
    b.box.resetCorners();
    b.radius = -0.5f * edge;
    b.position = at;
    return b;
}

}  // namespace

// How far each pair of shapes overlaps, and which way the first is pushed.
TEST(Overlap, MeasuresEachPairOfShapes) {
    struct Case {
        const char* what;
        RigidBody a, b;
        double depth;
        Vec3 normal;
    } cases[] = {
        {"balls", ball(1, {0, 0, 0}, 1), ball(1, {1.5, 0, 0}, 1), 0.5, {-1, 0, 0}},
        {"balls apart", ball(1, {0, 0, 0}, 1), ball(1, {2.5, 0, 0}, 1), 0.0, {}},
        {"ball on a cube's face", ball(1, {0, 0, 1.75}, 1), cube(2, {0, 0, 0}, 1), 0.25, {0, 0, 1}},
        {"cube under a ball", cube(2, {0, 0, 0}, 1), ball(1, {0, 0, 1.75}, 1), 0.25, {0, 0, -1}},
        {"ball's centre inside a cube", ball(0.5, {0.8, 0, 0}, 1), cube(2, {0, 0, 0}, 1), 0.7, {1, 0, 0}},
        {"cubes face to face", cube(2, {0, 0, 0}, 1), cube(2, {1.9, 0.3, 0}, 1), 0.1, {-1, 0, 0}},
        {"cubes apart", cube(2, {0, 0, 0}, 1), cube(2, {2.1, 0, 0}, 1), 0.0, {}},
    };
    for (const Case& c : cases) {
        const Overlap o = overlapOf(c.a, c.b);
        EXPECT_NEAR(o.depth, c.depth, 1e-12) << c.what;
        EXPECT_NEAR(o.normal.x, c.normal.x, 1e-12) << c.what;
        EXPECT_NEAR(o.normal.y, c.normal.y, 1e-12) << c.what;
        EXPECT_NEAR(o.normal.z, c.normal.z, 1e-12) << c.what;
    }
}

// A moving body is pushed out of a resting one, which stays where it is, and
// loses its speed into it.
TEST(SeparatePair, PushesTheMovingBodyAndNotTheRestingOne) {
    RigidBody rest = cube(2, {0, 0, 1}, 10);
    RigidBody moving = ball(0.5, {1.3, 0, 1}, 1);
    moving.velocity = {-3, 1, 0};
    ASSERT_TRUE(separatePair(moving, rest, overlapOf(moving, rest)));
    EXPECT_EQ(rest.position.x, 0.0);
    EXPECT_NEAR(moving.position.x, 1.5 + pairSeparationMargin, 1e-12);
    EXPECT_EQ(moving.velocity.x, 0.0);
    EXPECT_EQ(moving.velocity.y, 1.0);
    EXPECT_EQ(overlapOf(moving, rest).depth, 0.0);
}

// Both moving: the light body would take most of the push, but its floor
// holds it; the heavy one takes the rest, and they end apart.
TEST(SeparatePair, WhatAFloorHoldsBackTheOtherBodyTakes) {
    RigidBody light = ball(0.3f, {0, 0, 0.31}, 1);
    light.velocity = {0.01, 0, 0};
    RigidBody heavy = cube(2, {0, 0, 1.5}, 100);
    heavy.velocity = {0, 0, -1};
    ASSERT_GT(overlapOf(light, heavy).depth, 0.0);
    separatePair(light, heavy, overlapOf(light, heavy));
    EXPECT_GE(light.position.z, 0.3);
    EXPECT_EQ(overlapOf(light, heavy).depth, 0.0);
    EXPECT_GE(heavy.velocity.z, 0.0);
}

// Parting one pair can push a body into a third: the world goes over the
// pairs again until none overlaps. A resting ball, a ball pushed out of it
// into a third, and that one moving too.
TEST(SeparatePair, TheWorldPartsAChainOfOverlaps) {
    World w(3, 1.0f);
    *w.bodies[0] = ball(1, {0, 0, 5}, 1);
    *w.bodies[1] = ball(1, {1.5, 0, 5}, 1);
    *w.bodies[2] = ball(1, {3.3, 0, 5}, 1);
    w.bodies[1]->velocity = {1e-3, 0, 0};
    w.bodies[2]->velocity = {1e-3, 0, 0};
    w.step(1e-4f);
    EXPECT_GT(w.lastStep.separations, 2);
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) EXPECT_EQ(overlapOf(*w.bodies[i], *w.bodies[j]).depth, 0.0) << i << ", " << j;
    }
}
