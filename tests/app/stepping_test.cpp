// Stepping the paused simulation by hand with the . and , keys.
#include "app/stepping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/controls.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "tests/support/same_body.h"

using namespace prallwerk;

namespace {

// Lists the bodies of every impact its steps handle: advanceAll skips them.
class ImpactLog : public GravityWorld {
public:
    std::vector<std::pair<int, int>> impacts;
    void advanceAll(RigidBody* a, RigidBody* b, float dt) override {
        if (a != nullptr) impacts.emplace_back(indexOf(a), indexOf(b));
        GravityWorld::advanceAll(a, b, dt);
    }
};

class Stepping : public ::testing::Test {
protected:
    void SetUp() override {
        buildSceneTable();
        savedWorld = world;
        world = &stepped;
        controlKeys = keys;
        sceneIndex = 0;
        simulationRunning = 0;
        sceneFresh = 0;
        timeScale = 1.0f;
        simulatedTime = 0.0f;
        std::fill(std::begin(edgeLatch), std::end(edgeLatch), 0);
        dropSteppedFrame();
    }
    void TearDown() override {
        dropSteppedFrame();
        world = savedWorld;
        controlKeys = nullptr;
    }

    // A key pressed for one frame of elapsedMs and released in the next.
    void tap(int key, uint32_t elapsedMs = 16) {
        std::fill(std::begin(keys), std::end(keys), 0);
        keys[key] = 1;
        updateFrame(elapsedMs);
        keys[key] = 0;
        updateFrame(elapsedMs);
    }

    // Loads scene n with F8 from scene 0 (n >= 1) or R (n = 0).
    void loadFreshScene(int n) {
        for (int i = 0; i < n; ++i) tap(vkF8);
        if (n == 0) tap(vkR);
        ASSERT_EQ(sceneFresh, 1);
    }

    bool sameBodies(const World& a, const World& b) const {
        for (int i = 0; i < a.bodyCount; ++i) {
            if (!sameBody(*a.bodies[i], *b.bodies[i])) return false;
        }
        return true;
    }

    GravityWorld stepped;
    World* savedWorld = nullptr;
    int keys[keyCodeCount] = {};
};

}  // namespace

