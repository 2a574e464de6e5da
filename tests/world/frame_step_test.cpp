#include "prallwerk/world/frame_step.h"

#include <gtest/gtest.h>

using namespace prallwerk;

TEST(FrameSteps, SplitsFramesIntoTenthsOfASecond) {
    const FrameSteps slow = frameSteps(16, 16.0f);
    EXPECT_EQ(slow.count, 1);
    EXPECT_EQ(slow.sub, 0.001f);
    EXPECT_EQ(slow.dt, 0.001f);
    const FrameSteps quarter = frameSteps(250, 1.0f);
    EXPECT_EQ(quarter.count, 3);
    EXPECT_EQ(quarter.sub, static_cast<float>(static_cast<double>(quarter.dt) / 3));
    EXPECT_EQ(frameSteps(1000, 1.0f).count, 11);
    EXPECT_EQ(frameSteps(25, 1.0f).count, 1);
    const FrameSteps none = frameSteps(0, 1.0f);
    EXPECT_EQ(none.count, 1);
    EXPECT_EQ(none.sub, 0.0f);
    EXPECT_EQ(frameSteps(3600000, 1.0f).count, 36001);
    // 0.001 is the single-precision constant and dt is rounded once.
    EXPECT_EQ(frameSteps(16, 1.0f).dt, static_cast<float>(16.0 * static_cast<double>(0.001f)));
}
