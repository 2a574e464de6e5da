#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "prallwerk/collision/bounds_grid.h"
#include "prallwerk/collision/broad_phase.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"
#include "prallwerk/world/impact_record.h"
#include "prallwerk/world/island.h"
#include "prallwerk/world/island_grouping.h"
#include "prallwerk/world/island_scratch.h"
#include "prallwerk/world/rules.h"
#include "prallwerk/world/step_progress.h"
#include "prallwerk/world/step_statistics.h"

namespace prallwerk {

// 4/3 pi, the volume of a ball of radius 1, in single precision (m^3).
constexpr float unitBallVolume = static_cast<float>(4.0 / 3.0 * 3.14159265358979323846);

// Mass of every body of the default state and of the prepared scenes: a unit
// ball of 1 kg per m^3 (kg).
constexpr float defaultBodyMass = unitBallVolume;

// The gravity of the program's world, which the trace tool, the bench and the
// tests use too: -9.81 m/s^2 along -z, rounded to single precision and widened
// (-9.8100004196167), not the double literal.
constexpr Vec3 defaultGravity{0.0, 0.0, static_cast<double>(-9.81f)};

// The application's world holds seven bodies: body 0 a sphere of radius 1,
// bodies 1..6 cubes of edge 2.
constexpr int defaultBodyCount = 7;

// Where a body starts and how it is thrown.
struct BodyLaunch {
    Vec3 position;  // m
    Vec3 velocity;  // m/s
    Vec3 spin;      // rad/s
};

// The state a GravityWorld starts in, which is also the first prepared scene.
// Constant data, so that worlds built before main (the program's is) see it.
extern const BodyLaunch defaultLaunches[defaultBodyCount];

// The ground the floor heights refer to: the plane z = 0, normal up.
struct GroundPlane {
    Vec3 point{0.0, 0.0, 0.0};
    Vec3 normal{0.0, 0.0, 1.0};
};

class IslandBatch;
class IslandRun;
class PhysicalRules;
class WorkerPool;

// A set of bodies above a ground plane, advanced by event-driven stepping
// island by island; bodies are added and removed between steps (appendBody,
// eraseBody). Every operation below is virtual and is always called through
// the virtual table, also from inside step(), so that a subclass can replace
// any of them. Times are single-precision seconds; state is double precision.
class World {
public:
    // Most events one island handles in a step before it lets the rest of its
    // time pass in free flight. No prepared scene comes anywhere near it; it
    // only keeps step() from spinning when impact times stop shrinking the
    // time left.
    static constexpr int maxEventsPerStep = 10000;

    // Impacts one island handles in a step before a body of it that meets its
    // floor too slowly to bounce off it lands on it instead (see step). Far
    // more than any prepared scene needs in a step, far fewer than a stall
    // piles up.
    static constexpr int landingAfterEvents = 48;

    // Passes over the pairs at the end of a step that push overlapping
    // bodies apart, while a pass still parts any.
    static constexpr int separationPasses = 4;

    // The longest span step() searches in one part (0.1 s in single
    // precision): impacts are looked for at hundredths of the span, and the
    // program's frames are split into steps no longer than this. A longer
    // span is split into equal parts as a frame is (see step).
    static constexpr float longestStep = 0.1f;

    // The longest span step() splits (s, a little over three years; its
    // parts are then still counted in an int). A finite span beyond it is no
    // span a program asks for: it is taken in one part, as before, and the
    // engine's checks stop on it.
    static constexpr float longestSplitSpan = 1.0e8f;

    // The number of bodies. A public field, so it may be written; step()
    // takes the number of bodies in `bodies` whatever it says and writes that
    // back here (checkWorld in <prallwerk/world/checked_world.h> reports a
    // count that differs). appendBody and eraseBody keep it in step.
    int bodyCount = 0;
    BodyList bodies;            // owned, in index order
    RigidBody* hitA = nullptr;  // body of the last ground impact, or first body of the last pair impact
    RigidBody* hitB = nullptr;  // second body of the last pair impact
    Vec3 normalA;               // contact vector for hitA of the last pair impact
    Vec3 normalB;               // contact vector for hitB of the last pair impact
    std::unique_ptr<GroundPlane> ground;
    StepStatistics lastStep;    // what the last call of step() did; for a span split into parts (see
                                // step) the parts' counts added up (each at most INT_MAX), the island
                                // figures the largest of any part, eventCapReached if any part
                                // reached the cap, atRest if every part replayed the last one

