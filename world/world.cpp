#include "prallwerk/world/world.h"
#include "prallwerk/world/island_run.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/collision/pair_response.h"
#include "prallwerk/world/worker_pool.h"
#include "prallwerk/math/assertion.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/core/physical_body.h"

namespace prallwerk {

World::World(int count, float mass) {
    normalA = {};
    normalB = {};
    bodyCount = count;
    ground = std::make_unique<GroundPlane>();
    bodies.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) bodies.push_back(std::make_unique<RigidBody>(mass));
    fitBuffersToBodies();
}

World::~World() { World::destroy(); }

void World::destroy() {
    hitA = nullptr;
    hitB = nullptr;
    bodies.clear();
    bodies.shrink_to_fit();
    bodyCount = 0;
    ground.reset();
    // The searches' buffers go too: a world without bodies searches none.
    pool_.reset();
    fitBuffersToBodies();
}

void World::clearForces() {
    for (int i = 0; i < bodyCount; ++i) {
        bodies[i]->force = {};
        bodies[i]->floorHeight = 0.0f;
    }
}

void World::applyForces() {}

void World::advanceAll(Island& island, RigidBody* skipA, RigidBody* skipB, float dt) {
    if (physical_) {
        physical_->advanceAll(island, skipA, skipB, dt);
        return;
    }
    if (island.count == 1) {
        // A body alone stands on the ground.
        RigidBody* body = island.bodies[0];
        body->floorHeight = 0.0f;
        if (body != skipA && body != skipB) body->advanceFree(dt);
        return;
    }
    // Floor heights and free flight interleave per body: body k finds its
    // floor among the island's bodies 0..k-1 already advanced and k+1.. not
    // yet advanced.
    FloorFinder& floors = island.scratch->floors;
    floors.load(island.bodies, island.count);
    for (int k = 0; k < island.count; ++k) {
        RigidBody* body = island.bodies[k];
        const int i = island.indices[k];
        floors.setFloorHeight(*body, k);
        if (body == skipA || body == skipB) {
            settled_[i] = 0;
            continue;
        }
        // A body resting on its floor without velocity or spin that free
        // flight left bit for bit as it was would be left so again, whatever
        // the span (RigidBody::restsOnFloor): it does not change until its
        // floor does. (Free flight reads nothing else that changes within a
        // step: its force is the step's, and its radius the one its corners
        // give.)
        if (settled_[i] && sameBits(body->floorHeight, settledFloor_[i])) continue;
        const bool still = isZero(body->velocity) && isZero(body->spin) && body->restsOnFloor();
        RigidBody& before = island.scratch->before;
        if (still) before = *body;
        body->advanceFree(dt);
        floors.refresh(*body, k);
        settled_[i] = still && sameBitsButFloor(*body, before) ? 1 : 0;
        settledFloor_[i] = body->floorHeight;
    }
}

void World::findFloors(Island& island) {
    // The physical rules have no floors: bodies stand on their contacts.
    if (physical_) return;
    if (island.count == 1) {
        island.bodies[0]->floorHeight = 0.0f;
        return;
    }
    FloorFinder& floors = island.scratch->floors;
    floors.load(island.bodies, island.count);
    for (int k = 0; k < island.count; ++k) floors.setFloorHeight(*island.bodies[k], k);
}

float World::pairTimeOfImpact(Island& island, float limit, RigidBody* a, RigidBody* b) {
    if (physical_) return physical_->pairTimeOfImpact(limit, a, b);
    const PairImpact impact = pairImpact(limit, *a, *b, island.scratch->frames);
    if (impact.sampled) {
        island.normalA = impact.normalA;
        island.normalB = impact.normalB;
    }
    return impact.time;
}

