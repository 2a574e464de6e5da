#include "prallwerk/core/floor_finder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {

// A body whose offer reaches at most this share of a cell's edge from its
// centre is kept in its centre's cell; the rest of the edge is room for the
// rounding of the cell coordinates (see cellCoordinate).
constexpr double cellFill = 0.999;

// Cell coordinates are kept below this in magnitude, where the quotient
// position * (1 / edge), rounded twice, is within 2^40 * 2^-52 = 2^-12 of
// the exact one. Offers
// farther out go to the list every search looks at; a centre farther out
// looks at every offer.
constexpr double largestCellCoordinate = 1099511627776.0;  // 2^40

// A cell's edge is this many times the middle bound of the offers, so that
// bodies up to twice as wide as the middle one fit in a cell.
constexpr double cellsPerMiddleBound = 2.0;

// Up to this many bodies every body looks at every other: cells cost more
// than they save.
constexpr int gridFromBodies = 16;

// The lists every few bodies: few cells share a list while the table stays
// small.
constexpr int listsPerBody = 2;
constexpr int fewestLists = 16;

// Whether a coordinate lies where cells are counted; sets its cell.
bool cellCoordinate(double v, double inverseCell, long long& cell) {
    const double q = v * inverseCell;
    if (!(std::fabs(q) < largestCellCoordinate)) return false;  // NaN included
    // The floor, by truncation: exact below 2^40, and no call.
    cell = static_cast<long long>(q);
    if (static_cast<double>(cell) > q) --cell;
    return true;
}

}  // namespace

namespace {

// The outline from above of a box's corners: their convex hull, by the
// monotone chain, corners that add nothing (on an edge, or twice the same
// point) dropped.
void outlineFromAbove(const BoxShape& box, FloorOffer& offer) {
    double px[8], py[8];
    int order[8];
    for (int i = 0; i < 8; ++i) {
        px[i] = box.corners[i].x;
        py[i] = box.corners[i].y;
        order[i] = i;
    }
    std::sort(order, order + 8, [&](int a, int b) { return px[a] < px[b] || (px[a] == px[b] && py[a] < py[b]); });
    auto turnsLeft = [&](int o, int a, int b) {
        return (px[a] - px[o]) * (py[b] - py[o]) - (py[a] - py[o]) * (px[b] - px[o]) > 0.0;
    };
    int hull[16];
    int n = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const int start = n;
        for (int k = 0; k < 8; ++k) {
            const int i = order[pass == 0 ? k : 7 - k];
            while (n >= start + 2 && !turnsLeft(hull[n - 2], hull[n - 1], i)) --n;
            hull[n++] = i;
        }
        --n;  // the last point of each chain starts the other
    }
    // A box's outline has at most six corners: more would mean a rounding
    // let a seventh through, and the region is only ever narrowed by that.
    offer.corners = std::min(n, 6);
    double reach = 0.0, bound = 0.0;
    for (int i = 0; i < offer.corners; ++i) {
        offer.cx[i] = px[hull[i]];
        offer.cy[i] = py[hull[i]];
        reach = std::max(reach, std::sqrt(offer.cx[i] * offer.cx[i] + offer.cy[i] * offer.cy[i]));
        bound = std::max(bound, std::max(std::fabs(offer.cx[i]), std::fabs(offer.cy[i])));
    }
    offer.reach = reach;
    // Room for the rounding of the differences the test forms.
    offer.bound = bound * (1.0 + 1e-9) + 1e-9;
}

}  // namespace

namespace {

// floorOfferOf without a box's outline: for a box, bound and reach are those
// of all eight corners, which the outline's (over some of the same corners,
// by the same formulas) never exceed, and corners stays 0.
FloorOffer offerWithoutOutline(const RigidBody& body) {
    FloorOffer offer;
    offer.x = body.position.x;
    offer.y = body.position.y;
    if (body.velocity.z > risingFloorSpeed) return offer;
    if (body.kind == kindSphere) {
        offer.top = body.position.z + body.radius;
        offer.reach = body.radius;
        offer.bound = body.radius;
    } else if (body.kind == kindBox) {
        // Corners lie symmetrically about the centre: the highest is as far
        // above it as the lowest is below.
        offer.top = body.position.z - lowestCornerOffset(body.box);
        // The square root rounds monotonely: that of the largest square is
        // the largest of the square roots outlineFromAbove takes.
        double square = 0.0, bound = 0.0;
        for (const Vec3& c : body.box.corners) {
            square = std::max(square, c.x * c.x + c.y * c.y);
            bound = std::max(bound, std::max(std::fabs(c.x), std::fabs(c.y)));
        }
        offer.reach = std::sqrt(square);
        offer.bound = bound * (1.0 + 1e-9) + 1e-9;
    }
    return offer;
}

}  // namespace