    // Simulated seconds since the world was made: the span of every step (of
    // every part of a long one), added in order in double precision, as
    // ImpactWalker::clock counts them. Nothing in the step reads it: a caller
    // may set it (to 0 when it loads a scene, say).
    double elapsedTime = 0.0;

    // Told of every impact the step resolves (ground impacts, landings and
    // pair impacts) once the step's islands have all run, in the order of
    // their instants (ties in the order of their islands' lowest bodies, an
    // island's own in its order): see ImpactRecord. Walked impact by impact
    // (resolveNextImpact), each is told at its stop, with every body at its
    // instant. Empty: no one is told, and the step does no work for it.
    // Telling changes no result; the listener must not change the world (it
    // is called from inside step(), on the thread that called it).
    std::function<void(const ImpactRecord&)> impactListener;

    // count bodies, each constructed with the given mass.
    World(int count, float mass);
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // --- the virtual operations, in slot order ---
    //
    // Those given an island read and move the island's bodies alone, and
    // leave what they find in the island (hitA, hitB, the contact vectors,
    // its statistics): a step runs its islands in any order, and on several
    // threads at once when threadCount() is above 1, so an override must
    // keep to its island too. everyBody() gives an island of every body, for
    // calling them by hand.

    // Releases the bodies, the body array and the ground plane. Safe to call
    // more than once; the destructor calls it too.
    virtual void destroy();

    // Time of the first contact of a and b within limit (a has the lower
    // index), found by sampling (pairImpact): in [0, limit), or -1 for none. Leaves
    // the contact vectors of its search in the island's normalA and normalB.
    virtual float pairTimeOfImpact(Island& island, float limit, RigidBody* a, RigidBody* b);

    // force = 0 and floorHeight = 0 for every body.
    virtual void clearForces();

    // Adds the external forces of a step; the plain world has none.
    virtual void applyForces();

    // Recomputes the floor height of every body of the island from the
    // island's bodies and moves every one of them except the two skipped
    // ones (either may be null) over dt by free flight.
    virtual void advanceAll(Island& island, RigidBody* skipA, RigidBody* skipB, float dt);

    // Earliest ground impact of any body of the island within dt, sets the
    // island's hitA to its body; -1 when there is none (hitA untouched).
    virtual float earliestGroundHit(Island& island, float dt);

    // Earliest impact of two bodies of the island within limit, sets the
    // island's hitA and hitB (lower index first); -1 when there is none (both
    // untouched). Pairs that provably cannot touch within limit are not
    // searched; the island's normalA and normalB end as the contact vectors
    // of the pair taken.
    virtual float earliestPairHit(Island& island, float limit);

    // Moves a and b over t to their impact and applies the collision
    // response, with the contact vectors the island's search left.
    virtual void resolvePair(Island& island, RigidBody* a, RigidBody* b, float t);

    // Advances the world by dt, island by island. The bodies are grouped
    // into islands by where they can be within the step (their bounds over
    // dt, islandBoundOf in <prallwerk/world/island_bounds.h>: bodies whose
    // bounds overlap share an island, directly or through others), and each
    // island runs the event loop on its own bodies: it handles every impact
    // of its bodies inside the span in time order, moving its bodies to each
    // impact's instant, then lets the rest of the span pass in free flight.
    // A body alone in its island flies the whole step in one move. A body's
    // floor is the highest top among the bodies of its island: a body of
    // another island cannot come within its reach in the step. Should an
    // impact send a body out of its bound towards another island's bodies,
    // both islands run again from the step's start as one. Last, overlapping
    // bodies are pushed apart. The bits of a step depend neither on the
    // order of its islands nor on the number of threads. dt <= 0 only
    // refreshes the forces.
    //
    // A span longer than longestStep (up to longestSplitSpan) is split as a
    // frame of wall time is (splitFrame in <prallwerk/world/frame_step.h>):
    // into 1 + floor(10 * dt) equal parts of dt / parts seconds, each
    // stepped as above in turn, so that a long span is searched as finely as
    // the program's frames are (step(10) is 101 steps of 0.0990099 s, the
    // same bits as advanceWorld(world, 10)). The parts are the step's own
    // (step() is not called again for them). Spans up to longestStep, which
    // are all the program asks for, are one part, as they always were.
    //
    // A world at rest does not search again. When the last step handled no
    // impact, pushed nothing apart and left every body bit for bit as it
    // found it once the forces were applied (floor heights aside), and this
    // step finds them so again with the same span, this step would do
    // exactly what the last one did: it puts back the floor heights the last
    // one found and does nothing else (no island, search or free flight).
    // Overrides, like the world's own operations, must be functions of the
    // bodies and their arguments.
    virtual void step(float dt);

