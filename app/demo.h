#pragma once

#include "app/platform.h"

// The demo on a platform: the program's loop with the real drawing and
// OpenGL's view operations. Returns the process exit code.
int runDemo(Platform& platform);
