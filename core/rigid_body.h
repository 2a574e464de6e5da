#pragma once

#include <memory>
#include <vector>

#include "prallwerk/core/box_shape.h"
#include "prallwerk/math/quat.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// Body kinds. Any other value is inert: it neither moves nor collides with the
// ground.
constexpr int kindSphere = 1;
constexpr int kindBox = 2;

// Full turn used to keep angles within [-2*pi, 2*pi]: 2*pi rounded to single
// precision and held in double.
constexpr double twoPi = 6.2831854820251465;

// The Coulomb coefficient of a body that names none (a body defined or read
// without a friction or a material, and every body the engine makes itself):
// the prepared scenes, their files and bodies defined in code agree on it.
constexpr float defaultFriction = 0.5f;

// Each angle brought into [-2*pi, 2*pi] by whole turns; angles already in that
// range (both ends included) come back unchanged. A non-finite angle becomes 0.
Vec3 wrapAngles(double a, double b, double c);

// One simulated sphere or box. A plain record: the world, the collision code,
// the scene loader and the renderer read and write its fields directly.
struct RigidBody {
    int kind = 0;              // kindSphere, kindBox, or inert
    float mass = 0.0f;         // kg
    Vec3 position;             // centre, m
    Vec3 spin;                 // rates of the three angles, rad/s
    Vec3 angles;               // rotation about x, then y, then z, rad, within [-2*pi, 2*pi]
    Vec3 velocity;             // m/s
    Vec3 force;                // sum of the forces of the current step, N
    float radius = 0.0f;       // sphere: radius; box: z offset of the lowest corner (<= 0)
    float restitution = 0.0f;  // bounce factor of the ground response
    float floorHeight = 0.0f;  // height of the surface under the body
    BoxShape box;              // all zero for a sphere
    // Read by the physical rules alone (core/physical_body.h), under which
    // spin is the angular velocity in world axes and angles follow the
    // orientation; the classic rules leave them as they are.
    Quat orientation;          // unit quaternion
    float friction = defaultFriction;  // Coulomb coefficient, combined with the other surface's
    bool fixed = false;        // never moves and has no mass for the response
    float restingFor = 0.0f;   // s it has been slow: an island of slow bodies falls asleep
    // Its velocity is the one of an instant (the body was just made or put
    // under the physical rules), not yet that of the middle of a part: its
    // first part takes half the part's force (the leapfrog start). Set by the
    // world for every body it puts under the physical rules.
    bool halfFirstPart = false;

    explicit RigidBody(float mass_) : mass(mass_) {}

    // velocity + dt * (force * (1 / mass)).
    Vec3 predictVelocity(float dt) const;

    // position + dt * v.
    Vec3 predictPosition(float dt, const Vec3& v) const;

    // wrapAngles(angles + dt * w).
    Vec3 predictAngles(float dt, const Vec3& w) const;

    // Semi-implicit Euler over dt: velocity first, then position with the new
    // velocity, then the angles by the (unchanged) spin. A box then has its
    // corners rebuilt and is shifted so that the pivot corner stays where the
    // translation alone put it. Inert kinds do nothing.
    void advance(float dt, int pivot);

    // Advances a body that is not part of the impact just handled, with the
    // resting rules: slow spheres stop and roll out their spin, slow boxes tip
    // towards a face, and nothing sinks below its floor.
    void advanceFree(float dt);

    // Whether advanceFree takes the body's resting branch: a sphere slow and
    // on its floor, a box slow and with its lowest corner on its floor (its
    // radius, as the ground search left it, gives that corner). Inert kinds
    // rest. A resting body without velocity and spin that advanceFree left
    // as it was is left so by it again, whatever the span, while its floor
    // stays: the resting branches do not read the span but to turn the spin
    // it has.
    bool restsOnFloor() const;

    // The floor clamp: a body whose centre has sunk below rest, its resting
    // height over its floor, is put 0.01 m above it, and loses the part of
    // its velocity that points down into the floor.
    void liftOntoFloor(double rest);

    // Moves the body over t to its ground impact and makes it bounce off a
    // horizontal floor. Inert kinds do nothing.
    void groundResponse(float t);

    // Moves the body over t to its ground impact and leaves it at rest on its
    // floor instead of bouncing: velocity zero, the centre lowered onto its
    // resting height (floorHeight + radius for a sphere, floorHeight less the
    // lowest corner's offset for a box) if it is above it, never raised. Spin
    // is kept. Inert kinds do nothing.
    void landOnFloor(float t);
};

// Every field of both bodies the same bits (so -0 differs from 0 and a NaN
// equals itself), the floor height aside.
inline bool sameBitsButFloor(const RigidBody& a, const RigidBody& b) {
    return a.kind == b.kind && sameBits(a.mass, b.mass) && sameBits(a.position, b.position) &&
           sameBits(a.spin, b.spin) && sameBits(a.angles, b.angles) && sameBits(a.velocity, b.velocity) &&
           sameBits(a.force, b.force) && sameBits(a.radius, b.radius) && sameBits(a.restitution, b.restitution) &&
           sameBits(a.box, b.box) && sameBits(a.orientation.w, b.orientation.w) &&
           sameBits(a.orientation.x, b.orientation.x) && sameBits(a.orientation.y, b.orientation.y) &&
           sameBits(a.orientation.z, b.orientation.z) && sameBits(a.friction, b.friction) && a.fixed == b.fixed &&
           sameBits(a.restingFor, b.restingFor) && a.halfFirstPart == b.halfFirstPart;
}

// Every field of both bodies the same bits.
inline bool sameBits(const RigidBody& a, const RigidBody& b) {
    return sameBitsButFloor(a, b) && sameBits(a.floorHeight, b.floorHeight);
}

// The bodies of a world, owned, in index order.
using BodyList = std::vector<std::unique_ptr<RigidBody>>;

}  // namespace prallwerk
