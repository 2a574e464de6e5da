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
// drive the real program: opens this build's platform (openPlatform) and runs
// the demo on it with the arguments after the program's name; returns the
// exit code. A platform that cannot be opened is said on standard error as
// "prallwerk: no display available (<reason>)", and the exit code is 1.
int startProgram(const std::vector<std::string>& arguments);

// The same start-up for a tool that drives the program, named name in the
// line on standard error: returns what run returns on the platform (run
// calls runDemo, on the platform or on one that wraps it).
int startProgram(const char* name, const std::function<int(Platform& platform)>& run);
