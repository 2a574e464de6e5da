#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "prallwerk/collision/contact_manifold.h"
#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/collision/physical_impact.h"
#include "prallwerk/scenes/body_def.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/world/world.h"
#include "tests/support/physical_bodies.h"

using namespace prallwerk;

namespace {

constexpr float frame = 1.0f / 60.0f;
constexpr double earthG = 9.81;

// A world under the physical rules of these bodies.
std::unique_ptr<GravityWorld> physicalWorldOf(const std::vector<RigidBody>& bodies, double gravity = earthG) {
    auto w = std::make_unique<GravityWorld>(Vec3{0.0, 0.0, -gravity}, static_cast<int>(bodies.size()));
    w->setRules(Rules::physical);
    for (size_t i = 0; i < bodies.size(); ++i) *w->bodies[i] = bodies[i];
    return w;
}

void runFor(World& w, double seconds) {
    const int steps = static_cast<int>(std::lround(seconds / frame));
    for (int i = 0; i < steps; ++i) w.step(frame);
}

}  // namespace

// Equal masses head on, and Newton's cradle: a row of balls a hair apart,
// each impact at its own instant, hands the first ball's speed to the last.
TEST(PhysicalRules, ImpactsHandTheSpeedDownARow) {
    struct Row {
        int balls;
        double gap;  // m between neighbours
    };
    for (const Row& r : {Row{2, 1.0}, Row{3, 0.001}, Row{5, 0.001}}) {
        std::vector<RigidBody> bodies;
        for (int i = 0; i < r.balls; ++i) {
            const double x = i == 0 ? -2.025 : (i - 1) * (1.0 + r.gap);
            bodies.push_back(physicalSphere(0.5, 1.0f, {x, 0, 5}, {i == 0 ? 3.0 : 0.0, 0, 0}));
            bodies.back().restitution = 1.0f;
        }
        auto w = physicalWorldOf(bodies, 0.0);
        runFor(*w, 2.0);
        for (int i = 0; i < r.balls; ++i) {
            const double want = i == r.balls - 1 ? 3.0 : 0.0;
            EXPECT_NEAR(w->bodies[i]->velocity.x, want, 0.03) << r.balls << " balls, ball " << i;
        }
        // The two meet at 1.025 m / 3 m/s, in the middle of a step, and part
        // at that instant: the second has gone on at 3 m/s since.
        if (r.balls == 2) {
            EXPECT_NEAR(w->bodies[1]->position.x, 3.0 * 2.0 - 1.025, 2e-3);
        }
    }
}

// A crate sliding at v on the ground stops after v^2 / (2 mu earthG) (to
// within the last part's travel: it stops within a part) on the line it was
// shoved along, whichever way that is: friction is bounded by a cone, mu
// times the normal impulse in any direction, not by mu along each of the
// contact's two tangents (which would stop a crate shoved diagonally sqrt 2
// times sooner and turn one shoved at another angle off its line). A ball
// thrown sliding ends rolling at 5/7 of its speed.
TEST(PhysicalRules, FrictionStopsACrateAndSetsABallRolling) {
    struct Slide {
        double v, mu, heading;
    };
    for (const Slide& r : {Slide{10.0, 0.5, 0.0}, Slide{10.0, 0.5, 0.5}, Slide{10.0, 0.5, std::atan(1.0)},
                           Slide{10.0, 0.5, 2.0}, Slide{8.0, 0.5, 0.0}, Slide{3.0, 0.2, 0.0}, Slide{6.0, 0.9, 0.0}}) {
        const Vec3 along{std::cos(r.heading), std::sin(r.heading), 0.0};
        RigidBody crate = physicalBox(1, 1, 1, 10.0f, {0, 0, 0.5}, r.v * along);
        crate.friction = static_cast<float>(r.mu);
        auto w = physicalWorldOf({crate});
        runFor(*w, r.v / (r.mu * earthG) + 0.5);
        const RigidBody& c = *w->bodies[0];
        const double stop = r.v * r.v / (2 * r.mu * earthG);
        const Vec3 across = Vec3().cross(along, {c.position.x, c.position.y, 0.0});
        EXPECT_NEAR(dot(c.position, along), stop, r.mu * earthG * frame * frame) << r.v << " m/s, mu " << r.mu;
        EXPECT_NEAR(across.length(), 0.0, 1e-6 * stop) << r.heading;
        EXPECT_NEAR(c.velocity.length(), 0.0, 1e-6) << r.heading;
        EXPECT_NEAR(c.position.z, 0.5, 0.01) << r.heading;
    }
    {
        const double v = 4.0;
        RigidBody ball = physicalSphere(0.5, 1.0f, {0, 0, 0.5}, {v, 0, 0});
        ball.friction = 0.4f;
        auto w = physicalWorldOf({ball});
        runFor(*w, 2.0);
        const RigidBody& b = *w->bodies[0];
        EXPECT_NEAR(b.velocity.x, 5.0 / 7.0 * v, 0.01 * 5.0 / 7.0 * v);
        // Rolling: the contact point stands still.
        EXPECT_NEAR(b.spin.y * 0.5, b.velocity.x, 1e-3);
    }
}

