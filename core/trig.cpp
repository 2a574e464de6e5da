#include "core/trig.h"

#include <cstdint>
#include <cstring>
#include <limits>

// How the bits are found
//
// Every value below is a fixed-point integer; no floating-point operation
// touches a result bit, so the compiler, the C library and the platform have
// no say in it.
//
// Argument reduction. |x| = m * 2^e with m a 53-bit integer. x * 2/pi modulo 4
// is m times a window of the bits of 2/pi that starts two bits above the
// binary point of the product: the bits before the window contribute whole
// multiples of 4, and those after it less than m * 2^(2 - window bits). The
// window is 192 bits in the fast stage, which leaves the fraction f in
// [-1/2, 1/2] with an error below 2^-137, far below the 2^-127 unit it is
// kept in, for every finite double; the quadrant is the rounded integer part.
// The reduced angle is r = |f| * pi/2 in [0, pi/4]. (The closest a double
// comes to a multiple of pi/2 is about 2^-61, so r never vanishes.)
//
// Fast stage, in Q1.127 (unit u = 2^-127). With a = j/128 the table point
// nearest r and t = r - a, |t| <= 2^-8:
//   sin r = sin a * C(t) + cos a * S(t),  cos r = cos a * C(t) - sin a * S(t),
//   S(t) = t - t^3/3! + ... - t^11/11!,   C(t) = 1 - t^2/2! + ... - t^10/10!.
// Every product truncates (error < 1u), every constant is rounded (0.5u).
// Horner sums of the small tails stay within 1.6u; S within 1.1u; C within
// 1.5u plus the omitted t^12/12! < 4.6u; each result within 8.5u + 3.1u from
// the two products; r itself within 3.1u (f truncated times pi/2, pi/2
// truncated, one product), which moves sine and cosine by as much. In all
// under 15u; fastErrorUnits doubles it.
//
// Rounding test. With v the computed value and E the bound, the true value
// lies in [v - E, v + E]. When both ends round to the same double, and
// neither lies exactly halfway between two doubles, that double is the
// correctly rounded result, because rounding is monotonic. Otherwise the slow
// stage decides.
//
// Slow stage: the same reduction with a window 128 bits wider than the
// precision, then plain Taylor series of r in Q1.383 with an error bound
// counted from the number of terms. The hardest doubles known for sine and
// cosine need about 2^-126, so 384 bits decide all of them; should one ever
// not be decided, 1280 bits are tried, and their nearest double is taken.

