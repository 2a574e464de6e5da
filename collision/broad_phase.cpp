#include "prallwerk/collision/broad_phase.h"

#include <algorithm>
#include <cmath>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {

// Each bound is padded by this share of the magnitudes that enter the
// prediction (position, distance travelled, reach) plus this many metres. The
// search's prediction differs from the exact motion bounded here by a few
// roundings, each at most 2^-53 of those magnitudes; the pad is thousands of
// times that and still far below a micrometre for any sensible state.
constexpr double roundingPad = 1e-12;

// Up to this many bodies the bounds are compared pair by pair: sorting and
// sweeping costs more than it saves.
constexpr int sweepFromBodies = 16;

// The half diagonal of the last box asked for: most bodies share their edges.
struct HalfDiagonals {
    float edges[3] = {0.0f, 0.0f, 0.0f};
    float half = 0.0f;
    double of(const BoxShape& box) {
        if (!(box.width == edges[0] && box.length == edges[1] && box.height == edges[2])) {
            edges[0] = box.width;
            edges[1] = box.length;
            edges[2] = box.height;
            half = halfDiagonalOf(box.width, box.length, box.height);
        }
        return half;
    }
};

// How far from its centre the contact test can see a body touching another:
// the half diagonal of its box (a point of the other body must lie within
// it), and for a sphere in the first place of a pair its radius (its surface
// point stands that far out towards the other body).
double contactReach(const RigidBody& body, HalfDiagonals& halves) {
    const double half = halves.of(body.box);
    if (body.kind != kindSphere) return half;
    const double radius = std::fabs(static_cast<double>(body.radius));
    return radius > half ? radius : half;
}

}  // namespace

PairBroadPhase::PairBroadPhase(int bodyCount) {
    const size_t n = bodyCount > 0 ? static_cast<size_t>(bodyCount) : 0;
    reach_.resize(n);
    order_.resize(n);
    rank_.resize(n);
    partners_.resize(n);
    for (size_t i = 0; i < n; ++i) order_[i] = static_cast<int>(i);
}

void PairBroadPhase::prepare(const BodyList& bodies, int count, float limit) {
    // A world keeps the bodies it was built with, and the limit is the time
    // left in a step or an impact time within it.
    PRALLWERK_ASSERT(count == static_cast<int>(order_.size()));
    PRALLWERK_ASSERT(limit > 0.0f && std::isfinite(limit));
    count = std::max(count, 0);
    if (count != static_cast<int>(order_.size())) {
        // Bodies were added to a world meant to keep its number, or taken
        // away: start afresh over the ones there are now.
        if (count > static_cast<int>(reach_.size())) *this = PairBroadPhase(count);
        for (int i = 0; i < count; ++i) order_[i] = i;
    }
    count_ = count;
    const double t = limit;
    const bool boundedTime = limit > 0.0f && std::isfinite(limit);
    widest_ = 0.0;
    HalfDiagonals halves;
    for (int i = 0; i < count_; ++i) {
        const RigidBody& body = *bodies[i];
        Reach& r = reach_[i];
        // Only exact zeros count as rest here; a pair with a body that is
        // merely slow is left to the search's own rest check.
        r.resting = isZero(body.velocity) && isZero(body.spin);
        const double reach = contactReach(body, halves);
        const double inverseMass = 1.0 / static_cast<double>(body.mass);
        const double p[3] = {body.position.x, body.position.y, body.position.z};
        const double v[3] = {body.velocity.x, body.velocity.y, body.velocity.z};
        const double f[3] = {body.force.x, body.force.y, body.force.z};
        double sum = reach;  // turns infinite or NaN with any bound
        for (int k = 0; k < 3; ++k) {
            // The centre after s in [0, t] is p + s v + s^2 a: the second
            // term lies between 0 and t v, the third between 0 and t^2 a.
            const double moved = t * v[k];
            const double fallen = t * t * (f[k] * inverseMass);
            const double grow =
                reach + roundingPad * (std::fabs(p[k]) + std::fabs(moved) + std::fabs(fallen) + reach + 1.0);
            r.lo[k] = p[k] + std::min(moved, 0.0) + std::min(fallen, 0.0) - grow;
            r.hi[k] = p[k] + std::max(moved, 0.0) + std::max(fallen, 0.0) + grow;
            sum += r.lo[k] + r.hi[k];
        }
        if (!boundedTime || !std::isfinite(sum)) {
            // Nothing is known about where it can be: it meets everything.
            for (int k = 0; k < 3; ++k) {
                r.lo[k] = -INFINITY;
                r.hi[k] = INFINITY;
            }
        }
        widest_ = std::max(widest_, r.hi[0] - r.lo[0]);
    }
    if (count_ > sweepFromBodies) sortByLowerX();
}

void PairBroadPhase::sortByLowerX() {
    // Insertion sort: the order of the last call is nearly right.
    for (int p = 1; p < count_; ++p) {
        const int body = order_[p];
        const double key = reach_[body].lo[0];
        int q = p;
        while (q > 0 && reach_[order_[q - 1]].lo[0] > key) {
            order_[q] = order_[q - 1];
            --q;
        }
        order_[q] = body;
    }
    for (int p = 0; p < count_; ++p) rank_[order_[p]] = p;
}

PairBroadPhase::Partners PairBroadPhase::partnersAfter(int i) {
    int n = 0;
    PRALLWERK_ASSERT(i >= 0 && i < count_);
    if (i < 0 || i >= count_) return {};
    const Reach& r = reach_[i];
    auto consider = [&](int j) {
        if (j <= i) return;
        const Reach& o = reach_[j];
        if (r.resting && o.resting) return;
        for (int k = 0; k < 3; ++k) {
            if (!(r.lo[k] <= o.hi[k] && o.lo[k] <= r.hi[k])) return;
        }
        partners_[n++] = j;
    };
    if (count_ <= sweepFromBodies) {
        for (int j = i + 1; j < count_; ++j) consider(j);
        return {partners_.data(), partners_.data() + n};
    }
    const int at = rank_[i];
    // Bodies sorted after i overlap it in x only while they start before it
    // ends; bodies sorted before it can still reach it while they start
    // within the widest reach of it. (The roundings of these limits are far
    // inside the pad of the bounds.)
    for (int p = at + 1; p < count_ && reach_[order_[p]].lo[0] <= r.hi[0]; ++p) consider(order_[p]);
    const double from = r.lo[0] - widest_;
    for (int p = at - 1; p >= 0 && reach_[order_[p]].lo[0] >= from; --p) consider(order_[p]);
    // Few partners, nearly in order already: insertion sort.
    for (int p = 1; p < n; ++p) {
        const int j = partners_[p];
        int q = p;
        for (; q > 0 && partners_[q - 1] > j; --q) partners_[q] = partners_[q - 1];
        partners_[q] = j;
    }
    return {partners_.data(), partners_.data() + n};
}

}  // namespace prallwerk
