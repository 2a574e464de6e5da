#include "prallwerk/collision/pair_separation.h"

#include <algorithm>
#include <cmath>

namespace prallwerk {

namespace {

// Pushes a pair gets before the separation gives up on it for this step (a
// floor may hold one body back, and the direction of least overlap may turn
// as the bodies part).
constexpr int separationRounds = 4;

bool moves(const RigidBody& b) { return !isZero(b.velocity) || !isZero(b.spin); }

// Takes from v the part along n that points against n.
bool dropApproach(Vec3& v, const Vec3& n) {
    const double along = dot(v, n);
    if (!(along < 0.0)) return false;
    v = v - along * n;
    return true;
}

// Moves a by share of depth + margin along n and b by the rest against it,
// then lifts either out of its floor: a push never takes a body into it.
void push(RigidBody& a, RigidBody& b, const Vec3& n, double depth, double shareA) {
    const double distance = depth + pairSeparationMargin;
    if (shareA > 0.0) a.position = a.position + (shareA * distance) * n;
    if (shareA < 1.0) b.position = b.position - ((1.0 - shareA) * distance) * n;
    for (RigidBody* body : {&a, &b}) {
        const double floor = body->floorHeight;
        body->liftOntoFloor(body->kind == kindSphere ? floor + body->radius : floor - lowestCornerOffset(body->box));
    }
}

}  // namespace

Overlap overlapOf(const RigidBody& a, const RigidBody& b) {
    const bool aBall = a.kind == kindSphere, bBall = b.kind == kindSphere;
    if ((!aBall && a.kind != kindBox) || (!bBall && b.kind != kindBox)) return {};
    const Vec3 ab = a.position - b.position;
    if (aBall && bBall) {
        const double reach = static_cast<double>(a.radius) + b.radius;
        const double distance = ab.length();
        if (!(distance < reach)) return {};
        Overlap o;
        o.depth = reach - distance;
        // Balls with one centre part upwards.
        o.normal = distance > 0.0 ? ab.normalized() : Vec3{0.0, 0.0, 1.0};
        return o;
    }
    if (aBall) {
        const Overlap o = ballAgainstBox(a.position, a.radius, b.position, frameOf(b.box));
        return o.depth > 0.0 ? o : Overlap{};
    }
    if (bBall) {
        Overlap o = ballAgainstBox(b.position, b.radius, a.position, frameOf(a.box));
        if (!(o.depth > 0.0)) return {};
        o.normal = o.normal.negated();
        return o;
    }
    // Boxes whose centres are farther apart than their half diagonals reach
    // cannot overlap.
    if (ab.length() > static_cast<double>(a.box.halfDiagonal) + b.box.halfDiagonal) return {};
    const AxesOverlap o = boxAgainstBox(ab, frameOf(a.box), frameOf(b.box), 1.0);
    return o.anyTouch ? Overlap{} : o.least;
}

bool separatePair(RigidBody& a, RigidBody& b, const Overlap& overlap) {
    if (!(overlap.depth > 0.0)) return false;
    const bool aMoves = moves(a), bMoves = moves(b);
    double shareA = 0.5;
    if (aMoves != bMoves) {
        shareA = aMoves ? 1.0 : 0.0;
    } else {
        const double inverseA = 1.0 / static_cast<double>(a.mass), inverseB = 1.0 / static_cast<double>(b.mass);
        shareA = inverseA / (inverseA + inverseB);
    }
    Overlap o = overlap;
    for (int round = 0; round < separationRounds && o.depth > 0.0; ++round) {
        const Vec3 startA = a.position, startB = b.position;
        push(a, b, o.normal, o.depth, shareA);
        dropApproach(a.velocity, o.normal);
        dropApproach(b.velocity, o.normal.negated());
        // What a floor held back of one body's push, the other body takes
        // in the next round: the one that went less of its way gives way
        // no further.
        const double wantA = shareA * (o.depth + pairSeparationMargin);
        const double wantB = (1.0 - shareA) * (o.depth + pairSeparationMargin);
        const double goneA = dot(a.position - startA, o.normal);
        const double goneB = -dot(b.position - startB, o.normal);
        if (goneA < 0.5 * wantA) {
            shareA = 0.0;
        } else if (goneB < 0.5 * wantB) {
            shareA = 1.0;
        }
        o = overlapOf(a, b);
    }
    return true;
}

}  // namespace prallwerk
