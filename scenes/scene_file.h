#pragma once

// Scene files: a scene as JSON text, read and written exactly.
//
//   {"format": "prallwerk-scene", "version": 2, "name": "...", "watch": "...",
//    "rules": "physical", "gravity": [0, 0, -9.81],
//    "bodies": [{"kind": "sphere", "radius": 1, "material": "Gummi",
//                "position": [0, 0, 5], "velocity": [1, 0, 0]},
//               {"kind": "box", "size": [20, 20, 1], "angles": [0.2, 0, 0],
//                "friction": 0.3, "fixed": true}, ...]}
//
// Version 1 has neither rules (it is classic) nor friction nor fixed bodies.
//
// docs/engine.md describes every field, its default and the rules.

#include <optional>
#include <string>
#include <vector>

#include "prallwerk/math/vec3.h"
#include "prallwerk/scenes/body_def.h"
#include "prallwerk/world/rules.h"

namespace prallwerk {

// A scene as a file describes it.
struct SceneDescription {
    std::string name;           // a short title (UTF-8)
    std::string watch;          // one line: what to watch in it (UTF-8)
    Vec3 gravity = defaultGravity;  // m/s^2
    Rules rules = Rules::classic;   // the rules the scene runs by
    std::vector<BodyDef> bodies;
};

// Why a scene file was refused: the file, the place in it (a line and
// column for text that is no JSON, a JSON path such as /bodies/3/radius
// otherwise, "/" for the whole; empty when the file could not be read at
// all) and the rule broken.
struct SceneFileError {
    std::string file;
    std::string place;
    std::string rule;

    // "FILE: PLACE: RULE" ("FILE: RULE" without a place), one line.
    std::string message() const;
};

// A scene read, or why not.
struct SceneRead {
    SceneDescription scene;
    std::optional<SceneFileError> error;  // set when refused; scene is then empty
};

// The most bodies a scene file may hold.
constexpr int maxSceneFileBodies = 10000;

// The largest scene file readSceneFile reads (bytes): 10000 bodies with every
// field written in full take about 4 MiB.
constexpr long maxSceneFileBytes = 64L << 20;

// The density a body has when the file gives none of mass, density and
// material: water's, as the material "Gummi" (kg/m^3).
constexpr float defaultSceneDensity = 1000.0f;

// Reads a scene from JSON text; fileName only names it in errors. Every
// number is read from its decimal text and rounded once to the nearest
// double (and the single-precision fields from that double to the nearest
// float), the same on every platform. A scene read is one that buildWorld
// accepts: every body passed checkBody, and none is fixed unless the scene
// runs by the physical rules. A body's friction is its own, else its
// material's, else defaultFriction. Never throws.
SceneRead parseScene(const std::string& text, const std::string& fileName);

// Reads the scene file at path (at most maxSceneFileBytes); path names it in
// errors.
SceneRead readSceneFile(const std::string& path);

// The scene as JSON text, one body per line: every number in the shortest
// digits that read back to the same value, so that parseScene gives every
// field back bit for bit (-0 as "-0.0", which JSON keeps apart from 0). A
// field at its default (a vector of three +0, a restitution of 1, a friction
// of defaultFriction, not fixed, the classic rules) and the fields a body's
// kind does not use are left out; a body's mass is written when it is not
// 0, else its density. The version is 1 when the scene needs nothing newer
// (classic rules, every friction the default, no fixed body), else 2.
// Numbers that are not finite, which JSON cannot hold, are written as null,
// and a fixed body under the classic rules as it is: parseScene refuses both.
std::string writeScene(const SceneDescription& scene);

// The bodies of a description built into a world under its gravity, by its
// rules.
BuiltWorld buildWorld(const SceneDescription& scene);

// The definition that gives back the body's kind, size, mass, restitution,
// friction, fixed, position, velocity, spin and angles (a box's corners and lowest-corner
// offset follow from them through makeBody).
BodyDef describeBody(const RigidBody& body);

// Prepared scene n (0..3) as a description: its seven bodies under the
// program's gravity, named "Scene n + 1 of 4" (as the program counts them),
// with a line on what to watch. Needs buildSceneTable() first; empty for an n
// outside 0..3.
SceneDescription describePreparedScene(int n);

// DropWorld(n) as a description: its bodies under its gravity along z, with
// a name and a line on what to watch.
SceneDescription describeDropWorld(int n);

}  // namespace prallwerk
