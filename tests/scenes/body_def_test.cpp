// Bodies defined by a user: their checks, the error values that name what
// was refused, and bodies added to and removed from a world between steps.
#include "prallwerk/scenes/body_def.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "prallwerk/core/physical_body.h"
#include "prallwerk/world/checked_world.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/impact_walker.h"
#include "tests/support/same_bodies.h"

using namespace prallwerk;

namespace {

BodyDef ball(double x, double z) {
    BodyDef d;
    d.kind = kindSphere;
    d.radius = 1.0f;
    d.mass = defaultBodyMass;
    d.position = {x, 0, z};
    return d;
}

BodyDef box(double x, double z) {
    BodyDef d;
    d.kind = kindBox;
    d.length = d.width = d.height = 2.0f;
    d.density = 500.0f;
    d.restitution = 0.5f;
    d.position = {x, 0, z};
    d.angles = {0.2, 0.1, 0.0};
    return d;
}

// Spheres and boxes thrown at each other over the ground.
std::vector<BodyDef> someBodies() {
    std::vector<BodyDef> defs;
    for (int i = 0; i < 6; ++i) {
        BodyDef d = i % 2 == 0 ? ball(-6.0 + 2.5 * i, 3.0 + i) : box(-6.0 + 2.5 * i, 4.0 + i);
        d.velocity = {i % 3 == 0 ? 3.0 : -2.0, 0.5 * i, 1.0};
        d.spin = {1.0, -0.5 * i, 0.0};
        defs.push_back(d);
    }
    return defs;
}

// A world built with the bodies as they stand in w, by the constructor.
std::unique_ptr<GravityWorld> builtFresh(const World& w) {
    auto fresh = std::make_unique<GravityWorld>(defaultGravity, w.bodyCount);
    for (int i = 0; i < w.bodyCount; ++i) *fresh->bodies[i] = *w.bodies[i];
    return fresh;
}

}  // namespace

// Every kind of bad value a definition can hold, named by field and index.
TEST(CheckBody, NamesTheBadValueOfADefinition) {
    struct Case {
        const char* what;
        std::function<void(BodyDef&)> spoil;
        const char* field;
    };
    const Case cases[] = {
        {"kind 0", [](BodyDef& d) { d.kind = 0; }, "kind"},
        {"kind 3", [](BodyDef& d) { d.kind = 3; }, "kind"},
        {"position NaN", [](BodyDef& d) { d.position.x = notANumber; }, "position.x"},
        {"velocity infinite", [](BodyDef& d) { d.velocity.z = infinity; }, "velocity.z"},
        {"spin -infinite", [](BodyDef& d) { d.spin.y = -infinity; }, "spin.y"},
        {"angles NaN", [](BodyDef& d) { d.angles.z = notANumber; }, "angles.z"},
        {"radius NaN", [](BodyDef& d) { d.radius = NAN; }, "radius"},
        {"mass infinite", [](BodyDef& d) { d.mass = INFINITY; }, "mass"},
        {"restitution NaN", [](BodyDef& d) { d.restitution = NAN; }, "restitution"},
        {"friction NaN", [](BodyDef& d) { d.friction = NAN; }, "friction"},
        {"friction infinite", [](BodyDef& d) { d.friction = INFINITY; }, "friction"},
        {"friction negative", [](BodyDef& d) { d.friction = -1.0f; }, "friction"},
        {"friction below 0 by a little", [](BodyDef& d) { d.friction = -1e-45f; }, "friction"},
        {"mass 0, no density", [](BodyDef& d) { d.mass = 0.0f; }, "mass"},
        {"mass negative", [](BodyDef& d) { d.mass = -1.0f; }, "mass"},
        {"radius 0", [](BodyDef& d) { d.radius = 0.0f; }, "radius"},
        {"radius negative", [](BodyDef& d) { d.radius = -1.0f; }, "radius"},
        {"restitution 2", [](BodyDef& d) { d.restitution = 2.0f; }, "restitution"},
        {"restitution -0.1", [](BodyDef& d) { d.restitution = -0.1f; }, "restitution"},
        {"mass and density", [](BodyDef& d) { d.density = 1000.0f; }, "density"},
        {"density negative", [](BodyDef& d) {
             d.mass = 0.0f;
             d.density = -5.0f;
         }, "mass"},
        {"density giving infinity", [](BodyDef& d) {
             d.mass = 0.0f;
             d.density = 3e38f;
             d.radius = 1000.0f;
         }, "density"},
        {"box edge 0", [](BodyDef& d) {
             d = box(0, 5);
             d.height = 0.0f;
         }, "height"},
        {"box edge negative", [](BodyDef& d) {
             d = box(0, 5);
             d.length = -2.0f;
         }, "length"},
        {"box edge infinite", [](BodyDef& d) {
             d = box(0, 5);
             d.width = INFINITY;
         }, "width"},
        {"box density 0", [](BodyDef& d) {
             d = box(0, 5);
             d.density = 0.0f;
         }, "mass"},
    };
    for (const Case& c : cases) {
        BodyDef d = ball(0, 5);
        ASSERT_FALSE(checkBody(d, 4));
        ASSERT_FALSE(checkBody(box(0, 5), 4));
        c.spoil(d);
        const std::optional<ValueError> error = checkBody(d, 4);
        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->body, 4) << c.what;
        EXPECT_EQ(error->field, c.field) << c.what;
    }
}

