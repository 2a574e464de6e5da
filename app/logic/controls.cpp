#include "app/logic/controls.h"

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/main_loop.h"
#include "app/logic/scene_files.h"
#include "app/logic/stepping.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/materials.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

unsigned char edgeLatch[keyCodeCount] = {};
AppWindow* controlWindow = nullptr;
const int* controlKeys = nullptr;

namespace {

constexpr float cameraStep = 0.5f;      // m per frame while Page Up or Page Down is held
constexpr float slowestTimeScale = 16.0f;
constexpr float realTimeScale = 1.0f;

// Launch edits. The steps are single-precision constants held in double.
constexpr float positionStep = 0.1f;   // m per frame
constexpr float radiusStep = 0.01f;    // m per frame
constexpr float smallestRadius = 0.01f;
constexpr double largestRadius = 2.0;
constexpr double kilogramsPerGramPerCubicCentimetre = 1000.0;  // density g/cm^3 x m^3 -> kg

void loadCurrentScene() {
    // The prepared scenes are the classic rules'.
    world->setRules(Rules::classic);
    loadScene(*world, sceneIndex);
    sceneLoaded();
}

void quitProgram() { requestQuit(*controlWindow); }
void moveCameraAway() { cameraDistance -= cameraStep; }
void moveCameraCloser() { cameraDistance += cameraStep; }

// A file scene sits between the prepared scene that was current before it
// and the next one: F7 goes back to the one before, F8 on to the next.
void previousScene() {
    if (fileScene) {
        leaveFileScene();
    } else {
        sceneIndex = sceneIndex <= 0 ? sceneCount - 1 : sceneIndex - 1;
    }
    loadCurrentScene();
}

void nextScene() {
    leaveFileScene();
    sceneIndex = sceneIndex >= sceneCount - 1 ? 0 : sceneIndex + 1;
    loadCurrentScene();
}

bool canSpeedUp() { return timeScale > realTimeScale; }
bool canSlowDown() { return timeScale < slowestTimeScale; }
void halveTimeScale() { timeScale *= 0.5f; }
void doubleTimeScale() { timeScale *= 2.0f; }

// Before the first window there is no context whose polygons could change;
// initGraphics sets the mode of each new one from the flag.
void toggleWireframe() {
    wireframe = !wireframe;
    if (controlWindow != nullptr && controlWindow->application != nullptr) {
        controlWindow->application->platform->setPolygonLines(wireframe != 0);
    }
}

void toggleRunning() {
    simulationRunning = !simulationRunning;
    sceneFresh = 0;
}

// A file scene comes back as the file gave it.
void reloadScene() {
    if (fileScene) {
        reloadFileScene();
    } else {
        loadCurrentScene();
    }
}

bool simulationPaused() { return simulationRunning == 0; }

// --- launch parameters ---

Vec3& selectedTriple() { return launchParameters.triples[launchParameters.selectedTriple]; }
bool sceneIsFresh() { return sceneFresh != 0; }

void recomputeMass() {
    LaunchParameters& p = launchParameters;
    p.mass = p.volume * materialTable[p.materialIndex].density * kilogramsPerGramPerCubicCentimetre;
}

void recomputeVolumeAndMass() {
    LaunchParameters& p = launchParameters;
    p.volume = static_cast<double>(unitBallVolume) * p.radius * p.radius * p.radius;
    recomputeMass();
}

void selectNextTriple() { launchParameters.selectedTriple = (launchParameters.selectedTriple + 1) % 3; }
void moveLeft() { selectedTriple().x -= positionStep; }
void moveRight() { selectedTriple().x += positionStep; }
void moveBack() { selectedTriple().y -= positionStep; }
void moveForward() { selectedTriple().y += positionStep; }

void moveDown() {
    // The body's own start point (triple 0) stops once it is below one
    // radius above the ground.
    if (launchParameters.selectedTriple == 0 && selectedTriple().z < launchParameters.radius) return;
    selectedTriple().z -= positionStep;
}

void moveUp() { selectedTriple().z += positionStep; }

void shrinkRadius() {
    LaunchParameters& p = launchParameters;
    if (p.selectedTriple == 0 && p.radius > smallestRadius) p.radius -= radiusStep;
    recomputeVolumeAndMass();
}

void growRadius() {
    LaunchParameters& p = launchParameters;
    if (p.selectedTriple == 0 && p.radius < largestRadius) p.radius += radiusStep;
    recomputeVolumeAndMass();
}

void previousMaterial() {
    LaunchParameters& p = launchParameters;
    p.materialIndex = p.materialIndex <= 0 ? materialCount - 1 : p.materialIndex - 1;
    recomputeMass();
}

void nextMaterial() {
    LaunchParameters& p = launchParameters;
    p.materialIndex = p.materialIndex >= materialCount - 1 ? 0 : p.materialIndex + 1;
    recomputeMass();
}

// Level: acts in every frame the key is held. Edge: acts once per press, in
// the first frame the key is held while its condition holds.
enum class Trigger { level, edge };

struct KeyBinding {
    int key;
    Trigger trigger;
    bool (*condition)();  // null: always
    void (*action)();
};

// In the order they apply within a frame; a later row sees what an earlier
// one changed.
const KeyBinding keyBindings[] = {
    {vkEscape, Trigger::level, nullptr, quitProgram},
    {vkPageUp, Trigger::level, nullptr, moveCameraAway},
    {vkPageDown, Trigger::level, nullptr, moveCameraCloser},
    {vkF7, Trigger::edge, nullptr, previousScene},
    {vkF8, Trigger::edge, nullptr, nextScene},
    {vkF5, Trigger::edge, canSpeedUp, halveTimeScale},
    {vkF6, Trigger::edge, canSlowDown, doubleTimeScale},
    {vkF3, Trigger::edge, nullptr, toggleWireframe},
    {vkSpace, Trigger::edge, nullptr, toggleRunning},
    {vkA, Trigger::edge, nullptr, selectNextTriple},
    {vkR, Trigger::edge, nullptr, reloadScene},
    // Launch edits, only while the scene is fresh: a reload by R in the same
    // frame already allows them.
    {vkLeft, Trigger::level, sceneIsFresh, moveLeft},
    {vkRight, Trigger::level, sceneIsFresh, moveRight},
    {vkDown, Trigger::level, sceneIsFresh, moveBack},
    {vkUp, Trigger::level, sceneIsFresh, moveForward},
    {vkPageDown, Trigger::level, sceneIsFresh, moveDown},
    {vkPageUp, Trigger::level, sceneIsFresh, moveUp},
    {vkSubtract, Trigger::level, sceneIsFresh, shrinkRadius},
    {vkAdd, Trigger::level, sceneIsFresh, growRadius},
    {vkDivide, Trigger::edge, sceneIsFresh, previousMaterial},
    {vkMultiply, Trigger::edge, sceneIsFresh, nextMaterial},
    // Stepping by hand, only while paused; it leaves a fresh scene, so it
    // comes after the launch edits.
    {vkOemPeriod, Trigger::edge, simulationPaused, stepOneFrame},
    {vkOemComma, Trigger::edge, simulationPaused, stepToNextImpact},
};

void applyBinding(const KeyBinding& binding, const int* keys) {
    const bool held = keys[binding.key] != 0;
    const bool allowed = binding.condition == nullptr || binding.condition();
    if (binding.trigger == Trigger::level) {
        if (held && allowed) binding.action();
        return;
    }
    unsigned char& latch = edgeLatch[binding.key];
    if (!held) {
        latch = 0;
    } else if (!latch && allowed) {
        binding.action();
        latch = 1;
    }
}

}  // namespace

