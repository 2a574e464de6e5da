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

namespace {

// A sphere is in flight unless it is slow and on its floor. The in-flight
// test measures height against the ground plane, not the floor: a sphere on
// top of a box counts as in flight while it moves. A slow sphere rests only
// where it stands on its floor; anywhere else it is in flight, however slow
// (at the top of a throw, or let go in mid-air).
bool sphereInFlight(const RigidBody& b) {
    const bool onFloor = b.position.z <= static_cast<double>(b.floorHeight) + b.radius + floorLift;
    return (b.velocity.length() > freeFlightSphereRestSpeed && b.radius <= b.position.z) || !onFloor;
}

// A box is in flight while it is fast or its lowest corner is above its
// floor.
bool boxInFlight(const RigidBody& b) {
    return b.velocity.length() > boxFlightSpeed || b.floorHeight + boxRestMargin < b.radius + b.position.z;
}

}  // namespace

bool RigidBody::restsOnFloor() const {
    if (kind == kindSphere) return !sphereInFlight(*this);
    if (kind == kindBox) return !boxInFlight(*this);
    return true;
}

void RigidBody::advanceFree(float dt) {
    if (kind == kindSphere) {
        if (sphereInFlight(*this)) {
            advance(dt, pivotCentre);
            // A flying sphere is held by its floor as a box is.
            liftOntoFloor(static_cast<double>(floorHeight) + radius);
            return;
        }
        velocity = {};
        if (spin.length() > rollingSpin) {
            spin = rollingDamping * spin;
            position.x += radius * (static_cast<double>(dt) * spin.y);
            position.y += radius * (static_cast<double>(dt) * spin.x);
            advance(dt, pivotCentre);
        }
        liftOntoFloor(static_cast<double>(floorHeight) + radius);
        return;
    }
    if (kind != kindBox) return;

    if (boxInFlight(*this)) {
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
    // The clamp measures the box as it stands after its move: a box that
    // turned in flight may have swung another corner, or the same one
    // further, below its floor since the last ground search.
    liftOntoFloor(static_cast<double>(floorHeight) - lowestCornerOffset(box));
}

void RigidBody::liftOntoFloor(double rest) {
    if (!(rest > position.z)) return;
    position.z = rest + floorLift;
    // The floor holds the body: whatever speed took it into the floor is
    // gone, or gravity would pile it up step after step while the body
    // stays put, until one step carries it through whatever is under it.
    if (velocity.z < 0.0) velocity.z = 0.0;
}

}  // namespace prallwerk
