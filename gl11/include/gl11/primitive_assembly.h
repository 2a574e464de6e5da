#pragma once

// How the primitives of glBegin draw as the three kinds a WebGL draw call
// knows: points, separate lines and separate triangles.

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace gl11 {

enum class Topology : std::uint8_t { points, lines, triangles };

// Appends to out the numbers of the vertices (0 to count - 1, as given
// between glBegin(mode) and glEnd) that draw the primitive as separate points,
// lines (two numbers each) or triangles (three each), and returns which.
//
// Polygons (the triangle, quad and polygon modes) follow polygonMode:
// GL_FILL gives triangles whose corners keep the polygon's winding, and end
// on the polygon's provoking vertex when flat (its colour is the whole
// polygon's, as WebGL takes it from a triangle's last corner); GL_LINE gives
// every edge of every polygon (a strip's and a fan's inner edges too, but not
// the diagonal of a quad); GL_POINT gives every corner. A smooth quad is cut
// along the diagonal from its second to its fourth corner. Vertices that do
// not make a whole primitive (the fifth of GL_QUADS, say) draw nothing.
Topology assemblePrimitive(GLenum mode, std::uint32_t count, GLenum polygonMode, bool flat,
                           std::vector<std::uint32_t>& out);

// Whether mode draws polygons, so that the polygon mode applies to it.
bool isPolygonMode(GLenum mode);

// Whether mode is one of the ten primitive modes of glBegin.
bool isPrimitiveMode(GLenum mode);

}  // namespace gl11