FloorOffer floorOfferOf(const RigidBody& body) {
    FloorOffer offer = offerWithoutOutline(body);
    // The outline sets the box's corners, bound and reach anew.
    if (body.kind == kindBox && !(body.velocity.z > risingFloorSpeed)) outlineFromAbove(body.box, offer);
    return offer;
}

bool centreOverFloor(const RigidBody& /*body*/, const FloorOffer& offer, double x, double y) {
    // Within the disc of the offer's reach. For a sphere that is the region;
    // why it keeps to the bound: the reach is a single-precision number, so
    // its square is exact in double precision; were |x - offer.x| >= reach,
    // the rounded difference would be too (rounding is monotone and keeps
    // the reach), its rounded square at least the reach's square, and so the
    // rounded distance at least the reach. The same along y.
    const double dx = x - offer.x;
    const double dy = y - offer.y;
    if (!(std::sqrt(dx * dx + dy * dy) < offer.reach)) return false;
    // A box: strictly to the left of every edge of the counter-clockwise
    // outline, which lies within its bound.
    for (int i = 0; i < offer.corners; ++i) {
        const int j = i + 1 == offer.corners ? 0 : i + 1;
        const double ex = offer.cx[j] - offer.cx[i], ey = offer.cy[j] - offer.cy[i];
        if (!(ex * (dy - offer.cy[i]) - ey * (dx - offer.cx[i]) > 0.0)) return false;
    }
    return true;
}

namespace {

// computeFloorHeight over any list whose i-th body is bodyAt(i).
template <typename BodyAt>
void floorFromList(int count, int k, BodyAt bodyAt) {
    RigidBody& body = bodyAt(k);
    const Vec3 centre = body.position;
    float floor = 0.0f;
    for (int i = 0; i < count; ++i) {
        if (i == k) continue;
        const RigidBody& other = bodyAt(i);
        const FloorOffer offer = floorOfferOf(other);
        const double top = offer.top;
        if (!(top < centre.z) || !(top > floor)) continue;
        if (centreOverFloor(other, offer, centre.x, centre.y)) floor = static_cast<float>(top);
    }
    body.floorHeight = floor;
}

}  // namespace

void computeFloorHeight(RigidBody* const* bodies, int count, int k) {
    floorFromList(count, k, [&](int i) -> RigidBody& { return *bodies[i]; });
}

void computeFloorHeight(const BodyList& bodies, int k) {
    floorFromList(static_cast<int>(bodies.size()), k, [&](int i) -> RigidBody& { return *bodies[i]; });
}

FloorFinder::FloorFinder(int bodyCount) { reserve(bodyCount); }

void FloorFinder::reserve(int count) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    if (offers_.size() >= n && !head_.empty()) return;
    offers_.resize(n);
    outlined_.resize(n, 1);
    bucket_.resize(n, noCell);
    next_.resize(n, -1);
    previous_.resize(n, -1);
    scratch_.reserve(n);
    size_t lists = fewestLists;
    while (lists < listsPerBody * n) lists *= 2;
    head_.resize(lists + 1, -1);
}

void FloorFinder::load(RigidBody* const* bodies, int count) {
    count = std::max(count, 0);
    reserve(count);
    bodies_ = bodies;
    count_ = count;
    for (int i = 0; i < count_; ++i) {
        offers_[i] = offerWithoutOutline(*bodies[i]);
        outlined_[i] = bodies[i]->kind == kindBox ? 0 : 1;
    }
    // A few bodies look at each other; more are put in cells.
    gridded_ = count_ > gridFromBodies;
    if (gridded_) rebuild();
}

