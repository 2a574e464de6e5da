// The context's fixed-function state and lighting, its construction, and
// the drawing of gathered immediate-mode vertices.

#include "gl11/context.h"

#include <algorithm>

#include "context_records.h"

namespace gl11 {

namespace {

constexpr float largestShininess = 128.0f;

Vec4 transform(const Mat4& m, const Vec4& v) {
    Vec4 r{};
    for (int row = 0; row < 4; ++row) {
        r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
    }
    return r;
}

Vec4 vec4(const float* p) { return {p[0], p[1], p[2], p[3]}; }

Context* current = nullptr;

}  // namespace

Context::Context(DrawBackend& backend) : backend_(backend) {
    modelviewStack_.push_back(identity);
    projectionStack_.push_back(identity);
    state_.modelview = identity;
    state_.projection = identity;
    state_.lights[0].diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    state_.lights[0].specular = {1.0f, 1.0f, 1.0f, 1.0f};
}

Context::~Context() {
    if (current == this) current = nullptr;
    for (auto& [name, list] : lists_) {
        for (const auto& p : list->primitives) backend_.release(p->run);
    }
    if (compiling_) {
        for (const auto& p : compiling_->primitives) backend_.release(p->run);
    }
}

bool Context::recorded(Command command) {
    if (!compiling_) return false;
    compiling_->commands.push_back(std::move(command));
    return true;
}

void Context::changed() {
    if (!batch_.empty()) submitBatch();
}

void Context::submitBatch() {
    state_.modelview = modelviewStack_.back();
    state_.projection = projectionStack_.back();
    state_.vertexNormals = true;
    state_.vertexColours = true;
    backend_.draw(state_, batchTopology_, batch_.data(), batch_.size());
    if (capture_ != nullptr) captureDraw(batchTopology_, batch_.data(), nullptr, batch_.size());
    batch_.clear();
}

void Context::captureDraw(Topology topology, const Vertex* vertices, const std::uint32_t* indices,
                          std::size_t count) {
    const Mat4& m = state_.modelview;
    auto& into = (*capture_)[static_cast<std::size_t>(topology)];
    for (std::size_t k = 0; k < count; ++k) {
        const Vertex& v = vertices[indices != nullptr ? indices[k] : k];
        const float* n = state_.vertexNormals ? v.normal : state_.normal;
        const float* c = state_.vertexColours ? v.colour : state_.colour.data();
        CapturedVertex out{};
        for (int row = 0; row < 3; ++row) {
            out.position[row] = m[row] * v.position[0] + m[4 + row] * v.position[1] + m[8 + row] * v.position[2] + m[12 + row];
            // Rotation and translation only, as the program's matrices are.
            out.normal[row] = m[row] * n[0] + m[4 + row] * n[1] + m[8 + row] * n[2];
        }
        const float* colour = state_.lighting && !state_.colourMaterial ? state_.material.diffuse.data() : c;
        std::copy(colour, colour + 4, out.colour);
        out.lit = state_.lighting ? 1.0f : 0.0f;
        out.switches = (state_.depthTest ? 1.0f : 0.0f) + (state_.blend ? 2.0f : 0.0f) + (state_.cullBackFaces ? 4.0f : 0.0f);
        into.push_back(out);
    }
}

// --- state ---

void Context::enable(GLenum cap, bool on) {
    if (recorded([=](Context& c) { c.enable(cap, on); })) return;
    changed();
    switch (cap) {
    case GL_DEPTH_TEST: state_.depthTest = on; break;
    case GL_LIGHTING: state_.lighting = on; break;
    case GL_LIGHT0:
    case GL_LIGHT1: state_.lights[cap - GL_LIGHT0].enabled = on; break;
    case GL_COLOR_MATERIAL:
        state_.colourMaterial = on;
        // From now on the material follows the current colour, the one set
        // before included.
        if (on) state_.material.ambient = state_.material.diffuse = currentColour_;
        break;
    case GL_BLEND: state_.blend = on; break;
    case GL_CULL_FACE: state_.cullBackFaces = on; break;
    case GL_NORMALIZE: state_.normalize = on; break;
    default: break;
    }
}

void Context::depthFunc(GLenum func) {
    if (recorded([=](Context& c) { c.depthFunc(func); })) return;
    if (func < GL_NEVER || func > GL_ALWAYS) return;
    changed();
    state_.depthFunc = func;
}

void Context::blendFunc(GLenum source, GLenum destination) {
    if (recorded([=](Context& c) { c.blendFunc(source, destination); })) return;
    changed();
    state_.blendSource = source;
    state_.blendDestination = destination;
}

void Context::shadeModel(GLenum mode) {
    if (recorded([=](Context& c) { c.shadeModel(mode); })) return;
    if (mode != GL_FLAT && mode != GL_SMOOTH) return;
    changed();
    state_.flat = mode == GL_FLAT;
}

void Context::polygonMode(GLenum face, GLenum mode) {
    if (recorded([=](Context& c) { c.polygonMode(face, mode); })) return;
    if (face != GL_FRONT_AND_BACK || (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL)) return;
    changed();
    polygonMode_ = mode;
}

void Context::pointSize(float size) {
    if (recorded([=](Context& c) { c.pointSize(size); })) return;
    if (!(size > 0.0f)) return;
    changed();
    state_.pointSize = size;
}

void Context::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (recorded([=](Context& c) { c.viewport(x, y, width, height); })) return;
    if (width < 0 || height < 0) return;
    changed();
    backend_.viewport(x, y, width, height);
}

