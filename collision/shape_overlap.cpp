#include "prallwerk/collision/shape_overlap.h"

#include <algorithm>
#include <cmath>

namespace prallwerk {

PosedFrame frameOf(const BoxShape& box) {
    const Vec3* c = box.corners;
    PosedFrame f;
    f.axis[0] = (c[1] - c[0]).normalized();
    f.axis[1] = (c[3] - c[0]).normalized();
    f.axis[2] = (c[4] - c[0]).normalized();
    f.half[0] = 0.5 * static_cast<double>(box.length);
    f.half[1] = 0.5 * static_cast<double>(box.width);
    f.half[2] = 0.5 * static_cast<double>(box.height);
    return f;
}

Overlap ballAgainstBox(const Vec3& p, double r, const Vec3& c, const PosedFrame& f) {
    const Vec3 d = p - c;
    double local[3], nearest[3];
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
        local[k] = dot(d, f.axis[k]);
        nearest[k] = std::min(std::max(local[k], -f.half[k]), f.half[k]);
        inside = inside && nearest[k] == local[k];
    }
    Overlap o;
    if (inside) {
        int k = 0;
        for (int j = 1; j < 3; ++j) {
            if (f.half[j] - std::fabs(local[j]) < f.half[k] - std::fabs(local[k])) k = j;
        }
        o.depth = r + f.half[k] - std::fabs(local[k]);
        o.normal = local[k] < 0.0 ? f.axis[k].negated() : f.axis[k];
        return o;
    }
    Vec3 outward;  // from the nearest point to the centre, in world axes
    for (int k = 0; k < 3; ++k) outward = outward + (local[k] - nearest[k]) * f.axis[k];
    o.depth = r - outward.length();
    o.normal = outward.normalized();
    return o;
}

namespace {

// The axis numbered `axis` (see boxAxisCount), not yet made unit.
Vec3 boxAxis(const PosedFrame& a, const PosedFrame& b, int axis) {
    if (axis < 6) return axis % 2 == 0 ? a.axis[axis / 2] : b.axis[axis / 2];
    Vec3 edges;
    edges.cross(a.axis[(axis - 6) / 3], b.axis[(axis - 6) % 3]);
    return edges;
}

// The overlap of the two boxes' extents along axis, made unit (m), and
// that unit axis turned to point from b toward a. False where the axis is
// too short to say anything: the cross product of nearly parallel edges
// says nothing that the face axes do not.
inline bool overlapAlong(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, Vec3 axis, double& overlap,
                         Vec3& normal) {
    const double length = axis.length();
    if (length < 1e-9) return false;
    axis = (1.0 / length) * axis;
    double reach = 0.0;
    for (int k = 0; k < 3; ++k) {
        reach += a.half[k] * std::fabs(dot(a.axis[k], axis)) + b.half[k] * std::fabs(dot(b.axis[k], axis));
    }
    const double along = dot(ab, axis);
    overlap = reach - std::fabs(along);
    normal = along < 0.0 ? axis.negated() : axis;
    return true;
}

}  // namespace

AxesOverlap boxAgainstBox(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, double edgeWeight) {
    AxesOverlap result;
    double least = HUGE_VAL;
    for (int axis = 0; axis < boxAxisCount && !result.gap; ++axis) {
        double overlap;
        Vec3 normal;
        if (!overlapAlong(ab, a, b, boxAxis(a, b, axis), overlap, normal)) continue;
        result.gap = result.gap || overlap < 0.0;
        result.anyTouch = result.anyTouch || !(overlap > 0.0);
        const double weight = axis < 6 ? 1.0 : edgeWeight;
        if (overlap * weight < least) {
            least = overlap * weight;
            result.least.depth = overlap;
            result.least.normal = normal;
            result.leastAxis = axis;
        }
    }
    return result;
}

bool overlapAlongAxis(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, int axis, Overlap& along) {
    if (axis < 0 || axis >= boxAxisCount) return false;
    return overlapAlong(ab, a, b, boxAxis(a, b, axis), along.depth, along.normal);
}

}  // namespace prallwerk
