#include "prallwerk/collision/ground_contact.h"

#include <gtest/gtest.h>

#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

RigidBody fallingSphere(double z, double vz) {
    RigidBody b(defaultBodyMass);
    b.kind = kindSphere;
    b.radius = 1.0f;
    b.restitution = 1.0f;
    b.position = {0, 0, z};
    b.velocity = {0, 0, vz};
    b.force = {0, 0, static_cast<double>(b.mass) * defaultGravity.z};
    return b;
}

RigidBody fallingCube(double z, double vz) {
    RigidBody b = fallingSphere(z, vz);
    b.kind = kindBox;
    b.radius = 0.0f;
    b.box.width = b.box.length = b.box.height = 2.0f;
    b.box.resetCorners();
    return b;
}

float sampleTime(int k, float limit) {
    return static_cast<float>(k * static_cast<double>(limit) * static_cast<double>(0.01f));
}

}  // namespace

TEST(GroundTimeOfImpact, WorkedExampleSphereAndCube) {
    RigidBody sphere = fallingSphere(1.5, -10);
    const float t = groundTimeOfImpact(sphere, 0.1f).time;
    EXPECT_EQ(t, sampleTime(47, 0.1f));
    EXPECT_EQ(t, 0.047f);

    RigidBody cube = fallingCube(1.5, -10);
    EXPECT_EQ(groundTimeOfImpact(cube, 0.1f).time, sampleTime(47, 0.1f));
    EXPECT_EQ(lowestCornerOffset(cube.box), -1.0);
}

TEST(GroundTimeOfImpact, SphereRestsTouchesOrStaysAbove) {
    RigidBody resting = fallingSphere(1.0, -0.09);
    EXPECT_EQ(groundTimeOfImpact(resting, 0.1f).time, -1.0f);
    // At 0.1 or faster it is searched; the first sample already touches.
    RigidBody touching = fallingSphere(1.0, -0.1);
    EXPECT_EQ(groundTimeOfImpact(touching, 0.1f).time, 0.0f);
    // Still above the floor at the end of the interval, though falling.
    RigidBody above = fallingSphere(3.0, -1);
    EXPECT_EQ(groundTimeOfImpact(above, 0.1f).time, -1.0f);
    // Touching at the end but at no sample before it: 99 hundredths.
    RigidBody late = fallingSphere(1.0 + 10.0 * 0.0999, -10);
    late.force = {};
    EXPECT_EQ(groundTimeOfImpact(late, 0.1f).time, sampleTime(99, 0.1f));
    // The floor under the body counts, not the ground.
    RigidBody onBox = fallingSphere(3.5, -10);
    onBox.floorHeight = 2.0f;
    EXPECT_EQ(groundTimeOfImpact(onBox, 0.1f).time, sampleTime(47, 0.1f));
}

TEST(GroundTimeOfImpact, BoxRestsOrIsTooSlow) {
    RigidBody sunk = fallingCube(0.9, -20);
    EXPECT_EQ(groundTimeOfImpact(sunk, 0.1f).time, -1.0f);
    RigidBody slow = fallingCube(1.0001, -0.009);
    slow.force = {};
    EXPECT_EQ(groundTimeOfImpact(slow, 0.1f).time, -1.0f);
    // A turned box measures from its turned lowest corner: sqrt(2) below
    // its centre at 45 degrees, so at 1.4 its corner is already in the floor.
    RigidBody turned = fallingCube(1.4, -20);
    turned.box.reorient(0.0, M_PI / 4, 0.0, pivotCentre);
    EXPECT_EQ(groundTimeOfImpact(turned, 0.1f).time, -1.0f);
    EXPECT_DOUBLE_EQ(lowestCornerOffset(turned.box), -std::sqrt(2.0));
}

