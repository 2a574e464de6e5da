#include "collision/pair_impact.h"

#include <cmath>

#include "core/world.h"

namespace {

// A pair is skipped when all four of its speeds are at or below this.
constexpr double pairRestSpeed = 0.0001;
// Search steps at k hundredths of the limit, k = 1..99: 0.01 in single precision.
constexpr double stepFraction = static_cast<double>(0.01f);
constexpr int stepCount = 100;

float stepTime(int k, float limit) {
    return static_cast<float>(k * static_cast<double>(limit) * stepFraction);
}

// A body as predicted after t: its velocity, position and box turned to its
// predicted angles (corners as offsets from the predicted position).
struct Pose {
    Vec3 velocity;
    Vec3 position;
    BoxShape box;
};

Pose poseAt(const RigidBody& body, float t) {
    Pose pose;
    pose.velocity = body.predictVelocity(t);
    pose.position = body.predictPosition(t, pose.velocity);
    pose.box.assign(body.box);
    pose.box.resetCorners();
    const Vec3 a = body.predictAngles(t, body.spin);
    pose.box.rotateCorners(a.x, a.y, a.z);
    return pose;
}

// Contact test with a sphere first: the point of the sphere's surface nearest
// to b's centre, tested in b's box. Returns the contact vector (pointing from
// b toward a), zero when there is no contact.
Vec3 sphereContact(const RigidBody& a, const RigidBody& b, float t, Vec3* sphereVelocity) {
    const Pose pb = poseAt(b, t);
    const Vec3 va = a.predictVelocity(t);
    const Vec3 pa = a.predictPosition(t, va);
    *sphereVelocity = va;
    Vec3 u = pb.position - pa;
    u.normalize();
    const Vec3 q = pa + static_cast<double>(a.radius) * u - pb.position;
    return boxContactNormal(pb.box, q.x, q.y, q.z).negated();
}

// Contact test of two boxes (or a box first and a sphere second): the corners
// of b tested in a, then those of a in b. Returns the contact vector, an axis
// of the testing box pointing from b's side toward a's, zero when there is no
// contact.
Vec3 boxContact(const RigidBody& a, const RigidBody& b, float t) {
    const Pose pa = poseAt(a, t);
    const Pose pb = poseAt(b, t);
    const Vec3 ab = pa.position - pb.position;
    if (ab.length() > static_cast<double>(pa.box.halfDiagonal) + pb.box.halfDiagonal) return {};
    // Each tested point is the mirror image, through the testing box's
    // centre, of the true position of the opposite corner (i ^ 6); a box is
    // symmetric about its centre, so every true corner is tested.
    Vec3 c;
    for (int i = 0; i < 8; ++i) {
        const Vec3 q = pb.box.corners[i] + ab;
        c = boxContactNormal(pa.box, q.x, q.y, q.z).negated();
        if (c.length() > 0.0) return c;
    }
    const Vec3 ba = pb.position - pa.position;
    for (int i = 0; i < 8; ++i) {
        const Vec3 q = pa.box.corners[i] + ba;
        c = boxContactNormal(pb.box, q.x, q.y, q.z);
        if (c.length() > 0.0) return c;
    }
    return c;
}

}  // namespace

Vec3 boxContactNormal(const BoxShape& box, double x, double y, double z) {
    if (std::sqrt(x * x + y * y + z * z) > box.halfDiagonal) return {};
    const Vec3* c = box.corners;
    Vec3 axes[3];
    axes[0].cross(c[1] - c[0], c[2] - c[0]);  // (0, 0, 1) unrotated
    axes[1].cross(c[2] - c[3], c[6] - c[3]);  // (0, -1, 0) unrotated
    axes[2].cross(c[5] - c[1], c[2] - c[1]);  // (-1, 0, 0) unrotated
    float s[3], a[3];
    for (int k = 0; k < 3; ++k) {
        axes[k].normalize();
        s[k] = static_cast<float>(-(x * axes[k].x + y * axes[k].y + z * axes[k].z));
        a[k] = std::fabs(s[k]);
    }
    // The bounds are whole edge lengths, and the second and third axes are
    // bounded by each other's edge.
    if (a[0] > box.height || a[1] > box.length || a[2] > box.width) return {};
    int k;
    if (a[0] >= a[1] && a[0] >= a[2]) {
        k = 0;
    } else if (a[1] >= a[0] && a[1] >= a[2]) {
        k = 1;
    } else {
        k = 2;
    }
    return s[k] > 0.0f ? axes[k] : axes[k].negated();
}

float World::pairTimeOfImpact(float limit, RigidBody* a, RigidBody* b) {
    if (a->velocity.length() <= pairRestSpeed && b->velocity.length() <= pairRestSpeed &&
        a->spin.length() <= pairRestSpeed && b->spin.length() <= pairRestSpeed) {
        return -1.0f;
    }
    // The case follows a's kind alone: a sphere first is tested by its
    // surface point, anything else by box corners.
    const bool sphereCase = a->kind == kindSphere;
    Vec3 sphereVelocity;
    auto contactAt = [&](float t) {
        return sphereCase ? sphereContact(*a, *b, t, &sphereVelocity)
                          : boxContact(*a, *b, t);
    };
    if (contactAt(limit).length() == 0.0) return -1.0f;

    // The first search step in contact decides; the result is the step before
    // it, so the bodies are moved to just short of touching.
    int k = 1;
    Vec3 contact;
    for (; k < stepCount; ++k) {
        contact = contactAt(stepTime(k, limit));
        if (contact.length() > 0.0) break;
    }
    normalA = k < stepCount ? contact : Vec3{};
    normalB = sphereCase ? sphereVelocity.normalized() : normalA;
    return stepTime(k - 1, limit);
}

float World::earliestPairHit(float limit) {
    float best = limit;
    // Each search leaves its contact vectors in normalA/normalB; the ones that
    // count are those of the pair taken, not of a later pair examined after it.
    Vec3 takenA, takenB;
    bool taken = false;
    for (int i = 0; i + 1 < bodyCount; ++i) {
        for (int j = i + 1; j < bodyCount; ++j) {
            const float r = pairTimeOfImpact(best, bodies[i].get(), bodies[j].get());
            if (r > 0.0f && r < best) {
                best = r;
                hitA = bodies[i].get();
                hitB = bodies[j].get();
                takenA = normalA;
                takenB = normalB;
                taken = true;
            }
        }
    }
    if (taken) {
        normalA = takenA;
        normalB = takenB;
    }
    return best == limit ? -1.0f : best;
}
