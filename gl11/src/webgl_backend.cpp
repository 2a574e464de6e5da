// The WebGL 2 backend's vertex stores: the stream buffer of immediate-mode
// draws and the static buffers of display lists, with the switches and
// uniforms of each draw set through the shader programs (webgl_shaders.h).

#include "gl11/webgl_backend.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "webgl_shaders.h"

namespace gl11 {

using namespace webgl;

namespace {

constexpr GLsizei vertexBytes = sizeof(Vertex);

GLenum glTopology(Topology t) {
    switch (t) {
    case Topology::points: return GL_POINTS;
    case Topology::lines: return GL_LINES;
    case Topology::triangles: break;
    }
    return GL_TRIANGLES;
}

// A buffer of vertices with its vertex array.
struct VertexStore {
    GLuint buffer = 0;
    GLuint vertexArray = 0;
    bool normals = true;   // the normal and colour arrays are enabled
    bool colours = true;
};

// Display lists' vertices: gathered on the CPU while lists are compiled, then
// made one static buffer when one of them is first drawn.
struct StaticStore {
    VertexStore gl;
    std::vector<Vertex> pending;
    bool made = false;
    int runs = 0;  // runs not yet released
};

}  // namespace

struct WebGlBackend::Impl {
    ShaderProgram programs[2];  // unlit, lit
    const ShaderProgram* inUse = nullptr;
    VertexStore stream;
    GLuint indexBuffer = 0;
    std::map<std::uint32_t, StaticStore> stores;
    std::uint32_t nextStore = 1;
    std::uint32_t openStore = 0;  // the store that new runs go to; 0 for none
    float pixelScale = 1.0f;
    int viewport[4] = {0, 0, 0, 0};  // in window pixels, as last given
    bool viewportKnown = false;
    GLuint boundVertexArray = 0;

    // The viewport in drawing-buffer pixels at the current scale.
    void applyViewport() const {
        const float s = pixelScale;
        const auto px = [s](int v) { return static_cast<GLint>(std::lround(static_cast<float>(v) * s)); };
        emscripten_glViewport(px(viewport[0]), px(viewport[1]), px(viewport[2]), px(viewport[3]));
    }

    GLuint sceneBuffer = 0;
    SceneBlock scene{};
    bool sceneKnown = false;
    CachedFloats<3> constantNormal;
    CachedFloats<4> constantColour;

    // Fixed-function switches as WebGL last had them.
    bool depthTest = false, blend = false, cull = false;
    GLenum depthFunc = GL_LESS, blendSource = GL_ONE, blendDestination = GL_ZERO;

    void makeVertexArray(VertexStore& s) {
        emscripten_glGenVertexArrays(1, &s.vertexArray);
        bindVertexArray(s.vertexArray);
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
        const auto at = [](std::size_t offset) { return reinterpret_cast<const void*>(offset); };
        emscripten_glVertexAttribPointer(positionAttribute, 3, GL_FLOAT, GL_FALSE, vertexBytes, at(offsetof(Vertex, position)));
        emscripten_glVertexAttribPointer(normalAttribute, 3, GL_FLOAT, GL_FALSE, vertexBytes, at(offsetof(Vertex, normal)));
        emscripten_glVertexAttribPointer(colourAttribute, 4, GL_FLOAT, GL_FALSE, vertexBytes, at(offsetof(Vertex, colour)));
        emscripten_glEnableVertexAttribArray(positionAttribute);
        emscripten_glEnableVertexAttribArray(normalAttribute);
        emscripten_glEnableVertexAttribArray(colourAttribute);
        s.normals = s.colours = true;
    }

    void bindVertexArray(GLuint vertexArray) {
        if (vertexArray == boundVertexArray) return;
        emscripten_glBindVertexArray(vertexArray);
        boundVertexArray = vertexArray;
    }

    // Binds the store's arrays and turns the normal and colour arrays on or
    // off as the state asks, with the state's values where they are off.
    void useStore(VertexStore& s, const DrawState& state) {
        bindVertexArray(s.vertexArray);
        if (s.normals != state.vertexNormals) {
            s.normals = state.vertexNormals;
            if (s.normals) emscripten_glEnableVertexAttribArray(normalAttribute);
            else emscripten_glDisableVertexAttribArray(normalAttribute);
        }
        if (s.colours != state.vertexColours) {
            s.colours = state.vertexColours;
            if (s.colours) emscripten_glEnableVertexAttribArray(colourAttribute);
            else emscripten_glDisableVertexAttribArray(colourAttribute);
        }
        if (!state.vertexNormals && constantNormal.changes(state.normal)) {
            emscripten_glVertexAttrib3f(normalAttribute, state.normal[0], state.normal[1], state.normal[2]);
        }
        if (!state.vertexColours && constantColour.changes(state.colour.data())) {
            emscripten_glVertexAttrib4f(colourAttribute, state.colour[0], state.colour[1], state.colour[2], state.colour[3]);
        }
    }

