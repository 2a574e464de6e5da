#include "prallwerk/world/physical_rules.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include "prallwerk/collision/contact_manifold.h"
#include "prallwerk/collision/physical_impact.h"
#include "prallwerk/core/physical_body.h"
#include "prallwerk/world/island_scratch.h"

namespace prallwerk {

namespace {

bool movable(const RigidBody& body) { return !body.fixed && (body.kind == kindSphere || body.kind == kindBox); }

// Slow enough to count towards sleep.
bool slow(const RigidBody& body) { return body.velocity.length() < sleepSpeed && body.spin.length() < sleepSpin; }

// Asleep: slow for sleepAfter with the rest of its island, which then held
// it still. A body slow for as long whose island is not yet is only ready.
bool asleep(const RigidBody& body) {
    return !movable(body) || (body.restingFor >= sleepAfter && isZero(body.velocity) && isZero(body.spin));
}

// The points of an impact's manifold found a look before the touch: those
// within the slop of the nearest, the features about to meet, and those
// within the slop of the nearest of the points that close fast (b null: the
// ground). The two differ where the bodies touch already and what meets is
// another feature: the far end of a box that turns onto a face.
void keepNearest(ContactManifold& m, const RigidBody& a, const RigidBody* b) {
    double deepest = -HUGE_VAL, deepestFast = -HUGE_VAL;
    bool fast[std::extent<decltype(ContactManifold::points)>::value] = {};
    for (int i = 0; i < m.count; ++i) {
        Vec3 v = pointVelocity(a, m.points[i].position);
        if (b != nullptr) v = v - pointVelocity(*b, m.points[i].position);
        fast[i] = -dot(v, m.normal) > bounceSpeed;
        deepest = std::max(deepest, m.points[i].depth);
        if (fast[i]) deepestFast = std::max(deepestFast, m.points[i].depth);
    }
    int kept = 0;
    for (int i = 0; i < m.count; ++i) {
        const double depth = m.points[i].depth;
        if (depth >= deepest - contactSlop || (fast[i] && depth >= deepestFast - contactSlop)) {
            m.points[kept++] = m.points[i];
        }
    }
    m.count = kept;
}

// The part's force went into the velocity at the part's start, and the
// straight flight at that velocity passes through the positions of a
// steady force's parabola at the part's start and end: the velocity is the
// parabola's at the middle of the part. The response meets the velocity the
// body has at the impact's instant (seconds < 0 takes the force's share of
// the time from the impact to the middle out) and the share goes back in
// after it. Else a bounce would send the force of the time after it back up
// with the rest: a ball would climb higher with each bounce (by its speed
// times the span, 3 % of 5 m at 60 steps a second).
void earn(RigidBody& body, double seconds) {
    if (!movable(body) || isZero(body.force)) return;
    body.velocity = body.velocity + (seconds / static_cast<double>(body.mass)) * body.force;
}

// From the middle of the island's part to an impact t after its last event
// (s; negative after the middle).
double toMiddle(const Island& island, float t) {
    return static_cast<double>(island.timeLeft) - static_cast<double>(t) - 0.5 * static_cast<double>(island.span);
}

void addContacts(const ContactManifold& m, int a, int b, double friction, double restitution,
                 std::vector<SolverContact>& contacts) {
    for (int i = 0; i < m.count; ++i) {
        SolverContact c;
        c.a = a;
        c.b = b;
        c.normal = m.normal;
        c.position = m.points[i].position;
        c.depth = m.points[i].depth;
        c.friction = friction;
        c.restitution = restitution;
        contacts.push_back(c);
    }
}

// An impact's reach: a look of the search leaves the bodies apart by at
// most half of how thin they are together.
double impactMarginOf(const RigidBody& a, const RigidBody* b) {
    return 0.5 * (thinnestPathOf(a) + (b != nullptr ? thinnestPathOf(*b) : 0.0));
}

// How far any point of the body can travel in span (m): its centre's
// speed, and for a box its spin's at its farthest corner (a sphere's spin
// turns it within its own surface). The contacts reach as far, so that
// whatever of a body the step can bring to the ground or to another body
// is held, not only what is within contactMargin at its start.
double travelInSpan(const RigidBody& body, float span) {
    if (!movable(body)) return 0.0;
    double speed = body.velocity.length();
    if (body.kind == kindBox) speed += static_cast<double>(body.box.halfDiagonal) * body.spin.length();
    return speed * static_cast<double>(span);
}

}  // namespace

void PhysicalRules::beginPart(int bodyCount) {
    ++part_;
    if (kept_.size() < static_cast<size_t>(bodyCount)) kept_.resize(static_cast<size_t>(bodyCount));
    if (schedules_.size() < static_cast<size_t>(bodyCount)) schedules_.resize(static_cast<size_t>(bodyCount));
}

const PhysicalRules::Kept* PhysicalRules::lastPartsOf(int index, const RigidBody* body) const {
    if (index < 0 || static_cast<size_t>(index) >= kept_.size()) return nullptr;
    for (const Kept& k : kept_[static_cast<size_t>(index)].kept) {
        if (k.owner == body && k.part + 1 == part_) return &k;
    }
    return nullptr;
}

const std::vector<PhysicalRules::KeptContact>* PhysicalRules::carriedContacts(int index,
                                                                             const RigidBody* body) const {
    // The next part reads what was kept in the last one begun.
    if (index < 0 || static_cast<size_t>(index) >= kept_.size()) return nullptr;
    for (const Kept& k : kept_[static_cast<size_t>(index)].kept) {
        if (k.owner == body && k.part == part_) return &k.contacts;
    }
    return nullptr;
}

void PhysicalRules::carryContacts(int index, const RigidBody* body, std::vector<KeptContact> contacts) {
    if (kept_.size() <= static_cast<size_t>(index)) kept_.resize(static_cast<size_t>(index) + 1);
    KeptPair& pair = kept_[static_cast<size_t>(index)];
    pair = KeptPair{};
    pair.kept[0].owner = body;
    pair.kept[0].part = part_;
    pair.kept[0].contacts = std::move(contacts);
}

PhysicalRules::Kept& PhysicalRules::thisPartsOf(int index, const RigidBody* body) {
    KeptPair& pair = kept_[static_cast<size_t>(index)];
    // The slot this part wrote already (its island runs again), else the
    // one the last part did not write.
    Kept* slot;
    if (pair.kept[0].part == part_) {
        slot = &pair.kept[0];
    } else if (pair.kept[1].part == part_) {
        slot = &pair.kept[1];
    } else {
        slot = pair.kept[0].part + 1 == part_ ? &pair.kept[1] : &pair.kept[0];
    }
    slot->owner = body;
    slot->part = part_;
    return *slot;
}

void PhysicalRules::advanceAll(Island& island, RigidBody* skipA, RigidBody* skipB, float dt) {
    if (ImpactSchedule* schedule = scheduleOf(island)) {
        // After an impact the others hold their states (their clocks); the
        // part's end flies every body there.
        if (skipA != nullptr || skipB != nullptr) {
            schedule->passed(dt);
        } else {
            schedule->flyAllToEnd(island);
        }
        return;
    }
    for (int k = 0; k < island.count; ++k) {
        RigidBody* body = island.bodies[k];
        if (body == skipA || body == skipB) continue;
        // A body that holds still stays bit for bit where it is.
        if (isZero(body->velocity) && isZero(body->spin)) continue;
        flyPhysical(*body, dt);
    }
}

void PhysicalRules::poseAt(const Island& island, int k, double time) const {
    if (const ImpactSchedule* schedule = scheduleOf(island)) schedule->poseAt(island, k, time);
}

float PhysicalRules::earliestGroundHit(Island& island, float dt) {
    if (ImpactSchedule* schedule = scheduleOf(island)) return schedule->earliestGroundHit(island);
    float best = dt;
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        const float t = physicalGroundImpact(body, best);
        if (t > 0.0f && t < best) {
            best = t;
            island.hitA = &body;
        }
    }
    return best == dt ? -1.0f : best;
}

