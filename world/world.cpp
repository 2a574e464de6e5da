#include "prallwerk/world/world.h"

#include <cmath>
#include <limits>

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/collision/pair_response.h"
#include "prallwerk/collision/pair_separation.h"
#include "prallwerk/core/free_flight.h"
#include "prallwerk/math/assertion.h"
#include "prallwerk/math/bits.h"
#include "prallwerk/world/frame_step.h"

namespace prallwerk {

World::World(int count, float mass) : pairBroadPhase_(count), posedFrames_(count), floors_(count), rest_(count) {
    normalA = {};
    normalB = {};
    bodyCount = count;
    ground = std::make_unique<GroundPlane>();
    bodies.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) bodies.push_back(std::make_unique<RigidBody>(mass));
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
    pairBroadPhase_ = PairBroadPhase(0);
    posedFrames_ = PosedFrames(0);
    floors_ = FloorFinder(0);
    rest_ = RestRecord(0);
}

void World::clearForces() {
    for (int i = 0; i < bodyCount; ++i) {
        bodies[i]->force = {};
        bodies[i]->floorHeight = 0.0f;
    }
}

void World::applyForces() {}

void World::advanceAll(RigidBody* skipA, RigidBody* skipB, float dt) {
    if (resting_) {
        if (skipA == nullptr && skipB == nullptr && sameBits(dt, rest_.span())) {
            // Free flight left every body as it was, and the floors it would
            // find are those the step found at its start for the same bodies.
            return;
        }
        resting_ = false;
    }
    // Floor heights and free flight interleave per body: body i finds its
    // floor among bodies 0..i-1 already advanced and i+1.. not yet advanced.
    floors_.load(bodies, bodyCount);
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody* body = bodies[i].get();
        floors_.setFloorHeight(*body, i);
        if (body != skipA && body != skipB) {
            body->advanceFree(dt);
            floors_.refresh(*body, i);
        }
    }
}

void World::findFloors() {
    floors_.load(bodies, bodyCount);
    for (int i = 0; i < bodyCount; ++i) floors_.setFloorHeight(*bodies[i], i);
}

void World::separateOverlaps() {
    if (bodyCount < 2) return;
    // A push can move a body into a third one, so the pairs are gone over
    // again while a pass still parted any, a few times at most.
    for (int pass = 0; pass < separationPasses; ++pass) {
        // The broad phase over a vanishing span finds every pair whose
        // bodies can overlap as they stand, in ascending order of both
        // indices; two bodies at rest too, as a push may have stopped one.
        pairBroadPhase_.prepare(bodies, bodyCount, std::numeric_limits<float>::min(), true);
        bool parted = false;
        for (int i = 0; i + 1 < bodyCount; ++i) {
            for (int j : pairBroadPhase_.partnersAfter(i)) {
                RigidBody& a = *bodies[i];
                RigidBody& b = *bodies[j];
                if (separatePair(a, b, overlapOf(a, b))) {
                    ++lastStep.separations;
                    parted = true;
                }
            }
        }
        if (!parted) return;
    }
}

float World::pairTimeOfImpact(float limit, RigidBody* a, RigidBody* b) {
    const PairImpact impact = pairImpact(limit, *a, *b, posedFrames_);
    if (impact.sampled) {
        normalA = impact.normalA;
        normalB = impact.normalB;
    }
    return impact.time;
}

float World::earliestGroundHit(float dt) {
    if (resting_) {
        // The same search of the same bodies found nothing.
        if (sameBits(dt, rest_.span())) return -1.0f;
        resting_ = false;
    }
    // Each body searches only up to the best time found so far; ties keep the
    // lower index.
    float best = dt;
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& body = *bodies[i];
        const GroundImpact impact = groundTimeOfImpact(body, best);
        // Free flight reads a box's lowest corner back from its radius.
        if (body.kind == kindBox) body.radius = impact.lowestCorner;
        const float t = impact.time;
        if (t > 0.0f && t < best) {
            best = t;
            hitA = &body;
        }
    }
    return best == dt ? -1.0f : best;
}

