#include "app/logic/controls.h"
#include "app/logic/program_answers.h"
#include "prallwerk/scenes/scene_file.h"
#include "tests/app/logic/control_frames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/main_loop.h"
#include "app/logic/stepping.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "tests/app/fake_platform.h"
#include "prallwerk/scenes/body_def.h"
#include "prallwerk/scenes/materials.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

using ::testing::ElementsAre;

namespace {

// A GravityWorld whose step only records its time span, so that the tests see
// exactly what the frame asked of the simulation.
class RecordingWorld : public GravityWorld {
public:
    RecordingWorld() : GravityWorld() {}
    void step(float dt) override { steps.push_back(dt); }
    std::vector<float> steps;
};

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        buildSceneTable();
        savedWorld = world;
        world = &recordingWorld;
        application.platform = &platform;
        window.application = &application;
        controlWindow = &window;
        controlKeys = keys;
        resetControlState();
    }
    void TearDown() override {
        world = savedWorld;
        controlWindow = nullptr;
        controlKeys = nullptr;
    }

    // One frame with exactly these keys held.
    void frame(std::initializer_list<int> held, uint32_t elapsedMs = 16) { frameHolding(keys, held, elapsedMs); }

    // A key pressed for one frame and released in the next.
    void tap(int key, uint32_t elapsedMs = 16) { tapKey(keys, key, elapsedMs); }

    // The scene whose bodies the world holds, or -1.
    int loadedScene() const {
        for (int s = 0; s < sceneCount; ++s) {
            bool same = true;
            for (int i = 0; i < sceneBodyCount; ++i) {
                const RigidBody& b = *recordingWorld.bodies[i];
                const SceneBodyDef& d = sceneTable[s][i];
                same = same && b.position.x == d.position.x && b.position.y == d.position.y &&
                       b.position.z == d.position.z && b.velocity.z == d.velocity.z && b.kind == d.kind;
            }
            if (same) return s;
        }
        return -1;
    }

    RecordingWorld recordingWorld;
    GravityWorld* savedWorld = nullptr;
    FakePlatform platform;
    Application application;
    AppWindow window;
    int keys[keyCodeCount] = {};
};

TEST_F(Controls, HoldingF8ChangesTheSceneOnceAndEachNewPressAgain) {
    for (int i = 0; i < 20; ++i) frame({vkF8});
    EXPECT_EQ(sceneIndex, 1);
    EXPECT_EQ(loadedScene(), 1);
    EXPECT_EQ(simulationRunning, 0);
    EXPECT_EQ(sceneFresh, 1);
    frame({});
    tap(vkF8);
    EXPECT_EQ(sceneIndex, 2);
    tap(vkF8);
    EXPECT_EQ(sceneIndex, 3);
    tap(vkF8);
    EXPECT_EQ(sceneIndex, 0);
    EXPECT_EQ(loadedScene(), 0);
    tap(vkF7);
    EXPECT_EQ(sceneIndex, 3);
    EXPECT_EQ(loadedScene(), 3);
}

TEST_F(Controls, TimeScaleStepsAndStopsAtOneAndSixteen) {
    std::vector<float> seen;
    for (int i = 0; i < 5; ++i) {
        tap(vkF6);
        seen.push_back(timeScale);
    }
    EXPECT_THAT(seen, ElementsAre(2.0f, 4.0f, 8.0f, 16.0f, 16.0f));
    seen.clear();
    for (int i = 0; i < 5; ++i) {
        tap(vkF5);
        seen.push_back(timeScale);
    }
    EXPECT_THAT(seen, ElementsAre(8.0f, 4.0f, 2.0f, 1.0f, 1.0f));
}

TEST_F(Controls, AnEdgeKeyWhoseConditionFailsStaysArmedWhileHeld) {
    frame({vkF5});  // at 1: nothing to do, and the press is not used up
    frame({vkF5, vkF6});
    EXPECT_EQ(timeScale, 2.0f);
    frame({vkF5, vkF6});  // F5 is still held and now allowed
    EXPECT_EQ(timeScale, 1.0f);
    frame({vkF5, vkF6});
    EXPECT_EQ(timeScale, 1.0f);
}

