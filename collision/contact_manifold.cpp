#include "prallwerk/collision/contact_manifold.h"

#include <cmath>
#include <initializer_list>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {

// The direction of shapes whose geometry gives none (two sphere centres on
// one point): up, so that the first shape is pushed up off the second.
constexpr Vec3 fallbackNormal{0.0, 0.0, 1.0};

// Two edges whose cross product is shorter than this (the sine of the angle
// between them, no unit) are taken as parallel: their cross product is then
// mostly rounding, and the face axes already separate what it would.
constexpr double parallelEdgeSine = 1e-6;

// A box's face axis is kept unless another axis overlaps clearly less: by
// this fraction of the face's overlap (no unit), which keeps the choice the
// same at every scale of overlap...
constexpr double preferenceRelativeSlack = 0.05;
// ...plus this much (m), for the near-zero overlaps of resting contact,
// where the overlaps of a face axis and of an edge axis close to it differ
// by a slight tilt alone. Without it a resting box would flip from four
// face points to one edge point and back from step to step.
constexpr double preferenceAbsoluteSlack = 1e-3;

// An edge pair's axis within this cosine of the best face's normal (no
// unit; about 5 degrees) is that face's, tilted: the edge lies across the
// face rather than crossing another edge.
constexpr double acrossFaceCosine = 0.996;

