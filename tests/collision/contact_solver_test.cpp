#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "prallwerk/collision/contact_solver.h"
#include "tests/support/physical_bodies.h"

using namespace prallwerk;

namespace {

constexpr double gravityG = 9.81;
constexpr double solverStep = 1.0 / 60.0;

SolverContact solverContactAt(int a, int b, const Vec3& position, const Vec3& normal, double friction = 0.0,
                        double restitution = 0.0, double depth = 0.0) {
    SolverContact c;
    c.a = a;
    c.b = b;
    c.position = position;
    c.normal = normal;
    c.friction = friction;
    c.restitution = restitution;
    c.depth = depth;
    return c;
}

// The four bottom corners of a unit cube resting on the ground at the origin.
std::vector<SolverContact> cubeOnGround(double friction) {
    std::vector<SolverContact> contacts;
    for (double x : {-0.5, 0.5}) {
        for (double y : {-0.5, 0.5}) contacts.push_back(solverContactAt(0, 1, {x, y, 0.0}, {0, 0, 1}, friction));
    }
    return contacts;
}

}  // namespace

// Two spheres head on along x: the one-dimensional impact of two masses
// with restitution e.
TEST(ContactSolver, HeadOnImpactsKeepMomentumAndPartAtRestitutionTimesTheApproach) {
    struct Row {
        float massA, massB, restitution;
        double va, vb;  // a on the right (+x), approaching leftwards
    };
    for (const Row& r : {Row{1, 1, 1, -3, 2}, Row{1, 1, 0, -3, 2}, Row{1, 3, 1, -4, 0}, Row{2, 0.5f, 0.5f, -1, 1},
                         Row{5, 1, 0.8f, 0, 6}}) {
        RigidBody a = physicalSphere(0.5, r.massA, {0.5, 0, 0}, {r.va, 0, 0});
        RigidBody b = physicalSphere(0.5, r.massB, {-0.5, 0, 0}, {r.vb, 0, 0});
        a.restitution = b.restitution = r.restitution;
        std::vector<SolverBody> bodies{solverBodyOf(&a), solverBodyOf(&b)};
        std::vector<SolverContact> contacts{
            solverContactAt(0, 1, {0, 0, 0}, {1, 0, 0}, 0.0, combinedRestitution(a.restitution, b.restitution))};
        resolveImpact(bodies, contacts);
        const double ma = r.massA, mb = r.massB, e = r.restitution;
        const double p = ma * r.va + mb * r.vb;
        const double wantA = (p + mb * e * (r.vb - r.va)) / (ma + mb);
        const double wantB = (p + ma * e * (r.va - r.vb)) / (ma + mb);
        EXPECT_NEAR(a.velocity.x, wantA, 1e-12) << ma << " " << mb << " " << e;
        EXPECT_NEAR(b.velocity.x, wantB, 1e-12) << ma << " " << mb << " " << e;
        EXPECT_EQ(a.velocity.y, 0.0);
        EXPECT_TRUE(isZero(a.spin) && isZero(b.spin));
        // No warm start: the same points resolved again, their impulses
        // still those of the first impact, find the bodies parting and
        // leave them be (stale impulses would pull them back together).
        const Vec3 va = a.velocity, vb = b.velocity;
        resolveImpact(bodies, contacts);
        EXPECT_TRUE(sameBits(a.velocity, va) && sameBits(b.velocity, vb)) << ma << " " << mb << " " << e;
    }
}