TEST_F(Controls, SpaceRunsPausesAndRestartsTheClockFromAFreshScene) {
    frame({vkSpace});  // initial state: runs the constructor's bodies
    EXPECT_EQ(simulationRunning, 1);
    EXPECT_EQ(sceneFresh, 0);
    EXPECT_EQ(simulatedTime, 0.016f);
    frame({}, 100);
    const float runTime = simulatedTime;
    tap(vkSpace);  // pause
    frame({}, 500);
    EXPECT_EQ(simulatedTime, runTime);
    tap(vkF8);
    EXPECT_EQ(simulatedTime, 0.0f);
    frame({}, 500);
    EXPECT_EQ(simulatedTime, 0.0f);  // fresh and paused: stays at zero
    frame({vkSpace}, 16);
    EXPECT_EQ(simulatedTime, 0.016f);
}

TEST_F(Controls, RWhileRunningReloadsTheCurrentScenePausesAndZeroesTheTime) {
    tap(vkF8);
    tap(vkSpace);
    frame({}, 300);
    recordingWorld.bodies[0]->position = {1.0, 2.0, 3.0};  // as if it had moved
    const size_t stepsBefore = recordingWorld.steps.size();
    frame({vkR}, 40);
    EXPECT_EQ(loadedScene(), 1);
    EXPECT_EQ(simulationRunning, 0);
    EXPECT_EQ(sceneFresh, 1);
    EXPECT_EQ(simulatedTime, 0.0f);
    EXPECT_EQ(recordingWorld.steps.size(), stepsBefore);  // the reload frame does not step
}

TEST_F(Controls, SubStepsStayBelowATenthOfASecond) {
    struct Case {
        uint32_t ms;
        float scale;
        float dt;
        std::vector<float> steps;
    };
    const float third = static_cast<float>(0.25f / 3.0);
    const float eleventh = static_cast<float>(1.0f / 11.0);
    const Case cases[] = {
        {16, 16.0f, 0.001f, {0.001f}},
        {25, 1.0f, 0.025f, {0.025f}},
        {250, 1.0f, 0.25f, {third, third, third}},
        {1000, 1.0f, 1.0f, std::vector<float>(11, eleventh)},
        {0, 1.0f, 0.0f, {0.0f}},
    };
    for (const Case& c : cases) {
        recordingWorld.steps.clear();
        simulatedTime = 0.0f;
        timeScale = c.scale;
        simulationRunning = 1;
        frame({}, c.ms);
        EXPECT_EQ(recordingWorld.steps, c.steps) << c.ms << " ms at time scale " << c.scale;
        EXPECT_EQ(simulatedTime, c.dt) << c.ms << " ms";
    }
}

TEST_F(Controls, EscapeRequestsQuitAndTheFrameStillCompletes) {
    simulationRunning = 1;
    frame({vkEscape}, 50);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(platform.log, std::vector<std::string>{"postQuit"});
    EXPECT_EQ(recordingWorld.steps.size(), 1u);
}

// Before the first window there is no context to draw outlines in: F3 only
// sets the flag that the window's start-up reads.
TEST_F(Controls, WireframeBeforeAnyWindowOnlySetsTheFlag) {
    controlWindow = nullptr;
    tap(vkF3);
    EXPECT_EQ(wireframe, 1);
    AppWindow noApplication;
    controlWindow = &noApplication;
    tap(vkF3);
    EXPECT_EQ(wireframe, 0);
    EXPECT_TRUE(platform.view.polygonLines.empty());
}

TEST_F(Controls, CameraDistanceAndWireframeSurviveSceneChanges) {
    for (int i = 0; i < 3; ++i) frame({vkPageUp});
    EXPECT_EQ(cameraDistance, -51.5f);
    frame({vkPageDown});
    EXPECT_EQ(cameraDistance, -51.0f);
    tap(vkF3);
    tap(vkF8);
    tap(vkR);
    EXPECT_EQ(cameraDistance, -51.0f);
    EXPECT_EQ(wireframe, 1);
    tap(vkF3);
    EXPECT_EQ(wireframe, 0);
    EXPECT_THAT(platform.view.polygonLines, ElementsAre(true, false));
}

TEST_F(Controls, LaunchEditsNeedAFreshSceneAndAReloadInTheSameFrameAllowsThem) {
    const LaunchParameters initial = launchParameters;
    frame({vkRight, vkUp, vkSubtract, vkMultiply});  // not fresh: nothing changes
    EXPECT_EQ(launchParameters.triples[0].x, initial.triples[0].x);
    EXPECT_EQ(launchParameters.radius, initial.radius);
    EXPECT_EQ(launchParameters.materialIndex, 0);

    frame({vkR, vkRight});
    EXPECT_EQ(launchParameters.triples[0].x, -20.0 + static_cast<double>(0.1f));
    frame({vkUp, vkLeft});
    EXPECT_EQ(launchParameters.triples[0].y, static_cast<double>(0.1f));
    EXPECT_EQ(launchParameters.triples[0].x, -20.0 + static_cast<double>(0.1f) - static_cast<double>(0.1f));
}

