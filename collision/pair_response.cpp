#include "prallwerk/collision/pair_response.h"

#include <cmath>

namespace prallwerk {

namespace {

// Share of the exchanged speed kept after a pair impact.
constexpr double pairSpeedDamping = 0.75;
// Spin gained per unit of the velocity products: 0.051 for the first body of
// the pair, 0.05 for the second, both in single precision.
constexpr double firstSpinKick = static_cast<double>(0.051f);
constexpr double secondSpinKick = static_cast<double>(0.05f);
// Spin kept after a pair impact.
constexpr double pairSpinDamping = 0.75;

// Direction d mirrored about n; the zero vector as n leaves d unchanged.
Vec3 mirrored(const Vec3& d, const Vec3& n) { return d - (2.0 * dot(d, n)) * n; }

}  // namespace

void resolvePairImpact(RigidBody& a, RigidBody& b, float t, const Vec3& normalA, const Vec3& normalB) {
    a.advance(t, pivotCentre);
    b.advance(t, pivotCentre);

    // Speeds are exchanged as in a one-dimensional elastic impact; each body
    // keeps its own direction of motion, mirrored about its contact vector.
    // A body at rest has no direction and therefore stays at rest.
    const float sA = static_cast<float>(a.velocity.length());
    const float sB = static_cast<float>(b.velocity.length());
    a.velocity = mirrored(a.velocity.normalized(), normalA);
    b.velocity = mirrored(b.velocity.normalized(), normalB);

    const double mA = a.mass;
    const double mB = b.mass;
    // The formulas give a negative speed to a light body that hits a heavy
    // one; its mirrored direction already turns it back, so only the size
    // of the speed is taken (a negative one would send it on into the other
    // body).
    const double newA = std::fabs(((mA - mB) * sA + 2.0 * mB * sB) / (mA + mB));
    const double newB = std::fabs(((mB - mA) * sB + 2.0 * mA * sA) / (mA + mB));
    a.velocity = pairSpeedDamping * (newA * a.velocity);
    b.velocity = pairSpeedDamping * (newB * b.velocity);

    const Vec3& va = a.velocity;
    const Vec3& vb = b.velocity;
    a.spin = a.spin + firstSpinKick * Vec3{-(va.z * va.y), va.z * va.x, va.y * va.x};
    b.spin = b.spin + secondSpinKick * Vec3{-(vb.y * vb.z), vb.z * vb.x, vb.y * vb.x};
    a.spin = pairSpinDamping * a.spin;
    b.spin = pairSpinDamping * b.spin;
}

}  // namespace prallwerk
