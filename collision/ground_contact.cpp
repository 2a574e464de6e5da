#include "prallwerk/collision/ground_contact.h"

#include "prallwerk/collision/sampling.h"

namespace prallwerk {

namespace {

// z offset of the lowest corner of the body's box turned to the angles it
// would have after t.
double lowestCornerAfter(const RigidBody& body, float t) {
    BoxShape posed;
    posed.assign(body.box);
    const Vec3 a = body.predictAngles(t, body.spin);
    posed.reorient(a.x, a.y, a.z, pivotCentre);
    return lowestCornerOffset(posed);
}

// The result is the sample before the first one in contact, so the body
// stops short of its floor rather than inside it: 0 when the first sample
// already touches, 0.99 * limit when only the end of the limit does.
template <typename TouchesAt>
float lastSampleBeforeContact(float limit, TouchesAt touchesAt) {
    return sampleTime(firstTouchingSample(limit, touchesAt) - 1, limit);
}

float sphereTimeOfImpact(const RigidBody& body, float limit) {
    const double contactHeight = static_cast<double>(body.radius) + body.floorHeight;
    if (body.position.z <= contactHeight && body.velocity.length() < groundSphereRestSpeed) return -1.0f;

    auto heightAt = [&](float t) { return body.predictPosition(t, body.predictVelocity(t)).z; };
    if (heightAt(limit) > contactHeight) return -1.0f;
    return lastSampleBeforeContact(limit, [&](float t) { return heightAt(t) <= contactHeight; });
}

float boxTimeOfImpact(const RigidBody& body, float limit, double lowest) {
    const double floor = body.floorHeight;
    if (body.position.z <= floor - lowest) return -1.0f;
    if (body.velocity.length() < groundBoxRestSpeed) return -1.0f;

    // No corner of the turned box lies further below the centre than reach
    // (the half diagonal, with room for the rounding of the turn). While the
    // centre is more than that above the floor, the turn need not be
    // computed: the lowest corner is above the floor whatever it is.
    const double reach = halfDiagonalOf(body.box.width, body.box.length, body.box.height) * (1.0 + 1e-6);
    auto aboveFloorAt = [&](float t) {
        const double z = body.predictPosition(t, body.predictVelocity(t)).z;
        if (z - reach > floor) return true;
        return z + lowestCornerAfter(body, t) > floor;
    };
    if (aboveFloorAt(limit)) return -1.0f;
    return lastSampleBeforeContact(limit, [&](float t) { return !aboveFloorAt(t); });
}

}  // namespace

GroundImpact groundTimeOfImpact(const RigidBody& body, float limit) {
    GroundImpact impact;
    if (body.kind == kindSphere) {
        impact.time = sphereTimeOfImpact(body, limit);
    } else if (body.kind == kindBox) {
        const double lowest = lowestCornerOffset(body.box);
        impact.lowestCorner = static_cast<float>(lowest);
        impact.time = boxTimeOfImpact(body, limit, lowest);
    }
    return impact;
}

bool arrivesAtRest(const RigidBody& body, float t) {
    const double speed = body.predictVelocity(t).length();
    if (body.kind == kindSphere) return speed < groundSphereRestSpeed;
    if (body.kind == kindBox) return speed < groundBoxRestSpeed;
    return false;
}

}  // namespace prallwerk
