// The Windows program's window as Windows sees it, for the end-to-end tests
// under Wine, and the other program that asks it for the other screen mode.
//
//   window_probe_win32 client     prints the client area, WIDTHxHEIGHT
//   window_probe_win32 area       prints X,Y,WIDTH,HEIGHT of the client area
//                                 inside the whole window
//   window_probe_win32 style      prints popup for a borderless topmost
//                                 window, overlapped for a framed one
//   window_probe_win32 screen     prints whether the window covers the
//                                 screen exactly: covers or partial
//   window_probe_win32 handle     prints the window's handle
//   window_probe_win32 toggle     posts toggleScreenMode (WM_USER + 1)
//   window_probe_win32 face       prints the face GDI gives the HUD's font
//                                 (no face name: the platform's default)
//
// The window is the one of class "OpenGL" titled "Prallwerk". Exit status 0
// on success, 1 when there is no such window, 2 on misuse.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr UINT toggleScreenMode = WM_USER + 1;

int usage() {
    std::fprintf(stderr, "usage: window_probe_win32 client|area|style|screen|handle|toggle|face\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return usage();
    const char* command = argv[1];
    if (std::strcmp(command, "face") == 0) {
        const HDC screen = GetDC(nullptr);
        const HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nullptr);
        const HGDIOBJ previous = SelectObject(screen, font);
        char face[LF_FACESIZE] = {};
        GetTextFaceA(screen, LF_FACESIZE, face);
        std::printf("%s\n", face);
        SelectObject(screen, previous);
        DeleteObject(font);
        ReleaseDC(nullptr, screen);
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
        const bool popup = (style & WS_POPUP) != 0 && (style & WS_CAPTION) == 0 && (extended & WS_EX_TOPMOST) != 0;
        std::printf("%s\n", popup ? "popup" : "overlapped");
    } else if (std::strcmp(command, "screen") == 0) {
        const bool covers = outer.left == 0 && outer.top == 0 && outer.right == GetSystemMetrics(SM_CXSCREEN) &&
                            outer.bottom == GetSystemMetrics(SM_CYSCREEN);
        std::printf("%s\n", covers ? "covers" : "partial");
    } else if (std::strcmp(command, "handle") == 0) {
        std::printf("%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    } else if (std::strcmp(command, "toggle") == 0) {
        if (!PostMessageA(window, toggleScreenMode, 0, 0)) return 1;
    } else {
        return usage();
    }
    return 0;
}
