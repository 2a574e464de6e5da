#include "prallwerk/world/frame_runner.h"

#include <gtest/gtest.h>

#include <vector>

#include "prallwerk/world/world.h"

using namespace prallwerk;

namespace {

// Records the span of every step instead of moving anything.
class StepLog : public GravityWorld {
public:
    std::vector<float> spans;
    void step(float dt) override { spans.push_back(dt); }
};

}  // namespace

TEST(AdvanceFrame, RunsEverySubStepOfTheFrame) {
    const FrameSteps quarter = frameSteps(250, 1.0f);
    StepLog w;
    advanceFrame(w, quarter);
    EXPECT_EQ(w.spans, std::vector<float>(3, quarter.sub));

    // An empty frame still refreshes the forces with one step of zero.
    w.spans.clear();
    advanceFrame(w, frameSteps(0, 1.0f));
    EXPECT_EQ(w.spans, std::vector<float>{0.0f});
}

TEST(GravityWorld, DefaultIsTheProgramsSinglePrecisionGravity) {
    const GravityWorld w;
    EXPECT_EQ(w.gravity.x, 0.0);
    EXPECT_EQ(w.gravity.y, 0.0);
    EXPECT_EQ(w.gravity.z, -9.8100004196167);
    EXPECT_EQ(w.gravity.z, static_cast<double>(-9.81f));
}