float PhysicalRules::earliestPairHit(Island& island, float limit) {
    return scheduleOf(island)->earliestPairHit(island, limit);
}

float PhysicalRules::pairTimeOfImpact(float limit, RigidBody* a, RigidBody* b) {
    return impactTimeOf(physicalPairImpact(*a, *b, limit), limit);
}

void PhysicalRules::resolvePair(Island& island, RigidBody* a, RigidBody* b, float t) {
    flyToImpact(island, a, t);
    flyToImpact(island, b, t);
    const double margin = impactMarginOf(*a, b);
    ContactManifold m = contactBetween(poseAfter(*a, 0.0f), poseAfter(*b, 0.0f), margin);
    keepNearest(m, *a, b);
    // The manifold of bodies apart holds the features nearest across the
    // gap along the axis that parts them most; a corner that turns in fast
    // elsewhere may be missing from it, and the search found the impact by
    // that corner. The manifold of where they would first overlap, as far
    // ahead as a look of the search can leave them apart, has it.
    if (m.count == 0 || !(approachOf(*a, b, m) > bounceSpeed)) {
        const double speed = (a->velocity - b->velocity).length() + reachOf(*a) * a->spin.length() +
                             reachOf(*b) * b->spin.length();
        const float ahead = static_cast<float>(margin / std::max(speed, bounceSpeed));
        const ContactManifold overlap = contactBetween(poseAfter(*a, ahead), poseAfter(*b, ahead), 0.0);
        if (overlap.count > 0 && approachOf(*a, b, overlap) > bounceSpeed) m = overlap;
    }
    if (m.count == 0) return;
    std::vector<SolverBody> bodies{solverBodyOf(a), solverBodyOf(b)};
    std::vector<SolverContact> contacts;
    addContacts(m, 0, 1, combinedFriction(a->friction, b->friction),
                combinedRestitution(a->restitution, b->restitution), contacts);
    // What holds either body up takes its share of the blow: a crate on the
    // floor, or on a fixed table, hit from above is stopped there, not
    // driven into it.
    bodies.push_back(solverBodyOf(nullptr));
    // So do the bodies either touches once the two meet again in the part:
    // a light box between a heavy ball and another box then passes the blow
    // on at once, instead of being hit back and forth between them, impact
    // after impact, while the ball sinks in. A first meeting hands its blow
    // on impact by impact, as a row of balls does.
    std::vector<RigidBody*>& touching = island.scratch->touching;
    touchingNeighbours(island, a, b, t, touching);
    for (RigidBody* n : touching) {
        flyToImpact(island, n, t);
        bodies.push_back(solverBodyOf(n));
        const int at = static_cast<int>(bodies.size()) - 1;
        const ShapePose pose = poseAfter(*n, 0.0f);
        for (int k = 0; k < 2; ++k) {
            const RigidBody* body = k == 0 ? a : b;
            const ContactManifold m2 = contactBetween(poseAfter(*body, 0.0f), pose, contactSlop);
            addContacts(m2, k, at, combinedFriction(body->friction, n->friction),
                        combinedRestitution(body->restitution, n->restitution), contacts);
        }
        addContacts(contactWithGround(pose, 0.0, contactSlop), at, 2, n->friction, n->restitution, contacts);
    }
    for (int k = 0; k < 2; ++k) {
        RigidBody* body = k == 0 ? a : b;
        if (!movable(*body)) continue;
        const ShapePose pose = poseAfter(*body, 0.0f);
        const ContactManifold held = contactWithGround(pose, 0.0, contactSlop);
        addContacts(held, k, 2, body->friction, body->restitution, contacts);
        for (int j = 0; j < island.count; ++j) {
            RigidBody* support = island.bodies[j];
            if (!support->fixed || support == a || support == b) continue;
            const ContactManifold on = contactBetween(pose, poseAfter(*support, 0.0f), contactSlop);
            if (on.count == 0) continue;
            bodies.push_back(solverBodyOf(support));
            addContacts(on, k, static_cast<int>(bodies.size()) - 1, combinedFriction(body->friction, support->friction),
                        combinedRestitution(body->restitution, support->restitution), contacts);
        }
    }
    const double after = toMiddle(island, t);
    earn(*a, -after);
    earn(*b, -after);
    for (RigidBody* n : touching) earn(*n, -after);
    resolveImpact(bodies, contacts);
    earn(*a, after);
    earn(*b, after);
    for (RigidBody* n : touching) {
        earn(*n, after);
        n->restingFor = 0.0f;
    }
    a->restingFor = b->restingFor = 0.0f;
}

