#include "app/text/glyph_fill.h"

#include <GL/glu.h>

#include <deque>
#include <tuple>

namespace {

// The callback type as this system's GLU declares it (Mesa's _GLUfuncptr,
// Windows' CALLBACK pointer): taken from gluTessCallback's own signature, so
// that every header is met in its own terms.
template <typename Function>
struct LastParameter;
template <typename Result, typename... Parameters>
struct LastParameter<Result (*)(Parameters...)> {
    using type = std::tuple_element_t<sizeof...(Parameters) - 1, std::tuple<Parameters...>>;
};
using TessCallback = LastParameter<decltype(&gluTessCallback)>::type;

// A point the tessellator may name, with its number in the fill. An extra
// point is numbered among the extra points (with extraBit set) until every
// contour point is known.
struct TessPoint {
    GLdouble coords[3];
    std::uint32_t number;
};

constexpr std::uint32_t extraBit = 1u << 31;

// What the tessellator callbacks work on: the points they may name and the
// triangles they produce.
struct Tessellation {
    std::deque<TessPoint> points;  // a deque: the tessellator keeps pointers into it
    std::vector<std::uint32_t> pending;  // corners of the triangle being received
    GlyphFill fill;
    bool failed = false;
};

Tessellation& tessellationOf(void* data) { return *static_cast<Tessellation*>(data); }

void APIENTRY onBegin(GLenum, void* data) { tessellationOf(data).pending.clear(); }

// Having this callback at all makes the tessellator send separate triangles
// only, never fans or strips.
void APIENTRY onEdgeFlag(GLboolean, void*) {}

void APIENTRY onVertex(void* vertex, void* data) {
    Tessellation& t = tessellationOf(data);
    t.pending.push_back(static_cast<const TessPoint*>(vertex)->number);
    if (t.pending.size() == 3) {
        t.fill.triangles.push_back({t.pending[0], t.pending[1], t.pending[2]});
        t.pending.clear();
    }
}

void APIENTRY onEnd(void*) {}

// Crossing contours (overlapping strokes in some fonts) need new points at
// their intersections.
void APIENTRY onCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
    Tessellation& t = tessellationOf(data);
    const auto number = static_cast<std::uint32_t>(t.fill.extraPoints.size()) | extraBit;
    t.points.push_back({{coords[0], coords[1], 0.0}, number});
    t.fill.extraPoints.push_back({coords[0], coords[1]});
    *out = &t.points.back();
}

void APIENTRY onError(GLenum, void* data) { tessellationOf(data).failed = true; }

template <typename F>
TessCallback callback(F* function) {
    return reinterpret_cast<TessCallback>(function);
}

}  // namespace

GlyphFill fillContours(const std::vector<Contour>& contours) {
    Tessellation t;
    GLUtesselator* tess = gluNewTess();
    if (tess == nullptr) return {};
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
    std::uint32_t contourPoints = 0;
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (const OutlinePoint& p : contour) {
            t.points.push_back({{p.x, p.y, 0.0}, contourPoints++});
            gluTessVertex(tess, t.points.back().coords, &t.points.back());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (t.failed) return {};
    for (auto& triangle : t.fill.triangles) {
        for (std::uint32_t& corner : triangle) {
            if (corner & extraBit) corner = contourPoints + (corner & ~extraBit);
        }
    }
    return std::move(t.fill);
}

GlyphMesh buildGlyphMesh(const std::vector<Contour>& contours, float depth) {
    return extrudeGlyph(contours, fillContours(contours), depth);
}
