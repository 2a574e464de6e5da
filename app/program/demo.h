#pragma once

#include <string>
#include <vector>

#include "app/seam/platform.h"

// The demo on a platform: the program's loop with the real drawing and
// OpenGL's view operations, given the arguments after the program's name
// (UTF-8). Returns the process exit code.
int runDemo(Platform& platform, const std::vector<std::string>& arguments = {});
