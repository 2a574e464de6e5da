// Quick taps through the real main loop and controls: a key that goes down
// and up between two frames must act exactly as a key held for one frame.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/controls.h"
#include "app/logic/main_loop.h"
#include "prallwerk/world/world.h"
#include "tests/app/fake_platform.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

using Kind = PlatformEvent::Kind;

namespace {

// Counts the steps the frames ask for instead of simulating them.
class CountingWorld : public GravityWorld {
public:
    CountingWorld() : GravityWorld(0.0, 0.0, static_cast<double>(-9.81f)) {}
    void step(float) override { ++steps; }
    int steps = 0;
};

CountingWorld* countingWorld = nullptr;

const FrameHooks controlHooks = {
    [](AppWindow& window, int* keys) {
        controlWindow = &window;
        controlKeys = keys;
        return true;
    },
    updateFrame,
    [] {},
    [] {},
};

// Everything a key of the controls can change.
struct ControlState {
    int scene, running, fresh, wireframe, triple, material, steps, programRunning;
    float timeScale, camera;
    double x, y, z, radius;

    bool operator==(const ControlState& o) const {
        return std::tie(scene, running, fresh, wireframe, triple, material, steps, programRunning, timeScale,
                        camera, x, y, z, radius) == std::tie(o.scene, o.running, o.fresh, o.wireframe, o.triple,
                                                              o.material, o.steps, o.programRunning, o.timeScale,
                                                              o.camera, o.x, o.y, o.z, o.radius);
    }
};

ControlState controlState() {
    const Vec3& t = launchParameters.triples[0];
    return {sceneIndex, simulationRunning, sceneFresh, wireframe, launchParameters.selectedTriple,
            launchParameters.materialIndex, countingWorld->steps, running, timeScale, cameraDistance,
            t.x, t.y, t.z, launchParameters.radius};
}

std::string describe(const ControlState& s) {
    return "scene " + std::to_string(s.scene) + " running " + std::to_string(s.running) + " fresh " +
           std::to_string(s.fresh) + " wireframe " + std::to_string(s.wireframe) + " triple " +
           std::to_string(s.triple) + " material " + std::to_string(s.material) + " steps " +
           std::to_string(s.steps) + " program " + std::to_string(s.programRunning) + " scale " +
           std::to_string(s.timeScale) + " camera " + std::to_string(s.camera) + " launch (" +
           std::to_string(s.x) + ", " + std::to_string(s.y) + ", " + std::to_string(s.z) + ") r " +
           std::to_string(s.radius);
}

PlatformEvent keyEvent(Kind kind, int code) {
    PlatformEvent e;
    e.kind = kind;
    e.code = code;
    return e;
}

// When the key goes down and up, counted in frames presented before it.
struct Press {
    int downBefore;
    int upBefore;
};

class KeyTaps : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        buildSceneTable();
        savedWorld = world;
        world = &countingWorld_;
        countingWorld = &countingWorld_;
        arcBall = ArcBall(1024.0f, 768.0f);
        leftButtonDown = rightButtonDown = isDragging = 0;
    }
    void TearDown() override {
        world = savedWorld;
        controlWindow = nullptr;
        controlKeys = nullptr;
    }

    // A state in which every control key has something to do: a fresh scene
    // that still runs (R and Space stop it), time scale 2 (F5 and F6 act).
    static void startState() {
        sceneIndex = 1;
        simulationRunning = 1;
        sceneFresh = 1;
        wireframe = 0;
        timeScale = 2.0f;
        simulatedTime = 0.0f;
        cameraDistance = -50.0f;
        std::fill(std::begin(edgeLatch), std::end(edgeLatch), 0);
        launchParameters = initialLaunchParameters();
    }

    // Runs the program for six frames with key pressed as given (no press
    // when key is 0) and returns the control state at the end.
    ControlState run(int key, Press press) {
        std::vector<Press> presses;
        if (key != 0) presses.push_back(press);
        return run(key, presses);
    }

    // The same with any number of presses; the events queued after one frame
    // go in the order of the presses, each down before its up.
    ControlState run(int key, const std::vector<Press>& presses) {
        startState();
        countingWorld_.steps = 0;
        FakePlatform platform;
        platform.afterFrame = [&](FakePlatform& p) {
            for (const Press& press : presses) {
                if (p.frames == press.downBefore) p.queue.push_back(keyEvent(Kind::keyDown, key));
                if (p.frames == press.upBefore) p.queue.push_back(keyEvent(Kind::keyUp, key));
            }
            if (p.frames == 6) p.push(Kind::close);
        };
        runProgram(platform, controlHooks);
        return controlState();
    }

    CountingWorld countingWorld_;
    GravityWorld* savedWorld = nullptr;
};

// Down and up queued before the same frame: that frame sees the key, the
// next one does not.
TEST_P(KeyTaps, ATapBetweenTwoFramesActsAsAKeyHeldForOneFrame) {
    const int key = GetParam();
    const ControlState untouched = run(0, {0, 0});
    const ControlState heldOneFrame = run(key, {2, 3});
    const ControlState tapped = run(key, {2, 2});
    EXPECT_FALSE(heldOneFrame == untouched) << "the key does nothing here: " << describe(untouched);
    EXPECT_TRUE(tapped == heldOneFrame) << "tapped:    " << describe(tapped) << "\nheld once: "
                                        << describe(heldOneFrame);
}

