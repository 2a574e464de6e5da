#include "app/platform/win32/platform_win32.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <deque>
#include <string>

namespace {

static_assert(toggleScreenModeMessage == WM_USER + 1, "the toggle is the first private message");

// The window, its device context and the pixel format it was given.
struct Win32Window {
    HWND handle = nullptr;
    HDC deviceContext = nullptr;
};

Win32Window* win32Window(PlatformWindow* window) { return reinterpret_cast<Win32Window*>(window); }
HGLRC glContextOf(PlatformContext* context) { return reinterpret_cast<HGLRC>(context); }

// The system's words for the last failure of the calling thread.
std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = "error " + std::to_string(code);
    if (length > 0 && text != nullptr) {
        std::string message(text, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
            message.pop_back();
        }
        result += ": " + message;
    }
    if (text != nullptr) LocalFree(text);
    return result;
}

using SwapIntervalProc = BOOL(WINAPI*)(int interval);
using ExtensionsStringProc = const char*(WINAPI*)();

// Whether the space-separated extension list names extension exactly.
bool hasExtension(const char* list, const char* extension) {
    if (list == nullptr) return false;
    const std::size_t length = std::strlen(extension);
    for (const char* p = list; (p = std::strstr(p, extension)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord) return true;
    }
    return false;
}

// Frames are rendered back to back; waiting for the display's refresh in
// the swap keeps that from spinning a core at full load. Adaptive sync tears
// a late frame rather than waiting a whole refresh. Drivers without the
// extension swap at once.
void syncSwapsToDisplay() {
    const auto swapInterval = reinterpret_cast<SwapIntervalProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval == nullptr) return;
    const auto extensions = reinterpret_cast<ExtensionsStringProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
    const bool adaptive = extensions != nullptr && hasExtension(extensions(), "WGL_EXT_swap_control_tear");
    if (!adaptive || !swapInterval(-1)) swapInterval(1);
}

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance) : instance_(instance) { loadOpenGlDriver(); }
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    BoxResult askQuestion(const char* title, const char* text) override {
        const int pressed = MessageBoxA(nullptr, text, title, MB_YESNO | MB_ICONQUESTION);
        if (pressed == 0) return unshownBox();
        BoxResult result;
        if (pressed == IDYES) result.answer = Answer::yes;
        if (pressed == IDNO) result.answer = Answer::no;
        return result;
    }

    BoxResult showWarning(const char* title, const char* text) override {
        if (MessageBoxA(nullptr, text, title, MB_OK | MB_ICONEXCLAMATION) == 0) return unshownBox();
        return {};
    }

    bool registerWindowClass(const char* className) override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = instance_;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        if (RegisterClassExA(&windowClass) == 0) return false;
        className_ = className;
        return true;
    }

    void unregisterWindowClass(const char* className) override { UnregisterClassA(className, instance_); }

    bool changeScreenMode(int width, int height, int bitsPerPixel) override {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmBitsPerPel = static_cast<DWORD>(bitsPerPixel);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    }

    void restoreScreenMode() override { ChangeDisplaySettingsA(nullptr, 0); }

    void showCursor(bool shown) override { ShowCursor(shown ? TRUE : FALSE); }

    bool requestPixelFormat(const PixelFormatRequest& request) override {
        pixelFormat_ = {};
        pixelFormat_.nSize = sizeof pixelFormat_;
        pixelFormat_.nVersion = 1;
        pixelFormat_.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (request.doubleBuffered ? PFD_DOUBLEBUFFER : 0);
        pixelFormat_.iPixelType = PFD_TYPE_RGBA;
        pixelFormat_.cColorBits = static_cast<BYTE>(request.colourBits);
        pixelFormat_.cDepthBits = static_cast<BYTE>(request.depthBits);
        pixelFormat_.iLayerType = PFD_MAIN_PLANE;
        return true;
    }

    PlatformWindow* openWindow(const WindowSpec& spec) override {
        DWORD style = WS_OVERLAPPEDWINDOW;
        DWORD extendedStyle = WS_EX_APPWINDOW;
        if (spec.style == WindowStyle::popup) {
            style = WS_POPUP;
            extendedStyle = WS_EX_APPWINDOW | WS_EX_TOPMOST;
        }
        RECT rect = {0, 0, spec.width, spec.height};
        if (!spec.sizeIncludesFrame) AdjustWindowRectEx(&rect, style, FALSE, extendedStyle);

        events_.clear();
        auto* window = new Win32Window;
        window->handle = CreateWindowExA(extendedStyle, className_.c_str(), spec.title, style, 0, 0,
                                         rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                         instance_, this);
        if (window->handle == nullptr) {
            delete window;
            return nullptr;
        }
        window->deviceContext = GetDC(window->handle);
        const int format = window->deviceContext != nullptr ? ChoosePixelFormat(window->deviceContext, &pixelFormat_) : 0;
        if (format == 0 || !SetPixelFormat(window->deviceContext, format, &pixelFormat_)) {
            closeWindow(reinterpret_cast<PlatformWindow*>(window));
            return nullptr;
        }
        return reinterpret_cast<PlatformWindow*>(window);
    }

    void showWindow(PlatformWindow* window) override {
        const HWND handle = win32Window(window)->handle;
        ShowWindow(handle, SW_SHOW);
        // The keys go to the new window, also when it replaces one that had
        // them.
        SetForegroundWindow(handle);
        SetFocus(handle);
    }

    void closeWindow(PlatformWindow* handle) override {
        Win32Window* window = win32Window(handle);
        if (window->deviceContext != nullptr) ReleaseDC(window->handle, window->deviceContext);
        DestroyWindow(window->handle);
        delete window;
        // What the window said on its way out is no message for the next one.
        events_.clear();
    }

    PlatformContext* createGlContext(PlatformWindow* window) override {
        return reinterpret_cast<PlatformContext*>(wglCreateContext(win32Window(window)->deviceContext));
    }

    bool makeCurrent(PlatformWindow* window, PlatformContext* context) override {
        const HDC deviceContext = window != nullptr ? win32Window(window)->deviceContext : nullptr;
        if (!wglMakeCurrent(deviceContext, glContextOf(context))) return false;
        if (context != nullptr) syncSwapsToDisplay();
        return true;
    }

    void deleteGlContext(PlatformContext* context) override { wglDeleteContext(glContextOf(context)); }

    void swapBuffers(PlatformWindow* window) override { SwapBuffers(win32Window(window)->deviceContext); }

    bool peekEvent(PlatformEvent& event) override {
        // Messages sent to the window (a size change, a close) reach the
        // window procedure outside any fetch; it queues them with the posted
        // ones it sees in dispatch.
        while (events_.empty()) {
            MSG message;
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
            if (message.message == WM_QUIT) {
                event = PlatformEvent{};
                event.kind = PlatformEvent::Kind::quit;
                return true;
            }
            // No TranslateMessage: the program reads keys, never characters.
            DispatchMessageA(&message);
        }
        event = events_.front();
        events_.pop_front();
        return true;
    }

    void waitEvent() override {
        if (events_.empty()) WaitMessage();
    }

    void postQuit() override { PostQuitMessage(0); }

    uint32_t tickCount() override { return GetTickCount(); }

