#include "prallwerk/world/world.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/reference_world.h"

using namespace prallwerk;

namespace {

// Puts the default bodies one above the other, so close that they share one
// island whatever they do in a step.
void huddle(World& w) {
    for (int i = 0; i < w.bodyCount; ++i) w.bodies[i]->position = {0.0, 0.0, 10.0 + 2.0 * i};
}

// A world whose impact searches return scripted times and which records every
// virtual call that step() makes, with its arguments. Its bodies share one
// island.
class ScriptedWorld : public GravityWorld {
public:
    ScriptedWorld() : GravityWorld() { huddle(*this); }

    std::vector<float> groundTimes;  // returned by successive earliestGroundHit calls, then -1
    std::vector<float> pairTimes;    // returned by successive earliestPairHit calls, then -1
    std::vector<std::string> calls;
    float remainingSeen = 0.0f;

    void clearForces() override {
        calls.push_back("clearForces");
        GravityWorld::clearForces();
    }
    void applyForces() override {
        calls.push_back("applyForces");
        GravityWorld::applyForces();
    }
    float earliestGroundHit(Island& island, float dt) override {
        calls.push_back("ground(" + std::to_string(dt) + ")");
        const float t = next(groundTimes);
        if (t > 0) island.hitA = bodies[1].get();
        return t;
    }
    float earliestPairHit(Island& island, float limit) override {
        calls.push_back("pair(" + std::to_string(limit) + ")");
        const float t = next(pairTimes);
        if (t > 0 && t < limit) {  // as the real search: hits only strictly inside
            island.hitA = bodies[2].get();
            island.hitB = bodies[3].get();
        }
        return t;
    }
    void resolvePair(Island&, RigidBody* a, RigidBody* b, float t) override {
        calls.push_back("resolve(" + name(a) + "," + name(b) + "," + std::to_string(t) + ")");
    }
    void advanceAll(Island& island, RigidBody* a, RigidBody* b, float dt) override {
        calls.push_back("advanceAll(" + name(a) + "," + name(b) + "," + std::to_string(dt) + ")");
        GravityWorld::advanceAll(island, a, b, dt);
    }

private:
    static float next(std::vector<float>& times) {
        if (times.empty()) return -1.0f;
        const float t = times.front();
        times.erase(times.begin());
        return t;
    }
    std::string name(const RigidBody* b) const {
        for (int i = 0; i < bodyCount; ++i) {
            if (bodies[i].get() == b) return std::to_string(i);
        }
        return "null";
    }
};

}  // namespace

TEST(GravityWorld, StartsWithTheSevenDefaultBodies) {
    GravityWorld w(0.5, -1.5, defaultGravity.z);
    EXPECT_EQ(w.bodyCount, 7);
    EXPECT_EQ(w.gravity.x, 0.5);
    EXPECT_EQ(w.gravity.y, -1.5);
    EXPECT_EQ(w.gravity.z, -9.8100004196167);
    EXPECT_EQ(w.ground->point.length(), 0.0);
    EXPECT_EQ(w.ground->normal.z, 1.0);
    EXPECT_EQ(w.hitA, nullptr);
    EXPECT_EQ(w.hitB, nullptr);
    EXPECT_EQ(w.bodies[0]->kind, kindSphere);
    EXPECT_EQ(w.bodies[0]->radius, 1.0f);
    EXPECT_EQ(w.bodies[0]->position.x, -20.0);
    EXPECT_EQ(w.bodies[0]->velocity.z, 15.0);
    EXPECT_EQ(w.bodies[6]->position.x, 11.0);
    EXPECT_EQ(w.bodies[6]->velocity.x, -10.0);
    EXPECT_EQ(w.bodies[4]->spin.y, -5.0);
    for (int i = 0; i < 7; ++i) {
        const RigidBody& b = *w.bodies[i];
        EXPECT_EQ(b.mass, 4.188790321350098f);
        EXPECT_EQ(b.restitution, 1.0f);
        EXPECT_EQ(b.floorHeight, 0.0f);
        EXPECT_EQ(b.angles.length(), 0.0);
        if (i > 0) {
            EXPECT_EQ(b.kind, kindBox);
            EXPECT_EQ(b.radius, 0.0f);
            EXPECT_EQ(b.box.corners[6].z, 1.0);
            EXPECT_EQ(b.box.halfLength, 1.0f);
        }
    }
}

