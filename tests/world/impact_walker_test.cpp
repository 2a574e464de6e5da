// Walking a world impact by impact: the walk stops at exactly the impacts the
// event trace lists, and ends every frame with the bits of a frame run whole.
#include "prallwerk/world/impact_walker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "tests/support/same_body.h"
#include "tests/support/trace_text.h"

using namespace prallwerk;

namespace {

// Not a scene: a crowd of dropped bodies.
constexpr int dropScene = 100;

// One impact as the event trace lists it, or as a walk met it.
struct Impact {
    long frame = 0;
    int subStep = 0;
    double time = 0.0;
    int a = -1, b = -1;
    double span = 0.0;

    bool operator==(const Impact& o) const {
        return frame == o.frame && subStep == o.subStep && time == o.time && a == o.a && b == o.b &&
               span == o.span;
    }
};

std::ostream& operator<<(std::ostream& out, const Impact& i) {
    return out << "frame " << i.frame << " step " << i.subStep << " at " << i.time << " s: " << i.a << "-" << i.b
               << " after " << i.span << " s";
}

// The lines frame,substep,time,kind,a,b,t after the header. strtod reads
// back the exact double that %.17g wrote.
std::vector<Impact> parseEvents(const std::string& text) {
    std::vector<Impact> impacts;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        const char* p = line.c_str();
        char* end = nullptr;
        Impact i;
        i.frame = std::strtol(p, &end, 10);
        i.subStep = static_cast<int>(std::strtol(end + 1, &end, 10));
        i.time = std::strtod(end + 1, &end);
        const bool pair = std::string(end + 1, 4) == "pair";
        end += pair ? 5 : 7;
        i.a = static_cast<int>(std::strtol(end + 1, &end, 10));
        i.b = static_cast<int>(std::strtol(end + 1, &end, 10));
        i.span = std::strtod(end + 1, &end);
        EXPECT_EQ(pair, i.b >= 0) << line;
        impacts.push_back(i);
    }
    return impacts;
}

std::unique_ptr<World> sceneWorld(int scene) {
    if (scene == dropScene) return std::make_unique<DropWorld>(40);
    auto w = std::make_unique<GravityWorld>();
    if (scene >= 0) loadScene(*w, scene);
    return w;
}

}  // namespace

// Ten simulated seconds of every scene and of the default bodies (-1), at
// frames of one step and of three, and of a crowd of forty dropped bodies
// that piles up enough impacts in a step for the landing rule. One world is
// walked to every impact in turn, a twin runs whole frames: at the end of
// every frame the two agree bit for bit in every field of every body and in
// what the last step did, and the walk stopped at the impacts that
// prallwerk-trace --events lists, in order, at the same times.
TEST(ImpactWalker, StopsAtEveryTracedImpactAndEndsEachFrameAsAWholeFrame) {
    struct Case {
        int scene;
        uint32_t frameMs;
        bool traced;
    };
    const Case cases[] = {{-1, 16, true},  {0, 16, true},  {1, 16, true},       {2, 16, true},
                          {3, 16, true},   {1, 250, true}, {3, 250, true},      {dropScene, 17, false}};
    buildSceneTable();
    for (const Case& c : cases) {
        SCOPED_TRACE("scene " + std::to_string(c.scene) + " at " + std::to_string(c.frameMs) + " ms");
        const long frames = 10000 / c.frameMs;
        const FrameSteps steps = frameSteps(c.frameMs, 1.0f);
        std::unique_ptr<World> walked = sceneWorld(c.scene), whole = sceneWorld(c.scene);
        ImpactWalker walker(*walked);
        std::vector<Impact> visited;
        long landings = 0;
        for (long frame = 1; frame <= frames; ++frame) {
            walker.beginFrame(steps);
            while (walker.toNextImpact()) {
                const WalkedImpact& i = walker.lastImpact();
                visited.push_back({frame, i.subStep, i.time, i.a, i.b, i.span});
            }
            ASSERT_FALSE(walker.inFrame());
            advanceFrame(*whole, steps);
            landings += whole->lastStep.landings;
            ASSERT_EQ(walked->lastStep.impacts(), whole->lastStep.impacts()) << "frame " << frame;
            ASSERT_EQ(walked->lastStep.landings, whole->lastStep.landings) << "frame " << frame;
            for (int b = 0; b < whole->bodyCount; ++b) {
                ASSERT_TRUE(sameBody(*walked->bodies[b], *whole->bodies[b])) << "frame " << frame << ", body " << b;
            }
        }
        EXPECT_EQ(walker.impactCount(), static_cast<long>(visited.size()));
        if (!c.traced) {
            EXPECT_GT(landings, 0) << "the crowd no longer reaches the landing rule";
            continue;
        }
        TraceOptions options;
        options.scene = c.scene;
        options.frames = frames;
        options.frameMs = c.frameMs;
        options.events = true;
        const std::vector<Impact> traced = parseEvents(traceText(options));
        EXPECT_GT(traced.size(), 10u);
        ASSERT_EQ(visited.size(), traced.size());
        for (size_t n = 0; n < traced.size(); ++n) ASSERT_EQ(visited[n], traced[n]) << "impact " << n;
    }
}
