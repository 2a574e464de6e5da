#include "prallwerk/world/impact_walker.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "tests/support/packed_crowd.h"
#include "tests/support/trace_text.h"
#include "prallwerk/math/number_text.h"

using namespace prallwerk;

// Ten simulated seconds of the default bodies (-1) and of every scene, at
// frames of one step and of three, and of forty bodies dropped close together
// (100), which pile up enough impacts in a step for the landing rule. One world walks to
// every impact in turn while a twin runs whole frames: after every frame the
// two agree bit for bit in every body and in what the last step did, and the
// walk met exactly the impacts that prallwerk-trace --events lists, in order,
// at the same times.
TEST(ImpactWalker, MeetsTheTracedImpactsAndEndsEveryFrameAsAWholeFrame) {
    constexpr int crowd = 100;
    const std::pair<int, uint32_t> cases[] = {{-1, 16}, {0, 16},  {1, 16},  {2, 16},
                                              {3, 16},  {1, 250}, {3, 250}, {crowd, 17}};
    buildSceneTable();
    for (const auto& [scene, ms] : cases) {
        SCOPED_TRACE("scene " + std::to_string(scene) + " at " + std::to_string(ms) + " ms");
        const auto make = [scene = scene]() -> std::unique_ptr<World> {
            if (scene == crowd) return packedCrowd();
            auto w = std::make_unique<GravityWorld>();
            if (scene >= 0) loadScene(*w, scene);
            return w;
        };
        std::unique_ptr<World> walked = make(), whole = make();
        ImpactWalker walker(*walked);
        std::vector<std::string> met;
        long landings = 0;
        const long frames = 10000 / ms;
        for (long frame = 1; frame <= frames; ++frame) {
            walker.beginFrame(frameSteps(ms, 1.0f));
            while (walker.toNextImpact()) {
                const WalkedImpact& i = walker.lastImpact();
                met.push_back(std::to_string(frame) + "," + std::to_string(i.subStep) + "," + traceNumber(i.time) +
                              (i.b < 0 ? ",ground," : ",pair,") + std::to_string(i.a) + "," +
                              std::to_string(i.b) + "," + traceNumber(i.span));
            }
            advanceFrame(*whole, frameSteps(ms, 1.0f));
            landings += whole->lastStep.landings;
            ASSERT_EQ(walked->lastStep.impacts(), whole->lastStep.impacts()) << "frame " << frame;
            for (int b = 0; b < whole->bodyCount; ++b) {
                ASSERT_TRUE(sameBits(*walked->bodies[b], *whole->bodies[b])) << "frame " << frame << ", body " << b;
            }
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
        ASSERT_EQ(met.size() + 1, traced.size());
        EXPECT_GT(met.size(), 80u);
        for (size_t n = 0; n < met.size(); ++n) ASSERT_EQ(met[n], traced[n + 1]) << "impact " << n;
    }
}
