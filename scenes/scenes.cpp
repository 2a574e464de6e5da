#include "prallwerk/scenes/scenes.h"

#include "prallwerk/math/assertion.h"
#include "prallwerk/world/world.h"

namespace prallwerk {

SceneBodyDef sceneTable[sceneCount][sceneBodyCount];

namespace {

static_assert(sceneBodyCount == defaultBodyCount, "scenes fill the application's world");

// Scenes 1..3; scene 0 is the world's default state. Body 0 of every scene is
// the sphere, bodies 1..6 are cubes of edge 2.
const BodyLaunch launches[sceneCount - 1][sceneBodyCount] = {
    // The sphere; a column of five boxes over the origin moving up; a sixth
    // box arriving from x = 40.
    {
        {{-20, 0, 6}, {5, 0, 15}, {5, 5, 5}},
        {{0, 0, 2}, {0, 0, 1}, {0, 0, 0}},
        {{0, 0, 5}, {0, 0, 1}, {0, 0, 0}},
        {{0, 0, 8}, {0, 0, 1}, {0, 0, 0}},
        {{0, 0, 11}, {0, 0, 1}, {0, 0, 0}},
        {{0, 0, 14}, {0, 0, 1}, {0, 0, 0}},
        {{40, 0, 15}, {-10, 0, 1}, {0, 0, 0}},
    },
    // The sphere and four spinning boxes thrown towards the middle from the
    // four horizontal directions, a fast box sliding in diagonally and the
    // box from x = 40.
    {
        {{-20, 0, 9}, {25, 0, 5}, {5, 5, 5}},
        {{-20, 0, 15}, {10, 0, 5}, {5, 0, 5}},
        {{0, -20, 15}, {0, 10, 5}, {0, 5, 5}},
        {{0, 20, 5}, {0, -15, 5}, {0, -5, 5}},
        {{20, 0, 5}, {-15, 0, 5}, {-5, 0, 5}},
        {{20, 20, 2}, {-35, -35, 0}, {0, 0, 0}},
        {{40, 0, 15}, {-10, 0, 1}, {0, 0, 0}},
    },
    // The sphere and a box on parallel paths, two boxes one above the other,
    // a box shot along x and two spinning boxes from the right.
    {
        {{-20, 5, 10}, {10, 0, 5}, {5, 5, 5}},
        {{-20, -5, 10}, {10, 0, 5}, {0, 0, 0}},
        {{-10, -10, 7}, {10, 0, 5}, {0, 5, 5}},
        {{-10, -10, 3}, {10, 0, 5}, {5, 0, 0}},
        {{10, -10, 7}, {-25, 0, 0}, {0, 5, 5}},
        {{20, 10, 15}, {-10, 0, 5}, {-5, -5, -5}},
        {{20, 0, 15}, {-10, 0, 5}, {5, 5, 5}},
    },
};

}  // namespace

void buildSceneTable() {
    for (int n = 0; n < sceneCount; ++n) {
        for (int i = 0; i < sceneBodyCount; ++i) {
            SceneBodyDef& def = sceneTable[n][i];
            def.mass = defaultBodyMass;
            const BodyLaunch& launch = n == 0 ? defaultLaunches[i] : launches[n - 1][i];
            def.position = launch.position;
            def.velocity = launch.velocity;
            def.spin = launch.spin;
            def.angles = {};
            def.force = {};
            def.restitution = 1.0f;
            def.floorHeight = 0.0f;
            def.box = BoxShape{};
            def.friction = defaultFriction;
            def.fixed = false;
            if (i == 0) {
                def.kind = kindSphere;
                def.radius = 1.0f;
            } else {
                def.kind = kindBox;
                def.radius = 0.0f;
                def.box.width = 2.0f;
                def.box.length = 2.0f;
                def.box.height = 2.0f;
                def.box.resetCorners();
            }
        }
    }
}

void loadScene(World& world, int n) {
    PRALLWERK_ASSERT(n >= 0 && n < sceneCount);
    if (n < 0 || n >= sceneCount) return;
    const int count = world.bodyCount < sceneBodyCount ? world.bodyCount : sceneBodyCount;
    for (int i = 0; i < count; ++i) {
        RigidBody& b = *world.bodies[i];
        const SceneBodyDef& r = sceneTable[n][i];
        b.kind = r.kind;
        b.mass = r.mass;
        b.position = r.position;
        b.velocity = r.velocity;
        b.spin = r.spin;
        b.angles = r.angles;
        b.force = r.force;
        b.radius = r.radius;
        b.restitution = r.restitution;
        b.floorHeight = r.floorHeight;
        b.box.assign(r.box);
        b.friction = r.friction;
        b.fixed = r.fixed;
        // The physical rules' state, unturned and awake: the prepared
        // scenes are the classic rules', which leave it be.
        b.orientation = {};
        b.restingFor = 0.0f;
    }
}

}  // namespace prallwerk
