#include "prallwerk/world/checked_world.h"

#include <cmath>
#include <string>
#include <utility>

#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/frame_step.h"

namespace prallwerk {

namespace {

ValueError refusal(int body, std::string field, double value, std::string rule) {
    return ValueError{body, std::move(field), value, std::move(rule)};
}

// The first number of a vector that is not finite, as "name.x" and its value.
std::optional<ValueError> finiteVector(int body, const char* name, const Vec3& v) {
    const double parts[3] = {v.x, v.y, v.z};
    const char* const axes[3] = {".x", ".y", ".z"};
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(parts[k])) {
            return refusal(body, std::string(name) + axes[k], parts[k], "must be a finite number");
        }
    }
    return std::nullopt;
}

std::optional<ValueError> checkBodyOf(const RigidBody& b, int i) {
    if (b.kind != 0 && b.kind != kindSphere && b.kind != kindBox) {
        return refusal(i, "kind", b.kind, "must be 1 (sphere), 2 (box) or 0 (inert)");
    }
    const struct {
        const char* name;
        double value;
    } numbers[] = {
        {"mass", b.mass},           {"radius", b.radius},         {"restitution", b.restitution},
        {"floorHeight", b.floorHeight}, {"box.length", b.box.length}, {"box.width", b.box.width},
        {"box.height", b.box.height},
    };
    for (const auto& n : numbers) {
        if (!std::isfinite(n.value)) return refusal(i, n.name, n.value, "must be a finite number");
    }
    const struct {
        const char* name;
        const Vec3* value;
    } vectors[] = {
        {"position", &b.position}, {"velocity", &b.velocity}, {"spin", &b.spin},
        {"angles", &b.angles},     {"force", &b.force},
    };
    for (const auto& v : vectors) {
        if (auto error = finiteVector(i, v.name, *v.value)) return error;
    }
    if (!(b.mass > 0.0f)) return refusal(i, "mass", b.mass, "must be above 0");
    if (b.kind == kindSphere && !(b.radius > 0.0f)) return refusal(i, "radius", b.radius, "must be above 0");
    if (b.kind == kindBox) {
        if (!(b.box.length > 0.0f)) return refusal(i, "box.length", b.box.length, "must be above 0");
        if (!(b.box.width > 0.0f)) return refusal(i, "box.width", b.box.width, "must be above 0");
        if (!(b.box.height > 0.0f)) return refusal(i, "box.height", b.box.height, "must be above 0");
    }
    if (!(b.restitution >= 0.0f && b.restitution <= 1.0f)) {
        return refusal(i, "restitution", b.restitution, "must be within [0, 1]");
    }
    return std::nullopt;
}

}  // namespace

std::optional<ValueError> checkWorld(const World& world) {
    const int count = static_cast<int>(world.bodies.size());
    if (world.bodyCount != count) {
        return refusal(-1, "bodyCount", world.bodyCount,
                       "must equal the number of bodies (" + std::to_string(count) + ")");
    }
    if (const auto* gravityWorld = dynamic_cast<const GravityWorld*>(&world)) {
        if (auto error = finiteVector(-1, "gravity", gravityWorld->gravity)) return error;
    }
    for (int i = 0; i < count; ++i) {
        const RigidBody* body = world.bodies[static_cast<size_t>(i)].get();
        if (body == nullptr) return refusal(i, "body", 0.0, "must be present (the list holds a null pointer)");
        if (auto error = checkBodyOf(*body, i)) return error;
    }
    return std::nullopt;
}

std::optional<ValueError> removeBody(World& world, int index) {
    const int count = static_cast<int>(world.bodies.size());
    if (index < 0 || index >= count) {
        return refusal(-1, "index", index,
                       count == 0 ? std::string("must name a body, and the world has none")
                                  : "must name a body: 0 to " + std::to_string(count - 1));
    }
    world.eraseBody(index);
    return std::nullopt;
}

std::optional<ValueError> advanceWorld(World& world, double seconds) {
    if (!std::isfinite(seconds)) return refusal(-1, "span", seconds, "must be a finite number");
    // The steps' spans are single precision: a span that rounds to 0 there
    // would step nothing.
    if (!(static_cast<float>(seconds) > 0.0f)) {
        return refusal(-1, "span", seconds, "must be above 0 (in single precision)");
    }
    if (seconds > longestAdvance) return refusal(-1, "span", seconds, "must be at most 1e8 s");
    if (auto error = checkWorld(world)) return error;
    advanceFrame(world, splitFrame(static_cast<float>(seconds)));
    return std::nullopt;
}

}  // namespace prallwerk
