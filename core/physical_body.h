#pragma once

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/quat.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// A body under the physical rules: its orientation is the quaternion
// RigidBody::orientation, its spin the angular velocity in world axes
// (rad/s), and its shape has an inertia. The classic fields follow the
// orientation: angles are anglesOf(orientation), a box's corners are its
// edges' offsets turned by it, and its radius field holds its lowest
// corner's z offset, so that the renderer, the HUD and the searches read a
// body of either rules alike.

// The inertia about the body's own axes (kg m^2): a box m (w^2 + h^2) / 12
// about its x axis (its edge `length`), m (l^2 + h^2) / 12 about y (edge
// `width`), m (l^2 + w^2) / 12 about z (edge `height`); a sphere 2/5 m r^2
// about every axis. Inert kinds: zero.
Vec3 principalInertia(const RigidBody& body);

// 1 / mass, and zero for a fixed body (it takes no part in a response).
double inverseMassOf(const RigidBody& body);

// The world-axes inverse inertia applied to v: R I^-1 R^T v with R the
// orientation's matrix; zero for a fixed body and for inert kinds.
Vec3 inverseInertiaTimes(const RigidBody& body, const Vec3& v);

// The velocity of the body's material point at world point p:
// velocity + spin x (p - position).
Vec3 pointVelocity(const RigidBody& body, const Vec3& p);

// Sets the orientation (made unit) and what the classic fields show of it:
// angles, and for a box its corners and its radius field.
void setOrientation(RigidBody& body, const Quat& q);

// The position and orientation free flight gives after t (the searches'
// prediction): position + t velocity, orientation turnedBy spin over t. A
// fixed body stays where it is.
struct PhysicalPose {
    Vec3 position;
    Quat orientation;
};
PhysicalPose predictPhysicalPose(const RigidBody& body, float t);

// Its position alone, bit for bit: a turn costs more than a move.
Vec3 predictPhysicalPosition(const RigidBody& body, float t);

// Free flight under the physical rules over dt: a straight line at the
// velocity, the orientation turned by the angular velocity, then
// setOrientation. The force does not act here: under the physical rules a
// step's force goes into the velocity once, where the body's island begins
// its part, so that an impact's instant splits no path. A fixed body does
// not move; inert kinds do nothing.
void flyPhysical(RigidBody& body, float dt);

}  // namespace prallwerk
