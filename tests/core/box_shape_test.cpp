#include "prallwerk/core/box_shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "prallwerk/math/trig.h"
#include "tests/support/body_geometry.h"

using namespace prallwerk;

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

// Turning uses the engine's own sine and cosine. At 0.473 rad glibc's cosine
// is one unit in the last place above the correctly rounded one, so a C
// library call would show here.
TEST(BoxShape, TurnsWithTheEngineSineAndCosine) {
    BoxShape b = cube(2.0f);
    b.rotateCorners(0.0, 0.0, 0.473);
    const SinCos turn = sinCos(0.473);
    EXPECT_EQ(turn.cos, 0x1.c7c907eb6a1bdp-1);
    // Corner 1 is (1, -1, -1): x' = x c - y s, y' = x s + y c.
    EXPECT_EQ(b.corners[1].x, turn.cos + turn.sin);
    EXPECT_EQ(b.corners[1].y, turn.sin - turn.cos);
}

// Turned boxes are remembered by their edges and angles. Many boxes posed in
// turn, some again and again, more than the memory holds and in every order,
// must each get exactly the corners of a box turned afresh.
TEST(BoxShape, RememberedTurnsAreTheCornersOfAFreshTurn) {
    struct Pose {
        float edges[3];
        double angles[3];
    };
    std::vector<Pose> poses;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0;
    };
    // Boxes of different edges at the same angles, and the same box at
    // different angles, are different turns.
    double angles[12][3];
    for (auto& a : angles) {
        a[0] = next() < 0.3 ? 0.0 : next() * 6.0 - 3.0;
        a[1] = next() * 6.0 - 3.0;
        a[2] = next() < 0.3 ? 0.0 : next();
    }
    for (int i = 0; i < 200; ++i) {
        const double* a = angles[i % 12];
        poses.push_back({{static_cast<float>(1 + i / 12 % 4), static_cast<float>(1 + i / 48), 2.0f},
                         {a[0], a[1], a[2]}});
    }
    int checked = 0;
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 600; ++k) {
            // Mostly a few poses over and over, as resting boxes are posed;
            // now and then any of them.
            const Pose& pose = poses[k % 7 == 0 ? static_cast<size_t>(next() * poses.size()) : (k * 3 + round) % 9];
            BoxShape box;
            box.width = pose.edges[0];
            box.length = pose.edges[1];
            box.height = pose.edges[2];
            box.resetCorners();
            box.reorient(pose.angles[0], pose.angles[1], pose.angles[2], pivotCentre);
            BoxShape fresh = box;
            fresh.resetCorners();
            fresh.rotateCorners(pose.angles[0], pose.angles[1], pose.angles[2]);
            ASSERT_EQ(std::memcmp(box.corners, fresh.corners, sizeof box.corners), 0) << "pose at step " << k;
            ASSERT_EQ(box.halfDiagonal, fresh.halfDiagonal);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1800);
}
