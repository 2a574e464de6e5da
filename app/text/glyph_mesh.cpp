#include "app/text/glyph_mesh.h"

#include <array>
#include <cmath>

namespace {

using Point3 = std::array<double, 3>;

// Twice the signed area enclosed by a contour: positive when it runs
// counter-clockwise.
double doubleArea(const Contour& c) {
    double sum = 0.0;
    if (c.empty()) return sum;
    for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
        sum += c[j].x * c[i].y - c[i].x * c[j].y;
    }
    return sum;
}

MeshPoint toMesh(const Point3& p) {
    return {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

// Adds the triangle a, b, c with the given unit normal, turning its corners
// round when they run clockwise seen from where the normal points.
void addTriangle(GlyphMesh& mesh, const Point3& normal, const Point3& a, const Point3& b,
                 const Point3& c) {
    const Point3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Point3 v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const Point3 cross{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
    const double facing = cross[0] * normal[0] + cross[1] * normal[1] + cross[2] * normal[2];
    if (facing == 0.0) return;  // no area: nothing to see
    MeshTriangle t;
    t.normal = toMesh(normal);
    t.corners[0] = toMesh(a);
    t.corners[1] = toMesh(facing > 0.0 ? b : c);
    t.corners[2] = toMesh(facing > 0.0 ? c : b);
    mesh.triangles.push_back(t);
}

}  // namespace

GlyphMesh extrudeGlyph(const std::vector<Contour>& contours, const GlyphFill& fill, float depth) {
    GlyphMesh mesh;
    // The fill's corners: the contours' points in order, then the extra ones.
    std::vector<OutlinePoint> points;
    for (const Contour& c : contours) points.insert(points.end(), c.begin(), c.end());
    points.insert(points.end(), fill.extraPoints.begin(), fill.extraPoints.end());
    for (const auto& t : fill.triangles) {
        for (std::uint32_t corner : t) {
            if (corner >= points.size()) return mesh;
        }
    }
    if (fill.triangles.empty()) return mesh;
    const double back = -static_cast<double>(depth);
    const auto at = [&points](std::uint32_t corner, double z) {
        return Point3{points[corner].x, points[corner].y, z};
    };

    // Faces.
    const Point3 up{0.0, 0.0, 1.0};
    const Point3 down{0.0, 0.0, -1.0};
    for (const auto& t : fill.triangles) addTriangle(mesh, up, at(t[0], 0.0), at(t[1], 0.0), at(t[2], 0.0));
    for (const auto& t : fill.triangles) addTriangle(mesh, down, at(t[0], back), at(t[1], back), at(t[2], back));

    // Walls. The filled region lies on the same side of every edge: the left
    // when the contours' areas add up counter-clockwise (outer contours
    // counter-clockwise, holes clockwise, as in PostScript fonts), the right
    // in TrueType's opposite convention. The outward normal points away from
    // that side.
    double totalArea = 0.0;
    for (const Contour& c : contours) totalArea += doubleArea(c);
    const double outSign = totalArea > 0.0 ? 1.0 : -1.0;
    for (const Contour& c : contours) {
        for (std::size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint& p = c[i];
            const OutlinePoint& q = c[(i + 1) % c.size()];
            const double dx = q.x - p.x, dy = q.y - p.y;
            const double len = std::hypot(dx, dy);
            if (len == 0.0) continue;
            const Point3 normal{outSign * dy / len, -outSign * dx / len, 0.0};
            const Point3 p0{p.x, p.y, 0.0}, q0{q.x, q.y, 0.0}, p1{p.x, p.y, back}, q1{q.x, q.y, back};
            addTriangle(mesh, normal, p0, q0, q1);
            addTriangle(mesh, normal, p0, q1, p1);
        }
    }
    return mesh;
}
