#pragma once

#include "app/logic/box_faces.h"
#include "app/render/body_colours.h"

struct AppWindow;
namespace prallwerk {
struct BoxShape;
}

// Drawing of every frame: the ground grid and the bodies in the
// arcball-turned world, then the head-up display in eye space. Runs on the
// window's thread with its GL context current; the caller links the OpenGL
// it draws with (the window's libGL or an off-screen one).

// After each window creation, with the modelview matrix current: hands the
// window and key array to the controls, ends any drag, sets the fixed GL
// state and the one light, builds the font from the glyphs of the window's
// platform and fills the scene table. The
// polygon mode follows the wireframe flag, which outlives the window. Always
// true.
bool initGraphics(AppWindow& window, int* keys);

// Draws one frame: clears, then the grid, every body with its velocity line,
// and the HUD. Ends with lighting off, colour tracking on, blending
// off, depth testing on and the polygon mode as wireframe asks.
void drawFrame();

// Before each window is destroyed: deletes the font. When the program is
// ending (running is 0) it also destroys and releases the World and clears
// its pointer.
void shutdownGraphics();

// Lit material of front and back faces for body index j: ambient 0.1, diffuse
// bodyColours[j], specular 0.5, shininess 1. Any j outside 0..6 changes
// nothing.
void setBodyMaterial(int j);

// Twelve lit triangles with their face normals around the current origin,
// where the caller has put the box's centre (the corners are offsets from it
// in world axes), then a yellow point of 10 pixels at the centre. Leaves
// lighting on and colour tracking off.
void drawBox(const prallwerk::BoxShape& box);
