#include "prallwerk/world/island_run.h"

#include <cmath>

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/math/assertion.h"
#include "prallwerk/world/island_bounds.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

namespace {

// The velocity a body has at t when the response starts from it: what
// advance gives it (inert kinds do not move).
Vec3 velocityAtImpact(const RigidBody& body, float t) {
    return body.kind == kindSphere || body.kind == kindBox ? body.predictVelocity(t) : body.velocity;
}

// The ground's contact vector: up, whatever lies under the body.
constexpr Vec3 groundNormal{0.0, 0.0, 1.0};

}  // namespace

void IslandRun::begin(World& world, float span, bool again) {
    for (int k = 0; k < island.count; ++k) {
        const int i = island.indices[k];
        RigidBody& body = *island.bodies[k];
        if (again) {
            body = world.startStates_[i];
        } else {
            world.startStates_[i] = body;
        }
        world.reached_[i] = world.stepBounds_[i];
        world.left_[i] = 0;
        world.settled_[i] = 0;
    }
    left = span;
    this->span = span;
    island.span = span;
    clock = 0.0;
    events = 0;
    phase = span > 0.0f ? StepPhase::searching : StepPhase::over;
    eventCapReached = false;
    pending = false;
    finished = false;
    replayed = false;
    island.hitA = nullptr;
    island.hitB = nullptr;
    island.normalA = {};
    island.normalB = {};
    island.statistics = {};
    lastA = lastB = nullptr;
    lastInstant = lastPairInstant = -1.0;
    records.clear();
    // The first search measures every body against the floor under it as it
    // stands now, not against the ground: a body about to land on another is
    // found there and bounces.
    if (span > 0.0f) {
        world.findFloors(island);
        world.beginIslandPart(island, span);
        // The physical rules' contacts changed velocities there, and their
        // bodies fly from there until their first impacts: their paths are
        // checked against their bounds now.
        if (world.rules() == Rules::physical) checkBounds(world);
    }
}

bool IslandRun::search(World& world) {
    pending = false;
    if (phase != StepPhase::searching) return false;
    ++island.statistics.passes;
    island.timeLeft = left;
    island.hitA = nullptr;
    island.hitB = nullptr;
    const float tg = world.earliestGroundHit(island, left);
    // The pair search never looks beyond a ground impact already found.
    const float tp = world.earliestPairHit(island, tg > 0.0f ? tg : left);
    // The searches sample within a finite time: what they return is a time
    // or -1, never NaN, which would pass as no impact.
    PRALLWERK_ASSERT(std::isfinite(tg) && std::isfinite(tp));
    if (!(tg > 0.0f || tp > 0.0f)) {
        phase = StepPhase::finishing;
        return false;
    }
    pending = true;
    pendingGround = tg > 0.0f && (!(tp > 0.0f) || tg <= tp);
    pendingTime = pendingGround ? tg : tp;
    return true;
}

void IslandRun::resolve(World& world) {
    PRALLWERK_ASSERT(pending);
    if (!pending) return;
    pending = false;
    const float t = pendingTime;
    const float before = left;
    const bool told = static_cast<bool>(world.impactListener);
    RigidBody* a = island.hitA;
    RigidBody* b = pendingGround ? nullptr : island.hitB;
    ImpactRecord record;
    if (told) {
        record.a.index = island.indexOf(a);
        record.a.velocityBefore = velocityAtImpact(*a, t);
        if (b != nullptr) {
            record.b.index = island.indexOf(b);
            record.b.velocityBefore = velocityAtImpact(*b, t);
            record.normalA = island.normalA;
            record.normalB = island.normalB;
        } else {
            record.normalA = groundNormal;
        }
    }
    island.timeLeft = left;
    left = left - t;
    if (b == nullptr) {
        island.hitB = nullptr;
        record.kind = world.resolveGroundImpact(island, a, t, events);
        world.advanceAll(island, a, nullptr, t);
    } else {
        record.kind = ImpactKind::pair;
        world.resolvePair(island, a, b, t);
        ++island.statistics.pairImpacts;
        world.advanceAll(island, a, b, t);
    }
    clock += static_cast<double>(t);
    lastA = a;
    lastB = b;
    lastInstant = clock;
    if (b != nullptr) {
        lastNormalA = island.normalA;
        lastNormalB = island.normalB;
        lastPairInstant = clock;
    }
    checkImpactBounds(world, a, b);
    if (told) {
        // Free flight after the impact skipped its bodies: they hold what the
        // response left them.
        record.a.velocityAfter = a->velocity;
        if (b != nullptr) record.b.velocityAfter = b->velocity;
        record.span = t;
        record.stepTime = world.stepTime_ + world.walk_.offset + clock;
        record.time = world.elapsedTime + world.walk_.offset + clock;
        records.push_back(record);
    }
    if (!(left > 0.0f)) {
        phase = StepPhase::over;
    } else if (left == before) {
        // An impact time below half the last bit of the time left does not
        // shrink it, and the search would never end; a cap on the events
        // keeps one island bounded whatever the searches return.
        phase = StepPhase::finishing;
    } else if (++events >= World::maxEventsPerStep) {
        eventCapReached = true;
        phase = StepPhase::finishing;
    }
}

