#include "prallwerk/collision/physical_impact.h"

#include <algorithm>
#include <cmath>

#include "prallwerk/collision/contact_solver.h"
#include "prallwerk/collision/sampling.h"
#include "prallwerk/collision/shape_overlap.h"
#include "prallwerk/core/physical_body.h"

namespace prallwerk {

namespace {

// A look's travel at most this share of how thin the bodies are together.
constexpr double travelPerLook = 0.5;

// Most looks between two samples.
constexpr int mostLooksPerSample = 1024;

bool moves(const RigidBody& body) {
    return !body.fixed && (body.kind == kindSphere || body.kind == kindBox) &&
           !(isZero(body.velocity) && isZero(body.spin));
}

// Bound on how fast any point moves relative to the centre (m/s).
double turnSpeedOf(const RigidBody& body) {
    if (body.kind != kindBox || body.fixed) return 0.0;
    return reachOf(body) * body.spin.length();
}

// Bound on how fast the box's extent along the unit direction n grows as
// it turns (m/s): its points p move at spin x p, and (spin x p).n =
// (n x spin).p, at most |n x spin| times the reach.
// The same for a body whose reach (reachOf) is given: a search asks at
// every look it tests, and the reach is a square root.
double turnSpeedAlong(const RigidBody& body, double reach, const Vec3& n) {
    if (body.kind != kindBox || body.fixed) return 0.0;
    return reach * Vec3().cross(n, body.spin).length();
}

// The centre's velocity: free flight keeps it (m/s).
Vec3 velocityOf(const RigidBody& body) { return body.fixed ? Vec3{} : body.velocity; }


int looksFor(double pointSpeed, double limit, double thickness) {
    const double travel = pointSpeed * limit * sampleFraction;
    const double allowed = travelPerLook * thickness;
    if (!(travel > allowed)) return 1;
    const double wanted = std::ceil(travel / allowed);
    return wanted < mostLooksPerSample ? static_cast<int>(wanted) : mostLooksPerSample;
}

// Every time looked at within limit, in order: the samples, each interval
// cut into `looks` equal looks. visit(at) returns false to stop.
template <typename Visit>
void lookAtTimes(float limit, int looks, Visit visit) {
    for (int k = 1; k <= sampleCount; ++k) {
        const float to = k < sampleCount ? sampleTime(k, limit) : limit;
        const float from = sampleTime(k - 1, limit);
        for (int j = 1; j <= looks; ++j) {
            const float at = j == looks ? to
                                        : static_cast<float>(static_cast<double>(from) +
                                                             (static_cast<double>(to) - from) * j / looks);
            if (!visit(at)) return;
        }
    }
}

// How far apart two shapes are at least (m), and along which direction
// (unit, from b toward a): the gap along an axis that separates them,
// which no two of their points are closer than, and which shrinks no
// faster than the bodies approach along that fixed direction and turn; 0
// or less where they touch or overlap.
struct Clearance {
    double gap = 0.0;
    Vec3 normal;
    int axis = -1;  // two boxes: the number of the axis it was found on (boxAgainstBox)
};

Clearance clearanceOf(const ShapePose& a, const ShapePose& b) {
    if (a.kind == kindSphere && b.kind == kindSphere) {
        const Vec3 ab = a.centre - b.centre;
        return {ab.length() - (a.radius + b.radius), ab.normalized()};
    }
    if (a.kind == kindSphere) {
        const Overlap o = ballAgainstBox(a.centre, a.radius, b.centre, b.frame);
        return {-o.depth, o.normal};
    }
    if (b.kind == kindSphere) {
        const Overlap o = ballAgainstBox(b.centre, b.radius, a.centre, a.frame);
        return {-o.depth, o.normal.negated()};
    }
    // The axes are tried until one shows a gap: the least overlap is then
    // that gap's (negative). Boxes that overlap have it on every axis, and
    // the least of them is how deep they are in each other: no direction
    // shows less, so it grows no faster than the bodies close along the
    // axis it was found on.
    const AxesOverlap o = boxAgainstBox(a.centre - b.centre, a.frame, b.frame, 1.0);
    return {-o.least.depth, o.least.normal, o.leastAxis};
}

// Whether two boxes' clearance, as clearanceOf would find it, is above
// level, shown by one axis alone: the gap along any axis is no more than
// the clearance (apart, some axis shows a gap, and clearanceOf finds one;
// overlapping, clearanceOf's least overlap is the least of every
// direction). Where it shows them above level the clearance is that gap
// along it, a lower bound that shrinks no faster than the bodies close
// along it, as clearanceOf's own. A search that looks again at two boxes a
// moment later mostly finds them parted by the axis it found last: that
// one axis is tried first, not all fifteen.
bool clearedAlong(const ShapePose& a, const ShapePose& b, int axis, double level, Clearance& clearance) {
    if (axis < 0 || a.kind != kindBox || b.kind != kindBox) return false;
    Overlap o;
    if (!overlapAlongAxis(a.centre - b.centre, a.frame, b.frame, axis, o) || !(-o.depth > level)) return false;
    clearance = {-o.depth, o.normal, axis};
    return true;
}

Clearance poseClearance(const RigidBody& a, float aheadA, const RigidBody& b, float aheadB) {
    return clearanceOf(poseAfter(a, aheadA), poseAfter(b, aheadB));
}


// The depth (m, at most 0: a height or gap) that a search must see passed
// before it reports an impact: the ground or the other body for bodies
// apart at its start; for bodies that touch (or overlap), the slop below
// their touch.
double touchLevel(double startGap) { return startGap > 0.0 ? 0.0 : startGap - contactSlop; }

// A body whose state is lead seconds behind the search's start, at
// look time at: the flight it would have from its state.
float aheadBy(double lead, float at) {
    return lead == 0.0 ? at : static_cast<float>(lead + static_cast<double>(at));
}

// The body after t of free flight: where its points' velocities are read.
RigidBody flownBy(const RigidBody& body, float t) {
    RigidBody moved = body;
    flyPhysical(moved, t);
    return moved;
}

}  // namespace

ShapePose poseAfter(const RigidBody& body, float t) {
    ShapePose pose;
    pose.kind = body.kind;
    const PhysicalPose p = predictPhysicalPose(body, t);
    pose.centre = p.position;
    if (body.kind == kindSphere) {
        pose.radius = body.radius;
        return pose;
    }
    // The box's axes are the columns of its turn, as its corners are turned.
    const Mat3 turn = matrixOf(p.orientation);
    pose.frame.axis[0] = {turn.row[0].x, turn.row[1].x, turn.row[2].x};
    pose.frame.axis[1] = {turn.row[0].y, turn.row[1].y, turn.row[2].y};
    pose.frame.axis[2] = {turn.row[0].z, turn.row[1].z, turn.row[2].z};
    pose.frame.half[0] = 0.5 * static_cast<double>(body.box.length);
    pose.frame.half[1] = 0.5 * static_cast<double>(body.box.width);
    pose.frame.half[2] = 0.5 * static_cast<double>(body.box.height);
    return pose;
}

double lowestPointOf(const ShapePose& pose) {
    if (pose.kind == kindSphere) return pose.centre.z - pose.radius;
    double below = 0.0;
    for (int k = 0; k < 3; ++k) below += pose.frame.half[k] * std::fabs(pose.frame.axis[k].z);
    return pose.centre.z - below;
}

Bounds physicalReachOver(const RigidBody& body, float limit) {
    const double t = static_cast<double>(limit);
    const Vec3 moved = body.fixed ? Vec3{} : t * body.velocity;
    const double reach = reachOf(body);
    // How far its points reach from the centre along each world axis: a
    // box's extent as it stands, and what its turn within the limit can
    // add (no point moves further than the reach times the angle).
    double extent[3] = {reach, reach, reach};
    if (body.kind == kindBox) {
        const Mat3 turn = matrixOf(body.orientation);
        const double half[3] = {0.5 * static_cast<double>(body.box.length), 0.5 * static_cast<double>(body.box.width),
                                0.5 * static_cast<double>(body.box.height)};
        const double turning = body.fixed ? 0.0 : std::min(reach, reach * body.spin.length() * t);
        const Vec3* rows = turn.row;
        for (int k = 0; k < 3; ++k) {
            const Vec3& r = rows[k];
            const double standing = half[0] * std::fabs(r.x) + half[1] * std::fabs(r.y) + half[2] * std::fabs(r.z);
            extent[k] = std::min(reach, standing + turning);
        }
    }
    const double p[3] = {body.position.x, body.position.y, body.position.z};
    const double m[3] = {moved.x, moved.y, moved.z};
    Bounds b;
    for (int k = 0; k < 3; ++k) {
        const double grow = extent[k] + 1e-9 * (std::fabs(p[k]) + std::fabs(m[k]) + reach + 1.0);
        b.lo[k] = p[k] + std::min(m[k], 0.0) - grow;
        b.hi[k] = p[k] + std::max(m[k], 0.0) + grow;
    }
    return b;
}

float impactTimeOf(float searched, float limit) {
    if (searched != 0.0f) return searched;
    return firstLookImpact < limit ? firstLookImpact : -1.0f;
}

double thinnestPathOf(const RigidBody& body) {
    if (body.kind == kindSphere) return 2.0 * static_cast<double>(body.radius);
    return std::min(std::min(body.box.width, body.box.length), body.box.height);
}

// The fastest approach among a manifold's points (m/s; negative: parting).
double approachOf(const RigidBody& a, const RigidBody* b, const ContactManifold& m) {
    double fastest = -HUGE_VAL;
    for (int i = 0; i < m.count; ++i) {
        const Vec3& p = m.points[i].position;
        Vec3 v = pointVelocity(a, p);
        if (b != nullptr) v = v - pointVelocity(*b, p);
        fastest = std::max(fastest, -dot(v, m.normal));
    }
    return fastest;
}

double reachOf(const RigidBody& body) {
    if (body.kind == kindSphere) return body.radius;
    return halfDiagonalOf(body.box.width, body.box.length, body.box.height);
}

float physicalGroundImpact(const RigidBody& body, float limit) { return physicalGroundImpact(body, 0.0, limit); }

float physicalGroundImpact(const RigidBody& body, double lead, float limit) {
    if (!moves(body) || !(limit > 0.0f)) return -1.0f;
    // No point of it comes down faster than its centre's fall and its turn.
    const double descent = std::max(-body.velocity.z, 0.0) + turnSpeedOf(body);
    // None comes down fast enough to meet the ground in an impact.
    if (!(descent > bounceSpeed)) return -1.0f;
    const double lowest = lowestPointOf(poseAfter(body, aheadBy(lead, 0.0f)));
    // A body that touches the ground at the start rests on what touches
    // (the contacts hold it); what the search looks for is another point of
    // it coming down fast: the far end of a box turning onto a face, or the
    // touching corner itself driven down by a blow. Either goes below the
    // touch by more than the slop.
    double level = touchLevel(lowest);
    // Too high to come down within the limit.
    if (lowest - level - descent * static_cast<double>(limit) > 0.0) return -1.0f;
    const int looks = looksFor(descent, limit, thinnestPathOf(body));
    const double reach = reachOf(body);
    float before = 0.0f;
    float result = -1.0f;
    double apartUntil = -1.0;
    lookAtTimes(limit, looks, [&](float at) {
        if (static_cast<double>(at) < apartUntil) {
            before = at;
            return true;
        }
        const float ahead = aheadBy(lead, at);
        // No point is lower than the centre less the reach: the turn is
        // worked out only where that does not clear the ground.
        const Vec3 centre = predictPhysicalPosition(body, ahead);
        double height = centre.z - reach - level;
        ShapePose pose;
        if (!(height > 0.0)) {
            pose = poseAfter(body, ahead);
            height = lowestPointOf(pose) - level;
        }
        if (height > 0.0) {
            before = at;
            // Room for the rounding of the prediction when a height is trusted (m).
            const double slack = 1e-9 * (std::fabs(centre.z) + reach + 1.0);
            if (height > slack) apartUntil = static_cast<double>(at) + (height - slack) / descent;
            return apartUntil <= static_cast<double>(limit);
        }
        const ContactManifold m = contactWithGround(pose, 0.0, 0.0);
        if (m.count > 0 && approachOf(flownBy(body, ahead), nullptr, m) > bounceSpeed) {
            result = before;
            return false;
        }
        // It comes to touch slowly: the contacts hold that, and the search
        // goes on for what comes down fast after it.
        level = touchLevel(height + level);
        before = at;
        return true;
    });
    return result;
}

float physicalPairImpact(const RigidBody& a, const RigidBody& b, float limit) {
    return physicalPairImpact(a, 0.0, b, 0.0, limit);
}

float physicalPairImpact(const RigidBody& a, double leadA, const RigidBody& b, double leadB, float limit) {
    if ((!moves(a) && !moves(b)) || !(limit > 0.0f)) return -1.0f;
    // Centres and points draw together no faster than the bodies' relative
    // velocity lets them: bodies that fall together meet no sooner.
    const double closing = (velocityOf(a) - velocityOf(b)).length();
    const double pointSpeed = closing + turnSpeedOf(a) + turnSpeedOf(b);
    // No point of one moves against the other fast enough for an impact:
    // what they do is the contacts' to hold.
    if (!(pointSpeed > bounceSpeed)) return -1.0f;
    // Room for the rounding of the predictions when a gap is trusted (m).
    const double slack = 1e-9 * (a.position.length() + b.position.length() + 1.0) + 1e-9 * closing * limit;
    const Vec3 relative = velocityOf(a) - velocityOf(b);
    const double reachA = reachOf(a), reachB = reachOf(b);
    // How fast a gap along n can close (m/s).
    auto closingAlong = [&](const Vec3& n) {
        return std::max(-dot(relative, n), 0.0) + turnSpeedAlong(a, reachA, n) + turnSpeedAlong(b, reachB, n);
    };
    const Clearance start = poseClearance(a, aheadBy(leadA, 0.0f), b, aheadBy(leadB, 0.0f));
    // Touching at the start: as on the ground, the search looks for the
    // bodies going into each other by more than the slop beyond the touch.
    double level = touchLevel(start.gap);
    // Too far apart to meet within the limit.
    if (start.gap - level - slack > closingAlong(start.normal) * static_cast<double>(limit)) return -1.0f;
    const double reach = reachA + reachB;
    int axis = start.axis;  // two boxes: the axis of the last clearance found
    const int looks = looksFor(pointSpeed, limit, thinnestPathOf(a) + thinnestPathOf(b));
    float before = 0.0f;
    float result = -1.0f;
    double apartUntil = -1.0;
    lookAtTimes(limit, looks, [&](float at) {
        if (static_cast<double>(at) < apartUntil) {
            before = at;
            return true;
        }
        const float aheadA = aheadBy(leadA, at), aheadB = aheadBy(leadB, at);
        // Centres farther apart than the reaches stay apart while the gap
        // closes at no more than the closing speed. (The centres first: a
        // turn costs more than a move.)
        const double gap = (predictPhysicalPosition(a, aheadA) - predictPhysicalPosition(b, aheadB)).length() - reach - level;
        if (gap > slack) {
            before = at;
            if (closing > 0.0) apartUntil = static_cast<double>(at) + (gap - slack) / closing;
            return closing > 0.0 && apartUntil <= static_cast<double>(limit);
        }
        const ShapePose pa = poseAfter(a, aheadA), pb = poseAfter(b, aheadB);
        // Shapes apart by a clearance stay apart while the gap along its
        // direction has not closed.
        Clearance clearance;
        if (!clearedAlong(pa, pb, axis, level, clearance)) {
            clearance = clearanceOf(pa, pb);
            axis = clearance.axis;
        }
        if (clearance.gap > level) {
            before = at;
            const double rate = closingAlong(clearance.normal);
            if (!(rate > 0.0)) return false;
            const double room = clearance.gap - level;
            if (room > slack) apartUntil = static_cast<double>(at) + (room - slack) / rate;
            return apartUntil <= static_cast<double>(limit);
        }
        const ContactManifold m = contactBetween(pa, pb, 0.0);
        const RigidBody fa = flownBy(a, aheadA), fb = flownBy(b, aheadB);
        if (m.count > 0 && approachOf(fa, &fb, m) > bounceSpeed) {
            result = before;
            return false;
        }
        // They come to touch slowly: as on the ground, the search goes on.
        level = touchLevel(clearance.gap);
        before = at;
        return true;
    });
    return result;
}

}  // namespace prallwerk