float World::earliestPairHit(float limit) {
    const int pairs = bodyCount > 1 ? bodyCount * (bodyCount - 1) / 2 : 0;
    if (resting_) {
        if (sameBits(limit, rest_.span())) {
            // The same searches found nothing, and the contact vectors are
            // those they left.
            lastStep.pairsSkipped += pairs;
            return -1.0f;
        }
        resting_ = false;
    }
    float best = limit;
    const int searchesBefore = lastStep.pairSearches;
    // Each search leaves its contact vectors in normalA/normalB; the ones that
    // count are those of the pair taken, not of a later pair searched after it.
    Vec3 takenA, takenB;
    bool taken = false;
    pairBroadPhase_.prepare(bodies, bodyCount, limit);
    for (int i = 0; i + 1 < bodyCount; ++i) {
        for (int j : pairBroadPhase_.partnersAfter(i)) {
            ++lastStep.pairSearches;
            const float r = pairTimeOfImpact(best, bodies[i].get(), bodies[j].get());
            if (r > 0.0f && r < best) {
                best = r;
                hitA = bodies[i].get();
                hitB = bodies[j].get();
                takenA = normalA;
                takenB = normalB;
                taken = true;
            }
        }
    }
    if (taken) {
        normalA = takenA;
        normalB = takenB;
    }
    lastStep.pairsSkipped += pairs - (lastStep.pairSearches - searchesBefore);
    return best == limit ? -1.0f : best;
}

void World::resolvePair(RigidBody* a, RigidBody* b, float t) { resolvePairImpact(*a, *b, t, normalA, normalB); }

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
    StepInProgress s = beginStep(dt);
    while (resolveNextImpact(s)) {
    }
}

StepInProgress World::beginStep(float dt) {
    // bodyCount is a public field and may have been written: the bodies are
    // those in the list, whatever it says.
    bodyCount = static_cast<int>(bodies.size());
    if (!nextPart_) stepTime_ = 0.0;
    lastStep = {};
    clearForces();
    applyForces();
    // The first search of the step measures every body against the floor
    // under it as it stands now, not against the ground: a body about to
    // land on another is found there and bounces.
    if (dt > 0.0f) findFloors();
    // A step's span is a number of seconds: no caller asks for infinity or
    // NaN (which would end it at once).
    PRALLWERK_ASSERT(std::isfinite(dt));
    StepInProgress s;
    s.left = dt;
    s.phase = dt > 0.0f ? StepPhase::searching : StepPhase::over;
    s.replaying = dt > 0.0f && rest_.begin(bodies, bodyCount, normalA, normalB, dt);
    return s;
}

