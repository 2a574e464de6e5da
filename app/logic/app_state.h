#pragma once

#include "app/logic/point2.h"
#include "app/seam/virtual_keys.h"

namespace prallwerk {
class GravityWorld;
}

// Program-wide state that the window procedure and the main loop write and
// the rest of the front-end reads each frame. Single-threaded: everything
// runs on the thread that owns the window.

// 1 while the key with that virtual-key code is held. Zeroed at start and at
// every window creation by the main loop; written only by the window
// procedure.
extern int keyDown[keyCodeCount];

// Last mouse position in client pixels, origin top-left; written by the
// window procedure.
extern Point2 mousePosition;
extern unsigned char leftButtonDown;   // written by the window procedure; cleared at each window generation
extern unsigned char rightButtonDown;  // written by the window procedure

// 1 while the main loop is to create (another) window; 0 ends the program.
extern int running;

// Screen mode of the next window generation: 1 full-screen, 0 windowed.
extern int fullscreenRequest;

// The simulated world, created before main runs with the seven bodies of the
// prepared scenes under gravity (0, 0, -9.81f), and released once by the
// graphics shut-down at the end. A scene file's bodies and gravity take
// their place in it (app/logic/scene_files.h).
extern prallwerk::GravityWorld* world;
