#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "app/seam/platform.h"

// The private window message that asks the program for the other screen
// mode: another program posts it to the window of class "OpenGL" titled
// "Prallwerk" (WM_USER + 1). A program that is not in the foreground may
// not bring its new window there, so a sender that wants the re-created
// window to have the keys calls AllowSetForegroundWindow for the program's
// process before posting.
constexpr unsigned toggleScreenModeMessage = 0x0400 + 1;

// What the window procedure makes of one window message.
struct Win32Translation {
    bool handled = false;   // answered 0 here; otherwise the default handling runs too
    bool hasEvent = false;  // event is one for the program
    PlatformEvent event;
};

// The program's message for a window message, without side effects, so that
// it can be checked with messages made up for the purpose. The one
// exception is WM_DROPFILES: the drop's handle is released (DragFinish)
// once its files are read.
Win32Translation translateMessage(UINT message, WPARAM wParam, LPARAM lParam);

// UTF-16 text as UTF-8, and back; a code unit that is no text (a lone
// surrogate) becomes U+FFFD.
std::string utf8FromWide(const wchar_t* text);
std::wstring wideFromUtf8(const std::string& text);
