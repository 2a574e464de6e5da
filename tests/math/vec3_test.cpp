#include "prallwerk/math/vec3.h"

#include <gtest/gtest.h>

using namespace prallwerk;

TEST(Vec3, NormalizedLeavesZeroAndScalesByReciprocal) {
    const Vec3 z = Vec3().normalized();
    EXPECT_EQ(z.x, 0.0);
    EXPECT_EQ(z.y, 0.0);
    EXPECT_EQ(z.z, 0.0);
    Vec3 zero;
    zero.normalize();
    EXPECT_EQ(zero.length(), 0.0);

    // The reciprocal is formed once and multiplied, not divided per component.
    const Vec3 n = Vec3(3, 0, 4).normalized();
    EXPECT_EQ(n.x, 3.0 * (1.0 / 5.0));
    EXPECT_EQ(n.y, 0.0);
    EXPECT_EQ(n.z, 4.0 * (1.0 / 5.0));
    const Vec3 down = Vec3(0, -2, 0).normalized();
    EXPECT_EQ(down.y, -1.0);

    Vec3 inPlace(3, 0, 4);
    inPlace.normalize();
    EXPECT_EQ(inPlace.x, n.x);
    EXPECT_EQ(inPlace.z, n.z);
}

TEST(Vec3, CrossOverwritesAndReturnsTheProduct) {
    Vec3 target(7, 8, 9);
    const Vec3 r = target.cross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(r.x, 0.0);
    EXPECT_EQ(r.y, 0.0);
    EXPECT_EQ(r.z, 1.0);
    EXPECT_EQ(target.z, 1.0);
    EXPECT_EQ(target.x, 0.0);
    const Vec3 back = Vec3().cross({0, 1, 0}, {1, 0, 0});
    EXPECT_EQ(back.z, -1.0);
}

TEST(Vec3, ScaledAddPlusNegated) {
    const Vec3 s = Vec3(2, -4, 6).scaled(0.5f);
    EXPECT_EQ(s.x, 1.0);
    EXPECT_EQ(s.y, -2.0);
    EXPECT_EQ(s.z, 3.0);
    // The factor is single precision: 0.1f, not 0.1.
    EXPECT_EQ(Vec3(1, 0, 0).scaled(0.1f).x, static_cast<double>(0.1f));

    Vec3 v(1, 2, 3);
    v.add(0.5, -2, 1);
    EXPECT_EQ(v.x, 1.5);
    EXPECT_EQ(v.y, 0.0);
    EXPECT_EQ(v.z, 4.0);
    const Vec3 p = v.plus(1, 1, 1);
    EXPECT_EQ(p.x, 2.5);
    EXPECT_EQ(v.x, 1.5);  // plus leaves the vector alone
    const Vec3 n = p.negated();
    EXPECT_EQ(n.x, -2.5);
    EXPECT_EQ(n.z, -5.0);
}
