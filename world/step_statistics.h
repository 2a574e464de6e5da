#pragma once

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

    // Impacts of every kind the step handled.
    int impacts() const { return groundImpacts + landings + pairImpacts; }
};

}  // namespace prallwerk
