#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/platform.h"

// What the window procedure makes of one window message.
struct Win32Translation {
    bool handled = false;   // answered 0 here; otherwise the default handling runs too
    bool hasEvent = false;  // event is one for the program
    PlatformEvent event;
};

// The program's message for a window message, without side effects, so that
// it can be checked with messages made up for the purpose.
Win32Translation translateMessage(UINT message, WPARAM wParam, LPARAM lParam);
