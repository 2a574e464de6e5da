#pragma once

#include "prallwerk/math/bits.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// Corner a box turns about when it is advanced: 0..7 name a corner, this value
// the centre.
constexpr int pivotCentre = 8;

// Centre-to-corner distance of a box with these edge lengths, in single
// precision: the halfDiagonal that resetCorners derives.
float halfDiagonalOf(float width, float length, float height);

// Geometry of a rectangular box in its current orientation.
//
// Corner numbering, signs of the offsets before rotation
// (hx = length/2 along x, hy = width/2 along y, hz = height/2 along z):
//
//            7 -------- 6          z
//           /|         /|          |  y
//          4 -------- 5 |          | /
//          | 3 -------|-2          |/
//          |/         |/           +----- x
//          0 -------- 1
//
//   0 (-,-,-)  1 (+,-,-)  2 (+,+,-)  3 (-,+,-)     bottom face
//   4 (-,-,+)  5 (+,-,+)  6 (+,+,+)  7 (-,+,+)     top face
//
// Corner i and corner i ^ 6 lie symmetrically about the centre.
struct BoxShape {
    Vec3 corners[8];          // offsets from the body's centre, world axes, current orientation
    float width = 0.0f;       // edge along the box's y axis
    float length = 0.0f;      // edge along the box's x axis
    float height = 0.0f;      // edge along the box's z axis
    float halfLength = 0.0f;  // length / 2; other bodies take it as this box's half-height
    float halfDiagonal = 0.0f;  // centre-to-corner distance, a bounding radius

    // Copies every field of another box.
    void assign(const BoxShape& other) { *this = other; }

    // Derives the axis-aligned corners, halfLength and halfDiagonal from the
    // three edge lengths.
    void resetCorners();

    // Turns the corners about x by ax, then y by ay, then z by az (radians).
    // A rotation whose angle is exactly 0 is skipped and leaves the corners
    // bit-for-bit as they were.
    void rotateCorners(double ax, double ay, double az);

    // Rebuilds the corners for the orientation (ax, ay, az) and returns how far
    // the pivot corner moved: zero for pivotCentre. Any pivot outside 0..8
    // returns zero and leaves the corners untouched.
    Vec3 reorient(double ax, double ay, double az, int pivot);

    // Number of the corner with the smallest z; ties keep the lower number.
    int lowestCornerIndex() const;

private:
    // rotateCorners for corners just reset: the same result, half the work.
    void turnResetCorners(double ax, double ay, double az);
    // resetCorners, then turnResetCorners, or their remembered result.
    void resetAndTurn(double ax, double ay, double az);
};

// Every field of both boxes the same bits.
inline bool sameBits(const BoxShape& a, const BoxShape& b) {
    for (int i = 0; i < 8; ++i) {
        if (!sameBits(a.corners[i], b.corners[i])) return false;
    }
    return sameBits(a.width, b.width) && sameBits(a.length, b.length) && sameBits(a.height, b.height) &&
           sameBits(a.halfLength, b.halfLength) && sameBits(a.halfDiagonal, b.halfDiagonal);
}

// z offset of the box's lowest corner from its centre as the corners stand
// now (normally negative).
inline double lowestCornerOffset(const BoxShape& box) { return box.corners[box.lowestCornerIndex()].z; }

}  // namespace prallwerk