void World::beginIslandPart(Island& island, float span) {
    if (physical_) physical_->beginIslandPart(island, span);
}

ImpactKind World::resolveGroundImpact(Island& island, RigidBody* body, float t, int events) {
    if (physical_) return physical_->resolveGroundImpact(island, body, t);
    // A body resting a hair above its floor is found falling onto it at
    // vanishing times, bounces at a vanishing speed and is found again, each
    // time taking almost nothing off the time left; two such bodies shorten
    // each other's search limit and the island stalls. Once an island has
    // handled far more impacts in a step than an ordinary one, a body of it
    // that arrives slower than the ground search lets a touching body rest
    // lands instead of bouncing: it is put on its floor at rest and is not
    // found again. The count is the island's own: impacts elsewhere say
    // nothing about this island's bodies.
    if (events >= landingAfterEvents && arrivesAtRest(*body, t)) {
        body->landOnFloor(t);
        ++island.statistics.landings;
        return ImpactKind::landing;
    }
    body->groundResponse(t);
    ++island.statistics.groundImpacts;
    return ImpactKind::ground;
}

void World::endIslandPart(Island& island, float span) {
    if (physical_) {
        physical_->endIslandPart(island, span);
        return;
    }
    separateOverlaps(island);
}

void IslandRun::finish(World& world) {
    pending = false;
    if (finished) return;
    finished = true;
    if (phase != StepPhase::over) {
        world.advanceAll(island, nullptr, nullptr, left);
        left = 0.0f;
        phase = StepPhase::over;
        checkBounds(world);
    }
    // The classic rules push bodies found overlapping apart here.
    world.endIslandPart(island, span);
    // An island that changed nothing may replay in the next part.
    bool still = events == 0 && island.statistics.separations == 0;
    for (int k = 0; still && k < island.count; ++k) {
        still = sameBitsButFloor(*island.bodies[k], world.startStates_[island.indices[k]]);
    }
    for (int k = 0; k < island.count; ++k) {
        const int i = island.indices[k];
        world.stillIsland_[i] = still ? island.indices[0] : -1;
        world.stillSize_[i] = island.count;
        world.restFloors_[i] = island.bodies[k]->floorHeight;
    }
}

void IslandRun::replay(World& world) {
    for (int k = 0; k < island.count; ++k) {
        const int i = island.indices[k];
        island.bodies[k]->floorHeight = world.restFloors_[i];
        world.reached_[i] = world.stepBounds_[i];
        world.left_[i] = 0;
    }
    left = 0.0f;
    clock = 0.0;
    events = 0;
    phase = StepPhase::over;
    eventCapReached = pending = false;
    finished = replayed = true;
    island.hitA = island.hitB = nullptr;
    island.statistics = {};
    lastA = lastB = nullptr;
    lastInstant = lastPairInstant = -1.0;
    records.clear();
}

void IslandRun::runThrough(World& world, float span, bool again) {
    begin(world, span, again);
    while (search(world)) resolve(world);
    finish(world);
}

void IslandRun::checkBounds(World& world) {
    for (int k = 0; k < island.count; ++k) checkBoundsOf(world, k);
}

void IslandRun::checkBoundsOf(World& world, int k) {
    // Free flight keeps a body within the bound it was grouped by; an impact,
    // or a floor that moved under it, may take it further. Then the bound
    // grows to what it may reach now, and the step asks whether that meets
    // another island (World::joinConflicts).
    const int i = island.indices[k];
    // A settled body has not moved since it was last looked at.
    if (world.settled_[i]) return;
    const Bounds now = occupiedOver(*island.bodies[k], left);
    if (world.stepBounds_[i].holds(now)) return;
    world.reached_[i].include(withIslandMargin(now));
    world.left_[i] = 1;
}

void IslandRun::checkImpactBounds(World& world, const RigidBody* a, const RigidBody* b) {
    if (world.rules() != Rules::physical) {
        checkBounds(world);
        return;
    }
    // Under the physical rules the others hold the states their paths were
    // checked from (each body keeps its own clock): only the impact's
    // bodies have new paths.
    for (int k = 0; k < island.count; ++k) {
        if (island.bodies[k] == a || island.bodies[k] == b) checkBoundsOf(world, k);
    }
}

void IslandBatch::run(int k, int worker) {
    IslandRun& run = world_->runs_[static_cast<size_t>(islands_[k])];
    run.island.scratch = &world_->scratchFor(worker);
    run.runThrough(*world_, span_, again_);
}

}  // namespace prallwerk
