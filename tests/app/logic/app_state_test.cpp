#include "app/logic/app_state.h"

#include <gtest/gtest.h>

#include "app/logic/control_state.h"
#include "app/logic/program_answers.h"
#include "app/logic/scene_files.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

// The World exists before main runs, so it must not depend on other
// program-wide objects being initialised first: the user sees these bodies
// until a scene is loaded.
TEST(ProgramWorld, StartsInTheDefaultStateWithSinglePrecisionGravity) {
    const auto* gravityWorld = dynamic_cast<const GravityWorld*>(world);
    ASSERT_NE(gravityWorld, nullptr);
    EXPECT_EQ(gravityWorld->gravity.z, -9.8100004196167);
    ASSERT_EQ(world->bodyCount, defaultBodyCount);
    for (int i = 0; i < defaultBodyCount; ++i) {
        const RigidBody& body = *world->bodies[i];
        EXPECT_EQ(body.position.x, defaultLaunches[i].position.x) << "body " << i;
        EXPECT_EQ(body.position.z, defaultLaunches[i].position.z) << "body " << i;
        EXPECT_EQ(body.velocity.z, defaultLaunches[i].velocity.z) << "body " << i;
        EXPECT_NE(body.position.z, 0.0) << "body " << i << " was built before its launch table";
    }
}

// The program as it starts, before the first window: paused on the first of
// the prepared scenes at real time, the camera 50 units away, filled
// polygons, no mouse button held. The first tests of the program's tests,
// so that nothing has changed these yet.
TEST(ProgramState, StartsPausedOnTheFirstSceneAtRealTime) {
    EXPECT_EQ(sceneChoiceLine(), "Szene w\xE4hlen (F7/F8): 1 von 4");
    const ControlStatus status = ProgramAnswers{}.controlStatus();
    EXPECT_FALSE(status.running);
    EXPECT_FALSE(status.wireframe);
    EXPECT_EQ(status.timeScale, 1.0f);
    EXPECT_EQ(simulatedTime, 0.0f);
    EXPECT_EQ(cameraDistance, -50.0f);
    EXPECT_EQ(leftButtonDown, 0);
    EXPECT_EQ(rightButtonDown, 0);
}

}  // namespace
