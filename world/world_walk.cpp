// A step walked impact by impact: the islands of the step, each on its own
// clock, taken on at the earliest impact of any of them.
#include "prallwerk/math/assertion.h"
#include "prallwerk/world/island_run.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

StepInProgress World::beginStep(float dt) {
    StepInProgress s;
    s.left = dt;
    if (beginPart(dt)) {
        s.replaying = true;
        s.phase = StepPhase::finishing;
        return s;
    }
    if (!(dt > 0.0f)) return s;
    // Which bodies share an island is known only once the islands have run
    // (an impact may send a body towards another island, and the two then
    // run as one): they run through once, and every body is put back to the
    // part's start for the walk.
    settleIslands(dt, 0.0);
    for (IslandRun& run : runs_) {
        run.island.scratch = &scratchFor(0);
        if (!run.replayed) run.begin(*this, dt, true);
    }
    walk_.active = true;
    walk_.generation = bodiesGeneration_;
    walk_.span = walk_.partSpan = dt;
    s.phase = StepPhase::searching;
    return s;
}

void World::poseAt(double time, const IslandRun* except) {
    if (physical_) {
        // Under the physical rules every body keeps its own clock, the
        // walked island's too: each is flown from its own last event.
        for (const IslandRun& run : runs_) {
            if (run.replayed || run.finished) continue;
            for (int k = 0; k < run.island.count; ++k) {
                const int i = run.island.indices[k];
                posed_[i] = *run.island.bodies[k];
                isPosed_[i] = 1;
                physical_->poseAt(run.island, k, time);
            }
        }
        walk_.posed = true;
        return;
    }
    // The other islands' bodies stand at their own last events: free flight
    // takes them to the stop's instant, from a copy the walk goes on from.
    for (const IslandRun& run : runs_) {
        if (&run == except || !(run.clock < time)) continue;
        const float span = static_cast<float>(time - run.clock);
        for (int k = 0; k < run.island.count; ++k) {
            const int i = run.island.indices[k];
            RigidBody& body = *run.island.bodies[k];
            posed_[i] = body;
            isPosed_[i] = 1;
            body.advanceFree(span);
        }
    }
    walk_.posed = true;
}

void World::unpose() {
    if (!walk_.posed) return;
    for (const IslandRun& run : runs_) {
        for (int k = 0; k < run.island.count; ++k) {
            const int i = run.island.indices[k];
            if (!isPosed_[i]) continue;
            *run.island.bodies[k] = posed_[i];
            isPosed_[i] = 0;
        }
    }
    walk_.posed = false;
}

bool World::resolveNextImpact(StepInProgress& s) {
    s.lastSpan = 0.0f;
    if (s.phase == StepPhase::over) return false;
    if (s.replaying) {
        // The world was at rest: beginStep replayed the last part.
        elapsedTime += static_cast<double>(s.left);
        stepTime_ += static_cast<double>(s.left);
        s.phase = StepPhase::over;
        s.replaying = false;
        return false;
    }
    if (!walk_.active) {
        // The walk was left for a step or another walk.
        s.phase = StepPhase::over;
        return false;
    }
    if (walk_.generation != bodiesGeneration_) {
        // Bodies came or went at the last stop, where every body stands at
        // its instant: the rest of the part is a step of the time left, with
        // the bodies as they are.
        for (const IslandRun& run : runs_) walk_.carried.addPart(run.island.statistics);
        const double stop = walk_.offset + walk_.lastStop;
        const float rest = static_cast<float>(static_cast<double>(walk_.partSpan) - stop);
        refreshPointers();
        walk_.restarted = true;
        walk_.posed = false;
        walk_.generation = bodiesGeneration_;
        walk_.lastStop = 0.0;
        if (!(rest > 0.0f)) {
            runs_.clear();
            endPart(walk_.partSpan);
            lastStep.addPart(walk_.carried);
            s.phase = StepPhase::over;
            return false;
        }
        settleIslands(rest, stop);
        for (IslandRun& run : runs_) {
            run.island.scratch = &scratchFor(0);
            if (!run.replayed) run.begin(*this, rest, true);
        }
        walk_.span = rest;
    }
    unpose();
    return walkOn(s);
}

bool World::walkOn(StepInProgress& s) {
    // Every island that has no impact waiting looks for its next one.
    IslandRun* next = nullptr;
    for (IslandRun& run : runs_) {
        if (!run.pending) run.search(*this);
        // Ties go to the island of the lowest body, the first in order.
        if (run.pending && (next == nullptr || run.pendingInstant() < next->pendingInstant())) next = &run;
    }
    if (next == nullptr) {
        for (IslandRun& run : runs_) run.finish(*this);
        endPart(walk_.partSpan);
        if (walk_.restarted) lastStep.addPart(walk_.carried);
        s.left = 0.0f;
        s.phase = StepPhase::over;
        return false;
    }
    const size_t toldBefore = next->records.size();
    const float span = next->pendingTime;
    next->resolve(*this);
    ++s.events;
    s.lastSpan = span;
    s.time = walk_.offset + next->clock;
    s.left = static_cast<float>(static_cast<double>(walk_.partSpan) - s.time);
    hitA = next->lastA;
    hitB = next->lastB;
    if (hitB != nullptr) {
        normalA = next->lastNormalA;
        normalB = next->lastNormalB;
    }
    walk_.lastStop = next->clock;
    poseAt(next->clock, next);
    if (impactListener && next->records.size() > toldBefore) impactListener(next->records.back());
    return true;
}

}  // namespace prallwerk
