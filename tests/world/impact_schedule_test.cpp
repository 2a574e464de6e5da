#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/collision/physical_impact.h"
#include "prallwerk/world/world.h"
#include "tests/support/physical_bodies.h"

using namespace prallwerk;

namespace {

// A ball as the walk has seen it last: at p when the walk's clock read
// `since`, flying at v from there.
struct Seen {
    Vec3 p, v;
    double since = 0.0;
    double radius = 0.0;
    Vec3 at(double time) const { return p + (time - since) * v; }
};

struct Touch {
    double time = -1.0;  // s since the step began; -1: none ahead
    double speed = 0.0;  // m/s of approach a sample after the touch, the least a search can see there
};

// When two balls seen at `now` first touch along their straight paths.
Touch touchOf(const Seen& a, const Seen& b, double now, double sample) {
    const Vec3 d = a.at(now) - b.at(now), w = a.v - b.v;
    const double reach = a.radius + b.radius, ww = dot(w, w), dw = dot(d, w);
    const double disc = dw * dw - ww * (dot(d, d) - reach * reach);
    if (!(dot(d, d) > reach * reach) || !(dw < 0.0) || !(disc > 0.0)) return {};
    const double s = (-dw - std::sqrt(disc)) / ww;
    // The approach along the centres only falls as they pass into each other.
    const Vec3 deeper = d + (s + sample) * w;
    return {now + s, -dot(w, deeper) / deeper.length()};
}

Touch groundTouchOf(const Seen& a, double now) {
    const double height = a.at(now).z - a.radius;
    if (!(a.v.z < 0.0) || !(height > 0.0)) return {};
    return {now + height / -a.v.z, -a.v.z};
}

}  // namespace

// Balls thrown at each other in zero gravity, near the ground, in one step
// walked impact by impact: at every stop the impact is the first touch of
// any two balls or of a ball and the ground that a search must see (found
// a sample or less before it), every body stands where its straight path
// from its own last impact puts it, and the step ends with the bits of
// World::step. A ball that meets nothing flies the step in one flight, bit
// for bit, whatever its island's other balls meet.
TEST(ImpactSchedule, AWalkMeetsEveryFirstTouchInOrderAndEndsAsAStep) {
    constexpr float span = 0.1f;
    constexpr double sample = 0.01 * span, within = 1e-6;
    constexpr int side = 3, count = side * side * side;
    long stops = 0;
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 bits(seed);
        const auto unit = [&bits] { return static_cast<double>(bits() >> 11) * 0x1p-53; };
        // Every other scene sparse enough for several islands, which an
        // impact may send a ball across.
        const double spacing = seed % 2 == 1 ? 1.0 : 2.2;
        std::vector<RigidBody> balls;
        for (int i = 0; i < count; ++i) {
            const double radius = 0.2 + 0.15 * unit();
            Vec3 p{spacing * (i % side), spacing * (i / side % side), 0.6 + spacing * (i / (side * side))};
            p.x += 0.1 * unit() - 0.05;
            p.y += 0.1 * unit() - 0.05;
            Vec3 v;
            v.x = 24.0 * unit() - 12.0;
            v.y = 24.0 * unit() - 12.0;
            v.z = 24.0 * unit() - 12.0;
            balls.push_back(physicalSphere(radius, static_cast<float>(0.5 + 1.5 * unit()), p, v));
            balls.back().restitution = static_cast<float>(0.3 + 0.7 * unit());
            balls.back().friction = 0.0f;
        }
        auto walked = std::make_unique<GravityWorld>(Vec3{}, count);
        auto whole = std::make_unique<GravityWorld>(Vec3{}, count);
        for (World* w : {static_cast<World*>(walked.get()), static_cast<World*>(whole.get())}) {
            w->setRules(Rules::physical);
            for (int i = 0; i < count; ++i) *w->bodies[i] = balls[static_cast<size_t>(i)];
        }
        std::vector<Seen> seen;
        for (const RigidBody& b : balls) seen.push_back({b.position, b.velocity, 0.0, b.radius});
        double now = 0.0;
        StepInProgress s = walked->beginStep(span);
        while (walked->resolveNextImpact(s)) {
            ++stops;
            const int a = walked->indexOf(walked->hitA), b = walked->indexOf(walked->hitB);
            const Touch hit = b < 0 ? groundTouchOf(seen[a], now) : touchOf(seen[a], seen[b], now, sample);
            ASSERT_GT(hit.time, s.time - within) << "stop " << s.events << ": " << a << ", " << b;
            ASSERT_LE(hit.time, s.time + sample + within) << "stop " << s.events << ": " << a << ", " << b;
            // A touch nearer the last stop than the first look of a search
            // made there is not seen by it (it has no time before the touch
            // to give): it is the next step's contact, and not asked for.
            const auto clear = [&](const Touch& t) { return t.speed > bounceSpeed + 0.01 && t.time > now + sample; };
            for (int i = 0; i < count; ++i) {
                const Touch g = groundTouchOf(seen[i], now);
                if (clear(g)) {
                    EXPECT_GE(g.time, s.time - within) << i << " meets the ground first";
                }
                for (int j = i + 1; j < count; ++j) {
                    const Touch t = touchOf(seen[i], seen[j], now, sample);
                    if (clear(t)) {
                        EXPECT_GE(t.time, s.time - within) << i << ", " << j << " meet first";
                    }
                }
            }
            now = s.time;
            for (int i : {a, b}) {
                if (i < 0) continue;
                ASSERT_LT((walked->bodies[i]->position - seen[i].at(now)).length(), within) << "ball " << i << " met";
                seen[i] = {walked->bodies[i]->position, walked->bodies[i]->velocity, now, seen[i].radius};
            }
            for (int i = 0; i < count; ++i) {
                const Vec3 want = seen[i].at(now), got = walked->bodies[i]->position;
                ASSERT_LT((got - want).length(), within) << "ball " << i << " at stop " << s.events;
            }
        }
        whole->step(span);
        EXPECT_EQ(s.events, whole->lastStep.impacts());
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(sameBits(*walked->bodies[i], *whole->bodies[i])) << "ball " << i;
            EXPECT_LT((whole->bodies[i]->position - seen[i].at(span)).length(), within) << "ball " << i;
        }
    }
    // Enough impacts that each step holds chains of them.
    EXPECT_GT(stops, 100);
}



