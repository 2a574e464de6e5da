#pragma once

#include <memory>
#include <string>

#include "app/seam/open_platform.h"

// The platform operations on SDL2 with an OpenGL context, the letters from
// FreeType. Starts SDL's video subsystem; null when there is no display to
// open, with SDL's reason in error. The program makes one and keeps it until
// it ends; its openPlatform (app/seam/open_platform.h) also keeps the heap
// for the driver's reuse (heap_tuning.h).
std::unique_ptr<Platform> openSdlPlatform(std::string& error);
