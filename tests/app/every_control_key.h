#pragma once

// What every platform's key table owes the program: each key its controls
// answer. A key a table's test leaves out is one that no test shows can be
// pressed on that platform.

#include <gtest/gtest.h>

#include <set>

#include "app/logic/controls.h"

// Fails for each virtual key the controls read that is not in named.
inline void expectEveryControlKeyNamed(const std::set<int>& named) {
    for (int vk = 1; vk < 256; ++vk) {
        if (isControlKey(vk)) {
            EXPECT_EQ(named.count(vk), 1u) << "virtual key " << vk << " has no key of this platform's table here";
        }
    }
}
