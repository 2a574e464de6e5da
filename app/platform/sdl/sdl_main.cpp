#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/program/demo.h"
#include "app/platform/sdl/heap_tuning.h"
#include "app/platform/sdl/platform_sdl.h"

// The arguments are taken as given: Linux's file names are bytes, UTF-8 on
// any system set up in this century.
int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const std::unique_ptr<Platform> platform = openSdlPlatform(error);
    if (!platform) {
        std::fprintf(stderr, "prallwerk: no display available (%s)\n", error.c_str());
        return 1;
    }
    keepFreedHeapForReuse();
    return runDemo(*platform, arguments);
}