TEST(WorldStep, NonPositiveSpanOnlyRefreshesForces) {
    for (float dt : {0.0f, -1.0f}) {
        ScriptedWorld w;
        w.bodies[2]->force = {5, 5, 5};
        w.bodies[2]->floorHeight = 3.0f;
        const Vec3 before = w.bodies[2]->position;
        w.step(dt);
        EXPECT_EQ(w.calls, (std::vector<std::string>{"clearForces", "applyForces"}));
        EXPECT_EQ(w.bodies[2]->force.x, 0.0);
        EXPECT_EQ(w.bodies[2]->force.z, static_cast<double>(w.bodies[2]->mass) * defaultGravity.z);
        EXPECT_EQ(w.bodies[2]->floorHeight, 0.0f);
        EXPECT_EQ(w.bodies[2]->position.x, before.x);
    }
}

TEST(WorldStep, WithoutImpactsAdvancesEveryBodyOnce) {
    ScriptedWorld w;
    w.step(0.0625f);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"clearForces", "applyForces", "ground(0.062500)",
                                                 "pair(0.062500)", "advanceAll(null,null,0.062500)"}));
    EXPECT_EQ(w.hitA, nullptr);
}

TEST(WorldStep, HandlesAnEarlierPairFirstAndKeepsTheClock) {
    ScriptedWorld w;
    w.groundTimes = {0.03125f, -1.0f};
    w.pairTimes = {0.015625f};
    w.step(0.0625f);
    // The pair search is bounded by the ground impact; the pair comes first,
    // then the rest of the span is searched again from the new state.
    EXPECT_EQ(w.calls,
              (std::vector<std::string>{"clearForces", "applyForces", "ground(0.062500)", "pair(0.031250)",
                                        "resolve(2,3,0.015625)", "advanceAll(2,3,0.015625)",
                                        "ground(0.046875)", "pair(0.046875)",
                                        "advanceAll(null,null,0.046875)"}));
}

TEST(WorldStep, GroundImpactAdvancesTheOthersAndThenTheRest) {
    ScriptedWorld w;
    w.groundTimes = {0.03125f};
    const Vec3 v1 = w.bodies[1]->velocity;
    w.step(0.0625f);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"clearForces", "applyForces", "ground(0.062500)",
                                                 "pair(0.031250)", "advanceAll(1,null,0.031250)",
                                                 "ground(0.031250)", "pair(0.031250)",
                                                 "advanceAll(null,null,0.031250)"}));
    // Body 1 got its ground response: it bounced.
    EXPECT_NE(w.bodies[1]->velocity.z, v1.z);
}

TEST(WorldStep, EqualTimesGoToTheGround) {
    ScriptedWorld w;
    w.groundTimes = {0.03125f};
    w.pairTimes = {0.03125f};
    w.step(0.0625f);
    EXPECT_EQ(w.calls[4], "advanceAll(1,null,0.031250)");
}

// Every island's impact times and its rest add up to the span, and each
// island ends with one move of the rest (none skipped).
TEST(WorldStep, ImpactTimesAndTheRestAddUpToTheSpanInEveryIsland) {
    class Summing : public GravityWorld {
    public:
        Summing() : GravityWorld() {}
        std::map<int, double> total;  // by the island's first body
        std::map<int, int> finals;
        void advanceAll(Island& island, RigidBody* a, RigidBody* b, float dt) override {
            total[island.indices[0]] += dt;
            if (a == nullptr) ++finals[island.indices[0]];
            GravityWorld::advanceAll(island, a, b, dt);
        }
    } s;
    long impacts = 0;
    for (int i = 0; i < 200; ++i) {
        s.total.clear();
        s.finals.clear();
        s.step(0.1f);
        impacts += s.lastStep.impacts();
        // Islands at rest replay the last step: no move at all.
        ASSERT_EQ(static_cast<int>(s.finals.size()), s.lastStep.islands - s.lastStep.islandsAtRest);
        for (const auto& [first, n] : s.finals) ASSERT_EQ(n, 1) << first;
        for (const auto& [first, t] : s.total) ASSERT_NEAR(t, 0.1, 1e-7) << first;
    }
    EXPECT_GT(impacts, 50);
}

