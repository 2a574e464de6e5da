// The first experiments a person makes with a rigid-body engine, set up
// through body definitions under the physical rules, each judged by what
// physics says: billiard balls hand on their speed, momentum is kept,
// Newton's cradle sends the last ball off, a crate at rest is pushed by
// what hits it, sliding ends after v^2 / (2 mu g), a ball thrown sliding
// rolls on at 5/7 of its speed, dominoes topple, a tower and a pyramid
// stand, a fast small ball does not pass through a thin slab, and a heavy
// ball rests on a light crate. Prints one line per experiment and exits
// with 1 if any fails.
#include <prallwerk/scenes/body_def.h>
#include <prallwerk/world/world.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace prallwerk;

namespace {

const float step = 1.0f / 60.0f;
const double g = 9.81;

BodyDef ball(float radius, float mass, Vec3 at, Vec3 velocity = {}) {
    BodyDef d;
    d.kind = kindSphere;
    d.radius = radius;
    d.mass = mass;
    d.position = at;
    d.velocity = velocity;
    return d;
}

BodyDef crate(float length, float width, float height, float mass, Vec3 at, Vec3 velocity = {}) {
    BodyDef d;
    d.kind = kindBox;
    d.length = length;
    d.width = width;
    d.height = height;
    d.mass = mass;
    d.position = at;
    d.velocity = velocity;
    return d;
}

BodyDef slick(BodyDef d, float restitution = 1.0f) {
    d.friction = 0.0f;
    d.restitution = restitution;
    return d;
}

std::unique_ptr<World> physical(const std::vector<BodyDef>& defs, Vec3 gravity = defaultGravity) {
    BuiltWorld built = buildWorld(defs, gravity, Rules::physical);
    if (built.error) {
        std::printf("refused: %s\n", built.error->message().c_str());
        return nullptr;
    }
    return std::move(built.world);
}

void run(World& world, double seconds) {
    for (long s = 0; s < std::lround(seconds * 60.0); ++s) world.step(step);
}

const RigidBody& body(const World& world, int i) { return *world.bodies[static_cast<size_t>(i)]; }

bool near(double value, double expected, double share) { return std::fabs(value - expected) <= share * std::fabs(expected); }

bool report(const char* name, bool ok, const char* figures) {
    std::printf("%-28s %s  %s\n", name, ok ? "ok  " : "FAIL", figures);
    return ok;
}

char figures[200];

// A cue ball at 4 m/s meets a ball at rest head on, on a slick table:
// equal masses exchange their velocities.
bool billiards() {
    auto w = physical({slick(ball(0.03f, 0.17f, {0, 0, 0.03}, {4, 0, 0})), slick(ball(0.03f, 0.17f, {0.5, 0, 0.03}))});
    run(*w, 0.5);
    const double cue = body(*w, 0).velocity.x, hit = body(*w, 1).velocity.x;
    std::snprintf(figures, sizeof figures, "cue %.4f m/s, the other %.4f m/s", cue, hit);
    return report("billiards", std::fabs(cue) < 0.04 && near(hit, 4.0, 0.01), figures);
}

// Two bodies meet in mid-air without gravity: 2 kg at +3 m/s, 5 kg at
// -1 m/s, restitution 0.5. Momentum is kept, and they part at half the
// speed they met at: Newton's restitution in closed form.
bool pairMomentum() {
    auto w = physical({slick(ball(0.5f, 2.0f, {-2, 0, 5}, {3, 0, 0}), 0.5f), slick(ball(0.5f, 5.0f, {1, 0, 5}, {-1, 0, 0}), 0.5f)},
                      Vec3{0, 0, 0});
    run(*w, 2.0);
    const double m1 = 2, m2 = 5, u1 = 3, u2 = -1, e = 0.5;
    const double v1 = (m1 * u1 + m2 * u2 - m2 * e * (u1 - u2)) / (m1 + m2);
    const double v2 = (m1 * u1 + m2 * u2 + m1 * e * (u1 - u2)) / (m1 + m2);
    const double p = m1 * body(*w, 0).velocity.x + m2 * body(*w, 1).velocity.x;
    std::snprintf(figures, sizeof figures, "momentum %.12f (was %.1f), %.4f and %.4f m/s (closed form %.4f, %.4f)", p,
                  m1 * u1 + m2 * u2, body(*w, 0).velocity.x, body(*w, 1).velocity.x, v1, v2);
    return report("a pair's momentum", std::fabs(p - (m1 * u1 + m2 * u2)) < 1e-9 &&
                                           near(body(*w, 0).velocity.x, v1, 0.01) && near(body(*w, 1).velocity.x, v2, 0.01),
                  figures);
}

// Five balls a millimetre apart; the first rolled at them at 2 m/s hands
// its speed down the row to the last.
bool newtonsCradle() {
    std::vector<BodyDef> defs;
    for (int i = 0; i < 5; ++i) defs.push_back(slick(ball(0.1f, 1.0f, {0.201 * i, 0, 0.1})));
    defs.push_back(slick(ball(0.1f, 1.0f, {-1, 0, 0.1}, {2, 0, 0})));
    auto w = physical(defs);
    run(*w, 1.0);
    double still = 0;
    for (int i = 0; i < 4; ++i) still = std::fmax(still, std::fabs(body(*w, i).velocity.x));
    still = std::fmax(still, std::fabs(body(*w, 5).velocity.x));
    std::snprintf(figures, sizeof figures, "last ball %.4f m/s, the others at most %.4f m/s", body(*w, 4).velocity.x, still);
    return report("Newton's cradle", near(body(*w, 4).velocity.x, 2.0, 0.02) && still < 0.1, figures);
}

// A crate at rest on the floor, hit by a crate of its mass sliding at
// 5 m/s: the blow hands the slider's speed on, and the crate slides off.
bool restingCratePushed() {
    auto w = physical({crate(1, 1, 1, 10, {0, 0, 0.5}), crate(1, 1, 1, 10, {-3, 0, 0.5}, {5, 0, 0})});
    run(*w, 4.0);
    const double went = body(*w, 0).position.x, slider = body(*w, 1).position.x;
    std::snprintf(figures, sizeof figures, "the resting crate went %.2f m, the slider stopped at %.2f m", went, slider);
    return report("a resting crate pushed", went > 0.3 && slider < -0.99 && slider > -1.1, figures);
}

// A crate shoved at 8 m/s with friction 0.5 stops after v^2 / (2 mu g),
// within the last step's: it stops within a step, slowing by mu g.
bool slidingEnds() {
    const double v = 8.0;
    BodyDef d = crate(1, 1, 1, 20, {0, 0, 0.5}, {v, 0, 0});
    d.restitution = 0;
    auto w = physical({d});
    run(*w, 3.0);
    const double expected = v * v / (2 * 0.5 * g), went = body(*w, 0).position.x;
    std::snprintf(figures, sizeof figures, "stopped after %.3f m (v^2/(2 mu g) = %.3f m, %.2f %% short), speed %.2g m/s",
                  went, expected, 100 * (expected - went) / expected, body(*w, 0).velocity.length());
    return report("sliding that ends", std::fabs(went - expected) <= 0.5 * g * step * step && body(*w, 0).velocity.length() < 1e-3,
                  figures);
}

// A ball thrown sliding at 8 m/s rolls on at 5/7 of it.
bool rollingBall() {
    BodyDef d = ball(0.5f, 5, {0, 0, 0.5}, {8, 0, 0});
    d.restitution = 0;
    auto w = physical({d});
    run(*w, 2.0);
    const RigidBody& b = body(*w, 0);
    std::snprintf(figures, sizeof figures, "%.4f m/s (5/7 of 8 = %.4f), spin %.4f rad/s", b.velocity.x, 40.0 / 7, b.spin.y);
    return report("a rolling ball", near(b.velocity.x, 40.0 / 7, 0.01) && near(b.spin.y * 0.5, b.velocity.x, 0.01), figures);
}

// Ten wooden slabs 1.8 m apart; a ball rolled into the first topples them all.
bool dominoes() {
    std::vector<BodyDef> defs;
    for (int i = 0; i < 10; ++i) {
        BodyDef d = crate(0.3f, 1.5f, 3.0f, 10, {1.8 * i, 0, 1.5});
        d.restitution = 0;
        defs.push_back(d);
    }
    BodyDef push = ball(0.4f, 20, {-3, 0, 2.6}, {6, 0, 0});
    push.restitution = 0;
    defs.push_back(push);
    auto w = physical(defs);
    run(*w, 10.0);
    int fallen = 0;
    for (int i = 0; i < 10; ++i) fallen += body(*w, i).position.z < 1.2;
    std::snprintf(figures, sizeof figures, "%d of 10 toppled", fallen);
    return report("dominoes", fallen == 10, figures);
}

// Ten crates stacked stand where they were put.
bool towerOfTen() {
    std::vector<BodyDef> defs;
    for (int i = 0; i < 10; ++i) {
        BodyDef d = crate(1, 1, 1, 1, {0, 0, 0.5 + i});
        d.restitution = 0;
        defs.push_back(d);
    }
    auto w = physical(defs);
    run(*w, 5.0);
    const RigidBody& top = body(*w, 9);
    const double drift = std::hypot(top.position.x, top.position.y), sank = 9.5 - top.position.z;
    std::snprintf(figures, sizeof figures, "the top moved %.2g m aside, sank %.3f m", drift, sank);
    return report("a tower of ten", drift < 0.01 && sank < 0.05 && sank > -0.01, figures);
}

// Thirty crates in a pyramid of four layers stand.
bool pyramid() {
    std::vector<BodyDef> defs;
    for (int layer = 0; layer < 4; ++layer) {
        const int n = 4 - layer;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                BodyDef d = crate(1, 1, 1, 1, {1.02 * (i - 0.5 * (n - 1)), 1.02 * (j - 0.5 * (n - 1)), 0.5 + layer});
                d.restitution = 0;
                defs.push_back(d);
            }
        }
    }
    auto w = physical(defs);
    run(*w, 5.0);
    const RigidBody& top = body(*w, 29);
    std::snprintf(figures, sizeof figures, "the top crate at z = %.3f (put at 3.5), %.2g m aside", top.position.z,
                  std::hypot(top.position.x, top.position.y));
    return report("a pyramid", top.position.z > 3.45 && std::hypot(top.position.x, top.position.y) < 0.01, figures);
}