    void enable(GLenum cap, bool on, bool& now) {
        if (on == now) return;
        now = on;
        if (on) emscripten_glEnable(cap);
        else emscripten_glDisable(cap);
    }

    // Sets the uniforms and switches that changed since the last draw. What
    // only lit draws read is left as it was for unlit ones.
    void apply(const DrawState& s) {
        ShaderProgram& p = programs[s.lighting ? 1 : 0];
        if (inUse != &p) {
            emscripten_glUseProgram(p.id);
            inUse = &p;
        }
        if (p.modelview.changes(s.modelview.data())) {
            emscripten_glUniformMatrix4fv(p.modelview.location, 1, GL_FALSE, p.modelview.value.data());
        }
        p.flat.set(s.flat ? 1 : 0);
        const float size = s.pointSize * pixelScale;
        if (p.pointSize.changes(&size)) emscripten_glUniform1f(p.pointSize.location, size);

        SceneBlock block = scene;
        std::memcpy(block.projection, s.projection.data(), sizeof block.projection);
        if (s.lighting) {
            const auto n = normalMatrixOf(s.modelview);
            if (p.normalMatrix.changes(n.data())) {
                emscripten_glUniformMatrix3fv(p.normalMatrix.location, 1, GL_FALSE, n.data());
            }
            const std::array<int, 2> switches{s.colourMaterial, s.normalize};
            if (!p.switchesKnown || switches != p.switches) {
                p.switches = switches;
                p.switchesKnown = true;
                emscripten_glUniform2iv(p.switchesLocation, 1, switches.data());
            }
            const Material& m = s.material;
            std::memcpy(block.material, m.ambient.data(), 16);
            std::memcpy(block.material + 4, m.diffuse.data(), 16);
            std::memcpy(block.material + 8, m.specular.data(), 16);
            std::memcpy(block.material + 12, m.emission.data(), 16);
            block.material[16] = m.shininess;
            std::memcpy(block.sceneAmbient, s.sceneAmbient.data(), 16);
            for (int i = 0; i < lightCount; ++i) {
                const Light& l = s.lights[i];
                std::memcpy(block.lights + 16 * i, l.ambient.data(), 16);
                std::memcpy(block.lights + 16 * i + 4, l.diffuse.data(), 16);
                std::memcpy(block.lights + 16 * i + 8, l.specular.data(), 16);
                std::memcpy(block.lights + 16 * i + 12, l.position.data(), 16);
                block.lightOn[i] = l.enabled ? 1 : 0;
            }
        }
        if (!sceneKnown || std::memcmp(&block, &scene, sizeof block) != 0) {
            scene = block;
            sceneKnown = true;
            // New contents rather than changed ones (as for every buffer
            // below): changing a buffer that a draw of the frame has read
            // makes the browser's Vulkan interrupt the frame's drawing.
            emscripten_glBindBuffer(GL_UNIFORM_BUFFER, sceneBuffer);
            emscripten_glBufferData(GL_UNIFORM_BUFFER, sizeof scene, &scene, GL_DYNAMIC_DRAW);
        }

        enable(GL_DEPTH_TEST, s.depthTest, depthTest);
        if (s.depthTest && s.depthFunc != depthFunc) {
            depthFunc = s.depthFunc;
            emscripten_glDepthFunc(depthFunc);
        }
        enable(GL_BLEND, s.blend, blend);
        if (s.blend && (s.blendSource != blendSource || s.blendDestination != blendDestination)) {
            blendSource = s.blendSource;
            blendDestination = s.blendDestination;
            emscripten_glBlendFunc(blendSource, blendDestination);
        }
        enable(GL_CULL_FACE, s.cullBackFaces, cull);
    }
};

WebGlBackend::WebGlBackend() : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    constexpr GLuint sceneBinding = 0;
    d.programs[0].build(false, sceneBinding);
    d.programs[1].build(true, sceneBinding);
    if (!ready()) return;
    emscripten_glGenBuffers(1, &d.sceneBuffer);
    emscripten_glBindBuffer(GL_UNIFORM_BUFFER, d.sceneBuffer);
    emscripten_glBufferData(GL_UNIFORM_BUFFER, sizeof(SceneBlock), nullptr, GL_DYNAMIC_DRAW);
    emscripten_glBindBufferBase(GL_UNIFORM_BUFFER, sceneBinding, d.sceneBuffer);

    emscripten_glGenBuffers(1, &d.stream.buffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer);
    d.makeVertexArray(d.stream);
    emscripten_glGenBuffers(1, &d.indexBuffer);
}

