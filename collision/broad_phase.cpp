#include "prallwerk/collision/broad_phase.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {

// Each bound is padded by this share of the magnitudes that enter the
// prediction (position, distance travelled, reach) plus this many metres. The
// search's prediction differs from the exact motion bounded here by a few
// roundings, each at most 2^-53 of those magnitudes; the pad is thousands of
// times that and still far below a micrometre for any sensible state.
constexpr double roundingPad = 1e-12;

// Up to this many bodies the bounds are compared pair by pair: a grid costs
// more than it saves.
constexpr int gridFromBodies = 16;

// A cell's edge is this many times the mean extent of the boxes along x and y,
// so that most boxes cover one to four cells.
constexpr double cellsPerMeanExtent = 2.0;

// Boxes that would cover more than this many cells along x or y are compared
// with every body instead.
constexpr long long widestInCells = 1;

// Cell coordinates are kept below this in magnitude (2^40); boxes beyond it
// are compared with every body.
constexpr double largestCellCoordinate = 1099511627776.0;

// Lists of cells: a few per body, so that few cells share one.
constexpr int listsPerBody = 4;
constexpr int fewestLists = 16;

// The cells a box covers along one axis: false when they are too many or
// too far out.
bool cellRange(double lo, double hi, double inverseCell, long long range[2]) {
    const double a = lo * inverseCell, b = hi * inverseCell;
    if (!(std::fabs(a) < largestCellCoordinate && std::fabs(b) < largestCellCoordinate)) return false;
    // The floors, by truncation: exact below 2^40, and no call.
    range[0] = static_cast<long long>(a);
    range[1] = static_cast<long long>(b);
    if (static_cast<double>(range[0]) > a) --range[0];
    if (static_cast<double>(range[1]) > b) --range[1];
    return range[1] - range[0] <= widestInCells;
}

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
    partners_.resize(n);
    outside_.resize(n);
    // A body in the grid covers at most two cells along each axis.
    entries_.resize(4 * n);
    size_t lists = fewestLists;
    while (lists < listsPerBody * n) lists *= 2;
    mask_ = static_cast<unsigned>(lists - 1);
    listStart_.assign(lists + 1, 0);
}

void PairBroadPhase::prepare(const BodyList& bodies, int count, float limit, bool restingPairs) {
    restingPairs_ = restingPairs;
    // A world keeps the bodies it was built with, and the limit is the time
    // left in a step or an impact time within it.
    PRALLWERK_ASSERT(count == static_cast<int>(reach_.size()));
    PRALLWERK_ASSERT(limit > 0.0f && std::isfinite(limit));
    count = std::max(count, 0);
    // Bodies were added to a world meant to keep its number: room for them.
    if (count > static_cast<int>(reach_.size())) *this = PairBroadPhase(count);
    count_ = count;
    const double t = limit;
    const bool boundedTime = limit > 0.0f && std::isfinite(limit);
    HalfDiagonals halves;
    double extents = 0.0;
    int finite = 0;
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
        } else {
            const double extent = std::max(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
            if (std::isfinite(extent)) {
                extents += extent;
                ++finite;
            }
        }
    }
    if (count_ > gridFromBodies) buildGrid(finite > 0 ? extents / finite : 0.0);
}

