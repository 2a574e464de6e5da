#pragma once

#include <cstddef>
#include <vector>

#include "prallwerk/collision/solver_records.h"

namespace prallwerk {

// The contacts of a solve split into the sets of bodies they hold together:
// two pairs are in one set when a body that moves is in both (the ground and
// fixed bodies, which nothing moves, join nothing). Sequential impulses on
// one set never read what they do to another, so each set can be solved on
// its own and stop when it has settled, however long another takes.
struct ContactComponents {
    // A pair's points: contacts [first, last), which follow each other.
    struct Run {
        size_t first = 0;
        size_t last = 0;
    };
    // The runs set by set, each set's in the order of the contacts; set k
    // is runs [ends[k - 1], ends[k]) (from 0 for the first).
    std::vector<Run> runs;
    std::vector<size_t> ends;

    // Splits contacts (a pair's points following each other) among bodies.
    // The sets come in the order of their first contacts.
    void split(const std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts);

private:
    std::vector<size_t> parent_;  // per body: the union-find forest
    std::vector<size_t> setOf_;   // per root body: its set, or none
    std::vector<size_t> runSet_;  // per run in contact order: its set
    std::vector<Run> inOrder_;    // the runs in contact order
    std::vector<size_t> counts_;  // per set: its runs, then where they go
};

}  // namespace prallwerk
