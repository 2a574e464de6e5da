#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/core/value_error.h"
#include "prallwerk/math/vec3.h"
#include "prallwerk/world/checked_world.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

// A body as a user describes it. Everything the engine keeps in step with
// these values (the box's corners for its angles, the lowest-corner offset a
// box keeps in its radius field, a mass from a density) is derived by
// makeBody, so none of it can be forgotten.
struct BodyDef {
    int kind = kindSphere;      // kindSphere or kindBox
    float radius = 0.0f;        // sphere: radius, m
    float length = 0.0f;        // box: edge along its x axis, m
    float width = 0.0f;         // box: edge along its y axis, m
    float height = 0.0f;        // box: edge along its z axis, m
    float mass = 0.0f;          // kg; 0: density times the volume
    float density = 0.0f;       // kg/m^3, used only when mass is 0
    float restitution = 1.0f;   // bounce factor on the ground, within [0, 1]
    Vec3 position;              // centre, m
    Vec3 velocity;              // m/s
    Vec3 spin;                  // rates of the three angles, rad/s
    Vec3 angles;                // about x, then y, then z, rad
    // Read by the physical rules alone; the classic rules leave them be.
    float friction = defaultFriction;  // Coulomb coefficient, at least 0, combined with the other surface's
    bool fixed = false;         // never moves and has no mass for the response (a ramp, a wall)
};

// Sets the definition's density (kg/m^3), restitution and friction from the
// material of that name in materialTable ("Gummi", "Alu", "Blei", "Platin",
// "Kork", "Holz"), and its mass to 0 so that the density decides. False, and
// nothing changed, for any other name.
bool applyMaterial(BodyDef& def, const char* materialName);

// The mass the definition gives: its mass, or its density times its volume
// (4/3 pi r^3 for a sphere, length * width * height for a box), in single
// precision.
float massOf(const BodyDef& def);

// Checks one definition (index is its place in the caller's list, for the
// message): kind 1 or 2; every number finite; radius, or the three edge
// lengths, above 0; mass or density, not both, and the mass they give above
// 0 and finite; restitution within [0, 1]; friction at least 0.
std::optional<ValueError> checkBody(const BodyDef& def, int index);

// The rigid body a checked definition describes: kind, mass, restitution,
// friction, fixed, position, velocity and spin as given, the angles brought into
// [-2 pi, 2 pi]; a sphere's radius; a box's edge lengths with its corners
// turned to the angles and its radius field holding its lowest corner's
// offset. Force and floor height are zero.
RigidBody makeBody(const BodyDef& def);

// A world built from definitions, or why not.
struct BuiltWorld {
    std::unique_ptr<GravityWorld> world;  // null when refused
    std::optional<ValueError> error;      // set when refused
};

// A gravity world of exactly these bodies, in this order, under gravity
// (m/s^2), running by the rules given (World::setRules: under the physical
// rules a body's spin is its angular velocity, rad/s in world axes). Every
// definition is checked first; the first bad one refuses the whole list, and
// so does a fixed body under the classic rules, which move every body.
BuiltWorld buildWorld(const std::vector<BodyDef>& defs, const Vec3& gravity = defaultGravity,
                      Rules rules = Rules::classic);

// A body added to a world, or why not.
struct AddedBody {
    int index = -1;                   // its index in the world's bodies; -1 when refused
    std::optional<ValueError> error;  // set when refused
};

// Checks the definition (checkBody, naming it by the index it would get;
// a fixed body needs the physical rules) and appends the body makeBody
// derives from it to the world, between steps (World::appendBody), its
// orientation from its angles where the world runs by the physical rules.
// Refused, the world is unchanged. The checked
// removal is removeBody in <prallwerk/world/checked_world.h>.
AddedBody addBody(World& world, const BodyDef& def);

}  // namespace prallwerk