TEST(EarliestGroundHit, RecordsEveryBoxsLowestCornerWhateverItFinds) {
    GravityWorld w;
    for (int i = 0; i < 7; ++i) w.bodies[i]->position = {10.0 * i, 0, 50};
    w.bodies[3]->box.reorient(0.0, M_PI / 4, 0.0, pivotCentre);
    w.bodies[3]->radius = 5.0f;
    w.bodies[4]->position.z = 0.5;  // sunk: no impact, radius written all the same
    w.bodies[4]->radius = 5.0f;
    w.clearForces();
    w.applyForces();
    Island all = w.everyBody();
    EXPECT_EQ(w.earliestGroundHit(all, 0.1f), -1.0f);
    EXPECT_FLOAT_EQ(w.bodies[3]->radius, static_cast<float>(-std::sqrt(2.0)));
    EXPECT_EQ(w.bodies[4]->radius, -1.0f);
    EXPECT_EQ(w.bodies[0]->radius, 1.0f);  // the sphere keeps its radius
}

TEST(GroundTimeOfImpact, SpinningBoxSamplesItsTurningCorners) {
    // Level at the start, 1.2 above the floor, not falling; only the turn
    // brings a corner down (to -sqrt(2) at 45 degrees).
    RigidBody b = fallingCube(1.2, 0);
    b.force = {};
    b.velocity = {0.5, 0, 0};
    b.spin = {0, M_PI / 4 / 0.1, 0};
    const float t = groundTimeOfImpact(b, 0.1f).time;
    EXPECT_GT(t, 0.0f);
    EXPECT_LT(t, 0.1f);
    // The sample after t is in contact, t itself is not.
    BoxShape posed = b.box;
    auto bottom = [&](float s) {
        const Vec3 a = b.predictAngles(s, b.spin);
        posed.reorient(a.x, a.y, a.z, pivotCentre);
        return b.position.z + posed.corners[posed.lowestCornerIndex()].z;
    };
    const int k = static_cast<int>(std::lround(t / (0.1f * 0.01f)));
    EXPECT_GT(bottom(sampleTime(k, 0.1f)), 0.0);
    EXPECT_LE(bottom(sampleTime(k + 1, 0.1f)), 0.0);
}

TEST(GroundTimeOfImpact, InertKindsNeverHit) {
    RigidBody b = fallingSphere(1.5, -10);
    b.kind = 0;
    EXPECT_EQ(groundTimeOfImpact(b, 0.1f).time, -1.0f);
}

TEST(EarliestGroundHit, TakesTheStrictlyEarliestAndTiesGoLow) {
    GravityWorld w;
    for (int i = 0; i < 7; ++i) {
        RigidBody& b = *w.bodies[i];
        b.position = {10.0 * i, 0, 50};
        b.velocity = {};
        b.spin = {};
    }
    w.clearForces();
    w.applyForces();
    Island all = w.everyBody();
    RigidBody* marker = w.bodies[6].get();
    all.hitA = marker;
    EXPECT_EQ(w.earliestGroundHit(all, 0.1f), -1.0f);
    EXPECT_EQ(all.hitA, marker);  // left as it was

    w.bodies[2]->position.z = 1.5;
    w.bodies[2]->velocity.z = -10;
    w.bodies[5]->position.z = 1.5;
    w.bodies[5]->velocity.z = -10;
    EXPECT_EQ(w.earliestGroundHit(all, 0.1f), 0.047f);
    EXPECT_EQ(all.hitA, w.bodies[2].get());

    w.bodies[5]->velocity.z = -11;
    EXPECT_LT(w.earliestGroundHit(all, 0.1f), 0.047f);
    EXPECT_EQ(all.hitA, w.bodies[5].get());
}

TEST(GroundResponse, SphereBouncesAtThreeQuarters) {
    RigidBody s = fallingSphere(1, -10);
    s.force = {};
    s.spin = {2, 0, 0};
    s.groundResponse(0.0f);
    EXPECT_EQ(s.velocity.z, 7.5);
    EXPECT_EQ(s.spin.x, 2.0 * static_cast<double>(0.999999f));
}

