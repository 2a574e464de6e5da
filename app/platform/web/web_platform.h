#pragma once

#include <memory>

#include "app/seam/open_platform.h"

// The platform operations in a web page: the window is the page's canvas,
// its OpenGL context a WebGL 2 context under the OpenGL 1.1 subset
// (gl11/), the message boxes are dialogs over the canvas and full screen
// is the browser's. The page's script (page.js) queues the keys, the mouse
// and what happens to the page; the loop takes them in peekEvent.
//
// The loop blocks as on the desktop: swapBuffers, waitEvent and the boxes
// give the browser control until the next frame, the next event or the
// user's answer. The program makes one platform and keeps it until it ends.
std::unique_ptr<Platform> openWebPlatform();
