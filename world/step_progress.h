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
    float left = 0.0f;       // s of the step that have not passed yet
    float lastSpan = 0.0f;   // s the bodies moved by in the last resolveNextImpact: the impact's
                             // time after the previous event, or the rest of the step; 0 if none
    int events = 0;          // impacts handled, as the landing rule (World::landingAfterEvents)
                             // and the cap (World::maxEventsPerStep) count them
    StepPhase phase = StepPhase::over;
    bool replaying = false;  // the world was at rest: the step replays the last one (World::step)

    bool over() const { return phase == StepPhase::over; }
};

}  // namespace prallwerk
