#include "prallwerk/world/impact_schedule.h"

#include <algorithm>

#include "prallwerk/collision/physical_impact.h"
#include "prallwerk/core/physical_body.h"

namespace prallwerk {

void ImpactSchedule::begin(const Island& island) {
    bodies_ = island.bodies;
    built_ = false;
    now_ = 0.0;
    since_.assign(static_cast<size_t>(island.count), 0.0);
    pairs_.clear();
    staleList_.clear();
    met_.clear();
}

bool ImpactSchedule::meetAgain(const RigidBody* a, const RigidBody* b) {
    for (const auto& p : met_) {
        if ((p.first == a && p.second == b) || (p.first == b && p.second == a)) return true;
    }
    met_.emplace_back(a, b);
    return false;
}

void ImpactSchedule::flyToImpact(const Island& island, RigidBody* body, float t) {
    const double at = now_ + static_cast<double>(t);
    for (int k = 0; k < island.count; ++k) {
        if (island.bodies[k] != body) continue;
        const size_t i = static_cast<size_t>(k);
        flyPhysical(*body, static_cast<float>(at - since_[i]));
        since_[i] = at;
        if (built_ && !stale_[i]) {
            stale_[i] = 1;
            staleList_.push_back(k);
        }
        return;
    }
}

void ImpactSchedule::flyAllToEnd(const Island& island) {
    // The part's span itself, not the clock's sum of impact times and the
    // time left, which may miss it by a bit: a body that met nothing flies
    // the span in one flight, as it would alone.
    const double at = static_cast<double>(island.span);
    for (int k = 0; k < island.count; ++k) {
        RigidBody& body = *island.bodies[k];
        const size_t i = static_cast<size_t>(k);
        const float flight = static_cast<float>(at - since_[i]);
        // A body that holds still stays bit for bit where it is.
        if (flight > 0.0f && !(isZero(body.velocity) && isZero(body.spin))) flyPhysical(body, flight);
        since_[i] = at;
    }
    now_ = at;
}

void ImpactSchedule::poseAt(const Island& island, int k, double time) const {
    const float flight = static_cast<float>(time - since_[static_cast<size_t>(k)]);
    RigidBody& body = *island.bodies[k];
    if (flight > 0.0f && !(isZero(body.velocity) && isZero(body.spin))) flyPhysical(body, flight);
}

float ImpactSchedule::impactTime(const Island& island, float searched, float left) const {
    // Bodies wedged between others (a light one between a heavy one and the
    // ground) meet again within a first look after each impact, the blow
    // handed back and forth a share at a time: once an island has handled
    // far more impacts in a part than an ordinary one, such touches are left
    // to the next part's contacts, which take them all at once.
    if (searched == 0.0f && island.statistics.impacts() >= firstLookImpactsUpTo) return -1.0f;
    return impactTimeOf(searched, left);
}

float ImpactSchedule::fromNow(double at, float left) const {
    if (!(at > now_)) return -1.0f;
    const float t = static_cast<float>(at - now_);
    return t > 0.0f && t <= left ? t : -1.0f;
}

void ImpactSchedule::searchPair(Island& island, int first, int second, float left) {
    ++island.statistics.pairSearches;
    const float t = impactTime(island,
        physicalPairImpact(*island.bodies[first], leadOf(first), *island.bodies[second], leadOf(second), left), left);
    if (t > 0.0f) pairs_.push_back({first, second, now_ + static_cast<double>(t)});
}

void ImpactSchedule::build(Island& island, float left) {
    const int n = island.count;
    const size_t size = static_cast<size_t>(n);
    groundAt_.assign(size, -1.0);
    reach_.resize(size);
    stale_.assign(size, 0);
    staleList_.clear();
    turned_.assign(size, 0);
    turnedList_.clear();
    pairs_.clear();
    for (int k = 0; k < n; ++k) {
        const RigidBody& body = *island.bodies[k];
        const double lead = leadOf(k);
        reach_[static_cast<size_t>(k)] = physicalReachOver(body, static_cast<float>(lead + static_cast<double>(left)));
        const float t = impactTime(island,physicalGroundImpact(body, lead, left), left);
        if (t > 0.0f) groundAt_[static_cast<size_t>(k)] = now_ + static_cast<double>(t);
    }
    grid_.build(reach_.data(), n);
    if (n < 2) return;
    for (int k = 0; k < n; ++k) {
        for (int j : grid_.partnersAfter(k)) searchPair(island, k, j, left);
    }
}

void ImpactSchedule::searchAgain(Island& island, float left) {
    // A hit found at the same instant as the impact just resolved (the
    // searches of one event share their samples) is one the clock has now
    // reached: its bodies, still a look short of touching, are searched
    // again from now, as the moved bodies are.
    const auto markStale = [&](int k) {
        if (stale_[static_cast<size_t>(k)]) return;
        stale_[static_cast<size_t>(k)] = 1;
        staleList_.push_back(k);
    };
    for (size_t n = 0; n < pairs_.size(); ++n) {
        if (pairs_[n].at > now_) continue;
        markStale(pairs_[n].first);
        markStale(pairs_[n].second);
    }
    for (int k = 0; k < island.count; ++k) {
        const double at = groundAt_[static_cast<size_t>(k)];
        if (at >= 0.0 && !(at > now_)) markStale(k);
    }
    // What the moved bodies' searches found is searched again; the rest stands.
    pairs_.erase(std::remove_if(pairs_.begin(), pairs_.end(),
                                [&](const PairHit& p) {
                                    return stale_[static_cast<size_t>(p.first)] ||
                                           stale_[static_cast<size_t>(p.second)];
                                }),
                 pairs_.end());
    for (int k : staleList_) {
        const RigidBody& body = *island.bodies[k];
        // Its state is now's where the impact flew it here, else its lead behind.
        const double lead = leadOf(k);
        reach_[static_cast<size_t>(k)] = physicalReachOver(body, static_cast<float>(lead + static_cast<double>(left)));
        const float t = impactTime(island,physicalGroundImpact(body, lead, left), left);
        groundAt_[static_cast<size_t>(k)] = t > 0.0f ? now_ + static_cast<double>(t) : -1.0;
    }
    for (int k : staleList_) {
        if (!turned_[static_cast<size_t>(k)]) {
            turned_[static_cast<size_t>(k)] = 1;
            turnedList_.push_back(k);
        }
    }
    // A pair of two moved bodies is searched once, by the first of them.
    auto searchWith = [&](int k, int j) {
        if (j == k || (stale_[static_cast<size_t>(j)] && j < k)) return;
        searchPair(island, std::min(j, k), std::max(j, k), left);
    };
    for (int k : staleList_) {
        const Bounds& reach = reach_[static_cast<size_t>(k)];
        // The grid holds every body where the part's first search put it;
        // the bodies an impact has turned since are asked one by one.
        for (int j : grid_.overlapping(reach)) {
            if (!turned_[static_cast<size_t>(j)]) searchWith(k, j);
        }
        for (int j : turnedList_) {
            if (reach.overlaps(reach_[static_cast<size_t>(j)])) searchWith(k, j);
        }
    }
    for (int k : staleList_) stale_[static_cast<size_t>(k)] = 0;
    staleList_.clear();
}

void ImpactSchedule::bringUp(Island& island) {
    const float left = island.timeLeft;
    if (!(left > 0.0f) || !serves(island)) return;
    if (!built_) {
        build(island, left);
        built_ = true;
    } else if (!staleList_.empty()) {
        searchAgain(island, left);
    }
}

float ImpactSchedule::earliestGroundHit(Island& island) {
    bringUp(island);
    const float left = island.timeLeft;
    float best = -1.0f;
    for (int k = 0; k < island.count && built_; ++k) {
        const float t = fromNow(groundAt_[static_cast<size_t>(k)], left);
        // Ties keep the lower body.
        if (t > 0.0f && (best < 0.0f || t < best)) {
            best = t;
            island.hitA = island.bodies[k];
        }
    }
    return best;
}

float ImpactSchedule::earliestPairHit(Island& island, float limit) {
    bringUp(island);
    const float left = island.timeLeft;
    const PairHit* best = nullptr;
    float bestTime = limit;
    for (const PairHit& p : pairs_) {
        const float t = fromNow(p.at, left);
        if (!(t > 0.0f) || t > bestTime) continue;
        // Ties go to the pair of the lower bodies, as a search in order of
        // both indices finds them.
        if (t == bestTime && best != nullptr &&
            (p.first > best->first || (p.first == best->first && p.second > best->second))) {
            continue;
        }
        if (t == bestTime && best == nullptr) continue;  // at the limit: not before it
        best = &p;
        bestTime = t;
    }
    if (best == nullptr) return -1.0f;
    island.hitA = island.bodies[best->first];
    island.hitB = island.bodies[best->second];
    return bestTime;
}

}  // namespace prallwerk