void Context::clearColor(float r, float g, float b, float a) {
    if (recorded([=](Context& c) { c.clearColor(r, g, b, a); })) return;
    const auto clamp = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    clearColour_ = {clamp(r), clamp(g), clamp(b), clamp(a)};
}

void Context::clear(GLbitfield mask) {
    if (recorded([=](Context& c) { c.clear(mask); })) return;
    changed();
    backend_.clear((mask & GL_COLOR_BUFFER_BIT) != 0, (mask & GL_DEPTH_BUFFER_BIT) != 0, clearColour_);
}

void Context::flush() {
    changed();
    backend_.flush();
}

// --- lighting ---

void Context::light(GLenum light, GLenum pname, const float* params) {
    if (light != GL_LIGHT0 && light != GL_LIGHT1) return;
    const Vec4 v = vec4(params);
    if (recorded([=](Context& c) { c.light(light, pname, v.data()); })) return;
    changed();
    Light& l = state_.lights[light - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT: l.ambient = v; break;
    case GL_DIFFUSE: l.diffuse = v; break;
    case GL_SPECULAR: l.specular = v; break;
    // The position is kept as the modelview matrix of the moment puts it.
    case GL_POSITION: l.position = transform(modelviewStack_.back(), v); break;
    default: break;
    }
}

void Context::lightModel(GLenum pname, const float* params) {
    if (pname != GL_LIGHT_MODEL_AMBIENT) return;
    const Vec4 v = vec4(params);
    if (recorded([=](Context& c) { c.lightModel(pname, v.data()); })) return;
    changed();
    state_.sceneAmbient = v;
}

void Context::material(GLenum face, GLenum pname, const float* params) {
    // One-sided lighting lights back faces with the front material.
    if (face != GL_FRONT && face != GL_FRONT_AND_BACK) return;
    const Vec4 v = pname == GL_SHININESS ? Vec4{params[0], 0.0f, 0.0f, 0.0f} : vec4(params);
    if (recorded([=](Context& c) { c.material(face, pname, v.data()); })) return;
    changed();
    Material& m = state_.material;
    switch (pname) {
    case GL_AMBIENT: m.ambient = v; break;
    case GL_DIFFUSE: m.diffuse = v; break;
    case GL_AMBIENT_AND_DIFFUSE: m.ambient = m.diffuse = v; break;
    case GL_SPECULAR: m.specular = v; break;
    case GL_EMISSION: m.emission = v; break;
    case GL_SHININESS:
        if (v[0] >= 0.0f && v[0] <= largestShininess) m.shininess = v[0];
        break;
    default: break;
    }
}

void makeCurrent(Context* context) { current = context; }

Context* currentContext() { return current; }

}  // namespace gl11
