// How finely the Windows program's clock tells frames apart: paces FRAMES
// frames at HZ a second by the performance counter, as a display's refresh
// paces the program's buffer swaps (a frame that misses its refresh waits
// for the next), and prints how many frames saw each elapsed time: paced
// (the counter's own interval, in whole ms), by the program's clock and by
// GetTickCount. The program's column should follow the paced one within a
// millisecond; a busy machine widens both.
//
//   tick_histogram_win32 [FRAMES [HZ]]     600 frames at 60 Hz unless told

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/platform/win32/win32_ticks.h"

namespace {

int64_t counter() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 600;
    const int hz = argc > 2 ? std::atoi(argv[2]) : 60;
    if (frames < 1 || hz < 1 || argc > 3) {
        std::fprintf(stderr, "usage: tick_histogram_win32 [FRAMES [HZ]]\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::map<uint32_t, int> paced, program, tickCount;  // elapsed ms -> frames
    int programOff = 0, tickCountOff = 0;  // frames more than a millisecond off the paced interval
    int disturbed = 0;                     // frames whose clocks were read too far apart to compare
    bool lastDisturbed = false;

    const int64_t start = counter();
    int64_t last = start;
    int64_t refresh = 0;
    uint32_t lastProgram = performanceMilliseconds();
    DWORD lastTickCount = GetTickCount();
    for (int frame = 1; frame <= frames; ++frame) {
        int64_t due = 0;
        do {
            due = start + frequency.QuadPart * ++refresh / hz;
        } while (due <= counter());
        // Sleep while more than two milliseconds are left, then spin.
        while (due - counter() > frequency.QuadPart / 500) Sleep(1);
        while (counter() < due) {
        }
        const int64_t now = counter();
        const uint32_t programNow = performanceMilliseconds();
        const DWORD ticks = GetTickCount();
        // A busy machine may take the processor away between the reads.
        const bool readApart = counter() - now > frequency.QuadPart / 2000;
        // Two whole-millisecond clocks differ from the whole milliseconds of
        // the interval by 0 or 1.
        const auto interval = static_cast<uint32_t>((now - last) * 1000 / frequency.QuadPart);
        ++paced[interval];
        ++program[programNow - lastProgram];
        ++tickCount[ticks - lastTickCount];
        if (readApart || lastDisturbed) {
            ++disturbed;
        } else {
            programOff += std::abs(static_cast<int>(programNow - lastProgram) - static_cast<int>(interval)) > 1;
            tickCountOff += std::abs(static_cast<int>(ticks - lastTickCount) - static_cast<int>(interval)) > 1;
        }
        lastDisturbed = readApart;
        last = now;
        lastProgram = programNow;
        lastTickCount = ticks;
    }

    std::printf("%d frames at %d Hz (performance counter at %lld Hz)\n", frames, hz,
                static_cast<long long>(frequency.QuadPart));
    std::printf("%10s %8s %8s %13s\n", "elapsed ms", "paced", "program", "GetTickCount");
    std::map<uint32_t, int> rows = paced;
    for (const auto& row : program) rows[row.first];
    for (const auto& row : tickCount) rows[row.first];
    for (const auto& row : rows) {
        std::printf("%10u %8d %8d %13d\n", row.first, paced[row.first], program[row.first], tickCount[row.first]);
    }
    std::printf("frames more than 1 ms off the paced interval: program %d, GetTickCount %d (of %d; %d read apart)\n",
                programOff, tickCountOff, frames - disturbed, disturbed);
    return 0;
}
