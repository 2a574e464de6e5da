#pragma once

#include <atomic>
#include <cstdint>

// What the soaked program and its driver share: a page mapped into both
// processes before the fork. The program writes its figures; the driver
// writes commands for the few things X cannot do to a window without a
// window manager (minimise, restore, a client area 0 pixels high).
struct SoakShared {
    enum Command : int { none = 0, minimise, restore, zeroHeight };

    // Written by the program.
    std::atomic<long> frames{0};            // frames presented
    std::atomic<long> nonFiniteFrames{0};   // frames after which some body held a NaN or an infinity
    std::atomic<long> glErrors{0};          // glGetError results other than GL_NO_ERROR
    std::atomic<int> firstGlError{0};
    std::atomic<long> largestFrameUs{0};    // update, draw and swap of one frame
    std::atomic<long> largestFrameAt{0};    // the frame number of that frame
    std::atomic<uint64_t> window{0};        // X id of the program's current window
    std::atomic<int> simulationRunning{0};
    std::atomic<int> generations{0};        // windows created so far

    // Written by the driver, taken (set back to none) by the program.
    std::atomic<int> command{none};
};

// An anonymous page shared with the child processes forked after this call;
// null when it cannot be mapped.
SoakShared* mapSoakShared();
