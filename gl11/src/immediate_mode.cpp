// Immediate mode: the vertices between glBegin and glEnd, gathered into
// batches for the backend, or kept by the display list being compiled.

#include "gl11/context.h"

#include <algorithm>

#include "context_records.h"

namespace gl11 {

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

}  // namespace gl11