// Friction from 0 (-0 too) to the largest float is a body's, fixed or not.
TEST(CheckBody, TakesAnyFrictionFromZeroUp) {
    for (const float friction : {0.0f, -0.0f, 1e-45f, defaultFriction, 1.0f, 3.4028235e38f}) {
        for (const bool fixed : {false, true}) {
            BodyDef d = box(0, 5);
            d.friction = friction;
            d.fixed = fixed;
            EXPECT_FALSE(checkBody(d, 0)) << friction;
            const RigidBody body = makeBody(d);
            EXPECT_TRUE(sameBits(body.friction, friction)) << friction;
            EXPECT_EQ(body.fixed, fixed);
        }
    }
    EXPECT_EQ(BodyDef{}.friction, defaultFriction);
    EXPECT_FALSE(BodyDef{}.fixed);
}

// A material sets density, restitution and friction, and the mass to 0 so
// that the density decides; any other name changes nothing.
TEST(ApplyMaterial, SetsDensityRestitutionAndFriction) {
    const struct {
        const char* name;
        float density;  // kg/m^3
        float restitution;
        float friction;
    } materials[] = {
        {"Gummi", 1000.0f, 1.0f, 0.8f}, {"Alu", 2700.0f, 0.4f, 0.47f},   {"Blei", 11400.0f, 0.2f, 0.43f},
        {"Platin", 21400.0f, 0.1f, 0.36f}, {"Kork", 200.0f, 0.7f, 0.6f}, {"Holz", 500.0f, 0.6f, 0.62f},
    };
    for (const auto& m : materials) {
        BodyDef d = ball(0, 5);
        d.friction = 0.0f;
        ASSERT_TRUE(applyMaterial(d, m.name)) << m.name;
        EXPECT_EQ(d.density, m.density) << m.name;
        EXPECT_EQ(d.restitution, m.restitution) << m.name;
        EXPECT_EQ(d.friction, m.friction) << m.name;
        EXPECT_EQ(d.mass, 0.0f) << m.name;
        EXPECT_FALSE(checkBody(d, 0)) << m.name;
    }
    for (const char* other : {"Gold", "Gumm", "Gummi ", "", static_cast<const char*>(nullptr)}) {
        BodyDef d = ball(0, 5);
        d.friction = 0.25f;
        EXPECT_FALSE(applyMaterial(d, other));
        EXPECT_EQ(d.friction, 0.25f);
        EXPECT_EQ(d.mass, defaultBodyMass);
        EXPECT_EQ(d.density, 0.0f);
    }
}

