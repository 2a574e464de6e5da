#pragma once

#include <climits>

namespace prallwerk {

// What one call of World::step did, counted as it went. The world keeps the
// record of its last step for benches, tools and tests; counting changes no
// result.
struct StepStatistics {
    int groundImpacts = 0;          // ground impacts a body bounced off (groundResponse)
    int landings = 0;               // ground impacts a body landed on instead (the rule against stalls)
    int pairImpacts = 0;            // pair impacts resolved (resolvePair)
    bool eventCapReached = false;   // the step stopped looking for impacts at World::maxEventsPerStep
    int passes = 0;                 // searches for the earliest impact: one per impact handled, one
                                    // more that found none (unless the cap or a stalled span ended it)
    int pairSearches = 0;           // pairs whose time of impact was searched (pairTimeOfImpact)
    int pairsSkipped = 0;           // pairs passed over without a search: by the broad phase, or all
                                    // of them in a world at rest
    bool atRest = false;            // the step replayed the last one: the world was at rest (World::step)
    int separations = 0;            // pairs found overlapping at the end of the step and pushed apart

    // Impacts of every kind the step handled.
    int impacts() const { return groundImpacts + landings + pairImpacts; }

    // Adds what a later part of a step split into parts did (World::step):
    // every count added, up to INT_MAX (a very long span's pairs passed over
    // run past it); eventCapReached if either part reached the cap, atRest
    // only if both replayed.
    void addPart(const StepStatistics& part) {
        groundImpacts = addCount(groundImpacts, part.groundImpacts);
        landings = addCount(landings, part.landings);
        pairImpacts = addCount(pairImpacts, part.pairImpacts);
        eventCapReached = eventCapReached || part.eventCapReached;
        passes = addCount(passes, part.passes);
        pairSearches = addCount(pairSearches, part.pairSearches);
        pairsSkipped = addCount(pairsSkipped, part.pairsSkipped);
        atRest = atRest && part.atRest;
    }

private:
    // a + b for counts (never negative), at most INT_MAX.
    static int addCount(int a, int b) { return a > INT_MAX - b ? INT_MAX : a + b; }
};

}  // namespace prallwerk
