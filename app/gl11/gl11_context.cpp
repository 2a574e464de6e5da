#include "app/gl11/gl11_context.h"

#include <algorithm>
#include <cstring>

namespace gl11 {

namespace {

// OpenGL 1.1's smallest stack depths, which are what the program may count on.
constexpr std::size_t modelviewStackDepth = 32;
constexpr std::size_t projectionStackDepth = 2;
constexpr std::size_t attribStackDepth = 16;
// How deep lists may call lists.
constexpr int listNestingLimit = 64;
constexpr float largestShininess = 128.0f;

constexpr Mat4 identity{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                        0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};

// a x b, both stored column by column.
Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    }
    return r;
}

Vec4 transform(const Mat4& m, const Vec4& v) {
    Vec4 r{};
    for (int row = 0; row < 4; ++row) {
        r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
    }
    return r;
}

Vec4 vec4(const float* p) { return {p[0], p[1], p[2], p[3]}; }

bool isIdentitySequence(const std::vector<std::uint32_t>& indices, std::uint32_t count) {
    if (indices.size() != count) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (indices[i] != i) return false;
    }
    return true;
}

Context* current = nullptr;

}  // namespace

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

Mat4& Context::currentMatrix() {
    return matrixMode_ == GL_PROJECTION ? projectionStack_.back() : modelviewStack_.back();
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

// --- matrices ---

void Context::matrixMode(GLenum mode) {
    if (recorded([=](Context& c) { c.matrixMode(mode); })) return;
    if (mode == GL_MODELVIEW || mode == GL_PROJECTION) matrixMode_ = mode;
}

void Context::loadIdentity() {
    if (recorded([](Context& c) { c.loadIdentity(); })) return;
    changed();
    currentMatrix() = identity;
}

void Context::pushMatrix() {
    if (recorded([](Context& c) { c.pushMatrix(); })) return;
    auto& stack = matrixMode_ == GL_PROJECTION ? projectionStack_ : modelviewStack_;
    const std::size_t depth = matrixMode_ == GL_PROJECTION ? projectionStackDepth : modelviewStackDepth;
    if (stack.size() < depth) stack.push_back(stack.back());
}

void Context::popMatrix() {
    if (recorded([](Context& c) { c.popMatrix(); })) return;
    auto& stack = matrixMode_ == GL_PROJECTION ? projectionStack_ : modelviewStack_;
    if (stack.size() < 2) return;
    changed();
    stack.pop_back();
}

void Context::translate(float x, float y, float z) {
    if (recorded([=](Context& c) { c.translate(x, y, z); })) return;
    changed();
    Mat4& m = currentMatrix();
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

void Context::multMatrix(const Mat4& by) {
    if (recorded([=](Context& c) { c.multMatrix(by); })) return;
    changed();
    Mat4& m = currentMatrix();
    m = multiply(m, by);
}

// --- immediate mode ---

void Context::begin(GLenum mode) {
    if (inPrimitive_ || !isPrimitiveMode(mode)) return;
    inPrimitive_ = true;
    primitiveMode_ = mode;
    primitiveVertices_.clear();
    if (compiling_) compiling_->pendingFlags.clear();
}

void Context::vertex(float x, float y, float z) {
    if (!inPrimitive_) return;
    Vertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    std::copy(currentNormal_, currentNormal_ + 3, v.normal);
    std::copy(currentColour_.begin(), currentColour_.end(), v.colour);
    primitiveVertices_.push_back(v);
    if (compiling_) {
        compiling_->pendingFlags.push_back(listSetNormal_);
        compiling_->pendingFlags.push_back(listSetColour_);
    }
}

void Context::normal(float x, float y, float z) {
    if (compiling_) {
        listSetNormal_ = true;
        if (!inPrimitive_) compiling_->commands.push_back([=](Context& c) { c.normal(x, y, z); });
    }
    currentNormal_[0] = x;
    currentNormal_[1] = y;
    currentNormal_[2] = z;
}

void Context::colour(float r, float g, float b, float a) {
    if (compiling_) {
        listSetColour_ = true;
        if (!inPrimitive_) compiling_->commands.push_back([=](Context& c) { c.colour(r, g, b, a); });
    }
    currentColour_ = {r, g, b, a};
    if (state_.colourMaterial && !compiling_) state_.material.ambient = state_.material.diffuse = currentColour_;
}

void Context::end() {
    if (!inPrimitive_) return;
    inPrimitive_ = false;
    if (!compiling_) {
        emitPrimitive(primitiveMode_, primitiveVertices_);
        return;
    }
    auto p = std::make_unique<Primitive>();
    p->mode = primitiveMode_;
    p->vertices = primitiveVertices_;
    const auto& flags = compiling_->pendingFlags;
    bool anyNormal = false, allNormals = true, anyColour = false, allColours = true;
    for (std::size_t i = 0; i < flags.size(); i += 2) {
        anyNormal = anyNormal || flags[i];
        allNormals = allNormals && flags[i];
        anyColour = anyColour || flags[i + 1];
        allColours = allColours && flags[i + 1];
    }
    p->listNormals = allNormals;
    p->listColours = allColours;
    p->mixed = (anyNormal && !allNormals) || (anyColour && !allColours);
    if (p->mixed) p->fromList = flags;
    // What the pair leaves current is what the list made current last,
    // which the commands before the pair have already set at replay.
    p->setsNormal = listSetNormal_;
    p->setsColour = listSetColour_;
    std::copy(currentNormal_, currentNormal_ + 3, p->lastNormal);
    p->lastColour = currentColour_;
    if (!p->vertices.empty() && !p->mixed) p->run = backend_.store(p->vertices.data(), p->vertices.size());
    const Primitive* primitive = p.get();
    compiling_->primitives.push_back(std::move(p));
    compiling_->commands.push_back([primitive](Context& c) { c.replay(*primitive); });
}

void Context::emitPrimitive(GLenum mode, const std::vector<Vertex>& vertices) {
    assembly_.clear();
    const Topology topology =
        assemblePrimitive(mode, static_cast<std::uint32_t>(vertices.size()), polygonMode_, state_.flat, assembly_);
    if (assembly_.empty()) return;
    if (!batch_.empty() && batchTopology_ != topology) submitBatch();
    batchTopology_ = topology;
    for (std::uint32_t i : assembly_) batch_.push_back(vertices[i]);
}

// --- display lists ---

void Context::replay(const Primitive& p) {
    if (p.mixed) {
        // Some vertices follow the list, others the caller: draw a copy that
        // has the caller's values where the list set none.
        std::vector<Vertex> vertices = p.vertices;
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            if (!p.fromList[2 * i]) std::copy(currentNormal_, currentNormal_ + 3, vertices[i].normal);
            if (!p.fromList[2 * i + 1]) std::copy(currentColour_.begin(), currentColour_.end(), vertices[i].colour);
        }
        emitPrimitive(p.mode, vertices);
    } else if (p.run.count > 0) {
        const auto key = std::make_pair(polygonMode_, state_.flat);
        auto found = p.assemblies.find(key);
        if (found == p.assemblies.end()) {
            Primitive::Assembly a;
            a.topology = assemblePrimitive(p.mode, p.run.count, polygonMode_, state_.flat, a.indices);
            a.inOrder = isIdentitySequence(a.indices, p.run.count);
            if (a.inOrder) a.indices.clear();
            found = p.assemblies.emplace(key, std::move(a)).first;
        }
        const Primitive::Assembly& a = found->second;
        if (a.inOrder || !a.indices.empty()) {
            changed();
            state_.modelview = modelviewStack_.back();
            state_.projection = projectionStack_.back();
            state_.vertexNormals = p.listNormals;
            state_.vertexColours = p.listColours;
            std::copy(currentNormal_, currentNormal_ + 3, state_.normal);
            state_.colour = currentColour_;
            backend_.drawStored(state_, a.topology, p.run, a.inOrder ? nullptr : a.indices.data(),
                                a.indices.size());
            if (capture_ != nullptr) {
                captureDraw(a.topology, p.vertices.data(), a.inOrder ? nullptr : a.indices.data(),
                            a.inOrder ? p.vertices.size() : a.indices.size());
            }
        }
    }
    if (p.setsNormal) std::copy(p.lastNormal, p.lastNormal + 3, currentNormal_);
    if (p.setsColour) colour(p.lastColour[0], p.lastColour[1], p.lastColour[2], p.lastColour[3]);
}

GLuint Context::genLists(GLsizei range) {
    if (range <= 0 || compiling_) return 0;
    GLuint base = 1;
    for (const auto& [name, list] : lists_) {
        if (name >= base && name - base < static_cast<GLuint>(range)) base = name + 1;
    }
    for (GLsizei i = 0; i < range; ++i) lists_.emplace(base + static_cast<GLuint>(i), std::make_unique<List>());
    return base;
}

void Context::deleteList(std::map<GLuint, std::unique_ptr<List>>::iterator at) {
    for (const auto& p : at->second->primitives) backend_.release(p->run);
    lists_.erase(at);
}

void Context::deleteLists(GLuint list, GLsizei range) {
    if (range < 0 || compiling_) return;
    for (GLsizei i = 0; i < range; ++i) {
        const auto at = lists_.find(list + static_cast<GLuint>(i));
        if (at != lists_.end()) deleteList(at);
    }
}

void Context::newList(GLuint list, GLenum mode) {
    if (list == 0 || mode != GL_COMPILE || compiling_ || inPrimitive_) return;
    changed();
    compiling_ = std::make_unique<List>();
    compilingName_ = list;
    listSetNormal_ = false;
    listSetColour_ = false;
    std::copy(currentNormal_, currentNormal_ + 3, savedNormal_);
    savedColour_ = currentColour_;
}

void Context::endList() {
    if (!compiling_ || inPrimitive_) return;
    // Compiling carried nothing out: the current normal and colour are
    // what they were before glNewList.
    std::copy(savedNormal_, savedNormal_ + 3, currentNormal_);
    currentColour_ = savedColour_;
    const auto old = lists_.find(compilingName_);
    if (old != lists_.end()) deleteList(old);
    compiling_->pendingFlags.clear();
    lists_.emplace(compilingName_, std::move(compiling_));
}

void Context::callList(GLuint list) {
    if (recorded([=](Context& c) { c.callList(list); })) return;
    const auto at = lists_.find(list);
    if (at == lists_.end() || callDepth_ >= listNestingLimit) return;
    ++callDepth_;
    const List& l = *at->second;
    for (const Command& command : l.commands) command(*this);
    --callDepth_;
}

void Context::callLists(GLsizei n, GLenum type, const void* lists) {
    if (n <= 0 || type != GL_UNSIGNED_BYTE || lists == nullptr) return;
    const auto* codes = static_cast<const GLubyte*>(lists);
    const std::vector<GLubyte> copy(codes, codes + n);
    if (recorded([copy](Context& c) { c.callLists(static_cast<GLsizei>(copy.size()), GL_UNSIGNED_BYTE, copy.data()); })) {
        return;
    }
    for (GLubyte code : copy) callList(listBase_ + code);
}

void Context::listBase(GLuint base) {
    if (recorded([=](Context& c) { c.listBase(base); })) return;
    listBase_ = base;
}

void Context::pushAttrib(GLbitfield mask) {
    if (recorded([=](Context& c) { c.pushAttrib(mask); })) return;
    if (listBaseStack_.size() >= attribStackDepth) return;
    listBaseStack_.push_back(listBase_);
}

void Context::popAttrib() {
    if (recorded([](Context& c) { c.popAttrib(); })) return;
    if (listBaseStack_.empty()) return;
    listBase_ = listBaseStack_.back();
    listBaseStack_.pop_back();
}

void makeCurrent(Context* context) { current = context; }

Context* currentContext() { return current; }

}  // namespace gl11
