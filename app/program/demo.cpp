#include "app/program/demo.h"

#include <cstdio>
#include <memory>

#include "app/logic/controls.h"
#include "app/render/renderer.h"
#include "app/seam/open_platform.h"

const FrameHooks demoFrames = {initGraphics, updateFrame, drawFrame, shutdownGraphics};

int runDemo(Platform& platform, const std::vector<std::string>& arguments, const FrameHooks& frames) {
    return runProgram(platform, frames, arguments);
}

namespace {

// Exit code of a start without a platform.
constexpr int noPlatformExitCode = 1;

std::unique_ptr<Platform> openPlatformOrSay(const char* name) {
    std::string error;
    std::unique_ptr<Platform> platform = openPlatform(error);
    if (!platform) std::fprintf(stderr, "%s: no display available (%s)\n", name, error.c_str());
    return platform;
}

}  // namespace

// No call through a function object on the way to the loop: the page's build
// lets the loop wait for the browser only in functions it names
// (app/platform/web/asyncify_only.txt), and an indirect call would have to be
// named there by its compiler-made name.
int startProgram(const std::vector<std::string>& arguments) {
    const std::unique_ptr<Platform> platform = openPlatformOrSay("prallwerk");
    return platform ? runDemo(*platform, arguments) : noPlatformExitCode;
}

int startProgram(const char* name, const std::function<int(Platform& platform)>& run) {
    const std::unique_ptr<Platform> platform = openPlatformOrSay(name);
    return platform ? run(*platform) : noPlatformExitCode;
}
