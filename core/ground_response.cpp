#include "prallwerk/core/rigid_body.h"

// The two ways a body meets its floor once the ground search has found the
// instant: it bounces off it, or (when a step stalls) it lands on it.

namespace prallwerk {

namespace {

// Share of the speed kept at a bounce.
constexpr double sphereBounce = 0.75;
constexpr double boxBounce = 0.5;
// Spin gained per unit of the velocity products at a bounce: 0.05 single.
constexpr double bounceSpinKick = static_cast<double>(0.05f);
// Spin kept by a sphere at a bounce: 0.999999 single.
constexpr double sphereBounceSpin = static_cast<double>(0.999999f);
// Spin kept by a box at a bounce, times its restitution.
constexpr double boxBounceSpin = 0.75;

// Spin kick of a bounce from the velocity after it: no lever arm, no friction.
Vec3 bounceKick(const Vec3& v) { return {-(v.z * v.y), v.z * v.x, v.x * v.y}; }

}  // namespace

void RigidBody::groundResponse(float t) {
    double keep, spinKeep;
    if (kind == kindSphere) {
        keep = sphereBounce;
        spinKeep = sphereBounceSpin;
    } else if (kind == kindBox) {
        keep = boxBounce;
        spinKeep = static_cast<double>(restitution) * boxBounceSpin;
    } else {
        return;
    }
    advance(t, pivotCentre);
    // The floor is taken as horizontal whatever is under the body.
    velocity = (static_cast<double>(restitution) * keep) * velocity;
    velocity.z = -velocity.z;
    spin = spin + bounceSpinKick * bounceKick(velocity);
    spin = spinKeep * spin;
}

void RigidBody::landOnFloor(float t) {
    if (kind != kindSphere && kind != kindBox) return;
    advance(t, pivotCentre);
    // The search left the body at the last sample above its floor; the rest
    // of the way down is shorter than one sample's fall.
    const double floor = floorHeight;
    const double rest = kind == kindSphere ? floor + radius : floor - lowestCornerOffset(box);
    if (position.z > rest) position.z = rest;
    velocity = {};
}

}  // namespace prallwerk
