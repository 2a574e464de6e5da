// The engine's checks of states it cannot reach: with the checks on, as in the
// test command's Linux builds, reaching one ends the program and says which.
#include "prallwerk/math/assertion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

// A world whose ground search answers NaN, as no search on finite bodies can.
class NanGroundWorld : public GravityWorld {
public:
    float earliestGroundHit(Island&, float) override { return NAN; }
};

struct Unreachable {
    const char* what;
    const char* check;  // the failed check's condition, as a regular expression
    std::function<void()> reach;
};

}  // namespace

TEST(EngineChecksDeathTest, EachUnreachableStateEndsTheProgramNamingItsCheck) {
    if (!assertionsEnabled()) GTEST_SKIP() << "the engine was built without its checks";
#if !GTEST_HAS_DEATH_TEST
    GTEST_SKIP() << "no death tests on this platform";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Unreachable states[] = {
        {"a scene that does not exist", "n < sceneCount", [] {
             buildSceneTable();
             GravityWorld w;
             loadScene(w, sceneCount);
         }},
        {"a search that answers NaN", "isfinite\\(tg\\)", [] {
             NanGroundWorld w;
             w.step(0.01f);
         }},
        {"a body erased that is not there", "index >= 0 && index < count", [] {
             GravityWorld w;
             w.eraseBody(defaultBodyCount);
         }},
        {"a span too long to split", "dt > longestSplitSpan", [] {
             GravityWorld w;
             w.step(1.0e9f);
         }},
    };
    for (const Unreachable& s : states) {
        EXPECT_DEATH(s.reach(), std::string("prallwerk: check failed: .*") + s.check) << s.what;
    }
#endif
}

// Built as it ships, the engine meets the same states and carries on: an
// index past the bodies erases nothing, and a span too long to split is
// taken in one step, as every span was before long ones were split.
TEST(EngineChecks, WithoutTheChecksTheWorldCarriesOn) {
    if (assertionsEnabled()) GTEST_SKIP() << "the engine's checks stop on these states";
    GravityWorld w, twin;
    w.eraseBody(defaultBodyCount);
    w.eraseBody(-1);
    ASSERT_EQ(w.bodyCount, defaultBodyCount);
    for (int i = 0; i < defaultBodyCount; ++i) EXPECT_TRUE(sameBits(*w.bodies[i], *twin.bodies[i])) << i;
    w.step(1.0e9f);
    EXPECT_EQ(w.lastStep.passes, w.lastStep.impacts() + w.lastStep.islands);
}
