#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "app/seam/platform.h"

// The real platform with the user replaced, for tools that drive the
// program's own loop: the start question is answered No, warnings go to
// stderr instead of a box that waits for a click, injected messages come
// before the real ones, and a callback runs after every presented frame.
class ScriptedPlatform : public Platform {
public:
    explicit ScriptedPlatform(Platform& real) : real_(real) {}

    // After each swap, with the number of frames presented so far.
    std::function<void(long frame)> afterFrame;

    // Holds key down from the next frame on and lets it go after that frame:
    // the controls poll the keys once per frame.
    void tap(int key);

    // Queues a message for the window, as from outside the program.
    void inject(PlatformEvent::Kind kind);
    void inject(const PlatformEvent& event);

    // true while a tapped key is still to be let go.
    bool keyHeld() const { return held_ != 0; }

    BoxResult askQuestion(const char*, const char*) override {
        BoxResult result;
        result.answer = Answer::no;
        return result;
    }
    BoxResult showWarning(const char* title, const char* text) override;
    void swapBuffers(PlatformWindow* window) override;
    bool peekEvent(PlatformEvent& event) override;

    bool registerWindowClass(const char* name) override { return real_.registerWindowClass(name); }
    void unregisterWindowClass(const char* name) override { real_.unregisterWindowClass(name); }
    bool changeScreenMode(int w, int h, int bits) override { return real_.changeScreenMode(w, h, bits); }
    void restoreScreenMode() override { real_.restoreScreenMode(); }
    void showCursor(bool shown) override { real_.showCursor(shown); }
    bool requestPixelFormat(const PixelFormatRequest& r) override { return real_.requestPixelFormat(r); }
    PlatformWindow* openWindow(const WindowSpec& spec) override { return real_.openWindow(spec); }
    void showWindow(PlatformWindow* w) override { real_.showWindow(w); }
    void closeWindow(PlatformWindow* w) override { real_.closeWindow(w); }
    PlatformContext* createGlContext(PlatformWindow* w) override { return real_.createGlContext(w); }
    bool makeCurrent(PlatformWindow* w, PlatformContext* c) override { return real_.makeCurrent(w, c); }
    void deleteGlContext(PlatformContext* c) override { real_.deleteGlContext(c); }
    void waitEvent() override { real_.waitEvent(); }
    void postQuit() override { real_.postQuit(); }
    uint32_t tickCount() override { return real_.tickCount(); }
    void setViewport(int w, int h) override { real_.setViewport(w, h); }
    void setPerspective(float fovy, float aspect, float zNear, float zFar) override {
        real_.setPerspective(fovy, aspect, zNear, zFar);
    }
    void setPolygonLines(bool lines) override { real_.setPolygonLines(lines); }
    std::unique_ptr<GlyphSource> openGlyphSource() override { return real_.openGlyphSource(); }

private:
    Platform& real_;
    std::deque<PlatformEvent> injected_;
    long frames_ = 0;
    int held_ = 0;  // key tapped for the frame being drawn, 0 for none
};