void PhysicalRules::touchingNeighbours(Island& island, const RigidBody* a, const RigidBody* b, float t,
                                       std::vector<RigidBody*>& touching) {
    touching.clear();
    // Without the island's schedule no clock says where the others stand.
    ImpactSchedule* schedule = scheduleOf(island);
    if (schedule == nullptr || !schedule->meetAgain(a, b)) return;
    const ShapePose pa = poseAfter(*a, 0.0f), pb = poseAfter(*b, 0.0f);
    const double reachA = reachOf(*a), reachB = reachOf(*b);
    for (int k = 0; k < island.count; ++k) {
        const RigidBody* n = island.bodies[k];
        if (n == a || n == b || !movable(*n)) continue;
        const float flight = static_cast<float>(schedule->flightTo(k, t));
        const Vec3 centre = predictPhysicalPosition(*n, flight);
        const double reach = reachOf(*n) + contactSlop;
        const bool nearA = (centre - a->position).length() <= reach + reachA;
        const bool nearB = (centre - b->position).length() <= reach + reachB;
        if (!nearA && !nearB) continue;
        const ShapePose pose = poseAfter(*n, flight);
        if ((nearA && contactBetween(pa, pose, contactSlop).count > 0) ||
            (nearB && contactBetween(pb, pose, contactSlop).count > 0)) {
            touching.push_back(island.bodies[k]);
        }
    }
}