// Corner signs along a box's x, y and z axes, numbered as in box_shape.h.
constexpr double cornerSign[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                     {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};

// Clipping a polygon of n points against one plane keeps at most n - k/2
// points and adds one at each of its k crossings (k <= n): at most 1.5 n.
// The four planes take the incident face's 4 corners to at most 6, 9, 13,
// then 19 points (8 when the face is exactly flat and convex, more only by
// rounding on a plane).
constexpr int maxClipped = 19;

ContactManifold apart(const Vec3& normal) {
    ContactManifold m;
    m.normal = normal;
    return m;
}

void addPoint(ContactManifold& m, const Vec3& position, double depth) {
    PRALLWERK_ASSERT(m.count < 4);
    m.points[m.count].position = position;
    m.points[m.count].depth = depth;
    ++m.count;
}

Vec3 cornerOf(const ShapePose& box, int i) {
    Vec3 p = box.centre;
    for (int k = 0; k < 3; ++k) p = p + (cornerSign[i][k] * box.frame.half[k]) * box.frame.axis[k];
    return p;
}

ContactManifold sphereWithSphere(const ShapePose& a, const ShapePose& b, double margin) {
    const Vec3 d = a.centre - b.centre;
    const double distance = d.length();
    const Vec3 n = distance > 0.0 ? (1.0 / distance) * d : fallbackNormal;
    const double depth = a.radius + b.radius - distance;
    if (depth < -margin) return apart(n);
    ContactManifold m = apart(n);
    const Vec3 onA = a.centre - a.radius * n;  // a's point nearest b
    const Vec3 onB = b.centre + b.radius * n;
    addPoint(m, 0.5 * (onA + onB), depth);
    return m;
}

// The sphere s against the box: the normal from the box toward s.
ContactManifold sphereWithBox(const ShapePose& s, const ShapePose& box, double margin) {
    const PosedFrame& f = box.frame;
    const Vec3 d = s.centre - box.centre;
    double local[3];
    Vec3 outward;  // from the box's nearest point to the centre
    for (int k = 0; k < 3; ++k) {
        local[k] = dot(d, f.axis[k]);
        const double nearest = std::fmin(std::fmax(local[k], -f.half[k]), f.half[k]);
        outward = outward + (local[k] - nearest) * f.axis[k];
    }
    const double distance = outward.length();

    Vec3 n;
    double toSurface;  // from the centre to the box's surface, along -n; negative inside
    if (distance > 0.0) {
        n = (1.0 / distance) * outward;
        toSurface = distance;
    } else {
        // Inside, on the surface, or outside by so little that the way out
        // underflows: out through the nearest face, the lowest axis on ties,
        // its + side when the centre is on neither.
        int k = 0;
        for (int j = 1; j < 3; ++j) {
            if (f.half[j] - std::fabs(local[j]) < f.half[k] - std::fabs(local[k])) k = j;
        }
        n = local[k] < 0.0 ? f.axis[k].negated() : f.axis[k];
        toSurface = std::fabs(local[k]) - f.half[k];
    }
    const double depth = s.radius - toSurface;
    if (depth < -margin) return apart(n);
    // Midway between the box's surface point (the centre less toSurface
    // along n) and the sphere's deepest point (less its radius).
    ContactManifold m = apart(n);
    addPoint(m, s.centre - (0.5 * (s.radius + toSurface)) * n, depth);
    return m;
}

// Whether an overlap is clearly less than the incumbent's, by the
// preference slacks.
bool clearlyLess(double overlap, double incumbent) {
    return overlap < incumbent - (preferenceRelativeSlack * std::fabs(incumbent) + preferenceAbsoluteSlack);
}

// The least-overlap axis of one family (a's faces, b's faces, or the edge
// pairs): its overlap (m), the unit normal from b toward a, and its number.
struct AxisChoice {
    double overlap = HUGE_VAL;
    Vec3 normal;
    int index = -1;
};

// The reduction of more than four face points, added to m: the deepest,
// the one farthest from it, then on either side of the line through those
// two the one spanning the largest triangle with them (none from a side on
// which no point lies).
void addFourOf(ContactManifold& m, const Vec3* p, const double* depth, int n, const Vec3& faceNormal) {
    int c0 = 0;
    for (int i = 1; i < n; ++i) {
        if (depth[i] > depth[c0]) c0 = i;
    }
    int c1 = c0;
    double farthest = 0.0;  // squared distance from c0, m^2
    for (int i = 0; i < n; ++i) {
        const Vec3 e = p[i] - p[c0];
        if (dot(e, e) > farthest) {
            farthest = dot(e, e);
            c1 = i;
        }
    }
    // Twice the signed area of the triangle c0 c1 i, seen along the face
    // normal (m^2): its sign tells the side of the line c0 c1, on which c0
    // and c1 themselves lie with none.
    int c2 = c0, c3 = c0;
    double most = 0.0, least = 0.0;
    for (int i = 0; i < n; ++i) {
        Vec3 c;
        c.cross(p[c1] - p[c0], p[i] - p[c0]);
        const double area = dot(c, faceNormal);
        if (area > most) {
            most = area;
            c2 = i;
        }
        if (area < least) {
            least = area;
            c3 = i;
        }
    }
    addPoint(m, p[c0], depth[c0]);
    for (int i : {c1, c2, c3}) {
        if (i != c0) addPoint(m, p[i], depth[i]);
    }
}

// The face contact of the reference box ref's face k (outward unit normal
// faceNormal, toward inc) with the incident box inc.
//
// The incident face, as the reference face sees it (its outward normal
// pointing at the viewer), u and v its box's two other axes:
//
//        3 ------------- 2        v
//        |               |        ^
//        |      fc       |        |
//        |               |        +---> u
//        0 ------------- 1
//
//   0 = fc - eu - ev    1 = fc + eu - ev    2 = fc + eu + ev    3 = fc - eu + ev
//
// fc is the face's centre, eu and ev the half edges along u and v. The
// polygon 0 1 2 3 is clipped against the reference face's four side planes,
// taken in the order of ref's two other axes j, and for each the + side,
// then the - side:
//
//                  + side of j2
//          +-----------------------+
//          |                       |
//   - side |    reference face k   | + side of j1
//   of j1  |                       |
//          +-----------------------+
//                  - side of j2
ContactManifold faceContact(const ShapePose& ref, const ShapePose& inc, int k, const Vec3& faceNormal,
                            const Vec3& normal, double margin) {
    // 1. The incident face: inc's face most anti-parallel to faceNormal.
    int m = 0;
    for (int j = 1; j < 3; ++j) {
        if (std::fabs(dot(inc.frame.axis[j], faceNormal)) > std::fabs(dot(inc.frame.axis[m], faceNormal))) m = j;
    }
    const double side = dot(inc.frame.axis[m], faceNormal) > 0.0 ? -1.0 : 1.0;
    const Vec3 fc = inc.centre + (side * inc.frame.half[m]) * inc.frame.axis[m];
    const Vec3 eu = inc.frame.half[(m + 1) % 3] * inc.frame.axis[(m + 1) % 3];
    const Vec3 ev = inc.frame.half[(m + 2) % 3] * inc.frame.axis[(m + 2) % 3];
    Vec3 polygon[maxClipped] = {fc - eu - ev, fc + eu - ev, fc + eu + ev, fc - eu + ev};
    int count = 4;

    // 2. Sutherland-Hodgman against the side planes: a point is inside a
    // plane when its reach along the plane's outward axis is at most the
    // half edge. A point on a plane counts as inside, so that no
    // intersection is formed next to it.
    for (int s = 0; s < 4; ++s) {
        const int j = (k + 1 + s / 2) % 3;
        const Vec3 out = s % 2 == 0 ? ref.frame.axis[j] : ref.frame.axis[j].negated();
        auto beyond = [&](const Vec3& p) { return dot(out, p - ref.centre) - ref.frame.half[j]; };
        Vec3 clipped[maxClipped];
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const Vec3& p = polygon[i];
            const Vec3& q = polygon[(i + 1) % count];
            const double dp = beyond(p), dq = beyond(q);
            if (dp <= 0.0) clipped[kept++] = p;
            if ((dp < 0.0 && dq > 0.0) || (dp > 0.0 && dq < 0.0)) {
                clipped[kept++] = p + (dp / (dp - dq)) * (q - p);
            }
            PRALLWERK_ASSERT(kept <= maxClipped);
        }
        for (int i = 0; i < kept; ++i) polygon[i] = clipped[i];
        count = kept;
    }

    // 3. The points within margin of the reference face, each moved halfway
    // up to it, so that it lies midway between the two surfaces.
    Vec3 points[maxClipped];
    double depths[maxClipped];
    int within = 0;
    for (int i = 0; i < count; ++i) {
        const double depth = ref.frame.half[k] - dot(faceNormal, polygon[i] - ref.centre);
        if (depth < -margin) continue;
        points[within] = polygon[i] + (0.5 * depth) * faceNormal;
        depths[within] = depth;
        ++within;
    }

    // 4. At most four of them.
    ContactManifold result = apart(normal);
    if (within <= 4) {
        for (int i = 0; i < within; ++i) addPoint(result, points[i], depths[i]);
        return result;
    }
    addFourOf(result, points, depths, within, faceNormal);
    return result;
}

