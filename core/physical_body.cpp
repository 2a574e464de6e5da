#include "prallwerk/core/physical_body.h"

namespace prallwerk {

namespace {

// The box's inertia m (a^2 + b^2) / 12 about an axis across edges a and b.
constexpr double boxInertiaDivisor = 12.0;
// The solid sphere's inertia 2/5 m r^2, as 2 m r^2 / 5.
constexpr double sphereInertiaFactor = 2.0;
constexpr double sphereInertiaDivisor = 5.0;

bool movesUnderPhysicalRules(const RigidBody& body) {
    return (body.kind == kindSphere || body.kind == kindBox) && !body.fixed;
}

// What the classic fields show of body.orientation, taken as it is (already
// unit): the angles, and a box's corners and lowest corner. The corners are
// the reset ones, the half edges in single precision as resetCorners rounds
// them, turned by the orientation's matrix, so that a box turned by
// quatFromAngles(a) and one reoriented by a have the same corners up to
// rounding.
void showOrientation(RigidBody& body) {
    body.angles = anglesOf(body.orientation);
    if (body.kind != kindBox) return;
    body.box.resetCorners();
    const Mat3 turn = matrixOf(body.orientation);
    for (Vec3& corner : body.box.corners) corner = turn * corner;
    body.radius = static_cast<float>(lowestCornerOffset(body.box));
}

}  // namespace

Vec3 principalInertia(const RigidBody& body) {
    const double m = body.mass;
    if (body.kind == kindBox) {
        const double l = body.box.length, w = body.box.width, h = body.box.height;
        return {m * (w * w + h * h) / boxInertiaDivisor, m * (l * l + h * h) / boxInertiaDivisor,
                m * (l * l + w * w) / boxInertiaDivisor};
    }
    if (body.kind == kindSphere) {
        const double r = body.radius;
        const double i = sphereInertiaFactor * m * r * r / sphereInertiaDivisor;
        return {i, i, i};
    }
    return {};
}

double inverseMassOf(const RigidBody& body) { return body.fixed ? 0.0 : 1.0 / static_cast<double>(body.mass); }

Vec3 inverseInertiaTimes(const RigidBody& body, const Vec3& v) {
    if (!movesUnderPhysicalRules(body)) return {};
    // Into the body's axes, where the inertia is diagonal, divide, and back.
    const Mat3 turn = matrixOf(body.orientation);
    const Vec3 inertia = principalInertia(body);
    const Vec3 local = transposeTimes(turn, v);
    return turn * Vec3{local.x / inertia.x, local.y / inertia.y, local.z / inertia.z};
}

Vec3 pointVelocity(const RigidBody& body, const Vec3& p) {
    return body.velocity + Vec3().cross(body.spin, p - body.position);
}

void setOrientation(RigidBody& body, const Quat& q) {
    body.orientation = unitQuat(q);
    showOrientation(body);
}

Vec3 predictPhysicalPosition(const RigidBody& body, float t) {
    return movesUnderPhysicalRules(body) ? body.predictPosition(t, body.velocity) : body.position;
}

PhysicalPose predictPhysicalPose(const RigidBody& body, float t) {
    if (!movesUnderPhysicalRules(body)) return {body.position, body.orientation};
    return {predictPhysicalPosition(body, t), turnedBy(body.orientation, body.spin, static_cast<double>(t))};
}

void flyPhysical(RigidBody& body, float dt) {
    if (!movesUnderPhysicalRules(body)) return;
    // The prediction is the flight: the searches' pose at dt is the pose the
    // body takes, bit for bit.
    const PhysicalPose pose = predictPhysicalPose(body, dt);
    body.position = pose.position;
    // turnedBy has made the orientation unit already; setOrientation would
    // round it once more and part it from the prediction.
    body.orientation = pose.orientation;
    showOrientation(body);
}

}  // namespace prallwerk