void PairBroadPhase::buildGrid(double meanExtent) {
    const double cell = cellsPerMeanExtent * meanExtent;
    inverseCell_ = 1.0 / cell;
    const bool usable = cell > 0.0 && std::isfinite(cell) && inverseCell_ > 0.0 && std::isfinite(inverseCell_);
    // Which cells each box covers, and how many bodies each list holds.
    const int lists = static_cast<int>(mask_) + 1;
    std::fill(listStart_.begin(), listStart_.end(), 0);
    outsideCount_ = 0;
    for (int i = 0; i < count_; ++i) {
        Reach& r = reach_[i];
        r.inGrid = usable && cellRange(r.lo[0], r.hi[0], inverseCell_, r.cell[0]) &&
                   cellRange(r.lo[1], r.hi[1], inverseCell_, r.cell[1]);
        if (!r.inGrid) {
            outside_[outsideCount_++] = i;
            continue;
        }
        for (long long cx = r.cell[0][0]; cx <= r.cell[0][1]; ++cx) {
            for (long long cy = r.cell[1][0]; cy <= r.cell[1][1]; ++cy) ++listStart_[listOf(cx, cy)];
        }
    }
    // Each list ends where the next begins; filled from the back, so that
    // each holds its bodies in ascending order.
    for (int l = 1; l < lists; ++l) listStart_[l] += listStart_[l - 1];
    listStart_[lists] = listStart_[lists - 1];
    for (int i = count_ - 1; i >= 0; --i) {
        const Reach& r = reach_[i];
        if (!r.inGrid) continue;
        for (long long cx = r.cell[0][0]; cx <= r.cell[0][1]; ++cx) {
            for (long long cy = r.cell[1][0]; cy <= r.cell[1][1]; ++cy) {
                CellEntry& e = entries_[--listStart_[listOf(cx, cy)]];
                e.cx = cx;
                e.cy = cy;
                e.body = i;
            }
        }
    }
}

int PairBroadPhase::listOf(long long cx, long long cy) const {
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 32;
    return static_cast<int>(h & mask_);
}

bool PairBroadPhase::meets(int i, int j) const {
    const Reach& r = reach_[i];
    const Reach& o = reach_[j];
    if (r.resting && o.resting && !restingPairs_) return false;
    for (int k = 0; k < 3; ++k) {
        if (!(r.lo[k] <= o.hi[k] && o.lo[k] <= r.hi[k])) return false;
    }
    return true;
}

PairBroadPhase::Partners PairBroadPhase::partnersAfter(int i) {
    int n = 0;
    PRALLWERK_ASSERT(i >= 0 && i < count_);
    if (i < 0 || i >= count_) return {};
    const Reach& r = reach_[i];
    if (count_ <= gridFromBodies || !r.inGrid) {
        for (int j = i + 1; j < count_; ++j) {
            if (meets(i, j)) partners_[n++] = j;
        }
        return {partners_.data(), partners_.data() + n};
    }
    // Two boxes that overlap along x and y share the cell of the lower corner
    // of their overlap, (max of the lower x bounds, max of the lower y
    // bounds): that corner lies within both boxes, and a cell coordinate,
    // rounded as it may be, grows with the bound it is taken from, so that
    // cell lies within the range of cells of each. For the same reason it is
    // the cell of the larger of the two first cells along each axis. The
    // pair is compared there and in no other cell; a pair that does not
    // overlap is compared in at most that one cell, and found apart.
    for (long long cx = r.cell[0][0]; cx <= r.cell[0][1]; ++cx) {
        for (long long cy = r.cell[1][0]; cy <= r.cell[1][1]; ++cy) {
            const int l = listOf(cx, cy);
            // Each list holds its bodies in ascending order: those after i
            // come last.
            for (int e = listStart_[l + 1] - 1; e >= listStart_[l]; --e) {
                const CellEntry& entry = entries_[e];
                const int j = entry.body;
                if (j <= i) break;
                if (entry.cx != cx || entry.cy != cy) continue;
                const Reach& o = reach_[j];
                if (std::max(r.cell[0][0], o.cell[0][0]) != cx || std::max(r.cell[1][0], o.cell[1][0]) != cy) continue;
                if (meets(i, j)) partners_[n++] = j;
            }
        }
    }
    // Bodies outside the grid meet any body.
    for (int q = 0; q < outsideCount_; ++q) {
        const int j = outside_[q];
        if (j > i && meets(i, j)) partners_[n++] = j;
    }
    // Few partners, mostly in descending order: insertion sort.
    for (int p = 1; p < n; ++p) {
        const int j = partners_[p];
        int q = p;
        for (; q > 0 && partners_[q - 1] > j; --q) partners_[q] = partners_[q - 1];
        partners_[q] = j;
    }
    return {partners_.data(), partners_.data() + n};
}

}  // namespace prallwerk
