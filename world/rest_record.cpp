#include "prallwerk/world/rest_record.h"

#include "prallwerk/math/bits.h"

namespace prallwerk {

RestRecord::RestRecord(int bodyCount)
    : searched_(bodyCount > 0 ? static_cast<size_t>(bodyCount) : 0, RigidBody(0.0f)) {}

bool RestRecord::begin(const BodyList& bodies, int count, const Vec3& normalA, const Vec3& normalB, float dt) {
    bool same = still_ && count == count_ && sameBits(dt, dt_) && sameBits(normalA, normalA_) &&
                sameBits(normalB, normalB_);
    for (int i = 0; same && i < count; ++i) same = sameBits(*bodies[i], searched_[i]);
    if (same) return true;

    still_ = false;
    dt_ = dt;
    // A world keeps its number of bodies; one that was given more is never
    // taken to rest (there is no room to remember them).
    count_ = count <= static_cast<int>(searched_.size()) ? count : -1;
    // Nor is a world with a sphere or box that moves: free flight changes its
    // velocity (by a force, or by stopping it) or its position, unless the
    // motion is lost in rounding. Leaving such worlds out only forgoes a
    // replay, and saves remembering the bodies in every step of a scene in
    // motion.
    for (int i = 0; i < count_; ++i) {
        const RigidBody& body = *bodies[i];
        if ((body.kind == kindSphere || body.kind == kindBox) && !isZero(body.velocity)) count_ = -1;
    }
    for (int i = 0; i < count_; ++i) searched_[i] = *bodies[i];
    return false;
}

void RestRecord::end(const BodyList& bodies, int count, const Vec3& normalA, const Vec3& normalB) {
    bool same = count == count_;
    for (int i = 0; same && i < count; ++i) {
        const RigidBody& body = *bodies[i];
        same = sameBitsButFloor(body, searched_[i]);
    }
    normalA_ = normalA;
    normalB_ = normalB;
    still_ = same;
}

}  // namespace prallwerk