// Impacts found at one sample in one island, each head on: all of them are
// resolved within the step, the lower bodies' first. Balls side by side
// 1.5 cm apart share an island and touch nothing but what they meet.
TEST(ImpactSchedule, ImpactsAtOneSampleAreAllResolvedTheLowerBodiesFirst) {
    struct Ball {
        Vec3 p, v;
    };
    struct Row {
        const char* what;
        std::vector<Ball> balls;
        int a, b;  // the first stop's bodies (-1: the ground)
        bool turnedBack = true;  // equal masses head on, elastic: each ball leaves as it came, turned back
    };
    const double side = 1.015;
    const Row rows[] = {
        {"two onto the ground", {{{0, 0, 1}, {0, 0, -10}}, {{side, 0, 1}, {0, 0, -10}}}, 0, -1},
        {"two pairs",
         {{{-0.75, 0, 5}, {5, 0, 0}}, {{0.75, 0, 5}, {-5, 0, 0}}, {{-0.75, side, 5}, {5, 0, 0}}, {{0.75, side, 5}, {-5, 0, 0}}},
         0, 1},
        // The ground's first, as the pair search looks no further than it.
        {"onto the ground as a pair meets",
         {{{0, 0, 1}, {0, 0, -10}}, {{-0.75, side, 1}, {5, 0, 0}}, {{0.75, side, 1}, {-5, 0, 0}}},
         0, -1},
        // Its two impacts hand it on at once; its third, a look away, is the
        // next step's contact.
        {"one ball met from both sides", {{{0, 0, 5}, {}}, {{-1.5, 0, 5}, {5, 0, 0}}, {{1.5, 0, 5}, {-5, 0, 0}}}, 0, 1, false},
    };
    for (const Row& r : rows) {
        const int n = static_cast<int>(r.balls.size());
        GravityWorld w(Vec3{}, n);
        w.setRules(Rules::physical);
        for (int i = 0; i < n; ++i) {
            *w.bodies[i] = physicalSphere(0.5, 1.0f, r.balls[static_cast<size_t>(i)].p, r.balls[static_cast<size_t>(i)].v);
            w.bodies[i]->restitution = 1.0f;
            w.bodies[i]->friction = 0.0f;
        }
        StepInProgress s = w.beginStep(0.1f);
        ASSERT_TRUE(w.resolveNextImpact(s)) << r.what;
        EXPECT_EQ(w.indexOf(w.hitA), r.a) << r.what;
        EXPECT_EQ(w.indexOf(w.hitB), r.b) << r.what;
        while (w.resolveNextImpact(s)) {
        }
        EXPECT_EQ(w.lastStep.islands, 1) << r.what;
        for (int i = 0; i < n && r.turnedBack; ++i) {
            const Vec3 v = r.balls[static_cast<size_t>(i)].v;
            EXPECT_NEAR((w.bodies[i]->velocity + v).length(), 0.0, 1e-9) << r.what << ", ball " << i;
        }
    }
}

