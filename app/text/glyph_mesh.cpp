#include "app/text/glyph_mesh.h"

#include <GL/glu.h>

#include <array>
#include <cmath>
#include <deque>

// Windows' GLU headers name the callbacks' calling convention and type
// differently from Mesa's.
#if defined(_WIN32) && !defined(GLAPIENTRY)
#define GLAPIENTRY APIENTRY
#endif

namespace {

#if defined(_WIN32)
using TessCallback = void(CALLBACK*)();
#else
using TessCallback = _GLUfuncptr;
#endif

using Point3 = std::array<double, 3>;

// What the tessellator callbacks work on: the points they may name and the
// front-face triangles they produce.
struct Tessellation {
    std::deque<Point3> points;  // a deque: the tessellator keeps pointers into it
    std::vector<const Point3*> pending;  // corners of the triangle being received
    std::vector<std::array<Point3, 3>> triangles;
    bool failed = false;
};

Tessellation& tessellationOf(void* data) { return *static_cast<Tessellation*>(data); }

void GLAPIENTRY onBegin(GLenum, void* data) { tessellationOf(data).pending.clear(); }

// Having this callback at all makes the tessellator send separate triangles
// only, never fans or strips.
void GLAPIENTRY onEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY onVertex(void* vertex, void* data) {
    Tessellation& t = tessellationOf(data);
    t.pending.push_back(static_cast<const Point3*>(vertex));
    if (t.pending.size() == 3) {
        t.triangles.push_back({*t.pending[0], *t.pending[1], *t.pending[2]});
        t.pending.clear();
    }
}

void GLAPIENTRY onEnd(void*) {}

// Crossing contours (overlapping strokes in some fonts) need new points at
// their intersections.
void GLAPIENTRY onCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
    Tessellation& t = tessellationOf(data);
    t.points.push_back({coords[0], coords[1], coords[2]});
    *out = &t.points.back();
}

void GLAPIENTRY onError(GLenum, void* data) { tessellationOf(data).failed = true; }

template <typename F>
TessCallback callback(F* function) {
    return reinterpret_cast<TessCallback>(function);
}

// Front-face triangles of the region the contours fill by nonzero winding.
// An empty result with failed set when the tessellator gave up.
Tessellation tessellate(const std::vector<Contour>& contours) {
    Tessellation t;
    GLUtesselator* tess = gluNewTess();
    if (tess == nullptr) {
        t.failed = true;
        return t;
    }
    // TrueType outlines fill where the winding number is not zero, which also
    // keeps overlapping parts of a letter filled; the even-odd rule would cut
    // holes there.
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, callback(onBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, callback(onEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, callback(onVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, callback(onEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, callback(onCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, callback(onError));

    gluTessBeginPolygon(tess, &t);
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (const OutlinePoint& p : contour) {
            t.points.push_back({p.x, p.y, 0.0});
            gluTessVertex(tess, t.points.back().data(), &t.points.back());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (t.failed) t.triangles.clear();
    return t;
}

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

GlyphMesh buildGlyphMesh(const std::vector<Contour>& contours, float depth) {
    GlyphMesh mesh;
    const Tessellation front = tessellate(contours);
    if (front.triangles.empty()) return mesh;
    const double back = -static_cast<double>(depth);

    // Faces.
    const Point3 up{0.0, 0.0, 1.0};
    const Point3 down{0.0, 0.0, -1.0};
    for (const auto& t : front.triangles) addTriangle(mesh, up, t[0], t[1], t[2]);
    for (const auto& t : front.triangles) {
        const Point3 a{t[0][0], t[0][1], back}, b{t[1][0], t[1][1], back}, c{t[2][0], t[2][1], back};
        addTriangle(mesh, down, a, b, c);
    }

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