namespace {

__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;

#include "core/trig_constants.inc"

constexpr uint64_t signBit = 0x8000000000000000ull;
constexpr uint64_t fractionMask = (1ull << 52) - 1;
constexpr u128 fastErrorUnits = 64;
// Below this |x|, sin x rounds to x and cos x to 1: |sin x - x| <= |x|^3/6 and
// 1 - cos x <= x^2/2 stay under a quarter of the spacing of doubles there.
constexpr double tinyAngle = 0x1p-27;
// Below this (< pi/4) x is its own reduced angle.
constexpr double unreducedBelow = 0.78125;

uint64_t bitsOf(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

double fromBits(uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

int leadingZeros(uint64_t w) { return w == 0 ? 64 : __builtin_clzll(w); }

// 64 bits of the 2/pi table starting at bit position bit (0 = most
// significant bit of the first word).
uint64_t twoOverPiBits(int bit) {
    const int word = bit >> 6, shift = bit & 63;
    if (shift == 0) return twoOverPi[word];
    return twoOverPi[word] << shift | twoOverPi[word + 1] >> (64 - shift);
}

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

Roles rolesOf(unsigned q, bool fNegative) {
    if (q & 1) return {true, q == 3, (q == 1) != fNegative};
    return {false, (q == 2) != fNegative, q == 2};
}

// ---- Fast stage: Q1.127 in unsigned 128-bit integers ----

u128 make128(uint64_t hi, uint64_t lo) { return static_cast<u128>(hi) << 64 | lo; }

// a * b / 2^127 less under 3 units, for a * b < 2^255: the product of the low
// words (under 2 units) is left out, and the rest truncated.
[[gnu::always_inline]] inline u128 mulQ127(u128 a, u128 b) {
    const uint64_t a1 = static_cast<uint64_t>(a >> 64), a0 = static_cast<uint64_t>(a);
    const uint64_t b1 = static_cast<uint64_t>(b >> 64), b0 = static_cast<uint64_t>(b);
    const u128 hl = static_cast<u128>(a1) * b0, lh = static_cast<u128>(a0) * b1;
    const u128 low = static_cast<u128>(static_cast<uint64_t>(hl)) + static_cast<uint64_t>(lh);
    const u128 hh = static_cast<u128>(a1) * b1 + (hl >> 64) + (lh >> 64) + (low >> 64);
    return hh << 1 | static_cast<uint64_t>(low) >> 63;
}

u128 factorialInverse(int n) { return make128(inverseFactorial[n][0], inverseFactorial[n][1]); }

// Rounds v * 2^-127 to the nearest double when every value within
// fastErrorUnits of v rounds to the same one: when v is further than that from
// the midpoint between the two doubles around it. With at least 9 bits below
// the last place, the bound is below a quarter of the last place, so no other
// midpoint (not even one across a power of two) comes into reach.
[[gnu::always_inline]] inline void decideQ127(u128 v, Result& out) {
    const uint64_t hi = static_cast<uint64_t>(v >> 64);
    const int top = hi != 0 ? 127 - leadingZeros(hi) : 63 - leadingZeros(static_cast<uint64_t>(v));
    if (top < 61) return;
    const int shift = top - 52;
    const u128 rest = v & ((static_cast<u128>(1) << shift) - 1);
    const u128 half = static_cast<u128>(1) << (shift - 1);
    const u128 fromHalf = rest > half ? rest - half : half - rest;
    if (fromHalf <= fastErrorUnits) return;
    // The mantissa may carry into the exponent field, which is then right.
    const uint64_t mantissa = static_cast<uint64_t>(v >> shift) + (rest > half ? 1 : 0);
    out.bits = (static_cast<uint64_t>(top - 127 + 1022) << 52) + mantissa;
    out.done = true;
}

// Both results for |x| = ax, with tinyAngle <= ax < infinity.
Stage fastStage(double ax) {
    const uint64_t b = bitsOf(ax);
    const uint64_t m = (b & fractionMask) | (1ull << 52);
    const int e = static_cast<int>(b >> 52) - 1075;

    // 1. Reduce: r = |f| * pi/2 in Q1.127, quadrant q.
    u128 r;
    unsigned q = 0;
    bool fNegative = false;
    if (ax < unreducedBelow) {
        r = static_cast<u128>(m) << (e + 127);  // exact: ax >= 2^-27 has no bits below 2^-79
    } else {
        const int start = e - 2 + 64;
        const u128 p2 = static_cast<u128>(m) * twoOverPiBits(start + 128);
        const u128 p1 = static_cast<u128>(m) * twoOverPiBits(start + 64) + static_cast<uint64_t>(p2 >> 64);
        const u128 p0 = static_cast<u128>(m) * twoOverPiBits(start) + static_cast<uint64_t>(p1 >> 64);
        // x * 2/pi mod 4 = (p0, p1, p2) low words * 2^-190; its two integer
        // bits are the top of p0.
        const uint64_t w0 = static_cast<uint64_t>(p0), w1 = static_cast<uint64_t>(p1),
                       w2 = static_cast<uint64_t>(p2);
        q = static_cast<unsigned>((w0 + (1ull << 61)) >> 62) & 3;
        // f * 2^127 modulo 2^128, which holds it since |f| <= 1/2.
        const u128 fBits = (static_cast<u128>(w0) << 65 | static_cast<u128>(w1) << 1 | w2 >> 63) -
                           (static_cast<u128>(q) << 127);
        const i128 f = static_cast<i128>(fBits);
        fNegative = f < 0;
        const u128 fMagnitude = fNegative ? -fBits : fBits;
        r = mulQ127(fMagnitude, make128(piOver2[0], piOver2[1]));
    }

    // 2. Split r = j/128 + t.
    const unsigned j = static_cast<unsigned>((r + (static_cast<u128>(1) << 119)) >> 120);
    const u128 a = static_cast<u128>(j) << 120;
    const bool tNegative = r < a;
    const u128 t = tNegative ? a - r : r - a;
    const u128 z = mulQ127(t, t);

    // 3. S(|t|) and C(t) by Horner's rule in t^2.
    u128 ps = factorialInverse(9) - mulQ127(z, factorialInverse(11));
    ps = factorialInverse(7) - mulQ127(z, ps);
    ps = factorialInverse(5) - mulQ127(z, ps);
    ps = factorialInverse(3) - mulQ127(z, ps);
    const u128 s = t - mulQ127(t, mulQ127(z, ps));
    u128 pc = factorialInverse(8) - mulQ127(z, factorialInverse(10));
    pc = factorialInverse(6) - mulQ127(z, pc);
    pc = factorialInverse(4) - mulQ127(z, pc);
    pc = factorialInverse(2) - mulQ127(z, pc);
    const u128 c = factorialInverse(0) - mulQ127(z, pc);

    // 4. The addition theorems; all terms and sums are non-negative.
    const u128 sa = make128(sinCosTable[j][0], sinCosTable[j][1]);
    const u128 ca = make128(sinCosTable[j][2], sinCosTable[j][3]);
    const u128 saC = mulQ127(sa, c), caS = mulQ127(ca, s);
    const u128 caC = mulQ127(ca, c), saS = mulQ127(sa, s);
    const u128 sinR = tNegative ? saC - caS : saC + caS;
    const u128 cosR = tNegative ? caC + saS : caC - saS;

    // 5. Round.
    const Roles roles = rolesOf(q, fNegative);
    Stage out;
    out.sin.negative = roles.sinNegative;
    out.cos.negative = roles.cosNegative;
    decideQ127(roles.swap ? cosR : sinR, out.sin);
    decideQ127(roles.swap ? sinR : cosR, out.cos);
    return out;
}

// ---- Slow stage: Q1.(64L-1), L words, least significant first ----

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
            const u128 cell = static_cast<u128>(a.w[i]) * b.w[k] + product[i + k] + carry;
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

    // 1. Reduce, as in the fast stage with a wider window.
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
            const u128 cell = static_cast<u128>(m) * twoOverPiBits(start + 64 * (windowWords - 1 - k)) + carry;
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
        for (int i = 0; i < L; ++i) halfPi.w[i] = piOver2[L - 1 - i];
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

double valueOf(const Result& r) { return fromBits(r.bits | (r.negative ? signBit : 0)); }

// Non-finite and tiny arguments, which neither stage takes.
bool special(double x, SinCos& out) {
    const double ax = fromBits(bitsOf(x) & ~signBit);
    if (!(ax <= std::numeric_limits<double>::max())) {
        out = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
        return true;
    }
    if (ax < tinyAngle) {
        out = {x, 1.0};
        return true;
    }
    return false;
}

SinCos finish(const Stage& stage, double x) {
    const bool xNegative = (bitsOf(x) & signBit) != 0;
    SinCos out{valueOf(stage.sin), valueOf(stage.cos)};
    if (xNegative) out.sin = -out.sin;
    return out;
}

Stage exactStages(double ax, Stage stage) {
    exactStage<6>(ax, false, stage);
    if (!stage.sin.done || !stage.cos.done) exactStage<20>(ax, true, stage);
    return stage;
}

}  // namespace

SinCos sinCos(double x) {
    SinCos out;
    if (special(x, out)) return out;
    const double ax = fromBits(bitsOf(x) & ~signBit);
    Stage stage = fastStage(ax);
    if (!stage.sin.done || !stage.cos.done) stage = exactStages(ax, stage);
    return finish(stage, x);
}

double sine(double x) { return sinCos(x).sin; }

double cosine(double x) { return sinCos(x).cos; }

namespace trig {

bool fastSinCos(double x, SinCos& out) {
    if (special(x, out)) return true;
    const Stage stage = fastStage(fromBits(bitsOf(x) & ~signBit));
    if (!stage.sin.done || !stage.cos.done) return false;
    out = finish(stage, x);
    return true;
}

SinCos exactSinCos(double x) {
    SinCos out;
    if (special(x, out)) return out;
    return finish(exactStages(fromBits(bitsOf(x) & ~signBit), Stage{}), x);
}

}  // namespace trig
