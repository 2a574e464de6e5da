#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prallwerk/collision/contact_components.h"
#include "tests/support/physical_bodies.h"

using namespace prallwerk;

namespace {

SolverContact pointBetween(int a, int b, double x, double z = 0.0) {
    SolverContact c;
    c.a = a;
    c.b = b;
    c.position = {x, 0.0, z};
    c.normal = {0.0, 0.0, 1.0};
    return c;
}

// The sets as text, a set's runs as their first contacts: "0 2 | 1".
std::string setsOf(const ContactComponents& c) {
    std::string s;
    size_t begin = 0;
    for (size_t end : c.ends) {
        if (!s.empty()) s += " | ";
        for (size_t r = begin; r < end; ++r) s += (r > begin ? " " : "") + std::to_string(c.runs[r].first);
        begin = end;
    }
    return s;
}

}  // namespace

// Which pairs hold their bodies together: a body that moves joins its
// pairs, the ground and a fixed body join none. Bodies 0 to 3 are crates,
// 4 a fixed slab, 5 the ground; each contact is one pair's only point
// unless it repeats the pair before it.
TEST(ContactComponents, ABodyThatMovesJoinsItsPairsAndWhatHoldsStillJoinsNone) {
    std::vector<RigidBody> crates;
    for (int i = 0; i < 5; ++i) crates.push_back(physicalBox(1, 1, 1, 1.0f, {2.0 * i, 0, 0.5}));
    crates[4].fixed = true;
    std::vector<SolverBody> bodies;
    for (RigidBody& c : crates) bodies.push_back(solverBodyOf(&c));
    bodies.push_back(solverBodyOf(nullptr));
    struct Row {
        std::vector<SolverContact> contacts;
        const char* sets;
    };
    const Row rows[] = {
        {{}, ""},
        // Two crates on the ground apart: two sets; on the same slab too.
        {{pointBetween(0, 5, 0), pointBetween(1, 5, 1)}, "0 | 1"},
        {{pointBetween(0, 4, 0), pointBetween(1, 4, 1)}, "0 | 1"},
        // A pair's four points are one run.
        {{pointBetween(0, 5, 0), pointBetween(0, 5, 1), pointBetween(0, 5, 2), pointBetween(0, 5, 3)}, "0"},
        // A stack: 1 on 0 on the ground, and 2 alone.
        {{pointBetween(0, 5, 0), pointBetween(2, 5, 1), pointBetween(1, 0, 2)}, "0 2 | 1"},
        // 0 and 2 apart until 3 touches both, last: one set, in order.
        {{pointBetween(0, 5, 0), pointBetween(2, 5, 1), pointBetween(1, 5, 2), pointBetween(3, 0, 3),
          pointBetween(2, 3, 4)},
         "0 1 3 4 | 2"},
        // Either body of a pair may be the one that moves.
        {{pointBetween(4, 1, 0), pointBetween(5, 1, 1), pointBetween(5, 0, 2), pointBetween(0, 1, 3)}, "0 1 2 3"},
        // A pair of two that hold still is a set of its own.
        {{pointBetween(4, 5, 0), pointBetween(0, 5, 1), pointBetween(4, 5, 2)}, "0 | 1 | 2"},
        // Nothing again: nothing is left of the last split.
        {{}, ""},
    };
    ContactComponents components;
    for (const Row& r : rows) {
        components.split(bodies, r.contacts);
        EXPECT_EQ(setsOf(components), r.sets) << r.sets;
        EXPECT_EQ(components.ends.empty(), r.contacts.empty()) << r.sets;
        size_t points = 0;
        for (const ContactComponents::Run& run : components.runs) points += run.last - run.first;
        EXPECT_EQ(points, r.contacts.size()) << r.sets;
    }
}
