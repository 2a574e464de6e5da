#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/seam/platform.h"

// What the window logic and the controls did to the view.
struct ViewRecord {
    int viewportWidth = -1, viewportHeight = -1;
    int perspectives = 0;
    float fovy = 0, aspect = 0, zNear = 0, zFar = 0;
    std::vector<bool> polygonLines;  // every change of the polygon mode: true for outlines
};

// A face without glyphs.
class NoGlyphs final : public GlyphSource {
public:
    GlyphOutline loadGlyph(char32_t, double) const override { return {}; }
};

// A scripted stand-in for the windowing system: answers and failures are set
// beforehand, messages are queued by the test (also from callbacks at each
// frame or wait), and every call that changes something is logged in order.
class FakePlatform : public Platform {
public:
    Answer answer = Answer::no;
    bool boxesFail = false;  // no message box can be shown; the failure says why
    std::string boxFailure = "no core fonts on the display";
    bool registerSucceeds = true;
    bool modeSwitchSucceeds = true;
    bool resumeSucceeds = true;  // the display takes the full-screen mode back
    bool pixelFormatSucceeds = true;
    bool openSucceeds = true;
    bool contextSucceeds = true;
    bool makeCurrentSucceeds = true;

    std::vector<std::string> log;
    ViewRecord view;
    int glyphSourcesOpened = 0;
    std::vector<WindowSpec> openedWindows;
    std::deque<PlatformEvent> queue;
    uint32_t ticks = 0;
    int frames = 0;
    int waits = 0;
    std::function<void(FakePlatform&)> afterFrame;  // after each swap, with frames counted
    std::function<void(FakePlatform&)> onWait;      // must queue a message

    // A loop that never ends fails the test instead of hanging it.
    static constexpr int frameLimit = 10000;

    void push(PlatformEvent::Kind kind) {
        PlatformEvent e;
        e.kind = kind;
        queue.push_back(e);
    }

    BoxResult askQuestion(const char* title, const char* text) override {
        log.push_back(std::string("question:") + title + "|" + text);
        BoxResult result = box();
        if (result.shown) result.answer = answer;
        return result;
    }
    BoxResult showWarning(const char* title, const char* text) override {
        log.push_back(std::string("warning:") + title + "|" + text);
        return box();
    }
    bool registerWindowClass(const char* className) override {
        log.push_back(std::string("register:") + className);
        return registerSucceeds;
    }
    void unregisterWindowClass(const char* className) override {
        log.push_back(std::string("unregister:") + className);
    }
    bool changeScreenMode(int width, int height, int bits) override {
        log.push_back("mode:" + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits));
        return modeSwitchSucceeds;
    }
    void restoreScreenMode() override { log.push_back("restoreMode"); }
    void suspendFullscreen(PlatformWindow*) override { log.push_back("suspend"); }
    bool resumeFullscreen(PlatformWindow*) override {
        log.push_back("resume");
        return resumeSucceeds;
    }
    void showCursor(bool shown) override { log.push_back(shown ? "cursor:on" : "cursor:off"); }
    bool requestPixelFormat(const PixelFormatRequest& r) override {
        log.push_back("pixelFormat:" + std::to_string(r.colourBits) + "/" + std::to_string(r.depthBits) +
                      (r.doubleBuffered ? "/double" : "/single"));
        return pixelFormatSucceeds;
    }
    PlatformWindow* openWindow(const WindowSpec& spec) override {
        log.push_back("open");
        openedWindows.push_back(spec);
        return openSucceeds ? reinterpret_cast<PlatformWindow*>(&windowToken) : nullptr;
    }
    void showWindow(PlatformWindow*) override { log.push_back("show"); }
    void closeWindow(PlatformWindow*) override { log.push_back("close"); }
    PlatformContext* createGlContext(PlatformWindow*) override {
        log.push_back("context");
        return contextSucceeds ? reinterpret_cast<PlatformContext*>(&contextToken) : nullptr;
    }
    bool makeCurrent(PlatformWindow* window, PlatformContext* context) override {
        log.push_back(window == nullptr && context == nullptr ? "current:none" : "current");
        return makeCurrentSucceeds;
    }
    void deleteGlContext(PlatformContext*) override { log.push_back("deleteContext"); }
    void swapBuffers(PlatformWindow*) override {
        ++frames;
        if (afterFrame) afterFrame(*this);
        if (frames >= frameLimit) {
            log.push_back("frame limit reached");
            push(PlatformEvent::Kind::close);
        }
    }
    bool peekEvent(PlatformEvent& event) override {
        if (queue.empty()) return false;
        event = queue.front();
        queue.pop_front();
        return true;
    }
    void waitEvent() override {
        ++waits;
        if (queue.empty() && onWait) onWait(*this);
        if (queue.empty()) {
            log.push_back("wait with nothing to come");
            push(PlatformEvent::Kind::close);
        }
    }
    void postQuit() override {
        log.push_back("postQuit");
        push(PlatformEvent::Kind::quit);
    }
    uint32_t tickCount() override { return ticks; }

    void setViewport(int width, int height) override {
        view.viewportWidth = width;
        view.viewportHeight = height;
    }
    void setPerspective(float fovy, float aspect, float zNear, float zFar) override {
        ++view.perspectives;
        view.fovy = fovy;
        view.aspect = aspect;
        view.zNear = zNear;
        view.zFar = zFar;
    }
    void setPolygonLines(bool lines) override { view.polygonLines.push_back(lines); }
    std::unique_ptr<GlyphSource> openGlyphSource() override {
        ++glyphSourcesOpened;
        return std::make_unique<NoGlyphs>();
    }

private:
    BoxResult box() const {
        BoxResult result;
        if (boxesFail) {
            result.shown = false;
            result.failure = boxFailure;
        }
        return result;
    }

    int windowToken = 0;
    int contextToken = 0;
};
