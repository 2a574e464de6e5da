#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/logic/main_loop.h"
#include "app/seam/platform.h"

// What a window generation of the demo runs: the real drawing.
extern const FrameHooks demoFrames;

// The demo on a platform: the program's loop with frames (the real drawing
// unless a tool watches it), given the arguments after the program's name
// (UTF-8). Returns the process exit code.
int runDemo(Platform& platform, const std::vector<std::string>& arguments = {},
            const FrameHooks& frames = demoFrames);

// The program's start-up, shared by its entry points and the tools that
// drive the real program: opens this build's platform (openPlatform) and
// returns what run returns on it, the exit code. A platform that cannot be
// opened is said on standard error as "<name>: no display available
// (<reason>)", and the exit code is 1.
int startProgram(const char* name, const std::function<int(Platform& platform)>& run);
