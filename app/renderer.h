#pragma once

struct AppWindow;

// Drawing of the scene. Runs on the window's thread with its GL context current.

// After each window creation: hands the window and key array to the controls,
// ends any drag, sets the GL state and fills the scene table. Always true.
bool initGraphics(AppWindow& window, int* keys);

// Draws one frame of the ground grid and the bodies, turned by the arcball.
void drawFrame();

// Before each window is destroyed; when the program is ending (running is 0)
// it also destroys and releases the World.
void shutdownGraphics();
