// Quaternions: the product, unit length, turning vectors and their matrices,
// the classic box's angle convention (about x, then y, then z) and back, and
// the orientation's integration step.
#include "prallwerk/math/quat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tests/support/vec3_within.h"

using namespace prallwerk;

namespace {

// Unit-sized results of a few roundings each.
constexpr double fewRoundings = 1e-15;
// What an angle read back through the arc functions may lose.
constexpr double roundTrip = 1e-12;
constexpr double halfPi = 1.5707963267948966;
constexpr double pi = 3.141592653589793;


bool sameQuat(const Quat& a, const Quat& b) { return a.w == b.w && a.x == b.x && a.y == b.y && a.z == b.z; }

double lengthOf(const Quat& q) { return std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z); }

// The turn about a unit axis by an angle, written with the C library's
// sine and cosine.
Quat aboutAxis(const Vec3& axis, double angle) {
    const double s = std::sin(angle / 2);
    return {std::cos(angle / 2), s * axis.x, s * axis.y, s * axis.z};
}

Quat randomUnit(std::mt19937_64& rng) {
    std::normal_distribution<double> g;
    const Quat q{g(rng), g(rng), g(rng), g(rng)};
    const double l = lengthOf(q);
    return {q.w / l, q.x / l, q.y / l, q.z / l};
}

// Rz(c) Ry(b) Rx(a) v with the elementary rotations written out, as the
// classic box turns its corners.
Vec3 turnedXYZ(const Vec3& angles, Vec3 v) {
    const double ca = std::cos(angles.x), sa = std::sin(angles.x);
    v = {v.x, ca * v.y - sa * v.z, sa * v.y + ca * v.z};
    const double cb = std::cos(angles.y), sb = std::sin(angles.y);
    v = {cb * v.x + sb * v.z, v.y, cb * v.z - sb * v.x};
    const double cc = std::cos(angles.z), sc = std::sin(angles.z);
    return {cc * v.x - sc * v.y, sc * v.x + cc * v.y, v.z};
}

// Whether two orientations turn the three axes alike.
::testing::AssertionResult sameTurn(const Quat& a, const Quat& b, double tolerance) {
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const Vec3& e : axes) {
        const ::testing::AssertionResult r = within(rotated(a, e), rotated(b, e), tolerance);
        if (!r) return r;
    }
    return ::testing::AssertionSuccess();
}

const Vec3 someVectors[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.3, -2.0, 1.5}, {-4.0, 0.25, -0.5}};

}  // namespace

TEST(QuatProduct, HamiltonsRules) {
    const Quat one{}, i{0, 1, 0, 0}, j{0, 0, 1, 0}, k{0, 0, 0, 1};
    const Quat minusOne{-1, 0, 0, 0};
    const Quat a{1, 2, 3, 4}, b{5, 6, 7, 8};
    const struct {
        Quat a, b, want;
    } cases[] = {
        {i, j, k},        {j, k, i},        {k, i, j},        {j, i, {0, 0, 0, -1}}, {k, j, {0, -1, 0, 0}},
        {i, i, minusOne}, {j, j, minusOne}, {k, k, minusOne}, {one, a, a},           {a, one, a},
        {a, b, {-60, 12, 30, 24}},          {b, a, {-60, 20, 14, 32}},
    };
    for (const auto& c : cases) {
        const Quat got = c.a * c.b;
        EXPECT_TRUE(sameQuat(got, c.want)) << got.w << " " << got.x << " " << got.y << " " << got.z;
    }
}

TEST(UnitQuat, ScalesToUnitLengthOrGivesTheIdentity) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        Quat q, want;
    } cases[] = {
        {{2, 0, 0, 0}, {1, 0, 0, 0}},    {{0, -3, 0, 4}, {0, -0.6, 0, 0.8}}, {{1, 1, 1, 1}, {0.5, 0.5, 0.5, 0.5}},
        {{0, 0, 0, 0}, {}},              {{-0.0, 0, -0.0, 0}, {}},           {{nan, 1, 0, 0}, {}},
        {{1, inf, 0, 0}, {}},            {{0, 0, -inf, 0}, {}},
    };
    for (const auto& c : cases) {
        const Quat got = unitQuat(c.q);
        EXPECT_NEAR(got.w, c.want.w, fewRoundings);
        EXPECT_NEAR(got.x, c.want.x, fewRoundings);
        EXPECT_NEAR(got.y, c.want.y, fewRoundings);
        EXPECT_NEAR(got.z, c.want.z, fewRoundings);
    }
}

