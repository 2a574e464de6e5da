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

int startProgram(const char* name, const std::function<int(Platform& platform)>& run) {
    std::string error;
    const std::unique_ptr<Platform> platform = openPlatform(error);
    if (!platform) {
        std::fprintf(stderr, "%s: no display available (%s)\n", name, error.c_str());
        return 1;
    }
    return run(*platform);
}
