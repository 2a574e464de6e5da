#include "prallwerk/collision/broad_phase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

constexpr double gravityZ = defaultGravity.z;

// Random bodies of every kind the pair search handles: spheres (some with a
// box of their own), boxes of any proportions, and inert kinds, which the
// search still treats as boxes.
class BodyMaker {
public:
    explicit BodyMaker(uint64_t seed) : rng_(seed) {}

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // A component that is exactly zero, tiny, or ordinary.
    double component(double scale) {
        switch (pick(4)) {
        case 0: return 0.0;
        case 1: return uniform(-1e-4, 1e-4);
        default: return uniform(-scale, scale);
        }
    }

    Vec3 vector(double scale) { return {component(scale), component(scale), component(scale)}; }

    RigidBody body() {
        RigidBody b(static_cast<float>(uniform(0.5, 10.0)));
        const int k = pick(10);
        b.kind = k < 5 ? kindSphere : k < 9 ? kindBox : 7;
        if (b.kind == kindSphere) {
            b.radius = static_cast<float>(uniform(0.1, 2.0));
            if (pick(5) == 0) setEdges(b);
        } else {
            b.radius = static_cast<float>(uniform(-2.0, 0.0));
            setEdges(b);
        }
        b.velocity = pick(3) == 0 ? Vec3{} : vector(30.0);
        b.spin = pick(3) == 0 ? Vec3{} : vector(20.0);
        b.angles = {uniform(-twoPi, twoPi), uniform(-twoPi, twoPi), uniform(-twoPi, twoPi)};
        b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
        b.force = pick(4) == 0 ? vector(200.0) : Vec3{0.0, 0.0, static_cast<double>(b.mass) * gravityZ};
        return b;
    }

    // Half the time along an axis, where the bounds are tightest.
    Vec3 direction() {
        if (pick(2) == 0) {
            Vec3 d;
            const double sign = pick(2) == 0 ? 1.0 : -1.0;
            switch (pick(3)) {
            case 0: d.x = sign; break;
            case 1: d.y = sign; break;
            default: d.z = sign; break;
            }
            return d;
        }
        const double z = uniform(-1.0, 1.0), phi = uniform(0.0, 2.0 * M_PI), r = std::sqrt(1.0 - z * z);
        return {r * std::cos(phi), r * std::sin(phi), z};
    }

    // Times near the largest ones the search meets, and very short ones.
    float limit() { return pick(4) == 0 ? static_cast<float>(uniform(1e-7, 1e-3)) : static_cast<float>(uniform(0.001, 0.1)); }

private:
    void setEdges(RigidBody& b) {
        b.box.width = static_cast<float>(uniform(0.1, 4.0));
        b.box.length = static_cast<float>(uniform(0.1, 4.0));
        b.box.height = static_cast<float>(uniform(0.1, 4.0));
        b.box.resetCorners();
    }

    std::mt19937_64 rng_;
};

// How far apart the contact test can still see two bodies touch.
double touchingDistance(const RigidBody& a, const RigidBody& b) {
    auto reach = [](const RigidBody& r) {
        double half = halfDiagonalOf(r.box.width, r.box.length, r.box.height);
        if (r.kind == kindSphere) half = std::max(half, std::fabs(static_cast<double>(r.radius)));
        return half;
    };
    return reach(a) + reach(b);
}

// The bodies of a list as the broad phase takes them.
std::vector<const RigidBody*> pointersOf(const BodyList& list) {
    std::vector<const RigidBody*> p;
    for (const auto& b : list) p.push_back(b.get());
    return p;
}

bool partners(PairBroadPhase& phase, const BodyList& bodies, float limit) {
    phase.prepare(pointersOf(bodies).data(), 2, limit);
    const PairBroadPhase::Partners p = phase.partnersAfter(0);
    return p.begin() != p.end();
}

}  // namespace