TEST(Rotated, QuarterTurnsAboutEachAxisAndBack) {
    const struct {
        Vec3 axis, v, want;
    } cases[] = {
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},  {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
        {{0, 0, 1}, {0, 0, 2.5}, {0, 0, 2.5}}, {{1, 0, 0}, {3, 4, 5}, {3, -5, 4}},
    };
    for (const auto& c : cases) {
        const Quat q = aboutAxis(c.axis, halfPi);
        EXPECT_TRUE(within(rotated(q, c.v), c.want, fewRoundings));
        EXPECT_TRUE(within(unrotated(q, c.want), c.v, 4 * fewRoundings));
    }
}

TEST(MatrixOf, TurnsAsRotatedAndItsTransposeAsUnrotated) {
    std::mt19937_64 rng(5);
    for (int n = 0; n < 200; ++n) {
        const Quat q = randomUnit(rng);
        const Mat3 m = matrixOf(q);
        for (const Vec3& v : someVectors) {
            EXPECT_TRUE(within(m * v, rotated(q, v), 8 * fewRoundings));
            EXPECT_TRUE(within(transposeTimes(m, v), unrotated(q, v), 8 * fewRoundings));
        }
        // Rows orthonormal.
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(dot(m.row[r], m.row[c]), r == c ? 1.0 : 0.0, 4 * fewRoundings);
        }
    }
}

TEST(QuatFromAngles, TurnsAboutXThenYThenZ) {
    const Vec3 table[] = {
        {0, 0, 0},       {0.5, 0, 0},     {0, -0.7, 0},     {0, 0, 2.0},       {0.3, 0.4, 0.5},
        {-2.5, 1.2, 3.0}, {3.1, -1.5, -0.2}, {1.0, halfPi, -1.0}, {-pi, -halfPi, pi}, {6.0, -5.0, 12.5},
    };
    for (const Vec3& a : table) {
        const Quat q = quatFromAngles(a);
        EXPECT_NEAR(lengthOf(q), 1.0, fewRoundings);
        for (const Vec3& v : someVectors) EXPECT_TRUE(within(rotated(q, v), turnedXYZ(a, v), 8 * fewRoundings));
    }
    // About one axis the quaternion is the half angle's cosine and sine.
    const Quat x = quatFromAngles({0.8, 0, 0});
    EXPECT_TRUE(sameQuat(x, {std::cos(0.4), std::sin(0.4), 0, 0}));
}

