// Bodies added to and removed from a world between steps.
#include <memory>

#include "prallwerk/math/assertion.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

int World::appendBody(const RigidBody& body) {
    bodies.push_back(std::make_unique<RigidBody>(body));
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
    // Fresh buffers, as a world built with these bodies has: the broad
    // phase's sweep order starts from the index order again, and the record
    // of a world at rest holds nothing, so the next step searches.
    pairBroadPhase_ = PairBroadPhase(bodyCount);
    posedFrames_ = PosedFrames(bodyCount);
    floors_ = FloorFinder(bodyCount);
    rest_ = RestRecord(bodyCount);
}

}  // namespace prallwerk
