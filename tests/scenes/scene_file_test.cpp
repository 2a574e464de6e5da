// Scene files: every kind of bad file named by file, place and rule; good
// files with their defaults and materials; writing and reading back bit for
// bit; the files of scenes/files/ against the engine's own writing; and every
// input that ever crashed the fuzz target.
#include "prallwerk/scenes/scene_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/math/bits.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/materials.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"

using namespace prallwerk;

namespace {

const std::string sourceDir = PRALLWERK_SOURCE_DIR;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scene file around the given bodies (and fields of the scene before them).
std::string sceneWith(const std::string& bodies, const std::string& fields = "") {
    return "{\"format\": \"prallwerk-scene\", \"version\": 1, " + fields + "\"bodies\": [" + bodies + "]}";
}

// The same in version 2, which has rules, friction and fixed.
std::string scene2With(const std::string& bodies, const std::string& fields = "") {
    return "{\"format\": \"prallwerk-scene\", \"version\": 2, " + fields + "\"bodies\": [" + bodies + "]}";
}

const char* const sphere = "{\"kind\": \"sphere\", \"radius\": 1";

// One body of a file, as a sphere with more fields.
std::string sphereWith(const std::string& fields) { return sceneWith(std::string(sphere) + ", " + fields + "}"); }

std::string boxWith(const std::string& fields) {
    return sceneWith("{\"kind\": \"box\", \"size\": [1, 2, 3], " + fields + "}");
}

std::string sphere2With(const std::string& fields, const std::string& sceneFields = "") {
    return scene2With(std::string(sphere) + ", " + fields + "}", sceneFields);
}

float floatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

}  // namespace

