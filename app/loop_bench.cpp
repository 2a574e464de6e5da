// Measures the real program loop on the current display: the time from the
// answer to the start question to the first frame presented, then frames per
// second and CPU use with the scene at rest and with the simulation running.
//
//   prallwerk-loop-bench [seconds per phase, default 3]
//
// It answers No itself and presses Space and Escape by injected messages, so
// it needs no input; everything else is the program's own path.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>

#include "app/controls.h"
#include "app/gl_view.h"
#include "app/heap_tuning.h"
#include "app/main_loop.h"
#include "app/platform_sdl.h"
#include "app/renderer.h"
#include "app/virtual_keys.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Frames and CPU time of one phase.
struct Phase {
    const char* name;
    int frames = 0;
    Clock::time_point start{};
    double cpuStart = 0.0;

    explicit Phase(const char* name_) : name(name_) {}

    void begin() {
        frames = 0;
        start = Clock::now();
        cpuStart = cpuSeconds();
    }
    void report() const {
        const double wall = secondsBetween(start, Clock::now());
        std::printf("%-8s %6d frames in %.2f s = %7.1f fps, CPU %5.1f %% of one core\n", name, frames, wall,
                    frames / wall, 100.0 * (cpuSeconds() - cpuStart) / wall);
    }
};

// The SDL platform with the user replaced: answers the question at once,
// counts presented frames and queues the keys of each phase.
class BenchPlatform final : public Platform {
public:
    BenchPlatform(Platform& real, double phaseSeconds) : real_(real), phaseSeconds_(phaseSeconds) {}

    Answer askQuestion(const char*, const char*) override {
        answered_ = Clock::now();
        return Answer::no;
    }

    void swapBuffers(PlatformWindow* window) override {
        real_.swapBuffers(window);
        releaseKey();
        if (phase_ == 0) {
            std::printf("startup  %.1f ms from the answer to the first frame presented\n",
                        1000.0 * secondsBetween(answered_, Clock::now()));
            phase_ = 1;
            phases_[0].begin();
            return;
        }
        Phase& current = phases_[phase_ - 1];
        ++current.frames;
        if (secondsBetween(current.start, Clock::now()) < phaseSeconds_) return;
        current.report();
        if (phase_ == 1) {
            tap(vkSpace);
            phase_ = 2;
            phases_[1].begin();
        } else {
            tap(vkEscape);
            phase_ = 3;
        }
    }

    bool peekEvent(PlatformEvent& event) override {
        if (!injected_.empty()) {
            event = injected_.front();
            injected_.pop_front();
            return true;
        }
        return real_.peekEvent(event);
    }

    bool registerWindowClass(const char* name) override { return real_.registerWindowClass(name); }
    void unregisterWindowClass(const char* name) override { real_.unregisterWindowClass(name); }
    void showWarning(const char* title, const char* text) override { real_.showWarning(title, text); }
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

private:
    // The key goes down before the next frame and up after it: the controls
    // poll the keys once per frame.
    void tap(int key) {
        PlatformEvent down;
        down.kind = PlatformEvent::Kind::keyDown;
        down.code = key;
        injected_.push_back(down);
        pressed_ = key;
    }

    Platform& real_;
    double phaseSeconds_;
    Clock::time_point answered_;
    int phase_ = 0;  // 0 before the first frame, 1 at rest, 2 running, 3 ending
    Phase phases_[2] = {Phase("at rest"), Phase("running")};
    std::deque<PlatformEvent> injected_;
    int pressed_ = 0;  // key tapped before the frame just presented, 0 for none

    void releaseKey() {
        if (pressed_ == 0) return;
        PlatformEvent up;
        up.kind = PlatformEvent::Kind::keyUp;
        up.code = pressed_;
        injected_.push_back(up);
        pressed_ = 0;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const double phaseSeconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::string error;
    const std::unique_ptr<Platform> sdl = openSdlPlatform(error);
    if (!sdl) {
        std::fprintf(stderr, "prallwerk-loop-bench: no display available (%s)\n", error.c_str());
        return 1;
    }
    BenchPlatform platform(*sdl, phaseSeconds);
    keepFreedHeapForReuse();
    glView = openGlView;
    return runProgram(platform, {initGraphics, updateFrame, drawFrame, shutdownGraphics});
}