// The last resort of an impact: one plastic push, along the points' mean
// normal, at the centre of its own points (a crate of 2 kg coming down at
// 3 m/s on a crate of 1 kg at rest, touching at two points 1 m apart whose
// centre is 0.2 m off both centres), whatever holds either crate up 3 m
// aside. With lever arms r = (0.2, 0, -+0.5) the push J along z meets
// 1 / m = 1/2 + 1/1 + 0.2^2 / (1/3) + 0.2^2 / (1/6) = 1.86 and stops the
// 3 m/s: J = 3 / 1.86, and turns the crates by I^-1 (r x J z).
TEST(ContactSolver, ThePlasticLastResortPushesAtTheImpactsOwnCentre) {
    RigidBody upper = physicalBox(1, 1, 1, 2.0f, {0, 0, 1}, {0, 0, -3});
    RigidBody lower = physicalBox(1, 1, 1, 1.0f, {0, 0, 0});
    std::vector<SolverBody> bodies{solverBodyOf(&upper), solverBodyOf(&lower), solverBodyOf(nullptr)};
    const std::vector<SolverContact> contacts{
        solverContactAt(0, 1, {-0.3, 0, 0.5}, Vec3{-0.1, 0, 1}.normalized(), 0.5, 1.0),
        solverContactAt(0, 1, {0.7, 0, 0.5}, Vec3{0.1, 0, 1}.normalized(), 0.5, 1.0),
        solverContactAt(0, 2, {-3, 0, 0.5}, {0, 0, 1}, 0.5, 1.0), solverContactAt(1, 2, {3, 0, -0.5}, {0, 0, 1}, 0.5, 1.0)};
    stopAtCentre(bodies, contacts);
    const double push = 3.0 / 1.86;
    EXPECT_NEAR(upper.velocity.z, -3.0 + push / 2.0, 1e-12);
    EXPECT_NEAR(lower.velocity.z, -push, 1e-12);
    EXPECT_NEAR(upper.velocity.x, 0.0, 1e-12);
    EXPECT_NEAR(upper.spin.y, -0.6 * push, 1e-12);
    EXPECT_NEAR(lower.spin.y, 1.2 * push, 1e-12);
    EXPECT_NEAR(upper.spin.x * upper.spin.x + upper.spin.z * upper.spin.z, 0.0, 1e-24);
}

// The ball meets the wall off the wall's centre, where a lever arm of the
// wall would soften the impact if a fixed body could turn.
TEST(ContactSolver, AFixedBodyTakesNothingAndTheOtherBouncesOffIt) {
    RigidBody ball = physicalSphere(0.5, 1.0f, {1.5, 1, 1.5}, {0, 0, -4});
    RigidBody wall = physicalBox(4, 4, 2, 1.0f, {0, 0, 0});
    wall.fixed = true;
    ball.restitution = 0.5f;
    std::vector<SolverBody> bodies{solverBodyOf(&ball), solverBodyOf(&wall)};
    std::vector<SolverContact> contacts{solverContactAt(0, 1, {1.5, 1, 1}, {0, 0, 1}, 0.0, 0.5)};
    resolveImpact(bodies, contacts);
    EXPECT_NEAR(ball.velocity.z, 2.0, 1e-12);
    EXPECT_TRUE(isZero(wall.velocity) && isZero(wall.spin));
    EXPECT_EQ(bodies[1].inverseMass, 0.0);
    EXPECT_TRUE(isZero(bodies[1].inverseInertia * Vec3{1, 1, 1}));
}

// A lone point needs one pass: friction has no normal impulse to lean on
// yet, and the normal impulse then makes the approach exactly the bounce.
TEST(ContactSolver, OnePassSettlesALonePoint) {
    RigidBody ball = physicalSphere(0.5, 2.0f, {0, 0, 0.5}, {1, 0, -3});
    std::vector<SolverBody> bodies{solverBodyOf(&ball), solverBodyOf(nullptr)};
    std::vector<SolverContact> contacts{solverContactAt(0, 1, {0, 0, 0}, {0, 0, 1}, 0.5, 0.5)};
    prepareContacts(bodies, contacts);
    EXPECT_DOUBLE_EQ(contacts[0].bounce, 1.5);
    solveVelocities(bodies, contacts, 1);
    EXPECT_DOUBLE_EQ(ball.velocity.z, 1.5);
    EXPECT_DOUBLE_EQ(contacts[0].normalImpulse, 2.0 * 4.5);
    EXPECT_EQ(ball.velocity.x, 1.0);
}