TEST_F(Controls, LaunchEditsMoveTheSelectedTripleAndStopTheBodyAboveItsRadius) {
    tap(vkR);
    tap(vkA);
    EXPECT_EQ(launchParameters.selectedTriple, 1);
    for (int i = 0; i < 60; ++i) frame({vkPageDown});  // triple 1 may go below the ground
    EXPECT_LT(launchParameters.triples[1].z, -0.5);
    EXPECT_EQ(launchParameters.triples[0].z, 5.0 + static_cast<double>(0.1f));
    tap(vkA);
    tap(vkA);
    EXPECT_EQ(launchParameters.selectedTriple, 0);
    for (int i = 0; i < 80; ++i) frame({vkPageDown});
    const LaunchParameters& p = launchParameters;
    EXPECT_LT(p.triples[0].z, p.radius);  // one step may cross the radius, no more
    EXPECT_GT(p.triples[0].z, p.radius - static_cast<double>(0.1f));
    EXPECT_EQ(cameraDistance, -50.0f + 140 * 0.5f);  // Page Down also brings the scene closer
}

TEST_F(Controls, RadiusStaysWithinItsBoundsAndVolumeAndMassFollowIt) {
    tap(vkR);
    for (int i = 0; i < 20; ++i) frame({vkSubtract});
    const LaunchParameters& p = launchParameters;
    EXPECT_LE(p.radius, static_cast<double>(0.01f));
    EXPECT_GT(p.radius, 0.0);
    EXPECT_DOUBLE_EQ(p.volume, 4.188790321350098 * p.radius * p.radius * p.radius);
    EXPECT_DOUBLE_EQ(p.mass, p.volume * materialTable[0].density * 1000.0);
    for (int i = 0; i < 300; ++i) frame({vkAdd});
    EXPECT_GE(p.radius, 2.0);
    EXPECT_LT(p.radius, 2.0 + static_cast<double>(0.01f));
    EXPECT_DOUBLE_EQ(p.volume, 4.188790321350098 * p.radius * p.radius * p.radius);
    EXPECT_DOUBLE_EQ(p.mass, p.volume * materialTable[0].density * 1000.0);

    // Only the body's own radius (triple 0) can change.
    const double radius = p.radius;
    tap(vkA);
    frame({vkSubtract});
    EXPECT_EQ(p.radius, radius);
}

TEST_F(Controls, MaterialChoiceWrapsAndSetsTheMassFromTheVolume) {
    tap(vkR);
    const double volume = launchParameters.volume;
    tap(vkDivide);
    EXPECT_EQ(launchParameters.materialIndex, materialCount - 1);
    EXPECT_DOUBLE_EQ(launchParameters.mass, volume * materialTable[materialCount - 1].density * 1000.0);
    for (int i = 0; i < 10; ++i) frame({vkMultiply});  // held: one step
    EXPECT_EQ(launchParameters.materialIndex, 0);
    frame({});
    tap(vkMultiply);
    EXPECT_EQ(launchParameters.materialIndex, 1);
    EXPECT_DOUBLE_EQ(launchParameters.mass, volume * materialTable[1].density * 1000.0);
    tap(vkDivide);  // back from the second to the first, no wrap
    EXPECT_EQ(launchParameters.materialIndex, 0);
    EXPECT_DOUBLE_EQ(launchParameters.mass, volume * materialTable[0].density * 1000.0);
}

}  // namespace

namespace {

// Lists the bodies and the time of every impact its steps handle, as its
// listener hears of them.
class ImpactLog : public GravityWorld {
public:
    ImpactLog() {
        impactListener = [this](const ImpactRecord& r) {
            impacts.emplace_back(r.a.index, r.b.index);
            times.push_back(r.time);
        };
    }
    std::vector<std::pair<int, int>> impacts;
    std::vector<double> times;
};

}  // namespace

