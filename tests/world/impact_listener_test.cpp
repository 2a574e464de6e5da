// The world's impact listener: told of every impact the step resolves, in
// the order and at the times the event trace lists them, with the bodies'
// velocities as the response found and left them, and changing nothing.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/impact_walker.h"
#include "prallwerk/world/world.h"
#include "tests/support/trace_text.h"
#include "tests/support/same_bodies.h"
#include "prallwerk/math/number_text.h"

using namespace prallwerk;

namespace {

constexpr int crowd = 100;  // stands for a drop world of crowdBodies bodies
constexpr int crowdBodies = 40;

std::unique_ptr<World> makeWorld(int scene) {
    if (scene == crowd) return std::make_unique<DropWorld>(crowdBodies);
    auto w = std::make_unique<GravityWorld>();
    if (scene >= 0) loadScene(*w, scene);
    return w;
}

// Keeps, for each impact, the bodies as the response finds them: the body a
// ground search took and its time, the pair resolvePair is given with its
// contact vectors, and what the pair response left them.
template <class Base>
class Probe : public Base {
public:
    using Base::Base;

    RigidBody groundBody{0.0f};
    float groundTime = 0.0f;
    RigidBody pairBefore[2] = {RigidBody(0.0f), RigidBody(0.0f)};
    Vec3 pairAfter[2];
    Vec3 pairNormals[2];
    float pairTime = 0.0f;

    float earliestGroundHit(float dt) override {
        const float t = Base::earliestGroundHit(dt);
        if (t > 0.0f) {
            groundBody = *this->hitA;
            groundTime = t;
        }
        return t;
    }
    void resolvePair(RigidBody* a, RigidBody* b, float t) override {
        pairBefore[0] = *a;
        pairBefore[1] = *b;
        pairNormals[0] = this->normalA;
        pairNormals[1] = this->normalB;
        pairTime = t;
        Base::resolvePair(a, b, t);
        pairAfter[0] = a->velocity;
        pairAfter[1] = b->velocity;
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
        }

        TraceOptions options;
        options.scene = scene == crowd ? 0 : scene;
        options.drop = scene == crowd ? crowdBodies : 0;
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
    Probe<DropWorld> dropped(crowdBodies);
    int told[3] = {0, 0, 0};  // ground, landing, pair impacts checked
    for (World* w : {static_cast<World*>(&scene), static_cast<World*>(&thrown), static_cast<World*>(&dropped)}) {
        auto* asScene = dynamic_cast<Probe<GravityWorld>*>(w);
        auto* asDrop = dynamic_cast<Probe<DropWorld>*>(w);
        w->impactListener = [&](const ImpactRecord& r) {
            ++told[static_cast<int>(r.kind)];
            const RigidBody& groundBody = asScene ? asScene->groundBody : asDrop->groundBody;
            const float groundTime = asScene ? asScene->groundTime : asDrop->groundTime;
            if (r.kind != ImpactKind::pair) {
                RigidBody moved = groundBody;
                moved.advance(groundTime, pivotCentre);
                RigidBody responded = groundBody;
                if (r.kind == ImpactKind::ground) {
                    responded.groundResponse(groundTime);
                } else {
                    responded.landOnFloor(groundTime);
                }
                ASSERT_EQ(r.a.index, w->indexOf(w->hitA));
                ASSERT_TRUE(sameBits(r.a.velocityBefore, moved.velocity));
                ASSERT_TRUE(sameBits(r.a.velocityAfter, responded.velocity));
                ASSERT_TRUE(sameBits(r.a.velocityAfter, w->hitA->velocity));
                ASSERT_EQ(r.b.index, -1);
                ASSERT_TRUE(isZero(r.b.velocityBefore) && isZero(r.b.velocityAfter));
                ASSERT_TRUE(sameBits(r.normalA, Vec3{0, 0, 1}));
                ASSERT_TRUE(isZero(r.normalB));
                ASSERT_EQ(r.span, groundTime);
                return;
            }
            RigidBody* const before = asScene ? asScene->pairBefore : asDrop->pairBefore;
            const Vec3* after = asScene ? asScene->pairAfter : asDrop->pairAfter;
            const Vec3* normals = asScene ? asScene->pairNormals : asDrop->pairNormals;
            const float t = asScene ? asScene->pairTime : asDrop->pairTime;
            const ImpactBody* told2[2] = {&r.a, &r.b};
            const RigidBody* hit[2] = {w->hitA, w->hitB};
            for (int k = 0; k < 2; ++k) {
                RigidBody moved = before[k];
                moved.advance(t, pivotCentre);
                ASSERT_EQ(told2[k]->index, w->indexOf(hit[k]));
                ASSERT_TRUE(sameBits(told2[k]->velocityBefore, moved.velocity)) << k;
                ASSERT_TRUE(sameBits(told2[k]->velocityAfter, after[k])) << k;
            }
            ASSERT_LT(r.a.index, r.b.index);
            ASSERT_TRUE(sameBits(r.normalA, normals[0]));
            ASSERT_TRUE(sameBits(r.normalB, normals[1]));
            ASSERT_EQ(r.span, t);
        };
        for (int frame = 0; frame < 600; ++frame) {
            advanceFrame(*w, frameSteps(16, 1.0f));
            if (HasFatalFailure()) return;
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
        ASSERT_GT(heard[n].stepTime, heard[n - 1].stepTime) << n;
        ASSERT_EQ(heard[n].time, heard[n].stepTime) << n;  // the world began with this step
    }
    EXPECT_LT(heard.back().stepTime, 10.0);
    EXPECT_GT(heard.back().stepTime, 1.0) << "the time within the step began again at a part";
    EXPECT_NEAR(once.elapsedTime, 10.0, 1e-4);
}
