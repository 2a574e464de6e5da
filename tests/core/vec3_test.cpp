#include "core/vec3.h"

#include <gtest/gtest.h>

TEST(Vec3, NormalizedLeavesZeroAndScalesByReciprocal) {
    EXPECT_EQ(Vec3().normalized().length(), 0.0);
    Vec3 zero;
    zero.normalize();
    EXPECT_EQ(zero.x, 0.0);
    const Vec3 n = Vec3(3, 0, 4).normalized();
    EXPECT_EQ(n.x, 3.0 * (1.0 / 5.0));
    EXPECT_EQ(n.z, 4.0 * (1.0 / 5.0));
    EXPECT_EQ(Vec3(0, -2, 0).normalized().y, -1.0);
}
