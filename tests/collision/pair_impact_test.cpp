#include "prallwerk/collision/pair_impact.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "prallwerk/math/bits.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

float stepTime(int k, float limit) {
    return static_cast<float>(k * static_cast<double>(limit) * static_cast<double>(0.01f));
}

BoxShape cube() {
    BoxShape b;
    b.width = b.length = b.height = 2.0f;
    b.resetCorners();
    return b;
}

void makeSphere(RigidBody& b, Vec3 position, Vec3 velocity) {
    b = RigidBody(defaultBodyMass);
    b.kind = kindSphere;
    b.radius = 1.0f;
    b.position = position;
    b.velocity = velocity;
}

void makeCube(RigidBody& b, Vec3 position, Vec3 velocity) {
    b = RigidBody(defaultBodyMass);
    b.kind = kindBox;
    b.box = cube();
    b.position = position;
    b.velocity = velocity;
}

// A world of n bodies far apart and at rest, without forces.
class QuietWorld : public World {
public:
    explicit QuietWorld(int n) : World(n, defaultBodyMass) {
        for (int i = 0; i < n; ++i) makeCube(*bodies[i], {100.0 * i, 0, 50}, {});
    }
};

// Within a few units of the last place: contact vectors are made unit length
// from the bodies' predicted positions.
void expectVec(const Vec3& v, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(v.x, x);
    EXPECT_DOUBLE_EQ(v.y, y);
    EXPECT_DOUBLE_EQ(v.z, z);
}

}  // namespace

TEST(BoxContactNormal, PicksTheFarthestAxisAndPointsBack) {
    const BoxShape b = cube();
    expectVec(boxContactNormal(b, -0.5, 0.1, 0.2), 1, 0, 0);
    expectVec(boxContactNormal(b, 0.9, 0.1, 0.2), -1, 0, 0);
    expectVec(boxContactNormal(b, 0.1, 0.8, 0.2), 0, -1, 0);
    expectVec(boxContactNormal(b, 0.1, -0.2, -0.7), 0, 0, 1);
    // Ties go to the lower axis: z before y before x.
    expectVec(boxContactNormal(b, 0.5, 0.5, 0.5), 0, 0, -1);
    expectVec(boxContactNormal(b, 0.5, -0.5, 0.1), 0, 1, 0);
    // The centre itself: every projection zero, the result is -e1.
    expectVec(boxContactNormal(b, 0, 0, 0), 0, 0, -1);
    // Outside the half diagonal; exactly on it counts as inside.
    expectVec(boxContactNormal(b, 1.0, 1.0, 1.01), 0, 0, 0);
    const double h = b.halfDiagonal;
    EXPECT_GT(boxContactNormal(b, h, 0, 0).length(), 0.0);
    EXPECT_EQ(boxContactNormal(b, std::nextafter(h, 2.0), 0, 0).length(), 0.0);
}

TEST(BoxContactNormal, BoundsAreWholeEdgesWithTheSideEdgesCrossed) {
    // A flat box: length (x) 6, width (y) 1, height (z) 1. The x projection is
    // bounded by the width, the y projection by the length.
    BoxShape flat;
    flat.length = 6.0f;
    flat.width = 1.0f;
    flat.height = 1.0f;
    flat.resetCorners();
    EXPECT_EQ(boxContactNormal(flat, 1.0, 0, 0).length(), 1.0);   // x projection 1 <= width 1
    EXPECT_EQ(boxContactNormal(flat, 1.01, 0, 0).length(), 0.0);  // beyond the width
    EXPECT_EQ(boxContactNormal(flat, 0, 2.5, 0).length(), 1.0);   // y within the length
    // A sphere's box has no extent and contains nothing, not even its centre.
    const BoxShape none;
    EXPECT_EQ(boxContactNormal(none, 0, 0, 0).length(), 0.0);
}

