#pragma once

#include <memory>

#include "prallwerk/scenes/drop_world.h"

// Forty bodies of the drop world packed 2.05 m apart in rows of seven, at
// three heights: they land on and against each other in islands that pile
// up enough impacts in a step for the landing rule (World::landingAfterEvents).
inline std::unique_ptr<prallwerk::DropWorld> packedCrowd() {
    auto w = std::make_unique<prallwerk::DropWorld>(40);
    for (int i = 0; i < 40; ++i) w->bodies[i]->position = {2.05 * (i % 7), 2.05 * (i / 7), 1.5 + (i % 3)};
    return w;
}
