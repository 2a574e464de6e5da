#pragma once

#include <cstdint>

#include "app/logic/control_state.h"
#include "app/seam/virtual_keys.h"
#include "prallwerk/math/vec3.h"

struct AppWindow;

// Keyboard controls and the per-frame update: scene choice (the prepared
// scenes, or a scene file's while it is current: app/logic/scene_files.h), start
// and pause, reset, time scale, wireframe, camera distance, stepping by hand while
// paused (app/logic/stepping.h), then the arcball step and the simulation step.

// Per edge-triggered key: 1 while the key stays held after its action fired.
extern unsigned char edgeLatch[keyCodeCount];

// Values for launching a body that the launch keys edit. Nothing else in the
// program reads them: they change neither the World nor anything drawn.
struct LaunchParameters {
    prallwerk::Vec3 triples[3];       // positions, m; triple 0 is where the body would start
    double radius = 0.0;     // m
    double volume = 0.0;     // m^3, 4/3 pi radius^3
    double mass = 0.0;       // kg, volume x density x 1000
    int materialIndex = 0;   // row of materialTable
    int selectedTriple = 0;  // triple the arrow and page keys edit, 0..2
};
extern LaunchParameters launchParameters;

// The launch parameters as the program starts with them.
LaunchParameters initialLaunchParameters();

// The window whose quit Escape requests and the key array updateFrame polls,
// stored by initGraphics for each window generation.
extern AppWindow* controlWindow;
extern const int* controlKeys;

// Whether some control reads the key with this virtual-key code: the keys
// whose meaning a host (a browser) must not act on while the program runs.
bool isControlKey(int virtualKey);

// Applies the held keys to the control state (one-shot keys once per press),
// runs the arcball step, and while the simulation runs advances the World by
// elapsedMilliseconds / timeScale of simulated time in sub-steps shorter than
// 0.1 s. elapsedMilliseconds is the wall time since the previous frame.
void updateFrame(uint32_t elapsedMilliseconds);