// The ball's surface reaches the cube's face x = 1.555 when its centre is at
// 0.555, after 0.0555 s: the first sample in contact is 56, the result the
// one before. The contact vector points from the cube toward the ball; the
// cube's is the ball's direction of travel.
TEST(PairTimeOfImpact, SphereBeforeBoxMeetsItsFace) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {2.555, 0, 0}, {});
    const float t = w.pairTimeOfImpact(all, 0.1f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(55, 0.1f));
    expectVec(all.normalA, -1, 0, 0);
    expectVec(all.normalB, 1, 0, 0);
}

// Two cubes face to face meet when their centres are 2 apart (a at 2.03,
// after 0.203 s: sample 82 of 0.25 s), along the line they approach on.
TEST(PairTimeOfImpact, BoxesFaceToFaceMeetAlongTheirFaces) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeCube(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {4.03, 0, 0}, {});
    const float t = w.pairTimeOfImpact(all, 0.25f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(81, 0.25f));
    expectVec(all.normalA, -1, 0, 0);
    expectVec(all.normalB, -1, 0, 0);
}

// Two cubes turned so that an edge of each meets an edge of the other,
// crossed: no corner of either enters the other until long after they
// touch, yet they meet as their edges do.
TEST(PairTimeOfImpact, BoxesMeetEdgeToEdge) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeCube(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {4, 0, 0}, {});
    const double quarter = 0.78539816339744831;
    w.bodies[0]->angles = {0, 0, quarter};  // a vertical edge leads
    w.bodies[0]->box.reorient(0, 0, quarter, pivotCentre);
    w.bodies[1]->angles = {0, quarter, 0};  // a horizontal edge along y faces it
    w.bodies[1]->box.reorient(0, quarter, 0, pivotCentre);
    // Edges touch when the centres are 2 sqrt(2) apart: a at 4 - 2.828 =
    // 1.172, after 0.1172 s.
    const float t = w.pairTimeOfImpact(all, 0.25f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_GT(t, 0.11f);
    EXPECT_LT(t, 0.1172f);
    EXPECT_NEAR(all.normalA.x, -1.0, 1e-9);
}

TEST(PairTimeOfImpact, RestingOrSeparatingPairsAreNotImpacts) {
    QuietWorld w(2);
    Island all = w.everyBody();
    // Overlapping but both at rest.
    makeCube(*w.bodies[0], {0, 0, 0}, {0.0001, 0, 0});
    makeCube(*w.bodies[1], {1, 0, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.1f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
    // Touching inside the limit, apart again at its end (passing through):
    // an impact all the same, where it first touches. The ball's surface
    // reaches the face x = 1 at 0.01375 s: sample 6 of 0.25 s touches.
    makeCube(*w.bodies[0], {0, 0, 0}, {0, 0, 0});
    makeSphere(*w.bodies[1], {2.55, 0, 0}, {-40, 0, 0});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.25f, w.bodies[0].get(), w.bodies[1].get()), stepTime(5, 0.25f));
    // Grazing past without touching: none.
    makeSphere(*w.bodies[1], {2.55, 2.2, 0}, {-40, 0, 0});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.25f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
    // Touching exactly, no more, at the first sample counts as contact: 0.
    // (2 plus the float 0.01 is exact in double, so the ball's centre stands
    // at x = 2 then, its surface on the cube's face.)
    {
        const float limit = 1.0f;
        makeCube(*w.bodies[0], {0, 0, 0}, {});
        makeSphere(*w.bodies[1], {2.0 + static_cast<double>(0.01f), 0, 0}, {-1, 0, 0});
        EXPECT_EQ(w.pairTimeOfImpact(all, limit, w.bodies[1].get(), w.bodies[0].get()), 0.0f);
    }
    // Already in contact at the first step: 0, which is not an impact.
    makeCube(*w.bodies[0], {0, 0, 0}, {1, 0, 0});
    makeCube(*w.bodies[1], {1.5, 0, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.1f, w.bodies[0].get(), w.bodies[1].get()), 0.0f);
    EXPECT_EQ(w.earliestPairHit(all, 0.1f), -1.0f);
}

