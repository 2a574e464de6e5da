// The world's checked operations (checkWorld, removeBody, advanceWorld), the
// step of a long span, and a body count written under the world.
#include "prallwerk/world/checked_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/frame_step.h"
#include "prallwerk/world/world.h"
#include "tests/support/same_bodies.h"

using namespace prallwerk;

namespace {

// One step as step() took every span before long ones were split: begun,
// then run impact by impact to its end.
void stepInOnePart(World& w, float dt) {
    StepInProgress s = w.beginStep(dt);
    while (w.resolveNextImpact(s)) {
    }
}

// A sphere of radius 1 thrown down from 5 m; body 1, when asked, a box of
// edge 2 thrown down from 8 m, turned. (A sphere let go without speed would
// hang: free flight stops a sphere that slow.)
std::unique_ptr<GravityWorld> droppedBodies(bool withBox) {
    auto w = std::make_unique<GravityWorld>(defaultGravity, withBox ? 2 : 1);
    RigidBody& ball = *w->bodies[0];
    ball.kind = kindSphere;
    ball.mass = defaultBodyMass;
    ball.radius = 1.0f;
    ball.restitution = 1.0f;
    ball.position = {0, 0, 5};
    ball.velocity = {0, 0, -1};
    if (withBox) {
        RigidBody& box = *w->bodies[1];
        box.kind = kindBox;
        box.mass = defaultBodyMass;
        box.restitution = 0.5f;
        box.box.width = box.box.length = box.box.height = 2.0f;
        box.box.resetCorners();
        box.angles = {0.3, 0.2, 0.0};
        box.box.rotateCorners(0.3, 0.2, 0.0);
        box.position = {6, 0, 8};
        box.velocity = {0, 0, -1};
    }
    return w;
}

}  // namespace

// Every kind of bad value a world set up through its public fields can hold,
// each named by body and field; the prepared worlds pass.
TEST(CheckWorld, NamesTheFirstBadValueOfAWorld) {
    struct Case {
        const char* what;
        std::function<void(GravityWorld&)> spoil;
        int body;
        const char* field;
    };
    const Case cases[] = {
        {"count written higher", [](GravityWorld& w) { w.bodyCount = 8; }, -1, "bodyCount"},
        {"count written lower", [](GravityWorld& w) { w.bodyCount = 3; }, -1, "bodyCount"},
        {"gravity NaN", [](GravityWorld& w) { w.gravity.z = notANumber; }, -1, "gravity.z"},
        {"kind 3", [](GravityWorld& w) { w.bodies[2]->kind = 3; }, 2, "kind"},
        {"kind -1", [](GravityWorld& w) { w.bodies[0]->kind = -1; }, 0, "kind"},
        {"position NaN", [](GravityWorld& w) { w.bodies[1]->position.y = notANumber; }, 1, "position.y"},
        {"velocity infinite", [](GravityWorld& w) { w.bodies[6]->velocity.z = infinity; }, 6, "velocity.z"},
        {"spin -infinite", [](GravityWorld& w) { w.bodies[3]->spin.x = -infinity; }, 3, "spin.x"},
        {"angles NaN", [](GravityWorld& w) { w.bodies[4]->angles.z = notANumber; }, 4, "angles.z"},
        {"force NaN", [](GravityWorld& w) { w.bodies[5]->force.x = notANumber; }, 5, "force.x"},
        {"mass NaN", [](GravityWorld& w) { w.bodies[0]->mass = NAN; }, 0, "mass"},
        {"radius infinite", [](GravityWorld& w) { w.bodies[0]->radius = INFINITY; }, 0, "radius"},
        {"restitution NaN", [](GravityWorld& w) { w.bodies[2]->restitution = NAN; }, 2, "restitution"},
        {"floor NaN", [](GravityWorld& w) { w.bodies[2]->floorHeight = NAN; }, 2, "floorHeight"},
        {"edge infinite", [](GravityWorld& w) { w.bodies[1]->box.width = INFINITY; }, 1, "box.width"},
        {"mass 0", [](GravityWorld& w) { w.bodies[3]->mass = 0.0f; }, 3, "mass"},
        {"mass negative", [](GravityWorld& w) { w.bodies[0]->mass = -1.0f; }, 0, "mass"},
        {"radius 0", [](GravityWorld& w) { w.bodies[0]->radius = 0.0f; }, 0, "radius"},
        {"radius negative", [](GravityWorld& w) { w.bodies[0]->radius = -1.0f; }, 0, "radius"},
        {"length 0", [](GravityWorld& w) { w.bodies[1]->box.length = 0.0f; }, 1, "box.length"},
        {"width 0", [](GravityWorld& w) { w.bodies[2]->box.width = 0.0f; }, 2, "box.width"},
        {"height negative", [](GravityWorld& w) { w.bodies[6]->box.height = -2.0f; }, 6, "box.height"},
        {"restitution 2", [](GravityWorld& w) { w.bodies[4]->restitution = 2.0f; }, 4, "restitution"},
        {"restitution -0.1", [](GravityWorld& w) { w.bodies[4]->restitution = -0.1f; }, 4, "restitution"},
        {"no body", [](GravityWorld& w) { w.bodies[5].reset(); }, 5, "body"},
        {"first bad body first", [](GravityWorld& w) {
             w.bodies[5]->mass = 0.0f;
             w.bodies[2]->velocity.x = notANumber;
         }, 2, "velocity.x"},
    };
    for (const Case& c : cases) {
        GravityWorld w;
        ASSERT_FALSE(checkWorld(w)) << "the default world is sound";
        c.spoil(w);
        const std::optional<ValueError> error = checkWorld(w);
        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->body, c.body) << c.what;
        EXPECT_EQ(error->field, c.field) << c.what;
        EXPECT_FALSE(error->rule.empty()) << c.what;
    }

    // What a world may hold: inert bodies (kind 0) with any mass above 0, a
    // sphere's box left at zero, a box's radius (its lowest corner) below 0.
    buildSceneTable();
    for (int scene = 0; scene < sceneCount; ++scene) {
        GravityWorld w;
        loadScene(w, scene);
        EXPECT_FALSE(checkWorld(w)) << "scene " << scene;
        for (int i = 0; i < 50; ++i) w.step(0.016f);
        EXPECT_FALSE(checkWorld(w)) << "scene " << scene << " in flight";
    }
    EXPECT_FALSE(checkWorld(DropWorld(30)));
    EXPECT_FALSE(checkWorld(GravityWorld(defaultGravity, 3)));
    EXPECT_FALSE(checkWorld(GravityWorld(defaultGravity, 0)));
}

