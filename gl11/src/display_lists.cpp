// Display lists: naming, compiling, calling and the list base.

#include "gl11/context.h"

#include <algorithm>

#include "context_records.h"

namespace gl11 {

namespace {

constexpr std::size_t attribStackDepth = 16;
// How deep lists may call lists.
constexpr int listNestingLimit = 64;

bool isIdentitySequence(const std::vector<std::uint32_t>& indices, std::uint32_t count) {
    if (indices.size() != count) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (indices[i] != i) return false;
    }
    return true;
}

}  // namespace

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

}  // namespace gl11