// Contact between the last sample and the probe: 0.99 of the limit, and the
// contact vector the probe found, so that the bodies turn back.
TEST(PairTimeOfImpact, ContactOnlyAtTheProbeGivesNinetyNineHundredths) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeCube(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    // Faces meet when the centres are 2 apart: at x = 0.995 for a, between
    // the last search step (0.99) and the probe (1.0).
    const float limit = 0.1f;
    makeCube(*w.bodies[1], {2.995, 0, 0}, {});
    all.normalA = {9, 9, 9};
    const float t = w.pairTimeOfImpact(all, limit, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(99, limit));
    expectVec(all.normalA, -1, 0, 0);
    expectVec(all.normalB, -1, 0, 0);
}

// Balls meet where their centres are as far apart as their radii reach,
// along the line between the centres.
TEST(PairTimeOfImpact, SpheresMeetAlongTheLineOfTheirCentres) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeSphere(*w.bodies[1], {3.05, 0, 0}, {});
    // Centres 2 apart at a = 1.05, after 0.105 s: sample 53 of 0.2 s.
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.2f, w.bodies[0].get(), w.bodies[1].get()), stepTime(52, 0.2f));
    expectVec(all.normalA, -1, 0, 0);
    expectVec(all.normalB, -1, 0, 0);
    // Off centre: they meet at a = 3.05 - sqrt(3) (0.1318 s, sample 66),
    // and the contact leans as the line between them does.
    makeSphere(*w.bodies[1], {3.05, 1, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.2f, w.bodies[0].get(), w.bodies[1].get()), stepTime(65, 0.2f));
    const double ax = static_cast<double>(stepTime(66, 0.2f)) * 10.0;
    const Vec3 expected = Vec3{ax - 3.05, -1, 0}.normalized();
    EXPECT_NEAR(all.normalA.x, expected.x, 1e-12);
    EXPECT_NEAR(all.normalA.y, expected.y, 1e-12);
    // Apart at the limit: no impact.
    makeSphere(*w.bodies[1], {3.5, 0, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(all, 0.1f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
}

// A box before a ball meets the ball's surface, not only its centre.
TEST(PairTimeOfImpact, BoxBeforeSphereMeetsItsSurface) {
    QuietWorld w(2);
    Island all = w.everyBody();
    makeCube(*w.bodies[0], {0, 0, 0}, {});
    makeSphere(*w.bodies[1], {4.05, 0, 0}, {-10, 0, 0});
    // The surface reaches x = 1 when the centre is at 2: after 0.205 s, the
    // first sample in contact is 52 of 0.4 s.
    const float t = w.pairTimeOfImpact(all, 0.4f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(51, 0.4f));
    expectVec(all.normalA, -1, 0, 0);  // from the sphere's side toward the box
}

TEST(EarliestPairHit, FewerThanTwoBodiesFindNothing) {
    QuietWorld w(1);
    Island all = w.everyBody();
    all.hitA = w.bodies[0].get();
    EXPECT_EQ(w.earliestPairHit(all, 0.1f), -1.0f);
    EXPECT_EQ(all.hitA, w.bodies[0].get());
    EXPECT_EQ(all.hitB, nullptr);
}

TEST(EarliestPairHit, KeepsTheContactOfThePairItTakes) {
    // Bodies 0 and 1 collide inside the limit. Bodies 1 and 2 already touch
    // and are searched after them: their search returns 0, which is not
    // taken, but it writes its own contact vectors. The winner's must stay.
    QuietWorld w(3);
    Island all = w.everyBody();
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {2.555, 0, 0}, {});
    makeCube(*w.bodies[2], {2.555, 0, 1.5}, {0, 0, 0.5});
    const float t = w.earliestPairHit(all, 0.1f);
    EXPECT_EQ(t, stepTime(55, 0.1f));
    EXPECT_EQ(all.hitA, w.bodies[0].get());
    EXPECT_EQ(all.hitB, w.bodies[1].get());
    expectVec(all.normalA, -1, 0, 0);
    expectVec(all.normalB, 1, 0, 0);

    // The later pair's search did run and wrote other vectors.
    QuietWorld only(3);
    Island alone = only.everyBody();
    makeCube(*only.bodies[1], {2.555, 0, 0}, {});
    makeCube(*only.bodies[2], {2.555, 0, 1.5}, {0, 0, 0.5});
    EXPECT_EQ(only.pairTimeOfImpact(alone, t, only.bodies[1].get(), only.bodies[2].get()), 0.0f);
    EXPECT_NE(alone.normalA.x, -1.0);
}

TEST(EarliestPairHit, EarlierPairsShortenTheLimitAndTiesKeepTheFirst) {
    QuietWorld w(4);
    Island all = w.everyBody();
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {2.555, 0, 0}, {});
    makeSphere(*w.bodies[2], {0, 20, 0}, {10, 0, 0});
    makeCube(*w.bodies[3], {2.555, 20, 0}, {});
    EXPECT_EQ(w.earliestPairHit(all, 0.1f), stepTime(55, 0.1f));
    EXPECT_EQ(all.hitA, w.bodies[0].get());
    EXPECT_EQ(all.hitB, w.bodies[1].get());
    w.bodies[2]->velocity.x = 12;
    EXPECT_LT(w.earliestPairHit(all, 0.1f), stepTime(55, 0.1f));
    EXPECT_EQ(all.hitA, w.bodies[2].get());
    EXPECT_EQ(all.hitB, w.bodies[3].get());
}