// A ball dropped from h bounces back to e^2 h.
TEST(PhysicalRules, ABallBouncesToRestitutionSquaredTimesItsHeight) {
    for (float e : {1.0f, 0.5f}) {
        RigidBody ball = physicalSphere(0.5, 1.0f, {0, 0, 5.5});
        ball.restitution = e;
        auto w = physicalWorldOf({ball});
        double highest = 0.0;
        bool bounced = false;
        const int steps = static_cast<int>(3.0 / frame);
        for (int i = 0; i < steps; ++i) {
            w->step(frame);
            const RigidBody& b = *w->bodies[0];
            if (b.velocity.z > 0.0) bounced = true;
            if (bounced) highest = std::max(highest, b.position.z - 0.5);
        }
        EXPECT_TRUE(bounced);
        EXPECT_NEAR(highest, e * e * 5.0, 0.02 * 5.0) << e;
    }
}

// A body let fall from rest is at g t^2 / 2 below its start at the end of
// every part, and one thrown up with v at v t - g t^2 / 2: the first part
// takes half the force, and each part's straight flight then meets the
// parabola at the part's ends.
// So for a body defined, and one added to a world that has stepped.
TEST(PhysicalRules, FreeFlightIsOnTheParabolaAtEveryFrame) {
    const auto onParabola = [](const RigidBody& b, double up, int frames) {
        const double t = frames * static_cast<double>(frame);
        EXPECT_NEAR(b.position.z, 50 + up * t - 0.5 * earthG * t * t, 1e-9) << up << " m/s, frame " << frames;
        // The velocity is the parabola's in the middle of the last part.
        EXPECT_NEAR(b.velocity.z, up - earthG * (t - 0.5 * frame), 1e-9) << up << " m/s, frame " << frames;
    };
    for (double up : {0.0, 7.0}) {
        auto w = physicalWorldOf({physicalSphere(0.5, 2.0f, {1, 2, 50}, {0, 0, up})});
        for (int i = 1; i <= 120; ++i) {
            w->step(frame);
            onParabola(*w->bodies[0], up, i);
        }
    }
    BodyDef def;
    def.radius = 0.5f;
    def.mass = 2.0f;
    def.position = {0, 0, 50};
    BuiltWorld built = buildWorld({def}, {0, 0, -earthG}, Rules::physical);
    ASSERT_FALSE(built.error);
    World& w = *built.world;
    runFor(w, 0.5);
    def.position.x = 10;
    def.velocity.z = 7;
    ASSERT_EQ(addBody(w, def).index, 1);
    runFor(w, 1.0);
    onParabola(*w.bodies[0], 0, 90);
    onParabola(*w.bodies[1], 7, 60);
}

// Ten cubes stacked stand, and fall asleep.
TEST(PhysicalRules, ATowerOfTenStandsAndSleeps) {
    std::vector<RigidBody> bodies;
    for (int i = 0; i < 10; ++i) {
        bodies.push_back(physicalBox(1, 1, 1, 1.0f, {0, 0, 0.5 + i}));
        bodies.back().friction = 0.5f;
        bodies.back().restitution = 0.0f;
    }
    auto w = physicalWorldOf(bodies);
    runFor(*w, 4.0);
    const RigidBody& top = *w->bodies[9];
    EXPECT_NEAR(top.position.x, 0.0, 0.01);
    EXPECT_NEAR(top.position.y, 0.0, 0.01);
    EXPECT_NEAR(top.position.z, 9.5, 0.05);
    w->step(frame);
    EXPECT_TRUE(w->lastStep.atRest || w->lastStep.islandsAtRest == w->lastStep.islands);
}

// A sleeper keeps the time it has been still when an awake body joins its
// island: a crate sliding slowly (frictionless, 0.04 m/s) up to a sleeping
// one is within its reach from 0.23 s on, and the two fall asleep when the
// slider has been slow for sleepAfter (0.5 s, 0.02 m short of where it
// started plus its reach), not sleepAfter after the join. The sleeper never
// moves.
TEST(PhysicalRules, ASleeperJoinedByASlowBodyKeepsItsTime) {
    constexpr double gap = 0.03;   // m between the crates' faces at the start
    constexpr double speed = 0.04; // m/s, below sleepSpeed
    std::vector<RigidBody> bodies{physicalBox(1, 1, 1, 1.0f, {0, 0, 0.5}),
                                  physicalBox(1, 1, 1, 1.0f, {-1.0 - gap, 0, 0.5}, {speed, 0, 0})};
    for (RigidBody& b : bodies) {
        b.friction = 0.0f;
        b.restitution = 0.0f;
    }
    bodies[0].restingFor = sleepAfter;  // asleep: still for as long
    auto w = physicalWorldOf(bodies);
    const RigidBody& sleeper = *w->bodies[0];
    const RigidBody& slider = *w->bodies[1];
    bool joined = false;
    for (int i = 0; i < 36; ++i) {
        w->step(frame);
        joined = joined || w->lastStep.islands == 1;
        EXPECT_EQ(sleeper.restingFor, sleepAfter) << "step " << i;
        EXPECT_EQ(sleeper.position.x, 0.0) << "step " << i;
    }
    EXPECT_TRUE(joined);
    EXPECT_EQ(slider.velocity.x, 0.0);
    EXPECT_TRUE(w->lastStep.atRest || w->lastStep.islandsAtRest == w->lastStep.islands);
    // Slid at 0.04 m/s for the 30 or 31 parts it took to count 0.5 s.
    EXPECT_NEAR(-slider.position.x - 1.0, gap - speed * 31 * frame, speed * frame + 1e-6);
}

