#include "app/gl11/webgl_backend.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace gl11 {

namespace {

// Per vertex, as OpenGL 1.1 lights it: in eye coordinates, with the
// viewer infinitely far along +z, no attenuation and no spots. One-sided:
// back faces take the front material and their normal as it is.
const char* const vertexShader = R"(#version 300 es
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 colour;
uniform mat4 modelview;
uniform mat4 projection;
uniform mat3 normalMatrix;
uniform bool lighting;
uniform bool colourMaterial;
uniform bool normalizeNormals;
uniform vec4 material[5];     // ambient, diffuse, specular, emission, (shininess, -, -, -)
uniform vec4 sceneAmbient;
uniform vec4 lights[8];       // per light: ambient, diffuse, specular, position
uniform bool lightOn[2];
uniform float pointSize;
out vec4 smoothColour;
flat out vec4 flatColour;

void main() {
    vec4 eye = modelview * vec4(position, 1.0);
    gl_Position = projection * eye;
    gl_PointSize = pointSize;
    vec4 c = colour;
    if (lighting) {
        vec3 n = normalMatrix * normal;
        if (normalizeNormals) n = normalize(n);
        vec4 ambient = colourMaterial ? colour : material[0];
        vec4 diffuse = colourMaterial ? colour : material[1];
        float shininess = material[4].x;
        vec3 sum = material[3].rgb + ambient.rgb * sceneAmbient.rgb;
        for (int i = 0; i < 2; ++i) {
            if (!lightOn[i]) continue;
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
    }
    smoothColour = clamp(c, 0.0, 1.0);
    flatColour = smoothColour;
}
)";

const char* const fragmentShader = R"(#version 300 es
precision highp float;
in vec4 smoothColour;
flat in vec4 flatColour;
uniform bool flatShading;
out vec4 fragment;

void main() {
    fragment = flatShading ? flatColour : smoothColour;
}
)";

enum Attribute : GLuint { positionAttribute = 0, normalAttribute = 1, colourAttribute = 2 };

constexpr GLsizei vertexBytes = sizeof(Vertex);
constexpr std::size_t firstStreamVertices = 16384;

GLenum glTopology(Topology t) {
    switch (t) {
    case Topology::points: return GL_POINTS;
    case Topology::lines: return GL_LINES;
    case Topology::triangles: break;
    }
    return GL_TRIANGLES;
}

