#include "prallwerk/core/free_flight.h"

#include <algorithm>
#include <cmath>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {

// Sphere: at or below this speed free flight stops it and only lets it roll
// out its spin (m/s).
constexpr double freeFlightSphereRestSpeed = 0.01;
// Box: above this speed it is always in flight (m/s).
constexpr double boxFlightSpeed = 0.1;
// Box: its lowest corner within this of its floor counts as touching (m).
constexpr double boxRestMargin = 0.01;
// A resting sphere with more spin than this still rolls (rad/s).
constexpr double rollingSpin = 0.001;
// Spin kept per call by a rolling sphere: 0.9 in single precision.
constexpr double rollingDamping = static_cast<double>(0.9f);
// Spin added per call to tip a settling box towards a face (rad/s).
constexpr double tipSpin = 0.05;
// Angle to quarter turns: 2 divided by pi, pi taken in single precision.
constexpr double quarterTurnsPerRadian = 2.0 / static_cast<double>(3.14159265f);
// A settling box within this many quarter turns of a face stops tipping.
constexpr double settledQuarterTurns = 0.01;
// How far above its resting height a sunk body is put back (m).
constexpr double floorLift = 0.01;

// Direction in which a settling box tips about one axis: towards the nearest
// quarter turn (a tie goes to the lower one), or 0 once it is within
// settledQuarterTurns of it.
double tipDirection(double angle) {
    const double q = angle * quarterTurnsPerRadian;
    double nearest = std::floor(q);
    if (q - nearest > 0.5) nearest += 1.0;
    if (std::fabs(q - nearest) < settledQuarterTurns) return 0.0;
    return nearest > q ? 1.0 : -1.0;
}

}  // namespace

void computeFloorHeight(const BodyList& bodies, int k) {
    RigidBody& body = *bodies[k];
    const Vec3 centre = body.position;
    float floor = 0.0f;
    const int count = static_cast<int>(bodies.size());
    for (int i = 0; i < count; ++i) {
        if (i == k) continue;
        const RigidBody& other = *bodies[i];
        double extent;
        if (other.kind == kindSphere) {
            extent = other.radius;
        } else if (other.kind == kindBox) {
            extent = other.box.halfLength;
        } else {
            continue;
        }
        const double top = other.position.z + extent;
        if (!(top < centre.z) || !(top > floor)) continue;
        const double dx = centre.x - other.position.x;
        const double dy = centre.y - other.position.y;
        if (std::sqrt(dx * dx + dy * dy) < extent) floor = static_cast<float>(top);
    }
    body.floorHeight = floor;
}

FloorFinder::FloorFinder(int bodyCount) {
    const size_t n = bodyCount > 0 ? static_cast<size_t>(bodyCount) : 0;
    x_.resize(n);
    y_.resize(n);
    top_.resize(n);
    reach_.resize(n);
}

void FloorFinder::load(const BodyList& bodies, int count) {
    PRALLWERK_ASSERT(count == static_cast<int>(x_.size()));
    count = std::max(count, 0);
    // A world keeps its number of bodies; only one that was given more
    // since it was built makes the copy grow.
    if (count > static_cast<int>(x_.size())) *this = FloorFinder(count);
    count_ = count;
    for (int i = 0; i < count_; ++i) refresh(*bodies[i], i);
}

void FloorFinder::refresh(const RigidBody& body, int i) {
    double extent = NAN;
    if (body.kind == kindSphere) {
        extent = body.radius;
    } else if (body.kind == kindBox) {
        extent = body.box.halfLength;
    }
    x_[i] = body.position.x;
    y_[i] = body.position.y;
    reach_[i] = extent;
    top_[i] = body.position.z + extent;  // NaN, never below anything, for other kinds
}

void FloorFinder::setFloorHeight(RigidBody& body, int k) const {
    PRALLWERK_ASSERT(k >= 0 && k < count_);
    const double x = body.position.x, y = body.position.y, z = body.position.z;
    float floor = 0.0f;
    // The same tests in the same order as computeFloorHeight; the body itself
    // is left out by the two ranges.
    auto scan = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const double top = top_[i];
            if (!(top < z) || !(top > floor)) continue;
            const double dx = x - x_[i];
            const double dy = y - y_[i];
            if (std::sqrt(dx * dx + dy * dy) < reach_[i]) floor = static_cast<float>(top);
        }
    };
    scan(0, k);
    scan(k + 1, count_);
    body.floorHeight = floor;
}

void RigidBody::advanceFree(float dt) {
    if (kind == kindSphere) {
        // The in-flight test measures height against the ground plane, not
        // the floor: a sphere on top of a box counts as in flight while it
        // moves.
        if (velocity.length() > freeFlightSphereRestSpeed && radius <= position.z) {
            advance(dt, pivotCentre);
            return;
        }
        velocity = {};
        if (spin.length() > rollingSpin) {
            spin = rollingDamping * spin;
            position.x += radius * (static_cast<double>(dt) * spin.y);
            position.y += radius * (static_cast<double>(dt) * spin.x);
            advance(dt, pivotCentre);
        }
        const double rest = static_cast<double>(floorHeight) + radius;
        if (rest > position.z) position.z = rest + floorLift;
        return;
    }
    if (kind != kindBox) return;

    const bool inFlight = velocity.length() > boxFlightSpeed ||
                          floorHeight + boxRestMargin < radius + position.z;
    if (inFlight) {
        // A box whose lowest corner has reached its floor turns about that
        // corner, which is how it tips over an edge.
        const int pivot = static_cast<double>(floorHeight) - radius < position.z
                              ? pivotCentre
                              : box.lowestCornerIndex();
        advance(dt, pivot);
    } else {
        // Resting: tip about the lowest corner towards the nearest face; the
        // box does not translate and gravity is not integrated.
        velocity = {};
        const double sx = tipDirection(angles.x);
        if (sx == 0.0) spin.x = 0.0;
        const double sy = tipDirection(angles.y);
        if (sy == 0.0) spin.y = 0.0;
        spin.x += tipSpin * sx;
        spin.y += tipSpin * sy;
        spin.z = 0.0;
        angles = predictAngles(dt, spin);
        const int pivot = box.lowestCornerIndex();
        position = position - box.reorient(angles.x, angles.y, angles.z, pivot);
    }
    // The clamp uses the lowest-corner offset of the last ground search, not
    // one recomputed after the box turned.
    const double rest = static_cast<double>(floorHeight) - radius;
    if (rest > position.z) position.z = rest + floorLift;
}

}  // namespace prallwerk
