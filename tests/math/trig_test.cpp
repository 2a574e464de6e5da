// The engine's sine and cosine against quadruple precision, rounded once to
// double. Where the quadruple result lies too close to a midpoint between
// doubles for its own 113 bits to say which way the exact value rounds, the
// slow stage's multiprecision result is the reference.
//
// The random comparison runs 10^6 arguments (fewer in the sanitizer build);
// the long form is run by hand:
//   PRALLWERK_TRIG_ARGUMENTS=100000000 build/tests/engine_tests --gtest_filter='Trig.*Random*'
// PRALLWERK_TRIG_SEED picks another sequence.
#include "prallwerk/math/trig.h"
#include "prallwerk/math/trig_stages.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "prallwerk/math/bits.h"

#define QUAD_IS_LONG_DOUBLE (LDBL_MANT_DIG == 113 && LDBL_MAX_EXP == 16384)
#if !QUAD_IS_LONG_DOUBLE
#include <quadmath.h>
#endif

using namespace prallwerk;

namespace {

// The quadruple-precision reference: GCC's __float128 with libquadmath, or,
// where long double is IEEE quadruple precision itself (WebAssembly, which has
// no libquadmath), the C library's long double functions, which compute in it.
#if QUAD_IS_LONG_DOUBLE
using Quad = long double;
Quad sinQuad(Quad x) { return sinl(x); }
Quad cosQuad(Quad x) { return cosl(x); }
Quad fabsQuad(Quad x) { return fabsl(x); }
Quad ldexpQuad(Quad x, int e) { return ldexpl(x, e); }
Quad parseQuad(const char* text) { return strtold(text, nullptr); }
#else
using Quad = __float128;
Quad sinQuad(Quad x) { return sinq(x); }
Quad cosQuad(Quad x) { return cosq(x); }
Quad fabsQuad(Quad x) { return fabsq(x); }
Quad ldexpQuad(Quad x, int e) { return ldexpq(x, e); }
Quad parseQuad(const char* text) { return strtoflt128(text, nullptr); }
#endif

long environmentCount(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::strtol(v, nullptr, 10) : fallback;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr long defaultArguments = 200000;
#else
constexpr long defaultArguments = 1000000;
#endif

// The quadruple result rounded once to double, and how far the quadruple
// value lies from the nearest midpoint between doubles, in units in the last
// place of the double. Below about 2^-56 the quadruple value cannot decide.
struct QuadRounding {
    double value = 0.0;
    double midpointDistance = 0.0;  // in ulps of the double
};

QuadRounding roundQuad(Quad q) {
    QuadRounding out;
    out.value = static_cast<double>(q);
    const double d = out.value;
    const uint64_t b = bitsOf(std::fabs(d));
    const double up = fromBits(b + 1), down = fromBits(b - 1);
    const Quad m = fabsQuad(q);
    const Quad ulp = static_cast<Quad>(up) - std::fabs(d);
    const Quad toUpper = fabsQuad(m - (static_cast<Quad>(std::fabs(d)) + up) / 2);
    const Quad toLower = fabsQuad(m - (static_cast<Quad>(std::fabs(d)) + down) / 2);
    out.midpointDistance = static_cast<double>((toUpper < toLower ? toUpper : toLower) / ulp);
    return out;
}

// Quadruple values are trusted to within 2^-108 of themselves, which is
// 2^-55 or 2^-56 ulps of a double.
constexpr double quadUndecidedBelow = 0x1p-54;

struct Tally {
    long arguments = 0;
    long mismatches = 0;
    long notQuick = 0;       // left open by the quick stage
    long slowPath = 0;       // left open by both fixed-point stages: decided by the exact stage
    long quadUndecided = 0;  // the exact stage was the reference
    long asymmetric = 0;
    double hardestSin = 1.0, hardestCos = 1.0;  // smallest midpoint distances seen, in ulps
    double hardestSinArgument = 0.0, hardestCosArgument = 0.0;
};

void compare(const char* stage, double x, const SinCos& got, double wantSin, double wantCos, Tally& tally) {
    if (sameBits(got.sin, wantSin) && sameBits(got.cos, wantCos)) return;
    if (tally.mismatches < 10) {
        ADD_FAILURE() << stage << std::hexfloat << ": x = " << x << ": sin " << got.sin << " want " << wantSin
                      << ", cos " << got.cos << " want " << wantCos;
    }
    ++tally.mismatches;
}

// Checks one argument (and its negation) through sinCos and every stage that
// decides it, and records it. The exact stage, slow on purpose, is compared
// on every exactEvery-th argument and wherever it is needed.
void check(double x, Tally& tally, bool engineRange = true, long exactEvery = 1) {
    const QuadRounding qs = roundQuad(sinQuad(x)), qc = roundQuad(cosQuad(x));
    double wantSin = qs.value, wantCos = qc.value;
    const bool quadDecides = qs.midpointDistance >= quadUndecidedBelow && qc.midpointDistance >= quadUndecidedBelow;
    if (!quadDecides) {
        ++tally.quadUndecided;
        const SinCos exact = trig::exactSinCos(x);
        if (qs.midpointDistance < quadUndecidedBelow) wantSin = exact.sin;
        if (qc.midpointDistance < quadUndecidedBelow) wantCos = exact.cos;
    }
    compare("sinCos", x, sinCos(x), wantSin, wantCos, tally);
    SinCos stage;
    if (trig::quickSinCos(x, stage)) {
        compare("quick stage", x, stage, wantSin, wantCos, tally);
    } else {
        ++tally.notQuick;
    }
    if (trig::fixedSinCos(x, stage)) {
        compare("fixed stage", x, stage, wantSin, wantCos, tally);
    } else {
        ++tally.slowPath;
    }
    if (tally.arguments % exactEvery == 0 && quadDecides) compare("exact stage", x, trig::exactSinCos(x), wantSin, wantCos, tally);
    ++tally.arguments;

    const SinCos got = sinCos(x), mirrored = sinCos(-x);
    if (!sameBits(mirrored.sin, -got.sin) || !sameBits(mirrored.cos, got.cos)) ++tally.asymmetric;
    if (engineRange) {
        if (qs.midpointDistance < tally.hardestSin) {
            tally.hardestSin = qs.midpointDistance;
            tally.hardestSinArgument = x;
        }
        if (qc.midpointDistance < tally.hardestCos) {
            tally.hardestCos = qc.midpointDistance;
            tally.hardestCosArgument = x;
        }
    }
}

void report(const char* what, const Tally& t) {
    std::printf("%s: %ld arguments, %ld mismatches, %ld asymmetric; %ld left open by the quick stage, %ld by both "
                "fixed-point stages (the slow path); the exact stage was the reference for %ld\n",
                what, t.arguments, t.mismatches, t.asymmetric, t.notQuick, t.slowPath, t.quadUndecided);
    if (t.hardestSin == 1.0) return;
    std::printf("  hardest sin in [-2pi, 2pi]: %a, %.3g ulp from a midpoint; hardest cos: %a, %.3g ulp\n",
                t.hardestSinArgument, t.hardestSin, t.hardestCosArgument, t.hardestCos);
}

constexpr double fullTurn = 6.283185307179586;

const Quad halfPi = parseQuad("1.57079632679489661923132169163975144209858469968755291");

// Arguments of several kinds in turn: what the engine passes (angles within a
// turn either way, single-precision ones, spins times times), then near
// multiples of pi/2, any magnitude, and any bit pattern at all.
double randomArgument(long i, std::mt19937_64& rng, bool& engineRange) {
    std::uniform_real_distribution<double> turn(-2 * fullTurn, 2 * fullTurn);
    engineRange = true;
    switch (i % 6) {
        case 0:
            return turn(rng) / 2;
        case 1:
            return static_cast<float>(turn(rng) / 2);
        case 2: {
            const double spin = std::uniform_real_distribution<double>(-60.0, 60.0)(rng);
            const float dt = std::uniform_real_distribution<float>(0.0f, 0.1f)(rng);
            return spin * static_cast<double>(dt);
        }
        case 3: {
            engineRange = false;
            const long k = std::uniform_int_distribution<long>(1, 1L << 30)(rng);
            const double nearest = static_cast<double>(k * halfPi);
            const long step = std::uniform_int_distribution<long>(-3, 3)(rng);
            return fromBits(bitsOf(nearest) + static_cast<uint64_t>(step));
        }
        case 4: {
            engineRange = false;
            const double m = std::uniform_real_distribution<double>(1.0, 2.0)(rng);
            const int e = std::uniform_int_distribution<int>(-40, 40)(rng);
            return (rng() & 1) ? std::ldexp(m, e) : -std::ldexp(m, e);
        }
        default: {
            engineRange = false;
            uint64_t b = rng();
            if ((b >> 52 & 0x7ff) == 0x7ff) b ^= 1ull << 62;  // keep it finite
            return fromBits(b);
        }
    }
}

}  // namespace

TEST(Trig, MatchesQuadPrecisionOnRandomArguments) {
    const long count = environmentCount("PRALLWERK_TRIG_ARGUMENTS", defaultArguments);
    std::mt19937_64 rng(static_cast<uint64_t>(environmentCount("PRALLWERK_TRIG_SEED", 20261207)));
    Tally tally;
    for (long i = 0; i < count; ++i) {
        bool engineRange = true;
        const double x = randomArgument(i, rng, engineRange);
        check(x, tally, engineRange, 256);
    }
    report("random", tally);
    EXPECT_EQ(tally.mismatches, 0);
    EXPECT_EQ(tally.asymmetric, 0);
}

// Tiny angles are engine angles too. For x = m * 2^-78 (m of 53 bits) the sine
// lies x^3/6 below x, and as m steps that distance sweeps through half a unit
// in the last place in steps of about 2^-53 ulp; the nearest m makes sin x as
// close to a midpoint as doubles can come. The same for 1 - cos x = x^2/2 near
// the spacing below 1. These were found with exact rational arithmetic, and
// lie within 2^-52 to 2^-50 ulp of a midpoint, so the fast stage's bound
// cannot decide them.
TEST(Trig, HardestArgumentsInTheEngineRange) {
    const double hardSines[] = {
        0x1.7137449123ef6p-26, 0x1.8db9cb7511e9ep-25, 0x1.7137449123ef7p-26, 0x1.4f747439b348bp-25,
        0x1.7137449123ef5p-26, 0x1.e3cf476542bd1p-25, 0x1.7137449123ef8p-26, 0x1.bcee70ebe7ecap-25,
        0x1.30c7efbee12aep-24, 0x1.4f747439b348ap-25, 0x1.7137449123ef4p-26, 0x1.45dd7c26e54bbp-24,
        0x1.7137449123ef9p-26, 0x1.184a0aa581920p-24,
    };
    const double hardCosines[] = {
        0x1.2c2fc595456a7p-25, 0x1.726d41832a0c0p-24, 0x1.94c583ada5b53p-26, 0x1.3988e1409212fp-26,
        0x1.8a85c24f7065ap-25, 0x1.3988e1409212ep-26, 0x1.deeea11683f49p-26, 0x1.2f9422c23c47fp-24,
        0x1.deeea11683f4ap-26, 0x1.94c583ada5b52p-26, 0x1.f7efbeb8d4f13p-25, 0x1.752e50db3a3a2p-25,
        0x1.28c17b9337835p-24, 0x1.b211b1c70d024p-25,
    };
    // The hardest of 10^8 random arguments in [-2pi, 2pi] (the long form, seed
    // 20261207).
    const double hardFromSearch[] = {
        0x1.6e5ac5b2d70a6p+2,  // sin 2.8e-9 ulp from a midpoint
        0x1.d4c04e8c4f02p-1,   // cos 1.5e-8 ulp from a midpoint
    };
    Tally tally;
    for (double x : hardSines) check(x, tally);
    for (double x : hardCosines) check(x, tally);
    for (double x : hardFromSearch) check(x, tally);
    report("hardest", tally);
    EXPECT_EQ(tally.mismatches, 0);
    EXPECT_EQ(tally.asymmetric, 0);
    EXPECT_LT(tally.hardestSin, 0x1p-50);
    EXPECT_LT(tally.hardestCos, 0x1p-50);
    // The constructed ones are beyond the quick stage, and half of them
    // beyond the fixed one too.
    EXPECT_EQ(tally.notQuick, tally.arguments);
    EXPECT_GE(tally.slowPath, 14);
}

// The stages on their own: wherever one decides, it gives the bits of the
// exact stage.
TEST(Trig, StagesAgreeWithTheExactStage) {
    std::mt19937_64 rng(7);
    int quick = 0, fixed = 0;
    for (long i = 0; i < 6000; ++i) {
        bool engineRange = true;
        const double x = randomArgument(i, rng, engineRange);
        const SinCos exact = trig::exactSinCos(x);
        SinCos stage;
        if (trig::quickSinCos(x, stage)) {
            ASSERT_TRUE(sameBits(exact.sin, stage.sin) && sameBits(exact.cos, stage.cos)) << std::hexfloat << x;
            ++quick;
        }
        if (trig::fixedSinCos(x, stage)) {
            ASSERT_TRUE(sameBits(exact.sin, stage.sin) && sameBits(exact.cos, stage.cos)) << std::hexfloat << x;
            ++fixed;
        }
    }
    EXPECT_GT(quick, 5900);
    EXPECT_GT(fixed, 5990);
}

// Near multiples of pi/2 the reduced angle keeps only the bits of x that pi/2
// does not cancel; an inexact reduction shows there first.
TEST(Trig, NearMultiplesOfHalfPi) {
    Tally tally;
    for (long k = 1; k <= 8000; ++k) {
        const double nearest = static_cast<double>(k * halfPi);
        for (int step = -2; step <= 2; ++step) check(fromBits(bitsOf(nearest) + static_cast<uint64_t>(step)), tally, false);
    }
    for (int e = 20; e <= 1000; e += 7) {
        const double nearest = static_cast<double>(ldexpQuad(halfPi, e));
        check(nearest, tally, false);
    }
    // The double closest to a multiple of pi/2 (about 2^-61 from it).
    check(0x1.6ac5b262ca1ffp+849, tally, false);
    check(std::ldexp(6381956970095103.0, 797), tally, false);
    report("near k pi/2", tally);
    EXPECT_EQ(tally.mismatches, 0);
    EXPECT_EQ(tally.asymmetric, 0);
}

TEST(Trig, TinyHugeAndSpecialArguments) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {nan, -nan, inf, -inf}) {
        const SinCos r = sinCos(x);
        EXPECT_TRUE(std::isnan(r.sin) && std::isnan(r.cos)) << x;
        EXPECT_TRUE(std::isnan(sine(x)) && std::isnan(cosine(x))) << x;
    }
    for (double zero : {0.0, -0.0}) {
        const SinCos r = sinCos(zero);
        EXPECT_TRUE(sameBits(r.sin, zero));
        EXPECT_EQ(r.cos, 1.0);
    }
    const double denormMin = std::numeric_limits<double>::denorm_min();
    const double doubleMax = std::numeric_limits<double>::max();
    Tally tally;
    for (double x : {denormMin, 0x1p-1022, 0x1.fffffffffffffp-28, 0x1p-27, 0x1.0000000000001p-27, 0x1p-26,
                     0.78125, std::nextafter(0.78125, 0.0), 0.7853981633974483, 0.7853981633974484, 1.0,
                     6.283185307179586, 6.2831854820251465, 1e22, 0x1p1023, doubleMax,
                     // glibc rounds the cosine of the first and the sine of the second the other way
                     0.473, 0.259}) {
        check(x, tally, false);
    }
    report("special", tally);
    EXPECT_EQ(tally.mismatches, 0);
    EXPECT_EQ(tally.asymmetric, 0);
    for (double x : {1e-300, -3e-10, 2.5, -1e300}) {
        const SinCos r = sinCos(x);
        EXPECT_TRUE(sameBits(sine(x), r.sin) && sameBits(cosine(x), r.cos)) << x;
    }
}

