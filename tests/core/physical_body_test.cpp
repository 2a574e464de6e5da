// Bodies under the physical rules: the inertia of boxes and spheres, the
// world-axes inverse inertia, fixed and inert bodies, the classic fields that
// follow the orientation, and free flight.
#include "prallwerk/core/physical_body.h"

#include <gtest/gtest.h>

#include <cmath>

#include "prallwerk/core/box_shape.h"
#include "prallwerk/math/bits.h"
#include "tests/support/vec3_within.h"

using namespace prallwerk;

namespace {

constexpr double cornerTolerance = 1e-12;  // m

RigidBody physicalBox(float mass, float length, float width, float height) {
    RigidBody b(mass);
    b.kind = kindBox;
    b.box.length = length;
    b.box.width = width;
    b.box.height = height;
    b.box.resetCorners();
    b.radius = static_cast<float>(lowestCornerOffset(b.box));
    return b;
}

RigidBody physicalSphere(float mass, float radius) {
    RigidBody b(mass);
    b.kind = kindSphere;
    b.radius = radius;
    return b;
}


// The turn Rz(c) Ry(b) Rx(a) as a matrix, from the C library's sine and
// cosine.
Mat3 matrixXYZ(const Vec3& a) {
    const double ca = std::cos(a.x), sa = std::sin(a.x), cb = std::cos(a.y), sb = std::sin(a.y);
    const double cc = std::cos(a.z), sc = std::sin(a.z);
    Mat3 m;
    m.row[0] = {cc * cb, cc * sb * sa - sc * ca, cc * sb * ca + sc * sa};
    m.row[1] = {sc * cb, sc * sb * sa + cc * ca, sc * sb * ca - cc * sa};
    m.row[2] = {-sb, cb * sa, cb * ca};
    return m;
}

const Vec3 turnTable[] = {
    {0, 0, 0},        {0.4, 0, 0},       {0, 0.9, 0},     {0, 0, -1.3},     {0.3, -0.6, 1.1},
    {2.9, 1.4, -2.2}, {-1.0, -1.5, 0.1}, {3.0, 0.2, 3.0}, {1.0, 1.5707963267948966, 0.5},
};

}  // namespace

TEST(PrincipalInertia, ClosedFormsOfBoxAndSphere) {
    const struct {
        RigidBody body;
        Vec3 want;
    } cases[] = {
        // m (w^2 + h^2) / 12, m (l^2 + h^2) / 12, m (l^2 + w^2) / 12
        {physicalBox(12.0f, 1.0f, 2.0f, 3.0f), {13.0, 10.0, 5.0}},
        {physicalBox(6.0f, 2.0f, 2.0f, 2.0f), {4.0, 4.0, 4.0}},
        {physicalBox(3.0f, 4.0f, 0.0f, 0.0f), {0.0, 4.0, 4.0}},
        {physicalBox(24.0f, 0.5f, 1.0f, 4.0f), {34.0, 32.5, 2.5}},
        // 2/5 m r^2
        {physicalSphere(5.0f, 2.0f), {8.0, 8.0, 8.0}},
        {physicalSphere(2.5f, 1.0f), {1.0, 1.0, 1.0}},
    };
    for (const auto& c : cases) EXPECT_TRUE(within(principalInertia(c.body), c.want, 1e-14));
    RigidBody inert(3.0f);
    inert.box.length = inert.box.width = inert.box.height = 1.0f;
    inert.radius = 1.0f;
    EXPECT_TRUE(isZero(principalInertia(inert)));
}

TEST(InverseMassOf, OneOverMassOrZeroWhenFixed) {
    RigidBody b = physicalSphere(4.0f, 1.0f);
    EXPECT_EQ(inverseMassOf(b), 0.25);
    b.fixed = true;
    EXPECT_EQ(inverseMassOf(b), 0.0);
    const RigidBody light = physicalBox(0.1f, 1, 1, 1);
    EXPECT_EQ(inverseMassOf(light), 1.0 / static_cast<double>(0.1f));
}