// A body count written under the world: step takes the bodies in the list,
// in every build, and writes their number back.
TEST(WorldStep, TakesTheBodiesInTheListWhateverTheCountSays) {
    buildSceneTable();
    for (int written : {9, 1000, 3, 0, -5}) {
        GravityWorld w, twin;
        loadScene(w, 2);
        loadScene(twin, 2);
        for (int frame = 0; frame < 120; ++frame) {
            if (frame % 30 == 0) w.bodyCount = written;
            w.step(0.016f);
            twin.step(0.016f);
            ASSERT_EQ(w.bodyCount, defaultBodyCount) << written;
            ASSERT_TRUE(sameBodies(w, twin)) << written << ", frame " << frame;
        }
    }
}

TEST(RemoveBody, RefusesAnIndexOutsideTheBodiesAndChangesNothing) {
    GravityWorld w, twin;
    for (int index : {-1, defaultBodyCount, 1000}) {
        const std::optional<ValueError> error = removeBody(w, index);
        ASSERT_TRUE(error) << index;
        EXPECT_EQ(error->field, "index");
        EXPECT_EQ(error->body, -1);
        EXPECT_EQ(error->value, index);
        EXPECT_EQ(error->rule, "must name a body: 0 to 6");
        EXPECT_EQ(w.bodyCount, defaultBodyCount);
        EXPECT_TRUE(sameBodies(w, twin));
    }
    GravityWorld empty(defaultGravity, 0);
    ASSERT_TRUE(removeBody(empty, 0));
    EXPECT_EQ(removeBody(empty, 0)->rule, "must name a body, and the world has none");
}

// Spans that are no span, and worlds that fail their check, are refused
// before anything moves.
TEST(AdvanceWorld, RefusesBadSpansAndBadWorldsAndChangesNothing) {
    const double spans[] = {notANumber, infinity, -infinity, 0.0, -0.016, 1e-50, 2e8};
    for (double span : spans) {
        GravityWorld w, twin;
        w.lastStep.passes = 77;
        const std::optional<ValueError> error = advanceWorld(w, span);
        ASSERT_TRUE(error) << span;
        EXPECT_EQ(error->field, "span") << span;
        EXPECT_EQ(error->body, -1) << span;
        EXPECT_TRUE(sameBodies(w, twin)) << span;
        EXPECT_EQ(w.lastStep.passes, 77) << span;
        EXPECT_EQ(w.elapsedTime, 0.0) << span;
    }
    GravityWorld w, twin;
    w.bodies[3]->restitution = 2.0f;
    twin.bodies[3]->restitution = 2.0f;
    const std::optional<ValueError> error = advanceWorld(w, 0.016);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->field, "restitution");
    EXPECT_EQ(error->body, 3);
    EXPECT_TRUE(sameBodies(w, twin));
    // The smallest and the longest spans taken.
    GravityWorld edge;
    EXPECT_FALSE(advanceWorld(edge, 1.5e-45));
    EXPECT_FALSE(checkWorld(edge));
}

