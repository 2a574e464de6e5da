#pragma once

// What the stages of the engine's sine and cosine (math/trig.cpp and
// math/trig_exact.cpp) share. Not for use outside them.

#include <cstdint>
#include <cstring>

namespace prallwerk {

namespace trigStages {

__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;

inline constexpr uint64_t signBit = 0x8000000000000000ull;
inline constexpr uint64_t fractionMask = (1ull << 52) - 1;
// Below this (< pi/4) x is its own reduced angle.
inline constexpr double unreducedBelow = 0.78125;

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

inline int leadingZeros(uint64_t w) { return w == 0 ? 64 : __builtin_clzll(w); }

// 64 bits of 2/pi starting at bit position bit: bit i after the binary point
// (weight 2^-(i+1)) is position i + 64, and positions 0..63 are zeros.
uint64_t twoOverPiBits(int bit);

// Word i of pi/2 with one integer bit, most significant first (22 words,
// truncated).
uint64_t piOver2Word(int i);

// Magnitude of a result before rounding, its sign, and once decided its bits.
struct Result {
    bool negative = false;
    bool done = false;
    uint64_t bits = 0;  // magnitude, as a double's bits
};

struct Stage {
    Result sin, cos;
};

// Signs and roles of sin r and cos r for quadrant q and the sign of f:
// sin x = (sin r, cos r, -sin r, -cos r)[q], cos x = (cos r, -sin r, -cos r, sin r)[q],
// with sin r negated when f < 0.
struct Roles {
    bool swap;  // sin x takes cos r and cos x takes sin r
    bool sinNegative;
    bool cosNegative;
};

inline Roles rolesOf(unsigned q, bool fNegative) {
    if (q & 1) return {true, q == 3, (q == 1) != fNegative};
    return {false, (q == 2) != fNegative, q == 2};
}

// The exact stage for |x| = ax, 2^-27 <= ax < infinity: decides every result
// of stage not yet done.
void exactStages(double ax, Stage& stage);

}  // namespace trigStages

}  // namespace prallwerk
