// Bodies added to and removed from a world between steps.
#include <memory>

#include "prallwerk/math/assertion.h"
#include "prallwerk/world/island_run.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

int World::appendBody(const RigidBody& body) {
    bodies.push_back(std::make_unique<RigidBody>(body));
    // A body added has its velocity of now, as every body has when a world
    // is put under the physical rules.
    if (rules() == Rules::physical) bodies.back()->halfFirstPart = true;
    fitBuffersToBodies();
    return bodyCount - 1;
}

void World::eraseBody(int index) {
    const int count = static_cast<int>(bodies.size());
    PRALLWERK_ASSERT(index >= 0 && index < count);
    if (index < 0 || index >= count) return;
    const RigidBody* gone = bodies[static_cast<size_t>(index)].get();
    // The last impact named a body that is no more: it is forgotten whole,
    // rather than left naming one body of a pair.
    if (hitA == gone || hitB == gone) {
        hitA = nullptr;
        hitB = nullptr;
    }
    bodies.erase(bodies.begin() + index);
    fitBuffersToBodies();
}

void World::fitBuffersToBodies() {
    bodyCount = static_cast<int>(bodies.size());
    const size_t n = static_cast<size_t>(bodyCount);
    // Fresh buffers, as a world built with these bodies has: the record of a
    // world at rest holds nothing, so the next step searches, and a walk
    // stopped at an impact goes on with the bodies as they are.
    bodyPointers_.assign(n, nullptr);
    islandBodies_.assign(n, nullptr);
    indices_.resize(n);
    for (size_t i = 0; i < n; ++i) indices_[i] = static_cast<int>(i);
    stepBounds_.assign(n, Bounds{});
    reached_.assign(n, Bounds{});
    left_.assign(n, 0);
    pushed_.assign(n, 0);
    settled_.assign(n, 0);
    settledFloor_.assign(n, 0.0f);
    startStates_.assign(n, RigidBody(0.0f));
    posed_.assign(n, RigidBody(0.0f));
    isPosed_.assign(n, 0);
    restFloors_.assign(n, 0.0f);
    stillIsland_.assign(n, -1);
    stillSize_.assign(n, 0);
    oldIsland_.assign(n, 0);
    oldSize_.assign(n + 1, 0);
    islandJoined_.assign(n + 1, 0);
    jointBodies_.reserve(n);
    jointIndices_.reserve(n);
    runs_.clear();
    runs_.reserve(n);
    spareRuns_.clear();
    spareRuns_.reserve(n);
    batch_.reserve(n);
    outside_.reserve(n);
    outsideBounds_.reserve(n);
    outsideGrid_.reserve(bodyCount);
    grouping_.reserve(bodyCount);
    still_ = false;
    const size_t workers = scratch_.empty() ? 1 : scratch_.size();
    scratch_.clear();
    for (size_t w = 0; w < workers; ++w) scratch_.push_back(std::make_unique<IslandScratch>(bodyCount));
    ++bodiesGeneration_;
    refreshPointers();
}

}  // namespace prallwerk