float World::earliestGroundHit(Island& island, float dt) {
    if (physical_) return physical_->earliestGroundHit(island, dt);
    // Each body searches only up to the best time found so far; ties keep the
    // lower index.
    float best = dt;
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        // A settled box (advanceAll) has no speed, so no ground impact, and
        // the lowest corner it keeps in its radius is the one its corners,
        // unchanged, give.
        if (body.kind == kindBox && settled_[island.indices[k]]) continue;
        const GroundImpact impact = groundTimeOfImpact(body, best);
        // Free flight reads a box's lowest corner back from its radius.
        if (body.kind == kindBox) body.radius = impact.lowestCorner;
        const float t = impact.time;
        if (t > 0.0f && t < best) {
            best = t;
            island.hitA = &body;
        }
    }
    return best == dt ? -1.0f : best;
}

float World::earliestPairHit(Island& island, float limit) {
    if (physical_ && physical_->schedules(island)) return physical_->earliestPairHit(island, limit);
    const int n = island.count;
    const int pairs = n > 1 ? static_cast<int>(static_cast<long long>(n) * (n - 1) / 2) : 0;
    float best = limit;
    int searches = 0;
    // Each search leaves its contact vectors in the island; the ones that
    // count are those of the pair taken, not of a later pair searched after it.
    Vec3 takenA, takenB;
    bool taken = false;
    PairBroadPhase& broad = island.scratch->broadPhase;
    broad.prepare(island.bodies, n, limit);
    // The pairs in ascending order of both indices: the search's limit
    // shrinks with each impact found, so the order is part of the result.
    for (const PairBroadPhase::Pair& p : broad.pairs()) {
        ++searches;
        RigidBody* a = island.bodies[p.first];
        RigidBody* b = island.bodies[p.second];
        const float r = pairTimeOfImpact(island, best, a, b);
        if (r > 0.0f && r < best) {
            best = r;
            island.hitA = a;
            island.hitB = b;
            takenA = island.normalA;
            takenB = island.normalB;
            taken = true;
        }
    }
    if (taken) {
        island.normalA = takenA;
        island.normalB = takenB;
    }
    StepStatistics& counts = island.statistics;
    counts.pairSearches += searches;
    counts.pairsSkipped += pairs - searches;
    return best == limit ? -1.0f : best;
}

void World::resolvePair(Island& island, RigidBody* a, RigidBody* b, float t) {
    if (physical_) {
        physical_->resolvePair(island, a, b, t);
        return;
    }
    resolvePairImpact(*a, *b, t, island.normalA, island.normalB);
}

void World::step(float dt) {
    // A finite span beyond the longest split one would take more parts than
    // an int counts.
    PRALLWERK_ASSERT(!(dt > longestSplitSpan) || !std::isfinite(dt));
    if (!(dt > longestStep && dt <= longestSplitSpan)) {
        stepWhole(dt);
        return;
    }
    // Impacts are looked for at hundredths of a step's span: a long span is
    // stepped in the parts a frame of the same length is split into, so that
    // it is searched as finely.
    const FrameSteps parts = splitFrame(dt);
    StepStatistics sum;
    for (int i = 0; i < parts.count; ++i) {
        nextPart_ = i > 0;
        stepWhole(parts.sub);
        if (i == 0) {
            sum = lastStep;
        } else {
            sum.addPart(lastStep);
        }
    }
    nextPart_ = false;
    lastStep = sum;
}

void World::stepWhole(float dt) {
    if (beginPart(dt)) {
        elapsedTime += static_cast<double>(dt);
        stepTime_ += static_cast<double>(dt);
        return;
    }
    if (!(dt > 0.0f)) return;
    settleIslands(dt, 0.0);
    endPart(dt);
}

void World::runIslands(IslandBatch& batch) {
    const int n = batch.size();
    if (!pool_ || n < 2) {
        for (int k = 0; k < n; ++k) batch.run(k, 0);
        return;
    }
    // Islands are taken in small runs of indices, each thread its next run
    // when it is done with one: many small islands cost little each.
    const int workers = pool_->count();
    const int chunk = std::max(1, n / (workers * 32));
    std::atomic<int> next{0};
    auto job = [&](int worker) {
        for (;;) {
            const int first = next.fetch_add(chunk);
            if (first >= n) return;
            const int last = std::min(n, first + chunk);
            for (int k = first; k < last; ++k) batch.run(k, worker);
        }
    };
    pool_->run(job);
}

