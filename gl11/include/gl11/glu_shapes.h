#pragma once

// What GLU's functions draw, over a context: they make the same calls to it
// as GLU makes to OpenGL, so they draw the same vertices and normals.

#include "gl11/context.h"

namespace gl11 {

// The matrix that gluPerspective multiplies onto the current one, column by
// column; false when the arguments give none (an empty depth range, a zero
// field of view or aspect ratio).
bool perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar, double (&m)[16]);

// gluSphere for a quadric with smooth normals (or none), drawn filled from
// the outside without texture coordinates: a triangle fan around each pole,
// the top one first, then a quad strip per stack in between, from the top
// down. The sphere is centred at the origin with its poles on the z axis.
void drawSphere(Context& context, double radius, int slices, int stacks, bool normals);

}  // namespace gl11
