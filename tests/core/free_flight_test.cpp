#include "prallwerk/core/free_flight.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace prallwerk;

namespace {

constexpr double quarterTurn = M_PI / 2;

RigidBody sphereAt(double x, double y, double z) {
    RigidBody b(1.0f);
    b.kind = kindSphere;
    b.radius = 1.0f;
    b.position = {x, y, z};
    return b;
}

RigidBody cubeAt(double x, double y, double z) {
    RigidBody b(1.0f);
    b.kind = kindBox;
    b.box.width = b.box.length = b.box.height = 2.0f;
    b.box.resetCorners();
    b.radius = -1.0f;
    b.position = {x, y, z};
    return b;
}

BodyList listOf(std::initializer_list<RigidBody> bodies) {
    BodyList list;
    for (const RigidBody& b : bodies) list.push_back(std::make_unique<RigidBody>(b));
    return list;
}

}  // namespace

TEST(FloorHeight, IsTheHighestTopUnderneathWithinTheOtherBodysExtent) {
    BodyList list = listOf({sphereAt(0, 0, 10), cubeAt(0.5, 0, 2), sphereAt(0, 0.2, 5),
                            cubeAt(5, 0, 1)});
    list[0]->floorHeight = 42.0f;  // recomputed from scratch
    computeFloorHeight(list, 0);
    EXPECT_EQ(list[0]->floorHeight, 6.0f);  // sphere top 5 + 1 beats cube top 3
    computeFloorHeight(list, 2);
    EXPECT_EQ(list[2]->floorHeight, 3.0f);  // cube top, horizontal distance 0.54 < 1
    computeFloorHeight(list, 3);
    EXPECT_EQ(list[3]->floorHeight, 0.0f);  // nothing within reach
    computeFloorHeight(list, 1);
    EXPECT_EQ(list[1]->floorHeight, 0.0f);  // the others are above it
}

// A box offers its highest corner over its outline seen from above: a long
// flat box is a floor along its whole length and nowhere beside it, and a
// turned cube reaches up by its corner.
TEST(FloorHeight, ABoxIsAFloorOverItsOutlineAtItsHighestCorner) {
    RigidBody plank(1.0f);
    plank.kind = kindBox;
    plank.box.length = 10.0f;
    plank.box.width = 2.0f;
    plank.box.height = 1.0f;
    plank.box.resetCorners();
    plank.position = {0, 0, 0.5};
    struct Case {
        double x, y;
        float floor;
    } cases[] = {
        {0.0, 0.0, 1.0f}, {4.9, 0.9, 1.0f}, {-4.9, -0.9, 1.0f},  // over it, to its ends
        {5.1, 0.0, 0.0f}, {0.0, 1.1, 0.0f}, {5.0, 0.0, 0.0f},    // beside it, or on its edge
    };
    for (const Case& c : cases) {
        BodyList list = listOf({sphereAt(c.x, c.y, 3.0), plank});
        computeFloorHeight(list, 0);
        EXPECT_EQ(list[0]->floorHeight, c.floor) << c.x << ", " << c.y;
    }
    // Turned by 45 degrees about z its outline is a diamond: (4, 0) lies in
    // it, (3.4, 3.4) beside it.
    RigidBody turned = plank;
    turned.box.reorient(0, 0, 0.78539816339744831, pivotCentre);
    for (const Case& c : {Case{4.0, 0.3, 0.0f}, Case{3.4, 3.4, 1.0f}, Case{-3.4, -3.4, 1.0f}, Case{3.4, -3.4, 0.0f}}) {
        BodyList list = listOf({sphereAt(c.x, c.y, 3.0), turned});
        computeFloorHeight(list, 0);
        EXPECT_EQ(list[0]->floorHeight, c.floor) << "turned " << c.x << ", " << c.y;
    }
    // A cube tipped onto an edge reaches up by sqrt(2).
    RigidBody edge = cubeAt(0, 0, 2);
    edge.box.reorient(0.78539816339744831, 0, 0, pivotCentre);
    BodyList list = listOf({sphereAt(0, 0, 6), edge});
    computeFloorHeight(list, 0);
    EXPECT_NEAR(list[0]->floorHeight, 2.0 + std::sqrt(2.0), 1e-6);
}

// A body on its way up is no floor for what is above it; one that falls or
// rests is.
TEST(FloorHeight, ARisingBodyIsNoFloor) {
    for (double vz : {0.5, 0.11, 0.1, 0.0, -3.0}) {
        RigidBody under = cubeAt(0, 0, 1);
        under.velocity = {0, 0, vz};
        BodyList list = listOf({sphereAt(0, 0, 5), under});
        computeFloorHeight(list, 0);
        EXPECT_EQ(list[0]->floorHeight, vz > 0.1 ? 0.0f : 2.0f) << vz;
    }
}

