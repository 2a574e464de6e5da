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

// Extrudes a glyph: its fill (the region that the contours fill by the
// nonzero winding rule) becomes a front face in the plane z = 0 with normal
// +z, a back face in z = -depth with normal -z, and each contour edge a wall
// of two triangles with its normal pointing out of the letter. The contours
// may run either way round; holes are contours that wind the other way. An
// empty fill gives an empty mesh, and so does a fill that names a point the
// glyph does not have.
GlyphMesh extrudeGlyph(const std::vector<Contour>& contours, const GlyphFill& fill, float depth = glyphDepth);
