#pragma once

// The control state: written by the controls (updateFrame, app/logic/controls.h)
// and the scene loads, read by the stepping keys and the drawing.

extern int sceneIndex;                   // current prepared scene, 0..3 (the last one while a file scene is current)
extern unsigned char simulationRunning;  // the World is advanced each frame while 1
extern unsigned char sceneFresh;         // 1 from a scene (re)load until Space is next pressed
extern unsigned char wireframe;          // polygons drawn as outlines
extern float timeScale;                  // 1, 2, 4, 8 or 16; elapsed time is divided by it
extern float simulatedTime;              // seconds since the last start from a fresh scene
extern float cameraDistance;             // z translation of the scene in front of the camera