// The same bits on any number of threads.
TEST(PhysicalRules, TheSameBitsOnOneAndTwoThreads) {
    std::vector<RigidBody> bodies;
    for (int i = 0; i < 12; ++i) {
        const Quat turn = unitQuat({1.0, 0.1 * i, 0.2, -0.05 * i});
        if (i % 3 == 0) {
            bodies.push_back(physicalSphere(0.4, 1.0f, {i % 4 * 1.1, i / 4 * 1.3, 1 + 0.5 * i}, {0.5, -0.2, 0}));
        } else {
            bodies.push_back(physicalBox(0.8f, 0.6f, 0.5f, 1.5f, {i % 4 * 1.1, i / 4 * 1.3, 1 + 0.5 * i}, {}, turn));
        }
        bodies.back().friction = 0.5f;
        bodies.back().restitution = 0.3f;
    }
    auto one = physicalWorldOf(bodies);
    auto two = physicalWorldOf(bodies);
    two->setThreadCount(2);
    for (int i = 0; i < 240; ++i) {
        one->step(frame);
        two->step(frame);
    }
    for (size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_TRUE(sameBits(*one->bodies[i], *two->bodies[i])) << i;
        EXPECT_TRUE(std::isfinite(one->bodies[i]->position.z));
        EXPECT_GT(one->bodies[i]->position.z, 0.2);
    }
}

// On a fixed slab turned by theta: a ball rolls down gaining 5/7 g sin
// theta per second; a box holds where tan theta < mu and slides at
// g (sin theta - mu cos theta) where it is steeper.
TEST(PhysicalRules, OnARampABallRollsAndABoxHoldsOrSlidesAsFrictionAllows) {
    struct Row {
        double theta;
        bool sphere;
        float mu;
        double acceleration;  // along the slope, m/s^2
    };
    const Row rows[] = {
        {0.3, true, 0.5f, 5.0 / 7.0 * earthG * std::sin(0.3)},
        {0.3, false, 0.5f, 0.0},
        {0.6, false, 0.5f, earthG * (std::sin(0.6) - 0.5 * std::cos(0.6))},
        {0.6, false, 0.8f, 0.0},
    };
    for (const Row& r : rows) {
        const Quat tilt = quatFromAngles({0, r.theta, 0});
        const Vec3 up = rotated(tilt, {0, 0, 1});
        const Vec3 downhill = rotated(tilt, {1, 0, 0});
        RigidBody ramp = physicalBox(30, 4, 1, 100.0f, {0, 0, 5}, {}, tilt);
        ramp.fixed = true;
        ramp.friction = r.mu;
        const Vec3 onTop = Vec3{0, 0, 5} + 1.0 * up;
        RigidBody body = r.sphere ? physicalSphere(0.5, 1.0f, onTop) : physicalBox(1, 1, 1, 1.0f, onTop, {}, tilt);
        body.friction = r.mu;
        body.restitution = 0.0f;
        auto w = physicalWorldOf({ramp, body});
        runFor(*w, 1.0);
        const double early = dot(w->bodies[1]->velocity, downhill);
        runFor(*w, 1.0);
        const double late = dot(w->bodies[1]->velocity, downhill);
        EXPECT_NEAR(late - early, r.acceleration, 0.01 * earthG) << r.theta << " " << r.sphere << " " << r.mu;
        EXPECT_NEAR(dot(w->bodies[1]->position - Vec3{0, 0, 5}, up), 1.0, 0.01) << "stays on the surface";
        EXPECT_TRUE(sameBits(w->bodies[0]->position, Vec3{0, 0, 5})) << "the ramp never moves";
    }
}

// A heavy ball dropped on a light crate on the floor comes to rest on it:
// the floor holds the crate however heavy the ball (the contacts' passes
// alone hand on only the crate's share of a blow each, and the crate would
// be driven into the floor), and the ball stops on top.
TEST(PhysicalRules, AHeavyBallRestsOnALightCrateThatTheFloorHolds) {
    struct Case {
        float ballMass;
        bool ballFirst;  // the ball the world's first body, the crate its second
        bool onTable;    // the floor a fixed slab (the world's first body), its top at z = 0.5
    };
    for (const Case& c : {Case{10, false, false}, Case{100, false, false}, Case{1000, false, false},
                          Case{100, true, false}, Case{100, false, true}}) {
        const double floor = c.onTable ? 0.5 : 0.0;
        RigidBody crate = physicalBox(1, 1, 1, 1.0f, {0, 0, floor + 0.5});
        RigidBody ball = physicalSphere(0.4, c.ballMass, {0, 0, floor + 2.0});
        crate.restitution = ball.restitution = 0.0f;
        std::vector<RigidBody> bodies = c.ballFirst ? std::vector<RigidBody>{ball, crate} : std::vector<RigidBody>{crate, ball};
        if (c.onTable) {
            RigidBody table = physicalBox(4, 4, 0.5f, 1.0f, {0, 0, 0.25});
            table.fixed = true;
            bodies.insert(bodies.begin(), table);
        }
        auto w = physicalWorldOf(bodies);
        const int first = c.onTable ? 1 : 0;
        const RigidBody& onFloor = *w->bodies[first + (c.ballFirst ? 1 : 0)];
        const RigidBody& onTop = *w->bodies[first + (c.ballFirst ? 0 : 1)];
        double lowest = HUGE_VAL;
        for (int i = 0; i < 180; ++i) {
            w->step(frame);
            lowest = std::min(lowest, onFloor.position.z);
        }
        const std::string label = std::to_string(c.ballMass) + " kg" + (c.ballFirst ? ", ball first" : "") +
                                  (c.onTable ? ", on a table" : "");
        EXPECT_GT(lowest, floor + 0.5 - 2 * contactSlop) << label;
        EXPECT_NEAR(onFloor.position.z, floor + 0.5, contactSlop) << label;
        EXPECT_NEAR(onTop.position.z, floor + 1.4, 2 * contactSlop) << label;
        EXPECT_LT(onTop.velocity.length(), sleepSpeed) << label;
    }
}