// Random impacts of turned boxes at off-centre points: linear momentum is
// kept in every one; angular momentum where there is no friction; and the
// kinetic energy never grows.
TEST(ContactSolver, RandomImpactsKeepMomentumAndNeverGainEnergy) {
    // Uniform in [-1, 1) from the generator's bits alone, drawn in a fixed
    // order: the standard libraries' distributions differ, and so does the
    // order in which compilers evaluate arguments, and every build of the
    // test command must meet the same impacts.
    std::mt19937_64 random(20261210);
    const auto u = [&random] { return -1.0 + 2.0 * static_cast<double>(random() >> 11) * 0x1p-53; };
    const auto draw = [&u](double* values, int count) {
        for (int k = 0; k < count; ++k) values[k] = u();
    };
    int withFriction = 0;
    for (int round = 0; round < 400; ++round) {
        double n[26];
        draw(n, 26);
        const Quat qa = unitQuat({n[0], n[1], n[2], n[3]});
        const Quat qb = unitQuat({n[4], n[5], n[6], n[7]});
        RigidBody a = physicalBox(1.0f, 0.6f, 0.4f, 2.0f, {n[8], n[9], 1.0 + n[10]}, {n[11], n[12], -2.0 + n[13]}, qa);
        RigidBody b = physicalBox(0.8f, 0.8f, 0.3f, 1.0f, {n[14], n[15], -1.0 + n[16]}, {n[17], n[18], 2.0 + n[19]}, qb);
        a.spin = {3 * n[20], 3 * n[21], 3 * n[22]};
        b.spin = {3 * n[23], 3 * n[24], 3 * n[25]};
        const bool friction = round % 2 == 1;
        withFriction += friction ? 1 : 0;
        std::vector<SolverContact> contacts;
        const int points = 1 + round % 4;
        for (int k = 0; k < points; ++k) {
            double at[2];
            draw(at, 2);
            contacts.push_back(solverContactAt(0, 1, {0.3 * at[0], 0.3 * at[1], 0.0}, {0, 0, 1},
                                               friction ? 0.6 : 0.0, 0.3 * (round % 4)));
        }
        const Vec3 pa0 = momentumOf(a);
        const Vec3 p0 = pa0 + momentumOf(b);
        const Vec3 l0 = angularMomentumOf(a) + angularMomentumOf(b);
        const double e0 = kineticEnergy(a) + kineticEnergy(b);
        std::vector<SolverBody> bodies{solverBodyOf(&a), solverBodyOf(&b)};
        prepareContacts(bodies, contacts);
        double fastest = 0.0;  // the fastest approach of a point before, m/s
        for (const SolverContact& c : contacts) fastest = std::max(fastest, -dot(relativeVelocity(bodies, c), c.normal));
        const int passes = resolveImpact(bodies, contacts);
        const Vec3 p1 = momentumOf(a) + momentumOf(b);
        EXPECT_LT((p1 - p0).length(), 1e-12 * (1.0 + p0.length())) << round;
        // The points' gathered impulses are what a took, also where the
        // energy guard solved the impact again without restitution (one in
        // seven of the four-point rounds).
        if (passes > 0) {
            Vec3 gathered;
            for (const SolverContact& c : contacts) {
                gathered = gathered + c.normalImpulse * c.normal + c.tangentImpulse1 * c.tangent1 +
                           c.tangentImpulse2 * c.tangent2;
            }
            EXPECT_LT((momentumOf(a) - pa0 - gathered).length(), 1e-12 * (1.0 + pa0.length())) << round;
        }
        if (!friction) {
            const Vec3 l1 = angularMomentumOf(a) + angularMomentumOf(b);
            EXPECT_LT((l1 - l0).length(), 1e-10 * (1.0 + l0.length())) << round;
        }
        EXPECT_LE(kineticEnergy(a) + kineticEnergy(b), e0 * (1.0 + 1e-12) + 1e-12) << round;
        // The impact did something: no point approaches faster than a
        // tenth of the fastest before, what ten passes can leave of four
        // points' coupled impulses.
        for (const SolverContact& c : contacts) {
            EXPECT_GE(dot(relativeVelocity(bodies, c), c.normal), -0.1 * fastest) << round << " passes " << passes;
        }
    }
    EXPECT_EQ(withFriction, 200);
}

