// Scenes a user sets up through the bodies' public fields rather than the
// four prepared ones: a ball let go in mid-air, a ball thrown straight up,
// a cube on a cube, heads-on meetings, a ball dropped on a long box and a
// crowd of mixed bodies. Each must behave as rigid bodies do: fall, bounce,
// come to rest on what is under them, and pass through nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "tests/support/body_geometry.h"

using namespace prallwerk;

namespace {

constexpr double g = -defaultGravity.z;
constexpr float step60 = 1.0f / 60.0f;

void makeSphere(RigidBody& b, float radius, const Vec3& position) {
    b.kind = kindSphere;
    b.radius = radius;
    b.box = BoxShape{};
    b.position = position;
    b.restitution = 1.0f;
    b.mass = static_cast<float>(unitBallVolume * radius * radius * radius);
}

void makeBox(RigidBody& b, float length, float width, float height, const Vec3& position) {
    b.kind = kindBox;
    b.radius = 0.0f;
    b.box = BoxShape{};
    b.box.length = length;
    b.box.width = width;
    b.box.height = height;
    b.box.resetCorners();
    b.position = position;
    b.restitution = 1.0f;
    b.mass = length * width * height;
}

// Steps the world for the given seconds in steps of 1/60 s, calling check
// after every step with the simulated time.
void run(World& world, double seconds, const std::function<void(double)>& check = nullptr) {
    const int steps = static_cast<int>(std::lround(seconds * 60.0));
    for (int s = 1; s <= steps; ++s) {
        world.step(step60);
        if (check) check(s / 60.0);
    }
}

// No body's centre lies inside another body (with 1 mm to spare), nothing is
// below the ground by more than a hair, everything is finite.
::testing::AssertionResult sound(const World& world) {
    for (int i = 0; i < world.bodyCount; ++i) {
        const RigidBody& a = *world.bodies[i];
        for (const Vec3* v : {&a.position, &a.velocity, &a.spin, &a.angles}) {
            if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
                return ::testing::AssertionFailure() << "body " << i << " is not finite";
            }
        }
        if (bottomOf(a) < -0.05) return ::testing::AssertionFailure() << "body " << i << " below the ground";
        for (int j = 0; j < world.bodyCount; ++j) {
            if (j != i && pointInsideBody(a.position, *world.bodies[j], 0.001)) {
                return ::testing::AssertionFailure() << "the centre of body " << i << " is inside body " << j;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// A ball let go from rest falls as free fall says until it first lands, then
// comes to rest on the ground.
TEST(UnpreparedScenes, ABallLetGoInMidAirFalls) {
    FallingWorld world(1);
    makeSphere(*world.bodies[0], 1.0f, {0, 0, 6});
    run(world, 0.5);
    // Free fall for 0.5 s from rest: 6 - g t^2 / 2, semi-implicit Euler
    // being ahead by g t dt / 2.
    const double t = 0.5;
    EXPECT_NEAR(world.bodies[0]->position.z, 6.0 - 0.5 * g * t * t, 0.5 * g * t * step60 * 1.001);
    run(world, 10.0);
    EXPECT_NEAR(world.bodies[0]->position.z, 1.0, 0.011);
    EXPECT_LT(world.bodies[0]->velocity.length(), 0.1);
}

// A ball thrown straight up whose upward speed runs out exactly at the end of
// a step comes down again.
TEST(UnpreparedScenes, ABallThrownUpComesDown) {
    for (int stepsUp : {30, 60, 61}) {
        FallingWorld world(1);
        makeSphere(*world.bodies[0], 1.0f, {0, 0, 1.5});
        // The speed that gravity takes away in exactly stepsUp steps.
        RigidBody probe = *world.bodies[0];
        probe.force = {0, 0, probe.mass * defaultGravity.z};
        double v = 0.0;
        for (int s = 0; s < stepsUp; ++s) v -= static_cast<double>(step60) * (probe.force.z * (1.0 / probe.mass));
        world.bodies[0]->velocity = {0, 0, v};
        double highest = 0.0;
        run(world, 8.0, [&](double) { highest = std::max(highest, world.bodies[0]->position.z); });
        EXPECT_GT(highest, 1.5 + 0.4 * v * v / (2 * g)) << stepsUp;
        EXPECT_NEAR(world.bodies[0]->position.z, 1.0, 0.011) << stepsUp;
    }
}

// A 1 m cube set down on a 2 m cube stays on it, at rest, for 20 s.
TEST(UnpreparedScenes, ACubeOnACubeStaysThere) {
    for (double gap : {0.0, 0.005, 0.3}) {
        FallingWorld world(2);
        makeBox(*world.bodies[0], 2, 2, 2, {0, 0, 1});
        makeBox(*world.bodies[1], 1, 1, 1, {0.2, -0.1, 2.5 + gap});
        double fastest = 0.0;
        run(world, 20.0, [&](double) {
            fastest = std::max(fastest, world.bodies[1]->velocity.length());
            ASSERT_GT(world.bodies[1]->position.z, 2.45) << gap;
        });
        EXPECT_NEAR(world.bodies[1]->position.z, 2.5, 0.02) << gap;
        EXPECT_LT(world.bodies[1]->velocity.length(), 0.01) << gap;
        EXPECT_LT(fastest, std::sqrt(2 * g * gap) + 0.5) << gap;
        EXPECT_TRUE(sound(world));
    }
}

// Two balls, and two cubes, meeting head on bounce off each other instead of
// passing through.
TEST(UnpreparedScenes, HeadOnMeetingsBounce) {
    struct Case {
        const char* what;
        bool spheres;
        double height;
        double speed;
    } cases[] = {
        {"balls on the ground", true, 1.0, 5.0},
        {"balls in the air", true, 8.0, 12.0},
        {"cubes on the ground", false, 1.0, 5.0},
        {"cubes in the air", false, 8.0, 12.0},
    };
    for (const Case& c : cases) {
        FallingWorld world(2);
        for (int i = 0; i < 2; ++i) {
            const Vec3 at{i == 0 ? -5.0 : 5.0, 0, c.height};
            if (c.spheres) {
                makeSphere(*world.bodies[i], 1.0f, at);
            } else {
                makeBox(*world.bodies[i], 2, 2, 2, at);
            }
            world.bodies[i]->velocity = {i == 0 ? c.speed : -c.speed, 0, 0};
        }
        bool met = false;
        run(world, 5.0, [&](double) {
            const double gapX = world.bodies[1]->position.x - world.bodies[0]->position.x;
            ASSERT_GT(gapX, 1.9) << c.what;
            met = met || world.bodies[0]->velocity.x <= 0.0;
        });
        EXPECT_TRUE(met) << c.what << ": they never met";
        EXPECT_TRUE(sound(world)) << c.what;
    }
}

// A ball dropped on a long box lands on it and stays on top, wherever along
// the box it falls and whichever of the two comes first in the world.
TEST(UnpreparedScenes, ABallDroppedOnALongBoxStaysOnTop) {
    for (double along : {0.0, 3.0, 4.6}) {
        for (bool ballFirst : {true, false}) {
            FallingWorld world(2);
            RigidBody& ball = *world.bodies[ballFirst ? 0 : 1];
            RigidBody& box = *world.bodies[ballFirst ? 1 : 0];
            makeBox(box, 10, 2, 1, {0, 0, 0.5});
            makeSphere(ball, 0.5f, {along, 0.3, 4});
            // It bounces off the top as off the ground: the ground search
            // finds it landing there, before the pair search would.
            int bouncesOnTop = 0, pairImpacts = 0;
            run(world, 10.0, [&](double) {
                if (world.lastStep.groundImpacts > 0 && ball.position.z > 1.2 && ball.velocity.z > 0.0) ++bouncesOnTop;
                pairImpacts += world.lastStep.pairImpacts;
            });
            EXPECT_EQ(pairImpacts, 0) << along << (ballFirst ? " ball first" : " box first");
            EXPECT_GT(bouncesOnTop, 2) << along << (ballFirst ? " ball first" : " box first");
            EXPECT_NEAR(ball.position.z, 1.5, 0.02) << along << (ballFirst ? " ball first" : " box first");
            EXPECT_TRUE(sound(world)) << along;
        }
    }
}

// Thirty mixed bodies thrown into a heap for 20 s.
TEST(UnpreparedScenes, ThirtyMixedBodiesStaySound) {
    std::mt19937 random(20);
    std::uniform_real_distribution<double> place(-6.0, 6.0), size(0.3, 2.0), speed(-5.0, 5.0);
    FallingWorld world(30);
    for (int i = 0; i < 30; ++i) {
        RigidBody& b = *world.bodies[i];
        const Vec3 at{place(random), place(random), 3.0 + 2.5 * i};
        if (i % 2 == 0) {
            makeSphere(b, static_cast<float>(0.5 * size(random)), at);
        } else {
            makeBox(b, static_cast<float>(size(random)), static_cast<float>(size(random)),
                    static_cast<float>(size(random)), at);
        }
        b.velocity = {speed(random), speed(random), speed(random)};
        b.spin = {speed(random), speed(random), speed(random)};
    }
    run(world, 20.0, [&](double t) { ASSERT_TRUE(sound(world)) << "at " << t << " s"; });
}

// A ball dropped on the ground bounces with (0.75 restitution) of its speed
// each time, so each peak stands (0.75 restitution)^2 as high above its
// resting height as the one before. Two things part the run from that: the
// stepping (semi-implicit Euler, and the bounce from the last sample before
// contact) falls short of the continuous motion by less than one step's
// travel at the speed the ball meets the ground with, and the peaks are read
// at the ends of steps.
TEST(UnpreparedScenes, BouncesLoseTheSquareOfTheirFactor) {
    for (float restitution : {1.0f, 0.8f, 0.5f}) {
        FallingWorld world(1);
        RigidBody& ball = *world.bodies[0];
        makeSphere(ball, 0.5f, {0, 0, 10.5});
        ball.restitution = restitution;
        const double keep = 0.75 * restitution;
        std::vector<double> peaks;
        double last = ball.position.z;
        bool rising = false;
        run(world, 12.0, [&](double) {
            const double z = ball.position.z;
            if (rising && z < last) peaks.push_back(last - 0.5);
            rising = z > last;
            last = z;
        });
        ASSERT_GE(peaks.size(), 3u) << restitution;
        for (size_t n = 0; n < 3; ++n) {
            // From the height it fell from: the drop, then the last peak.
            const double fell = n == 0 ? 10.0 : peaks[n - 1];
            const double impactSpeed = std::sqrt(2.0 * g * fell);
            const double expected = keep * keep * fell;
            EXPECT_NEAR(peaks[n], expected, 0.01 + impactSpeed * step60)
                << "bounce " << n + 1 << ", restitution " << restitution;
            EXPECT_LT(peaks[n], expected + 0.01) << "bounce " << n + 1 << " gained height";
        }
    }
}