    // Runs each island of the batch to the end of the step (batch.run),
    // every one exactly once, in any order: on threadCount() threads, each
    // taking the next island not yet taken.
    virtual void runIslands(IslandBatch& batch);

    // --- the rules' own parts of an island's part of a step ---
    // A world of other rules (PhysicalWorld) replaces them; the classic
    // rules' are these.

    // Called when an island begins its part of span s (after its floors are
    // found, before its first search): the classic rules do nothing here.
    virtual void beginIslandPart(Island& island, float span);

    // Resolves the ground impact the island's search found for body at t
    // after the island's last event (events: the impacts the island handled
    // in this part so far), counts it in the island's statistics and says
    // what it was. The classic rules: a bounce (RigidBody::groundResponse),
    // or, once the island has handled landingAfterEvents impacts, a landing
    // for a body that arrives too slowly to bounce (see step).
    virtual ImpactKind resolveGroundImpact(Island& island, RigidBody* body, float t, int events);

    // Called when an island's part ends, its bodies at the part's end: the
    // classic rules push overlapping bodies apart (separation passes).
    virtual void endIslandPart(Island& island, float span);

    virtual ~World();

    // --- threads (not virtual) ---

    // Runs the islands of every later step on up to count threads: the
    // caller's and count - 1 more, started here and kept until the count
    // changes or the world goes. 1 (the default) runs everything on the
    // caller's thread. The bits of a step are the same for any count. Where
    // the build has no threads (WebAssembly), every count runs on one.
    void setThreadCount(int count);
    int threadCount() const { return threads_; }

    // --- the rules (not virtual) ---

    // The rules every later step runs by: the classic rules (the default,
    // docs/rules.md) or the physical rules (PhysicalRules in
    // <prallwerk/world/physical_rules.h>). The World's operations above and
    // a subclass's applyForces serve both: an operation a subclass replaces
    // is replaced under either. Choose them before the first step, with the
    // bodies as the rules read them: under the physical rules a body's
    // orientation is its `orientation` (its angles and a box's corners
    // follow it) and its spin the angular velocity in world axes; choosing
    // the physical rules takes each body's orientation from its angles, and
    // its velocity as the one of now (halfFirstPart).
    void setRules(Rules rules);
    Rules rules() const { return physical_ ? Rules::physical : Rules::classic; }

    // --- step() one impact at a time (not virtual: they are step's own parts) ---

    // Begins a step of dt as step() does: clears lastStep, refreshes the
    // forces (clearForces, applyForces) and returns the step, over at once
    // when dt <= 0. The step's islands are run once to learn which bodies
    // share one, and put back to its start; resolveNextImpact then walks
    // them. dt above longestStep is taken in one part (step splits it
    // first).
    StepInProgress beginStep(float dt);

    // Moves step s on to its next impact, the earliest of any island's next
    // one (ties to the island of the lowest body). Returns true when an
    // impact has been resolved: every body is at its instant (the bodies of
    // the other islands moved there by free flight for the stop, and put back
    // when the walk goes on), hitA is the body (ground impact) or first body
    // (pair impact) and hitB the second body or null, s.lastSpan is its time
    // after its island's previous event and s.time its time since the step
    // began. Returns false when no impact is left: the rest of the step has
    // passed in free flight (s.lastSpan is 0) and s is over. beginStep(dt)
    // followed by calls until false gives exactly what step(dt) gives,
    // however long the caller waits between the calls, as long as nothing
    // else moves the bodies meanwhile. A body added or removed at a stop
    // (appendBody, eraseBody) ends the islands: the rest of the step goes on
    // from the stop's instant as a step of the time left, with the bodies as
    // they are.
    bool resolveNextImpact(StepInProgress& s);

    // The index of body in bodies, or -1 when it is none of them (null).
    int indexOf(const RigidBody* body) const;

    // An island of every body, in index order, with the world's own search
    // buffers: for calling the island operations by hand. Valid until bodies
    // are added or removed, or the next step.
    Island everyBody();

    // --- bodies added and removed between steps (not virtual) ---
    // Both keep everything the world holds in step with its bodies: the
    // count, the searches' buffers, the last impact's bodies, and the record
    // of a world at rest, which is forgotten (the next step searches). Call
    // them between steps, or where a step run impact by impact stopped after
    // an impact (ImpactWalker): the rest of that step then goes on with the
    // bodies as they are. They allocate; stepping does not, but for the
    // impacts buffered for a listener.

