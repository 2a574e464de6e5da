#include <gtest/gtest.h>

#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

// Two bodies without forces, so that resolving at t = 0 moves nothing.
class PairWorld : public World {
public:
    PairWorld() : World(2, 1.0f) {
        for (int i = 0; i < 2; ++i) {
            bodies[i]->kind = kindSphere;
            bodies[i]->radius = 1.0f;
        }
    }
    RigidBody& a() { return *bodies[0]; }
    RigidBody& b() { return *bodies[1]; }
    // Resolves the pair at t = 0 with the contact vectors given.
    void resolve() {
        Island all = everyBody();
        all.normalA = normalA;
        all.normalB = normalB;
        resolvePair(all, &a(), &b(), 0.0f);
    }
};

}  // namespace

TEST(ResolvePair, HeadOnEqualMassesSwapAndDamp) {
    PairWorld w;
    w.a().velocity = {10, 0, 0};
    w.b().velocity = {-10, 0, 0};
    w.a().spin = {1, 2, 3};
    w.b().spin = {-4, 0, 0};
    w.normalA = w.normalB = {1, 0, 0};
    w.resolve();
    EXPECT_EQ(w.a().velocity.x, -7.5);
    EXPECT_EQ(w.b().velocity.x, 7.5);
    EXPECT_EQ(w.a().spin.x, 0.75);
    EXPECT_EQ(w.a().spin.z, 2.25);
    EXPECT_EQ(w.b().spin.x, -3.0);
}

TEST(ResolvePair, ABodyAtRestStaysAtRest) {
    PairWorld w;
    w.a().velocity = {3, 4, 0};
    w.normalA = w.normalB = {0, 1, 0};
    w.resolve();
    EXPECT_EQ(w.a().velocity.length(), 0.0);  // equal masses: all speed handed over...
    EXPECT_EQ(w.b().velocity.length(), 0.0);  // ...to a body with no direction to move in
}

// A light body that hits a heavy one at rest turns back along its mirrored
// direction with the size of the speed the formulas give it (-2 here), and
// does not go on into the heavy one.
TEST(ResolvePair, ALightBodyBouncesOffAHeavyOne) {
    PairWorld w;
    w.a().mass = 1.0f;
    w.b().mass = 3.0f;
    w.a().velocity = {0, 4, 0};
    w.normalA = {0, 1, 0};
    w.resolve();
    EXPECT_EQ(w.a().velocity.y, -1.5);
    EXPECT_EQ(w.b().velocity.length(), 0.0);
    // The same for the second body of the pair.
    PairWorld v;
    v.a().mass = 3.0f;
    v.b().mass = 1.0f;
    v.b().velocity = {0, -4, 0};
    v.normalB = {0, 1, 0};
    v.resolve();
    EXPECT_EQ(v.b().velocity.y, 1.5);
    EXPECT_EQ(v.a().velocity.length(), 0.0);
}

TEST(ResolvePair, MirrorsEachBodyAboutItsOwnVector) {
    PairWorld w;
    w.a().velocity = {3, 0, -4};  // speed 5
    w.b().velocity = {0, 5, 0};   // speed 5
    w.normalA = {0, 0, 1};
    w.normalB = {};               // zero: direction kept
    w.resolve();
    EXPECT_DOUBLE_EQ(w.a().velocity.x, 0.75 * 5 * 0.6);
    EXPECT_DOUBLE_EQ(w.a().velocity.z, 0.75 * 5 * 0.8);
    EXPECT_DOUBLE_EQ(w.b().velocity.y, 0.75 * 5);
}

TEST(ResolvePair, KicksTheFirstBodyHarderAndIgnoresRestitution) {
    PairWorld w;
    w.a().velocity = {2, 2, 2};
    w.b().velocity = {2, 2, 2};
    w.a().restitution = 0.1f;
    w.resolve();
    // Both end with the same velocity v; the kicks differ only by factor.
    const Vec3 va = w.a().velocity;
    const Vec3 vb = w.b().velocity;
    EXPECT_EQ(va.x, vb.x);
    const double kickA = static_cast<double>(0.051f) * (va.z * va.x);
    const double kickB = static_cast<double>(0.05f) * (vb.z * vb.x);
    EXPECT_EQ(w.a().spin.y, 0.75 * kickA);
    EXPECT_EQ(w.b().spin.y, 0.75 * kickB);
    EXPECT_EQ(w.a().spin.x, 0.75 * (static_cast<double>(0.051f) * -(va.z * va.y)));
}