private:
    // The first look at the display's pixel formats loads the OpenGL driver,
    // which takes most of a window's start-up time on a software renderer;
    // done here, it happens while the user reads the start question rather
    // than after the answer.
    static void loadOpenGlDriver() {
        const HDC screen = GetDC(nullptr);
        if (screen == nullptr) return;
        PIXELFORMATDESCRIPTOR format = {};
        DescribePixelFormat(screen, 1, sizeof format, &format);
        ReleaseDC(nullptr, screen);
    }

    static BoxResult unshownBox() {
        BoxResult result;
        result.shown = false;
        result.failure = lastErrorText();
        return result;
    }

    void queue(PlatformEvent::Kind kind, int x = 0, int y = 0) {
        PlatformEvent event;
        event.kind = kind;
        event.x = x;
        event.y = y;
        events_.push_back(event);
    }

    // The window procedure: each message the program handles becomes an
    // event for the platform-free window procedure of the main loop.
    // Returns false for messages that go to default handling.
    bool handle(UINT message, WPARAM wParam, LPARAM lParam) {
        using Kind = PlatformEvent::Kind;
        const int low = LOWORD(lParam);
        const int high = HIWORD(lParam);
        switch (message) {
        case WM_SYSCOMMAND:
            // No screen saver and no monitor power-down while the demo runs.
            return wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER;
        case WM_CLOSE:
            queue(Kind::close);
            return true;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (wParam > 255) return false;
            queue(message == WM_KEYDOWN ? Kind::keyDown : Kind::keyUp);
            events_.back().code = static_cast<int>(wParam);
            return true;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                queue(Kind::sizeChanged);
                events_.back().sizeKind = SizeKind::minimised;
                return true;
            }
            if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
                queue(Kind::sizeChanged, low, high);
                events_.back().sizeKind = wParam == SIZE_MAXIMIZED ? SizeKind::maximised : SizeKind::restored;
                return true;
            }
            return false;
        case WM_MOUSEMOVE:
            queue(Kind::mouseMove, low, high);
            events_.back().buttons = ((wParam & MK_LBUTTON) ? mouseButtonLeft : 0u) |
                                     ((wParam & MK_RBUTTON) ? mouseButtonRight : 0u);
            return false;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            queue(Kind::leftButton);
            events_.back().down = message == WM_LBUTTONDOWN;
            return false;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            queue(Kind::rightButton);
            events_.back().down = message == WM_RBUTTONDOWN;
            return false;
        case toggleScreenModeMessage:
            queue(Kind::toggleScreenMode);
            return false;
        default:
            return false;
        }
    }

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        // The platform travels with the window from its creation on.
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (platform != nullptr && platform->handle(message, wParam, lParam)) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HINSTANCE instance_;
    std::string className_ = "OpenGL";
    PIXELFORMATDESCRIPTOR pixelFormat_ = {};
    std::deque<PlatformEvent> events_;  // handled messages not yet taken by peekEvent
};

}  // namespace

std::unique_ptr<Platform> openWin32Platform(void* instance) {
    const HINSTANCE module = instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
    return std::make_unique<Win32Platform>(module);
}
