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
    bool eventCapReached = false;   // an island stopped looking for impacts at World::maxEventsPerStep
    int passes = 0;                 // searches for the earliest impact of an island: one per impact
                                    // handled, one more per island that found none (unless the cap or
                                    // a stalled span ended it); none for an island at rest
    int pairSearches = 0;           // pairs whose time of impact was searched (pairTimeOfImpact)
    int pairsSkipped = 0;           // pairs passed over without a search: by the broad phase, or all
                                    // of them in a world at rest
    bool atRest = false;            // the step replayed the last one: the world was at rest (World::step)
    int separations = 0;            // pairs found overlapping at the end of the step and pushed apart
    int islands = 0;                // islands the bodies were grouped into (World::step)
    int islandsAtRest = 0;          // of them, islands that replayed the last step: at rest
    int largestIsland = 0;          // bodies of the largest island (the first of the largest)
    int largestIslandEvents = 0;    // impacts that island handled
    int busiestIslandEvents = 0;    // the most impacts any one island handled
    int islandMerges = 0;           // islands that ran again as one with another: a body of one had
                                    // left its bound towards the other's bodies

    // Impacts of every kind the step handled.
    int impacts() const { return groundImpacts + landings + pairImpacts; }

    // Adds what one island of a step did (its own counts, as its searches
    // and its event loop kept them) and takes it as the largest island if it
    // has more bodies than the largest so far.
    void addIsland(const StepStatistics& island, int bodies, int events) {
        groundImpacts = addCount(groundImpacts, island.groundImpacts);
        landings = addCount(landings, island.landings);
        pairImpacts = addCount(pairImpacts, island.pairImpacts);
        passes = addCount(passes, island.passes);
        pairSearches = addCount(pairSearches, island.pairSearches);
        pairsSkipped = addCount(pairsSkipped, island.pairsSkipped);
        if (bodies > largestIsland) {
            largestIsland = bodies;
            largestIslandEvents = events;
        }
        if (events > busiestIslandEvents) busiestIslandEvents = events;
    }

    // Adds what a later part of a step split into parts did (World::step):
    // every count added, up to INT_MAX (a very long span's pairs passed over
    // run past it); the island figures those of the part with the most
    // islands and of the part with the largest island; eventCapReached if
    // either part reached the cap, atRest only if both replayed.
    void addPart(const StepStatistics& part) {
        groundImpacts = addCount(groundImpacts, part.groundImpacts);
        landings = addCount(landings, part.landings);
        pairImpacts = addCount(pairImpacts, part.pairImpacts);
        eventCapReached = eventCapReached || part.eventCapReached;
        passes = addCount(passes, part.passes);
        pairSearches = addCount(pairSearches, part.pairSearches);
        pairsSkipped = addCount(pairsSkipped, part.pairsSkipped);
        separations = addCount(separations, part.separations);
        if (part.islands > islands) {
            islands = part.islands;
            islandsAtRest = part.islandsAtRest;
        }
        if (part.largestIsland > largestIsland) {
            largestIsland = part.largestIsland;
            largestIslandEvents = part.largestIslandEvents;
        }
        if (part.busiestIslandEvents > busiestIslandEvents) busiestIslandEvents = part.busiestIslandEvents;
        islandMerges = addCount(islandMerges, part.islandMerges);
        atRest = atRest && part.atRest;
    }

private:
    // a + b for counts (never negative), at most INT_MAX.
    static int addCount(int a, int b) { return a > INT_MAX - b ? INT_MAX : a + b; }
};

}  // namespace prallwerk
