#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "app/platform/opengl/opengl_platform.h"

// The program's platform without a display: a window is a block of memory
// that Mesa's off-screen renderer (OSMesa) draws into, the letters come from
// FreeType as on the Linux desktop. Nothing is shown: the start question is
// answered No, warnings go to standard error, there is no full screen, and
// the only messages are the quit messages posted. Time stands still.
class OffscreenPlatform final : public OpenGlPlatform {
public:
    OffscreenPlatform() = default;
    ~OffscreenPlatform() override;
    OffscreenPlatform(const OffscreenPlatform&) = delete;
    OffscreenPlatform& operator=(const OffscreenPlatform&) = delete;

    BoxResult askQuestion(const char* title, const char* text) override;
    BoxResult showWarning(const char* title, const char* text) override;
    bool registerWindowClass(const char*) override { return true; }
    void unregisterWindowClass(const char*) override {}
    bool changeScreenMode(int, int, int) override { return false; }
    void restoreScreenMode() override {}
    void showCursor(bool) override {}
    bool requestPixelFormat(const PixelFormatRequest& request) override;
    PlatformWindow* openWindow(const WindowSpec& spec) override;
    void showWindow(PlatformWindow*) override {}
    void closeWindow(PlatformWindow* window) override;
    PlatformContext* createGlContext(PlatformWindow* window) override;
    bool makeCurrent(PlatformWindow* window, PlatformContext* context) override;
    void deleteGlContext(PlatformContext* context) override;
    void swapBuffers(PlatformWindow* window) override;
    bool peekEvent(PlatformEvent& event) override;
    void waitEvent() override {}
    void postQuit() override;
    uint32_t tickCount() override { return 0; }
    std::unique_ptr<GlyphSource> openGlyphSource() override;

private:
    int depthBits_ = 16;
    std::deque<PlatformEvent> events_;
};