// A message a person reads: the body, the field, the value and the rule.
TEST(ValueError, MessageNamesBodyFieldValueAndRule) {
    BodyDef d = ball(0, 5);
    d.radius = -1.0f;
    const std::optional<ValueError> radius = checkBody(d, 3);
    ASSERT_TRUE(radius);
    EXPECT_EQ(radius->message(), "body 3: radius = -1: must be above 0");
    d = ball(0, 5);
    d.restitution = 2.5f;
    EXPECT_EQ(checkBody(d, 0)->message(), "body 0: restitution = 2.5: must be within [0, 1]");
    d = ball(0, 5);
    d.friction = -1.0f;
    EXPECT_EQ(checkBody(d, 3)->message(), "body 3: friction = -1: must be at least 0");
    GravityWorld w;
    EXPECT_EQ(advanceWorld(w, 0.0)->message(), "span = 0: must be above 0 (in single precision)");
    w.bodyCount = 9;
    EXPECT_EQ(checkWorld(w)->message(), "bodyCount = 9: must equal the number of bodies (7)");
    EXPECT_EQ(removeBody(w, 7)->message(), "index = 7: must name a body: 0 to 6");
}

// A list is built whole or refused at its first bad body; gravity is checked.
TEST(BuildWorld, RefusesAListAtItsFirstBadBody) {
    std::vector<BodyDef> defs = someBodies();
    defs[4].restitution = 2.0f;
    defs[5].mass = -1.0f;
    BuiltWorld refused = buildWorld(defs);
    EXPECT_EQ(refused.world, nullptr);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->body, 4);
    EXPECT_EQ(refused.error->field, "restitution");
    defs[0].radius = 0.0f;  // the very first body is checked too
    refused = buildWorld(defs);
    EXPECT_EQ(refused.world, nullptr);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->body, 0);
    EXPECT_EQ(refused.error->field, "radius");
    BuiltWorld noGravity = buildWorld(someBodies(), {0, notANumber, -9.81});
    ASSERT_TRUE(noGravity.error);
    EXPECT_EQ(noGravity.error->field, "gravity");
    BuiltWorld built = buildWorld(someBodies());
    ASSERT_NE(built.world, nullptr);
    EXPECT_FALSE(built.error);
    EXPECT_FALSE(checkWorld(*built.world));
    EXPECT_EQ(built.world->bodyCount, 6);
}

// Under the physical rules a built or added box stands as its angles turn
// it, its orientation the quaternion of them; a fixed body needs those
// rules, built or added.
TEST(BuildWorld, UnderThePhysicalRulesTakesEachOrientationFromItsAngles) {
    std::vector<BodyDef> defs = someBodies();
    defs[1].angles = {0.4, -0.3, 1.1};
    defs[2].fixed = true;
    BuiltWorld classic = buildWorld(defs);
    EXPECT_EQ(classic.world, nullptr);
    ASSERT_TRUE(classic.error);
    EXPECT_EQ(classic.error->message(), "body 2: fixed = 1: needs the physical rules");

    BuiltWorld built = buildWorld(defs, defaultGravity, Rules::physical);
    ASSERT_NE(built.world, nullptr);
    World& w = *built.world;
    EXPECT_EQ(w.rules(), Rules::physical);
    const RigidBody& turned = *w.bodies[1];
    const RigidBody classicBox = makeBody(defs[1]);
    const Quat q = quatFromAngles(defs[1].angles);
    EXPECT_TRUE(sameBits(turned.orientation.w, unitQuat(q).w));
    for (int c = 0; c < 8; ++c) {
        EXPECT_LT((turned.box.corners[c] - classicBox.box.corners[c]).length(), 1e-12) << c;
    }
    EXPECT_TRUE(w.bodies[2]->fixed);

    BodyDef wall = box(5, 1);
    wall.fixed = true;
    wall.angles = {0, 0, 0.5};
    BuiltWorld plain = buildWorld(someBodies());
    const AddedBody refused = addBody(*plain.world, wall);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->field, "fixed");
    EXPECT_EQ(plain.world->bodyCount, 6);
    const AddedBody added = addBody(w, wall);
    ASSERT_FALSE(added.error);
    const RigidBody& a = *w.bodies[static_cast<size_t>(added.index)];
    EXPECT_TRUE(a.fixed);
    EXPECT_NEAR(a.orientation.z, std::sin(0.25), 1e-15);
}

