// Seven scenes set up by hand through the bodies' public fields, as a user
// of the engine would, each judged by what rigid bodies do: a ball let go in
// mid-air falls and comes to rest, a ball thrown up comes down, a cube set
// on a cube stays there, balls and cubes meeting head on turn back, a ball
// dropped on a long box stays on top, and thirty mixed bodies keep out of
// each other. Prints one line per scene and exits with 1 if any fails.
#include <prallwerk/scenes/drop_world.h>
#include <prallwerk/world/world.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

using namespace prallwerk;

namespace {

const float step = 1.0f / 60.0f;

void sphere(RigidBody& b, float radius, Vec3 at, Vec3 velocity = {}) {
    b.kind = kindSphere;
    b.radius = radius;
    b.box = BoxShape{};
    b.mass = unitBallVolume * radius * radius * radius;
    b.restitution = 1.0f;
    b.position = at;
    b.velocity = velocity;
}

void box(RigidBody& b, float length, float width, float height, Vec3 at, Vec3 velocity = {}) {
    b.kind = kindBox;
    b.box = BoxShape{};
    b.box.length = length;
    b.box.width = width;
    b.box.height = height;
    b.box.resetCorners();
    b.mass = length * width * height;
    b.restitution = 1.0f;
    b.position = at;
    b.velocity = velocity;
}

// Runs the world for the given seconds; false as soon as watch says so.
bool run(World& world, double seconds, const std::function<bool()>& watch = [] { return true; }) {
    for (long s = 0; s < std::lround(seconds * 60.0); ++s) {
        world.step(step);
        if (!watch()) return false;
    }
    return true;
}

// Whether the point lies inside the body (a sphere's ball, a box's corners).
bool inside(const Vec3& p, const RigidBody& b) {
    const Vec3 d = p - b.position;
    if (b.kind == kindSphere) return d.length() < b.radius;
    const Vec3* c = b.box.corners;
    for (const Vec3& edge : {c[1] - c[0], c[3] - c[0], c[4] - c[0]}) {
        const double half = 0.5 * edge.length();
        if (!(std::fabs(dot(d, edge)) / (2.0 * half) < half)) return false;
    }
    return true;
}

bool apart(const World& w) {
    for (int i = 0; i < w.bodyCount; ++i) {
        for (int j = 0; j < w.bodyCount; ++j) {
            if (i != j && inside(w.bodies[i]->position, *w.bodies[j])) return false;
        }
    }
    return true;
}

bool letGo() {
    FallingWorld w(1);
    sphere(*w.bodies[0], 1.0f, {0, 0, 6});
    return run(w, 0.5) && w.bodies[0]->position.z < 5.0 && run(w, 10.0) &&
           std::fabs(w.bodies[0]->position.z - 1.0) < 0.02;
}

bool thrownUp() {
    FallingWorld w(1);
    // Gravity takes this speed away in exactly 60 steps.
    sphere(*w.bodies[0], 1.0f, {0, 0, 1.5}, {0, 0, -60.0 * step * defaultGravity.z});
    return run(w, 10.0) && std::fabs(w.bodies[0]->position.z - 1.0) < 0.02;
}

bool cubeOnCube() {
    FallingWorld w(2);
    box(*w.bodies[0], 2, 2, 2, {0, 0, 1});
    box(*w.bodies[1], 1, 1, 1, {0.2, -0.1, 2.6});
    return run(w, 20.0, [&] { return w.bodies[1]->position.z > 2.45; }) &&
           w.bodies[1]->velocity.length() < 0.01;
}

bool headOn(bool balls) {
    FallingWorld w(2);
    for (int i = 0; i < 2; ++i) {
        const Vec3 at{i == 0 ? -5.0 : 5.0, 0, 4}, velocity{i == 0 ? 10.0 : -10.0, 0, 0};
        if (balls) {
            sphere(*w.bodies[i], 1.0f, at, velocity);
        } else {
            box(*w.bodies[i], 2, 2, 2, at, velocity);
        }
    }
    return run(w, 5.0, [&] { return w.bodies[1]->position.x - w.bodies[0]->position.x > 1.9; });
}

bool ballOnLongBox() {
    FallingWorld w(2);
    box(*w.bodies[0], 10, 2, 1, {0, 0, 0.5});
    sphere(*w.bodies[1], 0.5f, {4, 0.3, 5});
    return run(w, 10.0, [&] { return apart(w); }) && std::fabs(w.bodies[1]->position.z - 1.5) < 0.02;
}

bool thirtyMixed() {
    std::mt19937 random(30);
    std::uniform_real_distribution<double> place(-6, 6), size(0.3, 2), speed(-5, 5);
    FallingWorld w(30);
    for (int i = 0; i < 30; ++i) {
        const Vec3 at{place(random), place(random), 3.0 + 2.5 * i}, v{speed(random), speed(random), speed(random)};
        if (i % 2 == 0) {
            sphere(*w.bodies[i], static_cast<float>(0.5 * size(random)), at, v);
        } else {
            box(*w.bodies[i], static_cast<float>(size(random)), static_cast<float>(size(random)),
                static_cast<float>(size(random)), at, v);
        }
        w.bodies[i]->spin = {speed(random), speed(random), speed(random)};
    }
    return run(w, 20.0, [&] {
        for (int i = 0; i < w.bodyCount; ++i) {
            const RigidBody& b = *w.bodies[i];
            if (!std::isfinite(b.position.z) || b.position.z < 0.0) return false;
        }
        return apart(w);
    });
}

}  // namespace

int main() {
    const struct {
        const char* what;
        std::function<bool()> sound;
    } scenes[] = {
        {"a ball let go from rest", letGo},
        {"a ball thrown straight up", thrownUp},
        {"a cube set on a cube, 20 s", cubeOnCube},
        {"balls meeting head on", [] { return headOn(true); }},
        {"cubes meeting head on", [] { return headOn(false); }},
        {"a ball dropped on a long box", ballOnLongBox},
        {"30 mixed bodies, 20 s", thirtyMixed},
    };
    int failed = 0;
    for (const auto& scene : scenes) {
        const bool sound = scene.sound();
        std::printf("%-30s %s\n", scene.what, sound ? "sound" : "FAILED");
        failed += sound ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
