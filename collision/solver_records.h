#pragma once

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/quat.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// The records the impulse solver works on (collision/contact_solver.h), of
// their own so that what splits them up need not know the solver.

// A body as the solver moves it: null is the ground, which nothing moves.
struct SolverBody {
    RigidBody* body = nullptr;
    double inverseMass = 0.0;  // 1/kg; 0 for the ground and fixed bodies
    Mat3 inverseInertia;       // world axes, 1/(kg m^2); zero for the ground and fixed bodies
    Vec3 shift;                // the position correction gathered, m
    Vec3 turn;                 // the orientation correction gathered, rad about world axes
};

// One contact point between bodies[a] and bodies[b] (indices into the
// solver's body list).
struct SolverContact {
    int a = 0;
    int b = 0;
    Vec3 normal;              // unit, from b toward a
    Vec3 position;            // world point, m
    double depth = 0.0;       // overlap, m
    double friction = 0.0;
    double restitution = 0.0;

    // Set by prepareContacts.
    Vec3 ra, rb;                // from the centres to the point, m
    Vec3 tangent1, tangent2;    // with the normal, a right-handed basis
    double normalMass = 0.0;    // 1 / (the pair's inverse mass along the normal at the point), kg
    double tangentMass1 = 0.0;
    double tangentMass2 = 0.0;
    double bounce = 0.0;        // separating speed restitution asks for, m/s
    // What a unit impulse along the normal, tangent1 and tangent2 does to
    // each body's spin: I^-1 (r x d), rad/s per N s.
    Vec3 turnA[3], turnB[3];

    // Gathered impulses, N s; kept from step to step for the warm start.
    double normalImpulse = 0.0;
    double tangentImpulse1 = 0.0;
    double tangentImpulse2 = 0.0;
};

}  // namespace prallwerk
