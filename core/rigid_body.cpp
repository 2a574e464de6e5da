#include "prallwerk/core/rigid_body.h"

#include <cmath>

namespace prallwerk {

namespace {

// Beyond this many turns the repeated subtraction of whole turns would take
// too long (and stops working at all once a turn is below the angle's last
// bit), so the angle is reduced by an exact remainder instead. Up to it the
// subtraction runs as it always has, so ordinary angles keep their exact
// rounding history.
constexpr double wrapLoopLimit = 64.0 * twoPi;

double wrapAngle(double a) {
    if (!std::isfinite(a)) return 0.0;
    if (std::fabs(a) > wrapLoopLimit) a = std::fmod(a, twoPi);
    while (a > twoPi) a -= twoPi;
    while (a < -twoPi) a += twoPi;
    return a;
}

}  // namespace

Vec3 wrapAngles(double a, double b, double c) { return {wrapAngle(a), wrapAngle(b), wrapAngle(c)}; }

Vec3 RigidBody::predictVelocity(float dt) const {
    const double inverseMass = 1.0 / static_cast<double>(mass);
    const double t = dt;
    return {velocity.x + t * (force.x * inverseMass),
            velocity.y + t * (force.y * inverseMass),
            velocity.z + t * (force.z * inverseMass)};
}

Vec3 RigidBody::predictPosition(float dt, const Vec3& v) const {
    return position + static_cast<double>(dt) * v;
}

Vec3 RigidBody::predictAngles(float dt, const Vec3& w) const {
    const Vec3 a = angles + static_cast<double>(dt) * w;
    return wrapAngles(a.x, a.y, a.z);
}

void RigidBody::advance(float dt, int pivot) {
    if (kind != kindSphere && kind != kindBox) return;
    velocity = predictVelocity(dt);
    position = position + static_cast<double>(dt) * velocity;
    angles = predictAngles(dt, spin);
    if (kind == kindBox) {
        // Rebuilding the corners turns the box about its centre; shifting the
        // body back by how far the pivot corner moved makes it turn about that
        // corner instead.
        position = position - box.reorient(angles.x, angles.y, angles.z, pivot);
    }
}

}  // namespace prallwerk
