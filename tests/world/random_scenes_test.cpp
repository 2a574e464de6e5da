// Random scenes of the kind a user sets up: 1 to 50 spheres and boxes of
// 0.1 to 5 m and 0.1 to 100 kg, any restitution, thrown at up to 20 m/s,
// each run for 20 s. Whatever they do, nothing turns non-finite, nothing
// sinks below its floor, no body's centre ends inside another body, and the
// total energy never rises more than 1 % above the start's.
//
// PRALLWERK_RANDOM_SCENES sets how many (100 unless told: the test command
// runs 10^4 in the plain build, in eight shards of 1250 that CTest runs side
// by side), PRALLWERK_RANDOM_SCENES_FIRST the first seed, so that one
// failing scene can be run alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "tests/support/body_geometry.h"

using namespace prallwerk;

namespace {

constexpr double fall = -defaultGravity.z;
constexpr float frame60 = 1.0f / 60.0f;
constexpr int stepsPerScene = 20 * 60;

// How far below its floor a body may be seen after a step: the floor clamp
// puts back what sank within the step, and what is left is a box's corner
// that swings below while it turns in flight, measured against the lowest
// corner of the last search (m).
constexpr double floorTolerance = 0.05;

long environmentNumber(const char* name, long otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : otherwise;
}

// Largest distance from a body's centre to its surface.
double boundingRadius(const RigidBody& b) {
    return b.kind == kindSphere ? static_cast<double>(b.radius) : static_cast<double>(b.box.halfDiagonal);
}

// A scene of seed s: bodies placed where they touch nothing, not even the
// ground.
void makeScene(FallingWorld*& world, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> count(1, 50);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int n = count(random);
    world = new FallingWorld(n);
    auto between = [&](double low, double high) { return low + (high - low) * unit(random); };
    auto direction = [&]() {
        Vec3 v;
        do v = {between(-1, 1), between(-1, 1), between(-1, 1)};
        while (v.length() > 1.0 || v.length() < 1e-3);
        return v.normalized();
    };
    for (int i = 0; i < n; ++i) {
        RigidBody& b = *world->bodies[i];
        if (unit(random) < 0.5) {
            b.kind = kindSphere;
            b.radius = static_cast<float>(0.5 * between(0.1, 5.0));
        } else {
            b.kind = kindBox;
            b.box.length = static_cast<float>(between(0.1, 5.0));
            b.box.width = static_cast<float>(between(0.1, 5.0));
            b.box.height = static_cast<float>(between(0.1, 5.0));
            b.angles = {between(-3, 3), between(-3, 3), between(-3, 3)};
            b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
        }
        b.mass = static_cast<float>(between(0.1, 100.0));
        b.restitution = static_cast<float>(unit(random));
        b.velocity = between(0.0, 20.0) * direction();
        b.spin = between(0.0, 5.0) * direction();
        const double reach = boundingRadius(b);
        // Somewhere in a 30 m square, up to 30 m up, apart from every body
        // placed before (a few tries, then higher).
        for (int attempt = 0;; ++attempt) {
            b.position = {between(-15, 15), between(-15, 15), reach + 0.05 + between(0.0, 30.0) + attempt};
            bool apart = true;
            for (int j = 0; j < i && apart; ++j) {
                const RigidBody& o = *world->bodies[j];
                apart = (b.position - o.position).length() > reach + boundingRadius(o) + 0.01;
            }
            if (apart) break;
        }
    }
}

double totalEnergy(const World& world) {
    double e = 0.0;
    for (int i = 0; i < world.bodyCount; ++i) e += energyOf(*world.bodies[i], fall);
    return e;
}

// The first property the world breaks after a step, or an empty text.
std::string brokenProperty(const World& world, double startEnergy) {
    // The bodies by x, so that each centre is compared only with the bodies
    // whose reach along x can hold it: this runs after every step.
    std::vector<int> byX(static_cast<size_t>(world.bodyCount));
    double widest = 0.0;
    for (int i = 0; i < world.bodyCount; ++i) {
        const RigidBody& a = *world.bodies[i];
        for (const Vec3* v : {&a.position, &a.velocity, &a.spin, &a.angles}) {
            if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
                return "body " + std::to_string(i) + " is not finite";
            }
        }
        byX[static_cast<size_t>(i)] = i;
        widest = std::max(widest, boundingRadius(a));
    }
    const auto xOf = [&](int i) { return world.bodies[i]->position.x; };
    std::sort(byX.begin(), byX.end(), [&](int a, int b) { return xOf(a) < xOf(b); });
    for (int i = 0; i < world.bodyCount; ++i) {
        const RigidBody& a = *world.bodies[i];
        const double bottom = bottomOf(a);
        if (bottom < -floorTolerance || bottom < a.floorHeight - floorTolerance) {
            return "body " + std::to_string(i) + (a.kind == kindSphere ? " (sphere)" : " (box)") + " is " + std::to_string(std::max(0.0, static_cast<double>(a.floorHeight)) - bottom) + " m below its floor " + std::to_string(a.floorHeight) + " at speed " + std::to_string(a.velocity.length());
        }
        const auto from = std::lower_bound(byX.begin(), byX.end(), a.position.x - widest,
                                           [&](int j, double x) { return xOf(j) < x; });
        for (auto k = from; k != byX.end() && xOf(*k) <= a.position.x + widest; ++k) {
            const int j = *k;
            const RigidBody& b = *world.bodies[j];
            // Only a centre within the other body's reach can lie inside it.
            const Vec3 apart = a.position - b.position;
            const double reach = boundingRadius(b);
            if (j == i || dot(apart, apart) > reach * reach) continue;
            if (pointInsideBody(a.position, b, 0.001)) {
                return "the centre of body " + std::to_string(i) + " is inside body " + std::to_string(j);
            }
        }
    }
    const double energy = totalEnergy(world);
    if (energy > startEnergy + 0.01 * std::fabs(startEnergy)) {
        return "the energy rose to " + std::to_string(energy / startEnergy) + " of the start's";
    }
    return {};
}

}  // namespace

TEST(RandomScenes, StaySoundForTwentySeconds) {
    const long scenes = environmentNumber("PRALLWERK_RANDOM_SCENES", 100);
    const long first = environmentNumber("PRALLWERK_RANDOM_SCENES_FIRST", 1);
    int failed = 0;
    for (long seed = first; seed < first + scenes; ++seed) {
        FallingWorld* world = nullptr;
        makeScene(world, static_cast<uint32_t>(seed));
        const double start = totalEnergy(*world);
        std::string broken = brokenProperty(*world, start);
        ASSERT_EQ(broken, "") << "scene " << seed << " at the start";
        for (int s = 1; s <= stepsPerScene && broken.empty(); ++s) {
            world->step(frame60);
            broken = brokenProperty(*world, start);
            if (!broken.empty()) {
                ADD_FAILURE() << "scene " << seed << " (" << world->bodyCount << " bodies) after " << s / 60.0
                              << " s: " << broken;
                ++failed;
            }
        }
        delete world;
        if (failed >= 10) break;
    }
    EXPECT_EQ(failed, 0);
}
