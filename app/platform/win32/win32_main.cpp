#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>

#include "app/demo.h"
#include "app/platform/win32/platform_win32.h"

// A GUI-subsystem program: no console. WinMain's result is the exit code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::unique_ptr<Platform> platform = openWin32Platform(instance);
    return runDemo(*platform);
}