bool isControlKey(int virtualKey) {
    for (const KeyBinding& binding : keyBindings) {
        if (binding.key == virtualKey) return true;
    }
    return false;
}

LaunchParameters initialLaunchParameters() {
    LaunchParameters p;
    p.triples[0] = {-20.0, 0.0, 5.0 + static_cast<double>(0.1f)};
    p.triples[1] = {5.0, 0.0, 5.0};
    p.triples[2] = {5.0, 5.0, 5.0};
    p.radius = static_cast<double>(0.1f);
    p.volume = static_cast<double>(unitBallVolume) * p.radius * p.radius * p.radius;
    p.mass = p.volume * materialTable[p.materialIndex].density * kilogramsPerGramPerCubicCentimetre;
    return p;
}

LaunchParameters launchParameters = initialLaunchParameters();

void updateFrame(uint32_t elapsedMilliseconds) {
    if (controlKeys != nullptr) {
        for (const KeyBinding& binding : keyBindings) applyBinding(binding, controlKeys);
    }

    arcballStep();

    if (simulationRunning) {
        // A frame that the stepping keys left in progress ends first, so that
        // running on meets the frame boundaries it would have met.
        finishSteppedFrame();
        // The frame's simulated time counts before its sub-steps run.
        const FrameSteps steps = frameSteps(elapsedMilliseconds, timeScale);
        simulatedTime += steps.dt;
        advanceFrame(*world, steps);
    }

    // A fresh scene shows zero time until Space starts it.
    if (sceneFresh) simulatedTime = 0.0f;
}
