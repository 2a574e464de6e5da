#pragma once

#include <cstdint>

// The program's clock on Windows: milliseconds from the performance counter.
// GetTickCount moves in steps of the system timer (15.6 ms unless a program
// asks for finer), so at 60 frames a second every fifteenth frame would see
// 31 ms, and at 120 or more most frames 0 ms.

// count readings of a counter running at frequency per second, in whole
// milliseconds, wrapping at 2^32 as the system's tick count does. Exact for
// every count: whole seconds and the rest are scaled apart, so nothing
// overflows.
constexpr uint32_t countToMilliseconds(uint64_t count, uint64_t frequency) {
    return static_cast<uint32_t>((count / frequency) * 1000u + (count % frequency) * 1000u / frequency);
}

// Milliseconds since the system started, by the performance counter.
uint32_t performanceMilliseconds();
