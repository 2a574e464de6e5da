#pragma once

#include <vector>

#include "prallwerk/core/rigid_body.h"

namespace prallwerk {

// Sets the floor height of body k: the highest top of another body that lies
// below k's centre and within whose extent k's centre lies horizontally
// (spheres reach up by their radius, boxes by halfLength), or 0 for the
// ground. k's own size plays no part.
void computeFloorHeight(const BodyList& bodies, int k);

// computeFloorHeight for every body of a list in turn while the bodies move
// one by one, as the world's advanceAll does: a compact copy of what each
// body offers as a floor (centre, reach, top), refreshed for a body when it
// has moved, so that each body's floor is found by one pass over plain
// arrays. The floor heights are the same bits as computeFloorHeight's.
// Buffers are sized at construction; nothing is allocated afterwards.
class FloorFinder {
public:
    explicit FloorFinder(int bodyCount);

    // Copies the first count bodies. A count above the size given at
    // construction makes the buffers grow (the one case that allocates).
    void load(const BodyList& bodies, int count);

    // Refreshes the copy of body i after it moved.
    void refresh(const RigidBody& body, int i);

    // computeFloorHeight(bodies, k) from the copy: sets body k's floorHeight.
    void setFloorHeight(RigidBody& body, int k) const;

private:
    int count_ = 0;
    std::vector<double> x_, y_, top_, reach_;  // top_ is NaN for kinds that offer no floor
};

}  // namespace prallwerk