// The world's memo of turned frames hands back exactly the frame a box of
// those edges turned to those angles has, whatever it held before: boxes of
// a few sizes at a few angles asked for again and again in a random order
// (so that entries are found, missed and overwritten), angles that differ
// from each other only in their last bit or in the sign of a zero, and the
// pair searches with and without it on the same pairs.
TEST(PosedFrames, HandsBackTheFrameOfTheEdgesAndAngles) {
    std::mt19937_64 rng(31);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::vector<BoxShape> boxes(5);
    for (BoxShape& b : boxes) {
        b.width = static_cast<float>(uniform(0.2, 3.0));
        b.length = static_cast<float>(uniform(0.2, 3.0));
        b.height = static_cast<float>(uniform(0.2, 3.0));
        b.resetCorners();
    }
    // Edges that differ in one of the three.
    boxes[1].length = boxes[0].length;
    boxes[1].height = boxes[0].height;
    boxes[2].width = boxes[0].width;
    boxes[2].height = boxes[0].height;
    std::vector<Vec3> angles;
    for (int i = 0; i < 20; ++i) angles.push_back({uniform(-6, 6), uniform(-6, 6), uniform(-6, 6)});
    // Many that share two of their three angles: a memo that compared two
    // would hand one's frame to another.
    for (int i = 0; i < 60; ++i) {
        Vec3 a = angles[static_cast<size_t>(i % 3)];
        (i % 3 == 0 ? a.x : i % 3 == 1 ? a.y : a.z) = uniform(-6, 6);
        angles.push_back(a);
    }
    angles.push_back({std::nextafter(angles[0].x, 9.0), angles[0].y, angles[0].z});
    angles.push_back({0.0, -0.0, 1.0});
    angles.push_back({-0.0, 0.0, 1.0});
    auto same = [](const PosedFrame& a, const PosedFrame& b) {
        for (int k = 0; k < 3; ++k) {
            if (!sameBits(a.axis[k], b.axis[k]) || !sameBits(a.half[k], b.half[k])) return false;
        }
        return true;
    };
    PosedFrames memo(3);  // few entries: most asks evict another
    for (int n = 0; n < 20000; ++n) {
        const BoxShape& box = boxes[static_cast<size_t>(pick(5))];
        const Vec3& a = angles[static_cast<size_t>(pick(static_cast<int>(angles.size())))];
        ASSERT_TRUE(same(memo.frameOf(box, a), posedFrameOf(box, a))) << n;
    }

    PosedFrames frames(2);
    for (int n = 0; n < 3000; ++n) {
        RigidBody a(defaultBodyMass), b(defaultBodyMass);
        for (RigidBody* body : {&a, &b}) {
            if (pick(3) == 0) {
                makeSphere(*body, {}, {});
                body->radius = static_cast<float>(uniform(0.3, 1.5));
            } else {
                makeCube(*body, {}, {});
                body->box = boxes[static_cast<size_t>(pick(5))];
                body->angles = angles[static_cast<size_t>(pick(static_cast<int>(angles.size())))];
                if (pick(2) == 0) body->spin = {uniform(-9, 9), uniform(-9, 9), uniform(-9, 9)};
            }
            body->position = {uniform(-2, 2), uniform(-2, 2), uniform(-2, 2)};
            body->velocity = {uniform(-9, 9), uniform(-9, 9), uniform(-9, 9)};
        }
        const float limit = static_cast<float>(uniform(1e-3, 0.1));
        const PairImpact plain = pairImpact(limit, a, b);
        const PairImpact memoed = pairImpact(limit, a, b, frames);
        ASSERT_TRUE(sameBits(plain.time, memoed.time) && plain.sampled == memoed.sampled &&
                    sameBits(plain.normalA, memoed.normalA) && sameBits(plain.normalB, memoed.normalB))
            << n;
    }
}

