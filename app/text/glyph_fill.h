#pragma once

// The region that flat glyph contours fill, found by GLU's tessellator. The
// only part of the letters that needs GLU: a platform that ships its glyphs
// already filled (the page) builds the letters without it.

#include "app/text/glyph_mesh.h"
#include "app/text/glyph_outline.h"

#include <vector>

// Triangles covering the region that the contours fill by the nonzero
// winding rule; the contours may run either way round and may overlap. No
// triangles when the contours enclose nothing or the tessellator gives up.
GlyphFill fillContours(const std::vector<Contour>& contours);

// The solid letter of the contours: extrudeGlyph with fillContours' fill.
GlyphMesh buildGlyphMesh(const std::vector<Contour>& contours, float depth = glyphDepth);