// A refused body leaves the world as it was; an accepted one is appended,
// derived as makeBody derives it.
TEST(AddBody, ChecksTheDefinitionAndAppendsTheBodyItGives) {
    BuiltWorld built = buildWorld(someBodies());
    World& w = *built.world;
    for (int i = 0; i < 30; ++i) w.step(0.016f);
    const std::unique_ptr<GravityWorld> before = builtFresh(w);
    BodyDef bad = box(0, 9);
    bad.width = 0.0f;
    const AddedBody refused = addBody(w, bad);
    EXPECT_EQ(refused.index, -1);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->body, 6) << "named by the index it would have had";
    EXPECT_EQ(refused.error->field, "width");
    EXPECT_EQ(w.bodyCount, 6);
    EXPECT_TRUE(sameBodies(w, *before));

    const AddedBody added = addBody(w, box(0, 9));
    EXPECT_FALSE(added.error);
    EXPECT_EQ(added.index, 6);
    EXPECT_EQ(w.bodyCount, 7);
    EXPECT_TRUE(sameBits(*w.bodies[6], makeBody(box(0, 9))));
    EXPECT_FALSE(checkWorld(w));
}

// Bodies added and removed between steps: the world steps on as a world
// built fresh with the same bodies does, bit for bit.
TEST(AddBody, AndRemovedBodiesStepOnAsAWorldBuiltWithThem) {
    BuiltWorld built = buildWorld(someBodies());
    World& w = *built.world;
    const FrameSteps frame = frameSteps(16, 1.0f);
    int edits = 0;
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 40; ++i) advanceFrame(w, frame);
        // Take one body out, put another in; in the later rounds the world
        // has been at rest between the edits.
        ASSERT_FALSE(removeBody(w, round % w.bodyCount));
        const AddedBody added = addBody(w, round % 2 == 0 ? ball(1.0 * round, 7) : box(-1.0 * round, 8));
        ASSERT_FALSE(added.error);
        ASSERT_EQ(added.index, w.bodyCount - 1);
        edits += 2;
        const std::unique_ptr<GravityWorld> fresh = builtFresh(w);
        for (int i = 0; i < 120; ++i) {
            advanceFrame(w, frame);
            advanceFrame(*fresh, frame);
            ASSERT_TRUE(sameBodies(w, *fresh)) << "round " << round << ", frame " << i;
            ASSERT_EQ(w.lastStep.atRest, fresh->lastStep.atRest) << "round " << round << ", frame " << i;
        }
    }
    EXPECT_EQ(edits, 16);
    EXPECT_FALSE(checkWorld(w));
}