TEST(FloorHeight, IgnoresLevelTopsOutOfReachAndInertKinds) {
    // A top exactly level with the body's centre gives no floor, nor does a
    // horizontal distance equal to the extent.
    BodyList list = listOf({sphereAt(0, 0, 3), cubeAt(0, 0, 2), cubeAt(1, 0, 1)});
    computeFloorHeight(list, 0);
    EXPECT_EQ(list[0]->floorHeight, 0.0f);
    list[2]->kind = 0;
    list[2]->position = {0, 0, 0};
    list[1]->position = {1.0, 0, 0};
    list[0]->position = {0, 0, 10};
    computeFloorHeight(list, 0);
    EXPECT_EQ(list[0]->floorHeight, 0.0f);
    // The floor is stored in single precision.
    list[1]->position = {0, 0, 0.1};
    computeFloorHeight(list, 0);
    EXPECT_EQ(list[0]->floorHeight, static_cast<float>(0.1 + 1.0));
}

TEST(AdvanceFree, SphereInFlightIsHeldByItsFloor) {
    // Above the ground plane and moving: in flight, and the floor under it
    // holds it: lifted to just above its rest height, its downward speed
    // gone, its sideways speed kept.
    RigidBody s = sphereAt(0, 0, 2.0);
    s.velocity = {1, 0, -5};
    s.floorHeight = 3.0f;
    s.advanceFree(0.1f);
    EXPECT_EQ(s.position.z, 4.0 + 0.01);
    EXPECT_EQ(s.velocity.x, 1.0);
    EXPECT_EQ(s.velocity.z, 0.0);
    // Far above its floor it is only advanced.
    RigidBody high = sphereAt(0, 0, 9.0);
    high.velocity = {0, 0, -5};
    high.advanceFree(0.1f);
    EXPECT_EQ(high.position.z, 9.0 + static_cast<double>(0.1f) * -5.0);
    // Below the ground plane it counts as resting and is clamped.
    RigidBody sunk = sphereAt(0, 0, 0.5);
    sunk.velocity = {0, 0, -5};
    sunk.advanceFree(0.1f);
    EXPECT_EQ(sunk.velocity.length(), 0.0);
    EXPECT_EQ(sunk.position.z, 1.0 + 0.01);
}

TEST(AdvanceFree, SlowSphereStopsAndRollsOutItsSpin) {
    RigidBody s = sphereAt(0, 0, 1.0);
    s.velocity = {0.01, 0, 0};  // exactly at the threshold: resting
    s.spin = {0, 1, 0};
    const float dt = 0.1f;
    s.advanceFree(dt);
    EXPECT_EQ(s.spin.y, static_cast<double>(0.9f));
    EXPECT_EQ(s.position.x, 1.0 * (static_cast<double>(dt) * static_cast<double>(0.9f)));
    EXPECT_EQ(s.velocity.length(), 0.0);  // no force: the advance adds nothing

    RigidBody sideways = sphereAt(0, 0, 1.0);
    sideways.spin = {1, 0, 0};
    sideways.advanceFree(dt);
    EXPECT_EQ(sideways.position.y, static_cast<double>(dt) * static_cast<double>(0.9f));
}

// A slow sphere rests only on its floor (within the lift); anywhere else it
// falls, however slow: let go in mid-air, or at the top of a throw.
TEST(AdvanceFree, SlowSphereRestsOnlyOnItsFloor) {
    struct Case {
        double z;
        float floor;
        bool rests;
    } cases[] = {
        {4.0, 0.0f, false},          // mid-air over the ground
        {1.0 + 0.01, 0.0f, true},    // where the clamp leaves it
        {1.0 + 0.011, 0.0f, false},  // a millimetre higher
        {3.0, 2.0f, true},           // on a floor of 2
        {3.5, 2.0f, false},          // above it
    };
    for (const Case& c : cases) {
        RigidBody s = sphereAt(0, 0, c.z);
        s.floorHeight = c.floor;
        s.velocity = {0.005, 0, 0};
        s.force = {0, 0, -9.81};
        s.advanceFree(0.001f);
        if (c.rests) {
            EXPECT_EQ(s.position.z, c.z) << c.z;
            EXPECT_EQ(s.velocity.length(), 0.0) << c.z;
        } else {
            EXPECT_LT(s.velocity.z, 0.0) << c.z;
            EXPECT_LT(s.position.z, c.z) << c.z;
        }
    }
    // Sunk into its floor it is lifted to just above its rest height.
    RigidBody s = sphereAt(0, 0, 0.5);
    s.spin = {0.0005, 0, 0};
    s.advanceFree(0.1f);
    EXPECT_EQ(s.position.z, 1.0 + 0.01);
}

TEST(AdvanceFree, BoxBelowItsFloorIsLiftedAndLosesItsSpeedIntoIt) {
    RigidBody b = cubeAt(0, 0, 0.2);
    b.velocity = {1, 0, -1};
    b.advanceFree(0.01f);
    EXPECT_EQ(b.position.z, 1.0 + 0.01);
    EXPECT_EQ(b.velocity.x, 1.0);
    EXPECT_EQ(b.velocity.z, 0.0);
    // Rising out of it, it keeps its speed.
    RigidBody up = cubeAt(0, 0, 0.2);
    up.velocity = {0, 0, 2};
    up.advanceFree(0.01f);
    EXPECT_EQ(up.velocity.z, 2.0);
}

