#include "app/logic/arcball.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/logic/app_state.h"

namespace {

constexpr float tolerance = 1e-6f;

// Window 1024 x 768: pixel 0 maps to -1 and pixel 1023 (767) to +1.
const Point2 centre{511.5f, 383.5f};
const Point2 rightEdge{1023.0f, 383.5f};

void expectMatrix(const Mat3& m, const float (&expected)[9]) {
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m.m[i], expected[i], tolerance) << "element " << i;
}

float length(const Float3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(ArcBallMapping, CentreIsTheFrontOfTheSphereAndOutsidePointsGoOntoTheRim) {
    const ArcBall ball(1024.0f, 768.0f);
    const Float3 front = ball.mapToSphere(centre);
    EXPECT_EQ(front.x, 0.0f);
    EXPECT_EQ(front.y, 0.0f);
    EXPECT_EQ(front.z, 1.0f);

    const Float3 edge = ball.mapToSphere(rightEdge);  // exactly on the circle
    EXPECT_EQ(edge.x, 1.0f);
    EXPECT_EQ(edge.z, 0.0f);

    const Float3 corner = ball.mapToSphere({0.0f, 0.0f});  // top-left: x -1, y +1
    EXPECT_EQ(corner.z, 0.0f);
    EXPECT_NEAR(corner.x, -std::sqrt(0.5f), tolerance);
    EXPECT_NEAR(corner.y, std::sqrt(0.5f), tolerance);
    EXPECT_NEAR(length(corner), 1.0f, tolerance);
}

TEST(ArcBallMapping, SetBoundsRemapsTheSamePixels) {
    ArcBall ball(1024.0f, 768.0f);
    ball.setBounds(512.0f, 384.0f);
    const Float3 p = ball.mapToSphere({511.0f, 191.5f});  // now the right edge of the circle
    EXPECT_EQ(p.x, 1.0f);
    EXPECT_NEAR(p.y, 0.0f, tolerance);
}

TEST(ArcBallDrag, CentreToRightEdgeTurnsHalfWayRoundTheVerticalAxis) {
    ArcBall ball(1024.0f, 768.0f);
    ball.click(centre);
    const Quat q = ball.drag(rightEdge);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.y, 1.0f);
    EXPECT_EQ(q.z, 0.0f);
    EXPECT_EQ(q.w, 0.0f);
    expectMatrix(quatToMatrix(q), {-1, 0, 0, 0, 1, 0, 0, 0, -1});
}

TEST(ArcBallDrag, NoMovementIsNoRotation) {
    ArcBall ball(1024.0f, 768.0f);
    ball.click({300.0f, 200.0f});
    const Quat q = ball.drag({300.0f, 200.0f});
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.w, 0.0f);
    expectMatrix(quatToMatrix(q), {1, 0, 0, 0, 1, 0, 0, 0, 1});
}

TEST(Matrices, QuaternionToMatrixIsColumnMajorAndNormalises) {
    // A quarter turn about z, given at twice unit length.
    const float h = 2.0f * std::sqrt(0.5f);
    const Mat3 r = quatToMatrix({0.0f, 0.0f, h, h});
    // Columns: x goes to y, y goes to -x.
    expectMatrix(r, {0, 1, 0, -1, 0, 0, 0, 0, 1});
}

TEST(Matrices, MultiplyIsTheOrdinaryProductInPlace) {
    Mat3 a;
    a.m[3] = 2.0f;  // (0, 1)
    Mat3 b;
    b.m[1] = 3.0f;  // (1, 0)
    multiplyMatrix(a, b);
    // [1 2 0; 0 1 0; 0 0 1] x [1 0 0; 3 1 0; 0 0 1] = [7 2 0; 3 1 0; 0 0 1]
    expectMatrix(a, {7, 3, 0, 2, 1, 0, 0, 0, 1});
}

TEST(Matrices, SetRotationKeepsScaleAndTranslation) {
    Mat4 m;
    for (int i : {0, 5, 10}) m.m[i] = 2.0f;
    m.m[12] = 7.0f;
    m.m[14] = -3.0f;
    Mat3 quarterTurn;
    quarterTurn.m[0] = 0.0f;
    quarterTurn.m[1] = 1.0f;
    quarterTurn.m[3] = -1.0f;
    quarterTurn.m[4] = 0.0f;
    setRotationKeepScale(m, quarterTurn);
    EXPECT_NEAR(m.m[1], 2.0f, tolerance);
    EXPECT_NEAR(m.m[4], -2.0f, tolerance);
    EXPECT_NEAR(m.m[10], 2.0f, tolerance);
    EXPECT_EQ(m.m[12], 7.0f);
    EXPECT_EQ(m.m[14], -3.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

// The per-frame step over the global rotation state and mouse input.
class ArcballStep : public ::testing::Test {
protected:
    void SetUp() override {
        arcBall = ArcBall(1024.0f, 768.0f);
        lastRotation = thisRotation = Mat3{};
        sceneTransform = Mat4{};
        isDragging = leftButtonDown = rightButtonDown = 0;
    }
    void frame(Point2 mouse, bool left, bool right = false) {
        mousePosition = mouse;
        leftButtonDown = left;
        rightButtonDown = right;
        arcballStep();
    }
    static float element(int r, int c) { return sceneTransform.m[4 * c + r]; }
};

TEST_F(ArcballStep, ClickWithoutMovingLeavesTheSceneAsItWas) {
    frame(centre, true);
    frame(centre, true);
    frame(centre, false);
    EXPECT_EQ(isDragging, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(sceneTransform.m[i], Mat4{}.m[i]);
}

TEST_F(ArcballStep, DragsAccumulateAndTheFirstFrameOfADragDoesNotTurn) {
    frame(centre, true);
    EXPECT_EQ(element(0, 0), 1.0f);
    frame(rightEdge, true);  // half a turn
    EXPECT_NEAR(element(0, 0), -1.0f, tolerance);
    frame(rightEdge, false);
    frame(centre, true);  // a second half turn brings it back
    frame(rightEdge, true);
    EXPECT_NEAR(element(0, 0), 1.0f, tolerance);
    EXPECT_NEAR(element(2, 2), 1.0f, tolerance);
}

TEST_F(ArcballStep, RightButtonResetsToIdentityWithUnitScaleAlsoDuringADrag) {
    frame(centre, true);
    frame(rightEdge, true);
    frame(rightEdge, true, true);
    EXPECT_NEAR(element(0, 0), -1.0f, tolerance);  // the drag of this frame still turns
    frame(centre, true, true);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(element(r, c), r == c ? 1.0f : 0.0f, tolerance);
    }
    frame(rightEdge, true);  // the drag goes on from the identity
    EXPECT_NEAR(element(0, 0), -1.0f, tolerance);
}

}  // namespace