// Scripts of , and . presses on the prepared scenes at two time scales. Each
// , stops at the next impact that frames of 1/60 s run whole would meet, in
// order, with the bodies of that impact and the clock at its time; the
// closing . ends the frame, where the bodies have the bits of the same
// frames run whole; and the simulation run on from a stop mid-frame goes on
// exactly as the frames run whole followed by the same running frames.
TEST_F(Stepping, KeysStopAtTheImpactsOfWholeFramesAndKeepTheirFrameBoundaries) {
    struct Case {
        int scene;
        int slowerBy;        // F6 presses: time scale 2^slowerBy
        int impactsFirst;    // , presses before the closing .
        bool runOnMidFrame;  // then Space from the last stop instead of .
    };
    const Case cases[] = {{1, 0, 12, false}, {2, 0, 30, true}, {3, 2, 8, false}, {0, 4, 5, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("scene " + std::to_string(c.scene) + ", scale " + std::to_string(1 << c.slowerBy));
        SetUp();
        for (int i = 0; i < c.slowerBy; ++i) tap(vkF6);
        loadFreshScene(c.scene);
        ImpactLog whole;
        loadScene(whole, c.scene);
        const FrameSteps frame = splitFrame(static_cast<float>(steppingFrameSeconds / timeScale));
        float wholeTime = 0.0f;

        for (int n = 0; n < c.impactsFirst; ++n) {
            const float before = simulatedTime;
            tap(vkOemComma, 0);
            ASSERT_EQ(impactNote.kind, ImpactNote::Kind::impact) << "press " << n;
            EXPECT_EQ(simulationRunning, 0);
            EXPECT_EQ(sceneFresh, 0);
            EXPECT_EQ(impactNote.time, simulatedTime);
            EXPECT_GE(simulatedTime, before);
            // The twin runs whole frames until it has met as many impacts,
            // and is then in the frame the walk stopped in.
            while (whole.impacts.size() < static_cast<size_t>(n + 1)) {
                advanceFrame(whole, frame);
                wholeTime += frame.dt;
            }
            ASSERT_EQ(std::make_pair(impactNote.a, impactNote.b), whole.impacts[static_cast<size_t>(n)]);
            EXPECT_LE(simulatedTime, wholeTime);
            EXPECT_GT(simulatedTime, wholeTime - frame.dt);
        }
        if (c.runOnMidFrame) {
            tap(vkSpace, 0);  // runs two frames of no time: the stepped frame ends
            EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
            for (int f = 0; f < 30; ++f) updateFrame(40);
            for (int f = 0; f < 2; ++f) advanceFrame(whole, frameSteps(0, timeScale));
            for (int f = 0; f < 30; ++f) {
                advanceFrame(whole, frameSteps(40, timeScale));
                wholeTime += frameSteps(40, timeScale).dt;
            }
        } else {
            tap(vkOemPeriod, 0);
        }
        EXPECT_EQ(simulatedTime, wholeTime);
        EXPECT_TRUE(sameBodies(stepped, whole));
    }
}

// What the keys do around the walk: they step only while paused and leave a
// fresh scene; a scene loaded drops the frame in progress; with no impact in
// reach the whole reach passes; the HUD's line comes and goes with them.
TEST_F(Stepping, KeysActWhilePausedAndAReloadDropsTheFrameInProgress) {
    tap(vkF6);  // time scale 2: frames of 1/120 s
    loadFreshScene(1);
    const float frameDt = static_cast<float>(steppingFrameSeconds / 2.0);
    tap(vkOemPeriod);
    EXPECT_EQ(sceneFresh, 0);
    EXPECT_EQ(simulatedTime, frameDt);

    tap(vkOemComma);
    ASSERT_EQ(impactNote.kind, ImpactNote::Kind::impact);
    const float stoppedAt = simulatedTime;
    tap(vkSpace, 0);  // runs on: the frame ends, the line goes
    EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
    EXPECT_GE(simulatedTime, stoppedAt);
    const float running = simulatedTime;
    tap(vkOemComma, 0);
    tap(vkOemPeriod, 0);
    EXPECT_EQ(simulatedTime, running);
    EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
    tap(vkSpace, 0);

    // A stop mid-frame, then R: the next . runs a new frame from the scene.
    tap(vkOemComma);
    tap(vkR);
    EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
    tap(vkOemPeriod);
    EXPECT_EQ(simulatedTime, frameDt);

    // Bodies far above the ground meet nothing for ten seconds.
    tap(vkF6);  // time scale 4
    tap(vkR);
    for (int i = 0; i < stepped.bodyCount; ++i) {
        stepped.bodies[i]->position = {10.0 * i, 0.0, 2000.0};
        stepped.bodies[i]->velocity = {};
    }
    const double startVz = stepped.bodies[3]->velocity.z;
    tap(vkOemComma);
    EXPECT_EQ(impactNote.kind, ImpactNote::Kind::noneInReach);
    EXPECT_NEAR(simulatedTime, impactReachSeconds, 1e-3);
    EXPECT_NEAR(stepped.bodies[3]->velocity.z - startVz, defaultGravity.z * impactReachSeconds, 1e-3);
}

TEST(ImpactLine, NamesTheBodiesAndTheGroundInTheFontsCodePage) {
    GravityWorld w;
    struct Case {
        ImpactNote note;
        const char* line;
    };
    const Case cases[] = {
        {{ImpactNote::Kind::impact, 1.2344f, 0, 3}, "Sto\xDF: 1.234 s, Kugel \x96 W\xFCrfel 3"},
        {{ImpactNote::Kind::impact, 12.5f, 5, -1}, "Sto\xDF: 12.500 s, W\xFCrfel 5 \x96 Boden"},
        {{ImpactNote::Kind::noneInReach, 0.0f, -1, -1}, "Kein Sto\xDF in 10 s"},
        {{ImpactNote::Kind::hidden, 3.0f, 1, 2}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(impactLine(c.note, w), c.line);
}
