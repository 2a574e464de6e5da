#include "collision/ground_contact.h"

#include "core/world.h"

namespace {

// Samples at k hundredths of the limit, k = 1..99: 0.01 in single precision.
constexpr double sampleFraction = static_cast<double>(0.01f);
constexpr int sampleCount = 100;
// Slower than this, a sphere touching its floor rests on it (m/s).
constexpr double sphereRestSpeed = 0.1;
// Slower than this, a box is not searched at all (m/s).
constexpr double boxRestSpeed = 0.01;
// Share of the speed kept at a bounce.
constexpr double sphereBounce = 0.75;
constexpr double boxBounce = 0.5;
// Spin gained per unit of the velocity products at a bounce: 0.05 single.
constexpr double bounceSpinKick = static_cast<double>(0.05f);
// Spin kept by a sphere at a bounce: 0.999999 single.
constexpr double sphereBounceSpin = static_cast<double>(0.999999f);
// Spin kept by a box at a bounce, times its restitution.
constexpr double boxBounceSpin = 0.75;

float sampleTime(int k, float limit) {
    return static_cast<float>(k * static_cast<double>(limit) * sampleFraction);
}

// z offset of the lowest corner of the body's box turned to the angles it
// would have after t.
double lowestCornerAfter(const RigidBody& body, float t) {
    BoxShape posed;
    posed.assign(body.box);
    const Vec3 a = body.predictAngles(t, body.spin);
    posed.reorient(a.x, a.y, a.z, pivotCentre);
    return posed.corners[posed.lowestCornerIndex()].z;
}

// The sample loop is shared by both kinds: the first k at which the body is at
// or below its floor, or sampleCount when no sample before the end touches.
// The result is the sample before it, so the body stops short of the floor
// rather than inside it.
template <typename TouchesAt>
float lastSampleBeforeContact(float limit, TouchesAt touchesAt) {
    int k = 1;
    while (k < sampleCount && !touchesAt(sampleTime(k, limit))) ++k;
    return sampleTime(k - 1, limit);
}

float sphereTimeOfImpact(const RigidBody& body, float limit) {
    const double contactHeight = static_cast<double>(body.radius) + body.floorHeight;
    if (body.position.z <= contactHeight && body.velocity.length() < sphereRestSpeed) return -1.0f;

    auto heightAt = [&](float t) { return body.predictPosition(t, body.predictVelocity(t)).z; };
    if (heightAt(limit) > contactHeight) return -1.0f;
    return lastSampleBeforeContact(limit, [&](float t) { return heightAt(t) <= contactHeight; });
}

float boxTimeOfImpact(RigidBody& body, float limit) {
    const double lowest = body.box.corners[body.box.lowestCornerIndex()].z;
    body.radius = static_cast<float>(lowest);
    const double floor = body.floorHeight;
    if (body.position.z <= floor - lowest) return -1.0f;
    if (body.velocity.length() < boxRestSpeed) return -1.0f;

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

// Spin kick of a bounce from the velocity after it: no lever arm, no friction.
Vec3 bounceKick(const Vec3& v) { return {-(v.z * v.y), v.z * v.x, v.x * v.y}; }

}  // namespace

float groundTimeOfImpact(RigidBody& body, float limit) {
    if (body.kind == kindSphere) return sphereTimeOfImpact(body, limit);
    if (body.kind == kindBox) return boxTimeOfImpact(body, limit);
    return -1.0f;
}

float World::earliestGroundHit(float dt) {
    // Each body searches only up to the best time found so far; ties keep the
    // lower index.
    float best = dt;
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody* body = bodies[i].get();
        const float t = groundTimeOfImpact(*body, best);
        if (t > 0.0f && t < best) {
            best = t;
            hitA = body;
        }
    }
    return best == dt ? -1.0f : best;
}

void RigidBody::groundResponse(float t) {
    double keep, spinKeep;
    if (kind == kindSphere) {
        keep = sphereBounce;
        spinKeep = sphereBounceSpin;
    } else if (kind == kindBox) {
        keep = boxBounce;
        spinKeep = static_cast<double>(restitution) * boxBounceSpin;
    } else {
        return;
    }
    advance(t, pivotCentre);
    // The floor is taken as horizontal whatever is under the body.
    velocity = (static_cast<double>(restitution) * keep) * velocity;
    velocity.z = -velocity.z;
    spin = spin + bounceSpinKick * bounceKick(velocity);
    spin = spinKeep * spin;
}