// Every way a file is refused: the message names the file, the place (line
// and column, or the JSON path) and the rule.
TEST(SceneFile, BadFilesNameTheFileThePlaceAndTheRule) {
    std::string tooMany;
    for (int i = 0; i <= maxSceneFileBodies; ++i) tooMany += std::string(i ? ", " : "") + sphere + "}";
    const struct {
        std::string text;
        const char* place;
        const char* rule;
    } cases[] = {
        // Text that is no JSON.
        {"", "line 1, column 1", "not JSON: syntax error while parsing value - unexpected end of input"},
        {"{\"format\": ", "line 1, column 12", "not JSON: syntax error while parsing value"},
        {"{\n  \"format\": \"prallwerk-scene\",\n  \"version\": 1,,\n", "line 3, column 16",
         "not JSON: syntax error while parsing object key - unexpected ','"},
        {sceneWith("") + " x", "line 1, column 59", "expected end of input"},
        {"{\"name\": \"a\x01\"}", "line 1, column 12", "not JSON: syntax error while parsing value - invalid string"},
        {"// a comment\n{}", "line 1, column 1", "not JSON"},
        // The whole, and the scene's own fields.
        {"[]", "/", "must be an object (a scene)"},
        {"7", "/", "must be an object (a scene)"},
        {"{\"version\": 1, \"bodies\": []}", "/", "missing field \"format\""},
        {"{\"format\": \"prallwerk-scene\", \"bodies\": []}", "/", "missing field \"version\""},
        {"{\"format\": \"prallwerk-scene\", \"version\": 1}", "/", "missing field \"bodies\""},
        {"{\"format\": \"prallwerk-szene\"}", "/format", "must be \"prallwerk-scene\""},
        {"{\"format\": 1}", "/format", "must be a string"},
        {"{\"version\": 3}", "/version", "must be 1 or 2 (the versions this program reads)"},
        {"{\"version\": 1.5}", "/version", "must be 1 or 2"},
        {"{\"version\": \"1\"}", "/version", "must be a number"},
        {sceneWith("", "\"gravity\": [0, 0, -9.81], \"gravty\": 1, "), "/gravty",
         "unknown field (a scene has format, version, name, watch, gravity, bodies)"},
        {sceneWith("", "\"a/b~\": 1, "), "/a~1b~0", "unknown field"},
        {sceneWith("", "\"name\": \"a\", \"name\": \"b\", "), "/name", "is given twice"},
        {sceneWith("", "\"watch\": \"two\\nlines\", "), "/watch", "must be one line"},
        {sceneWith("", "\"name\": null, "), "/name", "must be a string"},
        {sceneWith("", "\"gravity\": \"down\", "), "/gravity", "must be an array of 3 numbers"},
        {sceneWith("", "\"gravity\": [0, 0], "), "/gravity", "must be an array of 3 numbers"},
        {sceneWith("", "\"gravity\": [0, 0, 1, 2], "), "/gravity", "must be an array of 3 numbers"},
        {sceneWith("", "\"gravity\": {}, "), "/gravity", "must be an array of 3 numbers"},
        {"{\"bodies\": {}}", "/bodies", "must be an array of bodies (objects)"},
        {"{\"bodies\": 1}", "/bodies", "must be an array of bodies (objects)"},
        // A body's fields.
        {sceneWith("1"), "/bodies/0", "must be an object (a body)"},
        {sceneWith(std::string(sphere) + "}, [1]"), "/bodies/1", "must be an object (a body)"},
        {sceneWith("{\"radius\": 1}"), "/bodies/0", "missing field \"kind\""},
        {sceneWith("{\"kind\": \"sphere\"}"), "/bodies/0", "missing field \"radius\" (a sphere needs one)"},
        {sceneWith("{\"kind\": \"box\"}"), "/bodies/0", "missing field \"size\" (a box needs one)"},
        {sphereWith("\"size\": [1, 1, 1]"), "/bodies/0/size", "a sphere has a radius, not a size"},
        {boxWith("\"radius\": 1"), "/bodies/0/radius", "a box has a size, not a radius"},
        {sceneWith("{\"kind\": \"cube\"}"), "/bodies/0/kind", "must be \"sphere\" or \"box\""},
        {sceneWith("{\"kind\": 2}"), "/bodies/0/kind", "must be a string"},
        {sphereWith("\"radios\": 1"), "/bodies/0/radios",
         "unknown field (a body has kind, radius, size, mass, density, material, restitution, position, "
         "velocity, spin, angles)"},
        {sphereWith("\"radius\": 2"), "/bodies/0/radius", "is given twice"},
        {sphereWith("\"material\": \"Gold\""), "/bodies/0/material", "must be one of Gummi, Alu, Blei, Platin, Kork, Holz"},
        {sphereWith("\"mass\": 1, \"density\": 2"), "/bodies/0/density", "give one of mass, density and material, not two"},
        {sphereWith("\"material\": \"Alu\", \"mass\": 2"), "/bodies/0/mass", "give one of mass, density and material"},
        {sphereWith("\"mass\": \"1\""), "/bodies/0/mass", "must be a number"},
        {sphereWith("\"mass\": true"), "/bodies/0/mass", "must be a number"},
        {sphereWith("\"position\": [1, 2]"), "/bodies/0/position", "must be an array of 3 numbers"},
        {sphereWith("\"velocity\": [1, null, 3]"), "/bodies/0/velocity/1", "must be a number"},
        {sphereWith("\"spin\": [1, 2, [3]]"), "/bodies/0/spin/2", "must be a number"},
        {sphereWith("\"angles\": [1, 2, {}]"), "/bodies/0/angles/2", "must be a number"},
        {sphereWith("\"angles\": 0"), "/bodies/0/angles", "must be an array of 3 numbers"},
        // Values the engine refuses (checkBody), at the field that gave them.
        {sceneWith("{\"kind\": \"sphere\", \"radius\": -1}"), "/bodies/0/radius", "must be above 0 (it is -1)"},
        {sceneWith("{\"kind\": \"sphere\", \"radius\": 1e-50}"), "/bodies/0/radius", "must be above 0 (it is 0)"},
        {sceneWith("{\"kind\": \"sphere\", \"radius\": 1e39}"), "/bodies/0/radius", "must be a finite number (it is inf)"},
        {sceneWith("{\"kind\": \"box\", \"size\": [1, 0, 2]}"), "/bodies/0/size/1", "must be above 0 (it is 0)"},
        {sceneWith("{\"kind\": \"box\", \"size\": [1, 2, -0.5]}"), "/bodies/0/size/2", "must be above 0 (it is -0.5)"},
        // A single-precision value in the digits it was given, not its double's.
        {sceneWith("{\"kind\": \"box\", \"size\": [1, 2, -0.1]}"), "/bodies/0/size/2", "must be above 0 (it is -0.1)"},
        {sphereWith("\"mass\": -2"), "/bodies/0/mass", "must be above 0 (it is -2)"},
        {sphereWith("\"mass\": 0"), "/bodies/0/mass", "must be above 0"},
        {sphereWith("\"density\": 0"), "/bodies/0/density", "must be above 0 (it is 0)"},
        {sphereWith("\"density\": -1000"), "/bodies/0/density", "must be above 0 (it is -1000)"},
        {boxWith("\"density\": 3e38"), "/bodies/0/density", "must give a mass above 0 and finite"},
        {sphereWith("\"restitution\": 1.5"), "/bodies/0/restitution", "must be within [0, 1] (it is 1.5)"},
        {sphereWith("\"restitution\": 1.1"), "/bodies/0/restitution", "must be within [0, 1] (it is 1.1)"},
        {sphereWith("\"material\": \"Blei\", \"restitution\": -0.25"), "/bodies/0/restitution",
         "must be within [0, 1] (it is -0.25)"},
        {sphereWith("\"position\": [0, 0, 1e400]"), "/bodies/0/position/2", "is too large for a double"},
        {sphereWith("\"mass\": -1e309"), "/bodies/0/mass", "is too large for a double"},
        // A bad body after good ones is named by its index.
        {sceneWith(std::string(sphere) + "}, " + sphere + "}, {\"kind\": \"box\", \"size\": [1, 1, 1e-46]}"),
         "/bodies/2/size/2", "must be above 0 (it is 0)"},
        {sceneWith(tooMany), "/bodies/10000", "a scene file holds at most 10000 bodies"},
        // Version 1 has no rules, friction or fixed, wherever its version
        // stands; an unknown field is told the fields of the file's version.
        {sceneWith("", "\"rules\": \"classic\", "), "/rules", "needs version 2 of the format (the file says version 1)"},
        {sphereWith("\"friction\": 0.5"), "/bodies/0/friction", "needs version 2 of the format"},
        {sphereWith("\"fixed\": false"), "/bodies/0/fixed", "needs version 2 of the format"},
        {"{\"rules\": \"physical\", \"format\": \"prallwerk-scene\", \"version\": 1, \"bodies\": []}", "/rules",
         "needs version 2"},
        {"{\"bodies\": [" + std::string(sphere) + ", \"friction\": 1}, " + sphere + ", \"fixed\": true}], \"version\": 1}",
         "/bodies/0/friction", "needs version 2"},
        {"{\"gravty\": 1}", "/gravty", "unknown field (a scene has format, version, name, watch, gravity, bodies, rules)"},
        {scene2With("", "\"gravty\": 1, "), "/gravty",
         "unknown field (a scene has format, version, name, watch, gravity, bodies, rules)"},
        {sphere2With("\"fixd\": true"), "/bodies/0/fixd",
         "(a body has kind, radius, size, mass, density, material, restitution, position, velocity, spin, angles, "
         "friction, fixed)"},
        // The rules of version 2.
        {scene2With("", "\"rules\": \"newtonian\", "), "/rules", "must be \"classic\" or \"physical\""},
        {scene2With("", "\"rules\": 2, "), "/rules", "must be a string"},
        {scene2With("", "\"rules\": \"physical\", \"rules\": \"physical\", "), "/rules", "is given twice"},
        // A fixed body under the classic rules, however they are given.
        {sphere2With("\"fixed\": true"), "/bodies/0/fixed", "the classic rules have no fixed bodies"},
        {sphere2With("\"fixed\": true", "\"rules\": \"classic\", "), "/bodies/0/fixed", "the classic rules have no fixed"},
        {"{\"format\": \"prallwerk-scene\", \"version\": 2, \"bodies\": [" + std::string(sphere) + ", \"fixed\": false}, " +
             sphere + ", \"fixed\": true}, " + sphere + ", \"fixed\": true}], \"rules\": \"classic\", \"name\": 5}",
         "/bodies/1/fixed", "the classic rules have no fixed bodies (give \"rules\": \"physical\")"},
        {scene2With(std::string(sphere) + ", \"fixed\": true}, {\"kind\": \"sphere\", \"radius\": -1}", "\"rules\": \"classic\", "),
         "/bodies/0/fixed", "the classic rules have no fixed bodies"},
        {sphere2With("\"fixed\": \"yes\""), "/bodies/0/fixed", "must be true or false"},
        {sphere2With("\"fixed\": 1"), "/bodies/0/fixed", "must be true or false"},
        {sphere2With("\"fixed\": null"), "/bodies/0/fixed", "must be true or false"},
        {sphere2With("\"fixed\": true, \"fixed\": true", "\"rules\": \"physical\", "), "/bodies/0/fixed", "is given twice"},
        {sphere2With("\"position\": [1, true, 2]"), "/bodies/0/position/1", "must be a number"},
        {scene2With("false"), "/bodies/0", "must be an object (a body)"},
        {"true", "/", "must be an object (a scene)"},
        {scene2With("", "\"name\": true, "), "/name", "must be a string"},
        // A body's friction: a number, finite and at least 0.
        {sphere2With("\"friction\": -1"), "/bodies/0/friction", "must be at least 0 (it is -1)"},
        {sphere2With("\"friction\": -0.1"), "/bodies/0/friction", "must be at least 0 (it is -0.1)"},
        {sphere2With("\"material\": \"Holz\", \"friction\": -2"), "/bodies/0/friction", "must be at least 0 (it is -2)"},
        {sphere2With("\"friction\": 1e39"), "/bodies/0/friction", "must be a finite number (it is inf)"},
        {sphere2With("\"friction\": 1e400"), "/bodies/0/friction", "is too large for a double"},
        {sphere2With("\"friction\": \"0.5\""), "/bodies/0/friction", "must be a number"},
        {sphere2With("\"friction\": [0.5, 0.5, 0.5]"), "/bodies/0/friction", "must be a number"},
    };
    for (const auto& c : cases) {
        const SceneRead read = parseScene(c.text, "bad.json");
        ASSERT_TRUE(read.error.has_value()) << c.text.substr(0, 200);
        EXPECT_EQ(read.error->file, "bad.json");
        EXPECT_EQ(read.error->place, c.place) << c.text.substr(0, 200) << "\n" << read.error->message();
        EXPECT_NE(read.error->rule.find(c.rule), std::string::npos) << c.text.substr(0, 200) << "\n" << read.error->message();
        EXPECT_EQ(read.error->message(), "bad.json: " + std::string(c.place) + ": " + read.error->rule);
        EXPECT_EQ(read.error->message().find('\n'), std::string::npos) << read.error->message();
        EXPECT_TRUE(read.scene.bodies.empty());
    }
}