// A unit cube at rest on the ground after gravity's step: the contacts
// take exactly its weight's impulse and leave it still.
TEST(ContactSolver, ARestingCubeIsHeldAndTakesItsWeight) {
    RigidBody cube = physicalBox(1, 1, 1, 3.0f, {0, 0, 0.5}, {0, 0, -gravityG * solverStep});
    std::vector<SolverBody> bodies{solverBodyOf(&cube), solverBodyOf(nullptr)};
    std::vector<SolverContact> contacts = cubeOnGround(0.5);
    prepareContacts(bodies, contacts);
    solveVelocities(bodies, contacts, contactPasses);
    EXPECT_NEAR(cube.velocity.length(), 0.0, 1e-9);
    EXPECT_NEAR(cube.spin.length(), 0.0, 1e-9);
    double total = 0.0;
    for (const SolverContact& c : contacts) total += c.normalImpulse;
    EXPECT_NEAR(total, 3.0 * gravityG * solverStep, 1e-9);
    // The next step starts from these impulses and has nothing left to do.
    cube.velocity = {0, 0, -gravityG * solverStep};
    prepareContacts(bodies, contacts);
    warmStart(bodies, contacts);
    EXPECT_NEAR(cube.velocity.length(), 0.0, 1e-9);
}

// Contacts that hold no body in common are solved as if each set were
// alone, to the bit: a resting cube, warm started, settles in a pass or two
// while a cube beside it, thrown onto the ground spinning, takes all ten,
// and solved together the resting one went on through all of them.
TEST(ContactSolver, SetsOfBodiesApartSolveAsIfAlone) {
    const auto resting = [] { return physicalBox(1, 1, 1, 3.0f, {0, 0, 0.5}, {0, 0, -gravityG * solverStep}); };
    const auto thrown = [] {
        RigidBody b = physicalBox(1, 1, 1, 2.0f, {5, 0, 0.5}, {3, 1, -2});
        b.spin = {1, -2, 4};
        return b;
    };
    const auto groundPoints = [](int body, double x, double friction) {
        std::vector<SolverContact> contacts = cubeOnGround(friction);
        for (SolverContact& c : contacts) {
            c.a = body;
            c.b = 2;
            c.position.x += x;
        }
        return contacts;
    };
    // Alone: each with the ground.
    RigidBody restingAlone = resting(), thrownAlone = thrown();
    for (RigidBody* body : {&restingAlone, &thrownAlone}) {
        std::vector<SolverBody> bodies{solverBodyOf(body), solverBodyOf(nullptr), solverBodyOf(nullptr)};
        std::vector<SolverContact> contacts = groundPoints(0, body->position.x, 0.5);
        prepareContacts(bodies, contacts);
        // The last step's impulse: the resting cube's weight, shared.
        if (body == &restingAlone) {
            for (SolverContact& c : contacts) c.normalImpulse = 0.25 * 3.0 * gravityG * solverStep;
        }
        warmStart(bodies, contacts);
        solveVelocities(bodies, contacts, contactPasses);
    }
    // Together, in one solve: the thrown cube's points first.
    RigidBody restingCube = resting(), thrownCube = thrown();
    std::vector<SolverBody> bodies{solverBodyOf(&restingCube), solverBodyOf(&thrownCube), solverBodyOf(nullptr)};
    std::vector<SolverContact> contacts = groundPoints(1, 5, 0.5);
    for (SolverContact& c : groundPoints(0, 0, 0.5)) contacts.push_back(c);
    prepareContacts(bodies, contacts);
    for (size_t i = 4; i < 8; ++i) contacts[i].normalImpulse = 0.25 * 3.0 * gravityG * solverStep;
    warmStart(bodies, contacts);
    solveVelocities(bodies, contacts, contactPasses);
    EXPECT_TRUE(sameBits(restingCube.velocity, restingAlone.velocity) && sameBits(restingCube.spin, restingAlone.spin));
    EXPECT_TRUE(sameBits(thrownCube.velocity, thrownAlone.velocity) && sameBits(thrownCube.spin, thrownAlone.spin));
    EXPECT_NEAR(restingCube.velocity.length(), 0.0, 1e-9);
}