GLuint compile(GLenum kind, const char* source) {
    const GLuint shader = emscripten_glCreateShader(kind);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
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
    GLuint program = 0;
    VertexStore stream;
    std::size_t streamCapacity = 0;  // vertices
    std::size_t streamUsed = 0;
    GLuint indexBuffer = 0;
    std::map<std::uint32_t, StaticStore> stores;
    std::uint32_t nextStore = 1;
    std::uint32_t openStore = 0;  // the store that new runs go to; 0 for none
    float pixelScale = 1.0f;
    GLuint boundVertexArray = 0;

    CachedFloats<16> modelview, projection;
    CachedFloats<9> normalMatrix;
    CachedFloats<20> material;
    CachedFloats<4> sceneAmbient;
    CachedFloats<32> lights;
    CachedFloats<1> pointSize;
    CachedInt lighting, colourMaterial, normalize, flat;
    GLint lightOnLocation = -1;
    std::array<int, 2> lightOn{};
    bool lightOnKnown = false;
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

    // Sets the uniforms and switches that changed since the last draw.
    void apply(const DrawState& s) {
        if (modelview.changes(s.modelview.data())) emscripten_glUniformMatrix4fv(modelview.location, 1, GL_FALSE, modelview.value.data());
        if (projection.changes(s.projection.data())) emscripten_glUniformMatrix4fv(projection.location, 1, GL_FALSE, projection.value.data());
        lighting.set(s.lighting ? 1 : 0);
        flat.set(s.flat ? 1 : 0);
        const float size = s.pointSize * pixelScale;
        if (pointSize.changes(&size)) emscripten_glUniform1f(pointSize.location, size);
        if (s.lighting) {
            const auto n = normalMatrixOf(s.modelview);
            if (normalMatrix.changes(n.data())) emscripten_glUniformMatrix3fv(normalMatrix.location, 1, GL_FALSE, n.data());
            colourMaterial.set(s.colourMaterial ? 1 : 0);
            normalize.set(s.normalize ? 1 : 0);
            const Material& m = s.material;
            float mv[20];
            std::memcpy(mv, m.ambient.data(), 16);
            std::memcpy(mv + 4, m.diffuse.data(), 16);
            std::memcpy(mv + 8, m.specular.data(), 16);
            std::memcpy(mv + 12, m.emission.data(), 16);
            mv[16] = m.shininess;
            mv[17] = mv[18] = mv[19] = 0.0f;
            if (material.changes(mv)) emscripten_glUniform4fv(material.location, 5, material.value.data());
            if (sceneAmbient.changes(s.sceneAmbient.data())) emscripten_glUniform4fv(sceneAmbient.location, 1, sceneAmbient.value.data());
            float lv[32];
            std::array<int, 2> on{};
            for (int i = 0; i < lightCount; ++i) {
                const Light& l = s.lights[i];
                std::memcpy(lv + 16 * i, l.ambient.data(), 16);
                std::memcpy(lv + 16 * i + 4, l.diffuse.data(), 16);
                std::memcpy(lv + 16 * i + 8, l.specular.data(), 16);
                std::memcpy(lv + 16 * i + 12, l.position.data(), 16);
                on[i] = l.enabled ? 1 : 0;
            }
            if (lights.changes(lv)) emscripten_glUniform4fv(lights.location, 8, lights.value.data());
            if (!lightOnKnown || on != lightOn) {
                lightOn = on;
                lightOnKnown = true;
                emscripten_glUniform1iv(lightOnLocation, 2, lightOn.data());
            }
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
    const GLuint vs = compile(GL_VERTEX_SHADER, vertexShader);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentShader);
    if (vs != 0 && fs != 0) {
        d.program = emscripten_glCreateProgram();
        emscripten_glAttachShader(d.program, vs);
        emscripten_glAttachShader(d.program, fs);
        emscripten_glLinkProgram(d.program);
        GLint ok = 0;
        emscripten_glGetProgramiv(d.program, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[1024] = "";
            emscripten_glGetProgramInfoLog(d.program, sizeof log, nullptr, log);
            std::fprintf(stderr, "prallwerk: shader program does not link: %s\n", log);
            emscripten_glDeleteProgram(d.program);
            d.program = 0;
        }
    }
    if (vs != 0) emscripten_glDeleteShader(vs);
    if (fs != 0) emscripten_glDeleteShader(fs);
    if (d.program == 0) return;

    emscripten_glUseProgram(d.program);
    const auto where = [&d](const char* name) { return emscripten_glGetUniformLocation(d.program, name); };
    d.modelview.location = where("modelview");
    d.projection.location = where("projection");
    d.normalMatrix.location = where("normalMatrix");
    d.material.location = where("material");
    d.sceneAmbient.location = where("sceneAmbient");
    d.lights.location = where("lights");
    d.pointSize.location = where("pointSize");
    d.lighting.location = where("lighting");
    d.colourMaterial.location = where("colourMaterial");
    d.normalize.location = where("normalizeNormals");
    d.flat.location = where("flatShading");
    d.lightOnLocation = where("lightOn");

    emscripten_glGenBuffers(1, &d.stream.buffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer);
    d.streamCapacity = firstStreamVertices;
    emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(d.streamCapacity * vertexBytes), nullptr, GL_STREAM_DRAW);
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
    if (d.program != 0) emscripten_glDeleteProgram(d.program);
}

bool WebGlBackend::ready() const { return impl_->program != 0; }

void WebGlBackend::setPixelScale(float scale) { impl_->pixelScale = scale > 0.0f ? scale : 1.0f; }

void WebGlBackend::viewport(int x, int y, int width, int height) {
    const float s = impl_->pixelScale;
    const auto px = [s](int v) { return static_cast<GLint>(std::lround(static_cast<float>(v) * s)); };
    emscripten_glViewport(px(x), px(y), px(width), px(height));
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
    if (d.program == 0 || count == 0) return;
    if (d.streamUsed + count > d.streamCapacity) {
        // A new store for the buffer: draws still reading the old one keep it.
        while (d.streamCapacity < count) d.streamCapacity *= 2;
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer);
        emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(d.streamCapacity * vertexBytes), nullptr, GL_STREAM_DRAW);
        d.streamUsed = 0;
    }
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.stream.buffer);
    emscripten_glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(d.streamUsed * vertexBytes),
                               static_cast<GLsizeiptr>(count * vertexBytes), vertices);
    d.useStore(d.stream, state);
    d.apply(state);
    emscripten_glDrawArrays(glTopology(topology), static_cast<GLint>(d.streamUsed), static_cast<GLsizei>(count));
    d.streamUsed += count;
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
    if (d.program == 0 || run.count == 0 || found == d.stores.end()) return;
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
