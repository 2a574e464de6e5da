#pragma once

// What the stages of the engine's sine and cosine (math/trig.cpp and
// math/trig_exact.cpp) share. Not for use outside them.

#include <cstdint>

#include "prallwerk/math/bits.h"

namespace prallwerk {

namespace trigStages {

__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;

inline constexpr uint64_t signBit = 0x8000000000000000ull;
inline constexpr uint64_t fractionMask = (1ull << 52) - 1;
// Below this (< pi/4) x is its own reduced angle.
inline constexpr double unreducedBelow = 0.78125;

inline int leadingZeros(uint64_t w) { return w == 0 ? 64 : __builtin_clzll(w); }

inline u128 make128(uint64_t hi, uint64_t lo) { return static_cast<u128>(hi) << 64 | lo; }

// a * b in full, from four 32 x 32-bit products.
inline u128 mulWideByHalves(uint64_t a, uint64_t b) {
    const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // The middle column: at most 3 (2^32 - 1), no overflow.
    const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    return make128(p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), middle << 32 | (p00 & 0xffffffffu));
}

// a * b in full. WebAssembly has no 64 x 64 -> 128-bit multiplication, and a
// 128-bit product there is a call into the compiler's run-time library that
// multiplies all 128 by 128 bits: the halves in line are several times faster.
// Elsewhere the processor's own instruction. The same bits either way.
[[gnu::always_inline]] inline u128 mulWide(uint64_t a, uint64_t b) {
#if defined(__wasm__)
    return mulWideByHalves(a, b);
#else
    return static_cast<u128>(a) * b;
#endif
}

// a * b in full for signed factors. On WebAssembly the unsigned product of
// their two's complements, less 2^64 times each factor whose partner is
// negative; elsewhere the processor's signed multiplication.
[[gnu::always_inline]] inline i128 mulWideSigned(int64_t a, int64_t b) {
#if defined(__wasm__)
    u128 p = mulWide(static_cast<uint64_t>(a), static_cast<uint64_t>(b));
    if (a < 0) p -= make128(static_cast<uint64_t>(b), 0);
    if (b < 0) p -= make128(static_cast<uint64_t>(a), 0);
    return static_cast<i128>(p);
#else
    return static_cast<i128>(a) * b;
#endif
}

// k * v modulo 2^128.
[[gnu::always_inline]] inline u128 mulLow128(uint64_t k, u128 v) {
#if defined(__wasm__)
    return make128(k * static_cast<uint64_t>(v >> 64), 0) + mulWide(k, static_cast<uint64_t>(v));
#else
    return k * v;
#endif
}

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
