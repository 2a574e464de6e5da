#include "core/world.h"

#include "core/free_flight.h"

World::World(int count, float mass) {
    normalA = {};
    normalB = {};
    bodyCount = count;
    ground = std::make_unique<GroundPlane>();
    bodies.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) bodies.push_back(std::make_unique<RigidBody>(mass));
}

World::~World() { World::destroy(); }

void World::destroy() {
    hitA = nullptr;
    hitB = nullptr;
    bodies.clear();
    bodies.shrink_to_fit();
    bodyCount = 0;
    ground.reset();
}

void World::clearForces() {
    for (int i = 0; i < bodyCount; ++i) {
        bodies[i]->force = {};
        bodies[i]->floorHeight = 0.0f;
    }
}

void World::applyForces() {}

void World::advanceAll(RigidBody* skipA, RigidBody* skipB, float dt) {
    // Floor heights and free flight interleave per body: body i finds its
    // floor among bodies 0..i-1 already advanced and i+1.. not yet advanced.
    for (int i = 0; i < bodyCount; ++i) {
        computeFloorHeight(bodies, i);
        RigidBody* body = bodies[i].get();
        if (body != skipA && body != skipB) body->advanceFree(dt);
    }
}

void World::step(float dt) {
    clearForces();
    applyForces();
    if (!(dt > 0.0f)) return;

    int events = 0;
    for (;;) {
        hitA = nullptr;
        hitB = nullptr;
        const float tg = earliestGroundHit(dt);
        // The pair search never looks beyond a ground impact already found.
        const float tp = earliestPairHit(tg > 0.0f ? tg : dt);
        if (!(tg > 0.0f) && !(tp > 0.0f)) break;

        const float before = dt;
        if (tg > 0.0f && (!(tp > 0.0f) || tg <= tp)) {
            dt = dt - tg;
            hitA->groundResponse(tg);
            advanceAll(hitA, nullptr, tg);
        } else {
            dt = dt - tp;
            resolvePair(hitA, hitB, tp);
            advanceAll(hitA, hitB, tp);
        }
        if (!(dt > 0.0f)) return;
        // An impact time below half the last bit of the time left does not
        // shrink it, and the loop would never end; a cap on the events keeps
        // one call bounded whatever the searches return.
        if (dt == before || ++events >= maxEventsPerStep) break;
    }
    advanceAll(nullptr, nullptr, dt);
}

const BodyLaunch defaultLaunches[defaultBodyCount] = {
    {{-20, 0, 6}, {5, 0, 15}, {5, 5, 5}},     // the sphere, thrown up from the left
    {{-12, 0, 10}, {10, 0, 5}, {5, -5, 0}},  // three pairs of spinning cubes
    {{12, 0, 10}, {-10, 0, 5}, {5, -5, 0}},  // thrown at each other
    {{-10, 0, 15}, {12, 0, 5}, {5, -5, 0}},
    {{10, 0, 15}, {-12, 0, 5}, {5, -5, 0}},
    {{-11, 0, 5}, {10, 0, 5}, {5, -5, 0}},
    {{11, 0, 5}, {-10, 0, 5}, {5, -5, 0}},
};

GravityWorld::GravityWorld(double gx, double gy, double gz) : World(defaultBodyCount, 1.0f) {
    gravity = {gx, gy, gz};

    RigidBody& sphere = *bodies[0];
    sphere.kind = kindSphere;
    sphere.radius = 1.0f;
    for (int i = 1; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        b.kind = kindBox;
        b.box.width = 2.0f;
        b.box.length = 2.0f;
        b.box.height = 2.0f;
        b.box.resetCorners();
    }
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        b.position = defaultLaunches[i].position;
        b.velocity = defaultLaunches[i].velocity;
        b.spin = defaultLaunches[i].spin;
        b.angles = {};
        b.force = {};
        b.mass = defaultBodyMass;
        b.restitution = 1.0f;
        b.floorHeight = 0.0f;
    }
}

void GravityWorld::applyForces() {
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        const double m = b.mass;
        b.force.add(m * gravity.x, m * gravity.y, m * gravity.z);
    }
}
