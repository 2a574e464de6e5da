#include "app/gl11/webgl_backend.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace gl11 {

namespace {

// Per vertex, as OpenGL 1.1 lights it: in eye coordinates, with the
// viewer infinitely far along +z, no attenuation and no spots. One-sided:
// back faces take the front material and their normal as it is.
// Vertex shader source after its #version line; compiled once with
// LIGHTING defined for lit draws and once without for unlit ones, so that
// an unlit draw (the letters, the grid) runs none of the lighting.
const char* const vertexShader = R"(
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 colour;
// What changes from draw to draw ...
uniform mat4 modelview;
uniform float pointSize;
#ifdef LIGHTING
uniform mat3 normalMatrix;
uniform ivec2 switches;       // colour material, normalize
#endif
// ... and what seldom does, in a block of its own.
layout(std140) uniform Scene {
    mat4 projection;
    vec4 material[5];         // ambient, diffuse, specular, emission, (shininess, -, -, -)
    vec4 sceneAmbient;
    vec4 lights[8];           // per light: ambient, diffuse, specular, position
    ivec4 lightOn;
};
out vec4 smoothColour;
flat out vec4 flatColour;

void main() {
    vec4 eye = modelview * vec4(position, 1.0);
    gl_Position = projection * eye;
    gl_PointSize = pointSize;
    vec4 c = colour;
#ifdef LIGHTING
    vec3 n = normalMatrix * normal;
    if (switches.y != 0) n = normalize(n);
    vec4 ambient = switches.x != 0 ? colour : material[0];
    vec4 diffuse = switches.x != 0 ? colour : material[1];
    float shininess = material[4].x;
    vec3 sum = material[3].rgb + ambient.rgb * sceneAmbient.rgb;
    for (int i = 0; i < 2; ++i) {
        if (lightOn[i] == 0) continue;
        vec4 p = lights[4 * i + 3];
        vec3 toLight = normalize(p.w == 0.0 ? p.xyz : p.xyz / p.w - eye.xyz / eye.w);
        float facing = dot(n, toLight);
        sum += ambient.rgb * lights[4 * i].rgb;
        if (facing > 0.0) {
            sum += facing * diffuse.rgb * lights[4 * i + 1].rgb;
            float highlight = max(dot(n, normalize(toLight + vec3(0.0, 0.0, 1.0))), 0.0);
            float power = shininess == 0.0 ? 1.0 : pow(highlight, shininess);
            sum += power * material[2].rgb * lights[4 * i + 2].rgb;
        }
    }
    c = vec4(sum, diffuse.a);
#endif
    smoothColour = clamp(c, 0.0, 1.0);
    flatColour = smoothColour;
}
)";

const char* const fragmentShader = R"(
precision highp float;
in vec4 smoothColour;
flat in vec4 flatColour;
uniform bool flatShading;
out vec4 fragment;

void main() {
    fragment = flatShading ? flatColour : smoothColour;
}
)";

// The Scene block as std140 lays it out.
struct SceneBlock {
    float projection[16];
    float material[20];
    float sceneAmbient[4];
    float lights[32];
    std::int32_t lightOn[4];
};
static_assert(sizeof(SceneBlock) == 304, "std140 layout of the Scene block");

enum Attribute : GLuint { positionAttribute = 0, normalAttribute = 1, colourAttribute = 2 };

constexpr GLsizei vertexBytes = sizeof(Vertex);

GLenum glTopology(Topology t) {
    switch (t) {
    case Topology::points: return GL_POINTS;
    case Topology::lines: return GL_LINES;
    case Topology::triangles: break;
    }
    return GL_TRIANGLES;
}

GLuint compile(GLenum kind, const char* prefix, const char* source) {
    const GLuint shader = emscripten_glCreateShader(kind);
    const char* parts[] = {prefix, source};
    emscripten_glShaderSource(shader, 2, parts, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "prallwerk: shader does not compile: %s\n", log);
        emscripten_glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// The upper left 3 x 3 of m, inverted and transposed: what turns normals
// into eye coordinates. A singular matrix gives zeros.
std::array<float, 9> normalMatrixOf(const Mat4& m) {
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float A = e * i - f * h, B = f * g - d * i, C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    if (det == 0.0f) return {};
    const float s = 1.0f / det;
    // Column by column: the transpose of the inverse is the cofactor matrix
    // over the determinant.
    return {A * s, B * s, C * s,
            (c * h - b * i) * s, (a * i - c * g) * s, (b * g - a * h) * s,
            (b * f - c * e) * s, (c * d - a * f) * s, (a * e - b * d) * s};
}

// A uniform and the value last given to it: it is set only when it changes.
template <std::size_t N>
struct CachedFloats {
    GLint location = -1;
    std::array<float, N> value{};
    bool known = false;

    bool changes(const float* v) {
        if (known && std::memcmp(value.data(), v, sizeof(float) * N) == 0) return false;
        std::memcpy(value.data(), v, sizeof(float) * N);
        known = true;
        return true;
    }
};

struct CachedInt {
    GLint location = -1;
    int value = 0;
    bool known = false;

    void set(int v) {
        if (known && value == v) return;
        value = v;
        known = true;
        emscripten_glUniform1i(location, v);
    }
};

// One of the two programs, with the uniforms it has and their last values.
struct ShaderProgram {
    GLuint id = 0;
    CachedFloats<16> modelview;
    CachedFloats<1> pointSize;
    CachedInt flat;
    CachedFloats<9> normalMatrix;  // lit only
    GLint switchesLocation = -1;   // lit only
    std::array<int, 2> switches{};
    bool switchesKnown = false;

    // Compiles and links; 0 in id when that fails (the log goes to stderr).
    void build(bool lit, GLuint sceneBinding) {
        const char* prefix = lit ? "#version 300 es\n#define LIGHTING\n" : "#version 300 es\n";
        const GLuint vs = compile(GL_VERTEX_SHADER, prefix, vertexShader);
        const GLuint fs = compile(GL_FRAGMENT_SHADER, "#version 300 es\n", fragmentShader);
        if (vs != 0 && fs != 0) {
            id = emscripten_glCreateProgram();
            emscripten_glAttachShader(id, vs);
            emscripten_glAttachShader(id, fs);
            emscripten_glLinkProgram(id);
            GLint ok = 0;
            emscripten_glGetProgramiv(id, GL_LINK_STATUS, &ok);
            if (!ok) {
                char log[1024] = "";
                emscripten_glGetProgramInfoLog(id, sizeof log, nullptr, log);
                std::fprintf(stderr, "prallwerk: shader program does not link: %s\n", log);
                emscripten_glDeleteProgram(id);
                id = 0;
            }
        }
        if (vs != 0) emscripten_glDeleteShader(vs);
        if (fs != 0) emscripten_glDeleteShader(fs);
        if (id == 0) return;
        const auto where = [this](const char* name) { return emscripten_glGetUniformLocation(id, name); };
        modelview.location = where("modelview");
        pointSize.location = where("pointSize");
        flat.location = where("flatShading");
        normalMatrix.location = where("normalMatrix");
        switchesLocation = where("switches");
        emscripten_glUniformBlockBinding(id, emscripten_glGetUniformBlockIndex(id, "Scene"), sceneBinding);
    }
};

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
