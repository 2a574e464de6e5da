#pragma once

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"
#include "prallwerk/world/step_statistics.h"

namespace prallwerk {

// The search buffers of the thread an island runs on (world/island_scratch.h).
struct IslandScratch;

// Bodies that can meet one another within a step, directly or through each
// other, and what the world's searches found among them. A step groups the
// world's bodies into islands and runs its event loop on each island alone
// (see World::step): the world's operations of that loop (earliestGroundHit,
// earliestPairHit, pairTimeOfImpact, resolvePair, advanceAll) are given one
// island and read and move its bodies alone, so that islands may run in any
// order, on any thread.
struct Island {
    RigidBody* const* bodies = nullptr;  // its bodies, in index order
    const int* indices = nullptr;        // their indices in the world's bodies, ascending
    int count = 0;
    RigidBody* hitA = nullptr;  // body of the last ground impact found, or first body of the last pair impact
    RigidBody* hitB = nullptr;  // second body of the last pair impact found
    Vec3 normalA;               // contact vector for hitA, left by the pair search
    Vec3 normalB;               // contact vector for hitB, left by the pair search
    StepStatistics statistics;  // what its searches did in this step (pair searches, pairs passed over)
    float span = 0.0f;          // s of its part of the step
    float timeLeft = 0.0f;      // s of its part not passed yet at its last search or event (the searches and impact responses read it)
    IslandScratch* scratch = nullptr;  // the buffers its searches use

    // The index in the world of one of its bodies, or -1 (also for null).
    int indexOf(const RigidBody* body) const {
        for (int k = 0; k < count; ++k) {
            if (bodies[k] == body) return indices[k];
        }
        return -1;
    }
};

}  // namespace prallwerk
