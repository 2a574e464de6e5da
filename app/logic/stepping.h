#pragma once

#include <string>

namespace prallwerk {
class World;
}

// Advancing the paused simulation by hand: by one frame, or on to its next
// impact. Both walk frames of 1/60 s at the current time scale, each split
// into steps as the running simulation splits its frames. A walk to an
// impact stops inside such a frame; that frame stays in progress: the next
// , goes on within it, . runs it to its end, and the simulation running on
// first takes it to its end. So the bodies pass every frame boundary with the
// bits that running the same frames whole would give them.

// Simulated seconds of one frame of the stepping keys at time scale 1.
constexpr double steppingFrameSeconds = 1.0 / 60.0;

// How far the walk to the next impact looks ahead, in simulated seconds.
constexpr int impactReachSeconds = 10;

// What the HUD's impact line tells: nothing until a stepping key has passed
// an impact (or found none), and nothing again once the simulation runs or
// a scene is loaded.
struct ImpactNote {
    enum class Kind { hidden, impact, noneInReach };
    Kind kind = Kind::hidden;
    float time = 0.0f;  // simulated s at the impact, counted as simulatedTime counts
    int a = -1;         // body of a ground impact, or first body of a pair impact
    int b = -1;         // second body of a pair impact; -1 for the ground
};
extern ImpactNote impactNote;

// Runs the frame in progress to its end; with none in progress, one whole
// frame. The note shows the last impact the frame passed, if it passed one.
void stepOneFrame();

// Walks on to the next impact within impactReachSeconds of simulated time and
// stops with the bodies at its instant, simulatedTime at its time and the
// note showing it. With none in reach, the whole reach has passed, frame by
// frame, and the note says so.
void stepToNextImpact();

// Before the simulation runs on: the frame in progress runs to its end, and
// the note goes.
void finishSteppedFrame();

// After a scene is loaded: the frame in progress is dropped unrun, the note
// goes.
void dropSteppedFrame();

// The HUD's line for note over the bodies of world, in the font's
// Windows-1252: "Stoß: 1.234 s, Kugel – Würfel 3", "…, Würfel 5 – Boden" or
// "Kein Stoß in 10 s"; empty while the note is hidden. The sphere is the
// Kugel, a box is a Würfel with its body number (its row in the HUD's table).
std::string impactLine(const ImpactNote& note, const prallwerk::World& world);