// Two balls meet late in the step, beside balls of their island that meet
// each other early, or the ground, or nothing: their impact is the same
// bits each time, as their searches found it before the other impact.
TEST(ImpactSchedule, AnImpactIsTheSameBitsWhateverElseItsIslandMeets) {
    struct Row {
        const char* what;
        Vec3 p0, v0, v1;  // the first ball's place and both balls' velocities
    };
    const double beside = 1.015, above = 0.6 + beside;
    const Row rows[] = {
        {"nothing", {-0.615, 0, above}, {}, {}},
        {"a pair", {-0.615, 0, above}, {5, 0, 0}, {-5, 0, 0}},
        {"the ground", {-0.615, -beside, 0.75}, {0, 0, -5}, {}},
    };
    std::vector<ImpactRecord> heard[3];
    for (int n = 0; n < 3; ++n) {
        const Row& r = rows[n];
        GravityWorld w(Vec3{}, 4);
        w.setRules(Rules::physical);
        *w.bodies[0] = physicalSphere(0.5, 1.0f, r.p0, r.v0);
        *w.bodies[1] = physicalSphere(0.5, 1.0f, {0.6, 0, above}, r.v1);
        *w.bodies[2] = physicalSphere(0.5, 1.0f, {-0.93, 0, 0.6}, {5, 0, 0});
        // Off the line of the first's path: the response's normal shows where they met.
        *w.bodies[3] = physicalSphere(0.5, 1.0f, {0.91, -0.3, 0.6}, {-6, 0, 0});
        w.impactListener = [&heard, n](const ImpactRecord& record) { heard[n].push_back(record); };
        w.step(0.1f);
        EXPECT_EQ(w.lastStep.islands, 1) << r.what;
        ASSERT_EQ(heard[n].size(), n == 0 ? 1u : 2u) << r.what;
        const ImpactRecord& late = heard[n].back();
        EXPECT_EQ(late.a.index, 2) << r.what;
        EXPECT_EQ(late.b.index, 3) << r.what;
        EXPECT_TRUE(sameBits(late.a.velocityAfter, heard[0][0].a.velocityAfter)) << r.what;
        EXPECT_TRUE(sameBits(late.b.velocityAfter, heard[0][0].b.velocityAfter)) << r.what;
    }
}

// Balls on a line, elastic and of equal mass, each impact handing the speed
// on: a ball that is hit carries it out of its island to one that only its
// new path reaches, and two balls hit from either end meet between, where
// neither's path from the step's start went. Only the last ball of each
// chain moves at the step's end.
TEST(ImpactSchedule, ImpactsCarriedOnMeetWhatOnlyTheNewPathsReach) {
    struct Row {
        const char* what;
        std::vector<double> x, vx, after;  // m, m/s; vx at the step's end
    };
    const Row rows[] = {
        {"one chain", {-1.0537, 0, 1.5}, {10, 0, 0}, {0, 0, 10}},
        {"two chains meeting", {-1.0537, 0, 2, 3.0731}, {10, 0, 0, -10}, {0, -10, 10, 0}},
    };
    for (const Row& r : rows) {
        const int n = static_cast<int>(r.x.size());
        GravityWorld w(Vec3{}, n);
        w.setRules(Rules::physical);
        for (int i = 0; i < n; ++i) {
            *w.bodies[i] = physicalSphere(0.5, 1.0f, {r.x[static_cast<size_t>(i)], 0, 5}, {r.vx[static_cast<size_t>(i)], 0, 0});
            w.bodies[i]->restitution = 1.0f;
        }
        w.step(0.1f);
        EXPECT_EQ(w.lastStep.pairImpacts, n - 1) << r.what;
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(w.bodies[i]->velocity.x, r.after[static_cast<size_t>(i)], 1e-9) << r.what << ", ball " << i;
        }
    }
}

// The island operations called by hand (World::everyBody) search the bodies
// as they stand, before any step and after one, as the impact searches do.
TEST(ImpactSchedule, AnIslandMadeByHandIsSearchedAsItStands) {
    constexpr float limit = 0.1f;
    GravityWorld w(Vec3{}, 3);
    w.setRules(Rules::physical);
    *w.bodies[0] = physicalSphere(0.5, 1.0f, {0, 0, 1.3}, {0, 0, -10});
    *w.bodies[1] = physicalSphere(0.5, 1.0f, {-0.9, 0, 5}, {5, 0, 0});
    *w.bodies[2] = physicalSphere(0.5, 1.0f, {0.9, 0, 5}, {-5, 0, 0});
    for (const char* when : {"before a step", "after one"}) {
        Island all = w.everyBody();
        const float ground = physicalGroundImpact(*w.bodies[0], limit);
        const float pair = physicalPairImpact(*w.bodies[1], *w.bodies[2], limit);
        ASSERT_GT(ground, 0.0f) << when;
        ASSERT_GT(pair, 0.0f) << when;
        EXPECT_EQ(w.earliestGroundHit(all, limit), ground) << when;
        EXPECT_EQ(w.indexOf(all.hitA), 0) << when;
        EXPECT_EQ(w.earliestPairHit(all, limit), pair) << when;
        EXPECT_EQ(w.indexOf(all.hitA), 1) << when;
        EXPECT_EQ(w.indexOf(all.hitB), 2) << when;
        w.step(0.01f);
    }
}
