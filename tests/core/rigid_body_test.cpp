#include "prallwerk/core/rigid_body.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/body_geometry.h"

using namespace prallwerk;

namespace {

RigidBody cubeBody() {
    RigidBody b(1.0f);
    b.kind = kindBox;
    b.box = cube(2.0f);
    return b;
}

}  // namespace

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