// The 128-bit products that the stages build from 64-bit words: by 32-bit
// halves (what WebAssembly runs), signed, and modulo 2^128, each against the
// compiler's own 128-bit arithmetic.
TEST(Trig, WideProductsMatchTheCompilersOwn) {
    using trigStages::i128;
    using trigStages::u128;
    std::vector<uint64_t> words = {0, 1, 2, 0xffffffffull, 0x100000000ull, 0x7fffffffffffffffull,
                                   0x8000000000000000ull, ~0ull, ~0ull - 1, 0xffffffff00000000ull};
    std::mt19937_64 rng(11);
    for (int i = 0; i < 2000; ++i) words.push_back(rng() >> (rng() & 63));
    for (size_t i = 0; i < words.size(); ++i) {
        const uint64_t a = words[i], b = words[(i * 7 + 3) % words.size()];
        ASSERT_TRUE(trigStages::mulWideByHalves(a, b) == static_cast<u128>(a) * b) << a << " * " << b;
        const int64_t sa = static_cast<int64_t>(a), sb = static_cast<int64_t>(b);
        ASSERT_TRUE(trigStages::mulWideSigned(sa, sb) == static_cast<i128>(sa) * sb) << sa << " * " << sb;
        const u128 v = trigStages::make128(b, a);
        ASSERT_TRUE(trigStages::mulLow128(a, v) == static_cast<u128>(a) * v) << a << " * (" << b << ", " << a << ")";
    }
}

