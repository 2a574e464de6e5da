#pragma once

// What the context's source files share: the identity matrix and the
// records a display list keeps of what it draws.

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "gl11/context.h"

namespace gl11 {

constexpr Mat4 identity{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                        0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};

// One glBegin/glEnd pair of a display list. Its vertices are kept in the
// backend; a vertex takes the normal and colour that the list set before it,
// or, where the list had set none, those current when the list is called.
struct Context::Primitive {
    GLenum mode = GL_POINTS;
    std::vector<Vertex> vertices;
    StoredRun run;
    bool listNormals = false;   // every vertex has its normal from the list
    bool listColours = false;   // every vertex has its colour from the list
    bool mixed = false;         // some vertices have, others have not
    bool setsNormal = false;    // the list set the normal inside the pair: the last one stays current
    bool setsColour = false;
    float lastNormal[3] = {0.0f, 0.0f, 1.0f};
    Vec4 lastColour{1.0f, 1.0f, 1.0f, 1.0f};
    std::vector<bool> fromList;  // when mixed: per vertex, whether its normal and its colour are the list's
    // Vertex numbers for each polygon mode and shading, where they are not
    // simply all the vertices in order.
    struct Assembly {
        Topology topology = Topology::triangles;
        std::vector<std::uint32_t> indices;
        bool inOrder = false;
    };
    mutable std::map<std::pair<GLenum, bool>, Assembly> assemblies;  // made on first use
};

struct Context::List {
    std::vector<Command> commands;
    std::vector<std::unique_ptr<Primitive>> primitives;
    std::vector<bool> pendingFlags;  // while compiling: per vertex of the open pair, normal then colour from the list
};

}  // namespace gl11