// A pair passed over must be one that the search cannot find within the
// limit nor within any shorter limit a better pair leaves it: no impact and
// no contact vectors written. Positions are chosen so that at the limit the
// centres lie about the touching distance apart, many within a hair of it.
TEST(PairBroadPhase, PassesOverOnlyPairsThatTheSearchCannotFind) {
    BodyMaker make(20261207);
    PairBroadPhase phase(2);
    BodyList bodies;
    bodies.push_back(std::make_unique<RigidBody>(1.0f));
    bodies.push_back(std::make_unique<RigidBody>(1.0f));
    constexpr int configurations = 100000;
    long passedOver = 0, passedOverClose = 0, kept = 0;
    for (int n = 0; n < configurations; ++n) {
        RigidBody& a = *bodies[0];
        RigidBody& b = *bodies[1];
        a = make.body();
        b = make.body();
        const float limit = make.limit();
        // Where the centres would be at the limit, placed about the touching
        // distance apart, then moved back to where they are now.
        const double gap = make.pick(2) == 0 ? make.uniform(-1e-6, 1e-6) : make.uniform(-0.5, 0.5);
        const double apart = touchingDistance(a, b) * (1.0 + gap);
        const Vec3 atLimitA = Vec3{make.uniform(-50, 50), make.uniform(-50, 50), make.uniform(-50, 50)};
        const Vec3 atLimitB = atLimitA + apart * make.direction();
        a.position = atLimitA - (a.predictPosition(limit, a.predictVelocity(limit)) - a.position);
        b.position = atLimitB - (b.predictPosition(limit, b.predictVelocity(limit)) - b.position);

        if (partners(phase, bodies, limit)) {
            ++kept;
            continue;
        }
        ++passedOver;
        if (std::fabs(gap) < 1e-6) ++passedOverClose;
        for (float t : {limit, static_cast<float>(limit * make.uniform(0.0, 1.0))}) {
            const PairImpact impact = pairImpact(t, a, b);
            ASSERT_EQ(impact.time, -1.0f) << "configuration " << n << " within " << t;
            ASSERT_FALSE(impact.sampled) << "configuration " << n;
        }
    }
    // The test means something only if many pairs were passed over, many of
    // them within a millionth of touching, and many kept.
    EXPECT_GT(passedOver, configurations / 5);
    EXPECT_GT(passedOverClose, configurations / 50);
    EXPECT_GT(kept, configurations / 5);
}

TEST(PairBroadPhase, KeepsTouchingPairsAndPassesOverRestingOnes) {
    World w(3, defaultBodyMass);
    for (int i = 0; i < 3; ++i) {
        RigidBody& b = *w.bodies[i];
        b.kind = kindBox;
        b.box.width = b.box.length = b.box.height = 2.0f;
        b.box.resetCorners();
        b.position = {3.0 * i, 0, 10};
    }
    w.bodies[2]->position.x = 5.0;       // touches body 1
    w.bodies[0]->velocity = {10, 0, 0};  // reaches body 1 within 0.1 s, not body 2
    PairBroadPhase phase(3);
    phase.prepare(pointersOf(w.bodies).data(), 3, 0.1f);
    PairBroadPhase::Partners p = phase.partnersAfter(0);
    ASSERT_EQ(p.end() - p.begin(), 1);
    EXPECT_EQ(*p.begin(), 1);
    // Bodies 1 and 2 overlap in reach but both hold exact zeros: passed
    // over, but where resting pairs are asked for.
    p = phase.partnersAfter(1);
    EXPECT_EQ(p.end() - p.begin(), 0);
    EXPECT_EQ(phase.pairs().size(), 1u);
    phase.prepare(pointersOf(w.bodies).data(), 3, 0.1f, true);
    p = phase.partnersAfter(1);
    ASSERT_EQ(p.end() - p.begin(), 1);
    EXPECT_EQ(*p.begin(), 2);
    EXPECT_EQ(phase.pairs().size(), 2u);
    phase.prepare(pointersOf(w.bodies).data(), 3, 0.1f);
    // Any non-finite state meets everything.
    w.bodies[2]->velocity = {NAN, 0, 0};
    phase.prepare(pointersOf(w.bodies).data(), 3, 0.1f);
    p = phase.partnersAfter(0);
    EXPECT_EQ(p.end() - p.begin(), 2);
}

