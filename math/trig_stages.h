#pragma once

// What the stages of the engine's sine and cosine (math/trig.cpp and
// math/trig_exact.cpp) share. Not for use outside them.

#include <cstdint>
#include <type_traits>

#include "prallwerk/math/bits.h"

namespace prallwerk {

namespace trigStages {

// 128-bit integers as two 64-bit words, modulo 2^128, for compilers that have
// no __int128 (32-bit targets, MSVC): the operations the stages use, with the
// bits of the compiler's own 128-bit arithmetic. Defined everywhere, so that
// the tests can hold it against __int128 where that exists.
struct Wide128 {
    uint64_t hi = 0, lo = 0;

    constexpr Wide128() = default;
    // From any integer, sign-extended as a conversion to __int128 is.
    template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    constexpr Wide128(T v) : lo(static_cast<uint64_t>(v)) {
        if constexpr (std::is_signed_v<T>) hi = v < 0 ? ~0ull : 0;
    }
    static constexpr Wide128 of(uint64_t high, uint64_t low) {
        Wide128 w;
        w.hi = high;
        w.lo = low;
        return w;
    }
    // To a narrower integer: the low bits, as a conversion of __int128 gives.
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    explicit constexpr operator T() const {
        return static_cast<T>(lo);
    }

    friend constexpr Wide128 operator+(Wide128 a, Wide128 b) {
        const uint64_t low = a.lo + b.lo;
        return of(a.hi + b.hi + (low < a.lo ? 1 : 0), low);
    }
    friend constexpr Wide128 operator-(Wide128 a, Wide128 b) {
        return of(a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo);
    }
    friend constexpr Wide128 operator-(Wide128 a) { return Wide128{} - a; }
    // Modulo 2^128: the low words' full product and the cross terms' low words.
    friend constexpr Wide128 operator*(Wide128 a, Wide128 b) {
        const uint64_t a0 = a.lo & 0xffffffffu, a1 = a.lo >> 32, b0 = b.lo & 0xffffffffu, b1 = b.lo >> 32;
        const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
        const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
        const uint64_t high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
        return of(high + a.hi * b.lo + a.lo * b.hi, middle << 32 | (p00 & 0xffffffffu));
    }
    // Shifts by 0 to 127 bits, as for __int128.
    friend constexpr Wide128 operator<<(Wide128 a, int s) {
        if (s == 0) return a;
        if (s < 64) return of(a.hi << s | a.lo >> (64 - s), a.lo << s);
        return of(a.lo << (s - 64), 0);
    }
    friend constexpr Wide128 operator>>(Wide128 a, int s) {
        if (s == 0) return a;
        if (s < 64) return of(a.hi >> s, a.lo >> s | a.hi << (64 - s));
        return of(0, a.hi >> (s - 64));
    }
    friend constexpr Wide128 operator|(Wide128 a, Wide128 b) { return of(a.hi | b.hi, a.lo | b.lo); }
    friend constexpr Wide128 operator&(Wide128 a, Wide128 b) { return of(a.hi & b.hi, a.lo & b.lo); }
    friend constexpr bool operator==(Wide128 a, Wide128 b) { return a.hi == b.hi && a.lo == b.lo; }
    friend constexpr bool operator!=(Wide128 a, Wide128 b) { return !(a == b); }
    friend constexpr bool operator<(Wide128 a, Wide128 b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
    friend constexpr bool operator>(Wide128 a, Wide128 b) { return b < a; }
    friend constexpr bool operator<=(Wide128 a, Wide128 b) { return !(b < a); }
    friend constexpr bool operator>=(Wide128 a, Wide128 b) { return !(a < b); }
    // Quotient and remainder. The exact stage divides by small numbers, the
    // products (n + 1)(n + 2) of its series: below 2^32 by 32-bit digits, each
    // step 64 bits by 32 with the remainder below the divisor; else bit by bit.
    static constexpr void divide(Wide128 a, Wide128 d, Wide128& quotient, Wide128& rest) {
        if (d.hi == 0 && d.lo != 0 && d.lo >> 32 == 0) {
            const uint64_t digits[4] = {a.hi >> 32, a.hi & 0xffffffffu, a.lo >> 32, a.lo & 0xffffffffu};
            uint64_t q[4] = {}, r = 0;
            for (int k = 0; k < 4; ++k) {
                const uint64_t current = r << 32 | digits[k];
                q[k] = current / d.lo;
                r = current % d.lo;
            }
            quotient = of(q[0] << 32 | q[1], q[2] << 32 | q[3]);
            rest = Wide128(r);
            return;
        }
        quotient = Wide128{};
        rest = Wide128{};
        for (int bit = 127; bit >= 0; --bit) {
            rest = rest << 1 | ((a >> bit).lo & 1);
            if (rest >= d) {
                rest = rest - d;
                quotient = quotient | Wide128(1) << bit;
            }
        }
    }
    friend constexpr Wide128 operator/(Wide128 a, Wide128 d) {
        Wide128 q, r;
        divide(a, d, q, r);
        return q;
    }
    friend constexpr Wide128 operator%(Wide128 a, Wide128 d) {
        Wide128 q, r;
        divide(a, d, q, r);
        return r;
    }
    constexpr Wide128& operator+=(Wide128 b) { return *this = *this + b; }
    constexpr Wide128& operator-=(Wide128 b) { return *this = *this - b; }
};

// The same bits read as a two's complement number.
struct SignedWide128 {
    Wide128 bits;

