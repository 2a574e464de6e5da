#pragma once

#include "prallwerk/math/vec3.h"

namespace prallwerk {

// An orientation as a unit quaternion w + x i + y j + z k. The physical
// rules keep a body's orientation in one: it turns smoothly at any angular
// velocity, where three angles lock when the middle one reaches a quarter
// turn. Every function below uses + - * / and the square root alone (and
// the engine's own sine and cosine, and its own arc functions), so the bits
// are the same on every platform.
struct Quat {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The Hamilton product: the turn b, then the turn a.
Quat operator*(const Quat& a, const Quat& b);

// q scaled to unit length. A zero or non-finite length gives the identity.
Quat unitQuat(const Quat& q);

// v turned by the unit quaternion q (q v q*), and back (q* v q).
Vec3 rotated(const Quat& q, const Vec3& v);
Vec3 unrotated(const Quat& q, const Vec3& v);

// The orientation after dt seconds at angular velocity omega (rad/s, world
// axes): q + dt/2 (0, omega) q, made unit again.
Quat turnedBy(const Quat& q, const Vec3& omega, double dt);

// The turn about x by angles.x, then about y by angles.y, then about z by
// angles.z (radians): the order in which BoxShape::reorient turns corners.
Quat quatFromAngles(const Vec3& angles);

// The angles of a unit quaternion in that order: quatFromAngles(anglesOf(q))
// turns as q does. x and z within [-pi, pi], y within [-pi/2, pi/2]; at
// y = +-pi/2, where x and z turn about the same axis, x is 0.
Vec3 anglesOf(const Quat& q);

// A 3 x 3 matrix by rows.
struct Mat3 {
    Vec3 row[3];
};

// The rotation matrix of a unit quaternion: matrixOf(q) * v turns v as
// rotated(q, v) does, up to rounding.
Mat3 matrixOf(const Quat& q);

// m v, and m^T v. The first inline: the contact solver turns every
// impulse through a body's inverse inertia with it.
inline Vec3 operator*(const Mat3& m, const Vec3& v) { return {dot(m.row[0], v), dot(m.row[1], v), dot(m.row[2], v)}; }
Vec3 transposeTimes(const Mat3& m, const Vec3& v);

}  // namespace prallwerk