// The last impact's bodies never dangle: removing one of them where a walk
// stopped at their impact clears both; removing another body leaves them
// naming their bodies at their new places. The walk then goes on soundly.
TEST(RemoveBody, ForgetsTheLastImpactWhenOneOfItsBodiesGoes) {
    for (bool removeHit : {true, false}) {
        BuiltWorld built = buildWorld(someBodies());
        World& w = *built.world;
        ImpactWalker walker(w);
        int frames = 0;
        bool atPair = false;
        while (!atPair && frames < 1000) {
            walker.beginFrame(frameSteps(16, 1.0f));
            ++frames;
            while (!atPair && walker.toNextImpact()) atPair = walker.lastImpact().b >= 0;
        }
        ASSERT_TRUE(atPair);
        ASSERT_NE(w.hitA, nullptr);
        ASSERT_NE(w.hitB, nullptr);
        const int a = w.indexOf(w.hitA), b = w.indexOf(w.hitB);
        if (removeHit) {
            ASSERT_FALSE(removeBody(w, a));
            EXPECT_EQ(w.hitA, nullptr);
            EXPECT_EQ(w.hitB, nullptr);
        } else {
            int other = 0;
            while (other == a || other == b) ++other;
            const RigidBody* hitA = w.hitA;
            const RigidBody* hitB = w.hitB;
            ASSERT_FALSE(removeBody(w, other));
            EXPECT_EQ(w.hitA, hitA);
            EXPECT_EQ(w.hitB, hitB);
            EXPECT_EQ(w.indexOf(w.hitA), a > other ? a - 1 : a);
            EXPECT_EQ(w.indexOf(w.hitB), b > other ? b - 1 : b);
        }
        EXPECT_EQ(w.bodyCount, 5);
        while (walker.toNextImpact()) {
        }
        for (int i = 0; i < 100; ++i) w.step(0.016f);
        EXPECT_FALSE(checkWorld(w));
    }
}

// A world at rest searches again once a body is taken from under another,
// or one is added above it.
TEST(RemoveBody, FromUnderABodyAtRestLetsItFall) {
    BodyDef lower = box(0, 1);
    lower.angles = {};
    BodyDef upper = lower;
    upper.position.z = 3.0;
    BuiltWorld built = buildWorld({lower, upper});
    World& w = *built.world;
    for (int i = 0; i < 300 && !w.lastStep.atRest; ++i) w.step(0.016f);
    ASSERT_TRUE(w.lastStep.atRest);
    ASSERT_GT(w.bodies[1]->position.z, 2.9);

    ASSERT_FALSE(removeBody(w, 0));
    w.step(0.016f);
    EXPECT_FALSE(w.lastStep.atRest);
    for (int i = 0; i < 300; ++i) w.step(0.016f);
    EXPECT_LT(w.bodies[0]->position.z, 1.1) << "the upper box did not come down";
    EXPECT_GT(w.bodies[0]->position.z, 0.9);

    for (int i = 0; i < 300 && !w.lastStep.atRest; ++i) w.step(0.016f);
    ASSERT_TRUE(w.lastStep.atRest);
    ASSERT_EQ(addBody(w, ball(0.5, 6)).index, 1);
    w.step(0.016f);
    EXPECT_FALSE(w.lastStep.atRest);
}

// Every body removed, the world steps on empty; bodies added to an empty
// world fall as in a world built with them.
TEST(RemoveBody, AllBodiesAndAddToAnEmptyWorld) {
    BuiltWorld built = buildWorld(someBodies());
    World& w = *built.world;
    for (int i = 0; i < 50; ++i) w.step(0.016f);
    while (w.bodyCount > 0) ASSERT_FALSE(removeBody(w, w.bodyCount - 1 - w.bodyCount / 2));
    EXPECT_TRUE(w.bodies.empty());
    EXPECT_TRUE(removeBody(w, 0));
    for (int i = 0; i < 10; ++i) w.step(0.016f);
    EXPECT_FALSE(advanceWorld(w, 1.0));
    EXPECT_EQ(w.lastStep.impacts(), 0);

    std::vector<BodyDef> defs = someBodies();
    for (const BodyDef& d : defs) ASSERT_FALSE(addBody(w, d).error);
    BuiltWorld fresh = buildWorld(defs);
    ASSERT_TRUE(sameBodies(w, *fresh.world));
    for (int i = 0; i < 300; ++i) {
        ASSERT_FALSE(advanceWorld(w, 0.016));
        ASSERT_FALSE(advanceWorld(*fresh.world, 0.016));
        ASSERT_TRUE(sameBodies(w, *fresh.world)) << "frame " << i;
    }
}
