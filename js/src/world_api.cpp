// The world's C functions for the JavaScript module (js/lib/prallwerk.js):
// plain numbers in and out, a refusal as a return of 0 with its message in
// pw_error(), never an exception.

#include <emscripten/emscripten.h>

#include <cmath>
#include <utility>

#include "glue.h"
#include "prallwerk/math/quat.h"
#include "prallwerk/scenes/body_def.h"
#include "prallwerk/world/checked_world.h"
#include "world_handle.h"

namespace prallwerk::js {

void WorldHandle::mirror(size_t from) {
    const size_t n = world->bodies.size();
    positions.resize(3 * n);
    orientations.resize(4 * n);
    velocities.resize(3 * n);
    spins.resize(3 * n);
    angles.resize(3 * n);
    const bool physical = world->rules() == Rules::physical;
    for (size_t i = from; i < n; ++i) {
        const RigidBody& b = *world->bodies[i];
        const Vec3* fields[] = {&b.position, &b.velocity, &b.spin, &b.angles};
        std::vector<double>* packed[] = {&positions, &velocities, &spins, &angles};
        for (int f = 0; f < 4; ++f) {
            (*packed[f])[3 * i] = fields[f]->x;
            (*packed[f])[3 * i + 1] = fields[f]->y;
            (*packed[f])[3 * i + 2] = fields[f]->z;
        }
        // The classic rules turn a body by its angles alone and leave its
        // quaternion as it was made.
        const Quat q = physical ? b.orientation : quatFromAngles(b.angles);
        orientations[4 * i] = q.w;
        orientations[4 * i + 1] = q.x;
        orientations[4 * i + 2] = q.y;
        orientations[4 * i + 3] = q.z;
    }
}

void WorldHandle::listen(bool on) {
    if (!on) {
        world->impactListener = nullptr;
        return;
    }
    world->impactListener = [this](const ImpactRecord& r) {
        const double kind = r.kind == ImpactKind::ground ? 0 : r.kind == ImpactKind::landing ? 1 : 2;
        impacts.insert(impacts.end(), {kind, double(r.a.index), double(r.b.index), r.time, double(r.span),
                                       r.stepTime});
        for (const Vec3* v : {&r.normalA, &r.normalB, &r.a.velocityBefore, &r.a.velocityAfter,
                              &r.b.velocityBefore, &r.b.velocityAfter}) {
            impacts.insert(impacts.end(), {v->x, v->y, v->z});
        }
    };
}

}  // namespace prallwerk::js

using namespace prallwerk;
using namespace prallwerk::js;

namespace prallwerk::js {

WorldHandle* adoptWorld(BuiltWorld built) {
    if (!built.world) {
        setError(built.error->message());
        return nullptr;
    }
    auto* handle = new WorldHandle{std::move(built.world), {}, {}, {}, {}, {}, {}};
    handle->mirror();
    return handle;
}

}  // namespace prallwerk::js

namespace {

// The span of one step, refused as advanceWorld refuses a frame's: a step's
// spans are single precision, and the engine's step takes what it is given.
bool checkSpan(double dt) {
    const char* rule = nullptr;
    if (!std::isfinite(dt)) {
        rule = "must be a finite number";
    } else if (!(static_cast<float>(dt) > 0.0f)) {
        rule = "must be above 0 (in single precision)";
    } else if (dt > longestAdvance) {
        rule = "must be at most 1e8 s";
    }
    if (rule == nullptr) return true;
    setError(ValueError{-1, "span", dt, rule}.message());
    return false;
}

}  // namespace

extern "C" {

// A world of no bodies under gravity (m/s^2), by the classic (0) or the
// physical (1) rules; null when the gravity is refused.
EMSCRIPTEN_KEEPALIVE WorldHandle* pw_world_create(double gx, double gy, double gz, int physical) {
    return adoptWorld(buildWorld({}, Vec3{gx, gy, gz}, physical ? Rules::physical : Rules::classic));
}

EMSCRIPTEN_KEEPALIVE void pw_world_destroy(WorldHandle* h) { delete h; }

// The staged definition added (addBody: checked, and then the world
// unchanged if refused): its index, or -1.
EMSCRIPTEN_KEEPALIVE int pw_world_add_body(WorldHandle* h) {
    const AddedBody added = addBody(*h->world, stagedBody());
    if (added.error) {
        setError(added.error->message());
        return -1;
    }
    h->mirror(static_cast<size_t>(added.index));
    return added.index;
}

EMSCRIPTEN_KEEPALIVE int pw_world_remove_body(WorldHandle* h, int index) {
    if (auto error = removeBody(*h->world, index)) {
        setError(error->message());
        return 0;
    }
    h->mirror();
    return 1;
}

EMSCRIPTEN_KEEPALIVE int pw_world_body_count(WorldHandle* h) { return static_cast<int>(h->world->bodies.size()); }

EMSCRIPTEN_KEEPALIVE double pw_world_time(WorldHandle* h) { return h->world->elapsedTime; }

EMSCRIPTEN_KEEPALIVE int pw_world_physical(WorldHandle* h) { return h->world->rules() == Rules::physical ? 1 : 0; }

// One call of the world's step (a dt above 0.1 s in its equal parts).
EMSCRIPTEN_KEEPALIVE int pw_world_step(WorldHandle* h, double dt) {
    if (!checkSpan(dt)) return 0;
    h->impacts.clear();
    h->world->step(static_cast<float>(dt));
    h->mirror();
    return 1;
}

// A frame of that many seconds, as the program runs one (advanceWorld).
EMSCRIPTEN_KEEPALIVE int pw_world_advance(WorldHandle* h, double seconds) {
    h->impacts.clear();
    if (auto error = advanceWorld(*h->world, seconds)) {
        setError(error->message());
        return 0;
    }
    h->mirror();
    return 1;
}

// The packed arrays: 0 positions, 1 orientations, 2 velocities, 3 spins,
// 4 angles. Valid until the next call that adds or removes a body.
EMSCRIPTEN_KEEPALIVE const double* pw_world_view(WorldHandle* h, int which) {
    std::vector<double>* views[] = {&h->positions, &h->orientations, &h->velocities, &h->spins, &h->angles};
    return views[which]->data();
}

EMSCRIPTEN_KEEPALIVE void pw_world_listen(WorldHandle* h, int on) { h->listen(on != 0); }

EMSCRIPTEN_KEEPALIVE int pw_world_impact_count(WorldHandle* h) {
    return static_cast<int>(h->impacts.size() / impactNumbers);
}

EMSCRIPTEN_KEEPALIVE const double* pw_world_impacts(WorldHandle* h) { return h->impacts.data(); }

}  // extern "C"
