#pragma once

#include <memory>
#include <string>

#include "app/seam/platform.h"

// The platform this build of the program runs on, opened once at start-up
// and kept until the program ends: SDL with OpenGL on Linux, Win32 with WGL
// on Windows, the page in a browser. Null when it cannot be opened (no
// display), with the platform's reason in error. Each platform defines it
// beside its entry point (app/platform/<platform>/); the build links one.
std::unique_ptr<Platform> openPlatform(std::string& error);
