#include "prallwerk/world/island_bounds.h"

#include <algorithm>
#include <cmath>

namespace prallwerk {

namespace {

// Each bound is padded by this share of the magnitudes that enter it, plus
// this many metres: far beyond the few roundings by which the predictions of
// the searches and of free flight differ from the exact motion bounded here.
constexpr double roundingPad = 1e-9;

// Angles are kept within [-2 pi, 2 pi] by whole turns of 2 pi rounded to
// single precision, which differ from a true turn by under 2e-7 rad; a step
// turns each angle back a few times at most (rad).
constexpr double wrapSlack = 1e-6;

// A bounce keeps at most this share of the speed it meets its floor with
// (0.75 for a sphere, 0.5 for a box, times a restitution of at most 1).
constexpr double bounceShare = 0.75;

}  // namespace

Bounds occupiedOver(const RigidBody& body, float span) {
    const double t = span;
    const double inverseMass = 1.0 / static_cast<double>(body.mass);
    const double p[3] = {body.position.x, body.position.y, body.position.z};
    const double v[3] = {body.velocity.x, body.velocity.y, body.velocity.z};
    const double a[3] = {body.force.x * inverseMass, body.force.y * inverseMass, body.force.z * inverseMass};
    const Vec3& s = body.spin;
    // Each of the three turns moves a point at distance d from the centre by
    // at most d times its angle.
    const double turn = t * (std::fabs(s.x) + std::fabs(s.y) + std::fabs(s.z)) + wrapSlack;
    double extent[3];
    double drift;  // how far the centre may stray beyond the sweep of its motion
    if (body.kind == kindSphere) {
        const double r = std::fabs(static_cast<double>(body.radius));
        extent[0] = extent[1] = extent[2] = r;
        // A resting sphere rolls sideways by its radius times its spin.
        drift = r * t * (std::fabs(s.x) + std::fabs(s.y));
    } else {
        // A box's corners as they stand, turned at most that far; turning
        // about a corner moves the centre as far as the corner turns. (The
        // searches of an inert kind see it as a box of its edges.)
        const double reach = halfDiagonalOf(body.box.width, body.box.length, body.box.height);
        for (int k = 0; k < 3; ++k) extent[k] = 0.0;
        for (const Vec3& c : body.box.corners) {
            extent[0] = std::max(extent[0], std::fabs(c.x));
            extent[1] = std::max(extent[1], std::fabs(c.y));
            extent[2] = std::max(extent[2], std::fabs(c.z));
        }
        if (body.kind != kindBox) extent[0] = extent[1] = extent[2] = reach;
        for (double& e : extent) e += reach * turn;
        drift = reach * turn;
    }
    Bounds b;
    double sum = 0.0;  // turns infinite or NaN with any bound
    for (int k = 0; k < 3; ++k) {
        // The centre after u in [0, t] is p + u v + u^2 a: the second term
        // lies between 0 and t v, the third between 0 and t^2 a.
        const double moved = t * v[k];
        const double fallen = t * t * a[k];
        const double grow = drift + extent[k] +
                            roundingPad * (std::fabs(p[k]) + std::fabs(moved) + std::fabs(fallen) + extent[k] + 1.0);
        b.lo[k] = p[k] + std::min(moved, 0.0) + std::min(fallen, 0.0) - grow;
        b.hi[k] = p[k] + std::max(moved, 0.0) + std::max(fallen, 0.0) + grow;
        sum += b.lo[k] + b.hi[k];
    }
    // A body on its way down may meet its floor within the span and rise
    // again, at most as fast as it fell.
    const double fallSpeed = std::max(0.0, -v[2]) + t * std::max(0.0, -a[2]);
    b.hi[2] += bounceShare * t * fallSpeed;
    sum += b.hi[2];
    if (!std::isfinite(sum)) {
        // Nothing is known about where it can be: it reaches everywhere.
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = -INFINITY;
            b.hi[k] = INFINITY;
        }
    }
    return b;
}

Bounds withIslandMargin(const Bounds& b) {
    Bounds m = b;
    for (int k = 0; k < 3; ++k) {
        m.lo[k] -= islandMargin;
        m.hi[k] += islandMargin;
    }
    return m;
}

Bounds islandBoundOf(const RigidBody& body, float span) { return withIslandMargin(occupiedOver(body, span)); }

}  // namespace prallwerk