TEST(SceneFile, AFileThatCannotBeReadIsNamed) {
    const std::string path = sourceDir + "/scenes/files/no-such-scene.json";
    const SceneRead read = readSceneFile(path);
    ASSERT_TRUE(read.error.has_value());
    EXPECT_EQ(read.error->message().rfind(path + ": cannot be opened", 0), 0u) << read.error->message();
    EXPECT_EQ(read.error->place, "");
}

// What a file leaves out, and what its numbers become.
TEST(SceneFile, DefaultsMaterialsAndNumbers) {
    const SceneRead read = parseScene(
        sceneWith("{\"kind\": \"sphere\", \"radius\": 0.1}, "
                  "{\"kind\": \"box\", \"size\": [1E+2, 2.5e-1, 18446744073709551617], \"material\": \"Blei\", "
                  "\"restitution\": 0.5}, "
                  "{\"kind\": \"sphere\", \"radius\": 2, \"material\": \"Kork\", \"position\": [0.1, -0.0, -0], "
                  "\"velocity\": [1e-320, 2.4703282292062328e-324, 2.4703282292062327e-324], "
                  "\"spin\": [-1e-400, 1.7976931348623157e308, 9007199254740993], \"angles\": [1, 2, 3]}, "
                  "{\"kind\": \"box\", \"size\": [1, 1, 1], \"mass\": 3}",
                  "\"name\": \"Näher\", \"gravity\": [0.5, 0, -1.5], "),
        "good.json");
    ASSERT_FALSE(read.error.has_value()) << read.error->message();
    const SceneDescription& s = read.scene;
    EXPECT_EQ(s.name, "Näher");
    EXPECT_EQ(s.watch, "");
    EXPECT_TRUE(sameBits(s.gravity, Vec3{0.5, 0.0, -1.5}));
    ASSERT_EQ(s.bodies.size(), 4u);

    // Neither mass, density nor material: water's density; restitution 1,
    // every vector zero.
    const BodyDef& a = s.bodies[0];
    EXPECT_EQ(a.kind, kindSphere);
    EXPECT_TRUE(sameBits(a.radius, 0.1f));  // 0.1 to the nearest double, then to the nearest float
    EXPECT_EQ(a.mass, 0.0f);
    EXPECT_EQ(a.density, defaultSceneDensity);
    EXPECT_EQ(a.restitution, 1.0f);
    for (const Vec3* v : {&a.position, &a.velocity, &a.spin, &a.angles}) EXPECT_TRUE(sameBits(*v, Vec3{}));

    // A material gives density and restitution; a restitution of its own wins.
    const BodyDef& b = s.bodies[1];
    EXPECT_EQ(b.kind, kindBox);
    EXPECT_EQ(b.length, 100.0f);
    EXPECT_EQ(b.width, 0.25f);
    EXPECT_EQ(b.height, 18446744073709551616.0f);
    EXPECT_EQ(b.density, 11400.0f);
    EXPECT_EQ(b.mass, 0.0f);
    EXPECT_EQ(b.restitution, 0.5f);

    const BodyDef& c = s.bodies[2];
    EXPECT_EQ(c.density, 200.0f);
    EXPECT_EQ(c.restitution, 0.7f);
    EXPECT_TRUE(sameBits(c.position.x, 0.1));
    EXPECT_TRUE(sameBits(c.position.y, -0.0));
    EXPECT_TRUE(sameBits(c.position.z, 0.0));  // "-0" is the integer 0
    EXPECT_TRUE(sameBits(c.velocity.x, 1e-320));
    EXPECT_TRUE(sameBits(c.velocity.y, std::numeric_limits<double>::denorm_min()));
    EXPECT_TRUE(sameBits(c.velocity.z, 0.0));  // half the smallest subnormal: a tie, to even
    EXPECT_TRUE(sameBits(c.spin.x, -0.0));     // below every subnormal: a zero of its sign
    EXPECT_TRUE(sameBits(c.spin.y, std::numeric_limits<double>::max()));
    EXPECT_TRUE(sameBits(c.spin.z, 9007199254740992.0));  // to even
    EXPECT_TRUE(sameBits(c.angles, Vec3{1.0, 2.0, 3.0}));

    EXPECT_EQ(s.bodies[3].mass, 3.0f);
    EXPECT_EQ(s.bodies[3].density, 0.0f);

    // The world: these bodies under this gravity.
    const BuiltWorld built = buildWorld(s);
    ASSERT_TRUE(built.world != nullptr);
    EXPECT_EQ(built.world->bodyCount, 4);
    EXPECT_TRUE(sameBits(built.world->gravity, s.gravity));
    EXPECT_EQ(built.world->bodies[1]->mass, massOf(b));
    EXPECT_EQ(built.world->bodies[3]->mass, 3.0f);
}

