#pragma once

#include <memory>
#include <string>

#include "app/seam/platform.h"

// The platform operations on SDL2 with an OpenGL context. Starts SDL's video
// subsystem; null when there is no display to open, with SDL's reason in
// error. The program makes one and keeps it until it ends.
std::unique_ptr<Platform> openSdlPlatform(std::string& error);