// Passing over the times at which a pair is provably apart changes nothing:
// over random pairs of every kind, thrown at each other or past, spinning,
// close and far, slow and fast, the search finds what testing every time it
// looks at finds, time and contact vectors to the bit.
TEST(PairTimeOfImpact, PassingOverTimesApartChangesNoResult) {
    std::mt19937_64 rng(1729);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto body = [&]() {
        RigidBody b(static_cast<float>(uniform(0.1, 10.0)));
        if (pick(2) == 0) {
            b.kind = kindSphere;
            b.radius = static_cast<float>(uniform(0.05, 1.5));
        } else {
            b.kind = kindBox;
            b.box.width = static_cast<float>(uniform(0.02, 3.0));
            b.box.length = static_cast<float>(uniform(0.02, 3.0));
            b.box.height = static_cast<float>(uniform(0.02, 3.0));
            b.box.resetCorners();
            b.angles = {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
            b.box.reorient(b.angles.x, b.angles.y, b.angles.z, pivotCentre);
        }
        const double speed = pick(4) == 0 ? uniform(50, 1000) : uniform(0, 20);
        b.velocity = Vec3{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)}.normalized().scaled(static_cast<float>(speed));
        if (pick(2) == 0) b.spin = {uniform(-20, 20), uniform(-20, 20), uniform(-20, 20)};
        if (pick(2) == 0) b.force = {0.0, 0.0, static_cast<double>(b.mass) * defaultGravity.z};
        return b;
    };
    int found = 0, passedOver = 0;
    for (int n = 0; n < 6000; ++n) {
        RigidBody a = body(), b = body();
        b.position = a.position + Vec3{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)}.normalized().scaled(
                                      static_cast<float>(uniform(0.0, 6.0)));
        const float limit = pick(2) == 0 ? 0.1f : static_cast<float>(uniform(1e-4, 0.1));
        const PairImpact fast = pairImpact(limit, a, b);
        const PairImpact every = pairImpactLookingEverywhere(limit, a, b);
        ASSERT_TRUE(sameBits(fast.time, every.time)) << n << ": " << fast.time << " and " << every.time;
        ASSERT_EQ(fast.sampled, every.sampled) << n;
        ASSERT_TRUE(sameBits(fast.normalA, every.normalA) && sameBits(fast.normalB, every.normalB)) << n;
        found += fast.time > 0.0f ? 1 : 0;
        passedOver += fast.time < 0.0f ? 1 : 0;
    }
    EXPECT_GT(found, 200);
    EXPECT_GT(passedOver, 3000);
}