TEST(AnglesOf, GivesBackTheAnglesAwayFromTheLock) {
    const double outer[] = {-3.1, -2.0, -0.5, -1e-9, 0.0, 0.7, 1.9, 3.0};
    const double middle[] = {-1.55, -1.2, -0.3, 0.0, 1e-7, 0.9, 1.5, 1.56};
    int checked = 0;
    for (double x : outer) {
        for (double y : middle) {
            for (double z : outer) {
                const Vec3 a{x, y, z};
                EXPECT_TRUE(within(anglesOf(quatFromAngles(a)), a, roundTrip));
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 8 * 8 * 8);
}

TEST(AnglesOf, HalfTurnsComeOutExactly) {
    // Each half turn's angles are sums of +-pi/2 from the arc tangents of
    // the axes, exact in double; pi and -pi both lie within range and stay.
    const struct {
        Quat q;
        Vec3 want;
    } cases[] = {
        {{1, 0, 0, 0}, {0, 0, 0}},   {{-1, 0, 0, 0}, {0, 0, 0}},  {{0, 1, 0, 0}, {pi, 0, 0}},
        {{0, -1, 0, 0}, {-pi, 0, 0}}, {{0, 0, 0, 1}, {0, 0, pi}}, {{0, 0, 0, -1}, {0, 0, -pi}},
        {{0, 0, 1, 0}, {pi, 0, pi}},
    };
    for (const auto& c : cases) {
        const Vec3 a = anglesOf(c.q);
        EXPECT_TRUE(within(a, c.want, 0)) << c.q.w << " " << c.q.x << " " << c.q.y << " " << c.q.z;
    }
}

TEST(AnglesOf, AtTheLockXIsZeroAndTheTurnIsTheSame) {
    const double outer[] = {-3.0, -1.0, 0.0, 0.4, 2.2};
    for (double sign : {1.0, -1.0}) {
        for (double x : outer) {
            for (double z : outer) {
                const Quat q = quatFromAngles({x, sign * halfPi, z});
                const Vec3 a = anglesOf(q);
                EXPECT_EQ(a.x, 0.0);
                EXPECT_EQ(a.y, sign * halfPi);
                EXPECT_TRUE(sameTurn(quatFromAngles(a), q, roundTrip)) << x << " " << z;
                // At +pi/2 only z - x counts, at -pi/2 only z + x.
                const double combined = std::remainder(sign > 0 ? z - x : z + x, 2 * pi);
                EXPECT_NEAR(std::remainder(a.z - combined, 2 * pi), 0.0, roundTrip);
            }
        }
    }
}

TEST(AnglesOf, NearTheLockTheTurnStaysTrue) {
    // Where the outer angles are ill-conditioned the orientation they give
    // back is not.
    for (double gap : {1e-5, 1e-9, 1e-13}) {
        for (double sign : {1.0, -1.0}) {
            const Quat q = quatFromAngles({0.9, sign * (halfPi - gap), -2.3});
            EXPECT_TRUE(sameTurn(quatFromAngles(anglesOf(q)), q, roundTrip)) << gap;
        }
    }
}

TEST(AnglesOf, AnyUnitQuaternionWithinRangeAndTurningAlike) {
    std::mt19937_64 rng(11);
    for (int n = 0; n < 2000; ++n) {
        const Quat q = randomUnit(rng);
        const Vec3 a = anglesOf(q);
        ASSERT_LE(std::fabs(a.x), pi);
        ASSERT_LE(std::fabs(a.y), halfPi);
        ASSERT_LE(std::fabs(a.z), pi);
        ASSERT_TRUE(sameTurn(quatFromAngles(a), q, roundTrip));
        // q and -q are one orientation, and give the same angles.
        ASSERT_TRUE(within(anglesOf({-q.w, -q.x, -q.y, -q.z}), a, roundTrip));
    }
}

TEST(TurnedBy, KeepsUnitLength) {
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> rate(-20.0, 20.0);
    Quat q{};
    for (int n = 0; n < 10000; ++n) {
        q = turnedBy(q, {rate(rng), rate(rng), rate(rng)}, 1.0 / 60);
        ASSERT_NEAR(lengthOf(q), 1.0, 4e-16);
    }
    const Quat still = turnedBy(q, {}, 0.5);
    EXPECT_TRUE(sameTurn(still, q, 4 * fewRoundings));
}

TEST(TurnedBy, OneStepTurnsByTwiceTheArcTangentOfHalfTheAngle) {
    // From the identity, (1, dt/2 omega) made unit is the turn about omega
    // by 2 atan(|omega| dt / 2): the first-order step's own closed form.
    const double w = 3.0, dt = 0.25;
    const Quat q = turnedBy({}, {0, 0, w}, dt);
    EXPECT_EQ(q.x, 0.0);
    EXPECT_EQ(q.y, 0.0);
    EXPECT_NEAR(q.z / q.w, w * dt / 2, fewRoundings);
    EXPECT_GT(q.w, 0.0);
}

TEST(TurnedBy, TurnsAboutWorldAxesNotTheBodys) {
    // A body turned a quarter about x, spun about world z: its axes turn
    // about world z (to second order in the step), not about its own z.
    const Quat q0 = aboutAxis({1, 0, 0}, halfPi);
    const double w = 2.0, dt = 1e-3;
    const Quat q = turnedBy(q0, {0, 0, w}, dt);
    const Quat worldTurn = aboutAxis({0, 0, 1}, w * dt);
    for (const Vec3& v : someVectors) {
        EXPECT_TRUE(within(rotated(q, v), rotated(worldTurn, rotated(q0, v)), 5 * w * w * w * dt * dt * dt));
    }
}