    // Appends a copy of body after the last one and returns its index.
    // The world takes it as given, but that under the physical rules its
    // velocity is the one of now (it is marked halfFirstPart): addBody in
    // <prallwerk/scenes/body_def.h> checks a body and derives it from a
    // definition.
    int appendBody(const RigidBody& body);

    // Removes the body at index; the bodies after it move down by one. When
    // it was one of the last impact's bodies, hitA and hitB are both cleared
    // (the impact names a body that is gone); otherwise they keep naming
    // their bodies. An index outside the bodies changes nothing (the
    // engine's checks stop on it): removeBody in
    // <prallwerk/world/checked_world.h> refuses it with a ValueError.
    void eraseBody(int index);

    // --- snapshots and state hashes (not virtual; world_state.cpp) ---
    // docs/engine.md, "Snapshots and state hashes".

    // The world's state as bytes, the same on every platform: the rules,
    // the gravity of a GravityWorld, elapsedTime, the last impact, every
    // body's fields, the record of a world at rest and the contacts the
    // physical rules carry into the next step: everything the next steps
    // read. Not the thread count, the listener, lastStep or the fields of a
    // subclass other than GravityWorld's gravity. Between steps only: during
    // a step walked impact by impact (beginStep, until its last
    // resolveNextImpact) it gives no bytes, which no world restores.
    std::vector<std::uint8_t> saveState() const;

    // Puts the world into the state the bytes hold: from then on it steps
    // exactly as the world that saved them did, bit for bit, on any
    // platform. The world must have as many bodies as the snapshot, each of
    // the same kind and shape (a sphere's radius, a box's edges), and be a
    // GravityWorld where the snapshot's was; everything else comes from the
    // snapshot. A walk under way is ended. Bytes that are not such a
    // snapshot (truncated, corrupted, of another version or another world)
    // throw std::invalid_argument with a message that says why, and leave
    // the world exactly as it was.
    void restoreState(const std::uint8_t* bytes, std::size_t size);
    void restoreState(const std::vector<std::uint8_t>& bytes) { restoreState(bytes.data(), bytes.size()); }

    // The same without an exception, for builds that cannot catch one
    // (WebAssembly built without exception catching): the refusal's message,
    // the world left as it was, or none when the world has been restored.
    std::optional<std::string> tryRestoreState(const std::uint8_t* bytes, std::size_t size);

    // FNV-1a 64 over the bodies' records as the snapshot writes them (every
    // field of every body, exact bits, little-endian, in index order): the
    // same number on every platform for the same states, for peers to
    // compare a step by.
    std::uint64_t stateHash() const;

private:
    friend class IslandRun;
    friend class IslandBatch;

    // --- a step in parts (world.cpp) ---
    double stepTime_ = 0.0;          // s of the current call of step() that went before this part
    bool nextPart_ = false;          // a later part of a split step: stepTime_ runs on
    void stepWhole(float dt);        // one part: islands, separation, the impacts told

    // --- one part, island by island (world_islands.cpp) ---
    // Begins a part: lastStep cleared, the forces refreshed; true when the
    // world is at rest and the part has been replayed.
    bool beginPart(float dt);
    // Groups the bodies into islands over dt and runs them to the end of the
    // part, again as one where a body left its bound towards another island.
    void settleIslands(float dt, double offset);
    // Joins the islands a body that left its bound may meet; true if any.
    bool joinConflicts();
    // The part's end: separation, the statistics, the record of rest, the
    // clocks.
    void endPart(float dt);
    // The impacts of every island, in order, to the listener.
    void tellImpacts();
    // The last impact told or stopped at becomes the world's.
    void takeImpact(const IslandRun& run);
    // Floor heights of the island's bodies among themselves as they stand.
    void findFloors(Island& island);
    // Pushes apart every pair of the island's bodies that overlap at the end
    // of its part.
    void separateOverlaps(Island& island);
    // The same over the islands a push took a body beyond its bound towards,
    // as one island; true when it pushed any.
    bool separateAcrossIslands();
    // Whether the island is one the last part left as it found it, bit for
    // bit, with the same span: then it replays (IslandRun::replay).
    bool islandAtRest(const Island& island, float dt) const;
    // bodyPointers_ for the bodies in the list now.
    void refreshPointers();
    // The buffers of the threads for islands of n bodies.
    IslandScratch& scratchFor(int worker);

