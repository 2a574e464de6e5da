#pragma once

#include <cmath>

#include "prallwerk/core/rigid_body.h"

// Geometry of bodies as the tests judge it, written from the shapes alone
// (not from the engine's contact tests), so that a fault in those is caught.

// Whether point p lies strictly inside body b (a sphere's ball, a box's
// oriented box as its corners stand), shrunk by margin on every side.
inline bool pointInsideBody(const prallwerk::Vec3& p, const prallwerk::RigidBody& b, double margin = 0.0) {
    using prallwerk::Vec3;
    const Vec3 d = p - b.position;
    if (b.kind == prallwerk::kindSphere) return d.length() < static_cast<double>(b.radius) - margin;
    if (b.kind != prallwerk::kindBox) return false;
    // The box's own axes from its corners (numbering of box_shape.h).
    const Vec3* c = b.box.corners;
    const Vec3 ex = 0.5 * (c[1] - c[0]);  // half the x edge
    const Vec3 ey = 0.5 * (c[3] - c[0]);  // half the y edge
    const Vec3 ez = 0.5 * (c[4] - c[0]);  // half the z edge
    for (const Vec3& e : {ex, ey, ez}) {
        const double half = e.length();
        if (half == 0.0) return false;
        if (!(std::fabs(prallwerk::dot(d, e)) / half < half - margin)) return false;
    }
    return true;
}

// A cube of the given edge, its corners set.
inline prallwerk::BoxShape cube(float edge) {
    prallwerk::BoxShape b;
    b.width = b.length = b.height = edge;
    b.resetCorners();
    return b;
}

// Height of a body's lowest point.
inline double bottomOf(const prallwerk::RigidBody& b) {
    if (b.kind == prallwerk::kindSphere) return b.position.z - b.radius;
    return b.position.z + prallwerk::lowestCornerOffset(b.box);
}

// Kinetic and potential energy of a body under gravity g along -z (J); the
// potential is measured from z = 0. Spin has no energy in this model.
inline double energyOf(const prallwerk::RigidBody& b, double g) {
    const double m = b.mass;
    return 0.5 * m * prallwerk::dot(b.velocity, b.velocity) + m * g * b.position.z;
}