// Held over three frames, the key behaves as it always did: the array says
// down until the frame after the release.
TEST_P(KeyTaps, AKeyHeldAcrossFramesActsInEachOfThem) {
    const int key = GetParam();
    const ControlState held = run(key, {2, 5});
    startState();
    countingWorld_.steps = 0;
    int keys[keyCodeCount] = {};
    AppWindow window;
    Application application;
    FakePlatform platform;
    application.platform = &platform;
    window.application = &application;
    controlWindow = &window;
    controlKeys = keys;
    running = 1;
    const bool escape = key == vkEscape;
    for (int frame = 1; frame <= 6 && !(escape && frame > 3); ++frame) {
        keys[key] = frame >= 3 && frame <= 5;
        updateFrame(0);
    }
    running = 0;  // the window closes after the sixth frame, if Escape has not ended it before
    EXPECT_TRUE(held == controlState()) << "through the loop: " << describe(held) << "\npolled directly: "
                                        << describe(controlState());
}

// Let go and pressed again before the next frame, after a frame saw the key
// down: a second press, which acts as if a frame had come between the two.
TEST_P(KeyTaps, APressRightAfterAReleaseIsASecondPress) {
    const int key = GetParam();
    const ControlState spread = run(key, std::vector<Press>{{2, 3}, {4, 5}});
    const ControlState close = run(key, std::vector<Press>{{2, 3}, {3, 5}});
    const ControlState closeTaps = run(key, std::vector<Press>{{2, 3}, {3, 4}});
    const ControlState spreadTaps = run(key, std::vector<Press>{{2, 3}, {4, 4}});
    EXPECT_TRUE(close == spread) << "pressed again at once: " << describe(close)
                                 << "\na frame between:       " << describe(spread);
    EXPECT_TRUE(closeTaps == spreadTaps) << "tapped again at once: " << describe(closeTaps)
                                         << "\na frame between:      " << describe(spreadTaps);
}

// Tapped and pressed again before the next frame, with no frame that saw it
// down before: the tap's release is over, and the key acts as one held from
// that frame on (a key that acts in every held frame shows the difference).
TEST_P(KeyTaps, ATapAndAPressBeforeOneFrameActAsThePressHeld) {
    const int key = GetParam();
    const ControlState held = run(key, {2, 5});
    const ControlState tappedThenHeld = run(key, std::vector<Press>{{2, 2}, {2, 5}});
    EXPECT_TRUE(tappedThenHeld == held) << "tapped, then held: " << describe(tappedThenHeld)
                                        << "\nheld:              " << describe(held);
}

const int controlKeyCodes[] = {vkEscape, vkPageUp, vkPageDown, vkF7,    vkF8,   vkF5,       vkF6,
                               vkF3,     vkSpace,  vkR,        vkA,     vkLeft, vkRight,    vkDown,
                               vkUp,     vkSubtract, vkAdd,    vkDivide, vkMultiply};

INSTANTIATE_TEST_SUITE_P(EveryControlKey, KeyTaps, ::testing::ValuesIn(controlKeyCodes),
                         [](const ::testing::TestParamInfo<int>& info) { return "vk" + std::to_string(info.param); });

// Pressed and let go twice before one frame: still one press, since the
// frame polls the keys once.
TEST_F(KeyTaps, TwoTapsBeforeOneFrameCountOnce) {
    startState();
    FakePlatform platform;
    platform.afterFrame = [](FakePlatform& p) {
        if (p.frames == 2) {
            for (int i = 0; i < 2; ++i) {
                p.queue.push_back(keyEvent(Kind::keyDown, vkF8));
                p.queue.push_back(keyEvent(Kind::keyUp, vkF8));
            }
        }
        if (p.frames == 5) p.push(Kind::close);
    };
    runProgram(platform, controlHooks);
    EXPECT_EQ(sceneIndex, 2);
}

// A tap whose down and up come with a window re-creation in between is
// forgotten with the rest of the keys: the new window starts with none held.
TEST_F(KeyTaps, PendingPressesGoWithTheWindow) {
    startState();
    int keys[keyCodeCount] = {};
    PendingKeys pending;
    pressKey(keys, pending, vkSpace);
    releaseKey(keys, pending, vkSpace);
    EXPECT_EQ(keys[vkSpace], 1);
    clearKeys(keys, pending);
    EXPECT_EQ(keys[vkSpace], 0);
    framePolledKeys(keys, pending);
    EXPECT_EQ(keys[vkSpace], 0);
    pressKey(keys, pending, vkSpace);
    framePolledKeys(keys, pending);
    EXPECT_EQ(keys[vkSpace], 1);  // held over the frame: stays down
    releaseKey(keys, pending, vkSpace);
    EXPECT_EQ(keys[vkSpace], 0);  // seen already: up at once
}

}  // namespace
