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

// The half diagonals of the last two boxes asked for: most bodies share
// their edges, and a world of spheres (whose edges are zero) and boxes of one
// size asks for two in turn.
struct HalfDiagonals {
    float edges[2][3] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
    float half[2] = {0.0f, 0.0f};
    int last = 0;
    double of(const BoxShape& box) {
        for (int w = 0; w < 2; ++w) {
            const float* e = edges[w];
            if (box.width == e[0] && box.length == e[1] && box.height == e[2]) return half[w];
        }
        last ^= 1;
        edges[last][0] = box.width;
        edges[last][1] = box.length;
        edges[last][2] = box.height;
        half[last] = halfDiagonalOf(box.width, box.length, box.height);
        return half[last];
    }
};

// Angles are kept within [-2 pi, 2 pi] by whole turns of 2 pi rounded to
// single precision, which differ from a true turn by under 2e-7 rad (rad).
constexpr double wrapSlack = 1e-6;

// How far from its centre, along each axis, the contact tests can see a
// body touching another at any time up to t: a sphere's radius; a box's
// corners as they stand, turned at most as far as its spin turns them (each
// of its three turns moves a corner by its half diagonal times its angle),
// and never beyond its half diagonal. Other kinds are tested as boxes of
// their edges, turned any way: their half diagonal.
void contactReach(const RigidBody& body, double t, HalfDiagonals& halves, double reach[3]) {
    const double half = halves.of(body.box);
    if (body.kind == kindSphere) {
        const double radius = std::fabs(static_cast<double>(body.radius));
        reach[0] = reach[1] = reach[2] = radius > half ? radius : half;
        return;
    }
    reach[0] = reach[1] = reach[2] = half;
    if (body.kind != kindBox) return;
    const Vec3& s = body.spin;
    const double turned = half * (t * (std::fabs(s.x) + std::fabs(s.y) + std::fabs(s.z)) + wrapSlack);
    double corner[3] = {0.0, 0.0, 0.0};
    for (const Vec3& c : body.box.corners) {
        corner[0] = std::max(corner[0], std::fabs(c.x));
        corner[1] = std::max(corner[1], std::fabs(c.y));
        corner[2] = std::max(corner[2], std::fabs(c.z));
    }
    for (int k = 0; k < 3; ++k) reach[k] = std::min(half, corner[k] + turned);
}

}  // namespace

PairBroadPhase::PairBroadPhase(int bodyCount) {
    const size_t n = bodyCount > 0 ? static_cast<size_t>(bodyCount) : 0;
    reach_.resize(n);
    resting_.resize(n);
    partners_.resize(n);
    // A body in a heap has a few partners.
    pairs_.reserve(8 * n);
    grid_.reserve(bodyCount);
}

void PairBroadPhase::prepare(const RigidBody* const* bodies, int count, float limit, bool restingPairs) {
    restingPairs_ = restingPairs;
    // The limit is the time left in a step or an impact time within it.
    PRALLWERK_ASSERT(limit > 0.0f && std::isfinite(limit));
    count = std::max(count, 0);
    if (count > static_cast<int>(reach_.size())) {
        reach_.resize(static_cast<size_t>(count));
        resting_.resize(static_cast<size_t>(count));
        partners_.resize(static_cast<size_t>(count));
    }
    count_ = count;
    const double t = limit;
    const bool boundedTime = limit > 0.0f && std::isfinite(limit);
    HalfDiagonals halves;
    for (int i = 0; i < count_; ++i) {
        const RigidBody& body = *bodies[i];
        Bounds& r = reach_[i];
        // Only exact zeros count as rest here; a pair with a body that is
        // merely slow is left to the search's own rest check.
        resting_[i] = isZero(body.velocity) && isZero(body.spin) ? 1 : 0;
        double reach[3];
        contactReach(body, t, halves, reach);
        const double inverseMass = 1.0 / static_cast<double>(body.mass);
        const double p[3] = {body.position.x, body.position.y, body.position.z};
        const double v[3] = {body.velocity.x, body.velocity.y, body.velocity.z};
        const double f[3] = {body.force.x, body.force.y, body.force.z};
        double sum = reach[0] + reach[1] + reach[2];  // turns infinite or NaN with any bound
        for (int k = 0; k < 3; ++k) {
            // The centre after s in [0, t] is p + s v + s^2 a: the second
            // term lies between 0 and t v, the third between 0 and t^2 a.
            const double moved = t * v[k];
            const double fallen = t * t * (f[k] * inverseMass);
            const double grow =
                reach[k] + roundingPad * (std::fabs(p[k]) + std::fabs(moved) + std::fabs(fallen) + reach[k] + 1.0);
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
    }
    grid_.build(reach_.data(), count_);
}

const std::vector<PairBroadPhase::Pair>& PairBroadPhase::pairs() {
    pairs_.clear();
    if (restingPairs_) {
        for (int i = 0; i + 1 < count_; ++i) {
            for (int j : grid_.partnersAfter(i)) pairs_.push_back({i, j});
        }
        return pairs_;
    }
    // Every pair with a body that moves is found from that body: a pair of
    // two that move from the lower one, a pair with a resting body from the
    // one that moves.
    for (int i = 0; i < count_; ++i) {
        if (resting_[i]) continue;
        for (int j : grid_.overlapping(reach_[i])) {
            if (j == i || (!resting_[j] && j < i)) continue;
            pairs_.push_back(i < j ? Pair{i, j} : Pair{j, i});
        }
    }
    std::sort(pairs_.begin(), pairs_.end(), [](const Pair& a, const Pair& b) {
        return a.first < b.first || (a.first == b.first && a.second < b.second);
    });
    return pairs_;
}

PairBroadPhase::Partners PairBroadPhase::partnersAfter(int i) {
    PRALLWERK_ASSERT(i >= 0 && i < count_);
    if (i < 0 || i >= count_) return {};
    const Partners all = grid_.partnersAfter(i);
    if (restingPairs_ || !resting_[i]) return all;
    // Two resting bodies are never searched.
    int n = 0;
    for (int j : all) {
        if (!resting_[j]) partners_[n++] = j;
    }
    return {partners_.data(), partners_.data() + n};
}

}  // namespace prallwerk
