#include "prallwerk/collision/pair_impact.h"

#include <gtest/gtest.h>

#include <cmath>

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

void expectVec(const Vec3& v, double x, double y, double z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
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

TEST(PairTimeOfImpact, WorkedExampleSphereBeforeBox) {
    QuietWorld w(2);
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {3, 0, 0}, {});
    const float t = w.pairTimeOfImpact(0.1f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(26, 0.1f));
    EXPECT_EQ(t, 0.026f);
    expectVec(w.normalA, -1, 0, 0);
    expectVec(w.normalB, 1, 0, 0);
}

TEST(PairTimeOfImpact, WorkedExampleBoxBeforeBoxTiesToTheVerticalAxis) {
    QuietWorld w(2);
    makeCube(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {4.03, 0, 0}, {});
    const float t = w.pairTimeOfImpact(0.25f, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(81, 0.25f));
    expectVec(w.normalA, 0, 0, -1);
    expectVec(w.normalB, 0, 0, -1);
}

TEST(PairTimeOfImpact, RestingOrSeparatingPairsAreNotImpacts) {
    QuietWorld w(2);
    // Overlapping but both at rest.
    makeCube(*w.bodies[0], {0, 0, 0}, {0.0001, 0, 0});
    makeCube(*w.bodies[1], {1, 0, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(0.1f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
    // Touching inside the limit but apart again at its end.
    makeCube(*w.bodies[0], {0, 0, 0}, {0, 0, 0});
    makeSphere(*w.bodies[1], {2.5, 0, 0}, {-40, 0, 0});
    EXPECT_EQ(w.pairTimeOfImpact(0.25f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
    // Already in contact at the first step: 0, which is not an impact.
    makeCube(*w.bodies[0], {0, 0, 0}, {1, 0, 0});
    makeCube(*w.bodies[1], {1.5, 0, 0}, {});
    EXPECT_EQ(w.pairTimeOfImpact(0.1f, w.bodies[0].get(), w.bodies[1].get()), 0.0f);
    EXPECT_EQ(w.earliestPairHit(0.1f), -1.0f);
}

TEST(PairTimeOfImpact, ContactOnlyAtTheProbeGivesNinetyNineHundredths) {
    QuietWorld w(2);
    makeCube(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    // Faces meet when the centres are 2 apart: at x = 0.995 for a, between
    // the last search step (0.99) and the probe (1.0).
    const float limit = 0.1f;
    makeCube(*w.bodies[1], {2.995, 0, 0}, {});
    w.normalA = {9, 9, 9};
    const float t = w.pairTimeOfImpact(limit, w.bodies[0].get(), w.bodies[1].get());
    EXPECT_EQ(t, stepTime(99, limit));
    expectVec(w.normalA, 0, 0, 0);
    expectVec(w.normalB, 0, 0, 0);
}

TEST(PairTimeOfImpact, SpheresNeverMeetEachOther) {
    QuietWorld w(2);
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeSphere(*w.bodies[1], {0.5, 0, 0}, {-10, 0, 0});
    EXPECT_EQ(w.pairTimeOfImpact(0.1f, w.bodies[0].get(), w.bodies[1].get()), -1.0f);
}

TEST(PairTimeOfImpact, BoxBeforeSphereTestsOnlyTheSpheresCentre) {
    QuietWorld w(2);
    makeCube(*w.bodies[0], {0, 0, 0}, {});
    // The sphere's surface would reach the cube long before its centre does;
    // only the centre counts when the box comes first.
    makeSphere(*w.bodies[1], {4, 0, 0}, {-10, 0, 0});
    const float t = w.pairTimeOfImpact(0.4f, w.bodies[0].get(), w.bodies[1].get());
    // The centre enters the cube's bounding sphere at x = sqrt(3): after
    // (4 - 1.732) / 10 = 0.2268 s, that is at step 57 of 0.4 s.
    EXPECT_EQ(t, stepTime(56, 0.4f));
    expectVec(w.normalA, -1, 0, 0);  // from the sphere's side toward the box
}

TEST(EarliestPairHit, FewerThanTwoBodiesFindNothing) {
    QuietWorld w(1);
    w.hitA = w.bodies[0].get();
    EXPECT_EQ(w.earliestPairHit(0.1f), -1.0f);
    EXPECT_EQ(w.hitA, w.bodies[0].get());
    EXPECT_EQ(w.hitB, nullptr);
}

TEST(EarliestPairHit, KeepsTheContactOfThePairItTakes) {
    // Bodies 0 and 1 collide inside the limit. Bodies 1 and 2 already touch
    // and are searched after them: their search returns 0, which is not
    // taken, but it writes its own contact vectors. The winner's must stay.
    QuietWorld w(3);
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {3, 0, 0}, {});
    makeCube(*w.bodies[2], {3, 0, 1.5}, {0, 0, 0.5});
    const float t = w.earliestPairHit(0.1f);
    EXPECT_EQ(t, 0.026f);
    EXPECT_EQ(w.hitA, w.bodies[0].get());
    EXPECT_EQ(w.hitB, w.bodies[1].get());
    expectVec(w.normalA, -1, 0, 0);
    expectVec(w.normalB, 1, 0, 0);

    // The later pair's search did run and wrote other vectors.
    QuietWorld only(3);
    makeCube(*only.bodies[1], {3, 0, 0}, {});
    makeCube(*only.bodies[2], {3, 0, 1.5}, {0, 0, 0.5});
    EXPECT_EQ(only.pairTimeOfImpact(0.026f, only.bodies[1].get(), only.bodies[2].get()), 0.0f);
    EXPECT_NE(only.normalA.x, -1.0);
}

TEST(EarliestPairHit, EarlierPairsShortenTheLimitAndTiesKeepTheFirst) {
    QuietWorld w(4);
    makeSphere(*w.bodies[0], {0, 0, 0}, {10, 0, 0});
    makeCube(*w.bodies[1], {3, 0, 0}, {});
    makeSphere(*w.bodies[2], {0, 20, 0}, {10, 0, 0});
    makeCube(*w.bodies[3], {3, 20, 0}, {});
    EXPECT_EQ(w.earliestPairHit(0.1f), 0.026f);
    EXPECT_EQ(w.hitA, w.bodies[0].get());
    EXPECT_EQ(w.hitB, w.bodies[1].get());
    w.bodies[2]->velocity.x = 12;
    EXPECT_LT(w.earliestPairHit(0.1f), 0.026f);
    EXPECT_EQ(w.hitA, w.bodies[2].get());
    EXPECT_EQ(w.hitB, w.bodies[3].get());
}
