#pragma once

// A vector within a tolerance of another, component by component, with
// both in the message when it is not.

#include <gtest/gtest.h>

#include <cmath>

#include "prallwerk/math/vec3.h"

namespace prallwerk {

inline ::testing::AssertionResult within(const Vec3& got, const Vec3& want, double tolerance) {
    const Vec3 d = got - want;
    if (std::fabs(d.x) <= tolerance && std::fabs(d.y) <= tolerance && std::fabs(d.z) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within "
                                         << tolerance << " of (" << want.x << ", " << want.y << ", " << want.z
                                         << ")";
}

}  // namespace prallwerk
