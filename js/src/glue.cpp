#include "glue.h"

#include <emscripten/emscripten.h>
#include <malloc.h>

#include <utility>
#include <vector>

#include "prallwerk/math/number_text.h"
#include "prallwerk/scenes/scene_file.h"

namespace prallwerk::js {

namespace {

std::string lastError;
BodyDef staged;
std::vector<double> scratch;
std::string scratchText;

// The fields pw_def_number and pw_def_vector name, in the order the module's
// table lists them (js/lib/prallwerk.js, bodyFields).
enum NumberField { radius, length, width, height, mass, density, restitution, friction, fixed };
enum VectorField { position, velocity, spin, angles };

}  // namespace

void setError(std::string message) { lastError = std::move(message); }

BodyDef& stagedBody() { return staged; }

double* numbers(int count) {
    scratch.assign(static_cast<size_t>(count), 0.0);
    return scratch.data();
}

const char* text(std::string value) {
    scratchText = std::move(value);
    return scratchText.c_str();
}

}  // namespace prallwerk::js

using namespace prallwerk;
using namespace prallwerk::js;

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* pw_error() { return lastError.c_str(); }

// Starts a definition: the kind, and every other field at BodyDef's default
// but the density, which is water's (the scene files' own default) until the
// module sets it to 0 for a body that gives a mass.
EMSCRIPTEN_KEEPALIVE void pw_def_begin(int kind) {
    staged = BodyDef();
    staged.kind = kind;
    staged.density = defaultSceneDensity;
}

EMSCRIPTEN_KEEPALIVE void pw_def_number(int field, double value) {
    const float single = static_cast<float>(value);
    switch (field) {
        case radius: staged.radius = single; break;
        case length: staged.length = single; break;
        case width: staged.width = single; break;
        case height: staged.height = single; break;
        case mass: staged.mass = single; break;
        case density: staged.density = single; break;
        case restitution: staged.restitution = single; break;
        case friction: staged.friction = single; break;
        case fixed: staged.fixed = value != 0.0; break;
        default: break;
    }
}

EMSCRIPTEN_KEEPALIVE void pw_def_vector(int field, double x, double y, double z) {
    const Vec3 v{x, y, z};
    switch (field) {
        case position: staged.position = v; break;
        case velocity: staged.velocity = v; break;
        case spin: staged.spin = v; break;
        case angles: staged.angles = v; break;
        default: break;
    }
}

// The material's density, restitution and friction; false for a name the
// table does not hold.
EMSCRIPTEN_KEEPALIVE int pw_def_material(const char* name) { return applyMaterial(staged, name) ? 1 : 0; }

// A number as the trace tool writes it (printf's %.17g, the same digits on
// every platform).
EMSCRIPTEN_KEEPALIVE const char* pw_significant17(double value) {
    std::string digits;
    appendSignificant17(digits, value);
    return text(std::move(digits));
}

// The bytes the engine's heap has handed out and not had back: a call that
// frees all it allocated leaves it as it found it (the package's tests).
EMSCRIPTEN_KEEPALIVE double pw_heap_in_use() { return static_cast<double>(mallinfo().uordblks); }

}  // extern "C"
