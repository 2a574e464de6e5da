#pragma once

// Solid letters from flat glyph outlines: the filled outline as a front face,
// a copy of it as the back face, and walls along every contour between them.
// Plain triangles, so it can be checked without a GL context.

#include "app/text/glyph_outline.h"

#include <vector>

// How far the letters reach behind their front face, in em units.
constexpr float glyphDepth = 0.05f;

struct MeshPoint {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// A flat triangle whose corners run counter-clockwise seen from the side its
// normal points to.
struct MeshTriangle {
    MeshPoint normal;  // unit length
    MeshPoint corners[3];
};

struct GlyphMesh {
    std::vector<MeshTriangle> triangles;
};

// Extrudes a glyph: the region that the contours fill by the nonzero winding
// rule becomes a front face in the plane z = 0 with normal +z, a back face in
// z = -depth with normal -z, and one wall of two triangles per contour edge
// with its normal pointing out of the letter. The contours may run either
// way round and may overlap; holes are contours that wind the other way.
// Empty contours give an empty mesh, and so does a set the tessellator
// cannot fill.
GlyphMesh buildGlyphMesh(const std::vector<Contour>& contours, float depth = glyphDepth);
