// One part of a step, island by island: the grouping, the islands' runs,
// the islands joined where a body left its bound, and the part's end.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "prallwerk/collision/pair_separation.h"
#include "prallwerk/math/assertion.h"
#include "prallwerk/math/bits.h"
#include "prallwerk/world/island_bounds.h"
#include "prallwerk/world/island_run.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

void World::refreshPointers() {
    // bodyCount is a public field and may have been written, and so may the
    // list: the bodies are those in the list, whatever it says.
    bodyCount = static_cast<int>(bodies.size());
    for (int i = 0; i < bodyCount; ++i) bodyPointers_[static_cast<size_t>(i)] = bodies[static_cast<size_t>(i)].get();
}

bool World::beginPart(float dt) {
    // A list replaced by a caller (bodies are a public field) gets buffers
    // of its size.
    if (bodies.size() != startStates_.size()) fitBuffersToBodies();
    refreshPointers();
    if (!nextPart_) stepTime_ = 0.0;
    lastStep = {};
    merges_ = 0;
    // A walk left at a stop leaves its bodies where the stop put them: what
    // it kept of them to go on from is forgotten.
    if (walk_.posed) std::fill(isPosed_.begin(), isPosed_.end(), 0);
    walk_ = Walk{};
    clearForces();
    applyForces();
    if (physical_) physical_->beginPart(bodyCount);
    // A step's span is a number of seconds: no caller asks for infinity or
    // NaN (which would end it at once).
    PRALLWERK_ASSERT(std::isfinite(dt));
    if (!(dt > 0.0f)) return false;
    // A part is a function of the bodies as the forces leave them and of its
    // span: when the last part found the same bits with the same span and
    // changed nothing, this one would change nothing either.
    bool same = still_ && sameBits(dt, stillSpan_);
    for (int i = 0; same && i < bodyCount; ++i) same = sameBitsButFloor(*bodyPointers_[i], startStates_[i]);
    if (same) {
        for (int i = 0; i < bodyCount; ++i) bodyPointers_[i]->floorHeight = restFloors_[i];
        lastStep.atRest = true;
        return true;
    }
    still_ = false;
    // Islands may still be at rest one by one.
    if (!sameBits(dt, stillSpan_)) std::fill(stillIsland_.begin(), stillIsland_.end(), -1);
    return false;
}

void World::settleIslands(float dt, double offset) {
    walk_.offset = offset;
    const int n = bodyCount;
    for (int i = 0; i < n; ++i) stepBounds_[i] = islandBoundOf(*bodyPointers_[i], dt);
    grouping_.group(stepBounds_.data(), n);
    // The islands' bodies in island order, so that each sees a plain array.
    std::vector<RigidBody*>& byIsland = islandBodies_;
    for (int p = 0; p < n; ++p) byIsland[p] = bodyPointers_[grouping_.members(0)[p]];
    const int count = grouping_.islandCount();
    runs_.resize(static_cast<size_t>(count));
    batch_.clear();
    for (int k = 0; k < count; ++k) {
        IslandRun& run = runs_[k];
        Island& island = run.island;
        const int first = static_cast<int>(grouping_.members(k) - grouping_.members(0));
        island.bodies = byIsland.data() + first;
        island.indices = grouping_.members(k);
        island.count = grouping_.size(k);
        if (islandAtRest(island, dt)) {
            run.replay(*this);
        } else {
            run.replayed = false;
            batch_.push_back(k);
        }
    }
    IslandBatch first(*this, batch_.data(), static_cast<int>(batch_.size()), dt, false);
    runIslands(first);
    // A body an impact sent beyond its bound may have met a body of another
    // island: both islands run again, as one, from the part's start, until
    // no body meets another island's.
    while (joinConflicts()) {
        IslandBatch again(*this, batch_.data(), static_cast<int>(batch_.size()), dt, true);
        runIslands(again);
    }
}

