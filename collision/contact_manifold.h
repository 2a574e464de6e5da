#pragma once

#include "prallwerk/collision/shape_overlap.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// Where two shapes touch, for the physical rules' response: up to four
// points on one normal.
struct ContactPoint {
    Vec3 position;       // world point midway between the two surfaces, m
    double depth = 0.0;  // how far the shapes overlap there along the normal, m; negative: apart by that much
};

struct ContactManifold {
    Vec3 normal;                 // unit, pointing from the second shape toward the first
    int count = 0;               // points in use; 0: apart by more than the margin
    ContactPoint points[4];
};

// A shape as the contact tests see it: a sphere (its radius) or a box (its
// frame: axes and half edges), centred at centre.
struct ShapePose {
    int kind = 0;         // kindSphere or kindBox
    Vec3 centre;          // m
    PosedFrame frame;     // a box's axes and half edges
    double radius = 0.0;  // a sphere's radius, m
};

// The pose of a body under the physical rules: its position, and a box's
// axes from its orientation.
ShapePose poseOf(const RigidBody& body);

// The contact of a with b: the normal from b toward a, and the points where
// they overlap or come within margin (m) of each other.
//  - sphere and sphere: one point on the line of the centres;
//  - sphere and box: one point, from the box's point nearest the centre (a
//    centre inside the box leaves through its nearest face);
//  - box and box: the axis of least overlap among the six face axes and the
//    nine edge cross products (face axes preferred to an edge axis that
//    overlaps barely less); for a face axis, the incident face of the other
//    box clipped against the reference face's sides, the points within
//    margin of the reference face kept, at most four (the deepest and those
//    that span the largest area); for an edge axis, one point midway between
//    the edges' closest points.
ContactManifold contactBetween(const ShapePose& a, const ShapePose& b, double margin);

// The contact of a with the plane z = height (normal +z): a sphere's lowest
// point, a box's corners within margin of the plane (the deepest four when
// more).
ContactManifold contactWithGround(const ShapePose& a, double height, double margin);

}  // namespace prallwerk