// A heavy body set down on a light one on the ground: the light body hands
// the weight on a share as small as their masses' ratio a pass, and the
// set's ten passes left a crate of 100 kg 5 to 7 cm in a plate or a ball of
// 0.1 kg; a set of bodies so far apart in mass takes ten times the passes.
// A ball of 200 kg near the edge of a thin plate of 0.5 kg turned the plate
// about the centre of its corners, down under the ball, when the last pass
// from the ground pushed it there alone: 3 cm in the ground after 2 s. (At
// 10^4 times the mass a crate still sinks 5 to 7 cm.)
TEST(PhysicalRules, AHeavyBodyRestsOnALightPlateOrBall) {
    struct Case {
        const char* what;
        RigidBody light, heavy;
    };
    const Quat tilted = quatFromAngles({0.02, 0.03, 0});
    const Case cases[] = {
        {"a crate on a plate", physicalBox(1.0f, 1.0f, 0.1f, 0.1f, {0, 0, 0.05}),
         physicalBox(0.8f, 0.8f, 0.4f, 100.0f, {0.05, 0.02, 0.301}, {0, 0, -0.2}, tilted)},
        {"a crate on a ball", physicalSphere(0.2, 0.1f, {0, 0, 0.2}),
         physicalBox(0.8f, 0.8f, 0.4f, 100.0f, {0.05, 0.02, 0.601}, {0, 0, -0.2}, tilted)},
        {"a ball near a plate's edge", physicalBox(2.4f, 2.3f, 0.1f, 0.5f, {0, 0, 0.05}),
         physicalSphere(0.65, 200.0f, {1.0, 0.3, 0.751})},
    };
    for (const Case& c : cases) {
        RigidBody light = c.light, heavy = c.heavy;
        light.restitution = heavy.restitution = 0.3f;
        auto w = physicalWorldOf({light, heavy});
        double deepest = 0.0;
        for (int i = 0; i < 120; ++i) {
            w->step(frame);
            const ShapePose pose = poseAfter(*w->bodies[0], 0.0f);
            for (const ContactManifold& m :
                 {contactBetween(pose, poseAfter(*w->bodies[1], 0.0f), 0.0), contactWithGround(pose, 0.0, 0.0)}) {
                for (int k = 0; k < m.count; ++k) deepest = std::max(deepest, m.points[k].depth);
            }
        }
        EXPECT_LT(deepest, 0.025) << c.what;
    }
}

// A plate of 200 kg coming down at 6 m/s on a ball of 0.2 kg on the
// ground: the ball between them hands on a thousandth of the blow each
// pass over the impact's points, so that ten passes left the plate 15 to
// 22 cm in it. The ratio still lets the resting contacts give a few
// centimetres.
TEST(PhysicalRules, AHeavyPlateOnALightBallOnTheGroundIsStoppedByTheImpact) {
    for (float e : {0.0f, 0.5f, 1.0f}) {
        RigidBody ball = physicalSphere(0.2, 0.2f, {0, 0, 0.2});
        RigidBody plate = physicalBox(1.0f, 1.0f, 0.2f, 200.0f, {0.1, 0.05, 0.55}, {0, 0, -6});
        ball.restitution = plate.restitution = e;
        auto w = physicalWorldOf({ball, plate});
        double deepest = 0.0;
        for (int i = 0; i < 60; ++i) {
            w->step(frame);
            const ContactManifold m = contactBetween(poseAfter(*w->bodies[0], 0.0f), poseAfter(*w->bodies[1], 0.0f), 0.0);
            for (int k = 0; k < m.count; ++k) deepest = std::max(deepest, m.points[k].depth);
            deepest = std::max(deepest, 0.2 - w->bodies[0]->position.z);
        }
        EXPECT_LT(deepest, 0.1) << "restitution " << e;
    }
}