// The edge contact of a's edges along its axis i with b's along its axis j,
// the unit normal from b toward a: one point midway between the closest
// points of the two edges that reach furthest toward each other.
ContactManifold edgeContact(const ShapePose& a, const ShapePose& b, int i, int j, const Vec3& normal,
                            double overlap) {
    Vec3 pa = a.centre, pb = b.centre;  // the supporting edges' centres
    for (int k = 0; k < 3; ++k) {
        if (k != i) pa = pa + (dot(a.frame.axis[k], normal) > 0.0 ? -a.frame.half[k] : a.frame.half[k]) * a.frame.axis[k];
        if (k != j) pb = pb + (dot(b.frame.axis[k], normal) > 0.0 ? b.frame.half[k] : -b.frame.half[k]) * b.frame.axis[k];
    }
    // The closest points of the two lines pa + ta da and pb + tb db, each
    // kept on its edge. The edges are not parallel (their cross product
    // passed parallelEdgeSine), so the denominator is above its square.
    const Vec3& da = a.frame.axis[i];
    const Vec3& db = b.frame.axis[j];
    const Vec3 r = pa - pb;
    const double cosine = dot(da, db), alongA = dot(da, r), alongB = dot(db, r);
    const double denominator = 1.0 - cosine * cosine;
    const double ta = (cosine * alongB - alongA) / denominator;
    const double tb = alongB + cosine * ta;
    const double ha = a.frame.half[i], hb = b.frame.half[j];
    const Vec3 onA = pa + std::fmin(std::fmax(ta, -ha), ha) * da;
    const Vec3 onB = pb + std::fmin(std::fmax(tb, -hb), hb) * db;
    ContactManifold m = apart(normal);
    addPoint(m, 0.5 * (onA + onB), overlap);
    return m;
}