// Each , stops at the next impact that frames of 1/60 s (at the time scale)
// run whole meet, with the clock inside that frame; the closing . or running
// on from the stop (with , held while running, which must do nothing)
// reaches the frame boundaries with the bits and the clock of frames run
// whole. Each case ends stopped inside a frame, which the next case's R
// must drop.
TEST_F(Controls, StepKeysStopAtTheImpactsOfWholeFramesAndKeepTheirBoundaries) {
    struct Case {
        int scene;
        float timeScale;
        size_t impacts;  // , presses
        bool runOn;      // then Space instead of .
    };
    const Case cases[] = {{1, 1.0f, 12, false}, {2, 1.0f, 30, true}, {3, 4.0f, 8, false}, {0, 16.0f, 5, true},
                          // the rest of the frame of the 50th impact passes two more
                          {0, 4.0f, 50, false}};
    ImpactLog stepped;
    world = &stepped;
    for (const Case& c : cases) {
        SCOPED_TRACE("scene " + std::to_string(c.scene) + ", time scale " + std::to_string(c.timeScale));
        timeScale = c.timeScale;
        sceneIndex = c.scene;
        tap(vkR);
        ImpactLog whole;
        loadScene(whole, c.scene);
        const FrameSteps wholeFrame = splitFrame(static_cast<float>(steppingFrameSeconds / timeScale));
        float wholeTime = 0.0f;
        for (size_t n = 0; n < c.impacts; ++n) {
            tap(vkOemComma, 0);
            for (; whole.impacts.size() <= n; wholeTime += wholeFrame.dt) advanceFrame(whole, wholeFrame);
            ASSERT_EQ(impactNote.kind, ImpactNote::Kind::impact) << n;
            ASSERT_EQ(std::make_pair(impactNote.a, impactNote.b), whole.impacts[n]) << n;
            EXPECT_EQ(impactNote.time, simulatedTime);
            EXPECT_TRUE(simulatedTime <= wholeTime && simulatedTime >= wholeTime - wholeFrame.dt) << n;
        }
        if (c.runOn) {
            tap(vkSpace, 0);  // the stopped frame ends, then two frames of no time
            for (int f = 0; f < 2; ++f) advanceFrame(whole, frameSteps(0, timeScale));
            for (int f = 0; f < 30; ++f, wholeTime += frameSteps(40, timeScale).dt) {
                frame({f == 10 ? vkOemComma : vkOemPeriod}, 40);
                advanceFrame(whole, frameSteps(40, timeScale));
            }
            EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
            tap(vkSpace, 0);
        } else {
            // The line names the last impact of the frame . ended: the one ,
            // stopped at, or one the rest of the frame passed.
            tap(vkOemPeriod, 0);
            ASSERT_EQ(impactNote.kind, ImpactNote::Kind::impact);
            EXPECT_EQ(std::make_pair(impactNote.a, impactNote.b), whole.impacts.back());
            EXPECT_EQ(stepped.impacts.back(), whole.impacts.back());
            // Its time, measured back from the frame's end: two impacts of one
            // frame can be the same bodies a few microseconds apart.
            EXPECT_NEAR(impactNote.time, wholeTime - (whole.elapsedTime - whole.times.back()), 2e-6);
        }
        EXPECT_EQ(simulatedTime, wholeTime);
        for (int i = 0; i < stepped.bodyCount; ++i) EXPECT_TRUE(sameBits(*stepped.bodies[i], *whole.bodies[i])) << i;
        tap(vkOemComma, 0);
    }
}

// With no impact in reach, , lets the whole reach pass, at any time scale.
TEST_F(Controls, StepToAnImpactOutOfReachPassesTheWholeReach) {
    GravityWorld stepped;
    world = &stepped;
    timeScale = 4.0f;
    for (int i = 0; i < stepped.bodyCount; ++i) {
        stepped.bodies[i]->position = {10.0 * i, 0.0, 2000.0};
        stepped.bodies[i]->velocity = {};
    }
    tap(vkOemComma);
    EXPECT_EQ(impactNote.kind, ImpactNote::Kind::noneInReach);
    EXPECT_NEAR(simulatedTime, impactReachSeconds, 1e-3);
    EXPECT_NEAR(stepped.bodies[3]->velocity.z, defaultGravity.z * impactReachSeconds, 1e-3);
}

TEST(ImpactLine, NamesTheBodiesAndTheGroundInTheFontsCodePage) {
    const GravityWorld w;
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 1.2344f, 0, 3}, w), "Sto\xDF: 1.234 s, Kugel \x96 W\xFCrfel 3");
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 12.5f, 5, -1}, w), "Sto\xDF: 12.500 s, W\xFCrfel 5 \x96 Boden");
    EXPECT_EQ(impactLine({ImpactNote::Kind::noneInReach, 0.0f, -1, -1}, w), "Kein Sto\xDF in 10 s");
    EXPECT_EQ(impactLine({}, w), "");
}

