#pragma once

// Bodies under the physical rules for the tests: a sphere or a box of the
// given size and mass, at rest, unturned, with its orientation's fields set
// and its first part to come (as the world marks the bodies it puts under
// these rules).

#include "prallwerk/core/physical_body.h"
#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

inline RigidBody physicalSphere(double radius, float mass, const Vec3& position, const Vec3& velocity = {}) {
    RigidBody b(mass);
    b.kind = kindSphere;
    b.radius = static_cast<float>(radius);
    b.position = position;
    b.velocity = velocity;
    b.halfFirstPart = true;
    return b;
}

inline RigidBody physicalBox(float length, float width, float height, float mass, const Vec3& position,
                             const Vec3& velocity = {}, const Quat& orientation = {}) {
    RigidBody b(mass);
    b.kind = kindBox;
    b.box.length = length;
    b.box.width = width;
    b.box.height = height;
    b.box.resetCorners();
    b.position = position;
    b.velocity = velocity;
    setOrientation(b, orientation);
    b.halfFirstPart = true;
    return b;
}

// Linear momentum (kg m/s).
inline Vec3 momentumOf(const RigidBody& b) { return static_cast<double>(b.mass) * b.velocity; }

// Angular momentum about the origin: r x m v + I w, with I in world axes
// (kg m^2/s).
inline Vec3 angularMomentumOf(const RigidBody& b) {
    Vec3 orbital;
    orbital.cross(b.position, momentumOf(b));
    const Vec3 inertia = principalInertia(b);
    const Vec3 w = unrotated(b.orientation, b.spin);
    const Vec3 own = rotated(b.orientation, {inertia.x * w.x, inertia.y * w.y, inertia.z * w.z});
    return orbital + own;
}

}  // namespace prallwerk
