#pragma once

#include <vector>

#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/world/impact_record.h"
#include "prallwerk/world/impact_schedule.h"
#include "prallwerk/world/island.h"

namespace prallwerk {

// Slower than these for sleepAfter, an island falls asleep: its bodies hold
// still (exact zeros) and the step replays them at no cost until something
// awake shares their island again.
constexpr double sleepSpeed = 0.05;   // m/s
constexpr double sleepSpin = 0.05;    // rad/s
constexpr float sleepAfter = 0.5f;    // s

// Contacts are gathered where shapes come within this of each other, so
// that a body about to settle is held rather than caught a step late (m).
constexpr double contactMargin = 0.02;

// A gathered impulse carries over to the next step's contact of the same
// pair within this distance (m).
constexpr double warmStartReach = 0.02;

// The physical rules of a world (World::setRules; docs/rules.md, "The
// physical rules"): momentum-keeping impulses at contact points through the
// bodies' inertia and lever arms, Coulomb friction, resting contacts solved
// in each step, fixed bodies, islands that fall asleep. The event-driven
// step is the World's: each island finds its impacts (approaches faster
// than bounceSpeed) earliest first and resolves them at their instant; the
// World's operations hand their work to these when the world runs by the
// physical rules.
//
// Each island's part of a step: the step's forces into the velocities
// (gravity, as the world's applyForces gives it), the contacts its bodies
// touch (or nearly) solved as sequential impulses warm-started from the
// last part's, the overlaps corrected by moving the bodies; then the
// impacts; then free flight in straight lines and turns at the angular
// velocity. What an island reads and writes is its own bodies' alone, so
// that islands run on any thread.
class PhysicalRules {
public:
    // A part of a step begins (World::beginPart, on the caller's thread):
    // the contacts the last part kept become the ones this part starts
    // from, for bodyCount bodies.
    void beginPart(int bodyCount);

    float pairTimeOfImpact(float limit, RigidBody* a, RigidBody* b);
    void advanceAll(Island& island, RigidBody* skipA, RigidBody* skipB, float dt);
    float earliestGroundHit(Island& island, float dt);
    float earliestPairHit(Island& island, float limit);  // for an island it schedules()
    void resolvePair(Island& island, RigidBody* a, RigidBody* b, float t);
    void beginIslandPart(Island& island, float span);
    ImpactKind resolveGroundImpact(Island& island, RigidBody* body, float t);
    void endIslandPart(Island& island, float span);
    // Body k of an island as it stands at time (s since the part began):
    // the bodies keep their own clocks between impacts (ImpactSchedule).
    void poseAt(const Island& island, int k, double time) const;
    // Whether the island's searches go through its run's schedule (else the
    // world searches its pairs one by one).
    bool schedules(const Island& island) const { return scheduleOf(island) != nullptr; }

    // What a body's contacts gathered in one part, kept for the warm start
    // of the next: each with its partner (null: the ground).
    struct KeptContact {
        const RigidBody* partner = nullptr;
        Vec3 position;
        double normalImpulse = 0.0;
        double tangentImpulse1 = 0.0;
        double tangentImpulse2 = 0.0;
    };

    // The contacts the last part kept for the body at index, in the order
    // the next part's warm start reads them; null when it kept none for this
    // body (the next part starts its contacts cold). For a snapshot.
    const std::vector<KeptContact>* carriedContacts(int index, const RigidBody* body) const;

    // The contacts the next part starts the body at index from, as
    // carriedContacts gave them: for a snapshot restored into fresh rules
    // (before their first part).
    void carryContacts(int index, const RigidBody* body, std::vector<KeptContact> contacts);

private:
    struct Kept {
        const RigidBody* owner = nullptr;  // the body they were kept for
        unsigned part = 0;                 // the part that wrote them
        std::vector<KeptContact> contacts;
    };
    // Per body two generations: the last part's, read, and this part's,
    // written; an island that runs again (joined, or walked) reads the same.
    struct KeptPair {
        Kept kept[2];
    };
    std::vector<KeptPair> kept_;
    // Per island, at the world index of its first body: the impacts its
    // searches found in this part.
    std::vector<ImpactSchedule> schedules_;
    unsigned part_ = 1;  // parts begun

    // The schedule begun for this island's run, or null: an island made by
    // hand (World::everyBody) is searched and flown as it stands.
    ImpactSchedule* scheduleOf(const Island& island) {
        const size_t first = static_cast<size_t>(island.indices[0]);
        return first < schedules_.size() && schedules_[first].serves(island) ? &schedules_[first] : nullptr;
    }
    const ImpactSchedule* scheduleOf(const Island& island) const {
        const size_t first = static_cast<size_t>(island.indices[0]);
        return first < schedules_.size() && schedules_[first].serves(island) ? &schedules_[first] : nullptr;
    }
    void flyToImpact(Island& island, RigidBody* body, float t);
    const Kept* lastPartsOf(int index, const RigidBody* body) const;
    Kept& thisPartsOf(int index, const RigidBody* body);
    void gatherContacts(Island& island, float span, std::vector<SolverBody>& bodies,
                        std::vector<SolverContact>& contacts);
    void keepContacts(Island& island, const std::vector<SolverBody>& bodies,
                      const std::vector<SolverContact>& contacts);
};

}  // namespace prallwerk
