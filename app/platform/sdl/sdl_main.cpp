#include <cstdio>
#include <memory>
#include <string>

#include "app/demo.h"
#include "app/platform/sdl/heap_tuning.h"
#include "app/platform/sdl/platform_sdl.h"

int main() {
    std::string error;
    const std::unique_ptr<Platform> platform = openSdlPlatform(error);
    if (!platform) {
        std::fprintf(stderr, "prallwerk: no display available (%s)\n", error.c_str());
        return 1;
    }
    keepFreedHeapForReuse();
    return runDemo(*platform);
}