void FloorFinder::rebuild() {
    // The middle bound of the offers that reach anywhere at all.
    scratch_.clear();
    for (int i = 0; i < count_; ++i) {
        const FloorOffer& o = offers_[i];
        if (o.top == o.top && o.bound > 0.0 && std::isfinite(o.bound)) scratch_.push_back(o.bound);
    }
    double middle = 1.0;
    if (!scratch_.empty()) {
        auto mid = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
        std::nth_element(scratch_.begin(), mid, scratch_.end());
        middle = *mid;
    }
    cell_ = cellsPerMiddleBound * middle;
    inverseCell_ = 1.0 / cell_;
    if (!(cell_ > 0.0 && std::isfinite(cell_) && std::isfinite(inverseCell_) && inverseCell_ > 0.0)) {
        // Sizes at the edge of the doubles: one list, every search looks at it.
        cell_ = 1.0;
        inverseCell_ = 0.0;
    }
    // The lists for the bodies loaded: a prefix of head_, and the list every
    // search looks at after them.
    size_t lists = fewestLists;
    while (lists < listsPerBody * static_cast<size_t>(count_)) lists *= 2;
    mask_ = static_cast<unsigned>(lists - 1);
    everywhere_ = static_cast<int>(lists);
    std::fill(head_.begin(), head_.begin() + static_cast<std::ptrdiff_t>(lists + 1), -1);
    std::fill(bucket_.begin(), bucket_.begin() + count_, noCell);
    for (int i = 0; i < count_; ++i) place(i, listOf(offers_[i]));
}

int FloorFinder::bucketOf(long long cx, long long cy) const {
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 32;
    return static_cast<int>(h & mask_);
}

int FloorFinder::listOf(const FloorOffer& offer) const {
    // No centre lies below a NaN top: such an offer is never looked at.
    if (!(offer.top == offer.top)) return noCell;
    long long cx, cy;
    if (inverseCell_ > 0.0 && offer.bound >= 0.0 && offer.bound <= cellFill * cell_ &&
        cellCoordinate(offer.x, inverseCell_, cx) && cellCoordinate(offer.y, inverseCell_, cy)) {
        return bucketOf(cx, cy);
    }
    return everywhere_;
}

void FloorFinder::place(int i, int list) {
    const int old = bucket_[i];
    if (old == list) return;
    if (old != noCell) {
        if (previous_[i] >= 0) {
            next_[previous_[i]] = next_[i];
        } else {
            head_[old] = next_[i];
        }
        if (next_[i] >= 0) previous_[next_[i]] = previous_[i];
    }
    bucket_[i] = list;
    previous_[i] = -1;
    next_[i] = -1;
    if (list != noCell) {
        next_[i] = head_[list];
        if (next_[i] >= 0) previous_[next_[i]] = i;
        head_[list] = i;
    }
}

void FloorFinder::refresh(const RigidBody& body, int i) {
    // Most offers are never looked at closely: a box's outline (a sort and a
    // hull) waits until a centre comes within its reach (setFloorHeight).
    offers_[i] = offerWithoutOutline(body);
    outlined_[i] = body.kind == kindBox ? 0 : 1;
    if (gridded_) place(i, listOf(offers_[i]));
}

void FloorFinder::setFloorHeight(RigidBody& body, int k) const {
    PRALLWERK_ASSERT(k >= 0 && k < count_);
    const double x = body.position.x, y = body.position.y, z = body.position.z;
    float floor = 0.0f;
    // The tests of computeFloorHeight. The floor does not depend on the order
    // in which the offers are looked at (computeFloorHeight says why), nor on
    // looking at one twice (two cells may share a list).
    auto consider = [&](int i) {
        FloorOffer& o = offers_[i];
        const double top = o.top;
        if (i == k || !(top < z) || !(top > floor)) return;
        if (!outlined_[i]) {
            // The copy holds the reach of all the box's corners, at least the
            // outline's: a centre outside it lies over no outline, and is
            // turned away by centreOverFloor's first test as well.
            const double dx = x - o.x, dy = y - o.y;
            if (!(std::sqrt(dx * dx + dy * dy) < o.reach)) return;
            // The body stands as it did when its offer was copied (refresh
            // follows every move), so its corners give the offer's outline.
            o = floorOfferOf(*bodies_[i]);
            outlined_[i] = 1;
        }
        if (centreOverFloor(*bodies_[i], o, x, y)) floor = static_cast<float>(top);
    };
    long long cx, cy;
    if (gridded_ && inverseCell_ > 0.0 && cellCoordinate(x, inverseCell_, cx) && cellCoordinate(y, inverseCell_, cy)) {
        // An offer over which the centre lies has its own centre within its
        // bound, so within cellFill of a cell's edge, of this centre along
        // both axes; the cell coordinates of the two are within 2^-12 of
        // their exact quotients, so they differ by less than one cell edge,
        // and their cells by at most one. Offers not kept in a cell are in
        // the list every search looks at.
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                for (int i = head_[bucketOf(cx + dx, cy + dy)]; i >= 0; i = next_[i]) consider(i);
            }
        }
        for (int i = head_[everywhere_]; i >= 0; i = next_[i]) consider(i);
    } else {
        for (int i = 0; i < count_; ++i) consider(i);
    }
    body.floorHeight = floor;
}

}  // namespace prallwerk