#if defined(__SIZEOF_INT128__)
// The 128-bit words that compilers without __int128 use (32-bit x86, for
// one), operation by operation against the compiler's own 128-bit integers.
TEST(Trig, WideWordsMatchTheCompilersOwnIntegers) {
    using trigStages::SignedWide128;
    using trigStages::Wide128;
    __extension__ typedef unsigned __int128 native;
    __extension__ typedef __int128 nativeSigned;
    const auto words = [](native v) { return Wide128::of(static_cast<uint64_t>(v >> 64), static_cast<uint64_t>(v)); };
    const auto same = [](Wide128 w, native v) {
        return w.hi == static_cast<uint64_t>(v >> 64) && w.lo == static_cast<uint64_t>(v);
    };
    std::vector<native> values = {0, 1, 2, ~static_cast<native>(0), static_cast<native>(1) << 63,
                                  static_cast<native>(1) << 64, static_cast<native>(1) << 127,
                                  (static_cast<native>(1) << 127) - 1, static_cast<native>(~0ull)};
    std::mt19937_64 rng(128);
    for (int i = 0; i < 600; ++i) {
        // Words of every length, and values that share their high words.
        const native v = (static_cast<native>(rng()) << 64 | rng()) >> (rng() & 127);
        values.push_back(v);
        values.push_back(i % 2 ? (v & ~static_cast<native>(~0ull)) | rng() : v + 1);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        const native a = values[i], b = values[(i * 13 + 5) % values.size()];
        const Wide128 wa = words(a), wb = words(b);
        SCOPED_TRACE(testing::Message() << std::hex << "a = " << static_cast<uint64_t>(a >> 64) << ":"
                                        << static_cast<uint64_t>(a) << ", b = " << static_cast<uint64_t>(b >> 64)
                                        << ":" << static_cast<uint64_t>(b));
        ASSERT_TRUE(same(wa + wb, a + b));
        ASSERT_TRUE(same(wa - wb, a - b));
        ASSERT_TRUE(same(-wa, -a));
        ASSERT_TRUE(same(wa * wb, a * b));
        ASSERT_TRUE(same(wa | wb, a | b));
        ASSERT_TRUE(same(wa & wb, a & b));
        ASSERT_EQ(wa == wb, a == b);
        ASSERT_EQ(wa != wb, a != b);
        ASSERT_EQ(wa < wb, a < b);
        ASSERT_EQ(wa > wb, a > b);
        ASSERT_EQ(wa <= wb, a <= b);
        ASSERT_EQ(wa >= wb, a >= b);
        ASSERT_EQ(wa == wa, true);
        ASSERT_EQ(static_cast<uint64_t>(wa), static_cast<uint64_t>(a));
        ASSERT_EQ(static_cast<unsigned>(wa), static_cast<unsigned>(a));
        if (b != 0) {
            ASSERT_TRUE(same(wa / wb, a / b));
            ASSERT_TRUE(same(wa % wb, a % b));
            // The exact stage divides by small numbers: 32-bit and 64-bit ones.
            for (const uint64_t d : {static_cast<uint64_t>(b) | 1, static_cast<uint64_t>(b) & 0xffffffffu,
                                     static_cast<uint64_t>(b >> 96), uint64_t{0xffffffffu}, uint64_t{0x100000000u}}) {
                if (d == 0) continue;
                ASSERT_TRUE(same(wa / d, a / d)) << d;
                ASSERT_TRUE(same(wa % d, a % d)) << d;
            }
        }
        const int s = static_cast<int>(i % 128);
        ASSERT_TRUE(same(wa << s, a << s)) << s;
        ASSERT_TRUE(same(wa >> s, a >> s)) << s;
        Wide128 sum = wa;
        sum += wb;
        sum -= words(1);
        ASSERT_TRUE(same(sum, a + b - 1));

        const nativeSigned sa = static_cast<nativeSigned>(a), sb = static_cast<nativeSigned>(b);
        const SignedWide128 swa(wa), swb(wb);
        ASSERT_TRUE(same(static_cast<Wide128>(swa >> s), static_cast<native>(sa >> s))) << s;
        // The product wraps as the unsigned one does (the signed one would overflow).
        ASSERT_TRUE(same(static_cast<Wide128>(swa * swb), a * b));
        ASSERT_EQ(swa < swb, sa < sb);
        ASSERT_EQ(swa < 0, sa < 0);
        ASSERT_EQ(swa == swb, sa == sb);
        // From 64-bit integers, sign-extended when signed.
        const int64_t narrow = static_cast<int64_t>(b);
        ASSERT_TRUE(same(Wide128(narrow), static_cast<native>(narrow)));
        ASSERT_TRUE(same(Wide128(static_cast<uint64_t>(b)), static_cast<native>(static_cast<uint64_t>(b))));
        ASSERT_TRUE(same(static_cast<Wide128>(SignedWide128(narrow)), static_cast<native>(static_cast<nativeSigned>(narrow))));
    }
    for (int s = 0; s < 128; ++s) {
        const native v = static_cast<native>(1) << 127 | 0x123456789abcdefull;
        ASSERT_TRUE(same(static_cast<Wide128>(SignedWide128(words(v)) >> s),
                         static_cast<native>(static_cast<nativeSigned>(v) >> s))) << s;
    }
    // What the quick stage computes once, at compile time.
    constexpr uint64_t sixth = static_cast<uint64_t>((Wide128(1) << 64) / 6);
    static_assert(sixth == 0x2aaaaaaaaaaaaaaaull, "2^64 / 6");
}
#endif
