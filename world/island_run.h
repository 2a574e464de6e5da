#pragma once

#include <vector>

#include "prallwerk/world/impact_record.h"
#include "prallwerk/world/island.h"
#include "prallwerk/world/step_progress.h"

namespace prallwerk {

class World;

// One island's part of a step: its event loop, through the world's virtual
// operations, over its bodies alone. The loop is cut where a walk impact by
// impact stops (search, resolve, finish); step() runs it through.
class IslandRun {
public:
    Island island;
    float left = 0.0f;       // s of the part this island has not passed yet
    float span = 0.0f;       // s of the whole part
    double clock = 0.0;      // s since the part began, at its last impact: their spans added in double precision
    int events = 0;          // impacts handled, as the landing rule and the cap count them
    StepPhase phase = StepPhase::over;
    bool eventCapReached = false;
    bool finished = false;      // finish() has run
    bool replayed = false;      // the island was at rest: it replayed the last part (replay())

    // The impact search() found and resolve() resolves.
    bool pending = false;
    bool pendingGround = false;  // a ground impact (else a pair impact)
    float pendingTime = 0.0f;    // its time after the island's last event

    // The last impact resolved, and the last pair impact with its contact
    // vectors: the world's hitA, hitB, normalA and normalB after the part.
    RigidBody* lastA = nullptr;
    RigidBody* lastB = nullptr;
    double lastInstant = -1.0;      // s since the part began; -1: no impact yet
    Vec3 lastNormalA, lastNormalB;
    double lastPairInstant = -1.0;  // -1: no pair impact yet

    // The impacts resolved, for the listener (only while there is one).
    std::vector<ImpactRecord> records;

    // Begins the island's part of span s: its bodies as the part found them
    // (copied there on the first run of a part, put back from there on a
    // run again), their bounds as the grouping gave them, their floors.
    void begin(World& world, float span, bool again);

    // Looks for the island's next impact within its time left: true when
    // there is one (pending), false when there is none (the island's
    // searches are over). Resolving it takes resolve().
    bool search(World& world);

    // Resolves the pending impact: the island's bodies at its instant.
    void resolve(World& world);

    // The rest of the part in free flight.
    void finish(World& world);

    // begin, then every impact, then the rest.
    void runThrough(World& world, float span, bool again);

    // An island at rest (World::islandAtRest): its bodies keep their bits,
    // their floors are put back as the last part left them, and the run is
    // over, with nothing done.
    void replay(World& world);

    // Time of the pending impact since the part began.
    double pendingInstant() const { return clock + static_cast<double>(pendingTime); }

private:
    // Which bodies have left their bounds, with the time left to go: all
    // of them, body k, or what an impact of a and b may have changed.
    void checkBounds(World& world);
    void checkBoundsOf(World& world, int k);
    void checkImpactBounds(World& world, const RigidBody* a, const RigidBody* b);
};

// The islands one round of a step runs (World::runIslands).
class IslandBatch {
public:
    IslandBatch(World& world, const int* islands, int count, float span, bool again)
        : world_(&world), islands_(islands), count_(count), span_(span), again_(again) {}

    int size() const { return count_; }

    // Runs the k-th island of the batch to the end of the part with the
    // search buffers of thread `worker` (0 .. threadCount() - 1), each
    // island once, on any thread; two calls at once need two workers.
    void run(int k, int worker);

private:
    World* world_;
    const int* islands_;
    int count_;
    float span_;
    bool again_;
};

}  // namespace prallwerk
