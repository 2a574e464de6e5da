#include "app/platform/sdl/platform_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "app/platform/opengl/opengl_platform.h"
#include "app/platform/sdl/freetype_glyphs.h"
#include "app/platform/sdl/heap_tuning.h"
#include "app/platform/sdl/sdl_environment.h"
#include "app/platform/sdl/sdl_events.h"
#include "app/platform/sdl/toggle_signal.h"

namespace {

// While minimised the program sleeps in slices this long between looks at
// its events and the flag, so that a toggle or any message still arrives.
//
// It does not block in SDL_WaitEventTimeout: while SDL waits there, every
// event it queues sends a wake-up message to the window over a second X
// connection. When the program then destroys that window (a toggle while
// minimised), the X server may run the destroy from the main connection
// before the wake-up, and the BadWindow that follows ends the process through
// Xlib's default error handler. Polling never arms the wake-up.
constexpr int waitSliceMs = 10;

// Full-screen pixel format for a colour depth; unknown lets SDL use the
// desktop's format.
Uint32 displayFormatOf(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 32: return SDL_PIXELFORMAT_RGB888;
    case 24: return SDL_PIXELFORMAT_RGB24;
    case 16: return SDL_PIXELFORMAT_RGB565;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

SDL_Window* sdlWindow(PlatformWindow* window) { return reinterpret_cast<SDL_Window*>(window); }
PlatformWindow* platformWindow(SDL_Window* window) { return reinterpret_cast<PlatformWindow*>(window); }

class SdlPlatform final : public OpenGlPlatform {
public:
    // Loading OpenGL opens the display's driver, which takes most of a
    // window's start-up time on a software renderer; done here, it happens
    // while the user reads the start question rather than after the answer.
    SdlPlatform() : glLibraryLoaded_(SDL_GL_LoadLibrary(nullptr) == 0) {
        // Files dropped on a window (the X drag-and-drop protocol); every
        // window made from here on takes them.
        SDL_EventState(SDL_DROPBEGIN, SDL_ENABLE);
        SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
        SDL_EventState(SDL_DROPCOMPLETE, SDL_ENABLE);
    }
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    std::unique_ptr<GlyphSource> openGlyphSource() override { return openFreetypeDefaultFace(); }

    ~SdlPlatform() override {
        if (pendingFullscreen_ != nullptr) SDL_DestroyWindow(pendingFullscreen_);
        if (glLibraryLoaded_) SDL_GL_UnloadLibrary();
        SDL_Quit();
    }

    BoxResult askQuestion(const char* title, const char* text) override {
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, yesButton, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, noButton, "No"},
        };
        const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
                                        nullptr, title, text, 2, buttons, nullptr};
        int pressed = -1;
        BoxResult result;
        if (SDL_ShowMessageBox(&box, &pressed) != 0) return unshownBox();
        if (pressed == yesButton) result.answer = Answer::yes;
        if (pressed == noButton) result.answer = Answer::no;
        return result;
    }

    BoxResult showWarning(const char* title, const char* text) override {
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title, text, nullptr) != 0) return unshownBox();
        return {};
    }

    bool registerWindowClass(const char*) override {
        // The class is what every window shares: its private messages and
        // the OpenGL library.
        if (!glLibraryLoaded_) return false;
        if (quitEvent_ == noEvent) {
            quitEvent_ = SDL_RegisterEvents(1);
            if (quitEvent_ == noEvent) return false;
        }
        return true;
    }

    // The OpenGL library stays loaded until the platform closes.
    void unregisterWindowClass(const char*) override {}

    bool changeScreenMode(int width, int height, int bitsPerPixel) override {
        // SDL changes the display mode only for a shown full-screen window,
        // so the mode change makes the window that openWindow then adopts.
        SDL_Window* window = SDL_CreateWindow("", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN |
                                                                           SDL_WINDOW_BORDERLESS |
                                                                           SDL_WINDOW_ALWAYS_ON_TOP);
        if (window == nullptr) return false;
        SDL_DisplayMode mode = {};
        mode.w = width;
        mode.h = height;
        mode.format = displayFormatOf(bitsPerPixel);
        SDL_SetWindowDisplayMode(window, &mode);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
        SDL_ShowWindow(window);

        // SDL can report success for the closest mode it found, or keep the
        // desktop's mode (Xvfb does); only the mode read back counts.
        SDL_DisplayMode now = {};
        const int display = SDL_GetWindowDisplayIndex(window);
        const bool switched = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0 && display >= 0 &&
                              SDL_GetCurrentDisplayMode(display, &now) == 0 && now.w == width &&
                              now.h == height && static_cast<int>(SDL_BYTESPERPIXEL(now.format)) * 8 == bitsPerPixel;
        if (!switched) {
            SDL_DestroyWindow(window);  // puts the desktop mode back
            return false;
        }
        pendingFullscreen_ = window;
        return true;
    }

    void restoreScreenMode() override {
        // SDL puts the desktop mode back when the full-screen window goes;
        // only a mode-switch window that never became the program's is left.
        if (pendingFullscreen_ != nullptr) {
            SDL_DestroyWindow(pendingFullscreen_);
            pendingFullscreen_ = nullptr;
        }
    }

    void showCursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

    bool requestPixelFormat(const PixelFormatRequest& request) override {
        // 32 bits per pixel are 8 bits per colour channel and 8 unused: an
        // alpha plane would make the window translucent under a compositor.
        const int channelBits = std::min(request.colourBits, 24) / 3;
        const bool ok = SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0) == 0 &&
                        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, request.doubleBuffered ? 1 : 0) == 0 &&
                        // Fixed-function OpenGL 1.1 and GLU need the compatibility profile.
                        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) == 0;
        return ok;
    }

    PlatformWindow* openWindow(const WindowSpec& spec) override {
        SDL_Window* window = nullptr;
        if (spec.style == WindowStyle::popup && pendingFullscreen_ != nullptr) {
            window = pendingFullscreen_;
            pendingFullscreen_ = nullptr;
            SDL_SetWindowTitle(window, spec.title);
        } else {
            restoreScreenMode();
            Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
            flags |= spec.style == WindowStyle::popup ? SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP
                                                      : SDL_WINDOW_RESIZABLE;
            window = SDL_CreateWindow(spec.title, 0, 0, spec.width, spec.height, flags);
        }
        window_ = window;
        sizeIncludesFrame_ = spec.sizeIncludesFrame;
        windowBuffersChanged();
        // A toggle asked for while there was no window had no window to go
        // to, as a message posted to a window that does not exist yet.
        takeToggleSignal();
        return platformWindow(window);
    }

    void showWindow(PlatformWindow* handle) override {
        SDL_Window* window = sdlWindow(handle);
        SDL_ShowWindow(window);
        if (!sizeIncludesFrame_) return;
        // The frame's size is known only once the window manager has framed
        // the window; without one (or without an answer yet) the client area
        // keeps the whole size.
        SDL_PumpEvents();
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 && top + left + bottom + right > 0) {
            int width = 0, height = 0;
            SDL_GetWindowSize(window, &width, &height);
            SDL_SetWindowSize(window, width - left - right, height - top - bottom);
        }
    }

    void closeWindow(PlatformWindow* handle) override {
        SDL_DestroyWindow(sdlWindow(handle));
        if (window_ == sdlWindow(handle)) window_ = nullptr;
    }

    PlatformContext* createGlContext(PlatformWindow* window) override {
        return reinterpret_cast<PlatformContext*>(SDL_GL_CreateContext(sdlWindow(window)));
    }

    bool makeCurrent(PlatformWindow* window, PlatformContext* context) override {
        if (SDL_GL_MakeCurrent(sdlWindow(window), reinterpret_cast<SDL_GLContext>(context)) != 0) return false;
        // Frames are rendered back to back; waiting for the display's refresh
        // in the swap keeps that from spinning a core at full load. Adaptive
        // sync tears a late frame rather than waiting a whole refresh.
        if (context != nullptr && SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
        return true;
    }

    void deleteGlContext(PlatformContext* context) override {
        SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
    }

    void swapBuffers(PlatformWindow* window) override {
        SDL_GL_SwapWindow(sdlWindow(window));
        returnFreedHeap();
    }

    bool peekEvent(PlatformEvent& event) override {
        if (window_ != nullptr && takeToggleSignal()) {
            event = PlatformEvent{};
            event.kind = PlatformEvent::Kind::toggleScreenMode;
            return true;
        }
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            const SdlWindowState state = sdlWindowState(window_);
            if (takeSdlDrop(e, state, droppedFiles_, event)) return true;
            if (translateSdlEvent(e, state, quitEvent_, event)) {
                // A window of a new size has new buffers (heap_tuning.h).
                if (event.kind == PlatformEvent::Kind::sizeChanged && event.sizeKind != SizeKind::minimised) {
                    windowBuffersChanged();
                }
                return true;
            }
        }
        return false;
    }

    void waitEvent() override {
        for (;;) {
            SDL_PumpEvents();
            if (toggleSignalPending() || SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 0) {
                return;
            }
            SDL_Delay(waitSliceMs);
        }
    }

    void postQuit() override {
        SDL_Event e = {};
        e.type = quitEvent_;
        SDL_PushEvent(&e);
    }

    uint32_t tickCount() override { return SDL_GetTicks(); }