// A body's friction is its own, else its material's, else the default; it
// is fixed only when it says so; a scene runs by the rules it names, else by
// the classic ones. The world built from it carries both to its bodies.
TEST(SceneFile, RulesFrictionAndFixedAndTheirDefaults) {
    struct Case {
        std::string text;
        Rules rules;
        float friction;  // of the first body
        bool fixed;      // of the first body
    };
    const Case cases[] = {
        {sceneWith(std::string(sphere) + "}"), Rules::classic, defaultFriction, false},
        {sceneWith(std::string(sphere) + ", \"material\": \"Holz\"}"), Rules::classic, 0.62f, false},
        {scene2With(std::string(sphere) + "}"), Rules::classic, defaultFriction, false},
        {sphere2With("\"friction\": 0.25"), Rules::classic, 0.25f, false},
        {sphere2With("\"friction\": 0"), Rules::classic, 0.0f, false},
        {sphere2With("\"friction\": -0.0"), Rules::classic, -0.0f, false},
        {sphere2With("\"friction\": 3e38"), Rules::classic, 3e38f, false},
        {sphere2With("\"friction\": 0.1"), Rules::classic, 0.1f, false},  // to the nearest double, then float
        {sphere2With("\"material\": \"Blei\""), Rules::classic, 0.43f, false},
        {sphere2With("\"friction\": 0.125, \"material\": \"Kork\""), Rules::classic, 0.125f, false},
        {sphere2With("\"material\": \"Kork\", \"friction\": 2"), Rules::classic, 2.0f, false},
        {sphere2With("\"fixed\": false"), Rules::classic, defaultFriction, false},
        {sphere2With("\"fixed\": false", "\"rules\": \"classic\", "), Rules::classic, defaultFriction, false},
        {sphere2With("\"fixed\": true", "\"rules\": \"physical\", "), Rules::physical, defaultFriction, true},
        {sphere2With("\"fixed\": true, \"friction\": 0.75"), Rules::physical, 0.75f, true},
        {"{\"bodies\": [" + std::string(sphere) + ", \"fixed\": true}], \"rules\": \"physical\", \"version\": 2, " +
             "\"format\": \"prallwerk-scene\"}",
         Rules::physical, defaultFriction, true},
    };
    for (const Case& c : cases) {
        // The rules last when the text does not give them, so that a fixed
        // body stands before them.
        std::string text = c.text;
        if (c.rules == Rules::physical && text.find("\"rules\"") == std::string::npos) {
            text.insert(text.size() - 1, ", \"rules\": \"physical\"");
        }
        const SceneRead read = parseScene(text, "good.json");
        ASSERT_FALSE(read.error.has_value()) << text << "\n" << read.error->message();
        EXPECT_EQ(read.scene.rules, c.rules) << text;
        ASSERT_EQ(read.scene.bodies.size(), 1u) << text;
        const BodyDef& b = read.scene.bodies[0];
        EXPECT_TRUE(sameBits(b.friction, c.friction)) << text << "\n" << b.friction;
        EXPECT_EQ(b.fixed, c.fixed) << text;
        const BuiltWorld built = buildWorld(read.scene);
        ASSERT_TRUE(built.world != nullptr) << text;
        EXPECT_EQ(built.world->rules(), c.rules) << text;
        EXPECT_TRUE(sameBits(built.world->bodies[0]->friction, c.friction)) << text;
        EXPECT_EQ(built.world->bodies[0]->fixed, c.fixed) << text;
    }
    // Every material gives its own friction, and the files of version 1
    // read theirs too.
    for (const Material& m : materialTable) {
        for (const std::string& text : {sphereWith(std::string("\"material\": \"") + m.name + "\""),
                                        sphere2With(std::string("\"material\": \"") + m.name + "\"")}) {
            const SceneRead read = parseScene(text, "material.json");
            ASSERT_FALSE(read.error.has_value()) << read.error->message();
            EXPECT_TRUE(sameBits(read.scene.bodies[0].friction, static_cast<float>(m.friction))) << m.name;
        }
    }
}

