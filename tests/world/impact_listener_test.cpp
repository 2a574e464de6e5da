// The world's impact listener: told of every impact the step resolves, in
// the order and at the times the event trace lists them, with the bodies'
// velocities as the response found and left them, and changing nothing.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/impact_walker.h"
#include "prallwerk/world/world.h"
#include "tests/support/packed_crowd.h"
#include "tests/support/trace_text.h"
#include "tests/support/same_bodies.h"
#include "prallwerk/math/number_text.h"

using namespace prallwerk;

namespace {

constexpr int crowd = 100;  // stands for the packed crowd (tests/support/packed_crowd.h)

std::unique_ptr<World> makeWorld(int scene) {
    if (scene == crowd) return packedCrowd();
    auto w = std::make_unique<GravityWorld>();
    if (scene >= 0) loadScene(*w, scene);
    return w;
}

// Keeps, for each body, what the response of its last impact found and left
// it: the body a ground search took and its time, the pair resolvePair is
// given with its contact vectors, and what the pair response left them.
// Walked impact by impact, the listener hears of each impact before its
// island searches again.
struct GroundSeen {
    RigidBody body{0.0f};
    float time = 0.0f;
};
struct PairSeen {
    RigidBody before[2] = {RigidBody(0.0f), RigidBody(0.0f)};
    Vec3 after[2];
    Vec3 normals[2];
    float time = 0.0f;
};

template <class Base>
class Probe : public Base {
public:
    using Base::Base;

    std::map<int, GroundSeen> ground;  // by the body's index
    std::map<int, PairSeen> pairs;     // by the first body's index

    float earliestGroundHit(Island& island, float dt) override {
        const float t = Base::earliestGroundHit(island, dt);
        if (t > 0.0f) ground[island.indexOf(island.hitA)] = {*island.hitA, t};
        return t;
    }
    void resolvePair(Island& island, RigidBody* a, RigidBody* b, float t) override {
        PairSeen& seen = pairs[island.indexOf(a)];
        seen.before[0] = *a;
        seen.before[1] = *b;
        seen.normals[0] = island.normalA;
        seen.normals[1] = island.normalB;
        seen.time = t;
        Base::resolvePair(island, a, b, t);
        seen.after[0] = a->velocity;
        seen.after[1] = b->velocity;
    }
};

}  // namespace

// Ten seconds of the default bodies, every scene and a crowd of dropped
// bodies (whose steps reach the landing rule), at frames of one step and of
// three: the listener hears exactly the lines prallwerk-trace --events
// writes, in order and with the same bits, as many of each kind as each
// step's statistics count; and a twin world without a listener ends every
// frame with the same bits.
TEST(ImpactListener, HearsTheTracedImpactsAndTheCountedOnes) {
    buildSceneTable();
    const std::pair<int, uint32_t> cases[] = {{-1, 16}, {0, 16},  {1, 16},  {2, 16},
                                              {3, 16},  {1, 250}, {2, 250}, {crowd, 17}};
    for (const auto& [scene, ms] : cases) {
        SCOPED_TRACE("scene " + std::to_string(scene) + " at " + std::to_string(ms) + " ms");
        std::unique_ptr<World> told = makeWorld(scene), twin = makeWorld(scene);
        long frame = 0;
        int subStep = 0;
        std::vector<std::string> heard;
        int counted[3] = {0, 0, 0};  // ground, landing, pair in the step
        told->impactListener = [&](const ImpactRecord& r) {
            ++counted[static_cast<int>(r.kind)];
            heard.push_back(std::to_string(frame) + "," + std::to_string(subStep) + "," + traceNumber(r.time) +
                            (r.kind == ImpactKind::pair ? ",pair," : ",ground,") + std::to_string(r.a.index) +
                            "," + std::to_string(r.b.index) + "," + traceNumber(r.span));
        };
        const long frames = 10000 / ms;
        long landings = 0;
        for (frame = 1; frame <= frames; ++frame) {
            const FrameSteps f = frameSteps(ms, 1.0f);
            for (subStep = 0; subStep < f.count; ++subStep) {
                counted[0] = counted[1] = counted[2] = 0;
                told->step(f.sub);
                const StepStatistics& st = told->lastStep;
                ASSERT_EQ(counted[0], st.groundImpacts) << "frame " << frame;
                ASSERT_EQ(counted[1], st.landings) << "frame " << frame;
                ASSERT_EQ(counted[2], st.pairImpacts) << "frame " << frame;
                landings += st.landings;
            }
            advanceFrame(*twin, frameSteps(ms, 1.0f));
            ASSERT_TRUE(sameBodies(*told, *twin)) << "frame " << frame;
        }
        if (scene == crowd) {
            EXPECT_GT(landings, 0) << "the crowd no longer reaches the landing rule";
            continue;
        }

        TraceOptions options;
        options.scene = scene;
        options.frames = frames;
        options.frameMs = ms;
        options.events = true;
        const std::vector<std::string> traced = traceLines(options);
        ASSERT_EQ(heard.size() + 1, traced.size());
        EXPECT_GT(heard.size(), 80u);
        for (size_t n = 0; n < heard.size(); ++n) ASSERT_EQ(heard[n], traced[n + 1]) << "impact " << n;
    }
}