// A ball of 2 cm at 300 m/s at a fixed slab 1 cm thick: it stays in front.
bool fastBallThinSlab() {
    BodyDef slab = crate(0.01f, 2, 2, 1, {0, 0, 1});
    slab.fixed = true;
    BodyDef bullet = ball(0.02f, 0.01f, {-2, 0, 1}, {300, 0, 0});
    bullet.restitution = 0.5;
    auto w = physical({slab, bullet}, Vec3{0, 0, 0});
    double farthest = -HUGE_VAL;
    for (int s = 0; s < 6; ++s) {
        w->step(step);
        farthest = std::fmax(farthest, body(*w, 1).position.x);
    }
    std::snprintf(figures, sizeof figures, "came to x = %.4f at most (the slab's face at -0.005), flying back at %.1f m/s",
                  farthest, body(*w, 1).velocity.x);
    return report("a fast ball at a thin slab", farthest < -0.005 - 0.02 + 1e-3 && body(*w, 1).velocity.x < -100, figures);
}

// A 100 kg ball dropped on a 1 kg crate comes to rest on it, the crate on
// the floor.
bool heavyBallLightCrate() {
    BodyDef box = crate(1, 1, 1, 1, {0, 0, 0.5});
    box.restitution = 0;
    BodyDef heavy = ball(0.4f, 100, {0, 0, 2});
    heavy.restitution = 0;
    auto w = physical({box, heavy});
    run(*w, 5.0);
    const double crateZ = body(*w, 0).position.z, ballZ = body(*w, 1).position.z;
    std::snprintf(figures, sizeof figures, "crate at z = %.4f, ball at z = %.4f (on top: 1.4)", crateZ, ballZ);
    return report("a heavy ball on a light crate", std::fabs(crateZ - 0.5) < 0.01 && std::fabs(ballZ - 1.4) < 0.02, figures);
}

}  // namespace

int main() {
    bool (*const experiments[])() = {billiards,  pairMomentum, newtonsCradle, restingCratePushed,
                                      slidingEnds, rollingBall, dominoes,     towerOfTen,
                                      pyramid,     fastBallThinSlab, heavyBallLightCrate};
    int held = 0, count = 0;
    for (auto experiment : experiments) {
        held += experiment() ? 1 : 0;
        ++count;
    }
    std::printf("%d of %d hold\n", held, count);
    return held == count ? 0 : 1;
}
