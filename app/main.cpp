#include <cstdio>
#include <memory>
#include <string>

#include "app/controls.h"
#include "app/gl_view.h"
#include "app/heap_tuning.h"
#include "app/main_loop.h"
#include "app/platform_sdl.h"
#include "app/renderer.h"

int main() {
    std::string error;
    const std::unique_ptr<Platform> platform = openSdlPlatform(error);
    if (!platform) {
        std::fprintf(stderr, "prallwerk: no display available (%s)\n", error.c_str());
        return 1;
    }
    keepFreedHeapForReuse();
    glView = openGlView;
    return runProgram(*platform, {initGraphics, updateFrame, drawFrame, shutdownGraphics});
}