bool World::resolveNextImpact(StepInProgress& s) {
    s.lastSpan = 0.0f;
    // The world's own operations replay the last step only when this step
    // calls them.
    resting_ = s.replaying;
    if (s.phase == StepPhase::searching) {
        float& dt = s.left;
        ++lastStep.passes;
        hitA = nullptr;
        hitB = nullptr;
        const float tg = earliestGroundHit(dt);
        // The pair search never looks beyond a ground impact already found.
        const float tp = earliestPairHit(tg > 0.0f ? tg : dt);
        // The searches sample within a finite time: what they return is a
        // time or -1, never NaN, which would pass as no impact.
        PRALLWERK_ASSERT(std::isfinite(tg) && std::isfinite(tp));
        if (tg > 0.0f || tp > 0.0f) {
            // An impact changes the bodies: nothing of the last step is
            // replayed any more, and this step is not one to replay.
            s.replaying = resting_ = false;
            rest_.forget();
            const float before = dt;
            const bool told = static_cast<bool>(impactListener);
            ImpactRecord record;
            if (tg > 0.0f && (!(tp > 0.0f) || tg <= tp)) {
                dt = dt - tg;
                // A body resting a hair above its floor is found falling onto it
                // at vanishing times, bounces at a vanishing speed and is found
                // again, each time taking almost nothing off the time left; two
                // such bodies shorten each other's search limit and the step
                // stalls. Once a step has handled far more impacts than an
                // ordinary one, a body that arrives slower than the ground search
                // lets a touching body rest lands instead of bouncing: it is put
                // on its floor at rest and is not found again.
                if (s.events >= landingAfterEvents && arrivesAtRest(*hitA, tg)) {
                    if (told) record = impactBefore(ImpactKind::landing, tg);
                    hitA->landOnFloor(tg);
                    ++lastStep.landings;
                } else {
                    if (told) record = impactBefore(ImpactKind::ground, tg);
                    hitA->groundResponse(tg);
                    ++lastStep.groundImpacts;
                }
                advanceAll(hitA, nullptr, tg);
                s.lastSpan = tg;
            } else {
                dt = dt - tp;
                if (told) record = impactBefore(ImpactKind::pair, tp);
                resolvePair(hitA, hitB, tp);
                ++lastStep.pairImpacts;
                advanceAll(hitA, hitB, tp);
                s.lastSpan = tp;
            }
            elapsedTime += static_cast<double>(s.lastSpan);
            stepTime_ += static_cast<double>(s.lastSpan);
            if (told) tellImpact(record, s.lastSpan);
            if (!(dt > 0.0f)) {
                s.phase = StepPhase::over;
            } else if (dt == before) {
                // An impact time below half the last bit of the time left does
                // not shrink it, and the search would never end; a cap on the
                // events keeps one step bounded whatever the searches return.
                s.phase = StepPhase::finishing;
            } else if (++s.events >= maxEventsPerStep) {
                lastStep.eventCapReached = true;
                s.phase = StepPhase::finishing;
            }
            return true;
        }
        s.phase = StepPhase::finishing;
    }
    if (s.phase == StepPhase::finishing) {
        advanceAll(nullptr, nullptr, s.left);
        // A replayed step separated nothing the last time either.
        if (!resting_) separateOverlaps();
        s.lastSpan = s.left;
        elapsedTime += static_cast<double>(s.lastSpan);
        stepTime_ += static_cast<double>(s.lastSpan);
        s.phase = StepPhase::over;
        // A step replayed to its end left what the record holds already.
        if (!resting_ && lastStep.impacts() == 0) rest_.end(bodies, bodyCount, normalA, normalB);
        lastStep.atRest = resting_;
    }
    s.replaying = resting_;
    resting_ = false;
    return false;
}

int World::indexOf(const RigidBody* body) const {
    for (int i = 0; i < bodyCount; ++i) {
        if (bodies[i].get() == body) return i;
    }
    return -1;
}

namespace {

// The velocity a body has at t when the response starts from it: what
// advance gives it (inert kinds do not move).
Vec3 velocityAtImpact(const RigidBody& body, float t) {
    return body.kind == kindSphere || body.kind == kindBox ? body.predictVelocity(t) : body.velocity;
}

// The ground's contact vector: up, whatever lies under the body.
constexpr Vec3 groundNormal{0.0, 0.0, 1.0};

}  // namespace

ImpactRecord World::impactBefore(ImpactKind kind, float t) const {
    ImpactRecord r;
    r.kind = kind;
    r.a.index = indexOf(hitA);
    r.a.velocityBefore = velocityAtImpact(*hitA, t);
    if (kind == ImpactKind::pair) {
        r.b.index = indexOf(hitB);
        r.b.velocityBefore = velocityAtImpact(*hitB, t);
        r.normalA = normalA;
        r.normalB = normalB;
    } else {
        r.normalA = groundNormal;
    }
    return r;
}

void World::tellImpact(ImpactRecord& r, float span) {
    // Free flight after the impact skipped its bodies: they hold what the
    // response left them.
    r.a.velocityAfter = hitA->velocity;
    if (r.kind == ImpactKind::pair) r.b.velocityAfter = hitB->velocity;
    r.span = span;
    r.stepTime = stepTime_;
    r.time = elapsedTime;
    impactListener(r);
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
