// The engine's arc tangent and arc sine: the special cases of atan2, sweeps
// against quadruple precision (rounded once to double) in units in the last
// place, and pinned bits that every platform of the cross-builds must give.
#include "prallwerk/math/arc_trig.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "prallwerk/math/bits.h"

#define QUAD_IS_LONG_DOUBLE (LDBL_MANT_DIG == 113 && LDBL_MAX_EXP == 16384)
#if !QUAD_IS_LONG_DOUBLE
#include <quadmath.h>
#endif

using namespace prallwerk;

namespace {

// The reference: libquadmath, or the C library's long double where that is
// quadruple precision itself (WebAssembly), as in the sine's tests.
#if QUAD_IS_LONG_DOUBLE
using Quad = long double;
double atan2Reference(double y, double x) { return static_cast<double>(atan2l(y, x)); }
double asinReference(double x) { return static_cast<double>(asinl(x)); }
#else
using Quad = __float128;
double atan2Reference(double y, double x) { return static_cast<double>(atan2q(y, x)); }
double asinReference(double x) { return static_cast<double>(asinq(x)); }
#endif

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
// pi and its fractions rounded to double.
constexpr double pi = 0x1.921fb54442d18p+1;
constexpr double halfPi = 0x1.921fb54442d18p+0;
constexpr double quarterPi = 0x1.921fb54442d18p-1;
constexpr double threeQuarterPi = 0x1.2d97c7f3321d2p+1;

// How far from the exact value, rounded, the engine's results may lie, in
// units in the last place: its header promises a few; over 4 10^6 arguments
// the worst seen were 1 for the arc tangent and 2 for the arc sine.
constexpr int64_t arcTangentUlpBound = 1;
constexpr int64_t arcSineUlpBound = 2;

// Doubles of one sign in order as integers, so that their difference counts
// the doubles between them.
int64_t orderedBits(double d) {
    const int64_t b = static_cast<int64_t>(bitsOf(d));
    return b < 0 ? INT64_MIN - b : b;
}

int64_t ulpsApart(double a, double b) {
    const int64_t d = orderedBits(a) - orderedBits(b);
    return d < 0 ? -d : d;
}

// Random magnitudes with exponents spread over [-range, range] and either
// sign.
double spread(std::mt19937_64& rng, int range) {
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-range, range);
    const double m = std::ldexp(mantissa(rng), exponent(rng));
    return (rng() & 1) != 0 ? -m : m;
}

struct AtanCase {
    double y, x, want;
};

}  // namespace

TEST(ArcTangent2, SignedZerosInfinitiesAndAxesAsAtan2) {
    const AtanCase cases[] = {
        {+0.0, +0.0, +0.0},         {-0.0, +0.0, -0.0},           {+0.0, -0.0, pi},
        {-0.0, -0.0, -pi},          {+0.0, 3.0, +0.0},            {-0.0, 3.0, -0.0},
        {+0.0, -3.0, pi},           {-0.0, -3.0, -pi},            {2.0, +0.0, halfPi},
        {2.0, -0.0, halfPi},        {-2.0, +0.0, -halfPi},        {-2.0, -0.0, -halfPi},
        {infinity, infinity, quarterPi},      {infinity, -infinity, threeQuarterPi},  {-infinity, infinity, -quarterPi},
        {-infinity, -infinity, -threeQuarterPi}, {infinity, 5.0, halfPi},        {infinity, -5.0, halfPi},
        {-infinity, -5.0, -halfPi},      {5.0, infinity, +0.0},             {-5.0, infinity, -0.0},
        {5.0, -infinity, pi},            {-5.0, -infinity, -pi},            {1.0, 1.0, quarterPi},
        {-1.0, -1.0, -threeQuarterPi}, {0x1p-1074, 1.0, 0x1p-1074}, {DBL_MAX, DBL_MAX, quarterPi},
        {DBL_MAX, -DBL_MAX, threeQuarterPi}, {1.0, DBL_MAX, 0x1p-1024},  {DBL_MAX, 0x1p-1074, halfPi},
    };
    for (const AtanCase& c : cases) {
        EXPECT_TRUE(sameBits(arcTangent2(c.y, c.x), c.want))
            << std::hexfloat << "atan2(" << c.y << ", " << c.x << ") = " << arcTangent2(c.y, c.x) << ", want "
            << c.want;
    }
}

TEST(ArcTangent2, NotANumberGivesNotANumber) {
    const double pairs[][2] = {{notANumber, 1.0}, {1.0, notANumber}, {notANumber, notANumber}, {notANumber, infinity}, {-infinity, notANumber}, {notANumber, 0.0}};
    for (const auto& p : pairs) EXPECT_TRUE(std::isnan(arcTangent2(p[0], p[1]))) << p[0] << ", " << p[1];
}

