#include "tools/soak/soak_program.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/logic/app_state.h"
#include "app/logic/control_state.h"
#include "app/program/demo.h"
#include "prallwerk/world/world.h"
#include "tools/scripted_platform.h"

using namespace prallwerk;

namespace {

using Clock = std::chrono::steady_clock;

SoakShared* shared = nullptr;
Clock::time_point frameStart;

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool worldIsFinite() {
    for (int i = 0; i < world->bodyCount; ++i) {
        const RigidBody& b = *world->bodies[i];
        if (!finite(b.position) || !finite(b.velocity) || !finite(b.spin) || !finite(b.angles) ||
            !finite(b.force) || !std::isfinite(b.floorHeight)) {
            return false;
        }
    }
    return true;
}

// The X window that the current GL context draws to; 0 while there is none.
// The program's windows on X draw through GLX, whose drawable is the window.
uint64_t currentXWindow() { return static_cast<uint64_t>(glXGetCurrentDrawable()); }

// The client size of the window the current GL context draws to, as X has
// it; false while there is none.
bool currentWindowSize(int& width, int& height) {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable window = glXGetCurrentDrawable();
    XWindowAttributes attributes{};
    if (display == nullptr || window == 0 || XGetWindowAttributes(display, window, &attributes) == 0) return false;
    width = attributes.width;
    height = attributes.height;
    return true;
}

// The real platform, plus the size messages that only a window manager
// would send, on the driver's command.
class SoakPlatform final : public ScriptedPlatform {
public:
    using ScriptedPlatform::ScriptedPlatform;

    bool peekEvent(PlatformEvent& event) override {
        const int command = shared->command.exchange(SoakShared::none);
        if (command != SoakShared::none) inject(sizeMessage(command));
        return ScriptedPlatform::peekEvent(event);
    }

    void swapBuffers(PlatformWindow* window) override {
        ScriptedPlatform::swapBuffers(window);
        const long frame = shared->frames.fetch_add(1) + 1;
        const long us = static_cast<long>(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - frameStart).count());
        if (us > shared->largestFrameUs.load()) {
            shared->largestFrameUs = us;
            shared->largestFrameAt = frame;
        }
        shared->window = currentXWindow();
        shared->simulationRunning = simulationRunning;
    }

private:
    static PlatformEvent sizeMessage(int command) {
        PlatformEvent event;
        event.kind = PlatformEvent::Kind::sizeChanged;
        event.sizeKind = command == SoakShared::minimise ? SizeKind::minimised : SizeKind::restored;
        currentWindowSize(event.x, event.y);
        if (command == SoakShared::zeroHeight) event.y = 0;
        return event;
    }
};

bool soakedInitGraphics(AppWindow& window, int* keys) {
    ++shared->generations;
    return demoFrames.initGraphics(window, keys);
}

void soakedUpdateFrame(uint32_t elapsedMilliseconds) {
    frameStart = Clock::now();
    demoFrames.updateFrame(elapsedMilliseconds);
    if (!worldIsFinite()) ++shared->nonFiniteFrames;
}

void soakedDrawFrame() {
    demoFrames.drawFrame();
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        if (shared->glErrors.fetch_add(1) == 0) shared->firstGlError = static_cast<int>(error);
    }
}

// A crash is what the soak is for: say where it happened before the
// process ends with the signal as it would have.
[[maybe_unused]] void onCrash(int signal) {
    void* frames[64];
    const int count = backtrace(frames, 64);
    const char header[] = "prallwerk-soak: the program crashed; its stack:\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, header, sizeof header - 1);
    backtrace_symbols_fd(frames, count, STDERR_FILENO);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

int runSoakedProgram(SoakShared& figures) {
    shared = &figures;
#ifndef __SANITIZE_ADDRESS__  // the sanitizer reports crashes better itself
    for (int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(crash, onCrash);
#endif
    // The program's own start-up, on the desktop's platform.
    return startProgram("prallwerk-soak", [](Platform& real) {
        SoakPlatform platform(real);
        return runDemo(platform, {}, {soakedInitGraphics, soakedUpdateFrame, soakedDrawFrame, demoFrames.shutdownGraphics});
    });
}
