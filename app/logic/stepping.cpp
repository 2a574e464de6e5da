#include "app/logic/stepping.h"

#include <cstdio>
#include <optional>

#include "app/logic/app_state.h"
#include "app/logic/control_state.h"
#include "prallwerk/world/impact_walker.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

ImpactNote impactNote;

namespace {

// The walk of the program's world, made at its first use (the world is made
// before main, in an order that no other global may rely on). The world it
// walks is remembered, so that a walk never goes on in another one.
struct Walk {
    std::optional<ImpactWalker> walker;
    World* walked = nullptr;
    float frameStartTime = 0.0f;    // simulatedTime when the frame in progress began
    double frameStartClock = 0.0;   // the walker's clock then
};
Walk walk;

ImpactWalker& walker() {
    if (!walk.walker || walk.walked != world) {
        walk.walker.emplace(*world);
        walk.walked = world;
    }
    return *walk.walker;
}

// Stepping by hand leaves the fresh state as Space does: time counts from 0.
void beginFrame() {
    sceneFresh = 0;
    walk.frameStartTime = simulatedTime;
    walk.frameStartClock = walker().clock();
    walker().beginFrame(splitFrame(static_cast<float>(steppingFrameSeconds / static_cast<double>(timeScale))));
}

// The frame in progress has passed on to its last impact.
void noteImpact() {
    const WalkedImpact& i = walker().lastImpact();
    simulatedTime = walk.frameStartTime + static_cast<float>(i.time - walk.frameStartClock);
    impactNote.kind = ImpactNote::Kind::impact;
    impactNote.time = simulatedTime;
    impactNote.a = i.a;
    impactNote.b = i.b;
}

// Runs the frame in progress to its end; the clock then reads as it would
// after the frame run whole.
void endFrame() {
    while (walker().toNextImpact()) noteImpact();
    simulatedTime = walk.frameStartTime + walker().frame().dt;
}

std::string bodyName(const World& w, int index) {
    if (index < 0) return "Boden";
    if (index < w.bodyCount && w.bodies[index]->kind == kindSphere) return "Kugel";
    char name[32];
    std::snprintf(name, sizeof name, "W\xFC" "rfel %d", index);
    return name;
}

}  // namespace

void stepOneFrame() {
    if (!walker().inFrame()) beginFrame();
    endFrame();
}

void stepToNextImpact() {
    const int reachFrames = static_cast<int>(impactReachSeconds / steppingFrameSeconds * timeScale + 0.5);
    int framesEnded = 0;
    for (;;) {
        if (!walker().inFrame()) {
            if (framesEnded == reachFrames) break;
            beginFrame();
        }
        if (walker().toNextImpact()) {
            noteImpact();
            return;
        }
        endFrame();
        ++framesEnded;
    }
    impactNote = ImpactNote{};
    impactNote.kind = ImpactNote::Kind::noneInReach;
}

void finishSteppedFrame() {
    if (walker().inFrame()) endFrame();
    impactNote = ImpactNote{};
}

void dropSteppedFrame() {
    walker().abandonFrame();
    impactNote = ImpactNote{};
}

std::string impactLine(const ImpactNote& note, const World& w) {
    char line[96];
    switch (note.kind) {
    case ImpactNote::Kind::hidden:
        return {};
    case ImpactNote::Kind::noneInReach:
        std::snprintf(line, sizeof line, "Kein Sto\xDF in %d s", impactReachSeconds);
        return line;
    case ImpactNote::Kind::impact:
        break;
    }
    std::snprintf(line, sizeof line, "Sto\xDF: %.3f s, %s \x96 %s", static_cast<double>(note.time),
                  bodyName(w, note.a).c_str(), bodyName(w, note.b).c_str());
    return line;
}
