#include "core/rigid_body.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

BoxShape cube(float edge) {
    BoxShape b;
    b.width = b.length = b.height = edge;
    b.resetCorners();
    return b;
}

RigidBody cubeBody() {
    RigidBody b(1.0f);
    b.kind = kindBox;
    b.box = cube(2.0f);
    return b;
}

}  // namespace

TEST(BoxShape, ResetCornersFollowsTheNumbering) {
    BoxShape b;
    b.width = 2;
    b.length = 4;
    b.height = 6;
    b.resetCorners();
    EXPECT_EQ(b.corners[6].x, 2.0);
    EXPECT_EQ(b.corners[6].y, 1.0);
    EXPECT_EQ(b.corners[6].z, 3.0);
    EXPECT_EQ(b.corners[0].x, -2.0);
    EXPECT_EQ(b.corners[0].y, -1.0);
    EXPECT_EQ(b.corners[0].z, -3.0);
    EXPECT_EQ(b.corners[3].y, 1.0);
    EXPECT_EQ(b.corners[3].z, -3.0);
    EXPECT_EQ(b.halfLength, 2.0f);
    EXPECT_EQ(b.halfDiagonal, static_cast<float>(std::sqrt(14.0)));
    // Opposite corners are mirror images through the centre.
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(b.corners[i].x, -b.corners[i ^ 6].x);
        EXPECT_EQ(b.corners[i].y, -b.corners[i ^ 6].y);
        EXPECT_EQ(b.corners[i].z, -b.corners[i ^ 6].z);
    }
}

TEST(BoxShape, RotationsTurnAboutXThenYThenZAndSkipExactZeros) {
    BoxShape b = cube(2.0f);
    const BoxShape before = b;
    b.rotateCorners(0.0, 0.0, 0.0);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(std::memcmp(&b.corners[i], &before.corners[i], sizeof(Vec3)), 0);
    }
    // A quarter turn about z takes corner 1 (+x, -y) to (+y, +x) = (1, 1).
    b.rotateCorners(0.0, 0.0, M_PI / 2);
    EXPECT_NEAR(b.corners[1].x, 1.0, 1e-15);
    EXPECT_NEAR(b.corners[1].y, 1.0, 1e-15);
    // Order matters: x then y differs from y then x.
    BoxShape xy = cube(2.0f), yx = cube(2.0f);
    xy.rotateCorners(0.3, 0.5, 0.0);
    yx.rotateCorners(0.0, 0.5, 0.0);
    yx.rotateCorners(0.3, 0.0, 0.0);
    EXPECT_GT(std::fabs(xy.corners[6].x - yx.corners[6].x), 1e-3);
}

TEST(BoxShape, ReorientReportsThePivotShift) {
    BoxShape b = cube(2.0f);
    const BoxShape before = b;
    for (int bad : {9, -1, 100}) {
        BoxShape c = before;
        c.rotateCorners(0.1, 0.2, 0.3);
        const BoxShape turned = c;
        const Vec3 d = c.reorient(1.0, 1.0, 1.0, bad);
        EXPECT_EQ(d.length(), 0.0);
        EXPECT_EQ(c.corners[5].x, turned.corners[5].x);  // untouched
    }
    const Vec3 centre = b.reorient(0.0, 0.0, M_PI / 2, pivotCentre);
    EXPECT_EQ(centre.length(), 0.0);

    BoxShape p = before;
    const Vec3 d = p.reorient(0.0, 0.0, M_PI / 2, 0);
    EXPECT_EQ(d.x, p.corners[0].x - before.corners[0].x);
    EXPECT_EQ(d.y, p.corners[0].y - before.corners[0].y);
}

TEST(BoxShape, LowestCornerKeepsTheLowerIndexOnTies) {
    BoxShape b = cube(2.0f);
    EXPECT_EQ(b.lowestCornerIndex(), 0);  // 0..3 tie
    b.corners[2].z = -1.5;
    EXPECT_EQ(b.lowestCornerIndex(), 2);
    b.corners[7].z = -1.5;
    EXPECT_EQ(b.lowestCornerIndex(), 2);
    b.corners[7].z = -2.0;
    EXPECT_EQ(b.lowestCornerIndex(), 7);
}

