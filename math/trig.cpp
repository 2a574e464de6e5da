#include "prallwerk/math/trig.h"

#include <cstdint>
#include <limits>

#include "prallwerk/math/trig_stages.h"

namespace prallwerk {

// How the bits are found
//
// Every value below is a fixed-point integer; no floating-point operation
// touches a result bit, so the compiler, the C library and the platform have
// no say in it. Three stages, each with a proven error bound E, try in turn;
// a stage's result counts only when E decides its rounding.
//
// Argument reduction. |x| = m * 2^e with m a 53-bit integer. x * 2/pi modulo 4
// is m times a window of the bits of 2/pi that starts two bits above the
// binary point of the product: the bits before the window contribute whole
// multiples of 4, and those after it less than m * 2^(2 - window bits). A
// 192-bit window leaves the fraction f in [-1/2, 1/2] within 2^-137, far
// below the 2^-127 unit it is kept in, for every finite double; the quadrant
// is the rounded integer part. The reduced angle is r = |f| * pi/2 in
// [0, pi/4]. (The closest a double comes to a multiple of pi/2 is about
// 2^-61, so r never vanishes.) Below |x| = 16 the quick stage subtracts
// k * pi/2 directly, with pi/2 to 2^-124.
//
// Quick stage. With a = j/128 the table point nearest r and t = r - a,
// |t| <= 2^-8, c = 1 - cos t and s = t - sin t:
//   sin r = sin a - sin a * c + cos a * sin t,  cos r = cos a - cos a * c - sin a * sin t.
// sin a and cos a enter in 128 bits; t, c, s and the products in 64 (t to
// 2^-71, c to 2^-77, s to 2^-84, sin a and cos a to 2^-63 where they
// multiply). Truncating t, the 64-bit sin t and the table words each cost up
// to 2^-71, the c products 2^-75: under 2^-69.3 in all, and E = 2^-67. For
// j = 0 the sine is t - s with s relative to t, so small angles keep their
// precision: E is t * 2^-72 plus the reduction's error. This stage decides
// both results for all but about 1 in 2,000 arguments.
//
// Fixed stage, everything in Q1.127 (unit u = 2^-127), with
//   sin r = sin a * C(t) + cos a * S(t),  cos r = cos a * C(t) - sin a * S(t),
//   S(t) = t - t^3/3! + ... - t^11/11!,   C(t) = 1 - t^2/2! + ... - t^10/10!.
// Every product is within 3u, every constant within 0.5u. Horner sums of the
// tails stay within 3.6u; S within 3.1u; C within 4.5u plus the omitted
// t^12/12! < 4.6u; each result within 18.7u from the two products; r within
// 5.1u (f truncated times pi/2, pi/2 truncated, one product), which moves
// sine and cosine by as much. In all under 24u, and E = 64u.
//
// Rounding test. With v the computed value, the true value lies in
// [v - E, v + E]. When both ends round to the same double, and neither lies
// exactly halfway between two doubles, that double is the correctly rounded
// result, because rounding is monotonic.
//
// Exact stage (math/trig_exact.cpp): the same reduction with a window 128
// bits wider than the precision, then plain Taylor series of r in Q1.383 with
// an error bound counted from the number of terms. The hardest doubles known for sine and
// cosine need about 2^-126, so 384 bits decide all of them; should one ever
// not be decided, 1280 bits are tried, and their nearest double is taken.

namespace trigStages {

#include "prallwerk/math/trig_constants.inc"

uint64_t twoOverPiBits(int bit) {
    const int word = bit >> 6, shift = bit & 63;
    if (shift == 0) return twoOverPi[word];
    return twoOverPi[word] << shift | twoOverPi[word + 1] >> (64 - shift);
}

uint64_t piOver2Word(int i) { return piOver2[i]; }

}  // namespace trigStages

namespace {

using namespace trigStages;

// ---- Shared by the quick and the fixed stage: Q1.127 in 128-bit integers ----

uint64_t mulHigh(uint64_t a, uint64_t b) { return static_cast<uint64_t>(mulWide(a, b) >> 64); }

int leadingZeros128(u128 v) {
    const uint64_t hi = static_cast<uint64_t>(v >> 64);
    return hi != 0 ? leadingZeros(hi) : 64 + leadingZeros(static_cast<uint64_t>(v));
}

// a * b / 2^127 less under 3 units, for a * b < 2^255: the product of the low
// words (under 2 units) is left out, and the rest truncated.
[[gnu::always_inline]] inline u128 mulQ127(u128 a, u128 b) {
    const uint64_t a1 = static_cast<uint64_t>(a >> 64), a0 = static_cast<uint64_t>(a);
    const uint64_t b1 = static_cast<uint64_t>(b >> 64), b0 = static_cast<uint64_t>(b);
    const u128 hl = mulWide(a1, b0), lh = mulWide(a0, b1);
    const u128 low = static_cast<u128>(static_cast<uint64_t>(hl)) + static_cast<uint64_t>(lh);
    const u128 hh = mulWide(a1, b1) + (hl >> 64) + (lh >> 64) + (low >> 64);
    return hh << 1 | static_cast<uint64_t>(low) >> 63;
}

u128 factorialInverse(int n) { return make128(inverseFactorial[n][0], inverseFactorial[n][1]); }

// Rounds v * 2^-127 to the nearest double when every value within err of v
// rounds to the same one: when v is further than err from the midpoint
// between the two doubles around it. err must stay below a quarter of the
// last place, so that no other midpoint (not even one across a power of two)
// comes into reach; otherwise, as on a near miss, and for v below 2^-63, out
// stays open.
[[gnu::always_inline]] inline void decideQ127(u128 v, uint64_t err, Result& out) {
    const uint64_t hi = static_cast<uint64_t>(v >> 64), lo = static_cast<uint64_t>(v);
    if (hi == 0) return;
    // Shifted so that the leading bit is bit 127 (bit 63 of the high word):
    // the 53 bits of the double are bits 75..127 and the midpoint is bit 74.
    const int lz = leadingZeros(hi);
    const uint64_t nHi = hi << lz | (lo >> 1) >> (63 - lz), nLo = lo << lz;
    const uint64_t eHi = (err >> 1) >> (63 - lz), eLo = err << lz;
    if (eHi >= 1u << 9) return;
    const u128 rest = make128(nHi & 0x7ff, nLo), e = make128(eHi, eLo);
    constexpr u128 half = static_cast<u128>(1) << 74;
    const u128 fromHalf = rest > half ? rest - half : half - rest;
    if (fromHalf <= e) return;
    // The mantissa may carry into the exponent field, which is then right.
    const uint64_t mantissa = (nHi >> 11) + (rest > half ? 1 : 0);
    out.bits = (static_cast<uint64_t>(1022 - lz) << 52) + mantissa;
    out.done = true;
}

// decideQ127 for the common case first: when v's high word alone puts v at
// least 2^64 units (more than err) from the midpoint, the low word cannot
// matter. This takes most values of at least 2^-9.
[[gnu::always_inline]] inline void decideQuickly(u128 v, uint64_t err, Result& out) {
    const uint64_t hi = static_cast<uint64_t>(v >> 64);
    const int lz = leadingZeros(hi);
    if (lz <= 8) {
        // The last place of the double is bit 11 - lz of hi, the midpoint
        // bit 10 - lz. Adding the midpoint rounds; the bits below the last
        // place then lie within one of 0 exactly when hi was within one of
        // the midpoint.
        const int below = 11 - lz;
        const uint64_t rounded = hi + (1ull << (below - 1));
        if (((rounded + 1) & ((1ull << below) - 1)) > 2) {
            out.bits = (static_cast<uint64_t>(1022 - lz) << 52) + (rounded >> below);
            out.done = true;
            return;
        }
    }
    decideQ127(v, err, out);
}

// The reduced angle r = |f| * pi/2 in Q1.127, the quadrant and the sign of f.
struct Reduced {
    u128 r = 0;
    unsigned q = 0;
    bool negative = false;
};

// Reduction of |x| = m * 2^e >= unreducedBelow by a 192-bit window of 2/pi;
// r is within 5.1 units.
Reduced reduceByWindow(uint64_t m, int e) {
    const int start = e - 2 + 64;
    const u128 p2 = mulWide(m, twoOverPiBits(start + 128));
    const u128 p1 = mulWide(m, twoOverPiBits(start + 64)) + static_cast<uint64_t>(p2 >> 64);
    const u128 p0 = mulWide(m, twoOverPiBits(start)) + static_cast<uint64_t>(p1 >> 64);
    // x * 2/pi mod 4 = (p0, p1, p2) low words * 2^-190; its two integer bits
    // are the top of p0.
    const uint64_t w0 = static_cast<uint64_t>(p0), w1 = static_cast<uint64_t>(p1), w2 = static_cast<uint64_t>(p2);
    Reduced out;
    out.q = static_cast<unsigned>((w0 + (1ull << 61)) >> 62) & 3;
    // f * 2^127 modulo 2^128, which holds it since |f| <= 1/2.
    const u128 fBits =
        (static_cast<u128>(w0) << 65 | static_cast<u128>(w1) << 1 | w2 >> 63) - (static_cast<u128>(out.q) << 127);
    out.negative = static_cast<i128>(fBits) < 0;
    out.r = mulQ127(out.negative ? -fBits : fBits, make128(piOver2[0], piOver2[1]));
    return out;
}

// ---- Quick stage: the leading terms in 128 bits, the small ones in 64 ----

// Its error bound, 2^-67, in units of 2^-127.
constexpr uint64_t quickErrorUnits = 1ull << 60;
// Below this |x| the quick stage reduces by the nearest multiple of pi/2
// directly, with pi/2 to 2^-124.
constexpr double quickDirectBelow = 16.0;
// Error of the quick stage's r in units of 2^-127: at most 10 times pi/2
// truncated to 2^-124 below quickDirectBelow, 5.1 units above.
constexpr uint64_t quickReductionErrorUnits = 80;
// 1/n! and the like as 64-bit fractions at the scales the quick stage uses.
constexpr uint64_t sixth = static_cast<uint64_t>((static_cast<u128>(1) << 64) / 6);
constexpr uint64_t over24 = (1ull << 50) / 24;
constexpr uint64_t over120 = (1ull << 50) / 120;
constexpr uint64_t over720 = (1ull << 36) / 720;
constexpr uint64_t over5040 = (1ull << 36) / 5040;

[[gnu::always_inline]] inline void quickStage(double ax, Stage& out) {
    const uint64_t b = bitsOf(ax);
    const uint64_t m = (b & fractionMask) | (1ull << 52);
    const int e = static_cast<int>(b >> 52) - 1075;

    // 1. Reduce.
    Reduced red;
    if (ax < unreducedBelow) {
        red.r = static_cast<u128>(m) << (e + 127);  // exact: ax >= 2^-27 has no bits below 2^-79
    } else if (ax < quickDirectBelow) {
        // In Q4.124: x - k pi/2 with k = round(x 2/pi) from 64 bits of 2/pi,
        // so k may be off by one only where |r| is within 2^-49 of pi/4.
        // Here -53 <= e <= -49, so the shifts below stay within one word.
        const int shift = -e;
        const uint64_t p = mulHigh(m, twoOverPi[1]);
        const uint64_t k = (p + (1ull << (shift - 1))) >> shift;
        const u128 x = static_cast<u128>(m << (e + 60)) << 64;
        const u128 d = x - mulLow128(k, make128(piOver2[0], piOver2[1]) >> 3);
        red.negative = static_cast<i128>(d) < 0;
        red.r = (red.negative ? -d : d) << 3;
        red.q = static_cast<unsigned>(k & 3);
    } else {
        red = reduceByWindow(m, e);
    }

    // 2. Split r = j/128 + t, and t to 64 bits: floor(r * 2^71) = j * 2^64 +
    //    floor(t * 2^71), and |t| <= 2^-8, so the low word of r * 2^71 is
    //    t * 2^71 as a signed number; T is its magnitude.
    const unsigned j = static_cast<unsigned>((red.r + (static_cast<u128>(1) << 119)) >> 120);
    const int64_t signedT = static_cast<int64_t>(static_cast<uint64_t>(red.r >> 56));
    const bool tNegative = signedT < 0;
    const uint64_t bigT = tNegative ? 0 - static_cast<uint64_t>(signedT) : static_cast<uint64_t>(signedT);

    // 3. The small parts c = 1 - cos t = z (1/2 - z/24 + z^2/720) and
    //    s = t - sin t = t z (1/6 - z/120 + z^2/5040), z = t^2, each with a
    //    relative error near 2^-60: Z = z * 2^78, Z2 = z^2 * 2^92, C = c * 2^78,
    //    S = s * 2^85.
    const uint64_t z = mulHigh(bigT, bigT);
    const uint64_t z2 = mulHigh(z, z);
    const uint64_t pc = (1ull << 63) - mulHigh(z, over24) + mulHigh(z2, over720);
    const uint64_t c = mulHigh(z, pc);
    const uint64_t ps = sixth - mulHigh(z, over120) + mulHigh(z2, over5040);

    u128 sinR, cosR;
    uint64_t sinError = quickErrorUnits;
    if (j == 0) {
        // sin r = t - s with s relative to t, so that small angles keep their
        // precision: t = Tn * 2^(-63-lz), s = M * 2^(-61-3lz).
        const u128 t = red.r;
        if (t == 0) return;
        const int lz = leadingZeros128(t);
        const uint64_t tn = static_cast<uint64_t>((t << lz) >> 64);
        const uint64_t bigM = mulHigh(tn, mulHigh(mulHigh(tn, tn), ps));
        const int up = 66 - 3 * lz;
        const u128 sUnits = up >= 0 ? static_cast<u128>(bigM) << up : (-up < 64 ? bigM >> -up : 0);
        sinR = t - sUnits;
        cosR = (static_cast<u128>(1) << 127) - (static_cast<u128>(c) << 49);
        // s within 2^-56 of itself, which is below t 2^-74, one unit, and
        // the reduction's error.
        sinError = static_cast<uint64_t>(t >> 72) + 2 + quickReductionErrorUnits;
    } else {
        // 4. sin(a + t) = sa - sa c + ca sin t, cos(a + t) = ca - ca c - sa sin t,
        //    with t and sin t signed. sa and ca enter whole, and to 2^-63
        //    where they multiply sin t (< 2^-8) or c. sin t = t - s is kept to
        //    2^-71 as (T - S/2^14) * 2^-71.
        const uint64_t sinTMagnitude = bigT - (mulHigh(mulHigh(bigT, z), ps) >> 14);
        const int64_t sinT = tNegative ? -static_cast<int64_t>(sinTMagnitude) : static_cast<int64_t>(sinTMagnitude);
        const u128 sa = make128(sinCosTable[j][0], sinCosTable[j][1]);
        const u128 ca = make128(sinCosTable[j][2], sinCosTable[j][3]);
        // Below 1, so their high words are below 2^63.
        const uint64_t saHigh = sinCosTable[j][0], caHigh = sinCosTable[j][2];
        const i128 caSinT = mulWideSigned(static_cast<int64_t>(caHigh), sinT) >> 7;
        const i128 saSinT = mulWideSigned(static_cast<int64_t>(saHigh), sinT) >> 7;
        sinR = sa - (static_cast<u128>(mulHigh(saHigh, c)) << 50) + static_cast<u128>(caSinT);
        cosR = ca - (static_cast<u128>(mulHigh(caHigh, c)) << 50) - static_cast<u128>(saSinT);
    }

    // 5. Round.
    const Roles roles = rolesOf(red.q, red.negative);
    out.sin.negative = roles.sinNegative;
    out.cos.negative = roles.cosNegative;
    decideQuickly(roles.swap ? cosR : sinR, roles.swap ? quickErrorUnits : sinError, out.sin);
    decideQuickly(roles.swap ? sinR : cosR, roles.swap ? sinError : quickErrorUnits, out.cos);
}

// ---- Fixed stage: everything in 128 bits ----

constexpr uint64_t fixedErrorUnits = 64;

// Both results for |x| = ax, with 2^-27 <= ax < infinity; fills only those
// not yet done.
void fixedStage(double ax, Stage& out) {
    const uint64_t b = bitsOf(ax);
    const uint64_t m = (b & fractionMask) | (1ull << 52);
    const int e = static_cast<int>(b >> 52) - 1075;

    // 1. Reduce.
    Reduced red;
    if (ax < unreducedBelow) {
        red.r = static_cast<u128>(m) << (e + 127);
    } else {
        red = reduceByWindow(m, e);
    }

    // 2. Split r = j/128 + t.
    const unsigned j = static_cast<unsigned>((red.r + (static_cast<u128>(1) << 119)) >> 120);
    const u128 a = static_cast<u128>(j) << 120;
    const bool tNegative = red.r < a;
    const u128 t = tNegative ? a - red.r : red.r - a;
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
    const Roles roles = rolesOf(red.q, red.negative);
    if (!out.sin.done) {
        out.sin.negative = roles.sinNegative;
        decideQ127(roles.swap ? cosR : sinR, fixedErrorUnits, out.sin);
    }
    if (!out.cos.done) {
        out.cos.negative = roles.cosNegative;
        decideQ127(roles.swap ? sinR : cosR, fixedErrorUnits, out.cos);
    }
}

// Non-finite and tiny arguments, which no stage takes.
[[gnu::always_inline]] inline bool special(double x, SinCos& out) {
    const uint64_t biased = bitsOf(x) >> 52 & 0x7ff;
    if (biased == 0x7ff) {
        out = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
        return true;
    }
    // Below 2^-27, sin x rounds to x and cos x to 1: |sin x - x| <= |x|^3/6
    // and 1 - cos x <= x^2/2 stay under a quarter of the spacing of doubles.
    if (biased < 1023 - 27) {
        out = {x, 1.0};
        return true;
    }
    return false;
}

[[gnu::always_inline]] inline SinCos finish(const Stage& stage, double x) {
    const uint64_t xSign = bitsOf(x) & signBit;
    return {fromBits(stage.sin.bits | ((stage.sin.negative ? signBit : 0) ^ xSign)),
            fromBits(stage.cos.bits | (stage.cos.negative ? signBit : 0))};
}

// The fixed stage, then the exact ones, for the results the quick stage left
// open. Kept out of line so that the quick path keeps its values in registers.
[[gnu::noinline]] SinCos laterStages(double ax, Stage stage, double x) {
    fixedStage(ax, stage);
    if (!stage.sin.done || !stage.cos.done) exactStages(ax, stage);
    return finish(stage, x);
}

}  // namespace

SinCos sinCos(double x) {
    SinCos out;
    if (special(x, out)) return out;
    const double ax = fromBits(bitsOf(x) & ~signBit);
    Stage stage;
    quickStage(ax, stage);
    if (stage.sin.done && stage.cos.done) return finish(stage, x);
    return laterStages(ax, stage, x);
}

double sine(double x) { return sinCos(x).sin; }

double cosine(double x) { return sinCos(x).cos; }

namespace trig {

bool quickSinCos(double x, SinCos& out) {
    if (special(x, out)) return true;
    Stage stage;
    quickStage(fromBits(bitsOf(x) & ~signBit), stage);
    if (!stage.sin.done || !stage.cos.done) return false;
    out = finish(stage, x);
    return true;
}

bool fixedSinCos(double x, SinCos& out) {
    if (special(x, out)) return true;
    Stage stage;
    fixedStage(fromBits(bitsOf(x) & ~signBit), stage);
    if (!stage.sin.done || !stage.cos.done) return false;
    out = finish(stage, x);
    return true;
}

SinCos exactSinCos(double x) {
    SinCos out;
    if (special(x, out)) return out;
    Stage stage;
    exactStages(fromBits(bitsOf(x) & ~signBit), stage);
    return finish(stage, x);
}

}  // namespace trig

}  // namespace prallwerk
