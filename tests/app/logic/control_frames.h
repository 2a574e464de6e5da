#pragma once

// The program's control state as it starts, and frames of held keys, for the
// tests that drive the controls through updateFrame.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/controls.h"
#include "app/logic/scene_files.h"
#include "app/logic/stepping.h"

// Everything the controls own, the file scene and the arcball's drag as at
// start; the program running.
inline void resetControlState() {
    sceneIndex = 0;
    simulationRunning = 0;
    sceneFresh = 0;
    wireframe = 0;
    timeScale = 1.0f;
    simulatedTime = 0.0f;
    cameraDistance = -50.0f;
    running = 1;
    std::fill(std::begin(edgeLatch), std::end(edgeLatch), 0);
    launchParameters = initialLaunchParameters();
    leftButtonDown = rightButtonDown = isDragging = 0;
    fileScene.reset();
    dropSteppedFrame();
}

// One frame with exactly these keys held in keys.
inline void frameHolding(int* keys, std::initializer_list<int> held, uint32_t elapsedMs) {
    std::fill(keys, keys + keyCodeCount, 0);
    for (int k : held) keys[k] = 1;
    updateFrame(elapsedMs);
}

// A key pressed for one frame and released in the next.
inline void tapKey(int* keys, int key, uint32_t elapsedMs) {
    frameHolding(keys, {key}, elapsedMs);
    frameHolding(keys, {}, elapsedMs);
}
