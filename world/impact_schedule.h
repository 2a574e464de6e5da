#pragma once

#include <utility>
#include <vector>

#include "prallwerk/collision/bounds_grid.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/world/island.h"

namespace prallwerk {

// The impacts an island's searches found under the physical rules, kept
// from one event of its part to the next. Free flight is a straight line
// at the velocity and a turn at the angular velocity, and an impact changes
// the paths of its own bodies alone: every other pair's search would find
// what it found before, so only the searches of the bodies an impact moved
// are made again (each body against the bodies its remaining path can
// reach, and against the ground). An island of many bodies then costs a
// few searches an impact, not a search of all its pairs. A hit the clock
// reaches as another impact is resolved (the searches of one event share
// their samples, so impacts often fall on one) is searched again from
// there, its bodies still a look short of touching.
//
// Each body keeps its own clock: it stays in the state its last impact (or
// the part's start) left it in while others meet, and is flown from there
// to its next impact or the part's end in one flight. Its path is then a
// function of its own impacts alone, and what a search predicted of it is
// what its flight does, whichever impacts come between. Times are kept
// since the part began (s, in double precision), as the island's clock
// adds its impacts' spans.
class ImpactSchedule {
public:
    // Impacts an island handles in a part before touches within a first
    // look are left to the contacts.
    static constexpr int firstLookImpactsUpTo = 64;

    // The island's part begins, or runs again: its bodies at the part's
    // start, nothing found yet.
    void begin(const Island& island);

    // Whether begin was given this island's bodies (else the rules fly
    // bodies themselves).
    bool serves(const Island& island) const {
        return island.bodies == bodies_ && static_cast<int>(since_.size()) == island.count;
    }

    // The body flown to its impact t after the island's last event; its
    // path changes there, so its searches are made again.
    void flyToImpact(const Island& island, RigidBody* body, float t);

    // The island's clock passes an impact t after its last event.
    void passed(float t) { now_ += static_cast<double>(t); }

    // Every body flown to the part's end.
    void flyAllToEnd(const Island& island);

    // Body k as it stands at time (s since the part began), for a look at
    // the island between its events.
    void poseAt(const Island& island, int k, double time) const;

    // Whether bodies a and b met before in this part; they are marked as met.
    bool meetAgain(const RigidBody* a, const RigidBody* b);
    // How long body k would fly from the state it holds to an impact t
    // after the island's last event (s).
    double flightTo(int k, float t) const { return leadOf(k) + static_cast<double>(t); }
    // The earliest ground impact within the island's time left (s from now,
    // -1 for none); its body in island.hitA.
    float earliestGroundHit(Island& island);

    // The earliest pair impact before limit (s from now, -1 for none); its
    // bodies in island.hitA and island.hitB.
    float earliestPairHit(Island& island, float limit);

private:
    struct PairHit {
        int first = 0;   // island positions, first < second
        int second = 0;
        double at = 0.0;  // s since the part began
    };
    RigidBody* const* bodies_ = nullptr;  // the island's bodies as begin was given them
    bool built_ = false;
    double now_ = 0.0;              // s since the part began, at the island's last event
    std::vector<double> since_;     // per island body: s since the part began of the state it holds
    std::vector<double> groundAt_;  // per island body: its ground impact's time, -1 for none
    std::vector<Bounds> reach_;     // per island body: where its remaining path can take it
    std::vector<unsigned char> stale_;
    std::vector<std::pair<const RigidBody*, const RigidBody*>> met_;  // the pairs that met in the part
    std::vector<int> staleList_;
    std::vector<unsigned char> turned_;  // per island body: an impact has moved it in this part
    std::vector<int> turnedList_;
    std::vector<PairHit> pairs_;    // the pairs whose search found an impact, in no order
    BoundsGrid grid_;

    // Builds the schedule at the part's first search, or searches again
    // what the last impact moved.
    void bringUp(Island& island);
    void build(Island& island, float left);
    void searchAgain(Island& island, float left);
    void searchPair(Island& island, int first, int second, float left);
    double leadOf(int k) const { return now_ - since_[static_cast<size_t>(k)]; }
    // A search's answer as the schedule keeps it (impactTimeOf), but for
    // touches within a first look once the island has handled
    // firstLookImpactsUpTo impacts in the part.
    float impactTime(const Island& island, float searched, float left) const;
    // A time since the part began as the time from now; not above the
    // time left, and -1 where it has passed.
    float fromNow(double at, float left) const;
};

}  // namespace prallwerk
