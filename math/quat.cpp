#include "prallwerk/math/quat.h"

#include <cmath>

#include "prallwerk/math/arc_trig.h"
#include "prallwerk/math/trig.h"

namespace prallwerk {

namespace {

// pi and 2 pi rounded to double, for bringing an angle difference back into
// [-pi, pi].
constexpr double piRounded = 0x1.921fb54442d18p+1;
constexpr double twoPiRounded = 0x1.921fb54442d18p+2;
// pi/2 rounded: the middle angle at which the outer two turn about one axis.
constexpr double halfPiRounded = 0x1.921fb54442d18p+0;
// The lock: the middle angle is +-pi/2 to within rounding when the vanishing
// one of the factors cos(y/2) -+ sin(y/2) is this small against the other
// (a few units in the last place of the quaternion's components). The
// half angle that goes with it is then decided by rounding alone, and
// setting x to 0 moves the turn by less than this times pi.
constexpr double lockFactor = 0x1p-50;

Vec3 vectorPart(const Quat& q) { return {q.x, q.y, q.z}; }

// An angle within [-2 pi, 2 pi] brought into [-pi, pi].
double withinHalfTurn(double a) {
    if (a > piRounded) return a - twoPiRounded;
    if (a < -piRounded) return a + twoPiRounded;
    return a;
}

}  // namespace

Quat operator*(const Quat& a, const Quat& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quat unitQuat(const Quat& q) {
    const double length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (length == 0.0 || !std::isfinite(length)) return {};
    const double r = 1.0 / length;
    return {q.w * r, q.x * r, q.y * r, q.z * r};
}

Vec3 rotated(const Quat& q, const Vec3& v) {
    // q v q* = v + w t + u x t with t = 2 u x v (u the vector part): the
    // product written out for a unit q, two cross products instead of two
    // quaternion products.
    const Vec3 u = vectorPart(q);
    const Vec3 t = 2.0 * Vec3().cross(u, v);
    return v + q.w * t + Vec3().cross(u, t);
}

Vec3 unrotated(const Quat& q, const Vec3& v) { return rotated({q.w, -q.x, -q.y, -q.z}, v); }

Quat turnedBy(const Quat& q, const Vec3& omega, double dt) {
    // dq/dt = (0, omega) q / 2 for omega in world axes; one Euler step of it
    // leaves the unit sphere by a second-order amount, which unitQuat takes
    // back off.
    const Quat spin{0.0, omega.x, omega.y, omega.z};
    const Quat rate = spin * q;
    const double h = 0.5 * dt;
    return unitQuat({q.w + h * rate.w, q.x + h * rate.x, q.y + h * rate.y, q.z + h * rate.z});
}

Quat quatFromAngles(const Vec3& angles) {
    const SinCos hx = sinCos(0.5 * angles.x);
    const SinCos hy = sinCos(0.5 * angles.y);
    const SinCos hz = sinCos(0.5 * angles.z);
    // The turn about x comes first, so it is the rightmost factor.
    const Quat turnX{hx.cos, hx.sin, 0.0, 0.0};
    const Quat turnY{hy.cos, 0.0, hy.sin, 0.0};
    const Quat turnZ{hz.cos, 0.0, 0.0, hz.sin};
    return turnZ * (turnY * turnX);
}

Vec3 anglesOf(const Quat& q) {
    // For turns a, b, c about x, y, z, and C = cos(b/2), S = sin(b/2), the
    // product turnZ turnY turnX has
    //   w + y = (C + S) cos((c - a)/2),  z - x = (C + S) sin((c - a)/2)
    //   w - y = (C - S) cos((c + a)/2),  z + x = (C - S) sin((c + a)/2).
    // So the half sum and half difference of the outer angles come from one
    // arc tangent each, and the one whose factor vanishes at the lock carries
    // no weight there: near the lock the two angles drift apart, but the
    // orientation they give stays true.
    const double sum = q.w + q.y, difference = q.w - q.y;
    const double zPlusX = q.z + q.x, zMinusX = q.z - q.x;
    const double halfSum = arcTangent2(zPlusX, difference);  // (c + a) / 2
    const double halfDifference = arcTangent2(zMinusX, sum);  // (c - a) / 2
    // The factors squared are 1 +- sin y (times |q|^2), so the factors'
    // product is cos y, and 2 (w y - x z) is sin y: the middle angle from an
    // arc tangent, well conditioned at the lock as well.
    const double plusFactor = std::sqrt(sum * sum + zMinusX * zMinusX);
    const double minusFactor = std::sqrt(difference * difference + zPlusX * zPlusX);
    // At the lock only the half angle whose factor stays counts, and it is
    // all z's.
    if (minusFactor <= lockFactor * plusFactor) return {0.0, halfPiRounded, withinHalfTurn(2.0 * halfDifference)};
    if (plusFactor <= lockFactor * minusFactor) return {0.0, -halfPiRounded, withinHalfTurn(2.0 * halfSum)};
    const double y = arcTangent2(2.0 * (q.w * q.y - q.x * q.z), plusFactor * minusFactor);
    return {withinHalfTurn(halfSum - halfDifference), y, withinHalfTurn(halfSum + halfDifference)};
}

Mat3 matrixOf(const Quat& q) {
    const double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const double xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const double wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    Mat3 m;
    m.row[0] = {1.0 - 2.0 * (yy + zz), 2.0 * (xy - wz), 2.0 * (xz + wy)};
    m.row[1] = {2.0 * (xy + wz), 1.0 - 2.0 * (xx + zz), 2.0 * (yz - wx)};
    m.row[2] = {2.0 * (xz - wy), 2.0 * (yz + wx), 1.0 - 2.0 * (xx + yy)};
    return m;
}

Vec3 transposeTimes(const Mat3& m, const Vec3& v) {
    return {m.row[0].x * v.x + m.row[1].x * v.y + m.row[2].x * v.z,
            m.row[0].y * v.x + m.row[1].y * v.y + m.row[2].y * v.z,
            m.row[0].z * v.x + m.row[1].z * v.y + m.row[2].z * v.z};
}

}  // namespace prallwerk