TEST(WrapAngles, KeepsTheClosedRangeAndSubtractsWholeTurns) {
    const Vec3 w = wrapAngles(7.0, -7.0, 6.0);
    EXPECT_EQ(w.x, 7.0 - twoPi);
    EXPECT_EQ(w.y, -7.0 + twoPi);
    EXPECT_EQ(w.z, 6.0);
    const Vec3 edges = wrapAngles(twoPi, -twoPi, -6.0);
    EXPECT_EQ(edges.x, twoPi);
    EXPECT_EQ(edges.y, -twoPi);
    EXPECT_EQ(edges.z, -6.0);
    EXPECT_EQ(twoPi, static_cast<double>(static_cast<float>(2.0 * M_PI)));
}

TEST(WrapAngles, MatchesRepeatedSubtractionBitForBitForDozensOfTurns) {
    for (double a = -60 * twoPi; a <= 60 * twoPi; a += 0.37113) {
        double expected = a;
        while (expected > twoPi) expected -= twoPi;
        while (expected < -twoPi) expected += twoPi;
        ASSERT_EQ(wrapAngles(a, 0, 0).x, expected) << a;
    }
}

TEST(WrapAngles, NeverHangsOnHugeOrNonFiniteAngles) {
    const double inf = std::numeric_limits<double>::infinity();
    const Vec3 bad = wrapAngles(inf, -inf, std::nan(""));
    EXPECT_EQ(bad.x, 0.0);
    EXPECT_EQ(bad.y, 0.0);
    EXPECT_EQ(bad.z, 0.0);
    for (double a : {1e6, -1e6, 1e17, -1e300, 1.7976931348623157e308}) {
        const double r = wrapAngles(a, 0, 0).x;
        EXPECT_LE(r, twoPi) << a;
        EXPECT_GE(r, -twoPi) << a;
    }
    // A remainder, not a guess: a whole number of turns plus 1 comes back as 1.
    EXPECT_NEAR(wrapAngles(1000.0 * twoPi + 1.0, 0, 0).x, 1.0, 1e-9);
}

TEST(RigidBody, AdvanceIsSemiImplicitEuler) {
    RigidBody s(2.0f);
    s.kind = kindSphere;
    s.force = {0, 0, -9.81 * 2.0};
    const float dt = 0.1f;
    s.advance(dt, pivotCentre);
    const double t = dt;
    EXPECT_DOUBLE_EQ(s.velocity.z, -9.81 * t);
    EXPECT_DOUBLE_EQ(s.position.z, -9.81 * t * t);  // moved with the new velocity
    // 1 / mass is formed once in double precision.
    RigidBody m(3.0f);
    m.force = {1, 0, 0};
    EXPECT_EQ(m.predictVelocity(1.0f).x, 1.0 * (1.0 / 3.0));
}

TEST(RigidBody, AdvanceTurnsABoxAboutItsPivot) {
    RigidBody centre = cubeBody();
    centre.spin = {0, 0, 1};
    centre.advance(0.5f, pivotCentre);
    EXPECT_EQ(centre.position.length(), 0.0);
    EXPECT_EQ(centre.angles.z, 0.5);
    EXPECT_NEAR(centre.box.corners[1].x, std::cos(0.5) + std::sin(0.5), 1e-15);

    RigidBody corner = cubeBody();
    corner.spin = {0.4, -0.7, 0.2};
    const Vec3 before = corner.position + corner.box.corners[0];
    corner.advance(0.5f, 0);
    const Vec3 after = corner.position + corner.box.corners[0];
    EXPECT_NEAR(after.x, before.x, 1e-14);
    EXPECT_NEAR(after.y, before.y, 1e-14);
    EXPECT_NEAR(after.z, before.z, 1e-14);
    EXPECT_GT(corner.position.length(), 0.1);  // the centre swung round the corner

    RigidBody inert(1.0f);
    inert.kind = 3;
    inert.velocity = {1, 1, 1};
    inert.spin = {1, 1, 1};
    inert.advance(1.0f, pivotCentre);
    EXPECT_EQ(inert.position.length(), 0.0);
    EXPECT_EQ(inert.angles.length(), 0.0);
    EXPECT_EQ(inert.velocity.x, 1.0);
}
