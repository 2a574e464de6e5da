#pragma once

#include "prallwerk/collision/broad_phase.h"
#include "prallwerk/collision/contact_manifold.h"
#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/core/floor_finder.h"

#include <vector>

namespace prallwerk {

// What the searches of an island need besides its bodies, one for each
// thread a world runs islands on: the pair broad phase, the boxes' frames
// the pair searches turned them to, the floors, room for a body, and the buffers of the resting contacts. None of
// it changes a result: each is rebuilt for the island it serves, or only
// remembers what it computed.
struct IslandScratch {
    PairBroadPhase broadPhase;
    PosedFrames frames;
    FloorFinder floors;
    RigidBody before{0.0f};  // advanceAll: a body as free flight found it
    std::vector<RigidBody*> touching;  // a pair impact's: the bodies its two touch
    // The resting contacts of an island's part and their bodies: kept from
    // island to island, so that a pile of thousands of points does not
    // allocate (and fault in) its buffers anew in every part.
    std::vector<SolverBody> solverBodies;
    std::vector<SolverContact> solverContacts;
    std::vector<ShapePose> poses;  // the island's bodies as the contacts see them

    // Buffers for islands of up to bodyCount bodies (bigger ones make them grow).
    explicit IslandScratch(int bodyCount) : broadPhase(bodyCount), frames(bodyCount), floors(bodyCount) {}
};

}  // namespace prallwerk