ImpactKind PhysicalRules::resolveGroundImpact(Island& island, RigidBody* body, float t) {
    flyToImpact(island, body, t);
    ContactManifold m = contactWithGround(poseAfter(*body, 0.0f), 0.0, impactMarginOf(*body, nullptr));
    keepNearest(m, *body, nullptr);
    ++island.statistics.groundImpacts;
    if (m.count == 0) return ImpactKind::ground;
    std::vector<SolverBody> bodies{solverBodyOf(body), solverBodyOf(nullptr)};
    std::vector<SolverContact> contacts;
    // The ground is as rough and as bouncy as the body.
    addContacts(m, 0, 1, body->friction, body->restitution, contacts);
    const double after = toMiddle(island, t);
    earn(*body, -after);
    resolveImpact(bodies, contacts);
    earn(*body, after);
    body->restingFor = 0.0f;
    return ImpactKind::ground;
}

void PhysicalRules::gatherContacts(Island& island, float span, std::vector<SolverBody>& bodies,
                                   std::vector<SolverContact>& contacts) {
    const int n = island.count;
    bodies.clear();
    for (int k = 0; k < n; ++k) bodies.push_back(solverBodyOf(island.bodies[k]));
    bodies.push_back(solverBodyOf(nullptr));  // the ground, last
    contacts.clear();
    // A pair apart whose nearest points close fast is the impact search's:
    // they meet at its instant and bounce there. Where they close slowly,
    // the search stops at their touch and leaves the rest of the step to
    // the contacts, also for the points farther off that close fast (the
    // far side of a box that tips over its edge).
    auto fastApart = [&](const ContactManifold& m, const RigidBody& a, const RigidBody* b) {
        double deepest = -HUGE_VAL, approach = -HUGE_VAL;
        for (int i = 0; i < m.count; ++i) deepest = std::max(deepest, m.points[i].depth);
        for (int i = 0; i < m.count; ++i) {
            if (m.points[i].depth < deepest - contactSlop) continue;
            Vec3 v = pointVelocity(a, m.points[i].position);
            if (b != nullptr) v = v - pointVelocity(*b, m.points[i].position);
            approach = std::max(approach, -dot(v, m.normal));
        }
        return deepest < 0.0 && approach > bounceSpeed;
    };
    // Each body's pose once: a body in a heap is in several pairs.
    std::vector<ShapePose>& poses = island.scratch->poses;
    poses.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) poses[static_cast<size_t>(k)] = poseAfter(*island.bodies[k], 0.0f);
    for (int k = 0; k < n; ++k) {
        const RigidBody& body = *island.bodies[k];
        if (!movable(body)) continue;
        const ContactManifold m =
            contactWithGround(poses[static_cast<size_t>(k)], 0.0, contactMargin + travelInSpan(body, span));
        if (m.count == 0 || fastApart(m, body, nullptr)) continue;
        addContacts(m, k, n, body.friction, body.restitution, contacts);
    }
    if (n < 2) return;
    PairBroadPhase& broad = island.scratch->broadPhase;
    broad.prepare(island.bodies, n, span, true);
    for (const PairBroadPhase::Pair& p : broad.pairs()) {
        const RigidBody& a = *island.bodies[p.first];
        const RigidBody& b = *island.bodies[p.second];
        if (!movable(a) && !movable(b)) continue;
        const ContactManifold m =
            contactBetween(poses[static_cast<size_t>(p.first)], poses[static_cast<size_t>(p.second)],
                           contactMargin + travelInSpan(a, span) + travelInSpan(b, span));
        if (m.count == 0 || fastApart(m, a, &b)) continue;
        addContacts(m, p.first, p.second, combinedFriction(a.friction, b.friction),
                    combinedRestitution(a.restitution, b.restitution), contacts);
    }
}

