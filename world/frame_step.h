#pragma once

#include <cstdint>

namespace prallwerk {

// How one frame of elapsed wall time becomes simulation steps: the frame's
// simulated time dt, split into count equal sub-steps of sub seconds, so that
// no step covers more than a tenth of a second.
struct FrameSteps {
    float dt = 0.0f;   // simulated seconds of the frame
    int count = 1;     // number of steps: 1 + floor(10 * dt)
    float sub = 0.0f;  // seconds per step: dt / count
};

// A frame of dt simulated seconds in steps: count = 1 - trunc(-10 * dt),
// sub = dt / count.
inline FrameSteps splitFrame(float dt) {
    FrameSteps f;
    f.dt = dt;
    f.count = 1 - static_cast<int>(static_cast<double>(f.dt) * -10.0);
    f.sub = static_cast<float>(static_cast<double>(f.dt) / f.count);
    return f;
}

// dt = elapsedMilliseconds * 0.001 / timeScale, rounded once to single
// precision, split as splitFrame does. A time scale above 1 is slow motion.
inline FrameSteps frameSteps(uint32_t elapsedMilliseconds, float timeScale) {
    return splitFrame(static_cast<float>(static_cast<double>(elapsedMilliseconds) * static_cast<double>(0.001f) /
                                         static_cast<double>(timeScale)));
}

}  // namespace prallwerk
