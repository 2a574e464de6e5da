#include "app/platform/win32/win32_ticks.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

uint32_t performanceMilliseconds() {
    // The frequency is fixed at boot; every Windows since XP has the counter.
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return countToMilliseconds(static_cast<uint64_t>(count.QuadPart), frequency);
}