void PhysicalRules::flyToImpact(Island& island, RigidBody* body, float t) {
    if (ImpactSchedule* schedule = scheduleOf(island)) {
        schedule->flyToImpact(island, body, t);
    } else {
        flyPhysical(*body, t);
    }
}

void PhysicalRules::beginIslandPart(Island& island, float span) {
    const size_t first = static_cast<size_t>(island.indices[0]);
    if (first < schedules_.size()) schedules_[first].begin(island);
    bool sleeping = true;
    for (int k = 0; sleeping && k < island.count; ++k) sleeping = asleep(*island.bodies[k]);
    if (sleeping) return;
    // Something awake shares the island: it runs. Its sleepers keep the
    // time they have been still: each body counts its own (endIslandPart),
    // and the island sleeps again once every one of them has been slow for
    // sleepAfter, which a body that moves has not. Counting the sleepers'
    // time anew whenever an awake body joins them kept a resting pile awake
    // for ever: a sleeper at its edge, whose reach meets the pile's in one
    // part and not in the next, joined it woken again and again.

    // The part's forces into the velocities, at once: free flight then
    // moves in straight lines (it does not read the force), so that no
    // impact's instant splits a body's path, and the searches predict it
    // exactly. The velocity so reached is the one of the middle of the part
    // when it was the one of the middle of the last: a body's first part
    // takes half the force, from the velocity of its start (the leapfrog
    // start). Else every part's flight would lag by half a part's force: a
    // crate sliding at 8 m/s would stop 4 cm short of v^2 / (2 mu g), a body
    // falling from rest would lag g t dt / 2 behind g t^2 / 2.
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        if (!movable(body)) continue;
        if (!isZero(body.force)) {
            const double part = body.halfFirstPart ? 0.5 * static_cast<double>(span) : static_cast<double>(span);
            body.velocity = body.velocity + (part / static_cast<double>(body.mass)) * body.force;
        }
        body.halfFirstPart = false;
    }

    std::vector<SolverBody>& bodies = island.scratch->solverBodies;
    std::vector<SolverContact>& contacts = island.scratch->solverContacts;
    gatherContacts(island, span, bodies, contacts);
    if (contacts.empty()) return;
    prepareContacts(bodies, contacts);
    for (SolverContact& c : contacts) {
        // Apart by a gap: the bodies may close it within the part, no more.
        if (c.depth < 0.0) c.bounce = c.depth / static_cast<double>(span);
        // The impulses the same pair gathered at this place in the last part.
        const RigidBody* partner = c.b < island.count ? island.bodies[c.b] : nullptr;
        const Kept* last = lastPartsOf(island.indices[c.a], island.bodies[c.a]);
        if (last == nullptr) continue;
        for (const KeptContact& k : last->contacts) {
            if (k.partner != partner || (k.position - c.position).length() > warmStartReach) continue;
            c.normalImpulse = k.normalImpulse;
            c.tangentImpulse1 = k.tangentImpulse1;
            c.tangentImpulse2 = k.tangentImpulse2;
            break;
        }
    }
    warmStart(bodies, contacts);
    solveVelocities(bodies, contacts, contactPasses);
    propagateShock(bodies, contacts);
    correctPositions(bodies, contacts, correctionPasses);
    applyCorrections(bodies);
    keepContacts(island, bodies, contacts);
}

void PhysicalRules::keepContacts(Island& island, const std::vector<SolverBody>&,
                                 const std::vector<SolverContact>& contacts) {
    for (int k = 0; k < island.count; ++k) thisPartsOf(island.indices[k], island.bodies[k]).contacts.clear();
    for (const SolverContact& c : contacts) {
        Kept& kept = thisPartsOf(island.indices[c.a], island.bodies[c.a]);
        KeptContact k;
        k.partner = c.b < island.count ? island.bodies[c.b] : nullptr;
        k.position = c.position;
        k.normalImpulse = c.normalImpulse;
        k.tangentImpulse1 = c.tangentImpulse1;
        k.tangentImpulse2 = c.tangentImpulse2;
        kept.contacts.push_back(k);
    }
}

void PhysicalRules::endIslandPart(Island& island, float span) {
    float least = sleepAfter;
    bool any = false;
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        if (!movable(body)) continue;
        any = true;
        body.restingFor = slow(body) ? std::min(body.restingFor + span, sleepAfter) : 0.0f;
        least = std::min(least, body.restingFor);
    }
    if (!any || least < sleepAfter) return;
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        if (!movable(body)) continue;
        body.velocity = {};
        body.spin = {};
    }
}

}  // namespace prallwerk