bool World::joinConflicts() {
    const int n = bodyCount;
    // The bodies that left their bounds, in any run so far.
    outside_.clear();
    for (int i = 0; i < n; ++i) {
        if (left_[i]) outside_.push_back(i);
    }
    if (outside_.empty()) return false;
    bool joined = false;
    // Against the bodies that kept to their bounds (the grouping's grid holds
    // those bounds) ...
    BoundsGrid& grid = grouping_.grid();
    for (int g : outside_) {
        for (int j : grid.overlapping(reached_[g])) {
            if (left_[j] || grouping_.islandOf(j) == grouping_.islandOf(g)) continue;
            grouping_.join(g, j);
            joined = true;
        }
    }
    // ... and against each other, as far as each reached.
    outsideBounds_.resize(outside_.size());
    for (size_t q = 0; q < outside_.size(); ++q) outsideBounds_[q] = reached_[outside_[q]];
    outsideGrid_.build(outsideBounds_.data(), static_cast<int>(outside_.size()));
    for (int q = 0; q < static_cast<int>(outside_.size()); ++q) {
        for (int r : outsideGrid_.partnersAfter(q)) {
            const int g = outside_[q], h = outside_[r];
            if (grouping_.islandOf(g) == grouping_.islandOf(h)) continue;
            grouping_.join(g, h);
            joined = true;
        }
    }
    if (!joined) return false;

    // Number the islands anew. One whose bodies are all still its own ran
    // already; the joined ones run again.
    for (int k = 0; k < static_cast<int>(runs_.size()); ++k) oldSize_[k] = runs_[k].island.count;
    for (int i = 0; i < n; ++i) oldIsland_[i] = grouping_.islandOf(i);
    grouping_.regroup();
    const int count = grouping_.islandCount();
    // The runs swap places, buffers and all, so that nothing is allocated.
    std::vector<IslandRun>& runs = spareRuns_;
    runs.resize(static_cast<size_t>(count));
    batch_.clear();
    for (int k = 0; k < count; ++k) {
        const int* members = grouping_.members(k);
        const int old = oldIsland_[members[0]];
        const bool same = grouping_.size(k) == oldSize_[old];
        if (same) {
            std::swap(runs[k], runs_[old]);
        } else {
            ++merges_;
            batch_.push_back(k);
        }
        const int first = static_cast<int>(members - grouping_.members(0));
        for (int p = 0; p < grouping_.size(k); ++p) islandBodies_[first + p] = bodyPointers_[members[p]];
        Island& island = runs[k].island;
        island.bodies = islandBodies_.data() + first;
        island.indices = members;
        island.count = grouping_.size(k);
    }
    runs_.swap(runs);
    return true;
}

bool World::islandAtRest(const Island& island, float dt) const {
    // The island of the last part was these bodies exactly when each of them
    // names its lowest body and all were as many as these. That island is
    // a function of its bodies as the forces leave them and of the span: the
    // same bits again replay what it did, which was nothing.
    if (!sameBits(dt, stillSpan_)) return false;
    const int first = island.indices[0];
    for (int k = 0; k < island.count; ++k) {
        const int i = island.indices[k];
        if (stillIsland_[i] != first || stillSize_[i] != island.count) return false;
        if (!sameBitsButFloor(*island.bodies[k], startStates_[i])) return false;
    }
    return true;
}

void World::endPart(float dt) {
    // What the islands did, added up in island order.
    StepStatistics& st = lastStep;
    st.islands = static_cast<int>(runs_.size());
    st.islandMerges = merges_;
    for (const IslandRun& run : runs_) {
        st.addIsland(run.island.statistics, run.island.count, run.events);
        st.separations += run.island.statistics.separations;
        st.eventCapReached = st.eventCapReached || run.eventCapReached;
        st.islandsAtRest += run.replayed ? 1 : 0;
    }
    // The last impact in the order they are told is the world's.
    const IslandRun* last = nullptr;
    const IslandRun* lastPair = nullptr;
    for (const IslandRun& run : runs_) {
        if (run.lastInstant >= 0.0 && (last == nullptr || run.lastInstant >= last->lastInstant)) last = &run;
        if (run.lastPairInstant >= 0.0 && (lastPair == nullptr || run.lastPairInstant >= lastPair->lastPairInstant)) {
            lastPair = &run;
        }
    }
    if (last != nullptr) {
        hitA = last->lastA;
        hitB = last->lastB;
    } else {
        hitA = hitB = nullptr;
    }
    if (lastPair != nullptr) {
        normalA = lastPair->lastNormalA;
        normalB = lastPair->lastNormalB;
    }
    if (separateAcrossIslands() || walk_.restarted) {
        // Bodies moved after their islands were done with them.
        std::fill(stillIsland_.begin(), stillIsland_.end(), -1);
    }
    stillSpan_ = dt;
    if (impactListener && !walk_.active) tellImpacts();
    // A part that changed nothing is one the next may replay.
    bool same = st.impacts() == 0 && st.separations == 0 && !walk_.restarted;
    for (int i = 0; same && i < bodyCount; ++i) same = sameBitsButFloor(*bodyPointers_[i], startStates_[i]);
    still_ = same;
    elapsedTime += static_cast<double>(dt);
    stepTime_ += static_cast<double>(dt);
    walk_.active = false;
}