// Any finite values, written and read back: every field the same bits.
// Doubles of every exponent, subnormals, the largest, negative zeros; floats
// of every exponent (the shortest digits of a float that read as a double
// exactly between two floats are written as the double's).
TEST(SceneFile, WrittenAndReadBackBitForBit) {
    std::mt19937_64 rng(20261208);
    const double specials[] = {0.0, -0.0, std::numeric_limits<double>::denorm_min(), -5e-324, 2.2250738585072009e-308,
                               std::numeric_limits<double>::min(), 1e308, -std::numeric_limits<double>::max(),
                               0.1, 1.0 / 3.0, 9007199254740993.0, 1e16, 123456789012345.67};
    auto anyDouble = [&]() {
        if (rng() % 4 == 0) return specials[rng() % (sizeof specials / sizeof specials[0])];
        for (;;) {
            const double d = fromBits(rng());
            if (std::isfinite(d)) return d;
        }
    };
    auto anyVector = [&]() {
        if (rng() % 5 == 0) return Vec3{};
        return Vec3{anyDouble(), anyDouble(), anyDouble()};
    };
    auto positiveFloat = [&]() {  // every finite float above 0, subnormals included
        return floatFromBits(static_cast<uint32_t>(1 + rng() % 0x7f7fffffu));
    };
    // The fields of version 2 from a generator of their own, so that the
    // values of the others are as they were.
    std::mt19937_64 rng2(20261210);
    int rounds2 = 0;
    for (int round = 0; round < 200; ++round) {
        SceneDescription scene;
        scene.rules = rng2() % 3 == 0 ? Rules::physical : Rules::classic;
        const bool frictions = rng2() % 4 == 0;
        scene.name = round % 2 ? "\"Quoted\" back\\slash \xc3\xa4 " + std::to_string(round) : "";
        scene.watch = round % 3 ? "what to watch" : "";
        scene.gravity = anyVector();
        const int count = static_cast<int>(rng() % 20);
        for (int i = 0; i < count; ++i) {
            BodyDef d;
            d.kind = rng() % 2 ? kindSphere : kindBox;
            if (d.kind == kindSphere) {
                d.radius = positiveFloat();
            } else {
                d.length = positiveFloat();
                d.width = positiveFloat();
                d.height = positiveFloat();
            }
            if (rng() % 3 == 0 && d.kind == kindSphere) {
                d.radius = 1.0f + static_cast<float>(rng() % 1000) / 64.0f;
                d.density = floatFromBits(0x3f800000u + static_cast<uint32_t>(rng() % 0x04000000u));  // 1 to 2^9
            } else {
                d.mass = positiveFloat();
            }
            // [+0, 1] and -0: every bit pattern in reach.
            const uint32_t r = static_cast<uint32_t>(rng() % 0x3f800002u);
            d.restitution = r == 0x3f800001u ? -0.0f : floatFromBits(r);
            d.position = anyVector();
            d.velocity = anyVector();
            d.spin = anyVector();
            d.angles = anyVector();
            // In some scenes, frictions from -0 to the largest float (and
            // some the default).
            const uint64_t f = frictions ? rng2() % 8 : 0;
            if (f == 1) d.friction = -0.0f;
            if (f == 2) d.friction = 0.0f;
            if (f >= 3) d.friction = floatFromBits(static_cast<uint32_t>(rng2() % 0x7f800000u));
            d.fixed = scene.rules == Rules::physical && rng2() % 3 == 0;
            ASSERT_FALSE(checkBody(d, i).has_value()) << checkBody(d, i)->message();
            scene.bodies.push_back(d);
        }
        // The one float whose shortest digits, 7.038531e-26, read as a double
        // that rounds to another float (all 2^31 positive floats tried).
        if (round == 0) {
            BodyDef d;
            d.radius = floatFromBits(0x15ae43fdu);
            d.mass = d.radius;
            scene.bodies.push_back(d);
        }
        const std::string text = writeScene(scene);
        if (round == 0) {
            EXPECT_EQ(text.find("7.038531e-26,"), std::string::npos) << text;
        }
        const SceneRead read = parseScene(text, "round.json");
        ASSERT_FALSE(read.error.has_value()) << read.error->message() << "\n" << text;
        const SceneDescription& back = read.scene;
        const bool version2 = text.find("\"version\": 2,") != std::string::npos;
        rounds2 += version2;
        EXPECT_EQ(version2 || text.find("\"version\": 1,") != std::string::npos, true) << text;
        EXPECT_EQ(back.rules, scene.rules);
        EXPECT_EQ(back.name, scene.name);
        EXPECT_EQ(back.watch, scene.watch);
        EXPECT_TRUE(sameBits(back.gravity, scene.gravity)) << text;
        ASSERT_EQ(back.bodies.size(), scene.bodies.size());
        for (size_t i = 0; i < scene.bodies.size(); ++i) {
            const BodyDef &a = scene.bodies[i], &b = back.bodies[i];
            const bool same = a.kind == b.kind && sameBits(a.radius, b.radius) && sameBits(a.length, b.length) &&
                              sameBits(a.width, b.width) && sameBits(a.height, b.height) && sameBits(a.mass, b.mass) &&
                              sameBits(a.density, b.density) && sameBits(a.restitution, b.restitution) &&
                              sameBits(a.position, b.position) && sameBits(a.velocity, b.velocity) &&
                              sameBits(a.spin, b.spin) && sameBits(a.angles, b.angles) &&
                              sameBits(a.friction, b.friction) && a.fixed == b.fixed;
            ASSERT_TRUE(same) << "body " << i << " of\n" << text;
        }
        // Written again, the same text.
        EXPECT_EQ(writeScene(back), text);
    }
    // Both versions were written, many times each.
    EXPECT_GT(rounds2, 50);
    EXPECT_LT(rounds2, 150);
}

