#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/world/world.h"

// Whether two worlds hold the same bodies to the bit, naming the first that
// differs.
inline ::testing::AssertionResult sameBodies(const prallwerk::World& a, const prallwerk::World& b) {
    if (a.bodies.size() != b.bodies.size()) return ::testing::AssertionFailure() << "body counts differ";
    for (std::size_t i = 0; i < a.bodies.size(); ++i) {
        if (!prallwerk::sameBits(*a.bodies[i], *b.bodies[i])) return ::testing::AssertionFailure() << "body " << i;
    }
    return ::testing::AssertionSuccess();
}

// Values a checked input must refuse.
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
