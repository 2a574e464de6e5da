#include "app/logic/app_state.h"

#include <gtest/gtest.h>

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

}  // namespace
