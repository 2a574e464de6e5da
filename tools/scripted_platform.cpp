#include "tools/scripted_platform.h"

#include <cstdio>

void ScriptedPlatform::tap(int key) {
    PlatformEvent down;
    down.kind = PlatformEvent::Kind::keyDown;
    down.code = key;
    injected_.push_back(down);
    held_ = key;
}

void ScriptedPlatform::inject(PlatformEvent::Kind kind) {
    PlatformEvent event;
    event.kind = kind;
    injected_.push_back(event);
}

void ScriptedPlatform::inject(const PlatformEvent& event) { injected_.push_back(event); }

BoxResult ScriptedPlatform::showWarning(const char* title, const char* text) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    return {};
}

void ScriptedPlatform::swapBuffers(PlatformWindow* window) {
    real_.swapBuffers(window);
    if (held_ != 0) {
        PlatformEvent up;
        up.kind = PlatformEvent::Kind::keyUp;
        up.code = held_;
        injected_.push_back(up);
        held_ = 0;
    }
    ++frames_;
    if (afterFrame) afterFrame(frames_);
}

bool ScriptedPlatform::peekEvent(PlatformEvent& event) {
    if (!injected_.empty()) {
        event = injected_.front();
        injected_.pop_front();
        return true;
    }
    return real_.peekEvent(event);
}
