#pragma once

namespace prallwerk {

// Both impact searches sample the predicted motion at hundredths of the time
// limit rather than solve for the touching instant. They share this sampler so
// that the sample times are the same bits in both.

// Samples k = 1..99 are searched; k reaching this ends the search.
constexpr int sampleCount = 100;

// Spacing of the samples and of the returned times: 0.01 in single precision.
constexpr double sampleFraction = static_cast<double>(0.01f);

// Time of sample k within limit: k * limit * 0.01, rounded once to single
// precision.
inline float sampleTime(int k, float limit) {
    return static_cast<float>(k * static_cast<double>(limit) * sampleFraction);
}

// The first k in 1..99 for which touchesAt(sampleTime(k, limit)) holds, or
// sampleCount when none does. The samples are tried in order and the search
// stops at the first touching one.
template <typename TouchesAt>
int firstTouchingSample(float limit, TouchesAt touchesAt) {
    int k = 1;
    while (k < sampleCount && !touchesAt(sampleTime(k, limit))) ++k;
    return k;
}

}  // namespace prallwerk