TEST(InverseInertiaTimes, InvertsTheTurnedInertia) {
    const Vec3 vectors[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.3, -2.0, 1.5}};
    for (const Vec3& a : turnTable) {
        RigidBody b = physicalBox(12.0f, 1.0f, 2.0f, 3.0f);
        setOrientation(b, quatFromAngles(a));
        // The world inertia R I R^T, built here from its own rotation matrix.
        const Mat3 r = matrixXYZ(a);
        const Vec3 i{13.0, 10.0, 5.0};
        for (const Vec3& v : vectors) {
            const Vec3 w = inverseInertiaTimes(b, v);
            const Vec3 local = transposeTimes(r, w);
            const Vec3 back = r * Vec3{i.x * local.x, i.y * local.y, i.z * local.z};
            EXPECT_TRUE(within(back, v, 1e-13)) << a.x << " " << a.y << " " << a.z;
        }
    }
    // Unturned, the inverse inertia is the diagonal's inverse.
    const RigidBody sphere = physicalSphere(5.0f, 2.0f);
    EXPECT_TRUE(within(inverseInertiaTimes(sphere, {8, -16, 4}), {1, -2, 0.5}, 1e-15));
}

TEST(InverseInertiaTimes, ZeroForFixedAndInertBodies) {
    RigidBody box = physicalBox(12.0f, 1.0f, 2.0f, 3.0f);
    box.fixed = true;
    EXPECT_TRUE(isZero(inverseInertiaTimes(box, {1, 2, 3})));
    RigidBody inert = physicalSphere(5.0f, 2.0f);
    inert.kind = 0;
    EXPECT_TRUE(isZero(inverseInertiaTimes(inert, {1, 2, 3})));
}

TEST(PointVelocity, VelocityPlusSpinCrossLever) {
    RigidBody b = physicalSphere(1.0f, 1.0f);
    b.position = {1, 2, 3};
    b.velocity = {0.5, 0, -1};
    b.spin = {0, 0, 2};
    EXPECT_TRUE(within(pointVelocity(b, {2, 2, 3}), {0.5, 2, -1}, 0));
    EXPECT_TRUE(within(pointVelocity(b, {1, 2, 7}), {0.5, 0, -1}, 0));
    b.spin = {1, -1, 0.5};
    // (1, -1, 0.5) x (0, 3, 0) = (-1.5, 0, 3).
    EXPECT_TRUE(within(pointVelocity(b, {1, 5, 3}), {-1.0, 0, 2}, 0));
}

TEST(SetOrientation, CornersAgreeWithTheClassicReorient) {
    for (const Vec3& a : turnTable) {
        RigidBody b = physicalBox(2.0f, 1.5f, 0.7f, 2.2f);
        setOrientation(b, quatFromAngles(a));
        BoxShape classic = b.box;
        classic.reorient(a.x, a.y, a.z, pivotCentre);
        for (int i = 0; i < 8; ++i) {
            EXPECT_TRUE(within(b.box.corners[i], classic.corners[i], cornerTolerance))
                << "corner " << i << " at " << a.x << " " << a.y << " " << a.z;
        }
        EXPECT_TRUE(sameBits(b.box.halfLength, classic.halfLength));
        EXPECT_TRUE(sameBits(b.box.halfDiagonal, classic.halfDiagonal));
        EXPECT_TRUE(sameBits(b.radius, static_cast<float>(lowestCornerOffset(classic))));
        EXPECT_TRUE(within(b.angles, anglesOf(b.orientation), 0));
    }
}

TEST(SetOrientation, MakesTheQuaternionUnitAndLeavesASpheresRadius) {
    RigidBody b = physicalSphere(1.0f, 0.75f);
    setOrientation(b, {0, 0, 0, 3});
    EXPECT_EQ(b.orientation.z, 1.0);
    EXPECT_EQ(b.orientation.w, 0.0);
    EXPECT_EQ(b.radius, 0.75f);
    EXPECT_TRUE(isZero(b.box.corners[6]));
    // A half turn about z.
    EXPECT_NEAR(std::fabs(b.angles.z), 3.141592653589793, 1e-15);
}

TEST(SetOrientation, ABoxOnItsEdgeHasTheEdgesCornerLowest) {
    // A quarter turn about y lays the box's x edge vertical; its lowest
    // corners are then half its length below the centre.
    RigidBody b = physicalBox(1.0f, 4.0f, 1.0f, 2.0f);
    setOrientation(b, quatFromAngles({0, 1.5707963267948966, 0}));
    EXPECT_NEAR(b.radius, -2.0, 1e-6);
    // Corner 6, (+, +, +) before the turn, goes to (hz, hy, -hx).
    EXPECT_TRUE(within(b.box.corners[6], {1.0, 0.5, -2.0}, cornerTolerance));
}