    // --- walked impact by impact (world_walk.cpp) ---
    void poseAt(double time, const IslandRun* except);
    void unpose();
    bool walkOn(StepInProgress& s);

    // --- bodies added and removed (world_bodies.cpp) ---
    void fitBuffersToBodies();       // the buffers sized for bodies.size(), the rest forgotten

    std::vector<RigidBody*> bodyPointers_;  // the bodies, as the islands see them
    std::vector<RigidBody*> islandBodies_;  // the bodies island by island: each island's own array
    std::vector<int> indices_;              // 0, 1, ...: everyBody's indices
    IslandGrouping grouping_;
    std::vector<IslandRun> runs_;           // one per island of the part
    std::vector<IslandRun> spareRuns_;      // the runs of the islands before they were joined
    std::vector<int> batch_;                // the islands a round runs
    std::vector<Bounds> stepBounds_;        // per body: its bound over the part
    std::vector<Bounds> reached_;           // per body: its bound, grown where it left it
    std::vector<unsigned char> left_;       // per body: it left its bound in this round
    std::vector<unsigned char> pushed_;     // per body: the separation pushed it in this part
    std::vector<unsigned char> settled_;    // per body: its island's last free flight left it as it was,
    std::vector<float> settledFloor_;       // on this floor (advanceAll)
    std::vector<RigidBody> startStates_;    // per body: as the part found it, forces applied
    std::vector<RigidBody> posed_;          // per body: as a stop of a walk moved it
    std::vector<unsigned char> isPosed_;    // per body: posed_ holds what it was before the stop
    std::vector<float> restFloors_;         // per body: the floor heights its still island left
    std::vector<int> stillIsland_;          // per body: the lowest body of the island that left it as
                                            // it found it in the last part, or -1
    std::vector<int> stillSize_;            // per body: the bodies of that island
    struct ToldImpact {
        const ImpactRecord* record;
        std::size_t order; // islands' order, then each island's own
    };
    std::vector<ToldImpact> told_; // the impacts of a part, in the order told
    std::vector<std::unique_ptr<IslandScratch>> scratch_;  // per thread
    std::unique_ptr<WorkerPool> pool_;
    std::unique_ptr<PhysicalRules> physical_;  // set under the physical rules
    int threads_ = 1;
    int merges_ = 0;                        // islands joined in this part
    std::vector<int> outside_;              // joinConflicts: the bodies that left their bounds,
    std::vector<Bounds> outsideBounds_;     // as far as each reached,
    BoundsGrid outsideGrid_;                // in a grid of their own,
    std::vector<int> oldIsland_;            // and per body and per island what the islands were
    std::vector<int> oldSize_;
    std::vector<unsigned char> islandJoined_;  // separateAcrossIslands: the islands gone over again,
    std::vector<RigidBody*> jointBodies_;      // their bodies,
    std::vector<int> jointIndices_;            // and their indices

    // A world at rest: the last part handled no impact, pushed nothing apart
    // and left every body as startStates_ holds it.
    bool still_ = false;
    float stillSpan_ = 0.0f;                // the span of the last part

    // A step walked impact by impact (beginStep, resolveNextImpact).
    struct Walk {
        bool active = false;
        unsigned generation = 0;    // bodiesGeneration_ when it began
        float span = 0.0f;          // s of the part the islands run
        double offset = 0.0;        // s of the part that passed before its islands began
        double lastStop = 0.0;      // s since the part's islands began, at the last stop
        float partSpan = 0.0f;      // s of the whole part
        bool posed = false;         // bodies are posed at the last stop
        bool restarted = false;     // bodies were added or removed at a stop
        StepStatistics carried;     // what the islands did before a restart
    } walk_;
    unsigned bodiesGeneration_ = 0;  // bodies added or removed so far
};

// The world the application runs: bodies fall under a constant gravity.
class GravityWorld : public World {
public:
    Vec3 gravity;  // m/s^2

    // Seven bodies in their default state (a sphere and six spinning cubes
    // thrown at each other), the gravity given.
    GravityWorld(double gx, double gy, double gz);

    // The same under the program's gravity, defaultGravity.
    GravityWorld() : GravityWorld(defaultGravity.x, defaultGravity.y, defaultGravity.z) {}

    // count inert bodies (kind 0, mass 1) under the gravity given, for the
    // caller to fill (buildWorld in <prallwerk/scenes/body_def.h> does).
    GravityWorld(const Vec3& gravity, int count);

    // force += mass * gravity for every body.
    void applyForces() override;
};

}  // namespace prallwerk