namespace {

// Searches that report an impact at a fixed share of the time left: a share
// below half the last bit of the span would leave it unchanged forever, a
// small share needs a huge number of events. It counts the advances that
// end a step (none skipped), which must come however the loop ends.
class ShrinkingWorld : public GravityWorld {
public:
    explicit ShrinkingWorld(double share_) : GravityWorld(), share(share_) { huddle(*this); }
    double share;
    int finals = 0;
    float earliestGroundHit(Island& island, float dt) override {
        island.hitA = island.bodies[0];
        return static_cast<float>(dt * share);
    }
    float earliestPairHit(Island&, float) override { return -1.0f; }
    void advanceAll(Island& island, RigidBody* a, RigidBody* b, float dt) override {
        if (a == nullptr) ++finals;
        GravityWorld::advanceAll(island, a, b, dt);
    }
};

}  // namespace

TEST(WorldStep, AlwaysReturnsWhenImpactsStopShrinkingTheSpan) {
    ShrinkingWorld stuck(1e-12);
    stuck.step(0.1f);
    EXPECT_EQ(stuck.lastStep.groundImpacts, 1);  // the span did not shrink: finish at once
    EXPECT_FALSE(stuck.lastStep.eventCapReached);
    EXPECT_EQ(stuck.finals, 1);

    ShrinkingWorld slow(1e-5);
    slow.step(0.1f);
    EXPECT_EQ(slow.lastStep.impacts(), World::maxEventsPerStep);
    EXPECT_EQ(slow.lastStep.passes, World::maxEventsPerStep);
    EXPECT_TRUE(slow.lastStep.eventCapReached);
    EXPECT_EQ(slow.finals, 1);
    // The next step, without impacts, does not reach the cap.
    slow.share = -1.0;
    slow.step(0.1f);
    EXPECT_EQ(slow.lastStep.impacts(), 0);
    EXPECT_FALSE(slow.lastStep.eventCapReached);
}

TEST(World, DestroyReleasesOnceAndMayBeRepeated) {
    World* w = new GravityWorld();
    w->destroy();
    EXPECT_EQ(w->bodyCount, 0);
    EXPECT_TRUE(w->bodies.empty());
    EXPECT_EQ(w->ground, nullptr);
    w->destroy();
    w->step(0.1f);  // nothing left to move; must not touch freed bodies
    delete w;
}

namespace {

// Spheres whose centres lie one bit above their resting height, without
// speed, and one high above: within a short enough span each is found
// touching its floor again and again at vanishing times.
class HairWorld : public FallingWorld {
public:
    HairWorld() : FallingWorld(3) {
        for (int i = 0; i < 3; ++i) {
            RigidBody& b = *bodies[i];
            b.kind = kindSphere;
            b.radius = 1.0f;
            b.restitution = 1.0f;
            b.position = {5.0 * i, 0, std::nextafter(1.0, 2.0)};
        }
        bodies[2]->position.z = 5;
    }
};

}  // namespace

TEST(WorldStep, BodiesHangingAHairAboveTheirFloorLandInsteadOfStalling) {
    // Bouncing off the floor, each sphere would take more than a hundred
    // impacts over these 0.3 microseconds; once its island has handled its
    // ordinary share it lands. The spheres are islands of their own, and
    // each counts its own impacts.
    HairWorld w;
    w.step(3e-7f);
    EXPECT_EQ(w.lastStep.islands, 3);
    EXPECT_EQ(w.lastStep.groundImpacts, 2 * World::landingAfterEvents);
    EXPECT_EQ(w.lastStep.landings, 2);
    EXPECT_EQ(w.lastStep.pairImpacts, 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(w.bodies[i]->position.z, 1.0) << i;  // on the floor, not in it
        EXPECT_EQ(w.bodies[i]->velocity.length(), 0.0) << i;
    }
    // Resting now: the next step finds nothing.
    w.step(3e-7f);
    EXPECT_EQ(w.lastStep.impacts(), 0);
}
