#pragma once

#include <memory>

#include "app/seam/open_platform.h"

// The platform operations on Win32 with a WGL context, for the program
// instance whose module handle is instance (a HINSTANCE; null for the
// program's own). The program makes one and keeps it until it ends.
std::unique_ptr<Platform> openWin32Platform(void* instance);

// The private window message that asks the program for the other screen
// mode: another program posts it to the window of class "OpenGL" titled
// "Prallwerk" (WM_USER + 1). A program that is not in the foreground may
// not bring its new window there, so a sender that wants the re-created
// window to have the keys calls AllowSetForegroundWindow for the program's
// process before posting.
constexpr unsigned toggleScreenModeMessage = 0x0400 + 1;