// The version written is the oldest that holds the scene: version 1 while it
// runs by the classic rules and no body has a friction other than the
// default or is fixed, so that the files of version 1 stay as they were.
TEST(SceneFile, WritingChoosesTheVersionTheSceneNeeds) {
    struct Case {
        const char* what;
        std::function<void(SceneDescription&)> change;
        const char* version;
        std::vector<const char*> written;  // each in the text
        std::vector<const char*> left;     // none in the text
    };
    const Case cases[] = {
        {"classic, defaults", [](SceneDescription&) {}, "1", {}, {"rules", "friction", "fixed"}},
        {"not fixed, said", [](SceneDescription& s) { s.bodies[1].fixed = false; }, "1", {}, {"fixed"}},
        {"physical", [](SceneDescription& s) { s.rules = Rules::physical; }, "2", {"  \"rules\": \"physical\",\n"},
         {"friction", "fixed"}},
        {"one friction", [](SceneDescription& s) { s.bodies[1].friction = 0.3f; }, "2", {"\"mass\": 2, \"friction\": 0.3}"},
         {"rules", "fixed"}},
        {"zero friction", [](SceneDescription& s) { s.bodies[0].friction = 0.0f; }, "2",
         {"\"restitution\": 0.5, \"friction\": 0, \"position\""}, {"rules"}},
        {"negative zero friction", [](SceneDescription& s) { s.bodies[1].friction = -0.0f; }, "2",
         {"\"friction\": -0.0"}, {"rules"}},
        {"fixed, physical", [](SceneDescription& s) {
             s.rules = Rules::physical;
             s.bodies[1].fixed = true;
         }, "2", {"\"size\": [3, 1, 0.5], \"mass\": 2, \"fixed\": true}", "\"rules\": \"physical\""}, {"friction"}},
        {"fixed, classic", [](SceneDescription& s) { s.bodies[1].fixed = true; }, "2", {"\"fixed\": true"}, {"rules"}},
    };
    for (const Case& c : cases) {
        SceneDescription scene;
        scene.name = "two";
        BodyDef ball;
        ball.kind = kindSphere;
        ball.radius = 1.0f;
        ball.density = 1000.0f;
        ball.restitution = 0.5f;
        ball.position = {0.0, 0.0, 3.0};
        BodyDef slab;
        slab.kind = kindBox;
        slab.length = 3.0f;
        slab.width = 1.0f;
        slab.height = 0.5f;
        slab.mass = 2.0f;
        scene.bodies = {ball, slab};
        c.change(scene);
        const std::string text = writeScene(scene);
        EXPECT_EQ(text.rfind(std::string("{\n  \"format\": \"prallwerk-scene\",\n  \"version\": ") + c.version +
                                 ",\n  \"name\": \"two\",\n",
                             0),
                  0u)
            << c.what << "\n" << text;
        for (const char* w : c.written) EXPECT_NE(text.find(w), std::string::npos) << c.what << ": " << w << "\n" << text;
        for (const char* l : c.left) EXPECT_EQ(text.find(l), std::string::npos) << c.what << ": " << l << "\n" << text;
        // Read back: the same fields, or, for a fixed body under the classic
        // rules, refused at it.
        const SceneRead read = parseScene(text, "written.json");
        if (scene.rules == Rules::classic && scene.bodies[1].fixed) {
            ASSERT_TRUE(read.error.has_value()) << c.what;
            EXPECT_EQ(read.error->place, "/bodies/1/fixed") << c.what;
            continue;
        }
        ASSERT_FALSE(read.error.has_value()) << c.what << ": " << read.error->message();
        EXPECT_EQ(read.scene.rules, scene.rules) << c.what;
        for (size_t i = 0; i < scene.bodies.size(); ++i) {
            EXPECT_TRUE(sameBits(read.scene.bodies[i].friction, scene.bodies[i].friction)) << c.what << ", body " << i;
            EXPECT_EQ(read.scene.bodies[i].fixed, scene.bodies[i].fixed) << c.what << ", body " << i;
        }
    }
}

