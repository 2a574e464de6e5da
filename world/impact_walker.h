#pragma once

#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/step_progress.h"

namespace prallwerk {

class World;

// One impact that a walk stopped at.
struct WalkedImpact {
    int a = -1;           // index of the body of a ground impact, or of the first body of a pair impact
    int b = -1;           // index of the second body of a pair impact; -1 for a ground impact
    int subStep = 0;      // the step of its frame it happened in, from 0
    float span = 0.0f;    // s after the previous event of its island in the step (or the step's start)
    double time = 0.0;    // simulated s since the walker was made, at the impact
};

// Runs a world through frames exactly as advanceFrame does, but stops after
// each impact with every body at the impact's instant, and goes on from
// there when asked. Walking a frame impact by impact, or running it with
// advanceFrame, leaves the bodies with the same bits at its end. It drives
// the step's own parts (World::beginStep, World::resolveNextImpact), so a
// world whose step() is overridden is walked as the base step() would run.
class ImpactWalker {
public:
    explicit ImpactWalker(World& world) : world_(&world) {}

    // Begins a frame of steps.count steps of steps.sub seconds. A frame still
    // in progress is abandoned (see abandonFrame).
    void beginFrame(const FrameSteps& steps);

    // Runs the frame on to its next impact. Returns true with the bodies at
    // the impact's instant and lastImpact() telling which it was; false when
    // the frame has ended (all of its steps have passed) or none was begun.
    // Called until false, it runs the frame to its end.
    bool toNextImpact();

    // Forgets the frame in progress without running the rest of it, for
    // when the bodies have been replaced (a scene loaded). The bodies stay
    // where they are.
    void abandonFrame() { inFrame_ = false; }

    bool inFrame() const { return inFrame_; }

    // The frame in progress, or the last one begun.
    const FrameSteps& frame() const { return steps_; }

    // Simulated seconds since the walker was made: the spans of the steps
    // walked, added in order in double precision, and at a stop the time
    // of the impact within its step.
    double clock() const { return clock_; }

    // The last impact stopped at.
    const WalkedImpact& lastImpact() const { return last_; }

private:
    World* world_;
    FrameSteps steps_;
    int nextStep_ = 0;       // steps of the frame begun so far
    StepInProgress step_;    // the step in progress; over between steps
    bool inFrame_ = false;
    double clock_ = 0.0;
    double stepStart_ = 0.0;  // the clock when the step in progress began
    WalkedImpact last_;
};

}  // namespace prallwerk
