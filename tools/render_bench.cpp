// Measures the real program on the current display, through its own loop,
// controls and drawing, with the user replaced by injected messages.
//
//   prallwerk-render-bench [--frames N]
//       answers No, presses F8 (scene "2 von 4") and Space, lets the scene
//       fly for a warm-up, then times N frames (default 300) from one
//       presented frame to the next; then F3, R and Space and the same in
//       wireframe mode; then Escape. Prints the start-up time (answer to the
//       first frame presented), the time initGraphics takes, and per mode the
//       median, 10th and 90th percentile frame times.
//
//   prallwerk-render-bench --generations N
//       runs N window generations of a few frames each, ended by the
//       screen-mode toggle, then Escape: a run for leak checkers.
//
//   prallwerk-render-bench --idle SECONDS
//       frames per second and CPU use of the loop for SECONDS with the
//       starting bodies at rest, then SECONDS with them running (Space).
//
// For example: xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/prallwerk-render-bench
// The Windows build runs the same on the Win32 layer (under Wine, for
// example, wine build-windows/tools/prallwerk-render-bench.exe), where the
// idle run reports no CPU use.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/program/demo.h"
#include "app/seam/virtual_keys.h"
#include "tools/host/host.h"
#include "tools/scripted_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long warmUpFrames = 30;      // after Space: the first frames compile the driver's shaders
constexpr long framesPerGeneration = 3;

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double initMilliseconds = 0.0;

bool timedInitGraphics(AppWindow& window, int* keys) {
    const Clock::time_point start = Clock::now();
    const bool ok = demoFrames.initGraphics(window, keys);
    initMilliseconds = millisecondsBetween(start, Clock::now());
    return ok;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[i];
}

void report(const char* mode, const std::vector<double>& frameTimes) {
    const double median = percentile(frameTimes, 0.5);
    std::printf("frame time, wireframe %-3s: median %.2f ms (%.0f fps), 10%% %.2f ms, 90%% %.2f ms over %zu frames\n",
                mode, median, 1000.0 / median, percentile(frameTimes, 0.1), percentile(frameTimes, 0.9),
                frameTimes.size());
}

// The steps of the frame-time run, in order: a key to tap, or (key 0)
// frames to time in the named wireframe mode.
struct Step {
    int key;
    const char* mode;
};

const Step frameTimeSteps[] = {
    {vkF8, nullptr}, {vkSpace, nullptr}, {0, "off"},
    {vkF3, nullptr}, {vkR, nullptr},     {vkSpace, nullptr}, {0, "on"},
    {vkEscape, nullptr},
};

int measureFrameTimes(ScriptedPlatform& platform, long frames) {
    // The start question is answered at once: the run starts with the answer.
    const Clock::time_point answered = Clock::now();
    Clock::time_point previous;
    std::size_t step = 0;
    long lastTap = 0;
    long warmUp = 0;
    std::vector<double> times;
    platform.afterFrame = [&](long frame) {
        const Clock::time_point now = Clock::now();
        if (frame == 1) {
            std::printf("startup %.1f ms from the answer to the first frame presented; initGraphics %.1f ms\n",
                        millisecondsBetween(answered, now), initMilliseconds);
        }
        const Clock::time_point last = previous;
        previous = now;
        if (step >= std::size(frameTimeSteps) || platform.keyHeld() || frame <= lastTap + 1) return;
        const Step& s = frameTimeSteps[step];
        if (s.key != 0) {
            platform.tap(s.key);
            lastTap = frame;
            ++step;
            return;
        }
        if (warmUp < warmUpFrames) {
            ++warmUp;
            return;
        }
        times.push_back(millisecondsBetween(last, now));
        if (static_cast<long>(times.size()) == frames) {
            report(s.mode, times);
            times.clear();
            warmUp = 0;
            ++step;
        }
    };
    FrameHooks timed = demoFrames;
    timed.initGraphics = timedInitGraphics;
    return runDemo(platform, {}, timed);
}

int runGenerations(ScriptedPlatform& platform, long generations) {
    long generation = 0;
    long framesInGeneration = 0;
    long total = 0;
    platform.afterFrame = [&](long) {
        ++total;
        if (++framesInGeneration != framesPerGeneration) return;
        framesInGeneration = 0;
        if (++generation < generations) {
            platform.inject(PlatformEvent::Kind::toggleScreenMode);
        } else {
            platform.tap(vkEscape);
        }
    };
    const int status = runDemo(platform);
    std::printf("%ld window generations, %ld frames, exit status %d\n", generation, total, status);
    return status;
}

int measureIdle(ScriptedPlatform& platform, long seconds) {
    const char* const phases[] = {"at rest", "running"};
    int phase = -1;  // before the first frame
    long frames = 0;
    Clock::time_point start;
    double cpuStart = 0.0;
    auto begin = [&] {
        ++phase;
        frames = 0;
        start = Clock::now();
        cpuStart = processCpuSeconds();
    };
    platform.afterFrame = [&](long) {
        if (phase < 0) {
            begin();
            return;
        }
        ++frames;
        const double wall = millisecondsBetween(start, Clock::now()) / 1000.0;
        if (phase >= 2 || wall < static_cast<double>(seconds)) return;
        std::printf("%-8s %6ld frames in %.2f s = %7.1f fps", phases[phase], frames, wall,
                    static_cast<double>(frames) / wall);
        if (cpuStart >= 0.0) std::printf(", CPU %5.1f %% of one core", 100.0 * (processCpuSeconds() - cpuStart) / wall);
        std::printf("\n");
        if (phase == 0) {
            platform.tap(vkSpace);
            begin();
        } else {
            platform.tap(vkEscape);
            phase = 2;
        }
    };
    return runDemo(platform);
}

bool parseCount(const char* text, long& value) {
    char* end = nullptr;
    const long v = text != nullptr ? std::strtol(text, &end, 10) : 0;
    if (text == nullptr || *text == '\0' || *end != '\0' || v < 1 || v > 100000) return false;
    value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 300;
    long generations = 0;
    long idleSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        long* count = std::strcmp(argv[i], "--frames") == 0        ? &frames
                      : std::strcmp(argv[i], "--generations") == 0 ? &generations
                      : std::strcmp(argv[i], "--idle") == 0        ? &idleSeconds
                                                                   : nullptr;
        if (count == nullptr || !parseCount(i + 1 < argc ? argv[i + 1] : nullptr, *count)) {
            std::fprintf(stderr, "usage: prallwerk-render-bench [--frames N | --generations N | --idle SECONDS]\n");
            return 2;
        }
        ++i;
    }
    // The program's own start-up on the build's platform (SDL on Linux, Win32
    // on Windows), with the user replaced.
    return startProgram("prallwerk-render-bench", [&](Platform& real) {
        ScriptedPlatform platform(real);
        if (generations > 0) return runGenerations(platform, generations);
        if (idleSeconds > 0) return measureIdle(platform, idleSeconds);
        return measureFrameTimes(platform, frames);
    });
}
