#pragma once

// What the OpenGL 1.1 subset needs of the graphics API below it: a context
// that clears, draws vertices with the fixed-function state in force, and
// keeps vertices that display lists replay. The page's is WebGL 2
// (webgl_backend.h); tests record the calls.

#include <GL/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "gl11/primitive_assembly.h"

namespace gl11 {

using Mat4 = std::array<float, 16>;  // column by column, as OpenGL keeps it
using Vec4 = std::array<float, 4>;

struct Vertex {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float normal[3] = {0.0f, 0.0f, 1.0f};
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

struct Material {
    Vec4 ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Vec4 diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    Vec4 specular{0.0f, 0.0f, 0.0f, 1.0f};
    Vec4 emission{0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
};

// A light of GL_LIGHT0 or GL_LIGHT1; OpenGL gives the first a white
// diffuse and specular colour, every other one black.
struct Light {
    bool enabled = false;
    Vec4 ambient{0.0f, 0.0f, 0.0f, 1.0f};
    Vec4 diffuse{0.0f, 0.0f, 0.0f, 1.0f};
    Vec4 specular{0.0f, 0.0f, 0.0f, 1.0f};
    Vec4 position{0.0f, 0.0f, 1.0f, 0.0f};  // eye coordinates, as the modelview matrix made it
};

constexpr int lightCount = 2;

// The fixed-function state that a draw uses.
struct DrawState {
    Mat4 modelview{};
    Mat4 projection{};
    bool lighting = false;
    bool colourMaterial = false;  // the vertex colour stands for the material's ambient and diffuse
    bool normalize = false;
    bool flat = false;            // each primitive in the colour of its last vertex
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    bool blend = false;
    GLenum blendSource = GL_ONE;
    GLenum blendDestination = GL_ZERO;
    bool cullBackFaces = false;   // counter-clockwise faces are the front ones
    float pointSize = 1.0f;       // window pixels
    Material material;
    Vec4 sceneAmbient{0.2f, 0.2f, 0.2f, 1.0f};
    std::array<Light, lightCount> lights{};
    // Vertices that carry no normal or colour of their own (those a display
    // list did not set) take these.
    bool vertexNormals = true;
    bool vertexColours = true;
    float normal[3] = {0.0f, 0.0f, 1.0f};
    Vec4 colour{1.0f, 1.0f, 1.0f, 1.0f};
};

// Vertices kept for replay: a run of count vertices from first in the
// backend's store. A zero count is no run.
struct StoredRun {
    std::uint32_t store = 0;  // which store, chosen by the backend
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

class DrawBackend {
public:
    virtual ~DrawBackend() = default;

    // The window area drawn into, in window pixels from the lower left.
    virtual void viewport(int x, int y, int width, int height) = 0;

    // Clears the colour buffer to rgba and/or the depth buffer to 1.
    virtual void clear(bool colour, bool depth, const Vec4& rgba) = 0;

    // Draws count vertices, taken now, as separate points, lines or triangles.
    virtual void draw(const DrawState& state, Topology topology, const Vertex* vertices, std::size_t count) = 0;

    // Keeps count vertices for drawing later; they may be drawn from once
    // the call returns.
    virtual StoredRun store(const Vertex* vertices, std::size_t count) = 0;

    // Draws vertices kept by store: all of the run as given, or, with
    // indices, those of them that the indices number (from the run's
    // first), in that order.
    virtual void drawStored(const DrawState& state, Topology topology, const StoredRun& run,
                            const std::uint32_t* indices = nullptr, std::size_t indexCount = 0) = 0;

    // The run is no longer drawn; its store may go when none of its runs is
    // left.
    virtual void release(const StoredRun& run) = 0;

    // Hands what was drawn so far to the graphics API.
    virtual void flush() = 0;
};

}  // namespace gl11