TEST(ArcTangent2, WithinItsBoundOfTheExactValueOverWideRanges) {
    std::mt19937_64 rng(20261210);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int64_t worst = 0;
    for (int i = 0; i < 100000; ++i) {
        double y, x;
        switch (i % 4) {
            case 0:  // any ratio, magnitudes from far below to far above 1
                y = spread(rng, 600);
                x = spread(rng, 600);
                break;
            case 1:  // ratios around the reductions' seams at 1/2 and 1
                x = spread(rng, 30);
                y = x * ((i & 8) != 0 ? 0.5 : 1.0) * (1.0 + 0x1p-20 * unit(rng));
                break;
            case 2:  // the unit square, where bodies' angles come from
                y = unit(rng);
                x = unit(rng);
                break;
            default:  // huge and tiny, up to the ends of the range
                y = spread(rng, 1022) * 0x1p1;
                x = spread(rng, 1070) * ((i & 4) != 0 ? 0x1p-1 : 0x1p1);
                break;
        }
        const int64_t apart = ulpsApart(arcTangent2(y, x), atan2Reference(y, x));
        if (apart > worst) worst = apart;
        ASSERT_LE(apart, arcTangentUlpBound) << std::hexfloat << "atan2(" << y << ", " << x << ")";
    }
    RecordProperty("worstUlps", static_cast<int>(worst));
}

TEST(ArcSine, WithinItsBoundOfTheExactValue) {
    std::mt19937_64 rng(1210);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> nearEnd(1, 52);
    for (int i = 0; i < 100000; ++i) {
        double x;
        switch (i % 3) {
            case 0:
                x = unit(rng);
                break;
            case 1:  // close to +-1, where the arc sine is steepest
                x = (1.0 - std::ldexp(1.0 + unit(rng) * 0.5, -nearEnd(rng))) * ((i & 2) != 0 ? -1.0 : 1.0);
                break;
            default:  // small, where it is x itself to first order
                x = std::ldexp(unit(rng), -nearEnd(rng) * 19);
                break;
        }
        ASSERT_LE(ulpsApart(arcSine(x), asinReference(x)), arcSineUlpBound) << std::hexfloat << "asin(" << x << ")";
    }
}

TEST(ArcSine, EndsOutsideAndSpecialValues) {
    const double cases[][2] = {
        {1.0, halfPi}, {-1.0, -halfPi}, {1.5, halfPi}, {-7.0, -halfPi}, {infinity, halfPi}, {-infinity, -halfPi},
        {0.0, 0.0},    {-0.0, -0.0},    {0x1p-1074, 0x1p-1074},
    };
    for (const auto& c : cases) EXPECT_TRUE(sameBits(arcSine(c[0]), c[1])) << std::hexfloat << c[0];
    EXPECT_TRUE(std::isnan(arcSine(notANumber)));
}

// Each the exact value correctly rounded (one a unit off it, as noted), as
// the engine gives them on x86-64; every cross-build must give the same bits.
// One or more arguments for each branch: the series, the reduction at 1/2
// and above, the quadrants by the y axis and the negative x axis, a
// tiny and a huge ratio, and arc sines across [-1, 1].
TEST(ArcFunctions, PinnedBits) {
    struct Pin {
        double y, x;  // arcTangent2(y, x); x is NaN for arcSine(y)
        uint64_t bits;
    };
    const Pin pins[] = {
        {0x1p+0, 0x1p+1, 0x3fddac670561bb4fu},  // correctly rounded
        {0x1p+0, 0x1.8p+1, 0x3fd4978fa3269ee1u},  // correctly rounded
        {0x1.8p+1, -0x1p+0, 0x3ffe47df3d0dd4d0u},  // one unit off
        {-0x1p+1, -0x1.cp+2, 0xc006e8062854db5eu},  // correctly rounded
        {0x1.56e1fc2f8f359p-997, 0x1.8p+1, 0x018c92d503f699ccu},  // correctly rounded
        {0x1.3333333333333p-1, 0x1.999999999999ap-1, 0x3fe4978fa3269ee1u},  // correctly rounded
        {-0x1.4p+2, 0x1p-2, 0xbff8555a2787981fu},  // correctly rounded
        {0x1.999999999999ap-4, -0x1.9a027525460aap-4, 0x4002da8282853eadu},  // correctly rounded
        {0x1.24a35bcdc760fp+667, -0x1.7229e7abf564fp+599, 0x3ff921fb54442d18u},  // correctly rounded
        {0x1.0a3d70a3d70a4p-1, 0x1p+0, 0x3fdeb071af3a3191u},  // correctly rounded
        {0x1p-1, notANumber, 0x3fe0c152382d7366u},  // correctly rounded
        {0x1.3333333333333p-2, notANumber, 0x3fd380159e14f6ffu},  // correctly rounded
        {-0x1.fff2e48e8a71ep-1, notANumber, 0xbff8e80e1a01556au},  // correctly rounded
        {0x1.4f8b588e368f1p-17, notANumber, 0x3ee4f8b588e4e940u},  // correctly rounded
        {0x1.6a09e667f3bcdp-1, notANumber, 0x3fe921fb54442d19u},  // correctly rounded
        {-0x1p-2, notANumber, 0xbfd02be9ce0b87cdu},  // correctly rounded
        {0x1.fffffff768fa1p-1, notANumber, 0x3ff921cc6f77cacbu},  // correctly rounded
    };
    for (const Pin& p : pins) {
        const double got = std::isnan(p.x) ? arcSine(p.y) : arcTangent2(p.y, p.x);
        EXPECT_EQ(bitsOf(got), p.bits) << std::hexfloat << p.y << ", " << p.x << ": " << got;
    }
}
