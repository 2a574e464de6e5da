#pragma once

#include <vector>

#include "prallwerk/collision/solver_records.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/quat.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// The physical rules' response: impulses at contact points through the
// bodies' masses, inertia and lever arms, solved point after point
// (sequential impulses) with the impulse each point has gathered clamped as
// a whole (never pulling, friction within the Coulomb cone), so the order
// of the points matters less with each pass. The same solver resolves an
// impact (with restitution) and holds resting contacts in each step (warm
// started from the impulses of the step before).

// Approaches slower than this do not bounce: a resting body's contact with
// gravity's speed of one step would otherwise bounce for ever (m/s).
constexpr double bounceSpeed = 0.5;

// Passes over the points of an island's resting contacts in a step.
constexpr int contactPasses = 10;

// Passes over an impact's points: a light body caught between a heavy one
// and the ground hands on a share of the blow as small as their masses'
// ratio each pass. The passes end as soon as the points settle.
constexpr int impactPasses = 100;

// Overlap left alone by the position correction, so that contacts stay
// touching from step to step and keep their warm start (m).
constexpr double contactSlop = 0.005;

// Share of the overlap beyond the slop removed per pass of the correction.
constexpr double correctionShare = 0.2;

// Most a position pass moves a contact's bodies apart (m).
constexpr double largestCorrection = 0.2;

// Passes of the position correction in a step.
constexpr int correctionPasses = 3;

// Friction and restitution of a contact from the two bodies' values: the
// geometric mean of the friction coefficients (a frictionless surface
// slides on anything) and the larger restitution (a rubber ball bounces off
// lead).
double combinedFriction(float a, float b);
double combinedRestitution(float a, float b);

// The solver's view of a body (or of the ground, for null).
SolverBody solverBodyOf(RigidBody* body);

// The relative velocity of a's point against b's at the contact (m/s).
Vec3 relativeVelocity(const std::vector<SolverBody>& bodies, const SolverContact& c);

// Derives every prepared field from the bodies as they stand; a point that
// approaches faster than bounceSpeed is asked to separate at restitution
// times its approach.
void prepareContacts(const std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts);

// Applies each point's gathered impulses again (the warm start).
void warmStart(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts);

// passes over the points: friction, then the normal, each gathered impulse
// clamped (normal at least 0, friction within friction times the normal).
// Each set of bodies the contacts hold together (ContactComponents) is
// solved on its own and stops once a pass settles it.
void solveVelocities(std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts, int passes);

// One last pass from what holds still upwards (shock propagation): a body
// at rest on the ground, or on a fixed body, is level 1, what rests on it
// level 2, and so on through the contacts. Each contact between two levels
// is solved with its lower body taken as immovable, lower levels first,
// and only pushes the upper body off: a heavy body on a light one cannot
// drive it into the ground, as the passes alone let it (each pass hands on
// only the light body's share, so a ball of a hundred times a crate's mass
// stops a hundredth a pass). Contacts between bodies of one level, or of
// bodies held by nothing, are left as the passes left them.
void propagateShock(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts);

// Moves the bodies apart where they overlap by more than the slop, without
// touching velocities (so it adds no energy): each pass takes a share of
// each point's overlap (as the corrections gathered so far left it) and
// gathers it in the bodies' shift and turn; applyCorrections moves them.
void correctPositions(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts, int passes);

// Moves each body by the shift and turn the corrections gathered.
void applyCorrections(std::vector<SolverBody>& bodies);

// One impulse, without friction, along the mean normal at the centre of
// the first pair's points (an impact's own; the points after them hold its
// bodies up elsewhere) that stops the approach there: it only takes energy.
void stopAtCentre(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts);

// Kinetic energy of a body, translation and rotation (J).
double kineticEnergy(const RigidBody& body);

// Resolves an impact between the bodies at the points given (no warm
// start): restitution as prepareContacts asks, friction as solveVelocities
// clamps it. Energy never grows: should the points' impulses together give
// the bodies more kinetic energy than they had (sequential points can), the
// impact is solved again without restitution, and failing that by
// stopAtCentre. Returns the impulses' passes used (0 for the last resort).
int resolveImpact(std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts);

}  // namespace prallwerk