// Worlds of more than BoundsGrid::pairwiseUpTo bodies are kept in a grid.
// Every pair passed over, however the bodies lie, is one the search does not
// find; the partners come in ascending order.
TEST(PairBroadPhase, GriddedWorldsPassOverOnlyPairsThatTheSearchCannotFind) {
    BodyMaker make(77);
    constexpr int worlds = 300;
    long passedOver = 0;
    for (int n = 0; n < worlds; ++n) {
        const int count = BoundsGrid::pairwiseUpTo + 1 + make.pick(40);
        World w(count, 1.0f);
        const double side = 3.0 * std::cbrt(static_cast<double>(count));
        for (int i = 0; i < count; ++i) {
            *w.bodies[i] = make.body();
            w.bodies[i]->position = {make.uniform(0, side), make.uniform(0, side), make.uniform(0, side)};
        }
        PairBroadPhase phase(count);
        const float limit = make.limit();
        // Twice: the second call fills the grid again after the bodies moved.
        for (int round = 0; round < 2; ++round) {
            phase.prepare(pointersOf(w.bodies).data(), count, limit);
            for (int i = 0; i < count; ++i) {
                std::vector<bool> partner(static_cast<size_t>(count), false);
                int last = i;
                for (int j : phase.partnersAfter(i)) {
                    ASSERT_GT(j, last);
                    last = j;
                    partner[static_cast<size_t>(j)] = true;
                }
                for (int j = i + 1; j < count; ++j) {
                    if (partner[static_cast<size_t>(j)]) continue;
                    ++passedOver;
                    const PairImpact impact = pairImpact(limit, *w.bodies[i], *w.bodies[j]);
                    ASSERT_EQ(impact.time, -1.0f) << "world " << n << ", pair " << i << ", " << j;
                    ASSERT_FALSE(impact.sampled);
                }
            }
            for (int i = 0; i < count; ++i) {
                w.bodies[i]->position = w.bodies[i]->position + Vec3{make.uniform(-1, 1), 0, 0};
            }
        }
    }
    EXPECT_GT(passedOver, worlds * 50);
}

