// Scene files for the JavaScript module: the engine's own reader and writer,
// with a scene held here between the calls that fill or read it.

#include <emscripten/emscripten.h>

#include <string>
#include <utility>

#include "glue.h"
#include "prallwerk/scenes/scene_file.h"
#include "world_handle.h"

using namespace prallwerk;
using namespace prallwerk::js;

// Numbers pw_scene_body gives per body, in this order: kind, radius,
// length, width, height, mass, density, restitution, friction, fixed, then
// position, velocity, spin and angles, three each.
constexpr int bodyNumbers = 22;

extern "C" {

// The scene text read by the engine's reader (fileName names it in the
// messages), or null with the reader's message.
EMSCRIPTEN_KEEPALIVE SceneDescription* pw_scene_parse(const char* text, const char* fileName) {
    SceneRead read = parseScene(text, fileName);
    if (read.error) {
        setError(read.error->message());
        return nullptr;
    }
    return new SceneDescription(std::move(read.scene));
}

EMSCRIPTEN_KEEPALIVE SceneDescription* pw_scene_create(double gx, double gy, double gz, int physical,
                                                       const char* name, const char* watch) {
    auto* scene = new SceneDescription();
    scene->gravity = Vec3{gx, gy, gz};
    scene->rules = physical ? Rules::physical : Rules::classic;
    scene->name = name;
    scene->watch = watch;
    return scene;
}

EMSCRIPTEN_KEEPALIVE void pw_scene_destroy(SceneDescription* scene) { delete scene; }

// Appends the staged definition, unchecked: buildWorld and writeScene's
// reader check it.
EMSCRIPTEN_KEEPALIVE void pw_scene_add_body(SceneDescription* scene) { scene->bodies.push_back(stagedBody()); }

EMSCRIPTEN_KEEPALIVE int pw_scene_body_count(const SceneDescription* scene) {
    return static_cast<int>(scene->bodies.size());
}

// Gravity x, y, z and the rules (1 physical).
EMSCRIPTEN_KEEPALIVE const double* pw_scene_header(const SceneDescription* scene) {
    double* out = numbers(4);
    out[0] = scene->gravity.x;
    out[1] = scene->gravity.y;
    out[2] = scene->gravity.z;
    out[3] = scene->rules == Rules::physical ? 1 : 0;
    return out;
}

EMSCRIPTEN_KEEPALIVE const char* pw_scene_name(const SceneDescription* scene) { return scene->name.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* pw_scene_watch(const SceneDescription* scene) { return scene->watch.c_str(); }

EMSCRIPTEN_KEEPALIVE const double* pw_scene_body(const SceneDescription* scene, int index) {
    const BodyDef& d = scene->bodies[static_cast<size_t>(index)];
    double* out = numbers(bodyNumbers);
    const double fields[] = {double(d.kind),        d.radius,       d.length,   d.width,  d.height,
                             d.mass,                d.density,      d.restitution, d.friction,
                             d.fixed ? 1.0 : 0.0};
    int k = 0;
    for (double f : fields) out[k++] = f;
    for (const Vec3* v : {&d.position, &d.velocity, &d.spin, &d.angles}) {
        out[k++] = v->x;
        out[k++] = v->y;
        out[k++] = v->z;
    }
    return out;
}

EMSCRIPTEN_KEEPALIVE const char* pw_scene_write(const SceneDescription* scene) { return text(writeScene(*scene)); }

// A world of the scene's bodies under its gravity and rules (buildWorld), or
// null with the first refusal.
EMSCRIPTEN_KEEPALIVE WorldHandle* pw_world_from_scene(const SceneDescription* scene) {
    return adoptWorld(buildWorld(*scene));
}

}  // extern "C"