// A set that has settled stops: a cube on the ground, warm started from a
// step that held it a hair less than its weight (a change of 2e-11 m/s,
// below the settling threshold), needs one round of one pass, and ten
// passes leave it what one leaves.
TEST(ContactSolver, ASettledSetStopsItsPasses) {
    const auto solve = [](int passes) {
        RigidBody cube = physicalBox(1, 1, 1, 3.0f, {0, 0, 0.5}, {0, 0, -gravityG * solverStep});
        std::vector<SolverBody> bodies{solverBodyOf(&cube), solverBodyOf(nullptr)};
        std::vector<SolverContact> contacts = cubeOnGround(0.5);
        prepareContacts(bodies, contacts);
        for (SolverContact& c : contacts) c.normalImpulse = 0.25 * 3.0 * gravityG * solverStep * (1.0 - 1e-10);
        warmStart(bodies, contacts);
        solveVelocities(bodies, contacts, passes);
        return cube;
    };
    const RigidBody one = solve(1), ten = solve(contactPasses);
    EXPECT_TRUE(sameBits(one.velocity, ten.velocity) && sameBits(one.spin, ten.spin));
    EXPECT_NEAR(ten.velocity.length(), 0.0, 1e-9);
}

// Friction on a sliding cube: its speed falls by mu gravityG solverStep per step, and a
// speed below that stops at once; without friction it slides on.
TEST(ContactSolver, FrictionTakesMuTimesTheWeightAndStopsASlowSlide) {
    struct Row {
        double friction, speed, after;
    };
    const double drop = 0.5 * gravityG * solverStep;
    for (const Row& r : {Row{0.5, 2.0, 2.0 - drop}, Row{0.5, 0.05, 0.0}, Row{0.0, 2.0, 2.0}, Row{1.0, 1.0, 1.0 - 2 * drop}}) {
        RigidBody cube = physicalBox(1, 1, 1, 2.0f, {0, 0, 0.5}, {r.speed, 0, -gravityG * solverStep});
        std::vector<SolverBody> bodies{solverBodyOf(&cube), solverBodyOf(nullptr)};
        std::vector<SolverContact> contacts = cubeOnGround(r.friction);
        prepareContacts(bodies, contacts);
        solveVelocities(bodies, contacts, contactPasses);
        EXPECT_NEAR(cube.velocity.x, r.after, 1e-3 * r.speed) << r.friction << " " << r.speed;
        EXPECT_NEAR(cube.velocity.z, 0.0, 1e-6);
    }
}

// The correction moves a sunken cube up towards the slop and leaves its
// velocity alone (it adds no energy).
TEST(ContactSolver, TheCorrectionLiftsASunkenCubeWithoutSpeed) {
    RigidBody cube = physicalBox(1, 1, 1, 1.0f, {0, 0, 0.4});
    std::vector<SolverBody> bodies{solverBodyOf(&cube), solverBodyOf(nullptr)};
    std::vector<SolverContact> contacts = cubeOnGround(0.5);
    for (SolverContact& c : contacts) c.depth = 0.1;
    prepareContacts(bodies, contacts);
    correctPositions(bodies, contacts, correctionPasses);
    applyCorrections(bodies);
    const double lifted = cube.position.z - 0.4;
    EXPECT_GT(lifted, 0.2 * (0.1 - contactSlop) - 1e-12);
    EXPECT_LT(lifted, 0.1 - contactSlop);
    EXPECT_NEAR(cube.position.x, 0.0, 1e-12);
    EXPECT_TRUE(isZero(cube.velocity) && isZero(cube.spin));
    // Overlap within the slop is left alone.
    const Vec3 before = cube.position;
    for (SolverContact& c : contacts) c.depth = contactSlop;
    correctPositions(bodies, contacts, correctionPasses);
    applyCorrections(bodies);
    EXPECT_TRUE(sameBits(cube.position, before));
}

