#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "prallwerk/collision/broad_phase.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/core/free_flight.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"
#include "prallwerk/world/impact_record.h"
#include "prallwerk/world/rest_record.h"
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

// A set of bodies above a ground plane, advanced by event-driven stepping;
// bodies are added and removed between steps (appendBody, eraseBody). Every operation below is virtual and is always called through the
// virtual table, also from inside step(), so that a subclass can replace any
// of them. Times are single-precision seconds; state is double precision.
class World {
public:
    // Most events one step() handles before it lets the rest of its time pass
    // in free flight. No prepared scene comes anywhere near it; it only keeps
    // step() from spinning when impact times stop shrinking the time left.
    static constexpr int maxEventsPerStep = 10000;

    // Impacts one step() handles before a body that meets its floor too
    // slowly to bounce off it lands on it instead (see step). Far more than
    // any prepared scene needs in a step, far fewer than a stall piles up.
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
    Vec3 normalA;               // contact vector for hitA, left by the pair search
    Vec3 normalB;               // contact vector for hitB, left by the pair search
    std::unique_ptr<GroundPlane> ground;
    StepStatistics lastStep;    // what the last call of step() did; for a span split into parts (see
                                // step) the parts' counts added up (each at most INT_MAX), eventCapReached
                                // if any part reached the cap, atRest if every part replayed the last one

    // Simulated seconds since the world was made: every span its bodies moved
    // by (each impact's time after the previous event, and the rest of each
    // step), added in order in double precision, as ImpactWalker::clock
    // counts them. Nothing in the step reads it: a caller may set it (to 0
    // when it loads a scene, say).
    double elapsedTime = 0.0;

    // Told of every impact the step resolves (ground impacts, landings and
    // pair impacts), in order, once every body has been moved to the
    // impact's instant (see ImpactRecord). Empty: no one is told, and the
    // step does no work for it. Telling changes no result; the listener must
    // not change the world (it is called from inside step()).
    std::function<void(const ImpactRecord&)> impactListener;

    // count bodies, each constructed with the given mass.
    World(int count, float mass);
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // --- the virtual operations, in slot order ---

    // Releases the bodies, the body array and the ground plane. Safe to call
    // more than once; the destructor calls it too.
    virtual void destroy();

    // Time of the first contact of a and b within limit (a has the lower
    // index), found by sampling: in [0, 0.99 * limit], or -1 for none. Leaves
    // the contact vectors of its search in normalA and normalB.
    virtual float pairTimeOfImpact(float limit, RigidBody* a, RigidBody* b);

    // force = 0 and floorHeight = 0 for every body.
    virtual void clearForces();

    // Adds the external forces of a step; the plain world has none.
    virtual void applyForces();

    // Recomputes every body's floor height and moves every body except the
    // two skipped ones (either may be null) over dt by free flight.
    virtual void advanceAll(RigidBody* skipA, RigidBody* skipB, float dt);

    // Earliest ground impact of any body within dt, sets hitA to its body;
    // -1 when there is none (hitA untouched).
    virtual float earliestGroundHit(float dt);

    // Earliest impact of two bodies within limit, sets hitA and hitB (lower
    // index first); -1 when there is none (both untouched). Pairs that
    // provably cannot touch within limit are not searched; normalA and
    // normalB end as the contact vectors of the pair taken.
    virtual float earliestPairHit(float limit);

    // Moves a and b over t to their impact and applies the collision response.
    virtual void resolvePair(RigidBody* a, RigidBody* b, float t);

    // Advances the world by dt: handles every impact inside the span in time
    // order, moving all bodies to each impact instant, then lets the rest of
    // the span pass in free flight. dt <= 0 only refreshes the forces.
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
    // impact and left every body bit for bit as its searches found it (floor
    // heights aside), and this step finds them so again, with the same span
    // and contact vectors, this step would do exactly what the last one did
    // (see RestRecord). Then the world's own operations answer as they did:
    // earliestGroundHit and earliestPairHit find nothing without searching
    // (so no pairTimeOfImpact, as for pairs the broad phase passes over), and
    // advanceAll puts back the floor heights and skips free flight. step
    // makes its calls as always, so an override sees each of them; the first
    // call that differs from the last step's (another span, a body to skip)
    // and every impact end the replay for the rest of the step. Overrides,
    // like the world's own operations, must be functions of the bodies and
    // their arguments.
    virtual void step(float dt);

    virtual ~World();

    // --- step() one impact at a time (not virtual: they are step's own parts) ---

    // Begins a step of dt as step() does: clears lastStep, refreshes the
    // forces (clearForces, applyForces) and returns the step, over at once
    // when dt <= 0.
    StepInProgress beginStep(float dt);

    // Moves step s on to its next impact, through the same virtual calls as
    // step() makes. Returns true when an impact has been resolved: every body
    // is at its instant, hitA is the body (ground impact) or first body (pair
    // impact) and hitB the second body or null, s.lastSpan is its time after
    // the previous event. Returns false when no impact is left: the rest of
    // the step has passed in free flight (s.lastSpan is that rest, or 0) and
    // s is over. beginStep(dt) followed by calls until false gives exactly
    // what step(dt) gives, however long the caller waits between the calls,
    // as long as nothing else moves the bodies meanwhile.
    bool resolveNextImpact(StepInProgress& s);

    // The index of body in bodies, or -1 when it is none of them (null).
    int indexOf(const RigidBody* body) const;

    // --- bodies added and removed between steps (not virtual) ---
    // Both keep everything the world holds in step with its bodies: the
    // count, the searches' buffers, the last impact's bodies, and the record
    // of a world at rest, which is forgotten (the next step searches). Call
    // them between steps, or where a step run impact by impact stopped after
    // an impact (ImpactWalker): the rest of that step then goes on with the
    // bodies as they are. They allocate; stepping does not.

    // Appends a copy of body after the last one and returns its index.
    // The world takes it as given: addBody in <prallwerk/scenes/body_def.h>
    // checks a body and derives it from a definition.
    int appendBody(const RigidBody& body);

    // Removes the body at index; the bodies after it move down by one. When
    // it was one of the last impact's bodies, hitA and hitB are both cleared
    // (the impact names a body that is gone); otherwise they keep naming
    // their bodies. An index outside the bodies changes nothing (the
    // engine's checks stop on it): removeBody in
    // <prallwerk/world/checked_world.h> refuses it with a ValueError.
    void eraseBody(int index);

private:
    // Every body's floor height from the bodies as they stand.
    void findFloors();
    // Pushes apart every pair of bodies that overlap at the end of a step
    // (separatePair).
    void separateOverlaps();

    PairBroadPhase pairBroadPhase_;  // sized for bodyCount bodies
    PosedFrames posedFrames_;        // the boxes' frames the pair searches turned them to
    FloorFinder floors_;             // sized for bodyCount bodies
    RestRecord rest_;                // sized for bodyCount bodies
    bool resting_ = false;           // within resolveNextImpact: the step replays the last one so far

    // --- a step in parts and its impacts told (world.cpp); bodies added and removed (world_bodies.cpp) ---
    double stepTime_ = 0.0;          // s the bodies moved by since the current call of step began
    bool nextPart_ = false;          // beginStep begins a later part of a split step: stepTime_ runs on
    void stepWhole(float dt);        // one part: beginStep, then resolveNextImpact until false
    void fitBuffersToBodies();       // the searches' buffers sized for bodies.size(), the rest forgotten
    ImpactRecord impactBefore(ImpactKind kind, float t) const;  // hitA and hitB as the response finds them
    void tellImpact(ImpactRecord& record, float span);          // completes the record and tells the listener
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