TEST(GroundResponse, BoxBouncesAtHalfWithASpinKick) {
    RigidBody b = fallingCube(1, 0);
    b.force = {};
    b.velocity = {2, 0, -4};
    b.spin = {0.5, 1, 0};
    b.groundResponse(0.0f);
    EXPECT_EQ(b.velocity.x, 1.0);
    EXPECT_EQ(b.velocity.z, 2.0);
    EXPECT_EQ(b.spin.x, 0.75 * 0.5);
    EXPECT_EQ(b.spin.y, 0.75 * (1.0 + static_cast<double>(0.05f) * 2.0));
    EXPECT_EQ(b.spin.z, 0.0);

    RigidBody soft = fallingCube(1, 0);
    soft.force = {};
    soft.restitution = 0.5f;
    soft.velocity = {0, 0, -4};
    soft.spin = {1, 0, 0};
    soft.groundResponse(0.0f);
    EXPECT_EQ(soft.velocity.z, 1.0);
    EXPECT_EQ(soft.spin.x, 0.375);

    RigidBody inert = fallingSphere(1, -10);
    inert.kind = 5;
    inert.groundResponse(0.5f);
    EXPECT_EQ(inert.velocity.z, -10.0);
    EXPECT_EQ(inert.position.z, 1.0);
}

TEST(LandOnFloor, PutsTheBodyOnItsFloorAtRestAndNeverRaisesIt) {
    RigidBody sphere = fallingSphere(1.5, -0.05);
    sphere.floorHeight = 0.25f;
    sphere.spin = {0.5, 0, 0};
    sphere.landOnFloor(0.01f);
    EXPECT_EQ(sphere.position.z, 1.25);
    EXPECT_EQ(sphere.velocity.length(), 0.0);
    EXPECT_EQ(sphere.spin.x, 0.5);  // spin is not the floor's business

    // A turned box rests on its lowest corner.
    RigidBody box = fallingCube(2.0, -0.005);
    box.force = {};
    box.box.reorient(0.0, M_PI / 4, 0.0, pivotCentre);
    box.angles = {0.0, M_PI / 4, 0.0};
    box.landOnFloor(0.0f);
    EXPECT_EQ(box.position.z, -lowestCornerOffset(box.box));
    EXPECT_NEAR(box.position.z, std::sqrt(2.0), 1e-12);

    // Already lower than its resting height: it stays where it is.
    RigidBody sunk = fallingSphere(0.9, -0.05);
    sunk.force = {};
    sunk.landOnFloor(0.0f);
    EXPECT_EQ(sunk.position.z, 0.9);
    EXPECT_EQ(sunk.velocity.length(), 0.0);

    RigidBody inert = fallingSphere(1.5, -0.05);
    inert.kind = 0;
    inert.landOnFloor(0.1f);
    EXPECT_EQ(inert.position.z, 1.5);
    EXPECT_EQ(inert.velocity.z, -0.05);
}

TEST(ArrivesAtRest, ComparesTheSpeedAtTheImpactWithTheRestSpeedOfTheKind) {
    RigidBody sphere = fallingSphere(1.0, -0.05);
    sphere.force = {};
    EXPECT_TRUE(arrivesAtRest(sphere, 0.01f));
    sphere.velocity.z = -0.2;
    EXPECT_FALSE(arrivesAtRest(sphere, 0.01f));
    // Gravity counts: 0.05 m/s now, 0.05 + 9.81 * 0.01 at the impact.
    RigidBody falling = fallingSphere(1.0, -0.05);
    EXPECT_FALSE(arrivesAtRest(falling, 0.01f));

    RigidBody box = fallingCube(1.0, -0.005);
    box.force = {};
    EXPECT_TRUE(arrivesAtRest(box, 0.01f));
    box.velocity.z = -0.05;  // a sphere this slow would rest, a box not
    EXPECT_FALSE(arrivesAtRest(box, 0.01f));
    box.kind = 0;
    box.velocity = {};
    EXPECT_FALSE(arrivesAtRest(box, 0.01f));
}