    constexpr SignedWide128() = default;
    template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    constexpr SignedWide128(T v) : bits(v) {}
    explicit constexpr SignedWide128(Wide128 w) : bits(w) {}
    explicit constexpr operator Wide128() const { return bits; }
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    explicit constexpr operator T() const {
        return static_cast<T>(bits.lo);
    }

    friend constexpr SignedWide128 operator*(SignedWide128 a, SignedWide128 b) {
        return SignedWide128(a.bits * b.bits);
    }
    // Arithmetic: the sign bit fills from the left.
    friend constexpr SignedWide128 operator>>(SignedWide128 a, int s) {
        const uint64_t fill = a.bits.hi >> 63 != 0 ? ~0ull : 0;
        if (s == 0) return a;
        if (s < 64) return SignedWide128(Wide128::of(a.bits.hi >> s | fill << (64 - s), a.bits.lo >> s | a.bits.hi << (64 - s)));
        return SignedWide128(Wide128::of(fill, s == 64 ? a.bits.hi : a.bits.hi >> (s - 64) | fill << (128 - s)));
    }
    friend constexpr bool operator==(SignedWide128 a, SignedWide128 b) { return a.bits == b.bits; }
    friend constexpr bool operator!=(SignedWide128 a, SignedWide128 b) { return a.bits != b.bits; }
    friend constexpr bool operator<(SignedWide128 a, SignedWide128 b) {
        const uint64_t flip = 0x8000000000000000ull;
        return Wide128::of(a.bits.hi ^ flip, a.bits.lo) < Wide128::of(b.bits.hi ^ flip, b.bits.lo);
    }
};

// The compiler's own 128-bit integers where it has them; elsewhere the words
// (and where PRALLWERK_NO_INT128 is defined, to try the words' path on a
// machine that has __int128).
#if defined(__SIZEOF_INT128__) && !defined(PRALLWERK_NO_INT128)
#define PRALLWERK_NATIVE_128 1
__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;
#else
typedef Wide128 u128;
typedef SignedWide128 i128;
#define PRALLWERK_NATIVE_128 0
#endif

inline constexpr uint64_t signBit = 0x8000000000000000ull;
inline constexpr uint64_t fractionMask = (1ull << 52) - 1;
// Below this (< pi/4) x is its own reduced angle.
inline constexpr double unreducedBelow = 0.78125;

inline int leadingZeros(uint64_t w) { return w == 0 ? 64 : __builtin_clzll(w); }

inline constexpr u128 make128(uint64_t hi, uint64_t lo) {
#if PRALLWERK_NATIVE_128
    return static_cast<u128>(hi) << 64 | lo;
#else
    return Wide128::of(hi, lo);
#endif
}

// a * b in full, from four 32 x 32-bit products.
inline u128 mulWideByHalves(uint64_t a, uint64_t b) {
    const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // The middle column: at most 3 (2^32 - 1), no overflow.
    const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    return make128(p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), middle << 32 | (p00 & 0xffffffffu));
}

// The products below by halves: on WebAssembly, which has no 64 x 64 ->
// 128-bit multiplication (a 128-bit product there is a call into the
// compiler's run-time library that multiplies all 128 by 128 bits: the halves
// in line are several times faster), and wherever the compiler has no
// __int128. Elsewhere the processor's own instructions. The same bits either way.
#if defined(__wasm__) || !PRALLWERK_NATIVE_128
#define PRALLWERK_PRODUCTS_BY_HALVES 1
#else
#define PRALLWERK_PRODUCTS_BY_HALVES 0
#endif

// a * b in full.
[[gnu::always_inline]] inline u128 mulWide(uint64_t a, uint64_t b) {
#if PRALLWERK_PRODUCTS_BY_HALVES
    return mulWideByHalves(a, b);
#else
    return static_cast<u128>(a) * b;
#endif
}

// a * b in full for signed factors. By halves, the unsigned product of their
// two's complements, less 2^64 times each factor whose partner is negative;
// elsewhere the processor's signed multiplication.
[[gnu::always_inline]] inline i128 mulWideSigned(int64_t a, int64_t b) {
#if PRALLWERK_PRODUCTS_BY_HALVES
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
#if PRALLWERK_PRODUCTS_BY_HALVES
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