// The files of the prepared scenes and the drop world are what the engine
// writes for them (prallwerk-scene-file), and build the engine's own bodies:
// the same bits in every field but a box's radius, which makeBody fills with
// the lowest corner's offset that the world's first ground search writes there
// anyway. (The trace tests show the runs the same bytes.)
TEST(SceneFile, PreparedSceneFilesAreTheEnginesOwn) {
    buildSceneTable();
    auto sameButBoxRadius = [](const RigidBody& a, const RigidBody& b) {
        RigidBody c = b;
        if (c.kind == kindBox) c.radius = a.radius;
        return sameBits(a, c);
    };
    for (int n = 0; n < sceneCount; ++n) {
        const std::string path = sourceDir + "/scenes/files/scene" + std::to_string(n) + ".json";
        const SceneDescription scene = describePreparedScene(n);
        EXPECT_EQ(fileText(path), writeScene(scene)) << path << " is not what prallwerk-scene-file --scene " << n
                                                     << " writes";
        const SceneRead read = readSceneFile(path);
        ASSERT_FALSE(read.error.has_value()) << read.error->message();
        const BuiltWorld built = buildWorld(read.scene);
        ASSERT_TRUE(built.world != nullptr);
        GravityWorld prepared;
        loadScene(prepared, n);
        ASSERT_EQ(built.world->bodyCount, prepared.bodyCount);
        EXPECT_TRUE(sameBits(built.world->gravity, prepared.gravity));
        for (int i = 0; i < prepared.bodyCount; ++i) {
            EXPECT_TRUE(sameButBoxRadius(*prepared.bodies[i], *built.world->bodies[i])) << "scene " << n << ", body " << i;
        }
    }
    // A scene number past the four is no scene.
    for (const int n : {-1, sceneCount}) {
        const SceneDescription none = describePreparedScene(n);
        EXPECT_TRUE(none.bodies.empty()) << n;
        EXPECT_EQ(none.name, "") << n;
    }
    const std::string drop = sourceDir + "/scenes/files/drop100.json";
    EXPECT_EQ(fileText(drop), writeScene(describeDropWorld(100))) << drop;
    const SceneRead read = readSceneFile(drop);
    ASSERT_FALSE(read.error.has_value()) << read.error->message();
    const BuiltWorld built = buildWorld(read.scene);
    ASSERT_TRUE(built.world != nullptr);
    DropWorld dropped(100);
    EXPECT_TRUE(sameBits(built.world->gravity, Vec3{0.0, 0.0, dropped.gravityZ}));
    for (int i = 0; i < dropped.bodyCount; ++i) {
        EXPECT_TRUE(sameButBoxRadius(*dropped.bodies[i], *built.world->bodies[i])) << "drop body " << i;
    }
}