WebGlBackend::~WebGlBackend() {
    Impl& d = *impl_;
    for (auto& [id, s] : d.stores) {
        if (!s.made) continue;
        emscripten_glDeleteVertexArrays(1, &s.gl.vertexArray);
        emscripten_glDeleteBuffers(1, &s.gl.buffer);
    }
    if (d.stream.vertexArray != 0) emscripten_glDeleteVertexArrays(1, &d.stream.vertexArray);
    if (d.stream.buffer != 0) emscripten_glDeleteBuffers(1, &d.stream.buffer);
    if (d.indexBuffer != 0) emscripten_glDeleteBuffers(1, &d.indexBuffer);
    if (d.sceneBuffer != 0) emscripten_glDeleteBuffers(1, &d.sceneBuffer);
    for (ShaderProgram& program : d.programs) {
        if (program.id != 0) emscripten_glDeleteProgram(program.id);
    }
}

bool WebGlBackend::ready() const { return impl_->programs[0].id != 0 && impl_->programs[1].id != 0; }

// A new scale takes effect in the viewport at once: the program sets its
// viewport only when its window's size changes, which the drawing buffer's
// size (the canvas's size times the pixel ratio) does not.
void WebGlBackend::setPixelScale(float scale) {
    Impl& d = *impl_;
    const float next = scale > 0.0f ? scale : 1.0f;
    if (next == d.pixelScale) return;
    d.pixelScale = next;
    if (d.viewportKnown) d.applyViewport();
}

void WebGlBackend::viewport(int x, int y, int width, int height) {
    Impl& d = *impl_;
    d.viewport[0] = x;
    d.viewport[1] = y;
    d.viewport[2] = width;
    d.viewport[3] = height;
    d.viewportKnown = true;
    d.applyViewport();
}

void WebGlBackend::clear(bool colour, bool depth, const Vec4& rgba) {
    GLbitfield mask = 0;
    if (colour) {
        emscripten_glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) mask |= GL_DEPTH_BUFFER_BIT;
    if (mask != 0) emscripten_glClear(mask);
}

void WebGlBackend::draw(const DrawState& state, Topology topology, const Vertex* vertices, std::size_t count) {
    Impl& d = *impl_;
    if (!ready() || count == 0) return;
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * vertexBytes), vertices, GL_STREAM_DRAW);
    d.useStore(d.stream, state);
    d.apply(state);
    emscripten_glDrawArrays(glTopology(topology), 0, static_cast<GLsizei>(count));
}

StoredRun WebGlBackend::store(const Vertex* vertices, std::size_t count) {
    Impl& d = *impl_;
    if (count == 0) return {};
    if (d.openStore == 0) {
        d.openStore = d.nextStore++;
        d.stores[d.openStore];
    }
    StaticStore& s = d.stores[d.openStore];
    StoredRun run{d.openStore, static_cast<std::uint32_t>(s.pending.size()), static_cast<std::uint32_t>(count)};
    s.pending.insert(s.pending.end(), vertices, vertices + count);
    ++s.runs;
    return run;
}

void WebGlBackend::drawStored(const DrawState& state, Topology topology, const StoredRun& run,
                              const std::uint32_t* indices, std::size_t indexCount) {
    Impl& d = *impl_;
    const auto found = d.stores.find(run.store);
    if (!ready() || run.count == 0 || found == d.stores.end()) return;
    StaticStore& s = found->second;
    if (!s.made) {
        emscripten_glGenBuffers(1, &s.gl.buffer);
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, s.gl.buffer);
        emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.pending.size() * vertexBytes),
                                s.pending.data(), GL_STATIC_DRAW);
        d.makeVertexArray(s.gl);
        std::vector<Vertex>().swap(s.pending);
        s.made = true;
        if (d.openStore == run.store) d.openStore = 0;
    }
    d.useStore(s.gl, state);
    d.apply(state);
    if (indices == nullptr) {
        emscripten_glDrawArrays(glTopology(topology), static_cast<GLint>(run.first), static_cast<GLsizei>(run.count));
        return;
    }
    // Index buffers belong to the vertex array: bind it to this one.
    std::vector<std::uint32_t> absolute(indices, indices + indexCount);
    for (std::uint32_t& i : absolute) i += run.first;
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.indexBuffer);
    emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(absolute.size() * sizeof(std::uint32_t)),
                            absolute.data(), GL_STREAM_DRAW);
    emscripten_glDrawElements(glTopology(topology), static_cast<GLsizei>(absolute.size()), GL_UNSIGNED_INT, nullptr);
}

void WebGlBackend::release(const StoredRun& run) {
    Impl& d = *impl_;
    const auto found = d.stores.find(run.store);
    if (run.count == 0 || found == d.stores.end()) return;
    StaticStore& s = found->second;
    if (--s.runs > 0) return;
    if (s.made) {
        if (d.boundVertexArray == s.gl.vertexArray) d.bindVertexArray(0);
        emscripten_glDeleteVertexArrays(1, &s.gl.vertexArray);
        emscripten_glDeleteBuffers(1, &s.gl.buffer);
    }
    if (d.openStore == run.store) d.openStore = 0;
    d.stores.erase(found);
}

void WebGlBackend::flush() {
    // WebGL hands the frame over when the page yields to the browser.
}

}  // namespace gl11
