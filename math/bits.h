#pragma once

#include <cstdint>
#include <cstring>

#include "prallwerk/math/vec3.h"

namespace prallwerk {

// The exact bits of floating-point values. The engine's memos are keyed by
// them and its rest rule compares by them: -0 differs from +0 and a NaN equals
// itself, where == would say otherwise.

inline uint64_t bitsOf(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

inline double fromBits(uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

inline bool sameBits(double a, double b) { return bitsOf(a) == bitsOf(b); }

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool sameBits(const Vec3& a, const Vec3& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

}  // namespace prallwerk