// The sphere is the Kugel wherever it stands among the bodies (a scene
// file's may put it anywhere), and every box a Würfel with its number, the
// first body's 0 included.
TEST(ImpactLine, NamesTheSphereWhereverItStands) {
    SceneDescription scene;
    for (int i = 0; i < 4; ++i) {
        BodyDef def;
        def.kind = i == 2 ? kindSphere : kindBox;
        def.radius = 0.5f;
        def.length = def.width = def.height = 1.0f;
        def.mass = 1.0f;
        def.position = {3.0 * i, 0.0, 5.0};
        scene.bodies.push_back(def);
    }
    const BuiltWorld built = buildWorld(scene);
    ASSERT_TRUE(built.world);
    const World& w = *built.world;
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 0.5f, 2, 0}, w), "Sto\xDF: 0.500 s, Kugel \x96 W\xFCrfel 0");
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 0.5f, 0, 2}, w), "Sto\xDF: 0.500 s, W\xFCrfel 0 \x96 Kugel");
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 0.5f, 2, -1}, w), "Sto\xDF: 0.500 s, Kugel \x96 Boden");
    EXPECT_EQ(impactLine({ImpactNote::Kind::impact, 0.5f, 1, 3}, w), "Sto\xDF: 0.500 s, W\xFCrfel 1 \x96 W\xFCrfel 3");
}

// A scene loaded after stepping by hand takes the impact line away, also
// once the stepped frame has ended (. ran it to its end) and none is in
// progress; so does running on.
TEST_F(Controls, AfterAStepToAnImpactRF7F8AndSpaceHideTheImpactLine) {
    GravityWorld stepped;
    world = &stepped;
    for (const int key : {vkR, vkF7, vkF8, vkSpace}) {
        SCOPED_TRACE(key);
        sceneIndex = 1;
        tap(vkR);
        tap(vkOemComma);
        ASSERT_EQ(impactNote.kind, ImpactNote::Kind::impact);
        tap(vkOemPeriod);  // the frame runs to its end: none in progress now
        ASSERT_NE(impactNote.kind, ImpactNote::Kind::hidden);
        tap(key);
        EXPECT_EQ(impactNote.kind, ImpactNote::Kind::hidden);
        EXPECT_EQ(impactLine(impactNote, *world), "");
        if (key == vkSpace) tap(vkSpace);
    }
}

// What the page asks the program, answered from the controls, the scene and
// the World.
TEST_F(Controls, AnswersToThePlatformFollowTheControlsAndTheWorld) {
    const ProgramAnswers answers;
    struct Row {
        int key;
        bool read;
    };
    for (const Row& row : {Row{vkSpace, true}, Row{vkF8, true}, Row{vkOemPeriod, true}, Row{vkA, true},
                           Row{vkTab, false}, Row{vkReturn, false}, Row{vkDigit0, false}}) {
        EXPECT_EQ(answers.readsKey(row.key), row.read) << row.key;
    }
    tap(vkF3);
    tap(vkF6);
    const ControlStatus paused = answers.controlStatus();
    EXPECT_FALSE(paused.running);
    EXPECT_TRUE(paused.wireframe);
    EXPECT_EQ(paused.timeScale, 2.0f);
    tap(vkF3);
    tap(vkSpace);
    const ControlStatus running = answers.controlStatus();
    EXPECT_TRUE(running.running);
    EXPECT_FALSE(running.wireframe);

    tap(vkF8);
    EXPECT_EQ(answers.currentSceneText(), prallwerk::writeScene(prallwerk::describePreparedScene(1)));
    // Every field of a body, each with its own value, as the trace tool
    // prints them.
    RigidBody& first = *world->bodies[0];
    first.position = {1.5, -2.25, 3.0};
    first.velocity = {0.1, -0.0, 4e-20};
    first.spin = {5.0, 6.0, -7.0};
    first.angles = {0.5, -0.125, 1e+22};
    const std::string bodies = answers.bodiesText();
    EXPECT_EQ(std::count(bodies.begin(), bodies.end(), '\n'), world->bodyCount);
    EXPECT_EQ(bodies.substr(0, bodies.find('\n')),
              "0," + std::to_string(first.kind) +
                  ",1.5,-2.25,3,0.10000000000000001,-0,3.9999999999999998e-20,5,6,-7,0.5,-0.125,1e+22");
}
