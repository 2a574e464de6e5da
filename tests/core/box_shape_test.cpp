#include "core/box_shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

BoxShape cube(float edge) {
    BoxShape b;
    b.width = b.length = b.height = edge;
    b.resetCorners();
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