// Held by its floor step after step, a body gathers no speed into it: a cube
// under gravity on a floor stays where the clamp puts it.
TEST(AdvanceFree, AHeldBodyGathersNoSpeed) {
    RigidBody b = cubeAt(0, 0, 3.2);
    b.floorHeight = 2.0f;
    b.velocity = {0, 0, -0.5};
    b.force = {0, 0, -9.81 * b.mass};
    for (int i = 0; i < 600; ++i) b.advanceFree(1.0f / 60.0f);
    EXPECT_NEAR(b.position.z, 3.0, 0.0101);
    EXPECT_GE(b.velocity.z, -0.2);
}

TEST(AdvanceFree, BoxTouchingItsFloorTipsAboutItsLowestCorner) {
    RigidBody b = cubeAt(0, 0, 1.0);
    b.velocity = {0.5, 0, 0};  // in flight by speed, but its corner is down
    b.spin = {0, -0.5, 0};  // turning so that corner 0 goes down, not up
    const int pivot = b.box.lowestCornerIndex();
    const Vec3 before = b.position + b.box.corners[pivot];
    b.advanceFree(0.05f);
    const Vec3 after = b.position + b.box.corners[pivot];
    EXPECT_NEAR(after.x - before.x, static_cast<double>(0.05f) * 0.5, 1e-12);
    EXPECT_NEAR(after.z, before.z, 1e-12);
}

TEST(AdvanceFree, RestingBoxTipsTowardsTheNearestQuarterTurn) {
    auto tipped = [](double quarterTurns) {
        RigidBody b = cubeAt(0, 0, 1.0);
        b.angles.x = quarterTurns * quarterTurn;
        b.spin = {0.25, 0.5, 3};
        b.box.reorient(b.angles.x, 0, 0, pivotCentre);
        b.advanceFree(0.0f);
        return b;
    };
    // The factor is 2 / pi with pi in single precision; q below is that many
    // quarter turns to within rounding.
    EXPECT_EQ(2.0 / static_cast<double>(3.14159265f), 0.6366197546520227);
    EXPECT_EQ(tipped(-0.3).spin.x, 0.25 + 0.05);
    EXPECT_EQ(tipped(-0.7).spin.x, 0.25 - 0.05);
    EXPECT_EQ(tipped(0.3).spin.x, 0.25 - 0.05);
    EXPECT_EQ(tipped(0.7).spin.x, 0.25 + 0.05);
    EXPECT_EQ(tipped(-0.995).spin.x, 0.0);
    EXPECT_EQ(tipped(-1.005).spin.x, 0.0);
    EXPECT_EQ(tipped(0.3).spin.z, 0.0);
    EXPECT_EQ(tipped(0.3).spin.y, 0.0);  // y already flat: zeroed

    // An exact tie between two quarter turns tips towards the lower one.
    RigidBody tie = cubeAt(0, 0, 1.0);
    tie.angles.x = 0.5 / 0.6366197546520227;
    ASSERT_EQ(tie.angles.x * 0.6366197546520227, 0.5);
    tie.spin.x = 1.0;
    tie.advanceFree(0.0f);
    EXPECT_EQ(tie.spin.x, 1.0 - 0.05);
}

TEST(AdvanceFree, SettledBoxOnlyKeepsItsCornerAndTheClamp) {
    RigidBody b = cubeAt(3, 4, 1.0);
    b.spin = {0.2, 0.3, 0.4};
    b.force = {0, 0, -9.81};
    b.advanceFree(0.1f);
    EXPECT_EQ(b.spin.x, 0.0);
    EXPECT_EQ(b.spin.y, 0.0);
    EXPECT_EQ(b.spin.z, 0.0);
    EXPECT_EQ(b.position.x, 3.0);
    EXPECT_EQ(b.position.y, 4.0);
    EXPECT_EQ(b.position.z, 1.0);  // gravity is not integrated while resting
    EXPECT_EQ(b.velocity.length(), 0.0);
}

TEST(AdvanceFree, InertKindsDoNothing) {
    RigidBody b(1.0f);
    b.kind = 7;
    b.velocity = {1, 2, 3};
    b.position = {0, 0, -5};
    b.advanceFree(1.0f);
    EXPECT_EQ(b.position.z, -5.0);
    EXPECT_EQ(b.velocity.z, 3.0);
}

// The clamp measures a box as it stands after its move: a cube spinning in
// flight just above the ground swings a corner down between two searches,
// and ends with no corner below its floor, whatever its last search said.
TEST(AdvanceFree, ASpinningBoxEndsWithNoCornerBelowItsFloor) {
    RigidBody b = cubeAt(0, 0, 1.2);
    b.radius = -1.0f;  // the last search saw it upright
    b.velocity = {2, 0, 0};
    b.spin = {6, 0, 0};
    b.advanceFree(0.1f);
    EXPECT_GE(b.position.z + lowestCornerOffset(b.box), 0.0);
}
