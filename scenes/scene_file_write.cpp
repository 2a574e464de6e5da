// Writing scene files, and the engine's own scenes as descriptions.
#include <cmath>
#include <string>

#include "prallwerk/math/bits.h"
#include "prallwerk/math/number_text.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scene_file.h"
#include "prallwerk/scenes/scenes.h"

namespace prallwerk {

namespace {

// JSON has no infinity or NaN; null stands for them, and the reader refuses
// it. A negative zero is written with a point: "-0" would be read as the
// integer 0.
bool appendSpecial(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return true;
    }
    if (v == 0.0 && std::signbit(v)) {
        out += "-0.0";
        return true;
    }
    return false;
}

void appendNumber(std::string& out, double v) {
    if (!appendSpecial(out, v)) appendShortest(out, v);
}

// A single-precision value is read as a double and rounded to a float. Its
// shortest float digits give it back that way unless the double they read as
// lies exactly between two floats; then the double's own digits, which name
// the float exactly, are written instead.
void appendSingle(std::string& out, float v) {
    if (appendSpecial(out, v)) return;
    std::string digits;
    appendShortest(digits, v);
    double read = 0.0;
    if (readDecimal(digits.data(), digits.data() + digits.size(), read) == DecimalRead::ok &&
        sameBits(static_cast<float>(read), v)) {
        out += digits;
    } else {
        appendShortest(out, static_cast<double>(v));
    }
}

void appendVector(std::string& out, const Vec3& v) {
    out += '[';
    appendNumber(out, v.x);
    out += ", ";
    appendNumber(out, v.y);
    out += ", ";
    appendNumber(out, v.z);
    out += ']';
}

// A JSON string: quotes, backslashes and control characters escaped, every
// other byte as it is.
void appendText(std::string& out, const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// Three zeros of the positive sign: a vector's default.
bool isDefaultVector(const Vec3& v) { return sameBits(v, Vec3{}); }

void appendBody(std::string& out, const BodyDef& b) {
    out += "{\"kind\": ";
    if (b.kind == kindSphere) {
        out += "\"sphere\", \"radius\": ";
        appendSingle(out, b.radius);
    } else if (b.kind == kindBox) {
        out += "\"box\", \"size\": [";
        appendSingle(out, b.length);
        out += ", ";
        appendSingle(out, b.width);
        out += ", ";
        appendSingle(out, b.height);
        out += ']';
    } else {
        out += std::to_string(b.kind);  // no kind of the file: refused on reading
    }
    if (b.mass != 0.0f || b.density == 0.0f) {
        out += ", \"mass\": ";
        appendSingle(out, b.mass);
    }
    if (b.density != 0.0f) {
        out += ", \"density\": ";
        appendSingle(out, b.density);
    }
    if (!sameBits(b.restitution, 1.0f)) {
        out += ", \"restitution\": ";
        appendSingle(out, b.restitution);
    }
    // No material is written, so a body read back has the default friction
    // unless the file gives its own.
    if (!sameBits(b.friction, defaultFriction)) {
        out += ", \"friction\": ";
        appendSingle(out, b.friction);
    }
    if (b.fixed) out += ", \"fixed\": true";
    const struct {
        const char* name;
        const Vec3& value;
    } vectors[] = {{"position", b.position}, {"velocity", b.velocity}, {"spin", b.spin}, {"angles", b.angles}};
    for (const auto& v : vectors) {
        if (isDefaultVector(v.value)) continue;
        out += ", \"";
        out += v.name;
        out += "\": ";
        appendVector(out, v.value);
    }
    out += '}';
}

// What to watch in each prepared scene.
const char* const preparedSceneWatch[sceneCount] = {
    "The sphere thrown up from the left and three pairs of spinning cubes thrown at each other: "
    "they meet in the air, fall, bounce, tip over and come to rest.",
    "A column of five boxes rising over the origin, the sphere thrown in from the left and a sixth box "
    "arriving from x = 40: the column is knocked apart.",
    "The sphere and four spinning boxes thrown at the middle from the four sides, a fast box sliding in "
    "diagonally and a box from x = 40: a pile-up in the middle.",
    "The sphere and a box on parallel paths, two boxes one above the other, a box shot along x and two "
    "spinning boxes from the right: they cross and collide on the way.",
};

// The oldest version that holds the scene: version 1 runs by the classic
// rules and reads every body without a material as of the default friction
// and not fixed, so that the files of version 1 stay as they are.
bool needsVersion2(const SceneDescription& scene) {
    if (scene.rules != Rules::classic) return true;
    for (const BodyDef& b : scene.bodies) {
        if (b.fixed || !sameBits(b.friction, defaultFriction)) return true;
    }
    return false;
}

}  // namespace

std::string writeScene(const SceneDescription& scene) {
    const bool version2 = needsVersion2(scene);
    std::string out = "{\n  \"format\": \"prallwerk-scene\",\n  \"version\": ";
    out += version2 ? "2,\n" : "1,\n";
    if (!scene.name.empty()) {
        out += "  \"name\": ";
        appendText(out, scene.name);
        out += ",\n";
    }
    if (!scene.watch.empty()) {
        out += "  \"watch\": ";
        appendText(out, scene.watch);
        out += ",\n";
    }
    if (scene.rules != Rules::classic) {
        out += "  \"rules\": \"";
        out += rulesName(scene.rules);
        out += "\",\n";
    }
    out += "  \"gravity\": ";
    appendVector(out, scene.gravity);
    out += ",\n  \"bodies\": [";
    for (size_t i = 0; i < scene.bodies.size(); ++i) {
        out += i == 0 ? "\n    " : ",\n    ";
        appendBody(out, scene.bodies[i]);
    }
    out += scene.bodies.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

BodyDef describeBody(const RigidBody& body) {
    BodyDef def;
    def.kind = body.kind;
    if (body.kind == kindSphere) {
        def.radius = body.radius;
    } else if (body.kind == kindBox) {
        def.length = body.box.length;
        def.width = body.box.width;
        def.height = body.box.height;
    }
    def.mass = body.mass;
    def.density = 0.0f;
    def.restitution = body.restitution;
    def.friction = body.friction;
    def.fixed = body.fixed;
    def.position = body.position;
    def.velocity = body.velocity;
    def.spin = body.spin;
    def.angles = body.angles;
    return def;
}

SceneDescription describePreparedScene(int n) {
    SceneDescription scene;
    if (n < 0 || n >= sceneCount) return scene;
    GravityWorld world;
    loadScene(world, n);
    scene.name = "Scene " + std::to_string(n + 1) + " of 4";
    scene.watch = preparedSceneWatch[n];
    scene.gravity = world.gravity;
    for (int i = 0; i < world.bodyCount; ++i) scene.bodies.push_back(describeBody(*world.bodies[i]));
    return scene;
}

SceneDescription describeDropWorld(int n) {
    SceneDescription scene;
    DropWorld world(n);
    scene.name = std::to_string(n) + " bodies dropped on a grid";
    scene.watch = "Spheres and cubes in turn, dropped on a grid from 4 to 6 m, each with its own spin: they land, "
                  "bounce, tip over and come to rest on the ground and on each other.";
    scene.gravity = {0.0, 0.0, world.gravityZ};
    for (int i = 0; i < world.bodyCount; ++i) scene.bodies.push_back(describeBody(*world.bodies[i]));
    return scene;
}

}  // namespace prallwerk
