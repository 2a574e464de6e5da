#pragma once

#include <memory>

#include "app/seam/open_platform.h"

// The platform operations on Win32 with a WGL context, for the program
// instance whose module handle is instance (a HINSTANCE; null for the
// program's own). The program makes one and keeps it until it ends.
std::unique_ptr<Platform> openWin32Platform(void* instance);