// The velocities told are those the response starts from (the body moved to
// the impact's instant) and those it leaves; the contact vectors are those
// it used.
TEST(ImpactListener, TellsTheVelocitiesAndContactVectorsOfTheResponse) {
    buildSceneTable();
    Probe<GravityWorld> scene, thrown;
    loadScene(scene, 2);
    Probe<DropWorld> dropped(40);
    {
        const std::unique_ptr<DropWorld> crowded = packedCrowd();
        for (int i = 0; i < 40; ++i) *dropped.bodies[i] = *crowded->bodies[i];
    }
    int told[3] = {0, 0, 0};  // ground, landing, pair impacts checked
    for (World* w : {static_cast<World*>(&scene), static_cast<World*>(&thrown), static_cast<World*>(&dropped)}) {
        auto* asScene = dynamic_cast<Probe<GravityWorld>*>(w);
        auto* asDrop = dynamic_cast<Probe<DropWorld>*>(w);
        w->impactListener = [&](const ImpactRecord& r) {
            ++told[static_cast<int>(r.kind)];
            ASSERT_EQ(r.a.index, w->indexOf(w->hitA));
            if (r.kind != ImpactKind::pair) {
                const GroundSeen& seen = asScene ? asScene->ground.at(r.a.index) : asDrop->ground.at(r.a.index);
                RigidBody moved = seen.body;
                moved.advance(seen.time, pivotCentre);
                RigidBody responded = seen.body;
                if (r.kind == ImpactKind::ground) {
                    responded.groundResponse(seen.time);
                } else {
                    responded.landOnFloor(seen.time);
                }
                ASSERT_TRUE(sameBits(r.a.velocityBefore, moved.velocity));
                ASSERT_TRUE(sameBits(r.a.velocityAfter, responded.velocity));
                ASSERT_EQ(r.b.index, -1);
                ASSERT_EQ(w->hitB, nullptr);
                ASSERT_TRUE(isZero(r.b.velocityBefore) && isZero(r.b.velocityAfter));
                ASSERT_TRUE(sameBits(r.normalA, Vec3{0, 0, 1}));
                ASSERT_TRUE(isZero(r.normalB));
                ASSERT_EQ(r.span, seen.time);
                return;
            }
            const PairSeen& seen = asScene ? asScene->pairs.at(r.a.index) : asDrop->pairs.at(r.a.index);
            const ImpactBody* bodies[2] = {&r.a, &r.b};
            ASSERT_EQ(r.b.index, w->indexOf(w->hitB));
            for (int k = 0; k < 2; ++k) {
                RigidBody moved = seen.before[k];
                moved.advance(seen.time, pivotCentre);
                ASSERT_TRUE(sameBits(bodies[k]->velocityBefore, moved.velocity)) << k;
                ASSERT_TRUE(sameBits(bodies[k]->velocityAfter, seen.after[k])) << k;
            }
            ASSERT_LT(r.a.index, r.b.index);
            ASSERT_TRUE(sameBits(r.normalA, seen.normals[0]));
            ASSERT_TRUE(sameBits(r.normalB, seen.normals[1]));
            ASSERT_TRUE(sameBits(w->normalA, seen.normals[0]));
            ASSERT_EQ(r.span, seen.time);
        };
        ImpactWalker walker(*w);
        for (int frame = 0; frame < 600; ++frame) {
            walker.beginFrame(frameSteps(16, 1.0f));
            while (walker.toNextImpact()) {
                if (HasFatalFailure()) return;
            }
        }
    }
    EXPECT_GT(told[0], 20);
    EXPECT_GT(told[1], 0);
    EXPECT_GT(told[2], 3);
}

// The times told: the world's clock (as an impact walker keeps it), the
// impact's time after the previous event, and the time since the call of
// step began, which runs on over the parts of a long span.
TEST(ImpactListener, TellsTheClockAndTheTimeWithinTheStep) {
    buildSceneTable();
    GravityWorld walked;
    loadScene(walked, 1);
    std::vector<ImpactRecord> heard;
    walked.impactListener = [&](const ImpactRecord& r) { heard.push_back(r); };
    ImpactWalker walker(walked);
    for (int frame = 0; frame < 300; ++frame) {
        walker.beginFrame(frameSteps(250, 1.0f));
        int lastSubStep = -1;
        while (walker.toNextImpact()) {
            ASSERT_FALSE(heard.empty());
            const ImpactRecord& r = heard.back();
            const WalkedImpact& i = walker.lastImpact();
            ASSERT_EQ(r.time, i.time);
            ASSERT_EQ(r.span, i.span);
            ASSERT_EQ(r.a.index, i.a);
            ASSERT_EQ(r.b.index, i.b);
            // The first impact of a step comes its span after the step began.
            if (i.subStep != lastSubStep) {
                ASSERT_EQ(r.stepTime, static_cast<double>(r.span));
            }
            ASSERT_GE(r.stepTime, static_cast<double>(r.span));
            lastSubStep = i.subStep;
        }
        ASSERT_EQ(walked.elapsedTime, walker.clock());
    }
    EXPECT_GT(heard.size(), 50u);

    // Ten seconds in one call: 101 parts, one time within the step.
    GravityWorld once;
    loadScene(once, 1);
    heard.clear();
    once.impactListener = [&](const ImpactRecord& r) { heard.push_back(r); };
    once.step(10.0f);
    ASSERT_GT(heard.size(), 50u);
    for (size_t n = 1; n < heard.size(); ++n) {
        // Impacts of two islands may share an instant.
        ASSERT_GE(heard[n].stepTime, heard[n - 1].stepTime) << n;
        ASSERT_EQ(heard[n].time, heard[n].stepTime) << n;  // the world began with this step
    }
    EXPECT_LT(heard.back().stepTime, 10.0);
    EXPECT_GT(heard.back().stepTime, 1.0) << "the time within the step began again at a part";
    EXPECT_NEAR(once.elapsedTime, 10.0, 1e-4);
}
