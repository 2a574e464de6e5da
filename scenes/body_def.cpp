#include "prallwerk/scenes/body_def.h"

#include <cmath>
#include <cstring>
#include <string>

#include "prallwerk/core/physical_body.h"
#include "prallwerk/scenes/materials.h"

namespace prallwerk {

namespace {

// g/cm^3 to kg/m^3.
constexpr double kilogramsPerCubicMetrePerGramPerCubicCentimetre = 1000.0;

ValueError refusal(int index, const char* field, double value, const char* rule) {
    return ValueError{index, field, value, rule};
}

}  // namespace

bool applyMaterial(BodyDef& def, const char* materialName) {
    if (materialName == nullptr) return false;
    for (const Material& m : materialTable) {
        if (std::strncmp(m.name, materialName, sizeof m.name) == 0 && std::strlen(materialName) < sizeof m.name) {
            def.density = static_cast<float>(m.density * kilogramsPerCubicMetrePerGramPerCubicCentimetre);
            def.restitution = static_cast<float>(m.restitution);
            def.friction = static_cast<float>(m.friction);
            def.mass = 0.0f;
            return true;
        }
    }
    return false;
}

float massOf(const BodyDef& def) {
    if (def.mass != 0.0f) return def.mass;
    double volume = 0.0;
    if (def.kind == kindSphere) {
        const double r = def.radius;
        volume = static_cast<double>(unitBallVolume) * r * r * r;
    } else if (def.kind == kindBox) {
        volume = static_cast<double>(def.length) * def.width * def.height;
    }
    return static_cast<float>(static_cast<double>(def.density) * volume);
}

std::optional<ValueError> checkBody(const BodyDef& def, int index) {
    if (def.kind != kindSphere && def.kind != kindBox) {
        return refusal(index, "kind", def.kind, "must be 1 (sphere) or 2 (box)");
    }
    const struct {
        const char* name;
        double value;
    } numbers[] = {
        {"radius", def.radius},         {"length", def.length},         {"width", def.width},
        {"height", def.height},         {"mass", def.mass},             {"density", def.density},
        {"restitution", def.restitution}, {"position.x", def.position.x}, {"position.y", def.position.y},
        {"position.z", def.position.z}, {"velocity.x", def.velocity.x}, {"velocity.y", def.velocity.y},
        {"velocity.z", def.velocity.z}, {"spin.x", def.spin.x},         {"spin.y", def.spin.y},
        {"spin.z", def.spin.z},         {"angles.x", def.angles.x},     {"angles.y", def.angles.y},
        {"angles.z", def.angles.z},     {"friction", def.friction},
    };
    for (const auto& n : numbers) {
        if (!std::isfinite(n.value)) return refusal(index, n.name, n.value, "must be a finite number");
    }
    if (def.kind == kindSphere) {
        if (!(def.radius > 0.0f)) return refusal(index, "radius", def.radius, "must be above 0");
    } else {
        if (!(def.length > 0.0f)) return refusal(index, "length", def.length, "must be above 0");
        if (!(def.width > 0.0f)) return refusal(index, "width", def.width, "must be above 0");
        if (!(def.height > 0.0f)) return refusal(index, "height", def.height, "must be above 0");
    }
    if (def.mass != 0.0f && def.density != 0.0f) {
        return refusal(index, "density", def.density, "give a mass or a density, not both");
    }
    if (def.mass != 0.0f) {
        if (!(def.mass > 0.0f)) return refusal(index, "mass", def.mass, "must be above 0");
    } else {
        if (!(def.density > 0.0f)) return refusal(index, "mass", def.mass, "must be above 0 (or give a density above 0)");
        const float m = massOf(def);
        if (!(m > 0.0f) || !std::isfinite(m)) {
            return refusal(index, "density", def.density, "must give a mass above 0 and finite for the body's volume");
        }
    }
    if (!(def.restitution >= 0.0f && def.restitution <= 1.0f)) {
        return refusal(index, "restitution", def.restitution, "must be within [0, 1]");
    }
    if (!(def.friction >= 0.0f)) return refusal(index, "friction", def.friction, "must be at least 0");
    return std::nullopt;
}

RigidBody makeBody(const BodyDef& def) {
    RigidBody body(massOf(def));
    body.kind = def.kind;
    body.position = def.position;
    body.velocity = def.velocity;
    body.spin = def.spin;
    body.angles = wrapAngles(def.angles.x, def.angles.y, def.angles.z);
    body.restitution = def.restitution;
    body.friction = def.friction;
    body.fixed = def.fixed;
    if (def.kind == kindSphere) {
        body.radius = def.radius;
    } else if (def.kind == kindBox) {
        body.box.length = def.length;
        body.box.width = def.width;
        body.box.height = def.height;
        body.box.reorient(body.angles.x, body.angles.y, body.angles.z, pivotCentre);
        body.radius = static_cast<float>(lowestCornerOffset(body.box));
    }
    return body;
}

BuiltWorld buildWorld(const std::vector<BodyDef>& defs, const Vec3& gravity, Rules rules) {
    BuiltWorld built;
    for (size_t i = 0; i < defs.size(); ++i) {
        if (auto error = checkBody(defs[i], static_cast<int>(i))) {
            built.error = error;
            return built;
        }
        // The classic rules move every body: a fixed one would fall.
        if (defs[i].fixed && rules == Rules::classic) {
            built.error = refusal(static_cast<int>(i), "fixed", 1.0, "needs the physical rules");
            return built;
        }
    }
    const Vec3 g = gravity;
    if (!std::isfinite(g.x) || !std::isfinite(g.y) || !std::isfinite(g.z)) {
        const double bad = !std::isfinite(g.x) ? g.x : !std::isfinite(g.y) ? g.y : g.z;
        built.error = refusal(-1, "gravity", bad, "must be a finite number");
        return built;
    }
    built.world = std::make_unique<GravityWorld>(gravity, static_cast<int>(defs.size()));
    for (size_t i = 0; i < defs.size(); ++i) *built.world->bodies[i] = makeBody(defs[i]);
    // Under the physical rules each body's orientation follows from its
    // angles, and its spin is its angular velocity.
    built.world->setRules(rules);
    return built;
}

AddedBody addBody(World& world, const BodyDef& def) {
    AddedBody added;
    const int index = static_cast<int>(world.bodies.size());
    added.error = checkBody(def, index);
    if (!added.error && def.fixed && world.rules() == Rules::classic) {
        added.error = refusal(index, "fixed", 1.0, "needs the physical rules");
    }
    if (added.error) return added;
    RigidBody body = makeBody(def);
    if (world.rules() == Rules::physical) setOrientation(body, quatFromAngles(body.angles));
    added.index = world.appendBody(body);
    return added;
}

}  // namespace prallwerk