ContactManifold boxWithBox(const ShapePose& a, const ShapePose& b, double margin) {
    const Vec3 d = a.centre - b.centre;
    AxisChoice faceA, faceB, edge;
    Vec3 gap;  // an axis along which the boxes are apart by more than margin
    bool apartAlong = false;
    auto test = [&](const Vec3& axis, AxisChoice& choice, int index) {
        double reach = 0.0;
        for (int k = 0; k < 3; ++k) {
            reach += a.frame.half[k] * std::fabs(dot(a.frame.axis[k], axis)) +
                     b.frame.half[k] * std::fabs(dot(b.frame.axis[k], axis));
        }
        const double along = dot(d, axis);
        const double overlap = reach - std::fabs(along);
        const Vec3 normal = along < 0.0 ? axis.negated() : axis;
        if (overlap < -margin) {
            gap = normal;
            apartAlong = true;
        } else if (overlap < choice.overlap) {
            choice.overlap = overlap;
            choice.normal = normal;
            choice.index = index;
        }
    };

    // 1. The separating axes: the three face axes of each box, then the nine
    // cross products of an edge of each, stopping at the first gap.
    for (int k = 0; k < 3 && !apartAlong; ++k) test(a.frame.axis[k], faceA, k);
    for (int k = 0; k < 3 && !apartAlong; ++k) test(b.frame.axis[k], faceB, k);
    for (int e = 0; e < 9 && !apartAlong; ++e) {
        Vec3 c;
        c.cross(a.frame.axis[e / 3], b.frame.axis[e % 3]);
        const double length = c.length();
        if (length >= parallelEdgeSine) test((1.0 / length) * c, edge, e);
    }
    if (apartAlong) return apart(gap);

    // 2. The axis of least overlap, a's faces preferred to b's and faces to
    // edges (the slacks above).
    const bool onB = clearlyLess(faceB.overlap, faceA.overlap);
    const AxisChoice& face = onB ? faceB : faceA;
    // The reference face faces the other box: a's face looks along -normal,
    // b's along +normal.
    auto onFace = [&] {
        if (onB) return faceContact(b, a, face.index, face.normal, face.normal, margin);
        return faceContact(a, b, face.index, face.normal.negated(), face.normal, margin);
    };
    if (!clearlyLess(edge.overlap, face.overlap)) return onFace();
    // An edge that lies across a face, as a ramp's end under a box that
    // overhangs it, is an edge pair's least overlap too: the face's overlap
    // counts the edge's ends beyond the face. The edge pair's one point
    // would let the box rock from one end of the edge to the other, each
    // rock a new impact a little deeper. The face's points within its
    // bounds hold both ends (as deep as the edge pair's overlap at most)
    // where it has two.
    if (dot(edge.normal, face.normal) >= acrossFaceCosine) {
        const ContactManifold across = onFace();
        if (across.count >= 2) return across;
    }
    return edgeContact(a, b, edge.index / 3, edge.index % 3, edge.normal, edge.overlap);
}

}  // namespace

ShapePose poseOf(const RigidBody& body) {
    ShapePose pose;
    pose.kind = body.kind;
    pose.centre = body.position;
    if (body.kind == kindSphere) pose.radius = body.radius;
    if (body.kind == kindBox) pose.frame = frameOf(body.box);
    return pose;
}

ContactManifold contactBetween(const ShapePose& a, const ShapePose& b, double margin) {
    const bool sphereA = a.kind == kindSphere, sphereB = b.kind == kindSphere;
    const bool boxA = a.kind == kindBox, boxB = b.kind == kindBox;
    if (sphereA && sphereB) return sphereWithSphere(a, b, margin);
    if (sphereA && boxB) return sphereWithBox(a, b, margin);
    if (boxA && sphereB) {
        ContactManifold m = sphereWithBox(b, a, margin);
        m.normal = m.normal.negated();
        return m;
    }
    if (boxA && boxB) return boxWithBox(a, b, margin);
    return apart(fallbackNormal);
}

ContactManifold contactWithGround(const ShapePose& a, double height, double margin) {
    ContactManifold m = apart({0.0, 0.0, 1.0});
    if (a.kind == kindSphere) {
        const double lowest = a.centre.z - a.radius;
        const double depth = height - lowest;
        if (depth >= -margin) addPoint(m, {a.centre.x, a.centre.y, 0.5 * (lowest + height)}, depth);
    }
    if (a.kind == kindBox) {
        Vec3 corner[8];
        bool taken[8] = {};
        for (int i = 0; i < 8; ++i) corner[i] = cornerOf(a, i);
        // The deepest first; a strict comparison keeps the lower number on ties.
        while (m.count < 4) {
            int best = -1;
            for (int i = 0; i < 8; ++i) {
                if (taken[i] || height - corner[i].z < -margin) continue;
                if (best < 0 || corner[i].z < corner[best].z) best = i;
            }
            if (best < 0) break;
            taken[best] = true;
            const Vec3& c = corner[best];
            addPoint(m, {c.x, c.y, 0.5 * (c.z + height)}, height - c.z);
        }
    }
    return m;
}

}  // namespace prallwerk