// The force is not flight's: the physical rules put a step's force into the
// velocity where the body's island begins its part, so the flight is a
// straight line at the velocity, bit for bit.
TEST(FlyPhysical, IsAStraightLineAtTheVelocityWhateverTheForce) {
    const float dt = 1.0f / 64;
    RigidBody b = physicalBox(2.0f, 1.0f, 1.0f, 1.0f);
    b.position = {1, -2, 10};
    b.velocity = {3, 0.5, 1};
    b.force = {0, 0, -2.0 * 9.81};
    const RigidBody before = b;
    flyPhysical(b, dt);
    const double t = dt;
    EXPECT_TRUE(sameBits(b.velocity, before.velocity));
    EXPECT_TRUE(sameBits(b.position, Vec3{1 + t * 3, -2 + t * 0.5, 10 + t * 1}));
    EXPECT_TRUE(sameBits(b.orientation.w, 1.0));
    EXPECT_TRUE(sameBits(b.box, before.box));
}

TEST(FlyPhysical, AQuarterTurnAboutZEndsAtAQuarterTurn) {
    // Each step turns by 2 atan(w dt / 2) (turnedBy's closed form), so after
    // n steps of a quarter turn's time the angle is short of pi/2 by about
    // n (w dt)^3 / 12.
    const double w = 1.5707963267948966;
    const float dt = 1.0f / 64;
    const int steps = 64;
    RigidBody b = physicalBox(1.0f, 2.0f, 1.0f, 0.5f);
    b.spin = {0, 0, w};
    for (int n = 0; n < steps; ++n) flyPhysical(b, dt);
    const double stepAngle = 2 * std::atan(w * dt / 2);
    const double shortBy = steps * std::pow(w * dt, 3) / 12;
    EXPECT_TRUE(within(b.angles, {0, 0, steps * stepAngle}, 1e-12));
    EXPECT_TRUE(within(b.angles, {0, 0, w}, 1.1 * shortBy));
    EXPECT_GT(w - b.angles.z, 0.9 * shortBy);
    // The corners follow: corner 1, (+hx, -hy, -hz), is now at (+hy, +hx, -hz).
    EXPECT_TRUE(within(b.box.corners[1], {0.5, 1.0, -0.25}, 2 * shortBy));
    EXPECT_TRUE(within(b.spin, {0, 0, w}, 0));
}

TEST(FlyPhysical, FixedAndInertBodiesDoNotChange) {
    RigidBody fixed = physicalBox(1.0f, 1.0f, 1.0f, 1.0f);
    fixed.fixed = true;
    RigidBody inert = physicalSphere(1.0f, 1.0f);
    inert.kind = 7;
    for (RigidBody* b : {&fixed, &inert}) {
        b->velocity = {1, 2, 3};
        b->spin = {0.5, 0, 1};
        b->force = {0, 0, -9.81};
        const RigidBody before = *b;
        flyPhysical(*b, 0.5f);
        EXPECT_TRUE(sameBits(*b, before));
        const PhysicalPose pose = predictPhysicalPose(*b, 0.5f);
        EXPECT_TRUE(sameBits(pose.position, before.position));
        EXPECT_EQ(pose.orientation.w, 1.0);
    }
}

TEST(PredictPhysicalPose, IsTheFlightBitForBit) {
    RigidBody b = physicalBox(3.0f, 1.0f, 2.0f, 0.5f);
    setOrientation(b, quatFromAngles({0.3, -0.2, 1.0}));
    b.velocity = {0.5, -1, 2};
    b.spin = {1.5, -0.25, 4};
    b.force = {0.3, 0, -29.4};
    for (float t : {0.001f, 1.0f / 60, 0.3f}) {
        RigidBody flown = b;
        const PhysicalPose pose = predictPhysicalPose(b, t);
        flyPhysical(flown, t);
        EXPECT_TRUE(sameBits(pose.position, flown.position)) << t;
        EXPECT_TRUE(sameBits(pose.orientation.w, flown.orientation.w) && sameBits(pose.orientation.x, flown.orientation.x) &&
                    sameBits(pose.orientation.y, flown.orientation.y) && sameBits(pose.orientation.z, flown.orientation.z))
            << t;
        // Against the closed form of the flight: p + t v, the force aside.
        const double s = t;
        EXPECT_TRUE(within(pose.position, b.position + s * b.velocity, 1e-14));
    }
}
