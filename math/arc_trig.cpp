#include "prallwerk/math/arc_trig.h"

#include <cmath>

namespace prallwerk {

namespace {

// The multiples of pi that the quadrants add, each as the double nearest to
// it (Hi) and the rest of it (Lo): adding the rest after the reduced angle
// keeps the sum within about half a unit of its last place.
constexpr double quarterPiHi = 0x1.921fb54442d18p-1;
constexpr double quarterPiLo = 0x1.1a62633145c07p-55;
constexpr double halfPiHi = 0x1.921fb54442d18p+0;
constexpr double halfPiLo = 0x1.1a62633145c07p-54;
constexpr double piHi = 0x1.921fb54442d18p+1;
constexpr double piLo = 0x1.1a62633145c07p-53;
// 3 pi / 4, rounded: the angle of (-inf, inf).
constexpr double threeQuarterPi = 0x1.2d97c7f3321d2p+1;

// atan s = s + s z Q(z), z = s^2, for |s| <= 35/64: Q of degree 12, fitted to
// the arc tangent's relative error by exchange on z in [0, 0.3]. Its own
// error is below a twentieth of a unit in the last place; with the rounding
// of the coefficients and of Horner's rule the sum stays within about one.
constexpr int atanTerms = 13;
constexpr double atanCoefficients[atanTerms] = {
    -0x1.5555555555548p-2, 0x1.9999999997338p-3,  -0x1.2492492383454p-3, 0x1.c71c7156d398ap-4,
    -0x1.745d0a0f45421p-4, 0x1.3b12b6c6eccd7p-4,  -0x1.1104ac6dcfa7ep-4, 0x1.e10855db85d83p-5,
    -0x1.a9e2bd5752d47p-5, 0x1.6ecaec73410c3p-5,  -0x1.1af36e1df263ep-5, 0x1.4b1be3f2ad25fp-6,
    -0x1.9f13467b728cap-8,
};

// Ratios n / d above this are reduced by atan t = pi/4 + atan((t-1)/(t+1)),
// which brings (35/64, 1] to (-29/99, 0]. It lies just above tan(1/2), so
// that the reduced angles, from 1/2 up, share one binade with pi/4 and the
// reduction's rounding costs a fraction of their last place; the series
// covers the ratios below it.
constexpr double reductionStart = 0x1.18p-1;  // 35/64

// Above this the sum n + d of the reduction could overflow; both are halved
// first (exactly: they are far from the subnormals).
constexpr double sumOverflowGuard = 0x1p1020;

// atan s for |s| <= 35/64. The leading s is added last, so that the rounding
// of the small correction hardly counts.
double seriesArcTangent(double s) {
    const double z = s * s;
    double q = atanCoefficients[atanTerms - 1];
    for (int i = atanTerms - 2; i >= 0; --i) q = q * z + atanCoefficients[i];
    return s + s * (z * q);
}

// atan(n / d) for 0 <= n <= d, d > 0 (d may be infinite), within [0, pi/4].
double arcTangentOfRatio(double n, double d) {
    if (n <= reductionStart * d) return seriesArcTangent(n / d);
    if (d > sumOverflowGuard) {
        n *= 0.5;
        d *= 0.5;
    }
    // (n - d) / (n + d) rather than (t - 1) / (t + 1): n - d is exact, as n
    // lies within a factor two of d, so the reduced argument is rounded twice
    // and not four times.
    const double s = (n - d) / (n + d);
    return quarterPiHi + (seriesArcTangent(s) + quarterPiLo);
}

}  // namespace

double arcTangent2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const bool left = std::signbit(x);
    double r;
    if (std::isinf(ax) && std::isinf(ay)) {
        r = left ? threeQuarterPi : quarterPiHi;
    } else if (ay <= ax) {
        // Within pi/4 of the x axis. Both zero would be 0 / 0: the angle of
        // a zero y is that of the axis its x points along.
        const double near = ay == 0.0 ? 0.0 : arcTangentOfRatio(ay, ax);
        r = left ? piHi - (near - piLo) : near;
    } else {
        // Within pi/4 of the y axis: the angle from it, taken from pi/2.
        const double fromY = arcTangentOfRatio(ax, ay);
        r = left ? halfPiHi + (fromY + halfPiLo) : halfPiHi - (fromY - halfPiLo);
    }
    return std::signbit(y) ? -r : r;
}

double arcSine(double x) {
    if (std::isnan(x)) return x;
    const double s = x > 1.0 ? 1.0 : (x < -1.0 ? -1.0 : x);
    // The cosine as (1 - s)(1 + s) rather than 1 - s^2: near s = +-1 the
    // factor that vanishes is exact, so the cosine keeps its relative
    // precision where the arc sine is most sensitive to it.
    return arcTangent2(s, std::sqrt((1.0 - s) * (1.0 + s)));
}

}  // namespace prallwerk
