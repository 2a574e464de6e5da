// The exact stage of the engine's sine and cosine: multiprecision fixed point
// in Q1.(64L-1), L words, least significant first. It runs for the rare
// arguments the 128-bit stages cannot decide (see math/trig.cpp), so it is
// written plainly rather than fast.
#include <cstdint>

#include "prallwerk/math/trig_stages.h"

namespace prallwerk {

namespace trigStages {
namespace {

template <int L>
struct Fixed {
    uint64_t w[L] = {};
};

template <int L>
Fixed<L> add(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    uint64_t carry = 0;
    for (int i = 0; i < L; ++i) {
        const u128 sum = static_cast<u128>(a.w[i]) + b.w[i] + carry;
        out.w[i] = static_cast<uint64_t>(sum);
        carry = static_cast<uint64_t>(sum >> 64);
    }
    return out;
}

// a - b modulo 2^(64L).
template <int L>
Fixed<L> sub(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    uint64_t borrow = 0;
    for (int i = 0; i < L; ++i) {
        const uint64_t d = a.w[i] - b.w[i];
        const uint64_t nextBorrow = (a.w[i] < b.w[i]) | (d < borrow);
        out.w[i] = d - borrow;
        borrow = nextBorrow;
    }
    return out;
}

template <int L>
Fixed<L> small(uint64_t units) {
    Fixed<L> out;
    out.w[0] = units;
    return out;
}

template <int L>
bool isZero(const Fixed<L>& a) {
    for (int i = 0; i < L; ++i) {
        if (a.w[i] != 0) return false;
    }
    return true;
}

// floor(a * b / 2^(64L-1)), for a * b < 2^(128L-1).
template <int L>
Fixed<L> mul(const Fixed<L>& a, const Fixed<L>& b) {
    uint64_t product[2 * L] = {};
    for (int i = 0; i < L; ++i) {
        uint64_t carry = 0;
        for (int k = 0; k < L; ++k) {
            const u128 cell = mulWide(a.w[i], b.w[k]) + product[i + k] + carry;
            product[i + k] = static_cast<uint64_t>(cell);
            carry = static_cast<uint64_t>(cell >> 64);
        }
        product[i + L] = carry;
    }
    Fixed<L> out;
    for (int i = 0; i < L; ++i) out.w[i] = product[i + L - 1] >> 63 | product[i + L] << 1;
    return out;
}

// floor(a / d).
template <int L>
Fixed<L> divide(const Fixed<L>& a, uint64_t d) {
    Fixed<L> out;
    uint64_t rest = 0;
    for (int i = L - 1; i >= 0; --i) {
        const u128 cur = static_cast<u128>(rest) << 64 | a.w[i];
        out.w[i] = static_cast<uint64_t>(cur / d);
        rest = static_cast<uint64_t>(cur % d);
    }
    return out;
}

template <int L>
bool bitAt(const Fixed<L>& a, int bit) {
    return bit >= 0 && (a.w[bit >> 6] >> (bit & 63) & 1) != 0;
}

enum class Rounding { exact, tie, tooFewBits };

// Rounds a * 2^-(64L-1) to the nearest double, ties away from zero.
template <int L>
Rounding roundFixed(const Fixed<L>& a, uint64_t& bits) {
    int top = -1;
    for (int i = L - 1; i >= 0 && top < 0; --i) {
        if (a.w[i] != 0) top = 64 * i + 63 - leadingZeros(a.w[i]);
    }
    if (top < 54) return Rounding::tooFewBits;
    uint64_t mantissa = 0;
    for (int bit = top; bit > top - 53; --bit) mantissa = mantissa << 1 | (bitAt(a, bit) ? 1 : 0);
    const int roundBit = top - 53;
    bool sticky = false;
    for (int i = 0; i < L && !sticky; ++i) {
        const int low = 64 * i;
        if (low + 64 <= roundBit) {
            sticky = a.w[i] != 0;
        } else if (low < roundBit) {
            sticky = (a.w[i] & ((1ull << (roundBit - low)) - 1)) != 0;
        }
    }
    const bool half = bitAt(a, roundBit);
    if (half) ++mantissa;
    uint64_t exponent = static_cast<uint64_t>(top - (64 * L - 1) + 1023);
    if (mantissa >> 53) {
        mantissa >>= 1;
        ++exponent;
    }
    bits = exponent << 52 | (mantissa & fractionMask);
    return half && !sticky ? Rounding::tie : Rounding::exact;
}

template <int L>
void decideFixed(const Fixed<L>& v, uint64_t errorUnits, bool last, Result& out) {
    uint64_t low = 0, high = 0;
    const Fixed<L> e = small<L>(errorUnits);
    out.done = roundFixed(sub(v, e), low) == Rounding::exact && roundFixed(add(v, e), high) == Rounding::exact &&
               low == high;
    if (out.done) {
        out.bits = low;
    } else if (last) {
        // Not reached for any double known: the hardest need 2^-126, not
        // 2^-1270. The nearest double of the best value keeps it deterministic.
        roundFixed(v, out.bits);
        out.done = true;
    }
}

// Both results for |x| = ax with L words of precision; fills only those
// not yet done.
template <int L>
void exactStage(double ax, bool last, Stage& stage) {
    constexpr int windowWords = L + 2;
    const uint64_t b = bitsOf(ax);
    const uint64_t m = (b & fractionMask) | (1ull << 52);
    const int e = static_cast<int>(b >> 52) - 1075;

    // 1. Reduce, as in the fixed stage with a wider window.
    Fixed<L> r;
    unsigned q = 0;
    bool fNegative = false;
    if (ax < unreducedBelow) {
        const int shift = e + 64 * L - 1;
        r.w[shift >> 6] = m << (shift & 63);
        if ((shift & 63) > 11) r.w[(shift >> 6) + 1] = m >> (64 - (shift & 63));
    } else {
        const int start = e - 2 + 64;
        uint64_t product[windowWords + 1] = {};
        uint64_t carry = 0;
        for (int k = 0; k < windowWords; ++k) {
            const u128 cell = mulWide(m, twoOverPiBits(start + 64 * (windowWords - 1 - k))) + carry;
            product[k] = static_cast<uint64_t>(cell);
            carry = static_cast<uint64_t>(cell >> 64);
        }
        const uint64_t topWord = product[windowWords - 1];
        q = static_cast<unsigned>((topWord + (1ull << 61)) >> 62) & 3;
        Fixed<L> f;
        for (int i = 0; i < L; ++i) f.w[i] = product[i + 1] >> 63 | product[i + 2] << 1;
        f.w[L - 1] -= static_cast<uint64_t>(q & 1) << 63;
        fNegative = (f.w[L - 1] >> 63) != 0;
        if (fNegative) f = sub(Fixed<L>{}, f);
        Fixed<L> halfPi;
        for (int i = 0; i < L; ++i) halfPi.w[i] = piOver2Word(L - 1 - i);
        r = mul(f, halfPi);
    }

    // 2. Taylor series; terms shrink to zero in the fixed point.
    const Fixed<L> r2 = mul(r, r);
    Fixed<L> sinR = r, cosR, term = r;
    cosR.w[L - 1] = signBit;  // 1
    int terms = 0;
    for (uint64_t n = 1;; n += 2, ++terms) {
        term = divide(mul(term, r2), (n + 1) * (n + 2));
        if (isZero(term)) break;
        sinR = (terms & 1) ? add(sinR, term) : sub(sinR, term);
    }
    term = cosR;
    for (uint64_t n = 0;; n += 2, ++terms) {
        term = divide(mul(term, r2), (n + 1) * (n + 2));
        if (isZero(term)) break;
        cosR = (n & 2) ? add(cosR, term) : sub(cosR, term);
    }
    // Each term is within 2 units of its exact value, r within 3.1 units, and
    // the first term left out is below 2 units.
    const uint64_t errorUnits = 4 * static_cast<uint64_t>(terms) + 16;

    // 3. Round those still open.
    const Roles roles = rolesOf(q, fNegative);
    if (!stage.sin.done) {
        stage.sin.negative = roles.sinNegative;
        decideFixed(roles.swap ? cosR : sinR, errorUnits, last, stage.sin);
    }
    if (!stage.cos.done) {
        stage.cos.negative = roles.cosNegative;
        decideFixed(roles.swap ? sinR : cosR, errorUnits, last, stage.cos);
    }
}

}  // namespace

void exactStages(double ax, Stage& stage) {
    exactStage<6>(ax, false, stage);
    if (!stage.sin.done || !stage.cos.done) exactStage<20>(ax, true, stage);
}

}  // namespace trigStages

}  // namespace prallwerk