// The grid of a large world passes over exactly the pairs that the pairwise
// comparison of a small world passes over: a body's reach depends on the body
// and the limit alone, so each pair of a large world must be a partner there
// exactly when it is one in a world of those two bodies. The worlds mix
// ordinary bodies with ones far larger (too wide for a cell), far out (beyond
// the cells' coordinates), fast, non-finite or at rest, bodies stacked on one
// spot, and a few worlds in which every body is alike.
TEST(PairBroadPhase, TheGridKeepsExactlyThePairsThatMeet) {
    BodyMaker make(31337);
    constexpr int worlds = 200;
    long kept = 0, passedOver = 0;
    for (int n = 0; n < worlds; ++n) {
        const int count = BoundsGrid::pairwiseUpTo + 1 + make.pick(80);
        World w(count, 1.0f);
        const double side = 2.5 * std::sqrt(static_cast<double>(count));
        const bool alike = n % 10 == 0;
        for (int i = 0; i < count; ++i) {
            RigidBody& b = *w.bodies[i];
            b = alike && i > 0 ? *w.bodies[0] : make.body();
            b.position = {make.uniform(0, side), make.uniform(0, side), make.uniform(0, 4)};
            switch (alike ? 9 : make.pick(24)) {
            case 0: b.box.width = b.box.length = 60.0f; b.box.resetCorners(); break;
            case 1: b.position.x = 1e300; break;
            case 2: b.position.y = -3e15; break;
            case 3: b.velocity = {NAN, 0, 0}; break;
            case 4: b.velocity = {400.0, -300.0, 0.0}; break;
            case 5: b.velocity = {}; b.spin = {}; break;
            case 6: b.position = w.bodies[0]->position; break;
            default: break;
            }
        }
        PairBroadPhase phase(count);
        PairBroadPhase pairwise(2);
        BodyList two;
        // Its pairs, as the searches ask for them: those of partnersAfter, in
        // its order.
        {
            phase.prepare(pointersOf(w.bodies).data(), count, make.limit());
            std::vector<std::pair<int, int>> asked, each;
            for (const PairBroadPhase::Pair& p : phase.pairs()) asked.emplace_back(p.first, p.second);
            for (int i = 0; i < count; ++i) {
                for (int j : phase.partnersAfter(i)) each.emplace_back(i, j);
            }
            ASSERT_EQ(asked, each) << "world " << n;
        }
        two.push_back(std::make_unique<RigidBody>(1.0f));
        two.push_back(std::make_unique<RigidBody>(1.0f));
        const float limit = make.limit();
        phase.prepare(pointersOf(w.bodies).data(), count, limit);
        for (int i = 0; i < count; ++i) {
            std::vector<bool> partner(static_cast<size_t>(count), false);
            int last = i;
            for (int j : phase.partnersAfter(i)) {
                ASSERT_GT(j, last) << "world " << n << ", body " << i;
                last = j;
                partner[static_cast<size_t>(j)] = true;
            }
            for (int j = i + 1; j < count; ++j) {
                *two[0] = *w.bodies[i];
                *two[1] = *w.bodies[j];
                const bool meets = partners(pairwise, two, limit);
                ASSERT_EQ(partner[static_cast<size_t>(j)], meets) << "world " << n << ", pair " << i << ", " << j;
                ++(meets ? kept : passedOver);
            }
        }
    }
    EXPECT_GT(kept, worlds * 20);
    EXPECT_GT(passedOver, worlds * 200);
}

// The grid answers which boxes overlap a box asked about exactly as comparing
// every box does: boxes of every size, some far out, some not finite, asked
// about with boxes small, wide and far out, in grids of few and many boxes.
TEST(BoundsGrid, FindsEveryBoxThatOverlapsTheOneAsked) {
    BodyMaker make(2718);
    long found = 0;
    for (int n = 0; n < 300; ++n) {
        const int count = 1 + make.pick(150);
        const double side = 3.0 * std::sqrt(static_cast<double>(count));
        auto box = [&]() {
            Bounds b;
            const double half = make.uniform(0.1, 2.0) * (make.pick(30) == 0 ? 40.0 : 1.0);
            for (int k = 0; k < 3; ++k) {
                const double c = make.uniform(0, side);
                b.lo[k] = c - half * make.uniform(0.3, 1.0);
                b.hi[k] = c + half * make.uniform(0.3, 1.0);
            }
            switch (make.pick(40)) {
            case 0: b.hi[0] = INFINITY; break;
            case 1: b.lo[1] = -1e300; break;
            case 2: b.lo[2] = NAN; break;
            default: break;
            }
            return b;
        };
        std::vector<Bounds> boxes(static_cast<size_t>(count));
        for (Bounds& b : boxes) b = box();
        BoundsGrid grid;
        grid.build(boxes.data(), count);
        for (int q = 0; q < 20; ++q) {
            const Bounds asked = box();
            std::vector<int> every;
            for (int j = 0; j < count; ++j) {
                if (asked.overlaps(boxes[j])) every.push_back(j);
            }
            const BoundsGrid::Items items = grid.overlapping(asked);
            ASSERT_EQ(std::vector<int>(items.begin(), items.end()), every) << "world " << n << ", question " << q;
            found += static_cast<long>(every.size());
        }
    }
    EXPECT_GT(found, 3000);
}
