#pragma once

namespace prallwerk {

// Where a step stands between two of its impacts.
enum class StepPhase {
    searching,  // looking for the next impact within the time left
    finishing,  // no impact is looked for any more: the time left passes in free flight
    over,       // the whole step has passed
};

// A step that World::beginStep has begun: what World::step carries from one
// impact to the next. World::resolveNextImpact moves it on, one impact at a
// time, so that a step can stop at each of its impacts and go on later with
// exactly the bits of an uninterrupted step().
struct StepInProgress {
    float left = 0.0f;       // s of the step that have not passed yet, at the last impact
    float lastSpan = 0.0f;   // s of the last impact after its island's previous event (or the
                             // step's start); 0 when resolveNextImpact found none
    double time = 0.0;       // s since the step began, at the last impact
    int events = 0;          // impacts resolved so far
    StepPhase phase = StepPhase::over;
    bool replaying = false;  // the world was at rest: beginStep replayed the last step (World::step)

    bool over() const { return phase == StepPhase::over; }
};

}  // namespace prallwerk
