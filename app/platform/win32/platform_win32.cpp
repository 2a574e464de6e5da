#include "app/platform/win32/platform_win32.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <string>

#include "app/platform/opengl/opengl_platform.h"
#include "app/platform/win32/gdi_glyphs.h"
#include "app/platform/win32/win32_messages.h"
#include "app/platform/win32/win32_ticks.h"

namespace {

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
using ExtensionsStringForDcProc = const char*(WINAPI*)(HDC deviceContext);

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

// The WGL extensions of the current context's driver.
const char* wglExtensions(HDC deviceContext) {
    const auto forDc = reinterpret_cast<ExtensionsStringForDcProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringARB")));
    if (forDc != nullptr) return forDc(deviceContext);
    const auto plain = reinterpret_cast<ExtensionsStringProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
    return plain != nullptr ? plain() : nullptr;
}

// Frames are rendered back to back; waiting for the display's refresh in
// the swap keeps that from spinning a core at full load. Adaptive sync tears
// a late frame rather than waiting a whole refresh. Only a driver that lists
// the extension has the swap interval; some hand out the function anyway.
void syncSwapsToDisplay(HDC deviceContext) {
    const char* extensions = wglExtensions(deviceContext);
    if (!hasExtension(extensions, "WGL_EXT_swap_control")) return;
    const auto swapInterval = reinterpret_cast<SwapIntervalProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval == nullptr) return;
    const bool adaptive = hasExtension(extensions, "WGL_EXT_swap_control_tear");
    if (!adaptive || !swapInterval(-1)) swapInterval(1);
}

// Keeps the display on while the demo is in view, as watching needs no
// input. Windows' power manager has not sent SC_MONITORPOWER since Vista, so
// swallowing that command alone keeps nothing awake.
void keepDisplayOn(bool on) { SetThreadExecutionState(ES_CONTINUOUS | (on ? ES_DISPLAY_REQUIRED : 0)); }

// A program that ends abnormally in full screen must not leave the user in
// its display mode.
LPTOP_LEVEL_EXCEPTION_FILTER previousCrashFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;

LONG WINAPI restoreDisplayOnCrash(EXCEPTION_POINTERS* exception) {
    ChangeDisplaySettingsA(nullptr, 0);
    return previousCrashFilter != nullptr ? previousCrashFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void restoreDisplayOnTerminate() {
    ChangeDisplaySettingsA(nullptr, 0);
    if (previousTerminate != nullptr) previousTerminate();
    std::abort();
}

void restoreDisplayIfTheProgramDies() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    previousCrashFilter = SetUnhandledExceptionFilter(restoreDisplayOnCrash);
    previousTerminate = std::set_terminate(restoreDisplayOnTerminate);
}

class Win32Platform final : public OpenGlPlatform {
public:
    explicit Win32Platform(HINSTANCE instance) : instance_(instance) { loadOpenGlDriver(); }
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    std::unique_ptr<GlyphSource> openGlyphSource() override { return openGdiDefaultFace(); }

    // The boxes take their texts in UTF-16: a file's name may hold any
    // character, which the system's code page of MessageBoxA may lack.
    BoxResult askQuestion(const char* title, const char* text) override {
        const int pressed = MessageBoxW(nullptr, wideFromUtf8(text).c_str(), wideFromUtf8(title).c_str(),
                                        MB_YESNO | MB_ICONQUESTION);
        if (pressed == 0) return unshownBox();
        BoxResult result;
        if (pressed == IDYES) result.answer = Answer::yes;
        if (pressed == IDNO) result.answer = Answer::no;
        return result;
    }

    BoxResult showWarning(const char* title, const char* text) override {
        if (MessageBoxW(nullptr, wideFromUtf8(text).c_str(), wideFromUtf8(title).c_str(),
                        MB_OK | MB_ICONEXCLAMATION) == 0) {
            return unshownBox();
        }
        return {};
    }

    bool registerWindowClass(const char* className) override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = instance_;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        // The program's icon (resource 1) on the taskbar, in Alt+Tab and in
        // the caption; none for a module without it.
        windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(programIcon));
        windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(programIcon), IMAGE_ICON,
                                                            GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), 0));
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
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
        fullscreenMode_ = mode;
        restoreDisplayIfTheProgramDies();
        return true;
    }

    void restoreScreenMode() override { ChangeDisplaySettingsA(nullptr, 0); }

    void suspendFullscreen(PlatformWindow* window) override {
        ChangeDisplaySettingsA(nullptr, 0);
        // The other program has been activated already; minimising must not
        // take the activation from it.
        ShowWindow(win32Window(window)->handle, SW_SHOWMINNOACTIVE);
    }

    bool resumeFullscreen(PlatformWindow* window) override {
        if (ChangeDisplaySettingsA(&fullscreenMode_, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
        SetWindowPos(win32Window(window)->handle, HWND_TOP, 0, 0, static_cast<int>(fullscreenMode_.dmPelsWidth),
                     static_cast<int>(fullscreenMode_.dmPelsHeight), SWP_SHOWWINDOW);
        return true;
    }

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
        // Not topmost: a program the user turns to (Alt+Tab, the Windows
        // key, a notification) must open in front of the full screen.
        if (spec.style == WindowStyle::popup) style = WS_POPUP;
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
        // Scene files dropped on the window come as WM_DROPFILES.
        DragAcceptFiles(window->handle, TRUE);
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
        keepDisplayOn(true);
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
        keepDisplayOn(false);
        // What the window said on its way out is no message for the next one.
        events_.clear();
    }

    PlatformContext* createGlContext(PlatformWindow* window) override {
        return reinterpret_cast<PlatformContext*>(wglCreateContext(win32Window(window)->deviceContext));
    }

    bool makeCurrent(PlatformWindow* window, PlatformContext* context) override {
        const HDC deviceContext = window != nullptr ? win32Window(window)->deviceContext : nullptr;
        if (!wglMakeCurrent(deviceContext, glContextOf(context))) return false;
        if (context != nullptr) syncSwapsToDisplay(deviceContext);
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

    uint32_t tickCount() override { return performanceMilliseconds(); }

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

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        // The platform travels with the window from its creation on.
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (platform == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        const Win32Translation translation = translateMessage(message, wParam, lParam);
        if (translation.hasEvent) {
            platform->events_.push_back(translation.event);
            // A minimised demo lets the display sleep.
            if (translation.event.kind == PlatformEvent::Kind::sizeChanged) {
                keepDisplayOn(translation.event.sizeKind != SizeKind::minimised);
            }
        }
        return translation.handled ? 0 : DefWindowProcA(window, message, wParam, lParam);
    }

    static constexpr int programIcon = 1;

    HINSTANCE instance_;
    std::string className_ = "OpenGL";
    PIXELFORMATDESCRIPTOR pixelFormat_ = {};
    DEVMODEA fullscreenMode_ = {};  // the last mode changeScreenMode switched to
    std::deque<PlatformEvent> events_;  // handled messages not yet taken by peekEvent
};

}  // namespace

std::unique_ptr<Platform> openWin32Platform(void* instance) {
    const HINSTANCE module = instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
    return std::make_unique<Win32Platform>(module);
}

// The program's own module; Win32 refuses nothing before the first window.
std::unique_ptr<Platform> openPlatform(std::string&) { return openWin32Platform(nullptr); }