// Every file of scenes/files/ is read, tells what to watch, and runs ten
// seconds with its bodies finite and above the ground.
TEST(SceneFile, EveryShippedSceneRuns) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sourceDir + "/scenes/files")) {
        const std::string path = entry.path().string();
        ++files;
        const SceneRead read = readSceneFile(path);
        ASSERT_FALSE(read.error.has_value()) << read.error->message();
        EXPECT_FALSE(read.scene.name.empty()) << path;
        EXPECT_FALSE(read.scene.watch.empty()) << path;
        BuiltWorld built = buildWorld(read.scene);
        ASSERT_TRUE(built.world != nullptr) << path;
        const FrameSteps frame = frameSteps(16, 1.0f);
        for (int i = 0; i < 625; ++i) advanceFrame(*built.world, frame);
        for (int i = 0; i < built.world->bodyCount; ++i) {
            const RigidBody& b = *built.world->bodies[i];
            EXPECT_TRUE(std::isfinite(b.position.x) && std::isfinite(b.position.y) && std::isfinite(b.position.z))
                << path << ", body " << i;
            EXPECT_GE(b.position.z, 0.0) << path << ", body " << i;
        }
    }
    EXPECT_GE(files, 11);
}

// Every file of scenes/files/, read, written and read again: every field the
// same bits, the friction its materials gave included (a file written names
// no material, so that it is of version 2 once a body's friction is not the
// default); the engine's own files are written as they are.
TEST(SceneFile, EveryShippedSceneIsWrittenBackBitForBit) {
    int files = 0, version2 = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sourceDir + "/scenes/files")) {
        ++files;
        const SceneRead first = readSceneFile(entry.path().string());
        ASSERT_FALSE(first.error.has_value()) << first.error->message();
        const std::string text = writeScene(first.scene);
        const SceneRead again = parseScene(text, "again.json");
        ASSERT_FALSE(again.error.has_value()) << again.error->message();
        ASSERT_EQ(again.scene.bodies.size(), first.scene.bodies.size());
        bool materialFriction = false;
        for (size_t i = 0; i < first.scene.bodies.size(); ++i) {
            const BodyDef &a = first.scene.bodies[i], &b = again.scene.bodies[i];
            materialFriction = materialFriction || !sameBits(a.friction, defaultFriction);
            EXPECT_TRUE(sameBits(a.friction, b.friction) && a.fixed == b.fixed && sameBits(a.density, b.density) &&
                        sameBits(a.restitution, b.restitution) && sameBits(a.position, b.position))
                << entry.path() << ", body " << i;
        }
        const bool needsVersion2 = materialFriction || first.scene.rules == Rules::physical;
        EXPECT_EQ(text.find("\"version\": 2,") != std::string::npos, needsVersion2) << entry.path();
        version2 += materialFriction;
        EXPECT_EQ(writeScene(again.scene), text) << entry.path();
    }
    EXPECT_GE(files, 11);
    EXPECT_GE(version2, 1);  // the files of materials
}

// Every input that ever crashed the fuzz target (tests/fuzz/scene_file_crashes/)
// is read or refused, never more: a scene read is one that buildWorld accepts.
TEST(SceneFile, InputsThatOnceCrashedAreReadOrRefused) {
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sourceDir + "/tests/fuzz/scene_file_crashes")) {
        if (entry.path().filename() == "README") continue;
        ++inputs;
        const SceneRead read = parseScene(fileText(entry.path().string()), "crash");
        if (read.error) {
            EXPECT_EQ(read.error->message().find('\n'), std::string::npos);
        } else {
            EXPECT_TRUE(buildWorld(read.scene).world != nullptr) << entry.path();
        }
    }
    EXPECT_GE(inputs, 1);
}

namespace {

// A body as it stands, turned and moving, described for a scene file: every
// value the file holds, so that the file builds the same body again.
TEST(SceneFile, DescribedBodiesKeepEveryValueTheFileHolds) {
    BodyDef def;
    def.kind = kindBox;
    def.length = 1.5f;
    def.width = 0.75f;
    def.height = 2.0f;
    def.mass = 3.25f;
    def.restitution = 0.625f;
    def.position = {1.0, -2.0, 3.5};
    def.velocity = {0.5, 0.25, -4.0};
    def.spin = {-1.0, 2.0, 0.125};
    def.angles = {0.3, -0.2, 1.1};
    def.friction = 0.375f;
    def.fixed = true;
    const RigidBody body = makeBody(def);
    EXPECT_EQ(body.friction, 0.375f);
    EXPECT_TRUE(body.fixed);
    const BodyDef described = describeBody(body);
    EXPECT_EQ(described.friction, 0.375f);
    EXPECT_TRUE(described.fixed);
    EXPECT_EQ(described.kind, kindBox);
    EXPECT_EQ(described.length, def.length);
    EXPECT_EQ(described.width, def.width);
    EXPECT_EQ(described.height, def.height);
    EXPECT_EQ(described.mass, def.mass);
    EXPECT_EQ(described.restitution, def.restitution);
    EXPECT_TRUE(sameBits(described.position, body.position));
    EXPECT_TRUE(sameBits(described.velocity, body.velocity));
    EXPECT_TRUE(sameBits(described.spin, body.spin));
    EXPECT_TRUE(sameBits(described.angles, body.angles));
    EXPECT_NE(described.angles.z, 0.0);
    EXPECT_TRUE(sameBits(makeBody(described), body));
}

}  // namespace
