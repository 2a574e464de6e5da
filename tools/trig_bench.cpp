// prallwerk-trig-bench: the engine's sine and cosine against the C library's,
// on the angles the prepared scenes turn their boxes to. Prints a table for
// people, then one line per figure, "name value unit", for scripts.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "prallwerk/world/frame_step.h"
#include "prallwerk/math/trig.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double gravityZ = defaultGravity.z;
constexpr uint32_t frameMs = 16;
constexpr long frames = 60000 / frameMs;
constexpr int runs = 41;

// Every non-zero angle of every box after every sub-step of 60 simulated
// seconds of each scene: the arguments the engine turns boxes by (a zero
// angle is skipped without a call).
std::vector<double> sceneAngles() {
    std::vector<double> angles;
    buildSceneTable();
    for (int scene = -1; scene < sceneCount; ++scene) {
        GravityWorld world(0.0, 0.0, gravityZ);
        if (scene >= 0) loadScene(world, scene);
        const FrameSteps steps = frameSteps(frameMs, 1.0f);
        for (long f = 0; f < frames; ++f) {
            for (int s = 0; s < steps.count; ++s) {
                world.step(steps.sub);
                for (int i = 0; i < world.bodyCount; ++i) {
                    const RigidBody& b = *world.bodies[i];
                    if (b.kind != kindBox) continue;
                    for (double a : {b.angles.x, b.angles.y, b.angles.z}) {
                        if (a != 0.0) angles.push_back(a);
                    }
                }
            }
        }
    }
    return angles;
}

// The fastest pass: other work on the machine only ever adds time.
double fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// Nanoseconds per argument of one pass of f over the arguments; the sum keeps
// the compiler from dropping the work.
template <typename F>
double nanosecondsPerPair(const std::vector<double>& args, F f, double& sink) {
    const auto start = Clock::now();
    double sum = 0.0;
    for (double x : args) sum += f(x);
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    sink += sum;
    return ns / static_cast<double>(args.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::puts(
            "Usage: prallwerk-trig-bench\n"
            "\n"
            "Records the angles the prepared scenes turn their boxes to (60 simulated\n"
            "seconds each at 16 ms frames), then times the engine's sinCos against the C\n"
            "library's sin and cos over them, in alternating passes (fastest of 41).");
        return std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ? 0 : 2;
    }
    const std::vector<double> args = sceneAngles();
    long notQuick = 0, exact = 0;
    for (double x : args) {
        SinCos r;
        if (!trig::quickSinCos(x, r)) ++notQuick;
        if (!trig::fixedSinCos(x, r)) ++exact;
    }
    double sink = 0.0;
    std::vector<double> own, fast, library;
    for (int r = 0; r < runs; ++r) {
        own.push_back(nanosecondsPerPair(args, [](double x) { const SinCos p = sinCos(x); return p.sin + p.cos; }, sink));
        fast.push_back(nanosecondsPerPair(
            args, [](double x) { SinCos p; trig::quickSinCos(x, p); return p.sin + p.cos; }, sink));
        library.push_back(nanosecondsPerPair(args, [](double x) { return std::sin(x) + std::cos(x); }, sink));
    }
    const double ownNs = fastest(own), fastNs = fastest(fast), libraryNs = fastest(library);
    std::printf("%-60s %12ld\n", "angles recorded from the scenes", static_cast<long>(args.size()));
    std::printf("%-60s %12ld\n", "of them not decided by the quick stage", notQuick);
    std::printf("%-60s %12ld\n", "of them needing the exact stage", exact);
    std::printf("%-60s %12.1f ns\n", "sinCos per angle", ownNs);
    std::printf("%-60s %12.1f ns\n", "quick stage alone per angle", fastNs);
    std::printf("%-60s %12.1f ns\n", "C library sin + cos per angle", libraryNs);
    std::printf("%-60s %12.2f\n", "sinCos / C library", ownNs / libraryNs);
    std::printf("\n");
    std::printf("trig.angles %ld count\n", static_cast<long>(args.size()));
    std::printf("trig.not_quick %ld count\n", notQuick);
    std::printf("trig.exact %ld count\n", exact);
    std::printf("trig.sincos_ns %.2f ns\n", ownNs);
    std::printf("trig.quick_stage_ns %.2f ns\n", fastNs);
    std::printf("trig.libm_sin_cos_ns %.2f ns\n", libraryNs);
    std::printf("trig.ratio %.3f x\n", ownNs / libraryNs);
    return sink == 12345.0 ? 1 : 0;
}
