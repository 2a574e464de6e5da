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

// How far any point of the body can be from its centre (m).
double reachOf(const RigidBody& body) {
    if (body.kind == kindSphere) return body.radius;
    return halfDiagonalOf(body.box.width, body.box.length, body.box.height);
}

// Bound on how fast any point moves relative to the centre (m/s).
double turnSpeedOf(const RigidBody& body) {
    if (body.kind != kindBox) return 0.0;
    return reachOf(body) * body.spin.length();
}

// The centre's speed: free flight keeps it (m/s).
double centreSpeedOf(const RigidBody& body) { return body.fixed ? 0.0 : body.velocity.length(); }

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

// How far apart two shapes are at least (m): the gap along an axis that
// separates them, which no two of their points are closer than; 0 or less
// where they touch or overlap.
double clearanceOf(const ShapePose& a, const ShapePose& b) {
    if (a.kind == kindSphere && b.kind == kindSphere) {
        return (a.centre - b.centre).length() - (a.radius + b.radius);
    }
    if (a.kind == kindSphere) return -ballAgainstBox(a.centre, a.radius, b.centre, b.frame).depth;
    if (b.kind == kindSphere) return -ballAgainstBox(b.centre, b.radius, a.centre, a.frame).depth;
    // The axes are tried until one shows a gap: the least overlap is then
    // that gap's (negative).
    const AxesOverlap o = boxAgainstBox(a.centre - b.centre, a.frame, b.frame, 1.0);
    return o.gap ? -o.least.depth : 0.0;
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
    pose.frame.axis[0] = rotated(p.orientation, {1.0, 0.0, 0.0});
    pose.frame.axis[1] = rotated(p.orientation, {0.0, 1.0, 0.0});
    pose.frame.axis[2] = rotated(p.orientation, {0.0, 0.0, 1.0});
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

double thinnestPathOf(const RigidBody& body) {
    if (body.kind == kindSphere) return 2.0 * static_cast<double>(body.radius);
    return std::min(std::min(body.box.width, body.box.length), body.box.height);
}

float physicalGroundImpact(const RigidBody& body, float limit) {
    if (!moves(body) || !(limit > 0.0f)) return -1.0f;
    const double lowest = lowestPointOf(poseAfter(body, 0.0f));
    if (lowest <= 0.0) return -1.0f;
    const double speed = centreSpeedOf(body) + turnSpeedOf(body);
    // No point of it moves fast enough to meet the ground in an impact.
    if (!(speed > bounceSpeed)) return -1.0f;
    // Too high to come down within the limit at any speed it can have.
    if (lowest - speed * static_cast<double>(limit) > 0.0) return -1.0f;
    const int looks = looksFor(speed, limit, thinnestPathOf(body));
    float before = 0.0f;
    float result = -1.0f;
    lookAtTimes(limit, looks, [&](float at) {
        const ShapePose pose = poseAfter(body, at);
        if (lowestPointOf(pose) > 0.0) {
            before = at;
            return true;
        }
        const ContactManifold m = contactWithGround(pose, 0.0, 0.0);
        if (m.count > 0 && approachOf(flownBy(body, at), nullptr, m) > bounceSpeed) result = before;
        return false;
    });
    return result;
}

float physicalPairImpact(const RigidBody& a, const RigidBody& b, float limit) {
    if ((!moves(a) && !moves(b)) || !(limit > 0.0f)) return -1.0f;
    if (!(clearanceOf(poseAfter(a, 0.0f), poseAfter(b, 0.0f)) > 0.0)) return -1.0f;
    const double closing = centreSpeedOf(a) + centreSpeedOf(b);
    const double pointSpeed = closing + turnSpeedOf(a) + turnSpeedOf(b);
    // No point of one moves against the other fast enough for an impact:
    // what they do is the contacts' to hold.
    if (!(pointSpeed > bounceSpeed)) return -1.0f;
    const double reach = reachOf(a) + reachOf(b);
    // Room for the rounding of the predictions when a gap is trusted (m).
    const double slack = 1e-9 * (a.position.length() + b.position.length() + 1.0) + 1e-9 * closing * limit;
    const int looks = looksFor(pointSpeed, limit, thinnestPathOf(a) + thinnestPathOf(b));
    float before = 0.0f;
    float result = -1.0f;
    double apartUntil = -1.0;
    lookAtTimes(limit, looks, [&](float at) {
        if (static_cast<double>(at) < apartUntil) {
            before = at;
            return true;
        }
        const ShapePose pa = poseAfter(a, at), pb = poseAfter(b, at);
        // Centres farther apart than the reaches stay apart while the gap
        // closes at no more than the closing speed.
        const double gap = (pa.centre - pb.centre).length() - reach;
        if (gap > slack) {
            before = at;
            if (closing > 0.0) apartUntil = static_cast<double>(at) + (gap - slack) / closing;
            return closing > 0.0 && apartUntil <= static_cast<double>(limit);
        }
        // Shapes apart by a clearance stay apart while no point of one
        // moves against the other faster than the point speed.
        const double clearance = clearanceOf(pa, pb);
        if (clearance > 0.0) {
            before = at;
            if (clearance > slack) apartUntil = static_cast<double>(at) + (clearance - slack) / pointSpeed;
            return apartUntil <= static_cast<double>(limit);
        }
        const ContactManifold m = contactBetween(pa, pb, 0.0);
        const RigidBody fa = flownBy(a, at), fb = flownBy(b, at);
        if (m.count > 0 && approachOf(fa, &fb, m) > bounceSpeed) result = before;
        return false;
    });
    return result;
}

}  // namespace prallwerk