// A light board between a heavy bouncing ball and a crate on the floor:
// each impact of the ball on the board sends the board into the crate and
// back, and were the pairs met one by one the ball would sink through the
// board while they bounce within a step. Met again, the two pass the blow
// on to what they touch at once: nothing sinks into anything by more than
// a few slops, and the stack stays in its order.
// In any order of the three in the world: which of a meeting pair is its
// first body decides nothing (the crate touches only the board, whether the
// board is the first or the second of the ball's and the board's pair).
TEST(PhysicalRules, ALightBoardBetweenAHeavyBallAndACrateIsNotHitThrough) {
    const int orders[][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {  // the world's indices of the crate, the board and the ball
        for (const double speed : {2.0, 5.0, 10.0}) {
            RigidBody crate = physicalBox(1, 1, 1, 1.0f, {0, 0, 0.5});
            RigidBody board = physicalBox(1, 1, 0.2, 0.1f, {0, 0, 1.1 + 1e-4});
            RigidBody ball = physicalSphere(0.4, 15.0f, {0, 0, 1.6 + 0.01}, {0, 0, -speed});
            crate.restitution = board.restitution = ball.restitution = 1.0f;
            std::vector<RigidBody> bodies(3, crate);
            bodies[static_cast<size_t>(order[0])] = crate;
            bodies[static_cast<size_t>(order[1])] = board;
            bodies[static_cast<size_t>(order[2])] = ball;
            auto w = physicalWorldOf(bodies);
            const RigidBody &c = *w->bodies[order[0]], &b = *w->bodies[order[1]], &s = *w->bodies[order[2]];
            double deepest = 0.0;
            for (int i = 0; i < 120; ++i) {
                w->step(frame);
                deepest = std::max({deepest, (c.position.z + 0.5) - (b.position.z - 0.1),
                                    (b.position.z + 0.1) - (s.position.z - 0.4), -(c.position.z - 0.5)});
            }
            EXPECT_LT(deepest, 4 * contactSlop) << speed << " m/s, order " << order[0] << order[1] << order[2];
        }
    }
}

// Bodies closer than one look of the impact search meet at its first look,
// which the search answers with 0: the impact is resolved at once, not
// lost (the body would fly on into the ground or the other ball for the
// rest of the step), and the step goes on searching after it.
TEST(PhysicalRules, AnImpactWithinTheFirstLookIsResolved) {
    const double gap = 1e-5, speed = 5.0;  // a look of 1/6000 s travels 8e-4 m
    {
        RigidBody ball = physicalSphere(0.5, 1.0f, {0, 0, 0.5 + gap}, {0, 0, -speed});
        ball.restitution = 1.0f;
        auto w = physicalWorldOf({ball}, 0.0);
        w->step(frame);
        EXPECT_EQ(w->lastStep.groundImpacts, 1);
        EXPECT_NEAR(w->bodies[0]->velocity.z, speed, 1e-9);
        EXPECT_GT(w->bodies[0]->position.z, 0.5);
    }
    // Three balls in a row: the first two meet at the first look, and the
    // step goes on to find the second meeting 2 cm further within it.
    {
        std::vector<RigidBody> row{physicalSphere(0.5, 1.0f, {-0.5 - gap, 0, 2}, {speed, 0, 0}),
                                   physicalSphere(0.5, 1.0f, {0.5, 0, 2}), physicalSphere(0.5, 1.0f, {1.52, 0, 2})};
        for (RigidBody& b : row) b.restitution = 1.0f;
        auto w = physicalWorldOf(row, 0.0);
        w->step(frame);
        EXPECT_EQ(w->lastStep.pairImpacts, 2);
        EXPECT_NEAR(w->bodies[0]->velocity.x, 0.0, 1e-9);
        EXPECT_NEAR(w->bodies[1]->velocity.x, 0.0, 1e-9);
        EXPECT_NEAR(w->bodies[2]->velocity.x, speed, 1e-9);
    }
}

// A plate turning its far edge down onto the ground fast while its near
// edge comes down slowly, or touches already: the impact search makes no
// search for a body that touches, and stops at a touch too slow to bounce,
// so the step is the contacts' to hold, the far edge too. Whether the
// search will meet the plate is the near edge's to say, not the far
// edge's (else the near edge's contact is dropped as the search's); and the
// contacts reach as far as the step's travel can bring the far edge, by
// the centre's speed and by the spin (a plate turning about its centre),
// not only what is within contactMargin at the step's start.
TEST(PhysicalRules, APlateTippingOntoTheGroundIsHeldAtItsFarEdge) {
    struct Row {
        double farHeight;   // m over the near edge
        double omega;       // rad/s, bringing the far edge down
        double nearSpeed;   // m/s, the near edge's down
        double nearGap;     // m over the ground; negative: touching
        bool aboutNearEdge; // turning about its near edge, else about its centre
    };
    for (const Row& r : {Row{0.015, 6.0, 0.2, 5e-4, true}, Row{0.05, 8.0, 0.0, -5e-4, true},
                         Row{0.05, 12.0, 0.0, -5e-4, false}}) {
        const Quat tilt = quatFromAngles({0, -r.farHeight, 0});  // its +x end raised
        RigidBody plate = physicalBox(1.0f, 1.0f, 0.1f, 1.0f, {}, {}, tilt);
        plate.restitution = 0.0f;
        plate.friction = 0.5f;
        const Vec3 nearEdge = rotated(tilt, {-0.5, 0, -0.05});  // from the centre
        plate.position = Vec3{0, 0, r.nearGap} - nearEdge;
        plate.spin = {0, r.omega, 0};
        if (r.aboutNearEdge) plate.velocity = Vec3{0, 0, -r.nearSpeed} - Vec3().cross(plate.spin, nearEdge);
        auto w = physicalWorldOf({plate});
        double deepest = 0.0;
        for (int i = 0; i < 3; ++i) {
            w->step(frame);
            const RigidBody& p = *w->bodies[0];
            deepest = std::max(deepest, -(p.position.z + lowestCornerOffset(p.box)));
        }
        // Without the contacts the far edge goes 5 to 9 cm in; held, no
        // more than the slop.
        EXPECT_LT(deepest, contactSlop) << r.farHeight << " " << r.omega;
    }
}

// A ball that touches the ground already and comes down fast (as an
// impact elsewhere in a step may leave it) is the contacts' to hold: the
// impact search makes no search for a body that touches.
TEST(PhysicalRules, ABallTouchingTheGroundAndComingDownFastIsHeld) {
    RigidBody ball = physicalSphere(0.5, 1.0f, {0, 0, 0.499}, {0, 0, -2.0});
    ball.restitution = 0.0f;
    auto w = physicalWorldOf({ball});
    w->step(frame);
    EXPECT_GT(w->bodies[0]->position.z, 0.5 - contactSlop);
    EXPECT_NEAR(w->bodies[0]->velocity.z, 0.0, 0.01);
}

// The same with a ball under the heavy one, resting on a fixed table by a
// single point: the table takes its share of the blow there too.
TEST(PhysicalRules, AHeavyBallRestsOnALightBallThatAFixedTableHolds) {
    RigidBody table = physicalBox(4, 4, 0.5f, 1.0f, {0, 0, 0.25});
    table.fixed = true;
    RigidBody light = physicalSphere(0.5, 1.0f, {0, 0, 1.0});
    RigidBody heavy = physicalSphere(0.4, 100.0f, {0, 0, 2.5});
    light.restitution = heavy.restitution = 0.0f;
    auto w = physicalWorldOf({table, light, heavy});
    double lowest = HUGE_VAL;
    for (int i = 0; i < 120; ++i) {
        w->step(frame);
        lowest = std::min(lowest, w->bodies[1]->position.z);
    }
    EXPECT_GT(lowest, 1.0 - 2 * contactSlop);
    EXPECT_NEAR(w->bodies[2]->position.z, 1.9, 2 * contactSlop);
}

// A turned box falling onto one corner, on the ground or on a slab, meets
// it at that corner alone: the impulse of one point, j = (1 + e) |v_n| /
// (1/m_a + 1/m_b + n.(I_a^-1 (r_a x n)) x r_a + n.(I_b^-1 (r_b x n)) x r_b),
// gives the velocities and spins after the impact, whatever other corners
// of the box come within the impact's reach (on a slab half of how thin box
// and slab are together, 0.7 m: all of them). The restitution is the larger
// of the two, the slab's lever arm counts where it can turn, and the ground
// or a fixed slab takes nothing.
TEST(PhysicalRules, ABoxLandingOnACornerTakesTheImpulseOfThatCornerAlone) {
    enum class Under { ground, fixedSlab, freeSlab };
    struct Case {
        Under under;
        bool boxFirst;
    };
    for (const Case& c : {Case{Under::ground, true}, Case{Under::fixedSlab, false}, Case{Under::fixedSlab, true},
                          Case{Under::freeSlab, false}, Case{Under::freeSlab, true}}) {
        const float slabMass = 20.0f;
        const bool onSlab = c.under != Under::ground;
        RigidBody box = physicalBox(1.0f, 0.6f, 0.4f, 2.0f, {}, {0, 0, -5}, quatFromAngles({0.3, 0.2, 0}));
        box.restitution = 0.5f;
        box.friction = 0.0f;
        int lowest = 0;
        for (int k = 1; k < 8; ++k) {
            if (box.box.corners[k].z < box.box.corners[lowest].z) lowest = k;
        }
        const Vec3 ra = box.box.corners[lowest];
        // The corner 4 cm over the ground, or over the slab's top off its centre.
        const Vec3 corner{0.7, -0.4, (onSlab ? 5.0 : 0.0) + 0.04};
        box.position = corner - ra;
        RigidBody slab = physicalBox(4, 4, 1, slabMass, {0, 0, 4.5});
        slab.fixed = c.under == Under::fixedSlab;
        slab.restitution = 0.0f;
        slab.friction = 0.0f;
        const Vec3 rb = corner - slab.position;  // only its x and y count: n is z
        const Vec3 n{0, 0, 1};
        const Vec3 turnA = inverseInertiaTimes(box, Vec3().cross(ra, n));
        const Vec3 turnB = onSlab ? inverseInertiaTimes(slab, Vec3().cross(rb, n)) : Vec3{};
        const double inverse = 1.0 / 2.0 + (onSlab ? inverseMassOf(slab) : 0.0) + dot(n, Vec3().cross(turnA, ra)) +
                               dot(n, Vec3().cross(turnB, rb));
        const double j = (1.0 + 0.5) * 5.0 / inverse;

        auto w = !onSlab ? physicalWorldOf({box}, 0.0)
                 : c.boxFirst ? physicalWorldOf({box, slab}, 0.0)
                              : physicalWorldOf({slab, box}, 0.0);
        w->step(frame);
        const RigidBody& a = *w->bodies[c.boxFirst ? 0 : 1];
        const std::string label = std::string(c.under == Under::ground      ? "ground"
                                              : c.under == Under::fixedSlab ? "fixed slab"
                                                                            : "free slab") +
                                  (c.boxFirst ? ", box first" : "");
        EXPECT_EQ(onSlab ? w->lastStep.pairImpacts : w->lastStep.groundImpacts, 1) << label;
        EXPECT_NEAR(a.velocity.z, -5.0 + j / 2.0, 1e-9) << label;
        EXPECT_NEAR(a.velocity.x, 0.0, 1e-12) << label;
        EXPECT_NEAR((a.spin - j * turnA).length(), 0.0, 1e-9 * j * turnA.length()) << label;
        if (!onSlab) continue;
        const RigidBody& b = *w->bodies[c.boxFirst ? 1 : 0];
        EXPECT_NEAR(b.velocity.z, slab.fixed ? 0.0 : -j / slabMass, 1e-9) << label;
        EXPECT_NEAR((b.spin + j * turnB).length(), 0.0, 1e-9) << label;
        if (!slab.fixed) {
            EXPECT_NEAR((momentumOf(a) + momentumOf(b)).z, -10.0, 1e-9) << label;
        }
    }
}

// A plate whose near edge lies on a slab (touching, coming down no faster
// than the slab) while its far edge, 3 cm up, turns down onto it at 3 m/s:
// the impact's points are the near edge's and the far edge's, the far
// edge's because it closes fast on the slab. Which points close fast is the
// two bodies' relative motion: the impact comes out the same when both move
// along the normal at 4 m/s, up or down (seen from the ground, the far edge
// then comes down at 7 m/s, or rises at 1 m/s). And it is answered: no
// corner of the plate's underside comes down on the slab afterwards.
TEST(PhysicalRules, AnImpactIsTheSameSeenFromAFrameMovingAlongItsNormal) {
    for (const float e : {0.5f, 1.0f}) {
        Vec3 still[4];  // the plate's and the slab's velocities and spins in the frame at rest
        for (const double drift : {0.0, 4.0, -4.0}) {
            const Quat tilt = quatFromAngles({0, -0.03, 0});  // its +x end raised 3 cm
            RigidBody plate = physicalBox(1.0f, 1.0f, 0.1f, 1.0f, {}, {}, tilt);
            const Vec3 nearEdge = rotated(tilt, {-0.5, 0, -0.05});  // from the plate's centre
            plate.position = Vec3{0, 0, 11.0 - 0.001} - nearEdge;
            plate.spin = {0, 3.0, 0};
            plate.velocity = Vec3{0, 0, drift} - Vec3().cross(plate.spin, nearEdge);
            RigidBody slab = physicalBox(4, 4, 1, 5.0f, {0.3, 0.2, 10.5}, {0, 0, drift});
            plate.restitution = e;
            slab.restitution = 0.0f;
            plate.friction = slab.friction = 0.0f;
            GravityWorld w(Vec3{}, 2);
            w.setRules(Rules::physical);
            *w.bodies[0] = plate;
            *w.bodies[1] = slab;
            Island all = w.everyBody();
            w.resolvePair(all, w.bodies[0].get(), w.bodies[1].get(), 0.0f);
            const RigidBody &p = *w.bodies[0], &s = *w.bodies[1];
            const Vec3 now[4] = {p.velocity - Vec3{0, 0, drift}, p.spin, s.velocity - Vec3{0, 0, drift}, s.spin};
            for (int k = 0; k < 4; ++k) {
                if (drift == 0.0) still[k] = now[k];
                EXPECT_NEAR((now[k] - still[k]).length(), 0.0, 1e-9) << e << " " << drift << " " << k;
            }
            for (int x : {-1, 1}) {
                for (int y : {-1, 1}) {
                    const Vec3 corner = p.position + rotated(p.orientation, {0.5 * x, 0.5 * y, -0.05});
                    EXPECT_GT(pointVelocity(p, corner).z - pointVelocity(s, corner).z, -1e-6) << e << " " << drift;
                }
            }
        }
    }
}

// A ball lying on a bar that turns fast about its width, where the face
// under the ball barely moves: the face will strike the ball within
// milliseconds, a point that the manifold of the touch does not hold (a
// single point, where the shapes would first overlap). The response sends
// them apart; flown on, the bar's face does not go into the ball (were the
// strike left to the touch, 5 to 24 cm within 20 ms).
TEST(PhysicalRules, ABallOnABarTurningFastIsStruckByTheFace) {
    // The bar turning at omega about its width, the ball offset m from its
    // axis, lying on it, without gravity, friction or loss.
    const auto barAndBall = [](double omega, double offset, bool ballFirst) {
        RigidBody bar = physicalBox(2.0f, 0.3f, 0.2f, 1.0f, {0, 0, 10});
        bar.spin = {0, -omega, 0};
        RigidBody ball = physicalSphere(0.5, 1.0f, {offset, 0, 10.6});
        ball.restitution = bar.restitution = 1.0f;
        ball.friction = bar.friction = 0.0f;
        auto w = std::make_unique<GravityWorld>(Vec3{}, 2);
        w->setRules(Rules::physical);
        *w->bodies[0] = ballFirst ? ball : bar;
        *w->bodies[1] = ballFirst ? bar : ball;
        return w;
    };
    for (const double omega : {20.0, 50.0}) {
        for (const double offset : {0.0, 0.005, -0.005}) {  // m from the bar's axis
            for (const bool ballFirst : {false, true}) {
                auto world = barAndBall(omega, offset, ballFirst);
                GravityWorld& w = *world;
                const double energy = kineticEnergy(*w.bodies[0]) + kineticEnergy(*w.bodies[1]);
                Island all = w.everyBody();
                w.resolvePair(all, w.bodies[0].get(), w.bodies[1].get(), 0.0f);
                const RigidBody& s = *w.bodies[ballFirst ? 0 : 1];
                const RigidBody& b = *w.bodies[ballFirst ? 1 : 0];
                const std::string label = std::to_string(omega) + " rad/s, " + std::to_string(offset) + " m" +
                                          (ballFirst ? ", ball first" : "");
                EXPECT_LT((momentumOf(s) + momentumOf(b)).length(), 1e-12) << label;
                EXPECT_LE(kineticEnergy(s) + kineticEnergy(b), energy * (1.0 + 1e-12)) << label;
                EXPECT_GT(s.velocity.z, 0.1 * omega) << label;
                double deepest = 0.0;
                for (int k = 1; k <= 100; ++k) {
                    const float t = 0.0002f * static_cast<float>(k);
                    const ContactManifold m = contactBetween(poseAfter(s, t), poseAfter(b, t), 0.0);
                    for (int i = 0; i < m.count; ++i) deepest = std::max(deepest, m.points[i].depth);
                }
                EXPECT_LT(deepest, contactSlop) << label;
            }
        }
    }
    // Turning slowly, the face closes on the ball nowhere fast, not even
    // where the two would first overlap: there is nothing to bounce, and the
    // response takes no more than the touch's own slow approach.
    for (const double omega : {0.5, 1.0, 1.5}) {
        for (const double offset : {0.0, 0.005, -0.005}) {
            auto world = barAndBall(omega, offset, false);
            GravityWorld& w = *world;
            Island all = w.everyBody();
            w.resolvePair(all, w.bodies[0].get(), w.bodies[1].get(), 0.0f);
            EXPECT_LE(w.bodies[1]->velocity.length(), omega * std::max(offset, 0.0) + 1e-12) << omega << " " << offset;
            EXPECT_NEAR(w.bodies[0]->spin.y, -omega, 0.01 * omega) << omega << " " << offset;
        }
    }
}

// A crate on the floor 1 cm beside the heavy ball, the board and the crate
// of the test above touches none of them: the second meetings, which take
// in the bodies that touch the two, leave it out. It stays still, whenever
// in a step the ball comes down (taken into an impact it would be held by
// the floor against the part of gravity the impact takes out, and lifted
// by 3 to 4 cm/s when the impact comes after the middle of the step).
TEST(PhysicalRules, ACrateBesideAnImpactTouchingNeitherBodyStaysStill) {
    for (const double speed : {2.0, 5.0, 10.0}) {
        for (const double share : {0.25, 0.75}) {  // of a step's flight before the ball meets the board
            RigidBody beside = physicalBox(1, 1, 1, 1.0f, {1.01, 0, 0.5});
            RigidBody crate = physicalBox(1, 1, 1, 1.0f, {0, 0, 0.5});
            RigidBody board = physicalBox(1, 1, 0.2f, 0.1f, {0, 0, 1.1 + 1e-4});
            RigidBody ball = physicalSphere(0.4, 15.0f, {0, 0, 1.6 + share * speed * frame}, {0, 0, -speed});
            beside.restitution = crate.restitution = board.restitution = ball.restitution = 1.0f;
            auto w = physicalWorldOf({beside, crate, board, ball});
            double fastest = 0.0;
            for (int i = 0; i < 60; ++i) {
                w->step(frame);
                fastest = std::max(fastest, w->bodies[0]->velocity.length());
            }
            EXPECT_LT(fastest, 1e-6) << speed << " m/s, " << share;
            EXPECT_NEAR((w->bodies[0]->position - beside.position).length(), 0.0, 1e-9) << speed << " m/s, " << share;
        }
    }
}

// A crate asleep on the floor and thrown up by hand wakes at once: it rises
// as a crate thrown up from the floor that never slept, to v^2 / (2 g) (its
// velocity set by hand is one of now: its next part takes half the force).
// A body that moves is never asleep, however long it rested before: held as
// asleep for a part, it would fly that part without gravity and rise 8 cm
// higher.
TEST(PhysicalRules, ACrateThrownUpFromSleepRisesAsAnAwakeOne) {
    const double v = 5.0;
    double rise[2] = {0.0, 0.0};
    for (const bool slept : {false, true}) {
        auto w = physicalWorldOf({physicalBox(1, 1, 1, 1.0f, {0, 0, 0.5})});
        RigidBody& crate = *w->bodies[0];
        if (slept) {
            runFor(*w, 1.0);
            ASSERT_GE(crate.restingFor, sleepAfter);
            ASSERT_TRUE(isZero(crate.velocity));
        }
        const double start = crate.position.z;
        // A velocity of now, as a body put into the world has: its next
        // part takes half the force.
        crate.velocity = {0, 0, v};
        crate.halfFirstPart = true;
        for (int i = 0; i < 60; ++i) {
            w->step(frame);
            rise[slept ? 1 : 0] = std::max(rise[slept ? 1 : 0], crate.position.z - start);
        }
    }
    EXPECT_NEAR(rise[1], rise[0], 1e-6);
    EXPECT_NEAR(rise[0], v * v / (2 * earthG), 0.01);
}

// Two crates side by side on the floor, one of them heavy, and a third
// across both: the lower crates touch the floor and each other at the same
// points (their lower edges), and each contact starts from what the same
// pair gathered there in the last step. Started from the floor's share of
// the heavy crate's weight instead, the contact between the two would push
// them apart every step (by 2 mm to 3 cm in 2 s, the top crate sliding off
// and never sleeping). They stand still and fall asleep.
TEST(PhysicalRules, CratesSideBySideUnderABridgeStandStill) {
    for (const float heavy : {10.0f, 100.0f}) {
        for (const float mu : {0.0f, 0.5f}) {
            std::vector<RigidBody> bodies{physicalBox(1, 1, 1, heavy, {0, 0, 0.5}), physicalBox(1, 1, 1, 1.0f, {1, 0, 0.5}),
                                          physicalBox(1, 1, 1, 1.0f, {0.5, 0, 1.5})};
            for (RigidBody& b : bodies) b.friction = mu;
            auto w = physicalWorldOf(bodies);
            double spread = 0.0, fastest = 0.0;
            for (int i = 0; i < 120; ++i) {
                w->step(frame);
                spread = std::max(spread, std::fabs(w->bodies[1]->position.x - w->bodies[0]->position.x - 1.0));
                for (int k = 0; k < 3; ++k) fastest = std::max(fastest, w->bodies[k]->velocity.length());
            }
            const std::string label = std::to_string(heavy) + " kg, friction " + std::to_string(mu);
            EXPECT_LT(spread, 1e-5) << label;
            EXPECT_LT(fastest, 1e-3) << label;
            EXPECT_NEAR(w->bodies[2]->position.x, 0.5, 1e-4) << label;
            EXPECT_GE(w->bodies[2]->restingFor, sleepAfter) << label;
        }
    }
}
