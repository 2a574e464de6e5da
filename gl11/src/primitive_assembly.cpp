#include "gl11/primitive_assembly.h"

#include <array>

namespace gl11 {

namespace {

// One polygon of a primitive: up to four corners in order (GL_POLYGON's
// many corners are handled on their own) and the one whose colour a flat
// polygon takes.
struct Polygon {
    std::array<std::uint32_t, 4> corners{};
    int size = 0;
    int provoking = 0;  // index into corners
};

// Calls visit for every polygon of mode with count vertices, in order.
template <typename Visit>
void forEachPolygon(GLenum mode, std::uint32_t count, Visit visit) {
    switch (mode) {
    case GL_TRIANGLES:
        for (std::uint32_t i = 0; i + 3 <= count; i += 3) visit(Polygon{{i, i + 1, i + 2}, 3, 2});
        break;
    case GL_TRIANGLE_STRIP:
        // Every other triangle runs the other way round, so that all of them
        // keep the strip's winding.
        for (std::uint32_t i = 0; i + 3 <= count; ++i) {
            visit(i % 2 == 0 ? Polygon{{i, i + 1, i + 2}, 3, 2} : Polygon{{i + 1, i, i + 2}, 3, 2});
        }
        break;
    case GL_TRIANGLE_FAN:
        for (std::uint32_t i = 1; i + 2 <= count; ++i) visit(Polygon{{0, i, i + 1}, 3, 2});
        break;
    case GL_QUADS:
        for (std::uint32_t i = 0; i + 4 <= count; i += 4) visit(Polygon{{i, i + 1, i + 2, i + 3}, 4, 3});
        break;
    case GL_QUAD_STRIP:
        for (std::uint32_t i = 0; i + 4 <= count; i += 2) visit(Polygon{{i, i + 1, i + 3, i + 2}, 4, 2});
        break;
    default:
        break;
    }
}

void push(std::vector<std::uint32_t>& out, std::uint32_t a, std::uint32_t b) {
    out.push_back(a);
    out.push_back(b);
}

// A filled polygon as a fan of triangles that all end on one corner, the
// pivot: (c0, c1, pivot), (c1, c2, pivot), ... with the corners counted on
// from the one after the pivot. Rotating a polygon's corners keeps its
// winding, and so does each triangle of the fan.
template <typename CornerAt>
void fillPolygon(int size, int pivot, CornerAt corner, std::vector<std::uint32_t>& out) {
    for (int k = 1; k + 1 < size; ++k) {
        out.push_back(corner((pivot + k) % size));
        out.push_back(corner((pivot + k + 1) % size));
        out.push_back(corner(pivot));
    }
}

}  // namespace

bool isPolygonMode(GLenum mode) { return mode >= GL_TRIANGLES && mode <= GL_POLYGON; }

bool isPrimitiveMode(GLenum mode) { return mode <= GL_POLYGON; }

Topology assemblePrimitive(GLenum mode, std::uint32_t count, GLenum polygonMode, bool flat,
                           std::vector<std::uint32_t>& out) {
    switch (mode) {
    case GL_POINTS:
        for (std::uint32_t i = 0; i < count; ++i) out.push_back(i);
        return Topology::points;
    case GL_LINES:
        for (std::uint32_t i = 0; i + 2 <= count; i += 2) push(out, i, i + 1);
        return Topology::lines;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (std::uint32_t i = 0; i + 2 <= count; ++i) push(out, i, i + 1);
        if (mode == GL_LINE_LOOP && count >= 2) push(out, count - 1, 0);
        return Topology::lines;
    default:
        break;
    }
    if (!isPolygonMode(mode)) return Topology::triangles;

    if (mode == GL_POLYGON) {
        if (count < 3) return polygonMode == GL_FILL ? Topology::triangles
                              : polygonMode == GL_LINE ? Topology::lines : Topology::points;
        const int size = static_cast<int>(count);
        const auto corner = [](int k) { return static_cast<std::uint32_t>(k); };
        if (polygonMode == GL_POINT) {
            for (std::uint32_t i = 0; i < count; ++i) out.push_back(i);
            return Topology::points;
        }
        if (polygonMode == GL_LINE) {
            for (std::uint32_t i = 0; i < count; ++i) push(out, i, (i + 1) % count);
            return Topology::lines;
        }
        // A polygon's provoking vertex is its first.
        fillPolygon(size, flat ? 0 : size - 1, corner, out);
        return Topology::triangles;
    }

    forEachPolygon(mode, count, [&](const Polygon& p) {
        const auto corner = [&p](int k) { return p.corners[static_cast<std::size_t>(k)]; };
        if (polygonMode == GL_POINT) {
            for (int k = 0; k < p.size; ++k) out.push_back(corner(k));
        } else if (polygonMode == GL_LINE) {
            for (int k = 0; k < p.size; ++k) push(out, corner(k), corner((k + 1) % p.size));
        } else {
            fillPolygon(p.size, flat ? p.provoking : p.size - 1, corner, out);
        }
    });
    if (polygonMode == GL_POINT) return Topology::points;
    if (polygonMode == GL_LINE) return Topology::lines;
    return Topology::triangles;
}

}  // namespace gl11
