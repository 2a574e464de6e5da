#pragma once

#include "core/box_shape.h"
#include "core/vec3.h"

// For a point (x, y, z) relative to the centre of a posed box (corners reset
// and rotated): the unit box axis along which the point lies farthest out,
// pointing from the point's side back toward the centre; the zero vector when
// the point is outside the box. Points on the boundary count as inside.
Vec3 boxContactNormal(const BoxShape& box, double x, double y, double z);