private:
    static constexpr int yesButton = 1;
    static constexpr int noButton = 0;
    static constexpr Uint32 noEvent = static_cast<Uint32>(-1);

    // SDL's X11 boxes need the X server's core fonts; without them, or with
    // no helper program to fall back on, SDL returns an error instead.
    static BoxResult unshownBox() {
        BoxResult result;
        result.shown = false;
        result.failure = SDL_GetError();
        return result;
    }

    bool glLibraryLoaded_;
    Uint32 quitEvent_ = noEvent;    // the quit message
    SDL_Window* window_ = nullptr;  // the program's current window
    SDL_Window* pendingFullscreen_ = nullptr;  // made by changeScreenMode, not yet opened
    bool sizeIncludesFrame_ = false;
    std::vector<std::string> droppedFiles_;  // the files of the drop in progress, UTF-8
};

}  // namespace

std::unique_ptr<Platform> openSdlPlatform(std::string& error) {
    if (!startSdlVideo(error)) return nullptr;
    if (!listenForToggleSignal()) {
        error = std::string("cannot listen for SIGUSR1: ") + std::strerror(errno);
        SDL_Quit();
        return nullptr;
    }
    return std::make_unique<SdlPlatform>();
}

std::unique_ptr<Platform> openPlatform(std::string& error) {
    std::unique_ptr<Platform> platform = openSdlPlatform(error);
    if (platform) keepFreedHeapForReuse();
    return platform;
}