void World::setThreadCount(int count) {
    const int wanted = std::max(1, count);
    if (wanted == threads_) return;
    threads_ = wanted;
    pool_.reset();
    if (threads_ > 1 && WorkerPool::threadsAvailable()) pool_ = std::make_unique<WorkerPool>(threads_);
    const int workers = pool_ ? pool_->count() : 1;
    while (static_cast<int>(scratch_.size()) < workers) {
        scratch_.push_back(std::make_unique<IslandScratch>(bodyCount));
    }
}

IslandScratch& World::scratchFor(int worker) { return *scratch_[static_cast<size_t>(worker)]; }

void World::setRules(Rules rules) {
    if (rules == this->rules()) return;
    if (rules == Rules::classic) {
        physical_.reset();
    } else {
        physical_ = std::make_unique<PhysicalRules>();
        for (int i = 0; i < bodyCount; ++i) {
            RigidBody& body = *bodies[i];
            setOrientation(body, quatFromAngles(body.angles));
            body.halfFirstPart = true;
        }
    }
    // The record of a world at rest was the other rules'.
    still_ = false;
    std::fill(stillIsland_.begin(), stillIsland_.end(), -1);
}

int World::indexOf(const RigidBody* body) const {
    for (int i = 0; i < bodyCount; ++i) {
        if (bodies[i].get() == body) return i;
    }
    return -1;
}

Island World::everyBody() {
    if (static_cast<int>(bodies.size()) != static_cast<int>(startStates_.size())) fitBuffersToBodies();
    refreshPointers();
    Island island;
    island.bodies = bodyPointers_.data();
    island.indices = indices_.data();
    island.count = bodyCount;
    island.scratch = scratch_.front().get();
    return island;
}

const BodyLaunch defaultLaunches[defaultBodyCount] = {
    {{-20, 0, 6}, {5, 0, 15}, {5, 5, 5}},     // the sphere, thrown up from the left
    {{-12, 0, 10}, {10, 0, 5}, {5, -5, 0}},  // three pairs of spinning cubes
    {{12, 0, 10}, {-10, 0, 5}, {5, -5, 0}},  // thrown at each other
    {{-10, 0, 15}, {12, 0, 5}, {5, -5, 0}},
    {{10, 0, 15}, {-12, 0, 5}, {5, -5, 0}},
    {{-11, 0, 5}, {10, 0, 5}, {5, -5, 0}},
    {{11, 0, 5}, {-10, 0, 5}, {5, -5, 0}},
};

GravityWorld::GravityWorld(double gx, double gy, double gz) : World(defaultBodyCount, 1.0f) {
    gravity = {gx, gy, gz};

    RigidBody& sphere = *bodies[0];
    sphere.kind = kindSphere;
    sphere.radius = 1.0f;
    for (int i = 1; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        b.kind = kindBox;
        b.box.width = 2.0f;
        b.box.length = 2.0f;
        b.box.height = 2.0f;
        b.box.resetCorners();
    }
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        b.position = defaultLaunches[i].position;
        b.velocity = defaultLaunches[i].velocity;
        b.spin = defaultLaunches[i].spin;
        b.angles = {};
        b.force = {};
        b.mass = defaultBodyMass;
        b.restitution = 1.0f;
        b.floorHeight = 0.0f;
    }
}

GravityWorld::GravityWorld(const Vec3& g, int count) : World(count, 1.0f) { gravity = g; }

void GravityWorld::applyForces() {
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        const double m = b.mass;
        b.force.add(m * gravity.x, m * gravity.y, m * gravity.z);
    }
}

}  // namespace prallwerk
