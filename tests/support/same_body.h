#pragma once

#include <cstring>

#include "prallwerk/core/rigid_body.h"

// Bit-for-bit equality of every field of two bodies (so -0 differs from 0
// and NaN equals itself), without comparing padding.
inline bool sameBits(const prallwerk::Vec3& a, const prallwerk::Vec3& b) {
    return std::memcmp(&a.x, &b.x, sizeof(double)) == 0 && std::memcmp(&a.y, &b.y, sizeof(double)) == 0 &&
           std::memcmp(&a.z, &b.z, sizeof(double)) == 0;
}

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }

inline bool sameBody(const prallwerk::RigidBody& a, const prallwerk::RigidBody& b) {
    if (a.kind != b.kind || !sameBits(a.mass, b.mass) || !sameBits(a.position, b.position) ||
        !sameBits(a.spin, b.spin) || !sameBits(a.angles, b.angles) || !sameBits(a.velocity, b.velocity) ||
        !sameBits(a.force, b.force) || !sameBits(a.radius, b.radius) ||
        !sameBits(a.restitution, b.restitution) || !sameBits(a.floorHeight, b.floorHeight)) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (!sameBits(a.box.corners[i], b.box.corners[i])) return false;
    }
    return sameBits(a.box.width, b.box.width) && sameBits(a.box.length, b.box.length) &&
           sameBits(a.box.height, b.box.height) && sameBits(a.box.halfLength, b.box.halfLength) &&
           sameBits(a.box.halfDiagonal, b.box.halfDiagonal);
}