void World::tellImpacts() {
    told_.clear();
    for (const IslandRun& run : runs_) {
        for (const ImpactRecord& r : run.records) told_.push_back({&r, told_.size()});
    }
    // By instant; ties keep the islands' order and each island's own. Not
    // stable_sort: that takes a buffer from the heap on every step.
    std::sort(told_.begin(), told_.end(), [](const ToldImpact& a, const ToldImpact& b) {
        if (a.record->stepTime != b.record->stepTime) return a.record->stepTime < b.record->stepTime;
        return a.order < b.order;
    });
    for (const ToldImpact& t : told_) impactListener(*t.record);
}

void World::separateOverlaps(Island& island) {
    if (island.count < 2) return;
    // A push can move a body into a third one, so the pairs are gone over
    // again while a pass still parted any, a few times at most.
    PairBroadPhase& broad = island.scratch->broadPhase;
    for (int pass = 0; pass < separationPasses; ++pass) {
        // The broad phase over a vanishing span finds every pair whose
        // bodies can overlap as they stand, in ascending order of both
        // indices; two bodies at rest too, as a push may have stopped one.
        broad.prepare(island.bodies, island.count, FLT_MIN, true);
        bool parted = false;
        for (int i = 0; i + 1 < island.count; ++i) {
            for (int j : broad.partnersAfter(i)) {
                RigidBody& a = *island.bodies[i];
                RigidBody& b = *island.bodies[j];
                if (separatePair(a, b, overlapOf(a, b))) {
                    ++island.statistics.separations;
                    pushed_[island.indices[i]] = 1;
                    pushed_[island.indices[j]] = 1;
                    parted = true;
                }
            }
        }
        if (!parted) return;
    }
}

bool World::separateAcrossIslands() {
    // A push keeps a body within its bound, but for a deep overlap: then it
    // may have met a body of another island. The islands it may reach now
    // are gone over once more, as one island.
    outside_.clear();
    for (int i = 0; i < bodyCount; ++i) {
        if (pushed_[i] && !reached_[i].holds(occupiedOver(*bodyPointers_[i], 0.0f))) outside_.push_back(i);
    }
    std::fill(pushed_.begin(), pushed_.end(), 0);
    if (outside_.empty()) return false;
    std::fill(islandJoined_.begin(), islandJoined_.begin() + grouping_.islandCount(), 0);
    for (int g : outside_) {
        islandJoined_[grouping_.islandOf(g)] = 1;
        const Bounds now = withIslandMargin(occupiedOver(*bodyPointers_[g], 0.0f));
        // The grid holds the bounds the islands began with; a body that left
        // its own is looked at as far as it reached.
        for (int j : grouping_.grid().overlapping(now)) islandJoined_[grouping_.islandOf(j)] = 1;
        for (int j = 0; j < bodyCount; ++j) {
            if (left_[j] && reached_[j].overlaps(now)) islandJoined_[grouping_.islandOf(j)] = 1;
        }
    }
    jointBodies_.clear();
    jointIndices_.clear();
    for (int i = 0; i < bodyCount; ++i) {
        if (!islandJoined_[grouping_.islandOf(i)]) continue;
        jointBodies_.push_back(bodyPointers_[i]);
        jointIndices_.push_back(i);
    }
    Island joint;
    joint.bodies = jointBodies_.data();
    joint.indices = jointIndices_.data();
    joint.count = static_cast<int>(jointBodies_.size());
    joint.scratch = &scratchFor(0);
    separateOverlaps(joint);
    std::fill(pushed_.begin(), pushed_.end(), 0);
    lastStep.separations += joint.statistics.separations;
    return joint.statistics.separations > 0;
}

}  // namespace prallwerk