// One sunken corner: each pass moves that corner, by shift and turn
// together, by the pass's share of what is left beyond the slop, so three
// passes lift it by (depth - slop) (1 - 0.8^3) and tilt the cube.
TEST(ContactSolver, TheCorrectionOfOneCornerTurnsTheCube) {
    RigidBody cube = physicalBox(1, 1, 1, 1.0f, {0, 0, 0.45});
    std::vector<SolverBody> bodies{solverBodyOf(&cube), solverBodyOf(nullptr)};
    const double depth = 0.05;
    std::vector<SolverContact> contacts{solverContactAt(0, 1, {0.5, 0.5, -0.05}, {0, 0, 1}, 0.5, 0.0, depth)};
    prepareContacts(bodies, contacts);
    correctPositions(bodies, contacts, correctionPasses);
    const Vec3 moved = bodies[0].shift + Vec3().cross(bodies[0].turn, contacts[0].ra);
    const double keep = 1.0 - correctionShare;
    EXPECT_NEAR(moved.z, (depth - contactSlop) * (1.0 - keep * keep * keep), 1e-14);
    EXPECT_GT(bodies[0].turn.x, 0.0);  // the +x +y corner goes up
    EXPECT_LT(bodies[0].turn.y, 0.0);
}

TEST(ContactSolver, CombinesFrictionByTheMeanAndRestitutionByTheLarger) {
    EXPECT_DOUBLE_EQ(combinedFriction(0.25f, 1.0f), 0.5);
    EXPECT_EQ(combinedFriction(0.0f, 0.9f), 0.0);
    EXPECT_EQ(combinedRestitution(0.2f, 0.75f), 0.75);
    EXPECT_EQ(combinedRestitution(0.75f, 0.2f), 0.75);
}

// A ball at rest on the ground whose point has gathered a normal impulse
// and a friction impulse f times the cone's bound: a pass leaves one inside
// the cone as it is, bit for bit, and cuts one outside back to the bound,
// along its own direction, whether it is outside by far or by a part in
// ten million, and at any scale of impulse.
TEST(ContactSolver, AFrictionImpulseOutsideTheConeIsCutBackToItAndOneInsideKept) {
    for (const double scale : {1e-130, 1.0, 1e130}) {
        for (const double f : {0.5, 0.9999999, 1.0000001, 3.0}) {
            RigidBody ball = physicalSphere(0.5, 2.0f, {0, 0, 0.5});
            std::vector<SolverBody> bodies{solverBodyOf(&ball), solverBodyOf(nullptr)};
            std::vector<SolverContact> contacts{solverContactAt(0, 1, {0, 0, 0}, {0, 0, 1}, 0.5)};
            prepareContacts(bodies, contacts);
            SolverContact& c = contacts[0];
            const double bound = 0.5 * scale;
            c.normalImpulse = scale;
            c.tangentImpulse1 = 0.6 * f * bound;
            c.tangentImpulse2 = -0.8 * f * bound;
            const double t1 = c.tangentImpulse1, t2 = c.tangentImpulse2;
            solveVelocities(bodies, contacts, 1);
            EXPECT_EQ(c.normalImpulse, scale) << scale << " " << f;
            if (f < 1.0) {
                EXPECT_EQ(c.tangentImpulse1, t1) << scale << " " << f;
                EXPECT_EQ(c.tangentImpulse2, t2) << scale << " " << f;
                EXPECT_EQ(ball.velocity.x, 0.0);
            } else {
                EXPECT_NEAR(c.tangentImpulse1, 0.6 * bound, 1e-15 * bound) << scale << " " << f;
                EXPECT_NEAR(c.tangentImpulse2, -0.8 * bound, 1e-15 * bound) << scale << " " << f;
                const double size = std::sqrt(c.tangentImpulse1 * c.tangentImpulse1 + c.tangentImpulse2 * c.tangentImpulse2);
                EXPECT_LE(size, bound * (1.0 + 1e-15)) << scale << " " << f;
                // What was given back moved the ball: 1/m of it along y (the
                // first tangent) and x (the second, its negative).
                EXPECT_NEAR(ball.velocity.y, 0.5 * (0.6 * bound - t1), 1e-15 * bound) << scale << " " << f;
            }
        }
    }
}
