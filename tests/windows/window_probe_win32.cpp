// The Windows program's window as Windows sees it, for the end-to-end tests
// under Wine, and the other programs around it: one that asks it for the
// other screen mode, one the user turns to, and the taskbar.
//
//   window_probe_win32 client     prints the client area, WIDTHxHEIGHT
//   window_probe_win32 area       prints X,Y,WIDTH,HEIGHT of the client area
//                                 inside the whole window
//   window_probe_win32 style      prints popup for a borderless window,
//                                 topmost for a borderless one kept above
//                                 all others, overlapped for a framed one
//   window_probe_win32 screen     prints whether the window covers the
//                                 screen exactly: covers or partial
//   window_probe_win32 state      prints minimised or shown
//   window_probe_win32 handle     prints the window's handle
//   window_probe_win32 toggle     posts toggleScreenMode (WM_USER + 1),
//                                 letting the program bring its new window
//                                 to the foreground first
//   window_probe_win32 restore    restores the minimised window as a click
//                                 on its taskbar button does
//   window_probe_win32 mode       prints the display's mode, WIDTHxHEIGHT
//   window_probe_win32 take-focus MS
//                                 shows a window of its own in the
//                                 foreground for MS milliseconds: another
//                                 program the user turns to
//
// The window is the one of class "OpenGL" titled "Prallwerk". Exit status 0
// on success, 1 when there is no such window, 2 on misuse.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT toggleScreenMode = WM_USER + 1;

int usage() {
    std::fprintf(stderr,
                 "usage: window_probe_win32 client|area|style|screen|state|handle|toggle|restore|mode\n"
                 "       window_probe_win32 take-focus MS\n");
    return 2;
}

// A program that is not in the foreground may not bring its windows there;
// one that is, or was lately given the input, may pass that on.
void letTheProgramTakeTheForeground(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
}

// Another program the user turns to: a window of its own in the foreground
// for the milliseconds given.
int takeFocus(DWORD milliseconds) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ProbeFocus";
    if (RegisterClassA(&windowClass) == 0) return 1;
    const HWND window = CreateWindowExA(0, "ProbeFocus", "Another program", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    const DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
    DestroyWindow(window);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* command = argv[1];
    if (std::strcmp(command, "take-focus") == 0) {
        return argc == 3 ? takeFocus(std::strtoul(argv[2], nullptr, 10)) : usage();
    }
    if (argc != 2) return usage();
    if (std::strcmp(command, "mode") == 0) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 1;
        std::printf("%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight);
        return 0;
    }
    const HWND window = FindWindowA("OpenGL", "Prallwerk");
    if (window == nullptr) {
        std::fprintf(stderr, "window_probe_win32: no window of class OpenGL titled Prallwerk\n");
        return 1;
    }
    RECT client = {};
    RECT outer = {};
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !GetWindowRect(window, &outer) || !ClientToScreen(window, &origin)) {
        return 1;
    }
    if (std::strcmp(command, "client") == 0) {
        std::printf("%ldx%ld\n", client.right - client.left, client.bottom - client.top);
    } else if (std::strcmp(command, "area") == 0) {
        std::printf("%ld,%ld,%ld,%ld\n", origin.x - outer.left, origin.y - outer.top, client.right - client.left,
                    client.bottom - client.top);
    } else if (std::strcmp(command, "style") == 0) {
        const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
        const LONG_PTR extended = GetWindowLongPtrA(window, GWL_EXSTYLE);
        const bool borderless = (style & WS_POPUP) != 0 && (style & WS_CAPTION) == 0;
        std::printf("%s\n", !borderless ? "overlapped" : (extended & WS_EX_TOPMOST) != 0 ? "topmost" : "popup");
    } else if (std::strcmp(command, "screen") == 0) {
        const bool covers = outer.left == 0 && outer.top == 0 && outer.right == GetSystemMetrics(SM_CXSCREEN) &&
                            outer.bottom == GetSystemMetrics(SM_CYSCREEN);
        std::printf("%s\n", covers ? "covers" : "partial");
    } else if (std::strcmp(command, "state") == 0) {
        std::printf("%s\n", IsIconic(window) ? "minimised" : "shown");
    } else if (std::strcmp(command, "handle") == 0) {
        std::printf("%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    } else if (std::strcmp(command, "toggle") == 0) {
        // The re-created window is to have the keys.
        letTheProgramTakeTheForeground(window);
        if (!PostMessageA(window, toggleScreenMode, 0, 0)) return 1;
    } else if (std::strcmp(command, "restore") == 0) {
        letTheProgramTakeTheForeground(window);
        if (!PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0)) return 1;
    } else {
        return usage();
    }
    return 0;
}
