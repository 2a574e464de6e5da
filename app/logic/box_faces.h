#pragma once

#include "prallwerk/math/vec3.h"

// The six faces of a box as twelve triangles over its corners, numbered as in
// BoxShape (prallwerk/core/box_shape.h). The face names refer to the box before any
// rotation: corners 0..3 lie at -z, 4..7 at +z.

struct BoxFace {
    int normalCorners[3];    // a, b, c: the face's normal is faceNormal(a, b, c), pointing out of the box
    int triangles[2][3];     // corners of the face's two triangles
};

constexpr int boxFaceCount = 6;

// -z, +y, +z, +x, -y, -x, in drawing order.
extern const BoxFace boxFaces[boxFaceCount];

// Unit vector of (b - a) x (c - a) in double precision. A zero cross product
// (coincident or collinear corners) comes back as the zero vector.
prallwerk::Vec3 faceNormal(const prallwerk::Vec3& a, const prallwerk::Vec3& b, const prallwerk::Vec3& c);
