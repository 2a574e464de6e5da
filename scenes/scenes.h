#pragma once

#include "prallwerk/core/box_shape.h"
#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

class World;

constexpr int sceneCount = 4;
constexpr int sceneBodyCount = 7;

// Initial state of one body in one scene; the fields are copied into the
// RigidBody fields of the same names.
struct SceneBodyDef {
    int kind = 0;
    float mass = 0.0f;
    Vec3 position;
    Vec3 angles;
    Vec3 spin;
    Vec3 velocity;
    Vec3 force;
    float radius = 0.0f;
    float restitution = 0.0f;
    float floorHeight = 0.0f;
    BoxShape box;
    float friction = defaultFriction;
    bool fixed = false;
};

// The four prepared scenes, [scene][body]; body i of a scene goes to body i of
// the world. Empty until buildSceneTable fills it.
extern SceneBodyDef sceneTable[sceneCount][sceneBodyCount];

// Fills every record of sceneTable. Filling it again writes the same values.
void buildSceneTable();

// Overwrites every field of the world's first seven bodies with scene n; an
// index outside 0..3 changes nothing. Bodies beyond the seventh are left as
// they are, and a world with fewer bodies receives only as many.
void loadScene(World& world, int n);

}  // namespace prallwerk