// A span up to the longest step is one step: advanceWorld of a short span is
// step of it; a longer span is split as a frame of its length is, by step
// and by advanceWorld alike.
TEST(AdvanceWorld, IsTheProgramsFrameAndAShortSpanIsOneStep) {
    buildSceneTable();
    for (double span : {0.001, 0.016, 1.0 / 60.0, 0.05, 0.0999}) {
        GravityWorld checked, stepped;
        loadScene(checked, 2);
        loadScene(stepped, 2);
        for (int i = 0; i < 300; ++i) {
            ASSERT_FALSE(advanceWorld(checked, span));
            stepped.step(static_cast<float>(span));
            ASSERT_TRUE(sameBodies(checked, stepped)) << span << ", call " << i;
        }
    }
    for (double span : {0.1, 0.25, 1.0, 3.7}) {
        GravityWorld checked, stepped, framed;
        for (GravityWorld* w : {&checked, &stepped, &framed}) loadScene(*w, 1);
        for (int i = 0; i < 5; ++i) {
            ASSERT_FALSE(advanceWorld(checked, span));
            stepped.step(static_cast<float>(span));
            advanceFrame(framed, splitFrame(static_cast<float>(span)));
            ASSERT_TRUE(sameBodies(checked, framed)) << span;
            // 0.1 in single precision is above 0.1, so a frame of it is two
            // steps; as a step it is the longest taken whole.
            if (span != 0.1) {
                ASSERT_TRUE(sameBodies(stepped, framed)) << span;
            }
        }
    }
}

// step(dt) up to the longest step is the one-part step it always was; above
// it, the one-part steps of the frame's parts, with the parts' statistics
// added up.
TEST(WorldStep, ALongSpanIsSteppedInTheFramesParts) {
    const float longestWhole = World::longestStep;
    const float justLonger = std::nextafter(longestWhole, 1.0f);
    buildSceneTable();
    for (float dt : {0.05f, 0.0999f, longestWhole, justLonger, 0.25f, 1.0f, 10.0f}) {
        GravityWorld w, parts;
        loadScene(w, 3);
        loadScene(parts, 3);
        const FrameSteps f = splitFrame(dt);
        const int count = dt > longestWhole ? f.count : 1;
        for (int call = 0; call < 4; ++call) {
            w.step(dt);
            StepStatistics sum;
            sum.atRest = true;
            int islands = 0;
            for (int i = 0; i < count; ++i) {
                stepInOnePart(parts, count > 1 ? f.sub : dt);
                const StepStatistics& p = parts.lastStep;
                sum.groundImpacts += p.groundImpacts;
                sum.landings += p.landings;
                sum.pairImpacts += p.pairImpacts;
                sum.passes += p.passes;
                sum.pairSearches += p.pairSearches;
                sum.pairsSkipped += p.pairsSkipped;
                sum.eventCapReached = sum.eventCapReached || p.eventCapReached;
                sum.atRest = sum.atRest && p.atRest;
                islands += p.islands - p.islandsAtRest;
            }
            ASSERT_TRUE(sameBodies(w, parts)) << dt << ", call " << call;
            const StepStatistics& st = w.lastStep;
            EXPECT_EQ(st.groundImpacts, sum.groundImpacts) << dt;
            EXPECT_EQ(st.landings, sum.landings) << dt;
            EXPECT_EQ(st.pairImpacts, sum.pairImpacts) << dt;
            EXPECT_EQ(st.passes, sum.passes) << dt;
            EXPECT_EQ(st.pairSearches, sum.pairSearches) << dt;
            EXPECT_EQ(st.pairsSkipped, sum.pairsSkipped) << dt;
            EXPECT_EQ(st.eventCapReached, sum.eventCapReached) << dt;
            EXPECT_EQ(st.atRest, sum.atRest) << dt;
            // Each island of each part searches once more than it has
            // impacts, but for islands at rest, which do not search.
            EXPECT_EQ(st.passes, st.impacts() + islands) << dt;
        }
    }
    // A world at rest through every part of a long step is at rest; the
    // counts of a very long one stop at the largest int.
    GravityWorld w;
    loadScene(w, 0);
    for (int i = 0; i < 100; ++i) w.step(1.0f);
    EXPECT_TRUE(w.lastStep.atRest);
    StepStatistics big;
    big.pairsSkipped = 2000000000;
    StepStatistics more;
    more.pairsSkipped = 2000000000;
    more.atRest = true;
    big.addPart(more);
    EXPECT_EQ(big.pairsSkipped, std::numeric_limits<int>::max());
    EXPECT_FALSE(big.atRest);
}

// Ten seconds in one call: a falling ball and a tumbling box bounce and come
// to rest on the ground instead of falling through it, as one step sampled
// at tenths of a second lets them.
TEST(WorldStep, TenSecondsInOneCallKeepBodiesAboveTheGround) {
    for (bool withBox : {false, true}) {
        auto w = droppedBodies(withBox);
        w->step(10.0f);
        const RigidBody& ball = *w->bodies[0];
        EXPECT_GT(ball.position.z, 0.99) << "the ball sank";
        EXPECT_LT(ball.position.z, 1.1) << "the ball did not come down";
        EXPECT_GT(w->lastStep.groundImpacts, 3);
        if (withBox) {
            const RigidBody& box = *w->bodies[1];
            EXPECT_GT(box.position.z + lowestCornerOffset(box.box), -0.01) << "the box sank";
            EXPECT_LT(box.position.z, 1.8) << "the box did not come down";
        }
    }
}
