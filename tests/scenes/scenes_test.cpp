#include "prallwerk/scenes/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "prallwerk/math/assertion.h"
#include "prallwerk/scenes/materials.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

TEST(Materials, TableInOrder) {
    const char* names[] = {"Gummi", "Alu", "Blei", "Platin", "Kork", "Holz"};
    for (int i = 0; i < materialCount; ++i) EXPECT_STREQ(materialTable[i].name, names[i]);
    EXPECT_EQ(materialTable[3].density, 21.4);
    EXPECT_EQ(materialTable[3].restitution, 0.1);
    EXPECT_EQ(materialTable[1].density, 2.7);
}

TEST(Scenes, EveryBodyIsLoadedCompletely) {
    buildSceneTable();
    GravityWorld w;
    for (int n = 0; n < sceneCount; ++n) {
        // Dirty every field first: loading must overwrite all of them.
        for (int i = 0; i < 7; ++i) {
            RigidBody& b = *w.bodies[i];
            b.kind = 9;
            b.angles = {1, 2, 3};
            b.force = {4, 5, 6};
            b.radius = 7;
            b.floorHeight = 8;
            b.restitution = 0.5f;
            b.box.width = 5;
            b.box.corners[3] = {9, 9, 9};
            b.friction = 2.0f;
            b.fixed = true;
        }
        loadScene(w, n);
        for (int i = 0; i < 7; ++i) {
            const RigidBody& b = *w.bodies[i];
            EXPECT_EQ(b.kind, i == 0 ? kindSphere : kindBox);
            EXPECT_EQ(b.mass, 4.188790321350098f);
            EXPECT_EQ(b.restitution, 1.0f);
            EXPECT_EQ(b.friction, defaultFriction);
            EXPECT_FALSE(b.fixed);
            EXPECT_EQ(b.floorHeight, 0.0f);
            EXPECT_EQ(b.angles.length(), 0.0);
            EXPECT_EQ(b.force.length(), 0.0);
            EXPECT_EQ(b.radius, i == 0 ? 1.0f : 0.0f);
            for (int c = 0; c < 8; ++c) {
                const double e = i == 0 ? 0.0 : 1.0;
                EXPECT_EQ(std::fabs(b.box.corners[c].x), e);
                EXPECT_EQ(std::fabs(b.box.corners[c].z), e);
            }
            EXPECT_EQ(b.box.width, i == 0 ? 0.0f : 2.0f);
            EXPECT_EQ(b.box.halfDiagonal, i == 0 ? 0.0f : static_cast<float>(std::sqrt(3.0)));
        }
    }
    // Spot checks of the launch tables.
    loadScene(w, 2);
    EXPECT_EQ(w.bodies[5]->velocity.x, -35.0);
    EXPECT_EQ(w.bodies[5]->velocity.y, -35.0);
    loadScene(w, 3);
    EXPECT_EQ(w.bodies[5]->spin.z, -5.0);
    EXPECT_EQ(w.bodies[0]->position.y, 5.0);
    loadScene(w, 1);
    EXPECT_EQ(w.bodies[4]->position.z, 11.0);
}

TEST(Scenes, SceneZeroIsTheDefaultWorld) {
    buildSceneTable();
    GravityWorld fresh;
    GravityWorld loaded;
    for (int i = 0; i < 7; ++i) loaded.bodies[i]->position = {1, 1, 1};
    loadScene(loaded, 0);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(sameBits(*fresh.bodies[i], *loaded.bodies[i])) << i;
}

TEST(Scenes, ReloadingRestoresTheSameStateAndBadIndicesChangeNothing) {
    // With the engine's checks on, a bad index stops the program instead
    // (tests/world/checks_test.cpp); as it ships, the engine ignores it.
    const bool checked = assertionsEnabled();
    buildSceneTable();
    GravityWorld w;
    loadScene(w, 1);
    std::vector<RigidBody> first;
    for (int i = 0; i < 7; ++i) first.push_back(*w.bodies[i]);
    for (int f = 0; f < 200; ++f) w.step(0.016f);
    EXPECT_FALSE(sameBits(*w.bodies[6], first[6]));
    for (int i = 0; i < 7; ++i) {
        sceneTable[1][i].friction = 2.0f;
        sceneTable[1][i].fixed = true;
    }
    buildSceneTable();  // filling the table again writes the same values
    loadScene(w, 1);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(sameBits(*w.bodies[i], first[i])) << i;

    for (int bad : {-1, 4, 1000}) {
        if (checked) break;
        loadScene(w, bad);
        for (int i = 0; i < 7; ++i) EXPECT_TRUE(sameBits(*w.bodies[i], first[i])) << i;
    }
}

TEST(Scenes, SmallWorldsReceiveOnlyTheirBodies) {
    buildSceneTable();
    World small(3, 1.0f);
    loadScene(small, 2);
    EXPECT_EQ(small.bodies[2]->position.y, -20.0);
}
